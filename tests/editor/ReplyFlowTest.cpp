// A part's requests answered late, through the window, to the simulated
// instrument on a private JACK server, with real pauses.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ControlLayer.h"
#include "JackEditorTest.h"

namespace {
class ReplyFlowTest : public JackEditorTest {
 protected:
  static std::string name(const SimBytes& dump) { return std::string(dump.begin() + 370, dump.begin() + 379); }
  void choose(int param, double value) {
    plug->GetParam(param)->Set(value);
    plug->OnParamChange(param);
  }
};

// Ten programs picked for part 1 in its menu, 100 ms apart, each request
// answered 400 ms late (longer than the fastest pacing's five ticks): the
// part ends on the last pick's sound, shown in the window, and a part switch
// after sends nothing older.
TEST_F(ReplyFlowTest, ABurstOfPicksAnsweredLateEndsOnTheLastPicksSound) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  choose(kGlobalRxProgramChange, 1);
  choose(kLibSyncTimer, 0);     // 50 ms pacing
  choose(kControlProgBank, 1);  // STEP SYNTH: each pick asks for its sound
  window->clickTab(kMainTab, 2);  // a part's page: a part switch sends a sound both hold
  ASSERT_TRUE(idle());
  IControl* programMenu = controlOn("bankAndProgram01", kMultiPartPatch + 0);
  ASSERT_NE(programMenu, nullptr);
  instrument.setReplyDelayMs(400);
  constexpr int kFirst = 11, kPicks = 10;
  for (int i = 0; i < kPicks; ++i) {
    window->pickFromMenu(*programMenu->GetRECT(), {kFirst + i});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(idle());
  const std::string last = "SOUND A" + std::to_string(kFirst + kPicks - 1);
  EXPECT_EQ(name(instrument.partBuffer(0)), last);
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 0, 0).substr(0, 9), last);

  const size_t mark = instrument.received().size();
  for (int part : {1, 0}) {
    window->clickTab(kQuickTab, part);
    ASSERT_TRUE(idle());
  }
  const std::vector<SimBytes> received = instrument.received();
  for (size_t i = mark; i < received.size(); ++i) {
    if (received[i].size() == 392 && received[i][5] == 0x30 && received[i][6] == 0) {
      EXPECT_EQ(name(received[i]), last) << "an older sound went to the part";
    }
  }
  EXPECT_EQ(name(instrument.partBuffer(0)), last);
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 0, 0).substr(0, 9), last);
}
}  // namespace
