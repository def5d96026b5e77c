#include <cmath>
#include <cstdlib>
#include <utility>

#include "CombineSelect.h"
#include "LineClip.h"
#include "LineClass.h"
#include "ShapeSupport.h"
#include "Shapes.h"

using lice::Colour4;

template <class C>
struct __LICE_LineClassSimple {
  static void LICE_HorizLine(LICE_pixel* p, int n, LICE_pixel color, int ia)
  {
    const Colour4 c(color);
    for (int i = 0; i < n; ++i) lice::put<C>(p + i, c, ia);
  }
  static void LICE_VertLine(LICE_pixel* p, int span, int n, LICE_pixel color, int ia)
  {
    const Colour4 c(color);
    for (int i = 0; i < n; ++i, p += span) lice::put<C>(p, c, ia);
  }
  // n steps: n + 1 pixels along the diagonal.
  static void LICE_DiagLine(LICE_pixel* p, int span, int n, int xstep, int ystep, LICE_pixel color, int ia)
  {
    (void)span;
    const Colour4 c(color);
    for (int i = 0; i <= n; ++i, p += xstep + ystep) lice::put<C>(p, c, ia);
  }
  // Three quarters on the diagonal, a quarter on each side of it.
  static void LICE_DiagLineAA(LICE_pixel* p, int span, int n, int xstep, int ystep, LICE_pixel color, int ia)
  {
    (void)span;
    const Colour4 c(color);
    const int full = (3 * ia) / 4, side = ia / 4;
    for (int i = 0; i <= n; ++i, p += xstep + ystep) {
      lice::put<C>(p, c, full);
      if (i < n) {
        lice::put<C>(p + xstep, c, side);
        lice::put<C>(p + ystep, c, side);
      }
    }
  }
};

namespace {

template <class F>
void fastRun(LICE_pixel* p, ptrdiff_t step, int count, LICE_pixel color)
{
  const LICE_pixel c = F::prepare(color);
  for (int i = 0; i < count; ++i, p += step) F::doPixFAST(p, c);
}

// Horizontal and vertical runs of count pixels from p.
void drawStraight(LICE_pixel* p, int span, int count, bool vertical, LICE_pixel color, float alpha, int mode)
{
  if ((mode & 0xFF) == 0 && lice::withFastOpacity(alpha, [&](auto tag) {
        fastRun<typename decltype(tag)::type>(p, vertical ? span : 1, count, color);
      }))
    return;
  const int ia = lice::truncToInt(alpha * 256.0f);
  lice::withShapeCombiner(mode, ia, [&](auto tag) {
    using L = __LICE_LineClassSimple<typename decltype(tag)::type>;
    if (vertical)
      L::LICE_VertLine(p, span, count, color, ia);
    else
      L::LICE_HorizLine(p, count, color, ia);
  });
}

void drawDiagonal(LICE_pixel* p, int span, int n, int xstep, int ystep, LICE_pixel color, float alpha, int mode,
                  bool aa)
{
  if ((mode & 0xFF) == 0 && alpha == 1.0f) {
    if (!aa) {
      fastRun<_LICE_CombinePixelsClobber2FAST>(p, xstep + ystep, n + 1, color);
      return;
    }
    const LICE_pixel q = _LICE_CombinePixelsQuarterMix2FAST::prepare(color);
    const LICE_pixel tq = _LICE_CombinePixelsThreeQuarterMix2FAST::prepare(color);
    _LICE_CombinePixelsThreeQuarterMix2FAST::doPixFAST(p, tq);
    for (int i = 0; i < n; ++i) {
      _LICE_CombinePixelsQuarterMix2FAST::doPixFAST(p + xstep, q);
      _LICE_CombinePixelsQuarterMix2FAST::doPixFAST(p + ystep, q);
      p += xstep + ystep;
      _LICE_CombinePixelsThreeQuarterMix2FAST::doPixFAST(p, tq);
    }
    return;
  }
  const int ia = lice::truncToInt(alpha * 256.0f);
  if (aa)
    lice::withWeightedCombiner(mode, ia, [&](auto tag) {
      __LICE_LineClassSimple<typename decltype(tag)::type>::LICE_DiagLineAA(p, span, n, xstep, ystep, color, ia);
    });
  else
    lice::withShapeCombiner(mode, ia, [&](auto tag) {
      __LICE_LineClassSimple<typename decltype(tag)::type>::LICE_DiagLine(p, span, n, xstep, ystep, color, ia);
    });
}

}  // namespace

void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel color, float alpha, int mode, bool aa)
{
  if (!dest || !dest->getBits()) return;
  const int w = dest->getWidth(), h = dest->getHeight(), span = dest->getRowSpan();
  if (dest->isFlipped()) y1 = (h - 1) - y1, y2 = (h - 1) - y2;
  if (!lice::ClipLine(&x1, &y1, &x2, &y2, w, h)) return;
  LICE_pixel* bits = dest->getBits();
  auto at = [&](int x, int y) { return bits + ptrdiff_t(y) * span + x; };

  if (y1 == y2) {
    if (x1 > x2) std::swap(x1, x2);
    drawStraight(at(x1, y1), span, x2 - x1 + 1, false, color, alpha, mode);
    return;
  }
  if (x1 == x2) {
    if (y1 > y2) std::swap(y1, y2);
    drawStraight(at(x1, y1), span, y2 - y1 + 1, true, color, alpha, mode);
    return;
  }
  int dx = x2 - x1, dy = y2 - y1;
  if (std::abs(dx) == std::abs(dy)) {
    drawDiagonal(at(x1, y1), span, std::abs(dx), dx > 0 ? 1 : -1, dy > 0 ? span : -span, color, alpha, mode, aa);
    return;
  }

  const bool yMajor = !(std::abs(dy) < std::abs(dx));
  int majorstep = yMajor ? span : 1, minorstep = yMajor ? 1 : span;
  int majorDelta = yMajor ? dy : dx, minorDelta = yMajor ? dx : dy;
  if (majorDelta < 0) {
    majorDelta = -majorDelta, minorDelta = -minorDelta;
    std::swap(x1, x2), std::swap(y1, y2);
  }
  if (minorDelta < 0) minorstep = -minorstep;
  const int n = majorDelta;
  const int de = lice::truncToInt(double(std::abs(minorDelta)) / double(majorDelta) * 65536.0);
  LICE_pixel* pstart = at(x1, y1);
  LICE_pixel* pend = at(x2, y2);
  const int ia = lice::truncToInt(alpha * 256.0f);
  auto walk = [&](auto tag) {
    __LICE_LineClass<typename decltype(tag)::type>::LICE_LineImpl(pstart, pend, de, majorstep, n, minorstep, color,
                                                                  ia, aa);
  };
  if (aa)
    lice::withWeightedCombiner(mode, ia, walk);
  else
    lice::withShapeCombiner(mode, ia, walk);
}

void LICE_FLine(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color, float alpha, int mode,
                bool aa)
{
  if (!dest) return;
  if (!aa) {
    LICE_Line(dest, lice::truncToInt(x1), lice::truncToInt(y1), lice::truncToInt(x2), lice::truncToInt(y2), color,
              alpha, mode, false);
    return;
  }
  if (!dest->getBits()) return;
  const int w = dest->getWidth(), h = dest->getHeight(), span = dest->getRowSpan();
  if (dest->isFlipped()) y1 = float(h - 1) - y1, y2 = float(h - 1) - y2;
  if (!lice::ClipFLine(&x1, &y1, &x2, &y2, w, h)) return;
  if (x1 == x2 && y1 == y2) return;

  const bool xMajor = std::fabs(y2 - y1) < std::fabs(x2 - x1);
  float sMaj = xMajor ? x1 : y1, sMin = xMajor ? y1 : x1;
  float eMaj = xMajor ? x2 : y2, eMin = xMajor ? y2 : x2;
  if (eMaj < sMaj) std::swap(sMaj, eMaj), std::swap(sMin, eMin);
  const float slope = (eMin - sMin) / (eMaj - sMaj);
  int majorstep = xMajor ? 1 : span, minorstep = xMajor ? span : 1;

  const float first = std::ceil(sMaj);
  const int n = lice::truncToInt(std::floor(eMaj) - first);
  const float m = (first - sMaj) * slope + sMin;
  int err = lice::truncToInt((m - std::floor(m)) * 65536.0f);
  int minor = lice::truncToInt(m);
  if (slope < 0) {
    minor += 1;
    err = 65535 - err;
    minorstep = -minorstep;
  }
  const int de = lice::truncToInt(std::fabs(slope) * 65536.0f);
  const int major = lice::truncToInt(first);
  LICE_pixel* p = dest->getBits() + (xMajor ? ptrdiff_t(minor) * span + major : ptrdiff_t(major) * span + minor);
  const int ia = lice::truncToInt(alpha * 256.0f);
  if (n < 0) return;
  lice::withWeightedCombiner(mode, ia, [&](auto tag) {
    __LICE_LineClass<typename decltype(tag)::type>::LICE_FLineImpl(p, n, err, de, majorstep, minorstep, color, ia);
  });
}
