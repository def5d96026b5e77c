#include <algorithm>
#include <cstring>

#include "Blit.h"

void LICE_HalveBlitAA(LICE_IBitmap* dest, LICE_IBitmap* src)
{
  if (!dest || !src) return;
  const int w = std::min(dest->getWidth(), src->getWidth() / 2);
  const int h = std::min(dest->getHeight(), src->getHeight() / 2);
  LICE_pixel* d = dest->getBits();
  const LICE_pixel* s = src->getBits();
  if (w <= 0 || h <= 0 || !d || !s) return;
  const ptrdiff_t dspan = dest->getRowSpan(), sspan = src->getRowSpan();
  auto q = [](LICE_pixel p) { return (p >> 2) & 0x3f3f3f3f; };
  for (int y = 0; y < h; ++y, d += dspan, s += sspan * 2) {
    const LICE_pixel* s2 = s + sspan;
    for (int x = 0; x < w; ++x) d[x] = q(s[2 * x]) + q(s[2 * x + 1]) + q(s2[2 * x]) + q(s2[2 * x + 1]);
  }
}

namespace {

const LICE_pixel* imageRow(LICE_IBitmap* bm, int y)
{
  return reinterpret_cast<const LICE_pixel*>(LICE_GetRows(bm).row(y));
}

}  // namespace

int LICE_BitmapCmp(LICE_IBitmap* a, LICE_IBitmap* b, int* coordsOut)
{
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  const int w = a->getWidth(), h = a->getHeight();
  if (w != b->getWidth()) return b->getWidth() - w;
  if (h != b->getHeight()) return b->getHeight() - h;
  if (w <= 0 || h <= 0 || !a->getBits() || !b->getBits()) {
    if (coordsOut) std::fill(coordsOut, coordsOut + 4, 0);
    return 0;
  }
  if (!coordsOut) {
    for (int y = 0; y < h; ++y) {
      const int c = std::memcmp(imageRow(a, y), imageRow(b, y), size_t(w) * 4);
      if (c) return c;
    }
    return 0;
  }

  auto differs = [&](int y, int x) { return imageRow(a, y)[x] != imageRow(b, y)[x]; };
  int top = 0, left = 0, right = 0;
  for (; top < h; ++top) {
    int x = 0;
    while (x < w && !differs(top, x)) ++x;
    if (x == w) continue;
    left = x;
    right = w - 1;
    while (!differs(top, right)) --right;
    break;
  }
  if (top == h) {
    std::fill(coordsOut, coordsOut + 4, 0);
    return 0;
  }
  int bottom = h - 1;
  for (; bottom > top; --bottom) {
    int x = 0;
    while (x < w && !differs(bottom, x)) ++x;
    if (x == w) continue;
    left = std::min(left, x);
    int xr = w - 1;
    while (!differs(bottom, xr)) --xr;
    right = std::max(right, xr);
    break;
  }
  // Middle rows: only the columns outside the box found so far need a look.
  for (int y = top + 1; y < bottom && (left > 0 || right < w - 1); ++y) {
    for (int x = 0; x < left; ++x)
      if (differs(y, x)) {
        left = x;
        break;
      }
    for (int x = w - 1; x > right; --x)
      if (differs(y, x)) {
        right = x;
        break;
      }
  }
  coordsOut[0] = left;
  coordsOut[1] = top;
  coordsOut[2] = right - left + 1;
  coordsOut[3] = bottom - top + 1;
  return 1;
}
