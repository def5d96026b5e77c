#pragma once
// Per-combiner pixel loops of the blits and fills. Every loop takes raw first
// pixels and signed row steps in bytes, so flipped bitmaps need no special case.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Combine.h"
#include "RowKernels.h"

namespace lice {

inline void doPixFrom(auto combiner, unsigned char* d, const unsigned char* s, int alpha)
{
  decltype(combiner)::type::doPix(d, s[LICE_PIXEL_R], s[LICE_PIXEL_G], s[LICE_PIXEL_B], s[LICE_PIXEL_A], alpha);
}

}  // namespace lice

// Fills: one colour, one weight.
template <class C>
struct _LICE_Template_Blit1 {
  static void solidBlit(unsigned char* dest, int w, int h, int r, int g, int b, int alpha, ptrdiff_t span)
  {
    for (; h > 0; --h, dest += span) {
      unsigned char* d = dest;
      for (int i = 0; i < w; ++i, d += 4) C::doPix(d, r, g, b, alpha, alpha);
    }
  }

  // 16.16 colours stepping per column and per row; the gradient's alpha is
  // both the source alpha and the weight.
  static void gradBlit(unsigned char* dest, int w, int h, int ir, int ig, int ib, int ia, int drdx, int dgdx,
                       int dbdx, int dadx, int drdy, int dgdy, int dbdy, int dady, ptrdiff_t span)
  {
    for (; h > 0; --h, dest += span) {
      // Unsigned steps: an overflowing gradient wraps instead of being undefined.
      unsigned r = unsigned(ir), g = unsigned(ig), b = unsigned(ib), a = unsigned(ia);
      unsigned char* d = dest;
      for (int i = 0; i < w; ++i, d += 4) {
        const int c = int(a) / 65536;
        C::doPix(d, int(r) / 65536, int(g) / 65536, int(b) / 65536, c, c);
        r += unsigned(drdx), g += unsigned(dgdx), b += unsigned(dbdx), a += unsigned(dadx);
      }
      ir = int(unsigned(ir) + unsigned(drdy));
      ig = int(unsigned(ig) + unsigned(dgdy));
      ib = int(unsigned(ib) + unsigned(dbdy));
      ia = int(unsigned(ia) + unsigned(dady));
    }
  }
};

// Scaled copies at full and half opacity on whole pixels.
template <class C>
struct _LICE_Template_Blit0 {
  static void scaleBlitFAST(unsigned char* dest, const unsigned char* src, int w, int h, int64_t icurx,
                            int64_t icury, int64_t idx, int64_t idy, int clampx, int clampy, ptrdiff_t srcspan,
                            ptrdiff_t destspan)
  {
    for (; h > 0; --h, icury += idy, dest += destspan) {
      if (icury <= -65536) continue;
      const int64_t sy = icury / 65536;
      if (sy >= clampy) continue;
      const auto* srow = reinterpret_cast<const LICE_pixel*>(src + sy * srcspan);
      auto* d = reinterpret_cast<LICE_pixel*>(dest);
      int64_t x = icurx;
      for (int i = 0; i < w; ++i, x += idx) {
        if (x <= -65536) continue;
        const int64_t sx = x / 65536;
        if (sx < clampx) C::doPixFAST(d + i, srow[sx]);
      }
    }
  }
};

template <class C>
struct _LICE_Template_Blit2 {
  static void blit(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_span,
                   ptrdiff_t dest_span, int alpha)
  {
    if (w <= 0) return;
    for (; h > 0; --h, dest += dest_span, src += src_span) {
      if constexpr (std::is_same_v<C, _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>) {
        lice::rowSourceAlphaOver(reinterpret_cast<LICE_pixel*>(dest), reinterpret_cast<const LICE_pixel*>(src), w);
      } else if constexpr (std::is_same_v<C, _LICE_CombinePixelsCopyNoClamp>) {
        lice::rowCopyBlend(reinterpret_cast<LICE_pixel*>(dest), reinterpret_cast<const LICE_pixel*>(src), w, alpha);
      } else {
        for (int i = 0; i < w; ++i) lice::doPixFrom(std::type_identity<C>{}, dest + i * 4, src + i * 4, alpha);
      }
    }
  }

  static void scaleBlit(unsigned char* dest, const unsigned char* src, int w, int h, int64_t icurx,
                        int64_t icury, int64_t idx, int64_t idy, int clampx, int clampy, ptrdiff_t srcspan,
                        ptrdiff_t destspan, int ia, int filter)
  {
    if (filter != 0x100) {
      for (; h > 0; --h, icury += idy, dest += destspan) {
        if (icury <= -65536) continue;
        const int64_t sy = icury / 65536;
        if (sy >= clampy) continue;
        const unsigned char* srow = src + sy * srcspan;
        int64_t x = icurx;
        for (int i = 0; i < w; ++i, x += idx) {
          if (x <= -65536) continue;
          const int64_t sx = x / 65536;
          if (sx < clampx) lice::doPixFrom(std::type_identity<C>{}, dest + i * 4, srow + sx * 4, ia);
        }
      }
      return;
    }
    const int lastx = clampx - 1, lasty = clampy - 1;
    for (; h > 0; --h, icury += idy, dest += destspan) {
      const int64_t sy = icury / 65536;
      const int fy = int(icury & 0xffff);
      const unsigned char* row0 = src + sy * srcspan;
      int64_t x = icurx;
      if (icury <= -65536 || sy >= lasty) {
        if (sy != lasty) continue;
        for (int i = 0; i < w; ++i, x += idx) {
          const int64_t sx = x / 65536;
          if (x <= -65536 || sx >= lastx) {
            if (sx == lastx) lice::doPixFrom(std::type_identity<C>{}, dest + i * 4, row0 + sx * 4, ia);
            continue;
          }
          unsigned char px[4];
          lice::lerp2(px, row0 + sx * 4, row0 + sx * 4 + 4, int(x & 0xffff));
          lice::doPixFrom(std::type_identity<C>{}, dest + i * 4, px, ia);
        }
        continue;
      }
      const unsigned char* row1 = row0 + srcspan;
      if constexpr (std::is_same_v<C, _LICE_CombinePixelsClobberNoClamp>) {
        // The middle run, where all four taps lie inside, goes to the wide kernel.
        int i = 0;
        for (; i < w; ++i, x += idx) {
          const int64_t sx = x / 65536;
          if (x > -65536 && sx < lastx) break;
          if (sx == lastx) {
            unsigned char px[4];
            lice::lerp2(px, row0 + sx * 4, row1 + sx * 4, fy);
            lice::doPixFrom(std::type_identity<C>{}, dest + i * 4, px, ia);
          }
        }
        // Coordinates just left of 0 still sample column 0; keep them out of the kernel.
        for (; i < w && x < 0; ++i, x += idx) bilinearPixel(dest + i * 4, row0, row1, x, fy, lastx, ia);
        if (i < w && idx > 0) {
          // Pixels whose x stays below lastx * 65536 keep all taps inside.
          const int64_t limit = int64_t(lastx) * 65536 - 1;
          int64_t n = (limit - x) / idx + 1;
          if (n > w - i) n = w - i;
          if (n > 0) {
            lice::rowBilinear(reinterpret_cast<LICE_pixel*>(dest + i * 4), row0, row1, int(n), x, idx, fy);
            i += int(n);
            x += n * idx;
          }
        }
        for (; i < w; ++i, x += idx) bilinearPixel(dest + i * 4, row0, row1, x, fy, lastx, ia);
        continue;
      }
      for (int i = 0; i < w; ++i, x += idx) bilinearPixel(dest + i * 4, row0, row1, x, fy, lastx, ia);
    }
  }

  static inline void bilinearPixel(unsigned char* d, const unsigned char* row0, const unsigned char* row1,
                                   int64_t x, int fy, int lastx, int ia)
  {
    const int64_t sx = x / 65536;
    unsigned char px[4];
    if (x <= -65536 || sx >= lastx) {
      if (sx != lastx) return;
      lice::lerp2(px, row0 + sx * 4, row1 + sx * 4, fy);
    } else {
      lice::lerp4(px, row0 + sx * 4, row1 + sx * 4, int(x & 0xffff), fy);
    }
    lice::doPixFrom(std::type_identity<C>{}, d, px, ia);
  }

  // Box average of a size x size window of equal weights (used when shrinking
  // by 1.7 or more); the part of the window outside the source is left out.
  static void scaleBlitFilterDown(unsigned char* dest, const unsigned char* src, int w, int h, int64_t icurx,
                                  int64_t icury, int64_t idx, int64_t idy, int clampx, int clampy,
                                  ptrdiff_t srcspan, ptrdiff_t destspan, int ia, const int* filter, int filt_start,
                                  int filtsz)
  {
    for (; h > 0; --h, icury += idy, dest += destspan) {
      if (icury <= -65536) continue;
      const int64_t sy = icury / 65536;
      if (sy >= clampy) continue;
      int64_t x = icurx;
      for (int i = 0; i < w; ++i, x += idx) {
        if (x <= -65536) continue;
        const int64_t sx = x / 65536;
        if (sx >= clampx) continue;
        int r = 0, g = 0, b = 0, a = 0, tot = 0;
        int64_t wy = sy + filt_start;
        for (int fy = 0; fy < filtsz; ++fy, ++wy) {
          if (wy >= clampy) break;
          if (wy < 0) continue;
          const unsigned char* row = src + wy * srcspan;
          for (int fx = 0; fx < filtsz; ++fx) {
            const int64_t wx = sx + filt_start + fx;
            if (wx < 0 || wx >= clampx) continue;
            const int wt = filter[fy * filtsz + fx];
            const unsigned char* p = row + wx * 4;
            r += p[LICE_PIXEL_R] * wt;
            g += p[LICE_PIXEL_G] * wt;
            b += p[LICE_PIXEL_B] * wt;
            a += p[LICE_PIXEL_A] * wt;
            tot += wt;
          }
        }
        if (tot > 0) C::doPix(dest + i * 4, r / tot, g / tot, b / tot, a / tot, ia);
      }
    }
  }
};
