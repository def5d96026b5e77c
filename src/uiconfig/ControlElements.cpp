// The control elements of the GUI document: the factory each one calls with
// the attributes the document was read with.
#include <algorithm>

#include "CategoryListControl.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControls.h"
#include "IGraphics.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

bool UIConfigManager::processControlElement(const UIDocument& document, const UIElement& e, ControlLayer* layer,
                                            int part, int index) {
  const std::string& image = e.image;
  const std::string& group = e.group;
  const std::string& name = e.name;
  const int* p = e.position;
  const int* b = e.bounds;
  const int* vb = e.valueBounds;

  switch (e.kind) {
    case UIElementKind::kBackground: {
      IBitmap bitmap = getImageHandleByName(graphics, image);
      attachControl(std::make_unique<IBitmapControl>(plug, scaled(p[0]), scaled(p[1]), -1, &bitmap), layer);
      break;
    }
    case UIElementKind::kPatchBrowser: {
      IBitmap bitmap = getImageHandleByName(graphics, image);
      const int x = scaled(b[0]), y = scaled(b[1]);
      const IRECT rect(x, y, x + scaled(b[2]), y + scaled(b[3]));
      LibrarianBrowser* browser = plug ? plug->librarianBrowser.get() : nullptr;
      if (browser) {
        auto view = std::make_unique<LibrarianViewControl>(plug, browser, x, y, kLibrarianArea, &bitmap, rect, uiScale);
        // A second view replaces the first as the one the plug-in works on.
        browser->view = view.get();
        patchBrowser = view.get();
        attachControl(std::move(view), layer);
      }
      break;
    }
    case UIElementKind::kCategoryList: {
      LibrarianBrowser* browser = plug ? plug->librarianBrowser.get() : nullptr;
      const int x = scaled(b[0]), y = scaled(b[1]);
      if (browser)
        attachControl(std::make_unique<CategoryListControl>(plug, browser, IRECT(x, y, x + scaled(b[2]), y + scaled(b[3])),
                                                            uiScale),
                      layer);
      break;
    }
    case UIElementKind::kDisplay:
      createControlDisplay("Display", index, b[0], b[1], b[2], b[3], part, layer, group, e.displaySize, e.white);
      break;
    case UIElementKind::kSwitch:
      createBoolControl(name, index, vb[0], p[0], p[1], image, part, layer, group);
      break;
    case UIElementKind::kAutoOff:
      createSwitchControl(name, index, 0, p[0], p[1], image, part, layer, group);
      break;
    case UIElementKind::kRadio:
      createRadioControl(name, index, p[0], p[1], image, e.buttons, part, layer, group, e.horizontal);
      break;
    case UIElementKind::kDropMenu:
      switch (e.type) {
        case UIControlType::kTextSelection:
          createDropDownMenu(name, index, b[0], b[1], b[2], b[3], part, layer, group);
          break;
        case UIControlType::kDeviceSelection:
          createMIDIDeviceSelectionControl("MIDI Setup", index, b[0], b[1], b[2], b[3], e.inputDev, part, layer,
                                           group);
          break;
        case UIControlType::kNameSelection:
          createNameDisplay(name, index, b[0], b[1], b[2], b[3], std::max(0, e.nameLen), part, layer, group);
          break;
        case UIControlType::kDropSelection:
          createDropDownMenu2(name, index, b[0], b[1], b[2], b[3], vb[0], vb[1], vb[2], valueListOf(document, e),
                              part, layer, group);
          break;
        default:
          break;
      }
      break;
    case UIElementKind::kMultiFx:
      if (e.type == UIControlType::kKnob)
        createNoValKnobControl(name, index, p[0], p[1], image, vb[0], vb[1], vb[2], vb[3], part, layer, group);
      else if (e.type == UIControlType::kMenu)
        createNoValDropDown(name, index, p[0], p[1], p[2], p[3], vb[0], vb[1], vb[2], e.first, e.last, e.visible,
                            valueListOf(document, e), part, layer, group, e.white);
      break;
    case UIElementKind::kControlGroup:
      processControlGroup(document, e, layer, part, index);
      break;
    default:
      return false;
  }
  return true;
}

void UIConfigManager::processControlGroup(const UIDocument& document, const UIElement& e, ControlLayer* layer,
                                          int part, int index) {
  const std::string& name = e.name;
  const std::string& image = e.image;
  const std::string& group = e.group;
  const int* p = e.position;
  const int* vb = e.valueBounds;
  const int channel = e.channelValue;
  // The link names parameters of this part, and an unknown name is logged for each copy.
  const LinkInfo link = linkOf(e.link, part);

  switch (e.type) {
    case UIControlType::kSeKnob:
      createSysExKnobControl(name, index, p[0], p[1], image, vb[0], vb[1], vb[2], vb[3], e.msgZeroVal, e.sysexIndex,
                             e.changingByte, part, link, layer, group);
      break;
    case UIControlType::kSeSliderVer:
    case UIControlType::kSeSliderHor:
      createSysExSliderControl(name, index, p[0], p[1], e.length, image, vb[0], vb[1], vb[2], vb[3], e.msgZeroVal,
                               e.sysexIndex, e.changingByte, part, link, layer, group,
                               e.type == UIControlType::kSeSliderVer ? kVertical : kHorizontal, false);
      break;
    case UIControlType::kSeButton:
      createSysExBoolControl(name, index, p[0], p[1], image, vb[0], e.msgZeroVal, e.sysexIndex, e.changingByte, part,
                             link, layer, group);
      break;
    case UIControlType::kCcSliderVer:
    case UIControlType::kCcSliderHor:
      createCCSliderControl(e.ccNumber, channel, name, index, p[0], p[1], e.length, image, vb[0], vb[1], vb[2], link,
                            part, layer, group, e.type == UIControlType::kCcSliderVer ? kVertical : kHorizontal,
                            false);
      break;
    case UIControlType::kCcKnob:
      createCCKnobControl(e.ccNumber, channel, name, index, p[0], p[1], image, vb[0], vb[1], vb[2], vb[3], link, part,
                          layer, group);
      break;
    case UIControlType::kCcButton:
      createCCBoolControl(e.ccNumber, channel, name, index, p[0], p[1], image, vb[0], vb[1], vb[2], link, part, layer,
                          group);
      break;
    case UIControlType::kSeMenu:
      createMultiSelectionSysExControl(name, index, p[0], p[1], p[2], 13, vb[0], vb[1], vb[2], e.first, e.last,
                                       valueListOf(document, e), e.msgZeroVal, e.color, e.sysexIndex, e.changingByte,
                                       part, layer, group, e.white);
      break;
    case UIControlType::kCcMenu:
      createMultiSelectionCCControl(e.ccNumber, channel, name, index, p[0], p[1], p[2], 13, vb[0], vb[1], vb[2],
                                    e.first, e.last, valueListOf(document, e), part, layer, group, e.white);
      break;
    default:
      break;
  }
}
