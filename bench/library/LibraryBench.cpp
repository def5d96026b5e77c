// The library over generated folders of 100, 1,000 and 5,000 banks (100
// sounds each) in nested folders: loading, a name search and the category banks.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"
#include <malloc.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "BankFileFormat.h"
#include "PatchLibrarian.h"
#include "SharedLibraryLoads.h"

namespace fs = std::filesystem;

namespace {
const char* const kCategories[] = {"Lead", "Bass", "Pad ", "Keys", "Arp ", "FX  ", "Perc", "Seq ", "Atmo", "Poly", "Mono", "Drum"};

Bytes sound(int n) {
  Bytes d(392, static_cast<unsigned char>(n & 0x3F));
  d[0] = 0xF0, d[1] = 0x3E, d[2] = 0x10, d[3] = 0, d[4] = 0x10, d[5] = 0;
  std::string name = std::string(n % 7 ? "Sound " : "Pad ") + std::to_string(n);
  name.resize(16, ' ');
  for (int i = 0; i < 16; ++i) d[370 + static_cast<size_t>(i)] = static_cast<unsigned char>(name[static_cast<size_t>(i)]);
  const char* cat = kCategories[n % 12];
  for (int i = 0; i < 4; ++i) d[386 + static_cast<size_t>(i)] = static_cast<unsigned char>(cat[i]);
  d[390] = dumpChecksum(d);
  d[391] = 0xF7;
  return d;
}

// Folders of 10 bank files, 10 folders to a set ("Set a/Part b"), every
// third file a Standard MIDI File; the folder goes when the program ends.
struct GeneratedLibrary {
  explicit GeneratedLibrary(int banks) {
    char pattern[] = "/tmp/tarnivex-bench-XXXXXX";
    base = mkdtemp(pattern);
    const fs::path patches = base / "Patches";
    int n = 0;
    for (int f = 0; f < banks; ++f) {
      const int folderIndex = f / 10;
      const fs::path folder =
          patches / ("Set " + std::to_string(folderIndex / 10)) / ("Part " + std::to_string(folderIndex % 10));
      fs::create_directories(folder);
      PatchFile bank;
      for (int i = 0; i < 100; ++i) bank.patches.push_back({0, "", "", {{sound(n++)}}, {}});
      const bool midi = f % 3 == 0;
      const Bytes image = writeBankImage(bank, midi);
      std::ofstream(folder / ("Bank " + std::to_string(f % 10) + (midi ? ".mid" : ".syx")), std::ios::binary)
          .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    root = patches.string();
  }
  ~GeneratedLibrary() {
    std::error_code error;
    fs::remove_all(base, error);
  }
  fs::path base;
  std::string root;
};

// One generated folder per bank count, kept to the end of the program.
const std::string& libraryRoot(int banks) {
  static std::map<int, std::unique_ptr<GeneratedLibrary>> made;
  auto& library = made[banks];
  if (!library) library = std::make_unique<GeneratedLibrary>(banks);
  return library->root;
}

size_t heapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

// The first load of a folder in the process: every file read.
void BM_LoadLibrary(benchmark::State& state) {
  const std::string& root = libraryRoot(static_cast<int>(state.range(0)));
  size_t heap = 0;
  int sounds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // The process keeps its last load: each iteration is a first one.
    SharedLibraryLoads::forget(SharedLibraryLoads::keyOf(root));
    const size_t before = heapInUse();
    state.ResumeTiming();
    auto library = std::make_unique<PatchLibrarian>();
    library->loadPatchesFromFilesystem(root);
    state.PauseTiming();
    heap = heapInUse() - before;
    sounds = library->bankCount(kSoundList) * kPatchesPerBank;
    library.reset();
    state.ResumeTiming();
  }
  state.counters["sounds"] = sounds;
  state.counters["heap_MB"] = static_cast<double>(heap) / (1 << 20);
}
BENCHMARK(BM_LoadLibrary)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(5);

// A further instance of the process asking for the same folder.
void BM_SharedLoadAgain(benchmark::State& state) {
  const std::string& root = libraryRoot(static_cast<int>(state.range(0)));
  PatchLibrarian first;
  first.loadSharedPatches(root);
  for (auto _ : state) {
    PatchLibrarian library;
    library.loadSharedPatches(root);
    benchmark::DoNotOptimize(library.bankCount(kSoundList));
  }
}
BENCHMARK(BM_SharedLoadAgain)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

PatchLibrarian& loadedLibrary(int banks) {
  static std::map<int, std::unique_ptr<PatchLibrarian>> loaded;
  auto& library = loaded[banks];
  if (!library) {
    library = std::make_unique<PatchLibrarian>();
    library->loadPatchesFromFilesystem(libraryRoot(banks));
  }
  return *library;
}

void BM_NameSearch(benchmark::State& state) {
  PatchLibrarian& library = loadedLibrary(static_cast<int>(state.range(0)));
  for (auto _ : state) library.createNewSearchPatchFiles("Pad 4");
  state.counters["results"] = library.bankCount(kSearchList);
}
BENCHMARK(BM_NameSearch)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_NameSearchNoMatch(benchmark::State& state) {
  PatchLibrarian& library = loadedLibrary(static_cast<int>(state.range(0)));
  for (auto _ : state) library.createNewSearchPatchFiles("Nothing here");
}
BENCHMARK(BM_NameSearchNoMatch)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_CategoryBanks(benchmark::State& state) {
  PatchLibrarian& library = loadedLibrary(1000);
  for (auto _ : state) {
    {
      auto guard = library.lock();
      library.contents().categoryBanks.clear();
      library.contents().categoryTree.clear();
    }
    library.createNewCategoryPatchFiles();
  }
  state.counters["banks"] = library.bankCount(kCategoryList);
}
BENCHMARK(BM_CategoryBanks)->Unit(benchmark::kMillisecond);
// A library folder of one bank file, made afresh for every load (a split
// moves its source away).
struct OneFileLibrary {
  explicit OneFileLibrary(const Bytes& file) {
    char pattern[] = "/tmp/tarnivex-bench-XXXXXX";
    base = mkdtemp(pattern);
    fs::create_directories(base / "Patches");
    std::ofstream(base / "Patches" / "Big.syx", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  ~OneFileLibrary() {
    std::error_code error;
    fs::remove_all(base, error);
  }
  size_t files() const {
    size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(base)) n += entry.is_regular_file();
    return n;
  }
  fs::path base;
};

// Loads a library of only this file, once for each iteration; the files the
// folder holds afterwards.
void loadEachIteration(benchmark::State& state, const Bytes& file) {
  size_t files = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto folder = std::make_unique<OneFileLibrary>(file);
    state.ResumeTiming();
    PatchLibrarian library;
    library.loadPatchesFromFilesystem((folder->base / "Patches").string());
    state.PauseTiming();
    files = folder->files();
    folder.reset();
    state.ResumeTiming();
  }
  state.counters["files_after"] = static_cast<double>(files);
}

// A malformed file of 7-byte dumps (kilobytes as the argument): read no
// further than a split may write, and left as it is.
void BM_LoadMalformedFile(benchmark::State& state) {
  const Bytes tiny = {0xF0, 0x3E, 0x10, 0x00, 0x10, 0x00, 0xF7};
  Bytes file;
  while (file.size() < static_cast<size_t>(state.range(0)) * 1024) file.insert(file.end(), tiny.begin(), tiny.end());
  loadEachIteration(state, file);
}
BENCHMARK(BM_LoadMalformedFile)->Arg(700)->Arg(2100)->Unit(benchmark::kMillisecond);

// A file of real sound dumps (the argument) split into banks of 100 and
// read again.
void BM_SplitBankFile(benchmark::State& state) {
  Bytes file;
  for (int n = 0; n < state.range(0); ++n) {
    const Bytes d = sound(n);
    file.insert(file.end(), d.begin(), d.end());
  }
  loadEachIteration(state, file);
}
BENCHMARK(BM_SplitBankFile)->Arg(300)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3);
}  // namespace

TARNIVEX_BENCHMARK_MAIN()
