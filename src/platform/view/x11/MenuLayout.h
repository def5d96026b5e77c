// Where the items of one popup-menu level lie and how the level looks;
// separators take a row of their own, so row indices are item indices.
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

  MenuLayout(const ViewMenu& menu, const ViewText& text);

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // The item at a point of the level, -1 outside every item.
  int ItemAt(int x, int y) const;
  int ItemTop(int index) const { return mTops[index]; }
  int ItemHeight(int index) const;
  // The next item the keyboard can land on from index, stepping by +1 or -1.
  int Step(int index, int direction) const;
  void Paint(LICE_IBitmap* bitmap, const ViewText& text, int hover) const;

 private:
  const ViewMenu& mMenu;
  int mRowHeight;
  int mWidth = 0, mHeight = 0;
  std::vector<int> mTops;
};
