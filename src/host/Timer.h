#pragma once
// A timer control: an interval in milliseconds and an enabled switch. The tick handler is
// given to the implementation when it is made (see UserControl.h); ticks arrive on the
// user-interface thread, one at a time.

namespace host {

class Timer {
  public:
    virtual ~Timer() = default;
    virtual void SetInterval(int milliseconds) = 0;
    virtual int Interval() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

}  // namespace host
