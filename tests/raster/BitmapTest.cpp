#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "MemContext.h"
#include "RasterTestSupport.h"

using namespace rastertest;

TEST(RasterBitmap, MemBitmapRowSpanFollowsAlignment)
{
  struct Case {
    unsigned align;
    int span;
  } cases[] = {{4, 12}, {1, 10}, {0, 10}, {6, 10}, {16, 16}, {64, 16}};
  for (const Case& c : cases) {
    LICE_MemBitmap bm(10, 3, c.align);
    EXPECT_EQ(bm.getRowSpan(), c.span) << "alignment " << c.align;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bm.getBits()) % 64, 0u);
    EXPECT_FALSE(bm.isFlipped());
    EXPECT_EQ(bm.getDC(), nullptr);
    EXPECT_EQ(bm.Extended(1, nullptr), 0);
  }
}

TEST(RasterBitmap, MemBitmapGrowsByAQuarterAndNeverShrinks)
{
  LICE_MemBitmap bm(0, 0, 4);
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_TRUE(bm.resize(100, 100));
  EXPECT_EQ(bm.allocatedBytes(), 40000);
  EXPECT_TRUE(bm.resize(101, 100));
  EXPECT_EQ(bm.getRowSpan(), 104);
  EXPECT_EQ(bm.allocatedBytes(), 52000);
  const LICE_pixel* before = bm.getBits();
  EXPECT_TRUE(bm.resize(10, 10));
  EXPECT_EQ(bm.getBits(), before);
  EXPECT_EQ(bm.allocatedBytes(), 52000);
  EXPECT_FALSE(bm.resize(10, 10));
  EXPECT_TRUE(bm.resize(0, 5));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
}

TEST(RasterBitmap, MemBitmapHugeSizesFailCleanly)
{
  // Sizes whose byte count does not fit an int must not wrap to a small block.
  const int sizes[][2] = {{65536, 65536}, {INT_MAX, 2}, {100000, 100000}, {-4, -4}};
  for (const auto& s : sizes) {
    LICE_MemBitmap bm(8, 8, 4);
    EXPECT_TRUE(bm.resize(s[0], s[1]));
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getWidth(), 0);
    EXPECT_EQ(bm.getHeight(), 0);
  }
}

TEST(RasterBitmap, SysBitmapKeepsItsContextWhileTheSizeFits)
{
  LICE_SysBitmap bm(0, 0);
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_TRUE(bm.resize(5, 2));
  EXPECT_NE(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_EQ(px(bm, 4, 1), 0u);  // a new context starts transparent black
  HDC__* dc = bm.getDC();
  EXPECT_TRUE(bm.resize(3, 1));
  EXPECT_EQ(bm.getDC(), dc);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_FALSE(bm.resize(3, 1));
  EXPECT_FALSE(bm.resize(0, 10));
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getBits(), nullptr);
}

TEST(RasterBitmap, MemoryContextIsZeroedAlignedAndRefusesBadSizes)
{
  HDC__* ctx = SWELL_CreateMemContext(nullptr, 7, 3);
  ASSERT_NE(ctx, nullptr);
  auto* p = static_cast<unsigned char*>(SWELL_GetCtxFrameBuffer(ctx));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
  for (int i = 0; i < 7 * 3 * 4; ++i) ASSERT_EQ(p[i], 0);
  SWELL_DeleteGfxContext(ctx);
  SWELL_DeleteGfxContext(nullptr);
  EXPECT_EQ(SWELL_GetCtxFrameBuffer(nullptr), nullptr);
  EXPECT_EQ(SWELL_CreateMemContext(nullptr, 0, 3), nullptr);
  EXPECT_EQ(SWELL_CreateMemContext(nullptr, -2, 3), nullptr);
  EXPECT_EQ(SWELL_CreateMemContext(nullptr, 65536, 65536), nullptr);
}

TEST(RasterBitmap, ColourValueLayoutIsAlphaRedGreenBlueInMemory)
{
  const LICE_pixel c = rgba(0x11, 0x22, 0x33, 0x44);
  const auto* b = reinterpret_cast<const unsigned char*>(&c);
  EXPECT_EQ(b[0], 0x44);
  EXPECT_EQ(b[1], 0x11);
  EXPECT_EQ(b[2], 0x22);
  EXPECT_EQ(b[3], 0x33);
  EXPECT_EQ(LICE_ToRRGGBB(c), 0x112233);
}
