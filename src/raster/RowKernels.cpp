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
