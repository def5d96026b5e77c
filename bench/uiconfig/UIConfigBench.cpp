// What an instance costs to open and close with the full GUI document and
// every image of the table: the first in a process (which reads what every
// instance shares), each further one (which finds it read), and the memory a
// further open instance adds. No settings file and no MIDI system.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Tarnivex.h"

namespace {
// Resident memory in bytes, from /proc.
double residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * 4096.0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Create to ready (the timed part) and close (a counter), one instance at a time.
void createAndClose(benchmark::State& state) {
  double closing = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    state.SetIterationTime(secondsSince(start));
    const auto closeStart = std::chrono::steady_clock::now();
    plug.reset();
    closing += secondsSince(closeStart);
  }
  state.counters["close_ms"] = 1000.0 * closing / static_cast<double>(state.iterations());
}

// Only the very first instance of the process is "first": it reads the
// documents; none decodes images until an editor draws.
void BM_FirstInstance(benchmark::State& state) { createAndClose(state); }
BENCHMARK(BM_FirstInstance)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FurtherInstance(benchmark::State& state) { createAndClose(state); }
BENCHMARK(BM_FurtherInstance)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FurtherInstanceCreateAndClose(benchmark::State& state) {
  for (auto _ : state) {
    auto plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    benchmark::DoNotOptimize(plug.get());
  }
}
BENCHMARK(BM_FurtherInstanceCreateAndClose)->Unit(benchmark::kMillisecond);

// What a host's state restore ends with: every parameter shown on its controls.
void BM_RedrawAllParamControls(benchmark::State& state) {
  auto plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
  for (auto _ : state) plug->RedrawParamControls();
}
BENCHMARK(BM_RedrawAllParamControls)->Unit(benchmark::kMillisecond);

// Resident memory that each of n instances adds to one already open.
void BM_MemoryOfFurtherInstances(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::vector<std::unique_ptr<Tarnivex>> plugs;
    plugs.push_back(std::make_unique<Tarnivex>(IPlugInstanceInfo{}));
    const double before = residentBytes();
    for (int i = 0; i < n; ++i) plugs.push_back(std::make_unique<Tarnivex>(IPlugInstanceInfo{}));
    state.counters["MB_per_further_instance"] = (residentBytes() - before) / n / (1024.0 * 1024.0);
  }
}
BENCHMARK(BM_MemoryOfFurtherInstances)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  // The plug-in finds its bundle beside its own code; here the bench names it.
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 0);
  // No MIDI system: nothing starts a JACK server for the instances' port lists.
  setenv("JACK_NO_START_SERVER", "1", 0);
  // Instances make their data folder; keep it out of the user's.
  char folder[] = "/tmp/tarnivex-bench-XXXXXX";
  if (mkdtemp(folder)) setenv("XDG_DATA_HOME", folder, 1);
  InitializeBenchmarks(&argc, argv);
  const int result = RunBenchmarksFailingOnErrors();
  benchmark::Shutdown();
  return result;
}
