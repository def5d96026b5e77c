#pragma once
// Hot row loops of the blits, written over whole rows so they can work on
// several pixels per instruction. Each gives exactly the per-pixel result of
// its combiner.

#include <cstdint>

#include "Pixel.h"

namespace lice {

// The instruction sets the row kernels may use. The best one the processor
// has is chosen at start; every path gives the same pixels.
enum class KernelPath { kPlain, kSse2, kAvx2 };
KernelPath kernelPath();
// Chooses a path, limited to what the processor has; returns the one taken.
KernelPath setKernelPath(KernelPath path);

// Source-alpha copy at full opacity (_LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp).
void rowSourceAlphaOver(LICE_pixel* dest, const LICE_pixel* src, int w);
// Copy at weight alpha, 0 < alpha < 256 (_LICE_CombinePixelsCopyNoClamp).
void rowCopyBlend(LICE_pixel* dest, const LICE_pixel* src, int w, int alpha);
// Bilinear samples stored outright; every tap of the n pixels lies inside the rows.
void rowBilinear(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, int n, int64_t x,
                 int64_t dx, int fy);
// Fills n pixels with one value.
void rowFill(LICE_pixel* dest, int n, LICE_pixel c);
// Copies n pixels between rows that do not overlap.
void rowCopy(LICE_pixel* dest, const LICE_pixel* src, int n);

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
