// Random sequences of picks from every road a part's bank and program change
// by (the window's menus, arrows, pages and library, the host, the
// instrument's program changes and reports, GET SOUND, GET MULTI, SEND MULTI
// and a restore), at random moments, with jobs held and let go, the
// instrument answering at once, late, twice or never, picks refused in every
// way and the port taken away and back. Once a sequence has settled, the
// instrument, the window, the record and the highlight agree on what each part
// plays, which is its newest pick when that went out; nothing of an older
// pick left after a newer one came in; no request waits; no device-ID search
// ran while the instrument answered.
//
// A failure names its seed and its steps; TARNIVEX_PICK_SEED=<seed> replays
// that one sequence, TARNIVEX_PICK_SEQUENCES=<n> runs n of them.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest-spi.h>

#include "../library/LibraryTestSupport.h"
#include "ByteChunk.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"
#include "TopBarMenus.h"

namespace {
constexpr int kParts[] = {1, 4, 15};  // on MIDI channels 2, 5 and 16
constexpr int kReserved = 9;          // plays the pair picks may collide with
constexpr int kReservedProgram = 9;   // on bank A
// Each part picks among its own programs (and 9), from 20 apart: two parts
// meet on a pair only where a pick means to.
constexpr int kPrograms = 20;
int firstProgram(int part) {
  return 20 * static_cast<int>(std::find(std::begin(kParts), std::end(kParts), part) - std::begin(kParts));
}

enum class Mode { kProgram, kStepSynth, kStepLibrary };
enum class Answers { kAtOnce, kLate, kTwice, kNever };

struct Step {
  enum Kind {
    // Picks.
    kHost, kHostWithBank, kInstrument, kInstrumentWithBank, kReportProgram, kReportBank, kPageProgram, kPageBank,
    kArrowUp, kTopBarProgram, kDoubleClick, kGetSound, kGetMulti, kSendMulti, kRestore,
    // Around them.
    kPartClick, kEditPortGone, kPause, kHoldJob, kLetJobsGo, kSettle,
    // The conditions, changed at rest only.
    kLock, kRxOff, kHostFilter, kInstrumentFilter, kPortGone, kUnplugged, kAnswers,
    // Drawn in place of some settles.
    kOwnPickAtRest, kRequestLost,
  };
  Kind kind;
  int part = 0, bank = 0, value = 0;
};

std::string describe(const Step& s) {
  static constexpr const char* kNames[] = {
      "host PC", "host BS+PC", "instrument PC", "instrument BS+PC", "report program", "report bank", "page program",
      "page bank", "arrow up", "top bar program", "double-click", "GET SOUND", "GET MULTI", "SEND MULTI", "restore",
      "part click", "edit, port gone", "pause", "hold next job", "let jobs go", "settle", "lock", "RX off",
      "host PC filter", "instrument PC filter", "port gone", "unplugged", "answers", "own pick at rest", "request lost"};
  std::ostringstream out;
  out << kNames[s.kind] << " part " << s.part + 1 << " bank " << s.bank << " value " << s.value;
  return out.str();
}

struct Conditions {
  std::array<bool, 16> locked{};
  bool rxOff = false, hostFilter = false, instrumentFilter = false, portGone = false, unplugged = false;
  Answers answers = Answers::kAtOnce;
};

// What the model expects of a part once the sequence settles: certain when
// its newest pick that came in went out (or nothing came in since the part
// was last certain).
struct PartModel {
  bool certain = true;
  bool touched = false;
  std::optional<int> bank, program;
  bool library = false;
  bool pickInBurst = false;  // a pick came in since the last rest
  // A pick of a bank refused, or one whose bank is not known here, since the
  // last rest: which bank a program change after it goes on depends on
  // whether its work ended first.
  bool bankUnsureInBurst = false;
  // Its last program change was the instrument's report, not one the editor
  // sent (whose echo a report may be).
  bool lastWasReport = false;
  // The editor's message for the part and the instrument's own pick crossed
  // on the cable: the instrument plays whichever reached it last, which the
  // editor cannot know.
  bool crossed = false;
};

class PickModelTest : public EditorTest {
 protected:
  PickModelTest() : EditorTest(false) {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
  }
  ~PickModelTest() override {
    window.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }

  // ---- The instance, made once for many sequences.
  void makeInstance() {
    window.reset();
    freshMidiSystem();
    wireSeen = wireObject = 0;
    makePlug();
    window.emplace(*plug);
    plug->sleepFor = [](int) {};  // a pick's pauses take no time
    for (int p : kParts) param(kMultiPartStatus + p)->Set(1);
    param(kMultiPartStatus + kReserved)->Set(1);
    window->clickTab(kMainTab, 1);
    MIDIMessageManager& manager = *plug->midiMessageManager;
    // A pause takes no time, yet ends only once the replies due reached the
    // editor: another thread may be handing them over meanwhile.
    manager.virtualPause = [this](int) {
      pump();
      std::unique_lock<std::mutex> lock(flightMutex);
      flightDone.wait_for(lock, std::chrono::milliseconds(500), [this] { return inFlight == 0; });
      return true;
    };
    manager.jobObserver = [this](JobThread thread, const SenderJob&) {
      if (thread != JobThread::kRequest && thread != JobThread::kPartLane) return;
      std::unique_lock<std::mutex> lock(holdMutex);
      if (!holdNext) return;
      holdNext = false;
      ++held;
      holdChanged.notify_all();
      holdChanged.wait(lock, [this] { return letGo; });
      --held;
    };
    manager.picks.onArrive = [this](const PickTicket& t) { log(t, true); };
    manager.picks.onLetGo = [this](const PickTicket& t) { log(t, false); };
    manager.pickPauseObserver = [this](const PickTicket& t, bool newest) {
      std::unique_lock<std::mutex> hold(holdMutex);
      if (t.slot() == pauseHeldSlot && pausesHeld < 2) {
        const int mine = ++pausesHeld;
        holdChanged.notify_all();
        holdChanged.wait_for(hold, std::chrono::seconds(5), [&] { return pausesLetGo >= mine; });
      }
      hold.unlock();
      if (!newest) {
        std::lock_guard<std::mutex> lock(logMutex);
        ++pausesOvertaken[{t.slot(), t.count()}];
      }
    };
  }

  // ---- The instrument, answering as the sequence says.
  void pump() {
    std::vector<Bytes> due;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      // The port opened again (a restore selects it anew) sends through a
      // new object: the rest of the old one's first, then the new one's from
      // its start.
      std::vector<Bytes> fresh;
      for (const size_t objects = backend->outObjects(); wireObject < objects;) {
        std::vector<Bytes> sent = backend->sentSince(wireSeen, wireObject);
        wireSeen += sent.size();
        for (Bytes& message : sent) fresh.push_back(std::move(message));
        if (wireObject + 1 == objects) break;
        ++wireObject;
        wireSeen = 0;
      }
      for (const Bytes& message : fresh) {
        wire.push_back(message);
        for (const SimBytes& reply : instrument.receive(message)) {
          switch (conditions.answers) {
            case Answers::kAtOnce: late.push_back({0, reply}); break;
            case Answers::kLate: late.push_back({1 + static_cast<int>(rng() % 3), reply}); break;
            case Answers::kTwice:
              late.push_back({0, reply});
              late.push_back({0, reply});
              break;
            case Answers::kNever: break;
          }
        }
      }
      for (auto it = late.begin(); it != late.end();) {
        if (it->first-- <= 0) {
          due.push_back(it->second);
          it = late.erase(it);
        } else {
          ++it;
        }
      }
      std::lock_guard<std::mutex> flight(flightMutex);
      inFlight += static_cast<int>(due.size());
    }
    for (const Bytes& reply : due) {
      backend->inject(reply);
      std::lock_guard<std::mutex> flight(flightMutex);
      if (--inFlight == 0) flightDone.notify_all();
    }
  }
  void log(const PickTicket& t, bool arrival) {
    std::lock_guard<std::mutex> lock(logMutex);
    gateLog.push_back({t.slot(), t.count(), arrival});
  }

  // ---- Each sequence starts from rest, the instrument as new.
  void startSequence(std::mt19937& random) {
    settle();
    instrument.reset();
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      wire.clear();
      late.clear();
      conditions = Conditions{};
    }
    {
      std::lock_guard<std::mutex> lock(logMutex);
      gateLog.clear();
      gateTraced = 0;
      pausesOvertaken.clear();
    }
    backend->setOutGone(false);
    backend->setOutUnplugged(false);
    for (int p = 0; p < 16; ++p) param(kPartLock + p)->Set(0);
    for (int idx : {kMIDIFilterHWPCPassThrough, kMIDIFilterHWCCPassThrough, kMIDIFilterDAWPCPassThrough,
                    kMIDIFilterDAWCCPassThrough})
      setParam(idx, 1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlLibrary, 0);
    setParam(kControlProgBank, 0);
    for (int p : kParts) {
      for (int idx : {kMultiPartBank + p, kMultiPartPatch + p}) plug->setParameterFromPlug(idx, 0, false);
      const auto at = static_cast<size_t>(p);
      plug->partBankKnown[at] = false;
      plug->partProgramKnown[at] = false;
      plug->partSoundHeld[at] = false;
      plug->librarianBrowser->notePartPlays(p, nullptr);
      models[at] = PartModel{};
    }
    // Each part on its own channel, the instrument's multi the editor's: its
    // parts play what it names.
    for (int p = 0; p < 16; ++p) {
      plug->setParameterFromPlug(kMultiPartMIDICh + p, p + 2, false);
      const bool used = p == kReserved || std::find(std::begin(kParts), std::end(kParts), p) != std::end(kParts);
      plug->setParameterFromPlug(kMultiPartStatus + p, used ? 1 : 0, false);
    }
    for (int p : kParts) plug->setParameterFromPlug(kMultiPartPatch + p, firstProgram(p), false);
    plug->setParameterFromPlug(kMultiPartBank + kReserved, 0, false);
    plug->setParameterFromPlug(kMultiPartPatch + kReserved, kReservedProgram, false);
    setParam(kPushArrangement, 1);
    settle();
    for (int p : kParts) {
      const auto at = static_cast<size_t>(p);
      plug->partBankKnown[at] = false;
      plug->partProgramKnown[at] = false;
    }
    mode = static_cast<Mode>(random() % 3);
    localOn = random() % 2 == 0;
    setParam(kGlobalLocalControl, localOn ? 1 : 0);
    setParam(kControlLibrary, mode == Mode::kStepLibrary ? 1 : 0);
    setParam(kControlProgBank, mode == Mode::kStepSynth ? 1 : 0);
    const int current = kParts[random() % std::size(kParts)];
    if (plug->currentPart != current) window->clickTab(kQuickTab, current);
    settle();
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      wire.clear();
      traced = 0;
    }
    std::lock_guard<std::mutex> logLock(logMutex);
    gateLog.clear();
    gateTraced = 0;
  }

  // ---- The steps.
  std::vector<Step> makeSequence(std::mt19937& random) {
    std::vector<Step> steps;
    const int count = 6 + static_cast<int>(random() % 14);
    for (int i = 0; i < count; ++i) {
      Step s{static_cast<Step::Kind>(random() % (Step::kAnswers + 1))};
      s.part = kParts[random() % std::size(kParts)];
      s.bank = static_cast<int>(random() % 3);
      // Now and then the pair part 10 plays.
      s.value = random() % 6 == 0 ? kReservedProgram : firstProgram(s.part) + static_cast<int>(random() % kPrograms);
      if (s.kind == Step::kAnswers) s.value = static_cast<int>(random() % 4);
      if (s.kind == Step::kSettle && s.value % 5 < 2) s.kind = s.value % 5 == 0 ? Step::kOwnPickAtRest : Step::kRequestLost;
      steps.push_back(s);
    }
    return steps;
  }

  void run(const Step& s) {
    PartModel& m = models[static_cast<size_t>(s.part)];
    const bool library = mode == Mode::kStepLibrary;
    const bool portOff = conditions.portGone || conditions.unplugged;
    const bool locked = conditions.locked[static_cast<size_t>(s.part)];
    const int channel = s.part;  // part p listens on channel p + 1: status nibble p
    const auto cc = static_cast<unsigned char>(0xB0 | channel), pc = static_cast<unsigned char>(0xC0 | channel);
    const bool reserved = s.value == kReservedProgram;
    // Program 9 is every part's: on bank B or C another of the sequence's
    // parts may play that pair (or be on its way to it), which refuses the
    // pick; whether it does is not known here.
    const auto mayMeetAnother = [&](int program, std::optional<int> bank) {
      if (program != kReservedProgram || bank.value_or(-1) == 0) return false;
      for (int q : kParts) {
        const auto qa = static_cast<size_t>(q);
        const PartModel& o = models[qa];
        if (q != s.part && ((o.touched && !o.certain) || o.program == kReservedProgram ||
                            (plug->partProgramKnown[qa] && plug->partProgram(q) == kReservedProgram)))
          return true;
      }
      return false;
    };
    // A program pick that came in: the part's newest; certain when it goes out.
    // A program change with no bank goes on the newest bank picked.
    const auto cameIn = [&](bool refused, std::optional<int> carried, int program, bool fromLibrary) {
      m.touched = true;
      m.lastWasReport = m.lastWasReport && s.kind >= Step::kReportProgram && s.kind <= Step::kReportBank;
      m.pickInBurst = true;
      if (refused) {
        m.certain = false;
        m.bankUnsureInBurst = m.bankUnsureInBurst || carried.has_value();
        return;
      }
      m.certain = carried || !m.bankUnsureInBurst;
      if (carried) m.bank = carried;
      m.program = program;
      m.library = fromLibrary;
    };
    // Refused on its way (after it came in) for a conflict, a lock, RX Off,
    // the port gone.
    const auto refusedOnItsWay = [&](std::optional<int> bank) {
      const int b = bank ? *bank : m.bank.value_or(0);
      const bool conflict = reserved && b == 0;
      return locked || portOff || conflict || (!library && conditions.rxOff);
    };
    switch (s.kind) {
      case Step::kHost:
      case Step::kHostWithBank: {
        const bool withBank = s.kind == Step::kHostWithBank;
        ByteList events;
        if (withBank) events = {{cc, 0, 0}, {cc, 32, static_cast<unsigned char>(64 + s.bank)}};
        events.push_back({pc, static_cast<unsigned char>(s.value)});
        hostEvents(events);
        // The host's filter stops it before it comes in.
        if (!conditions.hostFilter) {
          const std::optional<int> bank = withBank ? std::optional<int>(s.bank) : std::nullopt;
          cameIn(refusedOnItsWay(bank), bank, s.value, library);
          if (mayMeetAnother(s.value, bank ? bank : m.bank)) m.certain = false;
        }
        break;
      }
      case Step::kInstrument:
      case Step::kInstrumentWithBank:
      case Step::kReportProgram:
      case Step::kReportBank: {
        const bool report = s.kind == Step::kReportProgram || s.kind == Step::kReportBank;
        const bool bankOnly = s.kind == Step::kReportBank;
        const bool withBank = s.kind == Step::kInstrumentWithBank || bankOnly;
        if (!report && conditions.instrumentFilter) {
          injectPick(channel, withBank, s.bank, s.value);
          break;
        }
        const std::optional<int> bank = withBank ? std::optional<int>(s.bank) : std::nullopt;
        // No other pick of the part since the last rest: what the pick does
        // not say (a bank, a program) is the part's own, settled.
        const bool settled = !m.pickInBurst;
        // The instrument telling what the editor knows it plays may be the
        // echo of the editor's own change: left out, unless it goes back
        // from another report of its own.
        const auto at = static_cast<size_t>(s.part);
        if (report && !m.lastWasReport &&
            (bankOnly ? plug->partBankKnown[at] && plug->partBank(s.part) == s.bank
                      : plug->partProgramKnown[at] && plug->partProgram(s.part) == s.value))
          break;
        m.lastWasReport = report;
        const auto send = [&] {
          if (report) reportPick(s.part, bankOnly, bankOnly ? s.bank : s.value);
          else injectPick(channel, withBank, s.bank, s.value);
        };
        if (localOn) {
          // It plays its own pick (a bank alone on the program it is on),
          // then tells; the editor records it so.
          // What the editor sent before reached it first.
          pump();
          size_t played;
          {
            std::lock_guard<std::recursive_mutex> lock(wireMutex);
            played = wire.size();
          }
          const int program = bankOnly ? instrument.multiBuffer()[7 + 32 + 22 * at + 1] : s.value;
          playOnInstrument(channel, bank, program);
          send();
          // What the editor sent for the part before it heard the pick
          // reaches the instrument after it.
          pump();
          {
            std::lock_guard<std::recursive_mutex> lock(wireMutex);
            for (size_t i = played; i < wire.size(); ++i) {
              const Bytes& message = wire[i];
              if (message.empty()) continue;
              const int kind = message[0] & 0xF0;
              const bool pair = (kind == 0xB0 || kind == 0xC0) && (message[0] & 0x0F) == channel;
              // A sound dump into the part, or a multi (every part loads its program).
              const bool dump = message[0] == 0xF0 && message.size() > 300 && (message[6] == s.part || message[4] == 0x11);
              if (pair || dump) m.crossed = true;
            }
          }
          m.touched = true;
          m.certain = !m.crossed && (bankOnly ? settled && m.program == program : withBank || settled);
          m.pickInBurst = true;
          if (bank) m.bank = bank;
          // A bank alone leaves the program as the editor knew it.
          if (!bankOnly) m.program = program;
          const bool conflict = reserved && m.bank.value_or(0) == 0;
          m.library = library && !locked && !conflict && !portOff;
          if (library && (!m.bank || mayMeetAnother(program, m.bank))) m.certain = false;
        } else {
          send();
          const int program = bankOnly ? param(kMultiPartPatch + s.part)->Int() : s.value;
          cameIn(refusedOnItsWay(bank), bank, program, library);
          if (mayMeetAnother(program, bank ? bank : m.bank)) m.certain = false;
          // Its answer goes with the part's own program or bank as they are
          // when it goes: settled, or not known here.
          if (!settled && !(withBank && !bankOnly)) m.certain = false;
        }
        break;
      }
      case Step::kPageProgram:
      case Step::kPageBank: {
        const bool bankPick = s.kind == Step::kPageBank;
        const int idx = (bankPick ? kMultiPartBank : kMultiPartPatch) + s.part;
        const int before = param(idx)->Int();
        const int value = bankPick ? s.bank : s.value;
        const std::optional<int> bank = bankPick ? std::optional<int>(s.bank) : std::nullopt;
        const int program = bankPick ? param(kMultiPartPatch + s.part)->Int() : s.value;
        plug->SetParameterFromGUI(idx, param(idx)->GetNormalized(value));
        // The window's own checks refuse before it comes in; the port gone is met on the way.
        const bool shownConflict = (bank ? *bank : param(kMultiPartBank + s.part)->Int()) == 0 && program == kReservedProgram;
        const bool refusedAtWindow = value == before || locked || shownConflict || (!library && conditions.rxOff);
        if (!refusedAtWindow) {
          if (!m.bank) m.bank = param(kMultiPartBank + s.part)->Int();
          cameIn(portOff, bank, program, library);
        }
        if (mayMeetAnother(program, bank ? *bank : param(kMultiPartBank + s.part)->Int())) {
          m.touched = true;
          m.certain = false;
        }
        break;
      }
      case Step::kArrowUp:
      case Step::kTopBarProgram:
      case Step::kDoubleClick:
        // The window's roads of the current part; uncertain in the model
        // (their program counts from what shows meanwhile).
        if (s.kind == Step::kArrowUp) {
          setParam(kPatchUp + plug->currentPart, 1);
        } else if (s.kind == Step::kTopBarProgram) {
          window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {s.value / 10, s.value % 10});
        } else if (library) {
          const IRECT r = window->slot(0, s.value % kPrograms);
          IMouseMod left(true, false);
          window->gui()->OnMouseDblClick((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
        }
        markUncertain(plug->currentPart);
        models[static_cast<size_t>(plug->currentPart.load())].lastWasReport = false;
        models[static_cast<size_t>(plug->currentPart.load())].bankUnsureInBurst = true;
        break;
      case Step::kGetSound: {
        Pick pick;
        pick.work = Pick::Work::kRequest;
        pick.slot = s.part;
        plug->midiMessageManager->picks.pick(pick);
        if (m.pickInBurst) m.certain = false;
        m.pickInBurst = true;
        break;
      }
      case Step::kGetMulti:
      case Step::kSendMulti:
      case Step::kRestore:
        if (s.kind == Step::kGetMulti) setParam(kRequestTempData, 1);
        if (s.kind == Step::kSendMulti) setParam(kPushArrangement, 1);
        if (s.kind == Step::kRestore) {
          ByteChunk chunk;
          ASSERT_TRUE(plug->SerializeState(&chunk));
          ASSERT_GT(plug->UnserializeState(&chunk, 0), 0);
        }
        // A pick of every part: what each plays is what the instrument and
        // the editor then agree on.
        for (int p : kParts) markUncertain(p, true);
        break;
      case Step::kPartClick:
        window->clickTab(kQuickTab, s.part);
        break;
      case Step::kEditPortGone: {
        // At rest: the port is gone for the edit alone.
        settle();
        backend->setOutGone(true);
        const double before = param(0)->Value();
        plug->SetParameterFromGUI(0, param(0)->GetNormalized(param(0)->GetMin() + 1 + s.bank));
        EXPECT_EQ(param(0)->Value(), before) << "an edit that never left stays";
        backend->setOutGone(conditions.portGone);
        break;
      }
      case Step::kPause:
        if (s.value % 3 == 0) std::this_thread::yield();
        else std::this_thread::sleep_for(std::chrono::microseconds(200 * s.value));
        pump();
        break;
      case Step::kHoldJob: {
        std::lock_guard<std::mutex> lock(holdMutex);
        holdNext = true;
        letGo = false;
        break;
      }
      case Step::kLetJobsGo:
        letJobsGo();
        break;
      case Step::kSettle:
        settle();
        break;
      case Step::kRequestLost: {
        // A part's request lost on the cable while the instrument answers
        // another part's: heard from since, it is not searched for.
        settle();
        if (portOff || conditions.answers == Answers::kNever) break;
        {
          std::lock_guard<std::mutex> lock(holdMutex);
          pauseHeldSlot = s.part, pausesHeld = pausesLetGo = 0;
        }
        run(Step{Step::kGetSound, s.part});
        // Held at the pause after its request, which then never reaches the
        // instrument; then held again as it waits for the reply.
        const auto held = [this](int n) {
          std::unique_lock<std::mutex> lock(holdMutex);
          holdChanged.wait_for(lock, std::chrono::seconds(5), [&] { return pausesHeld >= n; });
        };
        held(1);
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          wireSeen += backend->sentSince(wireSeen, wireObject).size();
        }
        {
          std::lock_guard<std::mutex> lock(holdMutex);
          pausesLetGo = 1;
          holdChanged.notify_all();
        }
        held(2);
        const uint64_t heard = plug->midiMessageManager->picks.heard();
        run(Step{Step::kGetSound, s.part == kParts[0] ? kParts[1] : kParts[0]});
        for (int i = 0; i < 5000 && plug->midiMessageManager->picks.heard() == heard; ++i) {
          pump();
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::lock_guard<std::mutex> lock(holdMutex);
        pauseHeldSlot = -1, pausesLetGo = 2;
        holdChanged.notify_all();
        break;
      }
      case Step::kOwnPickAtRest: {
        // The instrument's pick, nothing else of the part on its way: with
        // local control on it plays it already, and hears no bank select or
        // program change back (a late copy would move it back).
        settle();
        size_t before;
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          before = wire.size();
        }
        run(Step{s.bank == 2 ? Step::kInstrument : Step::kInstrumentWithBank, s.part, s.bank, s.value});
        settle();
        if (!localOn || library) break;
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        for (size_t i = before; i < wire.size(); ++i) {
          const Bytes& message = wire[i];
          const bool bankSelect = message.size() == 3 && message[0] == cc && (message[1] == 0 || message[1] == 32);
          EXPECT_FALSE(bankSelect || (message.size() == 2 && message[0] == pc))
              << "sent back to the instrument its own pick: " << std::hex << int(message[0]) << ' ' << int(message[1]);
        }
        break;
      }
      default: {
        // A condition changes at rest, as a user changes it between picks.
        settle();
        switch (s.kind) {
          case Step::kLock:
            conditions.locked[static_cast<size_t>(s.part)] = !locked;
            param(kPartLock + s.part)->Set(locked ? 0 : 1);
            break;
          case Step::kRxOff:
            conditions.rxOff = !conditions.rxOff;
            param(kGlobalRxProgramChange)->Set(conditions.rxOff ? 0 : 1);
            break;
          case Step::kHostFilter:
            conditions.hostFilter = !conditions.hostFilter;
            setParam(kMIDIFilterDAWPCPassThrough, conditions.hostFilter ? 0 : 1);
            break;
          case Step::kInstrumentFilter:
            conditions.instrumentFilter = !conditions.instrumentFilter;
            setParam(kMIDIFilterHWPCPassThrough, conditions.instrumentFilter ? 0 : 1);
            break;
          case Step::kPortGone:
            conditions.portGone = !conditions.portGone;
            backend->setOutGone(conditions.portGone);
            break;
          case Step::kUnplugged:
            conditions.unplugged = !conditions.unplugged;
            backend->setOutUnplugged(conditions.unplugged);
            // Nothing reaches the instrument: its silence may be searched.
            answeredEver = answeredEver && !conditions.unplugged;
            break;
          case Step::kAnswers: {
            std::lock_guard<std::recursive_mutex> lock(wireMutex);
            conditions.answers = static_cast<Answers>(s.value);
            answeredEver = answeredEver && conditions.answers != Answers::kNever;
            break;
          }
          default: break;
        }
      }
    }
  }

  void markUncertain(int part, bool forgetPair = false) {
    PartModel& m = models[static_cast<size_t>(part)];
    m.touched = true;
    m.certain = false;
    m.pickInBurst = true;
    if (forgetPair) m.bank = m.program = std::nullopt;
  }
  void playOnInstrument(int channel, std::optional<int> bank, int program) {
    const auto cc = static_cast<unsigned char>(0xB0 | channel);
    if (bank) instrument.receive({cc, 0, 0}), instrument.receive({cc, 32, static_cast<unsigned char>(64 + *bank)});
    instrument.receive({static_cast<unsigned char>(0xC0 | channel), static_cast<unsigned char>(program)});
  }
  void injectPick(int channel, bool withBank, int bank, int program) {
    const auto cc = static_cast<unsigned char>(0xB0 | channel);
    if (withBank) backend->inject({cc, 0, 0}), backend->inject({cc, 32, static_cast<unsigned char>(64 + bank)});
    backend->inject({static_cast<unsigned char>(0xC0 | channel), static_cast<unsigned char>(program)});
  }
  // The multi's bytes 32 + 22 * part (bank) and the next (program).
  void reportPick(int part, bool bank, int value) {
    const int at = 32 + 22 * part + (bank ? 0 : 1);
    backend->inject({0xF0, 0x3E, 0x10, kDeviceId, 0x21, static_cast<unsigned char>(at / 128),
                     static_cast<unsigned char>(at % 128), static_cast<unsigned char>(value), 0xF7});
  }
  void letJobsGo() {
    std::lock_guard<std::mutex> lock(holdMutex);
    holdNext = false;
    letGo = true;
    holdChanged.notify_all();
  }
  // Everything let go and answered, the jobs and lanes at rest.
  void settle() {
    letJobsGo();
    MIDIMessageManager& manager = *plug->midiMessageManager;
    // A bound in time: under a sanitizer and a loaded machine the replies'
    // hand-overs can take seconds.
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int quiet = 0; quiet < 3 && std::chrono::steady_clock::now() < bound;) {
      plug->midiSendThread->flush();
      pump();
      bool repliesDue;
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        repliesDue = !late.empty();
      }
      quiet = manager.atRest() && !repliesDue ? quiet + 1 : 0;
      if (quiet == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    plug->followPicksInWindow();
    for (int p = 0; p < 16; ++p) {
      PartModel& m = models[static_cast<size_t>(p)];
      m.pickInBurst = m.bankUnsureInBurst = false;
      // Not known here after its burst, the part is at rest on what the
      // record holds (checked against the instrument at the end): the pair
      // a later program change or bank alone goes with.
      if (m.certain) continue;
      const auto at = static_cast<size_t>(p);
      m.bank = plug->partBankKnown[at] ? std::optional<int>(plug->partBank(p)) : std::nullopt;
      m.program = plug->partProgramKnown[at] ? std::optional<int>(plug->partProgram(p)) : std::nullopt;
    }
  }

  // ---- After the sequence.
  void check() {
    settle();
    backend->setOutGone(false);
    backend->setOutUnplugged(false);
    MIDIMessageManager& manager = *plug->midiMessageManager;
    EXPECT_TRUE(manager.atRest()) << "the jobs and picks came to rest";
    EXPECT_EQ(manager.picks.repliesAwaited(), 0) << "no request waits";
    for (int p : kParts) {
      SCOPED_TRACE("part " + std::to_string(p + 1));
      const PartModel& m = models[static_cast<size_t>(p)];
      const auto at = static_cast<size_t>(p);
      const bool bankKnown = plug->partBankKnown[at], programKnown = plug->partProgramKnown[at];
      const int shownBank = param(kMultiPartBank + p)->Int(), shownProgram = param(kMultiPartPatch + p)->Int();
      // The window shows what the record holds.
      if (bankKnown) {
        EXPECT_EQ(shownBank, plug->partBank(p)) << "window and record: bank";
      }
      if (programKnown) {
        EXPECT_EQ(shownProgram, plug->partProgram(p)) << "window and record: program";
      }
      const std::string playing = name9(instrument.partBuffer(p));
      // A sound the editor holds is the instrument's.
      if (plug->partSoundHeld[at] && !m.crossed) {
        EXPECT_EQ(name9of(plug->paramDisplayText(kPatchName + p, 0)), playing);
      }
      // Stepping the instrument, its multi names what the record holds.
      if (mode != Mode::kStepLibrary && bankKnown && programKnown && shownProgram < 100 && !m.crossed) {
        const Bytes multi = instrument.multiBuffer();
        const size_t block = 7 + 32 + 22 * at;
        EXPECT_EQ(multi[block], shownBank) << "instrument and record: bank";
        EXPECT_EQ(multi[block + 1], shownProgram) << "instrument and record: program";
      }
      if (!m.touched || !m.certain) continue;
      // Certain: the part is on its newest pick.
      ASSERT_TRUE(m.program.has_value());
      EXPECT_TRUE(programKnown);
      EXPECT_EQ(plug->partProgram(p), *m.program) << "the newest pick";
      if (m.bank) {
        EXPECT_EQ(plug->partBank(p), *m.bank) << "the newest pick's bank";
      }
      if (m.library) {
        EXPECT_EQ(playing, name9of(numbered("Fact", *m.program)));
      } else if (m.bank) {
        EXPECT_EQ(playing, name9(instrument.storedSound(*m.bank, *m.program)));
      }
      // The highlight: the shown part's program, in the pane its library
      // entry came from, or the upper pane stepping the instrument.
      if (p == plug->currentPart && *m.program < 100 && (m.library || mode != Mode::kStepLibrary)) {
        plug->highlightPlayed();
        plug->followPicksInWindow();
        EXPECT_EQ(plug->librarianView()->selectedUpper, *m.program) << "the highlight";
      }
    }
    // Nothing of an older pick left once a newer one of its part came in.
    std::unique_lock<std::mutex> lock(logMutex);
    // The host's arrival moves the count without the gate's lock: a message
    // the gate checked just before it may be logged just after it, once.
    std::array<uint32_t, kPickSlots> newest{};
    std::array<bool, kPickSlots> justArrived{};
    for (const GateEvent& e : gateLog) {
      const auto at = static_cast<size_t>(e.slot);
      auto& n = newest[at];
      if (e.arrival) {
        justArrived[at] = e.count > n;
        n = std::max(n, e.count);
      } else {
        const bool checkedBefore = justArrived[at] && e.count + 1 == n;
        justArrived[at] = false;
        if (checkedBefore) continue;
        EXPECT_GE(e.count, n) << "a message of slot " << e.slot << "'s pick " << e.count << " after pick " << n;
      }
    }
    // An overtaken pick's work ends at its next pause.
    for (const auto& [ticket, pauses] : pausesOvertaken)
      EXPECT_LE(pauses, 1) << "slot " << ticket.first << " pick " << ticket.second << " waited on, overtaken";
    lock.unlock();
    // No device-ID search while the instrument answered every request.
    if (answeredEver) {
      std::lock_guard<std::recursive_mutex> wireLock(wireMutex);
      const bool searched = std::any_of(wire.begin(), wire.end(), [](const Bytes& message) {
        return message.size() == 8 && message[4] == 0x00 && message[5] == 0x30 && message[3] != kDeviceId;
      });
      EXPECT_FALSE(searched) << "a device-ID search while the instrument answered";
    }
  }

  // Replaying a seed: what each part's record and instrument say after a step.
  void printRecord(const std::string& step) {
    std::ostringstream out;
    out << step << "\n";
    pump();
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      for (; traced < wire.size(); ++traced) {
        const Bytes& m = wire[traced];
        out << "      sent";
        for (size_t i = 0; i < std::min<size_t>(m.size(), 9); ++i) out << ' ' << std::hex << int(m[i]) << std::dec;
        if (m.size() > 9) out << " ... (" << m.size() << " bytes)";
        out << "\n";
      }
    }
    {
      std::lock_guard<std::mutex> lock(logMutex);
      for (; gateTraced < gateLog.size(); ++gateTraced) {
        const GateEvent& e = gateLog[gateTraced];
        out << "      " << (e.arrival ? "arrives" : "let go") << ": slot " << e.slot << " pick " << e.count << "\n";
      }
    }
    for (int p : kParts) {
      const auto at = static_cast<size_t>(p);
      const PartModel& m = models[at];
      out << "    part " << p + 1 << ": record " << (plug->partBankKnown[at] ? std::to_string(plug->partBank(p)) : "?")
          << "/" << (plug->partProgramKnown[at] ? std::to_string(plug->partProgram(p)) : "?") << " held "
          << plug->partSoundHeld[at] << ", plays " << name9(instrument.partBuffer(p)) << ", model "
          << (m.certain ? "certain " : "uncertain ") << (m.bank ? std::to_string(*m.bank) : "?") << "/"
          << (m.program ? std::to_string(*m.program) : "?") << (m.library ? " library" : "") << "\n";
    }
    std::fputs(out.str().c_str(), stderr);
  }

  static std::string name9(const Bytes& dump) { return std::string(dump.begin() + 370, dump.begin() + 379); }
  // The name shown, as the dump's nine characters (shown without trailing spaces).
  static std::string name9of(const std::string& name) {
    std::string nine = name.substr(0, std::min<size_t>(9, name.size()));
    nine.resize(9, ' ');
    return nine;
  }

  bool runSeed(uint32_t seed) {
    std::mt19937 random(seed);
    rng.seed(seed ^ 0x9E3779B9u);
    answeredEver = true;
    startSequence(random);
    const std::vector<Step> steps = makeSequence(random);
    const int failuresBefore = failures() + interceptedFailures();
    {
      SCOPED_TRACE("seed " + std::to_string(seed));
      const char* traced = std::getenv("TARNIVEX_PICK_TRACE");
      const bool trace = traced && (*traced == '\0' || std::strtoul(traced, nullptr, 10) == seed);
      if (trace || std::getenv("TARNIVEX_PICK_WIRE")) {
        std::fprintf(stderr, "=== seed %u\n", seed);
        plug->debugLogPath = "/dev/stderr";
        plug->debugLogEnabled = true;
      }
      for (const Step& s : steps) {
        const auto stepBegin = std::chrono::steady_clock::now();
        // The instrument here tells no program change back: a report one
        // step after the editor's change is its own, past the echo's due time.
        now += 1001;
        run(s);
        if (HasFatalFailure()) break;
        if (trace) {
          const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stepBegin);
          printRecord(describe(s) + " (" + std::to_string(ms.count()) + " ms)");
        }
      }
      check();
    }
    if (failures() + interceptedFailures() == failuresBefore) return true;
    std::ostringstream out;
    out << "seed " << seed << " (" << (mode == Mode::kProgram ? "program mode" : mode == Mode::kStepSynth ? "STEP SYNTH" : "STEP LIBRARY")
        << ", local control " << (localOn ? "on" : "off") << "):";
    for (const Step& s : steps) out << "\n  " << describe(s);
    if (std::getenv("TARNIVEX_PICK_WIRE")) {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      out << "\nsent:";
      for (const Bytes& m : wire) {
        out << "\n ";
        for (size_t i = 0; i < std::min<size_t>(m.size(), 9); ++i) out << ' ' << std::hex << int(m[i]) << std::dec;
      }
    }
    ADD_FAILURE() << out.str();
    return false;
  }
  int interceptedFailures() const {
    int n = 0;
    for (int i = 0; intercepted && i < intercepted->size(); ++i) n += intercepted->GetTestPartResult(i).failed();
    return n;
  }
  static int failures() {
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int n = 0;
    for (int i = 0; i < result->total_part_count(); ++i) n += result->GetTestPartResult(i).failed();
    return n;
  }

  const ::testing::TestPartResultArray* intercepted = nullptr;  // a seed's first try
  std::optional<EditorWindowDriver> window;
  Mode mode = Mode::kProgram;
  bool localOn = true;
  std::array<PartModel, 16> models{};
  Conditions conditions;
  bool answeredEver = true;
  std::mt19937 rng;
  std::recursive_mutex wireMutex;
  std::vector<Bytes> wire;
  size_t wireObject = 0, wireSeen = 0, traced = 0, gateTraced = 0;
  std::vector<std::pair<int, Bytes>> late;
  std::mutex flightMutex;
  std::condition_variable flightDone;
  int inFlight = 0;  // replies on their way into the editor
  struct GateEvent {
    int slot;
    uint32_t count;
    bool arrival;
  };
  std::mutex logMutex;
  std::vector<GateEvent> gateLog;
  std::map<std::pair<int, uint32_t>, int> pausesOvertaken;
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  bool holdNext = false, letGo = true;
  int pauseHeldSlot = -1, pausesHeld = 0, pausesLetGo = 0;  // the part whose request's pauses are held
  int held = 0;
};

TEST_F(PickModelTest, EveryRoadEndsOnTheNewestPickThatWentOut) {
  const char* seedText = std::getenv("TARNIVEX_PICK_SEED");
  const char* countText = std::getenv("TARNIVEX_PICK_SEQUENCES");
  const uint32_t first = seedText ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10)) : 1;
#ifdef __SANITIZE_THREAD__
  // Ten times slower under the race detector, which looks for races, not
  // for more sequences: a share of them keeps the run within its bound.
  constexpr int kSequences = 500;
#else
  constexpr int kSequences = 2000;
#endif
  const int count = seedText ? 1 : countText ? std::atoi(countText) : kSequences;
  int failed = 0, replayed = 0;
  for (int i = 0; i < count && failed < 3; ++i) {
    // A fresh instance now and then: no sequence leans on a long history.
    if (i % 250 == 0) makeInstance();
    const auto begin = std::chrono::steady_clock::now();
    const uint32_t seed = first + static_cast<uint32_t>(i);
    ::testing::TestPartResultArray firstTry;
    bool passed;
    {
      ::testing::ScopedFakeTestPartResultReporter reporter(::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS,
                                                           &firstTry);
      intercepted = &firstTry;
      passed = runSeed(seed);
      intercepted = nullptr;
    }
    if (!passed) {
      // The threads' timing differs from run to run: a seed that fails once
      // is replayed on a fresh instance, and fails the test when it fails
      // again, or when more than one in a hundred of a run's seeds needed a
      // replay. With two test runs at once on the machine, a pick still on
      // its way as the model turns the cable or a lock makes some six seeds
      // in 1,500 fail once and pass on their replay.
      std::fprintf(stderr, "seed %u failed on its first try:\n", seed);
      for (int k = 0; k < firstTry.size(); ++k)
        std::fprintf(stderr, "%s\n", firstTry.GetTestPartResult(k).message());
      if (++replayed > std::max(3, count / 100)) {
        for (int k = 0; k < firstTry.size(); ++k) ADD_FAILURE() << firstTry.GetTestPartResult(k).message();
        ++failed;
      } else {
        makeInstance();
        if (!runSeed(seed)) ++failed;
        else std::fprintf(stderr, "seed %u passed on its replay\n", seed);
      }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    if (std::getenv("TARNIVEX_PICK_TIMES") && ms > 150) std::fprintf(stderr, "seed %u: %lld ms\n", seed, static_cast<long long>(ms));
  }
}
}  // namespace
