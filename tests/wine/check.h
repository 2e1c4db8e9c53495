// The check harness, in the manner of Wine's own tests: ok(condition, format,
// ...) counts a check and prints the message (with the actual values) when it
// fails; skip() says why a check cannot run here. A program ends with
// "N passed, N failed, N skipped" and a non-zero status after any failure.
#pragma once

#include <cstdarg>
#include <cstdio>

inline int g_checks[3];  // passed, failed, skipped

inline void CheckReport(int kind, const char* file, int line, const char* format, ...)
    __attribute__((format(gnu_printf, 4, 5)));
inline void CheckReport(int kind, const char* file, int line, const char* format, ...) {
  ++g_checks[kind];
  if (kind == 0) return;
  std::printf("%s:%d: %s", file, line, kind == 1 ? "Test failed: " : "Tests skipped: ");
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

inline int CheckSummary() {
  std::printf("%d passed, %d failed, %d skipped\n", g_checks[0], g_checks[1], g_checks[2]);
  return g_checks[1] == 0 ? 0 : 1;
}

#define ok(condition, ...) CheckReport((condition) ? 0 : 1, __FILE_NAME__, __LINE__, __VA_ARGS__)
#define skip(...) CheckReport(2, __FILE_NAME__, __LINE__, __VA_ARGS__)
