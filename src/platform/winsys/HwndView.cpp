#include "HwndView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "Internal.h"
#include "ListBox.h"
#include "TreeView.h"
#include "TopLevelWindows.h"
#include "model/Accessibility.h"
#include "model/Application.h"
#include "model/Menu.h"

using winsys::App;
using winsys::Event;
using winsys::Rectf;
using winsys::View;

HWND g_swell_only_timerhwnd = nullptr;
void (*SWELL_DDrop_onDragEnter)(void*, int, int) = nullptr;
void (*SWELL_DDrop_onDragOver)(int, int) = nullptr;
void (*SWELL_DDrop_onDragLeave)() = nullptr;
const char* (*SWELL_DDrop_getDroppedFileTargetPath)(const char*) = nullptr;

namespace {
const SwellPaintBackend& backend() { return SWELL_GetPaintBackend(); }
}  // namespace

Swell_vTarnivex_hwnd::Swell_vTarnivex_hwnd(Rectf frame, bool flip, bool opaque, bool ddrop)
    : View(frame), m_wndproc(SWELL_DefaultDialogProc), m_flip(flip), m_supports_ddrop(ddrop), m_isopaque(opaque) {}

Swell_vTarnivex_hwnd::~Swell_vTarnivex_hwnd() {
  while (m_props) {
    WindowPropRec* p = m_props;
    m_props = p->next;
    if (uintptr_t(p->name) >= 0x10000) free(p->name);
    delete p;
  }
}

Swell_vTarnivex_hwnd* Swell_vTarnivex_hwnd::create(const SWELL_DialogResourceIndex* rec, HWND parent,
                                                   DialogProc dlgproc, LPARAM param) {
  int flags = rec ? rec->windowTypeFlags : 0;
  Rectf frame = rec ? Rectf{0, 0, double(rec->width), double(rec->height)} : Rectf{0, 0, 300, 200};
  auto* v = rec ? new Swell_vTarnivex_hwnd(frame, flags & 4, flags & 16, flags & 32)
                : new Swell_vTarnivex_hwnd(frame, true, true, false);
  v->initChild(rec, parent, dlgproc, param);
  // The parent holds the view now; without one the caller keeps our reference.
  auto* panel = dynamic_cast<winsys::Panel*>(swell::asWindow(parent));
  if (v->superview() || v->window() || (panel && panel->accessoryView() == v)) App().autorelease(v);
  return v;
}

void Swell_vTarnivex_hwnd::initChild(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc dlgproc,
                                     LPARAM param) {
  setHidden(true);
  if (auto* panel = dynamic_cast<winsys::Panel*>(swell::asWindow(parent)); panel && panel->takesAccessoryView()) {
    panel->setAccessoryView(this);
    setHidden(false);
  } else if (auto* w = swell::asWindow(parent))
    w->setContentView(this);
  else if (auto* pv = swell::asView(parent))
    pv->addSubview(this);
  if (rec) {
    if (rec->createFunc) rec->createFunc(this, rec->windowTypeFlags);
    m_dlgproc = dlgproc;
  } else {
    if (dlgproc) m_wndproc = dlgproc;
    m_wndproc(this, WM_CREATE, 0, param);
    return;
  }
  if (!m_dlgproc) return;
  HWND candidate = nullptr;
  for (View* sub : subviews()) {
    View* v = sub;
    if (auto* sv = dynamic_cast<winsys::ScrollView*>(sub); sv && sv->documentView()) v = sv->documentView();
    if (v->acceptsFirstResponder()) {
      candidate = v;
      break;
    }
  }
  LRESULT r = m_dlgproc(this, WM_INITDIALOG, WPARAM(candidate), param);
  winsys::Window* w = window();
  if (r) {
    if (r == 0xBEEF) candidate = this;
    if (w && candidate && w->firstResponder() != candidate) w->makeFirstResponder(candidate);
    if (auto* mw = dynamic_cast<Swell_vTarnivex_modelesswindow*>(swell::asWindow(parent));
        mw && mw == w && !w->isVisible())
      mw->m_wantInitialKeyWindowOnShow = true;
  } else if (w && swell::asWindow(parent) == w) {
    HWND__* fr = w->firstResponder();
    if ((!fr || fr == w || fr == this) && candidate) w->makeFirstResponder(candidate);
  }
  SWELL_DoDialogColorUpdates(this, m_dlgproc, false);
}

LRESULT SWELL_DefaultDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<DialogProc>(GetWindowLong(hwnd, DWL_DLGPROC));
  if (!proc) return DefWindowProc(hwnd, msg, wParam, lParam);
  if (msg == WM_PAINT && !proc(hwnd, WM_ERASEBKGND, 0, 0)) {
    View* v = swell::asView(hwnd);
    bool content = v && swell::isContentView(v);
    bool opaque = v && (v->isOpaque() || (App().systemVersion() >= 0x1050 && v->window() &&
                                          v->window()->contentView() && v->window()->contentView()->isOpaque()));
    if (v && (content || opaque)) {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      bool fill = true;
      auto* hv = dynamic_cast<Swell_vTarnivex_hwnd*>(v);
      if (App().systemVersion() < 0x1050 && hv && !(hv->dirtyBits() & 1)) {
        fill = false;
        Rectf pr{double(ps.rcPaint.left), double(ps.rcPaint.top), double(ps.rcPaint.right - ps.rcPaint.left),
                 double(ps.rcPaint.bottom - ps.rcPaint.top)};
        for (View* sub : v->subviews())
          if (!sub->isOpaque() && sub->frame().intersects(pr)) fill = true;
      }
      if (fill && ps.rcPaint.right > ps.rcPaint.left && ps.rcPaint.bottom > ps.rcPaint.top) {
        LRESULT b = proc(hwnd, WM_CTLCOLORDLG, WPARAM(hdc), LPARAM(hwnd));
        if (b == 0 || b == 1) {
          if (opaque && backend().fillDialogBackground) backend().fillDialogBackground(hdc, &ps.rcPaint, 3);
        } else if (backend().fillRect) {
          backend().fillRect(hdc, &ps.rcPaint, reinterpret_cast<HBRUSH>(b));
        }
      }
      EndPaint(hwnd, &ps);
    }
  }
  LRESULT r = proc(hwnd, msg, wParam, lParam);
  return r ? r : DefWindowProc(hwnd, msg, wParam, lParam);
}

LRESULT Swell_vTarnivex_hwnd::onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (m_hashaddestroy) {
    if (msg == WM_DESTROY || msg == WM_CAPTURECHANGED || m_hashaddestroy == 2) return 0;
  }
  if (msg != WM_DESTROY) return m_wndproc ? m_wndproc(this, msg, wParam, lParam) : 0;
  retain();
  LRESULT r = runDestroy(wParam, lParam);
  App().autorelease(this);
  return r;
}

LRESULT Swell_vTarnivex_hwnd::runDestroy(WPARAM wParam, LPARAM lParam) {
  m_hashaddestroy = 1;
  if (GetCapture() == this) ReleaseCapture();
  SWELL_MessageQueue_Clear(this);
  LRESULT r = m_wndproc ? m_wndproc(this, WM_DESTROY, wParam, lParam) : 0;
  if (window() && window()->contentView() == this && window()->answersOwnedWindows())
    if (auto* mw = dynamic_cast<SwellWindowBase*>(window())) mw->swellDestroyAllOwnedWindows();
  if (GetCapture() == this) ReleaseCapture();
  SWELL_MessageQueue_Clear(this);
  if (m_menu) {
    if (App().mainMenu() == m_menu && !App().isTerminating()) App().setMainMenu(nullptr);
    SWELL_SetMenuDestination(m_menu, nullptr);
    m_menu->release();
    m_menu = nullptr;
  }
  std::vector<View*> subs = subviews();
  for (View* sub : subs)
    if (sub->answersOnSwellMessage()) sub->onSwellMessage(WM_DESTROY, 0, 0);
  KillTimer(this, uintptr_t(-1));
  m_hashaddestroy = 2;
  return r;
}

bool Swell_vTarnivex_hwnd::getSwellUserData(LONG_PTR* out) {
  *out = m_userdata;
  return true;
}
bool Swell_vTarnivex_hwnd::setSwellUserData(LONG_PTR v) {
  m_userdata = v;
  return true;
}
bool Swell_vTarnivex_hwnd::getSwellExtendedStyle(LONG_PTR* out) {
  *out = m_supports_ddrop ? WS_EX_ACCEPTFILES : 0;
  return true;
}
bool Swell_vTarnivex_hwnd::setSwellExtendedStyle(LONG_PTR v) {
  m_supports_ddrop = (v & WS_EX_ACCEPTFILES) != 0;
  return true;
}
bool Swell_vTarnivex_hwnd::getSwellDialogProc(DialogProc* out) {
  *out = m_dlgproc;
  return true;
}
bool Swell_vTarnivex_hwnd::setSwellDialogProc(DialogProc p) {
  m_dlgproc = p;
  return true;
}
bool Swell_vTarnivex_hwnd::getSwellWindowProc(DialogProc* out) {
  *out = m_wndproc;
  return true;
}
bool Swell_vTarnivex_hwnd::setSwellWindowProc(DialogProc p) {
  m_wndproc = p;
  return true;
}

LONG_PTR Swell_vTarnivex_hwnd::getSwellExtraData(int index) {
  if (index < 0 || index > 127) return 0;
  return m_extradata[index / 4];
}

void Swell_vTarnivex_hwnd::setSwellExtraData(int index, LONG_PTR value) {
  if (index < 0 || index >= 128) return;
  m_extradata[(index & ~3) / 4] = value;
}

void Swell_vTarnivex_hwnd::onSwellSetText(const char* text) { lstrcpyn(m_titlestr, text ? text : "", 1024); }

void Swell_vTarnivex_hwnd::SWELL_Timer(uintptr_t id) {
  if (g_swell_only_timerhwnd && g_swell_only_timerhwnd != this) return;
  if (m_hashaddestroy || !m_wndproc) return;
  m_wndproc(this, WM_TIMER, id, 0);
}

namespace {
bool sameName(const char* a, const char* b) {
  bool atomA = uintptr_t(a) < 0x10000, atomB = uintptr_t(b) < 0x10000;
  if (atomA || atomB) return a == b;
  return !strcmp(a, b);
}
}  // namespace

LONG_PTR Swell_vTarnivex_hwnd::swellGetProp(const char* name, bool wantRemove) {
  for (WindowPropRec** p = &m_props; *p; p = &(*p)->next) {
    if (!sameName((*p)->name, name)) continue;
    WindowPropRec* rec = *p;
    LONG_PTR data = LONG_PTR(rec->data);
    if (wantRemove) {
      *p = rec->next;
      if (uintptr_t(rec->name) >= 0x10000) free(rec->name);
      delete rec;
    }
    return data;
  }
  return 0;
}

int Swell_vTarnivex_hwnd::swellSetProp(const char* name, void* value) {
  for (WindowPropRec* p = m_props; p; p = p->next)
    if (sameName(p->name, name)) {
      p->data = value;
      return 1;
    }
  auto* rec = new WindowPropRec{uintptr_t(name) < 0x10000 ? const_cast<char*>(name) : strdup(name), value, m_props};
  m_props = rec;
  return 1;
}

int Swell_vTarnivex_hwnd::swellEnumProps(int (*proc)(HWND, const char*, void*, LPARAM), LPARAM lp) {
  if (!m_props) return -1;
  for (WindowPropRec* p = m_props; p; p = p->next)
    if (!proc(this, p->name, p->data, lp)) return 0;
  return 1;
}

void Swell_vTarnivex_hwnd::sendCommand(View* sender, int code) {
  if (!m_wndproc || m_hashaddestroy) return;
  int tag = sender && sender->answersTag() ? sender->tag() : 0;
  m_wndproc(this, WM_COMMAND, WPARAM(unsigned(tag) & 0xFFFF) | (WPARAM(unsigned(code) & 0xFFFF) << 16),
            LPARAM(static_cast<HWND>(sender)));
}

void Swell_vTarnivex_hwnd::sendNotify(NMHDR* hdr) {
  if (!m_wndproc || m_hashaddestroy) return;
  m_wndproc(this, WM_NOTIFY, hdr->idFrom, LPARAM(hdr));
}

void Swell_vTarnivex_hwnd::radioGroupUpdate(View* button) {
  auto* b = dynamic_cast<Swell_vTarnivex_button*>(button);
  View* parent = button->superview();
  if (!b || !parent || (b->swellGetRadioFlags() & 2)) {
    if (!b || !parent) return;
  }
  const auto& subs = parent->subviews();
  int at = parent->indexOfSubview(button);
  auto uncheck = [](Swell_vTarnivex_button* o) {
    if ((o->swellGetRadioFlags() & 1) && o->state()) o->setState(0);
  };
  if (!(b->swellGetRadioFlags() & 2)) {
    for (int i = at - 1; i >= 0; --i) {
      auto* o = dynamic_cast<Swell_vTarnivex_button*>(subs[size_t(i)]);
      if (!o) break;
      uncheck(o);
      if (o->swellGetRadioFlags() & 2) break;
    }
  }
  for (size_t i = size_t(at) + 1; i < subs.size(); ++i) {
    auto* o = dynamic_cast<Swell_vTarnivex_button*>(subs[i]);
    if (!o || (o->swellGetRadioFlags() & 2)) break;
    uncheck(o);
  }
}

void Swell_vTarnivex_hwnd::onSwellCommand(View* sender) {
  if (!m_wndproc || m_hashaddestroy) return;
  if (dynamic_cast<winsys::Slider*>(sender)) {
    m_wndproc(this, WM_HSCROLL, 0, LPARAM(static_cast<HWND>(sender)));
  } else if (dynamic_cast<Swell_vTarnivex_listview*>(sender) || dynamic_cast<winsys::ComboBox*>(sender)) {
  } else if (dynamic_cast<winsys::PopUpButton*>(sender)) {
    sendCommand(sender, 1);
  } else if (dynamic_cast<Swell_vTarnivex_button*>(sender)) {
    radioGroupUpdate(sender);
    sendCommand(sender, 0);
  } else if (dynamic_cast<winsys::Control*>(sender)) {
    const Event* e = App().currentEvent();
    bool dbl = e && (e->type == winsys::EventType::kLeftMouseDown || e->type == winsys::EventType::kLeftMouseUp) &&
               e->clickCount >= 2;
    sendCommand(sender, dbl ? 1 : 0);
  } else {
    sendCommand(sender, 0);
  }
}

void Swell_vTarnivex_hwnd::comboBoxWillPopUp(View* sender) { sendCommand(sender, 7); }
void Swell_vTarnivex_hwnd::comboBoxSelectionDidChange(View* sender) { sendCommand(sender, 1); }
void Swell_vTarnivex_hwnd::controlTextDidChange(View* sender) {
  sendCommand(sender, dynamic_cast<winsys::ComboBox*>(sender) ? 5 : 0x300);
}
void Swell_vTarnivex_hwnd::textDidEndEditing(View* sender) {
  if (!dynamic_cast<winsys::ComboBox*>(sender)) sendCommand(sender, 0x300);
}
void Swell_vTarnivex_hwnd::menuNeedsUpdate(HMENU menu) {
  if (m_wndproc && !m_hashaddestroy) m_wndproc(this, WM_INITMENUPOPUP, WPARAM(menu), 0);
}

void Swell_vTarnivex_hwnd::tableViewSelectionDidChange(View* sender) {
  auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(sender);
  if (lv && lv->getSwellNotificationMode()) {
    sendCommand(sender, 1);
    return;
  }
  NMLISTVIEW nm{};
  nm.hdr = {sender, uintptr_t(sender->tag()), LVN_ITEMCHANGED};
  nm.iItem = lv ? lv->selectedRow() : -1;
  sendNotify(&nm.hdr);
}

void Swell_vTarnivex_hwnd::outlineViewSelectionDidChange(View* sender) {
  NMTREEVIEW nm{};
  nm.hdr = {sender, uintptr_t(sender->tag()), TVN_SELCHANGED};
  sendNotify(&nm.hdr);
}

void Swell_vTarnivex_hwnd::tableViewDidClickTableColumn(View* sender, winsys::TableColumn* column) {
  auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(sender);
  if (!lv || !lv->hasColumns() || lv->m_lbMode || (lv->m_style & 0x80000000u)) return;
  auto it = std::find(lv->m_cols.begin(), lv->m_cols.end(), column);
  NMLISTVIEW nm{};
  nm.hdr = {sender, uintptr_t(sender->tag()), LVN_COLUMNCLICK};
  nm.iItem = -1;
  nm.iSubItem = it == lv->m_cols.end() ? -1 : int(it - lv->m_cols.begin());
  sendNotify(&nm.hdr);
}

void Swell_vTarnivex_hwnd::swellOnControlDoubleClick(View* sender) {
  auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(sender);
  if (lv && lv->getSwellNotificationMode()) {
    sendCommand(sender, 2);
    return;
  }
  NMLISTVIEW nm{};
  nm.hdr = {sender, uintptr_t(sender->tag()), NM_DBLCLK};
  if (lv) {
    nm.iItem = lv->clickedRow();
    nm.iSubItem = lv->clickedColumn();
    nm.lParam = lv->rowParam(nm.iItem);
  }
  sendNotify(&nm.hdr);
}

void Swell_vTarnivex_hwnd::swellSetMenu(HMENU menu) {
  if (m_menu) {
    SWELL_SetMenuDestination(m_menu, nullptr);
    m_menu->release();
  }
  m_menu = menu;
  if (menu) {
    menu->retain();
    SWELL_SetMenuDestination(menu, this);
  }
}

void Swell_vTarnivex_hwnd::setFrame(Rectf frame) {
  View::setFrame(frame);
  if (!m_hashaddestroy && m_wndproc) m_wndproc(this, WM_SIZE, 0, 0);
  if (superview()) InvalidateRect(superview(), nullptr, 0);
}

void Swell_vTarnivex_hwnd::viewDidHide() {
  if (!m_hashaddestroy && m_wndproc) m_wndproc(this, WM_SHOWWINDOW, 0, 0);
}
void Swell_vTarnivex_hwnd::viewDidUnhide() {
  if (!m_hashaddestroy && m_wndproc) m_wndproc(this, WM_SHOWWINDOW, 1, 0);
}

void Swell_vTarnivex_hwnd::didAddSubview(View*) {
  m_isdirty |= 2;
  for (View* v = superview(); v; v = v->superview()) {
    auto* h = dynamic_cast<Swell_vTarnivex_hwnd*>(v);
    if (!h) continue;
    if (h->m_isdirty & 2) break;
    h->m_isdirty |= 2;
  }
}

void Swell_vTarnivex_hwnd::willRemoveSubview(View*) {
  m_isdirty |= 3;
  setNeedsDisplay(true);
  for (View* v = superview(); v; v = v->superview()) {
    auto* h = dynamic_cast<Swell_vTarnivex_hwnd*>(v);
    if (h && (h->m_isdirty & 3) == 3) break;
    if (h) h->m_isdirty |= 3;
    v->setNeedsDisplay(true);
  }
}

void Swell_vTarnivex_hwnd::paint(Rectf rect, HDC hdc) {
  if (m_hashaddestroy) return;
  m_paintctx_hdc = hdc;
  if (m_glctx) {
    m_glctx->attachedTo = hdc;
    m_glctx->current = true;
    m_glctx->updates++;
  }
  m_paintctx_rect = rect;
  m_paintctx_used = false;
  NCCALCSIZE_PARAMS p{};
  GetWindowRect(this, &p.rgrc[0]);
  if (p.rgrc[0].top > p.rgrc[0].bottom) std::swap(p.rgrc[0].top, p.rgrc[0].bottom);
  RECT wr = p.rgrc[0];
  if (m_wndproc) {
    m_wndproc(this, WM_NCCALCSIZE, 0, LPARAM(&p));
    m_wndproc(this, WM_NCPAINT, 1, 0);
  }
  m_paintctx_rect.x -= p.rgrc[0].left - wr.left;
  m_paintctx_rect.y -= p.rgrc[0].top - wr.top;
  if (m_paintctx_rect.width >= 1 && m_paintctx_rect.height >= 1 && m_wndproc && !m_hashaddestroy) {
    bool clip = memcmp(&p.rgrc[0], &wr, sizeof wr) != 0 && hdc && backend().pushClip && backend().setClip && backend().popClip;
    if (clip) {
      // The client area in view coordinates.
      RECT client{p.rgrc[0].left - wr.left, p.rgrc[0].top - wr.top, p.rgrc[0].right - wr.left,
                  p.rgrc[0].bottom - wr.top};
      backend().pushClip(hdc);
      backend().setClip(hdc, &client);
    }
    m_wndproc(this, WM_PAINT, WPARAM(hdc), 0);
    if (clip) backend().popClip(hdc);
  }
  if (m_glctx && m_glctx->current) m_glctx->current = false;
  m_paintctx_hdc = nullptr;
}

void Swell_vTarnivex_hwnd::drawRect(Rectf rect) {
  HDC hdc = backend().createContext ? backend().createContext(this) : nullptr;
  paint(rect, hdc);
  if (hdc && backend().deleteContext) backend().deleteContext(hdc);
  m_isdirty = 0;
}

bool Swell_vTarnivex_hwnd::getSwellPaintInfo(PAINTSTRUCT* ps) {
  ps->hdc = m_paintctx_hdc;
  ps->fErase = 0;
  const Rectf& r = m_paintctx_rect;
  ps->rcPaint = {int(r.x), int(r.y), int(std::ceil(r.x + r.width)), int(std::ceil(r.y + r.height))};
  m_paintctx_used = true;
  return true;
}

bool Swell_vTarnivex_hwnd::acceptsFirstResponder() {
  if (!m_enabled) return false;
  if (GetFocus() != this) SendMessage(this, WM_MOUSEACTIVATE, 0, 0);
  return true;
}

bool Swell_vTarnivex_hwnd::acceptsFirstMouse() {
  if (!m_enabled) return false;
  SendMessage(this, WM_MOUSEACTIVATE, 0, 0);
  if (superview()) SendMessage(superview(), WM_MOUSEACTIVATE, 0, 0);
  return true;
}

void Swell_vTarnivex_hwnd::dealloc() {
  for (AccessCache& c : m_access_cacheptrs)
    if (c.object) std::exchange(c.object, nullptr)->release();
  KillTimer(this, uintptr_t(-1));
  if (!m_hashaddestroy) runDestroy(0, 0);  // no retain now: the view is already on its way out
  if (GetCapture() == this) ReleaseCapture();
  m_glctx = nullptr;
}

void SWELL_DoDialogColorUpdates(HWND hwnd, DialogProc proc, bool isUpdate) {
  View* v = swell::asView(hwnd);
  if (!v || !proc) return;
  bool askedBtn = false, askedStatic = false;
  int btnColor = -1, staticColor = -1;
  auto ask = [&](UINT msg, View* sub) {
    HDC hdc = backend().createContext ? backend().createContext(nullptr) : nullptr;
    proc(hwnd, msg, WPARAM(hdc), LPARAM(static_cast<HWND>(sub)));
    int rgb = -1;
    if (!(hdc && backend().textColor && backend().textColor(hdc, &rgb))) rgb = isUpdate ? 0 : -1;
    if (hdc && backend().deleteContext) backend().deleteContext(hdc);
    return rgb;
  };
  for (View* sub : v->subviews()) {
    auto* b = dynamic_cast<winsys::Button*>(sub);
    auto* t = dynamic_cast<winsys::TextField*>(sub);
    auto* box = dynamic_cast<winsys::Box*>(sub);
    if (b && b->buttonType() != 0) {
      if (!askedBtn) {
        askedBtn = true;
        btnColor = ask(WM_CTLCOLORBTN, sub);
      }
      if (btnColor >= 0) b->setTextColor(btnColor);
    } else if ((t && !t->isEditable()) || box) {
      if (!askedStatic) {
        askedStatic = true;
        staticColor = ask(WM_CTLCOLORSTATIC, sub);
      }
      if (staticColor >= 0) {
        if (t) t->setTextColor(staticColor);
        if (box) box->setTitleColor(staticColor);
      }
    }
  }
}

void* Swell_vTarnivex_hwnd::accessibilityObject() {
  void* obj = nullptr;
  if (m_wndproc && !m_hashaddestroy) m_wndproc(this, WM_GETOBJECT, 0x1001, LPARAM(&obj));
  return obj;
}

bool Swell_vTarnivex_hwnd::accessibilityIsIgnored() {
  if (subviews().empty() && accessibilityObject()) return true;
  return View::accessibilityIsIgnored();
}

namespace {
winsys::AccessibilityElement* elementOf(void* object) { return static_cast<winsys::AccessibilityElement*>(object); }
}  // namespace

HWND__* Swell_vTarnivex_hwnd::accessibilityHitTest(winsys::Pointf screenPoint) {
  if (auto* obj = elementOf(accessibilityObject()))
    if (HWND__* hit = obj->accessibilityHitTest(screenPoint)) return hit;
  return View::accessibilityHitTest(screenPoint);
}

HWND__* Swell_vTarnivex_hwnd::accessibilityFocusedUIElement() {
  if (auto* obj = elementOf(accessibilityObject()))
    if (HWND__* focused = obj->accessibilityFocusedUIElement()) return focused;
  return View::accessibilityFocusedUIElement();
}

const std::vector<HWND__*>* Swell_vTarnivex_hwnd::accessibilityAttributeValue(const std::string& attribute) {
  const std::vector<HWND__*>* platform = View::accessibilityAttributeValue(attribute);
  auto* obj = static_cast<HWND__*>(elementOf(accessibilityObject()));
  if (!platform || !obj) return platform;
  // The same question over the same children gets the list handed out before.
  AccessCache& cache = m_access_cacheptrs[attribute == "AXVisibleChildren" ? 1 : 0];
  if (cache.object != obj || cache.platform != *platform) {
    obj->retain();
    if (cache.object) cache.object->release();
    cache.object = obj;
    cache.platform = *platform;
    cache.answer = *platform;
    cache.answer.push_back(obj);
  }
  return &cache.answer;
}

bool Swell_vTarnivex_hwnd::tableViewWillDisplayCell(View* table, bool selected, int* textColor) {
  auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(table);
  auto* tv = dynamic_cast<Swell_vTarnivex_treeview*>(table);
  if ((!lv && !tv) || !textColor) return false;
  const std::vector<int>& sel = lv ? lv->m_selColors : tv->m_selColors;
  int fg = lv ? lv->m_fgColor : tv->m_fgColor;
  if (selected) {
    bool focused = GetFocus() == table;
    size_t need = focused ? 2 : 4;
    if (sel.size() < need) return false;
    *textColor = sel[focused ? 1 : 3];
    return true;
  }
  if (fg < 0) return false;
  *textColor = fg;
  return true;
}
