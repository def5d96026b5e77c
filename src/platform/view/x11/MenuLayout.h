// Where the items of one popup-menu level lie and how the level looks;
// separators take a row of their own, so row indices are item indices. A
// level taller than the room it is given shows part of its items between a
// scroll arrow at the top and one at the bottom, as platform menus do.
#pragma once

#include <vector>

#include "Bitmap.h"
#include "ViewRecords.h"

class ViewText;

class MenuLayout {
 public:
  static constexpr int kSeparatorHeight = 7;
  static constexpr int kMarkWidth = 22;    // room for the tick
  static constexpr int kArrowWidth = 22;   // room for the submenu arrow
  static constexpr int kTitleIndent = 10;
  static constexpr int kBorder = 1;
  static constexpr int kScrollArrowHeight = 16;

  MenuLayout(const ViewMenu& menu, const ViewText& text);

  // Limits the level to a height; a taller one scrolls. The top item shows.
  void Fit(int maxHeight);
  bool Scrolls() const { return mScrolls; }
  int ContentHeight() const { return mContentHeight; }

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // The item at a point of the level, -1 outside every item, on a scroll
  // arrow, or on an item scrolled out of sight.
  int ItemAt(int x, int y) const;
  // Where an item lies in the level as it is scrolled now.
  int ItemTop(int index) const { return mTops[index] - mScroll + ViewTop(); }
  int ItemHeight(int index) const;
  // -1 over the upper scroll arrow, 1 over the lower one, 0 elsewhere.
  int ArrowAt(int x, int y) const;
  // Scrolls by rows (negative: towards the top); false when it cannot move.
  bool ScrollBy(int rows);
  // Scrolls as little as shows the whole item.
  bool ScrollToShow(int index);
  int RowsShown() const { return mRowHeight > 0 ? (ViewBottom() - ViewTop()) / mRowHeight : 0; }
  // The next item the keyboard can land on from index, stepping by +1 or -1.
  int Step(int index, int direction) const;
  void Paint(LICE_IBitmap* bitmap, const ViewText& text, int hover) const;

 private:
  int ViewTop() const { return mScrolls ? kScrollArrowHeight : 0; }
  int ViewBottom() const { return mScrolls ? mHeight - kScrollArrowHeight : mHeight; }
  int MaxScroll() const;
  bool SetScroll(int scroll);

  const ViewMenu& mMenu;
  int mRowHeight;
  int mWidth = 0, mHeight = 0, mContentHeight = 0;
  bool mScrolls = false;
  int mScroll = 0;  // content pixels above the view
  std::vector<int> mTops;  // in the content
};
