#include <gtest/gtest.h>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

class RasterFillRect : public ::testing::TestWithParam<CombineCase> {};

TEST_P(RasterFillRect, CombinesEveryPixelOfTheRectangle)
{
  const CombineCase& c = GetParam();
  LICE_MemBitmap bm = filled(5, 4, c.dest);
  LICE_FillRect(&bm, 1, 1, 3, 2, c.src, c.alpha, c.mode);
  EXPECT_PIXELS(bm, {1, 1, c.expected}, {3, 2, c.expected});
  EXPECT_EQ(countNot(bm, c.dest), c.expected == c.dest ? 0 : 6);
}

const LICE_pixel k80 = 0x80808080u, k81 = 0x81818181u;

const CombineCase kFillCases[] = {
    {"HalfWordShortcut", k80, k81, 0.5f, 0, k80},
    {"QuarterWordShortcut", k80, k81, 0.25f, 0, k80},
    {"ThreeQuarterWordShortcut", rgba(0, 0, 0, 0), rgba(255, 255, 255, 255), 0.75f, 0, rgba(190, 190, 190, 190)},
    {"FullWritesColourWhole", rgba(1, 2, 3, 4), rgba(10, 20, 30, 40), 1.0f, 0, rgba(10, 20, 30, 40)},
    // 0.9 takes the general path; the weight is also the source alpha.
    {"GeneralPathAlpha", rgba(0, 0, 0, 100), rgba(255, 255, 255, 7), 0.9f, 0, rgba(230, 230, 230, 217)},
    {"SourceAlphaScalesOpacity", rgba(0, 0, 0, 0), rgba(255, 255, 255, 127), 1.0f, 0x10000, rgba(127, 127, 127, 64)},
    {"SourceAlphaZeroDrawsNothing", rgba(1, 2, 3, 4), rgba(255, 255, 255, 0), 1.0f, 0x10000, rgba(1, 2, 3, 4)},
    {"AddUsesWeightAsAlpha", rgba(10, 10, 10, 10), rgba(100, 100, 100, 0), 0.5f, 1, rgba(60, 60, 60, 74)},
    {"ModeSixDrawsNothing", rgba(1, 2, 3, 4), rgba(10, 20, 30, 40), 1.0f, 6, rgba(1, 2, 3, 4)},
    {"TinyOpacityDrawsNothing", rgba(1, 2, 3, 4), rgba(10, 20, 30, 40), 0.001f, 0, rgba(1, 2, 3, 4)},
};

INSTANTIATE_TEST_SUITE_P(Fills, RasterFillRect, ::testing::ValuesIn(kFillCases), CaseName());

const DrawCase kPixelDrawings[] = {
    // Pixels outside the bitmap read as 0 and take no writes; opacities below
    // one step and modes above five draw nothing.
    {"PutPixelPaths", 4, 3,
     [](LICE_IBitmap* b) {
       LICE_Clear(b, rgba(100, 100, 100, 100));
       LICE_PutPixel(b, 0, 0, rgba(200, 0, 0, 0), 0.001f, 0);
       LICE_PutPixel(b, 0, 0, rgba(200, 0, 0, 0), 0.25f, 0);  // word-wise quarter
       LICE_PutPixel(b, 1, 0, rgba(200, 0, 0, 0), 0.3f, 0);   // per channel
       LICE_PutPixel(b, 2, 0, rgba(100, 100, 100, 100), 1.0f, 1);
       LICE_PutPixel(b, 3, 2, 5, 1.0f, 0x10006);
       for (const auto& [x, y] : {std::pair{4, 0}, {-1, 0}, {0, -1}, {0, 3}}) LICE_PutPixel(b, x, y, 0, 1.0f, 0);
     },
     std::nullopt,
     {{0, 0, rgba(125, 75, 75, 75)}, {1, 0, rgba(130, 70, 70, 70)}, {2, 0, rgba(200, 200, 200, 200)},
      {3, 0, rgba(100, 100, 100, 100)}, {3, 2, rgba(100, 100, 100, 100)}, {4, 0, 0}, {-1, 0, 0}}},
    // The fill covers the matching run in the start column and the matching runs
    // to either side of it on each of its rows.
    {"SimpleFillSpansAroundOneColumn", 6, 6,
     [](LICE_IBitmap* b) {
       LICE_Clear(b, 1);
       LICE_PutPixel(b, 2, 4, 3, 1.0f, 0);  // interrupts column 2
       LICE_PutPixel(b, 4, 1, 3, 1.0f, 0);  // stops row 1's run
       LICE_SimpleFill(b, 2, 2, 5);
       LICE_SimpleFill(b, 6, 0, 5);
       LICE_SimpleFill(b, 0, -1, 5);
     },
     std::nullopt, {{0, 3, 5}, {0, 0, 5}, {3, 1, 5}, {5, 1, 1}, {0, 5, 1}, {2, 4, 3}}},
};

INSTANTIATE_TEST_SUITE_P(Pixels, RasterDrawing, ::testing::ValuesIn(kPixelDrawings), CaseName());

}  // namespace

TEST(RasterFill, RectanglesAreClippedToTheBitmap)
{
  LICE_MemBitmap bm = filled(8, 6, 0);
  LICE_FillRect(&bm, -5, 0, 10, 1, kInk, 1.0f, 0);
  EXPECT_EQ(countNot(bm, 0), 5);
  LICE_FillRect(&bm, 6, 4, 100, 100, kInk, 1.0f, 0);
  EXPECT_EQ(countNot(bm, 0), 9);
  LICE_FillRect(&bm, 8, 0, 1, 1, kInk, 1.0f, 0);
  LICE_FillRect(&bm, -1000000, -1000000, 5, 5, kInk, 1.0f, 0);
  LICE_FillRect(nullptr, 0, 0, 5, 5, kInk, 1.0f, 0);
  EXPECT_EQ(countNot(bm, 0), 9);
}

TEST(RasterFill, ClearRectMultiplyAddProcessRectAndColourKey)
{
  LICE_MemBitmap masked = filled(3, 3, 0x12345678u);
  LICE_ClearRect(&masked, 1, 1, 5, 5, 0xFF00FF00u, 0x000000AAu);
  EXPECT_PIXELS(masked, {2, 2, 0x120056AAu}, {0, 0, 0x12345678u});

  LICE_MemBitmap bm = filled(2, 2, rgba(100, 50, 200, 255));
  LICE_MultiplyAddRect(&bm, 0, 0, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0);
  LICE_MultiplyAddRect(&bm, 0, 0, 1, 1, 0.5f, 2.0f, 1, 1, 10, 0, -300, 300);  // clamps at both ends
  EXPECT_PIXELS(bm, {1, 1, rgba(100, 50, 200, 255)}, {0, 0, rgba(60, 100, 0, 255)});

  LICE_MemBitmap five = filled(5, 5, 1);
  int n = 0;
  LICE_ProcessRect(&five, 3, 3, 10, 10, [](LICE_pixel* p, void* parm) { *p += 1, ++*static_cast<int*>(parm); }, &n);
  LICE_ProcessRect(&five, 0, 0, 2, 2, nullptr, nullptr);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(px(five, 4, 4), 2u);

  LICE_MemBitmap key = filled(3, 1, rgba(1, 2, 3, 77));
  LICE_PutPixel(&key, 1, 0, rgba(9, 9, 9, 12), 1.0f, 0);
  LICE_SetAlphaFromColorMask(&key, rgba(1, 2, 3, 0));
  EXPECT_PIXELS(key, {0, 0, rgba(1, 2, 3, 0)}, {1, 0, rgba(9, 9, 9, 255)});
  LICE_SetAlphaFromColorMask(&key, rgba(9, 9, 9, 1));  // a key with alpha matches nothing
  EXPECT_EQ(countNot(key, rgba(1, 2, 3, 255)), 1);
}

TEST(RasterGradRect, ChannelsStepClampAndClip)
{
  LICE_MemBitmap bm = filled(8, 4, rgba(9, 9, 9, 9));
  LICE_GradRect(&bm, 0, 0, 8, 4, 0.5f, 0, 0, 1, 0, 0.1f, 0, 0, 0, 0, 0.2f, 0, 0);
  EXPECT_PIXELS(bm, {0, 0, rgba(127, 0, 0, 255)}, {3, 2, rgba(127, 76, 102, 255)});
  // Driving a channel past full clamps it instead of wrapping.
  LICE_GradRect(&bm, 0, 0, 8, 1, 0.9f, 0, 0, 1, 0.05f, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(px(bm, 7, 0), rgba(255, 0, 0, 255));
  LICE_MemBitmap half = filled(4, 1, rgba(0, 0, 0, 0));
  LICE_GradRect(&half, 0, 0, 4, 1, 1, 1, 1, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(px(half, 0, 0), rgba(128, 128, 128, 64));
  // Clipped columns keep the colours the visible ones would have had.
  LICE_MemBitmap whole = filled(30, 1, 0), clipped = filled(30, 1, 0);
  LICE_GradRect(&whole, 0, 0, 30, 1, 0, 0, 0, 1, 1.0f / 32, 0, 0, 0, 0, 0, 0, 0, 0);
  LICE_GradRect(&clipped, -10, 0, 40, 1, 0, 0, 0, 1, 1.0f / 32, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(px(clipped, 0, 0), px(whole, 10, 0));
  LICE_MemBitmap modes = filled(2, 1, rgba(5, 5, 5, 5));
  LICE_GradRect(&modes, 0, 0, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 6);
  EXPECT_EQ(px(modes, 0, 0), rgba(5, 5, 5, 5));
  LICE_GradRect(&modes, 0, 0, 2, 1, 0.5f, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x10000);
  EXPECT_EQ(px(modes, 0, 0), rgba(127, 0, 0, 255));
}

