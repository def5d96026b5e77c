// Which controls show each parameter, for the graphics context: a value from
// the plug-in goes straight to them instead of a search of the whole control
// list and every layer tree, which at start-up and on every patch received
// runs once for each of thousands of parameters.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

class ControlLayer;
class IControl;

class ParamControlIndex {
 public:
  struct Binding {
    IControl* control;  // not owned
    int auxIndex;       // -1: the parameter is the control's own
    bool inLayer;
  };

  void clear() {
    mBindings.clear();
    mFar.clear();
  }
  // A control of the graphics context's own list goes before every layer's,
  // as a walk of the list and then the layer trees meets them.
  void addListControl(IControl* control) { add(control, false); }
  void addLayerControl(IControl* control) { add(control, true); }
  // The layer's controls, then its sub-layers', depth first.
  void addTree(const ControlLayer& layer);

  // Calls f(binding) for every binding of the parameter, in order.
  template <class F>
  void forEach(int paramIdx, F f) const {
    if (paramIdx < 0) return;
    if (paramIdx < kDirect) {
      if (paramIdx < static_cast<int>(mBindings.size()))
        for (const Binding& b : mBindings[size_t(paramIdx)]) f(b);
      return;
    }
    for (const auto& [idx, b] : mFar)
      if (idx == paramIdx) f(b);
  }

 private:
  // Indices up to here get a slot each; a control bound beyond (no parameter
  // list is that long) is kept in a plain list.
  static constexpr int kDirect = 1 << 16;

  void add(IControl* control, bool inLayer);
  void bind(int paramIdx, Binding binding);

  std::vector<std::vector<Binding>> mBindings;
  std::vector<std::pair<int, Binding>> mFar;
};
