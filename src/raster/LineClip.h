#pragma once
// Cohen-Sutherland clipping of segments against (0, 0, w, h).

namespace lice {

// Integer ends; an end moved to the bottom or right edge lands on row h - 1 or
// column w - 1.
bool ClipLine(int* x1, int* y1, int* x2, int* y2, int w, int h);
// Float ends for anti-aliased lines: kept below w - 1 and h - 1 so the
// neighbour pixel that anti-aliasing writes stays inside.
bool ClipFLine(float* x1, float* y1, float* x2, float* y2, int w, int h);

}  // namespace lice
