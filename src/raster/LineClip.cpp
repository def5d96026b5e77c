#include <cmath>

#include "CombineSelect.h"
#include "LineClip.h"
#include "Shapes.h"

namespace lice {

namespace {

int outcode(int x, int y, int w, int h)
{
  return (x < 0 ? 1 : 0) | (x >= w ? 2 : 0) | (y < 0 ? 4 : 0) | (y >= h ? 8 : 0);
}

int outcodeF(float x, float y, float W, float H)
{
  return (x < 0 ? 1 : 0) | (x >= W ? 2 : 0) | (y < 0 ? 4 : 0) | (y >= H ? 8 : 0);
}

// Each pass puts one end on an edge; a handful of passes settles any segment,
// and the bound keeps rounding from ever cycling.
constexpr int kMaxPasses = 16;

}  // namespace

bool ClipLine(int* x1, int* y1, int* x2, int* y2, int w, int h)
{
  int c1 = outcode(*x1, *y1, w, h), c2 = outcode(*x2, *y2, w, h);
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    if (!(c1 | c2)) return true;
    if (c1 & c2) return false;
    const bool first = c1 != 0;
    const int code = first ? c1 : c2;
    const double X1 = *x1, Y1 = *y1, X2 = *x2, Y2 = *y2;
    int x, y;
    if (code & 8) {
      x = truncToInt(X1 + std::trunc((h - Y1) * (X2 - X1) / (Y2 - Y1)));
      y = h - 1;
    } else if (code & 4) {
      x = truncToInt(X1 + std::trunc((0 - Y1) * (X2 - X1) / (Y2 - Y1)));
      y = 0;
    } else if (code & 2) {
      y = truncToInt(Y1 + std::trunc((Y2 - Y1) * (w - X1) / (X2 - X1)));
      x = w - 1;
    } else {
      y = truncToInt(Y1 + std::trunc((Y2 - Y1) * (0 - X1) / (X2 - X1)));
      x = 0;
    }
    if (first) {
      *x1 = x, *y1 = y, c1 = outcode(x, y, w, h);
    } else {
      *x2 = x, *y2 = y, c2 = outcode(x, y, w, h);
    }
  }
  return false;
}

bool ClipFLine(float* x1, float* y1, float* x2, float* y2, int w, int h)
{
  if (!std::isfinite(*x1) || !std::isfinite(*y1) || !std::isfinite(*x2) || !std::isfinite(*y2)) return false;
  const float W = float(w - 1), H = float(h - 1);
  int c1 = outcodeF(*x1, *y1, W, H), c2 = outcodeF(*x2, *y2, W, H);
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    if (!(c1 | c2)) return true;
    if (c1 & c2) return false;
    const bool first = c1 != 0;
    const int code = first ? c1 : c2;
    const float X1 = *x1, Y1 = *y1, X2 = *x2, Y2 = *y2;
    float x, y;
    if (code & 8) {
      x = X1 + (H - Y1) * (X2 - X1) / (Y2 - Y1);
      y = H - 1;
    } else if (code & 4) {
      x = X1 + (0 - Y1) * (X2 - X1) / (Y2 - Y1);
      y = 0;
    } else if (code & 2) {
      y = Y1 + (Y2 - Y1) * (W - X1) / (X2 - X1);
      x = W - 1;
    } else {
      y = Y1 + (Y2 - Y1) * (0 - X1) / (X2 - X1);
      x = 0;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (first) {
      *x1 = x, *y1 = y, c1 = outcodeF(x, y, W, H);
    } else {
      *x2 = x, *y2 = y, c2 = outcodeF(x, y, W, H);
    }
  }
  return false;
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
