#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IParam.h"

TEST(IParam, InitBoolSetsOffAndOn) {
  IParam p;
  p.InitBool("Switch", true);
  EXPECT_EQ(p.Type(), IParam::kTypeBool);
  EXPECT_EQ(p.Value(), 1.0);
  EXPECT_EQ(p.GetMax(), 1.0);
  ASSERT_EQ(p.GetNDisplayTexts(), 2);
  EXPECT_STREQ(p.GetDisplayText(0), "off");
  EXPECT_STREQ(p.GetDisplayText(1), "on");
  char out[MAX_PARAM_DISPLAY_LEN];
  p.GetDisplayForHost(1.0, false, out, true);
  EXPECT_STREQ(out, "on");
  p.GetDisplayForHost(1.0, false, out, false);
  EXPECT_STREQ(out, "1");
}

// An empty text stands for its value's number, except for a text
// parameter (a name field): a name not yet known prints nothing.
TEST(IParam, AnEmptyTextOfATextParameterPrintsNothing) {
  const struct {
    const char* what;
    bool text;
    const char* printed;
  } rows[] = {{"an enum's empty text", false, "0"}, {"a name's empty text", true, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    IParam p;
    p.InitEnum("Name", 0, 1);
    if (row.text) p.InitText();
    p.SetDisplayText(0, "");
    char out[MAX_PARAM_DISPLAY_LEN];
    p.GetDisplayForHost(0.0, false, out, true);
    EXPECT_STREQ(out, row.printed);
    p.GetDisplayForHost(0.0, false, out, false);
    EXPECT_STREQ(out, "0");
  }
}

TEST(IParam, InitDoublePrecisionFromStep) {
  const std::pair<double, int> table[] = {{0.01, 2}, {0.5, 1}, {1.0, 0}, {0.001, 3}, {0.000001, 6}, {2.0, 0}, {0.1, 1}};
  for (auto [step, precision] : table) {
    IParam p;
    p.InitDouble("d", 0.0, 0.0, 100.0, step);
    EXPECT_EQ(p.GetPrecision(), precision) << step;
  }
}

TEST(IParam, InitRangesAndTypes) {
  IParam a;
  a.InitEnum("e", 0, 1);
  EXPECT_EQ(a.GetMax(), 1.0);
  IParam b;
  b.InitEnum("e", 0, 0);
  EXPECT_EQ(b.GetMax(), 1.0);
  IParam c;
  c.InitInt("i", 3, 3, 3);
  EXPECT_EQ(c.GetMax(), 4.0);
  IParam t;
  t.InitEnum("t", 0, 4);
  t.InitText();
  t.InitEnum("t", 0, 4);
  EXPECT_EQ(t.Type(), IParam::kTypeText);
}

struct NormalizedCase {
  IParam::EParamType type;
  double min, max, shape, normalized, expected;
};

TEST(IParam, SetNormalizedRoundsFromZeroAndCapsAtMax) {
  const NormalizedCase table[] = {
      {IParam::kTypeInt, 0, 10, 1, 0.5, 5},       {IParam::kTypeInt, 0, 9, 1, 0.5, 5},
      {IParam::kTypeDouble, 0, 9, 1, 0.5, 4.5},   {IParam::kTypeInt, 0, 10, 1, 1.2, 10},
      {IParam::kTypeInt, 0, 10, 1, -0.1, -1},     {IParam::kTypeInt, 0, 100, 2, 0.5, 25},
      {IParam::kTypeInt, -64, 63, 1, 0.5, 0},     {IParam::kTypeInt, -64, 63, 1, 0.0, -64}};
  for (const NormalizedCase& row : table) {
    IParam p;
    if (row.type == IParam::kTypeDouble)
      p.InitDouble("d", 0, row.min, row.max, 0.1);
    else
      p.InitInt("i", 0, static_cast<int>(row.min), static_cast<int>(row.max));
    p.SetShape(row.shape);
    p.SetNormalized(row.normalized);
    EXPECT_DOUBLE_EQ(p.Value(), row.expected) << row.min << ".." << row.max << " at " << row.normalized;
  }
}

TEST(IParam, GetNormalizedClampsAndSurvivesACollapsedRange) {
  IParam p;
  p.InitInt("i", 0, 0, 10);
  EXPECT_EQ(p.GetNormalized(-5.0), 0.0);
  EXPECT_EQ(p.GetNormalized(50.0), 1.0);
  EXPECT_DOUBLE_EQ(p.GetNormalized(2.5), 0.25);
  IParam text;
  text.InitEnum("t", 0, 1);
  text.InitText();
  text.ResetDisplayTexts();
  text.SetDisplayText(0, "only");
  EXPECT_EQ(text.GetMax(), 0.0);
  EXPECT_EQ(text.GetNormalized(), 0.0);
  p.SetShape(0.0);
  EXPECT_EQ(p.GetShape(), 1.0);
}

TEST(IParam, DisplayTextTableGrowsInOrderAndRefusesGaps) {
  IParam p;
  p.SetDisplayText(0, "zero");
  EXPECT_EQ(p.GetNDisplayTexts(), 1);
  EXPECT_EQ(p.GetMax(), 0.0);
  p.SetDisplayText(1, "one");
  EXPECT_EQ(p.GetMax(), 1.0);
  p.SetDisplayText(0, "again");
  EXPECT_EQ(p.GetMax(), 1.0);
  EXPECT_STREQ(p.GetDisplayText(0), "again");
  p.SetDisplayText(5, "gap");
  p.SetDisplayText(-1, "negative");
  EXPECT_EQ(p.GetNDisplayTexts(), 2);
  EXPECT_STREQ(p.GetDisplayText(7), "");

  p.SetDisplayText(2, "one");
  int value = -1;
  EXPECT_TRUE(p.MapDisplayText("one", &value));
  EXPECT_EQ(value, 1);
  EXPECT_FALSE(p.MapDisplayText("missing", &value));
  EXPECT_EQ(value, 1);
}

// A name text is kept once per process: equal texts are one copy, a copy is
// its own copy, and a text longer than a name field is kept cut.
TEST(IParam, NameTextsAreOneCopyPerProcess) {
  const std::string cutoff = "[3] Filter Cutoff Frequency";
  const char* shared = IParam::SharedText(cutoff.c_str());
  EXPECT_STREQ(shared, cutoff.c_str());
  EXPECT_NE(shared, cutoff.c_str());
  EXPECT_EQ(IParam::SharedText(std::string(cutoff).c_str()), shared);
  EXPECT_EQ(IParam::SharedText(shared), shared);
  EXPECT_EQ(IParam::SharedText(shared + 4), shared + 4);  // a tail of a copy is a text too
  const std::string longText(80, 'n');
  EXPECT_EQ(IParam::SharedText(longText.c_str()), IParam::SharedText(longText.substr(0, 54).c_str()));
  EXPECT_STREQ(IParam::SharedText(nullptr), "");
  EXPECT_STREQ(IParam::SharedText(""), "");
  IParam a, b;
  a.InitDouble(cutoff.c_str(), 0, 0, 1, 0.1, "Hz", "Part 3:Filter");
  b.InitDouble(shared, 0, 0, 1, 0.1, "Hz", "Part 3:Filter");
  EXPECT_EQ(a.GetNameForHost(), shared);
  EXPECT_EQ(b.GetNameForHost(), shared);
  EXPECT_EQ(a.GetParamGroupForHost(), b.GetParamGroupForHost());
}

// A list given to a parameter that has texts already: the same texts and
// maximum as setting each of its texts in order, read from the list itself
// whenever that would replace every text the parameter had.
TEST(IParam, AListCoveringAParametersTextsIsReadShared) {
  const auto list = IParam::MakeDisplayTexts({"A", "B", "C"});
  const struct {
    std::vector<const char*> before;  // texts set one by one first
    int enums;                        // InitEnum's count
    bool shared;
  } cases[] = {
      {{}, 5, true},
      {{"----"}, 1, true},
      {{"x", "y"}, 2, true},
      {{"x", "y", "z"}, 7, true},  // as many: the maximum stays the one it had
      {{"w", "x", "y", "z"}, 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before.size());
    IParam given, byHand;
    for (IParam* p : {&given, &byHand}) {
      p->InitEnum("list", 0, c.enums);
      for (size_t i = 0; i < c.before.size(); ++i) p->SetDisplayText(static_cast<int>(i), c.before[i]);
    }
    given.SetDisplayTexts(list);
    for (const IParam::DisplayText& entry : *list) byHand.SetDisplayText(entry.mValue, entry.mText);
    ASSERT_EQ(given.GetNDisplayTexts(), byHand.GetNDisplayTexts());
    EXPECT_EQ(given.GetMax(), byHand.GetMax());
    for (int i = 0; i < byHand.GetNDisplayTexts(); ++i) {
      int a = -1, b = -2;
      EXPECT_STREQ(given.GetDisplayTextAtIdx(i, &a), byHand.GetDisplayTextAtIdx(i, &b));
      EXPECT_EQ(a, b);
    }
    EXPECT_EQ(given.GetDisplayTextAtIdx(0) == (*list)[0].mText, c.shared);
  }
}

// Shared texts read as texts set one by one, and a parameter that changes its
// texts changes only its own.
TEST(IParam, SharedDisplayTextsReadAsSetAndChangeOnlyTheirOwner) {
  const std::string longText(200, 'y');
  const auto shared = IParam::MakeDisplayTexts({"Sine", "Tri", longText});
  IParam a, b, byHand;
  a.InitEnum("a", 0, 1);
  b.InitEnum("b", 0, 1);
  byHand.InitEnum("c", 0, 1);
  a.SetDisplayTexts(shared);
  b.SetDisplayTexts(shared);
  for (const char* text : {"Sine", "Tri"}) byHand.SetDisplayText(byHand.GetNDisplayTexts(), text);
  byHand.SetDisplayText(2, longText.c_str());
  for (const IParam* p : {&a, &b}) {
    EXPECT_EQ(p->GetNDisplayTexts(), byHand.GetNDisplayTexts());
    EXPECT_EQ(p->GetMax(), byHand.GetMax());
    for (int i = 0; i < 3; ++i) {
      int va = -1, vb = -2;
      EXPECT_STREQ(p->GetDisplayTextAtIdx(i, &va), byHand.GetDisplayTextAtIdx(i, &vb));
      EXPECT_EQ(va, vb);
    }
    int value = -1;
    EXPECT_TRUE(p->MapDisplayText("Tri", &value));
    EXPECT_EQ(value, 1);
    char out[MAX_PARAM_DISPLAY_LEN];
    p->GetDisplayForHost(1.0, false, out);
    EXPECT_STREQ(out, "Tri");
  }

  a.SetDisplayText(1, "Square");
  a.SetDisplayText(3, "Saw");
  EXPECT_STREQ(a.GetDisplayText(1), "Square");
  EXPECT_EQ(a.GetNDisplayTexts(), 4);
  EXPECT_EQ(a.GetMax(), 3.0);
  EXPECT_STREQ(b.GetDisplayText(1), "Tri");
  EXPECT_EQ(b.GetNDisplayTexts(), 3);
  EXPECT_STREQ((*shared)[1].mText, "Tri");

  // A parameter with texts already takes the list as texts set one by one.
  a.SetDisplayTexts(IParam::MakeDisplayTexts({"one"}));
  EXPECT_STREQ(a.GetDisplayText(0), "one");
  EXPECT_STREQ(a.GetDisplayText(3), "Saw");
  b.ResetDisplayTexts();
  EXPECT_EQ(b.GetNDisplayTexts(), 0);
  EXPECT_STREQ(b.GetDisplayText(0), "");
}

TEST(IParam, LongTextsAreCutNotOverrun) {
  const std::string longText(200, 'x');
  IParam p;
  p.InitDouble(longText.c_str(), 0, 0, 1, 0.1, longText.c_str(), longText.c_str());
  EXPECT_EQ(std::string(p.GetNameForHost()), std::string(54, 'x'));
  EXPECT_EQ(std::string(p.GetParamGroupForHost()), std::string(54, 'x'));
  p.SetDisplayText(0, longText.c_str());
  EXPECT_EQ(std::string(p.GetDisplayText(0)), std::string(55, 'x'));
}

TEST(IParam, HostDisplayAndLabel) {
  IParam p;
  p.InitDouble("Cutoff", 0.0, 0.0, 100.0, 0.01, "Hz");
  char out[MAX_PARAM_DISPLAY_LEN];
  p.GetDisplayForHost(0.5, true, out);
  EXPECT_STREQ(out, "50.00");
  p.NegateDisplay();
  p.GetDisplayForHost(12.345, false, out);
  EXPECT_STREQ(out, "-12.35");
  EXPECT_STREQ(p.GetLabelForHost(), "Hz");
  p.SetDisplayText(0, "zero");
  EXPECT_STREQ(p.GetLabelForHost(), "");
  EXPECT_NEAR(IParam().DBToAmp(), 1.0, 1e-12);
}
