#include "TextLooks.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "ParamIndex.h"

namespace textlooks {
namespace {
constexpr Colour kDisplayYellow{255, 241, 243, 33};
constexpr Colour kOrange{255, 255, 173, 0};

int scaled(int value, double uiScale) { return scaledToWindow(value, uiScale); }

Colour grey(int level) { return {255, level, level, level}; }
}  // namespace

Colour colour(const Text& t, int uiStyle, double uiScale) {
  switch (t.kind) {
    case Kind::kDisplay:
      return t.displaySize == 2 ? Colour{255, 255, 132, 180} : kDisplayYellow;
    case Kind::kNameField:
      return t.paramIdx == kPatchSearchString || t.paramIdx == kPatchRename ? grey(225) : grey(187);
    case Kind::kTextSelection:
      return uiStyle == 2 ? grey(200) : uiStyle == 1 ? Colour{255, 134, 150, 166} : kDisplayYellow;
    case Kind::kDropSelection:
      return kOrange;
    case Kind::kDeviceSelection:
      return {255, 0, 174, 255};
    case Kind::kNumberMenu:
      if (t.visible != 1) return {0, 255, 173, 0};  // drawn fully transparent: a hot spot
      if (t.white) return grey(255);
      if (uiStyle == 1 || uiStyle == 2) return grey(200);
      return scaled(t.height, uiScale) > 16 ? kDisplayYellow : kOrange;
    case Kind::kSelectionMenu:
      return grey(t.white || uiStyle == 1 ? 255 : uiStyle == 2 ? 200 : 0);
    case Kind::kMsbLsbMenu:
      return {254, 255, 173, 0};
    case Kind::kLibrarianSlot:
      return grey(255);
  }
  return grey(255);
}

int size(const Text& t, double uiScale) {
  int base = 13;
  switch (t.kind) {
    case Kind::kDisplay:
      base = t.displaySize == 1 || t.displaySize == 4 ? 15 : t.displaySize == 2 || t.displaySize == 3 ? 16 : 14;
      break;
    case Kind::kNameField: base = 14; break;
    case Kind::kTextSelection:
    case Kind::kDeviceSelection: base = 15; break;
    case Kind::kNumberMenu:
      // The scaled height is scaled once more.
      return std::max(kSmallestSize, static_cast<int>(scaled(t.height, uiScale) * uiScale));
    default: break;
  }
  return std::max(kSmallestSize, static_cast<int>(base * uiScale));
}

double luminance(int r, int g, int b) {
  // The checks measure every pixel under a text: the channel curve is a table.
  static const std::array<double, 256> linear = [] {
    std::array<double, 256> t{};
    for (int c = 0; c < 256; ++c) {
      const double v = c / 255.0;
      t[static_cast<size_t>(c)] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  auto at = [](int c) { return linear[static_cast<size_t>(std::clamp(c, 0, 255))]; };
  return 0.2126 * at(r) + 0.7152 * at(g) + 0.0722 * at(b);
}

double contrast(const Colour& a, const Colour& b) {
  const double la = luminance(a.r, a.g, a.b), lb = luminance(b.r, b.g, b.b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
}  // namespace textlooks
