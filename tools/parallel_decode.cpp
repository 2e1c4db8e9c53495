#include "parallel_decode.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
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

// One run decoded ahead by a worker: its pictures wait in a bounded queue,
// or, while the writer waits for them, go over one at a time uncopied.
struct RunJob {
  DecodeRun run;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::vector<uint8_t>> pictures;
  bool writerWaiting = false;
  const uint8_t* handed = nullptr;  // the worker's own picture, until the writer is done with it
  std::unique_ptr<DecoderState> state;  // handed over when the run is done
  bool done = false;
  bool cancelled = false;
  std::exception_ptr error;
};

class ParallelDecoder {
 public:
  ParallelDecoder(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                  unsigned threads)
      : stream_(stream), plan_(plan), switches_(switches), reader_(*stream.reader), threads_(threads) {
    const size_t pictureBytes = DecoderOutputBytes(stream.width, stream.height, stream.withChroma);
    // A run's pictures wait whole while the runs before it are written, up to
    // about 64 MB in all.
    size_t longest = 0;
    for (const DecodeRun& run : plan.runs) longest = std::max(longest, run.end - run.begin);
    queueLimit_ = std::clamp<size_t>((size_t{64} << 20) / (pictureBytes * (threads + 1) + 1), 2, std::max<size_t>(longest, 2));
    for (const DecodeRun& run : plan.runs) {
      jobs_.emplace_back(new RunJob);
      jobs_.back()->run = run;
    }
  }

  void Run(const PictureConsumer& consume) {
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < threads_; ++i) workers.emplace_back([this, i] { Work(i); });
    try {
      Consume(consume);
    } catch (...) {
      Stop();
      for (std::thread& worker : workers) worker.join();
      throw;
    }
    Stop();
    for (std::thread& worker : workers) worker.join();
  }

 private:
  int32_t Stride() const { return stream_.width; }

  // Worker `first` takes the runs first, first + threads, ...; the calling
  // thread takes runs 0, threads, ... itself.
  void Work(size_t first) {
    for (size_t index = first; index < jobs_.size(); index += threads_) {
      {
        // Once the writer has taken this worker's previous run, whose
        // decoder this run may then reuse.
        std::unique_lock<std::mutex> hold(windowLock_);
        windowChanged_.wait(hold, [&] { return stopping_ || index < consumed_ + threads_; });
        if (stopping_) return;
      }
      RunJob& job = *jobs_[index];
      try {
        DecodeJob(job);
      } catch (...) {
        std::lock_guard<std::mutex> hold(job.lock);
        job.error = std::current_exception();
      }
      std::lock_guard<std::mutex> hold(job.lock);
      job.done = true;
      job.changed.notify_all();
    }
  }

  void DecodeJob(RunJob& job) {
    {
      std::lock_guard<std::mutex> hold(job.lock);
      if (job.cancelled) return;
    }
    // A run may take a decoder that an earlier run left behind: its key frame
    // sets every block anew, and the check of its first picture stands
    // behind that.
    std::unique_ptr<DecoderState> state = SpareState();
    if (state) {
      if (state->decoder.SetQuality(job.run.quality) != 0) throw UsageError("quality must lie in [0, 1]");
    } else {
      state = NewState(stream_, job.run.quality, switches_);
    }
    for (size_t frame = job.run.begin; frame < job.run.end; ++frame) {
      DecodeFrame(*state, reader_, frame, Stride());
      std::unique_lock<std::mutex> hold(job.lock);
      job.changed.wait(hold, [&] { return job.cancelled || job.pictures.size() < queueLimit_; });
      if (job.cancelled) return;
      if (job.writerWaiting && job.pictures.empty()) {
        job.handed = state->picture.data();
        job.changed.notify_all();
        job.changed.wait(hold, [&] { return job.cancelled || job.handed == nullptr; });
        if (job.cancelled) return;
        continue;
      }
      job.pictures.push_back(SparePicture());
      std::memcpy(job.pictures.back().data(), state->picture.data(), state->picture.size());
      job.changed.notify_all();
    }
    std::lock_guard<std::mutex> hold(job.lock);
    job.state = std::move(state);
  }

  // A picture buffer from those the writer is done with, or a new one.
  std::vector<uint8_t> SparePicture() {
    {
      std::lock_guard<std::mutex> hold(spareLock_);
      if (!spare_.empty()) {
        std::vector<uint8_t> picture = std::move(spare_.back());
        spare_.pop_back();
        return picture;
      }
    }
    return std::vector<uint8_t>(DecoderOutputBytes(stream_.width, stream_.height, stream_.withChroma));
  }

  void Recycle(std::vector<uint8_t>* picture) {
    std::lock_guard<std::mutex> hold(spareLock_);
    spare_.push_back(std::move(*picture));  // no more than the queues ever held
  }

  std::unique_ptr<DecoderState> SpareState() {
    std::lock_guard<std::mutex> hold(spareLock_);
    std::unique_ptr<DecoderState> state = std::move(spareState_);
    return state;
  }

  // The next picture of `job`, or null when the run has ended (or its
  // worker failed). A queued picture moves into `held`; a handed one stays
  // the worker's until Release.
  const uint8_t* Next(RunJob& job, std::vector<uint8_t>* held) {
    std::unique_lock<std::mutex> hold(job.lock);
    job.writerWaiting = true;
    job.changed.wait(hold, [&] { return job.done || !job.pictures.empty() || job.handed; });
    job.writerWaiting = false;
    if (job.pictures.empty()) return job.handed;
    if (!held->empty()) Recycle(held);
    *held = std::move(job.pictures.front());
    job.pictures.pop_front();
    job.changed.notify_all();
    return held->data();
  }

  // Lets the worker go on after the picture Next returned. After a queued
  // picture this changes nothing: a worker hands over only to a writer that
  // waits in Next.
  void Release(RunJob& job) {
    std::lock_guard<std::mutex> hold(job.lock);
    job.handed = nullptr;
    job.changed.notify_all();
  }

  // The worker stops at its next picture (or lets go of the one it handed
  // over); nothing of the run is used.
  void Cancel(RunJob& job) {
    std::lock_guard<std::mutex> hold(job.lock);
    job.cancelled = true;
    job.pictures.clear();
    job.changed.notify_all();
  }

  void Consume(const PictureConsumer& consume) {
    // The state of a single decoder after the last frame written.
    std::unique_ptr<DecoderState> state;
    std::vector<uint8_t> picture;
    auto deliver = [&](size_t frame, const uint8_t* data) {
      if (frame >= plan_.firstOutput) consume(frame, data);
    };
    for (size_t index = 0; index < jobs_.size(); ++index) {
      RunJob& job = *jobs_[index];
      size_t frame = job.run.begin;
      if (index % threads_ == 0) {
        // One of this thread's own runs: the single decoder goes on.
        if (!state) state = NewState(stream_, job.run.quality, switches_);
        for (; frame < job.run.end; ++frame) {
          DecodeFrame(*state, reader_, frame, Stride());
          deliver(frame, state->picture.data());
        }
        Consumed();
        continue;
      }
      // A worker's run: its key frame through the decoder that went through
      // everything before it, against the worker's picture.
      DecodeFrame(*state, reader_, frame, Stride());
      const uint8_t* first = Next(job, &picture);
      const bool accepted = first && std::memcmp(first, state->picture.data(), state->picture.size()) == 0;
      if (accepted) {
        Release(job);
      } else {
        Cancel(job);
      }
      deliver(frame++, state->picture.data());
      if (accepted) {
        while (const uint8_t* next = Next(job, &picture)) {
          deliver(frame++, next);
          Release(job);
        }
        std::unique_ptr<DecoderState> next;
        {
          // A worker that failed after its first picture met an unreadable
          // frame, which this thread would have met too.
          std::lock_guard<std::mutex> hold(job.lock);
          if (job.error) std::rethrow_exception(job.error);
          next = std::move(job.state);
        }
        std::lock_guard<std::mutex> hold(spareLock_);
        if (!spareState_) spareState_ = std::move(state);
        state = std::move(next);
      } else {
        for (; frame < job.run.end; ++frame) {
          DecodeFrame(*state, reader_, frame, Stride());
          deliver(frame, state->picture.data());
        }
      }
      Consumed();
    }
  }

  void Consumed() {
    std::lock_guard<std::mutex> hold(windowLock_);
    ++consumed_;
    windowChanged_.notify_all();
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
      job->changed.notify_all();
    }
  }

  CompressedStream& stream_;
  const RunPlan& plan_;
  DecoderSwitches switches_;
  SharedReader reader_;
  unsigned threads_;
  size_t queueLimit_ = 2;
  std::vector<std::unique_ptr<RunJob>> jobs_;
  std::mutex spareLock_;
  std::vector<std::vector<uint8_t>> spare_;
  std::unique_ptr<DecoderState> spareState_;
  std::mutex windowLock_;
  std::condition_variable windowChanged_;
  size_t consumed_ = 0;
  bool stopping_ = false;
};

}  // namespace

void DecodeInParallel(CompressedStream& stream, const RunPlan& plan, DecoderSwitches switches,
                      unsigned threads, const PictureConsumer& consume) {
  if (threads <= 1 || plan.runs.size() <= 1) {
    // One decoder, the way the filter streams.
    SharedReader reader(*stream.reader);
    if (plan.runs.empty()) return;
    std::unique_ptr<DecoderState> state = NewState(stream, plan.runs.front().quality, switches);
    for (size_t frame = plan.runs.front().begin; frame < plan.runs.back().end; ++frame) {
      DecodeFrame(*state, reader, frame, stream.width);
      if (frame >= plan.firstOutput) consume(frame, state->picture.data());
    }
    return;
  }
  ParallelDecoder(stream, plan, switches, threads).Run(consume);
}

}  // namespace zdc
