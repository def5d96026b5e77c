// Value and name displays and the menus: caption controls over an enumerated
// parameter, and the menus that send their value as a controller or SysEx.
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

#include "ControlAction.h"
#include "IControls.h"
#include "MsbLsbAddress.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "TextLooks.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

namespace {
constexpr const char* kFont = "NK57 Monospace";

IText textStyle(int size, const IColor& color) {
  IText text;
  text.mSize = size;
  text.mColor = color;
  std::snprintf(text.mFont, sizeof text.mFont, "%s", kFont);
  return text;
}

IColor toIColor(const textlooks::Colour& c) { return IColor(c.a, c.r, c.g, c.b); }

// A list menu over the library's banks: while its list holds no bank there
// is nothing to name, where a plain caption would show the position "0".
class BankListCaption : public ICaptionControl {
 public:
  using ICaptionControl::ICaptionControl;
  bool Draw(IGraphics* graphics) override {
    const IParam* param = GetParam();
    if (!param || param->GetNDisplayTexts() > 0) return ICaptionControl::Draw(graphics);
    SetStr("");
    return ITextControl::Draw(graphics);
  }
};

// The numbers first .. first + count - 1 as menu texts (three digits for the
// part program menus): the same lists in every instance, made once.
std::shared_ptr<const IParam::DisplayTextList> numberedTexts(int first, int count, bool program) {
  static std::mutex mutex;
  static std::map<std::tuple<int, int, bool>, std::shared_ptr<const IParam::DisplayTextList>> made;
  std::lock_guard<std::mutex> lock(mutex);
  auto& texts = made[{first, count, program}];
  if (!texts) {
    std::vector<std::string> numbers;
    for (int i = 0; i < count; ++i) {
      char number[16];
      std::snprintf(number, sizeof number, program ? "%03d" : "%d", first + i);
      numbers.emplace_back(number);
    }
    texts = IParam::MakeDisplayTexts(numbers);
  }
  return texts;
}
}  // namespace

std::shared_ptr<const IParam::DisplayTextList> UIConfigManager::displayTextsOf(const std::vector<std::string>& texts) const {
  if (mDocument)
    if (auto shared = mDocument->displayTextsOf(texts)) return shared;
  return IParam::MakeDisplayTexts(texts);
}

bool UIConfigManager::setMenuTexts(IParam* param, int paramIdx, int count, const std::vector<std::string>& list,
                                   int first, int last) const {
  if (static_cast<int>(list.size()) == count) {
    param->SetDisplayTexts(displayTextsOf(list));
    return true;
  }
  if (first == last) return false;
  param->SetDisplayTexts(numberedTexts(first, count, paramIdx >= kMultiPartPatch && paramIdx < kMultiPartPatch + 16));
  return true;
}

void UIConfigManager::createControlDisplay(const std::string&, int paramIdx, int x, int y, int width, int height, int,
                                           ControlLayer* layer, const std::string&, int displaySize, bool) {
  IParam* param = factoryParam(paramIdx, "display");
  if (!param) return;
  IText text = textStyle({textlooks::Kind::kDisplay, displaySize});
  auto display = std::make_unique<ITextControl>(plug, scaledRect(x, y, width, height), &text, "");
  display->DisablePrompt(true);
  IControl* control = attach(std::move(display), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createNameDisplay(const std::string& name, int paramIdx, int x, int y, int width, int height,
                                        int maxLength, int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "nameSelection", &name);
  if (!param) return;
  textlooks::Text look{textlooks::Kind::kNameField};
  look.paramIdx = paramIdx;
  const IText text = textStyle(look);
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitEnum(texts.name, 0, 1, "", texts.group, -1, -1);
  param->InitText();
  const char* initial = paramIdx == kMultiName                                          ? "Init Multi"
                        : paramIdx >= kPatchName && paramIdx < kPatchName + 16         ? "-- INIT --"
                        : paramIdx == kPatchSearchString                               ? "search..."
                        : paramIdx == kPatchRename                                     ? "New Name"
                                                                                       : "INIT";
  param->SetDisplayTexts(IParam::MakeDisplayTexts({initial}));
  auto caption = std::make_unique<ICaptionControl>(plug, scaledRect(x, y, width, height), paramIdx, &text, true);
  caption->DisablePrompt(false);
  caption->SetTextEntryLength(maxLength < 0 ? 0 : maxLength);
  IControl* control = attach(std::move(caption), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createDropDownMenu(const std::string& name, int paramIdx, int x, int y, int width, int height,
                                         int part, ControlLayer* layer, const std::string& group) {
  IParam* param = factoryParam(paramIdx, "textSelection", &name);
  if (!param) return;
  const auto texts = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitEnum(texts.name, 0, 1, "", texts.group, -1, -1);
  static const auto kNone = IParam::MakeDisplayTexts({"----"});
  param->SetDisplayTexts(kNone);
  IText text = textStyle({textlooks::Kind::kTextSelection});
  auto caption = std::make_unique<BankListCaption>(plug, scaledRect(x, y, width, height), paramIdx, &text, true);
  caption->DisablePrompt(true);
  IControl* control = attach(std::move(caption), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createDropDownMenu2(const std::string& name, int paramIdx, int x, int y, int width, int height,
                                          double defaultValue, double minimum, double maximum,
                                          const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                          const std::string& group) {
  IParam* param = factoryParam(paramIdx, "dropSelection", &name);
  if (!param) return;
  const int count = wholeSpan(minimum, maximum);
  const auto paramNames = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitEnum(paramNames.name, static_cast<int>(defaultValue), count, "", paramNames.group, -1, -1);
  if (static_cast<int>(texts.size()) != count) {
    log("CONFIG READER: value list of " + name + " has " + std::to_string(texts.size()) + " texts for " +
        std::to_string(count) + " values");
    return;
  }
  param->SetDisplayTexts(displayTextsOf(texts));
  IText text = textStyle({textlooks::Kind::kDropSelection});
  auto caption = std::make_unique<ICaptionControl>(plug, scaledRect(x, y, width, height), paramIdx, &text, true);
  caption->DisablePrompt(false);
  IControl* control = attach(std::move(caption), layer);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createMIDIDeviceSelectionControl(const std::string&, int paramIdx, int x, int y, int width,
                                                       int height, int input, int, ControlLayer*, const std::string&) {
  IParam* param = factoryParam(paramIdx, "deviceSelection");
  if (!param) return;
  const std::vector<std::string>& ports = input == 1 ? plug->getExternalMIDIInNames() : plug->getExternalMIDIOutNames();
  param->InitEnum("Device Selection", 0, static_cast<int>(ports.size()), "", "", -1, -1);
  for (size_t i = 0; i < ports.size(); ++i) param->SetDisplayText(static_cast<int>(i), ports[i].c_str());
  IText text = textStyle({textlooks::Kind::kDeviceSelection});
  auto caption = std::make_unique<ICaptionControl>(plug, scaledRect(x, y, width, height), paramIdx, &text, true);
  caption->DisablePrompt(false);
  // Device menus stay on screen whatever page is open.
  IControl* control = attach(std::move(caption), nullptr);
  bindControlAction(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createNoValDropDown(const std::string& name, int paramIdx, int x, int y, int width, int height,
                                          double defaultValue, double minimum, double maximum, int first, int last,
                                          int visible, const std::vector<std::string>& texts, int part,
                                          ControlLayer* layer, const std::string& group, bool white) {
  IParam* param = factoryParam(paramIdx, "Menu", &name);
  if (!param) return;
  const int count = wholeSpan(minimum, maximum);
  const auto paramNames = paramTexts(paramIdx, param_texts::Form::kPlain, name, part, group);
  param->InitEnum(paramNames.name, static_cast<int>(defaultValue), count, "", paramNames.group, -1, -1);
  if (!setMenuTexts(param, paramIdx, count, texts, first, last)) return;
  const IRECT rect = scaledRect(x, y, width, height);
  textlooks::Text look{textlooks::Kind::kNumberMenu};
  look.white = white;
  look.visible = visible;
  look.height = height;
  IText text = textStyle(look);
  auto caption = std::make_unique<ICaptionControl>(plug, rect, paramIdx, &text, true);
  caption->DisablePrompt(false);
  attach(std::move(caption), layer);
}

IControl* UIConfigManager::createSelectionMenu(const char* kind, const std::string& name, int paramIdx, int x, int y,
                                               int width, int height, double defaultValue, double minimum,
                                               double maximum, int first, int last,
                                               const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                               const std::string& group, const textlooks::Text& look) {
  IParam* param = factoryParam(paramIdx, kind, &name);
  if (!param) return nullptr;
  const int count = wholeSpan(minimum, maximum);
  const auto paramNames = paramTexts(paramIdx, param_texts::Form::kPerPart, name, part, group);
  param->InitEnum(paramNames.name, static_cast<int>(defaultValue), count, "", paramNames.group, -1, -1);
  if (!setMenuTexts(param, -1, count, texts, first, last)) return nullptr;
  IText text = textStyle(look);
  auto caption = std::make_unique<ICaptionControl>(plug, scaledRect(x, y, width, height), paramIdx, &text, true);
  caption->DisablePrompt(false);
  return attach(std::move(caption), layer);
}

void UIConfigManager::createMultiSelectionCCControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x,
                                                    int y, int width, int height, double defaultValue,
                                                    double minimum, double maximum, int first, int last,
                                                    const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                                    const std::string& group, bool white) {
  IControl* control = createSelectionMenu("ccMenu", name, paramIdx, x, y, width, height, defaultValue, minimum,
                                          maximum, first, last, texts, part, layer, group, menuLook(white));
  if (!control) return;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kController, control);
  action->ccNumber = ccNumber;
  action->channel = part >= 0 ? part + 1 : channel;
  action->globalFlag = part == -1 ? 1 : 0;
  registerCCControl(*action, control);
}

void UIConfigManager::createMultiSelectionSysExControl(const std::string& name, int paramIdx, int x, int y, int width,
                                                       int height, double defaultValue, double minimum,
                                                       double maximum, int first, int last,
                                                       const std::vector<std::string>& texts, int, int, int sysexIndex,
                                                       int changingByte, int part, ControlLayer* layer,
                                                       const std::string& group, bool white) {
  IControl* control = createSelectionMenu("seMenu", name, paramIdx, x, y, width, height, defaultValue, minimum,
                                          maximum, first, last, texts, part, layer, group, menuLook(white));
  if (!control) return;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kSysEx, control);
  // One message per menu entry, from the minimum on.
  const int firstValue = valueRange(minimum, minimum).first;
  const int count = wholeSpan(minimum, maximum);
  prepareSysEx(paramIdx, action, sysexIndex, changingByte, count < std::numeric_limits<int>::max() ? count + 1 : count,
               firstValue, part, 0, control, true);
}

textlooks::Text UIConfigManager::menuLook(bool white) const {
  textlooks::Text look{textlooks::Kind::kSelectionMenu};
  look.white = white;
  return look;
}

IText UIConfigManager::textStyle(const textlooks::Text& look) const {
  return ::textStyle(textlooks::size(look, uiScale), toIColor(textlooks::colour(look, uiStyle, uiScale)));
}

void UIConfigManager::createMsbLsbSelectionCCControl(int number1, int number2, int number3, int number4,
                                                     int channel, const std::string& name, int paramIdx, int x, int y,
                                                     int width, int height, double defaultValue, double minimum,
                                                     double maximum, int first, int last,
                                                     const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                                     const std::string& group) {
  if (!layer) return;
  IControl* control = createSelectionMenu("msbLsbMenu", name, paramIdx, x, y, width, height, defaultValue, minimum,
                                          maximum, first, last, texts, part, layer, group,
                                          textlooks::Text{textlooks::Kind::kMsbLsbMenu});
  if (!control) return;
  ControlAction* action = bindControlAction(paramIdx, ControlAction::kMsbLsb, control);
  msblsb::setChannelByLayer(action, layer, channel, part);
  msblsb::setAddress(action, number1, number2, number3, number4);
  registerMsbLsbControl(*action, control);
}
