#pragma once
// The system's ANSI code page, Windows-1252, and its case rules.
//
// Inside the system every text is UTF-8. Text becomes Windows-1252 bytes only where it
// crosses a platform boundary (INI file, registry store, TCP bytes). The conversions are
// table-driven and do not depend on the process locale.

#include <string>
#include <string_view>

namespace platform {

// UTF-8 to Windows-1252, one byte per character. A character the code page lacks, and each
// byte of a malformed UTF-8 sequence, becomes '?'. When lost is given, each character so
// replaced is appended to it in order (U+FFFD for a malformed byte); the bytes are the same.
std::string ToAnsi(std::string_view utf8, std::u32string* lost = nullptr);

// Windows-1252 to UTF-8. All 256 bytes map; the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as Windows does.
std::string FromAnsi(std::string_view ansi);

// The lower-case form of one Windows-1252 byte: A-Z, the accented capitals 0xC0-0xDE
// (except 0xD7, the multiplication sign), and the pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ. ß has no
// single-byte capital and stays as it is.
char FoldCase(char ansi);

// True when two Windows-1252 texts are equal without regard to case.
bool EqualNoCase(std::string_view a, std::string_view b);

// The upper-case form of a Windows-1252 text (used to order names as the platform does).
std::string UpperCase(std::string_view ansi);

// UTF-16 and the code page, as the platform's code-page ("A") functions convert: every byte
// becomes its character; a character the code page lacks becomes '?' (one for a pair of
// surrogates), and *lossless (when given) tells whether any did.
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text, bool* lossless = nullptr);

// The upper-case form of one UTF-16 unit, as names are matched and ordered: the code page's
// letters as UpperCase has them, the letters of Latin Extended-A, Greek and Cyrillic by their
// pairs; any other unit stays as it is.
char16_t UpperCaseUnit(char16_t unit);

}  // namespace platform
