#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

int rowCount(LICE_IBitmap& bm, int y)
{
  int n = 0;
  for (int x = 0; x < bm.getWidth(); ++x) n += px(bm, x, y) != 0;
  return n;
}

}  // namespace

TEST(RasterPolygon, RightTriangleLosesOnePixelPerRow)
{
  LICE_MemBitmap bm = filled(16, 16, 0);
  LICE_FillTriangle(&bm, 0, 0, 10, 0, 0, 10, kInk, 1.0f, 0);
  for (int y = 0; y <= 10; ++y) EXPECT_EQ(rowCount(bm, y), 11 - y) << "row " << y;
  EXPECT_EQ(rowCount(bm, 11), 0);
}

TEST(RasterPolygon, FlatTrianglesAndTrapezoids)
{
  LICE_MemBitmap bm = filled(8, 4, 0);
  LICE_FillTriangle(&bm, 5, 2, -3, 2, 20, 2, kInk, 1.0f, 0);
  EXPECT_EQ(rowCount(bm, 2), 8);
  EXPECT_EQ(countNot(bm, 0), 8);
  LICE_FillTriangle(&bm, 1, 9, 3, 9, 5, 9, kInk, 1.0f, 0);
  EXPECT_EQ(countNot(bm, 0), 8);
  LICE_Clear(&bm, 0);
  LICE_FillTrapezoid(&bm, 5, 2, 1, 0, 7, 1, kInk, 1.0f, 0);  // second span ignored
  EXPECT_EQ(rowCount(bm, 1), 4);
  EXPECT_EQ(px(bm, 2, 1), kInk);
  EXPECT_EQ(px(bm, 5, 1), kInk);
}

TEST(RasterPolygon, BandsAboveTheBitmapStartWithAdvancedEdges)
{
  LICE_MemBitmap whole = filled(20, 30, 0), cut = filled(20, 20, 0);
  LICE_FillTrapezoid(&whole, 2, 4, 0, 0, 17, 25, kInk, 1.0f, 0);
  LICE_FillTrapezoid(&cut, 2, 4, -10, 0, 17, 15, kInk, 1.0f, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(px(cut, x, y), px(whole, x, y + 10)) << x << "," << y;
  LICE_MemBitmap wide = filled(6, 3, 0);
  LICE_FillTrapezoid(&wide, -4, 40, 0, -9, 50, 2, kInk, 1.0f, 0);
  EXPECT_EQ(countNot(wide, 0), 18);
}

TEST(RasterPolygon, CopyOpacityPicksWholePixelOrChannelMix)
{
  LICE_MemBitmap quarter = filled(4, 4, 0), fifth = filled(4, 4, 0);
  LICE_FillTriangle(&quarter, 0, 0, 3, 0, 0, 3, rgba(255, 255, 255, 255), 0.25f, 0);
  LICE_FillTriangle(&fifth, 0, 0, 3, 0, 0, 3, rgba(255, 255, 255, 255), 0.2f, 0);
  EXPECT_EQ(px(quarter, 0, 0), rgba(63, 63, 63, 63));
  EXPECT_EQ(px(fifth, 0, 0), rgba(51, 51, 51, 51));
}

TEST(RasterPolygon, ConvexPolygonWritesEachPixelOnce)
{
  std::vector<int> xs, ys;
  for (int i = 0; i < 600; ++i) {  // more points than fit the stack array
    xs.push_back(int(std::lround(20 + 15 * std::cos(i * 2 * M_PI / 600))));
    ys.push_back(int(std::lround(20 + 15 * std::sin(i * 2 * M_PI / 600))));
  }
  LICE_MemBitmap bm = filled(40, 40, 0);
  LICE_FillConvexPolygon(&bm, xs.data(), ys.data(), 600, rgba(1, 0, 0, 0), 1.0f, 1);
  EXPECT_EQ(maxRed(bm), 1);
  EXPECT_NEAR(countNot(bm, 0), 3.14159 * 15.5 * 15.5, 60);  // both edges inclusive
  // Points in any order: the quadrilateral (2, 1) (9, 3) (7, 9) (1, 6).
  const int qx[] = {7, 2, 1, 9}, qy[] = {9, 1, 6, 3};
  LICE_MemBitmap q = filled(12, 12, 0);
  LICE_FillConvexPolygon(&q, qx, qy, 4, kInk, 1.0f, 0);
  EXPECT_EQ(px(q, 5, 5), kInk);
  EXPECT_EQ(rowCount(q, 0) + rowCount(q, 10), 0);
}

TEST(RasterRect, OutlineCornersBlendTwiceAndBordersDoNotOverlapTheInside)
{
  LICE_MemBitmap bm = filled(10, 10, 0);
  LICE_DrawRect(&bm, 1, 1, 5, 4, rgba(255, 255, 255, 255), 0.5f, 0);
  EXPECT_EQ(px(bm, 1, 1), rgba(190, 190, 190, 190));
  EXPECT_EQ(px(bm, 3, 1), rgba(127, 127, 127, 127));
  EXPECT_EQ(px(bm, 6, 5), rgba(190, 190, 190, 190));
  EXPECT_EQ(countNot(bm, 0), 2 * 6 + 2 * 3);
  LICE_MemBitmap bordered = filled(10, 10, 0);
  LICE_BorderedRect(&bordered, 1, 1, 5, 4, rgba(0, 0, 200, 255), rgba(9, 0, 0, 255), 1.0f, 0);
  EXPECT_EQ(px(bordered, 1, 1), rgba(9, 0, 0, 255));
  EXPECT_EQ(px(bordered, 6, 5), rgba(9, 0, 0, 255));
  EXPECT_EQ(countNot(bordered, rgba(0, 0, 200, 255)), 10 * 10 - 4 * 3);
  EXPECT_EQ(countNot(bordered, 0), 6 * 5);
}
