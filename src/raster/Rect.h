#pragma once
// Integer rectangle; right and bottom are exclusive.
#ifndef TARNIVEX_RECT_DEFINED
#define TARNIVEX_RECT_DEFINED
struct RECT {
  int left, top, right, bottom;
};
#endif
