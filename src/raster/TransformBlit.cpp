#include "Blit.h"

// A grid of source points laid evenly over the destination; each cell is a
// delta blit interpolating its four corners row by row.
template <class T>
struct LICE_TransformBlit_class {
  static void blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                   const T* srcpoints, int div_w, int div_h, float alpha, int mode)
  {
    if (!dest || !src || !srcpoints || dstw <= 0 || dsth <= 0 || div_w < 2 || div_h < 2) return;
    // Cell edges are summed in int; no bitmap comes near this limit.
    constexpr int kLimit = 1 << 28;
    if (dstx < -kLimit || dsty < -kLimit || dstx > kLimit || dsty > kLimit || dstw > kLimit || dsth > kLimit) return;
    const double xadv = float(dstw) / float(div_w - 1), yadv = float(dsth) / float(div_h - 1);
    double ypos = dsty;
    int y = dsty;
    for (int r = 0; r < div_h - 1; ++r) {
      ypos += yadv;
      const int ny = int(ypos);
      const int dh = ny - y;
      if (dh <= 0) continue;
      const double idh = 1.0 / dh;
      double xpos = dstx;
      int x = dstx;
      for (int c = 1; c < div_w; ++c) {
        xpos += xadv;
        const int nx = int(xpos);
        const int dw = nx - x;
        if (dw <= 0) continue;
        const double idw = 1.0 / dw;
        const T* p00 = srcpoints + 2 * (r * div_w + c - 1);
        const T* p01 = p00 + 2;
        const T* p10 = p00 + 2 * div_w;
        const T* p11 = p10 + 2;
        const double topx = double(p01[0]) - p00[0], topy = double(p01[1]) - p00[1];
        const double leftx = double(p10[0]) - p00[0], lefty = double(p10[1]) - p00[1];
        const double botx = T(p11[0] - p10[0]), boty = T(p11[1] - p10[1]);
        const double dsdx = topx * idw, dtdx = topy * idw;
        LICE_DeltaBlit(dest, src, x, y, dw, dh, float(p00[0]), float(p00[1]), float(topx), float(topy), dsdx, dtdx,
                       leftx * idh, lefty * idh, (botx * idw - dsdx) * idh, (boty * idw - dtdx) * idh, false, alpha,
                       mode);
        x = nx;
      }
      y = ny;
    }
  }
};

void LICE_TransformBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        const float* srcpoints, int div_w, int div_h, float alpha, int mode)
{
  LICE_TransformBlit_class<float>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode);
}

void LICE_TransformBlit2(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         const double* srcpoints, int div_w, int div_h, float alpha, int mode)
{
  LICE_TransformBlit_class<double>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode);
}
