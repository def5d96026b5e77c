// A musician's first session, through the X11 view on a private Xvfb with
// the pointer and keys of XTest, the simulated instrument on a private JACK
// server and a fresh data folder: close the welcome box, choose the ports in
// the header's menus, click through the parts of a fresh instance, send the
// multi, lock a section and randomise the part, step its program, fill,
// pick, drag, step and rename library slots, step a multi, and pick another
// window size and colour scheme.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "DataFolder.h"
#include "IGraphics.h"
#include "ControlLayer.h"
#include "LibrarianViewControl.h"
#include "InstrumentOnPeer.h"
#include "LibrarianViewControl.h"
#include "JackTest.h"
#include "MIDIMessageManager.h"
#include "MidiSendThread.h"
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

// The instrument's init multi and init sound, as the instrument's
// documentation lists them ("cs" is the checksum).
constexpr const char* kInitMultiRows[] = {
    "F0 3E 10 03 11 20 00 64 00 00 00 00 37 00 00 00", "00 00 00 00 00 00 00 49 6E 69 74 20 4D 75 6C 74",
    "69 20 20 20 64 56 6E 00 00 02 64 40 40 00 03 40", "00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 01 03",
    "64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00", "00 00 00 00 02 04 64 40 40 00 03 40 00 00 00 00",
    "7F 00 7F 00 00 00 00 00 00 00 03 05 64 40 40 00", "03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00",
    "04 06 64 3F 40 00 03 40 00 00 00 00 7F 00 7F 00", "00 00 00 00 00 00 05 07 64 40 40 00 03 40 00 00",
    "00 00 7F 00 7F 00 00 00 00 00 00 00 06 08 64 40", "40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00",
    "00 00 07 09 64 40 40 00 03 40 00 00 00 00 7F 00", "7F 00 00 00 00 00 00 00 08 0A 64 40 40 00 03 40",
    "00 00 00 00 7F 00 7F 00 00 00 00 00 00 00 09 0B", "64 40 40 00 03 40 00 00 00 00 7F 00 7F 00 00 00",
    "00 00 00 00 0A 0C 64 40 40 00 03 40 00 00 00 00", "7F 00 7F 00 00 00 00 00 00 00 0B 0D 64 40 40 00",
    "03 40 00 00 00 00 7F 00 7F 00 00 00 00 00 00 00", "0C 0E 64 40 40 00 03 40 00 00 00 00 7F 00 7F 00",
    "00 00 00 00 00 00 0D 0F 64 40 40 00 03 40 00 00", "00 00 7F 00 7F 00 00 00 00 00 00 00 0E 10 64 40",
    "40 00 03 40 00 00 00 00 7F 00 7F 00 00 00 00 00", "00 00 0F 11 64 40 40 00 03 40 00 00 00 00 7F 00",
    "7F 00 00 00 00 00 00 00 F7",
};
constexpr const char* kInitSoundRows[] = {
    "F0 3E 10 03 10 30 00 01 40 40 40 42 60 00 00 01", "7F 01 40 01 00 00 00 00 40 40 3B 42 60 00 00 00",
    "7F 03 5C 01 00 00 00 00 40 40 40 42 60 00 00 00", "7F 05 40 00 00 00 00 00 00 02 54 00 01 00 00 00",
    "00 00 00 00 7F 00 00 00 00 00 00 00 40 40 00 00", "00 00 00 00 01 7F 40 00 00 40 40 40 40 40 40 40",
    "01 40 00 00 40 01 40 00 00 7F 40 00 00 40 40 40", "40 40 40 40 03 40 00 00 40 03 40 00 00 03 00 00",
    "6E 72 05 40 00 00 00 00 00 14 40 7F 00 7F 7F 7F", "7F 7F 7F 7F 7F 7F 7F 07 00 7F 7F 00 69 64 64 7F",
    "01 00 00 0F 40 7F 7F 00 32 00 00 00 00 00 40 00", "00 40 00 00 28 00 00 00 00 00 40 00 00 40 00 00",
    "1E 00 00 00 00 00 40 00 00 40 01 00 40 00 00 40", "00 7F 40 40 00 00 00 00 40 00 00 40 00 7F 40 40",
    "00 00 00 00 40 00 00 40 00 7F 40 40 00 00 00 00", "40 00 00 40 00 7F 40 40 00 00 00 01 00 00 00 40",
    "00 00 00 40 00 00 00 40 00 00 00 40 00 00 40 00", "00 40 00 00 40 00 00 40 00 00 40 00 00 40 00 00",
    "40 00 00 40 00 00 40 00 00 40 00 00 40 00 00 40", "00 00 40 00 00 40 00 00 40 00 00 40 40 00 00 00",
    "0F 09 0B 00 00 00 00 00 00 00 0F 00 00 37 04 04", "04 04 04 04 04 04 04 04 04 07 04 04 04 04 44 47",
    "44 47 44 47 44 47 44 47 44 47 44 47 44 47 44 00", "00 00 49 6E 69 74 20 50 61 74 63 68 20 20 20 64",
    "56 6E 49 6E 69 74 1E F7",
};

template <size_t N>
SimBytes bytesOf(const char* const (&rows)[N]) {
  SimBytes bytes;
  for (const char* row : rows)
    for (const char* p = row; *p;) {
      char* end = nullptr;
      bytes.push_back(static_cast<uint8_t>(std::strtoul(p, &end, 16)));
      p = end;
      while (*p == ' ') ++p;
    }
  return bytes;
}

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
  // Waits until the editor is idle again. A click hands its work to the
  // MIDI thread, which starts the request job only then: waiting for the
  // job alone could return before it began, and the next click would land
  // on the job's overlay, which takes no clicks.
  void settle() {
    for (int round = 0; round < 100; ++round) {
      ASSERT_TRUE(plug->midiSendThread->flush());
      for (int i = 0; i < 5000 && !plug->midiMessageManager->atRest(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      link->waitIdle(2000);
      idle();
      if (plug->midiSendThread->flush(0) && plug->midiMessageManager->atRest() &&
          (!plug->progressLayer || plug->progressLayer->IsHidden()))
        return;
    }
  }
  // The editor sits at the host window's origin.
  void moveTo(int x, int y) {
    int rx = 0, ry = 0, w = 0, h = 0;
    window->Geometry(window->GetWindow(), &rx, &ry, &w, &h);
    window->MoveTo(rx + x, ry + y);
    window->Sync();
    idle(2);
  }
  void clickAt(int x, int y, unsigned button = 1) {
    moveTo(x, y);
    window->Click(button);
    idle();
  }
  // The middle of a slot of the librarian's panes.
  static std::pair<int, int> middleOf(const SlotBox& box) { return {(box.L + box.R) / 2, (box.T + box.B) / 2}; }
  // The sound and multi dumps (command byte 0x10 or 0x11) that reached the
  // instrument since mark.
  std::vector<SimBytes> dumpsSince(size_t mark, uint8_t command) {
    const std::vector<SimBytes> all = instrument.received();
    std::vector<SimBytes> dumps;
    for (size_t i = mark; i < all.size(); ++i)
      if (all[i].size() > 60 && all[i][4] == command) dumps.push_back(all[i]);
    return dumps;
  }
  static std::string nameIn(const SimBytes& sound) { return std::string(sound.begin() + 370, sound.begin() + 386); }
  static std::string padded(std::string name) {
    name.resize(16, ' ');
    return name;
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
  // Opens the menu under the point, if it has entries, and dismisses it
  // with Escape.
  void dismissMenuAt(int x, int y) {
    std::thread keys([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      window->Tap(XK_Escape);
      window->Sync();
    });
    clickAt(x, y);
    keys.join();
    idle();
  }
  // Opens the menu under the point, then the submenu of entry group and its
  // entry, by the keyboard.
  void chooseFromSubmenu(int x, int y, int group, int entry) {
    std::thread keys([this, group, entry] {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      for (int i = 0; i <= group; ++i) window->Tap(XK_Down);
      window->Tap(XK_Right);
      for (int i = 0; i < entry; ++i) window->Tap(XK_Down);
      window->Tap(XK_Return);
      window->Sync();
    });
    clickAt(x, y);
    keys.join();
    idle();
  }
  // The program changes (Cn pp) that reached the instrument since mark.
  std::vector<SimBytes> programChangesSince(size_t mark) {
    const std::vector<SimBytes> all = instrument.received();
    std::vector<SimBytes> changes;
    for (size_t i = mark; i < all.size(); ++i)
      if (!all[i].empty() && (all[i][0] & 0xF0) == 0xC0) changes.push_back(all[i]);
    return changes;
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
  plug->waitForLibrary();
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

  // A fresh instance holds no sound of its own: every part clicked on two
  // sound pages, and an envelope mode turned on the instrument, send nothing
  // at all. The mode still shows its section of the page.
  size_t mark = instrument.received().size();
  for (int page : {2, 3}) {
    clickAt(854 + page * 104 + 52, 30);
    for (int p = 0; p < 16; ++p) clickAt(6 + 28, 68 + 36 * p + 18);
    EXPECT_EQ(value(kQuickTab), 15.0);
  }
  clickAt(6 + 28, 68 + 18);
  ASSERT_EQ(plug->currentPart, 0);
  peer->Send(instrument.turnSoundKnob(0, 128 + 68, 32 + 1));  // filter envelope: mode 1, triggered
  for (int wait = 0; wait < 500 && value(kFilterEnvMode) != 1.0; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
  settle();
  EXPECT_EQ(value(kFilterEnvMode), 1.0);
  EXPECT_EQ(value(kFilterEnvTrigger), 1.0);
  const auto& partOne = plug->namedLayer("filtersEnvelopes")->subLayers().at(0)->subLayers();
  for (const auto& band : partOne)
    if (band->GetID() == 10 || band->GetID() == 11) {
      EXPECT_EQ(band->IsHidden(), band->GetID() == 10);
    }
  EXPECT_EQ(instrument.received().size(), mark);
  // Back to the init sound's mode, as the multi sent next carries it.
  peer->Send(instrument.turnSoundKnob(0, 128 + 68, 0));
  for (int wait = 0; wait < 500 && value(kFilterEnvMode) != 0.0; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
  settle();
  ASSERT_EQ(value(kFilterEnvTrigger), 0.0);
  EXPECT_EQ(instrument.received().size(), mark);

  // SEND MULTI TO SYNTH before anything was fetched: the untouched editor
  // holds the instrument's init multi and init sound, so the instrument gets
  // a playable multi. The multi dump carries what the parameters can hold:
  // status On is 1 (the init multi's 3 is beyond the menu), the lowest
  // velocity 0 goes out as 1; the name is the one the header shows, and the
  // start-up leaves the filters unlinked (link byte 1).
  clickAt(854 + 52, 30);
  ASSERT_FALSE(plug->namedLayer("multiModeSettingsPage1")->IsHidden());
  clickAt(320 + 63, 640 + 9);
  SimBytes multi = bytesOf(kInitMultiRows);
  multi[3] = static_cast<uint8_t>(plug->deviceId);
  const std::string shownName = "Init Multi      ";
  std::copy(shownName.begin(), shownName.end(), multi.begin() + 23);
  for (int p = 0; p < 16; ++p) {
    multi[static_cast<size_t>(46 + 22 * p)] = 0x01;
    multi[static_cast<size_t>(51 + 22 * p)] = 0x01;
  }
  multi[385] = 0x77;  // the writer's template keeps these two reserved bytes
  multi[386] = 0x7F;
  int sum = 0;
  for (size_t i = 4; i <= 390; ++i) sum += multi[i];
  multi[391] = static_cast<uint8_t>(sum & 0x7F);
  const SimBytes sound = bytesOf(kInitSoundRows);
  // The parts go one after the other; the last one ends the send.
  for (int wait = 0; wait < 2000 && instrument.partBuffer(15)[370] != '-'; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  settle();
  const SimBytes sentMulti = instrument.multiBuffer();
  ASSERT_EQ(sentMulti.size(), multi.size());
  for (size_t i = 0; i < multi.size(); ++i) EXPECT_EQ(sentMulti[i], multi[i]) << "byte " << i;
  for (int p : {0, 15}) {
    SCOPED_TRACE(p);
    const SimBytes part = instrument.partBuffer(p);
    ASSERT_EQ(part.size(), sound.size());
    for (size_t i = 8; i <= 365; ++i) EXPECT_EQ(part[i], i == 125 ? 0x01 : sound[i]) << "byte " << i;
  }
  shot("2a-multi-sent");

  // After SEND MULTI (all parts) a part click sends that part alone: the
  // choice served that send only, and the multi stays.
  clickAt(854 + 2 * 104 + 52, 30);
  mark = instrument.received().size();
  clickAt(6 + 28, 68 + 36 + 18);
  settle();
  std::vector<SimBytes> sounds = dumpsSince(mark, 0x10);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(sounds[0][6], 1);
  EXPECT_TRUE(dumpsSince(mark, 0x11).empty());
  clickAt(6 + 28, 68 + 18);
  settle();

  // BANK and PROG under the header open the top bar's menus while the
  // instrument is stepped: bank B, then program 013 from its ten.
  clickAt(854 + 104 + 52, 30);
  plug->GetParam(kGlobalRxProgramChange)->Set(1);
  mark = instrument.received().size();
  chooseFromMenu(1142 + 19, 60 + 12, 1);
  settle();
  EXPECT_EQ(value(kMultiPartBank), 1.0);
  chooseFromSubmenu(1184 + 22, 60 + 12, 1, 2);
  settle();
  EXPECT_EQ(value(kMultiPartPatch), 12.0);
  EXPECT_EQ(programChangesSince(mark), (std::vector<SimBytes>{{0xC0, 0x00}, {0xC0, 12}}));
  // While the library is stepped they list its banks and slots.
  clickAt(370 + 8, 134 + 8);
  ASSERT_TRUE(plug->libraryControl);
  EXPECT_FALSE(plug->menuLayers[6]->IsHidden());   // PROGRAMNUMBERMENU
  EXPECT_FALSE(plug->menuLayers[10]->IsHidden());  // PROGBANKNAMEMENUPROGRAMS
  EXPECT_TRUE(plug->menuLayers[7]->IsHidden());
  // The library is empty yet: a pick that sends nothing moves nothing.
  chooseFromSubmenu(1184 + 22, 60 + 12, 0, 3);
  settle();
  EXPECT_EQ(plug->librarianView()->selectedUpper, 12);
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "The library holds no bank here");
  shot("2b-library-program-menu");
  clickAt(270 + 8, 134 + 8);
  ASSERT_FALSE(plug->libraryControl);
  EXPECT_FALSE(plug->menuLayers[6]->IsHidden());
  EXPECT_FALSE(plug->menuLayers[7]->IsHidden());  // BANKNUMBERMENUPROGRAMS

  // The oscillator page. A shape the instrument sends decides its sections
  // as the same pick on screen does, and nothing goes back: a wave shape
  // lights pulse width and sub oscillator, a saw greys both.
  clickAt(854 + 2 * 104 + 52, 30);
  mark = instrument.received().size();
  for (const auto& [shape, grey] : {std::pair{5, false}, std::pair{0, true}}) {
    SCOPED_TRACE(shape);
    peer->Send(instrument.turnSoundKnob(0, 15 - 7, shape));
    for (int wait = 0; wait < 500 && value(kOscillator1Shape) != shape; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    idle();
    EXPECT_EQ(value(kOscillator1Shape), shape);
    EXPECT_EQ(plug->firstControlOf(kOscillator1Pulsewidth)->IsGrayed(), grey);
    EXPECT_EQ(plug->firstControlOf(kOscillator1SubLevel)->IsGrayed(), grey);
    if (shape == 5) shot("3a-shape-from-instrument");
  }
  EXPECT_EQ(instrument.received().size(), mark);

  // Lock oscillator 1 and randomise the part.
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

  // The header's arrows step the part's program on the instrument, from
  // the program the part shows: part 1 from the library's pick, part 2 from
  // its own 002, onto the 003 that part 3 plays since the multi sent named
  // it: refused, and the conflict window's OK closes it.
  plug->GetParam(kGlobalRxProgramChange)->Set(1);
  const double program = value(kMultiPartPatch);
  mark = instrument.received().size();
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch), program + 1);
  clickAt(824 + 11, 30 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch), program);
  clickAt(6 + 28, 68 + 36 + 18);
  ASSERT_EQ(value(kQuickTab), 1.0);
  settle();  // the part's sound goes out under the progress overlay
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch + 1), 1.0);
  ControlLayer* conflict = plug->namedLayer("bankPatchConflictWindow");
  EXPECT_TRUE(conflict->IsVisible());
  clickAt(896 + 50, 438 + 14);
  EXPECT_TRUE(conflict->IsHidden());
  const auto shown = static_cast<uint8_t>(program);
  EXPECT_EQ(programChangesSince(mark), (std::vector<SimBytes>{{0xC0, static_cast<uint8_t>(shown + 1)}, {0xC0, shown}}));

  // STEP LIBRARY on the empty library: the arrow has no sound to step to.
  // Nothing goes out, the part keeps 002, and the status line says why.
  clickAt(854 + 104 + 52, 30);
  clickAt(370 + 8, 134 + 8);
  ASSERT_TRUE(plug->libraryControl);
  mark = instrument.received().size();
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch + 1), 1.0);
  EXPECT_EQ(instrument.received().size(), mark);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Nothing sent!");
  shot("3b-empty-library-step");
  clickAt(270 + 8, 134 + 8);
  ASSERT_FALSE(plug->libraryControl);

  // The LIBRARY page of an empty library: bank A of the instrument comes in
  // through EDIT > Request Patch Data > All Patches from Bank A and shows in
  // both panes; EDIT > Save writes it and leaves the unsaved state.
  clickAt(854 + 104 + 52, 30);
  LibrarianViewControl* view = plug->librarianView();
  ASSERT_NE(view, nullptr);
  std::thread request([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    for (KeySym key : {XK_Down, XK_Right, XK_Down, XK_Down, XK_Down}) window->Tap(key);
    window->Tap(XK_Return);
    window->Sync();
  });
  clickAt(839 + 38, 187 + 9);
  request.join();
  // A hundred dumps at the instrument's pace.
  for (int i = 0; i < 600 && !plug->midiMessageManager->atRest(); ++i) idle(10);
  settle();
  const std::string first = view->slotText(0, 0);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(view->slotText(1, 0), first);  // without Refresh Folders
  EXPECT_EQ(view->slotText(1, 99), view->slotText(0, 99));
  EXPECT_EQ(value(kBankEditUnsaved), 1.0);
  shot("4-library-received");
  chooseFromMenu(839 + 38, 187 + 9, 4);  // Save (Overwrite current bank)
  EXPECT_EQ(value(kBankEditUnsaved), 0.0);
  EXPECT_TRUE(plug->namedLayer("discardChangesLayerRight")->IsHidden());
  EXPECT_FALSE(plug->datatypeControl->IsGrayed());
  EXPECT_TRUE(std::filesystem::exists(getPatchesFolderStr() + "/Bank A.syx"));
  EXPECT_EQ(view->slotText(1, 0), first);
  // A click between the panes clears the selection.
  clickAt(600, 208 + 226 + 10);
  EXPECT_EQ(view->selectedUpper, -1);
  EXPECT_EQ(view->selectedLower, -1);
  EXPECT_EQ(view->cursor, -1);
  shot("5-library-saved");

  // A part click on the page leaves its own controls working: MEM turns
  // KEEP BANK off and on again.
  clickAt(6 + 28, 68 + 36 * 2 + 18);
  settle();  // the part's sound goes out under the progress overlay
  clickAt(6 + 28, 68 + 18);
  settle();
  ASSERT_TRUE(plug->keepSelectedBank);
  for (const bool keep : {false, true}) {
    const IRECT mem = *plug->firstControlOf(kKeepSelectedBank)->GetRECT();
    clickAt((mem.L + mem.R) / 2, (mem.T + mem.B) / 2);
    EXPECT_EQ(plug->keepSelectedBank, keep);
  }

  // STEP LIBRARY switched on while a lower slot is worked in: the arrow keys
  // go on from the part's program in the upper pane.
  const int part = plug->currentPart;
  {
    const auto [x, y] = middleOf(view->grid().box(1, 30));
    clickAt(x, y);
  }
  ASSERT_EQ(view->activePane, 1);
  clickAt(370 + 8, 134 + 8);
  ASSERT_TRUE(plug->libraryControl);
  const int partsProgram = static_cast<int>(value(kMultiPartPatch + part));
  {
    const auto [x, y] = middleOf(view->grid().box(0, 0));
    moveTo(x, y);
  }
  mark = instrument.received().size();
  window->Tap(XK_Down);
  idle();
  settle();
  EXPECT_EQ(view->activePane, 0);
  EXPECT_EQ(view->selectedUpper, partsProgram + 1);
  EXPECT_EQ(view->selectedLower, 30);
  sounds = dumpsSince(mark, 0x10);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(nameIn(sounds[0]), padded(view->slotText(0, partsProgram + 1)));
  idle(20);
  shot("5-step-library-down");

  // A lower slot worked in, then 005 picked from PROG: upper slot 5 goes to
  // the part and is the cursor, the highlight and the pane the keys work in.
  {
    const auto [x, y] = middleOf(view->grid().box(1, 30));
    clickAt(x, y);
  }
  ASSERT_EQ(view->activePane, 1);
  mark = instrument.received().size();
  chooseFromSubmenu(1184 + 22, 60 + 12, 0, 4);
  settle();
  EXPECT_EQ((std::vector<int>{view->activePane, view->cursor, view->selectedUpper}), (std::vector<int>{0, 4, 4}));
  sounds = dumpsSince(mark, 0x10);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(nameIn(sounds[0]), padded(view->slotText(0, 4)));

  // STEP LIBRARY: the part takes slot 15 from PROG, and a lower slot is
  // worked in. BANK's menu dismissed is no pick: it sends nothing and
  // changes nothing, however often.
  mark = instrument.received().size();
  chooseFromSubmenu(1184 + 22, 60 + 12, 1, 4);
  settle();
  ASSERT_EQ(value(kMultiPartPatch + part), 14.0);
  sounds = dumpsSince(mark, 0x10);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(sounds[0][6], part);
  EXPECT_EQ(nameIn(sounds[0]), padded(view->slotText(0, 14)));
  EXPECT_NE(view->slotText(0, 14), view->slotText(0, 0));
  {
    const auto [x, y] = middleOf(view->grid().box(1, 40));
    clickAt(x, y);
  }
  ASSERT_EQ(view->activePane, 1);
  settle();
  mark = instrument.received().size();
  for (int click = 0; click < 2; ++click) {
    dismissMenuAt(1142 + 19, 60 + 12);
    settle();
  }
  EXPECT_EQ(instrument.received().size(), mark);
  EXPECT_EQ(view->activePane, 1);
  EXPECT_EQ(view->cursor, 40);
  EXPECT_EQ(view->selectedLower, 40);
  EXPECT_EQ(value(kMultiPartPatch + part), 14.0);

  // A lower slot dragged onto upper slot 50: the upper pane is the one the
  // keys work in next, from the slot dropped on.
  {
    const auto [fromX, fromY] = middleOf(view->grid().box(1, 20));
    const auto [toX, toY] = middleOf(view->grid().box(0, 50));
    moveTo(fromX, fromY);
    window->Button(1, true);
    idle(2);
    for (int step = 1; step <= 8; ++step) moveTo(fromX + (toX - fromX) * step / 8, fromY + (toY - fromY) * step / 8);
    window->Button(1, false);
    idle();
  }
  EXPECT_EQ(view->activePane, 0);
  EXPECT_EQ(view->selectedUpper, 50);
  EXPECT_EQ(view->selectedLower, -1);
  EXPECT_EQ(view->slotText(0, 50), view->slotText(1, 20));
  mark = instrument.received().size();
  window->Tap(XK_Down);
  idle();
  settle();
  EXPECT_EQ(view->selectedUpper, 51);
  EXPECT_EQ(view->selectedLower, -1);
  sounds = dumpsSince(mark, 0x10);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(nameIn(sounds[0]), padded(view->slotText(0, 51)));
  shot("5a-dropped-and-stepped");

  // Rename: a key before the name field is clicked cancels the rename and
  // closes its box, and so does Escape in the field; a name typed and
  // confirmed lands in the slot and says so.
  ControlLayer* renameBox = plug->namedLayer("patchRename");
  const auto openRename = [&](int slot) {
    const auto [x, y] = middleOf(view->grid().box(0, slot));
    std::thread keys([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      for (int i = 0; i < 2; ++i) window->Tap(XK_Down);
      window->Tap(XK_Return);
      window->Sync();
    });
    clickAt(x, y, 3);
    keys.join();
    idle();
    ASSERT_FALSE(renameBox->IsHidden());
  };
  openRename(3);
  {
    const auto [x, y] = middleOf(view->grid().box(0, 0));
    moveTo(x, y);  // clear of the box
  }
  window->Tap(XK_q);
  idle();
  EXPECT_TRUE(renameBox->IsHidden());
  EXPECT_FALSE(view->renameActive());
  openRename(3);
  clickAt(600 + 100, 360 + 8);
  window->Tap(XK_Escape);
  idle();
  EXPECT_TRUE(renameBox->IsHidden());
  // A page switch closes the box too; back on the page no name is pending.
  openRename(3);
  clickAt(854 + 2 * 104 + 52, 30);
  EXPECT_TRUE(renameBox->IsHidden());
  EXPECT_FALSE(view->renameActive());
  clickAt(854 + 104 + 52, 30);
  EXPECT_TRUE(renameBox->IsHidden());
  openRename(3);
  clickAt(600 + 100, 360 + 8);
  for (KeySym key : {XK_r, XK_o, XK_a, XK_d}) window->Tap(key);
  window->Tap(XK_Return);
  idle();
  settle();
  EXPECT_TRUE(renameBox->IsHidden());
  EXPECT_EQ(view->slotText(0, 3).substr(0, 5), "road ");
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Data received to slot(s)");
  shot("5b-renamed");
  chooseFromMenu(839 + 38, 187 + 9, 4);  // Save
  EXPECT_EQ(value(kBankEditUnsaved), 0.0);

  // Multi mode, the instrument stepped: the header's arrow steps the
  // multi's program, with no text refusing it; the multi bank's select value
  // fits no data byte and stays home, the program change goes out.
  clickAt(270 + 8, 134 + 8);
  ASSERT_FALSE(plug->libraryControl);
  {
    const IRECT r = *plug->datatypeControl->GetRECT();
    clickAt((r.L + r.R) / 2, (r.T + r.B) / 2);
  }
  ASSERT_TRUE(plug->multiMode);
  plug->GetParam(kGlobalMidiChannel)->Set(1);  // the instrument's global channel 1
  instrument.setGlobalChannel(0);
  const int multiProgram = static_cast<int>(value(kMultiPatch));
  const auto channel = static_cast<uint8_t>(static_cast<int>(value(kGlobalMidiChannel)) - 1);
  mark = instrument.received().size();
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPatch), (multiProgram + 1) % 100);
  EXPECT_NE(plug->paramNameDisplay->GetText(), "Disable Multi Mode first");
  EXPECT_EQ(programChangesSince(mark),
            (std::vector<SimBytes>{{static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>((multiProgram + 1) % 100)}}));
  const std::vector<SimBytes> sent = instrument.received();
  for (size_t i = mark; i < sent.size(); ++i) {
    const SimBytes& m = sent[i];
    EXPECT_FALSE(m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 0x20) << "bank select LSB " << int(m[2]);
    for (size_t b = 1; b + 1 < m.size(); ++b) EXPECT_LT(m[b], 0x80) << "message " << i << " byte " << b;
  }
  // The multi's own selector shows now, arrows and all: a second step.
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPatch), (multiProgram + 2) % 100);
  shot("5c-multi-stepped");
  {
    const IRECT r = *plug->datatypeControl->GetRECT();
    clickAt((r.L + r.R) / 2, (r.T + r.B) / 2);
  }
  ASSERT_FALSE(plug->multiMode);

  // Size and scheme from the global settings page, kept for the next opening.
  clickAt(854 + 52, 30);
  clickAt(1336 + 70, 77 + 11);
  ASSERT_FALSE(plug->namedLayer("multiModeSettingsPage2")->IsHidden());
  shot("6-global-settings");
  chooseFromMenu(94 + 72, 640 + 6, 2);
  chooseFromMenu(254 + 72, 640 + 6, 2);
  EXPECT_EQ(readAll(getSettingsPath()).substr(0, 14), "phoenix\nlarge\n");
  EXPECT_EQ(plug->GetUIScale(), 1.15);
  shot("7-size-and-scheme");
}
}  // namespace
