// Where the plug-in's bundle lies on disk: TarnivexEditor/TarnivexEditor.so
// beside TarnivexEditor/resources/.
#pragma once

#include <string>

// The resources folder of the bundle that holds this code, or the folder
// named by TARNIVEX_RESOURCE_DIR when that is set. Empty when unknown.
std::string BundleResourceDirectory();

// The file of the bundle's resources with the last path component of name
// ("resources/sysex.tea" is found as "sysex.tea"), except the images, which
// keep their folder ("resources/img/x.png", "resources/img/small/x.png");
// empty when unknown.
std::string BundleResourcePath(const char* name);
