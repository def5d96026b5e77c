// Two things asked of a part close together: a program change from the
// window right behind the host's bank select and program change goes on the
// host's bank, whichever is handed on first; the sound the editor holds
// goes back on a part switch only while the part still plays it; a multi
// names what each part plays as it goes, a pick recorded while its send ran
// included.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"

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

class PickOverlapEditorTest : public EditorTest {
 protected:
  PickOverlapEditorTest() : EditorTest(false) { setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1); }
  ~PickOverlapEditorTest() override {
    window.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }
  std::optional<EditorWindowDriver> window;
};

TEST_F(PickOverlapEditorTest, APartSwitchSendsTheHeldSoundOnlyWhileThePartPlaysIt) {
  for (const bool changedMeanwhile : {false, true}) {
    SCOPED_TRACE(changedMeanwhile ? "a program change went before the send's turn" : "nothing went meanwhile");
    freshMidiSystem();
    makePlug();
    window.emplace(*plug);
    param(kMultiPartStatus + kPart)->Set(1);
    window->clickTab(kMainTab, 1);
    settle();
    plug->partSoundHeld[kPart] = true;
    PartPicks& picks = plug->midiMessageManager->picks;
    plug->midiMessageManager->jobObserver = [&](JobThread, const SenderJob& job) {
      // A pick's program change (the host's, the instrument's) goes out
      // while the switch's send waits for its turn: the part loads A 006.
      if (!changedMeanwhile || job.jobCode != 2) return;
      picks.letGo(picks.current(kPart), [&](const GatePass& pass) {
        plug->recordPartPlays(pass, 0, 5, nullptr);
        return true;
      });
    };
    window->clickTab(kQuickTab, kPart);
    awaitRequestThread();
    int dumps = 0;
    for (const Bytes& message : sentSinceLast())
      dumps += message.size() == 392 && message[4] == 0x10 && message[5] == 0x30 && message[6] == kPart;
    EXPECT_EQ(dumps, changedMeanwhile ? 0 : 1);
    plug->midiMessageManager->jobObserver = nullptr;
    window.reset();
  }
}

TEST_F(PickOverlapEditorTest, TheMultiNamesWhatEachPartPlaysWhenItGoes) {
  makePlug();
  param(kMultiPartStatus + kPart)->Set(1);
  plug->setParameterFromPlug(kMultiPartBank + kPart, 0, false);
  plug->setParameterFromPlug(kMultiPartPatch + kPart, 2, false);
  settle();
  PartPicks& picks = plug->midiMessageManager->picks;
  std::atomic<bool> picked{false};
  picks.onLetGo = [&](const PickTicket& ticket) {
    // Just before the multi goes, the part's record reads C 007 (the
    // instrument's own pick, local control on, recorded as it came in).
    if (!ticket.multi() || picked) return;
    picked = true;
    plug->setParameterFromPlug(kMultiPartBank + kPart, 2, false);
    plug->setParameterFromPlug(kMultiPartPatch + kPart, 6, false);
  };
  setParam(kPushArrangement, 1);
  awaitRequestThread();
  ASSERT_TRUE(picked);
  const ByteList sent = sentSinceLast();
  const auto multi = std::find_if(sent.begin(), sent.end(), [](const Bytes& m) { return m.size() == 393; });
  ASSERT_NE(multi, sent.end());
  // The part's block: 32 + 22 * part bytes into the multi's data, bank then program.
  const size_t block = 7 + 32 + 22 * kPart;
  EXPECT_EQ((*multi)[block], 2);
  EXPECT_EQ((*multi)[block + 1], 6);
  EXPECT_EQ(plug->partBank(kPart), 2);
  EXPECT_EQ(plug->partProgram(kPart), 6);
  picks.onLetGo = nullptr;
}
}  // namespace
