#pragma once
// The general line walkers and the dashed runs, one instance per combiner.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ShapeSupport.h"

template <class C>
struct __LICE_LineClass {
  // Walks from both ends toward the middle, so the pattern is point-symmetric.
  static void LICE_LineImpl(LICE_pixel* pstart, LICE_pixel* pend, int de, int majorstep, int n, int minorstep,
                            LICE_pixel color, int ia, bool aa)
  {
    const lice::Colour4 c(color);
    const int half = (n + 1) / 2;
    if (!aa) {
      int err = 0;
      for (int i = 0; i < half; ++i) {
        lice::put<C>(pstart, c, ia);
        lice::put<C>(pend, c, ia);
        err += de;
        if (err >= 32768) pstart += minorstep, pend -= minorstep, err -= 65536;
        pstart += majorstep, pend -= majorstep;
      }
      if (!(n & 1)) lice::put<C>(pstart, c, ia);
      return;
    }
    lice::put<C>(pstart, c, ia);
    lice::put<C>(pend, c, ia);
    pstart += majorstep, pend -= majorstep;
    int err = de;
    for (int i = 1; i < half; ++i) {
      const int f = err >> 8;
      lice::put<C>(pstart, c, ((255 - f) * ia) >> 8);
      lice::put<C>(pstart + minorstep, c, (f * ia) >> 8);
      lice::put<C>(pend, c, ((255 - f) * ia) >> 8);
      lice::put<C>(pend - minorstep, c, (f * ia) >> 8);
      err += de;
      if (err >= 65536) pstart += minorstep, pend -= minorstep, err -= 65536;
      pstart += majorstep, pend -= majorstep;
    }
    if (!(n & 1)) {
      const int f = err >> 8;
      lice::put<C>(pstart, c, ((255 - f) * ia) >> 8);
      lice::put<C>(pstart + minorstep, c, (f * ia) >> 8);
    }
  }

  // Sub-pixel walk: each step weighs the two pixels around the true line.
  static void LICE_FLineImpl(LICE_pixel* p, int n, int err, int de, int majorstep, int minorstep, LICE_pixel color,
                             int ia)
  {
    const lice::Colour4 c(color);
    for (int i = 0; i <= n; ++i) {
      const int f = err >> 8;
      lice::put<C>(p, c, ((255 - f) * ia) >> 8);
      lice::put<C>(p + minorstep, c, (f * ia) >> 8);
      err += de;
      if (err >= 65536) err -= 65536, p += minorstep;
      p += majorstep;
    }
  }

  // Dashes along the half-open range [a, e): the end itself is never drawn.
  static void DashedLine(LICE_pixel* start, ptrdiff_t step, int a, int e, int dashLen, int gapLen,
                         LICE_pixel color, int ia)
  {
    const lice::Colour4 c(color);
    auto dash = [&](int64_t from, int64_t n) {
      for (int64_t i = 0; i < n; ++i) lice::put<C>(start + (from + i) * step, c, ia);
    };
    int64_t pos = a;
    for (; pos < int64_t(e) - dashLen; pos += int64_t(dashLen) + gapLen) dash(pos - a, dashLen);
    const int64_t rest = std::min<int64_t>(e - pos, dashLen);
    if (rest >= 1) dash(pos - a, rest);
  }
};
