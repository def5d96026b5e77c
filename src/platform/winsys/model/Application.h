// The application of the window model: its windows (all, and the visible
// ones front to back), the key window, main menu, active and terminating
// state, modal sessions, the current event, the delegate, the screens, the
// pointer and button state, and a settable system version. Objects taken off
// the screen are released only when the autorelease pool is drained, so a
// handle stays readable for the rest of the call that let it go.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../SwellTypes.h"
#include "Event.h"
#include "Geometry.h"

namespace winsys {

class View;
class Window;
class SavePanel;
struct Alert;

struct Screen {
  Rectf frame;
  Rectf visibleFrame;
};

// The hosting application's delegate; every method is optional.
class AppDelegate {
 public:
  virtual ~AppDelegate() = default;
  virtual bool answersPostMessage() const { return false; }
  virtual bool swellPostMessage(HWND, UINT, WPARAM, LPARAM) { return false; }
  virtual bool answersPostMessageClearQ() const { return false; }
  virtual void swellPostMessageClearQ(HWND) {}
  virtual bool answersPostMessageTick() const { return false; }
  virtual void swellPostMessageTick() {}
};

constexpr int kModalResponseStop = -1000;
constexpr int kModalResponseAbort = -1001;
constexpr int kModalResponseContinue = -1002;

struct ModalSession {
  Window* window = nullptr;
  bool stopped = false;
  int response = kModalResponseContinue;
  int runs = 0;
};

class Application {
 public:
  Application();
  ~Application();

  // Every window not yet closed, in creation order.
  const std::vector<Window*>& windows() const { return mWindows; }
  // The visible windows, front to back.
  const std::vector<Window*>& orderedWindows() const { return mOrdered; }
  Window* keyWindow() const { return mKeyWindow; }
  Window* mainWindow() const { return mMainWindow; }

  HMENU mainMenu() const { return mMainMenu; }
  void setMainMenu(HMENU menu);
  bool isActive() const { return mActive; }
  void setActive(bool active) { mActive = active; }
  bool isTerminating() const { return mTerminating; }
  void terminate() { mTerminating = true; }
  bool isHidden() const { return mHidden; }
  void hide() { mHidden = true; }

  // Version as 10.major.minor -> e.g. 0x1060; 0 stands for unreadable (taken as 10.4).
  int systemVersion() const { return mSystemVersion ? mSystemVersion : 0x1040; }
  void setSystemVersion(int version) { mSystemVersion = version; }

  const std::vector<Screen>& screens() const { return mScreens; }
  void setScreens(std::vector<Screen> screens) { mScreens = std::move(screens); }

  const Event* currentEvent() const { return mCurrentEvent.get(); }
  void setCurrentEvent(const Event* event);
  // Pointer in screen coordinates and pressed buttons (bit 1 left, 2 right, 4 middle).
  Pointf mouseLocation() const { return mMouse; }
  void setMouseLocation(Pointf p) { mMouse = p; }
  unsigned modifierFlags() const { return mModifiers; }
  void setModifierFlags(unsigned flags) { mModifiers = flags; }
  int arrowCursorSets() const { return mArrowSets; }
  bool arrowCursorIsCurrent() const { return mArrowCurrent; }
  void setArrowCursor() {
    mArrowCurrent = true;
    ++mArrowSets;
  }
  void setOtherCursor() { mArrowCurrent = false; }

  AppDelegate* delegate() const { return mDelegate.get(); }
  void setDelegate(std::shared_ptr<AppDelegate> delegate) { mDelegate = std::move(delegate); }

  // Modal sessions. A run calls the modal driver once, which may stop the session.
  ModalSession* beginModalSession(Window* window);
  int runModalSession(ModalSession* session);
  void stopModal();
  void stopModalWithCode(int code);
  void abortModal();
  void endModalSession(ModalSession* session);
  Window* modalWindow() const;
  void setModalDriver(std::function<void(ModalSession&)> driver) { mModalDriver = std::move(driver); }
  bool hasModalDriver() const { return bool(mModalDriver); }

  // Stands in for the user of a combo box's list or a pop-up button's menu:
  // answers the index of the item picked among the texts shown, or -1 to dismiss.
  std::function<int(View* control, const std::vector<std::string>& items)> popUpListChooser;
  // Stands in for the user of a context menu: answers the item chosen
  // (an item of the menu or of one of its submenus), or null to dismiss.
  std::function<HWND__*(HMENU)> contextMenuChooser;
  // Stand in for the user of a save or open panel (fill its filenames and
  // answer 1 to confirm) and of an alert (answer the index of the button
  // pressed; without a responder the default button is pressed).
  std::function<int(SavePanel&)> panelResponder;
  std::function<int(const Alert&)> alertResponder;
  // What was asked of the system's workspace (open an address or file, launch an application).
  struct WorkspaceCall {
    std::string op, target, application;
  };
  std::vector<WorkspaceCall> workspaceCalls;
  bool workspaceSucceeds = true;
  bool workspace(const std::string& op, const std::string& target, const std::string& app = "") {
    workspaceCalls.push_back({op, target, app});
    return workspaceSucceeds;
  }
  unsigned presentationOptions = 0;
  int runAlert(const Alert& alert) { return alertResponder ? alertResponder(alert) : 0; }

  // Sends a synthetic event to its window's view under the pointer (or to the
  // first responder for keys), as the platform would.
  void sendEvent(const Event& event);

  // The queue of events waiting to be sent.
  void postEvent(const Event& event) { mQueue.push_back(event); }
  bool nextEvent(Event* out) {
    if (mQueue.empty()) return false;
    *out = mQueue.front();
    mQueue.pop_front();
    return true;
  }

  // What the run loop does after the events of a pass: every visible window draws what needs it.
  void displayWindowsIfNeeded();

  // The accessibility services' questions: the element under a screen point
  // (the frontmost window's content view answers) and the focused element
  // (the key window's first responder answers).
  HWND__* accessibilityHitTest(Pointf screenPoint);
  HWND__* accessibilityFocusedUIElement();

  void autorelease(HWND__* object);
  void drainAutoreleasePool();
  // Closes every window, drains the pool and restores the initial state.
  void reset();

  // Only for the window model.
  void windowCreated(Window* window);
  void windowOrdered(Window* window, bool front);
  void windowOrderedOut(Window* window);
  void windowClosed(Window* window);
  void makeKey(Window* window);

 private:
  std::vector<Window*> mWindows;
  std::vector<Window*> mOrdered;
  Window* mKeyWindow = nullptr;
  Window* mMainWindow = nullptr;
  HMENU mMainMenu = nullptr;
  bool mActive = true;
  bool mTerminating = false;
  bool mHidden = false;
  int mSystemVersion = 0x1060;
  std::vector<Screen> mScreens;
  std::unique_ptr<Event> mCurrentEvent;
  Pointf mMouse;
  unsigned mModifiers = 0;
  int mArrowSets = 0;
  bool mArrowCurrent = true;
  std::shared_ptr<AppDelegate> mDelegate;
  std::vector<std::unique_ptr<ModalSession>> mSessions;
  std::function<void(ModalSession&)> mModalDriver;
  std::vector<HWND__*> mPool;
  std::deque<Event> mQueue;
};

// The one application of the process; used from the main thread only.
Application& App();

}  // namespace winsys
