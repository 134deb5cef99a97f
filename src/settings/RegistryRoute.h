#pragma once
// The registry route of ProfileSetting, taken when the file argument is "$" followed by a
// key path. Internal to settings/.

#include <cstdint>
#include <string>

namespace INI32 {

// Reads or writes value `key` of key `registryPath\section`, with the modes of
// ProfileSetting, and returns what ProfileSetting returns. Errors suppressed.
std::string RegistryRoute(const std::string& registryPath, const std::string& section,
                          const std::string& key, const std::string& value, int16_t mode);

}  // namespace INI32
