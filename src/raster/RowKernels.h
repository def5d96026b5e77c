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
// Fills n pixels with one value.
void rowFill(LICE_pixel* dest, int n, LICE_pixel c);
// Copies n pixels between rows that do not overlap.
void rowCopy(LICE_pixel* dest, const LICE_pixel* src, int n);

}  // namespace lice
