// The X11 editor view under a private Xvfb, with a recording stand-in for
// the graphics context: the host makes a window, the view opens inside it,
// XTest moves the pointer and types, and the pixels are read back.
#include <unistd.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Fill.h"
#include "HostWindow.h"
#include "MenuLayout.h"
#include "ViewText.h"
#include "X11EditorView.h"
#include "XErrorTrap.h"
#include "XvfbServer.h"

#ifndef TARNIVEX_SCREENSHOT_DIR
#error "TARNIVEX_SCREENSHOT_DIR names the folder for screenshots"
#endif

namespace {
constexpr int kW = 320, kH = 200;
constexpr int kParentX = 40, kParentY = 30;  // the host window on the screen
constexpr int kChildX = 0, kChildY = 0;      // the editor inside it
constexpr ViewRect kMenuButton{200, 20, 260, 40};
constexpr ViewRect kEntryField{200, 100, 280, 120};

// Records every call the view makes and draws a frame that depends on the
// position and the number of drawings, so stale pixels show.
class RecordingClient : public EditorViewClient {
 public:
  explicit RecordingClient(int w = kW, int h = kH) : frame(w, h) {}

  bool IsDirty(ViewRect* r) override {
    ++dirtyQuestions;
    if (dirty.Empty()) return false;
    *r = r->Union(dirty);
    dirty = {};
    return true;
  }
  void Draw(const ViewRect& r) override {
    draws.push_back(r);
    const unsigned shade = static_cast<unsigned>(draws.size() * 40) & 0xFF;
    for (int y = r.T; y < r.B; ++y)
      for (int x = r.L; x < r.R; ++x)
        frame.getBits()[y * frame.getRowSpan() + x] = LICE_RGBA(x & 0xFF, y & 0xFF, shade, 255);
  }
  const unsigned* FrameBits(int* rowSpan) override {
    *rowSpan = frame.getRowSpan();
    return frame.getBits();
  }
  void OnMouseDown(int x, int y, const ViewMouseMod& mod) override {
    Record("down", x, y, mod);
    if (view && kMenuButton.Contains(x, y)) {
      ViewMenuChoice choice;
      const bool chosen = view->PopupMenu(*menu, menuUnder, &choice);
      events.push_back(chosen ? "chose " + std::to_string(choice.index) + (choice.menu == menu ? "" : " sub")
                              : "chose nothing");
    }
    if (view && kEntryField.Contains(x, y)) {
      ViewTextEntry entry;
      entry.rect = kEntryField;
      entry.text = "64";
      entry.allowed = TextEntryCharacters(2);
      entry.maxLength = 16;
      view->OpenTextEntry(entry);
    }
  }
  void OnMouseUp(int x, int y, const ViewMouseMod& mod) override { Record("up", x, y, mod); }
  void OnMouseDrag(int x, int y, const ViewMouseMod& mod) override { Record("drag", x, y, mod); }
  bool OnMouseDblClick(int x, int y, const ViewMouseMod& mod) override {
    Record("double", x, y, mod);
    return true;
  }
  void OnMouseWheel(int x, int y, const ViewMouseMod& mod, int d) override {
    Record("wheel " + std::to_string(d), x, y, mod);
  }
  bool OnMouseOver(int x, int y, const ViewMouseMod&) override {
    lastOver = {x, y};
    return false;
  }
  bool OnKeyDown(int x, int y, int key) override {
    events.push_back("key " + std::to_string(key) + " at " + std::to_string(x) + "," + std::to_string(y));
    return key != 40;  // "z" is left to the host
  }
  void OnTextEntryEnd(const std::string* text) override {
    events.push_back(text ? "entered " + *text : "entry closed");
  }

  void Record(const std::string& what, int x, int y, const ViewMouseMod& m) {
    std::string mods;
    for (auto [on, c] : {std::pair{m.L, 'L'}, {m.R, 'R'}, {m.S, 'S'}, {m.C, 'C'}, {m.A, 'A'}}) mods += on ? c : '-';
    events.push_back(what + " " + std::to_string(x) + "," + std::to_string(y) + " " + mods);
  }

  LICE_MemBitmap frame;
  ViewRect dirty;
  int dirtyQuestions = 0;
  std::vector<ViewRect> draws;
  std::vector<std::string> events;
  std::pair<int, int> lastOver{-1, -1};
  EditorView* view = nullptr;
  const ViewMenu* menu = nullptr;
  ViewRect menuUnder = kMenuButton;  // the menu opens under this
};

class X11ViewTest : public ::testing::Test {
 protected:
  X11ViewTest(int screenW = 1600, int screenH = 1000, int parentX = kParentX, int parentY = kParentY,
              bool sharedMemory = true)
      : screenW(screenW), screenH(screenH), parentX(parentX), parentY(parentY), sharedMemory(sharedMemory) {}
  void SetUp() override {
    ASSERT_TRUE(server.Start(screenW, screenH, sharedMemory)) << server.Error();
    host = std::make_unique<HostWindow>(parentX, parentY, kW + 40, kH + 40, 0x808080);
    ASSERT_TRUE(host->Ok());
    view = X11EditorView::Open(EditorView::Kind::kWindow, host->GetWindow(), kW, kH);
    ASSERT_NE(view, nullptr);
    view->SetClient(&client);
    client.view = view.get();
    Settle();
  }
  void TearDown() override {
    view.reset();
    host.reset();
    server.Stop();
  }

  // Lets the view take in what the server sent until nothing is left to paint.
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      host->Sync();
      XSync(view->GetDisplay(), False);
      view->Idle();
    }
  }
  bool IdleUntil(const std::function<bool()>& done) {
    return PumpUntil([&] { host->Sync(); view->Idle(); }, done);
  }
  size_t EventsNow() const { return client.events.size(); }
  // Clicks the menu button at a height in it while another connection plays
  // the user of the menu; what the menu answered ("chose ..."), or empty.
  std::string ClickMenuButton(int down, const std::function<void(HostWindow& hand)>& user) {
    client.events.clear();
    std::thread hand([&] {
      HostWindow window(0, 0, 1, 1, 0);
      user(window);
      // A menu still open after the bound is closed, so the test cannot hang.
      if (!PumpUntil([] {}, [&] { return window.Overlays().empty(); })) window.Tap(XK_Escape);
    });
    host->MoveTo(RootX(kMenuButton.L + 10), RootY(kMenuButton.T + down));
    host->Click(1);
    IdleUntil([&] { return client.events.size() >= 2 && client.events[1].rfind("chose", 0) == 0; });
    hand.join();
    return client.events.size() >= 2 ? client.events[1] : "";
  }
  // Root position of an editor point.
  int RootX(int x) const { return parentX + kChildX + x; }
  int RootY(int y) const { return parentY + kChildY + y; }

  // The frame reaches the window, and one changed control repaints its own
  // rectangle, whichever way the pixels travel to the server.
  void ShowsTheFrameAndRepaintsOnlyWhatChanged();

  const int screenW, screenH, parentX, parentY;
  const bool sharedMemory;
  XvfbServer server;
  std::unique_ptr<HostWindow> host;
  RecordingClient client;
  std::unique_ptr<X11EditorView> view;
};

unsigned Rgb(unsigned argbBytes) {
  return ((argbBytes >> 8) & 0xFF) << 16 | ((argbBytes >> 16) & 0xFF) << 8 | (argbBytes >> 24);
}
}  // namespace

TEST_F(X11ViewTest, ChildOfTheHostWindowAtTheEditorSize) {
  const std::vector<Window> children = host->Children();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], view->GetWindow());
  int x, y, w, h;
  ASSERT_TRUE(host->Geometry(children[0], &x, &y, &w, &h));
  EXPECT_EQ(w, kW);
  EXPECT_EQ(h, kH);
  EXPECT_EQ(x, kParentX);
  EXPECT_EQ(y, kParentY);
  EXPECT_EQ(view->Handle(), reinterpret_cast<void*>(children[0]));
  EXPECT_EQ(view->GetParent(), host->Handle());

  EXPECT_TRUE(view->Resize(200, 100));
  Settle();
  ASSERT_TRUE(host->Geometry(children[0], &x, &y, &w, &h));
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 100);
}

// A server that cannot read the process's memory (a remote one) gets the
// frames through the socket.
class X11ViewWithoutSharedMemoryTest : public X11ViewTest {
 protected:
  X11ViewWithoutSharedMemoryTest() : X11ViewTest(1600, 1000, kParentX, kParentY, false) {}
};

TEST_F(X11ViewTest, WindowShowsTheFrameAndRepaintsOnlyWhatChanged) { ShowsTheFrameAndRepaintsOnlyWhatChanged(); }
TEST_F(X11ViewWithoutSharedMemoryTest, WindowShowsTheFrameAndRepaintsOnlyWhatChanged) {
  ShowsTheFrameAndRepaintsOnlyWhatChanged();
}

void X11ViewTest::ShowsTheFrameAndRepaintsOnlyWhatChanged() {
  // The first exposure painted the whole window from the frame.
  ASSERT_FALSE(client.draws.empty());
  int w = 0, h = 0;
  std::vector<unsigned> pixels = host->Pixels(view->GetWindow(), &w, &h);
  ASSERT_EQ(w, kW);
  ASSERT_EQ(h, kH);
  auto same = [&] {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (pixels[y * kW + x] != Rgb(client.frame.getBits()[y * client.frame.getRowSpan() + x])) return false;
    return true;
  };
  EXPECT_TRUE(same());

  // One changed control: its rectangle alone (and the pixel row and column
  // after it) is drawn and put on screen.
  client.draws.clear();
  client.dirty = {30, 40, 70, 60};
  const unsigned long beforePaint = XNextRequest(view->GetDisplay());
  ASSERT_TRUE(IdleUntil([&] { return !client.draws.empty(); }));
  EXPECT_EQ(client.draws, (std::vector<ViewRect>{{30, 40, 71, 61}}));
  // One request: the server's notice that it read the last frame came with
  // the events, so the view does not ask the server to catch up first.
  EXPECT_EQ(XNextRequest(view->GetDisplay()) - beforePaint, 1u);
  pixels = host->Pixels(view->GetWindow(), &w, &h);
  EXPECT_TRUE(same());

  // With nothing changed an idle call sends nothing to the server.
  Display* display = view->GetDisplay();
  const unsigned long before = XNextRequest(display);
  for (int i = 0; i < 20; ++i) view->Idle();
  EXPECT_EQ(XNextRequest(display), before);
  EXPECT_EQ(client.draws.size(), 1u);
}

TEST_F(X11ViewTest, RedrawTimerAsksOncePerInterval) {
  view->SetRedrawInterval(60000);
  const int before = client.dirtyQuestions;
  for (int i = 0; i < 50; ++i) view->Idle();
  EXPECT_EQ(client.dirtyQuestions, before);  // the interval has not passed
  view->SetRedrawInterval(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  view->Idle();
  EXPECT_EQ(client.dirtyQuestions, before + 1);
  // Late idle calls do not pile up ticks: one question per call at most.
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  view->Idle();
  EXPECT_EQ(client.dirtyQuestions, before + 2);
}

TEST_F(X11ViewTest, PressDragAndReleaseWithTheCaptureHeld) {
  host->MoveTo(RootX(50), RootY(60));
  host->Button(1, true);
  host->MoveTo(RootX(50), RootY(40));
  host->MoveTo(RootX(50), RootY(-20));  // above the editor: the capture keeps it
  host->Button(1, false);
  ASSERT_TRUE(IdleUntil([&] { return EventsNow() >= 3 && client.events.back().rfind("up", 0) == 0; }));
  ASSERT_GE(client.events.size(), 3u);
  EXPECT_EQ(client.events.front(), "down 50,60 L----");  // the pixel under the pointer
  EXPECT_EQ(client.events.back(), "up 50,-20 L----");
  for (size_t i = 1; i + 1 < client.events.size(); ++i) EXPECT_EQ(client.events[i].rfind("drag 50,", 0), 0u);
  EXPECT_EQ(client.events[client.events.size() - 2], "drag 50,-20 L----");
}

TEST_F(X11ViewTest, ButtonsWheelModifiersAndDoubleClicks) {
  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"right click", [&] { host->Click(3); }, {"down 20,20 -R---", "up 20,20 -R---"}},
      {"shift click", [&] { host->Key(XK_Shift_L, true); host->Click(1); host->Key(XK_Shift_L, false); },
       {"down 20,20 L-S--", "up 20,20 L-S--"}},
      {"control right click", [&] { host->Key(XK_Control_L, true); host->Click(3); host->Key(XK_Control_L, false); },
       {"down 20,20 -R-C-", "up 20,20 -R-C-"}},
      {"super click", [&] { host->Key(XK_Super_L, true); host->Click(1); host->Key(XK_Super_L, false); },
       {"down 20,20 LR---", "up 20,20 LR---"}},
      {"wheel", [&] { host->Click(4); host->Click(5); host->Click(6); }, {"wheel 1 20,20 L----", "wheel -1 20,20 L----"}},
      {"double click", [&] { host->Click(1); host->Click(1); },
       {"down 20,20 L----", "up 20,20 L----", "double 20,20 L----", "up 20,20 L----"}},
      {"middle button", [&] { host->Click(2); }, {}},
  };
  host->MoveTo(RootX(20), RootY(20));
  for (const Case& c : cases) {
    std::this_thread::sleep_for(std::chrono::milliseconds(450));  // no double-click across cases
    Settle();
    client.events.clear();
    c.act();
    IdleUntil([&] { return client.events.size() >= c.expected.size() && !c.expected.empty(); });
    Settle();
    EXPECT_EQ(client.events, c.expected) << c.name;
  }
}

TEST_F(X11ViewTest, KeysReachTheEditorOrGoOnToTheHost) {
  host->MoveTo(RootX(100), RootY(50));
  Settle();
  EXPECT_EQ(client.lastOver, (std::pair<int, int>{100, 50}));
  const std::pair<KeySym, const char*> keys[] = {
      {XK_q, "key 31 at 100,50"}, {XK_Up, "key 1 at 100,50"}, {XK_space, "key 0 at 100,50"}, {XK_7, "key 12 at 100,50"}};
  for (auto [keysym, expected] : keys) {
    client.events.clear();
    host->Tap(keysym);
    ASSERT_TRUE(IdleUntil([&] { return !client.events.empty(); })) << expected;
    EXPECT_EQ(client.events.front(), expected);
  }
  host->Key(XK_Shift_L, true);
  host->Tap(XK_q);
  host->Key(XK_Shift_L, false);
  client.events.clear();
  ASSERT_TRUE(IdleUntil([&] { return !client.events.empty(); }));
  EXPECT_EQ(client.events.front(), "key 31 at 100,50");  // "Q" is the same key as "q"

  // A key the editor does not take (F1), or one it refuses ("z"), goes on to the host's window.
  host->ForwardedKeys();
  client.events.clear();
  host->Tap(XK_F1);
  host->Tap(XK_z);
  std::vector<KeySym> forwarded;
  ASSERT_TRUE(IdleUntil([&] {
    for (KeySym k : host->ForwardedKeys()) forwarded.push_back(k);
    return forwarded.size() >= 2;
  }));
  EXPECT_EQ(forwarded, (std::vector<KeySym>{XK_F1, XK_z}));
  EXPECT_EQ(client.events, (std::vector<std::string>{"key 40 at 100,50"}));
}

TEST_F(X11ViewTest, PopupMenuChoosesAnItemOfTheRightLevel) {
  ViewMenu sub;
  sub.items = {{"Deep 1"}, {"Deep 2"}};
  ViewMenu menu;
  menu.items = {{"Saw"}, {"", kViewMenuSeparator}, {"Square", kViewMenuDisabled}, {"Noise", kViewMenuChecked},
                {"More", 0, &sub}};
  client.menu = &menu;
  ViewText text(13);
  MenuLayout layout(menu, text), subLayout(sub, text);

  struct Pick {
    const char* name;
    std::vector<std::pair<int, int>> path;  // (level, item) to move over, the last one clicked
    const char* expected;
  };
  const Pick picks[] = {
      {"plain item", {{0, 3}}, "chose 3"},
      {"separator, then an item", {{0, 1}, {0, 0}}, "chose 0"},
      {"submenu item", {{0, 4}, {1, 1}}, "chose 1 sub"},
      {"outside", {{-1, 0}}, "chose nothing"},
  };
  for (const Pick& pick : picks) {
    client.events.clear();
    std::atomic<bool> finished{false};
    // The menu runs modally inside the idle call; another connection plays the user.
    std::thread user([&] {
      HostWindow hand(0, 0, 1, 1, 0);
      auto overlays = [&] { return hand.Overlays(); };
      for (size_t step = 0; step < pick.path.size(); ++step) {
        const auto [level, item] = pick.path[step];
        std::vector<Window> open;
        const bool shown = PumpUntil([] {}, [&] {
          open = overlays();
          return static_cast<int>(open.size()) > std::max(level, 0);
        });
        if (!shown) break;
        int x = 0, y = 0, w = 0, h = 0;
        if (level < 0) {
          hand.MoveTo(5, 5);
        } else {
          hand.Geometry(open[level], &x, &y, &w, &h);
          const MenuLayout& l = level == 0 ? layout : subLayout;
          hand.MoveTo(x + 30, y + l.ItemTop(item) + l.ItemHeight(item) / 2);
        }
        if (step + 1 == pick.path.size()) hand.Click(1);
      }
      // A menu still open after the bound is closed, so the test cannot hang.
      if (!PumpUntil([] {}, [&] { return finished.load(); }, std::chrono::seconds(5))) hand.Tap(XK_Escape);
    });
    host->MoveTo(RootX(kMenuButton.L + 10), RootY(kMenuButton.T + 10));
    host->Click(1);
    IdleUntil([&] { return client.events.size() >= 2 && client.events[1].rfind("chose", 0) == 0; });
    finished = true;
    user.join();
    ASSERT_GE(client.events.size(), 2u) << pick.name;
    EXPECT_EQ(client.events[1], pick.expected) << pick.name;
    Settle();
    EXPECT_TRUE(host->Overlays().empty()) << pick.name;
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
  }
}

TEST_F(X11ViewTest, PopupMenuFollowsTheKeyboard) {
  ViewMenu sub;
  sub.items = {{"Deep 1"}, {"Deep 2"}};
  ViewMenu menu;
  menu.items = {{"Saw"}, {"", kViewMenuSeparator}, {"Square", kViewMenuDisabled}, {"Noise"}, {"More", 0, &sub}};
  client.menu = &menu;
  struct Keys {
    std::vector<KeySym> keys;
    const char* expected;
  };
  const Keys rows[] = {
      {{XK_Down, XK_Down, XK_Return}, "chose 3"},  // separator and disabled item skipped
      {{XK_Up, XK_Right, XK_Down, XK_Return}, "chose 1 sub"},
      {{XK_Up, XK_Right, XK_Left, XK_Up, XK_Return}, "chose 3"},
      {{XK_Down, XK_Escape}, "chose nothing"},
  };
  for (const Keys& row : rows) {
    client.events.clear();
    std::thread user([&] {
      HostWindow hand(0, 0, 1, 1, 0);
      if (PumpUntil([] {}, [&] { return !hand.Overlays().empty(); })) {
        // Away from the menu, so the pointer lights nothing.
        hand.MoveTo(5, 5);
        for (KeySym key : row.keys) {
          hand.Tap(key);
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      }
      if (!PumpUntil([] {}, [&] { return hand.Overlays().empty(); })) hand.Tap(XK_Escape);
    });
    host->MoveTo(RootX(kMenuButton.L + 10), RootY(kMenuButton.T + 10));
    host->Click(1);
    IdleUntil([&] { return client.events.size() >= 2 && client.events[1].rfind("chose", 0) == 0; });
    user.join();
    ASSERT_GE(client.events.size(), 2u);
    EXPECT_EQ(client.events[1], row.expected);
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
  }
}

TEST_F(X11ViewTest, TextEntryTakesAllowedCharactersAndCommits) {
  struct Entry {
    const char* name;
    std::vector<KeySym> keys;
    const char* expected;
  };
  const Entry entries[] = {
      {"typed and committed", {XK_minus, XK_1, XK_2, XK_period, XK_5, XK_Return}, "entered -125"},
      {"kept and committed", {XK_Return}, "entered 64"},
      {"cancelled", {XK_9, XK_Escape}, "entry closed"},
  };
  for (const Entry& entry : entries) {
    client.events.clear();
    host->MoveTo(RootX(kEntryField.L + 10), RootY(kEntryField.T + 8));
    host->Click(1);
    ASSERT_TRUE(IdleUntil([&] { return view->TextEntryOpen(); })) << entry.name;
    EXPECT_EQ(host->Overlays().size(), 1u);
    for (KeySym key : entry.keys) host->Tap(key);
    ASSERT_TRUE(IdleUntil([&] { return !view->TextEntryOpen(); })) << entry.name;
    EXPECT_EQ(client.events.back(), entry.expected) << entry.name;
    Settle();
    EXPECT_TRUE(host->Overlays().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
  }

  // A click elsewhere in the editor takes the text; the wheel closes without it.
  host->Click(1);
  ASSERT_TRUE(IdleUntil([&] { return view->TextEntryOpen(); }));
  host->Tap(XK_3);
  host->MoveTo(RootX(10), RootY(10));
  client.events.clear();
  host->Click(1);
  ASSERT_TRUE(IdleUntil([&] { return !view->TextEntryOpen(); }));
  EXPECT_EQ(client.events.front(), "entered 3");
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  host->MoveTo(RootX(kEntryField.L + 10), RootY(kEntryField.T + 8));
  host->Click(1);
  ASSERT_TRUE(IdleUntil([&] { return view->TextEntryOpen(); }));
  client.events.clear();
  host->Click(4);
  ASSERT_TRUE(IdleUntil([&] { return !view->TextEntryOpen(); }));
  EXPECT_EQ(client.events.front(), "entry closed");
}

TEST_F(X11ViewTest, HiddenCursorComesBackWhereItWasHidden) {
  host->MoveTo(RootX(60), RootY(70));
  Settle();
  view->SetCursorHidden(true);
  view->SetCursorHidden(true);
  host->MoveTo(RootX(250), RootY(180));
  view->SetCursorHidden(false);
  host->Sync();
  Window root, child;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(host->GetDisplay(), DefaultRootWindow(host->GetDisplay()), &root, &child, &rx, &ry, &wx, &wy, &mask);
  EXPECT_EQ(rx, RootX(60));
  EXPECT_EQ(ry, RootY(70));
}

TEST_F(X11ViewTest, HostDestroyingItsWindowFirstLeavesNoError) {
  const long caught = XErrorTrap::CaughtSoFar();
  host->DestroyWindow();
  view->Idle();
  view.reset();  // must not destroy, draw on or free into a window the server already took away
  EXPECT_EQ(XErrorTrap::CaughtSoFar(), caught);
}

TEST(X11ViewOpen, RefusesWhatIsNotAWindowOrWithoutADisplay) {
  XvfbServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  EXPECT_EQ(X11EditorView::Open(EditorView::Kind::kWindow, 0x7654321, kW, kH), nullptr);
  EXPECT_EQ(X11EditorView::Open(EditorView::Kind::kWindow, 0, kW, kH), nullptr);
  {
    HostWindow host(0, 0, 100, 100, 0);
    EXPECT_EQ(X11EditorView::Open(EditorView::Kind::kWindow, host.GetWindow(), 0, kH), nullptr);
  }
  server.Stop();
  unsetenv("DISPLAY");
  EXPECT_EQ(X11EditorView::Open(EditorView::Kind::kWindow, 1, kW, kH), nullptr);
}

TEST(X11ViewOpen, OpeningAndClosingFiftyTimesLeavesNothingBehind) {
  XvfbServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  HostWindow host(0, 0, kW, kH, 0);
  RecordingClient client;
  for (int i = 0; i < 50; ++i) {
    auto view = X11EditorView::Open(i % 2 ? EditorView::Kind::kViewAsConfig : EditorView::Kind::kWindow,
                                    host.GetWindow(), kW, kH);
    ASSERT_NE(view, nullptr) << i;
    view->SetClient(&client);
    host.Sync();
    view->Idle();
    EXPECT_EQ(host.Children().size(), 1u);
  }
  host.Sync();
  EXPECT_TRUE(host.Children().empty());
}

namespace {
// The screen's pixels as a person would see them, cut to the host window's area.
void Screenshot(HostWindow& hand, const std::string& name) {
  int w = 0, h = 0;
  const std::vector<unsigned> screen = hand.Pixels(DefaultRootWindow(hand.GetDisplay()), &w, &h);
  const int cropW = kParentX + kW + 220, cropH = kH + 140;
  std::vector<unsigned> crop;
  for (int y = kParentY - 20; y < kParentY - 20 + cropH; ++y)
    for (int x = 0; x < cropW; ++x) crop.push_back(screen[y * w + x]);
  std::filesystem::create_directories(TARNIVEX_SCREENSHOT_DIR);
  EXPECT_TRUE(WritePng(std::string(TARNIVEX_SCREENSHOT_DIR) + "/" + name, crop, cropW, cropH));
}
}  // namespace

TEST_F(X11ViewTest, MenusEntriesAndTheDrawnBoxAsTheyLook) {
  ViewMenu sub;
  sub.items = {{"Init Patch"}, {"Factory A"}, {"Factory B", kViewMenuChecked}};
  ViewMenu menu;
  menu.prefix = 2;
  menu.items = {{"Saw", kViewMenuChecked}, {"Square"}, {"", kViewMenuSeparator}, {"Noise", kViewMenuDisabled},
                {"Oscillators", kViewMenuTitle}, {"More banks", 0, &sub}};
  client.menu = &menu;
  ViewText text(13);
  MenuLayout layout(menu, text);
  std::thread user([&] {
    HostWindow hand(0, 0, 1, 1, 0);
    std::vector<Window> open;
    if (PumpUntil([] {}, [&] { return !(open = hand.Overlays()).empty(); })) {
      int x, y, w, h;
      hand.Geometry(open[0], &x, &y, &w, &h);
      hand.MoveTo(x + 40, y + layout.ItemTop(5) + layout.ItemHeight(5) / 2);
      PumpUntil([] {}, [&] { return hand.Overlays().size() >= 2; });
      Screenshot(hand, "popup-menu.png");
    }
    hand.Tap(XK_Escape);
  });
  host->MoveTo(RootX(kMenuButton.L + 10), RootY(kMenuButton.T + 10));
  host->Click(1);
  IdleUntil([&] { return client.events.size() >= 2; });
  user.join();
  std::this_thread::sleep_for(std::chrono::milliseconds(450));

  host->MoveTo(RootX(kEntryField.L + 10), RootY(kEntryField.T + 8));
  host->Click(1);
  ASSERT_TRUE(IdleUntil([&] { return view->TextEntryOpen(); }));
  host->Tap(XK_1);
  host->Tap(XK_2);
  for (int i = 0; i < 20; ++i) {
    Settle();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  Screenshot(*host, "text-entry.png");
  host->Tap(XK_Escape);
  ASSERT_TRUE(IdleUntil([&] { return !view->TextEntryOpen(); }));

  // With neither zenity nor kdialog on the path, the view draws its own box.
  const char* path = std::getenv("PATH");
  const std::string savedPath = path ? path : "";
  const std::string empty = ::testing::TempDir() + "/no-dialog-tools-" + std::to_string(getpid());
  std::filesystem::create_directories(empty);
  setenv("PATH", empty.c_str(), 1);
  auto answerBox = [&](const char* shot, int buttonFromRight) {
    return std::thread([&, shot, buttonFromRight] {
      HostWindow hand(0, 0, 1, 1, 0);
      std::vector<Window> open;
      if (PumpUntil([] {}, [&] { return !(open = hand.Overlays()).empty(); })) {
        Screenshot(hand, shot);
        int x, y, w, h;
        hand.Geometry(open[0], &x, &y, &w, &h);
        // Buttons are 80 wide, 10 apart, 14 from the right and bottom edges.
        hand.MoveTo(x + w - 14 - 40 - buttonFromRight * 90, y + h - 14 - 12);
        hand.Click(1);
      }
      if (!PumpUntil([] {}, [&] { return hand.Overlays().empty(); })) hand.Tap(XK_Escape);
    });
  };
  std::thread user2 = answerBox("message-box.png", 0);
  EXPECT_EQ(view->MessageBox("Overwrite the bank file \"Factory A.syx\"?", "Save Bank", 4), 7);  // "No"
  user2.join();
  std::thread user3 = answerBox("file-prompt-without-tools.png", 0);
  std::string chosen = "unchanged";
  EXPECT_FALSE(view->PromptForFile({true, "/tmp", "Bank.syx", "syx"}, &chosen));
  EXPECT_EQ(chosen, "");
  user3.join();
  setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(X11ViewTest, DesktopDialogsRunWhileTheEditorKeepsPainting) {
  // A zenity of our own that takes a moment, notes how it was asked and answers.
  const std::string folder = ::testing::TempDir() + "/fake-zenity-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  const std::string script = folder + "/zenity";
  {
    FILE* f = std::fopen(script.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "#!/bin/sh\nprintf '%%s\\n' \"$@\" > '%s/asked'\nsleep 0.3\n"
                    "case \"$1\" in --file-selection) echo /tmp/Chosen.syx ;; esac\nexit 0\n",
                 folder.c_str());
    std::fclose(f);
  }
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const char* path = std::getenv("PATH");
  const std::string savedPath = path ? path : "";
  setenv("PATH", (folder + ":" + savedPath).c_str(), 1);
  auto asked = [&] {
    std::ifstream in(folder + "/asked");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };

  view->SetRedrawInterval(1);
  client.draws.clear();
  client.dirty = {5, 5, 25, 25};
  EXPECT_EQ(view->MessageBox("Saved.", "Bank", 0), 1);
  EXPECT_EQ(client.draws, (std::vector<ViewRect>{{5, 5, 26, 26}}));  // painted while the dialog was up
  EXPECT_EQ(asked(), "--info\n--title=Bank\n--text=Saved.\n--no-markup\n");

  std::string chosen;
  EXPECT_TRUE(view->PromptForFile({false, "/tmp/", "", "syx"}, &chosen));
  EXPECT_EQ(chosen, "/tmp/Chosen.syx");
  EXPECT_EQ(asked(), "--file-selection\n--filename=/tmp/\n--file-filter=*.syx *.SYX\n");
  setenv("PATH", savedPath.c_str(), 1);
  std::filesystem::remove_all(folder);
}

namespace {
// The editor near the bottom of a 1920 x 1080 screen, as in a host whose
// plug-in window was dragged low.
class LowEditorTest : public X11ViewTest {
 protected:
  LowEditorTest() : X11ViewTest(1920, 1080, 40, 1080 - kH - 60) {}
};

ViewMenu NumberedMenu(int count, std::vector<std::string>& labels) {
  labels.clear();
  for (int i = 1; i <= count; ++i) labels.push_back("Item " + std::to_string(i));
  ViewMenu menu;
  for (const std::string& label : labels) menu.items.push_back({label});
  return menu;
}
}  // namespace

TEST_F(LowEditorTest, LongMenuFitsTheScreenAndScrollsToItsLastItem) {
  std::vector<std::string> labels;
  const ViewMenu menu = NumberedMenu(66, labels);
  client.menu = &menu;
  ViewText text(13);
  int shownY = -1, shownH = 0;
  const std::string answer = ClickMenuButton(10, [&](HostWindow& hand) {
    std::vector<Window> open;
    if (!PumpUntil([] {}, [&] { return !(open = hand.Overlays()).empty(); })) return;
    int x, y, w, h;
    hand.Geometry(open[0], &x, &y, &w, &h);
    shownY = y;
    shownH = h;
    // Resting on the lower arrow scrolls the list to its end.
    hand.MoveTo(x + w / 2, y + h - MenuLayout::kScrollArrowHeight / 2);
    MenuLayout layout(menu, text);
    layout.Fit(h);
    while (layout.ScrollBy(1)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    hand.MoveTo(x + 40, y + layout.ItemTop(65) + layout.ItemHeight(65) / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    hand.Click(1);
  });
  EXPECT_EQ(answer, "chose 65");
  // Above the editor, where there is more room, and inside the screen.
  EXPECT_GE(shownY, 0);
  EXPECT_LE(shownY + shownH, RootY(kMenuButton.T));
  EXPECT_LT(shownH, MenuLayout(menu, text).ContentHeight());
}

TEST_F(X11ViewTest, AClickThatOpensAMenuOverThePointerChoosesNothing) {
  std::vector<std::string> labels;
  const ViewMenu menu = NumberedMenu(5, labels);
  client.menu = &menu;
  // The menu opens right under the pointer, its first item beneath it.
  client.menuUnder = {kMenuButton.L - 10, kMenuButton.T - 8, kMenuButton.R, kMenuButton.T};
  bool shown = false, stillOpen = false;
  const std::string answer = ClickMenuButton(5, [&](HostWindow& hand) {
    shown = PumpUntil([] {}, [&] { return !hand.Overlays().empty(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Still open after the opening click; a second press and release made
    // on it without moving is a deliberate click and chooses.
    stillOpen = !hand.Overlays().empty();
    if (!stillOpen) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    hand.Click(1);
  });
  EXPECT_TRUE(shown);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(answer, "chose 0");  // not by the opening click: it took a second one
}
