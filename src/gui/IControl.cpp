#include "IControl.h"

#include <algorithm>

#include "IPlugBase.h"

void IControl::SetValueFromPlug(double value) {
  if (mValue != value) {
    mValue = value;
    SetDirty(false);
  }
}

void IControl::SetValueFromUserInput(double value) {
  if (mValue == value) return;
  mValue = value;
  SetDirty(true);
}

void IControl::SetValueFromHardware(double value) {
  if (mDefaultValue < 0.0) {
    mDefaultValue = value;
    mValue = value;
    return;
  }
  if (mValue == value) return;
  mValue = value;
  SetDirty2(true);
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
  // Worker jobs and the GUI thread write status texts at the same time: the
  // dirty marking goes under the same lock as the text.
  std::lock_guard<std::mutex> lock(mTextMutex);
  if (mText == shown) return;
  mText = shown;
  SetDirty(false);
}
