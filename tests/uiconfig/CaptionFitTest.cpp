// The image generator refuses a caption that does not fit its space.
#include <gtest/gtest.h>

#include "Captions.h"

namespace {
using imagegen::ControlEntry;

TEST(CaptionFit, RefusesACaptionThatRunsIntoItsNeighbourOrOffItsBackground) {
  const std::vector<imagegen::PlacedBackground> bg = {{"PAGE", {0, 0, 200, 100}}};
  const auto space = [](const std::string&, int, int) { return imagegen::CaptionSpace{}; };
  struct Case {
    const char* left;
    const char* right;
    bool fits;
  };
  // Two 40-pixel knobs side by side: RESONANCE runs into the caption of the second.
  for (const Case& c : {Case{"CUTOFF", "RESO", true}, Case{"RESONANCE", "RESO", false}, Case{"CUTOFF", "", true}}) {
    std::vector<ControlEntry> controls = {{1, {20, 30, 40, 40}, c.left, "", bg}, {2, {60, 30, 40, 40}, c.right, "", bg}};
    imagegen::CaptionMap placed;
    std::string error;
    EXPECT_EQ(imagegen::placeCaptions(controls, space, placed, error), c.fits) << c.left;
  }
  // Above the background's top edge.
  std::vector<ControlEntry> high = {{3, {20, 4, 40, 40}, "CUTOFF", "", bg}};
  imagegen::CaptionMap placed;
  std::string error;
  EXPECT_FALSE(imagegen::placeCaptions(high, space, placed, error));
  EXPECT_EQ(error, "line 3: caption \"CUTOFF\" does not fit on the background under it");
}
}  // namespace
