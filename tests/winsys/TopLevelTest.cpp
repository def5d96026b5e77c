#include "TopLevelWindows.h"
#include "WindowFixture.h"
#include "model/Menu.h"

using winsys::App;

namespace {

using TopLevel = WindowTest;

TEST_F(TopLevel, CloseAsksTheProcedureAndNeverClosesByItself) {
  HWND top = topLevel();
  winsys::Window* w = swell::asView(top)->window();
  rec.only = {WM_CLOSE, WM_COMMAND};
  rec.log.clear();
  w->performClose();
  EXPECT_EQ(rec.log, (std::vector<Msg>{{top, WM_CLOSE, 0, 0}, {top, WM_COMMAND, IDCANCEL, 0}}));
  EXPECT_FALSE(w->isClosed());
  rec.answers[WM_CLOSE] = 1;
  rec.log.clear();
  w->performClose();
  EXPECT_EQ(rec.log, (std::vector<Msg>{{top, WM_CLOSE, 0, 0}}));
  EXPECT_TRUE(IsWindow(top));
}

TEST_F(TopLevel, PlacementFollowsTheParent) {
  HWND parent = topLevel(300, 200);
  RECT pr;
  GetWindowRect(parent, &pr);
  SWELL_DialogResourceIndex res{2, "Child", 4, nullptr, 100, 50, nullptr};
  HWND d = SWELL_CreateModelessWindow(&res, parent, RecordingProc, 0, 0);
  RECT r;
  GetWindowRect(d, &r);
  EXPECT_EQ(r.left, pr.left + 50);
  EXPECT_EQ(r.bottom, pr.bottom - 100) << "the upper edge, 100 below the parent's";
  EXPECT_EQ(r.bottom - r.top, 50);
  EXPECT_EQ(GetWindow(d, GW_OWNER), swell::asView(parent)->window());
  EXPECT_FALSE(swell::asView(d)->window()->isVisible()) << "created hidden";
  HWND box = SWELL_CreateDialogBoxWindow(&res, parent, RecordingProc, 0);
  winsys::Window* bw = swell::asView(box)->window();
  EXPECT_TRUE(bw->isPanel());
  EXPECT_EQ(bw->styleMask(), 3u);
  EXPECT_EQ(GetParent(box), parent);
}

TEST_F(TopLevel, OwnedWindowsAreListedOnceAndRaised) {
  HWND top = topLevel();
  HWND a = topLevel(20, 20, "A");
  winsys::Window* tw = swell::asView(top)->window();
  winsys::Window* aw = swell::asView(a)->window();
  SWELL_owned_windows_levelincrease = true;
  tw->setLevel(3);
  SWELL_SetWindowWantRaiseAmt(a, 2);
  EXPECT_EQ(SWELL_GetWindowWantRaiseAmt(a), 2);
  EXPECT_TRUE(tw->swellAddOwnedWindow(aw));
  EXPECT_FALSE(tw->swellAddOwnedWindow(aw));
  EXPECT_EQ(tw->swellGetOwnerWindowHead()->size(), 1u);
  EXPECT_EQ(aw->level(), 3 + 2 + 1);
  App().setActive(false);
  static_cast<Swell_vTarnivex_modelesswindow*>(tw)->swellResetOwnedWindowLevels();
  EXPECT_EQ(aw->level(), 3);
  SWELL_owned_windows_levelincrease = false;
  App().setActive(true);
  EXPECT_EQ(SWELL_SetWindowLevel(a, 9), 3);
  EXPECT_EQ(SWELL_SetWindowLevel(nullptr, 9), 0);
  EXPECT_EQ(SWELL_GetWindowWantRaiseAmt(nullptr), 0);
}

TEST_F(TopLevel, ActivationMessagesAndTheMenu) {
  HWND a = topLevel(20, 20, "A");
  HWND b = topLevel(20, 20, "B");
  auto* menu = new HMENU__;
  static_cast<Swell_vTarnivex_hwnd*>(b)->swellSetMenu(menu);
  menu->release();
  rec.only = {WM_ACTIVATE, WM_MOUSEACTIVATE};
  rec.log.clear();
  SetFocus(a);
  EXPECT_EQ(rec.log, (std::vector<Msg>{{b, WM_ACTIVATE, 0, 0}, {a, WM_ACTIVATE, 1, LPARAM(b)}, {a, WM_MOUSEACTIVATE, 0, 0}}));
  rec.log.clear();
  SetFocus(b);
  EXPECT_EQ(App().mainMenu(), menu) << "the view's own menu";
  EXPECT_EQ(menu->destination, b);
  EXPECT_EQ(rec.of(WM_ACTIVATE).back(), (Msg{b, WM_ACTIVATE, 1, LPARAM(a)}));
  DestroyWindow(b);
  EXPECT_EQ(App().mainMenu(), nullptr) << "the destroyed view's menu leaves the menu bar";
}

TEST_F(TopLevel, ModalReturnValueAndMinimisedWindows) {
  HWND box = SWELL_CreateDialogBoxWindow(nullptr, nullptr, RecordingWndProc, 0);
  int v = 0;
  EXPECT_FALSE(SWELL_GetModalRetVal(box, &v));
  SWELL_SetModalRetVal(box, 12);
  EXPECT_TRUE(SWELL_GetModalRetVal(box, &v));
  EXPECT_EQ(v, 12);
  HWND top = topLevel();
  ShowWindow(top, SW_SHOWMINIMIZED);
  EXPECT_TRUE(swell::asView(top)->window()->isMiniaturized());
  ShowWindow(top, SW_SHOWNA);
  EXPECT_TRUE(IsWindowVisible(top));
}

}  // namespace

namespace {

TEST_F(TopLevel, CreationSettingsFollowTheSystemVersion) {
  struct Case {
    int version;
    unsigned behaviour;
  } cases[] = {{0x1060, 36}, {0x1050, 0}, {0, 0}};  // 0: unreadable, taken as 10.4
  for (auto c : cases) {
    App().setSystemVersion(c.version);
    HWND v = SWELL_CreateModelessWindow(nullptr, nullptr, RecordingWndProc, 0, 0);
    winsys::Window* w = swell::asView(v)->window();
    EXPECT_EQ(w->collectionBehavior, c.behaviour) << std::hex << c.version;
    EXPECT_TRUE(w->acceptsMouseMovedEvents);
    EXPECT_FALSE(w->cursorRectsEnabled);
    EXPECT_TRUE(static_cast<Swell_vTarnivex_modelesswindow*>(w)->accessibilityIsIgnored())
        << "no title bar, empty content view";
  }
}

// A panel that carries an accessory view, as the file choosers do.
struct AccessoryPanel : winsys::Panel {
  using Panel::Panel;
  bool takesAccessoryView() const override { return true; }
};

TEST_F(TopLevel, ChoosersTakeTheViewAsAccessory) {
  auto* panel = new AccessoryPanel({0, 0, 100, 100}, 3);
  Swell_vTarnivex_hwnd* v = Swell_vTarnivex_hwnd::create(nullptr, panel, RecordingWndProc, 0);
  EXPECT_EQ(panel->accessoryView(), v);
  EXPECT_FALSE(v->isHidden());
  EXPECT_EQ(panel->contentView(), nullptr);
  panel->close();
}

}  // namespace
