// The filter link: moves a linked partner parameter along with an edit. The
// rule comes with the GUI configuration; until then nothing is linked.
#pragma once

#include "ControlAction.h"

class Tarnivex;

class LinkManager {
 public:
  virtual ~LinkManager() = default;
  virtual void controlLinker(Tarnivex*, ControlAction*, LinkInfo, int /*index*/, int /*intValue*/,
                             double /*value*/) {}
};
