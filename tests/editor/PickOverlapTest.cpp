// Two things asked of a part close together: a program change from the
// window right behind the host's bank select and program change goes on the
// host's bank, whichever is handed on first.
#include <chrono>
#include <mutex>
#include <vector>

#include "EditorTestSupport.h"

namespace {
constexpr int kPart = 1;

TEST(PickOverlapTest, AProgramChangeAfterTheHostsBankSelectGoesOnThatBank) {
  const struct {
    const char* what;
    int hostBank;    // the bank select before the host's program change, -1 none
    int windowBank;  // the window's own bank, -1 none
    int goesOn;      // the bank the window's program change goes on (-1: the part's own)
  } rows[] = {
      {"the host's bank C, not yet handed on", 2, -1, 2},
      {"the host's program change alone", -1, -1, -1},
      {"the window's own bank", 2, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PartPicks picks;
    std::mutex mutex;
    std::vector<Pick> ran;
    picks.setWork(
        [&](const PickTicket&, const Pick& pick) {
          std::lock_guard<std::mutex> lock(mutex);
          ran.push_back(pick);
        },
        {});
    // The host's pick comes in on its real-time thread; its work is handed
    // on later, from the MIDI thread.
    const PickTicket host = picks.arriveRealtime(kPart, row.hostBank);
    Pick window;
    window.slot = kPart;
    window.bank = row.windowBank;
    window.program = 18;
    picks.pick(window);
    Pick late;
    late.road = Pick::Road::kHost;
    late.slot = kPart;
    late.bank = row.hostBank;
    late.program = 16;
    EXPECT_FALSE(picks.hand(host, late)) << "overtaken: nothing of it is done";
    ASSERT_TRUE(picks.awaitLanesIdle(std::chrono::seconds(5)));
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(ran.size(), 1u);
    EXPECT_EQ(ran[0].program, 18);
    EXPECT_EQ(ran[0].bank, row.goesOn);
  }
}

}  // namespace
