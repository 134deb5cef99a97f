#pragma once
// The running executable's folder and name, as the settings routine needs them to name the
// default settings file. Read from /proc/self/exe; plain C++, no Qt.

#include <string>

namespace platform {

// The folder that holds the running executable, in UTF-8, without a trailing separator
// (except for the root folder itself). Empty if the executable cannot be located.
std::string ApplicationFolder();

// The executable's file name without its extension ("afficheur" for /usr/bin/afficheur,
// "tool" for /opt/tool.bin). Empty if the executable cannot be located.
std::string ApplicationName();

}  // namespace platform
