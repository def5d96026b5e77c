// The control elements of the GUI document: their attributes read by the
// syntaxes of the document, and the factory each one calls.
#include <tinyxml2.h>

#include <cstdlib>
#include <cstring>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControls.h"
#include "IGraphics.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

namespace {
std::string text(const tinyxml2::XMLElement* element, const char* name) {
  const char* value = element->Attribute(name);
  return value ? value : "";
}

int integer(const tinyxml2::XMLElement* element, const char* name) {
  const char* value = element->Attribute(name);
  return value ? static_cast<int>(std::strtol(value, nullptr, 10)) : 0;
}

bool boolean(const tinyxml2::XMLElement* element, const char* name) {
  const std::string value = text(element, name);
  if (value == "true") return true;
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  return end != value.c_str() && number != 0;
}

// "a:b" as two numbers; -1 and -1 unless there are exactly two pieces.
void pair(UIConfigManager& manager, const tinyxml2::XMLElement* element, const char* name, int& a, int& b) {
  std::vector<std::string> pieces;
  UIConfigManager::Tokenize(text(element, name), pieces, ":");
  a = b = -1;
  if (pieces.size() != 2) return;
  a = static_cast<int>(std::strtol(pieces[0].c_str(), nullptr, 10));
  b = static_cast<int>(std::strtol(pieces[1].c_str(), nullptr, 10));
  (void)manager;
}

// The texts of a named list; an unknown name gives none and enters nothing.
std::vector<std::string> listNamed(const ValueLists& lists, const std::string& name) {
  const auto found = lists.find(name);
  return found == lists.end() ? std::vector<std::string>() : found->second;
}

struct Numbers {
  int v[4] = {0, 0, 0, 0};
};

Numbers numbers(UIConfigManager& manager, const tinyxml2::XMLElement* element, const char* name, int n) {
  Numbers numbers;
  manager.getCSValues(text(element, name), numbers.v, n);
  return numbers;
}
}  // namespace

bool UIConfigManager::processControlElement(tinyxml2::XMLElement* element, ControlLayer* layer, int part,
                                            int index) {
  const std::string tag = element->Name();
  const std::string image = text(element, "imageId");
  const std::string group = text(element, "paramGroup");
  const int channel = integer(element, "channel");
  const std::string name = text(element, "name");

  if (tag == "background") {
    IBitmap bitmap = getImageByName(graphics, image);
    const Numbers p = numbers(*this, element, "position", 2);
    attachControl(std::make_unique<IBitmapControl>(plug, scaled(p.v[0]), scaled(p.v[1]), -1, &bitmap), layer);
  } else if (tag == "patchBrowser") {
    IBitmap bitmap = getImageByName(graphics, image);
    const Numbers b = numbers(*this, element, "bounds", 4);
    const int x = scaled(b.v[0]), y = scaled(b.v[1]);
    const IRECT rect(x, y, x + scaled(b.v[2]), y + scaled(b.v[3]));
    LibrarianBrowser* browser = plug ? plug->librarianBrowser.get() : nullptr;
    if (browser) {
      auto view = std::make_unique<LibrarianViewControl>(plug, browser, x, y, kLibrarianArea, &bitmap, rect, uiScale);
      // A second view replaces the first as the one the plug-in works on.
      browser->view = view.get();
      patchBrowser = view.get();
      attachControl(std::move(view), layer);
    }
  } else if (tag == "display") {
    const Numbers b = numbers(*this, element, "bounds", 4);
    createControlDisplay("Display", index, b.v[0], b.v[1], b.v[2], b.v[3], part, layer, group,
                         numbers(*this, element, "displaySize", 1).v[0], integer(element, "white") != 0);
  } else if (tag == "switch") {
    const Numbers p = numbers(*this, element, "position", 2);
    createBoolControl(name, index, numbers(*this, element, "valueBounds", 1).v[0], p.v[0], p.v[1], image, part, layer,
                      group);
  } else if (tag == "autooff") {
    const Numbers p = numbers(*this, element, "position", 2);
    createSwitchControl(name, index, 0, p.v[0], p.v[1], image, part, layer, group);
  } else if (tag == "radio") {
    const Numbers p = numbers(*this, element, "position", 2);
    createRadioControl(name, index, p.v[0], p.v[1], image, integer(element, "buttons"), part, layer, group,
                       boolean(element, "horizontal"));
  } else if (tag == "dropMenu") {
    const std::string type = text(element, "type");
    const Numbers b = numbers(*this, element, "bounds", 4);
    if (type == "textSelection") {
      createDropDownMenu(name, index, b.v[0], b.v[1], b.v[2], b.v[3], part, layer, group);
    } else if (type == "deviceSelection") {
      createMIDIDeviceSelectionControl("MIDI Setup", index, b.v[0], b.v[1], b.v[2], b.v[3],
                                       numbers(*this, element, "inputDev", 1).v[0], part, layer, group);
    } else if (type == "nameSelection") {
      createNameDisplay(name, index, b.v[0], b.v[1], b.v[2], b.v[3], std::max(0, integer(element, "nameLen")), part,
                        layer, group);
    } else if (type == "dropSelection") {
      const Numbers vb = numbers(*this, element, "valueBounds", 3);
      createDropDownMenu2(name, index, b.v[0], b.v[1], b.v[2], b.v[3], vb.v[0], vb.v[1], vb.v[2],
                          listNamed(valueLists, text(element, "valueList")), part, layer, group);
    }
  } else if (tag == "multiFx") {
    const std::string type = text(element, "type");
    if (type == "Knob") {
      const Numbers p = numbers(*this, element, "position", 2);
      const Numbers vb = numbers(*this, element, "valueBounds", 4);
      createNoValKnobControl(name, index, p.v[0], p.v[1], image, vb.v[0], vb.v[1], vb.v[2], vb.v[3], part, layer, group);
    } else if (type == "Menu") {
      const Numbers p = numbers(*this, element, "position", 4);
      const Numbers vb = numbers(*this, element, "valueBounds", 3);
      int first, last;
      pair(*this, element, "valueDisplay", first, last);
      createNoValDropDown(name, index, p.v[0], p.v[1], p.v[2], p.v[3], vb.v[0], vb.v[1], vb.v[2], first, last,
                          numbers(*this, element, "visible", 1).v[0], listNamed(valueLists, text(element, "valueList")), part,
                          layer, group, integer(element, "white") != 0);
    }
  } else if (tag == "knobcontrol" || tag == "buttoncontrol" || tag == "menucontrol" || tag == "slidercontrol") {
    processControlGroup(element, layer, part, index, image, group, channel);
  } else {
    return false;
  }
  return true;
}

const UIConfigManager::GroupAttributes& UIConfigManager::groupAttributes(const tinyxml2::XMLElement* element,
                                                                         GroupAttributes& scratch) {
  if (mCopyDepth > 0)
    if (const auto found = mCopyAttributes.find(element); found != mCopyAttributes.end()) return found->second;
  GroupAttributes& a = mCopyDepth > 0 ? mCopyAttributes[element] : scratch;
  a.type = text(element, "type");
  a.name = text(element, "name");
  getCSValues(text(element, "position"), a.position, 3);
  a.length = integer(element, "length");
  getCSValues(text(element, "valueBounds"), a.valueBounds, 4);
  a.changingByte = integer(element, "changingByte") & 0xFF;
  a.biDirectLink = text(element, "biDirectLink");
  pair(*this, element, "valueDisplay", a.first, a.last);
  a.ccNumber = integer(element, "ccNumber");
  a.sysexIndex = integer(element, "sysexIndex");
  a.msgZeroVal = integer(element, "msgZeroVal");
  a.color = integer(element, "color");
  a.white = integer(element, "white") != 0;
  a.listName = text(element, "valueList");
  return a;
}

void UIConfigManager::processControlGroup(tinyxml2::XMLElement* element, ControlLayer* layer, int part, int index,
                                          const std::string& image, const std::string& group, int channel) {
  GroupAttributes scratch;
  const GroupAttributes& a = groupAttributes(element, scratch);
  const std::string& type = a.type;
  const std::string& name = a.name;
  const Numbers p = {{a.position[0], a.position[1], a.position[2], a.position[3]}};
  const int length = a.length;
  const Numbers vb = {{a.valueBounds[0], a.valueBounds[1], a.valueBounds[2], a.valueBounds[3]}};
  const int changingByte = a.changingByte;
  // The link names parameters of this part, and an unknown name is logged for each copy.
  LinkInfo link;
  getBiDirectLinkValues(a.biDirectLink, &link.partnerParam, part);
  const int first = a.first, last = a.last;
  const int ccNumber = a.ccNumber;
  const int sysexIndex = a.sysexIndex;
  const int msgZeroVal = a.msgZeroVal;
  const int color = a.color;
  const bool white = a.white;
  const std::string& listName = a.listName;

  if (type == "seKnob") {
    createSysExKnobControl(name, index, p.v[0], p.v[1], image, vb.v[0], vb.v[1], vb.v[2], vb.v[3], msgZeroVal,
                           sysexIndex, changingByte, part, link, layer, group);
  } else if (type == "seSliderVer" || type == "seSliderHor") {
    createSysExSliderControl(name, index, p.v[0], p.v[1], length, image, vb.v[0], vb.v[1], vb.v[2], vb.v[3],
                             msgZeroVal, sysexIndex, changingByte, part, link, layer, group,
                             type == "seSliderVer" ? kVertical : kHorizontal, false);
  } else if (type == "seButton") {
    createSysExBoolControl(name, index, p.v[0], p.v[1], image, vb.v[0], msgZeroVal, sysexIndex, changingByte, part,
                           link, layer, group);
  } else if (type == "ccSliderVer" || type == "ccSliderHor") {
    createCCSliderControl(ccNumber, channel, name, index, p.v[0], p.v[1], length, image, vb.v[0], vb.v[1], vb.v[2],
                          link, part, layer, group, type == "ccSliderVer" ? kVertical : kHorizontal, false);
  } else if (type == "ccKnob") {
    createCCKnobControl(ccNumber, channel, name, index, p.v[0], p.v[1], image, vb.v[0], vb.v[1], vb.v[2], vb.v[3],
                        link, part, layer, group);
  } else if (type == "ccButton") {
    createCCBoolControl(ccNumber, channel, name, index, p.v[0], p.v[1], image, vb.v[0], vb.v[1], vb.v[2], link,
                        part, layer, group);
  } else if (type == "seMenu") {
    createMultiSelectionSysExControl(name, index, p.v[0], p.v[1], p.v[2], 13, vb.v[0], vb.v[1], vb.v[2], first, last,
                                     listNamed(valueLists, listName), msgZeroVal, color, sysexIndex, changingByte, part, layer,
                                     group, white);
  } else if (type == "ccMenu") {
    createMultiSelectionCCControl(ccNumber, channel, name, index, p.v[0], p.v[1], p.v[2], 13, vb.v[0], vb.v[1],
                                  vb.v[2], first, last, listNamed(valueLists, listName), part, layer, group, white);
  }
}
