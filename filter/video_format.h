// Reading the video format blocks of the decompressor's media types.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstdint>

// Where the header fields in front of the bitmap header end: a VIDEOINFOHEADER2
// for FORMAT_VideoInfo2, a VIDEOINFOHEADER otherwise.
inline uint32_t BitmapHeaderOffset(const AM_MEDIA_TYPE& type) {
  return IsEqualGUID(type.formattype, FORMAT_VideoInfo2) ? offsetof(VIDEOINFOHEADER2, bmiHeader)
                                                         : offsetof(VIDEOINFOHEADER, bmiHeader);
}

// The bitmap header of `type`, located by its format type, or null when the
// format block is missing or too short to hold it.
inline const BITMAPINFOHEADER* BitmapHeaderOf(const AM_MEDIA_TYPE& type) {
  uint32_t offset = BitmapHeaderOffset(type);
  if (!type.pbFormat || type.cbFormat < offset + sizeof(BITMAPINFOHEADER)) return nullptr;
  return reinterpret_cast<const BITMAPINFOHEADER*>(type.pbFormat + offset);
}

// The part in front of the bitmap header that VIDEOINFOHEADER and
// VIDEOINFOHEADER2 share (rcSource .. AvgTimePerFrame), or null.
inline const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type) {
  if (!type.pbFormat || type.cbFormat < offsetof(VIDEOINFOHEADER, bmiHeader)) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

// Bytes the decoder writes for a picture of `height` rows at `stride`: the
// luma plane and, with chroma, two planes of a sixteenth of it each.
inline int64_t PictureBytes(int32_t stride, int32_t height, bool withChroma) {
  int64_t luma = static_cast<int64_t>(stride) * height;
  return withChroma ? luma + 2 * (luma / 16) : luma;
}
