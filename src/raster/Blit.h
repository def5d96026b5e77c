#pragma once
// Copies between bitmaps: plain, scaled, rotated, delta and grid-warped blits,
// blur, halving and comparison. Modes and opacity as in Combine.h: low byte the
// combiner, 0x100 bilinear filtering, 0x10000 source alpha.

#include "Bitmap.h"
#include "Rect.h"

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, const RECT* srcrect, float alpha,
               int mode);
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode);
void LICE_Copy(LICE_IBitmap* dest, LICE_IBitmap* src);

void LICE_ScaledBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode);

void LICE_RotatedBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool cliptosourcerect, float alpha, int mode,
                      float rotxcent = 0.0f, float rotycent = 0.0f);

void LICE_DeltaBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                    double dsdxdy, double dtdxdy, bool cliptosourcerect, float alpha, int mode);

void LICE_TransformBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        const float* srcpoints, int div_w, int div_h, float alpha, int mode);
void LICE_TransformBlit2(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         const double* srcpoints, int div_w, int div_h, float alpha, int mode);

void LICE_Blur(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch);

void LICE_HalveBlitAA(LICE_IBitmap* dest, LICE_IBitmap* src);

// 0 when equal; otherwise the size difference, the first differing row's byte
// comparison, or with coordsOut 1 and the box {x, y, w, h} of the differences.
int LICE_BitmapCmp(LICE_IBitmap* a, LICE_IBitmap* b, int* coordsOut = nullptr);
