// The stock controls: panels, bitmaps, switches, radio buttons, faders,
// knobs, overlays, captions, a link button, a file selector and bitmap text.
// Each differs from the base only in what it draws and how the mouse moves
// its value.
#pragma once

#include <cmath>
#include <vector>

#include "IControl.h"
#include "IGraphicsStructs.h"
#include "IPlugStructs.h"
#include "WDL_String.h"

class IPanelControl : public IControl {
 public:
  IPanelControl(IPlugBase* plug, const IRECT* pR, const IColor* color)
      : IControl(plug, pR), mColor(color ? *color : COLOR_BLACK) {}
  bool Draw(IGraphics* graphics) override;

 protected:
  IColor mColor;
};

// The frame of an N-frame bitmap that shows a value (1-based state).
int FrameForValue(int nFrames, double value);

class IBitmapControl : public IControl {
 public:
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  bool Draw(IGraphics* graphics) override;
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mBitmap); }
  bool CoversItsRect() const override;

 protected:
  IBitmap mBitmap;
};

class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override { OnMouseDown(x, y, mod); }
};

class ISwitchPopUpControl : public ISwitchControl {
 public:
  ISwitchPopUpControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap)
      : ISwitchControl(plug, x, y, paramIdx, bitmap) {
    mDisablePrompt = false;
  }
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

class IInvisibleSwitchControl : public IControl {
 public:
  IInvisibleSwitchControl(IPlugBase* plug, IRECT r, int paramIdx)
      : IControl(plug, &r, paramIdx, IChannelBlend::kBlendClobber) {}
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

class IRadioButtonsControl : public IControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mBitmap); }
  IRadioButtonsControl(IPlugBase* plug, IRECT r, int paramIdx, int nButtons, IBitmap* bitmap,
                       EDirection direction = kVertical, bool reverse = false);
  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  const std::vector<IRECT>& ButtonRects() const { return mRECTs; }

 protected:
  std::vector<IRECT> mRECTs;
  IBitmap mBitmap;
};

class IFaderControl : public IControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mBitmap); }
  IFaderControl(IPlugBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                EDirection direction = kVertical, bool onlyHandle = false);
  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  bool IsHit(int x, int y) override;
  IRECT GetHandleRECT(double value) const;
  IRECT GetHandleRECT() const { return GetHandleRECT(mValue); }

 protected:
  void SnapToMouse(int x, int y);
  int mLen, mHandleHeadroom;
  IBitmap mBitmap;
  EDirection mDirection;
  bool mOnlyHandle;
};

class IKnobControl : public IControl {
 public:
  IKnobControl(IPlugBase* plug, IRECT r, int paramIdx, EDirection direction = kVertical, double gearing = 4.0)
      : IControl(plug, &r, paramIdx), mDirection(direction), mGearing(gearing) {}
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;

 protected:
  EDirection mDirection;
  double mGearing;
};

class IKnobLineControl : public IKnobControl {
 public:
  IKnobLineControl(IPlugBase* plug, IRECT r, int paramIdx, const IColor* color, double innerRadius = 0.0,
                   double outerRadius = 0.0, double minAngle = -0.75 * M_PI, double maxAngle = 0.75 * M_PI,
                   EDirection direction = kVertical, double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IColor mColor;
  float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

class IKnobRotaterControl : public IKnobControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mBitmap); }
  IKnobRotaterControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, double minAngle = -0.75 * M_PI,
                      double maxAngle = 0.75 * M_PI, int yOffsetZeroDeg = 0, EDirection direction = kVertical,
                      double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap mBitmap;
  double mMinAngle, mMaxAngle;
  int mYOffset;
};

class IKnobMultiControl : public IKnobControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mBitmap); }
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, EDirection direction = kVertical,
                    double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap mBitmap;
};

class IKnobRotatingMaskControl : public IKnobControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override {
    f(mBase);
    f(mMask);
    f(mTop);
  }
  IKnobRotatingMaskControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* base, IBitmap* mask, IBitmap* top,
                           double minAngle = -135.0, double maxAngle = 135.0, EDirection direction = kVertical,
                           double gearing = 4.0);
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap mBase, mMask, mTop;
  double mMinAngle, mMaxAngle;
};

class IBitmapOverlayControl : public ISwitchControl {
 public:
  IBitmapOverlayControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea)
      : ISwitchControl(plug, x, y, paramIdx, bitmap), mTargetArea(targetArea) {}
  IBitmapOverlayControl(IPlugBase* plug, int x, int y, IBitmap* bitmap, IRECT targetArea)
      : ISwitchControl(plug, x, y, -1, bitmap), mTargetArea(targetArea) {}
  bool Draw(IGraphics* graphics) override;

 protected:
  IRECT mTargetArea;  // where the mouse is taken while the overlay is off
};

// The text cut at its end, with "..", so that it is at most width pixels wide.
std::string FitTextToWidth(IGraphics* graphics, IText* text, std::string str, int width);

class ICaptionControl : public ITextControl {
 public:
  ICaptionControl(IPlugBase* plug, IRECT r, int paramIdx, const IText* text, bool showParamLabel = true);
  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

 protected:
  bool mShowParamLabel;
};

class IURLControl : public IControl {
 public:
  IURLControl(IPlugBase* plug, IRECT r, const char* url, const char* backupURL = nullptr,
              const char* errMsgOnFailure = nullptr);
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int x, int y, IMouseMod* mod) override;

 protected:
  char mURL[256] = {}, mBackupURL[256] = {}, mErrMsg[1024] = {};
};

class IFileSelectorControl : public IControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mBitmap); }
  enum EFileSelectorState { kFSNone, kFSSelecting, kFSDone };

  IFileSelectorControl(IPlugBase* plug, IRECT r, int paramIdx, IBitmap* bitmap, EFileAction action,
                       const char* dir = "", const char* extensions = "")
      : IControl(plug, &r, paramIdx), mBitmap(bitmap ? *bitmap : IBitmap()), mDir(dir), mExtensions(extensions),
        mFileAction(action) {}
  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool IsDirty() override;
  void GetLastSelectedFileForPlug(WDL_String* out) const { out->Set(mFile.Get()); }
  void SetLastSelectedFileFromPlug(const char* file) { mFile.Set(file); }
  void SetDrawBitmap(bool draw) { mDrawBitmap = draw; }

 protected:
  bool mDrawBitmap = true;
  IBitmap mBitmap;
  WDL_String mDir, mFile, mExtensions;
  EFileAction mFileAction;
  EFileSelectorState mState = kFSNone;
};

// Text laid out in fixed cells, one frame of a character strip per character
// (frame c - 32 for code c).
bool DrawBitmapedText(IGraphics* graphics, IBitmap* strip, IRECT* r, IText* style, const IChannelBlend* blend,
                      const char* text, bool vCenter, bool multiline, int charWidth, int charHeight);

class IBitmapTextControl : public IControl {
 public:
  void ForEachImage(const std::function<void(const IBitmap&)>& f) const override { f(mTextBitmap); }
  IBitmapTextControl(IPlugBase* plug, IRECT r, IBitmap* strip, const char* str = "", const IText* text = nullptr,
                     int charWidth = 6, int charHeight = 12)
      : IControl(plug, &r), mStr(str ? str : ""), mCharWidth(charWidth), mCharHeight(charHeight),
        mTextBitmap(strip ? *strip : IBitmap()) {
    if (text) mText = *text;
  }
  bool Draw(IGraphics* graphics) override;
  void SetTextFromPlug(const char* str);
  const char* GetTextString() const { return mStr.Get(); }

 protected:
  WDL_String mStr;
  int mCharWidth, mCharHeight;
  IBitmap mTextBitmap;
};
