// What each main page looks like with part 1 showing, with one of each kind
// of sub-page shown: drawn headless into the window bitmap and held against
// its stored reference.
#include <gtest/gtest.h>

#include "ControlLayer.h"
#include "IGraphics.h"
#include "SnapshotReference.h"
#include "TestSupport.h"
#include "UIConfigManager.h"
#include "lice.h"

namespace {
struct Page {
  int tab;
  const char* background;  // the image key that fills the page area
  std::vector<const char*> shown;  // more layers shown with the page
  int probeX = 5;  // page x of a point that no section or pane covers
};

TEST(PageSnapshots, EveryMainPageDrawsItsBackgroundAndSubPages) {
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  IGraphics* g = logged.plug->GetGUI();
  UIConfigManager& ui = *logged.plug->uiConfigManager;
  const Page pages[] = {
      {0, "MULTI_MIXER_BG_ID", {"multiModeSettingsPage1"}},
      {1, "BG_ID_BROWSER", {}, 1075},
      {2, "OSCILLATORS_ID", {"miniMixer", "osc1PulseWidth", "osc1Wave", "osc2PulseWidth", "osc2Wave", "osc3PulseWidth"}},
      {3, "FILTERS_ENV_ID", {"miniMixer", "filter1LP", "filter2BP", "filterEnvADSR", "ampEnvADSD2S2R", "env3OneShot", "env4LoopAll"}},
      {4, "LFO_MODMATRIX_ID", {"miniMixer"}},
      {5, "EFFECTS_ID", {"miniMixer", "effect1Chorus", "effect2Delay"}},
  };
  for (const Page& page : pages) {
    SCOPED_TRACE(page.tab);
    for (int i = 0; i < g->NLayers(); ++i) g->GetLayer(i)->Hide(true);
    ControlLayer* root = ui.layerMap.at("root");
    root->selectedNumber = page.tab;
    root->Hide(false);
    // Sub-pages are looked for in part 1's copy (the map names the last
    // copy's), other layers in the map.
    const ControlLayer* tabPage = root->subLayers()[static_cast<size_t>(page.tab)].get();
    for (const char* name : page.shown) {
      ControlLayer* layer = ui.layerMap.at(name);
      if (!tabPage->subLayers().empty())
        for (const auto& sub : tabPage->subLayers()[0]->subLayers())
          if (sub->GetName() == name) layer = sub.get();
      layer->Hide(false);
    }
    IRECT all(0, 0, g->Width(), g->Height());
    g->Draw(&all);
    LICE_IBitmap* drawn = g->GetDrawBitmap();
    ASSERT_NE(drawn, nullptr);
    const std::string differs = snapshots::compare(drawn, "subpages-" + std::to_string(page.tab) + ".png");
    EXPECT_TRUE(differs.empty()) << differs;
    // A point of the page area that no section covers shows the page's image.
    const IBitmap background = ui.getImageByName(g, page.background);
    ASSERT_NE(background.mData, nullptr);
    EXPECT_EQ(LICE_GetPixel(drawn, 70 + page.probeX, 64 + 300) | 0xFF,
              LICE_GetPixel(background.mData, page.probeX, 300) | 0xFF);
  }
}
}  // namespace
