// Window geometry: rectangles, screen conversion, moving, sizing and
// re-ordering, the screen's view port, and invalidation.
#include <cmath>
#include <cstdlib>

#include "HwndView.h"
#include "Internal.h"
#include "model/Application.h"
#include "model/Controls.h"

using winsys::App;
using winsys::Pointf;
using winsys::Rectf;
using winsys::View;
using winsys::Window;
using namespace swell;

bool GetWindowRect(HWND hwnd, RECT* r) {
  if (!r) return false;
  *r = {0, 0, 0, 0};
  if (View* v = asView(hwnd); v && isContentView(v)) hwnd = v->window();
  if (Window* w = asWindow(hwnd)) {
    *r = roundRect(w->frame());
    return true;
  }
  View* v = asView(hwnd);
  if (!v) return false;
  View* outer = outerView(v);
  RECT b = roundRect(outer->bounds());
  POINT a{b.left, b.top}, c{b.right, b.bottom};
  ClientToScreen(outer, &a);
  ClientToScreen(outer, &c);
  *r = {a.x, a.y, c.x, c.y};
  return true;
}

void GetWindowContentViewRect(HWND hwnd, RECT* r) {
  if (!r) return;
  Window* w = asWindow(hwnd);
  if (View* v = asView(hwnd); v && isContentView(v)) w = v->window();
  if (!w) {
    GetWindowRect(hwnd, r);
    return;
  }
  RECT b = w->contentView() ? roundRect(w->contentView()->bounds()) : RECT{0, 0, 0, 0};
  POINT a{b.left, b.top}, c{b.right, b.bottom};
  ClientToScreen(w, &a);
  ClientToScreen(w, &c);
  *r = {a.x, a.y, c.x, c.y};
}

void GetClientRect(HWND hwnd, RECT* r) {
  if (!r) return;
  *r = {0, 0, 0, 0};
  View* v = viewOf(hwnd);
  if (!v) return;
  RECT b = roundRect(outerView(v)->bounds());
  NCCALCSIZE_PARAMS p{};
  p.rgrc[0] = b;
  SendMessage(hwnd, WM_NCCALCSIZE, 0, LPARAM(&p));
  *r = {b.left, b.top, b.left + (p.rgrc[0].right - p.rgrc[0].left), b.top + (p.rgrc[0].bottom - p.rgrc[0].top)};
}

void ClientToScreen(HWND hwnd, POINT* p) {
  View* v = viewOf(hwnd);
  if (!v || !p) return;
  Pointf base = v->convertPointToBase({double(p->x), double(p->y)});
  Pointf s = v->window() ? v->window()->convertBaseToScreen(base) : base;
  p->x = int(s.x + 0.5);
  p->y = int(s.y + 0.5);
}

void SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, int flags) {
  if (!hwnd) return;
  if (View* v = asView(hwnd); v && isContentView(v)) hwnd = v->window();
  Window* w = asWindow(hwnd);
  View* target = w ? nullptr : outerView(asView(hwnd));
  if (!w && !target) return;
  if (target && !(flags & SWP_NOZORDER)) {
    View* parent = target->superview();
    if (parent && parent->subviews().size() >= 2 && insertAfter != target && insertAfter != HWND_TOPMOST &&
        insertAfter != HWND_NOTOPMOST) {
      const auto& subs = parent->subviews();
      int at = parent->indexOfSubview(target);
      int place = 0;
      View* rel = nullptr;
      if (insertAfter == HWND_BOTTOM) {
        if (at != 0) place = -1, rel = subs.front();
      } else if (insertAfter == HWND_TOP) {
        if (at != int(subs.size()) - 1) place = 1, rel = subs.back();
      } else {
        int other = parent->indexOfSubview(asView(insertAfter));
        if (other >= 0 && other != at - 1) place = 1, rel = subs[size_t(other)];
      }
      View* cap = asView(m_fakeCapture);
      if (place && !(cap && cap->isDescendantOf(target))) {
        Window* tw = target->window();
        View* fr = tw ? asView(tw->firstResponder()) : nullptr;
        bool keepFocus = fr && fr->isDescendantOf(target);
        target->retain();
        target->removeFromSuperviewWithoutNeedingDisplay();
        parent->addSubview(target, place, rel);
        target->release();
        if (keepFocus && tw) tw->makeFirstResponder(fr);
      }
    }
  }
  if ((flags & SWP_NOMOVE) && (flags & SWP_NOSIZE)) return;
  Rectf f = w ? w->frame() : target->frame();
  if (!(flags & SWP_NOMOVE)) f.x = x, f.y = y;
  if (!(flags & SWP_NOSIZE)) f.width = cx, f.height = std::abs(cy);
  if (target) {
    target->setFrame(f);
    if (auto* sv = dynamic_cast<winsys::ScrollView*>(target))
      if (auto* tv = dynamic_cast<winsys::TextView*>(sv->documentView());
          tv && !(sv->hasHorizontalScroller() && sv->hasVerticalScroller())) {
        Rectf df = tv->frame();
        if (!sv->hasHorizontalScroller()) df.width = sv->contentSize().width;
        if (!sv->hasVerticalScroller()) df.height = sv->contentSize().height;
        tv->setFrame(df);
      }
    return;
  }
  winsys::Sizef mn = w->minSize(), mx = w->maxSize();
  if (f.width < mn.width) f.width = mn.width;
  if (f.width > mx.width) f.width = mx.width;
  if (f.height < mn.height) f.height = mn.height;
  if (f.height > mx.height) f.height = mx.height;
  w->setFrame(f, false);
  w->display();
}

void SWELL_GetViewPort(RECT* out, const RECT* sourceRect, bool wantWorkArea) {
  if (!out) return;
  const auto& screens = App().screens();
  if (screens.empty()) {
    *out = {0, 0, 1600, 1200};
    return;
  }
  int px = sourceRect ? (sourceRect->left + sourceRect->right) / 2 : 0;
  int py = sourceRect ? (sourceRect->top + sourceRect->bottom) / 2 : 0;
  Rectf taken;
  for (size_t i = 0; i < screens.size(); ++i) {
    Rectf f = wantWorkArea ? screens[i].visibleFrame : screens[i].frame;
    if (i == 0 || (px >= f.x && px < f.x + f.width && py >= f.y && py < f.y + f.height)) taken = f;
  }
  *out = roundRect(taken);
}

void InvalidateRect(HWND hwnd, const RECT* r, BOOL) {
  View* v = viewOf(hwnd);
  if (!v) return;
  auto* hv = dynamic_cast<Swell_vTarnivex_hwnd*>(v);
  bool walk = true;
  if (hv) {
    walk = !(hv->dirtyBits() & 1);
    hv->setDirtyBits(hv->dirtyBits() | 1);
  }
  if (walk)
    for (View* a = v->superview(); a; a = a->superview()) {
      auto* ha = dynamic_cast<Swell_vTarnivex_hwnd*>(a);
      if (!ha) continue;
      if (ha->dirtyBits() & 2) break;
      ha->setDirtyBits(ha->dirtyBits() | 2);
    }
  if (!r)
    v->setNeedsDisplay(true);
  else
    v->setNeedsDisplayInRect({double(r->left), double(std::min(r->top, r->bottom)), double(r->right - r->left),
                              double(std::abs(r->bottom - r->top))});
}
