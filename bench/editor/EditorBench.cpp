// What the editor core costs: one block of the host's callback with incoming
// MIDI on every part and a full outgoing queue (and the allocations it makes,
// which must be none), saving and restoring the long form of the project
// state, one edit from the change handler to the bytes at the instrument's
// JACK port, and the host's picks that waited for a job from the job's end
// to the instrument.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <memory>
#include <new>
#include <thread>

#include "../AudioThreadEvents.h"
#include "AnsweringInstrument.h"
#include "HostAudioThread.h"
#include "ControlAction.h"
#include "ControlLayer.h"
#include "IGraphicsLinux.h"
#include "DataFolder.h"
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"
#include "JackPeer.h"
#include "JackServer.h"
#include "MidiPorts.h"
#include "MidiSendThread.h"
#include "ParamIndex.h"
#include "PickArrivals.h"
#include "PlugWithLibrary.h"
#include "Tarnivex.h"

namespace {
// Allocations on the benchmark's own thread (the block's), not those of the
// plug-in's other threads running meanwhile.
thread_local bool gCounting = false;
thread_local long gAllocations = 0;
}  // namespace

void* operator new(size_t size) {
  if (gCounting) ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {
JackPeer* gPeer = nullptr;
Tarnivex* gPlug = nullptr;
VstTimeInfo gTime{};
std::atomic<long> gHostEvents{0};

VstIntPtr HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&gTime);
  if (opcode == audioMasterProcessEvents) gHostEvents += static_cast<VstEvents*>(ptr)->numEvents;
  if (opcode == audioMasterVersion) return 2400;
  return 0;
}

// 64 frames; 16 host notes, one per part, routed into the host's buffer, and
// 48 more queued messages spread over the block.
void BM_BlockWithMidiOnEveryPart(benchmark::State& state) {
  constexpr int kFrames = 64;
  gPlug->GetParam(kMIDIFilterToDAWBuffer)->Set(1);
  gPlug->OnParamChange(kMIDIFilterToDAWBuffer);
  gPlug->hostBufferOffset = kFrames;
  std::vector<double> a(kFrames), b(kFrames);
  double* channels[] = {a.data(), b.data()};
  gPlug->ProcessDoubleReplacing(channels, channels, kFrames);  // tempo and clock start once
  long allocations = 0;
  for (auto _ : state) {
    gAllocations = 0;
    gCounting = true;
    for (int p = 0; p < 16; ++p) {
      IMidiMsg note(p * 4, static_cast<uint8_t>(0x90 | p), 60, 100);
      gPlug->ProcessMidiMsg(&note, false);
    }
    for (int i = 0; i < 48; ++i) {
      IMidiMsg queued(i + 1, 0xB0, 1, static_cast<uint8_t>(i));
      gPlug->MIDIOutRoutingSwitch(&queued);
    }
    gPlug->ProcessDoubleReplacing(channels, channels, kFrames);
    gCounting = false;
    allocations += gAllocations;
  }
  state.counters["allocations/block"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.counters["events/block"] = static_cast<double>(gHostEvents) / static_cast<double>(state.iterations() + 1);
  gHostEvents = 0;
  gPlug->GetParam(kMIDIFilterDirectToHardware)->Set(1);
  gPlug->OnParamChange(kMIDIFilterDirectToHardware);
}
BENCHMARK(BM_BlockWithMidiOnEveryPart)->Unit(benchmark::kMicrosecond);

void BM_GetChunkLongForm(benchmark::State& state) {
  for (auto _ : state) {
    ByteChunk chunk;
    gPlug->SerializeState(&chunk);
    benchmark::DoNotOptimize(chunk.Size());
  }
}
BENCHMARK(BM_GetChunkLongForm)->Unit(benchmark::kMicrosecond);

// The restore reopens both ports by name and sends the project (job 0).
void BM_SetChunkLongForm(benchmark::State& state) {
  ByteChunk chunk;
  gPlug->SerializeState(&chunk);
  for (auto _ : state) benchmark::DoNotOptimize(gPlug->UnserializeState(&chunk, 0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * chunk.Size());
}
BENCHMARK(BM_SetChunkLongForm)->Unit(benchmark::kMicrosecond);

// Lets what the benchmarks before started run out: the device-ID search
// that opening the ports or the first block begins (it finds nobody here,
// so its pauses are let through at once) and the project send of a restore.
// Then the port is quiet and what arrives is the next benchmark's own.
void SettleInstrumentPort() {
  MIDIMessageManager& manager = *gPlug->midiMessageManager;
  manager.virtualPause = [](int) { return true; };
  for (int quiet = 0; quiet < 3;) {
    gPlug->midiSendThread->flush();
    while (manager.isThreadRunning(JobThread::kRequest)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    gPeer->Clear();
    quiet = gPeer->WaitForEvents(1, std::chrono::milliseconds(100)).empty() ? quiet + 1 : 0;
  }
  manager.virtualPause = nullptr;
  gPeer->Clear();
}

// An edit of a SysEx control: the plug-in's CPU time from the change
// handler until the message has left; it is then awaited at the port,
// where it must arrive whole (anything else there is counted, not taken
// for it).
void BM_EditToInstrumentCpuTime(benchmark::State& state) {
  SettleInstrumentPort();
  ControlAction action;
  action.actionType = ControlAction::kSysEx;
  for (int v = 0; v < 128; ++v) action.sysex.messages.push_back({0x3E, 0x10, 0, 0x20, 0, 0, 0x11, v});
  IParam* param = gPlug->GetParam(kFilter1Cutoff);
  param->InitInt("Cutoff", 0, 0, 127);
  param->SetControlAction(&action);
  int value = 0;
  long others = 0;
  for (auto _ : state) {
    gPeer->Clear();
    value = value % 127 + 1;  // never the same value twice running
    param->Set(value);
    const double start = ThreadCpuSeconds();
    gPlug->OnParamChange(kFilter1Cutoff);
    state.SetIterationTime(ThreadCpuSeconds() - start);
    const MidiBytes expected = {0xF0, 0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x11, static_cast<unsigned char>(value), 0xF7};
    bool arrived = false;
    std::vector<PeerEvent> events;
    for (size_t wanted = 1; !arrived && wanted < 64; ++wanted) {
      events = gPeer->WaitForEvents(wanted, std::chrono::seconds(2));
      if (events.size() < wanted) break;
      arrived = events[wanted - 1].bytes == expected;
    }
    if (!arrived) {
      state.SkipWithError("the edit did not arrive");
      break;
    }
    others += static_cast<long>(events.size()) - 1;
  }
  state.counters["other_messages"] = static_cast<double>(others);
  param->SetControlAction(nullptr);
}
BENCHMARK(BM_EditToInstrumentCpuTime)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);

// A bank file's bytes: 100 sounds named "Bench Sound".
std::vector<char> benchBank() {
  std::vector<char> bank(392 * 100);
  for (int e = 0; e < 100; ++e) {
    char* d = bank.data() + 392 * e;
    std::memset(d, 0x11, 392);
    const char head[] = {'\xF0', 0x3E, 0x10, 0x00, 0x10, 0x00, static_cast<char>(e)};
    std::memcpy(d, head, sizeof(head));
    std::memcpy(d + 370, "Bench Sound     Lead", 20);
    d[391] = '\xF7';
  }
  return bank;
}

// A data folder of its own for the start-up benchmarks: a library of 100
// sound banks and a settings file naming the peer's ports.
struct StartupFolder {
  std::string previous;
  explicit StartupFolder(bool withLibrary) {
    previous = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string root = std::filesystem::temp_directory_path() / "tarnivex-startup-bench";
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    const std::filesystem::path folder = getDataFolder();
    std::filesystem::create_directories(folder / "Patches");
    std::ofstream(folder / "Tarnivex Editor UI.txt", std::ios::binary)
        << "yellow\nnormal\nyes\n" << gPeer->InPortName() << "\n" << gPeer->OutPortName();
    if (!withLibrary || std::filesystem::exists(folder / "Patches" / "Bank 99.syx")) return;
    const std::vector<char> bank = benchBank();
    for (int b = 0; b < 100; ++b)
      std::ofstream(folder / "Patches" / ("Bank " + std::to_string(b) + ".syx"), std::ios::binary)
          .write(bank.data(), static_cast<std::streamsize>(bank.size()));
  }
  ~StartupFolder() {
    setenv("XDG_DATA_HOME", previous.c_str(), 1);
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }
};

// Constructor to the first block that has sent the device enquiry, with 100
// library banks; the block's 100 ms pause after the enquiry is included.
void BM_StartupToEnquiry(benchmark::State& state) {
  StartupFolder folder(true);
  std::vector<double> a(64), b(64);
  double* channels[] = {a.data(), b.data()};
  IPlugInstanceInfo info;
  info.mVSTHostCallback = HostCallback;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto plug = std::make_unique<Tarnivex>(info);
    plug->ProcessDoubleReplacing(channels, channels, 64);
    const bool sent = plug->initialisationRequested;
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!sent || plug->patchLibrarian->bankCount(kSoundList) != 100) {
      state.SkipWithError("no enquiry, or the library is not all there");
      break;
    }
  }
}
BENCHMARK(BM_StartupToEnquiry)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Closing while the continuous clock and a part send are running.
void BM_CloseWithJobsRunning(benchmark::State& state) {
  StartupFolder folder(false);
  IPlugInstanceInfo info;
  info.mVSTHostCallback = HostCallback;
  for (auto _ : state) {
    auto plug = std::make_unique<Tarnivex>(info);
    plug->GetParam(kSendMIDIClockInfo)->Set(1);
    plug->OnParamChange(kSendMIDIClockInfo);
    SenderJob clock;
    clock.jobCode = 16;
    clock.clockArgument = 120;
    plug->midiMessageManager->startJob(clock);
    plug->startPartDump(0, false, false);
    const auto start = std::chrono::steady_clock::now();
    plug.reset();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(BM_CloseWithJobsRunning)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// A flood from the instrument has moved every control of the page shown:
// the longest single drawing pass of an idle call (the time is that pass's
// CPU time),
// drawn as one union (range 0) or a sixteenth of the window at a time (1).
void BM_FloodLongestDrawPass(benchmark::State& state) {
  StartupFolder folder(false);
  IPlugInstanceInfo info;
  info.mVSTHostCallback = HostCallback;
  auto plug = std::make_unique<Tarnivex>(info);
  auto* gui = static_cast<IGraphicsLinux*>(plug->GetGUI());
  int parent = 0;
  if (!gui || !gui->OpenWindow(&parent)) {
    state.SkipWithError("no window");
    return;
  }
  if (state.range(0) == 0) gui->SetPassArea(0);
  std::vector<IControl*> controls;
  const auto walk = [&](const ControlLayer& layer, const auto& self) -> void {
    if (!layer.IsVisible()) return;
    for (const auto& c : layer.controls()) controls.push_back(c.get());
    for (const auto& sub : layer.subLayers()) self(*sub, self);
  };
  for (int i = 1; i < gui->NControls(); ++i) controls.push_back(gui->GetControl(i));
  for (int i = 0; i < gui->NLayers(); ++i) walk(*gui->GetLayer(i), walk);
  IRECT all(0, 0, gui->Width(), gui->Height());
  gui->Draw(&all);
  gui->Draw(&all);
  double passes = 0;
  for (auto _ : state) {
    for (IControl* c : controls)
      if (c->ParamIdx() >= 0 && !c->IsHidden()) c->SetValueFromHardware(c->GetValue() < 0.5 ? 0.9 : 0.1);
    double longest = 0;
    for (IRECT r; gui->IsDirty(&r); r = IRECT()) {
      // CPU time: the machine's other load is not the pass's cost.
      const double start = ThreadCpuSeconds();
      gui->Draw(&r);
      longest = std::max(longest, ThreadCpuSeconds() - start);
      ++passes;
    }
    state.SetIterationTime(longest);
  }
  state.counters["passes"] = benchmark::Counter(passes, benchmark::Counter::kAvgIterations);
  gui->CloseWindow();
}
BENCHMARK(BM_FloodLongestDrawPass)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
}  // namespace

namespace {
// The window's Refresh Folders over a library of 1,000 banks in 20 folders
// (range(0) 1: with one of them locked by another holder, so that the
// reading waits its two seconds for it) while the host's audio thread runs.
// Reported: the worst wait inside a block and inside an event call, the
// worst of each, and how long the refresh took. Goal: the waits under
// 100 us, as the block and the event call take no lock.
void BM_BlockWorstWaitDuringRefresh(benchmark::State& state) {
  const bool folderHeld = state.range(0) != 0;
  const std::string previous = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "tarnivex-refresh-bench";
  setenv("XDG_DATA_HOME", root.c_str(), 1);
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  const std::filesystem::path patches = std::filesystem::path(getDataFolder()) / "Patches";
  if (!std::filesystem::exists(patches / "Folder 19" / "Bank 999.syx")) {
    const std::vector<char> bank = benchBank();
    for (int b = 0; b < 1000; ++b) {
      const std::filesystem::path folder = patches / ("Folder " + std::to_string(b / 50));
      std::filesystem::create_directories(folder);
      std::ofstream(folder / ("Bank " + std::to_string(b) + ".syx"), std::ios::binary)
          .write(bank.data(), static_cast<std::streamsize>(bank.size()));
    }
  }
  double worstWait = 0.0, worstBlock = 0.0, worstEventWait = 0.0, worstEvent = 0.0, refreshMs = 0.0;
  bool realtime = false;
  for (auto _ : state) {
    auto plug = PlugWithLibrary(HostCallback);
    AEffect* effect = plug->GetAEffect();
    // flock: another open of the folder holds it against the reading's own.
    const int held = folderHeld ? ::open((patches / "Folder 7").c_str(), O_RDONLY | O_DIRECTORY) : -1;
    if (held >= 0) ::flock(held, LOCK_EX);
    HostAudioThread audio(effect);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = std::chrono::steady_clock::now();
    plug->refreshFolders();
    const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    audio.stop();
    if (held >= 0) ::close(held);
    if (!folderHeld && plug->patchLibrarian->bankCount(kSoundList) != 1000) {
      state.SkipWithError("the refresh did not list the 1,000 banks");
      break;
    }
    refreshMs = std::max(refreshMs, took);
    worstWait = std::max(worstWait, audio.worstWait());
    worstBlock = std::max(worstBlock, audio.worstBlock());
    worstEventWait = std::max(worstEventWait, audio.worstEventWait());
    worstEvent = std::max(worstEvent, audio.worstEvent());
    realtime = audio.realtime();
    state.SetIterationTime(worstWait / 1e6);
    plug.reset();
  }
  state.SetLabel(folderHeld ? "1,000 banks, a folder held" : "1,000 banks");
  state.counters["worst_wait_us"] = worstWait;
  state.counters["worst_block_us"] = worstBlock;
  state.counters["worst_event_wait_us"] = worstEventWait;
  state.counters["worst_event_us"] = worstEvent;
  state.counters["refresh_ms"] = refreshMs;
  state.counters["rt"] = realtime ? 1 : 0;
  setenv("XDG_DATA_HOME", previous.c_str(), 1);
  unsetenv("TARNIVEX_RESOURCE_DIR");
}
BENCHMARK(BM_BlockWorstWaitDuringRefresh)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(3);

// A bank file's bytes: 100 sounds "Sound <n>" from first on, in twelve
// categories taken in turn.
std::vector<char> categoryBank(int first) {
  static const char* const kCategories[] = {"Lead", "Bass", "Pad ", "Keys", "Arp ", "FX  ",
                                            "Perc", "Seq ", "Atmo", "Poly", "Mono", "Drum"};
  std::vector<char> bank(392 * 100);
  for (int e = 0; e < 100; ++e) {
    const int n = first + e;
    char* d = bank.data() + 392 * e;
    std::memset(d, 0x11, 392);
    const char head[] = {'\xF0', 0x3E, 0x10, 0x00, 0x10, 0x00, static_cast<char>(e)};
    std::memcpy(d, head, sizeof(head));
    std::string name = "Sound " + std::to_string(n);
    name.resize(16, ' ');
    std::memcpy(d + 370, name.data(), 16);
    std::memcpy(d + 386, kCategories[n % 12], 4);
    d[391] = '\xF7';
  }
  return bank;
}

// A library of banks bank files of categoryBank in folders of 50, in a data
// folder of its own, made once; XDG_DATA_HOME names it while one lives.
struct CategoryLibraryFolder {
  std::string previous;
  explicit CategoryLibraryFolder(int banks) {
    previous = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarnivex-categories-bench-" + std::to_string(banks));
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    const std::filesystem::path patches = std::filesystem::path(getDataFolder()) / "Patches";
    const std::string lastName = "Bank " + std::to_string(banks - 1) + ".syx";
    if (std::filesystem::exists(patches / ("Folder " + std::to_string((banks - 1) / 50)) / lastName)) return;
    for (int b = 0; b < banks; ++b) {
      const std::filesystem::path folder = patches / ("Folder " + std::to_string(b / 50));
      std::filesystem::create_directories(folder);
      const std::vector<char> bank = categoryBank(b * 100);
      std::ofstream(folder / ("Bank " + std::to_string(b) + ".syx"), std::ios::binary)
          .write(bank.data(), static_cast<std::streamsize>(bank.size()));
    }
  }
  ~CategoryLibraryFolder() {
    setenv("XDG_DATA_HOME", previous.c_str(), 1);
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }
};

void Press(Tarnivex& plug, int paramIdx, double value = 1.0) {
  plug.GetParam(paramIdx)->Set(value);
  plug.OnParamChange(paramIdx);
}

// The worst of each, and the window's time for the action, of the calls the
// host's audio thread makes while the window runs action.
struct ActionWaits {
  double eventWait = 0.0, event = 0.0, blockWait = 0.0, block = 0.0, windowMs = 0.0;
  bool realtime = false;
  void add(const ActionWaits& other) {
    eventWait = std::max(eventWait, other.eventWait);
    event = std::max(event, other.event);
    blockWait = std::max(blockWait, other.blockWait);
    block = std::max(block, other.block);
    windowMs = std::max(windowMs, other.windowMs);
    realtime = other.realtime;
  }
  void report(benchmark::State& state, const char* windowCounter) const {
    state.counters["worst_event_wait_us"] = eventWait;
    state.counters["worst_event_us"] = event;
    state.counters["worst_wait_us"] = blockWait;
    state.counters["worst_block_us"] = block;
    state.counters[windowCounter] = windowMs;
    state.counters["rt"] = realtime ? 1 : 0;
  }
};

template <typename Action>
ActionWaits WhileTheHostRuns(Tarnivex& plug, Action action) {
  HostAudioThread audio(plug.GetAEffect());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto start = std::chrono::steady_clock::now();
  action();
  ActionWaits waits;
  waits.windowMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  audio.stop();
  waits.eventWait = audio.worstEventWait();
  waits.event = audio.worstEvent();
  waits.blockWait = audio.worstWait();
  waits.block = audio.worstBlock();
  waits.realtime = audio.realtime();
  return waits;
}

// The idle call after a rename in a library of range(0) banks in folders of
// 50, while the host's audio thread runs (range(1) 1: a name search instead,
// as the search field starts it; 2: the category view picked after the
// rename). The idle call (the pick) builds the category banks again.
// Reported: the worst wait inside an event call and inside a block, the
// worst of each, and how long the idle call (the search, the pick) took; the
// time is the worst event call's. Goal: no event call or block over 1 ms.
void BM_EventWorstWaitDuringCategoryRebuild(benchmark::State& state) {
  const int banks = static_cast<int>(state.range(0));
  const bool search = state.range(1) == 1;
  const bool pick = state.range(1) == 2;
  const CategoryLibraryFolder folder(banks);
  auto plug = PlugWithLibrary(HostCallback);
  PatchLibrarian& library = *plug->patchLibrarian;
  if (library.bankCount(kSoundList) != banks) state.SkipWithError("the library does not list every bank");
  ActionWaits worst;
  int round = 0;
  for (auto _ : state) {
    ++round;
    if (!search) {
      // A rename of a sound in the upper pane's bank, as the rename field
      // commits it: the entry's name and its dump's, then the library marked
      // unsaved.
      if (auto bank = library.bankForEdit(kSoundList, library.upperBank)) {
        auto guard = library.lock();
        std::string name = "Renamed " + std::to_string(round);
        name.resize(16, ' ');
        LibrarianPatch& entry = bank->patches[static_cast<size_t>(round % 100)];
        entry.name = name;
        std::copy(name.begin(), name.end(), entry.dumps.at(0).bytes.begin() + 370);
      }
      plug->SetLibrarianStatusUnsaved(true);
    } else {
      plug->setParamDisplayText(kPatchSearchString, 0, round % 2 ? "Sound 4" : "Sound 12");
    }
    const ActionWaits waits = WhileTheHostRuns(*plug, [&] {
      if (search)
        plug->OnParamChange(kPatchSearchString);
      else if (pick)
        Press(*plug, kCategorySelection, 1);
      else
        plug->OnIdle();
    });
    if (pick) Press(*plug, kCategorySelection, 0);
    if (!search && plug->categoriesStale) {
      state.SkipWithError("the idle call left the categories to build");
      break;
    }
    worst.add(waits);
    state.SetIterationTime(waits.event / 1e6);
  }
  if (search && library.bankCount(kSearchList) == 0) state.SkipWithError("the search found nothing");
  plug.reset();
  state.SetLabel(std::to_string(banks) + (search ? " banks, a search" : pick ? " banks, the category view picked" : " banks, a rename"));
  worst.report(state, search ? "search_ms" : pick ? "pick_ms" : "idle_ms");
}
BENCHMARK(BM_EventWorstWaitDuringCategoryRebuild)
    ->Args({1000, 0})
    ->Args({5000, 0})
    ->Args({5000, 1})
    ->Args({5000, 2})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(5);

// Waits until no job has run for 30 ms: those the MIDI thread starts too,
// and the request a library send leaves to the block.
void AwaitRequestThread(Tarnivex& plug) {
  for (int quiet = 0; quiet < 30;) {
    if (plug.midiSendThread) plug.midiSendThread->flush();
    quiet = plug.midiMessageManager->isThreadRunning(JobThread::kRequest) ? 0 : quiet + 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// The instance's ports on the peer's; false when the peer's are not listed.
// The device-ID search that opening them starts finds nobody here: it is
// let run through at once instead of searching for seconds.
bool OpenPeerPorts(Tarnivex& plug) {
  const auto position = [](const std::vector<std::string>& names, const std::string& name) {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return static_cast<int>(i);
    return -1;
  };
  plug.midiMessageManager->virtualPause = [](int) { return true; };
  // The menus read the ports as they open; the process's client opens on
  // its own thread, so they are opened again until it has looked.
  int out = -1, in = -1;
  for (int look = 0; look < 30 && (out <= 0 || in <= 0); ++look) {
    plug.OnMidiDeviceMenu(false);
    plug.OnMidiDeviceMenu(true);
    out = position(plug.getExternalMIDIOutNames(), gPeer->InPortName());
    in = position(plug.getExternalMIDIInNames(), gPeer->OutPortName());
  }
  if (out > 0 && in > 0) {
    Press(plug, kDeviceOutSelection, out);
    Press(plug, kDeviceInSelection, in);
    AwaitRequestThread(plug);
  }
  plug.midiMessageManager->virtualPause = nullptr;
  return out > 0 && in > 0 && plug.midiIOConfigured;
}

// The search closed in a library of range(0) banks, its results shown
// (range(1) 0), or eight STEP LIBRARY steps of part 1 from the librarian
// page (1), each a step up sending the upper bank's next sound to the
// peer, while the host's audio thread runs. Reported: the worst wait inside
// an event call and inside a block, the worst of each, and the window's
// longest time for the close (the step); for the steps, also how many of
// them held an event call over 1 ms. The time is the worst event call's
// wall time, as above. Goal: none over 1 ms.
void BM_EventWorstWaitDuringSearchCloseAndLibraryStep(benchmark::State& state) {
  const int banks = static_cast<int>(state.range(0));
  const bool step = state.range(1) == 1;
  const CategoryLibraryFolder folder(banks);
  auto plug = PlugWithLibrary(HostCallback);
  if (plug->patchLibrarian->bankCount(kSoundList) != banks) state.SkipWithError("the library does not list every bank");
  if (step && !OpenPeerPorts(*plug)) state.SkipWithError("cannot open the peer's ports");
  if (step) {
    Press(*plug, kMainTab, 1);
    Press(*plug, kControlLibrary, 1);
  }
  ActionWaits worst;
  int heldSteps = 0, steps = 0;
  for (auto _ : state) {
    if (!step) {
      Press(*plug, kPatchSearch, 1);
      plug->setParamDisplayText(kPatchSearchString, 0, "Sound 12");
      plug->OnParamChange(kPatchSearchString);
      if (!plug->browse.searchActive || plug->patchLibrarian->bankCount(kSearchList) == 0) {
        state.SkipWithError("the search shows nothing");
        break;
      }
      const ActionWaits waits = WhileTheHostRuns(*plug, [&] { Press(*plug, kPatchSearch, 0); });
      if (plug->browse.searchActive) {
        state.SkipWithError("the search stayed open");
        break;
      }
      worst.add(waits);
      state.SetIterationTime(waits.event / 1e6);
      continue;
    }
    double iterationWorst = 0.0;
    for (int s = 0; s < 8; ++s) {
      // A step while the last one's send runs is refused.
      AwaitRequestThread(*plug);
      const int before = plug->GetParam(kMultiPartPatch)->Int();
      const ActionWaits waits = WhileTheHostRuns(*plug, [&] { Press(*plug, kPatchUp, 1); });
      // The part's program moves as the step's program change goes, after the
      // pick's own pauses (notes off, bank select): looked at until then.
      const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (plug->GetParam(kMultiPartPatch)->Int() == before && std::chrono::steady_clock::now() < bound)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (plug->GetParam(kMultiPartPatch)->Int() == before) {
        const std::string why = plug->paramNameDisplay ? plug->paramNameDisplay->GetText() + " / " + plug->paramValueDisplay->GetText() : "";
        state.SkipWithError(("the step did not move the part's program: " + why).c_str());
        break;
      }
      ++steps;
      heldSteps += waits.event > 1000.0 ? 1 : 0;
      iterationWorst = std::max(iterationWorst, waits.event);
      worst.add(waits);
    }
    state.SetIterationTime(iterationWorst / 1e6);
  }
  plug.reset();
  state.SetLabel(std::to_string(banks) + (step ? " banks, STEP LIBRARY steps" : " banks, the search closed"));
  worst.report(state, step ? "step_ms" : "close_ms");
  if (step) {
    state.counters["steps_over_1ms"] = heldSteps;
    state.counters["steps"] = steps;
  }
}
BENCHMARK(BM_EventWorstWaitDuringSearchCloseAndLibraryStep)
    ->Args({1000, 0})
    ->Args({5000, 0})
    ->Args({1000, 1})
    ->Args({5000, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(5);

// STEP LIBRARY on the LIBRARY page, the host's program changes let in: the
// host picks part 1 (bank select and program change on channel 1, in one
// block's event call, the audio thread running all along), which sends the
// upper bank's slot of that number. From the event call: the pick at the
// entry, its work starting on the part's lane, its first message let go
// (the part's notes off), and at the instrument's port the first message and
// the program change; median and worst over the rounds. The program change
// follows the pick's own pacing (notes off on channel 1 and 50 ms, the bank
// select's two halves and 25 ms after each). With range(0) above 0 the pick
// measured overtakes another of the part's, sent that many milliseconds
// before it: it waits for nothing of the older one but the instrument's own
// pacing of what went.
void BM_StepLibraryHostPick(benchmark::State& state) {
  using std::chrono::steady_clock;
  const int gapMs = static_cast<int>(state.range(0));
  const CategoryLibraryFolder folder(20);
  auto plug = PlugWithLibrary(HostCallback);
  if (!OpenPeerPorts(*plug)) state.SkipWithError("cannot open the peer's ports");
  Press(*plug, kMainTab, 1);
  Press(*plug, kControlLibrary, 1);
  Press(*plug, kMIDIFilterDAWPCPassThrough, 1);
  AwaitRequestThread(*plug);
  MIDIMessageManager& manager = *plug->midiMessageManager;
  struct Stamps {
    std::atomic<bool> armed{false};
    std::atomic<long> entry{-1}, lane{-1}, gate{-1};
    steady_clock::time_point from;
    long now() const { return std::chrono::duration_cast<std::chrono::microseconds>(steady_clock::now() - from).count(); }
    void mark(std::atomic<long>& at) {
      long none = -1;
      if (armed) at.compare_exchange_strong(none, now());
    }
  } stamps;
  struct Handover {
    std::atomic<bool> due{false}, given{false}, measured{true};
    std::vector<int> programs = std::vector<int>(1);
  } handover;
  HostPicks picks;
  manager.picks.onArrive = [&](const PickTicket& t) {
    if (t.slot() == 0) stamps.mark(stamps.entry);
  };
  manager.picks.onLetGo = [&](const PickTicket& t) {
    if (t.slot() == 0) stamps.mark(stamps.gate);
  };
  manager.jobObserver = [&](JobThread thread, const SenderJob& job) {
    if (thread == JobThread::kPartLane && job.jobCode == 3) stamps.mark(stamps.lane);
  };
  HostAudioThread audio(plug->GetAEffect(), [&](int) -> VstEvents* {
    if (!handover.due.exchange(false)) return nullptr;
    if (handover.measured) {
      stamps.from = steady_clock::now();
      stamps.armed = true;
    }
    handover.given = true;
    return picks.forParts(handover.programs, 0);
  });
  std::vector<double> entries, lanes, gates, firsts, changes;
  int round = 0, missing = 0;
  for (auto _ : state) {
    const int program = 10 + (round++ % 40) * 2;
    stamps.entry = stamps.lane = stamps.gate = -1;
    gPeer->Clear();
    const auto send = [&](int picked, bool measured) {
      stamps.armed = false;
      handover.measured = measured;
      handover.programs[0] = picked;
      handover.given = false;
      handover.due = true;
      while (!handover.given) std::this_thread::sleep_for(std::chrono::microseconds(100));
    };
    if (gapMs > 0) {
      send(program + 1, false);
      std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    send(program, true);
    PickArrivals arrivals(handover.programs, stamps.from);
    arrivals.await(*gPeer, std::chrono::seconds(5));
    const double change = arrivals.programChangeMs()[0], first = arrivals.firstMessageMs()[0];
    AwaitRequestThread(*plug);
    AwaitQuietPort(*gPeer, std::chrono::milliseconds(300), std::chrono::seconds(10));
    if (change < 0) {
      ++missing;
      continue;
    }
    state.SetIterationTime(change / 1e3);
    changes.push_back(change);
    firsts.push_back(first);
    for (auto [at, into] : {std::pair{&stamps.entry, &entries}, {&stamps.lane, &lanes}, {&stamps.gate, &gates}})
      if (*at >= 0) into->push_back(static_cast<double>(at->load()) / 1e3);
  }
  audio.stop();
  manager.picks.onArrive = nullptr;
  manager.picks.onLetGo = nullptr;
  manager.jobObserver = nullptr;
  plug.reset();
  if (missing > 0) state.SkipWithError("a pick's program change did not reach the instrument");
  const auto worstOf = [](const std::vector<double>& v) { return v.empty() ? -1.0 : *std::max_element(v.begin(), v.end()); };
  state.counters["entry_median_ms"] = MedianOf(entries);
  state.counters["lane_start_median_ms"] = MedianOf(lanes);
  state.counters["first_let_go_median_ms"] = MedianOf(gates);
  state.counters["first_msg_median_ms"] = MedianOf(firsts);
  state.counters["pc_median_ms"] = MedianOf(changes);
  state.counters["pc_worst_ms"] = worstOf(changes);
  state.counters["lane_start_worst_ms"] = worstOf(lanes);
}
BENCHMARK(BM_StepLibraryHostPick)->Arg(0)->Arg(30)->Arg(130)->Arg(230)->Arg(330)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// Waits, within bound, until the instance is at rest: no job runs or waits,
// no pick works or waits, and nothing has reached the instrument for 300 ms.
bool AwaitAtRest(Tarnivex& plug, std::chrono::seconds bound) {
  const MIDIMessageManager& manager = *plug.midiMessageManager;
  const auto end = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < end) {
    if (manager.atRest() && !manager.busyWithJob() &&
        AwaitQuietPort(*gPeer, std::chrono::milliseconds(300), std::chrono::milliseconds(300)) && manager.atRest())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// The host's picks that waited for a job holding the instrument: SEND MULTI
// (range(0) 0: the global block, the multi, then the sound of each part in
// use, with the pauses between them) or GET MULTI (1: each part's sound
// asked for and answered, then the multi), started from the window as a
// user does, in STEP SYNTH with parts 1-8 in use on channels 1-8 and the
// host's program changes let in; 300 ms into the job the host picks parts
// 1-8 in one block's event call (the host's audio thread runs blocks all
// along), and the picks wait. Measured from the job's end, the moment the
// picks' busy test turns false (the request thread idle, the editor's busy
// flags cleared): it is looked at about every 50 us and the last look that
// still saw the job is taken, so the figures err long by at most the
// longest gap between two looks (look_gap_worst_ms). Per round: the last
// part's program change at the instrument (the worst) and the last part's
// first message (the pick's notes off, the first of its bank select: the
// pick going). A program pick pauses 25 ms after each half of its bank
// select, so its program change comes 50 ms after its first message at the
// soonest. Over the rounds: the median and the worst of each, and the
// rounds in which the picks were seen waiting.
void BM_HostPicksAfterAJob(benchmark::State& state) {
  using std::chrono::steady_clock;
  const bool getMulti = state.range(0) == 1;
  constexpr int kParts = 8;
  const StartupFolder folder(false);
  AnsweringInstrument instrument(*gPeer);
  auto plug = PlugWithLibrary(HostCallback);
  MIDIMessageManager& manager = *plug->midiMessageManager;
  // Handed from the bench's thread to the audio thread's next block.
  struct Handover {
    std::atomic<bool> due{false}, given{false};
    steady_clock::time_point at;
    std::vector<int> programs = std::vector<int>(kParts);
  } handover;
  HostPicks picks;
  HostAudioThread audio(plug->GetAEffect(), [&](int) -> VstEvents* {
    if (!handover.due.exchange(false)) return nullptr;
    handover.at = steady_clock::now();
    handover.given = true;
    return picks.forParts(handover.programs, 0);
  });
  // The device enquiry the first block sends, answered.
  bool ready = AwaitAtRest(*plug, std::chrono::seconds(30)) && plug->midiIOConfigured;
  if (ready) {
    Press(*plug, kMIDIFilterDAWPCPassThrough, 1);
    Press(*plug, kGlobalRxProgramChange, 1);
    for (int p = kParts; p < 16; ++p) Press(*plug, kMultiPartStatus + p, 0);
    ready = AwaitAtRest(*plug, std::chrono::seconds(30));
    // The instrument holds the editor's multi, which GET MULTI then brings back.
    Press(*plug, kPushArrangement, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ready = ready && AwaitAtRest(*plug, std::chrono::seconds(30));
  }
  if (!ready) state.SkipWithError("the instance did not come to rest on the instrument's ports");
  std::vector<double> lastChanges, lastFirsts;
  double lookGap = 0.0;
  int round = 0, waitedRounds = 0, missing = 0;
  for (auto _ : state) {
    if (!ready) break;
    for (int p = 0; p < kParts; ++p) handover.programs[static_cast<size_t>(p)] = 8 * (1 + round % 11) + p;
    ++round;
    Press(*plug, getMulti ? kRequestTempData : kPushArrangement, 1);
    const auto started = steady_clock::now();
    while (!manager.busyWithJob() && steady_clock::now() - started < std::chrono::seconds(5))
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    if (!manager.busyWithJob()) {
      state.SkipWithError("the job did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    handover.given = false;
    handover.due = true;
    while (!handover.given) std::this_thread::sleep_for(std::chrono::microseconds(100));
    bool waited = false;
    auto lastBusy = steady_clock::now();
    for (;;) {
      const auto look = steady_clock::now();
      if (!manager.busyWithJob()) {
        lookGap = std::max(lookGap, std::chrono::duration<double, std::milli>(look - lastBusy).count());
        break;
      }
      waited = waited || manager.picks.anyWaiting();
      lastBusy = look;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    waitedRounds += waited ? 1 : 0;
    PickArrivals arrivals(handover.programs, lastBusy);
    arrivals.await(*gPeer, std::chrono::seconds(10));
    const double lastChange = PickArrivals::last(arrivals.programChangeMs());
    const double lastFirst = PickArrivals::last(arrivals.firstMessageMs());
    if (lastChange < 0) {
      ++missing;
    } else {
      lastChanges.push_back(lastChange);
      lastFirsts.push_back(lastFirst);
      state.SetIterationTime(lastChange / 1e3);
    }
    if (!AwaitAtRest(*plug, std::chrono::seconds(30))) {
      state.SkipWithError("the instance did not come to rest after the picks");
      break;
    }
  }
  audio.stop();
  plug.reset();
  state.SetLabel(getMulti ? "GET MULTI" : "SEND MULTI");
  const auto worstOf = [](const std::vector<double>& v) { return v.empty() ? -1.0 : *std::max_element(v.begin(), v.end()); };
  state.counters["last_pc_median_ms"] = MedianOf(lastChanges);
  state.counters["last_pc_worst_ms"] = worstOf(lastChanges);
  state.counters["last_pick_goes_median_ms"] = MedianOf(lastFirsts);
  state.counters["last_pick_goes_worst_ms"] = worstOf(lastFirsts);
  state.counters["look_gap_worst_ms"] = lookGap;
  state.counters["rounds_waited"] = waitedRounds;
  state.counters["rounds_missing_a_pc"] = missing;
}
BENCHMARK(BM_HostPicksAfterAJob)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
}  // namespace

int main(int argc, char** argv) {
  InitializeBenchmarks(&argc, argv);
  const std::string data = std::filesystem::temp_directory_path() / "tarnivex-editor-bench";
  std::filesystem::create_directories(data);
  setenv("XDG_DATA_HOME", data.c_str(), 1);  // no settings file, no debug log
  JackServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "cannot start the JACK server: %s\n", server.Error().c_str());
    return 1;
  }
  setenv("TARNIVEX_MIDI_API", "jack", 1);
  auto peer = std::make_unique<JackPeer>();
  IPlugInstanceInfo info;
  info.mVSTHostCallback = HostCallback;
  gTime.tempo = 120.0;
  gTime.flags = kVstTempoValid | kVstTransportPlaying;
  auto plug = std::make_unique<Tarnivex>(info);
  plug->sleepFor = [](int) {};
  gPeer = peer.get();
  if (!OpenPeerPorts(*plug)) {
    std::fprintf(stderr, "cannot open the peer's ports\n");
    return 1;
  }
  peer->Clear();
  gPlug = plug.get();
  const int result = RunBenchmarksFailingOnErrors();
  benchmark::Shutdown();
  plug.reset();
  peer->AwaitOtherClientsGone();  // the plug-in's client closes on its own thread
  peer.reset();
  return result;
}
