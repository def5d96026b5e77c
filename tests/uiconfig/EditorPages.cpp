#include "EditorPages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ControlLayer.h"
#include "DataFolder.h"
#include "IControl.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace editorpages {
namespace {
// Where the tabs and the settings switch lie at size 1.0 (resources/ui/layout.ui).
constexpr int kTabsX = 854, kTabsY = 16, kTabW = 104, kTabH = 28;
constexpr int kSettingsX = 1336, kSettingsY = 77;

void collect(const ControlLayer& layer, std::vector<ITextControl*>& out, bool shownOnly) {
  if (shownOnly && !layer.IsVisible()) return;
  for (const auto& control : layer.controls())
    if (auto* text = dynamic_cast<ITextControl*>(control.get()); text && !(shownOnly && control->IsHidden()))
      out.push_back(text);
  for (const auto& sub : layer.subLayers()) collect(*sub, out, shownOnly);
}
}  // namespace

Editor::Editor(const std::string& scheme, const Size& size) : mScale(size.scale) {
  if (const char* old = std::getenv("XDG_DATA_HOME")) {
    mHadDataHome = true;
    mSavedDataHome = old;
  }
  // Test programs run side by side: each keeps its settings files apart.
  const std::string data = ::testing::TempDir() + "/editor-pages-" + std::to_string(getpid()) + "-" + scheme + "-" +
                           size.name;
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  std::filesystem::create_directories(getDataFolder());
  std::ofstream(getSettingsPath()) << scheme << "\n" << size.name << "\nyes\n\n";
  mLogged = std::make_unique<LoggedPlug>(TARNIVEX_BUNDLE_RESOURCES);
  std::filesystem::remove(getSettingsPath());
  mGraphics = mLogged->plug->GetGUI();
  int parent = 0;
  mGraphics->OpenWindow(&parent);
}

Editor::~Editor() {
  mGraphics->CloseWindow();
  mLogged.reset();
  if (mHadDataHome) setenv("XDG_DATA_HOME", mSavedDataHome.c_str(), 1);
  else unsetenv("XDG_DATA_HOME");
}

void Editor::Click(int x, int y) {
  IMouseMod mod;
  mod.L = true;
  mGraphics->OnMouseDown(x, y, &mod);
  mGraphics->OnMouseUp(x, y, &mod);
  // A part switch sends the part on the worker, with the progress overlay
  // over the window until it is done.
  for (int i = 0; i < 500 && (plug().ThreadRunning() || (plug().progressLayer && plug().progressLayer->IsVisible()));
       ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void Editor::Show(const Page& page) {
  Click(scaled(kTabsX + page.tab * kTabW + kTabW / 2), scaled(kTabsY + kTabH / 2));
  if (page.tab == 0 && (plug().GetParam(kMultiSettings)->Value() == 1.0) != page.settingsFace)
    Click(scaled(kSettingsX + 20), scaled(kSettingsY + 10));
  DrawAll();
}

int Editor::ShownTab() const {
  const ControlLayer* root = mLogged->plug->uiConfigManager->layerMap.at("root");
  if (!root->IsVisible()) return -1;
  for (const auto& page : root->subLayers())
    if (page->IsVisible()) return page->GetID();
  return -1;
}

void Editor::DrawAll() {
  IRECT all(0, 0, mGraphics->Width(), mGraphics->Height());
  mGraphics->Draw(&all);
}

std::vector<ITextControl*> Editor::ShownTexts() const {
  std::vector<ITextControl*> out;
  for (int i = 1; i < mGraphics->NControls(); ++i)
    if (auto* text = dynamic_cast<ITextControl*>(mGraphics->GetControl(i)); text && !text->IsHidden())
      out.push_back(text);
  for (int i = 0; i < mGraphics->NLayers(); ++i) collect(*mGraphics->GetLayer(i), out, true);
  return out;
}

std::vector<ITextControl*> Editor::AllTexts() const {
  std::vector<ITextControl*> out;
  for (int i = 1; i < mGraphics->NControls(); ++i)
    if (auto* text = dynamic_cast<ITextControl*>(mGraphics->GetControl(i))) out.push_back(text);
  for (int i = 0; i < mGraphics->NLayers(); ++i) collect(*mGraphics->GetLayer(i), out, false);
  return out;
}
}  // namespace editorpages
