// Makes one parameter follow another. Each part's filter link switch couples
// every Filter 1 parameter with its Filter 2 twin, keeping the distance the
// two had when the link went on; any other parameter follows the partner
// its action's link names.
#pragma once

#include "ControlAction.h"

class Tarnivex;

class LinkManager {
 public:
  virtual ~LinkManager() = default;
  // value is the new value truncated; the double value is not needed.
  virtual void controlLinker(Tarnivex* plug, ControlAction* action, LinkInfo link, int index, int value,
                             double doubleValue);
};
