#include "timing.h"

#include <algorithm>
#include <chrono>

namespace zdc {
namespace bench {

double NowSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

int CallsForSeconds(const std::function<void()>& work, double seconds) {
  const double once = SecondsPerCall(work, 1);
  if (once <= 0.0) return 1000;
  const double calls = seconds / once;
  return calls < 1.0 ? 1 : calls > 100000.0 ? 100000 : static_cast<int>(calls);
}

double SecondsPerCall(const std::function<void()>& work, int calls) {
  const double start = NowSeconds();
  for (int i = 0; i < calls; ++i) work();
  return (NowSeconds() - start) / calls;
}

}  // namespace bench
}  // namespace zdc
