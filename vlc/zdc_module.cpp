// The VLC 3.0 video decoder module for QZV2, QZV3 and QZV4 streams. VLC's
// AVI demuxer hands such streams to decoder modules with the picture size of
// the file's format block; this module decodes each frame into one picture
// of its own that persists from frame to frame, exactly as `zdc decode`
// does, and copies it into every picture VLC hands out.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <vlc_common.h>
#include <vlc_plugin.h>
#include <vlc_codec.h>

#include "frame_decoder.h"

namespace {

constexpr uint32_t kFrameHeaderBytes = 20;

int Open(vlc_object_t* object);
void Close(vlc_object_t* object);
int OpenPacketizer(vlc_object_t* object);

const char kDenoiseText[] = "Denoise";
const char kDenoiseLong[] = "Smooth block edges and noise in the luma plane.";
const char kMaskText[] = "Show the change mask";
const char kMaskLong[] = "Mark the blocks each delta frame updates.";

}  // namespace

vlc_module_begin()
  set_shortname("ZDC")
  set_description("ZDC video decoder (QZV2, QZV3, QZV4)")
  set_category(CAT_INPUT)
  set_subcategory(SUBCAT_INPUT_VCODEC)
  set_capability("video decoder", 60)
  set_callbacks(Open, Close)
  add_shortcut("zdc")
  add_bool("zdc-denoise", false, kDenoiseText, kDenoiseLong, false)
  add_bool("zdc-display-mask", false, kMaskText, kMaskLong, false)
  // Every AVI chunk is one whole frame. VLC's generic packetizer would hold
  // each frame back until the next one arrives and lose the last one.
  add_submodule()
  set_capability("packetizer", 10)
  set_callbacks(OpenPacketizer, nullptr)
vlc_module_end()

struct decoder_sys_t {
  zdc::FrameDecoder decoder;
  uint8_t* picture = nullptr;  // luma, then V and U at (width x height) / 16 apart
  int width = 0, height = 0;
  bool withChroma = false;
  bool waitForKey = false;  // after a flush, delta frames have nothing to build on
};

namespace {

bool IsFourCC(vlc_fourcc_t codec, const char* name) {
  return codec == VLC_FOURCC(name[0], name[1], name[2], name[3]);
}

// 2 for the chroma formats, 1 for luma only, 0 for anything else.
int PlaneSet(const es_format_t& format) {
  for (const vlc_fourcc_t codec : {format.i_codec, format.i_original_fourcc}) {
    if (IsFourCC(codec, "QZV2") || IsFourCC(codec, "QZV4") || IsFourCC(codec, "qzv2") || IsFourCC(codec, "qzv4"))
      return 2;
    if (IsFourCC(codec, "QZV3") || IsFourCC(codec, "qzv3")) return 1;
  }
  return 0;
}

// Copies `lines` rows of `width` bytes into the visible part of a VLC plane;
// columns and rows the plane has beyond the picture repeat its last ones (a
// chroma plane of a picture narrower than 4 is mid-grey).
void CopyPlane(const uint8_t* source, int width, int lines, const plane_t& plane) {
  const int copyWidth = width < plane.i_pitch ? width : plane.i_pitch;
  for (int y = 0; y < plane.i_visible_lines; ++y) {
    uint8_t* target = plane.p_pixels + static_cast<size_t>(y) * plane.i_pitch;
    if (copyWidth <= 0 || lines <= 0) {
      std::memset(target, 0x80, plane.i_visible_pitch);
      continue;
    }
    const uint8_t* row = source + static_cast<size_t>(y < lines ? y : lines - 1) * width;
    std::memcpy(target, row, copyWidth);
    if (plane.i_visible_pitch > copyWidth) {
      std::memset(target + copyWidth, row[copyWidth - 1], plane.i_visible_pitch - copyWidth);
    }
  }
}

void CopyOut(const decoder_sys_t& sys, picture_t* picture) {
  CopyPlane(sys.picture, sys.width, sys.height, picture->p[0]);
  if (!sys.withChroma) return;
  const size_t lumaBytes = static_cast<size_t>(sys.width) * sys.height;
  CopyPlane(sys.picture + lumaBytes, sys.width / 4, sys.height / 4, picture->p[1]);
  CopyPlane(sys.picture + lumaBytes + lumaBytes / 16, sys.width / 4, sys.height / 4, picture->p[2]);
}

bool IsKeyFrame(const block_t& block) {
  return block.i_buffer >= kFrameHeaderBytes && block.p_buffer[6] == 0 && block.p_buffer[7] == 0;
}

int Decode(decoder_t* dec, block_t* block) {
  decoder_sys_t& sys = *dec->p_sys;
  if (block == nullptr) return VLCDEC_SUCCESS;  // drain: no frames are held back
  // A discontinuity (the demuxer's seek, lost data) is a flush that came
  // with the data.
  if (block->i_flags & BLOCK_FLAG_DISCONTINUITY) sys.waitForKey = true;
  if (sys.waitForKey && !IsKeyFrame(*block)) {
    block_Release(block);
    return VLCDEC_SUCCESS;
  }
  sys.waitForKey = false;
  // A damaged frame is decoded all the same: the decoder reads only inside
  // it, and the picture keeps what the frame could still set.
  sys.decoder.Decode(block->p_buffer, static_cast<uint32_t>(block->i_buffer), sys.picture, sys.width);
  if (block->i_flags & BLOCK_FLAG_PREROLL) {
    // Decoded for the frames after it, not shown.
    block_Release(block);
    return VLCDEC_SUCCESS;
  }
  picture_t* picture = nullptr;
  if (decoder_UpdateVideoFormat(dec) == 0) picture = decoder_NewPicture(dec);
  if (picture != nullptr) {
    CopyOut(sys, picture);
    picture->date = block->i_pts != VLC_TS_INVALID ? block->i_pts : block->i_dts;
    picture->b_progressive = true;
    picture->b_force = false;
    decoder_QueueVideo(dec, picture);
  }
  block_Release(block);
  return VLCDEC_SUCCESS;
}

void Flush(decoder_t* dec) { dec->p_sys->waitForKey = true; }

int Open(vlc_object_t* object) {
  decoder_t* dec = reinterpret_cast<decoder_t*>(object);
  const int planes = PlaneSet(dec->fmt_in);
  if (dec->fmt_in.i_cat != VIDEO_ES || planes == 0) return VLC_EGENERIC;
  const unsigned width = dec->fmt_in.video.i_width, height = dec->fmt_in.video.i_height;
  if (width == 0 || height == 0 || width > 65535 || height > 65535) return VLC_EGENERIC;

  decoder_sys_t* sys = new (std::nothrow) decoder_sys_t;
  if (sys == nullptr) return VLC_ENOMEM;
  sys->width = static_cast<int>(width);
  sys->height = static_cast<int>(height);
  sys->withChroma = planes == 2;
  const size_t lumaBytes = static_cast<size_t>(width) * height;
  // As `zdc decode`: the size, quality 0.5 until a frame header sets its own,
  // and the switches held for the whole stream.
  if (sys->decoder.SetSize(sys->width, sys->height, sys->withChroma) != 0 ||
      sys->decoder.SetQuality(0.5) != 0 ||
      (sys->picture = static_cast<uint8_t*>(std::calloc(lumaBytes + (sys->withChroma ? 2 * (lumaBytes / 16) : 0), 1))) ==
          nullptr) {
    msg_Err(dec, "cannot decode a %ux%u picture", width, height);
    delete sys;
    return VLC_EGENERIC;
  }
  sys->decoder.SetDenoise(var_InheritBool(dec, "zdc-denoise"));
  sys->decoder.SetDisplayMask(var_InheritBool(dec, "zdc-display-mask"));

  dec->p_sys = sys;
  es_format_Copy(&dec->fmt_out, &dec->fmt_in);
  dec->fmt_out.i_codec = sys->withChroma ? VLC_CODEC_YV9 : VLC_CODEC_GREY;
  video_format_Setup(&dec->fmt_out.video, dec->fmt_out.i_codec, width, height, width, height,
                     dec->fmt_in.video.i_sar_num ? dec->fmt_in.video.i_sar_num : 1,
                     dec->fmt_in.video.i_sar_den ? dec->fmt_in.video.i_sar_den : 1);
  dec->fmt_out.video.i_frame_rate = dec->fmt_in.video.i_frame_rate;
  dec->fmt_out.video.i_frame_rate_base = dec->fmt_in.video.i_frame_rate_base;
  dec->pf_decode = Decode;
  dec->pf_flush = Flush;
  return VLC_SUCCESS;
}

block_t* Packetize(decoder_t*, block_t** blocks) {
  if (blocks == nullptr || *blocks == nullptr) return nullptr;
  block_t* block = *blocks;
  *blocks = nullptr;
  if (block->i_pts == VLC_TS_INVALID) block->i_pts = block->i_dts;
  return block;
}

int OpenPacketizer(vlc_object_t* object) {
  decoder_t* dec = reinterpret_cast<decoder_t*>(object);
  if (dec->fmt_in.i_cat != VIDEO_ES || PlaneSet(dec->fmt_in) == 0) return VLC_EGENERIC;
  es_format_Copy(&dec->fmt_out, &dec->fmt_in);
  dec->fmt_out.b_packetized = true;
  dec->pf_packetize = Packetize;
  return VLC_SUCCESS;
}

void Close(vlc_object_t* object) {
  decoder_t* dec = reinterpret_cast<decoder_t*>(object);
  std::free(dec->p_sys->picture);
  delete dec->p_sys;
}

}  // namespace
