// Runs the reconstruction kernel one block behind the entropy decoder.
//
// The entropy decoders write a block's coefficients one 16-bit store at a
// time, and the SIMD kernels read them back with 128- or 256-bit loads. A
// wide load right after narrow stores to the same bytes cannot take its data
// from the store buffer and waits until the stores have reached the cache. So
// the blocks are decoded into two scratch blocks in turn, and each one is
// reconstructed after the next one has been decoded, by when its stores are
// long done.
//
// The picture comes out as if every block were reconstructed at once: the
// decoders never read pixels or the coefficient store, a block that fails to
// decode is never queued, and the block before a failure, before the end of
// the loop, or before a read past the sample (see Run) is still
// reconstructed.
#pragma once

#include <cstdint>

#include "block_kernels.h"
#include "sample_view.h"

namespace zdc {

class DeferredReconstruction {
 public:
  // `scratch`: two 16-byte aligned coefficient blocks, one after the other.
  DeferredReconstruction(ReconstructBlockFn reconstruct, int16_t* scratch,
                         const uint16_t* dequant, int32_t pitch)
      : reconstruct_(reconstruct), scratch_(scratch), dequant_(dequant), pitch_(pitch) {}

  // Where the entropy decoder puts the next block.
  int16_t* NextBlock() const { return scratch_ + 64 * next_; }

  // The block just decoded into NextBlock() goes to these pixels and this
  // coefficient store slot; the one queued before it is reconstructed now.
  void Queue(uint8_t* destination, int16_t* slot) {
    Flush();
    pendingDestination_ = destination;
    pendingSlot_ = slot;
    next_ ^= 1;
  }

  // Reconstructs the queued block, if any.
  void Flush() {
    if (pendingDestination_ == nullptr) return;
    reconstruct_(scratch_ + 64 * (next_ ^ 1), pendingDestination_, pitch_, pendingSlot_, dequant_);
    pendingDestination_ = nullptr;
  }

  // Runs `loop` (which queues blocks) and flushes after it, also when it ends
  // in a read past the sample, which then goes on to the frame driver.
  template <class Loop>
  void Run(Loop&& loop) {
    try {
      loop();
    } catch (const SampleOverrun&) {
      Flush();
      throw;
    }
    Flush();
  }

 private:
  ReconstructBlockFn reconstruct_;
  int16_t* scratch_;
  const uint16_t* dequant_;
  int32_t pitch_;
  int next_ = 0;
  uint8_t* pendingDestination_ = nullptr;
  int16_t* pendingSlot_ = nullptr;
};

}  // namespace zdc
