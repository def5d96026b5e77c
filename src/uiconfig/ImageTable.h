// The image table: every bitmap of the editor window, by the key the GUI
// document names it with. The common rows serve every colour scheme; each
// style row gives the scheme's own file under the same key, so the document
// stays the same for all three. The image generator and the manager both read
// this one table.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>

struct ImageRow {
  const char* key;
  int id;
  const char* file;  // under "resources/img/"
  int frames;
};

struct StyleImageRow {
  const char* key;
  int frames;
  int id[3];
  const char* file[3];
};

constexpr int kCommonImageCount = 74;
constexpr int kStyleImageCount = 33;
constexpr int kUIStyleCount = 3;
extern const ImageRow kCommonImages[kCommonImageCount];
extern const StyleImageRow kStyleImages[kStyleImageCount];

// The process keeps one bitmap per id, and each size of the editor has its own
// drawing of an image, so two editors at different sizes must not share one:
// the table's ids serve the normal size, and any other size factor takes the
// same rows into a range of ids of its own (by the factor in thousandths).
constexpr int kImageIdRange = 1000;  // every id of the table lies below
inline int sizedImageId(int id, double uiScale) {
  const long thousandths = std::lround(std::clamp(uiScale, 0.001, 100.0) * 1000.0);
  return thousandths == 1000 ? id : id + kImageIdRange * static_cast<int>(thousandths);
}

// One-frame images lie flat, except the two slider handles; of the
// multi-frame ones only the part selector has its frames side by side.
inline bool imageFramesHorizontal(const char* key, int frames) {
  if (std::strcmp(key, "BUTTON_TAB_SIDEBAR_ID") == 0) return true;
  if (frames != 1) return false;
  return std::strcmp(key, "SLIDER_PYSTY") != 0 && std::strcmp(key, "SLIDER_VAAKA") != 0;
}
