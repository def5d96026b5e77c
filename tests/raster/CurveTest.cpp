#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

constexpr LICE_pixel kInk = 0xFFFFFFFFu;


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

INSTANTIATE_TEST_SUITE_P(Patterns, RasterDashedLine, ::testing::ValuesIn(kDashCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

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
  LICE_Bezier_GetY(0, 1, 10, 0, 0, 8, 4, &t);
  EXPECT_NEAR(2 * (1 - t) * t * 1 + t * t * 10, 4, 1e-9);
}

TEST(RasterBezier, StraightQuadraticIsTheSegment)
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
}

TEST(RasterBezier, CubicHelperBisectsEightTimes)
{
  double next = 0, slope = 0, lo = -1, hi = -1;
  EXPECT_DOUBLE_EQ(LICE_CBezier_GetY(0, 10, 20, 30, 0, 10, 20, 30, -5, &next, &slope, &lo, &hi), 0);
  EXPECT_EQ(next, 0);
  EXPECT_EQ(slope, 0);
  EXPECT_EQ(lo, -1);  // untouched outside the curve
  const double y = LICE_CBezier_GetY(0, 10, 20, 30, 0, 10, 20, 30, 12.3, &next, &slope, &lo, &hi);
  EXPECT_NEAR(y, 12.3, 1e-9);
  EXPECT_NEAR(slope, 1.0, 1e-9);
  EXPECT_LE(hi - lo, 1.0 / 256 + 1e-12);
  EXPECT_DOUBLE_EQ(LICE_CBezier_GetY(0, 10, 20, 30, 0, 10, 20, 30, 30, &next), 30);
}

TEST(RasterBezier, CubicCurveMeetsItsEnds)
{
  LICE_MemBitmap bm = filled(40, 40, 0);
  LICE_DrawCBezier(&bm, 2, 30, 10, 0, 25, 0, 35, 30, kInk, 1.0f, 0, false, 2.0);
  EXPECT_EQ(px(bm, 2, 30), kInk);
  EXPECT_EQ(px(bm, 35, 30), kInk);
  EXPECT_TRUE(px(bm, 18, 8) || px(bm, 18, 7) || px(bm, 18, 9));
}

TEST(RasterBezier, FillsReachTheBaseLine)
{
  LICE_MemBitmap bm = filled(40, 40, 0);
  LICE_FillCBezier(&bm, 0, 10, 10, 10, 20, 10, 30, 10, 20, kInk, 1.0f, 0, 1.0);
  EXPECT_EQ(px(bm, 15, 10), kInk);
  EXPECT_EQ(px(bm, 15, 20), kInk);
  EXPECT_EQ(px(bm, 15, 22), 0u);
  EXPECT_EQ(px(bm, 15, 9), 0u);
  LICE_MemBitmap side = filled(40, 40, 0);
  LICE_FillCBezierX(&side, 10, 0, 10, 10, 10, 20, 10, 30, 20, kInk, 1.0f, 0, 1.0);
  EXPECT_EQ(px(side, 10, 15), kInk);
  EXPECT_EQ(px(side, 20, 15), kInk);
  EXPECT_EQ(px(side, 22, 15), 0u);
  EXPECT_EQ(px(side, 9, 15), 0u);
  GuardedBitmap guarded(16, 16);
  LICE_FillCBezier(&guarded, -20, 40, 0, -30, 30, 60, 50, -10, 8, kInk, 0.7f, 1, 0.5);
  LICE_FillCBezierX(&guarded, -20, 40, 0, -30, 30, 60, 50, -10, 8, kInk, 0.7f, 1, 0.5);
  EXPECT_TRUE(guarded.guardsIntact());
}
