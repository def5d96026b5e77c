#include "PatchManager.h"

Patch::Patch() { mNames.fill("INIT"); }

std::string Patch::name(int entry) const {
  if (entry < 0 || entry >= kNameCount) return {};
  std::lock_guard<std::mutex> lock(mNamesMutex);
  return mNames[static_cast<size_t>(entry)];
}

void Patch::setName(int entry, const std::string& text) {
  if (entry < 0 || entry >= kNameCount) return;
  std::lock_guard<std::mutex> lock(mNamesMutex);
  mNames[static_cast<size_t>(entry)] = text;
}
