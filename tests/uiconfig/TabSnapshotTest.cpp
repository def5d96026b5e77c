// One page as a user reaches it: the editor opened on the headless view, the
// part and main tabs switched through the plug-in, the frame written for a
// person to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DataFolder.h"

#include "IGraphicsLinux.h"
#include "PngWrite.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "lice.h"

namespace {
TEST(TabSnapshot, FiltersPageOfPartFiveThroughTheTabs) {
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  Tarnivex& plug = *logged.plug;
  auto* g = static_cast<IGraphicsLinux*>(plug.GetGUI());
  int parent = 0;
  ASSERT_NE(g->OpenWindow(&parent), nullptr);
  const std::pair<int, double> settings[] = {{kFilter1Type + 4, 9},   {kFilter2Type + 4, 5}, {kFilterEnvMode + 4, 1},
                                             {kAmpEnvMode + 4, 3},    {kFilter1Cutoff + 4, 90}};
  for (const auto& [idx, value] : settings) plug.GetParam(idx)->Set(value);
  plug.GetParam(kQuickTab)->Set(4);
  plug.OnParamChange(kQuickTab);
  plug.GetParam(kMainTab)->Set(3);
  plug.OnParamChange(kMainTab);
  g->SetParameterFromPlug(kFilter1Cutoff + 4, 90, false);
  g->SetParameterFromPlug(kMainTab, 3, false);
  g->SetParameterFromPlug(kQuickTab, 4, false);
  IRECT all(0, 0, g->Width(), g->Height());
  g->Draw(&all);
  std::filesystem::create_directories(TARNIVEX_SCREENSHOT_DIR);
  std::string error;
  EXPECT_TRUE(imagegen::writePng(g->GetDrawBitmap(), std::string(TARNIVEX_SCREENSHOT_DIR) + "/filters-part5.png", error))
      << error;
  // Part 5's copy is the one shown, with its filter-type layers.
  EXPECT_EQ(plug.currentPart, 4);
  EXPECT_FALSE(plug.namedLayer("filter1CombMinus")->IsHidden());
  EXPECT_FALSE(plug.namedLayer("filter2HP")->IsHidden());
  EXPECT_TRUE(plug.namedLayer("filter1LP")->IsHidden());
  g->CloseWindow();
}

// Every main page, reached through the main tab, at each size and scheme.
TEST(TabSnapshot, EveryMainPageAtEverySizeAndScheme) {
  std::filesystem::create_directories(TARNIVEX_SCREENSHOT_DIR);
  for (const char* scheme : {"yellow", "blue", "phoenix"})
    for (const auto& [size, scale] : {std::pair{"small", 0.85}, std::pair{"normal", 1.0}, std::pair{"large", 1.15}}) {
      SCOPED_TRACE(std::string(scheme) + " " + size);
      std::filesystem::create_directories(getDataFolder());
      std::ofstream(getSettingsPath()) << scheme << "\n" << size << "\nyes\n\n";
      LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
      IGraphics* g = logged.plug->GetGUI();
      ASSERT_EQ(g->Width(), static_cast<int>(1500 * scale));
      int parent = 0;
      ASSERT_NE(g->OpenWindow(&parent), nullptr);
      for (int tab = 0; tab < 6; ++tab) {
        logged.plug->GetParam(kMainTab)->Set(tab);
        logged.plug->OnParamChange(kMainTab);
        IRECT all(0, 0, g->Width(), g->Height());
        g->Draw(&all);
        std::string error;
        const std::string name = "tab" + std::to_string(tab) + "-" + scheme + "-" + size + ".png";
        EXPECT_TRUE(imagegen::writePng(g->GetDrawBitmap(), std::string(TARNIVEX_SCREENSHOT_DIR) + "/" + name, error))
            << error;
      }
      g->CloseWindow();
    }
  std::filesystem::remove(getSettingsPath());
}
}  // namespace
