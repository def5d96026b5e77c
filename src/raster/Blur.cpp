#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "Blit.h"

namespace {

// Per-channel fractions of a whole pixel word; each channel truncates alone.
inline LICE_pixel half(LICE_pixel p) { return (p >> 1) & 0x7f7f7f7f; }
inline LICE_pixel quarter(LICE_pixel p) { return (p >> 2) & 0x3f3f3f3f; }
inline LICE_pixel eighth(LICE_pixel p) { return (p >> 3) & 0x1f1f1f1f; }

// A top or bottom row: the one vertical neighbour V takes the missing one's share.
void blurEdgeRow(LICE_pixel* out, const LICE_pixel* C, const LICE_pixel* V, int w)
{
  out[0] = half(C[0]) + quarter(C[1]) + quarter(V[0]);
  for (int i = 1; i < w - 1; ++i) out[i] = eighth(C[i - 1]) + half(C[i]) + quarter(V[i]) + eighth(C[i + 1]);
  out[w - 1] = quarter(C[w - 2]) + half(C[w - 1]) + quarter(V[w - 1]);
}

void blurInnerRow(LICE_pixel* out, const LICE_pixel* C, const LICE_pixel* U, const LICE_pixel* D, int w)
{
  out[0] = half(C[0]) + quarter(C[1]) + eighth(U[0]) + eighth(D[0]);
  for (int i = 1; i < w - 1; ++i)
    out[i] = eighth(C[i - 1]) + half(C[i]) + eighth(C[i + 1]) + eighth(U[i]) + eighth(D[i]);
  out[w - 1] = quarter(C[w - 2]) + half(C[w - 1]) + eighth(U[w - 1]) + eighth(D[w - 1]);
}

}  // namespace

void LICE_Blur(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch)
{
  if (!dest || !src) return;
  int64_t right = int64_t(srcx) + srcw, bottom = int64_t(srcy) + srch;
  int64_t left = std::max(srcx, 0), top = std::max(srcy, 0);
  right = std::min<int64_t>(right, src->getWidth());
  bottom = std::min<int64_t>(bottom, src->getHeight());
  int64_t dx = dstx, dy = dsty;
  if (dx < 0) left -= dx, dx = 0;
  if (dy < 0) top -= dy, dy = 0;
  if (dx + (right - left) > dest->getWidth()) right = left - dx + dest->getWidth();
  if (dy + (bottom - top) > dest->getHeight()) bottom = top - dy + dest->getHeight();
  if (right - left < 2 || bottom - top < 2) return;
  if (!src->getBits() || !dest->getBits()) return;

  const int w = int(right - left);
  const LICE_Rows srows = LICE_GetRows(src), drows = LICE_GetRows(dest);
  auto srcRow = [&](int64_t y) { return reinterpret_cast<const LICE_pixel*>(srows.at(int(left), int(y))); };

  // Blurring in place keeps each row as it was before blurring, since the row
  // below still needs it (and the row itself is read while written).
  LICE_pixel fixedScratch[2048];
  std::vector<LICE_pixel> heapScratch;
  LICE_pixel* scratch = nullptr;
  if (src == dest) {
    if (w <= 1024) {
      scratch = fixedScratch;
    } else {
      try {
        heapScratch.resize(size_t(w) * 2);
        scratch = heapScratch.data();
      } catch (const std::bad_alloc&) {
        scratch = nullptr;
      }
    }
  }

  for (int64_t y = top; y < bottom; ++y, ++dy) {
    auto* out = reinterpret_cast<LICE_pixel*>(drows.at(int(dx), int(dy)));
    const LICE_pixel* C = srcRow(y);
    const LICE_pixel* above = y > top ? srcRow(y - 1) : nullptr;
    if (scratch) {
      LICE_pixel* keep = scratch + ((y & 1) ? w : 0);
      std::memcpy(keep, C, size_t(w) * 4);
      C = keep;
      if (above) above = scratch + ((y & 1) ? 0 : w);
    }
    if (y == top)
      blurEdgeRow(out, C, srcRow(y + 1), w);
    else if (y == bottom - 1)
      blurEdgeRow(out, C, above, w);
    else
      blurInnerRow(out, C, above, srcRow(y + 1), w);
  }
}
