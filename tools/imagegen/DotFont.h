// A 5x7 dot-matrix face for the panel labels, in the manner of the
// instrument's own front panel: each lit dot is drawn as a small square or,
// when large enough, a round dot.
#pragma once

#include <string>

#include "lice.h"

namespace imagegen {
// Width in pixels of text set with dots of `dot` pixels.
int dotTextWidth(const std::string& text, int dot);
inline int dotTextHeight(int dot) { return 7 * dot; }
void drawDotText(LICE_IBitmap* bm, int x, int y, const std::string& text, int dot, LICE_pixel color, float alpha = 1.0f);
// Centred on (cx, cy).
void drawDotTextCentred(LICE_IBitmap* bm, int cx, int cy, const std::string& text, int dot, LICE_pixel color,
                        float alpha = 1.0f);
}  // namespace imagegen
