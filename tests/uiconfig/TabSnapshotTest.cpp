// The pages as a user reaches them: the editor opened on the headless view at
// each size and colour scheme, each main page shown by clicking its tab, and
// the frame held against its stored reference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ControlLayer.h"
#include "EditorPages.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "SnapshotReference.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"
#include "lice.h"

namespace {
// The image that fills each page's area, shown where no section lies.
const char* pageImage(const editorpages::Page& page) {
  switch (page.tab) {
    case 0: return page.settingsFace ? "MULTI_SETTINGS_BG2_ID" : "MULTI_MIXER_BG_ID";
    case 1: return "BG_ID_BROWSER";
    case 2: return "OSCILLATORS_ID";
    case 3: return "FILTERS_ENV_ID";
    case 4: return "LFO_MODMATRIX_ID";
    default: return "EFFECTS_ID";
  }
}

TEST(TabSnapshot, EveryMainPageAtEverySizeAndSchemeMatchesItsReference) {
  for (const char* scheme : editorpages::kSchemes)
    for (const editorpages::Size& size : editorpages::kSizes) {
      editorpages::Editor editor(scheme, size);
      IGraphics& g = editor.graphics();
      ASSERT_EQ(g.Width(), static_cast<int>(1500 * size.scale));
      UIConfigManager& ui = *editor.plug().uiConfigManager;
      for (const editorpages::Page& page : editorpages::kPages) {
        const std::string name = std::string(page.name) + "-" + scheme + "-" + size.name + ".png";
        SCOPED_TRACE(name);
        editor.Show(page);
        // The page asked for is the one drawn: its tab is set, its page layer
        // the one shown, its face the one asked for, its image on screen.
        EXPECT_EQ(editor.plug().GetParam(kMainTab)->Int(), page.tab);
        EXPECT_EQ(editor.ShownTab(), page.tab);
        if (page.tab == 0) {
          EXPECT_EQ(ui.layerMap.at("multiModeSettingsPage2")->IsVisible(), page.settingsFace);
          EXPECT_EQ(ui.layerMap.at("multiModeSettingsPage1")->IsVisible(), !page.settingsFace);
        }
        const IBitmap image = ui.getImageByName(&g, pageImage(page));
        ASSERT_NE(image.mData, nullptr);
        const int px = editor.scaled(5), py = editor.scaled(300);
        EXPECT_EQ(LICE_GetPixel(g.GetDrawBitmap(), editor.scaled(70) + px, editor.scaled(64) + py) | 0xFF,
                  LICE_GetPixel(image.mData, px, py) | 0xFF);
        const std::string differs = snapshots::compare(g.GetDrawBitmap(), name);
        EXPECT_TRUE(differs.empty()) << differs;
      }
    }
}

TEST(TabSnapshot, AChangedFrameOrAMissingReferenceFailsAndSmallTextDifferencesPass) {
  // Whether or not references are being stored, this one is held.
  const char* updating = std::getenv("TARNIVEX_UPDATE_SNAPSHOTS");
  const std::string saved = updating ? updating : "";
  unsetenv("TARNIVEX_UPDATE_SNAPSHOTS");
  const std::string folder = ::testing::TempDir() + "/snapshot-references";
  std::filesystem::remove_all(folder);
  LICE_MemBitmap frame(200, 100);
  LICE_Clear(&frame, LICE_RGBA(40, 40, 48, 255));
  EXPECT_NE(snapshots::compare(&frame, "frame.png", folder).find("no reference"), std::string::npos);
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::string(TARNIVEX_SNAPSHOT_DIR) + "/frame.png", folder + "/frame.png");
  EXPECT_EQ(snapshots::compare(&frame, "frame.png", folder), "");
  // A few pixels of a glyph drawn otherwise, or a shade off: the same page.
  for (int x = 10; x < 30; ++x) LICE_PutPixel(&frame, x, 10, LICE_RGBA(255, 255, 255, 255), 1.0f, 0);
  for (int x = 0; x < 200; ++x) LICE_PutPixel(&frame, x, 50, LICE_RGBA(52, 52, 60, 255), 1.0f, 0);
  EXPECT_EQ(snapshots::compare(&frame, "frame.png", folder), "");
  // A control moved by a few pixels: another page.
  LICE_FillRect(&frame, 100, 40, 30, 20, LICE_RGBA(250, 214, 120, 255), 1.0f, 0);
  EXPECT_NE(snapshots::compare(&frame, "frame.png", folder).find("pixels differ"), std::string::npos);
  if (updating) setenv("TARNIVEX_UPDATE_SNAPSHOTS", saved.c_str(), 1);
}
}  // namespace
