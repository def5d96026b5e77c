// Brings a drawing of the table to one of the editor's sizes: each frame
// (each button of it) is scaled as the editor would scale it, then the value
// windows, labels and captions are set at that size, in the 5x7 face or
// larger. Every text is checked against what lies under it: a label, caption
// or run-time text whose contrast is below 4.5:1, or a label that leaves its
// image, is refused.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Captions.h"
#include "Recipes.h"
#include "lice.h"

namespace imagegen {
// One text checked: where, its colour and the worst of what lies under it.
struct TextCheck {
  std::string image;  // file and size, e.g. "main-bg-yellow.png@small"
  std::string what;
  LICE_pixel text, background;
  double ratio;
};

struct SizeExtras {
  std::vector<PlacedCaption> captions;
  std::vector<TextSpot> spots;
};

// scheme: the palette of the image (kNeutral for the common ones); the
// run-time texts are checked in every scheme the image is shown in.
std::unique_ptr<LICE_MemBitmap> finishImage(const Drawing& drawing, double scale, int scheme, const SizeExtras& extras,
                                            const std::string& name, std::vector<TextCheck>& report,
                                            std::string& error);

// One line of the text report: "IMAGE<tab>WHAT<tab>RRGGBB<tab>RRGGBB<tab>RATIO".
std::string reportLine(const TextCheck& check);
}  // namespace imagegen
