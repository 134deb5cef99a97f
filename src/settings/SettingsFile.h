#pragma once
// The settings file's names: the one ProfileSetting uses when it is given none, and the path a
// file argument stands for, so that a message can name the file a user should edit. Plain
// functions of the running executable and the environment; nothing is cached.

#include <string>
#include <string_view>

namespace INI32 {

// The client's settings file, which afficheur-send also reads for the display's address.
inline constexpr const char* kClientSettingsFile = "QUORIXaffich.ini";

// "<folder of the executable>\<executable name>.ini", the file an empty file argument names.
// Throws only when memory runs out; with the executable not found it is "\.ini".
std::string DefaultSettingsFile();

// The path (UTF-8) of the file a settings file argument names: an empty argument names
// DefaultSettingsFile(); on Linux a bare name lives in the settings folder
// (${XDG_CONFIG_HOME:-$HOME/.config}/afficheur) and '\' separates folders as '/' does. On
// Windows the argument is returned as given (the system's INI services place a bare name in
// the Windows folder). A registry route ("$...") names no file and is returned as given.
std::string SettingsFilePath(std::string_view file);

}  // namespace INI32
