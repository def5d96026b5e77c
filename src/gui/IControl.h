// The base of every control: a rectangle, an optional bound parameter, a
// normalised value with a clamp range, the dirty and redraw flags the drawing
// pass reads, hiding and greying, a text style and the displays that show the
// bound parameter. Three value paths: from the plug-in (shown only), from the
// user and from the instrument (both pushed to the plug-in base, each to its
// own handler).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "IGraphicsStructs.h"

class IPlugBase;
class IGraphics;
class IParam;
class ITextControl;

class IControl {
 public:
  struct AuxParam {
    double mValue = 0.0;
    int mParamIdx = -1;
  };

  IControl(IPlugBase* plug, const IRECT* pR, int paramIdx = -1,
           IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  virtual void OnMouseDown(int x, int y, IMouseMod* mod);
  virtual void OnMouseUp(int, int, IMouseMod*) {}
  virtual void OnMouseDrag(int, int, int, int, IMouseMod*) {}
  virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
  virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  virtual bool OnKeyDown(int, int, int) { return false; }
  virtual void OnMouseOver(int, int, IMouseMod*) {}
  virtual void OnMouseOut() {}
  virtual bool Draw(IGraphics* graphics) = 0;
  // The images Draw may show, for decoding them ahead of a first frame.
  virtual void ForEachImage(const std::function<void(const IBitmap&)>&) const {}
  // True when Draw paints every pixel of the rectangle opaquely, so that
  // what was drawn under it need not be drawn (nor its image decoded).
  virtual bool CoversItsRect() const { return false; }
  // The first value a control receives becomes its default and asks for no
  // redraw of its own; later changes redraw (plug-in path) or are pushed to
  // the plug-in's instrument handler (hardware path).
  virtual void SetValueFromPlug(double value);
  virtual void SetValueFromHardware(double value);
  virtual void TextFromTextEntry(const char*) {}
  virtual void Hide(bool hide);
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y) { return mTargetRECT.Contains(x, y); }
  // Clamps the value, flags the control and, when asked, hands the value to
  // the plug-in's user-edit path and refreshes the value and name displays.
  virtual void SetDirty(bool pushParamToPlug = true);
  // The same for values that came from the instrument.
  virtual void SetDirty2(bool pushParamToPlug = true);
  // A requested redraw keeps the control dirty for one more pass.
  virtual void SetClean() {
    mDirty = mRedraw.load();
    mRedraw = false;
  }
  virtual bool IsDirty() { return mDirty; }
  virtual void OnGUIIdle() {}
  virtual void SetAuxParamValueFromPlug(int auxIndex, double value);

  void SetValueFromUserInput(double value);
  // A menu of display texts or a text entry, through the graphics context.
  void PromptUserInput();
  void PromptUserInput(IRECT* r);

  void AddAuxParam(int paramIdx);
  AuxParam* GetAuxParam(int index) {
    return index >= 0 && index < int(mAuxParams.size()) ? &mAuxParams[size_t(index)] : nullptr;
  }
  int AuxParamIdx(int paramIdx) const;
  int NAuxParams() const { return int(mAuxParams.size()); }
  void SetAllAuxParamsFromGUI();

  int ParamIdx() const { return mParamIdx; }
  IParam* GetParam() const;
  IGraphics* GetGUI() const;
  IPlugBase* GetPlug() const { return mPlug; }
  double GetValue() const { return mValue; }
  void SetValue(double value) { mValue = value; }
  double GetDefaultValue() const { return mDefaultValue; }
  void SetDefaultValue(double value) { mDefaultValue = value; }
  void Clamp(double lo, double hi) {
    mClampLo = lo;
    mClampHi = hi;
  }
  const IRECT* GetRECT() const { return &mRECT; }
  const IRECT* GetTargetRECT() const { return &mTargetRECT; }
  void SetRECT(const IRECT& r) { mRECT = r; }
  void SetTargetArea(const IRECT& r) { mTargetRECT = r; }
  IText* GetIText() { return &mText; }
  void SetTextStyle(const IText& text) { mText = text; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }
  const IChannelBlend* GetBlend() const { return &mBlend; }
  bool IsHidden() const { return mHidden; }
  bool IsGrayed() const { return mGrayed; }
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  void SetMOWhenGrayed(bool on) { mMOWhenGrayed = on; }
  bool GetDirtyWhenHidden() const { return mDirtyWhenHidden; }
  void SetDirtyWhenHidden(bool on) { mDirtyWhenHidden = on; }
  bool MouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetMouseDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  bool IsPromptDisabled() const { return mDisablePrompt; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  void SetRedraw() { mRedraw = true; }
  // Set while the parameter values the control shows changed as it was not
  // shown; it takes them when it is next drawn or hit.
  bool IsValueStale() const { return mValueStale; }
  void SetValueStale(bool stale) { mValueStale = stale; }

  ITextControl* mValDisplayControl = nullptr;   // not owned
  ITextControl* mNameDisplayControl = nullptr;  // not owned

 protected:
  void PushAndRefreshDisplays(void (IPlugBase::*push)(int, double));
  IRECT PromptRectangle() const;

  std::atomic<bool> mHidden{false};
  int mTextEntryLength = 16;
  std::atomic<bool> mDirtyWhenHidden{false};
  IText mText;
  IPlugBase* mPlug;
  IRECT mRECT;
  IRECT mTargetRECT;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  std::atomic<double> mValue{0.0};
  std::atomic<double> mDefaultValue{-1.0};  // negative: never set
  double mClampLo = 0.0;
  double mClampHi = 1.0;
  std::atomic<bool> mDirty{true};
  std::atomic<bool> mGrayed{false};
  std::atomic<bool> mRedraw{false};
  std::atomic<bool> mValueStale{false};
  bool mDisablePrompt = true;
  bool mDblAsSingleClick = false;
  bool mMOWhenGrayed = false;
  IChannelBlend mBlend;
};

// A text display. Worker and MIDI threads write status texts while the GUI
// thread draws them, so the text has a lock of its own.
class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase* plug, IRECT r, const IText* text, const char* str = "");
  // A display with no place on screen, for code that only keeps a text.
  explicit ITextControl(IPlugBase* plug, const char* str = "") : ITextControl(plug, IRECT(), nullptr, str) {}

  bool Draw(IGraphics* graphics) override;
  // A different text makes the control dirty; the same text does nothing.
  void SetTextFromPlug(const char* text);
  std::string GetText() const {
    std::lock_guard<std::mutex> lock(mTextMutex);
    return mStr;
  }
  // A text wider than the control is drawn cut, ending in "..", and handed
  // whole to onCut (once per text) so that it is still found somewhere.
  void FitToRect(std::function<void(const std::string&)> onCut) {
    mFit = true;
    mOnCut = std::move(onCut);
  }
  // What Draw shows: the text, or its cut form when it is fitted.
  std::string ShownText(IGraphics* graphics);
  // The items joined by the separator, as many whole ones from the first as
  // fit the control, then ".." when some are left out; the first item alone
  // (cut when drawn) when not even it fits.
  std::string ItemsThatFit(IGraphics* graphics, const std::vector<std::string>& items, const std::string& separator);

 protected:
  void SetStr(const char* text) {
    std::lock_guard<std::mutex> lock(mTextMutex);
    mStr = text ? text : "";
  }

 private:
  mutable std::mutex mTextMutex;
  std::string mStr;
  int TextWidth(IGraphics* graphics, const std::string& text);

  // GUI thread only.
  bool mFit = false;
  std::function<void(const std::string&)> mOnCut;
  std::string mFittedFrom, mFitted;
};
