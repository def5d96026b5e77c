// The authored editor against the simulated instrument: a user edit on a
// control of each page arrives byte-exact, and the same change sent by the
// instrument moves the control with nothing sent back.
#include "ControlAction.h"
#include "EditorTestSupport.h"
#include "SysExDefinitions.h"

namespace {
class DocumentEditTest : public EditorTest {
 protected:
  DocumentEditTest() {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    makePlug();
  }
  ~DocumentEditTest() override { unsetenv("TARNIVEX_RESOURCE_DIR"); }
  IControl* controlOf(int idx) {
    const auto* action = static_cast<ControlAction*>(param(idx)->GetControlAction());
    return action && !action->controls.empty() ? action->controls.front() : nullptr;
  }
};

TEST_F(DocumentEditTest, EditsArriveByteExactAndInstrumentChangesComeBackSilently) {
  struct Row {
    const char* what;
    int idx;
    double value;  // the plain value the user sets
  };
  const Row table[] = {
      {"osc 1 octave, part 3", kOscillator1Octave + 2, 5},
      {"filter 1 cutoff, part 1", kFilter1Cutoff, 99},
      {"LFO 2 shape menu, part 6", kLFO2Shape + 5, 3},
      {"arp pattern reset button, part 16", kArpPatternReset + 15, 1},
      {"part 4 level, multi mixer", kMultiPartLevel + 3, 77},
      {"global transpose", kGlobalTranspose, 70},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    IControl* control = controlOf(row.idx);
    ASSERT_NE(control, nullptr);
    const auto* action = static_cast<ControlAction*>(param(row.idx)->GetControlAction());
    // The address is the document's; the device ID and the value are the edit's.
    Bytes expected = {0xF0};
    for (size_t i = 0; i < action->sysex.messages.front().size(); ++i)
      expected.push_back(static_cast<unsigned char>(i == 2 ? kDeviceId : action->sysex.messages.front()[i]));
    expected.back() = static_cast<unsigned char>(row.value - param(row.idx)->GetMin());
    expected.push_back(0xF7);
    control->SetValueFromUserInput(param(row.idx)->GetNormalized(row.value));
    EXPECT_EQ(arrivedAtInstrument(), ByteList{expected});
    EXPECT_EQ(param(row.idx)->Value(), row.value);

    // The instrument sends the parameter: its address finds the control (the
    // device byte of multi and global addresses as the templates carry it),
    // which follows, and nothing goes back.
    const Bytes& m = expected;
    const bool sound = m.size() == 10;
    IControl* found = sound ? plug->getSysexControl(m[4], m[5], m[6], m[7], 0)
                            : plug->getSysexControl(kTemplateDeviceByte, m[4], m[5], m[6], 0);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->ParamIdx(), row.idx);
    const double other = param(row.idx)->GetMin() + 1;
    found->SetValueFromHardware(param(row.idx)->GetNormalized(param(row.idx)->GetMin()));
    found->SetValueFromHardware(param(row.idx)->GetNormalized(other));
    EXPECT_EQ(param(row.idx)->Value(), other);
    EXPECT_DOUBLE_EQ(control->GetValue(), param(row.idx)->GetNormalized());
    EXPECT_TRUE(sentSinceLast().empty());
  }
}
}  // namespace
