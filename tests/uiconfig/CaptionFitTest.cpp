// The image generator refuses a caption that does not fit its space, and a
// layout whose controls overlap or leave their panel, at each size.
#include <gtest/gtest.h>

#include "Captions.h"
#include "Finish.h"
#include "Palette.h"

namespace {
using imagegen::ControlEntry;
using imagegen::Rect;

const std::vector<imagegen::PlacedBackground> kPage = {{"PAGE", {0, 0, 200, 100}, 200, 100}};
const auto kAnywhere = [](const std::string&, int, int) { return imagegen::CaptionSpace{}; };

ControlEntry control(int line, Rect r, const std::string& caption = "", const std::string& layers = "1",
                     const std::string& text = "") {
  ControlEntry c;
  c.line = line;
  c.rect = r;
  c.caption = caption;
  c.backgrounds = kPage;
  c.layers = layers;
  c.text = text;
  return c;
}

// Sizes of the test's one background; nothing else has a drawing.
bool pageSize(const std::string& key, double scale, int& w, int& h) {
  if (key != "PAGE") return false;
  w = static_cast<int>(200 * scale), h = static_cast<int>(100 * scale);
  return true;
}

TEST(CaptionFit, RefusesACaptionThatRunsIntoItsNeighbourOrOffItsBackground) {
  struct Case {
    const char* left;
    const char* right;
    bool fits;
  };
  // Two 40-pixel knobs side by side: RESONANCE runs into the caption of the second.
  for (const Case& c : {Case{"CUTOFF", "PAN", true}, Case{"RESONANCE", "PAN", false}, Case{"CUTOFF", "", true}}) {
    std::vector<ControlEntry> controls = {control(1, {20, 30, 40, 40}, c.left), control(2, {60, 30, 40, 40}, c.right)};
    imagegen::CaptionMap placed;
    std::string error;
    EXPECT_EQ(imagegen::placeCaptions(controls, kAnywhere, placed, error), c.fits) << c.left;
  }
  // Above the background's top edge.
  std::vector<ControlEntry> high = {control(3, {20, 4, 40, 40}, "CUTOFF")};
  imagegen::CaptionMap placed;
  std::string error;
  EXPECT_FALSE(imagegen::placeCaptions(high, kAnywhere, placed, error));
  EXPECT_EQ(error, "line 3: caption \"CUTOFF\" does not fit on the background under it");
}

TEST(CaptionFit, CaptionsKeepTheirFaceSoASmallerWindowCanRefuseWhatFitsAtNormalSize) {
  // 70 apart: "KEYTRACK" and "PDL CURVE" keep 20 px between them at 1.0; at
  // 0.85 the knobs are 59 apart and the captions, as wide as before, 9 px.
  std::vector<ControlEntry> controls = {control(1, {20, 40, 46, 46}, "KEYTRACK"), control(2, {90, 40, 46, 46}, "PDL CURVE")};
  for (auto [scale, fits] : {std::pair{1.0, true}, std::pair{0.85, false}}) {
    const std::vector<ControlEntry> sized = imagegen::atSize(controls, scale, pageSize);
    imagegen::CaptionMap placed;
    std::string error;
    EXPECT_EQ(imagegen::placeCaptions(sized, kAnywhere, placed, error, scale), fits) << scale << " " << error;
  }
}

TEST(CaptionFit, CaptionsOnOneRowKeepTwiceAWordSpaceBetweenThemAtEverySize) {
  // The face's word space leaves 7 blank pixels; neighbours keep at least
  // twice that, 14, whatever the window's size. Each control is as wide as
  // its caption, so the captions lie `gap` apart.
  struct Case {
    const char* left;
    const char* right;
    int gap, drop;  // between the captions; how much lower the second control lies
    bool fits;
  };
  const Case cases[] = {
      {"PAN", "LVL", 13, 0, false},     {"PAN", "LVL", 14, 0, true},  {"PAN", "LVL", 9, 0, false},
      {"ENV AMT", "VEL", 13, 0, false}, {"ENV AMT", "VEL", 14, 0, true},
      {"PAN", "LVL", 5, 30, true},  // a row lower: not neighbours on a row
  };
  for (double scale : {0.85, 1.0, 1.15}) {
    for (const Case& c : cases) {
      const int lw = 6 * static_cast<int>(std::string(c.left).size()) - 1;
      const int rw = 6 * static_cast<int>(std::string(c.right).size()) - 1;
      std::vector<ControlEntry> controls = {control(1, {20, 40, lw, 20}, c.left),
                                            control(2, {20 + lw + c.gap, 40 + c.drop, rw, 20}, c.right)};
      imagegen::CaptionMap placed;
      std::string error;
      EXPECT_EQ(imagegen::placeCaptions(controls, kAnywhere, placed, error, scale), c.fits)
          << scale << " " << c.left << " " << c.gap << " " << error;
      if (!c.fits && c.gap == 13) {
        EXPECT_EQ(error, "line 2: caption \"" + std::string(c.right) + "\" is set 13 px from the caption \"" + c.left +
                             "\" on PAGE, less than the 14 px that keep them apart");
      }
    }
  }
}

TEST(LayoutCheck, RefusesOverlapsOfControlsShownTogetherAndControlsLeavingTheirPanel) {
  const auto panel = [](const std::string&, int, int) {
    imagegen::CaptionSpace s;
    s.panels = {{10, 10, 180, 80}};
    s.kept = {{150, 60, 30, 20}};  // a drawing of the background
    return s;
  };
  struct Case {
    const char* name;
    std::vector<ControlEntry> controls;
    const char* error;  // empty: accepted
  };
  const Case cases[] = {
      {"apart", {control(1, {20, 20, 30, 30}), control(2, {60, 20, 30, 30})}, ""},
      {"one layer", {control(1, {20, 20, 30, 30}), control(2, {40, 20, 30, 30})}, "line 1: overlaps the control of line 2"},
      {"the page and its sub-page", {control(1, {20, 20, 30, 30}, "", "1"), control(2, {40, 20, 30, 30}, "", "1/2")},
       "line 1: overlaps the control of line 2"},
      {"two sub-pages shown in turn", {control(1, {20, 20, 30, 30}, "", "1/2"), control(2, {40, 20, 30, 30}, "", "1/3")},
       ""},
      {"off the panel", {control(1, {5, 20, 30, 30})}, "line 1: is cut by the edge of its panel on PAGE"},
      {"over the drawing", {control(1, {140, 50, 20, 20})}, "line 1: covers a drawing of PAGE"},
      {"off the background", {control(1, {190, 20, 30, 30})}, "line 1: leaves the backgrounds under it"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(imagegen::checkLayout(c.controls, panel, 1.0, error), std::string(c.error).empty()) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

TEST(LayoutCheck, AMenuGetsAValueWindowItsCaptionClears) {
  // A menu's text lies in a value window drawn into the background; a display's does not.
  std::vector<ControlEntry> controls = {control(1, {20, 40, 80, 13}, "SHAPE", "1", "6:1:0:1:0:-1"),
                                        control(2, {110, 40, 80, 12}, "", "1", "0:1:0:1:0:-1")};
  const std::vector<ControlEntry> sized = imagegen::atSize(controls, 1.0, pageSize);
  imagegen::SpotMap spots;
  std::string error;
  ASSERT_TRUE(imagegen::placeTextSpots(sized, spots, error)) << error;
  ASSERT_EQ(spots["PAGE"].size(), 2u);
  EXPECT_TRUE(spots["PAGE"][0].window);
  EXPECT_FALSE(spots["PAGE"][1].window);
  imagegen::CaptionMap placed;
  ASSERT_TRUE(imagegen::placeCaptions(sized, kAnywhere, placed, error)) << error;
  // The caption's last row stays above the window's face and rim.
  const Rect face = spots["PAGE"][0].face();
  EXPECT_LT(placed["PAGE"][0].y + 7, face.y - 1);
}
}  // namespace

// A button the editor greys is drawn at half weight over the faceplate; its
// label must still read on its face at 3:1 in every scheme it shows in.
TEST(LayoutCheck, AGreyedButtonsLabelReadsOnItsFaceOverEveryScheme) {
  struct Case {
    const char* name;
    LICE_pixel face, text;
    bool greyable, accepted;
  };
  // Over the light faceplate (214,218,224) of the silver scheme a grey face
  // and a pale label come out at (140,143,150) and (223,225,230), 2.48:1.
  const Case cases[] = {
      {"grey face", LICE_RGBA(66, 68, 75, 255), LICE_RGBA(232, 232, 236, 255), true, false},
      {"grey face, never greyed", LICE_RGBA(66, 68, 75, 255), LICE_RGBA(232, 232, 236, 255), false, true},
      {"deep face, white label", LICE_RGBA(33, 34, 38, 255), LICE_RGBA(255, 255, 255, 255), true, true},
  };
  for (const Case& c : cases) {
    imagegen::Drawing d;
    d.shapes = std::make_unique<LICE_MemBitmap>(56, 36);
    LICE_Clear(d.shapes.get(), c.face);
    d.frameW = 56, d.frameH = 36;
    d.greyable = c.greyable;
    imagegen::dotTextCentred(d.texts, 28, 18, "RAND", 1, c.text);
    std::vector<imagegen::TextCheck> report;
    std::string error;
    const auto image = imagegen::finishImage(d, 1.0, imagegen::kNeutral, {}, "rand.png", report, error);
    EXPECT_EQ(image != nullptr, c.accepted) << c.name << " " << error;
    if (!c.accepted) {
      EXPECT_NE(error.find("\"RAND\" greyed has a contrast of 2.48:1 with its face in scheme 1"), std::string::npos) << error;
    }
  }
}
