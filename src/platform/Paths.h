#pragma once
// Where settings files live on Linux.
//
// A settings file named without a folder lives in ${XDG_CONFIG_HOME:-$HOME/.config}/afficheur/.
// Both '\' and '/' separate folders in a file argument; a name with a folder is used as given,
// relative to the working directory when it is not absolute. The environment is read at every
// call, so nothing is cached.

#include <filesystem>
#include <string_view>

namespace platform {

// ${XDG_CONFIG_HOME:-$HOME/.config}/afficheur. A relative XDG_CONFIG_HOME is ignored, as the
// XDG rules say; without HOME the user database gives the home folder.
std::filesystem::path SettingsFolder();

// True when the file argument names no folder (no '\' and no '/').
bool IsBareName(std::string_view fileUtf8);

// Creates a folder for settings with every missing folder above it, each with mode 0700 (as
// the XDG base directory rules ask: settings may be private); folders that exist keep their
// mode. True when the folder exists afterwards.
bool CreatePrivateFolders(const std::filesystem::path& folder);

// The path a settings file argument (UTF-8) refers to.
std::filesystem::path ResolveSettingsFile(std::string_view fileUtf8);

}  // namespace platform
