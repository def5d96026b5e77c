// Drawing steps shared by the image recipes, on the raster library.
#pragma once

#include <initializer_list>

#include "DotFont.h"
#include "Palette.h"
#include "lice.h"

namespace imagegen {
LICE_pixel mix(LICE_pixel a, LICE_pixel b, float t);
// The WCAG contrast of two colours (their alpha left out), and of a list of
// colours the one that reads best on `under`.
double contrastOf(LICE_pixel a, LICE_pixel b);
LICE_pixel mostLegible(std::initializer_list<LICE_pixel> colours, LICE_pixel under);
void verticalGradient(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel top, LICE_pixel bottom);
// A translucent fill composited over what is there.
void blendRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel c, float alpha = 1.0f);
// A filled rounded rectangle, anti-aliased at its corners.
void fillRounded(LICE_IBitmap* bm, int x, int y, int w, int h, int r, LICE_pixel c, float alpha = 1.0f);
// A sunken area: darker fill, a shadow along the top edge, a light lower edge.
void recessed(LICE_IBitmap* bm, int x, int y, int w, int h, int r, const Palette& p);
// A raised plate with a bevel.
void raised(LICE_IBitmap* bm, int x, int y, int w, int h, int r, LICE_pixel face, float light = 0.18f);
// An outlined section with its title set into the top edge.
void section(LICE_IBitmap* bm, TextRuns& texts, int x, int y, int w, int h, const char* title, const Palette& p);
void screw(LICE_IBitmap* bm, float cx, float cy, const Palette& p);
// A faceplate: gradient, faint brushing and a border.
void faceplate(LICE_IBitmap* bm, int x, int y, int w, int h, const Palette& p);
// A thick anti-aliased arc, angles in radians with 0 up and clockwise positive.
void thickArc(LICE_IBitmap* bm, float cx, float cy, float r, float width, float a1, float a2, LICE_pixel c);
void thickLine(LICE_IBitmap* bm, float x1, float y1, float x2, float y2, float width, LICE_pixel c);
}  // namespace imagegen
