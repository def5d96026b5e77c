// What the direct in port hands to the plug-in's handlers, and when it stops.
#include <atomic>
#include <future>
#include <thread>

#include "MemoryMidiTest.h"

namespace {
class MidiInputTest : public MemoryMidiTest {
 protected:
  void SetUp() override {
    MemoryMidiTest::SetUp();
    OpenA();
  }
};

TEST_F(MidiInputTest, MessagesReachTheHandlersAsShortMessagesOrSysEx) {
  MidiBytes dump(392, 0x33);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  const struct {
    MidiBytes in;
    ReceivedMidi out;
  } kCases[] = {
      {{0xC3, 0x05}, {{0xC3, 0x05, 0x00}, false, true, 0}},
      {{0x90, 0x3C, 0x64}, {{0x90, 0x3C, 0x64}, false, true, 0}},
      {{0xF2, 0x01, 0x02}, {{0xF2, 0x01, 0x02}, false, true, 0}},
      {{0xF6}, {{0xF6, 0x00, 0x00}, false, true, 0}},
      {{0xF0, 0x3E, 0x10, 0x00, 0xF7}, {{0xF0, 0x3E, 0x10, 0x00, 0xF7}, true, true, 0}},
      {dump, {dump, true, true, 0}},
      {{0x90, 0x3C, 0x64, 0x3D}, {{0x90, 0x3C, 0x64, 0x3D}, true, true, 0}},  // four bytes: SysEx, whatever byte 0
  };
  std::vector<ReceivedMidi> expected;
  for (const auto& c : kCases) {
    EXPECT_TRUE(backend->inject(c.in));
    expected.push_back(c.out);
  }
  EXPECT_EQ(plug->Received(), expected);
}

TEST_F(MidiInputTest, ClockTimeCodeAndActiveSensingNeverArrive) {
  for (const MidiBytes& message : {MidiBytes{0xF8}, MidiBytes{0xF1, 0x20}, MidiBytes{0xFE}})
    backend->inject(message);
  EXPECT_TRUE(plug->Received().empty());
}

TEST_F(MidiInputTest, NothingArrivesAfterStopMidiInput) {
  plug->StopMidiInput();
  backend->inject({0x90, 0x3C, 0x64});
  EXPECT_TRUE(plug->Received().empty());
  EXPECT_FALSE(backend->in().open);
}

TEST_F(MidiInputTest, StopMidiInputWaitsForAMessageInFlight) {
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> stopped{false};
  bool stoppedWhileHandling = true;
  plug->onMessage = [&] {
    entered.set_value();
    released.wait();
    stoppedWhileHandling = stopped;
  };
  std::thread device([&] { backend->inject({0x90, 0x3C, 0x64}); });
  entered.get_future().wait();
  std::thread stopper([&] {
    plug->StopMidiInput();
    stopped = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(stopped);
  release.set_value();
  device.join();
  stopper.join();
  EXPECT_FALSE(stoppedWhileHandling);
  EXPECT_EQ(plug->Received().size(), 1u);
}

// A plug-in whose handler uses a member of its own: destroying it while the
// device keeps sending must never run the handler on a destroyed part.
class PlugWithParts : public RecordingPlug {
 public:
  ~PlugWithParts() override { StopMidiInput(); }
  void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override {
    mParts->push_back(msg->mData1);
    RecordingPlug::ProcessMidiMsg(msg, fromDevice);
  }

 private:
  std::unique_ptr<std::vector<int>> mParts = std::make_unique<std::vector<int>>();
};

TEST_F(MemoryMidiTest, DestroyingThePlugInWhileMessagesArriveIsSafe) {
  for (int round = 0; round < 20; ++round) {
    plug = std::make_unique<PlugWithParts>();
    OpenA();
    std::atomic<bool> done{false};
    std::thread device([&] {
      while (!done) backend->inject({0x90, 0x3C, 0x64});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    plug.reset();
    done = true;
    device.join();
    EXPECT_FALSE(backend->in().alive);
  }
}
}  // namespace
