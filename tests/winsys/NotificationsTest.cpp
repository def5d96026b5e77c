// What a dialog's owner hears when the user works its controls: events go
// through the model's queue and the run loop's pass, as they would on screen.
#include "ComboBoxes.h"
#include "ControlCreation.h"
#include "Handles.h"
#include "ListView.h"
#include "WindowFixture.h"

namespace {

using winsys::App;
using winsys::Event;
using winsys::EventType;

// What one notification said, copied while it was delivered (the records live on the sender's stack).
struct Heard {
  UINT msg;
  int id, code;
  HWND from;
  int item, subItem;
  UINT newState;
  LPARAM param;
  bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Heard& h) {
  return os << "{" << h.msg << " id " << h.id << " code " << h.code << " item " << h.item << "/" << h.subItem
            << " state " << h.newState << " param " << h.param << "}";
}

class Notifications : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    top = topLevel(300, 200);
    SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
    rec.hook = [this](HWND, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (m == WM_COMMAND) heard.push_back({m, int(wp & 0xFFFF), int(wp >> 16), reinterpret_cast<HWND>(lp), 0, 0, 0, 0});
      if (m == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        Heard h{m, int(hdr->idFrom), hdr->code, hdr->hwndFrom, 0, 0, 0, 0};
        if (dynamic_cast<Swell_vTarnivex_listview*>(hdr->hwndFrom)) {
          auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
          h.item = nm->iItem;
          h.subItem = nm->iSubItem;
          h.newState = nm->uNewState;
          h.param = nm->lParam;
        }
        heard.push_back(h);
      }
      return 0;
    };
  }
  void post(winsys::View* v, double x, double y, EventType type, int clicks = 1) {
    Event e;
    e.type = type;
    e.window = v->window();
    e.locationInWindow = v->convertPointToBase({x, y});
    e.clickCount = clicks;
    App().postEvent(e);
  }
  // A press and release at a point of a view, then the run loop's pass.
  void click(HWND h, double x, double y, int clicks = 1) {
    post(swell::asView(h), x, y, EventType::kLeftMouseDown, clicks);
    post(swell::asView(h), x, y, EventType::kLeftMouseUp, clicks);
    SWELL_RunEvents();
  }
  void type(const char* characters, int keyCode = 0) {
    Event e;
    e.type = EventType::kKeyDown;
    e.window = swell::asView(top)->window();
    e.keyCode = keyCode;
    e.characters = characters;
    App().postEvent(e);
    SWELL_RunEvents();
  }
  std::vector<Heard> commands(HWND from) const {
    std::vector<Heard> out;
    for (const Heard& h : heard)
      if (h.msg == WM_COMMAND && h.from == from) out.push_back(h);
    return out;
  }
  std::vector<int> codes(HWND from) const {
    std::vector<int> out;
    for (const Heard& h : heard)
      if (h.from == from) out.push_back(h.code);
    return out;
  }
  HWND listView(int style) {
    HWND lv = SWELL_MakeControl("", 20, "SysListView32", style, 10, 10, 200, 120, 0);
    for (int i = 0; i < 3; ++i) {
      LVITEM it{};
      it.mask = LVIF_TEXT | LVIF_PARAM;
      it.iItem = i;
      it.pszText = const_cast<char*>("row");
      it.lParam = 70 + i;
      ListView_InsertItem(lv, &it);
    }
    return lv;
  }
  static double rowY(int row) { return row * 19 + 5; }
  HWND top = nullptr;
  std::vector<Heard> heard;
};

TEST_F(Notifications, ADoubleClickOnARowReachesTheOwner) {
  HWND lv = listView(0);
  click(lv, 5, rowY(1));
  heard.clear();
  click(lv, 5, rowY(1), 2);
  std::vector<Heard> want{{WM_NOTIFY, 20, NM_DBLCLK, lv, 1, 0, 0, 71}, {WM_NOTIFY, 20, NM_CLICK, lv, 1, 0, 0, 71}};
  EXPECT_EQ(heard, want) << "a list view: NM_DBLCLK with the row, its column and its value, then the release's click";

  HWND lb = SWELL_MakeListBox(30, 220, 10, 70, 100, 0);
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("a"));
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("b"));
  click(lb, 5, rowY(0));
  heard.clear();
  click(lb, 5, rowY(0), 2);
  std::vector<int> lbCodes;
  for (const Heard& h : commands(lb)) lbCodes.push_back(h.code);
  // A single-selection list box clears its selection before the replayed press: the selection code comes first.
  EXPECT_EQ(lbCodes, (std::vector<int>{1, 2})) << "a list box: the double-click code";
}

TEST_F(Notifications, AHeaderClickReportsTheLogicalColumn) {
  HWND lv = listView(1);  // LVS_REPORT shows the titles
  LVCOLUMN col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.pszText = const_cast<char*>("Name");
  col.cx = 50;
  ListView_InsertColumn(lv, 0, &col);
  col.pszText = const_cast<char*>("Size");
  ListView_InsertColumn(lv, 1, &col);
  auto* sv = static_cast<winsys::ScrollView*>(swell::asView(lv)->superview()->superview());
  HWND header = sv->headerView();
  ASSERT_NE(header, nullptr);
  heard.clear();
  click(header, 70, 5);  // the second 53-pixel column
  std::vector<Heard> want{{WM_NOTIFY, 20, LVN_COLUMNCLICK, lv, -1, 1, 0, 0}};
  EXPECT_EQ(heard, want);
  int order[] = {1, 0};
  ListView_SetColumnOrderArray(lv, 2, order);
  heard.clear();
  click(header, 70, 5);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].subItem, 0) << "shown second now: logical column 0";
  heard.clear();
  click(lv, 5, rowY(0));
  EXPECT_EQ(codes(lv), (std::vector<int>{LVN_ITEMCHANGED, NM_CLICK})) << "a row click is no column click";
}

TEST_F(Notifications, AComboPickReachesTheOwner) {
  HWND cb = SWELL_MakeCombo(40, 10, 150, 80, 14, 1);  // editable drop-down
  HWND dl = SWELL_MakeCombo(41, 100, 150, 80, 14, 3);  // drop-down list
  for (HWND c : {cb, dl})
    for (const char* t : {"one", "two", "three"}) SWELL_CB_AddString(c, 0, t);
  std::vector<std::string> shown;
  int answer = 2;
  App().popUpListChooser = [&](winsys::View*, const std::vector<std::string>& items) {
    shown = items;
    return answer;
  };
  click(cb, 5, 5);
  EXPECT_EQ(codes(cb), (std::vector<int>{7, 1})) << "the list opens (CBN_DROPDOWN), then the pick (CBN_SELCHANGE)";
  EXPECT_EQ(shown, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(SWELL_CB_GetCurSel(cb, 0), 2);
  char text[16];
  GetDlgItemText(top, 40, text, sizeof text);
  EXPECT_STREQ(text, "three");
  click(dl, 5, 5);
  EXPECT_EQ(codes(dl), (std::vector<int>{1}));
  EXPECT_EQ(SWELL_CB_GetCurSel(dl, 0), 2);
  heard.clear();
  answer = -1;  // dismissed
  click(cb, 5, 5);
  click(dl, 5, 5);
  EXPECT_EQ(codes(cb), (std::vector<int>{7}));
  EXPECT_EQ(codes(dl), std::vector<int>{});
}

TEST_F(Notifications, TypingReportsEachChange) {
  HWND field = SWELL_MakeEditField(50, 10, 10, 100, 14, 0);
  click(field, 5, 5);
  type("h");
  type("i");
  type("", 51);  // delete
  std::vector<int> want(3, EN_CHANGE);
  EXPECT_EQ(codes(field), want);
  EXPECT_EQ(commands(field)[0].id, 50);
  char text[16];
  GetDlgItemText(top, 50, text, sizeof text);
  EXPECT_STREQ(text, "h");
  type("\xEF\x9C\x80", 126);  // an arrow key is no text
  EXPECT_EQ(codes(field).size(), 3u);

  HWND cb = SWELL_MakeCombo(51, 10, 40, 80, 14, 1);
  SetFocus(cb);
  type("x");
  EXPECT_EQ(codes(cb), (std::vector<int>{5})) << "a combo box: CBN_EDITCHANGE";
}

TEST_F(Notifications, AnEditThatGivesUpTheKeysReportsItsEnd) {
  HWND scroller = SWELL_MakeEditField(60, 10, 10, 150, 60, 0x200000);  // WS_VSCROLL: a multi-line edit
  HWND edit = GetDlgItem(top, 60);
  ASSERT_NE(edit, scroller);
  HWND field = SWELL_MakeEditField(61, 10, 100, 100, 14, 0);
  click(edit, 5, 5);
  type("x");
  EXPECT_EQ(codes(edit), std::vector<int>{}) << "typing alone ends nothing";
  EXPECT_EQ(static_cast<winsys::TextView*>(edit)->string(), "x");
  click(field, 5, 5);
  std::vector<Heard> ended = commands(edit);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].id, 60);
  EXPECT_EQ(ended[0].code, EN_CHANGE);
  click(field, 5, 5);
  EXPECT_EQ(commands(edit).size(), 1u) << "ended once";
}

TEST_F(Notifications, LbSetSelOnAListViewSendsItemChanged) {
  HWND lv = listView(0);
  heard.clear();
  SendMessage(lv, LB_SETSEL, 1, 2);
  SendMessage(lv, LB_SETSEL, 1, 2);  // already selected: no change, no notice
  SendMessage(lv, LB_SETSEL, 0, 2);
  std::vector<Heard> want{{WM_NOTIFY, 20, LVN_ITEMCHANGED, lv, 2, 0, LVIS_SELECTED, 0},
                          {WM_NOTIFY, 20, LVN_ITEMCHANGED, lv, 2, 0, 0, 0}};
  EXPECT_EQ(heard, want);
  heard.clear();
  SendMessage(lv, LB_SETSEL, 1, -1);
  EXPECT_TRUE(heard.empty()) << "every row at once sends no notices";
  EXPECT_EQ(ListView_GetSelectedCount(lv), 3);
}

TEST_F(Notifications, BothComboClassesKeepTheirStyleAndMarkTheirDialog) {
  for (int flags : {1, 3}) {
    HWND c = SWELL_MakeCombo(70 + flags, 10, 10, 80, 14, flags);
    EXPECT_EQ(GetWindowLong(c, GWL_STYLE), flags);
    EXPECT_EQ(SetWindowLong(c, GWL_STYLE, flags | CBS_SORT), flags) << "answers the old style";
    EXPECT_EQ(GetWindowLong(c, GWL_STYLE), flags | CBS_SORT);
    if (flags == 3) {
      auto* pub = dynamic_cast<winsys::PopUpButton*>(c);
      ASSERT_NE(pub, nullptr);
      EXPECT_EQ(pub->buttonType(), 0) << "still a pop-up, not a check box";
    }
    for (const char* t : {"b", "c", "a"}) SWELL_CB_AddString(c, 0, t);
    char first[4];
    SWELL_CB_GetItemText(c, 0, 0, first, sizeof first);
    EXPECT_STREQ(first, "a") << "sorted by the style set afterwards";

    auto* dialog = static_cast<Swell_vTarnivex_hwnd*>(top);
    dialog->setDirtyBits(0);
    SWELL_CB_SetCurSel(c, 0, 1);
    EXPECT_EQ(dialog->dirtyBits() & 2, 2) << "the combo asked to be drawn: the dialog knows";
    rec.log.clear();
    SWELL_RunEvents();
    EXPECT_FALSE(swell::asView(c)->needsDisplay()) << "and the run loop drew it";
    DestroyWindow(c);
  }
}

}  // namespace
