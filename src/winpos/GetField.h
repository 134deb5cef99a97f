#pragma once
// Field n (counted from 1) of a text whose fields are joined by a separator.

#include <cstdint>
#include <string>

// n = 1 gives the text before the first separator; an empty field, a field beyond the last
// one and n < 1 give "". The last field needs no separator after it. The separator is
// compared character for character and must not be empty.
std::string GetField(std::string text, std::string separator, int16_t n);
