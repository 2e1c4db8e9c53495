// The Video for Windows codec of ZDC.dll through the platform's own API, as
// VfW programs use it: registration by regsvr32, ICOpen/ICLocate, the
// decompression messages frame by frame with a new output buffer every time,
// the hurry-up, preroll and null-frame flags, and state. Every
// picture is compared with the decoder and conversion library run on the
// same frames, which is what `zdc decode --format` writes.
//   zdc_vfw_tests [ZDC.dll]
#include <windows.h>
#include <vfw.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "avi_reader.h"
#include "check.h"
#include "frame_decoder.h"
#include "picture_convert.h"
#include "regsvr32.h"

namespace {

constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr DWORD kQzv2 = mmioFOURCC('Q', 'Z', 'V', '2');

std::wstring g_module;  // full path of the DLL under test

// Each clip with the decoder's layout for it.
struct Clip { const char* name; DWORD own; };
const DWORD kVbT9 = mmioFOURCC('V', 'b', 'T', '9'), kVbT8 = mmioFOURCC('V', 'b', 'T', '8');
const Clip kClips[] = {{"huffman_raw", mmioFOURCC('Y', 'V', 'U', '9')}, {"arith_lzw", kVbT9},
                       {"luma_only", kVbT8}, {"damaged", kVbT9}};

// Bits 0: the clip's own layout.
struct Format { const char* name; zdc::PixelFormat pixels; DWORD compression; WORD bits; };
const Format kFormats[] = {{"own", zdc::PixelFormat::kYvu9, 0, 0},
                           {"NV12", zdc::PixelFormat::kNv12, mmioFOURCC('N', 'V', '1', '2'), 12},
                           {"YV12", zdc::PixelFormat::kYv12, mmioFOURCC('Y', 'V', '1', '2'), 12},
                           {"IYUV", zdc::PixelFormat::kI420, mmioFOURCC('I', 'Y', 'U', 'V'), 12},
                           {"YUY2", zdc::PixelFormat::kYuy2, mmioFOURCC('Y', 'U', 'Y', '2'), 16},
                           {"RGB24", zdc::PixelFormat::kRgb24, BI_RGB, 24},
                           {"RGB32", zdc::PixelFormat::kRgb32, BI_RGB, 32}};

std::wstring RegistryValue(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  DWORD bytes = sizeof(value) - sizeof(wchar_t);
  RegGetValueW(HKEY_LOCAL_MACHINE, kDrivers32, name, RRF_RT_REG_SZ, nullptr, value, &bytes);
  return value;
}

BITMAPINFOHEADER Header(const zdc::AviReader& avi, DWORD compression, WORD bits) {
  return {sizeof(BITMAPINFOHEADER), avi.Width(), avi.Height(), 1, bits, compression, 0, 0, 0, 0, 0};
}

// The output header of `format` for this clip (RGB bottom-up).
BITMAPINFOHEADER OutputHeader(const zdc::AviReader& avi, const Clip& clip, const Format& format) {
  if (format.bits) return Header(avi, format.compression, format.bits);
  return Header(avi, clip.own, clip.own == kVbT8 ? 8 : 9);
}

// The stream in one format as the library the codec wraps decodes it, with
// denoising, one buffer per frame, and whether the decoder refused each frame.
std::vector<std::vector<uint8_t>> Decode(zdc::AviReader& avi, const Format& format,
                                         std::vector<bool>* faulted) {
  const int w = avi.Width(), h = avi.Height();
  const bool chroma = avi.Compression() != mmioFOURCC('Q', 'Z', 'V', '3');
  const ptrdiff_t pitch = format.pixels == zdc::PixelFormat::kRgb24
                              ? (w * 3 + 3) & ~3L : zdc::PackedPitch(format.pixels, w);
  zdc::FrameDecoder decoder;
  decoder.SetSize(w, h, chroma);
  decoder.SetQuality(0.5);
  decoder.SetDenoise(true);
  std::vector<uint8_t> picture(zdc::DecoderOutputBytes(w, h, chroma), 0);
  std::vector<std::vector<uint8_t>> pictures;
  for (size_t i = 0; i < avi.FrameCount(); ++i) {
    const std::vector<uint8_t> frame = avi.ReadFrame(i);
    const bool refused = !decoder.Decode(frame.data(), uint32_t(frame.size()), picture.data(), w);
    faulted->push_back(refused);
    pictures.emplace_back(zdc::SurfaceBytes(format.pixels, h, pitch, chroma));
    zdc::ConvertPicture(zdc::DecoderOutputPicture(picture.data(), w, h, chroma), format.pixels,
                        zdc::SurfaceInBuffer(format.pixels, pictures.back().data(), h, pitch,
                                             chroma, format.bits && !format.compression));
  }
  return pictures;
}

// Registration; the codec opens for decompression only, names itself, and
// keeps its switches as state. (Each clip's codec is opened by its FourCC,
// QZV2, QZV3 and QZV4, which finds this module through the registration.)
void TestRegistrationAndInfo() {
  DWORD status = RunRegsvr32(L"", g_module);
  ok(status == 0, "regsvr32 returned %lu\n", status);
  ok(ICOpen(ICTYPE_VIDEO, kQzv2, ICMODE_COMPRESS) == nullptr, "opened for compression\n");
  HIC codec = ICOpen(ICTYPE_VIDEO, kQzv2, ICMODE_DECOMPRESS);
  ok(codec != nullptr, "ICOpen for decompression failed\n");
  if (!codec) return;
  ICINFO info = {};
  LRESULT size = ICGetInfo(codec, &info, sizeof info);
  DWORD state[2] = {1, 0}, back[2] = {7, 7};
  LRESULT bytes = ICGetStateSize(codec);
  ICSetState(codec, state, sizeof state);
  ICGetState(codec, back, sizeof back);
  ok(size == sizeof info && !wcscmp(info.szName, L"ZDC") && wcsstr(info.szDescription, L"QZV2") &&
         wcsstr(info.szDescription, L"QZV4") && ICQueryConfigure(codec) &&
         bytes == sizeof state && back[0] == 1 && back[1] == 0,
     "info of %ld bytes, \"%ls\", \"%ls\"; state of %ld bytes, back as %lu %lu\n", long(size),
     info.szName, info.szDescription, long(bytes), back[0], back[1]);
  ICClose(codec);
}

// The default output, refused formats, and every format frame by frame with a
// new buffer every time, denoised as the codec's state says: the decoder's
// result and picture. Hurry-up (frame 1) and preroll (frame 2) frames bring
// the picture up to date without drawing; a null frame after each drawn one
// draws the same picture again.
void TestFormats(zdc::AviReader& avi, const Clip& clip) {
  HIC codec = ICOpen(ICTYPE_VIDEO, avi.Compression(), ICMODE_DECOMPRESS);
  ok(codec != nullptr, "%s: ICOpen failed\n", clip.name);
  if (!codec) return;
  DWORD state[2] = {1, 0};  // denoise
  ICSetState(codec, state, sizeof state);
  BITMAPINFOHEADER in = Header(avi, avi.Compression(), 24), def = {}, wrong = in;
  LRESULT r = ICDecompressGetFormat(codec, &in, &def);
  wrong.biCompression = mmioFOURCC('Q', 'Z', 'V', '9');
  BITMAPINFOHEADER smaller = OutputHeader(avi, clip, kFormats[5]);
  smaller.biWidth -= 2;
  const LRESULT refused[2] = {ICDecompressQuery(codec, &wrong, nullptr),
                              ICDecompressQuery(codec, &in, &smaller)};
  ok(r == ICERR_OK && def.biCompression == clip.own && def.biWidth == in.biWidth &&
         def.biHeight == in.biHeight && refused[0] == ICERR_BADFORMAT &&
         refused[1] == ICERR_BADFORMAT,
     "%s: default output %ld, %.4s %ldx%ld, or took QZV9 or a smaller output\n", clip.name, long(r),
     reinterpret_cast<const char*>(&def.biCompression), def.biWidth, def.biHeight);
  for (const Format& format : kFormats) {
    BITMAPINFOHEADER out = OutputHeader(avi, clip, format);
    const LRESULT query = ICDecompressQuery(codec, &in, &out);
    const LRESULT begin = ICDecompressBegin(codec, &in, &out);
    ok(query == ICERR_OK && begin == ICERR_OK, "%s %s: query %ld, begin %ld\n", clip.name,
       format.name, long(query), long(begin));
    std::vector<bool> faulted;
    const auto reference = Decode(avi, format, &faulted);
    for (size_t i = 0; i < avi.FrameCount(); ++i) {
      std::vector<uint8_t> frame = avi.ReadFrame(i), untouched(reference[i].size(), 0xCD);
      std::vector<uint8_t> bits = untouched, again = untouched;
      in.biSizeImage = static_cast<DWORD>(frame.size());
      const DWORD flags = i == 1 ? ICDECOMPRESS_HURRYUP : i == 2 ? ICDECOMPRESS_PREROLL : 0;
      // ICDecompress returns the codec's LRESULT as a DWORD.
      r = static_cast<LONG>(ICDecompress(codec, flags, &in, frame.data(), &out, bits.data()));
      const std::vector<uint8_t>& want = flags ? untouched : reference[i];
      ok((flags || r == (faulted[i] ? ICERR_ERROR : ICERR_OK)) && bits == want,
         "%s %s frame %zu, flags %#lx: %ld, picture %s\n", clip.name, format.name, i, flags,
         long(r), bits == want ? "same" : "differs");
      if (flags) continue;
      in.biSizeImage = 0;  // a dropped frame: no data, the same picture again
      r = static_cast<LONG>(
          ICDecompress(codec, ICDECOMPRESS_NULLFRAME, &in, nullptr, &out, again.data()));
      ok(r == ICERR_OK && again == bits, "%s %s null frame after %zu: %ld\n", clip.name,
         format.name, i, long(r));
    }
    ICDecompressEnd(codec);
  }
  ICClose(codec);
}

// Unregistering removes the values that name this module and leaves one
// that another codec has taken over since.
void TestUnregistration() {
  HKEY key = nullptr;
  const wchar_t other[] = L"C:\\codecs\\other.dll";
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_SET_VALUE, &key);
  RegSetValueExW(key, L"vidc.QZV3", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  RegCloseKey(key);
  DWORD status = RunRegsvr32(L"/u", g_module);
  ok(status == 0 && RegistryValue(L"vidc.QZV2").empty() && RegistryValue(L"vidc.QZV4").empty() &&
         RegistryValue(L"vidc.QZV3") == other,
     "regsvr32 /u returned %lu; vidc.QZV3 is \"%ls\"\n", status,
     RegistryValue(L"vidc.QZV3").c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t full[MAX_PATH];
  GetFullPathNameW(argc > 1 ? argv[1] : L"ZDC.dll", MAX_PATH, full, nullptr);
  g_module = full;
  TestRegistrationAndInfo();
  for (const Clip& clip : kClips) {
    zdc::AviReader avi(std::string(ZDC_CLIPS_PATH "/") + clip.name + ".avi");
    TestFormats(avi, clip);
  }
  TestUnregistration();
  return CheckSummary();
}
