// Brings the editor's pages in line with the two tab selectors: the main tab
// (which page is open) and the part tab (which of the sixteen parts the pages
// show), including the sub-pages that the part's own settings decide.
#pragma once

class ControlLayer;
class Tarnivex;

class TabSwitchFunctions {
 public:
  virtual ~TabSwitchFunctions() = default;
  // index is kQuickTab; mainTab is the stored main tab (not needed).
  virtual void quickTabSwitch(Tarnivex* plug, int index, int part, int mainTab, bool send);
  // index is kMainTab; currentTab is the stored main tab (not needed).
  virtual void mainTabSwitch(Tarnivex* plug, int index, int tab, int currentTab, int part);
  // The top bar's bank and program selector: the multi's in multi mode, else
  // the part's; the others hidden.
  void showTopBar(Tarnivex* plug, int part);

 private:
  enum class Variant { kMainTab, kPartTab };
  void refreshPage(Tarnivex* plug, int tab, int part, Variant variant);
  void refreshLibrarian(Tarnivex* plug, int part, Variant variant);
  void refreshOscillators(Tarnivex* plug, int part);
  void refreshFiltersEnvelopes(Tarnivex* plug, int part, Variant variant);
  void refreshLFOs(Tarnivex* plug, int part);
  void refreshEffects(Tarnivex* plug, int part, Variant variant);
  void showBankAndProgram(Tarnivex* plug, int part);
  void refreshNames(Tarnivex* plug, int part);
  // The sub-layer of page at list position = its selected id: the copy of
  // the page for the part it shows. Null when there is none.
  static ControlLayer* copyOf(ControlLayer* page);
};
