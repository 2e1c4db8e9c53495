// The AVI reader on hostile files. The reader takes a path, so each input is
// written to an anonymous file of this process (memfd) and parsed from there.
//
// Checks: no crash, no read outside the reader's buffers (AddressSanitizer),
// no error but MediaError; when the file parses, every frame lies inside the
// file, the frames are in file order and do not overlap, and each reads back
// with exactly its length.
#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "avi_reader.h"
#include "fuzz_support.h"
#include "media_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  static const std::string path = "/proc/self/fd/" + std::to_string(memfd_create("avi", 0));
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  std::unique_ptr<AviReader> reader;
  try {
    reader = std::make_unique<AviReader>(path);
  } catch (const MediaError&) {
    return 0;  // not an AVI file with a video stream: the defined refusal
  }
  ZDC_FUZZ_CHECK(reader->FileSize() == size, "the reader sees the whole file");
  uint64_t previousEnd = 0;
  for (size_t i = 0; i < reader->FrameCount(); ++i) {
    const AviFrame& frame = reader->Frames()[i];
    ZDC_FUZZ_CHECK(frame.offset >= 8 && frame.offset <= size && frame.length <= size - frame.offset,
                   "every frame lies inside the file, after its chunk header");
    ZDC_FUZZ_CHECK(frame.offset >= previousEnd, "frames are in file order and do not overlap");
    previousEnd = frame.offset + frame.length;
    ZDC_FUZZ_CHECK(reader->ReadFrame(i) == std::vector<uint8_t>(data + frame.offset,
                                                                data + frame.offset + frame.length),
                   "a frame reads back with exactly its bytes");
  }
  return 0;
}
