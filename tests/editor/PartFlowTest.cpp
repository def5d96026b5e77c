// A part's flows as a musician meets them, through the window, to the
// simulated instrument on a private JACK server, with real pauses: part
// switches, a bank and a program picked from the header menus, and a linked
// filter turned on the instrument.
#include "ControlAction.h"
#include "JackEditorTest.h"
#include "SoundDumpLayout.h"

namespace {
constexpr size_t kDetuneByte = 10;  // oscillator 1 detune in the sound dump

class PartFlowTest : public JackEditorTest {
 protected:
  static std::string text(const SimBytes& dump, size_t at, size_t length = 16) {
    return std::string(dump.begin() + static_cast<long>(at), dump.begin() + static_cast<long>(at + length));
  }
  // The part's sound as the editor holds it: its name and one knob.
  void editPart(int part, const std::string& name, int detune) {
    plug->setParamDisplayText(kPatchName + part, 0, name);
    plug->GetParam(kOscillator1Detune + part)->Set(detune);
  }
};

TEST_F(PartFlowTest, TwoQuickPartSwitchesLeaveTheInstrumentWithBothPartsAndTheMulti) {
  makeConnectedPlug();
  editPart(1, "Second Part     ", 40);
  editPart(2, "Third Part      ", 90);
  plug->setParamDisplayText(kMultiName, 0, "Evening Set     ");
  window->clickTab(kMainTab, 2);  // a part's page: a part switch sends the part
  ASSERT_TRUE(idle());

  // Part 2, and part 3 at once after it, while the first send still runs.
  auto* tabs = plug->firstControlOf(kQuickTab);
  ASSERT_NE(tabs, nullptr);
  tabs->SetValueFromUserInput(plug->GetParam(kQuickTab)->GetNormalized(1));
  tabs->SetValueFromUserInput(plug->GetParam(kQuickTab)->GetNormalized(2));
  EXPECT_EQ(plug->currentPart, 2);
  ASSERT_TRUE(idle());

  EXPECT_EQ(text(instrument.partBuffer(1), kSoundNameByte), "Second Part     ");
  EXPECT_EQ(instrument.partBuffer(1)[kDetuneByte], 40);
  EXPECT_EQ(text(instrument.partBuffer(2), kSoundNameByte), "Third Part      ");
  EXPECT_EQ(instrument.partBuffer(2)[kDetuneByte], 90);
  EXPECT_EQ(text(instrument.multiBuffer(), 23), "Evening Set     ");
  EXPECT_TRUE(instrument.checksumErrors().empty());
}
}  // namespace
