#include "HostPort.h"

#include "WholeNumber.h"

namespace display {

std::optional<HostPort> SplitHostPort(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return std::nullopt;
    HostPort parts;
    parts.host = text.left(colon);
    if (parts.host.startsWith(QLatin1Char('[')) && parts.host.endsWith(QLatin1Char(']'))) {
        parts.host = parts.host.mid(1, parts.host.size() - 2);
        parts.bracketed = true;
    }
    const auto port = WholeNumber(QStringView(text).mid(colon + 1), 0, 65535);
    if (!port) return std::nullopt;
    parts.port = static_cast<quint16>(*port);
    return parts;
}

QString JoinHostPort(const QString& host, quint16 port) {
    const QString shown = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    // One pass over both: a numeric scope ("%2" in "fe80::1%2") must not take the port.
    return QStringLiteral("%1:%2").arg(shown, QString::number(port));
}

}  // namespace display
