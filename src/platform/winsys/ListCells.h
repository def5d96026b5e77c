// The cells that draw list rows and owner-drawn buttons.
#pragma once

#include <functional>
#include <vector>

#include "Swell.h"
#include "model/Controls.h"
#include "model/TableView.h"

class Swell_vTarnivex_listview;

struct DRAWITEMSTRUCT {
  UINT CtlType, CtlID, itemID, itemAction, itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  uintptr_t itemData;
};

// The rounding of a cell frame into an item rectangle.
RECT SWELL_CellItemRect(winsys::Rectf frame);

// Paints a list's or tree's rows over a rectangle of it: the selected rows'
// fills (the list's own colours, else the cells' highlight), then every cell
// of every row there, each after the delegate's text-colour hook.
// prepare sets a cell's text for (row, display column).
struct SwellRowFill {
  winsys::Rectf rect;
  int color;
};
void SWELL_PaintTableRows(winsys::TableView* table, winsys::Rectf rect, const std::vector<SwellRowFill>* ownFills,
                          const std::function<void(int row, int pos, winsys::TableCell* cell)>& prepare);

// A text cell that does not wrap; no highlight colour while the list paints its own selection.
class Swell_vTarnivex_listviewcell : public winsys::TableCell {
 public:
  Swell_vTarnivex_listviewcell() { wraps = false; }
  int highlightColor(winsys::View* view) override;
  void drawInteriorWithFrame(winsys::Rectf frame, winsys::View* view) override;
};

// The first column's cell of a list with an image list: the image in a square at the left, the text after it.
class Swell_vTarnivex_statuscell : public winsys::TableCell {
 public:
  void setStatusImage(void* image) { status = image; }
  void* statusImage() const { return status; }
  void drawWithFrame(winsys::Rectf frame, winsys::View* view) override;
  int highlightColor(winsys::View* view) override;
  void drawInteriorWithFrame(winsys::Rectf frame, winsys::View* view) override;
  // Where the last draw put the image (empty without one) and the text.
  winsys::Rectf lastImageRect, lastTextRect;

 private:
  void* status = nullptr;
};

// A list-box row drawn by the owner window through WM_DRAWITEM.
class Swell_vTarnivex_ODlistviewcell : public winsys::TableCell {
 public:
  void setOwnerControl(Swell_vTarnivex_listview* owner) {
    m_ownctl = owner;
    m_lastidx = 0;
  }
  void setItemIdx(int idx) { m_lastidx = idx; }
  int itemIdx() const { return m_lastidx; }
  void drawInteriorWithFrame(winsys::Rectf frame, winsys::View* view) override;

 private:
  Swell_vTarnivex_listview* m_ownctl = nullptr;
  int m_lastidx = 0;
};

// An owner-drawn button's cell.
class Swell_vTarnivex_ODbuttoncell : public winsys::Button::Cell {
 public:
  bool isTransparent() const { return true; }
  bool isOpaque() const { return false; }
  void drawWithFrame(winsys::Rectf frame, winsys::View* controlView) override;
};
