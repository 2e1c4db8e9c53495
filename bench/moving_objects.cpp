#include "moving_objects.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace zdc {
namespace bench {
namespace {

constexpr int32_t kTile = 32;

uint8_t Offset(uint8_t value, int delta) {
  return static_cast<uint8_t>(std::min(255, std::max(0, value + delta)));
}

// Mirrors a coordinate back into 0..size-1.
int32_t Reflect(int32_t at, int32_t size) {
  const int32_t period = 2 * size;
  at %= period;
  if (at < 0) at += period;
  return at < size ? at : period - 1 - at;
}

}  // namespace

SourceImage WithMovingObjects(const SourceImage& base, double fraction) {
  SourceImage next = base;
  const int32_t tilesX = (base.width + kTile - 1) / kTile;
  const int32_t tilesY = (base.height + kTile - 1) / kTile;
  const double centres[3][2] = {{0.30, 0.62}, {0.72, 0.38}, {0.52, 0.84}};
  std::vector<std::pair<double, int32_t>> order;
  for (int32_t ty = 0; ty < tilesY; ++ty) {
    for (int32_t tx = 0; tx < tilesX; ++tx) {
      const double cx = (tx + 0.5) / tilesX, cy = (ty + 0.5) / tilesY;
      double nearest = 1e9;
      for (const auto& c : centres) nearest = std::min(nearest, std::hypot(cx - c[0], (cy - c[1]) * 0.6));
      order.emplace_back(nearest, ty * tilesX + tx);
    }
  }
  std::sort(order.begin(), order.end());
  const size_t changed = static_cast<size_t>(std::lround(fraction * order.size()));
  const int32_t dx = base.width / 7, dy = base.height / 9;
  for (size_t i = 0; i < changed && i < order.size(); ++i) {
    const int32_t tx = order[i].second % tilesX, ty = order[i].second / tilesX;
    for (int32_t y = ty * kTile; y < std::min(base.height, (ty + 1) * kTile); ++y) {
      for (int32_t x = tx * kTile; x < std::min(base.width, (tx + 1) * kTile); ++x) {
        const size_t to = static_cast<size_t>(y) * base.width + x;
        const size_t from = static_cast<size_t>(Reflect(y + dy, base.height)) * base.width +
                            Reflect(x + dx, base.width);
        next.y[to] = Offset(base.y[from], 18);
        next.cb[to] = Offset(base.cb[from], -6);
        next.cr[to] = Offset(base.cr[from], 6);
      }
    }
  }
  return next;
}

}  // namespace bench
}  // namespace zdc
