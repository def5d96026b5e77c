// A view of the window model: a frame in its superview, ordered subviews
// (index 0 furthest back), hidden and flipped state, and the area waiting to
// be redisplayed. The virtual "answers" operations stand for the optional
// messages a platform view may or may not understand; the defaults answer
// nothing.
#pragma once

#include <string>
#include <vector>

#include "../SwellTypes.h"
#include "Event.h"
#include "Geometry.h"

namespace winsys {

class Window;
class TableColumn;

class View : public HWND__ {
 public:
  explicit View(Rectf frame = {});
  ~View() override;

  bool isView() const override { return true; }

  // Hierarchy. Superviews retain their subviews.
  View* superview() const { return mSuperview; }
  Window* window() const { return mWindow; }
  const std::vector<View*>& subviews() const { return mSubviews; }
  void addSubview(View* view);
  // place 1 puts the view directly above relativeTo, -1 directly below;
  // a null relativeTo means the front (1) or the back (-1).
  void addSubview(View* view, int place, View* relativeTo);
  void removeFromSuperview();
  void removeFromSuperviewWithoutNeedingDisplay();
  bool isDescendantOf(const View* other) const;
  int indexOfSubview(const View* view) const;
  // Only for the window model: sets the window of this view and its subviews.
  void setWindowForTree(Window* window);

  // Geometry; bounds are always (0, 0, frame size).
  Rectf frame() const { return mFrame; }
  virtual void setFrame(Rectf frame);
  // Sets the frame without the view's own reaction (the window sizing its content view).
  void assignFrame(Rectf frame) { mFrame = frame; }
  void setFrameOrigin(Pointf origin);
  Rectf bounds() const { return {0, 0, mFrame.width, mFrame.height}; }
  virtual bool isFlipped() const { return false; }
  // Between this view and window base coordinates (null view), or another view.
  Pointf convertPointToBase(Pointf p) const;
  Pointf convertPointFromBase(Pointf p) const;
  // The deepest visible view under a point in the superview's coordinates.
  View* hitTest(Pointf pointInSuperview);

  bool isHidden() const { return mHidden; }
  void setHidden(bool hidden);
  bool isHiddenOrHasHiddenAncestor() const;
  virtual bool isOpaque() const { return false; }

  bool needsDisplay() const { return mNeedsDisplay; }
  Rectf dirtyRect() const { return mDirty; }
  virtual void setNeedsDisplay(bool needs);
  virtual void setNeedsDisplayInRect(Rectf rect);
  // The platform's recursive display: paints what needs display, back to front.
  virtual void displayIfNeeded();

  virtual bool acceptsFirstResponder() { return false; }
  virtual bool isEnabled() const { return true; }
  virtual void setEnabled(bool) {}
  virtual bool answersSetEnabled() const { return false; }

  // Optional messages (see the class comment).
  virtual bool answersOnSwellMessage() const { return false; }
  virtual LRESULT onSwellMessage(UINT, WPARAM, LPARAM) { return 0; }
  // A plain view answers tag with -1 but cannot take one.
  virtual bool answersTag() const { return true; }
  virtual bool answersSetTag() const { return false; }
  virtual int tag() const { return -1; }
  virtual void setTag(int) {}
  virtual bool getSwellUserData(LONG_PTR*) { return false; }
  virtual bool setSwellUserData(LONG_PTR) { return false; }
  virtual bool getSwellExtendedStyle(LONG_PTR*) { return false; }
  virtual bool setSwellExtendedStyle(LONG_PTR) { return false; }
  virtual bool getSwellStyle(LONG_PTR*) { return false; }
  virtual bool setSwellStyle(LONG_PTR) { return false; }
  virtual bool getSwellDialogProc(DialogProc*) { return false; }
  virtual bool setSwellDialogProc(DialogProc) { return false; }
  virtual bool getSwellWindowProc(DialogProc*) { return false; }
  virtual bool setSwellWindowProc(DialogProc) { return false; }
  virtual bool answersExtraData() const { return false; }
  virtual LONG_PTR getSwellExtraData(int) { return 0; }
  virtual void setSwellExtraData(int, LONG_PTR) {}
  virtual bool answersGetText() const { return false; }
  virtual const char* onSwellGetText() { return nullptr; }
  virtual bool answersSetText() const { return false; }
  virtual void onSwellSetText(const char*) {}
  virtual bool answersTimer() const { return false; }
  virtual void SWELL_Timer(uintptr_t) {}
  virtual bool answersCanPostMessage() const { return false; }
  virtual bool swellCanPostMessage() { return false; }
  virtual bool answersCapChangeNotify() const { return false; }
  virtual bool answersProps() const { return false; }
  virtual LONG_PTR swellGetProp(const char*, bool) { return 0; }
  virtual int swellSetProp(const char*, void*) { return 0; }
  virtual int swellEnumProps(int (*)(HWND, const char*, void*, LPARAM), LPARAM) { return -1; }
  virtual bool answersCreateWindowFlags() const { return false; }
  virtual unsigned swellCreateWindowFlags() { return 0; }
  virtual bool answersCommand() const { return false; }
  // As the delegate of a menu that is about to open.
  virtual bool answersMenuNeedsUpdate() const { return false; }
  virtual void menuNeedsUpdate(HMENU) {}
  // A control's action, sent to its target.
  virtual void onSwellCommand(View* /*sender*/) {}
  // The double action of a table, for a target that takes it.
  virtual bool answersControlDoubleClick() const { return false; }
  virtual void swellOnControlDoubleClick(View* /*sender*/) {}

  // As the delegate of controls: a combo box's list opens or its selection
  // changes, a field's text changes, a text view stops editing, a table's
  // column header is clicked.
  virtual void comboBoxWillPopUp(View* /*sender*/) {}
  virtual void comboBoxSelectionDidChange(View* /*sender*/) {}
  virtual void controlTextDidChange(View* /*sender*/) {}
  virtual void textDidEndEditing(View* /*sender*/) {}
  virtual void tableViewDidClickTableColumn(View* /*table*/, TableColumn* /*column*/) {}

  // Accessibility as the platform answers it. Elements are views or objects
  // a program hands over; points are in screen coordinates.
  virtual HWND__* accessibilityHitTest(Pointf screenPoint);
  virtual HWND__* accessibilityFocusedUIElement();
  // "AXChildren" and "AXVisibleChildren"; null for an attribute the view does not have.
  virtual const std::vector<HWND__*>* accessibilityAttributeValue(const std::string& attribute);
  // A plain view is left out of the tree (its children stand in its place); controls are not.
  virtual bool accessibilityIsIgnored() { return true; }
  // The children as the platform lists them: unignored subviews, an ignored one by its own children.
  std::vector<HWND__*> accessibilityPlatformChildren(bool visibleOnly);

  // Input as the platform delivers it.
  virtual void mouseDown(const Event&) {}
  virtual void mouseUp(const Event&) {}
  virtual void mouseDragged(const Event&) {}
  virtual void mouseMoved(const Event&) {}
  virtual void rightMouseDown(const Event&) {}
  virtual void rightMouseUp(const Event&) {}
  virtual void rightMouseDragged(const Event&) {}
  virtual void otherMouseDown(const Event&) {}
  virtual void otherMouseUp(const Event&) {}
  virtual void otherMouseDragged(const Event&) {}
  virtual void scrollWheel(const Event&) {}
  // Answers whether the view took the key; otherwise it goes on to the platform.
  virtual bool keyDown(const Event&) { return false; }
  virtual bool keyUp(const Event&) { return false; }
  virtual void magnifyWithEvent(const Event&) {}
  virtual void swipeWithEvent(const Event&) {}
  virtual void rotateWithEvent(const Event&) {}

  // Point size of the view's font; 0 keeps the platform's default.
  double fontSize = 0;

 protected:
  virtual void didAddSubview(View*) {}
  virtual void willRemoveSubview(View*) {}
  virtual void viewDidHide() {}
  virtual void viewDidMoveToWindow() {}
  virtual void viewDidUnhide() {}
  // Draws this view alone over rect (view coordinates).
  virtual void drawRect(Rectf) {}
  void clearNeedsDisplay() {
    mNeedsDisplay = false;
    mDirty = {};
  }
  // The answer the last platform attribute query handed out.
  std::vector<HWND__*> mAccessAnswer;

 private:
  void detach(bool needsDisplay);

  Rectf mFrame;
  View* mSuperview = nullptr;
  Window* mWindow = nullptr;
  std::vector<View*> mSubviews;
  bool mHidden = false;
  bool mNeedsDisplay = false;
  Rectf mDirty;
};

}  // namespace winsys
