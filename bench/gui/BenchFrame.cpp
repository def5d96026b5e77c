// The editor's frame, 1500 x 757, with 300 stock controls (knobs, sliders,
// switches and 200 text labels) over a background image:
//   ./scripts/bench            (or build/bench/bench/gui/bench_gui)
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include <cmath>
#include <string>

#include "Fill.h"
#include "GraphicsCaches.h"
#include "IControls.h"
#include "IGraphicsLinux.h"
#include "IPlugBase.h"
#include "Shapes.h"

namespace {
constexpr int kW = 1500, kH = 757;

class QuietPlug : public IPlugBase {
 public:
  QuietPlug() : IPlugBase(64, "0-2", 0, "Bench", "Bench", "Bench", 0x10000, 0, 0, 0, true, false, false, kAPIVST2) {
    initialize(64, 64, "0-2", 0, "Bench", "Bench", "Bench", 0x10000, 0, 0, 0, true, false, false);
  }
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int*, int*) override {}
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int, int) override {}
  bool SendMidiVST(IMidiMsg*) override { return false; }
  bool SendMidiMsg(IMidiMsg*) override { return false; }
};

IBitmap Cached(std::unique_ptr<LICE_MemBitmap> bm, int n) {
  IBitmap b(bm.get(), bm->getWidth(), bm->getHeight(), n);
  s_bitmapCache.Add(-1, std::move(bm));
  return b;
}

// A 64-frame knob filmstrip of soft-edged discs with a pointer.
IBitmap KnobStrip() {
  constexpr int size = 40, n = 64;
  auto bm = std::make_unique<LICE_MemBitmap>(size, size * n, 4);
  LICE_Clear(bm.get(), 0);
  for (int k = 0; k < n; ++k) {
    const float c = size / 2.0f - 0.5f, a = float(-2.35 + 4.7 * k / (n - 1));
    LICE_FillCircle(bm.get(), c, c + k * size, c - 1, LICE_RGBA(70, 74, 82, 255), 1.0f, 0, true);
    LICE_Line(bm.get(), int(c), int(c + k * size), int(c + std::sin(a) * (c - 3)),
              int(c + k * size - std::cos(a) * (c - 3)), LICE_RGBA(240, 180, 60, 255), 1.0f, 0, true);
  }
  return Cached(std::move(bm), n);
}

IBitmap Solid(int w, int h, int n, LICE_pixel c) {
  auto bm = std::make_unique<LICE_MemBitmap>(w, h * n, 4);
  LICE_Clear(bm.get(), c);
  return Cached(std::move(bm), n);
}

struct Frame {
  Frame() : graphics(*new IGraphicsLinux(&plug, kW, kH, 0)) {
    plug.AttachGraphics(&graphics);
    IBitmap background = Solid(kW, kH, 1, LICE_RGBA(43, 45, 49, 255));
    graphics.AttachControl(new IBitmapControl(&plug, 0, 0, -1, &background, IChannelBlend::kBlendClobber));
    IBitmap knob = KnobStrip(), handle = Solid(16, 8, 1, LICE_RGBA(200, 200, 200, 255)),
            button = Solid(20, 12, 2, LICE_RGBA(90, 200, 120, 255));
    IText label(11, &COLOR_WHITE, "DejaVu Sans Mono", IText::kStyleNormal, IText::kAlignNear);
    for (int i = 0; i < 50; ++i) {
      const int x = 20 + (i % 25) * 58, y = 20 + (i / 25) * 300;
      firstKnob = firstKnob >= 0 ? firstKnob : graphics.NControls();
      graphics.AttachControl(new IKnobMultiControl(&plug, x, y, i % 64, &knob));
      graphics.AttachControl(new IFaderControl(&plug, x + 10, y + 60, 80, i % 64, &handle));
    }
    for (int i = 0; i < 50; ++i)
      graphics.AttachControl(new ISwitchControl(&plug, 20 + (i % 25) * 58, 200 + (i / 25) * 300, i % 64, &button));
    for (int i = 0; i < 200; ++i) {
      const IRECT r(10 + (i % 10) * 148, 240 + (i / 10) * 24, 150 + (i % 10) * 148, 254 + (i / 10) * 24);
      graphics.AttachControl(new ITextControl(&plug, r, &label, ("Label " + std::to_string(i)).c_str()));
    }
    for (int i = 1; i < graphics.NControls(); ++i) graphics.GetControl(i)->SetValueFromPlug(0.5);
    DrawAll();
  }
  void DrawAll() {
    IRECT all(0, 0, kW, kH);
    graphics.Draw(&all);
  }

  QuietPlug plug;
  IGraphicsLinux& graphics;
  int firstKnob = -1;
};

void BM_FullRedraw(benchmark::State& st) {
  Frame f;
  for (auto _ : st) {
    f.graphics.SetAllControlsDirty();
    f.DrawAll();
    benchmark::ClobberMemory();
  }
}

void BM_OneKnobChanged(benchmark::State& st) {
  Frame f;
  IControl* knob = f.graphics.GetControl(f.firstKnob);
  double v = 0.0;
  for (auto _ : st) {
    v = v > 0.9 ? 0.0 : v + 0.05;
    knob->SetValueFromPlug(v);
    IRECT r;
    if (f.graphics.IsDirty(&r)) f.graphics.Draw(&r);
    benchmark::ClobberMemory();
  }
}

void BM_NothingChanged(benchmark::State& st) {
  Frame f;
  f.DrawAll();
  int drawn = 0;
  for (auto _ : st) {
    IRECT r;
    if (f.graphics.IsDirty(&r)) {
      f.graphics.Draw(&r);
      ++drawn;
    }
    benchmark::DoNotOptimize(drawn);
  }
  st.counters["passes drawn"] = drawn;
}
}  // namespace

BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneKnobChanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NothingChanged)->Unit(benchmark::kMicrosecond);
TARNIVEX_BENCHMARK_MAIN()
