#pragma once
// The Windows types and error codes that the platform's services (Registry.h, Profile.h) and
// their stand-ins share, declared once. Plain declarations; nothing here does anything.

#include <cstdint>

namespace platform {

using HKEY = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using BOOL = int;
using BYTE = unsigned char;
using REGSAM = uint32_t;
using WCHAR = char16_t;

// Results: 0 for success, a Win32 error code otherwise.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_BUSY = 170;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_KEY_DELETED = 1018;

}  // namespace platform
