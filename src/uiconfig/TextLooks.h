// How the texts the controls draw at run time look: their colour in each
// colour scheme and their size at each size factor. The factories build
// their text styles from these rules, and the image generator reads the same
// rules to check that every such text can be read on what lies under it.
#pragma once

#include <algorithm>

namespace textlooks {
// Positions and sizes the document gives lie within the unscaled window's
// longer side; anything beyond is clamped there before it is scaled, so a
// damaged document cannot overflow the scaled integers.
constexpr int kWindowRange = 1500;
inline int scaledToWindow(int value, double uiScale) {
  return static_cast<int>(std::clamp(value, -kWindowRange, kWindowRange) * std::clamp(uiScale, 0.0, 4.0));
}

// The kinds of text control the GUI document makes.
enum class Kind {
  kDisplay,          // "display": read-only text
  kNameField,        // "dropMenu" "nameSelection": a name typed by the user
  kTextSelection,    // "dropMenu" "textSelection": "----", no list
  kDropSelection,    // "dropMenu" "dropSelection"
  kDeviceSelection,  // "dropMenu" "deviceSelection": the MIDI ports
  kNumberMenu,       // "multiFx" "Menu": bank and program numbers
  kSelectionMenu,    // "ccMenu" and "seMenu" of the control elements
  kMsbLsbMenu,
  kLibrarianSlot,    // the librarian's slot names, over the whole page
};

// Menus and fields a user clicks get a value window drawn under their text;
// the displays and the librarian draw on the panel as it is.
inline bool hasValueWindow(Kind kind) { return kind != Kind::kDisplay && kind != Kind::kLibrarianSlot; }

struct Text {
  Kind kind;
  int displaySize = 0;   // of a display
  bool white = false;    // the "white" attribute
  int visible = 1;       // of a number menu
  int height = 0;        // unscaled, of a number menu
  int paramIdx = -1;     // of a name field
};

struct Colour {
  int a, r, g, b;
};

// No text is set smaller: at this size the font's capitals and digits are
// at least 5 x 7 pixels, the fixed font's glyphs.
constexpr int kSmallestSize = 12;

Colour colour(const Text& text, int uiStyle, double uiScale);
// The font size; never below kSmallestSize.
int size(const Text& text, double uiScale);
// WCAG relative luminance of a colour and the contrast ratio of two (1..21).
double luminance(int r, int g, int b);
double contrast(const Colour& a, const Colour& b);
constexpr double kMinContrast = 4.5;
// Greyed (inactive) controls draw at half weight over what lies under them;
// their texts stay legible at this contrast.
constexpr double kMinInactiveContrast = 3.0;
constexpr float kGreyedWeight = 0.5f;
}  // namespace textlooks
