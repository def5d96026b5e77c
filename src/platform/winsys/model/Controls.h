// Stock controls of the window model: the state each keeps and the action a
// control sends to its target.
#pragma once

#include <string>
#include <vector>

#include "View.h"

namespace winsys {

class Control : public View {
 public:
  using View::View;
  bool answersTag() const override { return true; }
  bool answersSetTag() const override { return true; }
  int tag() const override { return mTag; }
  void setTag(int tag) override { mTag = tag; }
  bool isEnabled() const override { return mEnabled; }
  void setEnabled(bool enabled) override { mEnabled = enabled; }
  bool answersSetEnabled() const override { return true; }
  bool acceptsFirstResponder() override { return mEnabled; }
  bool accessibilityIsIgnored() override { return false; }

  const std::string& stringValue() const { return mString; }
  // A control whose value changes asks to be drawn again.
  virtual void setStringValue(const std::string& s) {
    mString = s;
    setNeedsDisplay(true);
  }
  View* target() const { return mTarget; }
  void setTarget(View* target) { mTarget = target; }
  // The user operated the control: its action goes to the target.
  void sendAction();
  // 0 natural (left), 1 centred, 2 right.
  int alignment = 0;
  bool focusRingNone = false;
  // Shrinks or grows the width to the text, by a fixed metric of 6 pixels a character.
  virtual void sizeToFit();

 private:
  int mTag = 0;
  bool mEnabled = true;
  std::string mString;
  View* mTarget = nullptr;
};

class Button : public Control {
 public:
  using Control::Control;
  // Platform states: off 0, on 1, mixed -1.
  int state() const { return mState; }
  void setState(int state) { mState = state; }
  bool allowsMixedState() const { return mAllowsMixed; }
  void setAllowsMixedState(bool allows) { mAllowsMixed = allows; }
  const std::string& title() const { return stringValue(); }
  void setTitle(const std::string& t) { setStringValue(t); }
  // 0 push button, 1 check box, 2 radio button: the last two show a check image.
  int buttonType() const { return mType; }
  void setButtonType(int type) { mType = type; }
  int textColor() const { return mTextColor; }
  void setTextColor(int rgb) { mTextColor = rgb; }
  bool hasImage() const { return mImage != nullptr; }
  void* image() const { return mImage; }
  void setImage(void* image) { mImage = image; }
  int bezelStyle = 0;
  // 0 the platform's default; 3 the check image right of the title.
  int imagePosition = 0;
  // A cell of the layer's own that draws instead of the button's, owned by the button.
  struct Cell {
    virtual ~Cell() = default;
    virtual void drawWithFrame(Rectf frame, View* view) = 0;
  };
  void setCell(Cell* cell) {
    delete mCell;
    mCell = cell;
  }
  Cell* cell() const { return mCell; }
  ~Button() override { delete mCell; }
  void sizeToFit() override;

 protected:
  void drawRect(Rectf) override {
    if (mCell) mCell->drawWithFrame(bounds(), this);
  }

 public:

 private:
  int mState = 0;
  int mType = 0;
  int mTextColor = -1;
  bool mAllowsMixed = false;
  void* mImage = nullptr;
  Cell* mCell = nullptr;
};

// NSText: a view with a string; the text view adds a selection.
class Text : public View {
 public:
  using View::View;
  const std::string& string() const { return mString; }
  void setString(const std::string& s) { mString = s; }

 private:
  std::string mString;
};

class TextView : public Text {
 public:
  using Text::Text;
  bool acceptsFirstResponder() override { return true; }
  bool accessibilityIsIgnored() override { return false; }
  // A press puts the text view in charge of the keys.
  void mouseDown(const Event& e) override;
  // Typing replaces the selection; the delete key (51) takes the character before the caret.
  bool keyDown(const Event& e) override;
  // Hears that editing ended (the view gave up the keys); not retained.
  View* delegate = nullptr;
  size_t selectionStart() const { return mSelStart; }
  size_t selectionLength() const { return mSelLength; }
  void setSelectedRange(size_t start, size_t length) {
    mSelStart = start;
    mSelLength = length;
  }
  // The text field this text view edits while it is its window's field editor.
  View* fieldOwner() const { return mFieldOwner; }
  void setFieldOwner(View* field) { mFieldOwner = field; }

 private:
  size_t mSelStart = 0, mSelLength = 0;
  View* mFieldOwner = nullptr;

 public:
  bool editable = true;
  bool horizontallyResizable = true, verticallyResizable = true;
  // The character range last scrolled into view.
  size_t scrolledTo = 0;
};

class TextField : public Control {
 public:
  using Control::Control;
  bool isEditable() const { return mEditable; }
  void setEditable(bool e) { mEditable = e; }
  bool isBordered() const { return mBordered; }
  void setBordered(bool b) { mBordered = b; }
  bool drawsBackground() const { return mDrawsBackground; }
  void setDrawsBackground(bool d) { mDrawsBackground = d; }
  double textColorAlpha() const { return mTextAlpha; }
  void setTextColorAlpha(double a) { mTextAlpha = a; }
  int textColor() const { return mTextColor; }
  void setTextColor(int rgb) { mTextColor = rgb; }
  bool isSecure() const { return mSecure; }
  void setSecure(bool s) { mSecure = s; }
  bool selectable = true;
  bool bezeled = true;
  bool wraps = true;
  bool scrollable = false;
  void setStringValue(const std::string& s) override;

  // The window's field editor starts or stops editing this field.
  void beginEditing(TextView* editor);
  void endEditing(TextView* editor);
  bool isBeingEdited() const { return mEditor != nullptr; }
  // The field editor changed the text; Return (ended) sends the action.
  void fieldEditorDidChangeText(TextView* editor);
  void fieldEditorDidEnd(TextView* editor);
  // A press starts editing an editable field.
  void mouseDown(const Event& e) override;
  // Hears of text changes and, for combo boxes, of the list; not retained.
  View* delegate = nullptr;

 private:
  bool mEditable = true;
  bool mBordered = true;
  bool mDrawsBackground = true;
  bool mSecure = false;
  double mTextAlpha = 1.0;
  int mTextColor = 0;
  TextView* mEditor = nullptr;
};

class Box : public View {
 public:
  using View::View;
  const std::string& title() const { return mTitle; }
  void setTitle(const std::string& t) { mTitle = t; }
  int titleColor() const { return mTitleColor; }
  void setTitleColor(int rgb) { mTitleColor = rgb; }
  bool titleCentered = false;

 private:
  std::string mTitle;
  int mTitleColor = -1;
};

// Scrolling moves the document view inside the clip view; the clip view
// takes the document's flipped state.
class ClipView : public View {
 public:
  using View::View;
  View* documentView() const { return subviews().empty() ? nullptr : subviews().front(); }
  void setDocumentView(View* v);
  bool isFlipped() const override { return documentView() && documentView()->isFlipped(); }
  // The document's visible area, in the document's coordinates.
  Rectf documentVisibleRect() const;
  void scrollToPoint(Pointf p);
};

class ScrollView : public View {
 public:
  explicit ScrollView(Rectf frame = {});
  ClipView* contentView() const { return mClip; }
  View* documentView() const { return mClip->documentView(); }
  void setDocumentView(View* v) {
    mClip->setDocumentView(v);
    tile();
  }
  bool hasHorizontalScroller() const { return mHScroller; }
  bool hasVerticalScroller() const { return mVScroller; }
  void setHasHorizontalScroller(bool h) { mHScroller = h; }
  void setHasVerticalScroller(bool v) { mVScroller = v; }
  Rectf documentVisibleRect() const { return mClip->documentVisibleRect(); }
  bool autohidesScrollers = false;
  bool drawsBackground = true;
  // The area inside the scrollers (15 pixels each).
  Sizef contentSize() const;
  void setFrame(Rectf frame) override;
  // Places the clip view, and the column titles above it when the document is a table that shows them.
  void tile();
  View* headerView() const { return mHeader; }

 private:
  ClipView* mClip;
  View* mHeader = nullptr;
  bool mHScroller = false, mVScroller = false;
};

class Slider : public Control {
 public:
  using Control::Control;
  double value() const { return mValue; }
  void setValue(double v) { mValue = v; }
  double minValue() const { return mMin; }
  double maxValue() const { return mMax; }
  void setMinValue(double v) { mMin = v; }
  void setMaxValue(double v) { mMax = v; }

 private:
  double mValue = 0, mMin = 0, mMax = 1;
};

class ComboBox : public TextField {
 public:
  using TextField::TextField;
  std::vector<std::string>& items() { return mItems; }
  int indexOfSelectedItem() const { return mSelected; }
  void selectItemAtIndex(int i) {
    mSelected = i;
    if (i >= 0 && i < int(mItems.size())) setStringValue(mItems[size_t(i)]);
    setNeedsDisplay(true);
  }
  int numberOfVisibleItems() const { return mVisibleItems; }
  void setNumberOfVisibleItems(int n) { mVisibleItems = n; }
  // A press on the box opens its list: the user picks through the application's list chooser.
  void mouseDown(const Event& e) override;

 private:
  std::vector<std::string> mItems;
  int mSelected = -1;
  int mVisibleItems = 5;
};

class PopUpButton : public Button {
 public:
  struct Item {
    std::string title;
    HWND__* representedObject = nullptr;  // retained
    bool enabled = true;
  };
  using Button::Button;
  ~PopUpButton() override;
  bool hasMenu() const { return mHasMenu; }
  void setHasMenu(bool has) { mHasMenu = has; }
  std::vector<Item>& items() { return mItems; }
  void removeItemAtIndex(int i);
  void removeAllItems();
  void setRepresentedObject(int i, HWND__* object);
  int indexOfSelectedItem() const { return mSelected; }
  void selectItemAtIndex(int i) {
    mSelected = i;
    setNeedsDisplay(true);
  }
  // A press opens the menu; a pick selects the item and sends the action.
  void mouseDown(const Event& e) override;
  bool autoenablesItems = true;
  int arrowPosition = 0;

 private:
  std::vector<Item> mItems;
  int mSelected = -1;
  bool mHasMenu = true;
};

}  // namespace winsys
