// Until the graphics context offers top-level layers and the bitmap cache,
// the document's layers and the image table are not built.
#include "UIConfigManager.h"

void UIConfigManager::processXMLElement(tinyxml2::XMLNode*, ControlLayer*, int) {}
void UIConfigManager::initImages(IGraphics*) {}
