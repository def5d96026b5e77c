// A musician's first session, through the X11 view on a private Xvfb with
// the pointer and keys of XTest, the simulated instrument on a private JACK
// server and a fresh data folder: close the welcome box, choose the ports in
// the header's menus, lock a section and randomise the part, step its
// program, and pick another window size and colour scheme.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "DataFolder.h"
#include "IGraphics.h"
#include "InstrumentOnPeer.h"
#include "JackTest.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "lice.h"
// Xlib's macros after the editor's names.
#include <X11/keysym.h>

#include "HostWindow.h"
#include "X11EditorView.h"
#include "XvfbServer.h"

#ifndef TARNIVEX_SCREENSHOT_DIR
#error "TARNIVEX_SCREENSHOT_DIR names the folder for screenshots"
#endif

namespace {
constexpr int kDeviceId = 0x10;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class FirstSessionTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    std::filesystem::remove_all(getDataFolder());
    std::filesystem::create_directories(getPatchesFolderStr());
    std::ofstream(getSettingsPath(), std::ios::binary) << "yellow\nnormal\nno\n\n";  // as the install leaves it
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    onPeer = std::make_unique<InstrumentOnPeer>(instrument, *peer);
    link = &onPeer->link();
    ASSERT_TRUE(xserver.Start(1600, 900)) << xserver.Error();
    window = std::make_unique<HostWindow>(0, 0, 1560, 800, 0xD6D3CC);
    ASSERT_TRUE(window->Ok());
    UseX11EditorViews();
  }
  void TearDown() override {
    if (plug) editor(effEditClose, 0, 0, nullptr);
    plug.reset();
    window.reset();
    SetEditorViewFactory(nullptr);
    xserver.Stop();
    onPeer.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }

  void idle(int times = 5) {
    for (int i = 0; i < times; ++i) {
      window->Sync();
      editor(effEditIdle, 0, 0, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void settle() {
    for (int i = 0; i < 5000 && plug->midiMessageManager->isThreadRunning(JobThread::kRequest); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    link->waitIdle(2000);
    idle();
  }
  // The editor sits at the host window's origin.
  void clickAt(int x, int y) {
    int rx = 0, ry = 0, w = 0, h = 0;
    window->Geometry(window->GetWindow(), &rx, &ry, &w, &h);
    window->MoveTo(rx + x, ry + y);
    window->Sync();
    idle(2);
    window->Click();
    idle();
  }
  // Opens the menu under the point and picks its entry by the keyboard, as
  // the menu grabs the pointer and keys until it is answered.
  void chooseFromMenu(int x, int y, int entry) {
    std::thread keys([this, entry] {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      for (int i = 0; i <= entry; ++i) window->Tap(XK_Down);
      window->Tap(XK_Return);
      window->Sync();
    });
    clickAt(x, y);
    keys.join();
    idle();
  }
  void shot(const std::string& name) {
    int w = 0, h = 0;
    const std::vector<unsigned> pixels = window->Pixels(window->GetWindow(), &w, &h);
    std::filesystem::create_directories(TARNIVEX_SCREENSHOT_DIR);
    EXPECT_TRUE(WritePng(std::string(TARNIVEX_SCREENSHOT_DIR) + "/first-session-" + name + ".png", pixels, w, h));
  }
  static int indexOf(const std::vector<std::string>& list, const std::string& name) {
    return static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
  }
  double value(int idx) { return plug->GetParam(idx)->Value(); }
  VstIntPtr editor(VstInt32 opcode, VstInt32 index, VstIntPtr v, void* ptr) {
    AEffect* effect = plug->GetAEffect();
    return effect->dispatcher(effect, opcode, index, v, ptr, 0.0f);
  }

  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentOnPeer> onPeer;
  InstrumentLink* link = nullptr;
  XvfbServer xserver;
  std::unique_ptr<HostWindow> window;
  std::unique_ptr<Tarnivex> plug;
};

TEST_F(FirstSessionTest, WelcomePortsLockRandomiseProgramSizeAndScheme) {
  plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
  ASSERT_EQ(editor(effEditOpen, 0, 0, window->Handle()), 1);
  idle(20);
  shot("1-welcome");

  // The welcome box's OK writes the answer and the box stays closed.
  clickAt(936 + 50, 518 + 14);
  EXPECT_EQ(readAll(getSettingsPath()), "yellow\nnormal\nyes\n\n");
  EXPECT_TRUE(plug->namedLayer("firstRunNotification")->IsHidden());

  // The two port menus of the header: MIDI in above, MIDI out below.
  // Each menu reads the ports as it opens (the lists of the process's client).
  const int in = indexOf(MenuShowing(*plug, true, peer->OutPortName()), peer->OutPortName());
  const int out = indexOf(MenuShowing(*plug, false, peer->InPortName()), peer->InPortName());
  ASSERT_LT(in, static_cast<int>(plug->getExternalMIDIInNames().size()));
  ASSERT_LT(out, static_cast<int>(plug->getExternalMIDIOutNames().size()));
  chooseFromMenu(740, 24, in);
  peer->AwaitListener();
  chooseFromMenu(740, 40, out);
  EXPECT_EQ(static_cast<int>(value(kDeviceInSelection)), in);
  EXPECT_EQ(static_cast<int>(value(kDeviceOutSelection)), out);
  EXPECT_TRUE(plug->midiIOConfigured);
  EXPECT_NE(readAll(getSettingsPath()).find(peer->InPortName()), std::string::npos);
  settle();
  shot("2-ports");

  // The oscillator page: lock oscillator 1 and randomise the part.
  clickAt(854 + 2 * 104 + 52, 30);
  clickAt(512 + 11, 76 + 11);
  EXPECT_EQ(value(kSectionLockOsc1), 1.0);
  std::vector<double> osc1, rest;
  for (int base : {kOscillator1Octave, kOscillator1Semitone, kOscillator1Detune, kOscillator1Shape})
    osc1.push_back(value(base));
  for (int base : {kFilter1Cutoff, kFilter1Resonance, kAmpLevel, kFilter2Cutoff, kLFO1Speed, kEnv3Attack})
    rest.push_back(value(base));
  const SimBytes before = instrument.partBuffer(0);
  clickAt(6 + 28, 670 + 18);
  settle();
  std::vector<double> osc1After, restAfter;
  for (int base : {kOscillator1Octave, kOscillator1Semitone, kOscillator1Detune, kOscillator1Shape})
    osc1After.push_back(value(base));
  for (int base : {kFilter1Cutoff, kFilter1Resonance, kAmpLevel, kFilter2Cutoff, kLFO1Speed, kEnv3Attack})
    restAfter.push_back(value(base));
  EXPECT_EQ(osc1After, osc1);
  EXPECT_NE(restAfter, rest);
  EXPECT_TRUE(link->waitIdle(5000));
  EXPECT_NE(instrument.partBuffer(0), before);  // the randomised sound reached the instrument
  shot("3-randomised");

  // The header's arrows step the part's program on the instrument.
  plug->GetParam(kGlobalRxProgramChange)->Set(1);
  const double program = value(kMultiPartPatch);
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch), program + 1);
  clickAt(824 + 11, 30 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch), program);

  // Size and scheme from the global settings page, kept for the next opening.
  clickAt(854 + 52, 30);
  clickAt(1336 + 70, 77 + 11);
  ASSERT_FALSE(plug->namedLayer("multiModeSettingsPage2")->IsHidden());
  shot("4-global-settings");
  chooseFromMenu(94 + 72, 640 + 6, 2);
  chooseFromMenu(254 + 72, 640 + 6, 2);
  EXPECT_EQ(readAll(getSettingsPath()).substr(0, 14), "phoenix\nlarge\n");
  EXPECT_EQ(plug->GetUIScale(), 1.15);
  shot("5-size-and-scheme");
}
}  // namespace
