// Random inputs, printing and timing for the kernel checks.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "checkasm.h"

namespace zdc {
namespace checkasm {

uint64_t Random::Next64() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int32_t Random::Range(int32_t low, int32_t high) {
  const uint64_t span = static_cast<uint64_t>(int64_t{high} - low) + 1;
  return static_cast<int32_t>(low + static_cast<int64_t>(Next64() % span));
}

void Random::Fill(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; i += 8) {
    const uint64_t v = Next64();
    std::memcpy(bytes + i, &v, count - i < 8 ? count - i : 8);
  }
}

Random CheckRun::Inputs() const {
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a of the kernel's name
  for (const char* p = kernel; *p; ++p) hash = (hash ^ static_cast<uint8_t>(*p)) * 0x100000001B3ull;
  return Random(seed ^ hash);
}

void PrintValues(const char* title, const int16_t* values, int count, int perRow) {
  std::printf("  %s:\n", title);
  for (int i = 0; i < count; ++i) {
    std::printf("%s%7d%s", i % perRow == 0 ? "   " : "", values[i], i % perRow == perRow - 1 ? "\n" : "");
  }
  if (count % perRow) std::printf("\n");
}

void PrintValues(const char* title, const uint16_t* values, int count, int perRow) {
  std::printf("  %s:\n", title);
  for (int i = 0; i < count; ++i) {
    std::printf("%s%6u%s", i % perRow == 0 ? "   " : "", values[i], i % perRow == perRow - 1 ? "\n" : "");
  }
  if (count % perRow) std::printf("\n");
}

void PrintValues(const char* title, const uint8_t* values, int count, int perRow,
                 ptrdiff_t pitch) {
  std::printf("  %s:\n", title);
  for (int i = 0; i < count; ++i) {
    const uint8_t v = values[(i / perRow) * pitch + i % perRow];
    std::printf("%s%4u%s", i % perRow == 0 ? "   " : "", v, i % perRow == perRow - 1 ? "\n" : "");
  }
  if (count % perRow) std::printf("\n");
}

uint64_t NowNanoseconds() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace checkasm
}  // namespace zdc
