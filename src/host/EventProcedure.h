#pragma once
// The guard around every event procedure that Qt calls. Qt must never see an exception: an
// error that escapes a procedure ends that procedure only, is logged on stderr with its
// number, source and description, and the window keeps running.

#include <exception>
#include <functional>
#include <string_view>

namespace host {

// Logs the exception `failure` (an Error, a std::exception or anything else) that escaped
// the event procedure named `procedure`, as one line on stderr. Never throws.
void LogEscapedError(std::string_view procedure, const std::exception_ptr& failure) noexcept;

// Runs `procedure` and returns when it returns or fails; a failure is logged as above.
// Returns true when the procedure ran to its end.
bool RunEventProcedure(std::string_view procedure, const std::function<void()>& body) noexcept;

}  // namespace host
