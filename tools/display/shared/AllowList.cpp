#include "AllowList.h"

#include <algorithm>
#include <optional>

#include "Ipv4Text.h"
#include "Peer.h"
#include "WholeNumber.h"

namespace display {

QString AllowList::Add(const QString& text) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QString host = text.left(slash);  // all of it without a slash
    QHostAddress address;
    if (host.contains(QLatin1Char('%')))
        return QStringLiteral("an address with a scope (%) names no network");
    if (host.isEmpty() || host.trimmed() != host || !address.setAddress(host))
        return QStringLiteral("\"%1\" is not an IPv4 or IPv6 address").arg(host);
    const bool ipv4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    if (ipv4 && !IsIpv4Text(host.toStdString())) {
        return QStringLiteral(
                   "write an IPv4 address as four numbers from 0 to 255 without "
                   "leading zeros (%1, not %2)")
            .arg(address.toString(), host);
    }
    const int bits = ipv4 ? 32 : 128;
    int prefix = bits;
    if (slash >= 0) {
        const QString length = text.mid(slash + 1);
        const auto given = WholeNumber(length, 0, bits);
        prefix = given ? static_cast<int>(*given) : -1;
        if (!given) {
            return QStringLiteral(
                       "the prefix after / wants a whole number from 0 to %1, not "
                       "\"%2\"")
                .arg(bits)
                .arg(length);
        }
    }
    // A mapped network is kept as IPv4, as the peers it holds are seen (see Allows).
    if (const auto mapped = AsIpv4(address);
        mapped && address.protocol() == QAbstractSocket::IPv6Protocol && prefix >= 96) {
        address = *mapped;
        prefix -= 96;
    }
    networks_.emplace_back(address, prefix);
    return {};
}

bool AllowList::Allows(const QHostAddress& peer) const {
    if (networks_.empty()) return true;
    const std::optional<QHostAddress> ipv4 = AsIpv4(peer);
    // An IPv4 peer against an IPv6 network whose prefix reaches into the mapped range.
    const QHostAddress ipv6 =
        ipv4 ? QHostAddress(QStringLiteral("::ffff:") + ipv4->toString()) : peer;
    return std::any_of(networks_.begin(), networks_.end(), [&](const auto& network) {
        const auto& [address, prefix] = network;
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return ipv4 && ipv4->isInSubnet(address, prefix);
        return ipv6.isInSubnet(address, prefix);
    });
}

}  // namespace display
