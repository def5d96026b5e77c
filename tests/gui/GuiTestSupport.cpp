#include "GuiTestSupport.h"

#include <png.h>

#include <cstdio>

namespace guitest {

bool WriteTestPng(const std::string& path, LICE_IBitmap* bm) {
  FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(fp);
    return false;
  }
  png_init_io(png, fp);
  const int w = bm->getWidth(), h = bm->getHeight();
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<unsigned char> row(size_t(w) * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const LICE_pixel p = LICE_GetPixel(bm, x, y);
      const unsigned char rgba[4] = {static_cast<unsigned char>(LICE_GETR(p)), static_cast<unsigned char>(LICE_GETG(p)),
                                     static_cast<unsigned char>(LICE_GETB(p)), 255};
      std::copy(rgba, rgba + 4, row.begin() + x * 4);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(fp) == 0;
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
