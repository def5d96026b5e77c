#include <algorithm>

#include "Blit.h"
#include "CombineSelect.h"
#include "DeltaBlit.h"

namespace lice {

LICE_DeltaClip deltaSourceClip(LICE_IBitmap* src, bool cliptosourcerect, float srcx, float srcy, float srcw,
                               float srch)
{
  const int w = src->getWidth(), h = src->getHeight();
  if (!cliptosourcerect) return {0, 0, w, h};
  return {truncToInt(std::max<double>(srcx, 0.0)), truncToInt(std::max<double>(srcy, 0.0)),
          truncToInt(std::min<double>(srcx + srcw, w)), truncToInt(std::min<double>(srcy + srch, h))};
}

void runDeltaBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                  float srcy, double dsdx, double dtdx, double dsdy, double dtdy, double dsdxdy, double dtdxdy,
                  LICE_DeltaClip clip, float alpha, int mode)
{
  constexpr int kLimit = 1 << 28;
  if (dstx < -kLimit || dsty < -kLimit || dstx > kLimit || dsty > kLimit || dstw > kLimit || dsth > kLimit) return;
  if (dstx < 0) {
    srcx -= float(dstx * dsdx);
    srcy -= float(dstx * dtdx);
    dstw += dstx;
    dstx = 0;
  }
  if (dsty < 0) {
    srcx -= float(dsty * dsdy);
    srcy -= float(dsty * dtdy);
    dsth += dsty;
    dsty = 0;
  }
  if (dstx + dstw > dest->getWidth()) dstw = dest->getWidth() - dstx;
  if (dsty + dsth > dest->getHeight()) dsth = dest->getHeight() - dsty;
  if (dstw < 1 || dsth < 1) return;
  if (!src->getBits() || !dest->getBits()) return;
  const int ia = truncToInt(alpha * 256.0);
  if (!ia) return;
  // An empty source clip would put the last row or column outside the bitmap.
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;

  const LICE_Rows srows = LICE_GetRows(src), drows = LICE_GetRows(dest);
  unsigned char* d = drows.at(dstx, dsty);
  auto fixed = [](double v) { return int64_t(truncToInt(v * 65536.0)); };
  withBlitCombiner(mode, ia, [&](auto tag) {
    using C = typename decltype(tag)::type;
    _LICE_Template_Blit3::deltaBlit<C>(d, srows.origin, dstw, dsth, fixed(srcx), fixed(srcy), fixed(dsdx),
                                       fixed(dtdx), fixed(dsdy), fixed(dtdy), fixed(dsdxdy), fixed(dtdxdy), clip,
                                       srows.step, drows.step, ia, mode & 0xff00);
  });
}

}  // namespace lice

void LICE_DeltaBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                    double dsdxdy, double dtdxdy, bool cliptosourcerect, float alpha, int mode)
{
  if (!dest || !src || !dstw || !dsth) return;
  if (dstw < -(1 << 28) || dsth < -(1 << 28)) return;
  const LICE_DeltaClip clip = lice::deltaSourceClip(src, cliptosourcerect, srcx, srcy, srcw, srch);
  if (dstw < 0) dstx = lice::satAdd(dstx, dstw), dstw = -dstw, srcx += srcw;
  if (dsth < 0) dsty = lice::satAdd(dsty, dsth), dsth = -dsth, srcy += srch;
  lice::runDeltaBlit(dest, src, dstx, dsty, dstw, dsth, srcx, srcy, dsdx, dtdx, dsdy, dtdy, dsdxdy, dtdxdy, clip,
                     alpha, mode);
}
