#include "ListCells.h"

#include <cmath>

#include "HwndView.h"
#include "ListView.h"
#include "TreeView.h"

RECT SWELL_CellItemRect(winsys::Rectf f) {
  int left = int(f.x + 0.5), top = int(f.y + 0.5);
  return {left, top, left + int(f.width + 0.5), top + int(f.height + 0.5)};
}

namespace {
RECT pixelsOf(winsys::Rectf f) {
  return {int(std::floor(f.x)), int(std::floor(f.y)), int(std::ceil(f.maxX())), int(std::ceil(f.maxY()))};
}

// A cell's text, through the context the view is painting with.
void drawCellText(const winsys::TableCell& cell, winsys::Rectf frame, winsys::View* view) {
  const SwellPaintBackend& pb = SWELL_GetPaintBackend();
  if (!view || cell.text.empty() || !pb.createContext || !pb.drawText) return;
  HDC hdc = pb.createContext(view);
  if (!hdc) return;
  RECT r = pixelsOf(frame);
  int align = cell.alignment == 1 ? 0x4 : cell.alignment == 2 ? 0x20 : 0;  // DT_CENTER, DT_RIGHT
  pb.drawText(hdc, cell.text.c_str(), &r, cell.textColor >= 0 ? cell.textColor : 0, align | 0x2 | 0x40 | 0x80);
  if (pb.deleteContext) pb.deleteContext(hdc);
}
}  // namespace

void SWELL_PaintTableRows(winsys::TableView* table, winsys::Rectf rect, const std::vector<SwellRowFill>* ownFills,
                          const std::function<void(int row, int pos, winsys::TableCell* cell)>& prepare) {
  const SwellPaintBackend& pb = SWELL_GetPaintBackend();
  // One context for the pass: the cells' own draws share it.
  HDC hdc = pb.createContext ? pb.createContext(table) : nullptr;
  int first = std::max(table->rowAtPoint({0, rect.y}), 0);
  int rows = table->numberOfRows();
  auto fill = [&](winsys::Rectf r, int color) {
    if (!hdc || !pb.fillRect || color < 0) return;
    RECT px = pixelsOf(r);
    HBRUSH brush = CreateSolidBrush(color);
    pb.fillRect(hdc, &px, brush);
    DeleteObject(brush);
  };
  if (ownFills) {
    for (const SwellRowFill& f : *ownFills) fill(f.rect, f.color);
  } else if (table->numberOfColumns()) {
    int color = table->tableColumns()[0]->dataCell()->highlightColor(table);
    for (int row = first; row < rows && table->rectOfRow(row).y < rect.maxY(); ++row)
      if (table->isRowSelected(row)) fill(table->rectOfRow(row).intersect(rect), color);
  }
  auto* owner = dynamic_cast<Swell_vTarnivex_hwnd*>(table->delegate);
  for (int row = first; row < rows && table->rectOfRow(row).y < rect.maxY(); ++row)
    for (int pos = 0; pos < table->numberOfColumns(); ++pos) {
      winsys::TableColumn* c = table->tableColumns()[size_t(pos)];
      if (c->hidden) continue;
      winsys::TableCell* cell = c->dataCell();
      prepare(row, pos, cell);
      int color = -1;
      if (!owner || !owner->tableViewWillDisplayCell(table, table->isRowSelected(row), &color)) color = -1;
      cell->textColor = color;
      cell->drawWithFrame(table->frameOfCellAtColumn(pos, row), table);
    }
  if (hdc && pb.deleteContext) pb.deleteContext(hdc);
}

void Swell_vTarnivex_listviewcell::drawInteriorWithFrame(winsys::Rectf frame, winsys::View* view) {
  drawCellText(*this, frame, view);
}

void Swell_vTarnivex_statuscell::drawInteriorWithFrame(winsys::Rectf frame, winsys::View* view) {
  drawCellText(*this, frame, view);
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
