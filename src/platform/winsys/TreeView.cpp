// The tree view's items, navigation, selection notices and mouse handling.
#include "TreeView.h"

#include <cstring>

#include "Internal.h"
#include "ListView.h"

using winsys::Event;
using winsys::Rectf;

namespace {

Swell_vTarnivex_treeview* tvOf(HWND h) { return dynamic_cast<Swell_vTarnivex_treeview*>(h); }

bool isSpecial(HTREEITEM h) { return !h || h == TVI_ROOT || h == TVI_FIRST || h == TVI_LAST || h == TVI_SORT; }

// Each of the two selecting calls keeps its own guard against nested notices.
bool gSelectItemReentry = false;
bool gSetItemReentry = false;

void notifySelChanged(Swell_vTarnivex_treeview* tv) {
  NMTREEVIEW nm{};
  nm.hdr = {tv, uintptr_t(tv->tag()), TVN_SELCHANGED};
  SendMessage(GetParent(tv), WM_NOTIFY, WPARAM(tv->tag()), LPARAM(&nm));
}

// Runs a change of the tree and keeps the same item selected afterwards.
template <class F>
void keepingSelection(Swell_vTarnivex_treeview* tv, F change) {
  HTREEITEM sel = tv->itemAtRow(tv->selectedRow());
  change();
  tv->reloadData();
  int row = sel ? tv->rowForItem(sel) : -1;
  if (row >= 0)
    tv->selectRowIndexes({row}, false);
  else
    tv->deselectAll();
}

void selectAlone(Swell_vTarnivex_treeview* tv, HTREEITEM item) {
  int row = tv->rowForItem(item);
  if (row >= 0) tv->selectRowIndexes({row}, false);
}

void sendNmhdr(Swell_vTarnivex_treeview* tv, int code, LRESULT* result) {
  struct {
    NMHDR hdr;
    int zeros[5];
  } nm{};
  nm.hdr = {tv, uintptr_t(tv->tag()), code};
  LRESULT r = tv->target() ? SendMessage(tv->target(), WM_NOTIFY, WPARAM(tv->tag()), LPARAM(&nm)) : 0;
  if (result) *result = r;
}

}  // namespace

HTREEITEM__::HTREEITEM__() : m_dh(new Swell_vTarnivex_sdh(0)) {}

HTREEITEM__::~HTREEITEM__() {
  while (!m_children.empty()) m_children.pop_back();  // last child first
  m_dh->release();
}

Swell_vTarnivex_treeview::Swell_vTarnivex_treeview(Rectf frame) : TableView(frame) {
  allowsMultipleSelection = false;
  setHasHeaderView(false);
}

Swell_vTarnivex_treeview::~Swell_vTarnivex_treeview() = default;

bool Swell_vTarnivex_treeview::findItem(HTREEITEM item, HTREEITEM* parOut, int* idxOut) const {
  if (!item) return false;
  for (size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i].get() == item) {
      if (parOut) *parOut = nullptr;
      if (idxOut) *idxOut = int(i);
      return true;
    }
  // Each item first checks its own children, then searches into each child in turn.
  std::vector<HTREEITEM> stack;
  auto search = [&](auto&& self, HTREEITEM node) -> bool {
    for (size_t i = 0; i < node->m_children.size(); ++i)
      if (node->m_children[i].get() == item) {
        if (parOut) *parOut = node;
        if (idxOut) *idxOut = int(i);
        return true;
      }
    for (auto& c : node->m_children)
      if (self(self, c.get())) return true;
    return false;
  };
  for (auto& root : m_items)
    if (search(search, root.get())) return true;
  return false;
}

void Swell_vTarnivex_treeview::flatten(std::vector<std::pair<HTREEITEM, int>>* out) const {
  auto walk = [&](auto&& self, const std::vector<std::unique_ptr<HTREEITEM__>>& list, int level) -> void {
    for (auto& c : list) {
      out->push_back({c.get(), level});
      if (m_expanded.count(c.get())) self(self, c->m_children, level + 1);
    }
  };
  walk(walk, m_items, 0);
}

int Swell_vTarnivex_treeview::numberOfRows() const {
  std::vector<std::pair<HTREEITEM, int>> rows;
  flatten(&rows);
  return int(rows.size());
}

HTREEITEM Swell_vTarnivex_treeview::itemAtRow(int row) const {
  std::vector<std::pair<HTREEITEM, int>> rows;
  flatten(&rows);
  return row >= 0 && row < int(rows.size()) ? rows[size_t(row)].first : nullptr;
}

int Swell_vTarnivex_treeview::levelForRow(int row) const {
  std::vector<std::pair<HTREEITEM, int>> rows;
  flatten(&rows);
  return row >= 0 && row < int(rows.size()) ? rows[size_t(row)].second : -1;
}

int Swell_vTarnivex_treeview::rowForItem(HTREEITEM item) const {
  std::vector<std::pair<HTREEITEM, int>> rows;
  flatten(&rows);
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].first == item) return int(i);
  return -1;
}

// An item shows its children only when it is expandable, and only when its ancestors are expanded.
void Swell_vTarnivex_treeview::expandItem(HTREEITEM item) {
  if (!item || !item->m_haschildren) return;
  keepingSelection(this, [&] { m_expanded.insert(item); });
}

void Swell_vTarnivex_treeview::collapseItem(HTREEITEM item) {
  keepingSelection(this, [&] { m_expanded.erase(item); });
}

void Swell_vTarnivex_treeview::forgetSubtree(HTREEITEM item) {
  m_expanded.erase(item);
  for (auto& c : item->m_children) forgetSubtree(c.get());
}

void Swell_vTarnivex_treeview::selectionDidChangeByUser() {
  if (auto* owner = dynamic_cast<Swell_vTarnivex_hwnd*>(delegate)) owner->outlineViewSelectionDidChange(this);
}

void Swell_vTarnivex_treeview::mouseDown(const Event& e) {
  if ((e.modifierFlags & winsys::kControlKeyMask) && IsRightClickEmulateEnabled()) {
    m_fakerightmouse = true;
    return;
  }
  sendNmhdr(this, NM_CLICK, nullptr);
  m_fakerightmouse = false;
  // The outline's own press: the disclosure area left of the text toggles, elsewhere the row is selected.
  winsys::Pointf p = convertPointFromBase(e.locationInWindow);
  int row = rowAtPoint(p);
  if (HTREEITEM it = itemAtRow(row); it && it->m_haschildren) {
    double left = levelForRow(row) * indentationPerLevel;
    if (p.x >= left && p.x < left + indentationPerLevel) {
      if (isItemExpanded(it))
        collapseItem(it);
      else
        expandItem(it);
      return;
    }
  }
  platformMouseDown(e);
}

void Swell_vTarnivex_treeview::mouseUp(const Event& e) {
  if (m_fakerightmouse || (e.modifierFlags & winsys::kControlKeyMask)) rightMouseUp(e);
}

void Swell_vTarnivex_treeview::rightMouseUp(const Event&) {
  LRESULT r = 0;
  sendNmhdr(this, NM_RCLICK, &r);
  if (!r && target()) {
    POINT p;
    GetCursorPos(&p);
    SendMessage(target(), WM_CONTEXTMENU, WPARAM(static_cast<HWND>(this)), LPARAM((p.y << 16) | (p.x & 0xFFFF)));
  }
  m_fakerightmouse = false;
}

bool Swell_vTarnivex_treeview::highlightSelectionInClipRect(Rectf clip) {
  m_lastFills.clear();
  if (m_selColors.empty()) return false;
  size_t entry = GetFocus() == this ? 0 : 2;
  if (entry >= m_selColors.size()) return false;
  int row = selectedRow();
  if (row < 0) return true;
  Rectf r = rectOfRow(row).intersect(clip);
  if (r.width > 0 && r.height > 0) m_lastFills.push_back({r, m_selColors[entry]});
  return true;
}

void Swell_vTarnivex_treeview::drawRect(Rectf rect) {
  bool own = highlightSelectionInClipRect(rect);
  SWELL_PaintTableRows(this, rect, own ? &m_lastFills : nullptr, [this](int row, int, winsys::TableCell* cell) {
    HTREEITEM it = itemAtRow(row);
    cell->text = it && it->m_value ? *it->m_value : "";
  });
}

void Swell_vTarnivex_treeview::setNeedsDisplay(bool needs) {
  View::setNeedsDisplay(needs);
  if (needs) SWELL_PropagateDirty(this);
}

void Swell_vTarnivex_treeview::setNeedsDisplayInRect(Rectf rect) {
  View::setNeedsDisplayInRect(rect);
  SWELL_PropagateDirty(this);
}

void SWELL_SetTreeViewSelColors(HWND h, std::vector<int> colors) {
  if (auto* tv = tvOf(h)) tv->m_selColors = std::move(colors);
}

HTREEITEM TreeView_InsertItem(HWND h, TVINSERTSTRUCT* ins) {
  auto* tv = tvOf(h);
  if (!tv || !ins) return nullptr;
  HTREEITEM parent = nullptr;
  if (!isSpecial(ins->hParent)) {
    if (!tv->findItem(ins->hParent, nullptr, nullptr)) return nullptr;
    parent = ins->hParent;
  }
  auto& list = tv->childrenOf(parent);
  int idx = int(list.size());
  HTREEITEM after = ins->hInsertAfter;
  if (after == TVI_FIRST) {
    idx = 0;
  } else if (after && after != TVI_LAST && after != TVI_SORT) {
    idx = 0;
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].get() == after) idx = int(i) + 1;
  }
  auto item = std::make_unique<HTREEITEM__>();
  HTREEITEM raw = item.get();
  if (ins->item.mask & TVIF_CHILDREN) raw->m_haschildren = ins->item.cChildren != 0;
  if (ins->item.mask & TVIF_PARAM) raw->m_param = ins->item.lParam;
  if ((ins->item.mask & TVIF_TEXT) && ins->item.pszText) raw->m_value = std::make_unique<std::string>(ins->item.pszText);
  keepingSelection(tv, [&] { list.insert(list.begin() + std::min(idx, int(list.size())), std::move(item)); });
  return raw;
}

BOOL TreeView_DeleteItem(HWND h, HTREEITEM item) {
  auto* tv = tvOf(h);
  HTREEITEM parent = nullptr;
  int idx = 0;
  if (!tv || !tv->findItem(item, &parent, &idx)) return 0;
  keepingSelection(tv, [&] {
    tv->forgetSubtree(item);
    auto& list = tv->childrenOf(parent);
    list.erase(list.begin() + idx);
  });
  return 1;
}

BOOL TreeView_Expand(HWND h, HTREEITEM item, int code) {
  auto* tv = tvOf(h);
  if (!tv || !item) return 0;
  bool expanded = tv->isItemExpanded(item);
  if ((code == TVE_EXPAND || code == TVE_TOGGLE) && !expanded) {
    tv->expandItem(item);
    return tv->isItemExpanded(item) ? 1 : 0;
  }
  if ((code == TVE_COLLAPSE || code == TVE_TOGGLE) && expanded) {
    tv->collapseItem(item);
    return 1;
  }
  return 0;
}

HTREEITEM TreeView_GetSelection(HWND h) {
  auto* tv = tvOf(h);
  return tv ? tv->itemAtRow(tv->selectedRow()) : nullptr;
}

void TreeView_SelectItem(HWND h, HTREEITEM item) {
  auto* tv = tvOf(h);
  if (!tv || !item) return;
  selectAlone(tv, item);
  if (gSelectItemReentry) return;
  gSelectItemReentry = true;
  notifySelChanged(tv);
  gSelectItemReentry = false;
}

BOOL TreeView_GetItem(HWND h, TVITEM* item) {
  auto* tv = tvOf(h);
  if (!tv || !item || !(item->mask & TVIF_HANDLE) || !item->hItem) return 0;
  HTREEITEM it = item->hItem;
  item->cChildren = it->m_haschildren ? 1 : 0;
  item->lParam = it->m_param;
  if ((item->mask & TVIF_TEXT) && item->pszText && item->cchTextMax >= 1)
    lstrcpyn(item->pszText, it->m_value ? it->m_value->c_str() : "", item->cchTextMax);
  int row = tv->rowForItem(it);
  item->state = (row >= 0 && tv->isRowSelected(row) ? TVIS_SELECTED : 0) | (tv->isItemExpanded(it) ? TVIS_EXPANDED : 0);
  return 1;
}

BOOL TreeView_SetItem(HWND h, TVITEM* item) {
  auto* tv = tvOf(h);
  if (!tv || !item || !(item->mask & TVIF_HANDLE) || !tv->findItem(item->hItem, nullptr, nullptr)) return 0;
  HTREEITEM it = item->hItem;
  if (item->mask & TVIF_CHILDREN) it->m_haschildren = item->cChildren != 0;
  if (item->mask & TVIF_PARAM) it->m_param = item->lParam;
  if ((item->mask & TVIF_TEXT) && item->pszText) {
    it->m_value = std::make_unique<std::string>(item->pszText);
    InvalidateRect(tv, nullptr, 0);
  }
  if ((item->stateMask & TVIS_SELECTED) && (item->state & TVIS_SELECTED)) {
    selectAlone(tv, it);
    if (!gSetItemReentry) {
      gSetItemReentry = true;
      notifySelChanged(tv);
      gSetItemReentry = false;
    }
  }
  if (item->stateMask & TVIS_EXPANDED) {
    bool expanded = tv->isItemExpanded(it);
    if ((item->state & TVIS_EXPANDED) && !expanded) tv->expandItem(it);
    if (!(item->state & TVIS_EXPANDED) && expanded) tv->collapseItem(it);
  }
  return 1;
}

HTREEITEM TreeView_HitTest(HWND h, TVHITTESTINFO* info) {
  auto* tv = tvOf(h);
  if (!tv || !info) return nullptr;
  winsys::Pointf p{double(info->pt.x), double(info->pt.y)};
  for (int row = 0; row < tv->numberOfRows(); ++row)
    if (tv->rectOfRow(row).contains(p)) return tv->itemAtRow(row);
  return nullptr;
}

HTREEITEM TreeView_GetRoot(HWND h) {
  auto* tv = tvOf(h);
  return tv && !tv->m_items.empty() ? tv->m_items[0].get() : nullptr;
}

HTREEITEM TreeView_GetChild(HWND h, HTREEITEM item) {
  auto* tv = tvOf(h);
  if (!tv) return nullptr;
  if (!item) return TreeView_GetRoot(h);
  return item->m_children.empty() ? nullptr : item->m_children[0].get();
}

HTREEITEM TreeView_GetNextSibling(HWND h, HTREEITEM item) {
  auto* tv = tvOf(h);
  if (!tv) return nullptr;
  if (!item) return TreeView_GetRoot(h);
  HTREEITEM parent = nullptr;
  int idx = 0;
  if (!tv->findItem(item, &parent, &idx)) return nullptr;
  auto& list = tv->childrenOf(parent);
  return idx + 1 < int(list.size()) ? list[size_t(idx) + 1].get() : nullptr;
}

BOOL TreeView_SetIndent(HWND h, int n) {
  auto* tv = tvOf(h);
  if (!tv) return 0;
  tv->indentationPerLevel = n;
  return 1;
}

void TreeView_SetBkColor(HWND h, int color) {
  if (auto* tv = tvOf(h)) tv->backgroundColor = color;
}

void TreeView_SetTextColor(HWND h, int color) {
  if (auto* tv = tvOf(h)) tv->m_fgColor = color;
}
