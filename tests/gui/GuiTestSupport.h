// A plug-in that records what the GUI hands it, a graphics context over a
// headless view, and strip bitmaps whose frames are told apart by colour.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Bitmap.h"
#include "Fill.h"
#include "GraphicsCaches.h"
#include "IControls.h"
#include "IGraphicsLinux.h"
#include "IParam.h"
#include "IPlugBase.h"

namespace guitest {

class RecordingPlug : public IPlugBase {
 public:
  explicit RecordingPlug(int nParams = 8)
      : IPlugBase(nParams, "0-2", 0, "Test", "Test", "Test", 0x10000, 0x54657374, 0x54657374, 0, true, false, false,
                  kAPIVST2) {
    initialize(nParams, nParams, "0-2", 0, "Test", "Test", "Test", 0x10000, 0, 0, 0, true, false, false);
  }
  void SetParameterFromGUI(int idx, double value) override { log.push_back("gui " + Num(idx, value)); }
  void SetParameterFromGUI2(int idx, double value) override { log.push_back("hw " + Num(idx, value)); }
  void BeginInformHostOfParamChange(int idx) override { log.push_back("begin " + std::to_string(idx)); }
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int idx) override { log.push_back("end " + std::to_string(idx)); }
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int*, int*) override {}
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int w, int h) override { log.push_back("resize " + std::to_string(w) + "x" + std::to_string(h)); }
  bool SendMidiVST(IMidiMsg*) override { return false; }
  bool SendMidiMsg(IMidiMsg*) override { return false; }
  // Takes and empties the log.
  std::vector<std::string> Take() { return std::exchange(log, {}); }

  std::vector<std::string> log;

 private:
  static std::string Num(int idx, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d=%.4f", idx, v);
    return buf;
  }
};

// A bitmap of n frames stacked vertically, w x h each, frame k filled with
// FrameColour(k) (k from 0).
inline LICE_pixel FrameColour(int k) { return LICE_RGBA(unsigned(40 * k + 20), 200, unsigned(255 - 30 * k), 255); }

// Strip bitmaps live in the process-wide cache like every loaded image.
inline IBitmap Strip(int w, int h, int n, bool horizontal = false) {
  auto bm = std::make_unique<LICE_MemBitmap>(horizontal ? w * n : w, horizontal ? h : h * n, 4);
  for (int k = 0; k < n; ++k)
    LICE_FillRect(bm.get(), horizontal ? k * w : 0, horizontal ? 0 : k * h, w, h, FrameColour(k), 1.0f, 0);
  IBitmap b(bm.get(), bm->getWidth(), bm->getHeight(), n, horizontal);
  s_bitmapCache.Add(-1, std::move(bm));
  return b;
}

// A graphics context with its surface, over a headless view that keeps
// the scripted answers.
struct Gui {
  explicit Gui(int w = 120, int h = 80) : graphics(*new IGraphicsLinux(&plug, w, h, 0)) {
    plug.AttachGraphics(&graphics);  // the plug-in owns it from here
    graphics.OpenWindow(reinterpret_cast<void*>(0x1));
  }
  HeadlessView* View() { return static_cast<HeadlessView*>(graphics.GetView()); }
  LICE_pixel At(int x, int y) { return LICE_GetPixel(graphics.GetDrawBitmap(), x, y); }
  void DrawAll() {
    IRECT all(0, 0, graphics.Width(), graphics.Height());
    graphics.Draw(&all);
  }
  // Runs a pass over r so that drawing operations clip to it.
  void Clip(IRECT r) {
    if (graphics.NLayers() == 0) graphics.AttachLayer(new ControlLayer(0, "clip"));
    graphics.Draw(&r);
  }

  RecordingPlug plug;
  IGraphicsLinux& graphics;
};

// Writes the bitmap as a PNG, every pixel opaque.
bool WriteTestPng(const std::string& path, LICE_IBitmap* bm);
// Rows of '#' where the red byte is set and '.' elsewhere.
std::vector<std::string> Art(LICE_IBitmap* bm, int x, int y, int w, int h);

}  // namespace guitest
