// The name and value display: writes the name of a changed parameter and a
// text for its value into the editor's two display texts.
#pragma once

#include <string>

#include "ControlDisplayHost.h"
#include "DisplayRules.h"

class ControlDisplay {
 public:
  // Shows the change of paramIdx unless start-up is unfinished, the index is
  // excluded, or currentPartOnly is set and the name's part number is not
  // the current part's. value is what the caller read; named lists pick
  // their text by the parameter's stored value.
  void controlDisplay(ControlDisplayHost* plugin, int paramIdx, double value, bool currentPartOnly);

  // printf "%.0f" of value.
  std::string getValueString(double value);
};

// The text of a kind for v (value truncated) and s (stored value truncated),
// without the bracketed number; empty where the kind has no text for v.
// value is the untruncated value, which the filter balance uses.
std::string formatDisplayKind(DisplayKind kind, const char* list, int v, int s, double value,
                              const ValueLists* lists);

// Truncation toward zero into the int range (NaN gives 0).
int truncToInt(double value);
