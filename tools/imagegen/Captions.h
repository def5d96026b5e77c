// What the layout source adds to the background images under its controls,
// at each size the editor is shown at: the captions it gives its controls,
// and the texts the controls draw at run time (a menu's value lies in a value
// window drawn into the background). tarnivex_uilayout lists every control,
// one a line:
//   LINE<tab>x,y,w,h<tab>IMAGE<tab>CAPTION<tab>ROWCAPTION<tab>KEY@x,y ...<tab>TEXT<tab>LAYERS
// a size of 0 meaning the control's image gives it, "-" for no image, the
// backgrounds it lies on innermost first, the look of the text it draws at
// run time (empty for none; see TextSpot) and the layers it lies in, outermost
// first, as "/"-separated numbers.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lice.h"

namespace imagegen {
// A length of the window at a size factor, as the editor scales it.
inline int scaledLength(int value, double scale) { return static_cast<int>(value * scale); }

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool overlaps(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
  bool holds(const Rect& o) const { return o.x >= x && o.y >= y && o.x + o.w <= x + w && o.y + o.h <= y + h; }
};

struct PlacedBackground {
  std::string key;
  Rect rect;  // in the window
  int baseW = 0, baseH = 0;  // its size at 1.0
  bool operator==(const PlacedBackground& o) const {
    return key == o.key && o.rect.x == rect.x && o.rect.y == rect.y;
  }
};

struct ControlEntry {
  int line = 0;
  Rect rect;    // where it takes clicks
  Rect drawn;   // what of it is drawn there; empty: all of rect
  std::string caption, rowCaption;
  std::vector<PlacedBackground> backgrounds;
  std::string image;   // the key of the image it draws, or empty
  bool sizedByImage = false;
  std::string text;    // the look of its run-time text, or empty
  std::string layers;  // the layers it lies in
};

struct PlacedCaption {
  int x, y;  // in the background image
  std::string text;
  bool onDisplay = false;  // set on a display, in its colours
};
using CaptionMap = std::map<std::string, std::vector<PlacedCaption>>;  // by background key

// A text a control draws at run time over a background: where (image
// coordinates), and its look as "KIND:DISPLAYSIZE:WHITE:VISIBLE:HEIGHT:PARAM"
// (the fields of textlooks::Text). A menu's value lies in a value window.
struct TextSpot {
  int line = 0;
  Rect rect;
  std::string look;
  bool window = false;
  // The window's face: the control's rectangle and, above and below it, the
  // room a text set taller than a small rectangle takes.
  Rect face() const { return {rect.x, rect.y - kWindowAbove, rect.w, rect.h + kWindowAbove + kWindowBelow}; }
  static constexpr int kWindowAbove = 2, kWindowBelow = 1;
};
using SpotMap = std::map<std::string, std::vector<TextSpot>>;  // by background key

// The size of one frame of an image at a size factor; false for a key no
// drawing knows.
using ImageSize = std::function<bool(const std::string& key, double scale, int& w, int& h)>;
// The part of a frame at size 1.0 that any of its frames draws on; false
// when nothing is known of it.
using ImageInk = std::function<bool(const std::string& key, Rect& ink)>;
// Where in a background captions may go (image coordinates at 1.0): inside
// one of `allowed` (everywhere when empty) and inside none of `kept`.
// Controls lie inside one of `panels` (anywhere on the image when empty) and
// cover nothing `kept`. Captions on one of `displays` take its colours.
struct CaptionSpace {
  std::vector<Rect> allowed, kept, panels, displays;
};
using SpaceOf = std::function<CaptionSpace(const std::string& key, int w, int h)>;

bool readControlList(const std::string& text, const ImageSize& size, std::vector<ControlEntry>& controls,
                     std::string& error);
// The controls as the editor places them at a size factor, with what of them
// is drawn: the inked part of an image, or a value window with its rim.
std::vector<ControlEntry> atSize(const std::vector<ControlEntry>& controls, double scale, const ImageSize& size,
                                 const ImageInk& ink = nullptr);
// Puts each caption on the innermost background that holds it. Refuses a
// caption that leaves its backgrounds, covers a control shown with it, leaves
// its space or runs into another caption; the error names the source line.
// The controls and backgrounds are those of one size, captions keep their
// face.
bool placeCaptions(const std::vector<ControlEntry>& controls, const SpaceOf& space, CaptionMap& placed,
                   std::string& error, double scale = 1.0);
// Puts each run-time text on the innermost background that holds its control.
bool placeTextSpots(const std::vector<ControlEntry>& controls, SpotMap& spots, std::string& error);
// Refuses two controls shown together that overlap, and a control that
// leaves its background, its panel or covers the background's drawing.
bool checkLayout(const std::vector<ControlEntry>& controls, const SpaceOf& space, double scale, std::string& error);
}  // namespace imagegen
