// What the plug-in costs the threads of a host that loads it as a DAW does:
// the built plug-in through its entry point, on a private JACK server (dummy
// driver) with a peer client as the instrument's ports.
// - setChunk of the long form on the host's thread, with 0 and 16 active parts,
//   with no editor and with the editor open (on a private Xvfb);
// - a project of 8 instances: create and setChunk each;
// - the worst block (64 frames, about 3,000 host MIDI events a second sent on
//   to the instrument), the first block included;
// - host MIDI in bursts of 32 events: effProcessEvents per burst and the
//   worst block with one, on a thread at real-time priority where allowed;
// - the worst block and its worst wait, and the host's event call's beside
//   it, while the instrument floods the plug-in's input with parameter
//   changes (or with changes the editor refreshes its page for) and the
//   editor's idle calls come, against the same without the flood, with the
//   machine's own worst for a fixed stretch of work beside them;
// - the longest block and event call as a library of 1,000 banks arrives
//   and the editor's idle call lists it;
// - the page faults and allocations of a new thread's first calls;
// - create and close of the first instance in a process (a process of its
//   own each time) and of further ones, with and without ports; the two
//   together, as a host's plug-in scan does them;
// - resident memory of 1, 8 and 32 instances (processes of their own), and
//   what the process keeps once they are all closed;
// - the CPU and wake-ups of an instance with its editor open, idle, during
//   and after a project restore's send, against none;
// - the first editor frame of a process (open and the first effEditIdle, on
//   a private Xvfb), the editor opened at once after create or later;
// - eight host picks (bank select and program change) for parts 1-8 in one
//   block at rest: from the event call to each part's program change at
//   the instrument;
// - the event call's CPU time with four host picks in every block.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <ctime>
#include <vector>

#include "../AudioThreadEvents.h"
#include "AnsweringInstrument.h"
#include "HostAudioThread.h"
#include "HostPickProject.h"
#include "HostWindow.h"
#include "JackPeer.h"
#include "JackServer.h"
#include "ParamIndex.h"
#include "PickArrivals.h"
#include "SimulatedInstrument.h"
#include "SoundDumpLayout.h"
#include "TestHost.h"
#include "XvfbServer.h"

extern char** environ;

// The allocations one thread makes, counted by the process's malloc, which
// the plug-in's and the system's code (glibc giving a thread the
// thread-local block of a module loaded with dlopen) call alike. The
// sanitizers bring an allocator of their own: nothing is counted there.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define TARNIVEX_BENCH_COUNTS_ALLOCATIONS 1
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}
namespace {
std::atomic<bool> gCounting{false};
std::atomic<pthread_t> gCountedThread{};
std::atomic<long> gCountedAllocations{0};
void countAllocation() {
  // Read before the thread's id: the process's first allocations come
  // before its threads are set up.
  if (gCounting.load(std::memory_order_relaxed) && pthread_equal(gCountedThread.load(), pthread_self()))
    ++gCountedAllocations;
}
}  // namespace
extern "C" void* malloc(size_t size) noexcept {
  countAllocation();
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) noexcept {
  countAllocation();
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) noexcept {
  countAllocation();
  return __libc_realloc(block, size);
}
extern "C" void free(void* block) noexcept { __libc_free(block); }
#endif

namespace {
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kFrames = 64;
constexpr double kSampleRate = 48000.0;
constexpr int kPatchesBankBytes = 392 * 100;
constexpr int kMaxEvents = 8;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// ---- A host as small as can be: the entry point, the time, nothing recorded.
VstTimeInfo gTime{};
VstIntPtr HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&gTime);
  return 0;
}

class Plugin {
 public:
  // TARNIVEX_BENCH_PLUGIN names another plug-in to measure the same way (an anchor).
  Plugin()
      : mLibrary(dlopen(std::getenv("TARNIVEX_BENCH_PLUGIN") && *std::getenv("TARNIVEX_BENCH_PLUGIN") ? std::getenv("TARNIVEX_BENCH_PLUGIN")
                                                              : TestHost::DefaultPluginPath().c_str(),
                        RTLD_NOW | RTLD_LOCAL)) {
    if (mLibrary) mEntry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(mLibrary, "VSTPluginMain"));
    // Older plug-ins export the entry point as "main" only.
    if (mLibrary && !mEntry) mEntry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(mLibrary, "main"));
  }
  ~Plugin() {
    if (mLibrary) dlclose(mLibrary);
  }
  AEffect* create() const {
    AEffect* effect = mEntry ? mEntry(HostCallback) : nullptr;
    if (effect) effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    return effect;
  }
  // Created and switched on at the benchmarks' rate and block size.
  AEffect* createRunning() const {
    AEffect* effect = create();
    if (!effect) return nullptr;
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    effect->dispatcher(effect, effSetBlockSize, 0, kFrames, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    return effect;
  }
  static void close(AEffect* effect) {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }

 private:
  void* mLibrary;
  AEffect* (*mEntry)(audioMasterCallback) = nullptr;
};

// One block, in doubles where the plug-in takes them, else in floats (an
// anchor may offer only those).
struct Block {
  std::vector<double> in = std::vector<double>(kFrames), out = std::vector<double>(kFrames);
  std::vector<float> inF = std::vector<float>(kFrames), outF = std::vector<float>(kFrames);
  double* inputs[2] = {in.data(), in.data()};
  double* outputs[2] = {out.data(), out.data()};
  float* inputsF[2] = {inF.data(), inF.data()};
  float* outputsF[2] = {outF.data(), outF.data()};
  void run(AEffect* effect) {
    if ((effect->flags & effFlagsCanDoubleReplacing) && effect->processDoubleReplacing)
      effect->processDoubleReplacing(effect, inputs, outputs, kFrames);
    else
      effect->processReplacing(effect, inputsF, outputsF, kFrames);
  }
};

// ---- Data folders: none (no settings, no library), ports (the peer's
// ports), library (1,000 banks in 20 folders, no ports).
std::string gFolders;
JackPeer* gPeer = nullptr;

std::string folderOf(const std::string& variant) { return gFolders + "/" + variant; }

void writeBanks(const fs::path& patches, int count) {
  fs::create_directories(patches);
  std::vector<char> bank(kPatchesBankBytes);
  for (int e = 0; e < 100; ++e) {
    char* d = bank.data() + 392 * e;
    std::memset(d, 0x11, 392);
    const char head[] = {'\xF0', 0x3E, 0x10, 0x00, 0x10, 0x00, static_cast<char>(e)};
    std::memcpy(d, head, sizeof head);
    std::memcpy(d + 370, "Bench Sound     Lead", 20);
    d[391] = '\xF7';
  }
  for (int b = 0; b < count; ++b)
    std::ofstream(patches / ("Folder " + std::to_string(b / 50)) / ("Bank " + std::to_string(b) + ".syx"),
                  std::ios::binary)
        .write(bank.data(), static_cast<std::streamsize>(bank.size()));
}

void makeFolders() {
  const fs::path data = fs::path(folderOf("ports")) / "Kelmscroft" / "Zorozov Tarnivex Editor";
  fs::create_directories(data / "Patches");
  std::ofstream(data / "Tarnivex Editor UI.txt", std::ios::binary)
      << "yellow\nnormal\nyes\n" << gPeer->InPortName() << "\n" << gPeer->OutPortName();
  const fs::path library = fs::path(folderOf("library")) / "Kelmscroft" / "Zorozov Tarnivex Editor" / "Patches";
  for (int b = 0; b < 20; ++b) fs::create_directories(library / ("Folder " + std::to_string(b)));
  writeBanks(library, 1000);
  fs::create_directories(fs::path(folderOf("none")) / "Kelmscroft" / "Zorozov Tarnivex Editor");
}

// Chooses the data folder and, for "none" and "library", no MIDI system.
// The private server's name is kept apart for the children: the one they
// are started with is whichever variant the parent chose last.
void useVariant(const std::string& variant) {
  setenv("XDG_DATA_HOME", folderOf(variant).c_str(), 1);
  const char* server = std::getenv("TARNIVEX_BENCH_JACK_SERVER");
  setenv("JACK_DEFAULT_SERVER", variant == "ports" && server ? server : "tarnivex-bench-absent", 1);
}

long rssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// ---- Children: one process per first instance, memory count or idle run.
double cpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// count instances open and left alone: the share of a core the process
// uses, and how often its threads wake (voluntary context switches) a second.
int idleMain(const Plugin& plugin, int count) {
  std::vector<AEffect*> effects;
  for (int i = 0; i < count; ++i) effects.push_back(plugin.create());
  std::this_thread::sleep_for(std::chrono::seconds(1));  // ports open, start-up sends done
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  getrusage(RUSAGE_SELF, &after);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("\nRESULT %f %f\n", 100.0 * (cpuSeconds(after) - cpuSeconds(before)) / seconds,
              static_cast<double>(after.ru_nvcsw - before.ru_nvcsw) / seconds);
  std::fflush(stdout);
  for (AEffect* effect : effects) Plugin::close(effect);
  return 0;
}

// The process's threads at one moment: CPU time (ticks) and context
// switches, by thread id, with each thread's name.
struct ThreadTally {
  std::string name;
  long ticks = 0, voluntary = 0, involuntary = 0;
};
std::vector<std::pair<int, ThreadTally>> threadTallies() {
  std::vector<std::pair<int, ThreadTally>> tallies;
  std::error_code error;
  for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task", error)) {
    ThreadTally tally;
    std::getline(std::ifstream(task.path() / "comm"), tally.name);
    std::string stat;
    std::getline(std::ifstream(task.path() / "stat"), stat);
    // utime and stime are the 14th and 15th fields, counted after the name's ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    unsigned long utime = 0, stime = 0;
    if (std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                    &stime) == 2)
      tally.ticks = static_cast<long>(utime + stime);
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) tally.voluntary = std::atol(line.c_str() + 24);
      if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) tally.involuntary = std::atol(line.c_str() + 27);
    }
    tallies.emplace_back(std::atoi(task.path().filename().c_str()), tally);
  }
  return tallies;
}

// Which threads ran between two tallies, on standard error: the busiest first.
void printThreadTallies(const std::vector<std::pair<int, ThreadTally>>& before,
                        const std::vector<std::pair<int, ThreadTally>>& after, double seconds) {
  std::vector<std::pair<double, std::string>> lines;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& [id, late] : after) {
    ThreadTally early;
    for (const auto& [other, tally] : before)
      if (other == id) early = tally;
    const double wakes = static_cast<double>(late.voluntary + late.involuntary - early.voluntary - early.involuntary) / seconds;
    char line[160];
    std::snprintf(line, sizeof line, "  %-16s %6d  cpu %5.2f %%  wakes %7.1f/s", late.name.c_str(), id,
                  100.0 * static_cast<double>(late.ticks - early.ticks) / tick / seconds, wakes);
    lines.emplace_back(wakes, line);
  }
  std::sort(lines.rbegin(), lines.rend());
  for (const auto& [wakes, line] : lines) std::fprintf(stderr, "%s\n", line.c_str());
}

// An instance with its editor open on the instrument's ports, its host
// calling effEditIdle every 25 ms: the share of a core the process uses over
// five seconds, and its threads' wake-ups a second (voluntary and involuntary
// context switches). when: 0, no restore; 1, from a second after a project
// restore (its own state got and set again), while the project goes to the
// instrument part by part; 2, from twelve seconds after it, once it has gone;
// 3, as 2 with no JACK server running (the project names ports that are not
// there).
// TARNIVEX_BENCH_THREADS=1 lists the threads on standard error.
int restoredIdleMain(const Plugin& plugin, int when) {
  if (when == 3) setenv("JACK_DEFAULT_SERVER", "tarnivex-bench-absent", 1);
  HostWindow host(0, 0, 1520, 780, 0xD6D3CC);
  AEffect* effect = plugin.create();
  if (!effect) return 1;
  effect->dispatcher(effect, effEditOpen, 0, 0, host.Handle(), 0.0f);
  const auto idleFor = [&](std::chrono::milliseconds span) {
    const auto end = Clock::now() + span;
    while (Clock::now() < end) {
      effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  };
  idleFor(std::chrono::seconds(2));  // ports open, start-up sends done, first frames drawn
  if (when > 0) {
    std::vector<uint8_t> chunk = getChunk(effect);
    if (chunk.empty() || !setChunk(effect, chunk)) return 1;
  }
  idleFor(std::chrono::seconds(when >= 2 ? 12 : 1));
  const auto threadsBefore = threadTallies();
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = Clock::now();
  idleFor(std::chrono::seconds(5));
  getrusage(RUSAGE_SELF, &after);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (std::getenv("TARNIVEX_BENCH_THREADS")) printThreadTallies(threadsBefore, threadTallies(), seconds);
  std::printf("\nRESULT %f %f\n", 100.0 * (cpuSeconds(after) - cpuSeconds(before)) / seconds,
              static_cast<double>(after.ru_nvcsw + after.ru_nivcsw - before.ru_nvcsw - before.ru_nivcsw) / seconds);
  std::fflush(stdout);
  effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  Plugin::close(effect);
  return 0;
}

int childMain(const std::string& what, const std::string& variant, int count) {
  useVariant(variant);
  const long before = rssKb();
  Plugin plugin;
  if (what == "first") {
    const auto start = Clock::now();
    AEffect* effect = plugin.create();
    const double create = msSince(start);
    const auto closing = Clock::now();
    Plugin::close(effect);
    std::printf("\nRESULT %f %f\n", create, msSince(closing));
    return effect ? 0 : 1;
  }
  if (what == "idle") return idleMain(plugin, count);
  if (what == "restored") return restoredIdleMain(plugin, count);
  if (what == "frame") {
    // count: milliseconds between create and the editor's open.
    HostWindow host(0, 0, 1520, 780, 0xD6D3CC);
    AEffect* effect = plugin.create();
    std::this_thread::sleep_for(std::chrono::milliseconds(count));
    const auto opening = Clock::now();
    effect->dispatcher(effect, effEditOpen, 0, 0, host.Handle(), 0.0f);
    const double open = msSince(opening);
    const auto idle = Clock::now();
    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    const double frame = open + msSince(idle);
    // Then idle with the editor open, as a host calls it (every 25 ms): the
    // process's CPU time against the wall clock.
    const auto cpuNow = [] {
      timespec t{};
      clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
      return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    };
    const double cpuStart = cpuNow();
    const auto wallStart = Clock::now();
    for (int i = 0; i < 120; ++i) {
      effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::printf("\nRESULT %f %f %f\n", frame, open, 100.0 * (cpuNow() - cpuStart) / msSince(wallStart));
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    Plugin::close(effect);
    return 0;
  }
  std::vector<AEffect*> effects;
  long afterFirst = 0;
  for (int i = 0; i < count; ++i) {
    effects.push_back(plugin.create());
    if (i == 0) afterFirst = rssKb();
  }
  const long after = rssKb();
  for (AEffect* effect : effects) Plugin::close(effect);
  // The JACK clients close on a thread of their own.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  std::printf("\nRESULT %f %f %f\n", (after - before) / 1024.0,
              count > 1 ? (after - afterFirst) / 1024.0 / (count - 1) : 0.0, (rssKb() - before) / 1024.0);
  return 0;
}

// Runs this program as a child; the two numbers it prints.
bool runChild(const std::string& what, const std::string& variant, int count, double* a, double* b,
              double* c = nullptr) {
  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string self = fs::read_symlink("/proc/self/exe");
  std::string counted = std::to_string(count);
  std::string flag = "--child";
  char* argv[] = {self.data(), flag.data(), const_cast<char*>(what.c_str()), const_cast<char*>(variant.c_str()),
                  counted.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  // The plug-in writes to standard output too.
  const size_t at = text.rfind("RESULT ");
  double unused = 0.0;
  return at != std::string::npos && std::sscanf(text.c_str() + at, "RESULT %lf %lf %lf", a, b, c ? c : &unused) >= 2;
}

const char* kVariants[] = {"none", "ports", "library"};

void BM_FirstInstanceCreate(benchmark::State& state) {
  const std::string variant = kVariants[state.range(0)];
  state.SetLabel(variant);
  double closeMs = 0.0;
  for (auto _ : state) {
    double create = 0.0, close = 0.0;
    if (!runChild("first", variant, 1, &create, &close)) {
      state.SkipWithError("the child process failed");
      return;
    }
    state.SetIterationTime(create / 1000.0);
    closeMs += close;
  }
  state.counters["close_ms"] = closeMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FirstInstanceCreate)->DenseRange(0, 2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A host's plug-in scan: the first instance of a process created and closed
// at once, no editor; the host's time for both.
void BM_ScanCreateAndClose(benchmark::State& state) {
  for (auto _ : state) {
    double create = 0.0, close = 0.0;
    if (!runChild("first", "none", 1, &create, &close)) return state.SkipWithError("the child process failed");
    state.SetIterationTime((create + close) / 1000.0);
  }
}
BENCHMARK(BM_ScanCreateAndClose)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FurtherInstanceCreate(benchmark::State& state) {
  const std::string variant = kVariants[state.range(0)];
  state.SetLabel(variant);
  useVariant(variant);
  Plugin plugin;
  AEffect* first = plugin.create();
  double closeMs = 0.0;
  for (auto _ : state) {
    const auto start = Clock::now();
    AEffect* effect = plugin.create();
    state.SetIterationTime(msSince(start) / 1000.0);
    const auto closing = Clock::now();
    Plugin::close(effect);
    closeMs += msSince(closing);
  }
  Plugin::close(first);
  state.counters["close_ms"] = closeMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FurtherInstanceCreate)->DenseRange(0, 2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The project of an instance whose ports are the peer's, with 0 or 16 parts
// active.
std::vector<uint8_t> projectWithParts(AEffect* effect, int activeParts) {
  std::vector<uint8_t> chunk = getChunk(effect);
  for (int p = 0; p < 16; ++p) setSavedValue(chunk, kMultiPartStatus + p, p < activeParts ? 1.0 : 0.0);
  return chunk;
}

// range(1): 1 with the editor open (and drawn once) on the start page.
void BM_SetChunkLongForm(benchmark::State& state) {
  const bool editor = state.range(1) != 0;
  if (editor && !std::getenv("DISPLAY")) return state.SkipWithError("no X server");
  useVariant("ports");
  Plugin plugin;
  AEffect* effect = plugin.create();
  std::unique_ptr<HostWindow> host;
  if (editor) {
    host = std::make_unique<HostWindow>(0, 0, 1520, 780, 0xD6D3CC);
    effect->dispatcher(effect, effEditOpen, 0, 0, host->Handle(), 0.0f);
    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
  }
  std::vector<uint8_t> chunk = projectWithParts(effect, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!setChunk(effect, chunk)) state.SkipWithError("setChunk refused the project");
    state.SetIterationTime(msSince(start) / 1000.0);
    // The host's idle calls draw what changed, between the restores.
    if (editor) effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
  }
  state.SetLabel(std::to_string(state.range(0)) + " active parts" + (editor ? ", editor open" : ""));
  if (editor) effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  Plugin::close(effect);
}
BENCHMARK(BM_SetChunkLongForm)->Args({0, 0})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SetChunkLongForm)->Args({16, 0})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SetChunkLongForm)->Args({16, 1})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Eight instances of a project come up: each is created and given its state.
void BM_ProjectOfEightLoads(benchmark::State& state) {
  useVariant("ports");
  Plugin plugin;
  std::vector<uint8_t> project;
  {
    AEffect* effect = plugin.create();
    project = projectWithParts(effect, 1);
    Plugin::close(effect);
  }
  double setChunkMs = 0.0;
  for (auto _ : state) {
    std::vector<AEffect*> effects;
    double chunks = 0.0;
    const auto start = Clock::now();
    for (int i = 0; i < 8; ++i) {
      effects.push_back(plugin.create());
      std::vector<uint8_t> copy = project;
      const auto restoring = Clock::now();
      setChunk(effects.back(), copy);
      chunks += msSince(restoring);
    }
    state.SetIterationTime(msSince(start) / 1000.0);
    setChunkMs += chunks;
    for (AEffect* effect : effects) Plugin::close(effect);
  }
  state.counters["setChunk_ms_all_8"] = setChunkMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ProjectOfEightLoads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// Four seconds of blocks at 48 kHz, paced as an audio thread is, with host
// notes (3,000 a second) sent on to the instrument; the first block, the one
// that sends the device enquiry, included.
void BM_BlockWorstCaseWithHostMidi(benchmark::State& state) {
  useVariant("ports");
  Plugin plugin;
  Block block;
  constexpr int kBlocks = static_cast<int>(4 * kSampleRate / kFrames);
  constexpr double kEventsPerBlock = 3000.0 * kFrames / kSampleRate;
  const auto period = std::chrono::nanoseconds(static_cast<long>(1e9 * kFrames / kSampleRate));
  double worst = 0.0, first = 0.0, p99 = 0.0;
  for (auto _ : state) {
    AEffect* effect = plugin.createRunning();
    if (!effect) return state.SkipWithError("the plug-in did not load");
    std::vector<double> times;
    times.reserve(kBlocks);
    VstMidiEvent notes[kMaxEvents]{};
    // VstEvents with room for more than its two declared pointers.
    struct {
      VstInt32 numEvents;
      VstIntPtr reserved;
      VstEvent* events[kMaxEvents];
    } events{};
    double owed = 0.0;
    auto due = Clock::now();
    for (int b = 0; b < kBlocks; ++b) {
      owed += kEventsPerBlock;
      const int count = std::min(kMaxEvents, static_cast<int>(owed));
      owed -= count;
      for (int e = 0; e < count; ++e) {
        VstMidiEvent& note = notes[e];
        note.type = kVstMidiType;
        note.byteSize = sizeof note;
        note.deltaFrames = e * (kFrames / kMaxEvents);
        note.midiData[0] = static_cast<char>((b + e) % 2 ? 0x90 : 0x80);
        note.midiData[1] = static_cast<char>(36 + (b + e) % 48);
        note.midiData[2] = 100;
      }
      events.numEvents = count;
      for (int e = 0; e < count; ++e) events.events[e] = reinterpret_cast<VstEvent*>(&notes[e]);
      const auto start = Clock::now();
      if (count) effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
      block.run(effect);
      times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      due += period;
      std::this_thread::sleep_until(due);
    }
    first = times.front();
    worst = *std::max_element(times.begin(), times.end());
    std::sort(times.begin(), times.end());
    p99 = times[times.size() * 99 / 100];
    state.SetIterationTime(worst / 1e6);
    Plugin::close(effect);
  }
  state.counters["first_us"] = first;
  state.counters["p99_us"] = p99;
  state.counters["worst_us"] = worst;
}
BENCHMARK(BM_BlockWorstCaseWithHostMidi)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(1);

// Host MIDI in bursts of 32 events before a block, as a DAW's audio thread
// hands a sequencer's chords and controller runs on, at real-time priority
// where the system grants it (rt 1): the effProcessEvents call per burst
// (median and 99th percentile) and the worst block with its burst, over eight
// seconds of 64-frame blocks at 48 kHz with a burst every 32nd block (750
// events a second, sent on to the instrument's port: less than a MIDI cable
// carries, so the queue to the MIDI thread never fills and nothing is lost).
// Blocks run until the plug-in has found the instrument: the peer answers
// its device enquiry as the instrument does (a plug-in still searching holds
// the host's notes back). True once it answered; the peer is then cleared.
bool FindTheInstrument(AEffect* effect) {
  SimulatedInstrument instrument(0);
  Block block;
  bool answered = false;
  size_t seen = 0;
  const auto start = Clock::now();
  auto answeredAt = start;
  while (msSince(start) < 5000 && (!answered || msSince(answeredAt) < 1000)) {
    block.run(effect);
    const std::vector<PeerEvent> events = gPeer->WaitForEvents(seen + 1, std::chrono::milliseconds(2));
    for (; seen < events.size(); ++seen)
      for (const SimBytes& reply : instrument.receive(events[seen].bytes)) {
        gPeer->Send(reply);
        if (!answered) answeredAt = Clock::now();
        answered = true;
      }
  }
  gPeer->Clear();
  return answered;
}

void BM_HostMidiBurst(benchmark::State& state) {
  constexpr int kBurst = 32;
  constexpr int kEvery = 32;
  constexpr int kBlocks = static_cast<int>(8 * kSampleRate / kFrames);
  useVariant("ports");
  Plugin plugin;
  double median = 0.0, p99 = 0.0, worst = 0.0;
  bool realtime = false;
  for (auto _ : state) {
    AEffect* effect = plugin.createRunning();
    if (!effect) return state.SkipWithError("the plug-in did not load");
    const bool found = FindTheInstrument(effect);
    std::vector<double> bursts, blocks;
    long sent = 0;
    std::thread audio([&] {
      realtime = RaiseToRealTime();
      Block block;
      VstMidiEvent notes[kBurst]{};
      struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[kBurst];
      } events{};
      const auto period = std::chrono::nanoseconds(static_cast<long>(1e9 * kFrames / kSampleRate));
      auto due = Clock::now();
      for (int b = 0; b < kBlocks; ++b) {
        const bool burst = b % kEvery == 0;
        const auto start = Clock::now();
        if (burst) {
          for (int e = 0; e < kBurst; ++e) {
            VstMidiEvent& note = notes[e];
            note.type = kVstMidiType;
            note.byteSize = sizeof note;
            note.deltaFrames = e * kFrames / kBurst;
            note.midiData[0] = static_cast<char>((b / kEvery) % 2 ? 0x80 : 0x90);
            note.midiData[1] = static_cast<char>(36 + e);
            note.midiData[2] = 100;
            events.events[e] = reinterpret_cast<VstEvent*>(&note);
          }
          events.numEvents = kBurst;
          effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
          sent += kBurst;
          bursts.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        block.run(effect);
        if (burst) blocks.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        due += period;
        std::this_thread::sleep_until(due);
      }
    });
    audio.join();
    // What reached the instrument's port of the notes sent (an anchor sends none).
    size_t arrived = 0;
    for (const PeerEvent& event : gPeer->WaitForEvents(static_cast<size_t>(sent), std::chrono::seconds(3)))
      arrived += event.bytes.size() == 3 && (event.bytes[0] & 0xE0) == 0x80;
    state.counters["notes_arrived_pct"] = sent ? 100.0 * static_cast<double>(arrived) / static_cast<double>(sent) : 0.0;
    state.counters["instrument_found"] = found ? 1 : 0;
    Plugin::close(effect);
    std::sort(bursts.begin(), bursts.end());
    median = bursts[bursts.size() / 2];
    p99 = bursts[bursts.size() * 99 / 100];
    worst = *std::max_element(blocks.begin(), blocks.end());
    state.SetIterationTime(median / 1e6);
  }
  state.counters["burst_median_us"] = median;
  state.counters["burst_p99_us"] = p99;
  state.counters["worst_block_us"] = worst;
  state.counters["rt"] = realtime ? 1 : 0;
}
BENCHMARK(BM_HostMidiBurst)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(1);

// The instrument floods the plug-in's input with parameter changes (a
// knob's sweep as 10 bytes each, 10,000 a second, range(0) 1), or with
// changes the editor follows with a refresh of the page (the shown part's
// oscillator shape, 1,000 a second, range(0) 2), or sends nothing (0),
// while the host's GUI thread calls effEditIdle every 25 ms (each call asks
// whether the saved state changed, and draws an editor open on a private
// Xvfb with range(1) 1) and the audio thread runs eight seconds of 64-frame
// blocks at 48 kHz, at real-time priority where the system grants it, each
// block after an effProcessEvents with a controller and a note for the part.
// Reported: the worst block, the 99th percentile, and the worst wait inside
// a block (its wall time less its thread's CPU time: the time it slept on
// the plug-in's lock, or was not given a core) and the most CPU time a block
// took; the same for the event call; the parameter changes sent; and the
// most CPU time a fixed stretch of work took beside them (fixedWork).
double threadCpuUs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Where a sound parameter's value sits in a parameter change.
int soundPosition(int param) {
  for (const SoundDumpField& field : soundDumpFields())
    if (field.a == param && field.b < 0) return field.byte - 7;  // the dump's header goes first
  return -1;
}

// Wall time, the part of it spent waiting, and CPU time, of each block or
// each event call.
struct CallTimes {
  std::vector<double> walls, waits, cpus;
  void reserve(size_t n) {
    walls.reserve(n);
    waits.reserve(n);
    cpus.reserve(n);
  }
  template <class Call>
  void take(Call call) {
    const double cpu = threadCpuUs();
    const auto start = Clock::now();
    call();
    const double wall = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    // A call uses no more of a core than its own time: a thread clock that
    // catches up late (as on a virtual machine) tells more.
    const double used = std::min(threadCpuUs() - cpu, wall);
    walls.push_back(wall);
    waits.push_back(std::max(0.0, wall - used));
    cpus.push_back(used);
  }
};

// The same work each time, about as long as an event call and a block take
// together, timed beside them on the same thread: what it takes at worst is
// the machine's (a busy or virtual one puts a thread off and counts it as
// the thread's time), not the plug-in's.
void fixedWork() {
  volatile double sum = 0.0;
  for (int i = 0; i < 4000; ++i) sum = sum + i * 0.5;
}

// The host's audio thread: count blocks (fewer once stop is set), each after
// an event call with a controller and a note (or with what eventsFor gives,
// none where it gives null) and followed by the fixed work, at real-time
// priority where the system grants it; each of them timed.
struct AudioRun {
  CallTimes calls, blocks, reference;
  bool realtime = false;
  AudioRun(AEffect* effect, int count, const BlockEvents& eventsFor = {}, const std::atomic<bool>* stop = nullptr) {
    for (CallTimes* times : {&calls, &blocks, &reference}) times->reserve(static_cast<size_t>(count));
    std::thread([&] {
      realtime = RaiseToRealTime();
      Block block;
      ControllerAndNote events(kFrames / 2);
      const auto period = std::chrono::nanoseconds(static_cast<long>(1e9 * kFrames / kSampleRate));
      auto due = Clock::now();
      for (int b = 0; b < count && !(stop && *stop); ++b) {
        VstEvents* list = eventsFor ? eventsFor(b) : events.forBlock(b);
        if (list) calls.take([&] { effect->dispatcher(effect, effProcessEvents, 0, 0, list, 0.0f); });
        blocks.take([&] { block.run(effect); });
        reference.take(fixedWork);
        due += period;
        std::this_thread::sleep_until(due);
      }
    }).join();
  }
  static double worst(const std::vector<double>& times) { return *std::max_element(times.begin(), times.end()); }
};

void BM_BlockWorstWaitWithInstrumentFlood(benchmark::State& state) {
  constexpr int kBlocks = static_cast<int>(8 * kSampleRate / kFrames);
  const int flood = static_cast<int>(state.range(0));
  const bool pageRefresh = flood == 2;
  const bool editor = state.range(1) != 0;
  if (editor && !std::getenv("DISPLAY")) return state.SkipWithError("no X server");
  const int perSecond = pageRefresh ? 1000 : 10000;
  const int position = soundPosition(pageRefresh ? kOscillator1Shape : kFilter1Cutoff);
  if (position < 0) return state.SkipWithError("the flood's parameter is not in the sound dump");
  useVariant("ports");
  Plugin plugin;
  double worstWait = 0.0, worstCpu = 0.0, worstEventWait = 0.0, worstEventCpu = 0.0, worstReferenceCpu = 0.0;
  Spread blockTimes({}), eventTimes({});
  long sent = 0;
  bool realtime = false, found = false;
  for (auto _ : state) {
    AEffect* effect = plugin.createRunning();
    if (!effect) return state.SkipWithError("the plug-in did not load");
    found = FindTheInstrument(effect);
    std::atomic<bool> done{false};
    std::thread instrument([&] {
      if (!flood) return;
      SimulatedInstrument knobs(0);
      auto due = Clock::now();
      for (int i = 0; !done; ++i) {
        // A millisecond's worth at a time, as a busy cable's worth arrives;
        // a shape between its first two values, each one a page refresh.
        for (int k = 0; k < perSecond / 1000; ++k, ++sent)
          gPeer->Send(knobs.turnSoundKnob(0, position, static_cast<int>(pageRefresh ? 1 + sent % 2 : sent % 128)));
        due += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(due);
      }
    });
    std::thread gui([&] {
      std::unique_ptr<HostWindow> window;
      if (editor) {
        window = std::make_unique<HostWindow>(0, 0, 1520, 780, 0xD6D3CC);
        effect->dispatcher(effect, effEditOpen, 0, 0, window->Handle(), 0.0f);
      }
      while (!done) {
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      }
      if (editor) effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    });
    AudioRun run(effect, kBlocks);
    realtime = run.realtime;
    const CallTimes &blocks = run.blocks, &calls = run.calls, &reference = run.reference;
    done = true;
    instrument.join();
    gui.join();
    Plugin::close(effect);
    gPeer->Clear();
    worstWait = AudioRun::worst(blocks.waits);
    worstCpu = AudioRun::worst(blocks.cpus);
    worstEventWait = AudioRun::worst(calls.waits);
    worstEventCpu = AudioRun::worst(calls.cpus);
    worstReferenceCpu = AudioRun::worst(reference.cpus);
    blockTimes = Spread(blocks.walls);
    eventTimes = Spread(calls.walls);
    state.SetIterationTime(blockTimes.worst / 1e6);
  }
  state.SetLabel(std::string(flood == 2 ? "page-refreshing flood" : flood ? "instrument flood" : "no flood") +
                 (editor ? ", editor open" : ""));
  state.counters["worst_block_us"] = blockTimes.worst;
  state.counters["worst_wait_us"] = worstWait;
  state.counters["worst_cpu_us"] = worstCpu;
  state.counters["p99_block_us"] = blockTimes.p99;
  // The host's event call beside the block: under 100 us on a quiet machine.
  state.counters["worst_event_us"] = eventTimes.worst;
  state.counters["worst_event_wait_us"] = worstEventWait;
  state.counters["worst_event_cpu_us"] = worstEventCpu;
  state.counters["p99_event_us"] = eventTimes.p99;
  // The machine's own: fixed work after each block.
  state.counters["worst_reference_cpu_us"] = worstReferenceCpu;
  state.counters["changes_sent"] = static_cast<double>(sent);
  state.counters["instrument_found"] = found ? 1 : 0;
  state.counters["rt"] = realtime ? 1 : 0;
}
BENCHMARK(BM_BlockWorstWaitWithInstrumentFlood)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({2, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1);

// A new instance of a library of 1,000 banks (no ports) from its create
// on, while the host's GUI thread opens the editor (on a private Xvfb) and
// calls effEditIdle every 25 ms (one of which lists the library once its
// load has arrived) and the audio thread runs three seconds of blocks as
// above: the longest block and event call, which the listing of the library
// must not make wait (a wait for the plug-in's lock may be spent spinning in
// the system, counted as the thread's time: the wall time is what tells).
void BM_BlockWorstWaitAsTheLibraryArrives(benchmark::State& state) {
  constexpr int kBlocks = static_cast<int>(3 * kSampleRate / kFrames);
  if (!std::getenv("DISPLAY")) return state.SkipWithError("no X server");
  useVariant("library");
  Plugin plugin;
  double worstBlock = 0.0, worstEvent = 0.0, worstReferenceCpu = 0.0;
  for (auto _ : state) {
    AEffect* effect = plugin.createRunning();
    if (!effect) return state.SkipWithError("the plug-in did not load");
    std::atomic<bool> done{false};
    std::thread gui([&] {
      HostWindow window(0, 0, 1520, 780, 0xD6D3CC);
      effect->dispatcher(effect, effEditOpen, 0, 0, window.Handle(), 0.0f);
      while (!done) {
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      }
      effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    });
    const AudioRun run(effect, kBlocks);
    done = true;
    gui.join();
    Plugin::close(effect);
    worstBlock = std::max(worstBlock, AudioRun::worst(run.blocks.walls));
    worstEvent = std::max(worstEvent, AudioRun::worst(run.calls.walls));
    worstReferenceCpu = std::max(worstReferenceCpu, AudioRun::worst(run.reference.cpus));
    state.SetIterationTime(std::max(AudioRun::worst(run.blocks.walls), AudioRun::worst(run.calls.walls)) / 1e6);
  }
  state.counters["worst_block_us"] = worstBlock;
  state.counters["worst_event_us"] = worstEvent;
  state.counters["worst_reference_cpu_us"] = worstReferenceCpu;
}
BENCHMARK(BM_BlockWorstWaitAsTheLibraryArrives)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(3);

// A host's audio thread may be new to the plug-in at any block: hosts start
// and end their threads as they like. The allocations of the first event
// call and the first block on a new thread, which must be none; the page
// faults they take in all (each costs the system's time, and waits while
// another thread maps or unmaps memory), which must be none either; and the
// longest first event call.
void BM_FirstCallsOnANewThread(benchmark::State& state) {
#ifndef TARNIVEX_BENCH_COUNTS_ALLOCATIONS
  return state.SkipWithError("a sanitizer's allocator: allocations not counted");
#else
  useVariant("none");
  Plugin plugin;
  AEffect* effect = plugin.createRunning();
  if (!effect) return state.SkipWithError("the plug-in did not load");
  long made = 0, faults = 0;
  double worstEvent = 0.0;
  for (auto _ : state) {
    std::thread([&] {
      Block block;
      ControllerAndNote events(kFrames / 2);
      // The thread's own stack and clock calls are the host's: touched first.
      volatile char stack[64 * 1024];
      for (size_t at = 0; at < sizeof stack; at += 4096) stack[at] = 0;
      rusage before{}, after{};
      getrusage(RUSAGE_THREAD, &before);
      getrusage(RUSAGE_THREAD, &before);
      gCountedAllocations = 0;
      gCountedThread = pthread_self();
      gCounting = true;
      const auto start = Clock::now();
      effect->dispatcher(effect, effProcessEvents, 0, 0, events.forBlock(0), 0.0f);
      worstEvent = std::max(worstEvent, std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      block.run(effect);
      gCounting = false;
      getrusage(RUSAGE_THREAD, &after);
      made += gCountedAllocations;
      faults += after.ru_minflt + after.ru_majflt - before.ru_minflt - before.ru_majflt;
    }).join();
  }
  state.counters["first_calls_allocations"] = static_cast<double>(made) / static_cast<double>(state.iterations());
  state.counters["first_calls_page_faults"] = static_cast<double>(faults);
  state.counters["first_event_worst_us"] = worstEvent;
  Plugin::close(effect);
#endif
}
BENCHMARK(BM_FirstCallsOnANewThread)->Iterations(20)->Unit(benchmark::kMicrosecond);

// A process with n instances open and idle: the share of a core it uses and
// its threads' wake-ups a second, with and without ports.
void BM_IdleCpu(benchmark::State& state) {
  const std::string variant = kVariants[state.range(1)];
  const int count = static_cast<int>(state.range(0));
  double cpu = 0.0, wakes = 0.0;
  for (auto _ : state)
    if (!runChild("idle", variant, count, &cpu, &wakes)) state.SkipWithError("the child process failed");
  state.SetLabel(std::to_string(count) + " x " + variant);
  state.counters["cpu_percent"] = cpu;
  state.counters["wakes_per_s"] = wakes;
}
BENCHMARK(BM_IdleCpu)->Args({1, 0})->Args({1, 1})->Args({8, 1})->Iterations(1)->Unit(benchmark::kMillisecond);

// An instance on the instrument's ports with its editor open, idle without a
// project restore (range(0) 0), while a restore's send goes on (1) and after
// it (2), and after one with no JACK server running (3): the share of a core
// its process uses and its threads' wake-ups a second, which a restore must
// leave as they were.
void BM_IdleCpuAfterRestore(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("no X server");
  const int when = static_cast<int>(state.range(0));
  double cpu = 0.0, wakes = 0.0;
  for (auto _ : state) {
    AnsweringInstrument instrument(*gPeer);
    if (!runChild("restored", "ports", when, &cpu, &wakes)) state.SkipWithError("the child process failed");
  }
  static const char* const kLabels[] = {"no restore, editor open", "restore sending, editor open",
                                        "restore sent, editor open", "restore without a JACK server, editor open"};
  state.SetLabel(kLabels[when]);
  state.counters["cpu_percent"] = cpu;
  state.counters["wakes_per_s"] = wakes;
}
BENCHMARK(BM_IdleCpuAfterRestore)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

// Resident memory of a process holding n instances, as MB in all and per
// instance after the first.
void BM_ResidentMemory(benchmark::State& state) {
  const std::string variant = kVariants[state.range(1)];
  const int count = static_cast<int>(state.range(0));
  double all = 0.0, further = 0.0, afterClose = 0.0;
  for (auto _ : state)
    if (!runChild("rss", variant, count, &all, &further, &afterClose)) state.SkipWithError("the child process failed");
  state.SetLabel(std::to_string(count) + " x " + variant);
  state.counters["MB"] = all;
  state.counters["MB_per_further"] = further;
  state.counters["MB_after_close"] = afterClose;
}
BENCHMARK(BM_ResidentMemory)
    ->Args({1, 0})->Args({8, 0})->Args({32, 0})->Args({8, 1})->Args({64, 1})->Args({1, 2})->Args({8, 2})
    ->Iterations(1)->Unit(benchmark::kMillisecond);

// The first frame of a process's first editor: effEditOpen and the first
// effEditIdle, which draws it. range(0): milliseconds between create and the
// open (0: at once, as a host that opens the editor with the plug-in).
void BM_FirstEditorFrame(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("no X server");
  const int delay = static_cast<int>(state.range(0));
  const std::string variant = kVariants[state.range(1)];
  double openMs = 0.0, idleCpu = 0.0;
  for (auto _ : state) {
    double frame = 0.0, open = 0.0, cpu = 0.0;
    if (!runChild("frame", variant, delay, &frame, &open, &cpu)) return state.SkipWithError("the child process failed");
    state.SetIterationTime(frame / 1000.0);
    openMs += open;
    idleCpu += cpu;
  }
  state.SetLabel(variant + ", opened " + std::to_string(delay) + " ms after create");
  state.counters["open_ms"] = openMs / static_cast<double>(state.iterations());
  state.counters["idle_cpu_pct"] = idleCpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FirstEditorFrame)->Args({0, 0})->Args({300, 0})->Args({300, 1})->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(5);
// A running instance on the instrument's ports that found it, given that
// project, once the project's send (a dump for each part in use, 400 ms
// apart) has ended; null when it did not load or took no project.
AEffect* createForHostPicks(const Plugin& plugin, bool* found) {
  AEffect* effect = plugin.createRunning();
  if (!effect) return nullptr;
  *found = FindTheInstrument(effect);
  std::vector<uint8_t> project = projectForHostPicks(effect);
  if (project.empty() || !setChunk(effect, project)) {
    Plugin::close(effect);
    return nullptr;
  }
  AwaitQuietPort(*gPeer, std::chrono::milliseconds(1500), std::chrono::seconds(30));
  gPeer->Clear();
  return effect;
}

// Eight host picks, for parts 1-8, in one block's event call at rest (the
// host's audio thread running 64-frame blocks at 48 kHz, at real-time
// priority where allowed; the instrument answering each part's request):
// from that event call until the instrument has each part's program change.
// Per round the last part's (the worst) and the first part's; over the
// rounds their median and the worst, and how many rounds had every
// program change within 100 ms. A program pick pauses 25 ms after its
// bank select's first half and 25 ms after its second, so none comes
// before 50 ms. Goal: the last under 60 ms, the parts' program changes
// going at once rather than one JACK cycle apart; the row fails when the
// median of the last passes 80 ms (eight changes a cycle apart, each
// waited for, take about 90 ms at this period).
constexpr double kEightPicksGoalMs = 60.0;
constexpr double kEightPicksFailMs = 80.0;

void BM_EightHostPicksAtRest(benchmark::State& state) {
  constexpr int kPickBlock = 8;
  constexpr int kMaxBlocks = static_cast<int>(30 * kSampleRate / kFrames);
  useVariant("ports");
  Plugin plugin;
  bool found = false;
  AEffect* effect = createForHostPicks(plugin, &found);
  if (!effect) return state.SkipWithError("the plug-in did not load or took no project");
  HostPicks picks;
  std::vector<double> lasts, firsts;
  int round = 0, within = 0, missing = 0;
  bool realtime = false;
  for (auto _ : state) {
    const std::vector<int> programs = pickedPrograms(round++, kPickedParts);
    std::atomic<bool> given{false}, stop{false};
    Clock::time_point givenAt{};
    std::vector<double> ms;
    {
      AnsweringInstrument instrument(*gPeer);
      std::thread watch([&] {
        while (!given) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PickArrivals arrivals(programs, givenAt);
        arrivals.await(*gPeer, std::chrono::seconds(10));
        ms = arrivals.programChangeMs();
        // The parts' requests answered: at rest again.
        AwaitQuietPort(*gPeer, std::chrono::milliseconds(300), std::chrono::seconds(10));
        stop = true;
      });
      const AudioRun run(
          effect, kMaxBlocks,
          [&](int block) -> VstEvents* {
            if (block != kPickBlock) return nullptr;
            givenAt = Clock::now();
            given = true;
            return picks.forParts(programs, 0);
          },
          &stop);
      watch.join();
      realtime = run.realtime;
    }
    const double last = PickArrivals::last(ms);
    if (last < 0) {
      ++missing;
      continue;
    }
    lasts.push_back(last);
    firsts.push_back(*std::min_element(ms.begin(), ms.end()));
    within += last <= 100.0 ? 1 : 0;
    state.SetIterationTime(last / 1e3);
  }
  Plugin::close(effect);
  state.counters["last_pc_median_ms"] = MedianOf(lasts);
  state.counters["last_pc_worst_ms"] = lasts.empty() ? -1.0 : *std::max_element(lasts.begin(), lasts.end());
  state.counters["first_pc_median_ms"] = MedianOf(firsts);
  state.counters["rounds_within_100ms"] = within;
  state.counters["rounds_missing_a_pc"] = missing;
  state.counters["instrument_found"] = found ? 1 : 0;
  state.counters["rt"] = realtime ? 1 : 0;  state.counters["goal_last_pc_ms"] = kEightPicksGoalMs;
  state.counters["fails_over_median_ms"] = kEightPicksFailMs;
  if (missing > 0) return state.SkipWithError("a part's program change did not reach the instrument");
  if (MedianOf(lasts) > kEightPicksFailMs) state.SkipWithError("the last program change came past the bound");
}
BENCHMARK(BM_EightHostPicksAtRest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// The host's event call with four picks in each block (parts 1-4, each a
// bank select and a program change, programs and banks moving block by
// block), over eight seconds of 64-frame blocks at 48 kHz on a thread at
// real-time priority where allowed, the instrument answering: the CPU time
// of each call (its wall time where that is less), median and 99th
// percentile, the wall time's, and the fixed work's median beside them
// (the machine's own pace).
void BM_EventCallWithFourHostPicks(benchmark::State& state) {
  constexpr int kBlocks = static_cast<int>(8 * kSampleRate / kFrames);
  constexpr int kParts = 4;
  useVariant("ports");
  Plugin plugin;
  bool found = false;
  AEffect* effect = createForHostPicks(plugin, &found);
  if (!effect) return state.SkipWithError("the plug-in did not load or took no project");
  HostPicks picks;
  Spread cpu({}), wall({}), reference({});
  bool realtime = false;
  for (auto _ : state) {
    AnsweringInstrument instrument(*gPeer);
    std::array<int, kParts> programs{};
    const AudioRun run(effect, kBlocks, [&](int block) {
      for (int p = 0; p < kParts; ++p) programs[static_cast<size_t>(p)] = 8 + (block * kParts + p) % 92;
      return picks.forParts(programs, block % 3);
    });
    cpu = Spread(run.calls.cpus);
    wall = Spread(run.calls.walls);
    reference = Spread(run.reference.cpus);
    realtime = run.realtime;
    state.SetIterationTime(cpu.median / 1e6);
    // The last picks' work ends before the instrument goes.
    AwaitQuietPort(*gPeer, std::chrono::milliseconds(300), std::chrono::seconds(10));
  }
  Plugin::close(effect);
  state.counters["cpu_median_us"] = cpu.median;
  state.counters["cpu_p99_us"] = cpu.p99;
  state.counters["cpu_worst_us"] = cpu.worst;
  state.counters["wall_median_us"] = wall.median;
  state.counters["wall_p99_us"] = wall.p99;
  state.counters["reference_cpu_median_us"] = reference.median;
  state.counters["instrument_found"] = found ? 1 : 0;
  state.counters["rt"] = realtime ? 1 : 0;
}
BENCHMARK(BM_EventCallWithFourHostPicks)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(1);
}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--child") {
    gFolders = std::getenv("TARNIVEX_BENCH_FOLDERS");
    return childMain(argv[2], argv[3], std::atoi(argv[4]));
  }
  InitializeBenchmarks(&argc, argv);
  gTime.sampleRate = kSampleRate;
  gTime.tempo = 120.0;
  gTime.flags = kVstTempoValid | kVstTransportPlaying;
  gFolders = fs::temp_directory_path() / ("tarnivex-host-bench-" + std::to_string(getpid()));
  setenv("TARNIVEX_BENCH_FOLDERS", gFolders.c_str(), 1);  // for the children
  XvfbServer display;
  if (!display.Start(1700, 900)) std::fprintf(stderr, "no X server, no editor frames: %s\n", display.Error().c_str());
  JackServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "cannot start the JACK server: %s\n", server.Error().c_str());
    return 1;
  }
  setenv("TARNIVEX_MIDI_API", "jack", 1);
  setenv("TARNIVEX_BENCH_JACK_SERVER", std::getenv("JACK_DEFAULT_SERVER") ? std::getenv("JACK_DEFAULT_SERVER") : "", 1);
  int result = 0;
  {
    JackPeer peer;
    gPeer = &peer;
    makeFolders();
    result = RunBenchmarksFailingOnErrors();
    benchmark::Shutdown();
    // The plug-in's clients close on their own; the server must not stop under them.
    peer.AwaitOtherClientsGone();
  }
  std::error_code error;
  fs::remove_all(gFolders, error);
  return result;
}
