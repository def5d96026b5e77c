#include "EditorPages.h"

#include <cxxabi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "Captions.h"
#include "ControlLayer.h"
#include "DataFolder.h"
#include "IControl.h"
#include "IGraphics.h"
#include "ImageTable.h"
#include "ParamIndex.h"
#include "Recipes.h"
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
void collectShown(const ControlLayer& layer, std::vector<const IControl*>& out) {
  if (!layer.IsVisible()) return;
  for (const auto& control : layer.controls())
    if (!control->IsHidden()) out.push_back(control.get());
  for (const auto& sub : layer.subLayers()) collectShown(*sub, out);
}

// The captions the image generator printed into each background at a size,
// placed from the build's control list as it placed them.
const imagegen::CaptionMap& captionsAt(double scale) {
  static std::mutex mutex;
  static std::map<double, imagegen::CaptionMap> placed;
  std::lock_guard<std::mutex> lock(mutex);
  if (const auto it = placed.find(scale); it != placed.end()) return it->second;
  std::ifstream in(TARNIVEX_CONTROL_LIST, std::ios::binary);
  const std::string list{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<imagegen::ControlEntry> controls;
  std::string error;
  imagegen::CaptionMap& map = placed[scale];
  if (!imagegen::readControlList(list, imagegen::imageSizeAt, controls, error)) ADD_FAILURE() << error;
  const auto sized = imagegen::atSize(controls, scale, imagegen::imageSizeAt, imagegen::imageInk);
  if (!imagegen::placeCaptions(sized, imagegen::captionSpace, map, error, scale)) ADD_FAILURE() << error;
  return map;
}

// The image table's key of a bitmap the editor loaded at any size.
std::string imageKey(const IBitmap& bitmap) {
  if (bitmap.mId < 0) return "";
  const int id = bitmap.mId % kImageIdRange;
  for (const ImageRow& row : kCommonImages)
    if (row.id == id) return row.key;
  for (const StyleImageRow& row : kStyleImages)
    for (int styleId : row.id)
      if (styleId == id) return row.key;
  return "";
}

std::string kindOf(const IControl& control) {
  const char* mangled = typeid(control).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && name ? name.get() : mangled;
}

std::string paramName(int idx) {
  if (idx < 0) return "-";
  const ParamNameEntry* entry = FindParamEntry(idx);
  if (!entry) return std::to_string(idx);
  return entry->index == idx ? entry->name : std::string(entry->name) + "+" + std::to_string(idx - entry->index);
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
std::vector<std::string> Editor::ShownLayout() const {
  std::vector<const IControl*> shown;
  for (int i = 0; i < mGraphics->NControls(); ++i)
    if (const IControl* control = mGraphics->GetControl(i); control && !control->IsHidden()) shown.push_back(control);
  for (int i = 0; i < mGraphics->NLayers(); ++i) collectShown(*mGraphics->GetLayer(i), shown);
  const imagegen::CaptionMap& captions = captionsAt(mScale);
  std::vector<std::string> lines;
  for (const IControl* control : shown) {
    const IRECT& r = *control->GetRECT();
    lines.push_back("control " + kindOf(*control) + " " + paramName(control->ParamIdx()) + "\t" +
                    std::to_string(r.L) + "," + std::to_string(r.T) + " " + std::to_string(r.W()) + "x" +
                    std::to_string(r.H()));
    control->ForEachImage([&](const IBitmap& bitmap) {
      const auto it = captions.find(imageKey(bitmap));
      if (it == captions.end()) return;
      for (const imagegen::PlacedCaption& c : it->second)
        lines.push_back("caption \"" + c.text + "\"\t" + std::to_string(r.L + c.x) + "," + std::to_string(r.T + c.y));
    });
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}
}  // namespace editorpages
