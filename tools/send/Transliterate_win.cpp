// On Windows the look-alikes are the system's own: code page 1252's best-fit table, which
// WideCharToMultiByte uses unless told not to ("Ł" becomes "L"). A character without one
// becomes '?', and so does each byte that is not UTF-8 (it is U+FFFD on the way).
#include <windows.h>

#include <string>

#include "Transliterate.h"
#include "common/Utf8.h"
#include "platform/Ansi.h"

namespace sender {

std::string TransliterateToWindows1252(std::string_view utf8) {
    const std::u16string wide = utf8::ToUtf16(utf8);
    if (wide.empty()) return {};
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int length = static_cast<int>(wide.size());
    constexpr UINT kWindows1252 = 1252;
    std::string ansi(static_cast<std::size_t>(::WideCharToMultiByte(kWindows1252, 0, units, length,
                                                                    nullptr, 0, nullptr, nullptr)),
                     '\0');
    if (ansi.empty()) return platform::FromAnsi(platform::ToAnsi(utf8));  // '?' for the rest
    ::WideCharToMultiByte(kWindows1252, 0, units, length, ansi.data(),
                          static_cast<int>(ansi.size()), nullptr, nullptr);
    return platform::FromAnsi(ansi);
}

}  // namespace sender
