// The instrument's reports of what its parts play, against the editor's own
// program changes: the report an instrument sends back for a change it took
// within the second is that change's echo, matched once; any other report is
// a pick, answered only where it differs from what the part plays. Judged by
// what reached the instrument, what its part plays and what the window shows.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "../library/LibraryTestSupport.h"
#include "ByteChunk.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"

namespace {
constexpr int kPart = 1;  // part 2, on MIDI channel 2

class ReportEchoTest : public EditorTest {
 protected:
  ReportEchoTest() : EditorTest(false) {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
  }
  ~ReportEchoTest() override {
    window.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }

  // A fresh instance and instrument; the instrument echoes or not, both with
  // local control on or off.
  void fresh(bool echoes, bool localOn) {
    window.reset();
    freshMidiSystem();
    instrument.reset();
    instrumentSeen = 0;
    makePlug();
    setParam(kGlobalLocalControl, localOn ? 1 : 0);
    setParam(kMIDIFilterHWPCPassThrough, 1);
    setParam(kMIDIFilterDAWPCPassThrough, 1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);
    param(kMultiPartStatus + kPart)->Set(1);
    settle();
    instrument.setLocalControl(localOn);
    instrument.setReportsProgramChanges(echoes);
    arrivedAtInstrument();
    // A report's pick holds in its pause while the reports of a burst still
    // come in: they all come before any answer goes, as on a fast cable.
    plug->midiMessageManager->pickPauseObserver = [this](const PickTicket&, bool) {
      for (int i = 0; i < 2000 && burst; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
  }
  // The editor and the instrument talk until neither has more to say; what
  // the instrument says back comes msLater after. False when they still
  // talk after many rounds.
  bool exchange(int msLater = 0) {
    for (int round = 0; round < 12; ++round) {
      awaitRequestThread();
      const ByteList sent = sentSinceLast();
      if (sent.empty()) return true;
      now += static_cast<uint32_t>(msLater);
      for (const Bytes& message : sent) {
        heard.push_back(message);
        for (const SimBytes& reply : instrument.receive(message)) fromInstrument(reply);
      }
    }
    return false;
  }
  void fromInstrument(const SimBytes& message) {
    ASSERT_TRUE(backend->inject(message));
    plug->midiSendThread->flush();
  }
  // Picks on the instrument's panel, one right after the other.
  void turnPanel(const std::vector<std::pair<int, int>>& picks) {
    burst = true;
    for (const auto& [bank, program] : picks)
      for (const SimBytes& report : instrument.pickOnPanel(kPart, bank, program)) fromInstrument(report);
    burst = false;
  }
  // The window's pick of the part's program on the part's bank.
  void windowPick(int bank, int program) {
    plug->pickPartProgram(kPart, bank, program, false);
    awaitRequestThread();
  }
  // The program changes for the part that reached the instrument, with the
  // bank each went on.
  std::vector<std::pair<int, int>> pairsHeard() const {
    std::vector<std::pair<int, int>> pairs;
    int bank = -1;
    for (const Bytes& m : heard) {
      if (m.size() == 3 && m[0] == 0xB0 + kPart && m[1] == 32) bank = m[2] - 64;
      if (m.size() == 2 && m[0] == 0xC0 + kPart) pairs.emplace_back(bank, m[1]);
    }
    return pairs;
  }
  std::string playing() const {
    const Bytes dump = instrument.partBuffer(kPart);
    return std::string(dump.begin() + 370, dump.begin() + 379);
  }
  std::pair<int, int> shown() { return {param(kMultiPartBank + kPart)->Int(), param(kMultiPartPatch + kPart)->Int()}; }

  // What the part plays on the instrument, as its multi names it.
  std::pair<int, int> onInstrument(int part = kPart) const {
    const SimBytes multi = instrument.multiBuffer();
    const size_t block = 7 + 32 + 22 * static_cast<size_t>(part);
    return {multi[block], multi[block + 1]};
  }
  // The programs of the program changes on the part's channel the
  // instrument heard.
  std::vector<int> programsHeard() const {
    std::vector<int> programs;
    for (const Bytes& m : heard)
      if (m.size() == 2 && m[0] == 0xC0 + kPart) programs.push_back(m[1]);
    return programs;
  }
  // An instrument that tells each program change back lateMs after it took
  // it. The acts run at their times (ms from now); the editor's messages
  // reach the instrument as they leave, its other replies come at once. The
  // talk runs until nothing more is due, or for limitMs.
  void lateTalk(const std::vector<std::pair<uint32_t, std::function<void()>>>& acts, uint32_t lateMs,
                uint32_t limitMs = 6000) {
    const uint32_t start = now;
    std::multimap<uint32_t, std::function<void()>> due;
    for (const auto& [at, act] : acts) due.emplace(start + at, act);
    while (!due.empty() && due.begin()->first - start <= limitMs) {
      const auto next = due.begin();
      now = next->first;
      const std::function<void()> act = next->second;
      due.erase(next);
      act();
      for (int round = 0; round < 12; ++round) {
        awaitRequestThread();
        const ByteList sent = sentSinceLast();
        if (sent.empty()) break;
        for (const Bytes& message : sent) {
          heard.push_back(message);
          for (const SimBytes& reply : instrument.receive(message)) {
            const bool report = reply.size() == 9 && reply[4] == 0x21;
            if (report) due.emplace(now + lateMs, [this, reply] { fromInstrument(reply); });
            else fromInstrument(reply);
          }
        }
      }
    }
  }

  std::optional<EditorWindowDriver> window;
  std::atomic<bool> burst{false};
  ByteList heard;  // what the instrument heard in the exchanges
  std::mutex wire;
};

std::string sound(int bank, int program) {
  char name[10];
  std::snprintf(name, sizeof name, "SOUND %c%02d", 'A' + bank, program);
  return name;
}

TEST_F(ReportEchoTest, APickOnThePanelIsAnsweredOnceAndItsEchoIsNoNewPick) {
  const struct {
    const char* what;
    bool echoes, localOn;
    std::vector<std::pair<int, int>> answers;  // what the editor sends back
  } rows[] = {
      {"echoing, local control off: the pair goes back once", true, false, {{1, 7}}},
      {"silent, local control off", false, false, {{1, 7}}},
      {"echoing, local control on: it plays its own pick", true, true, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fresh(row.echoes, row.localOn);
    heard.clear();
    // B 008: the report of the bank, then of the program.
    turnPanel({{1, 7}});
    EXPECT_TRUE(exchange()) << "the editor and the instrument never stop talking";
    EXPECT_EQ(pairsHeard(), row.answers);
    EXPECT_EQ(playing(), sound(1, 7));
    EXPECT_EQ(shown(), std::make_pair(1, 7));
  }
}

TEST_F(ReportEchoTest, AReportAfterTheEditorsOwnChangeIsItsEchoOnlyOnce) {
  // The window picks A 006 for the part; later the instrument reports what
  // the rows say.
  const struct {
    const char* what;
    bool echoes, localOn;
    int msLater;                               // after the window's pick
    std::vector<int> turns;                    // programs picked on the panel (bank A)
    std::vector<std::pair<int, int>> answers;  // what the editor sends back
    int endsOn;                                // the program the part plays and the window shows
  } rows[] = {
      // Back to what the part plays before 007 went: it plays that, nothing
      // is answered.
      {"echoing: 007, then straight back to 006", true, false, 300, {6, 5}, {}, 5},
      {"silent: 007, then back to 006 past the second", false, false, 1500, {6, 5}, {}, 5},
      {"silent, local control on: 007, then back to 006 past the second", false, true, 1500, {6, 5}, {}, 5},
      // Within the second of the editor's change to 006, a report of 006 is
      // its echo, whoever turned the knob: 007 is answered.
      {"silent: 007, then straight back to 006: taken for the echo", false, false, 300, {6, 5}, {{0, 6}}, 6},
      {"silent: 006 told 0.5 s after: taken for its echo", false, false, 500, {}, {}, 5},
      // Past due or told again, it is what the part plays: never answered.
      {"silent: 006 told 1.5 s after: past due, not answered", false, false, 1500, {5}, {}, 5},
      {"echoing: 006 told again after its echo: not answered", true, false, 500, {5}, {}, 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fresh(row.echoes, row.localOn);
    windowPick(0, 5);
    ASSERT_TRUE(exchange());
    ASSERT_EQ(playing(), sound(0, 5));
    heard.clear();
    now += static_cast<uint32_t>(row.msLater);
    if (row.turns.empty()) {
      // The echo a silent instrument owes, as if it came now.
      fromInstrument(instrument.pickOnPanel(kPart, 0, 5).back());
    } else {
      std::vector<std::pair<int, int>> picks;
      for (int program : row.turns) picks.emplace_back(0, program);
      turnPanel(picks);
    }
    EXPECT_TRUE(exchange());
    EXPECT_EQ(pairsHeard(), row.answers);
    EXPECT_EQ(playing(), sound(0, row.endsOn));
    EXPECT_EQ(shown(), std::make_pair(0, row.endsOn));
  }
}
// The editor sends 007 and then 008; the user turns the instrument back to
// 007: past the second of that change a report of it is the user's pick;
// within it, the older change's echo.
TEST_F(ReportEchoTest, AReportOfAnOlderChangeIsAPick) {
  const struct {
    const char* what;
    bool echoes, localOn;
    uint32_t msLater;
    std::vector<std::pair<int, int>> answers;
    int endsOn;
  } rows[] = {
      {"silent, local control off: answered", false, false, 1100, {{0, 6}}, 6},
      {"silent, local control on: it plays its own pick", false, true, 1100, {}, 6},
      {"silent, local control off, within the second: the older change's echo", false, false, 300, {}, 7},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fresh(row.echoes, row.localOn);
    windowPick(0, 6);
    windowPick(0, 7);
    ASSERT_TRUE(exchange());
    ASSERT_EQ(playing(), sound(0, 7));
    heard.clear();
    now += row.msLater;
    turnPanel({{0, 6}});
    EXPECT_TRUE(exchange());
    EXPECT_EQ(pairsHeard(), row.answers);
    EXPECT_EQ(playing(), sound(0, row.endsOn));
    EXPECT_EQ(shown(), std::make_pair(0, row.endsOn));
  }
}

// Two parts on one channel: the instrument tells each program change back for
// both. Each part owes its echo; nothing is answered, and the talk ends.
TEST_F(ReportEchoTest, TwoPartsOnOneChannelEachOweTheEcho) {
  constexpr int kSecond = 4;  // part 5, moved onto part 2's channel
  const struct {
    const char* what;
    bool window;  // the window's pick, else the panel's (bank B)
    std::vector<std::pair<int, int>> answers;
  } rows[] = {
      {"the window's pick goes once", true, {{0, 8}}},
      {"the panel's pick is answered once", false, {{1, 8}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fresh(true, false);
    param(kMultiPartMIDICh + kSecond)->Set(kPart + 2);
    param(kMultiPartStatus + kSecond)->Set(1);
    instrument.setPartChannel(kSecond, kPart);
    heard.clear();
    plug->conflictLayer->Hide(true);
    if (row.window) windowPick(0, 8);
    else turnPanel({{1, 8}});
    EXPECT_TRUE(exchange()) << "the editor and the instrument never stop talking";
    // Part 5's echo is no pick of its own, refused as part 2's pair.
    EXPECT_TRUE(plug->conflictLayer->IsHidden());
    EXPECT_EQ(pairsHeard(), row.answers);
    const std::pair<int, int> ends = row.answers.back();
    EXPECT_EQ(playing(), sound(ends.first, ends.second));
    EXPECT_EQ(shown(), ends);
    const Bytes second = instrument.partBuffer(kSecond);
    EXPECT_EQ(std::string(second.begin() + 370, second.begin() + 379), sound(ends.first, ends.second));
    // The window shows part 5 on what it took on the shared channel.
    EXPECT_EQ(std::make_pair(param(kMultiPartBank + kSecond)->Int(), param(kMultiPartPatch + kSecond)->Int()), ends);
  }
}

// STEP LIBRARY, local control on, an instrument that does not tell the
// editor's changes back: a slot sent, the user turns the instrument to that
// program just after, and it plays its stored sound. The report looks like
// the echo; the window still ends on what the part plays.
TEST_F(ReportEchoTest, TheWindowEndsOnWhatThePartPlaysAfterATurnThatLooksLikeAnEcho) {
  fresh(false, true);
  window.emplace(*plug);
  window->clickTab(kMainTab, 1);
  setParam(kControlLibrary, 1);
  window->click(window->slot(0, 3));
  ASSERT_TRUE(exchange());
  setParam(kPatchUp + kPart, 1);
  ASSERT_TRUE(exchange());
  ASSERT_EQ(playing(), numbered("Fact", 1).substr(0, 9));
  now += 300;
  // The request's pauses let the instrument take what was sent and answer.
  plug->midiMessageManager->virtualPause = [this](int) {
    std::lock_guard<std::mutex> lock(wire);
    for (const Bytes& message : sentSinceLast()) {
      heard.push_back(message);
      for (const SimBytes& reply : instrument.receive(message)) backend->inject(reply);
    }
    return true;
  };
  turnPanel({{0, 1}});
  EXPECT_TRUE(exchange());
  EXPECT_EQ(playing(), sound(0, 1));
  EXPECT_EQ(plug->paramDisplayText(kPatchName + kPart, 0).substr(0, 9), sound(0, 1));
  EXPECT_EQ(shown(), std::make_pair(0, 1));
}

// Nine changes to a part with no report between: each is owed for its
// second, the newest's echo too.
TEST_F(ReportEchoTest, NineChangesWithNoReportBetweenKeepTheNewestOwed) {
  fresh(false, false);
  for (int program = 10; program < 19; ++program) windowPick(0, program);
  ASSERT_TRUE(exchange());
  heard.clear();
  now += 100;
  fromInstrument(instrument.pickOnPanel(kPart, 0, 18).back());
  EXPECT_TRUE(exchange());
  EXPECT_EQ(pairsHeard(), (std::vector<std::pair<int, int>>{}));
  EXPECT_EQ(shown(), std::make_pair(0, 18));
}

// The editor sent B 006; the panel tells C 006 at once: the bank report is of
// another bank, no echo, and the pair is the user's pick, answered whole.
TEST_F(ReportEchoTest, ABankReportOfAnotherBankIsNoEcho) {
  fresh(false, false);
  windowPick(1, 5);
  ASSERT_TRUE(exchange());
  heard.clear();
  now += 100;
  turnPanel({{2, 5}});
  EXPECT_TRUE(exchange());
  EXPECT_EQ(pairsHeard(), (std::vector<std::pair<int, int>>{{2, 5}}));
  EXPECT_EQ(playing(), sound(2, 5));
  EXPECT_EQ(shown(), std::make_pair(2, 5));
}

TEST_F(ReportEchoTest, InStepLibraryTheEchoOfAStepIsNotAnsweredAgain) {
  for (const bool localOn : {true, false}) {
    SCOPED_TRACE(localOn ? "local control on" : "local control off");
    fresh(true, localOn);
    window.emplace(*plug);
    window->clickTab(kMainTab, 1);
    setParam(kControlLibrary, 1);
    window->click(window->slot(0, 3));
    ASSERT_TRUE(exchange());
    heard.clear();
    // The step sends the library's next sound; the instrument tells its
    // program change back 0.65 s later.
    setParam(kPatchUp + kPart, 1);
    EXPECT_TRUE(exchange(650)) << "the editor and the instrument never stop talking";
    int notesOff = 0, dumps = 0;
    for (const Bytes& m : heard) {
      notesOff += m == Bytes{0xB0, 0x7B, 0};
      dumps += m.size() == 392 && m[5] == 0x30 && m[6] == kPart;
    }
    EXPECT_EQ(notesOff, 1);
    EXPECT_EQ(dumps, 1);
    EXPECT_EQ(pairsHeard(), (std::vector<std::pair<int, int>>{{0, 1}}));
    EXPECT_EQ(playing(), numbered("Fact", 1).substr(0, 9));
    EXPECT_EQ(shown(), std::make_pair(0, 1));
  }
}
// Local control off: the bank told alone is a pick of its own once its wait
// for the program is over. The program told while that pick has not gone
// yet (held here before its bank select's second half) goes on the told bank,
// as the editor's and the host's do: the instrument ends on the pair its
// panel showed.
TEST_F(ReportEchoTest, AProgramToldAfterALoneBankThatHasNotGoneGoesOnThatBank) {
  fresh(false, false);
  heard.clear();
  std::mutex mutex;
  std::condition_variable changed;
  bool reached = false, release = false;
  plug->sleepFor = [&](int ms) {
    if (ms != 25 || PartPicks::currentLane() != kPart) return;
    std::unique_lock<std::mutex> lock(mutex);
    if (reached) return;
    reached = true;
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
  };
  const auto report = [](bool bank, int value) {
    return SimBytes{0xF0, 0x3E, 0x10, kDeviceId, 0x21, 0, static_cast<unsigned char>(0x36 + (bank ? 0 : 1)),
                    static_cast<unsigned char>(value), 0xF7};
  };
  fromInstrument(report(true, 2));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return reached; }))
        << "the bank told alone never went as a pick of its own";
  }
  fromInstrument(report(false, 7));
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
    changed.notify_all();
  }
  EXPECT_TRUE(exchange());
  const auto pairs = pairsHeard();
  ASSERT_FALSE(pairs.empty());
  EXPECT_EQ(pairs.back(), std::make_pair(2, 7));
  EXPECT_EQ(playing(), sound(2, 7));
  EXPECT_EQ(shown(), std::make_pair(2, 7));
  plug->sleepFor = nullptr;
}
}  // namespace

namespace {
// Local control off, an instrument telling each program change back 150 ms
// after it took it: after the editor's next change went, when changes come
// 100 ms apart. Each echo is its own change's, within the second: nothing is
// answered, and the part ends on the last change.
TEST_F(ReportEchoTest, LateEchoesOfChangesInFlightAreNoPicks) {
  const struct {
    const char* what;
    bool host;               // the host's program changes, else the window's picks
    int parts;               // parts listening on the part's channel
    std::vector<int> picks;  // programs of bank A, 100 ms apart (10 ms for nine)
  } rows[] = {
      {"two window picks", false, 1, {5, 6}},
      {"the host's two changes", true, 1, {5, 6}},
      {"nine window picks in flight", false, 1, {10, 11, 12, 13, 14, 15, 16, 17, 18}},
      {"two window picks, three parts on the channel", false, 3, {5, 6}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fresh(true, false);
    for (int other : {4, 5}) {
      const bool shares = row.parts == 3;
      param(kMultiPartStatus + other)->Set(shares ? 1 : 0);
      param(kMultiPartMIDICh + other)->Set(shares ? kPart + 2 : other + 2);
      instrument.setPartChannel(other, shares ? kPart : other);
    }
    plug->conflictLayer->Hide(true);
    heard.clear();
    const uint32_t apart = row.picks.size() > 2 ? 10 : 100;
    std::vector<std::pair<uint32_t, std::function<void()>>> acts;
    for (size_t i = 0; i < row.picks.size(); ++i) {
      const int program = row.picks[i];
      acts.emplace_back(static_cast<uint32_t>(i) * apart, [this, &row, program] {
        if (row.host) hostEvents({{static_cast<unsigned char>(0xC0 | kPart), static_cast<unsigned char>(program)}});
        else plug->pickPartProgram(kPart, 0, program, false);
      });
    }
    lateTalk(acts, 150);
    // Each pick's own change, the host's passed on beside the editor's: no answer.
    std::vector<int> own;
    for (int program : row.picks)
      for (int k = 0; k < (row.host ? 2 : 1); ++k) own.push_back(program);
    EXPECT_EQ(programsHeard(), own);
    EXPECT_EQ(onInstrument(), std::make_pair(0, row.picks.back()));
    EXPECT_EQ(shown(), std::make_pair(0, row.picks.back()));
    for (int other : {4, 5}) {
      if (row.parts != 3) continue;
      EXPECT_EQ(onInstrument(other), std::make_pair(0, row.picks.back())) << "part " << other + 1;
      EXPECT_EQ(std::make_pair(param(kMultiPartBank + other)->Int(), param(kMultiPartPatch + other)->Int()),
                std::make_pair(0, row.picks.back()))
          << "part " << other + 1;
    }
  }
}

// The window picks A 006; a restore right after moves the part back to the
// project's A 008; the user then turns the instrument to A 006, within the
// second of that change or long after: the restore owes no echo of it, and
// the turn is a pick of what the part no longer plays.
TEST_F(ReportEchoTest, AfterARestoreMovedThePartAPanelPickOfTheOlderProgramIsTaken) {
  const struct {
    const char* what;
    bool localOn;
    uint32_t msLater;       // after the window's pick
    std::vector<int> sent;  // program changes the instrument hears after the restore
  } rows[] = {
      {"local control off, within the second: answered", false, 300, {5}},
      {"local control off, 1.5 s later: answered", false, 1500, {5}},
      {"local control on, within the second: followed", true, 300, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fresh(false, row.localOn);
    windowPick(0, 7);
    ASSERT_TRUE(exchange());
    ByteChunk project;
    ASSERT_TRUE(plug->SerializeState(&project));
    windowPick(0, 5);
    ASSERT_TRUE(exchange());
    ASSERT_EQ(onInstrument(), std::make_pair(0, 5));
    ASSERT_GT(plug->UnserializeState(&project, 0), 0);
    ASSERT_TRUE(exchange());
    ASSERT_EQ(onInstrument(), std::make_pair(0, 7));
    ASSERT_EQ(shown(), std::make_pair(0, 7));
    heard.clear();
    now += row.msLater;
    turnPanel({{0, 5}});
    EXPECT_TRUE(exchange());
    EXPECT_EQ(programsHeard(), row.sent);
    EXPECT_EQ(onInstrument(), std::make_pair(0, 5));
    EXPECT_EQ(shown(), std::make_pair(0, 5));
  }
}
}  // namespace
