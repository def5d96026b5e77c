// The authored document against the instrument: every parameter the SysEx
// definitions address has a control that sends it, in every part.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "ControlAction.h"
#include "IParam.h"
#include "ParamIndex.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
TEST(DocumentCoverage, EveryInstrumentParameterHasAControlThatSendsIt) {
  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager& ui = *logged.plug->uiConfigManager;
  tinyxml2::XMLDocument sysex;
  ASSERT_EQ(sysex.LoadFile(TARNIVEX_SOURCE_RESOURCES "/sysex.xml"), tinyxml2::XML_SUCCESS);
  std::vector<std::string> uncovered;
  int checked = 0;
  for (const auto* e = sysex.RootElement()->FirstChildElement("sysex"); e; e = e->NextSiblingElement("sysex")) {
    const std::string name = e->Attribute("param");
    // The numbered effect slots are sent through the effect types' own
    // parameters, which address the same bytes.
    if (name.rfind("kEffect1Param", 0) == 0 || name.rfind("kEffect2Param", 0) == 0) continue;
    // Bank and program menus show numbers; the program change path sends them.
    if (name == "kMultiPartBank" || name == "kMultiPartPatch") continue;
    const int base = ui.paramNameMap.count(name) ? ui.paramNameMap.at(name) : -1;
    ASSERT_GE(base, 0) << name;
    const char* part = e->Attribute("part");
    const std::string bytes = e->FirstChildElement("values")->FirstChildElement("value")->GetText();
    const bool sound = bytes.find("3E 10 00 20") == 0;
    std::vector<int> indexes;
    if (part) indexes.push_back(base + std::atoi(part));
    else if (sound) for (int p = 0; p < 16; ++p) indexes.push_back(base + p);
    else indexes.push_back(base);
    for (int idx : indexes) {
      ++checked;
      const auto* action = static_cast<ControlAction*>(logged.plug->GetParam(idx)->GetControlAction());
      const std::string what = name + "+" + std::to_string(idx - base);
      if (!action || action->controls.empty())
        uncovered.push_back(what);
      else if (action->actionType < ControlAction::kSysExSwitch || action->sysex.messages.empty())
        uncovered.push_back(what + " sends nothing");
    }
  }
  EXPECT_GT(checked, 5000);
  EXPECT_EQ(uncovered, std::vector<std::string>{});
  for (const std::string& line : logged.messages()) EXPECT_EQ(line.find("MISSING"), std::string::npos) << line;
}
}  // namespace
