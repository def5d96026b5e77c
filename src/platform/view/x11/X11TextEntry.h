// A single-line text entry the editor draws itself, in an override-redirect
// window over the control, holding the keyboard while it is open. The text
// starts selected, so the first character typed replaces it.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "Bitmap.h"
#include "ViewRecords.h"
#include "ViewText.h"

class X11Painter;

// What keys do to the entry's text: Return commits, Escape cancels, the
// first character typed replaces the selected text, and a character the
// entry does not allow, or one past its length, is swallowed.
class TextEntryEditor {
 public:
  enum class Result { kOpen, kCommit, kCancel };

  explicit TextEntryEditor(const ViewTextEntry& entry) : mEntry(entry), mText(entry.text) {}
  Result Type(KeySym keysym, const std::string& typed);
  const std::string& Text() const { return mText; }
  bool AllSelected() const { return mAllSelected; }
  const ViewTextEntry& Entry() const { return mEntry; }

 private:
  ViewTextEntry mEntry;
  std::string mText;
  bool mAllSelected = true;
};

class X11TextEntry {
 public:
  using Result = TextEntryEditor::Result;

  X11TextEntry(Display* display, Window editor, X11Painter& painter, const ViewTextEntry& entry);
  ~X11TextEntry();
  X11TextEntry(const X11TextEntry&) = delete;
  X11TextEntry& operator=(const X11TextEntry&) = delete;

  // 0 when the window could not be made.
  Window GetWindow() const { return mWindow; }
  const std::string& Text() const { return mEditor.Text(); }
  const ViewRect& Rect() const { return mEditor.Entry().rect; }
  Result HandleEvent(XEvent& event);

 private:
  void Paint();

  Display* mDisplay;
  X11Painter& mPainter;
  TextEntryEditor mEditor;
  Window mWindow = 0;
  GC mGC = nullptr;
  bool mGrabbed = false;
  ViewText mFont;
  LICE_MemBitmap mBitmap;
};

// Drops the last character of a UTF-8 text.
void EraseLastCharacter(std::string* text);
