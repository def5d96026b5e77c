#include "CachedFont.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "Blit.h"
#include "CombineSelect.h"
#include "Fill.h"
#include "SwellGdi.h"

namespace {
// Made on first use; a font made earlier than it would find it gone at
// exit, so process-wide font holders make one font first.
// Glyphs are rendered into it on the drawing thread only; a font may be made
// on any thread, as making one reads its metrics in a context of its own.
struct Scratch {
  Scratch() { SWELL_GdiInit(); }
  std::unique_ptr<LICE_SysBitmap> glyphs, native;
  std::atomic<int> refcnt{0};
};
Scratch& TheScratch()
{
  static Scratch scratch;
  return scratch;
}


void PrepareScratchContext(LICE_SysBitmap* bm)
{
  HDC dc = bm->getDC();
  ::SetTextColor(dc, 0xFFFFFF);
  ::SetBkMode(dc, OPAQUE);
  ::SetBkColor(dc, 0);
}

bool RealObject(HGDIOBJ obj)
{
  return reinterpret_cast<uintptr_t>(obj) >= 5;
}

bool IsCont(const unsigned char* s, int k, int limit)
{
  return (limit < 0 || k < limit) && (s[k] & 0xC0) == 0x80;
}

template <class Combine>
struct GlyphRenderer {
  static void Mono(const unsigned char* gl, unsigned char* p, int gspan, ptrdiff_t dspan, int w, int h, int r, int g,
                   int b, int a)
  {
    for (; h > 0; --h, gl += gspan, p += dspan)
      for (int x = 0; x < w; ++x)
        if (gl[x]) Combine::doPix(p + x * 4, r, g, b, 255, a);
  }
  static void Effect(const unsigned char* gl, unsigned char* p, int gspan, ptrdiff_t dspan, int w, int h, int r,
                     int g, int b, int a, int er, int eg, int eb)
  {
    for (; h > 0; --h, gl += gspan, p += dspan)
      for (int x = 0; x < w; ++x) {
        if (gl[x] == 255)
          Combine::doPix(p + x * 4, r, g, b, 255, a);
        else if (gl[x])
          Combine::doPix(p + x * 4, er, eg, eb, 255, a);
      }
  }
  static void Normal(const unsigned char* gl, unsigned char* p, int gspan, ptrdiff_t dspan, int w, int h, int r,
                     int g, int b, int a)
  {
    for (; h > 0; --h, gl += gspan, p += dspan)
      for (int x = 0; x < w; ++x)
        if (const int v = gl[x]) Combine::doPix(p + x * 4, r, g, b, 255, a == 256 ? v + 1 : std::min(v * a / 256, 256));
  }
};
}  // namespace

int LICE_utf8char(const char* str, unsigned short* code, int limit)
{
  const auto* s = reinterpret_cast<const unsigned char*>(str);
  const unsigned b0 = s[0];
  int n = 1;
  unsigned c = b0;
  if (b0 >= 0xC2 && b0 <= 0xDF && IsCont(s, 1, limit)) {
    c = ((b0 & 0x1F) << 6) | (s[1] & 0x3F);
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF && IsCont(s, 1, limit) && IsCont(s, 2, limit)) {
    c = ((b0 << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu)) & 0xFFFF;
    n = 3;
  } else if (b0 >= 0xF0 && b0 <= 0xF4 && IsCont(s, 1, limit) && IsCont(s, 2, limit) && IsCont(s, 3, limit)) {
    c = ' ';
    n = 4;
  }
  if (code) *code = static_cast<unsigned short>(c);
  return n;
}

LICE_CachedFont::LICE_CachedFont()
{
  ++TheScratch().refcnt;
}

LICE_CachedFont::~LICE_CachedFont()
{
  if ((m_flags & LICE_FONT_FLAG_OWNS_HFONT) && m_font) DeleteObject(m_font);
  if (--TheScratch().refcnt == 0) {
    TheScratch().glyphs.reset();
    TheScratch().native.reset();
  }
}

LICE_IBitmap* LICE_CachedFont::GlyphScratch()
{
  return TheScratch().glyphs.get();
}

void LICE_CachedFont::SetFromHFont(HGDIOBJ__* font, int flags)
{
  if ((m_flags & LICE_FONT_FLAG_OWNS_HFONT) && m_font && m_font != font) DeleteObject(m_font);
  m_flags = flags;
  m_font = font;
  if (font) {
    LICE_SysBitmap probe(1, 1);
    HDC dc = probe.getDC();
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    if (RealObject(old)) SelectObject(dc, old);
    m_lineheight = tm.tmHeight;
  }
  std::memset(m_lowglyphs, 0, sizeof(m_lowglyphs));
  m_extraglyphs.clear();
  m_glyphstore.clear();
  m_glyphstore.shrink_to_fit();
  if (flags & LICE_FONT_FLAG_PRECALCALL)
    for (int c = 0; c < 128; ++c) RenderGlyph(static_cast<unsigned short>(c));
}

LICE_CachedFont::GlyphEntry* LICE_CachedFont::findChar(unsigned short code)
{
  if (code < 128) return &m_lowglyphs[code];
  if (m_extraglyphs.empty()) return nullptr;
  auto it = std::lower_bound(m_extraglyphs.begin(), m_extraglyphs.end(), int(code),
                             [](const GlyphEntry& e, int c) { return e.code < c; });
  return it != m_extraglyphs.end() && it->code == code ? &*it : nullptr;
}

bool LICE_CachedFont::RenderGlyph(unsigned short code)
{
  if (m_lineheight > 1023) return false;
  GlyphEntry* rec = findChar(code);
  bool appended = false;
  if (!rec) {
    if (m_flags & LICE_FONT_FLAG_PRECALCALL) return false;
    try {
      m_extraglyphs.push_back({0, 0, 0, 0, code});
    } catch (const std::bad_alloc&) {
      return false;  // the character is skipped
    }
    rec = &m_extraglyphs.back();
    appended = true;
  }
  if (!TheScratch().glyphs) TheScratch().glyphs = std::make_unique<LICE_SysBitmap>(0, 0);
  const int n = 2 * std::max(m_lineheight, 1) + 8;
  if (TheScratch().glyphs->getWidth() < n || TheScratch().glyphs->getHeight() < n) {
    TheScratch().glyphs->resize(n, n);
    PrepareScratchContext(TheScratch().glyphs.get());
  }
  LICE_SysBitmap* tmp = TheScratch().glyphs.get();
  HDC dc = tmp->getDC();
  HGDIOBJ old = m_font ? SelectObject(dc, m_font) : nullptr;

  char buf[4] = {};
  if (code < 0x80) {
    buf[0] = char(code);
  } else if (code <= 0x7FF) {
    buf[0] = char(0xC0 + (code >> 6));
    buf[1] = char(0x80 | (code & 0x3F));
  } else {
    buf[0] = char(0xE0 | (code >> 12));
    buf[1] = char(0x80 | ((code >> 6) & 0x3F));
    buf[2] = char(0x80 | (code & 0x3F));
  }
  RECT r{0, 0, 0, 0};
  SWELL_DrawText(dc, buf, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  int advance = r.right;
  r.right += m_lineheight <= 15 ? 2 : m_lineheight / 16 + 2;
  LICE_FillRect(tmp, 0, 0, r.right, r.bottom, 0, 1.0f, 0);
  SWELL_DrawText(dc, buf, -1, &r, DT_SINGLELINE | DT_NOPREFIX);
  advance = std::min(advance, tmp->getWidth());
  r.right = std::min(r.right, tmp->getWidth());
  r.bottom = std::min(r.bottom, tmp->getHeight());
  if (RealObject(old)) SelectObject(dc, old);

  bool ok = advance > 0 && r.bottom > 0;
  if (ok) {
    rec->advance = advance;
    if (m_flags & LICE_FONT_FLAG_FX_BLUR) LICE_Blur(tmp, tmp, 0, 0, 0, 0, r.right, r.bottom);
    const size_t offset = m_glyphstore.size();
    const int boxW = r.right, boxH = r.bottom;
    try {
      m_glyphstore.resize(offset + size_t(boxW) * size_t(boxH));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    if (ok) {
      rec->store_offset = int(offset) + 1;
      unsigned char* out = m_glyphstore.data() + offset;
      const LICE_Rows rows = LICE_GetRows(tmp);
      int used = advance;
      for (int y = 0; y < boxH; ++y)
        for (int x = 0; x < boxW; ++x) {
          const unsigned char v = rows.at(x, y)[LICE_PIXEL_R];
          if (v && x >= used) used = x + 1;
          out[y * boxW + x] = (m_flags & LICE_FONT_FLAG_FX_INVERT) ? 255 - v : v;
        }
      int w = boxW, h = boxH;
      if (used < boxW) {
        for (int y = 1; y < h; ++y) std::memmove(out + y * used, out + y * boxW, size_t(used));
        w = used;
        m_glyphstore.resize(offset + size_t(w) * size_t(h));
        out = m_glyphstore.data() + offset;
      }
      if (m_flags & LICE_FONT_FLAG_VERTICAL) {
        std::vector<unsigned char> turned(size_t(w) * size_t(h));
        const bool ccw = (m_flags & LICE_FONT_FLAG_VERTICAL_BOTTOMUP) != 0;
        for (int i = 0; i < w; ++i)
          for (int j = 0; j < h; ++j) turned[size_t(i * h + j)] = ccw ? out[j * w + (w - 1 - i)] : out[(h - 1 - j) * w + i];
        std::memcpy(out, turned.data(), turned.size());
        std::swap(w, h);
      }
      if (m_flags & (LICE_FONT_FLAG_FX_MONO | LICE_FONT_FLAG_FX_SHADOW | LICE_FONT_FLAG_FX_OUTLINE)) {
        for (int i = 0; i < w * h; ++i) out[i] = out[i] > 130 ? 255 : 0;
        const bool shadow = (m_flags & LICE_FONT_FLAG_FX_SHADOW) != 0;
        if (shadow || (m_flags & LICE_FONT_FLAG_FX_OUTLINE)) {
          auto full = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && out[y * w + x] == 255; };
          for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
              if (out[y * w + x]) continue;
              const bool edge = shadow ? full(x - 1, y) || full(x - 1, y - 1) || full(x, y - 1)
                                       : full(x, y - 1) || full(x, y + 1) || full(x - 1, y) || full(x + 1, y);
              if (edge) out[y * w + x] = 128;
            }
        }
      }
      rec->width = w;
      rec->height = h;
    }
  }
  if (!ok) *rec = {-1, 0, 0, 0, rec->code};
  if (appended && m_extraglyphs.size() >= 2)
    std::sort(m_extraglyphs.begin(), m_extraglyphs.end(),
              [](const GlyphEntry& a, const GlyphEntry& b) { return a.code < b.code; });
  return true;
}

LICE_CachedFont::GlyphEntry* LICE_CachedFont::Drawable(unsigned short code)
{
  GlyphEntry* rec = findChar(code);
  if (!rec || rec->store_offset == 0) {
    RenderGlyph(code);
    rec = findChar(code);
  }
  return rec && rec->store_offset > 0 ? rec : nullptr;
}

namespace {
// Walks a string as the glyph path reads it: carriage returns skipped, line
// feeds as breaks (or spaces under single line), a positive count limiting
// the bytes a character may take.
template <class OnChar, class OnBreak>
void WalkString(const char* str, int strcnt, unsigned dtFlags, OnChar onChar, OnBreak onBreak)
{
  if (!str || strcnt == 0) return;
  int left = strcnt;
  while (*str && (strcnt < 0 || left > 0)) {
    unsigned short code = 0;
    const int n = LICE_utf8char(str, &code, strcnt < 0 ? -1 : left);
    str += n;
    left -= n;
    if (code == 13) continue;
    if (code == 10) {
      if (!(dtFlags & DT_SINGLELINE)) {
        onBreak();
        continue;
      }
      code = ' ';
    }
    onChar(code);
  }
}
}  // namespace

int LICE_CachedFont::MeasureGlyphs(const char* str, int strcnt, RECT* rect, unsigned int dtFlags)
{
  const bool vertical = (m_flags & LICE_FONT_FLAG_VERTICAL) != 0;
  int x = 0, y = 0, ew = 0, eh = 0;
  WalkString(
      str, strcnt, dtFlags,
      [&](unsigned short code) {
        const GlyphEntry* g = Drawable(code);
        if (!g) return;
        if (!vertical) {
          eh = std::max(eh, y + g->height);
          const int oldX = x;
          x += g->advance;
          ew = std::max({ew, x, oldX + g->width});
        } else {
          ew = std::max(ew, x + g->width);
          const int oldY = y;
          y += g->advance;
          eh = std::max({eh, y, oldY + g->height});
        }
      },
      [&] {
        if (!vertical) {
          y += m_lineheight;
          x = 0;
        } else {
          x += m_lineheight;
          y = 0;
        }
      });
  if (rect) {
    rect->right = rect->left + ew;
    rect->bottom = rect->top + eh;
  }
  return vertical ? ew : eh;
}

int LICE_CachedFont::DrawTextNative(LICE_IBitmap* bm, const char* str, int strcnt, RECT* rect, unsigned int dtFlags)
{
  const bool measure = (dtFlags & DT_CALCRECT) != 0;
  HDC dc = bm ? bm->getDC() : nullptr;
  if (dc) {
    HGDIOBJ old = SelectObject(dc, m_font);
    ::SetTextColor(dc, LICE_ToRRGGBB(m_textcolor));
    ::SetBkMode(dc, m_bkmode);
    if (m_bkmode == OPAQUE) ::SetBkColor(dc, LICE_ToRRGGBB(m_bkcolor));
    RECT r = *rect;
    const bool clipped = m_hasPassClip && !measure;
    if (clipped) {
      SWELL_PushClipRegion(dc);
      SWELL_SetClipRegion(dc, &m_passClip);
    }
    const int ret = SWELL_DrawText(dc, str, strcnt, &r, int((dtFlags & ~LICE_DT_NEEDALPHA) | DT_NOPREFIX));
    if (clipped) SWELL_PopClipRegion(dc);
    if (measure) *rect = r;
    if (RealObject(old)) SelectObject(dc, old);
    return ret;
  }
  if (!TheScratch().native) TheScratch().native = std::make_unique<LICE_SysBitmap>(0, 0);
  LICE_SysBitmap* tmp = TheScratch().native.get();
  if (tmp->getWidth() < 4 || tmp->getHeight() < 4) tmp->resize(4, 4);
  dc = tmp->getDC();
  if (!dc) return 0;
  HGDIOBJ old = SelectObject(dc, m_font);
  auto restore = [&] {
    if (RealObject(old)) SelectObject(dc, old);
  };
  RECT mr{0, 0, 0, 0};
  const unsigned noAlign = ~unsigned(DT_VCENTER | DT_CENTER | DT_BOTTOM | DT_RIGHT) & ~LICE_DT_NEEDALPHA;
  const int mret = SWELL_DrawText(dc, str, strcnt, &mr, int((dtFlags & noAlign) | DT_CALCRECT | DT_NOPREFIX));
  const int w = mr.right - mr.left, h = mr.bottom - mr.top;
  if (measure) {
    rect->right = rect->left + w;
    rect->bottom = rect->top + h;
    restore();
    return mret;
  }
  int x = (dtFlags & DT_RIGHT) ? rect->right - w : (dtFlags & DT_CENTER) ? (rect->left + rect->right - w) / 2 : rect->left;
  int y = (dtFlags & DT_BOTTOM) ? rect->bottom - h : (dtFlags & DT_VCENTER) ? (rect->top + rect->bottom - h) / 2 : rect->top;
  int right = std::min(x + w, bm->getWidth()), bottom = std::min(y + h, bm->getHeight());
  int xLimit = 0, yLimit = 0;
  if (!(dtFlags & DT_NOCLIP)) {
    right = std::min(right, int(rect->right));
    bottom = std::min(bottom, int(rect->bottom));
    xLimit = std::max(int(rect->left), 0);
    yLimit = std::max(int(rect->top), 0);
  }
  if (m_hasPassClip) {
    right = std::min(right, int(m_passClip.right));
    bottom = std::min(bottom, int(m_passClip.bottom));
    xLimit = std::max(xLimit, int(m_passClip.left));
    yLimit = std::max(yLimit, int(m_passClip.top));
  }
  int xOffset = 0, yOffset = 0;
  if (x < xLimit) {
    xOffset = x - xLimit;
    x = xLimit;
  }
  if (y < yLimit) {
    yOffset = y - yLimit;
    y = yLimit;
  }
  if (right <= x || bottom <= y) {
    restore();
    return mret;
  }
  if (tmp->getWidth() < right - x || tmp->getHeight() < bottom - y) {
    restore();
    tmp->resize(right - x, bottom - y);
    dc = tmp->getDC();
    old = SelectObject(dc, m_font);
  }
  LICE_Blit(tmp, bm, 0, 0, x, y, right - x, bottom - y, 1.0f, 0);
  ::SetTextColor(dc, LICE_ToRRGGBB(m_textcolor));
  ::SetBkMode(dc, m_bkmode);
  if (m_bkmode == OPAQUE) ::SetBkColor(dc, LICE_ToRRGGBB(m_bkcolor));
  RECT dr{xOffset, yOffset, right, bottom};
  const unsigned drawMask = noAlign & ~unsigned(DT_NOCLIP);
  const int ret = SWELL_DrawText(dc, str, strcnt, &dr, int((dtFlags & drawMask) | DT_NOPREFIX));
  LICE_Blit(bm, tmp, x, y, 0, 0, right - x, bottom - y, m_alpha, 0);
  restore();
  return ret;
}

int LICE_CachedFont::DrawTextImpl(LICE_IBitmap* bm, const char* str, int strcnt, RECT* rect, unsigned int dtFlags)
{
  const bool measure = (dtFlags & DT_CALCRECT) != 0;
  if (!measure && !bm) return 0;
  if (!rect) return 0;
  const bool native = ((m_flags & LICE_FONT_FLAG_FORCE_NATIVE) && !(m_flags & 0x1F7) && dtFlags < 0x40000000u &&
                       m_font) ||
                      m_lineheight >= 256;
  if (native) return DrawTextNative(bm, str, strcnt, rect, dtFlags);
  if (measure) return MeasureGlyphs(str, strcnt, rect, dtFlags);

  const float savedAlpha = m_alpha;
  if (dtFlags & LICE_DT_USEFGALPHA) m_alpha *= float(LICE_GETA(m_textcolor)) / 255.0f;
  if (m_alpha == 0.0f) {
    m_alpha = savedAlpha;
    return 0;
  }
  const bool vertical = (m_flags & LICE_FONT_FLAG_VERTICAL) != 0;
  const bool verticalUp = vertical && (m_flags & LICE_FONT_FLAG_VERTICAL_BOTTOMUP);
  int x0 = rect->left, y0 = rect->top;
  const bool aligned = (dtFlags & (DT_VCENTER | DT_CENTER | DT_BOTTOM | DT_RIGHT)) != 0;
  if (aligned || verticalUp) {
    RECT m{0, 0, 0, 0};
    DrawTextImpl(bm, str, strcnt, &m, (dtFlags & (DT_SINGLELINE | LICE_DT_NEEDALPHA)) | DT_CALCRECT);
    if (dtFlags & DT_CENTER) x0 = (rect->right - rect->left - m.right) / 2 + rect->left;
    else if (dtFlags & DT_RIGHT) x0 = rect->right - m.right;
    if (dtFlags & DT_VCENTER) y0 = (rect->bottom - rect->top - m.bottom) / 2 + rect->top;
    else if (dtFlags & DT_BOTTOM) y0 = rect->bottom - m.bottom;
    if (verticalUp) y0 += m.bottom;
  }
  RECT clip{0, 0, bm->getWidth(), bm->getHeight()};
  if (!(dtFlags & DT_NOCLIP))
    clip = {std::max(int(rect->left), 0), std::max(int(rect->top), 0), std::min(int(rect->right), bm->getWidth()),
            std::min(int(rect->bottom), bm->getHeight())};
  if (m_hasPassClip)
    clip = {std::max(clip.left, m_passClip.left), std::max(clip.top, m_passClip.top),
            std::min(clip.right, m_passClip.right), std::min(clip.bottom, m_passClip.bottom)};
  if (clip.right <= clip.left || clip.bottom <= clip.top) {
    m_alpha = savedAlpha;
    return 0;
  }
  int x = x0, y = y0, maxX = x0, maxY = y0;
  WalkString(
      str, strcnt, dtFlags,
      [&](unsigned short code) {
        const GlyphEntry* g = Drawable(code);
        if (!g || size_t(g->store_offset - 1) >= m_glyphstore.size()) return;
        const int gw = g->width, gh = g->height, adv = g->advance;
        if (verticalUp) y -= gh;
        const bool drawn = DrawGlyph(bm, code, x, y, &clip);
        if (!vertical) {
          x += adv;
          if (drawn) maxY = std::max(maxY, y + gh);
        } else {
          y += verticalUp ? gh - adv : adv;
          if (drawn) maxX = std::max(maxX, x + gw);
        }
      },
      [&] {
        if (!vertical) {
          y += m_lineheight;
          x = x0;
        } else {
          x += m_lineheight;
          y = y0;
        }
      });
  m_alpha = savedAlpha;
  return vertical ? maxX - x0 : maxY - y0;
}

bool LICE_CachedFont::DrawGlyph(LICE_IBitmap* bm, unsigned short code, int x, int y, const RECT* clip)
{
  const GlyphEntry* g = findChar(code);
  if (!g || g->store_offset <= 0) return false;
  int w = g->width, h = g->height;
  if (!(x + w > clip->left && x < clip->right && y + h > clip->top && y < clip->bottom)) return false;
  const unsigned char* gl = m_glyphstore.data() + (g->store_offset - 1);
  const int gspan = w;
  if (x < clip->left) {
    gl += clip->left - x;
    w -= clip->left - x;
    x = clip->left;
  }
  if (y < clip->top) {
    gl += ptrdiff_t(clip->top - y) * gspan;
    h -= clip->top - y;
    y = clip->top;
  }
  w = std::min(w, int(clip->right) - x);
  h = std::min(h, int(clip->bottom) - y);
  if (w <= 0 || h <= 0 || !bm->getBits()) return false;
  const LICE_Rows rows = LICE_GetRows(bm);
  unsigned char* p = rows.at(x, y);
  if (m_bkmode == OPAQUE) LICE_FillRect(bm, x, y, w, h, m_bkcolor, m_alpha, m_combinemode & ~0x10000);

  const int r = int(LICE_GETR(m_textcolor)), gc = int(LICE_GETG(m_textcolor)), b = int(LICE_GETB(m_textcolor));
  const bool plainCopy = m_alpha == 1.0f && (m_combinemode & 0xFF) == 0;
  const int capped = std::min(int(m_alpha * 256.0f), 256);
  if (m_flags & LICE_FONT_FLAG_FX_MONO) {
    if (plainCopy) {
      for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
          if (gl[yy * gspan + xx]) std::memcpy(p + yy * rows.step + xx * 4, &m_textcolor, 4);
    } else if (capped) {
      lice::withWeightedCombiner(m_combinemode, capped, [&](auto tag) {
        GlyphRenderer<typename decltype(tag)::type>::Mono(gl, p, gspan, rows.step, w, h, r, gc, b, capped);
      });
    }
  } else if (m_flags & (LICE_FONT_FLAG_FX_SHADOW | LICE_FONT_FLAG_FX_OUTLINE)) {
    if (plainCopy) {
      for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
          if (const unsigned char v = gl[yy * gspan + xx])
            std::memcpy(p + yy * rows.step + xx * 4, v == 255 ? &m_textcolor : &m_effectcolor, 4);
    } else if (capped) {
      const int er = int(LICE_GETR(m_effectcolor)), eg = int(LICE_GETG(m_effectcolor)),
                eb = int(LICE_GETB(m_effectcolor));
      lice::withWeightedCombiner(m_combinemode, capped, [&](auto tag) {
        GlyphRenderer<typename decltype(tag)::type>::Effect(gl, p, gspan, rows.step, w, h, r, gc, b, capped, er, eg,
                                                            eb);
      });
    }
  } else {
    const int a = int(m_alpha * 256.0f);
    if (a)
      lice::withWeightedCombiner(m_combinemode, a, [&](auto tag) {
        GlyphRenderer<typename decltype(tag)::type>::Normal(gl, p, gspan, rows.step, w, h, r, gc, b, a);
      });
  }
  return true;
}
