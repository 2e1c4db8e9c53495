// Prints what a decoder makes of every quality it can be given: the stored
// hundredths and the 64 dequantization steps for the 101 header qualities
// (hundredths x 0.01) and for doubles the settings interface can pass, the
// double the settings interface reports back, and the statistics' rounded
// average. Every build (native, x86-64 and i686 Windows) must print exactly
// the lines checked in beside this file; a build whose double arithmetic
// rounds differently moves a step or a hundredth.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "frame_decoder.h"
#include "ieee_double.h"

namespace {

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

void PrintTable(zdc::FrameDecoder& decoder, double quality) {
  std::printf("quality %016" PRIx64, Bits(quality));
  if (decoder.SetQuality(quality) != 0) {
    std::printf(" refused\n");
    return;
  }
  std::printf(" hundredths %u steps", decoder.QualityHundredths());
  for (int i = 0; i < 64; ++i) std::printf(" %u", decoder.DequantTable()[i]);
  std::printf("\n");
}

}  // namespace

int main() {
  zdc::FrameDecoder decoder;
  for (uint16_t h = 0; h <= 101; ++h) PrintTable(decoder, zdc::HundredthsToQuality(h));

  // Values a host can pass through the settings interface: the edges, the
  // products that fall just below a hundredth, neighbours of the header
  // qualities, and refusals.
  const double settings[] = {-0.0, 0.29, 0.58, 0.4, 0.1 + 0.2, 1.0 / 3.0, 2.0 / 3.0,
                             0.045, 0.0499999999999999, 0.7000000000000001, 0.9999999999999999,
                             1e-300, 5e-324, 1.0000001, -0.01,
                             std::numeric_limits<double>::quiet_NaN()};
  for (double q : settings) PrintTable(decoder, q);

  // What the page shows for the quality the filter reports.
  for (uint16_t h = 0; h <= 100; ++h) {
    const double reported = zdc::HundredthsToQuality(h);
    std::printf("reported %u %016" PRIx64 " shown %u\n", h, Bits(reported),
                zdc::QualityToHundredths(reported));
  }

  // The statistics' average: trunc(total / frames + 0.5) in doubles.
  const double totals[][2] = {{3002, 3}, {2001, 2}, {1, 3}, {2, 3}, {10000001, 7},
                              {4503599627370497.0, 2}, {123456789, 1000}, {1e15 + 1, 3}};
  for (const auto& t : totals) {
    const double mean = zdc::DoubleAdd(zdc::DoubleDiv(t[0], t[1]), 0.5);
    std::printf("average %016" PRIx64 " %016" PRIx64 " %016" PRIx64 "\n", Bits(t[0]), Bits(t[1]),
                Bits(mean));
  }
  return 0;
}
