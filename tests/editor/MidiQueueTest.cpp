// The outgoing queue: offset order, what finds no room kept for the next
// drain, resizing in whole pages of entries.
#include <gtest/gtest.h>

#include <vector>

#include "IMidiQueue.h"
#include "RealtimeScope.h"

namespace {
std::vector<int> drain(IMidiQueue& queue) {
  std::vector<int> data;
  for (queue.Take(); !queue.Empty(); queue.Take()) {
    data.push_back(queue.Peek().mData1);
    queue.Remove();
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

// The host's real-time calls add without the lock other threads take
// turns at: both fill the one offset order.
TEST(MidiQueue, TheHostsRealTimeCallsAndOtherThreadsFillOneOffsetOrder) {
  IMidiQueue queue(8, 8);
  add(queue, 10, 1);
  {
    const RealtimeScope realtime;
    add(queue, 5, 2);
    add(queue, 12, 3);
  }
  add(queue, 0, 4);
  EXPECT_EQ(queue.ToDo(), 4);
  EXPECT_EQ(drain(queue), (std::vector<int>{4, 2, 1, 3}));
}

// The drain never allocates: a full queue compacts, and what still finds no
// room waits where it was added for the next drain, never lost.
TEST(MidiQueue, CompactsWhenFullAndKeepsWhatFindsNoRoomForTheNextDrain) {
  IMidiQueue queue(2, 0);
  add(queue, 0, 1);
  add(queue, 1, 2);
  add(queue, 2, 3);  // full, front 0: waits
  queue.Take();
  EXPECT_EQ(queue.ToDo(), 3);
  EXPECT_EQ(queue.GetSize(), 2);
  queue.Remove();
  queue.Take();  // full with front 1: compacted, the third taken
  add(queue, 3, 4);
  EXPECT_EQ(queue.GetSize(), 2);
  EXPECT_EQ(drain(queue), (std::vector<int>{2, 3, 4}));
}

TEST(MidiQueue, FlushMovesTheTimeBaseAndResizeKeepsEntries) {
  IMidiQueue queue(1024, 1024);
  add(queue, 70, 1);
  add(queue, 10, 2);
  queue.Take();
  queue.Remove();
  queue.Flush(64);
  ASSERT_FALSE(queue.Empty());
  EXPECT_EQ(queue.Peek().mOffset, 6);
  add(queue, 1, 3);
  add(queue, 2, 4);
  queue.Take();
  queue.Resize(100);
  EXPECT_EQ(queue.GetSize(), 512);
  EXPECT_EQ(queue.ToDo(), 3);
  queue.Resize(1000);
  EXPECT_EQ(queue.GetSize(), 1024);
  EXPECT_EQ(drain(queue), (std::vector<int>{3, 4, 1}));
}
}  // namespace
