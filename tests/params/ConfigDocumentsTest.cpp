// The configuration documents through the build tool and the loader, good
// and bad.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ResourceCipher.h"
#include "Tea.h"
#include "TestSupport.h"
#include "UIConfigManager.h"

namespace {
const char* const kSysExPlain =
    "<?xml version=\"1.0\"?>\n<sysexlist>\n"
    "  <sysex param=\"kFilter1Cutoff\"><values><value>3E 10 00 20 00 00 4E 00</value></values></sysex>\n"
    "  <sysex><values><multivalue><value>a</value></multivalue></values></sysex>\n"
    "</sysexlist>\n";
const char* const kUIConfigPlain =
    "<uiconfig>\n  <valueLists>\n"
    "    <list name=\"lfoShape\"><value>Sine</value><value>Saw &amp; Ramp</value></list>\n"
    "    <list name=\"tempoValues\"><value>65</value></list>\n"
    "  </valueLists>\n</uiconfig>\n";

int runTool(const std::string& in, const std::string& out) {
  const std::string command = std::string("'") + TARNIVEX_ENCIPHER_TOOL + "' '" + in + "' '" + out + "' 2>/dev/null";
  return std::system(command.c_str());
}

// What a manager reads with its resources taken from dir.
struct ReadResult {
  std::vector<SysExContainer> sysex;
  ValueLists lists;
  std::vector<std::string> log;
};

ReadResult readFrom(const std::string& dir) {
  LoggedPlug logged(dir);
  UIConfigManager manager;
  manager.readUIConfig(logged.plug->GetGUI(), logged.plug.get(), nullptr, 0, 1.0);
  return {manager.sysexContainers, manager.valueLists, logged.messages()};
}

TEST(ConfigDocuments, TheBuildToolsDocumentsReadBackAsThePlainOnes) {
  TempDir plain, bundle;
  writeFile(plain.file("sysex.xml"), kSysExPlain);
  writeFile(plain.file("uiconfig.xml"), kUIConfigPlain);
  ASSERT_EQ(runTool(plain.file("sysex.xml"), bundle.file("sysex.tea")), 0);
  ASSERT_EQ(runTool(plain.file("uiconfig.xml"), bundle.file("uiconfig.tea")), 0);
  EXPECT_EQ(readFile(bundle.file("sysex.tea")).find("sysexlist"), std::string::npos);

  std::vector<SysExContainer> expectedSysEx;
  readSysExDefinitions(ParsedDocument(kSysExPlain).document, expectedSysEx);
  ValueLists expectedLists;
  readValueLists(ParsedDocument(kUIConfigPlain).document, expectedLists);

  const ReadResult result = readFrom(bundle.path());
  ASSERT_EQ(result.sysex.size(), 2u);
  EXPECT_EQ(result.sysex[0].values.at(0).items, expectedSysEx[0].values.at(0).items);
  EXPECT_EQ(result.sysex[1].multiValues.at(0).at(0).items, expectedSysEx[1].multiValues.at(0).at(0).items);
  EXPECT_TRUE(result.sysex[1].hasMultiValues);
  EXPECT_EQ(result.lists, expectedLists);
  EXPECT_EQ(result.lists.at("lfoShape").at(1), "Saw & Ramp");
}

TEST(ConfigDocuments, TheBuildToolRefusesADocumentThatDoesNotParse) {
  TempDir dir;
  writeFile(dir.file("bad.xml"), "<uiconfig><valueLists></uiconfig>");
  writeFile(dir.file("nul.xml"), std::string("<uiconfig/>\0<x/>", 16));
  EXPECT_NE(runTool(dir.file("bad.xml"), dir.file("bad.tea")), 0);
  EXPECT_NE(runTool(dir.file("nul.xml"), dir.file("nul.tea")), 0);
  EXPECT_NE(runTool(dir.file("missing.xml"), dir.file("missing.tea")), 0);
  EXPECT_TRUE(readFile(dir.file("bad.tea")).empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.tea.part")));
}

std::vector<unsigned char> encipherWithOtherKey(const std::string& plain) {
  std::vector<unsigned char> bytes((plain.size() + 7) / 8 * 8, 0);
  std::copy(plain.begin(), plain.end(), bytes.begin());
  unsigned int key[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
  Tea tea;
  for (size_t i = 0; i < bytes.size(); i += 8) tea.simpleencrypt(bytes.data() + i, key);
  return bytes;
}

struct BadCase {
  const char* what;
  std::string sysex;  // file contents; empty: no file
  std::string uiconfig;
};

std::string enciphered(const std::string& plain) {
  const auto bytes = encipherResource(plain);
  return std::string(bytes.begin(), bytes.end());
}

TEST(ConfigDocuments, BadDocumentsLeaveEmptyListsAndNoCrash) {
  const auto wrongKeySysEx = encipherWithOtherKey(kSysExPlain);
  const auto wrongKeyUI = encipherWithOtherKey(kUIConfigPlain);
  const std::string fullSysEx = enciphered(kSysExPlain);
  const std::string fullUI = enciphered(kUIConfigPlain);
  const BadCase cases[] = {
      {"missing", "", ""},
      {"wrong key", std::string(wrongKeySysEx.begin(), wrongKeySysEx.end()),
       std::string(wrongKeyUI.begin(), wrongKeyUI.end())},
      {"truncated", fullSysEx.substr(0, 61), fullUI.substr(0, 45)},
      {"not XML", enciphered("this is not a document"), enciphered("{\"valueLists\": []}")},
      {"other roots", enciphered("<uiconfig/>"), enciphered("<sysexlist/>")},
      {"one byte", std::string(1, '\x5A'), std::string(1, '\x00')},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (!c.sysex.empty()) writeFile(dir.file("sysex.tea"), c.sysex);
    if (!c.uiconfig.empty()) writeFile(dir.file("uiconfig.tea"), c.uiconfig);
    const ReadResult result = readFrom(dir.path());
    EXPECT_TRUE(result.sysex.empty());
    EXPECT_TRUE(result.lists.empty());
    EXPECT_EQ(result.log.size(), 4u);  // the framing lines, nothing else
  }
}

TEST(ConfigDocuments, AListWithoutANameIsSkippedAndTheOthersRead) {
  TempDir dir;
  writeFile(dir.file("uiconfig.tea"),
            enciphered("<uiconfig><valueLists><list><value>x</value></list>"
                       "<list name=\"partStatus\"><value>Off</value><value>On</value></list></valueLists></uiconfig>"));
  const ReadResult result = readFrom(dir.path());
  ASSERT_EQ(result.lists.size(), 1u);
  EXPECT_EQ(result.lists.at("partStatus").size(), 2u);
}
}  // namespace
