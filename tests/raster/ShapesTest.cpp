#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

TEST_P(RasterDrawing, LeavesExactlyThesePixels)
{
  const DrawCase& c = GetParam();
  GuardedBitmap bm(c.w, c.h, c.bg);
  c.draw(&bm);
  EXPECT_TRUE(bm.guardsIntact());
  if (c.ink) {
    EXPECT_EQ(inked(bm, c.bg), *c.ink);
  }
  expectPixels(bm, c.spots);
}

// The general walk runs from both ends, so the pattern is the same either way.
const Points kWalk = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 3}, {10, 3}};
const Points kDashes = {{0, 0}, {1, 0}, {5, 0}, {6, 0}};
const Points kRing = {{10, 7}, {13, 10}, {10, 13}, {7, 10}, {9, 7},  {9, 13},  {11, 7},  {11, 13},
                      {7, 9},  {7, 11},  {13, 9},  {13, 11}, {8, 8}, {8, 12}, {12, 8}, {12, 12}};

void line(LICE_IBitmap* b, int x1, int y1, int x2, int y2, bool aa = false)
{
  LICE_Line(b, x1, y1, x2, y2, kInk, 1.0f, 0, aa);
}
void dash(LICE_IBitmap* b, int x1, int y1, int x2, int y2, int len, int gap, float alpha = 1.0f)
{
  LICE_DashedLine(b, x1, y1, x2, y2, len, gap, kInk, alpha, 0, false);
}
void circle(LICE_IBitmap* b, float x, float y, float r) { LICE_Circle(b, x, y, r, kInk, 1.0f, 0, false); }
void glyph(LICE_IBitmap* b, int x, int y, LICE_pixel c = kInk, int mode = 0)
{
  LICE_DrawGlyphEx(b, x, y, c, kMask, 3, 4, 2, 1.0f, mode);
}

// Named for the drawing; Points{} expects nothing inked.
const DrawCase kShapeCases[] = {
    {"LineWalk", 12, 5, [](auto b) { line(b, 0, 0, 10, 3); }, kWalk, {}},
    {"LineWalkReversed", 12, 5, [](auto b) { line(b, 10, 3, 0, 0); }, kWalk, {}},
    {"LinePoint", 8, 8, [](auto b) { line(b, 3, 3, 3, 3); }, Points{{3, 3}}, {}},
    {"LineVerticalRun", 8, 8, [](auto b) { line(b, 2, 6, 2, 1, true); }, boxes({{2, 1, 2, 6}}), {}},
    {"LineDiagonal", 8, 8, [](auto b) { line(b, 6, 1, 1, 6); },
     Points{{6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}}, {}},
    {"LineOutsideRejected", 4, 4, [](auto b) { line(b, -5, 5, 5, 5); }, Points{}, {}},
    {"LineClipped", 4, 4, [](auto b) { line(b, -5, 2, 5, 2); }, boxes({{0, 2, 3, 2}}), {}},
    {"LineBelowOneStepOrAboveModeFive", 6, 6,
     [](auto b) {
       LICE_Line(b, 0, 0, 5, 3, kInk, 0.003f, 0, false);
       LICE_Line(b, 0, 0, 5, 3, kInk, 1.0f, 6, false);
       LICE_Line(b, 0, 0, 5, 0, kInk, 1.0f, 6, false);
       LICE_Line(b, 0, 0, 5, 5, kInk, 0.5f, 9, true);
       LICE_FLine(b, 0, 0, 5, 3, kInk, 1.0f, 6, true);
     },
     Points{}, {}},
    // Whole-pixel half mix word-wise, (1 >> 1) + (1 >> 1); just above it per channel, (1 + 1) >> 1.
    {"LineHalfMixWordWise", 3, 1, [](auto b) { LICE_Line(b, 0, 0, 2, 0, 0x01010101u, 0.5f, 0, false); },
     std::nullopt, {{1, 0, 0}}, 0x01010101u},
    {"LineHalfMixPerChannel", 3, 1, [](auto b) { LICE_Line(b, 0, 0, 2, 0, 0x01010101u, 0.5001f, 0, false); },
     Points{}, {}, 0x01010101u},
    // Anti-aliased diagonals put three quarters on the line and a quarter beside it.
    {"LineDiagonalAntiAliased", 6, 6, [](auto b) { line(b, 1, 1, 4, 4, true); }, std::nullopt,
     {{2, 2, rgba(190, 190, 190, 190)}, {3, 2, rgba(63, 63, 63, 63)}, {2, 3, rgba(63, 63, 63, 63)}, {1, 3, 0}}},
    {"LineDiagonalAntiAliasedAdd", 6, 6, [](auto b) { LICE_Line(b, 1, 1, 4, 4, kInk, 0.9f, 1, true); },
     std::nullopt, {{2, 2, rgba(171, 171, 171, 171)}, {3, 2, rgba(56, 56, 56, 56)}}},
    // Column 1 lies 0.2 of a pixel off the walk: f = 13107 >> 8 = 51.
    {"LineWalkAntiAliasedSplitsTheWeight", 12, 5,
     [](auto b) { LICE_Line(b, 0, 0, 10, 2, rgba(255, 0, 0, 255), 1.0f, 1, true); }, std::nullopt,
     {{0, 0, rgba(255, 0, 0, 255)}, {10, 2, rgba(255, 0, 0, 255)}, {1, 0, rgba(203, 0, 0, 203)},
      {1, 1, rgba(50, 0, 0, 50)}}},
    {"FLineShorterThanAStep", 6, 6,
     [](auto b) {
       LICE_FLine(b, 1, 1, 1, 1, kInk, 1.0f, 0, true);
       LICE_FLine(b, 1.2f, 1, 1.8f, 1.2f, kInk, 1.0f, 0, true);
     },
     Points{}, {}},
    {"FLineAcrossAColumn", 6, 6, [](auto b) { LICE_FLine(b, 0.8f, 1.5f, 1.2f, 1.5f, kInk, 1.0f, 0, true); },
     Points{{1, 1}, {1, 2}}, {{1, 1, rgba(127, 127, 127, 127)}, {1, 2, rgba(128, 128, 128, 128)}}},
    {"FLinePlainTruncates", 6, 6, [](auto b) { LICE_FLine(b, 0.7f, 0.2f, 4.9f, 0.9f, kInk, 1.0f, 0, false); },
     boxes({{0, 0, 4, 0}}), {}},
    // Dashes cover the half-open range from start to end.
    {"DashHorizontal", 12, 12, [](auto b) { dash(b, 0, 0, 10, 0, 2, 3); }, kDashes, {}},
    {"DashReversed", 12, 12, [](auto b) { dash(b, 10, 0, 0, 0, 2, 3, 0.5f); }, kDashes, {}},
    {"DashSlantedDrawsNothing", 12, 12, [](auto b) { dash(b, 0, 0, 5, 5, 2, 1); }, Points{}, {}},
    {"Dotted", 12, 12, [](auto b) { dash(b, 3, 0, 3, 3, 1, 1); }, Points{{3, 0}, {3, 2}}, {}},
    {"DottedSinglePoint", 12, 12, [](auto b) { dash(b, 3, 3, 3, 3, 1, 1); }, Points{}, {}},
    {"DashVertical", 12, 12, [](auto b) { dash(b, 4, 1, 4, 9, 3, 2); }, boxes({{4, 1, 4, 3}, {4, 6, 4, 8}}), {}},
    {"DashClippedAtEdge", 12, 12, [](auto b) { dash(b, -5, 2, 20, 2, 4, 4); }, boxes({{0, 2, 3, 2}, {8, 2, 10, 2}}),
     {}},
    {"DashZeroOrNegativeDrawsNothing", 12, 12,
     [](auto b) {
       dash(b, 0, 0, 10, 0, 0, 0);
       dash(b, 0, 0, 10, 0, -2, -3);
     },
     Points{}, {}},
    {"DashNegativeGapIsNoGap", 12, 12, [](auto b) { dash(b, 0, 1, 5, 1, 2, -7); }, boxes({{0, 1, 4, 1}}), {}},
    {"CircleRing", 20, 20, [](auto b) { circle(b, 10, 10, 2.7f); }, kRing, {}},
    {"CircleSevenPixelMask", 20, 20, [](auto b) { circle(b, 10, 10, 3); }, kRing, {}},
    // Small radii use the masks only when exact and centred on a whole pixel.
    {"CircleOffCentreRadiusTwo", 10, 10, [](auto b) { circle(b, 4.6f, 4.9f, 2); },
     Points{{4, 2}, {3, 3}, {5, 3}, {2, 4}, {6, 4}, {3, 5}, {5, 5}, {4, 6}}, {}},
    {"CircleRadiusJustOverTwo", 10, 10, [](auto b) { circle(b, 4, 4, 2.01f); },
     Points{{4, 2}, {6, 4}, {4, 6}, {2, 4}, {3, 2}, {3, 6}, {5, 2}, {5, 6}, {2, 3}, {2, 5}, {6, 3}, {6, 5}}, {}},
    {"CircleRadiusOne", 10, 10, [](auto b) { circle(b, 4, 4, 1); }, Points{{4, 3}, {5, 4}, {4, 5}, {3, 4}}, {}},
    {"CircleAntiAliasedMaskOneAndAHalf", 10, 10,
     [](auto b) { LICE_Circle(b, 4, 4, 1.5f, rgba(255, 0, 0, 255), 1.0f, 0, true); }, std::nullopt,
     {{4, 3, rgba(15, 0, 0, 15)}}},
    // The fringe gets half the radius's fraction, the ring pixel the rest.
    {"CircleAntiAliasedFringe", 20, 20,
     [](auto b) { LICE_Circle(b, 10, 10, 5.5f, rgba(255, 0, 0, 255), 1.0f, 1, true); }, std::nullopt,
     {{10, 4, rgba(127, 0, 0, 127)}, {10, 5, rgba(127, 0, 0, 127)}, {10, 10, 0}}},
    // A tiny outline blends its centre four times, a tiny disc once.
    {"CircleTiny", 5, 5, [](auto b) { LICE_Circle(b, 2, 2, 0.4f, rgba(20, 0, 0, 0), 1.0f, 1, false); },
     Points{{2, 2}}, {{2, 2, rgba(80, 0, 0, 0)}}},
    {"DiscTiny", 5, 5, [](auto b) { LICE_FillCircle(b, 2, 2, 0.4f, rgba(20, 0, 0, 0), 1.0f, 1, false); },
     Points{{2, 2}}, {{2, 2, rgba(20, 0, 0, 0)}}},
    {"CircleNothingForNegativeRadiusTinyAlphaOrUnknownMode", 20, 20,
     [](auto b) {
       circle(b, 10, 10, -5);
       LICE_FillCircle(b, 10, 10, 5, kInk, 0.003f, 0, true);
       LICE_FillCircle(b, 10, 10, 5, kInk, 1.0f, 6, false);
       LICE_Arc(b, 10, 10, 5, 0, 1, kInk, 1.0f, 7, true);
     },
     Points{}, {}},
    {"CirclesClippedAtEveryEdge", 16, 12,
     [](auto b) {
       LICE_FillCircle(b, 1, 1, 9.5f, kInk, 1.0f, 0, true);
       LICE_Circle(b, 15, 11, 7.2f, kInk, 0.5f, 0, true);
       circle(b, -3, 5, 5.0f);
     },
     std::nullopt, {{0, 0, kInk}}},
    // Filled curves reach their base line, whichever axis they run along.
    {"CurveFilledDown", 40, 40,
     [](auto b) { LICE_FillCBezier(b, 0, 10, 10, 10, 20, 10, 30, 10, 20, kInk, 1.0f, 0, 1.0); }, std::nullopt,
     {{15, 10, kInk}, {15, 20, kInk}, {15, 22, 0}, {15, 9, 0}}},
    {"CurveFilledAcross", 40, 40,
     [](auto b) { LICE_FillCBezierX(b, 10, 0, 10, 10, 10, 20, 10, 30, 20, kInk, 1.0f, 0, 1.0); }, std::nullopt,
     {{10, 15, kInk}, {20, 15, kInk}, {22, 15, 0}, {9, 15, 0}}},
    {"CurveFillsClipped", 16, 16,
     [](auto b) {
       LICE_FillCBezier(b, -20, 40, 0, -30, 30, 60, 50, -10, 8, kInk, 0.7f, 1, 0.5);
       LICE_FillCBezierX(b, -20, 40, 0, -30, 30, 60, 50, -10, 8, kInk, 0.7f, 1, 0.5);
     },
     std::nullopt, {}},
    {"TriangleFlatAcrossTheBitmap", 8, 4,
     [](auto b) {
       LICE_FillTriangle(b, 5, 2, -3, 2, 20, 2, kInk, 1.0f, 0);
       LICE_FillTriangle(b, 1, 9, 3, 9, 5, 9, kInk, 1.0f, 0);
     },
     boxes({{0, 2, 7, 2}}), {}},
    // A quarter mixes whole words, (255 >> 2); a fifth mixes per channel.
    {"TriangleQuarterOpacity", 4, 4, [](auto b) { LICE_FillTriangle(b, 0, 0, 3, 0, 0, 3, kInk, 0.25f, 0); },
     std::nullopt, {{0, 0, rgba(63, 63, 63, 63)}}},
    {"TriangleFifthOpacity", 4, 4, [](auto b) { LICE_FillTriangle(b, 0, 0, 3, 0, 0, 3, kInk, 0.2f, 0); },
     std::nullopt, {{0, 0, rgba(51, 51, 51, 51)}}},
    // One row: the second span is ignored.
    {"TrapezoidOneRow", 8, 4, [](auto b) { LICE_FillTrapezoid(b, 5, 2, 1, 0, 7, 1, kInk, 1.0f, 0); },
     boxes({{2, 1, 5, 1}}), {}},
    // Outline corners blend twice.
    {"RectOutline", 10, 10, [](auto b) { LICE_DrawRect(b, 1, 1, 5, 4, kInk, 0.5f, 0); },
     boxes({{1, 1, 6, 1}, {1, 5, 6, 5}, {1, 2, 1, 4}, {6, 2, 6, 4}}),
     {{1, 1, rgba(190, 190, 190, 190)}, {3, 1, rgba(127, 127, 127, 127)}, {6, 5, rgba(190, 190, 190, 190)}}},
    // The border does not overlap the inside.
    {"BorderedRect", 10, 10,
     [](auto b) { LICE_BorderedRect(b, 1, 1, 5, 4, rgba(0, 0, 200, 255), rgba(9, 0, 0, 255), 1.0f, 0); },
     boxes({{1, 1, 6, 5}}),
     {{1, 1, rgba(9, 0, 0, 255)}, {1, 3, rgba(9, 0, 0, 255)}, {6, 5, rgba(9, 0, 0, 255)},
      {2, 2, rgba(0, 0, 200, 255)}, {5, 4, rgba(0, 0, 200, 255)}}},
    {"GlyphCoverageWeighsTheColour", 6, 4, [](auto b) { glyph(b, 1, 1, kInk, 1); }, boxes({{1, 1, 3, 2}}),
     {{1, 1, rgba(254, 254, 254, 254)}, {2, 1, rgba(127, 127, 127, 127)}, {3, 2, rgba(63, 63, 63, 63)}}},
    {"GlyphClippedLeft", 4, 3, [](auto b) { glyph(b, -2, 0, rgba(255, 0, 0, 255)); }, Points{{0, 0}, {0, 1}},
     {{0, 0, rgba(64, 0, 0, 64)}}},
    {"GlyphClippedBottomRight", 4, 3, [](auto b) { glyph(b, 2, 2); }, Points{{2, 2}, {3, 2}}, {}},
    {"GlyphOutsideUnseenOrUnknownMode", 4, 3,
     [](auto b) {
       for (const auto& [x, y] : {std::pair{4, 0}, {0, 3}, {-3, 0}, {0, -2}, {-100, -100}}) glyph(b, x, y);
       LICE_DrawGlyph(b, 0, 0, kInk, kMask, 3, 2, 0.0f, 0);
       LICE_DrawGlyph(b, 0, 0, kInk, kMask, 3, 2, 1.0f, 6);
       LICE_DrawGlyph(nullptr, 0, 0, kInk, kMask, 3, 2, 1.0f, 0);
     },
     Points{}, {}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, RasterDrawing, ::testing::ValuesIn(kShapeCases), CaseName);

int rowCount(LICE_IBitmap& bm, int y)
{
  int n = 0;
  for (int x = 0; x < bm.getWidth(); ++x) n += px(bm, x, y) != 0;
  return n;
}

}  // namespace

TEST(RasterBezier, CurvesDrawTheirSegmentsAndClip)
{
  LICE_MemBitmap curve = filled(20, 20, 0), straight = filled(20, 20, 0);
  LICE_DrawQBezier(&curve, 2, 3, 8, 3, 14, 3, kInk, 1.0f, 0, false, 1.0);
  line(&straight, 2, 3, 14, 3);
  EXPECT_EQ(inked(curve), inked(straight));
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

TEST(RasterCircle, FilledDiscWritesEveryPixelOnce)
{
  for (bool aa : {false, true}) {
    LICE_MemBitmap bm = filled(40, 40, 0);
    LICE_FillCircle(&bm, 20, 19, 11.3f, rgba(1, 0, 0, 0), 1.0f, 1, aa);
    EXPECT_EQ(maxRed(bm), 1) << "aa " << aa;
    EXPECT_NEAR(countNot(bm, 0), 3.14159 * 11.3 * 11.3, 40.0);
  }
}

TEST(RasterArc, QuarterTurnsAndWrapping)
{
  LICE_MemBitmap quarter = filled(30, 30, 0);
  LICE_Arc(&quarter, 15, 15, 10, 0, float(M_PI / 2), kInk, 1.0f, 0, false);
  for (const auto& [x, y] : inked(quarter)) {
    EXPECT_GE(x, 15);
    EXPECT_LE(y, 15);
  }
  EXPECT_EQ(px(quarter, 15, 5), kInk);
  EXPECT_EQ(px(quarter, 25, 15), 0u);  // the box stops short of the centre row

  LICE_MemBitmap full = filled(30, 30, 0), ring = filled(30, 30, 0);
  LICE_Arc(&full, 15, 15, 10, 0, float(2 * M_PI), kInk, 1.0f, 0, false);
  circle(&ring, 15, 15, 10);
  EXPECT_EQ(inked(full), inked(ring));

  LICE_MemBitmap a = filled(30, 30, 0), b = filled(30, 30, 0);
  LICE_Arc(&a, 15, 15, 10, 7, 8, kInk, 1.0f, 0, true);
  LICE_Arc(&b, 15, 15, 10, 7 - 6.2831855f, 8 - 6.2831855f, kInk, 1.0f, 0, true);
  EXPECT_EQ(inked(a), inked(b));
  EXPECT_FALSE(inked(a).empty());
}

TEST(RasterRoundRect, SmallRadiusOrNarrowIsAPlainOutlineElseCornersAreCut)
{
  LICE_MemBitmap rounded = filled(20, 20, 0), plain = filled(20, 20, 0);
  LICE_RoundRect(&rounded, 2, 3, 10, 8, 1, kInk, 1.0f, 0, true);
  LICE_DrawRect(&plain, 2, 3, 10, 8, kInk, 1.0f, 0);
  EXPECT_EQ(inked(rounded), inked(plain));
  LICE_MemBitmap narrow = filled(20, 20, 0);
  LICE_RoundRect(&narrow, 2, 3, 3, 8, 5, kInk, 1.0f, 0, false);
  LICE_Clear(&plain, 0);
  LICE_DrawRect(&plain, 2, 3, 3, 8, kInk, 1.0f, 0);
  EXPECT_EQ(inked(narrow), inked(plain));
  LICE_MemBitmap bm = filled(30, 30, 0);
  LICE_RoundRect(&bm, 2, 2, 20, 16, 5, kInk, 1.0f, 0, false);
  EXPECT_EQ(px(bm, 2, 2), 0u);  // the corner itself is cut
  for (const auto& [x, y] : {std::pair{12, 2}, {2, 10}, {22, 10}, {12, 18}}) EXPECT_EQ(px(bm, x, y), kInk);
}

TEST(RasterPolygon, RightTriangleLosesOnePixelPerRow)
{
  LICE_MemBitmap bm = filled(16, 16, 0);
  LICE_FillTriangle(&bm, 0, 0, 10, 0, 0, 10, kInk, 1.0f, 0);
  for (int y = 0; y <= 10; ++y) EXPECT_EQ(rowCount(bm, y), 11 - y) << "row " << y;
  EXPECT_EQ(rowCount(bm, 11), 0);
}

TEST(RasterPolygon, BandsAboveTheBitmapStartWithAdvancedEdges)
{
  LICE_MemBitmap whole = filled(20, 30, 0), cut = filled(20, 20, 0);
  LICE_FillTrapezoid(&whole, 2, 4, 0, 0, 17, 25, kInk, 1.0f, 0);
  LICE_FillTrapezoid(&cut, 2, 4, -10, 0, 17, 15, kInk, 1.0f, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(px(cut, x, y), px(whole, x, y + 10)) << x << "," << y;
  LICE_MemBitmap wide = filled(6, 3, 0);
  LICE_FillTrapezoid(&wide, -4, 40, 0, -9, 50, 2, kInk, 1.0f, 0);
  EXPECT_EQ(countNot(wide, 0), 18);
}

TEST(RasterPolygon, ConvexPolygonWritesEachPixelOnce)
{
  std::vector<int> xs, ys;
  for (int i = 0; i < 600; ++i) {  // more points than fit the stack array
    xs.push_back(int(std::lround(20 + 15 * std::cos(i * 2 * M_PI / 600))));
    ys.push_back(int(std::lround(20 + 15 * std::sin(i * 2 * M_PI / 600))));
  }
  LICE_MemBitmap bm = filled(40, 40, 0);
  LICE_FillConvexPolygon(&bm, xs.data(), ys.data(), 600, rgba(1, 0, 0, 0), 1.0f, 1);
  EXPECT_EQ(maxRed(bm), 1);
  EXPECT_NEAR(countNot(bm, 0), 3.14159 * 15.5 * 15.5, 60);  // both edges inclusive
  // Points in any order: the quadrilateral (2, 1) (9, 3) (7, 9) (1, 6).
  const int qx[] = {7, 2, 1, 9}, qy[] = {9, 1, 6, 3};
  LICE_MemBitmap q = filled(12, 12, 0);
  LICE_FillConvexPolygon(&q, qx, qy, 4, kInk, 1.0f, 0);
  EXPECT_EQ(px(q, 5, 5), kInk);
  EXPECT_EQ(rowCount(q, 0) + rowCount(q, 10), 0);
}
