#include "ParamControlIndex.h"

#include <algorithm>

#include "ControlLayer.h"
#include "IControl.h"

void ParamControlIndex::addTree(const ControlLayer& layer) {
  for (const auto& control : layer.controls()) add(control.get(), true);
  for (const auto& sub : layer.subLayers()) addTree(*sub);
}

void ParamControlIndex::add(IControl* control, bool inLayer) {
  if (!control) return;
  bind(control->ParamIdx(), {control, -1, inLayer});
  // A parameter named twice among the auxiliary ones is told at the first.
  for (int i = 0; i < control->NAuxParams(); ++i) {
    const int paramIdx = control->GetAuxParam(i)->mParamIdx;
    if (control->AuxParamIdx(paramIdx) == i) bind(paramIdx, {control, i, inLayer});
  }
}

namespace {
// Layer bindings go last; a list binding goes before the first of them.
template <class List, class Item, class InLayer>
void insertInWalkOrder(List& list, Item item, bool inLayer, InLayer isInLayer) {
  if (inLayer) {
    list.push_back(item);
    return;
  }
  list.insert(std::find_if(list.begin(), list.end(), isInLayer), item);
}
}  // namespace

void ParamControlIndex::bind(int paramIdx, Binding binding) {
  if (paramIdx < 0) return;
  if (paramIdx >= kDirect) {
    insertInWalkOrder(mFar, std::pair{paramIdx, binding}, binding.inLayer,
                      [](const std::pair<int, Binding>& p) { return p.second.inLayer; });
    return;
  }
  if (paramIdx >= static_cast<int>(mFirst.size())) mFirst.resize(size_t(paramIdx) + 1);
  Link& first = mFirst[size_t(paramIdx)];
  if (!first.control) {
    first = Link(binding, -1);
    return;
  }
  // The binding goes after every one of its own kind: a list binding before
  // the first layer binding, a layer binding last.
  const int added = static_cast<int>(mMore.size());
  if (!binding.inLayer && first.inLayer) {
    // Before the first: that one moves on into the shared list.
    mMore.push_back(first);
    first = Link(binding, added);
    return;
  }
  Link* at = &first;
  while (at->next >= 0 && (binding.inLayer || !mMore[size_t(at->next)].inLayer)) at = &mMore[size_t(at->next)];
  const int next = at->next;
  at->next = added;  // at is written before mMore grows: it may live there
  mMore.emplace_back(binding, next);
}
