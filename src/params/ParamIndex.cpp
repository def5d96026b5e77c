#include "ParamIndex.h"

#include <array>
#include <string_view>

namespace {
// Owner of every index, built once from the name table.
struct IndexOwners {
  std::array<short, kParamCount> owner{};

  IndexOwners() {
    owner.fill(-1);
    for (std::size_t e = 0; e < kParamNameCount; ++e) {
      const ParamNameEntry& entry = kParamNameTable[e];
      const std::string_view name(entry.name);
      if (name == "kNumAutomatedParams" || name == "kNumNonAutomatedParams") continue;
      for (int i = entry.index; i < entry.index + entry.span; ++i) owner[i] = static_cast<short>(e);
    }
  }
};
}  // namespace

const ParamNameEntry* FindParamEntry(int idx) {
  static const IndexOwners owners;
  if (idx < 0 || idx >= kParamCount) return nullptr;
  const short e = owners.owner[idx];
  return e < 0 ? nullptr : &kParamNameTable[e];
}
