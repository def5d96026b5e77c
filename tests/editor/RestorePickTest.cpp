// A window pick beside a restore, and an instrument's report beside an older
// pick's library send: what reached the simulated instrument is either the
// last pick whole or the restore whole and the pick after it, never a mix,
// and nothing of an older pick leaves once a newer one came in. The moments
// are placed with the picks' own hooks (their pauses, the gate, the job's
// start and pauses), never with sleeps.
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../library/LibraryTestSupport.h"
#include "ByteChunk.h"
#include "LibraryWindowTest.h"
#include "EditorWindowDriver.h"
#include "IControl.h"
#include "SoundDumpLayout.h"

namespace {
constexpr int kPart = 1;  // part 2, on MIDI channel 2
constexpr int kSavedBank = 1, kSavedProgram = 15;  // B 016
const std::string kSavedName = "Saved Sound";

class RestorePickTest : public LibraryWindowTest {
 protected:
  // A fresh instance on the LIBRARY page showing part 2, active, with local
  // control on; the project holds part 2 on B 016 under its own name.
  void fresh(bool stepLibrary) {
    freshWindow();
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);
    param(kMultiPartStatus + kPart)->Set(1);
    window->clickTab(kMainTab, 1);
    window->clickTab(kQuickTab, kPart);
    setParam(kControlLibrary, stepLibrary ? 1 : 0);
    settle();
    param(kMultiPartBank + kPart)->Set(kSavedBank);
    param(kMultiPartPatch + kPart)->Set(kSavedProgram);
    plug->notePartPlays(kPart, kSavedBank, kSavedProgram);
    plug->setParamDisplayText(kPatchName + kPart, 0, kSavedName);
    plug->setPatchManagerName(1 + kPart, kSavedName);
    project.Clear();
    ASSERT_TRUE(plug->SerializeState(&project));
    arrivedAtInstrument();
  }
  void restore() { ASSERT_GT(plug->UnserializeState(&project, 0), 0); }
  // The top bar's up arrow of part 2, clicked.
  void clickUp() {
    IControl* arrow = plug->firstControlOf(kPatchUp + kPart);
    ASSERT_NE(arrow, nullptr);
    window->click(*arrow->GetRECT());
  }
  void atRest() {
    awaitRequestThread();
    plug->OnIdle();
    awaitRequestThread();
  }
  // The restore alone, as the instrument receives it.
  ByteList restoreAlone() {
    fresh(false);
    restore();
    atRest();
    return arrivedAtInstrument();
  }
  std::string status() {
    plug->OnIdle();
    return plug->paramNameDisplay->GetText() + std::string("|") + plug->paramValueDisplay->GetText();
  }
  std::string partPlays() {
    const SimBytes dump = instrument.partBuffer(kPart);
    std::string name(dump.begin() + kSoundNameByte, dump.begin() + kSoundNameByte + kSoundNameLength);
    return name.substr(0, name.find_last_not_of(' ') + 1);
  }

  ByteChunk project;
};

// The arrow's pair for part 2 onto B 017, as the instrument receives it.
ByteList arrowPair(bool notesOff) {
  ByteList pair{{0xB1, 0x00, 0x00}, {0xB1, 0x20, 0x41}, {0xC1, kSavedProgram + 1}};
  if (notesOff) pair.insert(pair.begin(), Bytes{0xB1, 0x7B, 0x00});
  return pair;
}
ByteList joined(ByteList first, const ByteList& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// The up arrow clicked at each moment of a restore. Either the restore is
// the last pick (the click came before it arrived: the pick whole, then the
// restore whole), or the pick is (it waits and goes after the restore, whole),
// or the window says why nothing went: never the pick's pair inside the
// restore's sends, never a restore carrying what the pick left, never nothing
// unsaid.
TEST_F(RestorePickTest, AnArrowClickedAtEachMomentOfARestoreIsTheLastPickWholeOrGoesAfterIt) {
  const ByteList alone = restoreAlone();
  ASSERT_FALSE(alone.empty());
  enum class Ends { kRestoreLast, kPickLast };
  struct Row {
    const char* moment;
    Ends ends;
    std::function<void()> run;
    bool mustGo = false;  // the window said nothing in the way: the pick goes
  };
  // The restore made on the pick's own lane, at its nth pause (1: after its
  // bank select's first half, 2: after the second, 3: after its program change).
  const auto atPause = [this](int nth) {
    return [this, nth] {
      int pauses = 0;
      plug->sleepFor = [this, &pauses, nth](int) {
        if (++pauses == nth) restore();
      };
      clickUp();
      atRest();
      plug->sleepFor = [](int) {};
    };
  };
  const std::vector<Row> rows = {
      {"before the restore", Ends::kRestoreLast,
       [this] {
         clickUp();
         atRest();
         restore();
       }},
      {"as it begins: after the pick's bank select went", Ends::kRestoreLast, atPause(1)},
      {"as it begins: after the pick's second bank select byte went", Ends::kRestoreLast, atPause(2)},
      {"as it begins: the pick's program change taken, not yet handed to the port", Ends::kRestoreLast,
       [this] {
         PartPicks& picks = plug->midiMessageManager->picks;
         int passes = 0;
         picks.onLetGo = [&](const PickTicket& ticket) {
           // The third pass of the part's pick is its program change.
           if (ticket.slot() != kPart || ++passes != 3) return;
           std::thread host([this] { restore(); });
           host.join();
         };
         clickUp();
         atRest();
         picks.onLetGo = nullptr;
       }},
      {"as it begins: after the pick's program change went", Ends::kRestoreLast, atPause(3)},
      {"just after setChunk returned", Ends::kPickLast,
       [this] {
         restore();
         clickUp();
       }},
      // The job shows its overlay from its own thread; the window has not
      // drawn it yet, so the click is on the arrow the user sees.
      {"in the restore's first pause", Ends::kPickLast,
       [this] {
         std::atomic<bool> clicked{false};
         plug->midiMessageManager->virtualPause = [&](int) {
           if (!clicked.exchange(true)) clickUp();
           return true;
         };
         restore();
         atRest();
         plug->midiMessageManager->virtualPause = nullptr;
         EXPECT_TRUE(clicked);
       },
       true},
      {"as the restore's send starts", Ends::kPickLast,
       [this] {
         std::atomic<bool> clicked{false};
         plug->midiMessageManager->jobObserver = [&](JobThread thread, const SenderJob& job) {
           if (thread == JobThread::kRequest && job.jobCode == 0 && !clicked.exchange(true)) clickUp();
         };
         restore();
         atRest();
         plug->midiMessageManager->jobObserver = nullptr;
         EXPECT_TRUE(clicked);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.moment);
    fresh(false);
    plug->showStatus("", "");
    row.run();
    atRest();
    const ByteList heard = arrivedAtInstrument();
    const std::string said = status();
    if (row.mustGo) {
      EXPECT_NE(heard, alone) << "the click on the page the window showed sent nothing";
    }
    if (row.ends == Ends::kRestoreLast) {
      // The pick whole (or what of it went before the restore arrived), then the restore whole.
      ASSERT_GE(heard.size(), alone.size());
      EXPECT_EQ(ByteList(heard.end() - static_cast<long>(alone.size()), heard.end()), alone);
      EXPECT_EQ(partPlays(), kSavedName);
      EXPECT_EQ(param(kMultiPartPatch + kPart)->Int(), kSavedProgram);
      EXPECT_EQ(plug->paramDisplayText(kPatchName + kPart, 0), kSavedName);
    } else if (heard == alone) {
      EXPECT_NE(said, "|") << "the click sent nothing, and the window says nothing of it";
    } else {
      // The restore whole, then the pick whole.
      // The restore whole, then the pick whole; or the restore without the
      // sound of the part the newer pick took, then the pick whole.
      ByteList withoutPart = alone;
      std::erase_if(withoutPart, [](const Bytes& m) {
        return m.size() == static_cast<size_t>(kSoundDumpSize) && m[kSoundProgramByte] == kPart;
      });
      bool whole = false;
      for (const ByteList& restored : {alone, withoutPart})
        for (bool notesOff : {false, true}) whole = whole || heard == joined(restored, arrowPair(notesOff));
      EXPECT_TRUE(whole) << "a mix of the restore and the pick reached the instrument";
      EXPECT_EQ(param(kMultiPartPatch + kPart)->Int(), kSavedProgram + 1);
    }
  }
}

// STEP LIBRARY with local control on: the instrument's report of a program
// for part 2 sends the library's sound of it. A newer report comes in just
// as the older pick's sound is let through the gate: either the newer one
// finds the older sound gone already, or the older one sends nothing more.
TEST_F(RestorePickTest, NothingOfAnOlderLibraryPickLeavesOnceANewerReportCameIn) {
  fresh(true);
  instrument.setLocalControl(true);
  const SimBytes older = instrument.pickOnPanel(kPart, kSavedBank, 20).back();
  const SimBytes newer = instrument.pickOnPanel(kPart, kSavedBank, 21).back();
  PartPicks& picks = plug->midiMessageManager->picks;
  std::atomic<uint32_t> olderCount{0};
  std::atomic<int> olderPauses{0};
  std::atomic<bool> armed{false};
  std::atomic<long> newerAt{-1};
  std::thread input;
  picks.onArrive = [&](const PickTicket& ticket) {
    if (ticket.slot() != kPart) return;
    uint32_t none = 0;
    if (!olderCount.compare_exchange_strong(none, ticket.count()))
      newerAt = static_cast<long>(backend->out().sent.size());
  };
  // The older pick's second pause is the one before its sound goes: the
  // gate's next pass for it is the sound's.
  plug->midiMessageManager->pickPauseObserver = [&](const PickTicket& ticket, bool) {
    if (ticket.slot() == kPart && ticket.count() == olderCount && ++olderPauses == 2) armed = true;
  };
  picks.onLetGo = [&](const PickTicket& ticket) {
    if (ticket.slot() != kPart || ticket.count() != olderCount || !armed.exchange(false)) return;
    // The instrument's input thread takes the newer report in now.
    input = std::thread([&] { backend->inject(newer); });
    for (int i = 0; i < 1000 && newerAt < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  ASSERT_TRUE(backend->inject(older));
  for (int i = 0; i < 10000 && !input.joinable(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(input.joinable()) << "the older pick's sound never reached the gate";
  input.join();
  atRest();
  picks.onLetGo = nullptr;
  picks.onArrive = nullptr;
  plug->midiMessageManager->pickPauseObserver = nullptr;
  ASSERT_GE(newerAt.load(), 0);
  const std::vector<MidiBytes> sent = backend->out().sent;
  const auto soundNamed = [](const MidiBytes& m) {
    if (m.size() != static_cast<size_t>(kSoundDumpSize) || m[kSoundProgramByte] != kPart) return std::string();
    std::string name(m.begin() + kSoundNameByte, m.begin() + kSoundNameByte + kSoundNameLength);
    return name.substr(0, name.find_last_not_of(' ') + 1);
  };
  for (size_t i = static_cast<size_t>(newerAt.load()); i < sent.size(); ++i)
    EXPECT_NE(soundNamed(sent[i]), "Fact20") << "the older pick's sound went after the newer report came in";
  // The part ends on the newer report's sound.
  std::string last;
  for (const MidiBytes& m : sent)
    if (!soundNamed(m).empty()) last = soundNamed(m);
  EXPECT_EQ(last, "Fact21");
  EXPECT_EQ(param(kMultiPartPatch + kPart)->Int(), 21);
}
}  // namespace
