#include <algorithm>
#include <cmath>

#include "Blit.h"
#include "Fill.h"
#include "GraphicsCaches.h"
#include "IGraphics.h"
#include "Shapes.h"

unsigned LiceColor(const IColor* c) {
  return c ? LICE_RGBA(unsigned(c->R), unsigned(c->G), unsigned(c->B), unsigned(c->A)) : 0;
}

float LiceWeight(const IChannelBlend* blend) { return blend ? blend->mWeight : 1.0f; }

int LiceBlendMode(const IChannelBlend* blend) {
  if (!blend) return 0x10000;
  switch (blend->mMethod) {
    case IChannelBlend::kBlendClobber: return 0;
    case IChannelBlend::kBlendAdd: return 0x10001;
    case IChannelBlend::kBlendColorDodge: return 0x10002;
    default: return 0x10000;
  }
}

namespace {
// Offset of the 1-based state's frame along the frames' direction.
int FrameOffset(const IBitmap* b, int state) {
  if (state < 2 || b->N < 2) return 0;
  const int extent = b->mFramesAreHorizontal ? b->W : b->H;
  return int(double(state - 1) * extent / b->N + 0.5);
}
}  // namespace

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend) {
  if (!bitmap || !dest || !mDrawBitmap) return true;
  const IRECT r = dest->Intersect(mDrawRECT);
  LICE_Blit(mDrawBitmap.get(), BitmapPixels(bitmap), r.L, r.T, srcX + r.L - dest->L, srcY + r.T - dest->T, r.W(), r.H(),
            LiceWeight(blend), LiceBlendMode(blend));
  return true;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int state, const IChannelBlend* blend) {
  if (!bitmap) return true;
  const int offset = FrameOffset(bitmap, state);
  return bitmap->mFramesAreHorizontal ? DrawBitmap(bitmap, dest, offset, 0, blend)
                                      : DrawBitmap(bitmap, dest, 0, offset, blend);
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int state, int srcX, int srcY, const IChannelBlend* blend) {
  if (!bitmap) return true;
  if (state >= 2 && bitmap->N >= 2) {
    const int offset = FrameOffset(bitmap, state);
    if (bitmap->mFramesAreHorizontal) srcX = offset;
    else srcY = offset;
  }
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg,
                                  const IChannelBlend* blend) {
  if (!bitmap || !mDrawBitmap) return true;
  const int W = bitmap->W, H = bitmap->H;
  LICE_RotatedBlit(mDrawBitmap.get(), BitmapPixels(bitmap), destCtrX - W / 2, destCtrY - H / 2, W, H, 0.0f, 0.0f, float(W),
                   float(H), float(angle), false, LiceWeight(blend), LiceBlendMode(blend) | 0x100, 0.0f,
                   float(yOffsetZeroDeg));
  return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                                const IChannelBlend* blend) {
  if (!base || !mask || !top || !mDrawBitmap || !BitmapPixels(base)) return true;
  BitmapPixels(mask);
  BitmapPixels(top);
  const int W = base->W, H = base->H;
  const float xShift = (W & 1) ? -0.5f : 0.0f;
  if (!mTmpBitmap) mTmpBitmap = std::make_unique<LICE_MemBitmap>(0, 0, 4);
  LICE_Copy(mTmpBitmap.get(), base->mData);
  LICE_ClearRect(mTmpBitmap.get(), 0, 0, W, H, 0xFFFFFF00, 0);
  const float a = float(angle * M_PI / 180.0);
  LICE_RotatedBlit(mTmpBitmap.get(), mask->mData, 0, 0, W, H, 0.0f, 0.0f, float(W), float(H), a, true, 1.0f, 0x10101,
                   xShift, 0.0f);
  LICE_RotatedBlit(mTmpBitmap.get(), top->mData, 0, 0, W, H, 0.0f, 0.0f, float(W), float(H), a, true, 1.0f, 0x10100,
                   xShift, 0.0f);
  const IRECT r = IRECT(x, y, x + W, y + H).Intersect(mDrawRECT);
  LICE_Blit(mDrawBitmap.get(), mTmpBitmap.get(), r.L, r.T, r.L - x, r.T - y, r.W(), r.H(), LiceWeight(blend),
            LiceBlendMode(blend));
  return true;
}

bool IGraphics::DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend, bool) {
  LICE_PutPixel(mDrawBitmap.get(), int(x + 0.5f), int(y + 0.5f), LiceColor(color), LiceWeight(blend),
                LiceBlendMode(blend));
  return true;
}

bool IGraphics::ForcePixel(const IColor* color, int x, int y) {
  // Coordinates off the surface are ignored rather than written.
  if (!mDrawBitmap || x < 0 || y < 0 || x >= mDrawBitmap->getWidth() || y >= mDrawBitmap->getHeight()) return true;
  mDrawBitmap->getBits()[ptrdiff_t(y) * mDrawBitmap->getRowSpan() + x] = LiceColor(color);
  return true;
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend,
                         bool aa) {
  LICE_Line(mDrawBitmap.get(), int(x1), int(y1), int(x2), int(y2), LiceColor(color), LiceWeight(blend),
            LiceBlendMode(blend), aa);
  return true;
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool aa) {
  const float s = std::sin(angle), c = std::cos(angle);
  LICE_Line(mDrawBitmap.get(), int(cx + rMin * s), int(cy - rMin * c), int(cx + rMax * s), int(cy - rMax * c),
            LiceColor(color), LiceWeight(blend), LiceBlendMode(blend), aa);
  return true;
}

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool aa) {
  LICE_Arc(mDrawBitmap.get(), cx, cy, r, minAngle, maxAngle, LiceColor(color), LiceWeight(blend),
           LiceBlendMode(blend), aa);
  return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend, bool aa) {
  LICE_Circle(mDrawBitmap.get(), cx, cy, r, LiceColor(color), LiceWeight(blend), LiceBlendMode(blend), aa);
  return true;
}

bool IGraphics::FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend, bool aa) {
  LICE_FillCircle(mDrawBitmap.get(), float(cx), float(cy), r, LiceColor(color), LiceWeight(blend),
                  LiceBlendMode(blend), aa);
  return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool aa) {
  if (!r) return true;
  LICE_RoundRect(mDrawBitmap.get(), float(r->L), float(r->T), float(r->W()), float(r->H()), cornerRadius,
                 LiceColor(color), LiceWeight(blend), LiceBlendMode(blend), aa);
  return true;
}

bool IGraphics::FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cr, bool aa) {
  if (!r) return true;
  LICE_IBitmap* s = mDrawBitmap.get();
  const unsigned c = LiceColor(color);
  const float a = LiceWeight(blend);
  const int mode = LiceBlendMode(blend);
  const int w = r->W(), h = r->H();
  LICE_FillRect(s, r->L + cr, r->T, w - 2 * cr, h, c, a, mode);
  LICE_FillRect(s, r->L, r->T + cr, cr, h - 2 * cr, c, a, mode);
  LICE_FillRect(s, r->R - cr, r->T + cr, cr, h - 2 * cr, c, a, mode);
  LICE_FillCircle(s, float(r->L + cr), float(r->T + cr), float(cr), c, a, mode, aa);
  LICE_FillCircle(s, float(r->L + w - cr - 1), float(r->T + h - cr - 1), float(cr), c, a, mode, aa);
  LICE_FillCircle(s, float(r->L + w - cr - 1), float(r->T + cr), float(cr), c, a, mode, aa);
  LICE_FillCircle(s, float(r->L + cr), float(r->T + h - cr - 1), float(cr), c, a, mode, aa);
  return true;
}

bool IGraphics::FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend) {
  if (!r) return true;
  // As a bitmap and text, a fill stops at the pass: what lies past it is not
  // drawn again over the fill (a slot's highlight would hide its name).
  const IRECT c = r->Intersect(mDrawRECT);
  if (c.Empty()) return true;
  LICE_FillRect(mDrawBitmap.get(), c.L, c.T, c.W(), c.H(), LiceColor(color), LiceWeight(blend), LiceBlendMode(blend));
  return true;
}

bool IGraphics::FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                             const IChannelBlend* blend) {
  LICE_FillTriangle(mDrawBitmap.get(), x1, y1, x2, y2, x3, y3, LiceColor(color), LiceWeight(blend),
                    LiceBlendMode(blend));
  return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* color, int* x, int* y, int n, const IChannelBlend* blend) {
  LICE_FillConvexPolygon(mDrawBitmap.get(), x, y, n, LiceColor(color), LiceWeight(blend), LiceBlendMode(blend));
  return true;
}

bool IGraphics::DrawRect(const IColor* color, IRECT* r) {
  if (!r) return true;
  LICE_IBitmap* s = mDrawBitmap.get();
  const unsigned c = LiceColor(color);
  LICE_Line(s, r->L, r->T, r->R, r->T, c, 1.0f, 0, false);
  LICE_Line(s, r->L, r->B, r->R, r->B, c, 1.0f, 0, false);
  LICE_Line(s, r->L, r->T, r->L, r->B, c, 1.0f, 0, false);
  LICE_Line(s, r->R, r->T, r->R, r->B, c, 1.0f, 0, false);
  return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, int x, int yLo, int yHi) {
  LICE_Line(mDrawBitmap.get(), x, yLo, x, yHi, LiceColor(color), 1.0f, 0, false);
  return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int y, int xLo, int xHi) {
  LICE_Line(mDrawBitmap.get(), xLo, y, xHi, y, LiceColor(color), 1.0f, 0, false);
  return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, IRECT* r, float x) {
  if (!r) return true;
  x = std::clamp(x, 0.0f, 1.0f);
  const int xi = r->L + int(float(r->W()) * x);
  LICE_Line(mDrawBitmap.get(), xi, r->T, xi, r->B, LiceColor(color), 1.0f, 0, false);
  return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, IRECT* r, float y) {
  if (!r) return true;
  y = std::clamp(y, 0.0f, 1.0f);
  const int yi = r->B - int(float(r->H()) * y);
  LICE_Line(mDrawBitmap.get(), r->L, yi, r->R, yi, LiceColor(color), 1.0f, 0, false);
  return true;
}

IColor IGraphics::GetPoint(int x, int y) {
  const LICE_pixel p = mDrawBitmap ? LICE_GetPixel(mDrawBitmap.get(), x, y) : 0;
  return IColor(int(LICE_GETA(p)), int(LICE_GETR(p)), int(LICE_GETG(p)), int(LICE_GETB(p)));
}

IBitmap IGraphics::ScaleBitmap(IBitmap* bitmap, int destW, int destH) {
  if (!BitmapPixels(bitmap) || destW <= 0 || destH <= 0) return IBitmap();
  auto scaled = std::make_unique<LICE_MemBitmap>(destW, destH, 4);
  LICE_ScaledBlit(scaled.get(), bitmap->mData, 0, 0, destW, destH, 0.0f, 0.0f, float(bitmap->W), float(bitmap->H),
                  1.0f, 0x100);
  IBitmap result(scaled.get(), destW, destH, bitmap->N, false);
  s_bitmapCache.Add(-1, std::move(scaled));
  return result;
}

IBitmap IGraphics::CropBitmap(IBitmap* bitmap, IRECT* r) {
  if (!BitmapPixels(bitmap) || !r || r->W() <= 0 || r->H() <= 0) return IBitmap();
  auto cropped = std::make_unique<LICE_MemBitmap>(r->W(), r->H(), 4);
  LICE_Blit(cropped.get(), bitmap->mData, 0, 0, r->L, r->T, r->W(), r->H(), 1.0f, 0);
  IBitmap result(cropped.get(), r->W(), r->H(), bitmap->N, false);
  s_bitmapCache.Add(-1, std::move(cropped));
  return result;
}
