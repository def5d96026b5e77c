#include "DotFont.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace imagegen {
namespace {
struct Glyph {
  char c;
  unsigned char rows[7];  // bit 4 is the leftmost dot
};

constexpr Glyph kGlyphs[] = {
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}}, {'C', {14, 17, 16, 16, 16, 17, 14}},
    {'D', {30, 17, 17, 17, 17, 17, 30}}, {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}}, {'I', {14, 4, 4, 4, 4, 4, 14}},
    {'J', {7, 2, 2, 2, 2, 18, 12}},      {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}}, {'O', {14, 17, 17, 17, 17, 17, 14}},
    {'P', {30, 17, 17, 30, 16, 16, 16}}, {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},       {'U', {17, 17, 17, 17, 17, 17, 14}},
    {'V', {17, 17, 17, 17, 17, 10, 4}},  {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 10, 4, 4, 4, 4}},     {'Z', {31, 1, 2, 4, 8, 16, 31}},     {'0', {14, 17, 19, 21, 25, 17, 14}},
    {'1', {4, 12, 4, 4, 4, 4, 14}},      {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},   {'6', {6, 8, 16, 30, 17, 17, 14}},
    {'7', {31, 1, 2, 4, 8, 8, 8}},       {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'-', {0, 0, 0, 31, 0, 0, 0}},       {'.', {0, 0, 0, 0, 0, 12, 12}},      {'/', {0, 1, 2, 4, 8, 16, 0}},
    {'+', {0, 4, 4, 31, 4, 4, 0}},       {':', {0, 12, 12, 0, 12, 12, 0}},    {'!', {4, 4, 4, 4, 4, 0, 4}},
    {'?', {14, 17, 1, 2, 4, 0, 4}},      {'&', {12, 18, 20, 8, 21, 18, 13}},  {'<', {2, 4, 8, 16, 8, 4, 2}},
    {'>', {8, 4, 2, 1, 2, 4, 8}},        {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* glyphFor(char c) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Glyph& g : kGlyphs)
    if (g.c == upper) return &g;
  return nullptr;
}
}  // namespace

int dotTextWidth(const std::string& text, int dot) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * dot - dot;
}

void drawDotText(LICE_IBitmap* bm, int x, int y, const std::string& text, int dot, LICE_pixel color, float alpha) {
  for (char c : text) {
    if (const Glyph* g = glyphFor(c)) {
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
          if (!(g->rows[row] & (16 >> col))) continue;
          const int px = x + col * dot, py = y + row * dot;
          if (dot >= 3)
            LICE_FillCircle(bm, px + dot * 0.5f - 0.5f, py + dot * 0.5f - 0.5f, dot * 0.48f, color, alpha, 0, true);
          else
            LICE_FillRect(bm, px, py, dot, dot, color, alpha, 0);
        }
    }
    x += 6 * dot;
  }
}

int scaledDot(int dot, double scale) {
  if (scale >= 1.0) return dot;
  // Large faces shrink with the drawing; the small ones keep their dots.
  const double scaled = dot * scale;
  return std::max(1, static_cast<int>(dot >= 3 ? scaled : std::lround(scaled)));
}
}  // namespace imagegen
