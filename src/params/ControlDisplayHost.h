// What the name and value display needs of the plug-in: its start-up and
// part state, its parameters, the value lists and the two display texts.
// The plug-in implements it; tests give their own.
#pragma once

#include "ValueLists.h"

class IParam;

class ControlDisplayHost {
 public:
  virtual bool displayStartupComplete() const = 0;
  virtual int displayCurrentPart() const = 0;
  virtual bool displayBlocksDAWProgramChange() const = 0;
  // Null outside the parameter list.
  virtual const IParam* displayParam(int idx) const = 0;
  // Null while the UI configuration has not been read.
  virtual const ValueLists* displayValueLists() const = 0;
  // Both do nothing while the display control does not exist.
  virtual void showParamName(const char* text) = 0;
  virtual void showParamValue(const char* text) = 0;

 protected:
  ~ControlDisplayHost() = default;
};
