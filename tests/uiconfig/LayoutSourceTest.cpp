// The notation of the layout source that tools/uilayout expands.
#include <gtest/gtest.h>

#include "LayoutSource.h"

namespace {
using Attributes = std::vector<std::pair<std::string, std::string>>;
const std::map<std::string, SysExEntry> kSysEx = {{"kA", {5, 7}}, {"kB", {6, 8}}};

TEST(LayoutSource, ExpandsNamesPositionsAliasesLoopsAndSysExNames) {
  const char* source =
      "# a comment\n"
      "layer root id=0\n"
      "  background img=MAIN_BG_ID @0,0   # trailing comment\n"
      "  display param=kX @1,2,3,4\n"
      "  knobcontrol \"Osc #1\" type=seKnob se=kA group=\"Osc 1\"\n"
      "  knobcontrol k se=kB changingByte=3\n"
      "for n in 08..10\n"
      "  banklayer b$n\n"
      "    layer inner$n\n";
  std::vector<LayoutNode> nodes;
  std::string error;
  ASSERT_TRUE(parseLayoutSource(source, kSysEx, nodes, error)) << error;
  ASSERT_EQ(nodes.size(), 4u);
  const LayoutNode& root = nodes[0];
  EXPECT_EQ(root.attributes, (Attributes{{"name", "root"}, {"id", "0"}}));
  ASSERT_EQ(root.children.size(), 4u);
  EXPECT_EQ(root.children[0].attributes, (Attributes{{"imageId", "MAIN_BG_ID"}, {"position", "0,0"}}));
  EXPECT_EQ(root.children[1].attributes, (Attributes{{"paramId", "kX"}, {"bounds", "1,2,3,4"}}));
  EXPECT_EQ(root.children[2].attributes, (Attributes{{"name", "Osc #1"}, {"type", "seKnob"}, {"paramGroup", "Osc 1"},
                                                     {"sysexIndex", "5"}, {"changingByte", "7"}}));
  EXPECT_EQ(root.children[3].attributes, (Attributes{{"name", "k"}, {"changingByte", "3"}, {"sysexIndex", "6"}}));
  for (int i = 0; i < 3; ++i) {
    const std::string n = i < 2 ? std::string("0").append(std::to_string(8 + i)) : "10";
    EXPECT_EQ(*nodes[static_cast<size_t>(i + 1)].attribute("name"), std::string("b").append(n));
    ASSERT_EQ(nodes[static_cast<size_t>(i + 1)].children.size(), 1u);
    EXPECT_EQ(*nodes[static_cast<size_t>(i + 1)].children[0].attribute("name"), std::string("inner").append(n));
  }
}

TEST(LayoutSource, RefusesWhatItCannotReadWithTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"layer a\n\tlayer b\n", "line 2: tabs"},
      {"layer a b\n", "line 1: a second name"},
      {"knobcontrol k se=kNone\n", "line 1: no SysEx definition for kNone"},
      {"  layer a\nlayer b\n", "line 2: indented less"},
      {"layer \"a\n", "line 1: unterminated quote"},
      {"for n in 1\n  layer a\n", "line 1: expected: for"},
  };
  for (const auto& [source, expected] : cases) {
    std::vector<LayoutNode> nodes;
    std::string error;
    EXPECT_FALSE(parseLayoutSource(source, kSysEx, nodes, error)) << source;
    EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
  }
}
}  // namespace
