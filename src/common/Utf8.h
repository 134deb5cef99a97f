#pragma once
// The one UTF-8 codec of the system, and UTF-16 built on it. Texts inside the system are
// UTF-8; UTF-16 is what the registry keeps and what version 5.00 .reg files hold.
//
// Malformed input follows one rule everywhere: a byte that does not start a well-formed
// sequence (bad lead byte, missing continuation, overlong form, encoded surrogate, beyond
// U+10FFFF) is malformed on its own, and decoding goes on with the next byte. Plain
// functions; no state, no allocation beyond their results, safe from any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

// Decodes the sequence at text[i] (i < text.size()): its length, with its code point in *cp;
// 0 when the byte there is malformed (*cp is then unspecified).
size_t Decode(std::string_view text, size_t i, char32_t* cp);

// Appends the UTF-8 form of a code point up to U+10FFFF. A surrogate (U+D800-U+DFFF) is
// written in the three-byte form, which Decode reports as malformed: a lone surrogate of
// UTF-16 thus stays visible instead of silently becoming another character.
void Append(std::string& out, char32_t cp);

// True when every byte of text belongs to a well-formed sequence.
bool IsWellFormed(std::string_view text);

// UTF-8 to UTF-16; each malformed byte becomes U+FFFD.
std::u16string ToUtf16(std::string_view text);

// UTF-16 to UTF-8; a lone surrogate is appended as Append writes it, so the result is not
// well-formed exactly when the input held one.
std::string FromUtf16(std::u16string_view text);

// UTF-16 code units to and from their little-endian bytes; an odd last byte is dropped.
std::string Utf16Bytes(std::u16string_view text);
std::u16string Utf16FromBytes(std::string_view bytes);

}  // namespace utf8
