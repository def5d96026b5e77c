// Polygons, ellipses, curves, image objects and image lists on memory
// contexts.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <png.h>

#include "GdiRecords.h"

struct HIMAGELIST__ {
  std::vector<HGDIOBJ> images;  // owned; null for an emptied slot
};

namespace {
struct FPoint {
  float x, y;
};

bool PenOk(HDC ctx) { return ValidObject(ctx->pen, HGDIOBJ__::kPen) && ctx->pen->width >= 0; }
bool BrushOk(HDC ctx) { return ValidObject(ctx->brush, HGDIOBJ__::kBrush) && ctx->brush->width >= 0; }

void Blend(HDC ctx, int x, int y, int color, float alpha) {
  if (!ctx->pixels || x < std::max(0, ctx->clip.left) || y < std::max(0, ctx->clip.top) ||
      x >= std::min(ctx->width, ctx->clip.right) || y >= std::min(ctx->height, ctx->clip.bottom))
    return;
  unsigned char* p = ctx->pixels + (ptrdiff_t(y) * ctx->width + x) * 4;
  const int a = std::clamp(int(alpha * 256.0f), 0, 256);
  const int c[3] = {(color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF};
  for (int k = 0; k < 3; ++k) p[k + 1] = static_cast<unsigned char>(p[k + 1] + (((c[k] - p[k + 1]) * a) >> 8));
}

// Even-odd scanline fill through pixel centres.
void FillPath(HDC ctx, const std::vector<FPoint>& pts, int color, float alpha) {
  if (pts.size() < 3) return;
  float top = pts[0].y, bottom = pts[0].y;
  for (const FPoint& p : pts) {
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  std::vector<float> xs;
  for (int y = int(std::floor(top)); y <= int(std::ceil(bottom)); ++y) {
    const float cy = float(y) + 0.5f;
    xs.clear();
    for (size_t i = 0; i < pts.size(); ++i) {
      const FPoint a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((a.y <= cy) != (b.y <= cy)) xs.push_back(a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2)
      for (int x = int(std::ceil(xs[i] - 0.5f)); float(x) + 0.5f < xs[i + 1]; ++x) Blend(ctx, x, y, color, alpha);
  }
}

void StrokeSegment(HDC ctx, FPoint a, FPoint b) {
  const HGDIOBJ__* pen = ctx->pen;
  const int w = std::max(1, pen->width);
  const int steps = std::max(1, int(std::ceil(std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y)))));
  for (int i = 0; i <= steps; ++i) {
    const float t = float(i) / float(steps);
    const int x = int(std::floor(a.x + (b.x - a.x) * t)) - w / 2, y = int(std::floor(a.y + (b.y - a.y) * t)) - w / 2;
    for (int dy = 0; dy < w; ++dy)
      for (int dx = 0; dx < w; ++dx) Blend(ctx, x + dx, y + dy, pen->color, pen->alpha);
  }
}

void StrokePath(HDC ctx, const std::vector<FPoint>& pts) {
  for (size_t i = 0; i + 1 < pts.size(); ++i) StrokeSegment(ctx, pts[i], pts[i + 1]);
}

HGDIOBJ__* NewImage(int w, int h) {
  HGDIOBJ__* image = NewObject(HGDIOBJ__::kImage);
  image->image = std::make_shared<std::vector<uint32_t>>(size_t(w) * size_t(h));
  image->imageW = w;
  image->imageH = h;
  image->width = 1;  // owns its image
  return image;
}

HGDIOBJ__* ShareImage(const HGDIOBJ__* from) {
  HGDIOBJ__* image = NewObject(HGDIOBJ__::kImage);
  image->image = from->image;
  image->imageW = from->imageW;
  image->imageH = from->imageH;
  image->width = 1;
  return image;
}
}  // namespace

void SWELL_Polygon(HDC ctx, const POINT* pts, int n) {
  if (!ValidContext(ctx) || !pts || n < 2 || (!PenOk(ctx) && !BrushOk(ctx))) return;
  std::vector<FPoint> path;
  for (int i = 0; i < n; ++i) path.push_back({float(pts[i].x), float(pts[i].y)});
  if (BrushOk(ctx)) FillPath(ctx, path, ctx->brush->color, ctx->brush->alpha);
  if (PenOk(ctx)) StrokePath(ctx, path);
}

void RoundRect(HDC ctx, int l, int t, int r, int b, int xr, int yr) {
  const int x3 = xr / 3, y3 = yr / 3;
  const POINT pts[10] = {{l, t + y3}, {l + x3, t}, {r - x3, t}, {r, t + y3}, {r, b - y3},
                         {r - x3, b}, {l + x3, b}, {l, b - y3}, {l, t + y3}, {l + x3, t}};
  SWELL_Polygon(ctx, pts, 10);
}

void Ellipse(HDC ctx, int l, int t, int r, int b) {
  if (!ValidContext(ctx) || r <= l || b <= t) return;
  const float cx = float(l + r) / 2.0f, cy = float(t + b) / 2.0f, rx = float(r - l) / 2.0f, ry = float(b - t) / 2.0f;
  std::vector<FPoint> outline;
  const int steps = std::max(16, int(rx + ry) * 2);
  for (int i = 0; i <= steps; ++i) {
    const float a = float(2.0 * M_PI * i / steps);
    outline.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
  if (BrushOk(ctx)) FillPath(ctx, outline, ctx->brush->color, ctx->brush->alpha);
  if (PenOk(ctx)) StrokePath(ctx, outline);
}

void PolyPolyline(HDC ctx, const POINT* pts, const unsigned int* counts, int n) {
  if (!ValidContext(ctx) || !PenOk(ctx) || !pts || !counts || n <= 0) return;
  const float half = float(std::max(1, ctx->pen->width)) / 2.0f;
  for (int k = 0; k < n; ++k) {
    std::vector<FPoint> line;
    for (unsigned i = 0; i < counts[k]; ++i) line.push_back({float(pts[i].x) + half, float(pts[i].y) + half});
    pts += counts[k];
    if (line.size() >= 2) StrokePath(ctx, line);
  }
}

void PolyBezierTo(HDC ctx, const POINT* pts, int n) {
  if (!ValidContext(ctx) || !PenOk(ctx) || !pts || n < 3) return;
  FPoint p0{ctx->curX, ctx->curY};
  for (int i = 0; i + 3 <= n; i += 3) {
    const FPoint p1{float(pts[i].x), float(pts[i].y)}, p2{float(pts[i + 1].x), float(pts[i + 1].y)},
        p3{float(pts[i + 2].x), float(pts[i + 2].y)};
    std::vector<FPoint> curve;
    for (int s = 0; s <= 24; ++s) {
      const float t = float(s) / 24.0f, u = 1.0f - t;
      curve.push_back({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                       u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
    }
    StrokePath(ctx, curve);
    p0 = p3;
  }
  ctx->curX = p0.x;
  ctx->curY = p0.y;
}

HBITMAP CreateBitmap(int w, int h, int, int bitsPerPixel, const unsigned char* bits) {
  if (w <= 0 || h <= 0 || int64_t(w) * h > (int64_t(1) << 28)) return nullptr;
  HGDIOBJ__* image = NewImage(w, h);
  if (bits && bitsPerPixel == 32) std::memcpy(image->image->data(), bits, size_t(w) * size_t(h) * 4);
  return image;
}

HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info || !info->fIcon || !ValidObject(info->hbmColor, HGDIOBJ__::kImage) || !info->hbmColor->image)
    return nullptr;
  return ShareImage(info->hbmColor);
}

HBITMAP LoadNamedImage(const char* name, bool keyMagenta) {
  if (!name || !std::strchr(name, '/')) return nullptr;
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, name)) return nullptr;
  png.format = PNG_FORMAT_ARGB;  // bytes A, R, G, B as the pixels here
  const int w = int(png.width), h = int(png.height);
  if (w <= 0 || h <= 0 || int64_t(w) * h > (int64_t(1) << 26)) {
    png_image_free(&png);
    return nullptr;
  }
  HGDIOBJ__* image = NewImage(w, h);
  if (!png_image_finish_read(&png, nullptr, image->image->data(), 0, nullptr)) {
    png_image_free(&png);
    DeleteObject(image);
    return nullptr;
  }
  if (keyMagenta)
    for (uint32_t& p : *image->image)
      if ((p & 0xFFFFFF00u) == 0xFF00FF00u) p = 0;
  return image;
}

const unsigned* GetNSImageFromHICON(HGDIOBJ obj) {
  return ValidObject(obj, HGDIOBJ__::kImage) && obj->image ? obj->image->data() : nullptr;
}

void DrawImageInRect(HDC ctx, HGDIOBJ image, const RECT* r) {
  if (!ValidContext(ctx) || !r || !GetNSImageFromHICON(image)) return;
  const int w = r->right - r->left, h = r->bottom - r->top;
  if (w <= 0 || h <= 0) return;
  const std::vector<uint32_t>& px = *image->image;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t p = px[size_t((y * image->imageH / h) * image->imageW + x * image->imageW / w)];
      const int color = int(((p >> 8) & 0xFF) << 16 | ((p >> 16) & 0xFF) << 8 | (p >> 24));
      Blend(ctx, r->left + x, r->top + y, color, float(p & 0xFF) / 255.0f);
    }
}

HIMAGELIST ImageList_CreateEx() { return new HIMAGELIST__; }

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
  if (!list || !GetNSImageFromHICON(icon)) return -1;
  HGDIOBJ copy = ShareImage(icon);
  if (index >= 0 && index < int(list->images.size())) {
    if (list->images[size_t(index)]) DeleteObject(list->images[size_t(index)]);
    list->images[size_t(index)] = copy;
    return index;
  }
  list->images.push_back(copy);
  return int(list->images.size()) - 1;
}

HICON SWELL_ImageListEntry(HIMAGELIST list, int index) {
  return list && index >= 0 && index < int(list->images.size()) ? list->images[size_t(index)] : nullptr;
}

bool ImageList_Remove(HIMAGELIST list, int index) {
  if (!list) return false;
  if (index < 0) {
    for (HGDIOBJ obj : list->images)
      if (obj) DeleteObject(obj);
    list->images.clear();
    return true;
  }
  if (index >= int(list->images.size())) return false;
  if (list->images[size_t(index)]) DeleteObject(list->images[size_t(index)]);
  list->images[size_t(index)] = nullptr;
  return true;
}

void ImageList_Destroy(HIMAGELIST list) {
  if (!list) return;
  ImageList_Remove(list, -1);
  delete list;
}
