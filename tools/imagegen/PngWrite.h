// Writes a raster bitmap as an 8-bit RGBA PNG file through libpng.
#pragma once

#include <string>

#include "lice.h"

namespace imagegen {
// False with a message in `error` when the file cannot be written.
bool writePng(LICE_IBitmap* bm, const std::string& path, std::string& error);
}  // namespace imagegen
