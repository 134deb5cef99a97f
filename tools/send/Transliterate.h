#pragma once
// Characters that Windows-1252 lacks, replaced by look-alikes (glibc iconv's transliteration,
// as the LCD output uses: "Ł" becomes "L", "…" becomes "..."); a character without one becomes
// '?'. UTF-8 in, UTF-8 out, every character then in the code page. Transliterate.cpp uses
// iconv; on Windows, Transliterate_win.cpp takes the system's own best-fit table, whose
// look-alikes are much the same for letters but may differ for symbols.

#include <string>
#include <string_view>

namespace sender {

std::string TransliterateToWindows1252(std::string_view utf8);

}  // namespace sender
