#include <algorithm>

#include "CombineSelect.h"
#include "Fill.h"

template <class Combine>
struct GlyphDrawImpl {
  // Each covered pixel is combined once with weight coverage * a / 256.
  static void DrawGlyph(const unsigned char* mask, unsigned char* dest, int w, int h, LICE_pixel color,
                        ptrdiff_t destStep, int maskSpan, int a)
  {
    const int r = int(LICE_GETR(color)), g = int(LICE_GETG(color)), b = int(LICE_GETB(color)),
              ca = int(LICE_GETA(color));
    for (; h > 0; --h, mask += maskSpan, dest += destStep)
      for (int i = 0; i < w; ++i)
        if (const int m = mask[i]) Combine::doPix(dest + i * 4, r, g, b, ca, (m * a) / 256);
  }
};

void LICE_DrawGlyphEx(LICE_IBitmap* dest, int x, int y, LICE_pixel color, const unsigned char* alphas, int glyph_w,
                      int glyph_span, int glyph_h, float alpha, int mode)
{
  if (!dest || !alphas || glyph_w <= 0 || glyph_h <= 0 || x <= -glyph_w || y <= -glyph_h) return;
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int bw = dest->getWidth(), bh = dest->getHeight();
  if (x0 >= bw || y0 >= bh) return;
  int w = glyph_w + std::min(x, 0), h = glyph_h + std::min(y, 0);
  w = std::min(w, bw - x0);
  h = std::min(h, bh - y0);
  if (w <= 0 || h <= 0) return;
  const int a = lice::truncToInt(alpha * 256.0f);
  if (!a || (mode & 0xFF) >= 6 || !dest->getBits()) return;

  unsigned char* d = LICE_GetRows(dest).at(x0, y0);
  const ptrdiff_t step = LICE_GetRows(dest).step;
  const unsigned char* m = alphas + ptrdiff_t(std::max(-y, 0)) * glyph_span + std::max(-x, 0);
  lice::withWeightedCombiner(mode, a, [&](auto tag) {
    GlyphDrawImpl<typename decltype(tag)::type>::DrawGlyph(m, d, w, h, color, step, glyph_span, a);
  });
}

void LICE_DrawGlyph(LICE_IBitmap* dest, int x, int y, LICE_pixel color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode)
{
  LICE_DrawGlyphEx(dest, x, y, color, alphas, glyph_w, glyph_w, glyph_h, alpha, mode);
}
