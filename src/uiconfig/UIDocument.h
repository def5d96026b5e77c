// The GUI document as every instance reads it alike, made once per process:
// its elements in document order, each with its kind and its attributes
// already turned into the numbers, names and texts the walk and the factories
// take, parameter names looked up, and the value lists. Immutable once read;
// instances share it and build their own pages, controls and actions from it.
//
// A new element kind: a value in UIElementKind, its name in the reader's
// element table (UIDocumentReader.cpp), and its case in
// UIConfigManager::processControlElement. A new "type" of a "dropMenu",
// "multiFx" or control group element: a value in UIControlType, its name in
// the reader's type table and its case in the element's dispatch. Every
// attribute of the vocabulary is read for every element, so an element that
// reads a known attribute needs nothing more; a new attribute is a field here
// and one line in the reader.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IParam.h"
#include "ParamTextMemo.h"
#include "ValueLists.h"

namespace tinyxml2 {
class XMLNode;
}

enum class UIElementKind : uint8_t {
  kUnknown,  // builds nothing; its children are never visited
  kPage,     // "layer" and its seven synonyms
  kMultilayer,
  kPatchBrowser,
  kCategoryList,  // the categories of the library, in the librarian's CATEGORIES box
  kBackground,
  kDisplay,
  kSwitch,
  kAutoOff,
  kRadio,
  kDropMenu,
  kMultiFx,
  kControlGroup,  // "knobcontrol", "buttoncontrol", "menucontrol", "slidercontrol"
};

// The "type" attribute, for the elements that choose their factory by it.
enum class UIControlType : uint8_t {
  kNone,  // absent or unknown: nothing is built
  kTextSelection,
  kDeviceSelection,
  kNameSelection,
  kDropSelection,
  kKnob,
  kMenu,
  kSeKnob,
  kSeSliderVer,
  kSeSliderHor,
  kSeButton,
  kCcSliderVer,
  kCcSliderHor,
  kCcKnob,
  kCcButton,
  kSeMenu,
  kCcMenu,
};

// A parameter name of the document and its index in the name table the
// document was read with (-1 when the table lacks it: the walk logs it).
struct UINameRef {
  std::string name;
  int index = -1;
};

// "paramId": a name, optionally "+" and an offset; the part is added by the walk.
struct UIParamRef {
  bool given = false;  // false: no parameter (-1), nothing looked up
  UINameRef base;
  long long offset = 0;
};

// "biDirectLink": two names and an optional mode; the part is added by the walk.
struct UILinkRef {
  bool given = false;  // fewer than two names: no link, nothing looked up
  UINameRef partner, switcher;
  int linkMode = -1;
};

struct UIElement {
  UIElementKind kind = UIElementKind::kUnknown;
  UIControlType type = UIControlType::kNone;
  // One past the element's subtree: a page's or multilayer's children are the
  // elements from the next one up to here; for any other element, the next one.
  uint32_t end = 0;

  UIParamRef param;
  int channel = 0;       // read as the walk reads integers (clamped), for the action's part
  int channelValue = 0;  // read as the control elements read integers, for the factories
  bool hasName = false;  // a page without "name" is not entered in the layer map
  std::string name, image, group;

  // Pages and multilayers.
  int id = 0, copies = 0;
  bool overlay = false;

  // Number lists, as many values as any element reads; absent values are 0.
  int position[4] = {0, 0, 0, 0};
  int bounds[4] = {0, 0, 0, 0};
  int valueBounds[4] = {0, 0, 0, 0};
  int displaySize = 0, inputDev = 0, visible = 0;

  int nameLen = 0, buttons = 0, length = 0, changingByte = 0, ccNumber = 0, sysexIndex = 0, msgZeroVal = 0,
      color = 0;
  bool white = false, horizontal = false;
  int first = -1, last = -1;  // "valueDisplay"
  UILinkRef link;
  // "valueList": the texts in the document's own lists, null for a name no list has.
  std::string listName;
  const std::vector<std::string>* list = nullptr;
};

struct UIDocument {
  bool textEmpty = true;  // nothing was deciphered
  bool hasRoot = false;   // the text has a "uiconfig" root
  std::shared_ptr<const ValueLists> valueLists = std::make_shared<const ValueLists>();
  // The walk starts at element 0 and runs to the end.
  std::vector<UIElement> elements;
  // Each value list as the display texts of a parameter, for the menus to share.
  std::map<const std::vector<std::string>*, std::shared_ptr<const IParam::DisplayTextList>> displayTexts;

  // The parameter texts the factories made from these elements, for every
  // instance building from this document (only the process's shared one has it).
  std::unique_ptr<ParamTextMemo> textMemo;

  // Whether text is a string of one of this document's elements.
  bool holds(const std::string* text) const {
    const auto at = reinterpret_cast<uintptr_t>(text);
    const auto begin = reinterpret_cast<uintptr_t>(elements.data());
    return at - begin < elements.size() * sizeof(UIElement);
  }

  // The display texts of one of this document's value lists; null for any other list.
  std::shared_ptr<const IParam::DisplayTextList> displayTextsOf(const std::vector<std::string>& list) const {
    const auto found = displayTexts.find(&list);
    return found == displayTexts.end() ? nullptr : found->second;
  }

  // Reads a deciphered document: its value lists, then the children of its root.
  static std::shared_ptr<const UIDocument> read(const std::string& text, const std::map<std::string, int>& names);
  // Reads node and its following siblings, as the walk would visit them, with
  // the given lists and names.
  static UIDocument readNodes(const tinyxml2::XMLNode* node, std::shared_ptr<const ValueLists> lists,
                              const std::map<std::string, int>& names);
};
