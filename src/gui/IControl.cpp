#include "IControl.h"

#include <algorithm>
#include <cstring>

#include "IGraphics.h"
#include "IParam.h"
#include "IPlugBase.h"
#include "WaitGuard.h"

IControl::IControl(IPlugBase* plug, const IRECT* pR, int paramIdx, IChannelBlend::EBlendMethod blendMethod)
    : mPlug(plug), mParamIdx(paramIdx), mBlend(blendMethod) {
  if (pR) mRECT = mTargetRECT = *pR;
}

IParam* IControl::GetParam() const { return mPlug && mParamIdx >= 0 ? mPlug->GetParam(mParamIdx) : nullptr; }

IGraphics* IControl::GetGUI() const { return mPlug ? mPlug->GetGUI() : nullptr; }

void IControl::OnMouseDown(int, int, IMouseMod* mod) {
  if (!mGrayed && mod && mod->R) PromptUserInput();
}

void IControl::OnMouseDblClick(int, int, IMouseMod*) {
  if (mGrayed || mDefaultValue < 0.0) return;
  mValue = mDefaultValue.load();
  SetDirty(true);
}

void IControl::OnMouseWheel(int, int, IMouseMod* mod, int d) {
  const bool fine = mod && (mod->C || mod->S);
  mValue += d * (fine ? 0.001 : 0.01);
  SetDirty(true);
}

void IControl::SetValueFromPlug(double value) {
  if (mDefaultValue < 0.0) {
    mDefaultValue = value;
    mValue = value;
    return;
  }
  if (mValue == value) return;
  mValue = value;
  SetDirty(false);
  mRedraw = true;
}

void IControl::SetValueFromHardware(double value) {
  if (mDefaultValue < 0.0) {
    mDefaultValue = value;
    mValue = value;
    return;
  }
  // Compared with the parameter: a control not shown since a restore still
  // holds the value from before it, and the instrument's value is no less a
  // change for matching that.
  const IParam* param = GetParam();
  if ((param ? param->GetNormalized() : mValue.load()) == value) return;
  mValue = value;
  SetDirty2(true);
  mRedraw = true;
}

void IControl::SetValueFromUserInput(double value) {
  if (mValue == value) return;
  mValue = value;
  SetDirty(true);
  mRedraw = true;
}

void IControl::Hide(bool hide) {
  mHidden = hide;
  mRedraw = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray) {
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.5f : 1.0f;
  SetDirty(false);
}

void IControl::SetDirty(bool pushParamToPlug) {
  mValue = std::clamp(mValue.load(), mClampLo, mClampHi);
  mDirty = true;
  if (pushParamToPlug && mPlug && mParamIdx >= 0) PushAndRefreshDisplays(&IPlugBase::SetParameterFromGUI);
}

void IControl::SetDirty2(bool pushParamToPlug) {
  mValue = std::clamp(mValue.load(), mClampLo, mClampHi);
  mDirty = true;
  if (pushParamToPlug && mPlug && mParamIdx >= 0) PushAndRefreshDisplays(&IPlugBase::SetParameterFromGUI2);
}

void IControl::PushAndRefreshDisplays(void (IPlugBase::*push)(int, double)) {
  (mPlug->*push)(mParamIdx, mValue);
  IParam* param = GetParam();
  if (!param) return;
  if (mValDisplayControl) {
    char display[MAX_PARAM_DISPLAY_LEN] = {};
    param->GetDisplayForHost(param->Value(), false, display, true);
    if (mValDisplayControl->GetText() != display) mValDisplayControl->SetTextFromPlug(display);
  }
  if (mNameDisplayControl) {
    const char* name = param->GetNameForHost();
    if (mNameDisplayControl->GetText() != name) mNameDisplayControl->SetTextFromPlug(name);
  }
}

void IControl::SetAuxParamValueFromPlug(int auxIndex, double value) {
  AuxParam* aux = GetAuxParam(auxIndex);
  if (!aux || aux->mValue == value) return;
  aux->mValue = value;
  SetDirty(false);
  mRedraw = true;
}

void IControl::AddAuxParam(int paramIdx) {
  mAuxParams.push_back({0.0, paramIdx});
  // The graphics context's parameter index holds the control's parameters.
  if (IGraphics* graphics = GetGUI()) graphics->ReindexParamControls();
}

int IControl::AuxParamIdx(int paramIdx) const {
  for (size_t i = 0; i < mAuxParams.size(); ++i)
    if (mAuxParams[i].mParamIdx == paramIdx) return int(i);
  return -1;
}

void IControl::SetAllAuxParamsFromGUI() {
  if (!mPlug) return;
  for (const AuxParam& aux : mAuxParams) mPlug->SetParameterFromGUI(aux.mParamIdx, aux.mValue);
}

IRECT IControl::PromptRectangle() const {
  const int cx = int((mRECT.L + mRECT.R) * 0.5), cy = int((mRECT.T + mRECT.B) * 0.5);
  return {cx - 15, cy - 8, cx + 15, cy + 8};
}

void IControl::PromptUserInput() {
  IParam* param = GetParam();
  if (!param || mDisablePrompt) return;
  if (IGraphics* graphics = GetGUI()) {
    IRECT r = param->GetNDisplayTexts() ? mRECT : PromptRectangle();
    graphics->PromptUserInput(this, param, &r);
  }
  mRedraw = true;
}

void IControl::PromptUserInput(IRECT* r) {
  IParam* param = GetParam();
  if (!param || mDisablePrompt) return;
  if (IGraphics* graphics = GetGUI()) graphics->PromptUserInput(this, param, r);
  mRedraw = true;
}

ITextControl::ITextControl(IPlugBase* plug, IRECT r, const IText* text, const char* str)
    : IControl(plug, &r), mStr(str ? str : "") {
  if (text) mText = *text;
}

bool ITextControl::Draw(IGraphics* graphics) {
  const std::string text = ShownText(graphics);
  if (text.empty()) return true;
  return graphics->DrawIText(&mText, text.c_str(), &mRECT);
}

int ITextControl::TextWidth(IGraphics* graphics, const std::string& text) {
  IRECT r = mRECT;
  return graphics->MeasureIText(&mText, text.c_str(), &r) ? r.W() : 0;
}

std::string ITextControl::ItemsThatFit(IGraphics* graphics, const std::vector<std::string>& items,
                                       const std::string& separator) {
  const auto fits = [&](const std::string& text) {
    return !graphics || mRECT.W() <= 0 || TextWidth(graphics, text) <= mRECT.W();
  };
  std::string all;
  for (size_t i = 0; i < items.size(); ++i) all += (i > 0 ? separator : "") + items[i];
  // All of them need no mark, though the mark may be wider than the last.
  if (fits(all)) return all;
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string longer = text + (i > 0 ? separator : "") + items[i];
    if (!fits(longer + separator + "..")) return i == 0 ? items[0] : text + separator + "..";
    text = longer;
  }
  return text;
}

std::string ITextControl::ShownText(IGraphics* graphics) {
  std::string text = GetText();
  if (!mFit || !graphics || mRECT.W() <= 0 || text.empty()) return text;
  if (text == mFittedFrom) return mFitted;
  const auto width = [&](const std::string& s) { return TextWidth(graphics, s); };
  mFittedFrom = text;
  if (width(text) <= mRECT.W()) {
    mFitted = text;
    return text;
  }
  // The longest head of whole UTF-8 characters that fits with the mark.
  const auto head = [&](size_t n) {
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
  };
  size_t keep = 0, over = text.size();
  while (over - keep > 1) {
    const size_t mid = head(keep + (over - keep) / 2);
    if (mid <= keep) break;
    if (width(text.substr(0, mid) + "..") <= mRECT.W()) keep = mid;
    else over = mid;
  }
  while (keep > 0 && text[keep - 1] == ' ') --keep;
  mFitted = text.substr(0, keep) + "..";
  if (mOnCut) mOnCut(text);
  return mFitted;
}

void ITextControl::SetTextFromPlug(const char* text) {
  const char* shown = text ? text : "";
  // Worker jobs and the GUI thread write status texts at the same time: the
  // text and its dirty marking go under the same lock.
  WaitGuard::beforeLock("a text control's lock");
  std::lock_guard<std::mutex> lock(mTextMutex);
  if (mStr == shown) return;
  mStr = shown;
  SetDirty(false);
}
