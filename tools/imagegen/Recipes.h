// How each image of the table looks: its size follows from its key, its
// colours from the scheme, and frame i of a strip shows value i / (frames - 1).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Captions.h"
#include "lice.h"

namespace imagegen {
// The whole strip (frames stacked, or side by side when framesHorizontal).
// Null for a key no recipe knows.
// Captions are printed over the drawing in the scheme's label colour.
std::unique_ptr<LICE_MemBitmap> renderImage(const char* key, int frames, bool framesHorizontal, int scheme,
                                            const std::vector<PlacedCaption>& captions = {});
// The size of one frame; false for a key no recipe knows.
bool imageSize(const std::string& key, int& w, int& h);
// Where captions may be printed on a background without covering its drawing.
CaptionSpace captionSpace(const std::string& key, int w, int h);
}  // namespace imagegen
