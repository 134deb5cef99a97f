#pragma once
// Keeping the main window above all ordinary windows.

#include <cstdint>

#include "common/IgnoringErrors.h"

namespace client {

// A copy of valueIfTrue when the condition holds, else of valueIfFalse. Never fails: a
// condition that cannot be converted counts as true.
template <typename Condition, typename Value>
Value ChooseValue(const Condition& condition, const Value& valueIfTrue,
                  const Value& valueIfFalse) noexcept {
    const bool holds = HoldsIgnoringErrors([&] { return static_cast<bool>(condition); });
    return holds ? valueIfTrue : valueIfFalse;
}

// Puts the window hWnd into the always-on-top band (OnTop) or takes it out, shows it, and
// neither activates, moves nor resizes it. The result of the window service is not looked at.
void KeepOnTop(int32_t hWnd, bool OnTop);

}  // namespace client
