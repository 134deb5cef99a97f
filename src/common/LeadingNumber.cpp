#include "common/LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
        value = value * radix + d;
    }
    return value;
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
            while (j < s.size() && IsDigit(s[j])) exponent.push_back(s[j++]);
            number += exponent;
        }
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Either an overflow or an underflow: tell them apart by the exponent's sign.
        const bool tiny = number.find("e-") != std::string::npos;
        if (tiny) return 0;
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
