#pragma once
// Number text: how a number becomes settings text. Decimal, one blank in front of a zero or
// positive number and a minus sign in that place for a negative one, no thousands separators,
// a period before any fraction whatever the locale. A fraction below one is written without a
// leading zero (" .5", "-.25"), as the original system's own conversion does.

#include <cstdint>
#include <string>

std::string NumberText(int64_t number);
// At most 7 significant digits; exponent form ("1.234568E+07") outside 1E-04 .. 9999999.
std::string NumberText(float number);
// At most 15 significant digits; exponent form outside 1E-04 .. 1E+15.
std::string NumberText(double number);

// Keep NumberText(3) from being ambiguous between the overloads.
inline std::string NumberText(int number) {
    return NumberText(static_cast<int64_t>(number));
}
