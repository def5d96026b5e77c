#include "PngWrite.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace imagegen {
bool writePng(LICE_IBitmap* bm, const std::string& path, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!fp) {
    error = "cannot open " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    error = "libpng could not start";
    return false;
  }
  const int w = bm->getWidth(), h = bm->getHeight();
  // Memory order is A, R, G, B; the file wants R, G, B, A.
  std::vector<unsigned char> row(static_cast<size_t>(w) * 4);
  const LICE_Rows rows = LICE_GetRows(bm);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "libpng failed writing " + path;
    return false;
  }
  png_init_io(png, fp.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Rows that repeat the row above are the rule on a panel; the "up" filter
  // packs them as well as any and is the cheapest to undo when loading.
  png_set_filter(png, 0, PNG_FILTER_UP);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    const unsigned char* src = rows.row(y);
    for (int x = 0; x < w; ++x) {
      row[x * 4 + 0] = src[x * 4 + 1];
      row[x * 4 + 1] = src[x * 4 + 2];
      row[x * 4 + 2] = src[x * 4 + 3];
      row[x * 4 + 3] = src[x * 4 + 0];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(fp.get()) != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}
}  // namespace imagegen
