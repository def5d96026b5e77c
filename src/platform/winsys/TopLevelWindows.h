// The layer's top-level windows: owned windows with levels, size limits asked
// through WM_GETMINMAXINFO, close handling through WM_CLOSE, activation
// messages, and (dialog box) the modal return value.
#pragma once

#include <vector>

#include "Swell.h"
#include "model/Window.h"

class SwellWindowBase {
 public:
  virtual ~SwellWindowBase() = default;
  virtual void swellDestroyAllOwnedWindows() = 0;
};

// The behaviour both window classes share; W is the platform class (window or panel).
template <class W>
class SwellWindow : public W, public SwellWindowBase {
 public:
  SwellWindow(winsys::Rectf rect, unsigned mask) : W(rect, mask) {}

  bool answersOnSwellMessage() const override { return false; }
  bool answersOwner() const override { return true; }
  winsys::Window* swellGetOwner() override { return m_owner; }
  void swellSetOwner(winsys::Window* owner) override { m_owner = owner; }
  bool answersOwnedWindows() const override { return true; }
  std::vector<winsys::Window*>* swellGetOwnerWindowHead() override { return &m_ownedwnds; }
  bool swellAddOwnedWindow(winsys::Window* w) override;
  void swellRemoveOwnedWindow(winsys::Window* w) override;
  void swellDestroyAllOwnedWindows() override;
  void swellResetOwnedWindowLevels();
  bool answersDestroyStuff() const override { return true; }
  void swellDoDestroyStuff() override;

  void setFrame(winsys::Rectf frame, bool display) override;
  void windowDidMove() override;
  winsys::Sizef minSize() override;
  winsys::Sizef maxSize() override;
  bool windowShouldClose() override;
  void resignKeyWindow() override;
  void becomeKeyWindow() override;
  bool canBecomeKeyWindow() override;
  bool acceptsFirstResponder() const { return m_enabled; }
  bool acceptsFirstMouse() const { return m_enabled; }
  // A window without a title bar whose content view is empty is left out; else the platform decides (false).
  bool accessibilityIsIgnored() const;

  winsys::Sizef lastFrameSize;
  winsys::Window* m_owner = nullptr;
  std::vector<winsys::Window*> m_ownedwnds;  // newest first
  char m_enabled = 1;

 protected:
  void dealloc() override;
  virtual int ownedRaise() const { return 0; }
  virtual HMENU modalDefaultMenu() const { return nullptr; }
};

class Swell_vTarnivex_modelesswindow : public SwellWindow<winsys::Window> {
 public:
  using SwellWindow::SwellWindow;
  int m_wantraiseamt = 0;
  bool m_wantInitialKeyWindowOnShow = false;

 protected:
  int ownedRaise() const override { return m_wantraiseamt; }
};

class Swell_vTarnivex_dialogbox : public SwellWindow<winsys::Panel> {
 public:
  using SwellWindow::SwellWindow;
  void swellSetModalRetVal(int v) {
    m_rv = v;
    m_hasrv = true;
  }
  int swellGetModalRetVal() const { return m_rv; }
  bool swellHasModalRetVal() const { return m_hasrv; }
  int m_rv = 0;
  bool m_hasrv = false;

 protected:
  HMENU modalDefaultMenu() const override { return g_swell_defaultmenumodal; }
};
