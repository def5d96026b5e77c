// Text for what the view draws itself (menus, text entries, message boxes):
// one face found by fontconfig, DejaVu Sans when the desktop names none,
// rendered by FreeType into the raster library's bitmaps.
#pragma once

#include <string>

#include "Bitmap.h"

class ViewText {
 public:
  explicit ViewText(int pixelSize);
  ~ViewText();
  ViewText(const ViewText&) = delete;
  ViewText& operator=(const ViewText&) = delete;

  // False when no face could be loaded; the text then takes no room and
  // draws nothing.
  bool Ok() const { return mFace != nullptr; }
  int Width(const std::string& utf8) const;
  int Ascent() const { return mAscent; }
  int LineHeight() const { return mLineHeight; }
  // Draws a line whose baseline is at y, clipped to the bitmap.
  void Draw(LICE_IBitmap* bitmap, int x, int y, const std::string& utf8, LICE_pixel colour) const;

 private:
  struct FT_LibraryRec_* mLibrary = nullptr;
  struct FT_FaceRec_* mFace = nullptr;
  int mAscent = 0;
  int mLineHeight = 0;
};

// The code points of a UTF-8 text; a broken sequence gives U+FFFD.
std::u32string DecodeUtf8(const std::string& utf8);
