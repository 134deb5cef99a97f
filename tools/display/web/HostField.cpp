#include "HostField.h"

#include <algorithm>
#include <optional>

#include "shared/Ipv4Text.h"

namespace display {

namespace {

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

bool AllDigits(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsDottedQuad(QByteArrayView text) {
    return IsIpv4Text(std::string_view(text.data(), static_cast<std::size_t>(text.size())));
}

// The address a host is written as, or a null address when the host is a name.
QHostAddress AddressOf(QByteArrayView host) {
    if (!host.contains(':') && !IsDottedQuad(host)) return {};
    QHostAddress address;
    if (host.contains('%') || !address.setAddress(QString::fromLatin1(host))) return {};
    return address;
}

// The host of "name", "name:port", "192.168.1.20:8080" or "[::1]:8080", without its brackets;
// nothing when field is not one of those.
std::optional<QByteArrayView> HostOfField(QByteArrayView field) {
    QByteArrayView host = field;
    QByteArrayView rest;
    if (field.startsWith('[')) {
        const qsizetype close = field.indexOf(']');
        if (close < 0) return std::nullopt;
        host = field.sliced(1, close - 1);
        rest = field.sliced(close + 1);
        if (!host.contains(':') || AddressOf(host).isNull()) return std::nullopt;
    } else {
        const qsizetype colon = field.indexOf(':');
        if (colon >= 0) {
            host = field.first(colon);
            rest = field.sliced(colon);
        }
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsNameCharacter))
            return std::nullopt;
    }
    if (!rest.empty()) {
        const QByteArrayView port = rest.sliced(1);
        if (rest.front() != ':' || port.empty() || port.size() > 5 || !AllDigits(port) ||
            port.toInt() > 65535) {
            return std::nullopt;
        }
    }
    return host;
}

// A host as HostName writes it: an address as Qt writes it, a name in lower case.
QString Canonical(QByteArrayView host) {
    const QHostAddress address = AddressOf(host);
    return address.isNull() ? QString::fromLatin1(host).toLower() : address.toString();
}

}  // namespace

QString HostName(const QString& name) {
    const QByteArray latin = name.toLatin1();
    if (QString::fromLatin1(latin) != name) return {};
    QByteArrayView host = latin;
    if (host.startsWith('[') && host.endsWith(']')) host = host.sliced(1, host.size() - 2);
    if (host.contains(':')) return AddressOf(host).isNull() ? QString() : Canonical(host);
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsNameCharacter)) return {};
    return Canonical(host);
}

HostVerdict JudgeHost(QByteArrayView field, const HostRule& rule, const QHostAddress& local) {
    if (field.empty()) return HostVerdict::Served;
    const auto host = HostOfField(field);
    if (!host) return HostVerdict::Malformed;
    const QHostAddress address = AddressOf(*host);
    if (address.isLoopback() || host->compare("localhost", Qt::CaseInsensitive) == 0 ||
        rule.names.contains(Canonical(*host))) {
        return HostVerdict::Served;
    }
    if (rule.loopbackOnly) return HostVerdict::Misdirected;
    if (!address.isNull() && address.isEqual(local, QHostAddress::TolerantConversion))
        return HostVerdict::Served;
    return rule.names.isEmpty() ? HostVerdict::Served : HostVerdict::Misdirected;
}

}  // namespace display
