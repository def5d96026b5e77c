#include "IControl.h"

#include <algorithm>

#include "IPlugBase.h"

void IControl::SetValueFromPlug(double value) {
  if (mValue != value) {
    mValue = value;
    SetDirty(false);
  }
}

void IControl::SetDirty(bool pushToPlugin) {
  mValue = std::clamp(mValue, 0.0, 1.0);
  mDirty = true;
  if (pushToPlugin && mPlug && mParamIdx >= 0) mPlug->SetParameterFromGUI(mParamIdx, mValue);
}

void IControl::SetDirty2(bool pushToPlugin) {
  mValue = std::clamp(mValue, 0.0, 1.0);
  mDirty = true;
  if (pushToPlugin && mPlug && mParamIdx >= 0) mPlug->SetParameterFromGUI2(mParamIdx, mValue);
}

void ITextControl::SetTextFromPlug(const char* text) {
  const char* shown = text ? text : "";
  if (mText == shown) return;
  SetDirty(false);
  mText = shown;
}
