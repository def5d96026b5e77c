#include "ICustomRadioButtonsControl.h"

#include <algorithm>

#include "ControlLayer.h"
#include "IGraphics.h"

ICustomRadioButtonsControl::ICustomRadioButtonsControl(IPlugBase* plug, IRECT rect, int paramIdx, int buttons,
                                                       IBitmap* bitmap, EDirection direction)
    : IRadioButtonsControl(plug, rect, paramIdx, std::max(buttons, 1), bitmap, direction, false) {
  DisablePrompt(true);
  const int n = std::max(buttons, 1);
  const int W = mBitmap.W, H = mBitmap.H;
  if (!mBitmap.mFramesAreHorizontal) {
    mButtonWidth = W / n;
    mButtonHeight = H / 2;
  } else {
    mButtonWidth = W / 2;
    mButtonHeight = H / n;
  }
  const int frameHeight = static_cast<int>(static_cast<double>(H) / std::max(mBitmap.N, 1));
  mRECTs.clear();
  for (int i = 0; i < n; ++i) {
    if (direction == kHorizontal)
      mRECTs.emplace_back(rect.L + i * mButtonWidth, rect.T, rect.L + (i + 1) * mButtonWidth, rect.T + frameHeight);
    else
      mRECTs.emplace_back(rect.L, rect.T + i * mButtonHeight, rect.L + mButtonWidth, rect.T + (i + 1) * mButtonHeight);
  }
}

void ICustomRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (!(mod && mod->R)) OnMouseDownCustom(x, y, mod);
  SetDirty(true);
}

void ICustomRadioButtonsControl::OnMouseDownCustom(int x, int y, IMouseMod* mod) {
  if (mod && mod->R) return;
  const int n = static_cast<int>(mRECTs.size());
  for (int i = 0; i < n; ++i) {
    if (!mRECTs[static_cast<size_t>(i)].Contains(x, y)) continue;
    // A single button is the first and only value.
    mValue = n < 2 ? 0.0 : static_cast<double>(i) / (n - 1);
    break;
  }
  SetDirty(true);
}

bool ICustomRadioButtonsControl::Draw(IGraphics* graphics) {
  const int n = static_cast<int>(mRECTs.size());
  if (n < 1) return true;
  const int selected = std::clamp(static_cast<int>((n - 1) * mValue + 0.5), 0, n - 1);
  // Greying lowers the blend; the buttons always draw at full strength.
  mBlend.mWeight = 1.0f;
  for (int i = 0; i < n; ++i) {
    const int offsetX = mBitmap.mFramesAreHorizontal ? 0 : i * mButtonWidth;
    const int offsetY = mBitmap.mFramesAreHorizontal ? i * mButtonHeight : 0;
    graphics->DrawBitmap(&mBitmap, &mRECTs[static_cast<size_t>(i)], i == selected ? 2 : 1, offsetX, offsetY, &mBlend);
  }
  return true;
}

ProgressIndicator::ProgressIndicator(ControlLayer* layer, IPlugBase* plug, int x, int y, int w, int h, int paramIdx,
                                     IBitmap* bitmap, IRECT target)
    : IBitmapOverlayControl(plug, x, y, paramIdx, bitmap, target), mLayer(layer),
      mDrawnBitmap(bitmap ? *bitmap : IBitmap()), mDrawRect(x, y, x + w, y + h), mX(x), mY(y), mW(w), mH(h) {
  if (!mLayer) return;
  mLayer->AttachControl(std::unique_ptr<IControl>(this));
  mLayer->setIgnoreHiddenWhenUpdatingScreen(true);
}

void ProgressIndicator::Hide(bool hide) {
  if (!hide && IsHidden()) mDrawn = false;
  IBitmapOverlayControl::Hide(hide);
}

bool ProgressIndicator::Draw(IGraphics* graphics) {
  const bool drawn = graphics->DrawBitmap(&mDrawnBitmap, &mDrawRect, 0, &mBlend);
  if (!IsHidden()) mDrawn = true;
  return drawn;
}
