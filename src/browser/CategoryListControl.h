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

  // The category bank on the line at y, or -1.
  int lineAt(int y) const;
  const IText& textStyle() const { return mText; }
  int lineHeight() const { return mLineHeight; }

 private:
  LibrarianBrowser* mBrowser;
  int mLineHeight;
  IText mText;
};
