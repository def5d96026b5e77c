#pragma once
// Helpers shared by the shape rasterisers: the colour split once per call and
// pixel addressing in memory rows (shapes mirror rows themselves).

#include <cstddef>
#include <type_traits>

#include "Bitmap.h"
#include "Combine.h"

namespace lice {

struct Colour4 {
  int r, g, b, a;
  explicit Colour4(LICE_pixel c)
      : r(int(LICE_GETR(c))), g(int(LICE_GETG(c))), b(int(LICE_GETB(c))), a(int(LICE_GETA(c)))
  {
  }
};

template <class C>
inline void put(LICE_pixel* p, const Colour4& c, int weight)
{
  C::doPix(reinterpret_cast<unsigned char*>(p), c.r, c.g, c.b, c.a, weight);
}

// The whole-pixel copy class for an opacity of exactly 1, 1/2, 1/4 or 3/4.
template <class F>
bool withFastOpacity(float alpha, F&& f)
{
  if (alpha == 1.0f) return f(std::type_identity<_LICE_CombinePixelsClobber2FAST>{}), true;
  if (alpha == 0.5f) return f(std::type_identity<_LICE_CombinePixelsHalfMix2FAST>{}), true;
  if (alpha == 0.25f) return f(std::type_identity<_LICE_CombinePixelsQuarterMix2FAST>{}), true;
  if (alpha == 0.75f) return f(std::type_identity<_LICE_CombinePixelsThreeQuarterMix2FAST>{}), true;
  return false;
}

}  // namespace lice
