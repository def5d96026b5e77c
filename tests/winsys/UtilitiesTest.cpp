#include <cstring>

#include "WindowFixture.h"
#include "model/Controls.h"
#include "model/Pasteboard.h"

using winsys::App;

namespace {

class Utilities : public WindowTest {
 protected:
  void TearDown() override {
    SWELL_ResetClipboard();
    SWELL_DDrop_onDragEnter = nullptr;
    SWELL_DDrop_onDragLeave = nullptr;
    SWELL_DDrop_getDroppedFileTargetPath = nullptr;
    WindowTest::TearDown();
  }
  static HGLOBAL text(const char* s) {
    HGLOBAL h = GlobalAlloc(0, long(strlen(s)));
    memcpy(h, s, strlen(s));
    return h;
  }
};

TEST_F(Utilities, WindowFromPointFindsTheDeepestView) {
  HWND back = topLevel(200, 100, "Back");
  HWND front = topLevel(200, 100, "Front");
  HWND a = child(front, 10, 10, 20, 20, 1);
  POINT inA{5, 5};
  ClientToScreen(a, &inA);
  EXPECT_EQ(WindowFromPoint(inA), a);
  POINT corner{0, 0};
  ClientToScreen(front, &corner);
  corner.y -= 1;  // just inside the upper edge (y grows upward)
  EXPECT_EQ(WindowFromPoint(corner), front);
  ShowWindow(front, SW_HIDE);
  EXPECT_EQ(WindowFromPoint(inA), back);
  EXPECT_EQ(WindowFromPoint({-500, -500}), nullptr);
}

TEST_F(Utilities, DefaultProcedureRules) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50, 1);
  RECT r;
  GetWindowRect(a, &r);
  // A hit test inside the window rectangle, outside once the procedure shrinks it.
  LPARAM inside = LPARAM(((r.top - 5) << 16) | ((r.left + 5) & 0xFFFF));
  EXPECT_EQ(DefWindowProc(a, WM_NCHITTEST, 0, inside), 1);
  rec.hook = [&](HWND h, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    if (h == a && m == WM_NCCALCSIZE) reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0].left += 10;
    return 0;
  };
  EXPECT_EQ(DefWindowProc(a, WM_NCHITTEST, 0, inside), 0);
  rec.hook = nullptr;
  EXPECT_EQ(DefWindowProc(a, WM_KEYDOWN, 'A', 0), 69);
  EXPECT_EQ(DefWindowProc(a, WM_KEYUP, 'A', 0), 69);
  EXPECT_EQ(DefWindowProc(a, 0x1234, 0, 0), 0);
  rec.answers[WM_CONTEXTMENU] = 3;
  EXPECT_EQ(DefWindowProc(a, WM_CONTEXTMENU, WPARAM(a), 0), 3) << "handed to the parent";
  EXPECT_EQ(DefWindowProc(top, WM_CONTEXTMENU, WPARAM(a), 0), 0) << "stops at the content view";
  rec.log.clear();
  rec.only = {WM_DISPLAYCHANGE, WM_CTLCOLORSTATIC};
  SWELL_BroadcastMessage(WM_DISPLAYCHANGE, 1, 2);
  EXPECT_EQ(rec.of(WM_DISPLAYCHANGE).front(), (Msg{top, WM_DISPLAYCHANGE, 1, 2}));
  EXPECT_TRUE(swell::asView(top)->needsDisplay());
}

TEST_F(Utilities, PaintPairOutsideAPaint) {
  HWND top = topLevel();
  PAINTSTRUCT ps;
  memset(&ps, 0xAB, sizeof ps);
  EXPECT_EQ(BeginPaint(top, &ps), nullptr);
  EXPECT_EQ(ps.rcPaint.right, 0) << "zeroed";
  EXPECT_EQ(EndPaint(top, &ps), 1);
}

TEST_F(Utilities, MetricsScrollingAndSearch) {
  struct Case {
    int index, want;
  } cases[] = {{21, 16}, {22, 0}, {2, 16}, {0, 1600}, {1, 1200}, {99, 0}};
  for (auto c : cases) EXPECT_EQ(GetSystemMetrics(c.index), c.want) << c.index;
  App().setScreens({});
  EXPECT_EQ(GetSystemMetrics(0), 1024);

  HWND top = topLevel(200, 100, "Finder");
  auto* button = add<winsys::Button>(top, {0, 0, 10, 10});
  button->setTitle("OK");
  auto* label = add<winsys::TextField>(top, {5, 5, 10, 10});
  label->setStringValue("Name");
  auto* label2 = add<winsys::TextField>(top, {5, 5, 10, 10});
  label2->setStringValue("OK");
  EXPECT_EQ(FindWindowEx(top, nullptr, "Static", nullptr), label) << "skips the button";
  EXPECT_EQ(FindWindowEx(top, nullptr, nullptr, "OK"), button);
  EXPECT_EQ(FindWindowEx(top, nullptr, "static", "OK"), label2);
  EXPECT_EQ(FindWindowEx(top, button, nullptr, nullptr), label);
  EXPECT_EQ(FindWindowEx(nullptr, nullptr, nullptr, "Finder"), top);
  EXPECT_EQ(FindWindowEx(nullptr, top, nullptr, "Finder"), nullptr);
  EXPECT_EQ(FindWindowEx(nullptr, nullptr, nullptr, nullptr), nullptr);

  EXPECT_FALSE(ScrollWindow(top, 0, 0, nullptr, nullptr));
  EXPECT_TRUE(ScrollWindow(swell::asView(top)->window(), 3, -2, nullptr, nullptr));
  EXPECT_EQ(label->frame().x, 8);
  EXPECT_EQ(label->frame().y, 3);
}

TEST_F(Utilities, ClipboardTextGoesToTheGeneralPasteboard) {
  UINT custom = RegisterClipboardFormat("my/format");
  EXPECT_EQ(RegisterClipboardFormat("my/format"), custom);
  ASSERT_TRUE(OpenClipboard(nullptr));
  UINT textFmt = RegisterClipboardFormat("SWELL__CF_TEXT");
  EmptyClipboard();
  SetClipboardData(textFmt, text("hello"));
  SetClipboardData(custom, text("\x01\x02"));
  CloseClipboard();
  EXPECT_EQ(winsys::Pasteboard::general().types(),
            (std::vector<std::string>{winsys::Pasteboard::kStringType, "my/format"}));
  OpenClipboard(nullptr);
  HGLOBAL got = GetClipboardData(textFmt);
  ASSERT_NE(got, nullptr);
  EXPECT_STREQ(static_cast<char*>(got), "hello");
  EXPECT_EQ(GetClipboardData(custom), nullptr) << "custom data only travels on the application's pasteboard";
  EXPECT_EQ(GetClipboardData(999), nullptr);
  CloseClipboard();  // frees what GetClipboardData handed out

  OpenClipboard(nullptr);
  UINT other = RegisterClipboardFormat("other/format");
  SetClipboardData(other, text("abc"));
  SetClipboardData(custom, text("xy"));
  CloseClipboard();
  EXPECT_EQ(winsys::Pasteboard::named("SWELL_APP").types(), (std::vector<std::string>{"other/format", "my/format"}));
  OpenClipboard(nullptr);
  EXPECT_EQ(EnumClipboardFormats(0), other);
  EXPECT_EQ(EnumClipboardFormats(other), custom);
  EXPECT_EQ(EnumClipboardFormats(custom), 0u);
  EXPECT_EQ(EnumClipboardFormats(12345), 0u);
  HGLOBAL data = GetClipboardData(custom);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(GlobalSize(data), 2);
  EXPECT_EQ(memcmp(data, "xy", 2), 0);
  CloseClipboard();
}

std::vector<std::string> gDropEvents;

TEST_F(Utilities, DroppedFilesArriveAsOneBlock) {
  SWELL_DialogResourceIndex res{1, "Drop", 4 | 32, nullptr, 200, 100, nullptr};
  HWND top = SWELL_CreateModelessWindow(&res, nullptr, RecordingProc, 0, 0);
  ShowWindow(top, SW_SHOW);
  SWELL_DDrop_onDragEnter = [](void* block, int x, int y) {
    char name[64];
    DragQueryFile(block, 0, name, sizeof name);
    gDropEvents.push_back("enter " + std::string(name) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  SWELL_DDrop_onDragLeave = [] { gDropEvents.push_back("leave"); };
  SWELL_DDrop_getDroppedFileTargetPath = [](const char*) { return "/drop/here"; };
  gDropEvents.clear();
  auto* view = static_cast<Swell_vTarnivex_hwnd*>(top);
  POINT at{20, 30};
  ClientToScreen(top, &at);
  winsys::DragInfo drag;
  drag.files = {"/a/one.txt", "/b/two.txt"};
  drag.screenLocation = {double(at.x), double(at.y)};
  EXPECT_EQ(view->draggingEntered(drag), winsys::kDragOperationCopy);
  std::vector<std::string> files;
  POINT dropPoint{};
  BOOL client = 0;
  rec.hook = [&](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
    if (m != WM_DROPFILES) return 0;
    auto h = reinterpret_cast<HGLOBAL>(wp);
    UINT n = DragQueryFile(h, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
      char buf[64];
      DragQueryFile(h, i, buf, sizeof buf);
      files.push_back(buf);
    }
    EXPECT_EQ(DragQueryFile(h, 5, nullptr, 0), 0u);
    if (n == 2) {
      EXPECT_EQ(DragQueryFile(h, 1, nullptr, 0), 10u) << "the length of the path";
    }
    client = DragQueryPoint(h, &dropPoint);
    return 1;
  };
  EXPECT_TRUE(view->performDragOperation(drag));
  EXPECT_EQ(gDropEvents, (std::vector<std::string>{"enter /a/one.txt " + std::to_string(at.x) + "," +
                                                       std::to_string(at.y), "leave"}));
  EXPECT_EQ(files, drag.files);
  EXPECT_TRUE(client);
  EXPECT_EQ(dropPoint.x, 20);
  EXPECT_EQ(dropPoint.y, 30);

  // Promised files are named "tmp." while hovering and written into the target folder on drop.
  winsys::DragInfo promise;
  promise.promisedNames = {"p.wav"};
  promise.screenLocation = drag.screenLocation;
  promise.writePromisedFiles = [](const std::string& folder) {
    EXPECT_EQ(folder, "/drop/here/");
    return std::vector<std::string>{"p.wav"};
  };
  gDropEvents.clear();
  view->draggingEntered(promise);
  EXPECT_EQ(gDropEvents[0].substr(0, 15), "enter tmp.p.wav");
  files.clear();
  view->performDragOperation(promise);
  EXPECT_EQ(files, (std::vector<std::string>{"/drop/here/p.wav"}));

  HWND plain = topLevel();
  EXPECT_EQ(static_cast<Swell_vTarnivex_hwnd*>(plain)->draggingEntered(drag), winsys::kDragOperationNone);
  EXPECT_EQ(DragQueryPoint(nullptr, &dropPoint), 0);
}

TEST_F(Utilities, AccessibilityAsksTheProcedure) {
  HWND top = topLevel();
  auto* v = static_cast<Swell_vTarnivex_hwnd*>(top);
  EXPECT_EQ(v->accessibilityObject(), nullptr);
  static int object;
  rec.hook = [](HWND, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_GETOBJECT && wp == 0x1001) *reinterpret_cast<void**>(lp) = &object;
    return 0;
  };
  EXPECT_EQ(v->accessibilityObject(), &object);
  EXPECT_TRUE(v->accessibilityIsIgnored());
}

}  // namespace
