// The ring buffer: the one free byte, rounded capacities, growth that keeps the byte order,
// the waits and their refusals, end of writing, terminate, discard, and a producer and a
// consumer on two threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "media/TCircularBuffer.h"

namespace {

// Bytes i, i+1, ... of a sequence that never repeats within 251 bytes.
std::vector<uint8_t> Sequence(int64_t AStart, int ACount) {
  std::vector<uint8_t> bytes(static_cast<size_t>(ACount));
  for (int i = 0; i < ACount; ++i)
    bytes[size_t(i)] = uint8_t((AStart + i) % 251);
  return bytes;
}

std::vector<uint8_t> ReadAll(TCircularBuffer &ABuffer) {
  std::vector<uint8_t> bytes(size_t(ABuffer.DataSize()));
  EXPECT_EQ(ABuffer.Read(bytes.data(), int(bytes.size())), int(bytes.size()));
  return bytes;
}

// Neither waits nor grows: a full buffer refuses at once.
void MakeStrict(TCircularBuffer &ABuffer) {
  ABuffer.SetAutoGrow(false);
  ABuffer.SetWaitForSpace(false);
  ABuffer.SetWaitForData(false);
}

TEST(TCircularBuffer, CapacityIsRoundedUpToWholeUnits) {
  const struct {
    int Requested, Capacity;
  } cases[] = {{0, 0}, {1, 8192}, {8192, 8192}, {8193, 16384}, {1048576, 1048576}};
  for (const auto &c : cases) {
    TCircularBuffer buffer(c.Requested);
    EXPECT_EQ(buffer.Capacity(), c.Capacity) << c.Requested;
  }
  EXPECT_EQ(TCircularBuffer().Capacity(), 1048576);
}

TEST(TCircularBuffer, OneByteAlwaysStaysFree) {
  TCircularBuffer buffer(8192);
  MakeStrict(buffer);
  const std::vector<uint8_t> bytes = Sequence(0, 8192);
  EXPECT_EQ(buffer.Write(bytes.data(), 8191), 8191);
  EXPECT_EQ(buffer.Write(bytes.data(), 1), 0);
  EXPECT_EQ(buffer.DataSize(), 8191);
  EXPECT_EQ(buffer.Capacity(), 8192);
}

TEST(TCircularBuffer, WritingTwiceTheCapacityGrowsInsteadOfWaiting) {
  TCircularBuffer buffer;
  const std::vector<uint8_t> bytes = Sequence(0, 2 * 1048576);
  EXPECT_EQ(buffer.Write(bytes.data(), int(bytes.size())), int(bytes.size()));
  EXPECT_GT(buffer.Capacity(), 2 * 1048576);
  EXPECT_EQ(buffer.Capacity() % 8192, 0);
  EXPECT_EQ(ReadAll(buffer), bytes);
}

TEST(TCircularBuffer, GrowingAWrappedBufferKeepsTheBytesInOrder) {
  TCircularBuffer buffer(8192);
  const std::vector<uint8_t> first = Sequence(0, 6000);
  ASSERT_EQ(buffer.Write(first.data(), 6000), 6000);
  std::vector<uint8_t> head(5000);
  ASSERT_EQ(buffer.Read(head.data(), 5000), 5000);
  const std::vector<uint8_t> more = Sequence(6000, 14000); // wraps, then grows
  ASSERT_EQ(buffer.Write(more.data(), 14000), 14000);
  EXPECT_GT(buffer.Capacity(), 8192);
  EXPECT_EQ(ReadAll(buffer), Sequence(5000, 15000));
  EXPECT_EQ(buffer.WriteCount(), 20000);
  EXPECT_EQ(buffer.ReadCount(), 20000);
}

TEST(TCircularBuffer, AWriteOfAtLeastTheCapacityGrowsEvenWithoutAutoGrow) {
  TCircularBuffer buffer(8192);
  MakeStrict(buffer);
  const std::vector<uint8_t> bytes = Sequence(0, 8192);
  EXPECT_EQ(buffer.Write(bytes.data(), 8192), 8192);
  EXPECT_EQ(ReadAll(buffer), bytes);
}

TEST(TCircularBuffer, AutoGrowStopsAtItsMaximum) {
  TCircularBuffer buffer(8192);
  buffer.SetAutoGrowMax(16384);
  buffer.SetWaitForSpace(false);
  const std::vector<uint8_t> bytes = Sequence(0, 8000);
  EXPECT_EQ(buffer.Write(bytes.data(), 8000), 8000);
  EXPECT_EQ(buffer.Write(bytes.data(), 8000), 8000); // grows to 16384
  EXPECT_EQ(buffer.Capacity(), 16384);
  EXPECT_EQ(buffer.Write(bytes.data(), 8000), 0); // at the maximum: no space, no wait
}

TEST(TCircularBuffer, ReadAfterEndOfWritingDeliversTheRestThenMinusOne) {
  TCircularBuffer buffer(8192);
  uint8_t byte = 7, out[4] = {};
  EXPECT_EQ(buffer.Write(&byte, 1), 1);
  buffer.EndWriting();
  EXPECT_EQ(buffer.Read(out, 4), 1);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(buffer.Read(out, 4), -1); // at once, not waiting
  buffer.Reset();
  buffer.SetWaitForData(false);
  EXPECT_EQ(buffer.Read(out, 4), 0); // end of writing cleared
}

TEST(TCircularBuffer, DiscardDropsAtMostWhatIsHeld) {
  TCircularBuffer buffer(8192);
  const std::vector<uint8_t> bytes = Sequence(0, 100);
  buffer.Write(bytes.data(), 100);
  EXPECT_EQ(buffer.Discard(30), 30);
  EXPECT_EQ(buffer.DataSize(), 70);
  std::vector<uint8_t> rest(70);
  buffer.Read(rest.data(), 70);
  EXPECT_EQ(rest, Sequence(30, 70));
  buffer.Write(bytes.data(), 10);
  EXPECT_EQ(buffer.Discard(1000), 10);
  EXPECT_EQ(buffer.DataSize(), 0);
}

TEST(TCircularBuffer, TerminateWakesAWaitingReaderAndWriterAndRefusesUntilReset) {
  TCircularBuffer buffer(8192);
  buffer.SetAutoGrow(false);
  std::vector<uint8_t> bytes = Sequence(0, 8191);
  ASSERT_EQ(buffer.Write(bytes.data(), 8191), 8191);
  auto writer = std::async(std::launch::async, [&] { return buffer.Write(bytes.data(), 10); });
  TCircularBuffer empty(8192);
  auto reader = std::async(std::launch::async, [&] { return empty.Read(bytes.data(), 10); });
  EXPECT_EQ(writer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  buffer.Terminate();
  empty.Terminate();
  EXPECT_EQ(writer.get(), -1);
  EXPECT_EQ(reader.get(), -1);
  EXPECT_EQ(buffer.Read(bytes.data(), 10), -1);
  EXPECT_EQ(buffer.Discard(10), -1);
  buffer.Reset();
  EXPECT_EQ(buffer.Write(bytes.data(), 10), 10);
}

// Destruction terminates and returns only once the waiting reader has left the buffer.
TEST(TCircularBuffer, DestroyedWhileAReaderWaitsLetsItLeaveFirst) {
  auto buffer = std::make_unique<TCircularBuffer>(8192);
  uint8_t byte = 0;
  auto reader = std::async(std::launch::async, [&, b = buffer.get()] { return b->Read(&byte, 1); });
  EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  buffer.reset();
  EXPECT_EQ(reader.get(), -1);
}

TEST(TCircularBuffer, FreeBufferReleasesTheAreaUntilInitialisedAgain) {
  TCircularBuffer buffer(8192);
  uint8_t byte = 1;
  buffer.FreeBuffer();
  EXPECT_EQ(buffer.Capacity(), 0);
  EXPECT_EQ(buffer.Write(&byte, 1), -1);
  buffer.InitBuffer(100);
  buffer.Reset();
  EXPECT_EQ(buffer.Capacity(), 8192);
  EXPECT_EQ(buffer.Write(&byte, 1), 1);
}

// A writer faster than the reader fills the small buffer and waits for space; every byte
// arrives once and in order; the end of writing ends the reader.
TEST(TCircularBuffer, ProducerAndConsumerOnTwoThreads) {
  constexpr int Total = 3 * 1048576;
  TCircularBuffer buffer(8192);
  buffer.SetAutoGrow(false);
  std::thread producer([&] {
    std::mt19937 random(1);
    for (int written = 0; written < Total;) {
      const int count = std::min(int(random() % 5000) + 1, Total - written);
      const std::vector<uint8_t> bytes = Sequence(written, count);
      ASSERT_EQ(buffer.Write(bytes.data(), count), count);
      written += count;
    }
    buffer.EndWriting();
  });
  std::mt19937 random(2);
  int64_t received = 0;
  bool inOrder = true;
  std::vector<uint8_t> chunk(6000);
  for (;;) {
    const int count = buffer.Read(chunk.data(), int(random() % 6000) + 1);
    if (count < 0)
      break;
    chunk.resize(size_t(count));
    inOrder = inOrder && chunk == Sequence(received, count);
    chunk.resize(6000);
    received += count;
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(received, Total);
  EXPECT_EQ(buffer.Capacity(), 8192);
  EXPECT_EQ(buffer.WriteCount(), Total);
  EXPECT_EQ(buffer.ReadCount(), Total);
}

} // namespace
