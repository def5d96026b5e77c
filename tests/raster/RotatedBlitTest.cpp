#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "RasterTestSupport.h"

using namespace rastertest;

TEST(RasterRotatedBlit, AngleZeroReproducesTheSourceAndOffsetsShiftIt)
{
  LICE_MemBitmap src = patterned(9, 7, 1);
  for (int mode : {0, 0x100}) {
    LICE_MemBitmap dst = filled(9, 7, kBg);
    LICE_RotatedBlit(&dst, &src, 0, 0, 9, 7, 0, 0, 9, 7, 0.0f, false, 1.0f, mode, 0, 0);
    EXPECT_EQ(LICE_BitmapCmp(&dst, &src), 0) << "mode " << mode;
  }
  LICE_MemBitmap rows(21, 41, 4);
  for (int y = 0; y < 41; ++y) LICE_FillRect(&rows, 0, y, 21, 1, rgba(y, 0, 0, 255), 1.0f, 0);
  LICE_MemBitmap dst = filled(21, 41, kBg);
  LICE_RotatedBlit(&dst, &rows, 0, 0, 21, 41, 0, 0, 21, 41, 0.0f, false, 1.0f, 0, 0, 10);
  EXPECT_EQ(LICE_GETR(px(dst, 10, 20)), 30u);
}

// The walk samples pixel corners, so half-pixel centre offsets line the turned
// corners up with whole source pixels. Each quarter turn reads pixel (x, y)
// where the turn before read pixel (y, 7 - x).
TEST(RasterRotatedBlit, QuarterTurnsTurnThePicture)
{
  const float offsets[][2] = {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}};
  LICE_MemBitmap src = patterned(8, 8, 2);
  for (int k = 1; k <= 3; ++k) {
    LICE_MemBitmap dst = filled(8, 8, kBg);
    const float* off = offsets[k - 1];
    LICE_RotatedBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 8, 8, float(k * M_PI / 2), false, 1.0f, 0, off[0], off[1]);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        int sx = x, sy = y;
        for (int i = 0; i < k; ++i) std::tie(sx, sy) = std::pair(sy, 7 - sx);
        ASSERT_EQ(px(dst, x, y), px(src, sx, sy)) << k << " quarter turns, at " << x << "," << y;
      }
  }
}

TEST(RasterRotatedBlit, OutsideTheSourceZeroWeightAndUnknownModesKeepTheDestination)
{
  LICE_MemBitmap src = filled(4, 4, rgba(9, 9, 9, 255));
  LICE_MemBitmap dst = filled(12, 12, kBg);
  LICE_RotatedBlit(&dst, &src, 0, 0, 12, 12, -4, -4, 12, 12, 0.6f, false, 1.0f, 0, 0, 0);
  EXPECT_EQ(px(dst, 0, 0), kBg);
  EXPECT_EQ(px(dst, 6, 6), rgba(9, 9, 9, 255));
  LICE_MemBitmap none = filled(8, 8, kBg);
  LICE_RotatedBlit(&none, &src, 0, 0, 8, 8, 0, 0, 4, 4, 0.2f, false, 0.001f, 0, 0, 0);
  LICE_RotatedBlit(&none, &src, 0, 0, 8, 8, 0, 0, 4, 4, 0.2f, false, 1.0f, 9, 0, 0);
  EXPECT_EQ(countNot(none, kBg), 0);
}

TEST(RasterRotatedBlit, ClippedDestinationMatchesTheUnclippedOne)
{
  LICE_MemBitmap src = patterned(16, 16, 3);
  LICE_MemBitmap whole = filled(32, 32, kBg), clipped = filled(24, 24, kBg);
  LICE_RotatedBlit(&whole, &src, 0, 0, 32, 32, 0, 0, 16, 16, 0.3f, false, 1.0f, 0, 0, 0);
  LICE_RotatedBlit(&clipped, &src, -8, -8, 32, 32, 0, 0, 16, 16, 0.3f, false, 1.0f, 0, 0, 0);
  int same = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) same += px(clipped, x, y) == px(whole, x + 8, y + 8);
  EXPECT_GE(same, 24 * 24 - 24);  // single-precision start point
}

// With the clip flag, a source rectangle wholly off the bitmap leaves nothing
// to read, and the last row and column of a valid one are used unfiltered.
TEST(RasterRotatedBlit, ClipRectanglesReadNothingOutsideTheSource)
{
  GuardedBitmap src(6, 5, 0, 0);
  pattern(src, 6);
  const float rects[][4] = {{-20, 0, 10, 5}, {0, -20, 6, 10}, {10, 10, 4, 4}, {-5, -5, 3, 3}, {2, 2, 0.5f, 0.5f}};
  for (const auto& r : rects)
    for (int mode : {0x100, 0x10100, 0}) {
      GuardedBitmap dst(12, 12, kBg);
      LICE_RotatedBlit(&dst, &src, 0, 0, 12, 12, r[0], r[1], r[2], r[3], 0.4f, true, 1.0f, mode, 0, 0);
      EXPECT_EQ(countNot(dst, kBg), 0);
      EXPECT_TRUE(dst.guardsIntact());
    }
  GuardedBitmap dst(12, 12, kBg);
  LICE_RotatedBlit(&dst, &src, 0, 0, 12, 12, 0, 0, 6, 5, 0.0f, true, 1.0f, 0x100, 0, 0);
  EXPECT_EQ(px(dst, 11, 11), px(src, 5, 4));
  EXPECT_TRUE(dst.guardsIntact());
}

TEST(RasterDeltaBlit, UnitStepsArePlainBlits)
{
  LICE_MemBitmap src = patterned(10, 8, 7);
  LICE_MemBitmap a = filled(6, 5, kBg), b = filled(6, 5, kBg);
  LICE_DeltaBlit(&a, &src, 0, 0, 6, 5, 2, 3, 10, 8, 1, 0, 0, 1, 0, 0, false, 1.0f, 0);
  LICE_Blit(&b, &src, 0, 0, 2, 3, 6, 5, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b), 0);
  // A per-row change of the along-row step shears rows progressively.
  LICE_MemBitmap c = filled(6, 5, kBg);
  LICE_DeltaBlit(&c, &src, 0, 0, 6, 5, 0, 0, 10, 8, 1, 0, 0, 1, 0.25, 0, false, 1.0f, 0);
  EXPECT_EQ(px(c, 4, 2), px(src, 6, 2));
  LICE_MemBitmap d = filled(6, 5, kBg);
  LICE_DeltaBlit(&d, &src, 0, 0, 6, 5, -30, 0, 10, 8, 1, 0, 0, 1, 0, 0, true, 1.0f, 0x100);
  EXPECT_EQ(countNot(d, kBg), 0);
}

TEST(RasterTransformBlit, CornerGridReproducesTheSourceAndCellsEndAtTruncatedSums)
{
  LICE_MemBitmap image = patterned(10, 6, 8);
  LICE_MemBitmap identity = filled(10, 6, kBg), identity2 = filled(10, 6, kBg);
  const float corners[] = {0, 0, 10, 0, 0, 6, 10, 6};
  const double corners2[] = {0, 0, 10, 0, 0, 6, 10, 6};
  LICE_TransformBlit(&identity, &image, 0, 0, 10, 6, corners, 2, 2, 1.0f, 0);
  LICE_TransformBlit2(&identity2, &image, 0, 0, 10, 6, corners2, 2, 2, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&identity, &image), 0);
  EXPECT_EQ(LICE_BitmapCmp(&identity2, &image), 0);

  LICE_MemBitmap src = filled(10, 2, rgba(5, 5, 5, 255));
  LICE_MemBitmap dst = filled(10, 2, kBg);
  float pts[4 * 2 * 2];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) pts[(r * 4 + c) * 2] = float(c * 10) / 3, pts[(r * 4 + c) * 2 + 1] = float(r * 2);
  LICE_TransformBlit(&dst, &src, 0, 0, 10, 2, pts, 4, 2, 1.0f, 0);
  EXPECT_EQ(px(dst, 8, 0), rgba(5, 5, 5, 255));
  EXPECT_EQ(px(dst, 9, 0), kBg);  // the last cell ends at 9
  LICE_MemBitmap none = filled(10, 2, kBg);
  LICE_TransformBlit(&none, &src, 0, 0, 10, 2, pts, 1, 2, 1.0f, 0);
  EXPECT_EQ(countNot(none, kBg), 0);
}
