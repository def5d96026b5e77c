#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "CombineSelect.h"
#include "RasterTestSupport.h"
#include "RowKernels.h"

using namespace rastertest;

namespace {

// Guarded, optionally reporting itself flipped (image row y in memory row
// h - 1 - y).
class TestBitmap : public GuardedBitmap {
public:
  TestBitmap(int w, int h, LICE_pixel fill, int guard, bool flipped)
      : GuardedBitmap(w, h, fill, guard), m_flipped(flipped)
  {
  }
  bool isFlipped() override { return m_flipped; }
  unsigned char* at(int x, int y)
  {
    const int row = m_flipped ? getHeight() - 1 - y : y;
    return reinterpret_cast<unsigned char*>(getBits() + row * getRowSpan() + x);
  }

private:
  bool m_flipped;
};

struct Blit {
  int dstx, dsty, dstw, dsth;
  float srcx, srcy, srcw, srch, alpha;
  int mode;
};

// The bilinear scaled blit pixel by pixel, as its rule is written: mirroring,
// clipping, 16.16 stepping, trimming, source limits, then each destination
// pixel from its taps. Returns false for blits that go elsewhere (equal sizes
// to the plain blit, shrinking by 1.7 or more to the box filter).
bool referenceBilinear(TestBitmap& dest, TestBitmap& src, Blit b)
{
  if (!b.dstw || !b.dsth || b.alpha == 0.0f) return true;
  if (std::fabs(double(b.srcw - float(b.dstw))) < 0.001 && std::fabs(double(b.srch - float(b.dsth))) < 0.001)
    return false;
  if (b.dstw < 0) b.dstx += b.dstw, b.dstw = -b.dstw, b.srcx += b.srcw, b.srcw = -b.srcw;
  if (b.dsth < 0) b.dsty += b.dsth, b.dsth = -b.dsth, b.srcy += b.srch, b.srch = -b.srch;
  const float xstep = b.srcw / float(b.dstw), ystep = b.srch / float(b.dsth);
  if (double(xstep) >= 1.7 && double(ystep) >= 1.7) return false;
  if (b.dstx < 0) b.srcx -= float(double(b.dstx) * xstep), b.dstw += b.dstx, b.dstx = 0;
  if (b.dsty < 0) b.srcy -= float(double(b.dsty) * ystep), b.dsth += b.dsty, b.dsty = 0;
  b.dstw = std::min(b.dstw, dest.getWidth() - b.dstx);
  b.dsth = std::min(b.dsth, dest.getHeight() - b.dsty);
  if (b.dstw < 1 || b.dsth < 1) return true;

  const int64_t idx = lice::truncToInt(xstep * 65536.0), idy = lice::truncToInt(ystep * 65536.0);
  int64_t x0 = lice::truncToInt(b.srcx * 65536.0), y0 = lice::truncToInt(b.srcy * 65536.0);
  auto trim = [](int& pos, int& len, int64_t& start, int64_t step, int size) {
    if (step <= 0) return;
    if (start < 0) {
      const int64_t n = (step - 1 - start) / step;
      len -= int(n), pos += int(n), start += n * step;
    }
    if ((int64_t(len - 1) * step + start) / 65536 >= size)
      len = int(std::min<int64_t>(len, ((int64_t(size) - 1) * 65536 - start) / step));
  };
  trim(b.dstx, b.dstw, x0, idx, src.getWidth());
  trim(b.dsty, b.dsth, y0, idy, src.getHeight());
  if (b.dstw < 1 || b.dsth < 1) return true;

  const int clampx = std::min(lice::truncToInt(double(std::max(b.srcw, 0.0f) + b.srcx) + 0.999999), src.getWidth());
  const int clampy = std::min(lice::truncToInt(double(std::max(b.srch, 0.0f) + b.srcy) + 0.999999), src.getHeight());
  if (clampx < 1 || clampy < 1) return true;
  const int ia = lice::truncToInt(b.alpha * 256.0);
  if (!ia) return true;
  const int lastx = clampx - 1, lasty = clampy - 1;

  lice::withBlitCombiner(b.mode, ia, [&](auto tag) {
    using C = typename decltype(tag)::type;
    for (int j = 0; j < b.dsth; ++j) {
      const int64_t y = y0 + j * idy, sy = y / 65536;
      const int fy = int(y & 0xffff);
      const bool lastRow = y <= -65536 || sy >= lasty;
      if (lastRow && sy != lasty) continue;
      for (int i = 0; i < b.dstw; ++i) {
        const int64_t x = x0 + i * idx, sx = x / 65536;
        const int fx = int(x & 0xffff);
        int w00 = 65536, w01 = 0, w10 = 0, w11 = 0;
        if (x <= -65536 || sx >= lastx) {
          if (sx != lastx) continue;
          if (!lastRow) w00 = 65536 - fy, w10 = fy;
        } else if (lastRow) {
          w00 = 65536 - fx, w01 = fx;
        } else {
          w11 = int((unsigned(fx) * unsigned(fy)) >> 16);
          w01 = fx - w11, w10 = fy - w11, w00 = 65536 - fy - w01;
        }
        // Taps with a zero weight may lie outside the source and are not read.
        auto tap = [&](int64_t tx, int64_t ty, int w, int c) {
          return w ? src.at(int(tx), int(ty))[c] * w : 0;
        };
        int ch[4];
        for (int c = 0; c < 4; ++c)
          ch[c] = (tap(sx, sy, w00, c) + tap(sx + 1, sy, w01, c) + tap(sx, sy + 1, w10, c) +
                   tap(sx + 1, sy + 1, w11, c)) >> 16;
        C::doPix(dest.at(b.dstx + i, b.dsty + j), ch[LICE_PIXEL_R], ch[LICE_PIXEL_G], ch[LICE_PIXEL_B],
                 ch[LICE_PIXEL_A], ia);
      }
    }
  });
  return true;
}

struct Scene {
  int w, h, srcw, srch;
  bool destFlipped, srcFlipped, inPlace;
  unsigned fill;
};

// Same pixels, guards included.
::testing::AssertionResult samePixels(TestBitmap& a, TestBitmap& b)
{
  if (!a.guardsIntact() || !b.guardsIntact()) return ::testing::AssertionFailure() << "written outside";
  for (int y = 0; y < a.getHeight(); ++y)
    for (int x = 0; x < a.getWidth(); ++x)
      if (px(a, x, y) != px(b, x, y))
        return ::testing::AssertionFailure() << "at " << x << "," << y << std::hex << ": " << px(a, x, y)
                                             << " instead of " << px(b, x, y);
  return ::testing::AssertionSuccess();
}

}  // namespace

// Random sizes, steps from strong enlargement to shrinking past 2 on one axis,
// fractional and negative offsets, mirroring, clipping, flipped bitmaps, every
// combiner and opacity, in place too: every kernel path gives the rule's pixels.
TEST(RasterScaledBlit, BilinearMatchesThePerPixelRuleOnEveryPath)
{
  std::mt19937 rng(20240917);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto real = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
  static const int kModes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005};
  static const float kAlphas[] = {1.0f, 1.0f, 0.5f, 0.25f, 0.75f, 0.3f, 0.002f};
  int compared = 0;
  for (int round = 0; round < 1500; ++round) {
    // One round in eight is wide enough for several strips of columns.
    const bool wide = round % 8 == 0;
    const Scene s{wide ? pick(1500, 4500) : pick(1, 90), wide ? pick(1, 4) : pick(1, 60),
                  wide ? pick(1000, 3000) : pick(1, 70), pick(1, 40),
                  pick(0, 3) == 0, pick(0, 3) == 0, pick(0, 15) == 0, unsigned(rng())};
    const float xstep = pick(0, 5) == 0 ? real(1.0f, 3.0f) : real(0.05f, 1.3f);
    const float ystep = pick(0, 5) == 0 ? real(1.0f, 3.0f) : real(0.05f, 1.3f);
    Blit b{pick(-s.w / 2, s.w), pick(-s.h / 2, s.h), pick(1, s.w + 10) * (pick(0, 5) ? 1 : -1),
           pick(1, s.h + 10) * (pick(0, 5) ? 1 : -1), real(-3.0f, float(s.srcw)), real(-3.0f, float(s.srch)),
           0, 0, kAlphas[pick(0, 6)], 0x100 | kModes[pick(0, 11)]};
    b.srcw = float(std::abs(b.dstw)) * xstep * (pick(0, 7) ? 1.0f : -1.0f);
    b.srch = float(std::abs(b.dsth)) * ystep * (pick(0, 7) ? 1.0f : -1.0f);
    if (pick(0, 3) == 0) b.srcx = float(pick(0, s.srcw));  // whole-pixel starts
    const unsigned seed = unsigned(rng());

    auto source = std::make_unique<TestBitmap>(s.srcw, s.srch, 0u, 0, s.srcFlipped);
    pattern(*source, seed);
    auto dest = [&] {
      auto d = std::make_unique<TestBitmap>(s.w, s.h, s.fill, s.inPlace ? 0 : 3, s.destFlipped);
      if (s.inPlace) pattern(*d, seed);
      return d;
    };
    auto expected = dest();
    if (!referenceBilinear(*expected, s.inPlace ? *expected : *source, b)) continue;
    ++compared;
    for (lice::KernelPath path : {lice::KernelPath::kPlain, lice::KernelPath::kSse2, lice::KernelPath::kAvx2}) {
      lice::setKernelPath(path);
      auto got = dest();
      LICE_ScaledBlit(got.get(), s.inPlace ? got.get() : source.get(), b.dstx, b.dsty, b.dstw, b.dsth, b.srcx,
                      b.srcy, b.srcw, b.srch, b.alpha, b.mode);
      ASSERT_TRUE(samePixels(*got, *expected))
          << "round " << round << " path " << int(path) << " dest " << s.w << "x" << s.h << " source " << s.srcw
          << "x" << s.srch << " blit " << b.dstx << "," << b.dsty << " " << b.dstw << "x" << b.dsth << " from "
          << b.srcx << "," << b.srcy << " " << b.srcw << "x" << b.srch << " alpha " << b.alpha << " mode "
          << std::hex << b.mode;
    }
  }
  lice::setKernelPath(lice::KernelPath::kAvx2);
  EXPECT_GT(compared, 1200);
}
