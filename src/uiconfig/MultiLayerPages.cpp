// Sub-page selection inside one part's copy of a page. Sub-layer ids come in
// bands of ten (one band per switch, one id per alternative); ids up to 9 are
// free sub-layers that any band switch hides.
#include "ControlLayer.h"

namespace {
enum class Band { kNone, kOneOf, kAllShown };

struct Affected {
  Band band = Band::kNone;
  bool (*covers)(int n, int id) = nullptr;
};

bool freeLayer(int id) { return id <= 9; }

Affected affectedBy(int n) {
  if (n < 10 || n == 109 || n == 119 || n == 299) return {};
  if (n <= 19) return {Band::kOneOf, [](int, int id) { return id <= 19 || (id >= 70 && id <= 299); }};
  if (n <= 108)
    return {Band::kOneOf, [](int n, int id) {
              const int base = n / 10 * 10;
              return freeLayer(id) || (id >= base && id <= base + 9) || (id >= 120 && id <= 299);
            }};
  if (n <= 118) return {Band::kOneOf, [](int, int id) { return freeLayer(id) || (id >= 110 && id <= 119); }};
  if (n <= 298) return {Band::kAllShown, [](int, int id) { return freeLayer(id) || (id >= 120 && id <= 299); }};
  return {Band::kOneOf, [](int, int id) { return freeLayer(id) || id >= 300; }};
}
}  // namespace

void ControlLayer::showMultiLayers(int n) {
  selectedNumber = n;
  const Affected affected = affectedBy(n);
  if (affected.band == Band::kNone) return;
  for (const auto& layer : subLayers()) {
    const int id = layer->GetID();
    if (!affected.covers(n, id)) continue;
    layer->Hide(affected.band == Band::kAllShown ? false : id != n);
  }
}
