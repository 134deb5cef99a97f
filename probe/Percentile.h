#pragma once
// The percentiles the benchmarks report. Plain C++.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace probe {

// The value at fraction q (0.5 the median, 0.99 the p99) of values, by the nearest rank; 0 for
// no values.
inline double Percentile(std::vector<double> values, double q) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

}  // namespace probe
