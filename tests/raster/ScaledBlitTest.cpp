#include <gtest/gtest.h>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

// A one-row ramp, red ten a column, scaled into a one-row destination.
void scaledRow(LICE_IBitmap* b, int srcw, int dstx, int dstw, float srcx, float srcspan, int mode = 0)
{
  LICE_MemBitmap src = ramp(srcw, 1, 10, 0);
  LICE_ScaledBlit(b, &src, dstx, 0, dstw, 1, srcx, 0, srcspan, 1, 1.0f, mode);
}

const LICE_pixel kRed490 = rgba(490 & 255, 0, 0, 255);

const DrawCase kRows[] = {
    // Step 2.5: the last sample, at 10, would lie on the source edge and is not drawn.
    {"TrimLeavesTheLastPixelAtTheSourceEdgeUndrawn", 8, 1, [](auto b) { scaledRow(b, 10, 0, 5, 0, 12.5f); },
     boxes({{0, 0, 2, 0}}), {{0, 0, rgba(0, 0, 0, 255)}, {1, 0, rgba(20, 0, 0, 255)}, {2, 0, rgba(50, 0, 0, 255)}},
     kBg},
    {"TrimKeepsASampleInside", 8, 1, [](auto b) { scaledRow(b, 10, 0, 4, 0, 10); }, boxes({{0, 0, 3, 0}}),
     {{3, 0, rgba(70, 0, 0, 255)}}, kBg},
    // Equal sizes copy whole source pixels; bilinear from a half-pixel start interpolates.
    {"EqualSizesTakeThePlainBlit", 6, 1, [](auto b) { scaledRow(b, 10, 0, 4, 2.4f, 4); }, boxes({{0, 0, 3, 0}}),
     {{0, 0, rgba(20, 0, 0, 255)}}, kBg},
    {"EqualSizesBilinearInterpolates", 6, 1, [](auto b) { scaledRow(b, 10, 0, 4, 0.5f, 4, 0x100); },
     boxes({{0, 0, 3, 0}}), {{0, 0, rgba(5, 0, 0, 255)}, {3, 0, rgba(35, 0, 0, 255)}}, kBg},
    // Mirroring samples pixel corners: x = 50 is at the limit.
    {"MirrorSamplesPixelCorners", 100, 1, [](auto b) { scaledRow(b, 50, 100, -100, 0, 50); }, boxes({{1, 0, 99, 0}}),
     {{1, 0, kRed490}, {99, 0, rgba(0, 0, 0, 255)}}, kBg},
    {"NegativeOnBothSidesIsNoMirror", 100, 1, [](auto b) { scaledRow(b, 50, 100, -100, 50, -50); }, std::nullopt,
     {{0, 0, rgba(0, 0, 0, 255)}, {99, 0, kRed490}}, kBg},
};

INSTANTIATE_TEST_SUITE_P(Rows, RasterDrawing, ::testing::ValuesIn(kRows), CaseName);

}  // namespace

TEST(RasterScaledBlit, BilinearEnlargementRepeatsTheCornerPixel)
{
  LICE_MemBitmap src = filled(2, 2, 0);
  LICE_PutPixel(&src, 1, 0, rgba(200, 0, 0, 0), 1.0f, 0);
  LICE_PutPixel(&src, 0, 1, rgba(0, 200, 0, 0), 1.0f, 0);
  LICE_PutPixel(&src, 1, 1, rgba(200, 200, 100, 255), 1.0f, 0);
  LICE_MemBitmap dst = filled(4, 4, kBg);
  LICE_ScaledBlit(&dst, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0x100);
  EXPECT_PIXELS(dst, {0, 0, rgba(0, 0, 0, 0)}, {1, 0, rgba(100, 0, 0, 0)},  // along the top row
                {1, 1, rgba(100, 100, 25, 63)},                                // four taps
                {3, 1, rgba(200, 100, 50, 127)},                               // down the last column
                {1, 3, rgba(100, 200, 50, 127)},                               // along the last row
                {3, 3, rgba(200, 200, 100, 255)});                             // the corner, unfiltered
}

TEST(RasterScaledBlit, ShrinkingAveragesBoxesThatStayInsideTheSource)
{
  LICE_MemBitmap src = filled(400, 400, rgba(100, 100, 100, 255));
  LICE_PutPixel(&src, 0, 0, rgba(225, 100, 100, 255), 1.0f, 0);
  LICE_MemBitmap dst = filled(100, 100, kBg);
  LICE_ScaledBlit(&dst, &src, 0, 0, 100, 100, 0, 0, 400, 400, 1.0f, 0x100);
  // 5 x 5 box at the corner: only the 3 x 3 inside the source counts.
  EXPECT_PIXELS(dst, {0, 0, rgba(113, 100, 100, 255)}, {50, 50, rgba(100, 100, 100, 255)});
  LICE_MemBitmap src2 = filled(200, 200, rgba(90, 90, 90, 255));
  LICE_PutPixel(&src2, 0, 0, rgba(0, 90, 90, 255), 1.0f, 0);
  LICE_ScaledBlit(&dst, &src2, 0, 0, 100, 100, 0, 0, 200, 200, 1.0f, 0x100);
  EXPECT_EQ(px(dst, 0, 0), rgba(67, 90, 90, 255));  // 3 x 3 box: 4 pixels inside
}

TEST(RasterScaledBlit, WordWiseHalfMixAndChannelQuarter)
{
  LICE_MemBitmap src = filled(4, 4, rgba(255, 1, 255, 1));
  LICE_MemBitmap dst = filled(8, 8, rgba(255, 1, 0, 255));
  LICE_ScaledBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 4, 4, 0.5f, 0);
  EXPECT_EQ(px(dst, 5, 5), rgba(254, 0, 127, 127));  // word-wise half mix
  LICE_ScaledBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 4, 4, 0.25f, 0);
  LICE_ScaledBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 4, 4, 1.0f, 6);  // draws nothing
  EXPECT_EQ(px(dst, 5, 5), rgba(255, 1, 159, 95));
}

TEST(RasterScaledBlit, ClippedDestinationKeepsTheVisiblePixels)
{
  LICE_MemBitmap src = ramp(20, 20, 10, 0);
  LICE_MemBitmap whole = filled(40, 40, kBg), clipped = filled(30, 30, kBg);
  LICE_ScaledBlit(&whole, &src, 0, 0, 40, 40, 0, 0, 20, 20, 1.0f, 0);
  LICE_ScaledBlit(&clipped, &src, -10, -10, 40, 40, 0, 0, 20, 20, 1.0f, 0);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(px(clipped, x, y), px(whole, x + 10, y + 10));
}

// Opaque sources: the wide bilinear row kernel of the plain copy and the
// per-pixel path of the source-alpha copy must agree on every pixel, edges
// included, from whole and fractional starts, enlarging or shrinking.
TEST(RasterScaledBlit, BilinearKernelMatchesThePerPixelPath)
{
  LICE_MemBitmap src = patterned(80, 9, 5);
  LICE_ClearRect(&src, 0, 0, 80, 9, 0xFFFFFFFFu, rgba(0, 0, 0, 255));
  for (float srcw : {12.1f, 2.5f, 0.01f, 77.0f})
    for (float srcx : {0.0f, 0.3f}) {
      LICE_MemBitmap wide = filled(41, 23, kBg), single = filled(41, 23, kBg);
      LICE_ScaledBlit(&wide, &src, 0, 0, 41, 23, srcx, srcx, srcw, 8.4f, 1.0f, 0x100);
      LICE_ScaledBlit(&single, &src, 0, 0, 41, 23, srcx, srcx, srcw, 8.4f, 1.0f, 0x10100);
      EXPECT_EQ(LICE_BitmapCmp(&wide, &single), 0) << srcw << " from " << srcx;
      EXPECT_GT(countNot(wide, kBg), 40 * 22) << srcw << " from " << srcx;
    }
}
