// The read side of the incoming-message indexes: exact match at every
// level, nothing created by a lookup.
#include "Tarnivex.h"

#include "UIConfigManager.h"

IControl* Tarnivex::getSysexControl(int k1, int k2, int k3, int k4, int k5) {
  return uiConfigManager ? uiConfigManager->sysexControls.findControl(k1, k2, k3, k4, k5) : nullptr;
}

IControl* Tarnivex::getMsbLsbControl(int k1, int k2, int k3, int k4, int k5) {
  return uiConfigManager ? uiConfigManager->nrpnControls.findControl(k1, k2, k3, k4, k5) : nullptr;
}

IControl* Tarnivex::getCCControls(int k1, int k2, int k3) {
  if (!uiConfigManager) return nullptr;
  const auto* leaf =
      control_index::at(control_index::at(control_index::at(&uiConfigManager->ccControls, k1), k2), k3);
  return leaf ? *leaf : nullptr;
}

int Tarnivex::getProgramValueByParts(int k1, int k2, int k3) {
  const auto* leaf = control_index::at(control_index::at(control_index::at(&programValues, k1), k2), k3);
  return leaf ? *leaf : 0;
}

void Tarnivex::setProgramValueByParts(int k1, int k2, int k3, int value) { programValues[k1][k2][k3] = value; }
