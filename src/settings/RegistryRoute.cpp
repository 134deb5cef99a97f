#include "settings/RegistryRoute.h"

#include <optional>

#include "settings/RegistrySetting.h"

namespace INI32 {

std::string RegistryRoute(const std::string& registryPath, const std::string& section,
                          const std::string& key, const std::string& value, int16_t mode) {
    std::string result;
    std::string keyPath;
    try {
        keyPath = registryPath + "\\" + section;
    } catch (...) {
    }

    if (mode == 0) {
        try {
            SetRegistrySetting(keyPath, key, value);
        } catch (...) {
        }
        try {
            result = value;
        } catch (...) {
        }
        return result;
    }

    std::optional<std::string> data;
    try {
        data = GetRegistrySetting(keyPath, key);
    } catch (...) {
    }
    try {
        if (!data || data->empty()) {
            if (mode == 2) SetRegistrySetting(keyPath, key, value);
            result = value;
        } else {
            result = *data;
        }
    } catch (...) {
    }
    return result;
}

}  // namespace INI32
