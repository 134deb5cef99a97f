#include "Peer.h"

#include <algorithm>
#include <iterator>

#include "HostPort.h"

namespace display {

namespace {

// The IPv4 address an IPv4-mapped IPv6 one (::ffff:a.b.c.d) stands for, or nothing.
std::optional<quint32> MappedIpv4(const QHostAddress& address) {
    if (address.protocol() != QAbstractSocket::IPv6Protocol) return std::nullopt;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 10; ++i) {
        if (bytes[i] != 0) return std::nullopt;
    }
    if (bytes[10] != 0xff || bytes[11] != 0xff) return std::nullopt;
    return (quint32{bytes[12]} << 24) | (quint32{bytes[13]} << 16) | (quint32{bytes[14]} << 8) |
           quint32{bytes[15]};
}

}  // namespace

std::optional<QHostAddress> AsIpv4(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv4Protocol) return address;
    if (const auto ipv4 = MappedIpv4(address)) return QHostAddress(*ipv4);
    return std::nullopt;
}

QString Endpoint(const QHostAddress& address, quint16 port) {
    QHostAddress plain = address;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) plain = QHostAddress(v4);  // ::ffff:127.0.0.1 reads as 127.0.0.1
    return JoinHostPort(plain.toString(), port);
}

std::string ShareKey(const QHostAddress& address) {
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    if (isIpv4) return QHostAddress(ipv4).toString().toStdString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8{0});
    return QHostAddress(bytes).toString().toStdString() + "/64";
}

}  // namespace display
