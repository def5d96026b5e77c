#include "BlitTemplates.h"
#include "CombineSelect.h"
#include "Fill.h"

void LICE_GradRect(LICE_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy,
                   float dady, int mode)
{
  if (!dest) return;
  ir *= 255.0f, ig *= 255.0f, ib *= 255.0f, ia *= 256.0f;
  drdx *= 255.0f, dgdx *= 255.0f, dbdx *= 255.0f, dadx *= 256.0f;
  drdy *= 255.0f, dgdy *= 255.0f, dbdy *= 255.0f, dady *= 256.0f;

  int64_t x = dstx, y = dsty, w = dstw, h = dsth;
  // Clipped columns and rows keep the colours the visible pixels would have had.
  if (x < 0) {
    const float n = float(-x);
    ir += n * drdx, ig += n * dgdx, ib += n * dbdx, ia += n * dadx;
    w += x, x = 0;
  }
  if (y < 0) {
    const float n = float(-y);
    ir += n * drdy, ig += n * dgdy, ib += n * dbdy, ia += n * dady;
    h += y, y = 0;
  }
  if (x + w > dest->getWidth()) w = dest->getWidth() - x;
  if (y + h > dest->getHeight()) h = dest->getHeight() - y;
  if (w <= 0 || h <= 0 || !dest->getBits()) return;

  const LICE_Rows rows = LICE_GetRows(dest);
  unsigned char* d = rows.at(int(x), int(y));
  auto fx = [](float v) { return lice::truncToInt(v * 65536.0); };
  const int r0 = fx(ir), g0 = fx(ig), b0 = fx(ib), a0 = fx(ia);
  const int rdx = fx(drdx), gdx = fx(dgdx), bdx = fx(dbdx), adx = fx(dadx);
  const int rdy = fx(drdy), gdy = fx(dgdy), bdy = fx(dbdy), ady = fx(dady);

  auto run = [&](auto tag) {
    using C = typename decltype(tag)::type;
    _LICE_Template_Blit1<C>::gradBlit(d, int(w), int(h), r0, g0, b0, a0, rdx, gdx, bdx, adx, rdy, gdy, bdy, ady,
                                      rows.step);
  };
  using lice::CombinerTag;
  switch (mode & 0xFF) {
    case 0:
      if (adx == 0 && ady == 0 && a0 == 256 * 65536)
        run(CombinerTag<_LICE_CombinePixelsClobberClamp>{});
      else
        run(CombinerTag<_LICE_CombinePixelsCopyClamp>{});
      break;
    case 1: run(CombinerTag<_LICE_CombinePixelsAdd>{}); break;
    case 2: run(CombinerTag<_LICE_CombinePixelsColorDodge>{}); break;
    case 3: run(CombinerTag<_LICE_CombinePixelsMulClamp>{}); break;
    case 4: run(CombinerTag<_LICE_CombinePixelsOverlay>{}); break;
    case 5: run(CombinerTag<_LICE_CombinePixelsHSVAdjust>{}); break;
    default: break;
  }
}
