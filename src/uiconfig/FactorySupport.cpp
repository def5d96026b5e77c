// What every control factory does alike: the parameter guard, the per-part
// name, scaling, attaching, binding to the parameter's action and preparing
// the per-value SysEx messages with the keys they are found again by.
#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "SharedConfig.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

IParam* UIConfigManager::factoryParam(int paramIdx, const char* kind, const std::string* name) {
  IParam* param = plug && paramIdx >= 0 && paramIdx < kParamCount && paramIdx < plug->NParams()
                      ? plug->GetParam(paramIdx)
                      : nullptr;
  if (!param)
    log("CONFIG READER: parameter index " + std::to_string(paramIdx) + " out of range for element " + kind +
        (name ? " " + *name : std::string()));
  return param;
}

std::string UIConfigManager::partName(int part, const std::string& name) {
  if (part < 0) return name;
  std::string full("[");
  full.append(std::to_string(part + 1)).append("] ").append(name);
  return full;
}

int UIConfigManager::scaled(int value) const { return static_cast<int>(value * uiScale); }

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

bool UIConfigManager::prepareSysEx(ControlAction* action, int sysexIndex, int changingByte, int count, int firstValue,
                                   int part, int section, IControl* control, bool messagesOnly) {
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
    record.messages = mSysEx->prepared(sysexIndex, changingByte, count, firstValue, part, prepare);
  else
    record.messages = prepare();
  // The index keys are bytes 2..5 (value at byte 7) or 3..6 of message 0.
  const size_t keyEnd = changingByte == 7 ? 6 : 7;
  if (record.messages.empty() || record.messages.front().size() < keyEnd) {
    log("CONFIG READER: SysEx definition " + std::to_string(sysexIndex) + " is too short for its keys");
    return false;
  }
  if (messagesOnly)
    action->sysex.messages = std::move(record.messages);
  else
    action->sysex = std::move(record);
  return registerSysExControl(*action, changingByte, section, control);
}
