// Start-up in a data folder of its own: without settings, with settings that
// name the instrument's ports, with a damaged settings file.
#include <functional>
#include <set>

#include "BankListNames.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "EditMenus.h"
#include "ICustomRadioButtonsControl.h"
#include "EditorTestSupport.h"
#include "IGraphics.h"
#include "FolderMenuControl.h"
#include "LibrarianBrowser.h"
#include "UIConfigManager.h"

namespace {
class StartupTest : public EditorTest {
 protected:
  void startWith(const std::string* settings) {
    freshDataFolder(true, settings);
    makePlug(false);
    plug->midiMessageManager->jobObserver = [this](JobThread thread, const SenderJob& job) {
      if (thread == JobThread::kRequest) jobs.push_back(job.jobCode);
    };
  }
  // The log's messages, without their time stamps.
  std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    std::istringstream log(debugLog());
    for (std::string line; std::getline(log, line);)
      if (const size_t tab = line.find("\t "); tab != std::string::npos) lines.push_back(line.substr(tab + 2));
    return lines;
  }
  bool logged(const std::string& text) {
    const auto lines = logLines();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }
  std::vector<int> jobs;
};

TEST_F(StartupTest, WithoutSettingsTheStepsRunInOrderAndNoPortOpens) {
  startWith(nullptr);
  const std::vector<std::string> order = {
      "INITIALIZATION STARTED!", "Data folder located at " + getDataFolder(), "PATCH MANAGER INITIALIZED...",
      "PATCH LIBRARIAN INITIALIZED...", "STARTING USER INTERFACE CONFIGURATION...", "USER INTERFACE CONFIGURATION COMPLETED... BUILDING UI",
      "Layers attached...", "Control set 1 attached", "Librarian menus attached",
      "Control set 2 attached... Resetting", "Plug-in is ready to load!"};
  const auto lines = logLines();
  auto at = lines.begin();
  for (const std::string& step : order) {
    at = std::find(at, lines.end(), step);
    ASSERT_NE(at, lines.end()) << step;
  }
  // The library is read on a worker: its line comes when the load is there.
  const auto initialised = std::find(lines.begin(), lines.end(), "PATCH LIBRARIAN INITIALIZED...");
  EXPECT_NE(std::find(initialised, lines.end(), "PATCH LIBRARIAN COMPLETED FILE LOADING..."), lines.end());
  EXPECT_FALSE(plug->midiIOConfigured);
  EXPECT_EQ(plug->GetGUI()->Width(), 1500);
  EXPECT_EQ(plug->GetGUI()->Height(), 757);
  EXPECT_EQ(param(kMultiPartMIDICh + 15)->Value(), 17);
  EXPECT_EQ(param(kKeepSelectedBank)->Value(), 1.0);
  EXPECT_TRUE(plug->keepSelectedBank);
  EXPECT_TRUE(plug->hostBlocked[Tarnivex::kFilterPC]);
  EXPECT_FALSE(plug->deviceBlocked[Tarnivex::kFilterSE]);
  EXPECT_FALSE(plug->firstRunNoticeShown);
  // Made hidden; the end of start-up fills the top bar's menus and shows
  // its bank and program menus (instrument stepping), as a data-type change.
  for (int row = 0; row < 11; ++row) {
    EXPECT_EQ(plug->menuLayers[row]->GetID(), 70 + row);
    EXPECT_EQ(plug->menuLayers[row]->IsHidden(), row != 6 && row != 7) << row;
  }
  block();
  block();
  EXPECT_TRUE(jobs.empty());
}

TEST_F(StartupTest, WithTheBundlesDocumentEveryLayerIsThereAndTheStartPagesShow) {
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  startWith(nullptr);
  unsetenv("TARNIVEX_RESOURCE_DIR");
  for (const std::string& line : logLines()) EXPECT_EQ(line.find("CONFIG READER: layer"), std::string::npos) << line;
  for (const char* name : {"root", "multiModeSettingsPage1", "bankAndProgram01"})
    EXPECT_FALSE(plug->namedLayer(name)->IsHidden()) << name;
  for (const char* name : {"bankAndProgram02", "aboutWindow", "searchField", "firstRunNotification"})
    EXPECT_TRUE(plug->namedLayer(name)->IsHidden()) << name;
  EXPECT_TRUE(plug->progressLayer->IsHidden());
  EXPECT_EQ(plug->GetGUI()->GetLayer(plug->GetGUI()->NLayers() - 1), plug->progressLayer);
}

// The mixer's layer is hidden after start-up while its controls are not:
// clicking where they would be reaches none of them.
TEST_F(StartupTest, TheHiddenMixersControlsTakeNoClick) {
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  startWith(nullptr);
  unsetenv("TARNIVEX_RESOURCE_DIR");
  const ControlLayer* mixer = plug->miniMixerLayer;
  ASSERT_NE(mixer, nullptr);
  ASSERT_TRUE(mixer->IsHidden());
  std::set<const IControl*> mixerControls;
  std::function<void(const ControlLayer&)> collect = [&](const ControlLayer& layer) {
    for (const auto& control : layer.controls()) mixerControls.insert(control.get());
    for (const auto& sub : layer.subLayers()) collect(*sub);
  };
  collect(*mixer);
  ASSERT_FALSE(mixerControls.empty());
  int shownControls = 0;
  for (const IControl* control : mixerControls) {
    shownControls += control->IsHidden() ? 0 : 1;
    const IRECT* r = const_cast<IControl*>(control)->GetRECT();
    IGraphics& graphics = *plug->GetGUI();
    for (int k = 0; k < graphics.NLayers(); ++k) {  // the layer trees, as a click tries them
      const IControl* hit = graphics.GetLayer(k)->isHit((r->L + r->R) / 2, (r->T + r->B) / 2);
      EXPECT_EQ(mixerControls.count(hit), 0u) << "param " << const_cast<IControl*>(control)->ParamIdx();
    }
  }
  EXPECT_GT(shownControls, 0);  // what this test is about: shown controls in a hidden layer
}

// While data moves, the overlay covers the editor at every size and takes the
// clicks meant for what lies below it; its cancel button still answers.
TEST_F(StartupTest, TheProgressOverlayCoversTheEditorAndTakesTheClicksBelowIt) {
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  for (const char* size : {"small", "normal", "large"}) {
    SCOPED_TRACE(size);
    plug.reset();
    const std::string settings = std::string("yellow\n") + size + "\nno\n\n";
    startWith(&settings);
    IGraphics& graphics = *plug->GetGUI();
    ASSERT_NE(plug->progressIndicator, nullptr);
    EXPECT_EQ(static_cast<ProgressIndicator*>(plug->progressIndicator)->DrawRect(), IRECT(0, 0, graphics.Width(), graphics.Height()));

    IControl* tab = nullptr;
    for (IControl* control : static_cast<ControlAction*>(param(kMainTab)->GetControlAction())->controls)
      if (!control->IsHidden() && !tab) tab = control;
    ASSERT_NE(tab, nullptr);
    const IRECT* r = tab->GetRECT();
    const int x = (r->L + r->R) / 2, y = (r->T + r->B) / 2;
    const double before = param(kMainTab)->Value();
    plug->DisplayProcessingIndicator(true);
    // The overlay takes clicks once the window has drawn it.
    IRECT all(0, 0, graphics.Width(), graphics.Height());
    graphics.Draw(&all);
    IMouseMod left(true);
    graphics.OnMouseDown(x, y, &left);
    EXPECT_EQ(graphics.GetCapturedControl(), plug->progressIndicator);
    graphics.OnMouseUp(x, y, &left);
    EXPECT_EQ(param(kMainTab)->Value(), before);

    const IRECT* cancel = plug->editorCancelSwitch->GetRECT();
    plug->midiMessageManager->sender->cancelRequested = false;
    graphics.OnMouseDown((cancel->L + cancel->R) / 2, (cancel->T + cancel->B) / 2, &left);
    graphics.OnMouseUp((cancel->L + cancel->R) / 2, (cancel->T + cancel->B) / 2, &left);
    EXPECT_TRUE(plug->midiMessageManager->sender->cancelRequested);
    plug->DisplayProcessingIndicator(false);
  }
  unsetenv("TARNIVEX_RESOURCE_DIR");
}

TEST_F(StartupTest, SettingsNamingThePortsOpenThemAndTheEnquiryGoesOnceFromTheBlock) {
  const std::string settings = "blue\nlarge\nyes\n" + std::string(kPort) + "\n" + kPort;
  startWith(&settings);
  EXPECT_TRUE(plug->midiIOConfigured);
  EXPECT_EQ(plug->midiOutPortIndex, 2);
  EXPECT_EQ(plug->midiInPortIndex, 2);
  EXPECT_EQ(param(kUserInterfaceStyle)->Int(), 1);
  EXPECT_EQ(param(kUserInterfaceSize)->Int(), 2);
  EXPECT_EQ(plug->GetGUI()->Width(), 1724);
  EXPECT_EQ(plug->GetGUI()->Height(), 870);
  EXPECT_TRUE(logged("DEFAULT SETTINGS: MIDI Out device stored " + std::string(kPort)));
  EXPECT_TRUE(jobs.empty());
  block();
  block();
  settle();
  EXPECT_EQ(jobs, std::vector<int>{13});
}

TEST_F(StartupTest, DamagedSettingsLeaveTheDefaults) {
  const std::string settings = std::string("\xff\xfe\0x", 4) + "\r\n\tlarge\r\nno\n" + kPort;
  startWith(&settings);
  EXPECT_EQ(plug->GetGUI()->Width(), 1500);
  EXPECT_FALSE(plug->midiIOConfigured);
  EXPECT_TRUE(plug->firstRunNoticeShown);
  EXPECT_FALSE(logged("DEFAULT SETTINGS: MIDI Out device stored " + std::string(kPort)));
  block();
  EXPECT_TRUE(jobs.empty());
}

TEST_F(StartupTest, SmallMenusAreScaledAndMissingLayersAreLoggedAndSkipped) {
  const std::string settings = "yellow\nsmall\nyes\n\n";
  startWith(&settings);
  const IRECT rect = *plug->librarianBrowser->leftPatchMenu->GetRECT();
  EXPECT_EQ((std::vector<int>{rect.L, rect.T, rect.R, rect.B}), (std::vector<int>{334, 159, 688, 175}));
  // The lower pane's menus (394,461,810,480) and the bank-edit menu (839,187,916,205) scaled by 0.85.
  for (IControl* lower : {static_cast<IControl*>(plug->librarianBrowser->rightPatchMenu),
                          static_cast<IControl*>(plug->librarianBrowser->searchMenu)}) {
    const IRECT r = *lower->GetRECT();
    EXPECT_EQ((std::vector<int>{r.L, r.T, r.R, r.B}), (std::vector<int>{334, 391, 688, 408}));
  }
  const IRECT edit = *static_cast<IControl*>(plug->librarianBrowser->bankEditMenu)->GetRECT();
  EXPECT_EQ((std::vector<int>{edit.L, edit.T, edit.R, edit.B}), (std::vector<int>{713, 158, 778, 174}));
  plug->uiConfigManager->layerMap.erase("searchField");
  plug->pageLayers.clear();
  plug->fetchConfiguredLayers();
  EXPECT_TRUE(logged("CONFIG READER: layer searchField missing"));
  EXPECT_EQ(plug->namedLayer("searchField"), nullptr);
  setParam(kPatchSearch, 1);  // shows the missing layer: skipped
  setParam(kPatchSearch, 0);
}

TEST(BankListNames, LongNamesAreCutAndNumberedByTheirStem) {
  const std::string stem47(47, 'a'), other47(47, 'b');
  const std::vector<std::string> names = {std::string(48, 'x') + ".syx", stem47 + "12345.SYX", stem47 + "67890.mid",
                                          "short.tvx", stem47 + "zzzzzzz", other47 + "123456.syx"};
  std::vector<std::pair<std::string, std::string>> renamed;
  const auto texts = bankListDisplayNames(names, &renamed);
  EXPECT_EQ(texts, (std::vector<std::string>{names[0], stem47 + "~1.syx", stem47 + "~2.mid", "short.tvx",
                                             "~3." + stem47 + "zzzzz", other47 + "~1.syx"}));
  // No display text holds more than 55 characters, whatever the name.
  for (const std::string& text : texts) EXPECT_LE(text.size(), 55u) << text;
  EXPECT_EQ(renamed.size(), 4u);
}
}  // namespace
