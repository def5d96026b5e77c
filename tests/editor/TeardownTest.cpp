// Closing the plug-in while a job runs and while the instrument still
// sends: input detached and workers joined before anything they use goes.
#include "EditorTestSupport.h"

namespace {
class TeardownTest : public EditorTest {};

TEST_F(TeardownTest, ClosingWhileAJobRunsAndTheInstrumentSends) {
  for (int round = 0; round < 3; ++round) {
    makePlug();
    MIDIMessageManager* manager = plug->midiMessageManager.get();
    std::atomic<bool> jobStarted{false};
    manager->jobObserver = [manager, &jobStarted](JobThread, const SenderJob&) {
      jobStarted = true;
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!manager->sender->cancelRequested && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    SenderJob job;
    job.jobCode = 6;
    ASSERT_TRUE(manager->startJob(job));
    std::atomic<bool> stop{false};
    std::atomic<int> delivered{0};
    std::thread instrumentSide([&] {
      const Bytes change = {0xF0, 0x3E, 0x10, kDeviceId, 0x20, 3, 0, 0x11, 5, 0xF7};
      while (!stop) {
        if (backend->inject(round % 2 ? change : Bytes{0x90, 60, 100})) ++delivered;
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
}  // namespace
