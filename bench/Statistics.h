#pragma once
// The figures the benchmarks report from their rounds.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace marquelo::bench {

// The middle of the rounds; the mean of the two middle ones for an even count.
inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t half = v.size() / 2;
    return v.size() % 2 ? v[half] : (v[half - 1] + v[half]) / 2;
}

// The round at fraction `p` (0..1) of the sorted rounds, nearest rank.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

} // namespace marquelo::bench
