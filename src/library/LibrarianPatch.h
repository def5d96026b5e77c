// One bank entry: its dumps (the first is the entry itself), name and category.
#pragma once

#include <string>
#include <vector>

#include "PatchSysexMessage.h"

// Type codes of an entry.
enum : int {
  kSoundFromFile = 0,
  kInitSoundFill = 1,
  kMultiFromFile = 3,
  kInitMultiFill = 4,
};

struct LibrarianPatch {
  int typeCode = 0;
  std::string name;      // 16 bytes of the dump, NULs kept
  std::string category;  // 4 bytes of a sound dump, NULs kept; empty for a multi
  std::vector<PatchSysexMessage> dumps;

  bool empty() const { return dumps.empty(); }
  void clear() {
    dumps.clear();
    name.clear();
    category.clear();
  }
  // Appends bytes offset..offset+3 of the first dump to the category (what
  // the dump holds of them).
  void parseCategory(int offset);
};

// A text as categories compare: up to its first zero byte.
std::string untilNul(const std::string& text);
// "A" to "Z" as "a" to "z", every other byte as it is.
std::string asciiLower(std::string text);
