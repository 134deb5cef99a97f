#pragma once
// How afficheur-reg shows value data and reads it from the command line: pure functions of
// their arguments, with no registry access, tested and fuzzed on their own. Text data is as
// the registry's UTF-16 calls give and take it (UTF-16LE); texts here are UTF-8.

#include <cstdint>
#include <optional>
#include <string>

#include "RegFile.h"

namespace reg {

// A text in lower case (Windows-1252 letters): commands, options and answers match in any case.
std::string Lower(std::string text);

// Whether two names are the same to the registry: equal without regard to case.
bool SameName(const std::string& a, const std::string& b);

// The name of a value type ("REG_SZ"), or its number as "0x..." when it has none.
std::string TypeText(uint32_t type);

// The type a name stands for ("reg_sz" in any case), nullopt for none.
std::optional<uint32_t> TypeOf(const std::string& name);

// The data as query shows it: texts up to their NUL, the items of a multi-text joined with
// "\0", 32- and 64-bit numbers as 0x... when they have their size, anything else as hex
// digits in upper case. Never throws.
std::string DataText(const Value& value);

// The bytes a value of `type` gets from the text given with /d: texts as UTF-16LE with their
// NUL, multi-text items split at `separator` ("\0" when empty), numbers in decimal or 0x hex,
// binary as pairs of hex digits. Throws std::invalid_argument, saying what is wrong, for data
// the type cannot take and for a type it does not know.
std::string DataBytes(uint32_t type, const std::string& data, const std::string& separator);

}  // namespace reg
