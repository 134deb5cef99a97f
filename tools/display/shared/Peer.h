#pragma once
// How the display names and tells apart the clients of its listeners (the receiver and the
// web page): their "address:port" labels and the key of their fair share of slots.

#include <QHostAddress>
#include <QString>

#include <optional>
#include <string>

namespace display {

// "address:port", with brackets around an IPv6 address; an IPv4-mapped one reads as IPv4.
QString Endpoint(const QHostAddress& address, quint16 port);

// What tells clients apart for their share of a listener's slots: an IPv4 address (an
// IPv4-mapped IPv6 one as IPv4), or the /64 of an IPv6 one, since a single device may have a
// whole /64 to itself.
std::string ShareKey(const QHostAddress& address);

// The address as IPv4 when it is one or is IPv4-mapped (::ffff:a.b.c.d), or nothing.
std::optional<QHostAddress> AsIpv4(const QHostAddress& address);

}  // namespace display
