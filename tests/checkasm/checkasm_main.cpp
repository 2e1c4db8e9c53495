// zdc_checkasm: checks every kernel variant that this processor can run
// against the portable definition, level by level, and optionally times them.
//
//   zdc_checkasm [--seed N] [--trials N] [--test NAME] [--bench] [--list]
//
// The portable table is the reference. For each processor level up to the
// features the decoder would use (the probe, lowered by ZDC_CPU_MASK), the
// kernel choice of that level is taken, and each kernel variant not seen at a
// lower level is checked on the same inputs as the reference. The portable
// variants themselves are checked too, for stray writes. The run stops at
// the first difference and prints the kernel, level, seed and inputs; the
// last line counts the checks that passed and failed.
#include <signal.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"

namespace zdc {
namespace checkasm {
namespace {

// The processor levels, weakest first, each with the feature it adds.
struct Level {
  const char* name;
  CpuFeatures adds;
};
constexpr Level kLevels[] = {
    {"c", 0},         {"mmx", kCpuMmx},   {"mmxext", kCpuIntegerSse},
    {"sse", kCpuSse}, {"sse2", kCpuSse2}, {"avx2", kCpuAvx2},
};

const KernelCheck* const kChecks[] = {&kReconstructKeyCheck, &kReconstructDeltaCheck,
                                      &kCopyBlockCheck, &kDenoisePlaneCheck};

constexpr int kDefaultTrials = 40000;

struct Options {
  uint64_t seed = 0;
  bool seedGiven = false;
  int trials = kDefaultTrials;
  std::string only;  // check only this kernel
  bool bench = false;
  bool list = false;
};

// The check under way, for the fault handler (which may only use
// async-signal-safe calls, hence the preformatted text).
char crashContext[256] = "";
volatile sig_atomic_t currentTrial = -1;
volatile sig_atomic_t checksPassed = 0;

void WriteText(const char* text) {
  ssize_t ignored = write(STDOUT_FILENO, text, std::strlen(text));
  (void)ignored;
}

void WriteNumber(int n) {
  char digits[16];
  int i = sizeof digits - 1;
  digits[i] = '\0';
  do {
    digits[--i] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0 && i > 0);
  WriteText(digits + i);
}

void OnFault(int) {
  WriteText("\nFAILED ");
  WriteText(crashContext);
  WriteText(", trial ");
  WriteNumber(currentTrial);
  WriteText(": memory fault, an access outside the kernel's buffers\n");
  WriteNumber(checksPassed);
  WriteText(" passed, 1 failed\n");
  _exit(1);
}

void InstallFaultHandler() {
  struct sigaction action {};
  action.sa_handler = OnFault;
  sigemptyset(&action.sa_mask);
  sigaction(SIGSEGV, &action, nullptr);
  sigaction(SIGBUS, &action, nullptr);
}

bool ParseNumber(const char* text, uint64_t* value) {
  char* end = nullptr;
  *value = std::strtoull(text, &end, 0);
  return end && end != text && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    uint64_t value = 0;
    if (arg == "--seed" && i + 1 < argc && ParseNumber(argv[i + 1], &value)) {
      options->seed = value;
      options->seedGiven = true;
      ++i;
    } else if (arg == "--trials" && i + 1 < argc && ParseNumber(argv[i + 1], &value) &&
               value > 0 && value <= 100000000) {
      options->trials = static_cast<int>(value);
      ++i;
    } else if (arg == "--test" && i + 1 < argc) {
      options->only = argv[++i];
    } else if (arg == "--bench") {
      options->bench = true;
    } else if (arg == "--list") {
      options->list = true;
    } else {
      std::fprintf(stderr,
                   "usage: %s [--seed N] [--trials N] [--test NAME] [--bench] [--list]\n",
                   argv[0]);
      return false;
    }
  }
  return true;
}

// A kernel variant as one processor level's table supplies it.
template <typename Kernels>
struct Candidate {
  const char* level;
  Kernels kernels;
};

// The distinct variants of a kernel on this processor, weakest level first:
// `choose` fills a table for a feature set, `variant` picks the kernel.
template <typename Kernels, typename Check>
std::vector<Candidate<Kernels>> Candidates(const Check& check, Kernels (*choose)(CpuFeatures),
                                           CpuFeatures available) {
  std::vector<Candidate<Kernels>> candidates;
  std::vector<const void*> seen;
  CpuFeatures features = 0;
  for (const Level& level : kLevels) {
    if ((available & level.adds) != level.adds) break;  // the ladder ends here
    features = static_cast<CpuFeatures>(features | level.adds);
    const Kernels kernels = choose(features);
    const void* variant = check.variant(kernels);
    bool known = false;
    for (const void* p : seen) known = known || p == variant;
    if (known) continue;
    seen.push_back(variant);
    candidates.push_back({level.name, kernels});
  }
  return candidates;
}

// Checks every variant of `check` against the portable one; false at the
// first failure.
template <typename Kernels, typename Check>
bool CheckVariants(const Check& check, Kernels (*choose)(CpuFeatures), CpuFeatures available,
                   const Options& options, int* passed) {
  const Kernels reference = choose(0);
  for (const auto& candidate : Candidates(check, choose, available)) {
    const CheckRun run{check.name, candidate.level, options.seed, options.trials};
    std::snprintf(crashContext, sizeof crashContext, "%s (%s), seed %" PRIu64, run.kernel,
                  run.level, run.seed);
    std::printf("  %-6s %-24s ", candidate.level, check.name);
    std::fflush(stdout);
    if (!check.check(reference, candidate.kernels, run)) return false;
    std::printf("ok\n");
    checksPassed = ++*passed;
  }
  return true;
}

void Bench(const std::vector<const KernelCheck*>& checks, CpuFeatures available, uint64_t seed) {
  std::printf("\nbench (ns per call, speed-up against c):\n");
  for (const KernelCheck* check : checks) {
    double portable = 0;
    for (const auto& candidate : Candidates(*check, ChooseBlockKernels, available)) {
      Random random(seed);
      const double ns = check->bench(candidate.kernels, random);
      if (portable == 0) portable = ns;
      std::printf("  %-24s %-6s %12.1f ns/%s   x%.2f\n", check->name, candidate.level, ns,
                  check->benchUnit, portable / ns);
    }
  }
}

}  // namespace

bool ReportFailure(const CheckRun& run, int trial, const std::string& what) {
  std::printf("\nFAILED %s (%s), seed %" PRIu64 ", trial %d: %s\n", run.kernel, run.level,
              run.seed, trial, what.c_str());
  std::printf("  rerun with: --seed %" PRIu64 " --test %s\n", run.seed, run.kernel);
  return false;
}

void SetCurrentTrial(int trial) { currentTrial = trial; }

int Main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  if (!options.seedGiven) options.seed = NowNanoseconds() ^ (uint64_t{static_cast<uint32_t>(getpid())} << 32);

  std::vector<const KernelCheck*> checks;
  for (const KernelCheck* check : kChecks) {
    if (options.list) std::printf("%s\n", check->name);
    if (options.only.empty() || options.only == check->name) checks.push_back(check);
  }
  bool convertCheck = false;
  for (const ConvertKernelCheck& check : kConvertChecks) {
    if (options.list) std::printf("%s\n", check.name);
    convertCheck = convertCheck || options.only == check.name;
  }
  if (options.list) return 0;
  if (!options.only.empty() && convertCheck) checks.clear();
  if (checks.empty() && !convertCheck) {
    std::fprintf(stderr, "no kernel named %s (see --list)\n", options.only.c_str());
    return 2;
  }

  const CpuFeatures available = EffectiveCpuFeatures();
  std::printf("checkasm: seed %" PRIu64 ", processor features 0x%02x (probed 0x%02x)\n",
              options.seed, available, ProbeCpuFeatures());
  InstallFaultHandler();

  int passed = 0, failed = 0;
  for (const KernelCheck* check : checks) {
    if (!CheckVariants(*check, ChooseBlockKernels, available, options, &passed)) {
      failed = 1;
      break;
    }
  }
  for (const ConvertKernelCheck& check : kConvertChecks) {
    if (failed || !(options.only.empty() || options.only == check.name)) continue;
    if (!CheckVariants(check, ChooseConvertKernels, available, options, &passed)) failed = 1;
  }
  currentTrial = -1;

  if (options.bench && !failed) Bench(checks, available, options.seed);
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}

}  // namespace checkasm
}  // namespace zdc

int main(int argc, char** argv) { return zdc::checkasm::Main(argc, argv); }
