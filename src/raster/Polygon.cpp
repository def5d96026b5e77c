#include <algorithm>
#include <climits>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "CombineSelect.h"
#include "Fill.h"
#include "RowKernels.h"
#include "ShapeSupport.h"
#include "Shapes.h"

namespace {

// One edge of a trapezoid walked row by row in 16.16: whole pixels move the
// position in the edge's direction, the remainder stays in frac.
struct TrapezoidEdge {
  int64_t pos;
  int64_t slope;  // |pixels per row| in 16.16
  int dir;
  int64_t frac = 0;

  void advance(int64_t rows)
  {
    frac += slope * rows;
    if (frac >= 65536) {
      pos += dir * (frac >> 16);
      frac &= 0xffff;
    }
  }
};

struct TrapezoidSpan {
  unsigned char* row;  // memory row of the first line
  ptrdiff_t step;
  int rows, width;
};

template <class Row>
void walkTrapezoid(const TrapezoidSpan& s, TrapezoidEdge l, TrapezoidEdge r, Row&& fillRow)
{
  unsigned char* row = s.row;
  for (int y = 0; y < s.rows; ++y, row += s.step) {
    const int64_t x0 = std::max<int64_t>(l.pos, 0), x1 = std::min<int64_t>(r.pos + 1, s.width);
    if (x1 > x0) fillRow(reinterpret_cast<LICE_pixel*>(row) + x0, int(x1 - x0));
    l.advance(1);
    r.advance(1);
  }
}

}  // namespace

template <class C>
struct _LICE_Fill {
  static void FillClippedTrapezoid(const TrapezoidSpan& s, const TrapezoidEdge& l, const TrapezoidEdge& r,
                                   LICE_pixel color, int ia)
  {
    const lice::Colour4 c(color);
    walkTrapezoid(s, l, r, [&](LICE_pixel* p, int n) {
      for (int i = 0; i < n; ++i) lice::put<C>(p + i, c, ia);
    });
  }
};

template <class F>
struct _LICE_FillFast {
  static void FillClippedTrapezoidFAST(const TrapezoidSpan& s, const TrapezoidEdge& l, const TrapezoidEdge& r,
                                       LICE_pixel color)
  {
    const LICE_pixel c = F::prepare(color);
    walkTrapezoid(s, l, r, [&](LICE_pixel* p, int n) {
      if constexpr (std::is_same_v<F, _LICE_CombinePixelsClobber2FAST>)
        lice::rowFill(p, n, c);
      else
        for (int i = 0; i < n; ++i) F::doPixFAST(p + i, c);
    });
  }
};

void LICE_FillTrapezoid(LICE_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2, LICE_pixel color,
                        float alpha, int mode)
{
  if (!dest || !dest->getBits()) return;
  if (y1 > y2) std::swap(x1a, x2a), std::swap(x1b, x2b), std::swap(y1, y2);
  if (x1a > x1b) std::swap(x1a, x1b);
  if (x2a > x2b) std::swap(x2a, x2b);
  const int w = dest->getWidth(), h = dest->getHeight();
  if ((x1b < 0 && x2b < 0) || (x1a >= w && x2a >= w) || y2 < 0 || y1 >= h) return;

  int64_t l0 = x1a, l1 = x2a, r0 = x1b, r1 = x2b;
  if (l0 <= 0 && l1 <= 0) l0 = l1 = 0;
  if (r0 >= w - 1 && r1 >= w - 1) r0 = r1 = w - 1;
  auto slopeOf = [&](int64_t from, int64_t to) -> int64_t {
    if (y2 == y1) return 0;
    const double s = double(to - from) * (65536.0 / double(int64_t(y2) - y1));
    return int64_t(std::clamp(s, -536870912.0, 536870912.0));
  };
  const int64_t ls = slopeOf(l0, l1), rs = slopeOf(r0, r1);
  TrapezoidEdge left{l0, ls < 0 ? -ls : ls, ls < 0 ? -1 : 1};
  TrapezoidEdge right{r0, rs < 0 ? -rs : rs, rs < 0 ? -1 : 1};
  int64_t top = y1;
  if (top < 0) {
    // Start the band at row 0 with its edges where they would be there.
    left.advance(-top);
    right.advance(-top);
    top = 0;
  }
  const int rows = int(std::min<int64_t>(y2, h - 1) - top + 1);
  if (!ls && !rs) {
    const int64_t a = std::max<int64_t>(left.pos, 0), b = std::min<int64_t>(right.pos + 1, w);
    if (b <= a) return;
    left.pos = a, right.pos = b - 1;
  }
  const TrapezoidSpan span{reinterpret_cast<unsigned char*>(dest->getBits()) +
                               ptrdiff_t(top) * dest->getRowSpan() * 4,
                           ptrdiff_t(dest->getRowSpan()) * 4, rows, w};
  const int ia = lice::truncToInt(alpha * 256.0f);
  if ((mode & 0xFF) == 0 && lice::withFastCopyCombiner(ia, [&](auto tag) {
        _LICE_FillFast<typename decltype(tag)::type>::FillClippedTrapezoidFAST(span, left, right, color);
      }))
    return;
  if ((mode & 0xFF) == 0 && ia < 1) return;
  lice::withWeightedCombiner(mode, ia, [&](auto tag) {
    _LICE_Fill<typename decltype(tag)::type>::FillClippedTrapezoid(span, left, right, color, ia);
  });
}

namespace {

struct PolyPoint {
  int x, y;
};

// Top to bottom, then left to right.
bool _ysort(const PolyPoint& a, const PolyPoint& b)
{
  return a.y != b.y ? a.y < b.y : a.x < b.x;
}

// Among the points after i on other rows, the end of the edge from i that
// bounds the polygon on the left (dir -1) or right (dir +1).
int FindNextEdgeVertex(const PolyPoint* points, int i, int n, int dir)
{
  int best = i;
  float bestSlope = 0.0f;
  for (int j = i + 1; j < n; ++j) {
    if (points[j].y == points[i].y) continue;
    const float slope = float(int64_t(points[j].x) - points[i].x) / float(int64_t(points[j].y) - points[i].y);
    if (best == i || (dir < 0 ? slope <= bestSlope : slope >= bestSlope)) best = j, bestSlope = slope;
  }
  return best;
}

int edgeXAt(const PolyPoint& a, const PolyPoint& b, int row)
{
  const PolyPoint& lo = a.y <= b.y ? a : b;
  const PolyPoint& hi = a.y <= b.y ? b : a;
  if (row <= lo.y) return lo.x;
  if (row >= hi.y) return hi.x;
  return lice::satAdd(lo.x, lice::truncToInt(float(int64_t(row) - lo.y) *
                                             (float(int64_t(hi.x) - lo.x) / float(int64_t(hi.y) - lo.y))));
}

}  // namespace

void LICE_FillConvexPolygon(LICE_IBitmap* dest, const int* x, const int* y, int npoints, LICE_pixel color,
                            float alpha, int mode)
{
  if (!dest || !x || !y || npoints < 3) return;
  std::array<PolyPoint, 512> local;
  std::vector<PolyPoint> heap;
  PolyPoint* pts = local.data();
  if (npoints > int(local.size())) {
    heap.resize(size_t(npoints));
    pts = heap.data();
  }
  const int h = dest->getHeight();
  int minx = dest->getWidth(), maxx = 0;
  for (int i = 0; i < npoints; ++i) {
    pts[i] = {x[i], dest->isFlipped() ? lice::satAdd(h - 1, y[i] == INT_MIN ? INT_MAX : -y[i]) : y[i]};
    minx = std::min(minx, x[i]);
    maxx = std::max(maxx, x[i]);
  }
  std::sort(pts, pts + npoints, _ysort);

  if (pts[0].y == pts[npoints - 1].y) {
    if (pts[0].y >= 0 && pts[0].y < h && minx <= maxx)
      LICE_FillTrapezoid(dest, minx, maxx, pts[0].y, minx, maxx, pts[0].y, color, alpha, mode);
    return;
  }
  int a1 = 0, b1 = 0;
  for (int i = 0; i < npoints && pts[i].y == pts[0].y; ++i) {
    if (pts[i].x == pts[0].x) a1 = i;
    b1 = i;
  }
  int a2 = FindNextEdgeVertex(pts, a1, npoints, -1), b2 = FindNextEdgeVertex(pts, b1, npoints, 1);
  int row = pts[0].y;
  // Each band fills from row to yend; consecutive bands share no row.
  while (a1 != a2 || b1 != b2) {
    const int yend = std::min(pts[a2].y, pts[b2].y);
    LICE_FillTrapezoid(dest, edgeXAt(pts[a1], pts[a2], row), edgeXAt(pts[b1], pts[b2], row), row,
                       edgeXAt(pts[a1], pts[a2], yend), edgeXAt(pts[b1], pts[b2], yend), yend, color, alpha, mode);
    if (pts[a2].y == yend) a1 = a2, a2 = FindNextEdgeVertex(pts, a2, npoints, -1);
    if (pts[b2].y == yend) b1 = b2, b2 = FindNextEdgeVertex(pts, b2, npoints, 1);
    row = lice::satAdd(yend, yend < row ? -1 : 1);
  }
}

void LICE_FillTriangle(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, LICE_pixel color,
                       float alpha, int mode)
{
  const int xs[3] = {x1, x2, x3}, ys[3] = {y1, y2, y3};
  LICE_FillConvexPolygon(dest, xs, ys, 3, color, alpha, mode);
}

void LICE_DrawRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha, int mode)
{
  const int r = lice::satAdd(x, w), b = lice::satAdd(y, h);
  LICE_Line(dest, x, y, r, y, color, alpha, mode, false);
  LICE_Line(dest, r, y, r, b, color, alpha, mode, false);
  LICE_Line(dest, r, b, x, b, color, alpha, mode, false);
  LICE_Line(dest, x, b, x, y, color, alpha, mode, false);
}

void LICE_BorderedRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel bgcolor, LICE_pixel fgcolor,
                       float alpha, int mode)
{
  using lice::satAdd;
  LICE_FillRect(dest, satAdd(x, 1), satAdd(y, 1), satAdd(w, -1), satAdd(h, -1), bgcolor, alpha, mode);
  LICE_DrawRect(dest, x, y, w, h, fgcolor, alpha, mode);
}
