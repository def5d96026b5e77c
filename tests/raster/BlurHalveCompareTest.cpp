#include <gtest/gtest.h>

#include <array>

#include "RasterTestSupport.h"

using namespace rastertest;

// Each channel's share truncates alone, so white loses more the more
// neighbours a pixel has: corners 0xFD, edges 0xFC, the inside 0xFB.
TEST(RasterBlur, EdgeRowsAndColumnsTakeTheMissingNeighboursShare)
{
  LICE_MemBitmap src = filled(5, 4, kInk), dst = filled(5, 4, 0);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 5, 4);
  const unsigned char expected[4][5] = {{0xFD, 0xFC, 0xFC, 0xFC, 0xFD},
                                        {0xFC, 0xFB, 0xFB, 0xFB, 0xFC},
                                        {0xFC, 0xFB, 0xFB, 0xFB, 0xFC},
                                        {0xFD, 0xFC, 0xFC, 0xFC, 0xFD}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(px(dst, x, y), 0x01010101u * expected[y][x]) << x << "," << y;
  // Two by two: only the edge rows.
  LICE_MemBitmap corner = filled(2, 2, 0), small = filled(2, 2, 0);
  LICE_PutPixel(&corner, 0, 0, rgba(128, 64, 0, 255), 1.0f, 0);
  LICE_Blur(&small, &corner, 0, 0, 0, 0, 2, 2);
  EXPECT_PIXELS(small, {0, 0, rgba(64, 32, 0, 127)}, {1, 0, rgba(32, 16, 0, 63)}, {0, 1, rgba(32, 16, 0, 63)},
                {1, 1, 0});
}

TEST(RasterBlur, ClippingCutsTheSourceAtTheSameEdgeAndNarrowRectanglesAreLeftAlone)
{
  LICE_MemBitmap src = patterned(8, 8, 9);
  LICE_MemBitmap expected = filled(8, 8, 0), clipped = filled(8, 8, 0);
  LICE_Blur(&clipped, &src, -1, 0, 2, 2, 6, 6);
  LICE_Blur(&expected, &src, 0, 0, 3, 2, 5, 6);
  EXPECT_EQ(LICE_BitmapCmp(&clipped, &expected), 0);
  EXPECT_EQ(countNot(clipped, 0), 5 * 6);
  LICE_MemBitmap dst = filled(6, 6, 7);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 1, 6);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 6, 1);
  LICE_Blur(&dst, &src, 5, 5, 0, 0, 6, 6);
  LICE_Blur(&dst, &src, 0, 0, -5, 0, 6, 6);
  EXPECT_EQ(countNot(dst, 7), 0);
}

TEST(RasterBlur, InPlaceMatchesASeparateDestination)
{
  for (int w : {9, 2000}) {  // a stack and a heap row copy
    LICE_MemBitmap src = patterned(w, 5, unsigned(w));
    LICE_MemBitmap separate = filled(w, 5, 0), inPlace(w, 5, 4);
    LICE_Copy(&inPlace, &src);
    LICE_Blur(&separate, &src, 0, 0, 0, 0, w, 5);
    LICE_Blur(&inPlace, &inPlace, 0, 0, 0, 0, w, 5);
    EXPECT_EQ(LICE_BitmapCmp(&separate, &inPlace), 0) << "width " << w;
  }
}

TEST(RasterHalveBlit, AveragesQuartersOfTwoByTwoBoxes)
{
  LICE_MemBitmap src = filled(5, 5, kInk), dst = filled(10, 10, 0);
  LICE_HalveBlitAA(&dst, &src);
  EXPECT_EQ(countNot(dst, 0), 4);
  EXPECT_EQ(px(dst, 1, 1), 0xFCFCFCFCu);
  LICE_MemBitmap threes = filled(2, 2, 0x03030303u), one = filled(1, 1, 9);
  LICE_HalveBlitAA(&one, &threes);
  EXPECT_EQ(px(one, 0, 0), 0u);
}

TEST(RasterBitmapCmp, SizesAndBoundingBoxes)
{
  LICE_MemBitmap a = filled(10, 10, 1), wide = filled(12, 10, 1), low = filled(10, 8, 1), b = filled(10, 10, 1);
  EXPECT_EQ(LICE_BitmapCmp(&a, &wide), 2);
  EXPECT_EQ(LICE_BitmapCmp(&a, &low), -2);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, nullptr), 0);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, &a), -1);
  EXPECT_EQ(LICE_BitmapCmp(&a, nullptr), 1);
  using Box = std::array<int, 4>;
  Box box{9, 9, 9, 9};
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box.data()), 0);
  EXPECT_EQ(box, (Box{0, 0, 0, 0}));
  LICE_PutPixel(&b, 3, 7, 2, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box.data()), 1);
  EXPECT_EQ(box, (Box{3, 7, 1, 1}));
  EXPECT_GT(LICE_BitmapCmp(&b, &a), 0);
  // The box grows from the first and last differing rows and the rows between.
  LICE_Clear(&b, 1);
  LICE_PutPixel(&b, 5, 2, 2, 1.0f, 0);
  LICE_PutPixel(&b, 1, 9, 2, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box.data()), 1);
  EXPECT_EQ(box, (Box{1, 2, 5, 8}));
  LICE_PutPixel(&b, 0, 5, 2, 1.0f, 0);
  LICE_PutPixel(&b, 9, 6, 2, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box.data()), 1);
  EXPECT_EQ(box, (Box{0, 2, 10, 8}));
}
