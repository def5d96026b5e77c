// The index space, the name table and its registration.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "DebuggerOutput.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
bool isCountName(const std::string& name) { return name == "kNumAutomatedParams" || name == "kNumNonAutomatedParams"; }

TEST(ParamIndex, TheTableCoversEveryIndexOnceExceptTheUnnamedOnes) {
  std::vector<int> owners(kParamCount, 0);
  std::set<std::string> names;
  for (const ParamNameEntry& entry : kParamNameTable) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_TRUE(entry.span == 1 || entry.span == kParamBlockSpan) << entry.name;
    if (isCountName(entry.name)) continue;
    for (int i = entry.index; i < entry.index + entry.span; ++i) ++owners.at(i);
  }
  EXPECT_EQ(names.size(), 707u);
  const std::set<int> unnamed = {4737, 4738, 4739, 4740, 4741, 4742, 4743, 4744, 4745, 4746,
                                 4747, 4748, 4749, 4750, 4751, 4752, 8688, 8806, 8807};
  for (int i = 0; i < kParamCount; ++i) {
    EXPECT_EQ(owners[i], unnamed.count(i) ? 0 : 1) << i;
    EXPECT_EQ(FindParamEntry(i) == nullptr, unnamed.count(i) == 1) << i;
  }
}

TEST(ParamIndex, LiteralIndicesOfTheProgramReadAsTheirNames) {
  EXPECT_EQ(kNumAutomatedParams, 1648);
  EXPECT_EQ(kPatchFileDialog, 1648);
  EXPECT_EQ(kNumNonAutomatedParams, kCategoryName + 6);
  EXPECT_EQ(kNumAutomatedParams + kNumNonAutomatedParams, kParamCount);
  EXPECT_EQ(kGlobalSysExID, 7590);
  EXPECT_EQ(kBankSelection, 7616);
  EXPECT_EQ(kPatchSelection, 7617);
  EXPECT_EQ(kQModel, 7651);
  EXPECT_EQ(kDeviceOutSelection, 8786);
  EXPECT_EQ(kDeviceInSelection, 8787);
  EXPECT_EQ(kDatatype, 9277);
  EXPECT_EQ(kMainTab, 9283);
  EXPECT_EQ(kQuickTab, 9285);
  EXPECT_EQ(kDebugParts, 9288);
  EXPECT_EQ(FindParamEntry(kFilter1Cutoff + 15)->index, kFilter1Cutoff);
  EXPECT_STREQ(FindParamEntry(kPatchFileDialog)->name, "kPatchFileDialog");
}

class NameTable : public testing::Test {
 protected:
  TempDir emptyResources;
  LoggedPlug logged{emptyResources.path()};
  UIConfigManager manager;

  void SetUp() override {
    manager.plug = logged.plug.get();
    manager.debuggerOutput = &logged.plug->debuggerOutput;
  }
};

TEST_F(NameTable, InitParamsRegistersEveryPairBetweenTwoLogLines) {
  manager.initParams();
  EXPECT_EQ(manager.paramNameMap.size(), 707u);
  EXPECT_EQ(logged.messages(), (std::vector<std::string>{"CONFIG READER: Started to initialize parameters...",
                                                         "CONFIG READER: Completed!"}));
  const struct {
    const char* name;
    int index;
  } lookups[] = {{"kNumAutomatedParams", 1648}, {"kPatchFileDialog", 1648}, {"kNumNonAutomatedParams", 7641},
                 {"kDebugParts", 9288},         {"kOscillator1Octave", 0},  {"kFilter1Cutoff", 576},
                 {"kFX1FlangerDepht", 3153},    {"kEnv3AttackLevel", 6081}, {"kDeviceID_old", 7652}};
  for (const auto& l : lookups) EXPECT_EQ(manager.getParamByName(l.name), l.index) << l.name;
  std::set<int> resolved;
  for (const auto& [name, index] : manager.paramNameMap) resolved.insert(index);
  for (int i : {591, 4737, 4752, 8688, 8806, 8807}) EXPECT_EQ(resolved.count(i), 0u) << i;
}

TEST_F(NameTable, AnUnknownOrMisspelledNameIsMinusOneAndLogged) {
  manager.initParams();
  logged.clearLog();
  EXPECT_EQ(manager.getParamByName("kFX1FlangerDetph"), -1);
  EXPECT_EQ(manager.getParamByName("kfx1FlangerDepht"), -1);
  EXPECT_EQ(logged.messages(), (std::vector<std::string>{"CONFIG READER: parameter kFX1FlangerDetph NOT FOUND!",
                                                         "CONFIG READER: parameter kfx1FlangerDepht NOT FOUND!"}));
  logged.plug->debugLogEnabled = false;
  EXPECT_EQ(manager.getParamByName("kNope"), -1);
  EXPECT_EQ(logged.messages().size(), 2u);
}

TEST_F(NameTable, ASecondRegistrationKeepsTheFirstIndex) {
  manager.mapParamToString("kFilter1Cutoff", 576);
  manager.mapParamToString("kFilter1Cutoff", 12);
  EXPECT_EQ(manager.getParamByName("kFilter1Cutoff"), 576);
  EXPECT_EQ(logged.messages(), (std::vector<std::string>{"CONFIG READER: parameter kFilter1Cutoff ALREADY EXISTS!"}));

  logged.plug->debugLogEnabled = false;
  manager.mapParamToString("kFilter1Cutoff", 13);
  manager.initParams();
  EXPECT_EQ(logged.messages().size(), 1u);
}

TEST_F(NameTable, ASecondInitParamsLeavesTheTableAndLogsEveryName) {
  manager.initParams();
  const auto before = manager.paramNameMap;
  logged.clearLog();
  manager.initParams();
  EXPECT_EQ(manager.paramNameMap, before);
  const std::vector<std::string> lines = logged.messages();
  ASSERT_EQ(lines.size(), 709u);
  EXPECT_EQ(lines.front(), "CONFIG READER: Started to initialize parameters...");
  EXPECT_EQ(lines[1], "CONFIG READER: parameter kOscillator1Octave ALREADY EXISTS!");
  EXPECT_EQ(lines.back(), "CONFIG READER: Completed!");
}

TEST(DebuggerOutput, OneStampedLineEchoedToStandardOutput) {
  TempDir dir;
  const std::string path = dir.file("log.txt");
  writeFile(path, "earlier\n");
  DebuggerOutput output;
  testing::internal::CaptureStdout();
  output.printDebugInfo(path, "CONFIG READER: Completed!");
  output.printDebugInfo(dir.file("missing/log.txt"), "lost");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Build LOG: \t CONFIG READER: Completed!\n");
  const std::string text = readFile(path);
  EXPECT_TRUE(std::regex_match(text, std::regex("earlier\n\\d{4}-\\d{2}-\\d{2}\\.\\d{2}:\\d{2}:\\d{2}\t "
                                                "CONFIG READER: Completed!\n")))
      << text;
}
}  // namespace
