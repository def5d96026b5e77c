// What a host pays per instance: creating and closing one (a scan or a
// project with many instances), and saving and restoring its state.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include "TestHost.h"

static void BM_CreateAndClose(benchmark::State& state) {
  TestHost host;
  if (!host.Loaded()) {
    state.SkipWithError(host.LoadError().c_str());
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(host.Create());
    host.Close();
  }
}
BENCHMARK(BM_CreateAndClose)->Unit(benchmark::kMillisecond);

static void BM_GetChunkSetChunk(benchmark::State& state) {
  TestHost host;
  if (!host.Loaded() || !host.Create()) {
    state.SkipWithError("plug-in not loaded");
    return;
  }
  for (auto _ : state) {
    void* data = nullptr;
    const VstIntPtr size = host.Dispatch(effGetChunk, 1, 0, &data);
    benchmark::DoNotOptimize(host.Dispatch(effSetChunk, 1, size, data));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(host.GetChunk(true).size()));
}
BENCHMARK(BM_GetChunkSetChunk)->Unit(benchmark::kMicrosecond);

TARNIVEX_BENCHMARK_MAIN()
