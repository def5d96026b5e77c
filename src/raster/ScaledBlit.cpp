#include <algorithm>
#include <cmath>

#include "Blit.h"
#include "BlitTemplates.h"
#include "CombineSelect.h"

namespace {

// Keeps rectangle arithmetic away from int overflow; no bitmap comes near it.
constexpr int kCoordLimit = 1 << 28;

bool saneInts(std::initializer_list<int> v)
{
  for (int i : v)
    if (i > kCoordLimit || i < -kCoordLimit) return false;
  return true;
}

// Skips the destination pixels that would sample before the source and trims
// those past its end. The last pixel at exactly (size - 1) is trimmed too.
void trimToSource(int& dpos, int& dlen, int64_t& icur, int64_t step, int srcSize)
{
  if (step <= 0) return;
  if (icur < 0) {
    const int64_t n = (step - 1 - icur) / step;
    dlen -= int(std::min<int64_t>(n, kCoordLimit));
    dpos += int(std::min<int64_t>(n, kCoordLimit));
    icur += n * step;
  }
  if ((int64_t(dlen - 1) * step + icur) / 65536 >= srcSize) {
    const int64_t limit = ((int64_t(srcSize) - 1) * 65536 - icur) / step;
    if (limit < dlen) dlen = int(std::max<int64_t>(limit, -1));
  }
}

}  // namespace

void LICE_ScaledBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode)
{
  if (!dest || !src || !dstw || !dsth || alpha == 0.0f) return;
  if (!saneInts({dstx, dsty, dstw, dsth})) return;

  if (std::fabs(double(srcw - float(dstw))) < 0.001 && std::fabs(double(srch - float(dsth))) < 0.001) {
    const bool onWholePixel = (mode & 0xff00) != 0x100 || (std::fabs(srcx - std::floor(srcx + 0.5)) < 0.03 &&
                                                          std::fabs(srcy - std::floor(srcy + 0.5)) < 0.03);
    if (onWholePixel) {
      RECT r;
      r.left = lice::truncToInt(srcx + 0.5f);
      r.top = lice::truncToInt(srcy + 0.5f);
      r.right = int(std::clamp<int64_t>(int64_t(r.left) + dstw, INT32_MIN, INT32_MAX));
      r.bottom = int(std::clamp<int64_t>(int64_t(r.top) + dsth, INT32_MIN, INT32_MAX));
      LICE_Blit(dest, src, dstx, dsty, &r, alpha, mode);
      return;
    }
  }

  if (dstw < 0) dstx += dstw, dstw = -dstw, srcx += srcw, srcw = -srcw;
  if (dsth < 0) dsty += dsth, dsth = -dsth, srcy += srch, srch = -srch;

  const float xstep = srcw / float(dstw), ystep = srch / float(dsth);
  if (dstx < 0) {
    srcx -= float(double(dstx) * xstep);
    dstw += dstx;
    dstx = 0;
  }
  if (dsty < 0) {
    srcy -= float(double(dsty) * ystep);
    dsth += dsty;
    dsty = 0;
  }
  const int destW = dest->getWidth(), destH = dest->getHeight();
  if (dstx + dstw > destW) dstw = destW - dstx;
  if (dsty + dsth > destH) dsth = destH - dsty;
  if (dstw < 1 || dsth < 1) return;

  const int64_t idx = lice::truncToInt(xstep * 65536.0), idy = lice::truncToInt(ystep * 65536.0);
  int64_t icurx = lice::truncToInt(srcx * 65536.0), icury = lice::truncToInt(srcy * 65536.0);
  trimToSource(dstx, dstw, icurx, idx, src->getWidth());
  trimToSource(dsty, dsth, icury, idy, src->getHeight());
  if (dstw < 1 || dsth < 1) return;

  if (!src->getBits() || !dest->getBits()) return;
  const LICE_Rows srows = LICE_GetRows(src), drows = LICE_GetRows(dest);
  unsigned char* d = drows.at(dstx, dsty);

  int clampx = lice::truncToInt(double(std::max(srcw, 0.0f) + srcx) + 0.999999);
  int clampy = lice::truncToInt(double(std::max(srch, 0.0f) + srcy) + 0.999999);
  clampx = std::min(clampx, src->getWidth());
  clampy = std::min(clampy, src->getHeight());
  if (clampx < 1 || clampy < 1) return;

  const int ia = lice::truncToInt(alpha * 256.0);
  const int filter = mode & 0xff00;
  const unsigned char* s = srows.origin;

  if ((mode & 0x1ffff) == 0 && (ia == 256 || ia == 128)) {
    if (ia == 256)
      _LICE_Template_Blit0<_LICE_CombinePixelsClobberFAST>::scaleBlitFAST(d, s, dstw, dsth, icurx, icury, idx, idy,
                                                                          clampx, clampy, srows.step, drows.step);
    else
      _LICE_Template_Blit0<_LICE_CombinePixelsHalfMixFAST>::scaleBlitFAST(d, s, dstw, dsth, icurx, icury, idx, idy,
                                                                          clampx, clampy, srows.step, drows.step);
    return;
  }
  if (!ia) return;

  if (filter == 0x100 && double(xstep) >= 1.7 && double(ystep) >= 1.7) {
    const int size = std::max(idx, idy) > 0x30000 ? 5 : 3;
    int kernel[25];
    std::fill(kernel, kernel + 25, 65536);
    lice::withBlitCombiner(mode, ia, [&](auto tag) {
      using C = typename decltype(tag)::type;
      _LICE_Template_Blit2<C>::scaleBlitFilterDown(d, s, dstw, dsth, icurx, icury, idx, idy, clampx, clampy,
                                                   srows.step, drows.step, ia, kernel, -(size / 2), size);
    });
    return;
  }
  lice::withBlitCombiner(mode, ia, [&](auto tag) {
    using C = typename decltype(tag)::type;
    _LICE_Template_Blit2<C>::scaleBlit(d, s, dstw, dsth, icurx, icury, idx, idy, clampx, clampy, srows.step,
                                       drows.step, ia, filter);
  });
}
