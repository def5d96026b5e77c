// An edit of a named effect parameter is copied into the numbered slot it
// occupies, since the dump carries only the numbered slots.
#include <algorithm>

#include "EditorServices.h"
#include "EffectSlots.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"

namespace {
void mirror(EditorServices* plug, std::span<const EffectSlot> table, int paramIdx, int value) {
  for (const EffectSlot& row : table)
    for (int named : row.named) {
      if (paramIdx < named || paramIdx >= named + kParamBlockSpan) continue;
      IParam* target = plug->paramAt(row.slot + (paramIdx - named));
      if (!target) return;
      const double v = value;
      // Written into the parameter alone: no redraw, no handler, no send.
      target->Set(v < target->GetMin() ? target->GetMin() : std::min(v, target->GetMax()));
      return;
    }
}
}  // namespace

void MIDIMessageManager::SetFX1ParameterChangesToDefaultParameters(int paramIdx, int value) {
  mirror(plug, fx1Slots(), paramIdx, value);
}

void MIDIMessageManager::SetFX2ParameterChangesToDefaultParameters(int paramIdx, int value) {
  mirror(plug, fx2Slots(), paramIdx, value);
}
