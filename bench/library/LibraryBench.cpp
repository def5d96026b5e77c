// The library over a generated folder of 1,000 banks (100,000 sounds) in
// nested folders: loading, a name search and the category banks.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BankFileFormat.h"
#include "PatchLibrarian.h"

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

// 10 x 10 folders of 10 bank files, every third a Standard MIDI File; the
// folder goes when the program ends.
struct GeneratedLibrary {
  GeneratedLibrary() {
    char pattern[] = "/tmp/tarnivex-bench-XXXXXX";
    base = mkdtemp(pattern);
    const fs::path patches = base / "Patches";
    int n = 0;
    for (int a = 0; a < 10; ++a) {
      for (int b = 0; b < 10; ++b) {
        const fs::path folder = patches / ("Set " + std::to_string(a)) / ("Part " + std::to_string(b));
        fs::create_directories(folder);
        for (int f = 0; f < 10; ++f) {
          PatchFile bank;
          for (int i = 0; i < 100; ++i) bank.patches.push_back({0, "", "", {{sound(n++)}}});
          const bool midi = f % 3 == 0;
          const Bytes image = writeBankImage(bank, midi);
          std::ofstream(folder / ("Bank " + std::to_string(f) + (midi ? ".mid" : ".syx")), std::ios::binary)
              .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        }
      }
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

const std::string& libraryRoot() {
  static const GeneratedLibrary library;
  return library.root;
}

size_t heapInUse() { return mallinfo2().uordblks; }

void BM_LoadLibrary(benchmark::State& state) {
  const std::string& root = libraryRoot();
  size_t heap = 0;
  int sounds = 0;
  for (auto _ : state) {
    const size_t before = heapInUse();
    auto library = std::make_unique<PatchLibrarian>();
    library->loadPatchesFromFilesystem(root);
    heap = heapInUse() - before;
    sounds = library->bankCount(kSoundList) * kPatchesPerBank;
    state.PauseTiming();
    library.reset();
    state.ResumeTiming();
  }
  state.counters["sounds"] = sounds;
  state.counters["heap_MB"] = static_cast<double>(heap) / (1 << 20);
}
BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

PatchLibrarian& loadedLibrary() {
  static PatchLibrarian library;
  static const bool loaded = (library.loadPatchesFromFilesystem(libraryRoot()), true);
  (void)loaded;
  return library;
}

void BM_NameSearch(benchmark::State& state) {
  PatchLibrarian& library = loadedLibrary();
  for (auto _ : state) library.createNewSearchPatchFiles("Pad 4");
  state.counters["results"] = library.bankCount(kSearchList);
}
BENCHMARK(BM_NameSearch)->Unit(benchmark::kMillisecond);

void BM_NameSearchNoMatch(benchmark::State& state) {
  PatchLibrarian& library = loadedLibrary();
  for (auto _ : state) library.createNewSearchPatchFiles("Nothing here");
}
BENCHMARK(BM_NameSearchNoMatch)->Unit(benchmark::kMillisecond);

void BM_CategoryBanks(benchmark::State& state) {
  PatchLibrarian& library = loadedLibrary();
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
}  // namespace

BENCHMARK_MAIN();
