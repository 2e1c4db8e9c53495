// The property page's calls on the user-interface thread while the streaming
// thread decodes: the switches flipped, the quality set and refused, the
// quality and the switches read back without the lock. Under
// ThreadSanitizer any unsynchronised access is a failure; in every build the
// frames keep their byte counts, every quality read back is one that was set
// (by the page or by a frame header), and once the page is done a key frame
// restores exactly the pictures of a decoder that never saw the changes.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "encoder_test_pictures.h"
#include "frame_decoder.h"
#include "frame_encoder.h"

namespace zdc {
namespace {

constexpr int kFrames = 64, kKeyInterval = 16;
constexpr int kConcurrentFrames = 48;  // then the key frame that starts the rest

struct Stream {
  int32_t width, height;
  bool withChroma;
  std::vector<std::vector<uint8_t>> frames;
};

// Coefficient codings alternate frame by frame, masks take whichever storage
// is smallest.
Stream Encode(int32_t width, int32_t height, bool withChroma) {
  EncoderOptions options;
  options.fourcc = withChroma ? kFourccQzv2 : kFourccQzv3;
  options.keyInterval = kKeyInterval;
  FrameEncoder encoder(width, height, options);
  Stream stream{width, height, withChroma, {}};
  for (int i = 0; i < kFrames; ++i) {
    encoder.SetCoder(i % 2 ? CoefficientCoding::kArithmetic : CoefficientCoding::kHuffman);
    stream.frames.push_back(encoder.EncodeFrame(test::MakeTestPicture(width, height, withChroma, i)));
  }
  return stream;
}

TEST(SettingsWhileDecoding, PropertyPageChangesTheSwitchesAndQualityBetweenFrames) {
  // Luma through its own plane and chroma through the scratch planes; every
  // plane straight into the output; luma only.
  for (const Stream& stream : {Encode(100, 68, true), Encode(96, 64, true), Encode(72, 40, false)}) {
    SCOPED_TRACE(testing::Message() << stream.width << "x" << stream.height);
    // Byte counts do not depend on the switches or on a quality set between
    // frames (each header brings its own), so a quiet decoder gives them.
    std::vector<int32_t> expected;
    test::EncoderTestDecoder quiet(stream.width, stream.height, stream.withChroma);
    for (int i = 0; i < kFrames; ++i) {
      expected.push_back(quiet.Decode(stream.frames[i]));
      ASSERT_NE(expected.back(), 0);
    }
    test::EncoderTestDecoder busy(stream.width, stream.height, stream.withChroma);
    FrameDecoder& decoder = busy.Decoder();
    std::atomic<bool> started{false}, stop{false};
    int failures = 0;
    uint32_t rounds = 0;
    std::set<uint16_t> qualitiesSeen;
    // What the page does until told to stop: Apply (quality, then both
    // switches) and the refresh after each frame (everything read back).
    std::thread ui([&] {
      static const double kQualities[] = {0.25, 0.5, 0.75, 0.29, 1.0, 0.0};
      for (; !stop.load(std::memory_order_acquire) || rounds < 8; ++rounds) {
        if (decoder.SetQuality(kQualities[rounds % 6]) != 0) ++failures;
        if (decoder.SetQuality(rounds % 2 ? 1.5 : -0.25) != 87) ++failures;
        const bool displayMask = rounds % 4 >= 2, denoise = rounds % 2 == 1;
        decoder.SetDisplayMask(displayMask);
        decoder.SetDenoise(denoise);
        qualitiesSeen.insert(decoder.QualityHundredths());
        // Only the page changes the switches, so they read back as it set them.
        if (decoder.GetDenoise() != denoise || decoder.GetDisplayMask() != displayMask) ++failures;
        started.store(true, std::memory_order_release);
      }
    });
    while (!started.load(std::memory_order_acquire)) std::this_thread::yield();
    std::vector<int32_t> results;
    for (int i = 0; i < kConcurrentFrames; ++i) results.push_back(busy.Decode(stream.frames[i]));
    stop.store(true, std::memory_order_release);
    ui.join();
    EXPECT_EQ(failures, 0) << "a quality in [0, 1] is accepted, one outside refused; switches read back as set";
    EXPECT_EQ(results, std::vector<int32_t>(expected.begin(), expected.begin() + kConcurrentFrames));
    for (uint16_t seen : qualitiesSeen) {
      EXPECT_TRUE(std::set<uint16_t>({25, 50, 75, 28, 100, 0}).count(seen)) << "quality read back: " << seen;
    }
    // The page is done and its switches are off again: from the next key
    // frame on, the pictures are those of the decoder that never saw it.
    decoder.SetDenoise(false);
    decoder.SetDisplayMask(false);
    for (int i = kConcurrentFrames; i < kFrames; ++i) ASSERT_EQ(busy.Decode(stream.frames[i]), expected[i]) << i;
    EXPECT_EQ(busy.OutputBytes(), quiet.OutputBytes());
  }
}

}  // namespace
}  // namespace zdc
