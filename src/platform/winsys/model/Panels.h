// The platform's save and open panels and its alert panel, answered by
// scripted responders of the application instead of a user.
#pragma once

#include <string>
#include <vector>

#include "Window.h"

namespace winsys {

class SavePanel : public Panel {
 public:
  SavePanel() : Panel({0, 0, 400, 300}, kTitledWindowMask) {}
  bool takesAccessoryView() const override { return true; }
  // Runs the panel for a folder and a file name; 1 when the user confirmed.
  int runModalForDirectory(const std::string& dir, const std::string& file);

  std::vector<std::string> allowedFileTypes;
  bool canCreateDirectories = false;
  // What the run started with, and the paths the user chose.
  std::string directory, nameFieldValue;
  std::vector<std::string> filenames;
  int runs = 0;
};

class OpenPanel : public SavePanel {
 public:
  bool allowsMultipleSelection = false;
  bool canChooseFiles = true;
  bool canChooseDirectories = false;
  bool resolvesAliases = false;
};

struct Alert {
  std::string title, message;
  std::vector<std::string> buttons;  // default, alternate, other; empty ones left out
};

}  // namespace winsys
