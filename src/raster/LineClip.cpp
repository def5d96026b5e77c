#include <cmath>
#include <type_traits>

#include "CombineSelect.h"
#include "LineClip.h"
#include "Shapes.h"

namespace lice {

namespace {

// Cohen-Sutherland over one coordinate type: an end outside is moved onto the
// edge it crosses, the intercept taken at `right` or `bottom` while the point is
// placed one step inside them. Each pass settles one end; the bound keeps
// rounding from ever cycling.
template <class T, class Intercept>
bool clipSegment(T* x1, T* y1, T* x2, T* y2, T right, T bottom, Intercept intercept)
{
  auto outcode = [&](T x, T y) {
    return (x < 0 ? 1 : 0) | (x >= right ? 2 : 0) | (y < 0 ? 4 : 0) | (y >= bottom ? 8 : 0);
  };
  int c1 = outcode(*x1, *y1), c2 = outcode(*x2, *y2);
  for (int pass = 0; pass < 16; ++pass) {
    if (!(c1 | c2)) return true;
    if (c1 & c2) return false;
    const bool first = c1 != 0;
    const int code = first ? c1 : c2;
    T x, y;
    // intercept(a1, b1, a2, b2, at): the a at which the segment reaches b = at.
    if (code & 8) {
      x = intercept(*x1, *y1, *x2, *y2, bottom);
      y = bottom - 1;
    } else if (code & 4) {
      x = intercept(*x1, *y1, *x2, *y2, T(0));
      y = 0;
    } else if (code & 2) {
      y = intercept(*y1, *x1, *y2, *x2, right);
      x = right - 1;
    } else {
      y = intercept(*y1, *x1, *y2, *x2, T(0));
      x = 0;
    }
    if constexpr (std::is_floating_point_v<T>)
      if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (first) {
      *x1 = x, *y1 = y, c1 = outcode(x, y);
    } else {
      *x2 = x, *y2 = y, c2 = outcode(x, y);
    }
  }
  return false;
}

}  // namespace

bool ClipLine(int* x1, int* y1, int* x2, int* y2, int w, int h)
{
  return clipSegment(x1, y1, x2, y2, w, h, [](int a1, int b1, int a2, int b2, int at) {
    return truncToInt(a1 + std::trunc((double(at) - b1) * (double(a2) - a1) / (double(b2) - b1)));
  });
}

bool ClipFLine(float* x1, float* y1, float* x2, float* y2, int w, int h)
{
  if (!std::isfinite(*x1) || !std::isfinite(*y1) || !std::isfinite(*x2) || !std::isfinite(*y2)) return false;
  return clipSegment(x1, y1, x2, y2, float(w - 1), float(h - 1), [](float a1, float b1, float a2, float b2, float at) {
    return a1 + (at - b1) * (a2 - a1) / (b2 - b1);
  });
}

}  // namespace lice

bool LICE_ClipLine(int* pX1, int* pY1, int* pX2, int* pY2, int xLo, int yLo, int xHi, int yHi)
{
  int x1 = *pX1 - xLo, y1 = *pY1 - yLo, x2 = *pX2 - xLo, y2 = *pY2 - yLo;
  const bool kept = lice::ClipLine(&x1, &y1, &x2, &y2, xHi - xLo, yHi - yLo);
  *pX1 = x1 + xLo, *pY1 = y1 + yLo, *pX2 = x2 + xLo, *pY2 = y2 + yLo;
  return kept;
}

bool LICE_ClipFLine(float* px1, float* py1, float* px2, float* py2, float xlo, float ylo, float xhi, float yhi)
{
  float x1 = *px1 - xlo, y1 = *py1 - ylo, x2 = *px2 - xlo, y2 = *py2 - ylo;
  const bool kept = lice::ClipFLine(&x1, &y1, &x2, &y2, lice::truncToInt(xhi - xlo), lice::truncToInt(yhi - ylo));
  *px1 = x1 + xlo, *py1 = y1 + ylo, *px2 = x2 + xlo, *py2 = y2 + ylo;
  return kept;
}
