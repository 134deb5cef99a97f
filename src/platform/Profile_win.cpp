// On Windows the INI services are the system's own.
#include <windows.h>

#include "platform/Profile.h"

namespace platform {

DWORD GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpDefault,
                               char* lpReturnedString, DWORD nSize, const char* lpFileName) {
    return ::GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize,
                                      lpFileName);
}

BOOL WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpString,
                                const char* lpFileName) {
    return ::WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, lpFileName);
}

}  // namespace platform
