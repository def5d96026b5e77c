// Knobs and sliders: the parameter, the control at its scaled place, the
// action that sends its value, and the index entry incoming values find it by.
#include "ControlAction.h"
#include "IControls.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

void UIConfigManager::createNoValKnobControl(const std::string& name, int paramIdx, int x, int y, const std::string& image,
                                             double defaultValue, double minimum, double maximum, double,
                                             int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "Knob", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitDouble(texts.name, defaultValue, minimum, maximum, 1.0, "", texts.group, -1, -1);
  attach(std::make_unique<IKnobMultiControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
}

IControl* UIConfigManager::createPartKnob(const char* kind, const std::string& name, int paramIdx, int x, int y,
                                          const std::string& image, double defaultValue, double minimum,
                                          double maximum, double step, int part, ControlLayer* layer,
                                          const std::string& group) {
  IParam* param = factoryParam(paramIdx, kind, &name);
  if (!param) return nullptr;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPerPart, name, part, group);
  param->InitDouble(texts.name, defaultValue, minimum, maximum, step, "", texts.group, -1, -1);
  return attach(std::make_unique<IKnobMultiControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
}

void UIConfigManager::createCCKnobControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y,
                                          const std::string& image, double defaultValue, double minimum, double maximum,
                                          double step, LinkInfo link, int part, ControlLayer* layer,
                                          const std::string& group) {
  IControl* control = createPartKnob("ccKnob", name, paramIdx, x, y, image, defaultValue, minimum, maximum,
                                     static_cast<int>(step), part, layer, group);
  if (!control) return;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kController, control);
  setControlLink(action, paramIdx, link, part);
  action->globalFlag = part == -1 ? 1 : 0;
  action->ccNumber = ccNumber;
  action->channel = part >= 0 ? part + 1 : channel;
  registerCCControl(*action, control);
}

void UIConfigManager::createSysExKnobControl(const std::string& name, int paramIdx, int x, int y, const std::string& image,
                                             double defaultValue, double minimum, double maximum, double, int,
                                             int sysexIndex, int changingByte, int part, LinkInfo link,
                                             ControlLayer* layer, const std::string& group) {
  IControl* control = createPartKnob("seKnob", name, paramIdx, x, y, image, defaultValue, minimum, maximum,
                                     1.0, part, layer, group);
  if (!control) return;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kSysEx, control);
  setControlLink(action, paramIdx, link, part);
  const ValueRange values = valueRange(minimum, maximum);
  prepareSysEx(paramIdx, action, sysexIndex, changingByte, values.count, values.first, part, effectSection(paramIdx),
               control);
}

void UIConfigManager::createCCSliderControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y,
                                            int length, const std::string& image, double defaultValue, double minimum,
                                            double maximum, LinkInfo link, int part, ControlLayer* layer,
                                            const std::string& group, EDirection direction, bool) {
  IParam* param = factoryParam(paramIdx, "ccSlider", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  // Sliders always carry the part number, [0] outside a part.
  const auto texts = paramTexts(paramIdx, param_texts::Form::kNumbered, name, part, group);
  param->InitDouble(texts.name, defaultValue, minimum, maximum, 1.0, "", texts.group, -1, -1);
  IControl* control = attach(std::make_unique<IFaderControl>(plug, scaled(x), scaled(y), scaled(length),
                                                                          paramIdx, &bitmap, direction, false), layer);
  const int usedChannel = part >= 0 ? part + 1 : channel;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kController, control);
  action->globalFlag = 0;
  setControlLink(action, paramIdx, link, part);
  action->ccNumber = ccNumber;
  action->channel = usedChannel;
  registerCCControl(*action, control);
}

void UIConfigManager::createSysExSliderControl(const std::string& name, int paramIdx, int x, int y, int length,
                                               const std::string& image, double defaultValue, double minimum,
                                               double maximum, double, int msgZeroVal, int sysexIndex,
                                               int changingByte, int part, LinkInfo link, ControlLayer* layer,
                                               const std::string& group, EDirection direction, bool) {
  IParam* param = factoryParam(paramIdx, "seSlider", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPerPart, name, part, group);
  param->InitDouble(texts.name, defaultValue, minimum, maximum, 1.0, "", texts.group, -1, -1);
  IControl* control = attach(std::make_unique<IFaderControl>(plug, scaled(x), scaled(y), scaled(length),
                                                                          paramIdx, &bitmap, direction, false), layer);
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kSysEx, control);
  setControlLink(action, paramIdx, link, part);
  const ValueRange values = valueRange(minimum, maximum, msgZeroVal);
  prepareSysEx(paramIdx, action, sysexIndex, changingByte, values.count, values.first, part, part == -1 ? 1 : 0,
               control);
}
