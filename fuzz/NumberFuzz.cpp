// The leading-number rule on any text, and number text read back by it.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/LeadingNumber.h"
#include "common/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double number =
        LeadingNumber(std::string_view(reinterpret_cast<const char*>(data), size));
    if (std::isnan(number)) std::abort();

    if (size >= sizeof(float)) {
        float f = 0;
        std::memcpy(&f, data, sizeof f);
        // Window bounds are whole numbers of twips: those must survive the round trip.
        if (std::isfinite(f) && f == std::trunc(f) && std::fabs(f) < 1e7f) {
            if (static_cast<float>(LeadingNumber(NumberText(f))) != f) std::abort();
        }
    }
    if (size >= sizeof(int64_t)) {
        int64_t n = 0;
        std::memcpy(&n, data, sizeof n);
        n %= int64_t{1} << 53;  // exactly representable as a double
        if (LeadingNumber(NumberText(n)) != static_cast<double>(n)) std::abort();
    }
    return 0;
}
