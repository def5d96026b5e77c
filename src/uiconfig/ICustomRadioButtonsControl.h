// A row or column of touching buttons cut from one image: frame 1 holds every
// button off, frame 2 every button on. Only a left click selects.
#pragma once

#include <atomic>

#include "IControls.h"

class ICustomRadioButtonsControl : public IRadioButtonsControl {
 public:
  // buttons below 1 are taken as 1.
  ICustomRadioButtonsControl(IPlugBase* plug, IRECT rect, int paramIdx, int buttons, IBitmap* bitmap,
                             EDirection direction);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDownCustom(int x, int y, IMouseMod* mod);
  void OnMouseDblClick(int, int, IMouseMod*) override {}
  void OnMouseOver(int, int, IMouseMod*) override {}
  void OnMouseOut() override { SetDirty(false); }
  bool Draw(IGraphics* graphics) override;

 private:
  int mButtonWidth = 0;
  int mButtonHeight = 0;
};

// The overlay shown over the whole editor while a transfer runs: it draws its
// image whatever its value and swallows clicks. It appends itself to layer.
class ProgressIndicator : public IBitmapOverlayControl {
 public:
  ProgressIndicator(class ControlLayer* layer, IPlugBase* plug, int x, int y, int w, int h, int paramIdx,
                    IBitmap* bitmap, IRECT target);
  void OnMouseDown(int, int, IMouseMod*) override {}
  void OnMouseDblClick(int, int, IMouseMod*) override {}
  // A job shows the overlay from its own thread; until the window has drawn
  // it, the user sees the page under it, and a click there is theirs.
  void Hide(bool hide) override;
  bool IsHit(int x, int y) override { return mDrawn && IBitmapOverlayControl::IsHit(x, y); }
  bool Draw(IGraphics* graphics) override;
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mDrawnBitmap); }
  const IRECT& DrawRect() const { return mDrawRect; }

 private:
  class ControlLayer* mLayer;
  IBitmap mDrawnBitmap;
  IRECT mDrawRect;
  int mX, mY, mW, mH;
  std::atomic<bool> mDrawn{false};  // drawn since last shown
};
