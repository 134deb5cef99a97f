// INI reading and editing. Input: section, key and value on the first three lines, then the
// file's text. Reading any text must not crash; an edit that is allowed must read back.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/IniFormat.h"

namespace ini = platform::ini;

namespace {

std::string_view NextLine(std::string_view& input) {
    const size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return line;
}

// The names and values the settings services let through to a file.
bool Writable(std::string_view section, std::string_view key, std::string_view value) {
    const auto bad = [](std::string_view text) {
        return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    if (bad(section) || bad(key) || bad(value)) return false;
    const std::string_view name = ini::Trim(key);
    return name.find('=') == std::string_view::npos &&
           (name.empty() || (name.front() != '[' && name.front() != ';'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view section = NextLine(input);
    const std::string_view key = NextLine(input);
    const std::string_view value = NextLine(input);
    const std::string_view text = input;

    (void)ini::ReadValue(text, section, key);
    if (!Writable(section, key, value)) return 0;

    const auto updated = ini::WithValue(text, section, key, value);
    const auto stored = ini::FindValue(updated ? std::string_view(*updated) : text, section, key);
    if (!stored || *stored != ini::Trim(value)) std::abort();  // the write did not read back
    return 0;
}
