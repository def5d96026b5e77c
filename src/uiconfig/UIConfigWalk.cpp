// The walk of the GUI document: pages, numbered part copies, and around
// every element the part of its parameter's action.
#include <tinyxml2.h>

#include <cstring>

#include "ControlLayer.h"
#include "IGraphics.h"
#include "UIConfigManager.h"

namespace {
// A damaged document may ask for any number of copies; the editor has 16 parts.
constexpr int kMaxCopies = 256;

bool isPageElement(const char* name) {
  static const char* const kPages[] = {"layer",          "fxlayer",          "multifxlayer", "envelopelayer",
                                       "oscillator1layer", "oscillator2layer", "modlayer",     "banklayer"};
  for (const char* page : kPages)
    if (std::strcmp(name, page) == 0) return true;
  return false;
}

// The integer attribute syntax: a leading decimal number, else 0.
int intAttribute(const tinyxml2::XMLElement* e, const char* name) {
  const char* text = e->Attribute(name);
  if (!text) return 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  return end == text ? 0 : static_cast<int>(v < -2147483647L ? -2147483647L : v > 2147483647L ? 2147483647L : v);
}

std::string textAttribute(const tinyxml2::XMLElement* e, const char* name) {
  const char* text = e->Attribute(name);
  return text ? text : "";
}
}  // namespace

void UIConfigManager::processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part) {
  // Siblings by a loop, pages' children by recursion: document order, depth first.
  while (node) {
    tinyxml2::XMLElement* element = node->ToElement();
    if (!element) {
      node = node->NextSiblingElement();
      continue;
    }
    const int paramIdx = resolveParamReference(textAttribute(element, "paramId"), part);
    const int channel = intAttribute(element, "channel");
    const char* name = element->Name();
    if (isPageElement(name))
      processPage(element, layer, part);
    else if (std::strcmp(name, "multilayer") == 0)
      processMultilayer(element, layer, part);
    else
      processControlElement(element, layer, part, paramIdx);
    if (ControlAction* action = existingControlAction(paramIdx)) action->part = part >= 0 ? part : channel - 1;
    node = element->NextSiblingElement();
  }
}

void UIConfigManager::processPage(tinyxml2::XMLElement* element, ControlLayer* layer, int part) {
  const char* name = element->Attribute("name");
  if (!name) log("CONFIG READER: a layer without a name is not entered in the layer map");
  ControlLayer* built =
      attachLayer(std::make_unique<ControlLayer>(intAttribute(element, "id"), name ? name : ""), layer);
  if (!built) return;
  if (name) layerMap[name] = built;
  processXMLElement(element->FirstChild(), built, part);
  // Runs after the children, so an outer page's setting wins over an inner one's.
  built->setIgnoreHiddenWhenUpdatingScreen(textAttribute(element, "overlay") == "true");
}

void UIConfigManager::processMultilayer(tinyxml2::XMLElement* element, ControlLayer* layer, int part) {
  (void)part;
  if (!layer && !graphics) return;  // nowhere to hang the copies
  int copies = intAttribute(element, "create");
  if (copies > kMaxCopies) {
    log("CONFIG READER: multilayer " + textAttribute(element, "name") + " asks for " + std::to_string(copies) +
        " copies; " + std::to_string(kMaxCopies) + " are built");
    copies = kMaxCopies;
  }
  const std::string name = textAttribute(element, "name");
  // The values kept for the copies go with the outermost multilayer: the
  // document is alive until then.
  struct CopyScope {
    UIConfigManager& manager;
    explicit CopyScope(UIConfigManager& m) : manager(m) { ++manager.mCopyDepth; }
    ~CopyScope() {
      if (--manager.mCopyDepth == 0) manager.mCopyAttributes.clear();
    }
  } scope(*this);
  for (int i = 0; i < copies; ++i) {
    auto copy = std::make_unique<ControlLayer>(i, name + std::to_string(i));
    ControlLayer* built = copy.get();
    processXMLElement(element->FirstChild(), built, i);
    layerMap[built->GetName()] = built;
    attachLayer(std::move(copy), layer);  // takes ownership; cannot fail with a layer or graphics
  }
}

ControlLayer* UIConfigManager::attachLayer(std::unique_ptr<ControlLayer> page, ControlLayer* parent) {
  if (parent) return parent->AttachLayer(std::move(page));
  if (!graphics) return nullptr;
  ControlLayer* raw = page.release();
  graphics->AttachLayer(raw);
  return raw;
}

void UIConfigManager::attachControl(std::unique_ptr<IControl> control, ControlLayer* layer) {
  if (layer)
    layer->AttachControl(std::move(control));
  else if (graphics)
    graphics->AttachControl(control.release());
}
