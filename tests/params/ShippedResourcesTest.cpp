// The two documents the build enciphers into the bundle.
#include <gtest/gtest.h>

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "DisplayRules.h"
#include "ParamIndex.h"
#include "SysExDefinitions.h"
#include "TestSupport.h"
#include "UIConfigManager.h"
#include "ValueListCatalogue.h"

namespace {
const std::vector<std::string> kFramingLines = {
    "CONFIG READER: Started to read SysEx Data...", "CONFIG READER: Completed reading SysEx data!",
    "CONFIG READER: Started to read image resources...", "CONFIG READER: Completed!",
    "CONFIG READER: Started to initialize parameters...", "CONFIG READER: Completed!"};

class ShippedResources : public testing::Test {
 protected:
  void SetUp() override {
    manager.readUIConfig(logged.plug->GetGUI(), logged.plug.get(), nullptr, 0, 1.0);
  }

  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager manager;
};

TEST_F(ShippedResources, LoadWithNoComplaintInTheDebugLog) {
  EXPECT_EQ(logged.messages(), kFramingLines);
  EXPECT_EQ(manager.paramNameMap.size(), 707u);
  EXPECT_EQ(manager.sysexContainers.size(), 703u);
  // The bundle carries the repository's document, and the plug-in's own
  // manager read it at start-up.
  ValueLists plain;
  readValueLists(ParsedDocument(readFile(std::string(TARNIVEX_RESOURCE_SOURCES) + "/valuelists.xml")).document, plain);
  EXPECT_EQ(manager.valueLists, plain);
  EXPECT_EQ(logged.plug->uiConfigManager->valueLists, plain);
  EXPECT_EQ(logged.plug->uiConfigManager->sysexContainers.size(), manager.sysexContainers.size());
}

TEST_F(ShippedResources, EveryListTheProgramNamesIsThereAndLongEnough) {
  int n = 0;
  const ValueListSpec* specs = valueListCatalogue(&n);
  std::set<std::string> catalogued;
  for (int i = 0; i < n; ++i) {
    catalogued.insert(specs[i].name);
    const auto it = manager.valueLists.find(specs[i].name);
    ASSERT_NE(it, manager.valueLists.end()) << specs[i].name;
    EXPECT_GE(it->second.size(), static_cast<size_t>(specs[i].size)) << specs[i].name;
    for (const std::string& text : it->second) EXPECT_FALSE(text.empty() || text == " ") << specs[i].name;
  }
  int nRules = 0;
  const DisplayRule* rules = displayRules(&nRules);
  for (int r = 0; r < nRules; ++r) EXPECT_TRUE(!rules[r].list || catalogued.count(rules[r].list)) << rules[r].list;
  EXPECT_EQ(catalogued.count("clockedValues"), 1u);
  // The filter types name the comb filters as the filter pages show them:
  // type 9 brings up the minus comb's panel, type 10 the plus comb's.
  const std::vector<std::string>& filterTypes = manager.valueLists.at("filter1Type");
  ASSERT_GE(filterTypes.size(), 11u);
  EXPECT_EQ(filterTypes[9], "Comb -");
  EXPECT_EQ(filterTypes[10], "Comb +");
  // The clock reads the tempo from the start of each text.
  const std::vector<std::string>& tempos = manager.valueLists.at("tempoValues");
  for (size_t i = 0; i < tempos.size(); ++i) {
    ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(tempos[i][0]))) << tempos[i];
    EXPECT_EQ(std::stoi(tempos[i]), 65 + static_cast<int>(i));
  }
}

// A template as its parameter's name, command and position.
struct Template {
  std::string param;
  int part;
  std::vector<int> bytes;
};

std::vector<Template> shippedTemplates() {
  const std::string plain = readFile(std::string(TARNIVEX_RESOURCE_SOURCES) + "/sysex.xml");
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  document.Parse(plain.c_str());
  std::vector<Template> out;
  const tinyxml2::XMLElement* root = document.FirstChildElement("sysexlist");
  for (const tinyxml2::XMLElement* e = root ? root->FirstChildElement() : nullptr; e; e = e->NextSiblingElement())
    out.push_back({e->Attribute("param") ? e->Attribute("param") : "", e->IntAttribute("part", -1),
                   parseSysExTemplate(e->FirstChildElement("values")->FirstChildElement("value")->GetText())});
  return out;
}

TEST_F(ShippedResources, EveryTemplateHasTheFormOfItsMessageKind) {
  // Command, length, the page/number positions the dump of that kind has,
  // and the parameter names it serves.
  const struct {
    int command;
    size_t length;
    int first, last;
    const char* prefix;
  } kinds[] = {{0x20, 8, 1, 358, nullptr}, {0x21, 7, 0, 377, "kMulti"}, {0x24, 7, 0, 199, "kGlobal"}};
  const std::vector<Template> templates = shippedTemplates();
  ASSERT_EQ(templates.size(), manager.sysexContainers.size());
  for (size_t i = 0; i < templates.size(); ++i) {
    const Template& t = templates[i];
    SCOPED_TRACE(t.param);
    ASSERT_NE(sysExTemplate(manager.sysexContainers[i]), nullptr);
    EXPECT_EQ(parseSysExTemplate(*sysExTemplate(manager.sysexContainers[i])), t.bytes);
    EXPECT_TRUE(manager.paramNameMap.count(t.param));
    ASSERT_GE(t.bytes.size(), 7u);
    for (int b : t.bytes) EXPECT_TRUE(b >= 0 && b < 0x80);
    EXPECT_EQ(std::vector<int>(t.bytes.begin(), t.bytes.begin() + 3),
              (std::vector<int>{0x3E, 0x10, kTemplateDeviceByte}));
    EXPECT_EQ(t.bytes.back(), 0);
    const auto kind =
        std::find_if(std::begin(kinds), std::end(kinds), [&](const auto& k) { return k.command == t.bytes[3]; });
    ASSERT_NE(kind, std::end(kinds)) << "command " << t.bytes[3];
    ASSERT_EQ(t.bytes.size(), kind->length);
    const int position = t.bytes[t.bytes.size() - 3] * 128 + t.bytes[t.bytes.size() - 2];
    EXPECT_GE(position, kind->first);
    EXPECT_LE(position, kind->last);
    for (const char* prefix : {"kMulti", "kGlobal"})
      EXPECT_EQ(t.param.rfind(prefix, 0) == 0, kind->prefix && std::string(kind->prefix) == prefix);
    if (t.bytes[3] == 0x20) {
      EXPECT_EQ(t.bytes[4], 0);  // the part byte the editor fills in
      EXPECT_EQ(t.part, -1);
    }
  }
}

TEST_F(ShippedResources, AddressesMatchTheInstrumentsParameterNumbers) {
  using B = std::vector<int>;
  std::map<std::pair<std::string, int>, B> byName;
  std::map<B, std::vector<std::string>> byAddress;
  for (const Template& t : shippedTemplates()) {
    EXPECT_TRUE(byName.emplace(std::make_pair(t.param, t.part), t.bytes).second) << t.param;
    byAddress[t.bytes].push_back(t.param);
  }
  auto bytesOf = [&](const std::string& param, int part = -1) { return byName[{param, part}]; };
  // After 3E 10 00 (every template's): command, [part,] page, number, value.
  const std::pair<const char*, B> literal[] = {
      {"kOscillator1Octave", {0x20, 0, 0, 1, 0}},    {"kOscillatorUnisono", {0x20, 0, 0, 58, 0}},
      {"kEnvelope4Mode", {0x20, 0, 1, 104, 0}},      {"kFilterEnvMode", {0x20, 0, 1, 68, 0}},
      {"kArpPattern05Step", {0x20, 0, 2, 0x4B, 0}},  {"kArpPattern01Timing", {0x20, 0, 2, 87, 0}},
      {"kEffect1Mode", {0x20, 0, 1, 0, 0}},          {"kEffect2Mode", {0x20, 0, 1, 16, 0}},
      {"kEffect2Param14", {0x20, 0, 1, 31, 0}},      {"kMultiTempo", {0x21, 0, 5, 0}},
      {"kMultiMasterVolume", {0x21, 0, 0, 0}},       {"kGlobalTuning", {0x24, 0, 5, 0}},
      {"kGlobalTranspose", {0x24, 0, 6, 0}},         {"kGlobalTxProgramChange", {0x24, 0, 74, 0}},
  };
  for (const auto& [name, bytes] : literal) {
    const B all = bytesOf(name);
    EXPECT_EQ(B(all.begin() + std::min<size_t>(3, all.size()), all.end()), bytes) << name;
  }
  // Packed bytes and effect views share the address of their byte or slot.
  const std::pair<const char*, const char*> shared[] = {
      {"kOscillatorMonoPolyMode", "kOscillatorUnisono"}, {"kEnv4Trigger", "kEnvelope4Mode"},
      {"kArpPattern05Glide", "kArpPattern05Step"},       {"kFX2ReverbSize", "kEffect2Param01"},
      {"kFX2DelaySyncedLength", "kEffect2Param11"},      {"kFX1VocoderEQHighBandLevel", "kEffect1Param14"}};
  for (const auto& [name, other] : shared) EXPECT_EQ(bytesOf(name), bytesOf(other)) << name;
  auto packed = [](const std::string& name) {
    return name == "kOscillatorUnisono" || name.find("Trigger") != std::string::npos ||
           name.find("Mode") != std::string::npos || name.rfind("kArpPattern", 0) == 0 ||
           name.rfind("kFX", 0) == 0 || name.rfind("kEffect", 0) == 0;
  };
  for (const auto& [address, params] : byAddress)
    for (const std::string& p : params) EXPECT_TRUE(params.size() == 1 || packed(p)) << p;
  // A part's bank and program open its 22-byte block at 32 + 22p.
  for (int p = 0; p < 16; ++p) {
    const int bank = 32 + 22 * p;
    EXPECT_EQ(bytesOf("kMultiPartBank", p), (B{0x3E, 0x10, 0, 0x21, bank / 128, bank % 128, 0})) << p;
    EXPECT_EQ(bytesOf("kMultiPartPatch", p), (B{0x3E, 0x10, 0, 0x21, (bank + 1) / 128, (bank + 1) % 128, 0})) << p;
  }
  EXPECT_EQ(bytesOf("kMultiPartPatch", 7), (B{0x3E, 0x10, 0, 0x21, 1, 59, 0}));
}
}  // namespace
