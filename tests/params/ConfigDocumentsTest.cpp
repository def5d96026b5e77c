// The configuration documents: the readers of the SysEx definitions and the
// value lists, the build tool that enciphers them, and the loader, good and bad.
#include <gtest/gtest.h>

#include "ResourceCipher.h"
#include "SysExDefinitions.h"
#include "Tea.h"
#include "TestSupport.h"
#include "UIConfigManager.h"
#include "ValueLists.h"

namespace {
std::vector<SysExContainer> readSysEx(const std::string& xml) {
  std::vector<SysExContainer> list;
  readSysExDefinitions(ParsedDocument(xml).document, list);
  return list;
}

ValueLists readLists(const std::string& xml) {
  ValueLists lists;
  readValueLists(ParsedDocument(xml).document, lists);
  return lists;
}

// An entry list as text: "v" a Values, "m[...]" a multi-value list, "*" the
// multi-value flag, each text in quotes, entries separated by " | ".
std::string describe(const std::vector<SysExContainer>& list) {
  std::string out;
  auto items = [&](const Values& v) {
    out += "(";
    for (const std::string& text : v.items) out += "'" + text + "'";
    out += ")";
  };
  for (const SysExContainer& entry : list) {
    out += out.empty() ? "" : " | ";
    for (const Values& v : entry.values) out += "v", items(v);
    for (const auto& multi : entry.multiValues) {
      out += "m[";
      for (const Values& v : multi) items(v);
      out += "]";
    }
    out += entry.hasMultiValues ? "*" : "";
  }
  return out;
}

TEST(SysExDefinitions, EntriesInDocumentOrderInBothForms) {
  const auto list = readSysEx(
      "<sysexlist><!-- first --><sysex><values><value>3E 10 00 20 00 00 01 00</value></values></sysex>"
      // Any later sibling is an entry; empty texts drop, missing ones are a blank.
      "<other><values><value>F0</value><value><![CDATA[]]></value><value/>"
      "<multivalue><value>x</value></multivalue></values></other>"
      "<sysex><values><multivalue><value>a</value><value><![CDATA[]]></value></multivalue>"
      "<multivalue><value>c</value><value/></multivalue></values><values/></sysex>"
      // A value child after a multivalue takes the first form.
      "<sysex><values><multivalue><value>m</value></multivalue><value>v</value></values></sysex>"
      "<sysex/></sysexlist>");
  EXPECT_EQ(describe(list), "v('3E 10 00 20 00 00 01 00') | v('F0'' '' ') | m[('a''')('c'' ')]m[]* | v('v') | ");
  EXPECT_EQ(*sysExTemplate(list.at(0)), "3E 10 00 20 00 00 01 00");
  EXPECT_EQ(*sysExTemplate(list.at(3)), "v");
  EXPECT_EQ(sysExTemplate(list.at(2)), nullptr);
  EXPECT_EQ(sysExTemplate(list.at(4)), nullptr);
}

TEST(SysExDefinitions, TemplatesReadAsHexTokens) {
  const struct {
    const char* text;
    std::vector<int> bytes;
  } cases[] = {{"3E 10 00 20", {0x3E, 0x10, 0x00, 0x20}}, {"  3e   7F ", {0x3E, 0x7F}},
               {"0x3E 0X10 1g zz", {0x3E, 0x10, 1, 0}},   {"", {}}};
  for (const auto& c : cases) EXPECT_EQ(parseSysExTemplate(c.text), c.bytes) << c.text;
}

TEST(ValueLists, ListsByNameInOrder) {
  const ValueLists lists = readLists(
      "<uiconfig><valueLists>"
      "<list name=\"lfoShape\"><value>Sine</value><!-- c --><value/><other>x</other><value> Saw &amp; Up </value>"
      "<value><![CDATA[]]></value></list>"
      "<junk/><list name=\"LfoShape\"><value>other case</value></list><list><value>no name</value></list>"
      "<list name=\"a\"><value>1</value><value>2</value></list><list name=\"a\"><value>3</value></list>"
      "<list name=\"b\"/></valueLists></uiconfig>");
  const ValueLists expected = {{"lfoShape", {"Sine", " ", " Saw & Up ", ""}}, {"LfoShape", {"other case"}},
                               {"a", {"3"}}, {"b", {}}};
  EXPECT_EQ(lists, expected);
}

TEST(DocumentReaders, NoRootOrNoSectionGivesNothing) {
  for (const char* text : {"", "not xml", "<uiconfig/>", "<uiconfig><valueLists/></uiconfig>",
                           "<other><valueLists><list name=\"a\"><value>1</value></list></valueLists></other>"})
    EXPECT_TRUE(readLists(text).empty()) << text;
  for (const char* text : {"", "\x01\x02 not xml", "<sysexlistx><sysex/></sysexlistx>", "<sysexlist><sysex>"})
    EXPECT_TRUE(readSysEx(text).empty()) << text;
}

TEST(ValueLists, LookupsNeverInsertAndStayInsideTheList) {
  const ValueLists lists = {{"a", {"x"}}};
  EXPECT_EQ(*valueListText(lists, "a", 0), "x");
  for (const auto& [name, position] : std::vector<std::pair<const char*, int>>{{"a", 1}, {"a", -1}, {"A", 0}, {"b", 0}})
    EXPECT_EQ(valueListText(lists, name, position), nullptr) << name << position;
  EXPECT_EQ(lists.size(), 1u);
}

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

std::string enciphered(const std::string& plain, unsigned int* key = nullptr) {
  if (!key) {
    const auto bytes = encipherResource(plain);
    return std::string(bytes.begin(), bytes.end());
  }
  std::string bytes = plain + std::string((8 - plain.size() % 8) % 8, '\0');
  Tea tea;
  for (size_t i = 0; i < bytes.size(); i += 8) tea.simpleencrypt(reinterpret_cast<unsigned char*>(&bytes[i]), key);
  return bytes;
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

  const ReadResult result = readFrom(bundle.path);
  EXPECT_EQ(describe(result.sysex), "v('3E 10 00 20 00 00 4E 00') | m[('a')]*");
  EXPECT_EQ(describe(result.sysex), describe(readSysEx(kSysExPlain)));
  EXPECT_EQ(result.lists, readLists(kUIConfigPlain));
  EXPECT_EQ(result.lists.at("lfoShape").at(1), "Saw & Ramp");
}

TEST(ConfigDocuments, TheBuildToolRefusesADocumentThatDoesNotParse) {
  TempDir dir;
  writeFile(dir.file("bad.xml"), "<uiconfig><valueLists></uiconfig>");
  writeFile(dir.file("nul.xml"), std::string("<uiconfig/>\0<x/>", 16));
  for (const char* name : {"bad", "nul", "missing"})
    EXPECT_NE(runTool(dir.file(std::string(name) + ".xml"), dir.file(std::string(name) + ".tea")), 0) << name;
  EXPECT_TRUE(readFile(dir.file("bad.tea")).empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.tea.part")));
}

TEST(ConfigDocuments, BadDocumentsLeaveEmptyListsAndNoCrash) {
  unsigned int otherKey[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
  const struct {
    const char* what;
    std::string sysex;  // file contents; empty: no file
    std::string uiconfig;
  } cases[] = {
      {"missing", "", ""},
      {"wrong key", enciphered(kSysExPlain, otherKey), enciphered(kUIConfigPlain, otherKey)},
      {"truncated", enciphered(kSysExPlain).substr(0, 61), enciphered(kUIConfigPlain).substr(0, 45)},
      {"not XML", enciphered("this is not a document"), enciphered("{\"valueLists\": []}")},
      {"other roots", enciphered("<uiconfig/>"), enciphered("<sysexlist/>")},
      {"one byte", std::string(1, '\x5A'), std::string(1, '\x00')},
      {"a list without a name", "",
       enciphered("<uiconfig><valueLists><list><value>x</value></list></valueLists></uiconfig>")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (!c.sysex.empty()) writeFile(dir.file("sysex.tea"), c.sysex);
    if (!c.uiconfig.empty()) writeFile(dir.file("uiconfig.tea"), c.uiconfig);
    const ReadResult result = readFrom(dir.path);
    EXPECT_TRUE(result.sysex.empty());
    EXPECT_TRUE(result.lists.empty());
    // The framing lines, and one more when the GUI document gave nothing to walk.
    ASSERT_GE(result.log.size(), 6u);
    ASSERT_LE(result.log.size(), 7u);
    if (result.log.size() == 7) {
      EXPECT_EQ(result.log[6].rfind("CONFIG READER: the GUI configuration document", 0), 0u);
    }
  }
}
}  // namespace
