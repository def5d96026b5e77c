// A part's flows as a musician meets them, through the window, to the
// simulated instrument on a private JACK server, with real pauses: part
// switches and which sounds they send, a bank and a program picked from the
// header menus, and a linked filter turned on the instrument.
#include <algorithm>
#include <atomic>
#include <functional>

#include "ByteChunk.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "JackEditorTest.h"
#include "LibrarianBrowser.h"
#include "TopBarMenus.h"
#include "SoundDumpLayout.h"
#include "UIConfigManager.h"

namespace {
constexpr size_t kDetuneByte = 10;  // oscillator 1 detune in the sound dump

class PartFlowTest : public JackEditorTest {
 protected:
  static std::string text(const SimBytes& dump, size_t at, size_t length = 16) {
    return std::string(dump.begin() + static_cast<long>(at), dump.begin() + static_cast<long>(at + length));
  }
  // Where a sound parameter block sits in the dump.
  static int dumpByteOf(int block) {
    for (const SoundDumpField& field : soundDumpFields())
      if (field.a == block && field.b < 0) return field.byte;
    return -1;
  }
  // The short messages the instrument received since the mark.
  std::vector<SimBytes> shortMessagesSince(size_t mark) {
    const std::vector<SimBytes> all = instrument.received();
    std::vector<SimBytes> shorts;
    for (size_t i = mark; i < all.size(); ++i)
      if (all[i].size() <= 3) shorts.push_back(all[i]);
    return shorts;
  }
  // The part's sound fetched from the instrument (so both hold it), then
  // edited: its name in the editor and one knob, turned by the user.
  void fetchAndEditPart(int part, const std::string& name, int detune) {
    fetchPart(part);
    plug->setParamDisplayText(kPatchName + part, 0, name);
    plug->setThroughUserPath(kOscillator1Detune + part, detune);
  }
  // The instrument's sound of the part into the editor, as the bank-edit
  // menu's "from Active Slot to Plug-in GUI" asks for it.
  void fetchPart(int part) {
    SenderJob job;
    job.jobCode = 6;
    job.partArgument = part;
    job.requestFlag = true;
    ASSERT_TRUE(plug->startRequestJob(job));
    ASSERT_TRUE(idle());
  }
  // What reached the instrument since the mark.
  std::vector<SimBytes> receivedSince(size_t mark) {
    const std::vector<SimBytes> all = instrument.received();
    return std::vector<SimBytes>(all.begin() + static_cast<long>(std::min(mark, all.size())), all.end());
  }
  // The part tab's button of the part, as a click picks it.
  void clickPart(int part) {
    window->clickTab(kQuickTab, part);
    ASSERT_EQ(plug->currentPart, part);
    ASSERT_NO_FATAL_FAILURE(allArrived());
  }
  // The part each sound dump is addressed to (its edit buffer); -1 for any
  // other message.
  static std::vector<int> soundDumpParts(const std::vector<SimBytes>& messages) {
    std::vector<int> parts;
    for (const SimBytes& m : messages) {
      const bool dump = m.size() == 392 && m[0] == 0xF0 && m[1] == 0x3E && m[2] == 0x10 && m[3] == kDeviceId &&
                        m[4] == 0x10 && m[5] == 0x30 && m.back() == 0xF7;
      parts.push_back(dump ? m[6] : -1);
    }
    return parts;
  }
};

// Sounds read back from the instrument (then a knob of each turned) are
// shown, never sent back: quick part switches send none of them, nor the
// multi, and leave an untouched part alone.
TEST_F(PartFlowTest, QuickPartSwitchesSendNoSoundReadBackAndLeaveAnUntouchedOneAlone) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  ASSERT_NO_FATAL_FAILURE(fetchAndEditPart(1, "Second Part     ", 40));
  ASSERT_NO_FATAL_FAILURE(fetchAndEditPart(2, "Third Part      ", 90));
  plug->setParamDisplayText(kMultiName, 0, "Evening Set     ");
  window->clickTab(kMainTab, 2);  // a part's page: a part switch sends the part
  ASSERT_TRUE(idle());

  // Part 2, the untouched part 4 and part 3 at once after it, while the
  // first send still runs.
  const SimBytes untouched = instrument.partBuffer(3);
  const SimBytes multi = instrument.multiBuffer();
  auto* tabs = plug->firstControlOf(kQuickTab);
  ASSERT_NE(tabs, nullptr);
  tabs->SetValueFromUserInput(plug->GetParam(kQuickTab)->GetNormalized(1));
  tabs->SetValueFromUserInput(plug->GetParam(kQuickTab)->GetNormalized(3));
  tabs->SetValueFromUserInput(plug->GetParam(kQuickTab)->GetNormalized(2));
  EXPECT_EQ(plug->currentPart, 2);
  ASSERT_TRUE(idle());

  // The knobs reached the instrument as they turned; the names typed in the
  // editor went nowhere.
  EXPECT_EQ(text(instrument.partBuffer(1), kSoundNameByte), "PART A02        ");
  EXPECT_EQ(instrument.partBuffer(1)[kDetuneByte], 40);
  EXPECT_EQ(text(instrument.partBuffer(2), kSoundNameByte), "PART A03        ");
  EXPECT_EQ(instrument.partBuffer(3), untouched);
  EXPECT_EQ(instrument.multiBuffer(), multi);  // a part switch never sends the multi
  EXPECT_TRUE(instrument.checksumErrors().empty());
}

// A part click sends the part's sound only when the editor and the
// instrument share it whole: received from the instrument, or sent whole and
// gone out. Each row works on a part of its own, then clicks it, part 1 and
// it again; part 1 shares nothing until the restore. The rows run in order
// on one instance, the first before the ports are chosen.
TEST_F(PartFlowTest, APartClickSendsOnlyASoundTheEditorAndTheInstrumentShare) {
  ASSERT_NO_FATAL_FAILURE(makePlug());
  window->clickTab(kMainTab, 2);  // a part's page: a part click may send
  // A controller from the instrument moves part 4's cutoff.
  plug->setThroughUserPath(kMIDIFilterHWCCPassThrough, 1);
  IControl* cutoff = plug->firstControlOf(kFilter1Cutoff + 3);
  ASSERT_NE(cutoff, nullptr);
  plug->uiConfigManager->ccControls[4][74][0] = cutoff;
  // Nine parts off: the sends of every part take less time.
  for (int p = 7; p < 16; ++p) plug->setThroughUserPath(kMultiPartStatus + p, 0);

  const auto nothing = [](const std::vector<SimBytes>& sent) { EXPECT_TRUE(sent.empty()); };
  struct Row {
    const char* what;
    int part;
    std::function<void()> act;
    std::function<void(const std::vector<SimBytes>&)> reached;  // what the act sent
    std::vector<int> clicksSend;  // the parts whose sounds the three clicks send
  };
  const Row rows[] = {
      {"SEND MULTI with no port set, then the ports", 1,
       [&] {
         plug->paramNameDisplay->SetTextFromPlug("");
         plug->setThroughUserPath(kPushArrangement, 1);
         ASSERT_TRUE(idle());
         EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), "Set MIDI I/O First!");
         connectPorts();
       },
       [](const std::vector<SimBytes>& sent) {
         for (const SimBytes& m : sent) EXPECT_LT(m.size(), 20u);  // the device-ID search, no dump
       },
       {}},
      {"a knob turned in the editor", 1, [&] { plug->setThroughUserPath(kOscillator1Detune + 1, 40); },
       [](const std::vector<SimBytes>& sent) {
         EXPECT_EQ(sent, (std::vector<SimBytes>{{0xF0, 0x3E, 0x10, kDeviceId, 0x20, 0x01, 0x00, 0x03, 40, 0xF7}}));
       },
       {}},
      {"a value from the instrument on the SysEx road", 2,
       [&] {
         peer->Send(instrument.turnSoundKnob(2, kDetuneByte - 7, 55));
         ASSERT_TRUE(eventually([&] { return plug->GetParam(kOscillator1Detune + 2)->Int() == 55; }));
       },
       nothing, {}},
      {"a value from the instrument on the controller road", 3,
       [&] {
         peer->Send({0xB3, 74, 100});
         ASSERT_TRUE(eventually([&] { return plug->GetParam(kFilter1Cutoff + 3)->Int() == 100; }));
       },
       [](const std::vector<SimBytes>& sent) {
         // At most the controller itself, passed on while local control is off.
         for (const SimBytes& m : sent) EXPECT_EQ(m, (SimBytes{0xB3, 74, 100}));
       },
       {}},
      {"a sound dump from the instrument", 4,
       [&] {
         fetchPart(4);
         EXPECT_EQ(plug->paramDisplayText(kPatchName + 4, 0).substr(0, 8), "PART A05");
       },
       [](const std::vector<SimBytes>& sent) {
         EXPECT_EQ(sent, (std::vector<SimBytes>{{0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x04, 0xF7}}));
       },
       {}},  // read back: shown, never sent back
      {"a category typed for a part while another is shown", 5,
       [&] {
         plug->setParamDisplayText(kCategoryName + 5, 0, "Bass");
         plug->OnParamChange(kCategoryName + 5);
       },
       [](const std::vector<SimBytes>& sent) {
         ASSERT_EQ(sent.size(), 2u);
         EXPECT_EQ(sent[0], (SimBytes{0xB5, 0x7B, 0x00}));
         EXPECT_EQ(soundDumpParts({sent[1]}), std::vector<int>{5});
         EXPECT_EQ(text(sent[1], kSoundCategoryByte, 4), "Bass");
       },
       {5, 5}},
      {"a restored project, in which part 6 is off", 6,
       [&] {
         plug->setThroughUserPath(kMultiPartStatus + 5, 0);
         ByteChunk project;
         ASSERT_TRUE(plug->SerializeState(&project));
         ASSERT_GT(plug->UnserializeState(&project, 0), 0);
       },
       [](const std::vector<SimBytes>& sent) {
         const std::vector<int> parts = soundDumpParts(sent);
         EXPECT_EQ(std::count(parts.begin(), parts.end(), 6), 1);
         EXPECT_EQ(std::count(parts.begin(), parts.end(), 0), 1);
         EXPECT_EQ(std::count(parts.begin(), parts.end(), 5), 0);
       },
       {6, 0, 6}},
      {"a part shared before the restore that the restore did not send", 5, [] {}, nothing, {0}},
      // A bank or program change to or from a part ends its shared sound:
      // the part now plays the instrument's stored sound.
      {"a program picked on the multi page after SEND MULTI", 6,
       [&] {
         plug->setThroughUserPath(kGlobalRxProgramChange, 1);
         plug->setThroughUserPath(kControlProgBank, 0);  // STEP SYNTH off: the sound is not asked for
         plug->setThroughUserPath(kPushArrangement, 0);  // the button is let go
         plug->setThroughUserPath(kPushArrangement, 1);
         ASSERT_NO_FATAL_FAILURE(allArrived());
         plug->setThroughUserPath(kMultiPartPatch + 6, 17);
       },
       [&](const std::vector<SimBytes>& sent) {
         ASSERT_GE(sent.size(), 3u);
         EXPECT_EQ(std::vector<SimBytes>(sent.end() - 3, sent.end()),
                   (std::vector<SimBytes>{{0xB6, 0x00, 0x00}, {0xB6, 0x20, 0x40}, {0xC6, 0x11}}));
       },
       {0}},
      {"a program change from the instrument", 1,
       [&] {
         plug->setThroughUserPath(kMIDIFilterHWPCPassThrough, 1);
         peer->Send({0xC1, 20});
         ASSERT_TRUE(eventually([&] { return plug->GetParam(kMultiPartPatch + 1)->Int() == 20; }));
       },
       [](const std::vector<SimBytes>& sent) { EXPECT_EQ(soundDumpParts(sent), std::vector<int>(sent.size(), -1)); },
       {0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (plug->midiIOConfigured) {
      ASSERT_NO_FATAL_FAILURE(clickPart(0));
    }
    size_t mark = instrument.received().size();
    ASSERT_NO_FATAL_FAILURE(row.act());
    ASSERT_NO_FATAL_FAILURE(allArrived());
    row.reached(receivedSince(mark));
    mark = instrument.received().size();
    for (int part : {row.part, 0, row.part}) ASSERT_NO_FATAL_FAILURE(clickPart(part));
    const std::vector<SimBytes> sent = receivedSince(mark);
    EXPECT_EQ(soundDumpParts(sent), row.clicksSend);
    // The sound the instrument sent goes back under its name.
    if (row.part == 4) {
      for (const SimBytes& dump : sent) EXPECT_EQ(text(dump, kSoundNameByte, 8), "PART A05");
    }
  }
  EXPECT_TRUE(instrument.checksumErrors().empty());
}

// Part 1 plays A 034; part 4 holds the user's edit. A library sound picked
// for part 4 in slot 34 (program 034 of its bank A) is refused on each road:
// nothing reaches the instrument, part 4 keeps its program, its sound and
// its name, and a later switch to part 5 and back sends no sound (part 4's
// own was read back: never sent back).
TEST_F(PartFlowTest, ALibrarySoundRefusedForAConflictChangesNothingAndNeverGoesOutLater) {
  writeFile(getPatchesFolderStr() + "/Imports.syx", soundFile("Imp", 100, "Lead"));
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  plug->setThroughUserPath(kGlobalRxProgramChange, 1.0);
  plug->setThroughUserPath(kMultiPartPatch + 0, 33);
  // Part 4 plays 32: STEP LIBRARY's ▲ steps it to 33, wherever the highlight is.
  plug->setThroughUserPath(kMultiPartPatch + 3, 32);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  ASSERT_NO_FATAL_FAILURE(fetchAndEditPart(3, "Edited Part     ", 77));
  window->clickTab(kMainTab, 1);
  ASSERT_NO_FATAL_FAILURE(clickPart(3));
  ControlLayer* conflict = plug->namedLayer("bankPatchConflictWindow");
  const int program = plug->GetParam(kMultiPartPatch + 3)->Int();
  ASSERT_TRUE(conflict && program == 32);
  const auto doubleClick = [&](int pane, int slot) {
    const IRECT r = window->slot(pane, slot);
    IMouseMod left(true, false);
    window->gui()->OnMouseDblClick((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
  };
  const struct {
    const char* what;
    std::function<void()> pick;
  } roads[] = {
      {"a category result",
       [&] {
         plug->setThroughUserPath(kCategorySelection, 1.0);
         ASSERT_EQ(window->slots().slotText(1, 33), "Imp33           ");
         doubleClick(1, 33);
       }},
      {"an upper slot", [&] { doubleClick(0, 33); }},
      {"the STEP LIBRARY arrows",
       [&] {
         plug->setThroughUserPath(kControlLibrary, 1.0);
         window->click(window->slot(0, 10));
         plug->setThroughUserPath(kPatchUp + 3, 1.0);
       }},
      {"the STEP LIBRARY arrows, the pair taken on the way",
       [&] {
         const int bank = plug->GetParam(kMultiPartBank + 0)->Int();
         plug->notePartPlays(0, bank, 50);
         window->click(window->slot(0, 10));
         plug->midiMessageManager->jobObserver = [&, bank](JobThread, const SenderJob& job) {
           if (job.jobCode == 3) plug->notePartPlays(0, bank, 33);
         };
         plug->setThroughUserPath(kPatchUp + 3, 0.0);  // the arrow let go after the step before
         plug->setThroughUserPath(kPatchUp + 3, 1.0);
       }},
      {"the PROG menu in STEP LIBRARY",
       [&] { window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {3, 3}); }},
  };
  for (const auto& road : roads) {
    SCOPED_TRACE(road.what);
    conflict->Hide(true);
    size_t mark = instrument.received().size();
    ASSERT_NO_FATAL_FAILURE(road.pick());
    ASSERT_NO_FATAL_FAILURE(allArrived());
    plug->midiMessageManager->jobObserver = nullptr;
    EXPECT_TRUE(receivedSince(mark).empty());
    EXPECT_TRUE(conflict->IsVisible());
    EXPECT_EQ(plug->GetParam(kMultiPartPatch + 3)->Int(), program);
    window->pickFromMenu(*plug->librarianBrowser->programNumberMenu->GetRECT(), {-1});  // opened, dismissed
    EXPECT_TRUE(plug->librarianBrowser->programNumberMenu->submenu(program / 10).IsItemChecked(program % 10));
    EXPECT_EQ(plug->GetParam(kOscillator1Detune + 3)->Int(), 77);
    EXPECT_EQ(plug->paramDisplayText(kPatchName + 3, 0), "Edited Part     ");

    mark = instrument.received().size();
    for (int part : {4, 3}) ASSERT_NO_FATAL_FAILURE(clickPart(part));
    // Nothing of the refused sound goes, nor part 4's own, read back.
    for (int part : soundDumpParts(receivedSince(mark))) EXPECT_EQ(part, -1);
  }
}

// Part 4 holds the user's edit. A library sound picked for it goes whole
// even when another thread's send starts (the editor busy) just as the
// library's entry is handed into the editor: the instrument gets the
// library's sound, never the edit the part held before.
TEST_F(PartFlowTest, ALibrarySoundHandedOverWhileASendStartsIsTheOneThatGoesOut) {
  writeFile(getPatchesFolderStr() + "/Imports.syx", soundFile("Imp", 100, "Lead"));
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  plug->setThroughUserPath(kGlobalRxProgramChange, 1.0);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  ASSERT_NO_FATAL_FAILURE(fetchAndEditPart(3, "Edited Part     ", 77));
  window->clickTab(kMainTab, 1);
  ASSERT_NO_FATAL_FAILURE(clickPart(3));
  constexpr int kSlot = 12;
  const std::string entry = window->slots().slotText(0, kSlot);
  ASSERT_EQ(entry, "Imp12           ");
  // The pause after the program change: a send starts on another thread.
  std::atomic<bool> busied{false};
  plug->sleepFor = [&](int ms) {
    if (ms == 50 && PartPicks::currentLane() == 3 && !busied.exchange(true)) plug->editorBusy = true;
  };
  plug->midiMessageManager->pickPauseObserver = [&](const PickTicket&, bool) {
    if (busied) plug->editorBusy = false;
  };
  const size_t mark = instrument.received().size();
  const IRECT r = window->slot(0, kSlot);
  IMouseMod left(true, false);
  window->gui()->OnMouseDblClick((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  plug->sleepFor = nullptr;
  plug->midiMessageManager->pickPauseObserver = nullptr;
  plug->editorBusy = false;
  const std::vector<SimBytes> sent = receivedSince(mark);
  ASSERT_TRUE(busied);
  const std::vector<int> parts = soundDumpParts(sent);
  const auto dump = std::find(parts.begin(), parts.end(), 3);
  ASSERT_NE(dump, parts.end()) << "no sound reached part 4";
  EXPECT_EQ(text(sent[static_cast<size_t>(dump - parts.begin())], kSoundNameByte), entry);
  EXPECT_EQ(text(instrument.partBuffer(3), kSoundNameByte), entry);
}

TEST_F(PartFlowTest, ALinkedFilterTurnedOnTheInstrumentMovesItsPartnerOnTheInstrumentToo) {
  constexpr int kPart = 3;
  const int cutoff1 = dumpByteOf(kFilter1Cutoff), cutoff2 = dumpByteOf(kFilter2Cutoff);
  ASSERT_GT(cutoff1, 0);
  ASSERT_GT(cutoff2, 0);
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  ASSERT_NE(plug->actionOf(kFilter1Cutoff + kPart), nullptr);
  ASSERT_NE(plug->actionOf(kFilter2Cutoff + kPart), nullptr);
  plug->GetParam(kFilterLinkSwitch + kPart)->Set(1.0);
  const double partnerBefore = plug->GetParam(kFilter2Cutoff + kPart)->Value();
  const size_t sentBefore = instrument.received().size();

  peer->Send(instrument.turnSoundKnob(kPart, cutoff1 - 7, 100));
  ASSERT_TRUE(eventually([&] { return plug->GetParam(kFilter1Cutoff + kPart)->Int() == 100; }));
  // The partner moves once the input thread has run the linker after the
  // change itself.
  ASSERT_TRUE(eventually([&] { return plug->GetParam(kFilter2Cutoff + kPart)->Value() != partnerBefore; }));
  ASSERT_TRUE(idle());
  const int partner = plug->GetParam(kFilter2Cutoff + kPart)->Int();
  // Both sides agree on both filters.
  ASSERT_TRUE(eventually([&] { return instrument.partBuffer(kPart)[static_cast<size_t>(cutoff2)] == partner; }));
  EXPECT_EQ(instrument.partBuffer(kPart)[static_cast<size_t>(cutoff1)], 100);
  // What the editor sent: the partner only; the instrument's own change is
  // not echoed back to it.
  const std::vector<SimBytes> received = instrument.received();
  std::vector<SimBytes> fromEditor(received.begin() + static_cast<long>(sentBefore), received.end());
  const int position2 = cutoff2 - 7;
  const SimBytes expected = {0xF0, 0x3E, 0x10, kDeviceId, 0x20, kPart, static_cast<uint8_t>(position2 / 128),
                             static_cast<uint8_t>(position2 % 128), static_cast<uint8_t>(partner), 0xF7};
  EXPECT_EQ(fromEditor, std::vector<SimBytes>{expected});
}

TEST_F(PartFlowTest, ABankAndAProgramPickedInTheMenusReachTheInstrumentAsAProgramChangeDoes) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  plug->setThroughUserPath(kGlobalRxProgramChange, 1.0);  // the instrument takes program changes
  window->clickTab(kMainTab, 0);
  ASSERT_TRUE(idle());
  IControl* bankMenu = controlOn("bankAndProgram01", kMultiPartBank + 0);
  IControl* programMenu = controlOn("bankAndProgram01", kMultiPartPatch + 0);
  ASSERT_NE(bankMenu, nullptr);
  ASSERT_NE(programMenu, nullptr);
  ControlLayer* conflict = plug->namedLayer("bankPatchConflictWindow");
  ASSERT_NE(conflict, nullptr);
  const IRECT topBarBank = *plug->librarianBrowser->bankNumberMenu->GetRECT();
  const IRECT topBarProgram = *plug->librarianBrowser->programNumberMenu->GetRECT();

  // The top bar's BANK and PROG are drawn on the LIBRARY page alone: on
  // three other pages a click at their places opens nothing (the choice
  // scripted for it is left), sends nothing.
  ASSERT_NO_FATAL_FAILURE(allArrived());
  size_t mark = instrument.received().size();
  const size_t menus = window->view().MenusShown().size();
  for (const int page : {0, 2, 3}) {
    window->clickTab(kMainTab, page);
    window->pickFromMenu(topBarBank, {1});
    window->pickFromMenu(topBarProgram, {0, 4});
  }
  window->view().ClearMenuScript();
  ASSERT_NO_FATAL_FAILURE(allArrived());
  EXPECT_EQ(window->view().MenusShown().size(), menus);
  EXPECT_EQ(instrument.received().size(), mark);

  // A fresh instance has sent no part a program: 001 picked in the top bar
  // for part 1 meets no conflict, though the other parts are active.
  window->clickTab(kMainTab, 1);
  ASSERT_TRUE(idle());
  mark = instrument.received().size();
  window->pickFromMenu(topBarProgram, {0, 0});
  ASSERT_TRUE(idle());
  std::vector<SimBytes> shorts = shortMessagesSince(mark);
  ASSERT_GE(shorts.size(), 3u);
  EXPECT_EQ(std::vector<SimBytes>(shorts.end() - 3, shorts.end()),
            (std::vector<SimBytes>{{0xB0, 0x00, 0x00}, {0xB0, 0x20, 0x40}, {0xC0, 0x00}}));
  EXPECT_FALSE(conflict->IsVisible());

  // Bank "2" (B), then program "018": the menus count from 1.
  mark = instrument.received().size();
  window->pickFromMenu(*bankMenu->GetRECT(), {1});
  ASSERT_TRUE(idle());
  window->pickFromMenu(*programMenu->GetRECT(), {17});
  ASSERT_TRUE(idle());
  shorts = shortMessagesSince(mark);
  ASSERT_GE(shorts.size(), 3u);
  // Part 1 plays on channel 1: bank select (0, then 64 + bank) and the program.
  EXPECT_EQ(std::vector<SimBytes>(shorts.end() - 3, shorts.end()),
            (std::vector<SimBytes>{{0xB0, 0x00, 0x00}, {0xB0, 0x20, 0x41}, {0xC0, 0x11}}));
  // The instrument's part took the stored sound; the editor asked for it.
  EXPECT_EQ(text(instrument.partBuffer(0), kSoundNameByte, 9), "SOUND B17");
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 0, 0).substr(0, 9), "SOUND B17");

  // The same from the multi page, for part 3.
  window->clickTab(kMainTab, 0);
  ASSERT_TRUE(idle());
  IControl* partThree = controlOn("multiModeSettingsPage1", kMultiPartPatch + 2);
  ASSERT_NE(partThree, nullptr);
  mark = instrument.received().size();
  window->pickFromMenu(*partThree->GetRECT(), {41});
  ASSERT_TRUE(idle());
  shorts = shortMessagesSince(mark);
  ASSERT_GE(shorts.size(), 3u);
  EXPECT_EQ(std::vector<SimBytes>(shorts.end() - 3, shorts.end()),
            (std::vector<SimBytes>{{0xB2, 0x00, 0x00}, {0xB2, 0x20, 0x40}, {0xC2, 0x29}}));
  EXPECT_EQ(text(instrument.partBuffer(2), kSoundNameByte, 9), "SOUND A41");
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 2, 0).substr(0, 9), "SOUND A41");
  EXPECT_FALSE(conflict->IsVisible());

  // Part 3 to bank B (its program 41 there, which no part plays), then to
  // program 17, which part 1 plays in bank B: refused. Nothing is sent, the
  // conflict window says why, and the page and the header still show 41.
  IControl* partThreeBank = controlOn("multiModeSettingsPage1", kMultiPartBank + 2);
  ASSERT_NE(partThreeBank, nullptr);
  window->pickFromMenu(*partThreeBank->GetRECT(), {1});
  ASSERT_TRUE(idle());
  EXPECT_FALSE(conflict->IsVisible());
  mark = instrument.received().size();
  window->pickFromMenu(*partThree->GetRECT(), {17});
  ASSERT_TRUE(idle());
  EXPECT_EQ(instrument.received().size(), mark);
  EXPECT_TRUE(conflict->IsVisible());
  EXPECT_EQ(plug->GetParam(kMultiPartPatch + 2)->Int(), 41);
  const double shown = plug->GetParam(kMultiPartPatch + 2)->GetNormalized();
  EXPECT_DOUBLE_EQ(partThree->GetValue(), shown);
  IControl* header = controlOn("bankAndProgram03", kMultiPartPatch + 2);
  ASSERT_NE(header, nullptr);
  EXPECT_DOUBLE_EQ(header->GetValue(), shown);

  // The same from the top bar: part 1 to program 41, which part 3 plays in
  // bank B. Refused; part 1 still shows its program 17.
  conflict->Hide(true);
  window->clickTab(kMainTab, 1);
  ASSERT_TRUE(idle());
  window->pickFromMenu(topBarProgram, {4, 1});
  ASSERT_TRUE(idle());
  EXPECT_EQ(instrument.received().size(), mark);
  EXPECT_TRUE(conflict->IsVisible());
  EXPECT_EQ(plug->GetParam(kMultiPartPatch + 0)->Int(), 17);
  EXPECT_DOUBLE_EQ(programMenu->GetValue(), plug->GetParam(kMultiPartPatch + 0)->GetNormalized());
}
}  // namespace

namespace {
// Multi mode, STEP SYNTH: a step of the multi, or a multi picked in the top
// bar, changes the instrument's multi, and the window asks for what it now
// plays as GET MULTI does (the parts' sounds, then the multi) and shows it.
TEST_F(PartFlowTest, AMultiStepShowsTheMultiTheInstrumentNowPlays) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  plug->setThroughUserPath(kGlobalRxProgramChange, 1.0);
  instrument.setGlobalChannel(0);
  plug->GetParam(kGlobalMidiChannel)->Set(1);
  plug->setThroughUserPath(kDatatype, 1);
  window->clickTab(kMainTab, 0);
  plug->GetParam(kMultiPatch)->Set(4);
  for (const uint8_t program : {5, 7}) {
    ASSERT_NO_FATAL_FAILURE(allArrived());
    const size_t mark = instrument.received().size();
    if (program == 5) window->click(IRECT(824, 12, 846, 28));
    else window->pickFromMenu(*controlOn("bankAndProgramMulti", kMultiPatch)->GetRECT(), {program});
    ASSERT_NO_FATAL_FAILURE(allArrived());
    std::vector<SimBytes> expected = {{0xB0, 0x7B, 0x00}, {0xB0, 0x00, 0x00}, {0xC0, program}};
    for (uint8_t p = 0; p < 16; ++p) expected.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, p, 0xF7});
    expected.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x01, 0x20, 0x00, 0xF7});
    EXPECT_EQ(receivedSince(mark), expected);
    EXPECT_EQ(plug->paramDisplayText(kMultiName, 0), "MULTI A0" + std::to_string(program) + "       ");
    for (int p = 0; p < 16; ++p)  // the stored multis play 001 on every part
      EXPECT_EQ(controlOn("multiModeSettingsPage1", kMultiPartPatch + p)->GetValue(), 0.0) << p;
  }

  // A part's program picked on the MULTI page goes to the part on its
  // channel, not as the multi's program change: on Global, as the stored
  // multis have it, nothing goes and the status line says so.
  IControl* partThree = controlOn("multiModeSettingsPage1", kMultiPartPatch + 2);
  window->pickFromMenu(*partThree->GetRECT(), {41});
  EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), "No MIDI channel to send on");
  plug->setThroughUserPath(kMultiPartMIDICh + 2, 4);
  ASSERT_NO_FATAL_FAILURE(allArrived());
  size_t mark = instrument.received().size();
  window->pickFromMenu(*partThree->GetRECT(), {41});
  ASSERT_NO_FATAL_FAILURE(allArrived());
  EXPECT_EQ(receivedSince(mark), (std::vector<SimBytes>{{0xB2, 0x7B, 0x00}, {0xB2, 0x7B, 0x00}, {0xB2, 0x00, 0x00},
                                                        {0xB2, 0x20, 0x40}, {0xC2, 41},
                                                        {0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x02, 0xF7}}));
  // A multi picked in the top bar that would send nothing (the part locked,
  // program changes not taken, STEP LIBRARY with no multi there) and any
  // other multi bank stay unpicked and say why.
  IControl* multiMenu = controlOn("bankAndProgramMulti", kMultiPatch);
  mark = instrument.received().size();
  for (const auto& [param, detail] : {std::pair{kPartLock + 0, "Part 1 is locked"}, {kGlobalRxProgramChange, ""},
                                      {kControlLibrary, "The library holds no bank here"}}) {
    const double was = plug->GetParam(param)->Value();
    if (param == kControlLibrary) plug->setThroughUserPath(param, 1 - was);
    else plug->GetParam(param)->Set(1 - was);  // sending nothing
    window->pickFromMenu(*multiMenu->GetRECT(), {9});
    if (param == kControlLibrary) plug->setThroughUserPath(param, was);
    else plug->GetParam(param)->Set(was);
    EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), detail);
  }
  window->pickFromMenu(*controlOn("bankAndProgramMulti", kMultiBank)->GetRECT(), {2});
  EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), "The multi bank is not sent");
  ASSERT_NO_FATAL_FAILURE(allArrived());
  EXPECT_EQ(receivedSince(mark), std::vector<SimBytes>{});
  EXPECT_EQ((std::pair{plug->GetParam(kMultiBank)->Int(), plug->GetParam(kMultiPatch)->Int()}), (std::pair{0, 7}));
  EXPECT_DOUBLE_EQ(multiMenu->GetValue(), plug->GetParam(kMultiPatch)->GetNormalized());
}
}  // namespace
