// The looks of the run-time texts: the contrast measure the build and the
// tests hold every text to, and the sizes and colours of the factories.
#include <gtest/gtest.h>

#include "TextLooks.h"

namespace {
using textlooks::Colour;
using textlooks::Kind;

TEST(TextLooks, ContrastFollowsTheWcagRelativeLuminance) {
  struct Case {
    Colour a, b;
    double ratio;
  };
  const Case cases[] = {
      {{255, 0, 0, 0}, {255, 255, 255, 255}, 21.0},
      {{255, 255, 255, 255}, {255, 0, 0, 0}, 21.0},       // either way round
      {{255, 90, 90, 90}, {255, 90, 90, 90}, 1.0},
      {{255, 118, 118, 118}, {255, 255, 255, 255}, 4.54},  // the lightest grey that passes on white
      {{255, 0, 0, 0}, {255, 52, 53, 58}, 1.72},           // black menu texts on the yellow scheme's panel
      {{255, 0, 0, 0}, {255, 250, 214, 120}, 14.95},       // and on their value window
  };
  for (const Case& c : cases) EXPECT_NEAR(textlooks::contrast(c.a, c.b), c.ratio, 0.01) << c.ratio;
}

TEST(TextLooks, SizesScaleButNeverFallBelowTheSmallestAndColoursFollowTheFactories) {
  struct Case {
    textlooks::Text text;
    double scale;
    int size;
  };
  textlooks::Text number{Kind::kNumberMenu};
  number.height = 14;
  textlooks::Text display2{Kind::kDisplay};
  display2.displaySize = 2;
  const Case cases[] = {
      {{Kind::kSelectionMenu}, 1.0, 13}, {{Kind::kSelectionMenu}, 0.85, 12},  // 11 would draw digits 6 high
      {{Kind::kSelectionMenu}, 1.15, 14}, {display2, 1.5, 24},
      {number, 1.0, 14},  {number, 0.85, 12},  // (int)(11 x 0.85) = 9: the height is scaled twice
  };
  for (const Case& c : cases) EXPECT_EQ(textlooks::size(c.text, c.scale), c.size) << c.scale;

  textlooks::Text hotSpot = number;
  hotSpot.visible = 0;
  EXPECT_EQ(textlooks::colour(hotSpot, 0, 1.0).a, 0);  // a number menu drawn fully transparent
  textlooks::Text tall = number;
  tall.height = 18;
  EXPECT_EQ(textlooks::colour(tall, 0, 1.0).g, 243);   // yellow over 16 pixels high
  EXPECT_EQ(textlooks::colour(number, 0, 1.0).g, 173);  // orange below
  EXPECT_EQ(textlooks::colour({Kind::kSelectionMenu}, 0, 1.0).r, 0);
  EXPECT_EQ(textlooks::colour({Kind::kSelectionMenu}, 1, 1.0).r, 255);
  EXPECT_EQ(textlooks::colour({Kind::kSelectionMenu}, 2, 1.0).r, 200);
  EXPECT_FALSE(textlooks::hasValueWindow(Kind::kDisplay));
  EXPECT_TRUE(textlooks::hasValueWindow(Kind::kNameField));
}
}  // namespace
