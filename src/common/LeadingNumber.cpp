#include "common/LeadingNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

bool IsSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text with every skipped character removed, so the readers below see one run.
std::string Compact(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (!IsSkipped(c)) out.push_back(c);
    }
    return out;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

double RadixNumber(std::string_view digits, int radix) {
    double value = 0;
    for (char c : digits) {
        const int d = DigitValue(c);
        if (d >= radix) break;
        if (value > std::numeric_limits<double>::max() / radix) {
            return std::numeric_limits<double>::max();  // too many digits for a double
        }
        value = value * radix + d;
    }
    return value;
}

// For a number too large or too small for a double: true when it lies beyond 1 in size,
// judged by the place of its first significant digit and its exponent.
bool BeyondOne(std::string_view number) {
    // 64 bits on every build: a 32-bit long (Windows) would overflow on an 11-digit exponent.
    std::int64_t place = 0;  // the power of ten of the first significant digit, plus one
    size_t i = number[0] == '-' ? 1 : 0;
    while (i < number.size() && number[i] == '0')
        ++i;
    size_t digits = 0;
    while (i < number.size() && IsDigit(number[i]))
        ++i, ++digits;
    if (digits > 0) {
        place = static_cast<std::int64_t>(digits);
    } else if (i < number.size() && number[i] == '.') {
        ++i;
        std::int64_t zeros = 0;
        while (i < number.size() && number[i] == '0')
            ++i, ++zeros;
        place = -zeros;
    }
    while (i < number.size() && number[i] != 'e')
        ++i;
    std::int64_t exponent = 0;
    if (i < number.size()) {
        // The exponent's digits may run far beyond any integer: saturate.
        const bool negative = i + 1 < number.size() && number[i + 1] == '-';
        for (size_t j = i + 1; j < number.size(); ++j) {
            if (!IsDigit(number[j])) continue;
            exponent = std::min<std::int64_t>(exponent * 10 + (number[j] - '0'), 1'000'000'000);
        }
        if (negative) exponent = -exponent;
    }
    return place + exponent > 0;
}

double DecimalNumber(std::string_view s) {
    // Collect the longest prefix that forms a number, in the form from_chars understands.
    std::string number;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') number.push_back('-');
        ++i;
    }
    bool anyDigit = false;
    while (i < s.size() && IsDigit(s[i])) {
        number.push_back(s[i++]);
        anyDigit = true;
    }
    if (i < s.size() && s[i] == '.') {
        number.push_back('.');
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            number.push_back(s[i++]);
            anyDigit = true;
        }
    }
    if (!anyDigit) return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent.push_back(s[j++]);
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j]))
                exponent.push_back(s[j++]);
            number += exponent;
        }
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        if (!BeyondOne(number)) return 0;
        const double huge = std::numeric_limits<double>::max();
        return number[0] == '-' ? -huge : huge;
    }
    return ec == std::errc{} ? value : 0;
}

}  // namespace

double LeadingNumber(std::string_view text) {
    const std::string s = Compact(text);
    if (s.size() >= 2 && s[0] == '&') {
        const char radix = s[1];
        if (radix == 'H' || radix == 'h') return RadixNumber(std::string_view(s).substr(2), 16);
        if (radix == 'O' || radix == 'o') return RadixNumber(std::string_view(s).substr(2), 8);
        return 0;
    }
    return DecimalNumber(s);
}
