// A top-level window of the window model: a frame in screen coordinates
// (y up, frame equal to the content area), one content view, a style mask,
// a level, visibility and key state, child windows, a title, the first
// responder and size limits. Panels are windows of another class.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Geometry.h"
#include "View.h"

namespace winsys {

class TextView;

enum : unsigned {
  kTitledWindowMask = 1,
  kClosableWindowMask = 2,
  kMiniaturizableWindowMask = 4,
  kResizableWindowMask = 8,
};

class Window : public HWND__ {
 public:
  Window(Rectf contentRect, unsigned styleMask);
  ~Window() override;

  bool isWindow() const override { return true; }
  HWND contentViewHandle() const override { return mContentView; }

  View* contentView() const { return mContentView; }
  void setContentView(View* view);

  Rectf frame() const { return mFrame; }
  virtual void setFrame(Rectf frame, bool display);
  unsigned styleMask() const { return mStyleMask; }
  int level() const { return mLevel; }
  void setLevel(int level) { mLevel = level; }
  const std::string& title() const { return mTitle; }
  void setTitle(const std::string& title) { mTitle = title; }
  virtual Sizef minSize() { return mMinSize; }
  virtual Sizef maxSize() { return mMaxSize; }
  void setMinSize(Sizef s) { mMinSize = s; }
  void setMaxSize(Sizef s) { mMaxSize = s; }
  // Platform settings a window is created with.
  bool acceptsMouseMovedEvents = false;
  bool cursorRectsEnabled = true;
  bool usesOptimizedDrawing = false;
  bool isOwnDelegate = false;
  unsigned collectionBehavior = 0;

  // Appearance and document state the window extras set.
  bool hasShadow = true;
  bool isOpaqueWindow = true;
  bool clearBackground = false;
  bool ignoresMouseEvents = false;
  bool excludedFromWindowsMenu = false;
  bool documentEdited = false;
  std::string representedFilename;
  // The control whose cell is the window's default button (not retained).
  View* defaultButton = nullptr;

  // The pixels the window's views are drawn into, kept for the layer's painting (freed with the window).
  std::shared_ptr<void> backingStore;

  float alpha() const { return mAlpha; }
  void setAlpha(float a) { mAlpha = a; }

  bool isVisible() const { return mVisible; }
  bool isMiniaturized() const { return mMiniaturized; }
  bool isKeyWindow() const;
  void orderOut();
  void orderFront();
  void makeKeyAndOrderFront();
  void makeKeyWindow();
  void miniaturize();
  void center();
  void close();
  bool isClosed() const { return mClosed; }
  // The user's close button: closes only when windowShouldClose agrees.
  void performClose();
  void display();
  void displayIfNeeded();
  int displayCount() const { return mDisplayCount; }

  Window* parentWindow() const { return mParent; }
  const std::vector<Window*>& childWindows() const { return mChildren; }
  void addChildWindow(Window* child, int ordered);
  void removeChildWindow(Window* child);

  HWND__* firstResponder() const { return mFirstResponder; }
  bool makeFirstResponder(HWND__* responder);
  // The window's shared field editor (a text view), made on first use.
  TextView* fieldEditor();

  Pointf convertBaseToScreen(Pointf p) const { return {p.x + mFrame.x, p.y + mFrame.y}; }
  Pointf convertScreenToBase(Pointf p) const { return {p.x - mFrame.x, p.y - mFrame.y}; }

  // Delegate and subclass hooks, called by the model.
  virtual bool windowShouldClose() { return true; }
  virtual void becomeKeyWindow() {}
  virtual void resignKeyWindow() {}
  virtual bool canBecomeKeyWindow() { return true; }
  virtual void windowDidMove() {}

  // Optional messages of the layer's window classes.
  virtual bool answersOnSwellMessage() const { return false; }
  virtual LRESULT onSwellMessage(UINT, WPARAM, LPARAM) { return 0; }
  virtual bool answersOwner() const { return false; }
  virtual Window* swellGetOwner() { return nullptr; }
  virtual void swellSetOwner(Window*) {}
  virtual bool answersOwnedWindows() const { return false; }
  virtual std::vector<Window*>* swellGetOwnerWindowHead() { return nullptr; }
  virtual bool swellAddOwnedWindow(Window*) { return false; }
  virtual void swellRemoveOwnedWindow(Window*) {}
  virtual bool answersDestroyStuff() const { return false; }
  virtual void swellDoDestroyStuff() {}
  virtual bool isPanel() const { return false; }

 protected:
  void dealloc() override;

 private:
  Rectf mFrame;
  unsigned mStyleMask;
  int mLevel = 0;
  View* mContentView = nullptr;
  std::string mTitle;
  Sizef mMinSize{1, 1};
  Sizef mMaxSize{1e7, 1e7};
  float mAlpha = 1;
  bool mVisible = false;
  bool mMiniaturized = false;
  bool mClosed = false;
  int mDisplayCount = 0;
  Window* mParent = nullptr;
  std::vector<Window*> mChildren;
  HWND__* mFirstResponder = nullptr;
  TextView* mFieldEditor = nullptr;
  TextView* mEditingText = nullptr;  // retained
};

class Panel : public Window {
 public:
  using Window::Window;
  ~Panel() override {
    if (mAccessory) mAccessory->release();
  }
  bool isPanel() const override { return true; }
  // Save, open, colour and font panels carry an accessory view of the caller's.
  virtual bool takesAccessoryView() const { return false; }
  View* accessoryView() const { return mAccessory; }
  void setAccessoryView(View* v) {
    if (v) v->retain();
    if (mAccessory) mAccessory->release();
    mAccessory = v;
  }
  void setHidesOnDeactivate(bool hides) { mHidesOnDeactivate = hides; }
  bool hidesOnDeactivate() const { return mHidesOnDeactivate; }

 private:
  bool mHidesOnDeactivate = true;
  View* mAccessory = nullptr;
};

}  // namespace winsys
