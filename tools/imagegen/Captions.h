// The captions the layout source gives its controls, placed into the
// background images under them. tarnivex_uilayout lists every control, one a
// line: "LINE<tab>x,y,w,h<tab>IMAGE<tab>CAPTION<tab>ROWCAPTION<tab>KEY@x,y ...",
// a size of 0 meaning the control's image gives it, "-" for no image, and the
// backgrounds it lies on innermost first.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lice.h"

namespace imagegen {
struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool overlaps(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
  bool holds(const Rect& o) const { return o.x >= x && o.y >= y && o.x + o.w <= x + w && o.y + o.h <= y + h; }
};

struct PlacedBackground {
  std::string key;
  Rect rect;  // in the window
  bool operator==(const PlacedBackground& o) const {
    return key == o.key && o.rect.x == rect.x && o.rect.y == rect.y;
  }
};

struct ControlEntry {
  int line = 0;
  Rect rect;
  std::string caption, rowCaption;
  std::vector<PlacedBackground> backgrounds;
};

struct PlacedCaption {
  int x, y;  // in the background image
  std::string text;
};
using CaptionMap = std::map<std::string, std::vector<PlacedCaption>>;  // by background key

// The size of one frame of an image; false for a key no drawing knows.
using ImageSize = std::function<bool(const std::string& key, int& w, int& h)>;
// Where in a background captions may go (image coordinates): inside one of
// `allowed` (everywhere when empty) and inside none of `kept`.
struct CaptionSpace {
  std::vector<Rect> allowed, kept;
};
using SpaceOf = std::function<CaptionSpace(const std::string& key, int w, int h)>;

bool readControlList(const std::string& text, const ImageSize& size, std::vector<ControlEntry>& controls,
                     std::string& error);
// Puts each caption on the innermost background that holds it. Refuses a
// caption that leaves its backgrounds, covers a control shown with it, leaves
// its space or runs into another caption; the error names the source line.
bool placeCaptions(const std::vector<ControlEntry>& controls, const SpaceOf& space, CaptionMap& placed,
                   std::string& error);
void drawCaptions(LICE_IBitmap* bm, const std::vector<PlacedCaption>& captions, LICE_pixel colour);
}  // namespace imagegen
