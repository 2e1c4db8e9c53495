#include "parallel_decode.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "command_line.h"
#include "yvu9_picture.h"

namespace zdc {

namespace {

// A decoder with its persistent output picture: together they are all the
// state a frame's decode depends on.
struct DecoderState {
  FrameDecoder decoder;
  std::vector<uint8_t> picture;
};

class SharedReader {
 public:
  explicit SharedReader(AviReader& reader) : reader_(reader) {}
  std::vector<uint8_t> Read(size_t frame) {
    std::lock_guard<std::mutex> hold(lock_);
    return reader_.ReadFrame(frame);
  }

 private:
  AviReader& reader_;
  std::mutex lock_;
};

std::unique_ptr<DecoderState> NewState(const CompressedStream& stream, double quality,
                                       DecoderSwitches switches) {
  std::unique_ptr<DecoderState> state(new DecoderState);
  PrepareDecoder(state->decoder, stream, quality);
  state->decoder.SetDenoise(switches.denoise);
  state->decoder.SetDisplayMask(switches.displayMask);
  state->picture.assign(DecoderOutputBytes(stream.width, stream.height, stream.withChroma), 0);
  return state;
}

void DecodeFrame(DecoderState& state, SharedReader& reader, size_t frame, int32_t stride) {
  // A buffer of exactly the frame's length, so that a sanitizer sees any
  // read past the sample.
  const std::vector<uint8_t> data = reader.Read(frame);
  state.decoder.Decode(data.data(), static_cast<uint32_t>(data.size()), state.picture.data(), stride);
}

// One decoder through the plan, the way the filter streams; the reference
// every parallel decode must equal. Pictures before `firstWritten` (and
// before the plan's first output) are decoded but not handed on.
void DecodeInOrder(CompressedStream& stream, SharedReader& reader, const RunPlan& plan,
                   DecoderSwitches switches, size_t firstWritten, const PicturePreparer& prepare,
                   const PreparedConsumer& consume) {
  std::unique_ptr<DecoderState> state = NewState(stream, plan.runs.front().quality, switches);
  firstWritten = std::max(firstWritten, plan.firstOutput);
  std::vector<uint8_t> bytes;
  for (size_t frame = plan.runs.front().begin; frame < plan.runs.back().end; ++frame) {
    DecodeFrame(*state, reader, frame, stream.width);
    if (frame < firstWritten) continue;
    prepare(state->picture.data(), &bytes);
    consume(frame, bytes);
  }
}

// What was prepared of a picture decoded ahead (nothing before the plan's
// first output), and whether the picture is the one a single decoder makes.
struct DecodedPicture {
  std::vector<uint8_t> bytes;
  bool followsFromKeyFrame = false;
};

// One run decoded ahead by a worker: its pictures wait in a bounded queue
// until the writer takes them.
struct RunJob {
  DecodeRun run;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<DecodedPicture> pictures;
  // Who waits: the writer for this many pictures, the worker for room. Each
  // side wakes the other only then, so that the writer takes the pictures in
  // batches rather than one wake-up each.
  size_t writerWants = 0;
  bool workerWaits = false;
  bool done = false;
  bool cancelled = false;
  std::exception_ptr error;
};

// `threads` workers take the runs in order, each with a decoder of its own
// that it keeps from run to run, and queue what they prepared of each
// picture; the calling thread only writes, in frame order (a slow output then
// shares the cores with the decoders rather than holding one of them). The
// first run's pictures are taken as they are (a new decoder starts it, as a
// single decoder would); a later run's picture is taken when its decoder says
// it follows from the run's key frame alone. Anything else (a damaged key
// frame, a mask that leaves bytes of earlier frames in use) hands the rest of
// the clip to one decoder that goes through it from the start.
class ParallelDecoder {
 public:
  ParallelDecoder(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                  unsigned threads, const PicturePreparer& prepare)
      : stream_(stream), plan_(plan), switches_(switches), reader_(*stream.reader), threads_(threads),
        prepare_(prepare),
        window_(threads + 1) {
    // The runs between the writer and the workers hold at most about 64 MB
    // of pictures in all (prepared output is about as large as a picture).
    const size_t pictureBytes = DecoderOutputBytes(stream.width, stream.height, stream.withChroma);
    size_t longest = 0;
    for (const DecodeRun& run : plan.runs) longest = std::max(longest, run.end - run.begin);
    queueLimit_ = std::clamp<size_t>((size_t{64} << 20) / (pictureBytes * window_ + 1), 2,
                                     std::max<size_t>(longest, 2));
    for (const DecodeRun& run : plan.runs) {
      jobs_.emplace_back(new RunJob);
      jobs_.back()->run = run;
    }
  }

  void Run(const PreparedConsumer& consume) {
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads_; ++i) workers.emplace_back([this] { Work(); });
    try {
      Write(consume);
    } catch (...) {
      Stop();
      for (std::thread& worker : workers) worker.join();
      throw;
    }
    Stop();
    for (std::thread& worker : workers) worker.join();
  }

 private:
  // Takes the next run no one has taken, once the writer is fewer than
  // `window_` runs behind it.
  void Work() {
    std::unique_ptr<DecoderState> state;
    for (;;) {
      size_t index;
      {
        std::unique_lock<std::mutex> hold(windowLock_);
        windowChanged_.wait(hold, [&] {
          return stopping_ || nextRun_ == jobs_.size() || nextRun_ < written_ + window_;
        });
        if (stopping_ || nextRun_ == jobs_.size()) return;
        index = nextRun_++;
      }
      RunJob& job = *jobs_[index];
      try {
        DecodeJob(job, state);
      } catch (...) {
        std::lock_guard<std::mutex> hold(job.lock);
        job.error = std::current_exception();
      }
      std::lock_guard<std::mutex> hold(job.lock);
      job.done = true;
      job.changed.notify_all();
    }
  }

  // The run's pictures, by a new decoder or by the one of the worker's
  // previous run set to the quality a single decoder would hold here.
  void DecodeJob(RunJob& job, std::unique_ptr<DecoderState>& state) {
    if (!state) {
      state = NewState(stream_, job.run.quality, switches_);
    } else if (state->decoder.SetQuality(job.run.quality) != 0) {
      throw UsageError("quality must lie in [0, 1]");
    }
    for (size_t frame = job.run.begin; frame < job.run.end; ++frame) {
      DecodeFrame(*state, reader_, frame, stream_.width);
      {
        std::unique_lock<std::mutex> hold(job.lock);
        job.workerWaits = true;
        job.changed.wait(hold, [&] { return job.cancelled || job.pictures.size() < queueLimit_; });
        job.workerWaits = false;
        if (job.cancelled) return;
      }
      // Only this worker adds to the queue, so the room stays.
      DecodedPicture picture{SpareBytes(), state->decoder.PictureFollowsFromKeyFrame()};
      if (frame >= plan_.firstOutput) prepare_(state->picture.data(), &picture.bytes);
      std::lock_guard<std::mutex> hold(job.lock);
      job.pictures.push_back(std::move(picture));
      if (job.writerWants != 0 && job.pictures.size() >= job.writerWants) job.changed.notify_all();
    }
  }

  void Write(const PreparedConsumer& consume) {
    for (size_t index = 0; index < jobs_.size(); ++index) {
      RunJob& job = *jobs_[index];
      for (size_t frame = job.run.begin; frame < job.run.end; ++frame) {
        DecodedPicture picture = Next(job, job.run.end - frame);
        if (index > 0 && !picture.followsFromKeyFrame) {
          Stop();
          DecodeInOrder(stream_, reader_, plan_, switches_, frame, prepare_, consume);
          return;
        }
        if (frame >= plan_.firstOutput) consume(frame, picture.bytes);
        Recycle(std::move(picture.bytes));
      }
      std::lock_guard<std::mutex> hold(windowLock_);
      ++written_;
      windowChanged_.notify_all();
    }
  }

  // The run's next picture, of `left` still to come; a worker that failed
  // before it (on a frame it could not read, which one decoder would have met
  // too) throws here.
  DecodedPicture Next(RunJob& job, size_t left) {
    std::unique_lock<std::mutex> hold(job.lock);
    if (job.pictures.empty()) {
      job.writerWants = std::min(left, std::max<size_t>(queueLimit_ / 2, 1));
      job.changed.wait(hold, [&] { return job.done || job.pictures.size() >= job.writerWants; });
      job.writerWants = 0;
    }
    if (job.pictures.empty()) {
      if (job.error) std::rethrow_exception(job.error);
      throw std::logic_error("a run ended before its last frame");
    }
    DecodedPicture picture = std::move(job.pictures.front());
    job.pictures.pop_front();
    if (job.workerWaits) job.changed.notify_all();
    return picture;
  }

  // A buffer the writer is done with (of the right capacity already), or a
  // new one.
  std::vector<uint8_t> SpareBytes() {
    std::lock_guard<std::mutex> hold(spareLock_);
    if (spare_.empty()) return {};
    std::vector<uint8_t> bytes = std::move(spare_.back());
    spare_.pop_back();
    return bytes;
  }

  void Recycle(std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> hold(spareLock_);
    spare_.push_back(std::move(bytes));  // no more than the queues ever held
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> hold(windowLock_);
      stopping_ = true;
      windowChanged_.notify_all();
    }
    for (auto& job : jobs_) {
      std::lock_guard<std::mutex> hold(job->lock);
      job->cancelled = true;
      job->pictures.clear();
      job->changed.notify_all();
    }
  }

  CompressedStream& stream_;
  const RunPlan& plan_;
  DecoderSwitches switches_;
  SharedReader reader_;
  unsigned threads_;
  const PicturePreparer& prepare_;
  size_t window_;
  size_t queueLimit_ = 2;
  std::vector<std::unique_ptr<RunJob>> jobs_;
  std::mutex spareLock_;
  std::vector<std::vector<uint8_t>> spare_;
  std::mutex windowLock_;
  std::condition_variable windowChanged_;
  size_t nextRun_ = 0;  // runs before it are taken
  size_t written_ = 0;
  bool stopping_ = false;
};

}  // namespace

void DecodeInParallel(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                      unsigned threads, const PicturePreparer& prepare, const PreparedConsumer& consume) {
  if (plan.runs.empty()) return;
  if (threads <= 1 || plan.runs.size() <= 1) {
    SharedReader reader(*stream.reader);
    DecodeInOrder(stream, reader, plan, switches, 0, prepare, consume);
    return;
  }
  ParallelDecoder(stream, plan, switches, threads, prepare).Run(consume);
}

}  // namespace zdc
