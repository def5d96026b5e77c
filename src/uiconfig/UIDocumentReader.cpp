// Reading the GUI document into its shared form: every attribute by the
// syntax the walk and the control elements read it with.
#include <tinyxml2.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "ParamIndex.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

namespace {
constexpr struct {
  const char* name;
  UIElementKind kind;
} kElementNames[] = {
    {"patchBrowser", UIElementKind::kPatchBrowser},
    {"categoryList", UIElementKind::kCategoryList},
    {"layer", UIElementKind::kPage},
    {"fxlayer", UIElementKind::kPage},
    {"multifxlayer", UIElementKind::kPage},
    {"envelopelayer", UIElementKind::kPage},
    {"oscillator1layer", UIElementKind::kPage},
    {"oscillator2layer", UIElementKind::kPage},
    {"modlayer", UIElementKind::kPage},
    {"banklayer", UIElementKind::kPage},
    {"multilayer", UIElementKind::kMultilayer},
    {"background", UIElementKind::kBackground},
    {"display", UIElementKind::kDisplay},
    {"switch", UIElementKind::kSwitch},
    {"autooff", UIElementKind::kAutoOff},
    {"dropMenu", UIElementKind::kDropMenu},
    {"multiFx", UIElementKind::kMultiFx},
    {"radio", UIElementKind::kRadio},
    {"knobcontrol", UIElementKind::kControlGroup},
    {"buttoncontrol", UIElementKind::kControlGroup},
    {"menucontrol", UIElementKind::kControlGroup},
    {"slidercontrol", UIElementKind::kControlGroup},
};

// The "type" values each kind tests; any other builds nothing.
constexpr struct {
  UIElementKind kind;
  const char* name;
  UIControlType type;
} kTypeNames[] = {
    {UIElementKind::kDropMenu, "textSelection", UIControlType::kTextSelection},
    {UIElementKind::kDropMenu, "deviceSelection", UIControlType::kDeviceSelection},
    {UIElementKind::kDropMenu, "nameSelection", UIControlType::kNameSelection},
    {UIElementKind::kDropMenu, "dropSelection", UIControlType::kDropSelection},
    {UIElementKind::kMultiFx, "Knob", UIControlType::kKnob},
    {UIElementKind::kMultiFx, "Menu", UIControlType::kMenu},
    {UIElementKind::kControlGroup, "seKnob", UIControlType::kSeKnob},
    {UIElementKind::kControlGroup, "seSliderVer", UIControlType::kSeSliderVer},
    {UIElementKind::kControlGroup, "seSliderHor", UIControlType::kSeSliderHor},
    {UIElementKind::kControlGroup, "seButton", UIControlType::kSeButton},
    {UIElementKind::kControlGroup, "ccSliderVer", UIControlType::kCcSliderVer},
    {UIElementKind::kControlGroup, "ccSliderHor", UIControlType::kCcSliderHor},
    {UIElementKind::kControlGroup, "ccKnob", UIControlType::kCcKnob},
    {UIElementKind::kControlGroup, "ccButton", UIControlType::kCcButton},
    {UIElementKind::kControlGroup, "seMenu", UIControlType::kSeMenu},
    {UIElementKind::kControlGroup, "ccMenu", UIControlType::kCcMenu},
};

UIElementKind kindOf(const char* name) {
  for (const auto& row : kElementNames)
    if (std::strcmp(name, row.name) == 0) return row.kind;
  return UIElementKind::kUnknown;
}

UIControlType typeOf(UIElementKind kind, const std::string& type) {
  for (const auto& row : kTypeNames)
    if (row.kind == kind && type == row.name) return row.type;
  return UIControlType::kNone;
}

std::string text(const tinyxml2::XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value ? value : "";
}

// The walk's integers: a leading decimal number, else 0, kept inside the int range.
int clampedInteger(const tinyxml2::XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  if (!value) return 0;
  char* end = nullptr;
  const long v = std::strtol(value, &end, 10);
  return end == value ? 0 : static_cast<int>(v < -2147483647L ? -2147483647L : v > 2147483647L ? 2147483647L : v);
}

// The control elements' integers: the leading number as an int, 0 when absent.
int integer(const tinyxml2::XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value ? static_cast<int>(std::strtol(value, nullptr, 10)) : 0;
}

bool boolean(const tinyxml2::XMLElement* e, const char* name) {
  const std::string value = text(e, name);
  if (value == "true") return true;
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  return end != value.c_str() && number != 0;
}

// "a:b" as two numbers; -1 and -1 unless there are exactly two pieces.
void pair(const tinyxml2::XMLElement* e, const char* name, int& a, int& b) {
  std::vector<std::string> pieces;
  UIConfigManager::Tokenize(text(e, name), pieces, ":");
  a = b = -1;
  if (pieces.size() != 2) return;
  a = static_cast<int>(std::strtol(pieces[0].c_str(), nullptr, 10));
  b = static_cast<int>(std::strtol(pieces[1].c_str(), nullptr, 10));
}

// A decimal integer from the start of text (blanks and a sign allowed), kept inside the int range.
bool leadingInt(const std::string& text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  value = static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
  return true;
}

// The first n values of a comma-separated list into values (those it lacks stay).
void numbers(const tinyxml2::XMLElement* e, const char* name, int* values, int n) {
  std::vector<std::string> tokens;
  UIConfigManager::Tokenize(text(e, name), tokens, ",");
  for (int i = 0; i < n && i < static_cast<int>(tokens.size()); ++i) leadingInt(tokens[static_cast<size_t>(i)], values[i]);
}

int firstNumber(const tinyxml2::XMLElement* e, const char* name) {
  int value = 0;
  numbers(e, name, &value, 1);
  return value;
}

UINameRef nameRef(const std::string& name, const std::map<std::string, int>& names) {
  const auto found = names.find(name);
  return {name, found == names.end() ? -1 : found->second};
}

UIParamRef paramRef(const std::string& text, const std::map<std::string, int>& names) {
  UIParamRef ref;
  std::vector<std::string> pieces;
  UIConfigManager::Tokenize(text, pieces, "+");
  if (pieces.empty()) return ref;
  ref.given = true;
  ref.base = nameRef(pieces[0], names);
  int offset = 0;
  if (pieces.size() > 1) leadingInt(pieces[1], offset);
  ref.offset = offset;
  return ref;
}

UILinkRef linkRef(const std::string& text, const std::map<std::string, int>& names) {
  UILinkRef link;
  std::vector<std::string> tokens;
  UIConfigManager::Tokenize(text, tokens, ",");
  if (tokens.size() < 2) return link;
  link.given = true;
  link.partner = nameRef(tokens[0], names);
  link.switcher = nameRef(tokens[1], names);
  if (tokens.size() == 3) {
    int mode = 0;
    leadingInt(tokens[2], mode);
    link.linkMode = mode;
  }
  return link;
}

struct Reader {
  UIDocument& document;
  const std::map<std::string, int>& names;

  void readSiblings(const tinyxml2::XMLNode* node) {
    for (; node; node = node->NextSibling())
      if (const tinyxml2::XMLElement* e = node->ToElement()) readElement(e);
  }

  void readElement(const tinyxml2::XMLElement* e) {
    const size_t at = document.elements.size();
    document.elements.emplace_back();
    UIElement& element = document.elements.back();
    element.kind = kindOf(e->Name());
    element.type = typeOf(element.kind, text(e, "type"));
    element.param = paramRef(text(e, "paramId"), names);
    element.channel = clampedInteger(e, "channel");
    element.channelValue = integer(e, "channel");
    element.hasName = e->Attribute("name") != nullptr;
    element.name = text(e, "name");
    element.image = text(e, "imageId");
    element.group = text(e, "paramGroup");
    element.id = clampedInteger(e, "id");
    element.copies = clampedInteger(e, "create");
    element.overlay = text(e, "overlay") == "true";
    numbers(e, "position", element.position, 4);
    numbers(e, "bounds", element.bounds, 4);
    numbers(e, "valueBounds", element.valueBounds, 4);
    element.displaySize = firstNumber(e, "displaySize");
    element.inputDev = firstNumber(e, "inputDev");
    element.visible = firstNumber(e, "visible");
    element.nameLen = integer(e, "nameLen");
    element.buttons = integer(e, "buttons");
    element.length = integer(e, "length");
    element.changingByte = integer(e, "changingByte") & 0xFF;
    element.ccNumber = integer(e, "ccNumber");
    element.sysexIndex = integer(e, "sysexIndex");
    element.msgZeroVal = integer(e, "msgZeroVal");
    element.color = integer(e, "color");
    element.white = integer(e, "white") != 0;
    element.horizontal = boolean(e, "horizontal");
    pair(e, "valueDisplay", element.first, element.last);
    element.link = linkRef(text(e, "biDirectLink"), names);
    element.listName = text(e, "valueList");
    const auto list = document.valueLists->find(element.listName);
    element.list = list == document.valueLists->end() ? nullptr : &list->second;
    // Only pages and multilayers have children that the walk visits.
    const bool parent = element.kind == UIElementKind::kPage || element.kind == UIElementKind::kMultilayer;
    if (parent) readSiblings(e->FirstChild());
    document.elements[at].end = static_cast<uint32_t>(document.elements.size());
  }
};
}  // namespace

std::shared_ptr<const UIDocument> UIDocument::read(const std::string& text, const std::map<std::string, int>& names) {
  auto document = std::make_shared<UIDocument>();
  document->textEmpty = text.empty();
  // Entity processing on, white space kept; the text ends at its first NUL.
  tinyxml2::XMLDocument xml(true, tinyxml2::PRESERVE_WHITESPACE);
  xml.Parse(text.c_str());
  auto lists = std::make_shared<ValueLists>();
  readValueLists(xml, *lists);
  for (const auto& [name, texts] : *lists) document->displayTexts.emplace(&texts, IParam::MakeDisplayTexts(texts));
  document->valueLists = std::move(lists);
  if (const tinyxml2::XMLElement* root = xml.FirstChildElement("uiconfig")) {
    document->hasRoot = true;
    Reader{*document, names}.readSiblings(root->FirstChild());
  }
  document->textMemo = std::make_unique<ParamTextMemo>(kParamCount);
  return document;
}

UIDocument UIDocument::readNodes(const tinyxml2::XMLNode* node, std::shared_ptr<const ValueLists> lists,
                                 const std::map<std::string, int>& names) {
  UIDocument document;
  document.textEmpty = false;
  document.hasRoot = true;
  if (lists) document.valueLists = std::move(lists);
  Reader{document, names}.readSiblings(node);
  return document;
}
