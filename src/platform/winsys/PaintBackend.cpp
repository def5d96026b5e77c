// Painting through the memory drawing contexts: a window keeps its pixels in
// one context; a view paints into a context of its own size, filled from the
// window's pixels when it opens and written back, within what its ancestors
// let show, when its last user lets go. Views paint back to front, so what a
// view draws lands over its parent and under its later siblings.
#include <algorithm>
#include <cmath>
#include <vector>

#include "Internal.h"
#include "SwellGdi.h"

using winsys::Pointf;
using winsys::View;
using winsys::Window;

namespace {

struct OpenContext {
  View* view;
  HDC hdc;
  int users;
  Window* window;  // retained while open; null when the view is in no window
  HDC backing;
  RECT visible;  // window pixels the view may write
  POINT origin;  // the view's top left in window pixels
};
std::vector<OpenContext> gOpen;

HDC backingStoreOf(Window* w) {
  int width = int(std::ceil(w->frame().width)), height = int(std::ceil(w->frame().height));
  auto* current = static_cast<HDC>(w->backingStore.get());
  if (current && SWELL_GetCtxWidth(current) == width && SWELL_GetCtxHeight(current) == height) return current;
  HDC fresh = SWELL_CreateMemContext(nullptr, width, height);
  if (!fresh) {
    w->backingStore.reset();
    return nullptr;
  }
  w->backingStore = std::shared_ptr<void>(fresh, [](void* p) { SWELL_DeleteGfxContext(static_cast<HDC>(p)); });
  return fresh;
}

// A view's area in window pixels, top row first (the window's base coordinates grow upwards).
RECT pixelRect(const View* v, int windowHeight) {
  Pointf a = v->convertPointToBase({0, 0}), b = v->convertPointToBase({v->frame().width, v->frame().height});
  double top = windowHeight - std::max(a.y, b.y), left = std::min(a.x, b.x);
  return {int(std::floor(left)), int(std::floor(top)), int(std::floor(left)) + int(std::ceil(v->frame().width)),
          int(std::floor(top)) + int(std::ceil(v->frame().height))};
}

RECT intersect(RECT a, RECT b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

HDC openContext(HWND h) {
  View* v = swell::asView(h);
  // Without a view: a context that only keeps drawing state (a colour asked for, say).
  if (!v) return SWELL_CreateGfxContext(nullptr);
  for (OpenContext& o : gOpen)
    if (o.view == v) {
      ++o.users;
      SWELL_PushClipRegion(o.hdc);
      return o.hdc;
    }
  int w = int(std::ceil(v->frame().width)), hgt = int(std::ceil(v->frame().height));
  HDC hdc = w > 0 && hgt > 0 ? SWELL_CreateMemContext(nullptr, w, hgt) : nullptr;
  if (!hdc) return SWELL_CreateGfxContext(nullptr);
  OpenContext o{v, hdc, 1, nullptr, nullptr, {0, 0, 0, 0}, {0, 0}};
  if (Window* win = v->window(); win && !v->isHiddenOrHasHiddenAncestor()) {
    if (HDC backing = backingStoreOf(win)) {
      int height = SWELL_GetCtxHeight(backing);
      RECT whole = pixelRect(v, height);
      RECT vis = intersect(whole, {0, 0, SWELL_GetCtxWidth(backing), height});
      for (View* a = v->superview(); a; a = a->superview()) vis = intersect(vis, pixelRect(a, height));
      o.window = win;
      o.backing = backing;
      o.visible = vis;
      o.origin = {whole.left, whole.top};
      win->retain();
      BitBlt(hdc, vis.left - whole.left, vis.top - whole.top, vis.right - vis.left, vis.bottom - vis.top, backing,
             vis.left, vis.top, 0);
    }
  }
  gOpen.push_back(o);
  return hdc;
}

void closeContext(HDC hdc) {
  auto it = std::find_if(gOpen.begin(), gOpen.end(), [&](const OpenContext& o) { return o.hdc == hdc; });
  if (it == gOpen.end()) {
    SWELL_DeleteGfxContext(hdc);
    return;
  }
  if (--it->users > 0) {
    SWELL_PopClipRegion(hdc);
    return;
  }
  OpenContext o = *it;
  gOpen.erase(it);
  if (o.window) {
    // The window may have been resized (a new store) while the view painted: then the pixels are stale.
    if (o.window->backingStore.get() == o.backing) {
      const RECT& v = o.visible;
      BitBlt(o.backing, v.left, v.top, v.right - v.left, v.bottom - v.top, hdc, v.left - o.origin.x,
             v.top - o.origin.y, 0);
    }
    o.window->release();
  }
  SWELL_DeleteGfxContext(hdc);
}

void drawText(HDC hdc, const char* text, const RECT* r, int color, int flags) {
  if (!r) return;
  RECT box = *r;
  SWELL_PushClipRegion(hdc);
  SetTextColor(hdc, color);
  SetBkMode(hdc, TRANSPARENT);
  SWELL_DrawText(hdc, text, -1, &box, flags);
  SWELL_PopClipRegion(hdc);
}

bool textColorOf(HDC hdc, int* rgb) { return SWELL_GetCtxTextColor(hdc, rgb); }
void* imageOf(HGDIOBJ obj) { return const_cast<unsigned*>(GetNSImageFromHICON(obj)); }
void* fontOf(HGDIOBJ obj) { return const_cast<void*>(SWELL_GetFontObjectFace(obj)); }

SwellPaintBackend& installed() {
  static SwellPaintBackend backend = SWELL_DefaultPaintBackend();
  return backend;
}

}  // namespace

SwellPaintBackend SWELL_DefaultPaintBackend() {
  SwellPaintBackend b;
  b.createContext = openContext;
  b.deleteContext = closeContext;
  b.fillRect = SWELL_FillRect;
  b.fillDialogBackground = SWELL_FillDialogBackground;
  b.textColor = textColorOf;
  b.pushClip = SWELL_PushClipRegion;
  b.setClip = SWELL_SetClipRegion;
  b.popClip = SWELL_PopClipRegion;
  b.imageOf = imageOf;
  b.fontOf = fontOf;
  b.drawText = drawText;
  return b;
}

void SWELL_SetPaintBackend(const SwellPaintBackend& backend) { installed() = backend; }
const SwellPaintBackend& SWELL_GetPaintBackend() { return installed(); }
void* SWELL_GetGdiObjectImage(HGDIOBJ obj) {
  const SwellPaintBackend& b = installed();
  return obj && b.imageOf ? b.imageOf(obj) : nullptr;
}

HDC SWELL_GetWindowContext(HWND hwnd) {
  Window* w = swell::asWindow(hwnd);
  if (!w)
    if (View* v = swell::asView(hwnd)) w = v->window();
  return w ? static_cast<HDC>(w->backingStore.get()) : nullptr;
}
