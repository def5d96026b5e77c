// Picks that do not go: refused as they come in they take no older pick's
// place; a program change the port did not deliver is neither shown nor
// recorded; what goes on after a clamped program says the same program.
// The oracle is what the test sent and what the simulated instrument
// received, and the window's controls.
#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../library/LibraryTestSupport.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "LibraryWindowTest.h"
#include "EditorWindowDriver.h"
#include "IControls.h"
#include "LibrarianBrowser.h"
#include "SoundDumpLayout.h"
#include "TopBarMenus.h"

namespace {
constexpr int kPart = 1;   // part 2, on MIDI channel 2
constexpr int kOther = 9;  // part 10, which plays what a row says

struct Pair {
  int bank, program;
  bool operator==(const Pair&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Pair& pair) { return out << pair.bank << "/" << pair.program; }

ByteList hostPair(int bank, int program, int channel = kPart) {
  const auto cc = static_cast<unsigned char>(0xB0 | channel), pc = static_cast<unsigned char>(0xC0 | channel);
  if (bank < 0) return {{pc, static_cast<unsigned char>(program)}};
  return {{cc, 0, 0}, {cc, 0x20, static_cast<unsigned char>(0x40 + bank)}, {pc, static_cast<unsigned char>(program)}};
}

class PickRefusalTest : public LibraryWindowTest {
 protected:
  // A fresh instance, its window on the LIBRARY page showing part 2, which
  // plays A 001; part 10 is active.
  void fresh() {
    freshWindow();
    for (int kind : {kMIDIFilterHWPCPassThrough, kMIDIFilterHWCCPassThrough, kMIDIFilterDAWPCPassThrough,
                     kMIDIFilterDAWCCPassThrough})
      setParam(kind, 1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);
    param(kMultiPartStatus + kOther)->Set(1);
    window->clickTab(kMainTab, 1);
    window->clickTab(kQuickTab, kPart);
    block();
    settle();
    plug->notePartPlays(kPart, 0, 0);
    arrivedAtInstrument();
  }
  void otherPlays(int bank, int program) { plug->notePartPlays(kOther, bank, program); }
  void pickTopBarProgram(int program) {
    window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {program / 10, program % 10});
  }
  void pickFrom(const char* layer, int paramIdx, int item) {
    ControlLayer* found = plug->namedLayer(layer);
    ASSERT_NE(found, nullptr) << layer;
    for (const auto& control : found->controls())
      if (control->ParamIdx() == paramIdx) return window->pickFromMenu(*control->GetRECT(), {item});
    FAIL() << "no control for " << paramIdx << " on " << layer;
  }
  void fromInstrument(const ByteList& messages) {
    for (const Bytes& message : messages) ASSERT_TRUE(backend->inject(message));
    plug->midiSendThread->flush();
  }
  void fromHost(const ByteList& messages) {
    hostEvents(messages);
    plug->midiSendThread->flush();
    awaitRequestThread();
  }
  // The instrument's report of a multi value (a part's bank or program).
  static Bytes report(int number, int value) {
    return Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x21, 0, static_cast<unsigned char>(number),
                 static_cast<unsigned char>(value), 0xF7};
  }
  std::optional<Pair> recorded(int part) {
    const auto at = static_cast<size_t>(part);
    if (!plug->partBankKnown[at] || !plug->partProgramKnown[at]) return std::nullopt;
    return Pair{plug->partBank(part), plug->partProgram(part)};
  }
  Pair shown(int part) { return {param(kMultiPartBank + part)->Int(), param(kMultiPartPatch + part)->Int()}; }
  // The program changes on part 2's channel, with the bank select before each.
  static std::vector<Pair> carried(const ByteList& messages, int channel = kPart) {
    std::vector<Pair> pairs;
    int bank = -1;
    for (const Bytes& m : messages) {
      if (m.size() == 3 && m[0] == (0xB0 | channel) && m[1] == 32) bank = m[2] - 64;
      if (m.size() == 2 && m[0] == (0xC0 | channel)) pairs.push_back({bank, m[1]});
    }
    return pairs;
  }
  // The name of the sound the instrument's part plays.
  std::string partPlays(int part) {
    const SimBytes dump = instrument.partBuffer(part);
    return std::string(dump.begin() + kSoundNameByte, dump.begin() + kSoundNameByte + 16);
  }

};

// A program change from the host or the instrument (local control off) that
// the editor refuses comes while the window's pick is on its way: the
// window's pick goes on whole, the instrument ends on it.
TEST_F(PickRefusalTest, APickRefusedAsItComesLeavesThePickOnItsWayAlone) {
  const struct {
    const char* what;
    bool library;         // STEP LIBRARY: the window's pick sends the upper slot
    bool fromInstrument;  // else the host
    ByteList refused;     // part 10 plays B 010
  } rows[] = {
      {"host, STEP SYNTH", false, false, hostPair(1, 9)},
      {"instrument, local control off", false, true, hostPair(1, 9)},
      // The host's own bank select says B: judged on it, not on the part's A.
      {"host, STEP LIBRARY", true, false, hostPair(1, 9)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_NO_FATAL_FAILURE(fresh());
    otherPlays(1, 9);
    if (row.fromInstrument) setParam(kGlobalLocalControl, 0);
    if (row.library) {
      setParam(kControlLibrary, 1);
      settle();
      arrivedAtInstrument();
    }
    // At the window's pick's first pause, after its bank select's first half.
    std::atomic<bool> done{false};
    plug->sleepFor = [&](int) {
      if (done.exchange(true)) return;
      if (row.fromInstrument) {
        for (const Bytes& message : row.refused) backend->inject(message);
      } else {
        hostEvents(row.refused);
      }
    };
    pickTopBarProgram(6);
    awaitRequestThread();
    plug->sleepFor = [](int) {};
    ASSERT_TRUE(done);
    const ByteList reached = arrivedAtInstrument();
    EXPECT_EQ(carried(reached), (std::vector<Pair>{{0, 6}}));
    EXPECT_EQ(shown(kPart), (Pair{0, 6}));
    EXPECT_EQ(recorded(kPart), (Pair{0, 6}));
    if (row.library) {
      EXPECT_EQ(partPlays(kPart), numbered("Fact", 6));
    }
  }
}

// In STEP LIBRARY a bank picked on the MULTI page goes with the part's
// program slot: refused only when another part plays that bank's pair, not
// the part's old bank's.
TEST_F(PickRefusalTest, ALibraryPickIsJudgedOnTheBankItCarries) {
  for (const bool onItsBank : {false, true}) {
    SCOPED_TRACE(onItsBank ? "part 10 plays B 006" : "part 10 plays A 006, the part's old bank");
    ASSERT_NO_FATAL_FAILURE(fresh());
    setParam(kControlLibrary, 1);
    plug->setParameterFromPlug(kMultiPartPatch + kPart, 5, false);
    plug->notePartPlays(kPart, 0, 5);
    otherPlays(onItsBank ? 1 : 0, 5);
    plug->conflictLayer->Hide(true);
    window->clickTab(kMainTab, 0);
    settle();
    arrivedAtInstrument();
    ASSERT_NO_FATAL_FAILURE(pickFrom("multiModeSettingsPage1", kMultiPartBank + kPart, 1));
    awaitRequestThread();
    const ByteList reached = arrivedAtInstrument();
    EXPECT_EQ(plug->conflictLayer->IsVisible(), onItsBank);
    const std::vector<Pair> went = onItsBank ? std::vector<Pair>{} : std::vector<Pair>{{1, 5}};
    const Pair plays = onItsBank ? Pair{0, 5} : Pair{1, 5};
    EXPECT_EQ(carried(reached), went);
    EXPECT_EQ(recorded(kPart), plays);
  }
}

// The port has no room for the program change (its system stalled): it is
// refused at once, "Not sent", and neither the window nor the record moves.
TEST_F(PickRefusalTest, AProgramChangeThePortHadNoRoomForIsNotShownOrRecorded) {
  for (const bool fromTheHost : {false, true}) {
    SCOPED_TRACE(fromTheHost ? "the host's pair" : "the top bar's program");
    ASSERT_NO_FATAL_FAILURE(fresh());
    backend->setOutRefuses([](const MidiBytes& m) { return m.size() == 2 && m[0] == 0xC0 + kPart; });
    if (fromTheHost) fromHost(hostPair(2, 7));
    else pickTopBarProgram(7);
    awaitRequestThread();
    EXPECT_TRUE(carried(arrivedAtInstrument()).empty());
    EXPECT_EQ(valueText.GetText(), "Not sent");
    EXPECT_EQ(shown(kPart), (Pair{0, 0}));
    EXPECT_EQ(recorded(kPart), (Pair{0, 0}));
  }
}

// Another part takes the pair between the bank select and the program
// change: the program change is refused at the gate, nothing moves.
TEST_F(PickRefusalTest, APairTakenBeforeTheProgramChangeStopsIt) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  std::atomic<int> pauses{0};
  plug->sleepFor = [&](int) {
    if (++pauses == 2) otherPlays(0, 7);  // after the bank select's second half
  };
  pickTopBarProgram(7);
  awaitRequestThread();
  plug->sleepFor = [](int) {};
  ASSERT_GE(pauses.load(), 2);
  EXPECT_TRUE(carried(arrivedAtInstrument()).empty());
  EXPECT_EQ(shown(kPart), (Pair{0, 0}));
  EXPECT_EQ(recorded(kPart), (Pair{0, 0}));
}

// A program change blocked by the input filter takes its bank select along:
// the next one, which has none, goes on the part's own bank.
TEST_F(PickRefusalTest, ABlockedProgramChangeTakesItsBankSelectAlong) {
  for (const bool fromTheHost : {true, false}) {
    SCOPED_TRACE(fromTheHost ? "host" : "instrument, local control off");
    ASSERT_NO_FATAL_FAILURE(fresh());
    const int filter = fromTheHost ? kMIDIFilterDAWPCPassThrough : kMIDIFilterHWPCPassThrough;
    const auto send = [&](const ByteList& messages) { fromTheHost ? fromHost(messages) : fromInstrument(messages); };
    if (!fromTheHost) setParam(kGlobalLocalControl, 0);
    setParam(filter, 0);
    send(hostPair(2, 5));
    setParam(filter, 1);
    send(hostPair(-1, 7));
    awaitRequestThread();
    // The host's own program change is passed on after the editor's.
    const std::vector<Pair> went = fromTheHost ? std::vector<Pair>{{0, 7}, {0, 7}} : std::vector<Pair>{{0, 7}};
    EXPECT_EQ(carried(arrivedAtInstrument()), went);
    EXPECT_EQ(recorded(kPart), (Pair{0, 7}));
  }
}

// The host's program 121 is clamped to the highest the part shows (100,
// index 99): that goes, shows and is recorded, and nothing after it says 121.
TEST_F(PickRefusalTest, TheClampedProgramIsWhatGoesShowsAndIsRecorded) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  fromHost(hostPair(-1, 120));
  // The editor's, then the host's passed on.
  EXPECT_EQ(carried(arrivedAtInstrument()), (std::vector<Pair>{{0, 99}, {0, 99}}));
  EXPECT_EQ(shown(kPart), (Pair{0, 99}));
  EXPECT_EQ(recorded(kPart), (Pair{0, 99}));
}

// Local control off, the instrument changes the program on a channel no
// part plays on, and part 1, which stands in for it, has no channel to
// answer on: nothing goes back, so nothing is shown or recorded.
TEST_F(PickRefusalTest, AnInstrumentsChangeWithNoChannelToAnswerOnIsNotTaken) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  setParam(kGlobalLocalControl, 0);
  param(kMultiPartMIDICh + 0)->Set(1);  // no channel
  param(kMultiPartMIDICh + 5)->Set(1);
  plug->notePartPlays(0, 0, 0);
  fromInstrument({{0xC5, 7}});
  awaitRequestThread();
  for (const Bytes& m : arrivedAtInstrument()) EXPECT_NE(m[0] & 0xF0, 0xC0) << "a program change went back";
  EXPECT_EQ(shown(0), (Pair{0, 0}));
  EXPECT_EQ(recorded(0), (Pair{0, 0}));
}

// Local control off, the instrument reports a pick for a part with no
// channel to answer on: the part never plays it, so it is neither shown nor
// recorded, and nothing goes back.
TEST_F(PickRefusalTest, AReportForAPartWithNoChannelToAnswerOnIsNotTaken) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  setParam(kGlobalLocalControl, 0);
  param(kMultiPartMIDICh + 0)->Set(1);  // no channel
  plug->notePartPlays(0, 0, 0);
  for (const ByteList& told : {ByteList{report(33, 7)}, ByteList{report(32, 1), report(33, 7)}}) {
    fromInstrument(told);
    awaitRequestThread();
    for (const Bytes& m : arrivedAtInstrument()) EXPECT_NE(m[0] & 0xF0, 0xC0) << "a program change went back";
    EXPECT_EQ(shown(0), (Pair{0, 0}));
    EXPECT_EQ(recorded(0), (Pair{0, 0}));
  }
}

// Local control off, the instrument reports part 2 on bank B, program 010,
// which part 10 plays: refused whole, its bank is not left for the host's
// lone program change after it, which goes on the part's own bank A.
TEST_F(PickRefusalTest, ARefusedReportLeavesNoBankForTheNextPick) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  setParam(kGlobalLocalControl, 0);
  otherPlays(1, 9);
  fromInstrument({report(54, 1), report(55, 9)});  // part 2's bank, then its program
  awaitRequestThread();
  EXPECT_TRUE(carried(arrivedAtInstrument()).empty()) << "the refused report was answered";
  EXPECT_EQ(shown(kPart), (Pair{0, 0}));
  fromHost({{0xC1, 5}});
  for (const Bytes& m : arrivedAtInstrument()) EXPECT_NE(m, (Bytes{0xB1, 0x20, 0x41})) << "went on the refused bank";
  EXPECT_EQ(shown(kPart), (Pair{0, 5}));
  EXPECT_EQ(recorded(kPart), (Pair{0, 5}));
}

// The host's bank pick of part 2 (B 004) is on its way when the MULTI page
// picks program 010 for the part: part 10 plays A 010, but the pick goes on
// the pending bank B, where it is free.
TEST_F(PickRefusalTest, AMultiPageProgramPickIsJudgedOnThePendingBank) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  otherPlays(0, 9);
  std::atomic<bool> done{false};
  plug->sleepFor = [&](int) {
    if (done.exchange(true)) return;
    plug->SetParameterFromGUI(kMultiPartPatch + kPart, param(kMultiPartPatch + kPart)->GetNormalized(9));
  };
  fromHost(hostPair(1, 3));
  awaitRequestThread();
  plug->sleepFor = [](int) {};
  ASSERT_TRUE(done);
  const ByteList reached = arrivedAtInstrument();
  const std::vector<Pair> pairs = carried(reached);
  ASSERT_FALSE(pairs.empty());
  EXPECT_EQ(pairs.back(), (Pair{1, 9}));
  EXPECT_EQ(shown(kPart), (Pair{1, 9}));
  EXPECT_EQ(recorded(kPart), (Pair{1, 9}));
  EXPECT_TRUE(plug->conflictLayer->IsHidden());
}

// The MIDI ports are not set and the editor's output goes to the host's
// buffer: the host's pair goes nowhere, so it is not shown, recorded or
// passed on, and the status line says why.
TEST_F(PickRefusalTest, AHostPairWithThePortsNotSetIsNotTaken) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  setParam(kMIDIFilterToDAWBuffer, 1);
  setParam(kDeviceOutSelection, 0);
  settle();
  ASSERT_FALSE(plug->midiIOConfigured);
  host.takeEvents();
  fromHost(hostPair(2, 7));
  block();
  for (const auto& [offset, bytes] : host.takeEvents())
    EXPECT_NE(bytes[0] & 0xF0, 0xC0) << "a program change was passed on";
  EXPECT_EQ(nameText.GetText(), "Set MIDI I/O First!");
  EXPECT_EQ(shown(kPart), (Pair{0, 0}));
  EXPECT_EQ(recorded(kPart), (Pair{0, 0}));
}

// A part switch sends the sound the editor holds only while the part still
// plays it: a program change recorded as the send comes to the gate stops it.
TEST_F(PickRefusalTest, APartSwitchSendsNoSoundThePartStoppedPlayingAtTheGate) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  window->clickTab(kMainTab, 2);
  window->clickTab(kQuickTab, 0);
  settle();
  plug->notePartSoundHeld(kPart);
  PartPicks& picks = plug->midiMessageManager->picks;
  picks.onLetGo = [&](const PickTicket& ticket) {
    if (ticket.slot() == kPart) plug->endPartSoundHeld(kPart);  // what the gate let go just before
  };
  window->clickTab(kQuickTab, kPart);
  awaitRequestThread();
  picks.onLetGo = nullptr;
  for (const Bytes& m : arrivedAtInstrument())
    EXPECT_FALSE(m.size() == 392 && m[4] == 0x10 && m[5] == 0x30 && m[6] == kPart) << "the part's sound went";
}
}  // namespace

namespace {
// What the name fields bound to a part's sound name print, each drawn.
std::vector<std::string> drawnNames(Tarnivex& plug, IGraphics* gui, int part) {
  std::vector<std::string> texts;
  const ControlAction* action = plug.actionOf(kPatchName + part);
  if (!action) return texts;
  for (IControl* control : action->controls) {
    auto* caption = dynamic_cast<ICaptionControl*>(control);
    if (!caption) continue;
    caption->Draw(gui);
    texts.push_back(caption->GetText());
  }
  return texts;
}
}  // namespace

// The instrument plays its own pick, whose name the editor does not know:
// the part's name fields show nothing, not the old sound's name, never a
// number.
TEST_F(PickRefusalTest, ANameNotYetKnownShowsAsNothing) {
  ASSERT_NO_FATAL_FAILURE(fresh());
  plug->setParamDisplayText(kPatchName + kPart, 0, "Held Sound");
  window->draw();
  const std::vector<std::string> before = drawnNames(*plug, window->gui(), kPart);
  ASSERT_FALSE(before.empty());
  for (const std::string& text : before) ASSERT_NE(text.find("Held Sound"), std::string::npos);
  fromInstrument({{0xC0 | kPart, 7}});
  awaitRequestThread();
  ASSERT_EQ(shown(kPart), (Pair{0, 7}));
  window->draw();
  for (const std::string& text : drawnNames(*plug, window->gui(), kPart))
    EXPECT_EQ(text.find_first_not_of(' '), std::string::npos) << "'" << text << "'";
}
