// The UI configuration manager: reads the SysEx definitions, the image table,
// the parameter name table and the GUI configuration document at start-up,
// builds the layer tree and the controls the document declares, and keeps
// what the rest of the editor looks up afterwards: the layer map, the value
// lists, the SysEx definitions and the three incoming-message indexes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "BlockPool.h"
#include "ControlAction.h"
#include "ControlIndexes.h"
#include "CopyOnWrite.h"
#include "IGraphicsStructs.h"
#include "IParam.h"
#include "ParamTextMemo.h"
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
class PatchLibrarian;
class SharedSysExDefinitions;
class Tarnivex;
struct UIDocument;
struct UIElement;
struct UILinkRef;
struct UINameRef;
struct UIParamRef;

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
  void mapParamToString(const std::string& name, int index);
  void decrypt(const char* data, int length, std::string& text);
  void readReasources(tinyxml2::XMLDocument* document);

  // ---- The document walk (UIConfigWalk.cpp). The document is read once per
  // process into its shared form (UIDocument.h); the walk builds this
  // instance's pages and controls from that. processXMLElement walks node and
  // its following siblings.
  void processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part);
  // The shared form this instance was built from; null before readUIConfig.
  const std::shared_ptr<const UIDocument>& document() const { return mDocument; }
  // The parameter an element's "paramId" names for the given part; -1 for none.
  int resolveParamReference(const std::string& text, int part);

  // ---- Attribute readers (AttributeReaders.cpp).
  // -1 for a name not in the table (and a log line).
  int getParamByName(const std::string& name);
  // "Part n[:group]" for a part, the group itself otherwise; valid until the next call.
  const char* getParamGroup(int part, const std::string& group);
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
  void createNoValKnobControl(const std::string& name, int paramIdx, int x, int y, const std::string& image, double defaultValue,
                              double minimum, double maximum, double unused, int part, ControlLayer* layer,
                              const std::string& group);
  void createCCKnobControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y, const std::string& image,
                           double defaultValue, double minimum, double maximum, double step, LinkInfo link, int part,
                           ControlLayer* layer, const std::string& group);
  void createSysExKnobControl(const std::string& name, int paramIdx, int x, int y, const std::string& image, double defaultValue,
                              double minimum, double maximum, double unused, int msgZeroVal, int sysexIndex,
                              int changingByte, int part, LinkInfo link, ControlLayer* layer, const std::string& group);
  void createCCSliderControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y, int length,
                             const std::string& image, double defaultValue, double minimum, double maximum, LinkInfo link,
                             int part, ControlLayer* layer, const std::string& group, EDirection direction, bool unused);
  void createSysExSliderControl(const std::string& name, int paramIdx, int x, int y, int length, const std::string& image,
                                double defaultValue, double minimum, double maximum, double unused, int msgZeroVal,
                                int sysexIndex, int changingByte, int part, LinkInfo link, ControlLayer* layer,
                                const std::string& group, EDirection direction, bool unusedFlag);
  void createBoolControl(const std::string& name, int paramIdx, int defaultValue, int x, int y, const std::string& image, int part,
                         ControlLayer* layer, const std::string& group);
  void createSwitchControl(const std::string& name, int paramIdx, int defaultValue, int x, int y, const std::string& image,
                           int part, ControlLayer* layer, const std::string& group);
  IControl* createAutoOffSwitchControl(const std::string& name, int paramIdx, int x, int y, const std::string& image, int part,
                                       ControlLayer* layer, const std::string& group);
  void createRadioControl(const std::string& name, int paramIdx, int x, int y, const std::string& image, int buttons, int part,
                          ControlLayer* layer, const std::string& group, bool horizontal);
  void createCCBoolControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y, const std::string& image,
                           double defaultValue, double offValue, double onValue, LinkInfo link, int part,
                           ControlLayer* layer, const std::string& group);
  void createSysExBoolControl(const std::string& name, int paramIdx, int x, int y, const std::string& image, double defaultValue,
                              int msgZeroVal, int sysexIndex, int changingByte, int part, LinkInfo link,
                              ControlLayer* layer, const std::string& group);
  void createControlDisplay(const std::string& name, int paramIdx, int x, int y, int width, int height, int part,
                            ControlLayer* layer, const std::string& group, int displaySize, bool white);
  void createNameDisplay(const std::string& name, int paramIdx, int x, int y, int width, int height, int maxLength, int part,
                         ControlLayer* layer, const std::string& group);
  void createDropDownMenu(const std::string& name, int paramIdx, int x, int y, int width, int height, int part,
                          ControlLayer* layer, const std::string& group);
  void createDropDownMenu2(const std::string& name, int paramIdx, int x, int y, int width, int height, double defaultValue,
                           double minimum, double maximum, const std::vector<std::string>& texts, int part,
                           ControlLayer* layer, const std::string& group);
  void createMIDIDeviceSelectionControl(const std::string& name, int paramIdx, int x, int y, int width, int height,
                                        int input, int part, ControlLayer* layer, const std::string& group);
  void createNoValDropDown(const std::string& name, int paramIdx, int x, int y, int width, int height, double defaultValue,
                           double minimum, double maximum, int first, int last, int visible,
                           const std::vector<std::string>& texts, int part, ControlLayer* layer, const std::string& group,
                           bool white);
  void createMultiSelectionCCControl(int ccNumber, int channel, const std::string& name, int paramIdx, int x, int y,
                                     int width, int height, double defaultValue, double minimum, double maximum,
                                     int first, int last, const std::vector<std::string>& texts, int part,
                                     ControlLayer* layer, const std::string& group, bool white);
  void createMultiSelectionSysExControl(const std::string& name, int paramIdx, int x, int y, int width, int height,
                                        double defaultValue, double minimum, double maximum, int first, int last,
                                        const std::vector<std::string>& texts, int msgZeroVal, int color, int sysexIndex,
                                        int changingByte, int part, ControlLayer* layer, const std::string& group,
                                        bool white);

  // MSB/LSB-addressed controls (MsbLsbFactories.cpp).
  void createMsbLsbKnobControl(int number1, int number2, int number3, int number4, int channel, const std::string& name,
                               int paramIdx, int x, int y, const std::string& image, double defaultValue, double minimum,
                               double maximum, double unused, LinkInfo link, int part, ControlLayer* layer,
                               const std::string& group);
  void createMsbLsbBoolControl(int number1, int number2, int number3, int number4, int channel, const std::string& name,
                               int paramIdx, int x, int y, const std::string& image, double defaultValue, double offValue,
                               double onValue, LinkInfo link, int part, ControlLayer* layer, const std::string& group);
  void createMsbLsbSelectionCCControl(int number1, int number2, int number3, int number4, int channel,
                                      const std::string& name, int paramIdx, int x, int y, int width, int height,
                                      double defaultValue, double minimum, double maximum, int first, int last,
                                      const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                      const std::string& group);

  // ---- The image table (UIConfigImages.cpp).
  void initImages(IGraphics* graphics);
  void preloadImage(IGraphics* graphics, int id, const char* key, const char* path, int frames,
                    bool framesHorizontal);
  // Gives back this instance's hold on the table's bitmaps. Once only.
  void ClearImageCache();
  // The bitmap of an image key; an empty one-frame bitmap (and a log line)
  // for a key not in the table.
  IBitmap getImageByName(IGraphics* graphics, std::string key);
  // The same as a control takes it: size and frames now, the pixels decoded
  // when it is first drawn.
  IBitmap getImageHandleByName(IGraphics* graphics, const std::string& key);

  const std::vector<SysExContainer>& sysexDefinitions() const { return sysexContainers; }
  bool debugLogOn() const;
  // Writes a line when the plug-in's debug log is on.
  void log(const std::string& line);

  std::map<std::string, ImageInfo> imageMap;
  // The name map, value lists and SysEx definitions are the process's shared
  // ones unless this instance changes them.
  CopyOnWrite<std::map<std::string, int>> paramNameMap;
  std::map<std::string, ControlLayer*> layerMap;  // not owned
  CopyOnWrite<ValueLists> valueLists;
  double uiScale = 0.0;
  int uiStyle = 0;
  CopyOnWrite<std::vector<SysExContainer>> sysexContainers;
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
  // What loads the enciphered bytes of a bundle resource through the graphics context; none without one.
  std::function<std::unique_ptr<unsigned char[]>(int& size)> resourceLoad(int resourceId, const char* fileName);
  // The element steps of the walk (UIConfigWalk.cpp), over elements [first, end) of a document.
  void walkElements(const UIDocument& document, size_t first, size_t end, ControlLayer* layer, int part);
  void processPage(const UIDocument& document, size_t at, ControlLayer* layer, int part);
  void processMultilayer(const UIDocument& document, size_t at, ControlLayer* layer, int part);
  // The attached page, or null when there is nowhere to attach it.
  ControlLayer* attachLayer(std::unique_ptr<ControlLayer> page, ControlLayer* parent);
  void attachControl(std::unique_ptr<IControl> control, ControlLayer* layer);
  bool processControlElement(const UIDocument& document, const UIElement& element, ControlLayer* layer, int part,
                             int paramIdx);
  void processControlGroup(const UIDocument& document, const UIElement& element, ControlLayer* layer, int part,
                           int index);
  // The element's parameter, name or link for this part, as the readers give
  // them (with their log lines); the names were looked up when the document was read.
  int paramIndexOf(const UIParamRef& ref, int part);
  int nameIndexOf(const UINameRef& ref);
  LinkInfo linkOf(const UILinkRef& ref, int part);
  // The texts of the element's "valueList" in this instance's lists.
  const std::vector<std::string>& valueListOf(const UIDocument& document, const UIElement& element) const;

  // ---- Shared steps of the factories (FactorySupport.cpp, ControlElements.cpp).
  // The parameter of an element of this kind and name (none for the kinds without);
  // null (and a log line) for an index that names no parameter.
  IParam* factoryParam(int paramIdx, const char* kind, const std::string* name = nullptr);
  // The name (formed from the element's name) and the group (as
  // getParamGroup gives it) of the parameter, as the shared texts the
  // parameter keeps; taken from the document's memo when this element was
  // built for this part before.
  param_texts::Texts paramTexts(int paramIdx, param_texts::Form form, const std::string& name, int part,
                                  const std::string& group);
  int scaled(int value) const;
  IRECT scaledRect(int x, int y, int w, int h) const;
  IControl* attach(std::unique_ptr<IControl> control, ControlLayer* layer);
  ControlAction* bindControlAction(int paramIdx, int kind, IControl* control);
  // Prepares count messages from firstValue into the action and registers the
  // control under their keys; nothing (and a log line) when the definition
  // cannot hold the value, part and key bytes.
  bool prepareSysEx(int paramIdx, ControlAction* action, int sysexIndex, int changingByte, int count, int firstValue,
                    int part, int section, IControl* control, bool messagesOnly = false);
  // The whole values of a document's bounds: the first (plus offset) and how
  // many, clamped to int however large the bounds are (a damaged document
  // may give any).
  struct ValueRange {
    int first = 0;
    int count = 0;
  };
  static ValueRange valueRange(double minimum, double maximum, int offset = 0);
  // The whole part of maximum - minimum, clamped to int: a menu's entry count.
  static int wholeSpan(double minimum, double maximum);
  textlooks::Text menuLook(bool white) const;
  // The text style of a kind of text at this size and scheme.
  IText textStyle(const textlooks::Text& look) const;
  // A list of this document's value lists as display texts, shared; any other as a list of its own.
  std::shared_ptr<const IParam::DisplayTextList> displayTextsOf(const std::vector<std::string>& texts) const;
  // The texts of count values: the list when it has exactly count entries, else
  // numbers from first (three digits for the part program menus); false when
  // neither applies.
  bool setMenuTexts(IParam* param, int paramIdx, int count, const std::vector<std::string>& list, int first,
                    int last) const;
  // The parameter, name and scaled knob every part knob shares; null when the parameter is missing.
  IControl* createPartKnob(const char* kind, const std::string& name, int paramIdx, int x, int y,
                           const std::string& image, double defaultValue, double minimum, double maximum, double step,
                           int part, ControlLayer* layer, const std::string& group);
  // The enumerated parameter and caption control every sending menu shares; null when nothing was built.
  IControl* createSelectionMenu(const char* kind, const std::string& name, int paramIdx, int x, int y, int width,
                                int height, double defaultValue, double minimum, double maximum, int first, int last,
                                const std::vector<std::string>& texts, int part, ControlLayer* layer,
                                const std::string& group, const textlooks::Text& look);
  std::shared_ptr<const UIDocument> mDocument;
  std::shared_ptr<const SharedSysExDefinitions> mSysEx;

  // Actions hang on the parameters for the plug-in's life; the manager, made
  // and destroyed with the plug-in, keeps them.
  BlockPool<ControlAction> mActions;
  std::vector<int> mActionParams;  // the parameter of each action, in the pool's order
  bool mImagesHeld = false;
  // The handles getImageHandleByName gave while the images are held.
  std::unordered_map<std::string, IBitmap> mImageHandles;
};
