// The UI configuration manager: reads the SysEx definitions, the parameter
// name table and the GUI configuration document at start-up and keeps what
// they give for the life of the plug-in.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "SysExDefinitions.h"
#include "ValueLists.h"

namespace tinyxml2 {
class XMLDocument;
class XMLNode;
}  // namespace tinyxml2

class ControlLayer;
class DebuggerOutput;
class IGraphics;
class PatchLibrarian;
class Tarnivex;

class UIConfigManager {
 public:
  // Start-up, once: SysEx definitions, images, parameter names, then the GUI
  // document (its value lists first, then its layers and controls).
  void readUIConfig(IGraphics* graphics, Tarnivex* plug, PatchLibrarian* librarian, int uiStyle, double uiScale);
  void readSysexValues();
  void initImages(IGraphics* graphics);
  void initParams();
  void mapParamToString(std::string name, int index);
  // -1 for a name not in the table.
  int getParamByName(std::string name);
  void decrypt(const char* data, int length, std::string& text);
  void readReasources(tinyxml2::XMLDocument* document);
  void processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part);
  std::vector<int> convertStringSysextoVector(std::string text);

  std::vector<SysExContainer>& sysexDefinitions() { return sysexContainers; }

  std::map<std::string, int> paramNameMap;
  // Every layer the document builds, by name; the layers belong to their tree.
  std::map<std::string, ControlLayer*> layerMap;
  std::vector<SysExContainer> sysexContainers;
  ValueLists valueLists;

  IGraphics* graphics = nullptr;
  Tarnivex* plug = nullptr;
  DebuggerOutput* debuggerOutput = nullptr;
  PatchLibrarian* librarian = nullptr;
  int uiStyle = 0;
  double uiScale = 1.0;

 private:
  // Writes a line when the plug-in's debug log is on (read afresh each time).
  void log(const std::string& line);
  // The plain text of a bundle resource; empty when it cannot be loaded.
  std::string loadResource(int resourceId, const char* fileName);
};
