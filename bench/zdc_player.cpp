#include "zdc_player.h"

#include "timing.h"

namespace zdc {
namespace bench {

ZdcPlayer::ZdcPlayer(const ZdcStream& stream) : stream_(stream) {
  const Picture& p = stream.keyPicture;
  decoder_.SetSize(p.width, p.height, true);
  output_.assign(OutputPictureSize(p.width, p.height, true), 0);
}

void ZdcPlayer::DecodeKey() {
  lastResult_ = decoder_.Decode(stream_.key.data(), static_cast<uint32_t>(stream_.key.size()),
                                output_.data(), stream_.keyPicture.width);
}

double ZdcPlayer::DecodeDelta(size_t index) {
  DecodeKey();
  const std::vector<uint8_t>& frame = stream_.deltas[index].frame;
  const double start = NowSeconds();
  lastResult_ = decoder_.Decode(frame.data(), static_cast<uint32_t>(frame.size()), output_.data(),
                                stream_.keyPicture.width);
  return NowSeconds() - start;
}

bool ZdcPlayer::Verify(int delta) {
  const Picture* expected = &stream_.keyPicture;
  size_t frameBytes = stream_.key.size();
  if (delta < 0) {
    DecodeKey();
  } else {
    DecodeDelta(static_cast<size_t>(delta));
    expected = &stream_.deltas[static_cast<size_t>(delta)].picture;
    frameBytes = stream_.deltas[static_cast<size_t>(delta)].frame.size();
  }
  if (lastResult_ != static_cast<int32_t>(frameBytes)) return false;
  const Picture got = PictureFromOutput(output_.data(), expected->width, expected->height, true,
                                        expected->width);
  return got.luma == expected->luma && got.chroma[0] == expected->chroma[0] &&
         got.chroma[1] == expected->chroma[1];
}

}  // namespace bench
}  // namespace zdc
