// The drawing pass: which areas are dirty, what is drawn and cleaned, and
// how layers shown, hidden and greyed take part.
#include <algorithm>

#include "GuiTestSupport.h"

using namespace guitest;

namespace {
class Probe : public IControl {
 public:
  explicit Probe(IRECT r, int param = -1) : IControl(nullptr, &r, param) {}
  bool Draw(IGraphics*) override {
    ++draws;
    return true;
  }
  int draws = 0;
};

Probe* Add(IGraphics& g, IRECT r, int param = -1) {
  auto* p = new Probe(r, param);
  g.AttachControl(p);
  return p;
}
Probe* Add(ControlLayer& l, IRECT r) { return static_cast<Probe*>(l.AttachControl(new Probe(r))); }

void CleanAll(Gui& gui) {
  gui.DrawAll();
  gui.DrawAll();
}
}  // namespace

TEST(DrawPass, DirtyUnionSkipsTheBackgroundAndHiddenControls) {
  Gui gui;
  Probe* bg = Add(gui.graphics, {0, 0, 120, 80});
  Probe* a = Add(gui.graphics, {10, 10, 20, 20});
  Probe* b = Add(gui.graphics, {30, 5, 40, 15});
  Probe* zero = Add(gui.graphics, {});
  CleanAll(gui);
  IRECT r;
  EXPECT_FALSE(gui.graphics.IsDirty(&r));

  struct Row {
    std::vector<Probe*> dirty;
    IRECT expected;
    bool any;
  } rows[] = {
      {{bg}, {}, false},                     // the background is never asked
      {{a}, {10, 10, 20, 20}, true},
      {{a, b}, {10, 5, 40, 20}, true},
      {{zero}, {}, true},                     // dirty, but nothing to widen
      {{zero, b}, {30, 5, 40, 15}, true},
  };
  for (const Row& row : rows) {
    for (Probe* p : row.dirty) p->SetDirty(false);
    r = IRECT();
    EXPECT_EQ(gui.graphics.IsDirty(&r), row.any);
    EXPECT_EQ(r, row.expected);
    CleanAll(gui);
  }
  // With a pass area the union stops growing past it: each pass takes what
  // fits (at least one control) and the rest waits for the next, none lost.
  gui.graphics.SetPassArea(200);  // a and b together span 30 x 15
  a->SetDirty(false);
  b->SetDirty(false);
  for (const IRECT& expected : {IRECT(10, 10, 20, 20), IRECT(30, 5, 40, 15)}) {
    r = IRECT();
    ASSERT_TRUE(gui.graphics.IsDirty(&r));
    EXPECT_EQ(r, expected);
    gui.graphics.Draw(&r);
  }
  r = IRECT();
  EXPECT_FALSE(gui.graphics.IsDirty(&r));
  // A control changed again before every pass starves none after it: each
  // pass starts where the last one stopped.
  b->SetDirty(false);
  for (const IRECT& expected : {IRECT(10, 10, 20, 20), IRECT(30, 5, 40, 15), IRECT(10, 10, 20, 20)}) {
    a->SetDirty(false);
    r = IRECT();
    ASSERT_TRUE(gui.graphics.IsDirty(&r));
    EXPECT_EQ(r, expected);
    gui.graphics.Draw(&r);
  }
  EXPECT_FALSE(b->IsDirty());
  CleanAll(gui);
  // A control larger than a pass is drawn whole in a pass of its own; one a
  // pass drew only in part is left dirty for a later pass to draw whole.
  Probe* big = Add(gui.graphics, {50, 40, 90, 70});  // six passes' area
  Probe* cut = Add(gui.graphics, {20, 30, 30, 40});
  CleanAll(gui);
  a->SetDirty(false);
  big->SetDirty(false);
  const int bigDraws = big->draws;
  std::vector<IRECT> passes;
  for (r = IRECT(); gui.graphics.IsDirty(&r) && passes.size() < 5; r = IRECT()) {
    passes.push_back(r);
    gui.graphics.Draw(&r);
  }
  std::sort(passes.begin(), passes.end(), [](const IRECT& x, const IRECT& y) { return x.L < y.L; });
  EXPECT_EQ(passes, (std::vector<IRECT>{IRECT(10, 10, 20, 20), IRECT(50, 40, 90, 70)}));
  EXPECT_EQ(big->draws, bigDraws + 1);
  EXPECT_FALSE(big->IsDirty());
  IRECT part(10, 25, 25, 35);
  gui.graphics.Draw(&part);
  EXPECT_TRUE(cut->IsDirty());
  r = IRECT();
  ASSERT_TRUE(gui.graphics.IsDirty(&r));
  EXPECT_EQ(r, IRECT(20, 30, 30, 40));
  gui.graphics.Draw(&r);
  EXPECT_FALSE(cut->IsDirty());
  gui.graphics.SetPassArea(0);
  a->Hide(true);
  CleanAll(gui);
  a->SetDirty(false);
  r = IRECT();
  EXPECT_FALSE(gui.graphics.IsDirty(&r));
  a->SetDirtyWhenHidden(true);
  EXPECT_TRUE(gui.graphics.IsDirty(&r));
}

TEST(DrawPass, StrictDrawingDrawsWhatMeetsTheAreaAndCleansWhatItDrewWhole) {
  Gui gui;
  Probe* bg = Add(gui.graphics, {0, 0, 120, 80});
  Probe* touchLeft = Add(gui.graphics, {50, 10, 60, 20});   // its left equals r.right: drawn
  Probe* touchRight = Add(gui.graphics, {0, 10, 10, 20});   // its right equals r.left: not drawn
  Probe* inside = Add(gui.graphics, {20, 20, 30, 30});
  Probe* hidden = Add(gui.graphics, {20, 20, 30, 30});
  hidden->Hide(true);
  IRECT r(10, 10, 50, 40);
  gui.graphics.Draw(&r);
  EXPECT_EQ(bg->draws, 1);
  EXPECT_EQ(touchLeft->draws, 1);
  EXPECT_EQ(touchRight->draws, 0);
  EXPECT_EQ(inside->draws, 1);
  EXPECT_EQ(hidden->draws, 0);
  EXPECT_TRUE(bg->IsDirty());
  // Only what the pass drew whole is clean: a control outside the area (an
  // exposed strip repainted while a status text changed) or cut by its edge
  // waits for the next pass, which takes all of it.
  EXPECT_FALSE(inside->IsDirty());
  EXPECT_TRUE(touchRight->IsDirty());
  EXPECT_TRUE(touchLeft->IsDirty());
  IRECT next;
  ASSERT_TRUE(gui.graphics.IsDirty(&next));
  EXPECT_EQ(next, IRECT(0, 10, 60, 20));
  gui.graphics.Draw(&next);
  EXPECT_FALSE(touchRight->IsDirty());
  EXPECT_FALSE(touchLeft->IsDirty());
  // A redraw request keeps a control dirty for one more pass.
  inside->SetValueFromPlug(0.2);  // first value: the default, no redraw of its own
  EXPECT_FALSE(inside->IsDirty());
  inside->SetValueFromPlug(0.4);
  gui.graphics.Draw(&r);
  EXPECT_TRUE(inside->IsDirty());
  gui.graphics.Draw(&r);
  EXPECT_FALSE(inside->IsDirty());
}

// The other pass redraws around each dirty control; a dirty background
// redraws everything shown.
TEST(DrawPass, NonStrictDrawingRedrawsAroundEachDirtyControl) {
  Gui gui;
  Probe* bg = Add(gui.graphics, {0, 0, 120, 80});
  Probe* dirty = Add(gui.graphics, {10, 10, 20, 20});
  Probe* touchLeft = Add(gui.graphics, {0, 10, 10, 20});     // its right equals d.left: drawn
  Probe* touchRight = Add(gui.graphics, {20, 10, 30, 20});   // its left equals d.right: not drawn
  Probe* touchBottom = Add(gui.graphics, {10, 0, 20, 10});   // its bottom equals d.top: drawn
  Probe* hidden = Add(gui.graphics, {10, 10, 20, 20});
  Probe* far = Add(gui.graphics, {60, 60, 70, 70});
  hidden->Hide(true);
  auto* layer = new ControlLayer(0, "top");
  layer->Hide(false);
  Probe* onLayer = Add(*layer, {100, 60, 110, 70});
  gui.graphics.AttachLayer(layer);
  const std::vector<Probe*> all = {bg, dirty, touchLeft, touchRight, touchBottom, hidden, far};
  auto draws = [&] {
    std::vector<int> n;
    for (Probe* p : all) n.push_back(std::exchange(p->draws, 0));
    return n;
  };

  gui.graphics.SetStrictDrawing(false);  // every control dirty, the background too
  IRECT ignored(0, 0, 1, 1);
  gui.graphics.Draw(&ignored);
  EXPECT_EQ(draws(), std::vector<int>({1, 1, 1, 1, 1, 0, 1}));
  EXPECT_EQ(gui.graphics.GetDrawRect(), IRECT(0, 0, 120, 80));
  EXPECT_FALSE(bg->IsDirty());
  EXPECT_FALSE(far->IsDirty());
  EXPECT_EQ(std::exchange(onLayer->draws, 0), 1);  // the layers draw inside the background's area

  for (int pass = 0; pass < 2; ++pass) gui.graphics.Draw(&ignored);  // the hidden one's redraw
  draws();
  dirty->SetDirty(false);
  gui.graphics.Draw(&ignored);
  EXPECT_EQ(draws(), std::vector<int>({1, 1, 1, 0, 1, 0, 0}));
  EXPECT_EQ(gui.graphics.GetDrawRect(), IRECT(10, 10, 20, 20));
  EXPECT_FALSE(dirty->IsDirty());
  EXPECT_EQ(onLayer->draws, 0);  // the layers draw inside the last control's area

  // Nothing dirty: nothing of the list is drawn.
  gui.graphics.Draw(&ignored);
  EXPECT_EQ(draws(), std::vector<int>(all.size(), 0));
}

TEST(DrawPass, ResizeToANewSizeEmptiesTheControlListButKeepsTheLayers) {
  Gui gui;
  Add(gui.graphics, {0, 0, 10, 10});
  gui.graphics.AttachLayer(new ControlLayer(1, "page"));
  gui.plug.Take();
  // To the size it has: nothing changes, the host is not asked.
  gui.graphics.Resize(120, 80);
  EXPECT_EQ(gui.graphics.NControls(), 1);
  EXPECT_TRUE(gui.plug.Take().empty());
  gui.graphics.Resize(200, 100);
  EXPECT_EQ(gui.graphics.NControls(), 0);
  EXPECT_EQ(gui.graphics.NLayers(), 1);
  EXPECT_EQ(gui.graphics.GetDrawBitmap()->getWidth(), 200);
  EXPECT_EQ(gui.plug.Take(), std::vector<std::string>{"resize 200x100"});
}

TEST(Layers, ShowingBringsBackOnlyTheSelectedSubLayers) {
  ControlLayer root(1, "page");
  ControlLayer* a = root.AttachLayer(new ControlLayer(10, "a"));
  ControlLayer* b = root.AttachLayer(new ControlLayer(11, "b"));
  ControlLayer* b2 = root.AttachLayer(new ControlLayer(11, "b2"));
  EXPECT_TRUE(root.IsHidden());  // created not visible
  root.selectedNumber = 11;
  root.Hide(false);
  EXPECT_EQ(std::vector<bool>({a->IsVisible(), b->IsVisible(), b2->IsVisible()}),
            std::vector<bool>({false, true, true}));
  a->Hide(false);
  root.Hide(true);
  root.Hide(false);
  EXPECT_FALSE(a->IsVisible());
  root.selectedNumber = 99;  // matches none: own controls only
  root.Hide(true);
  root.Hide(false);
  EXPECT_TRUE(root.IsVisible());
  EXPECT_FALSE(b->IsVisible());
}

TEST(Layers, GreyingZonesAndTheHiddenLayerThatStillReportsItsFirstControl) {
  ControlLayer root(1, "page");
  ControlLayer* zone = root.AttachLayer(new ControlLayer(12, "zone"));
  Probe* c = Add(*zone, {1, 1, 5, 5});
  root.GrayOutCustomZone(true, 12);
  EXPECT_TRUE(c->IsGrayed());
  EXPECT_EQ(c->GetBlend()->mWeight, 0.5f);
  root.GrayOutCustomZone(false, 9);  // out of range: only the selection moves
  EXPECT_EQ(root.selectedNumber, 9);
  EXPECT_TRUE(c->IsGrayed());
  root.GrayOut(false);
  EXPECT_TRUE(c->IsGrayed());  // 12 is not the selected id
  root.selectedNumber = 12;
  root.GrayOut(false);
  EXPECT_FALSE(c->IsGrayed());
  EXPECT_EQ(c->GetBlend()->mWeight, 1.0f);

  ControlLayer hidden(2, "popup");
  Probe* first = Add(hidden, {10, 10, 50, 50});
  Add(hidden, {20, 20, 30, 30});
  IRECT r;
  EXPECT_FALSE(hidden.isDirty(&r));
  hidden.setIgnoreHiddenWhenUpdatingScreen(true);
  EXPECT_TRUE(hidden.isDirty(&r));
  EXPECT_EQ(r, IRECT(10, 10, 50, 50));
  // Drawing cleans the controls of a hidden layer without drawing them.
  IRECT all(0, 0, 100, 100);
  hidden.Draw(nullptr, &all);
  EXPECT_EQ(first->draws, 0);
  EXPECT_FALSE(first->IsDirty());
}

TEST(Layers, AHiddenLayerNeitherDrawsNorTakesClicksAndItsAreaIsRepaintedOnce) {
  Gui gui(120, 80);
  auto* page = new ControlLayer(0, "page");
  gui.graphics.AttachLayer(page);
  ControlLayer* strip = page->AttachLayer(new ControlLayer(0, "strip"));
  Probe* knob = Add(*strip, {10, 60, 30, 75});
  page->Hide(false);
  EXPECT_TRUE(strip->IsVisible());
  CleanAll(gui);
  const int drawn = knob->draws;
  EXPECT_EQ(gui.graphics.GetMouseControlIdx(20, 70, false), knob);

  // The page hidden: its sub-layer keeps its own flag but shows nothing,
  // takes no click, and the area it covered is painted over once.
  page->Hide(true);
  strip->Hide(false);
  IRECT r;
  ASSERT_TRUE(gui.graphics.IsDirty(&r));
  EXPECT_EQ(r, IRECT(10, 60, 30, 75));
  gui.DrawAll();
  EXPECT_EQ(knob->draws, drawn);
  EXPECT_EQ(gui.graphics.GetMouseControlIdx(20, 70, false), nullptr);
  IRECT after;
  EXPECT_FALSE(gui.graphics.IsDirty(&after));

  // A pass over another area leaves the vacated area for the next one.
  page->Hide(false);
  CleanAll(gui);
  page->Hide(true);
  IRECT elsewhere(50, 0, 60, 10);
  gui.graphics.Draw(&elsewhere);
  IRECT still;
  EXPECT_TRUE(gui.graphics.IsDirty(&still));
  EXPECT_EQ(still, IRECT(10, 60, 30, 75));
}
