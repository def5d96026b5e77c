#include "IParam.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

void CopyBounded(char* dest, const char* src, int size) {
  if (!dest || size <= 0) return;
  if (!src) src = "";
  const size_t n = strnlen(src, static_cast<size_t>(size - 1));
  std::memcpy(dest, src, n);
  dest[n] = 0;
}

namespace {
// The name, label and group texts of every instance's parameters, one copy
// each for the life of the process. Names come from the plug-in's own
// tables, so they stay as many as the distinct names of one instance. The
// copies lie in large blocks whose bounds are published, so that a text that
// is already a copy is known as one by its address, without a lookup.
class SharedTexts {
 public:
  const char* get(const char* text) {
    if (!text || !text[0]) return "";
    if (holds(text)) return text;
    const std::string_view cut(text, strnlen(text, MAX_PARAM_NAME_LEN - 1));
    std::lock_guard<std::mutex> lock(mMutex);
    if (const auto found = mTexts.find(cut); found != mTexts.end()) return found->data();
    return mTexts.insert(store(cut)).first->data();
  }

 private:
  static constexpr size_t kBlockBytes = size_t{1} << 16;
  static constexpr int kMaxPublished = 1024;

  struct Hash {
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };

  bool holds(const char* text) const {
    const auto at = reinterpret_cast<uintptr_t>(text);
    const int count = mPublished.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i)
      if (at - mBlockStarts[i].load(std::memory_order_relaxed) < kBlockBytes) return true;
    return false;
  }

  // A terminated copy of text in the blocks; under the lock.
  std::string_view store(std::string_view text) {
    if (mLeft < text.size() + 1) {
      mBlocks.push_back(std::make_unique<char[]>(kBlockBytes));
      mNext = mBlocks.back().get();
      mLeft = kBlockBytes;
      // Past the published count a block's texts are only found by lookup.
      if (const int count = mPublished.load(std::memory_order_relaxed); count < kMaxPublished) {
        mBlockStarts[count].store(reinterpret_cast<uintptr_t>(mNext), std::memory_order_relaxed);
        mPublished.store(count + 1, std::memory_order_release);
      }
    }
    char* copy = mNext;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    mNext += text.size() + 1;
    mLeft -= text.size() + 1;
    return {copy, text.size()};
  }

  std::mutex mMutex;
  std::unordered_set<std::string_view, Hash> mTexts;
  std::vector<std::unique_ptr<char[]>> mBlocks;
  char* mNext = nullptr;
  size_t mLeft = 0;
  std::atomic<uintptr_t> mBlockStarts[kMaxPublished];
  std::atomic<int> mPublished{0};
};

const char* SharedNameText(const char* text) {
  static SharedTexts texts;
  return texts.get(text);
}
}  // namespace

const char* IParam::SharedText(const char* text) { return SharedNameText(text); }

IParam::IParam() : mDisplayTexts(4096) {}

void IParam::SetTexts(const char* name, const char* label, const char* group) {
  mName = SharedNameText(name);
  mLabel = SharedNameText(label);
  mParamGroup = SharedNameText(group);
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
  static const std::shared_ptr<const DisplayTextList> kOffOn = MakeDisplayTexts({"off", "on"});
  SetDisplayTexts(kOffOn);
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

std::shared_ptr<const IParam::DisplayTextList> IParam::MakeDisplayTexts(const std::vector<std::string>& texts) {
  auto list = std::make_shared<DisplayTextList>(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    (*list)[i].mValue = static_cast<int>(i);
    CopyBounded((*list)[i].mText, texts[i].c_str(), MAX_PARAM_DISPLAY_TEXT);
  }
  return list;
}

std::span<const IParam::DisplayText> IParam::Texts() const {
  if (mSharedTexts) return {mSharedTexts->data(), mSharedTexts->size()};
  return {mDisplayTexts.Get(), static_cast<size_t>(mDisplayTexts.GetSize())};
}

void IParam::SetDisplayTexts(const std::shared_ptr<const DisplayTextList>& texts) {
  if (!texts || texts->empty() || texts == mSharedTexts) return;
  const int count = GetNDisplayTexts();
  const int size = static_cast<int>(texts->size());
  if (count > size) {
    for (const DisplayText& entry : *texts) SetDisplayText(entry.mValue, entry.mText);
    return;
  }
  // Setting each text in order would replace every text the parameter has
  // (text i is value i's) and append the rest: the list is read instead.
  if (count < size) mMax = static_cast<double>(size - 1);
  mDisplayTexts.Resize(0);
  mSharedTexts = texts;
}

void IParam::SetDisplayText(int value, const char* text) {
  if (mSharedTexts) {
    // A copy of its own before it changes.
    const std::shared_ptr<const DisplayTextList> shared = std::move(mSharedTexts);
    mSharedTexts.reset();
    const int n = static_cast<int>(shared->size());
    mDisplayTexts.Resize(n, false);
    if (mDisplayTexts.GetSize() != n) return;
    std::copy(shared->begin(), shared->end(), mDisplayTexts.Get());
  }
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
  for (const DisplayText& entry : Texts())
    if (entry.mValue == value) return entry.mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* pValue) const {
  const std::span<const DisplayText> texts = Texts();
  if (idx < 0 || idx >= static_cast<int>(texts.size())) return "";
  const DisplayText& entry = texts[static_cast<size_t>(idx)];
  if (pValue) *pValue = entry.mValue;
  return entry.mText;
}

bool IParam::MapDisplayText(const char* text, int* pValue) const {
  if (!text) return false;
  for (const DisplayText& entry : Texts()) {
    if (std::strcmp(entry.mText, text) == 0) {
      if (pValue) *pValue = entry.mValue;
      return true;
    }
  }
  return false;
}

void IParam::SetNormalized(double normalized) { mValue = FromNormalized(normalized); }

double IParam::FromNormalized(double normalized) const {
  if (!std::isfinite(normalized)) return mDefault;
  // pow(x, 1) is x: the common linear parameter skips the call.
  double value = (mMax - mMin) * (mShape == 1.0 ? normalized : std::pow(normalized, mShape)) + mMin;
  if (mType != kTypeDouble) value = mStep * std::floor(value / mStep + 0.5);
  return std::min(value, mMax);
}

double IParam::GetNormalized(double value) const {
  // A parameter whose range collapsed (one display text) has no position.
  if (!(mMax > mMin)) return 0.0;
  const double v = value < mMin ? mMin : std::min(mMax, value);
  const double linear = (v - mMin) / (mMax - mMin);
  return mShape == 1.0 ? linear : std::pow(linear, 1.0 / mShape);
}

double IParam::DBToAmp() const { return std::exp(mValue * 0.1151292546497); }

void IParam::Set(double value) {
  if (!std::isfinite(value)) value = mDefault;
  mValue = std::clamp(value, mMin, std::max(mMin, mMax));
}

const char* IParam::GetLabelForHost() const {
  const char* text = GetDisplayText(static_cast<int>(mValue));
  return (text && text[0]) ? "" : mLabel;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* out, bool withDisplayText) const {
  if (!out) return;
  if (normalized) value = (mMax - mMin) * std::pow(value, mShape) + mMin;
  if (withDisplayText) {
    for (const DisplayText& entry : Texts()) {
      if (entry.mValue == static_cast<int>(value)) {
        // A name not yet known is shown as nothing, never as a number.
        if (entry.mText[0] || mType == kTypeText) {
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
