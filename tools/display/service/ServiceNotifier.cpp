#include "ServiceNotifier.h"

#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdint>

namespace display {

ServiceNotifier::ServiceNotifier(const QString& status, QObject* parent) : QObject(parent) {
    const QByteArray ready = "READY=1\nSTATUS=" + status.toUtf8();
    sd_notify(0, ready.constData());
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        watchdog_.setInterval(std::chrono::milliseconds(std::max<std::uint64_t>(1, usec / 2000)));
        connect(&watchdog_, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
        watchdog_.start();
    }
}

ServiceNotifier::~ServiceNotifier() {
    sd_notify(0, "STOPPING=1");
}

}  // namespace display
