#pragma once
// Rectangle and single-pixel operations, gradient fill and glyph masks.
// Rectangles are x, y, width, height in image coordinates.

#include "Bitmap.h"

void LICE_Clear(LICE_IBitmap* bm, LICE_pixel color);
void LICE_FillRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel color, float alpha, int mode);
void LICE_ClearRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel mask = 0, LICE_pixel orbits = 0);
LICE_pixel LICE_GetPixel(LICE_IBitmap* bm, int x, int y);
void LICE_PutPixel(LICE_IBitmap* bm, int x, int y, LICE_pixel color, float alpha, int mode);
void LICE_MultiplyAddRect(LICE_IBitmap* bm, int x, int y, int w, int h, float rsc, float gsc, float bsc, float asc,
                          float radd, float gadd, float badd, float aadd);
void LICE_ProcessRect(LICE_IBitmap* bm, int x, int y, int w, int h, void (*procFunc)(LICE_pixel* pixel, void* parm),
                      void* parm);
void LICE_SetAlphaFromColorMask(LICE_IBitmap* bm, LICE_pixel color);
// One pass of spans around column x from memory row y, not a full flood fill.
void LICE_SimpleFill(LICE_IBitmap* bm, int x, int y, LICE_pixel newcolor, LICE_pixel comparemask = 0xffffffff,
                     LICE_pixel keepmask = 0);

void LICE_GradRect(LICE_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy,
                   float dady, int mode);

// An 8-bit coverage mask drawn in one colour; 0 leaves the pixel alone.
void LICE_DrawGlyph(LICE_IBitmap* dest, int x, int y, LICE_pixel color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode);
void LICE_DrawGlyphEx(LICE_IBitmap* dest, int x, int y, LICE_pixel color, const unsigned char* alphas, int glyph_w,
                      int glyph_span, int glyph_h, float alpha, int mode);
