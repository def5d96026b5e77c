#pragma once
// Rectangle clipping shared by the fills.

#include <algorithm>
#include <cstdint>

#include "Bitmap.h"

namespace lice {

struct ClippedRect {
  unsigned char* first;  // top-left pixel in memory order
  int w, h;
  ptrdiff_t step;        // bytes from one memory row to the next
};

// Clips (x, y, w, h) to the bitmap. Rows are handed out in memory order, so on
// a flipped bitmap the rectangle starts at memory row height - (y + h).
inline bool clipFillRect(LICE_IBitmap* bm, int x, int y, int w, int h, ClippedRect& out)
{
  int64_t X = x, Y = y, W = w, H = h;
  if (X < 0) W += X, X = 0;
  if (Y < 0) H += Y, Y = 0;
  const int bw = bm->getWidth(), bh = bm->getHeight(), span = bm->getRowSpan();
  if (X + W > bw) W = bw - X;
  if (Y + H > bh) H = bh - Y;
  auto* bits = reinterpret_cast<unsigned char*>(bm->getBits());
  if (W < 1 || H < 1 || span < 1 || !bits) return false;
  const int64_t memRow = bm->isFlipped() ? bh - (Y + H) : Y;
  out.first = bits + (memRow * span + X) * 4;
  out.w = int(W);
  out.h = int(H);
  out.step = ptrdiff_t(span) * 4;
  return true;
}

}  // namespace lice
