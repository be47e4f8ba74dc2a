#pragma once

#include <algorithm>
#include <vector>

// The two figures the benchmarks print of a set of timed samples: the best, which is what the
// machine can do, and the median, which is what a run meets under the load of the moment (the
// upper of the two middle samples when their number is even).
namespace Samples {

[[nodiscard]] inline double best(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

[[nodiscard]] inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace Samples
