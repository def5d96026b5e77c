#include "SlotGrid.h"

namespace {
int truncated(double value) { return static_cast<int>(value); }
}  // namespace

SlotGrid::SlotGrid(int x, int y, double s) {
  // The corrections keep the columns and rows on the artwork's cells at the
  // two other sizes.
  mColumnWidth = s == 1.0 ? truncated(105.0 * s) : truncated(106.0 * s);
  mRowHeight = truncated(14.0 * s) + (s < 1.0 ? 1 : 0);
  mUpperTop = y + truncated(s) + (s != 1.0 ? 1 : 0);
  mLowerTop = y + truncated(274.0 * s) + (s < 1.0 ? 2 : 0) + (s > 1.0 ? 1 : 0);
  mColumnStep = mColumnWidth + truncated(28.0 * s);
  for (int pane = 0; pane < 2; ++pane) {
    for (int i = 0; i < kSlotsPerPane; ++i) {
      SlotBox& b = mBoxes[static_cast<std::size_t>(pane)][static_cast<std::size_t>(i)];
      b.L = x + (i / kSlotsPerColumn) * mColumnStep;
      b.T = paneTop(pane) + (i % kSlotsPerColumn) * mRowHeight;
      b.R = b.L + mColumnWidth;
      b.B = b.T + mRowHeight;
    }
  }
}

int SlotGrid::hit(int pane, int x, int y) const {
  int found = -1;
  for (int i = 0; i < kSlotsPerPane; ++i)
    if (box(pane, i).contains(x, y)) found = i;
  return found;
}

int slotAfterKey(int c, int key) {
  switch (key) {
    case 1: return c <= 0 ? kSlotsPerPane - 1 : c - 1;
    case 2: return c >= kSlotsPerPane - 1 ? 0 : c + 1;
    case 3: return c < kSlotsPerColumn ? c + kSlotsPerPane - kSlotsPerColumn : c - kSlotsPerColumn;
    case 4:
      return c + kSlotsPerColumn > kSlotsPerPane - 1 ? c - (kSlotsPerPane - kSlotsPerColumn) : c + kSlotsPerColumn;
    default: return -2;
  }
}
