#include <gtest/gtest.h>

#include <cmath>

#include "RasterTestSupport.h"

using namespace rastertest;

TEST(RasterCircle, PlainRingMatchesTheSmallMask)
{
  const Points ring = {{10, 7}, {13, 10}, {10, 13}, {7, 10}, {9, 7},  {9, 13},  {11, 7},  {11, 13},
                       {7, 9},  {7, 11},  {13, 9},  {13, 11}, {8, 8}, {8, 12}, {12, 8}, {12, 12}};
  LICE_MemBitmap drawn = filled(20, 20, 0), masked = filled(20, 20, 0);
  LICE_Circle(&drawn, 10, 10, 2.7f, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(drawn), ring);
  LICE_Circle(&masked, 10, 10, 3.0f, kInk, 1.0f, 0, false);  // the 7 x 7 mask at (7, 7)
  EXPECT_EQ(inked(masked), ring);
}

TEST(RasterCircle, SmallRadiiUseMasksOnlyWhenExact)
{
  LICE_MemBitmap bm = filled(10, 10, 0);
  LICE_Circle(&bm, 4.6f, 4.9f, 2.0f, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm), (Points{{4, 2}, {3, 3}, {5, 3}, {2, 4}, {6, 4}, {3, 5}, {5, 5}, {4, 6}}));
  LICE_Clear(&bm, 0);
  LICE_Circle(&bm, 4, 4, 2.01f, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm), (Points{{4, 2}, {6, 4}, {4, 6}, {2, 4}, {3, 2}, {3, 6}, {5, 2}, {5, 6}, {2, 3}, {2, 5},
                               {6, 3}, {6, 5}}));
  LICE_Clear(&bm, 0);
  LICE_Circle(&bm, 4, 4, 1.0f, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(bm), (Points{{4, 3}, {5, 4}, {4, 5}, {3, 4}}));
  LICE_Clear(&bm, 0);
  LICE_Circle(&bm, 4, 4, 1.5f, rgba(255, 0, 0, 255), 1.0f, 0, true);
  EXPECT_EQ(px(bm, 4, 3), rgba(15, 0, 0, 15));  // the anti-aliased 1.5 mask's 0x0f
}

TEST(RasterCircle, FilledDiscWritesEveryPixelOnceButATinyOutlineFourTimes)
{
  for (bool aa : {false, true}) {
    LICE_MemBitmap bm = filled(40, 40, 0);
    LICE_FillCircle(&bm, 20, 19, 11.3f, rgba(1, 0, 0, 0), 1.0f, 1, aa);
    EXPECT_EQ(maxRed(bm), 1) << "aa " << aa;
    EXPECT_NEAR(countNot(bm, 0), 3.14159 * 11.3 * 11.3, 40.0);
  }
  LICE_MemBitmap ring = filled(5, 5, 0), disc = filled(5, 5, 0);
  LICE_Circle(&ring, 2, 2, 0.4f, rgba(20, 0, 0, 0), 1.0f, 1, false);
  LICE_FillCircle(&disc, 2, 2, 0.4f, rgba(20, 0, 0, 0), 1.0f, 1, false);
  EXPECT_EQ(px(ring, 2, 2), rgba(80, 0, 0, 0));
  EXPECT_EQ(px(disc, 2, 2), rgba(20, 0, 0, 0));
}

TEST(RasterCircle, AntiAliasedOutlineWeighsTheFringe)
{
  LICE_MemBitmap bm = filled(20, 20, 0);
  LICE_Circle(&bm, 10, 10, 5.5f, rgba(255, 0, 0, 255), 1.0f, 1, true);
  EXPECT_EQ(px(bm, 10, 4), rgba(127, 0, 0, 127));  // fringe at half the radius's fraction
  EXPECT_EQ(px(bm, 10, 5), rgba(127, 0, 0, 127));  // ring pixel gets the rest
  EXPECT_EQ(px(bm, 10, 10), 0u);
}

TEST(RasterCircle, NothingForNegativeRadiusTinyAlphaOrUnknownMode)
{
  LICE_MemBitmap bm = filled(20, 20, 0);
  LICE_Circle(&bm, 10, 10, -5, kInk, 1.0f, 0, false);
  LICE_FillCircle(&bm, 10, 10, 5, kInk, 0.003f, 0, true);
  LICE_FillCircle(&bm, 10, 10, 5, kInk, 1.0f, 6, false);
  LICE_Arc(&bm, 10, 10, 5, 0, 1, kInk, 1.0f, 7, true);
  EXPECT_TRUE(inked(bm).empty());
}

TEST(RasterCircle, ClippedCirclesStayInsideTheBitmap)
{
  GuardedBitmap bm(16, 12);
  LICE_FillCircle(&bm, 1, 1, 9.5f, kInk, 1.0f, 0, true);
  LICE_Circle(&bm, 15, 11, 7.2f, kInk, 0.5f, 0, true);
  LICE_Circle(&bm, -3, 5, 5.0f, kInk, 1.0f, 0, false);
  EXPECT_TRUE(bm.guardsIntact());
  EXPECT_EQ(px(bm, 0, 0), kInk);
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

  LICE_MemBitmap full = filled(30, 30, 0), circle = filled(30, 30, 0);
  LICE_Arc(&full, 15, 15, 10, 0, float(2 * M_PI), kInk, 1.0f, 0, false);
  LICE_Circle(&circle, 15, 15, 10, kInk, 1.0f, 0, false);
  EXPECT_EQ(inked(full), inked(circle));

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
