#include "host/QtTimer.h"

#include <algorithm>

#include "host/EventProcedure.h"

namespace host {

QtTimer::QtTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (onTick_) RunEventProcedure("Timer", onTick_);
    });
}

void QtTimer::SetInterval(int milliseconds) {
    interval_ = std::max(0, milliseconds);
    timer_.stop();
    Apply();
}

void QtTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Apply();
}

void QtTimer::Apply() {
    if (!enabled_ || interval_ == 0) {
        timer_.stop();
    } else if (!timer_.isActive()) {
        timer_.start(interval_);
    }
}

}  // namespace host
