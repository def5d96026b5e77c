// Program changes on their way in, from the instrument's port or the host:
// each reaches the part on its channel, as what the instrument's parts play
// afterwards tells.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <ostream>

#include "../library/LibraryTestSupport.h"
#include "ControlLayer.h"
#include "EditMenus.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"
#include "FolderMenuControl.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"
#include "TopBarMenus.h"
#include "UIConfigManager.h"

namespace {
class ProgramChangeRoadTest : public EditorTest {
 protected:
  ProgramChangeRoadTest() {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
    makePlug();  // part p listens on channel p
    setParam(kGlobalLocalControl, 1);
    setParam(kMIDIFilterHWPCPassThrough, 1);
    setParam(kMIDIFilterDAWPCPassThrough, 1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);  // no part is read back: the request would hold off what follows
    settle();
  }
  ~ProgramChangeRoadTest() override { unsetenv("TARNIVEX_RESOURCE_DIR"); }
  // The name of the sound a part of the instrument plays.
  std::string playing(int part) {
    const Bytes dump = instrument.partBuffer(part);
    return std::string(dump.begin() + 370, dump.begin() + 379);
  }
};

TEST_F(ProgramChangeRoadTest, AProgramChangeReachesThePartOnItsChannel) {
  // A locked part takes no program change, nor one whose sound another part
  // plays: the host's is not passed on to the instrument by itself either,
  // and nothing of it goes out, not even its notes off.
  const struct {
    const char* what;
    bool fromDevice;
    int channel, part;
    bool locked = false, playedElsewhere = false;
  } rows[] = {{"instrument, channel 1", true, 0, 0},   {"instrument, channel 6", true, 5, 5},
              {"instrument, channel 16", true, 15, 15}, {"host, channel 8", false, 7, 7},
              {"host, channel 12", false, 11, 11},      {"host, channel 3, part locked", false, 2, 2, true},
              {"host, channel 4, another part plays it", false, 3, 3, false, true},
              {"instrument, channel 5, another part plays it", true, 4, 4, false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    for (int p = 0; p < 16; ++p) param(kMultiPartPatch + p)->Set(0);
    param(kPartLock + row.part)->Set(row.locked ? 1 : 0);
    const std::string before = playing(row.part);
    const int program = 40 + row.part;
    if (row.playedElsewhere) {
      param(kMultiPartStatus + 9)->Set(1);
      plug->notePartPlays(9, param(kMultiPartBank + row.part)->Int(), program);
    }
    const Bytes change = {static_cast<unsigned char>(0xC0 | row.channel), static_cast<unsigned char>(program)};
    if (row.fromDevice) {
      // Its local control on, the instrument plays its own pick, then tells.
      instrument.receive(change);
      arrivedAtInstrument();  // its own, not the editor's
      ASSERT_TRUE(backend->inject(change));
    } else {
      hostEvents({change});  // through the plug-in's event call, as a host sends it
    }
    awaitRequestThread();
    const ByteList arrived = arrivedAtInstrument();
    // The instrument's own change is what its part plays: shown, not echoed.
    const bool refused = row.locked || row.playedElsewhere;
    const int shown = row.locked || (row.playedElsewhere && !row.fromDevice) ? 0 : program;
    for (int p = 0; p < 16; ++p) EXPECT_EQ(param(kMultiPartPatch + p)->Int(), p == row.part ? shown : 0) << p;
    EXPECT_EQ(playing(row.part), refused && !row.fromDevice ? before : "SOUND A" + std::to_string(program));
    if (refused) {
      EXPECT_EQ(arrived, ByteList{});
    }
  }
}

// ---- Every road a bank or program reaches a part by, against every outcome.

// A bank and a program, as one of the places that hold what a part plays
// tells them.
struct Pair {
  int bank, program;
  bool operator==(const Pair&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Pair& pair) { return out << pair.bank << "/" << pair.program; }

constexpr int kPart = 1;   // part 2, on MIDI channel 2: B1, C1
constexpr int kOther = 9;  // part 10, which plays what a row says

class PartPlaysTest : public ProgramChangeRoadTest {
 protected:
  // A fresh instance with its window open on the LIBRARY page, a library of
  // 100 sounds, part 2 on A 001 and part 10 active.
  void fresh() {
    window.reset();
    freshMidiSystem();
    // Each row meets the instrument as it starts: no row leans on another.
    instrument.reset();
    instrumentSeen = 0;
    makePlug();
    window.emplace(*plug);
    setParam(kGlobalLocalControl, 1);
    setParam(kMIDIFilterHWPCPassThrough, 1);
    setParam(kMIDIFilterHWCCPassThrough, 1);
    setParam(kMIDIFilterDAWPCPassThrough, 1);
    setParam(kMIDIFilterDAWCCPassThrough, 1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);  // no part is read back: the dumps asked for are no part of a row
    param(kMultiPartStatus + kOther)->Set(1);
    window->clickTab(kMainTab, 1);
    window->clickTab(kQuickTab, kPart);
    block();  // the silence due after the reset goes before any row's events
    settle();
    plug->notePartSoundHeld(kPart);
    // Installed while no job runs: the job threads read it unguarded.
    for (int i = 0; i < 10000 && anyJobRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    takenByJob = -1;
    noChannelAtJob = -1;
    plug->midiMessageManager->jobObserver = [this](JobThread, const SenderJob& job) {
      if (job.jobCode != 3) return;
      if (noChannelAtJob >= 0) param(noChannelAtJob)->Set(0);
      if (takenByJob < 0) return;
      for (int i = 0; i < 10000 && !roadReturned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      otherPlays(0, takenByJob);
    };
    arrivedAtInstrument();
  }
  // Part 10 is known to play the pair.
  void otherPlays(int bank, int program) { plug->notePartPlays(kOther, bank, program); }
  void pickTopBarBank(int bank) { window->pickFromMenu(*plug->librarianBrowser->bankNumberMenu->GetRECT(), {bank}); }
  void pickTopBarProgram(int program) {
    window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {program / 10, program % 10});
  }
  // A menu of the window bound to the parameter, on the named layer.
  void pickFrom(const char* layer, int paramIdx, int item) {
    ControlLayer* found = plug->namedLayer(layer);
    ASSERT_NE(found, nullptr) << layer;
    for (const auto& control : found->controls())
      if (control->ParamIdx() == paramIdx) return window->pickFromMenu(*control->GetRECT(), {item});
    FAIL() << "no control for " << paramIdx << " on " << layer;
  }
  // Taken in turn on the MIDI thread, as it came.
  void fromInstrument(const ByteList& messages) {
    for (const Bytes& message : messages) ASSERT_TRUE(backend->inject(message));
    plug->midiSendThread->flush();
  }
  // The instrument's report of a part's bank (what 0) or program (1): the
  // multi's bytes 32 + 22 * part and the next.
  void reportFromInstrument(int what, int value, int part = kPart) {
    const int at = 32 + 22 * part + what;
    Bytes message = {0xF0, 0x3E, 0x10, kDeviceId, 0x21, static_cast<unsigned char>(at / 128),
                     static_cast<unsigned char>(at % 128), static_cast<unsigned char>(value), 0xF7};
    ISysEx sysex(0, message.data(), static_cast<int>(message.size()));
    plug->ProcessSysEx(&sysex, true);
  }
  // What reached the instrument: short messages whole, a dump by its address.
  ByteList reached() {
    ByteList all = arrivedAtInstrument();
    for (Bytes& message : all)
      if (message.size() > 20) message.resize(7);
    return all;
  }
  std::optional<Pair> recorded(int part) {
    const auto at = static_cast<size_t>(part);
    if (!plug->partBankKnown[at] || !plug->partProgramKnown[at]) return std::nullopt;
    return Pair{plug->partBank(part), plug->partProgram(part)};
  }
  Pair shown(int part) { return {param(kMultiPartBank + part)->Int(), param(kMultiPartPatch + part)->Int()}; }
  // The part's bank and program menus of the top bar, as they show them.
  std::optional<Pair> topBarShows(int part) {
    char name[32];
    std::snprintf(name, sizeof name, "bankAndProgram%02d", part + 1);
    ControlLayer* layer = plug->namedLayer(name);
    if (!layer) return std::nullopt;
    int values[2] = {-1, -1};
    for (const auto& control : layer->controls())
      for (int half = 0; half < 2; ++half)
        if (const int idx = (half == 0 ? kMultiPartBank : kMultiPartPatch) + part; control->ParamIdx() == idx)
          values[half] = static_cast<int>(std::lround(param(idx)->FromNormalized(control->GetValue())));
    return Pair{values[0], values[1]};
  }
  // The top bar's menus show what the parameters hold, as after a refresh.
  void topBarFromParameters(int part) {
    for (int idx : {kMultiPartBank + part, kMultiPartPatch + part})
      plug->GetGUI()->SetParameterFromPlug(idx, param(idx)->GetNormalized(), true);
  }
  // The bank and program the last bank select and program change on the
  // part's channel carried.
  static std::optional<Pair> carried(const ByteList& messages, int channel) {
    std::optional<Pair> last;
    int bank = -1;
    for (const Bytes& m : messages) {
      if (m.size() == 3 && m[0] == (0xB0 | channel) && m[1] == 32) bank = m[2] - 64;
      if (m.size() == 2 && m[0] == (0xC0 | channel)) last = Pair{bank, m[1]};
    }
    return last;
  }

  // The pick passes the window's checks; as its first message comes to the
  // gate, something else happens.
  void onItsWay(const std::function<void()>& pick, const std::function<void()>& meanwhile) {
    std::atomic<bool> done{false};
    PartPicks& picks = plug->midiMessageManager->picks;
    picks.onLetGo = [&](const PickTicket&) {
      if (!done.exchange(true)) meanwhile();
    };
    pick();
    awaitRequestThread();
    picks.onLetGo = nullptr;
  }
  // The instrument's report of part 2's bank or program reaches the page's
  // control of it, as a layout that addresses it does.
  void addressPartControl(int what) {
    ControlLayer* page = plug->namedLayer("multiModeSettingsPage1");
    ASSERT_NE(page, nullptr);
    const int paramIdx = (what == 0 ? kMultiPartBank : kMultiPartPatch) + kPart;
    for (const auto& control : page->controls()) {
      if (control->ParamIdx() != paramIdx) continue;
      const unsigned char key[] = {0x00, 0x21, 0x00, static_cast<unsigned char>(0x36 + what)};
      plug->uiConfigManager->sysexControls.addToControlMap(key, 0, control.get());
      return;
    }
    FAIL() << "no control for " << paramIdx;
  }
  // STEP LIBRARY, upper slot 3 selected.
  void stepLibrary() {
    setParam(kControlLibrary, 1);
    window->click(window->slot(0, 3));
    settle();
  }
  // The instrument's multi is the library's multi of that number.
  void multiPlays(int slot) {
    EXPECT_EQ(param(kMultiPatch)->Int(), slot);
    const SimBytes multi = instrument.multiBuffer();
    ASSERT_GE(multi.size(), 39u);
    EXPECT_EQ(std::string(multi.begin() + 23, multi.begin() + 39), numbered("Multi", slot));
  }
  // The upper bank's slot holds these bytes as its entry (none: empty).
  void plantInUpperBank(int slot, const Bytes& bytes) {
    PatchLibrarian& library = *plug->patchLibrarian;
    auto guard = library.lock();
    auto bank = library.bankForEdit(library.librarianMode == 1 ? kMultiList : kSoundList, library.upperBank);
    ASSERT_NE(bank, nullptr);
    LibrarianPatch& entry = bank->patches.at(static_cast<size_t>(slot));
    entry.clear();
    if (!bytes.empty()) entry.dumps.push_back(PatchSysexMessage{bytes});
  }
  // The upper bank's slot holds what the library reads of a file whose
  // first dump is cut short: 200 bytes, then (with ended) an F7.
  void plantCutInUpperBank(int slot, bool ended) {
    Bytes file = soundDump(numbered("Cut", slot));
    file.resize(200);
    if (ended) file.push_back(0xF7);
    file = concat({file, soundDump("After")});
    PatchFile read;
    PatchLibrarian& library = *plug->patchLibrarian;
    library.loadFromChunk(file, static_cast<int>(file.size()), &read);
    ASSERT_TRUE(read.cutShort);
    auto guard = library.lock();
    auto bank = library.bankForEdit(kSoundList, library.upperBank);
    ASSERT_NE(bank, nullptr);
    bank->patches.at(static_cast<size_t>(slot)) = read.patches.at(0);
  }
  void multiMode() {
    param(kGlobalMidiChannel)->Set(1);
    setParam(kDatatype, 1);
    param(kMultiPatch)->Set(10);
  }

  // The rows of every road to a part, those whose index is shard modulo
  // shards (each test runs a share of them).
  void runRoads(int shard, int shards);

  std::optional<EditorWindowDriver> window;
  std::atomic<bool> roadReturned{true};
  std::atomic<int> takenByJob{-1};  // the program part 10 takes as a library job starts
  std::atomic<int> noChannelAtJob{-1};  // the channel setting set to Global as a library job starts
  bool anyJobRunning() {
    for (JobThread thread : {JobThread::kRequest, JobThread::kClock, JobThread::kContinuousClock})
      if (plug->midiMessageManager->isThreadRunning(thread)) return true;
    return !plug->midiMessageManager->picks.lanesIdle();
  }
};

ByteList programChange(int bank, int program, int channel = kPart) {
  const auto cc = static_cast<unsigned char>(0xB0 | channel), pc = static_cast<unsigned char>(0xC0 | channel);
  return {{cc, 0, 0}, {cc, 0x20, static_cast<unsigned char>(0x40 + bank)}, {pc, static_cast<unsigned char>(program)}};
}
// The part's notes off (the editor's, then the bank change's) ahead of it.
ByteList withNotesOff(ByteList messages, int channel = kPart, int count = 2) {
  for (int i = 0; i < count; ++i)
    messages.insert(messages.begin(), Bytes{static_cast<unsigned char>(0xB0 | channel), 0x7B, 0});
  return messages;
}
ByteList operator+(ByteList a, const ByteList& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The 9 characters of a dump's name the part bar shows.
std::string name9(const Bytes& dump) { return std::string(dump.begin() + 370, dump.begin() + 379); }
// The last program change for part 2 among the messages.
Bytes lastProgramChangeOf(const ByteList& messages) {
  for (auto it = messages.rbegin(); it != messages.rend(); ++it)
    if (it->size() == 2 && (*it)[0] == 0xC0 + kPart) return *it;
  return {};
}

// One road and one outcome. The road reaches part 2 (or the row's part);
// the row says what reached the instrument, what the part shows, what the
// conflict record holds for it, whether its sound is still the editor's
// copy, the conflict window, the status line and the library's highlight.
// Rows of more roads bring their own before and road.
constexpr int kUnchecked = -2;
constexpr int kNothing = -3;  // no slot highlighted in the pane in use
const ByteList kUnchecked_bytes = {{0xFF}};

struct RoadRow {
  const char* what;
  std::function<void()> before, road;
  ByteList reached = {};                   // short messages whole, a dump by its address
  bool reachedHead = false;                // reached is what came first; more follows
  Pair shows;                              // the part's bank and program afterwards
  std::optional<Pair> recorded = {};       // what the conflict record holds; none: unknown
  bool conflict = false;                   // the conflict window opened
  const char* status = "";                 // the status line's first line
  int highlight = -1;                      // the selected slot of the pane in use; -1: as it was, kNothing: none
  bool shared = true;                      // the part's sound is still the one both hold
  int part = kPart;
  bool everyPart = false;                  // the road gives every part a pair (a multi)
  std::function<void()> check = [] {};     // what else the row's road changes
};

void PartPlaysTest::runRoads(int shard, int shards) {
  // A second sound bank for the upper pane's own bank menu to pick.
  writeFile(getPatchesFolderStr() + "/User.syx", soundFile("User", 100, "Pad"));
  writeFile(getPatchesFolderStr() + "/Multis.syx", multiFile("Multi", 100));
  const auto nothing = [] {};
  const auto topBar = [this](int paramIdx, int item) {
    return [this, paramIdx, item] { pickFrom("bankAndProgram02", paramIdx + kPart, item); };
  };
  const auto multiPage = [this](int paramIdx, int item) {
    return [this, paramIdx, item] {
      window->clickTab(kMainTab, 0);
      pickFrom("multiModeSettingsPage1", paramIdx + kPart, item);
    };
  };
  const auto stepUp = [this] { setParam(kPatchUp + kPart, 1); };
  const auto host = [this](ByteList messages) { return [this, messages] { hostEvents(messages); }; };
  const auto instrument = [this](ByteList messages) { return [this, messages] { fromInstrument(messages); }; };
  const auto report = [this](int what, int value, int part = kPart) {
    return [this, what, value, part] { reportFromInstrument(what, value, part); };
  };
  const auto others = [this](int bank, int program) { return [this, bank, program] { otherPlays(bank, program); }; };
  const auto rxOff = [this] { param(kGlobalRxProgramChange)->Set(0); };
  const auto locked = [this] { param(kPartLock + kPart)->Set(1); };
  const auto omni = [this] { param(kMultiPartMIDICh + kPart)->Set(1); };
  const auto portGone = [this] { backend->setOutGone(true); };
  const auto localOff = [this] { setParam(kGlobalLocalControl, 0); };
  // Part 2 is known to play A 001: a refused pick leaves it so.
  const auto knownOnA001 = [this] { plug->notePartPlays(kPart, 0, 0); };
  const auto hostFiltered = [this] { setParam(kMIDIFilterDAWPCPassThrough, 0); };
  const auto instrumentFiltered = [this] { setParam(kMIDIFilterHWPCPassThrough, 0); };
  const auto both = [](std::function<void()> a, std::function<void()> b) {
    return [a, b] { a(); b(); };
  };
  // An edit of part 1's first parameter, and its value before.
  const auto edit = [this] { plug->SetParameterFromGUI(0, param(0)->GetNormalized(param(0)->GetMin() + 1)); };
  const auto editPutBack = [this] {
    EXPECT_EQ(param(0)->Value(), param(0)->GetDefault());
    EXPECT_NE(param(0)->GetDefault(), param(0)->GetMin() + 1);
  };
  const auto secondLine = [this](std::string text) {
    return [this, text] { EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), text); };
  };
  const auto taken = [this](std::function<void()> pick, int bank = 0, int program = 5) {
    return [this, pick, bank, program] { onItsWay(pick, [this, bank, program] { otherPlays(bank, program); }); };
  };
  // The library's job starts after the window's check: part 10 takes the pair then.
  // The job waits until the road has returned (the window has put up its
  // overlay for the running job).
  const auto takenAtJob = [this](int program) {
    roadReturned = false;
    takenByJob = program;
  };
  const auto stepLibrary = [this] { this->stepLibrary(); };
  const auto doubleClick = [this](int pane, int slot) {
    return [this, pane, slot] {
      const IRECT r = window->slot(pane, slot);
      IMouseMod left(true, false);
      window->gui()->OnMouseDblClick((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
    };
  };
  // A library sound sent to part 2: the instrument's notes off on channel 1,
  // the part's bank and program, then the sound into the part's edit buffer.
  // A library multi sent: the notes off on channel 1, the multi's bank and
  // program on the global channel, the multi into the edit buffer.
  // (The part requests that follow it are the row's tail, not compared.)
  const auto multiSent = [](int multi) {
    return ByteList{{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xC0, static_cast<unsigned char>(multi)},
                    {0xF0, 0x3E, 0x10, kDeviceId, 0x11, 0x20, 0x00}};
  };
  const auto libraryStep = [](int program, int part = kPart) {
    return ByteList{{0xB0, 0x7B, 0}} + programChange(0, program, part) +
           ByteList{{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, static_cast<unsigned char>(part)}};
  };

  // STEP LIBRARY, part 2 on slot 10 (highlighted); part 10 takes slot 50.
  const auto otherPartSteps = [this] {
    this->stepLibrary();
    param(kMultiPartPatch + kPart)->Set(10);
    window->click(window->slot(0, 10));
  };
  const auto otherPartGot50 = [this] {
    EXPECT_EQ(param(kMultiPartPatch + kPart)->Int(), 10);
    EXPECT_EQ(playing(kOther), numbered("Fact", 50).substr(0, 9));
  };
  const auto onlyInUse = [this] {
    const LibrarianViewControl* view = plug->librarianView();
    EXPECT_EQ(view->activePane == 0 ? view->selectedLower : view->selectedUpper, -1);
  };
  // The LIBRARY page left with part 1 on program 7 and a slot of the pane
  // clicked, KEEP BANK off; then entered again.
  const auto pageLeftWith = [&](bool library, bool multi, int pane) {
    return [&, library, multi, pane] {
      setParam(kKeepSelectedBank, 0);
      if (library) stepLibrary();
      if (multi) multiMode();
      param(kMultiPartPatch + kPart)->Set(7);
      window->click(window->slot(pane, 30));
    };
  };
  const auto searchFor = [this](const char* text) {
    plug->setParamDisplayText(kPatchSearchString, 0, text);
    setParam(kPatchSearchString, 0);
  };
  // Both panes list the multis of the multi bank.
  const auto listsMultis = [this] {
    for (int pane : {0, 1}) EXPECT_EQ(window->slots().slotText(pane, 5), numbered("Multi", 5)) << pane;
  };
  const auto multiIs = [this](int program) {
    return [this, program] { EXPECT_EQ(param(kMultiPatch)->Int(), program); };
  };
  const auto globalChannelGone = [this] { param(kGlobalMidiChannel)->Set(0); };
  const auto pageEntered = [this] {
    window->clickTab(kMainTab, 0);
    window->clickTab(kMainTab, 1);
  };
  // The lower pane stays the one in use, and the upper shows nothing.
  const auto onlyInLower = [this] {
    const LibrarianViewControl* view = plug->librarianView();
    EXPECT_EQ(view->activePane, 1);
    EXPECT_EQ(view->selectedUpper, -1);
  };
  // The instrument's own pick from its panel: it plays it, then tells.
  const auto ownPick = [this](int program) {
    return [this, program] {
      for (const Bytes& message : programChange(0, program)) this->instrument.receive(message);
      arrivedAtInstrument();  // its own, not the editor's
      fromInstrument({{0xC1, static_cast<unsigned char>(program)}});
    };
  };
  // The part bar names the instrument's sound of A's program; -1: no name.
  const auto partNamed = [this](int program) {
    return [this, program] {
      const std::string expected = program < 0 ? "" : name9(this->instrument.storedSound(0, program));
      EXPECT_EQ(plug->paramDisplayText(kPatchName + kPart, 0).substr(0, 9), expected);
    };
  };
  const ByteList partRequest = {{0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, kPart, 0xF7}};
  // The lower pane in use, and neither pane shows a slot.
  const auto nothingSelected = [this] {
    const LibrarianViewControl* view = plug->librarianView();
    EXPECT_EQ(view->activePane, 1);
    EXPECT_EQ(view->selectedUpper, -1);
    EXPECT_EQ(view->selectedLower, -1);
  };
  const auto lowerPaneOnUser = [this] {
    window->pickFromMenu(*plug->librarianBrowser->rightPatchMenu->GetRECT(), {1});
    ASSERT_EQ(window->slots().slotText(1, 12), numbered("User", 12));
  };
  const ByteList a006 = withNotesOff(programChange(0, 5));
  const ByteList partDump = {{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, kPart}};
  const auto partDumpOf = [](int part) {
    return ByteList{{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, static_cast<unsigned char>(part)}};
  };
  // The part's notes off alone: the answer to the instrument's own pick.
  const ByteList notesOff = {{0xB0 + kPart, 0x7B, 0}};
  // GET MULTI: every part's sound, then the multi.
  ByteList multiRequests;
  for (unsigned char p = 0; p < 16; ++p) multiRequests.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, p, 0xF7});
  multiRequests.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x01, 0x20, 0x00, 0xF7});
  const std::vector<RoadRow> rows = {
      // The top bar's menus.
      {.what = "top bar: program", .before = nothing, .road = topBar(kMultiPartPatch, 5), .reached = a006,
       .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "top bar: bank", .before = nothing, .road = topBar(kMultiPartBank, 2),
       .reached = withNotesOff(programChange(2, 0)), .shows = {2, 0}, .recorded = Pair{2, 0}, .highlight = 0,
       .shared = false},
      {.what = "top bar: bank checked against the bank picked", .before = others(0, 0), .road = topBar(kMultiPartBank, 1),
       .reached = withNotesOff(programChange(1, 0)), .shows = {1, 0}, .recorded = Pair{1, 0}, .highlight = 0,
       .shared = false},
      {.what = "top bar: program another part plays", .before = others(0, 5), .road = topBar(kMultiPartPatch, 5),
       .shows = {0, 0}, .conflict = true},
      {.what = "top bar: program, part locked", .before = locked, .road = topBar(kMultiPartPatch, 5), .shows = {0, 0},
       .status = "Nothing sent!"},
      {.what = "top bar: program, program changes not taken", .before = rxOff, .road = topBar(kMultiPartPatch, 5),
       .shows = {0, 0}, .status = "Program Change Disabled."},
      {.what = "top bar: program, part on Omni", .before = omni, .road = topBar(kMultiPartPatch, 5), .shows = {0, 0},
       .status = "Nothing sent!"},
      // The MULTI page.
      {.what = "multi page: program", .before = nothing, .road = multiPage(kMultiPartPatch, 5), .reached = a006,
       .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "multi page: program another part plays", .before = others(0, 5), .road = multiPage(kMultiPartPatch, 5),
       .shows = {0, 0}, .conflict = true},
      // The LIBRARY page's BANK and PROG menus.
      // With STEP SYNTH off the part's sound follows, whole: shared again.
      {.what = "LIBRARY menus: program", .before = nothing, .road = [this] { pickTopBarProgram(5); },
       .reached = withNotesOff(programChange(0, 5), kPart, 1) + partDump, .shows = {0, 5}, .recorded = Pair{0, 5},
       .highlight = 5},
      {.what = "LIBRARY menus: bank", .before = nothing, .road = [this] { pickTopBarBank(2); },
       .reached = withNotesOff(programChange(2, 0), kPart, 1) + partDump, .shows = {2, 0}, .recorded = Pair{2, 0}},
      {.what = "LIBRARY menus: program another part plays", .before = others(0, 5), .road = [this] { pickTopBarProgram(5); },
       .shows = {0, 0}, .conflict = true},
      {.what = "LIBRARY menus: program, program changes not taken", .before = rxOff,
       .road = [this] { pickTopBarProgram(5); }, .shows = {0, 0}, .status = "Program Change Disabled."},
      {.what = "LIBRARY menus: bank, program changes not taken", .before = rxOff, .road = [this] { pickTopBarBank(2); },
       .shows = {0, 0}, .status = "Program Change Disabled."},
      {.what = "LIBRARY menus: program, part on Omni", .before = omni, .road = [this] { pickTopBarProgram(5); },
       .shows = {0, 0}, .status = "Nothing sent!"},
      // The arrows in STEP SYNTH.
      {.what = "STEP SYNTH up", .before = nothing, .road = stepUp, .reached = withNotesOff(programChange(0, 1), kPart, 1),
       .shows = {0, 1}, .recorded = Pair{0, 1}, .highlight = 1, .shared = false},
      {.what = "STEP SYNTH up onto a program another part plays", .before = others(0, 1), .road = stepUp,
       .shows = {0, 0}, .conflict = true},
      {.what = "STEP SYNTH up, program changes not taken", .before = rxOff, .road = stepUp, .shows = {0, 0},
       .status = "Program Change Disabled."},
      // The host's program change, with and without its bank select.
      {.what = "host: program change", .before = nothing, .road = host({{0xC1, 5}}), .reached = a006 + ByteList{{0xC1, 5}},
       .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "host: bank select and program change", .before = nothing,
       .road = host({{0xB1, 0, 0}, {0xB1, 32, 0x41}, {0xC1, 5}}),
       .reached = withNotesOff(programChange(1, 5)) + programChange(1, 5), .shows = {1, 5},
       .recorded = Pair{1, 5}, .highlight = 5, .shared = false},
      {.what = "host: program change another part plays", .before = others(0, 5), .road = host({{0xC1, 5}}),
       .shows = {0, 0}, .conflict = true},
      // A part that takes no program change takes no bank select either.
      {.what = "host: bank select and program change, part locked", .before = locked,
       .road = host({{0xB1, 0, 0}, {0xB1, 32, 0x41}, {0xC1, 5}}), .shows = {0, 0}},
      {.what = "host: program change, program changes not taken", .before = rxOff, .road = host({{0xC1, 5}}),
       .shows = {0, 0}},
      // The bank select and its program change are one pick: refused, nothing
      // of the bank select is shown, recorded or passed on either.
      {.what = "host: bank select and program change another part plays", .before = both(knownOnA001, others(2, 5)),
       .road = host(programChange(2, 5)), .shows = {0, 0}, .recorded = Pair{0, 0}, .conflict = true},
      {.what = "host: bank select and program change, program changes not taken", .before = both(knownOnA001, rxOff),
       .road = host(programChange(2, 5)), .shows = {0, 0}, .recorded = Pair{0, 0}},
      {.what = "host: bank select and program change, the host's program changes filtered",
       .before = both(knownOnA001, hostFiltered), .road = host(programChange(2, 5)), .shows = {0, 0},
       .recorded = Pair{0, 0}},
      {.what = "host: bank select and program change, part locked", .before = both(knownOnA001, locked),
       .road = host(programChange(2, 5)), .shows = {0, 0}, .recorded = Pair{0, 0}},
      // A bank select waits for its program change, then goes with it.
      {.what = "host: a bank select, later its program change", .before = nothing, .road = [&] {
         host({{0xB1, 0, 0}, {0xB1, 32, 0x42}})();
         plug->midiSendThread->flush();
         EXPECT_EQ(arrivedAtInstrument(), ByteList{});
         EXPECT_EQ(shown(kPart), (Pair{0, 0}));
         host({{0xC1, 5}})();
       }, .reached = withNotesOff(programChange(2, 5)) + programChange(2, 5), .shows = {2, 5}, .recorded = Pair{2, 5},
       .highlight = 5, .shared = false},
      // No part plays a bank of 63 or 67: the controller goes on as it is,
      // and the program change on the part's bank.
      {.what = "host: CC 32 = 63, then a program change", .before = nothing,
       .road = host({{0xB1, 0, 0}, {0xB1, 32, 63}, {0xC1, 5}}), .reached = ByteList{{0xB1, 32, 63}} + a006 + ByteList{{0xC1, 5}},
       .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "host: CC 32 = 67, then a program change", .before = nothing,
       .road = host({{0xB1, 0, 0}, {0xB1, 32, 67}, {0xC1, 5}}), .reached = ByteList{{0xB1, 32, 67}} + a006 + ByteList{{0xC1, 5}},
       .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      // The instrument's program change, with and without its bank select:
      // what the instrument plays (local control on), shown and recorded as
      // it says so; answered with the part's notes off, its pair not sent
      // back (a late copy would move it back). Without a bank select the
      // part's bank stays as unknown as it was.
      {.what = "instrument: program change", .before = nothing, .road = instrument({{0xC1, 5}}), .reached = notesOff,
       .shows = {0, 5}, .highlight = 5, .shared = false},
      {.what = "instrument: program change, the part's bank known", .before = knownOnA001,
       .road = instrument({{0xC1, 5}}), .reached = notesOff, .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5,
       .shared = false},
      {.what = "instrument: bank select and program change", .before = nothing,
       .road = instrument({{0xB1, 0, 0}, {0xB1, 32, 0x42}, {0xC1, 5}}), .reached = notesOff,
       .shows = {2, 5}, .recorded = Pair{2, 5}, .highlight = 5, .shared = false},
      {.what = "instrument: bank select and program change, another part played the window's pair",
       .before = others(0, 5), .road = instrument({{0xB1, 0, 0}, {0xB1, 32, 0x42}, {0xC1, 5}}),
       .reached = notesOff, .shows = {2, 5}, .recorded = Pair{2, 5}, .highlight = 5, .shared = false},
      // Not taken, the instrument's own pick (local control on: it plays it
      // already) is shown and recorded whole, and nothing is echoed; dropped
      // by the filter, nothing of it is kept.
      {.what = "instrument: bank select and program change another part plays", .before = others(2, 5),
       .road = instrument(programChange(2, 5)), .shows = {2, 5}, .recorded = Pair{2, 5}, .conflict = true,
       .highlight = 5, .shared = false},
      {.what = "instrument: bank select and program change, program changes not taken", .before = rxOff,
       .road = instrument(programChange(2, 5)), .shows = {2, 5}, .recorded = Pair{2, 5}, .highlight = 5,
       .shared = false},
      {.what = "instrument: bank select and program change, the instrument's program changes filtered",
       .before = both(knownOnA001, instrumentFiltered), .road = instrument(programChange(2, 5)), .shows = {0, 0},
       .recorded = Pair{0, 0}},
      {.what = "instrument: a bank select, later its program change", .before = nothing, .road = [&] {
         fromInstrument({{0xB1, 0, 0}, {0xB1, 32, 0x42}});
         EXPECT_EQ(shown(kPart), (Pair{0, 0}));
         fromInstrument({{0xC1, 5}});
       }, .reached = notesOff, .shows = {2, 5}, .recorded = Pair{2, 5}, .highlight = 5, .shared = false},
      {.what = "instrument: CC 32 = 80 (no part's bank), then a program change", .before = knownOnA001,
       .road = instrument({{0xB1, 0, 0}, {0xB1, 32, 80}, {0xC1, 5}}), .reached = notesOff, .shows = {0, 5},
       .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "instrument: CC 32 = 96 (no part's bank), then a program change", .before = knownOnA001,
       .road = instrument({{0xB1, 0, 0}, {0xB1, 32, 96}, {0xC1, 5}}), .reached = notesOff, .shows = {0, 5},
       .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      // Refused for a conflict, the instrument's own change is still what
      // its part plays: shown, and its sound asked for (program mode), else
      // no name shown over the new number.
      {.what = "program mode: instrument program change another part plays", .before = [&] {
         setParam(kControlProgBank, 1);
         otherPlays(0, 5);
         instrumentAnswers();
       }, .road = ownPick(5), .reached = partRequest, .shows = {0, 5}, .conflict = true, .highlight = 5,
       .shared = false, .check = partNamed(5)},  // read back: shown, never held to go back
      {.what = "instrument program change another part plays", .before = others(0, 5), .road = ownPick(5),
       .shows = {0, 5}, .conflict = true, .highlight = 5, .shared = false, .check = partNamed(-1)},
      // With the instrument's local control off its program change is not
      // echoed: the editor's own bank and program change for the part is the
      // one that goes back. Its bank select goes on with that; its notes do
      // go back, as it does not play them itself.
      {.what = "local control off: instrument program change", .before = localOff, .road = instrument({{0xC1, 5}}),
       .reached = a006, .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "local control off: instrument bank select and program change", .before = localOff,
       .road = instrument({{0xB1, 0, 0}, {0xB1, 32, 0x42}, {0xC1, 5}}), .reached = withNotesOff(programChange(2, 5)),
       .shows = {2, 5}, .recorded = Pair{2, 5}, .highlight = 5, .shared = false},
      {.what = "local control off, STEP LIBRARY: instrument bank select and program change", .before = [&] {
         stepLibrary();
         localOff();
       }, .road = instrument(programChange(0, 7)), .reached = libraryStep(7), .shows = {0, 7}, .recorded = Pair{0, 7},
       .highlight = 7},
      // Not taken, nothing goes back, and nothing of it is kept: the
      // instrument stays on what it plays.
      {.what = "local control off, part locked: instrument bank select and program change",
       .before = [&] { knownOnA001(); localOff(); locked(); }, .road = instrument(programChange(2, 5)),
       .shows = {0, 0}, .recorded = Pair{0, 0}},
      {.what = "local control off: instrument bank select and program change another part plays",
       .before = [&] { knownOnA001(); localOff(); otherPlays(2, 5); }, .road = instrument(programChange(2, 5)),
       .shows = {0, 0}, .recorded = Pair{0, 0}, .conflict = true},
      {.what = "local control off, port gone: instrument bank select and program change",
       .before = [&] { knownOnA001(); localOff(); portGone(); }, .road = instrument(programChange(2, 5)),
       .shows = {0, 0}, .recorded = Pair{0, 0}, .status = "MIDI Out port gone!"},
      {.what = "local control off: the instrument's notes", .before = [&] {
         localOff();
         setParam(kMIDIFilterHWNotePassThrough, 1);
       }, .road = instrument({{0x91, 60, 100}, {0x81, 60, 0}}), .reached = {{0x91, 60, 100}, {0x81, 60, 0}},
       .shows = {0, 0}},
      // The out port gone: nothing reaches the instrument, nothing is shown
      // or recorded, and the status line says so.
      {.what = "port gone: top bar program", .before = portGone, .road = topBar(kMultiPartPatch, 5), .shows = {0, 0},
       .status = "MIDI Out port gone!"},
      {.what = "port gone: top bar bank", .before = portGone, .road = topBar(kMultiPartBank, 2), .shows = {0, 0},
       .status = "MIDI Out port gone!"},
      {.what = "port gone: multi page program", .before = portGone, .road = multiPage(kMultiPartPatch, 5),
       .shows = {0, 0}, .status = "MIDI Out port gone!"},
      {.what = "port gone: LIBRARY menus program", .before = portGone, .road = [this] { pickTopBarProgram(5); },
       .shows = {0, 0}, .status = "MIDI Out port gone!"},
      {.what = "port gone: LIBRARY menus bank", .before = portGone, .road = [this] { pickTopBarBank(2); },
       .shows = {0, 0}, .status = "MIDI Out port gone!"},
      {.what = "port gone: STEP SYNTH up", .before = portGone, .road = stepUp, .shows = {0, 0},
       .status = "MIDI Out port gone!"},
      {.what = "port gone: host program change", .before = portGone, .road = host({{0xC1, 5}}), .shows = {0, 0},
       .status = "MIDI Out port gone!"},
      {.what = "port gone: host bank select and program change", .before = both(knownOnA001, portGone),
       .road = host(programChange(2, 5)), .shows = {0, 0}, .recorded = Pair{0, 0}, .status = "MIDI Out port gone!"},
      // Refused on the MIDI thread: another part took the pair after the
      // window's check. Put back, the conflict window says why.
      {.what = "on its way: top bar program", .before = nothing, .road = taken(topBar(kMultiPartPatch, 5)),
       .shows = {0, 0}, .conflict = true},
      {.what = "on its way: top bar bank", .before = [this] { param(kMultiPartPatch + kPart)->Set(5); },
       .road = taken(topBar(kMultiPartBank, 1), 1, 5), .shows = {0, 5}, .conflict = true},
      {.what = "on its way: LIBRARY menus bank", .before = [this] { param(kMultiPartPatch + kPart)->Set(5); },
       .road = taken([this] { pickTopBarBank(1); }, 1, 5), .shows = {0, 5}, .conflict = true},
      {.what = "on its way: multi page program", .before = nothing, .road = taken(multiPage(kMultiPartPatch, 5)),
       .shows = {0, 0}, .conflict = true},
      {.what = "on its way: LIBRARY menus program", .before = nothing, .road = taken([this] { pickTopBarProgram(5); }),
       .shows = {0, 0}, .conflict = true},
      {.what = "on its way: STEP SYNTH up onto 006", .before = [this] { param(kMultiPartPatch + kPart)->Set(4); },
       .road = taken(stepUp), .shows = {0, 4}, .conflict = true},
      // STEP LIBRARY: the library's sound in the slot goes.
      {.what = "STEP LIBRARY: host program change for a pair another part plays",
       .before = [&] { stepLibrary(); otherPlays(0, 5); }, .road = host({{0xC1, 5}}), .shows = {0, 0}, .conflict = true,
       .highlight = 3},
      // Refused at job time: the highlight goes back with the program.
      {.what = "STEP LIBRARY: top bar program, the pair taken as the job starts",
       .before = [&] { stepLibrary(); takenAtJob(5); }, .road = topBar(kMultiPartPatch, 5), .shows = {0, 0},
       .conflict = true, .highlight = kNothing},
      {.what = "STEP LIBRARY: double-click, the pair taken as the job starts",
       .before = [&] { stepLibrary(); takenAtJob(7); }, .road = doubleClick(0, 7), .shows = {0, 0},
       .conflict = true, .highlight = kNothing},
      {.what = "STEP LIBRARY: up, the pair taken as the job starts", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(3);
         takenAtJob(4);
       }, .road = [this] { setParam(kPatchUp + kPart, 1); }, .shows = {0, 3}, .conflict = true, .highlight = kNothing},
      // A step whose program change has no channel to go on (the part, or
      // the multi, on Global or Omni) sends nothing and changes nothing shown.
      {.what = "STEP LIBRARY: up, the part on Omni", .before = [&] { stepLibrary(); omni(); }, .road = stepUp,
       .shows = {0, 0}, .status = "Nothing sent!", .check = [this] {
         EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), "No MIDI channel to send on");
       }},
      {.what = "STEP LIBRARY: up, the part's channel gone as the job starts", .before = [&] {
         stepLibrary();
         noChannelAtJob = kMultiPartMIDICh + kPart;
       }, .road = stepUp, .shows = {0, 0}, .status = "Nothing sent!", .highlight = kNothing, .check = [this] {
         EXPECT_NE(debugLog().find("MIDI OUT: bank change for part 2 not sent: channel outside 0-15"), std::string::npos);
       }},
      {.what = "multi mode STEP LIBRARY: up, the global channel gone as the job starts", .before = [&] {
         multiMode();
         stepLibrary();
         noChannelAtJob = kGlobalMidiChannel;
       }, .road = stepUp, .shows = {0, 0}, .status = "Nothing sent!", .highlight = kNothing, .check = [this] {
         EXPECT_EQ(param(kMultiPatch)->Int(), 10);
         EXPECT_NE(debugLog().find("MIDI OUT: bank change for the multi not sent: channel outside 0-15"),
                   std::string::npos);
       }},
      {.what = "on its way: top bar program, the part set to Omni", .before = nothing,
       .road = [&] { onItsWay(topBar(kMultiPartPatch, 5), omni); }, .shows = {0, 0}, .status = "Nothing sent!"},
      {.what = "on its way: host bank select and program change, the part set to Omni", .before = nothing,
       .road = [&] { onItsWay(host(programChange(2, 5)), omni); }, .shows = {0, 0}, .status = "Nothing sent!"},
      // Program changes not taken: the slot's sound still lands whole in the
      // part's edit buffer, and that is what the part plays.
      {.what = "STEP LIBRARY: up, program changes not taken", .before = [&] { stepLibrary(); rxOff(); },
       .road = stepUp, .reached = libraryStep(1), .shows = {0, 1}, .recorded = Pair{0, 1}, .highlight = 1,
       .check = [this] { EXPECT_EQ(playing(kPart), numbered("Fact", 1).substr(0, 9)); }},
      // Entering the page or switching the part shows what the part plays in
      // the pane in use, and nothing in the other.
      {.what = "STEP LIBRARY: the page entered, the lower pane in use, KEEP BANK off",
       .before = pageLeftWith(true, false, 1),
       .road = pageEntered, .shows = {0, 7}, .highlight = kNothing, .check = onlyInUse},
      {.what = "STEP LIBRARY: another part switched to, the lower pane in use", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kOther)->Set(20);
         window->click(window->slot(1, 30));
       }, .road = [this] { window->clickTab(kQuickTab, kOther); }, .shows = {0, 20}, .highlight = kNothing,
       .shared = false, .part = kOther, .check = onlyInLower},
      // A slot is highlighted only in a pane whose bank the part plays from:
      // the same number in another bank is another sound.
      {.what = "STEP LIBRARY: another part switched to, the lower pane on a bank it never played from", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kOther)->Set(40);
         lowerPaneOnUser();
         window->click(window->slot(1, 30));
       }, .road = [this] { window->clickTab(kQuickTab, kOther); }, .shows = {0, 40}, .highlight = kUnchecked,
       .shared = false, .part = kOther, .check = nothingSelected},
      {.what = "STEP LIBRARY: back to a part that played from the lower pane's bank", .before = [&] {
         stepLibrary();
         lowerPaneOnUser();
         doubleClick(1, 12)();
         awaitRequestThread();
         window->clickTab(kQuickTab, kOther);
       }, .road = [this] { window->clickTab(kQuickTab, kPart); }, .reached = kUnchecked_bytes, .shows = {0, 12},
       .recorded = Pair{0, 12}, .highlight = 12, .check = [&] {
         onlyInLower();
         EXPECT_EQ(playing(kPart), numbered("User", 12).substr(0, 9));
       }},
      // With STEP SYNTH the page shows the part's program; in multi mode the
      // panes list multis, so the multi's, in the pane in use alone.
      {.what = "STEP SYNTH: the page entered, the lower pane in use, KEEP BANK off",
       .before = pageLeftWith(false, false, 1),
       .road = pageEntered, .shows = {0, 7}, .highlight = 7},
      {.what = "multi mode STEP SYNTH: the page entered, the lower pane in use, KEEP BANK off",
       .before = pageLeftWith(false, true, 1),
       .road = pageEntered, .shows = {0, 7}, .highlight = 10, .check = onlyInUse},
      {.what = "multi mode STEP SYNTH: the page entered, the upper pane in use, KEEP BANK off",
       .before = pageLeftWith(false, true, 0),
       .road = pageEntered, .shows = {0, 7}, .highlight = 10, .check = onlyInUse},
      // STEP LIBRARY counts from the slot the part plays, in the pane the
      // user works in: a click elsewhere, another part's pick, leaves it.
      {.what = "STEP LIBRARY: up from the slot the part plays, the highlight elsewhere", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(10);
         window->click(window->slot(0, 50));
       }, .road = stepUp, .reached = libraryStep(11), .shows = {0, 11}, .recorded = Pair{0, 11}, .highlight = 11,
       .check = [this] { EXPECT_EQ(playing(kPart), numbered("Fact", 11).substr(0, 9)); }},
      // Another part's pick or report sends to that part; the highlight
      // stays on the slot part 2 plays.
      {.what = "STEP LIBRARY: another part's program picked on the MULTI page", .before = otherPartSteps,
       .road = [this] {
         window->clickTab(kMainTab, 0);
         pickFrom("multiModeSettingsPage1", kMultiPartPatch + kOther, 50);
       }, .reached = libraryStep(50, kOther), .shows = {0, 50}, .recorded = Pair{0, 50}, .highlight = 10,
       .part = kOther, .check = otherPartGot50},
      // The report of the part's bank sends the slot the part plays, on that bank.
      {.what = "STEP LIBRARY: instrument reports the bank", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(7);
       }, .road = report(0, 2), .reached = ByteList{{0xB0, 0x7B, 0}} + programChange(2, 7) + partDump,
       .shows = {2, 7}, .recorded = Pair{2, 7}, .highlight = 7,
       .check = [this] { EXPECT_EQ(playing(kPart), numbered("Fact", 7).substr(0, 9)); }},
      {.what = "STEP LIBRARY: instrument reports another part's program", .before = otherPartSteps,
       .road = report(1, 50, kOther), .reached = ByteList{{0xB0, 0x7B, 0}} + partDumpOf(kOther), .shows = {0, 50},
       .highlight = 10, .part = kOther, .check = otherPartGot50},
      {.what = "STEP LIBRARY: down onto a slot holding a broken dump", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(10);
         plantInUpperBank(9, Bytes{0xF0, 0x3E, 0x10, 0x00});
       }, .road = [this] { setParam(kPatchDown + kPart, 1); }, .shows = {0, 10}, .status = kEntryNotSent,
       .check = secondLine(kNotAWholeDump)},
      // A pick that goes out ends the text of one that sent nothing, both lines.
      {.what = "STEP LIBRARY: down onto a broken dump, then a double-click on a whole one", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(10);
         plantInUpperBank(9, Bytes{0xF0, 0x3E, 0x10, 0x00});
       }, .road = [&] {
         setParam(kPatchDown + kPart, 1);
         EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), kEntryNotSent);
         doubleClick(0, 7)();
       }, .reached = libraryStep(7), .shows = {0, 7}, .recorded = Pair{0, 7}, .highlight = 7, .check = secondLine("")},
      {.what = "top bar: program, part locked, then unlocked", .before = locked, .road = [&] {
         topBar(kMultiPartPatch, 4)();
         EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), "Nothing sent!");
         param(kPartLock + kPart)->Set(0);
         topBar(kMultiPartPatch, 5)();
       }, .reached = a006, .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false,
       .check = secondLine("")},
      // An entry of the other kind is named so.
      {.what = "STEP LIBRARY: down onto a multi in the sound bank", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(10);
         plantInUpperBank(9, multiDump("Stray"));
       }, .road = [this] { setParam(kPatchDown + kPart, 1); }, .shows = {0, 10}, .status = kEntryNotSent,
       .check = secondLine("Not a sound")},
      // An entry cut short in its file: nothing goes out on any road, not
      // even notes off, and the part shows what it played.
      {.what = "STEP LIBRARY: down onto a sound cut short before the next dump", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(10);
         plantCutInUpperBank(9, false);
       }, .road = [this] { setParam(kPatchDown + kPart, 1); }, .shows = {0, 10}, .status = kEntryNotSent},
      {.what = "STEP LIBRARY: up onto a sound short then F7", .before = [&] {
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(10);
         plantCutInUpperBank(11, true);
       }, .road = stepUp, .shows = {0, 10}, .status = kEntryNotSent},
      // Refused, the instrument's own change is what the part plays.
      {.what = "STEP LIBRARY: instrument program change onto a sound short then F7", .before = [&] {
         stepLibrary();
         plantCutInUpperBank(5, true);
       }, .road = instrument({{0xC1, 5}}), .shows = {0, 5}, .status = kEntryNotSent, .highlight = kNothing,
       .shared = false},
      {.what = "STEP LIBRARY: instrument program change onto an empty slot", .before = [&] {
         stepLibrary();
         plantInUpperBank(5, {});
       }, .road = ownPick(5), .shows = {0, 5}, .highlight = kNothing, .shared = false, .check = partNamed(-1)},
      {.what = "STEP LIBRARY: double-click on a sound short then F7", .before = [&] {
         stepLibrary();
         plantCutInUpperBank(7, true);
       }, .road = doubleClick(0, 7), .shows = {0, 0}, .status = kEntryNotSent, .highlight = 7},
      {.what = "double-click on a sound cut short before the next dump",
       .before = [&] { plantCutInUpperBank(7, false); }, .road = doubleClick(0, 7), .shows = {0, 0},
       .status = kEntryNotSent, .highlight = 7},
      {.what = "STEP LIBRARY: double-click on an upper slot", .before = stepLibrary, .road = doubleClick(0, 7),
       .reached = libraryStep(7), .shows = {0, 7}, .recorded = Pair{0, 7}, .highlight = 7},
      {.what = "STEP LIBRARY: double-click, the part locked", .before = [&] {
         stepLibrary();
         locked();
       }, .road = doubleClick(0, 7), .shows = {0, 0}, .status = "Nothing sent!", .highlight = 7,
       .check = secondLine("Part 2 is locked")},
      {.what = "STEP LIBRARY: double-click on an empty slot", .before = [&] {
         stepLibrary();
         plantInUpperBank(7, {});
       }, .road = doubleClick(0, 7), .shows = {0, 0}, .status = "Nothing sent!", .highlight = 7},
      {.what = "STEP LIBRARY: double-click on a category list", .before = [&] {
         stepLibrary();
         setParam(kCategorySelection, 1);
       }, .road = doubleClick(1, 7), .reached = libraryStep(7), .shows = {0, 7}, .recorded = Pair{0, 7},
       .highlight = 7},
      {.what = "STEP LIBRARY: double-click on a search list", .before = [&] {
         stepLibrary();
         plug->setParamDisplayText(kPatchSearchString, 0, "Fact4");
         setParam(kPatchSearchString, 0);
       }, .road = doubleClick(1, 2), .reached = libraryStep(2), .shows = {0, 2}, .recorded = Pair{0, 2},
       .highlight = 2, .check = [this] { EXPECT_EQ(playing(kPart), numbered("Fact", 41).substr(0, 9)); }},
      // The lower pane's search results written into bank B: the results,
      // not the sound bank of the same place in the sound list.
      {.what = "the lower pane's search results stored into bank B", .before = [&] {
         searchFor("Fact4");
         window->click(window->slot(1, 0));
       }, .road = [this] { window->pickFromMenu(*plug->librarianBrowser->bankEditMenu->GetRECT(), {2, 3}); },
       .reached = kUnchecked_bytes, .shows = {0, 0}, .highlight = kUnchecked, .check = [this] {
         for (int program : {0, 2}) {
           const SimBytes stored = this->instrument.storedSound(1, program);
           EXPECT_EQ(std::string(stored.begin() + 370, stored.begin() + 379),
                     window->slots().slotText(1, program).substr(0, 9)) << program;
         }
         EXPECT_EQ(window->slots().slotText(1, 2).substr(0, 9), numbered("Fact", 41).substr(0, 9));
       }},
      {.what = "STEP LIBRARY: instrument reports the program to its control, the lower pane in use",
       .before = [&] {
         stepLibrary();
         addressPartControl(1);
         window->click(window->slot(1, 30));
       },
       // The slot's sound alone: the instrument plays its program already
       // (its bank stays unknown); the upper pane keeps no highlight.
       .road = report(1, 5), .reached = ByteList{{0xB0, 0x7B, 0}} + partDump,
       .shows = {0, 5},
       .highlight = 5, .check = [this] {
         EXPECT_EQ(plug->librarianView()->selectedUpper, -1);
         EXPECT_EQ(playing(kPart), numbered("Fact", 5).substr(0, 9));
       }},
      // Multi mode: STEP LIBRARY steps the multi from the multi it plays, the
      // panes list multis only, and only a multi goes out as the multi.
      {.what = "multi mode STEP LIBRARY: the multi selector's pick", .before = [&] { multiMode(); stepLibrary(); },
       .road = [this] { pickFrom("bankAndProgramMulti", kMultiPatch, 12); }, .reached = multiSent(12),
       .reachedHead = true, .shows = {2, 12}, .recorded = Pair{2, 12}, .highlight = 12, .shared = false, .check = [this] { multiPlays(12); }},
      {.what = "multi mode STEP LIBRARY: up from the multi it plays", .before = [&] { multiMode(); stepLibrary(); },
       .road = stepUp, .reached = multiSent(11), .reachedHead = true, .shows = {2, 11}, .recorded = Pair{2, 11},
       .highlight = 11, .shared = false, .check = [this] { multiPlays(11); }},
      {.what = "multi mode STEP LIBRARY: up onto a sound in the multi bank", .before = [&] {
         multiMode();
         stepLibrary();
         plantInUpperBank(11, soundDump("Stray"));
       }, .road = stepUp, .shows = {0, 0}, .status = kEntryNotSent, .check = [this] {
         EXPECT_EQ(param(kMultiPatch)->Int(), 10);
         EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), "Not a multi");
       }},
      {.what = "multi mode after a category list: a double-click on the lower pane", .before = [&] {
         setParam(kCategorySelection, 1);
         multiMode();
         stepLibrary();
       }, .road = doubleClick(1, 5), .reached = multiSent(5), .reachedHead = true, .shows = {2, 5},
       .recorded = Pair{2, 5}, .highlight = 5, .shared = false,
       .check = [this] {
         EXPECT_EQ(window->slots().slotText(1, 5), numbered("Multi", 5));
         multiPlays(5);
       }},
      // A search closed with multis shown lists the multis again in both panes.
      {.what = "multi mode STEP LIBRARY: a search closed, then up", .before = [&] {
         searchFor("Fact4");
         multiMode();
         stepLibrary();
       }, .road = [&] {
         setParam(kPatchSearch, 0);
         stepUp();
       }, .reached = multiSent(11), .reachedHead = true, .shows = {2, 11}, .recorded = Pair{2, 11}, .highlight = 11,
       .shared = false, .check = [&] {
         listsMultis();
         multiPlays(11);
       }},
      {.what = "multi mode STEP LIBRARY: a search closed, then a double-click on the lower pane", .before = [&] {
         searchFor("Fact4");
         multiMode();
         stepLibrary();
       }, .road = [&] {
         setParam(kPatchSearch, 0);
         doubleClick(1, 5)();
       }, .reached = multiSent(5), .reachedHead = true, .shows = {2, 5}, .recorded = Pair{2, 5}, .highlight = 5,
       .shared = false, .check = [&] {
         listsMultis();
         multiPlays(5);
       }},
      // A pick of the multi in the top bar or the multi selector: the multi
      // goes out on the global channel, whatever channel the part shown is
      // on, and what follows it is the multi's, never the part's sound alone.
      // Refused on its way, the multi shown is again the one that plays.
      {.what = "multi mode: LIBRARY menus program, the multi asked for", .before = [&] {
         multiMode();
         setParam(kControlProgBank, 1);
         this->instrument.setGlobalChannel(0);
         instrumentAnswers();
       }, .road = [this] { pickTopBarProgram(5); }, .reached = ByteList{{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xC0, 5}} + multiRequests,
       .shows = {0, 0}, .recorded = Pair{0, 0}, .highlight = 5, .shared = false, .check = [this, multiIs] {
         multiIs(5)();
         EXPECT_EQ(plug->paramDisplayText(kMultiName, 0), "MULTI A05       ");
       }},
      {.what = "multi mode: LIBRARY menus program, the editor's multi follows", .before = [&] { multiMode(); },
       .road = [this] { pickTopBarProgram(5); }, .reached = ByteList{{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xC0, 5}},
       .reachedHead = true, .shows = {0, 0}, .recorded = Pair{0, 0}, .highlight = 5, .check = multiIs(5)},
      {.what = "multi mode: LIBRARY menus program, the part on Global", .before = [&] {
         multiMode();
         param(kMultiPartMIDICh + kPart)->Set(0);
       }, .road = [this] { pickTopBarProgram(5); }, .reached = ByteList{{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xC0, 5}},
       .reachedHead = true, .shows = {0, 0}, .recorded = Pair{0, 0}, .highlight = 5, .check = multiIs(5)},
      {.what = "multi mode: the multi selector's pick, the part on Global", .before = [&] {
         multiMode();
         param(kMultiPartMIDICh + kPart)->Set(0);
       }, .road = [this] { pickFrom("bankAndProgramMulti", kMultiPatch, 12); },
       .reached = ByteList{{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xC0, 12}}, .reachedHead = true, .shows = {0, 0},
       .highlight = 12, .shared = false, .check = multiIs(12)},
      {.what = "multi mode on its way: the multi selector's pick, the global channel gone", .before = [&] { multiMode(); },
       .road = [&] { onItsWay([this] { pickFrom("bankAndProgramMulti", kMultiPatch, 12); }, globalChannelGone); },
       .shows = {0, 0}, .status = "Nothing sent!", .check = multiIs(10)},
      {.what = "multi mode on its way: STEP SYNTH up, the global channel gone", .before = [&] { multiMode(); },
       .road = [&] { onItsWay(stepUp, globalChannelGone); }, .shows = {0, 0}, .status = "Nothing sent!",
       .check = multiIs(10)},
      {.what = "multi mode STEP LIBRARY: the multi selector's pick, the global channel gone as the job starts",
       .before = [&] {
         multiMode();
         stepLibrary();
         noChannelAtJob = kGlobalMidiChannel;
       }, .road = [this] { pickFrom("bankAndProgramMulti", kMultiPatch, 12); }, .shows = {0, 0},
       .status = "Nothing sent!", .highlight = kNothing, .check = multiIs(10)},
      // SHOW switched while stepping the library: the pane in use shows what
      // is played, the other pane nothing of the kind it listed before.
      {.what = "STEP LIBRARY: SHOW from SOUNDS to MULTIS after a pick in the lower pane", .before = [&] {
         stepLibrary();
         param(kGlobalMidiChannel)->Set(1);
         param(kMultiPatch)->Set(10);
         param(kMultiPartPatch + kPart)->Set(7);
         window->click(window->slot(1, 5));
       }, .road = [this] { setParam(kDatatype, 1); }, .shows = {0, 7}, .highlight = kNothing, .check = onlyInUse},
      {.what = "STEP LIBRARY: SHOW from MULTIS to SOUNDS after a pick in the lower pane", .before = [&] {
         multiMode();
         stepLibrary();
         param(kMultiPartPatch + kPart)->Set(7);
         window->click(window->slot(1, 5));
       }, .road = [this] { setParam(kDatatype, 0); }, .shows = {0, 7}, .highlight = kNothing, .check = onlyInUse},
      // A bank changed on another road: the bank menus tick it as they pop up.
      {.what = "instrument reports the bank, the LIBRARY page's bank menu opened", .before = nothing,
       .road = report(0, 2), .shows = {2, 0}, .shared = false, .check = [this] {
         window->pickFromMenu(*plug->librarianBrowser->bankNumberMenu->GetRECT(), {-1});  // opened, dismissed
         for (int bank = 0; bank < 3; ++bank)
           EXPECT_EQ(plug->librarianBrowser->bankNumberMenu->menu().IsItemChecked(bank), bank == 2) << bank;
       }},
      {.what = "STEP LIBRARY: the upper pane's own bank menu, then the top bar's bank-name menu opened",
       .before = stepLibrary,
       .road = [this] { window->pickFromMenu(*plug->librarianBrowser->leftPatchMenu->GetRECT(), {1}); },
       .shows = {0, 0}, .check = [this] {
         FolderMenuControl& names = *plug->librarianBrowser->progBankNameMenu;
         window->pickFromMenu(*names.GetRECT(), {-1});  // opened, dismissed
         ASSERT_EQ(names.tickCount(), 1);
         EXPECT_TRUE(names.mainMenu()->IsItemChecked(1));
         EXPECT_EQ(std::string(names.mainMenu()->GetItemText(1)), "User.syx");
         EXPECT_EQ(plug->patchLibrarian->upperBank.load(), 1);
       }},
      // The instrument's report of the part's bank or program, reaching the
      // page's control: the part's notes off (its pair it plays already, not
      // sent back), unless another part plays the pair, in multi mode too.
      {.what = "instrument reports the program to its control", .before = [this] { addressPartControl(1); },
       .road = report(1, 5), .reached = notesOff, .shows = {0, 5}, .highlight = 5, .shared = false},
      {.what = "instrument reports the program to its control, local control off",
       .before = [this] { addressPartControl(1); setParam(kGlobalLocalControl, 0); },
       .road = report(1, 5), .reached = a006, .shows = {0, 5}, .recorded = Pair{0, 5}, .highlight = 5, .shared = false},
      {.what = "instrument reports the program to its control, the part on Omni",
       .before = [this] { addressPartControl(1); param(kMultiPartMIDICh + kPart)->Set(1); }, .road = report(1, 5),
       .shows = {0, 5}, .highlight = 5, .shared = false},
      {.what = "instrument reports a program another part plays to its control",
       .before = [this] { addressPartControl(1); otherPlays(0, 5); }, .road = report(1, 5), .shows = {0, 5},
       .conflict = true, .highlight = 5, .shared = false},
      {.what = "multi mode: instrument reports the program to its control", .before = [this] {
         multiMode();
         addressPartControl(1);
       }, .road = report(1, 5), .reached = notesOff, .shows = {0, 5}, .shared = false, .check = onlyInUse},
      {.what = "multi mode: host program change, the lower pane in use", .before = [this] {
         multiMode();
         window->click(window->slot(1, 30));
       }, .road = host({{0xC1, 5}}), .reached = a006 + ByteList{{0xC1, 5}}, .shows = {0, 5}, .recorded = Pair{0, 5},
       .shared = false, .check = onlyInUse},
      // No port set: the instrument's change is shown, nothing goes, and the
      // half it did not tell stays unknown.
      {.what = "no out port: instrument program change", .before = [this] { setParam(kDeviceOutSelection, 0); },
       .road = instrument({{0xC1, 5}}), .shows = {0, 5}, .highlight = 5, .shared = false},
      // A multi from the instrument gives every part its pair, part 16's too.
      {.what = "the instrument's multi, asked for", .before = [this] {
         this->instrument.turnMultiKnob(32 + 22 * 15, 2);
         this->instrument.turnMultiKnob(32 + 22 * 15 + 1, 42);
         instrumentAnswers();
       }, .road = [this] { setParam(kRequestTempData, 1); }, .reached = multiRequests, .shows = {2, 42}, .recorded = Pair{2, 42},
       .shared = false, .part = 15, .everyPart = true},
      // An edit: what the host was shown (nothing) is told of nothing.
      {.what = "an edit of part 1's first parameter", .before = nothing,
       .road = [this] { plug->SetParameterFromGUI(0, param(0)->GetNormalized(param(0)->GetMin() + 1)); },
       .reached = kUnchecked_bytes, .shows = {0, 0}, .status = "[1] Osc 1 Octave"},
      // A setting's box names itself as the window shows it.
      {.what = "a MIDI filter box ticked", .before = [this] { param(kMIDIFilterHWNotePassThrough)->Set(0); },
       .road = [this] { plug->SetParameterFromGUI(kMIDIFilterHWNotePassThrough, 1.0); }, .reached = kUnchecked_bytes,
       .shows = {0, 0}, .status = "Synth Notes Pass Through", .check = secondLine("1")},
      {.what = "a MIDI filter box unticked", .before = nothing,
       .road = [this] { plug->SetParameterFromGUI(kMIDIFilterDAWPCPassThrough, 0.0); }, .reached = kUnchecked_bytes,
       .shows = {0, 0}, .status = "Host Prog Chg Pass Through", .check = secondLine("0")},
      // An edit that reached no instrument goes back to the value it holds.
      {.what = "an edit with the port gone", .before = portGone, .road = edit, .shows = {0, 0},
       .status = "MIDI Out port gone!", .check = editPutBack},
      // The instrument unplugged (the port open, nothing connected to it):
      // as the port gone, said so.
      {.what = "unplugged: an edit", .before = [this] { backend->setOutUnplugged(true); }, .road = edit,
       .shows = {0, 0}, .status = "Instrument not connected!", .check = editPutBack},
      {.what = "unplugged: top bar program", .before = [this] { backend->setOutUnplugged(true); },
       .road = topBar(kMultiPartPatch, 5), .shows = {0, 0}, .status = "Instrument not connected!"},
      {.what = "unplugged: host program change", .before = [this] { backend->setOutUnplugged(true); },
       .road = host({{0xC1, 5}}), .shows = {0, 0}, .status = "Instrument not connected!"},
      {.what = "unplugged: host bank select and program change", .before = [&] {
         knownOnA001();
         backend->setOutUnplugged(true);
       }, .road = host(programChange(2, 5)), .shows = {0, 0}, .recorded = Pair{0, 0}, .status = "Instrument not connected!"},
      // The instrument's report of the part's bank or program.
      {.what = "instrument reports the program", .before = nothing, .road = report(1, 5), .shows = {0, 5},
       .highlight = 5, .shared = false},
      {.what = "instrument reports the bank", .before = nothing, .road = report(0, 2), .shows = {2, 0}, .shared = false},
  };
  for (size_t index = static_cast<size_t>(shard); index < rows.size(); index += static_cast<size_t>(shards)) {
    const RoadRow& row = rows[index];
    if (const char* only = std::getenv("ROAD_ROW"); only && std::string(row.what).find(only) == std::string::npos) continue;
    SCOPED_TRACE(row.what);
    ASSERT_NO_FATAL_FAILURE(fresh());
    ASSERT_NE(plug->conflictLayer, nullptr);
    ASSERT_NO_FATAL_FAILURE(row.before());
    settle();
    arrivedAtInstrument();
    topBarFromParameters(row.part);
    plug->conflictLayer->Hide(true);
    plug->paramNameDisplay->SetTextFromPlug("");
    const auto inUse = [this] {
      const LibrarianViewControl* view = plug->librarianView();
      return view->activePane == 0 ? view->selectedUpper : view->selectedLower;
    };
    const int highlight = inUse();
    // What the road is to leave as it was: every other part's pair, record
    // and shared mark, and the multi's program.
    struct PartState {
      Pair shows;
      std::optional<Pair> recorded;
      bool shared;
      bool operator==(const PartState&) const = default;
    };
    // (Part 10's record is the one rows change on purpose, as another part's pick.)
    const auto partState = [&](int p) {
      return PartState{shown(p), p == kOther ? std::nullopt : recorded(p),
                       plug->partSoundHeld[static_cast<size_t>(p)].load()};
    };
    std::vector<PartState> partsBefore;
    for (int p = 0; p < 16; ++p) partsBefore.push_back(partState(p));
    const int multiBefore = param(kMultiPatch)->Int();
    ASSERT_NO_FATAL_FAILURE(row.road());
    roadReturned = true;
    awaitRequestThread();
    plug->OnIdle();  // the host's editor idle: the window takes what the jobs handed over
    const ByteList arrived = reached();
    if (row.reached == kUnchecked_bytes) {
      // not compared
    } else if (row.reachedHead) {
      EXPECT_EQ(ByteList(arrived.begin(), arrived.begin() + static_cast<long>(std::min(arrived.size(), row.reached.size()))),
                row.reached);
    } else {
      EXPECT_EQ(arrived, row.reached);
    }
    EXPECT_EQ(this->host.automations.load(), 0);
    EXPECT_EQ(shown(row.part), row.shows);
    EXPECT_EQ(topBarShows(row.part), row.shows) << "the top bar";
    EXPECT_EQ(recorded(row.part), row.recorded);
    EXPECT_EQ(plug->partSoundHeld[static_cast<size_t>(row.part)].load(), row.shared);
    EXPECT_EQ(plug->conflictLayer->IsVisible(), row.conflict);
    EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), row.status);
    if (row.highlight == kNothing) {
      EXPECT_EQ(inUse(), -1) << "nothing the part plays is in the pane in use";
    } else if (row.highlight != kUnchecked) {
      EXPECT_EQ(inUse(), row.highlight >= 0 ? row.highlight : highlight);
    }
    row.check();
    // The window takes clicks again.
    EXPECT_TRUE(plug->progressLayer == nullptr || plug->progressLayer->IsHidden());
    EXPECT_FALSE(plug->processing);
    // A road to one part leaves the others as they were; a sound's road
    // leaves the multi's program.
    if (!row.everyPart && !plug->multiMode) {
      for (int p = 0; p < 16; ++p) {
        if (p != row.part) {
          EXPECT_EQ(partState(p), partsBefore[static_cast<size_t>(p)]) << "part " << p + 1;
        }
      }
      EXPECT_EQ(param(kMultiPatch)->Int(), multiBefore);
    }
    // The slot shown is where the keys and the library's next send start, in
    // the pane in use alone while the library is stepped.
    {
      const LibrarianViewControl* view = plug->librarianView();
      const PatchLibrarian& library = *plug->patchLibrarian;
      const int selected = inUse();
      const int librarySlot = view->activePane == 0 ? library.targetSlot.load() : library.mSelectedLowerSlot.load();
      if (selected >= 0 && row.recorded) {
        EXPECT_EQ(view->cursor, selected);
        EXPECT_EQ(librarySlot, selected);
      }
      if (plug->libraryControl && selected >= 0) {
        EXPECT_EQ(view->activePane == 0 ? view->selectedLower : view->selectedUpper, -1) << "the other pane";
      }
      // A slot the road showed is the library's program too.
      if (plug->libraryControl && row.recorded && row.highlight >= 0 && selected != highlight) {
        EXPECT_EQ(library.currentProgram.load(), selected);
      }
    }
    // They agree: what went out is what is recorded and shown.
    if (const auto sent = carried(arrived, row.part)) {
      EXPECT_EQ(recorded(row.part), sent);
      EXPECT_EQ(shown(row.part), *sent);
    }
    if (const auto plays = recorded(row.part)) {
      EXPECT_EQ(shown(row.part), *plays);
    }
  }
}

// The table runs in shares, each a test of its own: no test holds ctest
// long on a loaded machine.
constexpr int kRoadShares = 4;
class PartPlaysRoadTest : public PartPlaysTest, public ::testing::WithParamInterface<int> {};

TEST_P(PartPlaysRoadTest, EveryRoadToAPartShowsRecordsAndSendsTheSamePair) { runRoads(GetParam(), kRoadShares); }

INSTANTIATE_TEST_SUITE_P(Shares, PartPlaysRoadTest, ::testing::Range(0, kRoadShares));

// ---- A burst of changes for part 2, as a user turning the instrument's
// program knob or a host's region makes it: the last one wins everywhere.

// A change overtaken after its bank select went but before its program
// change: the part still plays what it did, and the window shows that when
// the newer change is refused (another part plays its pair).
TEST_F(PartPlaysTest, AChangeOvertakenBeforeItsProgramChangeLeavesWhatThePartPlaysShown) {
  for (const bool fromHost : {true, false}) {
    SCOPED_TRACE(fromHost ? "host" : "instrument, local control off");
    ASSERT_NO_FATAL_FAILURE(fresh());
    setParam(kGlobalLocalControl, 0);
    otherPlays(0, 9);
    settle();
    const Pair before = shown(kPart);
    const auto recordBefore = recorded(kPart);
    arrivedAtInstrument();
    // The newer change comes in at the older one's first pause.
    std::optional<PickTicket> newer;
    std::mutex newerMutex;
    plug->sleepFor = [&](int) {
      std::lock_guard<std::mutex> lock(newerMutex);
      if (!newer) newer = plug->midiMessageManager->picks.arrive(kPart);
    };
    if (fromHost) {
      hostEvents({{0xC1, 5}});
      plug->midiSendThread->flush();
    } else {
      fromInstrument({{0xC1, 5}});
    }
    awaitRequestThread();
    ASSERT_TRUE(newer);
    Pick pick;
    pick.road = fromHost ? Pick::Road::kHost : Pick::Road::kInstrument;
    pick.slot = kPart;
    pick.program = 9;
    pick.channel = kPart;
    plug->midiMessageManager->picks.hand(*newer, pick);
    awaitRequestThread();
    plug->sleepFor = [](int) {};
    EXPECT_EQ(shown(kPart), before);
    EXPECT_EQ(recorded(kPart), recordBefore);
    for (const Bytes& message : arrivedAtInstrument()) EXPECT_NE(message[0], 0xC1) << "a program change went out";
  }
}

struct BurstRow {
  enum Road { kInstrument, kInstrumentWithBank, kReport, kHost, kHostWithBank };
  Road road;
  int gapMs;                 // between two changes, on the jobs' clock
  bool library = false;      // STEP LIBRARY (else STEP SYNTH)
  bool localOff = false;     // the instrument's local control
  bool programMode = false;  // the part's sound asked for after a change
  bool multi = false;        // multi mode
};
std::ostream& operator<<(std::ostream& out, const BurstRow& row) {
  static constexpr const char* kRoads[] = {"instrument", "instrument with bank select", "instrument's report",
                                           "host", "host with bank select"};
  return out << kRoads[row.road] << ", " << row.gapMs << " ms apart, " << (row.library ? "STEP LIBRARY" : "STEP SYNTH")
             << (row.localOff ? ", local off" : "") << (row.programMode ? ", program mode" : "")
             << (row.multi ? ", multi mode" : "");
}

TEST_F(PartPlaysTest, ABurstOfChangesEndsOnItsLastPick) {
  constexpr int kChanges = 5;
  constexpr int kPrograms[kChanges] = {2, 7, 12, 17, 21};
  constexpr int kBanks[kChanges] = {1, 2, 0, 1, 2};
  using R = BurstRow;
  std::vector<BurstRow> rows;
  // Every road in every stepping setting, the gap turning over 0, 20 and
  // 100 ms from row to row; multi mode on the roads it shares.
  const BurstRow settings[] = {{.road = R::kInstrument, .gapMs = 0},
                               {.road = R::kInstrument, .gapMs = 0, .programMode = true},
                               {.road = R::kInstrument, .gapMs = 0, .localOff = true},
                               {.road = R::kInstrument, .gapMs = 0, .localOff = true, .programMode = true},
                               {.road = R::kInstrument, .gapMs = 0, .library = true}};
  const int gaps[] = {0, 20, 100};
  int turn = 0;
  for (const BurstRow& setting : settings) {
    for (R::Road road : {R::kInstrument, R::kInstrumentWithBank, R::kReport, R::kHost, R::kHostWithBank}) {
      // The instrument's report comes from its own panel: local control on.
      if (road == R::kReport && setting.localOff) continue;
      BurstRow row = setting;
      row.road = road;
      row.gapMs = gaps[turn++ % 3];
      rows.push_back(row);
    }
  }
  for (R::Road road : {R::kInstrument, R::kHost}) {
    for (int gap : gaps) {
      rows.push_back({.road = road, .gapMs = gap, .localOff = true, .programMode = true, .multi = true});
    }
  }

  for (const BurstRow& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row));
    ASSERT_NO_FATAL_FAILURE(fresh());
    if (row.multi) multiMode();
    if (row.library) stepLibrary();
    if (row.localOff) setParam(kGlobalLocalControl, 0);
    setParam(kControlProgBank, row.programMode ? 1 : 0);
    settle();
    arrivedAtInstrument();
    const bool withBank = row.road == R::kInstrumentWithBank || row.road == R::kHostWithBank;
    const auto bankOf = [&](int k) { return withBank ? kBanks[k] : 0; };

    // One clock for the jobs' pauses and the burst: a change is due every
    // gap; it comes while a job pauses, or, with no job running, once the
    // clock is moved on to it. The instrument answers what reached it.
    std::recursive_mutex wire;
    bool delivering = false;
    int delivered = 0;
    long clock = 0;
    ByteList reachedInstrument;
    std::vector<size_t> cameAt(kChanges, 0);
    // The instrument's replies take their time: a change due in the same
    // pause comes in ahead of them. Each sound the part bar names anew is
    // noted with the number of changes come in by then.
    ByteList replies;
    std::string named = plug->paramDisplayText(kPatchName + kPart, 0).substr(0, 9);
    std::vector<std::pair<std::string, int>> namings;
    // Read without waiting for the MIDI thread: a job's pause inside it
    // would wait for the thread that waits for this lock.
    const auto forward = [&] {
      ByteList fresh;
      if (backend->outObjects() > 0) {
        const auto all = backend->out().sent;
        fresh.assign(all.begin() + static_cast<long>(std::min(seen, all.size())), all.end());
        seen = all.size();
      }
      for (const Bytes& message : fresh) {
        reachedInstrument.push_back(message);
        for (const SimBytes& reply : instrument.receive(message)) replies.push_back(reply);
      }
    };
    const auto answer = [&] {
      const ByteList now = std::move(replies);
      replies.clear();
      for (const Bytes& reply : now) {
        backend->inject(reply);
        if (const std::string name = plug->paramDisplayText(kPatchName + kPart, 0).substr(0, 9); name != named) {
          named = name;
          namings.push_back({name, delivered});
        }
      }
    };
    // The instrument's bank select starts with its 0 = 0, which changes
    // nothing yet: it goes ahead of the point the change counts as come in.
    const bool bankLead = row.road == R::kInstrumentWithBank;
    const auto deliver = [&](int k) {
      const ByteList pick = withBank ? programChange(kBanks[k], kPrograms[k])
                                     : ByteList{{0xC1, static_cast<unsigned char>(kPrograms[k])}};
      // With local control on, the instrument plays its own pick itself.
      const bool ownPick = row.road <= R::kReport && !row.localOff;
      if (ownPick)
        for (const Bytes& message : programChange(bankOf(k), kPrograms[k])) instrument.receive(message);
      if (row.road == R::kInstrument || row.road == R::kInstrumentWithBank) {
        for (size_t i = bankLead ? 1 : 0; i < pick.size(); ++i) backend->inject(pick[i]);
      } else if (row.road == R::kReport) {
        reportFromInstrument(1, kPrograms[k]);
      } else {
        // The host's change comes in at the event call; the MIDI thread takes
        // it in turn, maybe while it still answers an older one.
        hostEvents(pick);
      }
    };
    const auto deliverDue = [&] {
      std::lock_guard<std::recursive_mutex> lock(wire);
      if (delivering) return;  // a pause inside a delivery: the input thread is busy with it
      delivering = true;
      while (delivered < kChanges && static_cast<long>(delivered) * row.gapMs <= clock) {
        if (bankLead) backend->inject(programChange(0, 0)[0]);
        deliver(delivered);
        // Come in: from here on nothing answers an older change.
        forward();
        cameAt[static_cast<size_t>(delivered)] = reachedInstrument.size();
        ++delivered;
      }
      delivering = false;
    };
    plug->midiMessageManager->virtualPause = [&](int ms) {
      std::lock_guard<std::recursive_mutex> lock(wire);
      forward();
      clock += ms;
      deliverDue();
      answer();
      return true;
    };
    while (true) {
      {
        std::lock_guard<std::recursive_mutex> lock(wire);
        if (delivered == kChanges) break;
      }
      plug->midiSendThread->flush();
      if (anyJobRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      {
        std::lock_guard<std::recursive_mutex> lock(wire);
        clock = std::max(clock, static_cast<long>(delivered) * row.gapMs);
      }
      deliverDue();
      std::lock_guard<std::recursive_mutex> lock(wire);
      answer();
    }
    // The change that waited goes once the jobs have ended: the thread that
    // ends the last job hands it to the MIDI thread a moment later.
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
      plug->midiSendThread->flush();  // the instrument's changes are taken in turn there
      awaitRequestThread();
      // In this order: a change handed on starts its job before it is no longer pending.
      if (!plug->midiMessageManager->picks.anyWaiting() && !anyJobRunning()) break;
    }
    {
      std::lock_guard<std::recursive_mutex> lock(wire);
      forward();
      answer();
    }
    plug->midiMessageManager->virtualPause = [](int) { return true; };

    const int last = kPrograms[kChanges - 1];
    const int lastBank = bankOf(kChanges - 1);
    // The window, the record and the instrument are on the last pick.
    EXPECT_EQ(shown(kPart), (Pair{lastBank, last}));
    EXPECT_TRUE(plug->partProgramKnown[kPart]);
    EXPECT_EQ(plug->partProgram(kPart), last);
    if (plug->partBankKnown[kPart]) {
      EXPECT_EQ(plug->partBank(kPart), lastBank);
    }
    const std::string expected = row.library ? numbered("Fact", last).substr(0, 9)
                                             : name9(instrument.storedSound(lastBank, last));
    EXPECT_EQ(playing(kPart), expected);
    // The part's sound the editor holds is that program's: the library's,
    // which went out whole; one read back is shown, never held to go back.
    const bool asked = row.library || row.programMode;
    EXPECT_EQ(plug->partSoundHeld[kPart].load(), row.library);
    if (asked) {
      EXPECT_EQ(plug->paramDisplayText(kPatchName + kPart, 0).substr(0, 9), expected);
    }
    // Nothing that answers a change went out after a newer one came in.
    const auto answers = [&](const Bytes& message) {
      for (int j = 0; j < kChanges; ++j) {
        if (message.size() == 2 && message[0] == 0xC0 + kPart && message[1] == kPrograms[j]) return j;
        if (row.library && message.size() > 380 && message[4] == 0x10 &&
            std::string(message.begin() + 370, message.begin() + 379) == numbered("Fact", kPrograms[j]).substr(0, 9))
          return j;
      }
      return kChanges;
    };
    // Nor was a reply to a request a newer change overtook taken as the part's sound.
    for (const auto& [name, came] : namings)
      for (int j = 0; j + 1 < came; ++j)
        EXPECT_NE(name, name9(instrument.storedSound(bankOf(j), kPrograms[j]))) << "taken after change " << came - 1;
    // One message, checked just before the change came in, may still be leaving.
    for (int k = 0; k < kChanges; ++k)
      for (size_t i = cameAt[static_cast<size_t>(k)] + 1; i < reachedInstrument.size(); ++i)
        EXPECT_GE(answers(reachedInstrument[i]), k) << "message " << i << " after change " << k;
    // The editor's last answer is to the last change. The instrument's own
    // picks (local control on) it plays already: no program change goes back.
    if (row.road >= R::kHost || row.localOff) {
      EXPECT_EQ(answers(lastProgramChangeOf(reachedInstrument)), kChanges - 1);
    } else {
      EXPECT_EQ(lastProgramChangeOf(reachedInstrument), Bytes{});
    }
  }
}

}  // namespace
