#pragma once
// "Errors are ignored here": the one way a step runs when its failure must not reach the
// caller. The routines that promise never to fail (the settings routine and its registry
// route, the position keeper's tick, ChooseValue) are written as a row of such steps: a step
// that throws stops where it threw, whatever it did before that stays done, and the routine
// goes on with the next step. Nothing is logged; a step that must be heard logs on its own.

#include <utility>

// Runs body and swallows whatever it throws.
template <typename Body>
void IgnoringErrors(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

// The value of a condition tested with errors ignored. A condition that throws counts as
// true: the steps it guards run, as the statement after a failed test is the first one it
// guards.
template <typename Condition>
bool HoldsIgnoringErrors(Condition&& condition) noexcept {
    try {
        return static_cast<bool>(std::forward<Condition>(condition)());
    } catch (...) {
        return true;
    }
}
