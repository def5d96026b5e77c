#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "RasterTestSupport.h"
#include "RowKernels.h"

using namespace rastertest;

namespace {

class RasterCombine : public ::testing::TestWithParam<CombineCase> {};

TEST_P(RasterCombine, CombinesOnePixel)
{
  const CombineCase& c = GetParam();
  EXPECT_EQ(LICE_CombinePixels(c.dest, c.src, c.alpha, c.mode), c.expected) << std::hex << c.expected;
}

const CombineCase kCases[] = {
    // -127.5 truncates toward the source: 128, not 127.
    {"CopyHalfTruncatesTowardSource", rgba(0, 0, 0, 0), rgba(255, 255, 255, 255), 0.5f, 0, rgba(128, 128, 128, 128)},
    {"CopyWeightOne", rgba(0, 0, 0, 0), rgba(255, 255, 255, 255), 1.0f / 256, 0, rgba(1, 1, 1, 1)},
    {"CopyTinyAlphaKeepsDest", rgba(1, 2, 3, 4), rgba(200, 100, 50, 25), 0.001f, 0, rgba(1, 2, 3, 4)},
    {"CopyFullIsSource", rgba(1, 2, 3, 4), rgba(200, 100, 50, 25), 1.0f, 0, rgba(200, 100, 50, 25)},
    {"CopyNegativeDrawsNothing", rgba(1, 2, 3, 4), rgba(200, 100, 50, 25), -0.5f, 0, rgba(1, 2, 3, 4)},
    {"FilterBitsIgnored", rgba(0, 0, 0, 0), rgba(255, 255, 255, 255), 0.5f, 0x100, rgba(128, 128, 128, 128)},
    {"AddSaturatesAlphaToo", rgba(200, 10, 0, 250), rgba(100, 100, 0, 100), 1.0f, 1, rgba(255, 110, 0, 255)},
    {"DodgeWhiteFull", rgba(1, 0, 128, 255), rgba(255, 255, 255, 255), 1.0f, 2, rgba(255, 0, 255, 255)},
    {"DodgeHalf", rgba(64, 64, 64, 64), rgba(128, 128, 128, 128), 1.0f, 2, rgba(128, 128, 128, 128)},
    {"MultiplyWhiteLosesOne", rgba(1, 128, 255, 0), rgba(255, 255, 255, 255), 1.0f, 3, rgba(0, 127, 254, 0)},
    {"OverlayBlackDarkens", rgba(100, 200, 255, 0), rgba(0, 0, 0, 0), 1.0f, 4, rgba(39, 156, 254, 0)},
    {"OverlayWhiteLightens", rgba(100, 200, 255, 0), rgba(255, 255, 255, 255), 1.0f, 4, rgba(160, 243, 255, 0)},
    {"HsvNoShiftGrey", rgba(77, 77, 77, 7), rgba(128, 128, 128, 128), 1.0f, 5, rgba(77, 77, 77, 128)},
    {"HsvRoundTripLosesAStep", rgba(200, 100, 50, 7), rgba(128, 128, 128, 128), 1.0f, 5, rgba(200, 99, 50, 128)},
    {"HsvSaturateGrey", rgba(100, 100, 100, 0), rgba(128, 192, 128, 9), 1.0f, 5, rgba(50, 50, 100, 9)},
    {"HsvHueTurn", rgba(255, 0, 0, 0), rgba(213, 128, 128, 255), 1.0f, 5, rgba(4, 255, 0, 255)},
    {"SourceAlphaOpaqueReplaces", rgba(9, 9, 9, 9), rgba(200, 100, 50, 255), 1.0f, 0x10000, rgba(200, 100, 50, 255)},
    {"SourceAlphaTransparentKeeps", rgba(9, 9, 9, 9), rgba(200, 100, 50, 0), 1.0f, 0x10000, rgba(9, 9, 9, 9)},
    // 255 - sa, not 256 - sa, at full opacity.
    {"SourceAlphaHalfFull", rgba(0, 0, 0, 200), rgba(255, 255, 255, 128), 1.0f, 0x10000, rgba(129, 129, 129, 255)},
    {"SourceAlphaOpaqueAtHalf", rgba(0, 0, 0, 100), rgba(255, 255, 255, 255), 0.5f, 0x10000,
     rgba(128, 128, 128, 228)},
    {"SourceAlphaHalfAtHalf", rgba(0, 0, 0, 0), rgba(255, 255, 255, 127), 0.5f, 0x10000, rgba(64, 64, 64, 64)},
    {"AddSourceAlphaSkipsTransparent", rgba(1, 1, 1, 1), rgba(255, 255, 255, 0), 1.0f, 0x10001, rgba(1, 1, 1, 1)},
    {"AddSourceAlphaScales", rgba(0, 0, 0, 0), rgba(255, 255, 255, 127), 1.0f, 0x10001, rgba(127, 127, 127, 63)},
    // Colour dodge still applies a transparent source, with weight 1.
    {"DodgeSourceAlphaTransparent", rgba(200, 200, 200, 200), rgba(255, 255, 255, 0), 1.0f, 0x10002,
     rgba(200, 200, 200, 200)},
    {"MulSourceAlphaSkipsTransparent", rgba(100, 100, 100, 100), rgba(0, 0, 0, 0), 1.0f, 0x10003,
     rgba(100, 100, 100, 100)},
    {"OverlaySourceAlphaTransparentApplies", rgba(100, 100, 100, 100), rgba(0, 0, 0, 0), 1.0f, 0x10004,
     rgba(99, 99, 99, 99)},
    {"HsvSourceAlphaSetsAlpha", rgba(255, 0, 0, 50), rgba(128, 128, 128, 0), 1.0f, 0x10005, rgba(255, 0, 0, 0)},
    {"ModeSixDrawsNothing", rgba(1, 2, 3, 4), rgba(200, 100, 50, 25), 1.0f, 6, rgba(1, 2, 3, 4)},
};

INSTANTIATE_TEST_SUITE_P(Modes, RasterCombine, ::testing::ValuesIn(kCases), CaseName);

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

// Channels out of range: the clamping entry point limits each, the plain one
// wraps it to the low 8 bits; weight 0 draws nothing.
TEST(RasterCombine, OutOfRangeChannelsClampOrWrap)
{
  const struct { bool clamp; LICE_pixel dest; int r, g, b, a, alpha, mode; LICE_pixel expected; } cases[] = {
      {true, rgba(9, 9, 9, 9), 300, -5, 128, 400, 256, 0, rgba(255, 0, 128, 255)},
      {true, rgba(0, 255, 0, 0), 400, -400, 0, 0, 128, 0, rgba(200, 0, 0, 0)},
      {true, rgba(0, 0, 0, 250), 300, -50, 10, 128, 256, 0x10000, rgba(152, 0, 6, 255)},
      {false, rgba(9, 9, 9, 9), 300, -5, 128, 400, 256, 0, rgba(44, 251, 128, 144)},
      {false, rgba(9, 9, 9, 9), 1, 1, 1, 1, 0, 1, rgba(9, 9, 9, 9)},
  };
  for (const auto& c : cases) {
    LICE_pixel p = c.dest;
    (c.clamp ? LICE_CombinePixels2Clamp : LICE_CombinePixels2)(&p, c.r, c.g, c.b, c.a, c.alpha, c.mode);
    EXPECT_EQ(p, c.expected) << std::hex << p;
  }
}

// The blits' wide row kernels give exactly their combiner's per-pixel result
// at every width, also over whole blocks of opaque or transparent sources.
TEST(RasterRowKernels, BlendsMatchTheirCombiners)
{
  std::mt19937 rng(11);
  for (lice::KernelPath path : {lice::KernelPath::kPlain, lice::KernelPath::kSse2, lice::KernelPath::kAvx2})
  for (int alpha : {256, 1, 2, 64, 127, 129, 200, 255})  // 256: source-alpha over
    for (int n : {1, 3, 4, 7, 16, 33, 260})
      for (int run = 0; run < 6; ++run) {
        lice::setKernelPath(path);
        auto src = randomRow(rng, n), dst = randomRow(rng, n), expected = dst;
        for (auto& p : src) p = run == 0 ? p | 0xFF : run == 1 ? p & 0xFFFFFF00u : p;
        for (int i = 0; i < n; ++i) {
          const LICE_pixel s = src[size_t(i)];
          auto* e = reinterpret_cast<unsigned char*>(&expected[size_t(i)]);
          const int r = int(LICE_GETR(s)), g = int(LICE_GETG(s)), b = int(LICE_GETB(s)), a = int(LICE_GETA(s));
          if (alpha == 256)
            _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(e, r, g, b, a, 256);
          else
            _LICE_CombinePixelsCopyNoClamp::doPix(e, r, g, b, a, alpha);
        }
        if (alpha == 256)
          lice::rowSourceAlphaOver(dst.data(), src.data(), n);
        else
          lice::rowCopyBlend(dst.data(), src.data(), n, alpha);
        ASSERT_EQ(dst, expected) << "alpha " << alpha << " width " << n << " run " << run << " path " << int(path);
      }
  lice::setKernelPath(lice::KernelPath::kAvx2);
}

// Scaled bilinear blits come out the same on every kernel path.
TEST(RasterRowKernels, BilinearPathsGiveTheSamePixels)
{
  std::mt19937 rng(5);
  LICE_MemBitmap src(37, 23, 4);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) src.getBits()[y * src.getRowSpan() + x] = LICE_pixel(rng());
  std::vector<std::vector<LICE_pixel>> results;
  for (lice::KernelPath path : {lice::KernelPath::kPlain, lice::KernelPath::kSse2, lice::KernelPath::kAvx2}) {
    lice::setKernelPath(path);
    LICE_MemBitmap dst(61, 29, 4);
    LICE_Clear(&dst, 0);
    LICE_ScaledBlit(&dst, &src, 0, 0, 61, 29, 0.3f, 0.0f, 36.0f, 22.5f, 1.0f, 0x100);
    results.emplace_back(dst.getBits(), dst.getBits() + dst.getRowSpan() * 29);
  }
  lice::setKernelPath(lice::KernelPath::kAvx2);
  EXPECT_EQ(results[1], results[0]);
  EXPECT_EQ(results[2], results[0]);
}
