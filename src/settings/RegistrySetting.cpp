#include "settings/RegistrySetting.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "common/IgnoringErrors.h"

namespace INI32 {
namespace {

constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;

struct RootName {
    std::string_view name;
    uint32_t handle;
};

// Tested in this order.
constexpr std::array<RootName, 7> kRoots = {{
    {"HKEY_CLASSES_ROOT", 0x80000000},
    {"HKEY_CURRENT_CONFIG", 0x80000005},
    {"HKEY_CURRENT_USER", 0x80000001},
    {"HKEY_DYN_DATA", 0x80000006},
    {"HKEY_LOCAL_MACHINE", 0x80000002},
    {"HKEY_PERFORMANCE_DATA", 0x80000004},
    {"HKEY_USERS", 0x80000003},
}};

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

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
    const std::string rootName = UpperCase(keyPath.substr(0, cut));
    address.subkey = keyPath.substr(cut + 1);
    for (const RootName& root : kRoots) {
        if (rootName == root.name) {
            address.root = root.handle;
            break;
        }
    }
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
    WithRegistryKey(keyPath, kKeyRead, [&](RegistryKey& key) { result = key.value(valueName); });
    return result;
}

void SetRegistrySetting(std::string keyPath, std::string valueName, RegistryKey::Variant data) {
    WithRegistryKey(keyPath, kKeyWrite,
                    [&](RegistryKey& key) { key.value(valueName, std::move(data)); });
}

}  // namespace INI32
