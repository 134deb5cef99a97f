#include "RegFile.h"

#include <cstdio>
#include <string_view>

#include "common/Utf8.h"
#include "platform/Ansi.h"
#include "platform/Registry.h"
#include "platform/RegistryRoots.h"

namespace reg {
namespace {

using platform::IsTextType;  // the hex form of these types is UTF-16LE in version 5.00 files
using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_SZ;

constexpr size_t kLineLimit = 80;

const char* const kHeader4 = "REGEDIT4";
const char* const kHeader5 = "Windows Registry Editor Version 5.00";

// UTF-8 text as UTF-16LE bytes; each malformed byte becomes U+FFFD, so that the bytes after
// it (a closing ']' or quote) are never taken into it.
std::string Utf16Le(std::string_view text) {
    return utf8::Utf16Bytes(utf8::ToUtf16(text));
}

// UTF-16LE bytes as UTF-8; a lone surrogate stays a malformed sequence (see common/Utf8.h).
std::string FromUtf16Le(std::string_view bytes) {
    return utf8::FromUtf16(utf8::Utf16FromBytes(bytes));
}

// A text in Windows-1252 for a REGEDIT4 file, or a FormatError naming the character the code
// page lacks. A malformed byte becomes '?', as it always has: it is no character to keep.
std::string ToRegedit4(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t length = utf8::Decode(text, i, &cp);
        if (length == 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        bool kept = true;
        const std::string byte = platform::ToAnsi(text.substr(i, length));
        if (byte == "?" && cp != U'?') kept = false;
        if (!kept) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
            throw FormatError(std::string("the character ") + code +
                              " has no place in a REGEDIT4 file (Windows-1252); export as "
                              "version 5.00");
        }
        out += byte;
        i += length;
    }
    return out;
}

std::string Quote(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

// A REG_SZ that a quoted string gives back exactly: UTF-16 text, one NUL at the end, no NUL or
// line break inside, and no lone surrogate.
bool FitsQuotedString(const std::string& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    const std::u16string units = utf8::Utf16FromBytes(data);
    if (units.back() != u'\0') return false;
    if (units.find_first_of(std::u16string_view(u"\0\r\n", 3)) != units.size() - 1) return false;
    return utf8::IsWellFormed(utf8::FromUtf16(units));
}

// Hex data as regedit writes it: each line takes as many "xx," entries as fit in 80
// characters with the backslash that continues it, and the next line starts with two blanks.
// The last entry, which has no comma, goes where a "xx,\" would still fit.
// Widths count characters (UTF-16 units), as regedit counts them, not UTF-8 bytes.
std::string HexLine(std::string line, std::string_view bytes) {
    constexpr size_t kEntryWithContinuation = 4;  // "xx,\"
    std::string out;
    // How many more bytes than characters the line holds: only the first line's name has any.
    size_t extraBytes = line.size() - utf8::ToUtf16(line).size();
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (line.size() - extraBytes + kEntryWithContinuation > kLineLimit) {
            out += line + "\\\n";
            line = "  ";
            extraBytes = 0;
        }
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
        line += hex;
        if (i + 1 < bytes.size()) line.push_back(',');
    }
    return out + line;
}

std::string FormatValue(const Value& value, Version version) {
    std::string line = value.name.empty() ? "@" : Quote(value.name);
    line.push_back('=');
    if (value.remove) return line + "-";
    if (value.type == REG_SZ && FitsQuotedString(value.data)) {
        return line + Quote(FromUtf16Le(value.data.substr(0, value.data.size() - 2)));
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        char text[20];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return line + text;
    }
    std::string bytes = value.data;
    if (version == Version::Regedit4 && IsTextType(value.type)) {
        // REGEDIT4 holds text in the code page; what it cannot hold exactly is refused.
        if (bytes.size() % 2 != 0 || !utf8::IsWellFormed(FromUtf16Le(bytes))) {
            throw FormatError(
                "text data that is not whole UTF-16 has no place in a REGEDIT4 "
                "file; export as version 5.00");
        }
        bytes = ToRegedit4(FromUtf16Le(bytes));
    }
    if (value.type == REG_BINARY) {
        line += "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        line += prefix;
    }
    return HexLine(line, bytes);
}

// --- Parsing -------------------------------------------------------------------------------

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

// Reads a quoted string at the start of s (which begins with '"'); advances s past it.
std::string ReadQuoted(std::string_view& s, int line) {
    std::string out;
    size_t i = 1;
    for (; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out.push_back(s[++i]);
        } else if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return out;
        } else {
            out.push_back(s[i]);
        }
    }
    throw ParseError(line, "a quoted string has no closing quote");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string ReadHexBytes(std::string_view s, int line) {
    std::string out;
    s = TrimLeft(TrimRight(s));
    while (!s.empty()) {
        const size_t comma = s.find(',');
        const std::string_view item = TrimLeft(TrimRight(s.substr(0, comma)));
        if (item.empty() && comma == std::string_view::npos) break;
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
            throw ParseError(line, "'" + std::string(item) + "' is not a hex byte");
        }
        out.push_back(static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    return out;
}

// Refuses a name holding a control character: through the platform's calls a NUL would cut
// the name short, and the others have no place in a name a .reg file can write back.
void CheckNoControl(std::string_view name, const char* what, int line) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", byte);
            throw ParseError(line, std::string("a control character (") + code + ") in " + what);
        }
    }
}

// Refuses a text whose characters the store cannot keep: a malformed UTF-8 sequence in a
// UTF-8 file, a lone surrogate in a UTF-16 one. Each would otherwise become U+FFFD unseen.
void CheckKeepable(std::string_view text, const char* what, int line) {
    if (!utf8::IsWellFormed(text)) {
        throw ParseError(line, std::string("a character that cannot be kept (a malformed "
                                           "sequence or a lone surrogate) in ") +
                                   what);
    }
}

// Refuses a path the store would refuse, before anything of the file is applied. The names
// below the root are measured as the store gets them, in UTF-16 units.
void CheckPath(std::string_view path, int line) {
    CheckNoControl(path, "a key name", line);
    const size_t cut = path.find('\\');
    if (FindRoot(path.substr(0, cut)) == nullptr) {
        throw ParseError(line, "invalid key name '" + std::string(path) + "' (unknown root)");
    }
    if (cut == std::string_view::npos) return;
    std::u16string names = utf8::ToUtf16(path.substr(cut + 1));
    while (!names.empty() && names.back() == u'\\')
        names.pop_back();
    if (!names.empty() && names.front() == u'\\') {
        throw ParseError(
            line, "invalid key name '" + std::string(path) + "' (empty name below the root)");
    }
    size_t levels = 0;
    for (size_t start = 0; start < names.size();) {
        const size_t end = std::min(names.find(u'\\', start), names.size());
        if (end - start > platform::kMaxKeyNameLength) {
            throw ParseError(line, "a key name longer than 255 characters");
        }
        if (end > start) ++levels;
        start = end + 1;
    }
    if (levels > platform::kMaxKeyDepth) {
        throw ParseError(line, "a key path deeper than 512 levels");
    }
}

Value ParseValue(std::string_view text, Version version, int line) {
    Value value;
    if (text.front() == '@') {
        text.remove_prefix(1);
    } else {
        value.name = ReadQuoted(text, line);
        CheckNoControl(value.name, "a value name", line);
        CheckKeepable(value.name, "a value name", line);
        if (utf8::ToUtf16(value.name).size() > platform::kMaxValueNameLength) {
            throw ParseError(line, "a value name longer than 16383 characters");
        }
    }
    text = TrimLeft(text);
    if (text.empty() || text.front() != '=') throw ParseError(line, "'=' expected after the name");
    text = TrimLeft(TrimRight(text.substr(1)));
    if (text == "-") {
        value.remove = true;
        return value;
    }
    if (!text.empty() && text.front() == '"') {
        value.type = REG_SZ;
        const std::string string = ReadQuoted(text, line);
        CheckKeepable(string, "a string", line);
        value.data = Utf16Le(string) + std::string(2, '\0');
        if (!TrimLeft(text).empty()) throw ParseError(line, "unexpected text after the string");
        return value;
    }
    if (text.substr(0, 6) == "dword:") {
        const std::string_view digits = text.substr(6);
        if (digits.empty() || digits.size() > 8) {
            throw ParseError(line, "a dword needs 1 to 8 hex digits");
        }
        uint32_t number = 0;
        for (const char c : digits) {
            if (HexDigit(c) < 0) throw ParseError(line, "a dword needs hex digits");
            number = number * 16 + static_cast<uint32_t>(HexDigit(c));
        }
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
        return value;
    }
    if (text.substr(0, 4) == "hex:") {
        value.type = REG_BINARY;
        value.data = ReadHexBytes(text.substr(4), line);
        return value;
    }
    if (text.substr(0, 4) == "hex(") {
        const size_t close = text.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) {
            throw ParseError(line, "hex(type): expected");
        }
        uint32_t type = 0;
        for (const char c : text.substr(4, close - 4)) {
            if (HexDigit(c) < 0) throw ParseError(line, "the type of hex(type) is not hex");
            type = type * 16 + static_cast<uint32_t>(HexDigit(c));
        }
        value.type = type;
        value.data = ReadHexBytes(text.substr(close + 2), line);
        if (version == Version::Version5 && IsTextType(type)) {
            if (value.data.size() % 2 != 0) {
                throw ParseError(line, "UTF-16 text data has an odd number of bytes");
            }
        } else if (IsTextType(type)) {
            // REGEDIT4 text data is in the code page; the store keeps it as UTF-16.
            value.data = utf8::Utf16Bytes(platform::AnsiToUtf16(value.data));
        }
        return value;
    }
    throw ParseError(line, "unrecognised value data");
}

}  // namespace

void CheckKeepable(const std::vector<KeySection>& sections) {
    for (const KeySection& section : sections)
        CheckKeepable(section.path, "a key name", section.line);
}

const platform::RegistryRoot* FindRoot(std::string_view name) {
    const platform::RegistryRoot* root = platform::FindRegistryRoot(name, true);
    // HKEY_PERFORMANCE_DATA holds nothing a file could carry.
    if (root != nullptr && root->handle == platform::HKEY_PERFORMANCE_DATA) return nullptr;
    return root;
}

std::string FormatSection(const KeySection& section, Version version) {
    std::string out = "[" + std::string(section.remove ? "-" : "") + section.path + "]\n";
    for (const Value& value : section.values)
        out += FormatValue(value, version) + "\n";
    return out;
}

std::string EncodeFile(const std::vector<KeySection>& sections, Version version) {
    std::string text = std::string(version == Version::Version5 ? kHeader5 : kHeader4) + "\n\n";
    for (const KeySection& section : sections)
        text += FormatSection(section, version) + "\n";
    std::string crlf;
    for (const char c : text) {
        if (c == '\n') crlf.push_back('\r');
        crlf.push_back(c);
    }
    if (version == Version::Regedit4) return ToRegedit4(crlf);
    return "\xFF\xFE" + Utf16Le(crlf);
}

std::vector<KeySection> ParseFile(const std::string& bytes) {
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text = FromUtf16Le(std::string_view(bytes).substr(2));
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = bytes.substr(3);
    } else {
        text = platform::FromAnsi(bytes);
    }

    std::vector<std::string> lines;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.emplace_back(TrimRight(std::string_view(text).substr(start, end - start)));
        start = end + 1;
    }

    std::vector<KeySection> sections;
    std::optional<Version> version;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        std::string line = std::string(TrimLeft(lines[i]));
        if (!version) {
            if (line == kHeader5) {
                version = Version::Version5;
            } else if (line == kHeader4) {
                version = Version::Regedit4;
            } else {
                throw ParseError(number, "not a registry file (the header is missing)");
            }
            continue;
        }
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') throw ParseError(number, "']' expected");
            KeySection section;
            std::string_view path = std::string_view(line).substr(1, line.size() - 2);
            if (!path.empty() && path.front() == '-') {
                section.remove = true;
                path.remove_prefix(1);
            }
            if (path.empty()) throw ParseError(number, "empty key name");
            CheckPath(path, number);
            section.path = std::string(path);
            section.line = number;
            sections.push_back(std::move(section));
            continue;
        }
        if (line.front() != '"' && line.front() != '@') {
            throw ParseError(number, "a value or a [key] expected");
        }
        if (sections.empty()) throw ParseError(number, "a value before any [key]");
        // Hex data goes on after a ",\" (or "hex:\") at the end of a line.
        while (line.size() >= 2 && line.back() == '\\' &&
               (line[line.size() - 2] == ',' || line[line.size() - 2] == ':') &&
               i + 1 < lines.size()) {
            line.pop_back();
            line += std::string(TrimLeft(lines[++i]));
        }
        sections.back().values.push_back(ParseValue(line, *version, number));
        sections.back().values.back().line = number;
    }
    if (!version) throw ParseError(1, "not a registry file (the header is missing)");
    return sections;
}

}  // namespace reg
