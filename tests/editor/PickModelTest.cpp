// Random sequences of picks from every road a part's bank and program change
// by (the window's menus, arrows, pages and library, the host, the
// instrument's program changes and reports, GET SOUND, GET MULTI, SEND MULTI,
// a restore with a top-bar pick during it, library requests of sounds and
// multis, single and whole banks, refused and answered late, beside a
// part's), at random moments, with jobs held and let go, the instrument
// answering at once, late, past an earlier reply's wait or its own time,
// twice (the copy after the next request), or never, on another device ID
// with its search's answer late, held past a newer pick of the part or
// repeated unasked, echoing the
// program changes it receives, picks refused in every way, the port gone,
// the cable out and the ports unset, programs past the last, a pick held on
// its way as a newer one or another part's comes, two parts picking one pair
// at once.
//
// The test is its own referee. It knows from what it drew which picks were
// refusable and why, and so what each part must end on: its newest pick that
// could go. What the instrument plays is what the bytes it received (and its
// own knob) made it play; what the window shows is read from its controls.
// Once a sequence has settled, every part is checked: the window shows what
// the instrument plays, which is the newest pick that could go, with its
// sound; from that pick's first message on nothing else reached the part; a
// part switch changes nothing the instrument plays; no request waits; no
// device-ID search ran while the instrument answered.
//
// A failure names its seed and its steps, and is replayed after the
// sequences its instance ran before it; TARNIVEX_PICK_SEED=<seed> replays
// that one sequence on a fresh instance, TARNIVEX_PICK_SEQUENCES=<n> runs n
// of them (from the instance's first seed, which a failure names: with its
// history),
// TARNIVEX_PICK_TRACE=<seed> prints each step's wire and parts.
#include <algorithm>
#include <array>
#include <cmath>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <typeinfo>
#include <utility>
#include <vector>

#include <gtest/gtest-spi.h>

#include "../library/LibraryTestSupport.h"
#include "../instrument/FrameChecksum.h"
#include "ByteChunk.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "LibrarySlotRequest.h"
#include "PatchLibrarian.h"
#include "TopBarMenus.h"

namespace {
// Set on a job's thread for the pause it is about to take, when that pause
// is one the test measures.
thread_local bool tWatchedPause = false;
constexpr int kParts[] = {1, 4, 15};  // on MIDI channels 2, 5 and 16
constexpr int kReserved = 9;          // plays the pair picks may collide with
constexpr int kReservedProgram = 9;   // on bank A
constexpr int kTopProgram = 99;       // the instrument's last program
constexpr int kReplyTicks = 30;      // a request's reply time, in ticks of the timer setting
constexpr int kMultiChannel = 0;      // the instrument's global channel in multi mode: no part's
// Each part picks among its own programs (and 9), from 20 apart; steps and
// the top program let them meet, which refuses the pick.
constexpr int kPrograms = 20;
int firstProgram(int part) {
  return 20 * static_cast<int>(std::find(std::begin(kParts), std::end(kParts), part) - std::begin(kParts));
}

enum class Mode { kProgram, kStepSynth, kStepLibrary };
enum class Answers { kAtOnce, kLate, kTwice, kNever, kVeryLate };

struct Step {
  enum Kind {
    // Picks.
    kHost, kHostWithBank, kInstrument, kInstrumentWithBank, kReportProgram, kReportBank, kReportBankProgram,
    kPageProgram, kPageBank, kArrowUp, kTopBarProgram, kDoubleClick, kTurnAndBack,
    // Jobs for every part, or for the library.
    kGetSound, kGetMulti, kSendMulti, kRestore, kRestoreWithPick, kLibraryRequest,
    // Around them.
    kPartClick, kEditPortGone, kPause, kHoldJob, kLetJobsGo, kSettle, kOverlay, kCablePulledAsItLeaves,
    // The conditions, changed at rest only.
    kLock, kRxOff, kHostFilter, kInstrumentFilter, kPortGone, kUnplugged, kPortsUnset, kEcho, kAnswers,
    // Drawn in place of some settles.
    kOwnPickAtRest, kRequestLost,
    // Drawn in place of some GET SOUNDs and settles.
    kOvertakenReply, kHeldSoundOvertaken,
    // Drawn in place of some pauses: a newer pick amid an older one's pacing
    // or its device-ID search.
    kPauseOvertaken, kSearchOvertaken,
    // Drawn in place of some settles too: in multi mode, a pick of every
    // part over a multi pick held on its way; else the instrument's own pick
    // of the pair a held pick of another part is about to send.
    kStateOverHeldMulti, kOwnPickMeetsHeldPick,
    // And two parts picking one pair at the same moment.
    kTwoPartsOnePair,
    // Drawn in place of some part clicks: two parts on one channel with an
    // instrument telling each change back for both; the user turning the
    // instrument back to an older change the editor sent.
    kSharedChannelEcho, kOlderProgramBack,
    // Drawn in place of some lost requests: a request answered only past its
    // time (its search's answer too), as the part's newer request waits.
    kPastTimeReply,
    // Drawn in place of some pauses stepping the instrument: the instrument
    // on another ID, a pick's search finding it past the pick's reply time.
    kSearchLateAnswer,
    // In place of some GET SOUNDs: each answer's copy comes after the next
    // request of the part went.
    kCopyAfterNewer,
    // In place of some library requests: one of each kind, the second
    // answered late; a whole bank, each answer twice; one refused as it
    // starts; one whose answer comes past its time, as a part's request waits.
    kLibraryBothKinds, kLibraryBank, kLibraryRefused, kLibraryLateStored,
    // In place of some GET MULTIs: one the instrument leaves unanswered, then
    // a whole bank into the library, each answer twice.
    kGetMultiThenLibraryBank,
    // In place of some turns back to an older change: an instrument telling
    // each change back only after the next one went (or after nine went),
    // the echoes arriving one at a time. In place of some echo switches:
    // local control switched.
    kLateEchoes, kLocalSwitch,
    // In place of some replies past their time: an overtaken request's and
    // the newer one's both late, or the newer lost. In place of some late
    // search answers: another part's pick during a device-ID search.
    kBothLate, kSearchOtherPart,
  };
  Kind kind;
  int part = 0, bank = 0, value = 0;
};

std::string describe(const Step& s) {
  static constexpr const char* kNames[] = {
      "host PC", "host BS+PC", "instrument PC", "instrument BS+PC", "report program", "report bank",
      "report bank and program", "page program", "page bank", "arrow up", "top bar program", "double-click",
      "turn and back", "GET SOUND", "GET MULTI", "SEND MULTI", "restore", "restore with a top-bar pick",
      "library request by program number", "part click", "edit, port gone", "pause", "hold next job", "let jobs go",
      "settle", "host picks under a transfer's overlay", "cable pulled as a page pick leaves", "lock", "RX off", "host PC filter", "instrument PC filter", "port gone", "cable out", "ports unset",
      "echoes", "answers", "own pick at rest", "request lost", "reply of an overtaken request",
      "held sound, program change overtaken",
      "newer pick amid an older one's pauses", "newer pick amid an older one's search",
      "a pick of every part over a held multi pick", "the instrument's own pick of a held pick's pair",
      "two parts pick one pair at once", "two parts on one channel, each echoing",
      "the instrument turned back to an older change",
      "a reply past its time as a newer request waits",
      "the search's answer, past the reply time", "each answer's copy after the next request",
      "library requests of both kinds", "a library bank request, each answer twice", "a refused library request",
      "a stored program's late answer as a part's request waits",
      "GET MULTI unanswered, then a library bank request",
      "echoes told late, one at a time", "local control switched",
      "both answers late, or the newer lost", "another part's pick during a device-ID search"};
  std::ostringstream out;
  out << kNames[s.kind] << " part " << s.part + 1 << " bank " << s.bank << " value " << s.value;
  return out.str();
}

struct Conditions {
  std::array<bool, 16> locked{};
  bool hostFilter = false, instrumentFilter = false, portGone = false, unplugged = false,
       portsUnset = false, echo = false;
  Answers answers = Answers::kAtOnce;
};

// What the test knows a part must end on, from what it did alone: the pair
// of its newest pick that was not refusable, and the sound that pick loads
// (a stored sound, a library sound), or none known when a job for every part
// came last (then the window and the instrument must agree).
struct PartModel {
  int bank = 0, program = 0;
  std::optional<std::string> name;
  // Where the wire stood when that pick came in, and whether its messages
  // are what the part may receive from then on.
  size_t wireAt = 0, playedFrom = 0;
  bool order = false;
  // The editor's own copy goes after the program change (a top-bar pick in
  // program mode): the sound is whatever that copy is.
  bool editorsSound = false;
  // A pick of it since the last rest, and the pair it came from: a pick of
  // another part that meets either waits for the rest (which of them the
  // editor judges against is timing, not the test's).
  bool burst = false;
  int fromBank = 0, fromProgram = 0;
};

// What a part of the instrument plays, as the bytes it received made it.
struct Played {
  size_t wireAt;
  int bank, program;
  std::string name;
};

class PickModelTest : public EditorTest {
 protected:
  PickModelTest() : EditorTest(false) {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
    writeFile(getPatchesFolderStr() + "/Multis.syx", multiFile("Multi ", 100));
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
    for (int slot = 0; slot < 100; ++slot) libraryNames[static_cast<size_t>(slot)] = name9of(numbered("Fact", slot));
    conditions = Conditions{};
    makePlug();
    window.emplace(*plug);
    // A pick's pauses take no time; the one after a bank select may find the
    // cable pulled.
    plug->sleepFor = [this](int ms) {
      overtakingSleep();
      holdLanePause(ms);
      if (timedStop(Stop::kPause, ms)) return;
      if (ms != 25 || !pullOnPause.exchange(false)) return;
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.unplugged = true;
      backend->setOutUnplugged(true);
    };
    // The second each program change left in: the instrument echoes at once,
    // so an echo is due within the second its change left in.
    backend->setOutLoses([this](const MidiBytes& m) {
      if (m.size() == 2 && (m[0] & 0xF0) == 0xC0) {
        std::lock_guard<std::mutex> lock(sentAtMutex);
        sentAt.emplace_back(Bytes(m.begin(), m.end()), now.load());
      }
      return false;
    });
    for (int p : kParts) param(kMultiPartStatus + p)->Set(1);
    param(kMultiPartStatus + kReserved)->Set(1);
    window->clickTab(kMainTab, 1);
    // The host's first event (a note off part 10 plays): the silence due after
    // the instance's reset goes now, not with a sequence's first pick.
    hostEvents({{static_cast<unsigned char>(0x80 | kReserved), 60, 0}});
    MIDIMessageManager& manager = *plug->midiMessageManager;
    // A pause takes no time, yet ends only once the replies due reached the
    // editor: another thread may be handing them over meanwhile.
    manager.virtualPause = [this](int ms) {
      // The time a watched pick's own pauses let pass.
      if (tWatchedPause) {
        tWatchedPause = false;
        overtaking.ms += ms;
      }
      if (timedStop(Stop::kPause, ms)) return true;
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
      overtakingPause(t, newest);
      timedStop(Stop::kBefore, 0);
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

  // ---- The instrument, answering as the sequence says. What the editor
  // sent reaches it only while the port is there and the cable in; what it
  // plays is followed message by message.
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
      const bool reaches = !conditions.unplugged && !conditions.portGone && !conditions.portsUnset;
      for (const Bytes& message : fresh) {
        wire.push_back(message);
        reached.push_back(reaches);
        const bool change = message.size() == 2 && (message[0] & 0xF0) == 0xC0;
        const bool timely = !change || sentThisSecond(message);
        if (!reaches) continue;
        // The copies held come once the next request reaches the instrument,
        // before its answer.
        if (copiesLag && message.size() == 8 && message[4] == 0x00) {
          for (Bytes& copy : heldReplies) late.push_back({0, copy});
          heldReplies.clear();
        }
        // The held answers come as the part's next request reaches the
        // instrument, before its own.
        if (releaseAtRequestOf >= 0 && message.size() == 8 && message[4] == 0x00 && message[5] == 0x30 &&
            message[6] == releaseAtRequestOf) {
          for (Bytes& reply : heldReplies) late.push_back({0, reply});
          heldReplies.clear();
          releaseAtRequestOf = -1;
        }
        std::vector<SimBytes> replies = instrument.receive(message);
        // Echoing, it reports each program change it receives as its own,
        // at once: one that left before the test's clock moved on had its
        // echo then, which this instrument cannot send back in time (lost).
        // The echo is the instrument's word, said once and at once, however
        // it answers requests.
        if (change && timely && conditions.echo) late.push_back({0, reportBytes(message[0] & 0x0F, false, message[1])});
        // Telling late, it tells the change only once the next changes went.
        if (change && (message[0] & 0x0F) == lateEchoChannel) {
          echoesHeld.push_back(reportBytes(message[0] & 0x0F, false, message[1]));
          if (echoesHeld.size() > echoesInFlight) {
            late.push_back({0, echoesHeld.front()});
            echoesHeld.pop_front();
          }
        }
        for (const SimBytes& reply : replies) {
          // Answered at once, its copy held until the next request.
          if (copiesLag && reply.size() > 9) {
            late.push_back({0, reply});
            heldReplies.push_back(reply);
            continue;
          }
          // Held by the step that lets them go (or loses them) itself.
          if (holdReplies && reply.size() > 9) {
            heldReplies.push_back(reply);
            continue;
          }
          switch (conditions.answers) {
            case Answers::kAtOnce: late.push_back({0, reply}); break;
            case Answers::kLate: late.push_back({1 + static_cast<int>(rng() % 3), reply}); break;
            // Past the wait a newer request gives an earlier one's reply,
            // within the reply's own time.
            case Answers::kVeryLate: late.push_back({6 + static_cast<int>(rng() % 8), reply}); break;
            case Answers::kTwice:
              late.push_back({0, reply});
              late.push_back({0, reply});
              break;
            case Answers::kNever:
              if (reply.size() == 9) late.push_back({0, reply});  // its reports still come
              break;
          }
        }
        notePlayed();
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
  bool sentThisSecond(const Bytes& change) {
    std::lock_guard<std::mutex> lock(sentAtMutex);
    for (auto it = sentAt.begin(); it != sentAt.end(); ++it) {
      if (it->first != change) continue;
      const bool timely = it->second == now.load();
      sentAt.erase(it);
      return timely;
    }
    return true;
  }
  // The instrument's own record of what each part plays, after a message or
  // its own pick.
  void notePlayed() {
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    const Bytes multi = instrument.multiBuffer();
    for (int p : kParts) {
      const size_t block = 7 + 32 + 22 * static_cast<size_t>(p);
      Played now{wire.size(), multi[block], multi[block + 1], name9(instrument.partBuffer(p))};
      auto& list = played[static_cast<size_t>(p)];
      if (list.empty() || list.back().bank != now.bank || list.back().program != now.program || list.back().name != now.name)
        list.push_back(now);
    }
  }
  void log(const PickTicket& t, bool arrival) {
    std::lock_guard<std::mutex> lock(logMutex);
    gateLog.push_back({t.slot(), t.count(), arrival});
  }

  // ---- Each sequence starts from rest, the instrument as new.
  void startSequence(std::mt19937& random) {
    {
      // The last sequence's instrument stops echoing before the rest.
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.echo = false;
      conditions.answers = Answers::kAtOnce;
    }
    settle();
    instrument.reset();
    const bool portsWereUnset = conditions.portsUnset;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      wire.clear();
      reached.clear();
      late.clear();
      conditions = Conditions{};
    }
    {
      std::lock_guard<std::mutex> lock(sentAtMutex);
      sentAt.clear();
    }
    if (portsWereUnset) {
      setPorts(true);
      settle();
    }
    {
      std::lock_guard<std::mutex> lock(logMutex);
      gateLog.clear();
      gateTraced = 0;
      pausesOvertaken.clear();
    }
    backend->setOutGone(false);
    backend->setOutUnplugged(false);
    // A port the last sequence left gone is open again before the first pick.
    for (int i = 0; i < 5000 && plug->isOutPortGone(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    setParam(kDatatype, 0);
    for (int p = 0; p < 16; ++p) param(kPartLock + p)->Set(0);
    for (int idx : {kMIDIFilterHWPCPassThrough, kMIDIFilterHWCCPassThrough, kMIDIFilterDAWPCPassThrough,
                    kMIDIFilterDAWCCPassThrough})
      setParam(idx, 1);
    plug->setParameterFromPlug(kGlobalRxProgramChange, 1, false);
    setParam(kControlLibrary, 0);
    setParam(kControlProgBank, 0);
    for (int p : kParts) {
      const auto at = static_cast<size_t>(p);
      plug->partSoundHeld[at] = false;
      plug->librarianBrowser->notePartPlays(p, nullptr);
    }
    // Each part on its own channel, the instrument's multi the editor's: its
    // parts play what it names, bank A and their first program, which the
    // editor knows as it sent them.
    for (int p = 0; p < 16; ++p) {
      plug->setParameterFromPlug(kMultiPartMIDICh + p, p + 2, false);
      const bool used = p == kReserved || std::find(std::begin(kParts), std::end(kParts), p) != std::end(kParts);
      plug->setParameterFromPlug(kMultiPartStatus + p, used ? 1 : 0, false);
    }
    for (int p : kParts) {
      plug->setParameterFromPlug(kMultiPartBank + p, 0, false);
      plug->setParameterFromPlug(kMultiPartPatch + p, firstProgram(p), false);
    }
    plug->setParameterFromPlug(kMultiPartBank + kReserved, 0, false);
    plug->setParameterFromPlug(kMultiPartPatch + kReserved, kReservedProgram, false);
    setParam(kPushArrangement, 1);
    settle();
    mode = static_cast<Mode>(random() % 3);
    localOn = random() % 2 == 0;
    // Multi mode, as STEP SYNTH asks a multi back: the arrows and the top
    // bar pick the multi, which the instrument takes on its global channel.
    multiMode = mode == Mode::kStepSynth && random() % 3 == 0;
    setParam(kGlobalLocalControl, localOn ? 1 : 0);
    setParam(kControlLibrary, mode == Mode::kStepLibrary ? 1 : 0);
    setParam(kControlProgBank, mode == Mode::kStepSynth ? 1 : 0);
    if (multiMode) {
      plug->setParameterFromPlug(kGlobalMidiChannel, kMultiChannel + 1, false);
      instrument.setGlobalChannel(kMultiChannel);
      storeMultis();
      setParam(kDatatype, 1);
    }
    multi = MultiModel{};
    multi.program = shownValue(kMultiPatch);
    reservedPair = {0, kReservedProgram};
    const int current = kParts[random() % std::size(kParts)];
    if (plug->currentPart != current) window->clickTab(kQuickTab, current);
    settle();
    for (int p : kParts) {
      PartModel& m = models[static_cast<size_t>(p)];
      m = PartModel{};
      m.program = m.fromProgram = firstProgram(p);
    }
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      wire.clear();
      reached.clear();
      traced = 0;
      for (auto& list : played) list.clear();
      notePlayed();
    }
    librarySlotsAsked.clear();
    multiSlotsAsked.clear();
    statusSeen.clear();
    std::lock_guard<std::mutex> logLock(logMutex);
    gateLog.clear();
    gateTraced = 0;
  }

  // The instrument's stored multis, each the editor's multi with its parts on
  // pairs of their own (no two meet) and a name of its own.
  void storeMultis() {
    const Bytes base = instrument.multiBuffer();
    for (int n = 0; n < 100; ++n) {
      Bytes stored = base;
      stored[5] = 0;
      stored[6] = static_cast<unsigned char>(n);
      for (int p : kParts) {
        const size_t block = 7 + 32 + 22 * static_cast<size_t>(p);
        stored[block] = static_cast<unsigned char>((n + p) % 3);
        stored[block + 1] = static_cast<unsigned char>(firstProgram(p) + n % kPrograms);
      }
      char name[17];
      std::snprintf(name, sizeof name, "STORED MULTI %02d ", n);
      std::copy(name, name + 16, stored.begin() + 23);
      sim::writeFrameChecksum(stored.data(), stored.size());
      instrument.receive(stored);
    }
  }
  // The instrument's ports chosen (the second name of each list) or none.
  void setPorts(bool chosen) {
    setParam(kDeviceInSelection, chosen ? 2 : 0);
    setParam(kDeviceOutSelection, chosen ? 2 : 0);
  }

  // ---- The steps.
  std::vector<Step> makeSequence(std::mt19937& random) {
    std::vector<Step> steps;
    const int count = 6 + static_cast<int>(random() % 14);
    for (int i = 0; i < count; ++i) {
      Step s{static_cast<Step::Kind>(random() % (Step::kAnswers + 1))};
      s.part = kParts[random() % std::size(kParts)];
      s.bank = static_cast<int>(random() % 3);
      // Now and then the pair part 10 plays, or a program past the last.
      const unsigned roll = random() % 12;
      s.value = roll < 2 ? kReservedProgram
                : roll == 2 ? 100 + static_cast<int>(random() % 28)
                            : firstProgram(s.part) + static_cast<int>(random() % kPrograms);
      if (s.kind == Step::kAnswers) s.value = static_cast<int>(random() % 5);
      if (s.kind == Step::kSettle && s.value % 5 < 2) s.kind = s.value % 5 == 0 ? Step::kOwnPickAtRest : Step::kRequestLost;
      if (s.kind == Step::kRequestLost && s.bank == 2) s.kind = Step::kPastTimeReply;
      if (s.kind == Step::kPastTimeReply && s.value % 3 == 0) s.kind = Step::kBothLate;
      if (s.kind == Step::kSettle && s.value % 5 == 2 && !multiMode) s.kind = Step::kHeldSoundOvertaken;
      else if (s.kind == Step::kSettle && s.value % 5 >= 2)
        s.kind = multiMode ? Step::kStateOverHeldMulti
                 : s.value % 5 == 4 ? Step::kTwoPartsOnePair
                                    : Step::kOwnPickMeetsHeldPick;
      // And in place of steps that would do nothing in the sequence's mode.
      const bool idle = s.kind == Step::kDoubleClick ? mode != Mode::kStepLibrary
                        : s.kind == Step::kLibraryRequest ? mode == Mode::kStepLibrary || multiMode
                                                          : false;
      if (idle && multiMode) s.kind = Step::kStateOverHeldMulti;
      else if (idle && localOn && mode != Mode::kStepLibrary) s.kind = Step::kOwnPickMeetsHeldPick;
      if (s.kind == Step::kGetSound && s.value % 4 == 1) s.kind = Step::kOvertakenReply;
      if (s.kind == Step::kGetSound && s.value % 4 == 3) s.kind = Step::kCopyAfterNewer;
      if (s.kind == Step::kGetMulti && s.value % 3 == 1) s.kind = Step::kGetMultiThenLibraryBank;
      if (s.kind == Step::kLibraryRequest && s.value % 5 < 4) {
        constexpr Step::Kind kLibraryKinds[] = {Step::kLibraryBothKinds, Step::kLibraryBank, Step::kLibraryRefused,
                                                Step::kLibraryLateStored};
        s.kind = kLibraryKinds[s.value % 5];
      }
      if (s.kind == Step::kPause && s.bank == 0 && mode == Mode::kStepSynth && !multiMode) s.kind = Step::kSearchLateAnswer;
      if (s.kind == Step::kSearchLateAnswer && s.value % 3 == 0) s.kind = Step::kSearchOtherPart;
      if (s.kind == Step::kPause && (s.bank == 1 || (s.bank == 2 && s.value % 2 == 0)))
        s.kind = s.bank == 1 ? Step::kPauseOvertaken : Step::kSearchOvertaken;
      drawEchoRoads(s);
      steps.push_back(s);
    }
    return steps;
  }
  // Changes the kind only, drawing nothing: every other step keeps its draw.
  static void drawEchoRoads(Step& s) {
    if (s.kind == Step::kPartClick && s.value % 3 != 0)
      s.kind = s.value % 3 == 1 ? Step::kSharedChannelEcho : Step::kOlderProgramBack;
    if (s.kind == Step::kOlderProgramBack && s.bank != 0) s.kind = Step::kLateEchoes;
    if (s.kind == Step::kEcho && s.value % 3 == 0) s.kind = Step::kLocalSwitch;
  }

  // ---- The oracle's rules.
  // RX PROGRAM CHANGE as its switch shows it: set by the user, read from the
  // instrument once ports are chosen, restored with a project, sprung back
  // when the edit could not reach the instrument.
  bool rxOff() { return shownValue(kGlobalRxProgramChange) == 0; }
  bool portOff() const { return conditions.portGone || conditions.unplugged || conditions.portsUnset; }
  std::pair<int, int> pairOf(int q) const {
    if (q == kReserved) return reservedPair;
    const PartModel& m = models[static_cast<size_t>(q)];
    return {m.bank, m.program};
  }
  // Another part plays the pair: the pick is refused.
  bool meets(int part, int bank, int program) const {
    // In multi mode the parts of the multi may share a pair.
    if (multiMode) return false;
    for (int q : {kParts[0], kParts[1], kParts[2], kReserved})
      if (q != part && pairOf(q) == std::pair{bank, program}) return true;
    return false;
  }
  // Another part on its way to or from the pair: whether the editor judges
  // the pick against its old pair or its new one is timing, so the pick
  // waits for the rest.
  void waitIfRacing(int part, int bank, int program) {
    for (int q : kParts) {
      const PartModel& o = models[static_cast<size_t>(q)];
      if (q != part && o.burst &&
          (pairOf(q) == std::pair{bank, program} || std::pair{o.fromBank, o.fromProgram} == std::pair{bank, program})) {
        settle();
        return;
      }
    }
  }
  // Where the wire stands, all sent so far handed on.
  size_t mark() {
    pump();
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    for (size_t p = 0; p < played.size(); ++p) playedAtMark[p] = played[p].size();
    return wire.size();
  }
  std::string storedName(int bank, int program) const { return name9(instrument.storedSound(bank, program)); }

  enum class Road {
    kEditor,  // the editor decides whether it goes out: the host, the window, the instrument with local control off
    kOwn,     // the instrument played it itself (local control on) and says so
  };
  // A pick of the part that came in when the wire stood at `at`: the part's
  // newest unless refusable, and then the pick before it goes on as it was.
  void take(int part, int bank, int program, Road road, size_t at, bool editorsSoundAfter = false) {
    PartModel& m = models[static_cast<size_t>(part)];
    const bool library = mode == Mode::kStepLibrary;
    const bool locked = conditions.locked[static_cast<size_t>(part)];
    const bool conflict = meets(part, bank, program);
    if (road == Road::kEditor && (locked || (!library && rxOff()) || conflict || portOff())) return;
    const bool libraryGoes = library && !locked && !conflict && !portOff();
    m.bank = bank;
    m.program = program;
    m.name = libraryGoes ? libraryNames[static_cast<size_t>(program)] : storedName(bank, program);
    m.editorsSound = editorsSoundAfter && mode == Mode::kProgram;
    if (m.editorsSound) m.name.reset();
    m.wireAt = at;
    m.playedFrom = playedAtMark[static_cast<size_t>(part)];
    m.order = true;
    m.burst = true;
  }
  // A multi picked: once it went, the instrument plays the stored multi, each
  // part the stored sound of the pair it names.
  void takeMulti(int program, size_t at) {
    const bool locked = conditions.locked[static_cast<size_t>(plug->currentPart)];
    if (locked || rxOff() || portOff()) return;
    multi.program = program;
    multi.known = true;
    const Bytes stored = instrument.storedMulti(program);
    const auto pairIn = [&](int p) {
      const size_t block = 7 + 32 + 22 * static_cast<size_t>(p);
      return std::pair<int, int>{stored[block], stored[block + 1]};
    };
    reservedPair = pairIn(kReserved);
    for (int p : kParts) {
      PartModel& m = models[static_cast<size_t>(p)];
      std::tie(m.bank, m.program) = pairIn(p);
      m.name = storedName(m.bank, m.program);
      m.wireAt = at;
      m.order = false;
      m.editorsSound = false;
      m.burst = true;
    }
  }
  // A job for every part: the pairs stay, the sounds are what the window
  // and the instrument then agree on (the editor's copies go out whole).
  void everyPartJob() {
    multi.known = false;
    for (int p : kParts) {
      PartModel& m = models[static_cast<size_t>(p)];
      m.name.reset();
      m.order = false;
      m.editorsSound = false;
      m.burst = true;
    }
  }

  void run(const Step& s) {
    PartModel& m = models[static_cast<size_t>(s.part)];
    const bool library = mode == Mode::kStepLibrary;
    const int channel = s.part;  // part p listens on channel p + 1: status nibble p
    const auto cc = static_cast<unsigned char>(0xB0 | channel), pc = static_cast<unsigned char>(0xC0 | channel);
    const bool host = s.kind == Step::kHost || s.kind == Step::kHostWithBank;
    // A program past the last comes from the host only (the library has no
    // slot for it); elsewhere the part's own.
    const int value = s.value >= 100 && (!host || library) ? firstProgram(s.part) + s.value % kPrograms : s.value;
    const int program = std::min(value, kTopProgram);
    const int current = plug->currentPart;
    PartModel& shown = models[static_cast<size_t>(current)];
    switch (s.kind) {
      case Step::kHost:
      case Step::kHostWithBank: {
        const bool withBank = s.kind == Step::kHostWithBank;
        const int bank = withBank ? s.bank : m.bank;
        if (!conditions.hostFilter) waitIfRacing(s.part, bank, program);
        ByteList events;
        if (withBank) events = {{cc, 0, 0}, {cc, 32, static_cast<unsigned char>(64 + s.bank)}};
        events.push_back({pc, static_cast<unsigned char>(value)});
        const size_t at = mark();
        hostEvents(events);
        // The host's filter stops it before it comes in.
        if (!conditions.hostFilter) take(s.part, bank, program, Road::kEditor, at);
        break;
      }
      case Step::kInstrument:
      case Step::kInstrumentWithBank:
      case Step::kReportProgram:
      case Step::kReportBank:
      case Step::kReportBankProgram: {
        // With no ports the editor hears nothing of it.
        if (conditions.portsUnset) break;
        const bool report = s.kind >= Step::kReportProgram;
        const bool bankOnly = s.kind == Step::kReportBank;
        const bool withBank = s.kind == Step::kInstrumentWithBank || bankOnly || s.kind == Step::kReportBankProgram;
        if (!report && conditions.instrumentFilter) {
          // Filtered, it is no pick; played by the instrument itself it
          // would be what the editor cannot know: not drawn.
          if (!localOn) injectPick(channel, withBank, s.bank, program);
          break;
        }
        const auto send = [&](int bank, int prog) {
          if (!report) return injectPick(channel, withBank, bank, prog);
          if (withBank) reportPick(s.part, true, bank);
          if (!bankOnly) reportPick(s.part, false, prog);
        };
        if (localOn) {
          // Its knob turned while nothing of the part is on its way: it
          // plays its pick (a bank alone on the program it is on), then tells.
          settle();
          const int bank = withBank ? s.bank : m.bank;
          const int prog = bankOnly ? m.program : program;
          const size_t at = mark();
          playOnInstrument(channel, withBank ? std::optional<int>(bank) : std::nullopt, prog);
          send(bank, prog);
          take(s.part, bank, prog, Road::kOwn, at);
        } else {
          // It asks the editor, which answers with the pair or not at all;
          // what it does not say (the bank, the program) is the part's as it
          // is when the answer goes: asked at rest.
          if (!(withBank && !bankOnly) && m.burst) settle();
          const int bank = withBank ? s.bank : m.bank;
          const int prog = bankOnly ? m.program : program;
          // A report of what the part plays (once the pick under way went) is
          // answered by nothing but in STEP LIBRARY (the library's sound):
          // the part keeps the sound it has.
          const bool playsIt = report && !library && std::pair{bank, prog} == std::pair{m.bank, m.program};
          if (playsIt && m.burst) settle();
          const std::optional<std::string> name = m.name;
          const bool editorsSound = m.editorsSound;
          waitIfRacing(s.part, bank, prog);
          const size_t at = mark();
          send(bank, prog);
          take(s.part, bank, prog, Road::kEditor, at);
          if (playsIt) {
            m.name = name;
            m.editorsSound = editorsSound;
          }
        }
        break;
      }
      case Step::kTurnAndBack: {
        // The instrument's knob one program on and back, each told as it
        // plays it: the second is a pick, not the echo of the editor's
        // change it equals.
        if (!localOn || library || conditions.portsUnset) break;
        // After the editor's own change to the program it goes back to:
        // straight after it where the instrument echoed it (its echo used
        // up); else past its second, within which a report of it is taken
        // for its echo, whoever turned the knob.
        run(Step{Step::kHost, s.part, 0, m.program});
        settle(false);
        if (!conditions.echo) now += 1001;
        const int back = m.program, bank = m.bank;
        const int there = program == back ? (back + 1) % 100 : program;
        const size_t at = mark();
        playOnInstrument(channel, std::nullopt, there);
        // Echoing, the instrument used up the change's echo: away by a
        // program change of its own (no report), back by a report equal to
        // the change, which is no echo twice.
        if (conditions.echo && s.bank == 0) injectPick(channel, false, bank, there);
        else reportPick(s.part, false, there);
        take(s.part, bank, there, Road::kOwn, at);
        playOnInstrument(channel, std::nullopt, back);
        reportPick(s.part, false, back);
        take(s.part, bank, back, Road::kOwn, at);
        break;
      }
      case Step::kPageProgram:
      case Step::kPageBank: {
        // What the page shows is the part's rest: its value the user's pick.
        settle();
        const bool bankPick = s.kind == Step::kPageBank;
        const int idx = (bankPick ? kMultiPartBank : kMultiPartPatch) + s.part;
        const int before = shownValue(idx);
        const int v = bankPick ? s.bank : program;
        const int bank = bankPick ? s.bank : m.bank, prog = bankPick ? m.program : program;
        const size_t at = mark();
        plug->SetParameterFromGUI(idx, param(idx)->GetNormalized(v));
        if (v != before) take(s.part, bank, prog, Road::kEditor, at);
        break;
      }
      case Step::kArrowUp: {
        if (multiMode) {
          // In multi mode it steps the multi, from the multi's newest pick.
          const int next = (multi.program + 1) % 100;
          const size_t at = mark();
          setParam(kPatchUp + current, 1);
          takeMulti(next, at);
          break;
        }
        // The step counts from the part's newest pick, whatever shows.
        const int next = (shown.program + 1) % 100;
        waitIfRacing(current, shown.bank, next);
        const size_t at = mark();
        setParam(kPatchUp + current, 1);
        take(current, shown.bank, next, Road::kEditor, at);
        break;
      }
      case Step::kTopBarProgram: {
        waitIfRacing(current, shown.bank, program);
        const size_t at = mark();
        // A job's processing overlay takes the click: no menu, no pick.
        if (pickOnTopBar(program)) {
          if (multiMode) takeMulti(program, at);
          else take(current, shown.bank, program, Road::kEditor, at, true);
        }
        noteStatus();
        break;
      }
      case Step::kDoubleClick: {
        if (!library) break;
        const int slot = s.value % kPrograms;
        waitIfRacing(current, shown.bank, slot);
        // The processing overlay of a job or of a pick's work under way
        // would take the click (a race between the two the test cannot
        // see): the double click comes once nothing runs, and then lands.
        if (jobsStarted || !plug->midiMessageManager->atRest()) settle();
        const size_t at = mark();
        const IRECT r = window->slot(0, slot);
        const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
        const IControl* hit = window->gui()->GetMouseControlIdx(x, y);
        const bool reaches = hit == plug->librarianView();
        IMouseMod left(true, false);
        window->gui()->OnMouseDblClick(x, y, &left);
        EXPECT_TRUE(reaches) << "the library's slot takes a double click with no job running, not "
                             << (hit ? typeid(*hit).name() : "nothing") << " of parameter " << (hit ? hit->ParamIdx() : -1);
        if (reaches) take(current, shown.bank, slot, Road::kEditor, at);
        break;
      }
      case Step::kGetSound: {
        // A request is a pick of the part: one on its way would end. At
        // rest, it reads what the part plays and changes nothing.
        if (m.burst) settle();
        Pick pick;
        pick.work = Pick::Work::kRequest;
        pick.slot = s.part;
        plug->midiMessageManager->picks.pick(pick);
        m.burst = true;
        break;
      }
      case Step::kGetMulti:
      case Step::kSendMulti:
      case Step::kRestore:
        settle();
        if (s.kind == Step::kGetMulti) setParam(kRequestTempData, 1);
        if (s.kind == Step::kSendMulti) setParam(kPushArrangement, 1);
        if (s.kind == Step::kRestore) restore();
        jobsStarted = true;
        everyPartJob();
        break;
      case Step::kRestoreWithPick: {
        // The host restores the instance; the user picks on the top bar
        // while the restore holds the instrument: the pick waits for it and
        // goes after, the part's newest.
        settle();
        {
          std::lock_guard<std::mutex> lock(holdMutex);
          holdNext = true;
          letGo = false;
        }
        restore();
        jobsStarted = true;
        everyPartJob();
        const int picked = program == shown.program ? (program + 1) % 100 : program;
        const size_t at = mark();
        if (pickOnTopBar(picked)) {
          if (multiMode) takeMulti(picked, at);
          else take(current, shown.bank, picked, Road::kEditor, at, true);
        }
        break;
      }
      case Step::kLibraryRequest: {
        // "Hardware by Prog No." into a library slot, while a part's pick
        // and its read-back are answered beside it. The library sends
        // nothing meanwhile (not stepping it), so what the slot holds is
        // read by nothing else.
        // In multi mode the library asks for multis.
        if (library || multiMode) break;
        settle();
        const int slot = 90 + s.value % 10;
        plug->patchLibrarian->targetSlot = slot;
        plug->librarianView()->selectedUpper = slot;
        const bool answered = !portOff() && conditions.answers != Answers::kNever;
        plug->midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(false, s.bank);
        const int other = s.part == kParts[0] ? kParts[1] : kParts[0];
        run(Step{Step::kHost, other, 0, firstProgram(other) + s.value % kPrograms});
        settle();
        if (answered) libraryNames[static_cast<size_t>(slot)] = storedName(s.bank, slot);
        librarySlotsAsked.push_back(slot);
        break;
      }
      case Step::kPartClick:
        window->clickTab(kQuickTab, s.part);
        break;
      case Step::kEditPortGone: {
        // At rest: the port is gone for the edit alone.
        settle();
        backend->setOutGone(true);
        const double before = param(0)->Value();
        const double edited = param(0)->GetMin() + 1 + s.bank;
        plug->SetParameterFromGUI(0, param(0)->GetNormalized(edited));
        // With no ports chosen the user edits the project alone: it stays.
        if (conditions.portsUnset) EXPECT_EQ(param(0)->Value(), edited) << "an edit with no ports chosen is kept";
        else EXPECT_EQ(param(0)->Value(), before) << "an edit that never left stays";
        if (!conditions.portGone) portBack();
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
      case Step::kCablePulledAsItLeaves: {
        // At rest, a page pick whose program change finds the cable pulled
        // after its bank select went: it reached no instrument, so nothing
        // of it is shown or recorded, and the part plays what it played.
        settle();
        if (portOff() || conditions.locked[static_cast<size_t>(s.part)] || (!library && rxOff())) break;
        int prog = firstProgram(s.part) + s.value % kPrograms;
        if (prog == m.program) prog = firstProgram(s.part) + (s.value + 1) % kPrograms;
        if (meets(s.part, m.bank, prog)) break;
        pullOnPause = true;
        const size_t at = mark();
        plug->SetParameterFromGUI(kMultiPartPatch + s.part, param(kMultiPartPatch + s.part)->GetNormalized(prog));
        settle();
        // No pause came (nothing of it went): an ordinary page pick.
        if (pullOnPause.exchange(false)) take(s.part, m.bank, prog, Road::kEditor, at);
        // Nothing reaches the instrument now: its silence may be searched.
        answeredEver = answeredEver && !conditions.unplugged;
        break;
      }
      case Step::kOverlay: {
        // A transfer's processing overlay up, no job of the instrument's
        // running: the host's pick waits for it, nothing of it goes in the
        // middle of the transfer, and it goes once the transfer ends.
        settle();
        plug->DisplayProcessingIndicator(true);
        const size_t before = mark();
        run(Step{Step::kHostWithBank, s.part, s.bank, s.value});
        for (int i = 0; i < 20; ++i) {
          plug->midiSendThread->flush();
          pump();
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          for (size_t i = before; i < wire.size(); ++i) {
            const Bytes& m = wire[i];
            const bool pick = (m.size() == 2 && (m[0] & 0xF0) == 0xC0) || (m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] != 0x7B);
            EXPECT_FALSE(pick) << "a pick went out under a transfer's overlay: " << std::hex << int(m[0]) << ' ' << int(m[1]);
          }
        }
        plug->DisplayProcessingIndicator(false);
        break;
      }
      case Step::kRequestLost: {
        // A part's request lost on the cable while the instrument answers
        // another part's: heard from since, it is not searched for.
        settle();
        if (portOff() || conditions.answers == Answers::kNever) break;
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
      case Step::kPastTimeReply:
        pastTimeReply(s.part, s.value);
        break;
      case Step::kSearchLateAnswer:
        searchLateAnswer(s.part, s.value);
        break;
      case Step::kCopyAfterNewer:
        copyAfterNewer(s.part, s.value);
        break;
      case Step::kBothLate:
        bothLate(s.part, s.value);
        break;
      case Step::kSearchOtherPart:
        searchOtherPart(s.part, s.value);
        break;
      case Step::kLibraryBothKinds:
      case Step::kLibraryBank:
      case Step::kLibraryRefused:
      case Step::kLibraryLateStored:
        libraryRoad(s);
        break;
      case Step::kGetMultiThenLibraryBank: {
        // Its page refresh ends with it: the bank's slots are the bank
        // request's own, whatever comes between its answers.
        settle();
        const Answers answers = conditions.answers;
        // A multi in multi mode is always answered; stepping the library, no
        // bank is asked for.
        if (!portOff() && !multiMode && mode != Mode::kStepLibrary) {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          conditions.answers = Answers::kNever;
          answeredEver = false;
        }
        run(Step{Step::kGetMulti, s.part});
        settle();
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          conditions.answers = answers;
        }
        libraryRoad(Step{Step::kLibraryBank, s.part, s.bank, s.value});
        break;
      }
      case Step::kPauseOvertaken:
      case Step::kSearchOvertaken:
        newerPickAmidPauses(s, s.kind == Step::kSearchOvertaken);
        break;
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
        run(Step{s.bank == 2 ? Step::kInstrument : Step::kInstrumentWithBank, s.part, s.bank, value});
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
      case Step::kOvertakenReply: {
        // Only a pick stepping the instrument asks for its sound.
        const auto at = static_cast<size_t>(s.part);
        if (mode != Mode::kStepSynth || multiMode || portOff() || conditions.locked[at] || rxOff() || conditions.hostFilter) {
          run(Step{Step::kGetSound, s.part});
          break;
        }
        settle();
        std::optional<int> x, y;
        for (int k = 0; k < kPrograms; ++k) {
          const int prog = firstProgram(s.part) + (s.value + k) % kPrograms;
          if (prog == m.program || meets(s.part, m.bank, prog)) continue;
          if (!x) x = prog;
          else if (!y && storedName(m.bank, prog) != storedName(m.bank, *x)) y = prog;
        }
        if (!y) {
          run(Step{Step::kGetSound, s.part});
          break;
        }
        overtakenReply(s.part, m.bank, *x, *y, s.bank == 0, 8 + s.value % 18);
        break;
      }
      case Step::kHeldSoundOvertaken:
        heldSoundOvertaken(s.part, s.value);
        break;
      case Step::kSharedChannelEcho:
        sharedChannelEcho(s);
        break;
      case Step::kOlderProgramBack:
        olderProgramBack(s);
        break;
      case Step::kLateEchoes:
        lateEchoes(s);
        break;
      case Step::kLocalSwitch:
        // At rest, the editor's switch and the instrument's together: only
        // while the edit reaches it (the editor reads the instrument's back
        // once its ports are chosen again).
        settle();
        if (portOff()) break;
        setParam(kGlobalLocalControl, localOn ? 0 : 1);
        settle();
        localOn = plug->isLocalControl();
        break;
      case Step::kStateOverHeldMulti: {
        // A multi pick on its way, held at its pause before its program
        // change, then a pick of every part (a restore of a project the test
        // wrote, GET MULTI, SEND MULTI): that newer pick overtakes it, so
        // nothing more of it reaches the instrument, which ends on the multi
        // the state brings.
        settle();
        if (!multiMode || conditions.locked[static_cast<size_t>(current)] || rxOff() || portOff()) break;
        std::string before;
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          before = multiNameOf(instrument.multiBuffer());
        }
        const int next = (multi.program + 1) % 100;
        const size_t at = mark();
        holdLane(kMultiSlot, 1);
        setParam(kPatchUp + current, 1);
        if (!laneHeld()) {
          // It never came to its pause: an arrow step as any other.
          letLaneGo();
          takeMulti(next, at);
          break;
        }
        static constexpr const char* kStates[] = {"restore", "GET MULTI", "SEND MULTI"};
        const int state = s.value % 3;
        char text[32];
        std::snprintf(text, sizeof text, "RESTORED SET %03u", static_cast<unsigned>(s.value) % 1000);
        const std::string name(text, 16);
        const size_t from = mark();
        if (state == 0) restoreProject(name);
        if (state == 1) setParam(kRequestTempData, 1);
        if (state == 2) setParam(kPushArrangement, 1);
        letLaneGo();
        settle();
        everyPartJob();
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        for (size_t i = from; i < wire.size(); ++i) {
          const Bytes& message = wire[i];
          EXPECT_FALSE(message.size() == 2 && message[0] == (0xC0 | kMultiChannel))
              << "the multi pick a " << kStates[state] << " overtook reached the instrument after it: program "
              << int(message[1]) << " (message " << i << ")";
        }
        const std::string plays = multiNameOf(instrument.multiBuffer());
        if (state == 0) {
          EXPECT_EQ(plays, name) << "the instrument plays the restored project's multi";
        } else if (state == 1) {
          EXPECT_EQ(plays, before) << "GET MULTI changes no multi the instrument plays";
        }
        break;
      }
      case Step::kOwnPickMeetsHeldPick: {
        // The host's pick of a part held between its bank select and its
        // program change while the instrument, its local control on, plays
        // the same pair on another part by its own knob and says so: the
        // pair is the other part's from then on, so the held pick's program
        // change is refused as it would leave. Not both play the pair: the
        // part keeps its older pick.
        settle();
        if (multiMode || !localOn || library || portOff() || rxOff() || conditions.hostFilter ||
            conditions.instrumentFilter)
          break;
        const auto index = static_cast<size_t>(std::find(std::begin(kParts), std::end(kParts), s.part) - std::begin(kParts));
        const int other = kParts[(index + 1 + static_cast<size_t>(s.bank % 2)) % std::size(kParts)];
        if (conditions.locked[static_cast<size_t>(s.part)] || conditions.locked[static_cast<size_t>(other)]) break;
        const int bank = m.bank;
        int prog = -1;
        for (int k = 0; k < kPrograms && prog < 0; ++k) {
          const int candidate = firstProgram(other) + (s.value + k) % kPrograms;
          if (candidate != m.program && !meets(s.part, bank, candidate)) prog = candidate;
        }
        if (prog < 0) break;
        const int otherBank = models[static_cast<size_t>(other)].bank;
        const size_t at = mark();
        holdLane(s.part, 2);
        hostEvents({{pc, static_cast<unsigned char>(prog)}});
        if (!laneHeld()) {
          // It never came to its program change's pause: a host pick as any other.
          letLaneGo();
          take(s.part, bank, prog, Road::kEditor, at);
          break;
        }
        size_t logged;
        {
          std::lock_guard<std::mutex> lock(logMutex);
          logged = gateLog.size();
        }
        const size_t own = mark();
        playOnInstrument(other, otherBank != bank ? std::optional<int>(bank) : std::nullopt, prog);
        injectPick(other, otherBank != bank, bank, prog);
        // The editor took the instrument's word once its record went through the gate.
        for (int i = 0; i < 5000 && !letGoSince(other, logged); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        take(other, bank, prog, Road::kOwn, own);
        letLaneGo();
        settle();
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        for (size_t i = at; i < wire.size(); ++i)
          EXPECT_FALSE(wire[i] == Bytes({pc, static_cast<unsigned char>(prog)}))
              << "part " << s.part + 1 << " was sent program " << prog << " (message " << i
              << ") after the instrument played it on part " << other + 1;
        break;
      }
      case Step::kTwoPartsOnePair: {
        // Two parts pick one pair at the same moment, one from the host, the
        // other in the window: at most one of them plays it (whichever's
        // program change went, as the wire shows); the other keeps its older
        // pick. Now and then the host's pick is held before its program
        // change as the window's comes: its bank select went first, so the
        // pair is its part's.
        settle();
        if (multiMode || library || portOff() || rxOff() || conditions.hostFilter) break;
        const auto index = static_cast<size_t>(std::find(std::begin(kParts), std::end(kParts), s.part) - std::begin(kParts));
        const int other = kParts[(index + 1 + static_cast<size_t>(s.bank % 2)) % std::size(kParts)];
        if (conditions.locked[static_cast<size_t>(s.part)] || conditions.locked[static_cast<size_t>(other)]) break;
        // The window's page picks the other part's program on its bank.
        const PartModel& o = models[static_cast<size_t>(other)];
        const int bank = o.bank;
        int prog = -1;
        for (int k = 0; k < kPrograms && prog < 0; ++k) {
          const int candidate = firstProgram(s.part) + (s.value + k) % kPrograms;
          if (!(m.bank == bank && m.program == candidate) && candidate != o.program && !meets(s.part, bank, candidate) &&
              !meets(other, bank, candidate))
            prog = candidate;
        }
        if (prog < 0) break;
        ByteList events;
        if (m.bank != bank) events = {{cc, 0, 0}, {cc, 32, static_cast<unsigned char>(64 + bank)}};
        events.push_back({pc, static_cast<unsigned char>(prog)});
        const size_t at = mark();
        const auto windowPick = [&] {
          plug->SetParameterFromGUI(kMultiPartPatch + other, param(kMultiPartPatch + other)->GetNormalized(prog));
        };
        bool held = s.value % 2 == 1;
        if (held) {
          holdLane(s.part, 2);
          hostEvents(events);
          held = laneHeld();
          windowPick();
          // The window's pick worked as far as it goes before the host's is let go.
          const auto worked = std::make_shared<std::atomic<bool>>(false);
          plug->midiMessageManager->picks.later(other, [worked] { *worked = true; });
          for (int i = 0; i < 5000 && !*worked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          letLaneGo();
        } else {
          std::atomic<bool> go{false};
          std::thread hostThread([&] {
            while (!go) std::this_thread::yield();
            hostEvents(events);
          });
          go = true;
          windowPick();
          hostThread.join();
        }
        settle();
        bool hostWent = false, windowWent = false;
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          for (size_t i = at; i < wire.size(); ++i) {
            hostWent = hostWent || wire[i] == Bytes({pc, static_cast<unsigned char>(prog)});
            windowWent = windowWent || wire[i] == Bytes({static_cast<unsigned char>(0xC0 | other), static_cast<unsigned char>(prog)});
          }
        }
        EXPECT_FALSE(hostWent && windowWent) << "parts " << s.part + 1 << " and " << other + 1 << " were both sent "
                                             << bank << "/" << prog;
        EXPECT_TRUE(hostWent || windowWent) << "neither part " << s.part + 1 << " nor part " << other + 1 << " was sent "
                                            << bank << "/" << prog << ", which no part played";
        if (held) {
          EXPECT_TRUE(hostWent) << "part " << s.part + 1 << ", whose bank select went first, plays " << bank << "/" << prog;
        }
        if (hostWent) take(s.part, bank, prog, Road::kEditor, at);
        else if (windowWent) take(other, bank, prog, Road::kEditor, at);
        break;
      }
      default: {
        // A condition changes at rest, as a user changes it between picks.
        settle();
        const bool locked = conditions.locked[static_cast<size_t>(s.part)];
        switch (s.kind) {
          case Step::kLock:
            conditions.locked[static_cast<size_t>(s.part)] = !locked;
            param(kPartLock + s.part)->Set(locked ? 0 : 1);
            break;
          case Step::kRxOff:
            // Set on the instrument too: its global dump says so when asked.
            // An edit that cannot reach it (the port gone, the cable out)
            // springs back: the switch in the window says what holds.
            plug->SetParameterFromGUI(kGlobalRxProgramChange, rxOff() ? 1.0 : 0.0);
            break;
          case Step::kHostFilter:
            conditions.hostFilter = !conditions.hostFilter;
            setParam(kMIDIFilterDAWPCPassThrough, conditions.hostFilter ? 0 : 1);
            // Now and then a pair the filter stops, the filter then off
            // again: nothing of that pair is left for the next.
            if (conditions.hostFilter && s.value % 2 == 0) {
              run(Step{Step::kHostWithBank, s.part, s.bank, s.value});
              settle();
              conditions.hostFilter = false;
              setParam(kMIDIFilterDAWPCPassThrough, 1);
            }
            break;
          case Step::kInstrumentFilter:
            conditions.instrumentFilter = !conditions.instrumentFilter;
            setParam(kMIDIFilterHWPCPassThrough, conditions.instrumentFilter ? 0 : 1);
            if (conditions.instrumentFilter && !localOn && s.value % 2 == 0) {
              run(Step{Step::kInstrumentWithBank, s.part, s.bank, s.value});
              settle();
              conditions.instrumentFilter = false;
              setParam(kMIDIFilterHWPCPassThrough, 1);
            }
            break;
          case Step::kPortGone:
            conditions.portGone = !conditions.portGone;
            if (conditions.portGone) backend->setOutGone(true);
            else portBack();
            answeredEver = answeredEver && !conditions.portGone;
            break;
          case Step::kUnplugged: {
            // The cable out: the port is there, nothing reaches the instrument.
            std::lock_guard<std::recursive_mutex> lock(wireMutex);
            conditions.unplugged = !conditions.unplugged;
            backend->setOutUnplugged(conditions.unplugged);
            // Nothing reaches the instrument: its silence may be searched.
            answeredEver = answeredEver && !conditions.unplugged;
            break;
          }
          case Step::kPortsUnset: {
            {
              std::lock_guard<std::recursive_mutex> lock(wireMutex);
              conditions.portsUnset = !conditions.portsUnset;
            }
            setPorts(!conditions.portsUnset);
            answeredEver = false;
            settle();
            break;
          }
          case Step::kEcho: {
            std::lock_guard<std::recursive_mutex> lock(wireMutex);
            conditions.echo = !conditions.echo;
            break;
          }
          case Step::kAnswers: {
            std::lock_guard<std::recursive_mutex> lock(wireMutex);
            // A multi picked in multi mode is known only by its answer: the
            // instrument there always answers, if late.
            conditions.answers = static_cast<Answers>(s.value);
            if (multiMode && conditions.answers == Answers::kNever) conditions.answers = Answers::kLate;
            answeredEver = answeredEver && conditions.answers != Answers::kNever;
            break;
          }
          default: break;
        }
      }
    }
  }

  // A part's request overtaken by a newer pick of the part while its reply
  // is on its way: held until the newer request has waited a while for it
  // (less than its reply time, as the clock stands still), then let go in
  // order with the newer one's: the earlier reply answers its own request
  // and is dropped, the part shows the newer pick's sound. Or lost: the
  // newer request leaves within one reply time of the newer pick's pauses.
  // Then the instrument sends a stale copy of the earlier reply, asked for
  // by nobody: nothing of it is taken, nor sent into the part by a switch.
  void overtakenReply(int part, int bank, int x, int y, bool lost, int letGoAt) {
    const Answers answers = conditions.answers;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = Answers::kAtOnce;
      holdReplies = true;
      heldReplies.clear();
    }
    startOvertaking(part, [this] {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      return !heldReplies.empty();
    });
    run(Step{Step::kHost, part, 0, x});
    Bytes stale;
    const bool held = waitHolding();
    if (held) {
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        stale = heldReplies.front();
      }
      if (lost) releaseHeldReplies(true);
      const size_t from = mark();
      run(Step{Step::kHost, part, 0, y});
      awaitNewerPick(part);
      {
        std::lock_guard<std::mutex> lock(overtakingMutex);
        overtaking.phase = 2;
        overtaking.actAt = lost ? 0 : letGoAt;
        overtaking.act = [this] { releaseHeldReplies(false); };
        overtaking.measuring = lost;
        overtaking.requestFrom = from;
        overtaking.ms = 0;
        overtakingChanged.notify_all();
      }
      settle();
    }
    endOvertaking();
    releaseHeldReplies(false);
    settle();
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = answers;
    }
    if (!held) return;
    if (lost) {
      const int tick = plug->getTimerValue();
      EXPECT_LE(overtaking.ms.load(), (kReplyTicks + 2) * tick)
          << "part " << part + 1 << ": its earlier request's reply lost, the newer request left after " << overtaking.ms.load()
          << " ms of its pauses (a reply time is " << kReplyTicks * tick << " ms)";
    }
    const std::string sound = storedName(bank, y);
    EXPECT_TRUE(namesIt(shownName(part), sound))
        << "part " << part + 1 << " names \"" << shownName(part) << "\", its newest pick's sound is \"" << sound << "\"";
    backend->inject(stale);
    settle();
    EXPECT_TRUE(namesIt(shownName(part), sound)) << "part " << part + 1 << " names \"" << shownName(part)
                                                 << "\" after a sound dump nobody asked for; it plays \"" << sound << "\"";
    const int other = part == kParts[0] ? kParts[1] : kParts[0];
    window->clickTab(kQuickTab, other);
    settle();
    window->clickTab(kQuickTab, part);
    settle();
    EXPECT_EQ(playing(part).name, sound) << "part " << part + 1 << " after a switch back to it";
  }
  // ---- Echoes.
  // A program of the part's own, not its current one, that no other part plays.
  std::optional<int> freeProgram(int part, int from, std::optional<int> besides = std::nullopt) const {
    const PartModel& m = models[static_cast<size_t>(part)];
    for (int k = 0; k < kPrograms; ++k) {
      const int prog = firstProgram(part) + (from + k) % kPrograms;
      if (prog != m.program && prog != besides && !meets(part, m.bank, prog)) return prog;
    }
    return std::nullopt;
  }
  bool echoRoadOpen(std::initializer_list<int> parts) {
    settle();
    if (multiMode || mode == Mode::kStepLibrary || portOff() || rxOff() || conditions.hostFilter) return false;
    for (int p : parts)
      if (conditions.locked[static_cast<size_t>(p)]) return false;
    return true;
  }
  // Program changes on the channel since the wire stood at `from`.
  std::vector<int> changesOn(int channel, size_t from) {
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    std::vector<int> programs;
    for (size_t i = from; i < wire.size(); ++i)
      if (wire[i].size() == 2 && wire[i][0] == (0xC0 | channel)) programs.push_back(wire[i][1]);
    return programs;
  }
  // Another part (or both others) moved onto the part's channel, the
  // instrument telling each program change back for every part on it (its
  // bank, then its program): the editor's change goes out once, and no
  // part's echo is answered (with local control off an answer would be told
  // back again, without end). Then the others go back to their channels and
  // to programs of their own.
  void sharedChannelEcho(const Step& s) {
    const auto index = static_cast<size_t>(std::find(std::begin(kParts), std::end(kParts), s.part) - std::begin(kParts));
    const int pair = kParts[(index + 1 + static_cast<size_t>(s.bank % 2)) % std::size(kParts)];
    const bool three = s.value % 2 == 0;
    // The host's change on the channel is its first part's pick.
    const int part = three ? kParts[0] : std::min(s.part, pair);
    std::vector<int> others;
    if (three) others.assign(std::begin(kParts) + 1, std::end(kParts));
    else others.push_back(std::max(s.part, pair));
    if (!echoRoadOpen({part, others.front(), others.back()})) return;
    const std::optional<int> prog = freeProgram(part, s.value);
    if (!prog) return;
    bool echoed;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      echoed = conditions.echo;
      conditions.echo = false;
      instrument.setReportsProgramChanges(true);
      for (int other : others) instrument.setPartChannel(other, part);
    }
    for (int other : others) plug->setParameterFromPlug(kMultiPartMIDICh + other, part + 2, false);
    const size_t at = mark();
    run(Step{Step::kHost, part, 0, *prog});
    settle();
    // The host's own change passes through beside the editor's.
    const std::vector<int> went = changesOn(part, at);
    EXPECT_TRUE(!went.empty() && went.size() <= 2 && std::count(went.begin(), went.end(), *prog) == std::ssize(went))
        << others.size() + 1 << " parts on the channel of part " << part + 1 << ", each telling the change to " << *prog
        << " back: " << went.size() << " program changes went, the last to " << (went.empty() ? -1 : went.back());
    // It took the bank select too: from here on it is on the first part's
    // pair, and a program change alone for it picks in that bank.
    const int bank = models[static_cast<size_t>(part)].bank;
    for (int other : others) {
      EXPECT_EQ(playing(other).program, *prog) << "part " << other + 1 << " took the change on its channel";
      EXPECT_EQ(playing(other).bank, bank) << "part " << other + 1 << " took the bank on its channel";
      take(other, bank, *prog, Road::kOwn, at);
      EXPECT_EQ(shownValue(kMultiPartBank + other), bank) << "the window's bank of part " << other + 1;
      EXPECT_EQ(shownValue(kMultiPartPatch + other), *prog) << "the window's program of part " << other + 1;
    }
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      instrument.setReportsProgramChanges(false);
      for (int other : others) instrument.setPartChannel(other, other);
      conditions.echo = echoed;
    }
    for (int other : others) plug->setParameterFromPlug(kMultiPartMIDICh + other, other + 2, false);
    // One at a time: two parts on one pair would refuse the second.
    for (int other : others) {
      if (const std::optional<int> back = freeProgram(other, s.value)) run(Step{Step::kHost, other, 0, *back});
      settle();
    }
  }
  // The editor sends the part two programs, their echoes lost; the user then
  // turns the instrument back to the first past that change's second: a
  // pick, answered (local control off) or shown (on). Within the second
  // (local control off, an even value) the report is taken for the change's
  // echo: nothing is answered, the part stays on the second program.
  void olderProgramBack(const Step& s) {
    if (!echoRoadOpen({s.part})) return;
    const std::optional<int> x = freeProgram(s.part, s.value);
    const std::optional<int> y = x ? freeProgram(s.part, s.value + 7, x) : std::nullopt;
    if (!y) return;
    bool echoed;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      echoed = conditions.echo;
      conditions.echo = false;
    }
    const int bank = models[static_cast<size_t>(s.part)].bank;
    // Each goes (the first not overtaken by the second), within the echoes'
    // time: the clock stands.
    run(Step{Step::kHost, s.part, 0, *x});
    settle(false);
    run(Step{Step::kHost, s.part, 0, *y});
    settle(false);
    const bool withinSecond = !localOn && s.value % 2 == 0;
    if (!withinSecond) now += 1001;
    const size_t at = mark();
    if (withinSecond) {
      reportPick(s.part, false, *x);
      settle();
      take(s.part, bank, *y, Road::kEditor, at);
      EXPECT_EQ(changesOn(s.part, at), std::vector<int>{})
          << "part " << s.part + 1 << ": a report within its change's second answered";
    } else if (localOn) {
      playOnInstrument(s.part, std::nullopt, *x);
      reportPick(s.part, false, *x);
      take(s.part, bank, *x, Road::kOwn, at);
      settle();
    } else {
      reportPick(s.part, false, *x);
      take(s.part, bank, *x, Road::kEditor, at);
      settle();
      EXPECT_EQ(changesOn(s.part, at), std::vector<int>{*x})
          << "part " << s.part + 1 << ": the instrument turned back to " << *x << " after " << *y << " went";
    }
    const int ends = withinSecond ? *y : *x;
    EXPECT_EQ(playing(s.part).program, ends) << "part " << s.part + 1 << " plays";
    EXPECT_TRUE(namesIt(shownName(s.part), storedName(bank, ends)))
        << "part " << s.part + 1 << " names \"" << shownName(s.part) << "\", it plays \"" << storedName(bank, ends) << "\"";
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    conditions.echo = echoed;
  }
  // Two or three host picks of the part (or nine), each going before the
  // next comes, to an instrument that tells each change back only once the
  // next went (or the nine went): the echoes arrive one at a time, after the
  // editor's next change, all within their second. Each is its change's
  // echo: nothing is answered, and the part ends on the last pick.
  void lateEchoes(const Step& s) {
    if (!echoRoadOpen({s.part})) return;
    const PartModel& m = models[static_cast<size_t>(s.part)];
    const bool nine = s.value % 4 == 0;
    std::vector<int> programs;
    for (int k = 0; k < kPrograms && programs.size() < (nine ? 9u : 2u + static_cast<size_t>(s.value % 2)); ++k) {
      const int prog = firstProgram(s.part) + (s.value + k) % kPrograms;
      if (prog != m.program && !meets(s.part, m.bank, prog) &&
          std::find(programs.begin(), programs.end(), prog) == programs.end())
        programs.push_back(prog);
    }
    if (programs.size() < 2) return;
    bool echoed;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      echoed = conditions.echo;
      conditions.echo = false;
      lateEchoChannel = s.part;
      echoesInFlight = nine ? 9 : 1;
      echoesHeld.clear();
    }
    const size_t at = mark();
    // Within the echoes' time: the clock stands.
    for (int prog : programs) {
      run(Step{Step::kHost, s.part, 0, prog});
      settle(false);
    }
    // The echoes still held come one at a time, each answered (or not) before the next.
    for (int left = 20; left > 0; --left) {
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        if (echoesHeld.empty()) break;
        late.push_back({0, echoesHeld.front()});
        echoesHeld.pop_front();
      }
      settle(false);
    }
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      lateEchoChannel = -1;
      echoesHeld.clear();
      conditions.echo = echoed;
    }
    // Each pick's own change (the host's passed on beside the editor's), none answered.
    std::vector<int> went = changesOn(s.part, at);
    const size_t count = went.size();
    went.erase(std::unique(went.begin(), went.end()), went.end());
    EXPECT_TRUE(went == programs && count <= 2 * programs.size())
        << "part " << s.part + 1 << ": " << count << " program changes went for " << programs.size()
        << " picks, echoes told late; the last to " << (went.empty() ? -1 : went.back());
    EXPECT_EQ(playing(s.part).program, programs.back()) << "part " << s.part + 1 << " plays";
    EXPECT_EQ(shownValue(kMultiPartPatch + s.part), programs.back()) << "the window's program of part " << s.part + 1;
  }
  // A program of the part's bank, other than the one it plays and stored
  // under another name, for a step whose answers come late; none where such
  // a step cannot run (it is then a plain GET SOUND).
  std::optional<int> programForLateAnswers(int part, int value) {
    const auto at = static_cast<size_t>(part);
    if (mode != Mode::kStepSynth || multiMode || portOff() || conditions.locked[at] || rxOff() || conditions.hostFilter ||
        conditions.answers == Answers::kNever)
      return std::nullopt;
    const PartModel& m = models[at];
    for (int k = 0; k < kPrograms; ++k) {
      const int prog = firstProgram(part) + (value + k) % kPrograms;
      if (prog != m.program && !meets(part, m.bank, prog) && storedName(m.bank, prog) != storedName(m.bank, m.program))
        return prog;
    }
    return std::nullopt;
  }
  // A part's request the instrument answers only after its time and its
  // search (the search's answer on its own ID too), held until the part's
  // newer pick's request reaches it: then the late answers come, in order
  // before the newer one's. The part ends on the newer pick's sound, which
  // the window names, and a switch sends nothing else into it.
  void pastTimeReply(int part, int value) {
    settle();
    const std::optional<int> y = programForLateAnswers(part, value);
    if (!y) return run(Step{Step::kGetSound, part});
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      holdReplies = true;
      heldReplies.clear();
    }
    run(Step{Step::kGetSound, part});
    // Its job searched and gave up, every answer held.
    MIDIMessageManager& manager = *plug->midiMessageManager;
    for (int i = 0; i < 10000 && !(manager.atRest() && manager.picks.repliesAwaited() == 0); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      holdReplies = false;
      releaseAtRequestOf = part;
    }
    answeredEver = false;  // the search ran
    run(Step{Step::kHost, part, 0, *y});
    settle();
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      releaseAtRequestOf = -1;
      for (Bytes& reply : heldReplies) late.push_back({0, reply});
      heldReplies.clear();
    }
    settle();
    expectShownAsPlayed(part, "a reply past its time");
  }
  // Straight after a road whose answers may be taken wrongly (a later step
  // of the part would hide it): the window names what the part plays, or
  // nothing, and a switch to the part sends it nothing else.
  void expectShownAsPlayed(int part, const char* road) {
    const std::string plays = playing(part).name;
    EXPECT_TRUE(namesIt(shownName(part), plays))
        << "part " << part + 1 << " after " << road << ": the window names \"" << shownName(part) << "\", it plays \"" << plays << "\"";
    const int current = plug->currentPart;
    window->clickTab(kQuickTab, part == kParts[0] ? kParts[1] : kParts[0]);
    settle(false);
    window->clickTab(kQuickTab, part);
    settle(false);
    if (current != part) window->clickTab(kQuickTab, current);
    settle(false);
    EXPECT_EQ(playing(part).name, plays) << "part " << part + 1 << " after " << road << ", then a switch to it";
  }
  // The instrument on another device ID. A part's program change asks for
  // its sound on the editor's ID, unheard, and searches; the clock moves with
  // the part's pauses, so the search's request on the instrument's ID leaves
  // past the pick's own reply time. Either the user picks again as the
  // search's answer is on its way (it comes three pauses after the newer
  // pick's program change went, 300 ms at the default timer): it
  // answers the older request, never the newer, and the part ends on the
  // newer pick's sound. Or nothing overtakes it: it is the pick's own
  // answer, however late, and the window names that sound.
  void searchLateAnswer(int part, int value) {
    const auto at = static_cast<size_t>(part);
    if (mode != Mode::kStepSynth || multiMode || portOff() || conditions.locked[at] || rxOff() || conditions.hostFilter ||
        conditions.echo)
      return run(Step{Step::kPause, part, 0, value});
    settle();
    const int bank = models[at].bank;
    const std::string plays = playing(part).name;
    std::vector<int> picks;  // two programs, each sounding unlike the part now and the other
    for (int k = 0; k < kPrograms && picks.size() < 2; ++k) {
      const int prog = firstProgram(part) + (value + k) % kPrograms;
      const std::string name = storedName(bank, prog);
      if (prog == models[at].program || meets(part, bank, prog) || name == plays ||
          (!picks.empty() && name == storedName(bank, picks[0])))
        continue;
      picks.push_back(prog);
    }
    if (picks.size() < 2) return;
    const bool overtaken = value % 2 == 0;
    // Past the reply time: the search reaches ID n at its tick 25 + n of 30.
    int id = 8 + value % 100;
    if (id == kDeviceId) ++id;
    const Answers answers = conditions.answers;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = Answers::kAtOnce;
      holdReplies = overtaken;
      heldReplies.clear();
    }
    instrument.setDeviceId(id);
    answeredEver = false;
    {
      std::lock_guard<std::mutex> lock(timedMutex);
      timed = TimedLane{};
      timed.lane = part;
    }
    size_t newerFrom = 0;
    const auto pickOf = [&](int prog) {
      newerFrom = mark();
      hostEvents({{static_cast<unsigned char>(0xC0 | part), static_cast<unsigned char>(prog)}});
      plug->midiSendThread->flush();
      take(part, bank, prog, Road::kEditor, newerFrom);
    };
    const auto changeWent = [&] {
      const Bytes change{static_cast<unsigned char>(0xC0 | part), static_cast<unsigned char>(picks[1])};
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      return std::find(wire.begin() + static_cast<std::ptrdiff_t>(newerFrom), wire.end(), change) != wire.end();
    };
    const auto searchedThere = [&] {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      return std::any_of(wire.begin(), wire.end(), [&](const Bytes& m) {
        return m.size() == 8 && m[3] == id && m[4] == 0x00 && m[5] == 0x30 && m[6] == part;
      });
    };
    pickOf(picks[0]);
    bool started = false, newer = false, released = !overtaken;
    int pausesSince = 0;
    for (;;) {
      const Stop stop = awaitTimedLane(!started || (newer && !released));
      started = started || stop != Stop::kNone;
      plug->midiSendThread->flush();
      pump();
      if (overtaken && !newer && searchedThere()) {
        pickOf(picks[1]);
        newer = true;
      } else if (newer && !released && stop == Stop::kPause && changeWent() && ++pausesSince >= 3) {
        releaseHeldReplies(false);
        released = true;
      }
      if (stop == Stop::kNone) break;
      if (stop == Stop::kPause) {
        std::lock_guard<std::mutex> lock(timedMutex);
        now += static_cast<uint32_t>(timed.ms);
      }
      letTimedLaneGo();
    }
    {
      std::lock_guard<std::mutex> lock(timedMutex);
      timed.lane = -1;
      timedChanged.notify_all();
    }
    releaseHeldReplies(false);
    settle();
    expectShownAsPlayed(part, "a search's late answer");
    if (!overtaken) {
      EXPECT_EQ(shownName(part), storedName(bank, picks[0]))
          << "part " << part + 1 << ": the search found the instrument on ID " << id << "; its answer is the pick's own";
    }
    instrument.setDeviceId(kDeviceId);
    param(kGlobalSysExID)->Set(kDeviceId);
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    conditions.answers = answers;
  }
  // A part's sound asked for and answered at once; the instrument sends the
  // answer again once the part's next request (a newer pick's) reached it,
  // before that one's answer. The copy is the older answer, never the
  // newer's: the part ends on the newer pick's sound.
  void copyAfterNewer(int part, int value) {
    settle();
    const auto at = static_cast<size_t>(part);
    if (mode == Mode::kStepLibrary || multiMode || portOff() || conditions.locked[at] || rxOff() || conditions.hostFilter ||
        conditions.answers == Answers::kNever)
      return run(Step{Step::kGetSound, part});
    const Answers answers = conditions.answers;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = Answers::kAtOnce;
      copiesLag = true;
      heldReplies.clear();
    }
    run(Step{Step::kGetSound, part});
    settle(false);
    const PartModel& m = models[at];
    std::optional<int> y;
    for (int k = 0; k < kPrograms && !y; ++k) {
      const int prog = firstProgram(part) + (value + k) % kPrograms;
      if (prog != m.program && !meets(part, m.bank, prog) && storedName(m.bank, prog) != playing(part).name) y = prog;
    }
    if (y) {
      const size_t from = mark();
      hostEvents({{static_cast<unsigned char>(0xC0 | part), static_cast<unsigned char>(*y)}});
      take(part, m.bank, *y, Road::kEditor, from);
      // Stepping the instrument the pick asks for its sound; else the user does.
      if (mode != Mode::kStepSynth) {
        settle(false);
        Pick pick;
        pick.work = Pick::Work::kRequest;
        pick.slot = part;
        plug->midiMessageManager->picks.pick(pick);
      }
      settle(false);
    }
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      copiesLag = false;
      heldReplies.clear();
    }
    if (y) expectShownAsPlayed(part, "a copy of the older answer");
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    conditions.answers = answers;
  }
  // A GET SOUND of the part overtaken by a newer pick, its answer held; the
  // newer pick's answers held too, then let go once its wait is over, or
  // lost. Neither is the newer request's answer: the window names what the
  // part plays or nothing, and a switch sends the part nothing.
  void bothLate(int part, int value) {
    settle();
    const std::optional<int> y = programForLateAnswers(part, value);
    if (!y) return run(Step{Step::kGetSound, part});
    const auto held = [this] {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      return heldReplies.size();
    };
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      holdReplies = true;
      heldReplies.clear();
    }
    run(Step{Step::kGetSound, part});
    for (int i = 0; i < 5000 && held() == 0; ++i) {
      pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const size_t older = held();
    answeredEver = false;  // the newer request hears nothing: it searches
    run(Step{Step::kHost, part, 0, *y});
    settle();
    const bool newerLost = value % 2 != 0;
    if (newerLost) {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      heldReplies.resize(std::min(older, heldReplies.size()));
    }
    releaseHeldReplies(false);
    settle();
    expectShownAsPlayed(part, newerLost ? "an older answer late, the newer lost" : "both answers late");
  }
  // The instrument on another device ID: a part's pick searches for it, and
  // another part's pick comes as the search runs. That one's request
  // searches too, or asks again on the ID found: both parts end named with
  // their picks' sounds.
  void searchOtherPart(int part, int value) {
    const int other = part == kParts[0] ? kParts[1] : kParts[0];
    const auto open = [&](int p) {
      return !conditions.locked[static_cast<size_t>(p)];
    };
    if (mode != Mode::kStepSynth || multiMode || portOff() || !open(part) || !open(other) || rxOff() ||
        conditions.hostFilter || conditions.echo)
      return run(Step{Step::kPause, part, 0, value});
    settle();
    const auto freePick = [&](int p) -> std::optional<int> {
      const PartModel& pm = models[static_cast<size_t>(p)];
      for (int k = 0; k < kPrograms; ++k) {
        const int prog = firstProgram(p) + (value + k) % kPrograms;
        if (prog != pm.program && !meets(p, pm.bank, prog) && storedName(pm.bank, prog) != playing(p).name) return prog;
      }
      return std::nullopt;
    };
    const std::optional<int> x = freePick(part), y = freePick(other);
    if (!x || !y) return;
    int id = 8 + value % 100;
    if (id == kDeviceId) ++id;
    const Answers answers = conditions.answers;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = Answers::kAtOnce;
    }
    instrument.setDeviceId(id);
    answeredEver = false;
    const auto searching = [&] {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      return std::any_of(wire.begin(), wire.end(), [&](const Bytes& msg) {
        return msg.size() == 8 && msg[3] != kDeviceId && msg[4] == 0x00 && msg[5] == 0x30 && msg[6] == part;
      });
    };
    run(Step{Step::kHost, part, 0, *x});
    for (int i = 0; i < 10000 && !searching(); ++i) {
      pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    run(Step{Step::kHost, other, 0, *y});
    settle();
    for (int p : {part, other}) {
      const PartModel& pm = models[static_cast<size_t>(p)];
      EXPECT_EQ(shownName(p), storedName(pm.bank, pm.program))
          << "part " << p + 1 << " after another part's pick during a device-ID search on ID " << id;
    }
    instrument.setDeviceId(kDeviceId);
    param(kGlobalSysExID)->Set(kDeviceId);
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    conditions.answers = answers;
  }
  // Library requests beside the parts' picks (neither stepping the library
  // nor in multi mode): what each slot must hold is the instrument's program
  // of that number when its request was answered, else what it held.
  void libraryRoad(const Step& s) {
    if (mode == Mode::kStepLibrary || multiMode) return;
    settle();
    const bool answering = !portOff() && conditions.answers != Answers::kNever;
    const Answers answers = conditions.answers;
    const auto answer = [&](Answers a) {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = a;
    };
    const int other = s.part == kParts[0] ? kParts[1] : kParts[0];
    switch (s.kind) {
      case Step::kLibraryBothKinds: {
        // One of each kind, the second answered late (past its first poll):
        // it reads its own record, not the first's.
        for (const bool multiKind : {s.bank % 2 == 0, s.bank % 2 != 0}) {
          const bool second = multiKind != (s.bank % 2 == 0);
          if (second && answering) answer(s.value % 3 == 0 ? Answers::kVeryLate : Answers::kLate);
          const int slot = (multiKind ? 60 : 90) + (s.value + (second ? 3 : 0)) % 10;
          if (multiKind) {
            setParam(kDatatype, 1);
            const Bytes before = librarySlotDump(*plug, true, slot);
            requestIntoLibrarySlot(*plug, true, slot, 0);
            settle(false);
            multiSlotsAsked[slot] = answering ? instrument.storedMulti(slot) : before;
            setParam(kDatatype, 0);
          } else {
            requestIntoLibrarySlot(*plug, false, slot, s.bank);
            run(Step{Step::kHost, other, 0, firstProgram(other) + s.value % kPrograms});
            settle();
            if (answering) libraryNames[static_cast<size_t>(slot)] = storedName(s.bank, slot);
            librarySlotsAsked.push_back(slot);
          }
          answer(answers);
        }
        break;
      }
      case Step::kLibraryBank: {
        // A whole bank, each answer sent again once the next program is
        // asked for: slot n holds program n.
        if (portOff()) break;
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          conditions.answers = Answers::kAtOnce;
          copiesLag = true;
          heldReplies.clear();
        }
        plug->midiMessageManager->sendAllPatchRequestSysexFromLibrarian(s.bank);
        settle(false);
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          copiesLag = false;
          heldReplies.clear();
          conditions.answers = answers;
        }
        settle();
        for (int slot = 0; slot < 100; ++slot) {
          libraryNames[static_cast<size_t>(slot)] = storedName(s.bank, slot);
          librarySlotsAsked.push_back(slot);
        }
        libraryRewritten = true;
        break;
      }
      case Step::kLibraryRefused: {
        // No slot selected: refused as it starts, it leaves nothing armed to
        // swallow what the instrument says next.
        const int target = plug->patchLibrarian->targetSlot, selected = plug->librarianView()->selectedUpper;
        plug->patchLibrarian->targetSlot = -1;
        plug->librarianView()->selectedUpper = -1;
        plug->midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(false, s.bank);
        settle();
        // The user selects a slot again.
        plug->patchLibrarian->targetSlot = target;
        plug->librarianView()->selectedUpper = selected;
        if (conditions.portsUnset) break;
        const int part = plug->currentPart;
        constexpr int kDetunePosition = 3;
        const int knob = shownValue(kOscillator1Detune + part) == 50 ? 51 : 50;
        backend->inject(instrument.turnSoundKnob(part, kDetunePosition, knob));
        settle();
        EXPECT_EQ(shownValue(kOscillator1Detune + part), knob)
            << "part " << part + 1 << " follows the instrument's knob after a refused library request";
        break;
      }
      case Step::kLibraryLateStored: {
        // The slot numbered as a part: its stored program's answer comes only
        // after the request timed out, as that part's own request reaches
        // the instrument. It is no part's answer.
        const int part = s.part;
        if (!answering) break;
        std::optional<int> bank;
        for (int k = 0; k < 3 && !bank; ++k)
          if (storedName((s.bank + k) % 3, part) != playing(part).name) bank = (s.bank + k) % 3;
        if (!bank) break;
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          conditions.answers = Answers::kAtOnce;
          holdReplies = true;
          heldReplies.clear();
        }
        requestIntoLibrarySlot(*plug, false, part, *bank);
        settle(false);
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          holdReplies = false;
          // Its first answer late, the rest (to its repeats) lost.
          if (heldReplies.size() > 1) heldReplies.resize(1);
          releaseAtRequestOf = part;
        }
        run(Step{Step::kGetSound, part});
        settle();
        {
          std::lock_guard<std::recursive_mutex> lock(wireMutex);
          releaseAtRequestOf = -1;
          heldReplies.clear();
          conditions.answers = answers;
        }
        expectShownAsPlayed(part, "a stored program's late answer");
        break;
      }
      default: break;
    }
  }
  // The editor holds the sound a part plays (asked for); a program change
  // goes out, its pick then overtaken by a request whose reply is lost: the
  // part plays the program's stored sound, which the editor does not hold,
  // so a switch back to the part sends it nothing.
  void heldSoundOvertaken(int part, int value) {
    settle();
    const auto at = static_cast<size_t>(part);
    if (mode == Mode::kStepLibrary || multiMode || portOff() || conditions.locked[at] || rxOff() || conditions.hostFilter) return;
    const Answers answers = conditions.answers;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = Answers::kAtOnce;
    }
    run(Step{Step::kGetSound, part});
    settle();
    const PartModel& m = models[at];
    const std::string holds = playing(part).name;
    std::optional<int> y;
    for (int k = 0; k < kPrograms && !y; ++k) {
      const int prog = firstProgram(part) + (value + k) % kPrograms;
      if (prog != m.program && !meets(part, m.bank, prog) && storedName(m.bank, prog) != holds) y = prog;
    }
    const int bank = m.bank;
    bool held = false;
    const int other = part == kParts[0] ? kParts[1] : kParts[0];
    if (y) {
      const size_t from = mark();
      const Bytes change{static_cast<unsigned char>(0xC0 | part), static_cast<unsigned char>(*y)};
      startOvertaking(part, [this, from, change] {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        return std::find(wire.begin() + static_cast<std::ptrdiff_t>(from), wire.end(), change) != wire.end();
      }, true);
      run(Step{Step::kHost, part, 0, *y});
      held = waitHolding();
    }
    if (held) {
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        holdReplies = true;
        heldReplies.clear();
      }
      Pick pick;
      pick.work = Pick::Work::kRequest;
      pick.slot = part;
      plug->midiMessageManager->picks.pick(pick);
      models[at].burst = true;
      awaitNewerPick(part);
      // Meanwhile another part's stale dump comes: the instrument is there,
      // its silence is not searched.
      Bytes otherDump;
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        for (SimBytes& reply : instrument.receive({0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, static_cast<unsigned char>(other), 0xF7}))
          if (reply.size() > 9) otherDump = reply;
      }
      {
        std::lock_guard<std::mutex> lock(overtakingMutex);
        overtaking.phase = 2;
        overtaking.actAt = 5;
        overtaking.act = [this, otherDump] {
          if (!otherDump.empty()) backend->inject(otherDump);
        };
        overtakingChanged.notify_all();
      }
      settle();
    }
    endOvertaking();
    releaseHeldReplies(true);
    settle();
    if (held) {
      window->clickTab(kQuickTab, other);
      settle();
      window->clickTab(kQuickTab, part);
      settle();
      EXPECT_EQ(playing(part).name, storedName(bank, *y))
          << "part " << part + 1 << " after a switch back to it: its program change went, the editor's copy is no longer what it plays";
      // The request lost, the window names no sound before the change:
      // judged with every part once the sequence settles.
    }
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    conditions.answers = answers;
  }
  void startOvertaking(int part, std::function<bool()> holdAt, bool inSleep = false) {
    std::lock_guard<std::mutex> lock(overtakingMutex);
    overtaking.inSleep = inSleep;
    overtaking.slot = part;
    overtaking.phase = 1;
    overtaking.holdAt = std::move(holdAt);
    overtaking.holding = false;
    overtaking.pauses = overtaking.actAt = 0;
    overtaking.act = nullptr;
    overtaking.measuring = false;
    overtaking.ms = 0;
  }
  bool waitHolding() {
    std::unique_lock<std::mutex> lock(overtakingMutex);
    return overtakingChanged.wait_for(lock, std::chrono::seconds(10), [this] { return overtaking.holding; });
  }
  // The held pick no longer the part's newest.
  void awaitNewerPick(int part) {
    uint32_t heldCount;
    {
      std::lock_guard<std::mutex> lock(overtakingMutex);
      heldCount = overtaking.heldCount;
    }
    for (int i = 0; i < 5000 && plug->midiMessageManager->picks.current(part).count() == heldCount; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void endOvertaking() {
    std::lock_guard<std::mutex> lock(overtakingMutex);
    overtaking.phase = 0;
    overtaking.slot = -1;
    overtaking.act = nullptr;
    overtaking.holdAt = nullptr;
    overtakingChanged.notify_all();
  }
  // The held replies let go in the order they were sent, or lost.
  void releaseHeldReplies(bool lost) {
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    if (!lost)
      for (Bytes& reply : heldReplies) late.push_back({0, reply});
    heldReplies.clear();
    holdReplies = false;
  }
  // On a job's thread, at each pause of a pick: the held part's pick waits at
  // its first pause once the wire shows what the step waits for; then the
  // newer pick's pauses are counted (and, measured, their time until its
  // request reaches the instrument).
  // The same for a pick's pacing after its messages, which has no ticket:
  // the part's newest pick is the one pacing.
  void overtakingSleep() {
    std::unique_lock<std::mutex> lock(overtakingMutex);
    Overtaking& o = overtaking;
    if (o.phase != 1 || !o.inSleep || o.holding) return;
    pump();
    if (!o.holdAt || !o.holdAt()) return;
    o.holding = true;
    o.heldCount = plug->midiMessageManager->picks.current(o.slot).count();
    overtakingChanged.notify_all();
    overtakingChanged.wait_for(lock, std::chrono::seconds(10), [&] { return o.phase != 1; });
    o.holding = false;
  }
  void overtakingPause(const PickTicket& t, bool newest) {
    std::unique_lock<std::mutex> lock(overtakingMutex);
    Overtaking& o = overtaking;
    if (t.slot() != o.slot || !newest) return;
    if (o.phase == 1 && !o.inSleep) {
      pump();
      if (!o.holdAt || !o.holdAt()) return;
      o.holding = true;
      o.heldCount = t.count();
      overtakingChanged.notify_all();
      overtakingChanged.wait_for(lock, std::chrono::seconds(10), [&] { return o.phase != 1; });
      o.holding = false;
      return;
    }
    if (o.phase != 2 || t.count() == o.heldCount) return;
    if (++o.pauses == o.actAt && o.act) o.act();
    if (!o.measuring) return;
    pump();
    std::lock_guard<std::recursive_mutex> wireLock(wireMutex);
    const bool asked = std::any_of(wire.begin() + static_cast<std::ptrdiff_t>(std::min(o.requestFrom, wire.size())), wire.end(),
                                   [&](const Bytes& m) {
                                     return m.size() == 8 && m[3] == kDeviceId && m[4] == 0x00 && m[5] == 0x30 && m[6] == o.slot;
                                   });
    if (asked) o.measuring = false;
    else tWatchedPause = true;
  }

  // ---- One part's pauses on the test's clock. The part's lane stops at each
  // of its pauses (and, when asked, just before one begins) until the test
  // lets it go, the clock then moved on by the pause: what the lane sends
  // between two stops reaches the instrument at the clock's time then.
  enum class Stop { kNone, kBefore, kPause };
  struct TimedLane {
    int lane = -1;        // the part whose pauses take time; -1 none
    int holdBefore = -1;  // it stops before its first pause from this one on (from 0); -1 never
    int pauses = 0;       // pauses begun on the lane
    Stop at = Stop::kNone;
    int ms = 0;  // of the pause it stopped in
    bool go = false;
  };
  // On the timed lane's thread: stops it there until the test lets it go
  // (true); false on any other thread.
  bool timedStop(Stop at, int ms) {
    const int lane = PartPicks::currentLane();
    if (lane < 0) return false;
    std::unique_lock<std::mutex> lock(timedMutex);
    if (lane != timed.lane) return false;
    if (at == Stop::kBefore) {
      if (timed.holdBefore < 0 || timed.pauses < timed.holdBefore) return true;
      timed.holdBefore = -1;
    } else {
      ++timed.pauses;
    }
    timed.at = at;
    timed.ms = ms;
    timed.go = false;
    timedChanged.notify_all();
    timedChanged.wait_for(lock, std::chrono::seconds(10), [&] { return timed.go || timed.lane != lane; });
    timed.at = Stop::kNone;
    return true;
  }
  // Where the timed lane stopped, once it did; kNone once every lane rests
  // (with work still to come, once that came or a bound passed).
  Stop awaitTimedLane(bool workToCome) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      const bool idle = plug->midiMessageManager->picks.lanesIdle();
      const auto waited = std::chrono::steady_clock::now() - start;
      std::unique_lock<std::mutex> lock(timedMutex);
      const auto stopped = [&] { return timed.at != Stop::kNone && !timed.go; };
      if (stopped()) return timed.at;
      if (idle && (!workToCome || waited > std::chrono::seconds(2))) return Stop::kNone;
      if (timedChanged.wait_for(lock, std::chrono::microseconds(200), stopped)) return timed.at;
      if (waited > std::chrono::seconds(10)) {
        ADD_FAILURE() << "part " << timed.lane + 1 << "'s work neither paused nor ended";
        return Stop::kNone;
      }
    }
  }
  void letTimedLaneGo() {
    std::lock_guard<std::mutex> lock(timedMutex);
    timed.go = true;
    timedChanged.notify_all();
  }

  // A newer pick of a part while an older one's work paces itself, its
  // pauses on the test's clock: the older one's pauses begun before the newer
  // pick came may run out, yet none begins after it, and a device-ID search
  // it began (the instrument silent) stops. So the newer pick's first message
  // reaches the instrument no later than those pauses' end, with a search
  // request at most between.
  void newerPickAmidPauses(const Step& s, bool silent) {
    settle();
    const int part = s.part;
    const auto at = static_cast<size_t>(part);
    const bool library = mode == Mode::kStepLibrary;
    // The newer pick is the host's, one that goes, with nothing of its own
    // before its first message; the instrument says nothing of its own.
    if (portOff() || conditions.echo || conditions.hostFilter || conditions.locked[at] || (!library && rxOff())) return;
    // The older pick: a request of the part's sound, or the host's pick.
    const bool request = silent || rng() % 2 == 0;
    const int pauseAt = static_cast<int>(rng() % 5);  // the newer pick comes at the older one's pause of this number
    const bool before = !silent && rng() % 2 == 0;    // before it begins, else amid it
    const size_t searched = 1 + rng() % 6;            // search requests before the newer pick
    const int bankA = s.bank, programA = firstProgram(part) + s.value % kPrograms;
    const int bankB = static_cast<int>(rng() % 3);
    int programB = firstProgram(part) + static_cast<int>(rng() % kPrograms);
    for (int i = 0; i < kPrograms && meets(part, bankB, programB); ++i)
      programB = firstProgram(part) + (programB - firstProgram(part) + 1) % kPrograms;
    const auto cc = static_cast<unsigned char>(0xB0 | part), pc = static_cast<unsigned char>(0xC0 | part);
    const auto requestOfPart = [part](const Bytes& b) { return b.size() == 8 && b[4] == 0x00 && b[5] == 0x30 && b[6] == part; };
    const Answers answers = conditions.answers;
    const auto answer = [&](Answers a) {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      conditions.answers = a;
    };
    if (silent) {
      answer(Answers::kNever);
      answeredEver = false;
    }
    {
      std::lock_guard<std::mutex> lock(timedMutex);
      timed = TimedLane{};
      timed.lane = part;
      timed.holdBefore = before ? pauseAt : -1;
    }
    const size_t startAt = mark();
    if (request) {
      Pick pick;
      pick.work = Pick::Work::kRequest;
      pick.slot = part;
      plug->midiMessageManager->picks.pick(pick);
      models[at].burst = true;
    } else {
      hostEvents({{cc, 0, 0}, {cc, 32, static_cast<unsigned char>(64 + bankA)}, {pc, static_cast<unsigned char>(programA)}});
      plug->midiSendThread->flush();
      take(part, bankA, programA, Road::kEditor, startAt);
    }
    std::vector<std::pair<size_t, uint32_t>> stamps;  // the wire's length at each stop, and the clock then
    uint32_t clock = 0, pickedAt = 0, allowed = 0;
    std::optional<size_t> newerAt;
    bool answering = !silent, newerWent = false;
    for (;;) {
      const Stop stop = awaitTimedLane(newerAt && !newerWent && !meets(part, bankB, programB));
      plug->midiSendThread->flush();
      pump();
      int ms, pauses;
      {
        std::lock_guard<std::mutex> lock(timedMutex);
        ms = timed.ms;
        pauses = timed.pauses;
      }
      size_t length, requests = 0;
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        length = wire.size();
        for (size_t i = startAt; i < length; ++i) {
          requests += requestOfPart(wire[i]);
          newerWent = newerWent || (newerAt && i >= *newerAt && !requestOfPart(wire[i]));
        }
      }
      stamps.emplace_back(length, clock);
      // Silent until the newer pick went: its own request is answered.
      if (!answering && newerWent) {
        answer(answers);
        answering = true;
      }
      if (!newerAt && (stop != Stop::kPause || (silent ? requests > searched : !before && pauses == pauseAt + 1))) {
        const uint32_t into = stop == Stop::kPause && ms > 0 ? static_cast<uint32_t>(rng() % static_cast<unsigned>(ms)) : 0;
        pickedAt = clock + into;
        allowed = clock + (stop == Stop::kPause ? static_cast<uint32_t>(ms) : 0);
        {
          std::lock_guard<std::mutex> lock(timedMutex);
          timed.holdBefore = -1;
        }
        newerAt = mark();
        hostEvents({{cc, 0, 0}, {cc, 32, static_cast<unsigned char>(64 + bankB)}, {pc, static_cast<unsigned char>(programB)}});
        plug->midiSendThread->flush();
        take(part, bankB, programB, Road::kEditor, *newerAt);
        if (stop == Stop::kNone) continue;  // its work is on the lane now
      }
      if (stop == Stop::kNone) break;
      if (stop == Stop::kPause) clock += static_cast<uint32_t>(ms);
      letTimedLaneGo();
    }
    {
      std::lock_guard<std::mutex> lock(timedMutex);
      timed.lane = -1;
      timedChanged.notify_all();
    }
    if (!answering) answer(answers);
    if (!newerAt || meets(part, bankB, programB)) return;
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    std::optional<size_t> first;
    size_t searches = 0;
    for (size_t i = *newerAt; i < wire.size() && !first; ++i) {
      if (requestOfPart(wire[i])) ++searches;
      else first = i;
    }
    EXPECT_TRUE(first) << "part " << part + 1 << "'s newer pick sent nothing";
    if (!first) return;
    uint32_t sentAt = clock;
    for (const auto& [length, time] : stamps) {
      if (length <= *first) continue;
      sentAt = time;
      break;
    }
    if (std::getenv("TARNIVEX_PICK_TRACE"))
      std::fprintf(stderr, "newer pick at %u ms (older pauses to %u ms), its first message (%zu) at %u ms, %zu requests between\n",
                   pickedAt, allowed, *first, sentAt, searches);
    EXPECT_LE(sentAt, allowed) << "part " << part + 1 << "'s newer pick came at " << pickedAt
                               << " ms; its first message reached the instrument at " << sentAt
                               << " ms, past the end of the older pick's pauses begun before it (" << allowed << " ms)";
    EXPECT_LE(searches, 1u) << searches << " requests for part " << part + 1
                            << " reached the instrument between its newer pick and that pick's first message";
  }

  // The port back: the editor opens it again (in its own time) and, once it
  // noticed it gone, sends the instrument the project again, a job for every
  // part, as the wire shows.
  void portBack() {
    const size_t at = mark();
    backend->setOutGone(false);
    for (int i = 0; i < 5000 && plug->isOutPortGone(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    settle();
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    if (std::any_of(wire.begin() + static_cast<std::ptrdiff_t>(at), wire.end(),
                    [](const Bytes& m) { return m.size() == 207 && m[4] == 0x14; }))
      everyPartJob();
  }
  void restore() {
    ByteChunk chunk;
    ASSERT_TRUE(plug->SerializeState(&chunk));
    ASSERT_GT(plug->UnserializeState(&chunk, 0), 0);
  }
  // The host restores a project the test wrote: the instance's own, its
  // multi named as the test says (16 characters).
  void restoreProject(const std::string& multiName) {
    ByteChunk saved;
    ASSERT_TRUE(plug->SerializeState(&saved));
    const unsigned char* bytes = saved.Data();
    const int size = saved.Size();
    // The names follow two block markers, the snapshot's length (big-endian)
    // and the snapshot; the multi's comes first, its length before it.
    const auto word = [&](int at) {
      uint32_t value;
      std::memcpy(&value, bytes + at, sizeof value);
      return value;
    };
    int at = -1;
    for (int i = 4; at < 0 && i + 16 <= size; ++i) {
      if (word(i) != 0x01000000u || word(i + 4) != 0x01000000u) continue;
      const int64_t nameAt = i + 12 + static_cast<int64_t>(__builtin_bswap32(word(i + 8)));
      if (nameAt + 4 > size) continue;
      const auto length = static_cast<int32_t>(word(static_cast<int>(nameAt)));
      if (length >= 0 && length <= 16 && nameAt + 4 + length <= size) at = static_cast<int>(nameAt);
    }
    ASSERT_GE(at, 0) << "the project's multi name";
    const int after = at + 4 + static_cast<int>(word(at));
    ByteChunk project;
    project.AppendBytes(bytes, at);
    const auto length = static_cast<int32_t>(multiName.size());
    project.AppendValue(&length);
    project.AppendBytes(multiName.data(), length);
    project.AppendBytes(bytes + after, size - after);
    ASSERT_GT(plug->UnserializeState(&project, 0), 0);
  }
  static std::string multiNameOf(const Bytes& multi) { return std::string(multi.begin() + 23, multi.begin() + 39); }
  bool letGoSince(int slot, size_t from) {
    std::lock_guard<std::mutex> lock(logMutex);
    for (size_t i = from; i < gateLog.size(); ++i)
      if (gateLog[i].slot == slot && !gateLog[i].arrival) return true;
    return false;
  }
  // What the status lines said after a pick, for a failure's account.
  void noteStatus() {
    const auto text = [](ITextControl* line) { return line ? line->GetText() : std::string(); };
    statusSeen.push_back(text(plug->paramNameDisplay) + " / " + text(plug->paramValueDisplay));
  }
  // Whether the program menu opened for the click (and so took the pick).
  bool pickOnTopBar(int program) {
    const IRECT& r = *plug->librarianBrowser->programNumberMenu->GetRECT();
    const IControl* hit = window->gui()->GetMouseControlIdx((r.L + r.R) / 2, (r.T + r.B) / 2);
    if (std::getenv("TARNIVEX_PICK_TRACE"))
      std::fprintf(stderr, "top bar hit: %s param %d menu %d\n", hit ? typeid(*hit).name() : "none", hit ? hit->ParamIdx() : -1,
                   int(hit == plug->librarianBrowser->programNumberMenu));
    const size_t menus = window->view().MenusShown().size();
    window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {program / 10, program % 10});
    window->view().ClearMenuScript();
    return window->view().MenusShown().size() > menus;
  }
  void playOnInstrument(int channel, std::optional<int> bank, int program) {
    const auto cc = static_cast<unsigned char>(0xB0 | channel);
    if (bank) instrument.receive({cc, 0, 0}), instrument.receive({cc, 32, static_cast<unsigned char>(64 + *bank)});
    instrument.receive({static_cast<unsigned char>(0xC0 | channel), static_cast<unsigned char>(program)});
    notePlayed();
  }
  void injectPick(int channel, bool withBank, int bank, int program) {
    const auto cc = static_cast<unsigned char>(0xB0 | channel);
    if (withBank) backend->inject({cc, 0, 0}), backend->inject({cc, 32, static_cast<unsigned char>(64 + bank)});
    backend->inject({static_cast<unsigned char>(0xC0 | channel), static_cast<unsigned char>(program)});
  }
  // The multi's bytes 32 + 22 * part (bank) and the next (program).
  static Bytes reportBytes(int part, bool bank, int value) {
    const int at = 32 + 22 * part + (bank ? 0 : 1);
    return {0xF0, 0x3E, 0x10, kDeviceId, 0x21, static_cast<unsigned char>(at / 128),
            static_cast<unsigned char>(at % 128), static_cast<unsigned char>(value), 0xF7};
  }
  void reportPick(int part, bool bank, int value) { backend->inject(reportBytes(part, bank, value)); }
  void letJobsGo() {
    std::lock_guard<std::mutex> lock(holdMutex);
    holdNext = false;
    letGo = true;
    laneHold = LaneHold{-1, 0, 0, false, laneHold.serial + 1};
    holdChanged.notify_all();
  }
  // A pick's work held at one of its pauses around its bank select (the
  // n-th on the lane), until let go: it holds no gate meanwhile.
  void holdLanePause(int ms) {
    if (ms != 25) return;
    std::unique_lock<std::mutex> lock(holdMutex);
    if (laneHold.lane < 0 || PartPicks::currentLane() != laneHold.lane || ++laneHold.seen != laneHold.at) return;
    const unsigned hold = laneHold.serial;
    laneHold.holding = true;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return laneHold.serial != hold; });
  }
  void holdLane(int lane, int at) {
    std::lock_guard<std::mutex> lock(holdMutex);
    laneHold = LaneHold{lane, at, 0, false, laneHold.serial + 1};
  }
  // Whether the pick came to the pause held (bounded: one refused never does).
  bool laneHeld() {
    std::unique_lock<std::mutex> lock(holdMutex);
    return holdChanged.wait_for(lock, std::chrono::seconds(5), [&] { return laneHold.holding; });
  }
  void letLaneGo() {
    std::lock_guard<std::mutex> lock(holdMutex);
    laneHold = LaneHold{-1, 0, 0, false, laneHold.serial + 1};
    holdChanged.notify_all();
  }
  // Everything let go and answered, the jobs and lanes at rest.
  void settle(bool moveClock = true) {
    letJobsGo();
    MIDIMessageManager& manager = *plug->midiMessageManager;
    // A bound in time: under a sanitizer and a loaded machine the replies'
    // hand-overs can take seconds.
    // Once a sequence failed to come to rest, it is not waited for again.
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(restless ? 1 : 30);
    size_t wireBefore;
    {
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      wireBefore = wire.size();
    }
    int quiet = 0;
    while (quiet < 3 && std::chrono::steady_clock::now() < bound) {
      plug->midiSendThread->flush();
      pump();
      bool repliesDue;
      size_t sent;
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        repliesDue = !late.empty();
        sent = wire.size() - wireBefore;
      }
      // The editor and the instrument answering each other without end.
      if (sent > 3000) break;
      quiet = manager.atRest() && !repliesDue ? quiet + 1 : 0;
      if (quiet == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (quiet < 3 && !restless) {
      restless = true;
      ADD_FAILURE() << "the editor and the instrument never came to rest (an exchange without end, or a job that never ends)";
    }
    plug->followPicksInWindow();
    jobsStarted = false;
    // Past every echo due: what the instrument says next is its own.
    if (moveClock) now += 1001;
    for (PartModel& m : models) {
      m.burst = false;
      m.fromBank = m.bank;
      m.fromProgram = m.program;
    }
  }

  // ---- Reading the window: a control's value as its parameter's plain
  // value (one not shown since takes its parameter's when next drawn).
  int shownValue(int idx) {
    IParam* p = param(idx);
    const IControl* control = plug->firstControlOf(idx);
    if (!control || control->IsValueStale()) return p->Int();
    return static_cast<int>(std::lround(p->GetMin() + control->GetValue() * (p->GetMax() - p->GetMin())));
  }
  std::string shownName(int part) { return name9of(plug->paramDisplayText(kPatchName + part, 0)); }
  // The top bar names the part's sound, or none; the editor's own unnamed
  // sound shows as INIT and goes out as "-- INIT --", and a sound that went
  // out with no name comes back from a project as "Set Name".
  static bool namesIt(const std::string& shown, const std::string& plays) {
    const auto plain = [](const std::string& name) {
      if (name.find("INIT") != std::string::npos) return std::string("INIT");
      return name == name9of("Set Name") ? std::string(9, ' ') : name;
    };
    return shown == std::string(9, ' ') || plain(shown) == plain(plays);
  }
  Played playing(int part) {
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    return played[static_cast<size_t>(part)].back();
  }

  // ---- After the sequence: every part, from the instrument's side.
  void check() {
    settle();
    MIDIMessageManager& manager = *plug->midiMessageManager;
    EXPECT_TRUE(manager.atRest()) << "the jobs and picks came to rest";
    EXPECT_EQ(manager.picks.repliesAwaited(), 0) << "no request waits";
    if (multiMode) {
      // The multi the instrument plays, known by its name; the window names
      // it and, once a multi pick went, shows its number.
      std::string plays;
      {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        const Bytes buffer = instrument.multiBuffer();
        plays = std::string(buffer.begin() + 23, buffer.begin() + 39);
      }
      if (multi.known) {
        const Bytes stored = instrument.storedMulti(multi.program);
        EXPECT_EQ(plays, std::string(stored.begin() + 23, stored.begin() + 39)) << "the newest multi pick's multi";
        EXPECT_EQ(shownValue(kMultiPatch), multi.program) << "the window's multi";
      }
      const auto trimmed = [](std::string text) {
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
      };
      const std::string shown = trimmed(plug->paramDisplayText(kMultiName, 0));
      EXPECT_TRUE(shown.empty() || shown == trimmed(plays)) << "the window names the multi \"" << shown << "\", the instrument plays \"" << plays << "\"";
    }
    for (int p : kParts) {
      SCOPED_TRACE("part " + std::to_string(p + 1));
      const PartModel& m = models[static_cast<size_t>(p)];
      const Played now = playing(p);
      // The window shows what the instrument plays, as its bytes made it.
      EXPECT_EQ(shownValue(kMultiPartBank + p), now.bank) << "the window's bank is the instrument's";
      EXPECT_EQ(shownValue(kMultiPartPatch + p), now.program) << "the window's program is the instrument's";
      // The instrument plays the newest pick that could go, as it went.
      EXPECT_EQ(now.bank, m.bank) << "the newest pick's bank";
      EXPECT_EQ(now.program, m.program) << "the newest pick's program";
      if (m.name) {
        EXPECT_EQ(now.name, *m.name) << "the newest pick's sound";
      }
      // From the newest pick's first message on, nothing of another reached
      // the part.
      if (m.order) {
        std::lock_guard<std::recursive_mutex> lock(wireMutex);
        bool on = false;
        const std::vector<Played>& list = played[static_cast<size_t>(p)];
        for (size_t i = m.playedFrom; i < list.size(); ++i) {
          const Played& e = list[i];
          on = on || (e.bank == m.bank && e.program == m.program);
          if (!on) continue;
          const bool its = e.bank == m.bank && e.program == m.program &&
                           (e.name == storedName(m.bank, m.program) || (m.name && e.name == *m.name) || m.editorsSound);
          EXPECT_TRUE(its) << "after the newest pick went, the part received " << e.bank << "/" << e.program << " \""
                           << e.name << "\" (message " << e.wireAt << ")";
        }
      }
      if (p == plug->currentPart) {
        const std::string name = shownName(p);
        EXPECT_TRUE(namesIt(name, now.name)) << "the top bar names \"" << name << "\", the part plays \"" << now.name << "\"";
        // The highlight: the shown part's program, in the pane its library
        // entry came from, or the upper pane stepping the instrument.
        const bool fromLibrary = m.name && *m.name == libraryNames[static_cast<size_t>(m.program)];
        if (m.name && !multiMode && (fromLibrary || mode != Mode::kStepLibrary)) {
          plug->highlightPlayed();
          plug->followPicksInWindow();
          EXPECT_EQ(plug->librarianView()->selectedUpper, m.program) << "the highlight";
        }
      }
    }
    // At rest the window follows the instrument's knobs: nothing left waiting
    // for a dump holds them back.
    if (!conditions.portsUnset) {
      for (int p : kParts) {
        constexpr int kDetunePosition = 3;
        const int knob = shownValue(kOscillator1Detune + p) == 40 ? 41 : 40;
        backend->inject(instrument.turnSoundKnob(p, kDetunePosition, knob));
        EXPECT_EQ(shownValue(kOscillator1Detune + p), knob) << "part " << p + 1 << " follows the instrument's knob at rest";
      }
    }
    // A slot asked for by number holds the instrument's sound of that number.
    if (!librarySlotsAsked.empty()) {
      const auto bank = plug->patchLibrarian->bankAt(kSoundList, 0);
      for (int slot : librarySlotsAsked) {
        const Bytes& dump = bank->patches.at(static_cast<size_t>(slot)).dumps.at(0).bytes;
        EXPECT_EQ(name9(dump), libraryNames[static_cast<size_t>(slot)]) << "library slot " << slot;
      }
    }
    for (const auto& [slot, holds] : multiSlotsAsked)
      EXPECT_EQ(librarySlotDump(*plug, true, slot), holds) << "library multi slot " << slot << " holds the instrument's multi of that number";
    // A part switch sends only a sound the part plays: going through the
    // parts changes nothing the instrument plays, and the top bar names it.
    const int current = plug->currentPart;
    std::array<Played, 16> before{};
    for (int p : kParts) before[static_cast<size_t>(p)] = playing(p);
    for (int p : {kParts[0], kParts[1], kParts[2], current}) {
      window->clickTab(kQuickTab, p);
      settle();
      for (int q : kParts) {
        const Played after = playing(q);
        EXPECT_EQ(after.name, before[static_cast<size_t>(q)].name) << "part " << q + 1 << " after a switch to part " << p + 1;
        EXPECT_EQ(after.program, before[static_cast<size_t>(q)].program) << "part " << q + 1 << " after a switch to part " << p + 1;
      }
      const std::string name = shownName(p);
      EXPECT_TRUE(namesIt(name, playing(p).name))
          << "switched to part " << p + 1 << ", the top bar names \"" << name << "\", the part plays \"" << playing(p).name << "\"";
    }
    std::unique_lock<std::mutex> lock(logMutex);
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
        out << "      " << traced << (reached[traced] ? " sent" : " lost");
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
      const Played now = playing(p);
      out << "    part " << p + 1 << ": shows " << shownValue(kMultiPartBank + p) << "/" << shownValue(kMultiPartPatch + p)
          << " \"" << shownName(p) << "\", plays " << now.bank << "/" << now.program << " \"" << now.name << "\", model "
          << m.bank << "/" << m.program << " \"" << m.name.value_or("?") << "\" from message " << m.wireAt << "\n";
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
    restless = false;
    startSequence(random);
    const std::vector<Step> steps = makeSequence(random);
    const int failuresBefore = failures() + interceptedFailures();
    {
      SCOPED_TRACE("seed " + std::to_string(seed));
      const char* traced = std::getenv("TARNIVEX_PICK_TRACE");
      const bool trace = traced && (*traced == '\0' || std::strtoul(traced, nullptr, 10) == seed);
      if (trace || std::getenv("TARNIVEX_PICK_WIRE")) std::fprintf(stderr, "=== seed %u\n", seed);
      // The debug log slows every step: on request only, as it moves races.
      if ((trace || std::getenv("TARNIVEX_PICK_WIRE")) && std::getenv("TARNIVEX_PICK_LOG")) {
        plug->debugLogPath = "/dev/stderr";
        plug->debugLogEnabled = true;
      }
      for (const Step& s : steps) {
        const auto stepBegin = std::chrono::steady_clock::now();
        // A step is the user's next move, past an echo's due time: a report
        // that comes a step after the editor's change is the instrument's own.
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
        << (multiMode ? ", multi mode" : "") << ", local control " << (localOn ? "on" : "off") << "):";
    for (const Step& s : steps) out << "\n  " << describe(s);
    for (const std::string& status : statusSeen) out << "\n  status after a top-bar pick: " << status;
    {
      std::lock_guard<std::mutex> lock(logMutex);
      out << "\narrivals:";
      for (const GateEvent& e : gateLog)
        if (e.arrival && e.slot >= 0 && e.slot < 16) out << " " << e.slot + 1 << "#" << e.count;
    }
    {
      // What the instrument was sent, and whether it reached it.
      std::lock_guard<std::recursive_mutex> lock(wireMutex);
      out << "\nsent:";
      for (size_t k = 0; k < wire.size(); ++k) {
        const Bytes& m = wire[k];
        if (m.size() == 8 && m[4] == 0x00 && m[5] == 0x30) continue;  // the parts' requests
        out << "\n  " << k << (reached[k] ? "" : " lost");
        for (size_t i = 0; i < std::min<size_t>(m.size(), 9); ++i) out << ' ' << std::hex << int(m[i]) << std::dec;
      }
    }
    ADD_FAILURE() << out.str();
    return false;
  }
  // The sequences from..before run again on this instance, as they ran
  // before the seed that failed: only what they leave behind counts.
  void replayHistory(uint32_t from, uint32_t before) {
    for (uint32_t seed = from; seed < before; ++seed) {
      ::testing::TestPartResultArray ignored;
      ::testing::ScopedFakeTestPartResultReporter reporter(::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS,
                                                           &ignored);
      intercepted = &ignored;
      runSeed(seed);
      intercepted = nullptr;
    }
    libraryRewritten = false;
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
  bool multiMode = false;
  struct MultiModel {
    int program = 0;
    bool known = false;  // after a job for every part: the window and the instrument agree
  } multi;
  std::pair<int, int> reservedPair{0, kReservedProgram};
  std::array<PartModel, 16> models{};
  Conditions conditions;
  bool answeredEver = true;
  bool restless = false;  // a settle of the sequence found no rest
  bool jobsStarted = false;  // a job for every part since the last rest
  std::vector<std::string> statusSeen;
  std::atomic<bool> pullOnPause{false};
  std::mutex sentAtMutex;
  std::deque<std::pair<Bytes, uint32_t>> sentAt;  // program changes sent, with the clock then
  std::mt19937 rng;
  std::recursive_mutex wireMutex;
  std::vector<Bytes> wire;
  std::vector<bool> reached;  // whether each message of the wire reached the instrument
  std::array<std::vector<Played>, 16> played;
  std::array<size_t, 16> playedAtMark{};
  // The upper pane's sounds by slot, as the test wrote and asked for them.
  std::array<std::string, 100> libraryNames;
  std::vector<int> librarySlotsAsked;
  // The multi slots asked for by number, with what each must hold.
  std::map<int, Bytes> multiSlotsAsked;
  bool copiesLag = false;  // each dump answered at once, its copy after the next request
  bool libraryRewritten = false;  // a whole bank request rewrote the library's names
  // An instrument telling the program changes on the channel late: each
  // once this many more went.
  int lateEchoChannel = -1;
  size_t echoesInFlight = 1;
  std::deque<Bytes> echoesHeld;
  size_t wireObject = 0, wireSeen = 0, traced = 0, gateTraced = 0;
  std::vector<std::pair<int, Bytes>> late;
  bool holdReplies = false;  // the instrument's dumps kept back, in order
  int releaseAtRequestOf = -1;  // the part whose next request lets them go
  std::vector<Bytes> heldReplies;
  struct Overtaking {
    int slot = -1;
    int phase = 0;  // 1: the part's pick held at a pause; 2: the newer pick's pauses counted
    std::function<bool()> holdAt;
    bool holding = false, inSleep = false;  // held at a pause with a ticket, or at the pacing
    uint32_t heldCount = 0;
    int pauses = 0, actAt = 0;
    std::function<void()> act;  // at the newer pick's pause actAt
    bool measuring = false;
    size_t requestFrom = 0;
    std::atomic<int> ms{0};
  } overtaking;
  std::mutex overtakingMutex;
  std::condition_variable overtakingChanged;
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
  struct LaneHold {
    int lane = -1, at = 0, seen = 0;
    bool holding = false;
    unsigned serial = 0;  // moves as it is let go
  } laneHold;
  int held = 0;
  std::mutex timedMutex;
  std::condition_variable timedChanged;
  TimedLane timed;
};

TEST_F(PickModelTest, EveryRoadEndsOnTheNewestPickThatWentOut) {
  const char* seedText = std::getenv("TARNIVEX_PICK_SEED");
  const char* countText = std::getenv("TARNIVEX_PICK_SEQUENCES");
  const uint32_t first = seedText ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10)) : 1;
#ifdef __SANITIZE_THREAD__
  // Ten times slower under the race detector, which looks for races, not
  // for more sequences: a share of them keeps the run within its bound.
  constexpr int kSequences = 150;
#else
  // Each sequence checks every part and goes through the parts once more:
  // this many stay well within the test's bound under a sanitizer.
  constexpr int kSequences = 1500;
#endif
  const int count = countText ? std::atoi(countText) : seedText ? 1 : kSequences;
  // TARNIVEX_PICK_FAILURES=<n>: run on past n failed seeds (a survey).
  const char* failuresText = std::getenv("TARNIVEX_PICK_FAILURES");
  const int maxFailed = failuresText ? std::atoi(failuresText) : 3;
  // The threads' timing differs from run to run: one seed in a hundred may
  // need its replay (a pick on its way as the test turns a condition).
  const int maxReplayed = failuresText ? maxFailed : std::max(3, count / 100);
  int failed = 0, replayed = 0;
  // The seed the instance in use was made for: a replay runs again every
  // sequence it ran before, so a failure that needs what came before fails
  // again.
  uint32_t instanceFirst = first;
  for (int i = 0; i < count && failed < maxFailed; ++i) {
    const uint32_t seed = first + static_cast<uint32_t>(i);
    // A fresh instance now and then, at the same seeds whatever the first:
    // no sequence leans on a long history (nor on a library a whole bank
    // request rewrote).
    if (i == 0 || seed % 250 == 1 || std::exchange(libraryRewritten, false)) {
      makeInstance();
      instanceFirst = seed;
    }
    const auto begin = std::chrono::steady_clock::now();
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
      // A seed that fails once is replayed on a fresh instance after the
      // sequences its instance ran before it, and fails the test when it
      // fails again, or when too many seeds needed one.
      std::fprintf(stderr, "seed %u failed on its first try (its instance's history: TARNIVEX_PICK_SEED=%u TARNIVEX_PICK_SEQUENCES=%u):\n",
                   seed, instanceFirst, seed - instanceFirst + 1);
      for (int k = 0; k < firstTry.size(); ++k)
        std::fprintf(stderr, "%s\n", firstTry.GetTestPartResult(k).message());
      if (++replayed > maxReplayed) {
        for (int k = 0; k < firstTry.size(); ++k) ADD_FAILURE() << firstTry.GetTestPartResult(k).message();
        ++failed;
      } else {
        makeInstance();
        replayHistory(instanceFirst, seed);
        if (!runSeed(seed)) ++failed;
        else std::fprintf(stderr, "seed %u passed on its replay\n", seed);
      }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    if (std::getenv("TARNIVEX_PICK_TIMES") && ms > 150) std::fprintf(stderr, "seed %u: %lld ms\n", seed, static_cast<long long>(ms));
  }
}
}  // namespace
