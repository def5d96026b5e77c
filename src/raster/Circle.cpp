#include <algorithm>
#include <cmath>

#include "CircleMasks.h"
#include "CombineSelect.h"
#include "Fill.h"
#include "ShapeSupport.h"
#include "Shapes.h"

namespace {

// Angles in single precision, as the arc walk has always used them.
constexpr double kPi = 3.1415927f;
constexpr double kHalfPi = 1.5707964f;
constexpr double kThreeHalfPi = 4.712389f;
constexpr double kTwoPi = 6.2831855f;

// Radii beyond this are refused: the walk is linear in the radius and its
// integer centre-plus-radius sums must not overflow. No bitmap comes close.
constexpr float kMaxRadius = float(1 << 24);

struct CircleTarget {
  LICE_pixel* bits;
  int span;
  int clip[4];  // left, top, right, bottom (exclusive)
  bool testclip;
  lice::Colour4 colour;
};

}  // namespace

template <class C>
struct _LICE_CircleDrawer {
  static void DrawClippedPt(const CircleTarget& t, int x, int y, int weight)
  {
    if (t.testclip && (x < t.clip[0] || x >= t.clip[2] || y < t.clip[1] || y >= t.clip[3])) return;
    lice::put<C>(t.bits + ptrdiff_t(y) * t.span + x, t.colour, weight);
  }
  static void DrawClippedVertLine(const CircleTarget& t, int x, int y1, int y2, int weight)
  {
    if (t.testclip) {
      if (x < t.clip[0] || x >= t.clip[2]) return;
      y1 = std::max(y1, t.clip[1]);
      y2 = std::min(y2, t.clip[3] - 1);
    }
    for (int y = y1; y <= y2; ++y) lice::put<C>(t.bits + ptrdiff_t(y) * t.span + x, t.colour, weight);
  }
  static void DrawClippedHorzLine(const CircleTarget& t, int y, int x1, int x2, int weight)
  {
    if (t.testclip) {
      if (y < t.clip[1] || y >= t.clip[3]) return;
      x1 = std::max(x1, t.clip[0]);
      x2 = std::min(x2, t.clip[2] - 1);
    }
    LICE_pixel* row = t.bits + ptrdiff_t(y) * t.span;
    for (int x = x1; x <= x2; ++x) lice::put<C>(row + x, t.colour, weight);
  }

  // Points (c +- a, d +- b), and with mirror also (c +- b, d +- a).
  static void DrawSymmetricPts(const CircleTarget& t, int c, int d, int a, int b, bool mirror, int weight)
  {
    DrawClippedPt(t, c - a, d - b, weight);
    DrawClippedPt(t, c - a, d + b, weight);
    DrawClippedPt(t, c + a, d - b, weight);
    DrawClippedPt(t, c + a, d + b, weight);
    if (!mirror) return;
    DrawClippedPt(t, c - b, d - a, weight);
    DrawClippedPt(t, c - b, d + a, weight);
    DrawClippedPt(t, c + b, d - a, weight);
    DrawClippedPt(t, c + b, d + a, weight);
  }
  // The cross through the centre (filled) or its four ends at distance r.
  static void DrawCardinal(const CircleTarget& t, int c, int d, int r, bool filled, int weight)
  {
    if (filled) {
      DrawClippedVertLine(t, c, d - r, d - 1, weight);
      DrawClippedVertLine(t, c, d + 1, d + r, weight);
      DrawClippedHorzLine(t, d, c - r, c + r, weight);
      return;
    }
    DrawClippedPt(t, c, d - r, weight);
    DrawClippedPt(t, c + r, d, weight);
    DrawClippedPt(t, c, d + r, weight);
    DrawClippedPt(t, c - r, d, weight);
  }
  // The disc's spans in columns and rows c +- i, d +- i, out to distance r.
  static void FillSymmetricSpans(const CircleTarget& t, int c, int d, int i, int r, int weight)
  {
    DrawClippedVertLine(t, c - i, d - r, d - i - 1, weight);
    DrawClippedVertLine(t, c - i, d + i + 1, d + r, weight);
    DrawClippedVertLine(t, c + i, d - r, d - i - 1, weight);
    DrawClippedVertLine(t, c + i, d + i + 1, d + r, weight);
    DrawClippedHorzLine(t, d - i, c - r, c - i, weight);
    DrawClippedHorzLine(t, d - i, c + i, c + r, weight);
    DrawClippedHorzLine(t, d + i, c - r, c - i, weight);
    DrawClippedHorzLine(t, d + i, c + i, c + r, weight);
  }

  // Midpoint circle; a filled disc writes every pixel exactly once.
  static void DrawClippedCircle(const CircleTarget& t, float cx, float cy, float r, int ia, bool filled)
  {
    const int c = lice::truncToInt(cx + 0.5), d = lice::truncToInt(cy + 0.5);
    int R = lice::truncToInt(r + 0.5);
    DrawCardinal(t, c, d, R, filled, ia);
    if (R < 2) return;
    int err = -R, inc = 3, x = 0;
    do {
      if (err >= 0) err -= 2 * (R - 1), --R;
      ++x;
      if (filled)
        FillSymmetricSpans(t, c, d, x, R, ia);
      else
        DrawSymmetricPts(t, c, d, x, R, x != R, ia);
      err += inc;
      inc += 2;
    } while (x + 1 < R);
  }

  // Anti-aliased: the fractional part of the radius and of each row's extent
  // weighs the pixel just outside.
  static void DrawClippedCircleAA(const CircleTarget& t, float cx, float cy, float r, int ia, bool filled)
  {
    const int c = lice::truncToInt(cx + 0.5), d = lice::truncToInt(cy + 0.5);
    const int R = lice::truncToInt(r);
    const int f = lice::truncToInt((r - std::floor(r)) * ia);
    DrawClippedPt(t, c, d - R - 1, f);
    DrawClippedPt(t, c, d + R + 1, f);
    DrawClippedPt(t, c - R - 1, d, f);
    DrawClippedPt(t, c + R + 1, d, f);
    DrawCardinal(t, c, d, R, filled, filled ? ia : ia - f);
    const float r2 = r * r;
    double y = std::sqrt(double(r2) - 1.0);
    if (!(double(r2) - 1.0 >= 0)) return;
    int n = lice::truncToInt(y + 0.5);
    for (int i = 1; i <= n; ++i) {
      const int yi = lice::truncToInt(y);
      const int a = lice::truncToInt((y - std::floor(y)) * ia);
      DrawSymmetricPts(t, c, d, i, yi + 1, i != n, a);
      if (filled) {
        FillSymmetricSpans(t, c, d, i, yi, ia);
      } else {
        DrawClippedPt(t, c - yi, d - i, ia - a);
        DrawClippedPt(t, c + yi, d - i, ia - a);
        DrawClippedPt(t, c - i, d + yi, ia - a);
        DrawClippedPt(t, c + i, d + yi, ia - a);
        if (i != n) {
          DrawClippedPt(t, c - i, d - yi, ia - a);
          DrawClippedPt(t, c + i, d - yi, ia - a);
          DrawClippedPt(t, c - yi, d + i, ia - a);
          DrawClippedPt(t, c + yi, d + i, ia - a);
        }
      }
      const double rest = double(r2) - double(i + 1) * double(i + 1);
      if (rest < 0) break;
      y = std::sqrt(rest);
      n = lice::truncToInt(y + 0.5);
    }
  }
};

namespace {

void __DrawCircleClipped(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, int ia, bool aa,
                         bool filled, int mode, const int* clip, bool testclip)
{
  if (!ia || (mode & 0xFF) > 5) return;
  const CircleTarget t{dest->getBits(), dest->getRowSpan(), {clip[0], clip[1], clip[2], clip[3]}, testclip,
                       lice::Colour4(color)};
  if (aa)
    lice::withWeightedCombiner(mode, ia, [&](auto tag) {
      _LICE_CircleDrawer<typename decltype(tag)::type>::DrawClippedCircleAA(t, cx, cy, r, ia, filled);
    });
  else
    lice::withShapeCombiner(mode, ia, [&](auto tag) {
      _LICE_CircleDrawer<typename decltype(tag)::type>::DrawClippedCircle(t, cx, cy, r, ia, filled);
    });
}

// A circle whose box (with the anti-aliasing margin) misses the bitmap draws
// nothing; skipping it also keeps far-off centres out of the integer walk.
bool circleMisses(float cx, float cy, float r, int w, int h)
{
  return !(cx + r + 2 >= 0 && cy + r + 2 >= 0 && cx - r - 2 < w && cy - r - 2 < h);
}

void drawCircle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha, int mode, bool aa,
                bool filled)
{
  if (!dest) return;
  if (dest->isFlipped()) cy = float(dest->getHeight() - 1) - cy;
  const int ia = lice::truncToInt(alpha * 256.0f);
  if (!ia || !(r >= 0) || r > kMaxRadius || !dest->getBits()) return;
  const int w = dest->getWidth(), h = dest->getHeight();
  if (w < 1 || h < 1) return;
  if (circleMisses(cx, cy, r, w, h)) return;
  const bool testclip = !(cx - r - 2 >= 0 && cy - r - 2 >= 0 && cx + r + 2 < w && cy + r + 2 < h);
  const int clip[4] = {0, 0, w, h};
  __DrawCircleClipped(dest, cx, cy, r, color, ia, aa, filled, mode, clip, testclip);
}

}  // namespace

void LICE_Circle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha, int mode, bool aa)
{
  if (!dest) return;
  if (const lice::CircleMask* m = lice::findCircleMask(r)) {
    LICE_DrawGlyph(dest, lice::truncToInt(cx - r), lice::truncToInt(cy - r), color, aa ? m->aa : m->plain, m->side,
                   m->side, alpha, mode);
    return;
  }
  drawCircle(dest, cx, cy, r, color, alpha, mode, aa, false);
}

void LICE_FillCircle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha, int mode,
                     bool aa)
{
  drawCircle(dest, cx, cy, r, color, alpha, mode, aa, true);
}

void LICE_Arc(LICE_IBitmap* dest, float cx, float cy, float r, float angle1, float angle2, LICE_pixel color,
              float alpha, int mode, bool aa)
{
  if (!dest) return;
  const float callerCy = cy;
  double lo = angle1, hi = angle2;
  if (dest->isFlipped()) {
    cy = float(dest->getHeight() - 1) - cy;
    lo = kPi - lo;
    hi = kPi - hi;
  }
  if (lo > hi) std::swap(lo, hi);
  if (hi - lo >= kTwoPi) {
    LICE_Circle(dest, cx, callerCy, r, color, alpha, mode, aa);
    return;
  }
  if (hi >= kTwoPi) {
    const double h2 = std::fmod(hi, kTwoPi);
    lo -= hi - h2;
    hi = h2;
  } else if (lo <= -kTwoPi) {
    const double l2 = std::fmod(lo, kTwoPi);
    hi -= lo - l2;
    lo = l2;
  }
  const int ia = lice::truncToInt(alpha * 256.0f);
  if (!ia || !dest->getBits() || !(r >= 0) || r > kMaxRadius) return;
  const int w = dest->getWidth(), h = dest->getHeight();
  if (circleMisses(cx, cy, r, w, h)) return;

  double a = lo + kTwoPi;
  const double end = hi + kTwoPi;
  if (!(end > a)) return;
  auto pointAt = [&](double ang, int& x, int& y) {
    x = lice::truncToInt(std::sin(ang) * r + cx + 0.5);
    y = lice::truncToInt(cy - std::cos(ang) * r + 0.5);
  };
  int px, py;
  pointAt(a, px, py);
  a -= std::fmod(a, kHalfPi);
  // Within a quarter turn the arc is monotone, so the box of a piece's two end
  // points holds exactly that piece of the circle.
  do {
    a = std::min(a + kHalfPi, end);
    int qx, qy;
    pointAt(a, qx, qy);
    const int maxx = std::max(px, qx), maxy = std::max(py, qy);
    const int clip[4] = {std::max(0, std::min(px, qx)), std::max(0, std::min(py, qy)),
                         std::min(w, float(maxx) == cx ? maxx : maxx + 1),
                         std::min(h, float(maxy) == cy ? maxy : maxy + 1)};
    __DrawCircleClipped(dest, cx, cy, r, color, ia, aa, false, mode, clip, true);
    px = qx, py = qy;
  } while (end > a);
}

void LICE_RoundRect(LICE_IBitmap* dest, float x, float y, float w, float h, int radius, LICE_pixel color, float alpha,
                    int mode, bool aa)
{
  if (!dest) return;
  using lice::truncToInt;
  const int ix = truncToInt(x), iy = truncToInt(y);
  if (radius > 0) {
    float rad = std::min({float(radius), w * 0.5f, h * 0.5f});
    rad = std::floor(rad);
    if (rad >= 2) {
      LICE_Line(dest, truncToInt(x + rad), iy, truncToInt(x + w - rad), iy, color, alpha, mode, aa);
      LICE_Line(dest, truncToInt(x + rad - 1), truncToInt(y + h), truncToInt(x + w - rad), truncToInt(y + h), color,
                alpha, mode, aa);
      LICE_Line(dest, truncToInt(x + w), truncToInt(y + rad), truncToInt(x + w), truncToInt(y + h - rad), color,
                alpha, mode, aa);
      LICE_Line(dest, ix, truncToInt(y + rad - 1), ix, truncToInt(y + h - rad), color, alpha, mode, aa);
      LICE_Arc(dest, x + rad, y + rad, rad, float(-kHalfPi), 0.0f, color, alpha, mode, aa);
      LICE_Arc(dest, x + w - rad, y + rad, rad, 0.0f, float(kHalfPi), color, alpha, mode, aa);
      LICE_Arc(dest, x + w - rad, y + h - rad, rad, float(kHalfPi), float(kPi), color, alpha, mode, aa);
      LICE_Arc(dest, x + rad, y + h - rad, rad, float(kPi), float(kThreeHalfPi), color, alpha, mode, aa);
      return;
    }
  }
  LICE_DrawRect(dest, ix, iy, truncToInt(w), truncToInt(h), color, alpha, mode);
}
