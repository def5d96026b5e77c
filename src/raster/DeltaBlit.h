#pragma once
// The affine walk shared by the rotated, delta and grid-warped blits.

#include <cstddef>
#include <cstdint>

#include "BlitTemplates.h"

struct LICE_DeltaClip {
  int left, top, right, bottom;  // source pixels, right and bottom exclusive
};

struct _LICE_Template_Blit3 {
  // Walks w x h destination pixels from source point (s0, t0) in 16.16, stepping
  // (dsdx, dtdx) along a row and (dsdy, dtdy) per row, the along-row step itself
  // changing by (dsdxdy, dtdxdy) per row. Nothing outside the clip is read.
  template <class C>
  static void deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int64_t s0, int64_t t0,
                        int64_t dsdx, int64_t dtdx, int64_t dsdy, int64_t dtdy, int64_t dsdxdy, int64_t dtdxdy,
                        LICE_DeltaClip clip, ptrdiff_t srcstep, ptrdiff_t deststep, int ia, int filter)
  {
    const int lastx = clip.right - 1, lasty = clip.bottom - 1;
    for (; h > 0; --h, dest += deststep, s0 += dsdy, t0 += dtdy, dsdx += dsdxdy, dtdx += dtdxdy) {
      int64_t s = s0, t = t0;
      unsigned char* d = dest;
      for (int i = 0; i < w; ++i, d += 4, s += dsdx, t += dtdx) {
        const int64_t sx = s / 65536, sy = t / 65536;
        if (filter != 0x100) {
          if (sx >= clip.left && sx < clip.right && sy >= clip.top && sy < clip.bottom)
            lice::doPixFrom(std::type_identity<C>{}, d, src + sy * srcstep + sx * 4, ia);
          continue;
        }
        const int fx = int(s & 0xffff), fy = int(t & 0xffff);
        unsigned char px[4];
        if (sy < clip.top || sy >= lasty) {
          if (sy != lasty) continue;
          const unsigned char* row = src + sy * srcstep;
          if (sx < clip.left || sx >= lastx) {
            if (sx != lastx) continue;
            lice::doPixFrom(std::type_identity<C>{}, d, row + sx * 4, ia);
            continue;
          }
          lice::lerp2(px, row + sx * 4, row + sx * 4 + 4, fx);
        } else if (sx < clip.left || sx >= lastx) {
          if (sx != lastx) continue;
          const unsigned char* p = src + sy * srcstep + sx * 4;
          lice::lerp2(px, p, p + srcstep, fy);
        } else {
          const unsigned char* p = src + sy * srcstep + sx * 4;
          lice::lerp4(px, p, p + srcstep, fx, fy);
        }
        lice::doPixFrom(std::type_identity<C>{}, d, px, ia);
      }
    }
  }
};

namespace lice {

// Source clip rectangle of the rotated and delta blits, limited to the bitmap.
LICE_DeltaClip deltaSourceClip(LICE_IBitmap* src, bool cliptosourcerect, float srcx, float srcy, float srcw,
                               float srch);

// Clips the destination rectangle, picks the combiner and runs the walk.
// srcx, srcy is the source point of destination pixel (dstx, dsty).
void runDeltaBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                  float srcy, double dsdx, double dtdx, double dsdy, double dtdy, double dsdxdy, double dtdxdy,
                  LICE_DeltaClip clip, float alpha, int mode);

}  // namespace lice
