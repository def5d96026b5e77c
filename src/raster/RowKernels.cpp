#include "RowKernels.h"

#include <cstring>

#include "Combine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lice {

namespace {
KernelPath bestPath()
{
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return KernelPath::kAvx2;
#endif
#if defined(__SSE2__)
  return KernelPath::kSse2;
#else
  return KernelPath::kPlain;
#endif
}

KernelPath& currentPath()
{
  static KernelPath path = bestPath();
  return path;
}
}  // namespace

KernelPath kernelPath()
{
  return currentPath();
}

KernelPath setKernelPath(KernelPath path)
{
  static const KernelPath best = bestPath();
  currentPath() = path > best ? best : path;
  return currentPath();
}

namespace {

void sourceAlphaOverScalar(LICE_pixel* dest, const LICE_pixel* src, int n)
{
  for (int i = 0; i < n; ++i) {
    const auto* s = reinterpret_cast<const unsigned char*>(src + i);
    _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(reinterpret_cast<unsigned char*>(dest + i),
                                                                    s[LICE_PIXEL_R], s[LICE_PIXEL_G],
                                                                    s[LICE_PIXEL_B], s[LICE_PIXEL_A], 256);
  }
}

void copyBlendScalar(LICE_pixel* dest, const LICE_pixel* src, int n, int alpha)
{
  for (int i = 0; i < n; ++i) {
    const auto* s = reinterpret_cast<const unsigned char*>(src + i);
    _LICE_CombinePixelsCopyNoClamp::doPix(reinterpret_cast<unsigned char*>(dest + i), s[LICE_PIXEL_R],
                                          s[LICE_PIXEL_G], s[LICE_PIXEL_B], s[LICE_PIXEL_A], alpha);
  }
}

#if defined(__SSE2__)

// s + (d - s) * k / 256 per 16-bit channel with the quotient truncated toward
// zero, written as (s * (256 - k) + d * k + bias) >> 8 where bias is 255 when
// d < s: every term is non-negative and the sum stays below 65536. kInv is
// 256 - k.
inline __m128i moveToward(__m128i d, __m128i s, __m128i k, __m128i kInv)
{
  const __m128i bias = _mm_and_si128(_mm_cmpgt_epi16(s, d), _mm_set1_epi16(255));
  const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(s, kInv), _mm_mullo_epi16(d, k)), bias);
  return _mm_srli_epi16(sum, 8);
}

// Four pixels of the full-opacity source-alpha copy: colours move toward the
// source by sa / 256 of the way (255 - sa kept), the alpha byte adds sa with
// saturation, and a source alpha of 0 leaves its pixel alone.
inline __m128i sourceAlphaOver4(__m128i d, __m128i s, __m128i alphaMask, __m128i clear)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i k255 = _mm_set1_epi16(255), one = _mm_set1_epi16(1);
  auto half = [&](__m128i d16, __m128i s16) {
    const __m128i sa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0x00), 0x00);
    return moveToward(d16, s16, _mm_sub_epi16(k255, sa), _mm_add_epi16(sa, one));
  };
  const __m128i colour = _mm_packus_epi16(half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)),
                                          half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)));
  const __m128i alpha = _mm_adds_epu8(d, _mm_and_si128(s, alphaMask));
  const __m128i out = _mm_or_si128(_mm_andnot_si128(alphaMask, colour), _mm_and_si128(alphaMask, alpha));
  return _mm_or_si128(_mm_andnot_si128(clear, out), _mm_and_si128(clear, d));
}

#endif

#if defined(__x86_64__)
// The same arithmetic as the SSE2 blocks, eight pixels at a time.
__attribute__((target("avx2"))) inline __m256i moveToward8(__m256i d, __m256i s, __m256i k, __m256i kInv)
{
  const __m256i bias = _mm256_and_si256(_mm256_cmpgt_epi16(s, d), _mm256_set1_epi16(255));
  const __m256i sum =
      _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(s, kInv), _mm256_mullo_epi16(d, k)), bias);
  return _mm256_srli_epi16(sum, 8);
}

// Colours of four widened pixels moved toward the source by its alpha.
__attribute__((target("avx2"))) inline __m256i towardSource8(__m256i d16, __m256i s16, __m256i k255, __m256i one)
{
  const __m256i a16 = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, 0x00), 0x00);
  return moveToward8(d16, s16, _mm256_sub_epi16(k255, a16), _mm256_add_epi16(a16, one));
}

__attribute__((target("avx2"))) int sourceAlphaOverAvx2(LICE_pixel* dest, const LICE_pixel* src, int w)
{
  const __m256i alphaMask = _mm256_set1_epi32(0xFF), zero = _mm256_setzero_si256();
  const __m256i k255 = _mm256_set1_epi16(255), one = _mm256_set1_epi16(1);
  int i = 0;
  for (; i + 8 <= w; i += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i sa = _mm256_and_si256(s, alphaMask);
    const int opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaMask));
    if (opaque == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), s);
      continue;
    }
    const __m256i clear = _mm256_cmpeq_epi32(sa, zero);
    if (_mm256_movemask_epi8(clear) == -1) continue;
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest + i));
    const __m256i colour =
        _mm256_packus_epi16(towardSource8(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero), k255, one),
                            towardSource8(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero), k255, one));
    const __m256i alpha = _mm256_adds_epu8(d, sa);
    const __m256i out = _mm256_or_si256(_mm256_andnot_si256(alphaMask, colour), _mm256_and_si256(alphaMask, alpha));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i),
                        _mm256_or_si256(_mm256_andnot_si256(clear, out), _mm256_and_si256(clear, d)));
  }
  return i;
}
#endif

}  // namespace

void rowSourceAlphaOver(LICE_pixel* dest, const LICE_pixel* src, int w)
{
  int i = 0;
  const KernelPath path = kernelPath();
#if defined(__x86_64__)
  if (path == KernelPath::kAvx2) i = sourceAlphaOverAvx2(dest, src, w);
#endif
#if defined(__SSE2__)
  if (path != KernelPath::kPlain) {
  const __m128i alphaMask = _mm_set1_epi32(0xFF);
  // Opaque and clear runs are the common case in real art; a block of four
  // is tested on its alpha bytes alone before any arithmetic.
  auto block = [&](int at, __m128i s, int opaque, int clear) {
    if (opaque == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + at), s);
    } else if (clear != 0xFFFF) {
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + at));
      const __m128i clearLanes = clear ? _mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), _mm_setzero_si128())
                                       : _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + at), sourceAlphaOver4(d, s, alphaMask, clearLanes));
    }
  };
  auto opaqueBits = [&](__m128i s) { return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), alphaMask)); };
  auto clearBits = [&](__m128i s) {
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), _mm_setzero_si128()));
  };
  for (; i + 8 <= w; i += 8) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
    const int o0 = opaqueBits(s0), o1 = opaqueBits(s1);
    if ((o0 & o1) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), s0);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i + 4), s1);
      continue;
    }
    const int c0 = clearBits(s0), c1 = clearBits(s1);
    if ((c0 & c1) == 0xFFFF) continue;
    block(i, s0, o0, c0);
    block(i + 4, s1, o1, c1);
  }
  for (; i + 4 <= w; i += 4) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    block(i, s0, opaqueBits(s0), clearBits(s0));
  }
  }
#endif
  sourceAlphaOverScalar(dest + i, src + i, w - i);
}

void rowCopyBlend(LICE_pixel* dest, const LICE_pixel* src, int w, int alpha)
{
  int i = 0;
#if defined(__SSE2__)
  if (alpha > 0 && alpha < 256 && kernelPath() != KernelPath::kPlain) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i k = _mm_set1_epi16(short(256 - alpha)), kInv = _mm_set1_epi16(short(alpha));
    for (; i + 4 <= w; i += 4) {
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
      const __m128i lo = moveToward(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), k, kInv);
      const __m128i hi = moveToward(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), k, kInv);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_packus_epi16(lo, hi));
    }
  }
#endif
  copyBlendScalar(dest + i, src + i, w - i, alpha);
}

#if defined(__SSE2__)
namespace {

// Eight 8-byte tap pairs (two neighbouring source pixels each) turned into
// eight vectors of one byte position each, across the eight outputs: out[i]
// holds byte 2i in its low half and byte 2i + 1 in its high half.
inline void transposeTaps(const __m128i t[8], __m128i out[4])
{
  const __m128i a = _mm_unpacklo_epi8(t[0], t[1]), b = _mm_unpacklo_epi8(t[2], t[3]);
  const __m128i c = _mm_unpacklo_epi8(t[4], t[5]), d = _mm_unpacklo_epi8(t[6], t[7]);
  const __m128i e = _mm_unpacklo_epi16(a, b), f = _mm_unpackhi_epi16(a, b);
  const __m128i g = _mm_unpacklo_epi16(c, d), h = _mm_unpackhi_epi16(c, d);
  out[0] = _mm_unpacklo_epi32(e, g);
  out[1] = _mm_unpackhi_epi32(e, g);
  out[2] = _mm_unpacklo_epi32(f, h);
  out[3] = _mm_unpackhi_epi32(f, h);
}

struct BilinearWeights {
  __m128i hi[4], lo[4];  // 00, 01, 10, 11: each weight as 256 * hi + lo
};

// Sum of the four taps times their weights, shifted down by 16, for eight
// outputs of one channel. With w = 256 h + l the sum is 256 H + L; H fits 16
// bits, and L is taken apart into the high and low bytes of its products so
// that nothing overflows: the result is exactly (sum) >> 16.
inline __m128i bilinearChannel(const __m128i c[4], const BilinearWeights& w)
{
  const __m128i low = _mm_set1_epi16(255);
  __m128i h = _mm_setzero_si128(), lhi = _mm_setzero_si128(), llo = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    h = _mm_add_epi16(h, _mm_mullo_epi16(c[i], w.hi[i]));
    const __m128i p = _mm_mullo_epi16(c[i], w.lo[i]);
    lhi = _mm_add_epi16(lhi, _mm_srli_epi16(p, 8));
    llo = _mm_add_epi16(llo, _mm_and_si128(p, low));
  }
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(h, lhi), _mm_srli_epi16(llo, 8)), 8);
}

}  // namespace
#endif

#if defined(__x86_64__)
namespace {
#define LICE_AVX2 __attribute__((target("avx2")))

// As transposeTaps, on two lanes at once: the low lane holds outputs 0-7,
// the high lane outputs 8-15.
LICE_AVX2 inline void transposeTaps16(const __m256i t[8], __m256i out[4])
{
  const __m256i a = _mm256_unpacklo_epi8(t[0], t[1]), b = _mm256_unpacklo_epi8(t[2], t[3]);
  const __m256i c = _mm256_unpacklo_epi8(t[4], t[5]), d = _mm256_unpacklo_epi8(t[6], t[7]);
  const __m256i e = _mm256_unpacklo_epi16(a, b), f = _mm256_unpackhi_epi16(a, b);
  const __m256i g = _mm256_unpacklo_epi16(c, d), h = _mm256_unpackhi_epi16(c, d);
  out[0] = _mm256_unpacklo_epi32(e, g);
  out[1] = _mm256_unpackhi_epi32(e, g);
  out[2] = _mm256_unpacklo_epi32(f, h);
  out[3] = _mm256_unpackhi_epi32(f, h);
}

// bilinearChannel for sixteen outputs.
LICE_AVX2 inline __m256i bilinearChannel16(const __m256i c[4], const __m256i hi[4], const __m256i lo[4])
{
  const __m256i low = _mm256_set1_epi16(255);
  __m256i h = _mm256_setzero_si256(), lhi = _mm256_setzero_si256(), llo = _mm256_setzero_si256();
  for (int i = 0; i < 4; ++i) {
    h = _mm256_add_epi16(h, _mm256_mullo_epi16(c[i], hi[i]));
    const __m256i p = _mm256_mullo_epi16(c[i], lo[i]);
    lhi = _mm256_add_epi16(lhi, _mm256_srli_epi16(p, 8));
    llo = _mm256_add_epi16(llo, _mm256_and_si256(p, low));
  }
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(h, lhi), _mm256_srli_epi16(llo, 8)), 8);
}

LICE_AVX2 inline __m256i widenTap(const __m256i* v, int k)
{
  const __m256i zero = _mm256_setzero_si256();
  return (k & 1) ? _mm256_unpackhi_epi8(v[k >> 1], zero) : _mm256_unpacklo_epi8(v[k >> 1], zero);
}

LICE_AVX2 inline __m256i pairOfTaps(const unsigned char* row, int64_t a, int64_t b)
{
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + a * 4))),
      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + b * 4)), 1);
}

// Sixteen outputs a pass; returns how many were written (all, or none for
// fewer than sixteen) and advances x past them.
LICE_AVX2 int bilinearAvx2(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, int n,
                           int64_t& x, int64_t dx, int fy)
{
  const __m256i zero = _mm256_setzero_si256();
  const __m256i fyv = _mm256_set1_epi16(short(fy));
  const __m256i byte = _mm256_set1_epi16(255);
  const __m256i fullOnZero = fy == 0 ? _mm256_set1_epi16(-1) : zero;
  const __m256i stepFractions = _mm256_mullo_epi16(
      _mm256_set_epi16(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0), _mm256_set1_epi16(short(dx)));
  if (n < 16) return 0;
  const int64_t x0 = x;
  // Outputs depend on their coordinates alone, so the last pass may overlap
  // the one before it instead of leaving a tail.
  for (int i = 0; i < n; i += 16) {
    if (i + 16 > n) i = n - 16;
    const int64_t xi = x0 + i * dx;
    const __m256i fx = _mm256_add_epi16(_mm256_set1_epi16(short(xi)), stepFractions);
    __m256i top[8], bot[8];
    for (int j = 0; j < 8; ++j) {
      const int64_t a = (xi + j * dx) >> 16, b = (xi + (j + 8) * dx) >> 16;
      top[j] = pairOfTaps(row0, a, b);
      bot[j] = pairOfTaps(row1, a, b);
    }
    const __m256i w11 = _mm256_mulhi_epu16(fx, fyv);
    const __m256i w01 = _mm256_sub_epi16(fx, w11), w10 = _mm256_sub_epi16(fyv, w11);
    const __m256i w00 = _mm256_sub_epi16(zero, _mm256_add_epi16(fyv, w01));
    const __m256i full =
        _mm256_and_si256(_mm256_and_si256(fullOnZero, _mm256_cmpeq_epi16(fx, zero)), _mm256_set1_epi16(256));
    __m256i hi[4], lo[4];
    const __m256i ws[4] = {w00, w01, w10, w11};
    for (int k = 0; k < 4; ++k) {
      hi[k] = _mm256_srli_epi16(ws[k], 8);
      lo[k] = _mm256_and_si256(ws[k], byte);
    }
    hi[0] = _mm256_add_epi16(hi[0], full);
    __m256i t[4], b[4];
    transposeTaps16(top, t);
    transposeTaps16(bot, b);
    __m256i ch[4];
    for (int k = 0; k < 4; ++k) {
      const __m256i c[4] = {widenTap(t, k), widenTap(t, k + 4), widenTap(b, k), widenTap(b, k + 4)};
      ch[k] = bilinearChannel16(c, hi, lo);
    }
    const __m256i ar = _mm256_packus_epi16(ch[LICE_PIXEL_A], ch[LICE_PIXEL_R]);
    const __m256i gb = _mm256_packus_epi16(ch[LICE_PIXEL_G], ch[LICE_PIXEL_B]);
    const __m256i arPairs = _mm256_unpacklo_epi8(ar, _mm256_srli_si256(ar, 8));
    const __m256i gbPairs = _mm256_unpacklo_epi8(gb, _mm256_srli_si256(gb, 8));
    const __m256i lo4 = _mm256_unpacklo_epi16(arPairs, gbPairs), hi4 = _mm256_unpackhi_epi16(arPairs, gbPairs);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), _mm256_permute2x128_si256(lo4, hi4, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i + 8), _mm256_permute2x128_si256(lo4, hi4, 0x31));
  }
  x = x0 + n * dx;
  return n;
}
#undef LICE_AVX2
}  // namespace
#endif

void rowBilinear(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, int n, int64_t x,
                 int64_t dx, int fy)
{
  int i = 0;
#if defined(__x86_64__)
  if (kernelPath() == KernelPath::kAvx2) {
    i = bilinearAvx2(dest, row0, row1, n, x, dx, fy);
    dest += i;
    n -= i;
    i = 0;
  }
#endif
#if defined(__SSE2__)
  // Eight outputs a pass, channels side by side in 16-bit lanes.
  const int vectorEnd = kernelPath() == KernelPath::kPlain ? 0 : n;
  const __m128i zero = _mm_setzero_si128();
  const __m128i fyv = _mm_set1_epi16(short(fy));
  const __m128i byte = _mm_set1_epi16(255);
  // With fy = 0 a zero fx gives w00 = 65536, one more than 16 bits hold.
  const __m128i fullOnZero = fy == 0 ? _mm_set1_epi16(-1) : zero;
  // The fractions of eight steps, from 16-bit arithmetic that wraps as the
  // low 16 bits of the coordinates do.
  const __m128i stepFractions = _mm_mullo_epi16(_mm_set_epi16(7, 6, 5, 4, 3, 2, 1, 0), _mm_set1_epi16(short(dx)));
  for (; i + 8 <= vectorEnd; i += 8) {
    const __m128i fx = _mm_add_epi16(_mm_set1_epi16(short(x)), stepFractions);
    __m128i top[8], bot[8];
    for (int j = 0; j < 8; ++j, x += dx) {
      const int64_t sx = x >> 16;
      top[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row0 + sx * 4));
      bot[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row1 + sx * 4));
    }
    const __m128i w11 = _mm_mulhi_epu16(fx, fyv);
    const __m128i w01 = _mm_sub_epi16(fx, w11), w10 = _mm_sub_epi16(fyv, w11);
    const __m128i w00 = _mm_sub_epi16(zero, _mm_add_epi16(fyv, w01));
    const __m128i full = _mm_and_si128(_mm_and_si128(fullOnZero, _mm_cmpeq_epi16(fx, zero)), _mm_set1_epi16(256));
    BilinearWeights w;
    const __m128i ws[4] = {w00, w01, w10, w11};
    for (int k = 0; k < 4; ++k) {
      w.hi[k] = _mm_srli_epi16(ws[k], 8);
      w.lo[k] = _mm_and_si128(ws[k], byte);
    }
    w.hi[0] = _mm_add_epi16(w.hi[0], full);

    __m128i t[4], b[4];
    transposeTaps(top, t);
    transposeTaps(bot, b);
    // Byte k of a tap pair: k < 4 the left pixel's channel k, else the right one's.
    auto taps = [&](int ch, __m128i out[4]) {
      auto widen = [&](const __m128i* v, int k) {
        return (k & 1) ? _mm_unpackhi_epi8(v[k >> 1], zero) : _mm_unpacklo_epi8(v[k >> 1], zero);
      };
      out[0] = widen(t, ch);
      out[1] = widen(t, ch + 4);
      out[2] = widen(b, ch);
      out[3] = widen(b, ch + 4);
    };
    __m128i c[4], ch[4];
    for (int k = 0; k < 4; ++k) {
      taps(k, c);
      ch[k] = bilinearChannel(c, w);
    }
    const __m128i ar = _mm_packus_epi16(ch[LICE_PIXEL_A], ch[LICE_PIXEL_R]);
    const __m128i gb = _mm_packus_epi16(ch[LICE_PIXEL_G], ch[LICE_PIXEL_B]);
    const __m128i arPairs = _mm_unpacklo_epi8(ar, _mm_srli_si128(ar, 8));
    const __m128i gbPairs = _mm_unpacklo_epi8(gb, _mm_srli_si128(gb, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_unpacklo_epi16(arPairs, gbPairs));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i + 4), _mm_unpackhi_epi16(arPairs, gbPairs));
  }
#endif
  for (; i < n; ++i, x += dx) {
    const int64_t sx = x >> 16;
    lerp4(reinterpret_cast<unsigned char*>(dest + i), row0 + sx * 4, row1 + sx * 4, int(x & 0xffff), fy);
  }
}

void rowFill(LICE_pixel* dest, int n, LICE_pixel c)
{
  int i = 0;
#if defined(__SSE2__)
  for (; i < n && (reinterpret_cast<uintptr_t>(dest + i) & 15); ++i) dest[i] = c;
  const __m128i v = _mm_set1_epi32(int(c));
  for (; i + 16 <= n; i += 16) {
    auto* p = reinterpret_cast<__m128i*>(dest + i);
    _mm_store_si128(p, v);
    _mm_store_si128(p + 1, v);
    _mm_store_si128(p + 2, v);
    _mm_store_si128(p + 3, v);
  }
  for (; i + 4 <= n; i += 4) _mm_store_si128(reinterpret_cast<__m128i*>(dest + i), v);
#endif
  for (; i < n; ++i) dest[i] = c;
}

void rowCopy(LICE_pixel* dest, const LICE_pixel* src, int n)
{
#if defined(__SSE2__)
  if (!((reinterpret_cast<uintptr_t>(dest) | reinterpret_cast<uintptr_t>(src)) & 15)) {
    int i = 0;
    for (; i + 16 <= n; i += 16) {
      const auto* s = reinterpret_cast<const __m128i*>(src + i);
      auto* d = reinterpret_cast<__m128i*>(dest + i);
      const __m128i a = _mm_load_si128(s), b = _mm_load_si128(s + 1), c = _mm_load_si128(s + 2),
                    e = _mm_load_si128(s + 3);
      _mm_store_si128(d, a);
      _mm_store_si128(d + 1, b);
      _mm_store_si128(d + 2, c);
      _mm_store_si128(d + 3, e);
    }
    for (; i + 4 <= n; i += 4)
      _mm_store_si128(reinterpret_cast<__m128i*>(dest + i), _mm_load_si128(reinterpret_cast<const __m128i*>(src + i)));
    for (; i < n; ++i) dest[i] = src[i];
    return;
  }
#endif
  std::memcpy(dest, src, size_t(n) * 4);
}

}  // namespace lice
