#include "UIConfigManager.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>

#include "DebuggerOutput.h"
#include "IParam.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "ResourceCipher.h"
#include "Tarnivex.h"

void UIConfigManager::log(const std::string& line) {
  if (debugLogOn()) debuggerOutput->printDebugInfo(plug->debugLogPath, line);
}

namespace {
// Deciphering costs more than everything else an instance does at start-up,
// and a host creates many instances from the same bundle: the plain text of
// each document is kept, process-wide, for as long as its bytes stay the same.
struct DecipheredText {
  int size = 0;
  uint64_t hash = 0;
  std::string text;
};

std::mutex gDecipheredMutex;
std::map<std::string, DecipheredText> gDeciphered;

uint64_t HashBytes(const unsigned char* bytes, int size) {
  uint64_t hash = 1469598103934665603ull;
  for (int i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}
}  // namespace

std::string UIConfigManager::loadResource(int resourceId, const char* fileName) {
  std::string text;
  if (!graphics) return text;
  const auto bytes = graphics->LoadFile(resourceId, fileName);
  if (!bytes) return text;
  // The loader's array is released on return: nothing reads it after deciphering.
  const int size = graphics->GetLoadedFileSize();
  const uint64_t hash = HashBytes(bytes.get(), size);
  std::lock_guard<std::mutex> lock(gDecipheredMutex);
  DecipheredText& cached = gDeciphered[fileName];
  if (cached.size != size || cached.hash != hash || cached.text.empty()) {
    cached.text.clear();
    decrypt(reinterpret_cast<const char*>(bytes.get()), size, cached.text);
    cached.size = size;
    cached.hash = hash;
  }
  return cached.text;
}

UIConfigManager::~UIConfigManager() {
  // The actions die with the manager: no parameter may keep pointing at one.
  if (!plug || mActions.empty()) return;
  std::vector<const void*> owned;
  owned.reserve(mActions.size());
  for (const auto& action : mActions) owned.push_back(action.get());
  std::sort(owned.begin(), owned.end());
  for (int i = 0; i < plug->NParams(); ++i)
    if (IParam* param = plug->GetParam(i);
        param && std::binary_search(owned.begin(), owned.end(), static_cast<const void*>(param->GetControlAction())))
      param->SetControlAction(nullptr);
}

void UIConfigManager::readUIConfig(IGraphics* graphicsContext, Tarnivex* plugin, PatchLibrarian* patchLibrarian,
                                   int style, double scale) {
  librarian = patchLibrarian;
  graphics = graphicsContext;
  plug = plugin;
  debuggerOutput = plugin ? &plugin->debuggerOutput : nullptr;
  uiStyle = style;
  uiScale = scale;

  readSysexValues();
  initImages(graphics);
  initParams();

  const std::string text = loadResource(100, "resources/uiconfig.tea");
  if (text.empty()) log("CONFIG READER: the GUI configuration document could not be read");
  // Entity processing on, white space kept; the text ends at its first NUL.
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  document.Parse(text.c_str());
  readReasources(&document);
  if (tinyxml2::XMLElement* root = document.FirstChildElement("uiconfig"))
    processXMLElement(root->FirstChild(), nullptr, -1);
  else if (!text.empty())
    log("CONFIG READER: the GUI configuration document has no uiconfig root");
}

bool UIConfigManager::debugLogOn() const { return plug && debuggerOutput && plug->debugLogEnabled; }

void UIConfigManager::readSysexValues() {
  log("CONFIG READER: Started to read SysEx Data...");
  const std::string text = loadResource(101, "resources/sysex.tea");
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  document.Parse(text.c_str());
  readSysExDefinitions(document, sysexContainers);
  log("CONFIG READER: Completed reading SysEx data!");
}

void UIConfigManager::initParams() {
  log("CONFIG READER: Started to initialize parameters...");
  for (const ParamNameEntry& entry : kParamNameTable) mapParamToString(entry.name, entry.index);
  log("CONFIG READER: Completed!");
}

void UIConfigManager::mapParamToString(std::string name, int index) {
  if (paramNameMap.emplace(name, index).second) return;
  log("CONFIG READER: parameter " + name + " ALREADY EXISTS!");
}

void UIConfigManager::decrypt(const char* data, int length, std::string& text) {
  decipherResource(data, length, text);
}

void UIConfigManager::readReasources(tinyxml2::XMLDocument* document) {
  if (document) readValueLists(*document, valueLists);
}
