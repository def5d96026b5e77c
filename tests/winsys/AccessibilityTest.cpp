// The accessibility services' questions about a dialog with children: what
// lies under a point, what has the focus, and the children, each asking the
// window procedure's object (WM_GETOBJECT) first.
#include "ControlCreation.h"
#include "WindowFixture.h"
#include "model/Accessibility.h"

namespace {

using winsys::App;
using winsys::Pointf;

// A part a custom view draws itself: the left half of the view is a knob, the focus is on it.
struct Knob : winsys::AccessibilityElement {};
struct CustomView : winsys::AccessibilityElement {
  Knob* knob = nullptr;
  double splitX = 0;
  HWND__* accessibilityHitTest(Pointf p) override { return p.x < splitX ? knob : nullptr; }
  HWND__* accessibilityFocusedUIElement() override { return knob; }
};
struct DialogExtra : winsys::AccessibilityElement {};

class Accessibility : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    top = topLevel(300, 200);
    SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
    button = SWELL_MakeButton(0, "OK", 1, 10, 10, 60, 20, 0);
    custom = child(top, 100, 10, 80, 40, 2);
    elements.knob = &knob;
    elements.splitX = swell::asView(custom)->window()->convertBaseToScreen(
        swell::asView(custom)->convertPointToBase({40, 0})).x;
    rec.hook = [this](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (m != WM_GETOBJECT || wp != 0x1001) return 0;
      if (h == custom) *reinterpret_cast<void**>(lp) = &elements;
      if (h == top && dialogAnswers) *reinterpret_cast<void**>(lp) = dialogExtra;
      return 0;
    };
  }
  void TearDown() override {
    WindowTest::TearDown();
    if (dialogExtra) dialogExtra->release();
  }
  Pointf screenPoint(HWND v, double x, double y) {
    winsys::View* view = swell::asView(v);
    return view->window()->convertBaseToScreen(view->convertPointToBase({x, y}));
  }
  std::vector<HWND__*> children(const char* attribute) {
    const std::vector<HWND__*>* list = swell::asView(top)->accessibilityAttributeValue(attribute);
    return list ? *list : std::vector<HWND__*>{};
  }
  HWND top = nullptr, button = nullptr, custom = nullptr;
  Knob knob;
  CustomView elements;
  DialogExtra* dialogExtra = nullptr;
  bool dialogAnswers = true;
};

TEST_F(Accessibility, HitTestAsksTheObjectUnderThePointFirst) {
  EXPECT_EQ(App().accessibilityHitTest(screenPoint(button, 5, 5)), button);
  EXPECT_EQ(App().accessibilityHitTest(screenPoint(custom, 10, 10)), &knob) << "the view's object answers";
  EXPECT_EQ(App().accessibilityHitTest(screenPoint(custom, 60, 10)), custom) << "it did not: the view itself";
  EXPECT_EQ(App().accessibilityHitTest({-50, -50}), nullptr) << "no window there";
}

TEST_F(Accessibility, FocusAsksTheFocusedViewsObject) {
  SetFocus(custom);
  EXPECT_EQ(App().accessibilityFocusedUIElement(), &knob);
  SetFocus(button);
  EXPECT_EQ(App().accessibilityFocusedUIElement(), button);
}

TEST_F(Accessibility, ChildrenEndWithTheProceduresObject) {
  dialogExtra = new DialogExtra;
  // The custom view answers with its object alone, so the object stands in its place.
  std::vector<HWND__*> want{button, &elements, dialogExtra};
  EXPECT_EQ(children("AXChildren"), want);
  ShowWindow(button, SW_HIDE);
  EXPECT_EQ(children("AXVisibleChildren"), (std::vector<HWND__*>{&elements, dialogExtra}));
  EXPECT_EQ(children("AXChildren"), want) << "hidden, still a child";
  EXPECT_EQ(swell::asView(top)->accessibilityAttributeValue("AXRole"), nullptr);
  dialogAnswers = false;
  EXPECT_EQ(children("AXChildren"), (std::vector<HWND__*>{button, &elements}));
}

TEST_F(Accessibility, TheLastAnswersHoldTheirObject) {
  dialogExtra = new DialogExtra;
  children("AXChildren");
  EXPECT_EQ(dialogExtra->retainCount(), 2) << "held by the children answer";
  children("AXChildren");
  children("AXVisibleChildren");
  EXPECT_EQ(dialogExtra->retainCount(), 3) << "once per attribute, however often asked";
  DestroyWindow(top);
  App().drainAutoreleasePool();
  EXPECT_EQ(dialogExtra->retainCount(), 1) << "let go with the view";
}

}  // namespace
