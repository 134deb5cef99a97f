#pragma once
// The INI text format, on bytes in memory: finding a value and editing one key while keeping
// every other byte of the text as it was. No file access here; Profile does the I/O.
//
// The rules follow what users know from the platform's own INI files:
// - a section header is a line whose first non-blank character is '['; the last ']' on the
//   line ends the name; a '[' line without ']' is not a header;
// - a key line holds '='; the name is what stands before the first '=' and the value what
//   follows it, both without the blanks around them; a line without '=' is no key;
// - a line whose first non-blank character is ';' is a comment;
// - names match without regard to case (Windows-1252) and to blanks around them;
// - of two equal sections, or two equal keys in a section, the first one counts;
// - key lines before the first header belong to a section with an empty name;
// - lines end with LF or CR LF.

#include <optional>
#include <string>
#include <string_view>

namespace platform::ini {

// The first matching key's value, blanks around it removed, quotes not yet removed;
// nullopt when the section or the key is missing.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// The value without one pair of matching quotes (' or ") around it, if it has them.
std::string_view Unquote(std::string_view value);

// The value as it reads back: as FindValue, then Unquote.
std::optional<std::string_view> ReadValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// The text with key set to value: the first matching key line keeps its spelling and only its
// value changes; a new key goes after the last key line of its section; a new section goes
// at the end of the text. New lines take the text's own line ending (LF for an empty text).
// nullopt when the key already holds exactly this value, so the caller need not rewrite.
std::optional<std::string> WithValue(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value);

// The text without the first matching key line (nullopt when there is none).
std::optional<std::string> WithoutKey(std::string_view text, std::string_view section,
                                      std::string_view key);

// The text without the first matching section, its header and lines (nullopt when none).
std::optional<std::string> WithoutSection(std::string_view text, std::string_view section);

// Blanks as the format counts them around names and values: space, tab, CR, VT, FF.
std::string_view Trim(std::string_view text);

}  // namespace platform::ini
