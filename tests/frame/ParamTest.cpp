#include <gtest/gtest.h>

#include <string>

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
