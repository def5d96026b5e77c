// The window functions that work on any handle: items, words, text, show and
// destroy, relations and modal sessions.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HwndView.h"
#include "Internal.h"
#include "TopLevelWindows.h"
#include "Utilities.h"
#include "model/Application.h"
#include "model/Controls.h"

using winsys::App;
using winsys::Pointf;
using winsys::Rectf;
using winsys::View;
using winsys::Window;

namespace swell {

View* viewOf(HWND h) {
  if (Window* w = asWindow(h)) return w->contentView();
  return asView(h);
}

View* outerView(View* v) {
  if (!v) return nullptr;
  auto* clip = dynamic_cast<winsys::ClipView*>(v->superview());
  if (clip && dynamic_cast<winsys::ScrollView*>(clip->superview())) return clip->superview();
  return v;
}

bool isContentView(const View* v) { return v && v->window() && v->window()->contentView() == v; }

RECT roundRect(Rectf r) {
  return {int(r.x), int(r.y), int(r.x + r.width + 0.5), int(r.y + r.height + 0.5)};
}

}  // namespace swell

using namespace swell;

HWND SWELL_NavigateUpScrollClipViews(HWND hwnd) { return outerView(viewOf(hwnd)); }

HWND GetDlgItem(HWND hwnd, int id) {
  View* v = viewOf(hwnd);
  if (!v) return nullptr;
  if (!id) return v;
  auto matches = [&](View* c) { return c && c->answersTag() && c->tag() == id; };
  for (View* sub : v->subviews()) {
    View* c = sub;
    if (matches(c)) return c;
    if (auto* sv = dynamic_cast<winsys::ScrollView*>(c)) {
      c = sv->documentView();
      if (matches(c)) return c;
    }
    if (auto* clip = dynamic_cast<winsys::ClipView*>(c))
      if (matches(clip->documentView())) return clip->documentView();
  }
  return nullptr;
}

BOOL GetDlgItemText(HWND hwnd, int id, char* buf, int len) {
  if (buf && len > 0) buf[0] = 0;
  HWND target = id ? GetDlgItem(hwnd, id) : hwnd;
  if (!target) return 0;
  if (View* v = asView(target); v && isContentView(v)) target = v->window();
  if (View* v = asView(target); v && v->answersGetText()) {
    if (buf && len > 0) lstrcpyn(buf, v->onSwellGetText() ? v->onSwellGetText() : "", len);
    return 1;
  }
  std::string text;
  if (auto* b = dynamic_cast<winsys::Button*>(target))
    text = b->title();
  else if (Window* w = asWindow(target))
    text = w->title();
  else if (auto* c = dynamic_cast<winsys::Control*>(target))
    text = c->stringValue();
  else if (auto* t = dynamic_cast<winsys::Text*>(target))
    text = t->string();
  else if (auto* box = dynamic_cast<winsys::Box*>(target))
    text = box->title();
  else
    return 0;
  SWELL_CFStringToCString(text, buf, len);
  return 1;
}

BOOL SetDlgItemText(HWND hwnd, int id, const char* text) {
  HWND target = id ? GetDlgItem(hwnd, id) : hwnd;
  if (!target) return 0;
  if (View* v = asView(target); v && isContentView(v)) SetDlgItemText(v->window(), 0, text);
  if (View* v = asView(target); v && v->answersSetText()) {
    v->onSwellSetText(text ? text : "");
    return 1;
  }
  std::string s = SWELL_CStringToCFString(text);
  if (Window* w = asWindow(target)) {
    w->setTitle(s);
  } else if (auto* b = dynamic_cast<winsys::Button*>(target)) {
    b->setTitle(s);
  } else if (auto* c = dynamic_cast<winsys::Control*>(target)) {
    c->setStringValue(s);
    if (auto* tf = dynamic_cast<winsys::TextField*>(c); tf && tf->isEditable())
      SendMessage(GetParent(c), WM_COMMAND, WPARAM(unsigned(c->tag()) & 0xFFFF) | (WPARAM(EN_CHANGE) << 16),
                  LPARAM(static_cast<HWND>(c)));
  } else if (auto* t = dynamic_cast<winsys::Text*>(target)) {
    t->setString(s);
  } else if (auto* box = dynamic_cast<winsys::Box*>(target)) {
    box->setTitle(s);
  } else {
    return 0;
  }
  return 1;
}

void SetDlgItemInt(HWND hwnd, int id, int value, bool isSigned) {
  char buf[32];
  snprintf(buf, sizeof buf, isSigned ? "%d" : "%u", value);
  SetDlgItemText(hwnd, id, buf);
}

int GetDlgItemInt(HWND hwnd, int id, bool* translated, bool isSigned) {
  char buf[128];
  if (translated) *translated = false;
  if (!GetDlgItemText(hwnd, id, buf, sizeof buf)) return 0;
  const char* p = buf;
  while (*p == ' ' || *p == '\t') ++p;
  int v = atoi(p);
  if (!isSigned && v < 0) return 0;
  if (*p == '0' || v) {
    if (translated) *translated = true;
    return v;
  }
  return 0;
}

namespace {

LONG_PTR derivedStyle(HWND hwnd) {
  LONG_PTR style = 0;
  if (auto* b = dynamic_cast<winsys::Button*>(hwnd)) {
    if (b->allowsMixedState()) {
      style = 6;
    } else {
      style = 3;
      auto* sb = dynamic_cast<Swell_vTarnivex_button*>(b);
      if (sb && sb->swellGetRadioFlags()) style = 9 | ((sb->swellGetRadioFlags() & 2) ? WS_GROUP : 0);
    }
  }
  if (View* v = asView(hwnd)) {
    if (isContentView(v)) {
      unsigned mask = v->window()->styleMask();
      if (mask & winsys::kTitledWindowMask) {
        style |= WS_CAPTION;
        if (mask & winsys::kResizableWindowMask) style |= WS_THICKFRAME;
      }
    } else {
      style |= WS_CHILD;
    }
  }
  return style;
}

// A content view whose caption or sizing bits change gets a new frame window.
void rebuildFrame(View* view, LONG_PTR style) {
  Window* old = view->window();
  unsigned mask = old->styleMask();
  unsigned current = (mask & 1) ? (WS_CAPTION | ((mask & 8) ? WS_THICKFRAME : 0)) : 0;
  if (current == (unsigned(style) & (WS_CAPTION | WS_THICKFRAME))) return;
  bool visible = old->isVisible();
  Window* parentWindow = old->parentWindow();
  char title[2048];
  GetDlgItemText(view, 0, title, sizeof title);
  Rectf frame = old->frame();
  Window* owner = old->answersOwner() ? old->swellGetOwner() : nullptr;
  int level = old->level();
  view->retain();
  Swell_vTarnivex_hwnd::create(nullptr, old, nullptr, 0);  // the old window's fresh content view
  unsigned newMask = !(style & WS_CAPTION) ? 0 : !(style & WS_THICKFRAME) ? 1 : 15;
  Window* nw = swell::asWindow(SWELL_CreateModelessFrameForWindow(view, owner, newMask));
  if (!nw) {
    old->setContentView(view);
    view->release();
    return;
  }
  view->release();
  if (old->answersOwnedWindows() && nw->answersOwnedWindows()) {
    auto* from = old->swellGetOwnerWindowHead();
    auto* to = nw->swellGetOwnerWindowHead();
    *to = *from;
    from->clear();
    for (Window* w : *to)
      if (w->answersOwner()) w->swellSetOwner(nw);
  }
  std::vector<Window*> children = old->childWindows();
  for (Window* c : children) {
    old->removeChildWindow(c);
    nw->addChildWindow(c, 1);
  }
  if (parentWindow) parentWindow->addChildWindow(nw, 1);
  if (title[0]) SetDlgItemText(view, 0, title);
  nw->setFrame(frame, visible);
  nw->setLevel(level);
  if (visible) ShowWindow(nw, SW_SHOW);
  DestroyWindow(old);
}

}  // namespace

LONG_PTR GetWindowLong(HWND hwnd, int index) {
  View* v = asView(hwnd);
  if (!hwnd) return 0;
  auto extra = [&]() -> LONG_PTR { return v && v->answersExtraData() ? v->getSwellExtraData(index) : 0; };
  LONG_PTR out = 0;
  switch (index) {
    case GWL_USERDATA:
      if (v && v->getSwellUserData(&out)) return out;
      if (dynamic_cast<winsys::Text*>(hwnd)) return 0xDEADF00B;
      return extra();
    case GWL_EXSTYLE: return v && v->getSwellExtendedStyle(&out) ? out : extra();
    case GWL_STYLE: return v && v->getSwellStyle(&out) ? out : derivedStyle(hwnd);
    case GWL_ID: return v && v->answersTag() && v->answersSetTag() ? v->tag() : extra();
    case DWL_DLGPROC: {
      DialogProc p;
      return v && v->getSwellDialogProc(&p) ? LONG_PTR(p) : extra();
    }
    case GWL_WNDPROC: {
      DialogProc p;
      return v && v->getSwellWindowProc(&p) ? LONG_PTR(p) : extra();
    }
    default: return extra();
  }
}

LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value) {
  if (!hwnd) return 0;
  View* v = asView(hwnd);
  auto extra = [&]() -> LONG_PTR {
    if (!v || !v->answersExtraData()) return 0;
    LONG_PTR old = v->getSwellExtraData(index);
    v->setSwellExtraData(index, value);
    return old;
  };
  LONG_PTR old = 0;
  switch (index) {
    case GWL_USERDATA:
      if (v && v->getSwellUserData(&old) && v->setSwellUserData(value)) return old;
      return extra();
    case GWL_EXSTYLE:
      if (v && v->getSwellExtendedStyle(&old) && v->setSwellExtendedStyle(value)) return old;
      return extra();
    case GWL_STYLE: {
      if (v && v->getSwellStyle(&old) && v->setSwellStyle(value)) return old;
      if (auto* b = dynamic_cast<winsys::Button*>(hwnd)) {
        old = derivedStyle(hwnd);
        auto* sb = dynamic_cast<Swell_vTarnivex_button*>(b);
        switch (value & 0xF) {
          case 3:
          case 6:
            b->setAllowsMixedState((value & 0xF) == 6);
            b->setButtonType(1);
            if (sb) sb->swellSetRadioFlags(0);
            break;
          case 9:
            b->setButtonType(2);
            if (sb) sb->swellSetRadioFlags(1 | ((value & WS_GROUP) ? 2 : 0));
            break;
          default: break;
        }
        return old;
      }
      if (v && isContentView(v)) rebuildFrame(v, value);
      return 0;
    }
    case GWL_ID:
      if (v && v->answersTag() && v->answersSetTag()) {
        old = v->tag();
        v->setTag(int(value));
        return old;
      }
      return extra();
    case DWL_DLGPROC: {
      DialogProc p;
      if (v && v->getSwellDialogProc(&p) && v->setSwellDialogProc(reinterpret_cast<DialogProc>(value)))
        return LONG_PTR(p);
      return extra();
    }
    case GWL_WNDPROC: {
      DialogProc p;
      if (v && v->getSwellWindowProc(&p) && v->setSwellWindowProc(reinterpret_cast<DialogProc>(value)))
        return LONG_PTR(p);
      return extra();
    }
    default: return extra();
  }
}

bool IsWindowVisible(HWND hwnd) {
  if (!hwnd) return false;
  if (View* v = asView(hwnd)) {
    if (v->window() && !v->window()->isVisible()) return false;
    return !v->isHiddenOrHasHiddenAncestor();
  }
  if (Window* w = asWindow(hwnd)) return w->isVisible();
  return true;
}

namespace {
bool findBelow(View* v, HWND h) {
  for (View* s : v->subviews())
    if (s == h) return true;
  for (View* s : v->subviews())
    if (findBelow(s, h)) return true;
  return false;
}
}  // namespace

bool IsWindow(HWND hwnd) {
  if (!hwnd) return false;
  std::vector<Window*> windows = App().windows();
  for (Window* w : windows)
    if (w == hwnd || w->contentView() == hwnd) return true;
  for (Window* w : windows)
    if ((dynamic_cast<Swell_vTarnivex_modelesswindow*>(w) || dynamic_cast<Swell_vTarnivex_dialogbox*>(w)) &&
        w->contentView() && findBelow(w->contentView(), hwnd))
      return true;
  return false;
}

bool IsChild(HWND parent, HWND child) {
  View* c = asView(child);
  if (!parent || !child || parent == child || !c) return false;
  if (Window* w = asWindow(parent)) return c->window() == w;
  if (View* p = asView(parent)) return c->isDescendantOf(p);
  return false;
}

bool IsEquivalentTextView(HWND a, HWND b) {
  if (!a || !b) return false;
  if (a == b) return true;
  if (dynamic_cast<winsys::TextField*>(a) && dynamic_cast<winsys::TextView*>(b)) std::swap(a, b);
  auto* tv = dynamic_cast<winsys::TextView*>(a);
  auto* tf = dynamic_cast<winsys::TextField*>(b);
  if (!tv || !tf) return false;
  if (tv->fieldOwner() == tf) return true;  // the field's own editor
  View* third = tv->superview() && tv->superview()->superview() ? tv->superview()->superview()->superview() : nullptr;
  return third == tf;
}

void EnableWindow(HWND hwnd, BOOL enable) {
  View* v = viewOf(hwnd);
  if (!v || !v->answersSetEnabled()) return;
  v->setEnabled(enable != 0);
  if (auto* tf = dynamic_cast<Swell_vTarnivex_textfield*>(v);
      tf && !tf->isEditable() && !tf->isBordered() && !tf->drawsBackground())
    tf->setTextColorAlpha(enable ? 1.0 : 0.5);
}

void SetFocus(HWND hwnd) {
  if (Window* w = asWindow(hwnd)) {
    w->makeFirstResponder(w->contentView());
    if (w->isVisible()) w->makeKeyAndOrderFront();
  } else if (View* v = asView(hwnd); v && v->window()) {
    v->window()->makeFirstResponder(v);
    if (v->window()->isVisible()) v->window()->makeKeyAndOrderFront();
  }
}

void SetForegroundWindow(HWND hwnd) { SetFocus(hwnd); }

HWND GetForegroundWindow() {
  Window* key = App().keyWindow();
  if (!key) return nullptr;
  HWND__* r = key->firstResponder();
  return r && r->isView() ? r : key;
}

HWND GetCapture() { return m_fakeCapture; }

void CenterWindow(HWND hwnd) {
  if (Window* w = asWindow(hwnd))
    w->center();
  else if (View* v = asView(hwnd); v && v->window())
    v->window()->center();
}

void SWELL_HideApp() { App().hide(); }

namespace {
bool focusInside(View* target) {
  Window* w = target->window();
  if (!w || App().keyWindow() != w) return false;
  View* fr = asView(w->firstResponder());
  return fr && fr->isDescendantOf(target);
}
}  // namespace

void ShowWindow(HWND hwnd, int cmd) {
  if (View* v = asView(hwnd)) {
    View* target = outerView(v);
    if (cmd == SW_SHOWNA || cmd == SW_SHOW) {
      target->setHidden(false);
    } else if (cmd == SW_HIDE) {
      if (focusInside(target))
        if (HWND p = GetParent(target)) SetFocus(p);
      if (!target->isHidden()) {
        if (!isContentView(target) && target->superview()) {
          RECT r;
          GetWindowRect(target, &r);
          POINT a{r.left, r.top}, b{r.right, r.bottom};
          ScreenToClient(target->superview(), &a);
          ScreenToClient(target->superview(), &b);
          RECT local{a.x, a.y, b.x, b.y};
          InvalidateRect(target->superview(), &local, 0);
        }
        target->setHidden(true);
      }
    }
    if (isContentView(target)) ShowWindow(target->window(), cmd);
    return;
  }
  Window* w = asWindow(hwnd);
  if (!w) return;
  switch (cmd) {
    case SW_HIDE: w->orderOut(); break;
    case SW_SHOWNA: {
      auto* mw = dynamic_cast<Swell_vTarnivex_modelesswindow*>(w);
      if (mw && mw->m_wantInitialKeyWindowOnShow) {
        mw->m_wantInitialKeyWindowOnShow = false;
        w->makeKeyAndOrderFront();
      } else {
        w->orderFront();
      }
      break;
    }
    case SW_SHOW: w->makeKeyAndOrderFront(); break;
    case SW_SHOWMINIMIZED: w->miniaturize(); break;
    default: break;
  }
}

void DestroyWindow(HWND hwnd) {
  if (!hwnd) return;
  if (View* v = asView(hwnd)) {
    v->retain();
    KillTimer(v, uintptr_t(-1));
    if (v->answersOnSwellMessage()) v->onSwellMessage(WM_DESTROY, 0, 0);
    if (!v->window()) {
      v->removeFromSuperview();
    } else if (isContentView(v)) {
      DestroyWindow(v->window());
    } else {
      if (focusInside(v))
        if (HWND p = GetParent(v)) SetFocus(p);
      v->removeFromSuperview();
    }
    App().autorelease(v);
    return;
  }
  Window* w = asWindow(hwnd);
  if (!w || w->isClosed()) return;
  w->retain();
  KillTimer(w, uintptr_t(-1));
  if (View* cv = w->contentView()) {
    KillTimer(cv, uintptr_t(-1));
    if (cv->answersOnSwellMessage()) cv->onSwellMessage(WM_DESTROY, 0, 0);
  }
  if (w->answersOnSwellMessage()) w->onSwellMessage(WM_DESTROY, 0, 0);
  if (w->answersDestroyStuff()) w->swellDoDestroyStuff();
  if (w->parentWindow()) w->parentWindow()->removeChildWindow(w);
  w->close();
  App().autorelease(w);
}

void SWELL_CloseWindow(HWND hwnd) {
  if (Window* w = asWindow(hwnd))
    w->close();
  else if (View* v = asView(hwnd); v && v->window())
    v->window()->close();
}

HWND GetWindow(HWND hwnd, int relation) {
  View* v = viewOf(hwnd);
  if (!v) return nullptr;
  if (relation == GW_CHILD) return v->subviews().empty() ? nullptr : v->subviews().front();
  View* outer = outerView(v);
  if (relation == GW_OWNER) {
    if (isContentView(outer)) {
      Window* w = outer->window();
      return w->answersOwner() ? w->swellGetOwner() : nullptr;
    }
    return outer->superview();
  }
  if (relation < GW_HWNDFIRST || relation > GW_HWNDPREV) return nullptr;
  if (isContentView(outer)) return relation <= GW_HWNDLAST ? hwnd : nullptr;
  View* parent = outer->superview();
  if (!parent) return nullptr;
  const auto& subs = parent->subviews();
  int at = parent->indexOfSubview(outer);
  int idx = relation == GW_HWNDFIRST ? 0
            : relation == GW_HWNDLAST ? int(subs.size()) - 1
            : relation == GW_HWNDNEXT ? (at < 0 ? -1 : at + 1)
                                      : (at < 0 ? -1 : at - 1);
  if (idx < 0 || idx >= int(subs.size())) return nullptr;
  return subs[size_t(idx)];
}

HWND SetParent(HWND hwnd, HWND newParent) {
  View* v = asView(hwnd);
  if (!v) return nullptr;
  if (Window* pw = asWindow(newParent)) newParent = pw->contentView();
  if (isContentView(v)) {
    View* np = asView(newParent);
    if (!np) return nullptr;
    char title[2048];
    GetDlgItemText(v, 0, title, sizeof title);
    Window* old = v->window();
    if (auto* hv = dynamic_cast<Swell_vTarnivex_hwnd*>(v)) {
      Window* owner = old->answersOwner() ? old->swellGetOwner() : nullptr;
      hv->setLastTopLevelOwner(owner);
    }
    v->retain();
    Swell_vTarnivex_hwnd::create(nullptr, old, nullptr, 0);
    np->addSubview(v);
    v->release();
    DestroyWindow(old);
    if (title[0]) SetDlgItemText(v, 0, title);
    return np;
  }
  View* outer = outerView(v);
  if (!newParent) {
    char title[2048];
    GetDlgItemText(v, 0, title, sizeof title);
    outer->retain();
    if (outer->superview()) outer->removeFromSuperviewWithoutNeedingDisplay();
    unsigned mask = v->answersCreateWindowFlags() ? v->swellCreateWindowFlags() : 15;
    Window* owner = nullptr;
    if (auto* hv = dynamic_cast<Swell_vTarnivex_hwnd*>(v); hv && hv->lastTopLevelOwner())
      for (Window* w : App().windows())
        if (w == hv->lastTopLevelOwner() || w->contentView() == hv->lastTopLevelOwner()) {
          owner = w;
          break;
        }
    Window* nw = asWindow(SWELL_CreateModelessFrameForWindow(v, owner, mask));
    outer->release();
    if (nw) nw->display();
    if (title[0]) SetDlgItemText(v, 0, title);
    return nullptr;
  }
  View* old = outer->superview();
  outer->retain();
  if (old) outer->removeFromSuperviewWithoutNeedingDisplay();
  if (View* np = asView(newParent)) np->addSubview(outer);
  outer->release();
  return old;
}

void* SWELL_ModalWindowStart(HWND hwnd) {
  Window* w = asWindow(hwnd);
  if (!w)
    if (View* v = asView(hwnd)) w = v->window();
  return w ? App().beginModalSession(w) : nullptr;
}

bool SWELL_ModalWindowRun(void* session, int* ret) {
  if (!session) return false;
  int r = App().runModalSession(static_cast<winsys::ModalSession*>(session));
  if (r == winsys::kModalResponseContinue) return true;
  if (ret) *ret = r;
  return false;
}

void SWELL_ModalWindowEnd(void* session) {
  auto* s = static_cast<winsys::ModalSession*>(session);
  if (!s) return;
  if (App().runModalSession(s) == winsys::kModalResponseContinue) {
    App().stopModal();
    while (App().runModalSession(s) == winsys::kModalResponseContinue) Sleep(10);
  }
  App().endModalSession(s);
}
