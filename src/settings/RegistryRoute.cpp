#include "settings/RegistryRoute.h"

#include <optional>

#include "common/IgnoringErrors.h"
#include "settings/RegistrySetting.h"

namespace INI32 {

std::string RegistryRoute(const std::string& registryPath, const std::string& section,
                          const std::string& key, const std::string& value, int16_t mode) {
    std::string result;
    std::string keyPath;
    IgnoringErrors([&] { keyPath = registryPath + "\\" + section; });

    if (mode == 0) {
        IgnoringErrors([&] { SetRegistrySetting(keyPath, key, value); });
        IgnoringErrors([&] { result = value; });
        return result;
    }

    std::optional<std::string> data;
    IgnoringErrors([&] { data = GetRegistrySetting(keyPath, key); });
    IgnoringErrors([&] {
        if (!data || data->empty()) {
            if (mode == 2) SetRegistrySetting(keyPath, key, value);
            result = value;
        } else {
            result = *data;
        }
    });
    return result;
}

}  // namespace INI32
