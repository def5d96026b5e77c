// The windows that open over the pages, opened and closed by clicking the
// controls the shipped document gives them, as a user would; the welcome
// box's answer lands in the settings file.
#include <functional>

#include "../library/LibraryTestSupport.h"
#include "CategoryListControl.h"
#include "LibrarianViewControl.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditorTestSupport.h"
#include "IGraphics.h"
#include "PngWrite.h"
#include "PatchLibrarian.h"

namespace {
class OverlayTest : public EditorTest {
 protected:
  explicit OverlayTest(bool withBanks = false) {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    std::ofstream(getSettingsPath(), std::ios::binary) << "yellow\nnormal\nno\n\n";
    if (withBanks) {
      fs::create_directories(getPatchesFolderStr());
      ::writeFile(getPatchesFolderStr() + "/Leads.syx", soundFile("Lead", 100, "Lead"));
      ::writeFile(getPatchesFolderStr() + "/Pads and Keys.syx",
                  concat({soundFile("Pad", 60, "Pad"), soundFile("Key", 40, "Keys")}));
    }
    makePlug(false);
  }
  ~OverlayTest() override { unsetenv("TARNIVEX_RESOURCE_DIR"); }

  IGraphics& gui() { return *plug->GetGUI(); }
  bool shown(const char* layer) {
    const ControlLayer* l = plug->namedLayer(layer);
    return l && !l->IsHidden();
  }
  // The control of the parameter that a click can reach (the first one
  // shown, where several are bound to it).
  IControl* visibleControl(int paramIdx, const char* inLayer = nullptr) {
    const auto* action = static_cast<ControlAction*>(param(paramIdx)->GetControlAction());
    if (!action) return nullptr;
    for (IControl* c : action->controls) {
      if (c->IsHidden()) continue;
      if (inLayer && !holds(*plug->namedLayer(inLayer), c)) continue;
      return c;
    }
    return nullptr;
  }
  static bool holds(const ControlLayer& layer, const IControl* control) {
    for (const auto& c : layer.controls())
      if (c.get() == control) return true;
    for (const auto& sub : layer.subLayers())
      if (holds(*sub, control)) return true;
    return false;
  }
  // Presses and releases the mouse in the middle of the control, and
  // returns what the click reached.
  IControl* click(IControl* control) {
    EXPECT_NE(control, nullptr);
    if (!control) return nullptr;
    const IRECT* r = control->GetRECT();
    return clickAt((r->L + r->R) / 2, (r->T + r->B) / 2);
  }
  // The whole window as drawn now, for people to look at.
  void snapshot(const std::string& name) {
    IRECT all(0, 0, gui().Width(), gui().Height());
    gui().Draw(&all);
    std::string error;
    fs::create_directories(TARNIVEX_SCREENSHOT_DIR);
    EXPECT_TRUE(imagegen::writePng(gui().GetDrawBitmap(), std::string(TARNIVEX_SCREENSHOT_DIR) + "/" + name + ".png",
                                   error))
        << error;
  }
  // What the bank-name field over a pane shows, once drawn (less the blank
  // a caption puts before its parameter's empty label).
  std::string paneHeader(int listParam) {
    IRECT all(0, 0, gui().Width(), gui().Height());
    gui().Draw(&all);
    std::string text = static_cast<ITextControl*>(plug->firstControlOf(listParam))->GetText();
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  IControl* clickAt(int x, int y) {
    IMouseMod mod(true, false);
    IControl* hit = gui().GetMouseControlIdx(x, y);
    gui().OnMouseDown(x, y, &mod);
    gui().OnMouseUp(x, y, &mod);
    return hit;
  }
  void clickTab(int tab) {
    const IRECT* r = visibleControl(kMainTab)->GetRECT();
    const int w = (r->R - r->L) / 6;
    clickAt(r->L + tab * w + w / 2, (r->T + r->B) / 2);
  }
};

TEST_F(OverlayTest, TheWelcomeBoxClosesForGoodAndTakesNoClicksOnceClosed) {
  ASSERT_TRUE(shown("firstRunNotification"));
  snapshot("overlay-welcome");
  IControl* ok = visibleControl(kFirstRunExit, "firstRunNotification");
  ASSERT_NE(ok, nullptr);
  const IRECT where = *ok->GetRECT();
  EXPECT_EQ(click(ok), ok);
  EXPECT_FALSE(shown("firstRunNotification"));
  EXPECT_EQ(readFile(getSettingsPath()), "yellow\nnormal\nyes\n\n");
  // The closed box leaves the page under it to the mouse.
  IControl* under = gui().GetMouseControlIdx((where.L + where.R) / 2, (where.T + where.B) / 2);
  EXPECT_TRUE(under == nullptr || under->ParamIdx() != kFirstRunExit);

  // The next session starts without it.
  plug.reset();
  makePlug(false);
  EXPECT_FALSE(shown("firstRunNotification"));
}

// A job shows the processing overlay from its own thread. Until the window
// has drawn it, the page the user sees takes the click; once drawn, the
// overlay does, and shown again it is not drawn again until the next pass.
TEST_F(OverlayTest, TheProcessingOverlayTakesClicksOnlyOnceDrawn) {
  click(visibleControl(kFirstRunExit, "firstRunNotification"));
  IControl* arrow = plug->firstControlOf(kPatchUp + 1);
  ASSERT_NE(arrow, nullptr);
  const IRECT r = *arrow->GetRECT();
  const auto hit = [&] { return gui().GetMouseControlIdx((r.L + r.R) / 2, (r.T + r.B) / 2); };
  // What the page gives the click there.
  IControl* under = hit();
  ASSERT_NE(under, nullptr);
  IRECT all(0, 0, gui().Width(), gui().Height());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    plug->DisplayProcessingIndicator(true);
    EXPECT_EQ(hit(), under) << "an overlay not yet drawn took the click";
    gui().Draw(&all);
    EXPECT_EQ(hit(), plug->progressIndicator);
    plug->DisplayProcessingIndicator(false);
    EXPECT_EQ(hit(), under);
  }
}

TEST_F(OverlayTest, TheConflictWindowClosesWithItsOk) {
  click(visibleControl(kFirstRunExit, "firstRunNotification"));
  plug->showLayer("bankPatchConflictWindow", true);
  EXPECT_TRUE(shown("bankPatchConflictWindow"));
  snapshot("overlay-conflict");
  click(visibleControl(kFirstRunExit, "bankPatchConflictWindow"));
  EXPECT_FALSE(shown("bankPatchConflictWindow"));
}

TEST_F(OverlayTest, AboutAndMidiWindowsOpenAndCloseFromTheGlobalPage) {
  click(visibleControl(kFirstRunExit, "firstRunNotification"));
  clickTab(0);
  click(visibleControl(kMultiSettings));
  ASSERT_TRUE(shown("multiModeSettingsPage2"));

  click(visibleControl(kDisplayAboutWindow));
  EXPECT_TRUE(shown("aboutWindow"));
  snapshot("overlay-about");
  click(visibleControl(kExitAboutWindow, "aboutWindow"));
  EXPECT_FALSE(shown("aboutWindow"));

  // Opened, closed and opened again, one click each.
  for (int round = 0; round < 2; ++round) {
    click(visibleControl(kViewMIDIFilterSettings, "multiModeSettingsPage2"));
    EXPECT_TRUE(shown("midiFilterSettings")) << round;
    if (round == 0) snapshot("overlay-midi");
    click(visibleControl(kViewMIDIFilterSettings, "midiFilterSettings"));
    EXPECT_FALSE(shown("midiFilterSettings")) << round;
  }
}

TEST_F(OverlayTest, EditorSizeAndSchemeMenusWriteTheSettingsFile) {
  click(visibleControl(kFirstRunExit, "firstRunNotification"));
  struct Row {
    int param, value;
    const char* file;
  };
  const Row table[] = {{kUserInterfaceSize, 2, "yellow\nlarge\nyes\n\n"},
                       {kUserInterfaceStyle, 2, "phoenix\nlarge\nyes\n\n"},
                       {kUserInterfaceSize, 0, "phoenix\nsmall\nyes\n\n"},
                       {kUserInterfaceStyle, 1, "blue\nsmall\nyes\n\n"}};
  for (const Row& row : table) {
    IControl* menu = plug->firstControlOf(row.param);
    ASSERT_NE(menu, nullptr);
    menu->SetValueFromUserInput(param(row.param)->GetNormalized(row.value));
    EXPECT_EQ(readFile(getSettingsPath()), row.file);
  }
  EXPECT_EQ(plug->GetUIScale(), 0.85);
}

TEST_F(OverlayTest, LibrarianWindowsOpenAndClose) {
  click(visibleControl(kFirstRunExit, "firstRunNotification"));
  clickTab(1);
  // A new library has no bank to name over either pane, nor slots to list.
  for (int list : {kPatchSelectionListUpper, kPatchSelectionListLower}) EXPECT_EQ(paneHeader(list), "") << list;
  EXPECT_EQ(plug->librarianView()->slotText(0, 0), "");
  // The search field replaces the search button and closes again.
  for (int round = 0; round < 2; ++round) {
    click(visibleControl(kPatchSearch));
    EXPECT_TRUE(shown("searchField")) << round;
    EXPECT_FALSE(shown("categoryLimit")) << round;
    click(visibleControl(kPatchSearch, "searchField"));
    EXPECT_FALSE(shown("searchField")) << round;
    EXPECT_TRUE(shown("categoryLimit")) << round;
  }
  // An edited bank offers to discard the edit; the bank then stays open again.
  param(kBankEditUnsaved)->Set(1.0);
  plug->showLayer("discardChangesLayerRight", true);
  plug->showLayer("keepBankOpenLayer", false);
  click(visibleControl(kDiscardBankData, "discardChangesLayerRight"));
  EXPECT_FALSE(shown("discardChangesLayerRight"));
  EXPECT_TRUE(shown("keepBankOpenLayer"));
  EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0);
}

class LibraryPageTest : public OverlayTest {
 protected:
  LibraryPageTest() : OverlayTest(true) {}
  std::string shownText(int listParam) {
    char text[128] = {};
    param(listParam)->GetDisplayForHost(param(listParam)->Value(), false, text, true);
    return text;
  }
  CategoryListControl* categories() {
    for (const auto& c : plug->namedLayer("categoryLimit")->controls())
      if (auto* list = dynamic_cast<CategoryListControl*>(c.get())) return list;
    return nullptr;
  }
};

TEST_F(LibraryPageTest, BankNamesHeadThePanesAndTheCategoriesAreListed) {
  click(visibleControl(kFirstRunExit, "firstRunNotification"));
  clickTab(1);
  // Each pane's name sits over it, shown by the pane's selection-list control.
  ASSERT_NE(plug->firstControlOf(kPatchSelectionListUpper), nullptr);
  EXPECT_FALSE(plug->firstControlOf(kPatchSelectionListUpper)->IsHidden());
  EXPECT_EQ(shownText(kPatchSelectionListUpper), "Leads.syx");
  EXPECT_EQ(shownText(kPatchSelectionListLower), "Leads.syx");
  // Multis, of which the library has none: both panes name no bank and list
  // no slot; back to sounds, both are there again.
  const LibrarianViewControl& panes = *plug->librarianView();
  for (const double multi : {1.0, 0.0}) {
    click(visibleControl(kDatatype));
    ASSERT_EQ(param(kDatatype)->Value(), multi);
    const std::string bank = multi == 1.0 ? "" : "Leads.syx";
    const std::string firstSlot = multi == 1.0 ? "" : numbered("Lead", 0);
    for (int list : {kPatchSelectionListUpper, kPatchSelectionListLower}) EXPECT_EQ(paneHeader(list), bank) << multi;
    for (int pane : {0, 1}) EXPECT_EQ(panes.slotText(pane, 0), firstSlot) << multi;
  }
  // The browsed bank's arrow steps the lower pane to the next bank file.
  click(visibleControl(kLibLowerNextBank));
  EXPECT_EQ(shownText(kPatchSelectionListLower), "Pads and Keys.syx");

  // The categories of the banks, one a line; a click browses one.
  CategoryListControl* list = categories();
  ASSERT_NE(list, nullptr);
  ASSERT_FALSE(list->IsHidden());
  PatchLibrarian& librarian = *plug->patchLibrarian;
  ASSERT_EQ(librarian.bankCount(kCategoryList), 3);
  // Listing the categories made no copy of their sounds: a category bank's
  // entries are made when it is shown.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(librarian.bankHeaderAt(kCategoryList, i)->patches.empty()) << i;
  const IRECT* r = list->GetRECT();
  const int lineHeight = 14;
  clickAt(r->L + 20, r->T + 2 * lineHeight + lineHeight / 2);
  EXPECT_TRUE(plug->browse.categoryBrowsing);
  EXPECT_EQ(param(kCategorySelection)->Value(), 1.0);
  EXPECT_EQ(librarian.lowerBank, 2);
  EXPECT_EQ(shownText(kPatchSelectionListLower), librarian.bankAt(kCategoryList, 2)->fileName);
  // The mode button hides while categories show; the light in the box turns them off again.
  EXPECT_TRUE(plug->firstControlOf(kCategorySelection)->IsHidden());
  IControl* light = visibleControl(kCategorySelection, "categoryLimit");
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->GetValue(), 1.0);

  snapshot("library-page");
  // Hidden, the search and search-mode buttons have their place painted
  // over by the next pass, with nothing else changing.
  for (IControl* hiding : {plug->searchModeControl, plug->searchButton}) {
    hiding->Hide(false);
    IRECT all(0, 0, gui().Width(), gui().Height());
    gui().Draw(&all);
    hiding->Hide(true);
    IRECT dirty;
    ASSERT_TRUE(gui().IsDirty(&dirty));
    const IRECT* place = hiding->GetRECT();
    EXPECT_TRUE(dirty.Contains(place->L, place->T) && dirty.Contains(place->R - 1, place->B - 1));
  }
  const auto pixel = [&](int x, int y) {
    LICE_IBitmap* bitmap = gui().GetDrawBitmap();
    return bitmap->getBits()[y * bitmap->getRowSpan() + x];
  };
  const int litX = r->L + 1, litY = r->T + 2 * lineHeight + lineHeight / 2;
  EXPECT_EQ(pixel(litX, litY), LICE_RGBA(70, 74, 86, 255));
  click(light);
  EXPECT_FALSE(plug->browse.categoryBrowsing);
  EXPECT_FALSE(plug->firstControlOf(kCategorySelection)->IsHidden());
  EXPECT_EQ(shownText(kPatchSelectionListLower), "Leads.syx");
  // The whole box is painted again, highlight and all, even when a pass
  // reaches only part of it first.
  EXPECT_TRUE(list->IsDirty());
  IRECT firstLine(r->L, r->T, r->R, r->T + lineHeight);
  gui().Draw(&firstLine);
  EXPECT_TRUE(list->IsDirty());
  IRECT dirty;
  ASSERT_TRUE(gui().IsDirty(&dirty));
  gui().Draw(&dirty);
  EXPECT_FALSE(list->IsDirty());
  EXPECT_EQ(pixel(litX, litY), LICE_RGBA(20, 21, 26, 255));
}
}  // namespace
