// The PNG images of the bundle, decoded as the raster library loads them;
// an image that decodes has the size its pixels fill.
#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "Png.h"
#include "lice.h"

namespace fuzz {

int pngImages(const uint8_t* data, size_t size) {
  LICE_IBitmap* bitmap = LICE_LoadPNGFromMemory(data, static_cast<int>(size));
  if (!bitmap) return 0;
  const int w = bitmap->getWidth(), h = bitmap->getHeight();
  FUZZ_CHECK(w > 0 && h > 0);
  const LICE_pixel* pixels = bitmap->getBits();
  FUZZ_CHECK(pixels != nullptr);
  // Every pixel of the last row can be read.
  unsigned sum = 0;
  const int span = bitmap->getRowSpan();
  for (int x = 0; x < w; ++x) sum += pixels[static_cast<size_t>(h - 1) * static_cast<size_t>(span) + static_cast<size_t>(x)];
  (void)sum;
  delete bitmap;
  return 0;
}

}  // namespace fuzz
