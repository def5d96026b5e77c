#include <algorithm>

#include "BlitTemplates.h"
#include "CombineSelect.h"
#include "Fill.h"
#include "FillClip.h"

void LICE_Clear(LICE_IBitmap* bm, LICE_pixel color)
{
  if (!bm) return;
  LICE_pixel* p = bm->getBits();
  const int w = bm->getWidth(), h = bm->getHeight(), span = bm->getRowSpan();
  if (!p || w < 1 || h < 1 || span < 1) return;
  for (int y = 0; y < h; ++y, p += span) lice::rowFill(p, w, color);
}

void LICE_FillRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel color, float alpha, int mode)
{
  if (!bm) return;
  if (mode & 0x10000) alpha *= float(LICE_GETA(color)) / 255.0f;
  lice::ClippedRect rc;
  if (alpha == 0.0f || !lice::clipFillRect(bm, x, y, w, h, rc)) return;
  const int a = lice::truncToInt(alpha * 256.0f);
  if ((mode & 0xFF) == 0) {
    const bool done = lice::withFastCopyCombiner(a, [&](auto tag) {
      using F = typename decltype(tag)::type;
      const LICE_pixel c = F::prepare(color);
      unsigned char* row = rc.first;
      for (int yy = 0; yy < rc.h; ++yy, row += rc.step) {
        auto* p = reinterpret_cast<LICE_pixel*>(row);
        if constexpr (std::is_same_v<F, _LICE_CombinePixelsClobber2FAST>)
          lice::rowFill(p, rc.w, c);
        else
          for (int i = 0; i < rc.w; ++i) F::doPixFAST(p + i, c);
      }
    });
    if (done) return;
  }
  if (!a) return;
  lice::withWeightedCombiner(mode, a, [&](auto tag) {
    using C = typename decltype(tag)::type;
    _LICE_Template_Blit1<C>::solidBlit(rc.first, rc.w, rc.h, int(LICE_GETR(color)), int(LICE_GETG(color)),
                                       int(LICE_GETB(color)), a, rc.step);
  });
}

void LICE_ClearRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel mask, LICE_pixel orbits)
{
  lice::ClippedRect rc;
  if (!bm || !lice::clipFillRect(bm, x, y, w, h, rc)) return;
  unsigned char* row = rc.first;
  for (int yy = 0; yy < rc.h; ++yy, row += rc.step) {
    auto* p = reinterpret_cast<LICE_pixel*>(row);
    for (int i = 0; i < rc.w; ++i) p[i] = (p[i] & mask) | orbits;
  }
}

void LICE_MultiplyAddRect(LICE_IBitmap* bm, int x, int y, int w, int h, float rsc, float gsc, float bsc, float asc,
                          float radd, float gadd, float badd, float aadd)
{
  lice::ClippedRect rc;
  if (!bm || !lice::clipFillRect(bm, x, y, w, h, rc)) return;
  using lice::truncToInt;
  int sc[4], add[4];
  sc[LICE_PIXEL_R] = truncToInt(rsc * 256.0), sc[LICE_PIXEL_G] = truncToInt(gsc * 256.0);
  sc[LICE_PIXEL_B] = truncToInt(bsc * 256.0), sc[LICE_PIXEL_A] = truncToInt(asc * 256.0);
  add[LICE_PIXEL_R] = truncToInt(radd * 256.0), add[LICE_PIXEL_G] = truncToInt(gadd * 256.0);
  add[LICE_PIXEL_B] = truncToInt(badd * 256.0), add[LICE_PIXEL_A] = truncToInt(aadd * 256.0);
  unsigned char* row = rc.first;
  for (int yy = 0; yy < rc.h; ++yy, row += rc.step)
    for (int i = 0; i < rc.w * 4; ++i) {
      const int c = i & 3;
      row[i] = (unsigned char)lice::clamp255(int((int64_t(row[i]) * sc[c] + add[c]) >> 8));
    }
}

void LICE_ProcessRect(LICE_IBitmap* bm, int x, int y, int w, int h, void (*procFunc)(LICE_pixel*, void*), void* parm)
{
  lice::ClippedRect rc;
  if (!bm || !procFunc || !lice::clipFillRect(bm, x, y, w, h, rc)) return;
  unsigned char* row = rc.first;
  for (int yy = 0; yy < rc.h; ++yy, row += rc.step) {
    auto* p = reinterpret_cast<LICE_pixel*>(row);
    for (int i = 0; i < rc.w; ++i) procFunc(p + i, parm);
  }
}
