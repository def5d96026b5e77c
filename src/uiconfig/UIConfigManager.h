// The UI configuration manager: reads the SysEx definitions, the image table,
// the parameter name table and the GUI configuration document at start-up,
// builds the layer tree and the controls the document declares, and keeps
// what the rest of the editor looks up afterwards: the layer map, the value
// lists, the SysEx definitions and the three incoming-message indexes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ControlAction.h"
#include "ControlIndexes.h"
#include "IGraphicsStructs.h"
#include "SysExDefinitions.h"
#include "TextLooks.h"
#include "ValueLists.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
class XMLNode;
}  // namespace tinyxml2

class ControlLayer;
class DebuggerOutput;
class IControl;
class IGraphics;
class IParam;
class PatchLibrarian;
class Tarnivex;

struct ImageInfo {
  int id = 0;
  int frames = 1;
  bool framesHorizontal = false;
};

class UIConfigManager {
 public:
  UIConfigManager() = default;
  ~UIConfigManager();
  UIConfigManager(const UIConfigManager&) = delete;
  UIConfigManager& operator=(const UIConfigManager&) = delete;

  // Start-up, once: SysEx definitions, images, parameter names, then the GUI
  // document (its value lists first, then its layers and controls).
  void readUIConfig(IGraphics* graphics, Tarnivex* plug, PatchLibrarian* librarian, int uiStyle, double uiScale);
  void readSysexValues();
  void initParams();
  void mapParamToString(std::string name, int index);
  void decrypt(const char* data, int length, std::string& text);
  void readReasources(tinyxml2::XMLDocument* document);

  // ---- The document walk (UIConfigWalk.cpp).
  void processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part);
  // The parameter an element's "paramId" names for the given part; -1 for none.
  int resolveParamReference(const std::string& text, int part);

  // ---- Attribute readers (AttributeReaders.cpp).
  // -1 for a name not in the table (and a log line).
  int getParamByName(std::string name);
  // "Part n[:group]" for a part, the group itself otherwise; valid until the next call.
  const char* getParamGroup(int part, std::string group);
  void getCSValues(std::string text, int* values, int n);
  void getBiDirectLinkValues(std::string text, int* link, int part);
  LinkInfo getBiDirectLink(const std::string& text, int part);
  // The layer stored under name, or null; a name the map lacks is entered with no layer.
  ControlLayer* layerByName(const std::string& name) { return layerMap[name]; }
  static void Tokenize(const std::string& text, std::vector<std::string>& tokens, const std::string& delimiters);

  // ---- Control actions and prepared SysEx (ControlActions.cpp).
  // The parameter's action, created with the given kind when it has none;
  // an existing one takes the kind. Null for an index outside the list.
  ControlAction* controlActionFor(int paramIdx, int actionType);
  ControlAction* existingControlAction(int paramIdx) const;
  void setControlLink(ControlAction* action, int paramIndex, LinkInfo link, int part);
  void calculateSysexWithChangingByte(std::string templateText, int changingByte, int count,
                                      ControlActionSysExMessage* out, int firstValue, int part);
  std::vector<int> convertStringSysextoVector(std::string text);
  static void copyIntVector(const std::vector<int>* from, std::vector<int>* to);
  // The message template of a definition, or null (with a log line) when the
  // index names no definition or the definition holds no text.
  const std::string* sysexTemplateAt(int sysexIndex);

  // ---- Control indexes (ControlIndexRegistration.cpp).
  // Registers the control under the keys of the action's message 0; false
  // (and a log line) when the messages cannot hold them.
  bool registerSysExControl(const ControlAction& action, int changingByte, int section, IControl* control);
  // Channel, controller number and global flag of the action.
  void registerCCControl(const ControlAction& action, IControl* control);
  void registerMsbLsbControl(const ControlAction& action, IControl* control);
  // The effect-type section a SysEx knob of this parameter registers under.
  static int effectSection(int paramIdx);

  // ---- Control factories (KnobSliderFactories.cpp, SwitchFactories.cpp,
  // TextFactories.cpp). Positions are unscaled; part is the multilayer copy
  // (-1 outside one); a null layer attaches to the graphics context. An
  // element whose parameter index names no parameter builds nothing.
  void createNoValKnobControl(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                              double minimum, double maximum, double unused, int part, ControlLayer* layer,
                              std::string group);
  void createCCKnobControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y, std::string image,
                           double defaultValue, double minimum, double maximum, double step, LinkInfo link, int part,
                           ControlLayer* layer, std::string group);
  void createSysExKnobControl(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                              double minimum, double maximum, double unused, int msgZeroVal, int sysexIndex,
                              int changingByte, int part, LinkInfo link, ControlLayer* layer, std::string group);
  void createCCSliderControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y, int length,
                             std::string image, double defaultValue, double minimum, double maximum, LinkInfo link,
                             int part, ControlLayer* layer, std::string group, EDirection direction, bool unused);
  void createSysExSliderControl(std::string name, int paramIdx, int x, int y, int length, std::string image,
                                double defaultValue, double minimum, double maximum, double unused, int msgZeroVal,
                                int sysexIndex, int changingByte, int part, LinkInfo link, ControlLayer* layer,
                                std::string group, EDirection direction, bool unusedFlag);
  void createBoolControl(std::string name, int paramIdx, int defaultValue, int x, int y, std::string image, int part,
                         ControlLayer* layer, std::string group);
  void createSwitchControl(std::string name, int paramIdx, int defaultValue, int x, int y, std::string image,
                           int part, ControlLayer* layer, std::string group);
  IControl* createAutoOffSwitchControl(std::string name, int paramIdx, int x, int y, std::string image, int part,
                                       ControlLayer* layer, std::string group);
  void createRadioControl(std::string name, int paramIdx, int x, int y, std::string image, int buttons, int part,
                          ControlLayer* layer, std::string group, bool horizontal);
  void createCCBoolControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y, std::string image,
                           double defaultValue, double offValue, double onValue, LinkInfo link, int part,
                           ControlLayer* layer, std::string group);
  void createSysExBoolControl(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                              int msgZeroVal, int sysexIndex, int changingByte, int part, LinkInfo link,
                              ControlLayer* layer, std::string group);
  void createControlDisplay(std::string name, int paramIdx, int x, int y, int width, int height, int part,
                            ControlLayer* layer, std::string group, int displaySize, bool white);
  void createNameDisplay(std::string name, int paramIdx, int x, int y, int width, int height, int maxLength, int part,
                         ControlLayer* layer, std::string group);
  void createDropDownMenu(std::string name, int paramIdx, int x, int y, int width, int height, int part,
                          ControlLayer* layer, std::string group);
  void createDropDownMenu2(std::string name, int paramIdx, int x, int y, int width, int height, double defaultValue,
                           double minimum, double maximum, std::vector<std::string> texts, int part,
                           ControlLayer* layer, std::string group);
  void createMIDIDeviceSelectionControl(std::string name, int paramIdx, int x, int y, int width, int height,
                                        int input, int part, ControlLayer* layer, std::string group);
  void createNoValDropDown(std::string name, int paramIdx, int x, int y, int width, int height, double defaultValue,
                           double minimum, double maximum, int first, int last, int visible,
                           std::vector<std::string> texts, int part, ControlLayer* layer, std::string group,
                           bool white);
  void createMultiSelectionCCControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y,
                                     int width, int height, double defaultValue, double minimum, double maximum,
                                     int first, int last, std::vector<std::string> texts, int part,
                                     ControlLayer* layer, std::string group, bool white);
  void createMultiSelectionSysExControl(std::string name, int paramIdx, int x, int y, int width, int height,
                                        double defaultValue, double minimum, double maximum, int first, int last,
                                        std::vector<std::string> texts, int msgZeroVal, int color, int sysexIndex,
                                        int changingByte, int part, ControlLayer* layer, std::string group,
                                        bool white);

  // MSB/LSB-addressed controls (MsbLsbFactories.cpp).
  void createMsbLsbKnobControl(int number1, int number2, int number3, int number4, int channel, std::string name,
                               int paramIdx, int x, int y, std::string image, double defaultValue, double minimum,
                               double maximum, double unused, LinkInfo link, int part, ControlLayer* layer,
                               std::string group);
  void createMsbLsbBoolControl(int number1, int number2, int number3, int number4, int channel, std::string name,
                               int paramIdx, int x, int y, std::string image, double defaultValue, double offValue,
                               double onValue, LinkInfo link, int part, ControlLayer* layer, std::string group);
  void createMsbLsbSelectionCCControl(int number1, int number2, int number3, int number4, int channel,
                                      std::string name, int paramIdx, int x, int y, int width, int height,
                                      double defaultValue, double minimum, double maximum, int first, int last,
                                      std::vector<std::string> texts, int part, ControlLayer* layer,
                                      std::string group);

  // ---- The image table (UIConfigImages.cpp).
  void initImages(IGraphics* graphics);
  void preloadImage(IGraphics* graphics, int id, const char* key, const char* path, int frames,
                    bool framesHorizontal);
  // Gives back this instance's hold on the table's bitmaps. Once only.
  void ClearImageCache();
  // The bitmap of an image key; an empty one-frame bitmap (and a log line)
  // for a key not in the table.
  IBitmap getImageByName(IGraphics* graphics, std::string key);

  std::vector<SysExContainer>& sysexDefinitions() { return sysexContainers; }
  bool debugLogOn() const;
  // Writes a line when the plug-in's debug log is on.
  void log(const std::string& line);

  std::map<std::string, ImageInfo> imageMap;
  std::map<std::string, int> paramNameMap;
  std::map<std::string, ControlLayer*> layerMap;  // not owned
  ValueLists valueLists;
  double uiScale = 0.0;
  int uiStyle = 0;
  std::vector<SysExContainer> sysexContainers;
  std::string groupText;
  IGraphics* graphics = nullptr;
  Tarnivex* plug = nullptr;
  DebuggerOutput* debuggerOutput = nullptr;
  PatchLibrarian* librarian = nullptr;
  IControl* patchBrowser = nullptr;  // owned by the layer or graphics it is attached to
  bool clearingImageCache = false;
  // The incoming-message indexes: controller (channel, number, global flag),
  // MSB/LSB and SysEx. Filled while the document is read, read-only after.
  ControllerIndex ccControls;
  NRPNControlContainer nrpnControls;
  SysExControlContainer sysexControls;

 private:
  // The plain text of a bundle resource; empty when it cannot be loaded.
  std::string loadResource(int resourceId, const char* fileName);
  // The element steps of the walk (UIConfigWalk.cpp).
  void processPage(tinyxml2::XMLElement* element, ControlLayer* layer, int part);
  void processMultilayer(tinyxml2::XMLElement* element, ControlLayer* layer, int part);
  // The attached page, or null when there is nowhere to attach it.
  ControlLayer* attachLayer(std::unique_ptr<ControlLayer> page, ControlLayer* parent);
  void attachControl(std::unique_ptr<IControl> control, ControlLayer* layer);
  bool processControlElement(tinyxml2::XMLElement* element, ControlLayer* layer, int part, int paramIdx);

  // ---- Shared steps of the factories (FactorySupport.cpp, ControlElements.cpp).
  IParam* factoryParam(int paramIdx, const std::string& element);
  static std::string partName(int part, const std::string& name);
  int scaled(int value) const;
  IRECT scaledRect(int x, int y, int w, int h) const;
  IControl* attach(std::unique_ptr<IControl> control, ControlLayer* layer);
  ControlAction* bindControlAction(int paramIdx, int kind, IControl* control);
  // Prepares count messages from firstValue into the action and registers the
  // control under their keys; nothing (and a log line) when the definition
  // cannot hold the value, part and key bytes.
  bool prepareSysEx(ControlAction* action, int sysexIndex, int changingByte, int count, int firstValue, int part,
                    int section, IControl* control, bool messagesOnly = false);
  textlooks::Text menuLook(bool white) const;
  // The text style of a kind of text at this size and scheme.
  IText textStyle(const textlooks::Text& look) const;
  // The parameter, name and scaled knob every part knob shares; null when the parameter is missing.
  IControl* createPartKnob(const char* kind, const std::string& name, int paramIdx, int x, int y,
                           const std::string& image, double defaultValue, double minimum, double maximum, double step,
                           int part, ControlLayer* layer, const std::string& group);
  // The enumerated parameter and caption control every sending menu shares; null when nothing was built.
  IControl* createSelectionMenu(const char* kind, const std::string& name, int paramIdx, int x, int y, int width,
                                int height, double defaultValue, double minimum, double maximum, int first, int last,
                                const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                const std::string& group, const textlooks::Text& look);
  void processControlGroup(tinyxml2::XMLElement* element, ControlLayer* layer, int part, int index,
                           const std::string& image, const std::string& group, int channel);

  // What a control group element says apart from its part. A multilayer
  // walks its elements once per copy, so while copies are being built each
  // element is read once and its values kept.
  struct GroupAttributes {
    std::string type, name, biDirectLink, listName;
    int position[4] = {0, 0, 0, 0};
    int valueBounds[4] = {0, 0, 0, 0};
    int length = 0, changingByte = 0, first = -1, last = -1, ccNumber = 0, sysexIndex = 0, msgZeroVal = 0, color = 0;
    bool white = false;
  };
  const GroupAttributes& groupAttributes(const tinyxml2::XMLElement* element, GroupAttributes& scratch);
  int mCopyDepth = 0;
  std::unordered_map<const tinyxml2::XMLElement*, GroupAttributes> mCopyAttributes;

  // Actions hang on the parameters for the plug-in's life; the manager, made
  // and destroyed with the plug-in, keeps them.
  std::vector<std::unique_ptr<ControlAction>> mActions;
  bool mImagesHeld = false;
};
