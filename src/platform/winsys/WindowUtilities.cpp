// Window utilities: point lookup, capture, the paint pair, the default window
// procedure, broadcasts, dropped files, properties, metrics, scrolling, search.
#include <strings.h>

#include <cstring>

#include "HwndView.h"
#include "Internal.h"
#include "model/Application.h"

using winsys::App;
using winsys::View;
using winsys::Window;
using namespace swell;

HWND m_fakeCapture = nullptr;
bool m_capChangeNotify = false;

HWND WindowFromPoint(POINT pt) {
  winsys::Pointf p{double(pt.x), double(pt.y)};
  std::vector<Window*> candidates;
  Window* key = App().keyWindow();
  const auto& ordered = App().orderedWindows();
  if (key && std::find(ordered.begin(), ordered.end(), key) == ordered.end()) candidates.push_back(key);
  candidates.insert(candidates.end(), ordered.begin(), ordered.end());
  for (Window* w : candidates) {
    winsys::Rectf f = w->frame();
    if (!w->isVisible() || !(p.x >= f.x && p.x < f.x + f.width && p.y >= f.y && p.y < f.y + f.height)) continue;
    View* cv = w->contentView();
    if (!cv) return w;
    View* hit = cv->hitTest(w->convertScreenToBase(p));
    return hit ? hit : cv;
  }
  return nullptr;
}

void UpdateWindow(HWND hwnd) {
  View* v = asView(hwnd);
  if (v && v->needsDisplay() && v->window()) v->window()->displayIfNeeded();
}

void SWELL_FlushWindow(HWND h) {
  View* v = asView(h);
  if (v && v->needsDisplay()) return;
  Window* w = v ? v->window() : asWindow(h);
  if (w) w->displayIfNeeded();
}

HWND SetCapture(HWND hwnd) {
  HWND old = m_fakeCapture;
  bool oldNotify = m_capChangeNotify;
  m_fakeCapture = hwnd;
  View* v = asView(hwnd);
  m_capChangeNotify = v && v->answersCapChangeNotify();
  if (old && old != hwnd && oldNotify) SendMessage(old, WM_CAPTURECHANGED, 0, LPARAM(hwnd));
  return old;
}

void ReleaseCapture() {
  HWND old = m_fakeCapture;
  bool notify = m_capChangeNotify;
  m_fakeCapture = nullptr;
  m_capChangeNotify = false;
  if (old && notify) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  ps->hdc = nullptr;
  ps->fErase = 0;
  ps->rcPaint = {0, 0, 0, 0};
  if (hwnd && hwnd->getSwellPaintInfo(ps)) return ps->hdc;
  return nullptr;
}

BOOL EndPaint(HWND, PAINTSTRUCT*) { return 1; }

namespace {
POINT pointOf(LPARAM lp) { return {short(lp & 0xFFFF), short((lp >> 16) & 0xFFFF)}; }
}  // namespace

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  View* v = asView(hwnd);
  switch (msg) {
    case WM_CONTEXTMENU:
    case WM_GESTURE:
    case 522:
    case 526: {
      if (!v) return 0;
      for (View* a = v->superview(); a; a = a->superview()) {
        if (a->answersOnSwellMessage()) return SendMessage(a, msg, wParam, lParam);
        if (isContentView(a)) break;
      }
      return 0;
    }
    case WM_NCHITTEST: {
      RECT r;
      GetWindowRect(hwnd, &r);
      POINT p = pointOf(lParam);
      if (r.bottom < r.top) {
        p.y = r.top + r.bottom - p.y;
        std::swap(r.top, r.bottom);
      }
      NCCALCSIZE_PARAMS nc{};
      nc.rgrc[0] = r;
      SendMessage(hwnd, WM_NCCALCSIZE, 0, LPARAM(&nc));
      return SWELL_PtInRect(&nc.rgrc[0], p) ? 1 : 0;
    }
    case WM_NCRBUTTONUP:
    case WM_RBUTTONUP: {
      POINT p = pointOf(lParam);
      HWND target = hwnd;
      if (msg == WM_RBUTTONUP) {
        ClientToScreen(hwnd, &p);
        HWND under = WindowFromPoint(p);
        View* uv = asView(under);
        if (uv && v && uv->isDescendantOf(v))
          target = under;
        else if (uv && asWindow(hwnd) && uv->window() == asWindow(hwnd))
          target = under;
      }
      SendMessage(hwnd, WM_CONTEXTMENU, WPARAM(target), LPARAM(p.y * 65536 + (p.x & 0xFFFF)));
      return 1;
    }
    case WM_KEYDOWN:
    case WM_KEYUP: return 69;
    case WM_DISPLAYCHANGE: {
      if (!v || v->subviews().empty()) return 0;
      std::vector<View*> subs = v->subviews();
      for (View* s : subs)
        if (s->answersOnSwellMessage()) s->onSwellMessage(msg, wParam, lParam);
      DialogProc proc = nullptr;
      if (!v->getSwellDialogProc(&proc) && v->answersExtraData())
        proc = reinterpret_cast<DialogProc>(v->getSwellExtraData(DWL_DLGPROC));
      if (proc) SWELL_DoDialogColorUpdates(hwnd, proc, true);
      return 0;
    }
    default: return 0;
  }
}

void SWELL_BroadcastMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  std::vector<Window*> ordered = App().orderedWindows();
  for (Window* w : ordered) {
    View* cv = w->contentView();
    if (!cv || !cv->answersOnSwellMessage()) continue;
    SendMessage(cv, msg, wParam, lParam);
    if (msg == WM_DISPLAYCHANGE) InvalidateRect(cv, nullptr, 0);
  }
}

namespace {
struct DropHeader {
  int32_t offset, x, y, nonClient;
};
}  // namespace

BOOL DragQueryPoint(HGLOBAL hDrop, POINT* pt) {
  if (!hDrop) return 0;
  auto* h = static_cast<const DropHeader*>(hDrop);
  if (pt) *pt = {h->x, h->y};
  return h->nonClient == 0;
}

UINT DragQueryFile(HGLOBAL hDrop, UINT idx, char* buf, UINT size) {
  if (!hDrop) return 0;
  auto* base = static_cast<const char*>(hDrop);
  const char* p = base + static_cast<const DropHeader*>(hDrop)->offset;
  UINT n = 0;
  for (; *p; p += strlen(p) + 1, ++n)
    if (n == idx) {
      if (buf && size > 0) {
        lstrcpyn(buf, p, int(size));
        return UINT(strlen(buf));
      }
      return UINT(strlen(p));
    }
  return idx == 0xFFFFFFFF ? n : 0;
}

void DragFinish(HGLOBAL) {}

void* GetProp(HWND hwnd, const char* name) {
  View* v = asView(hwnd);
  return v && v->answersProps() ? reinterpret_cast<void*>(v->swellGetProp(name, false)) : nullptr;
}

void* RemoveProp(HWND hwnd, const char* name) {
  View* v = asView(hwnd);
  return v && v->answersProps() ? reinterpret_cast<void*>(v->swellGetProp(name, true)) : nullptr;
}

BOOL SetProp(HWND hwnd, const char* name, void* value) {
  View* v = asView(hwnd);
  return v && v->answersProps() ? v->swellSetProp(name, value) != 0 : 0;
}

int EnumPropsEx(HWND hwnd, int (*proc)(HWND, const char*, void*, LPARAM), LPARAM lParam) {
  View* v = asView(hwnd);
  return v && proc && v->answersProps() ? v->swellEnumProps(proc, lParam) : -1;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case 2:
    case 3:
    case 20:
    case 21: return 16;
    case 0:
    case 1: {
      const auto& screens = App().screens();
      if (screens.empty()) return 1024;
      return int(index == 0 ? screens[0].frame.width : screens[0].frame.height);
    }
    default: return 0;
  }
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT*, const RECT*) {
  View* v = viewOf(hwnd);
  if (!v || (!dx && !dy)) return 0;
  for (View* s : v->subviews()) {
    winsys::Rectf f = s->frame();
    s->setFrameOrigin({f.x + dx, f.y + dy});
  }
  v->setNeedsDisplay(true);
  return 1;
}

HWND FindWindowEx(HWND parent, HWND after, const char* className, const char* title) {
  if (!parent) {
    if (!title) return nullptr;
    const auto& windows = App().windows();
    size_t start = 0;
    for (size_t i = 0; after && i < windows.size(); ++i)
      if (windows[i] == after || windows[i]->contentView() == after) {
        start = i + 1;
        break;
      }
    for (size_t i = start; i < windows.size(); ++i)
      if (windows[i]->title() == title) return windows[i]->contentView();
    return nullptr;
  }
  View* p = viewOf(parent);
  if (!p) return nullptr;
  bool isStatic = className && !strcasecmp(className, "Static");
  HWND c = after ? GetWindow(after, GW_HWNDNEXT) : (p->subviews().empty() ? nullptr : p->subviews().front());
  for (; c; c = GetWindow(c, GW_HWNDNEXT)) {
    bool field = dynamic_cast<winsys::TextField*>(c) != nullptr;
    if (!title) {
      if (!isStatic || field) return c;
      continue;
    }
    char buf[512];
    GetDlgItemText(c, 0, buf, sizeof buf);
    if (!strcmp(buf, title) && (!isStatic || field)) return c;
  }
  return nullptr;
}
