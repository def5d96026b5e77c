#pragma once
// Bilinear rows of the scaled blit. Where each destination column samples the
// source is worked out once per blit; a row then only fetches and weighs its
// taps.

#include <algorithm>
#include <cstdint>

#include "Pixel.h"

namespace lice {

// A run of up to kMax neighbouring destination columns whose taps all lie
// inside the source: column i takes source columns sx[i] and sx[i] + 1 at the
// 16-bit fraction frac[i]. The wide paths cut the run into groups of eight,
// the last ending at the run's end and overlapping the one before; each group
// reads a window of source pixels that holds all its taps, when the run allows
// windows of `window` pixels.
struct BilinearColumns {
  // Whole rows of the editor's largest frame: rows cut into strips lose
  // far more to the scattered memory walk than the table costs on the stack.
  static constexpr int kMax = 2048;
  static constexpr int kGroups = kMax / 8;

  int n = 0;
  int window = 0;                       // 8 or 16; 0: each tap fetched alone
  alignas(32) int32_t sx[kMax];
  alignas(32) uint32_t frac[kMax];      // the fraction in both halves, as the channel pairs want it
  alignas(32) int32_t idx[kGroups][8];  // sx - base of a group's columns
  int32_t base[kGroups];                // a group's first window pixel

  int groups() const { return (n + 7) / 8; }
  int groupStart(int g) const { return std::min(g * 8, n - 8); }

  // count columns from the 16.16 coordinate x stepping by dx; every tap must
  // lie below `readable`, the pixels that every source row may be read at.
  void plan(int64_t x, int64_t dx, int count, int readable);
};

// One destination row of the run, stored outright. Row 1 is not read when fy
// is 0.
void rowBilinear(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, const BilinearColumns& c,
                 int fy);

// Interpolation between two pixels by a 16-bit fraction f toward b.
inline void lerp2(unsigned char* out, const unsigned char* a, const unsigned char* b, int f)
{
  for (int c = 0; c < 4; ++c) out[c] = (unsigned char)((b[c] * f + a[c] * (65536 - f)) >> 16);
}

// Bilinear between p00 (row 0) and p10 (row 1) and their right neighbours.
inline void lerp4(unsigned char* out, const unsigned char* p00, const unsigned char* p10, int fx, int fy)
{
  const int w11 = int((unsigned(fx) * unsigned(fy)) >> 16);
  const int w01 = fx - w11, w10 = fy - w11, w00 = 65536 - fy - w01;
  for (int c = 0; c < 4; ++c)
    out[c] = (unsigned char)((p00[c] * w00 + p00[c + 4] * w01 + p10[c] * w10 + p10[c + 4] * w11) >> 16);
}

}  // namespace lice
