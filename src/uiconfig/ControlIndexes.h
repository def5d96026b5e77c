// The indexes that lead an incoming message to the control showing its
// parameter: nested ordered maps, exact match at every level.
#pragma once

#include <map>

#include "ControlAction.h"
#include "FlatMap.h"

class IControl;

using ccControlMap = FlatMap<int, IControl*>;
using controlID3 = FlatMap<int, ccControlMap>;
using controlID2 = FlatMap<int, controlID3>;
using controlID1 = FlatMap<int, controlID2>;

namespace control_index {
// The entry under key, or null; never creates one.
template <class Map>
const typename Map::mapped_type* at(const Map* map, int key) {
  if (!map) return nullptr;
  const auto it = map->find(key);
  return it == map->end() ? nullptr : &it->second;
}

template <class Map>
IControl* find5(const Map& map, int k1, int k2, int k3, int k4, int k5) {
  const auto* leaf = at(at(at(at(at(&map, k1), k2), k3), k4), k5);
  return leaf ? *leaf : nullptr;
}
}  // namespace control_index

// Four address bytes of a parameter message and a section number.
class SysExControlContainer {
 public:
  void addToControlMap(const unsigned char* keyBytes, unsigned char section, IControl* control) {
    controls[keyBytes[0]][keyBytes[1]][keyBytes[2]][keyBytes[3]][section] = control;
  }
  IControl* findControl(int k1, int k2, int k3, int k4, int k5) const {
    return control_index::find5(controls, k1, k2, k3, k4, k5);
  }
  FlatMap<int, controlID1> controls;
};

// The same shape, for MSB/LSB addressed controls.
class NRPNControlContainer {
 public:
  void add(int k1, int k2, int k3, int k4, int k5, IControl* control) { controls[k1][k2][k3][k4][k5] = control; }
  // Keyed by the action's channel, its three address numbers and its global flag.
  void addToControlMap(const ControlAction* action, IControl* control);
  IControl* findControl(int k1, int k2, int k3, int k4, int k5) const {
    return control_index::find5(controls, k1, k2, k3, k4, k5);
  }
  FlatMap<int, controlID1> controls;
};

inline void NRPNControlContainer::addToControlMap(const ControlAction* action, IControl* control) {
  if (action)
    add(action->channel, action->msbLsbAddress[0], action->msbLsbAddress[1], action->msbLsbAddress[2],
        action->globalFlag, control);
}

// Channel 1..16, controller number, global flag.
using ControllerIndex = FlatMap<int, controlID3>;
// Three integer keys to an int.
using ProgramValueMap = std::map<int, std::map<int, std::map<int, int>>>;
