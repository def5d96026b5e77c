// A 5x7 dot-matrix face for the panel labels, in the manner of the
// instrument's own front panel: each lit dot is drawn as a small square or,
// when large enough, a round dot.
#pragma once

#include <string>
#include <vector>

#include "lice.h"

namespace imagegen {
// Width in pixels of text set with dots of `dot` pixels.
int dotTextWidth(const std::string& text, int dot);
inline int dotTextHeight(int dot) { return 7 * dot; }
void drawDotText(LICE_IBitmap* bm, int x, int y, const std::string& text, int dot, LICE_pixel color, float alpha = 1.0f);

// A label a drawing asks for. It is set once the drawing under it has been
// brought to the size it is shown at, so that it stays crisp and never
// shrinks below the 5x7 face: the anchor is a point of the drawing at size
// 1.0, and the label lies left of, centred on or right of it (align 0, 1, 2),
// and below, centred on or above it (vAlign 0, 1, 2).
struct TextRun {
  float x, y;
  int align, vAlign;
  std::string text;
  int dot;
  LICE_pixel colour;
};
using TextRuns = std::vector<TextRun>;

// Top left at (x, y).
inline void dotText(TextRuns& runs, int x, int y, const std::string& text, int dot, LICE_pixel colour) {
  runs.push_back({float(x), float(y), 0, 0, text, dot, colour});
}
// Top right at (x, y).
inline void dotTextRight(TextRuns& runs, int x, int y, const std::string& text, int dot, LICE_pixel colour) {
  runs.push_back({float(x), float(y), 2, 0, text, dot, colour});
}
// Centred on (cx, cy).
inline void dotTextCentred(TextRuns& runs, int cx, int cy, const std::string& text, int dot, LICE_pixel colour) {
  runs.push_back({float(cx), float(cy), 1, 1, text, dot, colour});
}
// The dot size a label of `dot` takes at a size factor: never larger than at
// size 1.0 and never below one pixel.
int scaledDot(int dot, double scale);
}  // namespace imagegen
