#include "Captions.h"

#include <cstdlib>
#include <sstream>

#include "DotFont.h"

namespace imagegen {
namespace {
constexpr int kDot = 1;          // captions are set in the small dot face
constexpr int kGapAbove = 2;     // between a caption and the control under it
constexpr int kGapLeft = 5;      // between a row caption and the row's first control

Rect parseRect(const std::string& text) {
  int v[4] = {0, 0, 0, 0};
  std::istringstream in(text);
  std::string piece;
  for (int i = 0; i < 4 && std::getline(in, piece, ','); ++i) v[i] = std::atoi(piece.c_str());
  return {v[0], v[1], v[2], v[3]};
}

Rect grown(Rect r, int by) { return {r.x - by, r.y - by, r.w + 2 * by, r.h + 2 * by}; }

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

bool place(const std::vector<ControlEntry>& controls, const ControlEntry& c, const std::string& text, bool left,
           const SpaceOf& space, CaptionMap& placed, std::string& error) {
  const auto refuse = [&](const std::string& why) {
    error = "line " + std::to_string(c.line) + ": caption \"" + text + "\" " + why;
    return false;
  };
  const int w = dotTextWidth(text, kDot), h = dotTextHeight(kDot);
  const Rect t = left ? Rect{c.rect.x - kGapLeft - w, c.rect.y + (c.rect.h - h) / 2, w, h}
                      : Rect{c.rect.x + (c.rect.w - w) / 2, c.rect.y - kGapAbove - h, w, h};
  size_t on = 0;
  while (on < c.backgrounds.size() && !grown(c.backgrounds[on].rect, -1).holds(t)) ++on;
  if (on == c.backgrounds.size()) return refuse("does not fit on the background under it");
  for (size_t inner = 0; inner < on; ++inner)
    if (c.backgrounds[inner].rect.overlaps(t)) return refuse("would lie under " + c.backgrounds[inner].key);
  const PlacedBackground& bg = c.backgrounds[on];
  for (const ControlEntry& other : controls)
    if (&other != &c && other.rect.w > 0 && shownWith(other, c, on) && grown(t, 1).overlaps(other.rect))
      return refuse("runs into the control of line " + std::to_string(other.line));
  const Rect inImage{t.x - bg.rect.x, t.y - bg.rect.y, w, h};
  const CaptionSpace s = space(bg.key, bg.rect.w, bg.rect.h);
  bool inside = s.allowed.empty();
  for (const Rect& a : s.allowed) inside = inside || a.holds(inImage);
  if (!inside) return refuse("leaves its section of " + bg.key);
  for (const Rect& k : s.kept)
    if (k.overlaps(inImage)) return refuse("covers a drawing of " + bg.key);
  for (const PlacedCaption& p : placed[bg.key]) {
    if (p.x == inImage.x && p.y == inImage.y && p.text == text) return true;  // the same page placed twice
    if (grown(inImage, 2).overlaps({p.x, p.y, dotTextWidth(p.text, kDot), h}))
      return refuse("runs into the caption \"" + p.text + "\" on " + bg.key);
  }
  placed[bg.key].push_back({inImage.x, inImage.y, text});
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
    ControlEntry c;
    c.line = std::atoi(fields[0].c_str());
    c.rect = parseRect(fields[1]);
    if (c.rect.w == 0 && fields[2] != "-" && !size(fields[2], c.rect.w, c.rect.h))
      return error = "line " + fields[0] + ": no drawing for " + fields[2], false;
    c.caption = fields[3];
    c.rowCaption = fields[4];
    std::istringstream words(fields.size() > 5 ? fields[5] : "");
    for (std::string word; words >> word;) {
      const size_t at = word.find('@');
      PlacedBackground b{word.substr(0, at), parseRect(word.substr(at + 1))};
      if (!size(b.key, b.rect.w, b.rect.h)) return error = "line " + fields[0] + ": no drawing for " + b.key, false;
      c.backgrounds.push_back(b);
    }
    controls.push_back(std::move(c));
  }
  return true;
}

bool placeCaptions(const std::vector<ControlEntry>& controls, const SpaceOf& space, CaptionMap& placed,
                   std::string& error) {
  for (const ControlEntry& c : controls) {
    if (!c.caption.empty() && !place(controls, c, c.caption, false, space, placed, error)) return false;
    if (!c.rowCaption.empty() && !place(controls, c, c.rowCaption, true, space, placed, error)) return false;
  }
  return true;
}

void drawCaptions(LICE_IBitmap* bm, const std::vector<PlacedCaption>& captions, LICE_pixel colour) {
  for (const PlacedCaption& p : captions) drawDotText(bm, p.x, p.y, p.text, kDot, colour);
}
}  // namespace imagegen
