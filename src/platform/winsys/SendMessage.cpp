// SendMessage and the message tables of the stock controls.
#include <strings.h>

#include <cstring>

#include "ComboBoxes.h"
#include "HwndView.h"
#include "Internal.h"
#include "model/Application.h"
#include "model/Controls.h"

using winsys::App;
using winsys::View;
using winsys::Window;
using namespace swell;

namespace {

LRESULT comboMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const char* text = reinterpret_cast<const char*>(lParam);
  int count = SWELL_CB_GetNumItems(hwnd, 0);
  switch (msg) {
    case CB_ADDSTRING: return SWELL_CB_InsertString(hwnd, 0, -1000, text);
    case CB_DELETESTRING: SWELL_CB_DeleteString(hwnd, 0, int(wParam)); return 1;
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return SWELL_CB_GetCurSel(hwnd, 0);
    case CB_GETLBTEXT: return SWELL_CB_GetItemText(hwnd, 0, int(wParam), reinterpret_cast<char*>(lParam), 1024);
    case CB_INSERTSTRING: return SWELL_CB_InsertString(hwnd, 0, int(wParam), text);
    case CB_RESETCONTENT: SWELL_CB_Empty(hwnd, 0); return 0;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      if (!text) return -1;
      return SWELL_CB_FindString(hwnd, 0, int(wParam), text, msg == CB_FINDSTRINGEXACT);
    case CB_SETCURSEL:
      if (int(wParam) >= 0 && int(wParam) < count) SWELL_CB_SetCurSel(hwnd, 0, int(wParam));
      return 0;
    case CB_GETITEMDATA: return SWELL_CB_GetItemData(hwnd, 0, int(wParam));
    case CB_SETITEMDATA: SWELL_CB_SetItemData(hwnd, 0, int(wParam), lParam); return 0;
    default: return 0;
  }
}

LRESULT sliderMessage(winsys::Slider* s, UINT msg, LPARAM lParam) {
  switch (msg) {
    case TBM_GETPOS: return LRESULT(s->value() + 0.5);
    case TBM_SETTIC: return 1;
    case TBM_SETPOS: s->setValue(double(int(lParam))); return 1;
    case TBM_SETRANGE:
      s->setMinValue(double(lParam & 0xFFFF));
      s->setMaxValue(double((uintptr_t(lParam) >> 16) & 0xFFFF));
      return 1;
    default: return 0;
  }
}

// The window's field editor, while it edits this field.
winsys::TextView* editorOf(winsys::TextField* f) {
  Window* w = f->window();
  if (!w || !f->isBeingEdited()) return nullptr;
  View* fr = asView(w->firstResponder());
  if (!fr || !fr->isDescendantOf(f)) return nullptr;
  return dynamic_cast<winsys::TextView*>(fr);
}

LRESULT editMessage(winsys::TextField* f, UINT msg, WPARAM wParam, LPARAM lParam) {
  winsys::TextView* ed = editorOf(f);
  if (msg == EM_GETSEL) {
    int start = ed ? int(ed->selectionStart()) : 0;
    int end = ed ? int(ed->selectionStart() + ed->selectionLength()) : 0;
    if (wParam) *reinterpret_cast<int*>(wParam) = start;
    if (lParam) *reinterpret_cast<int*>(lParam) = end;
    return 0;
  }
  if (msg == EM_SETSEL && ed) {
    int len = int(ed->string().size());
    long start = long(intptr_t(wParam)), end = long(lParam);
    if (end == -1) end = len;
    if (start == -1) start = end = 0;
    if (size_t(start) > size_t(len)) start = len;
    if (end > len) end = len;
    if (end < start) end = start;  // an end before the start selects nothing
    ed->setSelectedRange(size_t(start), size_t(end - start));
  }
  return 0;
}

}  // namespace

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return 0;
  View* v = asView(hwnd);
  if (v && v->answersOnSwellMessage()) return v->onSwellMessage(msg, wParam, lParam);
  if (Window* w = asWindow(hwnd); w && w->answersOnSwellMessage()) return w->onSwellMessage(msg, wParam, lParam);
  auto* button = dynamic_cast<winsys::Button*>(hwnd);
  if (msg == BM_SETCHECK && button) {
    button->setState((wParam & 2) ? -1 : (wParam & 1) ? 1 : 0);
    return 0;
  }
  if (msg == BM_GETCHECK && button) return button->state() < 0 ? 2 : button->state() > 0 ? 1 : 0;
  if ((msg == BM_GETIMAGE || msg == BM_SETIMAGE) && dynamic_cast<Swell_vTarnivex_button*>(hwnd)) {
    auto* b = static_cast<Swell_vTarnivex_button*>(hwnd);
    if (wParam > 1) return 0;
    HGDIOBJ old = b->getSwellGDIImage();
    if (msg == BM_SETIMAGE) {
      auto* obj = reinterpret_cast<HGDIOBJ>(lParam);
      void* image = SWELL_GetGdiObjectImage(obj);
      b->setImage(image);
      b->setSwellGDIImage(image ? obj : nullptr);
    }
    return LRESULT(old);
  }
  if (msg >= 0x143 && msg <= 0x161 && (dynamic_cast<winsys::PopUpButton*>(hwnd) || dynamic_cast<winsys::ComboBox*>(hwnd)))
    return msg > 0x158 ? 0 : comboMessage(hwnd, msg, wParam, lParam);
  if (msg >= 0x400 && msg <= 0x406)
    if (auto* s = dynamic_cast<winsys::Slider*>(hwnd)) return sliderMessage(s, msg, lParam);
  if (msg == EM_GETSEL || msg == EM_SETSEL || msg == 0xF0CC)
    if (auto* f = dynamic_cast<winsys::TextField*>(hwnd)) return editMessage(f, msg, wParam, lParam);
  if (v && isContentView(v) && v->window()->answersOnSwellMessage())
    return v->window()->onSwellMessage(msg, wParam, lParam);
  if (Window* w = asWindow(hwnd); w && w->contentView() && w->contentView()->answersOnSwellMessage())
    return w->contentView()->onSwellMessage(msg, wParam, lParam);
  return 0;
}

HWND GetFocus() {
  Window* key = App().keyWindow();
  if (!key) return nullptr;
  View* r = asView(key->firstResponder());
  if (!r) return nullptr;
  if (dynamic_cast<winsys::TextView*>(r) && r->superview() &&
      dynamic_cast<winsys::TextField*>(r->superview()->superview()))
    return r->superview()->superview();
  return r;
}

HWND GetParent(HWND hwnd) {
  Window* w = asWindow(hwnd);
  if (View* v = asView(hwnd)) {
    v = outerView(v);
    if (!isContentView(v)) return v->superview();
    w = v->window();
    if (!w) return nullptr;
  }
  if (w) {
    if (w->parentWindow() && w->parentWindow()->contentView()) return w->parentWindow()->contentView();
    if (w->answersOwner() && w->swellGetOwner()) {
      Window* o = w->swellGetOwner();
      return o->contentView() ? static_cast<HWND>(o->contentView()) : static_cast<HWND>(o);
    }
  }
  return nullptr;
}

void ScreenToClient(HWND hwnd, POINT* p) {
  View* v = viewOf(hwnd);
  if (!v || !p) return;
  winsys::Pointf q{double(p->x), double(p->y)};
  if (v->window()) q = v->window()->convertScreenToBase(q);
  q = v->convertPointFromBase(q);
  p->x = int(q.x + 0.5);
  p->y = int(q.y + 0.5);
}
