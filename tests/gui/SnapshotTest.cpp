// A small scene of every stock control and text, drawn headless into a PNG
// under the build folder and compared with the stored image.
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "GuiTestSupport.h"
#include "Png.h"
#include "Shapes.h"
#include "SwellGdi.h"

using namespace guitest;

namespace {
// A knob filmstrip: a disc with a pointer, one frame per step.
IBitmap KnobStrip(int size, int n) {
  auto bm = std::make_unique<LICE_MemBitmap>(size, size * n, 4);
  LICE_Clear(bm.get(), 0);
  const float c = size / 2.0f - 0.5f;
  for (int k = 0; k < n; ++k) {
    const float a = float(-0.75 * M_PI + 1.5 * M_PI * k / (n - 1));
    LICE_FillCircle(bm.get(), c, c + k * size, c - 1, LICE_RGBA(70, 74, 82, 255), 1.0f, 0, true);
    LICE_Line(bm.get(), int(c), int(c + k * size), int(c + std::sin(a) * (c - 2)),
              int(c + k * size - std::cos(a) * (c - 2)), LICE_RGBA(240, 180, 60, 255), 1.0f, 0, true);
  }
  IBitmap b(bm.get(), size, size * n, n);
  s_bitmapCache.Add(-1, std::move(bm));
  return b;
}

// Two frames: a dark key and a lit one.
IBitmap ButtonStrip(int w, int h) {
  auto bm = std::make_unique<LICE_MemBitmap>(w, h * 2, 4);
  LICE_FillRect(bm.get(), 0, 0, w, h, LICE_RGBA(60, 60, 66, 255), 1.0f, 0);
  LICE_FillRect(bm.get(), 0, h, w, h, LICE_RGBA(90, 200, 120, 255), 1.0f, 0);
  LICE_DrawRect(bm.get(), 0, 0, w - 1, h - 1, LICE_RGBA(20, 20, 20, 255), 1.0f, 0);
  LICE_DrawRect(bm.get(), 0, h, w - 1, h - 1, LICE_RGBA(20, 20, 20, 255), 1.0f, 0);
  IBitmap b(bm.get(), w, h * 2, 2);
  s_bitmapCache.Add(-1, std::move(bm));
  return b;
}
}  // namespace

TEST(Snapshot, StockControlsAndText) {
  Gui gui(240, 120);
  IGraphics& g = gui.graphics;
  IPlugBase* p = &gui.plug;
  const IColor panel(255, 43, 45, 49);
  g.AttachPanelBackground(&panel);
  IBitmap knob = KnobStrip(24, 16), pointer = KnobStrip(24, 2), button = ButtonStrip(14, 10), handle = ButtonStrip(12, 6);
  IBitmap chars = Strip(5, 8, 95);
  IText label(11, &COLOR_WHITE, kFixedFontName, IText::kStyleNormal, IText::kAlignNear);
  IText centred = label;
  centred.mAlign = IText::kAlignCenter;
  centred.mColor = COLOR_YELLOW;
  IBitmap single(pointer.mData, 24, 24);  // the first frame alone turns
  gui.plug.GetParam(2)->InitDouble("Level", 64.0, 0.0, 127.0, 1.0, "dB");

  const IRECT bar(8, 100, 232, 112);
  std::vector<std::pair<IControl*, double>> scene = {
      {new IKnobMultiControl(p, 8, 8, 0, &knob), 0.0},
      {new IKnobMultiControl(p, 40, 8, 0, &knob), 1.0},
      {new IKnobLineControl(p, IRECT(72, 8, 96, 32), 0, &COLOR_ORANGE, 3.0), 0.5},
      {new IKnobRotaterControl(p, 104, 8, 0, &single, -0.75 * M_PI, 0.75 * M_PI), 0.25},
      {new ISwitchControl(p, 136, 8, 0, &button), 1.0},
      {new IBitmapOverlayControl(p, 156, 8, 0, &button, IRECT(156, 8, 170, 18)), 0.7},
      {new ISwitchControl(p, 176, 8, 0, &button), 1.0},  // greyed below
      {new IRadioButtonsControl(p, IRECT(8, 44, 80, 54), 0, 4, &button, kHorizontal), 2.0 / 3.0},
      {new IFaderControl(p, 96, 40, 60, 0, &handle, kVertical), 0.3},
      {new IFaderControl(p, 112, 44, 100, 0, &handle, kHorizontal), 0.8},
      {new ITextControl(p, IRECT(8, 64, 110, 76), &label, "Cutoff 1234 Hz"), 0.0},
      {new ITextControl(p, IRECT(120, 64, 232, 76), &centred, "Centred text"), 0.0},
      {new ICaptionControl(p, IRECT(8, 80, 110, 92), 2, &label, true), 0.0},
      {new IBitmapTextControl(p, IRECT(120, 80, 232, 92), &chars, "BITMAP TEXT", &label, 5, 8), 0.0},
      {new IPanelControl(p, &bar, &COLOR_BLUE), 0.0},
  };
  for (auto& [control, value] : scene) {
    g.AttachControl(control);
    control->SetValueFromPlug(value);
  }
  scene[6].first->GrayOut(true);
  IRECT all(0, 0, 240, 120);
  g.Draw(&all);

  const std::filesystem::path out = std::filesystem::path(TARNIVEX_SNAPSHOT_DIR) / "stock-controls.png";
  std::filesystem::create_directories(out.parent_path());
  ASSERT_TRUE(WriteTestPng(out.string(), g.GetDrawBitmap()));
  const std::string expected = std::string(TARNIVEX_GUI_TEST_DATA) + "/stock-controls.png";
  if (std::getenv("TARNIVEX_UPDATE_SNAPSHOTS")) std::filesystem::copy_file(out, expected,
                                                   std::filesystem::copy_options::overwrite_existing);
  std::unique_ptr<LICE_IBitmap> stored(LICE_LoadPNG(expected.c_str()));
  ASSERT_NE(stored, nullptr) << expected;
  ASSERT_EQ(stored->getWidth(), 240);
  int differing = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 240; ++x)
      if ((LICE_GetPixel(stored.get(), x, y) ^ gui.At(x, y)) & 0xFFFFFF00u) ++differing;
  EXPECT_EQ(differing, 0) << "compare " << out << " with " << expected;
}
