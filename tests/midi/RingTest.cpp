// The queues between a real-time thread and another: messages come out
// whole and in order across the ring's end, a full ring refuses without
// losing what it holds, and both ends run at once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ByteRing.h"
#include "SpscQueue.h"

namespace {
using Message = std::vector<unsigned char>;

Message take(ByteRing& ring) {
  size_t size = 0;
  if (!ring.peek(&size)) return {};
  Message message(size);
  ring.copyFront(message.data(), size);
  ring.pop();
  return message;
}

TEST(ByteRing, MessagesComeOutWholeAcrossTheEndAndAFullRingRefuses) {
  ByteRing ring(32);  // a 10-byte message takes 14 bytes with its length
  const Message a = {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7}, b = {0x90, 60, 100}, c(10, 0x55);
  ASSERT_TRUE(ring.push(a.data(), a.size()));
  ASSERT_TRUE(ring.push(a.data(), a.size()));
  EXPECT_FALSE(ring.push(b.data(), b.size()));  // 28 used, 7 more do not fit
  EXPECT_EQ(take(ring), a);
  ASSERT_TRUE(ring.push(c.data(), c.size()));  // wraps round the end
  EXPECT_FALSE(ring.push(b.data(), b.size()));
  EXPECT_EQ(take(ring), a);
  ASSERT_TRUE(ring.push(b.data(), b.size()));
  EXPECT_EQ(take(ring), c);
  EXPECT_EQ(take(ring), b);
  EXPECT_TRUE(ring.empty());
  EXPECT_TRUE(ring.tooLarge(29));
  EXPECT_FALSE(ring.tooLarge(28));
}

TEST(ByteRing, AWriterAndAReaderAtOnceLoseNothing) {
  ByteRing ring(256);
  constexpr int kMessages = 20000;
  std::thread writer([&] {
    for (int i = 0; i < kMessages;) {
      const Message m(static_cast<size_t>(1 + i % 40), static_cast<unsigned char>(i & 0x7F));
      if (ring.push(m.data(), m.size())) ++i;
    }
  });
  for (int i = 0; i < kMessages;) {
    const Message m = take(ring);
    if (m.empty()) continue;
    ASSERT_EQ(m, Message(static_cast<size_t>(1 + i % 40), static_cast<unsigned char>(i & 0x7F))) << i;
    ++i;
  }
  writer.join();
}

TEST(SpscQueue, SlotsComeBackInOrderAndAFullQueueGivesNone) {
  SpscQueue<int> queue(3);
  for (int v : {1, 2, 3}) {
    int* slot = queue.back();
    ASSERT_NE(slot, nullptr);
    *slot = v;
    queue.publish();
  }
  EXPECT_EQ(queue.back(), nullptr);
  std::vector<int> out;
  for (int round = 0; round < 2; ++round) {
    out.push_back(*queue.front());
    queue.pop();
    *queue.back() = 4 + round;
    queue.publish();
  }
  while (int* slot = queue.front()) {
    out.push_back(*slot);
    queue.pop();
  }
  EXPECT_EQ(out, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(queue.empty());
}
}  // namespace
