// What the host's threads wait for while picks are on their way over a
// private JACK server (dummy driver, synchronous) with periods of 256, 1,024
// and 16,384 frames, the simulated instrument answering on the peer's ports:
// the host's event call and block (64 frames at 48 kHz, at real-time
// priority where allowed) beside the window's picks of a part's program or
// bank every 100 ms and the host's pairs (bank select and program change)
// for 8 parts every 100 ms between them, with and without the server
// stopped for 1.5 s (SIGSTOP, then SIGCONT) during the picks. Goal: no call
// waits 1 ms; a row fails past kFailMs, which a call that waits for a JACK
// cycle or a delivery under the plug-in's lock reaches at the longer periods
// (21 and 341 ms), a call waiting for the window's lock at any, and a loaded
// machine's scheduling does not.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../AudioThreadEvents.h"
#include "../BenchFailures.h"
#include "AnsweringInstrument.h"
#include "DataFolder.h"
#include "HostAudioThread.h"
#include "HostPickProject.h"
#include "JackPeer.h"
#include "JackServer.h"
#include "ParamIndex.h"
#include "PickArrivals.h"
#include "PlugWithLibrary.h"
#include "Tarnivex.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr double kGoalMs = 1.0;
constexpr double kFailMs = 50.0;

VstTimeInfo gTime{};
VstIntPtr HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&gTime);
  if (opcode == audioMasterVersion) return 2400;
  return 0;
}

// A data folder of the process's own whose settings name the peer's ports:
// the instance opens them as it starts.
void WriteSettingsNaming(JackPeer& peer) {
  const std::string root = std::filesystem::temp_directory_path() / ("tarnivex-host-waits-" + std::to_string(getpid()));
  setenv("XDG_DATA_HOME", root.c_str(), 1);
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  const std::filesystem::path folder = getDataFolder();
  std::filesystem::create_directories(folder / "Patches");
  std::ofstream(folder / "Tarnivex Editor UI.txt", std::ios::binary)
      << "yellow\nnormal\nyes\n" << peer.InPortName() << "\n" << peer.OutPortName();
}

// Program changes that reached the instrument since the peer's record was cleared.
int ProgramChangesAt(JackPeer& peer) {
  const std::vector<PeerEvent> events = peer.Events();
  return static_cast<int>(std::count_if(events.begin(), events.end(), [](const PeerEvent& e) {
    return e.bytes.size() == 2 && (e.bytes[0] & 0xF0) == 0xC0;
  }));
}

// The host's calls and the window's beside the picks, over one run.
struct Waits {
  Spread events{{}}, blocks{{}}, window{{}};
  double worstMs() const { return std::max({events.worst, blocks.worst, window.worst}) / 1e3; }
};

// One instance on the peer's ports, at rest with the host picks' project;
// then six seconds of picks, the server stalled from 1.5 s to 3 s when
// stall is set.
bool RunPicks(JackServer& server, JackPeer& peer, bool stall, Waits* waits, int* changes, bool* realtime) {
  AnsweringInstrument instrument(peer);
  auto plug = PlugWithLibrary(HostCallback);
  AEffect* effect = plug->GetAEffect();
  HostPicks picks;
  ControllerAndNote played(32);
  std::vector<int> programs(kPickedParts);
  std::atomic<int> hostRound{-1};
  std::atomic<bool> hostDue{false}, playing{false};
  // Between the host's pairs, a controller and a note for part 1 in every
  // block, as a track plays; none before the picks, so that the port goes
  // quiet once the instance is at rest.
  HostAudioThread audio(
      effect,
      [&](int block) -> VstEvents* {
        if (!playing) return nullptr;
        if (!hostDue.exchange(false)) return played.forBlock(block);
        const int round = hostRound;
        for (int p = 0; p < kPickedParts; ++p) programs[static_cast<size_t>(p)] = pickedProgram(round, p);
        return picks.forParts(programs, round % 3);
      },
      false);
  // The device enquiry answered, then the project's send of each part's sound.
  const milliseconds settle(static_cast<long>(std::max(1000.0, 6e3 * server.periodFrames / 48000.0)));
  peer.WaitForEvents(1, std::chrono::seconds(20));
  AwaitQuietPort(peer, settle, std::chrono::seconds(60));
  std::vector<uint8_t> project = projectForHostPicks(effect);
  if (project.empty() || !setChunk(effect, project) || !plug->midiIOConfigured) return false;
  AwaitQuietPort(peer, settle + milliseconds(500), std::chrono::seconds(90));
  peer.Clear();

  playing = true;
  audio.counting();
  std::vector<double> window;
  const auto start = Clock::now();
  for (int step = 0; step < 120; ++step) {
    std::this_thread::sleep_until(start + step * milliseconds(50));
    if (stall && step == 30) server.Suspend(true);
    if (stall && step == 60) server.Suspend(false);
    const int round = step / 2;
    if (step % 2) {
      hostRound = round;
      hostDue = true;
      continue;
    }
    // The window's pick of one part, its program or its bank by turns, on
    // the host's GUI thread (this one), as the MULTI page and the top bar make it.
    const int part = round % kPickedParts;
    const bool bank = round / kPickedParts % 2 == 1;
    const int param = (bank ? kMultiPartBank : kMultiPartPatch) + part;
    const int value = bank ? (round / 2 + 1) % 3 : pickedProgram(round + 5, part);
    const double normalized = plug->GetParam(param)->GetNormalized(value);
    const auto called = Clock::now();
    plug->SetParameterFromGUI(param, normalized);
    window.push_back(std::chrono::duration<double, std::micro>(Clock::now() - called).count());
  }
  if (stall) server.Suspend(false);
  audio.stop();
  AwaitQuietPort(peer, milliseconds(300) + settle, std::chrono::seconds(60));
  *changes = ProgramChangesAt(peer);
  waits->events = audio.eventCalls();
  waits->blocks = audio.blocks();
  waits->window = Spread(window);
  *realtime = audio.realtime();
  plug.reset();
  return true;
}

// range(0): the server's period in frames; range(1): 1 with the stall.
void BM_HostCallsBesideWindowPicks(benchmark::State& state) {
  const bool stall = state.range(1) != 0;
  JackServer server;
  server.periodFrames = static_cast<int>(state.range(0));
  if (!server.Start()) return state.SkipWithError(("no JACK server: " + server.Error()).c_str());
  Waits worst;
  int changes = 0;
  bool realtime = false, ran = true;
  {
    JackPeer peer;
    WriteSettingsNaming(peer);
    for (auto _ : state) {
      Waits waits;
      if (!(ran = RunPicks(server, peer, stall, &waits, &changes, &realtime))) break;
      state.SetIterationTime(waits.worstMs() / 1e3);
      if (waits.worstMs() > worst.worstMs()) worst = waits;
    }
    // The plug-in's client closes on its own thread; the server must not stop under it.
    peer.AwaitOtherClientsGone();
  }
  server.Stop();
  state.SetLabel(std::to_string(state.range(0)) + " frames" + (stall ? ", server stalled 1.5 s" : ""));
  state.counters["event_worst_ms"] = worst.events.worst / 1e3;
  state.counters["event_p99_ms"] = worst.events.p99 / 1e3;
  state.counters["block_worst_ms"] = worst.blocks.worst / 1e3;
  state.counters["block_p99_ms"] = worst.blocks.p99 / 1e3;
  // The window's own call is a host thread's too.
  state.counters["window_pick_worst_ms"] = worst.window.worst / 1e3;
  state.counters["goal_worst_ms"] = kGoalMs;
  state.counters["fails_over_ms"] = kFailMs;
  state.counters["program_changes_at_instrument"] = changes;
  state.counters["rt"] = realtime ? 1 : 0;
  if (!ran) return state.SkipWithError("the instance did not come to rest on the instrument's ports");
  // A failed row shows no counters: the error names the figures.
  char figures[160];
  std::snprintf(figures, sizeof figures, "a host call waited past the bound: event call %.1f ms, block %.1f ms, window %.1f ms",
                worst.events.worst / 1e3, worst.blocks.worst / 1e3, worst.window.worst / 1e3);
  if (worst.worstMs() > kFailMs) state.SkipWithError(figures);
}
BENCHMARK(BM_HostCallsBesideWindowPicks)
    ->ArgsProduct({{256, 1024, 16384}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
}  // namespace

int main(int argc, char** argv) {
  InitializeBenchmarks(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  gTime.sampleRate = 48000.0;
  gTime.tempo = 120.0;
  gTime.flags = kVstTempoValid | kVstTransportPlaying;
  setenv("TARNIVEX_MIDI_API", "jack", 1);
  const int result = RunBenchmarksFailingOnErrors();
  benchmark::Shutdown();
  std::error_code error;
  if (const char* data = std::getenv("XDG_DATA_HOME")) std::filesystem::remove_all(data, error);
  return result;
}
