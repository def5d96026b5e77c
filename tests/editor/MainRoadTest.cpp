// The main road, as a new user meets it, on a private JACK server with the
// simulated instrument at the far end and the bundle's GUI document: start,
// open the editor, pick the ports, receive the multi and the parts, edit on
// both sides, send a library entry, save, close, reopen, and the instrument
// is brought back to the saved state.
#include <atomic>
#include <filesystem>
#include <thread>

#include "../library/LibraryTestSupport.h"
#include "DataFolder.h"
#include "ControlAction.h"
#include "IControl.h"
#include "IControls.h"
#include "IGraphics.h"
#include "InstrumentLink.h"
#include "JackTest.h"
#include "MIDIMessageManager.h"
#include "MidiSendThread.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace {
constexpr int kDeviceId = 0x10;
constexpr size_t kDetuneByte = 10;  // oscillator 1 detune in the sound dump
const IColor kWhite(255, 255, 255, 255);

class MainRoadTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    std::filesystem::remove_all(getDataFolder());
    writeFile(getPatchesFolderStr() + "/Road.syx", soundFile("Road ", 100));
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    link = std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { peer->Send(reply); });
    pump = std::thread([this] {
      size_t handed = 0;
      while (!stopping) {
        const std::vector<PeerEvent> events = peer->WaitForEvents(handed + 1, std::chrono::milliseconds(20));
        for (; handed < events.size(); ++handed) link->deliver(events[handed].bytes);
      }
    });
  }
  void TearDown() override {
    plug.reset();
    stopping = true;
    pump.join();
    link.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }
  void makePlug() { plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{}); }
  bool idle(int boundMs = 20000) {
    plug->midiSendThread->flush();  // the enquiry starts there
    for (int i = 0; i < boundMs; ++i) {
      if (!plug->midiMessageManager->isThreadRunning(JobThread::kRequest) && link->waitIdle(0)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  template <class F>
  bool eventually(F done) {
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
  }
  void choosePort(int param, const std::vector<std::string>& list, const std::string& name) {
    const int index = static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
    ASSERT_LT(index, static_cast<int>(list.size())) << name;
    plug->GetParam(param)->Set(index);
    plug->OnParamChange(param);
  }
  void block() {
    std::vector<double> a(64), b(64);
    double* channels[] = {a.data(), b.data()};
    plug->ProcessDoubleReplacing(channels, channels, 64);
  }
  // The knob the GUI document's factory makes for a sound parameter, for as
  // long as the document does not: bound to the parameter, with one prepared
  // message per value and registered for the instrument's changes.
  IControl* standInKnob(int param, const char* sysexTemplate) {
    plug->GetParam(param)->InitInt("Osc 1 Detune", 64, 0, 127);
    UIConfigManager& config = *plug->uiConfigManager;
    ControlAction* action = config.controlActionFor(param, ControlAction::kSysEx);
    config.calculateSysexWithChangingByte(sysexTemplate, 8, 128, &action->sysex, 0, 0);
    auto knob = std::make_unique<IKnobLineControl>(plug.get(), IRECT(240, 110, 290, 160), param, &kWhite);
    IControl* raw = knob.get();
    action->controls.push_back(raw);
    const unsigned char key[] = {0x20, 0x00, 0x00, 0x03};  // command, part, position
    config.sysexControls.addToControlMap(key, 0, raw);
    plug->GetGUI()->AttachControl(knob.release());
    return raw;
  }
  static std::string name(const SimBytes& dump, size_t at) { return std::string(dump.begin() + at, dump.begin() + at + 16); }

  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentLink> link;
  std::atomic<bool> stopping{false};
  std::thread pump;
  std::unique_ptr<Tarnivex> plug;
};

TEST_F(MainRoadTest, FromFirstLoadToAnInstrumentBackInTheSavedState) {
  makePlug();
  int parent = 0;
  ASSERT_NE(plug->GetGUI()->OpenWindow(&parent), nullptr);

  // Ports from the device lists; the device-ID enquiry finds the instrument.
  choosePort(kDeviceInSelection, plug->getExternalMIDIInNames(), peer->OutPortName());
  peer->AwaitListener();
  choosePort(kDeviceOutSelection, plug->getExternalMIDIOutNames(), peer->InPortName());
  ASSERT_TRUE(plug->midiIOConfigured);
  ASSERT_TRUE(idle());
  EXPECT_EQ(plug->GetParam(kGlobalSysExID)->Int(), kDeviceId);

  // The multi, in which part 1 plays, and its parts.
  instrument.receive({0xF0, 0x3E, 0x10, kDeviceId, 0x21, 0x00, 0x27, 0x01, 0xF7});
  plug->GetParam(kRequestTempData)->Set(1);
  plug->OnParamChange(kRequestTempData);
  ASSERT_TRUE(idle());
  EXPECT_EQ(name(instrument.multiBuffer(), 23), plug->paramDisplayText(kMultiName, 0));
  EXPECT_EQ(name(instrument.partBuffer(3), 370), plug->paramDisplayText(kPatchName + 3, 0));
  EXPECT_EQ(plug->GetParam(kMultiPartStatus)->Value(), 1.0);

  // A knob in the editor, then the same knob on the instrument.
  IControl* detune = plug->firstControlOf(kOscillator1Detune);
  if (!detune) detune = standInKnob(kOscillator1Detune, "3E 10 00 20 00 00 03 00");
  detune->SetValueFromUserInput(plug->GetParam(kOscillator1Detune)->GetNormalized(100));
  ASSERT_TRUE(eventually([&] { return instrument.partBuffer(0)[kDetuneByte] == 100; }));
  peer->Send({0xF0, 0x3E, 0x10, kDeviceId, 0x20, 0x00, 0x00, 0x03, 30, 0xF7});
  ASSERT_TRUE(eventually([&] { return plug->GetParam(kOscillator1Detune)->Int() == 30; }));
  EXPECT_DOUBLE_EQ(detune->GetValue(), plug->GetParam(kOscillator1Detune)->GetNormalized());

  // A library entry to part 2.
  ASSERT_TRUE(plug->sendPatchToDeviceFromLibrarian(5, 0, 2));
  ASSERT_TRUE(idle());
  EXPECT_EQ(name(instrument.partBuffer(2), 370), numbered("Road ", 5));
  EXPECT_TRUE(instrument.checksumErrors().empty());

  // Save, close, and meanwhile the instrument is played with.
  ByteChunk project;
  ASSERT_TRUE(plug->SerializeState(&project));
  plug.reset();
  instrument.receive({0xF0, 0x3E, 0x10, kDeviceId, 0x20, 0x00, 0x00, 0x03, 77, 0xF7});
  ASSERT_EQ(instrument.partBuffer(0)[kDetuneByte], 77);

  makePlug();
  if (!plug->firstControlOf(kOscillator1Detune)) standInKnob(kOscillator1Detune, "3E 10 00 20 00 00 03 00");
  ASSERT_GT(plug->UnserializeState(&project, 0), 0);
  ASSERT_TRUE(idle());
  EXPECT_TRUE(plug->midiIOConfigured);
  EXPECT_EQ(plug->GetParam(kOscillator1Detune)->Int(), 30);
  EXPECT_EQ(instrument.partBuffer(0)[kDetuneByte], 30);
  EXPECT_EQ(name(instrument.partBuffer(2), 370), numbered("Road ", 5));
}
}  // namespace
