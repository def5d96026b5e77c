// The pages as a user reaches them: the editor opened on the headless view,
// the main tab switched through the plug-in, each frame written for a person
// to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>

#include "DataFolder.h"

#include "IGraphics.h"
#include "PngWrite.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "lice.h"

namespace {
// Every main page, reached through the main tab, at each size and scheme.
TEST(TabSnapshot, EveryMainPageAtEverySizeAndScheme) {
  std::filesystem::create_directories(TARNIVEX_SCREENSHOT_DIR);
  // A settings file of its own: the other editors of this test program open
  // with the default size and scheme while this one runs.
  const std::string data = std::string(TARNIVEX_SCREENSHOT_DIR) + "/../test-data/tab-snapshot";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
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
