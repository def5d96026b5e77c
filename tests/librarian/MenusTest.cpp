// The librarian's menus over the fixture library: contents, ticks, picks
// mapped back to banks, and the jobs each pick starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include "BrowserTestSupport.h"
#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "LibrarianMenuLayers.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "TopBarMenus.h"

namespace {

// The browser with its slot view over the fixture library, or over an
// empty one as a new user's is.
class BrowserFixture : public ::testing::Test {
 protected:
  explicit BrowserFixture(bool withLibrary) {
    if (withLibrary) host.loadFixture();
    // The jobs really talk to an instrument; one that answers keeps them short.
    host.editor.instrument = &instrument;
    view = std::make_unique<LibrarianViewControl>(nullptr, &browser, 0, 0, kLibrarianArea, &background, IRECT(), 1.0);
    browser.view = view.get();
  }
  PatchLibrarian& library() { return host.EngineFixture::librarian; }

  SimulatedInstrument instrument;
  FakeLibrarianHost host;
  LibrarianBrowser browser{&host};
  IBitmap background{nullptr, 1100, 560};
  std::unique_ptr<LibrarianViewControl> view;
};

class MenuTest : public BrowserFixture {
 protected:
  MenuTest() : BrowserFixture(true) {}
  std::unique_ptr<FolderMenuControl> folderMenu(FolderMenuKind kind) {
    return std::make_unique<FolderMenuControl>(nullptr, &browser, IRECT(394, 461, 810, 480), kind);
  }
};

TEST_F(MenuTest, FolderMenusListTheTreeAndTickOneBank) {
  const struct {
    FolderMenuKind kind;
    std::string shown;
    std::vector<std::string> folders;
  } cases[] = {
      {FolderMenuKind::kLeftPatch,
       "Pads [Pad.syx*] | Leads [Deep [Deep.syx] | Lead A.syx | Lead B.syx] | Root.syx",
       {"Pads", "Deep", "Leads", "Patches"}},
      {FolderMenuKind::kRightPerf, "Multis [Multi.syx*]", {"Multis"}},
      {FolderMenuKind::kCategory,
       "Pad [Pad 1* | Pad 2] | Lead [Lead 1 | Lead 2] | Bass [Bass 1]",
       {"Pad", "Lead", "Bass", ""}},
      {FolderMenuKind::kSearch, "", {}},
  };
  for (const auto& c : cases) {
    auto menu = folderMenu(c.kind);
    EXPECT_EQ(describe(menu->mainMenu()), c.shown);
    EXPECT_EQ(menu->folderNames(), c.folders);
  }
  // Every position ticks exactly its bank; names win over the position.
  auto menu = folderMenu(FolderMenuKind::kLeftPatch);
  for (int selection = 0; selection < 6; ++selection) {
    menu->refreshFolderStructure(selection, "nothing", "nowhere");
    EXPECT_EQ(menu->tickCount(), selection < 5 ? 1 : 0) << selection;
  }
  menu->refreshFolderStructure(4, "Lead B.syx", "Leads");
  EXPECT_EQ(describe(menu->mainMenu()),
            "Pads [Pad.syx] | Leads [Deep [Deep.syx] | Lead A.syx | Lead B.syx*] | Root.syx");
  EXPECT_EQ(library().upperBank, host.bankIndex(kSoundList, "Lead B.syx"));
  EXPECT_EQ(host.paramAt(kPatchSelectionListUpper)->Int(), library().upperBank);
}

TEST_F(MenuTest, APickBecomesThePanesBankAndADismissalChangesNothing) {
  auto menu = folderMenu(FolderMenuKind::kRightPatch);
  host.picks = {{"Leads", "Deep", "Deep.syx"}};
  menu->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(library().lowerBank, host.bankIndex(kSoundList, "Deep.syx"));
  EXPECT_EQ(host.state.lowerPatchFile, "Deep.syx");
  EXPECT_EQ(host.state.lowerPatchFolder, "Deep");
  EXPECT_EQ(view->slotText(1, 0), numbered("Deep", 0));
  EXPECT_EQ(menu->tickCount(), 1);
  host.picks = {{"Root.syx"}};
  menu->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(host.state.lowerPatchFolder, "Patches");
  EXPECT_EQ(view->slotText(1, 0), numbered("Root", 0));
  menu->OnMouseDown(0, 0, nullptr);  // dismissed
  EXPECT_EQ(host.state.lowerPatchFile, "Root.syx");
  EXPECT_EQ(library().lowerBank, host.bankIndex(kSoundList, "Root.syx"));
  EXPECT_EQ(describe(menu->mainMenu()),
            "Pads [Pad.syx] | Leads [Deep [Deep.syx] | Lead A.syx | Lead B.syx] | Root.syx*");
}

TEST_F(MenuTest, CategoryPicksMapToCategoryBanksAndARebuildGivesNoFinalTick) {
  host.state.categoryBrowsing = true;
  auto menu = folderMenu(FolderMenuKind::kCategory);
  host.picks = {{"Lead", "Lead 2"}};
  menu->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(library().lowerBank, 3);
  EXPECT_EQ(host.state.lowerPatchFolder, "Lead");
  menu->refreshFolderStructure(4, "no such", "bank");
  EXPECT_EQ(describe(menu->mainMenu()), "Pad [Pad 1 | Pad 2] | Lead [Lead 1 | Lead 2] | Bass [Bass 1*]");
  EXPECT_EQ(library().lowerBank, 3);
}

// After a search, the lower pane's menu lists the result banks in one flat
// menu; a pick makes that bank the lower pane's and shows its sounds.
TEST_F(MenuTest, ASearchMenuListsTheResultBanksAndAPickShowsOne) {
  library().createNewSearchPatchFiles("Lead");
  ASSERT_EQ(library().bankCount(kSearchList), 2);
  host.state.searchActive = true;
  auto menu = folderMenu(FolderMenuKind::kSearch);
  const std::string first = library().bankAt(kSearchList, 0)->fileName, second = library().bankAt(kSearchList, 1)->fileName;
  EXPECT_EQ(describe(menu->mainMenu()), first + "* | " + second);
  EXPECT_EQ(menu->folderNames(), std::vector<std::string>{"Patches"});
  host.picks = {{second}};
  menu->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(library().lowerBank, 1);
  EXPECT_EQ(host.state.lowerPatchFile, second);
  EXPECT_EQ(host.state.lowerPatchFolder, "Patches");
  EXPECT_EQ(host.paramAt(kPatchSelectionListLower)->Int(), 1);
  EXPECT_EQ(view->slotText(1, 0), library().bankAt(kSearchList, 1)->patches.at(0).name);
  EXPECT_EQ(describe(menu->mainMenu()), first + " | " + second + "*");
}

// Picking a bank file in the top bar's bank-name menu, whatever the main
// tab holds: the upper pane's bank changes, its slots show the bank's
// names, and the current slot goes to the part.
TEST_F(MenuTest, TheBankNameMenuOnEveryPageReloadsThePaneAndSends) {
  host.manager->virtualPause = [](int) { return true; };
  host.libraryMode = true;
  auto menu = folderMenu(FolderMenuKind::kProgBankName);
  for (const double tab : {0.0, 2.0, 1.0}) {
    SCOPED_TRACE(tab);
    library().upperBank = host.bankIndex(kSoundList, "Root.syx");
    view->patchSelectionUpperChanged();
    host.editor.setValue(kMainTab, tab);
    view->cursor = 6;
    host.picks = {{"Leads", "Lead B.syx"}};
    const size_t before = host.jobs().size();
    menu->OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(library().upperBank, host.bankIndex(kSoundList, "Lead B.syx"));
    EXPECT_EQ(view->slotText(0, 1), numbered("LeadB", 1));
    const auto jobs = host.jobs();
    ASSERT_EQ(jobs.size(), before + 1);
    EXPECT_EQ(jobs.back().jobCode, 3);
  }
}

TEST_F(MenuTest, BankNameMenuSendsTheHighlightedSlotOnAPickAndNothingWhenDismissed) {
  host.libraryMode = true;
  auto menu = folderMenu(FolderMenuKind::kProgBankName);
  view->cursor = 9;
  host.editor.setValue(kMainTab, 1);
  host.picks = {{"Leads", "Lead A.syx"}};
  menu->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(library().upperBank, host.bankIndex(kSoundList, "Lead A.syx"));
  EXPECT_EQ(host.state.upperPatchFile, "Lead A.syx");
  EXPECT_EQ(view->slotText(0, 1), numbered("LeadA", 1));
  ASSERT_EQ(host.jobs().size(), 1u);
  EXPECT_FALSE(host.hidden["PROGBANKNAMEMENUPROGRAMS"]);
  EXPECT_TRUE(host.hidden["PERFBANKNAMEMENUPROGRAMS"]);
  // Dismissed while the lower pane is worked in: no pick, so nothing goes
  // out and nothing changes, whichever slot the part plays.
  host.editor.setValue(kMultiPartPatch + host.part, 9);
  view->activePane = 1;
  view->selectedLower = 30;
  view->cursor = 30;
  const int upperSelected = view->selectedUpper, target = library().targetSlot;
  host.hidden.clear();
  menu->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(host.shownMenus.size(), 2u);  // it opened
  EXPECT_EQ(host.jobs().size(), 1u);
  EXPECT_EQ(library().upperBank, host.bankIndex(kSoundList, "Lead A.syx"));
  EXPECT_EQ(host.state.upperPatchFile, "Lead A.syx");
  EXPECT_EQ(library().targetSlot, target);
  EXPECT_EQ(view->selectedUpper, upperSelected);
  EXPECT_EQ(view->cursor, 30);
  EXPECT_EQ(view->activePane, 1);
  EXPECT_EQ(view->selectedLower, 30);
  EXPECT_TRUE(host.hidden.empty());  // the top bar's menus were left as they were
  // Picked again: the part's program is the highlighted upper slot and the
  // current one, and that slot goes out; the lower pane keeps its selection.
  host.picks = {{"Leads", "Lead A.syx"}};
  menu->OnMouseDown(0, 0, nullptr);
  const auto jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].jobCode, 3);
  EXPECT_EQ(jobs[1].slotArgument, 9);
  EXPECT_EQ(jobs[1].patchArgument.name, numbered("LeadA", 9));
  EXPECT_EQ(library().targetSlot, 9);
  EXPECT_EQ(view->selectedUpper, 9);
  EXPECT_EQ(view->cursor, 9);
  EXPECT_EQ(view->activePane, 0);
  EXPECT_EQ(view->selectedLower, 30);
}

TEST_F(MenuTest, BankEditMenuFollowsTheDataTypeAndEachPickStartsItsJob) {
  BankEditPopupMenu menu(nullptr, &browser, IRECT(839, 187, 916, 205));
  EXPECT_EQ(
      describe(&menu.mainMenu()),
      "Request Patch Data [from Active Slot to Plug-in GUI | from Active Slot to Librarian | from Selected "
      "Program Slot | - | All Patches from Bank A | All Patches from Bank B | All Patches from Bank C] | - | "
      "Store Patch Data [To Currently Selected Slot & Bank | - | All Current Patches to Bank A | All Current "
      "Patches to Bank B | All Current Patches to Bank C] | - | Sync Current Data from HW | Push Current Multi to "
      "HW | - | Save (Overwrite current bank) | Save As... [Standard MIDI (*.mid) | Tarnivex Format (*.tvx)] | - "
      "| Import... [Standard MIDI (*.mid) | SysEx (*.syx / *.tvx)] | Refresh Folders | - | Open Data Folder | "
      "About...");
  host.part = 2;
  host.editor.setValue(kMultiPartBank + 2, 1);
  const struct {
    std::vector<std::string> path;
    int code, part, bank;
    bool flag;
  } picks[] = {
      {{"Request Patch Data", "from Active Slot to Plug-in GUI"}, 6, 2, 0, true},
      {{"Request Patch Data", "from Active Slot to Librarian"}, 6, 2, 0, false},
      {{"Request Patch Data", "from Selected Program Slot"}, 9, 0, 1, false},
      {{"Request Patch Data", "All Patches from Bank C"}, 10, 0, 2, false},
      {{"Sync Current Data from HW"}, 5, 0, 0, true},
      {{"Store Patch Data", "All Current Patches to Bank B"}, 4, 0, 0, false},
  };
  for (const auto& p : picks) {
    host.picks = {p.path};
    menu.OnMouseDown(0, 0, nullptr);
    const auto jobs = host.cancelledJobs();
    ASSERT_FALSE(jobs.empty());
    EXPECT_EQ(jobs.back().jobCode, p.code) << p.path.back();
    EXPECT_EQ(jobs.back().partArgument, p.part) << p.path.back();
    EXPECT_EQ(p.code == 4 ? jobs.back().storeArgument3 : jobs.back().bankArgument, p.code == 4 ? 1 : p.bank);
    EXPECT_EQ(jobs.back().requestFlag, p.flag) << p.path.back();
    EXPECT_EQ(menu.mainMenu().GetItem(0)->GetSubmenu()->IsItemChecked(0), false);
  }
  host.holdJobs = true;
  host.picks = {{"Sync Current Data from HW"}, {"Sync Current Data from HW"}};
  menu.OnMouseDown(0, 0, nullptr);
  menu.OnMouseDown(0, 0, nullptr);  // the worker is busy: dropped
  host.holdJobs = false;
  EXPECT_EQ(host.jobs().size(), std::size(picks) + 1);

  host.multi = true;
  menu.AddMenuItemsIn();
  EXPECT_EQ(describe(menu.mainMenu().GetItem(0)->GetSubmenu()),
            "from Temp Buffer to Plug-in GUI | from Temp Buffer to Librarian | from selected Program Slot | All "
            "Multis from Selected Bank");
  host.picks = {{"Refresh Folders"}, {"About..."}, {"Import...", "Standard MIDI (*.mid)"}};
  for (int i = 0; i < 3; ++i) menu.OnMouseDown(0, 0, nullptr);
  // The import reads the folders again itself once a file came in.
  EXPECT_EQ(host.calls, (std::vector<std::string>{"refresh folders", "import mid"}));
  EXPECT_FALSE(host.hidden["aboutWindow"]);
}

// "Store Patch Data": the bank of the pane in use goes into the instrument's
// memory, all of it or the selected slot's entry at the part's bank.
TEST_F(MenuTest, StoringWritesThePaneInUseIntoTheInstrumentsMemory) {
  host.manager->virtualPause = [](int) { return true; };
  library().upperBank = host.bankIndex(kSoundList, "Lead A.syx");
  library().lowerBank = host.bankIndex(kSoundList, "Pad.syx");
  host.part = 3;
  host.editor.setValue(kMultiPartBank + 3, 2);
  BankEditPopupMenu menu(nullptr, &browser, IRECT(839, 187, 916, 205));
  LibrarianPatch saved;
  const struct {
    const char* what;
    std::string pick;
    int upperSlot;  // -1: nothing selected in the upper pane
    int bank;
    std::vector<std::pair<int, std::string>> stored;  // program, name
    int cut = -1;  // the upper pane's entry read from a file that cut it short
  } rows[] = {
      {"all, a slot of the upper pane selected", "All Current Patches to Bank B", 5, 1,
       {{0, numbered("LeadA", 0)}, {57, numbered("LeadA", 57)}, {99, numbered("LeadA", 99)}}},
      {"all, nothing selected above: the lower pane", "All Current Patches to Bank A", -1, 0,
       {{0, numbered("Pad", 0)}, {99, numbered("Pad", 99)}}},
      {"the selected slot at the part's bank", "To Currently Selected Slot & Bank", 7, 2, {{7, numbered("LeadA", 7)}}},
      // The rest of the bank is written; the instrument keeps its own program.
      {"all, an entry cut short in its file", "All Current Patches to Bank B", 5, 1,
       {{56, numbered("LeadA", 56)}, {58, numbered("LeadA", 58)}}, 57},
      {"the selected slot, cut short in its file", "To Currently Selected Slot & Bank", 7, 2, {}, 7},
      // The starter itself: the lower pane from slot 40 on into bank C from program 0 on.
      {"the starter, lower pane from slot 40", "", 5, 2, {{0, numbered("Pad", 40)}, {59, numbered("Pad", 99)}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    SimulatedInstrument fresh;
    const SimBytes untouched = fresh.storedSound(row.bank, 8);
    const size_t before = instrument.received().size();
    host.statuses.clear();
    const SimBytes kept = instrument.storedSound(row.bank, std::max(row.cut, 0));
    if (row.cut >= 0) {
      Bytes file = SimulatedInstrument::soundDump(0, 0, 0, numbered("Cut", row.cut));
      file.resize(300);
      file.push_back(0xF7);
      PatchFile read;
      library().loadFromChunk(file, static_cast<int>(file.size()), &read);
      const auto bank = library().bankForEdit(kSoundList, library().upperBank);
      saved = bank->patches.at(static_cast<size_t>(row.cut));
      bank->patches.at(static_cast<size_t>(row.cut)) = read.patches.at(0);
    }
    library().targetSlot = row.upperSlot;
    view->selectedUpper = row.upperSlot;
    if (row.pick.empty()) {
      host.midiReady = false;
      EXPECT_FALSE(browser.storeAllPatchesToDeviceFromLibrarian(1, 40, row.bank));
      host.midiReady = true;
      EXPECT_TRUE(browser.storeAllPatchesToDeviceFromLibrarian(1, 40, row.bank));
    } else {
      host.picks = {{"Store Patch Data", row.pick}};
      menu.OnMouseDown(0, 0, nullptr);
    }
    host.jobs();
    for (const auto& [program, name] : row.stored) {
      const SimBytes dump = instrument.storedSound(row.bank, program);
      EXPECT_EQ(std::string(dump.begin() + 370, dump.begin() + 370 + static_cast<long>(name.size())), name) << program;
    }
    if (row.stored.size() == 1) {
      EXPECT_EQ(instrument.storedSound(row.bank, 8), untouched);  // only the slot
    }
    if (row.pick.empty()) {
      EXPECT_EQ(instrument.storedSound(row.bank, 60), fresh.storedSound(row.bank, 60));  // 60 entries, no more
    }
    if (row.cut >= 0) {
      EXPECT_EQ(instrument.storedSound(row.bank, row.cut), kept);
      if (row.stored.empty()) {
        EXPECT_EQ(instrument.received().size(), before);  // not even notes off
        EXPECT_EQ(host.statuses, std::vector<std::string>{"Entry not sent!|Not a whole dump"});
      }
      library().bankForEdit(kSoundList, library().upperBank)->patches.at(static_cast<size_t>(row.cut)) = saved;
    }
    EXPECT_TRUE(instrument.checksumErrors().empty());
  }
}

// A part locked against program changes keeps its sound: no library entry
// reaches it, by double click or by key.
TEST_F(MenuTest, ALockedPartTakesNoSoundFromTheLibrary) {
  host.manager->virtualPause = [](int) { return true; };
  library().upperBank = host.bankIndex(kSoundList, "Lead B.syx");
  host.part = 4;
  const SlotBox& slot = view->grid().box(0, 21);
  const struct {
    const char* what;
    double lock;
    bool sent;
  } rows[] = {{"locked", 1, false}, {"unlocked", 0, true}, {"a lock of 0.5 is no lock", 0.5, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    host.editor.setValue(kPartLock + 4, row.lock);
    const size_t before = instrument.received().size();
    view->mouseDblClick(slot.L + 1, slot.T + 1);
    host.jobs();
    const SimBytes part = instrument.partBuffer(4);
    EXPECT_EQ(std::string(part.begin() + 370, part.begin() + 379) == numbered("LeadB", 21).substr(0, 9), row.sent);
    if (!row.sent) {
      EXPECT_EQ(instrument.received().size(), before);
    }
    host.editor.setParamDisplayText(kPatchName + 4, 0, "");
    instrument.receive(SimulatedInstrument::soundDump(0, 0x30, 4, "PART A05"));
  }
  // The lock that counts is that of the part the entry goes to, whichever part is shown.
  host.editor.setValue(kPartLock + 4, 1);
  EXPECT_TRUE(browser.sendPatchToDeviceFromLibrarian(21, 0, 6));
  host.jobs();
  host.editor.setValue(kPartLock + 4, 0);
  host.editor.setValue(kPartLock + 6, 1);
  EXPECT_FALSE(browser.sendPatchToDeviceFromLibrarian(21, 0, 6));
  host.editor.setValue(kPartLock + 6, 0);

  // An entry that is not a whole dump: nothing goes out, not even notes
  // off, and the status line says why.
  for (const Bytes& dump : {Bytes(500, 0x11), Bytes{0xF0, 0x43, 0x10, 0xF7}}) {
    Bytes bad = dump;
    bad[0] = 0xF0;
    library().bankForEdit(kSoundList, library().upperBank)->patches.at(22).dumps = {{bad}};
    const size_t before = instrument.received().size();
    host.statuses.clear();
    EXPECT_FALSE(browser.sendPatchToDeviceFromLibrarian(22, 0, 4));
    host.jobs();
    EXPECT_EQ(instrument.received().size(), before);
    EXPECT_EQ(host.statuses, std::vector<std::string>{"Entry not sent!|Not a whole dump"});
  }
}

// In multi mode the edit and slot menus work on multis: what each pick
// leaves in the selected slot or in the instrument's memory.
TEST_F(MenuTest, InMultiModeThePicksMoveMultis) {
  host.manager->virtualPause = [](int) { return true; };
  host.multi = true;
  host.editor.multiMode = true;
  library().librarianMode = 1;
  library().upperBank = host.bankIndex(kMultiList, "Multi.syx");
  host.editor.setParamDisplayText(kMultiName, 0, "Editor Multi");
  BankEditPopupMenu menu(nullptr, &browser, IRECT(839, 187, 916, 205));
  menu.AddMenuItemsIn();
  const SlotBox& slot = view->grid().box(0, 4);
  const auto multiName = [](const Bytes& dump) { return std::string(dump.begin() + 23, dump.begin() + 39); };
  const auto slotName = [&] { return multiName(library().entryAt(1, library().upperBank, 4).dumps.at(0).bytes); };
  const struct {
    const char* what;
    std::vector<std::string> pick;
    bool slotMenu;
    std::function<void()> check;
  } rows[] = {
      {"the instrument's multi 4 into the slot", {"Request Multi Data", "from selected Program Slot"}, false,
       [&] { EXPECT_EQ(slotName(), "MULTI A04       "); }},
      {"the editor's multi into the slot", {"Get DATA from..", "Plug-in (active patch)"}, true,
       [&] { EXPECT_EQ(slotName(), "Editor Multi    "); }},
      {"the init multi into the slot", {"Initialize Slot"}, true, [&] { EXPECT_EQ(slotName(), "Init Multi   dVn"); }},
      {"the whole bank into the instrument's multis", {"Store Multi Data", "All Multis from Current Bank"}, false,
       [&] {
         for (int program : {0, 57, 99})
           EXPECT_EQ(multiName(instrument.storedMulti(program)).substr(0, 7), numbered("Multi", program).substr(0, 7));
         EXPECT_EQ(multiName(instrument.storedMulti(4)), "Init Multi   dVn");  // the slot as the rows above left it
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    library().targetSlot = 4;
    view->selectedUpper = 4;
    host.picks = {row.pick};
    if (row.slotMenu) {
      view->mouseDown(slot.L + 1, slot.T + 1, false, true);
    } else {
      menu.OnMouseDown(0, 0, nullptr);
    }
    host.jobs();
    row.check();
  }
}

TEST_F(MenuTest, SlotMenusOpenAtTheClickAndCopyPasteThroughThem) {
  const SlotBox& lower = view->grid().box(1, 12);
  const SlotBox& upper = view->grid().box(0, 30);
  host.picks = {{"Copy"}, {"Paste"}, {"Initialize Slot"}};
  view->mouseDown(lower.L + 1, lower.T + 1, false, true);
  EXPECT_EQ(describe(host.shownMenus.back()), "Copy");
  EXPECT_EQ(host.shownAt.back().L, lower.L + 1);
  view->mouseDown(upper.L + 1, upper.T + 1, false, true);
  EXPECT_EQ(describe(host.shownMenus.back()),
            "Paste | - | Rename | - | Initialize Slot | Get DATA from.. [Plug-in (active patch) | - | Hardware Edit "
            "Buffer | Hardware by Prog No.]");
  EXPECT_EQ(host.fed, 1);
  EXPECT_EQ(library().entryAt(0, library().upperBank, 30).dumps, library().entryAt(0, library().lowerBank, 12).dumps);
  view->mouseDown(upper.L + 1, upper.T + 1, false, true);
  const auto jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].jobCode, 12);
  // The init sound went to the selected slot; the job clears the flag its starter set.
  EXPECT_EQ(library().entryAt(0, library().upperBank, 30).name, "Init Patch   dVn");
  EXPECT_FALSE(host.manager->dumpExpected);
}

TEST_F(MenuTest, BankAndProgramMenusByModeAndTheirPicks) {
  host.editor.setValue(kGlobalRxProgramChange, 1);  // the instrument takes program changes
  BankNumberPopupMenu bank(nullptr, &browser, IRECT(1142, 60, 1180, 84));
  ProgramNumberPopupMenu program(nullptr, &browser, IRECT(1184, 60, 1229, 84));
  EXPECT_EQ(describe(&bank.menu()), "Bank A (RAM)* | Bank B (RAM) | Bank C (RAM)");
  bank.refreshPatchNames(3);
  EXPECT_EQ(bank.menu().IsItemChecked(0) + bank.menu().IsItemChecked(1) + bank.menu().IsItemChecked(2), 0);
  EXPECT_EQ(describe(&program.submenu(9)),
            "Sound 091 | Sound 092 | Sound 093 | Sound 094 | Sound 095 | Sound 096 | Sound 097 | Sound 098 | Sound "
            "099 | Sound 100");
  host.part = 1;
  host.editor.setValue(kGlobalRxProgramChange, 1);  // the instrument takes program changes
  host.picks = {{"51-60", "Sound 054"}, {"Bank C (RAM)"}};
  // Each pick is handed to the entry; the part shows it once its program
  // change went out (the record), then its sound is asked for.
  program.OnMouseDown(0, 0, nullptr);
  host.jobs();
  EXPECT_EQ(host.paramAt(kMultiPartPatch + 1)->Int(), 53);
  EXPECT_TRUE(program.submenu(5).IsItemChecked(3));
  bank.OnMouseDown(0, 0, nullptr);
  auto jobs = host.jobs();
  EXPECT_EQ(host.paramAt(kMultiPartBank + 1)->Int(), 2);
  EXPECT_EQ(host.handed, (std::vector<std::string>{"pick 1", "pick 1"}));
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].jobCode, 6);
  EXPECT_EQ(jobs[0].partArgument, 1);
  EXPECT_TRUE(jobs[0].requestFlag);
  // Picks that would not go out (the part locked, no port) change nothing and
  // say why; one refused on its way changes nothing shown either, and the
  // menu, opened again (dismissed), ticks what the part plays.
  host.editor.setValue(kPartLock + 1, 1);
  host.picks = {{"61-70", "Sound 061"}, {"Bank A (RAM)"}, {"61-70", "Sound 061"}, {}};
  program.OnMouseDown(0, 0, nullptr);
  host.editor.setValue(kPartLock + 1, 0), host.midiReady = false;
  bank.OnMouseDown(0, 0, nullptr);
  host.midiReady = true, host.bankChangeSent = false;
  program.OnMouseDown(0, 0, nullptr);
  host.jobs();
  host.bankChangeSent = true;
  program.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(host.statuses, (std::vector<std::string>{"Nothing sent!|Part 2 is locked", "Set MIDI I/O First!|"}));
  EXPECT_EQ((std::pair{host.paramAt(kMultiPartBank + 1)->Int(), host.paramAt(kMultiPartPatch + 1)->Int()}), (std::pair{2, 53}));
  EXPECT_TRUE(program.submenu(5).IsItemChecked(3));

  host.multi = true;
  EXPECT_FALSE(bank.refreshPatchNames(0));
  EXPECT_EQ(describe(&bank.menu()), "Bank 0 (RAM)");
  // A pick in multi mode is the multi's: its bank change goes, the multi's
  // bank shows it, and as a program pick does, the stored multi the
  // instrument now plays is asked for.
  host.editor.setValue(kMultiBank, 1);
  host.editor.clearRecords();
  host.picks = {{"Bank 0 (RAM)"}};
  bank.OnMouseDown(0, 0, nullptr);
  jobs = host.jobs();
  EXPECT_EQ(host.paramAt(kMultiBank)->Int(), 0);
  EXPECT_EQ(host.editor.calls(), std::vector<std::string>{"BankChangeMessage 16"});
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ((std::pair{jobs[2].jobCode, jobs[2].requestFlag}), (std::pair{5, true}));
  host.libraryMode = true;
  host.editor.setValue(kMultiPartMIDICh + 1, 3);  // part 2 on channel 2: its program change has a channel
  library().upperBank = host.bankIndex(kSoundList, "Root.syx");
  host.multi = false;
  host.editor.setValue(kPatchSelectionListUpper, host.bankIndex(kSoundList, "Root.syx"));
  program.refreshPatchNames(99);
  EXPECT_EQ(program.submenu(9).GetItemText(9), numbered("Root", 99));
  EXPECT_TRUE(program.submenu(9).IsItemChecked(9));
  host.picks = {{"11-20", numbered("Root", 12)}};
  program.OnMouseDown(0, 0, nullptr);
  jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 4u);
  EXPECT_EQ(jobs[3].jobCode, 3);
  EXPECT_EQ(jobs[3].slotArgument, 12);
  EXPECT_EQ(view->selectedUpper, 12);
  // While a job has the instrument the pick waits for its end, then goes.
  host.holdJobs = true;
  ASSERT_TRUE(startLibrarianJob(host.manager.get(), partRequestJob(1, false)));
  host.picks = {{"11-20", numbered("Root", 15)}};
  program.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(view->selectedUpper, 15);
  host.holdJobs = false;
  jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 6u);
  EXPECT_EQ((std::pair{jobs[5].jobCode, jobs[5].slotArgument}), (std::pair{3, 15}));
}

TEST_F(MenuTest, SaveWritesTheEditedBankBackToItsFileByteExact) {
  // The process's load as read before the edit and the save, on a file system whose
  // stamps would not show the save (coarser than a quick rewrite).
  const std::string key = SharedLibraryLoads::keyOf(host.data.patchesStr());
  auto stale = std::make_shared<SharedLoad>();
  {
    auto guard = library().lock();
    stale->contents.soundBanks = library().contents().soundBanks;
  }
  SharedLibraryLoads::publish(key, stale);
  library().upperBank = host.bankIndex(kSoundList, "Lead A.syx");
  library().lowerBank = host.bankIndex(kSoundList, "Pad.syx");
  std::vector<Bytes> expected;
  for (int i = 0; i < 100; ++i) expected.push_back(library().entryAt(0, library().upperBank, i).dumps.at(0).bytes);
  expected[10] = library().entryAt(0, library().lowerBank, 3).dumps.at(0).bytes;
  view->CopySlotData(view->grid().box(1, 3).L, view->grid().box(1, 3).T);
  view->PasteSlotData(view->grid().box(0, 10).L, view->grid().box(0, 10).T);
  const std::filesystem::path copy = host.data.patches() / "Lead A copy.tvx";
  library().hooks.promptForFile = [&](int, std::string&, const std::string&, const std::string&) {
    return copy.string();
  };
  BankEditPopupMenu menu(nullptr, &browser, IRECT(839, 187, 916, 205));
  // Either save leaves the page saved, the bank in its file as edited.
  const struct {
    std::vector<std::string> pick;
    std::filesystem::path file;
  } rows[] = {{{"Save (Overwrite current bank)"}, host.data.patches() / "Leads" / "Lead A.syx"},
              {{"Save As...", "Tarnivex Format (*.tvx)"}, copy}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pick.front());
    host.editor.setValue(kBankEditUnsaved, 1);
    host.hidden["discardChangesLayerRight"] = false;  // DISCARD lit by the edit
    host.picks = {row.pick};
    menu.OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(readFile(row.file), concat(expected));
    EXPECT_EQ(host.paramAt(kBankEditUnsaved)->Int(), 0);
    EXPECT_TRUE(host.hidden["discardChangesLayerRight"]);
  }
  // An instance made after the save reads the bank as saved.
  PatchLibrarian later;
  later.loadSharedPatches(host.data.patchesStr());
  auto guard = later.lock();
  const auto& banks = later.contents().soundBanks;
  const auto leadA = std::find_if(banks.begin(), banks.end(), [](const auto& b) { return b->fileName == "Lead A.syx"; });
  ASSERT_NE(leadA, banks.end());
  const Bytes& slot10 = (*leadA)->patches.at(10).dumps.at(0).bytes;
  ASSERT_EQ(slot10.size(), 392u);
  EXPECT_EQ(std::string(slot10.begin() + 370, slot10.begin() + 386), numbered("Pad", 3));
}

// Refresh Folders and Import read the library again: an unsaved edit of the
// upper bank is saved, discarded or kept as the user answers, never lost.
TEST_F(MenuTest, RefreshAndImportAskBeforeAnUnsavedEditIsDropped) {
  struct Row {
    const char* pick;
    const char* sub;
    int answer;  // 1 save, 7 discard, 2 cancel, 0 the box closed
    std::vector<std::string> calls;
    bool saved;
  };
  int slot = 0;  // each row edits a slot of its own
  for (const Row& row : {Row{"Refresh Folders", nullptr, 2, {}, false},
                         Row{"Refresh Folders", nullptr, 0, {}, false},
                         Row{"Refresh Folders", nullptr, 7, {"discard"}, false},
                         Row{"Refresh Folders", nullptr, 1, {"bank saved", "refresh folders"}, true},
                         Row{"Import...", "SysEx (*.syx / *.tvx)", 2, {}, false},
                         Row{"Import...", "SysEx (*.syx / *.tvx)", 7, {"discard", "import syx"}, false},
                         Row{"Import...", "SysEx (*.syx / *.tvx)", 1, {"bank saved", "import syx"}, true}}) {
    SCOPED_TRACE(std::string(row.pick) + " " + std::to_string(row.answer));
    host.calls.clear();
    host.statuses.clear();
    const fs::path file = host.data.patches() / "Leads" / "Lead A.syx";
    const Bytes before = readFile(file);
    library().librarianMode = 0;
    library().upperBank = host.bankIndex(kSoundList, "Lead A.syx");
    const std::string edit = numbered("Edit", ++slot);
    LibrarianPatch& entry = library().bankForEdit(kSoundList, library().upperBank)->patches.at(static_cast<size_t>(slot));
    entry.dumps = {{soundDump(edit)}};
    entry.name = edit;
    host.editor.setValue(kBankEditUnsaved, 1);
    std::vector<std::string> asked;
    library().hooks.messageBox = [&](const std::string& text, const std::string&, int type) {
      asked.push_back(std::to_string(type) + "|" + text);
      return row.answer;
    };
    BankEditPopupMenu menu(nullptr, &browser, IRECT(839, 187, 916, 205));
    host.picks = {row.sub ? std::vector<std::string>{row.pick, row.sub} : std::vector<std::string>{row.pick}};
    menu.OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(asked, std::vector<std::string>{"3|The bank has unsaved changes. Save them first? No discards them."});
    EXPECT_EQ(host.calls, row.calls);
    const bool kept = row.answer == 2 || row.answer == 0;
    EXPECT_EQ(host.statuses, kept ? std::vector<std::string>{"Save bank or Discard changes!|"} : std::vector<std::string>{});
    // Kept: the edit is still there and still unsaved; saved: it is in the file.
    EXPECT_EQ(host.paramAt(kBankEditUnsaved)->Int(), kept || row.answer == 7 ? 1 : 0);
    EXPECT_EQ(library().entryAt(0, library().upperBank, slot).name, edit);
    const Bytes now = readFile(file);
    EXPECT_EQ(std::search(now.begin(), now.end(), edit.begin(), edit.end()) != now.end(), row.saved);
    if (!row.saved) {
      EXPECT_EQ(readFile(file), before);
    }
  }
  // Without an unsaved edit nobody is asked.
  host.calls.clear();
  host.editor.setValue(kBankEditUnsaved, 0);
  library().hooks.messageBox = [](const std::string&, const std::string&, int) -> int { ADD_FAILURE(); return 0; };
  BankEditPopupMenu menu(nullptr, &browser, IRECT(839, 187, 916, 205));
  host.picks = {{"Refresh Folders"}};
  menu.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(host.calls, std::vector<std::string>{"refresh folders"});
}

TEST_F(MenuTest, ElevenMenuLayersInTheEditorsOrderAllHidden) {
  const auto layers = makeLibrarianMenuLayers(nullptr, browser, 1.15);
  ASSERT_EQ(layers.size(), 11u);
  EXPECT_EQ(layers[5]->GetName(), "RightPatchPopupMenu");
  for (size_t i = 0; i < layers.size(); ++i) {
    EXPECT_EQ(layers[i]->GetID(), 70 + int(i));
    EXPECT_TRUE(layers[i]->IsHidden());
  }
  const IRECT* bankEdit = layers[4]->controls()[0]->GetRECT();
  EXPECT_EQ((std::vector<int>{bankEdit->L, bankEdit->T, bankEdit->R, bankEdit->B}),
            (std::vector<int>{964, 215, 1053, 235}));
  EXPECT_EQ(browser.progBankNameMenu, layers[10]->controls()[0].get());
}

}  // namespace

namespace {
class EmptyLibraryTest : public BrowserFixture {
 protected:
  EmptyLibraryTest() : BrowserFixture(false) {}
};

TEST_F(EmptyLibraryTest, WhatAPickWritesIntoTheLibraryLandsInANewBankOfTheLibraryFolder) {
  // A file of that name that is no bank is left alone.
  writeFile(host.data.patches() / "Received Sounds.syx", Bytes{0xF0, 0xF7});
  const SlotBox& upper = view->grid().box(0, 30);
  host.picks = {{"Initialize Slot"}, {"Initialize Slot"}};
  view->mouseDown(upper.L + 1, upper.T + 1, false, true);
  host.jobs();
  ASSERT_EQ(library().bankCount(kSoundList), 1);
  const auto bank = library().bankAt(kSoundList, 0);
  EXPECT_EQ(bank->fileName, "Received Sounds 2.syx");
  EXPECT_EQ(bank->directories, std::vector<std::string>{"Patches"});
  EXPECT_EQ(library().entryAt(0, 0, 30).name, "Init Patch   dVn");
  EXPECT_EQ(host.state.upperPatchFile, "Received Sounds 2.syx");
  // Listed in the folder tree, as the file will be once saved; a second
  // pick has its bank.
  auto lock = library().lock();
  ASSERT_FALSE(library().contents().soundTree.empty());
  EXPECT_EQ(library().contents().soundTree.back()->files.back(), bank.get());
  lock.unlock();
  view->mouseDown(upper.L + 1, upper.T + 1, false, true);
  host.jobs();
  EXPECT_EQ(library().bankCount(kSoundList), 1);
}

// The bank-name menus are made with the window, before the library's load
// has arrived: a click then opens no menu and sends nothing. Once the load
// lands they list its banks, and a pick works.
TEST_F(EmptyLibraryTest, TheBankNameMenuOpensNothingUntilTheLoadArrivesThenListsItsBanks) {
  host.libraryMode = true;
  FolderMenuControl menu(nullptr, &browser, IRECT(1142, 60, 1180, 84), FolderMenuKind::kProgBankName);
  browser.progBankNameMenu = &menu;
  view->cursor = 0;
  host.picks = {{"Root.syx"}};
  menu.OnMouseDown(0, 0, nullptr);
  menu.OnMouseDown(0, 0, nullptr);
  EXPECT_TRUE(host.shownMenus.empty());
  EXPECT_TRUE(host.jobs().empty());
  host.loadFixture();
  browser.showLibrary();
  EXPECT_EQ(describe(menu.mainMenu()),
            "Pads [Pad.syx*] | Leads [Deep [Deep.syx] | Lead A.syx | Lead B.syx] | Root.syx");
  menu.OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(host.shownMenus.size(), 1u);
  EXPECT_EQ(library().upperBank, host.bankIndex(kSoundList, "Root.syx"));
  const auto jobs = host.jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].jobCode, 3);
  browser.progBankNameMenu = nullptr;
}

// In the first moments after create the folder's banks are still being read
// on a worker: the library only looks empty, and no bank is made for what
// is received (the arrival would drop it).
TEST_F(EmptyLibraryTest, NoBankIsMadeWhileTheFoldersBanksAreStillArriving) {
  writeFile(host.data.patches() / "Kept.syx", soundFile("Kept", 100, "Bass"));
  std::promise<void> reading;
  std::shared_future<void> released = reading.get_future().share();
  std::promise<void> release;
  std::shared_future<void> go = release.get_future().share();
  const auto test = std::this_thread::get_id();
  std::once_flag once;
  library().hooks.debugLog = [&, test](const std::string&) {
    if (std::this_thread::get_id() == test) return;
    std::call_once(once, [&] { reading.set_value(); });
    go.wait();  // the worker holds here, mid-read
  };
  library().loadSharedPatchesInBackground(host.data.patchesStr());
  released.wait();
  ASSERT_FALSE(library().loaded());
  browser.openBankForReceiving();
  EXPECT_EQ(library().bankCount(kSoundList), 0);
  EXPECT_EQ(host.state.upperPatchFile, "");
  release.set_value();
  library().waitUntilLoaded();
  ASSERT_EQ(library().bankCount(kSoundList), 1);
  EXPECT_EQ(library().bankAt(kSoundList, 0)->fileName, "Kept.syx");
  EXPECT_FALSE(std::filesystem::exists(host.data.patches() / "Received Sounds.syx"));
}
}  // namespace
