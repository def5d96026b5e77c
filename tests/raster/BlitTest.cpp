#include <gtest/gtest.h>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

// Source pixel (x, y) holds x in red and y in green, fully opaque.
LICE_MemBitmap coordinates(int w, int h)
{
  LICE_MemBitmap bm(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) LICE_PutPixel(&bm, x, y, rgba(x, y, 7, 255), 1.0f, 0);
  return bm;
}

struct ClipCase {
  const char* name;
  int dstx, dsty;
  RECT src;
  bool useRect;
  // Expected: destination column/row of source (0, 0) and drawn size.
  int firstSrcX, firstSrcY, atX, atY, w, h;
};

class RasterBlitClip : public ::testing::TestWithParam<ClipCase> {};

TEST_P(RasterBlitClip, PutsTheRemainingPixelsWhereTheyWouldHaveLanded)
{
  const ClipCase& c = GetParam();
  LICE_MemBitmap src = coordinates(20, 12);
  LICE_MemBitmap dst = filled(16, 10, rgba(0, 0, 0, 1));
  LICE_Blit(&dst, &src, c.dstx, c.dsty, c.useRect ? &c.src : nullptr, 1.0f, 0);
  EXPECT_EQ(countNot(dst, rgba(0, 0, 0, 1)), c.w * c.h);
  if (c.w > 0 && c.h > 0) {
    EXPECT_EQ(px(dst, c.atX, c.atY), rgba(c.firstSrcX, c.firstSrcY, 7, 255));
    EXPECT_EQ(px(dst, c.atX + c.w - 1, c.atY + c.h - 1),
              rgba(c.firstSrcX + c.w - 1, c.firstSrcY + c.h - 1, 7, 255));
  }
}

const ClipCase kClipCases[] = {
    {"NegativeSourceLeftShiftsDest", 0, 0, {-5, 0, 10, 10}, true, 0, 0, 5, 0, 10, 10},
    {"NegativeDestSkipsColumns", -3, 0, {}, false, 3, 0, 0, 0, 16, 10},
    {"NegativeBoth", -2, -4, {-1, -1, 6, 6}, true, 1, 3, 0, 0, 5, 3},
    {"OversizedSourceRect", 2, 1, {0, 0, 500, 500}, true, 0, 0, 2, 1, 14, 9},
    {"SourceRectPastSource", 0, 0, {18, 10, 40, 40}, true, 18, 10, 0, 0, 2, 2},
    {"DestAtWidth", 16, 0, {}, false, 0, 0, 0, 0, 0, 0},
    {"DestAtHeight", 0, 10, {}, false, 0, 0, 0, 0, 0, 0},
    {"InvertedRect", 0, 0, {5, 5, 2, 2}, true, 0, 0, 0, 0, 0, 0},
    {"FarNegative", -1000000, -1000000, {}, false, 0, 0, 0, 0, 0, 0},
    {"WhollyLeftOfSource", 0, 0, {-30, 0, -20, 5}, true, 0, 0, 0, 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Rects, RasterBlitClip, ::testing::ValuesIn(kClipCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST(RasterBlit, HalfOpacityCopyHalvesEachWordAlphaIncluded)
{
  LICE_MemBitmap src = filled(3, 2, rgba(255, 1, 255, 1));
  LICE_MemBitmap dst = filled(3, 2, rgba(255, 1, 0, 255));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 0.5f, 0);
  EXPECT_EQ(px(dst, 2, 1), rgba(254, 0, 127, 127));
}

TEST(RasterBlit, ChannelCopyMovesOneByte)
{
  LICE_MemBitmap src = filled(2, 2, rgba(10, 20, 30, 40));
  LICE_MemBitmap dst = filled(2, 2, rgba(1, 2, 3, 4));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 0.3f, 0xF1);  // red into alpha
  EXPECT_EQ(px(dst, 1, 1), rgba(1, 2, 3, 10));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0xF0 | 0 | (3 << 2));  // alpha into blue
  EXPECT_EQ(px(dst, 0, 0), rgba(1, 2, 40, 10));
}

TEST(RasterBlit, OpacityRoundingAndFilterBits)
{
  LICE_MemBitmap src = filled(2, 2, rgba(10, 20, 30, 40));
  LICE_MemBitmap dst = filled(2, 2, rgba(1, 2, 3, 4));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 0.002f, 0);
  EXPECT_EQ(px(dst, 0, 0), rgba(1, 2, 3, 4));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 0.0f, 0);
  EXPECT_EQ(px(dst, 0, 0), rgba(1, 2, 3, 4));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.001f, 0);
  EXPECT_EQ(px(dst, 0, 0), rgba(10, 20, 30, 40));
  LICE_Clear(&dst, rgba(1, 2, 3, 4));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0x100);
  EXPECT_EQ(px(dst, 1, 1), rgba(10, 20, 30, 40));
  LICE_Clear(&dst, rgba(1, 2, 3, 4));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 7);
  EXPECT_EQ(px(dst, 1, 1), rgba(1, 2, 3, 4));
}

TEST(RasterBlit, SourceAlphaLeavesTransparentAndOverwritesOpaque)
{
  LICE_MemBitmap src(3, 1, 4);
  LICE_PutPixel(&src, 0, 0, rgba(200, 100, 50, 0), 1.0f, 0);
  LICE_PutPixel(&src, 1, 0, rgba(200, 100, 50, 255), 1.0f, 0);
  LICE_PutPixel(&src, 2, 0, rgba(200, 100, 50, 128), 1.0f, 0);
  LICE_MemBitmap dst = filled(3, 1, rgba(0, 0, 0, 200));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0x10000);
  EXPECT_EQ(px(dst, 0, 0), rgba(0, 0, 0, 200));
  EXPECT_EQ(px(dst, 1, 0), rgba(200, 100, 50, 255));
  EXPECT_EQ(px(dst, 2, 0), rgba(101, 51, 26, 255));
}

// Every combiner's blit loop gives exactly the single-pixel result.
TEST(RasterBlit, EveryModeMatchesTheSinglePixelCombiner)
{
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 0x100};
  const float alphas[] = {1.0f, 0.75f, 0.3f, 0.01f};
  LICE_MemBitmap src(37, 5, 4), base(37, 5, 4);
  pattern(src, 3);
  pattern(base, 4);
  for (int mode : modes)
    for (float alpha : alphas) {
      LICE_MemBitmap dst(37, 5, 4);
      LICE_Copy(&dst, &base);
      LICE_Blit(&dst, &src, 0, 0, nullptr, alpha, mode);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x)
          ASSERT_EQ(px(dst, x, y), LICE_CombinePixels(px(base, x, y), px(src, x, y), alpha, mode))
              << "mode " << mode << " alpha " << alpha << " at " << x << "," << y;
    }
}

TEST(RasterBlit, FlippedBitmapsAreAddressedBottomUp)
{
  LICE_MemBitmap src = coordinates(4, 3);
  FlippedBitmap dst(4, 3, 4);
  LICE_Clear(&dst, 0);
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0);
  EXPECT_EQ(px(dst, 1, 0), rgba(1, 0, 7, 255));
  EXPECT_EQ(dst.getBits()[2 * dst.getRowSpan() + 1], rgba(1, 0, 7, 255));  // last memory row
}

TEST(RasterBlit, OverlappingSelfCopyReadsBeforeWriting)
{
  LICE_MemBitmap bm = coordinates(8, 8);
  LICE_Blit(&bm, &bm, 1, 2, 0, 0, 6, 5, 1.0f, 0);
  EXPECT_EQ(px(bm, 1, 2), rgba(0, 0, 7, 255));
  EXPECT_EQ(px(bm, 6, 6), rgba(5, 4, 7, 255));
  LICE_Blit(&bm, &bm, 0, 0, 1, 1, 7, 7, 1.0f, 0);
  EXPECT_EQ(px(bm, 0, 0), rgba(1, 1, 7, 255));
}

TEST(RasterBlit, CopyResizesTheDestination)
{
  LICE_MemBitmap src = coordinates(5, 3);
  LICE_MemBitmap dst(1, 1, 4);
  LICE_Copy(&dst, &src);
  EXPECT_EQ(dst.getWidth(), 5);
  EXPECT_EQ(LICE_BitmapCmp(&dst, &src), 0);
  LICE_SysBitmap sys(10, 10);
  LICE_Copy(&sys, &src);
  EXPECT_EQ(sys.getRowSpan(), 12);  // keeps the larger context
  EXPECT_EQ(LICE_BitmapCmp(&sys, &src), 0);
  LICE_Copy(nullptr, &src);
  LICE_Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, 0);
}
