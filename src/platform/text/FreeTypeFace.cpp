// Faces that fontconfig finds, rendered by FreeType into 8-bit coverage.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cctype>
#include <cmath>
#include <cstring>

#include "FontFace.h"

namespace {
// One FreeType library for the process; faces are made and used under its lock.
struct FontLibrary {
  FontLibrary() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
  ~FontLibrary() {
    if (library) FT_Done_FreeType(library);
  }
  std::mutex mutex;
  FT_Library library = nullptr;
};
FontLibrary& TheLibrary() {
  static FontLibrary library;
  return library;
}
std::mutex& LibraryMutex() { return TheLibrary().mutex; }
FT_Library Library() { return TheLibrary().library; }

bool EndsWith(std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (s.size() < n || s.compare(s.size() - n, n, suffix) != 0) return false;
  s.erase(s.size() - n);
  return true;
}

bool SameFamily(const char* a, const std::string& b) {
  if (std::strlen(a) != b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The file of family with the weight and slant asked; empty when fontconfig
// only offers another family.
std::string MatchFamily(const std::string& family, bool bold, bool italic, bool exact) {
  std::string path;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return path;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* file = nullptr;
    FcChar8* found = nullptr;
    const bool familyOk = !exact || (FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch && found &&
                                     SameFamily(reinterpret_cast<const char*>(found), family));
    if (familyOk && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
      path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}

class FreeTypeFace : public FontFace {
 public:
  FreeTypeFace(FT_Face face, int pixelSize) : mFace(face) {
    FT_Set_Pixel_Sizes(mFace, 0, FT_UInt(pixelSize));
    const FT_Size_Metrics& m = mFace->size->metrics;
    mAscent = float(m.ascender) / 64.0f;
    mDescent = float(-m.descender) / 64.0f;
    mLeading = std::max(0.0f, float(m.height) / 64.0f - mAscent - mDescent);
  }
  ~FreeTypeFace() override {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    FT_Done_Face(mFace);
  }

 protected:
  Glyph Render(char32_t code) override {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    Glyph g;
    if (FT_Load_Char(mFace, code, FT_LOAD_RENDER) != 0) return g;
    const FT_GlyphSlot slot = mFace->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.advance = float(slot->advance.x) / 64.0f;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || !bm.buffer) return g;
    g.width = int(bm.width);
    g.height = int(bm.rows);
    g.coverage.resize(size_t(g.width) * size_t(g.height));
    for (int y = 0; y < g.height; ++y)
      std::memcpy(&g.coverage[size_t(y * g.width)], bm.buffer + ptrdiff_t(y) * bm.pitch, size_t(g.width));
    return g;
  }

 private:
  FT_Face mFace;
};
}  // namespace

void FontLibraryInit() { TheLibrary(); }

std::string ResolveFontFile(const std::string& name) {
  if (name.rfind("Tarnivex Fixed", 0) == 0) return "Tarnivex Fixed";
  std::string family = name;
  bool italic = EndsWith(family, " Italic");
  const bool bold = EndsWith(family, " Bold");
  if (!italic) italic = EndsWith(family, " Italic");
  std::string path = family.empty() ? std::string() : MatchFamily(family, bold, italic, true);
  if (path.empty()) path = MatchFamily("DejaVu Sans Mono", bold, italic, false);
  return path;
}

std::shared_ptr<FontFace> OpenFontFace(const std::string& name, int pixelSize) {
  return OpenFontFile(ResolveFontFile(name), pixelSize);
}

std::shared_ptr<FontFace> OpenFontFile(const std::string& file, int pixelSize) {
  if (file == "Tarnivex Fixed") return OpenFixedFont();
  if (file.empty()) return nullptr;
  std::lock_guard<std::mutex> lock(LibraryMutex());
  FT_Library library = Library();
  FT_Face face = nullptr;
  if (!library || FT_New_Face(library, file.c_str(), 0, &face) != 0) return nullptr;
  return std::make_shared<FreeTypeFace>(face, pixelSize);
}
