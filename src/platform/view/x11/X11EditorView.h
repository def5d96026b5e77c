// The editor window on X11: a child of the window the host passes, on an X
// connection of its own, worked only from the host's GUI thread. Each idle
// call handles the pending events, runs the redraw timer and puts the
// invalid part of the frame on screen; with nothing to do it sends nothing
// to the server.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <memory>

#include "X11Input.h"
#include "EditorView.h"
#include "X11Painter.h"

class X11TextEntry;
class ViewText;

class X11EditorView : public EditorView {
 public:
  static constexpr int kDefaultRedrawMs = 40;

  // Null when no display answers or the parent is not a window.
  static std::unique_ptr<X11EditorView> Open(Kind kind, unsigned long parent, int width, int height);
  ~X11EditorView() override;

  Kind GetKind() const override { return mKind; }
  void* GetParent() const override { return reinterpret_cast<void*>(mParent); }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  void* Handle() override { return reinterpret_cast<void*>(mWindow); }

  void SetClient(EditorViewClient* client) override { mClient = client; }
  void SetRedrawInterval(int ms) override;
  void Idle() override;
  bool Resize(int width, int height) override;
  void Invalidate(const ViewRect& r) override { mInvalid = mInvalid.Union(r); }
  bool PopupMenu(const ViewMenu& menu, const ViewRect& r, ViewMenuChoice* choice) override;
  bool OpenTextEntry(const ViewTextEntry& entry) override;
  void EndTextEntry(bool commit) override;
  bool TextEntryOpen() const override { return mEntry != nullptr; }
  int MessageBox(const char* text, const char* caption, int type) override;
  bool PromptForFile(const ViewFilePrompt& prompt, std::string* chosen) override;
  void SetCursorHidden(bool hidden) override;

  Display* GetDisplay() const { return mDisplay; }
  unsigned long GetWindow() const { return mWindow; }
  // The last mouse position handed to the editor.
  int PrevX() const { return mPrevX; }
  int PrevY() const { return mPrevY; }

 private:
  X11EditorView(Kind kind, Display* display, Window parent, int width, int height);
  bool Create();
  void HandleEvent(XEvent& event);
  void Button(const XButtonEvent& event, bool press);
  void Motion(XMotionEvent event);
  void Key(XKeyEvent& event);
  void Tick();
  void Paint();
  // Draws what is invalid into the frame; Paint puts all drawn since on screen.
  void DrawInvalid();
  // Paints what the server asks for while a dialog holds the GUI thread;
  // other input waits for the dialog to end.
  void RepaintOnly();
  ViewText& Text(int size);

  Kind mKind;
  Display* mDisplay;
  Window mParent;
  Window mWindow = 0;
  bool mWindowAlive = false;
  GC mGC = nullptr;
  int mWidth, mHeight;
  EditorViewClient* mClient = nullptr;
  X11Painter mPainter;
  ViewRect mInvalid;
  ViewRect mDrawn;  // drawn into the frame, not yet put on screen
  std::chrono::milliseconds mRedrawInterval{kDefaultRedrawMs};
  std::chrono::steady_clock::time_point mNextTick;
  ClickCounter mClicks;
  int mPrevX = -1, mPrevY = -1;
  std::unique_ptr<X11TextEntry> mEntry;
  std::unique_ptr<ViewText> mText;
  Cursor mBlankCursor = 0;
  bool mCursorHidden = false;
  int mSavedRootX = -1, mSavedRootY = -1;
};

// Opens X11 views; the plug-in installs it when a host loads it.
class X11EditorViewFactory : public EditorViewFactory {
 public:
  std::unique_ptr<EditorView> Open(EditorView::Kind kind, void* parent, int width, int height) override;
  void Prepare(int width, int height) override { X11Painter::PrepareSpare(width, height); }
  void ReleasePrepared() override { X11Painter::ReleaseSpare(); }
};

// Makes the X11 views the ones the graphics context opens.
void UseX11EditorViews();
