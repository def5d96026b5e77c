// The librarian page through the window: the slot view's highlight as the
// part and the program change, a rename typed into the rename field, and
// drag and drop between the slots, down to the bank file on disk.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "FrameChecksum.h"
#include "../host/HostEvents.h"
#include "../library/LibraryTestSupport.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditMenus.h"
#include "EditorWindowDriver.h"
#include "FolderMenuControl.h"
#include "LibrarianBrowser.h"
#include "MidiSendThread.h"
#include "MIDIMessageManager.h"
#include "MemoryMidiBackend.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "SimulatedInstrument.h"
#include "SoundDumpLayout.h"
#include "UIConfigManager.h"
#include "UserFiles.h"

namespace {
constexpr int kHighlight = 0xE1E1E1;
constexpr int kUpper = 0, kLower = 1;

class LibrarianWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend->setOutPorts({"dirirU MIDI 1"});
    backend->setInPorts({"dirirU MIDI 1"});
    SetMidiBackend(backend);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
    writeFile(getPatchesFolderStr() + "/User.syx", soundFile("User", 100, "Pad"));
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->waitForLibrary();
    window.emplace(*plug);
    window->clickTab(kMainTab, 1);
  }
  void TearDown() override {
    window.reset();
    plug.reset();
    SetMidiBackend(nullptr);
  }
  // Waits for the jobs started so far, the MIDI thread's too: the progress
  // overlay covers the page while they run.
  void settle() {
    MIDIMessageManager& manager = *plug->midiMessageManager;
    for (int i = 0; i < 20000; ++i) {
      if (plug->midiSendThread) plug->midiSendThread->flush();
      if (manager.atRest())
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The host's editor idle: the window highlights what the part plays.
    plug->followPicksInWindow();
  }
  // The instrument's ports open: what is sent leaves.
  void connect() {
    plug->getExternalMIDIOutNames();
    plug->getExternalMIDIInNames();
    press(kDeviceInSelection, 1);
    press(kDeviceOutSelection, 1);
    settle();
    ASSERT_TRUE(plug->midiIOConfigured);
  }
  // A change a control of the page makes (some have no control yet).
  void press(int param, double value = 1.0) {
    plug->GetParam(param)->Set(value);
    plug->OnParamChange(param);
  }
  LibrarianViewControl& slots() { return window->slots(); }
  LibrarianPatch entry(int pane, int slot) {
    PatchLibrarian& library = *plug->patchLibrarian;
    return library.entryAt(0, pane == kUpper ? library.upperBank.load() : library.lowerBank.load(), slot);
  }
  // Whether the slot is drawn highlighted: its bottom right corner, where
  // the short names of the fixture leave no ink.
  bool highlighted(int pane, int slot) {
    window->draw();
    const IRECT r = window->slot(pane, slot);
    return window->colourAt(r.R - 1, r.B - 1) == kHighlight;
  }

  std::shared_ptr<MemoryMidiBackend> backend = std::make_shared<MemoryMidiBackend>();
  OwnDataFolder data;
  std::unique_ptr<Tarnivex> plug;
  std::optional<EditorWindowDriver> window;
};

TEST_F(LibrarianWindowTest, TheHighlightFollowsThePartsProgramOnThePageAndOnEveryPartSwitch) {
  // Back to the multi page; part 1 plays program 17, part 4 program 42.
  window->clickTab(kMainTab, 0);
  plug->GetParam(kMultiPartPatch + 0)->Set(17);
  plug->GetParam(kMultiPartPatch + 3)->Set(42);
  ASSERT_TRUE(plug->keepSelectedBank);  // the default: entering keeps the banks and the highlight
  const int before = slots().selectedUpper;

  window->clickTab(kMainTab, 1);
  EXPECT_EQ(slots().selectedUpper, before);
  EXPECT_FALSE(highlighted(kUpper, 17));

  // KEEP BANK off: entering the page follows the part's program.
  press(kKeepSelectedBank, 0);
  window->clickTab(kMainTab, 0);
  window->clickTab(kMainTab, 1);
  EXPECT_EQ(slots().selectedUpper, 17);
  EXPECT_TRUE(highlighted(kUpper, 17));
  EXPECT_FALSE(highlighted(kUpper, 0));

  window->clickTab(kQuickTab, 3);
  settle();
  EXPECT_EQ(slots().selectedUpper, 42);
  EXPECT_TRUE(highlighted(kUpper, 42));
  EXPECT_FALSE(highlighted(kUpper, 17));
  // The part switch leaves the page's own controls shown: MEM takes clicks.
  for (const char* name : {"saveChangesLayer", "keepBankOpenLayer", "categoryLimit"})
    EXPECT_FALSE(plug->namedLayer(name)->IsHidden()) << name;
  const IRECT mem = *plug->firstControlOf(kKeepSelectedBank)->GetRECT();
  window->click(mem);
  EXPECT_TRUE(plug->keepSelectedBank);
  window->click(mem);
  EXPECT_FALSE(plug->keepSelectedBank);

  // Working in the lower pane: the part's program is selected there.
  window->click(window->slot(kLower, 5));
  window->clickTab(kQuickTab, 0);
  settle();
  EXPECT_EQ(slots().activePane, kLower);
  EXPECT_EQ(slots().selectedLower, 17);
  EXPECT_TRUE(highlighted(kLower, 17));

  // A pass over another slot only (its name changed) leaves the highlighted
  // slot as it was drawn, its name too.
  const IRECT lit = window->slot(kLower, 17);
  const auto picture = [&] {
    std::vector<int> pixels;
    for (int y = lit.T; y < lit.B; ++y)
      for (int x = lit.L; x < lit.R; ++x) pixels.push_back(window->colourAt(x, y));
    return pixels;
  };
  window->draw();
  const std::vector<int> drawn = picture();
  ASSERT_NE(std::count(drawn.begin(), drawn.end(), kHighlight), static_cast<long>(drawn.size()));  // the name
  IRECT elsewhere = window->slot(kUpper, 0);
  window->gui()->Draw(&elsewhere);
  EXPECT_EQ(picture(), drawn);
}

TEST_F(LibrarianWindowTest, AProgramStepInLibraryModeMovesTheHighlight) {
  plug->GetParam(kMultiPartPatch + 0)->Set(4);
  std::mutex sentMutex;
  std::vector<std::string> sent;  // the names the jobs send, on the job thread
  ASSERT_NO_FATAL_FAILURE(connect());  // the sends start their jobs
  plug->midiMessageManager->jobObserver = [&](JobThread, const SenderJob& job) {
    std::lock_guard<std::mutex> lock(sentMutex);
    if (job.jobCode == 3) sent.push_back(job.patchArgument.name);
  };
  const auto down = [&] {
    const IRECT r = window->slot(kUpper, 0);
    window->gui()->OnKeyDown(r.L + 2, r.T + 2, 2);
    settle();
  };
  // Library mode, or a step of the upper bank, takes the part's program as
  // the upper selection, the arrow keys' cursor and the pane they work in;
  // the lower pane keeps its own selection.
  const IControl* partToSlot = plug->firstControlOf(kOverwriteBank);
  for (const int step : {kControlLibrary, kLibUpperNextBank}) {
    SCOPED_TRACE(step);
    plug->GetParam(kMultiPartPatch + 0)->Set(4);
    window->click(window->slot(kLower, 30));
    ASSERT_TRUE(partToSlot->IsGrayed());
    press(step);
    EXPECT_EQ(slots().selectedUpper, 4);
    EXPECT_EQ(slots().selectedLower, 30);
    EXPECT_EQ(slots().cursor, 4);
    EXPECT_EQ(slots().activePane, kUpper);
    EXPECT_FALSE(partToSlot->IsGrayed());
    sent.clear();
    down();
    EXPECT_EQ(slots().selectedUpper, 5);
    EXPECT_EQ(slots().selectedLower, 30);
    EXPECT_TRUE(highlighted(kUpper, 5));
    std::lock_guard<std::mutex> lock(sentMutex);
    EXPECT_EQ(sent, std::vector<std::string>{entry(kUpper, 5).name});
  }
  EXPECT_EQ(entry(kUpper, 5).name, numbered("User", 5));  // the step opened User.syx above
  plug->midiMessageManager->jobObserver = nullptr;
  press(kLibUpperPreviousBank);
  // A click moves the highlight, not what the part plays: the step counts
  // from the part's slot (5) and selects where it went.
  window->click(window->slot(kUpper, 10));
  press(kPatchUp + 0);
  settle();
  EXPECT_EQ(slots().selectedUpper, 6);
  EXPECT_EQ(plug->GetParam(kMultiPartPatch + 0)->Int(), 6);
  EXPECT_TRUE(highlighted(kUpper, 6));
  EXPECT_FALSE(highlighted(kUpper, 10));
  press(kPatchDown + 0);
  settle();
  press(kPatchDown + 0);
  settle();
  EXPECT_EQ(slots().selectedUpper, 4);
  EXPECT_TRUE(highlighted(kUpper, 4));

  // In the lower pane the step moves the lower selection, wrapping at 100,
  // from the entry the part plays (stepped down to slot 0 above).
  for (int i = 0; i < 4; ++i) {
    press(kPatchDown + 0);
    settle();
  }
  ASSERT_EQ(plug->GetParam(kMultiPartPatch + 0)->Int(), 0);
  window->click(window->slot(kLower, 0));
  press(kPatchDown + 0);
  settle();
  EXPECT_EQ(slots().selectedLower, 99);
  EXPECT_EQ(slots().selectedUpper, -1);
  EXPECT_EQ(plug->GetParam(kMultiPartPatch + 0)->Int(), 99);
  EXPECT_TRUE(highlighted(kLower, 99));

  // A step that would send nothing moves nothing and says why.
  PatchLibrarian& library = *plug->patchLibrarian;
  library.bankForEdit(kSoundList, library.lowerBank)->patches[98] = LibrarianPatch{};
  press(kPatchDown + 0);
  EXPECT_EQ(slots().selectedLower, 99);
  EXPECT_EQ(plug->GetParam(kMultiPartPatch + 0)->Int(), 99);
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "Slot 099 is empty");
  // A step while a job has the instrument waits for its end, then goes.
  std::atomic<bool> hold{true};
  plug->midiMessageManager->virtualPause = [](int) { return false; };  // no instrument answers
  plug->midiMessageManager->jobObserver = [&](JobThread, const SenderJob&) { while (hold) std::this_thread::yield(); };
  press(kRequestTempData);
  press(kPatchUp + 0);
  EXPECT_EQ((std::pair{slots().selectedLower, plug->GetParam(kMultiPartPatch + 0)->Int()}), (std::pair{99, 99}));
  hold = false;
  settle();
  plug->midiMessageManager->jobObserver = nullptr;
  EXPECT_EQ((std::pair{slots().selectedLower, plug->GetParam(kMultiPartPatch + 0)->Int()}), (std::pair{0, 0}));
  // Back on 99; a key moves onto the empty slot all the same, and says so.
  press(kPatchDown + 0);
  settle();
  window->gui()->OnKeyDown(window->slot(kLower, 0).L + 2, window->slot(kLower, 0).T + 2, 1);
  EXPECT_EQ(slots().selectedLower, 98);
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "Slot 099 is empty");

  // A selection beyond what a pane holds (its hundred entries) marks no
  // empty slot.
  for (const int empty : {100, 110}) {
    window->click(window->slot(kUpper, empty));
    EXPECT_EQ(slots().selectedUpper, empty);
    EXPECT_FALSE(highlighted(kUpper, empty)) << empty;
  }
}

// In multi mode the top bar's arrows step the multi on every visit: twice in
// a row, after a page switch and after a part switch. Whichever part's arrows
// are shown, the step is the shown part's: its lock holds it.
TEST_F(LibrarianWindowTest, TheMultisArrowsStayThroughStepsAndTabSwitches) {
  plug->GetParam(kGlobalRxProgramChange)->Set(1);
  plug->GetParam(kGlobalMidiChannel)->Set(1);
  press(kDatatype, 1);
  ASSERT_TRUE(plug->multiMode);
  plug->GetParam(kMultiPatch)->Set(10);
  const IRECT up(824, 12, 846, 28), down(824, 30, 846, 46);
  const auto multiSelectorShown = [&] { return !plug->namedLayer("bankAndProgramMulti")->IsHidden(); };
  // Shown from the switch on, the part's hidden.
  EXPECT_TRUE(multiSelectorShown());
  EXPECT_TRUE(plug->namedLayer("bankAndProgram01")->IsHidden());
  const auto step = [&](const IRECT& arrow) {
    window->click(arrow);
    settle();
    return plug->GetParam(kMultiPatch)->Int();
  };
  // Without ports a step sends nothing: the multi stays, the status line says why.
  EXPECT_EQ(step(up), 10);
  EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), "Set MIDI I/O First!");
  ASSERT_NO_FATAL_FAILURE(connect());
  plug->midiMessageManager->virtualPause = [](int) { return false; };  // no instrument answers
  EXPECT_EQ(step(up), 11);
  EXPECT_TRUE(multiSelectorShown());
  EXPECT_EQ(step(up), 12);
  window->clickTab(kMainTab, 2);
  EXPECT_TRUE(multiSelectorShown());
  EXPECT_EQ(step(down), 11);
  window->clickTab(kQuickTab, 3);
  settle();
  EXPECT_TRUE(multiSelectorShown());
  EXPECT_EQ(step(down), 10);
  plug->GetParam(kPartLock + 0)->Set(1);
  EXPECT_EQ(step(up), 11);
  plug->GetParam(kPartLock + 3)->Set(1);
  EXPECT_EQ(step(up), 11);
  EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), "Nothing sent!");
  EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), "Part 4 is locked");

  // STEP LIBRARY: the arrow sends the library's next multi and moves the
  // multi's number, not a part's program, once its program change went
  // (the library's job starts on what the multi still plays).
  writeFile(getPatchesFolderStr() + "/Multis.syx", concat(std::vector<Bytes>(100, multiDump("Multi"))));
  press(kRefreshFolders);
  plug->GetParam(kPartLock + 3)->Set(0);
  press(kControlLibrary);
  std::atomic<int> multiAtStart{-1}, partAtStart{-1};
  plug->midiMessageManager->jobObserver = [&](JobThread, const SenderJob& job) {
    if (job.jobCode != 3) return;
    multiAtStart = plug->GetParam(kMultiPatch)->Int();
    partAtStart = plug->GetParam(kMultiPartPatch + 3)->Int();
  };
  EXPECT_EQ(step(up), 12);
  plug->midiMessageManager->jobObserver = nullptr;
  EXPECT_EQ((std::vector<int>{slots().selectedUpper, multiAtStart, partAtStart}), (std::vector<int>{12, 11, 3}));
  press(kDatatype, 0);
  EXPECT_FALSE(multiSelectorShown());
  EXPECT_FALSE(plug->namedLayer("bankAndProgram04")->IsHidden());
}

TEST_F(LibrarianWindowTest, ARenameTypedInTheRenameFieldEndsInTheSlotAndTheBankFile) {
  const std::string file = getPatchesFolderStr() + "/Factory.syx";
  std::vector<Bytes> dumps;
  for (int i = 0; i < 100; ++i) dumps.push_back(entry(kUpper, i).dumps.at(0).bytes);
  window->pickFromMenu(window->slot(kUpper, 5), {2}, true);  // right click, "Rename"
  ControlLayer* field = plug->namedLayer("patchRename");
  ASSERT_NE(field, nullptr);
  EXPECT_FALSE(field->IsHidden());
  IControl* entryField = plug->firstControlOf(kPatchRename);
  ASSERT_NE(entryField, nullptr);
  window->type(*entryField->GetRECT(), "Brass Stab");

  const std::string renamed = "Brass Stab      ";
  EXPECT_EQ(entry(kUpper, 5).name, renamed);
  EXPECT_EQ(slots().slotText(kUpper, 5), renamed);
  EXPECT_EQ(slots().slotText(kLower, 5), renamed);  // the lower pane is open on the same bank
  EXPECT_TRUE(field->IsHidden());
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);

  // "Save (Overwrite current bank)" writes the new name and its checksum.
  window->pickFromMenu(*plug->librarianBrowser->bankEditMenu->GetRECT(), {7});
  std::copy(renamed.begin(), renamed.end(), dumps[5].begin() + 370);
  dumps[5][390] = sim::frameChecksum(dumps[5]);
  EXPECT_EQ(readFile(file), concat(dumps));
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
  // The page leaves the unsaved state as a discard does, and the lower pane,
  // open on the same file, shows it as written.
  const auto pageSaved = [&] {
    return plug->namedLayer("discardChangesLayerRight")->IsHidden() &&
           !plug->namedLayer("keepBankOpenLayer")->IsHidden() && !plug->datatypeControl->IsGrayed();
  };
  EXPECT_TRUE(pageSaved());
  EXPECT_EQ(slots().slotText(kUpper, 5), renamed);
  EXPECT_EQ(slots().slotText(kLower, 5), renamed);

  // A second rename in the same session works as the first did; a click on
  // the view before the name is typed cancels it.
  window->pickFromMenu(window->slot(kUpper, 6), {2}, true);
  window->type(*entryField->GetRECT(), "Second");
  EXPECT_EQ(entry(kUpper, 6).name, "Second          ");
  EXPECT_FALSE(pageSaved());
  // A save that cannot write keeps the unsaved state.
  const std::string moved = getPatchesFolderStr() + ".away";
  std::filesystem::rename(getPatchesFolderStr(), moved);
  window->pickFromMenu(*plug->librarianBrowser->bankEditMenu->GetRECT(), {7});
  std::filesystem::rename(moved, getPatchesFolderStr());
  EXPECT_FALSE(pageSaved());
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
  EXPECT_EQ(slots().slotText(kUpper, 6), "Second          ");
  window->pickFromMenu(window->slot(kUpper, 7), {2}, true);
  window->click(window->slot(kUpper, 8));
  window->type(*entryField->GetRECT(), "Never");
  EXPECT_EQ(entry(kUpper, 7).name, numbered("Fact", 7));
  // A page or part switch closes the box as a click on the slots does: a
  // name that arrives afterwards lands nowhere.
  for (const auto& [tabs, button] : {std::pair{kMainTab, 2}, std::pair{kQuickTab, 3}}) {
    SCOPED_TRACE(tabs);
    window->pickFromMenu(window->slot(kUpper, 7), {2}, true);
    ASSERT_FALSE(field->IsHidden());
    window->clickTab(tabs, button);
    settle();
    EXPECT_TRUE(field->IsHidden());
    EXPECT_FALSE(slots().renameActive());
    plug->GetParam(kPatchRename)->SetDisplayText(0, "Never");
    plug->OnParamChange(kPatchRename);
    EXPECT_EQ(entry(kUpper, 7).name, numbered("Fact", 7));
    window->clickTab(tabs, tabs == kMainTab ? 1 : 0);
    settle();
  }

  // "Refresh Folders" with the rename unsaved asks; Cancel keeps the rename.
  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  window->view().ScriptMessageBoxAnswer(2);
  window->pickFromMenu(bankEdit, {11});
  EXPECT_EQ(window->view().MessageBoxesShown(),
            std::vector<std::string>{"The bank has unsaved changes. Save them first? No discards them."});
  EXPECT_EQ(entry(kUpper, 6).name, "Second          ");
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Save bank or Discard changes!"));

  // Another program writes the bank file (as most do: a new file renamed
  // over it); the save asks, and No keeps both files.
  const Bytes theirs = soundFile("Other", 100, "Pad");
  writeFile(file + ".tmp", theirs);
  fs::rename(file + ".tmp", file);
  window->view().ScriptMessageBoxAnswer(7);
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(window->view().MessageBoxesShown().size(), 2u);
  EXPECT_EQ(readFile(file), theirs);
  const Bytes kept = readFile(getPatchesFolderStr() + "/Factory (2).syx");
  ASSERT_EQ(kept.size(), 39200u);
  EXPECT_EQ(std::string(kept.begin() + 6 * 392 + 370, kept.begin() + 6 * 392 + 386), "Second          ");
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
  // The page shows the bank under its new name, and the status line names it.
  const auto upperFile = [&] {
    PatchLibrarian& library = *plug->patchLibrarian;
    return library.bankHeaderAt(kSoundList, library.upperBank)->fileName;
  };
  EXPECT_EQ(upperFile(), "Factory (2).syx");
  EXPECT_EQ(entry(kUpper, 6).name, "Second          ");
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Bank saved"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Factory (2).syx"));

  // The bank is now the kept file: saved again on a full disk, the window
  // says so and the file stays.
  userfiles::setWriteFault(userfiles::WriteFault{1000, ENOSPC});
  window->pickFromMenu(bankEdit, {7});
  userfiles::setWriteFault(std::nullopt);
  EXPECT_EQ(window->view().MessageBoxesShown().size(), 2u);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Bank not saved!"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Disk full"));
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Factory (2).syx"), kept);
  // Set after the question (or while it is open), the failure is drawn when
  // it closes: a repaint of what the box covered leaves the text due.
  IRECT underTheBox(700, 300, 800, 400);
  window->gui()->Draw(&underTheBox);
  IRECT due;
  ASSERT_TRUE(window->gui()->IsDirty(&due));
  for (ITextControl* display : {plug->paramNameDisplay, plug->paramValueDisplay}) {
    const IRECT r = *display->GetRECT();
    EXPECT_TRUE(r.L >= due.L && r.T >= due.T && r.R <= due.R && r.B <= due.B);
  }

  // A good save replaces both lines; the page stays on the same bank.
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Bank saved"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Factory (2).syx"));
  EXPECT_EQ(upperFile(), "Factory (2).syx");
  EXPECT_FALSE(fs::exists(getPatchesFolderStr() + "/Factory (3).syx"));

  // Save As in the own format with a name typed without an extension: the
  // bank is written as "Bank B.tvx", named so, and listed at once.
  const auto listed = [&](const std::string& name) {
    PatchLibrarian& library = *plug->patchLibrarian;
    for (int i = 0; i < library.bankCount(kSoundList); ++i)
      if (library.bankHeaderAt(kSoundList, i)->fileName == name) return true;
    return false;
  };
  std::string filter;
  std::string answer = getPatchesFolderStr() + "/Bank B";
  window->gui()->SetFilePromptAnswer([&](EFileAction, const std::string&, const std::string& extensions) {
    filter = extensions;
    return answer;
  });
  window->pickFromMenu(bankEdit, {8, 1});
  EXPECT_EQ(filter, "tvx syx mid");
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Bank B.tvx"), kept);
  EXPECT_FALSE(fs::exists(getPatchesFolderStr() + "/Bank B"));
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Bank saved"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Bank B.tvx"));
  EXPECT_TRUE(listed("Bank B.tvx"));

  // Save As onto a file that holds data the library does not keep (a global
  // dump): Yes keeps both, and the status line and the pane name the file
  // written.
  Bytes global(200, 0x01);
  global[0] = 0xF0, global[1] = 0x3E, global[2] = 0x10, global[3] = 0x00, global[4] = 0x14, global.back() = 0xF7;
  const Bytes chosen = concat({soundFile("Chosen", 100, "Pad"), global});
  writeFile(getPatchesFolderStr() + "/Chosen.syx", chosen);
  answer = getPatchesFolderStr() + "/Chosen.syx";
  window->view().ScriptMessageBoxAnswer(1);
  window->pickFromMenu(bankEdit, {8, 1});
  EXPECT_EQ(window->view().MessageBoxesShown().size(), 3u);
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Chosen.syx"), chosen);
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Chosen (2).syx").size(), 39200u);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Bank saved"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Chosen (2).syx"));
  {
    PatchLibrarian& library = *plug->patchLibrarian;
    auto guard = library.lock();
    EXPECT_EQ(library.upperSoundFileName, "Chosen (2).syx");
  }
  EXPECT_TRUE(listed("Chosen (2).syx"));
}

// An initialised slot is an edit of the bank, as a paste is: the page shows
// it unsaved, Refresh Folders asks before it drops it, and Yes saves it.
TEST_F(LibrarianWindowTest, AnInitialisedSlotIsAnUnsavedEditThatRefreshAsksAbout) {
  const std::string file = getPatchesFolderStr() + "/Factory.syx";
  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  window->pickFromMenu(bankEdit, {7});  // "Save (Overwrite current bank)": the file as the editor writes it
  Bytes expected = readFile(file);
  window->pickFromMenu(window->slot(kUpper, 3), {4}, true);  // "Initialize Slot"
  settle();
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
  EXPECT_FALSE(plug->namedLayer("discardChangesLayerRight")->IsHidden());
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Data received to slot(s)"));
  for (const int answer : {2, 1}) {  // Cancel keeps the edit unsaved; Yes saves it
    window->view().ScriptMessageBoxAnswer(answer);
    window->pickFromMenu(bankEdit, {11});  // "Refresh Folders"
    EXPECT_EQ(window->view().MessageBoxesShown().back(),
              "The bank has unsaved changes. Save them first? No discards them.");
    EXPECT_EQ(entry(kUpper, 3).name, "Init Patch   dVn");
  }
  EXPECT_EQ(window->view().MessageBoxesShown().size(), 2u);
  // Slot 3 holds the init sound, with the checksum of what it holds; the rest is as it was.
  const Bytes now = readFile(file);
  ASSERT_EQ(now.size(), expected.size());
  const Bytes init(now.begin() + 3 * 392, now.begin() + 4 * 392);
  EXPECT_EQ(std::string(init.begin() + 370, init.begin() + 386), "Init Patch   dVn");
  EXPECT_EQ(init[390], sim::frameChecksum(init));
  std::copy(init.begin(), init.end(), expected.begin() + 3 * 392);
  EXPECT_EQ(now, expected);
}

// Refresh Folders and a discard while another process keeps the library
// folder locked: each returns within the bound, the library and the edit
// stay as they were, and the status line says so.
TEST_F(LibrarianWindowTest, ABusyFolderKeepsTheLibraryAndTheEditAndSaysSo) {
  writeFile(getPatchesFolderStr() + "/Added.syx", soundFile("Add", 100));
  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  const int banks = plug->patchLibrarian->bankCount(kSoundList);
  std::optional<LockHolder> holder(std::in_place, getPatchesFolderStr());
  ASSERT_TRUE(holder->held);
  for (const bool discard : {false, true}) {
    if (discard) {
      window->pickFromMenu(window->slot(kUpper, 5), {2}, true);
      window->type(*plug->firstControlOf(kPatchRename)->GetRECT(), "Kept");
      window->view().ScriptMessageBoxAnswer(7);  // No: discard it
    }
    const auto start = std::chrono::steady_clock::now();
    window->pickFromMenu(bankEdit, {11});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Folders not refreshed!"));
    EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Folder busy, try again"));
    EXPECT_EQ(plug->patchLibrarian->bankCount(kSoundList), banks);
  }
  EXPECT_EQ(entry(kUpper, 5).name, "Kept            ");
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
  EXPECT_FALSE(plug->namedLayer("discardChangesLayerRight")->IsHidden());
  // Let go, the same discard reads the folder again.
  holder.reset();
  window->view().ScriptMessageBoxAnswer(7);
  window->pickFromMenu(bankEdit, {11});
  EXPECT_EQ(plug->patchLibrarian->bankCount(kSoundList), banks + 1);
  EXPECT_EQ(entry(kUpper, 5).name, numbered("Fact", 5));
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("All bank files read"));

  // A subfolder's lock kept by another process while a file is written: the
  // status line names what was written, then that the folders were not read
  // again; the pane is on the file written, which a later Save writes.
  PatchLibrarian& library = *plug->patchLibrarian;
  const auto upperFile = [&] { return library.bankHeaderAt(kSoundList, library.upperBank)->fileName; };
  const auto namesIn = [](const std::string& path) {
    const Bytes image = readFile(path);
    PatchLibrarian reader;
    PatchFile bank;
    reader.loadFromChunk(image, static_cast<int>(image.size()), &bank);
    std::vector<std::string> names;
    for (const auto& e : bank.patches) names.push_back(e.name);
    return names;
  };
  const auto rename = [&](int slot, const char* name) {
    window->pickFromMenu(window->slot(kUpper, slot), {2}, true);
    window->type(*plug->firstControlOf(kPatchRename)->GetRECT(), name);
  };
  const std::string readName = upperFile();
  const std::string read = getPatchesFolderStr() + "/" + readName;
  Bytes asRead = readFile(read);
  writeFile(getPatchesFolderStr() + "/Sub/Sub.syx", soundFile("Sub", 100));
  std::string answer = getPatchesFolderStr() + "/Copy.tvx";
  window->gui()->SetFilePromptAnswer([&](EFileAction, const std::string&, const std::string&) { return answer; });
  const std::string outside = (fs::path(getDataFolder()) / "Mine.syx").string();
  writeFile(outside, soundFile("Mine", 100));
  LibrarianBrowser& browser = *plug->librarianBrowser;
  // The entry of a menu that names the file; -1 when none does, -2 when more than one.
  const auto itemOf = [](const FolderMenuControl& menu, const std::string& name) {
    const IPopupMenu& items = *menu.mainMenu();
    int found = -1;
    for (int i = 0; i < items.GetNItems(); ++i)
      if (std::string(items.GetItemText(i)) == name) found = found == -1 ? i : -2;
    return found;
  };
  struct Written {
    const char* what;
    std::vector<int> pick;
    const char* first;
    const char* second;
    const char* file;  // the pane's
    std::vector<std::string> listed;  // once each
    // Not held: the reload runs, and the import is said to succeed only when
    // it then lists the file; chosen: what is imported, listed as so many
    // banks; full: the disk fills after the import's copy, so the reload
    // cannot split it.
    bool held = true;
    bool outside = false;  // the pane's file is outside the library folders, in no folder menu
    const char* chosen = nullptr;
    int banks = 0;
    bool full = false;
  };
  const std::string out = (fs::path(getDataFolder()) / "Out.syx").string();
  const Written rows[] = {
      {"Save As", {8, 1}, "Bank saved", "Copy.tvx: folders busy, not read again", "Copy.tvx", {readName, "Copy.tvx"}},
      {"Save", {7}, "Bank saved", "Copy.tvx: folders busy, not read again", "Copy.tvx", {readName, "Copy.tvx"}},
      {"Import", {10, 1}, "Bank imported", "Mine.syx: folders busy, not read again", "Copy.tvx",
       {readName, "Copy.tvx"}},
      {"Save As, both kept", {8, 1}, "Bank saved", "Keep (2).tvx: folders busy, not read again", "Keep (2).tvx",
       {readName, "Copy.tvx", "Keep (2).tvx"}},
      {"Import, the reload cannot split it", {10, 1}, "Bank not imported!", "Two.syx: not split: Disk full",
       "Keep (2).tvx", {readName, "Copy.tvx", "Keep (2).tvx"}, false, false, "Two.syx", 0, true},
      {"Import, listed by the reload", {10, 1}, "Bank imported", "New.syx", "Keep (2).tvx",
       {readName, "Copy.tvx", "Keep (2).tvx"}, false, false, "New.syx", 1},
      {"Import, split by the reload", {10, 1}, "Bank imported", "Three.syx", "Keep (2).tvx",
       {readName, "Copy.tvx", "Keep (2).tvx"}, false, false, "Three.syx", 2},
      // Whole sounds and sounds cut short: no split, one bank listed, and
      // said so.
      {"Import, listed in part", {10, 1}, "Bank imported, 100 of 250 listed",
       "Mixed.syx: 150 of 250 sounds not listed, not split: dumps cut short, a piece would be too short",
       "Keep (2).tvx", {readName, "Copy.tvx", "Keep (2).tvx"}, false, false, "Mixed.syx", 1},
      // Outside the library folders, and read again: the reload does not read
      // the file, and the pane stays on it all the same.
      {"Save As outside the library, read again", {8, 1}, "Bank saved", "Out.syx", "Out.syx",
       {readName, "Copy.tvx", "Keep (2).tvx", "Out.syx"}, false, true},
      {"Save outside the library, read again", {7}, "Bank saved", "Out.syx", "Out.syx",
       {readName, "Copy.tvx", "Keep (2).tvx", "Out.syx"}, false, true},
  };
  writeFile((fs::path(getDataFolder()) / "Two.syx").string(), soundFile("Two", 150));
  writeFile((fs::path(getDataFolder()) / "Three.syx").string(), soundFile("Three", 150));
  writeFile((fs::path(getDataFolder()) / "New.syx").string(), soundFile("New", 100));
  writeFile((fs::path(getDataFolder()) / "Mixed.syx").string(),
            concat({soundFile("Mixed", 250), concat(cutSoundDumps("cut", 200, 100))}));
  writeFile(getPatchesFolderStr() + "/Keep.tvx", soundFile("Keep", 100));
  // A holder lets go after ten seconds: each wait gets its own.
  const auto holdSub = [&] {
    holder.emplace(getPatchesFolderStr() + "/Sub");
    ASSERT_TRUE(holder->held);
  };
  for (const Written& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.held)
      holdSub();
    else
      holder.reset();
    if (row.pick.front() == 7) rename(3, row.outside ? "OutSaved" : "AfterCopy");
    if (row.pick.front() == 8) rename(1, "ForCopy");
    if (row.pick.front() == 10) answer = row.chosen ? (fs::path(getDataFolder()) / row.chosen).string() : outside;
    if (row.outside) answer = out;
    // The import's copy is the one write that goes through.
    if (row.full) userfiles::setWriteFault(userfiles::WriteFault{0, ENOSPC, 1});
    if (row.pick.front() == 8 && row.file == std::string("Keep (2).tvx")) {
      answer = getPatchesFolderStr() + "/Keep";  // "Keep.tvx" exists: No keeps both
      window->view().ScriptMessageBoxAnswer(7);
    }
    window->pickFromMenu(bankEdit, row.pick);
    userfiles::setWriteFault(std::nullopt);
    EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string(row.first));
    EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string(row.second));
    EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
    EXPECT_EQ(upperFile(), row.file);
    // Named so at once: in the pane's list, its folder menu and the top
    // bar's bank menu. The file read stays listed beside the file written,
    // in both panes' lists and menus, each once.
    EXPECT_EQ(plug->paramDisplayText(kPatchSelectionListUpper, library.upperBank), row.file);
    if (!row.outside) {
      EXPECT_EQ(itemOf(*browser.leftPatchMenu, row.file), library.upperBank);
    }
    for (const std::string& file : row.listed) {
      SCOPED_TRACE(file);
      for (const int list : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
        int named = 0;
        for (int i = 0; i < library.bankCount(kSoundList); ++i) named += plug->paramDisplayText(list, i) == file;
        EXPECT_EQ(named, 1);
      }
      if (row.outside && file == row.file) continue;
      for (const FolderMenuControl* menu : {browser.leftPatchMenu, browser.progBankNameMenu, browser.rightPatchMenu})
        EXPECT_GE(itemOf(*menu, file), 0);
    }
    // The file imported is in both panes' lists once, or its pieces are, and
    // in their folder menus and the top bar's bank menu; of one the reload
    // could not split nothing stays, and it is listed in none.
    const std::string stem = row.chosen ? fs::path(row.chosen).stem().string() : std::string();
    for (const int list : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
      int named = 0;
      for (int i = 0; row.chosen && i < library.bankCount(kSoundList); ++i)
        named += plug->paramDisplayText(list, i).starts_with(stem);
      EXPECT_EQ(named, row.banks);
    }
    for (int i = 0; row.chosen && i < library.bankCount(kSoundList); ++i) {
      const std::string name = plug->paramDisplayText(kPatchSelectionListUpper, i);
      if (!name.starts_with(stem)) continue;
      SCOPED_TRACE(name);
      for (const FolderMenuControl* menu : {browser.leftPatchMenu, browser.progBankNameMenu, browser.rightPatchMenu})
        EXPECT_GE(itemOf(*menu, name), 0);
    }
    if (row.full) {
      EXPECT_FALSE(fs::exists(getPatchesFolderStr() + "/Two.syx"));
      EXPECT_EQ(readFile((fs::path(getDataFolder()) / row.chosen).string()), soundFile("Two", 150));
    }
  }
  // The Save after the Save As wrote the file outside, and only it.
  EXPECT_FALSE(fs::exists(getPatchesFolderStr() + "/Out.syx"));
  EXPECT_EQ(readFile(read), asRead);
  const std::vector<std::string> outNames = namesIn(out);
  ASSERT_EQ(outNames.size(), 100u);
  EXPECT_EQ(outNames[1], "ForCopy         ");
  EXPECT_EQ(outNames[3], "OutSaved        ");
  holdSub();
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Mine.syx"), soundFile("Mine", 100));
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Keep.tvx"), soundFile("Keep", 100));
  holdSub();
  // Still held: a pick of the file read shows what it holds; a Save then
  // writes that file alone.
  const std::string copyPath = getPatchesFolderStr() + "/Copy.tvx";
  const Bytes copyBytes = readFile(copyPath);
  window->pickFromMenu(*browser.leftPatchMenu->GetRECT(), {itemOf(*browser.leftPatchMenu, readName)});
  EXPECT_EQ(upperFile(), readName);
  // The sound's own bytes: its name and category included, its address and checksum not.
  for (size_t slot = 0; slot < 100; ++slot) {
    const LibrarianPatch shown = entry(kUpper, static_cast<int>(slot));
    ASSERT_EQ(shown.dumps.size(), 1u);
    ASSERT_EQ(shown.dumps[0].bytes.size(), 392u);
    const auto onDisk = asRead.begin() + static_cast<long>(slot * 392);
    const Bytes& bytes = shown.dumps[0].bytes;
    EXPECT_EQ(Bytes(bytes.begin() + 7, bytes.begin() + 390), Bytes(onDisk + 7, onDisk + 390)) << slot;
  }
  rename(2, "OnRead");
  holdSub();
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(plug->paramValueDisplay->GetText(), readName + ": folders busy, not read again");
  EXPECT_EQ(readFile(copyPath), copyBytes);
  asRead = readFile(read);
  std::vector<std::string> readNames = namesIn(read);
  ASSERT_EQ(readNames.size(), 100u);
  EXPECT_EQ(readNames[1], numbered("Fact", 1));
  EXPECT_EQ(readNames[2], "OnRead          ");
  // A pick of the copy shows what was saved into it; Save writes it alone.
  window->pickFromMenu(*browser.leftPatchMenu->GetRECT(), {itemOf(*browser.leftPatchMenu, "Copy.tvx")});
  EXPECT_EQ(upperFile(), "Copy.tvx");
  EXPECT_EQ(entry(kUpper, 1).name, "ForCopy         ");
  EXPECT_EQ(entry(kUpper, 3).name, "AfterCopy       ");
  EXPECT_EQ(entry(kUpper, 2).name, numbered("Fact", 2));
  // Let go: a later edit and Save go into the copy; the file read keeps its bytes.
  holder.reset();
  rename(5, "Later");
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Bank saved"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Copy.tvx"));
  EXPECT_EQ(upperFile(), "Copy.tvx");
  EXPECT_EQ(readFile(read), asRead);
  const std::vector<std::string> copy = namesIn(getPatchesFolderStr() + "/Copy.tvx");
  ASSERT_EQ(copy.size(), 100u);
  EXPECT_EQ(copy[1], "ForCopy         ");
  EXPECT_EQ(copy[3], "AfterCopy       ");
  EXPECT_EQ(copy[5], "Later           ");
  EXPECT_EQ(entry(kUpper, 5).name, "Later           ");
  // The user's own Refresh leaves the pane on the copy, and so does the Save after it.
  window->pickFromMenu(bankEdit, {11});
  EXPECT_EQ(upperFile(), "Copy.tvx");
  rename(6, "AfterRefresh");
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(plug->paramValueDisplay->GetText(), std::string("Copy.tvx"));
  EXPECT_EQ(readFile(read), asRead);
  EXPECT_EQ(namesIn(getPatchesFolderStr() + "/Copy.tvx")[6], "AfterRefresh    ");

  // The import question quotes the file's name as the status line shows it.
  const std::string odd = (fs::path(getDataFolder()) / "Odd\x1b[2J\xff.syx").string();
  writeFile(odd, soundFile("Odd", 100));
  writeFile(getPatchesFolderStr() + "/Odd\x1b[2J\xff.syx", soundFile("Was", 100));
  answer = odd;
  window->view().ScriptMessageBoxAnswer(2);
  window->pickFromMenu(bankEdit, {10, 1});
  EXPECT_EQ(window->view().MessageBoxesShown().back(),
            "A bank named \"Odd?[2J?.syx\" is already in the library. Do you want to replace it? No keeps both files.");
}

// Every window action that works on files, held inside that work by another
// process keeping a folder locked (an empty subfolder the reload reads, or
// the data folder of the settings file), and every build of the lists the
// library shows (its categories after an edit, a search), held by another
// thread keeping the library's own lock: the block and the host's event call,
// a note and a controller, return while the action is still held, a knob
// turned on the instrument moves the editor's value and the host's notes
// reach the instrument meanwhile.
TEST_F(LibrarianWindowTest, TheBlockAndTheHostsEventsReturnWhileAWindowActionWaitsForFiles) {
  const std::string patches = getPatchesFolderStr();
  const std::string held = patches + "/Held";
  fs::create_directories(held);
  std::ofstream(getSettingsPath()) << "yellow\nnormal\nno\n\n";
  const std::string incoming = getDataFolder() + "/Incoming.syx";
  writeFile(incoming, soundFile("Inco", 100, "Pad"));
  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  std::string answer;
  window->gui()->SetFilePromptAnswer([&](EFileAction, const std::string&, const std::string&) { return answer; });
  ASSERT_NO_FATAL_FAILURE(connect());
  for (int filter = kMIDIFilterDAWCCPassThrough; filter <= kMIDIFilterDAWNotePassThrough; ++filter) press(filter);
  // The instrument's second filter knob of part 1, as it sends a turn of it.
  int cutoffByte = -1;
  for (const SoundDumpField& field : soundDumpFields())
    if (field.a == kFilter2Cutoff && field.b < 0) cutoffByte = field.byte;
  ASSERT_GT(cutoffByte, 7);
  SimulatedInstrument instrument{plug->GetParam(kGlobalSysExID)->Int()};
  const auto noteOnsSent = [&] {
    const MemoryOutRecord out = backend->out();
    return std::count(out.sent.begin(), out.sent.end(), MidiBytes{0x90, 60, 100});
  };
  // A knob the host's controller moves (CC 74 on channel 1): followed on
  // the MIDI thread, never beside the window's work on the audio thread.
  ControlAction cutoff;
  cutoff.channel = 1;
  cutoff.ccNumber = 74;
  cutoff.globalFlag = 0;
  plug->uiConfigManager->registerCCControl(cutoff, plug->firstControlOf(kFilter1Cutoff));
  // The instrument's filter routing switch (CC 80 on channel 1): followed
  // under the plug-in's whole lock, taken on the instrument's input thread.
  struct Switch : IControl {
    using IControl::IControl;
    bool Draw(IGraphics*) override { return true; }
  };
  const IRECT switchRect(0, 0, 10, 10);
  Switch routingSwitch(plug.get(), &switchRect, kFilterRoutingParallel);
  ControlAction routing;
  routing.channel = 1;
  routing.ccNumber = 80;
  routing.globalFlag = 0;
  plug->uiConfigManager->registerCCControl(routing, &routingSwitch);
  struct Row {
    const char* name;
    std::string locked;
    std::function<void()> arm, act;
    // A discard shows PLEASE WAIT: the host's notes are counted, not sent.
    bool busy = false;
    // Held by the library's own lock, not a folder's; then checked.
    bool libraryHeld = false;
    std::function<void()> check = [] {};
  };
  // The sounds of that name the category banks list.
  const auto inCategories = [&](std::string name) {
    name.resize(16, ' ');
    PatchLibrarian& library = *plug->patchLibrarian;
    int listed = 0;
    for (int bank = 0; bank < library.bankCount(kCategoryList); ++bank)
      for (const LibrarianPatch& entry : library.bankAt(kCategoryList, bank)->patches) listed += entry.name == name;
    return listed;
  };
  const auto renamed = [&](int slot, const char* name) {
    window->pickFromMenu(window->slot(kUpper, slot), {2}, true);  // "Rename"
    window->type(*plug->firstControlOf(kPatchRename)->GetRECT(), name);
    ASSERT_TRUE(plug->categoriesStale);
  };
  const auto pick = [&](std::vector<int> path) { return [&, path] { window->pickFromMenu(bankEdit, path); }; };
  const Row table[] = {
      {"Refresh Folders", held, [] {}, pick({11})},
      {"Save", held, [] {}, pick({7})},
      {"Save As", held, [&] { answer = patches + "/Saved As"; }, pick({8, 1})},
      {"Import", held, [&] { answer = incoming; }, pick({10, 1})},
      {"a discard", held,
       [&] {
         window->pickFromMenu(window->slot(kUpper, 5), {2}, true);  // "Rename"
         window->type(*plug->firstControlOf(kPatchRename)->GetRECT(), "Dropped");
         window->view().ScriptMessageBoxAnswer(7);  // No: discard it
       },
       pick({11}), true},
      {"the idle call's refresh", held, [&] { plug->requestFolderRefresh(); }, [&] { plug->OnIdle(); }},
      {"a port pick", getDataFolder(), [] {}, [&] { press(kDeviceInSelection, 1); }},
      {"a size pick", getDataFolder(), [] {}, [&] { press(kUserInterfaceSize, 2); }},
      {"a colour pick", getDataFolder(), [] {}, [&] { press(kUserInterfaceStyle, 1); }},
      {"the idle call's categories after a rename", "", [&] { renamed(6, "Renamed"); }, [&] { plug->OnIdle(); },
       false, true, [&] { EXPECT_EQ(inCategories("Renamed"), 1); }},
      {"the idle call's categories after an edit into the library", "",
       [&] {
         window->pickFromMenu(window->slot(kUpper, 6), {4}, true);  // "Initialize Slot"
         settle();
         ASSERT_TRUE(plug->categoriesStale);
       },
       [&] { plug->OnIdle(); }, false, true, [&] { EXPECT_EQ(inCategories("Renamed"), 0); }},
      {"a search", "", [&] { plug->setParamDisplayText(kPatchSearchString, 0, "Fact"); },
       [&] { press(kPatchSearchString, 0); }, false, true,
       [&] { EXPECT_GT(plug->patchLibrarian->bankCount(kSearchList), 0); }},
      {"the categories picked after a rename", "", [&] { renamed(8, "Picked"); },
       [&] { press(kCategorySelection, 1); }, false, true, [&] { EXPECT_EQ(inCategories("Picked"), 1); }},
  };
  AEffect* effect = plug->GetAEffect();
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    row.arm();
    std::optional<LockHolder> holder;
    std::unique_lock<std::recursive_mutex> libraryLock;
    if (row.libraryHeld) {
      libraryLock = plug->patchLibrarian->lock();
    } else {
      holder.emplace(row.locked);
      ASSERT_TRUE(holder->held);
    }
    std::atomic<bool> done{false};
    std::thread action([&] {
      row.act();
      done = true;
    });
    // The folder's lock is given up after two seconds: the action is in
    // its wait well before that.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The host's audio thread: a block, an event call and another block,
    // again and again until the action is over.
    std::promise<void> firstRound;
    std::future<void> firstReturned = firstRound.get_future();
    std::thread audio([&] {
      std::vector<double> samples(64);
      double* channels[] = {samples.data(), samples.data()};
      for (int round = 0; round == 0 || !done; ++round) {
        effect->processDoubleReplacing(effect, channels, channels, 64);
        HostEventList events({{0xB0, 74, static_cast<unsigned char>(30 + round % 64)}, {0x90, 60, 100}});
        effect->dispatcher(effect, effProcessEvents, 0, 0, events.events(), 0.0f);
        effect->processDoubleReplacing(effect, channels, channels, 64);
        if (round == 0) firstRound.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    const bool returned = firstReturned.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    const bool stillHeld = !done;
    // The instrument's and the host's MIDI go on meanwhile: a knob turned
    // on the instrument moves the editor's value, and the host's notes
    // reach the instrument.
    const int turned = 20 + static_cast<int>(&row - table);
    const auto notesBefore = noteOnsSent();
    const uint64_t ignoredBefore = plug->midiSendThread->ignored();
    // The editor's own work handed to its MIDI thread (a pick's sends) may
    // take the whole lock too.
    std::atomic<bool> inputReturned{false};
    std::thread input([&] {
      backend->inject(instrument.turnSoundKnob(0, cutoffByte - 7, turned));
      backend->inject({0xB0, 80, static_cast<unsigned char>((&row - table) % 2)});
      inputReturned = true;
    });
    // Shared: a MIDI thread that failed the row may run it after the row.
    const auto midiThreadRan = std::make_shared<std::atomic<bool>>(false);
    plug->runOffHostThread([this, midiThreadRan] {
      WDL_MutexLock whole(plug->GetMutex());
      *midiThreadRan = true;
    });
    bool followed = false, played = false, inputWentOn = false, midiThreadWentOn = false;
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !done && !(followed && played && inputWentOn && midiThreadWentOn) && std::chrono::steady_clock::now() < until;) {
      followed = followed || plug->GetParam(kFilter2Cutoff)->Int() == turned;
      played = played || (row.busy ? plug->midiSendThread->ignored() > ignoredBefore : noteOnsSent() > notesBefore);
      inputWentOn = inputWentOn || inputReturned;
      midiThreadWentOn = midiThreadWentOn || *midiThreadRan;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (holder) holder->letGo();
    else libraryLock.unlock();
    action.join();
    audio.join();
    input.join();
    row.check();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(stillHeld) << "the host's call waited for the action's files";
    EXPECT_TRUE(followed) << "the instrument's value waited for the action's files";
    EXPECT_TRUE(played) << "the host's notes waited for the action's files";
    EXPECT_TRUE(inputWentOn) << "the instrument's input waited for the action's files";
    EXPECT_TRUE(midiThreadWentOn) << "the MIDI thread's work waited for the action's files";
    settle();
  }
}

// A library that arrives while the window is open is listed by the next idle
// call, under the plug-in's lock but beside the host's audio thread: a block
// and an event call return while the lists are filled (held here by the
// library's own lock), and the lists then name every bank.
TEST_F(LibrarianWindowTest, TheBlockAndTheHostsEventsReturnWhileAnArrivedLibraryIsListed) {
  writeFile(getPatchesFolderStr() + "/Third.syx", soundFile("Thir", 100, "Bass"));
  PatchLibrarian& library = *plug->patchLibrarian;
  library.forgetSharedLoad();
  library.loadSharedPatchesInBackground(getPatchesFolderStr());
  library.waitUntilLoaded();
  auto libraryLock = library.lock();
  std::atomic<bool> listed{false};
  std::thread idle([&] {
    plug->OnIdle();
    listed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // waiting for the library by then
  AEffect* effect = plug->GetAEffect();
  std::promise<void> round;
  std::future<void> returned = round.get_future();
  std::thread audio([&] {
    std::vector<double> samples(64);
    double* channels[] = {samples.data(), samples.data()};
    effect->processDoubleReplacing(effect, channels, channels, 64);
    HostEventList events({{0xB0, 74, 30}, {0x90, 60, 100}});
    effect->dispatcher(effect, effProcessEvents, 0, 0, events.events(), 0.0f);
    effect->processDoubleReplacing(effect, channels, channels, 64);
    round.set_value();
  });
  EXPECT_EQ(returned.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(listed) << "the library was listed before the host's calls";
  libraryLock.unlock();
  idle.join();
  audio.join();
  EXPECT_EQ(plug->GetParam(kPatchSelectionListUpper)->GetNDisplayTexts(), 3);
}

// A split that fails during a new instance's first load is shown once its
// window has the displays; the source stays where it was.
TEST_F(LibrarianWindowTest, ASplitThatFailsInTheFirstLoadIsShown) {
  const std::string big = getPatchesFolderStr() + "/Big.syx";
  writeFile(big, soundFile("Big", 150, "Lead"));
  writeFile(getPatchesFolderStr() + "/Bigger.syx", soundFile("Bigger", 160, "Lead"));
  plug->patchLibrarian->forgetSharedLoad();
  std::ofstream(getDebugLogPath()).put('\n');  // the second instance logs
  userfiles::setWriteFault(userfiles::WriteFault{0, ENOSPC});
  Tarnivex second(IPlugInstanceInfo{});
  second.waitForLibrary();  // the split is tried on the loading worker
  userfiles::setWriteFault(std::nullopt);
  EXPECT_EQ(readFile(big), soundFile("Big", 150, "Lead"));
  ASSERT_NE(second.paramNameDisplay, nullptr);
  second.OnIdle();
  // The first line counts the files, the second names as many whole ones as
  // it holds; the log names them all. No line of the failures before stays.
  const std::string whole =
      "Left out of the library: Big.syx (not split: Disk full), Bigger.syx (not split: Disk full)";
  EXPECT_EQ(second.paramNameDisplay->GetText(), "2 files left out of the library");
  EXPECT_EQ(second.paramValueDisplay->GetText(), "Big.syx (not split: Disk full), ..");
  EditorWindowDriver secondWindow(second);
  for (ITextControl* display : {second.paramNameDisplay, second.paramValueDisplay}) {
    EXPECT_EQ(display->ShownText(secondWindow.gui()), display->GetText());  // nothing cut
    IRECT measured = *display->GetRECT();
    secondWindow.gui()->MeasureIText(display->GetIText(), display->GetText().c_str(), &measured);
    EXPECT_LE(measured.W(), display->GetRECT()->W());
  }
  secondWindow.draw();
  const Bytes log = readFile(getDebugLogPath());
  EXPECT_NE(std::string(log.begin(), log.end()).find(whole), std::string::npos);
  // A failure the library reports while the window has no displays yet (as
  // during create) is kept and shown at the first idle call that has them.
  ITextControl* const nameDisplay = std::exchange(second.paramNameDisplay, nullptr);
  second.patchLibrarian->hooks.showFailure("Big.syx not split!", "Disk full");
  second.paramNameDisplay = nameDisplay;
  second.OnIdle();
  EXPECT_EQ(second.paramNameDisplay->GetText(), std::string("Big.syx not split!"));
  EXPECT_EQ(second.paramValueDisplay->GetText(), std::string("Disk full"));
  // A text too wide for its line is drawn cut and logged whole.
  const std::string longer = "Bank of the first session on the new machine.syx not split!";
  second.showFailure(longer, "Disk full");
  secondWindow.draw();
  const std::string cut = second.paramNameDisplay->ShownText(secondWindow.gui());
  ASSERT_GT(cut.size(), 2u);
  EXPECT_EQ(cut.substr(cut.size() - 2), "..");
  EXPECT_EQ(longer.compare(0, cut.size() - 2, cut, 0, cut.size() - 2), 0);
  const Bytes logged = readFile(getDebugLogPath());
  EXPECT_NE(std::string(logged.begin(), logged.end()).find("STATUS: " + longer), std::string::npos);
  // With room on the disk the next reading splits both: no line of the
  // failure stays.
  second.refreshFolders();
  EXPECT_FALSE(fs::exists(big));
  EXPECT_EQ(second.paramNameDisplay->GetText(), std::string("All bank files read"));
  EXPECT_EQ(second.paramValueDisplay->GetText(), "");
}

// With STEP LIBRARY and KEEP BANK on, the top bar's bank-name menu is the
// LIBRARY page's: on another page its place opens nothing. A bank picked in
// it is the one the upper pane shows when the page is seen again: its
// names, and the name a rename offers.
TEST_F(LibrarianWindowTest, ABankPickedInTheTopBarShowsItsNamesAndOffThePageItsPlaceOpensNothing) {
  press(kControlLibrary);
  ASSERT_TRUE(plug->keepSelectedBank);
  PatchLibrarian& library = *plug->patchLibrarian;
  const IRECT bankPlace = *plug->librarianBrowser->progBankNameMenu->GetRECT();
  window->clickTab(kMainTab, 2);
  window->click(bankPlace);
  EXPECT_TRUE(window->view().MenusShown().empty());
  window->clickTab(kMainTab, 1);
  // Without ports the pick would send nothing: the bank stays, and the
  // status line says why.
  window->pickFromMenu(bankPlace, {1});
  EXPECT_EQ(library.bankHeaderAt(kSoundList, library.upperBank)->fileName, "Factory.syx");
  EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), "Set MIDI I/O First!");
  ASSERT_NO_FATAL_FAILURE(connect());
  plug->midiMessageManager->virtualPause = [](int) { return false; };  // no instrument answers
  window->pickFromMenu(bankPlace, {1});
  settle();
  ASSERT_EQ(library.bankHeaderAt(kSoundList, library.upperBank)->fileName, "User.syx");
  window->clickTab(kMainTab, 2);
  window->clickTab(kMainTab, 1);
  for (const int slot : {0, 5, 99}) EXPECT_EQ(slots().slotText(kUpper, slot), numbered("User", slot)) << slot;
  EXPECT_EQ(slots().slotText(kLower, 5), numbered("Fact", 5));  // the browsed bank stays
  window->pickFromMenu(window->slot(kUpper, 5), {2}, true);     // "Rename"
  EXPECT_EQ(std::string(plug->GetParam(kPatchRename)->GetDisplayText(0)), numbered("User", 5));
}

// The top bar's bank menu lists the upper pane's banks as a reload lists
// them, with sounds shown and with multis.
TEST_F(LibrarianWindowTest, TheTopBarsBankMenuListsWhatAReloadLists) {
  press(kControlLibrary);
  LibrarianBrowser& browser = *plug->librarianBrowser;
  const struct {
    const char* what;
    int datatype;
    const char* file;
    Bytes data;
    const FolderMenuControl* menu;
    std::vector<std::string> listed;
  } rows[] = {
      {"sounds", 0, "Later.syx", soundFile("Later", 100), browser.progBankNameMenu,
       {"Factory.syx", "Later.syx", "User.syx"}},
      {"multis", 1, "Later Multis.syx", multiFile("Multi", 100), browser.perfBankNameMenu, {"Later Multis.syx"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    press(kDatatype, row.datatype);
    writeFile(getPatchesFolderStr() + "/" + row.file, row.data);
    press(kRefreshFolders);
    ASSERT_NE(row.menu, nullptr);
    const IPopupMenu& items = *row.menu->mainMenu();
    std::vector<std::string> listed;
    for (int i = 0; i < items.GetNItems(); ++i) listed.push_back(items.GetItemText(i));
    EXPECT_EQ(listed, row.listed);
  }
}

// A category build that a change overtook puts in nothing; the next idle
// call builds the lists again, and they list the rename.
TEST_F(LibrarianWindowTest, ACategoryBuildAChangeOvertookIsBuiltAgainAtTheNextIdleCall) {
  PatchLibrarian& library = *plug->patchLibrarian;
  window->pickFromMenu(window->slot(kUpper, 6), {2}, true);  // "Rename"
  window->type(*plug->firstControlOf(kPatchRename)->GetRECT(), "Renamed");
  // Meanwhile a send holds the other bank at its 100 entries: it is taken
  // for an edit.
  bool overtaken = false;
  library.hooks.listsBuilt = [&] {
    if (!std::exchange(overtaken, true)) library.bankForEdit(kSoundList, 1);
  };
  const auto listed = [&] {
    int named = 0;
    for (int bank = 0; bank < library.bankCount(kCategoryList); ++bank)
      for (const LibrarianPatch& entry : library.bankAt(kCategoryList, bank)->patches)
        named += entry.name == "Renamed         ";
    return named;
  };
  plug->OnIdle();
  ASSERT_TRUE(overtaken);
  EXPECT_EQ(listed(), 0);
  plug->OnIdle();
  EXPECT_EQ(listed(), 1);
  library.hooks.listsBuilt = nullptr;
}

TEST_F(LibrarianWindowTest, ADragCopiesTheSlotPressedFromEitherPaneIntoTheUpperPane) {
  press(kLibLowerNextBank);  // the lower pane browses User.syx
  ASSERT_EQ(entry(kLower, 3).name, numbered("User", 3));
  const IRECT pressed = window->slot(kLower, 3), below = window->slot(kLower, 4);

  // Upper slots 100 to 127 lie past the bank's hundred entries: a drop, a
  // paste, Initialize Slot, Get DATA or PART TO SLOT there writes nothing and
  // starts no job, the bank stays saved, and the status line says why on
  // both lines (of multis in multi mode).
  const auto bankSize = [&] {
    PatchLibrarian& library = *plug->patchLibrarian;
    return library.bankHeaderAt(kSoundList, library.upperBank)->patches.size();
  };
  const IRECT partToSlot = *plug->firstControlOf(kOverwriteBank)->GetRECT();
  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  window->pickFromMenu(bankEdit, {7});  // "Save (Overwrite current bank)"
  const Bytes saved = readFile(getPatchesFolderStr() + "/Factory.syx");
  const std::function<void(const IRECT&)> roads[] = {
      [&](const IRECT& r) { window->drag({{pressed.L, pressed.T}, {pressed.L, pressed.T + 20}, {r.L, r.T}}); },
      [&](const IRECT& r) { window->pickFromMenu(pressed, {0}, true), window->pickFromMenu(r, {0}, true); },  // Paste
      [&](const IRECT& r) { window->pickFromMenu(r, {4}, true); },           // "Initialize Slot"
      [&](const IRECT& r) { window->pickFromMenu(r, {5, 0}, true); },        // "Get DATA from.." > "Plug-in"
      [&](const IRECT& r) { window->click(r), window->click(partToSlot); },  // PART TO SLOT
  };
  for (const int slot : {100, 110, 127, -100})  // -100: slot 100 in multi mode
    for (size_t road = slot < 0 ? 2 : 0; road < std::size(roads); ++road) {
      SCOPED_TRACE("road " + std::to_string(road) + " onto slot " + std::to_string(slot));
      press(kDatatype, slot < 0 ? 1 : 0);
      plug->showStatus("", "");
      roads[road](window->slot(kUpper, std::abs(slot)));
      EXPECT_FALSE(plug->midiMessageManager->isThreadRunning(JobThread::kRequest));
      settle();
      EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
      EXPECT_TRUE(plug->namedLayer("discardChangesLayerRight")->IsHidden());
      EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Slot not written!"));
      EXPECT_EQ(plug->paramValueDisplay->GetText(), slot < 0 ? "A bank holds 100 multis" : "A bank holds 100 sounds");
    }
  press(kDatatype, 0);
  EXPECT_EQ(bankSize(), 100u);
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Factory.syx"), saved);  // byte for byte as before

  // Pressed at the foot of lower slot 3; the first movement is already over
  // slot 4, then the pointer travels to upper slot 7.
  IMouseMod left(true, false);
  window->gui()->OnMouseDown(pressed.L + 10, pressed.B - 1, &left);
  window->gui()->OnMouseDrag(pressed.L + 10, below.T + 2, &left);
  const IRECT target = window->slot(kUpper, 7);
  window->gui()->OnMouseDrag(target.L + 20, target.T + 5, &left);
  // The box under the pointer carries the name being dragged: dark text on
  // the highlight.
  ASSERT_TRUE(slots().dragging());
  window->draw();
  const SlotBox& box = slots().dragBox();
  int ink = 0, highlight = 0;
  for (int y = box.T; y < box.B; ++y)
    for (int x = box.L; x < box.R; ++x) {
      const int c = window->colourAt(x, y);
      if (c == kHighlight) ++highlight;
      if ((c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60) ++ink;
    }
  EXPECT_GT(highlight, 0);
  EXPECT_GT(ink, 10);
  window->gui()->OnMouseUp(target.L + 20, target.T + 5, &left);
  EXPECT_EQ(entry(kUpper, 7).dumps, entry(kLower, 3).dumps);
  EXPECT_EQ(slots().slotText(kUpper, 7), numbered("User", 3));
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
  // The refusal's second line goes with it.
  EXPECT_EQ(plug->paramNameDisplay->GetText(), std::string("Data received to slot(s)"));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "");

  // The other way: an upper slot dragged onto another upper slot.
  const LibrarianPatch source = entry(kUpper, 2);
  const IRECT from = window->slot(kUpper, 2), to = window->slot(kUpper, 40);
  window->drag({{from.L + 5, from.B - 1}, {from.L + 5, from.B + 3}, {to.L + 5, to.T + 5}});
  EXPECT_EQ(entry(kUpper, 40).dumps, source.dumps);
  EXPECT_EQ(slots().slotText(kUpper, 40), numbered("Fact", 2));

  // A drop outside the upper pane copies nothing.
  const LibrarianPatch lowerBefore = entry(kLower, 9);
  const IRECT lower = window->slot(kLower, 9);
  window->drag({{from.L + 5, from.T + 5}, {from.L + 5, from.T + 20}, {lower.L + 5, lower.T + 5}});
  EXPECT_EQ(entry(kLower, 9).dumps, lowerBefore.dumps);
}

// Every slot takes clicks over its whole box at each size of the window, the
// last row of the lower pane and the last column's right edge included.
TEST_F(LibrarianWindowTest, EverySlotTakesClicksOverItsWholeBoxAtEverySize) {
  for (const char* size : {"small", "normal", "large"}) {
    SCOPED_TRACE(size);
    std::ofstream(getSettingsPath(), std::ios::binary) << "yellow\n" << size << "\nyes\n\n";
    Tarnivex sized(IPlugInstanceInfo{});
    sized.waitForLibrary();
    EditorWindowDriver sizedWindow(sized);
    sizedWindow.clickTab(kMainTab, 1);
    LibrarianViewControl& view = sizedWindow.slots();
    for (const int slot : {15, 127}) {
      const IRECT r = sizedWindow.slot(kLower, slot);
      for (const auto& [x, y] : {std::pair{r.L, r.B - 1}, std::pair{r.R - 1, r.B - 1}}) {
        sizedWindow.click(x, y);
        EXPECT_EQ(view.selectedLower, slot) << x << "," << y;
        sizedWindow.click(sizedWindow.slot(kUpper, 0));
      }
    }
  }
}
}  // namespace

// A search open while the folders are read again lists what they hold now,
// in the lower pane, whichever command read them; a search closed is not run
// again.
TEST_F(LibrarianWindowTest, AReloadWithASearchOpenRunsTheSearchAgain) {
  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  plug->setParamDisplayText(kPatchSearchString, 0, "Fact1");
  press(kPatchSearchString, 0);
  PatchLibrarian& library = *plug->patchLibrarian;
  ASSERT_EQ(library.bankCount(kSearchList), 1);  // Fact1, Fact10 .. Fact19
  // Sounds the search finds, in a file a reload reads: 11 and 100 make two banks.
  writeFile(getPatchesFolderStr() + "/More.syx", soundFile("Fact1x", 100, "Keys"));
  window->pickFromMenu(bankEdit, {11});  // "Refresh Folders"
  ASSERT_TRUE(plug->browse.searchActive);
  ASSERT_EQ(library.bankCount(kSearchList), 2);
  EXPECT_EQ(library.bankAt(kSearchList, 1)->patches.size(), 11u);
  EXPECT_EQ(plug->paramDisplayText(kPatchSelectionListLower, 1), "Search Results 2");
  fs::remove(getPatchesFolderStr() + "/More.syx");
  window->pickFromMenu(bankEdit, {11});
  ASSERT_EQ(library.bankCount(kSearchList), 1);
  EXPECT_EQ(library.bankAt(kSearchList, 0)->patches.size(), 11u);
  plug->setParamDisplayText(kPatchSearchString, 0, "");
  press(kPatchSearchString, 0);
  window->pickFromMenu(bankEdit, {11});
  EXPECT_FALSE(plug->browse.searchActive);
  EXPECT_EQ(library.bankCount(kSearchList), 0);
}
