// The plug-in with its window open on a private JACK server, the simulated
// instrument at the far end of the ports the plug-in opens itself.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../library/LibraryTestSupport.h"
#include "EditorWindowDriver.h"
#include "InstrumentOnPeer.h"
#include "JackTest.h"
#include "MIDIMessageManager.h"
#include "MidiSendThread.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

// Milliseconds since start: how long a host's call took.
inline long msSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

class JackEditorTest : public JackTest {
 protected:
  static constexpr int kDeviceId = 0x10;

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    data.emplace();
    onPeer = std::make_unique<InstrumentOnPeer>(instrument, *peer);
    link = &onPeer->link();
  }
  void TearDown() override {
    window.reset();
    plug.reset();
    link = nullptr;
    onPeer.reset();
    data.reset();
  }

  // The plug-in with its window open.
  void makePlug() {
    window.reset();
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->waitForLibrary();
    window = std::make_unique<EditorWindowDriver>(*plug);
  }
  // The same, with its ports on the instrument, which the device-ID enquiry
  // has found.
  void makeConnectedPlug() {
    makePlug();
    connectPorts();
  }
  // The ports on the instrument, chosen in the header's menus.
  void connectPorts() {
    choosePort(kDeviceInSelection, MenuShowing(*plug, true, peer->OutPortName()), peer->OutPortName());
    peer->AwaitListener();
    choosePort(kDeviceOutSelection, MenuShowing(*plug, false, peer->InPortName()), peer->InPortName());
    ASSERT_TRUE(plug->midiIOConfigured);
    ASSERT_TRUE(idle());
    ASSERT_EQ(plug->GetParam(kGlobalSysExID)->Int(), kDeviceId);
  }
  void choosePort(int param, const std::vector<std::string>& list, const std::string& name) {
    const int index = static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
    ASSERT_LT(index, static_cast<int>(list.size())) << name;
    plug->GetParam(param)->Set(index);
    plug->OnParamChange(param);
  }
  // True once the worker has nothing left to do and the instrument has
  // answered everything.
  bool idle(int boundMs = 60000) {
    plug->midiSendThread->flush();  // the enquiry starts there
    for (int i = 0; i < boundMs; ++i) {
      if (plug->midiMessageManager->atRest() && link->waitIdle(0)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Idle, and nothing more reaches the instrument for ten JACK periods or so.
  void allArrived() {
    ASSERT_TRUE(idle());
    size_t count = instrument.received().size();
    for (int quiet = 0, round = 0; quiet < 10 && round < 500; ++round) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const size_t now = instrument.received().size();
      quiet = now == count ? quiet + 1 : 0;
      count = now;
    }
  }
  // The control bound to the parameter on the named layer.
  IControl* controlOn(const char* layerName, int param) {
    ControlLayer* layer = plug->namedLayer(layerName);
    if (!layer) return nullptr;
    for (const auto& control : layer->controls())
      if (control->ParamIdx() == param) return control.get();
    return nullptr;
  }
  template <class F>
  bool eventually(F done, int boundMs = 10000) {
    for (int i = 0; i < boundMs / 2 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
  }

  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentOnPeer> onPeer;
  InstrumentLink* link = nullptr;
  std::optional<OwnDataFolder> data;
  std::unique_ptr<Tarnivex> plug;
  std::unique_ptr<EditorWindowDriver> window;
};
