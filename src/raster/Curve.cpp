#include <algorithm>
#include <cmath>
#include <utility>

#include "CombineSelect.h"
#include "Shapes.h"

namespace {

// Pieces are capped at four times the bitmap's half-perimeter (at least 1024):
// more than any curve that stays near the bitmap needs, and it keeps a tiny
// tolerance or a far-flung control point from turning one call into millions
// of line segments.
int pieceCount(double length, double tolerance, LICE_IBitmap* dest)
{
  if (tolerance <= 0) tolerance = 1;
  const double n = length / tolerance;
  if (!(n >= 1)) return 1;
  const double cap = std::max(1024.0, 4.0 * (double(dest->getWidth()) + dest->getHeight()));
  return int(std::min(n, cap));
}

double dist(double x0, double y0, double x1, double y1)
{
  return std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
}

// A cubic in power form per axis: a t^3 + b t^2 + c t + d.
struct Cubic {
  double a, b, c, d;
  Cubic(double p0, double p1, double p2, double p3)
  {
    c = 3 * (p1 - p0);
    b = 3 * (p2 - p1) - c;
    a = p3 - p0 - c - b;
    d = p0;
  }
  double at(double t) const { return ((a * t + b) * t + c) * t + d; }
};

}  // namespace

double LICE_Bezier_GetY(double x0, double x1, double x2, double y0, double y1, double y2, double x, double* pt)
{
  auto setT = [&](double t) {
    if (pt) *pt = t;
  };
  if (x <= x0) return setT(0), y0;
  if (x >= x2) return setT(1), y2;
  const double A = x2 - 2 * x1 + x0;
  double t;
  if (A == 0) {
    if (x0 == x2) return setT(0), y0;
    // x is linear in t here, but y is still the curve's: the chord between
    // the end points would start a clipped curve at the wrong height.
    t = (x - x0) / (x2 - x0);
  } else {
    const double B = 2 * (x1 - x0);
    t = (std::sqrt(B * B - 4 * A * (x0 - x)) - B) / (2 * A);
  }
  setT(t);
  return (1 - t) * (1 - t) * y0 + 2 * (1 - t) * t * y1 + t * t * y2;
}

void LICE_DrawQBezier(LICE_IBitmap* dest, double xstart, double ystart, double xctl, double yctl, double xend,
                      double yend, LICE_pixel color, float alpha, int mode, bool aa, double tolerance)
{
  if (!dest) return;
  if (xstart > xend) std::swap(xstart, xend), std::swap(ystart, yend);
  const double X0 = xstart, Y0 = ystart, X2 = xend, Y2 = yend;
  double tlo = 0, thi = 1;
  const int w = dest->getWidth();
  if (xstart < 0) {
    ystart = LICE_Bezier_GetY(X0, xctl, X2, Y0, yctl, Y2, 0, &tlo);
    xstart = 0;
  }
  if (xend >= w) {
    xend = w - 1;
    yend = LICE_Bezier_GetY(X0, xctl, X2, Y0, yctl, Y2, w - 1, &thi);
  }
  if (!(xstart <= xend)) return;
  const int n = pieceCount((dist(xctl, yctl, X2, Y2) + dist(X0, Y0, xctl, yctl)) * (thi - tlo), tolerance, dest);
  const double dt = (thi - tlo) / n;
  double t = tlo, px = xstart, py = ystart;
  for (int i = 1; i < n; ++i) {
    t += dt;
    const double it = 1 - t;
    const double x = it * it * X0 + 2 * it * t * xctl + t * t * X2;
    const double y = it * it * Y0 + 2 * it * t * yctl + t * t * Y2;
    LICE_FLine(dest, float(px), float(py), float(x), float(y), color, alpha, mode, aa);
    px = x, py = y;
  }
  LICE_FLine(dest, float(px), float(py), float(xend), float(yend), color, alpha, mode, aa);
}

double LICE_CBezier_GetY(double x0, double x1, double x2, double x3, double y0, double y1, double y2, double y3,
                         double x, double* pNextX, double* pdYdX, double* ptLo, double* ptHi)
{
  auto out = [&](double nextx, double dydx) {
    if (pNextX) *pNextX = nextx;
    if (pdYdX) *pdYdX = dydx;
  };
  if (x < x0) return out(x0, 0), y0;
  if (x >= x3) return out(x3, 0), y3;
  const Cubic X(x0, x1, x2, x3), Y(y0, y1, y2, y3);
  double t0 = 0, t1 = 1;
  for (int i = 0; i < 8; ++i) {
    const double tm = (t0 + t1) / 2, xm = X.at(tm);
    if (x > xm) {
      t0 = tm;
    } else if (xm > x) {
      t1 = tm;
    } else {
      t0 = tm;
      t1 = std::min(1.0, tm + 1.0 / 256);
      break;
    }
  }
  const double xa = t0 == 0 ? x0 : X.at(t0), xb = t1 == 1 ? x3 : X.at(t1);
  const double ylo = Y.at(t0);
  const double dydx = xb != xa ? (Y.at(t1) - ylo) / (xb - xa) : 0;
  out(xb, dydx);
  if (ptLo) *ptLo = t0;
  if (ptHi) *ptHi = t1;
  return ylo + (x - xa) * dydx;
}

namespace {

// A cubic ordered along its first axis ("x") and clipped to [0, size] there.
struct CBezPrep {
  double px[4], py[4];
  double xlo = 0, xhi = 0, ylo = 0, yhi = 0, tlo = 0, thi = 1;
  int n = 0;

  CBezPrep(LICE_IBitmap* dest, double xs, double ys, double xc1, double yc1, double xc2, double yc2, double xe,
           double ye, int size, double tolerance)
      : px{xs, xc1, xc2, xe}, py{ys, yc1, yc2, ye}
  {
    if (px[0] > px[3]) {
      std::swap(px[0], px[3]), std::swap(px[1], px[2]);
      std::swap(py[0], py[3]), std::swap(py[1], py[2]);
    }
    xlo = px[0], xhi = px[3], ylo = py[0], yhi = py[3];
    if (xlo < 0) {
      xlo = 0;
      ylo = LICE_CBezier_GetY(px[0], px[1], px[2], px[3], py[0], py[1], py[2], py[3], 0, nullptr, nullptr, &tlo,
                              nullptr);
    }
    if (xhi > size) {
      xhi = size;
      yhi = LICE_CBezier_GetY(px[0], px[1], px[2], px[3], py[0], py[1], py[2], py[3], size, nullptr, nullptr,
                              nullptr, &thi);
    }
    if (!(xlo <= xhi)) return;
    const double len = dist(px[3], py[3], px[2], py[2]) + dist(px[2], py[2], px[1], py[1]) +
                       dist(px[1], py[1], px[0], py[0]);
    n = pieceCount((thi - tlo) * len, tolerance, dest);
  }
  double tAt(int i) const { return tlo + i * (thi - tlo) / n; }
  double xAt(double t) const { return Cubic(px[0], px[1], px[2], px[3]).at(t); }
  double yAt(double t) const { return Cubic(py[0], py[1], py[2], py[3]).at(t); }
};

// Fills between a chord and a base line. Coordinates are (along, across): for
// the x-ordered fill along = x and base is a row; transposed for the other.
struct StripFiller {
  LICE_IBitmap* dest;
  bool transposed;
  LICE_pixel color;
  float alpha;
  int mode;

  void polygon(std::initializer_list<std::pair<int, int>> pts) const
  {
    int xs[4], ys[4], n = 0;
    for (auto [along, across] : pts) {
      xs[n] = transposed ? across : along;
      ys[n] = transposed ? along : across;
      ++n;
    }
    LICE_FillConvexPolygon(dest, xs, ys, n, color, alpha, mode);
  }

  void segment(int a1, int c1, int a2, int c2, int base) const
  {
    if (a2 < a1) return;
    if (a2 == a1) {
      const int from = std::min(c1, base), to = c2 < base ? base : (c2 == base ? c2 : lice::satAdd(c2, -1));
      if (transposed)
        LICE_Line(dest, from, a2, to, a2, color, alpha, mode, false);
      else
        LICE_Line(dest, a2, from, a2, to, color, alpha, mode, false);
      return;
    }
    const int f1 = c1 < base ? lice::satAdd(base, 1) : base;
    if ((c2 < base) == (c1 < base)) {
      // The fill along the columns of a transposed curve reaches one step further.
      const int a2end = transposed ? lice::satAdd(a2, 1) : a2;
      polygon({{a1, c1}, {a1, f1}, {a2end, c2}, {a2end, f1}});
      return;
    }
    const int ac = int(std::clamp<int64_t>(
        a1 + (int64_t(a2) - a1) * (int64_t(base) - c1) / (int64_t(c2) - c1), INT32_MIN, INT32_MAX));
    polygon({{a1, c1}, {a1, f1}, {ac, f1}});
    const int f2 = c2 < base ? lice::satAdd(base, 1) : base;
    polygon({{ac, f2}, {a2, f2}, {a2, c2}});
  }
};

// One strip of the fill under an x-ordered curve: columns x1 to x2 between the
// chord and row baseRow.
void DoBezierFillSegment(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int baseRow, LICE_pixel color,
                         float alpha, int mode)
{
  StripFiller{dest, false, color, alpha, mode}.segment(x1, y1, x2, y2, baseRow);
}

// The same for a y-ordered curve: rows y1 to y2 between the chord and column
// baseColumn.
void DoBezierFillSegmentX(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int baseColumn, LICE_pixel color,
                          float alpha, int mode)
{
  StripFiller{dest, true, color, alpha, mode}.segment(y1, x1, y2, x2, baseColumn);
}

// Strips between the flattened curve and the base line, each strip starting one
// step after the previous one ended.
template <class Segment>
void fillCBezier(const CBezPrep& bz, int base, Segment&& segment)
{
  if (!bz.n) return;
  int a0 = lice::truncToInt(bz.xlo), c0 = lice::truncToInt(bz.ylo + 0.5);
  for (int i = 1; i <= bz.n - 2; ++i) {
    const double t = bz.tAt(i);
    const int a = lice::truncToInt(bz.xAt(t));
    if (a < a0) continue;
    const int c = lice::truncToInt(bz.yAt(t) + 0.5);
    segment(a0, c0, a, c, base);
    c0 = c, a0 = lice::satAdd(a, 1);
  }
  const int al = lice::truncToInt(bz.xhi - 1);
  if (al >= a0) segment(a0, c0, al, lice::truncToInt(bz.yhi + 0.5), base);
}

}  // namespace

void LICE_DrawCBezier(LICE_IBitmap* dest, double xstart, double ystart, double xctl1, double yctl1, double xctl2,
                      double yctl2, double xend, double yend, LICE_pixel color, float alpha, int mode, bool aa,
                      double tolerance)
{
  if (!dest) return;
  const CBezPrep bz(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, dest->getWidth(), tolerance);
  if (!bz.n) return;
  double px = bz.xlo, py = bz.ylo;
  for (int i = 1; i <= bz.n - 2; ++i) {
    const double t = bz.tAt(i), x = bz.xAt(t), y = bz.yAt(t);
    LICE_FLine(dest, float(px), float(py), float(x), float(y), color, alpha, mode, aa);
    px = x, py = y;
  }
  LICE_FLine(dest, float(px), float(py), float(bz.xhi), float(bz.yhi), color, alpha, mode, aa);
}

void LICE_FillCBezier(LICE_IBitmap* dest, double xstart, double ystart, double xctl1, double yctl1, double xctl2,
                      double yctl2, double xend, double yend, int yfill, LICE_pixel color, float alpha, int mode,
                      double tolerance)
{
  if (!dest) return;
  const CBezPrep bz(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, dest->getWidth(), tolerance);
  fillCBezier(bz, yfill, [&](int x1, int y1, int x2, int y2, int base) {
    DoBezierFillSegment(dest, x1, y1, x2, y2, base, color, alpha, mode);
  });
}

void LICE_FillCBezierX(LICE_IBitmap* dest, double xstart, double ystart, double xctl1, double yctl1, double xctl2,
                       double yctl2, double xend, double yend, int xfill, LICE_pixel color, float alpha, int mode,
                       double tolerance)
{
  if (!dest) return;
  const CBezPrep bz(dest, ystart, xstart, yctl1, xctl1, yctl2, xctl2, yend, xend, dest->getHeight(), tolerance);
  // The prepared curve runs along y here: its "x" is the row, its "y" the column.
  fillCBezier(bz, xfill, [&](int y1, int x1, int y2, int x2, int base) {
    DoBezierFillSegmentX(dest, x1, y1, x2, y2, base, color, alpha, mode);
  });
}
