// The list view's mouse gestures, hit tests, geometry, scrolling, selection
// painting and the sort that keeps the selection.
#include <algorithm>
#include <cmath>

#include "HwndView.h"
#include "Internal.h"
#include "ListCells.h"
#include "ListView.h"

using winsys::Event;
using winsys::Pointf;
using winsys::Rectf;

namespace {
Swell_vTarnivex_listview* lvOf(HWND h) { return dynamic_cast<Swell_vTarnivex_listview*>(h); }

LPARAM packedCursorIn(HWND owner) {
  POINT p;
  GetCursorPos(&p);
  if (owner) ScreenToClient(owner, &p);
  return LPARAM((p.y << 16) | (p.x & 0xFFFF));
}
}  // namespace

HWND Swell_vTarnivex_listview::owner() const { return target(); }

LRESULT Swell_vTarnivex_listview::sendToOwner(UINT msg, WPARAM wp, LPARAM lp) {
  return owner() ? SendMessage(owner(), msg, wp, lp) : 0;
}

void Swell_vTarnivex_listview::sendNotify(int code, int item, int sub, Pointf pt, LPARAM lp) {
  NMLISTVIEW nm{};
  nm.hdr = {this, uintptr_t(tag()), code};
  nm.iItem = item;
  nm.iSubItem = sub;
  nm.ptAction = {int(std::floor(pt.x)), int(std::floor(pt.y))};
  nm.lParam = lp;
  sendToOwner(WM_NOTIFY, WPARAM(tag()), LPARAM(&nm));
}

void Swell_vTarnivex_listview::selectionDidChangeByUser() {
  if (auto* v = dynamic_cast<Swell_vTarnivex_hwnd*>(delegate)) v->tableViewSelectionDidChange(this);
}

void Swell_vTarnivex_listview::mouseDown(const Event& e) {
  if ((e.modifierFlags & winsys::kControlKeyMask) && IsRightClickEmulateEnabled()) {
    m_fakerightmouse = true;
    m_start_item = m_start_subitem = -1;
    return;
  }
  m_leftmousemovecnt = 0;
  m_fakerightmouse = false;
  Pointf p = convertPointFromBase(e.locationInWindow);
  m_start_item = rowAtPoint(p);
  m_start_subitem = columnAtPoint(p);
  m_start_item_clickmode = 0;
  if (m_start_item < 0) return;
  if (m_start_subitem >= 0 && (m_fastClickMask & (1 << (m_start_subitem & 31)))) {
    sendNotify(NM_CLICK, m_start_item, m_start_subitem, p, ownerData() ? 0 : rowParam(m_start_item));
    m_start_item_clickmode = 4;
  } else if (m_status_imagelist_type == 1 && p.x <= rowHeight) {
    m_start_item_clickmode = 1;
  }
}

void Swell_vTarnivex_listview::mouseDragged(const Event&) {
  ++m_leftmousemovecnt;
  if (m_leftmousemovecnt == 4) {
    if (m_start_item >= 0 && !(m_start_item_clickmode & 3) && !m_lbMode) {
      if (!(m_start_item_clickmode & 4) && !isRowSelected(m_start_item))
        selectRowIndexes({m_start_item}, (GetAsyncKeyState(17) & 0x8000) != 0);
      NMLISTVIEW nm{};
      nm.hdr = {this, uintptr_t(tag()), LVN_BEGINDRAG};
      nm.iItem = m_start_item;
      nm.iSubItem = m_start_subitem;
      sendToOwner(WM_NOTIFY, WPARAM(tag()), LPARAM(&nm));
      m_start_item_clickmode |= 2;
    }
  } else if (m_leftmousemovecnt > 4 && !(m_start_item_clickmode & 1)) {
    sendToOwner(WM_MOUSEMOVE, 0, packedCursorIn(owner()));
  }
}

void Swell_vTarnivex_listview::mouseUp(const Event& e) {
  if (m_fakerightmouse || (e.modifierFlags & winsys::kControlKeyMask)) {
    rightMouseUp(e);
  } else if (!(m_start_item_clickmode & 1)) {
    if (m_leftmousemovecnt <= 3 && !(m_start_item_clickmode & 4)) {
      // The press the table never saw changes the selection only now.
      if (m_lbMode && !allowsMultipleSelection) deselectAll();
      platformMouseDown(e);
      platformMouseUp(e);
    } else if (m_leftmousemovecnt > 3) {
      sendToOwner(WM_LBUTTONUP, 0, packedCursorIn(owner()));
    }
  }
  if (!m_lbMode && !(m_start_item_clickmode & (2 | 4))) {
    Pointf p = convertPointFromBase(e.locationInWindow);
    int row = rowAtPoint(p);
    sendNotify(NM_CLICK, row, columnAtPoint(p), p, ownerData() ? 0 : rowParam(row));
  }
}

void Swell_vTarnivex_listview::rightMouseUp(const Event& e) {
  bool handled = false;
  if (!m_lbMode) {
    Pointf p = convertPointFromBase(e.locationInWindow);
    int row = rowAtPoint(p);
    if (row >= 0 && !isRowSelected(row)) selectRowIndexes({row}, false);
    NMLISTVIEW nm{};
    nm.hdr = {this, uintptr_t(tag()), NM_RCLICK};
    nm.iItem = row;
    nm.iSubItem = columnAtPoint(p);
    nm.ptAction = {int(std::floor(p.x)), int(std::floor(p.y))};
    handled = sendToOwner(WM_NOTIFY, WPARAM(tag()), LPARAM(&nm)) != 0;
  }
  if (!handled) sendToOwner(WM_CONTEXTMENU, WPARAM(static_cast<HWND>(this)), packedCursorIn(nullptr));
  m_fakerightmouse = false;
}

bool Swell_vTarnivex_listview::highlightSelectionInClipRect(Rectf clip) {
  m_lastFills.clear();
  if (m_selColors.empty()) return false;
  size_t entry = GetFocus() == this ? 0 : 2;
  if (entry >= m_selColors.size()) return false;
  int color = m_selColors[entry];
  int first = rowAtPoint({0, clip.y});
  for (int row = first < 0 ? 0 : first; row < itemCount(); ++row) {
    Rectf r = rectOfRow(row);
    if (r.y >= clip.maxY()) break;
    if (!isRowSelected(row)) continue;
    Rectf f = r.intersect(clip);
    if (f.width > 0 && f.height > 0) m_lastFills.push_back({f, color});
  }
  return true;
}

void Swell_vTarnivex_listview::drawRect(Rectf rect) {
  bool own = highlightSelectionInClipRect(rect);
  SWELL_PaintTableRows(this, rect, own ? &m_lastFills : nullptr, [this](int row, int pos, winsys::TableCell* cell) {
    cell->text = objectValue(row, getColumnIdx(pos), nullptr);
  });
}

void SWELL_SetListViewFastClickMask(HWND h, int mask) {
  if (auto* lv = lvOf(h)) lv->m_fastClickMask = mask;
}

int ListView_HitTest(HWND h, LVHITTESTINFO* info) {
  auto* lv = lvOf(h);
  if (!lv || !info) return -1;
  info->flags = 0;
  info->iItem = -1;
  winsys::ScrollView* sv = lv->enclosingScrollView();
  Rectf vis = sv ? sv->documentVisibleRect() : Rectf{};
  int x = info->pt.x - int(vis.x), y = info->pt.y - int(vis.y);
  if (x < 0) info->flags |= LVHT_TOLEFT;
  if (x >= int(vis.width)) info->flags |= LVHT_TORIGHT;
  if (y < 0) info->flags |= LVHT_ABOVE;
  if (y >= int(vis.height)) info->flags |= LVHT_BELOW;
  if (!info->flags) {
    int row = lv->rowAtPoint({double(info->pt.x), double(info->pt.y)});
    info->iItem = row;
    if (row >= 0)
      info->flags = lv->m_status_imagelist && x <= lv->rowHeight ? LVHT_ONITEMSTATEICON : LVHT_ONITEMLABEL;
    else
      info->flags = LVHT_NOWHERE;
  }
  return info->iItem;
}

int ListView_SubItemHitTest(HWND h, LVHITTESTINFO* info) {
  int row = ListView_HitTest(h, info);
  auto* lv = lvOf(h);
  if (!lv || !info) return row;
  double y = info->pt.y < 0 && row < 0 ? 0 : info->pt.y;
  info->iSubItem = lv->columnAtPoint({double(info->pt.x), y});
  return row;
}

BOOL ListView_GetSubItemRect(HWND h, int i, int sub, int, RECT* r) {
  auto* lv = lvOf(h);
  if (!lv || !r || i < 0 || i >= lv->itemCount()) return 0;
  if (sub != -1 && (sub < 0 || sub >= int(lv->m_cols.size()))) return 0;
  Rectf f = sub == -1 ? lv->rectOfRow(i) : lv->frameOfCellAtColumn(lv->getColumnPos(sub), i);
  f.width += lv->intercellSpacing.width;
  f.height += lv->intercellSpacing.height;
  *r = {int(f.x), int(f.y), int(f.maxX()), int(f.maxY())};
  return 1;
}

BOOL ListView_GetItemRect(HWND h, int i, RECT* r, int code) { return ListView_GetSubItemRect(h, i, -1, code, r); }

void ListView_EnsureVisible(HWND h, int i, BOOL) {
  auto* lv = lvOf(h);
  if (!lv || !lv->itemCount()) return;
  lv->scrollRowToVisible(std::clamp(i, 0, lv->itemCount() - 1));
}

int ListView_GetTopIndex(HWND h) {
  auto* lv = lvOf(h);
  winsys::ScrollView* sv = lv ? lv->enclosingScrollView() : nullptr;
  if (!sv) return -1;
  return lv->rowAtPoint({0, sv->documentVisibleRect().y});
}

int ListView_GetCountPerPage(HWND h) {
  auto* lv = lvOf(h);
  winsys::ScrollView* sv = lv ? lv->enclosingScrollView() : nullptr;
  int rh = lv ? int(lv->rowHeight) : 0;
  if (!sv || rh <= 0) return 0;
  return int(sv->documentVisibleRect().height / rh);
}

BOOL ListView_GetScroll(HWND h, POINT* p) {
  auto* lv = lvOf(h);
  winsys::ScrollView* sv = lv ? lv->enclosingScrollView() : nullptr;
  if (!p) return 0;
  if (!sv) {
    *p = {0, 0};
    return 0;
  }
  Rectf vis = sv->documentVisibleRect();
  *p = {int(vis.x), int(vis.y)};
  return 1;
}

BOOL ListView_Scroll(HWND h, int dx, int dy) {
  auto* lv = lvOf(h);
  winsys::ScrollView* sv = lv ? lv->enclosingScrollView() : nullptr;
  if (!sv) return 0;
  Rectf vis = sv->documentVisibleRect();
  Pointf ref{vis.x, vis.y};
  if (dx > 0) ref.x = vis.x + vis.width - 1;
  if (dy > 0) ref.y = vis.y + vis.height - 1;
  int lastRow = lv->itemCount() - 1, lastCol = lv->numberOfColumns() - 1;
  int row = std::min(std::max(lv->rowAtPoint(ref), 0), std::max(lastRow, 0));
  int col = std::min(std::max(lv->TableView::columnAtPoint(ref), 0), std::max(lastCol, 0));
  Rectf cell = lv->frameOfCellAtColumn(col, row);
  cell.width += lv->intercellSpacing.width;
  cell.height += lv->intercellSpacing.height;
  int cols = cell.width > 0 ? int(dx / cell.width) : 0;
  int rows = cell.height > 0 ? int(dy / cell.height) : 0;
  if (lastRow >= 0) lv->scrollRowToVisible(std::clamp(row + rows, 0, lastRow));
  if (lastCol >= 0) lv->scrollColumnToVisible(std::clamp(col + cols, 0, lastCol));
  return 1;
}

namespace {
using RowPtr = std::unique_ptr<SWELL_ListView_Row>;

// Stable top-down merge sort over the row pointers; the second half's tail stays in place.
void mergeSort(RowPtr* a, int n, RowPtr* tmp, int (*compare)(LPARAM, LPARAM, LPARAM), LPARAM param) {
  if (n < 2) return;
  int n1 = n / 2, n2 = n - n1;
  RowPtr* b = a + n1;
  if (n > 2) {
    mergeSort(a, n1, tmp, compare, param);
    mergeSort(b, n2, tmp, compare, param);
  }
  int i = 0, j = 0, k = 0;
  while (i < n1 && j < n2) {
    if (compare(a[i]->m_param, b[j]->m_param, param) <= 0)
      tmp[k++] = std::move(a[i++]);
    else
      tmp[k++] = std::move(b[j++]);
  }
  while (i < n1) tmp[k++] = std::move(a[i++]);
  for (int x = 0; x < k; ++x) a[x] = std::move(tmp[x]);
}
}  // namespace

void ListView_SortItems(HWND h, int (*compare)(LPARAM, LPARAM, LPARAM), LPARAM param) {
  auto* lv = lvOf(h);
  if (!lv || !compare || lv->m_lbMode || lv->ownerData()) return;
  auto& rows = lv->m_items;
  for (size_t i = 0; i < rows.size(); ++i) rows[i]->m_tmp = lv->isRowSelected(int(i)) ? 1 : 0;
  std::vector<RowPtr> scratch(rows.size());
  mergeSort(rows.data(), int(rows.size()), scratch.data(), compare, param);
  if (!rows.empty()) {
    std::set<int> sel;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i]->m_tmp & 1) sel.insert(int(i));
    lv->deselectAll();
    lv->selectRowIndexes(sel, false);
  }
  lv->reloadData();
}
