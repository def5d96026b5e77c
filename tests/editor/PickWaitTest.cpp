// A pick while the instrument is taken waits for it; a multi picked while
// an older one is on its way takes its place. Judged by what reached the
// instrument and what the window shows.
#include <atomic>
#include <chrono>

#include "EditorTestSupport.h"

namespace {
constexpr int kPart = 1;  // part 2, on MIDI channel 2

class PickWaitTest : public EditorTest {
 protected:
  PickWaitTest() : EditorTest(false) {}
  void setUp() {
    makePlug();
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);
    param(kMultiPartStatus + kPart)->Set(1);
    settle();
    arrivedAtInstrument();
  }
  // The part's program changes among the messages, with the bank each went on.
  static std::vector<std::pair<int, int>> pairs(const ByteList& messages, int channel) {
    std::vector<std::pair<int, int>> found;
    int bank = -1;
    for (const Bytes& m : messages) {
      if (m.size() == 3 && m[0] == (0xB0 | channel) && m[1] == 32) bank = m[2] - 64;
      if (m.size() == 2 && m[0] == (0xC0 | channel)) found.emplace_back(bank, m[1]);
    }
    return found;
  }
};

TEST_F(PickWaitTest, AWindowPickWaitsWhileTheOverlayIsUpWithNoJob) {
  setUp();
  // A transfer the window's thread runs shows the overlay: no job runs.
  plug->DisplayProcessingIndicator(true);
  plug->pickPartProgram(kPart, 0, 5, false);
  plug->midiSendThread->flush();
  ASSERT_TRUE(plug->midiMessageManager->picks.awaitLanesIdle(std::chrono::seconds(5)));
  EXPECT_EQ(arrivedAtInstrument(), ByteList{}) << "nothing goes in the middle of the transfer";
  EXPECT_EQ(param(kMultiPartPatch + kPart)->Int(), 0);
  plug->DisplayProcessingIndicator(false);
  awaitRequestThread();
  EXPECT_EQ(pairs(arrivedAtInstrument(), kPart), (std::vector<std::pair<int, int>>{{0, 5}}));
  EXPECT_EQ(param(kMultiPartPatch + kPart)->Int(), 5);
}

TEST_F(PickWaitTest, SteppingOverMultisAsksOnlyForTheLastOnesParts) {
  makePlug();
  param(kGlobalRxProgramChange)->Set(1);
  param(kGlobalMidiChannel)->Set(1);  // multis on channel 1
  setParam(kDatatype, 1);
  setParam(kControlProgBank, 1);  // a multi picked is asked for, with its parts
  settle();
  instrumentAnswers();
  arrivedAtInstrument();
  // As the first multi's bank select has gone, the user picks two more.
  std::atomic<bool> stepped{false};
  plug->sleepFor = [&](int) {
    if (stepped.exchange(true)) return;
    plug->pickPartProgram(0, -1, 4, true);
    plug->pickPartProgram(0, -1, 5, true);
  };
  plug->pickPartProgram(0, -1, 3, true);
  awaitRequestThread();
  ASSERT_TRUE(stepped);
  const ByteList heard = arrivedAtInstrument();
  int asked[16] = {};
  for (const Bytes& m : heard)
    if (m.size() == 8 && m[4] == 0x00 && m[5] == 0x30 && m[6] < 16) ++asked[m[6]];
  for (int p = 0; p < 16; ++p) EXPECT_EQ(asked[p], 1) << "part " << p + 1 << " asked for";
  // A multi's bank select carries no data byte's value: its program change alone.
  EXPECT_EQ(pairs(heard, 0), (std::vector<std::pair<int, int>>{{-1, 5}})) << "only the last multi goes";
  EXPECT_EQ(param(kMultiPatch)->Int(), 5);
}
}  // namespace
