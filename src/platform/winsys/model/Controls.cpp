#include "Controls.h"

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
  Sizef s = contentSize();
  mClip->setFrame({0, 0, s.width, s.height});
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
