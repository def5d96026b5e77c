#include <algorithm>
#include <cstdint>
#include <utility>

#include "CombineSelect.h"
#include "LineClip.h"
#include "LineClass.h"
#include "ShapeSupport.h"
#include "Shapes.h"

void LICE_DashedLine(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int dashLen, int gapLen, LICE_pixel color,
                     float alpha, int mode, bool)
{
  // A pattern that never advances would loop for ever.
  if (!dest || !dest->getBits() || dashLen <= 0) return;
  if (gapLen < 0) gapLen = 0;
  if (!lice::ClipLine(&x1, &y1, &x2, &y2, dest->getWidth(), dest->getHeight())) return;
  if (y1 > y2) std::swap(y1, y2);
  if (x1 > x2) std::swap(x1, x2);
  const int span = dest->getRowSpan();
  LICE_pixel* first = dest->getBits() + ptrdiff_t(y1) * span + x1;

  if ((mode & 0xFF) == 0 && alpha == 1.0f && dashLen == 1 && gapLen == 1 && x1 == x2) {
    for (int i = 0; i < (y2 - y1 + 1) / 2; ++i) first[ptrdiff_t(2 * i) * span] = color;
    return;
  }
  const int ia = lice::truncToInt(alpha * 256.0f);
  if (x1 != x2 && y1 != y2) return;
  lice::withShapeCombiner(mode, ia, [&](auto tag) {
    using D = __LICE_LineClass<typename decltype(tag)::type>;
    if (y1 == y2)
      D::DashedLine(first, 1, x1, x2, dashLen, gapLen, color, ia);
    else
      D::DashedLine(first, span, y1, y2, dashLen, gapLen, color, ia);
  });
}
