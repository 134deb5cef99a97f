// The .reg file parser on any bytes. A file that parses, written out again in either version
// that can hold it and parsed back, must give the same sections: same keys, values, types
// and bytes. Version 5.00 holds every file that parses.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "RegFile.h"
#include "common/Utf8.h"
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

// Whether every key path survives the version's encoding: Windows-1252 for REGEDIT4.
bool PathsFit(const std::vector<reg::KeySection>& sections, reg::Version version) {
    for (const reg::KeySection& section : sections) {
        if (!utf8::IsWellFormed(section.path)) return false;
        if (version == reg::Version::Regedit4 &&
            platform::FromAnsi(platform::ToAnsi(section.path)) != section.path) {
            return false;
        }
    }
    return true;
}

// The sections written in the version and parsed back; nullopt when the version cannot hold
// them (a character outside Windows-1252 in REGEDIT4).
std::optional<std::vector<reg::KeySection>> Reparse(const std::vector<reg::KeySection>& sections,
                                                    reg::Version version) {
    std::string bytes;
    try {
        bytes = reg::EncodeFile(sections, version);
    } catch (const reg::FormatError&) {
        if (version == reg::Version::Version5) std::abort();  // version 5.00 holds everything
        return std::nullopt;
    }
    try {
        return reg::ParseFile(bytes);
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
        const auto again = Reparse(sections, version);
        if (!again) continue;
        if (PathsFit(sections, version) && !(*again == sections)) std::abort();
        // What comes back is stable from then on, whatever the paths held.
        if (!(Reparse(*again, version) == again)) std::abort();
    }
    return 0;
}
