#pragma once
// Pixel combiners. Each class has one static doPix that combines a source
// (r, g, b, a) into the destination pixel in place with an integer weight
// (256 = full). Loops are instantiated per class so the arithmetic inlines.
//
// Divisions truncate toward zero on purpose: the results are part of the
// drawing contract and tests pin them.

#include <array>

#include "Pixel.h"

namespace lice {

inline int clamp255(int v)
{
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

// 65536 / i - 1, so that the HSV conversion needs no per-pixel division.
extern const std::array<unsigned short, 256> _LICE_RGB2HSV_invtab;

}  // namespace lice

struct _LICE_CombinePixelsClobberNoClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int)
  {
    d[LICE_PIXEL_R] = (unsigned char)r;
    d[LICE_PIXEL_G] = (unsigned char)g;
    d[LICE_PIXEL_B] = (unsigned char)b;
    d[LICE_PIXEL_A] = (unsigned char)a;
  }
};

struct _LICE_CombinePixelsClobberClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int)
  {
    _LICE_CombinePixelsClobberNoClamp::doPix(d, lice::clamp255(r), lice::clamp255(g), lice::clamp255(b),
                                             lice::clamp255(a), 256);
  }
};

// The shapes' half mix: (d + s) >> 1 per channel, which rounds differently from
// the blits' word-wise d/2 + s/2.
struct _LICE_CombinePixelsHalfMixNoClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int)
  {
    d[LICE_PIXEL_R] = (unsigned char)((d[LICE_PIXEL_R] + r) >> 1);
    d[LICE_PIXEL_G] = (unsigned char)((d[LICE_PIXEL_G] + g) >> 1);
    d[LICE_PIXEL_B] = (unsigned char)((d[LICE_PIXEL_B] + b) >> 1);
    d[LICE_PIXEL_A] = (unsigned char)((d[LICE_PIXEL_A] + a) >> 1);
  }
};

struct _LICE_CombinePixelsCopyNoClamp {
  static inline int chan(int d, int s, int inv) { return s + ((d - s) * inv) / 256; }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    const int inv = 256 - alpha;
    d[LICE_PIXEL_R] = (unsigned char)chan(d[LICE_PIXEL_R], r, inv);
    d[LICE_PIXEL_G] = (unsigned char)chan(d[LICE_PIXEL_G], g, inv);
    d[LICE_PIXEL_B] = (unsigned char)chan(d[LICE_PIXEL_B], b, inv);
    d[LICE_PIXEL_A] = (unsigned char)chan(d[LICE_PIXEL_A], a, inv);
  }
};

struct _LICE_CombinePixelsCopyClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    const int inv = 256 - alpha;
    using C = _LICE_CombinePixelsCopyNoClamp;
    d[LICE_PIXEL_R] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_R], r, inv));
    d[LICE_PIXEL_G] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_G], g, inv));
    d[LICE_PIXEL_B] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_B], b, inv));
    d[LICE_PIXEL_A] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_A], a, inv));
  }
};

struct _LICE_CombinePixelsAdd {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    d[LICE_PIXEL_R] = (unsigned char)lice::clamp255(d[LICE_PIXEL_R] + (r * alpha) / 256);
    d[LICE_PIXEL_G] = (unsigned char)lice::clamp255(d[LICE_PIXEL_G] + (g * alpha) / 256);
    d[LICE_PIXEL_B] = (unsigned char)lice::clamp255(d[LICE_PIXEL_B] + (b * alpha) / 256);
    d[LICE_PIXEL_A] = (unsigned char)lice::clamp255(d[LICE_PIXEL_A] + (a * alpha) / 256);
  }
};

struct _LICE_CombinePixelsColorDodge {
  static inline unsigned char chan(int d, int s, int alpha)
  {
    const int t = 256 - (s * alpha) / 256;
    unsigned q = unsigned(d) * 256u;
    if (t >= 2) q /= unsigned(t);
    return (unsigned char)(q > 255 ? 255 : q);
  }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    d[LICE_PIXEL_R] = chan(d[LICE_PIXEL_R], r, alpha);
    d[LICE_PIXEL_G] = chan(d[LICE_PIXEL_G], g, alpha);
    d[LICE_PIXEL_B] = chan(d[LICE_PIXEL_B], b, alpha);
    d[LICE_PIXEL_A] = chan(d[LICE_PIXEL_A], a, alpha);
  }
};

struct _LICE_CombinePixelsMulNoClamp {
  static inline int chan(int d, int s, int alpha) { return (d * (s * alpha + (256 - alpha) * 256)) / 65536; }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    d[LICE_PIXEL_R] = (unsigned char)chan(d[LICE_PIXEL_R], r, alpha);
    d[LICE_PIXEL_G] = (unsigned char)chan(d[LICE_PIXEL_G], g, alpha);
    d[LICE_PIXEL_B] = (unsigned char)chan(d[LICE_PIXEL_B], b, alpha);
    d[LICE_PIXEL_A] = (unsigned char)chan(d[LICE_PIXEL_A], a, alpha);
  }
};

struct _LICE_CombinePixelsMulClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    using M = _LICE_CombinePixelsMulNoClamp;
    d[LICE_PIXEL_R] = (unsigned char)lice::clamp255(M::chan(d[LICE_PIXEL_R], r, alpha));
    d[LICE_PIXEL_G] = (unsigned char)lice::clamp255(M::chan(d[LICE_PIXEL_G], g, alpha));
    d[LICE_PIXEL_B] = (unsigned char)lice::clamp255(M::chan(d[LICE_PIXEL_B], b, alpha));
    d[LICE_PIXEL_A] = (unsigned char)lice::clamp255(M::chan(d[LICE_PIXEL_A], a, alpha));
  }
};

struct _LICE_CombinePixelsOverlay {
  static inline unsigned char chan(int d, int s, int alpha)
  {
    const int m = s * alpha + (256 - alpha) * 128;
    return (unsigned char)lice::clamp255(((m + ((32768 - m) * d) / 256) * d) / 32768);
  }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    d[LICE_PIXEL_R] = chan(d[LICE_PIXEL_R], r, alpha);
    d[LICE_PIXEL_G] = chan(d[LICE_PIXEL_G], g, alpha);
    d[LICE_PIXEL_B] = chan(d[LICE_PIXEL_B], b, alpha);
    d[LICE_PIXEL_A] = chan(d[LICE_PIXEL_A], a, alpha);
  }
};

// Shifts the destination's hue, saturation and value by (h, s, v) - 128, each
// scaled by the weight; hue runs on a circle of 384 steps.
struct _LICE_CombinePixelsHSVAdjust {
  static void doPix(unsigned char* dest, int h, int s, int v, int a, int alpha);
};

// Source-alpha forms: the source pixel's own alpha scales the weight.
struct _LICE_CombinePixelsCopySourceAlphaNoClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    if (!a) return;
    const int al = ((a + 1) * alpha) / 256;
    const int inv = 256 - al;
    using C = _LICE_CombinePixelsCopyNoClamp;
    d[LICE_PIXEL_R] = (unsigned char)C::chan(d[LICE_PIXEL_R], r, inv);
    d[LICE_PIXEL_G] = (unsigned char)C::chan(d[LICE_PIXEL_G], g, inv);
    d[LICE_PIXEL_B] = (unsigned char)C::chan(d[LICE_PIXEL_B], b, inv);
    const int na = d[LICE_PIXEL_A] + al;
    d[LICE_PIXEL_A] = (unsigned char)(na > 255 ? 255 : na);
  }
};

struct _LICE_CombinePixelsCopySourceAlphaClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    if (!a) return;
    const int al = ((a + 1) * alpha) / 256;
    const int inv = 256 - al;
    using C = _LICE_CombinePixelsCopyNoClamp;
    d[LICE_PIXEL_R] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_R], r, inv));
    d[LICE_PIXEL_G] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_G], g, inv));
    d[LICE_PIXEL_B] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_B], b, inv));
    d[LICE_PIXEL_A] = (unsigned char)lice::clamp255(d[LICE_PIXEL_A] + al);
  }
};

// Full opacity: the weight is the source alpha alone, and an opaque source
// replaces the pixel outright.
struct _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int)
  {
    if (!a) return;
    if (a == 255) {
      _LICE_CombinePixelsClobberNoClamp::doPix(d, r, g, b, 255, 256);
      return;
    }
    const int inv = 255 - a;
    using C = _LICE_CombinePixelsCopyNoClamp;
    d[LICE_PIXEL_R] = (unsigned char)C::chan(d[LICE_PIXEL_R], r, inv);
    d[LICE_PIXEL_G] = (unsigned char)C::chan(d[LICE_PIXEL_G], g, inv);
    d[LICE_PIXEL_B] = (unsigned char)C::chan(d[LICE_PIXEL_B], b, inv);
    const int na = d[LICE_PIXEL_A] + a;
    d[LICE_PIXEL_A] = (unsigned char)(na > 255 ? 255 : na);
  }
};

struct _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int)
  {
    if (!a) return;
    if (a == 255) {
      _LICE_CombinePixelsClobberClamp::doPix(d, r, g, b, 255, 256);
      return;
    }
    const int inv = 255 - a;
    using C = _LICE_CombinePixelsCopyNoClamp;
    d[LICE_PIXEL_R] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_R], r, inv));
    d[LICE_PIXEL_G] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_G], g, inv));
    d[LICE_PIXEL_B] = (unsigned char)lice::clamp255(C::chan(d[LICE_PIXEL_B], b, inv));
    d[LICE_PIXEL_A] = (unsigned char)lice::clamp255(d[LICE_PIXEL_A] + a);
  }
};

// Wraps a combiner so the source alpha scales the weight; SkipTransparent says
// whether a fully transparent source pixel is left out.
template <class C, bool SkipTransparent>
struct _LICE_CombinePixelsSourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int alpha)
  {
    if (SkipTransparent && !a) return;
    C::doPix(d, r, g, b, a, ((a + 1) * alpha) / 256);
  }
};

using _LICE_CombinePixelsAddSourceAlpha = _LICE_CombinePixelsSourceAlpha<_LICE_CombinePixelsAdd, true>;
using _LICE_CombinePixelsColorDodgeSourceAlpha = _LICE_CombinePixelsSourceAlpha<_LICE_CombinePixelsColorDodge, false>;
using _LICE_CombinePixelsMulSourceAlphaNoClamp = _LICE_CombinePixelsSourceAlpha<_LICE_CombinePixelsMulNoClamp, true>;
using _LICE_CombinePixelsMulSourceAlphaClamp = _LICE_CombinePixelsSourceAlpha<_LICE_CombinePixelsMulClamp, true>;
using _LICE_CombinePixelsOverlaySourceAlpha = _LICE_CombinePixelsSourceAlpha<_LICE_CombinePixelsOverlay, false>;
using _LICE_CombinePixelsHSVAdjustSourceAlpha = _LICE_CombinePixelsSourceAlpha<_LICE_CombinePixelsHSVAdjust, false>;

// Whole-pixel classes for copy at fixed weights: four channels per word
// operation, each channel's share truncated on its own.
struct _LICE_CombinePixelsClobberFAST {
  static inline void doPixFAST(LICE_pixel* d, LICE_pixel c) { *d = c; }
};
// Blits: half the source pixel plus half the destination.
struct _LICE_CombinePixelsHalfMixFAST {
  static inline void doPixFAST(LICE_pixel* d, LICE_pixel src)
  {
    *d = ((src >> 1) & 0x7f7f7f7f) + ((*d >> 1) & 0x7f7f7f7f);
  }
};
// Shapes and fills: the caller passes the colour already scaled.
struct _LICE_CombinePixelsHalfMix2FAST {
  static inline LICE_pixel prepare(LICE_pixel c) { return (c >> 1) & 0x7f7f7f7f; }
  static inline void doPixFAST(LICE_pixel* d, LICE_pixel c2) { *d = ((*d >> 1) & 0x7f7f7f7f) + c2; }
};
struct _LICE_CombinePixelsQuarterMix2FAST {
  static inline LICE_pixel prepare(LICE_pixel c) { return (c >> 2) & 0x3f3f3f3f; }
  static inline void doPixFAST(LICE_pixel* d, LICE_pixel c4)
  {
    const LICE_pixel p = *d;
    *d = ((p >> 2) & 0x3f3f3f3f) + ((p >> 1) & 0x7f7f7f7f) + c4;
  }
};
struct _LICE_CombinePixelsThreeQuarterMix2FAST {
  static inline LICE_pixel prepare(LICE_pixel c) { return ((c >> 1) & 0x7f7f7f7f) + ((c >> 2) & 0x3f3f3f3f); }
  static inline void doPixFAST(LICE_pixel* d, LICE_pixel c34) { *d = ((*d >> 2) & 0x3f3f3f3f) + c34; }
};
struct _LICE_CombinePixelsClobber2FAST {
  static inline LICE_pixel prepare(LICE_pixel c) { return c; }
  static inline void doPixFAST(LICE_pixel* d, LICE_pixel c) { *d = c; }
};

// Single-pixel entry points for callers that combine individual pixels.
LICE_pixel LICE_CombinePixels(LICE_pixel dest, LICE_pixel src, float alpha, int mode);
void LICE_CombinePixels2(LICE_pixel* dest, int r, int g, int b, int a, int alpha, int mode);
void LICE_CombinePixels2Clamp(LICE_pixel* dest, int r, int g, int b, int a, int alpha, int mode);
