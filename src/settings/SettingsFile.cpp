#include "settings/SettingsFile.h"

#include "platform/Application.h"

#if !defined(_WIN32)
#include "platform/Paths.h"
#endif

namespace INI32 {

std::string DefaultSettingsFile() {
    return platform::ApplicationFolder() + "\\" + platform::ApplicationName() + ".ini";
}

std::string SettingsFilePath(std::string_view file) {
    if (file.empty()) return SettingsFilePath(DefaultSettingsFile());
    if (file.front() == '$') return std::string(file);
#if defined(_WIN32)
    return std::string(file);
#else
    return platform::ResolveSettingsFile(file).string();
#endif
}

}  // namespace INI32
