#include "settings/RegistrySetting.h"

#include <cstdint>
#include <functional>
#include <utility>

#include "common/IgnoringErrors.h"
#include "platform/RegistryRoots.h"

namespace INI32 {
namespace {

struct KeyAddress {
    uint32_t root = 0;
    std::string subkey;
};

// Splits a key path at its first '\' into the root's handle (0 for an unknown root or a
// path without '\') and the subkey.
KeyAddress Address(const std::string& keyPath) {
    KeyAddress address;
    const size_t cut = keyPath.find('\\');
    if (cut == std::string::npos) {
        address.subkey = keyPath;
        return address;
    }
    // Full root names only, their letter case playing no part: HKCU is no root here.
    if (const platform::RegistryRoot* root =
            platform::FindRegistryRoot(keyPath.substr(0, cut), /*briefToo=*/false)) {
        address.root = root->handle;
    }
    address.subkey = keyPath.substr(cut + 1);
    return address;
}

// The steps both routines share: find the root and the subkey, open one RegistryKey with the
// rights given, run the final operation on it and release it, which closes the key. Every step
// runs with errors suppressed.
void WithRegistryKey(const std::string& keyPath, uint32_t rights,
                     const std::function<void(RegistryKey&)>& operation) {
    KeyAddress address;
    IgnoringErrors([&] { address = Address(keyPath); });
    IgnoringErrors([&] {
        RegistryKey key;
        IgnoringErrors([&] { key.OpenKey(address.root, address.subkey, rights); });
        IgnoringErrors([&] { operation(key); });
    });
}

}  // namespace

std::optional<std::string> GetRegistrySetting(std::string keyPath, std::string valueName) {
    std::optional<std::string> result;
    WithRegistryKey(keyPath, platform::KEY_READ,
                    [&](RegistryKey& key) { result = key.value(valueName); });
    return result;
}

void SetRegistrySetting(std::string keyPath, std::string valueName, RegistryKey::Variant data) {
    WithRegistryKey(keyPath, platform::KEY_WRITE,
                    [&](RegistryKey& key) { key.value(valueName, std::move(data)); });
}

}  // namespace INI32
