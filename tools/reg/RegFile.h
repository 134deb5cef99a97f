#pragma once
// The .reg file format in its two versions: "REGEDIT4" (Windows-1252) and "Windows Registry
// Editor Version 5.00" (UTF-16LE with a byte-order mark, CRLF). Plain C++; no registry access.
//
// Data is kept as the registry's UTF-16 calls give it: raw bytes with their type, the text
// types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) in UTF-16LE; names are UTF-8. A version 5.00
// file keeps every character; a REGEDIT4 file holds Windows-1252 only, so writing a character
// the code page lacks into one is refused, never turned into '?'. The writer and the parser
// are each other's inverse for every type and byte sequence a file can hold, so that an
// export imported again gives back the same keys, values, types and bytes.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryRoots.h"

namespace reg {

enum class Version { Regedit4, Version5 };

struct Value {
    std::string name;  // UTF-8; empty: the default value (@)
    uint32_t type = 0;
    std::string data;     // raw bytes
    bool remove = false;  // "name"=- : delete the value
    int line = 0;         // where it stands in the file it was read from
};

struct KeySection {
    std::string path;     // full path with its root, as written between the brackets (UTF-8)
    bool remove = false;  // [-path]: delete the key and its tree
    std::vector<Value> values;
    int line = 0;  // where it stands in the file it was read from
};

// The predefined root a key path names (full or short form, in any case), or null when there
// is none of that name. HKEY_PERFORMANCE_DATA is none here: nothing of it goes into a file.
const platform::RegistryRoot* FindRoot(std::string_view name);

// A file that does not parse: the 1-based line and what is wrong with it.
struct ParseError : std::runtime_error {
    ParseError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what), line(line) {}
    int line;
};

// Data that the version asked for cannot hold: a character outside Windows-1252 in REGEDIT4.
struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The lines of one key section, without the trailing blank line. Throws FormatError.
std::string FormatSection(const KeySection& section, Version version);

// A whole file's bytes: header, sections, line endings and encoding of the version. Throws
// FormatError (REGEDIT4 only).
std::string EncodeFile(const std::vector<KeySection>& sections, Version version);

// Parses a whole file (either version, either line-ending style). Throws ParseError, also for
// what the store would refuse: an unknown root, a key path with a leading '\' below the root,
// a name over 255 characters or more than 512 levels, a value name over 16,383 characters.
// A control character (U+0000 to U+001F, U+007F) in a key path or a value name is refused
// too: the platform's calls would cut such a name at its NUL and act on another key or value.
// A value name or string that holds a character the store cannot keep (a malformed UTF-8
// sequence, a lone surrogate) is refused as well. So a file that parses, and passes
// CheckKeepable, can be applied whole.
std::vector<KeySection> ParseFile(const std::string& bytes);

// Throws ParseError, with its line, for the first key path that holds a character the store
// cannot keep. Apart from ParseFile so that a file with such a path can still be read and
// written out again (each malformed byte then becomes U+FFFD or '?').
void CheckKeepable(const std::vector<KeySection>& sections);

}  // namespace reg
