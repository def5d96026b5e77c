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
  switch (op) {
    case 0: {
      const RECT r{f.coord(SW), f.coord(SH), f.coord(SW), f.coord(SH)};
      LICE_Blit(&dst, &src, f.coord(W), f.coord(H), f.coin() ? &r : nullptr, f.alpha(), f.mode());
      LICE_Blit(&dst, &src, f.coord(W), f.coord(H), f.coord(SW), f.coord(SH), f.coord(SW), f.coord(SH), f.alpha(),
                f.mode());
      break;
    }
    case 1:
      LICE_ScaledBlit(&dst, &src, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.real(SW), f.real(SH),
                      f.real(SW) * 1.37f, f.real(SH) * 0.61f, f.alpha(), f.mode());
      break;
    case 2:
      LICE_RotatedBlit(&dst, &src, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.real(SW), f.real(SH),
                       f.real(SW), f.real(SH), f.real(0, 7), f.coin(), f.alpha(), f.mode(), f.real(0, 10),
                       f.real(0, 10));
      break;
    case 3:
      LICE_DeltaBlit(&dst, &src, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.real(SW), f.real(SH), f.real(SW),
                     f.real(SH), f.real(0, 3), f.real(0, 3), f.real(0, 3), f.real(0, 3), f.real(0, 0.5f),
                     f.real(0, 0.5f), f.coin(), f.alpha(), f.mode());
      break;
    case 4: {
      float pts[3 * 3 * 2];
      for (float& p : pts) p = f.real(SW);
      LICE_TransformBlit(&dst, &src, f.coord(W), f.coord(H), f.coord(W), f.coord(H), pts, 3, 3, f.alpha(),
                         f.mode());
      break;
    }
    case 5:
      LICE_Blur(&dst, &src, f.coord(W), f.coord(H), f.coord(SW), f.coord(SH), f.coord(SW), f.coord(SH));
      break;
    case 6:
      LICE_Blur(&dst, &dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.coord(W), f.coord(H));
      break;
    case 7:
      LICE_FillRect(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), c, f.alpha(), f.mode());
      LICE_ClearRect(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), 0xFF00FF00u, 0x11);
      LICE_PutPixel(&dst, f.coord(W), f.coord(H), c, f.alpha(), f.mode());
      break;
    case 8:
      LICE_GradRect(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), 0.2f, 0.5f, 0.9f, 1.0f, 0.01f, -0.02f,
                    0.03f, float(f.pick(-5, 5)) / 100.0f, 0.02f, 0.01f, -0.01f, 0, f.mode());
      break;
    case 9: {
      static const unsigned char mask[4 * 5] = {0, 50, 255, 9, 1, 2, 3, 4, 255, 255, 255, 255, 7, 8, 9, 10, 11, 12,
                                                13, 14};
      LICE_DrawGlyph(&dst, f.coord(W), f.coord(H), c, mask, 4, 5, f.alpha(), f.mode());
      break;
    }
    case 10:
      LICE_Line(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), c, f.alpha(), f.mode(), f.coin());
      LICE_FLine(&dst, f.real(W), f.real(H), f.real(W), f.real(H), c, f.alpha(), f.mode(), f.coin());
      break;
    case 11:
      LICE_Circle(&dst, f.real(W), f.real(H), std::fabs(f.real(0, 30)), c, f.alpha(), f.mode(), f.coin());
      LICE_FillCircle(&dst, f.real(W), f.real(H), std::fabs(f.real(0, 30)), c, f.alpha(), f.mode(), f.coin());
      break;
    case 12:
      LICE_Arc(&dst, f.real(W), f.real(H), std::fabs(f.real(0, 30)), f.real(0, 9), f.real(0, 9), c, f.alpha(),
               f.mode(), f.coin());
      LICE_RoundRect(&dst, f.real(W), f.real(H), f.real(W), f.real(H), f.pick(-2, 12), c, f.alpha(), f.mode(),
                     f.coin());
      break;
    case 13: {
      int xs[6], ys[6];
      for (int i = 0; i < 6; ++i) xs[i] = f.coord(W), ys[i] = f.coord(H);
      LICE_FillConvexPolygon(&dst, xs, ys, f.pick(3, 6), c, f.alpha(), f.mode());
      LICE_FillTrapezoid(&dst, xs[0], xs[1], ys[0], xs[2], xs[3], ys[1], c, f.alpha(), f.mode());
      LICE_BorderedRect(&dst, xs[4], ys[4], f.coord(W), f.coord(H), c, ~c, f.alpha(), f.mode());
      break;
    }
    case 14:
      LICE_DashedLine(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.pick(-2, 6), f.pick(-2, 6), c,
                      f.alpha(), f.mode(), false);
      LICE_DashedLine(&dst, f.coord(W), 3, f.coord(W), 3, f.pick(-2, 6), f.coord(6), c, f.alpha(), f.mode(), false);
      break;
    case 15:
      LICE_DrawQBezier(&dst, f.real(W), f.real(H), f.real(W), f.real(H), f.real(W), f.real(H), c, f.alpha(),
                       f.mode(), f.coin(), f.pick(0, 4));
      LICE_DrawCBezier(&dst, f.real(W), f.real(H), f.real(W), f.real(H), f.real(W), f.real(H), f.real(W), f.real(H),
                       c, f.alpha(), f.mode(), f.coin(), f.pick(0, 4));
      break;
    case 16:
      LICE_FillCBezier(&dst, f.real(W), f.real(H), f.real(W), f.real(H), f.real(W), f.real(H), f.real(W), f.real(H),
                       f.coord(H), c, f.alpha(), f.mode(), f.pick(0, 4));
      LICE_FillCBezierX(&dst, f.real(W), f.real(H), f.real(W), f.real(H), f.real(W), f.real(H), f.real(W),
                        f.real(H), f.coord(W), c, f.alpha(), f.mode(), f.pick(0, 4));
      break;
    default:
      LICE_SimpleFill(&dst, f.coord(W), f.coord(H), c, 0xFFFFFFFFu, 0);
      LICE_HalveBlitAA(&dst, &src);
      break;
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

TEST(RasterFuzz, RandomGeometryStaysInsideTheBitmaps)
{
  fuzz(false, 170);
}

TEST(RasterFuzz, ExtremeArgumentsAreHarmless)
{
  fuzz(true, 150);
}
