#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>

#include "MemContext.h"
#include "RasterTestSupport.h"

using namespace rastertest;

TEST(RasterBitmap, MemBitmapAlignsRowsAndKeepsItsBlockWhenShrinking)
{
  // Rows align to the lowest set bit of the alignment, at most 16 pixels.
  const int spans[][2] = {{4, 12}, {1, 10}, {0, 10}, {6, 10}, {16, 16}, {64, 16}};
  for (const auto& s : spans) {
    LICE_MemBitmap bm(10, 3, unsigned(s[0]));
    EXPECT_EQ(bm.getRowSpan(), s[1]) << "alignment " << s[0];
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bm.getBits()) % 64, 0u);
  }
  LICE_MemBitmap bm(101, 100, 4);
  const LICE_pixel* before = bm.getBits();
  EXPECT_TRUE(bm.resize(10, 10));
  EXPECT_EQ(bm.getBits(), before);
  EXPECT_FALSE(bm.resize(10, 10));
  EXPECT_TRUE(bm.resize(0, 5));
  EXPECT_EQ(bm.getBits(), nullptr);
}

TEST(RasterBitmap, HugeSizesFailCleanly)
{
  // Sizes whose byte count does not fit an int must not wrap to a small block.
  const int sizes[][2] = {{65536, 65536}, {INT_MAX, 2}, {100000, 100000}, {-4, -4}};
  for (const auto& s : sizes) {
    LICE_MemBitmap bm(8, 8, 4);
    EXPECT_TRUE(bm.resize(s[0], s[1]));
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getWidth() | bm.getHeight(), 0);
  }
  EXPECT_EQ(SWELL_CreateMemContext(nullptr, 0, 3), nullptr);
  EXPECT_EQ(SWELL_CreateMemContext(nullptr, -2, 3), nullptr);
  EXPECT_EQ(SWELL_CreateMemContext(nullptr, 65536, 65536), nullptr);
}

TEST(RasterBitmap, SysBitmapKeepsItsZeroedContextWhileTheSizeFits)
{
  LICE_SysBitmap bm(7, 3);
  ASSERT_NE(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bm.getBits()) % 64, 0u);
  EXPECT_EQ(countNot(bm, 0), 0);  // a new context starts transparent black
  HDC__* dc = bm.getDC();
  EXPECT_TRUE(bm.resize(3, 1));
  EXPECT_EQ(bm.getDC(), dc);
  EXPECT_FALSE(bm.resize(3, 1));
  EXPECT_FALSE(bm.resize(0, 10));
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getBits(), nullptr);
  SWELL_DeleteGfxContext(nullptr);
  EXPECT_EQ(SWELL_GetCtxFrameBuffer(nullptr), nullptr);
}

TEST(RasterBitmap, CompareOrdersBySizeAndBoxesTheDifferences)
{
  LICE_MemBitmap a = filled(10, 10, 1), wide = filled(12, 10, 1), low = filled(10, 8, 1);
  EXPECT_EQ(LICE_BitmapCmp(&a, &wide), 2);
  EXPECT_EQ(LICE_BitmapCmp(&a, &low), -2);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, nullptr), 0);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, &a), -1);
  EXPECT_EQ(LICE_BitmapCmp(&a, nullptr), 1);
  // The box (x, y, w, h) spans the first and last differing rows and every row between.
  using Box = std::array<int, 4>;
  const std::pair<Points, Box> cases[] = {{{}, {0, 0, 0, 0}},
                                          {{{3, 7}}, {3, 7, 1, 1}},
                                          {{{5, 2}, {1, 9}}, {1, 2, 5, 8}},
                                          {{{5, 2}, {1, 9}, {0, 5}, {9, 6}}, {0, 2, 10, 8}}};
  for (const auto& [diff, want] : cases) {
    LICE_MemBitmap b = filled(10, 10, 1);
    for (const auto& [x, y] : diff) LICE_PutPixel(&b, x, y, 2, 1.0f, 0);
    Box box{9, 9, 9, 9};
    EXPECT_EQ(LICE_BitmapCmp(&a, &b, box.data()), diff.empty() ? 0 : 1);
    EXPECT_EQ(box, want);
    EXPECT_EQ(LICE_BitmapCmp(&b, &a) > 0, !diff.empty());
  }
}
