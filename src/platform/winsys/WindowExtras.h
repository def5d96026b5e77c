// Extras around the window view class: a view hosting a foreign (Carbon)
// window, file drags that start from a view, a per-view OpenGL context, a
// focus-rectangle overlay, window appearance, default-button and size
// queries, child enumeration, the non-client mouse pre-filter, opening
// files and addresses, and the dock and menu-bar switch.
#pragma once

#include <string>
#include <vector>

#include "HwndView.h"
#include "Swell.h"
#include "model/Window.h"

// Hosts a foreign window inside a view: the foreign window follows the
// view's place on screen, is attached to the view's window while the view is
// visible, and takes keys only when asked to.
class Swell_vTarnivex_hwndcarbonhost : public Swell_vTarnivex_hwnd {
 public:
  static Swell_vTarnivex_hwndcarbonhost* initCarbonChild(HWND parent, RECT carbonRect, bool composited);
  ~Swell_vTarnivex_hwndcarbonhost() override;

  void SWELL_Timer(uintptr_t id) override;
  void setFrame(winsys::Rectf frame) override;
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool isOpaque() const override { return false; }
  bool swellIsCarbonHostingView() const { return true; }
  void viewDidMoveToWindow() override;
  void swellDoRepos();
  void close();

  // The foreign window's events. Keys (kind 1 down, 3 up, 4 modifiers) answer
  // whether they were passed on to the application; focusKind is the kind of
  // the control that has the foreign window's keyboard focus.
  bool carbonKeyEvent(int kind, int keyCode, unsigned modifiers, const std::string& chars, unsigned focusKind);
  int carbonWindowEvent(int kind);
  void carbonControlBoundsChanged(RECT previous, RECT current);

  winsys::Window* m_cwnd = nullptr;
  bool m_whileresizing = false;
  bool m_wantallkeys = false;
  bool m_composited = false;
  // The foreign window's content bounds, y measured down from the top of the main display.
  RECT m_carbonBounds{};

 protected:
  using Swell_vTarnivex_hwnd::Swell_vTarnivex_hwnd;
  void dealloc() override;
};

// The view of the focus-rectangle overlay: filled with mid grey.
class Swell_vTarnivex_drawfocusrectwnd : public winsys::View {
 public:
  using View::View;
  bool isOpaque() const override { return true; }
  int fillGrey = 128;
};

// A four-character code as the foreign window's events use them ("etxt").
unsigned fourCC(const char* s);
HWND SWELL_CreateCarbonWindowView(HWND parent, void** carbonWindow, RECT* r, bool composited);
void* SWELL_GetWindowFromCarbonWindowView(HWND hwnd);
void SWELL_AddCarbonPaneToView(HWND host, void* control);
void SWELL_CarbonWndHost_SetWantAllKeys(void* host, bool want);
// Audio-unit views do not exist here: always null.
HWND SWELL_GetAudioUnitCocoaView(HWND parent, void* audioUnit, void* viewInfo, RECT* r);

// What the last drag started from a view carried.
struct SwellDragStart {
  bool promise = false;
  std::vector<std::string> types;  // promised file type, or the file-name type
  std::vector<std::string> files;
  RECT from{};
  bool slideBack = false;
  void* image = nullptr;
};
void SWELL_InitiateDragDrop(HWND view, RECT* r, const char* srcfn, void (*callback)(const char* destpath));
void SWELL_InitiateDragDropOfFileList(HWND view, RECT* r, const char** files, int count, HICON icon);
void SWELL_FinishDragDrop();
const SwellDragStart& SWELL_LastDragStart();
// Writes the pending promised file into a folder; answers the file names written (false: none).
bool SWELL_DoDragDrop(const char* destFolder, std::vector<std::string>* names);

void SWELL_SetViewGL(HWND h, bool on);
bool SWELL_GetViewGL(HWND h);
bool SWELL_SetGLContextToView(HWND h);

void SWELL_DrawFocusRect(HWND parent, RECT* r, void** handle);
void SetOpaque(HWND h, bool opaque);
void SetTransparent(HWND h);
void SWELL_SetWindowShadow(HWND h, bool shadow);
void SWELL_SetWindowRepre(HWND h, const char* filename, bool isDirty);
int SWELL_GetDefaultButtonID(HWND h, bool onlyIfEnabled);
BOOL EnumChildWindows(HWND h, BOOL (*proc)(HWND, LPARAM), LPARAM lp);
void SWELL_GetDesiredControlSize(HWND h, RECT* r);
bool SWELL_IsGroupBox(HWND h);
bool SWELL_IsButton(HWND h);
bool SWELL_IsStaticText(HWND h);
bool SWELL_HandleMouseEvent(const winsys::Event& e);
int ShellExecute(HWND h, const char* operation, const char* file, const char* parameters, const char* directory,
                 int show);
bool SWELL_SetAppAutoHideMenuAndDock(int mode);
// The text colour of a button's title (0xRRGGBB; the control text colour, black, when none is set).
int SWELL_GetButtonTextColor(HWND button);
void SWELL_SetButtonTextColor(HWND button, int rgb);
