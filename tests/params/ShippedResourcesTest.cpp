// The two documents the build enciphers into the bundle.
#include <gtest/gtest.h>

#include <tinyxml2.h>

#include <cctype>
#include <map>
#include <set>

#include "IControl.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "ResourceCipher.h"
#include "SysExDefinitions.h"
#include "TestSupport.h"
#include "UIConfigManager.h"
#include "ValueListCatalogue.h"

namespace {
const std::vector<std::string> kFramingLines = {
    "CONFIG READER: Started to read SysEx Data...", "CONFIG READER: Completed reading SysEx data!",
    "CONFIG READER: Started to initialize parameters...", "CONFIG READER: Completed!"};

class ShippedResources : public testing::Test {
 protected:
  void SetUp() override {
    manager.readUIConfig(logged.plug->GetGUI(), logged.plug.get(), nullptr, 0, 1.0);
  }

  LoggedPlug logged{TARNIVEX_BUNDLE_RESOURCES};
  UIConfigManager manager;
};

TEST_F(ShippedResources, TheBundleCarriesTheRepositoryDocumentsEnciphered) {
  for (const char* name : {"sysex", "uiconfig"}) {
    const std::string enciphered = readFile(std::string(TARNIVEX_BUNDLE_RESOURCES) + "/" + name + ".tea");
    const std::string plain = readFile(std::string(TARNIVEX_RESOURCE_SOURCES) + "/" + name + ".xml");
    ASSERT_FALSE(plain.empty()) << name;
    EXPECT_EQ(enciphered.size(), (plain.size() + 7) / 8 * 8) << name;
    EXPECT_LE(enciphered.size(), static_cast<size_t>(kMaxResourceSize)) << name;
    std::string text;
    decipherResource(enciphered.data(), static_cast<int>(enciphered.size()), text);
    EXPECT_EQ(std::string(text.c_str()), plain) << name;
  }
}

TEST_F(ShippedResources, LoadWithNoComplaintInTheDebugLog) {
  EXPECT_EQ(logged.messages(), kFramingLines);
  EXPECT_EQ(manager.paramNameMap.size(), 707u);
  EXPECT_EQ(manager.sysexContainers.size(), 703u);
  // The plug-in's own manager read the same documents at start-up.
  EXPECT_EQ(logged.plug->uiConfigManager->sysexContainers.size(), manager.sysexContainers.size());
  EXPECT_EQ(logged.plug->uiConfigManager->valueLists, manager.valueLists);
}

TEST_F(ShippedResources, ThePlugInShowsAChangeInItsTwoDisplays) {
  Tarnivex& plug = *logged.plug;
  ITextControl name(&plug), value(&plug);
  plug.paramNameDisplay = &name;
  plug.paramValueDisplay = &value;
  plug.GetParam(kLFO1Shape + 2)->InitEnum("[3] LFO 1 Shape", 0, 6);
  plug.GetParam(kLFO1Shape + 2)->Set(3);
  plug.OnParamChange2(kLFO1Shape + 2);
  EXPECT_EQ(name.GetText(), "[3] LFO 1 Shape");
  EXPECT_EQ(value.GetText(), "Saw [3]");
  plug.GetParam(kPatchName + 2)->InitEnum("[3] Name", 0, 2);
  plug.OnParamChange2(kPatchName + 2);
  EXPECT_EQ(name.GetText(), "[3] LFO 1 Shape");
  plug.paramNameDisplay = nullptr;
  plug.paramValueDisplay = nullptr;
}

TEST_F(ShippedResources, EveryCataloguedListIsLongEnough) {
  int n = 0;
  const ValueListSpec* specs = valueListCatalogue(&n);
  for (int i = 0; i < n; ++i) {
    const auto it = manager.valueLists.find(specs[i].name);
    ASSERT_NE(it, manager.valueLists.end()) << specs[i].name;
    EXPECT_GE(it->second.size(), static_cast<size_t>(specs[i].size)) << specs[i].name;
    for (const std::string& text : it->second) EXPECT_FALSE(text.empty() || text == " ") << specs[i].name;
  }
}

TEST_F(ShippedResources, TempoTextsBeginWithTheTempoTheClockSends) {
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

int position(const Template& t) {
  const size_t page = t.bytes.size() - 3;
  return t.bytes[page] * 128 + t.bytes[page + 1];
}

TEST_F(ShippedResources, EveryTemplateHasTheFormOfItsMessageKind) {
  const std::vector<Template> templates = shippedTemplates();
  ASSERT_EQ(templates.size(), manager.sysexContainers.size());
  std::map<std::string, int> names;
  for (const auto& [name, index] : manager.paramNameMap) names[name] = index;
  for (size_t i = 0; i < templates.size(); ++i) {
    const Template& t = templates[i];
    SCOPED_TRACE(t.param);
    ASSERT_NE(sysExTemplate(manager.sysexContainers[i]), nullptr);
    EXPECT_EQ(parseSysExTemplate(*sysExTemplate(manager.sysexContainers[i])), t.bytes);
    ASSERT_TRUE(names.count(t.param));
    ASSERT_GE(t.bytes.size(), 7u);
    for (int b : t.bytes) EXPECT_TRUE(b >= 0 && b < 0x80);
    EXPECT_EQ(t.bytes[0], 0x3E);
    EXPECT_EQ(t.bytes[1], 0x10);
    EXPECT_EQ(t.bytes[2], kTemplateDeviceByte);
    EXPECT_EQ(t.bytes.back(), 0);
    switch (t.bytes[3]) {
      case 0x20:  // sound: part, page, number, value; the dump's bytes 8..365
        EXPECT_EQ(t.bytes.size(), 8u);
        EXPECT_EQ(t.bytes[4], 0);
        EXPECT_GE(position(t), 1);
        EXPECT_LE(position(t), 358);
        EXPECT_EQ(t.part, -1);
        EXPECT_NE(t.param.rfind("kMulti", 0), 0u);
        EXPECT_NE(t.param.rfind("kGlobal", 0), 0u);
        break;
      case 0x21:  // multi: page, number, value; offsets 7..384 of the dump
        EXPECT_EQ(t.bytes.size(), 7u);
        EXPECT_LE(position(t), 377);
        EXPECT_TRUE(t.param.rfind("kMulti", 0) == 0);
        break;
      case 0x24:  // global: offsets 5..204 of the dump
        EXPECT_EQ(t.bytes.size(), 7u);
        EXPECT_LE(position(t), 199);
        EXPECT_TRUE(t.param.rfind("kGlobal", 0) == 0);
        break;
      default:
        ADD_FAILURE() << "command " << t.bytes[3];
    }
  }
}

TEST_F(ShippedResources, AddressesMatchTheInstrumentsParameterNumbers) {
  std::map<std::pair<std::string, int>, const Template*> byName;
  const std::vector<Template> templates = shippedTemplates();
  for (const Template& t : templates) EXPECT_TRUE(byName.emplace(std::make_pair(t.param, t.part), &t).second) << t.param;
  auto bytesOf = [&](const std::string& param, int part = -1) {
    const auto it = byName.find({param, part});
    return it == byName.end() ? std::vector<int>() : it->second->bytes;
  };
  using B = std::vector<int>;
  EXPECT_EQ(bytesOf("kOscillator1Octave"), (B{0x3E, 0x10, 0, 0x20, 0, 0, 1, 0}));
  EXPECT_EQ(bytesOf("kOscillatorUnisono"), (B{0x3E, 0x10, 0, 0x20, 0, 0, 58, 0}));
  EXPECT_EQ(bytesOf("kOscillatorMonoPolyMode"), bytesOf("kOscillatorUnisono"));
  EXPECT_EQ(bytesOf("kEnvelope4Mode"), (B{0x3E, 0x10, 0, 0x20, 0, 1, 104, 0}));
  EXPECT_EQ(bytesOf("kEnv4Trigger"), bytesOf("kEnvelope4Mode"));
  EXPECT_EQ(bytesOf("kFilterEnvMode"), (B{0x3E, 0x10, 0, 0x20, 0, 1, 68, 0}));
  EXPECT_EQ(bytesOf("kArpPattern05Step"), (B{0x3E, 0x10, 0, 0x20, 0, 2, 0x4B, 0}));
  EXPECT_EQ(bytesOf("kArpPattern05Glide"), bytesOf("kArpPattern05Step"));
  EXPECT_EQ(bytesOf("kArpPattern01Timing"), (B{0x3E, 0x10, 0, 0x20, 0, 2, 87, 0}));
  EXPECT_EQ(bytesOf("kEffect1Mode"), (B{0x3E, 0x10, 0, 0x20, 0, 1, 0, 0}));
  EXPECT_EQ(bytesOf("kEffect2Mode"), (B{0x3E, 0x10, 0, 0x20, 0, 1, 16, 0}));
  EXPECT_EQ(bytesOf("kEffect2Param14"), (B{0x3E, 0x10, 0, 0x20, 0, 1, 31, 0}));
  EXPECT_EQ(bytesOf("kFX2ReverbSize"), bytesOf("kEffect2Param01"));
  EXPECT_EQ(bytesOf("kFX2DelaySyncedLength"), bytesOf("kEffect2Param11"));
  EXPECT_EQ(bytesOf("kFX1VocoderEQHighBandLevel"), bytesOf("kEffect1Param14"));
  EXPECT_EQ(bytesOf("kMultiTempo"), (B{0x3E, 0x10, 0, 0x21, 0, 5, 0}));
  EXPECT_EQ(bytesOf("kMultiMasterVolume"), (B{0x3E, 0x10, 0, 0x21, 0, 0, 0}));
  EXPECT_EQ(bytesOf("kGlobalTuning"), (B{0x3E, 0x10, 0, 0x24, 0, 5, 0}));
  EXPECT_EQ(bytesOf("kGlobalTranspose"), (B{0x3E, 0x10, 0, 0x24, 0, 6, 0}));
  EXPECT_EQ(bytesOf("kGlobalTxProgramChange"), (B{0x3E, 0x10, 0, 0x24, 0, 74, 0}));
  // A part's bank and program open its 22-byte block at 32 + 22p.
  for (int p = 0; p < 16; ++p) {
    const int bank = 32 + 22 * p;
    EXPECT_EQ(bytesOf("kMultiPartBank", p), (B{0x3E, 0x10, 0, 0x21, bank / 128, bank % 128, 0})) << p;
    EXPECT_EQ(bytesOf("kMultiPartPatch", p), (B{0x3E, 0x10, 0, 0x21, (bank + 1) / 128, (bank + 1) % 128, 0})) << p;
    EXPECT_EQ(bytesOf("kMultiPartKeyHigh", p).size(), 7u) << p;
  }
  EXPECT_EQ(bytesOf("kMultiPartPatch", 7), (B{0x3E, 0x10, 0, 0x21, 1, 59, 0}));
}

TEST_F(ShippedResources, OnlyPackedAndEffectViewParametersShareAnAddress) {
  std::map<std::vector<int>, std::vector<std::string>> byAddress;
  for (const Template& t : shippedTemplates()) byAddress[t.bytes].push_back(t.param);
  auto packed = [](const std::string& name) {
    static const std::set<std::string> pairs = {"kOscillatorUnisono", "kOscillatorMonoPolyMode"};
    return pairs.count(name) || name.find("Trigger") != std::string::npos ||
           name.find("Mode") != std::string::npos || name.rfind("kArpPattern", 0) == 0 ||
           name.rfind("kFX", 0) == 0 || name.rfind("kEffect", 0) == 0;
  };
  for (const auto& [address, params] : byAddress) {
    if (params.size() == 1) continue;
    for (const std::string& p : params) EXPECT_TRUE(packed(p)) << p;
  }
}
}  // namespace
