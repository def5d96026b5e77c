// A font at one pixel size: line metrics and glyph coverage. Two kinds: a
// FreeType face that fontconfig found, and the fixed bitmap font.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class FontFace {
 public:
  struct Glyph {
    int width = 0, height = 0;
    int left = 0;  // columns from the pen to the first coverage column
    int top = 0;   // rows from the first coverage row down to the baseline
    float advance = 0.0f;
    std::vector<unsigned char> coverage;  // height rows of width bytes, 0..255
  };

  virtual ~FontFace() = default;
  float Ascent() const { return mAscent; }
  float Descent() const { return mDescent; }
  float Leading() const { return mLeading; }
  // Rendered once per code and kept.
  const Glyph& GetGlyph(char32_t code);

 protected:
  virtual Glyph Render(char32_t code) = 0;
  float mAscent = 0.0f, mDescent = 0.0f, mLeading = 0.0f;

 private:
  std::mutex mMutex;
  std::map<char32_t, Glyph> mGlyphs;
};

// The face for a name as the font calls give it (" Bold" and " Italic"
// appended as wanted). The fixed font's name gives the fixed font; other
// names go through fontconfig, falling back to DejaVu Sans Mono. Null when
// no face can be loaded.
std::shared_ptr<FontFace> OpenFontFace(const std::string& name, int pixelSize);
std::shared_ptr<FontFace> OpenFixedFont();
// The file fontconfig chose for a name, after the fallback rule; the fixed
// font's own name for the fixed font.
std::string ResolveFontFile(const std::string& name);
// Makes the font library that faces need, so it outlives whatever is
// made after it.
void FontLibraryInit();
std::shared_ptr<FontFace> OpenFontFile(const std::string& file, int pixelSize);
