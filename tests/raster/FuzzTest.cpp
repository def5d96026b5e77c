#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <iterator>
#include <random>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

// Random geometry thrown at every drawing operation: plausible values around
// the bitmaps, or only extreme and non-finite ones. The destination carries
// guard pixels and the source ends exactly at its last pixel, so a write
// outside the image shows in the guards and a read outside the source is
// caught by the address sanitizer.
class Fuzzer {
public:
  Fuzzer(unsigned seed, bool extreme) : m_rng(seed), m_extreme(extreme) {}

  int coord(int size)
  {
    static const int extremes[] = {INT_MIN, -1000000000, -1, 0, 3, 1000000000, INT_MAX};
    if (m_extreme) return extremes[pick(0, int(std::size(extremes)) - 1)];
    return pick(0, 9) == 0 ? pick(-100000, 100000) : pick(-size - 8, 2 * size + 8);
  }
  // A float around the bitmap, or a step, angle or radius up to `limit`.
  float real(int size, float limit = 0)
  {
    static const float extremes[] = {-1e30f, -1e9f, -0.5f, 0.0f, 2.5f, 1e9f, 1e30f, NAN, INFINITY};
    if (m_extreme) return extremes[pick(0, int(std::size(extremes)) - 1)];
    if (limit > 0) return limit * float(pick(-1000, 1000)) / 1000.0f;
    return float(coord(size)) + float(pick(0, 1000)) / 1000.0f;
  }
  float alpha() { return std::array<float, 6>{1.0f, 0.5f, 0.25f, 0.75f, 0.3f, 0.001f}[size_t(pick(0, 5))]; }
  int mode()
  {
    static const int modes[] = {0, 1, 2, 3, 4, 5, 6, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005,
                                0x100, 0x10100, 0x103, 0xF1, 0xF6};
    return modes[pick(0, int(std::size(modes)) - 1)];
  }
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
  bool coin() { return pick(0, 1) == 1; }

private:
  std::mt19937 m_rng;
  bool m_extreme;
};

constexpr int kOperations = 18;

void drawOne(Fuzzer& f, GuardedBitmap& dst, GuardedBitmap& src, int op)
{
  const int W = dst.getWidth(), H = dst.getHeight(), SW = src.getWidth(), SH = src.getHeight();
  const LICE_pixel c = LICE_RGBA(unsigned(f.pick(0, 255)), 99, 7, unsigned(f.pick(0, 255)));
  // Integer and float positions on the destination and the source, opacities and modes.
  auto x = [&] { return f.coord(W); };
  auto y = [&] { return f.coord(H); };
  auto sx = [&] { return f.coord(SW); };
  auto sy = [&] { return f.coord(SH); };
  auto fx = [&] { return f.real(W); };
  auto fy = [&] { return f.real(H); };
  auto fsx = [&] { return f.real(SW); };
  auto fsy = [&] { return f.real(SH); };
  auto a = [&] { return f.alpha(); };
  auto m = [&] { return f.mode(); };
  static const unsigned char mask[4 * 5] = {0, 50, 255, 9, 1, 2, 3, 4, 255, 255, 255, 255, 7, 8, 9, 10, 11, 12, 13, 14};
  float pts[3 * 3 * 2];
  int xs[6], ys[6];
  switch (op) {
    case 0: {
      const RECT r{sx(), sy(), sx(), sy()};
      LICE_Blit(&dst, &src, x(), y(), f.coin() ? &r : nullptr, a(), m());
      return LICE_Blit(&dst, &src, x(), y(), sx(), sy(), sx(), sy(), a(), m());
    }
    case 1:
      return LICE_ScaledBlit(&dst, &src, x(), y(), x(), y(), fsx(), fsy(), fsx() * 1.37f, fsy() * 0.61f, a(), m());
    case 2:
      return LICE_RotatedBlit(&dst, &src, x(), y(), x(), y(), fsx(), fsy(), fsx(), fsy(), f.real(0, 7), f.coin(), a(),
                              m(), f.real(0, 10), f.real(0, 10));
    case 3:
      return LICE_DeltaBlit(&dst, &src, x(), y(), x(), y(), fsx(), fsy(), fsx(), fsy(), f.real(0, 3), f.real(0, 3),
                            f.real(0, 3), f.real(0, 3), f.real(0, 0.5f), f.real(0, 0.5f), f.coin(), a(), m());
    case 4:
      for (float& p : pts) p = fsx();
      return LICE_TransformBlit(&dst, &src, x(), y(), x(), y(), pts, 3, 3, a(), m());
    case 5: return LICE_Blur(&dst, &src, x(), y(), sx(), sy(), sx(), sy());
    case 6: return LICE_Blur(&dst, &dst, x(), y(), x(), y(), x(), y());
    case 7:
      LICE_FillRect(&dst, x(), y(), x(), y(), c, a(), m());
      LICE_ClearRect(&dst, x(), y(), x(), y(), 0xFF00FF00u, 0x11);
      return LICE_PutPixel(&dst, x(), y(), c, a(), m());
    case 8:
      return LICE_GradRect(&dst, x(), y(), x(), y(), 0.2f, 0.5f, 0.9f, 1.0f, 0.01f, -0.02f, 0.03f,
                           float(f.pick(-5, 5)) / 100.0f, 0.02f, 0.01f, -0.01f, 0, m());
    case 9: return LICE_DrawGlyph(&dst, x(), y(), c, mask, 4, 5, a(), m());
    case 10:
      LICE_Line(&dst, x(), y(), x(), y(), c, a(), m(), f.coin());
      return LICE_FLine(&dst, fx(), fy(), fx(), fy(), c, a(), m(), f.coin());
    case 11:
      LICE_Circle(&dst, fx(), fy(), std::fabs(f.real(0, 30)), c, a(), m(), f.coin());
      return LICE_FillCircle(&dst, fx(), fy(), std::fabs(f.real(0, 30)), c, a(), m(), f.coin());
    case 12:
      LICE_Arc(&dst, fx(), fy(), std::fabs(f.real(0, 30)), f.real(0, 9), f.real(0, 9), c, a(), m(), f.coin());
      return LICE_RoundRect(&dst, fx(), fy(), fx(), fy(), f.pick(-2, 12), c, a(), m(), f.coin());
    case 13:
      for (int i = 0; i < 6; ++i) xs[i] = x(), ys[i] = y();
      LICE_FillConvexPolygon(&dst, xs, ys, f.pick(3, 6), c, a(), m());
      LICE_FillTrapezoid(&dst, xs[0], xs[1], ys[0], xs[2], xs[3], ys[1], c, a(), m());
      return LICE_BorderedRect(&dst, xs[4], ys[4], x(), y(), c, ~c, a(), m());
    case 14:
      LICE_DashedLine(&dst, x(), y(), x(), y(), f.pick(-2, 6), f.pick(-2, 6), c, a(), m(), false);
      return LICE_DashedLine(&dst, x(), 3, x(), 3, f.pick(-2, 6), f.coord(6), c, a(), m(), false);
    case 15:
      LICE_DrawQBezier(&dst, fx(), fy(), fx(), fy(), fx(), fy(), c, a(), m(), f.coin(), f.pick(0, 4));
      return LICE_DrawCBezier(&dst, fx(), fy(), fx(), fy(), fx(), fy(), fx(), fy(), c, a(), m(), f.coin(),
                              f.pick(0, 4));
    case 16:
      LICE_FillCBezier(&dst, fx(), fy(), fx(), fy(), fx(), fy(), fx(), fy(), y(), c, a(), m(), f.pick(0, 4));
      return LICE_FillCBezierX(&dst, fx(), fy(), fx(), fy(), fx(), fy(), fx(), fy(), x(), c, a(), m(), f.pick(0, 4));
    default:
      LICE_SimpleFill(&dst, x(), y(), c, 0xFFFFFFFFu, 0);
      return LICE_HalveBlitAA(&dst, &src);
  }
}

// Every operation in turn on fresh bitmaps; extreme arguments must neither
// overflow nor loop for ever.
void fuzz(bool extreme, int rounds)
{
  Fuzzer f(20240611, extreme);
  for (int iter = 0; iter < rounds * kOperations; ++iter) {
    const int op = iter % kOperations;
    GuardedBitmap dst(f.pick(1, 40), f.pick(1, 40), 0x10203040u), src(f.pick(1, 30), f.pick(1, 30), 0, 0);
    pattern(src, unsigned(iter));
    drawOne(f, dst, src, op);
    ASSERT_TRUE(dst.guardsIntact()) << "iteration " << iter << " operation " << op;
  }
}

}  // namespace

TEST(RasterFuzz, RandomAndExtremeGeometryStaysInsideTheBitmaps)
{
  fuzz(false, 170);
  fuzz(true, 150);
}
