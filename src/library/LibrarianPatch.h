// One bank entry: its dumps (the first is the entry itself), name and category.
#pragma once

#include <string>
#include <vector>

#include "PatchSysexMessage.h"

struct LibrarianPatch {
  int typeCode = 0;
  std::string name;
  std::string category;
  std::vector<PatchSysexMessage> dumps;

  bool empty() const { return dumps.empty(); }
  void clear() {
    dumps.clear();
    name.clear();
    category.clear();
  }
};
