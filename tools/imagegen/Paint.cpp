#include "Paint.h"

#include <algorithm>
#include <cmath>

#include "DotFont.h"
#include "TextLooks.h"

namespace imagegen {
LICE_pixel mix(LICE_pixel a, LICE_pixel b, float t) {
  auto ch = [t](unsigned x, unsigned y) { return static_cast<unsigned>(std::lround(x + (float(y) - float(x)) * t)); };
  return LICE_RGBA(ch(LICE_GETR(a), LICE_GETR(b)), ch(LICE_GETG(a), LICE_GETG(b)), ch(LICE_GETB(a), LICE_GETB(b)),
                   ch(LICE_GETA(a), LICE_GETA(b)));
}

double contrastOf(LICE_pixel a, LICE_pixel b) {
  return textlooks::contrast({255, int(LICE_GETR(a)), int(LICE_GETG(a)), int(LICE_GETB(a))},
                             {255, int(LICE_GETR(b)), int(LICE_GETG(b)), int(LICE_GETB(b))});
}

LICE_pixel mostLegible(std::initializer_list<LICE_pixel> colours, LICE_pixel under) {
  LICE_pixel best = *colours.begin();
  for (LICE_pixel c : colours)
    if (contrastOf(c, under) > contrastOf(best, under)) best = c;
  return best;
}

void verticalGradient(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel top, LICE_pixel bottom) {
  if (h <= 0) return;
  auto f = [](unsigned v) { return float(v) / 255.0f; };
  const float n = float(h);
  LICE_GradRect(bm, x, y, w, h, f(LICE_GETR(top)), f(LICE_GETG(top)), f(LICE_GETB(top)), f(LICE_GETA(top)) * 255.0f / 256.0f, 0, 0, 0, 0,
                (f(LICE_GETR(bottom)) - f(LICE_GETR(top))) / n, (f(LICE_GETG(bottom)) - f(LICE_GETG(top))) / n,
                (f(LICE_GETB(bottom)) - f(LICE_GETB(top))) / n, 0, 0);
}

namespace {
struct Over {
  LICE_pixel colour;
  float alpha;
};

// "Over" compositing with straight alpha, so a translucent shape keeps an
// opaque panel opaque and gives a transparent one the shape's own coverage.
void compositeOver(LICE_pixel* pixel, void* parm) {
  const Over& o = *static_cast<const Over*>(parm);
  auto* d = reinterpret_cast<unsigned char*>(pixel);
  const float as = o.alpha * float(LICE_GETA(o.colour)) / 255.0f, ad = d[LICE_PIXEL_A] / 255.0f;
  const float out = as + ad * (1.0f - as);
  if (out <= 0.0f) return;
  auto channel = [&](int index, unsigned source) {
    d[index] = static_cast<unsigned char>(std::lround((float(source) * as + d[index] * ad * (1.0f - as)) / out));
  };
  channel(LICE_PIXEL_R, LICE_GETR(o.colour));
  channel(LICE_PIXEL_G, LICE_GETG(o.colour));
  channel(LICE_PIXEL_B, LICE_GETB(o.colour));
  d[LICE_PIXEL_A] = static_cast<unsigned char>(std::lround(out * 255.0f));
}
}  // namespace

void blendRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel c, float alpha) {
  Over over{c, alpha};
  LICE_ProcessRect(bm, x, y, w, h, compositeOver, &over);
}

void fillRounded(LICE_IBitmap* bm, int x, int y, int w, int h, int r, LICE_pixel c, float alpha) {
  r = std::min({r, w / 2, h / 2});
  if (r <= 0) {
    blendRect(bm, x, y, w, h, c, alpha);
    return;
  }
  blendRect(bm, x + r, y, w - 2 * r, h, c, alpha);
  blendRect(bm, x, y + r, r, h - 2 * r, c, alpha);
  blendRect(bm, x + w - r, y + r, r, h - 2 * r, c, alpha);
  // Quarter discs at the corners, each clipped to its own corner square.
  const int corners[4][2] = {{x, y}, {x + w - r, y}, {x, y + h - r}, {x + w - r, y + h - r}};
  for (int i = 0; i < 4; ++i) {
    const float cx = (i % 2 ? x + w - r : x + r) - 0.5f, cy = (i / 2 ? y + h - r : y + r) - 0.5f;
    for (int yy = corners[i][1]; yy < corners[i][1] + r; ++yy)
      for (int xx = corners[i][0]; xx < corners[i][0] + r; ++xx) {
        // Coverage from the pixel centre's distance to the arc.
        const float d = std::hypot(xx - cx, yy - cy);
        const float cover = std::clamp(float(r) - d + 0.5f, 0.0f, 1.0f);
        if (cover > 0) blendRect(bm, xx, yy, 1, 1, c, cover * alpha);
      }
  }
}

void recessed(LICE_IBitmap* bm, int x, int y, int w, int h, int r, const Palette& p) {
  fillRounded(bm, x, y, w, h, r, mix(p.recess, LICE_RGBA(255, 255, 255, 255), 0.12f));
  fillRounded(bm, x, y, w, h - 1, r, LICE_RGBA(0, 0, 0, 255), 0.35f);
  fillRounded(bm, x + 1, y + 2, w - 2, h - 3, r, p.recess);
}

void raised(LICE_IBitmap* bm, int x, int y, int w, int h, int r, LICE_pixel face, float light) {
  fillRounded(bm, x, y, w, h, r, mix(face, LICE_RGBA(0, 0, 0, 255), 0.45f));
  fillRounded(bm, x, y, w, h - 1, r, mix(face, LICE_RGBA(255, 255, 255, 255), light));
  fillRounded(bm, x + 1, y + 1, w - 2, h - 3, r, face);
}

void section(LICE_IBitmap* bm, TextRuns& texts, int x, int y, int w, int h, const char* title, const Palette& p) {
  fillRounded(bm, x, y, w, h, 8, p.frame, 0.55f);
  fillRounded(bm, x + 1, y + 1, w - 2, h - 2, 7, mix(p.panelTop, p.panelBottom, 0.5f));
  fillRounded(bm, x + 1, y + 1, w - 2, 22, 7, mix(p.panelTop, p.frame, 0.35f));
  LICE_FillRect(bm, x + 1, y + 16, w - 2, 7, mix(p.panelTop, p.frame, 0.35f), 1.0f, 0);
  LICE_Line(bm, x + 2, y + 23, x + w - 3, y + 23, p.accent, 0.8f, 0, false);
  dotText(texts, x + 12, y + 5, title, 2, p.text);
}

void screw(LICE_IBitmap* bm, float cx, float cy, const Palette& p) {
  LICE_FillCircle(bm, cx, cy + 0.8f, 5.0f, LICE_RGBA(0, 0, 0, 255), 0.5f, 0, true);
  LICE_FillCircle(bm, cx, cy, 4.6f, mix(p.frame, LICE_RGBA(255, 255, 255, 255), 0.35f), 1.0f, 0, true);
  LICE_FLine(bm, cx - 3.0f, cy - 1.2f, cx + 3.0f, cy + 1.2f, p.recess, 0.9f, 0, true);
}

void faceplate(LICE_IBitmap* bm, int x, int y, int w, int h, const Palette& p) {
  verticalGradient(bm, x, y, w, h, p.panelTop, p.panelBottom);
  // Fine horizontal brushing keeps large plain areas from looking flat.
  for (int yy = y + 1; yy < y + h; yy += 3)
    LICE_Line(bm, x, yy, x + w - 1, yy, LICE_RGBA(255, 255, 255, 255), ((yy * 7919) % 5) * 0.004f + 0.004f, 0, false);
  LICE_DrawRect(bm, x, y, w, h, LICE_RGBA(0, 0, 0, 255), 0.6f, 0);
}

void thickArc(LICE_IBitmap* bm, float cx, float cy, float r, float width, float a1, float a2, LICE_pixel c) {
  if (a2 < a1) std::swap(a1, a2);
  for (float rr = r - width / 2; rr <= r + width / 2; rr += 0.5f) LICE_Arc(bm, cx, cy, rr, a1, a2, c, 0.75f, 0, true);
}

void thickLine(LICE_IBitmap* bm, float x1, float y1, float x2, float y2, float width, LICE_pixel c) {
  const float dx = x2 - x1, dy = y2 - y1, len = std::max(std::hypot(dx, dy), 0.001f);
  const float nx = -dy / len, ny = dx / len;
  for (float o = -width / 2; o <= width / 2; o += 0.5f)
    LICE_FLine(bm, x1 + nx * o, y1 + ny * o, x2 + nx * o, y2 + ny * o, c, 0.7f, 0, true);
}
}  // namespace imagegen
