#include <gtest/gtest.h>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

using rastertest::PrintTo;

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
  LICE_MemBitmap src = ramp(20, 12);
  LICE_MemBitmap dst = filled(16, 10, kBg);
  LICE_Blit(&dst, &src, c.dstx, c.dsty, c.useRect ? &c.src : nullptr, 1.0f, 0);
  EXPECT_EQ(countNot(dst, kBg), c.w * c.h);
  if (c.w > 0 && c.h > 0)
    EXPECT_PIXELS(dst, {c.atX, c.atY, rgba(c.firstSrcX, c.firstSrcY, 7, 255)},
                  {c.atX + c.w - 1, c.atY + c.h - 1, rgba(c.firstSrcX + c.w - 1, c.firstSrcY + c.h - 1, 7, 255)});
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

INSTANTIATE_TEST_SUITE_P(Rects, RasterBlitClip, ::testing::ValuesIn(kClipCases), CaseName);

// One colour blitted over another: every pixel of the destination gets the
// same result, whichever loop or row kernel the opacity and mode pick.
class RasterBlitOpacity : public ::testing::TestWithParam<CombineCase> {};

TEST_P(RasterBlitOpacity, CombinesEveryPixel)
{
  const CombineCase& c = GetParam();
  LICE_MemBitmap src = filled(5, 3, c.src), dst = filled(5, 3, c.dest);
  LICE_Blit(&dst, &src, 0, 0, nullptr, c.alpha, c.mode);
  EXPECT_EQ(countNot(dst, c.expected), 0) << std::hex << px(dst, 0, 0);
}

const LICE_pixel kSrc = rgba(10, 20, 30, 40), kDst = rgba(1, 2, 3, 4);

const CombineCase kOpacityCases[] = {
    // Half opacity halves each word, alpha included: (255 >> 1) + (255 >> 1) = 254.
    {"HalfIsWordWise", rgba(255, 1, 0, 255), rgba(255, 1, 255, 1), 0.5f, 0, rgba(254, 0, 127, 127)},
    {"QuarterBlendsPerChannel", kDst, kSrc, 0.25f, 0, rgba(4, 7, 10, 13)},
    {"BelowOneStepKeeps", kDst, kSrc, 0.002f, 0, kDst},
    {"AboveOneCopies", kDst, kSrc, 1.001f, 0, kSrc},
    {"FilterBitsIgnored", kDst, kSrc, 1.0f, 0x100, kSrc},
    {"UnknownModeKeeps", kDst, kSrc, 1.0f, 7, kDst},
    {"ChannelCopyRedIntoAlpha", kDst, kSrc, 0.3f, 0xF1, rgba(1, 2, 3, 10)},
    {"ChannelCopyAlphaIntoBlue", kDst, kSrc, 1.0f, 0xF0 | (3 << 2), rgba(1, 2, 40, 4)},
    {"SourceAlphaTransparentKeeps", rgba(0, 0, 0, 200), rgba(200, 100, 50, 0), 1.0f, 0x10000, rgba(0, 0, 0, 200)},
    {"SourceAlphaOpaqueReplaces", rgba(0, 0, 0, 200), rgba(200, 100, 50, 255), 1.0f, 0x10000,
     rgba(200, 100, 50, 255)},
    {"SourceAlphaHalfBlends", rgba(0, 0, 0, 200), rgba(200, 100, 50, 128), 1.0f, 0x10000, rgba(101, 51, 26, 255)},
};

INSTANTIATE_TEST_SUITE_P(Opacities, RasterBlitOpacity, ::testing::ValuesIn(kOpacityCases), CaseName);

}  // namespace

// Image row y of a flipped bitmap lies in memory row h - 1 - y.
TEST(RasterFlipped, OperationsAddressImageRowsBottomUp)
{
  LICE_MemBitmap src = ramp(4, 3);
  FlippedBitmap bm(4, 3, 4);
  auto memoryRow = [&](int y) { return bm.getBits() + y * bm.getRowSpan(); };
  LICE_Blit(&bm, &src, 0, 0, nullptr, 1.0f, 0);
  EXPECT_EQ(memoryRow(2)[1], rgba(1, 0, 7, 255));
  EXPECT_EQ(px(bm, 1, 0), rgba(1, 0, 7, 255));
  LICE_FillRect(&bm, 0, 0, 4, 1, 7, 1.0f, 0);
  EXPECT_EQ(memoryRow(2)[3], 7u);
  LICE_ClearRect(&bm, 0, 2, 2, 1, 0, 9);
  EXPECT_EQ(memoryRow(0)[1], 9u);
  LICE_Line(&bm, 0, 0, 3, 0, 8, 1.0f, 0, false);
  EXPECT_EQ(memoryRow(2)[3], 8u);
  const unsigned char diagonal[] = {255, 0, 0, 0, 0, 255};  // the mask stays upright
  LICE_Clear(&bm, 0);
  LICE_DrawGlyph(&bm, 0, 0, kInk, diagonal, 3, 2, 1.0f, 0);
  EXPECT_EQ(inked(bm), (Points{{0, 0}, {2, 1}}));
  EXPECT_NE(memoryRow(2)[0], 0u);
}

TEST(RasterBlit, OverlappingSelfCopyReadsEachRowBeforeOverwritingIt)
{
  LICE_MemBitmap bm = ramp(8, 8);
  LICE_Blit(&bm, &bm, 1, 2, 0, 0, 6, 5, 1.0f, 0);
  EXPECT_PIXELS(bm, {1, 2, rgba(0, 0, 7, 255)}, {6, 6, rgba(5, 4, 7, 255)});
  LICE_Blit(&bm, &bm, 0, 0, 1, 1, 7, 7, 1.0f, 0);
  EXPECT_EQ(px(bm, 0, 0), rgba(1, 1, 7, 255));
}

TEST(RasterBlit, CopyTakesTheSourceSize)
{
  LICE_MemBitmap src = ramp(5, 3), dst(1, 1, 4);
  LICE_Copy(&dst, &src);
  LICE_Copy(nullptr, &src);
  LICE_Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, 0);
  EXPECT_EQ(LICE_BitmapCmp(&dst, &src), 0);
}
