#include "RowKernels.h"

#include <cstring>

#include "Combine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lice {

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

}  // namespace

void rowSourceAlphaOver(LICE_pixel* dest, const LICE_pixel* src, int w)
{
  int i = 0;
#if defined(__SSE2__)
  const __m128i alphaMask = _mm_set1_epi32(0xFF);
  for (; i + 4 <= w; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i alpha = _mm_and_si128(s, alphaMask);
    const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaMask));
    if (opaque == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), s);
      continue;
    }
    const int clear = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_setzero_si128()));
    if (clear == 0xFFFF) continue;
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    const __m128i clearLanes = clear ? _mm_cmpeq_epi32(alpha, _mm_setzero_si128()) : _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), sourceAlphaOver4(d, s, alphaMask, clearLanes));
  }
#endif
  sourceAlphaOverScalar(dest + i, src + i, w - i);
}

void rowCopyBlend(LICE_pixel* dest, const LICE_pixel* src, int w, int alpha)
{
  int i = 0;
#if defined(__SSE2__)
  if (alpha > 0 && alpha < 256) {
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

void rowBilinear(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, int n, int64_t x,
                 int64_t dx, int fy)
{
  int i = 0;
#if defined(__SSE2__)
  // Each weight is split into its high and low bytes so the products fit the
  // 16-bit multiply-add; the two partial sums are joined exactly in 32 bits.
  const __m128i zero = _mm_setzero_si128();
  for (; i < n; ++i, x += dx) {
    const int64_t sx = x >> 16;
    const unsigned fx = unsigned(x & 0xffff);
    const unsigned w11 = (fx * unsigned(fy)) >> 16;
    const unsigned w01 = fx - w11, w10 = unsigned(fy) - w11, w00 = 65536 - unsigned(fy) - w01;
    __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row0 + sx * 4));
    __m128i bot = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row1 + sx * 4));
    top = _mm_unpacklo_epi8(_mm_unpacklo_epi8(top, _mm_srli_si128(top, 4)), zero);
    bot = _mm_unpacklo_epi8(_mm_unpacklo_epi8(bot, _mm_srli_si128(bot, 4)), zero);
    const __m128i topHi = _mm_set1_epi32(int((w01 >> 8) << 16 | (w00 >> 8)));
    const __m128i topLo = _mm_set1_epi32(int((w01 & 255) << 16 | (w00 & 255)));
    const __m128i botHi = _mm_set1_epi32(int((w11 >> 8) << 16 | (w10 >> 8)));
    const __m128i botLo = _mm_set1_epi32(int((w11 & 255) << 16 | (w10 & 255)));
    const __m128i sumHi = _mm_add_epi32(_mm_madd_epi16(top, topHi), _mm_madd_epi16(bot, botHi));
    const __m128i sumLo = _mm_add_epi32(_mm_madd_epi16(top, topLo), _mm_madd_epi16(bot, botLo));
    __m128i v = _mm_srli_epi32(_mm_add_epi32(_mm_slli_epi32(sumHi, 8), sumLo), 16);
    v = _mm_packs_epi32(v, v);
    dest[i] = LICE_pixel(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
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
