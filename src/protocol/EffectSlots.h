// Which named effect parameters share each numbered effect slot of a part.
// The dump carries the numbered slots; the editor shows the named ones.
#pragma once

#include <span>

struct EffectSlot {
  int slot;                 // numbered slot block base (kEffect1Param01 ...)
  std::span<const int> named;  // named parameter block bases, in fan-out order
};

std::span<const EffectSlot> fx1Slots();
std::span<const EffectSlot> fx2Slots();
// The named views of a numbered slot block, empty for any other block.
std::span<const int> effectViewsOfSlot(int slotBase);
// The numbered slot block a named parameter block occupies in the given
// table, or -1.
int effectSlotOfNamed(std::span<const EffectSlot> table, int namedBase);
