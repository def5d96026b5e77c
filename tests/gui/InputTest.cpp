// Scripted mouse and key sequences on the stock controls: the values they
// reach, the capture, and what the plug-in and the host are told.
#include <algorithm>
#include <functional>

#include "GuiTestSupport.h"
#include "IPopupMenu.h"

using namespace guitest;

namespace {
enum class Ev { kDown, kUp, kDrag, kDbl, kWheel };
struct Step {
  Ev ev;
  int x, y;
  IMouseMod mod;
  int wheel = 0;
};

void Play(Gui& gui, const std::vector<Step>& steps) {
  for (Step s : steps) {
    switch (s.ev) {
      case Ev::kDown: gui.graphics.OnMouseDown(s.x, s.y, &s.mod); break;
      case Ev::kUp: gui.graphics.OnMouseUp(s.x, s.y, &s.mod); break;
      case Ev::kDrag: gui.graphics.OnMouseDrag(s.x, s.y, &s.mod); break;
      case Ev::kDbl: gui.graphics.OnMouseDblClick(s.x, s.y, &s.mod); break;
      case Ev::kWheel: gui.graphics.OnMouseWheel(s.x, s.y, &s.mod, s.wheel); break;
    }
  }
}

const IMouseMod L(true), R(false, true), LShift(true, false, true);

struct ControlCase {
  const char* name;
  std::function<IControl*(IPlugBase*)> make;
  std::vector<Step> steps;
  std::vector<double> values;  // the value after each step
};

IControl* Bitmapped(IPlugBase* p, int n, int kind) {
  IBitmap b = Strip(10, 10, n);
  if (kind == 0) return new ISwitchControl(p, 0, 0, 3, &b);
  return new IContactControl(p, 0, 0, 3, &b);
}
}  // namespace

TEST(Input, StockControlsStepThroughTheirValues) {
  const ControlCase cases[] = {
      {"three-frame switch", [](IPlugBase* p) { return Bitmapped(p, 3, 0); },
       {{Ev::kDown, 1, 1, L}, {Ev::kDown, 1, 1, L}, {Ev::kDown, 1, 1, L}, {Ev::kDbl, 1, 1, L}},
       {0.5, 1.0, 0.0, 0.5}},
      {"one-frame switch", [](IPlugBase* p) { return Bitmapped(p, 1, 0); },
       {{Ev::kDown, 1, 1, L}, {Ev::kDown, 1, 1, L}}, {1.0, 0.0}},
      {"contact", [](IPlugBase* p) { return Bitmapped(p, 2, 1); },
       {{Ev::kDown, 1, 1, L}, {Ev::kUp, 1, 1, L}}, {1.0, 0.0}},
      {"invisible switch", [](IPlugBase* p) { return new IInvisibleSwitchControl(p, IRECT(0, 0, 10, 10), 3); },
       {{Ev::kDown, 1, 1, L}, {Ev::kDown, 1, 1, L}}, {1.0, 0.0}},
      {"radio of three, horizontal",
       [](IPlugBase* p) {
         IBitmap b = Strip(10, 10, 2);
         return new IRadioButtonsControl(p, IRECT(0, 0, 50, 10), 3, 3, &b, kHorizontal);
       },
       {{Ev::kDown, 45, 5, L}, {Ev::kDown, 25, 5, L}, {Ev::kDown, 15, 5, L}}, {1.0, 0.5, 0.5}},
      {"radio of one button",
       [](IPlugBase* p) {
         IBitmap b = Strip(10, 10, 2);
         return new IRadioButtonsControl(p, IRECT(0, 0, 50, 10), 3, 1, &b, kHorizontal);
       },
       {{Ev::kDown, 5, 5, L}}, {0.0}},
      {"vertical fader",
       [](IPlugBase* p) {
         IBitmap handle = Strip(10, 10, 1);
         return new IFaderControl(p, 0, 0, 110, 3, &handle);
       },
       {{Ev::kDown, 5, 55, L}, {Ev::kDrag, 5, 105, L}, {Ev::kDrag, 5, 2, L}}, {0.5, 0.0, 1.0}},
      {"vertical knob, gearing 4, height 100",
       [](IPlugBase* p) {
         IBitmap b = Strip(10, 100, 1);
         return new IKnobMultiControl(p, 0, 0, 3, &b);
       },
       {{Ev::kDown, 5, 50, L}, {Ev::kDrag, 5, 40, L}, {Ev::kDrag, 5, 30, LShift}, {Ev::kDrag, 5, 30, L}},
       {0.0, 0.025, 0.0275, 0.0275}},
      {"wheel", [](IPlugBase* p) { return Bitmapped(p, 2, 0); },
       {{Ev::kWheel, 1, 1, IMouseMod(), 3}, {Ev::kWheel, 1, 1, IMouseMod(false, false, true), 2}}, {0.03, 0.032}},
  };
  for (const ControlCase& c : cases) {
    Gui gui;
    IControl* control = c.make(&gui.plug);
    gui.graphics.AttachControl(control);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      Play(gui, {c.steps[i]});
      EXPECT_NEAR(control->GetValue(), c.values[i], 1e-9) << c.name << " step " << i;
    }
  }
}

TEST(Input, CaptureAndHostNotifications) {
  Gui gui;
  IBitmap b = Strip(10, 10, 2);
  auto* bottom = new ISwitchControl(&gui.plug, 0, 0, 1, &b);
  auto* top = new ISwitchControl(&gui.plug, 0, 0, 2, &b);
  gui.graphics.AttachControl(bottom);
  gui.graphics.AttachControl(top);
  auto* unbound = new IInvisibleSwitchControl(&gui.plug, IRECT(20, 0, 30, 10), -1);
  gui.graphics.AttachControl(unbound);

  Play(gui, {{Ev::kDown, 1, 1, L}, {Ev::kDrag, 1, 1, L}, {Ev::kUp, 50, 50, L}});
  EXPECT_EQ(gui.plug.Take(), (std::vector<std::string>{"gui 2=1.0000", "begin 2", "end 2"}));
  // A greyed control lets the press through to the one below it.
  top->GrayOut(true);
  Play(gui, {{Ev::kDown, 1, 1, L}, {Ev::kUp, 1, 1, L}});
  EXPECT_EQ(gui.plug.Take(), (std::vector<std::string>{"gui 1=1.0000", "begin 1", "end 1"}));
  // No parameter, no notification; a release over nothing with no capture does nothing.
  Play(gui, {{Ev::kDown, 25, 5, L}, {Ev::kUp, 25, 5, L}, {Ev::kUp, 90, 90, L}});
  EXPECT_EQ(gui.plug.Take(), std::vector<std::string>{});
  // Double-click as single click captures as a press does, and the release
  // ends it; an edit begun ends once, also when a menu took the pointer.
  bottom->SetMouseDblAsSingleClick(true);
  EXPECT_TRUE(gui.graphics.OnMouseDblClick(1, 1, const_cast<IMouseMod*>(&L)));
  EXPECT_EQ(gui.graphics.GetCapturedControl(), bottom);
  Play(gui, {{Ev::kUp, 1, 1, L}});
  EXPECT_EQ(gui.plug.Take(), (std::vector<std::string>{"gui 1=0.0000", "begin 1", "end 1"}));
  Play(gui, {{Ev::kDown, 1, 1, L}});
  gui.graphics.ReleaseMouseCapture();
  Play(gui, {{Ev::kUp, 1, 1, L}, {Ev::kUp, 1, 1, L}});
  EXPECT_EQ(gui.plug.Take(), (std::vector<std::string>{"gui 1=1.0000", "begin 1", "end 1"}));
  EXPECT_FALSE(gui.graphics.OnKeyDown(90, 90, 3));  // nothing takes the key
}

TEST(Input, ValuePromptsGoThroughTheViewsMenuAndTextEntry) {
  Gui gui;
  IParam* mode = gui.plug.GetParam(4);
  mode->InitEnum("Mode", 1, 3);
  mode->SetDisplayText(0, "Saw");
  mode->SetDisplayText(1, "Square");
  mode->SetDisplayText(2, "Noise");
  IParam* cutoff = gui.plug.GetParam(5);
  cutoff->InitDouble("Cutoff", 0.0, -50.0, 50.0, 0.1);
  cutoff->NegateDisplay();
  IText text;
  auto* modeCaption = new ICaptionControl(&gui.plug, IRECT(0, 0, 40, 20), 4, &text, false);
  auto* cutoffCaption = new ICaptionControl(&gui.plug, IRECT(0, 30, 40, 50), 5, &text, false);
  gui.graphics.AttachControl(modeCaption);
  gui.graphics.AttachControl(cutoffCaption);

  gui.View()->ScriptMenuChoice({2});
  Play(gui, {{Ev::kDown, 5, 5, L}});
  ASSERT_EQ(gui.View()->MenusShown().size(), 1u);
  EXPECT_EQ(gui.View()->MenusShown()[0], (std::vector<std::string>{"Saw", "Square [4]", "Noise"}));
  EXPECT_DOUBLE_EQ(modeCaption->GetValue(), 1.0);

  gui.View()->ScriptTextEntry("12.5x");  // the x is refused by the entry
  Play(gui, {{Ev::kDown, 5, 35, R}});
  ASSERT_EQ(gui.View()->EntriesShown().size(), 1u);
  EXPECT_EQ(gui.View()->EntriesShown()[0].maxLength, 16);
  EXPECT_EQ(gui.View()->EntriesShown()[0].rect, (ViewRect{5, 32, 35, 48}));  // 30 x 16 at the centre
  EXPECT_DOUBLE_EQ(cutoffCaption->GetValue(), cutoff->GetNormalized(-12.5));

  gui.View()->ScriptMenuChoice({});  // cancelled: nothing changes
  Play(gui, {{Ev::kDown, 5, 5, L}});
  EXPECT_DOUBLE_EQ(modeCaption->GetValue(), 1.0);

  // A text committed into a text parameter reaches the plug-in each time,
  // also while its control stands at 0.
  IParam* name = gui.plug.GetParam(6);
  name->InitEnum("Name", 0, 1);
  name->InitText();
  auto* nameCaption = new ICaptionControl(&gui.plug, IRECT(0, 60, 40, 80), 6, &text, false);
  gui.graphics.AttachControl(nameCaption);
  gui.plug.Take();
  for (const char* typed : {"Brass", "Strings"}) {
    gui.View()->ScriptTextEntry(std::string(typed));
    Play(gui, {{Ev::kDown, 5, 65, L}});
    EXPECT_STREQ(name->GetDisplayText(0), typed);
    EXPECT_DOUBLE_EQ(nameCaption->GetValue(), 0.0);
    const auto calls = gui.plug.Take();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "gui 6=0.0000"), 1) << typed;
  }
}

TEST(Input, PopupMenusAnswerWithTheMenuThatHoldsTheChoice) {
  Gui gui;
  IPopupMenu sub, menu;
  sub.AddItem("deep");
  sub.AddItem("deeper");
  menu.SetPrefix(2);
  menu.AddItem("first");
  menu.AddSeparator();
  menu.AddItem("more", &sub);
  gui.View()->ScriptMenuChoice({2, 1});
  IRECT r(0, 0, 10, 10);
  EXPECT_EQ(gui.graphics.CreateIPopupMenu(&menu, &r), &sub);
  EXPECT_EQ(sub.GetChosenItemIdx(), 1);
  EXPECT_EQ(gui.View()->MenusShown()[0],
            (std::vector<std::string>{"01: first", "02:  [8]", "03: more", "  deep", "  deeper"}));
  gui.View()->ScriptMenuChoice({1});  // a separator cannot be chosen
  EXPECT_EQ(gui.graphics.CreateIPopupMenu(&menu, &r), nullptr);
}

TEST(Input, KeysGoToTheCaptureThenLayersThenTheListThenTheCatcher) {
  struct KeyTaker : IInvisibleSwitchControl {
    KeyTaker(IRECT r, std::vector<std::string>* log, const char* name)
        : IInvisibleSwitchControl(nullptr, r, -1), log(log), name(name) {}
    bool OnKeyDown(int, int, int key) override {
      log->push_back(std::string(name) + " " + std::to_string(key));
      return true;
    }
    std::vector<std::string>* log;
    const char* name;
  };
  std::vector<std::string> log;
  Gui gui;
  auto* listed = new KeyTaker(IRECT(0, 0, 10, 10), &log, "list");
  gui.graphics.AttachControl(listed);
  auto* page = new ControlLayer(1, "page");
  page->AttachControl(new KeyTaker(IRECT(20, 0, 30, 10), &log, "layer"));
  page->Hide(false);
  gui.graphics.AttachLayer(page);
  gui.graphics.AttachKeyCatcher(new KeyTaker(IRECT(), &log, "catcher"));
  IMouseMod none;
  gui.graphics.OnMouseDown(5, 5, &none);  // captured: keys go there wherever the mouse is
  EXPECT_TRUE(gui.graphics.OnKeyDown(25, 5, 15));
  gui.graphics.OnMouseUp(5, 5, &none);
  EXPECT_TRUE(gui.graphics.OnKeyDown(25, 5, 16));
  EXPECT_TRUE(gui.graphics.OnKeyDown(5, 5, 17));
  listed->GrayOut(true);
  EXPECT_TRUE(gui.graphics.OnKeyDown(5, 5, 18));
  EXPECT_EQ(log, (std::vector<std::string>{"list 15", "layer 16", "list 17", "catcher 18"}));
}

// A hidden layer keeps controls that are not hidden themselves (a page not
// shown, a closed overlay): a click there reaches what the user sees below.
TEST(Input, AHiddenLayerTakesNoClickAndLetsItThroughToWhatIsShown) {
  const struct {
    const char* what;
    bool pageShown, panelShown;
    std::vector<std::string> log;
  } rows[] = {
      {"page and panel shown: the panel's control", true, true, {"gui 3=1.0000", "begin 3", "end 3"}},
      {"panel hidden: the page's control", true, false, {"gui 2=1.0000", "begin 2", "end 2"}},
      {"page hidden: the control below both", false, true, {"gui 1=1.0000", "begin 1", "end 1"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Gui gui;
    IBitmap b = Strip(10, 10, 2);
    gui.graphics.AttachControl(new ISwitchControl(&gui.plug, 0, 0, 1, &b));
    auto* page = new ControlLayer(1, "page");
    gui.graphics.AttachLayer(page);
    page->AttachControl(new ISwitchControl(&gui.plug, 0, 0, 2, &b));
    ControlLayer* panel = page->AttachLayer(new ControlLayer(10, "panel"));
    panel->AttachControl(new ISwitchControl(&gui.plug, 0, 0, 3, &b));
    page->Hide(!row.pageShown);
    panel->Hide(!row.panelShown);
    Play(gui, {{Ev::kDown, 5, 5, L}, {Ev::kUp, 5, 5, L}});
    EXPECT_EQ(gui.plug.Take(), row.log);
  }
}

// A value wider than its field (a long port or file name) is cut with ".."
// so that it stays inside the field; one that fits is shown whole.
TEST(Input, ACaptionWiderThanItsFieldIsCutToFitIt) {
  Gui gui;
  IParam* port = gui.plug.GetParam(4);
  port->InitEnum("Port", 1, 2);
  port->SetDisplayText(0, "Out");
  port->SetDisplayText(1, "TarnivexPeer:to plugin");
  IText text(11, &COLOR_WHITE, "Tarnivex Fixed", IText::kStyleNormal, IText::kAlignCenter);
  auto* caption = new ICaptionControl(&gui.plug, IRECT(30, 10, 90, 22), 4, &text, false);
  gui.graphics.AttachControl(caption);
  gui.DrawAll();
  EXPECT_EQ(caption->GetText(), "Tarnivex..");  // ten cells of 6 pixels fill the 60
  for (int y = 0; y < gui.graphics.Height(); ++y)
    for (int x : {0, 29, 90, 119}) EXPECT_EQ(LICE_GETR(gui.At(x, y)), 0u) << x << "," << y;
  port->Set(0);
  gui.DrawAll();
  EXPECT_EQ(caption->GetText(), "Out");
  // Whole characters only, whatever the width.
  const std::string accented = "\xC3\xA9t\xC3\xA9\xE2\x82\xAC\xC3\xA9";
  for (int width = 0; width < 60; ++width) {
    const std::string cut = FitTextToWidth(&gui.graphics, &text, accented, width);
    const std::string body = cut.size() >= 2 && cut.compare(cut.size() - 2, 2, "..") == 0 ? cut.substr(0, cut.size() - 2) : cut;
    EXPECT_EQ(accented.compare(0, body.size(), body), 0) << width;
    EXPECT_TRUE(body.size() == accented.size() || (static_cast<unsigned char>(accented[body.size()]) & 0xC0) != 0x80)
        << "cut inside a character at width " << width;
  }
  // The names of the files left out of the library: as many whole ones as
  // fit, then ", .."; all when they fit, even with no room for the mark; the
  // first alone, drawn cut, when not even it fits.
  const struct {
    std::vector<std::string> names;
    int cells;  // of 6 pixels
    const char *text, *drawn;
  } lists[] = {{{"abc", "def", "ghi"}, 10, "abc, ..", "abc, .."},
               {{"abcdef", "g"}, 9, "abcdef, g", "abcdef, g"},  // "abcdef, .." would not fit
               {{"abc", "def", "g"}, 11, "abc, def, g", "abc, def, g"},
               {{"abcdefghijk", "b"}, 10, "abcdefghijk", "abcdefgh.."}};
  for (const auto& list : lists) {
    ITextControl line(&gui.plug, IRECT(0, 30, 6 * list.cells, 42), &text, "");
    line.FitToRect([](const std::string&) {});
    line.SetTextFromPlug(line.ItemsThatFit(&gui.graphics, list.names, ", ").c_str());
    EXPECT_EQ(line.GetText(), list.text) << list.cells;
    EXPECT_EQ(line.ShownText(&gui.graphics), list.drawn) << list.cells;
  }
}
