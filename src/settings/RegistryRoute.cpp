#include "settings/RegistryRoute.h"

namespace INI32 {

// The registry store is not built yet: every setting there reads as missing and nothing is
// written, so callers get their defaults.
std::string RegistryRoute(const std::string& /*registryPath*/, const std::string& /*section*/,
                          const std::string& /*key*/, const std::string& value,
                          int16_t /*mode*/) {
    return value;
}

}  // namespace INI32
