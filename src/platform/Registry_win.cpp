// On Windows the registry services are the system's own (advapi32). This file cannot include
// platform/Registry.h: <windows.h> defines the same names (HKEY_CURRENT_USER, KEY_READ,
// REG_SZ, ...) as macros. The declarations below must match that header's exactly.
//
// Handles: the rest of the system keeps 32-bit handle values. The predefined roots are the
// 32-bit constants 0x80000000..0x80000006, which Windows widens by sign extension; a handle
// Windows opens is a small kernel handle value, which fits in 32 bits.

#include <windows.h>

#include <cstdint>

namespace platform {

struct SECURITY_ATTRIBUTES;  // ignored here as in the store

namespace {

HKEY ToNative(uint32_t handle) {
    // Sign extension for the predefined roots, zero extension for opened keys.
    const auto wide = handle >= 0x80000000u ? static_cast<intptr_t>(static_cast<int32_t>(handle))
                                            : static_cast<intptr_t>(handle);
    return reinterpret_cast<HKEY>(wide);
}

uint32_t FromNative(HKEY handle) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace

int32_t RegCreateKeyExA(uint32_t hKey, const char* lpSubKey, uint32_t Reserved, const char* lpClass,
                        uint32_t dwOptions, uint32_t samDesired,
                        const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, uint32_t* phkResult,
                        uint32_t* lpdwDisposition) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    const LONG result =
        ::RegCreateKeyExA(ToNative(hKey), lpSubKey, Reserved, const_cast<char*>(lpClass), dwOptions,
                          samDesired, nullptr, &opened, &disposition);
    if (phkResult != nullptr) *phkResult = result == ERROR_SUCCESS ? FromNative(opened) : 0;
    if (lpdwDisposition != nullptr && result == ERROR_SUCCESS) *lpdwDisposition = disposition;
    return result;
}

int32_t RegOpenKeyExA(uint32_t hKey, const char* lpSubKey, uint32_t ulOptions, uint32_t samDesired,
                      uint32_t* phkResult) {
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(ToNative(hKey), lpSubKey, ulOptions, samDesired, &opened);
    if (phkResult != nullptr) *phkResult = result == ERROR_SUCCESS ? FromNative(opened) : 0;
    return result;
}

int32_t RegCloseKey(uint32_t hKey) {
    return ::RegCloseKey(ToNative(hKey));
}

int32_t RegQueryValueExA(uint32_t hKey, const char* lpValueName, uint32_t* lpReserved,
                         uint32_t* lpType, unsigned char* lpData, uint32_t* lpcbData) {
    DWORD type = 0;
    DWORD size = lpcbData != nullptr ? *lpcbData : 0;
    const LONG result = ::RegQueryValueExA(
        ToNative(hKey), lpValueName, reinterpret_cast<DWORD*>(lpReserved),
        lpType != nullptr ? &type : nullptr, lpData, lpcbData != nullptr ? &size : nullptr);
    if (lpType != nullptr) *lpType = type;
    if (lpcbData != nullptr) *lpcbData = size;
    return result;
}

int32_t RegSetValueExA(uint32_t hKey, const char* lpValueName, uint32_t Reserved, uint32_t dwType,
                       const unsigned char* lpData, uint32_t cbData) {
    return ::RegSetValueExA(ToNative(hKey), lpValueName, Reserved, dwType, lpData, cbData);
}

int32_t RegDeleteValueA(uint32_t hKey, const char* lpValueName) {
    return ::RegDeleteValueA(ToNative(hKey), lpValueName);
}

int32_t RegEnumValueA(uint32_t hKey, uint32_t dwIndex, char* lpValueName, uint32_t* lpcchValueName,
                      uint32_t* lpReserved, uint32_t* lpType, unsigned char* lpData,
                      uint32_t* lpcbData) {
    DWORD nameLength = lpcchValueName != nullptr ? *lpcchValueName : 0;
    DWORD type = 0;
    DWORD size = lpcbData != nullptr ? *lpcbData : 0;
    const LONG result = ::RegEnumValueA(
        ToNative(hKey), dwIndex, lpValueName, lpcchValueName != nullptr ? &nameLength : nullptr,
        reinterpret_cast<DWORD*>(lpReserved), lpType != nullptr ? &type : nullptr, lpData,
        lpcbData != nullptr ? &size : nullptr);
    if (lpcchValueName != nullptr) *lpcchValueName = nameLength;
    if (lpType != nullptr) *lpType = type;
    if (lpcbData != nullptr) *lpcbData = size;
    return result;
}

int32_t RegEnumKeyA(uint32_t hKey, uint32_t dwIndex, char* lpName, uint32_t cchName) {
    return ::RegEnumKeyA(ToNative(hKey), dwIndex, lpName, cchName);
}

int32_t RegDeleteKeyA(uint32_t hKey, const char* lpSubKey) {
    return ::RegDeleteKeyA(ToNative(hKey), lpSubKey);
}

// The UTF-16 forms: WCHAR is char16_t in the header and wchar_t here, both 16-bit units.
namespace {

const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

}  // namespace

int32_t RegCreateKeyExW(uint32_t hKey, const char16_t* lpSubKey, uint32_t Reserved,
                        const char16_t* lpClass, uint32_t dwOptions, uint32_t samDesired,
                        const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, uint32_t* phkResult,
                        uint32_t* lpdwDisposition) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    const LONG result = ::RegCreateKeyExW(ToNative(hKey), Wide(lpSubKey), Reserved,
                                          const_cast<wchar_t*>(Wide(lpClass)), dwOptions,
                                          samDesired, nullptr, &opened, &disposition);
    if (phkResult != nullptr) *phkResult = result == ERROR_SUCCESS ? FromNative(opened) : 0;
    if (lpdwDisposition != nullptr && result == ERROR_SUCCESS) *lpdwDisposition = disposition;
    return result;
}

int32_t RegOpenKeyExW(uint32_t hKey, const char16_t* lpSubKey, uint32_t ulOptions,
                      uint32_t samDesired, uint32_t* phkResult) {
    HKEY opened = nullptr;
    const LONG result =
        ::RegOpenKeyExW(ToNative(hKey), Wide(lpSubKey), ulOptions, samDesired, &opened);
    if (phkResult != nullptr) *phkResult = result == ERROR_SUCCESS ? FromNative(opened) : 0;
    return result;
}

int32_t RegQueryValueExW(uint32_t hKey, const char16_t* lpValueName, uint32_t* lpReserved,
                         uint32_t* lpType, unsigned char* lpData, uint32_t* lpcbData) {
    DWORD type = 0;
    DWORD size = lpcbData != nullptr ? *lpcbData : 0;
    const LONG result = ::RegQueryValueExW(
        ToNative(hKey), Wide(lpValueName), reinterpret_cast<DWORD*>(lpReserved),
        lpType != nullptr ? &type : nullptr, lpData, lpcbData != nullptr ? &size : nullptr);
    if (lpType != nullptr) *lpType = type;
    if (lpcbData != nullptr) *lpcbData = size;
    return result;
}

int32_t RegSetValueExW(uint32_t hKey, const char16_t* lpValueName, uint32_t Reserved,
                       uint32_t dwType, const unsigned char* lpData, uint32_t cbData) {
    return ::RegSetValueExW(ToNative(hKey), Wide(lpValueName), Reserved, dwType, lpData, cbData);
}

int32_t RegDeleteValueW(uint32_t hKey, const char16_t* lpValueName) {
    return ::RegDeleteValueW(ToNative(hKey), Wide(lpValueName));
}

int32_t RegEnumValueW(uint32_t hKey, uint32_t dwIndex, char16_t* lpValueName,
                      uint32_t* lpcchValueName, uint32_t* lpReserved, uint32_t* lpType,
                      unsigned char* lpData, uint32_t* lpcbData) {
    DWORD nameLength = lpcchValueName != nullptr ? *lpcchValueName : 0;
    DWORD type = 0;
    DWORD size = lpcbData != nullptr ? *lpcbData : 0;
    const LONG result = ::RegEnumValueW(
        ToNative(hKey), dwIndex, reinterpret_cast<wchar_t*>(lpValueName),
        lpcchValueName != nullptr ? &nameLength : nullptr, reinterpret_cast<DWORD*>(lpReserved),
        lpType != nullptr ? &type : nullptr, lpData, lpcbData != nullptr ? &size : nullptr);
    if (lpcchValueName != nullptr) *lpcchValueName = nameLength;
    if (lpType != nullptr) *lpType = type;
    if (lpcbData != nullptr) *lpcbData = size;
    return result;
}

int32_t RegEnumKeyW(uint32_t hKey, uint32_t dwIndex, char16_t* lpName, uint32_t cchName) {
    return ::RegEnumKeyW(ToNative(hKey), dwIndex, reinterpret_cast<wchar_t*>(lpName), cchName);
}

int32_t RegDeleteKeyW(uint32_t hKey, const char16_t* lpSubKey) {
    return ::RegDeleteKeyW(ToNative(hKey), Wide(lpSubKey));
}

}  // namespace platform
