#include "IParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

void CopyBounded(char* dest, const char* src, int size) {
  if (!dest || size <= 0) return;
  if (!src) src = "";
  const size_t n = strnlen(src, static_cast<size_t>(size - 1));
  std::memcpy(dest, src, n);
  dest[n] = 0;
}

IParam::IParam() : mDisplayTexts(4096) {}

void IParam::SetTexts(const char* name, const char* label, const char* group) {
  CopyBounded(mName, name, MAX_PARAM_NAME_LEN);
  CopyBounded(mLabel, label, MAX_PARAM_NAME_LEN);
  CopyBounded(mParamGroup, group, MAX_PARAM_NAME_LEN);
}

void IParam::SetTypeIfUnset(EParamType type) {
  if (mType == kTypeNone) mType = type;
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group,
                      int extra1, int extra2) {
  SetTypeIfUnset(kTypeBool);
  SetTexts(name, label, group);
  mValue = defaultVal ? 1.0 : 0.0;
  mMin = 0.0;
  mMax = 1.0;
  mStep = 1.0;
  mExtra1 = extra1;
  mExtra2 = extra2;
  mDefault = mValue;
  mDisplayPrecision = 0;
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label,
                      const char* group, int extra1, int extra2) {
  SetTypeIfUnset(kTypeEnum);
  SetTexts(name, label, group);
  mValue = defaultVal;
  mMin = 0.0;
  mMax = std::max(1.0, static_cast<double>(nEnums - 1));
  mStep = 1.0;
  mExtra1 = extra1;
  mExtra2 = extra2;
  mDefault = mValue;
  mDisplayPrecision = 0;
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     const char* group, int extra1, int extra2) {
  SetTypeIfUnset(kTypeInt);
  SetTexts(name, label, group);
  mValue = defaultVal;
  mMin = minVal;
  mMax = std::max(static_cast<double>(minVal) + 1.0, static_cast<double>(maxVal));
  mStep = 1.0;
  mExtra1 = extra1;
  mExtra2 = extra2;
  mDefault = mValue;
  mDisplayPrecision = 0;
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal,
                        double step, const char* label, const char* group, int extra1, int extra2) {
  SetTypeIfUnset(kTypeDouble);
  SetTexts(name, label, group);
  mValue = defaultVal;
  mMin = minVal;
  mMax = std::max(minVal + step, maxVal);
  mStep = step;
  mExtra1 = extra1;
  mExtra2 = extra2;
  mDefault = mValue;

  // Repeated multiplication, not powers of ten: that decides e.g. 0.000001.
  if (std::floor(step) == step) {
    mDisplayPrecision = 0;
  } else {
    mDisplayPrecision = 6;
    double x = step;
    for (int k = 1; k <= 5; ++k) {
      x *= 10.0;
      if (std::floor(x) == x) {
        mDisplayPrecision = k;
        break;
      }
    }
  }
}

void IParam::SetDisplayText(int value, const char* text) {
  const int count = mDisplayTexts.GetSize();
  if (value < 0 || value > count) return;
  if (value == count) {
    mDisplayTexts.Resize(count + 1, false);
    if (mDisplayTexts.GetSize() != count + 1) return;
    mMax = value;
  }
  DisplayText& entry = mDisplayTexts.Get()[value];
  entry.mValue = value;
  CopyBounded(entry.mText, text, MAX_PARAM_DISPLAY_TEXT);
}

const char* IParam::GetDisplayText(int value) const {
  for (const DisplayText& entry : mDisplayTexts)
    if (entry.mValue == value) return entry.mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* pValue) const {
  if (idx < 0 || idx >= mDisplayTexts.GetSize()) return "";
  const DisplayText& entry = mDisplayTexts.Get()[idx];
  if (pValue) *pValue = entry.mValue;
  return entry.mText;
}

bool IParam::MapDisplayText(const char* text, int* pValue) const {
  if (!text) return false;
  for (const DisplayText& entry : mDisplayTexts) {
    if (std::strcmp(entry.mText, text) == 0) {
      if (pValue) *pValue = entry.mValue;
      return true;
    }
  }
  return false;
}

void IParam::SetNormalized(double normalized) {
  double value = (mMax - mMin) * std::pow(normalized, mShape) + mMin;
  if (mType != kTypeDouble) value = mStep * std::floor(value / mStep + 0.5);
  mValue = std::min(value, mMax);
}

double IParam::GetNormalized(double value) const {
  // A parameter whose range collapsed (one display text) has no position.
  if (!(mMax > mMin)) return 0.0;
  const double v = value < mMin ? mMin : std::min(mMax, value);
  return std::pow((v - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParam::DBToAmp() const { return std::exp(mValue * 0.1151292546497); }

void IParam::Set(double value) { mValue = std::clamp(value, mMin, std::max(mMin, mMax)); }

const char* IParam::GetLabelForHost() const {
  const char* text = GetDisplayText(static_cast<int>(mValue));
  return (text && text[0]) ? "" : mLabel;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* out, bool withDisplayText) const {
  if (!out) return;
  if (normalized) value = (mMax - mMin) * std::pow(value, mShape) + mMin;
  if (withDisplayText) {
    for (const DisplayText& entry : mDisplayTexts) {
      if (entry.mValue == static_cast<int>(value)) {
        if (entry.mText[0]) {
          CopyBounded(out, entry.mText, MAX_PARAM_DISPLAY_LEN);
          return;
        }
        break;
      }
    }
  }
  if (mNegateDisplay) value = -value;
  if (mDisplayPrecision == 0)
    std::snprintf(out, MAX_PARAM_DISPLAY_LEN, "%d", static_cast<int>(value));
  else
    std::snprintf(out, MAX_PARAM_DISPLAY_LEN, "%.*f", mDisplayPrecision, value);
}
