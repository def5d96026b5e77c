// Who answers what: a part's requests answered late, lost or overtaken, the
// device-ID search, and the instrument's edits while a library entry goes
// out. Time is virtual (each pause of a job moves it on); what the
// instrument received, and what the window shows, tell.
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../library/LibraryTestSupport.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"
#include "LibrarySlotRequest.h"

namespace {
constexpr int kPart = 1;
constexpr int kTick = 50;          // the timer setting 0
constexpr int kReplyTime = 30 * kTick;  // a request's whole wait

class ReplyOrderTest : public EditorTest {
 protected:
  ReplyOrderTest() : EditorTest(false) {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Bank.syx", soundFile("Bank ", 100));
    writeFile(getPatchesFolderStr() + "/Multis.syx", multiFile("Multi ", 100));
    makePlug();
    window.emplace(*plug);
    for (int idx : {kMIDIFilterHWPCPassThrough, kMIDIFilterHWCCPassThrough, kMIDIFilterDAWPCPassThrough,
                    kMIDIFilterDAWCCPassThrough})
      setParam(idx, 1);
    param(kMultiPartStatus + kPart)->Set(1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 1);  // STEP SYNTH: a pick asks for the part's sound
    settle();
    plug->midiMessageManager->virtualPause = [this](int ms) { return pause(ms); };
  }
  ~ReplyOrderTest() override {
    free();
    window.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }

  struct Sent {
    uint32_t at;
    Bytes bytes;
  };
  // A pause: what the plug-in sent reaches the instrument; while held, the
  // pause waits for the test's leave; then time moves on and the replies due
  // by then come back.
  bool pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    exchange();
    ++pausing;
    moved.notify_all();
    moved.wait_for(lock, std::chrono::seconds(10), [this] { return !held || leaves > 0; });
    if (held && leaves > 0) --leaves;
    --pausing;
    elapsed += static_cast<uint32_t>(ms);
    if (clockRuns) now += static_cast<uint32_t>(ms);
    exchange();
    moved.notify_all();
    return true;
  }
  void exchange() {
    for (const Bytes& message : sentSinceLast()) {
      wire.push_back({elapsed, message});
      const bool lost = loses && loses(message);
      for (const auto& reply : instrument.receiveTimed(message)) {
        if (lost) continue;
        // In order: a late answer holds back the ones after it.
        uint32_t at = elapsed + static_cast<uint32_t>(lateMs + reply.lateMs);
        if (!due.empty()) at = std::max(at, due.back().first);
        due.emplace_back(at, reply.bytes);
      }
    }
    while (!due.empty() && due.front().first <= elapsed) {
      const SimBytes reply = due.front().second;
      due.erase(due.begin());
      backend->inject(reply);
    }
  }
  // Lets the held jobs pause, one pause at a time, until the wire holds a
  // message for which is() holds; its place on the wire.
  size_t runUntil(const std::function<bool(const Bytes&)>& is) {
    std::unique_lock<std::mutex> lock(mutex);
    for (int round = 0; round < 2000; ++round) {
      exchange();
      for (size_t i = 0; i < wire.size(); ++i)
        if (is(wire[i].bytes)) return i;
      leaves = 1;
      moved.notify_all();
      if (!moved.wait_for(lock, std::chrono::seconds(5), [this] { return leaves == 0 && pausing > 0; })) break;
    }
    ADD_FAILURE() << "never sent";
    return wire.size();
  }
  void hold() {
    std::lock_guard<std::mutex> lock(mutex);
    held = true;
  }
  // Time runs free; the jobs end, and the replies still due come back as
  // their time comes.
  void free() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      held = false;
    }
    moved.notify_all();
    awaitRequestThread();
    std::lock_guard<std::mutex> lock(mutex);
    exchange();
    while (!due.empty()) {
      if (clockRuns) now += due.front().first - elapsed;
      elapsed = due.front().first;
      exchange();
    }
  }
  std::vector<Sent> sentSoFar() {
    std::lock_guard<std::mutex> lock(mutex);
    exchange();
    return wire;
  }
  // The next row starts afresh: the wire read, every reply time passed.
  void nextRow() {
    setParam(kControlProgBank, 1);
    loses = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    wire.clear();
    now += 10 * kReplyTime;
    clockRuns = true;
  }

  // The part's program picked on its page, as the window's menu does.
  void pickProgram(int program) {
    plug->SetParameterFromGUI(kMultiPartPatch + kPart, param(kMultiPartPatch + kPart)->GetNormalized(program));
  }
  static bool isRequest(const Bytes& m, int id = kDeviceId) {
    return m == Bytes{0xF0, 0x3E, 0x10, static_cast<uint8_t>(id), 0x00, 0x30, kPart, 0xF7};
  }
  static bool anyIdRequest(const Bytes& m) { return m.size() == 8 && isRequest(m, m[3]); }
  static bool isProgramChange(const Bytes& m, int program) { return m == Bytes{0xC0 | kPart, static_cast<uint8_t>(program)}; }
  static std::string sound(int program) { return "SOUND A" + std::string(program < 10 ? "0" : "") + std::to_string(program); }
  std::string shownName() { return plug->paramDisplayText(kPatchName + kPart, 0).substr(0, 9); }
  std::string instrumentsName() {
    const SimBytes part = instrument.partBuffer(kPart);
    return std::string(part.begin() + 370, part.begin() + 379);
  }

  std::mutex mutex;
  std::condition_variable moved;
  bool held = false;
  int leaves = 0, pausing = 0;
  // The virtual time the pauses took; the plug-in's clock follows it while
  // it runs (standing, it reads as a clock that never moves).
  uint32_t elapsed = 0;
  bool clockRuns = true;
  int lateMs = 0;
  std::function<bool(const Bytes&)> loses;  // the request whose reply the instrument loses
  std::vector<std::pair<uint32_t, SimBytes>> due;
  std::vector<Sent> wire;
  std::optional<EditorWindowDriver> window;
};

// A pick overtakes the part's request as it waits for its reply, which the
// instrument sends late or loses. The newer pick's request is answered by
// its own reply: the window shows the sound the instrument plays, never the
// older one; a lost reply holds the newer request one reply time at most.
TEST_F(ReplyOrderTest, ANewerPicksRequestTakesItsOwnReplyNotTheOverTakenOnes) {
  const struct {
    const char* what;
    int lateMs;
    bool firstLost;
    bool newerAsks;  // STEP SYNTH still on for the newer pick
    bool clockRuns = true;
  } rows[] = {
      {"the older reply comes 400 ms late, as the newer request waits", 400, false, true},
      {"the older reply comes 1 s late", 1000, false, true},
      {"the older reply is lost", 400, true, true},
      {"the older reply is lost, the clock standing", 400, true, true, false},
      {"the newer pick asks nothing; the older reply comes late", 400, false, false},
      {"the newer pick asks nothing; the older reply comes after its time", kReplyTime + 500, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    lateMs = row.lateMs;
    clockRuns = row.clockRuns;
    loses = [lost = row.firstLost, first = std::make_shared<bool>(true)](const Bytes& m) {
      return lost && isRequest(m) && std::exchange(*first, false);
    };
    hold();
    pickProgram(10);
    const size_t older = runUntil([](const Bytes& m) { return isRequest(m); });
    if (!row.newerAsks) setParam(kControlProgBank, 0);
    pickProgram(20);
    free();
    const std::vector<Sent> sent = sentSoFar();
    ASSERT_LT(older, sent.size());
    EXPECT_EQ(instrumentsName(), sound(20));
    if (row.newerAsks) {
      EXPECT_EQ(shownName(), sound(20));
      const auto newer = std::find_if(sent.begin() + static_cast<long>(older) + 1, sent.end(),
                                      [](const Sent& s) { return isRequest(s.bytes); });
      ASSERT_NE(newer, sent.end());
      EXPECT_LE(newer->at - sent[older].at, static_cast<uint32_t>(kReplyTime + 2 * kTick));
    } else {
      EXPECT_NE(shownName(), sound(10));
    }
    // Asked on the instrument's ID only: no search.
    for (const Sent& s : sent) EXPECT_FALSE(anyIdRequest(s.bytes) && s.bytes[3] != kDeviceId);
    EXPECT_NE(valueText.GetText(), std::string("CONNECTION TIMED OUT!"));
    nextRow();
  }
}

// A request the instrument does not answer, overtaken by a pick that asks
// nothing: its wait ends at once, in real pauses as in virtual ones. It
// says no time-out and tries no other device ID.
TEST_F(ReplyOrderTest, AnOvertakenRequestsWaitEndsAtOnce) {
  instrument.setRepliesLeft(0);
  for (const bool real : {false, true}) {
    SCOPED_TRACE(real ? "real pauses" : "virtual pauses");
    valueText.SetTextFromPlug("");
    size_t older = 0;
    if (real) {
      plug->midiMessageManager->virtualPause = nullptr;
      pickProgram(31);
      for (int i = 0; i < 5000; ++i) {
        const std::vector<Sent> sent = sentSoFar();
        if (std::any_of(sent.begin(), sent.end(), [](const Sent& s) { return isRequest(s.bytes); })) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    } else {
      hold();
      pickProgram(30);
      older = runUntil([](const Bytes& m) { return isRequest(m); });
    }
    setParam(kControlProgBank, 0);
    pickProgram(40);
    free();
    const std::vector<Sent> sent = sentSoFar();
    ASSERT_FALSE(sent.empty());
    for (size_t i = older; i < sent.size(); ++i)
      EXPECT_FALSE(anyIdRequest(sent[i].bytes) && sent[i].bytes[3] != kDeviceId) << "a request on another ID";
    EXPECT_NE(valueText.GetText(), std::string("CONNECTION TIMED OUT!"));
    EXPECT_TRUE(isProgramChange(sent.back().bytes, 40));
    nextRow();
  }
}

// The instrument silent on the editor's ID: the request searches the IDs.
// A newer pick of the part stops the search at once, and its program change
// goes next.
TEST_F(ReplyOrderTest, ANewerPickStopsTheDeviceIdSearch) {
  instrument.setRepliesLeft(0);
  hold();
  pickProgram(12);
  runUntil([](const Bytes& m) { return anyIdRequest(m) && m[3] == 1; });
  const size_t mark = sentSoFar().size();
  setParam(kControlProgBank, 0);
  pickProgram(22);
  free();
  const std::vector<Sent> sent = sentSoFar();
  const auto change = std::find_if(sent.begin() + static_cast<long>(mark), sent.end(),
                                   [](const Sent& s) { return isProgramChange(s.bytes, 22); });
  ASSERT_NE(change, sent.end());
  EXPECT_LE(std::count_if(sent.begin() + static_cast<long>(mark), change, [](const Sent& s) { return anyIdRequest(s.bytes); }), 1);
}

// STEP LIBRARY: the host's program change sends the library's entry and
// asks nothing back. A knob turned on the instrument meanwhile, and after,
// moves the window's control.
TEST_F(ReplyOrderTest, TheInstrumentsEditsAreFollowedWhileALibraryEntryGoesAndAfter) {
  constexpr int kOther = 5;
  constexpr int kDetunePosition = 3;
  setParam(kControlLibrary, 1);
  window->click(window->slot(0, 3));
  settle();
  bool turned = false;
  plug->midiMessageManager->virtualPause = [&](int ms) {
    if (!std::exchange(turned, true)) backend->inject(instrument.turnSoundKnob(kOther, kDetunePosition, 55));
    return pause(ms);
  };
  ASSERT_NE(param(kOscillator1Detune + kOther)->Int(), 55);
  hostEvents({{0xC0 | kPart, 7}});
  plug->midiSendThread->flush();
  free();
  ASSERT_TRUE(turned);
  const auto library = sentSoFar();
  EXPECT_TRUE(std::any_of(library.begin(), library.end(), [](const Sent& s) {
    return s.bytes.size() == 392 && s.bytes[5] == 0x30 && s.bytes[6] == kPart;
  })) << "the entry went";
  EXPECT_EQ(param(kOscillator1Detune + kOther)->Int(), 55);
  backend->inject(instrument.turnSoundKnob(kPart, kDetunePosition, 66));
  EXPECT_EQ(param(kOscillator1Detune + kPart)->Int(), 66);
  const IControl* knob = plug->firstControlOf(kOscillator1Detune + kPart);
  ASSERT_NE(knob, nullptr);
  EXPECT_DOUBLE_EQ(knob->GetValue(), param(kOscillator1Detune + kPart)->GetNormalized());
}
}  // namespace

namespace {
// A part's request ends without its reply (lost, late past its time,
// overtaken by a pick that asks nothing, or as it starts): a knob the instrument turns after
// it moves the window's control, as it does after an answered request.
TEST_F(ReplyOrderTest, TheInstrumentsKnobsAreFollowedOnceARequestEnds) {
  constexpr int kDetunePosition = 3;
  const struct {
    const char* what;
    int lateMs;
    bool lost;
    bool overtaken;
    bool overtakenAsItStarts = false;
  } rows[] = {
      {"answered", 0, false, false},
      {"never answered, its search given up", 0, true, false},
      {"answered after its time and its search", 200 * kTick, false, false},
      {"overtaken by a pick that asks nothing", 0, true, true},
      {"overtaken as it starts, nothing asked", 0, false, false, true},
  };
  int knob = 40;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    lateMs = row.lateMs;
    if (row.lost) loses = [](const Bytes& m) { return anyIdRequest(m); };
    if (row.overtaken) {
      hold();
      pickProgram(30);
      runUntil([](const Bytes& m) { return isRequest(m); });
      setParam(kControlProgBank, 0);
      pickProgram(40);
    } else {
      // A newer pick of the part arrives as the request job starts.
      if (row.overtakenAsItStarts)
        plug->midiMessageManager->jobObserver = [this](JobThread thread, const SenderJob& job) {
          if (thread == JobThread::kPartLane && job.jobCode == 6) plug->midiMessageManager->picks.arrive(kPart);
        };
      pickProgram(knob - 28);
    }
    free();
    plug->midiMessageManager->jobObserver = nullptr;
    ++knob;
    ASSERT_NE(param(kOscillator1Detune + kPart)->Int(), knob);
    backend->inject(instrument.turnSoundKnob(kPart, kDetunePosition, knob));
    EXPECT_EQ(param(kOscillator1Detune + kPart)->Int(), knob);
    const IControl* control = plug->firstControlOf(kOscillator1Detune + kPart);
    ASSERT_NE(control, nullptr);
    EXPECT_DOUBLE_EQ(control->GetValue(), param(kOscillator1Detune + kPart)->GetNormalized());
    nextRow();
  }
}
}  // namespace

namespace {
// The part switched away and back: a sound the editor holds goes into the
// instrument's part.
void switchAwayAndBack(EditorWindowDriver& window) {
  window.clickTab(kQuickTab, kPart + 1);
  window.clickTab(kQuickTab, kPart);
}

// A dump an older request of the part may still be sending (its reply past
// its time, its device-ID search's answer, a second copy of its answer)
// arrives after the newer pick's request went: it is not that request's
// answer. The window ends on the sound the instrument plays, and a part
// switch sends nothing else into the part.
TEST_F(ReplyOrderTest, ADumpAnOlderRequestMayStillSendIsNotTheNewerOnesAnswer) {
  const struct {
    const char* what;
    int olderLateMs;    // the older request's answers leave this late
    int twiceAfterMs;   // every answer leaves again this much later; -1 once
    int instrumentsId;  // the ID the instrument answers on
    int pickAt;         // the newer pick comes once this ID's request went (-1: after the older answer)
  } rows[] = {
      {"the older reply comes after its time and its search", 180 * kTick, -1, kDeviceId, -2},
      {"a second copy of the older answer follows it", 0, 6 * kTick, kDeviceId, -1},
      {"the search's answer is 300 ms on its way", 300, -1, 3, 3},
      {"the search's answer is 300 ms on its way, a second copy after it", 300, 4 * kTick, 3, 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    instrument.setDeviceId(row.instrumentsId);
    // The older request's answer late; the ones after it wait behind it.
    instrument.setAnswersLate(row.olderLateMs, 1);
    instrument.setAnswersTwice(row.twiceAfterMs);
    hold();
    pickProgram(10);
    if (row.pickAt >= 0) {
      runUntil([&](const Bytes& m) { return anyIdRequest(m) && m[3] == row.pickAt; });
    } else if (row.pickAt == -1) {
      runUntil([&](const Bytes&) { return shownName() == sound(10); });
    } else {
      runUntil([&](const Bytes&) { return valueText.GetText() == std::string("CONNECTION TIMED OUT!"); });
    }
    instrument.setAnswersLate(0);
    pickProgram(20);
    free();
    EXPECT_EQ(instrumentsName(), sound(20));
    EXPECT_EQ(shownName(), sound(20)) << "the window names the sound the part plays";
    EXPECT_EQ(valueText.GetText(), std::string("Data request Completed!"));
    switchAwayAndBack(*window);
    free();
    EXPECT_EQ(instrumentsName(), sound(20)) << "a part switch sent the part another sound";
    instrument.setAnswersTwice(-1);
    instrument.setDeviceId(kDeviceId);
    param(kGlobalSysExID)->Set(kDeviceId);
    nextRow();
  }
}

// A sound only read from the instrument is shown, never sent back to it; a
// dump an older request may still be sending is nobody's. After an older
// request ended without its answer, the newer one's answer is late or lost:
// the window never names the older sound, and a part switch sends nothing
// into the part, which plays the newer program.
TEST_F(ReplyOrderTest, ASoundReadBackIsNeverSentBackNorAnOlderAnswerNamed) {
  static constexpr int kAnyName = 0, kNoName = 1;
  const struct {
    const char* what;
    int lateMs;           // every answer leaves this late
    bool newerLost;       // every request of the newer pick lost
    int twiceAfterMs;     // every answer leaves again this much later; -1 once
    bool olderAnswered;   // the newer pick comes once the older answer is shown
    int shows;            // kNoName, or kAnyName (none, or the newer's)
  } rows[] = {
      {"both replies 2 s late", 2000, false, -1, false, kAnyName},
      {"the older reply 2 s late, the newer lost", 2000, true, -1, false, kNoName},
      {"a copy of the last answer, the newer lost", 0, true, 6 * kTick, true, kNoName},
      {"replies 3.5 s late: the search's second answer in the next pick's wait", 3500, false, -1, true, kAnyName},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    lateMs = row.lateMs;
    instrument.setAnswersTwice(row.twiceAfterMs);
    hold();
    pickProgram(10);
    if (row.olderAnswered) runUntil([&](const Bytes&) { return shownName() == sound(10); });
    else runUntil([](const Bytes& m) { return isRequest(m); });
    const size_t newerFrom = sentSoFar().size();
    if (row.newerLost) loses = [](const Bytes& m) { return anyIdRequest(m); };
    pickProgram(20);
    free();
    const std::vector<Sent> picked = sentSoFar();
    ASSERT_TRUE(std::any_of(picked.begin() + static_cast<long>(newerFrom), picked.end(),
                            [](const Sent& s) { return isProgramChange(s.bytes, 20); }));
    EXPECT_EQ(instrumentsName(), sound(20));
    EXPECT_NE(shownName(), sound(10)) << "the older sound named over the newer program";
    if (row.shows == kNoName) {
      EXPECT_EQ(shownName(), "");
      EXPECT_EQ(valueText.GetText(), std::string("CONNECTION TIMED OUT!"));
    }
    const size_t beforeSwitch = sentSoFar().size();
    switchAwayAndBack(*window);
    free();
    const std::vector<Sent> sent = sentSoFar();
    for (size_t i = beforeSwitch; i < sent.size(); ++i)
      EXPECT_FALSE(sent[i].bytes.size() == 392 && sent[i].bytes[6] == kPart) << "a part switch sent a sound back";
    EXPECT_EQ(instrumentsName(), sound(20));
    instrument.setAnswersTwice(-1);
    lateMs = 0;
    nextRow();
  }
}

// A pick whose read-back went unanswered leaves no sound of the part in the
// project: its restore sends the part its program alone, no sound dump.
TEST_F(ReplyOrderTest, ARestoreSendsAPartNotReadBackItsProgramAlone) {
  instrument.setRepliesLeft(0);
  pickProgram(20);
  free();
  ASSERT_EQ(valueText.GetText(), std::string("CONNECTION TIMED OUT!"));
  ASSERT_EQ(shownName(), "");
  instrument.setRepliesLeft(-1);
  ByteChunk project;
  ASSERT_TRUE(plug->SerializeState(&project));
  nextRow();
  ASSERT_GT(plug->UnserializeState(&project, 0), 0);
  free();
  const std::vector<Sent> sent = sentSoFar();
  for (const Sent& s : sent) EXPECT_FALSE(s.bytes.size() == 392 && s.bytes[6] == kPart) << "a sound nobody picked";
  const auto at = [&](const Bytes& m) {
    return std::find_if(sent.begin(), sent.end(), [&](const Sent& s) { return s.bytes == m; });
  };
  const auto bankSelect = at({0xB0 | kPart, 32, 64});
  const auto change = at({0xC0 | kPart, 20});
  ASSERT_NE(bankSelect, sent.end()) << "the part's bank select";
  ASSERT_NE(change, sent.end()) << "the part's program change";
  EXPECT_LT(bankSelect, change);
  EXPECT_EQ(shownName(), "");
}

// A multi picked from the window: its parts play the multi's stored sounds.
// No part shows the sound it played before; a part the read-back (STEP
// SYNTH) answers shows the instrument's, one it does not answer none. A
// project saved with no name sends the part its program alone, no old sound.
TEST_F(ReplyOrderTest, AMultiPickLeavesNoPartTheSoundItPlayedBefore) {
  const struct {
    const char* what;
    bool readBack, partLost;
  } rows[] = {
      {"program mode: nothing is read back", false, false},
      {"STEP SYNTH: the part's answer is lost", true, true},
      {"STEP SYNTH: the part's sound is read back", true, false},
  };
  int program = 20;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    setParam(kDatatype, 0);
    setParam(kControlProgBank, 1);
    pickProgram(++program);
    free();
    ASSERT_EQ(shownName(), sound(program));
    param(kGlobalMidiChannel)->Set(1);
    setParam(kDatatype, 1);
    ASSERT_TRUE(plug->multiMode);
    setParam(kControlProgBank, row.readBack ? 1 : 0);
    loses = [lost = row.partLost](const Bytes& m) { return lost && isRequest(m); };
    const auto multi = static_cast<uint8_t>(program - 14);
    plug->SetParameterFromGUI(kMultiPatch, param(kMultiPatch)->GetNormalized(multi));
    free();
    std::vector<Sent> sent = sentSoFar();
    ASSERT_TRUE(std::any_of(sent.begin(), sent.end(), [&](const Sent& s) { return s.bytes == Bytes{0xC0, multi}; }))
        << "the multi's program change";
    if (row.readBack && !row.partLost) {
      EXPECT_EQ(shownName(), instrumentsName());
      EXPECT_NE(shownName(), sound(program));
      nextRow();
      continue;
    }
    EXPECT_EQ(shownName(), "");
    ByteChunk project;
    ASSERT_TRUE(plug->SerializeState(&project));
    nextRow();
    instrument.setRepliesLeft(0);  // what a restore asks is no part of this
    ASSERT_GT(plug->UnserializeState(&project, 0), 0);
    free();
    instrument.setRepliesLeft(-1);
    sent = sentSoFar();
    for (const Sent& s : sent) EXPECT_FALSE(s.bytes.size() == 392 && s.bytes[6] == kPart) << "a sound nobody picked";
    const auto at = [&](const Bytes& m) {
      return std::find_if(sent.begin(), sent.end(), [&](const Sent& s) { return s.bytes == m; });
    };
    const auto bankSelect = at({0xB0 | kPart, 32, 64});
    const auto change = at({0xC0 | kPart, static_cast<uint8_t>(program)});
    ASSERT_NE(bankSelect, sent.end()) << "the part's bank select";
    ASSERT_NE(change, sent.end()) << "the part's program change";
    EXPECT_LT(bankSelect, change);
    nextRow();
  }
}

// The instrument on another ID: the search finds it, however far past the
// request's own reply time, and its answer is the request's.
TEST_F(ReplyOrderTest, TheSearchsAnswerIsItsRequestsPastTheReplyTime) {
  for (const int id : {3, 40, 120}) {
    SCOPED_TRACE("the instrument on ID " + std::to_string(id));
    instrument.setDeviceId(id);
    pickProgram(10 + id % 7);
    free();
    EXPECT_EQ(shownName(), sound(10 + id % 7));
    EXPECT_EQ(valueText.GetText(), std::string("Data request Completed!"));
    EXPECT_EQ(param(kGlobalSysExID)->Int(), id) << "the ID it answered on is learnt";
    instrument.setDeviceId(kDeviceId);
    param(kGlobalSysExID)->Set(kDeviceId);
    nextRow();
  }
}
}  // namespace

namespace {
class LibraryReplyTest : public ReplyOrderTest {
 protected:
  // "Hardware by Prog No." into the library slot: a sound of the bank, or
  // the multi of that number.
  void requestBySlot(bool multi, int slot, int bank = 0) {
    setParam(kDatatype, multi ? 1 : 0);
    requestIntoLibrarySlot(*plug, multi, slot, bank);
  }
  Bytes slotDump(bool multi, int slot) { return librarySlotDump(*plug, multi, slot); }
};

// One library request taken into its slot, then one of the other kind: the
// second reads its own record alone. Silent, it times out and marks nothing
// received; answered late, its answer lands in its slot.
TEST_F(LibraryReplyTest, EachLibraryRequestReadsItsOwnRecord) {
  for (const bool multiFirst : {true, false}) {
    for (const bool silent : {true, false}) {
      SCOPED_TRACE(std::string(multiFirst ? "a multi, then a sound" : "a sound, then a multi") +
                   (silent ? ", unanswered" : ", answered late"));
      requestBySlot(multiFirst, 4);
      free();
      ASSERT_EQ(slotDump(multiFirst, 4), multiFirst ? instrument.storedMulti(4) : instrument.storedSound(0, 4));
      plug->setParameterFromPlug(kBankEditUnsaved, 0, false);
      valueText.SetTextFromPlug("");
      nameText.SetTextFromPlug("");
      if (silent) instrument.setRepliesLeft(0);
      else instrument.setAnswersLate(3 * kTick);
      const Bytes before = slotDump(!multiFirst, 7);
      requestBySlot(!multiFirst, 7);
      free();
      if (silent) {
        EXPECT_EQ(valueText.GetText(), std::string("CONNECTION TIMED OUT!"));
        EXPECT_NE(nameText.GetText(), std::string("Data received to slot(s)"));
        EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0) << "nothing came: the bank is as saved";
        EXPECT_EQ(slotDump(!multiFirst, 7), before);
      } else {
        EXPECT_EQ(valueText.GetText(), std::string("Data request Completed!"));
        EXPECT_EQ(slotDump(!multiFirst, 7), !multiFirst ? instrument.storedMulti(7) : instrument.storedSound(0, 7));
      }
      instrument.setRepliesLeft(-1);
      instrument.setAnswersLate(0);
      nextRow();
    }
  }
}

// A whole bank asked for, each answer sent twice: the copy that comes as the
// next program is asked is not that program's. Slot n holds program n.
TEST_F(LibraryReplyTest, ABankRequestTakesEachProgramsOwnAnswer) {
  setParam(kDatatype, 0);
  instrument.setAnswersTwice(3 * kTick);
  plug->midiMessageManager->sendAllPatchRequestSysexFromLibrarian(1);
  free();
  for (int n = 0; n < 100; ++n) ASSERT_EQ(slotDump(false, n), instrument.storedSound(1, n)) << "slot " << n;
  EXPECT_EQ(valueText.GetText(), std::string("Data request completed!"));
}

// A stored program's dump (a library request's, late) while a part's request
// waits: it is no part's answer, whatever its program byte.
TEST_F(LibraryReplyTest, AStoredProgramsDumpIsNoPartsReply) {
  lateMs = 4 * kTick;
  hold();
  pickProgram(10);
  runUntil([](const Bytes& m) { return isRequest(m); });
  backend->inject(instrument.storedSound(1, kPart));
  free();
  EXPECT_EQ(shownName(), sound(10));
  EXPECT_EQ(instrumentsName(), sound(10));
}

// A library request refused as it starts (no slot selected) leaves no record
// armed: the instrument's knob turned next is followed, and the part's next
// reply is the editor's.
TEST_F(LibraryReplyTest, ARefusedLibraryRequestLeavesNoRecordArmed) {
  requestBySlot(false, -1);
  free();
  EXPECT_EQ(valueText.GetText(), std::string("Select a library slot first!"));
  constexpr int kDetunePosition = 3;
  backend->inject(instrument.turnSoundKnob(kPart, kDetunePosition, 66));
  EXPECT_EQ(param(kOscillator1Detune + kPart)->Int(), 66) << "a record left armed swallowed the knob";
  pickProgram(12);
  free();
  EXPECT_EQ(shownName(), sound(12));
  EXPECT_EQ(valueText.GetText(), std::string("Data request Completed!"));
}
}  // namespace
