// The eleven menu controls of the librarian screen, each alone on a control
// layer of its own, created hidden, in the order and with the names, ids and
// places the editor gives them. The plug-in attaches the layers to its
// graphics context after the library is loaded.
#pragma once

#include <memory>
#include <vector>

#include "ControlLayer.h"

class IPlugBase;
class LibrarianBrowser;

// Builds the controls, points the browser at them and hands over the layers.
std::vector<std::unique_ptr<ControlLayer>> makeLibrarianMenuLayers(IPlugBase* plug, LibrarianBrowser& browser,
                                                                   double scale);
