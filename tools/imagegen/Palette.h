// The colour schemes. Style images take the scheme of their column; common
// images, shown under every scheme, take the neutral graphite one.
#pragma once

#include "lice.h"

namespace imagegen {
struct Palette {
  LICE_pixel panelTop, panelBottom;  // the faceplate's vertical gradient
  LICE_pixel recess;                 // sunken areas: pages, displays
  LICE_pixel frame;                  // section outlines
  LICE_pixel accent;                 // value arcs, lit LEDs, selected tabs
  LICE_pixel accentDim;
  LICE_pixel text;                   // labels printed on the faceplate
  LICE_pixel textDim;
  LICE_pixel knobBody, knobRim, pointer;
  LICE_pixel buttonOff, buttonOn;
  LICE_pixel lcd, lcdText;
  LICE_pixel valueLight;             // a value window under dark text
};

constexpr LICE_pixel rgb(unsigned r, unsigned g, unsigned b, unsigned a = 255) { return LICE_RGBA(r, g, b, a); }

// 0 yellow, 1 silver with blue, 2 phoenix; kNeutral for the common images.
constexpr int kNeutral = 3;
inline const Palette& palette(int scheme) {
  static const Palette kPalettes[4] = {
      {rgb(52, 53, 58), rgb(30, 31, 35), rgb(22, 23, 26), rgb(92, 94, 100), rgb(242, 184, 29), rgb(120, 92, 20),
       rgb(236, 230, 214), rgb(150, 146, 136), rgb(40, 41, 46), rgb(14, 14, 16), rgb(250, 206, 80), rgb(62, 63, 69),
       rgb(242, 184, 29), rgb(28, 24, 10), rgb(250, 196, 60), rgb(250, 214, 120)},
      {rgb(214, 218, 224), rgb(166, 172, 181), rgb(128, 134, 143), rgb(96, 102, 112), rgb(31, 122, 214),
       rgb(26, 70, 120), rgb(6, 8, 12), rgb(74, 80, 90), rgb(58, 62, 70), rgb(20, 22, 26), rgb(120, 200, 255),
       rgb(196, 200, 207), rgb(31, 122, 214), rgb(12, 24, 38), rgb(110, 190, 255), rgb(232, 238, 246)},
      {rgb(62, 26, 24), rgb(26, 10, 10), rgb(18, 8, 8), rgb(118, 52, 40), rgb(255, 96, 32), rgb(130, 44, 16),
       rgb(248, 222, 200), rgb(168, 126, 104), rgb(44, 22, 20), rgb(12, 4, 4), rgb(255, 150, 70), rgb(70, 34, 30),
       rgb(255, 96, 32), rgb(30, 8, 4), rgb(255, 136, 60), rgb(250, 206, 180)},
      {rgb(58, 60, 66), rgb(34, 35, 40), rgb(24, 25, 28), rgb(98, 101, 108), rgb(96, 200, 255), rgb(40, 90, 120),
       rgb(232, 232, 236), rgb(150, 152, 158), rgb(44, 46, 52), rgb(14, 15, 17), rgb(245, 245, 245), rgb(66, 68, 75),
       rgb(120, 214, 255), rgb(16, 20, 26), rgb(160, 226, 255), rgb(236, 238, 240)},
  };
  return kPalettes[scheme >= 0 && scheme < 4 ? scheme : kNeutral];
}
}  // namespace imagegen
