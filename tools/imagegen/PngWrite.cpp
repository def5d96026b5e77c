#include "PngWrite.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace imagegen {
namespace {
bool allOpaque(LICE_IBitmap* bm) {
  const LICE_Rows rows = LICE_GetRows(bm);
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x)
      if (rows.at(x, y)[0] != 0xFF) return false;
  return true;
}

// The libpng calls; a libpng error comes back through longjmp into encode,
// which keeps no variable of its own alive across it. Nothing here needs
// destroying, since longjmp skips destructors; the row buffer is the caller's.
void emit(png_structp png, png_infop info, FILE* fp, LICE_IBitmap* bm, bool opaque, unsigned char* row) {
  const int w = bm->getWidth(), h = bm->getHeight(), channels = opaque ? 3 : 4;
  const LICE_Rows rows = LICE_GetRows(bm);
  png_init_io(png, fp);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Unfiltered rows pack about as small (deflate finds the repeats itself)
  // and load twice as fast as "up" or "sub": nothing to undo per byte.
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_write_info(png, info);
  // Memory order is A, R, G, B; the file wants R, G, B[, A].
  for (int y = 0; y < h; ++y) {
    const unsigned char* src = rows.row(y);
    for (int x = 0; x < w; ++x) {
      unsigned char* out = row + static_cast<size_t>(x * channels);
      out[0] = src[x * 4 + 1];
      out[1] = src[x * 4 + 2];
      out[2] = src[x * 4 + 3];
      if (!opaque) out[3] = src[x * 4 + 0];
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
}

bool encode(png_structp png, png_infop info, FILE* fp, LICE_IBitmap* bm, bool opaque, unsigned char* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  emit(png, info, fp, bm, opaque, row);
  return true;
}
}  // namespace

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
  // An image with no transparent pixel is written without alpha: a quarter
  // less to inflate when it is loaded.
  std::vector<unsigned char> row(static_cast<size_t>(bm->getWidth()) * 4);
  const bool ok = encode(png, info, fp.get(), bm, allOpaque(bm), row.data());
  png_destroy_write_struct(&png, &info);
  if (!ok) {
    error = "libpng failed writing " + path;
    return false;
  }
  if (std::fflush(fp.get()) != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}
}  // namespace imagegen
