#include "jpeg_peer.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#if ZDC_BENCH_HAVE_LIBJPEG
#include <csetjmp>

#include <jpeglib.h>
#endif

namespace zdc {
namespace bench {
namespace {

#if ZDC_BENCH_HAVE_LIBJPEG
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void ThrowBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

// Rewrites a baseline JPEG with arithmetic coding, keeping its quantized
// coefficients. Plain C state only between setjmp and the last longjmp.
std::vector<uint8_t> TranscodeToArithmetic(const std::vector<uint8_t>& baseline) {
  jpeg_decompress_struct source;
  jpeg_compress_struct target;
  ErrorTrap trap;  // shared: either side's error ends the whole transcode
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  volatile bool ok = false;
  source.err = target.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = ThrowBack;
  jpeg_create_decompress(&source);
  jpeg_create_compress(&target);
  if (setjmp(trap.jump) == 0) {
    jpeg_mem_src(&source, baseline.data(), static_cast<unsigned long>(baseline.size()));
    jpeg_read_header(&source, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);
    jpeg_copy_critical_parameters(&source, &target);
    target.arith_code = TRUE;
    target.optimize_coding = FALSE;
    jpeg_mem_dest(&target, &out, &outSize);
    jpeg_write_coefficients(&target, coefficients);
    jpeg_finish_compress(&target);
    jpeg_finish_decompress(&source);
    ok = true;
  }
  jpeg_destroy_compress(&target);
  jpeg_destroy_decompress(&source);
  std::vector<uint8_t> result;
  if (ok && out) result.assign(out, out + outSize);
  std::free(out);
  return result;
}
#endif

}  // namespace

JpegPeer::JpegPeer() : compressor_(tjInitCompress()), decompressor_(tjInitDecompress()) {}

JpegPeer::~JpegPeer() {
  if (compressor_) tjDestroy(compressor_);
  if (decompressor_) tjDestroy(decompressor_);
}

std::string JpegPeer::Version() {
#if ZDC_BENCH_HAVE_LIBJPEG
#define ZDC_BENCH_TEXT2(x) #x
#define ZDC_BENCH_TEXT(x) ZDC_BENCH_TEXT2(x)
  return "libjpeg-turbo " ZDC_BENCH_TEXT(LIBJPEG_TURBO_VERSION);
#else
  return "libjpeg-turbo (TurboJPEG API)";
#endif
}

bool JpegPeer::CanCodeArithmetic() {
#if ZDC_BENCH_HAVE_LIBJPEG && defined(C_ARITH_CODING_SUPPORTED) && defined(D_ARITH_CODING_SUPPORTED)
  return true;
#else
  return false;
#endif
}

std::vector<uint8_t> JpegPeer::Compress(const Planes420& planes, int quality, JpegCoding coding) {
  if (!compressor_) return {};
  const unsigned char* sources[3] = {planes.planes[0].data(), planes.planes[1].data(),
                                     planes.planes[2].data()};
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> result;
  if (tjCompressFromYUVPlanes(compressor_, sources, planes.width, nullptr, planes.height,
                              TJSAMP_420, &jpeg, &size, quality, 0) == 0) {
    result.assign(jpeg, jpeg + size);
  } else {
    error_ = tjGetErrorStr2(compressor_);
  }
  tjFree(jpeg);
  if (coding == JpegCoding::kArithmetic) {
#if ZDC_BENCH_HAVE_LIBJPEG
    if (!result.empty()) result = TranscodeToArithmetic(result);
#else
    result.clear();
#endif
  }
  return result;
}

bool JpegPeer::Decode(const std::vector<uint8_t>& jpeg, Planes420* planes) {
  unsigned char* targets[3] = {planes->planes[0].data(), planes->planes[1].data(),
                               planes->planes[2].data()};
  if (tjDecompressToYUVPlanes(decompressor_, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                              targets, planes->width, nullptr, planes->height, 0) != 0) {
    error_ = tjGetErrorStr2(decompressor_);
    return false;
  }
  return true;
}

uint64_t JpegPeer::BlocksPerPicture(int32_t width, int32_t height) {
  const uint64_t mcus = static_cast<uint64_t>((width + 15) / 16) * ((height + 15) / 16);
  return mcus * 6;
}

JpegMatch MatchSize(const std::function<std::vector<uint8_t>(int)>& compress, size_t targetBytes) {
  std::map<int, std::vector<uint8_t>> tried;
  auto at = [&](int quality) -> const std::vector<uint8_t>& {
    auto found = tried.find(quality);
    if (found == tried.end()) found = tried.emplace(quality, compress(quality)).first;
    return found->second;
  };
  // The smallest quality whose file is at least the target, then the nearer
  // of it and the quality below.
  int low = 1, high = 100;
  while (low < high) {
    const int mid = (low + high) / 2;
    if (at(mid).size() >= targetBytes) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  int best = low;
  if (low > 1) {
    const auto distance = [&](int q) {
      const size_t size = at(q).size();
      return size > targetBytes ? size - targetBytes : targetBytes - size;
    };
    if (distance(low - 1) < distance(low)) best = low - 1;
  }
  return {best, at(best)};
}

}  // namespace bench
}  // namespace zdc
