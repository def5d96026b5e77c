// Closing the plug-in while a job runs and while the instrument still
// sends: input detached, then workers joined, then the MIDI thread let go,
// before anything they use goes. (Also run under ThreadSanitizer.)
#include "EditorTestSupport.h"

namespace {
class TeardownTest : public EditorTest {};

TEST_F(TeardownTest, ClosingWhileAJobRunsAndTheInstrumentSends) {
  const Bytes change = {0xF0, 0x3E, 0x10, kDeviceId, 0x20, 3, 0, 0x11, 5, 0xF7};
  const struct {
    const char* name;
    int job;
    Bytes incoming;
  } rows[] = {
      {"part request, notes", 6, {0x90, 60, 100}},
      {"part request, parameter changes", 6, change},
      {"part request, notes again", 6, {0x90, 60, 100}},
      // A program change from the instrument hands its bank change to the
      // MIDI thread, which must outlive the input and the workers.
      {"library send, program changes", 3, {0xC0, 5}},
      {"library bank send, program changes", 4, {0xC1, 7}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    makePlug();
    setParam(kGlobalLocalControl, 1);
    setParam(kMIDIFilterHWPCPassThrough, 1);
    param(kGlobalRxProgramChange)->Set(1);
    plug->sleepFor = nullptr;  // the bank change's pauses look for the MIDI thread, as in a host
    MIDIMessageManager* manager = plug->midiMessageManager.get();
    std::atomic<bool> jobStarted{false};
    manager->jobObserver = [manager, &jobStarted](JobThread, const SenderJob&) {
      jobStarted = true;
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!manager->sender->cancelRequested && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    SenderJob job;
    job.jobCode = row.job;
    ASSERT_TRUE(manager->startJob(job));
    std::atomic<bool> stop{false};
    std::atomic<int> delivered{0};
    std::thread instrumentSide([&] {
      while (!stop) {
        if (backend->inject(row.incoming)) ++delivered;
        std::this_thread::yield();
      }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((!jobStarted || delivered < 50) && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_TRUE(jobStarted);
    const auto started = std::chrono::steady_clock::now();
    plug.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    stop = true;
    instrumentSide.join();
  }
}
// A close drops what the MIDI thread had not done yet, but for the host's
// sound-offs: the notes the host ended must not keep sounding.
TEST_F(TeardownTest, AClosePassesOnOnlyTheHostsQueuedSoundOffs) {
  makePlug();
  std::atomic<bool> busy{false};
  // The MIDI thread is held by other work while the host's last events
  // wait behind it, as a loaded machine has it at a close.
  plug->midiSendThread->runFromAnyThread([&busy] {
    busy = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  });
  while (!busy) std::this_thread::yield();
  const size_t before = backend->out().sent.size();
  hostEvents({{0x92, 60, 100}, {0xB2, 64, 0}, {0xB2, 123, 0}, {0xB2, 121, 0}, {0x82, 60, 0}, {0xB2, 7, 90},
              {0xC2, 5}});
  plug.reset();
  const auto all = backend->out().sent;
  const ByteList after(all.begin() + static_cast<long>(before), all.end());
  EXPECT_EQ(after, (ByteList{{0xB2, 64, 0}, {0xB2, 123, 0}, {0xB2, 121, 0}, {0x82, 60, 0}}));
}
// A host that removes the plug-in while it plays ends none of the notes it
// played through it: the close ends them on the channels they went on.
TEST_F(TeardownTest, ACloseEndsWhatTheEditorLeftSounding) {
  const struct {
    const char* name;
    ByteList played;
    ByteList atClose;
  } rows[] = {
      {"a note on", {{0x93, 64, 100}}, {{0xB3, 64, 0}, {0xB3, 123, 0}, {0xB3, 121, 0}}},
      {"the pedal held on one channel, a note on another",
       {{0xB5, 64, 127}, {0x91, 60, 90}},
       {{0xB1, 64, 0}, {0xB1, 123, 0}, {0xB1, 121, 0}, {0xB5, 64, 0}, {0xB5, 123, 0}, {0xB5, 121, 0}}},
      // Nothing that sounds: nothing to end.
      {"a note on at velocity 0 and a controller", {{0x93, 64, 0}, {0xB3, 7, 100}}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    makePlug();
    hostEvents(row.played);
    plug->midiSendThread->flush();
    const size_t before = backend->out().sent.size();
    plug.reset();
    const auto all = backend->out().sent;
    EXPECT_EQ(ByteList(all.begin() + static_cast<long>(before), all.end()), row.atClose);
    freshMidiSystem();
  }
}
}  // namespace
