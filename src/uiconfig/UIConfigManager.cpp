#include "UIConfigManager.h"

#include <algorithm>
#include <map>

#include "DebuggerOutput.h"
#include "IParam.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "ResourceCipher.h"
#include "SharedConfig.h"
#include "Tarnivex.h"

void UIConfigManager::log(const std::string& line) {
  if (debugLogOn()) debuggerOutput->printDebugInfo(plug->debugLogPath, line);
}

shared_config::ResourceLoad UIConfigManager::resourceLoad(int resourceId, const char* fileName) {
  // Without a graphics context there is nothing to load from.
  if (!graphics) return nullptr;
  return [this, resourceId, fileName](int& size) {
    size = 0;
    auto bytes = graphics->LoadFile(resourceId, fileName);
    if (bytes) size = graphics->GetLoadedFileSize();
    return bytes;
  };
}

UIConfigManager::~UIConfigManager() {
  // The actions die with the manager: no parameter may keep pointing at one.
  if (!plug) return;
  size_t made = 0;
  mActions.forEach([&](ControlAction& action) {
    const int paramIdx = mActionParams[made++];
    if (IParam* param = paramIdx < plug->NParams() ? plug->GetParam(paramIdx) : nullptr;
        param && param->GetControlAction() == &action)
      param->SetControlAction(nullptr);
  });
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

  // Read once per process into its shared form; this instance builds its own
  // pages, controls and actions from that.
  mDocument = shared_config::uiDocument("resources/uiconfig.tea", resourceLoad(100, "resources/uiconfig.tea"));
  if (mDocument->textEmpty) log("CONFIG READER: the GUI configuration document could not be read");
  if (valueLists.empty())
    valueLists.share(mDocument->valueLists);
  else
    for (const auto& [name, texts] : *mDocument->valueLists) valueLists.edit()[name] = texts;
  if (mDocument->hasRoot)
    walkElements(*mDocument, 0, mDocument->elements.size(), nullptr, -1);
  else if (!mDocument->textEmpty)
    log("CONFIG READER: the GUI configuration document has no uiconfig root");
}

bool UIConfigManager::debugLogOn() const { return plug && debuggerOutput && plug->debugLogEnabled; }

void UIConfigManager::readSysexValues() {
  log("CONFIG READER: Started to read SysEx Data...");
  mSysEx = shared_config::sysexDefinitions("resources/sysex.tea", resourceLoad(101, "resources/sysex.tea"));
  if (sysexContainers.empty()) {
    sysexContainers.share(std::shared_ptr<const std::vector<SysExContainer>>(mSysEx, &mSysEx->definitions));
  } else {
    std::vector<SysExContainer>& list = sysexContainers.edit();
    list.insert(list.end(), mSysEx->definitions.begin(), mSysEx->definitions.end());
  }
  log("CONFIG READER: Completed reading SysEx data!");
}

void UIConfigManager::initParams() {
  log("CONFIG READER: Started to initialize parameters...");
  const auto& names = shared_config::paramNames();
  if (paramNameMap.empty()) {
    paramNameMap.share(std::shared_ptr<const std::map<std::string, int>>(names, &names->map));
    for (const std::string& name : names->repeated) log("CONFIG READER: parameter " + name + " ALREADY EXISTS!");
  } else {
    for (const ParamNameEntry& entry : kParamNameTable) mapParamToString(entry.name, entry.index);
  }
  log("CONFIG READER: Completed!");
}

void UIConfigManager::mapParamToString(const std::string& name, int index) {
  if (paramNameMap.find(name) == paramNameMap.end()) {
    paramNameMap.edit().emplace(name, index);
    return;
  }
  log("CONFIG READER: parameter " + name + " ALREADY EXISTS!");
}

void UIConfigManager::decrypt(const char* data, int length, std::string& text) {
  decipherResource(data, length, text);
}

void UIConfigManager::readReasources(tinyxml2::XMLDocument* document) {
  if (document) readValueLists(*document, valueLists.edit());
}
