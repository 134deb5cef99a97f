#include "PairingInvite.h"

#include <QHostAddress>
#include <QUrl>

#include <array>
#include <utility>

namespace display {

QString PairingUrl(const QStringList& candidates) {
    const std::array<std::pair<QHostAddress, int>, 3> kPrivate = {{
        {QHostAddress(QStringLiteral("192.168.0.0")), 16},
        {QHostAddress(QStringLiteral("10.0.0.0")), 8},
        {QHostAddress(QStringLiteral("172.16.0.0")), 12},
    }};
    const auto host = [](const QString& url) { return QHostAddress(QUrl(url).host()); };
    for (const auto& network : kPrivate) {
        for (const QString& url : candidates) {
            if (host(url).isInSubnet(network)) return url;
        }
    }
    for (const QString& url : candidates) {
        if (host(url).protocol() == QAbstractSocket::IPv4Protocol) return url;
    }
    return candidates.value(0);
}

PairingInvite::PairingInvite(Candidates candidates, Show show, std::chrono::milliseconds minute,
                             std::chrono::milliseconds refresh, QObject* parent)
    : QObject(parent), candidates_(std::move(candidates)), show_(std::move(show)) {
    minute_.setSingleShot(true);
    minute_.setInterval(minute);
    connect(&minute_, &QTimer::timeout, this, [this] { Update(); });
    // An address comes up after the display at boot, or changes with the network.
    refresh_.setInterval(refresh);
    connect(&refresh_, &QTimer::timeout, this, [this] { Update(); });
    Update();
}

void PairingInvite::Ask() {
    minute_.start();
    Update();
}

void PairingInvite::Viewers(int count) {
    if (count > viewers_) {
        followed_ = true;
        minute_.stop();
    }
    viewers_ = count;
    Update();
}

void PairingInvite::Update() {
    const bool wanted = !followed_ || minute_.isActive();
    const QString url = wanted ? PairingUrl(candidates_()) : QString();
    if (wanted && !refresh_.isActive()) refresh_.start();
    if (!wanted) refresh_.stop();
    if (url == shown_) return;
    shown_ = url;
    show_(shown_);
}

}  // namespace display
