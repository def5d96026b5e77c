#include "Finish.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "Blit.h"
#include "DotFont.h"
#include "Fill.h"
#include "Paint.h"
#include "Palette.h"
#include "TextLooks.h"

namespace imagegen {
namespace {
constexpr LICE_pixel kBlack = rgb(0, 0, 0), kWhite = rgb(255, 255, 255);
constexpr int kLabelMargin = 4;  // between a button's label and its edges

LICE_pixel toPixel(const textlooks::Colour& c) { return rgb(unsigned(c.r), unsigned(c.g), unsigned(c.b)); }

// The contrast of a colour with a pixel; a pixel not fully covered is taken
// over black and over white, whichever is worse, as it may end up on either.
double contrastWith(LICE_pixel text, LICE_pixel under, LICE_pixel* seen) {
  const float a = LICE_GETA(under) / 255.0f;
  double worst = 22.0;
  for (LICE_pixel base : {kBlack, kWhite}) {
    const LICE_pixel shown = a >= 1.0f ? under : mix(base, under | 0xFF, a);
    const double ratio = contrastOf(text, shown);
    if (ratio < worst) {
      worst = ratio;
      *seen = shown;
    }
    if (a >= 1.0f) break;
  }
  return worst;
}

// The lowest of ratio(pixel) over a box of the image, and the pixel it
// names for that one (ratio writes what the text is seen against).
template <class Ratio>
double worstInBox(LICE_IBitmap* bm, const Rect& box, LICE_pixel* worstPixel, Ratio ratio) {
  double worst = 22.0;
  *worstPixel = 0;
  const int x0 = std::max(0, box.x), y0 = std::max(0, box.y);
  const int x1 = std::min(bm->getWidth(), box.x + box.w), y1 = std::min(bm->getHeight(), box.y + box.h);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      LICE_pixel seen = 0;
      const double r = ratio(LICE_GetPixel(bm, x, y), &seen);
      if (r < worst) {
        worst = r;
        *worstPixel = seen;
      }
    }
  return worst;
}

// The worst contrast of a text with the pixels of a box of the image when
// the image is drawn greyed: text and pixel both at half weight over that
// pixel's colour, which is what a section's greyed image lies on.
double worstGreyed(LICE_IBitmap* bm, const Rect& box, LICE_pixel text, LICE_pixel* greyedText, LICE_pixel* worstPixel) {
  const double worst = worstInBox(bm, box, worstPixel, [&](LICE_pixel pixel, LICE_pixel* seen) {
    contrastWith(text, pixel, seen);
    return contrastOf(mix(*seen, text, textlooks::kGreyedWeight), *seen);
  });
  *greyedText = mix(*worstPixel, text, textlooks::kGreyedWeight);
  return worst;
}

// What a control may lie on in a scheme: the faceplate from top to bottom,
// a section's body and title bar, a recess.
std::vector<LICE_pixel> surfacesOf(const Palette& p) {
  return {p.panelTop, p.panelBottom, mix(p.panelTop, p.panelBottom, 0.5f), mix(p.panelTop, p.frame, 0.35f), p.recess};
}

// The worst contrast of a label with its face when the control is greyed:
// the whole image is drawn at half weight over what lies under it, the
// label's colour and the face's pixels alike.
double worstGreyedFace(LICE_IBitmap* bm, const Rect& box, LICE_pixel text, const std::vector<LICE_pixel>& surfaces,
                       LICE_pixel* seenText, LICE_pixel* seenFace) {
  double worst = 22.0;
  for (LICE_pixel under : surfaces) {
    LICE_pixel face = 0;
    const LICE_pixel shownText = mix(under | 0xFF, text | 0xFF, textlooks::kGreyedWeight);
    const double ratio = worstInBox(bm, box, &face, [&](LICE_pixel pixel, LICE_pixel* seen) {
      const float weight = textlooks::kGreyedWeight * (LICE_GETA(pixel) / 255.0f);
      *seen = mix(under | 0xFF, pixel | 0xFF, weight);
      return contrastOf(shownText, *seen);
    });
    if (ratio < worst) worst = ratio, *seenText = shownText, *seenFace = face;
  }
  return worst;
}

// The worst contrast of a colour with the pixels of a box of the image.
double worstUnder(LICE_IBitmap* bm, const Rect& box, LICE_pixel text, LICE_pixel* worstPixel) {
  return worstInBox(bm, box, worstPixel,
                    [&](LICE_pixel pixel, LICE_pixel* seen) { return contrastWith(text, pixel, seen); });
}

textlooks::Text parseLook(const std::string& look) {
  int v[6] = {0, 0, 0, 1, 0, -1};
  std::istringstream in(look);
  std::string piece;
  for (int i = 0; i < 6 && std::getline(in, piece, ':'); ++i) v[i] = std::atoi(piece.c_str());
  textlooks::Text t{static_cast<textlooks::Kind>(v[0])};
  t.displaySize = v[1];
  t.white = v[2] != 0;
  t.visible = v[3];
  t.height = v[4];
  t.paramIdx = v[5];
  return t;
}


class Finisher {
 public:
  Finisher(const Drawing& d, double scale, int scheme, const std::string& name, std::vector<TextCheck>& report)
      : mDrawing(d), mScale(scale), mScheme(scheme), mPalette(palette(scheme)), mName(name), mReport(report) {
    mCellW = scaledLength(d.frameW / d.cellsX, scale);
    mCellH = scaledLength(d.frameH / d.cellsY, scale);
    mFrameW = mCellW * d.cellsX;
    mFrameH = mCellH * d.cellsY;
  }

  std::unique_ptr<LICE_MemBitmap> Run(const SizeExtras& extras, std::string& error);

 private:
  // Where a point of the strip at 1.0 lies at the size: in the same button.
  void Map(float x, float y, int* outX, int* outY, Rect* cell) const;
  // A caption may be greyed with the section it names, a label with its
  // control: such a text is also checked as it shows greyed.
  bool Set(LICE_IBitmap* bm, const Rect& box, const std::string& text, int dot, LICE_pixel colour,
           const Rect& within, std::string& error, bool mayGrey = false);
  // A label of a control the editor greys: checked on its greyed face over
  // every surface of the schemes it shows in.
  bool CheckGreyedFace(LICE_IBitmap* bm, const Rect& box, const std::string& text, LICE_pixel colour,
                       std::string& error);
  bool CheckSpot(LICE_IBitmap* bm, const TextSpot& spot, std::string& error);
  void Window(LICE_IBitmap* bm, const TextSpot& spot) const;
  std::vector<int> SchemesShown() const {
    return mScheme == kNeutral ? std::vector<int>{0, 1, 2} : std::vector<int>{mScheme};
  }

  const Drawing& mDrawing;
  double mScale;
  int mScheme;
  const Palette& mPalette;
  std::string mName;
  std::vector<TextCheck>& mReport;
  int mCellW, mCellH, mFrameW, mFrameH;
};

void Finisher::Map(float x, float y, int* outX, int* outY, Rect* cell) const {
  const Drawing& d = mDrawing;
  const int fw = d.frameW / d.cellsX, fh = d.frameH / d.cellsY;
  const int frame = d.horizontal ? std::clamp(int(x) / d.frameW, 0, d.frames - 1)
                                 : std::clamp(int(y) / d.frameH, 0, d.frames - 1);
  const float fx = d.horizontal ? x - float(frame * d.frameW) : x;
  const float fy = d.horizontal ? y : y - float(frame * d.frameH);
  const int cx = std::clamp(int(fx) / fw, 0, d.cellsX - 1), cy = std::clamp(int(fy) / fh, 0, d.cellsY - 1);
  const int originX = (d.horizontal ? frame * mFrameW : 0) + cx * mCellW;
  const int originY = (d.horizontal ? 0 : frame * mFrameH) + cy * mCellH;
  *outX = originX + int((fx - float(cx * fw)) * float(mScale));
  *outY = originY + int((fy - float(cy * fh)) * float(mScale));
  *cell = {originX, originY, mCellW, mCellH};
}

bool Finisher::Set(LICE_IBitmap* bm, const Rect& box, const std::string& text, int dot, LICE_pixel colour,
                   const Rect& within, std::string& error, bool mayGrey) {
  if (!within.holds(box)) {
    error = mName + ": \"" + text + "\" does not fit its image";
    return false;
  }
  LICE_pixel under = 0;
  const double ratio = worstUnder(bm, box, colour, &under);
  mReport.push_back({mName, text, colour, under, ratio});
  if (ratio < textlooks::kMinContrast) {
    char why[160];
    std::snprintf(why, sizeof why, ": \"%s\" has a contrast of %.2f:1 with what lies under it (at least %.1f:1)",
                  text.c_str(), ratio, textlooks::kMinContrast);
    error = mName + why;
    return false;
  }
  if (!mayGrey) {
    drawDotText(bm, box.x, box.y, text, dot, colour);
    return true;
  }
  LICE_pixel faint = 0;
  const double greyed = worstGreyed(bm, box, colour, &faint, &under);
  mReport.push_back({mName, text + " (greyed)", faint, under, greyed});
  if (greyed < textlooks::kMinInactiveContrast) {
    char why[160];
    std::snprintf(why, sizeof why, ": \"%s\" greyed has a contrast of %.2f:1 with what lies under it (at least %.1f:1)",
                  text.c_str(), greyed, textlooks::kMinInactiveContrast);
    error = mName + why;
    return false;
  }
  drawDotText(bm, box.x, box.y, text, dot, colour);
  return true;
}

bool Finisher::CheckGreyedFace(LICE_IBitmap* bm, const Rect& box, const std::string& text, LICE_pixel colour,
                               std::string& error) {
  for (int scheme : SchemesShown()) {
    LICE_pixel shownText = 0, shownFace = 0;
    const double ratio = worstGreyedFace(bm, box, colour, surfacesOf(palette(scheme)), &shownText, &shownFace);
    const std::string what = text + " on its face in scheme " + std::to_string(scheme) + " (greyed)";
    mReport.push_back({mName, what, shownText, shownFace, ratio});
    if (ratio < textlooks::kMinInactiveContrast) {
      char why[160];
      std::snprintf(why, sizeof why, ": \"%s\" greyed has a contrast of %.2f:1 with its face in scheme %d (at least %.1f:1)",
                    text.c_str(), ratio, scheme, textlooks::kMinInactiveContrast);
      error = mName + why;
      return false;
    }
  }
  return true;
}

void Finisher::Window(LICE_IBitmap* bm, const TextSpot& spot) const {
  const textlooks::Text look = parseLook(spot.look);
  // The face that reads best with the text in every scheme it shows in.
  LICE_pixel face = mPalette.lcd;
  double best = -1.0;
  for (LICE_pixel candidate : {mPalette.lcd, mPalette.valueLight}) {
    double worst = 22.0;
    for (int scheme : SchemesShown())
      worst = std::min(worst, contrastOf(toPixel(textlooks::colour(look, scheme, mScale)), candidate));
    if (worst > best) best = worst, face = candidate;
  }
  // A one-pixel rim around the face, which stays clear of the caption and of
  // the neighbours.
  const Rect r = spot.face();
  LICE_FillRect(bm, r.x - 1, r.y - 1, r.w + 2, r.h + 2, mix(face, kBlack, 0.55f), 1.0f, 0);
  LICE_FillRect(bm, r.x, r.y, r.w, r.h, face, 1.0f, 0);
}

bool Finisher::CheckSpot(LICE_IBitmap* bm, const TextSpot& spot, std::string& error) {
  const textlooks::Text look = parseLook(spot.look);
  for (int scheme : SchemesShown()) {
    const textlooks::Colour c = textlooks::colour(look, scheme, mScale);
    if (c.a == 0) continue;  // drawn fully transparent: nothing to read
    LICE_pixel under = 0;
    const LICE_pixel text = toPixel(c);
    const double ratio = worstUnder(bm, spot.window ? spot.face() : spot.rect, text, &under);
    const std::string what = "text of line " + std::to_string(spot.line) + " in scheme " + std::to_string(scheme);
    mReport.push_back({mName, what, text, under, ratio});
    if (ratio < textlooks::kMinContrast) {
      char why[64];
      std::snprintf(why, sizeof why, " has a contrast of %.2f:1 with what lies under it", ratio);
      error = mName + ": the " + what + why;
      return false;
    }
  }
  return true;
}

std::unique_ptr<LICE_MemBitmap> Finisher::Run(const SizeExtras& extras, std::string& error) {
  const Drawing& d = mDrawing;
  const int w = d.horizontal ? mFrameW * d.frames : mFrameW, h = d.horizontal ? mFrameH : mFrameH * d.frames;
  auto bm = std::make_unique<LICE_MemBitmap>(w, h);
  LICE_Clear(bm.get(), 0);
  const int fw = d.frameW / d.cellsX, fh = d.frameH / d.cellsY;
  for (int f = 0; f < d.frames; ++f)
    for (int cy = 0; cy < d.cellsY; ++cy)
      for (int cx = 0; cx < d.cellsX; ++cx) {
        const int sx = (d.horizontal ? f * d.frameW : 0) + cx * fw, sy = (d.horizontal ? 0 : f * d.frameH) + cy * fh;
        const int tx = (d.horizontal ? f * mFrameW : 0) + cx * mCellW, ty = (d.horizontal ? 0 : f * mFrameH) + cy * mCellH;
        if (mScale == 1.0)
          LICE_Blit(bm.get(), d.shapes.get(), tx, ty, sx, sy, fw, fh, 1.0f, 0);
        else
          LICE_ScaledBlit(bm.get(), d.shapes.get(), tx, ty, mCellW, mCellH, float(sx), float(sy), float(fw),
                          float(fh), 1.0f, 0x100);  // bilinear, as the editor scaled them
      }
  if (d.opaque) LICE_ProcessRect(bm.get(), 0, 0, w, h, [](LICE_pixel* px, void*) { *px |= 0xFF; }, nullptr);
  for (const TextSpot& spot : extras.spots)
    if (spot.window) Window(bm.get(), spot);
  // A label too wide for its button at this size is set with smaller dots,
  // and so are the labels of the same face beside it, so the buttons match.
  std::map<int, int> dots;  // by the face asked for
  for (const TextRun& run : d.texts) {
    int dot = scaledDot(run.dot, mScale), x = 0, y = 0;
    Rect cell;
    Map(run.x, run.y, &x, &y, &cell);
    while (dot > 1 && d.cellsX * d.cellsY > 1 && dotTextWidth(run.text, dot) > cell.w - 2 * kLabelMargin) --dot;
    dots[run.dot] = dots.count(run.dot) ? std::min(dots[run.dot], dot) : dot;
  }
  for (const TextRun& run : d.texts) {
    if (run.text.find_first_not_of(' ') == std::string::npos) continue;  // a button without a label
    const int dot = dots[run.dot], tw = dotTextWidth(run.text, dot), th = dotTextHeight(dot);
    int x = 0, y = 0;
    Rect cell;
    Map(run.x, run.y, &x, &y, &cell);
    const Rect box{run.align == 0 ? x : run.align == 1 ? x - tw / 2 : x - tw,
                   run.vAlign == 0 ? y : run.vAlign == 1 ? y - th / 2 : y - th, tw, th};
    if (d.greyable && !CheckGreyedFace(bm.get(), box, run.text, run.colour, error)) return nullptr;
    if (!Set(bm.get(), box, run.text, dot, run.colour, cell, error, d.greyable)) return nullptr;
  }
  const Rect whole{0, 0, w, h};
  for (const PlacedCaption& c : extras.captions) {
    const Rect box{c.x, c.y, dotTextWidth(c.text, 1), dotTextHeight(1)};
    // Captions on a display are never greyed; those on a section may be.
    if (!Set(bm.get(), box, c.text, 1, c.onDisplay ? mPalette.lcdText : mPalette.text, whole, error, !c.onDisplay))
      return nullptr;
  }
  for (const TextSpot& spot : extras.spots)
    if (!CheckSpot(bm.get(), spot, error)) return nullptr;
  return bm;
}
}  // namespace

std::unique_ptr<LICE_MemBitmap> finishImage(const Drawing& drawing, double scale, int scheme, const SizeExtras& extras,
                                            const std::string& name, std::vector<TextCheck>& report,
                                            std::string& error) {
  return Finisher(drawing, scale, scheme, name, report).Run(extras, error);
}

std::string reportLine(const TextCheck& c) {
  char line[400];
  std::snprintf(line, sizeof line, "%s\t%s\t%02X%02X%02X\t%02X%02X%02X\t%.3f", c.image.c_str(), c.what.c_str(),
                LICE_GETR(c.text), LICE_GETG(c.text), LICE_GETB(c.text), LICE_GETR(c.background),
                LICE_GETG(c.background), LICE_GETB(c.background), c.ratio);
  return line;
}
}  // namespace imagegen
