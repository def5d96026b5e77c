#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "GdiRecords.h"

namespace {
// Face names resolved once to the file fontconfig picked. fontconfig runs
// with no lock held: a lookup made ahead on another thread never holds up one
// for a font being drawn.
// Made when the library loads, so that a lookup still running on a readiness
// thread as the process ends finds them.
std::mutex gResolvedMutex;
std::map<std::string, std::string> gResolvedFiles;

std::string ResolvedFile(const std::string& name) {
  {
    std::lock_guard<std::mutex> lock(gResolvedMutex);
    if (const auto it = gResolvedFiles.find(name); it != gResolvedFiles.end()) return it->second;
  }
  std::string file = ResolveFontFile(name);
  std::lock_guard<std::mutex> lock(gResolvedMutex);
  return gResolvedFiles.emplace(name, std::move(file)).first->second;
}

// The face name CreateFont looks up.
std::string FaceName(const char* face, bool bold, bool italic) {
  std::string name(face ? face : "");
  if (name.size() > 899) name.resize(899);
  if (bold) name += " Bold";
  if (italic) name += " Italic";
  return name;
}

// The face of a context's text when no font is selected.
std::shared_ptr<FontFace> DefaultFace() {
  static const std::shared_ptr<FontFace> face = OpenFontFile(ResolvedFile("DejaVu Sans"), 10);
  return face;
}

std::shared_ptr<FontFace> FaceOf(HDC ctx, int* antialias) {
  *antialias = 0;
  if (ValidObject(ctx->font, HGDIOBJ__::kFont) && ctx->font->face) {
    *antialias = ctx->font->antialias;
    return ctx->font->face;
  }
  return DefaultFace();
}

// Decodes one UTF-8 character; a broken sequence gives its lead byte.
char32_t NextCode(const std::string& s, size_t* i) {
  const auto b0 = static_cast<unsigned char>(s[*i]);
  auto cont = [&](size_t k) { return *i + k < s.size() && (static_cast<unsigned char>(s[*i + k]) & 0xC0) == 0x80; };
  auto bits = [&](size_t k) { return char32_t(static_cast<unsigned char>(s[*i + k]) & 0x3F); };
  char32_t code = b0;
  size_t n = 1;
  if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
    code = (char32_t(b0 & 0x1F) << 6) | bits(1);
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
    code = (char32_t(b0 & 0x0F) << 12) | (bits(1) << 6) | bits(2);
    n = 3;
  } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
    code = (char32_t(b0 & 0x07) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
    n = 4;
  }
  *i += n;
  return code;
}

float LineWidth(FontFace& face, const std::string& line) {
  float w = 0.0f;
  for (size_t i = 0; i < line.size();) w += face.GetGlyph(NextCode(line, &i)).advance;
  return w;
}

struct Clip {
  int l, t, r, b;
};

void BlendPixel(unsigned char* p, int r, int g, int b, int cov) {
  const int inv = 255 - cov;
  p[1] = static_cast<unsigned char>((r * cov + p[1] * inv + 127) / 255);
  p[2] = static_cast<unsigned char>((g * cov + p[2] * inv + 127) / 255);
  p[3] = static_cast<unsigned char>((b * cov + p[3] * inv + 127) / 255);
}

void FillBox(HDC ctx, int x, int y, int w, int h, int color, const Clip& clip) {
  const int l = std::max(x, clip.l), t = std::max(y, clip.t), r = std::min(x + w, clip.r),
            b = std::min(y + h, clip.b);
  for (int yy = t; yy < b; ++yy)
    for (int xx = l; xx < r; ++xx) {
      unsigned char* p = ctx->pixels + (ptrdiff_t(yy) * ctx->width + xx) * 4;
      p[1] = static_cast<unsigned char>(color >> 16);
      p[2] = static_cast<unsigned char>(color >> 8);
      p[3] = static_cast<unsigned char>(color);
    }
}

void DrawLineText(HDC ctx, FontFace& face, const std::string& line, float x, int baseline, int antialias,
                  const Clip& clip) {
  const int c = ctx->textColor;
  const int cr = (c >> 16) & 0xFF, cg = (c >> 8) & 0xFF, cb = c & 0xFF;
  float pen = x;
  for (size_t i = 0; i < line.size();) {
    const FontFace::Glyph& g = face.GetGlyph(NextCode(line, &i));
    const int gx = int(std::floor(pen + 0.5f)) + g.left, gy = baseline - g.top;
    for (int row = std::max(0, clip.t - gy); row < g.height && gy + row < clip.b; ++row) {
      const unsigned char* cov = g.coverage.data() + ptrdiff_t(row) * g.width;
      unsigned char* dst = ctx->pixels + (ptrdiff_t(gy + row) * ctx->width) * 4;
      for (int col = std::max(0, clip.l - gx); col < g.width && gx + col < clip.r; ++col) {
        int v = cov[col];
        if (antialias == 3) v = v >= 128 ? 255 : 0;
        if (v) BlendPixel(dst + ptrdiff_t(gx + col) * 4, cr, cg, cb, v);
      }
    }
    pen += g.advance;
  }
}
}  // namespace

void SWELL_PrepareFontLookup(const char* face, bool bold, bool italic) {
  const std::string name = FaceName(face, bold, italic);
  if (!name.empty()) ResolvedFile(name);
  ResolvedFile("DejaVu Sans");  // every lookup that finds nothing falls back to it
}

HFONT CreateFont(int height, int width, int, int orientation, int weight, char italic, char, char, char, char, char,
                 char quality, char, const char* face) {
  int size = std::abs(height ? height : width);
  if (size > 8192 || size < 2) size = 10;
  const std::string name = FaceName(face, weight >= 700, italic);
  std::shared_ptr<FontFace> fontFace = name.empty() ? nullptr : OpenFontFile(ResolvedFile(name), size);
  if (!fontFace) fontFace = OpenFontFile(ResolvedFile("DejaVu Sans"), size);
  HGDIOBJ__* font = NewObject(HGDIOBJ__::kFont);
  font->face = std::move(fontFace);
  font->rotation = float(orientation) / 10.0f;
  font->antialias = quality == 3 ? 3 : quality == 4 ? 4 : 0;
  return font;
}

const void* SWELL_GetFontObjectFace(HGDIOBJ obj) {
  return ValidObject(obj, HGDIOBJ__::kFont) ? obj->face.get() : nullptr;
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  char face[33] = {};
  std::memcpy(face, lf->lfFaceName, 32);
  return CreateFont(lf->lfHeight, lf->lfWidth, 0, lf->lfOrientation, lf->lfWeight, lf->lfItalic, 0, 0, 0, 0, 0,
                    lf->lfQuality, 0, face);
}

int SWELL_DrawText(HDC ctx, const char* text, int len, RECT* r, int flags) {
  if (!ValidContext(ctx) || !text || !r) return 0;
  std::string buf;
  for (int i = 0; (len < 0 || i < len) && text[i] && buf.size() < 4095; ++i) {
    char c = text[i];
    if (c == '\r') continue;
    if (c == '&' && !(flags & DT_NOPREFIX)) {
      ++i;
      if ((len >= 0 && i >= len) || !text[i]) break;
      c = text[i];
    }
    if (c == '\n' && (flags & DT_SINGLELINE)) c = ' ';
    buf.push_back(c);
  }
  if (buf.empty()) return 0;
  int antialias = 0;
  const std::shared_ptr<FontFace> face = FaceOf(ctx, &antialias);
  if (!face) return 0;

  std::vector<std::string> lines;
  for (size_t start = 0; start <= buf.size();) {
    const size_t nl = buf.find('\n', start);
    if (nl == std::string::npos) {
      if (start < buf.size() || lines.empty()) lines.push_back(buf.substr(start));
      break;
    }
    lines.push_back(buf.substr(start, nl - start));
    start = nl + 1;
  }
  const float a = face->Ascent(), d = face->Descent(), l = face->Leading();
  const int lineHeight = int(std::floor(a + d + l + 1.5f));
  std::vector<int> widths;
  int width = 0, height = 0;
  for (const std::string& line : lines) {
    widths.push_back(int(std::floor(LineWidth(*face, line) + 0.5f)));
    width = std::max(width, widths.back());
    height += lineHeight;
  }
  const int H = height ? height + 1 : 0;
  if (flags & DT_CALCRECT) {
    r->right = r->left + width;
    r->bottom = r->top + H;
    return H;
  }
  if (!ctx->pixels) return H;

  int x = r->left, y = r->top;
  if (flags & DT_RIGHT) x = r->right - width;
  else if (flags & DT_CENTER) x = r->left + ((r->right - r->left) / 2 - width / 2);
  if (flags & DT_BOTTOM) y = r->bottom - H;
  else if (flags & DT_VCENTER) y = r->top + ((r->bottom - r->top) / 2 - H / 2);

  Clip clip{std::max(0, ctx->clip.left), std::max(0, ctx->clip.top), std::min(ctx->width, ctx->clip.right),
            std::min(ctx->height, ctx->clip.bottom)};
  if (!(flags & DT_NOCLIP)) {
    clip.l = std::max(clip.l, r->left);
    clip.t = std::max(clip.t, r->top);
    clip.r = std::min(clip.r, r->right);
    clip.b = std::min(clip.b, r->bottom);
  }
  if (clip.r <= clip.l || clip.b <= clip.t) return H;
  const bool background = ctx->bkMode == OPAQUE;
  if (flags & DT_SINGLELINE) {
    if (background) FillBox(ctx, x, y, width, H, ctx->bkColor, clip);
    DrawLineText(ctx, *face, lines[0], float(x), y + int(std::floor(a + 0.5f)), antialias, clip);
  } else {
    float yy = float(y);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (background) FillBox(ctx, x, int(yy), widths[i], int(a + d + l), ctx->bkColor, clip);
      DrawLineText(ctx, *face, lines[i], float(x), int(std::floor(yy + a + 0.5f)), antialias, clip);
      yy += std::floor(a + d + l + 0.5f);
    }
  }
  return H;
}

int GetTextMetrics(HDC ctx, TEXTMETRIC* tm) {
  if (!tm) return 0;
  *tm = {16, 12, 4, 3, 10};
  if (!ValidContext(ctx)) return 0;
  int antialias = 0;
  const std::shared_ptr<FontFace> face = FaceOf(ctx, &antialias);
  if (!face) return 1;
  tm->tmInternalLeading = int(face->Leading());
  tm->tmAscent = int(face->Ascent());
  tm->tmDescent = int(face->Descent());
  tm->tmHeight = tm->tmAscent + tm->tmDescent + tm->tmInternalLeading;
  tm->tmAveCharWidth = (2 * tm->tmHeight) / 3;
  if (tm->tmHeight) ++tm->tmHeight;
  return 1;
}
