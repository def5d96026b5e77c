#include "CombineSelect.h"
#include "Fill.h"

namespace {

LICE_pixel* pixelAt(LICE_IBitmap* bm, int x, int y)
{
  if (!bm || x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight() || !bm->getBits()) return nullptr;
  return reinterpret_cast<LICE_pixel*>(LICE_GetRows(bm).at(x, y));
}

}  // namespace

LICE_pixel LICE_GetPixel(LICE_IBitmap* bm, int x, int y)
{
  const LICE_pixel* p = pixelAt(bm, x, y);
  return p ? *p : 0;
}

void LICE_PutPixel(LICE_IBitmap* bm, int x, int y, LICE_pixel color, float alpha, int mode)
{
  LICE_pixel* p = pixelAt(bm, x, y);
  if (!p) return;
  const int a = lice::truncToInt(alpha * 256.0f);
  if ((mode & 0xFF) == 0) {
    const bool done = lice::withFastCopyCombiner(a, [&](auto tag) {
      using F = typename decltype(tag)::type;
      F::doPixFAST(p, F::prepare(color));
    });
    if (done || a < 1) return;
    _LICE_CombinePixelsCopyNoClamp::doPix(reinterpret_cast<unsigned char*>(p), int(LICE_GETR(color)),
                                          int(LICE_GETG(color)), int(LICE_GETB(color)), int(LICE_GETA(color)), a);
    return;
  }
  if (!a) return;
  lice::withWeightedCombiner(mode, a, [&](auto tag) {
    decltype(tag)::type::doPix(reinterpret_cast<unsigned char*>(p), int(LICE_GETR(color)), int(LICE_GETG(color)),
                               int(LICE_GETB(color)), int(LICE_GETA(color)), a);
  });
}

void LICE_SetAlphaFromColorMask(LICE_IBitmap* bm, LICE_pixel color)
{
  if (!bm || !bm->getBits()) return;
  LICE_pixel* row = bm->getBits();
  const int w = bm->getWidth(), h = bm->getHeight(), span = bm->getRowSpan();
  for (int y = 0; y < h; ++y, row += span)
    for (int x = 0; x < w; ++x) {
      const LICE_pixel colour = row[x] & 0xFFFFFF00u;
      row[x] = colour == color ? colour : colour | 0xFF;
    }
}

void LICE_SimpleFill(LICE_IBitmap* bm, int x, int y, LICE_pixel newcolor, LICE_pixel comparemask,
                     LICE_pixel keepmask)
{
  if (!bm || !bm->getBits()) return;
  const int w = bm->getWidth(), h = bm->getHeight(), span = bm->getRowSpan();
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  LICE_pixel* bits = bm->getBits();
  auto row = [&](int yy) { return bits + ptrdiff_t(yy) * span; };
  const LICE_pixel target = row(y)[x] & comparemask;
  auto matches = [&](LICE_pixel p) { return (p & comparemask) == target; };
  auto fill = [&](LICE_pixel& p) { p = (p & keepmask) | newcolor; };
  // Fills the pixel in column x and the matching runs to either side of it.
  auto fillSpan = [&](LICE_pixel* r) {
    fill(r[x]);
    for (int i = x + 1; i < w && matches(r[i]); ++i) fill(r[i]);
    for (int i = x - 1; i >= 0 && matches(r[i]); --i) fill(r[i]);
  };
  fillSpan(row(y));
  for (int yy = y + 1; yy < h && matches(row(yy)[x]); ++yy) fillSpan(row(yy));
  for (int yy = y - 1; yy >= 0 && matches(row(yy)[x]); --yy) fillSpan(row(yy));
}
