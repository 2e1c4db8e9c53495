// The Video for Windows entry point of ZDC.dll: the installable-driver
// messages and the codec messages of one open instance, for programs that
// find decoders through the Drivers32 registry key (VirtualDub, AVIFile, the
// system's AVI Decompressor filter).
#include <windows.h>
#include <mmsystem.h>
#include <vfw.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "configure_dialog.h"
#include "vfw_decompressor.h"

namespace {

LRESULT GetInfo(ICINFO* info, LPARAM bytes) {
  if (!info || bytes < static_cast<LPARAM>(sizeof(ICINFO))) return 0;
  std::memset(info, 0, sizeof(ICINFO));
  info->dwSize = sizeof(ICINFO);
  info->fccType = ICTYPE_VIDEO;
  info->fccHandler = mmioFOURCC('Q', 'Z', 'V', '2');
  // A decompressor only, and delta frames need the frames before them: none
  // of the VIDCF_ capabilities applies.
  info->dwFlags = 0;
  info->dwVersion = 1;
  info->dwVersionICM = ICVERSION;
  std::wcscpy(info->szName, L"ZDC");
  std::wcscpy(info->szDescription, L"Zelvo Frame Decompressor (QZV2, QZV3, QZV4)");
  return sizeof(ICINFO);
}

// Decompression to a part of the output, or from a part of the input, is not
// offered: only the whole picture, unscaled.
bool IsWholePicture(const ICDECOMPRESSEX& ex) {
  if (!ex.lpbiSrc || !ex.lpbiDst) return false;
  const LONG width = ex.lpbiSrc->biWidth, height = ex.lpbiSrc->biHeight;
  return ex.xDst == 0 && ex.yDst == 0 && ex.xSrc == 0 && ex.ySrc == 0 && ex.dxDst == width &&
         std::abs(ex.dyDst) == height && ex.dxSrc == width && std::abs(ex.dySrc) == height;
}

LRESULT Configure(VfwDecompressor* codec, HWND parent) {
  VfwDecompressor::State state = codec ? codec->Switches() : VfwDecompressor::State{0, 0};
  if (ShowConfigureDialog(parent, &state) && codec) codec->SetSwitches(state);
  return ICERR_OK;
}

}  // namespace

extern "C" LRESULT WINAPI DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message,
                                      LPARAM lParam1, LPARAM lParam2) {
  auto* codec = reinterpret_cast<VfwDecompressor*>(driverId);
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_INSTALL:
    case DRV_REMOVE:
      return DRVCNF_OK;
    case DRV_OPEN: {
      // lParam2 is the ICOPEN of ICOpen, or null when the driver is opened
      // for configuration. Only video decompression (and queries) are served.
      auto* open = reinterpret_cast<ICOPEN*>(lParam2);
      if (open) {
        const DWORD mode = open->dwFlags & 0xF;
        if (open->fccType != ICTYPE_VIDEO || mode == ICMODE_COMPRESS ||
            mode == ICMODE_FASTCOMPRESS || mode == ICMODE_DRAW) {
          open->dwError = ICERR_UNSUPPORTED;
          return 0;
        }
      }
      auto* instance = new (std::nothrow) VfwDecompressor;
      if (open) open->dwError = instance ? ICERR_OK : ICERR_MEMORY;
      return reinterpret_cast<LRESULT>(instance);
    }
    case DRV_CLOSE:
      delete codec;
      return DRVCNF_OK;
    case DRV_QUERYCONFIGURE:
      return DRVCNF_OK;
    case DRV_CONFIGURE:
      Configure(codec, reinterpret_cast<HWND>(lParam1));
      return DRVCNF_OK;
  }
  if (message < DRV_USER) return DefDriverProc(driverId, driver, message, lParam1, lParam2);
  if (!codec) return ICERR_BADHANDLE;

  const auto* in = reinterpret_cast<const BITMAPINFOHEADER*>(lParam1);
  auto* out = reinterpret_cast<BITMAPINFOHEADER*>(lParam2);
  switch (message) {
    case ICM_GETINFO:
      return GetInfo(reinterpret_cast<ICINFO*>(lParam1), lParam2);
    case ICM_GETSTATE:
      return codec->GetState(reinterpret_cast<void*>(lParam1), static_cast<DWORD>(lParam2));
    case ICM_SETSTATE:
      return codec->SetState(reinterpret_cast<const void*>(lParam1), static_cast<DWORD>(lParam2));
    case ICM_CONFIGURE:
      // -1 asks whether a dialog exists.
      if (lParam1 == -1) return ICERR_OK;
      return Configure(codec, reinterpret_cast<HWND>(lParam1));
    case ICM_DECOMPRESS_QUERY:
      return codec->Query(in, out);
    case ICM_DECOMPRESS_GET_FORMAT:
      return codec->GetFormat(in, out);
    case ICM_DECOMPRESS_BEGIN:
      return codec->Begin(in, out);
    case ICM_DECOMPRESS: {
      const auto* d = reinterpret_cast<const ICDECOMPRESS*>(lParam1);
      if (!d || static_cast<size_t>(lParam2) < sizeof(ICDECOMPRESS)) return ICERR_BADPARAM;
      return codec->Decompress(d->dwFlags, d->lpbiInput, d->lpInput, d->lpbiOutput, d->lpOutput);
    }
    case ICM_DECOMPRESS_END:
    case ICM_DECOMPRESSEX_END:
      return codec->End();
    case ICM_DECOMPRESSEX_QUERY:
    case ICM_DECOMPRESSEX_BEGIN:
    case ICM_DECOMPRESSEX: {
      const auto* ex = reinterpret_cast<const ICDECOMPRESSEX*>(lParam1);
      if (!ex || static_cast<size_t>(lParam2) < sizeof(ICDECOMPRESSEX)) return ICERR_BADPARAM;
      if (ex->lpbiDst && !IsWholePicture(*ex)) return ICERR_BADFORMAT;
      if (message == ICM_DECOMPRESSEX_QUERY) return codec->Query(ex->lpbiSrc, ex->lpbiDst);
      if (message == ICM_DECOMPRESSEX_BEGIN) return codec->Begin(ex->lpbiSrc, ex->lpbiDst);
      return codec->Decompress(ex->dwFlags, ex->lpbiSrc, ex->lpSrc, ex->lpbiDst, ex->lpDst);
    }
    default:
      return ICERR_UNSUPPORTED;
  }
}
