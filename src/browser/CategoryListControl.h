// The categories of the library's sounds, listed in the librarian's
// CATEGORIES box: one line per category bank, the one the lower pane shows
// lit. A click on a line browses that category in the lower pane.
#pragma once

#include "IControl.h"

class LibrarianBrowser;

class CategoryListControl : public IControl {
 public:
  CategoryListControl(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect, double scale);

  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  // Also dirty when the lit line or the number of lines is no longer what
  // was drawn: category browsing turned off, another bank browsed, the
  // categories read again. The whole box is then painted, highlight and all.
  bool IsDirty() override;

  // The category bank on the line at y, or -1.
  int lineAt(int y) const;
  const IText& textStyle() const { return mText; }
  int lineHeight() const { return mLineHeight; }

 private:
  struct Lines {
    int lit = -1;
    int count = 0;
    bool operator==(const Lines&) const = default;
  };
  Lines current() const;

  LibrarianBrowser* mBrowser;
  int mLineHeight;
  IText mText;
  Lines mDrawn;
};
