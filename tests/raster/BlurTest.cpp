#include <gtest/gtest.h>

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
