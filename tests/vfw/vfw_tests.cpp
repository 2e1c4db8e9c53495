// The Video for Windows codec of ZDC.dll through the platform's own API, as
// VfW programs use it: registration by regsvr32, ICOpen/ICLocate, the
// decompression messages frame by frame with a new output buffer every time,
// the hurry-up, preroll and null-frame flags, state, and AVIFile's
// AVIStreamGetFrame, which finds the codec through the registry. Every
// picture is compared with the decoder and conversion library run on the
// same frames, which is what `zdc decode --format` writes.
//   zdc_vfw_tests ZDC.dll CLIPS_DIR
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

namespace {

constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr DWORD kQzv2 = mmioFOURCC('Q', 'Z', 'V', '2');

std::wstring g_module;  // full path of the DLL under test
std::string g_clips;

struct Clip {
  const char* name;
  DWORD own;  // the decoder's layout for this stream
};
const Clip kClips[] = {{"huffman_raw", mmioFOURCC('Y', 'V', 'U', '9')},
                       {"arith_lzw", mmioFOURCC('V', 'b', 'T', '9')},
                       {"luma_only", mmioFOURCC('V', 'b', 'T', '8')},
                       {"damaged", mmioFOURCC('V', 'b', 'T', '9')}};

struct Format {
  const char* name;
  zdc::PixelFormat pixels;
  DWORD compression;
  WORD bits;  // 0: the clip's own layout
};
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
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kDrivers32, name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
      ERROR_SUCCESS)
    return L"";
  return value;
}

DWORD RunRegsvr32(const wchar_t* options) {
  std::wstring command = L"regsvr32.exe /s " + std::wstring(options) + L" \"" + g_module + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return GetLastError();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

// The decoded stream in one format, decoded here by the library the codec
// wraps: one buffer per frame, and the decoder's result per frame.
struct Reference {
  std::vector<std::vector<uint8_t>> frames;
  std::vector<bool> faulted;
};

BITMAPINFOHEADER OutputHeader(const BITMAPINFOHEADER& in, const Clip& clip, const Format& format) {
  BITMAPINFOHEADER out = {};
  out.biSize = sizeof out;
  out.biWidth = in.biWidth;
  out.biHeight = in.biHeight;  // RGB: bottom-up
  out.biPlanes = 1;
  out.biCompression = format.bits ? format.compression : clip.own;
  out.biBitCount = format.bits ? format.bits : (clip.own == mmioFOURCC('V', 'b', 'T', '8') ? 8 : 9);
  return out;
}

ptrdiff_t Pitch(const Format& format, LONG width) {
  return format.pixels == zdc::PixelFormat::kRgb24 ? (width * 3 + 3) & ~3L
                                                     : zdc::PackedPitch(format.pixels, width);
}

Reference Decode(zdc::AviReader& avi, const Format& format, bool denoise) {
  const int w = avi.Width(), h = avi.Height();
  const bool chroma = avi.Compression() != mmioFOURCC('Q', 'Z', 'V', '3');
  zdc::FrameDecoder decoder;
  decoder.SetSize(w, h, chroma);
  decoder.SetQuality(0.5);
  decoder.SetDenoise(denoise);
  std::vector<uint8_t> picture(zdc::DecoderOutputBytes(w, h, chroma), 0);
  Reference reference;
  for (size_t i = 0; i < avi.FrameCount(); ++i) {
    const std::vector<uint8_t> frame = avi.ReadFrame(i);
    reference.faulted.push_back(
        decoder.Decode(frame.data(), static_cast<uint32_t>(frame.size()), picture.data(), w) == 0);
    const ptrdiff_t pitch = Pitch(format, w);
    std::vector<uint8_t> out(zdc::SurfaceBytes(format.pixels, h, pitch, chroma));
    zdc::ConvertPicture(zdc::DecoderOutputPicture(picture.data(), w, h, chroma), format.pixels,
                        zdc::SurfaceInBuffer(format.pixels, out.data(), h, pitch, chroma,
                                             format.bits && format.compression == BI_RGB));
    reference.frames.push_back(std::move(out));
  }
  return reference;
}

BITMAPINFOHEADER InputHeader(const zdc::AviReader& avi) {
  BITMAPINFOHEADER in = {};
  in.biSize = sizeof in;
  in.biWidth = avi.Width();
  in.biHeight = avi.Height();
  in.biPlanes = 1;
  in.biBitCount = 24;
  in.biCompression = avi.Compression();
  return in;
}

void TestRegistration() {
  DWORD status = RunRegsvr32(L"");
  ok(status == 0, "regsvr32 returned %lu\n", status);
  for (const wchar_t* name : {L"vidc.QZV2", L"vidc.QZV3", L"vidc.QZV4"}) {
    std::wstring value = RegistryValue(name);
    ok(_wcsicmp(value.c_str(), g_module.c_str()) == 0, "%ls is \"%ls\"\n", name, value.c_str());
  }
}

void TestOpenAndInfo() {
  HIC codec = ICOpen(ICTYPE_VIDEO, kQzv2, ICMODE_DECOMPRESS);
  ok(codec != nullptr, "ICOpen for decompression failed\n");
  if (!codec) return;
  ICINFO info = {};
  LRESULT size = ICGetInfo(codec, &info, sizeof info);
  ok(size == sizeof info, "ICGetInfo returned %ld\n", static_cast<long>(size));
  ok(!wcscmp(info.szName, L"ZDC"), "name \"%ls\"\n", info.szName);
  ok(wcsstr(info.szDescription, L"QZV2") && wcsstr(info.szDescription, L"QZV4"),
     "description \"%ls\"\n", info.szDescription);
  ok(ICQueryConfigure(codec), "no configuration dialog\n");

  // The switches travel as state.
  DWORD state[2] = {1, 0};
  LRESULT bytes = ICGetStateSize(codec);
  ok(bytes == sizeof state, "state of %ld bytes\n", static_cast<long>(bytes));
  ICSetState(codec, state, sizeof state);
  DWORD back[2] = {7, 7};
  ICGetState(codec, back, sizeof back);
  ok(back[0] == 1 && back[1] == 0, "state back as %lu %lu\n", back[0], back[1]);
  ICClose(codec);

  ok(ICOpen(ICTYPE_VIDEO, kQzv2, ICMODE_COMPRESS) == nullptr, "opened for compression\n");
}

void TestFormats(zdc::AviReader& avi, const Clip& clip) {
  HIC codec = ICOpen(ICTYPE_VIDEO, avi.Compression(), ICMODE_DECOMPRESS);
  ok(codec != nullptr, "%s: ICOpen failed\n", clip.name);
  if (!codec) return;
  BITMAPINFOHEADER in = InputHeader(avi);
  BITMAPINFOHEADER def = {};
  LRESULT r = ICDecompressGetFormat(codec, &in, &def);
  ok(r == ICERR_OK && def.biCompression == clip.own && def.biWidth == in.biWidth &&
         def.biHeight == in.biHeight,
     "%s: default output %ld, %.4s %ldx%ld\n", clip.name, static_cast<long>(r),
     reinterpret_cast<const char*>(&def.biCompression), def.biWidth, def.biHeight);

  BITMAPINFOHEADER wrong = in;
  wrong.biCompression = mmioFOURCC('Q', 'Z', 'V', '9');
  ok(ICDecompressQuery(codec, &wrong, nullptr) == ICERR_BADFORMAT, "%s: took QZV9\n", clip.name);
  BITMAPINFOHEADER smaller = OutputHeader(in, clip, kFormats[5]);
  smaller.biWidth -= 2;
  ok(ICDecompressQuery(codec, &in, &smaller) == ICERR_BADFORMAT, "%s: took a smaller output\n",
     clip.name);

  for (const Format& format : kFormats) {
    BITMAPINFOHEADER out = OutputHeader(in, clip, format);
    r = ICDecompressQuery(codec, &in, &out);
    ok(r == ICERR_OK, "%s %s: query %ld\n", clip.name, format.name, static_cast<long>(r));
    r = ICDecompressBegin(codec, &in, &out);
    ok(r == ICERR_OK, "%s %s: begin %ld\n", clip.name, format.name, static_cast<long>(r));
    const Reference reference = Decode(avi, format, false);
    for (size_t i = 0; i < avi.FrameCount(); ++i) {
      std::vector<uint8_t> frame = avi.ReadFrame(i);
      std::vector<uint8_t> bits(reference.frames[i].size(), 0xCD);  // a new buffer every time
      in.biSizeImage = static_cast<DWORD>(frame.size());
      // ICDecompress returns the codec's LRESULT as a DWORD.
      r = static_cast<LONG>(ICDecompress(codec, 0, &in, frame.data(), &out, bits.data()));
      const LRESULT want = reference.faulted[i] ? ICERR_ERROR : ICERR_OK;
      ok(r == want, "%s %s frame %zu: %ld, not %ld\n", clip.name, format.name, i,
         static_cast<long>(r), static_cast<long>(want));
      ok(bits == reference.frames[i], "%s %s frame %zu: picture differs\n", clip.name,
         format.name, i);
    }
    ICDecompressEnd(codec);
  }
  ICClose(codec);
}

// Hurry-up and preroll frames bring the picture up to date without drawing;
// a null frame draws the picture again; the switches apply from state.
void TestFlags(zdc::AviReader& avi) {
  HIC codec = ICOpen(ICTYPE_VIDEO, avi.Compression(), ICMODE_DECOMPRESS);
  if (!codec) return;
  DWORD state[2] = {1, 0};  // denoise
  ICSetState(codec, state, sizeof state);
  BITMAPINFOHEADER in = InputHeader(avi);
  BITMAPINFOHEADER out = OutputHeader(in, kClips[0], kFormats[0]);
  const Reference reference = Decode(avi, kFormats[0], true);
  ICDecompressBegin(codec, &in, &out);
  for (size_t i = 0; i < avi.FrameCount(); ++i) {
    std::vector<uint8_t> frame = avi.ReadFrame(i);
    std::vector<uint8_t> bits(reference.frames[i].size(), 0xCD);
    in.biSizeImage = static_cast<DWORD>(frame.size());
    const DWORD flags = i == 1 ? ICDECOMPRESS_HURRYUP : i == 2 ? ICDECOMPRESS_PREROLL : 0;
    ICDecompress(codec, flags, &in, frame.data(), &out, bits.data());
    if (flags) {
      ok(bits == std::vector<uint8_t>(bits.size(), 0xCD), "frame %zu drawn with flags %#lx\n", i,
         flags);
      continue;
    }
    ok(bits == reference.frames[i], "frame %zu differs\n", i);
    // A dropped frame: no data, the same picture again.
    std::vector<uint8_t> again(bits.size(), 0xCD);
    in.biSizeImage = 0;
    LRESULT r = static_cast<LONG>(
        ICDecompress(codec, ICDECOMPRESS_NULLFRAME, &in, nullptr, &out, again.data()));
    ok(r == ICERR_OK && again == bits, "null frame after %zu: %ld\n", i, static_cast<long>(r));
  }
  ICClose(codec);
}

// AVIFile finds the codec by the stream's FourCC and hands back pictures in
// the codec's default format, or in RGB24 when asked.
void TestAviFile(const Clip& clip) {
  const std::string path = g_clips + "/" + clip.name + ".avi";
  zdc::AviReader avi(path);
  PAVIFILE file = nullptr;
  HRESULT hr = AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr);
  ok(hr == S_OK, "%s: AVIFileOpen %#lx\n", clip.name, hr);
  if (FAILED(hr)) return;
  PAVISTREAM stream = nullptr;
  hr = AVIFileGetStream(file, &stream, streamtypeVIDEO, 0);
  ok(hr == S_OK, "%s: no video stream %#lx\n", clip.name, hr);
  for (int wanted = 0; stream && wanted < 2; ++wanted) {
    const Format& format = kFormats[wanted ? 5 : 0];
    BITMAPINFOHEADER rgb = OutputHeader(InputHeader(avi), clip, format);
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, wanted ? &rgb : nullptr);
    ok(frames != nullptr, "%s %s: AVIStreamGetFrameOpen failed\n", clip.name, format.name);
    if (!frames) continue;
    const Reference reference = Decode(avi, format, false);
    for (size_t i = 0; i < avi.FrameCount(); ++i) {
      auto* header = static_cast<BITMAPINFOHEADER*>(AVIStreamGetFrame(frames, static_cast<LONG>(i)));
      ok(header != nullptr, "%s %s frame %zu: no picture\n", clip.name, format.name, i);
      if (!header) break;
      const uint8_t* bits = reinterpret_cast<const uint8_t*>(header) + header->biSize +
                            header->biClrUsed * sizeof(RGBQUAD);
      ok(!std::memcmp(bits, reference.frames[i].data(), reference.frames[i].size()),
         "%s %s frame %zu: picture differs\n", clip.name, format.name, i);
    }
    AVIStreamGetFrameClose(frames);
  }
  if (stream) AVIStreamRelease(stream);
  AVIFileRelease(file);
}

// Unregistering removes the values that name this module and leaves one
// that another codec has taken over since.
void TestUnregistration() {
  HKEY key = nullptr;
  const wchar_t other[] = L"C:\\codecs\\other.dll";
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_SET_VALUE, &key);
  RegSetValueExW(key, L"vidc.QZV3", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  RegCloseKey(key);
  DWORD status = RunRegsvr32(L"/u");
  ok(status == 0, "regsvr32 /u returned %lu\n", status);
  ok(RegistryValue(L"vidc.QZV2").empty(), "vidc.QZV2 is left\n");
  ok(RegistryValue(L"vidc.QZV4").empty(), "vidc.QZV4 is left\n");
  ok(RegistryValue(L"vidc.QZV3") == other, "vidc.QZV3 is \"%ls\"\n",
     RegistryValue(L"vidc.QZV3").c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: zdc_vfw_tests ZDC.dll CLIPS_DIR\n");
    return 2;
  }
  wchar_t full[MAX_PATH];
  GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
  g_module = full;
  char clips[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, argv[2], -1, clips, MAX_PATH, nullptr, nullptr);
  g_clips = clips;

  TestRegistration();
  TestOpenAndInfo();
  AVIFileInit();
  for (const Clip& clip : kClips) {
    zdc::AviReader avi(g_clips + "/" + clip.name + ".avi");
    TestFormats(avi, clip);
    TestAviFile(clip);
  }
  {
    zdc::AviReader avi(g_clips + "/huffman_raw.avi");
    TestFlags(avi);
  }
  AVIFileExit();
  TestUnregistration();
  return CheckSummary();
}
