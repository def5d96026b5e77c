// The order the entry lets picks' work run in, where it depends on which
// pick came first and not on which thread got there first: each case holds
// one lane or job where a loaded machine might, and reads the work's order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PartPicks.h"

namespace {

constexpr int kPart = 3;

class PartPicksOrderTest : public ::testing::Test {
 protected:
  PartPicksOrderTest() {
    picks.setBusyTest([this] { return jobRuns.load(); });
    picks.setWork(
        [this](const PickTicket& ticket, const Pick& pick) {
          if (pick.program == kHeldProgram) {
            std::unique_lock<std::mutex> lock(mutex);
            held = true;
            changed.notify_all();
            changed.wait(lock, [this] { return letGo; });
          }
          note("part " + std::to_string(ticket.part()) + " program " + std::to_string(pick.program));
        },
        [this](const StateTicket&, const Pick& pick) {
          // A multi's program change, then its read-back job takes the instrument.
          note("multi " + std::to_string(pick.program));
          jobRuns = true;
        });
  }
  ~PartPicksOrderTest() override { picks.shutDown(); }

  static constexpr int kHeldProgram = 77;
  void note(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(what);
  }
  std::vector<std::string> done() {
    EXPECT_TRUE(picks.awaitLanesIdle(std::chrono::seconds(10)));
    std::lock_guard<std::mutex> lock(mutex);
    return order;
  }
  static Pick programPick(int slot, int program, Pick::Road road = Pick::Road::kHost) {
    Pick pick;
    pick.road = road;
    pick.slot = slot;
    pick.program = program;
    return pick;
  }

  PartPicks picks;
  std::atomic<bool> jobRuns{false};
  std::mutex mutex;
  std::condition_variable changed;
  bool held = false, letGo = false;
  std::vector<std::string> order;
};

// A part's pick made while a multi pick is on its way goes after the multi's
// read-back, also when the multi's own work is over before the part's lane
// takes the pick (its lane busy with an older pick meanwhile).
TEST_F(PartPicksOrderTest, APartPickAfterAMultiPickWaitsForTheMultisReadBack) {
  picks.hand(picks.arrive(kPart), programPick(kPart, kHeldProgram));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [this] { return held; }));
  }
  const StateTicket multi = picks.arriveAll(true);
  const PickTicket part = picks.arrive(kPart);
  ASSERT_TRUE(picks.hand(part, programPick(kPart, 12)));
  ASSERT_TRUE(picks.hand(multi, programPick(kMultiSlot, 5, Pick::Road::kWindow)));
  // The multi's work ends (its read-back now has the instrument) before the
  // part's lane is free for the part's pick.
  for (int i = 0; i < 10000 && !jobRuns; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(jobRuns);
  {
    std::lock_guard<std::mutex> lock(mutex);
    letGo = true;
    changed.notify_all();
  }
  EXPECT_EQ(done(), (std::vector<std::string>{"multi 5", "part 3 program 77"}))
      << "the part's pick went while the multi's read-back had the instrument";
  jobRuns = false;
  picks.serveWaiting();
  EXPECT_EQ(done(), (std::vector<std::string>{"multi 5", "part 3 program 77", "part 3 program 12"}));
}

// A pick that arrives only if none came since the part's count was read (the
// instrument's bank alone, once its wait for a program ends) never overtakes
// one that came in between, whatever road that one took.
TEST_F(PartPicksOrderTest, APickArrivingAfterACountComesOnlyIfNoneCameBetween) {
  for (const bool realtime : {false, true}) {
    SCOPED_TRACE(realtime ? "the host's pick in between" : "a window pick in between");
    const uint32_t counted = picks.current(kPart).count();
    const PickTicket between = realtime ? picks.arriveRealtime(kPart) : picks.arrive(kPart);
    EXPECT_FALSE(picks.arriveAfter(kPart, counted).has_value());
    EXPECT_TRUE(picks.newest(between));
    const std::optional<PickTicket> later = picks.arriveAfter(kPart, between.count());
    ASSERT_TRUE(later.has_value());
    EXPECT_TRUE(picks.newest(*later));
    EXPECT_FALSE(picks.newest(between));
  }
}

}  // namespace
