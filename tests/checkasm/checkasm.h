// The kernel variant checker: every processor-specific variant of a block
// kernel is run beside the portable one on the same inputs (random, realistic
// and edge values) and must give the same outputs and touch nothing outside
// its buffers. Shared pieces of the checks live here; each kernel's inputs and
// comparisons live in its own check_*.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "convert_kernels.h"

namespace zdc {
namespace checkasm {

// A reproducible stream of pseudo-random numbers (splitmix64).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next64();
  uint32_t Next32() { return static_cast<uint32_t>(Next64() >> 32); }
  // Uniform in [low, high], both included.
  int32_t Range(int32_t low, int32_t high);
  bool Chance(int percent) { return Range(0, 99) < percent; }
  int16_t Int16() { return static_cast<int16_t>(Next32()); }
  uint8_t Byte() { return static_cast<uint8_t>(Next32()); }
  void Fill(uint8_t* bytes, size_t count);

 private:
  uint64_t state_;
};

// One check of one kernel variant: which variant, and the inputs' seed.
struct CheckRun {
  const char* kernel;
  const char* level;  // the processor level whose table supplied the variant
  uint64_t seed;      // the run's seed, printed so that --seed reproduces it
  int trials;         // how many random input sets to try
  // The random stream of this kernel's inputs: the run's seed mixed with the
  // kernel's name, so that a kernel sees the same inputs whichever levels and
  // kernels run before it.
  Random Inputs() const;
};

// Prints the first line of a failure report (kernel, level, seed, trial and
// what differed); the caller follows it with the inputs. Returns false.
bool ReportFailure(const CheckRun& run, int trial, const std::string& what);

// Records the trial under way, for the report of a crash (a fault on a guard
// page means the variant read or wrote outside its buffers).
void SetCurrentTrial(int trial);

// A buffer of `size` bytes (at least 1) between two inaccessible pages, flush
// against one of them, so that reading even one byte beyond that end faults.
// The bytes start random.
class GuardedBuffer {
 public:
  enum class FlushAgainst { kEnd, kStart };
  GuardedBuffer(size_t size, FlushAgainst flush, Random& random);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  uint8_t* data() { return data_; }
  size_t size() const { return size_; }

 private:
  void* mapping_ = nullptr;
  size_t mappingSize_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// An 8-bit output plane with guard bands: `rows` rows of `rowBytes` written
// bytes at `pitch` (negative pitches run upwards), surrounded by guard rows
// and guard bytes. Every byte starts with a random pattern; Footprint() tells
// which bytes the kernel may write.
class GuardedPlane {
 public:
  GuardedPlane(int32_t rowBytes, int32_t rows, int32_t pitch, Random& random);

  uint8_t* Origin() { return bytes_.data() + origin_; }  // row 0, column 0
  int32_t Pitch() const { return pitch_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // The index in Bytes() of (row, column) and whether an index lies in the
  // written rows.
  size_t IndexOf(int32_t row, int32_t column) const;
  bool InFootprint(size_t index) const { return footprint_[index] != 0; }
  // The first byte outside the footprint that differs from the initial
  // pattern, or -1.
  ptrdiff_t FirstStrayWrite() const;

 private:
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> pattern_;
  std::vector<uint8_t> footprint_;
  size_t origin_ = 0;
  int32_t pitch_ = 0;
};

// Prints `count` values in rows of `perRow`.
void PrintValues(const char* title, const int16_t* values, int count, int perRow);
void PrintValues(const char* title, const uint16_t* values, int count, int perRow);
void PrintValues(const char* title, const uint8_t* values, int count, int perRow,
                 ptrdiff_t pitch);

// Wall-clock nanoseconds, for --bench.
uint64_t NowNanoseconds();

// One kernel under check: how to find its variant in a table, how to check a
// variant against the portable one, and how to time a variant.
struct KernelCheck {
  const char* name;
  const void* (*variant)(const BlockKernels& kernels);
  bool (*check)(const BlockKernels& reference, const BlockKernels& candidate,
                const CheckRun& run);
  // Nanoseconds per call, and what one call covers.
  double (*bench)(const BlockKernels& kernels, Random& random);
  const char* benchUnit;
};

// The kernel checks, one per file.
extern const KernelCheck kReconstructKeyCheck;
extern const KernelCheck kReconstructDeltaCheck;
extern const KernelCheck kCopyBlockCheck;
extern const KernelCheck kDenoisePlaneCheck;

// The picture conversion's row kernels, checked the same way against their
// own table (check_convert.cpp).
struct ConvertKernelCheck {
  const char* name;
  const void* (*variant)(const ConvertKernels& kernels);
  bool (*check)(const ConvertKernels& reference, const ConvertKernels& candidate,
                const CheckRun& run);
};
constexpr int kConvertCheckCount = 8;
extern const ConvertKernelCheck kConvertChecks[kConvertCheckCount];

}  // namespace checkasm
}  // namespace zdc
