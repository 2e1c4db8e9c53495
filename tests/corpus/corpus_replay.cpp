// The plain-build driver of a fuzz target: runs LLVMFuzzerTestOneInput on
// every seed in a directory, then on a fixed number of seeded mutations of
// them (bits flipped, bytes set to edge values, inserted, erased, copied,
// the input cut short, the steering bytes at the front changed), the same
// inputs on every run.
//
//   <target>_replay SEED_DIR [MUTATIONS]
//
// The targets keep their samples flush against inaccessible pages and their
// outputs inside checked guard bands, so a read past the sample faults and a
// stray write fails a check, without sanitizers. On a fault or a failed check
// the input is written to <seed directory's name>-failure.bin, for the
// libFuzzer build:  build-fuzz/<target>_fuzzer <target>-failure.bin
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "guarded_memory.h"
#include "media_temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The input under way, for the fault handler (async-signal-safe calls only),
// and where it goes on a failure.
char current[512] = "", failurePath[512] = "replay-failure.bin";
const std::vector<uint8_t>* currentBytes = nullptr;

void Say(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void OnFault(int signal) {
  Say(signal == SIGABRT ? "\nreplay: failed check on "
                        : "\nreplay: memory fault (outside the buffers, or a write to the "
                          "sample) on ");
  Say(current);
  const int fd = open(failurePath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0 && currentBytes) {
    ssize_t ignored = write(fd, currentBytes->data(), currentBytes->size());
    (void)ignored;
    close(fd);
    Say("; input written to ");
    Say(failurePath);
  }
  Say("\n");
  _exit(1);
}

void Run(const std::vector<uint8_t>& bytes, const std::string& what) {
  std::snprintf(current, sizeof current, "%s", what.c_str());
  currentBytes = &bytes;
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes, zdc::guarded::Random& random) {
  const int count = random.Range(1, 4);
  for (int i = 0; i < count; ++i) {
    const int32_t size = static_cast<int32_t>(bytes.size());
    const int32_t at = random.Range(0, size > 0 ? size - 1 : 0);
    const int kind = random.Range(0, 6);
    if (size == 0 || kind == 0) {
      bytes.insert(bytes.begin() + at, static_cast<uint8_t>(random.Next32()));
    } else if (kind == 1) {
      bytes[at] ^= static_cast<uint8_t>(1 << random.Range(0, 7));
    } else if (kind == 2) {
      bytes[at] = random.Pick<uint8_t>({0, 1, 0x7F, 0x80, 0xFE, 0xFF});
    } else if (kind == 3) {
      bytes.erase(bytes.begin() + at, bytes.begin() + std::min(size, at + random.Range(1, 16)));
    } else if (kind == 4) {
      bytes.resize(static_cast<size_t>(random.Range(0, size)));
    } else if (kind == 5) {  // the values that steer the target, at the front
      bytes[static_cast<size_t>(random.Range(0, std::min(size, 8) - 1))] ^= random.Next32() | 1;
    } else {
      const int32_t from = random.Range(0, size - 1), length = random.Range(1, 8);
      for (int32_t k = 0; k < length && from + k < size && at + k < size; ++k)
        bytes[at + k] = bytes[from + k];
    }
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SEED_DIR [MUTATIONS]\n", argv[0]);
    return 2;
  }
  const long mutations = argc > 2 ? std::atol(argv[2]) : 1000;
  zdc::guarded::Random random(1);
  for (int s : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) signal(s, OnFault);
  std::snprintf(failurePath, sizeof failurePath, "%s-failure.bin",
                fs::path(argv[1]).filename().c_str());

  std::vector<fs::path> paths;
  for (const auto& entry : fs::directory_iterator(argv[1])) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::vector<std::vector<uint8_t>> seeds;
  for (const fs::path& path : paths) {
    seeds.push_back(zdc_test::ReadMediaFile(path.string()));
    Run(seeds.back(), path.string());
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "replay: no seeds in %s\n", argv[1]);
    return 1;
  }
  for (long i = 0; i < mutations; ++i) {
    const size_t pick = random.Next32() % seeds.size();
    Run(Mutate(seeds[pick], random),
        "mutation " + std::to_string(i) + " of " + paths[pick].filename().string());
  }
  std::printf("%zu seeds and %ld mutations of them replayed\n", seeds.size(), mutations);
  return 0;
}
