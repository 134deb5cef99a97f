#include "platform/Profile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/Log.h"
#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "platform/IniFormat.h"
#include "platform/Paths.h"
#include "platform/ProfileGuard.h"

namespace platform {
namespace {

std::string_view OrEmpty(const char* text) {
    return text == nullptr ? "" : text;
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

// The default as the platform hands it back: trailing blanks and one quote pair removed.
std::string_view CleanDefault(const char* lpDefault) {
    std::string_view value = OrEmpty(lpDefault);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    return ini::Unquote(value);
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpDefault,
                               char* lpReturnedString, DWORD nSize, const char* lpFileName) {
    if (lpReturnedString == nullptr || nSize == 0) return 0;

    std::optional<std::string> content;
    if (lpAppName != nullptr && lpKeyName != nullptr && lpFileName != nullptr) {
        content = ReadWholeFile(ResolveSettingsFile(FromAnsi(lpFileName)));
    }
    std::optional<std::string_view> found;
    if (content) found = ini::ReadValue(*content, lpAppName, lpKeyName);
    const std::string_view value = found ? *found : CleanDefault(lpDefault);

    const size_t count = std::min<size_t>(value.size(), nSize - 1);
    std::memcpy(lpReturnedString, value.data(), count);
    lpReturnedString[count] = '\0';
    return static_cast<DWORD>(count);
}

BOOL WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpString,
                                const char* lpFileName) {
    if (lpAppName == nullptr || lpFileName == nullptr) return 0;
    const std::string fileName = FromAnsi(lpFileName);
    const std::filesystem::path path = ResolveSettingsFile(fileName);

    if (const char* problem = IniWriteProblem(lpAppName, lpKeyName, lpString)) {
        LogLine("refused to write [" + FromAnsi(lpAppName) + "] in " + path.string() + ": " +
                problem);
        return 0;
    }
    if (IsBareName(fileName)) CreatePrivateFolders(path.parent_path());

    const std::string_view section = lpAppName;
    const FileEdit edit = [&](std::string_view current) -> std::optional<std::string> {
        if (lpKeyName == nullptr) return ini::WithoutSection(current, section);
        if (lpString == nullptr) return ini::WithoutKey(current, section, lpKeyName);
        return ini::WithValue(current, section, lpKeyName, WithoutLeadingBlanks(lpString));
    };
    std::string error;
    if (!EditFileAtomically(path, edit, &error)) {
        LogLine("cannot write settings file " + path.string() + ": " + error);
        return 0;
    }
    return 1;
}

}  // namespace platform
