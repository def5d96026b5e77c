#pragma once
// Bitmaps and pixel helpers for the raster tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "lice.h"

namespace rastertest {

inline LICE_pixel rgba(unsigned r, unsigned g, unsigned b, unsigned a) { return LICE_RGBA(r, g, b, a); }

constexpr LICE_pixel kInk = 0xFFFFFFFFu;  // shapes' colour
constexpr LICE_pixel kBg = 0x01010101u;   // blits' untouched destination

// Names a parameterised case after its `name` field, in test names and in
// messages (files with their own case records bring PrintTo in by `using`).
inline const auto CaseName = [](const auto& info) { return std::string(info.param.name); };
template <class T>
  requires requires(const T& c) { c.name; }
void PrintTo(const T& c, std::ostream* os)
{
  *os << c.name;
}

// A destination pixel, a source pixel or colour drawn over it at an opacity
// and in a mode, and the pixel that must result.
struct CombineCase {
  const char* name;
  LICE_pixel dest, src;
  float alpha;
  int mode;
  LICE_pixel expected;
};

// A heap bitmap filled with one value.
inline LICE_MemBitmap filled(int w, int h, LICE_pixel c)
{
  LICE_MemBitmap bm(w, h, 4);
  LICE_Clear(&bm, c);
  return bm;
}

// Reports itself flipped: image row y lies in memory row h - 1 - y.
class FlippedBitmap : public LICE_MemBitmap {
public:
  using LICE_MemBitmap::LICE_MemBitmap;
  bool isFlipped() override { return true; }
};

// A bitmap framed by guard pixels on every side, inside its row span too, so a
// test can tell whether anything was written outside the image. With no guard
// the storage ends exactly at the last pixel, so a read past the image reaches
// outside the allocation, where the address sanitizer sees it.
class GuardedBitmap : public LICE_IBitmap {
public:
  static constexpr LICE_pixel kSentinel = 0xA5C3E1F7u;

  GuardedBitmap(int w, int h, LICE_pixel fill = 0, int guard = 3)
      : m_w(w), m_h(h), m_g(guard), m_span(w + 2 * guard), m_store(size_t(m_span) * size_t(h + 2 * guard), kSentinel)
  {
    for (int y = 0; y < h; ++y) std::fill_n(getBits() + y * m_span, w, fill);
  }
  LICE_pixel* getBits() override { return m_store.data() + m_g * m_span + m_g; }
  int getWidth() override { return m_w; }
  int getHeight() override { return m_h; }
  int getRowSpan() override { return m_span; }
  bool resize(int, int) override { return false; }

  bool guardsIntact() const
  {
    for (size_t i = 0; i < m_store.size(); ++i) {
      const int x = int(i % size_t(m_span)) - m_g, y = int(i / size_t(m_span)) - m_g;
      if ((x < 0 || x >= m_w || y < 0 || y >= m_h) && m_store[i] != kSentinel) return false;
    }
    return true;
  }

private:
  int m_w, m_h, m_g, m_span;
  std::vector<LICE_pixel> m_store;
};

inline LICE_pixel px(LICE_IBitmap& bm, int x, int y) { return LICE_GetPixel(&bm, x, y); }

// A pixel expected at (x, y).
struct At {
  int x, y;
  LICE_pixel c;
};
inline void expectPixels(LICE_IBitmap& bm, const std::vector<At>& want)
{
  for (const At& a : want) EXPECT_EQ(px(bm, a.x, a.y), a.c) << std::hex << "at " << std::dec << a.x << "," << a.y;
}
// EXPECT_PIXELS(bm, {x, y, pixel}, ...), reported at the caller's line.
#define EXPECT_PIXELS(bm, ...)                   \
  do {                                           \
    SCOPED_TRACE(#bm);                           \
    rastertest::expectPixels(bm, {__VA_ARGS__}); \
  } while (0)

// A glyph of three columns of coverage 255, 128, 64 in rows of four bytes; the
// fourth byte is outside the glyph and must never be read as coverage.
inline const unsigned char kMask[] = {255, 128, 64, 255, 255, 128, 64, 255};

// Fills with a pattern that differs per pixel and per channel.
inline void pattern(LICE_IBitmap& bm, unsigned seed)
{
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) {
      unsigned v = (unsigned(x) * 2654435761u) ^ (unsigned(y) * 40503u + seed * 97u);
      v = (v ^ (v >> 13)) * 0x5bd1e995u;
      bm.getBits()[y * bm.getRowSpan() + x] = v ^ (v >> 15);
    }
}

inline LICE_MemBitmap patterned(int w, int h, unsigned seed)
{
  LICE_MemBitmap bm(w, h, 4);
  pattern(bm, seed);
  return bm;
}

// Pixel (x, y) holds step x in red, step y in green and `blue`, opaque.
inline LICE_MemBitmap ramp(int w, int h, int step = 1, unsigned blue = 7)
{
  LICE_MemBitmap bm(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bm.getBits()[y * bm.getRowSpan() + x] = rgba(x * step, y * step, blue, 255);
  return bm;
}

// The pixels that differ from the background, as (x, y) pairs.
using Points = std::set<std::pair<int, int>>;
inline Points inked(LICE_IBitmap& bm, LICE_pixel bg = 0)
{
  Points out;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x)
      if (px(bm, x, y) != bg) out.insert({x, y});
  return out;
}

// The pixels of inclusive rectangles {x0, y0, x1, y1}.
inline Points boxes(std::initializer_list<std::array<int, 4>> rects)
{
  Points out;
  for (const auto& [x0, y0, x1, y1] : rects)
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) out.insert({x, y});
  return out;
}

inline int countNot(LICE_IBitmap& bm, LICE_pixel c) { return int(inked(bm, c).size()); }

// A drawing on a w x h bitmap cleared to `bg`, exactly the pixels it must
// change when given, and pixels that must end at the given values. The cases
// live beside the code they draw with; ShapesTest.cpp runs them.
struct DrawCase {
  const char* name;
  int w, h;
  void (*draw)(LICE_IBitmap* bm);
  std::optional<Points> ink;
  std::vector<At> spots;
  LICE_pixel bg = 0;
};
class RasterDrawing : public testing::TestWithParam<DrawCase> {};

// Drawn with colour rgba(1, 0, 0, 0) in add mode: a red above 1 means some
// pixel was combined twice.
inline int maxRed(LICE_IBitmap& bm)
{
  unsigned m = 0;
  for (const auto& [x, y] : inked(bm)) m = std::max(m, LICE_GETR(px(bm, x, y)));
  return int(m);
}

}  // namespace rastertest
