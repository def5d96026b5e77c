#include "Handles.h"
#include "WindowFixture.h"
#include "model/Controls.h"

using winsys::App;
using winsys::Event;
using winsys::EventType;

namespace {

// A drawing-context backend that records what the layer asks of it.
struct FakePaint {
  static inline std::vector<std::string> calls;
  static inline int nextTextColor = -1;
  static HDC create(HWND) {
    calls.push_back("create");
    return reinterpret_cast<HDC>(new int(nextTextColor));
  }
  static void destroy(HDC h) { delete reinterpret_cast<int*>(h); }
  static void fill(HDC, const RECT* r, HBRUSH b) {
    calls.push_back("fill " + std::to_string(uintptr_t(b)) + " " + std::to_string(r->right));
  }
  static void dialog(HDC, const RECT* r, int) { calls.push_back("dialog " + std::to_string(r->right)); }
  static bool color(HDC h, int* rgb) {
    *rgb = *reinterpret_cast<int*>(h);
    return *rgb >= 0;
  }
  static void install() {
    calls.clear();
    SwellPaintBackend b;
    b.createContext = create;
    b.deleteContext = destroy;
    b.fillRect = fill;
    b.fillDialogBackground = dialog;
    b.textColor = color;
    SWELL_SetPaintBackend(b);
  }
};

class ViewClass : public WindowTest {
 protected:
  void TearDown() override {
    SWELL_SetPaintBackend({});
    SWELL_EnableRightClickEmulate(true);
    WindowTest::TearDown();
  }
  Event mouse(HWND view, EventType type, double x, double y, int clicks = 1, unsigned mods = 0) {
    Event e;
    e.type = type;
    e.window = swell::asView(view)->window();
    e.locationInWindow = swell::asView(view)->convertPointToBase({x, y});
    e.clickCount = clicks;
    e.modifierFlags = mods;
    return e;
  }
};

TEST_F(ViewClass, MouseEventsBecomeMessages) {
  HWND top = topLevel();
  HWND a = child(top, 10, 10, 50, 50, 1);
  rec.only = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN,
              WM_MOUSEMOVE, WM_MOUSEWHEEL, WM_MOUSEHWHEEL, WM_CONTEXTMENU, 0xA1, 0xA8};

  struct Case {
    EventType type;
    int clicks;
    unsigned mods;
    std::vector<UINT> want;
  } cases[] = {
      {EventType::kLeftMouseDown, 1, 0, {WM_LBUTTONDOWN}},
      {EventType::kLeftMouseUp, 1, 0, {WM_LBUTTONUP}},
      {EventType::kLeftMouseDown, 2, 0, {WM_LBUTTONDBLCLK}},
      {EventType::kLeftMouseDragged, 1, 0, {WM_MOUSEMOVE}},
      // The default window procedure turns a right button release into a context menu,
      // which the child passes on to its parent.
      {EventType::kRightMouseUp, 1, 0, {WM_RBUTTONUP, WM_CONTEXTMENU, WM_CONTEXTMENU}},
      {EventType::kOtherMouseDown, 1, 0, {WM_MBUTTONDOWN}},
      // Control-click is a right click while emulation is on.
      {EventType::kLeftMouseDown, 1, winsys::kControlKeyMask, {WM_RBUTTONDOWN}},
      {EventType::kLeftMouseUp, 1, winsys::kControlKeyMask, {WM_RBUTTONUP, WM_CONTEXTMENU, WM_CONTEXTMENU}},
  };
  for (const auto& c : cases) {
    rec.log.clear();
    App().sendEvent(mouse(a, c.type, 5, 7, c.clicks, c.mods));
    EXPECT_EQ(rec.messages(), c.want) << int(c.type);
    if (!rec.log.empty() && rec.log[0].msg != WM_CONTEXTMENU) {
      EXPECT_EQ(rec.log[0].hwnd, a);
      EXPECT_EQ(rec.log[0].lParam, LPARAM((7 << 16) | 5)) << "view coordinates, flipped";
    }
  }
  // The context menu reaches the window with the child as target and the screen point.
  rec.log.clear();
  App().sendEvent(mouse(a, EventType::kRightMouseUp, 5, 7));
  auto menus = rec.of(WM_CONTEXTMENU);
  ASSERT_EQ(menus.size(), 2u);
  POINT s{5, 7};
  ClientToScreen(a, &s);
  EXPECT_EQ(menus[1], (Msg{top, WM_CONTEXTMENU, WPARAM(a), LPARAM(s.y * 65536 + s.x)}));

  SWELL_EnableRightClickEmulate(false);
  rec.log.clear();
  App().sendEvent(mouse(a, EventType::kLeftMouseDown, 5, 7, 1, winsys::kControlKeyMask));
  EXPECT_EQ(rec.messages(), (std::vector<UINT>{WM_LBUTTONDOWN}));

  Event wheel = mouse(a, EventType::kScrollWheel, 5, 7);
  wheel.deltaY = 1.5;
  wheel.deltaX = -1;
  rec.log.clear();
  App().sendEvent(wheel);
  // Each wheel message is passed on once to the parent by the default procedure.
  ASSERT_EQ(rec.messages(), (std::vector<UINT>{WM_MOUSEWHEEL, WM_MOUSEWHEEL, WM_MOUSEHWHEEL, WM_MOUSEHWHEEL}));
  EXPECT_EQ(rec.log[0].hwnd, a);
  EXPECT_EQ(rec.log[1].hwnd, top);
  EXPECT_EQ(rec.log[0].wParam, WPARAM(90) << 16);
  EXPECT_EQ(short((rec.log[2].wParam >> 16) & 0xFFFF), -60) << "the high word, signed";
}

TEST_F(ViewClass, NonClientHitsTurnIntoNonClientMessages) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50, 1);
  rec.answers[WM_NCHITTEST] = 2;  // caption
  rec.only = {0xA1, 0xA8, WM_LBUTTONDOWN, WM_MBUTTONUP, WM_SETCURSOR};
  rec.log.clear();
  App().setMouseLocation({100.4, 200.2});
  App().sendEvent(mouse(a, EventType::kLeftMouseDown, 1, 1));
  App().sendEvent(mouse(a, EventType::kOtherMouseUp, 1, 1));
  ASSERT_EQ(rec.messages(), (std::vector<UINT>{0xA1, 0xA8}));
  EXPECT_EQ(rec.log[0].wParam, 2u);
  EXPECT_EQ(rec.log[0].lParam, LPARAM(201 * 65536 + 100));
  // With the capture held nobody asks for the hit.
  SetCapture(a);
  rec.log.clear();
  App().sendEvent(mouse(a, EventType::kLeftMouseDown, 1, 1));
  EXPECT_EQ(rec.messages(), (std::vector<UINT>{WM_LBUTTONDOWN}));
}

TEST_F(ViewClass, CaptureRedirectsMouseMessages) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50, 1);
  HWND b = child(top, 60, 0, 50, 50, 2);
  rec.only = {WM_LBUTTONDOWN, WM_CAPTURECHANGED};
  rec.log.clear();
  SetCapture(a);
  App().sendEvent(mouse(b, EventType::kLeftMouseDown, 1, 1));
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0].hwnd, a);
  EXPECT_EQ(SetCapture(b), a);
  EXPECT_EQ(rec.log.back(), (Msg{a, WM_CAPTURECHANGED, 0, LPARAM(b)}));
  size_t n = rec.log.size();
  SetCapture(b);
  EXPECT_EQ(rec.log.size(), n) << "capturing the holder again says nothing";
  ReleaseCapture();
  EXPECT_EQ(rec.log.back(), (Msg{b, WM_CAPTURECHANGED, 0, 0}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ViewClass, SetCursorAfterMovesAndReleases) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50, 1);
  App().setOtherCursor();
  int before = App().arrowCursorSets();
  App().sendEvent(mouse(a, EventType::kLeftMouseUp, 1, 1));
  auto set = rec.of(WM_SETCURSOR);
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0].lParam, LPARAM(HTCLIENT | (WM_LBUTTONUP << 16)));
  EXPECT_EQ(App().arrowCursorSets(), before + 1) << "unanswered: the arrow";
  rec.answers[WM_SETCURSOR] = 1;
  App().setOtherCursor();
  App().sendEvent(mouse(a, EventType::kLeftMouseUp, 1, 1));
  EXPECT_EQ(App().arrowCursorSets(), before + 1);
}

TEST_F(ViewClass, InitDialogFocusAndBeef) {
  static HWND field;
  auto create = [](HWND parent, int) -> HWND {
    auto* f = new winsys::TextField({0, 0, 20, 20});
    f->setTag(7);
    swell::asView(parent)->addSubview(f);
    f->release();
    field = f;
    return parent;
  };
  SWELL_DialogResourceIndex res{1, "D", 4, create, 100, 100, nullptr};
  rec.answers[WM_INITDIALOG] = 0;
  HWND d = SWELL_CreateModelessWindow(&res, nullptr, RecordingProc, 42, 0);
  auto init = rec.of(WM_INITDIALOG);
  ASSERT_EQ(init.size(), 1u);
  EXPECT_EQ(init[0].wParam, WPARAM(field)) << "the first control that takes focus";
  EXPECT_EQ(init[0].lParam, 42);
  EXPECT_EQ(GetFocus(), nullptr) << "not key yet";
  ShowWindow(d, SW_SHOW);
  EXPECT_EQ(GetFocus(), field);

  rec.answers[WM_INITDIALOG] = 0xBEEF;
  HWND e = SWELL_CreateModelessWindow(&res, nullptr, RecordingProc, 0, 0);
  ShowWindow(swell::asView(e)->window(), SW_SHOWNA);  // shown with the wish to become key
  EXPECT_EQ(GetFocus(), e) << "0xBEEF focuses the dialog view itself";
}

TEST_F(ViewClass, PaintsThroughTheBackgroundStep) {
  FakePaint::install();
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 40, 30, 1);
  (void)a;
  struct Case {
    LRESULT erase, ctlcolor;
    std::vector<std::string> want;
  } cases[] = {
      {0, 0, {"create", "dialog 200"}},
      {0, 1234, {"create", "fill 1234 200"}},
      {1, 0, {"create"}},  // the procedure erased: no fill, WM_PAINT still goes
  };
  for (const auto& c : cases) {
    FakePaint::calls.clear();
    rec.log.clear();
    rec.answers[WM_ERASEBKGND] = c.erase;
    rec.answers[WM_CTLCOLORDLG] = c.ctlcolor;
    InvalidateRect(top, nullptr, 0);
    swell::asView(top)->window()->displayIfNeeded();
    // The child paints too, with its own context.
    std::vector<std::string> calls(FakePaint::calls.begin(), FakePaint::calls.begin() + long(c.want.size()));
    EXPECT_EQ(calls, c.want);
    auto paints = rec.of(WM_PAINT);
    ASSERT_FALSE(paints.empty());
    EXPECT_EQ(paints[0].hwnd, top);
    EXPECT_NE(paints[0].wParam, 0u) << "the paint context";
  }
  // The paint routine asks for the client area first.
  std::vector<UINT> order;
  for (auto& m : rec.log)
    if (m.hwnd == top && (m.msg == WM_NCCALCSIZE || m.msg == WM_NCPAINT || m.msg == WM_PAINT)) order.push_back(m.msg);
  EXPECT_EQ(order, (std::vector<UINT>{WM_NCCALCSIZE, WM_NCPAINT, WM_PAINT}));
}

TEST_F(ViewClass, DialogColoursReachLabelsAndCheckBoxes) {
  FakePaint::install();
  FakePaint::nextTextColor = 0x112233;
  auto create = [](HWND parent, int) -> HWND {
    auto* label = new winsys::TextField({0, 0, 20, 20});
    label->setEditable(false);
    auto* check = new Swell_vTarnivex_button({0, 0, 20, 20});
    check->setButtonType(1);
    swell::asView(parent)->addSubview(label);
    swell::asView(parent)->addSubview(check);
    label->release();
    check->release();
    return parent;
  };
  SWELL_DialogResourceIndex res{1, "D", 4, create, 100, 100, nullptr};
  HWND d = SWELL_CreateModelessWindow(&res, nullptr, RecordingProc, 0, 0);
  EXPECT_EQ(rec.of(WM_CTLCOLORSTATIC).size(), 1u);
  EXPECT_EQ(rec.of(WM_CTLCOLORBTN).size(), 1u);
  auto& subs = swell::asView(d)->subviews();
  EXPECT_EQ(static_cast<winsys::TextField*>(subs[0])->textColor(), 0x112233);
  EXPECT_EQ(static_cast<winsys::Button*>(subs[1])->textColor(), 0x112233);
  FakePaint::nextTextColor = -1;
}

TEST_F(ViewClass, CommandsAndTheRadioGroup) {
  HWND top = topLevel();
  std::vector<Swell_vTarnivex_button*> radios;
  for (int i = 0; i < 5; ++i) {
    auto* b = add<Swell_vTarnivex_button>(top, {0, 0, 10, 10}, 10 + i);
    b->setTarget(swell::asView(top));
    b->swellSetRadioFlags(i == 0 || i == 3 ? 3 : 1);  // groups {0,1,2} and {3,4}
    b->setState(1);
    radios.push_back(b);
  }
  rec.log.clear();
  radios[1]->sendAction();
  std::vector<int> states;
  for (auto* b : radios) states.push_back(b->state());
  EXPECT_EQ(states, (std::vector<int>{0, 1, 0, 1, 1}));
  ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
  EXPECT_EQ(rec.of(WM_COMMAND)[0].wParam, 11u);
  EXPECT_EQ(rec.of(WM_COMMAND)[0].lParam, LPARAM(static_cast<HWND>(radios[1])));
  for (auto* b : radios) b->setState(1);
  radios[3]->sendAction();  // starts a group: only the ones after it
  states.clear();
  for (auto* b : radios) states.push_back(b->state());
  EXPECT_EQ(states, (std::vector<int>{1, 1, 1, 1, 0}));

  auto* slider = add<winsys::Slider>(top, {0, 0, 10, 10}, 20);
  slider->setTarget(swell::asView(top));
  auto* plain = add<winsys::TextField>(top, {0, 0, 10, 10}, 21);
  plain->setTarget(swell::asView(top));
  rec.log.clear();
  slider->sendAction();
  Event dbl;
  dbl.type = EventType::kLeftMouseUp;
  dbl.clickCount = 2;
  App().setCurrentEvent(&dbl);
  plain->sendAction();
  auto* hv = static_cast<Swell_vTarnivex_hwnd*>(top);
  hv->comboBoxWillPopUp(plain);
  hv->controlTextDidChange(plain);
  ASSERT_EQ(rec.log.size(), 4u);
  EXPECT_EQ(rec.log[0], (Msg{top, WM_HSCROLL, 0, LPARAM(static_cast<HWND>(slider))}));
  EXPECT_EQ(rec.log[1].wParam, WPARAM(21 | (1 << 16))) << "double click";
  EXPECT_EQ(rec.log[2].wParam, WPARAM(21 | (7 << 16)));
  EXPECT_EQ(rec.log[3].wParam, WPARAM(21 | (0x300 << 16)));
}

TEST_F(ViewClass, PropertiesExtraWordsAndText) {
  HWND top = topLevel();
  static char atomName[] = "name";
  EXPECT_TRUE(SetProp(top, atomName, reinterpret_cast<void*>(1)));
  char copy[] = "name";
  EXPECT_TRUE(SetProp(top, copy, reinterpret_cast<void*>(2)));  // same name by content: replaced
  EXPECT_TRUE(SetProp(top, reinterpret_cast<const char*>(uintptr_t(5)), reinterpret_cast<void*>(3)));
  EXPECT_EQ(GetProp(top, "name"), reinterpret_cast<void*>(2));
  int visited = 0;
  EXPECT_EQ(EnumPropsEx(top, [](HWND, const char*, void*, LPARAM lp) {
              ++*reinterpret_cast<int*>(lp);
              return 1;
            }, LPARAM(&visited)), 1);
  EXPECT_EQ(visited, 2);
  EXPECT_EQ(RemoveProp(top, "name"), reinterpret_cast<void*>(2));
  EXPECT_EQ(GetProp(top, "name"), nullptr);
  EXPECT_EQ(RemoveProp(top, reinterpret_cast<const char*>(uintptr_t(5))), reinterpret_cast<void*>(3));
  EXPECT_EQ(EnumPropsEx(top, [](HWND, const char*, void*, LPARAM) { return 1; }, 0), -1);
  EXPECT_EQ(GetProp(nullptr, "x"), nullptr);
}

TEST_F(ViewClass, TimersReachTheWindowProcedure) {
  HWND top = topLevel();
  rec.only = {WM_TIMER};
  rec.log.clear();
  EXPECT_EQ(SetTimer(top, 7, 100, nullptr), 7u);
  SWELL_RunRunLoop(250);
  EXPECT_EQ(rec.log, (std::vector<Msg>{{top, WM_TIMER, 7, 0}, {top, WM_TIMER, 7, 0}}));
}

TEST_F(ViewClass, KeysPassOnOnlyWhenTheProcedureSaysSo) {
  HWND top = topLevel();
  ShowWindow(top, SW_SHOW);
  SetFocus(top);
  Event k;
  k.type = EventType::kKeyDown;
  k.window = swell::asView(top)->window();
  k.characters = "a";
  k.modifierFlags = winsys::kShiftKeyMask;
  auto* v = swell::asView(top);
  EXPECT_FALSE(v->keyDown(k)) << "DefWindowProc answers 69: passed on";
  auto keys = rec.of(WM_KEYDOWN);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wParam, WPARAM('A'));
  EXPECT_EQ(keys[0].lParam, 5) << "a letter is a virtual key, with Shift";
  rec.answers[WM_KEYDOWN] = 1;
  EXPECT_TRUE(v->keyDown(k));
}

TEST_F(ViewClass, GesturesSendBeginAndEnd) {
  HWND top = topLevel();
  rec.only = {WM_GESTURE};
  std::vector<GESTUREINFO> seen;
  rec.hook = [&](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    GESTUREINFO gi;
    if (m == WM_GESTURE && SWELL_GetGestureInfo(lp, &gi)) seen.push_back(gi);
    return 0;
  };
  Event z;
  z.type = EventType::kMagnify;
  z.window = swell::asView(top)->window();
  z.deltaZ = 0.0001;
  swell::asView(top)->magnifyWithEvent(z);
  Event r = z;
  r.rotation = -90;
  swell::asView(top)->rotateWithEvent(r);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].dwFlags, 1u);
  EXPECT_EQ(seen[0].ullArguments, 1024u);
  EXPECT_EQ(seen[1].dwFlags, 4u);
  EXPECT_EQ(seen[1].ullArguments, 1025u) << "a tiny zoom still moves by one";
  EXPECT_EQ(seen[3].ullArguments, 0u) << "rotation clamped at 0";
  EXPECT_EQ(seen[0].hwndTarget, top);
}

}  // namespace

namespace {

TEST_F(ViewClass, MouseMovesAreHandedToTheViewUnderThePointer) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50, 1);
  HWND b = child(top, 60, 0, 50, 50, 2);
  rec.only = {WM_MOUSEMOVE};
  rec.log.clear();
  Event e = mouse(b, EventType::kMouseMoved, 5, 5);
  swell::asView(a)->mouseMoved(e);  // a got it, but b is under the pointer
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0].hwnd, b);
  // Over another window the event goes to that window's view.
  HWND other = topLevel(300, 300, "Other");
  HWND c = child(other, 0, 0, 300, 300, 3);
  rec.log.clear();
  winsys::Window* ow = swell::asView(other)->window();
  winsys::Pointf screen = ow->convertBaseToScreen(swell::asView(c)->convertPointToBase({150, 150}));
  Event over = e;
  over.locationInWindow = e.window->convertScreenToBase(screen);
  swell::asView(a)->mouseMoved(over);
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0].hwnd, c);
}

TEST_F(ViewClass, PaintIsClippedToTheClientArea) {
  static std::vector<std::string> clips;
  FakePaint::install();
  SwellPaintBackend b = SWELL_GetPaintBackend();
  b.pushClip = [](HDC) { clips.push_back("push"); };
  b.setClip = [](HDC, const RECT* r) {
    clips.push_back("set " + std::to_string(r->left) + " " + std::to_string(r->top) + " " + std::to_string(r->right) +
                    " " + std::to_string(r->bottom));
  };
  b.popClip = [](HDC) { clips.push_back("pop"); };
  SWELL_SetPaintBackend(b);
  HWND top = topLevel(100, 80);
  auto* v = static_cast<Swell_vTarnivex_hwnd*>(top);
  clips.clear();
  v->paint({0, 0, 100, 80}, reinterpret_cast<HDC>(&clips));
  EXPECT_TRUE(clips.empty()) << "client equals window: no clip";
  rec.hook = [](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    if (m == WM_NCCALCSIZE) reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0].left += 4;
    return 0;
  };
  v->paint({0, 0, 100, 80}, reinterpret_cast<HDC>(&clips));
  EXPECT_EQ(clips, (std::vector<std::string>{"push", "set 4 0 100 80", "pop"}));
  PAINTSTRUCT ps;
  EXPECT_EQ(BeginPaint(top, &ps), nullptr) << "outside a paint the view answers with no context";
}

}  // namespace

namespace {

TEST_F(ViewClass, RunEventsSendsWhatIsPending) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 50, 50, 1);
  rec.only = {WM_LBUTTONDOWN};
  rec.log.clear();
  for (int i = 0; i < 3; ++i) App().postEvent(mouse(a, EventType::kLeftMouseDown, 1, 1));
  SWELL_RunEvents();
  EXPECT_EQ(rec.log.size(), 3u);
  winsys::Event none;
  EXPECT_FALSE(App().nextEvent(&none));
}

}  // namespace

namespace {

TEST_F(ViewClass, AnOpenGLContextIsCurrentOnlyWhilePainting) {
  SWELL_SetPaintBackend({});  // the marker below stands for a context: nothing may draw into it
  HWND top = topLevel();
  auto* v = static_cast<Swell_vTarnivex_hwnd*>(top);
  winsys::GLContext gl;
  v->m_glctx = &gl;
  bool currentDuringPaint = false;
  rec.hook = [&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_PAINT) currentDuringPaint = gl.current;
    return 0;
  };
  int marker;
  v->paint({0, 0, 10, 10}, reinterpret_cast<HDC>(&marker));
  EXPECT_TRUE(currentDuringPaint);
  EXPECT_FALSE(gl.current);
  EXPECT_EQ(gl.attachedTo, reinterpret_cast<HDC>(&marker));
  EXPECT_EQ(gl.updates, 1);
  v->m_glctx = nullptr;
}

}  // namespace
