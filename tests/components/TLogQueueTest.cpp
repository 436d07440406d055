#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/TLogQueue.h"

namespace {

TLogItem Item(uint32_t thread, const std::string &text) {
  TLogItem item;
  item.ThreadID = thread;
  item.SetText(text.data(), text.size(), 16);
  return item;
}

std::vector<std::string> Drain(TLogQueue &queue) {
  std::vector<std::string> texts;
  for (TLogItem item; queue.Pop(item);)
    texts.push_back(item.Text());
  return texts;
}

} // namespace

TEST(TLogQueue, AFullRingDropsTheOldestItems) {
  auto queue = std::make_unique<TLogQueue>();
  for (int i = 0; i < 300; ++i)
    queue->Push(Item(1, std::to_string(i)));
  EXPECT_EQ(queue->Count(), 255u);
  const std::vector<std::string> texts = Drain(*queue);
  ASSERT_EQ(texts.size(), 255u);
  EXPECT_EQ(texts.front(), "45");
  EXPECT_EQ(texts.back(), "299");
  EXPECT_EQ(queue->Count(), 0u);
}

TEST(TLogQueue, TakingByThreadKeepsTheOrderOfTheRest) {
  auto queue = std::make_unique<TLogQueue>();
  // Start near the end of the ring so the items wrap around.
  for (int i = 0; i < 250; ++i)
    queue->Push(Item(9, "old"));
  Drain(*queue);
  const std::vector<std::pair<uint32_t, std::string>> items = {
      {1, "a1"}, {2, "b1"}, {3, "c1"}, {2, "b2"}, {1, "a2"}, {4, "d1"}, {5, "e1"}, {6, "f1"}};
  for (const auto &[thread, text] : items)
    queue->Push(Item(thread, text));
  TLogItem taken;
  ASSERT_TRUE(queue->TakeByThread(2, taken));
  EXPECT_STREQ(taken.Text(), "b1");
  EXPECT_FALSE(queue->TakeByThread(7, taken));
  EXPECT_EQ(Drain(*queue), (std::vector<std::string>{"a1", "c1", "b2", "a2", "d1", "e1", "f1"}));
}

TEST(TLogQueue, LongTextsMoveToTheHeapWithTheirOwnCopies) {
  const std::string longText(3000, 'q');
  TLogItem item = Item(1, longText);
  EXPECT_NE(item.ExtraMsg, nullptr);
  EXPECT_EQ(item.ExtraSize % 16, 0u);
  EXPECT_GT(item.ExtraSize, longText.size() + 1);
  TLogItem copy = item.Clone();
  EXPECT_NE(copy.ExtraMsg.get(), item.ExtraMsg.get());
  EXPECT_EQ(std::string(copy.Text()), longText);
  auto queue = std::make_unique<TLogQueue>();
  queue->Push(std::move(item));
  queue->Clear();
  EXPECT_EQ(queue->Count(), 0u);
  EXPECT_EQ(std::string(copy.Text()), longText);
}
