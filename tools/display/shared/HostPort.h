#pragma once
// The HOST:PORT form the command line's addresses and the log's labels share (--listen,
// --http, --lcdproc): split at the last colon, an IPv6 address in brackets ("[::1]:9100").
// What a host may be is each option's own rule.

#include <QString>

#include <optional>

namespace display {

struct HostPort {
    QString host;            // without its brackets
    bool bracketed = false;  // the host was written in brackets
    quint16 port = 0;
};

// Empty when there is no colon after a first character, or the port is not a whole number
// from 0 to 65535.
std::optional<HostPort> SplitHostPort(const QString& text);

// host and port written as HOST:PORT, a host with a colon (IPv6) in brackets. A numeric scope
// in the host ("fe80::1%2") stays as it is.
QString JoinHostPort(const QString& host, quint16 port);

}  // namespace display
