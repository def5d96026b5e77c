// The tab switches on the real plug-in: which pages, zones and selectors
// show, and when a part change sends the part's sound.
#include "ControlLayer.h"
#include "EditorTestSupport.h"
#include "TabSwitchFunctions.h"

namespace {
class TabSwitchTest : public EditorTest {
 protected:
  TabSwitchTest() {
    makePlug();
    root = page("root", 0);
    // The main pages sit under "root" at list position = tab; the part pages
    // hold a copy per part, and the copies hold the zones and sub-pages.
    const char* tabs[] = {"multiMode", "patchLibrarian", "oscillators", "filtersEnvelopes", "lfoModMatrix", "effectsArp"};
    for (int tab = 0; tab < 6; ++tab) {
      ControlLayer* p = root->AttachLayer(std::make_unique<ControlLayer>(tab, tabs[tab]));
      plug->pageLayers[tabs[tab]] = p;
      if (tab >= 2) addCopies(p);
    }
    addCopies(page("delayFreeLayer", 0));
    addCopies(page("delayClockedLayer", 0));
    for (const char* name : {"miniMixer", "multiModeSettingsPage1", "multiModeSettingsPage2", "categoryLimit",
                             "searchField", "saveChangesLayer", "discardChangesLayerRight", "keepBankOpenLayer",
                             "bankAndProgramMulti"})
      page(name, 0);
    for (int p = 1; p <= 16; ++p) page(p < 10 ? "bankAndProgram0" + std::to_string(p) : "bankAndProgram" + std::to_string(p), 0);
    for (const char* type : {"LP", "BP", "HP", "Notch", "CombMinus", "CombPlus"}) {
      page(std::string("filter1") + type, 0);
      page(std::string("filter2") + type, 0);
    }
    for (int p = 0; p < 16; ++p)
      for (int base : {kOscillator1Shape, kOscillator2Shape, kOscillator3Shape, kFilter1Type, kFilter2Type, kEffect1Mode,
                       kEffect2Mode, kFX2DelayClocked})
        param(base + p)->InitInt("", 0, 0, 127);
    param(kGlobalFX2Link)->InitInt("", 0, 0, 16);
    param(kMultiSettings)->InitInt("", 0, 0, 1);
    plug->randomizeControl = &randomize;
    plug->midiMessageManager->jobObserver = [this](JobThread, const SenderJob& job) {
      std::lock_guard<std::mutex> lock(jobsMutex);
      jobs.push_back({job.jobCode, job.partArgument});
    };
  }
  void addCopies(ControlLayer* p) {
    for (int part = 0; part < 16; ++part) {
      ControlLayer* copy = p->AttachLayer(std::make_unique<ControlLayer>(part, p->GetName() + std::to_string(part)));
      for (int id : {10, 11, 12, 20, 21, 30, 31, 40, 50, 300, 307, 308})
        copy->AttachLayer(std::make_unique<ControlLayer>(id, "zone"))
            ->AttachControl(std::make_unique<IInvisibleSwitchControl>(plug.get(), IRECT(), -1));
    }
  }
  ControlLayer* page(const std::string& name, int id) {
    owned.push_back(std::make_unique<ControlLayer>(id, name));
    plug->pageLayers[name] = owned.back().get();
    return owned.back().get();
  }
  ControlLayer* layer(const std::string& name) { return plug->pageLayers[name]; }
  bool greyed(const char* page, int part, int id) { return zone(page, part, id)->controls().front()->IsGrayed(); }
  ControlLayer* zone(const char* page, int part, int id) {
    for (const auto& sub : layer(page)->subLayers()[static_cast<size_t>(part)]->subLayers())
      if (sub->GetID() == id) return sub.get();
    return nullptr;
  }
  // The shown layers among the names, as one letter each.
  std::string shown(std::initializer_list<std::string> names) {
    std::string out;
    for (const auto& name : names) out += layer(name)->IsHidden() ? 'h' : 's';
    return out;
  }

  ControlLayer* root = nullptr;
  std::vector<std::unique_ptr<ControlLayer>> owned;
  IInvisibleSwitchControl randomize{nullptr, IRECT(), kRandomize};
  std::mutex jobsMutex;
  std::vector<std::pair<int, int>> jobs;
};

TEST_F(TabSwitchTest, OnTheMultiPageAPartChangeOnlySwitchesTheSelector) {
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 0, 0, 0);
  plug->partChangeSend = false;
  plug->tabSwitchFunctions->quickTabSwitch(plug.get(), kQuickTab, 4, 0, true);
  EXPECT_EQ(shown({"bankAndProgram04", "bankAndProgram05", "bankAndProgram01", "bankAndProgramMulti"}), "hshh");
  EXPECT_FALSE(plug->partChangeSend);
  settle();
  EXPECT_TRUE(jobs.empty());
}

TEST_F(TabSwitchTest, OscillatorZonesFollowTheShapes) {
  struct Row {
    int shape1, shape2, shape3;
    const char* grey;  // zones 10, 20, 30, 40, 50: g greyed, a active
  };
  const Row table[] = {{1, 3, 1, "aggga"}, {6, 5, 0, "aaaag"}, {2, 1, 2, "ggagg"}};
  for (const Row& row : table) {
    param(kOscillator1Shape + 3)->Set(row.shape1);
    param(kOscillator2Shape + 3)->Set(row.shape2);
    param(kOscillator3Shape + 3)->Set(row.shape3);
    plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 2, 0, 3);
    std::string grey;
    for (int id : {10, 20, 30, 40, 50}) grey += greyed("oscillators", 3, id) ? 'g' : 'a';
    EXPECT_EQ(grey, row.grey) << row.shape1 << "/" << row.shape2;
    EXPECT_FALSE(layer("oscillators")->subLayers()[3]->IsHidden());
    EXPECT_TRUE(layer("oscillators")->subLayers()[2]->IsHidden());
  }
}

TEST_F(TabSwitchTest, FilterTypeLayers) {
  const std::pair<int, const char*> table[] = {{0, "hhhhhh"}, {9, "hhhhsh"}, {1, "shhhhh"}, {12, "shhhhh"},
                                               {4, "hshhhh"}, {6, "hhshhh"}, {8, "hhhshh"}, {10, "hhhhhs"}};
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 3, 0, 1);
  for (const auto& [type, expected] : table) {
    param(kFilter2Type + 1)->Set(type);
    param(kQuickTab)->Set(1);
    plug->tabSwitchFunctions->quickTabSwitch(plug.get(), kQuickTab, 1, 0, false);
    EXPECT_EQ(shown({"filter2LP", "filter2BP", "filter2HP", "filter2Notch", "filter2CombMinus", "filter2CombPlus"}),
              expected)
        << type;
  }
}

TEST_F(TabSwitchTest, DelaySubPageOfTheEffectTwoOwner) {
  param(kGlobalFX2Link)->Set(3);
  param(kEffect2Mode + 2)->Set(7);
  param(kFX2DelayClocked + 2)->Set(1);
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 5, 0, 9);
  EXPECT_EQ(shown({"delayClockedLayer", "delayFreeLayer"}), "sh");
  EXPECT_FALSE(zone("effectsArp", 2, 307)->IsHidden());
  EXPECT_TRUE(zone("effectsArp", 2, 308)->IsHidden());
  EXPECT_FALSE(zone("delayClockedLayer", 2, 307)->IsHidden());
  EXPECT_EQ(layer("effectsArp")->selectedNumber, 9);
}

TEST_F(TabSwitchTest, PartChangeOnAPageSendsASharedPartAloneAnEditOnlyRefreshes) {
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 2, 0, 0);
  setParam(kQuickTab, 5);
  settle();
  EXPECT_TRUE(jobs.empty());  // a fresh editor's defaults stay home
  EXPECT_EQ(plug->currentPart, 5);
  setParam(kOscillator1Shape + 5, 6);
  settle();
  EXPECT_TRUE(jobs.empty());
  EXPECT_FALSE(greyed("oscillators", 5, 20));
  // One value edited makes no whole sound the instrument holds.
  setParam(kQuickTab, 0);
  setParam(kQuickTab, 5);
  settle();
  EXPECT_TRUE(jobs.empty());
  EXPECT_TRUE(arrivedAtInstrument().empty());
  // A name typed sends the part's whole sound; from then on a click sends it.
  setParam(kPatchName + 5, 0);
  settle();
  EXPECT_EQ(jobs, (std::vector<std::pair<int, int>>{{2, 5}}));
  jobs.clear();
  setParam(kQuickTab, 0);
  setParam(kQuickTab, 5);
  settle();
  EXPECT_EQ(jobs, (std::vector<std::pair<int, int>>{{2, 5}}));  // the shared part, never the multi
}

TEST_F(TabSwitchTest, MainTabSelectorsRandomizeAndMixer) {
  struct Row {
    int tab;
    bool multi, randomizeGrey;
    const char* shown;  // miniMixer, bankAndProgram03, bankAndProgramMulti, multiModeSettingsPage1
  };
  const Row table[] = {{0, false, true, "hshs"}, {1, false, true, "sshh"}, {2, true, false, "shsh"},
                       {5, false, false, "sshh"}};
  for (const Row& row : table) {
    plug->multiMode = row.multi;
    plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, row.tab, 0, 2);
    EXPECT_EQ(randomize.IsGrayed(), row.randomizeGrey) << row.tab;
    EXPECT_EQ(shown({"miniMixer", "bankAndProgram03", "bankAndProgramMulti", "multiModeSettingsPage1"}), row.shown)
        << row.tab;
    EXPECT_EQ(root->selectedNumber, row.tab);
  }
}

// A part switch shows the part's copy of a part page; a page's own layers
// (the librarian's, ids from 91) are no part's copy and stay shown.
TEST_F(TabSwitchTest, APartSwitchLeavesThePagesOwnLayers) {
  ControlLayer* own = root->subLayers()[1]->AttachLayer(std::make_unique<ControlLayer>(91, "own"));
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 1, 0, 0);
  own->Hide(false);  // as the page's refresh shows its layers
  for (const int part : {3, 15}) {
    plug->tabSwitchFunctions->quickTabSwitch(plug.get(), kQuickTab, part, 0, false);
    EXPECT_FALSE(own->IsHidden()) << part;
  }
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 2, 0, 0);
  plug->tabSwitchFunctions->quickTabSwitch(plug.get(), kQuickTab, 15, 0, false);
  EXPECT_FALSE(layer("oscillators")->subLayers()[15]->IsHidden());
  EXPECT_TRUE(layer("oscillators")->subLayers()[0]->IsHidden());
}

TEST_F(TabSwitchTest, EffectModesPickTheirSubPageOnTheEffectsPage) {
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 5, 0, 2);
  setParam(kEffect1Mode + 2, 2);
  EXPECT_FALSE(zone("effectsArp", 2, 12)->IsHidden());
  EXPECT_TRUE(zone("effectsArp", 2, 11)->IsHidden());
  setParam(kEffect2Mode + 2, 8);
  EXPECT_FALSE(zone("effectsArp", 2, 308)->IsHidden());
  EXPECT_TRUE(zone("effectsArp", 2, 307)->IsHidden());
}

TEST_F(TabSwitchTest, MissingPagesAreSkippedAndLoggedOnce) {
  plug->pageLayers.erase("oscillators");
  plug->pageLayers.erase("miniMixer");
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 2, 0, 1);
  plug->tabSwitchFunctions->mainTabSwitch(plug.get(), kMainTab, 2, 0, 1);
  const std::string log = debugLog();
  const std::string line = "CONFIG READER: layer oscillators MISSING!";
  ASSERT_NE(log.find(line), std::string::npos);
  EXPECT_EQ(log.find(line), log.rfind(line));
}
}  // namespace
