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

INSTANTIATE_TEST_SUITE_P(Fills, RasterFillRect, ::testing::ValuesIn(kFillCases), CaseName);

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
    {"FillRectClipped", 8, 6,
     [](LICE_IBitmap* b) {
       LICE_FillRect(b, -5, 0, 10, 1, kInk, 1.0f, 0);
       LICE_FillRect(b, 6, 4, 100, 100, kInk, 1.0f, 0);
       LICE_FillRect(b, 8, 0, 1, 1, kInk, 1.0f, 0);
       LICE_FillRect(b, -1000000, -1000000, 5, 5, kInk, 1.0f, 0);
       LICE_FillRect(nullptr, 0, 0, 5, 5, kInk, 1.0f, 0);
     },
     Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {6, 4}, {7, 4}, {6, 5}, {7, 5}}, {}},
};

INSTANTIATE_TEST_SUITE_P(Pixels, RasterDrawing, ::testing::ValuesIn(kPixelDrawings), CaseName);

}  // namespace

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

