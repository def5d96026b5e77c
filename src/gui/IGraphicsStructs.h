// The small records controls and the graphics context pass around:
// rectangles, colours, text styles, blends, mouse modifiers and bitmap handles.
#pragma once

#include <algorithm>
#include <cstring>

class LICE_IBitmap;
class LICE_IFont;

struct IColor {
  int A = 255, R = 0, G = 0, B = 0;
  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor&) const = default;
};

const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
const IColor COLOR_BLACK(255, 0, 0, 0);
const IColor COLOR_GRAY(255, 127, 127, 127);
const IColor COLOR_WHITE(255, 255, 255, 255);
const IColor COLOR_RED(255, 255, 0, 0);
const IColor COLOR_GREEN(255, 0, 255, 0);
const IColor COLOR_BLUE(255, 0, 0, 255);
const IColor COLOR_YELLOW(255, 255, 255, 0);
const IColor COLOR_ORANGE(255, 255, 127, 0);
const IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
const IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
const IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

// Right and bottom exclusive.
struct IRECT {
  int L = 0, T = 0, R = 0, B = 0;
  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}
  int W() const { return R - L; }
  int H() const { return B - T; }
  // All four values zero.
  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  void Clear() { *this = IRECT(); }
  bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // The smallest rectangle holding both; an all-zero side takes the other.
  IRECT Union(const IRECT& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return {std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B)};
  }
  // Empty (all zero) when either is empty or they do not overlap.
  IRECT Intersect(const IRECT& o) const {
    if (Empty() || o.Empty()) return {};
    IRECT r(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
    return r.R > r.L && r.B > r.T ? r : IRECT();
  }
  bool operator==(const IRECT&) const = default;
};

struct IChannelBlend {
  enum EBlendMethod : int { kBlendNone = 0, kBlendClobber = 1, kBlendAdd = 2, kBlendColorDodge = 3 };
  EBlendMethod mMethod = kBlendNone;
  float mWeight = 1.0f;
  IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

struct IText {
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum EQuality { kQualityDefault = 0, kQualityNonAntiAliased = 1, kQualityAntiAliased = 2,
                  kQualityClearType = 3 };

  char mFont[32] = "Consolas";
  int mSize = 12;
  IColor mColor = DEFAULT_TEXT_COLOR;
  IColor mTextEntryBGColor = DEFAULT_TEXT_ENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXT_ENTRY_FGCOLOR;
  int mStyle = kStyleNormal;
  int mAlign = kAlignCenter;
  int mVAlign = 2;  // 0 top, 1 bottom, other centred
  int mOrientation = 0;
  int mQuality = kQualityClearType;
  LICE_IFont* mCached = nullptr;  // the font cache's; not owned

  IText() = default;
  IText(int size, const IColor* color = nullptr, const char* font = nullptr, int style = kStyleNormal,
        int align = kAlignCenter, int orientation = 0, int quality = kQualityClearType)
      : mSize(size), mStyle(style), mAlign(align), mOrientation(orientation), mQuality(quality) {
    if (color) mColor = *color;
    SetFont(font);
  }
  void SetFont(const char* font) {
    if (!font || !*font) return;
    std::strncpy(mFont, font, sizeof(mFont) - 1);
    mFont[sizeof(mFont) - 1] = 0;
  }
};

// Left, right and Command-or-right buttons, Shift, Control, Alt.
struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;
  IMouseMod() = default;
  IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

enum EDirection { kVertical = 0, kHorizontal = 1 };

// A handle on a cached raster bitmap; the cache owns the pixels. A handle of
// an image not decoded yet has its size and the cache id whose pixels it
// draws once the graphics context has decoded them (IGraphics::BitmapPixels).
struct IBitmap {
  LICE_IBitmap* mData = nullptr;
  int W = 0, H = 0, N = 1;
  bool mFramesAreHorizontal = false;
  int mId = -1;  // the image's cache id; -1 for a bitmap made at run time
  bool mOpaque = false;  // every pixel of the file is opaque (its header says so)
  IBitmap() = default;
  IBitmap(LICE_IBitmap* data, int w, int h, int n = 1, bool horizontal = false)
      : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(horizontal) {}
  // The height of one frame, frames stacked vertically.
  int frameHeight() const { return N > 0 ? H / N : H; }
};
