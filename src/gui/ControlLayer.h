// One node of the control-layer tree: its controls, its sub-layers and the
// selected sub-layer, the one shown again when the layer is shown. The
// layer owns what is attached to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "IControl.h"

class ControlLayer {
 public:
  ControlLayer(int id, std::string name) : mId(id), mName(std::move(name)) {}
  ControlLayer(const ControlLayer&) = delete;
  ControlLayer& operator=(const ControlLayer&) = delete;

  int GetID() const { return mId; }
  const std::string& GetName() const { return mName; }
  bool IsHidden() const { return mHidden; }
  int selectedNumber = 0;

  // Hiding hides every sub-layer; showing shows only the selected one.
  void Hide(bool hide) {
    mHidden = hide;
    for (auto& control : mControls) control->Hide(hide);
    for (auto& layer : mLayers) layer->Hide(hide || layer->GetID() != selectedNumber);
  }
  // Selects sub-page n among the sub-layers of n's band of ids.
  void showMultiLayers(int n);
  void AttachControl(std::unique_ptr<IControl> control) { mControls.push_back(std::move(control)); }
  ControlLayer* AttachLayer(std::unique_ptr<ControlLayer> layer) {
    mLayers.push_back(std::move(layer));
    return mLayers.back().get();
  }
  const std::vector<std::unique_ptr<ControlLayer>>& subLayers() const { return mLayers; }
  const std::vector<std::unique_ptr<IControl>>& controls() const { return mControls; }

 private:
  int mId;
  std::string mName;
  bool mHidden = false;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::vector<std::unique_ptr<ControlLayer>> mLayers;
};
