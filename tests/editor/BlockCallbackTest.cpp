// The block callback as the editor's clock, with a scripted host: tempo,
// clock jobs on transport edges, the outgoing queue drained at its offsets,
// the part lights; host and instrument MIDI through the routing filters;
// bank and program changes; the reset.

#include <algorithm>
#include <future>
#include <optional>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditorTestSupport.h"
#include "../host/ThreadAllocations.h"
#include "IControl.h"
#include "RealtimeScope.h"
#include "TabSwitchFunctions.h"
#include "UIConfigManager.h"

namespace {
// Holds the MIDI thread inside a pause it was asked for, so that what the
// audio thread hands over meanwhile piles up in its queue.
class MidiThreadHold {
 public:
  explicit MidiThreadHold(Tarnivex& plug) : mPlug(plug) {
    plug.sleepFor = [this](int) {
      std::unique_lock<std::mutex> lock(mMutex);
      mHeld = true;
      mChanged.notify_all();
      mChanged.wait_for(lock, std::chrono::seconds(10), [this] { return mReleased; });
    };
  }
  bool Take() {
    {
      const RealtimeScope realtime;
      mPlug.pauseFor(1);
    }
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, std::chrono::seconds(10), [this] { return mHeld; });
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mReleased = true;
    }
    mChanged.notify_all();
  }

 private:
  Tarnivex& mPlug;
  std::mutex mMutex;
  std::condition_variable mChanged;
  bool mHeld = false, mReleased = false;
};

// The page switch the editor makes when a value decides which sections
// show (an oscillator's shape, say), held as it starts.
struct HeldSwitch : TabSwitchFunctions {
  std::function<void()> onSwitch;
  void quickTabSwitch(Tarnivex* plug, int index, int part, int mainTab, bool send) override {
    if (onSwitch) onSwitch();
    TabSwitchFunctions::quickTabSwitch(plug, index, part, mainTab, send);
  }
};

class BlockCallbackTest : public EditorTest {
 protected:
  HeldSwitch* holdPageSwitches() {
    auto held = std::make_unique<HeldSwitch>();
    HeldSwitch* pageSwitch = held.get();
    plug->tabSwitchFunctions = std::move(held);
    return pageSwitch;
  }
  // The window's status line held for 300 ms by another thread, from now.
  std::thread holdStatusLine() {
    std::promise<void> held;
    std::future<void> taken = held.get_future();
    std::thread holder([this, held = std::move(held)]() mutable {
      std::lock_guard<std::mutex> lock(plug->mStatusMutex);
      held.set_value();
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    taken.wait();
    return holder;
  }
  // Runs hand on a thread of its own, as the host's audio thread, while the
  // MIDI thread stands at that step of going to sleep; false if it never got there.
  bool handAsTheMidiThreadSleeps(MidiSendThread::SleepStep at, const std::function<void()>& hand) {
    struct Handed {
      std::promise<void> done;
      bool once = false;  // the MIDI thread's alone
    };
    auto handed = std::make_shared<Handed>();
    std::future<void> done = handed->done.get_future();
    plug->midiSendThread->onSleepStep([at, hand, handed](MidiSendThread::SleepStep step) {
      if (step != at || std::exchange(handed->once, true)) return;
      std::thread(hand).join();
      handed->done.set_value();
    });
    plug->midiSendThread->runFromAnyThread([] {});  // one asleep already goes to sleep again
    const bool reached = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    plug->midiSendThread->onSleepStep(nullptr);
    return reached;
  }
  // The host's event call bringing notes while the editor is busy sending.
  void hostNotesWhileBusy(int count) {
    plug->processing = true;
    {
      const RealtimeScope realtime;
      for (int i = 0; i < count; ++i) {
        IMidiMsg note = msg(0, 0x92, 60 + i, 100);
        plug->ProcessMidiMsg(&note, false);
      }
    }
    plug->processing = false;
  }
  BlockCallbackTest() {
    makePlug();
    plug->midiMessageManager->jobObserver = [this](JobThread, const SenderJob& job) {
      std::lock_guard<std::mutex> lock(jobMutex);
      jobs.push_back(job.jobCode);
    };
    block();  // the first block sends the multi tempo and starts the clock job
    settle();
    jobsSeen();
  }
  // The plug-in (and the job it may still run) goes before the record its observer writes into.
  ~BlockCallbackTest() override { plug.reset(); }
  // Job codes the workers ran since the last call (waiting, bounded, for
  // the ones started to have begun).
  std::vector<int> jobsSeen() {
    plug->midiSendThread->flush();
    for (int i = 0; i < 200; ++i) {
      bool idle = true;
      for (JobThread t : {JobThread::kRequest, JobThread::kClock, JobThread::kContinuousClock})
        idle = idle && !plug->midiMessageManager->isThreadRunning(t);
      if (idle) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard<std::mutex> lock(jobMutex);
    std::vector<int> seen(jobs.begin() + static_cast<long>(jobsRead), jobs.end());
    jobsRead = jobs.size();
    return seen;
  }
  Bytes tempo(int code) { return {0xF0, 0x3E, 0x10, kDeviceId, 0x21, 0x00, 0x05, static_cast<unsigned char>(code), 0xF7}; }
  IMidiMsg msg(int offset, int status, int d1, int d2) {
    return IMidiMsg(offset, static_cast<uint8_t>(status), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2));
  }

  std::mutex jobMutex;
  std::vector<int> jobs;
  size_t jobsRead = 0;
};

TEST_F(BlockCallbackTest, TempoLeavesOncePerChangeClampedToADataByte) {
  struct Row {
    const char* name;
    double overrideTempo, hostTempo;
    int multiTempo;
    ByteList expected;
    int multiTempoAfter;
  };
  const Row table[] = {
      {"host tempo 120", 1, 120, 55, {tempo(55)}, 55},
      {"the same tempo again", 1, 120, 55, {}, 55},
      {"121 BPM", 1, 121.9, 55, {tempo(56)}, 56},
      {"250 BPM clamps", 1, 250, 55, {tempo(127)}, 127},
      {"251 BPM is the same code", 1, 251, 55, {}, 55},
      {"40 BPM clamps", 1, 40, 55, {tempo(0)}, 0},
      {"a host without a tempo: none is sent, the multi keeps its own", 1, 0, 60, {}, 60},
      {"its tempo comes", 1, 70, 60, {tempo(5)}, 5},
      {"the multi tempo", 0, 40, 60, {tempo(60)}, 60},
      {"the same multi tempo", 0, 80, 60, {}, 60},
      {"override neither 0 nor 1", 2, 90, 70, {}, 70},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    param(kOverrideTempo)->Set(row.overrideTempo);
    param(kMultiTempo)->Set(row.multiTempo);
    host.setTempo(row.hostTempo);
    block();
    EXPECT_EQ(arrivedAtInstrument(), row.expected);
    EXPECT_EQ(param(kMultiTempo)->Int(), row.multiTempoAfter);
  }
  EXPECT_NE(debugLog().find("PROCESSOR: Host tempo synced to 121BPM"), std::string::npos);
  EXPECT_NE(debugLog().find("PROCESSOR: Host tempo is out of sync!"), std::string::npos);
}

// A project saved with the clock and the host tempo on: restored, the clock
// runs at the host's tempo, and the size control shows the editor's size.
TEST_F(BlockCallbackTest, AProjectRestoredWithTheClockOnRunsItAtTheHostsTempo) {
  param(kOverrideTempo)->Set(1);
  param(kSendMIDIClockInfo)->Set(1);
  param(kUserInterfaceSize)->InitInt("", 2, 0, 2);
  ByteChunk chunk;
  plug->SerializeState(&chunk);
  setParam(kSendMIDIClockInfo, 0);
  ASSERT_FALSE(plug->clockInfoOn);
  host.setTempo(132);
  ASSERT_GE(plug->UnserializeState(&chunk, 0), 0);
  EXPECT_TRUE(plug->clockInfoOn);
  EXPECT_EQ(plug->getTempoValue(), 132);
  EXPECT_EQ(param(kUserInterfaceSize)->Int(), 1);  // this editor is the normal size
  arrivedAtInstrument();
  block();  // starts the clock again
  bool clocked = false;
  for (int i = 0; i < 2000 && !clocked; ++i) {
    for (const Bytes& m : arrivedAtInstrument()) clocked = clocked || m == Bytes{0xF8};
    if (!clocked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(clocked);
  EXPECT_EQ(param(kSendMIDIClockInfo)->Value(), 1.0);
  EXPECT_EQ(nameText.GetText().find("Unable to get DAW Tempo"), std::string::npos);
  // The clock stops; the restore's send and the clock job end before the
  // fixture that records their jobs goes.
  setParam(kSendMIDIClockInfo, 0);
  settle();
  for (int i = 0; i < 50 && !jobsSeen().empty(); ++i) settle();
}

// A host that gives its tempo only some time after the project has loaded:
// the restored clock waits for it, never switching itself off, and runs
// once a block brings a tempo.
TEST_F(BlockCallbackTest, ARestoredClockWithNoHostTempoYetStartsWhenATempoComes) {
  param(kOverrideTempo)->Set(1);
  param(kSendMIDIClockInfo)->Set(1);
  ByteChunk chunk;
  plug->SerializeState(&chunk);
  setParam(kSendMIDIClockInfo, 0);
  settle();
  host.setTempo(0);
  ASSERT_GE(plug->UnserializeState(&chunk, 0), 0);
  EXPECT_TRUE(plug->clockInfoOn);
  const auto clocks = [](const ByteList& arrived) {
    return std::count(arrived.begin(), arrived.end(), Bytes{0xF8});
  };
  for (int i = 0; i < 20; ++i) block();  // the host has no tempo yet
  settle();
  EXPECT_EQ(clocks(arrivedAtInstrument()), 0);
  EXPECT_EQ(param(kSendMIDIClockInfo)->Value(), 1.0);
  EXPECT_TRUE(plug->clockInfoOn);
  EXPECT_EQ(valueText.GetText().find("Unable to get DAW Tempo"), std::string::npos);

  host.setTempo(120);
  block();
  long clocked = 0;
  for (int i = 0; i < 2000 && clocked < 2; ++i) {
    clocked += clocks(arrivedAtInstrument());
    if (clocked < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(clocked, 2);
  EXPECT_EQ(plug->getTempoValue(), 120);
  EXPECT_EQ(valueText.GetText().find("Unable to get DAW Tempo"), std::string::npos);
  setParam(kSendMIDIClockInfo, 0);
  settle();
  for (int i = 0; i < 50 && !jobsSeen().empty(); ++i) settle();

  // Restored so again, the clock waits; the user's flip of the clock switch
  // ends the wait as every flip does: the next block starts the clock job,
  // which reads the tempo itself.
  const auto clockJobs = [&] {
    const std::vector<int> seen = jobsSeen();
    return std::count(seen.begin(), seen.end(), 16);
  };
  host.setTempo(0);
  ASSERT_GE(plug->UnserializeState(&chunk, 0), 0);
  for (int i = 0; i < 5; ++i) block();
  settle();
  EXPECT_EQ(clockJobs(), 0);
  setParam(kSendMIDIClockInfo, 1);
  block();
  EXPECT_EQ(clockJobs(), 1);
  setParam(kSendMIDIClockInfo, 0);
  settle();
  for (int i = 0; i < 50 && !jobsSeen().empty(); ++i) settle();
}

TEST_F(BlockCallbackTest, TransportEdgesStartAndStopTheClockOnce) {
  plug->clockPointerOn = true;
  struct Row {
    const char* name;
    bool playing, toHostBuffer;
    std::vector<int> jobs;
    ByteList expected;
  };
  const Row table[] = {
      {"start", true, false, {15}, {{0xFA}}},
      {"still running", true, false, {}, {}},
      {"stop", false, false, {17}, {{0xFC}}},
      {"stopped", false, false, {}, {}},
      {"start while MIDI goes to the host", true, true, {}, {}},
      {"stop while MIDI goes to the host", false, true, {}, {}},
      {"start again", true, false, {15}, {{0xFA}}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    plug->midiToHostBuffer = row.toHostBuffer;
    host.setPlaying(row.playing);
    block();
    EXPECT_EQ(jobsSeen(), row.jobs);
    EXPECT_EQ(arrivedAtInstrument(), row.expected);
    EXPECT_EQ(plug->transportWasRunning, row.playing);
  }
}

TEST_F(BlockCallbackTest, QueuedMessagesGoToTheHostAtTheirOffsets) {
  setParam(kMIDIFilterToDAWBuffer, 1);
  EXPECT_EQ(param(kMIDIFilterDirectToHardware)->Value(), 0.0);
  plug->hostBufferOffset = 64;
  for (const IMidiMsg& m : {msg(10, 0x90, 60, 100), msg(5, 0x90, 61, 100), msg(70, 0x80, 60, 0), msg(5, 0xB0, 1, 2)}) {
    IMidiMsg copy = m;
    plug->MIDIOutRoutingSwitch(&copy);
  }
  block(64);
  using Events = std::vector<std::pair<int, Bytes>>;
  EXPECT_EQ(host.takeEvents(), (Events{{5, {0x90, 61, 100}}, {5, {0xB0, 1, 2}}, {10, {0x90, 60, 100}}}));
  EXPECT_TRUE(arrivedAtInstrument().empty());
  block(64);
  EXPECT_EQ(host.takeEvents(), (Events{{6, {0x80, 60, 0}}}));

  // A negative offset processes one frame; an offset of 0 none.
  IMidiMsg later = msg(3, 0x90, 62, 1);
  plug->MIDIOutRoutingSwitch(&later);
  plug->hostBufferOffset = -3;
  block(64);
  EXPECT_TRUE(host.takeEvents().empty());
  plug->hostBufferOffset = 0;
  block(64);
  EXPECT_TRUE(host.takeEvents().empty());
  plug->hostBufferOffset = 64;
  block(64);
  EXPECT_EQ(host.takeEvents(), (Events{{2, {0x90, 62, 1}}}));
}

TEST_F(BlockCallbackTest, PartLightsGoOffAHundredMillisecondsAfterTheyLit) {
  setParam(kMIDIFilterTrackIncomingMIDI, 0);
  IMidiMsg onPart1 = msg(0, 0x91, 60, 100);  // part 1 listens on channel value 3
  plug->sendMidiMsgAndLog(&onPart1);
  EXPECT_EQ(plug->partLights[1], 1);
  EXPECT_EQ(param(kMIDILed + 1)->Value(), 1.0);
  now += 50;
  plug->sendMidiMsgAndLog(&onPart1);  // a second one does not restart the time
  now += 50;
  block();
  EXPECT_EQ(plug->partLights[1], 1);
  now += 1;
  block();
  EXPECT_EQ(plug->partLights[1], 0);
  EXPECT_EQ(param(kMIDILed + 1)->Value(), 0.0);

  IMidiMsg nobody = msg(0, 0x9F, 60, 100);
  param(kMultiPartMIDICh + 15)->Set(1);
  plug->sendMidiMsgAndLog(&nobody);
  for (int p = 0; p < 16; ++p) EXPECT_EQ(plug->partLights[static_cast<size_t>(p)], 0) << p;
  EXPECT_EQ(arrivedAtInstrument().size(), 3u);

  // Tracking incoming MIDI: an incoming parameter change lights its part.
  setParam(kMIDIFilterTrackIncomingMIDI, 1);
  plug->sendMidiMsgAndLog(&onPart1);
  EXPECT_EQ(plug->partLights[1], 0);
  const Bytes change = {0xF0, 0x3E, 0x10, kDeviceId, 0x20, 3, 0, 0x11, 5, 0xF7};
  ISysEx sysex(0, change.data(), static_cast<int>(change.size()));
  ControlLayer mixer(1, "miniMixer");
  mixer.AttachControl(std::make_unique<IInvisibleSwitchControl>(plug.get(), IRECT(), kMultiPartLevel + 3));
  mixer.controls()[0]->SetClean();
  plug->miniMixerLayer = &mixer;
  plug->ProcessSysEx(&sysex, true);
  plug->miniMixerLayer = nullptr;
  EXPECT_EQ(plug->partLights[3], 1);
  EXPECT_TRUE(mixer.controls()[0]->IsDirty());
  const Bytes tooShort = {0xF0, 0x3E};
  ISysEx shortOne(0, tooShort.data(), 2);
  plug->ProcessSysEx(&shortOne, true);
}

TEST_F(BlockCallbackTest, AfterAResetTheStoppedTransportSilencesTheActiveParts) {
  param(kMultiPartStatus + 0)->Set(1);
  param(kMultiPartStatus + 4)->Set(1);
  param(kMultiPartStatus + 9)->Set(1);
  param(kMultiPartMIDICh + 9)->Set(0);  // the global channel
  param(kGlobalMidiChannel)->Set(3);
  plug->Reset();
  block();
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0xB0, 123, 0}, {0xB4, 123, 0}, {0xB2, 123, 0}}));
  block();
  EXPECT_TRUE(arrivedAtInstrument().empty());
}

// A part with no channel of its own (or the global one, unset) is named in
// the debug log after a reset, by a line made on the audio thread without
// an allocation.
TEST_F(BlockCallbackTest, APartWithoutAChannelIsLoggedAfterAResetWithoutAnAllocation) {
  param(kMultiPartStatus + 3)->Set(1);
  param(kMultiPartMIDICh + 3)->Set(1);
  param(kMultiPartStatus + 6)->Set(1);
  param(kMultiPartMIDICh + 6)->Set(0);
  param(kGlobalMidiChannel)->Set(0);
  plug->Reset();
  std::vector<double> a(64), b(64);
  double* channels[] = {a.data(), b.data()};
  int made = -1;
  {
    const ThreadAllocations allocations;
    plug->ProcessDoubleReplacing(channels, channels, 64);
    made = allocations.count();
  }
  if (ThreadAllocations::counted()) {
    EXPECT_EQ(made, 0);
  }
  EXPECT_TRUE(arrivedAtInstrument().empty());
  plug->midiSendThread->flush();
  const std::string log = debugLog();
  for (const char* line : {"MIDI OUT: all sounds off for part 4 not sent: channel outside 0-15",
                           "MIDI OUT: all sounds off for part 7 not sent: channel outside 0-15"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
}

// The host hands the first note over one block before its transport flag
// turns on: the silence due after a reset goes out before it, not after.
TEST_F(BlockCallbackTest, ANoteInTheBlockWhereTheTransportStartsIsNotSilenced) {
  param(kMultiPartStatus + 2)->Set(1);
  plug->Reset();
  hostEvents({{0x92, 60, 100}});
  block();
  host.setPlaying(true);
  hostEvents({{0x92, 64, 100}});
  block();
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0xB2, 123, 0}, {0x92, 60, 100}, {0x92, 64, 100}}));
  host.setPlaying(false);
  block();
  EXPECT_TRUE(arrivedAtInstrument().empty());
}

// What the audio thread asks to wait for is waited for on the MIDI thread,
// between the messages around it; the audio thread itself never sleeps.
TEST_F(BlockCallbackTest, PausesAskedForOnTheAudioThreadAreTakenOnTheMidiThreadInOrder) {
  const std::thread::id audioThread = std::this_thread::get_id();
  std::vector<std::pair<int, size_t>> taken;  // the pause, messages sent before it
  plug->sleepFor = [&](int ms) {
    EXPECT_NE(std::this_thread::get_id(), audioThread) << "the audio thread slept " << ms << " ms";
    taken.push_back({ms, backend->out().sent.size()});
  };
  const size_t before = backend->out().sent.size();
  {
    const RealtimeScope realtime;  // as inside the block
    IMidiMsg first = msg(0, 0x92, 60, 100), second = msg(0, 0x82, 60, 0);
    plug->sendMidiMsgAndLog(&first);
    plug->pauseFor(25);
    plug->sendMidiMsgAndLog(&second);
    plug->pauseFor(50);
  }
  ASSERT_TRUE(plug->midiSendThread->flush());
  EXPECT_EQ(taken, (std::vector<std::pair<int, size_t>>{{25, before + 1}, {50, before + 2}}));
  plug->sleepFor = [this](int ms) { sleeps.push_back(ms); };
}

// Work another thread hands to the MIDI thread (the window's sends) waits for
// the audio thread's record in hand, not for all the audio thread has handed
// over: a MIDI thread that is behind on a loaded machine, with the host
// feeding its queue block after block, would keep it waiting all that time.
TEST_F(BlockCallbackTest, AnotherThreadsWorkWaitsForTheRecordInHandNotForTheAudioThreadsQueue) {
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  int pauses = 0;
  bool released = false;
  plug->sleepFor = [&](int) {
    std::unique_lock<std::mutex> lock(holdMutex);
    ++pauses;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return released; });
  };
  constexpr int kQueued = 50;
  {
    const RealtimeScope realtime;
    for (int i = 0; i < kQueued; ++i) plug->pauseFor(1);
  }
  {
    std::unique_lock<std::mutex> lock(holdMutex);
    ASSERT_TRUE(holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return pauses == 1; }));
  }
  std::atomic<int> pausesBefore{-1};
  plug->midiSendThread->runFromAnyThread([&] {
    std::lock_guard<std::mutex> lock(holdMutex);
    pausesBefore = pauses;
  });
  {
    std::lock_guard<std::mutex> lock(holdMutex);
    released = true;
  }
  holdChanged.notify_all();
  ASSERT_TRUE(plug->midiSendThread->flush());
  EXPECT_EQ(pausesBefore, 1);
  EXPECT_EQ(pauses, kQueued);
  plug->sleepFor = [this](int ms) { sleeps.push_back(ms); };
}

// Short messages, SysEx and log lines from the audio thread leave in the
// order given, byte for byte; SysEx beyond what the queue keeps for long
// messages while the MIDI thread is held is counted as lost, the rest still
// leaves, and a flush returns only once the loss is shown. A second loss
// within the log's second still reaches the log.
TEST_F(BlockCallbackTest, ShortAndLongMessagesOfTheAudioThreadLeaveInOrder) {
  sentSinceLast();
  Bytes longest(128, 0x11);
  longest.front() = 0xF0;
  longest.back() = 0xF7;
  const Bytes change = {0xF0, 0x3E, 0x10, kDeviceId, 0x20, 0x01, 0x00, 0x4E, 0x40, 0xF7};
  {
    const RealtimeScope realtime;
    IMidiMsg on = msg(0, 0x92, 60, 100), off = msg(0, 0x82, 60, 0);
    plug->sendMidiMsgAndLog(&on);
    EXPECT_TRUE(plug->sendSysExToDevice(const_cast<unsigned char*>(change.data()), static_cast<int>(change.size())));
    plug->debugLog("PROCESSOR: a line the block logs between two SysEx");  // its text rides in the payloads too
    plug->sendMidiMsgAndLog(&off);
    EXPECT_TRUE(plug->sendSysExToDevice(longest.data(), static_cast<int>(longest.size())));
  }
  EXPECT_EQ(sentSinceLast(), (ByteList{{0x92, 60, 100}, change, {0x82, 60, 0}, longest}));
  EXPECT_NE(debugLog().find("PROCESSOR: a line the block logs between two SysEx\n"), std::string::npos);

  const auto overflow = [&](int over) {
    MidiThreadHold hold(*plug);
    EXPECT_TRUE(hold.Take());
    {
      const RealtimeScope realtime;
      for (size_t i = 0; i < MidiSendThread::kPayloadCapacity + static_cast<size_t>(over); ++i)
        plug->sendSysExToDevice(const_cast<unsigned char*>(change.data()), static_cast<int>(change.size()));
    }
    // The window's status line is held while the MIDI thread goes on: the
    // flush must wait for the loss to be shown there.
    std::thread status = holdStatusLine();
    hold.Release();
    EXPECT_TRUE(plug->midiSendThread->flush());
    const std::string shown = valueText.GetText();
    status.join();
    plug->sleepFor = [this](int ms) { sleeps.push_back(ms); };
    return shown;
  };
  const uint64_t lostBefore = plug->midiSendThread->dropped();
  constexpr int kOver = 5;
  EXPECT_EQ(overflow(kOver), "MIDI Out: 5 messages lost");
  EXPECT_EQ(plug->midiSendThread->dropped() - lostBefore, static_cast<uint64_t>(kOver));
  EXPECT_EQ(sentSinceLast(), ByteList(MidiSendThread::kPayloadCapacity, change));
  EXPECT_NE(debugLog().find("MIDI OUT: 5 messages of the audio thread not sent: its queue was full"), std::string::npos);

  // Within the second: the window follows at once, the log when its second
  // is up, though nothing else comes and the other count has nothing new.
  EXPECT_EQ(overflow(3), "MIDI Out: 8 messages lost");
  const std::string second = "MIDI OUT: 3 messages of the audio thread not sent: its queue was full";
  for (int i = 0; i < 600 && debugLog().find(second) == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_NE(debugLog().find(second), std::string::npos);
  sentSinceLast();
}

// What a real-time call hands over wakes the MIDI thread once, when the call
// returns, however much it was (at once, each, when the call has no room
// left for what runs at its end); all of it leaves, in order, before the
// next, also when it comes just as the thread goes to sleep.
TEST_F(BlockCallbackTest, ABurstOfHostEventsWakesTheMidiThreadOnce) {
  using Step = MidiSendThread::SleepStep;
  constexpr int kFull = realtime_scope::kMaxDeferred;
  struct Row {
    const char* name;
    int notes;
    uint64_t wakes;
    int deferredBefore = 0;        // what else the call runs when it returns
    std::optional<Step> handedAt = std::nullopt;  // handed over as the thread goes to sleep
  };
  const Row table[] = {{"none", 0, 0},
                       {"one", 1, 1},
                       {"a burst of 32", 32, 1},
                       {"a burst of 200", 200, 1},
                       {"a burst of 32, one place left at the call's end", 32, 1, kFull - 1},
                       {"a burst of 32, no place left at the call's end", 32, 32, kFull},
                       {"one, as the thread is about to say it sleeps", 1, 1, 0, Step::kAboutToSaySo},
                       {"one, after the thread's last look found nothing", 1, 1, 0, Step::kFoundNothing}};
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    ByteList notes;
    for (int i = 0; i < row.notes; ++i)
      notes.push_back({0x92, static_cast<unsigned char>(i % 128), static_cast<unsigned char>(1 + i % 127)});
    ASSERT_TRUE(plug->midiSendThread->flush());
    uint64_t before = 0;
    int ran = 0;
    const auto hand = [&] {
      before = plug->midiSendThread->wakes();
      const RealtimeScope realtime;  // as the host's audio thread is
      for (int i = 0; i < row.deferredBefore; ++i)
        EXPECT_TRUE(RealtimeScope::deferToEnd([](void* count) { ++*static_cast<int*>(count); }, &ran));
      hostEvents(notes);
      // Not yet, with room: the event call is inside the block's scope.
      EXPECT_EQ(plug->midiSendThread->wakes(), before + (row.deferredBefore == kFull ? row.wakes : 0));
    };
    if (row.handedAt) {
      ASSERT_TRUE(handAsTheMidiThreadSleeps(*row.handedAt, hand));
    } else {
      hand();
    }
    EXPECT_EQ(ran, row.deferredBefore);
    EXPECT_EQ(plug->midiSendThread->wakes(), before + row.wakes);
    EXPECT_EQ(arrivedAtInstrument(), notes);  // bounded: a lost wake holds them for good
    hostEvents(notes);  // an event call of its own wakes it once when it returns
    EXPECT_EQ(plug->midiSendThread->wakes(), before + row.wakes + (row.notes > 0 ? 1 : 0));
    EXPECT_EQ(arrivedAtInstrument(), notes);
  }

  // The host's block: what it hands over wakes the thread before the block
  // returns (a close waits for the block in flight, so it never finds the
  // wake still to come), and holds no lock as it does.
  struct AtWake {
    WDL_Mutex* lock;
    bool held = false, ran = false;
  } atWake{plug->GetMutex()};
  host.onTime = [&atWake] {
    RealtimeScope::deferToEnd(
        [](void* context) {
          auto* seen = static_cast<AtWake*>(context);
          seen->ran = true;
          seen->held = seen->lock->HeldHere();
        },
        &atWake);
  };
  param(kMultiTempo)->Set(61);  // the block has a tempo to send
  ASSERT_TRUE(plug->midiSendThread->flush());
  const uint64_t before = plug->midiSendThread->wakes();
  std::vector<double> samples(64);
  double* channels[] = {samples.data(), samples.data()};
  AEffect* effect = plug->GetAEffect();
  effect->processDoubleReplacing(effect, channels, channels, 64);
  host.onTime = nullptr;
  EXPECT_TRUE(atWake.ran);
  EXPECT_FALSE(atWake.held);
  EXPECT_EQ(plug->midiSendThread->wakes(), before + 1);
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{tempo(61)}));
}

// While work keeps coming the MIDI thread looks for it by itself: the
// host's calls hand it over without the system call a wake is; only a thread
// that has slept since is woken by one. All of it leaves, in order.
TEST_F(BlockCallbackTest, TheHostsCallsWakeASleepingMidiThreadOnlyBySystemCall) {
  ASSERT_TRUE(plug->midiSendThread->flush());
  for (int i = 0; i < 10000 && !plug->midiSendThread->asleep(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(plug->midiSendThread->asleep());  // nothing came for a while
  const uint64_t before = plug->midiSendThread->wakeCalls();
  constexpr int kCalls = 40;
  ByteList expected;
  for (int i = 0; i < kCalls; ++i) {
    expected.push_back({0x92, static_cast<unsigned char>(40 + i), 100});
    hostEvents({expected.back()});
    ASSERT_TRUE(plug->midiSendThread->flush());  // taken: the thread would sleep again
  }
  EXPECT_EQ(arrivedAtInstrument(), expected);
  const uint64_t calls = plug->midiSendThread->wakeCalls() - before;
  EXPECT_GE(calls, 1u);  // the first: the thread slept
  // The rest find it looking (a stall of the machine may let it sleep again
  // now and then, not at every call).
  EXPECT_LE(calls, static_cast<uint64_t>(kCalls / 4));
}

// More than the queue holds while the MIDI thread is held: what did not fit
// is counted, and the window's status line and the log say so.
TEST_F(BlockCallbackTest, ALossWhenTheQueueIsFullAfterAllIsShown) {
  MidiThreadHold hold(*plug);
  const size_t before = backend->out().sent.size();
  constexpr int kSent = static_cast<int>(MidiSendThread::kCapacity) + 100;
  ASSERT_TRUE(hold.Take());
  {
    const RealtimeScope realtime;
    for (int i = 0; i < kSent; ++i) {
      IMidiMsg note = msg(0, 0x92, i % 128, 1 + i / 128 % 127);
      plug->sendMidiMsgAndLog(&note);
    }
  }
  hold.Release();
  ASSERT_TRUE(plug->midiSendThread->flush());
  const uint64_t lost = plug->midiSendThread->dropped();
  EXPECT_GT(lost, 0u);
  EXPECT_EQ(backend->out().sent.size() - before + lost, static_cast<size_t>(kSent));
  EXPECT_GE(backend->out().sent.size() - before, MidiSendThread::kCapacity - 1);
  EXPECT_EQ(valueText.GetText(), "MIDI Out: " + std::to_string(lost) + " messages lost");
  EXPECT_NE(debugLog().find("messages of the audio thread not sent: its queue was full"), std::string::npos);
  plug->sleepFor = [this](int ms) { sleeps.push_back(ms); };

  // What the host sends while the editor is busy is not sent, and says so,
  // once for the host's call that brought it.
  hostNotesWhileBusy(5);
  ASSERT_TRUE(plug->midiSendThread->flush());
  for (int i = 0; i < 200 && valueText.GetText() != "MIDI Out: 5 host messages not sent while busy"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(plug->midiSendThread->ignored(), 5u);
  EXPECT_EQ(valueText.GetText(), "MIDI Out: 5 host messages not sent while busy");
  EXPECT_NE(debugLog().find("5 host messages not sent: the editor was busy sending"), std::string::npos);
  const auto firstLine = std::chrono::steady_clock::now();

  // A second run: the window follows the count at once; the log takes at
  // most a line a second, and its lines add up to every message.
  plug->processing = true;
  for (int i = 0; i < 7; ++i) {
    IMidiMsg note = msg(0, 0x92, 60 + i, 100);
    plug->ProcessMidiMsg(&note, false);
  }
  plug->processing = false;
  ASSERT_TRUE(plug->midiSendThread->flush());
  const std::string twelve = "MIDI Out: 12 host messages not sent while busy";
  for (int i = 0; i < 400 && valueText.GetText() != twelve; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(valueText.GetText(), twelve);
  const auto lossLines = [this] {
    const std::string log = debugLog();
    int lines = 0;
    for (size_t at = log.find("host messages not sent: the editor"); at != std::string::npos;
         at = log.find("host messages not sent: the editor", at + 1))
      ++lines;
    return lines;
  };
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - firstLine).count();
  EXPECT_LE(lossLines(), 1 + static_cast<int>(seconds));
  for (int i = 0; i < 600 && debugLog().find("MIDI OUT: 7 host messages not sent") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(lossLines(), 2);

  // The loss outlives what the start-up and the restore show when they end;
  // the next text that is not a progress text replaces it.
  plug->showProgressText("Plug-in is ready to go!");
  plug->showProgressText("Please wait! 50% received..");
  EXPECT_EQ(valueText.GetText(), twelve);
  plug->showStatusText("Data request completed!");
  EXPECT_EQ(valueText.GetText(), "Data request completed!");
  plug->showProgressText("Plug-in is ready to go!");
  EXPECT_EQ(valueText.GetText(), "Plug-in is ready to go!");
}

TEST_F(BlockCallbackTest, HostAndInstrumentMidiThroughTheFilters) {
  struct Row {
    const char* name;
    std::function<void()> prepare;
    bool fromDevice;
    Bytes message;
    ByteList atInstrument;
  };
  const Row table[] = {
      {"host note for part 2 goes out", [] {}, false, {0x92, 60, 100}, {{0x92, 60, 100}}},
      {"host controller on a channel no part uses", [&] { param(kMultiPartMIDICh + 15)->Set(1); }, false,
       {0xBF, 1, 2}, {{0xBF, 1, 2}}},
      {"host program change is filtered by default", [] {}, false, {0xC2, 5, 0}, {}},
      {"host note filtered", [&] { setParam(kMIDIFilterDAWNotePassThrough, 0.5); }, false, {0x92, 60, 100}, {}},
      {"host note on the global channel", [&] {
         setParam(kMIDIFilterDAWNotePassThrough, 1);
         param(kGlobalMidiChannel)->Set(3);
       },
       false, {0x92, 61, 100}, {}},
      {"instrument note with local control on stays", [&] {
         param(kGlobalMidiChannel)->Set(0);
         plug->localControl = true;
       },
       true, {0x90, 60, 1}, {}},
      {"instrument note with local control off goes back", [&] { plug->localControl = false; }, true,
       {0x90, 60, 2}, {{0x90, 60, 2}}},
      {"instrument as master keyboard", [&] { setParam(kMasterKeyboard, 1); }, true, {0x90, 60, 3}, {}},
      {"nothing while busy", [&] { plug->editorBusy = true; }, false, {0x92, 60, 4}, {}},
      // A note the host started before the job stops when the host says so.
      {"a host note off while busy", [] {}, false, {0x82, 60, 0}, {{0x82, 60, 0}}},
      {"a host note on at velocity 0 while a job runs, the part silenced",
       [&] {
         plug->editorBusy = false;
         plug->processing = true;
         plug->notesSilenced = true;
       },
       false,
       {0x92, 61, 0}, {{0x92, 61, 0}}},
      {"an instrument note off while busy", [] {}, true, {0x80, 62, 0}, {}},
      // What else ends a sound the host started passes too: a pedal
      // released, all sound off, reset controllers, all notes off.
      {"a host sustain release while a job runs", [&] { setParam(kMIDIFilterDAWCCPassThrough, 1); }, false,
       {0xB2, 64, 0}, {{0xB2, 64, 0}}},
      {"a host sustain release at 63", [] {}, false, {0xB2, 64, 63}, {{0xB2, 64, 63}}},
      {"a host all sound off", [] {}, false, {0xB2, 120, 0}, {{0xB2, 120, 0}}},
      {"a host reset controllers", [] {}, false, {0xB2, 121, 0}, {{0xB2, 121, 0}}},
      {"a host all notes off", [] {}, false, {0xB2, 123, 0}, {{0xB2, 123, 0}}},
      {"a host sustain pressed stays", [] {}, false, {0xB2, 64, 64}, {}},
      {"a host controller stays", [] {}, false, {0xB2, 7, 0}, {}},
      {"a host sustain release while busy", [&] {
         plug->processing = false;
         plug->notesSilenced = false;
         plug->editorBusy = true;
       },
       false, {0xB2, 64, 0}, {{0xB2, 64, 0}}},
      {"an instrument all notes off while busy", [] {}, true, {0xB0, 123, 0}, {}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    row.prepare();
    IMidiMsg m = msg(0, row.message[0], row.message[1], row.message[2]);
    plug->ProcessMidiMsg(&m, row.fromDevice);
    EXPECT_EQ(arrivedAtInstrument(), row.atInstrument);
  }
}

// SysEx from the host passes its filter or not: let through, a parameter
// change lights its part (with incoming MIDI tracked) and makes every control
// action forget the value it sent last.
TEST_F(BlockCallbackTest, HostSysExThroughItsFilterLightsItsPartAndClearsTheLastValuesSent) {
  setParam(kMIDIFilterTrackIncomingMIDI, 1);
  ControlAction action;
  param(kFilter1Cutoff)->SetControlAction(&action);
  const struct {
    const char* what;
    double passThrough;
    int part;
    bool through;
  } rows[] = {{"let through", 1, 3, true}, {"filtered", 0, 4, false}, {"any value but 1 filters", 0.5, 5, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    setParam(kMIDIFilterDAWSEPassThrough, row.passThrough);
    action.lastValue = 63;
    const Bytes change = {0xF0, 0x3E, 0x10, kDeviceId, 0x20, static_cast<unsigned char>(row.part), 0x00, 0x4E, 0x40, 0xF7};
    ISysEx sysex(0, change.data(), static_cast<int>(change.size()));
    plug->ProcessSysEx(&sysex, false);
    EXPECT_EQ(param(kMIDILed + row.part)->Value(), row.through ? 1.0 : 0.0);
    EXPECT_EQ(action.lastValue, row.through ? -1.0 : 63.0);
  }
  param(kFilter1Cutoff)->SetControlAction(nullptr);
}

// With the MIDI going into the host's buffer, the header shows how late it
// leaves: the offset in milliseconds at the sample rate, and the block size,
// at the window's idle call (a text control's text is not the block's to set).
TEST_F(BlockCallbackTest, TheMidiOutDelayDisplayShowsTheOffsetAndTheBlockSize) {
  ITextControl delay(nullptr);
  plug->midiOutDelayDisplay = &delay;  // the header's field
  setParam(kMIDIFilterToDAWBuffer, 1);
  plug->SetSampleRate(44100.0);
  plug->SetBlockSize(512);
  plug->Reset();
  const struct {
    int offset;
    const char* text;
  } rows[] = {{441, "10ms|512bfr"}, {2205, "50ms|512bfr"}, {0, "0ms|512bfr"}, {-1, "0ms|512bfr"}, {44100, "1000ms|512bfr"}};
  for (const auto& row : rows) {
    plug->hostBufferOffset = row.offset;
    delay.SetTextFromPlug("");
    block(512);
    plug->OnIdle();  // the window shows it
    EXPECT_EQ(delay.GetText(), row.text) << row.offset;
  }
  plug->midiOutDelayDisplay = nullptr;
}

TEST_F(BlockCallbackTest, AHostMessageIsForTheFirstPartOnItsChannel) {
  param(kMultiPartMIDICh + 9)->Set(5);  // parts 3 and 9 on channel index 3, none on 9
  param(kMultiPartMIDICh + 0)->Set(1);
  struct Row {
    int channel, part;
  };
  for (const Row& row : {Row{3, 3}, Row{0, 0}, Row{15, 15}, Row{9, 0}, Row{7, 7}}) {
    const IMidiMsg m = msg(0, 0x90 | row.channel, 60, 1);
    EXPECT_EQ(plug->partForHostMessage(m), row.part) << row.channel;
  }
  param(kMultiPartMIDICh + 7)->Set(0);  // nobody on channel index 7 now
  EXPECT_EQ(plug->partForHostMessage(msg(0, 0x97, 60, 1)), 0);
}

TEST_F(BlockCallbackTest, HostMidiGoesIntoTheHostsBufferWhenChosen) {
  setParam(kMIDIFilterToDAWBuffer, 1);
  plug->hostBufferOffset = 64;
  IMidiMsg note = msg(12, 0x92, 60, 100);
  plug->ProcessMidiMsg(&note, false);
  block(64);
  using Events = std::vector<std::pair<int, Bytes>>;
  EXPECT_EQ(host.takeEvents(), (Events{{12, {0x92, 60, 100}}}));
  EXPECT_TRUE(arrivedAtInstrument().empty());
  setParam(kMIDIFilterDirectToHardware, 1);
  EXPECT_EQ(param(kMIDIFilterToDAWBuffer)->Value(), 0.0);
  plug->ProcessMidiMsg(&note, false);
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0x92, 60, 100}}));
}

// The MIDI thread is held in the enquiry's pause; the block and the host's
// events still return, and what they sent arrives, in order, once it goes on.
TEST_F(BlockCallbackTest, TheBlockAndTheHostsEventsReturnWhileTheMidiThreadIsHeld) {
  const std::thread::id testThread = std::this_thread::get_id();
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  bool held = false, released = false;
  plug->sleepFor = [&](int ms) {
    if (std::this_thread::get_id() == testThread) {
      ADD_FAILURE() << "the host's thread paused " << ms << " ms";
      return;
    }
    std::unique_lock<std::mutex> lock(holdMutex);
    held = true;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return released; });
  };
  plug->midiOutStored = true;
  plug->initialisationPending = true;
  block();  // hands the enquiry over: the MIDI thread pauses after it
  {
    std::unique_lock<std::mutex> lock(holdMutex);
    ASSERT_TRUE(holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return held; }));
  }
  // The enquiry's search runs on; the host's messages are dropped while it does.
  for (int i = 0; i < 10000 && plug->midiMessageManager->isThreadRunning(JobThread::kRequest); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const size_t before = backend->out().sent.size();

  param(kMultiPartStatus + 2)->Set(1);
  plug->Reset();  // all sounds off at the next block
  param(kMultiTempo)->Set(60);
  block();
  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof(note);
  note.midiData[0] = static_cast<char>(0x92);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  AEffect* effect = plug->GetAEffect();
  effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
  EXPECT_EQ(backend->out().sent.size(), before);  // all of it waits for the MIDI thread

  {
    std::lock_guard<std::mutex> lock(holdMutex);
    released = true;
  }
  holdChanged.notify_all();
  awaitRequestThread();
  ByteList arrived = arrivedAtInstrument();
  std::erase_if(arrived, [](const Bytes& m) { return m.size() == 6 && m[4] == 0x04; });  // the enquiry's own
  // In the block's order: the tempo, then the queue's all-sounds-off; then the note.
  EXPECT_EQ(arrived, (ByteList{tempo(60), {0xB2, 123, 0}, {0x92, 60, 100}}));
}

// The block takes no lock while the editor follows what the instrument
// sends: while it is held inside that work (also inside an edit's whole take), blocks
// and the host's event calls run and return, the value it follows is there
// whole, and what the events brought reaches the instrument and the editor
// once it goes on.
TEST_F(BlockCallbackTest, BlocksRunWhileTheEditorFollowsTheInstrument) {
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  bool held = false, released = false;
  const auto hold = [&] {
    std::unique_lock<std::mutex> lock(holdMutex);
    held = true;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(20), [&] { return released; });
  };
  HeldSwitch* pageSwitch = holdPageSwitches();
  // The host's call: three blocks, or its events, a bank select (LSB 65:
  // bank B, which waits for a program change) and a note for part 2, as an
  // effProcessEvents before a block,
  // or a controller for that knob.
  enum class HostCall { kBlocks, kEvents, kController };
  struct Row {
    const char* name;
    std::function<void()> arm, follow;
    HostCall call;
  };
  // Each value moves the shape, so that it refreshes the page: 0.5, 0, 0.5, 0.
  double shape = 0.0;
  const auto value = [&] {
    shape = shape == 0.5 ? 0.0 : 0.5;
    plug->SetParameterFromGUI2(kOscillator1Shape, shape);
  };
  const auto holdPage = [&] { pageSwitch->onSwitch = hold; };
  // A knob the host's controller moves (CC 74 on channel 1: the first part's
  // cutoff): followed on the MIDI thread, as on the audio thread it would
  // write beside the editor's work.
  struct Knob : IControl {
    using IControl::IControl;
    bool Draw(IGraphics*) override { return true; }
  };
  const IRECT knobRect(0, 0, 10, 10);
  Knob knob(plug.get(), &knobRect, kFilter1Cutoff);
  knob.SetValueFromHardware(param(kFilter1Cutoff)->GetNormalized());  // its first value is its default
  const auto addKnob = [&] {
    holdPage();
    ControlAction cutoff;
    cutoff.channel = 1;
    cutoff.ccNumber = 74;
    cutoff.globalFlag = 0;
    plug->uiConfigManager->registerCCControl(cutoff, &knob);
  };
  const Row table[] = {
      {"a value, held in the page refresh it starts", holdPage, value, HostCall::kBlocks},
      {"the page it refreshes, held in its switch", holdPage, [&] { plug->runParamChange(kQuickTab, true); },
       HostCall::kBlocks},
      {"a value taken inside an edit's whole take", holdPage,
       [&] {
         WDL_MutexLock whole(plug->GetMutex());
         value();
       },
       HostCall::kBlocks},
      {"the host's events beside a value", holdPage, value, HostCall::kEvents},
      {"the host's events beside the page refresh", holdPage, [&] { plug->runParamChange(kQuickTab, true); },
       HostCall::kEvents},
      {"a host controller beside a value", addKnob, value, HostCall::kController},
  };
  AEffect* effect = plug->GetAEffect();
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    held = released = false;
    param(kMultiPartBank + 2)->Set(0);
    arrivedAtInstrument();
    row.arm();
    std::thread instrument(row.follow);
    {
      std::unique_lock<std::mutex> lock(holdMutex);
      EXPECT_TRUE(holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return held; }));
    }
    auto call = std::async(std::launch::async, [&] {
      if (row.call == HostCall::kEvents) {
        hostEvents({{0xB2, 32, 65}, {0x92, 60, 100}});
        return;
      }
      if (row.call == HostCall::kController) {
        hostEvents({{0xB0, 74, 20}});
        return;
      }
      std::vector<double> samples(64);
      double* channels[] = {samples.data(), samples.data()};
      for (int i = 0; i < 3; ++i) effect->processDoubleReplacing(effect, channels, channels, 64);
    });
    const bool returned = call.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    {
      std::lock_guard<std::mutex> lock(holdMutex);
      released = true;
    }
    holdChanged.notify_all();
    instrument.join();
    call.wait();
    pageSwitch->onSwitch = nullptr;
    EXPECT_TRUE(returned) << "the host's call waited for the editor";
    if (row.call == HostCall::kEvents) {
      // The bank select waits for its program change: none came.
      plug->midiSendThread->flush();
      EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0x92, 60, 100}}));
      EXPECT_EQ(param(kMultiPartBank + 2)->Int(), 0);
    }
    if (row.call == HostCall::kController) {
      plug->midiSendThread->flush();
      // The controller's value over the knob's range.
      const IParam* knob = param(kFilter1Cutoff);
      EXPECT_NEAR(knob->GetNormalized(), 20.0 / (knob->GetMax() - knob->GetMin()), 0.01);
    }
  }
  EXPECT_NEAR(param(kOscillator1Shape)->GetNormalized(), 0.0, 0.01);
}

// The host's event call, or a block, made from inside a block (some hosts
// call the one from the other): neither takes the plug-in's lock, and an
// edit's whole take goes in while the block is inside.
TEST_F(BlockCallbackTest, ACallFromInsideTheBlockTakesNoLock) {
  AEffect* effect = plug->GetAEffect();
  WDL_Mutex* lock = plug->GetMutex();
  const auto runBlock = [effect] {
    std::vector<double> samples(64);
    double* channels[] = {samples.data(), samples.data()};
    effect->processDoubleReplacing(effect, channels, channels, 64);
  };
  struct Row {
    const char* name;
    std::function<void()> nested;
  };
  const Row table[] = {
      {"the host's events", [&] { hostEvents({{0x92, 60, 100}}); }},
      {"a block", runBlock},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    std::promise<bool> heldInside;
    std::future<bool> held = heldInside.get_future();
    std::promise<void> editDone;
    std::shared_future<void> edited = editDone.get_future().share();
    std::thread audio([&] {
      const RealtimeScope realtime;
      row.nested();
      heldInside.set_value(lock->HeldHere());
      // The edit's take goes in while the block is still inside.
      (void)edited.wait_for(std::chrono::seconds(10));
    });
    EXPECT_FALSE(held.get()) << "the nested call holds the plug-in's lock";
    {
      WDL_MutexLock whole(lock);
      editDone.set_value();
    }
    audio.join();
  }
  plug->midiSendThread->flush();
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0x92, 60, 100}}));
}

// A close that meets a block in flight (hosts do not close beside the
// block, but one may) lets it end before the instance goes; the block,
// holding no lock, runs to its end meanwhile.
TEST_F(BlockCallbackTest, ACloseLetsABlockInFlightEndFirst) {
  AEffect* effect = plug->GetAEffect();
  std::promise<void> entered, closeCalled;
  std::shared_future<void> closing = closeCalled.get_future().share();
  std::atomic<bool> blockLeft{false};
  bool once = false;  // the audio thread's alone
  host.onTime = [&] {
    if (std::exchange(once, true)) return;
    entered.set_value();
    (void)closing.wait_for(std::chrono::seconds(10));
    // Long enough for a close that does not wait to have taken the instance.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    blockLeft = true;
  };
  std::thread audio([effect] {
    std::vector<double> samples(64);
    double* channels[] = {samples.data(), samples.data()};
    effect->processDoubleReplacing(effect, channels, channels, 64);
  });
  entered.get_future().wait();
  (void)plug.release();  // the close deletes it
  closeCalled.set_value();
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  EXPECT_TRUE(blockLeft) << "the instance went while its block was in flight";
  audio.join();
  host.onTime = nullptr;
}

// The host's real-time calls take no lock: while another thread holds the
// plug-in's lock (an edit held in the page refresh it starts, a window
// action holding it whole, a value from the instrument followed), blocks
// and the host's event call return, and what the host sent reaches the
// instrument byte for byte once the holder lets go.
TEST_F(BlockCallbackTest, BlocksAndTheHostsEventsReturnWhileAnotherThreadHoldsThePluginsLock) {
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  bool held = false, released = false;
  const auto hold = [&] {
    std::unique_lock<std::mutex> lock(holdMutex);
    held = true;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(20), [&] { return released; });
  };
  HeldSwitch* pageSwitch = holdPageSwitches();
  AEffect* effect = plug->GetAEffect();
  struct Row {
    const char* name;
    std::function<void()> take;
  };
  const Row table[] = {
      {"an edit, held in the page refresh it starts",
       [&] {
         pageSwitch->onSwitch = hold;
         plug->SetParameterFromGUI(kOscillator1Shape, 0.25);
       }},
      {"a window action holding the lock whole",
       [&] {
         WDL_MutexLock whole(plug->GetMutex());
         hold();
       }},
      {"a value from the instrument followed",
       [&] {
         pageSwitch->onSwitch = hold;
         plug->SetParameterFromGUI2(kOscillator1Shape, 0.75);
       }},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    held = released = false;
    arrivedAtInstrument();
    std::thread holder(row.take);
    {
      std::unique_lock<std::mutex> lock(holdMutex);
      ASSERT_TRUE(holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return held; }));
    }
    auto call = std::async(std::launch::async, [&] {
      std::vector<double> samples(256);
      double* channels[] = {samples.data(), samples.data()};
      for (unsigned char i = 0; i < 3; ++i) {
        const unsigned char note = 60 + i, value = 20 + i;
        hostEvents({{0x92, note, 100}, {0xB2, 74, value}, {0x82, note, 0}});
        effect->processDoubleReplacing(effect, channels, channels, 256);
      }
    });
    // Bounded only so that a call that waits fails rather than hangs: one
    // that takes no lock returns at once.
    const bool returned = call.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    {
      std::lock_guard<std::mutex> lock(holdMutex);
      released = true;
    }
    holdChanged.notify_all();
    holder.join();
    call.wait();
    pageSwitch->onSwitch = nullptr;
    EXPECT_TRUE(returned) << "the host's calls waited for the holder of the plug-in's lock";
    plug->midiSendThread->flush();
    ByteList arrived = arrivedAtInstrument();
    std::erase_if(arrived, [](const Bytes& m) { return m.empty() || m[0] == 0xF0; });  // the edit's own
    EXPECT_EQ(arrived, (ByteList{{0x92, 60, 100}, {0xB2, 74, 20}, {0x82, 60, 0}, {0x92, 61, 100}, {0xB2, 74, 21},
                                 {0x82, 61, 0}, {0x92, 62, 100}, {0xB2, 74, 22}, {0x82, 62, 0}}));
  }
  plug->tabSwitchFunctions = std::make_unique<TabSwitchFunctions>();
}

// A flush returns only once what it waits for is shown as well: a full
// queue's loss, and host messages not sent while the editor was busy. The
// window's status line is held meanwhile, so that a flush returning before
// the MIDI thread has told of them finds the old text there.
TEST_F(BlockCallbackTest, AFlushReturnsOnlyOnceTheLossesAreShown) {
  const uint64_t lostBefore = plug->midiSendThread->dropped();
  struct Row {
    const char* name;
    bool holdMidiThread;  // so that the queue fills
    std::function<void()> lose;
    std::function<std::string()> shown;
  };
  const Row table[] = {
      {"a full queue's loss", true,
       [&] {
         const RealtimeScope realtime;
         for (size_t i = 0; i < MidiSendThread::kCapacity + 3; ++i) {
           IMidiMsg note = msg(0, 0x92, 60, 1 + static_cast<int>(i % 100));
           plug->sendMidiMsgAndLog(&note);
         }
       },
       [&] { return "MIDI Out: " + std::to_string(plug->midiSendThread->dropped() - lostBefore) + " messages lost"; }},
      {"host messages the editor was too busy to send", false,
       [&] { hostNotesWhileBusy(4); },
       [] { return std::string("MIDI Out: 4 host messages not sent while busy"); }},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(plug->midiSendThread->flush());
    std::thread status = holdStatusLine();
    std::optional<MidiThreadHold> hold;
    if (row.holdMidiThread) {
      hold.emplace(*plug);
      EXPECT_TRUE(hold->Take());
    }
    row.lose();
    if (hold) hold->Release();
    EXPECT_TRUE(plug->midiSendThread->flush());
    const std::string shown = valueText.GetText();
    status.join();
    plug->sleepFor = [this](int ms) { sleeps.push_back(ms); };
    hold.reset();
    EXPECT_EQ(shown, row.shown());
  }
  EXPECT_GT(plug->midiSendThread->dropped(), lostBefore);
  sentSinceLast();
}

TEST_F(BlockCallbackTest, BankAndProgramChangesWithTheirPauses) {
  param(kMultiPartMIDICh + 2)->Set(4);
  param(kMultiPartBank + 2)->Set(1);
  param(kMultiPartPatch + 2)->Set(17);
  param(kLibSyncTimer)->Set(7);
  EXPECT_TRUE(sendShownPair(2));
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0xB2, 123, 0}, {0xB2, 0, 0}, {0xB2, 32, 65}, {0xC2, 17}}));
  EXPECT_EQ(sleeps, (std::vector<int>{25, 25, 50, 500}));

  // Active part 3 shows bank 0 program 0 but was never sent a program nor
  // told one: it plays nothing known, and part 6 may take bank 0 program 0.
  param(kMultiPartStatus + 3)->Set(1);
  EXPECT_FALSE(plug->CheckBankConflict(6));
  EXPECT_TRUE(sendShownPair(6));
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0xB6, 123, 0}, {0xB6, 0, 0}, {0xB6, 32, 64}, {0xC6, 0}}));
  param(kMultiPartStatus + 3)->Set(0);

  // Part 5 asks for what active part 1 plays already.
  param(kMultiPartPatch + 5)->Set(3);
  EXPECT_TRUE(sendShownPair(5));  // part 5 plays program 3
  param(kMultiPartPatch + 5)->Set(0);
  param(kMultiPartStatus + 1)->Set(1);
  EXPECT_TRUE(sendShownPair(1));
  arrivedAtInstrument();
  EXPECT_TRUE(plug->CheckBankConflict(5));
  EXPECT_FALSE(sendShownPair(5));
  EXPECT_TRUE(arrivedAtInstrument().empty());
  // Refused, part 5 still plays program 3: active, it is in conflict with
  // part 4 asking for program 3, not for program 0 (part 1 off).
  param(kMultiPartStatus + 1)->Set(0);
  param(kMultiPartStatus + 5)->Set(1);
  EXPECT_FALSE(plug->CheckBankConflict(4));
  param(kMultiPartPatch + 4)->Set(3);
  EXPECT_TRUE(plug->CheckBankConflict(4));
  param(kMultiPartPatch + 4)->Set(0);
  param(kMultiPartStatus + 5)->Set(0);
  param(kMultiPartStatus + 1)->Set(1);
  plug->quietSend = true;
  EXPECT_TRUE(sendShownPair(5));
  EXPECT_EQ(arrivedAtInstrument().size(), 4u);
  plug->quietSend = false;
  param(kMultiPartStatus + 1)->Set(0);
  EXPECT_FALSE(plug->CheckBankConflict(5));

  // A multi's bank select does not fit a data byte: not sent, and logged.
  plug->multiMode = true;
  param(kMultiBank)->InitInt("", 1, 0, 3);
  param(kMultiPatch)->InitInt("", 9, 0, 99);
  param(kGlobalMidiChannel)->Set(16);
  EXPECT_TRUE(sendShownPair(0, true));
  EXPECT_EQ(arrivedAtInstrument(), (ByteList{{0xBF, 123, 0}, {0xBF, 0, 0}, {0xCF, 9}}));
  EXPECT_NE(debugLog().find("bank select value 161 does not fit a data byte; not sent"), std::string::npos);
  // A global channel of 0 is no channel: nothing goes out, and the change
  // is refused (what showed it is put back).
  param(kGlobalMidiChannel)->Set(0);
  EXPECT_FALSE(sendShownPair(0, true));
  EXPECT_TRUE(arrivedAtInstrument().empty());
  EXPECT_NE(debugLog().find("bank change for the multi not sent: channel outside 0-15"), std::string::npos);
}

TEST_F(BlockCallbackTest, ResetSizesTheQueueAndPutsTheHeaderDisplaysBack) {
  for (int i = 0; i < 3; ++i) {
    IMidiMsg m = msg(1000 + i, 0x90, 60, 1);
    plug->midiQueue.Add(&m);
  }
  plug->hostBufferOffset = 0;
  plug->SetBlockSize(256);
  plug->Reset();
  EXPECT_EQ(plug->midiQueue.GetSize(), 512);
  EXPECT_EQ(plug->midiQueue.ToDo(), 3);
  EXPECT_EQ(plug->hostBufferOffset, 256);
  plug->hostBufferOffset = 300;
  plug->SetBlockSize(1000);
  plug->Reset();
  EXPECT_EQ(plug->midiQueue.GetSize(), 1024);
  EXPECT_EQ(plug->hostBufferOffset, 300);
  EXPECT_EQ(nameText.GetText(), "Zorozov Tarnivex Plug-in");
  EXPECT_EQ(valueText.GetText(), std::string(plug->GetVersionText()) + " - 02-Jan-2020");
  EXPECT_EQ(ccText.GetText(), "---");
  EXPECT_NE(debugLog().find("RESET: plug-in "), std::string::npos);
  nameText.SetTextFromPlug("kept");
  plug->stateRestore = true;
  plug->Reset();
  EXPECT_EQ(nameText.GetText(), "kept");
  plug->stateRestore = false;
}
}  // namespace
