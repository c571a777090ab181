// Summaries of repeated measurements: every figure the benches print is a median with its
// spread and the number of runs behind it.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Summary {
    double median = 0;
    double min = 0;
    double max = 0;
    int runs = 0;
};

// Median (mean of the middle two for an even count), smallest and largest; all 0 for no runs.
Summary Summarise(std::vector<double> samples);

// "12.3 (12.1–12.9, n=7)" with `decimals` digits after the point.
std::string FormatSummary(const Summary& s, int decimals);

// The goal every wait-bound figure is held to: overhead at most 2 % of the floor.
inline constexpr double kOverheadGoal = 0.02;

// True when `overheadMs` is within kOverheadGoal of `floorMs`; a figure exactly on the limit
// holds although its difference may come out a rounding error above it.
bool OverheadWithinGoal(double overheadMs, double floorMs);

// Fixed-point text of `value` with `decimals` digits after the point.
std::string Fixed(double value, int decimals);

}  // namespace bench
