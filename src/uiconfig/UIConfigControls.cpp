// The control elements of the GUI document: each is parsed here and handed
// to its factory. Elements without a factory yet are passed over.
#include <tinyxml2.h>

#include <cstring>

#include "IControls.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"

bool UIConfigManager::processControlElement(tinyxml2::XMLElement* element, ControlLayer* layer, int part,
                                            int paramIdx) {
  (void)part;
  (void)paramIdx;
  const char* name = element->Name();
  if (std::strcmp(name, "background") == 0) {
    const char* key = element->Attribute("imageId");
    IBitmap bitmap = getImageByName(graphics, key ? key : "");
    int position[2] = {0, 0};
    const char* text = element->Attribute("position");
    getCSValues(text ? text : "", position, 2);
    // The bitmap is at UI scale already; only its place is scaled.
    attachControl(std::make_unique<IBitmapControl>(plug, static_cast<int>(position[0] * uiScale),
                                                   static_cast<int>(position[1] * uiScale), -1, &bitmap),
                  layer);
    return true;
  }
  return false;
}
