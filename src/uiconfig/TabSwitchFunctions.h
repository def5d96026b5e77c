// Page switching of the editor window. The pages come with the GUI
// configuration; until then the switches change nothing.
#pragma once

class Tarnivex;

class TabSwitchFunctions {
 public:
  virtual ~TabSwitchFunctions() = default;
  virtual void quickTabSwitch(Tarnivex*, int /*index*/, int /*value*/, int /*model*/, bool /*flag*/) {}
  virtual void mainTabSwitch(Tarnivex*, int /*index*/, int /*value*/, int /*model*/, int /*part*/) {}
};
