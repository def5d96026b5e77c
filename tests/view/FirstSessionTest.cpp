// A musician's first session, through the X11 view on a private Xvfb with
// the pointer and keys of XTest, the simulated instrument on a private JACK
// server and a fresh data folder: close the welcome box, choose the ports in
// the header's menus, lock a section and randomise the part, step its
// program, and pick another window size and colour scheme.
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
      for (int i = 0; i < 5000 && plug->midiMessageManager->isThreadRunning(JobThread::kRequest); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      link->waitIdle(2000);
      idle();
      if (plug->midiSendThread->flush(0) && !plug->midiMessageManager->isThreadRunning(JobThread::kRequest) &&
          (!plug->progressLayer || plug->progressLayer->IsHidden()))
        return;
    }
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

  // BANK and PROG under the header open the top bar's menus while the
  // instrument is stepped: bank B, then program 013 from its ten.
  clickAt(854 + 104 + 52, 30);
  plug->GetParam(kGlobalRxProgramChange)->Set(1);
  size_t mark = instrument.received().size();
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
  chooseFromSubmenu(1184 + 22, 60 + 12, 0, 3);
  settle();
  EXPECT_EQ(plug->librarianView()->selectedUpper, 3);
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
  // its own 002.
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
  clickAt(824 + 11, 12 + 8);
  settle();
  EXPECT_EQ(value(kMultiPartPatch + 1), 2.0);
  const auto shown = static_cast<uint8_t>(program);
  EXPECT_EQ(programChangesSince(mark),
            (std::vector<SimBytes>{{0xC0, static_cast<uint8_t>(shown + 1)}, {0xC0, shown}, {0xC1, 2}}));

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
  for (int i = 0; i < 600 && plug->midiMessageManager->isThreadRunning(JobThread::kRequest); ++i) idle(10);
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
