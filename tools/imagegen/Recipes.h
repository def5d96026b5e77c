// How each image of the table looks: its size follows from its key, its
// colours from the scheme, and frame i of a strip shows value i / (frames - 1).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Captions.h"
#include "DotFont.h"
#include "lice.h"

namespace imagegen {
// An image of the table drawn at size 1.0, its labels not set yet.
struct Drawing {
  std::unique_ptr<LICE_MemBitmap> shapes;  // the whole strip: frames stacked, or side by side
  TextRuns texts;                          // in strip coordinates
  int frameW = 0, frameH = 0, frames = 1;
  bool horizontal = false;
  bool opaque = false;         // a faceplate: every pixel fully covered
  int cellsX = 1, cellsY = 1;  // buttons cut from one frame
  bool greyable = false;       // a control the editor greys out: its labels also read greyed
};

// False for a key no recipe knows.
bool drawImage(const char* key, int frames, bool framesHorizontal, int scheme, Drawing& drawing);
// The size of one frame, at 1.0 and at a size factor (each button of a
// frame brought to size on its own, so they stay equal); false for a key no
// recipe knows.
bool imageSize(const std::string& key, int& w, int& h);
bool imageSizeAt(const std::string& key, double scale, int& w, int& h);
// The part of a frame that any frame of the image draws on (alpha above a
// trace), at size 1.0; false for a key no recipe knows.
bool imageInk(const std::string& key, Rect& ink);
// Where captions may be printed on a background and controls may lie,
// without covering its drawing (coordinates at size 1.0).
CaptionSpace captionSpace(const std::string& key, int w, int h);
}  // namespace imagegen
