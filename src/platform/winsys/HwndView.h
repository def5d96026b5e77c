// The view behind every window handle that is not a stock control: the
// window state (procedures, user data, extra words, properties, menu, title),
// the platform's view callbacks turned into window messages, and the destroy
// sequence.
#pragma once

#include <string>
#include <vector>

#include "Swell.h"
#include "model/Controls.h"
#include "model/Drag.h"
#include "model/GLContext.h"
#include "model/View.h"

struct WindowPropRec {
  char* name;  // below 0x10000 an atom kept as a number
  void* data;
  WindowPropRec* next;
};

class Swell_vTarnivex_hwnd : public winsys::View {
 public:
  // Creation (initChild): builds the view into parent, sends WM_CREATE or WM_INITDIALOG.
  static Swell_vTarnivex_hwnd* create(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc dlgproc,
                                      LPARAM param);
  ~Swell_vTarnivex_hwnd() override;

  bool answersOnSwellMessage() const override { return true; }
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int tag) override { m_tag = tag; }
  bool getSwellUserData(LONG_PTR* out) override;
  bool setSwellUserData(LONG_PTR v) override;
  bool getSwellExtendedStyle(LONG_PTR* out) override;
  bool setSwellExtendedStyle(LONG_PTR v) override;
  bool getSwellDialogProc(DialogProc* out) override;
  bool setSwellDialogProc(DialogProc p) override;
  bool getSwellWindowProc(DialogProc* out) override;
  bool setSwellWindowProc(DialogProc p) override;
  bool answersExtraData() const override { return true; }
  LONG_PTR getSwellExtraData(int index) override;
  void setSwellExtraData(int index, LONG_PTR value) override;
  bool answersGetText() const override { return true; }
  const char* onSwellGetText() override { return m_titlestr; }
  bool answersSetText() const override { return true; }
  void onSwellSetText(const char* text) override;
  bool answersTimer() const override { return true; }
  void SWELL_Timer(uintptr_t id) override;
  bool answersCanPostMessage() const override { return true; }
  bool swellCanPostMessage() override { return m_hashaddestroy == 0; }
  bool answersCapChangeNotify() const override { return true; }
  bool answersProps() const override { return true; }
  LONG_PTR swellGetProp(const char* name, bool wantRemove) override;
  int swellSetProp(const char* name, void* value) override;
  int swellEnumProps(int (*proc)(HWND, const char*, void*, LPARAM), LPARAM lp) override;
  bool answersCreateWindowFlags() const override { return true; }
  unsigned swellCreateWindowFlags() override { return m_create_windowflags; }
  bool answersCommand() const override { return true; }
  void onSwellCommand(View* sender) override;
  bool getSwellPaintInfo(PAINTSTRUCT* ps) override;

  bool isFlipped() const override { return m_flip; }
  bool isOpaque() const override { return m_isopaque; }
  void setOpaque(bool o) { m_isopaque = o; }
  void setFrame(winsys::Rectf frame) override;
  bool isEnabled() const override { return m_enabled; }
  void setEnabled(bool e) override { m_enabled = e; }
  bool answersSetEnabled() const override { return true; }
  bool acceptsFirstResponder() override;
  bool acceptsFirstMouse();

  // Notifications of controls whose delegate or target this view is.
  void comboBoxWillPopUp(View* sender) override;
  void comboBoxSelectionDidChange(View* sender) override;
  void controlTextDidChange(View* sender) override;
  void textDidEndEditing(View* sender) override;
  bool answersMenuNeedsUpdate() const override { return true; }
  void menuNeedsUpdate(HMENU menu) override;
  void tableViewSelectionDidChange(View* sender);
  void outlineViewSelectionDidChange(View* sender);
  void tableViewDidClickTableColumn(View* sender, winsys::TableColumn* column) override;
  bool answersControlDoubleClick() const override { return true; }
  void swellOnControlDoubleClick(View* sender) override;

  void mouseDown(const winsys::Event& e) override;
  void mouseUp(const winsys::Event& e) override;
  void mouseDragged(const winsys::Event& e) override;
  void mouseMoved(const winsys::Event& e) override;
  void rightMouseDown(const winsys::Event& e) override;
  void rightMouseUp(const winsys::Event& e) override;
  void rightMouseDragged(const winsys::Event& e) override;
  void otherMouseDown(const winsys::Event& e) override;
  void otherMouseUp(const winsys::Event& e) override;
  void otherMouseDragged(const winsys::Event& e) override;
  void scrollWheel(const winsys::Event& e) override;
  bool keyDown(const winsys::Event& e) override;
  bool keyUp(const winsys::Event& e) override;
  void magnifyWithEvent(const winsys::Event& e) override;
  void swipeWithEvent(const winsys::Event& e) override;
  void rotateWithEvent(const winsys::Event& e) override;

  // Drop target (only while the view accepts files); the answers are drag operations.
  int draggingEntered(const winsys::DragInfo& drag);
  int draggingUpdated(const winsys::DragInfo& drag);
  void draggingExited(const winsys::DragInfo& drag);
  bool wantsPeriodicDraggingUpdates() const { return false; }
  bool performDragOperation(const winsys::DragInfo& drag);
  // The drop block for a drag over this view, a memory handle; null when the view takes no files.
  HGLOBAL swellExtendedDragOp(const winsys::DragInfo& drag, bool onDrop);

  // A drag this view started as a source was dropped on a folder: writes the promised file there.
  std::vector<std::string> namesOfPromisedFilesDroppedAtDestination(const std::string& folder);

  // The accessibility object the window procedure offers through WM_GETOBJECT, or null.
  void* accessibilityObject();
  // Each asks that object first; the children lists end with it.
  bool accessibilityIsIgnored() override;
  HWND__* accessibilityHitTest(winsys::Pointf screenPoint) override;
  HWND__* accessibilityFocusedUIElement() override;
  const std::vector<HWND__*>* accessibilityAttributeValue(const std::string& attribute) override;

  // The text colour of a table or outline cell of a list whose delegate this view is; false leaves it.
  bool tableViewWillDisplayCell(View* table, bool selected, int* textColor);

  HMENU swellGetMenu() const { return m_menu; }
  void swellSetMenu(HMENU menu);
  bool swellHasBeenDestroyed() const { return m_hashaddestroy != 0; }
  int destroyState() const { return m_hashaddestroy; }
  int dirtyBits() const { return m_isdirty; }
  void setDirtyBits(int bits) { m_isdirty = char(bits); }
  void setLastTopLevelOwner(HWND owner) { m_lastTopLevelOwner = owner; }
  HWND lastTopLevelOwner() const { return m_lastTopLevelOwner; }
  void setCreateWindowFlags(unsigned flags) { m_create_windowflags = flags; }

  // The paint routine: WM_NCCALCSIZE, WM_NCPAINT and WM_PAINT over rect.
  void paint(winsys::Rectf rect, HDC hdc);

 protected:
  Swell_vTarnivex_hwnd(winsys::Rectf frame, bool flip, bool opaque, bool ddrop);
  void dealloc() override;
  void viewDidHide() override;
  void viewDidUnhide() override;
  void didAddSubview(View* sub) override;
  void willRemoveSubview(View* sub) override;
  void drawRect(winsys::Rectf rect) override;

 protected:
  void initChild(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc dlgproc, LPARAM param);

 private:
  LRESULT runDestroy(WPARAM wParam, LPARAM lParam);
  void sendCommand(View* sender, int code);
  void sendNotify(NMHDR* hdr);
  void sendGesture(int id, const winsys::Event& e, uint64_t beginArg, uint64_t endArg, POINT endPt);
  void radioGroupUpdate(View* button);

 public:
  char m_enabled = 1;
  DialogProc m_dlgproc = nullptr;
  DialogProc m_wndproc;
  LONG_PTR m_userdata = 0;
  LONG_PTR m_extradata[32] = {};
  int m_tag = 0;
  int m_isfakerightmouse = 0;
  char m_hashaddestroy = 0;
  HMENU m_menu = nullptr;
  char m_flip;
  bool m_supports_ddrop;
  bool m_paintctx_used = false;
  HDC m_paintctx_hdc = nullptr;
  WindowPropRec* m_props = nullptr;
  winsys::Rectf m_paintctx_rect;
  char m_isopaque;
  char m_titlestr[1024] = {};
  unsigned int m_create_windowflags = 15;
  winsys::GLContext* m_glctx = nullptr;  // owned by whoever bound it
  char m_isdirty = 3;
  HWND m_lastTopLevelOwner = nullptr;
  // The last answer for the children and the visible children: the
  // procedure's object (retained), the platform's list, and the list handed out.
  struct AccessCache {
    HWND__* object = nullptr;
    std::vector<HWND__*> platform, answer;
  };
  AccessCache m_access_cacheptrs[2];
};

// Sets bit 2 of the dirty bits of each layer view up the superview chain
// until one already has it: a control asked to redraw.
void SWELL_PropagateDirty(winsys::View* from);

// A control class of the layer whose redraw marks the layer views above it.
template <class Base>
class SwellRedrawMarking : public Base {
 public:
  using Base::Base;
  void setNeedsDisplay(bool needs) override {
    Base::setNeedsDisplay(needs);
    if (needs) SWELL_PropagateDirty(this);
  }
  void setNeedsDisplayInRect(winsys::Rectf r) override {
    Base::setNeedsDisplayInRect(r);
    SWELL_PropagateDirty(this);
  }
};

// The layer's button: radio flags, user data and a drawing object for its picture.
class Swell_vTarnivex_button : public SwellRedrawMarking<winsys::Button> {
 public:
  using SwellRedrawMarking::SwellRedrawMarking;
  int swellGetRadioFlags() const { return m_radioflags; }
  void swellSetRadioFlags(int f) { m_radioflags = f; }
  bool getSwellUserData(LONG_PTR* out) override {
    *out = m_userdata;
    return true;
  }
  bool setSwellUserData(LONG_PTR v) override {
    m_userdata = v;
    return true;
  }
  HGDIOBJ getSwellGDIImage() const { return m_swellGDIimage; }
  void setSwellGDIImage(HGDIOBJ image) { m_swellGDIimage = image; }

 private:
  HGDIOBJ m_swellGDIimage = nullptr;
  LONG_PTR m_userdata = 0;
  int m_radioflags = 0;
};

// The layer's single-line text field (labels are ones not editable, not bordered and without background).
class Swell_vTarnivex_textfield : public SwellRedrawMarking<winsys::TextField> {
 public:
  using SwellRedrawMarking::SwellRedrawMarking;
};

// Holds one pointer-sized value (a timer id, an item's data).
class Swell_vTarnivex_sdh : public HWND__ {
 public:
  explicit Swell_vTarnivex_sdh(LONG_PTR v) : m_val(v) {}
  LONG_PTR getValue() const { return m_val; }

 private:
  LONG_PTR m_val;
};
