// List views, tree views, tab controls, group boxes and owner-drawn cells.
#include "ControlCreation.h"
#include "ListCells.h"
#include "ListView.h"
#include "TabControl.h"
#include "TreeView.h"
#include "WindowFixture.h"

namespace {

using winsys::Event;
using winsys::EventType;
using winsys::Rectf;

class Lists : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Notices live on the sender's stack: note what they said while they are delivered.
    rec.hook = [this](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
      if (m != WM_NOTIFY) return 0;
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      bool fromList = dynamic_cast<Swell_vTarnivex_listview*>(hdr->hwndFrom);
      notes.push_back({hdr->code, fromList ? reinterpret_cast<NMLISTVIEW*>(lp)->iItem : 0});
      return 0;
    };
  }
  Swell_vTarnivex_listview* list(int style = 0) {
    top = topLevel(200, 100);
    SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
    return dynamic_cast<Swell_vTarnivex_listview*>(SWELL_MakeControl("", 20, "SysListView32", style, 0, 0, 100, 95, 0));
  }
  int insert(HWND lv, const char* text, int at, UINT state = 0, LPARAM param = 0) {
    LVITEM it{};
    it.mask = LVIF_TEXT | LVIF_PARAM | (state ? LVIF_STATE : 0);
    it.iItem = at;
    it.pszText = const_cast<char*>(text);
    it.state = it.stateMask = state;
    it.lParam = param;
    return ListView_InsertItem(lv, &it);
  }
  std::vector<int> selected(Swell_vTarnivex_listview* lv) {
    return {lv->selectedRowIndexes().begin(), lv->selectedRowIndexes().end()};
  }
  std::vector<int> notified(int code) {
    std::vector<int> out;
    for (auto& [c, item] : notes)
      if (c == code) out.push_back(item);
    return out;
  }
  std::vector<std::pair<int, int>> notes;
  Event at(winsys::View* v, double x, double y, EventType type = EventType::kLeftMouseDown) {
    Event e;
    e.type = type;
    e.window = v->window();
    e.locationInWindow = v->convertPointToBase({x, y});
    return e;
  }
  HWND top = nullptr;
};

TEST_F(Lists, InsertAndDeleteKeepTheSameRowsSelected) {
  auto* lv = list();
  ASSERT_TRUE(lv);
  EXPECT_EQ(lv->m_cols.size(), 1u) << "one column without the report style";
  EXPECT_EQ(insert(lv, "a", 99), 0);
  EXPECT_EQ(insert(lv, "b", 99), 1);
  EXPECT_EQ(insert(lv, "c", 99), 2);
  EXPECT_EQ(insert(lv, "first", -5), 0);
  notes.clear();
  ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(lv, 3, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(lv, 3, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(notified(LVN_ITEMCHANGED), (std::vector<int>{1, 3})) << "selecting a selected row says nothing";
  ListView_DeleteItem(lv, 0);
  EXPECT_EQ(selected(lv), (std::vector<int>{0, 2}));
  insert(lv, "new", 1);
  EXPECT_EQ(selected(lv), (std::vector<int>{0, 3}));
  insert(lv, "picked", 0, LVIS_SELECTED);
  EXPECT_EQ(selected(lv), (std::vector<int>{0, 1, 4})) << "extends the selection";
  notes.clear();
  ListView_SetItemState(lv, -1, 0, LVIS_SELECTED);
  EXPECT_TRUE(selected(lv).empty());
  EXPECT_TRUE(notified(LVN_ITEMCHANGED).empty());
  EXPECT_EQ(ListView_GetNextItem(lv, -1, 3), -1);
  EXPECT_EQ(ListView_GetNextItem(nullptr, -1, 1), 0);
}

TEST_F(Lists, SortedInsertsFindTheirPlace) {
  struct {
    int style;
    std::vector<const char*> rows;
    const char* text;
    int want;
  } cases[] = {
      {0x10, {"a", "c"}, "b", 1}, {0x10, {"a", "c"}, "d", 2}, {0x20, {"c", "a"}, "b", 1}, {0x20, {"c", "a"}, "z", 0}};
  for (auto& c : cases) {
    auto* lv = list(c.style);
    for (auto* r : c.rows) insert(lv, r, 99);
    EXPECT_EQ(insert(lv, c.text, 0), c.want) << c.style << " " << c.text;
  }
}

TEST_F(Lists, TextsItemsAndColumns) {
  auto* lv = list(1);
  LVCOLUMN col{LVCF_TEXT | LVCF_WIDTH, 0, 40, const_cast<char*>("Name"), 0, 0};
  for (int i = 0; i < 3; ++i) ListView_InsertColumn(lv, i, &col);
  insert(lv, "row", 0);
  ListView_SetItemText(lv, 0, 3, "three");
  ListView_SetItemText(lv, 0, 32, "refused");
  ListView_SetItemText(lv, 0, 1, nullptr);
  EXPECT_EQ(lv->m_items[0]->m_vals, (std::vector<std::string>{"row", "", "", "three"}));
  char one[1] = {'x'};
  LVITEM it{LVIF_TEXT, 0, 0, 0, 0, one, 1, 0, 0};
  EXPECT_TRUE(ListView_GetItem(lv, &it));
  EXPECT_EQ(one[0], 0);
  int order[3] = {2, 0, 1};
  EXPECT_FALSE(ListView_SetColumnOrderArray(lv, 2, order));
  EXPECT_TRUE(ListView_SetColumnOrderArray(lv, 3, order));
  int back[3];
  ListView_GetColumnOrderArray(lv, 3, back);
  EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>(order, order + 3));
}

int byParam(LPARAM a, LPARAM b, LPARAM) { return int(a / 10) - int(b / 10); }

TEST_F(Lists, SortIsStableAndKeepsTheSelection) {
  auto* lv = list();
  LPARAM params[] = {31, 10, 30, 11, 20};
  for (LPARAM p : params) insert(lv, "x", 99, 0, p);
  ListView_SetItemState(lv, 0, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(lv, 3, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SortItems(lv, byParam, 0);
  std::vector<LPARAM> got;
  for (auto& r : lv->m_items) got.push_back(r->m_param);
  EXPECT_EQ(got, (std::vector<LPARAM>{10, 11, 20, 31, 30})) << "equal keys keep their order";
  EXPECT_EQ(selected(lv), (std::vector<int>{1, 3})) << "rows 31 and 11 stay selected";
}

TEST_F(Lists, HitTestsRectsAndScrolling) {
  auto* lv = list();
  for (int i = 0; i < 20; ++i) insert(lv, "r", 99);
  struct {
    POINT pt;
    UINT flags;
    int item;
  } hits[] = {{{5, -3}, LVHT_ABOVE, -1}, {{5, 20}, LVHT_ONITEMLABEL, 1}, {{-1, 5}, LVHT_TOLEFT, -1}, {{5, 79}, LVHT_ONITEMLABEL, 4}};
  for (auto& h : hits) {
    LVHITTESTINFO info{h.pt, 0, 0, 0};
    EXPECT_EQ(ListView_HitTest(lv, &info), h.item) << h.pt.y;
    EXPECT_EQ(info.flags, h.flags) << h.pt.y;
  }
  RECT r;
  EXPECT_FALSE(ListView_GetItemRect(lv, 20, &r, 0));
  EXPECT_TRUE(ListView_GetItemRect(lv, 2, &r, 0));
  EXPECT_EQ(r.top, 38);
  EXPECT_EQ(r.bottom - r.top, 21);
  EXPECT_EQ(ListView_GetCountPerPage(lv), 80 / 17);
  ListView_Scroll(lv, 0, -57);
  EXPECT_EQ(ListView_GetTopIndex(lv), 0) << "nothing above row 0";
  ListView_Scroll(lv, 0, 3 * 19);
  RECT last;
  ListView_GetItemRect(lv, 7, &last, 0);
  POINT scroll;
  ListView_GetScroll(lv, &scroll);
  EXPECT_EQ(scroll.y + 80, last.top + 19) << "row 4 + 3 now ends the visible area";
  ListView_SetItemCount(lv, 5);
  EXPECT_EQ(ListView_GetItemCount(lv), 20) << "only owner data takes a count";
  auto* small = list();
  insert(small, "a", 0);
  LVHITTESTINFO below{{5, 40}, 0, 0, 0};
  EXPECT_EQ(ListView_HitTest(small, &below), -1);
  EXPECT_EQ(below.flags, UINT(LVHT_NOWHERE));
}

TEST_F(Lists, DragStartsOnceAndFastClicksReportAtThePress) {
  auto* lv = list();
  for (int i = 0; i < 3; ++i) insert(lv, "r", 99, 0, 100 + i);
  rec.log.clear();
  notes.clear();
  lv->mouseDown(at(lv, 5, 25));
  for (int i = 0; i < 6; ++i) lv->mouseDragged(at(lv, 5, 30 + i, EventType::kLeftMouseDragged));
  lv->mouseUp(at(lv, 5, 40, EventType::kLeftMouseUp));
  EXPECT_EQ(notified(LVN_BEGINDRAG), std::vector<int>{1});
  EXPECT_EQ(selected(lv), std::vector<int>{1});
  EXPECT_EQ(rec.of(WM_MOUSEMOVE).size(), 2u) << "after the fourth drag event";
  EXPECT_EQ(rec.of(WM_LBUTTONUP).size(), 1u);
  EXPECT_TRUE(notified(NM_CLICK).empty()) << "a drag is no click";
  SWELL_SetListViewFastClickMask(lv, 1);
  notes.clear();
  lv->mouseDown(at(lv, 5, 45));
  EXPECT_EQ(notified(NM_CLICK), std::vector<int>{2});
  lv->mouseUp(at(lv, 5, 45, EventType::kLeftMouseUp));
  EXPECT_EQ(notified(NM_CLICK), std::vector<int>{2}) << "no second click at the release";
  EXPECT_EQ(selected(lv), std::vector<int>{1}) << "the selection stays";
  SWELL_SetListViewFastClickMask(lv, 0);
  lv->mouseDown(at(lv, 5, 5));
  lv->mouseUp(at(lv, 5, 5, EventType::kLeftMouseUp));
  EXPECT_EQ(selected(lv), std::vector<int>{0}) << "a click selects at the release";
}

LRESULT dispInfo(HWND, UINT msg, WPARAM, LPARAM lp) {
  if (msg != WM_NOTIFY) return 0;
  auto* di = reinterpret_cast<NMLVDISPINFO*>(lp);
  if (di->hdr.code == LVN_GETDISPINFO) snprintf(di->item.pszText, size_t(di->item.cchTextMax), "row %d", di->item.iItem);
  return 0;
}

TEST_F(Lists, OwnerDataAsksTheOwner) {
  auto* lv = list(0x1000);
  rec.hook = dispInfo;
  EXPECT_EQ(insert(lv, "x", 0), -1);
  ListView_SetItemCount(lv, 30);
  EXPECT_EQ(lv->objectValue(12, 0, nullptr), "row 12");
}

TEST_F(Lists, TreeInsertNavigateExpandAndNotify) {
  HWND top = topLevel(200, 100);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  auto* tv = dynamic_cast<Swell_vTarnivex_treeview*>(SWELL_MakeControl("", 30, "SysTreeView32", 0, 0, 0, 100, 90, 0));
  ASSERT_TRUE(tv);
  auto add = [&](HTREEITEM parent, HTREEITEM after, const char* text, int children = 0) {
    TVINSERTSTRUCT ins{parent, after, {}};
    ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    ins.item.pszText = const_cast<char*>(text);
    ins.item.cChildren = children;
    return TreeView_InsertItem(tv, &ins);
  };
  HTREEITEM a = add(TVI_ROOT, TVI_LAST, "a", 1), b = add(nullptr, TVI_SORT, "b"), c = add(nullptr, TVI_FIRST, "c");
  HTREEITEM a1 = add(a, TVI_LAST, "a1"), a2 = add(a, b, "a2");
  EXPECT_EQ(TreeView_GetChild(tv, a), a2) << "after an item of another parent: first";
  HTREEITEM stray = reinterpret_cast<HTREEITEM>(0x1234);
  EXPECT_FALSE(add(stray, TVI_LAST, "x"));
  std::vector<HTREEITEM> roots;
  for (HTREEITEM i = TreeView_GetRoot(tv); i; i = TreeView_GetNextSibling(tv, i)) roots.push_back(i);
  EXPECT_EQ(roots, (std::vector<HTREEITEM>{c, a, b}));
  EXPECT_EQ(TreeView_Expand(tv, a, TVE_EXPAND), 1);
  EXPECT_EQ(TreeView_Expand(tv, a, TVE_EXPAND), 0);
  EXPECT_EQ(tv->numberOfRows(), 5);
  EXPECT_EQ(TreeView_Expand(tv, a, TVE_TOGGLE), 1);
  EXPECT_EQ(TreeView_Expand(tv, a, TVE_TOGGLE), 1);
  EXPECT_EQ(TreeView_Expand(tv, b, TVE_EXPAND), 0) << "no arrow, nothing to show";
  TVHITTESTINFO hit{{3, 2 * 19 + 1}, 0, nullptr};
  EXPECT_EQ(TreeView_HitTest(tv, &hit), a2);
  notes.clear();
  TreeView_SelectItem(tv, a1);
  EXPECT_EQ(TreeView_GetSelection(tv), a1);
  EXPECT_EQ(notified(TVN_SELCHANGED).size(), 1u);
  EXPECT_EQ(notes.size(), 1u);
  TVITEM keep{TVIF_HANDLE, a2, 0, TVIS_SELECTED, nullptr, 0, 0, 0, 0, 0};
  TreeView_SetItem(tv, &keep);
  EXPECT_EQ(TreeView_GetSelection(tv), a1) << "state without the selected flag changes nothing";
  TreeView_DeleteItem(tv, a2);
  EXPECT_EQ(TreeView_GetChild(tv, a), a1);
  EXPECT_EQ(TreeView_GetSelection(tv), a1);
  TreeView_DeleteItem(tv, a);
  EXPECT_EQ(TreeView_GetSelection(tv), nullptr) << "the selected item went with its parent";
  EXPECT_EQ(TreeView_GetRoot(tv), c);
}

TEST_F(Lists, TabsGroupBoxesAndCells) {
  HWND top = topLevel(200, 100);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  HWND tab = SWELL_MakeControl("", 40, "SysTabControl32", 0, 0, 0, 100, 50, 0);
  TCITEM item{TCIF_TEXT, 0, 0, const_cast<char*>("one"), 0, 0, 0};
  notes.clear();
  EXPECT_EQ(TabCtrl_InsertItem(tab, -3, &item), 0);
  EXPECT_EQ(TabCtrl_InsertItem(tab, 9, &item), 1);
  TCITEM bare{0, 0, 0, nullptr, 0, 0, 0};
  EXPECT_EQ(TabCtrl_InsertItem(tab, 0, &bare), -1);
  EXPECT_TRUE(notes.empty()) << "inserting says nothing";
  EXPECT_EQ(TabCtrl_SetCurSel(tab, 2), 0);
  EXPECT_EQ(TabCtrl_SetCurSel(tab, 1), 0);
  EXPECT_EQ(TabCtrl_GetCurSel(tab), 1);
  EXPECT_EQ(notified(TCN_SELCHANGE).size(), 1u);
  EXPECT_EQ(notes.size(), 1u);
  RECT r{0, 0, 100, 100};
  TabCtrl_AdjustRect(tab, false, &r);
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{7, 26, 93, 97}));
  HWND first = GetWindow(top, GW_CHILD);
  auto* box = dynamic_cast<winsys::Box*>(SWELL_MakeGroupBox("&&Group &One", 41, 10, 10, 50, 20, 0));
  EXPECT_EQ(box->title(), "&Group One");
  EXPECT_EQ(box->frame(), (Rectf{10, 9, 50, 23}));
  EXPECT_EQ(GetWindow(top, GW_CHILD), static_cast<HWND>(box)) << "behind its siblings";
  EXPECT_NE(first, static_cast<HWND>(box));
  Swell_vTarnivex_statuscell cell;
  cell.drawWithFrame({10, 0, 100, 17}, nullptr);
  EXPECT_EQ(cell.lastTextRect, (Rectf{29, 0, 81, 17})) << "the gap stays without an image";
}

int gContexts = 0;
HDC fakeContext(HWND) { return reinterpret_cast<HDC>(uintptr_t(0x100 + ++gContexts)); }

TEST_F(Lists, OwnerDrawnRowsAndButtonsAskTheirParent) {
  SwellPaintBackend pb;
  pb.createContext = fakeContext;
  SWELL_SetPaintBackend(pb);
  HWND top = topLevel(200, 100);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  auto* lb = dynamic_cast<Swell_vTarnivex_listview*>(SWELL_MakeListBox(50, 0, 0, 80, 60, 0x10));
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("a"));
  SendMessage(lb, LB_SETITEMDATA, 0, 77);
  std::vector<DRAWITEMSTRUCT> seen;
  rec.hook = [&](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    if (m == WM_DRAWITEM) seen.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
    return 0;
  };
  lb->objectValue(0, 0, nullptr);
  lb->m_cols[0]->dataCell()->drawWithFrame({1.6, 2.4, 50.5, 17}, lb);
  auto* ob = swell::asView(SWELL_MakeControl("", 51, "Button", 11, 0, 0, 20, 20, 0));
  static_cast<winsys::Button*>(ob)->cell()->drawWithFrame({0, 0, 20, 20}, ob);
  SWELL_SetPaintBackend({});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].CtlType, 2u);
  EXPECT_EQ(seen[0].CtlID, 50u);
  EXPECT_EQ(seen[0].itemData, 77u);
  EXPECT_EQ((std::vector<int>{seen[0].rcItem.left, seen[0].rcItem.top, seen[0].rcItem.right, seen[0].rcItem.bottom}),
            (std::vector<int>{2, 2, 53, 19}));
  EXPECT_EQ(seen[1].CtlType, 4u);
  EXPECT_EQ(seen[1].hwndItem, static_cast<HWND>(ob));
}

}  // namespace
