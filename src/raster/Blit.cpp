#include <algorithm>
#include <cstring>

#include "Blit.h"
#include "BlitTemplates.h"
#include "CombineSelect.h"

namespace {

// Opaque copies move whole rows. A bitmap copied onto itself walks the rows in
// the order that reads each before it is overwritten.
void copyRows(unsigned char* d, const unsigned char* s, int w, int h, ptrdiff_t dstep, ptrdiff_t sstep, bool same)
{
  if (!same) {
    for (int y = 0; y < h; ++y, s += sstep, d += dstep)
      lice::rowCopy(reinterpret_cast<LICE_pixel*>(d), reinterpret_cast<const LICE_pixel*>(s), w);
    return;
  }
  if ((d > s) == (dstep > 0)) {
    d += (h - 1) * dstep, s += (h - 1) * sstep, dstep = -dstep, sstep = -sstep;
  }
  for (int y = 0; y < h; ++y, s += sstep, d += dstep) std::memmove(d, s, size_t(w) * 4);
}

}  // namespace

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, const RECT* srcrect, float alpha,
               int mode)
{
  if (!dest || !src || alpha == 0.0f) return;
  const int sw = src->getWidth(), sh = src->getHeight();
  const int dw = dest->getWidth(), dh = dest->getHeight();
  int64_t left = 0, top = 0, right = sw, bottom = sh;
  int64_t dx = dstx, dy = dsty;
  if (srcrect) {
    left = srcrect->left, top = srcrect->top, right = srcrect->right, bottom = srcrect->bottom;
    // Cutting off the part left of or above the source keeps the rest in place.
    if (left < 0) dx -= left, left = 0;
    if (top < 0) dy -= top, top = 0;
    right = std::min<int64_t>(right, sw);
    bottom = std::min<int64_t>(bottom, sh);
  }
  if (dx < 0) left -= dx, dx = 0;
  if (dy < 0) top -= dy, dy = 0;
  if (dx + (right - left) > dw) right = left + dw - dx;
  if (dy + (bottom - top) > dh) bottom = top + dh - dy;
  const int w = int(std::max<int64_t>(right - left, 0)), h = int(std::max<int64_t>(bottom - top, 0));
  if (w <= 0 || h <= 0) return;
  if (!src->getBits() || !dest->getBits()) return;

  const LICE_Rows srows = LICE_GetRows(src), drows = LICE_GetRows(dest);
  const unsigned char* s = srows.at(int(left), int(top));
  unsigned char* d = drows.at(int(dx), int(dy));

  if ((mode & 0xF0) == 0xF0) {
    const int from = mode & 3, to = (mode >> 2) & 3;
    for (int y = 0; y < h; ++y, s += srows.step, d += drows.step)
      for (int x = 0; x < w; ++x) d[x * 4 + to] = s[x * 4 + from];
    return;
  }
  if ((mode & 0x100FF) == 0 && alpha == 1.0f) {
    copyRows(d, s, w, h, drows.step, srows.step, dest == src);
    return;
  }
  if ((mode & 0x100FF) == 0 && alpha == 0.5f) {
    for (int y = 0; y < h; ++y, s += srows.step, d += drows.step) {
      auto* dp = reinterpret_cast<LICE_pixel*>(d);
      const auto* sp = reinterpret_cast<const LICE_pixel*>(s);
      for (int x = 0; x < w; ++x) _LICE_CombinePixelsHalfMixFAST::doPixFAST(dp + x, sp[x]);
    }
    return;
  }
  const int ia = lice::truncToInt(alpha * 256.0);
  if (!ia) return;
  if ((mode & 0x100FF) == 0 && ia == 256) {
    copyRows(d, s, w, h, drows.step, srows.step, dest == src);
    return;
  }
  lice::withBlitCombiner(mode, ia, [&](auto tag) {
    using C = typename decltype(tag)::type;
    _LICE_Template_Blit2<C>::blit(d, s, w, h, srows.step, drows.step, ia);
  });
}

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode)
{
  const RECT r{srcx, srcy, int(std::clamp<int64_t>(int64_t(srcx) + srcw, INT32_MIN, INT32_MAX)),
               int(std::clamp<int64_t>(int64_t(srcy) + srch, INT32_MIN, INT32_MAX))};
  LICE_Blit(dest, src, dstx, dsty, &r, alpha, mode);
}

void LICE_Copy(LICE_IBitmap* dest, LICE_IBitmap* src)
{
  if (!dest || !src) return;
  dest->resize(src->getWidth(), src->getHeight());
  LICE_Blit(dest, src, 0, 0, nullptr, 1.0f, 0);
}
