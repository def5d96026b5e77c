// The authored document against the instrument: every parameter the SysEx
// definitions address has a control that sends it, in every part.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <functional>
#include <map>

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

// A parameter has one default: every control bound to it (a page's knob and
// the mixer strip's, say) starts it at the same value, wherever it sits.
TEST(DocumentCoverage, EveryControlOfAParameterGivesItTheSameDefault) {
  tinyxml2::XMLDocument document;
  ASSERT_EQ(document.LoadFile(AUTHORED_UICONFIG_XML), tinyxml2::XML_SUCCESS);
  std::map<std::string, std::map<std::string, std::string>> defaults;  // parameter: default, first control
  int bound = 0;
  std::function<void(const tinyxml2::XMLElement*)> walk = [&](const tinyxml2::XMLElement* e) {
    for (; e; e = e->NextSiblingElement()) {
      const char* param = e->Attribute("paramId");
      const char* bounds = e->Attribute("valueBounds");
      if (param && bounds) {
        std::string key = param;
        if (key.size() > 2 && key.ends_with("+0")) key.resize(key.size() - 2);
        const std::string text = bounds;
        const std::string first = text.substr(0, text.find(','));
        defaults[key].emplace(first, e->Attribute("name") ? e->Attribute("name") : e->Name());
        ++bound;
      }
      walk(e->FirstChildElement());
    }
  };
  walk(document.RootElement());
  EXPECT_GT(bound, 800);
  EXPECT_EQ(defaults.at("kMultiPartLevel+3").size(), 1u);
  for (const auto& [param, seen] : defaults) {
    if (seen.size() < 2) continue;
    std::string listed;
    for (const auto& [value, control] : seen) listed += " " + value + " (" + control + ")";
    ADD_FAILURE() << param << " starts at" << listed;
  }
}
}  // namespace
