// How each image of the table looks: its size follows from its key, its
// colours from the scheme, and frame i of a strip shows value i / (frames - 1).
#pragma once

#include <memory>

#include "lice.h"

namespace imagegen {
// The whole strip (frames stacked, or side by side when framesHorizontal).
// Null for a key no recipe knows.
std::unique_ptr<LICE_MemBitmap> renderImage(const char* key, int frames, bool framesHorizontal, int scheme);
}  // namespace imagegen
