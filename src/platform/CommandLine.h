#pragma once
// A program's arguments as the system's texts are inside it: UTF-8. Plain C++, no Qt.

#include <string>
#include <vector>

namespace platform {

// argv[1..argc-1] in UTF-8. On Linux the bytes are taken as given. On Windows argv holds the
// arguments in the ANSI code page, where a character it lacks is already lost, so they are
// read again from the UTF-16 command line (GetCommandLineW) and converted; argv is the answer
// only if that command line cannot be split.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace platform
