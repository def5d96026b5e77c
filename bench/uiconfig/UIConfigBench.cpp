// What an instance costs to open and close with the full GUI document and
// every image of the table: the first in a process (which deciphers the
// documents and decodes the images), each further one (which finds both in
// the process-wide caches), and the memory a further open instance adds.
#include <benchmark/benchmark.h>

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

void BM_FirstInstanceCreateAndClose(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug.reset();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
}
// Only the very first instance of the process is "first".
BENCHMARK(BM_FirstInstanceCreateAndClose)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

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

void BM_MemoryOfFurtherInstances(benchmark::State& state) {
  constexpr int kInstances = 8;
  for (auto _ : state) {
    std::vector<std::unique_ptr<Tarnivex>> plugs;
    plugs.push_back(std::make_unique<Tarnivex>(IPlugInstanceInfo{}));
    const double before = residentBytes();
    for (int i = 1; i < kInstances; ++i) plugs.push_back(std::make_unique<Tarnivex>(IPlugInstanceInfo{}));
    state.counters["MB_per_further_instance"] = (residentBytes() - before) / (kInstances - 1) / (1024.0 * 1024.0);
  }
}
BENCHMARK(BM_MemoryOfFurtherInstances)->Iterations(1)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  // The plug-in finds its bundle beside its own code; here the bench names it.
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 0);
  // Instances make their data folder; keep it out of the user's.
  char folder[] = "/tmp/tarnivex-bench-XXXXXX";
  if (mkdtemp(folder)) setenv("XDG_DATA_HOME", folder, 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
