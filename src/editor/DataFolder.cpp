#include "DataFolder.h"

#include <cstdlib>

namespace {
constexpr const char* kVendorFolder = "Kelmscroft/Zorozov Tarnivex Editor/";
constexpr const char* kPluginName = "Tarnivex Editor";
}  // namespace

std::string getDataFolder() {
  std::string root;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    root = xdg;
  } else {
    const char* home = std::getenv("HOME");
    root = std::string(home ? home : "") + "/.local/share";
  }
  if (root.empty() || root.back() != '/') root += '/';
  return root + kVendorFolder;
}

std::string getPatchesFolderStr() { return getDataFolder() + "Patches"; }

int getPatchesFolderLength() { return static_cast<int>(getPatchesFolderStr().size()); }

std::string getDebugLogPath() { return getDataFolder() + kPluginName + " LOG.txt"; }
std::string getSettingsPath() { return getDataFolder() + kPluginName + " UI.txt"; }
