#include "View.h"

#include <algorithm>

#include "Application.h"
#include "Window.h"

namespace winsys {

View::View(Rectf frame) : mFrame(frame) {}

View::~View() {
  for (View* sub : mSubviews) {
    sub->mSuperview = nullptr;
    sub->setWindowForTree(nullptr);
    sub->release();
  }
}

void View::addSubview(View* view) { addSubview(view, 1, nullptr); }

void View::addSubview(View* view, int place, View* relativeTo) {
  if (!view || view == this) return;
  view->retain();
  if (view->mSuperview) view->detach(false);
  auto at = mSubviews.end();
  if (relativeTo) {
    auto it = std::find(mSubviews.begin(), mSubviews.end(), relativeTo);
    if (it != mSubviews.end()) at = place < 0 ? it : it + 1;
  } else if (place < 0) {
    at = mSubviews.begin();
  }
  mSubviews.insert(at, view);
  view->mSuperview = this;
  view->setWindowForTree(mWindow);
  didAddSubview(view);
}

void View::detach(bool needsDisplay) {
  View* parent = mSuperview;
  if (!parent) return;
  parent->willRemoveSubview(this);
  auto it = std::find(parent->mSubviews.begin(), parent->mSubviews.end(), this);
  if (it != parent->mSubviews.end()) parent->mSubviews.erase(it);
  mSuperview = nullptr;
  setWindowForTree(nullptr);
  if (needsDisplay) parent->setNeedsDisplayInRect(mFrame);
  App().autorelease(this);
}

void View::removeFromSuperview() { detach(true); }
void View::removeFromSuperviewWithoutNeedingDisplay() { detach(false); }

bool View::isDescendantOf(const View* other) const {
  for (const View* v = this; v; v = v->mSuperview)
    if (v == other) return true;
  return false;
}

int View::indexOfSubview(const View* view) const {
  auto it = std::find(mSubviews.begin(), mSubviews.end(), view);
  return it == mSubviews.end() ? -1 : int(it - mSubviews.begin());
}

void View::setWindowForTree(Window* window) {
  bool moved = mWindow != window;
  mWindow = window;
  for (View* sub : mSubviews) sub->setWindowForTree(window);
  if (moved) viewDidMoveToWindow();
}

void View::setFrame(Rectf frame) { mFrame = frame; }
void View::setFrameOrigin(Pointf origin) {
  Rectf f = mFrame;
  f.x = origin.x;
  f.y = origin.y;
  setFrame(f);
}

namespace {
Pointf toSuperview(const View* v, Pointf p) {
  bool superFlipped = v->superview() ? v->superview()->isFlipped() : false;
  Rectf f = v->frame();
  if (v->isFlipped() == superFlipped) return {f.x + p.x, f.y + p.y};
  return {f.x + p.x, f.y + f.height - p.y};
}
Pointf fromSuperview(const View* v, Pointf q) {
  bool superFlipped = v->superview() ? v->superview()->isFlipped() : false;
  Rectf f = v->frame();
  if (v->isFlipped() == superFlipped) return {q.x - f.x, q.y - f.y};
  return {q.x - f.x, f.height - (q.y - f.y)};
}
}  // namespace

Pointf View::convertPointToBase(Pointf p) const {
  for (const View* v = this; v; v = v->mSuperview) p = toSuperview(v, p);
  return p;
}

Pointf View::convertPointFromBase(Pointf p) const {
  std::vector<const View*> chain;
  for (const View* v = this; v; v = v->mSuperview) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) p = fromSuperview(*it, p);
  return p;
}

View* View::hitTest(Pointf pointInSuperview) {
  if (mHidden || !mFrame.contains(pointInSuperview)) return nullptr;
  Pointf local = fromSuperview(this, pointInSuperview);
  for (auto it = mSubviews.rbegin(); it != mSubviews.rend(); ++it)
    if (View* hit = (*it)->hitTest(local)) return hit;
  return this;
}

void View::setHidden(bool hidden) {
  if (hidden == mHidden) return;
  mHidden = hidden;
  if (hidden)
    viewDidHide();
  else
    viewDidUnhide();
}

bool View::isHiddenOrHasHiddenAncestor() const {
  for (const View* v = this; v; v = v->mSuperview)
    if (v->mHidden) return true;
  return false;
}

void View::setNeedsDisplay(bool needs) {
  mNeedsDisplay = needs;
  mDirty = needs ? bounds() : Rectf{};
}

void View::setNeedsDisplayInRect(Rectf rect) {
  Rectf clipped = rect.intersect(bounds());
  if (clipped.empty()) return;
  mNeedsDisplay = true;
  mDirty = mDirty.unite(clipped);
}

void View::displayIfNeeded() {
  if (mHidden) return;
  if (mNeedsDisplay) {
    Rectf area = mDirty;
    clearNeedsDisplay();
    drawRect(area);
  }
  std::vector<View*> subs = mSubviews;
  for (View* sub : subs) sub->displayIfNeeded();
}

}  // namespace winsys
