// The plug-in as a musician meets it: the bundle's GUI document in a
// headless window, driven by clicks, drags, menu picks and typing, with a
// data folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "DataFolder.h"
#include "Fill.h"
#include "EditorView.h"
#include "ICustomRadioButtonsControl.h"
#include "IControl.h"
#include "IGraphicsLinux.h"
#include "LibrarianViewControl.h"
#include "RunDataFolder.h"
#include "Tarnivex.h"

// Tests of one program run side by side: each gets a data folder of its own
// (with an empty "Patches"), and the bundle's resources.
class OwnDataFolder {
 public:
  OwnDataFolder() {
    mRoot = testDataFolder();
    setenv("XDG_DATA_HOME", mRoot.c_str(), 1);
    std::filesystem::remove_all(getDataFolder());
    std::filesystem::create_directories(getPatchesFolderStr());
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  }
  ~OwnDataFolder() {
    unsetenv("TARNIVEX_RESOURCE_DIR");
    std::error_code error;
    std::filesystem::remove_all(mRoot, error);
  }
  OwnDataFolder(const OwnDataFolder&) = delete;
  OwnDataFolder& operator=(const OwnDataFolder&) = delete;

 private:
  std::string mRoot;
};

class EditorWindowDriver {
 public:
  // Opens the plug-in's window (headless).
  explicit EditorWindowDriver(Tarnivex& plug) : mPlug(plug) {
    EXPECT_NE(gui()->OpenWindow(&mParent), nullptr);
  }

  IGraphicsLinux* gui() const { return static_cast<IGraphicsLinux*>(mPlug.GetGUI()); }
  HeadlessView& view() const { return *dynamic_cast<HeadlessView*>(gui()->GetView()); }

  void click(int x, int y, bool right = false) {
    IMouseMod mod(!right, right);
    gui()->OnMouseDown(x, y, &mod);
    gui()->OnMouseUp(x, y, &mod);
  }
  void click(const IRECT& r, bool right = false) { click((r.L + r.R) / 2, (r.T + r.B) / 2, right); }
  // Presses at the first point, moves through the others and lets go at the last.
  void drag(const std::vector<std::pair<int, int>>& path) {
    IMouseMod mod(true, false);
    gui()->OnMouseDown(path.front().first, path.front().second, &mod);
    for (size_t i = 1; i < path.size(); ++i) gui()->OnMouseDrag(path[i].first, path[i].second, &mod);
    gui()->OnMouseUp(path.back().first, path.back().second, &mod);
  }
  // Button n of the radio buttons bound to the parameter (page and part tabs).
  void clickTab(int param, int button) {
    auto* tabs = dynamic_cast<ICustomRadioButtonsControl*>(mPlug.firstControlOf(param));
    ASSERT_NE(tabs, nullptr) << "no tabs for parameter " << param;
    ASSERT_LT(static_cast<size_t>(button), tabs->ButtonRects().size());
    click(tabs->ButtonRects()[static_cast<size_t>(button)]);
  }
  // Clicks the control at r, which opens a menu, and picks the entry at the
  // path of item indices (separators count).
  void pickFromMenu(const IRECT& r, std::vector<int> path, bool right = false) {
    view().ScriptMenuChoice(std::move(path));
    click(r, right);
  }
  // Clicks the control at r, which opens a text entry, and types text into it.
  void type(const IRECT& r, const std::string& text) {
    view().ScriptTextEntry(text);
    click(r);
  }

  // Draws the whole window.
  void draw() {
    IRECT all(0, 0, gui()->Width(), gui()->Height());
    gui()->Draw(&all);
  }
  // The colour drawn at a point, as 0xRRGGBB.
  int colourAt(int x, int y) const { return LICE_ToRRGGBB(LICE_GetPixel(gui()->GetDrawBitmap(), x, y)); }

  // ---- The librarian page's slot view.
  LibrarianViewControl& slots() const { return *mPlug.librarianView(); }
  IRECT slot(int pane, int index) const {
    const SlotBox& b = slots().grid().box(pane, index);
    return IRECT(b.L, b.T, b.R, b.B);
  }

 private:
  Tarnivex& mPlug;
  int mParent = 0;
};
