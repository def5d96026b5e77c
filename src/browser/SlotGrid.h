// Where the slot view's 2 x 128 name slots lie and how the arrow keys move
// between them. Each pane has 8 columns of 16 slots.
#pragma once

#include <array>
#include <cstddef>

constexpr int kSlotsPerPane = 128;
constexpr int kSlotsPerColumn = 16;

struct SlotBox {
  int L = 0, T = 0, R = 0, B = 0;
  bool contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
};

// Slot i is (pane, i); pane 0 upper, 1 lower.
class SlotGrid {
 public:
  // The control's origin and the editor's size factor.
  SlotGrid(int x, int y, double scale);

  const SlotBox& box(int pane, int slot) const {
    return mBoxes[static_cast<std::size_t>(pane)][static_cast<std::size_t>(slot)];
  }
  int columnWidth() const { return mColumnWidth; }
  int rowHeight() const { return mRowHeight; }
  int paneTop(int pane) const { return pane == 0 ? mUpperTop : mLowerTop; }
  int columnStep() const { return mColumnStep; }

  // The slot of the pane under the point, -1 for none. Later slots win, so
  // overlapping slots resolve as the original walk did.
  int hit(int pane, int x, int y) const;

 private:
  int mColumnWidth, mRowHeight, mUpperTop, mLowerTop, mColumnStep;
  std::array<std::array<SlotBox, kSlotsPerPane>, 2> mBoxes;
};

// Key codes of the framework: 1 up, 2 down, 3 left, 4 right.
// The slot an arrow key moves the cursor to, within the pane's ring; -2
// for any other key.
int slotAfterKey(int cursor, int key);
