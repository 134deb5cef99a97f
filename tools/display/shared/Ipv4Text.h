#pragma once
// How an IPv4 address is written wherever the display reads one (--allow, --http-allow, a
// request's Host field): four numbers from 0 to 255 without leading zeros, as browsers and Qt
// write it. Other forms (127.1, 0x7f.0.0.1, 010.0.0.1) are read differently from one program
// to the next, so they are not taken as addresses. Plain C++.

#include <string_view>

namespace display {

// Whether text is an IPv4 address written that way.
bool IsIpv4Text(std::string_view text);

}  // namespace display
