#pragma once
// Text drawn into raster bitmaps with a font of the drawing-context layer.
// Each character is rendered once, white on black, and its coverage cached;
// drawing then walks cached coverage in the text colour and combine mode.
// Fonts that allow it and need no effects draw whole strings through the
// drawing-context layer instead.

#include <vector>

#include "Bitmap.h"
#include "Rect.h"

struct HGDIOBJ__;

enum {
  LICE_FONT_FLAG_VERTICAL = 0x1,
  LICE_FONT_FLAG_VERTICAL_BOTTOMUP = 0x2,
  LICE_FONT_FLAG_PRECALCALL = 0x4,
  LICE_FONT_FLAG_FX_BLUR = 0x10,
  LICE_FONT_FLAG_FX_INVERT = 0x20,
  LICE_FONT_FLAG_FX_MONO = 0x40,
  LICE_FONT_FLAG_FX_SHADOW = 0x80,
  LICE_FONT_FLAG_FX_OUTLINE = 0x100,
  LICE_FONT_FLAG_OWNS_HFONT = 0x200,
  LICE_FONT_FLAG_FORCE_NATIVE = 0x400,
};
// Drawing flags of this layer on top of the drawing-context text flags.
constexpr unsigned LICE_DT_USEFGALPHA = 0x40000000u;
constexpr unsigned LICE_DT_NEEDALPHA = 0x80000000u;

class LICE_IFont {
public:
  virtual ~LICE_IFont() = default;
  virtual void SetFromHFont(HGDIOBJ__* font, int flags = 0) = 0;
  virtual LICE_pixel SetTextColor(LICE_pixel color) = 0;
  virtual LICE_pixel SetBkColor(LICE_pixel color) = 0;
  virtual LICE_pixel SetEffectColor(LICE_pixel color) = 0;
  virtual int SetBkMode(int mode) = 0;
  virtual void SetCombineMode(int mode, float alpha = 1.0f) = 0;
  virtual int DrawText(LICE_IBitmap* bm, const char* str, int strcnt, RECT* rect, unsigned int dtFlags) = 0;
  virtual LICE_pixel GetTextColor() = 0;
  virtual HGDIOBJ__* GetHFont() = 0;
  virtual int GetLineHeight() = 0;
};

class LICE_CachedFont : public LICE_IFont {
public:
  LICE_CachedFont();
  ~LICE_CachedFont() override;
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  void SetFromHFont(HGDIOBJ__* font, int flags = 0) override;
  LICE_pixel SetTextColor(LICE_pixel color) override { return exchange(m_textcolor, color); }
  LICE_pixel SetBkColor(LICE_pixel color) override { return exchange(m_bkcolor, color); }
  LICE_pixel SetEffectColor(LICE_pixel color) override { return exchange(m_effectcolor, color); }
  int SetBkMode(int mode) override
  {
    const int old = m_bkmode;
    m_bkmode = mode;
    return old;
  }
  void SetCombineMode(int mode, float alpha = 1.0f) override
  {
    m_combinemode = mode;
    m_alpha = alpha;
  }
  int DrawText(LICE_IBitmap* bm, const char* str, int strcnt, RECT* rect, unsigned int dtFlags) override
  {
    return DrawTextImpl(bm, str, strcnt, rect, dtFlags);
  }
  LICE_pixel GetTextColor() override { return m_textcolor; }
  // While set, drawing (unclipped or not) writes nothing outside this area.
  void SetPassClip(const RECT* clip)
  {
    m_hasPassClip = clip != nullptr;
    if (clip) m_passClip = *clip;
  }
  HGDIOBJ__* GetHFont() override { return m_font; }
  int GetLineHeight() override { return m_lineheight; }

  struct GlyphEntry {
    int store_offset;  // 1 + offset in the store; 0 not rendered; -1 failed
    int width, height;
    int advance;
    int code;
  };
  // The record of a code, or null.
  GlyphEntry* findChar(unsigned short code);
  // Scratch bitmaps shared by every font, for tests of their lifetime.
  static LICE_IBitmap* GlyphScratch();

private:
  static LICE_pixel exchange(LICE_pixel& field, LICE_pixel value)
  {
    const LICE_pixel old = field;
    field = value;
    return old;
  }
  bool RenderGlyph(unsigned short code);
  bool DrawGlyph(LICE_IBitmap* bm, unsigned short code, int x, int y, const RECT* clip);
  int DrawTextImpl(LICE_IBitmap* bm, const char* str, int strcnt, RECT* rect, unsigned int dtFlags);
  int DrawTextNative(LICE_IBitmap* bm, const char* str, int strcnt, RECT* rect, unsigned int dtFlags);
  int MeasureGlyphs(const char* str, int strcnt, RECT* rect, unsigned int dtFlags);
  // Finds (rendering on first use) the record of the next drawable code.
  GlyphEntry* Drawable(unsigned short code);

  LICE_pixel m_textcolor = 0;
  LICE_pixel m_bkcolor = 0xFFFFFFFF;
  LICE_pixel m_effectcolor = 0xFFFFFFFF;
  int m_bkmode = 0;
  int m_combinemode = 0;
  float m_alpha = 1.0f;
  bool m_hasPassClip = false;
  RECT m_passClip{0, 0, 0, 0};
  int m_flags = 0;
  int m_lineheight = 0;
  GlyphEntry m_lowglyphs[128] = {};
  std::vector<GlyphEntry> m_extraglyphs;
  std::vector<unsigned char> m_glyphstore;
  HGDIOBJ__* m_font = nullptr;
};

// Bytes of the UTF-8 character at str (1 to 4), at most limit when limit is
// positive; the code goes to *code. Broken or cut sequences give their lead
// byte; four-byte characters come out as a space.
int LICE_utf8char(const char* str, unsigned short* code, int limit = -1);
