#include "common/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace {

// Formats like printf("%.*G") but without the locale, then applies the sign and
// leading-zero rules of number text.
std::string Format(double number, int significantDigits) {
    if (std::isnan(number)) return "NaN";
    if (std::isinf(number)) return number > 0 ? " Inf" : "-Inf";
    if (number == 0) return " 0";  // -0 too

    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(number),
                                   std::chars_format::general, significantDigits);
    if (ec != std::errc{}) return " 0";  // cannot happen with a 64-byte buffer
    std::string digits(buffer.data(), end);
    for (char& c : digits) {
        if (c == 'e') c = 'E';
    }
    const size_t skip = (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') ? 1 : 0;
    std::string text(1, number < 0 ? '-' : ' ');
    text.append(digits, skip, std::string::npos);
    return text;
}

}  // namespace

std::string NumberText(int64_t number) {
    std::string text = number < 0 ? std::string() : std::string(1, ' ');
    text += std::to_string(number);
    return text;
}

std::string NumberText(float number) {
    return Format(number, 7);
}

std::string NumberText(double number) {
    return Format(number, 15);
}
