#include "platform/IniFormat.h"

#include "platform/Ansi.h"

namespace platform::ini {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

enum class LineKind { kOther, kSection, kKey };

struct Line {
    size_t begin = 0;  // first byte of the line
    size_t end = 0;    // end of its content, before CR LF or LF
    size_t next = 0;   // first byte of the next line
    LineKind kind = LineKind::kOther;
    std::string_view name;  // section or key name, trimmed
    size_t valueBegin = 0;  // key lines: the value, trimmed
    size_t valueEnd = 0;
};

Line ReadLine(std::string_view text, size_t pos) {
    Line line;
    line.begin = pos;
    const size_t newline = text.find('\n', pos);
    line.next = newline == std::string_view::npos ? text.size() : newline + 1;
    line.end = newline == std::string_view::npos ? text.size() : newline;
    if (line.end > pos && text[line.end - 1] == '\r') --line.end;

    size_t first = pos;
    while (first < line.end && IsBlank(text[first]))
        ++first;
    if (first == line.end || text[first] == ';') return line;

    const std::string_view content = text.substr(first, line.end - first);
    if (content.front() == '[') {
        const size_t close = content.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::kSection;
            line.name = Trim(content.substr(1, close - 1));
            return line;
        }
    }
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos) return line;
    line.kind = LineKind::kKey;
    line.name = Trim(content.substr(0, equals));
    size_t valueBegin = first + equals + 1;
    size_t valueEnd = line.end;
    while (valueBegin < valueEnd && IsBlank(text[valueBegin]))
        ++valueBegin;
    while (valueEnd > valueBegin && IsBlank(text[valueEnd - 1]))
        --valueEnd;
    line.valueBegin = valueBegin;
    line.valueEnd = valueEnd;
    return line;
}

// Where a section and a key stand in the text.
struct Match {
    bool sectionFound = false;
    size_t sectionBegin = 0;  // the header line's first byte (0 for the nameless top section)
    size_t sectionEnd = 0;    // first byte after the section's last line
    size_t insertAt = 0;      // after the section's last key line, else after its header
    std::optional<Line> key;  // the first matching key line
};

Match Find(std::string_view text, std::string_view section, std::optional<std::string_view> key) {
    const std::string_view wanted = Trim(section);
    const std::optional<std::string_view> wantedKey =
        key ? std::optional<std::string_view>(Trim(*key)) : std::nullopt;
    Match match;
    // The lines before the first header form a nameless section, which counts only if it
    // holds a key; otherwise a "[]" header further on may still be the one wanted.
    bool inTarget = wanted.empty();
    bool inTop = true;
    bool topHasKey = false;
    for (size_t pos = 0; pos < text.size();) {
        const Line line = ReadLine(text, pos);
        if (line.kind == LineKind::kSection) {
            if (inTarget && (!inTop || topHasKey)) {
                match.sectionFound = true;
                match.sectionEnd = line.begin;
                return match;
            }
            inTop = false;
            inTarget = EqualNoCase(line.name, wanted);
            if (inTarget) {
                match.sectionBegin = line.begin;
                match.insertAt = line.next;
            }
        } else if (inTarget && line.kind == LineKind::kKey) {
            topHasKey = topHasKey || inTop;
            match.insertAt = line.next;
            if (wantedKey && !match.key && EqualNoCase(line.name, *wantedKey)) match.key = line;
        }
        pos = line.next;
    }
    if (inTarget && (!inTop || topHasKey)) {
        match.sectionFound = true;
        match.sectionEnd = text.size();
    } else {
        match = Match{};
    }
    return match;
}

std::string_view LineEnding(std::string_view text) {
    const size_t newline = text.find('\n');
    return (newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r') ? "\r\n"
                                                                                           : "\n";
}

}  // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    const Match match = Find(text, section, key);
    if (!match.key) return std::nullopt;
    return text.substr(match.key->valueBegin, match.key->valueEnd - match.key->valueBegin);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::optional<std::string_view> ReadValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    const auto value = FindValue(text, section, key);
    if (!value) return std::nullopt;
    return Unquote(*value);
}

std::optional<std::string> WithValue(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value) {
    const Match match = Find(text, section, key);
    std::string out(text);
    if (match.key) {
        const Line& line = *match.key;
        if (text.substr(line.valueBegin, line.valueEnd - line.valueBegin) == value) {
            return std::nullopt;
        }
        out.replace(line.valueBegin, line.valueEnd - line.valueBegin, value);
        return out;
    }
    const std::string_view eol = LineEnding(text);
    std::string keyLine = std::string(Trim(key)) + "=" + std::string(value) + std::string(eol);
    if (match.sectionFound) {
        // The section's last line may lack its line ending when it ends the text.
        if (match.insertAt > 0 && text[match.insertAt - 1] != '\n') keyLine.insert(0, eol);
        out.insert(match.insertAt, keyLine);
        return out;
    }
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + std::string(Trim(section)) + "]" + std::string(eol) + keyLine;
    return out;
}

std::optional<std::string> WithoutKey(std::string_view text, std::string_view section,
                                      std::string_view key) {
    const Match match = Find(text, section, key);
    if (!match.key) return std::nullopt;
    std::string out(text);
    out.erase(match.key->begin, match.key->next - match.key->begin);
    return out;
}

std::optional<std::string> WithoutSection(std::string_view text, std::string_view section) {
    const Match match = Find(text, section, std::nullopt);
    if (!match.sectionFound) return std::nullopt;
    std::string out(text);
    out.erase(match.sectionBegin, match.sectionEnd - match.sectionBegin);
    return out;
}

}  // namespace platform::ini
