// The authored editor against the simulated instrument: a user edit on a
// control of each page arrives byte-exact, and the same change sent by the
// instrument moves the control with nothing sent back.
#include <algorithm>
#include <optional>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"
#include "LibrarianBrowser.h"
#include "PatchManager.h"
#include "SysExDefinitions.h"
#include "TopBarMenus.h"

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

// A project restores values its controls did not hold; then the user turns
// them on the instrument back to what the controls held before. The
// parameters (and so the project the host saves next) take the instrument's
// values, the controls show them, and nothing goes back: with the editor
// closed, as hosts load projects, and open on a page that hides the control.
TEST_F(DocumentEditTest, AfterARestoreTheInstrumentsValuesAreTakenThoughTheControlsHeldThemBefore) {
  struct Row {
    const char* what;
    int idx;
    double restored, sent;  // plain values: the project's, then the instrument's
    int openOnTab;          // -1: the editor is closed
  };
  const Row table[] = {
      {"osc 2 sync of part 1 (a switch), editor closed", kOscillator2SyncToOsc3, 1, 0, -1},
      {"part 1 level (a knob), editor closed", kMultiPartLevel, 60, 100, -1},
      {"osc 2 sync of part 1, editor open on the multi page", kOscillator2SyncToOsc3, 1, 0, 0},
      {"part 1 level, editor open on the oscillators page", kMultiPartLevel, 60, 100, 2},
  };
  std::optional<EditorWindowDriver> window;
  AEffect* effect = plug->GetAEffect();
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    IParam* p = param(row.idx);
    const auto* action = static_cast<ControlAction*>(p->GetControlAction());
    ASSERT_NE(action, nullptr);
    Bytes fromInstrument = {0xF0};
    for (size_t i = 0; i < action->sysex.messages.front().size(); ++i)
      fromInstrument.push_back(static_cast<unsigned char>(i == 2 ? kDeviceId : action->sysex.messages.front()[i]));
    fromInstrument.back() = static_cast<unsigned char>(row.sent);
    fromInstrument.push_back(0xF7);
    if (row.idx == kOscillator2SyncToOsc3) {  // the user's switch on the instrument, as it sends it
      EXPECT_EQ(fromInstrument, (Bytes{0xF0, 0x3E, 0x10, 0x21, 0x20, 0x00, 0x00, 0x31, 0x00, 0xF7}));
    }
    const bool sound = fromInstrument.size() == 10;
    IControl* found = sound ? plug->getSysexControl(fromInstrument[4], fromInstrument[5], fromInstrument[6], fromInstrument[7], 0)
                             : plug->getSysexControl(kTemplateDeviceByte, fromInstrument[4], fromInstrument[5],
                                                     fromInstrument[6], 0);
    ASSERT_NE(found, nullptr);
    if (row.openOnTab >= 0 && !window) window.emplace(*plug);
    if (window) window->clickTab(kMainTab, row.openOnTab);

    // The controls hold the instrument's value; the project holds another.
    p->Set(row.sent);
    plug->GetGUI()->SetParameterFromPlug(row.idx, p->GetNormalized(), true);
    p->Set(row.restored);
    ByteChunk chunk;
    plug->SerializeState(&chunk);
    p->Set(row.sent);
    std::vector<uint8_t> project(chunk.Data(), chunk.Data() + chunk.Size());
    ASSERT_EQ(effect->dispatcher(effect, effSetChunk, 1, static_cast<VstIntPtr>(project.size()), project.data(), 0.0f), 1);
    awaitRequestThread();
    arrivedAtInstrument();  // the project
    ASSERT_EQ(p->Value(), row.restored);
    ASSERT_DOUBLE_EQ(found->GetValue(), p->GetNormalized(row.sent));  // not shown: not told yet
    if (window) {
      ASSERT_TRUE(found->IsValueStale());
    }

    ASSERT_TRUE(backend->inject(fromInstrument));
    EXPECT_EQ(p->Value(), row.sent);  // the value the host's next save takes
    EXPECT_TRUE(arrivedAtInstrument().empty());
    // The control shows it once shown.
    if (window) plug->GetGUI()->TakeStaleValues(found);
    else plug->DrawStaleParamControls();
    EXPECT_DOUBLE_EQ(found->GetValue(), p->GetNormalized());
  }
}

// A project saved with part 2 selected reopens with part 2 in the top bar:
// its bank and program, not part 1's, before any page is switched; STEP
// LIBRARY takes its program as the upper slot, the category beside the ports
// is its category, also after the host suspends the plug-in, and the top
// bar's menus tick its bank and program when they pop up. A host loads its
// projects with no editor open: the menus list their names as they pop up,
// not at every restore.
TEST_F(DocumentEditTest, AProjectSavedWithPartTwoSelectedReopensWithPartTwosProgramInTheTopBar) {
  param(kMultiPartBank + 1)->Set(2);
  param(kMultiPartPatch + 1)->Set(1);
  setParam(kQuickTab, 1);
  ASSERT_TRUE(plug->namedLayer("bankAndProgram02")->IsVisible());
  plug->patchManager->setName(19 + 1, "BASS");
  ByteChunk chunk;
  plug->SerializeState(&chunk);
  std::vector<uint8_t> project(chunk.Data(), chunk.Data() + chunk.Size());

  for (const bool stepLibrary : {false, true}) {
    // STEP LIBRARY's row has its editor open during the restore.
    SCOPED_TRACE(stepLibrary ? "STEP LIBRARY, the editor open" : "STEP SYNTH, the editor opened after");
    makePlug();  // the host reopens the project: a new instance, then the project
    if (stepLibrary) setParam(kControlLibrary, 1);
    ASSERT_TRUE(plug->namedLayer("bankAndProgram01")->IsVisible());
    std::optional<EditorWindowDriver> window;
    if (stepLibrary) window.emplace(*plug);
    AEffect* effect = plug->GetAEffect();
    ASSERT_EQ(effect->dispatcher(effect, effSetChunk, 1, static_cast<VstIntPtr>(project.size()), project.data(), 0.0f), 1);
    awaitRequestThread();
    EXPECT_EQ(plug->categoryNameDisplay->GetText(), "BASS");
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(plug->categoryNameDisplay->GetText(), "BASS");
    ProgramNumberPopupMenu& programs = *plug->librarianBrowser->programNumberMenu;
    EXPECT_TRUE(programs.submenu(0).IsItemChecked(0));  // as the new instance listed them
    const LibrarianViewControl& view = *plug->librarianView();
    const std::vector<int> upperSlot{view.selectedUpper, view.cursor, view.activePane};
    if (stepLibrary) {
      EXPECT_EQ(upperSlot, (std::vector<int>{1, 1, 0}));
    } else {
      window.emplace(*plug);
      plug->DrawStaleParamControls();  // what the editor-open call does first
    }
    window->draw();
    for (int p = 1; p <= 16; ++p) {
      const std::string name = (p < 10 ? "bankAndProgram0" : "bankAndProgram") + std::to_string(p);
      EXPECT_EQ(plug->namedLayer(name)->IsVisible(), p == 2) << name;
    }
    int checked = 0;
    for (const auto& control : plug->namedLayer("bankAndProgram02")->controls()) {
      const int idx = control->ParamIdx();
      if (idx != kMultiPartBank + 1 && idx != kMultiPartPatch + 1) continue;
      EXPECT_DOUBLE_EQ(control->GetValue(), param(idx)->GetNormalized(idx == kMultiPartBank + 1 ? 2 : 1)) << idx;
      ++checked;
    }
    EXPECT_EQ(checked, 2);
    // On the LIBRARY page, program 2 (of bank C) ticked as the menus pop up
    // (dismissed: no pick).
    arrivedAtInstrument();  // the restore's send
    window->clickTab(kMainTab, 1);
    const auto shown = [&](IControl& menu) {
      window->pickFromMenu(*menu.GetRECT(), {});
      const auto& menus = window->view().MenusShown();
      return menus.empty() ? std::vector<std::string>{} : menus.back();
    };
    const std::vector<std::string> programMenu = shown(programs);
    EXPECT_TRUE(programs.submenu(0).IsItemChecked(1));
    if (!stepLibrary) {  // STEP LIBRARY lists the library's names, none here
      for (const char* line : {"  Sound 002 [4]", "  Sound 001"})
        EXPECT_NE(std::count(programMenu.begin(), programMenu.end(), line), 0) << line;
      EXPECT_EQ(shown(*plug->librarianBrowser->bankNumberMenu),
                (std::vector<std::string>{"Bank A (RAM)", "Bank B (RAM)", "Bank C (RAM) [4]"}));
    }
    EXPECT_TRUE(arrivedAtInstrument().empty());
  }
}
}  // namespace

// A flood of values from the instrument moves every control of the page at
// once: one idle call draws at most its share of the window, and the next
// calls draw the rest, until the frame is what a whole redraw gives.
TEST_F(DocumentEditTest, AFloodFromTheInstrumentIsDrawnOverSeveralPassesWithNothingLeftOut) {
  EditorWindowDriver window(*plug);
  IGraphicsLinux& gui = *window.gui();
  window.draw();
  window.draw();  // a redraw request keeps a control dirty one more pass
  std::vector<IControl*> moved;
  const auto move = [&](IControl* c) {
    if (c->ParamIdx() < 0 || c->IsHidden() || c->GetRECT()->Empty()) return;
    c->SetValueFromHardware(c->GetValue() < 0.5 ? 0.9 : 0.1);
    moved.push_back(c);
  };
  const auto walk = [&](const ControlLayer& layer, const auto& self) -> void {
    if (!layer.IsVisible()) return;
    for (const auto& c : layer.controls()) move(c.get());
    for (const auto& sub : layer.subLayers()) self(*sub, self);
  };
  for (int i = 1; i < gui.NControls(); ++i) move(gui.GetControl(i));
  for (int i = 0; i < gui.NLayers(); ++i) walk(*gui.GetLayer(i), walk);
  ASSERT_GT(moved.size(), 50u);
  const long long share = static_cast<long long>(gui.Width()) * gui.Height() / IGraphicsLinux::kPassShare;
  long long largest = 0;  // a control larger than a pass is drawn whole, alone
  for (IControl* c : moved) largest = std::max(largest, static_cast<long long>(c->GetRECT()->W()) * c->GetRECT()->H());

  int passes = 0;
  for (IRECT r; gui.IsDirty(&r); r = IRECT()) {
    ASSERT_LT(++passes, 2000);
    // Its share, widened to the whole of the controls it cuts (a quarter of
    // the window at most).
    EXPECT_LE(static_cast<long long>(r.W()) * r.H(), std::max(IGraphics::kPassGrowth * share, largest));
    gui.Draw(&r);
  }
  EXPECT_GT(passes, 1);
  for (IControl* c : moved) EXPECT_FALSE(c->IsDirty());

  // Nothing was left out: a whole redraw changes no pixel.
  LICE_SysBitmap* frame = gui.GetDrawBitmap();
  const auto pixels = [frame] {
    std::vector<LICE_pixel> out;
    for (int y = 0; y < frame->getHeight(); ++y)
      for (int x = 0; x < frame->getWidth(); ++x) out.push_back(LICE_GetPixel(frame, x, y));
    return out;
  };
  const std::vector<LICE_pixel> drawnInPasses = pixels();
  gui.SetAllControlsDirty();
  window.draw();
  EXPECT_TRUE(drawnInPasses == pixels());
}
