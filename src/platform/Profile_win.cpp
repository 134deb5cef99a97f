// On Windows the INI services are the system's own.
// Our header first: <windows.h> defines the error codes it declares (ERROR_SUCCESS ...) as
// macros.
#include "platform/Profile.h"

#include <windows.h>

#include <string>

#include "common/Log.h"
#include "platform/Ansi.h"
#include "platform/ProfileGuard.h"

namespace platform {

DWORD GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpDefault,
                               char* lpReturnedString, DWORD nSize, const char* lpFileName) {
    return ::GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize,
                                      lpFileName);
}

BOOL WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpString,
                                const char* lpFileName) {
    // The system's service would write such a text as it stands and so change the file's
    // structure; the Linux build refuses it, and so does this one.
    if (const char* problem = IniWriteProblem(lpAppName, lpKeyName, lpString)) {
        LogLine("refused to write [" + FromAnsi(lpAppName == nullptr ? "" : lpAppName) + "] in " +
                FromAnsi(lpFileName == nullptr ? "" : lpFileName) + ": " + problem);
        return 0;
    }
    return ::WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, lpFileName);
}

}  // namespace platform
