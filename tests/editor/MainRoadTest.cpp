// The main road, as a new user meets it, on a private JACK server with the
// simulated instrument at the far end and the bundle's GUI document: start,
// open the editor, pick the ports, receive the multi and the parts, edit on
// both sides, send a library entry, save, close, reopen, and the instrument
// is brought back to the saved state.
#include <fstream>
#include <mutex>

#include "ControlAction.h"
#include "DataFolder.h"
#include "IControls.h"
#include "IGraphics.h"
#include "../host/HostEvents.h"
#include "JackClientLock.h"
#include "JackEditorTest.h"
#include "LibrarianBrowser.h"
#include "UIConfigManager.h"

namespace {
constexpr size_t kDetuneByte = 10;  // oscillator 1 detune in the sound dump
const IColor kWhite(255, 255, 255, 255);

class MainRoadTest : public JackEditorTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackEditorTest::SetUp());
    writeFile(getPatchesFolderStr() + "/Road.syx", soundFile("Road ", 100));
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
  IControl* detuneKnob() {
    IControl* knob = plug->firstControlOf(kOscillator1Detune);
    return knob ? knob : standInKnob(kOscillator1Detune, "3E 10 00 20 00 00 03 00");
  }
  using Status = std::pair<std::string, std::string>;
  // The status line's two lines after the host's editor idle.
  Status status() {
    plug->OnIdle();
    return {plug->paramNameDisplay->GetText(), plug->paramValueDisplay->GetText()};
  }
  static std::string name(const SimBytes& dump, size_t at) { return std::string(dump.begin() + at, dump.begin() + at + 16); }
};

TEST_F(MainRoadTest, FromFirstLoadToAnInstrumentBackInTheSavedState) {
  // Ports from the device lists; the device-ID enquiry finds the instrument.
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());

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

  // A library entry to part 3, played, on a channel of its own (the
  // instrument's multi has it on Global, where no program change for it can
  // go). A multi sent loads each part's program: the restore sends the sounds
  // of the parts that play after it.
  plug->GetParam(kMultiPartMIDICh + 2)->Set(4);
  plug->GetParam(kMultiPartStatus + 2)->Set(1);
  ASSERT_TRUE(plug->librarianBrowser->sendPatchToDeviceFromLibrarian(5, 0, 2));
  ASSERT_TRUE(idle());
  EXPECT_EQ(name(instrument.partBuffer(2), 370), numbered("Road ", 5));
  EXPECT_TRUE(instrument.checksumErrors().empty());

  // Save, close, and meanwhile the instrument is played with.
  ByteChunk project;
  ASSERT_TRUE(plug->SerializeState(&project));
  window.reset();
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

// What the first load says of the files (here a bank too short to read)
// stays in sight beside start-up's own texts once the instrument answers,
// until the user acts: a knob moved replaces it, and no later progress text
// brings it back.
TEST_F(MainRoadTest, TheLoadsWordOnFilesOutlivesStartUpUntilTheUserActs) {
  // The ports on the instrument are the defaults the start opens.
  const std::string settings = "yellow\nnormal\nyes\n" + peer->InPortName() + "\n" + peer->OutPortName();
  writeFile(getSettingsPath(), Bytes(settings.begin(), settings.end()));
  writeFile(getPatchesFolderStr() + "/Short.syx", soundFile("Short", 1));
  makePlug();
  ASSERT_TRUE(plug->midiIOConfigured);
  const std::string word = "1 file left out of the library: Short.syx (too short)";
  // The host resumes the plug-in and runs a block, which asks the
  // instrument; it answers within a second.
  plug->Reset();
  EXPECT_EQ(status(), Status("Zorozov Tarnivex Plug-in", word));
  std::vector<double> left(64), right(64);
  double* channels[] = {left.data(), right.data()};
  plug->ProcessDoubleReplacing(channels, channels, 64);
  ASSERT_TRUE(eventually([&] { return status().first == "Plug-in is ready to go!"; })) << status().first;
  ASSERT_TRUE(idle());
  EXPECT_EQ(status(), Status("Plug-in is ready to go!", word));
  plug->showProgressText("Please wait...");
  plug->endProgressText("Please wait...");
  EXPECT_EQ(status(), Status("", word));
  IControl* detune = detuneKnob();
  detune->SetValueFromUserInput(plug->GetParam(kOscillator1Detune)->GetNormalized(90));
  ASSERT_TRUE(eventually([&] { return instrument.partBuffer(0)[kDetuneByte] == 90; }));
  EXPECT_NE(status().second, word);
  plug->showProgressText("Plug-in is ready to go!");
  EXPECT_EQ(status(), Status("", "Plug-in is ready to go!"));
}

// The instrument unplugged with the window open (its ports gone, the
// plug-in's out port open with nothing connected to it): an edit is said not
// to be sent, and its knob goes back to the value the instrument holds;
// plugged in again, the next edit reaches it, byte for byte.
TEST_F(MainRoadTest, AnEditWhileTheInstrumentIsUnpluggedIsSaidAndGoesBack) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  IControl* detune = detuneKnob();
  IParam* param = plug->GetParam(kOscillator1Detune);
  const double held = param->Value();

  peer->UnplugPorts();
  ASSERT_TRUE(peer->AwaitCycles(8));  // the plug-in's cycles have seen the connection go
  detune->SetValueFromUserInput(param->GetNormalized(73));
  EXPECT_EQ(status(), Status("Instrument not connected!", "Not sent"));
  EXPECT_EQ(param->Value(), held);
  EXPECT_DOUBLE_EQ(detune->GetValue(), param->GetNormalized());

  peer->PlugPorts();
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument again";
  ASSERT_TRUE(peer->AwaitCycles(8));  // the plug-in's cycles have seen the connection come
  const size_t before = peer->Events().size();
  detune->SetValueFromUserInput(param->GetNormalized(100));
  ASSERT_TRUE(eventually([&] { return instrument.partBuffer(0)[kDetuneByte] == 100; }));
  std::vector<SimBytes> arrived;
  const std::vector<PeerEvent> events = peer->Events();
  for (size_t i = before; i < events.size(); ++i) arrived.push_back(events[i].bytes);
  EXPECT_EQ(arrived, (std::vector<SimBytes>{{0xF0, 0x3E, 0x10, kDeviceId, 0x20, 0x00, 0x00, 0x03, 100, 0xF7}}));
}

// The JACK server restarts under its name with the window open: the status
// line says the out port went and that an edit made meanwhile was not sent;
// once the server is back the ports return by themselves, connect to the
// instrument again by name, the status line says so, and only the next edit
// reaches the instrument, byte for byte.
TEST_F(MainRoadTest, AServerRestartIsShownAndThePortsComeBackToTheInstrument) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  IControl* detune = detuneKnob();

  const size_t mark = JackClientEvents().size();
  onPeer.reset();
  link = nullptr;
  server.Stop(true);
  peer->Abandon();
  ASSERT_TRUE(eventually([&] { return status() == Status("MIDI Out port gone!", "Edits are not sent"); }))
      << status().first << " / " << status().second;
  detune->SetValueFromUserInput(plug->GetParam(kOscillator1Detune)->GetNormalized(73));
  EXPECT_EQ(status(), Status("MIDI Out port gone!", "Not sent"));

  server.probeBySocket = true;  // opens no client in the process
  ASSERT_TRUE(server.Start()) << server.Error();
  // The instrument's client, the process's other one, back first: the
  // plug-in opens only after it.
  peer = std::make_unique<JackPeer>();  // the instrument, back under its names
  ASSERT_TRUE(JackAwaitClientEvent("open Tarnivex Editor", mark, std::chrono::seconds(60)));
  onPeer = std::make_unique<InstrumentOnPeer>(instrument, *peer);
  link = &onPeer->link();
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument again";
  EXPECT_EQ(status(), Status("MIDI Out port back", ""));
  detune->SetValueFromUserInput(plug->GetParam(kOscillator1Detune)->GetNormalized(100));
  ASSERT_TRUE(eventually([&] { return instrument.partBuffer(0)[kDetuneByte] == 100; }));
  std::vector<SimBytes> arrived;
  for (const PeerEvent& event : peer->Events()) arrived.push_back(event.bytes);
  EXPECT_EQ(arrived, (std::vector<SimBytes>{{0xF0, 0x3E, 0x10, kDeviceId, 0x20, 0x00, 0x00, 0x03, 100, 0xF7}}));
}

// The server restarts while the device-ID search runs (the instrument kept
// silent): nothing is asked while the port is gone, and the search does not
// hold the host's notes meanwhile; once the ports are back the ID the
// instrument last answered on is asked first, and the host's notes reach it.
TEST_F(MainRoadTest, AServerRestartDuringTheDeviceSearchAsksTheKnownIdFirstOnceThePortIsBack) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  const auto block = [&] {
    std::vector<double> a(64), b(64);
    double* channels[] = {a.data(), b.data()};
    plug->ProcessDoubleReplacing(channels, channels, 64);
  };
  const auto globalRequest = [](const PeerEvent& e) { return e.bytes.size() == 6 && e.bytes[4] == 0x04; };
  const auto requests = [&] {
    std::vector<int> asked;
    for (const PeerEvent& e : peer->Events())
      if (globalRequest(e)) asked.push_back(e.bytes[3]);
    return asked;
  };
  instrument.setSilent(true);
  peer->Clear();
  plug->sendSysExInitialization();  // as a port chosen again does, with the connection kept
  plug->midiSendThread->flush();
  // The search has begun once ID 00 is asked.
  ASSERT_TRUE(eventually([&] { return requests().size() >= 2; }, 60000));
  ASSERT_EQ(requests(), (std::vector<int>{kDeviceId, 0x00}));

  onPeer.reset();
  link = nullptr;
  server.Stop(true);
  peer->Abandon();
  ASSERT_TRUE(eventually([&] { return plug->midiMessageManager->atRest(); }, 60000))
      << "the search ran on while its port was gone";
  server.probeBySocket = true;
  ASSERT_TRUE(server.Start()) << server.Error();
  peer = std::make_unique<JackPeer>();  // the instrument, back under its names and answering
  instrument.setSilent(false);
  onPeer = std::make_unique<InstrumentOnPeer>(instrument, *peer);
  link = &onPeer->link();
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument again";
  ASSERT_TRUE(eventually([&] {
    block();
    return !requests().empty();
  }, 60000)) << "no enquiry once the port was back";
  ASSERT_TRUE(idle());
  EXPECT_EQ(requests(), std::vector<int>{kDeviceId});
  const std::vector<unsigned char> note = {0x9F, 60, 100};  // channel 16: the global channel is not passed on
  ASSERT_TRUE(eventually([&] {
    HostEventList list({note});
    AEffect* effect = plug->GetAEffect();
    effect->dispatcher(effect, effProcessEvents, 0, 0, list.events(), 0.0f);
    block();
    const std::vector<PeerEvent> events = peer->Events();
    return std::any_of(events.begin(), events.end(), [&](const PeerEvent& e) { return e.bytes == note; });
  }, 10000)) << "the host's notes did not reach the instrument";
}

// No JACK server when the instance is made and its project restored (the
// ports the settings file names are gone): the project's send meets the out
// port gone. The server comes back and the ports connect to the instrument
// (a menu opened) while that send still waits in a pause; the close then
// sends nothing of the project: the instrument receives no dump at all.
TEST_F(MainRoadTest, AProjectRestoredWithNoServerIsNotSentAtTheCloseOnceTheServerIsBack) {
  const std::string toInstrument = peer->InPortName(), fromInstrument = peer->OutPortName();
  onPeer.reset();
  link = nullptr;
  server.Stop(true);
  peer->Abandon();
  std::ofstream(getSettingsPath(), std::ios::binary) << "yellow\nnormal\nyes\n" << toInstrument << "\n" << fromInstrument;
  ASSERT_NO_FATAL_FAILURE(makePlug());
  ASSERT_TRUE(plug->midiIOConfigured);
  ByteChunk project;
  plug->SerializeState(&project);
  // The send's first pause, after the global dump met the port gone, lasts
  // until the close.
  struct Held {
    std::mutex mutex;
    bool reached = false;
  };
  const auto held = std::make_shared<Held>();
  plug->midiMessageManager->virtualPause = [held, manager = plug->midiMessageManager.get()](int) {
    {
      std::lock_guard<std::mutex> lock(held->mutex);
      held->reached = true;
    }
    for (int i = 0; i < 60000 && !manager->isShuttingDown(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return false;
  };
  ASSERT_GE(plug->UnserializeState(&project, 0), 0);
  ASSERT_TRUE(eventually([&] {
    std::lock_guard<std::mutex> lock(held->mutex);
    return held->reached;
  }));

  server.probeBySocket = true;
  ASSERT_TRUE(server.Start()) << server.Error();
  peer = std::make_unique<JackPeer>();  // the instrument, under the names the settings file keeps
  onPeer = std::make_unique<InstrumentOnPeer>(instrument, *peer);
  link = &onPeer->link();
  // A client that found no server opens again for a menu (or a new
  // instance): the user opens the out menu, which lists the instrument.
  MenuShowing(*plug, false, toInstrument);
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument";

  window.reset();
  plug.reset();
  ASSERT_TRUE(peer->AwaitCycles(20));  // what the close would have handed on has arrived
  std::vector<SimBytes> dumps;
  for (const SimBytes& message : instrument.received())
    if (message.size() > 10) dumps.push_back(message);
  EXPECT_EQ(dumps, std::vector<SimBytes>{});
}
}  // namespace
