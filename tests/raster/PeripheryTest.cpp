#include <gtest/gtest.h>

#include <cmath>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

void plot(LICE_IBitmap* b, double x, double y)
{
  LICE_PutPixel(b, int(std::lround(x)), int(std::lround(y)), kInk, 1.0f, 0);
}

// Helpers nothing else in the plug-in calls yet, a drawing each; the clipping
// and curve helpers plot the points they return.
const DrawCase kPeriphery[] = {
    {"ClearRectMasksThenSetsBits", 3, 3, [](auto b) { LICE_ClearRect(b, 1, 1, 5, 5, 0xFF00FF00u, 0xAA); },
     boxes({{1, 1, 2, 2}}), {{2, 2, 0x120056AAu}}, 0x12345678u},
    {"MultiplyAddClampsBothEnds", 2, 2,
     [](auto b) { LICE_MultiplyAddRect(b, 0, 0, 1, 1, 0.5f, 2.0f, 1, 1, 10, 0, -300, 300); }, Points{{0, 0}},
     {{0, 0, rgba(60, 100, 0, 255)}}, rgba(100, 50, 200, 255)},
    {"ProcessRectVisitsTheClippedRectangleOnce", 5, 5,
     [](auto b) {
       LICE_ProcessRect(b, 3, 3, 10, 10, [](LICE_pixel* p, void*) { ++*p; }, nullptr);
       LICE_ProcessRect(b, 0, 0, 2, 2, nullptr, nullptr);
     },
     boxes({{3, 3, 4, 4}}), {{4, 4, 1}}},
    // The key colour turns transparent, every other colour opaque.
    {"ColourKeySetsAlpha", 3, 1, [](auto b) { LICE_SetAlphaFromColorMask(b, rgba(1, 2, 3, 0)); }, std::nullopt,
     {{0, 0, rgba(1, 2, 3, 0)}, {2, 0, rgba(1, 2, 3, 0)}}, rgba(1, 2, 3, 77)},
    {"ColourKeyOtherColoursTurnOpaque", 1, 1, [](auto b) { LICE_SetAlphaFromColorMask(b, rgba(1, 2, 3, 0)); },
     std::nullopt, {{0, 0, rgba(9, 9, 9, 255)}}, rgba(9, 9, 9, 12)},
    // The fill covers the matching run in the start column and the matching
    // runs to either side of it on each of its rows; the 3s stop it.
    {"SimpleFillSpansAroundOneColumn", 6, 6,
     [](auto b) {
       LICE_PutPixel(b, 2, 4, 3, 1.0f, 0);
       LICE_PutPixel(b, 4, 1, 3, 1.0f, 0);
       LICE_SimpleFill(b, 2, 2, 5);
       LICE_SimpleFill(b, 6, 0, 5);
       LICE_SimpleFill(b, 0, -1, 5);
     },
     std::nullopt, {{0, 3, 5}, {0, 0, 5}, {3, 1, 5}, {5, 1, 1}, {0, 5, 1}, {2, 4, 3}}, 1},
    // Each channel's quarter truncates alone: four of 0xFF make 0xFC, four of 3 make 0.
    {"HalveBlitAveragesTwoByTwoBoxes", 4, 4,
     [](auto b) {
       LICE_MemBitmap white = filled(5, 5, kInk), threes = filled(2, 2, 0x03030303u);
       LICE_HalveBlitAA(b, &white);
       LICE_HalveBlitAA(b, &threes);
     },
     Points{{1, 0}, {0, 1}, {1, 1}}, {{1, 1, 0xFCFCFCFCu}}},
    // The kept segments' ends, in a window off the origin and in floats; a
    // segment too far out for the float clip is refused.
    {"ClipLineEnds", 16, 16,
     [](auto b) {
       int i[] = {10, 10, 20, 20};
       float f[] = {-1, 1, 20, 1}, far[] = {0, 0, 1e30f, NAN};
       if (LICE_ClipLine(&i[0], &i[1], &i[2], &i[3], 12, 12, 15, 15)) plot(b, i[0], i[1]), plot(b, i[2], i[3]);
       if (LICE_ClipFLine(&f[0], &f[1], &f[2], &f[3], 0, 0, 10, 10)) plot(b, f[0], f[1]), plot(b, f[2], f[3]);
       if (LICE_ClipFLine(&far[0], &far[1], &far[2], &far[3], 0, 0, 10, 10)) plot(b, 15, 0);
     },
     Points{{12, 12}, {14, 14}, {0, 1}, {8, 1}}, {}},
    // y at x before, inside and at or past the end: of the quadratic x = 2t + 8t²,
    // y = 8t² (plotted a column to the right) and of the straight cubic y = 11 - x.
    {"CurveHelpersFollowTheCurve", 12, 12,
     [](auto b) {
       for (double x : {-1.0, 3.0, 10.0}) plot(b, x + 1, LICE_Bezier_GetY(0, 1, 10, 0, 0, 8, x));
       for (double x : {1.0, 5.0, 9.0}) plot(b, x, LICE_CBezier_GetY(2, 4, 6, 8, 9, 7, 5, 3, x));
     },
     Points{{0, 0}, {4, 2}, {11, 8}, {1, 9}, {5, 6}, {9, 3}}, {}},
};

INSTANTIATE_TEST_SUITE_P(Periphery, RasterDrawing, ::testing::ValuesIn(kPeriphery), CaseName);

}  // namespace

TEST(RasterCurve, QuadraticWithMidwayControlStaysOnTheCurve)
{
  double t = -1;
  EXPECT_DOUBLE_EQ(LICE_Bezier_GetY(0, 5, 10, 0, 10, 0, 5, &t), 5.0);
  EXPECT_DOUBLE_EQ(t, 0.5);
}
