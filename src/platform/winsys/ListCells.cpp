#include "ListCells.h"

#include "ListView.h"
#include "TreeView.h"

RECT SWELL_CellItemRect(winsys::Rectf f) {
  int left = int(f.x + 0.5), top = int(f.y + 0.5);
  return {left, top, left + int(f.width + 0.5), top + int(f.height + 0.5)};
}

int Swell_vTarnivex_listviewcell::highlightColor(winsys::View* view) {
  if (auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(view); lv && !lv->m_selColors.empty()) return -1;
  if (auto* tv = dynamic_cast<Swell_vTarnivex_treeview*>(view); tv && !tv->m_selColors.empty()) return -1;
  return TableCell::highlightColor(view);
}

int Swell_vTarnivex_statuscell::highlightColor(winsys::View* view) {
  if (auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(view); lv && !lv->m_selColors.empty()) return -1;
  return TableCell::highlightColor(view);
}

void Swell_vTarnivex_statuscell::drawWithFrame(winsys::Rectf f, winsys::View* view) {
  lastImageRect = status ? winsys::Rectf{f.x, f.y, f.height, f.height} : winsys::Rectf{};
  // The text moves right of the image's square even when there is no image.
  lastTextRect = {f.x + f.height + 2, f.y, f.width - (f.height + 2), f.height};
  TableCell::drawWithFrame(lastTextRect, view);
}

namespace {
void sendDrawItem(HWND to, DRAWITEMSTRUCT* dis) {
  if (to) SendMessage(to, WM_DRAWITEM, WPARAM(dis->CtlID), LPARAM(dis));
}
}  // namespace

void Swell_vTarnivex_ODlistviewcell::drawInteriorWithFrame(winsys::Rectf frame, winsys::View* view) {
  if (!m_ownctl) return TableCell::drawInteriorWithFrame(frame, view);
  const SwellPaintBackend& pb = SWELL_GetPaintBackend();
  HDC hdc = pb.createContext ? pb.createContext(view) : nullptr;
  if (!hdc) return;
  DRAWITEMSTRUCT dis{};
  dis.CtlType = 2;
  dis.CtlID = UINT(m_ownctl->tag());
  dis.itemID = UINT(m_lastidx);
  dis.hwndItem = m_ownctl;
  dis.hDC = hdc;
  dis.rcItem = SWELL_CellItemRect(frame);
  dis.itemData = uintptr_t(m_ownctl->rowParam(m_lastidx));
  sendDrawItem(GetParent(m_ownctl), &dis);
  if (pb.deleteContext) pb.deleteContext(hdc);
}

void Swell_vTarnivex_ODbuttoncell::drawWithFrame(winsys::Rectf frame, winsys::View* controlView) {
  if (!controlView) return;
  const SwellPaintBackend& pb = SWELL_GetPaintBackend();
  HDC hdc = pb.createContext ? pb.createContext(controlView) : nullptr;
  DRAWITEMSTRUCT dis{};
  dis.CtlType = 4;
  dis.CtlID = UINT(controlView->tag());
  dis.hwndItem = controlView;
  dis.hDC = hdc;
  dis.rcItem = SWELL_CellItemRect(frame);
  sendDrawItem(GetParent(controlView), &dis);
  if (hdc && pb.deleteContext) pb.deleteContext(hdc);
}
