// A small Win32-style drawing interface over memory pixel buffers: drawing
// contexts, pens, brushes and fonts, selection, colours, and text drawn and
// measured through FreeType (fonts found by fontconfig) or through the fixed
// bitmap font "Tarnivex Fixed". Colours are 0xRRGGBB.
#pragma once

#include "SwellTypes.h"

struct TEXTMETRIC {
  int tmHeight, tmAscent, tmDescent, tmInternalLeading, tmAveCharWidth;
};

struct LOGFONT {
  int lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  char lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
      lfPitchAndFamily;
  char lfFaceName[32];
};

enum {
  DT_CALCRECT = 0x1,
  DT_VCENTER = 0x2,
  DT_CENTER = 0x4,
  DT_BOTTOM = 0x10,
  DT_RIGHT = 0x20,
  DT_SINGLELINE = 0x40,
  DT_NOPREFIX = 0x80,
  DT_NOCLIP = 0x100,
};
enum { TRANSPARENT = 0, OPAQUE = 1 };
enum { WHITE_PEN_STOCK = 1, BLACK_BRUSH_STOCK = 2 };
// The face name of the project's fixed bitmap font.
constexpr const char* kFixedFontName = "Tarnivex Fixed";

// Makes the backend's process-wide records now. An object whose destruction
// at exit releases contexts or fonts calls it in its constructor, so those
// records are torn down after it.
void SWELL_GdiInit();
// Has fontconfig find the file CreateFont would open for that face, weight
// and slant, and keeps the answer; safe on any thread.
void SWELL_PrepareFontLookup(const char* face, bool bold, bool italic);

HDC SWELL_CreateMemContext(HDC reference, int w, int h);
// Wraps a paint target; this system paints only into memory contexts, so
// the result is a context with no pixels of its own.
HDC SWELL_CreateGfxContext(void* target);
void SWELL_DeleteGfxContext(HDC ctx);
void* SWELL_GetCtxFrameBuffer(HDC ctx);
void* SWELL_GetCtxGC(HDC ctx);
int SWELL_GetCtxWidth(HDC ctx);
int SWELL_GetCtxHeight(HDC ctx);

void SetTextColor(HDC ctx, int color);
int GetTextColor(HDC ctx);
// The text colour of a context, false when none was set (a wrapping context starts without one).
bool SWELL_GetCtxTextColor(HDC ctx, int* color);
void SetBkColor(HDC ctx, int color);
void SetBkMode(HDC ctx, int mode);

HGDIOBJ CreatePen(int style, int width, int color);
HGDIOBJ CreatePenAlpha(int style, int width, int color, float alpha);
HBRUSH CreateSolidBrush(int color);
HBRUSH CreateSolidBrushAlpha(int color, float alpha);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, char italic, char underline,
                 char strikeout, char charset, char outPrecision, char clipPrecision, char quality,
                 char pitchAndFamily, const char* face);
HFONT CreateFontIndirect(const LOGFONT* lf);
HGDIOBJ GetStockObject(int which);
HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj);
void DeleteObject(HGDIOBJ obj);
HGDIOBJ SWELL_CloneGDIObject(HGDIOBJ obj);
// The face behind a font object, null for anything else.
const void* SWELL_GetFontObjectFace(HGDIOBJ obj);

// Draws or (DT_CALCRECT) measures UTF-8 text; returns the text height.
int SWELL_DrawText(HDC ctx, const char* text, int len, RECT* r, int flags);
int GetTextMetrics(HDC ctx, TEXTMETRIC* tm);

// Shapes, clips and window contexts.
void SWELL_FillRect(HDC ctx, const RECT* r, HBRUSH brush);
void SWELL_FillDialogBackground(HDC ctx, const RECT* r, int);
void SWELL_PushClipRegion(HDC ctx);
void SWELL_SetClipRegion(HDC ctx, const RECT* r);
void SWELL_PopClipRegion(HDC ctx);
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
void ReleaseDC(HWND hwnd, HDC ctx);
void Rectangle(HDC ctx, int l, int t, int r, int b);
void MoveToEx(HDC ctx, int x, int y, POINT* old);
void SWELL_LineTo(HDC ctx, int x, int y);
void SWELL_SetPixel(HDC ctx, int x, int y, int color);
int GetSysColor(int index);
void BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int mode);
void StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, int mode);
int GetObject(HGDIOBJ obj, int size, void* out);
// Filled with the brush and outlined with the pen, whichever are real.
void SWELL_Polygon(HDC ctx, const POINT* pts, int n);
void RoundRect(HDC ctx, int l, int t, int r, int b, int xr, int yr);
void Ellipse(HDC ctx, int l, int t, int r, int b);
void PolyPolyline(HDC ctx, const POINT* pts, const unsigned int* counts, int n);
void PolyBezierTo(HDC ctx, const POINT* pts, int n);

// Images: 32-bit pixels, bytes A, R, G, B, top row first.
struct ICONINFO {
  int fIcon;
  int xHotspot, yHotspot;
  HBITMAP hbmMask, hbmColor;
};
// An image of w x h pixels from rows of w * 4 bytes.
HBITMAP CreateBitmap(int w, int h, int planes, int bitsPerPixel, const unsigned char* bits);
HICON CreateIconIndirect(const ICONINFO* info);
// The pixels of an image object, or null.
const unsigned* GetNSImageFromHICON(HGDIOBJ obj);
// An image from a PNG file (a name with "/"); this platform has no named
// application images. With keyMagenta, pure magenta pixels become clear.
HBITMAP LoadNamedImage(const char* name, bool keyMagenta);
// Draws the image scaled into the rectangle over what is there.
void DrawImageInRect(HDC ctx, HGDIOBJ image, const RECT* r);

struct HIMAGELIST__;
typedef HIMAGELIST__* HIMAGELIST;
HIMAGELIST ImageList_CreateEx();
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
// The icon object at an index (not a copy), null for an emptied slot or an index outside the list.
HICON SWELL_ImageListEntry(HIMAGELIST list, int index);
bool ImageList_Remove(HIMAGELIST list, int index);
void ImageList_Destroy(HIMAGELIST list);

// How many released records wait in the pools (for tests).
int SWELL_PooledContextCount();
int SWELL_PooledObjectCount();
