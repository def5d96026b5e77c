// The JACK server stopped (SIGSTOP) under the plug-in, with the window open
// and the simulated instrument at the far end: nothing of the editor waits
// for it. A message is gone once the out port took it into its ring; a full
// ring refuses at once; a stalled server delivers late what went; a close
// neither waits for it nor hands anything on.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "ByteChunk.h"
#include "HostEvents.h"
#include "JackEditorTest.h"
#include "MIDIMessageSender.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr int kPart = 3;
// A call that waited for room in the ring waited a second (the wait the
// editor had); one that does not returns well within this, even loaded.
constexpr long kCallBoundMs = 250;
// A close that waits for nothing of the server.
constexpr long kCloseBoundMs = 1000;

class ServerStallTest : public JackEditorTest {
 protected:
  void TearDown() override {
    stopHost();
    server.Suspend(false);
    JackEditorTest::TearDown();
  }

  // Ports on the instrument, program changes taken, the parts active, each
  // on a channel of its own (part p on channel p).
  void readyForPicks(int parts) {
    ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
    plug->setThroughUserPath(kGlobalRxProgramChange, 1.0);
    plug->setThroughUserPath(kMIDIFilterDAWPCPassThrough, 1.0);
    for (int p = 0; p < parts; ++p) {
      plug->GetParam(kMultiPartStatus + p)->Set(1);
      plug->GetParam(kMultiPartMIDICh + p)->Set(p + 2);
    }
    ASSERT_NO_FATAL_FAILURE(allArrived());
  }
  // The host's audio thread: the event call (with notes when hostNotes) and
  // the block, again and again; the longest event call is kept.
  void startHost(bool hostNotes) {
    hostRunning = true;
    hostThread = std::thread([this, hostNotes] {
      AEffect* effect = plug->GetAEffect();
      std::vector<float> left(256), right(256);
      float* channels[] = {left.data(), right.data()};
      std::vector<std::vector<unsigned char>> notes;
      if (hostNotes)
        for (unsigned char n = 0; n < 32; ++n) notes.push_back({static_cast<unsigned char>(0x90 | kPart), n, 0});
      HostEventList events(notes);
      while (hostRunning) {
        const auto start = Clock::now();
        effect->dispatcher(effect, effProcessEvents, 0, 0, events.events(), 0.0f);
        worstEventCall = std::max(worstEventCall.load(), msSince(start));
        effect->processReplacing(effect, channels, channels, 256);
        std::this_thread::sleep_for(milliseconds(2));
      }
    });
  }
  void stopHost() {
    hostRunning = false;
    if (hostThread.joinable()) hostThread.join();
  }
  // Fills the out port's ring with SysEx no instrument takes (the server
  // stopped): with long messages, then shorter ones, each until the port
  // refuses one or a send waits.
  void fillTheRing() {
    for (const size_t size : {1024u, 64u, 3u}) {
      std::vector<unsigned char> junk(size, 0x01);
      junk.front() = 0xF0;
      junk[1] = 0x7D;
      junk.back() = 0xF7;
      int sent = 0;
      for (auto start = Clock::now(); plug->sendRawToDevice(junk) && msSince(start) < kCallBoundMs; start = Clock::now())
        if (++sent > 100000) FAIL() << "the ring took " << sent << " messages of " << size << " bytes";
    }
  }
  std::pair<std::string, std::string> status() {
    return {plug->paramNameDisplay->GetText(), plug->paramValueDisplay->GetText()};
  }
  long windowCall(const std::function<void()>& call) {
    const auto start = Clock::now();
    call();
    return msSince(start);
  }
  void pickInWindow(int part, int program) {
    const int index = kMultiPartPatch + part;
    plug->SetParameterFromGUI(index, plug->GetParam(index)->GetNormalized(program));
  }
  int shownProgram(int part) { return plug->GetParam(kMultiPartPatch + part)->Int(); }
  int recordedProgram(int part) { return plug->partProgramKnown[part] ? plug->partProgram(part) : -1; }
  // The last program change the instrument received on the channel since mark, or -1.
  int lastProgramOn(int channel, size_t mark) {
    const std::vector<SimBytes> all = instrument.received();
    for (size_t i = all.size(); i-- > mark;)
      if (all[i].size() == 2 && all[i][0] == (0xC0 | channel)) return all[i][1];
    return -1;
  }
  bool atRest() { return eventually([this] { return plug->midiMessageManager->atRest(); }); }

  std::atomic<bool> hostRunning{false};
  std::thread hostThread;
  std::atomic<long> worstEventCall{0};
};

// The server stopped and the out ring full: a window edit and a window pick
// return at once and say "Not sent"; the edit's control goes back, the pick
// is neither shown nor recorded, and neither reaches the instrument once the
// server runs again. The host's event call meanwhile is not held.
TEST_F(ServerStallTest, AWindowEditAndPickMeetingAFullRingReturnAtOnceNotSent) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks(kPart + 1));
  IControl* detune = plug->firstControlOf(kOscillator1Detune);
  ASSERT_NE(detune, nullptr);
  IParam* edited = plug->GetParam(kOscillator1Detune);
  const int detuneBefore = edited->Int(), programBefore = shownProgram(kPart), recordedBefore = recordedProgram(kPart);
  const int detuneAfter = detuneBefore == 100 ? 101 : 100;
  const size_t mark = instrument.received().size();
  server.Suspend(true);
  ASSERT_NO_FATAL_FAILURE(fillTheRing());
  startHost(false);

  const long editMs = windowCall([&] { detune->SetValueFromUserInput(edited->GetNormalized(detuneAfter)); });
  EXPECT_LT(editMs, kCallBoundMs) << "the window's edit waited for room";
  EXPECT_EQ(status().second, "Not sent");
  EXPECT_EQ(edited->Int(), detuneBefore);
  EXPECT_DOUBLE_EQ(detune->GetValue(), edited->GetNormalized());

  plug->paramValueDisplay->SetTextFromPlug("");
  const long pickMs = windowCall([&] { pickInWindow(kPart, 57); });
  EXPECT_LT(pickMs, kCallBoundMs) << "the window's pick waited";
  ASSERT_TRUE(atRest());
  EXPECT_EQ(status().second, "Not sent");
  EXPECT_EQ(shownProgram(kPart), programBefore);
  EXPECT_EQ(recordedProgram(kPart), recordedBefore);
  stopHost();
  EXPECT_LT(worstEventCall.load(), kCallBoundMs) << "the host's event call waited";

  server.Suspend(false);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  EXPECT_EQ(lastProgramOn(kPart, mark), -1) << "a pick said not sent reached the instrument";
  EXPECT_NE(instrument.partBuffer(0)[10], detuneAfter) << "an edit said not sent reached the instrument";
}

// The server stopped for well over a second while sixteen parts are each
// picked three times in the window: every pick's change goes into the ring,
// none is said not sent, each window shows its last pick at once, and once
// the server runs the instrument plays what each window shows.
TEST_F(ServerStallTest, SixteenPartsPickedThriceWhileTheServerStallsPlayWhatTheirWindowsShow) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks(16));
  const size_t mark = instrument.received().size();
  server.Suspend(true);
  for (int round = 0; round < 3; ++round)
    for (int p = 0; p < 16; ++p) pickInWindow(p, 10 + 20 * round + p);
  // Each change went into the ring: shown at once, the server stopped.
  EXPECT_TRUE(eventually([&] {
    for (int p = 0; p < 16; ++p)
      if (shownProgram(p) != 50 + p) return false;
    return true;
  }));
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_NE(status().second, "Not sent") << status().first;
  for (int p = 0; p < 16; ++p) {
    EXPECT_EQ(shownProgram(p), 50 + p) << "part " << p + 1;
    EXPECT_EQ(recordedProgram(p), 50 + p) << "part " << p + 1;
  }
  server.Suspend(false);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  for (int p = 0; p < 16; ++p) {
    EXPECT_EQ(lastProgramOn(p, mark), shownProgram(p)) << "part " << p + 1;
    EXPECT_EQ(recordedProgram(p), shownProgram(p)) << "part " << p + 1;
    EXPECT_EQ(shownProgram(p), 50 + p) << "part " << p + 1;
  }
}

// Closed while the server is stopped and SEND MULTI is under way (its multi
// in the ring, the job in its pause), with the host's notes and window picks
// going into a ring that may be full: the close returns promptly, and nothing
// of the send follows it once the server runs.
TEST_F(ServerStallTest, ClosingWhileTheServerIsStoppedDuringSendMultiReturnsPromptly) {
  struct Row {
    const char* name;
    bool fullRing;  // the host's notes and the window's picks fill it meanwhile
  };
  const Row rows[] = {{"SEND MULTI alone", false}, {"the host's notes and window picks going", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_NO_FATAL_FAILURE(readyForPicks(4));
    server.Suspend(true);
    if (row.fullRing) {
      startHost(true);
      for (int p = 0; p < 4; ++p) pickInWindow(p, 40 + p);
      ASSERT_NO_FATAL_FAILURE(fillTheRing());
    }
    plug->setThroughUserPath(kPushArrangement, 1);
    std::this_thread::sleep_for(milliseconds(300));  // the send under way
    stopHost();
    const auto start = Clock::now();
    window.reset();
    plug.reset();
    const long closeMs = msSince(start);
    EXPECT_LT(closeMs, kCloseBoundMs) << "the close waited";
    const size_t closed = instrument.received().size();
    server.Suspend(false);
    ASSERT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60)));
    ASSERT_TRUE(peer->AwaitCycles(20));
    const std::vector<SimBytes> all = instrument.received();
    for (size_t i = closed; i < all.size(); ++i)
      EXPECT_FALSE(all[i].size() > 10 && all[i][1] == 0x3E && all[i][4] == 0x10) << "a part's sound went after the close";
  }
}

// Closed while a restore sends (held in the pause after its multi): the
// instrument receives nothing of it after the close, neither the parts not
// yet sent nor anything else of it.
TEST_F(ServerStallTest, ACloseSendsNothingOfARestoreUnderWay) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks(9));
  ByteChunk project;
  ASSERT_TRUE(plug->SerializeState(&project));
  struct Held {
    std::mutex mutex;
    bool held = false;
  };
  const auto held = std::make_shared<Held>();
  plug->midiMessageManager->virtualPause = [held, manager = plug->midiMessageManager.get()](int ms) {
    if (ms != 500) return true;
    {
      std::lock_guard<std::mutex> lock(held->mutex);
      held->held = true;
    }
    // The pause after the multi, until the close.
    for (int i = 0; i < 60000 && !manager->isShuttingDown(); ++i) std::this_thread::sleep_for(milliseconds(1));
    return false;
  };
  const size_t mark = instrument.received().size();
  ASSERT_GE(plug->UnserializeState(&project, 0), 0);
  ASSERT_TRUE(eventually([&] {
    std::lock_guard<std::mutex> lock(held->mutex);
    return held->held;
  }));
  ASSERT_TRUE(peer->AwaitCycles(20));
  const size_t beforeClose = instrument.received().size();
  ASSERT_GE(beforeClose - mark, 2u);  // the global dump and the multi went
  window.reset();
  plug.reset();
  ASSERT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60)));
  ASSERT_TRUE(peer->AwaitCycles(20));
  const std::vector<SimBytes> all = instrument.received();
  EXPECT_EQ(all.size(), beforeClose) << "the close sent " << all.size() - beforeClose << " messages";
}
// A restore cut by a killed server (after its second part went, the next
// part's dump meets the port gone) is over: once the server and the
// instrument are back and the ports connect again, nothing more of it goes,
// and the window says the project was not sent.
TEST_F(ServerStallTest, ARestoreCutByAKilledServerIsNotResumedWhenThePortsComeBack) {
  ASSERT_NO_FATAL_FAILURE(readyForPicks(9));
  const std::string toInstrument = peer->InPortName();
  ByteChunk project;
  ASSERT_TRUE(plug->SerializeState(&project));
  struct Steps {
    std::mutex mutex;
    std::condition_variable changed;
    int partPauses = 0;
    bool atKill = false, killed = false, heldAfter = false, back = false;
  };
  const auto steps = std::make_shared<Steps>();
  plug->midiMessageManager->virtualPause = [steps, manager = plug->midiMessageManager.get()](int ms) {
    std::unique_lock<std::mutex> lock(steps->mutex);
    const auto until = [&](const bool& flag) {
      steps->changed.notify_all();
      steps->changed.wait_for(lock, std::chrono::seconds(60), [&] { return flag || manager->isShuttingDown(); });
    };
    if (ms == 400 && ++steps->partPauses == 2) {
      steps->atKill = true;
      until(steps->killed);  // the server goes in the pause after the second part
    } else if (ms == 400 && steps->killed && !steps->back) {
      steps->heldAfter = true;
      until(steps->back);  // the pause after a later part waits for the ports
    }
    return !manager->isShuttingDown();
  };
  const auto flag = [&](bool Steps::*member) {
    std::lock_guard<std::mutex> lock(steps->mutex);
    return steps.get()->*member;
  };
  const auto set = [&](bool Steps::*member) {
    std::lock_guard<std::mutex> lock(steps->mutex);
    steps.get()->*member = true;
    steps->changed.notify_all();
  };
  ASSERT_GE(plug->UnserializeState(&project, 0), 0);
  ASSERT_TRUE(eventually([&] { return flag(&Steps::atKill); }));
  ASSERT_TRUE(peer->AwaitCycles(20));
  const size_t mark = instrument.received().size();
  onPeer.reset();
  link = nullptr;
  server.Stop(true);
  peer->Abandon();
  ASSERT_TRUE(eventually([&] { return plug->isOutPortGone(); }));
  set(&Steps::killed);
  // Cut, the send ends (or, as it did, waits in its next pause).
  ASSERT_TRUE(eventually([&] { return flag(&Steps::heldAfter) || plug->midiMessageManager->atRest(); }));
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Project not sent!");

  server.probeBySocket = true;
  ASSERT_TRUE(server.Start()) << server.Error();
  peer = std::make_unique<JackPeer>();
  onPeer = std::make_unique<InstrumentOnPeer>(instrument, *peer);
  link = &onPeer->link();
  MenuShowing(*plug, false, toInstrument);
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument";
  set(&Steps::back);
  ASSERT_TRUE(idle());
  ASSERT_TRUE(peer->AwaitCycles(20));
  const std::vector<SimBytes> all = instrument.received();
  for (size_t i = mark; i < all.size(); ++i)
    EXPECT_FALSE(all[i].size() > 10 && all[i][1] == 0x3E && all[i][4] == 0x10) << "a part's sound went once the ports were back";
  plug->OnIdle();
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "The project cut off is not sent again");
}
}  // namespace
