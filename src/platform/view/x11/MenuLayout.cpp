#include "MenuLayout.h"

#include <algorithm>

#include "Fill.h"
#include "Shapes.h"
#include "ViewText.h"

namespace {
constexpr LICE_pixel kBackground = LICE_RGBA(0xF2, 0xF2, 0xF0, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(0x70, 0x70, 0x70, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0x10, 0x10, 0x10, 255);
constexpr LICE_pixel kGreyInk = LICE_RGBA(0x9A, 0x9A, 0x9A, 255);
constexpr LICE_pixel kHover = LICE_RGBA(0x2F, 0x6F, 0xC8, 255);
constexpr LICE_pixel kHoverInk = LICE_RGBA(0xFF, 0xFF, 0xFF, 255);
constexpr LICE_pixel kRule = LICE_RGBA(0xC4, 0xC4, 0xC4, 255);
}  // namespace

MenuLayout::MenuLayout(const ViewMenu& menu, const ViewText& text)
    : mMenu(menu), mRowHeight(std::max(18, text.LineHeight() + 6)) {
  int widest = 40;
  int y = kBorder;
  for (int i = 0; i < static_cast<int>(menu.items.size()); ++i) {
    const ViewMenu::Item& item = menu.items[i];
    mTops.push_back(y);
    if (item.flags & kViewMenuSeparator) {
      y += kSeparatorHeight;
      continue;
    }
    const int indent = (item.flags & kViewMenuTitle) ? kTitleIndent : 0;
    widest = std::max(widest, text.Width(menu.Label(i)) + indent);
    y += mRowHeight;
  }
  mWidth = kBorder * 2 + kMarkWidth + widest + kArrowWidth;
  mHeight = y + kBorder;
}

int MenuLayout::ItemHeight(int index) const {
  return (mMenu.items[index].flags & kViewMenuSeparator) ? kSeparatorHeight : mRowHeight;
}

int MenuLayout::ItemAt(int x, int y) const {
  if (x < 0 || x >= mWidth) return -1;
  for (int i = 0; i < static_cast<int>(mTops.size()); ++i)
    if (y >= mTops[i] && y < mTops[i] + ItemHeight(i)) return i;
  return -1;
}

int MenuLayout::Step(int index, int direction) const {
  const int n = static_cast<int>(mMenu.items.size());
  const int start = index >= 0 ? index : (direction > 0 ? -1 : n);
  for (int k = 1; k <= n; ++k) {
    const int i = ((start + direction * k) % n + n) % n;
    const ViewMenu::Item& item = mMenu.items[i];
    if (!(item.flags & (kViewMenuSeparator | kViewMenuDisabled))) return i;
  }
  return -1;
}

void MenuLayout::Paint(LICE_IBitmap* bitmap, const ViewText& text, int hover) const {
  LICE_FillRect(bitmap, 0, 0, mWidth, mHeight, kBackground, 1.0f, 0);
  LICE_DrawRect(bitmap, 0, 0, mWidth - 1, mHeight - 1, kFrame, 1.0f, 0);
  const int ascent = text.Ascent();
  for (int i = 0; i < static_cast<int>(mTops.size()); ++i) {
    const ViewMenu::Item& item = mMenu.items[i];
    const int top = mTops[i], h = ItemHeight(i);
    if (item.flags & kViewMenuSeparator) {
      LICE_Line(bitmap, kBorder + 4, top + h / 2, mWidth - kBorder - 5, top + h / 2, kRule, 1.0f, 0, false);
      continue;
    }
    const bool lit = i == hover && !(item.flags & kViewMenuDisabled);
    if (lit) LICE_FillRect(bitmap, kBorder, top, mWidth - kBorder * 2, h, kHover, 1.0f, 0);
    const LICE_pixel ink = lit ? kHoverInk : (item.flags & kViewMenuDisabled) ? kGreyInk : kInk;
    if (item.flags & kViewMenuChecked) {
      const int cx = kBorder + 6, cy = top + h / 2;
      LICE_Line(bitmap, cx, cy, cx + 3, cy + 3, ink, 1.0f, 0, true);
      LICE_Line(bitmap, cx + 3, cy + 3, cx + 10, cy - 4, ink, 1.0f, 0, true);
      LICE_Line(bitmap, cx, cy + 1, cx + 3, cy + 4, ink, 1.0f, 0, true);
      LICE_Line(bitmap, cx + 3, cy + 4, cx + 10, cy - 3, ink, 1.0f, 0, true);
    }
    const int indent = (item.flags & kViewMenuTitle) ? kTitleIndent : 0;
    const int baseline = top + (h + ascent - (text.LineHeight() - ascent)) / 2;
    text.Draw(bitmap, kBorder + kMarkWidth + indent, baseline, mMenu.Label(i), ink);
    if (item.submenu) {
      const int ax = mWidth - kBorder - 14, ay = top + h / 2;
      LICE_FillTriangle(bitmap, ax, ay - 4, ax, ay + 4, ax + 5, ay, ink, 1.0f, 0);
    }
  }
}
