// Text: the drawing-context backend with the fixed bitmap font (exact
// pixels and rectangles), the cached font's glyph path and UTF-8 walk, real
// FreeType text, and random bytes that must never hurt.
#include <random>

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

TEST(CachedFont, RandomBytesNeverHurt) {
  Gui gui(64, 32);
  std::mt19937 rng(12);
  IText fixed(11, &COLOR_WHITE, kFixedFontName), real(12, &COLOR_WHITE, "DejaVu Sans Mono");
  LICE_CachedFont glyphs;
  glyphs.SetFromHFont(CreateFont(12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "DejaVu Sans"),
                      LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FX_SHADOW);
  for (int i = 0; i < 300; ++i) {
    std::string s(rng() % 24, ' ');
    for (char& ch : s) ch = char(rng() % 255 + 1);
    IRECT r(int(rng() % 80) - 10, int(rng() % 40) - 10, 64, 32);
    gui.graphics.DrawIText(i % 2 ? &fixed : &real, s.c_str(), &r);
    RECT rr{r.L, r.T, r.R, r.B};
    glyphs.DrawText(gui.graphics.GetDrawBitmap(), s.c_str(), int(rng() % 30) - 2, &rr,
                    unsigned(rng() % 0x200) | LICE_DT_NEEDALPHA);
  }
  SUCCEED();
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
  const std::string file = ::testing::TempDir() + "/keyed.png";
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
