#include <gtest/gtest.h>

#include <array>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

struct DashCase {
  const char* name;
  int x1, y1, x2, y2, dash, gap;
  float alpha;
  Points expected;
};

class RasterDashedLine : public ::testing::TestWithParam<DashCase> {};

TEST_P(RasterDashedLine, DrawsTheHalfOpenPattern)
{
  const DashCase& c = GetParam();
  LICE_MemBitmap bm = filled(12, 12, 0);
  LICE_DashedLine(&bm, c.x1, c.y1, c.x2, c.y2, c.dash, c.gap, kInk, c.alpha, 0, false);
  EXPECT_EQ(inked(bm), c.expected);
}

const DashCase kDashCases[] = {
    {"Horizontal", 0, 0, 10, 0, 2, 3, 1.0f, {{0, 0}, {1, 0}, {5, 0}, {6, 0}}},
    {"Reversed", 10, 0, 0, 0, 2, 3, 0.5f, {{0, 0}, {1, 0}, {5, 0}, {6, 0}}},
    {"Slanted", 0, 0, 5, 5, 2, 1, 1.0f, {}},
    {"Dotted", 3, 0, 3, 3, 1, 1, 1.0f, {{3, 0}, {3, 2}}},
    {"DottedSinglePoint", 3, 3, 3, 3, 1, 1, 1.0f, {}},
    {"VerticalDashes", 4, 1, 4, 9, 3, 2, 1.0f, {{4, 1}, {4, 2}, {4, 3}, {4, 6}, {4, 7}, {4, 8}}},
    {"ClippedAtEdge", -5, 2, 20, 2, 4, 4, 1.0f, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {8, 2}, {9, 2}, {10, 2}}},
    {"ZeroDashDrawsNothing", 0, 0, 10, 0, 0, 0, 1.0f, {}},
    {"NegativeDashDrawsNothing", 0, 0, 10, 0, -2, -3, 1.0f, {}},
    {"NegativeGapIsNoGap", 0, 1, 5, 1, 2, -7, 1.0f, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
};

INSTANTIATE_TEST_SUITE_P(Patterns, RasterDashedLine, ::testing::ValuesIn(kDashCases), CaseName());

}  // namespace

TEST(RasterLine, GeneralWalkIsSymmetricFromBothEnds)
{
  const Points expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 3}, {10, 3}};
  LICE_MemBitmap a = filled(12, 5, 0), b = filled(12, 5, 0);
  LICE_Line(&a, 0, 0, 10, 3, kInk, 1.0f, 0, false);
  LICE_Line(&b, 10, 3, 0, 0, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(a), expected);
  EXPECT_EQ(inked(b), expected);
}

TEST(RasterLine, PointsRunsAndDiagonals)
{
  LICE_MemBitmap point = filled(8, 8, 0), run = filled(8, 8, 0), diagonal = filled(8, 8, 0);
  LICE_Line(&point, 3, 3, 3, 3, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(point), (Points{{3, 3}}));
  LICE_Line(&run, 2, 6, 2, 1, kInk, 1.0f, 0, true);
  EXPECT_EQ(inked(run), (Points{{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}}));
  LICE_Line(&diagonal, 6, 1, 1, 6, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(diagonal), (Points{{6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}}));
}

TEST(RasterLine, ClippingRejectsAndTrims)
{
  LICE_MemBitmap bm = filled(4, 4, 0);
  LICE_Line(&bm, -5, 5, 5, 5, kInk, 1.0f, 0, false);
  EXPECT_TRUE(inked(bm).empty());
  LICE_Line(&bm, -5, 2, 5, 2, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm), (Points{{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
  // Leaves through the right edge on column w - 1, at the row where it crosses x = w.
  using Seg = std::array<int, 4>;
  using FSeg = std::array<float, 4>;
  Seg right{0, 0, 8, 2}, diagonal{10, 10, 20, 20};
  EXPECT_TRUE(LICE_ClipLine(&right[0], &right[1], &right[2], &right[3], 0, 0, 4, 4));
  EXPECT_EQ(right, (Seg{0, 0, 3, 1}));
  EXPECT_TRUE(LICE_ClipLine(&diagonal[0], &diagonal[1], &diagonal[2], &diagonal[3], 12, 12, 15, 15));
  EXPECT_EQ(diagonal, (Seg{12, 12, 14, 14}));
  FSeg f{-1, 1, 20, 1}, hostile{0, 0, 1e30f, 0.0f / 0.0f};
  EXPECT_TRUE(LICE_ClipFLine(&f[0], &f[1], &f[2], &f[3], 0, 0, 10, 10));
  EXPECT_EQ(f, (FSeg{0, 1, 8, 1}));
  EXPECT_FALSE(LICE_ClipFLine(&hostile[0], &hostile[1], &hostile[2], &hostile[3], 0, 0, 10, 10));
}

TEST(RasterLine, WordHalfMixDiffersFromTheChannelHalfMix)
{
  LICE_MemBitmap word = filled(3, 1, rgba(1, 1, 1, 1)), chan = filled(3, 1, rgba(1, 1, 1, 1));
  LICE_Line(&word, 0, 0, 2, 0, rgba(1, 1, 1, 1), 0.5f, 0, false);
  LICE_Line(&chan, 0, 0, 2, 0, rgba(1, 1, 1, 1), 0.5001f, 0, false);
  EXPECT_EQ(px(word, 1, 0), 0u);  // (1 >> 1) + (1 >> 1)
  EXPECT_EQ(px(chan, 1, 0), rgba(1, 1, 1, 1));  // (1 + 1) >> 1
}

TEST(RasterLine, AntiAliasedDiagonalPutsThreeQuartersOnTheLine)
{
  LICE_MemBitmap bm = filled(6, 6, 0);
  LICE_Line(&bm, 1, 1, 4, 4, rgba(255, 255, 255, 255), 1.0f, 0, true);
  EXPECT_PIXELS(bm, {2, 2, rgba(190, 190, 190, 190)}, {3, 2, rgba(63, 63, 63, 63)}, {2, 3, rgba(63, 63, 63, 63)},
                {1, 3, 0});
  LICE_MemBitmap other = filled(6, 6, 0);
  LICE_Line(&other, 1, 1, 4, 4, rgba(255, 255, 255, 255), 0.9f, 1, true);
  EXPECT_PIXELS(other, {2, 2, rgba(171, 171, 171, 171)}, {3, 2, rgba(56, 56, 56, 56)});
}

TEST(RasterLine, AntiAliasedWalkSplitsTheWeight)
{
  LICE_MemBitmap bm = filled(12, 5, 0);
  LICE_Line(&bm, 0, 0, 10, 2, rgba(255, 0, 0, 255), 1.0f, 1, true);
  // Column 1 at 0.2 of a pixel: f = 13107 >> 8 = 51.
  EXPECT_PIXELS(bm, {0, 0, rgba(255, 0, 0, 255)}, {10, 2, rgba(255, 0, 0, 255)}, {1, 0, rgba(203, 0, 0, 203)},
                {1, 1, rgba(50, 0, 0, 50)});
}

TEST(RasterLine, FlippedRowsAndNothingBelowOneStepOrAboveModeFive)
{
  FlippedBitmap flipped(4, 4, 4);  // flipped bitmaps mirror rows
  LICE_Clear(&flipped, 0);
  LICE_Line(&flipped, 0, 0, 3, 0, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(flipped), (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
  LICE_MemBitmap bm = filled(6, 6, 0);
  LICE_Line(&bm, 0, 0, 5, 3, kInk, 0.003f, 0, false);
  LICE_Line(&bm, 0, 0, 5, 3, kInk, 1.0f, 6, false);
  LICE_Line(&bm, 0, 0, 5, 0, kInk, 1.0f, 6, false);
  LICE_Line(&bm, 0, 0, 5, 5, kInk, 0.5f, 9, true);
  LICE_FLine(&bm, 0, 0, 5, 3, kInk, 1.0f, 6, true);
  EXPECT_TRUE(inked(bm).empty());
}

TEST(RasterFLine, SubPixelWalk)
{
  LICE_MemBitmap bm = filled(6, 6, 0);
  LICE_FLine(&bm, 1, 1, 1, 1, kInk, 1.0f, 0, true);
  LICE_FLine(&bm, 1.2f, 1, 1.8f, 1.2f, kInk, 1.0f, 0, true);
  EXPECT_TRUE(inked(bm).empty());
  LICE_FLine(&bm, 0.8f, 1.5f, 1.2f, 1.5f, rgba(255, 255, 255, 255), 1.0f, 0, true);
  EXPECT_EQ(inked(bm), (Points{{1, 1}, {1, 2}}));
  EXPECT_PIXELS(bm, {1, 1, rgba(127, 127, 127, 127)}, {1, 2, rgba(128, 128, 128, 128)});
  LICE_MemBitmap plain = filled(6, 6, 0);
  LICE_FLine(&plain, 0.7f, 0.2f, 4.9f, 0.9f, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(plain).size(), 5u);
}

TEST(RasterBezier, QuadraticHelperFindsYAndT)
{
  double t = -1;
  EXPECT_DOUBLE_EQ(LICE_Bezier_GetY(0, 5, 10, 0, 10, 0, -1, &t), 0);
  EXPECT_EQ(t, 0);
  // Evenly spaced abscissae take the chord's y, whatever the control point's.
  EXPECT_DOUBLE_EQ(LICE_Bezier_GetY(0, 5, 10, 0, 10, 0, 5, &t), 0);
  EXPECT_DOUBLE_EQ(t, 0.5);
  EXPECT_DOUBLE_EQ(LICE_Bezier_GetY(0, 2, 10, 0, 0, 8, 10, &t), 8);
  EXPECT_EQ(t, 1);
  // x(t) = 2 t (1 - t) + 10 t^2 = 4 at t = (sqrt(33) - 1) / 8.
  EXPECT_NEAR(LICE_Bezier_GetY(0, 1, 10, 0, 0, 8, 4, &t), 8 * 0.5930703308 * 0.5930703308, 1e-6);
  EXPECT_NEAR(t, 0.5930703308, 1e-9);
}

TEST(RasterBezier, CubicHelperOnAStraightCurve)
{
  double next = 0, slope = 0, lo = -1, hi = -1;
  EXPECT_DOUBLE_EQ(LICE_CBezier_GetY(0, 10, 20, 30, 0, 10, 20, 30, -5, &next, &slope, &lo, &hi), 0);
  EXPECT_EQ(next, 0);
  EXPECT_EQ(slope, 0);
  EXPECT_EQ(lo, -1);  // untouched outside the curve
  EXPECT_NEAR(LICE_CBezier_GetY(0, 10, 20, 30, 0, 10, 20, 30, 12.3, &next, &slope, &lo, &hi), 12.3, 1e-9);
  EXPECT_NEAR(slope, 1.0, 1e-9);
  EXPECT_LE(lo, 12.3 / 30);
  EXPECT_GE(hi, 12.3 / 30);
  EXPECT_DOUBLE_EQ(LICE_CBezier_GetY(0, 10, 20, 30, 0, 10, 20, 30, 30, &next), 30);
}

TEST(RasterBezier, CurvesDrawTheirSegmentsAndClip)
{
  LICE_MemBitmap curve = filled(20, 20, 0), line = filled(20, 20, 0);
  LICE_DrawQBezier(&curve, 2, 3, 8, 3, 14, 3, kInk, 1.0f, 0, false, 1.0);
  LICE_Line(&line, 2, 3, 14, 3, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(curve), inked(line));
  // Starting left of column 0 begins at column 0, at the curve's y there.
  LICE_MemBitmap clipped = filled(20, 20, 0);
  LICE_DrawQBezier(&clipped, -10, 0, 0, 10, 10, 20, kInk, 1.0f, 0, false, 1.0);
  EXPECT_EQ(px(clipped, 0, 10), kInk);
  for (const auto& [x, y] : inked(clipped)) EXPECT_GE(y, 10);
  LICE_MemBitmap cubic = filled(40, 40, 0);
  LICE_DrawCBezier(&cubic, 2, 30, 10, 0, 25, 0, 35, 30, kInk, 1.0f, 0, false, 2.0);
  EXPECT_PIXELS(cubic, {2, 30, kInk}, {35, 30, kInk});
  EXPECT_TRUE(px(cubic, 18, 8) || px(cubic, 18, 7) || px(cubic, 18, 9));
}

TEST(RasterBezier, FillsReachTheBaseLine)
{
  LICE_MemBitmap bm = filled(40, 40, 0);
  LICE_FillCBezier(&bm, 0, 10, 10, 10, 20, 10, 30, 10, 20, kInk, 1.0f, 0, 1.0);
  EXPECT_PIXELS(bm, {15, 10, kInk}, {15, 20, kInk}, {15, 22, 0}, {15, 9, 0});
  LICE_MemBitmap side = filled(40, 40, 0);
  LICE_FillCBezierX(&side, 10, 0, 10, 10, 10, 20, 10, 30, 20, kInk, 1.0f, 0, 1.0);
  EXPECT_PIXELS(side, {10, 15, kInk}, {20, 15, kInk}, {22, 15, 0}, {9, 15, 0});
  GuardedBitmap guarded(16, 16);
  LICE_FillCBezier(&guarded, -20, 40, 0, -30, 30, 60, 50, -10, 8, kInk, 0.7f, 1, 0.5);
  LICE_FillCBezierX(&guarded, -20, 40, 0, -30, 30, 60, 50, -10, 8, kInk, 0.7f, 1, 0.5);
  EXPECT_TRUE(guarded.guardsIntact());
}
