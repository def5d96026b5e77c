// Picks that do not go, with the window open, on a private JACK server with
// the simulated instrument at the far end: the instrument's cable undone
// then the host's pair, and the top bar's pick while a restore's send runs.
#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "../host/HostEvents.h"
#include "ByteChunk.h"
#include "ControlLayer.h"
#include "DataFolder.h"
#include "JackEditorTest.h"
#include "LibrarianBrowser.h"
#include "TopBarMenus.h"

namespace {
constexpr int kPart = 1;  // part 2
constexpr int kRounds = 10;

class PickRefusalJackTest : public JackEditorTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackEditorTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
    for (int kind : {kMIDIFilterDAWPCPassThrough, kMIDIFilterDAWCCPassThrough, kGlobalRxProgramChange})
      plug->setThroughUserPath(kind, 1);
    window->clickTab(kMainTab, 1);
    window->clickTab(kQuickTab, kPart);
    ASSERT_TRUE(idle());
    channel = plug->GetParam(kMultiPartMIDICh + kPart)->Int() - 2;
    ASSERT_GE(channel, 0);
  }
  using Status = std::pair<std::string, std::string>;
  Status status() {
    plug->OnIdle();
    return {plug->paramNameDisplay->GetText(), plug->paramValueDisplay->GetText()};
  }
  // The host's bank select and program change for part 2, before a block.
  void hostPair(int bank, int program) {
    const auto cc = static_cast<unsigned char>(0xB0 | channel), pc = static_cast<unsigned char>(0xC0 | channel);
    HostEventList list({{cc, 0, 0}, {cc, 32, static_cast<unsigned char>(64 + bank)}, {pc, static_cast<unsigned char>(program)}});
    AEffect* effect = plug->GetAEffect();
    effect->dispatcher(effect, effProcessEvents, 0, 0, list.events(), 0.0f);
  }
  // The program changes on part 2's channel that reached the instrument since the mark.
  std::vector<int> programChangesSince(size_t mark) {
    std::vector<int> programs;
    const std::vector<SimBytes> all = instrument.received();
    for (size_t i = mark; i < all.size(); ++i)
      if (all[i].size() == 2 && all[i][0] == (0xC0 | channel)) programs.push_back(all[i][1]);
    return programs;
  }
  int shownProgram() { return plug->GetParam(kMultiPartPatch + kPart)->Int(); }
  int recordedProgram() { return plug->partProgramKnown[kPart] ? plug->partProgram(kPart) : -1; }
  // The program the top bar's control of part 2 shows.
  int topBarProgram() {
    ControlLayer* layer = plug->namedLayer("bankAndProgram02");
    if (!layer) return -1;
    IParam* param = plug->GetParam(kMultiPartPatch + kPart);
    for (const auto& control : layer->controls())
      if (control->ParamIdx() == kMultiPartPatch + kPart) return static_cast<int>(std::lround(param->FromNormalized(control->GetValue())));
    return -1;
  }
  void pickTopBarProgram(int program) {
    window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {program / 10, program % 10});
  }

  static std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  int channel = -1;
};

// The instrument's cable undone, the host's pair for part 2: its program
// change reaches no instrument, the status line says "Not sent", the window
// and the record keep what the part played. Every other round the cable is
// undone as the program change leaves, after its bank select went.
TEST_F(PickRefusalJackTest, TheCableOutThenAHostPairIsNotSentShownOrRecorded) {
  for (int round = 0; round < kRounds; ++round) {
    const bool asItLeaves = round % 2 == 1;
    SCOPED_TRACE("round " + std::to_string(round) + (asItLeaves ? ", the cable undone as it leaves" : ""));
    const int before = shownProgram(), recordedBefore = recordedProgram(), topBarBefore = topBarProgram();
    plug->showStatus("", "");
    const size_t mark = instrument.received().size();
    std::atomic<int> pauses{0};
    if (asItLeaves) {
      // The pick's pauses, as long as ever; after the second one (the bank
      // select's second half went) the program change is next.
      plug->sleepFor = [&](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        // The server takes the cable out between two cycles: the program
        // change leaves once it has, as a cable pulled just before it.
        if (ms == 25 && ++pauses == 2) {
          peer->UndoCablesIn();
          peer->AwaitCycles(2);
        }
      };
    } else {
      peer->UndoCablesIn();
      ASSERT_TRUE(peer->AwaitCycles(2));
    }
    hostPair(1, 30 + round);
    ASSERT_NO_FATAL_FAILURE(allArrived());
    plug->sleepFor = nullptr;
    if (asItLeaves) {
      EXPECT_EQ(pauses.load(), 2);
    }
    EXPECT_EQ(status(), Status("Instrument not connected!", "Not sent"));
    EXPECT_EQ(shownProgram(), before);
    EXPECT_EQ(recordedProgram(), recordedBefore);
    EXPECT_EQ(topBarProgram(), topBarBefore);
    peer->RedoCablesIn();
    ASSERT_TRUE(peer->AwaitCycles(8));
    ASSERT_NO_FATAL_FAILURE(allArrived());
    EXPECT_TRUE(programChangesSince(mark).empty());
  }
  // The cable back, the host's pair goes.
  const size_t mark = instrument.received().size();
  hostPair(1, 60);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  EXPECT_FALSE(programChangesSince(mark).empty());
  EXPECT_EQ(recordedProgram(), 60);
}

// The host changes part 2's program, then restores the project, and while
// the restore's send has the instrument the user picks a program on the top
// bar: the user's pick is what the instrument ends on and what the window
// shows. The pick comes as the send starts, before its overlay covers the
// window (a click on the overlay is no pick at all).
TEST_F(PickRefusalJackTest, ATopBarPickDuringARestoreIsTheLastPick) {
  ByteChunk project;
  plug->SerializeState(&project);
  int duringRestore = 0;
  // Shared: the worker may still look after the test body has gone.
  const std::string logPath = getDataFolder() + "/pick-log.txt";
  plug->debugLogPath = logPath;
  plug->debugLogEnabled = true;
  const auto clicked = std::make_shared<std::atomic<bool>>(true);
  const auto sendStarted = std::make_shared<std::atomic<int>>(0);
  plug->midiMessageManager->jobObserver = [clicked, sendStarted](JobThread thread, const SenderJob& job) {
    if (thread != JobThread::kRequest || job.jobCode != 0) return;
    ++*sendStarted;
    for (int i = 0; i < 10000 && !*clicked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const size_t mark = instrument.received().size();
    hostPair(0, 10 + round);
    *clicked = false;
    const int startedBefore = sendStarted->load();
    ASSERT_GE(plug->UnserializeState(&project, 0), 0);
    // The send has the instrument: it has started (its job waits for the click).
    const bool restoring = eventually([&] { return sendStarted->load() > startedBefore; }, 2000);
    EXPECT_TRUE(plug->progressLayer->IsHidden()) << "the click would land on the overlay";
    const int picked = 40 + round;
    pickTopBarProgram(picked);
    *clicked = true;
    ASSERT_NO_FATAL_FAILURE(allArrived());
    // A restore that found the out port not yet listed sends nothing.
    duringRestore += restoring;
    const std::vector<int> went = programChangesSince(mark);
    // The host's program change went, or the log says what became of it.
    const int host = 10 + round;
    if (std::find(went.begin(), went.end(), host) == went.end()) {
      const std::string said = fileText(logPath), change = "program change " + std::to_string(host + 1) + " for part 2 ";
      EXPECT_TRUE(said.find(change + "refused as it came in") != std::string::npos ||
                  said.find(change + "overtaken by a newer change") != std::string::npos)
          << "the host's program change " << host << " went nowhere without a word";
    }
    ASSERT_FALSE(went.empty());
    EXPECT_EQ(went.back(), picked);
    EXPECT_EQ(shownProgram(), picked);
    EXPECT_EQ(recordedProgram(), picked);
    EXPECT_EQ(topBarProgram(), picked);
  }
  EXPECT_GE(duringRestore, kRounds / 2) << "the picks came while a restore's send ran";
  plug->midiMessageManager->jobObserver = nullptr;
}
}  // namespace
