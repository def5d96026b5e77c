// Which controls show each parameter, for the graphics context: a value from
// the plug-in goes straight to them instead of a search of the whole control
// list and every layer tree, which at start-up and on every patch received
// runs once for each of thousands of parameters.
#pragma once

#include <algorithm>
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

  // Room for the parameters 0 .. count - 1 without growing.
  void reserve(int count) {
    if (count > 0) mFirst.reserve(size_t(std::min(count, kDirect)));
  }
  void clear() {
    mFirst.clear();
    mMore.clear();
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
      if (paramIdx >= static_cast<int>(mFirst.size())) return;
      const Link& first = mFirst[size_t(paramIdx)];
      if (!first.control) return;
      for (const Link* link = &first;; link = &mMore[size_t(link->next)]) {
        f(link->binding());
        if (link->next < 0) break;
      }
      return;
    }
    for (const auto& [idx, b] : mFar)
      if (idx == paramIdx) f(b);
  }

 private:
  // Indices up to here get a slot each; a control bound beyond (no parameter
  // list is that long) is kept in a plain list.
  static constexpr int kDirect = 1 << 16;

  // Nearly every parameter has one control or none: its first binding is held
  // in its slot, any further ones in one shared list, linked on from there.
  struct Link {
    IControl* control = nullptr;  // none: the parameter has no control
    int auxIndex = -1;
    int next : 31 = -1;  // in mMore
    bool inLayer : 1 = false;

    Link() = default;
    Link(const Binding& b, int following) : control(b.control), auxIndex(b.auxIndex), next(following), inLayer(b.inLayer) {}
    Binding binding() const { return {control, auxIndex, inLayer}; }
  };

  void add(IControl* control, bool inLayer);
  void bind(int paramIdx, Binding binding);

  std::vector<Link> mFirst;
  std::vector<Link> mMore;
  std::vector<std::pair<int, Binding>> mFar;
};
