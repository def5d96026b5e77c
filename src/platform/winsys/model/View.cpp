#include "View.h"

#include <algorithm>
#include <cmath>

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
  if (hidden) {
    viewDidHide();
  } else {
    // What comes into sight is drawn at the next display: the superview
    // draws the area again, and with it the views there.
    if (mSuperview) {
      mSuperview->setNeedsDisplayInRect(mFrame);
    } else {
      mNeedsDisplay = true;
      mDirty = bounds();
    }
    viewDidUnhide();
  }
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
  retain();
  std::vector<View*> subs = mSubviews;
  for (View* sub : subs) sub->retain();
  if (mNeedsDisplay) {
    Rectf area = mDirty;
    clearNeedsDisplay();
    drawRect(area);
    // Drawing over an area covers the subviews there: they draw again on top.
    for (View* sub : subs) {
      if (sub->mSuperview != this) continue;
      Pointf a = fromSuperview(sub, {area.x, area.y}), b = fromSuperview(sub, {area.maxX(), area.maxY()});
      Rectf local{std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
      local = local.intersect(sub->bounds());
      if (local.empty()) continue;
      sub->mNeedsDisplay = true;
      sub->mDirty = sub->mDirty.unite(local);
    }
  }
  for (View* sub : subs)
    if (sub->mSuperview == this) sub->displayIfNeeded();
  for (View* sub : subs) sub->release();
  release();
}

// Accessibility.

std::vector<HWND__*> View::accessibilityPlatformChildren(bool visibleOnly) {
  std::vector<HWND__*> out;
  for (View* sub : mSubviews) {
    if (visibleOnly && sub->mHidden) continue;
    if (!sub->accessibilityIsIgnored()) {
      out.push_back(sub);
      continue;
    }
    // An ignored view is listed by what it answers for its own children.
    if (const auto* kids = sub->accessibilityAttributeValue(visibleOnly ? "AXVisibleChildren" : "AXChildren"))
      out.insert(out.end(), kids->begin(), kids->end());
  }
  return out;
}

const std::vector<HWND__*>* View::accessibilityAttributeValue(const std::string& attribute) {
  if (attribute != "AXChildren" && attribute != "AXVisibleChildren") return nullptr;
  mAccessAnswer = accessibilityPlatformChildren(attribute == "AXVisibleChildren");
  return &mAccessAnswer;
}

HWND__* View::accessibilityHitTest(Pointf screenPoint) {
  if (!mWindow || isHiddenOrHasHiddenAncestor()) return nullptr;
  Pointf base = mWindow->convertScreenToBase(screenPoint);
  Pointf inSuper = mSuperview ? mSuperview->convertPointFromBase(base) : base;
  View* hit = hitTest(inSuper);
  if (!hit) return nullptr;
  if (hit != this) return hit->accessibilityHitTest(screenPoint);
  // The deepest element under the point answers: an ignored view stands for its nearest unignored ancestor.
  for (View* v = this; v; v = v->mSuperview)
    if (!v->accessibilityIsIgnored()) return v;
  return this;
}

HWND__* View::accessibilityFocusedUIElement() {
  for (View* v = this; v; v = v->mSuperview)
    if (!v->accessibilityIsIgnored()) return v;
  return this;
}

}  // namespace winsys
