// The MIDI clock's steadiness as the instrument's port receives it (private
// JACK server, dummy driver with 32-frame periods: arrivals are seen to
// 0.67 ms), and the CPU time of one parameter change from the instrument.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "FakeEditor.h"
#include "JackPeer.h"
#include "JackServer.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace {
constexpr int kPeriodFrames = 32;
constexpr double kIdealMs = 60000.0 / (120 * 24);

JackPeer* gPeer = nullptr;
Tarnivex* gPlug = nullptr;
int gOutIndex = -1;  // the peer's port in the plug-in's list

// Runs the clock job at 120 BPM until count clocks reached the peer or the
// bound passed, then stops it; what arrived (empty when the job did not start).
std::vector<PeerEvent> runClock(size_t count, std::chrono::milliseconds bound, std::chrono::milliseconds poll) {
  gPlug->clockInfoOn = true;
  gPlug->tempoValue = 120;
  MIDIMessageManager& manager = *gPlug->midiMessageManager;
  manager.resetContinuousClock(false);
  SenderJob job;
  job.jobCode = 16;
  if (!manager.startJob(job)) return {};
  std::vector<PeerEvent> events;
  const auto until = std::chrono::steady_clock::now() + bound;
  while ((events = gPeer->Events()).size() < count && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(poll);
  manager.resetContinuousClock(true);
  while (manager.isThreadRunning(JobThread::kContinuousClock)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return events;
}

// Runs the clock at 120 BPM for range(0) clocks; reports the spacing's
// deviation from 20.83 ms (mean and 99th percentile of its size) and the
// drift of the last clock against the first.
void BM_ClockSpacingOnJack(benchmark::State& state) {
  const size_t clocks = static_cast<size_t>(state.range(0));
  std::vector<double> deviations;
  double drift = 0.0, firstGap = 0.0;
  for (auto _ : state) {
    gPeer->Clear();
    const auto bound = std::chrono::milliseconds(static_cast<long>(clocks * kIdealMs * 1.5) + 5000);
    const std::vector<PeerEvent> events = runClock(clocks, bound, std::chrono::milliseconds(50));
    if (events.size() < clocks) return state.SkipWithError("too few clocks arrived");
    const auto ms = [&](size_t i) {
      return std::chrono::duration<double, std::milli>(events[i].arrival - events[0].arrival).count();
    };
    for (size_t i = 1; i < clocks; ++i) deviations.push_back(std::fabs(ms(i) - ms(i - 1) - kIdealMs));
    drift = ms(clocks - 1) - static_cast<double>(clocks - 1) * kIdealMs;
    firstGap = ms(1);
  }
  std::sort(deviations.begin(), deviations.end());
  double sum = 0.0;
  for (double d : deviations) sum += d;
  state.counters["mean_dev_ms"] = sum / static_cast<double>(deviations.size());
  state.counters["p99_dev_ms"] = deviations[deviations.size() * 99 / 100];
  state.counters["drift_ms"] = drift;
  state.counters["first_gap_ms"] = firstGap;
}
BENCHMARK(BM_ClockSpacingOnJack)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond);

// As a host starts the clock: at the first block after the out port was
// chosen, while its connection still settles. Reports the spacing of the
// first two clocks at the port (20.83 ms when the schedule starts as the
// first one leaves).
void BM_FirstClocksAfterThePortOpens(benchmark::State& state) {
  std::vector<double> gaps;
  for (auto _ : state) {
    int none = 0;
    gPlug->setExternalMIDIOut(none, "Select MIDI Device");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    gPeer->Clear();
    int out = gOutIndex;
    if (gPlug->setExternalMIDIOut(out, gPeer->InPortName().c_str()) != gOutIndex)
      return state.SkipWithError("cannot open the peer's port again");
    gPlug->midiIOConfigured = true;
    const std::vector<PeerEvent> events = runClock(3, std::chrono::seconds(3), std::chrono::milliseconds(5));
    if (events.size() < 3) return state.SkipWithError("too few clocks arrived");
    gaps.push_back(std::chrono::duration<double, std::milli>(events[1].arrival - events[0].arrival).count());
  }
  std::sort(gaps.begin(), gaps.end());
  state.counters["first_gap_min_ms"] = gaps.front();
  state.counters["first_gap_max_ms"] = gaps.back();
  state.counters["ideal_ms"] = kIdealMs;
}
BENCHMARK(BM_FirstClocksAfterThePortOpens)->Iterations(10)->Unit(benchmark::kSecond);

// The same spacing where the clock thread hands each byte to the output,
// without the JACK server's scheduling in between.
void BM_ClockSpacingAtTheSender(benchmark::State& state) {
  struct TimedEditor : FakeEditor {
    bool sendRawToDevice(Bytes) override {
      std::lock_guard<std::mutex> lock(timesMutex);
      times.push_back(std::chrono::steady_clock::now());
      return true;
    }
    std::mutex timesMutex;
    std::vector<std::chrono::steady_clock::time_point> times;
  };
  const size_t clocks = static_cast<size_t>(state.range(0));
  std::vector<double> deviations;
  double drift = 0.0;
  for (auto _ : state) {
    TimedEditor editor;
    editor.clockInfo = true;
    editor.hostTempo = 120;
    editor.setValue(kOverrideTempo, 1);
    MIDIMessageManager manager(&editor, nullptr, nullptr, nullptr);
    editor.manager = &manager;
    manager.resetContinuousClock(false);
    SenderJob job;
    job.jobCode = 16;
    if (!manager.startJob(job)) return state.SkipWithError("the clock job did not start");
    std::vector<std::chrono::steady_clock::time_point> times;
    while (times.size() < clocks) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::lock_guard<std::mutex> lock(editor.timesMutex);
      times = editor.times;
    }
    manager.resetContinuousClock(true);
    const auto ms = [&](size_t i) { return std::chrono::duration<double, std::milli>(times[i] - times[0]).count(); };
    for (size_t i = 1; i < clocks; ++i) deviations.push_back(std::fabs(ms(i) - ms(i - 1) - kIdealMs));
    drift = ms(clocks - 1) - static_cast<double>(clocks - 1) * kIdealMs;
    editor.manager = nullptr;
  }
  std::sort(deviations.begin(), deviations.end());
  double sum = 0.0;
  for (double d : deviations) sum += d;
  state.counters["mean_dev_ms"] = sum / static_cast<double>(deviations.size());
  state.counters["p99_dev_ms"] = deviations[deviations.size() * 99 / 100];
  state.counters["drift_ms"] = drift;
}
BENCHMARK(BM_ClockSpacingAtTheSender)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

// One 10-byte sound change through the engine to the control's parameter.
void BM_ReceiveParameterChange(benchmark::State& state) {
  FakeEditor editor;
  MIDIMessageManager manager(&editor, nullptr, nullptr, nullptr);
  editor.manager = &manager;
  editor.bindSysEx({0x20, 3, 0, 78, 0}, kFilter1Cutoff + 3);
  unsigned char message[] = {0xF0, 0x3E, 0x10, 0x00, 0x20, 3, 0, 78, 0, 0xF7};
  int value = 0;
  for (auto _ : state) {
    message[8] = static_cast<unsigned char>(++value & 0x7F);
    ISysEx sysex(0, message, sizeof(message));
    manager.ProcessSysEx(&sysex, true);
  }
  if (editor.value(kFilter1Cutoff + 3) != (value & 0x7F)) state.SkipWithError("the value did not arrive");
  editor.manager = nullptr;
}
BENCHMARK(BM_ReceiveParameterChange)->Unit(benchmark::kMicrosecond);

// The same through the plug-in's SysEx entry, for the envelope byte that
// sets two parameters.
void BM_ReceiveParameterChangeThroughThePlugin(benchmark::State& state) {
  const int id = gPlug->GetParam(kGlobalSysExID)->Int();
  unsigned char message[] = {0xF0, 0x3E, 0x10, static_cast<unsigned char>(id), 0x20, 1, 1, 104, 0, 0xF7};
  int value = 0;
  for (auto _ : state) {
    message[8] = static_cast<unsigned char>(++value & 0x3F);
    ISysEx sysex(0, message, sizeof(message));
    gPlug->ProcessSysEx(&sysex, true);
  }
}
BENCHMARK(BM_ReceiveParameterChangeThroughThePlugin)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
  InitializeBenchmarks(&argc, argv);
  const std::string data = std::filesystem::temp_directory_path() / "tarnivex-protocol-bench";
  std::filesystem::create_directories(data);
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  JackServer server;
  server.periodFrames = kPeriodFrames;
  if (!server.Start()) {
    std::fprintf(stderr, "cannot start the JACK server: %s\n", server.Error().c_str());
    return 1;
  }
  setenv("TARNIVEX_MIDI_API", "jack", 1);
  auto peer = std::make_unique<JackPeer>();
  auto plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
  // Read again, as a menu opening does, until the process's client has looked.
  int out = -1;
  for (int look = 0; look < 30 && out <= 0; ++look) {
    const auto names = plug->refreshExternalMIDIOutNames();
    const auto found = std::find(names.begin(), names.end(), peer->InPortName());
    out = found == names.end() ? -1 : static_cast<int>(found - names.begin());
  }
  const int wanted = out;
  if (out <= 0 || plug->setExternalMIDIOut(out, peer->InPortName().c_str()) != wanted) {
    std::fprintf(stderr, "cannot open the peer's port\n");
    return 1;
  }
  plug->midiIOConfigured = true;
  plug->GetParam(kOverrideTempo)->InitInt("", 1, 0, 2);
  gPeer = peer.get();
  gPlug = plug.get();
  gOutIndex = wanted;
  std::printf("JACK dummy driver: 48000 Hz, %d-frame periods\n", kPeriodFrames);
  const int result = RunBenchmarksFailingOnErrors();
  benchmark::Shutdown();
  plug.reset();
  peer.reset();
  return result;
}
