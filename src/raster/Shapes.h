#pragma once
// Lines, circles, arcs, rounded rectangles, polygon fills, dashed lines and
// curves. Shapes look only at the mode's low byte; alpha becomes the weight
// trunc(alpha * 256).

#include "Bitmap.h"

// Lines: both end pixels belong to the line.
void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel color, float alpha, int mode,
               bool aa);
void LICE_FLine(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color, float alpha, int mode,
                bool aa);
// Clip a segment in place to [xlo, xhi) x [ylo, yhi); false when nothing remains.
bool LICE_ClipLine(int* pX1, int* pY1, int* pX2, int* pY2, int xLo, int yLo, int xHi, int yHi);
bool LICE_ClipFLine(float* px1, float* py1, float* px2, float* py2, float xlo, float ylo, float xhi, float yhi);

// Circles and arcs; angles in radians, 0 pointing up, growing clockwise.
void LICE_Circle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha, int mode, bool aa);
void LICE_FillCircle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha, int mode,
                     bool aa);
void LICE_Arc(LICE_IBitmap* dest, float cx, float cy, float r, float angle1, float angle2, LICE_pixel color,
              float alpha, int mode, bool aa);
void LICE_RoundRect(LICE_IBitmap* dest, float x, float y, float w, float h, int radius, LICE_pixel color, float alpha,
                    int mode, bool aa);

// Fills bounded by straight edges; not anti-aliased.
void LICE_FillTrapezoid(LICE_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2, LICE_pixel color,
                        float alpha, int mode);
void LICE_FillConvexPolygon(LICE_IBitmap* dest, const int* x, const int* y, int npoints, LICE_pixel color,
                            float alpha, int mode);
void LICE_FillTriangle(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, LICE_pixel color,
                       float alpha, int mode);
void LICE_DrawRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha, int mode);
void LICE_BorderedRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel bgcolor, LICE_pixel fgcolor,
                       float alpha, int mode);

// Dashed horizontal and vertical lines over the half-open range start..end.
void LICE_DashedLine(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int dashLen, int gapLen, LICE_pixel color,
                     float alpha, int mode, bool aa);

// Bezier curves flattened into pieces about `tolerance` pixels long.
void LICE_DrawQBezier(LICE_IBitmap* dest, double xstart, double ystart, double xctl, double yctl, double xend,
                      double yend, LICE_pixel color, float alpha, int mode, bool aa, double tolerance = 0.0);
void LICE_DrawCBezier(LICE_IBitmap* dest, double xstart, double ystart, double xctl1, double yctl1, double xctl2,
                      double yctl2, double xend, double yend, LICE_pixel color, float alpha, int mode, bool aa,
                      double tolerance = 0.0);
void LICE_FillCBezier(LICE_IBitmap* dest, double xstart, double ystart, double xctl1, double yctl1, double xctl2,
                      double yctl2, double xend, double yend, int yfill, LICE_pixel color, float alpha, int mode,
                      double tolerance = 0.0);
void LICE_FillCBezierX(LICE_IBitmap* dest, double xstart, double ystart, double xctl1, double yctl1, double xctl2,
                       double yctl2, double xend, double yend, int xfill, LICE_pixel color, float alpha, int mode,
                       double tolerance = 0.0);
double LICE_Bezier_GetY(double ctrl_x1, double ctrl_x2, double ctrl_x3, double ctrl_y1, double ctrl_y2,
                        double ctrl_y3, double x, double* pt = nullptr);
double LICE_CBezier_GetY(double ctrl_x1, double ctrl_x2, double ctrl_x3, double ctrl_x4, double ctrl_y1,
                         double ctrl_y2, double ctrl_y3, double ctrl_y4, double x, double* pNextX = nullptr,
                         double* pdYdX = nullptr, double* ptLo = nullptr, double* ptHi = nullptr);
