// Rectangles, clips, lines, pixels and blits on memory contexts, and the
// window contexts of views that are painting.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "GdiRecords.h"

namespace {
struct Box {
  int l, t, r, b;
};

Box ClipOf(HDC ctx) {
  return {std::max(0, ctx->clip.left), std::max(0, ctx->clip.top), std::min(ctx->width, ctx->clip.right),
          std::min(ctx->height, ctx->clip.bottom)};
}

void Fill(HDC ctx, int x, int y, int w, int h, int color, float alpha) {
  if (!ctx->pixels) return;
  const Box c = ClipOf(ctx);
  const int l = std::max(x, c.l), t = std::max(y, c.t), r = std::min(x + w, c.r), b = std::min(y + h, c.b);
  const int a = std::clamp(int(alpha * 256.0f), 0, 256);
  const int cr = (color >> 16) & 0xFF, cg = (color >> 8) & 0xFF, cb = color & 0xFF;
  for (int yy = t; yy < b; ++yy)
    for (int xx = l; xx < r; ++xx) {
      unsigned char* p = ctx->pixels + (ptrdiff_t(yy) * ctx->width + xx) * 4;
      p[1] = static_cast<unsigned char>(p[1] + (((cr - p[1]) * a) >> 8));
      p[2] = static_cast<unsigned char>(p[2] + (((cg - p[2]) * a) >> 8));
      p[3] = static_cast<unsigned char>(p[3] + (((cb - p[3]) * a) >> 8));
    }
}

bool PenOk(HDC ctx) { return ValidObject(ctx->pen, HGDIOBJ__::kPen) && ctx->pen->width >= 0; }
bool BrushOk(HDC ctx) { return ValidObject(ctx->brush, HGDIOBJ__::kBrush) && ctx->brush->width >= 0; }

// A line of square dots the pen's width wide.
void Stroke(HDC ctx, float x1, float y1, float x2, float y2) {
  const HGDIOBJ__* pen = ctx->pen;
  const int w = std::max(1, pen->width);
  const float len = std::max(std::fabs(x2 - x1), std::fabs(y2 - y1));
  const int steps = std::max(1, int(std::ceil(len)));
  for (int i = 0; i <= steps; ++i) {
    const float t = float(i) / float(steps);
    Fill(ctx, int(std::floor(x1 + (x2 - x1) * t)) - w / 2, int(std::floor(y1 + (y2 - y1) * t)) - w / 2, w, w,
         pen->color, pen->alpha);
  }
}
}  // namespace

void SWELL_FillRect(HDC ctx, const RECT* r, HBRUSH brush) {
  if (!ValidContext(ctx) || !r || !ValidObject(brush, HGDIOBJ__::kBrush) || brush->width < 0) return;
  Fill(ctx, r->left, r->top, r->right - r->left, r->bottom - r->top, brush->color, brush->alpha);
}

void SWELL_FillDialogBackground(HDC ctx, const RECT* r, int) {
  if (!ValidContext(ctx) || !r) return;
  Fill(ctx, r->left, r->top, r->right - r->left, r->bottom - r->top, GetSysColor(1), 1.0f);
}

void SWELL_PushClipRegion(HDC ctx) {
  if (ValidContext(ctx)) ctx->clipStack.push_back(ctx->clip);
}

void SWELL_SetClipRegion(HDC ctx, const RECT* r) {
  if (!ValidContext(ctx) || !r) return;
  ctx->clip = {std::max(ctx->clip.left, r->left), std::max(ctx->clip.top, r->top),
               std::min(ctx->clip.right, r->right), std::min(ctx->clip.bottom, r->bottom)};
}

void SWELL_PopClipRegion(HDC ctx) {
  if (!ValidContext(ctx) || ctx->clipStack.empty()) return;
  ctx->clip = ctx->clipStack.back();
  ctx->clipStack.pop_back();
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (hwnd->isWindow()) {
    PAINTSTRUCT ps{};
    if (hwnd->getSwellPaintInfo(&ps) && ValidContext(ps.hdc)) {
      SWELL_PushClipRegion(ps.hdc);
      return ps.hdc;
    }
    hwnd = hwnd->contentViewHandle();
    if (!hwnd) return nullptr;
  }
  if (!hwnd->isView()) return nullptr;
  PAINTSTRUCT ps{};
  if (hwnd->getSwellPaintInfo(&ps) && ValidContext(ps.hdc)) {
    SWELL_PushClipRegion(ps.hdc);
    return ps.hdc;
  }
  // A view that is not painting has nothing to draw into here.
  return nullptr;
}

HDC GetWindowDC(HWND hwnd) { return GetDC(hwnd); }

void ReleaseDC(HWND, HDC ctx) { SWELL_PopClipRegion(ctx); }

void Rectangle(HDC ctx, int l, int t, int r, int b) {
  if (!ValidContext(ctx)) return;
  if (BrushOk(ctx)) Fill(ctx, l, t, r - l, b - t, ctx->brush->color, ctx->brush->alpha);
  if (!PenOk(ctx)) return;
  Stroke(ctx, float(l), float(t), float(r - 1), float(t));
  Stroke(ctx, float(r - 1), float(t), float(r - 1), float(b - 1));
  Stroke(ctx, float(r - 1), float(b - 1), float(l), float(b - 1));
  Stroke(ctx, float(l), float(b - 1), float(l), float(t));
}

void MoveToEx(HDC ctx, int x, int y, POINT* old) {
  if (!ValidContext(ctx)) return;
  if (old) *old = {int(ctx->curX), int(ctx->curY)};
  ctx->curX = float(x);
  ctx->curY = float(y);
}

void SWELL_LineTo(HDC ctx, int x, int y) {
  if (!ValidContext(ctx) || !PenOk(ctx)) return;
  const float half = float(std::max(1, ctx->pen->width)) / 2.0f;
  Stroke(ctx, ctx->curX + half, ctx->curY + half, float(x) + half, float(y) + half);
  ctx->curX = float(x);
  ctx->curY = float(y);
}

void SWELL_SetPixel(HDC ctx, int x, int y, int color) {
  if (ValidContext(ctx)) Fill(ctx, x, y, 1, 1, color, 1.0f);
}

int GetSysColor(int index) {
  static const int kColors[10] = {0x606060, 0xE0E0E0, 0xC0C0C0, 0x000000, 0xC0C0C0,
                                  0x202020, 0x303030, 0xC0C0C0, 0xFFF0C8, 0x000000};
  return index >= 0 && index < 10 ? kColors[index] : 0;
}

void BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int mode) {
  StretchBlt(dst, x, y, w, h, src, sx, sy, w, h, mode);
}

void StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, int) {
  if (!ValidContext(dst) || !ValidContext(src) || sw <= 0 || sh <= 0 || !src->pixels || !dst->pixels) return;
  // Cut the source to its bitmap, moving and shrinking the destination alike.
  if (sx < 0) {
    x -= sx * w / sw;
    w += sx * w / sw;
    sw += sx;
    sx = 0;
  }
  if (sy < 0) {
    y -= sy * h / sh;
    h += sy * h / sh;
    sh += sy;
    sy = 0;
  }
  if (sx + sw > src->width) {
    const int cut = sx + sw - src->width;
    w -= cut * w / sw;
    sw -= cut;
  }
  if (sy + sh > src->height) {
    const int cut = sy + sh - src->height;
    h -= cut * h / sh;
    sh -= cut;
  }
  if (sw <= 0 || sh <= 0 || w <= 0 || h <= 0) return;
  const Box c = ClipOf(dst);
  for (int yy = std::max(y, c.t); yy < std::min(y + h, c.b); ++yy) {
    const int syy = sy + (yy - y) * sh / h;
    for (int xx = std::max(x, c.l); xx < std::min(x + w, c.r); ++xx) {
      const int sxx = sx + (xx - x) * sw / w;
      std::memcpy(dst->pixels + (ptrdiff_t(yy) * dst->width + xx) * 4,
                  src->pixels + (ptrdiff_t(syy) * src->width + sxx) * 4, 4);
    }
  }
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  if (out && size > 0) std::memset(out, 0, size_t(size));
  if (!out || size != 8 || !ValidObject(obj, HGDIOBJ__::kImage)) return 0;
  const int wh[2] = {obj->imageW, obj->imageH};
  std::memcpy(out, wh, 8);
  return 1;
}
