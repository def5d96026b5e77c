// Reading the SysEx definition list and its message templates.
#include <gtest/gtest.h>

#include "SysExDefinitions.h"
#include "TestSupport.h"

namespace {
using Texts = std::vector<std::string>;

std::vector<SysExContainer> read(const std::string& xml) {
  ParsedDocument parsed(xml);
  std::vector<SysExContainer> list;
  readSysExDefinitions(parsed.document, list);
  return list;
}

TEST(SysExDefinitions, EntriesInDocumentOrderWhateverTheSiblingsAreCalled) {
  const auto list = read(
      "<sysexlist><!-- first --><sysex><values><value>3E 10 00 20 00 00 01 00</value></values></sysex>"
      "<other><values><value>3E 10 00 21 00 05 00</value></values></other><sysex/></sysexlist>");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].values.at(0).items, Texts{"3E 10 00 20 00 00 01 00"});
  EXPECT_EQ(*sysExTemplate(list[1]), "3E 10 00 21 00 05 00");
  EXPECT_TRUE(list[2].values.empty());
  EXPECT_TRUE(list[2].multiValues.empty());
  EXPECT_FALSE(list[2].hasMultiValues);
  EXPECT_EQ(sysExTemplate(list[2]), nullptr);
}

TEST(SysExDefinitions, ValueTextsDropEmptyOnesAndMissingOnesBecomeABlank) {
  const auto list = read(
      "<sysexlist><sysex><values><value>F0</value><value><![CDATA[]]></value><value/>"
      "<multivalue><value>x</value></multivalue></values></sysex></sysexlist>");
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0].values.size(), 1u);
  EXPECT_EQ(list[0].values[0].items, (Texts{"F0", " ", " "}));
  EXPECT_FALSE(list[0].hasMultiValues);
}

TEST(SysExDefinitions, MultiValueForm) {
  const auto list = read(
      "<sysexlist><sysex><values><multivalue><value>a</value><value><![CDATA[]]></value></multivalue>"
      "<multivalue><value>c</value><value/></multivalue></values><values/></sysex></sysexlist>");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(list[0].values.empty());
  EXPECT_TRUE(list[0].hasMultiValues);
  ASSERT_EQ(list[0].multiValues.size(), 2u);
  ASSERT_EQ(list[0].multiValues[0].size(), 2u);
  EXPECT_EQ(list[0].multiValues[0][0].items, (Texts{"a", ""}));
  EXPECT_EQ(list[0].multiValues[0][1].items, (Texts{"c", " "}));
  EXPECT_TRUE(list[0].multiValues[1].empty());
}

TEST(SysExDefinitions, AValueChildAfterAMultivalueTakesTheFirstForm) {
  const auto list = read(
      "<sysexlist><sysex><values><multivalue><value>m</value></multivalue><value>v</value></values>"
      "</sysex></sysexlist>");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].values.at(0).items, Texts{"v"});
  EXPECT_TRUE(list[0].multiValues.empty());
}

TEST(SysExDefinitions, NoRootOrNoTextGivesNoEntries) {
  for (const char* text : {"", "<sysexlistx><sysex/></sysexlistx>", "<sysexlist><sysex>", "\x01\x02 not xml",
                           "<sysexlist></sysexlist>"})
    EXPECT_TRUE(read(text).empty()) << text;
}

TEST(SysExDefinitions, TemplatesReadAsHexTokens) {
  const struct {
    const char* text;
    std::vector<int> bytes;
  } cases[] = {
      {"3E 10 00 20", {0x3E, 0x10, 0x00, 0x20}},
      {"  3e   7F ", {0x3E, 0x7F}},
      {"0x3E 0X10 1g zz", {0x3E, 0x10, 1, 0}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseSysExTemplate(c.text), c.bytes) << c.text;
}
}  // namespace
