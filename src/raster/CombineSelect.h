#pragma once
// The tables that turn a mode word and a weight into a combiner. Each call
// chooses once and hands the combiner's type to a generic callback, so the
// per-pixel loops are instantiated per combiner with no per-pixel dispatch.

#include <type_traits>

#include "Combine.h"

namespace lice {

template <class C>
using CombinerTag = std::type_identity<C>;

// Blits (plain, scaled, rotated, delta): mode & 0x100FF, source alpha honoured.
template <class F>
bool withBlitCombiner(int mode, int ia, F&& f)
{
  switch (mode & 0x100FF) {
    case 0:
      if (ia <= 0) return false;
      if (ia == 256)
        f(CombinerTag<_LICE_CombinePixelsClobberNoClamp>{});
      else
        f(CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
      return true;
    case 1: f(CombinerTag<_LICE_CombinePixelsAdd>{}); return true;
    case 2: f(CombinerTag<_LICE_CombinePixelsColorDodge>{}); return true;
    case 3: f(CombinerTag<_LICE_CombinePixelsMulNoClamp>{}); return true;
    case 4: f(CombinerTag<_LICE_CombinePixelsOverlay>{}); return true;
    case 5: f(CombinerTag<_LICE_CombinePixelsHSVAdjust>{}); return true;
    case 0x10000:
      if (ia == 256)
        f(CombinerTag<_LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>{});
      else
        f(CombinerTag<_LICE_CombinePixelsCopySourceAlphaNoClamp>{});
      return true;
    case 0x10001: f(CombinerTag<_LICE_CombinePixelsAddSourceAlpha>{}); return true;
    case 0x10002: f(CombinerTag<_LICE_CombinePixelsColorDodgeSourceAlpha>{}); return true;
    case 0x10003: f(CombinerTag<_LICE_CombinePixelsMulSourceAlphaNoClamp>{}); return true;
    case 0x10004: f(CombinerTag<_LICE_CombinePixelsOverlaySourceAlpha>{}); return true;
    case 0x10005: f(CombinerTag<_LICE_CombinePixelsHSVAdjustSourceAlpha>{}); return true;
    default: return false;
  }
}

// Weighted drawing by the mode's low byte (fills, glyphs, anti-aliased shapes):
// copy blends at any positive weight since the weight varies per pixel.
template <class F>
bool withWeightedCombiner(int mode, int ia, F&& f)
{
  switch (mode & 0xFF) {
    case 0:
      if (ia <= 0) return false;
      f(CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
      return true;
    case 1: f(CombinerTag<_LICE_CombinePixelsAdd>{}); return true;
    case 2: f(CombinerTag<_LICE_CombinePixelsColorDodge>{}); return true;
    case 3: f(CombinerTag<_LICE_CombinePixelsMulNoClamp>{}); return true;
    case 4: f(CombinerTag<_LICE_CombinePixelsOverlay>{}); return true;
    case 5: f(CombinerTag<_LICE_CombinePixelsHSVAdjust>{}); return true;
    default: return false;
  }
}

// Plain shapes at one weight: copy stores outright at 256 and half-mixes at 128.
template <class F>
bool withShapeCombiner(int mode, int ia, F&& f)
{
  if (!ia) return false;
  if ((mode & 0xFF) == 0) {
    if (ia < 1) return false;
    if (ia == 256)
      f(CombinerTag<_LICE_CombinePixelsClobberNoClamp>{});
    else if (ia == 128)
      f(CombinerTag<_LICE_CombinePixelsHalfMixNoClamp>{});
    else
      f(CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
    return true;
  }
  return withWeightedCombiner(mode, ia, f);
}

// Whole-pixel copy classes of the fills and lines at weights 256, 128, 64, 192.
template <class F>
bool withFastCopyCombiner(int ia, F&& f)
{
  switch (ia) {
    case 256: f(CombinerTag<_LICE_CombinePixelsClobber2FAST>{}); return true;
    case 128: f(CombinerTag<_LICE_CombinePixelsHalfMix2FAST>{}); return true;
    case 64: f(CombinerTag<_LICE_CombinePixelsQuarterMix2FAST>{}); return true;
    case 192: f(CombinerTag<_LICE_CombinePixelsThreeQuarterMix2FAST>{}); return true;
    default: return false;
  }
}

// Float to int truncating toward zero, held inside the int range so hostile
// coordinates cannot make the conversion undefined.
inline int truncToInt(double v)
{
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return int(v);
}

// a + b held inside the int range, for coordinates that callers may push to
// the extremes.
inline int satAdd(int a, int b)
{
  const long long s = (long long)a + b;
  return s > 2147483647 ? 2147483647 : s < -2147483647 - 1 ? -2147483647 - 1 : int(s);
}

}  // namespace lice
