#pragma once
// host::Timer over a QTimer. Ticks arrive on the user-interface thread and run through the
// event-procedure guard, so an error in a tick is logged and the timer goes on. An interval
// of 0 never ticks (the timer stays enabled but idle), as in the original framework.

#include <QTimer>
#include <functional>

#include "host/Timer.h"

namespace host {

class QtTimer final : public Timer {
  public:
    // A disabled timer with interval 0 whose ticks run onTick.
    explicit QtTimer(std::function<void()> onTick);
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    // A new interval restarts the countdown of an enabled timer. Negative counts as 0.
    void SetInterval(int milliseconds) override;
    int Interval() const override { return interval_; }
    // Enabling an enabled timer changes nothing (the countdown is not restarted).
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }

  private:
    void Apply();

    QTimer timer_;
    std::function<void()> onTick_;
    int interval_ = 0;
    bool enabled_ = false;
};

}  // namespace host
