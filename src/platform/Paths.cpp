#include "platform/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

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

bool CreatePrivateFolders(const std::filesystem::path& folder) {
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec);
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
