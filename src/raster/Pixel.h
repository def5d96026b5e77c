#pragma once
// The 32-bit pixel: bytes alpha, red, green, blue in memory, so the value read
// as a little-endian word is a | r << 8 | g << 16 | b << 24.

typedef unsigned int LICE_pixel;
typedef unsigned char LICE_pixel_chan;

enum { LICE_PIXEL_A = 0, LICE_PIXEL_R = 1, LICE_PIXEL_G = 2, LICE_PIXEL_B = 3 };

constexpr LICE_pixel LICE_RGBA(unsigned r, unsigned g, unsigned b, unsigned a)
{
  return (a & 0xFF) | (r & 0xFF) << 8 | (g & 0xFF) << 16 | (b & 0xFF) << 24;
}
constexpr unsigned LICE_GETA(LICE_pixel c) { return c & 0xFF; }
constexpr unsigned LICE_GETR(LICE_pixel c) { return (c >> 8) & 0xFF; }
constexpr unsigned LICE_GETG(LICE_pixel c) { return (c >> 16) & 0xFF; }
constexpr unsigned LICE_GETB(LICE_pixel c) { return c >> 24; }

// Drawing-context colours are 0xRRGGBB.
constexpr int LICE_ToRRGGBB(LICE_pixel c)
{
  return int((c >> 24) | ((c >> 8) & 0xFF00) | ((c & 0xFF00) << 8));
}
