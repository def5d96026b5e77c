// The host's calls beside picks whose messages are held up: each pass of the
// picks' gate held 300 ms, the JACK server's cycles long, or the server
// stopped. The block, the event call and the window's own call never wait
// for them, and the instrument, the window and the record still end on the
// last pick.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "ByteChunk.h"
#include "HostEvents.h"
#include "JackEditorTest.h"
#include "PartPicks.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr int kPart = 3;
constexpr int kHoldMs = 300;
// A host call that waits for a held pass waits a whole 300 ms for it; one
// that does not returns in well under this, even on a loaded machine.
constexpr long kCallBoundMs = 100;

class HostWaitTest : public JackEditorTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    server.periodFrames = GetParam();
    JackEditorTest::SetUp();
  }
  void TearDown() override {
    stopHost();
    if (plug) plug->midiMessageManager->picks.onLetGo = nullptr;
    server.Suspend(false);
    JackEditorTest::TearDown();
  }

  // The host's audio thread: the event call and the block, one after the
  // other, as fast as they return; the longest of each is kept.
  void startHost() {
    hostRunning = true;
    hostThread = std::thread([this] {
      AEffect* effect = plug->GetAEffect();
      std::vector<float> left(256), right(256);
      float* channels[] = {left.data(), right.data()};
      HostEventList none({});
      while (hostRunning) {
        auto start = Clock::now();
        effect->dispatcher(effect, effProcessEvents, 0, 0, none.events(), 0.0f);
        worstEventCall = std::max(worstEventCall.load(), msSince(start));
        start = Clock::now();
        effect->processReplacing(effect, channels, channels, 256);
        worstBlock = std::max(worstBlock.load(), msSince(start));
        std::this_thread::sleep_for(milliseconds(2));
      }
    });
  }
  void stopHost() {
    hostRunning = false;
    if (hostThread.joinable()) hostThread.join();
  }
  // The host's bank select and program change for the part, from its event
  // call; timed like the rest of the host's calls.
  void hostPair(int bank, int program) {
    HostEventList pair({{static_cast<unsigned char>(0xB0 | channel), 0, 0},
                        {static_cast<unsigned char>(0xB0 | channel), 32, static_cast<unsigned char>(64 + bank)},
                        {static_cast<unsigned char>(0xC0 | channel), static_cast<unsigned char>(program)}});
    AEffect* effect = plug->GetAEffect();
    const auto start = Clock::now();
    effect->dispatcher(effect, effProcessEvents, 0, 0, pair.events(), 0.0f);
    worstEventCall = std::max(worstEventCall.load(), msSince(start));
  }
  // From now on every pass of the gate is held 300 ms: a message that is
  // slow to go, under the gate's lock.
  void holdEveryPass() {
    plug->midiMessageManager->picks.onLetGo = [this](const PickTicket&) {
      ++passes;
      std::this_thread::sleep_for(milliseconds(kHoldMs));
    };
  }
  bool aPassIsHeld() {
    return eventually([this] { return passes.load() > 0; });
  }
  // The window's own call, timed.
  long windowCall(const std::function<void()>& call) {
    const auto start = Clock::now();
    call();
    return msSince(start);
  }
  void pickInWindow(int index, int value) {
    plug->SetParameterFromGUI(index, plug->GetParam(index)->GetNormalized(value));
  }
  // The index of the last message the instrument received that matches.
  static long lastIndexOf(const std::vector<SimBytes>& all, const std::function<bool(const SimBytes&)>& match) {
    for (size_t i = all.size(); i-- > 0;)
      if (match(all[i])) return static_cast<long>(i);
    return -1;
  }
  static long firstIndexOf(const std::vector<SimBytes>& all, size_t from,
                           const std::function<bool(const SimBytes&)>& match) {
    for (size_t i = from; i < all.size(); ++i)
      if (match(all[i])) return static_cast<long>(i);
    return -1;
  }
  // A dump's sound, without its address and checksum.
  static SimBytes soundData(const SimBytes& dump) {
    return dump.size() > 9 ? SimBytes(dump.begin() + 7, dump.end() - 2) : dump;
  }
  bool programChangeOfPart(const SimBytes& m) const { return m.size() == 2 && m[0] == (0xC0 | channel); }
  static bool multiDump(const SimBytes& m) { return m.size() == 393 && m[0] == 0xF0; }
  static bool multiRequest(const SimBytes& m) { return m.size() == 8 && m[0] == 0xF0 && m[4] == 0x01; }

  void readyForPicks() {
    ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
    plug->setThroughUserPath(kGlobalRxProgramChange, 1.0);
    plug->setThroughUserPath(kMIDIFilterDAWPCPassThrough, 1.0);
    plug->GetParam(kMultiPartStatus + kPart)->Set(1);
    channel = plug->GetParam(kMultiPartMIDICh + kPart)->Int() - 2;
    ASSERT_GE(channel, 0);
    ASSERT_NO_FATAL_FAILURE(allArrived());
  }
  void expectNoHostCallWaited(long windowMs) {
    EXPECT_LT(worstEventCall.load(), kCallBoundMs) << "the host's event call waited";
    EXPECT_LT(worstBlock.load(), kCallBoundMs) << "the block waited";
    EXPECT_LT(windowMs, kCallBoundMs) << "the window's call waited";
  }

  std::atomic<bool> hostRunning{false};
  std::thread hostThread;
  std::atomic<long> worstEventCall{0}, worstBlock{0};
  std::atomic<int> passes{0};
  int channel = -1;
};

// The window's pick of the part's program while the host's pair for the part
// is held at the gate: the window's pick is the last, and the part plays it.
TEST_P(HostWaitTest, AWindowPickBesideAHeldHostPairIsTheLastPick) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks());
  startHost();
  holdEveryPass();
  hostPair(1, 20);
  ASSERT_TRUE(aPassIsHeld());
  const long windowMs = windowCall([&] { pickInWindow(kMultiPartPatch + kPart, 12); });
  ASSERT_NO_FATAL_FAILURE(allArrived());
  stopHost();
  expectNoHostCallWaited(windowMs);
  const std::vector<SimBytes> all = instrument.received();
  const long last = lastIndexOf(all, [this](const SimBytes& m) { return programChangeOfPart(m); });
  ASSERT_GE(last, 0);
  EXPECT_EQ(all[static_cast<size_t>(last)], (SimBytes{static_cast<uint8_t>(0xC0 | channel), 12}));
  // On the host's bank B, which the window's pick followed.
  EXPECT_EQ(soundData(instrument.partBuffer(kPart)), soundData(instrument.storedSound(1, 12)));
  EXPECT_EQ(plug->GetParam(kMultiPartPatch + kPart)->Int(), 12);
  EXPECT_EQ(plug->partProgram(kPart), 12);
  EXPECT_EQ(plug->partBank(kPart), 1);
}

// A restore, and GET MULTI, started while the host's pick is held: they
// start at once, and nothing of the older pick reaches the instrument after
// their first message.
TEST_P(HostWaitTest, AStateStartedBesideAHeldPickGoesAfterIt) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks());
  ByteChunk project;
  plug->GetParam(kMultiPartPatch + kPart)->Set(33);
  plug->SerializeState(&project);
  const struct {
    const char* what;
    std::function<void()> start;
    std::function<bool(const SimBytes&)> first;  // the state's first message
  } rows[] = {
      {"a restore",
       [&] {
         std::vector<uint8_t> bytes(project.Data(), project.Data() + project.Size());
         AEffect* effect = plug->GetAEffect();
         effect->dispatcher(effect, effSetChunk, 1, static_cast<VstIntPtr>(bytes.size()), bytes.data(), 0.0f);
       },
       [](const SimBytes& m) { return m.size() > 9 && m[0] == 0xF0; }},
      {"GET MULTI", [&] { pickInWindow(kRequestTempData, 1); }, multiRequest},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const size_t mark = instrument.received().size();
    worstEventCall = 0;
    worstBlock = 0;
    passes = 0;
    startHost();
    holdEveryPass();
    hostPair(2, 44);
    ASSERT_TRUE(aPassIsHeld());
    const long windowMs = windowCall(row.start);
    ASSERT_NO_FATAL_FAILURE(allArrived());
    plug->midiMessageManager->picks.onLetGo = nullptr;
    stopHost();
    expectNoHostCallWaited(windowMs);
    const std::vector<SimBytes> all = instrument.received();
    const long first = firstIndexOf(all, mark, row.first);
    ASSERT_GE(first, 0) << "the state never went";
    const long older = lastIndexOf(all, [this](const SimBytes& m) { return programChangeOfPart(m); });
    if (older >= static_cast<long>(mark)) {
      EXPECT_LT(older, first) << "the older pick's change went after the state began";
    }
    // The part is on what the multi the instrument now holds says.
    const size_t block = 7 + 32 + 22 * kPart;
    EXPECT_EQ(plug->GetParam(kMultiPartPatch + kPart)->Int(), instrument.multiBuffer()[block + 1]);
  }
}

// The server stopped while the window's pick goes, for over a second: the
// host's calls go on, the change went into the port's ring and the window
// shows it at once (no bound after which it counts as lost: "Not sent" is
// never said of it), and the instrument plays it once the server runs.
TEST_P(HostWaitTest, AChangeMadeWhileTheServerStallsIsShownAndReachesTheInstrumentLate) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks());
  startHost();
  const size_t mark = instrument.received().size();
  server.Suspend(true);
  const long windowMs = windowCall([&] { pickInWindow(kMultiPartPatch + kPart, 57); });
  // Shown as soon as it went into the ring; still so past the old bound.
  const bool over = eventually([&] { return plug->GetParam(kMultiPartPatch + kPart)->Int() == 57; });
  std::this_thread::sleep_for(milliseconds(std::max(1500, 2 * GetParam() * 1000 / 48000 + 1200)));
  const int shown = plug->GetParam(kMultiPartPatch + kPart)->Int(), recorded = plug->partProgram(kPart);
  const std::string said = plug->paramValueDisplay->GetText();
  server.Suspend(false);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  stopHost();
  expectNoHostCallWaited(windowMs);
  ASSERT_TRUE(over);
  EXPECT_EQ(shown, 57);
  EXPECT_EQ(recorded, 57);
  EXPECT_NE(said, "Not sent");
  const std::vector<SimBytes> all = instrument.received();
  const long change = lastIndexOf(all, [this](const SimBytes& m) { return programChangeOfPart(m); });
  ASSERT_GE(change, static_cast<long>(mark)) << "the change never reached the instrument";
  EXPECT_EQ(all[static_cast<size_t>(change)][1], 57);
}

INSTANTIATE_TEST_SUITE_P(Periods, HostWaitTest, ::testing::Values(1024, 16384),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Frames" + std::to_string(info.param);
                         });
}  // namespace
