// Dialogs from resource records, control creation and the button, combo and trackbar helpers.
#include "ComboBoxes.h"
#include "ControlCreation.h"
#include "Dialogs.h"
#include "TopLevelWindows.h"
#include "WindowFixture.h"

namespace {

using Dialogs = WindowTest;
using winsys::App;
using winsys::Rectf;

SWELL_DialogControlEntry kPatchSave[] = {
    {},
    {"__SWELL_LABEL", -1, "Bank Name", 0, 10, 10, 200, 8, 0},
    {"__SWELL_EDIT", 0, "", 10013, 10, 20, 200, 12, 0x10000},
    {"__SWELL_BUTTON", 0, "&Cancel", 2, 160, 60, 50, 14, 0},
    {"", 7, "", 0, 0, 0, 5, 5, 0},  // a named class without a class name: skipped
    {"__SWELL_BUTTON", 0, "&OK    ", 10006, 100, 60, 50, 14, 0},
};
HWND createPatchSave(HWND parent, int flags) {
  SWELL_MakeSetCurParms(1.8f, 1.8f, 0, 0, parent, false, (flags & 8) == 0);
  SWELL_GenerateDialogFromList(kPatchSave + 1, 5);
  return nullptr;
}

TEST_F(Dialogs, ModalBoxWalksItsControlsAndReturnsTheEndValue) {
  SWELL_DialogResourceIndex older{10014, "Old", 0, nullptr, 10, 10, nullptr};
  SWELL_DialogResourceIndex rec{10014, "Enter Bank Name", 12, createPatchSave, 396, 144, &older};
  HWND seen = nullptr;
  int runs = 0;
  App().setModalDriver([&](winsys::ModalSession&) {
    if (++runs == 2) EndDialog(seen, 42);
  });
  this->rec.hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_INITDIALOG) seen = h;
    return 0;
  };
  EXPECT_EQ(SWELL_DialogBox(&rec, reinterpret_cast<const char*>(10014), nullptr, RecordingProc, 0), 42);
  EXPECT_EQ(runs, 2);
  ASSERT_TRUE(seen);
  auto msgs = this->rec.messages();
  EXPECT_EQ(std::count(msgs.begin(), msgs.end(), WM_DESTROY), 1);
  EXPECT_EQ(std::count(msgs.begin(), msgs.end(), WM_CREATE), 0) << "a dialog with a record gets WM_INITDIALOG only";
  EXPECT_EQ(SWELL_DialogBox(&rec, reinterpret_cast<const char*>(99), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(SWELL_DialogBox(nullptr, reinterpret_cast<const char*>(10014), nullptr, RecordingProc, 0), -1);
  rec.windowTypeFlags = 1;
  EXPECT_EQ(SWELL_DialogBox(&rec, reinterpret_cast<const char*>(10014), nullptr, RecordingProc, 0), -1);
}

TEST_F(Dialogs, EndDialogDuringInitReturnsAtOnce) {
  SWELL_DialogResourceIndex rec{5, "T", 4, createPatchSave, 396, 144, nullptr};
  int runs = 0;
  App().setModalDriver([&](winsys::ModalSession&) { ++runs; });
  this->rec.hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_INITDIALOG) EndDialog(h, 7);
    return 0;
  };
  EXPECT_EQ(SWELL_DialogBox(&rec, reinterpret_cast<const char*>(5), nullptr, RecordingProc, 0), 7);
  EXPECT_EQ(runs, 0) << "never run";
  EXPECT_EQ(this->rec.of(WM_DESTROY).size(), 1u);
}

TEST_F(Dialogs, PatchSaveLayoutIsFlippedAndNotSizedToFit) {
  SWELL_DialogResourceIndex rec{10014, "Enter Bank Name", 12, createPatchSave, 396, 144, nullptr};
  HWND d = SWELL_CreateDialog(&rec, reinterpret_cast<const char*>(10014), nullptr, RecordingProc, 0);
  ASSERT_TRUE(d);
  auto* v = swell::asView(d);
  ASSERT_EQ(v->subviews().size(), 4u) << "the entry without class name made nothing";
  auto* label = dynamic_cast<winsys::TextField*>(v->subviews()[0]);
  ASSERT_TRUE(label);
  EXPECT_EQ(label->frame(), (Rectf{18, 18, 360, 14})) << "not sized to fit";
  EXPECT_EQ(label->fontSize, 10);
  auto* cancel = dynamic_cast<winsys::Button*>(GetDlgItem(d, IDCANCEL));
  ASSERT_TRUE(cancel);
  EXPECT_EQ(cancel->title(), "Cancel");
  EXPECT_EQ(cancel->frame(), (Rectf{288, 108, 90, 25}));
  EXPECT_TRUE(GetDlgItem(d, 10013));
  EXPECT_FALSE(v->window()->isVisible()) << "created hidden";
}

TEST_F(Dialogs, CreateDialogPicksChildOrWindow) {
  HWND top = topLevel();
  SWELL_DialogResourceIndex child{3, nullptr, 1, nullptr, 50, 40, nullptr};
  HWND c = SWELL_CreateDialog(&child, reinterpret_cast<const char*>(3), swell::asView(top)->window(), RecordingProc, 0);
  ASSERT_TRUE(c);
  EXPECT_EQ(swell::asView(c)->superview(), swell::asView(top)) << "inside the window's content view";
  HWND alone = SWELL_CreateDialog(&child, reinterpret_cast<const char*>(3), nullptr, RecordingProc, 0);
  EXPECT_TRUE(swell::isContentView(swell::asView(alone))) << "a child-only record without host opens as a window";
  HWND bare = SWELL_CreateDialog(nullptr, reinterpret_cast<const char*>(0x400001), nullptr, RecordingProc, 0);
  EXPECT_EQ(swell::asView(bare)->window()->styleMask(), 15u);
  EXPECT_FALSE(SWELL_CreateDialog(&child, reinterpret_cast<const char*>(4), nullptr, RecordingProc, 0));
}

TEST_F(Dialogs, CoordinateTransform) {
  HWND top = topLevel(200, 200);
  auto* flipped = swell::asView(top);
  struct Case {
    bool flippedParent;
    float scale;
    int x, y, w, h;
    Rectf want;
  } cases[] = {
      {true, 1.8f, 10, 20, 50, 14, {18, 36, 90, 25}},
      {true, 1.8f, -5, -6, -50, -14, {5, 6, 50, 14}},
      {false, 1.0f, 0, 10, 20, 5, {0, 195, 20, 5}},
  };
  for (auto& c : cases) {
    winsys::View plain({0, 0, 200, 200});
    SWELL_MakeSetCurParms(c.scale, c.scale, 0, 0, c.flippedParent ? static_cast<HWND>(flipped) : &plain, false, false);
    EXPECT_EQ(swell::MakeCoords(c.x, c.y, c.w, c.h, false), c.want) << c.x << "," << c.y;
  }
  SWELL_MakeSetCurParms(1, 1, 0, 0, nullptr, false, false);
}

TEST_F(Dialogs, RightEdgeTrackingMovesTheRowOnly) {
  HWND top = topLevel(400, 200);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, true, true);
  HWND label = SWELL_MakeLabel(-1, "Wide label", 1, 10, 10, 48, 10, 0);  // sized to fit: 64 wide
  EXPECT_EQ(swell::asView(label)->frame().width, 64);
  HWND next = SWELL_MakeButton(0, "B", 2, 60, 10, 30, 10, 0);
  EXPECT_EQ(swell::asView(next)->frame().x, 60 + 16) << "moved by what the label grew";
  HWND below = SWELL_MakeButton(0, "C", 3, 90, 40, 30, 10, 0);
  EXPECT_EQ(swell::asView(below)->frame().x, 90) << "another row";
}

TEST_F(Dialogs, MnemonicsAndClassTable) {
  struct {
    std::string in, want;
  } texts[] = {{"&&Save &As", "&Save As"}, {"Plain", "Plain"}, {std::string(1024, '&'), std::string(1024, '&')}};
  for (auto& t : texts) EXPECT_EQ(swell::stripMnemonic(t.in.c_str()), t.want);
  HWND top = topLevel();
  SWELL_MakeSetCurParms(1.8f, 1.8f, 0, 0, top, false, false);
  auto* radio = dynamic_cast<Swell_vTarnivex_button*>(SWELL_MakeControl("r", 5, "BUTTON", 9 | int(WS_GROUP), 0, 0, 10, 10, 0));
  ASSERT_TRUE(radio);
  EXPECT_EQ(radio->swellGetRadioFlags(), 3);
  EXPECT_FALSE(SWELL_MakeControl("x", 6, "NoSuchClass", 0, 0, 0, 10, 10, 0));
  HWND s = SWELL_MakeControl(nullptr, 7, "static", 0, 0, 0, 10, 10, 0);
  EXPECT_EQ(dynamic_cast<winsys::TextField*>(s)->stringValue(), "") << "a null text is empty";
  HWND scroll = SWELL_MakeEditField(8, 0, 0, 50, 50, 0x200000);
  EXPECT_TRUE(dynamic_cast<winsys::ScrollView*>(scroll));
  auto* tv = dynamic_cast<Swell_vTarnivex_textview*>(GetDlgItem(top, 8));
  ASSERT_TRUE(tv);
  tv->setString("hello");
  struct {
    long s, e;
    size_t start, len;
  } sels[] = {{-1, 3, 0, 0}, {3, -1, 3, 2}, {4, 2, 4, 0}, {1, 99, 1, 4}};
  for (auto& c : sels) {
    SendMessage(tv, EM_SETSEL, WPARAM(c.s), LPARAM(c.e));
    EXPECT_EQ(tv->selectionStart(), c.start) << c.s << "," << c.e;
    EXPECT_EQ(tv->selectionLength(), c.len) << c.s << "," << c.e;
  }
}

HWND gCreatorMade = nullptr;
HWND fakeCreator(HWND, const char*, int id, const char* cls, int, int, int, int, int) {
  if (strcmp(cls, "Fancy")) return nullptr;
  auto* v = new winsys::Control;
  v->setTag(id);
  winsys::App().autorelease(v);
  return gCreatorMade = v;
}

TEST_F(Dialogs, CustomCreatorsAreCounted) {
  SWELL_RegisterCustomControlCreator(fakeCreator);
  SWELL_RegisterCustomControlCreator(fakeCreator);
  SWELL_UnregisterCustomControlCreator(fakeCreator);
  EXPECT_EQ(SWELL_MakeControl("", 4, "Fancy", 0, 0, 0, 1, 1, 0), gCreatorMade);
  SWELL_UnregisterCustomControlCreator(fakeCreator);
  EXPECT_FALSE(SWELL_MakeControl("", 4, "Fancy", 0, 0, 0, 1, 1, 0));
}

TEST_F(Dialogs, ComboTrackbarAndButtonHelpers) {
  HWND top = topLevel();
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  auto* cb = dynamic_cast<Swell_vTarnivex_cbox*>(SWELL_MakeCombo(9, 0, 0, 50, 0, CBS_SORT | 2));
  ASSERT_TRUE(cb);
  EXPECT_EQ(cb->frame().height, 22);
  std::vector<std::pair<const char*, int>> adds = {{"b", 0}, {"a", 0}, {"c", 2}, {"b", 1}};
  for (auto& [t, want] : adds) EXPECT_EQ(SWELL_CB_AddString(top, 9, t), want) << t;
  EXPECT_EQ(SWELL_CB_GetItemData(top, 9, 1), 0);
  EXPECT_EQ(SWELL_CB_InsertString(top, 9, 70, "z"), 4);
  auto* pop = dynamic_cast<Swell_vTarnivex_pub*>(SWELL_MakeCombo(10, 0, 0, 50, 0, 3));
  ASSERT_TRUE(pop);
  EXPECT_EQ(pop->frame().height, 18);
  auto* slider = dynamic_cast<winsys::Slider*>(SWELL_MakeControl("", 11, "msctls_trackbar32", 0, 0, 0, 9, 9, 0));
  ASSERT_TRUE(slider);
  EXPECT_EQ(slider->maxValue(), 1000);
  slider->setValue(499.5);
  EXPECT_EQ(SWELL_TB_GetPos(top, 11), 500);
  slider->setValue(499.4);
  EXPECT_EQ(SWELL_TB_GetPos(top, 11), 499);
  SWELL_MakeCheckBox("c", 12, 0, 0, 9, 9, 0);
  for (auto [check, want] : std::vector<std::pair<int, int>>{{2, 2}, {3, 2}, {1, 1}, {0, 0}}) {
    CheckDlgButton(top, 12, check);
    EXPECT_EQ(IsDlgButtonChecked(top, 12), want) << check;
  }
}

}  // namespace
