#include "RowKernels.h"

#include "Combine.h"

namespace lice {

void rowSourceAlphaOver(LICE_pixel* dest, const LICE_pixel* src, int w)
{
  for (int i = 0; i < w; ++i) {
    const auto* s = reinterpret_cast<const unsigned char*>(src + i);
    _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(reinterpret_cast<unsigned char*>(dest + i),
                                                                    s[LICE_PIXEL_R], s[LICE_PIXEL_G],
                                                                    s[LICE_PIXEL_B], s[LICE_PIXEL_A], 256);
  }
}

void rowCopyBlend(LICE_pixel* dest, const LICE_pixel* src, int w, int alpha)
{
  for (int i = 0; i < w; ++i) {
    const auto* s = reinterpret_cast<const unsigned char*>(src + i);
    _LICE_CombinePixelsCopyNoClamp::doPix(reinterpret_cast<unsigned char*>(dest + i), s[LICE_PIXEL_R],
                                          s[LICE_PIXEL_G], s[LICE_PIXEL_B], s[LICE_PIXEL_A], alpha);
  }
}

void rowBilinear(LICE_pixel* dest, const unsigned char* row0, const unsigned char* row1, int n, int64_t x,
                 int64_t dx, int fy)
{
  for (int i = 0; i < n; ++i, x += dx) {
    const int64_t sx = x >> 16;
    lerp4(reinterpret_cast<unsigned char*>(dest + i), row0 + sx * 4, row1 + sx * 4, int(x & 0xffff), fy);
  }
}

void rowFill(LICE_pixel* dest, int n, LICE_pixel c)
{
  for (int i = 0; i < n; ++i) dest[i] = c;
}

}  // namespace lice
