// Pictures of the window model: the size read from a PNG or icon file, or
// pixels given as 8-bit grey and alpha pairs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../SwellTypes.h"
#include "Geometry.h"

namespace winsys {

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> greyAlpha;  // width * height pairs, rows top to bottom, when made from data
  std::string file;                // the file it was read from
};

// Reads the size of a PNG or Windows icon file; null when the file is neither or is cut short.
std::shared_ptr<Image> loadImageFile(const std::string& path);
// The application's named images (its resources), as the platform looks them up by name.
std::shared_ptr<Image> imageNamed(const std::string& name);
void setNamedImage(const std::string& name, std::shared_ptr<Image> image);

}  // namespace winsys

// A cursor: its picture and hot spot, or one of the platform's stock cursors by name.
struct HCURSOR__ : HWND__ {
  std::string stockName;
  std::shared_ptr<winsys::Image> image;
  winsys::Pointf hotSpot;
};
