// The property page's calls on the user-interface thread while the streaming
// thread decodes: the switches flipped, the quality set and refused, the
// quality and the switches read back without the lock. Under
// ThreadSanitizer any unsynchronised access is a failure; in every build the
// frames keep their byte counts, every quality read back is one that was set
// (by the page or by a frame header), and once the page is done a key frame
// restores exactly the pictures of a decoder that never saw the changes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "encoder_test_pictures.h"
#include "frame_decoder.h"
#include "frame_encoder.h"
#include "picture.h"

namespace zdc {
namespace {

constexpr int kFrames = 64;
constexpr int kKeyInterval = 16;
constexpr int kConcurrentFrames = 48;  // then the key frame that starts the rest

struct StreamCase {
  int32_t width;
  int32_t height;
  bool withChroma;
  const char* routes;  // what the size exercises in the frame driver
};

const StreamCase kCases[] = {
    {100, 68, true, "luma through its own plane, chroma through the scratch planes"},
    {96, 64, true, "every plane straight into the output"},
    {72, 40, false, "luma only, straight into the output"},
};

// Coefficient codings alternate frame by frame, masks take whichever storage
// is smallest.
std::vector<std::vector<uint8_t>> EncodeStream(const StreamCase& c) {
  EncoderOptions options;
  options.fourcc = c.withChroma ? kFourccQzv2 : kFourccQzv3;
  options.quality = 50;
  options.keyInterval = kKeyInterval;
  FrameEncoder encoder(c.width, c.height, options);
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < kFrames; ++i) {
    encoder.SetCoder(i % 2 ? CoefficientCoding::kArithmetic : CoefficientCoding::kHuffman);
    frames.push_back(
        encoder.EncodeFrame(test::MakeTestPicture(c.width, c.height, c.withChroma, i)));
  }
  return frames;
}

class Output {
 public:
  explicit Output(const StreamCase& c) : stride_(c.width + 12) {
    const size_t luma = static_cast<size_t>(c.height) * stride_;
    bytes_.assign(c.withChroma ? luma + 2 * (luma / 16) : luma, 0);
  }
  uint8_t* data() { return bytes_.data(); }
  int32_t stride() const { return stride_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  int32_t stride_;
  std::vector<uint8_t> bytes_;
};

void Prepare(FrameDecoder& decoder, const StreamCase& c) {
  ASSERT_EQ(decoder.SetSize(c.width, c.height, c.withChroma), 0u);
  ASSERT_EQ(decoder.SetQuality(0.5), 0u);
}

// What the property page does, over and over until told to stop: Apply
// (quality, then both switches) and the refresh after each frame (quality
// and switches read back).
class PropertyPage {
 public:
  explicit PropertyPage(FrameDecoder& decoder) : decoder_(decoder) {}

  void Run(std::atomic<bool>& started, const std::atomic<bool>& stop) {
    static const double kQualities[] = {0.25, 0.5, 0.75, 0.29, 1.0, 0.0};
    for (uint32_t round = 0; !stop.load(std::memory_order_acquire) || round < 8; ++round) {
      const double quality = kQualities[round % 6];
      if (decoder_.SetQuality(quality) != 0) ++failures_;
      if (decoder_.SetQuality(round % 2 ? 1.5 : -0.25) != 87) ++failures_;
      const bool displayMask = round % 4 >= 2, denoise = round % 2 == 1;
      decoder_.SetDisplayMask(displayMask);
      decoder_.SetDenoise(denoise);
      qualitiesSeen_.insert(decoder_.QualityHundredths());
      // Only the page changes the switches, so they read back as it set them.
      if (decoder_.GetDenoise() != denoise || decoder_.GetDisplayMask() != displayMask) ++failures_;
      started.store(true, std::memory_order_release);
      ++rounds_;
    }
  }

  int Failures() const { return failures_; }
  const std::set<uint16_t>& QualitiesSeen() const { return qualitiesSeen_; }
  uint32_t Rounds() const { return rounds_; }

 private:
  FrameDecoder& decoder_;
  int failures_ = 0;
  std::set<uint16_t> qualitiesSeen_;
  uint32_t rounds_ = 0;
};

TEST(SettingsWhileDecoding, PropertyPageChangesTheSwitchesAndQualityBetweenFrames) {
  for (const StreamCase& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << ": " << c.routes);
    const std::vector<std::vector<uint8_t>> frames = EncodeStream(c);

    // Byte counts do not depend on the switches or on a quality set between
    // frames (each header brings its own), so a quiet decoder gives them.
    std::vector<int32_t> expected;
    {
      FrameDecoder quiet;
      Prepare(quiet, c);
      Output output(c);
      for (const auto& frame : frames) {
        expected.push_back(quiet.Decode(frame.data(), static_cast<uint32_t>(frame.size()),
                                        output.data(), output.stride()));
        ASSERT_NE(expected.back(), 0);
      }
    }

    FrameDecoder decoder;
    Prepare(decoder, c);
    Output output(c);
    PropertyPage page(decoder);
    std::atomic<bool> started{false}, stop{false};
    std::thread ui([&] { page.Run(started, stop); });
    while (!started.load(std::memory_order_acquire)) std::this_thread::yield();
    std::vector<int32_t> results;
    for (int i = 0; i < kConcurrentFrames; ++i) {
      results.push_back(decoder.Decode(frames[i].data(), static_cast<uint32_t>(frames[i].size()),
                                       output.data(), output.stride()));
    }
    stop.store(true, std::memory_order_release);
    ui.join();

    EXPECT_EQ(page.Failures(), 0)
        << "a quality in [0, 1] is accepted, one outside refused; switches read back as set";
    EXPECT_GE(page.Rounds(), 8u);
    EXPECT_EQ(results,
              std::vector<int32_t>(expected.begin(), expected.begin() + kConcurrentFrames));
    for (uint16_t seen : page.QualitiesSeen()) {
      EXPECT_TRUE(std::set<uint16_t>({25, 50, 75, 28, 100, 0}).count(seen))
          << "quality read back: " << seen;
    }

    // The page is done: from the next key frame on, the pictures are those of
    // a decoder that had these settings all along.
    for (const bool denoise : {true, false}) {
      decoder.SetDenoise(denoise);
      decoder.SetDisplayMask(!denoise);
      FrameDecoder reference;
      Prepare(reference, c);
      reference.SetDenoise(denoise);
      reference.SetDisplayMask(!denoise);
      Output referenceOutput(c);
      const int first = denoise ? kConcurrentFrames : kConcurrentFrames - kKeyInterval;
      for (int i = first; i < first + kKeyInterval; ++i) {
        SCOPED_TRACE(::testing::Message() << "frame " << i << (denoise ? " denoise" : " mask"));
        const auto& frame = frames[i];
        ASSERT_EQ(decoder.Decode(frame.data(), static_cast<uint32_t>(frame.size()), output.data(),
                                 output.stride()),
                  expected[i]);
        ASSERT_EQ(reference.Decode(frame.data(), static_cast<uint32_t>(frame.size()),
                                   referenceOutput.data(), referenceOutput.stride()),
                  expected[i]);
        ASSERT_EQ(output.bytes(), referenceOutput.bytes());
      }
    }
  }
}

}  // namespace
}  // namespace zdc
