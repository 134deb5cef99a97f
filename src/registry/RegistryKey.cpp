#include "registry/RegistryKey.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "common/Log.h"
#include "platform/Ansi.h"
#include "platform/Registry.h"

namespace {

using platform::BYTE;
using platform::DWORD;
using platform::LONG;

constexpr size_t kNameBufferLength = 4096;
constexpr DWORD kListedNameSize = 512;
// The sizes the security-attributes record has on the 32-bit platform.
constexpr DWORD kSecurityAttributesLength = 12;

const char* const kListingFailed = "Unable to retrieve value names for registry key";

std::string Quoted(const std::string& name) {
    return "value '" + name + "'";
}

// The text form of a value, or the conversion's error for a value that has none.
std::string TextOf(const RegistryKey::Variant& vValue) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "True" : "False";
            } else if constexpr (std::is_same_v<T, int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                char text[32];
                const auto end = std::to_chars(text, text + sizeof text, v).ptr;
                return std::string(text, end);
            } else {
                throw Error(13, "RegistryKey.Let Value", "Type mismatch");
            }
        },
        vValue);
}

// The text of a name buffer up to its first zero character.
std::string UpToZero(const std::string& buffer) {
    return platform::FromAnsi(buffer.c_str());
}

}  // namespace

bool RegistryKey::CreateKey(uint32_t hkeyRoot, const std::string& sSubkey,
                            const std::string& sClass, uint32_t lOptions, uint32_t lRights) {
    CloseKey();
    platform::SECURITY_ATTRIBUTES security{kSecurityAttributesLength, nullptr, 0};
    DWORD disposition = 0;
    const LONG rc = platform::RegCreateKeyExA(hkeyRoot, platform::ToAnsi(sSubkey).c_str(), 0,
                                              platform::ToAnsi(sClass).c_str(), lOptions, lRights,
                                              &security, hKey.out(), &disposition);
    if (rc != platform::ERROR_SUCCESS) {
        hKey.Abandon();  // the platform gave no handle
        return false;
    }
    return disposition == platform::REG_CREATED_NEW_KEY;
}

void RegistryKey::OpenKey(uint32_t hkeyRoot, const std::string& sSubkey, uint32_t lRights) {
    CloseKey();
    const std::string subkey = platform::ToAnsi(sSubkey);
    LONG rc = platform::RegOpenKeyExA(hkeyRoot, subkey.c_str(), 0, lRights, hKey.out());
    if (lRights == platform::KEY_WRITE && rc == platform::ERROR_FILE_NOT_FOUND) {
        CreateKey(hkeyRoot, sSubkey, "", 0, platform::KEY_ALL_ACCESS);
        CloseKey();
        rc = platform::RegOpenKeyExA(hkeyRoot, subkey.c_str(), 0, lRights, hKey.out());
    }
    if (rc != platform::ERROR_SUCCESS) hKey.Abandon();  // the platform gave no handle
}

void RegistryKey::CloseKey() {
    const LONG rc = hKey.Close();
    if (rc != platform::ERROR_SUCCESS) {
        throw Error(rc, "RegistryKey.CloseKey", "An error occurred while closing the registy key");
    }
}

uint32_t RegistryKey::handle() const {
    return hKey.get();
}

std::string RegistryKey::value(const std::string& sName) {
    lastError_.reset();
    uint32_t size = 0;
    try {
        size = GetRegistryValueLen(sName);
    } catch (const Error& error) {
        Note(Error(error.number, "RegistryKey.Get Value",
                   "Unable to get the length of the registy " + Quoted(sName)));
    }
    std::string buffer(size, '\0');
    DWORD type = 0;
    DWORD inOut = size;
    const LONG rc =
        platform::RegQueryValueExA(hKey.get(), platform::ToAnsi(sName).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer.data()), &inOut);
    if (rc != platform::ERROR_SUCCESS) {
        Note(Error(rc, "RegistryKey.Get Value",
                   "An error occurred while getting the registy " + Quoted(sName)));
    }
    if (buffer.empty()) return "";
    buffer.pop_back();
    return platform::FromAnsi(buffer);
}

void RegistryKey::value(const std::string& sName, Variant vValue) {
    const std::string text = platform::ToAnsi(TextOf(vValue));
    platform::RegSetValueExA(hKey.get(), platform::ToAnsi(sName).c_str(), 0, platform::REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1));
}

std::vector<std::string> RegistryKey::ValueNames() {
    std::string buffer(kNameBufferLength, ' ');
    std::vector<std::string> names;
    int16_t count = 0;
    DWORD index = 0;
    LONG rc = platform::ERROR_SUCCESS;
    for (;;) {
        DWORD length = kNameBufferLength;
        DWORD type = 0;
        rc = platform::RegEnumValueA(hKey.get(), index, buffer.data(), &length, nullptr, &type,
                                     nullptr, nullptr);
        if (rc != platform::ERROR_SUCCESS) break;
        if (length > 0) {
            if (count == std::numeric_limits<int16_t>::max()) {
                throw Error(6, "RegistryKey.GetValues", "Overflow");
            }
            ++count;
            names.push_back(platform::FromAnsi(std::string_view(buffer.data(), length)));
        }
        ++index;
    }
    if (rc != platform::ERROR_NO_MORE_ITEMS)
        throw Error(rc, "RegistryKey.GetValues", kListingFailed);
    return names;
}

// Lists every name. (A 16-bit count would stop at 32,767 names and overwrite the last one
// with each further name, so that the list would silently lack names.)
std::optional<std::vector<std::string>> RegistryKey::SubKeyNames() {
    lastError_.reset();
    std::string buffer(kNameBufferLength, ' ');
    std::vector<std::string> names;
    DWORD index = 0;
    LONG rc = platform::ERROR_SUCCESS;
    while ((rc = platform::RegEnumKeyA(hKey.get(), index, buffer.data(), kListedNameSize)) ==
           platform::ERROR_SUCCESS) {
        names.push_back(UpToZero(buffer));
        ++index;
    }
    if (rc != platform::ERROR_NO_MORE_ITEMS) {
        Note(Error(rc, "RegistryKey.GetValues", kListingFailed));
        return std::nullopt;
    }
    return names;
}

void RegistryKey::DeleteKey(uint32_t hkeyRoot, const std::string& sSubkey) {
    const LONG rc = platform::RegDeleteKeyA(hkeyRoot, platform::ToAnsi(sSubkey).c_str());
    if (rc != platform::ERROR_SUCCESS) {
        throw Error(rc, "RegistryKey.DeleteKey", "Unable to delete registry key '" + sSubkey + "'");
    }
}

void RegistryKey::DeleteSubKey(const std::string& sSubkey) {
    const LONG rc = platform::RegDeleteKeyA(hKey.get(), platform::ToAnsi(sSubkey).c_str());
    if (rc != platform::ERROR_SUCCESS) {
        throw Error(rc, "RegistryKey.DeleteSubKey",
                    "Unable to delete registry subkey '" + sSubkey + "'");
    }
}

void RegistryKey::DeleteValue(const std::string& sName) {
    const LONG rc = platform::RegDeleteValueA(hKey.get(), platform::ToAnsi(sName).c_str());
    if (rc != platform::ERROR_SUCCESS) {
        throw Error(rc, "RegistryKey.DeleteValue",
                    "Unable to delete registry value '" + sName + "'");
    }
}

// Lists every name, like SubKeyNames.
std::optional<std::vector<std::string>> RegistryKey::SubValueNames() {
    lastError_.reset();
    std::string buffer(kNameBufferLength, ' ');
    std::vector<std::string> names;
    DWORD index = 0;
    LONG rc = platform::ERROR_SUCCESS;
    for (;;) {
        DWORD length = kListedNameSize;
        DWORD type = 0;
        rc = platform::RegEnumValueA(hKey.get(), index, buffer.data(), &length, nullptr, &type,
                                     nullptr, nullptr);
        if (rc != platform::ERROR_SUCCESS) break;
        names.push_back(UpToZero(buffer));
        ++index;
    }
    if (rc != platform::ERROR_NO_MORE_ITEMS) {
        Note(Error(rc, "RegistryKey.GetValues", kListingFailed));
        return std::nullopt;
    }
    return names;
}

RegistryKey::~RegistryKey() {
    try {
        CloseKey();
    } catch (const Error& error) {
        LogLine("RegistryKey: " + Describe(error));
    } catch (...) {
        LogLine("RegistryKey: the key could not be closed");
    }
    hKey.Abandon();  // one attempt, logged: the owner does not try again
}

const std::optional<Error>& RegistryKey::LastError() const {
    return lastError_;
}

uint32_t RegistryKey::GetRegistryValueLen(const std::string& sName) {
    DWORD type = 0;
    DWORD size = 0;
    const LONG rc = platform::RegQueryValueExA(hKey.get(), platform::ToAnsi(sName).c_str(), nullptr,
                                               &type, nullptr, &size);
    if (rc != platform::ERROR_SUCCESS) {
        throw Error(rc, "RegistryKey.GetRegistryValueLen",
                    "An error occurred while getting the length of the registy " + Quoted(sName));
    }
    return size;
}

void RegistryKey::Note(Error error) {
    lastError_ = std::move(error);
}
