#include "MenuLayout.h"

#include <algorithm>

#include "Fill.h"
#include "Shapes.h"
#include "ViewText.h"

namespace {
constexpr LICE_pixel kBackground = LICE_RGBA(0xF2, 0xF2, 0xF0, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(0x70, 0x70, 0x70, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0x10, 0x10, 0x10, 255);
constexpr LICE_pixel kGreyInk = LICE_RGBA(0x6B, 0x6B, 0x6B, 255);  // still 4.5:1 on the background
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
  mContentHeight = mHeight = y + kBorder;
}

void MenuLayout::Fit(int maxHeight) {
  // Room for the two arrows and a few rows at the least.
  maxHeight = std::max(maxHeight, 2 * kScrollArrowHeight + 3 * mRowHeight);
  mScrolls = mContentHeight > maxHeight;
  mHeight = mScrolls ? maxHeight : mContentHeight;
  mScroll = 0;
}

int MenuLayout::MaxScroll() const {
  return mScrolls ? std::max(0, mContentHeight - (ViewBottom() - ViewTop())) : 0;
}

bool MenuLayout::SetScroll(int scroll) {
  scroll = std::clamp(scroll, 0, MaxScroll());
  if (scroll == mScroll) return false;
  mScroll = scroll;
  return true;
}

bool MenuLayout::ScrollBy(int rows) { return SetScroll(mScroll + rows * mRowHeight); }

bool MenuLayout::ScrollToShow(int index) {
  if (!mScrolls || index < 0 || index >= static_cast<int>(mTops.size())) return false;
  const int top = mTops[index], bottom = top + ItemHeight(index), view = ViewBottom() - ViewTop();
  if (top < mScroll) return SetScroll(top - kBorder);
  if (bottom > mScroll + view) return SetScroll(bottom - view + kBorder);
  return false;
}

int MenuLayout::ItemHeight(int index) const {
  return (mMenu.items[index].flags & kViewMenuSeparator) ? kSeparatorHeight : mRowHeight;
}

int MenuLayout::ItemAt(int x, int y) const {
  if (x < 0 || x >= mWidth || y < ViewTop() || y >= ViewBottom()) return -1;
  for (int i = 0; i < static_cast<int>(mTops.size()); ++i) {
    const int top = ItemTop(i), bottom = top + ItemHeight(i);
    if (y >= top && y < bottom) return top >= ViewTop() && bottom <= ViewBottom() ? i : -1;
  }
  return -1;
}

int MenuLayout::ArrowAt(int x, int y) const {
  if (!mScrolls || x < 0 || x >= mWidth) return 0;
  if (y >= 0 && y < ViewTop()) return -1;
  if (y >= ViewBottom() && y < mHeight) return 1;
  return 0;
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
  const int ascent = text.Ascent(), viewTop = ViewTop(), viewBottom = ViewBottom();
  for (int i = 0; i < static_cast<int>(mTops.size()); ++i) {
    const ViewMenu::Item& item = mMenu.items[i];
    const int top = ItemTop(i), h = ItemHeight(i);
    // Rows cut by a scroll arrow are left out: every row shown can be read.
    if (top < viewTop || top + h > viewBottom) continue;
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
  if (mScrolls) {
    // An arrow that can scroll no further is greyed.
    const int cx = mWidth / 2;
    const LICE_pixel up = mScroll > 0 ? kInk : kRule, down = mScroll < MaxScroll() ? kInk : kRule;
    LICE_FillTriangle(bitmap, cx - 6, viewTop - 4, cx + 6, viewTop - 4, cx, viewTop - 10, up, 1.0f, 0);
    LICE_FillTriangle(bitmap, cx - 6, viewBottom + 4, cx + 6, viewBottom + 4, cx, viewBottom + 10, down, 1.0f, 0);
  }
  LICE_DrawRect(bitmap, 0, 0, mWidth - 1, mHeight - 1, kFrame, 1.0f, 0);
}
