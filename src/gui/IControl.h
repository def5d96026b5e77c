// The base of every control, with its three value paths: from the plug-in
// (shown only), from the user and from the instrument (both pushed to the
// plug-in base, each to its own handler).
#pragma once

#include <atomic>
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
  // Clamps the value, flags the control and, when asked, hands the value to
  // the plug-in's user-edit path.
  virtual void SetDirty(bool pushToPlugin = true);
  // The same for values that came from the instrument.
  virtual void SetDirty2(bool pushToPlugin = true);

 protected:
  IPlugBase* mPlug;
  int mParamIdx;
  double mValue = 0.0;
  std::atomic<bool> mDirty{true};
};

class ITextControl : public IControl {
 public:
  explicit ITextControl(IPlugBase* plug, const char* text = "") : IControl(plug, -1), mText(text ? text : "") {}

  // Called by any thread that holds the plug-in lock.
  void SetTextFromPlug(const char* text);
  const std::string& GetText() const { return mText; }

 private:
  std::string mText;
};
