// Text: the drawing-context backend with the fixed bitmap font (exact
// pixels and rectangles), the cached font's glyph path and UTF-8 walk, real
// FreeType text, and random bytes that must never hurt.
#include <unistd.h>
#include <algorithm>
#include <random>
#include <vector>

#include "CachedFont.h"
#include "GuiTestSupport.h"
#include "SwellGdi.h"

using namespace guitest;

namespace {
// A memory context with the fixed font selected and red text.
struct Ctx {
  Ctx(int w, int h) : dc(SWELL_CreateMemContext(nullptr, w, h)), bm(w, h) {
    font = CreateFont(11, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, kFixedFontName);
    SelectObject(dc, font);
    SetTextColor(dc, 0xFF0000);
  }
  ~Ctx() {
    SWELL_DeleteGfxContext(dc);
    DeleteObject(font);
  }
  // The context's pixels seen as a bitmap.
  std::vector<std::string> Art(int x, int y, int w, int h) {
    auto* px = static_cast<LICE_pixel*>(SWELL_GetCtxFrameBuffer(dc));
    for (int row = 0; row < bm.getHeight(); ++row)
      std::copy(px + row * bm.getWidth(), px + (row + 1) * bm.getWidth(), bm.getBits() + row * bm.getRowSpan());
    return guitest::Art(&bm, x, y, w, h);
  }
  HDC dc;
  HGDIOBJ font;
  LICE_MemBitmap bm;
};
}  // namespace

TEST(GdiText, FixedFontPixelsAndRectangles) {
  Ctx c(30, 20);
  RECT r{0, 0, 0, 0};
  EXPECT_EQ(SWELL_DrawText(c.dc, "AB", -1, &r, DT_CALCRECT), 12);
  EXPECT_EQ(r.right, 12);
  struct Row {
    const char* text;
    int flags, width;
  } rows[] = {{"a&&b", 0, 18}, {"a&&b", DT_NOPREFIX, 24}, {"a\r\nbc", 0, 12}, {"a\nbc", DT_SINGLELINE, 24}};
  for (const Row& row : rows) {
    RECT m{5, 5, 5, 5};
    SWELL_DrawText(c.dc, row.text, -1, &m, row.flags | DT_CALCRECT);
    EXPECT_EQ(m.right - 5, row.width) << row.text;
  }
  RECT two{0, 0, 0, 0};
  EXPECT_EQ(SWELL_DrawText(c.dc, "a\nb", -1, &two, DT_CALCRECT), 23);  // two lines of 11, plus one
  RECT empty{1, 1, 1, 1};
  EXPECT_EQ(SWELL_DrawText(c.dc, "", -1, &empty, DT_CALCRECT), 0);
  EXPECT_EQ(empty.right, 1);

  RECT box{0, 0, 30, 20};
  SWELL_DrawText(c.dc, "A", -1, &box, DT_CENTER | DT_VCENTER);  // x 12, baseline 4 + 8
  EXPECT_EQ(c.Art(11, 4, 7, 9), (std::vector<std::string>{".......", "..###..", ".#...#.", ".#...#.", ".#...#.",
                                                          ".#####.", ".#...#.", ".#...#.", "......."}));
  TEXTMETRIC tm{};
  EXPECT_EQ(GetTextMetrics(c.dc, &tm), 1);
  EXPECT_EQ(std::vector<int>({tm.tmHeight, tm.tmAscent, tm.tmDescent, tm.tmAveCharWidth}),
            std::vector<int>({11, 8, 2, 6}));
}

TEST(GdiText, ClippingToTheRectangleUnlessAskedNot) {
  for (int flags : {0, int(DT_NOCLIP)}) {
    Ctx c(20, 12);
    RECT r{0, 0, 8, 12};
    SWELL_DrawText(c.dc, "AB", -1, &r, flags);
    EXPECT_EQ(c.Art(6, 1, 4, 1)[0], flags ? "####" : "##..") << flags;
  }
}

TEST(GdiObjects, SelectionDeletionAndPools) {
  HDC dc = SWELL_CreateMemContext(nullptr, 4, 4);
  HGDIOBJ pen = CreatePen(0, 2, 0xFF);
  EXPECT_EQ(SelectObject(dc, pen), reinterpret_cast<HGDIOBJ>(1));
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(1)), pen);
  DeleteObject(GetStockObject(WHITE_PEN_STOCK));  // never freed
  EXPECT_EQ(SWELL_CloneGDIObject(pen), pen);
  const int pooled = SWELL_PooledObjectCount();
  DeleteObject(pen);  // drops the clone's reference only
  EXPECT_EQ(SWELL_PooledObjectCount(), pooled);
  DeleteObject(pen);
  EXPECT_EQ(SWELL_PooledObjectCount(), std::min(pooled + 1, 200));
  SWELL_DeleteGfxContext(dc);
  std::vector<HDC> many;
  for (int i = 0; i < 101; ++i) many.push_back(SWELL_CreateMemContext(nullptr, 1, 1));
  for (HDC d : many) SWELL_DeleteGfxContext(d);
  EXPECT_EQ(SWELL_PooledContextCount(), 100);  // the 101st was freed
  EXPECT_EQ(SWELL_GetCtxFrameBuffer(many[0]), nullptr);
}

TEST(CachedFont, Utf8DecodingStopsAtTheCount) {
  struct Row {
    const char* bytes;
    int limit;
    unsigned code;
    int length;
  } rows[] = {
      {"\xC3\xA9", -1, 0xE9, 2},   {"\xC3"
                                    "A",
                                    -1, 0xC3, 1},
      {"\xF0\x9F\x98\x80", -1, ' ', 4}, {"\xE2\x82\xAC", -1, 0x20AC, 3},
      {"\xE2\x82\xAC", 2, 0xE2, 1}, {"\xC3\xA9", 1, 0xC3, 1},
      {"\xE2\x82", -1, 0xE2, 1},    {"\x80", -1, 0x80, 1},
  };
  for (const Row& row : rows) {
    unsigned short code = 0;
    EXPECT_EQ(LICE_utf8char(row.bytes, &code, row.limit), row.length) << row.bytes;
    EXPECT_EQ(code, row.code) << row.bytes;
  }
}

TEST(CachedFont, GlyphPathMeasuresAndDrawsTheFixedFontExactly) {
  LICE_CachedFont font;
  font.SetFromHFont(CreateFont(11, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, kFixedFontName),
                    LICE_FONT_FLAG_OWNS_HFONT);
  EXPECT_EQ(font.GetLineHeight(), 11);
  struct Row {
    const char* text;
    int count;
    int width, height;
  } rows[] = {{"ab\ncd", -1, 12, 23}, {"ab\r", -1, 12, 12}, {"abc", 0, 0, 0}, {"abc", 2, 12, 12},
              {"", -1, 0, 0}};
  for (const Row& row : rows) {
    RECT r{3, 3, 3, 3};
    font.DrawText(nullptr, row.text, row.count, &r, DT_CALCRECT);
    EXPECT_EQ(std::vector<int>({int(r.right - 3), int(r.bottom - 3)}), std::vector<int>({row.width, row.height}))
        << row.text << " " << row.count;
  }
  LICE_MemBitmap bm(16, 12);
  LICE_Clear(&bm, 0);
  font.SetTextColor(LICE_RGBA(255, 0, 0, 255));
  RECT r{1, 0, 16, 12};
  EXPECT_EQ(font.DrawText(&bm, "Hi", -1, &r, 0), 12);
  EXPECT_EQ(Art(&bm, 1, 1, 12, 7), (std::vector<std::string>{"#...#...#...", "#...#.......", "#...#..##...",
                                                            "#####...#...", "#...#...#...", "#...#...#...",
                                                            "#...#..###.."}));
  // A translucent colour under the alpha flag draws at its weight; alpha 0 draws nothing.
  LICE_MemBitmap faint(8, 12);
  LICE_Clear(&faint, 0);
  font.SetTextColor(LICE_RGBA(255, 0, 0, 0));
  EXPECT_EQ(font.DrawText(&faint, "H", -1, &r, LICE_DT_USEFGALPHA), 0);
  EXPECT_EQ(LICE_GetPixel(&faint, 1, 1), 0u);
  font.SetTextColor(LICE_RGBA(255, 0, 0, 128));
  RECT fr{0, 0, 8, 12};
  font.DrawText(&faint, "H", -1, &fr, LICE_DT_USEFGALPHA);
  EXPECT_NEAR(int(LICE_GETR(LICE_GetPixel(&faint, 0, 1))), 128, 2);
}

TEST(CachedFont, FreeTypeTextHasInkInsideItsMeasuredBox) {
  Gui gui(200, 60);
  IText text(16, &COLOR_WHITE, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
  text.mVAlign = 0;
  IRECT box(10, 10, 10, 10);
  ASSERT_TRUE(gui.graphics.MeasureIText(&text, "Hello", &box));
  EXPECT_GT(box.W(), 20);
  EXPECT_GT(box.H(), 12);
  gui.graphics.DrawIText(&text, "Hello", &box);
  int inside = 0, outside = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x)
      if (LICE_GETR(gui.At(x, y))) (box.Contains(x, y) ? inside : outside)++;
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
}

// A bitmap inside a larger block: guard rows above and below, and guard
// pixels right of every row (the row span is wider than the width).
class GuardedBitmap : public LICE_IBitmap {
 public:
  static constexpr int kGuard = 8;
  static constexpr LICE_pixel kMark = 0xA5C3E17Bu;
  GuardedBitmap(int w, int h) : mW(w), mH(h), mBlock(size_t((w + kGuard) * (h + 2 * kGuard)), kMark) {
    for (int y = 0; y < h; ++y) std::fill_n(getBits() + y * getRowSpan(), w, LICE_pixel(0));
  }
  LICE_pixel* getBits() override { return mBlock.data() + kGuard * getRowSpan(); }
  int getWidth() override { return mW; }
  int getHeight() override { return mH; }
  int getRowSpan() override { return mW + kGuard; }
  bool resize(int, int) override { return false; }
  // Pixels outside the bitmap that were written.
  int touchedGuards() {
    int touched = 0;
    for (int y = -kGuard; y < mH + kGuard; ++y)
      for (int x = 0; x < getRowSpan(); ++x)
        if ((y < 0 || y >= mH || x >= mW) && mBlock[size_t((y + kGuard) * getRowSpan() + x)] != kMark) ++touched;
    return touched;
  }

 private:
  int mW, mH;
  std::vector<LICE_pixel> mBlock;
};

TEST(CachedFont, RandomBytesNeverHurt) {
  Gui gui(64, 32);
  GuardedBitmap target(64, 32);
  std::mt19937 rng(12);
  IText fixed(11, &COLOR_WHITE, kFixedFontName), real(12, &COLOR_WHITE, "DejaVu Sans Mono");
  LICE_CachedFont glyphs;
  glyphs.SetFromHFont(CreateFont(12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "DejaVu Sans"),
                      LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FX_SHADOW);
  int drawnRounds = 0;
  for (int i = 0; i < 300; ++i) {
    std::string s(rng() % 24, ' ');
    for (char& ch : s) ch = char(rng() % 255 + 1);
    IRECT r(int(rng() % 80) - 10, int(rng() % 40) - 10, 64, 32);
    gui.graphics.DrawIText(i % 2 ? &fixed : &real, s.c_str(), &r);
    RECT rr{r.L, r.T, r.R, r.B};
    // Rectangles reaching past every edge: the glyphs are cut at the bitmap.
    RECT wide{r.L - 40, r.T - 20, r.R + 40, r.B + 20};
    const unsigned flags = unsigned(rng() % 0x200) | LICE_DT_NEEDALPHA;
    glyphs.DrawText(&target, s.c_str(), int(rng() % 30) - 2, i % 3 ? &rr : &wide, flags);
    ASSERT_EQ(target.touchedGuards(), 0) << "round " << i;
    if (!s.empty()) ++drawnRounds;
  }
  EXPECT_GT(drawnRounds, 250);
  // Something was drawn inside, so the guards are not untouched by chance.
  int lit = 0;
  for (int y = 0; y < target.getHeight(); ++y)
    for (int x = 0; x < target.getWidth(); ++x) lit += target.getBits()[y * target.getRowSpan() + x] != 0;
  EXPECT_GT(lit, 0);
}

TEST(GdiShapes, PolygonsBlitsAndImageLists) {
  Ctx c(40, 40);
  HBRUSH brush = CreateSolidBrush(0xFF0000);
  SelectObject(c.dc, brush);
  RoundRect(c.dc, 0, 0, 30, 30, 9, 9);  // corners cut 3 pixels deep
  EXPECT_EQ(c.Art(0, 0, 5, 4), (std::vector<std::string>{"..###", ".####", "#####", "#####"}));
  DeleteObject(brush);

  Ctx from(20, 4);
  HBRUSH red = CreateSolidBrush(0xFF0000);
  RECT all{0, 0, 20, 4};
  SWELL_FillRect(from.dc, &all, red);
  DeleteObject(red);
  Ctx to(40, 4);
  StretchBlt(to.dc, 5, 0, 20, 4, from.dc, -10, 0, 20, 4, 0);  // ten pixels from x + 10
  EXPECT_EQ(to.Art(0, 0, 40, 1)[0], "...............##########...............");

  int out[3] = {7, 7, 7};
  EXPECT_EQ(GetObject(nullptr, 12, out), 0);
  EXPECT_EQ(out[2], 0);
  const unsigned pixels[4] = {0xFF0000FFu, 0, 0, 0xFF0000FFu};
  HBITMAP image = CreateBitmap(2, 2, 1, 32, reinterpret_cast<const unsigned char*>(pixels));
  EXPECT_EQ(GetObject(image, 8, out), 1);
  EXPECT_EQ(out[0], 2);
  HIMAGELIST list = ImageList_CreateEx();
  EXPECT_EQ(ImageList_ReplaceIcon(list, -1, image), 0);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 5, image), 1);
  EXPECT_FALSE(ImageList_Remove(list, 7));
  EXPECT_TRUE(ImageList_Remove(list, -1));
  ImageList_Destroy(list);
  DeleteObject(image);

  LICE_MemBitmap keyed(2, 1);
  keyed.getBits()[0] = LICE_RGBA(255, 0, 255, 255);
  keyed.getBits()[1] = LICE_RGBA(1, 2, 3, 255);
  const std::string file = ::testing::TempDir() + "/keyed-" + std::to_string(getpid()) + ".png";
  ASSERT_TRUE(WriteTestPng(file, &keyed));
  HBITMAP loaded = LoadNamedImage(file.c_str(), true);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(GetNSImageFromHICON(loaded)[0], 0u);
  EXPECT_EQ(GetNSImageFromHICON(loaded)[1], LICE_RGBA(1, 2, 3, 255));
  EXPECT_EQ(LoadNamedImage("keyed.png", false), nullptr);  // no named application images
  DeleteObject(loaded);
}

TEST(CachedFont, EffectsAndVerticalText) {
  struct Row {
    int flags;
    std::vector<std::string> art;  // "I" of the fixed font: 0E 04 04 04 04 04 0E
  } rows[] = {
      {LICE_FONT_FLAG_FX_MONO, {".###..", "..#...", "..#...", "..#...", "..#...", "..#...", ".###.."}},
      {LICE_FONT_FLAG_FX_SHADOW, {".####.", ".####.", "..##..", "..##..", "..##..", "..##..", ".####."}},
      {LICE_FONT_FLAG_FX_INVERT | LICE_FONT_FLAG_FX_MONO,
       {"#...##", "##.###", "##.###", "##.###", "##.###", "##.###", "#...##"}},
  };
  for (const Row& row : rows) {
    LICE_CachedFont font;
    font.SetFromHFont(CreateFont(11, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, kFixedFontName),
                      LICE_FONT_FLAG_OWNS_HFONT | row.flags);
    font.SetTextColor(LICE_RGBA(255, 0, 0, 255));
    font.SetEffectColor(LICE_RGBA(128, 0, 0, 255));
    LICE_MemBitmap bm(10, 12);
    LICE_Clear(&bm, 0);
    RECT r{0, 0, 10, 12};
    font.DrawText(&bm, "I", -1, &r, 0);
    EXPECT_EQ(Art(&bm, 0, 1, 6, 7), row.art) << row.flags;
  }
  // Vertical: a line feed starts the next column one line height to the right.
  LICE_CachedFont vertical;
  vertical.SetFromHFont(CreateFont(11, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, kFixedFontName),
                        LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_VERTICAL);
  RECT m{0, 0, 0, 0};
  EXPECT_EQ(vertical.DrawText(nullptr, "ab\nc", -1, &m, DT_CALCRECT), 23);
  EXPECT_EQ(m.bottom, 12);
}

namespace {
// The fixed font's "I" (ink at columns 1-3, rows 1-7 of its 6 x 11 cell).
std::unique_ptr<LICE_CachedFont> FixedFont(int flags) {
  auto font = std::make_unique<LICE_CachedFont>();
  font->SetFromHFont(CreateFont(11, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, kFixedFontName),
                     LICE_FONT_FLAG_OWNS_HFONT | flags);
  font->SetTextColor(LICE_RGBA(255, 0, 0, 255));
  return font;
}

// Left and top of the ink (red set) in the bitmap; -1, -1 when there is none.
std::pair<int, int> InkCorner(LICE_IBitmap* bm) {
  int left = -1, top = -1;
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x)
      if (LICE_GETR(LICE_GetPixel(bm, x, y))) {
        left = left < 0 ? x : std::min(left, x);
        top = top < 0 ? y : top;
      }
  return {left, top};
}
}  // namespace

// Which way the text goes decides where alignment puts it: the glyph path
// centres when both centre and right (or bottom) are asked for, the
// off-screen system path aligns right (or to the bottom).
TEST(CachedFont, ThePathTakenAndItsAlignmentFollowTheFlags) {
  constexpr int kW = 40, kH = 30;
  const int system = LICE_FONT_FLAG_FORCE_NATIVE;
  struct Where {
    bool glyphPath;
    int horizontal, vertical;  // 0 left/top, 1 centre, 2 right/bottom
  };
  const struct {
    const char* what;
    int fontFlags;
    unsigned dtFlags;
    Where where;
  } rows[] = {
      {"glyph path, centre and right: centre", 0, DT_CENTER | DT_RIGHT, {true, 1, 0}},
      {"glyph path, right", 0, DT_RIGHT, {true, 2, 0}},
      {"glyph path, centre and bottom: centre", 0, DT_VCENTER | DT_BOTTOM, {true, 0, 1}},
      {"glyph path, bottom", 0, DT_BOTTOM, {true, 0, 2}},
      {"system path, centre and right: right", system, DT_CENTER | DT_RIGHT, {false, 2, 0}},
      {"system path, centre and bottom: bottom", system, DT_VCENTER | DT_BOTTOM, {false, 0, 2}},
      {"system path, centre", system, DT_CENTER, {false, 1, 0}},
      {"the colour's alpha keeps it on the glyph path", system, LICE_DT_USEFGALPHA | DT_CENTER | DT_RIGHT, {true, 1, 0}},
      {"so does the need for alpha", system, LICE_DT_NEEDALPHA | DT_CENTER | DT_RIGHT, {true, 1, 0}},
      {"and any glyph effect", system | LICE_FONT_FLAG_FX_MONO, DT_CENTER | DT_RIGHT, {true, 1, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto font = FixedFont(row.fontFlags);
    // Where the ink sits in the text's own box, and the box, on this path.
    LICE_MemBitmap plain(kW, kH);
    LICE_Clear(&plain, 0);
    RECT at{0, 0, kW, kH};
    const unsigned pathBits = row.dtFlags & (LICE_DT_USEFGALPHA | LICE_DT_NEEDALPHA);
    font->DrawText(&plain, "I", -1, &at, pathBits);
    const auto [inkX, inkY] = InkCorner(&plain);
    RECT box{0, 0, 0, 0};
    font->DrawText(nullptr, "I", -1, &box, DT_CALCRECT | (pathBits & LICE_DT_NEEDALPHA));
    ASSERT_GT(box.right, 0);

    LICE_MemBitmap bm(kW, kH);
    LICE_Clear(&bm, 0);
    RECT r{0, 0, kW, kH};
    font->DrawText(&bm, "I", -1, &r, row.dtFlags);
    const int x = row.where.horizontal == 0 ? 0 : row.where.horizontal == 1 ? (kW - box.right) / 2 : kW - box.right;
    const int y = row.where.vertical == 0 ? 0 : row.where.vertical == 1 ? (kH - box.bottom) / 2 : kH - box.bottom;
    EXPECT_EQ(InkCorner(&bm), std::pair(x + inkX, y + inkY));
  }
}

// A line height of 256 or more always takes the system path, whatever the
// flags ask: there the text aligns right where the glyph path would centre.
TEST(CachedFont, AFontOf256PixelsAlwaysTakesTheSystemPath) {
  LICE_CachedFont font;
  font.SetFromHFont(CreateFont(256, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "DejaVu Sans"), LICE_FONT_FLAG_OWNS_HFONT);
  ASSERT_GE(font.GetLineHeight(), 256);
  font.SetTextColor(LICE_RGBA(255, 0, 0, 255));
  RECT box{0, 0, 0, 0};
  font.DrawText(nullptr, "I", -1, &box, DT_CALCRECT | LICE_DT_NEEDALPHA);
  ASSERT_GT(box.right, 0);
  LICE_MemBitmap bm(1000, 400);
  LICE_Clear(&bm, 0);
  RECT r{0, 0, 1000, 400};
  font.DrawText(&bm, "I", -1, &r, DT_CENTER | DT_RIGHT | LICE_DT_NEEDALPHA);
  EXPECT_GE(InkCorner(&bm).first, 1000 - box.right);
}

// A string running past the rectangle is cut there on both paths, unless the
// call asks for no clipping: then only the bitmap cuts it.
TEST(CachedFont, TextIsCutAtItsRectangleUnlessAskedNot) {
  for (const int flags : {0, int(LICE_FONT_FLAG_FORCE_NATIVE)}) {
    for (const unsigned noClip : {0u, unsigned(DT_NOCLIP)}) {
      SCOPED_TRACE(std::string(flags ? "system path" : "glyph path") + (noClip ? ", no clipping" : ""));
      auto font = FixedFont(flags);
      LICE_MemBitmap bm(30, 12);
      LICE_Clear(&bm, 0);
      RECT r{-3, 0, 5, 11};
      font->DrawText(&bm, "HiH", -1, &r, noClip);
      int right = -1;
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 30; ++x)
          if (LICE_GETR(LICE_GetPixel(&bm, x, y))) right = std::max(right, x);
      EXPECT_EQ(LICE_GETR(LICE_GetPixel(&bm, 1, 1)), 255u);  // "H" at -3: its right stem at 1
      if (noClip) {
        EXPECT_EQ(right, 13);  // the last "H" ends at -3 + 12 + 4
      } else {
        EXPECT_EQ(right, 4);
      }
    }
  }
}

// An opaque background fills the glyph's box first; an outline rings the
// glyph in the effect colour; a blur spreads its coverage.
TEST(CachedFont, OpaqueOutlineAndBlurredGlyphs) {
  const LICE_pixel blue = LICE_RGBA(0, 0, 255, 255);
  for (const int flags : {0, int(LICE_FONT_FLAG_FORCE_NATIVE)}) {
    SCOPED_TRACE(flags ? "system path" : "glyph path");
    auto font = FixedFont(flags);
    font->SetBkMode(1);
    font->SetBkColor(blue);
    LICE_MemBitmap bm(12, 14);
    LICE_Clear(&bm, 0);
    RECT r{0, 0, 12, 14};
    font->DrawText(&bm, "I", -1, &r, 0);
    const auto rgb = [&](int x, int y) { return LICE_GetPixel(&bm, x, y) & LICE_RGBA(255, 255, 255, 0); };
    EXPECT_EQ(rgb(0, 0), blue & LICE_RGBA(255, 255, 255, 0));
    EXPECT_EQ(rgb(5, 9), blue & LICE_RGBA(255, 255, 255, 0));
    EXPECT_EQ(LICE_GETR(LICE_GetPixel(&bm, 2, 1)), 255u);
    EXPECT_EQ(LICE_GetPixel(&bm, 6, 0), 0u);  // beyond the text's box
    if (!flags) {
      EXPECT_EQ(rgb(5, 11), blue & LICE_RGBA(255, 255, 255, 0));  // the glyph's whole box
      EXPECT_EQ(LICE_GetPixel(&bm, 0, 12), 0u);
    }
  }

  auto outlined = FixedFont(LICE_FONT_FLAG_FX_OUTLINE);
  outlined->SetEffectColor(LICE_RGBA(128, 0, 0, 255));
  LICE_MemBitmap ring(10, 12);
  LICE_Clear(&ring, 0);
  RECT r{0, 0, 10, 12};
  outlined->DrawText(&ring, "I", -1, &r, 0);
  EXPECT_EQ(Art(&ring, 0, 0, 6, 9), (std::vector<std::string>{".###..", "#####.", ".###..", ".###..", ".###..",
                                                             ".###..", ".###..", "#####.", ".###.."}));
  EXPECT_EQ(LICE_GETR(LICE_GetPixel(&ring, 0, 1)), 128u);  // effect pixel
  EXPECT_EQ(LICE_GETR(LICE_GetPixel(&ring, 1, 1)), 255u);  // the glyph itself
  EXPECT_EQ(LICE_GETR(LICE_GetPixel(&ring, 1, 2)), 128u);

  auto blurred = FixedFont(LICE_FONT_FLAG_FX_BLUR);
  LICE_MemBitmap soft(10, 12);
  LICE_Clear(&soft, 0);
  blurred->DrawText(&soft, "I", -1, &r, 0);
  const unsigned beside = LICE_GETR(LICE_GetPixel(&soft, 0, 1)), stem = LICE_GETR(LICE_GetPixel(&soft, 2, 4));
  EXPECT_GT(beside, 0u);  // coverage spread to where the sharp glyph has none
  EXPECT_LT(beside, 255u);
  EXPECT_GT(stem, beside);
  EXPECT_LT(stem, 255u);  // and thinned the one-pixel stem
}
