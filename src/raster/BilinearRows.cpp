#include "BilinearRows.h"

#include <initializer_list>

#include "RowKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The wide paths weigh channels in 16-bit lanes: a pixel's bytes 0 and 2 in one
// vector, bytes 1 and 3 in another, each as its value times 256, so that
// mulhi gives a tap's product with its weight over 256, truncated, and mullo
// that product's remainder times 256. Remainders are multiples of 256, so
// averaging them adds without rounding or overflow: the average of four is 64
// times their sum (of two, 128 times), whose bits from 14 (15) up carry into
// the truncated products.
// Their sum is exactly the plain path's (sum of products) >> 8, whose high byte
// is the channel, for weights below 65536; the one weight of 65536 (both
// fractions 0) is mended by taking the top-left tap whole.

namespace lice {

void BilinearColumns::plan(int64_t x, int64_t dx, int count, int readable)
{
  n = count;
  for (int i = 0; i < n; ++i, x += dx) {
    sx[i] = int32_t(x / 65536);
    frac[i] = uint32_t(x & 0xffff) * 0x10001u;
  }
  window = 0;
  if (n < 8) return;
  int span = 0;
  for (int g = 0; g < groups(); ++g) {
    const int32_t* s = sx + groupStart(g);
    const auto [lo, hi] = std::minmax_element(s, s + 8);
    base[g] = *lo;
    span = std::max(span, *hi - *lo);
  }
  // A window of w pixels is read at its base and one pixel on, so w + 1 pixels
  // must be readable; near the right edge the base moves left to fit.
  for (int w : {8, 16})
    if (span < w && readable > w) {
      window = w;
      break;
    }
  if (!window) return;
  for (int g = 0; g < groups(); ++g) {
    base[g] = std::min(base[g], readable - 1 - window);
    const int at = groupStart(g);
    // The sign bit marks taps in a window's second eight pixels: the permute
    // reads only the low three bits, the blend only the sign.
    for (int j = 0; j < 8; ++j) {
      const int32_t i = sx[at + j] - base[g];
      idx[g][j] = i < 8 ? i : int32_t(uint32_t(i) | 0x80000000u);
    }
  }
}

namespace {

void bilinearPlain(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, const BilinearColumns& c,
                   int fy)
{
  for (int i = 0; i < c.n; ++i)
    lerp4(reinterpret_cast<unsigned char*>(dest + i), row0 + c.sx[i] * 4, row1 + c.sx[i] * 4,
          int(c.frac[i] & 0xffff), fy);
}

#if defined(__SSE2__)

inline __m128i weigh2(__m128i a, __m128i b, __m128i wa, __m128i wb)
{
  const __m128i whole = _mm_add_epi16(_mm_mulhi_epu16(a, wa), _mm_mulhi_epu16(b, wb));
  const __m128i rest = _mm_avg_epu16(_mm_mullo_epi16(a, wa), _mm_mullo_epi16(b, wb));
  return _mm_add_epi16(whole, _mm_srli_epi16(rest, 15));
}

inline __m128i weigh4(const __m128i t[4], const __m128i w[4])
{
  const __m128i whole = _mm_add_epi16(_mm_add_epi16(_mm_mulhi_epu16(t[0], w[0]), _mm_mulhi_epu16(t[1], w[1])),
                                      _mm_add_epi16(_mm_mulhi_epu16(t[2], w[2]), _mm_mulhi_epu16(t[3], w[3])));
  const __m128i rest = _mm_avg_epu16(_mm_avg_epu16(_mm_mullo_epi16(t[0], w[0]), _mm_mullo_epi16(t[1], w[1])),
                                     _mm_avg_epu16(_mm_mullo_epi16(t[2], w[2]), _mm_mullo_epi16(t[3], w[3])));
  return _mm_add_epi16(whole, _mm_srli_epi16(rest, 14));
}

// Left and right taps of four columns of one row.
inline void tapPairs(const unsigned char* row, const int32_t* sx, __m128i& left, __m128i& right)
{
  auto pair = [&](int j) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + sx[j] * 4)); };
  const __m128i a = _mm_unpacklo_epi32(pair(0), pair(1)), b = _mm_unpacklo_epi32(pair(2), pair(3));
  left = _mm_unpacklo_epi64(a, b);
  right = _mm_unpackhi_epi64(a, b);
}

// Four columns a pass; the last pass ends at the run's end.
template <bool kFlat>
void bilinearSse2(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, const BilinearColumns& c,
                  int fy)
{
  const __m128i zero = _mm_setzero_si128(), oddBytes = _mm_set1_epi16(short(0xFF00));
  const __m128i fyv = _mm_set1_epi16(short(fy)), negFy = _mm_set1_epi16(short(-fy));
  for (int i = 0; i < c.n; i += 4) {
    if (i + 4 > c.n) i = c.n - 4;
    __m128i t[4];
    tapPairs(row0, c.sx + i, t[0], t[1]);
    if constexpr (!kFlat) tapPairs(row1, c.sx + i, t[2], t[3]);
    const __m128i fx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.frac + i));
    __m128i even, odd;
    if constexpr (kFlat) {
      const __m128i w00 = _mm_sub_epi16(zero, fx);
      even = weigh2(_mm_slli_epi16(t[0], 8), _mm_slli_epi16(t[1], 8), w00, fx);
      odd = weigh2(_mm_and_si128(t[0], oddBytes), _mm_and_si128(t[1], oddBytes), w00, fx);
    } else {
      const __m128i w11 = _mm_mulhi_epu16(fx, fyv), w01 = _mm_sub_epi16(fx, w11);
      const __m128i w[4] = {_mm_sub_epi16(negFy, w01), w01, _mm_sub_epi16(fyv, w11), w11};
      __m128i e[4], o[4];
      for (int k = 0; k < 4; ++k) {
        e[k] = _mm_slli_epi16(t[k], 8);
        o[k] = _mm_and_si128(t[k], oddBytes);
      }
      even = weigh4(e, w);
      odd = weigh4(o, w);
    }
    __m128i out = _mm_or_si128(_mm_srli_epi16(even, 8), _mm_and_si128(odd, oddBytes));
    if constexpr (kFlat) {
      const __m128i whole = _mm_cmpeq_epi32(fx, zero);
      out = _mm_or_si128(_mm_andnot_si128(whole, out), _mm_and_si128(whole, t[0]));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), out);
  }
}

#endif

#if defined(__x86_64__)
#define LICE_AVX2 __attribute__((target("avx2")))

LICE_AVX2 inline __m256i weigh2x8(__m256i a, __m256i b, __m256i wa, __m256i wb)
{
  const __m256i whole = _mm256_add_epi16(_mm256_mulhi_epu16(a, wa), _mm256_mulhi_epu16(b, wb));
  const __m256i rest = _mm256_avg_epu16(_mm256_mullo_epi16(a, wa), _mm256_mullo_epi16(b, wb));
  return _mm256_add_epi16(whole, _mm256_srli_epi16(rest, 15));
}

LICE_AVX2 inline __m256i weigh4x8(const __m256i t[4], const __m256i w[4])
{
  const __m256i whole =
      _mm256_add_epi16(_mm256_add_epi16(_mm256_mulhi_epu16(t[0], w[0]), _mm256_mulhi_epu16(t[1], w[1])),
                       _mm256_add_epi16(_mm256_mulhi_epu16(t[2], w[2]), _mm256_mulhi_epu16(t[3], w[3])));
  const __m256i rest =
      _mm256_avg_epu16(_mm256_avg_epu16(_mm256_mullo_epi16(t[0], w[0]), _mm256_mullo_epi16(t[1], w[1])),
                       _mm256_avg_epu16(_mm256_mullo_epi16(t[2], w[2]), _mm256_mullo_epi16(t[3], w[3])));
  return _mm256_add_epi16(whole, _mm256_srli_epi16(rest, 14));
}

// The taps of group g at offset 0 (left) or 1 (right) in one row: permuted out
// of the group's window, or fetched one by one.
template <int kWindow>
LICE_AVX2 inline __m256i taps8(const int* row, const BilinearColumns& c, int g, int at, int offset)
{
  if constexpr (kWindow == 0) {
    return _mm256_i32gather_epi32(row + offset, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.sx + at)), 4);
  } else {
    const __m256i idx = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.idx[g]));
    const int* p = row + c.base[g] + offset;
    const __m256i low = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), idx);
    if constexpr (kWindow == 8) return low;
    const __m256i high =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8)), idx);
    return _mm256_castps_si256(
        _mm256_blendv_ps(_mm256_castsi256_ps(low), _mm256_castsi256_ps(high), _mm256_castsi256_ps(idx)));
  }
}

template <int kWindow, bool kFlat>
LICE_AVX2 void bilinearAvx2(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1,
                            const BilinearColumns& c, int fy)
{
  const auto* top = reinterpret_cast<const int*>(row0);
  const auto* bottom = reinterpret_cast<const int*>(row1);
  const __m256i zero = _mm256_setzero_si256(), oddBytes = _mm256_set1_epi16(short(0xFF00));
  const __m256i fyv = _mm256_set1_epi16(short(fy)), negFy = _mm256_set1_epi16(short(-fy));
  for (int g = 0, groups = c.groups(); g < groups; ++g) {
    const int at = c.groupStart(g);
    __m256i t[4];
    t[0] = taps8<kWindow>(top, c, g, at, 0);
    t[1] = taps8<kWindow>(top, c, g, at, 1);
    if constexpr (!kFlat) {
      t[2] = taps8<kWindow>(bottom, c, g, at, 0);
      t[3] = taps8<kWindow>(bottom, c, g, at, 1);
    }
    const __m256i fx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.frac + at));
    __m256i even, odd;
    if constexpr (kFlat) {
      const __m256i w00 = _mm256_sub_epi16(zero, fx);
      even = weigh2x8(_mm256_slli_epi16(t[0], 8), _mm256_slli_epi16(t[1], 8), w00, fx);
      odd = weigh2x8(_mm256_and_si256(t[0], oddBytes), _mm256_and_si256(t[1], oddBytes), w00, fx);
    } else {
      const __m256i w11 = _mm256_mulhi_epu16(fx, fyv), w01 = _mm256_sub_epi16(fx, w11);
      const __m256i w[4] = {_mm256_sub_epi16(negFy, w01), w01, _mm256_sub_epi16(fyv, w11), w11};
      __m256i e[4], o[4];
      for (int k = 0; k < 4; ++k) {
        e[k] = _mm256_slli_epi16(t[k], 8);
        o[k] = _mm256_and_si256(t[k], oddBytes);
      }
      even = weigh4x8(e, w);
      odd = weigh4x8(o, w);
    }
    __m256i out = _mm256_or_si256(_mm256_srli_epi16(even, 8), _mm256_and_si256(odd, oddBytes));
    if constexpr (kFlat) out = _mm256_blendv_epi8(out, t[0], _mm256_cmpeq_epi32(fx, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + at), out);
  }
}

template <bool kFlat>
void bilinearAvx2Window(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1,
                        const BilinearColumns& c, int fy)
{
  switch (c.window) {
    case 8: return bilinearAvx2<8, kFlat>(dest, row0, row1, c, fy);
    case 16: return bilinearAvx2<16, kFlat>(dest, row0, row1, c, fy);
    default: return bilinearAvx2<0, kFlat>(dest, row0, row1, c, fy);
  }
}
#undef LICE_AVX2
#endif

}  // namespace

void rowBilinear(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, const BilinearColumns& c,
                 int fy)
{
  const KernelPath path = kernelPath();
#if defined(__x86_64__)
  if (path == KernelPath::kAvx2 && c.n >= 8)
    return fy ? bilinearAvx2Window<false>(dest, row0, row1, c, fy) : bilinearAvx2Window<true>(dest, row0, row0, c, 0);
#endif
#if defined(__SSE2__)
  if (path != KernelPath::kPlain && c.n >= 4)
    return fy ? bilinearSse2<false>(dest, row0, row1, c, fy) : bilinearSse2<true>(dest, row0, row0, c, 0);
#endif
  bilinearPlain(dest, row0, fy ? row1 : row0, c, fy);
}

}  // namespace lice
