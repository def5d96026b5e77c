#include <array>
#include <cstddef>

#include "CombineSelect.h"

namespace lice {

namespace {
constexpr std::array<unsigned short, 256> makeInvTab()
{
  std::array<unsigned short, 256> t{};
  for (int i = 1; i < 256; ++i) t[std::size_t(i)] = (unsigned short)(65536 / i - 1);
  return t;
}
}  // namespace

const std::array<unsigned short, 256> _LICE_RGB2HSV_invtab = makeInvTab();

}  // namespace lice

void _LICE_CombinePixelsHSVAdjust::doPix(unsigned char* dest, int h, int s, int v, int a, int alpha)
{
  const int R = dest[LICE_PIXEL_R], G = dest[LICE_PIXEL_G], B = dest[LICE_PIXEL_B];
  int mx, mn, num, base;
  if (R >= G && R > B) {
    mx = R;
    mn = G < B ? G : B;
    num = G - B;
    base = G >= B ? 0 : 383;
  } else if (G > R && G > B) {
    mx = G;
    mn = B < R ? B : R;
    num = B - R;
    base = 128;
  } else {
    mx = B;
    mn = R < G ? R : G;
    num = R - G;
    base = 256;
  }
  const int delta = mx - mn;
  const auto& T = lice::_LICE_RGB2HSV_invtab;
  int hue = base + (num * (T[delta] + 1)) / 1024;
  int sat = (T[mx] * delta) / 256;
  int val = mx;

  hue += ((h + h / 2 - 192) * alpha) / 256;
  if (hue < 0)
    hue += 384;
  else if (hue > 383)
    hue -= 384;
  sat = lice::clamp255(sat + ((s - 128) * alpha) / 128);
  val = lice::clamp255(val + ((v - 128) * alpha) / 128);

  const int p = ((256 - sat) * val) / 256;
  auto ramp = [&](int t) { return ((16384 - t * sat) * val) / 16384; };
  int r, g, b;
  if (hue < 64) {
    r = val, g = ramp(64 - hue), b = p;
  } else if (hue < 128) {
    r = ramp(hue - 64), g = val, b = p;
  } else if (hue < 192) {
    r = p, g = val, b = ramp(192 - hue);
  } else if (hue < 256) {
    r = p, g = ramp(hue - 192), b = val;
  } else if (hue < 320) {
    r = ramp(320 - hue), g = p, b = val;
  } else {
    r = val, g = p, b = ramp(hue - 320);
  }
  dest[LICE_PIXEL_R] = (unsigned char)r;
  dest[LICE_PIXEL_G] = (unsigned char)g;
  dest[LICE_PIXEL_B] = (unsigned char)b;
  dest[LICE_PIXEL_A] = (unsigned char)a;
}

namespace {

void splitColour(LICE_pixel c, int& r, int& g, int& b, int& a)
{
  r = int(LICE_GETR(c)), g = int(LICE_GETG(c)), b = int(LICE_GETB(c)), a = int(LICE_GETA(c));
}

}  // namespace

LICE_pixel LICE_CombinePixels(LICE_pixel dest, LICE_pixel src, float alpha, int mode)
{
  const int ia = lice::truncToInt(alpha * 256.0f);
  if (!ia) return dest;
  int r, g, b, a;
  splitColour(src, r, g, b, a);
  LICE_pixel out = dest;
  lice::withBlitCombiner(mode, ia, [&](auto tag) {
    decltype(tag)::type::doPix(reinterpret_cast<unsigned char*>(&out), r, g, b, a, ia);
  });
  return out;
}

void LICE_CombinePixels2(LICE_pixel* dest, int r, int g, int b, int a, int alpha, int mode)
{
  if (!dest || !alpha) return;
  lice::withBlitCombiner(mode, alpha, [&](auto tag) {
    decltype(tag)::type::doPix(reinterpret_cast<unsigned char*>(dest), r, g, b, a, alpha);
  });
}

void LICE_CombinePixels2Clamp(LICE_pixel* dest, int r, int g, int b, int a, int alpha, int mode)
{
  if (!dest || !alpha) return;
  auto* d = reinterpret_cast<unsigned char*>(dest);
  switch (mode & 0x100FF) {
    case 0:
      if (alpha < 0) return;
      if (alpha == 256)
        _LICE_CombinePixelsClobberClamp::doPix(d, r, g, b, a, alpha);
      else
        _LICE_CombinePixelsCopyClamp::doPix(d, r, g, b, a, alpha);
      return;
    case 3: _LICE_CombinePixelsMulClamp::doPix(d, r, g, b, a, alpha); return;
    case 0x10000:
      if (alpha == 256)
        _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp::doPix(d, r, g, b, a, alpha);
      else
        _LICE_CombinePixelsCopySourceAlphaClamp::doPix(d, r, g, b, a, alpha);
      return;
    case 0x10003: _LICE_CombinePixelsMulSourceAlphaClamp::doPix(d, r, g, b, a, alpha); return;
    default: LICE_CombinePixels2(dest, r, g, b, a, alpha, mode); return;
  }
}
