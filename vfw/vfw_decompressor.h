// One open instance of the Video for Windows codec: the messages of the
// decompression family (ICM_DECOMPRESS_*, ICM_DECOMPRESSEX_*) and the codec
// state. It decodes every frame into a picture of its own, which persists
// across frames, and fills the caller's buffer from it by a copy or a
// conversion, so callers that pass another buffer every time (AVIFile,
// VirtualDub, the system's AVI Decompressor filter) get whole pictures.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <cstdint>
#include <vector>

#include "frame_decoder.h"
#include "picture_convert.h"

class VfwDecompressor {
 public:
  // The switches an application saves with ICM_GETSTATE and restores with
  // ICM_SETSTATE.
  struct State {
    DWORD denoise;
    DWORD displayMask;
  };

  LRESULT Query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) const;
  // ICM_DECOMPRESS_GET_FORMAT: with `out` null the bytes of the format, else
  // the default output (the decoder's own layout) written into it.
  LRESULT GetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) const;
  LRESULT Begin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out);
  LRESULT Decompress(DWORD flags, const BITMAPINFOHEADER* in, const void* data,
                     const BITMAPINFOHEADER* out, void* bits);
  LRESULT End();

  LRESULT GetState(void* buffer, DWORD bytes) const;
  LRESULT SetState(const void* buffer, DWORD bytes);
  State Switches() const;
  void SetSwitches(const State& state);

 private:
  // How one output format is filled: the conversion, the pitch of its rows
  // and their order.
  struct Output {
    zdc::PixelFormat format;
    ptrdiff_t pitch;
    bool bottomUp;
  };
  static bool OutputOf(const BITMAPINFOHEADER& in, const BITMAPINFOHEADER& out, Output* output);

  zdc::FrameDecoder decoder_;
  std::vector<uint8_t> picture_;  // the decoder's output, width x height at pitch width
  BITMAPINFOHEADER begunIn_ = {};
  BITMAPINFOHEADER begunOut_ = {};
  Output output_ = {};
  bool begun_ = false;
};
