// The fuzz targets' assertion: a failed check prints what was expected and
// aborts, which libFuzzer records as a crash and saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>

#define ZDC_FUZZ_CHECK(condition, what)                                                            \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "\n*** %s:%d: %s\n    (%s)\n", __FILE__, __LINE__, (what), #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)
