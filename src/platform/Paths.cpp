#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {
namespace {

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

}  // namespace

std::filesystem::path SettingsFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / "afficheur";
    return HomeFolder() / ".config" / "afficheur";
}

bool IsBareName(std::string_view fileUtf8) {
    return fileUtf8.find_first_of("\\/") == std::string_view::npos;
}

std::filesystem::path ResolveSettingsFile(std::string_view fileUtf8) {
    if (IsBareName(fileUtf8)) return SettingsFolder() / std::string(fileUtf8);
    std::string path(fileUtf8);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

}  // namespace platform
