#include "Controls.h"

#include <algorithm>

#include "Application.h"
#include "TableView.h"
#include "Window.h"

namespace winsys {

void Control::sendAction() {
  if (mTarget && isEnabled()) mTarget->onSwellCommand(this);
}

void Control::sizeToFit() {
  Rectf f = frame();
  f.width = 6.0 * double(stringValue().size()) + 4;
  setFrame(f);
}

void Button::sizeToFit() {
  Rectf f = frame();
  f.width = 6.0 * double(stringValue().size()) + (buttonType() ? 22 : 24);
  setFrame(f);
}

Rectf ClipView::documentVisibleRect() const {
  View* d = documentView();
  Rectf b = bounds();
  if (!d) return b;
  return {-d->frame().x, -d->frame().y, b.width, b.height};
}

void ClipView::scrollToPoint(Pointf p) {
  if (View* d = documentView()) {
    Rectf f = d->frame();
    d->assignFrame({-p.x, -p.y, f.width, f.height});
  }
}

void TextField::setStringValue(const std::string& s) {
  Control::setStringValue(s);
  if (mEditor) mEditor->setString(s);
}

void TextField::mouseDown(const Event&) {
  if (isEnabled() && isEditable() && window()) window()->makeFirstResponder(this);
}

void TextField::fieldEditorDidChangeText(TextView* editor) {
  if (editor != mEditor) return;
  Control::setStringValue(editor->string());
  if (delegate) delegate->controlTextDidChange(this);
}

void TextField::fieldEditorDidEnd(TextView* editor) {
  if (editor != mEditor) return;
  Control::setStringValue(editor->string());
  sendAction();
}

void TextView::mouseDown(const Event&) {
  if (window()) window()->makeFirstResponder(this);
}

namespace {
// Typed characters that are text: not control characters, not the function-key range (U+F700...).
bool isTypedText(const std::string& s) {
  if (s.empty() || static_cast<unsigned char>(s[0]) < 0x20 || s[0] == 0x7F) return false;
  return !(s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xEF &&
           (static_cast<unsigned char>(s[1]) & 0xFC) == 0x9C);
}
}  // namespace

bool TextView::keyDown(const Event& e) {
  if (!editable) return false;
  auto* field = dynamic_cast<TextField*>(mFieldOwner);
  std::string text = string();
  size_t start = std::min(mSelStart, text.size());
  size_t length = std::min(mSelLength, text.size() - start);
  std::string insert;
  if (e.keyCode == 36 || e.keyCode == 76) {  // Return, Enter
    if (field) {
      field->fieldEditorDidEnd(this);
      return true;
    }
    insert = "\n";
  } else if (e.keyCode == 51) {  // delete: the selection, or the character before the caret
    if (!length && start) {
      size_t from = start - 1;
      while (from && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) --from;
      length = start - from;
      start = from;
    }
  } else if (isTypedText(e.characters)) {
    insert = e.characters;
  } else {
    return false;
  }
  text.replace(start, length, insert);
  setString(text);
  setSelectedRange(start + insert.size(), 0);
  if (field) field->fieldEditorDidChangeText(this);
  return true;
}

void ComboBox::mouseDown(const Event&) {
  if (!isEnabled()) return;
  if (delegate) delegate->comboBoxWillPopUp(this);
  int pick = App().popUpListChooser ? App().popUpListChooser(this, mItems) : -1;
  if (pick < 0 || pick >= int(mItems.size()) || pick == mSelected) return;
  selectItemAtIndex(pick);
  if (delegate) delegate->comboBoxSelectionDidChange(this);
}

void PopUpButton::mouseDown(const Event&) {
  if (!isEnabled()) return;
  std::vector<std::string> titles;
  for (auto& item : mItems) titles.push_back(item.title);
  int pick = App().popUpListChooser ? App().popUpListChooser(this, titles) : -1;
  if (pick < 0 || pick >= int(mItems.size()) || !mItems[size_t(pick)].enabled) return;
  selectItemAtIndex(pick);
  sendAction();
}

void TextField::beginEditing(TextView* editor) {
  mEditor = editor;
  editor->setFieldOwner(this);
  editor->setString(stringValue());
  editor->setSelectedRange(0, stringValue().size());
  auto* clip = new ClipView(bounds());
  addSubview(clip);
  clip->release();
  clip->addSubview(editor);
}

void TextField::endEditing(TextView* editor) {
  if (mEditor != editor) return;
  mEditor = nullptr;
  Control::setStringValue(editor->string());
  editor->setFieldOwner(nullptr);
  View* clip = editor->superview();
  editor->removeFromSuperviewWithoutNeedingDisplay();
  if (clip) clip->removeFromSuperviewWithoutNeedingDisplay();
}

void ClipView::setDocumentView(View* v) {
  while (!subviews().empty()) subviews().front()->removeFromSuperviewWithoutNeedingDisplay();
  if (v) addSubview(v);
}

ScrollView::ScrollView(Rectf frame) : View(frame), mClip(new ClipView({0, 0, frame.width, frame.height})) {
  addSubview(mClip);
  mClip->release();
}

Sizef ScrollView::contentSize() const {
  return {frame().width - (mVScroller ? 15 : 0), frame().height - (mHScroller ? 15 : 0)};
}

void ScrollView::setFrame(Rectf frame) {
  View::setFrame(frame);
  tile();
}

void ScrollView::tile() {
  Sizef s = contentSize();
  auto* table = dynamic_cast<TableView*>(documentView());
  bool wantHeader = table && table->hasHeaderView();
  if (mHeader && (!wantHeader || static_cast<TableHeaderView*>(mHeader)->tableView() != table)) {
    mHeader->removeFromSuperviewWithoutNeedingDisplay();
    mHeader = nullptr;
  }
  if (wantHeader && !mHeader) {
    mHeader = new TableHeaderView(table);
    addSubview(mHeader);
    mHeader->release();
  }
  // y grows upwards here: the horizontal scroller at the bottom, the clip view above it, the titles on top.
  double bottom = mHScroller ? frame().height - s.height : 0;
  double header = wantHeader ? std::min(table->headerHeight(), std::max(0.0, s.height)) : 0;
  if (mHeader) mHeader->setFrame({0, bottom + s.height - header, s.width, header});
  mClip->setFrame({0, bottom, s.width, s.height - header});
}

PopUpButton::~PopUpButton() { removeAllItems(); }

void PopUpButton::removeItemAtIndex(int i) {
  if (i < 0 || i >= int(mItems.size())) return;
  if (mItems[size_t(i)].representedObject) mItems[size_t(i)].representedObject->release();
  mItems.erase(mItems.begin() + i);
  if (mSelected >= int(mItems.size())) mSelected = int(mItems.size()) - 1;
}

void PopUpButton::removeAllItems() {
  while (!mItems.empty()) removeItemAtIndex(int(mItems.size()) - 1);
  mSelected = -1;
}

void PopUpButton::setRepresentedObject(int i, HWND__* object) {
  if (i < 0 || i >= int(mItems.size())) return;
  if (object) object->retain();
  if (mItems[size_t(i)].representedObject) mItems[size_t(i)].representedObject->release();
  mItems[size_t(i)].representedObject = object;
}

}  // namespace winsys
