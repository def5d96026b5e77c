#include "Captions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "DotFont.h"
#include "TextLooks.h"

namespace imagegen {
namespace {
constexpr int kDot = 1;          // captions are set in the small dot face
constexpr int kGapAbove = 2;     // between a caption and the control under it
constexpr int kGapLeft = 5;      // between a row caption and the row's first control
constexpr int kClearance = 1;    // between a caption and any other control
constexpr int kCaptionGap = 4;   // between two captions: wider than between letters
constexpr int kWordsGap = 7;     // and wider than between words

// Two captions side by side must not read as one: the blank between them is
// at least twice the blank a space leaves between two words of the caption
// face. The face keeps its size at every size of the window, so the rule
// does too.
int clearRowGap() {
  const int wordBlank = dotTextWidth("A A", kDot) - 2 * dotTextWidth("A", kDot);
  return 2 * wordBlank;
}

Rect parseRect(const std::string& text) {
  int v[4] = {0, 0, 0, 0};
  std::istringstream in(text);
  std::string piece;
  for (int i = 0; i < 4 && std::getline(in, piece, ','); ++i) v[i] = std::atoi(piece.c_str());
  return {v[0], v[1], v[2], v[3]};
}

Rect grown(Rect r, int by) { return {r.x - by, r.y - by, r.w + 2 * by, r.h + 2 * by}; }
Rect scaledRect(const Rect& r, double s) {
  return {scaledLength(r.x, s), scaledLength(r.y, s), scaledLength(r.w, s), scaledLength(r.h, s)};
}
std::string lineText(int line) { return "line " + std::to_string(line) + ": "; }

bool isWindowed(const ControlEntry& c) {
  return !c.text.empty() && textlooks::hasValueWindow(static_cast<textlooks::Kind>(std::atoi(c.text.c_str())));
}
Rect drawnPart(const ControlEntry& c) { return c.drawn.w > 0 ? c.drawn : c.rect; }

// Controls shown together with a caption on `bg`: those lying on it and those
// on the pages around it.
bool shownWith(const ControlEntry& other, const ControlEntry& owner, size_t bgIndex) {
  for (const PlacedBackground& b : other.backgrounds)
    if (b == owner.backgrounds[bgIndex]) return true;
  const size_t outer = owner.backgrounds.size() - bgIndex - 1;
  if (other.backgrounds.size() > outer) return false;
  for (size_t i = 0; i < other.backgrounds.size(); ++i)
    if (!(other.backgrounds[other.backgrounds.size() - 1 - i] == owner.backgrounds[owner.backgrounds.size() - 1 - i]))
      return false;
  return true;
}

// Whether two controls are on screen at once: in one layer, or one in a layer
// that holds the other's.
bool layersShownTogether(const std::string& a, const std::string& b) {
  const std::string& shorter = a.size() <= b.size() ? a : b;
  const std::string& longer = a.size() <= b.size() ? b : a;
  if (longer.compare(0, shorter.size(), shorter) != 0) return false;
  return longer.size() == shorter.size() || shorter.empty() || longer[shorter.size()] == '/';
}

CaptionSpace spaceAt(const SpaceOf& space, const PlacedBackground& bg, double scale) {
  CaptionSpace s = space(bg.key, bg.baseW, bg.baseH);
  for (auto* list : {&s.allowed, &s.kept, &s.panels, &s.displays})
    for (Rect& r : *list) r = scaledRect(r, scale);
  return s;
}

// The innermost background that holds a rectangle (with a margin), or the
// count when none does.
size_t holder(const ControlEntry& c, const Rect& r, int margin = 1) {
  size_t on = 0;
  while (on < c.backgrounds.size() && !grown(c.backgrounds[on].rect, -margin).holds(r)) ++on;
  return on;
}

bool place(const std::vector<ControlEntry>& controls, const ControlEntry& c, const std::string& text, bool left,
           const SpaceOf& space, double scale, CaptionMap& placed, std::string& error) {
  const auto refuse = [&](const std::string& why) {
    error = lineText(c.line) + "caption \"" + text + "\" " + why;
    return false;
  };
  // The face keeps its size; the gaps shrink with the window.
  const int w = dotTextWidth(text, kDot), h = dotTextHeight(kDot);
  // Over a value window the caption clears its face and rim.
  const int above = std::max(1, scaledLength(kGapAbove, scale)) + (isWindowed(c) ? TextSpot::kWindowAbove + 1 : 0);
  const int beside = scaledLength(kGapLeft, scale);
  const Rect t = left ? Rect{c.rect.x - beside - w, c.rect.y + (c.rect.h - h) / 2, w, h}
                      : Rect{c.rect.x + (c.rect.w - w) / 2, c.rect.y - above - h, w, h};
  const size_t on = holder(c, t);
  if (on == c.backgrounds.size()) return refuse("does not fit on the background under it");
  for (size_t inner = 0; inner < on; ++inner)
    if (c.backgrounds[inner].rect.overlaps(t)) return refuse("would lie under " + c.backgrounds[inner].key);
  const PlacedBackground& bg = c.backgrounds[on];
  for (const ControlEntry& other : controls)
    if (&other != &c && other.rect.w > 0 && shownWith(other, c, on) &&
        grown(t, scaledLength(kClearance, scale)).overlaps(drawnPart(other)))
      return refuse("runs into the control of line " + std::to_string(other.line));
  const Rect inImage{t.x - bg.rect.x, t.y - bg.rect.y, w, h};
  const CaptionSpace s = spaceAt(space, bg, scale);
  bool inside = s.allowed.empty();
  for (const Rect& a : s.allowed) inside = inside || a.holds(inImage);
  if (!inside) return refuse("leaves its section of " + bg.key);
  for (const Rect& k : s.kept)
    if (k.overlaps(inImage)) return refuse("covers a drawing of " + bg.key);
  bool onDisplay = false;
  for (const Rect& d : s.displays) onDisplay = onDisplay || d.holds(inImage);
  for (const PlacedCaption& p : placed[bg.key]) {
    // The same image placed twice; a scaled position may differ by a pixel.
    if (std::abs(p.x - inImage.x) <= 1 && std::abs(p.y - inImage.y) <= 1 && p.text == text) return true;
    // Captions of several words keep more room between them than their words have.
    const bool words = text.find(' ') != std::string::npos || p.text.find(' ') != std::string::npos;
    if (grown(inImage, words ? kWordsGap : kCaptionGap).overlaps({p.x, p.y, dotTextWidth(p.text, kDot), h}))
      return refuse("runs into the caption \"" + p.text + "\" on " + bg.key);
    const int pw = dotTextWidth(p.text, kDot);
    const bool oneRow = p.y < inImage.y + h && inImage.y < p.y + h;
    const int gap = std::max(p.x - (inImage.x + w), inImage.x - (p.x + pw));
    if (oneRow && gap < clearRowGap())
      return refuse("is set " + std::to_string(gap) + " px from the caption \"" + p.text + "\" on " + bg.key +
                    ", less than the " + std::to_string(clearRowGap()) + " px that keep them apart");
  }
  placed[bg.key].push_back({inImage.x, inImage.y, text, onDisplay});
  return true;
}
}  // namespace

bool readControlList(const std::string& text, const ImageSize& size, std::vector<ControlEntry>& controls,
                     std::string& error) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    if (fields.size() < 5) continue;
    fields.resize(8);
    ControlEntry c;
    c.line = std::atoi(fields[0].c_str());
    c.rect = parseRect(fields[1]);
    if (fields[2] != "-") c.image = fields[2];
    int imageW = 0, imageH = 0;
    if (!c.image.empty() && !size(c.image, 1.0, imageW, imageH))
      return error = lineText(c.line) + "no drawing for " + c.image, false;
    c.sizedByImage = !c.image.empty() && c.rect.w == 0;
    if (c.sizedByImage) c.rect.w = imageW, c.rect.h = imageH;
    c.caption = fields[3];
    c.rowCaption = fields[4];
    std::istringstream words(fields[5]);
    for (std::string word; words >> word;) {
      const size_t at = word.find('@');
      PlacedBackground b{word.substr(0, at), parseRect(word.substr(at + 1))};
      if (!size(b.key, 1.0, b.rect.w, b.rect.h)) return error = lineText(c.line) + "no drawing for " + b.key, false;
      b.baseW = b.rect.w;
      b.baseH = b.rect.h;
      c.backgrounds.push_back(b);
    }
    c.text = fields[6];
    c.layers = fields[7];
    controls.push_back(std::move(c));
  }
  return true;
}

std::vector<ControlEntry> atSize(const std::vector<ControlEntry>& controls, double scale, const ImageSize& size,
                                 const ImageInk& ink) {
  std::vector<ControlEntry> sized = controls;
  for (ControlEntry& c : sized) {
    Rect r = scaledRect(c.rect, scale);
    if (c.sizedByImage) size(c.image, scale, r.w, r.h);
    c.rect = r;
    c.drawn = r;
    Rect in;
    if (c.sizedByImage && ink && ink(c.image, in)) {
      // Rounded outwards, so nothing drawn is left out.
      const int x0 = static_cast<int>(std::floor(in.x * scale)), y0 = static_cast<int>(std::floor(in.y * scale));
      const int x1 = static_cast<int>(std::ceil((in.x + in.w) * scale)), y1 = static_cast<int>(std::ceil((in.y + in.h) * scale));
      c.drawn = Rect{r.x + x0, r.y + y0, std::min(x1, r.w) - x0, std::min(y1, r.h) - y0};
    } else if (isWindowed(c)) {
      const Rect face = TextSpot{c.line, r, c.text, true}.face();
      c.drawn = grown(face, 1);
    }
    for (PlacedBackground& b : c.backgrounds) {
      b.rect.x = scaledLength(b.rect.x, scale);
      b.rect.y = scaledLength(b.rect.y, scale);
      size(b.key, scale, b.rect.w, b.rect.h);
    }
  }
  return sized;
}

bool placeCaptions(const std::vector<ControlEntry>& controls, const SpaceOf& space, CaptionMap& placed,
                   std::string& error, double scale) {
  // Every caption that does not fit is named, one a line.
  std::string all;
  for (const ControlEntry& c : controls)
    for (const auto& [text, left] : {std::pair{c.caption, false}, std::pair{c.rowCaption, true}}) {
      std::string why;
      if (!text.empty() && !place(controls, c, text, left, space, scale, placed, why))
        all += (all.empty() ? "" : "\n") + why;
    }
  if (all.empty()) return true;
  error = all;
  return false;
}

bool placeTextSpots(const std::vector<ControlEntry>& controls, SpotMap& spots, std::string& error) {
  for (const ControlEntry& c : controls) {
    if (c.text.empty()) continue;
    if (!c.image.empty()) {
      // A control with an image of its own (the librarian's) draws its text over it.
      spots[c.image].push_back({c.line, {0, 0, c.rect.w, c.rect.h}, c.text, false});
      continue;
    }
    const size_t on = holder(c, c.rect, 0);
    if (on == c.backgrounds.size()) {
      error = lineText(c.line) + "its text lies on no background";
      return false;
    }
    const PlacedBackground& bg = c.backgrounds[on];
    const Rect inImage{c.rect.x - bg.rect.x, c.rect.y - bg.rect.y, c.rect.w, c.rect.h};
    std::vector<TextSpot>& list = spots[bg.key];
    bool known = false;  // the same page placed twice
    for (const TextSpot& s : list)
      known = known || (std::abs(s.rect.x - inImage.x) <= 1 && std::abs(s.rect.y - inImage.y) <= 1 && s.look == c.text);
    if (!known) list.push_back({c.line, inImage, c.text, isWindowed(c)});
  }
  return true;
}

namespace {
bool checkControl(const std::vector<ControlEntry>& controls, size_t i, const SpaceOf& space, double scale,
                  std::string& error) {
  const ControlEntry& c = controls[i];
  if (c.rect.w <= 0 || c.rect.h <= 0 || c.backgrounds.empty()) return true;
  const auto refuse = [&](const std::string& why) {
    error = lineText(c.line) + why;
    return false;
  };
  const size_t on = holder(c, c.rect, 0);
  if (on == c.backgrounds.size()) return refuse("leaves the backgrounds under it");
  for (size_t inner = 0; inner < on; ++inner)
    if (c.backgrounds[inner].rect.overlaps(c.rect)) return refuse("is cut by the edge of " + c.backgrounds[inner].key);
  const PlacedBackground& bg = c.backgrounds[on];
  const Rect inImage{c.rect.x - bg.rect.x, c.rect.y - bg.rect.y, c.rect.w, c.rect.h};
  const CaptionSpace s = spaceAt(space, bg, scale);
  // A control as large as its background (the librarian's slot view) is the page itself.
  bool inside = s.panels.empty() || (inImage.x == 0 && inImage.y == 0 && inImage.w == bg.rect.w && inImage.h == bg.rect.h);
  for (const Rect& p : s.panels) inside = inside || p.holds(inImage);
  if (!inside) return refuse("is cut by the edge of its panel on " + bg.key);
  for (const Rect& k : s.kept)
    if (k.overlaps(inImage)) return refuse("covers a drawing of " + bg.key);
  for (size_t j = i + 1; j < controls.size(); ++j) {
    const ControlEntry& o = controls[j];
    if (o.rect.w <= 0 || !layersShownTogether(c.layers, o.layers) || !c.rect.overlaps(o.rect)) continue;
    if (o.rect.x == c.rect.x && o.rect.y == c.rect.y && o.line == c.line) continue;
    return refuse("overlaps the control of line " + std::to_string(o.line));
  }
  return true;
}
}  // namespace

bool checkLayout(const std::vector<ControlEntry>& controls, const SpaceOf& space, double scale, std::string& error) {
  std::string all;
  for (size_t i = 0; i < controls.size(); ++i)
    if (std::string why; !checkControl(controls, i, space, scale, why)) all += (all.empty() ? "" : "\n") + why;
  if (all.empty()) return true;
  error = all;
  return false;
}
}  // namespace imagegen
