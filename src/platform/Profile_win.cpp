// On Windows the INI services are the system's own.
// Our header first: <windows.h> defines the error codes it declares (ERROR_SUCCESS ...) as
// macros.
#include "platform/Profile.h"

#include <windows.h>

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
