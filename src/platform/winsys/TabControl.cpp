// The tab control, group box and combo-box maker.
#include "TabControl.h"

#include "ComboBoxes.h"
#include "ControlCreation.h"
#include "Internal.h"
#include "model/Application.h"

using winsys::Rectf;

namespace {
Swell_vTarnivex_tabview* tabOf(HWND h) { return dynamic_cast<Swell_vTarnivex_tabview*>(h); }
}  // namespace

void Swell_vTarnivex_tabview::insertTab(int idx, const std::string& label) {
  labels.insert(labels.begin() + idx, label);
  if (selected >= idx && selected >= 0) ++selected;
  if (selected < 0) selectTabViewItemAtIndex(idx);  // the platform selects the first tab added
}

void Swell_vTarnivex_tabview::removeTab(int idx) {
  labels.erase(labels.begin() + idx);
  if (selected == idx) selected = labels.empty() ? -1 : std::min(idx, int(labels.size()) - 1);
  else if (selected > idx) --selected;
}

void Swell_vTarnivex_tabview::selectTabViewItemAtIndex(int idx) {
  if (idx < 0 || idx >= int(labels.size())) return;
  selected = idx;
  tabViewDidSelectTabViewItem();
}

void Swell_vTarnivex_tabview::tabViewDidSelectTabViewItem() {
  if (!m_dest) return;
  NMHDR nm{this, uintptr_t(m_tag), TCN_SELCHANGE};
  SendMessage(m_dest, WM_NOTIFY, WPARAM(m_tag), LPARAM(&nm));
}

void Swell_vTarnivex_tabview::setNeedsDisplay(bool needs) {
  View::setNeedsDisplay(needs);
  if (needs) SWELL_PropagateDirty(this);
}
void Swell_vTarnivex_tabview::setNeedsDisplayInRect(Rectf r) {
  View::setNeedsDisplayInRect(r);
  SWELL_PropagateDirty(this);
}
void Swell_vTarnivex_box::setNeedsDisplay(bool needs) {
  Box::setNeedsDisplay(needs);
  if (needs) SWELL_PropagateDirty(this);
}
void Swell_vTarnivex_box::setNeedsDisplayInRect(Rectf r) {
  Box::setNeedsDisplayInRect(r);
  SWELL_PropagateDirty(this);
}

int TabCtrl_GetItemCount(HWND h) {
  auto* t = tabOf(h);
  return t ? int(t->labels.size()) : 0;
}

int TabCtrl_InsertItem(HWND h, int idx, const TCITEM* item) {
  auto* t = tabOf(h);
  if (!t || !item || !(item->mask & TCIF_TEXT) || !item->pszText) return -1;
  int n = int(t->labels.size());
  idx = idx < 0 ? 0 : idx > n ? n : idx;
  HWND dest = t->m_dest;
  t->m_dest = nullptr;  // inserting sends no selection notice
  t->insertTab(idx, item->pszText);
  t->m_dest = dest;
  return idx;
}

BOOL TabCtrl_DeleteItem(HWND h, int idx) {
  auto* t = tabOf(h);
  if (!t || idx < 0 || idx >= int(t->labels.size())) return 0;
  t->removeTab(idx);
  return 1;
}

int TabCtrl_GetCurSel(HWND h) {
  auto* t = tabOf(h);
  return t && t->selected >= 0 ? t->selected : 0;
}

int TabCtrl_SetCurSel(HWND h, int idx) {
  auto* t = tabOf(h);
  if (!t) return -1;
  int old = t->selected >= 0 ? t->selected : 0;
  if (idx >= 0 && idx < int(t->labels.size())) t->selectTabViewItemAtIndex(idx);
  return old;
}

BOOL TabCtrl_AdjustRect(HWND h, BOOL larger, RECT* r) {
  if (!tabOf(h) || !r) return 0;
  int s = larger ? -1 : 1;
  r->left += 7 * s;
  r->top += 26 * s;
  r->right -= 7 * s;
  r->bottom -= 3 * s;
  return 1;
}

HWND SWELL_MakeGroupBox(const char* name, int idx, int x, int y, int w, int h, int style) {
  auto* box = new Swell_vTarnivex_box;
  box->setTag(idx);
  box->setTitle(swell::stripMnemonic(name ? name : ""));
  if (style & 0x300) box->titleCentered = true;
  int ay = y - 1, ah = h + 3;
  if (w < 0 && ah < 0)
    box->assignFrame({double(-x), double(1 - y), double(-w), double(-3 - h)});
  else
    box->assignFrame(swell::MakeCoords(x, ay, w, ah, false));
  if (winsys::View* owner = swell::makeOwner()) {
    owner->addSubview(box, -1, nullptr);
    box->release();
  } else {
    winsys::App().autorelease(box);
  }
  return box;
}

HWND SWELL_MakeCombo(int idx, int x, int y, int w, int, int flags) {
  winsys::View* owner = swell::makeOwner();
  winsys::Control* c;
  if ((flags & 3) != 3) {
    auto* cb = new Swell_vTarnivex_cbox;
    cb->focusRingNone = true;
    cb->fontSize = 10;
    cb->setEditable(true);
    cb->m_style = flags;
    cb->setTag(idx);
    Rectf f = swell::MakeCoords(x, y - 1, w, 22, true, true);
    f.height = 22;
    cb->assignFrame(f);
    cb->setTarget(owner);
    cb->delegate = owner;
    c = cb;
  } else {
    auto* pb = new Swell_vTarnivex_pub;
    pb->setTag(idx);
    pb->fontSize = 10;
    Rectf f = swell::MakeCoords(x, y, w, 18, true, true);
    f.height = 18;
    pb->assignFrame(f);
    pb->m_style = flags;
    pb->autoenablesItems = false;
    pb->setTarget(owner);
    if (g_swell_want_nice_style == 1) {
      pb->bezelStyle = 6;
      pb->arrowPosition = 2;
    }
    c = pb;
  }
  if (flags < 0) c->setHidden(true);
  if (owner) {
    owner->addSubview(c);
    c->release();
  } else {
    winsys::App().autorelease(c);
  }
  swell::UpdateAutoCoords(c->frame());
  return c;
}
