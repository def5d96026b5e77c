// The walk of a small enciphered document, the authored document in the
// bundle, and damaged documents.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <tuple>

#include "ControlLayer.h"
#include "IGraphics.h"
#include "ImageTable.h"
#include "ParamIndex.h"
#include "RequiredPages.h"
#include "ResourceCipher.h"
#include "TestSupport.h"
#include "UIConfigManager.h"
#include "lice.h"

namespace {
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string encipheredForTest(const std::string& plain) {
  const auto bytes = encipherResource(plain);
  return std::string(bytes.begin(), bytes.end());
}

// A bundle whose GUI document the test chooses; the rest is the real bundle's.
struct TestBundle {
  TempDir dir;
  explicit TestBundle(const std::string& uiconfigTea) {
    writeFile(dir.file("uiconfig.tea"), uiconfigTea);
    fs::create_symlink(fs::path(TARNIVEX_BUNDLE_RESOURCES) / "img", dir.file("img"));
    fs::create_symlink(fs::path(TARNIVEX_BUNDLE_RESOURCES) / "sysex.tea", dir.file("sysex.tea"));
  }
};

// Reads the document of `resources` into a manager of its own, on a plug-in
// built from the real bundle; the log lines it wrote.
struct Reading {
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager ui;
  int layersBefore = 0, controlsBefore = 0;
  Lines log;
  explicit Reading(const std::string& resources) {
    IGraphics* g = logged.plug->GetGUI();
    layersBefore = g->NLayers();
    controlsBefore = g->NControls();
    setenv("TARNIVEX_RESOURCE_DIR", resources.c_str(), 1);
    ui.readUIConfig(g, logged.plug.get(), nullptr, 0, 1.0);
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    log = logged.messages();
  }
  std::vector<ControlLayer*> newTopLayers() const {
    std::vector<ControlLayer*> out;
    IGraphics* g = logged.plug->GetGUI();
    for (int i = layersBefore; i < g->NLayers(); ++i) out.push_back(g->GetLayer(i));
    return out;
  }
};

std::vector<int> ids(const ControlLayer* layer) {
  std::vector<int> out;
  for (const auto& sub : layer->subLayers()) out.push_back(sub->GetID());
  return out;
}

TEST(DocumentWalk, BuildsTheTreeCopiesIdsAndOverlayFlags) {
  TestBundle bundle(readFile(SMALL_UICONFIG_TEA));
  Reading r(bundle.dir.path);
  const auto& map = r.ui.layerMap;
  for (const char* absent : {"insideLists", "capital", "hidden", "neverBuilt", "none0"}) EXPECT_FALSE(map.count(absent)) << absent;

  const std::vector<ControlLayer*> top = r.newTopLayers();
  ASSERT_EQ(top.size(), 7u);  // outer, over, bank0, bank1, dup, dup, holder
  EXPECT_EQ(top[0], map.at("outer"));
  EXPECT_EQ(top[0]->GetID(), 7);
  EXPECT_EQ(ids(top[0]), std::vector<int>{3});
  EXPECT_EQ(top[1]->GetName(), "over");
  EXPECT_EQ(ids(top[1]), std::vector<int>{-1});
  EXPECT_EQ(top[2], map.at("bank0"));
  EXPECT_EQ(top[3], map.at("bank1"));
  EXPECT_EQ(top[2]->GetID(), 0);
  EXPECT_EQ(top[3]->GetID(), 1);
  EXPECT_EQ(ids(top[3]), std::vector<int>{10});
  EXPECT_EQ(map.at("zone"), top[3]->subLayers()[0].get());  // the later copy's
  EXPECT_EQ(map.at("dup"), top[5]);
  EXPECT_EQ(top[5]->GetID(), 2);
  EXPECT_EQ(ids(top[6]), std::vector<int>{5});  // built, but not in the map without a name

  // The outer page's setting reaches every page inside it.
  EXPECT_FALSE(map.at("inner")->GetIgnoreHiddenWhenUpdatingScreen());
  EXPECT_TRUE(map.at("over")->GetIgnoreHiddenWhenUpdatingScreen());
  EXPECT_TRUE(map.at("nested")->GetIgnoreHiddenWhenUpdatingScreen());

  // Top-level controls go to the graphics object, the others to their page.
  IGraphics* g = r.logged.plug->GetGUI();
  ASSERT_EQ(g->NControls(), r.controlsBefore + 2);  // the display and the background
  EXPECT_EQ(top[6]->controls().size(), 1u);

  EXPECT_EQ(r.ui.valueLists.at("l"), Lines{"a"});
  for (const char* line : {"CONFIG READER: Image NO_SUCH_IMAGE MISSING!",
                           "CONFIG READER: a layer without a name is not entered in the layer map"})
    EXPECT_NE(std::find(r.log.begin(), r.log.end(), line), r.log.end()) << line;
}

TEST(DocumentWalk, AtAnotherScaleOnlyTheGeometryDiffers) {
  TestBundle bundle(readFile(SMALL_UICONFIG_TEA));
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  IGraphics* g = logged.plug->GetGUI();
  const int before = g->NControls();
  UIConfigManager ui;
  setenv("TARNIVEX_RESOURCE_DIR", bundle.dir.path.c_str(), 1);
  ui.readUIConfig(g, logged.plug.get(), nullptr, 0, 1.5);
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  ASSERT_EQ(g->NControls(), before + 2);  // the display, then the background
  const IRECT* r = g->GetControl(before + 1)->GetRECT();
  EXPECT_EQ(std::make_pair(r->L, r->T), std::make_pair(15, 30));  // 10,20 at 1.5
  EXPECT_EQ(ids(ui.layerMap.at("bank1")), std::vector<int>{10});
}

TEST(DocumentWalk, AnElementSetsThePartOfItsParametersAction) {
  TestBundle bundle(readFile(SMALL_UICONFIG_TEA));
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager ui;
  ui.plug = logged.plug.get();
  ui.initParams();
  for (int p : {int(kFilter1Cutoff), kFilter1Cutoff + 1, kFilter2Cutoff + 1}) ui.controlActionFor(p, 0)->part = 99;
  setenv("TARNIVEX_RESOURCE_DIR", bundle.dir.path.c_str(), 1);
  ui.readUIConfig(logged.plug->GetGUI(), logged.plug.get(), nullptr, 0, 1.0);
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  EXPECT_EQ(ui.existingControlAction(kFilter1Cutoff)->part, 0);
  EXPECT_EQ(ui.existingControlAction(kFilter1Cutoff + 1)->part, 1);
  EXPECT_EQ(ui.existingControlAction(kFilter2Cutoff + 1)->part, 3);  // channel 4, outside a multilayer
}

TEST(AuthoredDocument, HasEveryRequiredPageTheTabShapeAndNoComplaint) {
  Reading r(TARNIVEX_BUNDLE_RESOURCES);
  for (const std::string& line : r.log) {
    EXPECT_EQ(line.find("NOT FOUND"), std::string::npos) << line;
    EXPECT_EQ(line.find("MISSING"), std::string::npos) << line;
  }
  for (const std::string& name : requiredPageNames()) {
    const auto it = r.ui.layerMap.find(name);
    EXPECT_TRUE(it != r.ui.layerMap.end() && it->second) << name;
  }
  const ControlLayer* root = r.ui.layerMap.at("root");
  EXPECT_EQ(ids(root), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  std::vector<int> parts;
  for (int p = 0; p < 16; ++p) parts.push_back(p);
  for (const char* page : kPartCopyPages) EXPECT_EQ(ids(r.ui.layerMap.at(page)), parts) << page;
  auto bands = [](std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> out;
    for (auto [a, b] : ranges)
      for (int i = a; i <= b; ++i) out.push_back(i);
    return out;
  };
  for (const auto& copy : r.ui.layerMap.at("filtersEnvelopes")->subLayers())
    EXPECT_EQ(ids(copy.get()), bands({{10, 14}, {20, 24}, {30, 34}, {40, 44}}));
  for (const auto& copy : r.ui.layerMap.at("effectsArp")->subLayers())
    EXPECT_EQ(ids(copy.get()), bands({{10, 16}, {300, 310}}));
  for (const auto& copy : r.ui.layerMap.at("oscillators")->subLayers())
    EXPECT_EQ(ids(copy.get()), (std::vector<int>{10, 20, 30, 40, 50}));
  for (const char* delay : {"delayFreeLayer", "delayClockedLayer"})
    for (const auto& copy : r.ui.layerMap.at(delay)->subLayers()) EXPECT_EQ(ids(copy.get()), std::vector<int>{307});
}

TEST(AuthoredDocument, EveryImageOfTheTableIsInTheBundleWithItsFrames) {
  auto check = [](const char* key, const char* file, int frames) {
    SCOPED_TRACE(file);
    LICE_MemBitmap bm;
    ASSERT_TRUE(LICE_LoadPNG((std::string(TARNIVEX_BUNDLE_RESOURCES) + "/img/" + file).c_str(), &bm));
    const bool horizontal = imageFramesHorizontal(key, frames);
    EXPECT_EQ((horizontal ? bm.getWidth() : bm.getHeight()) % frames, 0);
    if (std::string(key).rfind("IKNOBROTATERCONTROL", 0) == 0) {
      EXPECT_EQ(bm.getWidth() * frames, bm.getHeight());
    }
    if (std::string(key) == "MAIN_BG_ID") {
      EXPECT_EQ(std::make_pair(bm.getWidth(), bm.getHeight()), std::make_pair(1500, 757));
    }
  };
  for (const ImageRow& row : kCommonImages) check(row.key, row.file, row.frames);
  for (int style = 0; style < kUIStyleCount; ++style)
    for (const StyleImageRow& row : kStyleImages) check(row.key, row.file[style], row.frames);
}

TEST(ImageTable, StylesPickTheirFilesAndAClosedInstanceLeavesTheImagesToTheOthers) {
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  IGraphics* g = logged.plug->GetGUI();
  UIConfigManager blue, phoenix;
  blue.readUIConfig(g, logged.plug.get(), nullptr, 1, 1.0);
  phoenix.readUIConfig(g, logged.plug.get(), nullptr, 2, 1.0);
  EXPECT_EQ(blue.imageMap.at("MAIN_BG_ID").id, 700);
  EXPECT_EQ(phoenix.imageMap.at("MAIN_BG_ID").id, 900);
  EXPECT_EQ(blue.imageMap.at("BUTTON_LOCK_ID").id, 128);
  EXPECT_EQ(blue.imageMap.size(), 74u + 33u);  // the style rows repeat no common key
  blue.ClearImageCache();
  blue.ClearImageCache();
  // The plug-in's own manager and the phoenix one still hold the shared ones.
  EXPECT_EQ(blue.imageMap.count("MAIN_BG_ID"), 1u);
  for (const char* key : {"IKNOBROTATERCONTROL_ID2", "MAIN_BG_ID"}) {
    const IBitmap bitmap = phoenix.getImageByName(g, key);
    EXPECT_NE(bitmap.mData, nullptr) << key;
  }
  EXPECT_NE(g->getImageById(700).mData, nullptr);  // kept decoded for the next instance
  const IBitmap missing = phoenix.getImageByName(g, "NO_SUCH_KEY");
  EXPECT_EQ(std::make_tuple(missing.mData, missing.W, missing.H, missing.N), std::make_tuple(nullptr, 0, 0, 1));
}

// Dropped and duplicated lines, attribute values of the wrong kind, and cut
// cipher text: the reading logs and goes on, never crashes.
TEST(DamagedDocuments, NeverCrashTheReading) {
  // The authored document without its value lists, which only the list reader reads.
  const std::string authored = readFile(AUTHORED_UICONFIG_XML);
  const size_t pages = authored.find("</valueLists>");
  ASSERT_NE(pages, std::string::npos);
  const std::string plain = "<uiconfig>\n" + authored.substr(pages + 13);
  std::mt19937 random(1234);
  const char* junk[] = {"", "x", "-1", "2147483647", "-2147483648", "99999999999", "1e9", "true", ",,,", "+", "k+"};
  for (int round = 0; round < 4; ++round) {
    Lines lines;
    std::istringstream in(plain);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (int m = 0; m < 6; ++m) {
      const size_t at = random() % lines.size();
      switch (random() % 3) {
        case 0: lines.erase(lines.begin() + static_cast<long>(at)); break;
        case 1: lines.insert(lines.begin() + static_cast<long>(at), lines[at]); break;
        default: {
          std::string& line = lines[at];
          const size_t quote = line.find('"');
          const size_t end = quote == std::string::npos ? quote : line.find('"', quote + 1);
          if (end != std::string::npos) line.replace(quote + 1, end - quote - 1, junk[random() % std::size(junk)]);
        }
      }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    std::string tea = encipheredForTest(text);
    if (round % 4 == 3) tea.resize(random() % tea.size());
    TestBundle bundle(tea);
    Reading r(bundle.dir.path);
  }
}
}  // namespace
