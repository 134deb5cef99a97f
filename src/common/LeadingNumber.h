#pragma once
// The leading-number rule: how settings text becomes a number.
//
// Blanks, tabs and line feeds are skipped wherever they stand. "&H" or "&O" (either case)
// starts a hexadecimal or octal number. Otherwise an optional sign, digits, one period and an
// optional exponent (E or D, optional sign, digits) are read, stopping at the first character
// that cannot continue the number. A text without a number gives 0. Never throws; reads only
// the characters of the view. A number beyond the range of a double gives the largest double
// of its sign.

#include <string_view>

double LeadingNumber(std::string_view text);
