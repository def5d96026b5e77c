#include "Application.h"

#include <algorithm>

#include "Controls.h"
#include "Menu.h"
#include "View.h"
#include "Window.h"

namespace winsys {

namespace {
std::vector<Screen> defaultScreens() { return {{{0, 0, 1600, 1200}, {0, 0, 1600, 1178}}}; }

void erase(std::vector<Window*>& list, Window* w) {
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

// The view that took the last mouse-down gets the drags and the release.
View* gMouseDownView = nullptr;
}  // namespace

Application& App() {
  static Application app;
  return app;
}

Application::Application() : mScreens(defaultScreens()) {}

Application::~Application() = default;

void Application::setMainMenu(HMENU menu) {
  if (menu) menu->retain();
  if (mMainMenu) mMainMenu->release();
  mMainMenu = menu;
}

void Application::setCurrentEvent(const Event* event) {
  mCurrentEvent = event ? std::make_unique<Event>(*event) : nullptr;
}

ModalSession* Application::beginModalSession(Window* window) {
  mSessions.push_back(std::make_unique<ModalSession>());
  mSessions.back()->window = window;
  if (window && !window->isVisible()) window->makeKeyAndOrderFront();
  return mSessions.back().get();
}

int Application::runModalSession(ModalSession* session) {
  if (!session) return kModalResponseAbort;
  ++session->runs;
  if (!session->stopped && mModalDriver) mModalDriver(*session);
  return session->stopped ? session->response : kModalResponseContinue;
}

void Application::stopModalWithCode(int code) {
  for (auto it = mSessions.rbegin(); it != mSessions.rend(); ++it)
    if (!(*it)->stopped) {
      (*it)->stopped = true;
      (*it)->response = code;
      return;
    }
}
void Application::stopModal() { stopModalWithCode(kModalResponseStop); }
void Application::abortModal() { stopModalWithCode(kModalResponseAbort); }

void Application::endModalSession(ModalSession* session) {
  mSessions.erase(std::remove_if(mSessions.begin(), mSessions.end(),
                                 [&](const auto& s) { return s.get() == session; }),
                  mSessions.end());
}

Window* Application::modalWindow() const {
  for (auto it = mSessions.rbegin(); it != mSessions.rend(); ++it)
    if (!(*it)->stopped) return (*it)->window;
  return nullptr;
}

void Application::sendEvent(const Event& event) {
  setCurrentEvent(&event);
  Window* w = event.window;
  if (!w || !w->contentView()) return;
  if (event.type == EventType::kKeyDown || event.type == EventType::kKeyUp) {
    HWND__* r = w->firstResponder();
    View* target = r && r->isView() ? static_cast<View*>(r) : w->contentView();
    if (event.type == EventType::kKeyDown)
      target->keyDown(event);
    else
      target->keyUp(event);
    return;
  }
  View* hit = w->contentView()->hitTest(event.locationInWindow);
  bool follows = event.type == EventType::kLeftMouseUp || event.type == EventType::kRightMouseUp ||
                 event.type == EventType::kOtherMouseUp || event.type == EventType::kLeftMouseDragged ||
                 event.type == EventType::kRightMouseDragged || event.type == EventType::kOtherMouseDragged;
  if (follows && gMouseDownView && gMouseDownView->window() == w) hit = gMouseDownView;
  if (!hit) return;
  hit->retain();
  switch (event.type) {
    case EventType::kLeftMouseDown: gMouseDownView = hit; hit->mouseDown(event); break;
    case EventType::kLeftMouseUp: hit->mouseUp(event); gMouseDownView = nullptr; break;
    case EventType::kRightMouseDown: gMouseDownView = hit; hit->rightMouseDown(event); break;
    case EventType::kRightMouseUp: hit->rightMouseUp(event); gMouseDownView = nullptr; break;
    case EventType::kOtherMouseDown: gMouseDownView = hit; hit->otherMouseDown(event); break;
    case EventType::kOtherMouseUp: hit->otherMouseUp(event); gMouseDownView = nullptr; break;
    case EventType::kLeftMouseDragged: hit->mouseDragged(event); break;
    case EventType::kRightMouseDragged: hit->rightMouseDragged(event); break;
    case EventType::kOtherMouseDragged: hit->otherMouseDragged(event); break;
    case EventType::kMouseMoved: hit->mouseMoved(event); break;
    case EventType::kScrollWheel: hit->scrollWheel(event); break;
    case EventType::kMagnify: hit->magnifyWithEvent(event); break;
    case EventType::kSwipe: hit->swipeWithEvent(event); break;
    case EventType::kRotate: hit->rotateWithEvent(event); break;
    default: break;
  }
  autorelease(hit);
}

void Application::displayWindowsIfNeeded() {
  std::vector<Window*> shown = mOrdered;
  for (Window* w : shown) w->retain();
  for (Window* w : shown)
    if (w->isVisible() && !w->isClosed()) w->displayIfNeeded();
  for (Window* w : shown) w->release();
}

HWND__* Application::accessibilityHitTest(Pointf screenPoint) {
  for (Window* w : mOrdered)
    if (w->isVisible() && w->frame().contains(screenPoint))
      return w->contentView() ? w->contentView()->accessibilityHitTest(screenPoint) : w;
  return nullptr;
}

HWND__* Application::accessibilityFocusedUIElement() {
  Window* w = mKeyWindow;
  if (!w) return nullptr;
  HWND__* r = w->firstResponder();
  View* v = r && r->isView() ? static_cast<View*>(r) : w->contentView();
  // The field editor stands for the field it edits.
  if (auto* editor = dynamic_cast<TextView*>(v); editor && editor->fieldOwner()) v = editor->fieldOwner();
  return v ? v->accessibilityFocusedUIElement() : w;
}

void Application::autorelease(HWND__* object) {
  if (object) mPool.push_back(object);
}

void Application::drainAutoreleasePool() {
  while (!mPool.empty()) {
    std::vector<HWND__*> pool;
    pool.swap(mPool);
    for (HWND__* o : pool) o->release();
  }
}

void Application::reset() {
  while (!mWindows.empty()) {
    Window* w = mWindows.back();
    w->close();
  }
  drainAutoreleasePool();
  mOrdered.clear();
  mKeyWindow = mMainWindow = nullptr;
  setMainMenu(nullptr);
  mActive = true;
  mTerminating = false;
  mHidden = false;
  mSystemVersion = 0x1060;
  mScreens = defaultScreens();
  mCurrentEvent.reset();
  mMouse = {};
  mModifiers = 0;
  mArrowSets = 0;
  mArrowCurrent = true;
  mDelegate.reset();
  mSessions.clear();
  mModalDriver = nullptr;
  contextMenuChooser = nullptr;
  popUpListChooser = nullptr;
  panelResponder = nullptr;
  alertResponder = nullptr;
  workspaceCalls.clear();
  workspaceSucceeds = true;
  presentationOptions = 0;
  gMouseDownView = nullptr;
  mQueue.clear();
}

void Application::windowCreated(Window* window) { mWindows.push_back(window); }

void Application::windowOrdered(Window* window, bool front) {
  erase(mOrdered, window);
  if (front)
    mOrdered.insert(mOrdered.begin(), window);
  else
    mOrdered.push_back(window);
}

void Application::windowOrderedOut(Window* window) {
  erase(mOrdered, window);
  if (mKeyWindow == window) {
    mKeyWindow = nullptr;
    window->resignKeyWindow();
  }
  if (mMainWindow == window) mMainWindow = nullptr;
}

void Application::windowClosed(Window* window) {
  windowOrderedOut(window);
  erase(mWindows, window);
  if (gMouseDownView && gMouseDownView->window() == window) gMouseDownView = nullptr;
  autorelease(window);
}

void Application::makeKey(Window* window) {
  if (mKeyWindow == window) return;
  Window* old = mKeyWindow;
  mKeyWindow = nullptr;
  if (old) old->resignKeyWindow();
  mKeyWindow = window;
  mMainWindow = window;
  if (window) window->becomeKeyWindow();
}

}  // namespace winsys
