// Wall-clock timing of repeated decodes: a monotonic clock, a calibrated
// repetition count and the median over rounds.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zdc {
namespace bench {

double NowSeconds();

double Median(std::vector<double> values);

// How many calls of `work` fill about `seconds`, from one timed call (at
// least 1).
int CallsForSeconds(const std::function<void()>& work, double seconds);

// Seconds per call of `work`, timed over `calls` calls.
double SecondsPerCall(const std::function<void()>& work, int calls);

}  // namespace bench
}  // namespace zdc
