// The editor view's rules that need no display: how X input becomes the
// editor's, what menus and text entries accept, and how the desktop's
// dialog tools are asked and answered.
#include <unistd.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "DesktopTools.h"
#include "KeyNumbers.h"
#include "MenuLayout.h"
#include "ViewMenuTree.h"
#include "ViewText.h"
#include "X11Dialogs.h"
#include "X11Input.h"
#include "X11TextEntry.h"

namespace {
std::string Mods(const ViewMouseMod& m) {
  std::string s;
  for (auto [on, c] : {std::pair{m.L, 'L'}, {m.R, 'R'}, {m.S, 'S'}, {m.C, 'C'}, {m.A, 'A'}}) s += on ? c : '-';
  return s;
}
}  // namespace

TEST(ViewInput, ButtonsAndModifierStates) {
  struct Row {
    bool right;
    unsigned state;
    const char* mods;
  };
  const Row rows[] = {
      {false, 0, "L----"},
      {true, 0, "-R---"},
      {false, Mod4Mask, "LR---"},  // Super with the left button is the right-button action
      {false, ShiftMask, "L-S--"},
      {false, ControlMask, "L--C-"},
      {false, Mod1Mask, "L---A"},
      {true, ShiftMask | ControlMask | Mod1Mask, "-RSCA"},
      {false, LockMask | Mod2Mask | Button1Mask, "L----"},  // caps and num lock change nothing
  };
  for (const Row& row : rows) EXPECT_EQ(Mods(ModForButton(row.right, row.state)), row.mods) << row.state;

  EXPECT_EQ(Mods(ModForMotion(Button1Mask)), "L----");
  EXPECT_EQ(Mods(ModForMotion(Button3Mask | ShiftMask)), "-RS--");
  EXPECT_EQ(Mods(ModForMotion(Button1Mask | Button3Mask)), "L----");
}

TEST(ViewInput, WheelButtonsGiveOneStepEach) {
  const std::pair<unsigned, int> rows[] = {{Button4, 1}, {Button5, -1}, {6, 0}, {7, 0}, {Button1, 0}, {Button3, 0}};
  for (auto [button, steps] : rows) EXPECT_EQ(WheelStepsForButton(button), steps) << button;
}

TEST(ViewInput, KeySymbolsAndTextGiveKeyNumbers) {
  struct Row {
    KeySym keysym;
    const char* text;
    int key;
  };
  const Row rows[] = {
      {XK_Up, "", 1},     {XK_Down, "", 2},   {XK_Left, "", 3},    {XK_Right, "", 4}, {XK_space, " ", 0},
      {XK_0, "0", 5},     {XK_9, "9", 14},    {XK_A, "A", 15},     {XK_q, "q", 31},   {XK_Q, "Q", 31},
      {XK_z, "z", 40},    {XK_F1, "", -1},    {XK_Escape, "\x1b", -1},
      {XK_eacute, "\xc3\xa9", -1},  // an accented letter is two bytes and not taken
      {XK_minus, "-", -1}, {XK_KP_1, "1", 6},
  };
  for (const Row& row : rows) {
    const int length = static_cast<int>(std::string(row.text).size());
    EXPECT_EQ(KeyNumberForKeysym(row.keysym, row.text, length), row.key) << row.text;
  }
}

TEST(ViewInput, HostKeysGiveKeyNumbers) {
  struct Row {
    int character, virtualKey, key;
  };
  const Row rows[] = {{0, 12, 1}, {0, 14, 2}, {0, 11, 3}, {0, 13, 4}, {0, 7, 0},  {' ', 0, 0}, {'7', 0, 12},
                      {'b', 0, 16}, {'B', 0, 16}, {0, 6, -1}, {0, 1, -1}, {'#', 0, -1}, {0, 0, -1}};
  for (const Row& row : rows)
    EXPECT_EQ(KeyNumberForVstKey(row.character, row.virtualKey), row.key) << row.character << "/" << row.virtualKey;
}

TEST(ViewInput, ClicksCountWhenCloseInTimeAndPlace) {
  struct Press {
    unsigned button;
    unsigned long time;
    int x, y, count;
  };
  const Press presses[] = {
      {1, 1000, 10, 10, 1}, {1, 1300, 12, 11, 2},  // a double-click
      {1, 1600, 12, 11, 3},                        // and a third
      {1, 2100, 12, 11, 1},                        // too late
      {1, 2200, 20, 11, 1},                        // too far
      {3, 2300, 20, 11, 1},                        // another button
      {1, 2400, 20, 11, 1},
  };
  ClickCounter counter;
  for (const Press& p : presses) EXPECT_EQ(counter.Press(p.button, p.time, p.x, p.y), p.count) << p.time;
}

TEST(ViewRecords, RectanglesMergeAndClip) {
  const ViewRect a{10, 10, 20, 20}, b{15, 5, 30, 18}, none{};
  EXPECT_EQ(a.Union(b), (ViewRect{10, 5, 30, 20}));
  EXPECT_EQ(a.Union(none), a);
  EXPECT_EQ(none.Union(b), b);
  EXPECT_EQ(a.Intersect(b), (ViewRect{15, 10, 20, 18}));
  EXPECT_TRUE(a.Intersect({20, 20, 30, 30}).Empty());
}

TEST(ViewRecords, MenuLabelsAndChoosableItems) {
  ViewMenu sub;
  sub.items = {{"deep"}};
  ViewMenu menu;
  menu.items = {{"One"}, {"", kViewMenuSeparator}, {"Off", kViewMenuDisabled}, {"Head", kViewMenuTitle},
                {"More", 0, &sub}, {"Ticked", kViewMenuChecked}};
  const bool choosable[] = {true, false, false, true, false, true};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(menu.Choosable(i), choosable[i]) << i;
  EXPECT_FALSE(menu.Choosable(6));
  EXPECT_FALSE(menu.Choosable(-1));

  const std::pair<int, const char*> prefixes[] = {{0, "Ticked"}, {1, "6: Ticked"}, {2, "06: Ticked"},
                                                  {3, "006: Ticked"}, {4, "Ticked"}};
  for (auto [prefix, label] : prefixes) {
    menu.prefix = prefix;
    EXPECT_EQ(menu.Label(5), label) << prefix;
  }
}

TEST(ViewRecords, TextEntryCharactersByParameterType) {
  struct Row {
    int type;
    const char* text;
    bool accepted;
  };
  const Row rows[] = {
      {2, "-12", true},  {2, "1.5", false}, {2, "+7", true},      {1, "1", true},         {3, "x", false},
      {4, "-1.5", true}, {4, "1,5", false}, {5, "Pad #3 (new)!", true}, {5, "tab\t", false}, {5, "\"q\"", true},
  };
  for (const Row& row : rows) {
    ViewTextEntry entry;
    entry.allowed = TextEntryCharacters(row.type);
    entry.maxLength = 16;
    EXPECT_EQ(entry.Accepts(row.text), row.accepted) << row.type << " " << row.text;
  }
  ViewTextEntry limited;
  limited.maxLength = 16;
  EXPECT_TRUE(limited.Accepts(std::string(16, '1')));
  EXPECT_FALSE(limited.Accepts(std::string(17, '1')));
  EXPECT_TRUE(ViewTextEntry{}.Accepts(std::string(100, 'x')));
}

TEST(ViewTextEntryTyping, KeysEditCommitAndCancel) {
  using R = TextEntryEditor::Result;
  struct Step {
    KeySym keysym;
    const char* typed;
    R result;
    const char* text;
  };
  ViewTextEntry entry;
  entry.text = "64";
  entry.allowed = TextEntryCharacters(2);
  entry.maxLength = 4;
  TextEntryEditor editor(entry);
  const Step steps[] = {
      {XK_1, "1", R::kOpen, "1"},  // the first character replaces the selected text
      {XK_period, ".", R::kOpen, "1"},
      {XK_2, "2", R::kOpen, "12"},
      {XK_3, "3", R::kOpen, "123"},
      {XK_4, "4", R::kOpen, "1234"},
      {XK_5, "5", R::kOpen, "1234"},  // past the limit
      {XK_BackSpace, "\b", R::kOpen, "123"},
      {XK_Tab, "\t", R::kOpen, "123"},
      {XK_Return, "\r", R::kCommit, "123"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(editor.Type(step.keysym, step.typed), step.result) << step.typed;
    EXPECT_EQ(editor.Text(), step.text) << step.typed;
  }
  TextEntryEditor cancelled(entry);
  EXPECT_EQ(cancelled.Type(XK_BackSpace, "\b"), R::kOpen);
  EXPECT_EQ(cancelled.Text(), "");
  EXPECT_EQ(cancelled.Type(XK_Escape, "\x1b"), R::kCancel);

  std::string text = "ab\xc3\xa9";
  EraseLastCharacter(&text);
  EXPECT_EQ(text, "ab");
}

TEST(ViewMenuLayout, RowsAreItemsSeparatorsIncluded) {
  ViewText text(13);
  ASSERT_TRUE(text.Ok()) << "no font found (install fonts-dejavu-core)";
  ViewMenu menu;
  menu.items = {{"Saw"}, {"", kViewMenuSeparator}, {"Square", kViewMenuDisabled}, {"Noise"}};
  MenuLayout layout(menu, text);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(layout.ItemAt(5, layout.ItemTop(i)), i);
    EXPECT_EQ(layout.ItemAt(5, layout.ItemTop(i) + layout.ItemHeight(i) - 1), i);
  }
  EXPECT_EQ(layout.ItemHeight(1), MenuLayout::kSeparatorHeight);
  EXPECT_EQ(layout.ItemAt(5, 0), -1);                    // the border
  EXPECT_EQ(layout.ItemAt(-1, layout.ItemTop(0)), -1);   // left of the level
  EXPECT_EQ(layout.ItemAt(layout.Width(), layout.ItemTop(0)), -1);
  EXPECT_GE(layout.Width(), text.Width("Square") + MenuLayout::kMarkWidth);
  // The keyboard skips separators and disabled items, and wraps.
  const std::pair<int, int> down[] = {{-1, 0}, {0, 3}, {3, 0}};
  for (auto [from, to] : down) EXPECT_EQ(layout.Step(from, 1), to) << from;
  EXPECT_EQ(layout.Step(-1, -1), 3);
  EXPECT_EQ(layout.Step(0, -1), 3);
}

TEST(ViewMenuLayout, ALevelTallerThanItsRoomScrollsBetweenTwoArrows) {
  ViewText text(13);
  ASSERT_TRUE(text.Ok());
  std::vector<std::string> labels;
  ViewMenu menu;
  for (int i = 0; i < 66; ++i) labels.push_back("Shape " + std::to_string(i + 1));
  for (const std::string& label : labels) menu.items.push_back({label});
  MenuLayout layout(menu, text);
  const int content = layout.ContentHeight();
  layout.Fit(content);  // room enough: nothing scrolls
  EXPECT_FALSE(layout.Scrolls());
  layout.Fit(300);
  ASSERT_TRUE(layout.Scrolls());
  EXPECT_EQ(layout.Height(), 300);
  const int arrow = MenuLayout::kScrollArrowHeight;
  EXPECT_EQ(layout.ArrowAt(10, arrow / 2), -1);
  EXPECT_EQ(layout.ArrowAt(10, 300 - arrow / 2), 1);
  EXPECT_EQ(layout.ItemAt(10, arrow / 2), -1);          // an arrow is no item
  EXPECT_EQ(layout.ItemAt(10, layout.ItemTop(0)), 0);    // the first row sits under the upper arrow
  EXPECT_EQ(layout.ItemTop(0), arrow + MenuLayout::kBorder);
  // A row the lower arrow cuts cannot be taken.
  const int cut = layout.RowsShown();
  EXPECT_EQ(layout.ItemAt(10, layout.ItemTop(cut)), -1);
  EXPECT_FALSE(layout.ScrollBy(-1));  // already at the top
  EXPECT_TRUE(layout.ScrollToShow(65));
  EXPECT_LE(layout.ItemTop(65) + layout.ItemHeight(65), 300 - arrow);
  EXPECT_EQ(layout.ItemAt(10, layout.ItemTop(65) + 2), 65);
  EXPECT_FALSE(layout.ScrollBy(1));  // the last row shows: no further
  EXPECT_TRUE(layout.ScrollToShow(0));
  EXPECT_EQ(layout.ItemTop(0), arrow + MenuLayout::kBorder);
}

TEST(ViewText, DecodesUtf8AndMeasures) {
  EXPECT_EQ(DecodeUtf8("a\xc3\xa9\xe2\x82\xac"), (std::u32string{U'a', U'\u00e9', U'\u20ac'}));
  EXPECT_EQ(DecodeUtf8("\xc3"), std::u32string{U'\uFFFD'});  // cut sequence
  EXPECT_EQ(DecodeUtf8("\xff" "a"), (std::u32string{U'\uFFFD', U'a'}));
  ViewText text(13);
  ASSERT_TRUE(text.Ok());
  EXPECT_EQ(text.Width(""), 0);
  EXPECT_GT(text.Width("WW"), text.Width("W"));
  EXPECT_GT(text.LineHeight(), text.Ascent());
  const int width = text.Width("one two") + 2;
  const std::vector<std::string> lines = WrapText(text, "one two three four five six\nseven", width);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), "one two");
  EXPECT_EQ(lines.back(), "seven");  // a line break starts a line
  std::string joined;
  for (const std::string& line : lines) {
    EXPECT_LE(text.Width(line), width) << line;
    joined += (joined.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(joined, "one two three four five six seven");
}

TEST(DesktopDialogs, MessageBoxCommandsAndAnswers) {
  EXPECT_EQ(MessageBoxCommand(DialogTool::kZenity, "Save?", "Bank", 3),
            (std::vector<std::string>{"zenity", "--question", "--title=Bank", "--text=Save?", "--no-markup",
                                      "--ok-label=Yes", "--cancel-label=No", "--extra-button=Cancel"}));
  EXPECT_EQ(MessageBoxCommand(DialogTool::kZenity, "Done", "Bank", 0),
            (std::vector<std::string>{"zenity", "--info", "--title=Bank", "--text=Done", "--no-markup"}));
  EXPECT_EQ(MessageBoxCommand(DialogTool::kKdialog, "Save?", "Bank", 4),
            (std::vector<std::string>{"kdialog", "--title", "Bank", "--yesno", "Save?"}));
  EXPECT_TRUE(MessageBoxCommand(DialogTool::kNone, "x", "y", 1).empty());

  struct Row {
    DialogTool tool;
    int type, exitCode;
    const char* output;
    int answer;
  };
  const Row rows[] = {
      {DialogTool::kZenity, 4, 0, "", 1},        {DialogTool::kZenity, 4, 1, "", 7},
      {DialogTool::kZenity, 3, 1, "Cancel\n", 2}, {DialogTool::kZenity, 3, 1, "", 7},
      {DialogTool::kZenity, 1, 1, "", 7},        {DialogTool::kZenity, 0, 0, "", 1},
      {DialogTool::kZenity, 0, 1, "", 0},        {DialogTool::kZenity, 4, 5, "", 0},
      {DialogTool::kKdialog, 3, 2, "", 2},       {DialogTool::kKdialog, 3, 1, "", 7},
      {DialogTool::kKdialog, 4, 2, "", 0},       {DialogTool::kKdialog, 1, 0, "", 1},
  };
  for (const Row& row : rows)
    EXPECT_EQ(MessageBoxAnswer(row.tool, row.type, row.exitCode, row.output), row.answer)
        << DialogToolName(row.tool) << " type " << row.type << " exit " << row.exitCode;
  const std::pair<int, int> buttons[] = {{3, 3}, {4, 2}, {1, 2}, {0, 1}, {9, 1}};
  for (auto [type, count] : buttons) EXPECT_EQ(MessageBoxButtons(type).size(), static_cast<size_t>(count)) << type;
  EXPECT_EQ(MessageBoxButtons(1)[1].answer, 7);
}

TEST(DesktopDialogs, FilePromptCommandsAndAnswers) {
  const ViewFilePrompt save{true, "/home/u/Patches/", "Bank.syx", "syx mid"};
  EXPECT_EQ(FilePromptCommand(DialogTool::kZenity, save),
            (std::vector<std::string>{"zenity", "--file-selection", "--filename=/home/u/Patches/Bank.syx", "--save",
                                      "--confirm-overwrite", "--file-filter=*.syx *.SYX *.mid *.MID"}));
  const ViewFilePrompt open{false, "/tmp", "", ""};
  EXPECT_EQ(FilePromptCommand(DialogTool::kKdialog, open),
            (std::vector<std::string>{"kdialog", "--getopenfilename", "/tmp/"}));
  EXPECT_EQ(FilePromptAnswer(0, "/tmp/a b.syx\n"), "/tmp/a b.syx");
  EXPECT_EQ(FilePromptAnswer(1, "/tmp/a.syx\n"), "");
}

TEST(DesktopDialogs, ChildProcessesRunAndReport) {
  const ChildResult echo = RunChild({"/bin/sh", "-c", "printf 'picked\\n'; exit 3"});
  EXPECT_TRUE(echo.ran);
  EXPECT_EQ(echo.exitCode, 3);
  EXPECT_EQ(echo.output, "picked\n");
  EXPECT_FALSE(RunChild({"no-such-program-here"}).ran);
  EXPECT_FALSE(RunChild({}).ran);
  // With SIGCHLD ignored (as some hosts have it) no exit status can be read:
  // a dialog's answer is then unknown, never "the first button".
  struct sigaction ignore {}, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &previous);
  EXPECT_FALSE(RunChild({"/bin/sh", "-c", "exit 0"}).ran);
  sigaction(SIGCHLD, &previous, nullptr);
}

TEST(DesktopDialogs, ToolsAreFoundOnThePath) {
  const char* saved = std::getenv("PATH");
  const std::string keep = saved ? saved : "";
  const std::string folder = ::testing::TempDir() + "/dialog-tools-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  const auto tool = [&](const char* name) {
    const std::string path = folder + "/" + name;
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("#!/bin/sh\nexit 0\n", f);
    std::fclose(f);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  };
  setenv("PATH", folder.c_str(), 1);
  EXPECT_EQ(FindDialogTool(), DialogTool::kNone);
  tool("kdialog");
  EXPECT_EQ(FindDialogTool(), DialogTool::kKdialog);
  tool("zenity");
  EXPECT_EQ(FindDialogTool(), DialogTool::kZenity);
  setenv("PATH", keep.c_str(), 1);
  std::filesystem::remove_all(folder);
}

namespace {
// A menu model of the shape the graphics context keeps: items with texts,
// flags and submenus it does not own.
struct ModelMenu {
  struct Item {
    std::string text;
    int flags;
    ModelMenu* submenu;
  };
  std::vector<Item> items;
  int prefix = 0;
};

ViewMenuTree<ModelMenu> TreeOf(const ModelMenu& root) {
  return ViewMenuTree<ModelMenu>(
      root, [](const ModelMenu& m) { return ViewMenuTree<ModelMenu>::LevelDescription{int(m.items.size()), m.prefix}; },
      [](const ModelMenu& m, int i) {
        const ModelMenu::Item& item = m.items[i];
        return ViewMenuTree<ModelMenu>::ItemDescription{item.text, item.flags, item.submenu};
      });
}
}  // namespace

TEST(ViewMenuTreeTest, LevelsFollowTheModelAndLeadBackToIt) {
  ModelMenu deep{{{"Deep", 0, nullptr}}, 3};
  ModelMenu sub{{{"A", 0, nullptr}, {"", kViewMenuSeparator, nullptr}, {"Deeper", 0, &deep}}, 1};
  ModelMenu root{{{"One", kViewMenuChecked, nullptr}, {"Sub", 0, &sub}, {"Off", kViewMenuDisabled, nullptr}}, 2};
  const ViewMenuTree<ModelMenu> tree = TreeOf(root);
  const ViewMenu& top = tree.Root();
  ASSERT_EQ(top.items.size(), 3u);
  EXPECT_EQ(top.Label(0), "01: One");
  EXPECT_EQ(top.items[0].flags, kViewMenuChecked);
  EXPECT_EQ(top.items[2].flags, kViewMenuDisabled);
  ASSERT_NE(top.items[1].submenu, nullptr);
  const ViewMenu& second = *top.items[1].submenu;
  EXPECT_EQ(second.Label(0), "1: A");  // each level keeps its model's prefix style
  EXPECT_EQ(second.items[1].flags, kViewMenuSeparator);
  ASSERT_NE(second.items[2].submenu, nullptr);
  EXPECT_EQ(second.items[2].submenu->Label(0), "001: Deep");
  EXPECT_EQ(tree.ModelOf(&top), &root);
  EXPECT_EQ(tree.ModelOf(&second), &sub);
  EXPECT_EQ(tree.ModelOf(second.items[2].submenu), &deep);
  ViewMenu stranger;
  EXPECT_EQ(tree.ModelOf(&stranger), nullptr);

  // A model that holds itself ends at a bounded depth.
  ModelMenu loop{{{"Again", 0, nullptr}}, 0};
  loop.items[0].submenu = &loop;
  const ViewMenuTree<ModelMenu> looped = TreeOf(loop);
  int depth = 0;
  for (const ViewMenu* level = &looped.Root(); level; level = level->items[0].submenu) ++depth;
  EXPECT_EQ(depth, 16);
}
