// The outgoing queue: offset order, compaction before growth, resizing in
// whole pages of entries.
#include <gtest/gtest.h>

#include <vector>

#include "IMidiQueue.h"

namespace {
std::vector<int> drain(IMidiQueue& queue) {
  std::vector<int> data;
  auto lock = queue.Lock();
  while (!queue.EmptyLocked()) {
    data.push_back(queue.PeekLocked().mData1);
    queue.RemoveLocked();
  }
  return data;
}

void add(IMidiQueue& queue, int offset, int tag) {
  IMidiMsg msg(offset, 0x90, static_cast<uint8_t>(tag), 1);
  queue.Add(&msg);
}

TEST(MidiQueue, KeepsOffsetOrderAndArrivalOrderWithinAnOffset) {
  IMidiQueue queue(8, 8);
  add(queue, 10, 1);
  add(queue, 5, 2);
  add(queue, 5, 3);
  add(queue, 0, 4);
  add(queue, 10, 5);
  EXPECT_EQ(drain(queue), (std::vector<int>{4, 2, 3, 1, 5}));
}

TEST(MidiQueue, CompactsBeforeGrowingAndDropsWithoutGrowth) {
  IMidiQueue queue(2, 0);
  add(queue, 0, 1);
  add(queue, 1, 2);
  add(queue, 2, 3);  // full, front 0, no growth: dropped
  EXPECT_EQ(queue.ToDo(), 2);
  {
    auto lock = queue.Lock();
    queue.RemoveLocked();
  }
  add(queue, 3, 4);  // full with front 1: compacted
  EXPECT_EQ(queue.GetSize(), 2);
  EXPECT_EQ(drain(queue), (std::vector<int>{2, 4}));

  IMidiQueue growing(2, 3);
  for (int i = 0; i < 4; ++i) add(growing, i, i);
  EXPECT_EQ(growing.GetSize(), 6);
}

TEST(MidiQueue, FlushMovesTheTimeBaseAndResizeKeepsEntries) {
  IMidiQueue queue(1024, 1024);
  add(queue, 70, 1);
  add(queue, 10, 2);
  {
    auto lock = queue.Lock();
    queue.RemoveLocked();
  }
  queue.Flush(64);
  {
    auto lock = queue.Lock();
    ASSERT_FALSE(queue.EmptyLocked());
    EXPECT_EQ(queue.PeekLocked().mOffset, 6);
  }
  add(queue, 1, 3);
  add(queue, 2, 4);
  queue.Resize(100);
  EXPECT_EQ(queue.GetSize(), 512);
  EXPECT_EQ(queue.ToDo(), 3);
  queue.Resize(1000);
  EXPECT_EQ(queue.GetSize(), 1024);
  EXPECT_EQ(drain(queue), (std::vector<int>{3, 4, 1}));
}
}  // namespace
