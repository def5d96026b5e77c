#include "Dialogs.h"

#include <cstring>

#include "ControlCreation.h"
#include "HwndView.h"
#include "Internal.h"
#include "TopLevelWindows.h"
#include "model/Application.h"

using winsys::App;

SWELL_DialogResourceIndex* SWELL_curmodule_dialogresource_head = nullptr;

void SWELL_GenerateDialogFromList(const void* entries, int count) {
  auto* e = static_cast<const SWELL_DialogControlEntry*>(entries);
  for (int i = 0; e && i < count; ++i, ++e) {
    const char* t = e->tag ? e->tag : "";
    int p1 = int(e->p1), id = int(e->id);
    if (!strcmp(t, "__SWELL_BUTTON"))
      SWELL_MakeButton(p1, e->p2, id, e->x, e->y, e->w, e->h, e->style);
    else if (!strcmp(t, "__SWELL_EDIT"))
      SWELL_MakeEditField(id, e->x, e->y, e->w, e->h, e->style);
    else if (!strcmp(t, "__SWELL_COMBO"))
      SWELL_MakeCombo(id, e->x, e->y, e->w, e->h, e->style);
    else if (!strcmp(t, "__SWELL_LISTBOX"))
      SWELL_MakeControl("", id, "SysListView32_LB", e->style, e->x, e->y, e->w, e->h, 0);
    else if (!strcmp(t, "__SWELL_GROUP"))
      SWELL_MakeGroupBox(e->p2, id, e->x, e->y, e->w, e->h, e->style);
    else if (!strcmp(t, "__SWELL_CHECKBOX"))
      SWELL_MakeControl(e->p2, id, "Button", e->style | 3, e->x, e->y, e->w, e->h, 0);
    else if (!strcmp(t, "__SWELL_LABEL"))
      SWELL_MakeLabel(p1, e->p2, id, e->x, e->y, e->w, e->h, e->style);
    // A named class: id, class name, style, x, y, w, h, extended style; the first word is the text.
    else if (e->p2 && *e->p2)
      SWELL_MakeControl(t, int(e->p1), e->p2, int(e->id), e->x, e->y, e->w, e->h, e->style);
  }
}

namespace {
SWELL_DialogResourceIndex* findRecord(SWELL_DialogResourceIndex* head, const char* resid) {
  for (SWELL_DialogResourceIndex* r = head; r; r = r->next)
    if (r->resid == int(intptr_t(resid))) return r;
  return nullptr;
}

bool isSystemPanel(winsys::Window* w) {
  auto* p = dynamic_cast<winsys::Panel*>(w);
  return p && p->takesAccessoryView();
}
}  // namespace

int SWELL_DialogBox(SWELL_DialogResourceIndex* head, const char* resid, HWND parent, DialogProc dlgproc,
                    LPARAM param) {
  SWELL_DialogResourceIndex* rec = findRecord(head, resid);
  if (!rec || (rec->windowTypeFlags & 1)) return -1;
  HWND view = SWELL_CreateDialogBoxWindow(rec, parent, dlgproc, param);
  winsys::View* v = swell::asView(view);
  auto* box = v ? dynamic_cast<Swell_vTarnivex_dialogbox*>(v->window()) : nullptr;
  if (!box) return -1;
  box->retain();
  int ret = 0;
  if (box->swellHasModalRetVal()) {
    // Ended while it was being built: never shown.
    ret = box->swellGetModalRetVal();
    if (v->answersOnSwellMessage()) v->onSwellMessage(WM_DESTROY, 0, 0);
    box->close();
  } else {
    winsys::ModalSession* s = App().beginModalSession(box);
    // Without anyone to answer the dialog the run ends at once, as a dismissed one would.
    while (App().hasModalDriver() && App().runModalSession(s) == winsys::kModalResponseContinue && !box->isClosed()) {
    }
    App().endModalSession(s);
    ret = box->swellGetModalRetVal();
    if (!box->isClosed()) box->close();
  }
  box->release();
  return ret;
}

HWND SWELL_CreateDialog(SWELL_DialogResourceIndex* head, const char* resid, HWND parent, DialogProc dlgproc,
                        LPARAM param) {
  intptr_t id = intptr_t(resid);
  unsigned forced = 0;
  bool forceStyle = false;
  SWELL_DialogResourceIndex* rec = nullptr;
  if (id >= 0x400000 && id < 0x400000 + 16) {
    forced = winsys::kTitledWindowMask;
    if (!(id & 4)) forced |= winsys::kClosableWindowMask;
    if (!(id & 2)) forced |= winsys::kMiniaturizableWindowMask;
    if (id & 1) forced |= winsys::kResizableWindowMask;
    forceStyle = (id & 0xF) != 0;
    if (!forceStyle) forced = 0;
  } else if (id) {
    rec = findRecord(head, resid);
    if (!rec) return nullptr;
  }
  HWND host = nullptr;
  if (winsys::View* pv = swell::asView(parent))
    host = pv;
  else if (winsys::Window* pw = swell::asWindow(parent))
    host = isSystemPanel(pw) ? static_cast<HWND>(pw) : static_cast<HWND>(pw->contentView());
  if (host && ((!rec && !forceStyle) || (rec && (rec->windowTypeFlags & 1)))) {
    Swell_vTarnivex_hwnd* v = Swell_vTarnivex_hwnd::create(rec, host, dlgproc, param);
    v->setCreateWindowFlags(15);
    return v;
  }
  return SWELL_CreateModelessWindow(rec, parent, dlgproc, param, forceStyle ? forced : 0);
}

void EndDialog(HWND hwnd, int result) {
  if (!hwnd) return;
  winsys::View* view = swell::asView(hwnd);
  winsys::Window* w = view ? view->window() : swell::asWindow(hwnd);
  if (!view && w) view = w->contentView();
  if (!w || !view) return;
  SWELL_SetModalRetVal(w, result);
  if (App().modalWindow() != w) return;
  if (view->answersOnSwellMessage()) view->onSwellMessage(WM_DESTROY, 0, 0);
  const winsys::Event* e = App().currentEvent();
  if (e && e->window == w) App().stopModal();
  App().abortModal();
  w->close();
}

HMENU SWELL_GetDefaultWindowMenu() { return g_swell_defaultmenu; }
void SWELL_SetDefaultWindowMenu(HMENU menu) { g_swell_defaultmenu = menu; }
HMENU SWELL_GetDefaultModalWindowMenu() { return g_swell_defaultmenumodal; }
void SWELL_SetDefaultModalWindowMenu(HMENU menu) { g_swell_defaultmenumodal = menu; }

void CheckDlgButton(HWND hwnd, int id, int check) {
  if (auto* b = dynamic_cast<winsys::Button*>(GetDlgItem(hwnd, id))) b->setState((check & 2) ? -1 : (check & 1));
}

int IsDlgButtonChecked(HWND hwnd, int id) {
  auto* b = dynamic_cast<winsys::Button*>(GetDlgItem(hwnd, id));
  if (!b) return 0;
  return b->state() < 0 ? BST_INDETERMINATE : b->state() > 0 ? BST_CHECKED : BST_UNCHECKED;
}

namespace {
winsys::View* trackbarMessenger(HWND c) {
  winsys::View* v = swell::asView(c);
  return v && v->answersOnSwellMessage() ? v : nullptr;
}
}  // namespace

int SWELL_TB_GetPos(HWND hwnd, int id) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* s = dynamic_cast<winsys::Slider*>(c)) return int(s->value() + 0.5);
  if (auto* v = trackbarMessenger(c)) return int(v->onSwellMessage(TBM_GETPOS, 0, 0));
  return 0;
}

void SWELL_TB_SetPos(HWND hwnd, int id, int pos) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* s = dynamic_cast<winsys::Slider*>(c))
    s->setValue(pos);
  else if (auto* v = trackbarMessenger(c))
    v->onSwellMessage(TBM_SETPOS, 1, pos);
}

void SWELL_TB_SetRange(HWND hwnd, int id, int low, int high) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* s = dynamic_cast<winsys::Slider*>(c)) {
    s->setMinValue(low);
    s->setMaxValue(high);
  } else if (auto* v = trackbarMessenger(c)) {
    v->onSwellMessage(TBM_SETRANGE, 1, LPARAM((low & 0xFFFF) | (high << 16)));
  }
}

void SWELL_TB_SetTic(HWND hwnd, int id, int pos) {
  if (auto* v = trackbarMessenger(GetDlgItem(hwnd, id))) v->onSwellMessage(TBM_SETTIC, 0, pos);
}
