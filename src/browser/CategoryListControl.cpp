#include "CategoryListControl.h"

#include <algorithm>

#include "IGraphics.h"
#include "IPlugBase.h"
#include "LibrarianBrowser.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "TextLooks.h"

namespace {
// Light text on a dark well reads in every colour scheme.
const IColor kWell(255, 20, 21, 26), kLit(255, 70, 74, 86), kInk(255, 225, 225, 225);
}  // namespace

CategoryListControl::CategoryListControl(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect, double scale)
    : IControl(plug, &rect), mBrowser(browser) {
  // No smaller than the window's other texts; the lines grow with the text.
  const int size = std::max(textlooks::kSmallestSize, static_cast<int>(13 * scale));
  mLineHeight = std::max(static_cast<int>(14 * scale), size + 1);
  mText = IText(size, &kInk, "NK57 Monospace");
  mText.mAlign = IText::kAlignNear;
  // What lies under it is painted again where it hides.
  SetDirtyWhenHidden(true);
}

int CategoryListControl::lineAt(int y) const {
  const PatchLibrarian* librarian = mBrowser && mBrowser->host() ? mBrowser->host()->librarian() : nullptr;
  if (!librarian || y < mRECT.T) return -1;
  const int line = (y - mRECT.T) / mLineHeight;
  return line < librarian->bankCount(kCategoryList) ? line : -1;
}

CategoryListControl::Lines CategoryListControl::current() const {
  LibrarianHost* host = mBrowser ? mBrowser->host() : nullptr;
  PatchLibrarian* librarian = host ? host->librarian() : nullptr;
  if (!librarian) return {};
  return {host->browseState().categoryBrowsing ? librarian->lowerBank.load() : -1, librarian->bankCount(kCategoryList)};
}

bool CategoryListControl::IsDirty() {
  // Hidden, it draws nothing; it is dirtied when it shows again.
  if (IsHidden()) return IControl::IsDirty();
  return IControl::IsDirty() || !(current() == mDrawn);
}

bool CategoryListControl::Draw(IGraphics* graphics) {
  graphics->FillIRect(&kWell, &mRECT);
  // A pass that paints only part of the box leaves it dirty, so that the
  // next pass paints all of it.
  const IRECT& pass = graphics->GetDrawRect();
  const bool whole = pass.L <= mRECT.L && pass.T <= mRECT.T && pass.R >= mRECT.R && pass.B >= mRECT.B;
  const Lines drawing = current();
  if (whole) mDrawn = drawing;
  LibrarianHost* host = mBrowser ? mBrowser->host() : nullptr;
  PatchLibrarian* librarian = host ? host->librarian() : nullptr;
  if (!librarian) return true;
  const int shown = drawing.lit;
  const int count = drawing.count;
  for (int i = 0; i < count; ++i) {
    IRECT line(mRECT.L, mRECT.T + i * mLineHeight, mRECT.R, mRECT.T + (i + 1) * mLineHeight);
    if (line.B > mRECT.B) break;
    if (i == shown) graphics->FillIRect(&kLit, &line);
    const auto bank = librarian->bankHeaderAt(kCategoryList, i);
    if (!bank) continue;
    IRECT text(line.L + 4, line.T, line.R - 4, line.B);
    graphics->DrawIText(&mText, bank->fileName.c_str(), &text);
  }
  return true;
}

void CategoryListControl::OnMouseDown(int, int y, IMouseMod*) {
  const int line = lineAt(y);
  if (line < 0 || !mBrowser) return;
  LibrarianHost* host = mBrowser->host();
  // Category browsing first, so the lower pane's list holds the categories.
  if (!host->browseState().categoryBrowsing && mPlug) {
    mPlug->SetParameterFromGUI(kCategorySelection, 1.0);
    host->setParameterFromPlug(kCategorySelection, 1.0, false);  // the CATEGORIES switch lights
  }
  mBrowser->showLowerBank(line);
  SetDirty(false);
}
