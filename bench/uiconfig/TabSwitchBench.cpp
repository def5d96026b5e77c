// Switching the main tab or the part, up to the redrawn frame.
#include <benchmark/benchmark.h>

#include <memory>

#include "IGraphics.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace {
void switchAndDraw(benchmark::State& state, int paramIdx, int first, int second) {
  auto plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
  IGraphics* g = plug->GetGUI();
  int parent = 0;
  g->OpenWindow(&parent);
  IRECT all(0, 0, g->Width(), g->Height());
  plug->GetParam(kMainTab)->Set(3);
  plug->OnParamChange(kMainTab);
  g->Draw(&all);
  int value = first;
  for (auto _ : state) {
    plug->GetParam(paramIdx)->Set(value);
    plug->OnParamChange(paramIdx);
    IRECT dirty;
    if (g->IsDirty(&dirty)) g->Draw(&dirty);
    value = value == first ? second : first;
  }
  g->CloseWindow();
}

void BM_MainTabSwitchToRedrawnFrame(benchmark::State& state) { switchAndDraw(state, kMainTab, 2, 3); }
BENCHMARK(BM_MainTabSwitchToRedrawnFrame)->Unit(benchmark::kMillisecond);

void BM_PartSwitchToRedrawnFrame(benchmark::State& state) { switchAndDraw(state, kQuickTab, 4, 9); }
BENCHMARK(BM_PartSwitchToRedrawnFrame)->Unit(benchmark::kMillisecond);
}  // namespace
