#include <gtest/gtest.h>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {
// Three columns of coverage 255, 128, 64; the fourth byte of each row is
// outside the glyph and must never be read as coverage.
const unsigned char kMask[] = {255, 128, 64, 255, 255, 128, 64, 255};
}  // namespace

TEST(RasterGlyph, CoverageWeighsTheColour)
{
  LICE_MemBitmap bm = filled(6, 4, 0);
  LICE_DrawGlyphEx(&bm, 1, 1, rgba(255, 255, 255, 255), kMask, 3, 4, 2, 1.0f, 1);
  EXPECT_EQ(px(bm, 1, 1), rgba(254, 254, 254, 254));  // weight 255, not 256
  EXPECT_EQ(px(bm, 2, 1), rgba(127, 127, 127, 127));
  EXPECT_EQ(px(bm, 3, 2), rgba(63, 63, 63, 63));
  EXPECT_EQ(px(bm, 4, 1), 0u);
  EXPECT_EQ(countNot(bm, 0), 6);
}

TEST(RasterGlyph, ClipsAgainstEveryEdge)
{
  LICE_MemBitmap bm = filled(4, 3, 0);
  LICE_DrawGlyphEx(&bm, -2, 0, rgba(255, 0, 0, 255), kMask, 3, 4, 2, 1.0f, 0);
  EXPECT_EQ(px(bm, 0, 0), rgba(64, 0, 0, 64));  // the third column lands at 0
  EXPECT_EQ(countNot(bm, 0), 2);
  LICE_Clear(&bm, 0);
  LICE_DrawGlyphEx(&bm, 2, 2, rgba(255, 0, 0, 255), kMask, 3, 4, 2, 1.0f, 0);
  EXPECT_EQ(countNot(bm, 0), 2);
  LICE_Clear(&bm, 0);
  const int places[][2] = {{4, 0}, {0, 3}, {-3, 0}, {0, -2}, {-100, -100}};
  for (const auto& p : places) LICE_DrawGlyphEx(&bm, p[0], p[1], 0xFFFFFFFFu, kMask, 3, 4, 2, 1.0f, 0);
  LICE_DrawGlyph(&bm, 0, 0, 0xFFFFFFFFu, kMask, 3, 2, 0.0f, 0);
  LICE_DrawGlyph(&bm, 0, 0, 0xFFFFFFFFu, kMask, 3, 2, 1.0f, 6);
  LICE_DrawGlyph(nullptr, 0, 0, 0xFFFFFFFFu, kMask, 3, 2, 1.0f, 0);
  EXPECT_EQ(countNot(bm, 0), 0);
}

TEST(RasterGlyph, FlippedBitmapsGetTheMaskUpright)
{
  FlippedBitmap bm(3, 2, 4);
  LICE_Clear(&bm, 0);
  const unsigned char mask[] = {255, 0, 0, 0, 0, 255};
  LICE_DrawGlyph(&bm, 0, 0, rgba(255, 255, 255, 255), mask, 3, 2, 1.0f, 0);
  EXPECT_NE(px(bm, 0, 0), 0u);
  EXPECT_NE(px(bm, 2, 1), 0u);
  EXPECT_NE(bm.getBits()[bm.getRowSpan()], 0u);  // image row 0 is the last memory row
}
