// End to end on JACK: the plug-in sends a part's sound as a dump job through
// its direct MIDI output to the simulated instrument on a real JACK port.
#include <gtest/gtest.h>

#include "JackTest.h"
#include "MidiSendThread.h"
#include "PluginMidiTestSupport.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
class JackEndToEndTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->waitForLibrary();
    ASSERT_NO_FATAL_FAILURE(Connect(*plug, false));
    prepareSoundParameters(*plug, kDeviceId);
    link = std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { peer->Send(reply); });
  }

  static constexpr int kDeviceId = 0x10;
  std::unique_ptr<Tarnivex> plug;
  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentLink> link;
  // What arrived at the instrument's port.
  SentMessages arrived = [this] {
    std::vector<std::vector<unsigned char>> all;
    for (const PeerEvent& event : peer->Events()) all.push_back(event.bytes);
    return all;
  };
};

TEST_F(JackEndToEndTest, PartDumpJobReachesTheInstrumentByteExact) {
  expectPartSoundStored(*plug, kDeviceId, arrived, *link, instrument);
}
}  // namespace

namespace {
// The instrument answers on its own: what reaches its port is handed to it
// as it arrives, and its replies go back through the port.
class JackConversationTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->waitForLibrary();
    ASSERT_NO_FATAL_FAILURE(Connect(*plug, true));
    prepareSoundParameters(*plug, 0);
    link = std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { peer->Send(reply); });
    relay = std::thread([this] {
      for (size_t handed = 0; !stopping; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
        const std::vector<PeerEvent> events = peer->Events();
        for (; handed < events.size(); ++handed) link->deliver(events[handed].bytes);
      }
    });
  }
  void TearDown() override {
    stopping = true;
    relay.join();
    plug.reset();
  }
  bool runJob(int code, int part, bool flag) {
    SenderJob job;
    job.jobCode = code;
    job.partArgument = part;
    job.requestFlag = flag;
    MIDIMessageManager& manager = *plug->midiMessageManager;
    if (!manager.startJob(job, [&] { manager.dumpExpected = flag; })) return false;
    return waitUntil([&] { return manager.atRest(); });
  }
  double value(int idx) { return plug->GetParam(idx)->Value(); }

  SimulatedInstrument instrument{5};
  std::unique_ptr<Tarnivex> plug;
  std::unique_ptr<InstrumentLink> link;
  std::atomic<bool> stopping{false};
  std::thread relay;
};

TEST_F(JackConversationTest, FoundOnID5ItAnswersThenItsKnobsMoveTheEditorWithNoEcho) {
  plug->sendSysExInitialization();  // the device-ID enquiry, with learning on
  plug->midiSendThread->flush();     // which starts it
  ASSERT_TRUE(waitUntil([&] { return plug->midiMessageManager->atRest(); }));
  EXPECT_EQ(value(kGlobalSysExID), 5);

  ASSERT_TRUE(runJob(6, 3, true));
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 3, 0), "PART A04        ");
  EXPECT_EQ(value(kOscillator1Octave + 3), 1);  // byte 28
  ASSERT_TRUE(runJob(5, 0, true));
  EXPECT_EQ(plug->paramDisplayText(kMultiName, 0), "MULTI EDIT      ");
  for (const PeerEvent& event : peer->Events()) {
    if (event.bytes.size() == 8 && event.bytes[4] <= 1) {
      EXPECT_EQ(event.bytes[3], 5);  // the requests after the search
    }
  }

  // Program changes are not followed by requests here: what comes back is
  // only ever an echo. The instrument's local control on, it plays what it
  // reports itself: nothing is sent back for that either.
  plug->GetParam(kControlProgBank)->Set(0);
  plug->GetParam(kGlobalLocalControl)->Set(1);
  plug->setLocalControl(true);
  const size_t sentBefore = peer->Events().size();
  peer->Send(instrument.turnSoundKnob(2, 58, 0x21));        // unisono 2, mono
  peer->Send(instrument.turnSoundKnob(1, 128 + 104, 40));   // envelope 4: mode 8, trigger
  peer->Send(instrument.turnMultiKnob(128 + 59, 42));       // part 7 plays program 42
  ASSERT_TRUE(waitUntil([&] { return value(kMultiPartPatch + 7) == 42; }));
  EXPECT_EQ(value(kOscillatorUnisono + 2), 2);
  EXPECT_EQ(value(kOscillatorMonoPolyMode + 2), 1);
  EXPECT_EQ(value(kEnvelope4Mode + 1), 8);
  EXPECT_EQ(value(kEnv4Trigger + 1), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(peer->Events().size(), sentBefore);  // nothing went back
}
}  // namespace

TEST_F(JackConversationTest, TheClockStartsTicksAtTheTempoAndStops) {
  plug->clockPointerOn = true;
  plug->clockInfoOn = true;
  plug->tempoValue = 300;
  plug->GetParam(kOverrideTempo)->InitInt("", 1, 0, 2);
  MIDIMessageManager& manager = *plug->midiMessageManager;
  SenderJob job;
  job.jobCode = 15;
  ASSERT_TRUE(manager.startJob(job));
  ASSERT_TRUE(waitUntil([&] { return !manager.isThreadRunning(JobThread::kClock); }));
  manager.resetContinuousClock(false);
  job.jobCode = 16;
  ASSERT_TRUE(manager.startJob(job));
  ASSERT_TRUE(waitUntil([&] { return instrument.timingClockTimes().size() >= 10; }));
  manager.resetContinuousClock(true);
  ASSERT_TRUE(waitUntil([&] { return !manager.isThreadRunning(JobThread::kContinuousClock); }));
  job.jobCode = 17;
  ASSERT_TRUE(manager.startJob(job));
  ASSERT_TRUE(waitUntil([&] { const auto b = instrument.clockBytes(); return !b.empty() && b.back() == 0xFC; }));
  const std::vector<uint8_t> bytes = instrument.clockBytes();
  EXPECT_EQ(bytes.front(), 0xFA);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFA), 1);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFC), 1);
  EXPECT_GE(std::count(bytes.begin(), bytes.end(), 0xF8), 10);
}
