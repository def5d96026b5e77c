#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "RasterTestSupport.h"
#include "RowKernels.h"

using namespace rastertest;

namespace {

// Random pixels with plenty of fully transparent and fully opaque ones, the
// cases the wide kernels take shortcuts for.
std::vector<LICE_pixel> randomRow(std::mt19937& rng, int n)
{
  std::vector<LICE_pixel> row(size_t(n) + 1);
  for (auto& p : row) {
    p = rng();
    const unsigned pick = rng() % 4;
    if (pick == 0) p &= 0xFFFFFF00u;
    if (pick == 1) p |= 0xFFu;
  }
  return row;
}

}  // namespace

TEST(RasterRowKernels, SourceAlphaOverMatchesTheCombiner)
{
  std::mt19937 rng(11);
  for (int n : {1, 3, 4, 7, 16, 33, 260}) {
    for (int run = 0; run < 20; ++run) {
      auto src = randomRow(rng, n), dst = randomRow(rng, n);
      if (run % 3 == 0)
        for (auto& p : src) p |= 0xFF;  // whole opaque blocks
      if (run % 3 == 1)
        for (auto& p : src) p &= 0xFFFFFF00u;  // whole transparent blocks
      auto expected = dst;
      for (int i = 0; i < n; ++i) {
        const auto* s = reinterpret_cast<const unsigned char*>(&src[size_t(i)]);
        _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(
            reinterpret_cast<unsigned char*>(&expected[size_t(i)]), s[1], s[2], s[3], s[0], 256);
      }
      lice::rowSourceAlphaOver(dst.data(), src.data(), n);
      ASSERT_EQ(dst, expected) << "width " << n;
    }
  }
}

TEST(RasterRowKernels, CopyBlendMatchesTheCombiner)
{
  std::mt19937 rng(12);
  for (int alpha : {1, 2, 64, 127, 129, 200, 255}) {
    for (int n : {1, 5, 8, 31}) {
      auto src = randomRow(rng, n), dst = randomRow(rng, n);
      auto expected = dst;
      for (int i = 0; i < n; ++i) {
        const auto* s = reinterpret_cast<const unsigned char*>(&src[size_t(i)]);
        _LICE_CombinePixelsCopyNoClamp::doPix(reinterpret_cast<unsigned char*>(&expected[size_t(i)]), s[1], s[2],
                                              s[3], s[0], alpha);
      }
      lice::rowCopyBlend(dst.data(), src.data(), n, alpha);
      ASSERT_EQ(dst, expected) << "alpha " << alpha << " width " << n;
    }
  }
}

TEST(RasterRowKernels, BilinearRowMatchesTheFourTapFormula)
{
  std::mt19937 rng(13);
  const int srcw = 64;
  auto row0 = randomRow(rng, srcw), row1 = randomRow(rng, srcw);
  struct Walk {
    int64_t x0, dx;
  } walks[] = {{0, 65536}, {0, 32768}, {1234, 65536}, {1234, 40000}, {1234, 123457}, {1234, 7}};
  // A start on a whole pixel meets fx = fy = 0, where w00 is 65536.
  for (const Walk& walk : walks) {
    for (int fy : {0, 1, 32768, 65535}) {
      const int n = int(std::min<int64_t>(40, ((srcw - 2) * int64_t(65536) - walk.x0) / walk.dx));
      std::vector<LICE_pixel> out(static_cast<size_t>(n)), expected(static_cast<size_t>(n));
      lice::rowBilinear(out.data(), reinterpret_cast<const unsigned char*>(row0.data()),
                        reinterpret_cast<const unsigned char*>(row1.data()), n, walk.x0, walk.dx, fy);
      for (int i = 0; i < n; ++i) {
        const int64_t x = walk.x0 + i * walk.dx;
        lice::lerp4(reinterpret_cast<unsigned char*>(&expected[size_t(i)]),
                    reinterpret_cast<const unsigned char*>(&row0[size_t(x >> 16)]),
                    reinterpret_cast<const unsigned char*>(&row1[size_t(x >> 16)]), int(x & 0xffff), fy);
      }
      ASSERT_EQ(out, expected) << "dx " << walk.dx << " fy " << fy;
    }
  }
}

TEST(RasterRowKernels, FillWritesEveryPixel)
{
  for (int n : {0, 1, 3, 4, 9, 100}) {
    std::vector<LICE_pixel> row(size_t(n) + 2, 5);
    lice::rowFill(row.data() + 1, n, 0xABCDEF01u);
    EXPECT_EQ(row.front(), 5u);
    EXPECT_EQ(row.back(), 5u);
    for (int i = 1; i <= n; ++i) ASSERT_EQ(row[size_t(i)], 0xABCDEF01u);
  }
}
