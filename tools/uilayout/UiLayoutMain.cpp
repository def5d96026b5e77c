// tarnivex_uilayout <layout.ui> <valuelists.xml> <sysex.xml> <uiconfig.xml> [<captions.txt>]
// Expands the compact layout source into the GUI document, with the value
// lists in front, and lists every control with its captions and the
// backgrounds under it for the image generator (see tools/imagegen/Captions.h). Refuses (and fails the build) what the editor would only
// log or silently misread: unknown elements, images, parameters, lists or
// SysEx definitions, a page without a name or named twice, a required page
// missing, a top-level controller element without a channel 1..16.
#include <tinyxml2.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>

#include "ImageTable.h"
#include "LayoutSource.h"
#include "LibrarianPanes.h"
#include "ParamIndex.h"
#include "RequiredPages.h"
#include "TextLooks.h"

namespace {
const std::set<std::string> kPages = {"layer",          "fxlayer",          "multifxlayer", "envelopelayer",
                                      "oscillator1layer", "oscillator2layer", "modlayer",     "banklayer"};
const std::set<std::string> kControls = {"patchBrowser", "categoryList", "background", "display",     "switch",
                                         "autooff",      "dropMenu",   "multiFx",     "radio",
                                         "knobcontrol",  "buttoncontrol", "menucontrol", "slidercontrol"};

// Every attribute some element of the vocabulary reads.
const std::set<std::string> kAttributes = {
    "name",         "id",           "overlay",      "create",     "imageId",    "paramId",     "paramGroup",
    "channel",      "type",         "bounds",       "position",   "valueBounds", "displaySize", "white",
    "inputDev",     "nameLen",      "valueList",    "valueDisplay", "visible",  "buttons",     "horizontal",
    "length",       "changingByte", "biDirectLink", "ccNumber",   "sysexIndex", "msgZeroVal",  "color"};

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

struct Checker {
  std::set<std::string> images, params, lists, pages;
  std::vector<std::string> errors;

  void complain(const LayoutNode& n, const std::string& why) {
    errors.push_back("line " + std::to_string(n.line) + ": " + why);
  }
  void checkParam(const LayoutNode& n, const std::string& reference) {
    const std::string name = reference.substr(0, reference.find('+'));
    if (!params.count(name)) complain(n, "unknown parameter " + name);
  }
  void check(const LayoutNode& n, bool inMultilayer) {
    const bool page = kPages.count(n.element) > 0, multi = n.element == "multilayer";
    if (!page && !multi && !kControls.count(n.element)) complain(n, "unknown element " + n.element);
    if (!page && !multi && !n.children.empty()) complain(n, n.element + " cannot hold elements");
    for (const auto& attribute : n.attributes)
      if (!kAttributes.count(attribute.first)) complain(n, "unknown attribute " + attribute.first);
    if (page) {
      const std::string* name = n.attribute("name");
      if (!name || name->empty()) complain(n, "a page needs a name");
      else if (!pages.insert(*name).second) complain(n, "page " + *name + " is defined twice");
    }
    if (multi && !n.attribute("create")) complain(n, "a multilayer needs create=N");
    if (const auto* img = n.attribute("imageId"); img && !images.count(*img)) complain(n, "unknown image " + *img);
    if (const auto* param = n.attribute("paramId"); param && !param->empty()) checkParam(n, *param);
    if (const auto* list = n.attribute("valueList"); list && !lists.count(*list)) complain(n, "unknown value list " + *list);
    if (const auto* link = n.attribute("biDirectLink")) {
      std::istringstream parts(*link);
      std::string piece;
      for (int i = 0; i < 2 && std::getline(parts, piece, ','); ++i) checkParam(n, piece);
    }
    const std::string* type = n.attribute("type");
    if (!inMultilayer && type && type->rfind("cc", 0) == 0) {
      const std::string* ch = n.attribute("channel");
      const int channel = ch ? std::atoi(ch->c_str()) : 0;
      if (channel < 1 || channel > 16) complain(n, "a controller outside a multilayer needs channel=1..16");
    }
    for (const LayoutNode& child : n.children) check(child, inMultilayer || multi);
  }
};

// The look of the text an element draws at run time (see tools/imagegen/
// Captions.h), or empty for one that draws none.
std::string textLook(const LayoutNode& n, const std::map<std::string, int>& paramIndex) {
  using textlooks::Kind;
  const std::string* typeAttr = n.attribute("type");
  const std::string type = typeAttr ? *typeAttr : "";
  auto number = [&](const char* name, int fallback) {
    const std::string* v = n.attribute(name);
    return v ? std::atoi(v->c_str()) : fallback;
  };
  int height = 0;  // the fourth number of the rectangle, when given
  if (const std::string* at = n.attribute("position") ? n.attribute("position") : n.attribute("bounds")) {
    std::istringstream numbers(*at);
    std::string piece;
    for (int i = 0; i < 4 && std::getline(numbers, piece, ','); ++i) height = i == 3 ? std::atoi(piece.c_str()) : 0;
  }
  int paramIdx = -1;
  if (const std::string* param = n.attribute("paramId")) {
    const std::string name = param->substr(0, param->find('+'));
    if (const auto it = paramIndex.find(name); it != paramIndex.end())
      paramIdx = it->second + (param->find('+') == std::string::npos ? 0 : std::atoi(param->c_str() + param->find('+') + 1));
  }
  Kind kind;
  if (n.element == "display") kind = Kind::kDisplay;
  else if (n.element == "dropMenu" && type == "nameSelection") kind = Kind::kNameField;
  else if (n.element == "dropMenu" && type == "textSelection") kind = Kind::kTextSelection;
  else if (n.element == "dropMenu" && type == "dropSelection") kind = Kind::kDropSelection;
  else if (n.element == "dropMenu" && type == "deviceSelection") kind = Kind::kDeviceSelection;
  else if (n.element == "multiFx" && type == "Menu") kind = Kind::kNumberMenu;
  else if (type == "ccMenu" || type == "seMenu") kind = Kind::kSelectionMenu;
  else if (n.element == "patchBrowser") kind = Kind::kLibrarianSlot;
  else return "";
  // Only what changes the look: the height of a number menu, the parameter of a name field.
  return std::to_string(static_cast<int>(kind)) + ":" + std::to_string(number("displaySize", 1)) + ":" +
         std::to_string(number("white", 0) != 0) + ":" + std::to_string(number("visible", 1)) + ":" +
         std::to_string(kind == Kind::kNumberMenu ? height : 0) + ":" +
         std::to_string(kind == Kind::kNameField ? paramIdx : -1);
}

// One line per control: its rectangle (0 for a size the image gives), image,
// captions, the backgrounds it lies on, innermost first, the look of its
// run-time text and the layers it lies in (numbered in source order).
struct ControlLister {
  const std::map<std::string, int>& paramIndex;
  std::ostream& out;
  int layerCount = 0;

  void list(const LayoutNode& n, std::string backgrounds, const std::string& layers) {
    if (kPages.count(n.element) || n.element == "multilayer") {
      std::string own;
      if (!n.over.empty()) backgrounds = n.over + " " + backgrounds;
      for (const LayoutNode& child : n.children)
        if (child.element == "background" && child.attribute("imageId") && child.attribute("position"))
          own += *child.attribute("imageId") + "@" + *child.attribute("position") + " ";
      backgrounds = own + backgrounds;
      const std::string inner = (layers.empty() ? "" : layers + "/") + std::to_string(++layerCount);
      for (const LayoutNode& child : n.children) list(child, backgrounds, inner);
      return;
    }
    if (n.element == "background") return;
    const std::string* at = n.attribute("position") ? n.attribute("position") : n.attribute("bounds");
    if (!at) return;
    int r[4] = {0, 0, 0, 0};
    std::istringstream numbers(*at);
    std::string piece;
    for (int i = 0; i < 4 && std::getline(numbers, piece, ','); ++i) r[i] = std::atoi(piece.c_str());
    if (r[2] > 0 && r[3] == 0) r[3] = 13;  // a menu given only its width
    const std::string* img = n.attribute("imageId");
    const auto line = [&](int x, int y, int w, int h) {
      out << n.line << '\t' << x << ',' << y << ',' << w << ',' << h << '\t' << (img ? *img : "-") << '\t'
          << n.caption << '\t' << n.rowCaption << '\t' << backgrounds << '\t' << textLook(n, paramIndex) << '\t'
          << layers << '\n';
    };
    if (n.element == "patchBrowser") {
      // The slot view is checked as its two panes: the lower pane's header lies over it between them.
      line(r[0], r[1], r[2], librarianpanes::kPaneHeight);
      line(r[0], r[1] + librarianpanes::kLowerTop, r[2], librarianpanes::kPaneHeight);
      return;
    }
    line(r[0], r[1], r[2], r[3]);
  }
};

void emit(tinyxml2::XMLDocument& doc, tinyxml2::XMLNode* parent, const LayoutNode& n) {
  tinyxml2::XMLElement* e = doc.NewElement(n.element.c_str());
  for (const auto& [key, value] : n.attributes) e->SetAttribute(key.c_str(), value.c_str());
  parent->InsertEndChild(e);
  for (const LayoutNode& child : n.children) emit(doc, e, child);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::cerr << "usage: tarnivex_uilayout <layout.ui> <valuelists.xml> <sysex.xml> <uiconfig.xml> [<captions.txt>]\n";
    return 2;
  }
  std::string source, listsText, sysexText;
  if (!readText(argv[1], source) || !readText(argv[2], listsText) || !readText(argv[3], sysexText)) {
    std::cerr << "tarnivex_uilayout: cannot read the sources\n";
    return 1;
  }
  tinyxml2::XMLDocument listsDoc, sysexDoc;
  const tinyxml2::XMLElement* valueLists = nullptr;
  if (listsDoc.Parse(listsText.c_str()) == tinyxml2::XML_SUCCESS && listsDoc.FirstChildElement("uiconfig"))
    valueLists = listsDoc.FirstChildElement("uiconfig")->FirstChildElement("valueLists");
  const tinyxml2::XMLElement* sysexRoot =
      sysexDoc.Parse(sysexText.c_str()) == tinyxml2::XML_SUCCESS ? sysexDoc.FirstChildElement("sysexlist") : nullptr;
  if (!valueLists || !sysexRoot) {
    std::cerr << "tarnivex_uilayout: the value lists or the SysEx definitions do not parse\n";
    return 1;
  }

  // Definitions are numbered in document order, as the plug-in reads them.
  std::map<std::string, SysExEntry> sysex;
  int index = 0;
  for (const auto* e = sysexRoot->FirstChildElement("sysex"); e; e = e->NextSiblingElement(), ++index) {
    const auto* value = e->FirstChildElement("values") ? e->FirstChildElement("values")->FirstChildElement("value") : nullptr;
    const char* param = e->Attribute("param");
    std::istringstream bytes(value && value->GetText() ? value->GetText() : "");
    int length = 0;
    for (std::string b; bytes >> b;) ++length;
    if (param && !sysex.count(param)) sysex[param] = {index, length};
  }

  std::vector<LayoutNode> nodes;
  std::string error;
  if (!parseLayoutSource(source, sysex, nodes, error)) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 1;
  }
  Checker checker;
  for (const ImageRow& row : kCommonImages) checker.images.insert(row.key);
  for (const StyleImageRow& row : kStyleImages) checker.images.insert(row.key);
  for (const ParamNameEntry& entry : kParamNameTable) checker.params.insert(entry.name);
  for (const auto* list = valueLists->FirstChildElement("list"); list; list = list->NextSiblingElement("list"))
    if (list->Attribute("name")) checker.lists.insert(list->Attribute("name"));
  for (const LayoutNode& n : nodes) checker.check(n, false);
  for (const std::string& name : requiredPageNames())
    if (!checker.pages.count(name)) checker.errors.push_back("the required page " + name + " is missing");
  for (const std::string& e : checker.errors) std::cerr << argv[1] << ": " << e << "\n";
  if (!checker.errors.empty()) return 1;

  tinyxml2::XMLDocument doc;
  doc.InsertEndChild(doc.NewDeclaration());
  doc.InsertEndChild(doc.NewComment(" Generated from resources/ui/layout.ui and resources/valuelists.xml: edit those. "));
  tinyxml2::XMLElement* root = doc.NewElement("uiconfig");
  doc.InsertEndChild(root);
  root->InsertEndChild(valueLists->DeepClone(&doc));
  for (const LayoutNode& n : nodes) emit(doc, root, n);

  const std::string target = argv[4], temporary = target + ".part";
  if (doc.SaveFile(temporary.c_str()) != tinyxml2::XML_SUCCESS || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::cerr << "tarnivex_uilayout: cannot write " << target << "\n";
    std::remove(temporary.c_str());
    return 1;
  }
  if (argc == 6) {
    std::ostringstream list;
    // The window's own backgrounds lie under everything.
    std::string window;
    for (const LayoutNode& n : nodes)
      if (n.element == "background" && n.attribute("imageId") && n.attribute("position"))
        window = *n.attribute("imageId") + "@" + *n.attribute("position") + " " + window;
    std::map<std::string, int> paramIndex;
    for (const ParamNameEntry& entry : kParamNameTable) paramIndex[entry.name] = entry.index;
    ControlLister lister{paramIndex, list};
    for (const LayoutNode& n : nodes) lister.list(n, window, "");
    std::ofstream out(argv[5], std::ios::binary | std::ios::trunc);
    if (!(out << list.str())) {
      std::cerr << "tarnivex_uilayout: cannot write " << argv[5] << "\n";
      return 1;
    }
  }
  return 0;
}
