#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <iterator>
#include <random>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

// Random geometry thrown at every drawing operation. The destination carries
// guard pixels and the source ends exactly at its last pixel, so a write
// outside the image shows in the guards and a read outside the source is
// caught by the address sanitizer.
class Fuzzer {
public:
  explicit Fuzzer(unsigned seed) : m_rng(seed) {}

  int coord(int size) { return pick(0, 9) == 0 ? pick(-100000, 100000) : pick(-size - 8, 2 * size + 8); }
  int length(int size) { return pick(0, 9) == 0 ? pick(-100000, 100000) : pick(-size - 4, 2 * size + 4); }
  float fcoord(int size) { return float(coord(size)) + float(pick(0, 1000)) / 1000.0f; }
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
};

void drawOne(Fuzzer& f, GuardedBitmap& dst, TightBitmap& src, int op)
{
  const int W = dst.getWidth(), H = dst.getHeight(), SW = src.getWidth(), SH = src.getHeight();
  const LICE_pixel c = LICE_RGBA(unsigned(f.pick(0, 255)), 99, 7, unsigned(f.pick(0, 255)));
  switch (op) {
    case 0: {
      const RECT r{f.coord(SW), f.coord(SH), f.coord(SW), f.coord(SH)};
      LICE_Blit(&dst, &src, f.coord(W), f.coord(H), f.coin() ? &r : nullptr, f.alpha(), f.mode());
      break;
    }
    case 1:
      LICE_ScaledBlit(&dst, &src, f.coord(W), f.coord(H), f.length(W), f.length(H), f.fcoord(SW), f.fcoord(SH),
                      float(f.length(SW)) * 1.37f, float(f.length(SH)) * 0.61f, f.alpha(), f.mode());
      break;
    case 2:
      LICE_RotatedBlit(&dst, &src, f.coord(W), f.coord(H), f.length(W), f.length(H), f.fcoord(SW), f.fcoord(SH),
                       float(f.length(SW)), float(f.length(SH)), float(f.pick(-700, 700)) / 100.0f, f.coin(),
                       f.alpha(), f.mode(), float(f.pick(-20, 20)) / 2, float(f.pick(-20, 20)) / 2);
      break;
    case 3:
      LICE_DeltaBlit(&dst, &src, f.coord(W), f.coord(H), f.length(W), f.length(H), f.fcoord(SW), f.fcoord(SH),
                     float(f.length(SW)), float(f.length(SH)), f.pick(-300, 300) / 100.0, f.pick(-300, 300) / 100.0,
                     f.pick(-300, 300) / 100.0, f.pick(-300, 300) / 100.0, f.pick(-50, 50) / 100.0,
                     f.pick(-50, 50) / 100.0, f.coin(), f.alpha(), f.mode());
      break;
    case 4: {
      float pts[3 * 3 * 2];
      for (float& p : pts) p = f.fcoord(SW);
      LICE_TransformBlit(&dst, &src, f.coord(W), f.coord(H), f.length(W), f.length(H), pts, 3, 3, f.alpha(),
                         f.mode());
      break;
    }
    case 5:
      LICE_Blur(&dst, &src, f.coord(W), f.coord(H), f.coord(SW), f.coord(SH), f.length(SW), f.length(SH));
      break;
    case 6:
      LICE_Blur(&dst, &dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.length(W), f.length(H));
      break;
    case 7:
      LICE_FillRect(&dst, f.coord(W), f.coord(H), f.length(W), f.length(H), c, f.alpha(), f.mode());
      LICE_ClearRect(&dst, f.coord(W), f.coord(H), f.length(W), f.length(H), 0xFF00FF00u, 0x11);
      LICE_PutPixel(&dst, f.coord(W), f.coord(H), c, f.alpha(), f.mode());
      break;
    case 8:
      LICE_GradRect(&dst, f.coord(W), f.coord(H), f.length(W), f.length(H), 0.2f, 0.5f, 0.9f, 1.0f, 0.01f,
                    -0.02f, 0.03f, float(f.pick(-5, 5)) / 100.0f, 0.02f, 0.01f, -0.01f, 0, f.mode());
      break;
    case 9: {
      static const unsigned char mask[4 * 5] = {0, 50, 255, 9, 1, 2, 3, 4, 255, 255, 255, 255, 7, 8, 9, 10, 11, 12, 13, 14};
      LICE_DrawGlyph(&dst, f.coord(W), f.coord(H), c, mask, 4, 5, f.alpha(), f.mode());
      break;
    }
    case 10:
      LICE_Line(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), c, f.alpha(), f.mode(), f.coin());
      LICE_FLine(&dst, f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H), c, f.alpha(), f.mode(), f.coin());
      break;
    case 11: {
      const float r = float(f.pick(0, 60)) / 2.0f;
      LICE_Circle(&dst, f.fcoord(W), f.fcoord(H), r, c, f.alpha(), f.mode(), f.coin());
      LICE_FillCircle(&dst, f.fcoord(W), f.fcoord(H), r, c, f.alpha(), f.mode(), f.coin());
      break;
    }
    case 12:
      LICE_Arc(&dst, f.fcoord(W), f.fcoord(H), float(f.pick(0, 60)) / 2.0f, float(f.pick(-900, 900)) / 100.0f,
               float(f.pick(-900, 900)) / 100.0f, c, f.alpha(), f.mode(), f.coin());
      LICE_RoundRect(&dst, f.fcoord(W), f.fcoord(H), float(f.length(W)), float(f.length(H)), f.pick(-2, 12), c,
                     f.alpha(), f.mode(), f.coin());
      break;
    case 13: {
      int xs[6], ys[6];
      for (int i = 0; i < 6; ++i) xs[i] = f.coord(W), ys[i] = f.coord(H);
      LICE_FillConvexPolygon(&dst, xs, ys, f.pick(3, 6), c, f.alpha(), f.mode());
      LICE_FillTrapezoid(&dst, xs[0], xs[1], ys[0], xs[2], xs[3], ys[1], c, f.alpha(), f.mode());
      LICE_BorderedRect(&dst, xs[4], ys[4], f.length(W), f.length(H), c, ~c, f.alpha(), f.mode());
      break;
    }
    case 14:
      LICE_DashedLine(&dst, f.coord(W), f.coord(H), f.coord(W), f.coord(H), f.pick(-2, 6), f.pick(-2, 6), c,
                      f.alpha(), f.mode(), false);
      LICE_DashedLine(&dst, f.coord(W), 3, f.coord(W), 3, f.pick(-2, 6), f.pick(-2, 6), c, f.alpha(), f.mode(),
                      false);
      break;
    case 15:
      LICE_DrawQBezier(&dst, f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H), c,
                       f.alpha(), f.mode(), f.coin(), f.pick(0, 4));
      LICE_DrawCBezier(&dst, f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H),
                       f.fcoord(W), f.fcoord(H), c, f.alpha(), f.mode(), f.coin(), f.pick(0, 4));
      break;
    case 16:
      LICE_FillCBezier(&dst, f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H),
                       f.fcoord(W), f.fcoord(H), f.coord(H), c, f.alpha(), f.mode(), f.pick(0, 4));
      LICE_FillCBezierX(&dst, f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H), f.fcoord(W), f.fcoord(H),
                        f.fcoord(W), f.fcoord(H), f.coord(W), c, f.alpha(), f.mode(), f.pick(0, 4));
      break;
    default:
      LICE_SimpleFill(&dst, f.coord(W), f.coord(H), c, 0xFFFFFFFFu, 0);
      LICE_HalveBlitAA(&dst, &src);
      break;
  }
}

}  // namespace

TEST(RasterFuzz, RandomGeometryStaysInsideTheBitmaps)
{
  Fuzzer f(20240611);
  for (int iter = 0; iter < 3000; ++iter) {
    const int op = iter % 18;
    GuardedBitmap dst(f.pick(1, 40), f.pick(1, 40), 0x10203040u);
    TightBitmap src(f.pick(1, 30), f.pick(1, 30));
    pattern(src, unsigned(iter));
    drawOne(f, dst, src, op);
    ASSERT_TRUE(dst.guardsIntact()) << "iteration " << iter << " operation " << op;
  }
}

// Extreme and non-finite arguments must neither overflow nor loop for ever.
TEST(RasterFuzz, ExtremeArgumentsAreHarmless)
{
  const int ints[] = {INT_MIN, -1000000000, -1, 0, 3, 1000000000, INT_MAX};
  const float floats[] = {-1e30f, -1e9f, -0.5f, 0.0f, 2.5f, 1e9f, 1e30f, NAN, INFINITY};
  GuardedBitmap dst(9, 7, 0x10203040u);
  TightBitmap src(5, 4);
  pattern(src);
  for (int a : ints)
    for (int b : ints) {
      LICE_Blit(&dst, &src, a, b, a, b, b, a, 0.7f, 0x10000);
      LICE_FillRect(&dst, a, b, b, a, 0xFFFFFFFFu, 0.3f, 1);
      LICE_Line(&dst, a, b, b, a, 0xFFFFFFFFu, 0.6f, 0, true);
      LICE_DashedLine(&dst, a, 3, b, 3, 2, b, 0xFFFFFFFFu, 1.0f, 0, false);
      LICE_FillTrapezoid(&dst, a, b, a, b, a, b, 0xFFFFFFFFu, 0.5f, 0);
      LICE_DrawGlyph(&dst, a, b, 0xFFFFFFFFu, reinterpret_cast<const unsigned char*>("abcd"), 2, 2, 1.0f, 0);
      LICE_ScaledBlit(&dst, &src, a, b, b, a, 0, 0, 5, 4, 1.0f, 0x100);
      LICE_Blur(&dst, &src, a, b, a, b, b, a);
      LICE_GradRect(&dst, a, b, b, a, 0.1f, 0.2f, 0.3f, 1.0f, 0.01f, 0, 0, 0, 0, 0, 0, 0, 0);
    }
  for (float f : floats)
    for (float g : floats) {
      LICE_ScaledBlit(&dst, &src, 0, 0, 9, 7, f, g, g, f, 1.0f, 0x100);
      LICE_RotatedBlit(&dst, &src, 0, 0, 9, 7, f, g, 5, 4, g, true, 1.0f, 0x10100, f, g);
      LICE_RotatedBlit(&dst, &src, 0, 0, 9, 7, 0, 0, f, g, 0.3f, false, 1.0f, 0, 0, 0);
      LICE_DeltaBlit(&dst, &src, 0, 0, 9, 7, f, g, 5, 4, f, g, g, f, 0, 0, false, 1.0f, 0x100);
      LICE_FLine(&dst, f, g, g, f, 0xFFFFFFFFu, 1.0f, 0, true);
      LICE_Circle(&dst, f, g, std::fabs(g), 0xFFFFFFFFu, 1.0f, 0, true);
      LICE_FillCircle(&dst, 4, 3, std::fabs(f), 0xFFFFFFFFu, 0.5f, 0, false);
      LICE_Arc(&dst, 4, 3, 3, f, g, 0xFFFFFFFFu, 1.0f, 0, false);
      LICE_RoundRect(&dst, f, g, g, f, 3, 0xFFFFFFFFu, 1.0f, 0, false);
      LICE_DrawQBezier(&dst, f, g, 1, 1, g, f, 0xFFFFFFFFu, 1.0f, 0, true, 1.0);
      LICE_DrawCBezier(&dst, f, g, 1, 1, 2, 2, g, f, 0xFFFFFFFFu, 1.0f, 0, false, 0.5);
      LICE_FillCBezier(&dst, f, g, 1, 1, 2, 2, g, f, 3, 0xFFFFFFFFu, 1.0f, 0, 0.5);
    }
  EXPECT_TRUE(dst.guardsIntact());
}
