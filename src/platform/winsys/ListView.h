// The layer's list view: a Win32-style list-view control and, in list-box
// mode, a list box. Rows with sub-item texts, logical columns, owner data,
// images, selection colours, the press-drag-release notifications and the
// sort that keeps the selection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ListCells.h"
#include "Swell.h"
#include "SwellGdi.h"  // image lists: entry n - 1 is shown for image index n
#include "model/TableView.h"

struct LVITEM {
  UINT mask;
  int iItem, iSubItem;
  UINT state, stateMask;
  char* pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};
struct LVCOLUMN {
  UINT mask;
  int fmt;
  int cx;
  char* pszText;
  int cchTextMax;
  int iSubItem;
};
struct HDITEM {
  UINT mask;
  int cxy;
  char* pszText;
  HBITMAP hbm;
  int cchTextMax;
  int fmt;
};
struct LVHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem, iSubItem;
};
struct NMLVDISPINFO {
  NMHDR hdr;
  LVITEM item;
};


enum : int {
  LVN_BEGINDRAG = -109, LVN_GETDISPINFO = -150, NM_CLICK = -2,
  LVIF_TEXT = 1, LVIF_IMAGE = 2, LVIF_PARAM = 4, LVIF_STATE = 8,
  LVIS_SELECTED = 1, LVIS_FOCUSED = 2, LVIS_STATEIMAGEMASK = 0xFF0000,
  LVNI_SELECTED = 1, LVNI_FOCUSED = 2,
  LVCF_FMT = 1, LVCF_WIDTH = 2, LVCF_TEXT = 4,
  LVSIL_STATE = 1, LVSIL_SMALL = 2,
  LVHT_NOWHERE = 1, LVHT_ONITEMLABEL = 4, LVHT_ONITEMSTATEICON = 8, LVHT_ABOVE = 0x10, LVHT_BELOW = 0x20,
  LVHT_TORIGHT = 0x40, LVHT_TOLEFT = 0x80,
  LVS_EX_GRIDLINES = 1, LVS_EX_HEADERDRAGDROP = 0x10,
  HDI_FORMAT = 4, HDF_SORTUP = 0x400, HDF_SORTDOWN = 0x200,
};

struct SWELL_ListView_Row {
  std::vector<std::string> m_vals;
  LPARAM m_param = 0;
  int m_imageidx = 0;
  int m_tmp = 0;  // sort scratch: 1 when the row was selected
};

class Swell_vTarnivex_listview : public winsys::TableView {
 public:
  explicit Swell_vTarnivex_listview(winsys::Rectf frame = {});
  ~Swell_vTarnivex_listview() override;

  bool answersOnSwellMessage() const override { return true; }
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool answersCommand() const override { return true; }
  void onSwellCommand(View*) override {}
  bool getSwellStyle(LONG_PTR* out) override {
    *out = LONG_PTR(m_style);
    return true;
  }
  bool setSwellStyle(LONG_PTR v) override {
    m_style = unsigned(v);
    return true;
  }
  int getSwellNotificationMode() const { return m_lbMode; }
  void setSwellNotificationMode(int mode) { m_lbMode = mode; }

  bool ownerData() const { return !m_lbMode && (m_style & 0x1000); }
  int itemCount() const { return ownerData() ? ownermode_cnt : int(m_items.size()); }
  int numberOfRows() const override { return itemCount(); }
  LPARAM rowParam(int row) const {
    return row >= 0 && row < int(m_items.size()) ? m_items[size_t(row)]->m_param : 0;
  }
  bool hasColumns() const { return !m_cols.empty(); }
  std::vector<std::unique_ptr<SWELL_ListView_Row>>& rows() { return m_items; }

  // Logical column <-> display position.
  int getColumnPos(int idx) const;
  int getColumnIdx(int pos) const;
  int columnAtPoint(winsys::Pointf p) const override;
  // The text and image index a cell shows (owner data asks the owner).
  std::string objectValue(int row, int col, int* image);

  // The selection the list's own state calls make (single-selection and
  // extended-selection rules).
  void selectItem(int row);
  bool extendsSelection() const;

  // Row operations shared by the list-box messages and the list-view calls.
  int insertRow(int pos, const char* text);
  void deleteRow(int row);

  void mouseDown(const winsys::Event& e) override;
  void mouseDragged(const winsys::Event& e) override;
  void mouseUp(const winsys::Event& e) override;
  void rightMouseUp(const winsys::Event& e) override;
  void drawRect(winsys::Rectf rect) override;
  void setNeedsDisplay(bool needs) override;
  void setNeedsDisplayInRect(winsys::Rectf rect) override;
  // Fills the selected rows with the selection colour; false when the table's own highlight is used.
  bool highlightSelectionInClipRect(winsys::Rectf clip);
  // What the last selection painting filled: rectangle and colour.
  std::vector<SwellRowFill> m_lastFills;

  int m_leftmousemovecnt = 0;
  bool m_fakerightmouse = false;
  unsigned m_style = 0;
  int ownermode_cnt = 0;
  int m_start_item = -1, m_start_subitem = -1;
  int m_start_item_clickmode = 0;
  int m_lbMode = 0;
  std::vector<std::unique_ptr<SWELL_ListView_Row>> m_items;
  std::vector<winsys::TableColumn*> m_cols;
  HIMAGELIST m_status_imagelist = nullptr;
  int m_status_imagelist_type = -1;
  int m_fastClickMask = 0;
  int m_fgColor = -1;
  std::vector<int> m_selColors;

 protected:
  void selectionDidChangeByUser() override;

 private:
  void sendNotify(int code, int item, int sub, winsys::Pointf pt, LPARAM lp);
  LRESULT sendToOwner(UINT msg, WPARAM wp, LPARAM lp);
  HWND owner() const;
};

// The layer's progress bar.
class Swell_vTarnivex_progind : public winsys::View {
 public:
  using View::View;
  bool answersOnSwellMessage() const override { return true; }
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int t) override { m_tag = t; }
  void setNeedsDisplay(bool needs) override;
  void setNeedsDisplayInRect(winsys::Rectf rect) override;
  int m_tag = 0;
  double minValue = 0, maxValue = 100, value = 0;
  bool animating = true;
  bool indeterminate = false;
};


int ListView_InsertColumn(HWND h, int col, const LVCOLUMN* lvc);
BOOL ListView_SetColumn(HWND h, int col, const LVCOLUMN* lvc);
BOOL ListView_DeleteColumn(HWND h, int col);
int ListView_GetColumnWidth(HWND h, int col);
void ListView_SetColumnWidth(HWND h, int col, int width);
BOOL ListView_GetColumnOrderArray(HWND h, int n, int* order);
BOOL ListView_SetColumnOrderArray(HWND h, int n, const int* order);
HWND ListView_GetHeader(HWND h);
int Header_GetItemCount(HWND h);
BOOL Header_GetItem(HWND h, int col, HDITEM* hi);
BOOL Header_SetItem(HWND h, int col, const HDITEM* hi);
void ListView_SetExtendedListViewStyleEx(HWND h, int mask, int style);
void ListView_SetImageList(HWND h, HIMAGELIST list, int type);
int ListView_GetItemCount(HWND h);
void ListView_SetItemCount(HWND h, int n);
int ListView_InsertItem(HWND h, const LVITEM* item);
void ListView_DeleteItem(HWND h, int i);
void ListView_DeleteAllItems(HWND h);
void ListView_SetItemText(HWND h, int i, int sub, const char* text);
void ListView_GetItemText(HWND h, int i, int sub, char* buf, int size);
BOOL ListView_SetItem(HWND h, LVITEM* item);
BOOL ListView_GetItem(HWND h, LVITEM* item);
BOOL ListView_SetItemState(HWND h, int i, UINT state, UINT mask);
UINT ListView_GetItemState(HWND h, int i, UINT mask);
int ListView_GetNextItem(HWND h, int start, int flags);
int ListView_GetSelectedCount(HWND h);
int ListView_GetSelectionMark(HWND h);
void ListView_RedrawItems(HWND h, int first, int last);
int SWELL_GetListViewHeaderHeight(HWND h);
void ListView_SetBkColor(HWND h, int color);
void ListView_SetGridColor(HWND h, int color);
void ListView_SetTextColor(HWND h, int color);
void ListView_SetTextBkColor(HWND h, int color);
void ListView_SetSelColors(HWND h, const int* colors, int n);

void SWELL_SetListViewFastClickMask(HWND h, int mask);
int ListView_HitTest(HWND h, LVHITTESTINFO* info);
int ListView_SubItemHitTest(HWND h, LVHITTESTINFO* info);
BOOL ListView_GetItemRect(HWND h, int i, RECT* r, int code);
BOOL ListView_GetSubItemRect(HWND h, int i, int sub, int code, RECT* r);
void ListView_EnsureVisible(HWND h, int i, BOOL partial);
int ListView_GetTopIndex(HWND h);
int ListView_GetCountPerPage(HWND h);
BOOL ListView_GetScroll(HWND h, POINT* p);
BOOL ListView_Scroll(HWND h, int dx, int dy);
void ListView_SortItems(HWND h, int (*compare)(LPARAM, LPARAM, LPARAM), LPARAM param);
