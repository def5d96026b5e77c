// Latency and throughput of SysEx dumps from the plug-in's direct out port
// to a JACK client on the other end (private server, dummy driver).
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "JackPeer.h"
#include "JackServer.h"
#include "MidiPorts.h"
#include "RecordingPlug.h"

namespace {
constexpr int kDumpSize = 392;
constexpr int kDumps = 100;

JackPeer* gPeer = nullptr;
RecordingPlug* gPlug = nullptr;

MidiBytes Dump(unsigned char tag) {
  MidiBytes dump(kDumpSize, tag & 0x7F);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  return dump;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// From the call of SendMidiSysex to the peer's process callback seeing the dump.
void BM_SysexDumpLatency(benchmark::State& state) {
  MidiBytes dump = Dump(1);
  for (auto _ : state) {
    gPeer->Clear();
    const auto start = std::chrono::steady_clock::now();
    gPlug->SendMidiSysex(dump.data(), kDumpSize);
    const std::vector<PeerEvent> events = gPeer->WaitForEvents(1);
    if (events.size() != 1 || events[0].bytes != dump) {
      state.SkipWithError("the dump did not arrive whole");
      break;
    }
    state.SetIterationTime(Seconds(events[0].arrival - start));
  }
}
BENCHMARK(BM_SysexDumpLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

// A hundred dumps back to back, until the last one has arrived.
void BM_HundredDumpsThroughput(benchmark::State& state) {
  std::vector<MidiBytes> dumps;
  for (int i = 0; i < kDumps; ++i) dumps.push_back(Dump(static_cast<unsigned char>(i)));
  for (auto _ : state) {
    gPeer->Clear();
    const auto start = std::chrono::steady_clock::now();
    for (MidiBytes& dump : dumps) gPlug->SendMidiSysex(dump.data(), kDumpSize);
    const std::vector<PeerEvent> events = gPeer->WaitForEvents(kDumps);
    if (events.size() != static_cast<size_t>(kDumps)) {
      state.SkipWithError("dumps were lost");
      break;
    }
    state.SetIterationTime(Seconds(events.back().arrival - start));
  }
  state.SetBytesProcessed(state.iterations() * kDumps * kDumpSize);
  state.counters["dumps/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kDumps),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HundredDumpsThroughput)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int Position(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}
}  // namespace

int main(int argc, char** argv) {
  InitializeBenchmarks(&argc, argv);
  JackServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "cannot start the JACK server: %s\n", server.Error().c_str());
    return 1;
  }
  setenv("TARNIVEX_MIDI_API", "jack", 1);
  auto peer = std::make_unique<JackPeer>();
  auto plug = std::make_unique<RecordingPlug>();
  // The process's client opens on its own thread: the list is read again
  // (as a menu opening does) until it has looked.
  int out = -1;
  for (int look = 0; look < 30 && out <= 0; ++look) out = Position(plug->refreshExternalMIDIOutNames(), peer->InPortName());
  if (out <= 0 || plug->setExternalMIDIOut(out, peer->InPortName().c_str()) != out) {
    std::fprintf(stderr, "cannot open the peer's port %s\n", peer->InPortName().c_str());
    return 1;
  }
  gPeer = peer.get();
  gPlug = plug.get();
  std::printf("JACK dummy driver: 48000 Hz, 256-frame periods (5.33 ms)\n");
  const int result = RunBenchmarksFailingOnErrors();
  benchmark::Shutdown();
  plug.reset();
  peer.reset();
  return result;
}
