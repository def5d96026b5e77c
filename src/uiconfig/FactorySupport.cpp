// What every control factory does alike: the parameter guard, the per-part
// name, scaling, attaching, binding to the parameter's action and preparing
// the per-value SysEx messages with the keys they are found again by.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "SharedConfig.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

IParam* UIConfigManager::factoryParam(int paramIdx, const char* kind, const std::string* name) {
  IParam* param = plug && paramIdx >= 0 && paramIdx < kParamCount && paramIdx < plug->NParams()
                      ? plug->GetParam(paramIdx)
                      : nullptr;
  if (!param)
    log("CONFIG READER: parameter index " + std::to_string(paramIdx) + " out of range for element " + kind +
        (name ? " " + *name : std::string()));
  return param;
}

param_texts::Texts UIConfigManager::paramTexts(int paramIdx, param_texts::Form form, const std::string& name,
                                                 int part, const std::string& group) {
  // Only texts of the shared document's own elements are kept: their
  // addresses name the same element for as long as the document lives.
  ParamTextMemo* memo = mDocument && mDocument->textMemo && mDocument->holds(&name) && mDocument->holds(&group)
                            ? mDocument->textMemo.get()
                            : nullptr;
  const param_texts::Key key{&name, &group, part, form};
  if (memo)
    if (const auto kept = memo->find(paramIdx, key)) return *kept;
  // Per-part names carry "[" part + 1 "] " before the element's name.
  char numbered[MAX_PARAM_NAME_LEN];
  const char* text = name.c_str();
  if (form == param_texts::Form::kNumbered || (form == param_texts::Form::kPerPart && part >= 0)) {
    std::snprintf(numbered, sizeof numbered, "[%lld] %s", part + 1LL, name.c_str());
    text = numbered;
  }
  param_texts::Texts texts;
  texts.name = IParam::SharedText(text);
  texts.group = IParam::SharedText(getParamGroup(part, group));
  if (memo) memo->keep(paramIdx, key, texts);
  return texts;
}

int UIConfigManager::scaled(int value) const { return textlooks::scaledToWindow(value, uiScale); }

IRECT UIConfigManager::scaledRect(int x, int y, int w, int h) const {
  const int left = scaled(x), top = scaled(y);
  return IRECT(left, top, left + scaled(w), top + scaled(h));
}

IControl* UIConfigManager::attach(std::unique_ptr<IControl> control, ControlLayer* layer) {
  IControl* raw = control.get();
  attachControl(std::move(control), layer);
  return raw;
}

ControlAction* UIConfigManager::bindControlAction(int paramIdx, int kind, IControl* control) {
  ControlAction* action = controlActionFor(paramIdx, kind);
  if (action && control) action->controls.push_back(control);
  return action;
}

namespace {
int64_t wholeClamped(double value) {
  constexpr double kLimit = 4.0e18;  // well inside int64_t, far outside int
  if (!(value == value)) return 0;   // NaN
  return static_cast<int64_t>(std::clamp(value, -kLimit, kLimit));
}
int intClamped(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
}  // namespace

UIConfigManager::ValueRange UIConfigManager::valueRange(double minimum, double maximum, int offset) {
  const int64_t low = wholeClamped(minimum), high = wholeClamped(maximum);
  return {intClamped(low + offset), intClamped(high - low + 1)};
}

int UIConfigManager::wholeSpan(double minimum, double maximum) { return intClamped(wholeClamped(maximum - minimum)); }

bool UIConfigManager::prepareSysEx(int paramIdx, ControlAction* action, int sysexIndex, int changingByte, int count,
                                   int firstValue, int part, int section, IControl* control, bool messagesOnly) {
  const std::string* text = sysexTemplateAt(sysexIndex);
  if (!text || !action) return false;
  ControlActionSysExMessage record;
  if (count < 1) {
    log("CONFIG READER: no values between minimum and maximum for SysEx definition " + std::to_string(sysexIndex));
    return false;
  }
  auto prepare = [&] {
    ControlActionSysExMessage made;
    calculateSysexWithChangingByte(*text, changingByte, count, &made, firstValue, part);
    return std::move(made.messages);
  };
  // The lists of the shared definitions are prepared once for all instances.
  if (mSysEx && &sysexContainers.get() == &mSysEx->definitions)
    record.messages = mSysEx->prepared(paramIdx, sysexIndex, changingByte, count, firstValue, part, prepare);
  else
    record.messages = prepare();
  // The index keys are bytes 2..5 (value at byte 7) or 3..6 of message 0.
  const size_t keyEnd = changingByte == 7 ? 6 : 7;
  if (record.messages.empty() || record.messages.messageSize(0) < keyEnd) {
    log("CONFIG READER: SysEx definition " + std::to_string(sysexIndex) + " is too short for its keys");
    return false;
  }
  if (messagesOnly)
    action->sysex.messages = std::move(record.messages);
  else
    action->sysex = std::move(record);
  return registerSysExControl(*action, changingByte, section, control);
}
