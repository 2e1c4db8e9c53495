#include "check.h"

#include <cstdarg>
#include <cstring>

namespace {

int g_passed = 0;
int g_failed = 0;
int g_skipped = 0;
const char* g_group = "";

}  // namespace

void CheckResult(const char* file, int line, bool passed, const char* format, ...) {
  if (passed) {
    ++g_passed;
    return;
  }
  ++g_failed;
  const char* base = std::strrchr(file, '/');
  std::printf("%s:%d: [%s] Test failed: ", base ? base + 1 : file, line, g_group);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

void SkipCheck(const char* file, int line, const char* format, ...) {
  ++g_skipped;
  const char* base = std::strrchr(file, '/');
  std::printf("%s:%d: [%s] Tests skipped: ", base ? base + 1 : file, line, g_group);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

int PassedChecks() { return g_passed; }

int SkippedChecks() { return g_skipped; }

int FailedChecks() { return g_failed; }

void BeginGroup(const char* name) {
  g_group = name;
  std::printf("-- %s\n", name);
  std::fflush(stdout);
}
