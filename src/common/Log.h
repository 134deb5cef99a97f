#pragma once
// One-line diagnostics on stderr, prefixed with the program's name. The system shows nothing
// of its own to the user; these lines are for whoever looks after the machine.

#include <string_view>

void LogLine(std::string_view message);
