// An instance with a library of 100 sounds and its window open, met by a
// fresh simulated instrument.
#pragma once

#include <cstdlib>
#include <optional>

#include "../library/LibraryTestSupport.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"

class LibraryWindowTest : public EditorTest {
 protected:
  LibraryWindowTest() {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
  }
  ~LibraryWindowTest() override {
    window.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }
  // A fresh instance with its window open and local control on; the
  // instrument starts anew.
  void freshWindow() {
    window.reset();
    freshMidiSystem();
    instrument.reset();
    instrumentSeen = 0;
    makePlug();
    window.emplace(*plug);
    setParam(kGlobalLocalControl, 1);
  }

  std::optional<EditorWindowDriver> window;
};
