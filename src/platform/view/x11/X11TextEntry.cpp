#include "X11TextEntry.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

#include "Fill.h"
#include "Shapes.h"
#include "X11Painter.h"
#include "XErrorTrap.h"

namespace {
LICE_pixel Pixel(unsigned rrggbb) { return LICE_RGBA(rrggbb >> 16, rrggbb >> 8, rrggbb, 255); }
}  // namespace

void EraseLastCharacter(std::string* text) {
  while (!text->empty()) {
    const unsigned char c = static_cast<unsigned char>(text->back());
    text->pop_back();
    if ((c & 0xC0) != 0x80) break;
  }
}

X11TextEntry::X11TextEntry(Display* display, Window editor, X11Painter& painter, const ViewTextEntry& entry)
    : mDisplay(display), mPainter(painter), mEditor(entry), mFont(std::max(6, entry.fontSize)) {
  if (entry.rect.Empty()) return;
  XErrorTrap trap(mDisplay);
  Window root = DefaultRootWindow(mDisplay), child = 0;
  int x = 0, y = 0;
  if (!XTranslateCoordinates(mDisplay, editor, root, entry.rect.L, entry.rect.T, &x, &y, &child)) return;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask;
  attributes.background_pixmap = None;
  mWindow = XCreateWindow(mDisplay, root, x, y, entry.rect.W(), entry.rect.H(), 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWOverrideRedirect | CWEventMask | CWBackPixmap, &attributes);
  mGC = XCreateGC(mDisplay, mWindow, 0, nullptr);
  XMapRaised(mDisplay, mWindow);
  // An override-redirect window gets no focus from the window manager.
  mGrabbed = XGrabKeyboard(mDisplay, mWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  mBitmap.resize(entry.rect.W(), entry.rect.H());
  Paint();
  if (!trap.Sync()) {
    if (mGC) XFreeGC(mDisplay, mGC);
    mGC = nullptr;
    mWindow = 0;
  }
}

X11TextEntry::~X11TextEntry() {
  if (!mWindow) return;
  XErrorTrap trap(mDisplay);
  if (mGrabbed) XUngrabKeyboard(mDisplay, CurrentTime);
  XFreeGC(mDisplay, mGC);
  XDestroyWindow(mDisplay, mWindow);
}

X11TextEntry::Result X11TextEntry::HandleEvent(XEvent& event) {
  if (event.type == Expose) {
    if (event.xexpose.count == 0) Paint();
    return Result::kOpen;
  }
  if (event.type != KeyPress) return Result::kOpen;
  char typed[16] = {};
  KeySym keysym = NoSymbol;
  const int length = XLookupString(&event.xkey, typed, sizeof typed - 1, &keysym, nullptr);
  const Result result = mEditor.Type(keysym, std::string(typed, std::max(0, length)));
  if (result == Result::kOpen) Paint();
  return result;
}

TextEntryEditor::Result TextEntryEditor::Type(KeySym keysym, const std::string& typed) {
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
      return Result::kCommit;
    case XK_Escape:
      return Result::kCancel;
    case XK_BackSpace:
    case XK_Delete:
    case XK_KP_Delete:
      if (mAllSelected)
        mText.clear();
      else
        EraseLastCharacter(&mText);
      mAllSelected = false;
      return Result::kOpen;
    case XK_Left:
    case XK_Right:
    case XK_Home:
    case XK_End:
      mAllSelected = false;  // the caret stays at the end
      return Result::kOpen;
    default:
      break;
  }
  if (typed.empty() || static_cast<unsigned char>(typed[0]) < 0x20 || typed[0] == 0x7F) return Result::kOpen;
  const std::string candidate = (mAllSelected ? std::string() : mText) + typed;
  if (mEntry.Accepts(candidate)) {
    mText = candidate;
    mAllSelected = false;
  }
  return Result::kOpen;
}

void X11TextEntry::Paint() {
  if (!mWindow) return;
  const ViewTextEntry& entry = mEditor.Entry();
  const std::string& text = mEditor.Text();
  const bool allSelected = mEditor.AllSelected();
  const int w = mBitmap.getWidth(), h = mBitmap.getHeight();
  const LICE_pixel background = Pixel(entry.background), foreground = Pixel(entry.foreground);
  LICE_FillRect(&mBitmap, 0, 0, w, h, background, 1.0f, 0);
  const int textWidth = mFont.Width(text);
  int x = 3;
  if (entry.align == 1) x = (w - textWidth) / 2;
  if (entry.align == 2) x = w - 3 - textWidth;
  const int baseline = (h + mFont.Ascent() - (mFont.LineHeight() - mFont.Ascent())) / 2;
  if (allSelected && !text.empty()) {
    LICE_FillRect(&mBitmap, x - 1, 2, textWidth + 2, h - 4, foreground, 1.0f, 0);
    mFont.Draw(&mBitmap, x, baseline, text, background);
  } else {
    mFont.Draw(&mBitmap, x, baseline, text, foreground);
    LICE_Line(&mBitmap, x + textWidth + 1, 3, x + textWidth + 1, h - 4, foreground, 1.0f, 0, false);
  }
  LICE_DrawRect(&mBitmap, 0, 0, w - 1, h - 1, foreground, 0.6f, 0);
  mPainter.Put(mWindow, mGC, mBitmap.getBits(), mBitmap.getRowSpan(), w, h, {0, 0, w, h});
  XFlush(mDisplay);
}
