// What the window shows, checked at every size and in every colour scheme:
// every text on screen fits its place and reads on what it is drawn on, the
// tabs answer exactly where they are drawn, hidden layers take no clicks, and
// every text the image generator drew or checked has a contrast of 4.5:1.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "ControlLayer.h"
#include "EditorPages.h"
#include "IControl.h"
#include "IGraphics.h"
#include "IParam.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "TextLooks.h"
#include "UIConfigManager.h"
#include "lice.h"

using editorpages::Editor;

namespace {
// The widest text a control can show: each value of its parameter, or a
// name as long as the control takes.
std::vector<std::string> textsOf(ITextControl* control) {
  IParam* param = control->GetParam();
  if (!param) return {control->GetText()};
  if (param->Type() == IParam::kTypeText) {
    const int length = control->GetTextEntryLength();
    return {length > 0 ? std::string(static_cast<size_t>(length), 'W') + " " : control->GetText()};
  }
  // The port menus list what the system has; their first entry is ours.
  if (param->GetNDisplayTexts() == 0 || param->GetNDisplayTexts() > 1000) return {control->GetText()};
  std::vector<std::string> texts;
  for (int i = 0; i < param->GetNDisplayTexts(); ++i)
    texts.push_back(std::string(param->GetDisplayText(i)) + " " + param->GetLabelForHost());
  return texts;
}

double contrastOf(const IColor& c, LICE_pixel p) {
  return textlooks::contrast({255, c.R, c.G, c.B}, {255, int(LICE_GETR(p)), int(LICE_GETG(p)), int(LICE_GETB(p))});
}

std::vector<LICE_pixel> pixelsOf(LICE_IBitmap* bm) {
  std::vector<LICE_pixel> out;
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x) out.push_back(LICE_GetPixel(bm, x, y) | 0xFF);
  return out;
}
}  // namespace

std::string report(const std::vector<std::string>& faults) {
  std::string list;
  for (size_t i = 0; i < faults.size() && i < 60; ++i) list += faults[i] + "\n";
  return std::to_string(faults.size()) + " faults, the first:\n" + list;
}

// Every text control the document makes, shown or not: each text it can show
// fits inside it, so no text runs into another or off its panel.
TEST(WindowCheck, EveryTextFitsItsPlaceAtEverySize) {
  std::vector<std::string> faults;
  for (const editorpages::Size& size : editorpages::kSizes) {
    Editor editor("yellow", size);
    IGraphics& g = editor.graphics();
    std::set<std::string> seen;  // the sixteen part copies are alike
    for (ITextControl* t : editor.AllTexts()) {
      IText* style = t->GetIText();
      const IRECT& r = *t->GetRECT();
      if (style->mColor.A == 0 || r.Empty()) continue;
      for (const std::string& text : textsOf(t)) {
        const std::string key = std::to_string(r.L) + "," + std::to_string(r.T) + "," + std::to_string(r.W()) + text;
        if (!seen.insert(key).second) continue;
        IRECT box = r;
        g.DrawIText(style, text.c_str(), &box, true);
        if (box.W() > r.W())
          faults.push_back(std::string(size.name) + ": \"" + text + "\" is " + std::to_string(box.W()) +
                           " wide in the " + std::to_string(r.W()) + " of the control at " + std::to_string(r.L) +
                           "," + std::to_string(r.T));
      }
    }
  }
  EXPECT_TRUE(faults.empty()) << report(faults);
}

// Every text on screen on every main page: set no smaller than 12 pixels, and
// each of its pixels at 4.5:1 or more with what lies under it.
TEST(WindowCheck, EveryShownTextReadsOnWhatItIsDrawnOn) {
  std::vector<std::string> faults;
  for (const char* scheme : editorpages::kSchemes)
    for (const editorpages::Size& size : editorpages::kSizes) {
      Editor editor(scheme, size);
      IGraphics& g = editor.graphics();
      for (const editorpages::Page& page : editorpages::kPages) {
        editor.Show(page);
        const std::string where = std::string(page.name) + " page, " + scheme + ", " + size.name + ": ";
        ASSERT_EQ(editor.ShownTab(), page.tab) << where;
        const std::vector<ITextControl*> texts = editor.ShownTexts();
        const std::vector<LICE_pixel> drawn = pixelsOf(g.GetDrawBitmap());
        // What lies under the texts: the same frame with every text hidden.
        for (ITextControl* t : texts) t->Hide(true);
        editor.DrawAll();
        const std::vector<LICE_pixel> under = pixelsOf(g.GetDrawBitmap());
        for (ITextControl* t : texts) t->Hide(false);
        editor.DrawAll();
        const int w = g.Width(), h = g.Height();
        for (ITextControl* t : texts) {
          IText* style = t->GetIText();
          const IRECT& r = *t->GetRECT();
          // Greyed controls are inactive: their texts are drawn faint on purpose.
          if (style->mColor.A == 0 || t->GetText().empty() || t->IsGrayed() || r.Empty()) continue;
          const std::string name = where + "\"" + t->GetText() + "\" at " + std::to_string(r.L) + "," +
                                   std::to_string(r.T) + ": ";
          if (style->mSize < textlooks::kSmallestSize) faults.push_back(name + "set at " + std::to_string(style->mSize));
          // The text's own pixels: where the frame differs from the one without texts.
          IRECT box = r;
          g.DrawIText(style, t->GetText().c_str(), &box, true);
          double worst = 22.0;
          for (int y = std::max(0, r.T - 4); y < std::min(h, r.B + 4); ++y)
            for (int x = std::max(0, std::min(r.L, box.L)); x < std::min(w, std::max(r.R, box.R)); ++x) {
              const size_t i = static_cast<size_t>(y) * w + x;
              if (drawn[i] != under[i]) worst = std::min(worst, contrastOf(style->mColor, under[i]));
            }
          if (worst < textlooks::kMinContrast) {
            char ratio[32];
            std::snprintf(ratio, sizeof ratio, "%.2f:1", worst);
            faults.push_back(name + "contrast " + ratio);
          }
        }
      }
    }
  EXPECT_TRUE(faults.empty()) << report(faults);
}

TEST(WindowCheck, TheSmallestTextSizeDrawsGlyphsOfAtLeastFiveBySeven) {
  editorpages::Editor editor("yellow", editorpages::kSizes[0]);
  IGraphics& g = editor.graphics();
  const IColor white(255, 255, 255, 255);
  for (const char* glyph : {"0", "H", "8"}) {
    IText style(textlooks::kSmallestSize, &white, "NK57 Monospace");
    IRECT clear(0, 0, 60, 40);
    const IColor black(255, 0, 0, 0);
    g.FillIRect(&black, &clear, nullptr);
    IRECT r(0, 0, 60, 40);
    g.DrawIText(&style, glyph, &r);
    int x0 = 99, x1 = -1, y0 = 99, y1 = -1;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x)
        if (LICE_GETR(LICE_GetPixel(g.GetDrawBitmap(), x, y)) > 64)
          x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    EXPECT_GE(x1 - x0 + 1, 5) << glyph;
    EXPECT_GE(y1 - y0 + 1, 7) << glyph;
  }
}

TEST(WindowCheck, TabsAndPartSelectorsAnswerExactlyWhereTheyAreDrawn) {
  for (const editorpages::Size& size : editorpages::kSizes) {
    SCOPED_TRACE(size.name);
    Editor editor("yellow", size);
    Tarnivex& plug = editor.plug();
    const auto tab = [&] { return plug.GetParam(kMainTab)->Int(); };
    const auto part = [&] { return plug.GetParam(kQuickTab)->Int(); };
    // The six tabs, cut from one image at this size.
    const int tabW = editor.scaled(104), tabH = editor.scaled(28), tabsX = editor.scaled(854), tabsY = editor.scaled(16);
    for (int i = 1; i < 6; ++i) {
      const int left = tabsX + i * tabW, top = tabsY;
      editor.Click(left, top);  // the first pixel of the tab
      EXPECT_EQ(tab(), i);
      editor.Click(left - 1, top + tabH - 1);  // the last pixel of the tab before
      EXPECT_EQ(tab(), i - 1);
      editor.Click(left + tabW - 1, top + tabH - 1);  // the last pixel of the tab
      EXPECT_EQ(tab(), i);
      editor.Click(left + tabW / 2, top - 1);  // above and below: no tab
      editor.Click(left + tabW / 2, top + tabH);
      EXPECT_EQ(tab(), i);
    }
    const int partH = editor.scaled(36), partW = editor.scaled(56), partsX = editor.scaled(6), partsY = editor.scaled(68);
    for (int i : {1, 15}) {
      const int top = partsY + i * partH;
      editor.Click(partsX, top);
      EXPECT_EQ(part(), i);
      editor.Click(partsX + partW - 1, top - 1);
      EXPECT_EQ(part(), i - 1);
      editor.Click(partsX + partW - 1, top + partH - 1);
      EXPECT_EQ(part(), i);
    }
    editor.Click(partsX + partW / 2, partsY + 16 * partH);  // under part 16
    EXPECT_EQ(part(), 15);
  }
}

TEST(WindowCheck, AClickIntoAHiddenLayerDoesNothing) {
  Editor editor("yellow", editorpages::kSizes[1]);
  Tarnivex& plug = editor.plug();
  IGraphics& g = editor.graphics();
  // The MIDI filter box is hidden until asked for: its first check box takes no click.
  const IParam* filter = plug.GetParam(kMIDIFilterDAWCCPassThrough);
  const double before = filter->Value();
  editor.Click(568, 278);
  EXPECT_EQ(filter->Value(), before);
  // A knob of the oscillator page, once shown, is not reached from the multi page.
  editor.Show(editorpages::kPages[3]);
  IControl* knob = g.GetMouseControlIdx(104 + 23, 204 + 23);
  ASSERT_NE(knob, nullptr);
  ASSERT_GE(knob->ParamIdx(), 0);
  editor.Show(editorpages::kPages[0]);
  EXPECT_NE(g.GetMouseControlIdx(104 + 23, 204 + 23), knob);
  // Nor is the mixer strip the multi page hides, and the next pass paints
  // over where it was.
  editor.Show(editorpages::kPages[3]);
  IControl* mixerKnob = g.GetMouseControlIdx(92 + 16, 723 + 16);
  ASSERT_NE(mixerKnob, nullptr);
  editor.Click(854 + 52, 16 + 14);  // the multi tab, as a user clicks it
  IRECT dirty;
  ASSERT_TRUE(g.IsDirty(&dirty));
  EXPECT_TRUE(dirty.L <= 70 && dirty.T <= 712 && dirty.R >= 1490 && dirty.B >= 755);
  editor.DrawAll();
  EXPECT_NE(g.GetMouseControlIdx(92 + 16, 723 + 16), mixerKnob);
}

// The mixer strip shows on the LIBRARY page, under the lower pane of slots:
// its top, and every control of it, at or below the pane's last row and
// below the page's image, at every size.
TEST(WindowCheck, TheMixerStripOnTheLibraryPageLiesUnderTheLowerPaneOfSlots) {
  for (const editorpages::Size& size : editorpages::kSizes) {
    SCOPED_TRACE(size.name);
    Editor editor("yellow", size);
    editor.Show(editorpages::kPages[2]);
    ASSERT_EQ(editor.ShownTab(), 1);
    const ControlLayer* strip = editor.plug().uiConfigManager->layerMap.at("miniMixer");
    ASSERT_TRUE(strip->IsVisible());
    const LibrarianViewControl* view = editor.plug().librarianView();
    ASSERT_NE(view, nullptr);
    const int lastRow = view->grid().box(1, kSlotsPerPane - 1).B;
    // The strip's top: its background, the first control the layer holds.
    ASSERT_FALSE(strip->controls().empty());
    const int top = strip->controls().front()->GetRECT()->T;
    EXPECT_GE(top, lastRow);
    for (const auto& control : strip->controls()) EXPECT_GE(control->GetRECT()->T, lastRow);
    // The page's image ends above the strip; a point under its last row
    // shows the strip's own image.
    const IBitmap page = editor.plug().uiConfigManager->getImageByName(&editor.graphics(), "BG_ID_BROWSER");
    EXPECT_LE(editor.scaled(64) + page.H, top);
  }
}

// The image generator's report: one line for every label, caption and
// run-time text it drew or checked, with the colours and the worst pixel.
TEST(WindowCheck, EveryTextTheImagesCarryOrLieUnderReadsAtFourAndAHalfToOne) {
  std::ifstream in(TARNIVEX_TEXT_REPORT);
  ASSERT_TRUE(in) << TARNIVEX_TEXT_REPORT;
  size_t lines = 0, runTime = 0, greyedLines = 0, greyedSilver = 0;
  std::set<std::string> sizes;
  for (std::string line; std::getline(in, line); ++lines) {
    std::vector<std::string> f;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
    ASSERT_EQ(f.size(), 5u) << line;
    const auto colour = [](const std::string& hex) {
      const unsigned v = static_cast<unsigned>(std::stoul(hex, nullptr, 16));
      return textlooks::Colour{255, int(v >> 16), int((v >> 8) & 0xFF), int(v & 0xFF)};
    };
    const double ratio = textlooks::contrast(colour(f[2]), colour(f[3]));
    // A caption is also checked as its greyed section shows it: faint, yet at 3:1.
    const std::string faint = " (greyed)";
    const bool greyed = f[1].size() > faint.size() && f[1].compare(f[1].size() - faint.size(), faint.size(), faint) == 0;
    EXPECT_GE(ratio, greyed ? textlooks::kMinInactiveContrast : textlooks::kMinContrast) << line;
    if (greyed) {
      ++greyedLines;
      if (f[0].find("silver") != std::string::npos) ++greyedSilver;
    }
    EXPECT_NEAR(ratio, std::stod(f[4]), 0.01) << line;
    sizes.insert(f[0].substr(f[0].find('@') + 1));
    if (f[1].rfind("text of line", 0) == 0) ++runTime;
  }
  EXPECT_EQ(sizes, (std::set<std::string>{"small", "normal", "large"}));
  EXPECT_GT(lines, 1000u);
  EXPECT_GT(runTime, 300u);
  EXPECT_GT(greyedLines, 1000u);
  EXPECT_GT(greyedSilver, 100u);
}
