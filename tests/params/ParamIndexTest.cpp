// The index space, the name table and its registration.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ParamIndex.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
using Lines = std::vector<std::string>;

TEST(ParamIndex, TheTableCoversEveryIndexOnceExceptTheUnnamedOnes) {
  std::vector<int> owners(kParamCount, 0);
  std::set<std::string> names;
  for (const ParamNameEntry& entry : kParamNameTable) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_TRUE(entry.span == 1 || entry.span == kParamBlockSpan) << entry.name;
    const std::string name = entry.name;
    if (name == "kNumAutomatedParams" || name == "kNumNonAutomatedParams") continue;  // counts, not parameters
    for (int i = entry.index; i < entry.index + entry.span; ++i) ++owners.at(i);
  }
  EXPECT_EQ(names.size(), 707u);
  std::set<int> unnamed = {8688, 8806, 8807};
  for (int i = 4737; i <= 4752; ++i) unnamed.insert(i);
  for (int i = 0; i < kParamCount; ++i) {
    EXPECT_EQ(owners[i], unnamed.count(i) ? 0 : 1) << i;
    EXPECT_EQ(FindParamEntry(i) == nullptr, unnamed.count(i) == 1) << i;
  }
  EXPECT_EQ(FindParamEntry(kFilter1Cutoff + 15)->index, kFilter1Cutoff);
}

class NameTable : public testing::Test {
 protected:
  TempDir emptyResources;
  LoggedPlug logged{emptyResources.path};
  UIConfigManager manager;

  void SetUp() override {
    manager.plug = logged.plug.get();
    manager.debuggerOutput = &logged.plug->debuggerOutput;
  }
};

TEST_F(NameTable, InitParamsRegistersEveryNameAtItsIndexBetweenTwoLogLines) {
  manager.initParams();
  EXPECT_EQ(manager.paramNameMap.size(), 707u);
  EXPECT_EQ(logged.messages(),
            (Lines{"CONFIG READER: Started to initialize parameters...", "CONFIG READER: Completed!"}));
  // Indices that stored projects and the documents rely on.
  const struct {
    const char* name;
    int index;
  } lookups[] = {{"kOscillator1Octave", 0},    {"kFilter1Cutoff", 576},      {"kNumAutomatedParams", 1648},
                 {"kPatchFileDialog", 1648},   {"kFX1FlangerDepht", 3153},   {"kEnv3AttackLevel", 6081},
                 {"kGlobalSysExID", 7590},     {"kBankSelection", 7616},     {"kPatchSelection", 7617},
                 {"kNumNonAutomatedParams", 7641}, {"kQModel", 7651},        {"kDeviceID_old", 7652},
                 {"kDeviceOutSelection", 8786}, {"kDeviceInSelection", 8787}, {"kDatatype", 9277},
                 {"kMainTab", 9283},           {"kQuickTab", 9285},          {"kDebugParts", 9288}};
  for (const auto& l : lookups) EXPECT_EQ(manager.getParamByName(l.name), l.index) << l.name;
  std::set<int> resolved;
  for (const auto& [name, index] : manager.paramNameMap) resolved.insert(index);
  for (int i : {591, 4737, 4752, 8688, 8806, 8807}) EXPECT_EQ(resolved.count(i), 0u) << i;
}

TEST_F(NameTable, UnknownNamesAndSecondRegistrationsAreLoggedAndChangeNothing) {
  manager.mapParamToString("kFilter1Cutoff", 12);
  manager.initParams();
  const auto before = manager.paramNameMap;
  EXPECT_EQ(manager.getParamByName("kFilter1Cutoff"), 12);  // the first registration stays
  logged.clearLog();
  EXPECT_EQ(manager.getParamByName("kFX1FlangerDetph"), -1);
  EXPECT_EQ(manager.getParamByName("kfx1FlangerDepht"), -1);
  manager.initParams();
  EXPECT_EQ(manager.paramNameMap, before);
  const Lines lines = logged.messages();
  ASSERT_EQ(lines.size(), 2u + 709u);
  EXPECT_EQ(lines[0], "CONFIG READER: parameter kFX1FlangerDetph NOT FOUND!");
  EXPECT_EQ(lines[1], "CONFIG READER: parameter kfx1FlangerDepht NOT FOUND!");
  EXPECT_EQ(lines[3], "CONFIG READER: parameter kOscillator1Octave ALREADY EXISTS!");
  EXPECT_EQ(lines.back(), "CONFIG READER: Completed!");
  logged.plug->debugLogEnabled = false;
  manager.initParams();
  EXPECT_EQ(manager.getParamByName("kNope"), -1);
  EXPECT_EQ(logged.messages().size(), lines.size());
}
}  // namespace
