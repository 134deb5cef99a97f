#pragma once
// The words for a system error code, for the one line a program writes when a call fails.

#include <string>

namespace platform {

// On Linux an errno value's words (strerror). On Windows a Win32 or Winsock error code's words
// as the system gives them (FormatMessage), in UTF-8, without the final period and line end;
// "error N" for a code the system has no words for.
std::string SystemErrorText(int code);

}  // namespace platform
