#include <typeinfo>
#include "IControls.h"

#include <cmath>
#include <cstring>

#include "IGraphics.h"
#include "IParam.h"
#include "IPlugBase.h"

bool IPanelControl::Draw(IGraphics* graphics) { return graphics->FillIRect(&mColor, &mRECT, &mBlend); }

int FrameForValue(int nFrames, double value) {
  if (nFrames < 2) return 1;
  const int i = int((nFrames - 1) * value + 0.5);
  return i < 0 ? 1 : i < nFrames ? i + 1 : nFrames;
}

namespace {
IRECT FrameRect(int x, int y, const IBitmap* b) {
  return b ? IRECT(x, y, x + b->W, y + b->frameHeight()) : IRECT(x, y, x, y);
}
}  // namespace

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(plug, nullptr, paramIdx, blendMethod), mBitmap(bitmap ? *bitmap : IBitmap()) {
  mRECT = mTargetRECT = FrameRect(x, y, &mBitmap);
}

bool IBitmapControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mBitmap.N, mValue), &mBlend);
}

bool IBitmapControl::CoversItsRect() const {
  // The plain image only: switches and overlays derived from it draw otherwise.
  if (typeid(*this) != typeid(IBitmapControl) || IsGrayed()) return false;
  const bool replaces = (mBlend.mMethod == IChannelBlend::kBlendNone || mBlend.mMethod == IChannelBlend::kBlendClobber) &&
                        mBlend.mWeight >= 1.0f;
  return replaces && mBitmap.mOpaque && mBitmap.N <= 1 && mBitmap.W == mRECT.W() && mBitmap.H == mRECT.H();
}

void ISwitchControl::OnMouseDown(int, int, IMouseMod*) {
  if (mGrayed) return;
  mValue += mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void ISwitchPopUpControl::OnMouseDown(int, int, IMouseMod*) {
  PromptUserInput();
  SetDirty(true);
}

void IContactControl::OnMouseUp(int, int, IMouseMod*) {
  mValue = 0.0;
  SetDirty(true);
}

void IInvisibleSwitchControl::OnMouseDown(int, int, IMouseMod*) {
  if (mGrayed) return;
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

IRadioButtonsControl::IRadioButtonsControl(IPlugBase* plug, IRECT r, int paramIdx, int nButtons, IBitmap* bitmap,
                                           EDirection direction, bool reverse)
    : IControl(plug, &r, paramIdx), mBitmap(bitmap ? *bitmap : IBitmap()) {
  const int n = std::max(nButtons, 1);
  const int h = mBitmap.frameHeight(), W = mBitmap.W;
  // One button has no gap to share out: it sits at the rectangle's start.
  const int gap = n < 2 ? 0
                  : direction == kHorizontal ? int((r.R - r.L - W * n) / (n - 1))
                                             : int((r.B - r.T - h * n) / (n - 1));
  for (int i = 0; i < n; ++i) {
    if (direction == kHorizontal) {
      const int x = reverse ? r.R - W - i * (W + gap) : r.L + i * (W + gap);
      mRECTs.emplace_back(x, r.T, x + W, r.T + h);
    } else {
      const int bottom = reverse ? r.B - i * (h + gap) : r.T + i * (h + gap) + h;
      mRECTs.emplace_back(r.L, bottom - h, r.L + W, bottom);
    }
  }
}

bool IRadioButtonsControl::Draw(IGraphics* graphics) {
  const int n = int(mRECTs.size());
  const int active = std::clamp(int((n - 1) * mValue + 0.5), 0, n - 1);
  for (int i = 0; i < n; ++i) graphics->DrawBitmap(&mBitmap, &mRECTs[size_t(i)], i == active ? 2 : 1, &mBlend);
  return true;
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  if (mod && mod->R) {
    PromptUserInput();
  } else {
    const int n = int(mRECTs.size());
    for (int i = 0; i < n; ++i)
      if (mRECTs[size_t(i)].Contains(x, y)) {
        mValue = n < 2 ? 0.0 : double(i) / (n - 1);
        break;
      }
  }
  SetDirty(true);
}

IFaderControl::IFaderControl(IPlugBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                             EDirection direction, bool onlyHandle)
    : IControl(plug, nullptr, paramIdx), mLen(len), mBitmap(bitmap ? *bitmap : IBitmap()), mDirection(direction),
      mOnlyHandle(onlyHandle) {
  if (direction == kHorizontal) {
    mHandleHeadroom = mBitmap.W;
    mRECT = mTargetRECT = IRECT(x, y, x + len, y + mBitmap.H);
  } else {
    mHandleHeadroom = mBitmap.H;
    mRECT = mTargetRECT = IRECT(x, y, x + mBitmap.W, y + len);
  }
}

IRECT IFaderControl::GetHandleRECT(double value) const {
  IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.W, mRECT.T + mBitmap.H);
  if (mDirection == kHorizontal) {
    const int offset = int(value * (mLen - mHandleHeadroom));
    r.L += offset;
    r.R += offset;
  } else {
    const int offset = int((mLen - mHandleHeadroom) * (1.0 - value));
    r.T += offset;
    r.B += offset;
  }
  return r;
}

bool IFaderControl::Draw(IGraphics* graphics) {
  IRECT r = GetHandleRECT();
  return graphics->DrawBitmap(&mBitmap, &r, 1, &mBlend);
}

void IFaderControl::SnapToMouse(int x, int y) {
  const int travel = mLen - mHandleHeadroom;
  if (travel <= 0) return;
  if (mDirection == kHorizontal)
    mValue = double(x - mHandleHeadroom / 2 - mRECT.L) / travel;
  else
    mValue = 1.0 - double(y - mHandleHeadroom / 2 - mRECT.T) / travel;
  SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  if (mod && mod->R) {
    PromptUserInput();
    return;
  }
  SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, IMouseMod*) {
  if (!mGrayed) SnapToMouse(x, y);
}

bool IFaderControl::IsHit(int x, int y) {
  return mOnlyHandle ? GetHandleRECT().Contains(x, y) : mTargetRECT.Contains(x, y);
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod) {
  if (mGrayed) return;
  const double gearing = mod && (mod->C || mod->S) ? mGearing * 10.0 : mGearing;
  if (mDirection == kHorizontal) {
    if (mRECT.R != mRECT.L) mValue += double(dX) / double(mRECT.R - mRECT.L) / gearing;
  } else if (mRECT.T != mRECT.B) {
    mValue += double(dY) / double(mRECT.T - mRECT.B) / gearing;
  }
  SetDirty(true);
}

IKnobLineControl::IKnobLineControl(IPlugBase* plug, IRECT r, int paramIdx, const IColor* color, double innerRadius,
                                   double outerRadius, double minAngle, double maxAngle, EDirection direction,
                                   double gearing)
    : IKnobControl(plug, r, paramIdx, direction, gearing), mColor(color ? *color : COLOR_BLACK),
      mMinAngle(float(minAngle)), mMaxAngle(float(maxAngle)), mInnerRadius(float(innerRadius)),
      mOuterRadius(float(outerRadius)) {
  if (mOuterRadius == 0.0f) mOuterRadius = 0.5f * float(r.W());
  mBlend = IChannelBlend(IChannelBlend::kBlendClobber);
}

bool IKnobLineControl::Draw(IGraphics* graphics) {
  const double v = mValue;
  const float a = mMinAngle + float(v) * (mMaxAngle - mMinAngle);
  const float s = std::sin(a), c = std::cos(a);
  const float cx = float((mRECT.L + mRECT.R) * 0.5), cy = float((mRECT.T + mRECT.B) * 0.5);
  return graphics->DrawLine(&mColor, cx + s * mInnerRadius, cy - c * mInnerRadius, cx + s * mOuterRadius,
                            cy - c * mOuterRadius, &mBlend, true);
}

IKnobRotaterControl::IKnobRotaterControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                         double minAngle, double maxAngle, int yOffsetZeroDeg, EDirection direction,
                                         double gearing)
    : IKnobControl(plug, bitmap ? IRECT(x, y, x + bitmap->W, y + bitmap->H) : IRECT(x, y, x, y), paramIdx,
                   direction, gearing),
      mBitmap(bitmap ? *bitmap : IBitmap()), mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg) {}

bool IKnobRotaterControl::Draw(IGraphics* graphics) {
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRotatedBitmap(&mBitmap, (mRECT.L + mRECT.R) / 2, (mRECT.T + mRECT.B) / 2, angle, mYOffset,
                                     &mBlend);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                     EDirection direction, double gearing)
    : IKnobControl(plug, FrameRect(x, y, bitmap), paramIdx, direction, gearing),
      mBitmap(bitmap ? *bitmap : IBitmap()) {}

bool IKnobMultiControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mBitmap.N, mValue), &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* base,
                                                   IBitmap* mask, IBitmap* top, double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
    : IKnobControl(plug, base ? IRECT(x, y, x + base->W, y + base->H) : IRECT(x, y, x, y), paramIdx, direction,
                   gearing),
      mBase(base ? *base : IBitmap()), mMask(mask ? *mask : IBitmap()), mTop(top ? *top : IBitmap()),
      mMinAngle(minAngle), mMaxAngle(maxAngle) {}

bool IKnobRotatingMaskControl::Draw(IGraphics* graphics) {
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, angle, &mBlend);
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics) {
  if (mValue < 0.5) {
    mTargetRECT = mTargetArea;
    return true;
  }
  mTargetRECT = mRECT;
  return IBitmapControl::Draw(graphics);
}

ICaptionControl::ICaptionControl(IPlugBase* plug, IRECT r, int paramIdx, const IText* text, bool showParamLabel)
    : ITextControl(plug, r, text, ""), mShowParamLabel(showParamLabel) {
  mParamIdx = paramIdx;
  mDisablePrompt = false;
}

std::string FitTextToWidth(IGraphics* graphics, IText* text, std::string str, int width) {
  const auto widthOf = [&](const std::string& s) {
    IRECT r(0, 0, 0, 0);
    graphics->MeasureIText(text, s.c_str(), &r);
    return r.W();
  };
  if (!graphics || str.empty() || width <= 0 || widthOf(str) <= width) return str;
  while (!str.empty()) {
    // One whole character at a time: never a broken UTF-8 sequence at the cut.
    unsigned char last = 0;
    do {
      last = static_cast<unsigned char>(str.back());
      str.pop_back();
    } while (!str.empty() && (last & 0xC0) == 0x80);
    if (widthOf(str + "..") <= width) break;
  }
  return str + "..";
}

bool ICaptionControl::Draw(IGraphics* graphics) {
  if (IParam* param = GetParam()) {
    char display[MAX_PARAM_DISPLAY_LEN] = {};
    param->GetDisplayForHost(param->Value(), false, display, true);
    std::string text = display;
    if (mShowParamLabel) {
      text += " ";
      text += param->GetLabelForHost();
    }
    // Values known only at run time (port names, file names) may be wider
    // than the field: shortened, they stay off the captions beside it.
    SetStr(FitTextToWidth(graphics, &mText, text, mRECT.W()).c_str());
  }
  return ITextControl::Draw(graphics);
}

void ICaptionControl::OnMouseDown(int, int, IMouseMod* mod) {
  if (mGrayed || !mod || !(mod->L || mod->R)) return;
  mPlug->OnCaptionMenu(mParamIdx);
  PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int, int, IMouseMod*) {
  if (mGrayed) return;
  mPlug->OnCaptionMenu(mParamIdx);
  PromptUserInput();
}

IURLControl::IURLControl(IPlugBase* plug, IRECT r, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
    : IControl(plug, &r) {
  if (url && *url) std::strncpy(mURL, url, sizeof(mURL) - 1);
  if (backupURL && *backupURL) std::strncpy(mBackupURL, backupURL, sizeof(mBackupURL) - 1);
  if (errMsgOnFailure && *errMsgOnFailure) std::strncpy(mErrMsg, errMsgOnFailure, sizeof(mErrMsg) - 1);
}

void IURLControl::OnMouseDown(int, int, IMouseMod*) {
  IGraphics* graphics = GetGUI();
  if (mGrayed || !graphics) return;
  if (*mURL && graphics->OpenURL(mURL, mErrMsg, nullptr, nullptr)) return;
  if (*mBackupURL) graphics->OpenURL(mBackupURL, mErrMsg, nullptr, nullptr);
}

bool IFileSelectorControl::Draw(IGraphics* graphics) {
  if (mDrawBitmap) graphics->DrawBitmap(&mBitmap, &mRECT, 0, 0, &mBlend);
  return true;
}

void IFileSelectorControl::OnMouseDown(int, int, IMouseMod*) {
  IGraphics* graphics = GetGUI();
  if (mGrayed || !graphics) return;
  mState = kFSSelecting;
  SetDirty(false);
  char* extensions = mExtensions.GetMutable();
  graphics->PromptForFile(&mFile, mFileAction, &mDir, extensions);
  mValue += 1.0;
  if (mValue > 1.0) mValue = 0.0;
  mState = kFSDone;
  SetDirty(true);
}

bool IFileSelectorControl::IsDirty() {
  if (mDirty) return true;
  if (mState == kFSDone) {
    mState = kFSNone;
    return true;
  }
  return false;
}

bool DrawBitmapedText(IGraphics* graphics, IBitmap* strip, IRECT* r, IText* style, const IChannelBlend* blend,
                      const char* text, bool vCenter, bool multiline, int cw, int ch) {
  if (!text || !*text || !r || !strip) return true;
  // No cell width or no room left between the margins: nothing fits.
  const int len = int(std::strlen(text));
  const int usable = (r->R - r->L) - 2 * cw;
  if (cw <= 0 || usable <= 0) return true;
  const int y0 = vCenter ? r->T + (r->B - (r->T + ch)) / 2 : r->T;
  const int x0 = style && style->mAlign == IText::kAlignCenter ? r->L + (r->R - (r->L + len * cw)) / 2 : r->L + cw;
  int cells = 0, lastLine = 1;
  if (!multiline) {
    cells = usable / cw;
  } else if (len * cw > usable) {
    cells = usable / cw;
    lastLine = (len * cw) / usable;
  } else {
    cells = len;
  }
  if (cells < 1 || lastLine < 0) return true;
  const char* p = text;
  for (int line = 0; line <= lastLine && *p; ++line)
    for (int k = 0; k < cells && *p; ++k, ++p) {
      IRECT cell(x0 + k * cw, y0 + line * ch, x0 + (k + 1) * cw, y0 + line * ch + ch);
      graphics->DrawBitmap(strip, &cell, int(static_cast<signed char>(*p)) - 31, blend);
    }
  return true;
}

bool IBitmapTextControl::Draw(IGraphics* graphics) {
  if (mStr.GetLength() > 0)
    DrawBitmapedText(graphics, &mTextBitmap, &mRECT, &mText, &mBlend, mStr.Get(), true, false, mCharWidth,
                     mCharHeight);
  return true;
}

void IBitmapTextControl::SetTextFromPlug(const char* str) {
  if (std::strcmp(mStr.Get(), str ? str : "") == 0) return;
  SetDirty(false);
  mStr.Set(str ? str : "");
}
