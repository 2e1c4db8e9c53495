#include "synthetic_scene.h"

#include <algorithm>
#include <cmath>

namespace zdc {
namespace bench {
namespace {

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               seed * 0xCB1AB31Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

double Lattice(int32_t x, int32_t y, uint32_t seed) {
  return (Hash(x, y, seed) >> 8) * (1.0 / 16777216.0);
}

// Smoothly interpolated value noise in [0, 1).
double ValueNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  double tx = x - fx, ty = y - fy;
  tx = tx * tx * (3.0 - 2.0 * tx);
  ty = ty * ty * (3.0 - 2.0 * ty);
  const double a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
  const double c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of octaves, normalised to [0, 1).
double Fbm(double x, double y, int octaves, uint32_t seed) {
  double sum = 0.0, amplitude = 1.0, total = 0.0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * ValueNoise(x, y, seed + 101u * o);
    total += amplitude;
    amplitude *= 0.5;
    x *= 2.03;
    y *= 2.03;
  }
  return sum / total;
}

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(const Rgb& c, double s) { return {c.r * s, c.g * s, c.b * s}; }

}  // namespace

SourceImage SyntheticScene(int32_t width, int32_t height) {
  SourceImage image = SourceImage::Create(width, height);
  image.description = "synthetic landscape";
  // Features are laid out in a 1920-wide frame of reference so that other
  // sizes show the same scene.
  const double unit = 1920.0 / width;
  const double houseX0 = 0.62 * width, houseX1 = 0.74 * width;
  for (int32_t y = 0; y < height; ++y) {
    const double v = static_cast<double>(y) / height;
    const double py = y * unit;
    for (int32_t x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width;
      const double px = x * unit;
      const double ridge = 0.10 + 0.45 * Fbm(px / 380.0, 0.5, 6, 11);
      const double treeLine = 0.56 + 0.06 * Fbm(px / 260.0, 3.5, 5, 23);
      const double grassLine = 0.70 + 0.05 * std::sin(u * 3.1 + 0.4) + 0.02 * Fbm(px / 90.0, 7.5, 4, 29);
      Rgb c;
      if (v < ridge) {
        c = Mix({70, 120, 200}, {185, 205, 232}, std::min(1.0, v / ridge));
        const double cloud = Fbm(px / 380.0, py / 140.0, 6, 37);
        if (cloud > 0.52) c = Mix(c, {246, 246, 250}, std::min(1.0, (cloud - 0.52) * 4.0));
      } else if (v < treeLine) {
        const double rock = Fbm(px / 45.0, py / 30.0, 5, 41);
        const double strata = 0.5 + 0.5 * std::sin(py / 9.0 + 6.0 * Fbm(px / 120.0, py / 80.0, 3, 43));
        c = Scale({128, 128, 142}, 0.55 + 0.55 * rock + 0.12 * strata);
        const double snow = Fbm(px / 70.0, py / 50.0, 4, 47);
        if (v < ridge + 0.04 && snow > 0.55) c = Mix(c, {235, 238, 245}, 0.8);
      } else if (v < grassLine) {
        const double hue = Fbm(px / 160.0, py / 110.0, 4, 53);
        const Rgb crown = Mix({205, 118, 36}, {46, 84, 34}, std::min(1.0, std::max(0.0, (hue - 0.35) * 2.5)));
        const double leaves = Fbm(px / 5.0, py / 5.0, 3, 59);
        c = Scale(crown, 0.45 + 0.8 * leaves);
        if (Hash(static_cast<int32_t>(px / 23.0), 0, 61) % 7 == 0 &&
            std::fmod(px, 23.0) < 2.0 && v > treeLine + 0.04) {
          c = {52, 36, 26};  // a trunk
        }
      } else {
        const double shade = 0.75 + 0.35 * (v - grassLine) / (1.0 - grassLine);
        const double blades = Fbm(px / 2.5, py / 10.0, 3, 67);
        const double patches = Fbm(px / 200.0, py / 120.0, 3, 71);
        c = Scale(Mix({72, 138, 46}, {128, 150, 58}, patches), shade * (0.7 + 0.6 * blades));
      }
      // A house with a roof and windows, and a fence along the grass: edges
      // a JPEG-like coder has to spend bits on.
      const double houseTop = (grassLine - 0.09) * height, houseBottom = (grassLine + 0.02) * height;
      if (x >= houseX0 && x < houseX1 && y >= houseTop && y < houseBottom) {
        c = {226, 220, 206};
        const double wx = std::fmod((x - houseX0) * unit, 60.0), wy = std::fmod((y - houseTop) * unit, 48.0);
        if (wx > 18 && wx < 42 && wy > 12 && wy < 34) c = {40, 52, 70};
      }
      const double roofPeak = houseTop - 0.05 * height;
      const double roofHalf = 0.5 * (houseX1 - houseX0) + 12 / unit;
      const double roofMid = 0.5 * (houseX0 + houseX1);
      if (y >= roofPeak && y < houseTop &&
          std::fabs(x - roofMid) < roofHalf * (y - roofPeak) / (houseTop - roofPeak)) {
        c = Scale({150, 48, 36}, 0.85 + 0.3 * Fbm(px / 4.0, py / 4.0, 2, 73));
      }
      const double fenceY = (grassLine + 0.06) * height;
      if ((y > fenceY - 40 / unit && y < fenceY && std::fmod(px, 54.0) < 6.0) ||
          (std::fabs(y - (fenceY - 28 / unit)) < 2.5 / unit)) {
        c = {98, 72, 48};
      }
      // Sensor noise.
      const uint32_t n = Hash(x, y, 97);
      const double noise = ((n & 0xFF) + ((n >> 8) & 0xFF) + ((n >> 16) & 0xFF)) / 255.0 - 1.5;
      image.SetRgb(x, y, static_cast<int>(c.r + 4.0 * noise), static_cast<int>(c.g + 4.0 * noise),
                   static_cast<int>(c.b + 4.0 * noise));
    }
  }
  return image;
}

}  // namespace bench
}  // namespace zdc
