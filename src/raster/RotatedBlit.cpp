#include <cmath>

#include "Blit.h"
#include "CombineSelect.h"
#include "DeltaBlit.h"

void LICE_RotatedBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool cliptosourcerect, float alpha, int mode,
                      float rotxcent, float rotycent)
{
  if (!dest || !src || !dstw || !dsth) return;
  if (dstw < -(1 << 28) || dsth < -(1 << 28)) return;
  const LICE_DeltaClip clip = lice::deltaSourceClip(src, cliptosourcerect, srcx, srcy, srcw, srch);
  if (dstw < 0) dstx = lice::satAdd(dstx, dstw), dstw = -dstw, srcx += srcw, srcw = -srcw;
  if (dsth < 0) dsty = lice::satAdd(dsty, dsth), dsth = -dsth, srcy += srch, srch = -srch;

  const double cosa = std::cos(angle), sina = std::sin(angle);
  const double xsc = srcw / float(dstw), ysc = srch / float(dsth);
  const double dsdx = xsc * cosa, dtdx = -ysc * sina, dsdy = xsc * sina, dtdy = ysc * cosa;
  // The destination centre shows the source centre, shifted by the offsets.
  srcx -= float(0.5 * (dstw * dsdx + dsth * dsdy - srcw) - rotxcent);
  srcy -= float(0.5 * (dsth * dtdy + dstw * dtdx - srch) - rotycent);
  lice::runDeltaBlit(dest, src, dstx, dsty, dstw, dsth, srcx, srcy, dsdx, dtdx, dsdy, dtdy, 0.0, 0.0, clip, alpha,
                     mode);
}
