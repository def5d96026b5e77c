// Where the editor keeps its files: the settings file, the debug log, the
// library folder "Patches" and "Converted Banks".
#pragma once

#include <string>

// "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor/" (XDG_DATA_HOME
// defaulting to ~/.local/share), with the trailing slash; a new string
// each call, so a changed environment is seen.
std::string getDataFolder();
// The data folder followed by "Patches".
std::string getPatchesFolderStr();
// The number of characters of that path.
int getPatchesFolderLength();
// The data folder followed by "Tarnivex Editor LOG.txt".
std::string getDebugLogPath();
// The data folder followed by "Tarnivex Editor UI.txt".
std::string getSettingsPath();
