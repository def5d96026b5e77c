// Switches, momentary buttons, radio groups and the buttons that send a
// controller or a SysEx message.
#include "ControlAction.h"
#include "ICustomRadioButtonsControl.h"
#include "IControls.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

void UIConfigManager::createBoolControl(const std::string& name, int paramIdx, int defaultValue, int x, int y,
                                        const std::string& image, int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "switch", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitBool(texts.name, defaultValue != 0, "", texts.group, -1, -1);
  IControl* control =
      attach(std::make_unique<ISwitchControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createSwitchControl(const std::string& name, int paramIdx, int defaultValue, int x, int y,
                                          const std::string& image, int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "autooff", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitBool(texts.name, defaultValue != 0, "", texts.group, -1, -1);
  IControl* control =
      attach(std::make_unique<IContactControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

IControl* UIConfigManager::createAutoOffSwitchControl(const std::string& name, int paramIdx, int x, int y,
                                                      const std::string& image, int part, ControlLayer* layer,
                                                      const std::string& group) {
  IParam* param = factoryParam(paramIdx, "autooff", &name);
  if (!param) return nullptr;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitBool(texts.name, false, "", texts.group, -1, -1);
  IControl* control =
      attach(std::make_unique<IContactControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
  return control;
}

void UIConfigManager::createRadioControl(const std::string& name, int paramIdx, int x, int y, const std::string& image,
                                         int buttons, int part, ControlLayer* layer, const std::string& group, bool) {
  IParam* param = factoryParam(paramIdx, "radio", &name);
  if (!param) return;
  if (buttons < 1) {
    log("CONFIG READER: radio " + name + " has " + std::to_string(buttons) + " buttons; one is built");
    buttons = 1;
  }
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitEnum(texts.name, 0, buttons, "", texts.group, -1, -1);
  const int left = scaled(x), top = scaled(y);
  // Two frames, all buttons off and all on; the buttons run across the frame.
  const bool stacked = !bitmap.mFramesAreHorizontal;
  const IRECT rect = stacked ? IRECT(left, top, left + bitmap.W, top + bitmap.H / 2)
                             : IRECT(left, top, left + bitmap.W / 2, top + bitmap.H);
  IControl* control = attach(std::make_unique<ICustomRadioButtonsControl>(plug, rect, paramIdx, buttons, &bitmap,
                                                          stacked ? kHorizontal : kVertical), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createCCBoolControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y,
                                          const std::string& image, double defaultValue, double offValue, double onValue,
                                          LinkInfo, int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "ccButton", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPerPart, name, part, group);
  param->InitBool(texts.name, defaultValue != 0.0, "", texts.group, -1, -1);
  IControl* control =
      attach(std::make_unique<ISwitchControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kControllerSwitch, control);
  action->ccOffValue = static_cast<int>(offValue);
  action->ccOnValue = static_cast<int>(onValue);
  action->globalFlag = 0;
  action->ccNumber = ccNumber;
  action->channel = part >= 0 ? part + 1 : channel;
  registerCCControl(*action, control);
}

void UIConfigManager::createSysExBoolControl(const std::string& name, int paramIdx, int x, int y, const std::string& image,
                                             double defaultValue, int, int sysexIndex, int changingByte, int part,
                                             LinkInfo link, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "seButton", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPerPart, name, part, group);
  param->InitBool(texts.name, defaultValue != 0.0, "", texts.group, -1, -1);
  IControl* control =
      attach(std::make_unique<ISwitchControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kSysExSwitch, control);
  setControlLink(action, paramIdx, link, part);
  prepareSysEx(paramIdx, action, sysexIndex, changingByte, 2, 0, part, 0, control);
}
