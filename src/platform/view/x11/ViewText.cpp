#include "ViewText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "Fill.h"

namespace {
std::string FontFile() {
  std::string path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
  if (!pattern) return path;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
      path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}
}  // namespace

std::u32string DecodeUtf8(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    bool ok = extra >= 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= utf8.size()) {
        ok = false;
        break;
      }
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (!ok) {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

ViewText::ViewText(int pixelSize) {
  const std::string file = FontFile();
  if (file.empty() || FT_Init_FreeType(&mLibrary) != 0) {
    mLibrary = nullptr;
    return;
  }
  if (FT_New_Face(mLibrary, file.c_str(), 0, &mFace) != 0 || FT_Set_Pixel_Sizes(mFace, 0, pixelSize) != 0) {
    if (mFace) FT_Done_Face(mFace);
    mFace = nullptr;
    return;
  }
  mAscent = static_cast<int>(mFace->size->metrics.ascender >> 6);
  mLineHeight = static_cast<int>(mFace->size->metrics.height >> 6);
}

ViewText::~ViewText() {
  if (mFace) FT_Done_Face(mFace);
  if (mLibrary) FT_Done_FreeType(mLibrary);
}

int ViewText::Width(const std::string& utf8) const {
  if (!mFace) return 0;
  long width = 0;
  for (char32_t cp : DecodeUtf8(utf8))
    if (FT_Load_Char(mFace, cp, FT_LOAD_DEFAULT) == 0) width += mFace->glyph->advance.x;
  return static_cast<int>(width >> 6);
}

void ViewText::Draw(LICE_IBitmap* bitmap, int x, int y, const std::string& utf8, LICE_pixel colour) const {
  if (!mFace || !bitmap) return;
  long pen = static_cast<long>(x) << 6;
  for (char32_t cp : DecodeUtf8(utf8)) {
    if (FT_Load_Char(mFace, cp, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot glyph = mFace->glyph;
    const FT_Bitmap& mask = glyph->bitmap;
    if (mask.pixel_mode == FT_PIXEL_MODE_GRAY && mask.width > 0 && mask.rows > 0 && mask.pitch > 0)
      LICE_DrawGlyphEx(bitmap, static_cast<int>(pen >> 6) + glyph->bitmap_left, y - glyph->bitmap_top, colour,
                       mask.buffer, static_cast<int>(mask.width), mask.pitch, static_cast<int>(mask.rows), 1.0f, 0);
    pen += glyph->advance.x;
  }
}
