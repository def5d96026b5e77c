// The base of every control, with its three value paths: from the plug-in
// (shown only), from the user and from the instrument (both pushed to the
// plug-in base, each to its own handler).
#pragma once

#include <atomic>
#include <mutex>
#include <string>

class IPlugBase;

class IControl {
 public:
  IControl(IPlugBase* plug, int paramIdx) : mPlug(plug), mParamIdx(paramIdx) {}
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  int ParamIdx() const { return mParamIdx; }
  double GetValue() const { return mValue; }
  bool IsDirty() const { return mDirty; }
  void SetClean() { mDirty = false; }

  virtual void SetValueFromPlug(double value);
  // A value the user set: stored and, when it changed, pushed to the
  // plug-in's user-edit path.
  virtual void SetValueFromUserInput(double value);
  // A value the instrument sent. The first call only remembers it as the
  // control's default; later ones store it clamped and, when it changed, push
  // it to the plug-in's instrument path, which never sends it back.
  virtual void SetValueFromHardware(double value);
  virtual void GrayOut(bool gray) {
    mGrayed = gray;
    mDirty = true;
  }
  virtual void Hide(bool hide) {
    mHidden = hide;
    mDirty = true;
  }
  bool IsGrayed() const { return mGrayed; }
  bool IsHidden() const { return mHidden; }
  double GetDefaultValue() const { return mDefaultValue; }
  // Clamps the value, flags the control and, when asked, hands the value to
  // the plug-in's user-edit path.
  virtual void SetDirty(bool pushToPlugin = true);
  // The same for values that came from the instrument.
  virtual void SetDirty2(bool pushToPlugin = true);

 protected:
  IPlugBase* mPlug;
  int mParamIdx;
  double mValue = 0.0;
  double mDefaultValue = -1.0;  // negative until the instrument first sent one
  std::atomic<bool> mDirty{true};
  std::atomic<bool> mGrayed{false};
  std::atomic<bool> mHidden{false};
};

class ITextControl : public IControl {
 public:
  explicit ITextControl(IPlugBase* plug, const char* text = "") : IControl(plug, -1), mText(text ? text : "") {}

  // Worker and MIDI threads write status texts while the GUI draws them.
  void SetTextFromPlug(const char* text);
  std::string GetText() const {
    std::lock_guard<std::mutex> lock(mTextMutex);
    return mText;
  }

 private:
  mutable std::mutex mTextMutex;
  std::string mText;
};
