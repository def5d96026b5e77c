// Random and mutated bank files: the reader never reads outside its data,
// every dump it keeps is whole, and a load touches nothing outside the data
// folder.
#include <random>

#include "BankFileFormat.h"
#include "LibraryTestSupport.h"

namespace {
class Mutator {
 public:
  explicit Mutator(unsigned seed) : mRng(seed) {}
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(mRng); }

  Bytes seed() {
    switch (pick(0, 5)) {
      case 0: return soundFile("s", pick(1, 120));
      case 1: return multiFile("m", pick(1, 120));
      case 2: {
        PatchFile bank;
        for (int i = 0; i < pick(1, 100); ++i) bank.patches.push_back({0, "", "", {{soundDump(numbered("x", i))}}, {}});
        return writeBankImage(bank, true);
      }
      case 3: {
        Bytes q;
        for (int i = 0; i < pick(1, 30); ++i) {
          Bytes d = soundDump(numbered("q", i), "Pad", static_cast<unsigned char>(pick(0, 127)), pick(0, 1) ? 0x0F : 0x13);
          d.resize(static_cast<size_t>(pick(6, 420)), static_cast<unsigned char>(pick(0, 127)));
          q.insert(q.end(), d.begin(), d.end());
        }
        return q;
      }
      case 4: {
        Bytes r(static_cast<size_t>(pick(0, 5000)));
        for (auto& b : r) b = static_cast<unsigned char>(pick(0, 255));
        return r;
      }
      default: {
        Bytes r(static_cast<size_t>(pick(0, 3000)));
        const unsigned char alphabet[] = {0xF0, 0x3E, 0x10, 0x0F, 0x13, 0x11, 0x00, 0x7F, 0x80, 0xF7};
        for (auto& b : r) b = alphabet[pick(0, 9)];
        return r;
      }
    }
  }

  Bytes mutate(Bytes data) {
    for (int n = pick(0, 8); n > 0; --n) {
      const size_t at = data.empty() ? 0 : static_cast<size_t>(pick(0, static_cast<int>(data.size()) - 1));
      switch (pick(0, 4)) {
        case 0:
          if (!data.empty()) data[at] = static_cast<unsigned char>(pick(0, 255));
          break;
        case 1: data.resize(at); break;
        case 2: data.insert(data.begin() + static_cast<long>(at), static_cast<unsigned char>(pick(0, 1) ? 0x3E : 0xF7)); break;
        case 3:
          if (!data.empty()) data.erase(data.begin() + static_cast<long>(at));
          break;
        default: {
          const Bytes copy(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(std::min(data.size(), at + 500)));
          data.insert(data.end(), copy.begin(), copy.end());
        }
      }
    }
    return data;
  }

 private:
  std::mt19937 mRng;
};

void expectWholeDumps(const PatchFile& bank) {
  EXPECT_TRUE(bank.patches.empty() || bank.patches.size() >= 100u);
  for (const auto& e : bank.patches) {
    ASSERT_EQ(e.dumps.size(), 1u);
    const Bytes& d = e.dumps[0].bytes;
    ASSERT_GE(d.size(), e.typeCode == 3 || e.typeCode == 4 ? 393u : 392u);
    EXPECT_EQ(d.front(), 0xF0);
    if (e.typeCode == 0 || e.typeCode == 3) {
      EXPECT_EQ(d[4], e.typeCode == 0 ? 0x10 : 0x11);
      EXPECT_EQ(d.back(), 0xF7);
    }
  }
}
}  // namespace

TEST(LibraryFuzz, MutatedImagesReadIntoWholeDumps) {
  Mutator m(20260412);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const Bytes image = m.mutate(m.seed());
    PatchLibrarian library;
    PatchFile bank;
    library.loadFromChunk(image, static_cast<int>(image.size()), &bank);
    expectWholeDumps(bank);
    if (HasFatalFailure()) return;
  }
}

TEST(LibraryFuzz, LoadingMutatedFilesStaysInsideTheDataFolder) {
  Mutator m(7);
  DataFolder sandbox;
  const fs::path dataRoot = sandbox.root / "Data";
  const fs::path patches = dataRoot / "Patches";
  const fs::path neighbour = sandbox.root / "Neighbour";
  writeFile(neighbour / "keep.syx", soundFile("n", 150));
  writeFile(neighbour / "Patches" / "keep.mid", soundFile("n", 120));
  const char* extensions[] = {"syx", "SYX", "mid", "tvx", "txt"};
  for (int i = 0; i < 24; ++i) {
    Bytes image;
    while (image.size() < 30001) {
      const Bytes part = m.mutate(m.seed());
      image.insert(image.end(), part.begin(), part.end());
    }
    const fs::path folder = patches / (i % 3 ? std::string("F").append(std::to_string(i % 4)) : "");
    writeFile(folder / std::string("bank").append(std::to_string(i)).append(".").append(extensions[i % 5]), image);
  }
  for (int load = 0; load < 2; ++load) {
    PatchLibrarian library;
    library.loadPatchesFromFilesystem(patches.string());
    auto guard = library.lock();
    for (const auto* list : {&library.contents().soundBanks, &library.contents().multiBanks})
      for (const auto& bank : *list) EXPECT_EQ(bank->patches.size(), 100u);
  }
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(dataRoot)) top.push_back(entry.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_TRUE(top == std::vector<std::string>{"Patches"} || top == (std::vector<std::string>{"Converted Banks", "Patches"}));
  for (const auto& moved : filesBelow(dataRoot / "Converted Banks")) EXPECT_EQ(moved.find('/'), std::string::npos) << moved;
  EXPECT_EQ(filesBelow(neighbour), (std::vector<std::string>{"Patches/keep.mid", "keep.syx"}));
  EXPECT_EQ(readFile(neighbour / "keep.syx"), soundFile("n", 150));
  EXPECT_TRUE(filesBelow(sandbox.patches()).empty());
}
