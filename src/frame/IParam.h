// One parameter of the plug-in: a typed value with range, step, response
// curve and display texts. Values are kept in parameter units.
#pragma once

#include <atomic>
#include <climits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "WDL_TypedBuf.h"

constexpr int MAX_PARAM_NAME_LEN = 55;      // name, label and group, terminator included
constexpr int MAX_PARAM_DISPLAY_TEXT = 56;  // display texts hold up to 55 characters
constexpr int MAX_PARAM_DISPLAY_LEN = 128;  // room GetDisplayForHost needs

class IParam {
 public:
  enum EParamType { kTypeNone = 0, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble, kTypeText };

  struct DisplayText {
    int mValue;
    char mText[MAX_PARAM_DISPLAY_TEXT];
  };
  using DisplayTextList = std::vector<DisplayText>;
  // The texts for values 0, 1, 2 ... as SetDisplayText stores them, for
  // parameters to share.
  static std::shared_ptr<const DisplayTextList> MakeDisplayTexts(const std::vector<std::string>& texts);

  IParam();

  // The process-wide copy of a name, label or group text, cut to what the
  // field holds, as the Init operations keep it: every instance names its
  // parameters alike. A text that is such a copy is its own.
  static const char* SharedText(const char* text);

  void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "",
                int extra1 = -1, int extra2 = -1);
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "",
                const char* group = "", int extra1 = -1, int extra2 = -1);
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               const char* group = "", int extra1 = -1, int extra2 = -1);
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", int extra1 = -1, int extra2 = -1);
  void InitText() { mType = kTypeText; }

  // Texts are set for values 0, 1, 2 ... in order; a value outside 0..count is refused.
  void SetDisplayText(int value, const char* text);
  // The same as setting each text in order, but a parameter that has no more
  // texts than the list reads the list, shared with every other parameter
  // given it, instead of a copy; a later SetDisplayText makes it a copy of its own.
  void SetDisplayTexts(const std::shared_ptr<const DisplayTextList>& texts);
  void ResetDisplayTexts() {
    mSharedTexts.reset();
    mDisplayTexts.Resize(0);
  }
  int GetNDisplayTexts() const { return static_cast<int>(Texts().size()); }
  const char* GetDisplayText(int value) const;
  const char* GetDisplayTextAtIdx(int idx, int* pValue = nullptr) const;
  bool MapDisplayText(const char* text, int* pValue) const;

  // A normalised value that is not a finite number gives the default.
  void SetNormalized(double normalized);
  // The value SetNormalized would store.
  double FromNormalized(double normalized) const;
  double GetNormalized() const { return GetNormalized(mValue); }
  double GetNormalized(double value) const;
  void SetShape(double shape) {
    if (shape != 0.0) mShape = shape;
  }
  void GetBounds(double* pMin, double* pMax) const {
    *pMin = mMin;
    *pMax = mMax;
  }
  double DBToAmp() const;

  double Value() const { return mValue; }
  // Clamped to the range, as the chunk readers and host text entry set it;
  // a value that is not a finite number gives the default.
  void Set(double value);
  // Truncated toward zero; a value beyond the int range gives its nearest
  // end and one that is not a number 0, never undefined behaviour.
  int Int() const {
    const double value = mValue;
    if (!(value > -2147483649.0)) return value != value ? 0 : INT_MIN;
    if (!(value < 2147483648.0)) return INT_MAX;
    return static_cast<int>(value);
  }
  bool Bool() const { return mValue >= 0.5; }
  EParamType Type() const { return static_cast<EParamType>(mType); }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  double GetShape() const { return mShape; }
  double GetDefault() const { return mDefault; }
  int GetPrecision() const { return mDisplayPrecision; }
  bool GetNegateDisplay() const { return mNegateDisplay; }
  void NegateDisplay() { mNegateDisplay = true; }
  bool GetCanAutomate() const { return mCanAutomate; }
  bool GetRadio() const { return mRadio; }
  void SetRadio(bool radio) { mRadio = radio; }
  void* GetControlAction() const { return mControlAction; }
  void SetControlAction(void* action) { mControlAction = action; }

  const char* GetNameForHost() const { return mName; }
  const char* GetLabelForHost() const;
  const char* GetParamGroupForHost() const { return mParamGroup; }
  // out must hold MAX_PARAM_DISPLAY_LEN bytes.
  void GetDisplayForHost(double value, bool normalized, char* out, bool withDisplayText = true) const;

 private:
  void SetTexts(const char* name, const char* label, const char* group);
  void SetTypeIfUnset(EParamType type);
  std::span<const DisplayText> Texts() const;

  int mType = kTypeNone;
  // Read by the engine's workers while the host's threads set it.
  std::atomic<double> mValue{0.0};
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int mExtra1 = 0;
  int mExtra2 = 0;
  int mDisplayPrecision = 0;
  // Held once per process (SharedText).
  const char* mName = "";
  const char* mLabel = "";
  const char* mParamGroup = "";
  bool mNegateDisplay = false;
  bool mCanAutomate = true;
  bool mRadio = false;
  WDL_TypedBuf<DisplayText> mDisplayTexts;
  std::shared_ptr<const DisplayTextList> mSharedTexts;  // read instead of mDisplayTexts while set
  void* mControlAction = nullptr;
};

// Copies at most size - 1 bytes and always terminates.
void CopyBounded(char* dest, const char* src, int size);
