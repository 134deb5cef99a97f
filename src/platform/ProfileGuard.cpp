#include "platform/ProfileGuard.h"

#include <string_view>

#include "platform/IniFormat.h"

namespace platform {
namespace {

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

const char* IniWriteProblem(const char* lpAppName, const char* lpKeyName, const char* lpString) {
    if (lpAppName != nullptr && HasLineBreak(lpAppName)) {
        return "the section name holds a line break";
    }
    if (lpKeyName != nullptr) {
        const std::string_view name = ini::Trim(lpKeyName);
        if (HasLineBreak(name)) return "the key name holds a line break";
        if (name.find('=') != std::string_view::npos) return "the key name holds '='";
        if (!name.empty() && (name.front() == '[' || name.front() == ';')) {
            return "the key name begins with '[' or ';'";
        }
    }
    if (lpString != nullptr && HasLineBreak(lpString)) return "the value holds a line break";
    return nullptr;
}

}  // namespace platform
