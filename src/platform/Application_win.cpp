// On Windows the executable's path comes from GetModuleFileNameA, in the ANSI code page.
#include <windows.h>

#include <string>

#include "platform/Ansi.h"
#include "platform/Application.h"

namespace platform {
namespace {

// The executable's full path, ANSI; empty when the system cannot tell.
std::string ExecutablePathAnsi() {
    std::string buffer(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return buffer.substr(0, length);
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

}  // namespace

std::string ApplicationFolder() {
    const std::string exe = ExecutablePathAnsi();
    const size_t separator = LastSeparator(exe);
    if (separator == std::string::npos) return {};
    std::string folder = exe.substr(0, separator);
    // No trailing separator, except for a drive's root ("C:\").
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    return FromAnsi(folder);
}

std::string ApplicationName() {
    const std::string exe = ExecutablePathAnsi();
    const size_t separator = LastSeparator(exe);
    std::string name = separator == std::string::npos ? exe : exe.substr(separator + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return FromAnsi(name);
}

}  // namespace platform
