#include "bench/stats.h"

#include <algorithm>
#include <cstdio>

namespace bench {

Summary Summarise(std::vector<double> samples) {
    Summary s;
    if (samples.empty()) {
        return s;
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    s.runs = static_cast<int>(n);
    s.min = samples.front();
    s.max = samples.back();
    s.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return s;
}

bool OverheadWithinGoal(double overheadMs, double floorMs) {
    constexpr double kRounding = 1e-9;
    return overheadMs <= kOverheadGoal * floorMs + kRounding;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string FormatSummary(const Summary& s, int decimals) {
    return Fixed(s.median, decimals) + " (" + Fixed(s.min, decimals) + "–" +
           Fixed(s.max, decimals) + ", n=" + std::to_string(s.runs) + ")";
}

}  // namespace bench
