// Steady-state stepping allocates nothing in our code: every operator new of the process is
// counted while frames are stepped and copied (the libraries' own malloc calls are not).
#include <atomic>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"

namespace {
std::atomic<bool> Counting{false};
std::atomic<int> Allocations{0};
} // namespace

// The replacement pair uses malloc/free on purpose; GCC cannot tell once they are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(std::size_t ASize) {
  if (Counting)
    ++Allocations;
  if (void *p = std::malloc(ASize ? ASize : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void *APointer) noexcept {
  std::free(APointer);
}
void operator delete(void *APointer, std::size_t) noexcept {
  std::free(APointer);
}

namespace {

class AllocationCounter {
public:
  AllocationCounter() {
    Allocations = 0;
    Counting = true;
  }
  ~AllocationCounter() { Counting = false; }
  int Count() const { return Allocations; }
};

TEST(DecoderSteadyState, SteppingFramesAndCopyingBitmapsAllocatesNothing) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  TBitmap bmp;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(dec.Decode());
    ASSERT_TRUE(dec.CopyToBitmap(bmp));
  }
  int steps = 0, allocations;
  {
    AllocationCounter counter;
    for (int i = 0; i < 20; ++i)
      steps += dec.Decode() && dec.CopyToBitmap(bmp);
    allocations = counter.Count();
  }
  EXPECT_EQ(steps, 20);
  EXPECT_EQ(allocations, 0);
}

TEST(DecoderSteadyState, DecodingAudioBlocksAllocatesNothing) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(dec.DecodeAudio());
  int blocks = 0, allocations;
  {
    AllocationCounter counter;
    for (int i = 0; i < 20; ++i)
      blocks += dec.DecodeAudio();
    allocations = counter.Count();
  }
  EXPECT_EQ(blocks, 20);
  EXPECT_EQ(allocations, 0);
}

} // namespace
