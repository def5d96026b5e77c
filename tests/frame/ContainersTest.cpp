#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "BlockPool.h"
#include "Utilities.h"
#include "WDL_HeapBuf.h"
#include "WDL_PtrList.h"
#include "WDL_String.h"

struct GrowthStep {
  int granularity;
  std::vector<std::pair<int, bool>> resizes;  // size, resizeDown
  int allocated;
};

TEST(WDL_HeapBuf, AllocationFollowsTheGrowthRules) {
  const GrowthStep table[] = {
      {4096, {{8, true}}, 4000},
      {4096, {{8, true}, {5000, true}}, 8096},
      {128, {{2, true}}, 130},
      // Small blocks of a 4096 heap are never given back.
      {4096, {{3000, true}, {100, true}}, 4000},
      {128, {{1000, true}, {800, true}}, 1500},
      {128, {{1000, true}, {600, true}}, 900},
      {128, {{1000, true}, {400, false}}, 1500},
      {4096, {{1 << 23, true}}, ((8388608 + 4194304 + 96) & ~4095) - 96},
  };
  for (const GrowthStep& row : table) {
    WDL_HeapBuf buf(row.granularity);
    for (auto [size, down] : row.resizes) buf.Resize(size, down);
    EXPECT_EQ(buf.GetAllocated(), row.allocated) << "granularity " << row.granularity;
    EXPECT_EQ(buf.GetSize(), row.resizes.back().first);
  }
}

TEST(WDL_HeapBuf, SameSizeKeepsTheBlockAndZeroReturnsNull) {
  WDL_HeapBuf buf(128);
  void* block = buf.Resize(10);
  EXPECT_EQ(buf.Resize(10), block);
  EXPECT_EQ(buf.Resize(0, false), nullptr);
  EXPECT_EQ(buf.GetAllocated(), 138);
}

TEST(WDL_PtrList, GetInsertAndDelete) {
  WDL_PtrList_DeleteOnDestroy<int> list;
  EXPECT_EQ(list.Get(0), nullptr);
  list.Add(new int(1));
  list.Add(new int(3));
  list.Insert(1, new int(2));
  list.Insert(-5, new int(0));
  list.Insert(99, new int(4));
  ASSERT_EQ(list.GetSize(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(*list.Get(i), i);
  EXPECT_EQ(list.Get(5), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  list.Delete(0, true);
  EXPECT_EQ(*list.Get(0), 1);
  EXPECT_EQ(list.GetSize(), 4);
}

TEST(WDL_String, EditingOperations) {
  WDL_String s;
  EXPECT_STREQ(s.Get(), "");
  s.Set("hello");
  s.Append(" world");
  EXPECT_STREQ(s.Get(), "hello world");
  s.SetLen(5);
  EXPECT_STREQ(s.Get(), "hello");
  s.DeleteSub(1, 2);
  EXPECT_STREQ(s.Get(), "hlo");
  s.DeleteSub(2, 100);
  EXPECT_STREQ(s.Get(), "hl");
  s.DeleteSub(5, 1);
  EXPECT_STREQ(s.Get(), "hl");
  s.Set("abcdef", 3);
  EXPECT_STREQ(s.Get(), "abc");
  s.Set(s.Get() + 1);  // a text from inside the same buffer
  EXPECT_STREQ(s.Get(), "bc");
  s.SetFormatted(8, "%d-%s", 42, "long text");
  EXPECT_STREQ(s.Get(), "42-long ");
}

TEST(Timestamps, CompileTimestampDropsSecondsAndBlank) {
  const std::pair<const char*, const char*> table[] = {{"Jan  5 2024", "[Jan 5 12:34]"},
                                                        {"Jan 15 2024", "[Jan15 12:34]"}};
  for (const auto& [date, expected] : table) {
    WDL_String out;
    CompileTimestamp(date, "12:34:56", &out);
    EXPECT_STREQ(out.Get(), expected);
  }
  EXPECT_STREQ(AppendTimestamp("Dec 31 1999", "23:59:59", "built"), "built [Dec31 23:59]");
}

TEST(Timestamps, CurrentTimeForm) {
  EXPECT_TRUE(std::regex_match(CurrentTime(), std::regex(R"(\d{8} \d\d:\d\d [+-]\d{4})"))) << CurrentTime();
}

// Objects keep their places however many follow, are visited in the order
// they were made, and a reserved count takes no more than the rest of the
// current block and one more.
TEST(BlockPool, ObjectsStayWhereTheyWereMadeAndAreVisitedInOrder) {
  BlockPool<std::vector<int>> pool(3);
  std::vector<std::vector<int>*> made;
  for (int i = 0; i < 12; ++i) {
    if (i == 2) pool.reserve(5);  // one left in the first block
    made.push_back(pool.make());
    made.back()->push_back(i);
  }
  EXPECT_EQ(pool.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(made[static_cast<size_t>(i)]->front(), i);
  for (int i = 1; i < 3; ++i) EXPECT_EQ(made[static_cast<size_t>(i)], made[0] + i);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(made[static_cast<size_t>(i)], made[3] + (i - 3));
  std::vector<int> order;
  pool.forEach([&](std::vector<int>& v) { order.push_back(v.front()); });
  EXPECT_EQ(order, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));

  BlockPool<int> exact(4);
  exact.reserve(100);
  int* first = exact.make();
  for (int i = 1; i < 100; ++i) EXPECT_EQ(exact.make(), first + i);
}
