// The slot view's geometry, keys, clicks, drag and drop, copy and paste and
// rename; the bank selection lists and their display names; job starts.
#include <gtest/gtest.h>

#include "FrameChecksum.h"
#include "BrowserTestSupport.h"
#include "DisplayNames.h"
#include "LibrarianJobs.h"
#include "CategoryListControl.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"

namespace {

TEST(DisplayNames, ShortenedNamesCountUpAndNeverPass55Characters) {
  const std::string p47(47, 'a'), q47(47, 'b');
  struct Case {
    std::string name, shown;
  } cases[] = {
      {std::string(52, 'x'), std::string(52, 'x')},
      {p47 + "123456.SYX", p47 + "~1.syx"},
      {"short.syx", "short.syx"},  // passes between without touching the number
      {p47 + "XYZ.mid", p47 + "~2.mid"},
      {q47 + "______.syx", q47 + "~1.syx"},
      {p47 + "______.syx", p47 + "~1.syx"},
      // A long extension or a name without one: the tail stays whole.
      {p47 + "x." + std::string(20, 'E'), p47.substr(0, 32) + "~2." + std::string(20, 'e')},
      {std::string(60, 'N'), "~1." + std::string(52, 'n')},
  };
  DisplayNamer namer;
  for (const Case& c : cases) {
    const std::string shown = namer.next(c.name);
    EXPECT_EQ(shown, c.shown) << c.name;
    EXPECT_LE(shown.size(), kMaxDisplayName);
  }
  DisplayNamer many;
  std::string last;
  for (int i = 0; i < 1200; ++i) last = many.next(p47 + "long-tail.tvx");
  EXPECT_EQ(last, p47.substr(0, 46) + "~1200.tvx");
}

TEST(SlotGrid, SlotsLieOnTheArtworkAtEachSize) {
  // Scale, then upper slot 0, lower slot 0 (left, top, right, bottom) and the left of slot 16.
  const std::vector<std::vector<double>> cases = {{1.0, 10, 21, 115, 35, 10, 294, 115, 308, 143},
                                                  {1.5, 10, 22, 169, 43, 10, 432, 169, 453, 211},
                                                  {0.8, 10, 21, 94, 33, 10, 241, 94, 253, 116},
                                                  {0.85, 10, 21, 100, 33, 10, 254, 100, 266, 123},
                                                  {1.15, 10, 22, 131, 38, 10, 336, 131, 352, 163}};
  for (const auto& c : cases) {
    const SlotGrid grid(10, 20, c[0]);
    const SlotBox &u = grid.box(0, 0), &l = grid.box(1, 0);
    EXPECT_EQ((std::vector<double>{c[0], double(u.L), double(u.T), double(u.R), double(u.B), double(l.L), double(l.T),
                                   double(l.R), double(l.B), double(grid.box(0, 16).L)}),
              c);
    EXPECT_EQ(grid.hit(1, l.R - 1, l.T), 0);
    EXPECT_EQ(grid.hit(1, l.R, l.T), -1);  // the gap between columns
    EXPECT_EQ(grid.hit(0, u.L, u.B), 1);
  }
}

// The categories list keeps the window's smallest text size at every size,
// with lines tall enough for it.
TEST(CategoryList, TextIsTwelvePixelsOrMoreAtEverySize) {
  const struct {
    double scale;
    int size, line;
  } cases[] = {{0.85, 12, 13}, {1.0, 13, 14}, {1.15, 14, 16}};
  for (const auto& c : cases) {
    const CategoryListControl list(nullptr, nullptr, IRECT(0, 0, 270, 336), c.scale);
    EXPECT_EQ(list.textStyle().mSize, c.size) << c.scale;
    EXPECT_EQ(list.lineHeight(), c.line) << c.scale;
  }
}

TEST(SlotGrid, ArrowKeysRingWithinThePane) {
  const struct {
    int cursor, key, next;
  } cases[] = {{127, 2, 0},  {0, 1, 127}, {5, 3, 117}, {117, 4, 5}, {-1, 1, 127}, {-1, 2, 0},
               {-1, 3, 111}, {-1, 4, 15}, {40, 4, 56}, {40, 3, 24}, {40, 5, -2}};
  for (const auto& c : cases) EXPECT_EQ(slotAfterKey(c.cursor, c.key), c.next) << c.cursor << " key " << c.key;
}

class SlotViewTest : public ::testing::Test {
 protected:
  SlotViewTest() {
    host.loadFixture();
    host.EngineFixture::librarian.upperBank = host.bankIndex(kSoundList, "Lead A.syx");
    host.EngineFixture::librarian.lowerBank = host.bankIndex(kSoundList, "Pad.syx");
    view = std::make_unique<LibrarianViewControl>(nullptr, &browser, 0, 0, kLibrarianArea, &background, IRECT(), 1.0);
    browser.view = view.get();
  }
  // The centre of a slot.
  std::pair<int, int> at(int pane, int slot) {
    const SlotBox& b = view->grid().box(pane, slot);
    return {(b.L + b.R) / 2, (b.T + b.B) / 2};
  }
  Bytes dumpOf(int list, const std::string& file, int slot) {
    auto lock = host.EngineFixture::librarian.lock();
    return host.EngineFixture::librarian.bankAt(list, host.bankIndex(list, file))->patches.at(slot).dumps.at(0).bytes;
  }

  FakeLibrarianHost host;
  LibrarianBrowser browser{&host};
  IBitmap background{nullptr, 1100, 560};
  std::unique_ptr<LibrarianViewControl> view;
};

TEST_F(SlotViewTest, ClickThenArrowKeySendsTheNextSlotOfThatPane) {
  EXPECT_EQ(view->slotText(0, 0), numbered("LeadA", 0));
  EXPECT_EQ(view->slotText(1, 100), "");  // past the bank's 100 entries
  auto [x, y] = at(1, 5);
  view->mouseDown(x, y, true, false);
  EXPECT_EQ(view->selectedLower, 5);
  EXPECT_EQ(view->activePane, 1);
  EXPECT_TRUE(host.grayed["saveChangesLayer"]);
  EXPECT_EQ(host.EngineFixture::librarian.mSelectedLowerSlot, 5);
  EXPECT_EQ(host.EngineFixture::librarian.targetSlot, -1);
  host.part = 3;
  EXPECT_TRUE(view->keyDown(2));
  const auto jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].jobCode, 3);
  EXPECT_EQ(jobs[0].slotArgument, 6);
  EXPECT_EQ(jobs[0].partArgument, 3);
  EXPECT_EQ(jobs[0].patchArgument.dumps.at(0).bytes, dumpOf(kSoundList, "Pad.syx", 6));
  EXPECT_EQ(view->selectedLower, 6);
  EXPECT_FALSE(view->keyDown(9));
}

// Slot 0 starts at the control's own left edge, and the whole control takes
// clicks: one between the panes or beside the slots clears both selections,
// ends a rename and leaves the arrow keys' cursor at -1.
TEST_F(SlotViewTest, ClicksBetweenThePanesClearTheSelections) {
  LibrarianViewControl framed(nullptr, &browser, 10, 20, kLibrarianArea, &background, IRECT(10, 20, 1046, 518), 1.0);
  browser.view = &framed;
  const SlotGrid& grid = framed.grid();
  const SlotBox &first = grid.box(0, 0), &upperLast = grid.box(0, 15), &lowerFirst = grid.box(1, 0);
  EXPECT_EQ((std::vector<int>{first.L, first.T, first.R, first.B}), (std::vector<int>{10, 21, 115, 35}));
  EXPECT_EQ((std::vector<int>{lowerFirst.L, lowerFirst.T}), (std::vector<int>{10, 294}));
  const struct {
    int x, y;
  } between[] = {{upperLast.L + 3, upperLast.B}, {upperLast.L + 3, (upperLast.B + lowerFirst.T) / 2},
                 {first.R + 2, first.T + 3}, {12, 20}};
  for (const auto& c : between) {
    EXPECT_TRUE(framed.IsHit(c.x, c.y)) << c.x << "," << c.y;
    framed.mouseDown(first.L + 2, first.T + 2, true, false);
    framed.renameSlot(0, 0);
    EXPECT_EQ(framed.selectedUpper, 0);
    framed.mouseDown(c.x, c.y, true, false);
    EXPECT_EQ(framed.selectedUpper, -1) << c.x << "," << c.y;
    EXPECT_EQ(framed.selectedLower, -1);
    EXPECT_EQ(framed.cursor, -1);
    EXPECT_FALSE(framed.renameActive());
    EXPECT_TRUE(host.hidden["patchRename"]);
    EXPECT_EQ(host.EngineFixture::librarian.targetSlot, -1);
  }
  EXPECT_FALSE(framed.IsHit(1200, 300));
  browser.view = view.get();
}

TEST_F(SlotViewTest, DoubleClickSendsOnlyWithAnOutputDevice) {
  auto [x, y] = at(0, 7);
  host.editor.setValue(kDeviceOutSelection, 0);
  view->mouseDblClick(x, y);
  EXPECT_EQ(view->selectedUpper, -1);
  host.editor.setValue(kDeviceOutSelection, 2);
  view->mouseDblClick(x, y);
  EXPECT_EQ(view->cursor, 7);
  const auto jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].patchArgument.dumps.at(0).bytes, dumpOf(kSoundList, "Lead A.syx", 7));
}

TEST_F(SlotViewTest, ADragTakesThePressedSlotAndTheDropFeedsItOnceIntoTheUpperPane) {
  auto [ux, uy] = at(0, 10);
  auto [lx, ly] = at(1, 3);
  view->mouseDown(lx, ly, true, false);
  view->mouseDrag(lx, ly + 14);  // drag not yet enabled
  view->mouseUp(ux, uy);
  EXPECT_EQ(host.fed, 0);
  view->dragEnabled = true;
  view->mouseDrag(lx, ly);  // no button went down on a slot
  view->mouseUp(ux, uy);
  EXPECT_EQ(host.fed, 0);
  view->mouseDown(lx, ly, true, false);
  view->mouseDrag(lx, ly + 14);  // the first movement is over lower slot 4 already
  view->mouseDrag(ux, uy);
  EXPECT_TRUE(view->dragging());
  EXPECT_EQ(view->dragName(), numbered("Pad", 3));
  EXPECT_EQ(view->dragBox().L, ux - 52);
  view->mouseUp(ux, uy);
  EXPECT_EQ(host.fed, 1);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"request on", "unsaved"}));
  EXPECT_EQ(dumpOf(kSoundList, "Lead A.syx", 10), dumpOf(kSoundList, "Pad.syx", 3));

  // From the upper pane within the edited bank; let go over itself, nothing.
  const Bytes second = dumpOf(kSoundList, "Lead A.syx", 2);
  auto [sx, sy] = at(0, 2);
  view->mouseDown(sx, sy, true, false);
  view->mouseDrag(sx + 3, sy);
  view->mouseUp(sx + 3, sy);
  EXPECT_EQ(host.fed, 1);
  view->mouseDown(sx, sy, true, false);
  view->mouseDrag(sx, sy + 14);
  view->mouseDrag(ux, uy);
  view->mouseUp(ux, uy);
  EXPECT_EQ(host.fed, 2);
  EXPECT_EQ(dumpOf(kSoundList, "Lead A.syx", 10), second);

  // Onto the last upper slot, past the bank's entries: nothing is fed.
  auto [ex, ey] = at(0, 127);
  view->mouseDown(lx, ly, true, false);
  view->mouseDrag(lx, ly + 14);
  view->mouseDrag(ex, ey);
  view->mouseUp(ex, ey);
  EXPECT_EQ(host.fed, 2);
  EXPECT_EQ(view->cursor, 127);
  EXPECT_EQ(host.calls.size(), 4u);
}

TEST_F(SlotViewTest, CopyRecordsTheSlotAndPasteTakesItFromTheBankShownNow) {
  auto [ux, uy] = at(0, 20);
  view->PasteSlotData(ux, uy);  // nothing copied yet
  EXPECT_EQ(host.fed, 0);
  // A drag takes its lower slot as the copy source, but no Copy ran: a paste
  // still feeds nothing.
  auto [dx, dy] = at(1, 7);
  view->dragEnabled = true;
  view->mouseDown(dx, dy, true, false);
  view->mouseDrag(dx, dy + 14);
  view->mouseUp(dx, dy + 14);  // let go over the lower pane: no drop
  view->PasteSlotData(ux, uy);
  EXPECT_EQ(host.fed, 0);
  view->CopySlotData(-5, -5);  // outside every slot
  view->PasteSlotData(ux, uy);
  EXPECT_EQ(host.fed, 0);
  auto [lx, ly] = at(1, 42);
  view->CopySlotData(lx, ly);
  host.EngineFixture::librarian.lowerBank = host.bankIndex(kSoundList, "Root.syx");
  view->PasteSlotData(ux, uy);
  EXPECT_EQ(host.fed, 1);
  EXPECT_EQ(host.EngineFixture::librarian.targetSlot, 20);
  EXPECT_EQ(dumpOf(kSoundList, "Lead A.syx", 20), dumpOf(kSoundList, "Root.syx", 42));
  // Past the bank's hundred entries nothing is fed and the bank stays as
  // saved; the status line says why.
  const size_t calls = host.calls.size();
  auto [px, py] = at(0, 110);
  view->PasteSlotData(px, py);
  EXPECT_EQ(host.fed, 1);
  EXPECT_EQ(host.calls.size(), calls);
  EXPECT_EQ(host.EngineFixture::librarian.targetSlot, 110);
  ASSERT_FALSE(host.statuses.empty());
  EXPECT_EQ(host.statuses.back(), "Slot not written!|A bank holds 100 sounds");
  // Nor from a slot without a sound.
  PatchLibrarian& library = host.EngineFixture::librarian;
  library.bankForEdit(kSoundList, host.bankIndex(kSoundList, "Root.syx"))->patches.at(42).dumps.clear();
  view->PasteSlotData(ux, uy);
  EXPECT_EQ(host.fed, 1);
  EXPECT_EQ(host.calls.size(), calls);
  EXPECT_EQ(host.statuses.back(), "Slot not written!|The slot copied holds no sound");
  // Nor from a slot whose sound its file cut short: a copy would pass the
  // completed bytes off as a sound.
  Bytes cut = dumpOf(kSoundList, "Lead A.syx", 3);
  cut.resize(250);
  cut.push_back(0xF7);
  PatchFile read;
  library.loadFromChunk(cut, static_cast<int>(cut.size()), &read);
  library.bankForEdit(kSoundList, host.bankIndex(kSoundList, "Root.syx"))->patches.at(42) = read.patches.at(0);
  view->PasteSlotData(ux, uy);
  EXPECT_EQ(host.fed, 1);
  EXPECT_EQ(host.calls.size(), calls);
  EXPECT_EQ(host.statuses.back(), "Slot not written!|Not a whole dump");
}

TEST_F(SlotViewTest, RenameShowsTheSlotNameUntilTheNextClickOrKey) {
  view->renameSlot(0, 0);  // no slot selected
  EXPECT_FALSE(host.hidden.count("patchRename"));
  auto [x, y] = at(0, 4);
  view->mouseDown(x, y, true, false);
  view->renameSlot(x, y);
  EXPECT_TRUE(view->renameActive());
  EXPECT_FALSE(host.state.bankEditFlag);
  EXPECT_FALSE(host.hidden["patchRename"]);
  EXPECT_EQ(host.editor.paramDisplayText(kPatchRename, 0), numbered("LeadA", 4));
  view->keyDown(7);
  EXPECT_TRUE(host.state.bankEditFlag);
}

TEST_F(SlotViewTest, ACommittedRenameTakesTheReceivePathAndAClickCancelsIt) {
  auto [x, y] = at(0, 4);
  for (bool cancel : {true, false}) {
    view->mouseDown(x, y, true, false);
    view->renameSlot(x, y);
    host.setParamDisplayText(kPatchRename, 0, "New\xC3\xA9 Name that is long");
    if (cancel) view->mouseDown(x, y, true, false);
    EXPECT_TRUE(browser.OnParamChange(kPatchRename));
    EXPECT_EQ(host.fed, cancel ? 0 : 1);
  }
  const Bytes dump = dumpOf(kSoundList, "Lead A.syx", 4);
  EXPECT_EQ(std::string(dump.begin() + 370, dump.begin() + 386), "New   Name that ");
  EXPECT_EQ(dump[390], sim::frameChecksum(dump));
  EXPECT_EQ(host.paramAt(kBankEditUnsaved)->Int(), 1);
  EXPECT_TRUE(host.state.bankEditFlag);
}

TEST_F(SlotViewTest, StepButtonsWrapAndTheDataTypeSwitchesTheLists) {
  browser.patchTypeChanged(0, kSingleBanks, false);
  host.editor.setValue(kLibLowerPreviousBank, 1);
  browser.OnParamChange(kLibLowerPreviousBank);
  EXPECT_EQ(host.EngineFixture::librarian.lowerBank, 4);
  EXPECT_EQ(host.state.lowerPatchFile, "Root.syx");
  EXPECT_EQ(view->slotText(1, 0), numbered("Root", 0));
  host.editor.setValue(kDatatype, 1);
  browser.OnParamChange(kDatatype);
  EXPECT_TRUE(host.multi);
  EXPECT_EQ(view->slotText(0, 2), numbered("Multi", 2));
  EXPECT_EQ(host.paramAt(kPatchSelectionListLower)->GetNDisplayTexts(), 1);
}

TEST(BankSelectionLists, EachListTypeFillsItsListsWithDisplayNames) {
  FakeLibrarianHost host;
  const std::string longName = std::string(50, 'L') + "ong.syx";
  writeFile(host.data.patches() / longName, soundFile("Long", 100));
  host.loadFixture();
  LibrarianBrowser browser(&host);
  host.setParamDisplayText(kCurrentOpenPerfBankL, 0, "stale");
  browser.patchTypeChanged(0, kSingleBanks, false);
  const int sounds = host.EngineFixture::librarian.bankCount(kSoundList);
  ASSERT_EQ(sounds, 6);
  for (int index : std::vector<int>{kPatchSelectionListUpper, kPatchSelectionListLower, kCurrentOpenPatchBankL + 15,
                                    kCurrentOpenPatchBankR})
    EXPECT_EQ(host.paramAt(index)->GetNDisplayTexts(), sounds) << index;
  EXPECT_EQ(host.paramAt(kCurrentOpenPerfBankL)->GetNDisplayTexts(), 0);
  const int at = host.bankIndex(kSoundList, longName);
  EXPECT_EQ(host.editor.paramDisplayText(kPatchSelectionListLower, at), std::string(47, 'L') + "~1.syx");
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0], renameLogLine(longName, std::string(47, 'L') + "~1.syx"));

  host.EngineFixture::librarian.upperBank = 2;
  browser.patchTypeChanged(1, kMultiBanks, false);
  EXPECT_EQ(host.EngineFixture::librarian.librarianMode, 1);
  EXPECT_EQ(host.EngineFixture::librarian.upperBank, 0);
  EXPECT_EQ(host.paramAt(kPatchSelectionListUpper)->GetNDisplayTexts(), 1);
  EXPECT_EQ(host.editor.paramDisplayText(kCurrentOpenPerfBankR, 0), "Multi.syx");
  EXPECT_EQ(host.paramAt(kCurrentOpenPatchBankL)->GetNDisplayTexts(), sounds);  // left alone
}

// The lower pane's lists follow category browsing (type 1) and the search
// (type 4) while the upper pane's keep the sound banks; type 3 names no list.
TEST(BankSelectionLists, CategoryAndSearchListsServeTheLowerPaneOnly) {
  FakeLibrarianHost host;
  host.loadFixture();
  PatchLibrarian& library = host.EngineFixture::librarian;
  library.createNewSearchPatchFiles("Lead");
  LibrarianBrowser browser(&host);
  browser.patchTypeChanged(0, kSingleBanks, false);
  const auto texts = [&](int index) {
    std::vector<std::string> all;
    for (int i = 0; i < host.paramAt(index)->GetNDisplayTexts(); ++i) all.push_back(host.editor.paramDisplayText(index, i));
    return all;
  };
  const auto fileNames = [&](int list) {
    std::vector<std::string> all;
    for (int i = 0; i < library.bankCount(list); ++i) all.push_back(library.bankAt(list, i)->fileName);
    return all;
  };
  const std::vector<std::string> sounds = fileNames(kSoundList);
  const struct {
    const char* what;
    int listType;
    std::vector<std::string> lower;  // what the lower pane's lists name
  } rows[] = {{"category banks", kCategoryBanks, fileNames(kCategoryList)},
              {"search results", kSearchBanks, fileNames(kSearchList)},
              {"no list", 3, fileNames(kSearchList)}};  // as the row before left them
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    host.setParamDisplayText(kCurrentOpenPerfBankL, 0, "stale");
    library.upperBank = 2;
    library.lowerBank = 3;
    browser.patchTypeChanged(0, row.listType, false);
    EXPECT_EQ(library.upperBank, 0);
    EXPECT_EQ(library.lowerBank, 0);
    for (int index : std::vector<int>{kPatchSelectionListLower, kCurrentOpenPatchBankR, kCurrentOpenPatchBankR + 15})
      EXPECT_EQ(texts(index), row.lower) << index;
    for (int index : std::vector<int>{kPatchSelectionListUpper, kCurrentOpenPatchBankL, kCurrentOpenPatchBankL + 15})
      EXPECT_EQ(texts(index), sounds) << index;
    EXPECT_EQ(texts(kCurrentOpenPerfBankL), row.listType == 3 ? std::vector<std::string>{"stale"} : std::vector<std::string>{});
  }
}

TEST(LibrarianJobs, ADroppedJobSetsNothing) {
  FakeLibrarianHost host;
  host.manager->virtualPause = [](int) { return true; };  // the request nobody answers ends at once
  host.holdJobs = true;
  EXPECT_TRUE(startLibrarianJob(host.manager.get(), partRequestJob(2, true)));
  EXPECT_FALSE(startLibrarianJob(host.manager.get(), initJob(false, false, 0), kSetDumpExpected | kSetBusy));
  EXPECT_FALSE(host.manager->dumpExpected || host.manager->busy);
  EXPECT_FALSE(startLibrarianJob(nullptr, initJob(true, false, 0), kSetBusy));  // no manager
  host.holdJobs = false;
  EXPECT_EQ(host.jobs().size(), 1u);
}

}  // namespace
