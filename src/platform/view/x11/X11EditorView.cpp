#include "X11EditorView.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "ViewText.h"
#include "X11Dialogs.h"
#include "X11PopupMenu.h"
#include "X11TextEntry.h"
#include "XErrorTrap.h"

namespace {
constexpr long kEventMask =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask | StructureNotifyMask;
constexpr int kMenuTextSize = 13;
// A drawing pass takes a bounded share of the window; further passes follow
// in the same tick while they are quick, so a page's worth of changes shows
// at once and only a flood of them is spread over several idle calls.
constexpr auto kTickDrawBudget = std::chrono::microseconds(1000);
constexpr int kMaxPassesPerTick = 32;
}  // namespace

std::unique_ptr<X11EditorView> X11EditorView::Open(Kind kind, unsigned long parent, int width, int height) {
  if (!parent || width <= 0 || height <= 0) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<X11EditorView> view(new X11EditorView(kind, display, parent, width, height));
  if (!view->Create()) return nullptr;
  return view;
}

X11EditorView::X11EditorView(Kind kind, Display* display, Window parent, int width, int height)
    : mKind(kind),
      mDisplay(display),
      mParent(parent),
      mWidth(width),
      mHeight(height),
      mPainter(display, DefaultScreen(display)),
      mNextTick(std::chrono::steady_clock::now()) {}

bool X11EditorView::Create() {
  XErrorTrap trap(mDisplay);
  XWindowAttributes parentAttributes;
  if (!XGetWindowAttributes(mDisplay, mParent, &parentAttributes) || !trap.Sync()) return false;
  XSetWindowAttributes attributes{};
  attributes.event_mask = kEventMask;
  attributes.background_pixmap = None;  // the frame covers every pixel; no flash of a background
  mWindow = XCreateWindow(mDisplay, mParent, 0, 0, mWidth, mHeight, 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWEventMask | CWBackPixmap, &attributes);
  mGC = XCreateGC(mDisplay, mWindow, 0, nullptr);
  XMapWindow(mDisplay, mWindow);
  if (!trap.Sync()) {
    if (mGC) XFreeGC(mDisplay, mGC);
    mGC = nullptr;
    mWindow = 0;
    return false;
  }
  mWindowAlive = true;
  return true;
}

X11EditorView::~X11EditorView() {
  mEntry.reset();
  {
    XErrorTrap trap(mDisplay);  // the host may have destroyed its window, and ours with it
    if (mBlankCursor) XFreeCursor(mDisplay, mBlankCursor);
    if (mGC) XFreeGC(mDisplay, mGC);
    if (mWindowAlive) XDestroyWindow(mDisplay, mWindow);
  }
  mPainter.Detach();
  XCloseDisplay(mDisplay);
}

ViewText& X11EditorView::Text(int size) {
  if (!mText) mText = std::make_unique<ViewText>(size);
  return *mText;
}

void X11EditorView::SetRedrawInterval(int ms) {
  mRedrawInterval = std::chrono::milliseconds(ms > 0 ? ms : kDefaultRedrawMs);
  mNextTick = std::chrono::steady_clock::now() + mRedrawInterval;
}

void X11EditorView::Idle() {
  while (XPending(mDisplay)) {
    XEvent event;
    XNextEvent(mDisplay, &event);
    HandleEvent(event);
  }
  if (std::chrono::steady_clock::now() >= mNextTick) Tick();
  if (!mInvalid.Empty() || !mDrawn.Empty()) Paint();
}

void X11EditorView::Tick() {
  const auto now = std::chrono::steady_clock::now();
  mNextTick += mRedrawInterval;
  if (mNextTick <= now) mNextTick = now + mRedrawInterval;  // late idle calls do not pile up ticks
  // The area reaches one pixel further right and down than the union, as
  // the editor's other views have always painted it; dirty with no area
  // paints nothing.
  const auto until = now + kTickDrawBudget;
  for (int pass = 0; pass < kMaxPassesPerTick && mClient && mWindowAlive; ++pass) {
    if (pass > 0 && std::chrono::steady_clock::now() >= until) break;
    ViewRect dirty;
    if (!mClient->IsDirty(&dirty) || dirty.Empty()) break;
    Invalidate({dirty.L, dirty.T, dirty.R + 1, dirty.B + 1});
    DrawInvalid();
  }
}

void X11EditorView::DrawInvalid() {
  const ViewRect r = mInvalid.Intersect({0, 0, mWidth, mHeight});
  mInvalid = {};
  if (r.Empty() || !mClient || !mWindowAlive) return;
  mClient->Draw(r);
  mDrawn = mDrawn.Union(r);
}

void X11EditorView::Paint() {
  DrawInvalid();
  const ViewRect r = mDrawn;
  mDrawn = {};
  if (r.Empty() || !mClient || !mWindowAlive) return;
  int rowSpan = 0;
  const unsigned* bits = mClient->FrameBits(&rowSpan);
  if (!bits) return;
  mPainter.Put(mWindow, mGC, bits, rowSpan, mWidth, mHeight, r);
  XFlush(mDisplay);
}

void X11EditorView::RepaintOnly() {
  XEvent event;
  while (XCheckTypedWindowEvent(mDisplay, mWindow, Expose, &event)) HandleEvent(event);
  if (std::chrono::steady_clock::now() >= mNextTick) Tick();
  if (!mInvalid.Empty() || !mDrawn.Empty()) Paint();
}

void X11EditorView::HandleEvent(XEvent& event) {
  if (mPainter.TakeCompletion(event)) return;
  if (mEntry && event.xany.window == mEntry->GetWindow() && event.type == ButtonPress &&
      WheelStepsForButton(event.xbutton.button)) {
    // The wheel over the entry turns the control below, as anywhere else.
    XButtonEvent wheel = event.xbutton;
    wheel.x += mEntry->Rect().L;
    wheel.y += mEntry->Rect().T;
    Button(wheel, true);
    return;
  }
  if (mEntry && (event.xany.window == mEntry->GetWindow() || event.type == KeyPress)) {
    const X11TextEntry::Result result = mEntry->HandleEvent(event);
    if (result != X11TextEntry::Result::kOpen) EndTextEntry(result == X11TextEntry::Result::kCommit);
    return;
  }
  if (event.xany.window != mWindow) return;
  switch (event.type) {
    case Expose:
      Invalidate({event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                  event.xexpose.y + event.xexpose.height});
      break;
    case ButtonPress:
    case ButtonRelease:
      Button(event.xbutton, event.type == ButtonPress);
      break;
    case MotionNotify:
      Motion(event.xmotion);
      break;
    case KeyPress:
      Key(event.xkey);
      break;
    case DestroyNotify:
      mWindowAlive = false;
      break;
    default:
      break;
  }
}

void X11EditorView::Button(const XButtonEvent& event, bool press) {
  if (!mClient) return;
  // X reports the pixel under the pointer: clicks land where the controls are drawn.
  const int x = event.x, y = event.y;
  mPrevX = x;
  mPrevY = y;
  if (const int steps = WheelStepsForButton(event.button)) {
    if (!press) return;
    EndTextEntry(false);
    mClient->OnMouseWheel(x, y, ModForButton(false, event.state), steps);
    return;
  }
  if (event.button != Button1 && event.button != Button3) return;
  const bool right = event.button == Button3;
  const ViewMouseMod mod = ModForButton(right, event.state);
  if (!press) {
    mClient->OnMouseUp(x, y, mod);
    return;
  }
  EndTextEntry(true);  // a click outside the entry takes its text
  if (!right && mClicks.Press(event.button, event.time, event.x, event.y) >= 2)
    mClient->OnMouseDblClick(x, y, mod);
  else
    mClient->OnMouseDown(x, y, mod);
}

void X11EditorView::Motion(XMotionEvent event) {
  // Only the latest position of a burst matters.
  XEvent next;
  while (XEventsQueued(mDisplay, QueuedAlready) > 0) {
    XPeekEvent(mDisplay, &next);
    if (next.type != MotionNotify || next.xmotion.window != mWindow) break;
    XNextEvent(mDisplay, &next);
    event = next.xmotion;
  }
  if (!mClient) return;
  const int x = event.x, y = event.y;
  mPrevX = x;
  mPrevY = y;
  if (event.state & (Button1Mask | Button3Mask)) {
    if (!mEntry) mClient->OnMouseDrag(x, y, ModForMotion(event.state));
  } else {
    mClient->OnMouseOver(x, y, ModForButton(false, event.state));
  }
}

void X11EditorView::Key(XKeyEvent& event) {
  // Shift picks the character; Control and Alt do not change it.
  XKeyEvent plain = event;
  plain.state &= ShiftMask | LockMask;
  char text[8] = {};
  KeySym keysym = NoSymbol;
  const int length = XLookupString(&plain, text, sizeof text - 1, &keysym, nullptr);
  const int key = KeyNumberForKeysym(keysym, text, length);
  if (key >= 0 && mClient && mClient->OnKeyDown(mPrevX, mPrevY, key)) return;
  // A key the editor does not use goes on to the host's window.
  XErrorTrap trap(mDisplay);
  XEvent forward{};
  forward.xkey = event;
  forward.xkey.window = mParent;
  XSendEvent(mDisplay, mParent, True, KeyPressMask, &forward);
}

bool X11EditorView::Resize(int width, int height) {
  if (width <= 0 || height <= 0 || !mWindowAlive) return false;
  mWidth = width;
  mHeight = height;
  XErrorTrap trap(mDisplay);
  XResizeWindow(mDisplay, mWindow, width, height);
  Invalidate({0, 0, width, height});
  return trap.Sync();
}

bool X11EditorView::PopupMenu(const ViewMenu& menu, const ViewRect& r, ViewMenuChoice* choice) {
  if (!mWindowAlive) return false;
  EndTextEntry(true);
  return RunPopupMenu(mDisplay, mWindow, mPainter, Text(kMenuTextSize), menu, r, choice);
}

bool X11EditorView::OpenTextEntry(const ViewTextEntry& entry) {
  if (mEntry || !mWindowAlive) return false;
  mEntry = std::make_unique<X11TextEntry>(mDisplay, mWindow, mPainter, entry);
  if (!mEntry->GetWindow()) {
    mEntry.reset();
    return false;
  }
  return true;
}

void X11EditorView::EndTextEntry(bool commit) {
  if (!mEntry) return;
  const std::string text = mEntry->Text();
  mEntry.reset();
  XFlush(mDisplay);
  Invalidate({0, 0, mWidth, mHeight});
  if (mClient) mClient->OnTextEntryEnd(commit ? &text : nullptr);
}

int X11EditorView::MessageBox(const char* text, const char* caption, int type) {
  if (!mWindowAlive) return 0;
  EndTextEntry(false);
  return ShowMessageBox(mDisplay, mWindow, mPainter, Text(kMenuTextSize), text ? text : "", caption ? caption : "",
                        type, [this] { RepaintOnly(); });
}

bool X11EditorView::PromptForFile(const ViewFilePrompt& prompt, std::string* chosen) {
  if (!mWindowAlive || !chosen) return false;
  EndTextEntry(false);
  return ShowFilePrompt(mDisplay, mWindow, mPainter, Text(kMenuTextSize), prompt, chosen,
                        [this] { RepaintOnly(); });
}

void X11EditorView::SetCursorHidden(bool hidden) {
  if (!mWindowAlive) return;
  XErrorTrap trap(mDisplay);
  if (hidden) {
    if (!mCursorHidden) {
      if (!mBlankCursor) {
        static const char kEmpty[8] = {};
        Pixmap empty = XCreateBitmapFromData(mDisplay, mWindow, kEmpty, 8, 8);
        XColor black{};
        mBlankCursor = XCreatePixmapCursor(mDisplay, empty, empty, &black, &black, 0, 0);
        XFreePixmap(mDisplay, empty);
      }
      XDefineCursor(mDisplay, mWindow, mBlankCursor);
      mCursorHidden = true;
    }
    Window root, child;
    int winX, winY;
    unsigned mask;
    XQueryPointer(mDisplay, mWindow, &root, &child, &mSavedRootX, &mSavedRootY, &winX, &winY, &mask);
  } else if (mCursorHidden) {
    XWarpPointer(mDisplay, None, DefaultRootWindow(mDisplay), 0, 0, 0, 0, mSavedRootX, mSavedRootY);
    XUndefineCursor(mDisplay, mWindow);
    mCursorHidden = false;
  }
  XFlush(mDisplay);
}

std::unique_ptr<EditorView> X11EditorViewFactory::Open(EditorView::Kind kind, void* parent, int width, int height) {
  return X11EditorView::Open(kind, reinterpret_cast<unsigned long>(parent), width, height);
}

void UseX11EditorViews() { SetEditorViewFactory(std::make_shared<X11EditorViewFactory>()); }
