#pragma once
// The one hexadecimal writer: bytes as two digits each, no separators ("FF32" for 0xFF '2').
// Log lines, the display's message log and its JSON escapes all write hex through it.

#include <string>
#include <string_view>

enum class HexCase { Upper, Lower };

std::string Hex(std::string_view bytes, HexCase letters = HexCase::Upper);
