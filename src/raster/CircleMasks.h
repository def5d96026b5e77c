#pragma once
// Coverage masks of the small circles (radius 1.5 to 4 in half steps), drawn as
// glyphs instead of going through the rasteriser.

namespace lice {

struct CircleMask {
  float radius;
  int side;
  const unsigned char* aa;
  const unsigned char* plain;
};

// Null when the radius has no mask.
const CircleMask* findCircleMask(float radius);

}  // namespace lice
