#include <gtest/gtest.h>

#include "RasterTestSupport.h"

using namespace rastertest;

TEST(RasterBlur, UniformAreaLosesToTruncationByPosition)
{
  LICE_MemBitmap src = filled(5, 4, 0xFFFFFFFFu);
  LICE_MemBitmap dst = filled(5, 4, 0);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 5, 4);
  const LICE_pixel corner = 0xFDFDFDFDu, edge = 0xFCFCFCFCu, inner = 0xFBFBFBFBu;
  EXPECT_EQ(px(dst, 0, 0), corner);
  EXPECT_EQ(px(dst, 4, 3), corner);
  EXPECT_EQ(px(dst, 2, 0), edge);
  EXPECT_EQ(px(dst, 0, 2), edge);
  EXPECT_EQ(px(dst, 4, 1), edge);
  EXPECT_EQ(px(dst, 2, 3), edge);
  EXPECT_EQ(px(dst, 2, 2), inner);
}

TEST(RasterBlur, TwoByTwoUsesOnlyTheEdgeRows)
{
  LICE_MemBitmap src = filled(2, 2, 0);
  LICE_PutPixel(&src, 0, 0, rgba(128, 64, 0, 255), 1.0f, 0);
  LICE_MemBitmap dst = filled(2, 2, 0);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 2, 2);
  EXPECT_EQ(px(dst, 0, 0), rgba(64, 32, 0, 127));
  EXPECT_EQ(px(dst, 1, 0), rgba(32, 16, 0, 63));
  EXPECT_EQ(px(dst, 0, 1), rgba(32, 16, 0, 63));
  EXPECT_EQ(px(dst, 1, 1), 0u);
}

TEST(RasterBlur, NarrowRectanglesAreLeftAlone)
{
  LICE_MemBitmap src(6, 6, 4), dst = filled(6, 6, 7);
  pattern(src);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 1, 6);
  LICE_Blur(&dst, &src, 0, 0, 0, 0, 6, 1);
  LICE_Blur(&dst, &src, 5, 5, 0, 0, 6, 6);
  LICE_Blur(&dst, &src, 0, 0, -5, 0, 6, 6);
  EXPECT_EQ(countNot(dst, 7), 0);
}

TEST(RasterBlur, InPlaceMatchesASeparateDestination)
{
  for (int w : {9, 2000}) {
    LICE_MemBitmap src(w, 5, 4);
    pattern(src, unsigned(w));
    LICE_MemBitmap separate = filled(w, 5, 0), inPlace(w, 5, 4);
    LICE_Copy(&inPlace, &src);
    LICE_Blur(&separate, &src, 0, 0, 0, 0, w, 5);
    LICE_Blur(&inPlace, &inPlace, 0, 0, 0, 0, w, 5);
    EXPECT_EQ(LICE_BitmapCmp(&separate, &inPlace), 0) << "width " << w;
  }
}

TEST(RasterBlur, ClippedDestinationCutsTheSourceAtTheSameEdge)
{
  LICE_MemBitmap src(8, 8, 4);
  pattern(src, 9);
  LICE_MemBitmap expected = filled(8, 8, 0), clipped = filled(8, 8, 0);
  LICE_Blur(&clipped, &src, -1, 0, 2, 2, 6, 6);
  LICE_Blur(&expected, &src, 0, 0, 3, 2, 5, 6);
  EXPECT_EQ(LICE_BitmapCmp(&clipped, &expected), 0);
  EXPECT_EQ(countNot(clipped, 0), 5 * 6);
}

TEST(RasterHalveBlit, AveragesQuartersOfTwoByTwoBoxes)
{
  LICE_MemBitmap src = filled(5, 5, 0xFFFFFFFFu);
  LICE_MemBitmap dst = filled(10, 10, 0);
  LICE_HalveBlitAA(&dst, &src);
  EXPECT_EQ(countNot(dst, 0), 4);
  EXPECT_EQ(px(dst, 1, 1), 0xFCFCFCFCu);
  LICE_MemBitmap threes = filled(2, 2, 0x03030303u), one = filled(1, 1, 9);
  LICE_HalveBlitAA(&one, &threes);
  EXPECT_EQ(px(one, 0, 0), 0u);
}

TEST(RasterBitmapCmp, SizesAndBoundingBoxes)
{
  LICE_MemBitmap a = filled(10, 10, 1), wide = filled(12, 10, 1), low = filled(10, 8, 1);
  EXPECT_EQ(LICE_BitmapCmp(&a, &wide), 2);
  EXPECT_EQ(LICE_BitmapCmp(&a, &low), -2);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, nullptr), 0);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, &a), -1);
  EXPECT_EQ(LICE_BitmapCmp(&a, nullptr), 1);

  LICE_MemBitmap b = filled(10, 10, 1);
  int box[4] = {9, 9, 9, 9};
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box), 0);
  EXPECT_EQ(box[0] | box[1] | box[2] | box[3], 0);
  LICE_PutPixel(&b, 3, 7, 2, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box), 1);
  EXPECT_EQ(box[0], 3);
  EXPECT_EQ(box[1], 7);
  EXPECT_EQ(box[2], 1);
  EXPECT_EQ(box[3], 1);
  EXPECT_GT(LICE_BitmapCmp(&b, &a), 0);
  LICE_Clear(&b, 1);
  LICE_PutPixel(&b, 5, 2, 2, 1.0f, 0);
  LICE_PutPixel(&b, 1, 9, 2, 1.0f, 0);
  LICE_PutPixel(&b, 0, 5, 1, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box), 1);
  EXPECT_EQ(box[0], 1);
  EXPECT_EQ(box[1], 2);
  EXPECT_EQ(box[2], 5);
  EXPECT_EQ(box[3], 8);
  LICE_PutPixel(&b, 0, 5, 2, 1.0f, 0);
  LICE_PutPixel(&b, 9, 6, 2, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box), 1);
  EXPECT_EQ(box[0], 0);
  EXPECT_EQ(box[2], 10);
}
