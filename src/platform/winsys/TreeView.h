// The layer's tree view: a forest of items that the control owns, shown by
// an outline of the window model, with Win32-style calls and notifications.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "HwndView.h"
#include "ListCells.h"
#include "Swell.h"
#include "model/TableView.h"

struct HTREEITEM__;
typedef HTREEITEM__* HTREEITEM;

struct TVITEM {
  UINT mask;
  HTREEITEM hItem;
  UINT state, stateMask;
  char* pszText;
  int cchTextMax;
  int iImage, iSelectedImage, cChildren;
  LPARAM lParam;
};
struct TVINSERTSTRUCT {
  HTREEITEM hParent, hInsertAfter;
  TVITEM item;
};
struct TVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
};

#define TVI_ROOT ((HTREEITEM)(intptr_t)-65536)
#define TVI_FIRST ((HTREEITEM)(intptr_t)-65535)
#define TVI_LAST ((HTREEITEM)(intptr_t)-65534)
#define TVI_SORT ((HTREEITEM)(intptr_t)-65533)

enum : int {
  TVIF_TEXT = 1, TVIF_PARAM = 4, TVIF_HANDLE = 0x10, TVIF_CHILDREN = 0x40,
  TVIS_SELECTED = 2, TVIS_EXPANDED = 0x20,
  TVE_COLLAPSE = 1, TVE_EXPAND = 2, TVE_TOGGLE = 3,
};

struct HTREEITEM__ {
  HTREEITEM__();
  ~HTREEITEM__();
  HTREEITEM__(const HTREEITEM__&) = delete;
  HTREEITEM__& operator=(const HTREEITEM__&) = delete;

  Swell_vTarnivex_sdh* m_dh;  // what the outline sees as the item
  bool m_haschildren = false;
  std::unique_ptr<std::string> m_value;
  std::vector<std::unique_ptr<HTREEITEM__>> m_children;
  LPARAM m_param = 0;
};

class Swell_vTarnivex_treeview : public winsys::TableView {
 public:
  explicit Swell_vTarnivex_treeview(winsys::Rectf frame = {});
  ~Swell_vTarnivex_treeview() override;

  bool getSwellStyle(LONG_PTR* out) override {
    *out = LONG_PTR(style);
    return true;
  }
  bool setSwellStyle(LONG_PTR v) override {
    style = long(v);
    return true;
  }

  // Finds an item anywhere in the tree: its parent (null for a root) and index there.
  bool findItem(HTREEITEM item, HTREEITEM* parOut, int* idxOut) const;
  std::vector<std::unique_ptr<HTREEITEM__>>& childrenOf(HTREEITEM parent) {
    return parent ? parent->m_children : m_items;
  }

  // The outline: visible rows (expanded items show their children).
  int numberOfRows() const override;
  HTREEITEM itemAtRow(int row) const;
  int rowForItem(HTREEITEM item) const;
  int levelForRow(int row) const;
  bool isItemExpanded(HTREEITEM item) const { return m_expanded.count(item) != 0; }
  void expandItem(HTREEITEM item);
  void collapseItem(HTREEITEM item);
  void forgetSubtree(HTREEITEM item);
  double indentationPerLevel = 16;

  void mouseDown(const winsys::Event& e) override;
  void mouseUp(const winsys::Event& e) override;
  void rightMouseUp(const winsys::Event& e) override;
  void mouseDragged(const winsys::Event&) override {}
  bool highlightSelectionInClipRect(winsys::Rectf clip);
  void setNeedsDisplay(bool needs) override;
  void setNeedsDisplayInRect(winsys::Rectf rect) override;
  void drawRect(winsys::Rectf rect) override;
  std::vector<SwellRowFill> m_lastFills;

  bool m_fakerightmouse = false;
  long style = 0;
  std::vector<std::unique_ptr<HTREEITEM__>> m_items;
  int m_fgColor = -1;
  std::vector<int> m_selColors;

 protected:
  void selectionDidChangeByUser() override;

 private:
  void flatten(std::vector<std::pair<HTREEITEM, int>>* out) const;
  std::set<HTREEITEM> m_expanded;
};

void SWELL_SetTreeViewSelColors(HWND h, std::vector<int> colors);

HTREEITEM TreeView_InsertItem(HWND h, TVINSERTSTRUCT* ins);
BOOL TreeView_DeleteItem(HWND h, HTREEITEM item);
BOOL TreeView_Expand(HWND h, HTREEITEM item, int code);
HTREEITEM TreeView_GetSelection(HWND h);
void TreeView_SelectItem(HWND h, HTREEITEM item);
BOOL TreeView_GetItem(HWND h, TVITEM* item);
BOOL TreeView_SetItem(HWND h, TVITEM* item);
HTREEITEM TreeView_HitTest(HWND h, TVHITTESTINFO* info);
HTREEITEM TreeView_GetRoot(HWND h);
HTREEITEM TreeView_GetChild(HWND h, HTREEITEM item);
HTREEITEM TreeView_GetNextSibling(HWND h, HTREEITEM item);
BOOL TreeView_SetIndent(HWND h, int n);
void TreeView_SetBkColor(HWND h, int color);
void TreeView_SetTextColor(HWND h, int color);
