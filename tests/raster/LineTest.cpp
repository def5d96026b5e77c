#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

constexpr LICE_pixel kInk = 0xFFFFFFFFu;


}  // namespace

TEST(RasterLine, GeneralWalkIsSymmetricFromBothEnds)
{
  const Points expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1},
                                                  {6, 2}, {7, 2}, {8, 2}, {9, 3}, {10, 3}};
  LICE_MemBitmap a = filled(12, 5, 0), b = filled(12, 5, 0);
  LICE_Line(&a, 0, 0, 10, 3, kInk, 1.0f, 0, false);
  LICE_Line(&b, 10, 3, 0, 0, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(a), expected);
  EXPECT_EQ(inked(b), expected);
}

TEST(RasterLine, PointsRunsAndDiagonals)
{
  LICE_MemBitmap bm = filled(8, 8, 0);
  LICE_Line(&bm, 3, 3, 3, 3, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm), (Points{{3, 3}}));
  LICE_Clear(&bm, 0);
  LICE_Line(&bm, 2, 6, 2, 1, kInk, 1.0f, 0, true);
  EXPECT_EQ(inked(bm).size(), 6u);
  LICE_Clear(&bm, 0);
  LICE_Line(&bm, 6, 1, 1, 6, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm).size(), 6u);
  EXPECT_EQ(px(bm, 4, 3), kInk);
}

TEST(RasterLine, ClippingRejectsAndTrims)
{
  LICE_MemBitmap bm = filled(4, 4, 0);
  LICE_Line(&bm, -5, 5, 5, 5, kInk, 1.0f, 0, false);
  EXPECT_TRUE(inked(bm).empty());
  LICE_Line(&bm, -5, 2, 5, 2, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm), (Points{{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
  // Leaves through the right edge on column w - 1, at the row where it crosses x = w.
  int x1 = 0, y1 = 0, x2 = 8, y2 = 2;
  EXPECT_TRUE(LICE_ClipLine(&x1, &y1, &x2, &y2, 0, 0, 4, 4));
  EXPECT_EQ(x2, 3);
  EXPECT_EQ(y2, 1);
  int a = 10, b = 10, c = 20, d = 20;
  EXPECT_TRUE(LICE_ClipLine(&a, &b, &c, &d, 12, 12, 15, 15));
  EXPECT_EQ(a, 12);
  EXPECT_EQ(d, 14);
  float fx1 = -1, fy1 = 1, fx2 = 20, fy2 = 1;
  EXPECT_TRUE(LICE_ClipFLine(&fx1, &fy1, &fx2, &fy2, 0, 0, 10, 10));
  EXPECT_EQ(fx1, 0.0f);
  EXPECT_EQ(fx2, 8.0f);
  float nx = 0, ny = 0, mx = 1e30f, my = 0.0f / 0.0f;
  EXPECT_FALSE(LICE_ClipFLine(&nx, &ny, &mx, &my, 0, 0, 10, 10));
}

TEST(RasterLine, WordHalfMixDiffersFromTheChannelHalfMix)
{
  LICE_MemBitmap word = filled(3, 1, rgba(1, 1, 1, 1)), chan = filled(3, 1, rgba(1, 1, 1, 1));
  LICE_Line(&word, 0, 0, 2, 0, rgba(1, 1, 1, 1), 0.5f, 0, false);
  LICE_Line(&chan, 0, 0, 2, 0, rgba(1, 1, 1, 1), 0.5001f, 0, false);
  EXPECT_EQ(px(word, 1, 0), 0u);
  EXPECT_EQ(px(chan, 1, 0), rgba(1, 1, 1, 1));
}

TEST(RasterLine, AntiAliasedDiagonalPutsThreeQuartersOnTheLine)
{
  LICE_MemBitmap bm = filled(6, 6, 0);
  LICE_Line(&bm, 1, 1, 4, 4, rgba(255, 255, 255, 255), 1.0f, 0, true);
  EXPECT_EQ(px(bm, 2, 2), rgba(190, 190, 190, 190));
  EXPECT_EQ(px(bm, 3, 2), rgba(63, 63, 63, 63));
  EXPECT_EQ(px(bm, 2, 3), rgba(63, 63, 63, 63));
  EXPECT_EQ(px(bm, 1, 3), 0u);
  LICE_MemBitmap other = filled(6, 6, 0);
  LICE_Line(&other, 1, 1, 4, 4, rgba(255, 255, 255, 255), 0.9f, 1, true);
  EXPECT_EQ(px(other, 2, 2), rgba(171, 171, 171, 171));
  EXPECT_EQ(px(other, 3, 2), rgba(56, 56, 56, 56));
}

TEST(RasterLine, AntiAliasedWalkSplitsTheWeight)
{
  LICE_MemBitmap bm = filled(12, 5, 0);
  LICE_Line(&bm, 0, 0, 10, 2, rgba(255, 0, 0, 255), 1.0f, 1, true);
  EXPECT_EQ(px(bm, 0, 0), rgba(255, 0, 0, 255));
  EXPECT_EQ(px(bm, 10, 2), rgba(255, 0, 0, 255));
  // Column 1 at 0.2 of a pixel: f = 13107 >> 8 = 51.
  EXPECT_EQ(px(bm, 1, 0), rgba(203, 0, 0, 203));
  EXPECT_EQ(px(bm, 1, 1), rgba(50, 0, 0, 50));
}

TEST(RasterLine, NothingDrawnBelowOneStepOrAboveModeFive)
{
  LICE_MemBitmap bm = filled(6, 6, 0);
  LICE_Line(&bm, 0, 0, 5, 3, kInk, 0.003f, 0, false);
  LICE_Line(&bm, 0, 0, 5, 3, kInk, 1.0f, 6, false);
  LICE_Line(&bm, 0, 0, 5, 0, kInk, 1.0f, 6, false);
  LICE_Line(&bm, 0, 0, 5, 5, kInk, 0.5f, 9, true);
  LICE_FLine(&bm, 0, 0, 5, 3, kInk, 1.0f, 6, true);
  EXPECT_TRUE(inked(bm).empty());
}

TEST(RasterLine, FlippedBitmapsMirrorRows)
{
  FlippedBitmap bm(4, 4, 4);
  LICE_Clear(&bm, 0);
  LICE_Line(&bm, 0, 0, 3, 0, kInk, 1.0f, 0, false);
  EXPECT_EQ(px(bm, 2, 0), kInk);
}

TEST(RasterFLine, SubPixelWalk)
{
  LICE_MemBitmap bm = filled(6, 6, 0);
  LICE_FLine(&bm, 1, 1, 1, 1, kInk, 1.0f, 0, true);
  LICE_FLine(&bm, 1.2f, 1, 1.8f, 1.2f, kInk, 1.0f, 0, true);
  EXPECT_TRUE(inked(bm).empty());
  LICE_FLine(&bm, 0.8f, 1.5f, 1.2f, 1.5f, rgba(255, 255, 255, 255), 1.0f, 0, true);
  EXPECT_EQ(inked(bm), (Points{{1, 1}, {1, 2}}));
  EXPECT_EQ(px(bm, 1, 1), rgba(127, 127, 127, 127));
  EXPECT_EQ(px(bm, 1, 2), rgba(128, 128, 128, 128));
  LICE_MemBitmap plain = filled(6, 6, 0);
  LICE_FLine(&plain, 0.7f, 0.2f, 4.9f, 0.9f, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(plain).size(), 5u);
}
