#pragma once
// Text on its way to LCDd, in plain C++ (no Qt, no socket), so every rule can be tested alone.
//
// LCDd counts one byte per character and hands the bytes to its driver, which shows each byte
// as the device's own character ROM or code page says. So a text is cleaned (control
// characters dropped), converted from UTF-8 to the display's one-byte character set with
// transliteration (glibc's iconv with //TRANSLIT: "é" becomes "e" on an ASCII display, "€"
// becomes "EUR"), and quoted for LCDd's command parser. Nothing here throws on any input.

#include <iconv.h>
#include <locale.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace display {

// The character set used when none is chosen: plain ASCII, the one range every character
// display shows the same (see the man page for why).
inline constexpr const char* kDefaultLcdCharset = "ASCII";

// The most characters of one text that go to the display; the rest is cut. Keeps each command
// line short enough to travel in one TCP segment, which LCDd needs (it drops a line that
// arrives in pieces).
inline constexpr std::size_t kMaxLcdTextBytes = 200;

// UTF-8 text with the control characters removed: C0 (0x00-0x1F), DEL and C1 (U+0080-U+009F).
// Bytes that are not valid UTF-8 are kept; the conversion below deals with them.
std::string DropControls(std::string_view utf8);

// The bytes as one argument of an LCDd command: in double quotes, with '"', '\' and the braces
// escaped by a backslash, so the parser gives back exactly these bytes. Control bytes
// (below 0x20, and 0x7F) are dropped: a line feed would end the command.
std::string Quote(std::string_view bytes);

// One conversion from UTF-8 to a display's character set. Owns its iconv descriptor and the
// locale whose transliteration tables it uses (C.UTF-8, so that the result does not depend on
// the user's locale). Use from one thread at a time.
class LcdCharset {
  public:
    // Opens the conversion to the character set called name (iconv's names: "ASCII",
    // "ISO-8859-1", "CP437", "CP850", "CP1252", ...). Fails, with the reason in *error, when
    // iconv does not know the name or when the set is not one byte per character with ASCII
    // in its lower half (LCDd counts bytes, so UTF-8 or UTF-16 would break the layout).
    static std::optional<LcdCharset> Open(std::string_view name, std::string* error);

    // The text (UTF-8) in the display's character set: control characters dropped, characters
    // the set lacks transliterated, or "?" where there is no transliteration; a byte that is
    // not valid UTF-8 becomes "?". The result is cut at kMaxLcdTextBytes.
    std::string Convert(std::string_view utf8) const;

  private:
    struct IconvCloser {
        void operator()(iconv_t cd) const { iconv_close(cd); }
    };
    struct LocaleFreer {
        void operator()(locale_t locale) const { freelocale(locale); }
    };
    using Iconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;
    using Locale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFreer>;

    LcdCharset(Iconv cd, Locale locale);

    Iconv cd_;
    Locale locale_;  // null when C.UTF-8 is missing: the process's locale is used
};

// A text in the display's character set, its own lines (a line break: CR, LF or CRLF)
// converted one by one and kept apart by '\n', a TAB keeping a sale line's item and amount
// apart (further TABs show as a blank).
std::string ConvertLines(const LcdCharset& charset, const std::string& text);

}  // namespace display
