// The list view's rows, columns, items, states and colours.
#include "ListView.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "HwndView.h"
#include "Internal.h"
#include "ListCells.h"
#include "TreeView.h"

using winsys::TableColumn;

namespace {

Swell_vTarnivex_listview* lvOf(HWND h) { return dynamic_cast<Swell_vTarnivex_listview*>(h); }

// Nesting of all-items state calls, and whether a change notice is being delivered.
int gAllItemsDepth = 0;
bool gItemChangedReentry = false;

void setHeaderAlignment(TableColumn* c, int fmt) {
  int a = fmt == 1 ? 2 : fmt == 2 ? 1 : 0;
  c->headerAlignment = a;
  c->dataCell()->alignment = a;
}

// The Win32 sorted-insert search, with the comparison's operands swapped for a descending order.
int sortedInsertPosition(Swell_vTarnivex_listview* lv, const char* text, bool descending) {
  auto& rows = lv->m_items;
  auto cmp = [&](size_t i) {
    const char* t = rows[i]->m_vals.empty() ? "" : rows[i]->m_vals[0].c_str();
    return descending ? strcmp(t, text) : strcmp(text, t);
  };
  int lo = 0, len = int(rows.size()), n = int(rows.size());
  while (len > 0) {
    int mid = lo + len / 2;
    int c = cmp(size_t(mid));
    if (c == 0) return mid;
    if (c > 0) {
      lo = mid + 1;
      if (lo >= n) return n;
      if (cmp(size_t(lo)) <= 0) return lo;
      len--;
    }
    len /= 2;
  }
  return lo;
}

}  // namespace

Swell_vTarnivex_listview::Swell_vTarnivex_listview(winsys::Rectf frame) : TableView(frame) {}

Swell_vTarnivex_listview::~Swell_vTarnivex_listview() = default;

bool Swell_vTarnivex_listview::extendsSelection() const {
  return m_lbMode ? (m_style & 0x800) != 0 : !(m_style & 0x4);
}

void Swell_vTarnivex_listview::selectItem(int row) { selectRowIndexes({row}, extendsSelection()); }

int Swell_vTarnivex_listview::insertRow(int pos, const char* text) {
  auto row = std::make_unique<SWELL_ListView_Row>();
  row->m_vals.push_back(text ? text : "");
  int n = int(m_items.size());
  if (pos < 0) pos = 0;
  if (pos > n) pos = n;
  m_items.insert(m_items.begin() + pos, std::move(row));
  if (pos < n && numberOfSelectedRows()) {
    std::set<int> moved;
    for (int r : selectedRowIndexes()) moved.insert(r >= pos ? r + 1 : r);
    deselectAll();
    reloadData();
    selectRowIndexes(moved, false);
  } else {
    reloadData();
  }
  return pos;
}

void Swell_vTarnivex_listview::deleteRow(int row) {
  int n = int(m_items.size());
  if (row < 0 || row >= n) return;
  std::set<int> keep;
  bool shift = row < n - 1 && numberOfSelectedRows();
  if (shift)
    for (int r : selectedRowIndexes())
      if (r != row) keep.insert(r > row ? r - 1 : r);
  m_items.erase(m_items.begin() + row);
  if (shift) {
    deselectAll();
    selectRowIndexes(keep, false);
  } else {
    deselectRow(row);
  }
  reloadData();
}

int Swell_vTarnivex_listview::getColumnPos(int idx) const {
  if (idx < 0 || idx >= int(m_cols.size())) return idx;
  int pos = indexOfColumn(m_cols[size_t(idx)]);
  return pos < 0 ? idx : pos;
}

int Swell_vTarnivex_listview::getColumnIdx(int pos) const {
  if (pos < 0 || pos >= numberOfColumns()) return pos;
  TableColumn* c = tableColumns()[size_t(pos)];
  for (size_t i = 0; i < m_cols.size(); ++i)
    if (m_cols[i] == c) return int(i);
  return -1;
}

int Swell_vTarnivex_listview::columnAtPoint(winsys::Pointf p) const { return getColumnIdx(TableView::columnAtPoint(p)); }

std::string Swell_vTarnivex_listview::objectValue(int row, int col, int* image) {
  std::string text;
  int img = 0;
  TableColumn* column = col >= 0 && col < int(m_cols.size()) ? m_cols[size_t(col)] : nullptr;
  if (!ownerData()) {
    if (row >= 0 && row < int(m_items.size())) {
      auto& r = *m_items[size_t(row)];
      if (col >= 0 && col < int(r.m_vals.size())) text = r.m_vals[size_t(col)];
      if (m_status_imagelist_type == 1 || m_status_imagelist_type == 2) img = r.m_imageidx;
    }
    if ((m_style & 0x10) && column)
      if (auto* od = dynamic_cast<Swell_vTarnivex_ODlistviewcell*>(column->dataCell())) od->setItemIdx(row);
  } else {
    char buf[1024] = {};
    NMLVDISPINFO nm{};
    nm.hdr = {this, uintptr_t(tag()), LVN_GETDISPINFO};
    nm.item.mask = LVIF_TEXT | (m_status_imagelist_type == 2 ? LVIF_IMAGE : m_status_imagelist_type == 1 ? LVIF_STATE : 0);
    nm.item.iItem = row;
    nm.item.iSubItem = col;
    nm.item.iImage = -1;
    nm.item.pszText = buf;
    nm.item.cchTextMax = sizeof buf - 1;
    if (target()) SendMessage(target(), WM_NOTIFY, WPARAM(tag()), LPARAM(&nm));
    text = nm.item.pszText ? nm.item.pszText : "";
    if (m_status_imagelist_type == 2) img = nm.item.iImage + 1;
    if (m_status_imagelist_type == 1) img = int((nm.item.state >> 16) & 0xFFFF);
  }
  if (!m_lbMode && m_status_imagelist && column)
    if (auto* sc = dynamic_cast<Swell_vTarnivex_statuscell*>(column->dataCell())) {
      HICON icon = img > 0 ? SWELL_ImageListEntry(m_status_imagelist, img - 1) : nullptr;
      sc->setStatusImage(icon ? SWELL_GetGdiObjectImage(icon) : nullptr);
    }
  if (image) *image = img;
  return text;
}

void Swell_vTarnivex_listview::setNeedsDisplay(bool needs) {
  View::setNeedsDisplay(needs);
  if (needs) SWELL_PropagateDirty(this);
}

void Swell_vTarnivex_listview::setNeedsDisplayInRect(winsys::Rectf rect) {
  View::setNeedsDisplayInRect(rect);
  SWELL_PropagateDirty(this);
}

void Swell_vTarnivex_progind::setNeedsDisplay(bool needs) {
  View::setNeedsDisplay(needs);
  if (needs) SWELL_PropagateDirty(this);
}

void Swell_vTarnivex_progind::setNeedsDisplayInRect(winsys::Rectf rect) {
  View::setNeedsDisplayInRect(rect);
  SWELL_PropagateDirty(this);
}

void SWELL_PropagateDirty(winsys::View* from) {
  for (winsys::View* v = from ? from->superview() : nullptr; v; v = v->superview()) {
    auto* h = dynamic_cast<Swell_vTarnivex_hwnd*>(v);
    if (!h) continue;
    if (h->dirtyBits() & 2) break;
    h->setDirtyBits(h->dirtyBits() | 2);
  }
}

// Columns and header.

int ListView_InsertColumn(HWND h, int col, const LVCOLUMN* lvc) {
  auto* lv = lvOf(h);
  if (!lv || !lvc) return 0;
  auto* c = new TableColumn;
  if (col == 0 && lv->m_status_imagelist) c->setDataCell(std::make_unique<Swell_vTarnivex_statuscell>());
  else c->setDataCell(std::make_unique<Swell_vTarnivex_listviewcell>());
  c->editable = false;
  c->dataCell()->editable = false;
  if (lvc->mask & LVCF_WIDTH) {
    c->width = lvc->cx;
    c->hidden = lvc->cx == 0;
  }
  if (lvc->mask & LVCF_FMT) setHeaderAlignment(c, lvc->fmt);
  if ((lvc->mask & LVCF_TEXT) && !lv->m_lbMode && !(lv->m_style & 0x4000) && lvc->pszText) c->headerTitle = lvc->pszText;
  lv->addTableColumn(c);
  lv->m_cols.push_back(c);
  return int(lv->m_cols.size()) - 1;
}

BOOL ListView_SetColumn(HWND h, int col, const LVCOLUMN* lvc) {
  auto* lv = lvOf(h);
  if (!lv || !lvc || col < 0 || col >= int(lv->m_cols.size())) return 0;
  TableColumn* c = lv->m_cols[size_t(col)];
  if (lvc->mask & LVCF_FMT) setHeaderAlignment(c, lvc->fmt);
  if (lvc->mask & LVCF_WIDTH) {
    c->hidden = lvc->cx == 0;
    if (lvc->cx) c->width = lvc->cx;
  }
  if ((lvc->mask & LVCF_TEXT) && !lv->m_lbMode && !(lv->m_style & 0x4000) && lvc->pszText) c->headerTitle = lvc->pszText;
  return 1;
}

BOOL ListView_DeleteColumn(HWND h, int col) {
  auto* lv = lvOf(h);
  if (!lv || col < 0 || col >= int(lv->m_cols.size())) return 0;
  TableColumn* c = lv->m_cols[size_t(col)];
  lv->m_cols.erase(lv->m_cols.begin() + col);
  lv->removeTableColumn(c);
  return 1;
}

int ListView_GetColumnWidth(HWND h, int col) {
  auto* lv = lvOf(h);
  if (!lv || col < 0 || col >= int(lv->m_cols.size())) return 0;
  TableColumn* c = lv->m_cols[size_t(col)];
  return c->hidden ? 0 : int(c->width + 0.5);
}

void ListView_SetColumnWidth(HWND h, int col, int width) {
  auto* lv = lvOf(h);
  if (!lv || col < 0 || col >= int(lv->m_cols.size())) return;
  TableColumn* c = lv->m_cols[size_t(col)];
  c->hidden = width == 0;
  if (width) c->width = width;
}

BOOL ListView_GetColumnOrderArray(HWND h, int n, int* order) {
  auto* lv = lvOf(h);
  if (!lv || !order || n != int(lv->m_cols.size())) return 0;
  for (int i = 0; i < n; ++i) order[i] = lv->getColumnPos(i);
  return 1;
}

BOOL ListView_SetColumnOrderArray(HWND h, int n, const int* order) {
  auto* lv = lvOf(h);
  if (!lv || !order || n != int(lv->m_cols.size())) return 0;
  for (int i = 0; i < n; ++i) lv->moveColumn(lv->getColumnPos(i), order[i]);
  return 1;
}

HWND ListView_GetHeader(HWND h) { return lvOf(h); }

int Header_GetItemCount(HWND h) {
  auto* lv = lvOf(h);
  return lv ? lv->numberOfColumns() : 0;
}

BOOL Header_GetItem(HWND h, int col, HDITEM* hi) {
  auto* lv = lvOf(h);
  if (!lv || !hi || col < 0 || col >= int(lv->m_cols.size())) return 0;
  if (hi->mask & HDI_FORMAT) {
    const std::string& img = lv->m_cols[size_t(col)]->indicatorImage;
    hi->fmt = img == "NSAscendingSortIndicator" ? HDF_SORTUP : img == "NSDescendingSortIndicator" ? HDF_SORTDOWN : 0;
  }
  return 1;
}

BOOL Header_SetItem(HWND h, int col, const HDITEM* hi) {
  auto* lv = lvOf(h);
  if (!lv || !hi || col < 0 || col >= int(lv->m_cols.size())) return 0;
  if (hi->mask & HDI_FORMAT)
    lv->m_cols[size_t(col)]->indicatorImage = (hi->fmt & HDF_SORTUP)     ? "NSAscendingSortIndicator"
                                              : (hi->fmt & HDF_SORTDOWN) ? "NSDescendingSortIndicator"
                                                                         : "";
  return 1;
}

void ListView_SetExtendedListViewStyleEx(HWND h, int mask, int style) {
  auto* lv = lvOf(h);
  if (!lv) return;
  if (mask & LVS_EX_GRIDLINES) lv->gridStyle = (style & LVS_EX_GRIDLINES) ? 3 : 0;
  if (mask & LVS_EX_HEADERDRAGDROP) lv->allowsColumnReordering = (style & LVS_EX_HEADERDRAGDROP) != 0;
}

void ListView_SetImageList(HWND h, HIMAGELIST list, int type) {
  auto* lv = lvOf(h);
  if (!lv) return;
  lv->m_status_imagelist = list;
  lv->m_status_imagelist_type = type;
  if (!lv->m_cols.empty()) lv->m_cols[0]->setDataCell(std::make_unique<Swell_vTarnivex_statuscell>());
}

// Items.

int ListView_GetItemCount(HWND h) {
  auto* lv = lvOf(h);
  return lv ? lv->itemCount() : 0;
}

void ListView_SetItemCount(HWND h, int n) {
  auto* lv = lvOf(h);
  if (lv && lv->ownerData()) lv->ownermode_cnt = n;
}

int ListView_InsertItem(HWND h, const LVITEM* item) {
  auto* lv = lvOf(h);
  if (!lv || !item) return 0;
  if (item->iSubItem) return 0;
  if (lv->ownerData()) return -1;
  int n = int(lv->m_items.size());
  int pos = item->iItem < 0 ? 0 : item->iItem > n ? n : item->iItem;
  const char* text = (item->mask & LVIF_TEXT) ? item->pszText : nullptr;
  if (!lv->m_lbMode && (item->mask & LVIF_TEXT)) {
    if (lv->m_style & 0x10)
      pos = sortedInsertPosition(lv, text ? text : "", false);
    else if (lv->m_style & 0x20)
      pos = sortedInsertPosition(lv, text ? text : "", true);
  }
  pos = lv->insertRow(pos, text);
  auto& row = *lv->m_items[size_t(pos)];
  if (item->mask & LVIF_PARAM) row.m_param = item->lParam;
  if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK)) row.m_imageidx = int((item->state >> 16) & 0xFF);
  if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_SELECTED) && (item->state & LVIS_SELECTED)) lv->selectItem(pos);
  return pos;
}

void ListView_DeleteItem(HWND h, int i) {
  if (auto* lv = lvOf(h); lv && !lv->ownerData()) lv->deleteRow(i);
}

void ListView_DeleteAllItems(HWND h) {
  auto* lv = lvOf(h);
  if (!lv) return;
  lv->ownermode_cnt = 0;
  lv->m_items.clear();
  lv->deselectAll();
  lv->reloadData();
}

void ListView_SetItemText(HWND h, int i, int sub, const char* text) {
  auto* lv = lvOf(h);
  if (!lv || unsigned(sub) >= 32 || lv->ownerData() || i < 0 || i >= int(lv->m_items.size())) return;
  auto& vals = lv->m_items[size_t(i)]->m_vals;
  while (int(vals.size()) < sub) vals.emplace_back();
  std::string s = text ? text : "";
  if (int(vals.size()) == sub)
    vals.push_back(s);
  else
    vals[size_t(sub)] = s;
  lv->reloadData();
}

void ListView_GetItemText(HWND h, int i, int sub, char* buf, int size) {
  LVITEM it{};
  it.mask = LVIF_TEXT;
  it.iItem = i;
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = size;
  ListView_GetItem(h, &it);
}

BOOL ListView_SetItem(HWND h, LVITEM* item) {
  auto* lv = lvOf(h);
  if (!lv || !item) return 0;
  if (!lv->ownerData()) {
    if (item->iItem < 0 || item->iItem >= int(lv->m_items.size())) return 0;
    auto& row = *lv->m_items[size_t(item->iItem)];
    if (item->mask & LVIF_PARAM) row.m_param = item->lParam;
    if ((item->mask & LVIF_TEXT) && item->pszText) ListView_SetItemText(h, item->iItem, item->iSubItem, item->pszText);
    if ((item->mask & LVIF_IMAGE) && item->iImage >= 0) {
      row.m_imageidx = item->iImage + 1;
      lv->reloadData();
    }
  }
  if ((item->mask & LVIF_STATE) && item->stateMask) ListView_SetItemState(h, item->iItem, item->state, item->stateMask);
  return 1;
}

BOOL ListView_GetItem(HWND h, LVITEM* item) {
  auto* lv = lvOf(h);
  if (!lv || !item) return 0;
  if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1) item->pszText[0] = 0;
  item->state = 0;
  int i = item->iItem;
  if (i < 0 || i >= lv->itemCount()) return 0;
  if (!lv->ownerData()) {
    auto& row = *lv->m_items[size_t(i)];
    if (item->mask & LVIF_PARAM) item->lParam = row.m_param;
    if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1) {
      const char* t = item->iSubItem >= 0 && item->iSubItem < int(row.m_vals.size()) ? row.m_vals[size_t(item->iSubItem)].c_str() : "";
      lstrcpyn(item->pszText, t, item->cchTextMax);
    }
    if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK)) item->state |= UINT(row.m_imageidx) << 16;
  }
  if (item->mask & LVIF_STATE) {
    if ((item->stateMask & LVIS_SELECTED) && lv->isRowSelected(i)) item->state |= LVIS_SELECTED;
    if ((item->stateMask & LVIS_FOCUSED) && lv->selectedRow() == i) item->state |= LVIS_FOCUSED;
  }
  return 1;
}

BOOL ListView_SetItemState(HWND h, int i, UINT state, UINT mask) {
  auto* lv = lvOf(h);
  if (!lv) return 0;
  if (i == -1) {
    ++gAllItemsDepth;
    for (int k = 0; k < lv->itemCount(); ++k) ListView_SetItemState(h, k, state, mask);
    --gAllItemsDepth;
    if (!lv->ownerData()) lv->reloadData();
    return 1;
  }
  if (i < 0 || i >= lv->itemCount()) return 0;
  bool reload = false;
  if (!lv->ownerData() && (mask & LVIS_STATEIMAGEMASK)) {
    int img = int((state >> 16) & 0xFF);
    auto& row = *lv->m_items[size_t(i)];
    reload = row.m_imageidx != img;
    row.m_imageidx = img;
  }
  bool changed = false;
  if (mask & LVIS_SELECTED) {
    bool sel = lv->isRowSelected(i);
    if ((state & LVIS_SELECTED) && !sel) {
      lv->selectItem(i);
      changed = true;
    } else if (!(state & LVIS_SELECTED) && sel) {
      lv->deselectRow(i);
      changed = true;
    }
  }
  if (changed && !gAllItemsDepth && !gItemChangedReentry) {
    gItemChangedReentry = true;
    NMLISTVIEW nm{};
    nm.hdr = {lv, uintptr_t(lv->tag()), LVN_ITEMCHANGED};
    nm.iItem = i;
    nm.uNewState = state;
    SendMessage(GetParent(lv), WM_NOTIFY, WPARAM(lv->tag()), LPARAM(&nm));
    gItemChangedReentry = false;
  }
  if (reload) lv->reloadData();
  return 1;
}

UINT ListView_GetItemState(HWND h, int i, UINT mask) {
  auto* lv = lvOf(h);
  if (!lv || i < 0 || i >= lv->itemCount()) return 0;
  UINT r = 0;
  if ((mask & LVIS_STATEIMAGEMASK) && !lv->ownerData()) r |= UINT(lv->m_items[size_t(i)]->m_imageidx) << 16;
  if ((mask & LVIS_SELECTED) && lv->isRowSelected(i)) r |= LVIS_SELECTED;
  if ((mask & LVIS_FOCUSED) && lv->selectedRow() == i) r |= LVIS_FOCUSED;
  return r;
}

int ListView_GetNextItem(HWND h, int start, int flags) {
  if (flags != LVNI_SELECTED && flags != LVNI_FOCUSED) return -1;
  auto* lv = lvOf(h);
  if (!lv) return 0;
  if (flags == LVNI_FOCUSED) return lv->selectedRow();
  for (int i = start < 0 ? 0 : start + 1; i < lv->itemCount(); ++i)
    if (lv->isRowSelected(i)) return i;
  return -1;
}

int ListView_GetSelectedCount(HWND h) {
  auto* lv = lvOf(h);
  return lv ? lv->numberOfSelectedRows() : 0;
}

int ListView_GetSelectionMark(HWND h) {
  auto* lv = lvOf(h);
  return lv ? lv->selectedRow() : 0;
}

void ListView_RedrawItems(HWND h, int, int) {
  if (auto* lv = lvOf(h); lv && !lv->ownerData()) lv->reloadData();
}

int SWELL_GetListViewHeaderHeight(HWND h) {
  auto* lv = lvOf(h);
  return lv && lv->hasHeaderView() ? int(lv->headerHeight() + 0.5) : 0;
}

void ListView_SetBkColor(HWND h, int color) {
  if (auto* lv = lvOf(h)) lv->backgroundColor = color;
}
void ListView_SetGridColor(HWND h, int color) {
  if (auto* lv = lvOf(h)) lv->gridColor = color;
}
void ListView_SetTextColor(HWND h, int color) {
  if (auto* lv = lvOf(h)) lv->m_fgColor = color;
}
void ListView_SetTextBkColor(HWND, int) {}

void ListView_SetSelColors(HWND h, const int* colors, int n) {
  std::vector<int> list(size_t(n > 0 ? n : 0), 0);
  for (int i = 0; colors && i < n; ++i) list[size_t(i)] = colors[i] & 0xFFFFFF;
  if (auto* lv = lvOf(h))
    lv->m_selColors = std::move(list);
  else
    SWELL_SetTreeViewSelColors(h, std::move(list));
}
