// On Windows the words come from FormatMessageW, in the user's language.
#include <windows.h>

#include <iterator>
#include <string>

#include "common/Utf8.h"
#include "platform/SystemError.h"

namespace platform {

std::string SystemErrorText(int code) {
    wchar_t text[512];
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, static_cast<DWORD>(code), 0, text,
                                    static_cast<DWORD>(std::size(text)), nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                          text[length - 1] == L' ' || text[length - 1] == L'.')) {
        --length;
    }
    if (length == 0) return "error " + std::to_string(code);
    return utf8::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

}  // namespace platform
