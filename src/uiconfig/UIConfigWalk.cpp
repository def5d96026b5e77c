// The walk of the GUI document: pages, numbered part copies, and around
// every element the part of its parameter's action. It runs over the
// document's shared form, so each instance only builds; the log lines the
// attribute readers write are written here as they would be.
#include <tinyxml2.h>

#include <climits>

#include "ControlLayer.h"
#include "IGraphics.h"
#include "SharedConfig.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

namespace {
// A damaged document may ask for any number of copies; the editor has 16 parts.
constexpr int kMaxCopies = 256;
}  // namespace

void UIConfigManager::processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part) {
  const UIDocument nodes = UIDocument::readNodes(node, valueLists.shared(), shared_config::paramNames()->map);
  walkElements(nodes, 0, nodes.elements.size(), layer, part);
}

int UIConfigManager::nameIndexOf(const UINameRef& ref) {
  // The document looked its names up in the process's name map; a map of this
  // instance's own is asked again.
  if (&paramNameMap.get() != &shared_config::paramNames()->map) return getParamByName(ref.name);
  if (ref.index < 0) log("CONFIG READER: parameter " + ref.name + " NOT FOUND!");
  return ref.index;
}

int UIConfigManager::paramIndexOf(const UIParamRef& ref, int part) {
  if (!ref.given) return -1;
  const int index = nameIndexOf(ref.base);
  if (index < 0) return -1;
  const long long resolved = index + (part >= 0 ? part : 0) + ref.offset;
  return resolved < INT_MIN || resolved > INT_MAX ? -1 : static_cast<int>(resolved);
}

LinkInfo UIConfigManager::linkOf(const UILinkRef& ref, int part) {
  LinkInfo link;
  if (!ref.given) return link;
  auto indexOf = [&](const UINameRef& name) {
    const int index = nameIndexOf(name);
    return index >= 0 && part >= 0 ? index + part : index;
  };
  link.partnerParam = indexOf(ref.partner);
  link.switchParam = indexOf(ref.switcher);
  link.linkMode = ref.linkMode;
  return link;
}

const std::vector<std::string>& UIConfigManager::valueListOf(const UIDocument& document,
                                                              const UIElement& element) const {
  static const std::vector<std::string> kNone;
  if (valueLists.shares(document.valueLists)) return element.list ? *element.list : kNone;
  const auto found = valueLists.find(element.listName);
  return found == valueLists.end() ? kNone : found->second;
}

void UIConfigManager::walkElements(const UIDocument& document, size_t first, size_t end, ControlLayer* layer,
                                   int part) {
  // Siblings by a loop, pages' children by recursion: document order, depth first.
  for (size_t at = first; at < end; at = document.elements[at].end) {
    const UIElement& element = document.elements[at];
    const int paramIdx = paramIndexOf(element.param, part);
    if (element.kind == UIElementKind::kPage)
      processPage(document, at, layer, part);
    else if (element.kind == UIElementKind::kMultilayer)
      processMultilayer(document, at, layer, part);
    else
      processControlElement(document, element, layer, part, paramIdx);
    if (ControlAction* action = existingControlAction(paramIdx)) action->part = part >= 0 ? part : element.channel - 1;
  }
}

void UIConfigManager::processPage(const UIDocument& document, size_t at, ControlLayer* layer, int part) {
  const UIElement& element = document.elements[at];
  if (!element.hasName) log("CONFIG READER: a layer without a name is not entered in the layer map");
  ControlLayer* built = attachLayer(std::make_unique<ControlLayer>(element.id, element.name), layer);
  if (!built) return;
  if (element.hasName) layerMap[element.name] = built;
  walkElements(document, at + 1, element.end, built, part);
  // Runs after the children, so an outer page's setting wins over an inner one's.
  built->setIgnoreHiddenWhenUpdatingScreen(element.overlay);
}

void UIConfigManager::processMultilayer(const UIDocument& document, size_t at, ControlLayer* layer, int) {
  if (!layer && !graphics) return;  // nowhere to hang the copies
  const UIElement& element = document.elements[at];
  int copies = element.copies;
  if (copies > kMaxCopies) {
    log("CONFIG READER: multilayer " + element.name + " asks for " + std::to_string(copies) + " copies; " +
        std::to_string(kMaxCopies) + " are built");
    copies = kMaxCopies;
  }
  for (int i = 0; i < copies; ++i) {
    auto copy = std::make_unique<ControlLayer>(i, element.name + std::to_string(i));
    ControlLayer* built = copy.get();
    walkElements(document, at + 1, element.end, built, i);
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
