// Knobs and buttons addressed by an MSB/LSB number pair; no document element
// builds them today.
#include "ControlAction.h"
#include "IControls.h"
#include "MsbLsbAddress.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

void UIConfigManager::createMsbLsbKnobControl(int number1, int number2, int number3, int number4, int channel,
                                              const std::string& name, int paramIdx, int x, int y, const std::string& image,
                                              double defaultValue, double minimum, double maximum, double,
                                              LinkInfo link, int part, ControlLayer* layer, const std::string& group) {
  IControl* control = createPartKnob("msbLsbKnob", name, paramIdx, x, y, image, defaultValue, minimum, maximum,
                                     1.0, part, layer, group);
  if (!control) return;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kMsbLsb, control);
  setControlLink(action, paramIdx, link, part);
  msblsb::setChannelByLayer(action, layer, channel, part);
  msblsb::setAddress(action, number1, number2, number3, number4);
  registerMsbLsbControl(*action, control);
}

void UIConfigManager::createMsbLsbBoolControl(int number1, int number2, int number3, int number4, int channel,
                                              const std::string& name, int paramIdx, int x, int y, const std::string& image,
                                              double defaultValue, double offValue, double onValue, LinkInfo link,
                                              int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "msbLsbButton", &name);
  if (!param) return;
  IBitmap bitmap = getImageHandleByName(graphics, image);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPerPart, name, part, group);
  param->InitBool(texts.name, defaultValue != 0.0, "", texts.group, -1, -1);
  IControl* control =
      attach(std::make_unique<ISwitchControl>(plug, scaled(x), scaled(y), paramIdx, &bitmap), layer);
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kMsbLsb, control);
  setControlLink(action, paramIdx, link, part);
  action->ccOffValue = static_cast<int>(offValue);
  action->ccOnValue = static_cast<int>(onValue);
  action->globalFlag = 0;
  action->channel = msblsb::buttonChannel(layer, channel, part);
  msblsb::setAddress(action, number1, number2, number3, number4);
  registerMsbLsbControl(*action, control);
}
