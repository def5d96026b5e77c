#pragma once
// Per-combiner pixel loops of the blits and fills. Every loop takes raw first
// pixels and signed row steps in bytes, so flipped bitmaps need no special case.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "BilinearRows.h"
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
  // One row of w source pixels combined into the destination.
  static void blitRow(unsigned char* dest, const unsigned char* src, int w, int alpha)
  {
    if constexpr (std::is_same_v<C, _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>) {
      lice::rowSourceAlphaOver(reinterpret_cast<LICE_pixel*>(dest), reinterpret_cast<const LICE_pixel*>(src), w);
    } else if constexpr (std::is_same_v<C, _LICE_CombinePixelsCopyNoClamp>) {
      lice::rowCopyBlend(reinterpret_cast<LICE_pixel*>(dest), reinterpret_cast<const LICE_pixel*>(src), w, alpha);
    } else {
      for (int i = 0; i < w; ++i) lice::doPixFrom(std::type_identity<C>{}, dest + i * 4, src + i * 4, alpha);
    }
  }

  static void blit(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_span,
                   ptrdiff_t dest_span, int alpha)
  {
    if (w <= 0) return;
    for (; h > 0; --h, dest += dest_span, src += src_span) blitRow(dest, src, w, alpha);
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
    // Calls f(destination row, source row 0, source row 1, fy) for each drawn
    // row. The last source row is interpolated along itself alone, which is
    // the general rule with row 1 the same row and fy 0.
    auto forRows = [&](auto&& f) {
      int64_t y = icury;
      unsigned char* d = dest;
      for (int r = 0; r < h; ++r, y += idy, d += destspan) {
        const int64_t sy = y / 65536;
        if (y <= -65536 || sy > lasty) continue;
        const unsigned char* row0 = src + sy * srcspan;
        if (sy == lasty)
          f(d, row0, row0, 0);
        else
          f(d, row0, row0 + srcspan, int(y & 0xffff));
      }
    };
    if (overlapping(dest, destspan, w, h, src, srcspan, clampx, clampy)) {
      // Reading what it writes, the blit goes pixel by pixel in row order.
      forRows([&](unsigned char* d, const unsigned char* row0, const unsigned char* row1, int fy) {
        int64_t x = icurx;
        for (int i = 0; i < w; ++i, x += idx) bilinearPixel(d + i * 4, row0, row1, x, fy, lastx, ia);
      });
      return;
    }
    // The columns whose taps all lie inside the source are one run, those on
    // the last source column (interpolated down it alone) another: each is an
    // interval of x, walked in order.
    int run0 = -1, run1 = -1, edge0 = -1, edge1 = -1;
    int64_t x = icurx;
    for (int i = 0; i < w; ++i, x += idx) {
      const int64_t sx = x / 65536;
      if (x > -65536 && sx < lastx) {
        if (run0 < 0) run0 = i;
        run1 = i + 1;
      } else if (sx == lastx) {
        if (edge0 < 0) edge0 = i;
        edge1 = i + 1;
      }
    }
    // The run, in strips of nearly equal width when it is wider than a table,
    // its columns worked out once for all rows. Other combiners than the plain
    // store get the samples of a row first and combine them as a plain blit.
    constexpr int kMax = lice::BilinearColumns::kMax;
    lice::BilinearColumns columns;
    alignas(32) LICE_pixel mixed[std::is_same_v<C, _LICE_CombinePixelsClobberNoClamp> ? 1 : kMax];
    const int total = run1 - run0, strips = (total + kMax - 1) / kMax;
    for (int s = 0; s < strips; ++s) {
      const int from = run0 + int(int64_t(total) * s / strips);
      const int n = run0 + int(int64_t(total) * (s + 1) / strips) - from;
      columns.plan(icurx + from * idx, idx, n, clampx);
      forRows([&](unsigned char* d, const unsigned char* row0, const unsigned char* row1, int fy) {
        auto* out = reinterpret_cast<LICE_pixel*>(d) + from;
        if constexpr (std::is_same_v<C, _LICE_CombinePixelsClobberNoClamp>) {
          lice::rowBilinear(out, row0, row1, columns, fy);
        } else {
          lice::rowBilinear(mixed, row0, row1, columns, fy);
          blitRow(reinterpret_cast<unsigned char*>(out), reinterpret_cast<const unsigned char*>(mixed), n, ia);
        }
      });
    }
    if (edge0 >= 0)
      forRows([&](unsigned char* d, const unsigned char* row0, const unsigned char* row1, int fy) {
        for (int i = edge0; i < edge1; ++i) bilinearPixel(d + i * 4, row0, row1, icurx + i * idx, fy, lastx, ia);
      });
  }

  // The per-pixel rule: four taps inside the source, two down the last column,
  // nothing past it.
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

  // Whether the source rows the blit may read share memory with the
  // destination rows it writes.
  static bool overlapping(const unsigned char* dest, ptrdiff_t destspan, int w, int h, const unsigned char* src,
                          ptrdiff_t srcspan, int clampx, int clampy)
  {
    auto bytes = [](const unsigned char* p, ptrdiff_t span, int rows, int width) {
      const ptrdiff_t last = ptrdiff_t(rows - 1) * span;
      const auto at = reinterpret_cast<uintptr_t>(p);
      return std::pair{at + uintptr_t(std::min<ptrdiff_t>(0, last)),
                       at + uintptr_t(std::max<ptrdiff_t>(0, last)) + uintptr_t(width) * 4};
    };
    const auto [d0, d1] = bytes(dest, destspan, h, w);
    const auto [s0, s1] = bytes(src, srcspan, clampy, clampx);
    return d0 < s1 && s0 < d1;
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
