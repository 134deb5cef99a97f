// The .reg file parser on any bytes. A file that parses, written out again in either version
// and parsed back, must give the same sections: same keys, values, types and bytes.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "RegFile.h"
#include "platform/Ansi.h"

// Compared member by member; found by argument-dependent lookup.
namespace reg {

bool operator==(const Value& a, const Value& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data && a.remove == b.remove;
}

bool operator==(const KeySection& a, const KeySection& b) {
    return a.path == b.path && a.remove == b.remove && a.values == b.values;
}

}  // namespace reg

namespace {

// Well-formed UTF-8 without surrogates or code points past U+10FFFF: what a version 5.00
// file can carry in a key path. A UTF-8 file with a byte-order mark may hold anything.
bool IsWellFormedUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        char32_t c = 0;
        if (b < 0x80) {
            length = 1, c = b;
        } else if (b >= 0xC2 && b < 0xE0) {
            length = 2, c = b & 0x1F;
        } else if (b >= 0xE0 && b < 0xF0) {
            length = 3, c = b & 0x0F;
        } else if (b >= 0xF0 && b < 0xF5) {
            length = 4, c = b & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (length > 1 && c < shortest) return false;
        if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

// Whether every key path survives the version's encoding: Windows-1252 for REGEDIT4.
bool PathsFit(const std::vector<reg::KeySection>& sections, reg::Version version) {
    for (const reg::KeySection& section : sections) {
        if (!IsWellFormedUtf8(section.path)) return false;
        if (version == reg::Version::Regedit4 &&
            platform::FromAnsi(platform::ToAnsi(section.path)) != section.path) {
            return false;
        }
    }
    return true;
}

std::vector<reg::KeySection> Reparse(const std::vector<reg::KeySection>& sections,
                                     reg::Version version) {
    try {
        return reg::ParseFile(reg::EncodeFile(sections, version));
    } catch (const reg::ParseError&) {
        std::abort();  // our own output does not parse
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<reg::KeySection> sections;
    try {
        sections = reg::ParseFile(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const reg::ParseError&) {
        return 0;
    }
    for (const reg::Version version : {reg::Version::Regedit4, reg::Version::Version5}) {
        const std::vector<reg::KeySection> again = Reparse(sections, version);
        if (PathsFit(sections, version) && !(again == sections)) std::abort();
        // What comes back is stable from then on, whatever the paths held.
        if (!(Reparse(again, version) == again)) std::abort();
    }
    return 0;
}
