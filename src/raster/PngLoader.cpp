#include <dlfcn.h>
#include <png.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Png.h"

namespace {

struct MemCursor {
  const unsigned char* data;
  size_t left;
};

// A read past the end is an error like a short file read, so truncated data
// never decodes as if it were complete.
void staticPngReadFunc(png_structp png, png_bytep buf, png_size_t count)
{
  auto* cursor = static_cast<MemCursor*>(png_get_io_ptr(png));
  if (count > cursor->left) png_error(png, "PNG data ends early");
  std::memcpy(buf, cursor->data, count);
  cursor->data += count;
  cursor->left -= count;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Everything a decode owns, released however the decode ends.
struct PngDecode {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::unique_ptr<FILE, FileCloser> file;
  MemCursor cursor{nullptr, 0};
  LICE_IBitmap* given = nullptr;
  std::unique_ptr<LICE_MemBitmap> created;
  std::vector<png_bytep> rows;

  ~PngDecode()
  {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

// libpng reports errors by longjmp back into this frame, so it holds nothing
// that needs a destructor; all state lives in the PngDecode.
bool decode(PngDecode& st)
{
  if (setjmp(png_jmpbuf(st.png))) return false;
  if (st.file)
    png_init_io(st.png, st.file.get());
  else
    png_set_read_fn(st.png, &st.cursor, staticPngReadFunc);
  // The chunks' CRCs already cover every compressed byte; zlib's own sum
  // over the inflated pixels would only check them a second time.
  png_set_option(st.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);

  png_read_info(st.png, st.info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(st.png, st.info, &width, &height, &depth, &colorType, &interlace, &compression, &filter);

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(st.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(st.png);
  if (png_get_valid(st.png, st.info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(st.png);
    colorType |= PNG_COLOR_MASK_ALPHA;
  }
  if (depth == 16) png_set_strip_16(st.png);
  if (depth < 8) png_set_packing(st.png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(st.png);
  if (colorType & PNG_COLOR_MASK_ALPHA)
    png_set_swap_alpha(st.png);
  else
    png_set_filler(st.png, 0xFF, PNG_FILLER_BEFORE);
  png_set_interlace_handling(st.png);
  png_read_update_info(st.png, st.info);
  // Rows must come out as exactly four bytes a pixel, or they would not fit.
  if (png_get_rowbytes(st.png, st.info) != size_t(width) * 4) return false;

  const int w = int(width), h = int(height);
  LICE_IBitmap* bm = st.given;
  if (bm) {
    bm->resize(w, h);
  } else {
    st.created = std::make_unique<LICE_MemBitmap>(w, h, 4);
    bm = st.created.get();
  }
  if (bm->getWidth() != w || bm->getHeight() != h || !bm->getBits()) return false;

  st.rows.resize(size_t(h));
  const LICE_Rows rows = LICE_GetRows(bm);
  for (int i = 0; i < h; ++i) st.rows[size_t(i)] = rows.row(i);
  png_read_image(st.png, st.rows.data());
  // Reading on to the end chunk makes a file cut anywhere fail, not only one
  // cut inside the image data.
  png_read_end(st.png, nullptr);
  return true;
}

LICE_IBitmap* run(PngDecode& st)
{
  st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!st.png) return nullptr;
  st.info = png_create_info_struct(st.png);
  if (!st.info) return nullptr;
  try {
    if (!decode(st)) return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (st.created) return st.created.release();
  return st.given;
}

std::string& resourceFolderOverride()
{
  static std::string folder;
  return folder;
}

std::string defaultResourceFolder()
{
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&LICE_LoadPNGFromNamedResource), &info) || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  return path + "/resources/";
}

}  // namespace

LICE_IBitmap* LICE_LoadPNG(const char* filename, LICE_IBitmap* bmp)
{
  if (!filename) return nullptr;
  PngDecode st;
  st.file.reset(std::fopen(filename, "rb"));
  if (!st.file) return nullptr;
  st.given = bmp;
  return run(st);
}

LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, int len, LICE_IBitmap* bmp)
{
  if (!data || len < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8)) return nullptr;
  PngDecode st;
  st.cursor = {static_cast<const unsigned char*>(data), size_t(len)};
  st.given = bmp;
  return run(st);
}

void LICE_SetNamedResourceFolder(const char* folder)
{
  resourceFolderOverride() = folder ? folder : "";
}

LICE_IBitmap* LICE_LoadPNGFromNamedResource(const char* name, LICE_IBitmap* bmp)
{
  if (!name || std::strlen(name) > 400) return nullptr;
  std::string folder = resourceFolderOverride();
  if (folder.empty()) folder = defaultResourceFolder();
  if (folder.empty()) return nullptr;
  if (folder.back() != '/') folder += '/';
  return LICE_LoadPNG((folder + name).c_str(), bmp);
}

LICE_IBitmap* LICE_LoadPNGFromResource(void*, int, LICE_IBitmap*)
{
  return nullptr;
}

LICE_IBitmap* LICE_PNGLoader::loadfunc(const char* filename, bool checkFileName, LICE_IBitmap* bmpbase)
{
  if (!filename) return nullptr;
  if (checkFileName) {
    const char* tail = nullptr;
    for (const char* p = filename; *p; ++p)
      if (*p == '.' || *p == '/' || *p == '\\') tail = p;
    if (!tail || strcasecmp(tail, ".png") != 0) return nullptr;
  }
  return LICE_LoadPNG(filename, bmpbase);
}

const char* LICE_PNGLoader::get_extlist()
{
  return "PNG files (*.PNG)\0*.PNG\0";
}

_LICE_ImageLoader_rec* LICE_ImageLoader_list = nullptr;

namespace {

_LICE_ImageLoader_rec LICE_pngldr{&LICE_PNGLoader::loadfunc, &LICE_PNGLoader::get_extlist, nullptr};

// Registers the PNG loader at start-up, before anything can look for loaders.
const bool pngLoaderRegistered = [] {
  LICE_pngldr._next = LICE_ImageLoader_list;
  LICE_ImageLoader_list = &LICE_pngldr;
  return true;
}();

}  // namespace
