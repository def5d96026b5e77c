#include "Window.h"

#include <algorithm>
#include <utility>

#include "Application.h"
#include "Controls.h"
#include "Panels.h"

namespace winsys {

Window::Window(Rectf contentRect, unsigned styleMask) : mFrame(contentRect), mStyleMask(styleMask) {
  App().windowCreated(this);
}

Window::~Window() = default;

void Window::dealloc() {
  for (Window* child : mChildren) child->mParent = nullptr;
  mChildren.clear();
  if (mParent) mParent->removeChildWindow(this);
  if (mContentView) {
    mContentView->setWindowForTree(nullptr);
    mContentView->release();
    mContentView = nullptr;
  }
  if (mFieldEditor) {
    mFieldEditor->removeFromSuperviewWithoutNeedingDisplay();
    mFieldEditor->release();
    mFieldEditor = nullptr;
  }
  if (mEditingText) std::exchange(mEditingText, nullptr)->release();
  backingStore.reset();
}

void Window::setContentView(View* view) {
  if (view == mContentView) return;
  if (view) {
    view->retain();
    if (view->superview()) view->removeFromSuperviewWithoutNeedingDisplay();
    if (Window* other = view->window(); other && other->mContentView == view) {
      other->mContentView = nullptr;
      App().autorelease(view);
    }
  }
  if (mContentView) {
    mContentView->setWindowForTree(nullptr);
    App().autorelease(mContentView);
  }
  mFirstResponder = nullptr;
  mContentView = view;
  if (view) {
    view->assignFrame({0, 0, mFrame.width, mFrame.height});
    view->setWindowForTree(this);
  }
}

void Window::setFrame(Rectf frame, bool display) {
  bool moved = frame.x != mFrame.x || frame.y != mFrame.y;
  mFrame = frame;
  if (mContentView) mContentView->assignFrame({0, 0, frame.width, frame.height});
  if (display) this->display();
  if (moved) windowDidMove();
}

bool Window::isKeyWindow() const { return App().keyWindow() == this; }

void Window::orderOut() {
  mVisible = false;
  App().windowOrderedOut(this);
}

void Window::orderFront() {
  if (mClosed) return;
  mVisible = true;
  mMiniaturized = false;
  App().windowOrdered(this, true);
}

void Window::makeKeyWindow() {
  if (!mClosed && canBecomeKeyWindow()) App().makeKey(this);
}

void Window::makeKeyAndOrderFront() {
  orderFront();
  makeKeyWindow();
}

void Window::miniaturize() {
  orderOut();
  mMiniaturized = true;
}

void Window::center() {
  const auto& screens = App().screens();
  if (screens.empty()) return;
  Rectf s = screens.front().visibleFrame;
  mFrame.x = s.x + (s.width - mFrame.width) / 2;
  mFrame.y = s.y + (s.height - mFrame.height) / 2;
}

void Window::close() {
  if (mClosed) return;
  mClosed = true;
  orderOut();
  App().windowClosed(this);
}

void Window::performClose() {
  if (windowShouldClose()) close();
}

void Window::display() {
  ++mDisplayCount;
  if (mContentView) {
    mContentView->setNeedsDisplay(true);
    mContentView->displayIfNeeded();
  }
}

void Window::displayIfNeeded() {
  if (mContentView) mContentView->displayIfNeeded();
}

void Window::addChildWindow(Window* child, int) {
  if (!child || child == this) return;
  if (child->mParent) child->mParent->removeChildWindow(child);
  child->mParent = this;
  mChildren.push_back(child);
}

void Window::removeChildWindow(Window* child) {
  auto it = std::find(mChildren.begin(), mChildren.end(), child);
  if (it == mChildren.end()) return;
  mChildren.erase(it);
  child->mParent = nullptr;
}

TextView* Window::fieldEditor() {
  if (!mFieldEditor) mFieldEditor = new TextView({0, 0, 10, 10});
  return mFieldEditor;
}

bool Window::makeFirstResponder(HWND__* responder) {
  if (responder == mFirstResponder) return true;
  if (mFieldEditor && mFirstResponder == mFieldEditor) {
    if (auto* field = dynamic_cast<TextField*>(mFieldEditor->fieldOwner())) field->endEditing(mFieldEditor);
  }
  mFirstResponder = responder;
  if (auto* field = dynamic_cast<TextField*>(responder); field && field->isEditable()) {
    field->beginEditing(fieldEditor());
    mFirstResponder = mFieldEditor;
  }
  // A text view that gave up the keys has ended its editing; it is held while it has them.
  TextView* ended = nullptr;
  if (mEditingText && mEditingText != mFirstResponder) ended = std::exchange(mEditingText, nullptr);
  if (auto* tv = dynamic_cast<TextView*>(responder); tv && tv != mFieldEditor && tv->delegate) {
    tv->retain();
    mEditingText = tv;
  }
  if (ended) {
    if (ended->delegate && ended->window() == this) ended->delegate->textDidEndEditing(ended);
    ended->release();
  }
  return true;
}

}  // namespace winsys

namespace winsys {

int SavePanel::runModalForDirectory(const std::string& dir, const std::string& file) {
  directory = dir;
  nameFieldValue = file;
  filenames.clear();
  ++runs;
  return App().panelResponder ? App().panelResponder(*this) : 0;
}

}  // namespace winsys
