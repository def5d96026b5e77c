#include "WindowFixture.h"
#include "model/Controls.h"

using winsys::App;

namespace {

TEST_F(WindowTest, WindowWords) {
  HWND top = topLevel();
  HWND view = child(top, 0, 0, 10, 10, 5);
  auto* text = add<winsys::TextView>(top, {0, 0, 10, 10});
  auto* plain = add<winsys::View>(top, {0, 0, 10, 10});
  auto* field = add<winsys::TextField>(top, {0, 0, 10, 10}, 9);
  struct Case {
    const char* what;
    HWND h;
    int index;
    LONG_PTR write;
    LONG_PTR previous;  // what the write answers
    LONG_PTR read;      // what a read answers afterwards
  } cases[] = {
      {"user data", view, GWL_USERDATA, 0x1234567890, 0, 0x1234567890},
      {"user data of a plain text", text, GWL_USERDATA, 7, 0, 0xDEADF00B},
      {"id", view, GWL_ID, 77, 5, 77},
      {"id of a control", field, GWL_ID, 3, 9, 3},
      // A plain view answers tag but cannot take one: the id goes nowhere.
      {"id of a plain view", plain, GWL_ID, 3, 0, 0},
      {"extra word", view, 8, 0x7FFFFFFFFFFF, 0, 0x7FFFFFFFFFFF},
      {"extra word, unaligned index", view, 9, 11, 0x7FFFFFFFFFFF, 11},
      {"extra word out of range", view, 128, 5, 0, 0},
      {"extended style keeps only accept-files", view, GWL_EXSTYLE, 0x13, 0, 0x10},
      {"null handle", nullptr, GWL_USERDATA, 5, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SetWindowLong(c.h, c.index, c.write), c.previous) << c.what;
    EXPECT_EQ(GetWindowLong(c.h, c.index), c.read) << c.what;
  }
  EXPECT_EQ(GetWindowLong(view, GWL_WNDPROC), LONG_PTR(RecordingWndProc));
  EXPECT_EQ(GetWindowLong(view, GWL_STYLE), LONG_PTR(WS_CHILD));
}

TEST_F(WindowTest, DerivedStyles) {
  SWELL_DialogResourceIndex resizable{1, "R", 2 | 4, nullptr, 50, 50, nullptr};
  HWND top = SWELL_CreateModelessWindow(&resizable, nullptr, RecordingProc, 0, 0);
  EXPECT_EQ(GetWindowLong(top, GWL_STYLE), LONG_PTR(WS_CAPTION | WS_THICKFRAME));
  HWND bare = SWELL_CreateModelessWindow(nullptr, nullptr, RecordingWndProc, 0, 0);
  EXPECT_EQ(GetWindowLong(bare, GWL_STYLE), 0);
  RECT r;
  GetWindowRect(bare, &r);
  EXPECT_EQ(r.right - r.left, 10) << "no record: 10 x 10";
  auto* b = add<Swell_vTarnivex_button>(top, {0, 0, 10, 10});
  EXPECT_EQ(GetWindowLong(b, GWL_STYLE), LONG_PTR(3 | WS_CHILD));
  SetWindowLong(b, GWL_STYLE, 9 | WS_GROUP);
  EXPECT_EQ(b->swellGetRadioFlags(), 3);
  EXPECT_EQ(GetWindowLong(b, GWL_STYLE), LONG_PTR(9 | WS_GROUP | WS_CHILD));
  SetWindowLong(b, GWL_STYLE, 6);
  EXPECT_EQ(GetWindowLong(b, GWL_STYLE), LONG_PTR(6 | WS_CHILD));
  EXPECT_EQ(b->swellGetRadioFlags(), 0);
}

TEST_F(WindowTest, StyleWriteRebuildsTheFrameWindowOnlyWhenItsBitsChange) {
  HWND top = topLevel();
  winsys::Window* first = swell::asView(top)->window();
  EXPECT_EQ(SetWindowLong(top, GWL_STYLE, WS_CAPTION), 0);
  EXPECT_EQ(swell::asView(top)->window(), first) << "same caption bits: nothing changes";
  EXPECT_EQ(SetWindowLong(top, GWL_STYLE, 0), 0);
  winsys::Window* second = swell::asView(top)->window();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->styleMask(), 0u);
  EXPECT_TRUE(second->isVisible());
  EXPECT_EQ(second->title(), "Main");
  EXPECT_TRUE(first->isClosed());
  EXPECT_TRUE(IsWindow(top));
}

TEST_F(WindowTest, ItemsAndText) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 10, 10, 100);
  HWND grand = child(a, 0, 0, 5, 5, 200);
  auto* scroll = add<winsys::ScrollView>(top, {0, 0, 50, 50});
  auto* inner = new winsys::TextField({0, 0, 10, 10});
  inner->setTag(300);
  scroll->setDocumentView(inner);
  inner->release();
  EXPECT_EQ(GetDlgItem(top, 0), top);
  EXPECT_EQ(GetDlgItem(swell::asView(top)->window(), 100), a);
  EXPECT_EQ(GetDlgItem(top, 200), nullptr) << "only direct children";
  EXPECT_EQ(GetDlgItem(a, 200), grand);
  EXPECT_EQ(GetDlgItem(top, 300), inner);
  EXPECT_EQ(GetParent(inner), top) << "the scroll view stands for the control";

  struct Case {
    const char* text;
    bool isSigned;
    int want;
    bool translated;
  } ints[] = {{"  0", true, 0, true}, {"abc", true, 0, false}, {"-5", true, -5, true}, {"-5", false, 0, false},
              {"\t42x", false, 42, true}};
  for (auto c : ints) {
    SetDlgItemText(top, 300, c.text);
    bool t = !c.translated;
    EXPECT_EQ(GetDlgItemInt(top, 300, &t, c.isSigned), c.want) << c.text;
    EXPECT_EQ(t, c.translated) << c.text;
  }
  // An editable field tells its parent that its text changed.
  rec.log.clear();
  SetDlgItemText(top, 300, "x");
  auto cmds = rec.of(WM_COMMAND);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].wParam, WPARAM(300 | (EN_CHANGE << 16)));
  // The content view's text is the window's title.
  SetDlgItemText(top, 0, "Title");
  EXPECT_EQ(swell::asView(top)->window()->title(), "Title");
  char buf[4];
  EXPECT_TRUE(GetDlgItemText(top, 0, buf, sizeof buf));
  EXPECT_STREQ(buf, "Tit");
  SetDlgItemInt(top, 100, -3, false);
  EXPECT_TRUE(GetDlgItemText(top, 100, buf, sizeof buf));
  EXPECT_STREQ(buf, "429");
  std::string longText(2000, 'y');
  SetDlgItemText(a, 0, longText.c_str());
  EXPECT_EQ(strlen(static_cast<Swell_vTarnivex_hwnd*>(a)->onSwellGetText()), 1023u);
  EXPECT_FALSE(GetDlgItemText(nullptr, 0, buf, sizeof buf));
}

TEST_F(WindowTest, RelationsFollowTheSubviewOrder) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 10, 10, 1);
  HWND b = child(top, 0, 0, 10, 10, 2);
  HWND c = child(top, 0, 0, 10, 10, 3);
  struct Case {
    HWND h;
    int rel;
    HWND want;
  } cases[] = {
      {top, GW_CHILD, a},      {a, GW_HWNDNEXT, b},   {c, GW_HWNDNEXT, nullptr}, {a, GW_HWNDPREV, nullptr},
      {b, GW_HWNDFIRST, a},    {b, GW_HWNDLAST, c},   {top, GW_HWNDFIRST, top},  {top, GW_HWNDNEXT, nullptr},
      {b, GW_OWNER, top},      {top, 9, nullptr},     {nullptr, GW_CHILD, nullptr},
  };
  for (auto k : cases) EXPECT_EQ(GetWindow(k.h, k.rel), k.want) << k.rel;
  EXPECT_TRUE(IsChild(top, a));
  EXPECT_TRUE(IsChild(swell::asView(top)->window(), a));
  EXPECT_FALSE(IsChild(a, a));
  EXPECT_FALSE(IsChild(a, top));
}

TEST_F(WindowTest, ZOrderWithSetWindowPos) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 10, 10, 1);
  HWND b = child(top, 0, 0, 10, 10, 2);
  HWND c = child(top, 0, 0, 10, 10, 3);
  auto order = [&] {
    std::string s;
    for (auto* v : swell::asView(top)->subviews()) s += char('0' + v->tag());
    return s;
  };
  struct Case {
    HWND h, after;
    int flags;
    const char* want;
  } cases[] = {
      {a, HWND_TOP, SWP_NOMOVE | SWP_NOSIZE, "231"},
      {a, HWND_TOP, SWP_NOMOVE | SWP_NOSIZE, "231"},  // already in front
      {a, HWND_BOTTOM, SWP_NOMOVE | SWP_NOSIZE, "123"},
      {a, c, SWP_NOMOVE | SWP_NOSIZE, "231"},           // directly above c
      {a, c, SWP_NOMOVE | SWP_NOSIZE, "231"},           // c is already directly below
      {b, HWND_TOPMOST, SWP_NOMOVE | SWP_NOSIZE, "231"},
      {b, HWND_TOP, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER, "231"},
  };
  for (auto k : cases) {
    SetWindowPos(k.h, k.after, 0, 0, 0, 0, k.flags);
    EXPECT_EQ(order(), k.want);
  }
  // A capture inside the target holds the order.
  SetCapture(b);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), "231");
  ReleaseCapture();
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), "312");
}

TEST_F(WindowTest, GeometryAndRounding) {
  HWND top = topLevel();
  RECT r;
  ASSERT_TRUE(GetWindowRect(top, &r));
  // 50 right of and 100 below the screen's upper left corner, y up.
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 1000);
  EXPECT_EQ(r.right, 250);
  EXPECT_EQ(r.bottom, 1100);
  HWND a = child(top, 10, 20, 30, 40);
  GetWindowRect(a, &r);
  EXPECT_EQ(r.left, 60);
  EXPECT_EQ(r.top, 1080) << "flipped views: the upper edge";
  EXPECT_EQ(r.right, 90);
  EXPECT_EQ(r.bottom, 1040);
  POINT p{5, 5};
  ClientToScreen(a, &p);
  ScreenToClient(a, &p);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 5);
  SetWindowPos(a, nullptr, 1, 2, 30, -30, SWP_NOZORDER);
  EXPECT_EQ(swell::asView(a)->frame().height, 30) << "|cy|";
  swell::asView(a)->setFrame({1.4, 2.6, 10.4, 10.6});
  GetClientRect(a, &r);
  EXPECT_EQ(r.right, 10);
  EXPECT_EQ(r.bottom, 11);
  // The window procedure trims the client area through WM_NCCALCSIZE.
  rec.hook = [&](HWND h, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    if (h == a && m == WM_NCCALCSIZE) reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0].right -= 4;
    return 0;
  };
  GetClientRect(a, &r);
  EXPECT_EQ(r.right, 6);
  rec.hook = nullptr;
  RECT vp;
  App().setScreens({});
  SWELL_GetViewPort(&vp, nullptr, false);
  EXPECT_EQ(vp.right, 1600);
  EXPECT_EQ(vp.bottom, 1200);
  App().setScreens({{{0, 0, 1000, 800}, {0, 0, 1000, 780}}, {{1000, 0, 800, 600}, {1000, 0, 800, 600}}});
  RECT src{1100, 10, 1200, 20};
  SWELL_GetViewPort(&vp, &src, true);
  EXPECT_EQ(vp.left, 1000);
  SWELL_GetViewPort(&vp, nullptr, true);
  EXPECT_EQ(vp.bottom, 780);
}

TEST_F(WindowTest, WindowSizeFollowsTheLimitsItsProcedureSets) {
  HWND top = topLevel();
  rec.hook = [](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    if (m != WM_GETMINMAXINFO) return 0;
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
    if (mmi->ptMinTrackSize.x) mmi->ptMinTrackSize = {120, 60};
    if (mmi->ptMaxTrackSize.x) mmi->ptMaxTrackSize = {300, 1000000};
    return 1;
  };
  winsys::Window* w = swell::asView(top)->window();
  SetWindowPos(w, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(w->frame().width, 120);
  EXPECT_EQ(w->frame().height, 60);
  SetWindowPos(w, nullptr, 0, 0, 500, 5000, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(w->frame().width, 300);
  EXPECT_EQ(w->frame().height, 5000) << "a maximum of 1000000 leaves the platform's";
  auto sizes = rec.of(WM_SIZE);
  EXPECT_FALSE(sizes.empty());
  rec.log.clear();
  SetWindowPos(w, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  auto moves = rec.of(WM_MOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].lParam, LPARAM((9 << 16) | 7));
}

TEST_F(WindowTest, InvalidationMarksTheViewAndItsLayerAncestors) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50);
  HWND b = child(a, 0, 0, 20, 20);
  auto* va = static_cast<Swell_vTarnivex_hwnd*>(a);
  auto* vb = static_cast<Swell_vTarnivex_hwnd*>(b);
  auto* vt = static_cast<Swell_vTarnivex_hwnd*>(top);
  for (auto* v : {vt, va, vb}) v->setDirtyBits(0);
  RECT r{2, 10, 6, 4};
  InvalidateRect(b, &r, 0);
  EXPECT_EQ(vb->dirtyBits(), 1);
  EXPECT_EQ(va->dirtyBits(), 2);
  EXPECT_EQ(vt->dirtyBits(), 2);
  EXPECT_TRUE(vb->needsDisplay());
  EXPECT_EQ(vb->dirtyRect(), (winsys::Rectf{2, 4, 4, 6}));
  va->setDirtyBits(0);
  InvalidateRect(b, nullptr, 0);  // already dirty: the ancestors are left alone
  EXPECT_EQ(va->dirtyBits(), 0);
  EXPECT_EQ(vb->dirtyRect(), (winsys::Rectf{0, 0, 20, 20}));
}

TEST_F(WindowTest, ShowHideAndFocus) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 10, 10, 1);
  auto* field = add<winsys::TextField>(a, {0, 0, 10, 10}, 2);
  EXPECT_TRUE(IsWindowVisible(a));
  SetFocus(field);
  EXPECT_EQ(GetFocus(), field) << "the field editor stands for its field";
  rec.log.clear();
  ShowWindow(a, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(field));
  EXPECT_EQ(GetFocus(), top) << "focus moves to the parent of the hidden view";
  EXPECT_EQ(rec.of(WM_SHOWWINDOW).size(), 1u);
  ShowWindow(a, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(field));
  ShowWindow(top, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(a));
  EXPECT_FALSE(swell::asView(top)->window()->isVisible());
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EnableWindow(a, false);
  EXPECT_FALSE(swell::asView(a)->isEnabled());
  auto* label = add<Swell_vTarnivex_textfield>(a, {0, 0, 10, 10});
  label->setEditable(false);
  label->setBordered(false);
  label->setDrawsBackground(false);
  EnableWindow(label, false);
  EXPECT_EQ(label->textColorAlpha(), 0.5);
  EnableWindow(label, true);
  EXPECT_EQ(label->textColorAlpha(), 1.0);
}

TEST_F(WindowTest, DestroySequenceInOrder) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 10, 10, 1);
  HWND b = child(a, 0, 0, 5, 5, 2);
  SetTimer(a, 1, 10, nullptr);
  rec.log.clear();
  rec.only = {WM_DESTROY};
  DestroyWindow(a);
  EXPECT_EQ(rec.log, (std::vector<Msg>{{a, WM_DESTROY, 0, 0}, {b, WM_DESTROY, 0, 0}}));
  EXPECT_EQ(static_cast<Swell_vTarnivex_hwnd*>(a)->destroyState(), 2);
  EXPECT_EQ(SendMessage(a, WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(rec.log.size(), 2u) << "a second WM_DESTROY reaches nobody";
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(KillTimer(a, 1)) << "its timers went with it";
  EXPECT_TRUE(IsWindow(top));

  // A top-level window: its content view once, owned windows after it.
  HWND owned = topLevel(50, 50, "Owned");
  swell::asView(top)->window()->swellAddOwnedWindow(swell::asView(owned)->window());
  rec.log.clear();
  DestroyWindow(top);
  EXPECT_EQ(rec.log, (std::vector<Msg>{{top, WM_DESTROY, 0, 0}, {owned, WM_DESTROY, 0, 0}}));
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowTest, SetParentMovesViewsBetweenWindows) {
  HWND top = topLevel();
  HWND other = topLevel(80, 80, "Other");
  HWND a = child(top, 0, 0, 10, 10, 1);
  EXPECT_EQ(SetParent(a, other), top);
  EXPECT_TRUE(IsChild(other, a));
  // A child becomes top-level in a window of its own, and back.
  SetDlgItemText(a, 0, "Floating");
  EXPECT_EQ(SetParent(a, nullptr), nullptr);
  winsys::Window* w = swell::asView(a)->window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->contentView(), a);
  EXPECT_EQ(w->title(), "Floating");
  EXPECT_EQ(SetParent(a, top), top);
  EXPECT_TRUE(IsChild(top, a));
  EXPECT_TRUE(w->isClosed());
  EXPECT_EQ(SetParent(nullptr, top), nullptr);
}

TEST_F(WindowTest, ModalSessions) {
  HWND top = topLevel();
  void* s = SWELL_ModalWindowStart(top);
  ASSERT_NE(s, nullptr);
  int ret = 0;
  EXPECT_TRUE(SWELL_ModalWindowRun(s, &ret));
  App().setModalDriver([](winsys::ModalSession&) { App().stopModalWithCode(5); });
  EXPECT_FALSE(SWELL_ModalWindowRun(s, &ret));
  EXPECT_EQ(ret, 5);
  SWELL_ModalWindowEnd(s);
  App().setModalDriver(nullptr);
  void* s2 = SWELL_ModalWindowStart(top);
  SWELL_ModalWindowEnd(s2);  // stops a running session
  EXPECT_EQ(App().modalWindow(), nullptr);
  EXPECT_EQ(SWELL_ModalWindowStart(nullptr), nullptr);
  EXPECT_FALSE(SWELL_ModalWindowRun(nullptr, &ret));
}

}  // namespace
