#include "GuiTestSupport.h"

#include "PngWrite.h"

namespace guitest {

bool WriteTestPng(const std::string& path, LICE_IBitmap* bm) {
  const int w = bm->getWidth(), h = bm->getHeight();
  LICE_MemBitmap opaque(w, h);
  const LICE_pixel solid = LICE_RGBA(0, 0, 0, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) LICE_PutPixel(&opaque, x, y, LICE_GetPixel(bm, x, y) | solid, 1.0f, 0);
  std::string error;
  return imagegen::writePng(&opaque, path, error);
}

std::vector<std::string> Art(LICE_IBitmap* bm, int x0, int y0, int w, int h) {
  std::vector<std::string> rows;
  for (int y = y0; y < y0 + h; ++y) {
    std::string row;
    for (int x = x0; x < x0 + w; ++x) row += LICE_GETR(LICE_GetPixel(bm, x, y)) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

}  // namespace guitest
