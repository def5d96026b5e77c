// Reading the named value lists.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ValueLists.h"

namespace {
using Texts = std::vector<std::string>;

ValueLists read(const std::string& xml) {
  ParsedDocument parsed(xml);
  ValueLists lists;
  readValueLists(parsed.document, lists);
  return lists;
}

TEST(ValueLists, ListsInOrderWithBlanksForMissingTexts) {
  const ValueLists lists = read(
      "<uiconfig><valueLists>"
      "<list name=\"lfoShape\"><value>Sine</value><!-- c --><value/><other>x</other><value> Saw &amp; Up </value>"
      "<value><![CDATA[]]></value></list>"
      "<junk/><list name=\"LfoShape\"><value>other case</value></list>"
      "</valueLists></uiconfig>");
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists.at("lfoShape"), (Texts{"Sine", " ", " Saw & Up ", ""}));
  EXPECT_EQ(lists.at("LfoShape"), Texts{"other case"});
}

TEST(ValueLists, ALaterListOfTheSameNameReplacesTheEarlierOne) {
  const ValueLists lists = read(
      "<uiconfig><valueLists><list name=\"a\"><value>1</value><value>2</value></list>"
      "<list name=\"a\"><value>3</value></list><list name=\"b\"/></valueLists></uiconfig>");
  EXPECT_EQ(lists.at("a"), Texts{"3"});
  EXPECT_TRUE(lists.at("b").empty());
}

TEST(ValueLists, AListWithoutANameIsSkipped) {
  const ValueLists lists = read(
      "<uiconfig><valueLists><list><value>lost</value></list><list name=\"kept\"><value>k</value></list>"
      "</valueLists></uiconfig>");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists.at("kept"), Texts{"k"});
}

TEST(ValueLists, NoRootOrNoSectionGivesNoLists) {
  for (const char* text : {"", "<uiconfig/>", "<uiconfig><valueLists/></uiconfig>", "<other><valueLists>"
                           "<list name=\"a\"><value>1</value></list></valueLists></other>", "not xml"})
    EXPECT_TRUE(read(text).empty()) << text;
}

TEST(ValueLists, LookupsNeverInsertAndStayInsideTheList) {
  const ValueLists lists = read("<uiconfig><valueLists><list name=\"a\"><value>x</value></list></valueLists></uiconfig>");
  EXPECT_EQ(*valueListText(lists, "a", 0), "x");
  EXPECT_EQ(valueListText(lists, "a", 1), nullptr);
  EXPECT_EQ(valueListText(lists, "a", -1), nullptr);
  EXPECT_EQ(valueListText(lists, "A", 0), nullptr);
  EXPECT_EQ(valueListText(lists, "missing", 0), nullptr);
  EXPECT_EQ(lists.size(), 1u);
}
}  // namespace
