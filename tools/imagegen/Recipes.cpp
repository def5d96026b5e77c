#include "Recipes.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "DotFont.h"
#include "ImageTable.h"
#include "LibrarianPanes.h"
#include "Paint.h"
#include "Palette.h"

namespace imagegen {
namespace {
constexpr float kPi = 3.14159265f;
constexpr float kSweep = 0.75f * kPi;  // a knob turns from -135 to +135 degrees
constexpr LICE_pixel kBlack = rgb(0, 0, 0), kWhite = rgb(255, 255, 255), kPink = rgb(255, 64, 150);
// The editor window and where its areas lie; the page backgrounds fill the page area.
constexpr int kWindowW = 1500, kWindowH = 757;
constexpr int kPageX = 70, kPageY = 64, kPageW = 1420, kPageH = 620;
// The mixer strip lies under the librarian page's lower pane of slots, which
// reaches down to 706, in a recess that leaves the page its bottom edge.
constexpr int kMixerY = 712, kMixerH = 43, kMixerRim = 2;
constexpr int kLibrarianH = kMixerY - kMixerRim - kPageY;  // the librarian page, down to 709
// The areas of the window's faceplate.
constexpr Rect kLogo{18, 10, 146, 40};
constexpr Rect kDisplay{306, 15, 508, 30};
constexpr Rect kPartRecess{4, kPageY, 60, 16 * 36 + 8};
constexpr Rect kPageRecess{kPageX - 3, kPageY - 3, kPageW + 6, kPageH + 6};
constexpr Rect kMixerRecess{kPageX - kMixerRim, kMixerY - kMixerRim, kPageW + 2 * kMixerRim, kMixerH + 2 * kMixerRim};
constexpr Rect kBelowParts{2, kPageY + 16 * 36 + 8, 64, kWindowH - kPageY - 16 * 36 - 12};

std::string twoDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d", n);
  return text;
}

struct Frame {
  LICE_IBitmap* bm;
  TextRuns& texts;  // labels, set later at the size shown
  int x, y, w, h;  // this frame's rectangle in the strip
  int index, count;
  const Palette& p;
  float value() const { return count > 1 ? float(index) / float(count - 1) : 0.0f; }
};
using Draw = std::function<void(const Frame&)>;

struct Recipe {
  int w, h;  // of one frame
  Draw draw;
  bool opaque = false;  // a faceplate: every pixel fully covered
  int cellsX = 1, cellsY = 1;  // buttons cut from one frame, each brought to size on its own
  bool greyable = false;
};

// ---- Knobs ------------------------------------------------------------------

Draw knob(bool bipolar, bool small) {
  return [=](const Frame& f) {
    const Palette& p = f.p;
    const float cx = f.x + f.w / 2.0f - 0.5f, cy = f.y + f.h / 2.0f - 0.5f;
    const float ring = f.w / 2.0f - 3.5f, body = ring - (small ? 4.5f : 6.5f);
    thickArc(f.bm, cx, cy, ring, 2.5f, -kSweep, kSweep, mix(p.recess, p.frame, 0.5f));
    const float angle = -kSweep + f.value() * 2 * kSweep;
    if (bipolar && std::fabs(angle) > 0.01f)
      thickArc(f.bm, cx, cy, ring, 2.5f, 0.0f, angle, p.accent);
    else if (!bipolar && f.index > 0)
      thickArc(f.bm, cx, cy, ring, 2.5f, -kSweep, angle, p.accent);
    if (bipolar) LICE_FillCircle(f.bm, cx, cy - ring - 2.2f, 1.1f, p.text, 1.0f, 0, true);
    // Stepped knobs show where each step lies.
    if (f.count <= 12)
      for (int i = 0; i < f.count; ++i) {
        const float a = -kSweep + (f.count > 1 ? float(i) / float(f.count - 1) : 0.0f) * 2 * kSweep;
        LICE_FillCircle(f.bm, cx + std::sin(a) * (ring + 2.2f), cy - std::cos(a) * (ring + 2.2f), 1.0f,
                        i == f.index ? p.accent : p.textDim, 1.0f, 0, true);
      }
    LICE_FillCircle(f.bm, cx, cy + 1.5f, body + 1.0f, kBlack, 0.5f, 0, true);
    LICE_FillCircle(f.bm, cx, cy, body, p.knobRim, 1.0f, 0, true);
    LICE_FillCircle(f.bm, cx, cy - 0.8f, body - 1.2f, mix(p.knobBody, kWhite, 0.25f), 1.0f, 0, true);
    LICE_FillCircle(f.bm, cx, cy + 0.4f, body - 2.2f, p.knobBody, 1.0f, 0, true);
    const float s = std::sin(angle), c = -std::cos(angle);
    thickLine(f.bm, cx + s * body * 0.3f, cy + c * body * 0.3f, cx + s * (body - 1.8f), cy + c * (body - 1.8f),
              small ? 1.5f : 2.2f, p.pointer);
  };
}

// ---- Buttons, LEDs, switches --------------------------------------------------

// A raised button; the second frame is the pressed or lit state.
Draw button(std::string off, std::string on = "", int dot = 1, bool litFace = true) {
  return [=](const Frame& f) {
    const Palette& p = f.p;
    const bool lit = f.index > 0;
    raised(f.bm, f.x, f.y, f.w, f.h, std::min(4, f.h / 3),
           lit && litFace ? mix(p.buttonOff, p.accent, 0.3f) : p.buttonOff);
    if (lit) LICE_FillRect(f.bm, f.x + 3, f.y + f.h - 4, f.w - 6, 2, p.accent, 1.0f, 0);
    // Lit, the face and the bar under the label show it; the label stays readable.
    const std::string& text = lit && !on.empty() ? on : off;
    dotTextCentred(f.texts, f.x + f.w / 2, f.y + f.h / 2 - (lit ? 0 : 1), text, dot, p.text);
  };
}

// A button the editor greys out: greyed, it is drawn at half weight over the
// faceplate, light in one scheme and dark in the others, so its face is
// deeper and its label white, to keep the two apart on either.
Draw greyableButton(Draw draw) {
  return [=](const Frame& f) {
    Palette p = f.p;
    p.buttonOff = mix(p.buttonOff, kBlack, 0.5f);
    p.text = kWhite;
    draw(Frame{f.bm, f.texts, f.x, f.y, f.w, f.h, f.index, f.count, p});
  };
}

Draw led(LICE_pixel colour, bool inverted) {
  return [=](const Frame& f) {
    const bool on = (f.index > 0) != inverted;
    const float cx = f.x + f.w / 2.0f - 0.5f, cy = f.y + f.h / 2.0f - 0.5f, r = f.w / 2.0f - 1.0f;
    LICE_FillCircle(f.bm, cx, cy, r, kBlack, 0.8f, 0, true);
    LICE_FillCircle(f.bm, cx, cy, r - 1.2f, on ? colour : mix(colour, kBlack, 0.75f), 1.0f, 0, true);
    if (on) LICE_FillCircle(f.bm, cx - r * 0.25f, cy - r * 0.3f, r * 0.35f, kWhite, 0.6f, 0, true);
  };
}

Draw ledButton(std::string label) {
  return [=](const Frame& f) {
    button(label)(f);
    const bool on = f.index > 0;
    LICE_FillCircle(f.bm, f.x + 6.5f, f.y + f.h / 2.0f - 0.5f, 2.5f, on ? f.p.accent : mix(f.p.accent, kBlack, 0.7f),
                    1.0f, 0, true);
  };
}

Draw checkbox() {
  return [](const Frame& f) {
    recessed(f.bm, f.x, f.y, f.w, f.h, 3, f.p);
    if (f.index > 0) {
      thickLine(f.bm, f.x + 3.5f, f.y + f.h * 0.55f, f.x + f.w * 0.42f, f.y + f.h - 4.0f, 2.0f, f.p.accent);
      thickLine(f.bm, f.x + f.w * 0.42f, f.y + f.h - 4.0f, f.x + f.w - 3.5f, f.y + 3.5f, 2.0f, f.p.accent);
    }
  };
}

Draw arrow(bool up) {
  return [=](const Frame& f) {
    button("")(f);
    const int cx = f.x + f.w / 2, cy = f.y + f.h / 2, s = f.h / 4;
    const LICE_pixel c = f.index > 0 ? f.p.accent : f.p.text;
    if (up)
      LICE_FillTriangle(f.bm, cx - s - 1, cy + s / 2 + 1, cx + s + 1, cy + s / 2 + 1, cx, cy - s, c, 1.0f, 0);
    else
      LICE_FillTriangle(f.bm, cx - s - 1, cy - s / 2 - 1, cx + s + 1, cy - s / 2 - 1, cx, cy + s, c, 1.0f, 0);
  };
}

// A padlock on a button plate, so it reads on the panels of every scheme;
// the second frame is locked.
Draw lock(LICE_pixel body) {
  return [=](const Frame& f) {
    const bool locked = f.index > 0;
    raised(f.bm, f.x, f.y, f.w, f.h, 4, locked ? mix(f.p.buttonOff, f.p.accent, 0.3f) : f.p.buttonOff);
    const float cx = f.x + f.w / 2.0f - 0.5f;
    const int bw = f.w * 5 / 8, bh = f.h * 7 / 16, bx = f.x + (f.w - bw) / 2, by = f.y + f.h - bh - 2;
    thickArc(f.bm, cx + (locked ? 0.0f : bw * 0.35f), float(by), bw * 0.32f, 2.0f, -kPi / 2, kPi / 2, body);
    fillRounded(f.bm, bx, by, bw, bh, 2, locked ? body : mix(body, kBlack, 0.35f));
    LICE_FillCircle(f.bm, cx, by + bh / 2.0f - 0.5f, 1.5f, kBlack, 0.8f, 0, true);
  };
}

Draw sliderHandle(bool vertical) {
  return [=](const Frame& f) {
    raised(f.bm, f.x, f.y, f.w, f.h, 3, mix(f.p.knobBody, kWhite, 0.15f), 0.3f);
    if (vertical)
      LICE_FillRect(f.bm, f.x + 2, f.y + f.h / 2 - 1, f.w - 4, 2, f.p.pointer, 1.0f, 0);
    else
      LICE_FillRect(f.bm, f.x + f.w / 2 - 1, f.y + 2, 2, f.h - 4, f.p.pointer, 1.0f, 0);
  };
}

// Tabs for the main pages: every button in one image; the second frame shows them lit.
Draw tabs(std::vector<std::string> names) {
  return [=](const Frame& f) {
    const int n = static_cast<int>(names.size()), bw = f.w / n;
    for (int i = 0; i < n; ++i) {
      const bool lit = f.index > 0;
      raised(f.bm, f.x + i * bw + 1, f.y, bw - 2, f.h, 4, lit ? mix(f.p.buttonOff, f.p.accent, 0.25f) : f.p.buttonOff);
      if (lit) LICE_FillRect(f.bm, f.x + i * bw + 6, f.y + f.h - 4, bw - 12, 2, f.p.accent, 1.0f, 0);
      dotTextCentred(f.texts, f.x + i * bw + bw / 2, f.y + f.h / 2 - 1, names[static_cast<size_t>(i)], 2, f.p.text);
    }
  };
}

Draw partTabs() {
  return [](const Frame& f) {
    const int bh = f.h / 16;
    for (int i = 0; i < 16; ++i) {
      const bool lit = f.index > 0;
      raised(f.bm, f.x + 2, f.y + i * bh + 1, f.w - 4, bh - 2, 4, lit ? mix(f.p.buttonOff, f.p.accent, 0.25f) : f.p.buttonOff);
      if (lit) LICE_FillRect(f.bm, f.x + 5, f.y + i * bh + 6, 2, bh - 12, f.p.accent, 1.0f, 0);
      dotTextCentred(f.texts, f.x + f.w / 2, f.y + i * bh + bh / 2 - 1, std::to_string(i + 1), 2, f.p.text);
    }
  };
}

// ---- Backgrounds -----------------------------------------------------------

struct Box {
  int x, y, w, h;
  const char* title;
};

Draw page(std::vector<Box> boxes) {
  return [=](const Frame& f) {
    faceplate(f.bm, f.x, f.y, f.w, f.h, f.p);
    for (const Box& b : boxes) section(f.bm, f.texts, f.x + b.x, f.y + b.y, b.w, b.h, b.title, f.p);
  };
}

Draw mainPanel() {
  return [](const Frame& f) {
    const Palette& p = f.p;
    faceplate(f.bm, f.x, f.y, f.w, f.h, p);
    // Header: the name, the display and room for the page tabs.
    verticalGradient(f.bm, 0, 0, kWindowW, 58, mix(p.panelTop, kWhite, 0.08f), p.panelTop);
    LICE_Line(f.bm, 0, 58, kWindowW - 1, 58, kBlack, 0.6f, 0, false);
    const LICE_pixel header = mix(p.panelTop, kWhite, 0.08f);
    dotText(f.texts, kLogo.x + 2, kLogo.y + 4, "TARNIVEX", 3, mostLegible({p.accent, p.lcdText, p.accentDim}, header));
    dotText(f.texts, kLogo.x + 2, kLogo.y + 31, "ZOROZOV DIRIRU EDITOR", 1, p.text);
    recessed(f.bm, 300, 9, 520, 42, 6, p);
    LICE_FillRect(f.bm, 306, 15, 508, 30, p.lcd, 1.0f, 0);
    recessed(f.bm, 850, 12, 632, 36, 6, p);
    // The part selectors, the page area and the mixer strip sit in recesses.
    recessed(f.bm, 4, kPageY, 60, 16 * 36 + 8, 6, p);
    dotTextCentred(f.texts, 34, kPageY + 16 * 36 + 24, "PART", 1, p.text);
    recessed(f.bm, kPageX - 3, kPageY - 3, kPageW + 6, kPageH + 6, 6, p);
    recessed(f.bm, kMixerRecess.x, kMixerRecess.y, kMixerRecess.w, kMixerRecess.h, 6, p);
    for (float sx : {10.0f, kWindowW - 11.0f})
      for (float sy : {10.0f, kWindowH - 11.0f}) screw(f.bm, sx, sy, p);
  };
}

// The rail along the top edge of the window: a bright edge over a shadow.
Draw windowRail() {
  return [](const Frame& f) {
    verticalGradient(f.bm, f.x, f.y, f.w, f.h, mix(f.p.frame, kWhite, 0.4f), f.p.panelTop);
    LICE_Line(f.bm, f.x, f.y + f.h - 1, f.x + f.w - 1, f.y + f.h - 1, kBlack, 0.5f, 0, false);
  };
}

Draw progressOverlay() {
  return [](const Frame& f) {
    LICE_FillRect(f.bm, f.x, f.y, f.w, f.h, rgb(0, 0, 0, 150), 1.0f, 0);
    const int bw = 360, bh = 90, bx = f.x + (f.w - bw) / 2, by = f.y + (f.h - bh) / 2;
    raised(f.bm, bx, by, bw, bh, 8, f.p.panelTop);
    dotTextCentred(f.texts, bx + bw / 2, by + 34, "PLEASE WAIT", 3, f.p.accent);
    dotTextCentred(f.texts, bx + bw / 2, by + 68, "TALKING TO THE INSTRUMENT", 1, f.p.text);
  };
}

Draw dialog(std::string title, std::vector<std::string> lines) {
  return [=](const Frame& f) {
    const Palette& p = f.p;
    fillRounded(f.bm, f.x, f.y, f.w, f.h, 10, kBlack, 0.9f);
    fillRounded(f.bm, f.x + 2, f.y + 2, f.w - 4, f.h - 4, 9, p.panelTop);
    verticalGradient(f.bm, f.x + 10, f.y + 36, f.w - 20, f.h - 46, p.panelTop, p.panelBottom);
    dotText(f.texts, f.x + 14, f.y + 12, title, 2, p.accent);
    LICE_Line(f.bm, f.x + 10, f.y + 32, f.x + f.w - 11, f.y + 32, p.accent, 0.8f, 0, false);
    int ly = f.y + 50;
    for (const std::string& line : lines) {
      dotText(f.texts, f.x + 20, ly, line, 1, p.text);
      ly += 14;
    }
  };
}

Draw protector() {
  return [](const Frame& f) {
    LICE_FillRect(f.bm, f.x, f.y, f.w, f.h, f.p.recess, 1.0f, 0);
  };
}

Draw field() {
  return [](const Frame& f) { recessed(f.bm, f.x, f.y, f.w, f.h, 4, f.p); };
}

Draw overlayer(std::string text) {
  return [=](const Frame& f) {
    fillRounded(f.bm, f.x, f.y, f.w, f.h, 8, mix(f.p.panelBottom, kBlack, 0.3f), 0.82f);
    dotTextCentred(f.texts, f.x + f.w / 2, f.y + f.h / 2, text, 2, f.p.text);
  };
}

// A sub-panel with a title and a small curve that shows what the mode does.
Draw curvePanel(std::string title, std::function<float(float)> curve) {
  return [=](const Frame& f) {
    const Palette& p = f.p;
    fillRounded(f.bm, f.x, f.y, f.w, f.h, 6, mix(p.panelTop, p.panelBottom, 0.5f));
    LICE_RoundRect(f.bm, float(f.x), float(f.y), float(f.w - 1), float(f.h - 1), 6, p.frame, 0.8f, 0, true);
    // The title stands beside the curve, leaving the left for the controls' captions.
    dotTextRight(f.texts, f.x + f.w - 140, f.y + 8, title, 1, p.text);
    const int gx = f.x + f.w - 130, gy = f.y + 8, gw = 120, gh = f.h - 16;
    recessed(f.bm, gx, gy, gw, gh, 4, p);
    float px = 0, py = 0;
    for (int i = 0; i <= gw - 12; ++i) {
      const float t = float(i) / float(gw - 12);
      const float x = gx + 6 + i, y = gy + gh - 6 - curve(t) * (gh - 12);
      if (i) thickLine(f.bm, px, py, x, y, 1.6f, p.lcdText);
      px = x, py = y;
    }
  };
}

float envelopeShape(int mode, float t) {
  switch (mode) {
    case 1:  // attack, decay, sustain, decay 2, sustain 2, release
      return t < 0.1f ? t / 0.1f : t < 0.25f ? 1 - (t - 0.1f) * 2.4f : t < 0.45f ? 0.64f : t < 0.6f ? 0.64f - (t - 0.45f) * 1.6f : t < 0.8f ? 0.4f : 0.4f * (1 - (t - 0.8f) * 5);
    case 2:  // one shot
      return t < 0.15f ? t / 0.15f : t < 0.5f ? 1 - (t - 0.15f) * 1.4f : std::max(0.0f, 0.51f - (t - 0.5f) * 1.02f);
    case 3:  // loop S1 S2
      return t < 0.1f ? t / 0.1f : 0.55f + 0.3f * std::cos((t - 0.1f) * 6 * kPi);
    case 4:  // loop all
      return std::fabs(std::fmod(t * 3, 1.0f) * 2 - 1);
    default:  // attack, decay, sustain, release
      return t < 0.15f ? t / 0.15f : t < 0.35f ? 1 - (t - 0.15f) * 2 : t < 0.75f ? 0.6f : 0.6f * (1 - (t - 0.75f) * 4);
  }
}

float filterShape(int type, float t) {
  const float fc = 0.5f, d = (t - fc) * 8;
  switch (type) {
    case 1: return std::exp(-d * d) * 0.85f + 0.05f;                                   // band pass
    case 2: return 0.8f / (1 + std::exp(-d * 1.5f)) + 0.05f + 0.15f * std::exp(-d * d);  // high pass
    case 3: return 0.85f - 0.8f * std::exp(-d * d * 2);                                  // notch
    case 4: return 0.45f - 0.4f * std::cos(t * 8 * kPi);                                 // comb minus: a dip at 0 Hz
    case 5: return 0.45f + 0.4f * std::fabs(std::cos(t * 4 * kPi));                       // comb plus
    default: return 0.8f / (1 + std::exp(d * 1.5f)) + 0.05f + 0.15f * std::exp(-d * d);  // low pass
  }
}

Draw effectPanel(std::string title) {
  return [=](const Frame& f) {
    const Palette& p = f.p;
    fillRounded(f.bm, f.x, f.y, f.w, f.h, 8, mix(p.panelTop, p.panelBottom, 0.4f));
    LICE_RoundRect(f.bm, float(f.x), float(f.y), float(f.w - 1), float(f.h - 1), 8, p.frame, 0.8f, 0, true);
    // The title sits at the bottom right, clear of the controls and their captions.
    recessed(f.bm, f.x + f.w - 210, f.y + f.h - 34, 200, 26, 4, p);
    LICE_FillRect(f.bm, f.x + f.w - 207, f.y + f.h - 31, 194, 20, p.lcd, 1.0f, 0);
    dotText(f.texts, f.x + f.w - 202, f.y + f.h - 28, title, 2, p.lcdText);
  };
}

std::vector<Box> pageBoxes(const std::string& key);

// The librarian page: its boxes and the faces of the menus that open over
// them (the menus themselves draw nothing).
Draw librarianPage() {
  return [](const Frame& f) {
    const Palette& p = f.p;
    page(pageBoxes("BG_ID_BROWSER"))(f);
    auto face = [&](int x, int y, int w, int h, const char* text) {
      raised(f.bm, f.x + x, f.y + y, w, h, 4, p.buttonOff);
      dotTextCentred(f.texts, f.x + x + w / 2, f.y + y + h / 2 - 1, text, 1, p.text);
    };
    face(769, 123, 77, 18, "EDIT");
    face(1072, 1, 38, 19, "BANK");
    face(1114, 1, 45, 19, "PROG");
    dotTextCentred(f.texts, f.x + 960, f.y + 58, "KEEP BANK", 1, p.text);
    dotTextRight(f.texts, f.x + 268, f.y + 130, "EDITED BANK", 1, p.text);
    dotTextRight(f.texts, f.x + 268, f.y + 403, "BROWSED BANK", 1, p.text);
    // The slot view's panes sit in recesses of the page: the slots' texts
    // start at the panes' own edges. The lower one keeps a thinner rim
    // below, over the section's bottom edge.
    for (int top : {0, librarianpanes::kLowerTop})
      recessed(f.bm, f.x + librarianpanes::kViewX - kPageX - 3, f.y + librarianpanes::kViewY - kPageY + top - 3,
               librarianpanes::kWidth + 6, librarianpanes::kPaneHeight + (top ? 5 : 6), 4, p);
  };
}

// The two panes of the librarian's slot view: 8 columns of 16 slots each.
Draw librarianPanes() {
  return [](const Frame& f) {
    const Palette& p = f.p;
    for (int top : {0, librarianpanes::kLowerTop}) {
      constexpr int h = librarianpanes::kPaneHeight;
      LICE_FillRect(f.bm, f.x, f.y + top, f.w, h, p.lcd, 1.0f, 0);
      for (int c = 1; c < 8; ++c)
        LICE_Line(f.bm, f.x + c * 133 - 14, f.y + top + 3, f.x + c * 133 - 14, f.y + top + h - 4, p.frame, 0.5f, 0,
                  false);
    }
  };
}

Draw mixerStrip() {
  return [](const Frame& f) {
    faceplate(f.bm, f.x, f.y, f.w, f.h, f.p);
    const int cw = f.w / 16;
    // The part numbers are the layout's captions; a line between two parts
    // lies midway between one's pan knob and the next one's number.
    for (int i = 1; i < 16; ++i)
      LICE_Line(f.bm, f.x + i * cw + 1, f.y + 4, f.x + i * cw + 1, f.y + f.h - 5, f.p.frame, 0.6f, 0, false);
  };
}

// ---- The table's keys ---------------------------------------------------------

std::vector<Box> pageBoxes(const std::string& key) {
  if (key == "OSCILLATORS_ID")
    return {{10, 10, 460, 300, "OSCILLATOR 1"}, {480, 10, 460, 300, "OSCILLATOR 2"}, {950, 10, 460, 300, "OSCILLATOR 3"},
            {10, 320, 460, 290, "MIXER"},        {480, 320, 460, 290, "COMMON"},       {950, 320, 460, 290, "UNISON AND GLIDE"}};
  if (key == "FILTERS_ENV_ID")
    return {{10, 10, 460, 300, "FILTER 1"},         {480, 10, 460, 300, "FILTER 2"},
            {950, 10, 460, 300, "ROUTING AND SATURATION"},
            {10, 320, 345, 290, "FILTER ENVELOPE"}, {365, 320, 345, 290, "AMP ENVELOPE"},
            {720, 320, 345, 290, "ENVELOPE 3"},     {1075, 320, 335, 290, "ENVELOPE 4"}};
  if (key == "LFO_MODMATRIX_ID")
    return {{10, 10, 460, 300, "LFO 1"}, {480, 10, 460, 300, "LFO 2"}, {950, 10, 460, 300, "LFO 3"},
            {10, 320, 1400, 290, "MODULATION MATRIX"}};
  if (key == "EFFECTS_ID")
    return {{10, 10, 700, 300, "EFFECT 1"}, {720, 10, 690, 300, "EFFECT 2"}, {10, 320, 1400, 290, "ARPEGGIATOR"}};
  if (key == "MULTI_MIXER_BG_ID") return {{10, 10, 1400, 600, "MULTI MIXER"}};
  if (key == "MULTI_SETTINGS_BG_ID") return {{10, 10, 1400, 600, "MULTI SETTINGS"}};
  if (key == "MULTI_SETTINGS_BG2_ID")
    return {{10, 10, 1400, 110, "MULTI"},
            {10, 130, 1400, 260, "GLOBAL"},
            {10, 400, 1400, 110, "GLOBAL CONTROLLERS"},
            {10, 520, 1400, 90, "EDITOR"}};
  if (key == "BG_ID_BROWSER")
    return {{10, 10, 1060, kLibrarianH - 10, "LIBRARY"}, {1080, 30, 330, kLibrarianH - 30, "BROWSE"}};
  return {};
}

const char* const kEffectTitles[][2] = {
    {"EFFECTS_BYPASS_ID", "BYPASS"},   {"EFFECTS_CHORUS_ID", "CHORUS"},     {"EFFECTS_FLANGER_ID", "FLANGER"},
    {"EFFECTS_PHASER_ID", "PHASER"},   {"EFFECTS_OVERDRIVE_ID", "OVERDRIVE"}, {"EFFECTS_FIVEFX_ID", "FIVE FX"},
    {"EFFECTS_VOCODER_ID", "VOCODER"}, {"EFFECTS_DELAY_ID", "DELAY"},       {"EFFECTS_REVERB_ID", "REVERB"},
    {"EFFECTS_51DELAYS_ID", "5.1 DELAY"},
};
const char* const kEnvelopes[] = {"BG_ID_ADSR", "BG_ID_ADSD2S2R", "BG_ID_ONESHOT", "BG_ID_LOOPS1S2", "BG_ID_LOOPALL"};
const char* const kEnvelopeTitles[] = {"ADSR", "ADS1DS2R", "ONE SHOT", "LOOP S1 S2", "LOOP ALL"};
const char* const kFilters[] = {"BG_ID_FLP", "BG_ID_FBP", "BG_ID_FHP", "BG_ID_FNOTCH", "BG_ID_FCOMB1", "BG_ID_FCOMB2"};
const char* const kFilterTitles[] = {"LOW PASS", "BAND PASS", "HIGH PASS", "NOTCH", "COMB -", "COMB +"};

bool recipeFor(const std::string& k, Recipe& r) {
  auto is = [&k](const char* s) { return k == s; };
  if (k.rfind("IKNOBROTATERCONTROL_ID", 0) == 0) {
    const bool small = is("IKNOBROTATERCONTROL_ID3");
    r = {small ? 32 : 46, small ? 32 : 46, knob(is("IKNOBROTATERCONTROL_ID2FC"), small)};
    return true;
  }
  if (k.rfind("BUTTON_MIXER_MUTE", 0) == 0) {
    const int n = std::atoi(k.c_str() + 17);
    r = {40, 22, button(twoDigits(n))};
    return true;
  }
  if (is("MAIN_BG_ID")) return r = {kWindowW, kWindowH, mainPanel(), true}, true;
  // The librarian's page reaches down to the mixer strip's recess.
  if (is("BG_ID_BROWSER")) return r = {kPageW, kLibrarianH, librarianPage(), true}, true;
  if (is("MANAGER_BG_ID2")) return r = {librarianpanes::kWidth, librarianpanes::kHeight, librarianPanes()}, true;
  if (!pageBoxes(k).empty()) return r = {kPageW, kPageH, page(pageBoxes(k)), true}, true;
  if (is("QUICK_MIXER_ID")) return r = {kPageW, kMixerH, mixerStrip(), true}, true;
  if (is("MAIN_BG_FRAME_ID")) return r = {kWindowW, 6, windowRail(), true}, true;
  if (is("PROGRESS_INDICATOR_ID")) return r = {kWindowW, kWindowH, progressOverlay()}, true;
  for (const auto& e : kEffectTitles)
    if (is(e[0])) return r = {680, 262, effectPanel(e[1])}, true;
  for (int i = 0; i < 5; ++i)
    if (is(kEnvelopes[i])) return r = {325, 96, curvePanel(kEnvelopeTitles[i], [i](float t) { return envelopeShape(i, t); })}, true;
  for (int i = 0; i < 6; ++i)
    if (is(kFilters[i])) return r = {440, 80, curvePanel(kFilterTitles[i], [i](float t) { return filterShape(i, t); })}, true;
  if (is("BG_ID_OSC_PW")) return r = {440, 80, curvePanel("PULSE WIDTH", [](float t) { return std::fmod(t * 3, 1.0f) < 0.3f ? 0.9f : 0.1f; })}, true;
  if (is("BG_ID_OSC_SUB")) return r = {440, 80, curvePanel("SUB OSCILLATOR", [](float t) { return 0.5f + 0.4f * std::sin(t * 3 * kPi); })}, true;
  if (is("BG_ABOUT_ID"))
    return r = {600, 360, dialog("TARNIVEX EDITOR", {"EDITOR AND LIBRARIAN FOR THE ZOROZOV DIRIRU", "VERSION 1.0.6", "", "KELMSCROFT"})}, true;
  if (is("BG_FIRST_RUN_ID"))
    return r = {600, 360, dialog("WELCOME", {"CHOOSE THE MIDI PORTS OF YOUR DIRIRU IN THE TWO", "PORT MENUS AT THE TOP OF THE WINDOW - RIGHT OF",
                                             "THE DISPLAY: MIDI IN ABOVE AND MIDI OUT BELOW.", "",
                                             "THE EDITOR THEN LOOKS FOR THE INSTRUMENT.", "",
                                             "PRESS OK AND THIS BOX STAYS CLOSED."})}, true;
  if (is("BG_PATCH_CONFLICT_ID")) return r = {520, 200, dialog("BANK AND PATCH CONFLICT", {"ANOTHER ACTIVE PART ALREADY PLAYS THIS BANK AND", "PROGRAM - SO NOTHING WAS SENT.", "",
                                                                 "CHOOSE ANOTHER PROGRAM FOR THIS PART."})}, true;
  if (is("BG_RENAME_ID")) return r = {360, 110, dialog("RENAME", {})}, true;
  if (is("BG_ID_CATEGORY_FILTER")) return r = {300, 420, dialog("CATEGORIES", {"      BROWSE BY CATEGORY"})}, true;
  if (is("BG_ID_MIDI_FILTERS")) return r = {640, 420, dialog("MIDI FILTERS AND CLOCK", {"PASS FROM THE HOST AND FROM THE INSTRUMENT:"})}, true;
  if (is("BG_SEARCH_FIELD_ID")) return r = {300, 26, field()}, true;
  if (is("BG_FX1OVERLAYER")) return r = {700, 300, overlayer("EFFECT 1 IS OFF FOR THIS PART")}, true;
  if (is("BG_FX2OVERLAYER")) return r = {690, 300, overlayer("EFFECT 2 BELONGS TO ANOTHER PART")}, true;
  if (is("BG_ID_INDICATOR_PROTECTOR")) return r = {56, 14, protector()}, true;
  if (is("BG_ID_SINGLE_PROTECTOR")) return r = {16, 16, protector()}, true;
  if (is("BTN_MULTIMODE_LED_PROTECT_ID")) return r = {20, 20, protector()}, true;
  if (is("BTN_18x18_ID")) return r = {18, 18, button("")}, true;
  if (is("BTN_127x18_ID")) return r = {127, 18, button("")}, true;
  if (is("BTN_EXIT_ABOUT_ID")) return r = {80, 24, button("CLOSE")}, true;
  if (is("BTN_SEE_ABOUT_ID")) return r = {80, 24, button("ABOUT")}, true;
  if (is("BTN_EXIT_FIRST_RUN_ID")) return r = {100, 28, button("OK", "", 2)}, true;
  if (is("BUTTON_ARP_POWER1")) return r = {44, 20, ledButton("ON")}, true;
  if (is("BUTTON_LIB_DISCARD_ID")) return r = {120, 22, button("DISCARD")}, true;
  // Greyed while a bank is unsaved: both labels on the plain face, the bar tells MULTIS.
  if (is("BUTTON_LIB_DATATYPE_ID")) return r = {120, 22, greyableButton(button("SOUNDS", "MULTIS", 1, false)), false, 1, 1, true}, true;
  if (is("BUTTON_LIB_CANCEL_ID")) return r = {120, 22, button("CANCEL")}, true;
  if (is("BUTTON_BANK_OVERWRITE_ID")) return r = {120, 22, greyableButton(button("OVERWRITE")), false, 1, 1, true}, true;
  if (is("BUTTON_TAB_TOPBAR_ID"))
    return r = {624, 28, tabs({"MULTI", "LIBRARY", "OSC", "FILTER", "LFO MOD", "FX ARP"}), false, 6, 1}, true;
  if (is("BUTTON_TAB_SIDEBAR_ID")) return r = {56, 16 * 36, partTabs(), false, 1, 16}, true;
  if (is("LED_MIXER_MIDI_ID")) return r = {12, 12, led(kPink, false)}, true;
  if (is("LED_MIXER_MIDI_INV_ID")) return r = {12, 12, led(kPink, true)}, true;
  if (is("LED_MIXER_MIDI_LARGE_ID")) return r = {18, 18, led(kPink, false)}, true;
  if (is("BTN_SMALL_ID")) return r = {28, 14, button("")}, true;
  if (is("BTN_SMALL_LED_SM_ID")) return r = {28, 14, ledButton("")}, true;
  if (is("BUTTON_BANK_RECALL_ID")) return r = {60, 20, button("MEM")}, true;
  if (is("BUTTON_BANK_SEARCH_ID")) return r = {60, 20, button("SEARCH")}, true;
  if (is("BUTTON_PART_MUTE")) return r = {36, 18, button("MUTE")}, true;
  if (is("BUTTON_PATCHUP_ID")) return r = {22, 16, arrow(true)}, true;
  if (is("BUTTON_PATCHDW_ID")) return r = {22, 16, arrow(false)}, true;
  if (is("BUTTON_LOCK_WHITE_ID")) return r = {22, 22, lock(rgb(236, 236, 240))}, true;
  if (is("BUTTON_LOCK_ID")) return r = {22, 22, lock(LICE_pixel(0))}, true;  // the scheme's own colour, below
  if (is("ID_TRIGGER")) return r = {56, 36, button("TRIG")}, true;
  if (is("ID_RANDOMIZE")) return r = {56, 36, greyableButton(button("RAND")), false, 1, 1, true}, true;
  if (is("BTN_MULTISETTINGS_ID")) return r = {140, 22, button("MORE SETTINGS", "MIXER")}, true;
  if (is("BTN_OFFON_ID")) return r = {120, 22, button("CATEGORIES")}, true;
  if (is("BTN_CHECKBOX_ID")) return r = {16, 16, checkbox()}, true;
  if (is("SLIDER_PYSTY")) return r = {24, 12, sliderHandle(true)}, true;
  if (is("SLIDER_VAAKA")) return r = {12, 24, sliderHandle(false)}, true;
  return false;
}
}  // namespace

bool imageSize(const std::string& key, int& w, int& h) { return imageSizeAt(key, 1.0, w, h); }

bool imageSizeAt(const std::string& key, double scale, int& w, int& h) {
  Recipe recipe;
  if (!recipeFor(key, recipe)) return false;
  w = recipe.cellsX * scaledLength(recipe.w / recipe.cellsX, scale);
  h = recipe.cellsY * scaledLength(recipe.h / recipe.cellsY, scale);
  return true;
}

CaptionSpace captionSpace(const std::string& key, int w, int h) {
  CaptionSpace s;
  // Section bodies, under their title bars, and the title bars' right parts;
  // controls stay inside the sections.
  for (const Box& b : pageBoxes(key)) {
    s.allowed.push_back({b.x + 3, b.y + 25, b.w - 6, b.h - 28});
    s.allowed.push_back({b.x + 240, b.y + 3, b.w - 246, 19});
    s.panels.push_back({b.x + 2, b.y + 2, b.w - 4, b.h - 4});
  }
  const bool curve = std::string(key).rfind("BG_ID_", 0) == 0 && h <= 96;
  if (key == "MAIN_BG_ID") {
    // The header right of the name and its display; the name; the part
    // selectors, the page and the mixer strip in their recesses.
    s.allowed.push_back({kPageX, 2, kWindowW - kPageX - 4, 54});
    s.displays.push_back(kDisplay);
    s.kept.push_back(kLogo);
    s.panels = {{kLogo.x + kLogo.w, 2, kWindowW - kLogo.x - kLogo.w - 4, 54}, kPartRecess, kBelowParts, kPageRecess,
                kMixerRecess};
  }
  if (key == "BG_ID_MIDI_FILTERS") s.kept.push_back({0, 0, w, 62});  // the title and the explanation
  if (key == "BG_ID_BROWSER")  // the menu faces and the labels
    for (const Rect r : {Rect{769, 123, 77, 18}, Rect{1072, 1, 87, 19}, Rect{900, 50, 120, 14},
                         Rect{190, 126, 80, 12}, Rect{190, 399, 80, 12}})
      s.kept.push_back(r);
  if (curve) s.kept.push_back({w - 240, 0, 240, h});  // the title and the curve
  if (key.rfind("EFFECTS_", 0) == 0 && pageBoxes(key).empty()) s.kept.push_back({w - 212, h - 36, 204, 30});
  return s;
}

bool imageInk(const std::string& key, Rect& ink) {
  static std::mutex mutex;
  static std::map<std::string, Rect> known;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (const auto it = known.find(key); it != known.end()) return ink = it->second, true;
  }
  // The frame count of the table decides the drawing, as for the files.
  int frames = 1;
  for (const ImageRow& row : kCommonImages)
    if (key == row.key) frames = row.frames;
  for (const StyleImageRow& row : kStyleImages)
    if (key == row.key) frames = row.frames;
  Drawing d;
  if (!drawImage(key.c_str(), frames, false, kNeutral, d)) return false;
  int x0 = d.frameW, y0 = d.frameH, x1 = 0, y1 = 0;
  for (int y = 0; y < d.shapes->getHeight(); ++y)
    for (int x = 0; x < d.shapes->getWidth(); ++x)
      if (LICE_GETA(LICE_GetPixel(d.shapes.get(), x, y)) > 24) {
        const int fy = y % d.frameH;
        x0 = std::min(x0, x), x1 = std::max(x1, x + 1), y0 = std::min(y0, fy), y1 = std::max(y1, fy + 1);
      }
  ink = x1 > x0 ? Rect{x0, y0, x1 - x0, y1 - y0} : Rect{0, 0, d.frameW, d.frameH};
  std::lock_guard<std::mutex> lock(mutex);
  known[key] = ink;
  return true;
}

bool drawImage(const char* key, int frames, bool framesHorizontal, int scheme, Drawing& drawing) {
  Recipe recipe;
  if (!recipeFor(key, recipe) || frames < 1) return false;
  const Palette& p = palette(scheme);
  if (std::strcmp(key, "BUTTON_LOCK_ID") == 0) recipe.draw = lock(p.accent);
  const int w = framesHorizontal ? recipe.w * frames : recipe.w;
  const int h = framesHorizontal ? recipe.h : recipe.h * frames;
  drawing.shapes = std::make_unique<LICE_MemBitmap>(w, h);
  drawing.texts.clear();
  drawing.frameW = recipe.w;
  drawing.frameH = recipe.h;
  drawing.frames = frames;
  drawing.horizontal = framesHorizontal;
  drawing.opaque = recipe.opaque;
  drawing.cellsX = recipe.cellsX;
  drawing.cellsY = recipe.cellsY;
  drawing.greyable = recipe.greyable;
  LICE_Clear(drawing.shapes.get(), 0);
  for (int i = 0; i < frames; ++i) {
    const int x = framesHorizontal ? i * recipe.w : 0, y = framesHorizontal ? 0 : i * recipe.h;
    recipe.draw(Frame{drawing.shapes.get(), drawing.texts, x, y, recipe.w, recipe.h, i, frames, p});
  }
  return true;
}
}  // namespace imagegen
