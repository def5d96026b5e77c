// The generated lists after an edit or a reload: every category bank and the
// open search's results are those a fresh load of the same folder makes (the
// edits written to the files by the test itself), and a search's results
// show its sounds as they are now.
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "LibraryTestSupport.h"
#include "ListedEdits.h"

namespace {
constexpr const char* kInitName = "Init            ";

// A sound as a failure shows it: its name and category, and a digest of its
// data (the header a reader writes anew, and the checksum, aside); "-" for
// none.
std::string seen(const Bytes* dump) {
  if (!dump) return "-";
  if (dump->size() < 390) return "short";
  std::uint64_t digest = 1469598103934665603ull;
  for (size_t i = 7; i < 390; ++i) digest = (digest ^ (*dump)[i]) * 1099511628211ull;
  return std::string(dump->begin() + 370, dump->begin() + 386) + "|" + std::string(dump->begin() + 386, dump->begin() + 390) +
         "|" + std::to_string(digest % 100000);
}

// Each bank of a list by its folder and file names, with the first dump of
// each entry.
using Lists = std::map<std::string, std::vector<std::string>>;

Lists listsOf(const PatchLibrarian& library, int list) {
  Lists lists;
  for (int i = 0; i < library.bankCount(list); ++i) {
    const auto bank = library.bankAt(list, i);
    auto& entries = lists[bank->folderName + "/" + bank->fileName];
    for (const LibrarianPatch& entry : bank->patches) entries.push_back(seen(entry.dumps.empty() ? nullptr : &entry.dumps[0].bytes));
  }
  return lists;
}

// Where two lists differ, the first few places; "" when they do not.
std::string differences(const Lists& got, const Lists& fresh) {
  std::string out;
  int shown = 0;
  const auto note = [&](const std::string& text) {
    if (shown++ < 6) out += text + "\n";
  };
  for (const auto& [name, entries] : got) {
    const auto there = fresh.find(name);
    if (there == fresh.end()) {
      note("only here: " + name);
      continue;
    }
    if (entries.size() != there->second.size())
      note(name + ": " + std::to_string(entries.size()) + " entries, fresh " + std::to_string(there->second.size()));
    for (size_t i = 0; i < std::min(entries.size(), there->second.size()); ++i)
      if (entries[i] != there->second[i]) note(name + " #" + std::to_string(i) + ": " + entries[i] + " fresh " + there->second[i]);
  }
  for (const auto& [name, entries] : fresh)
    if (!got.count(name)) note("only fresh: " + name);
  return out;
}

// The category tree as its folders name its banks, every bank it names one of
// the category list's (read under the address sanitizer: none released).
std::multiset<std::string> categoryTreeOf(const PatchLibrarian& library) {
  auto guard = library.lock();
  std::set<const PatchFile*> listed;
  for (const auto& bank : library.contents().categoryBanks) listed.insert(bank.get());
  std::multiset<std::string> named;
  const auto take = [&](const std::string& folder, const std::vector<PatchFile*>& files) {
    for (const PatchFile* file : files) {
      EXPECT_TRUE(listed.count(file)) << folder;
      named.insert(folder + "/" + file->fileName);
    }
  };
  for (const auto& node : library.contents().categoryTree) {
    take(node->name, node->files);
    for (const SubFolderFiles& second : node->subFolders) {
      take(second.name, second.files);
      for (const SubFolderFiles2& third : second.subFolders) take(third.name, third.files);
    }
  }
  return named;
}

Bytes sound(const std::string& name, const std::string& category, int fill) {
  std::string padded = name;
  padded.resize(16, ' ');
  return soundDump(padded, category, static_cast<unsigned char>(fill & 0x7F));
}

// The bank files of a folder as the test wrote them: file i is "B<i>.syx"
// (so the load lists them in this order), its sounds in slot order.
struct Folder {
  DataFolder data;
  std::vector<std::vector<Bytes>> files;

  void write(size_t file) const {
    writeFile(data.patches() / ("B" + std::to_string(file) + ".syx"), concat(files[file]));
  }
  void add(std::vector<Bytes> sounds) {
    files.push_back(std::move(sounds));
    write(files.size() - 1);
  }
};

// What the window's store of a received dump does: into the bank's slot.
void store(PatchLibrarian& library, int bank, int slot, const Bytes& dump) {
  LibrarianPatch entry;
  entry.dumps.push_back({dump});
  entry.name.assign(dump.begin() + 370, dump.begin() + 386);
  entry.parseCategory(386);
  library.librarianMode = 0;
  library.upperBank = bank;
  library.targetSlot = slot;
  ASSERT_TRUE(library.setSysexDatatoSelectedSlot(&entry, library.targetSlot));
}

// The open search's sounds, by file and slot, as a load of the files lists
// them: its results show them as they are now.
std::vector<std::pair<size_t, size_t>> foundIn(const Folder& folder, const std::string& text) {
  std::vector<std::pair<size_t, size_t>> found;
  for (size_t f = 0; f < folder.files.size(); ++f)
    for (size_t s = 0; s < folder.files[f].size(); ++s) {
      const Bytes& dump = folder.files[f][s];
      if (std::string(dump.begin() + 370, dump.begin() + 386).find(text) != std::string::npos) found.emplace_back(f, s);
    }
  return found;
}

// The lists of the library against those of a fresh load of its folder: every
// category bank and the tree; the search's results against the sounds it
// found, as they are now, and (fresh) against a fresh load's same search.
void expectListsOfAFreshLoad(const PatchLibrarian& library, const Folder& folder, const std::string& search,
                             const std::vector<std::pair<size_t, size_t>>& found, bool fresh) {
  PatchLibrarian again;
  again.loadPatchesFromFilesystem(folder.data.patchesStr());
  EXPECT_EQ(differences(listsOf(library, kCategoryList), listsOf(again, kCategoryList)), "");
  EXPECT_EQ(categoryTreeOf(library), categoryTreeOf(again));
  if (search.empty()) return;
  std::vector<std::string> expected;
  for (const auto& [f, s] : found) expected.push_back(seen(&folder.files[f][s]));
  std::vector<std::string> shown;
  for (int i = 0; i < library.bankCount(kSearchList); ++i)
    for (const LibrarianPatch& entry : library.bankAt(kSearchList, i)->patches) shown.push_back(seen(&entry.dumps.at(0).bytes));
  EXPECT_EQ(differences({{"", shown}}, {{"", expected}}), "") << "search " << search;
  if (!fresh) return;
  again.createNewSearchPatchFiles(search);
  EXPECT_EQ(differences(listsOf(library, kSearchList), listsOf(again, kSearchList)), "") << "search " << search;
}

// Three banks, the middle one short (80 sounds): Lead, Pad and Bass in turn,
// names "<letter>a<n>" from letters no padding sound's name holds.
Folder threeBanks() {
  Folder folder;
  const char* categories[] = {"Lead", "Pad", "Bass"};
  for (int b = 0; b < 3; ++b) {
    std::vector<Bytes> sounds;
    for (int i = 0; i < (b == 1 ? 80 : 100); ++i)
      sounds.push_back(sound(std::string(1, static_cast<char>('b' + b)) + "a" + std::to_string(i), categories[i % 3],
                             b * 100 + i));
    folder.add(std::move(sounds));
  }
  return folder;
}
}  // namespace

// One action, then the lists compared with a fresh load's (renames, moves
// and deletes come in the random run below).
TEST(ListsAfterEdits, EachActionLeavesTheListsOfAFreshLoad) {
  const struct {
    const char* label;
    std::function<void(PatchLibrarian&, Folder&)> act;
  } rows[] = {
      {"a sound stored after a short bank's last", [](PatchLibrarian& library, Folder& folder) {
         folder.files[1].push_back(sound("ca stored", "Bass", 11));
         store(library, 1, 80, folder.files[1].back());
       }},
      {"a category bank edited, then a rename it lists", [](PatchLibrarian& library, Folder& folder) {
         auto category = library.bankForEdit(kCategoryList, 0);
         ASSERT_NE(category, nullptr);
         category->patches.at(0) = library.entryAt(kSoundList, 2, 5);
         folder.files[0][0] = sound("ba first", "Lead", 21);
         store(library, 0, 0, folder.files[0][0]);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Folder folder = threeBanks();
    PatchLibrarian library;
    library.loadPatchesFromFilesystem(folder.data.patchesStr());
    library.createNewSearchPatchFiles("a1");
    const auto found = foundIn(folder, "a1");
    row.act(library, folder);
    for (size_t f = 0; f < folder.files.size(); ++f) folder.write(f);
    ASSERT_TRUE(library.refreshCategories());
    expectListsOfAFreshLoad(library, folder, "a1", found, false);
  }
}

// Save, Refresh Folders and Import read the folders again: a search open
// then lists what they hold now, as the same search of a fresh load does.
TEST(ListsAfterEdits, AReloadRunsTheOpenSearchAgain) {
  Folder folder = threeBanks();
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(folder.data.patchesStr());
  library.createNewSearchPatchFiles("a1");
  ASSERT_EQ(library.bankCount(kSearchList), 1);
  // A new file with five sounds the search finds, and one it lost.
  std::vector<Bytes> sounds;
  for (int i = 0; i < 100; ++i) sounds.push_back(sound((i % 20 ? "ex" : "ea1 new ") + std::to_string(i), "Keys", i));
  folder.add(std::move(sounds));
  folder.files[0][1] = sound("gone", "Pad", 1);
  folder.write(0);
  ASSERT_TRUE(library.initBankFilesOnDiscard(folder.data.patchesStr()));
  expectListsOfAFreshLoad(library, folder, "a1", foundIn(folder, "a1"), true);
  // A search closed is not run again.
  library.closeSearch();
  ASSERT_TRUE(library.initBankFilesOnDiscard(folder.data.patchesStr()));
  EXPECT_EQ(library.bankCount(kSearchList), 0);
}

// A seeded random run of edits and reloads with a search open: after each
// step the lists are those of a fresh load. A failure names its seed; a seed
// given in TARNIVEX_LISTS_SEED runs alone.
TEST(ListsAfterEdits, ARandomRunOfEditsAndReloads) {
  std::vector<unsigned> seeds = {1, 2, 3};
  if (const char* given = std::getenv("TARNIVEX_LISTS_SEED")) seeds = {static_cast<unsigned>(std::strtoul(given, nullptr, 10))};
  const char* categories[] = {"Lead", "Pad", "Bass", "Keys", "Init"};
  const char* searches[] = {"a1", "a2", "ba", "x"};
  for (const unsigned seed : seeds) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    Folder folder = threeBanks();
    PatchLibrarian library;
    library.loadPatchesFromFilesystem(folder.data.patchesStr());
    std::string search = "a1";
    library.createNewSearchPatchFiles(search);
    auto found = foundIn(folder, search);
    int made = 0;
    for (int step = 0; step < 24 && !::testing::Test::HasFailure(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const size_t action = pick(6);
      bool fresh = false;
      if (action <= 2) {
        // A sound stored: renamed, into another category, or after a
        // short bank's last.
        const size_t f = pick(folder.files.size());
        const size_t s = folder.files[f].size() < 100 && pick(2) ? folder.files[f].size() : pick(folder.files[f].size());
        const std::string category = categories[action == 0 ? 0 : pick(5)];
        ++made;
        const Bytes dump = sound(category == "Init" ? kInitName : "xa" + std::to_string(made), category, made);
        if (s == folder.files[f].size()) folder.files[f].push_back(dump);
        else folder.files[f][s] = dump;
        store(library, static_cast<int>(f), static_cast<int>(s), dump);
        folder.write(f);
        ASSERT_TRUE(library.refreshCategories());
      } else if (action == 3) {
        // Refresh Folders, a file added or changed on disk first.
        if (pick(2) && folder.files.size() < 6) {
          std::vector<Bytes> sounds;
          for (int i = 0; i < 80 + static_cast<int>(pick(20)); ++i)
            sounds.push_back(sound("fa" + std::to_string(i), categories[pick(4)], ++made));
          folder.add(std::move(sounds));
        }
        ASSERT_TRUE(library.initBankFilesOnDiscard(folder.data.patchesStr()));
        found = foundIn(folder, search);
        fresh = true;
      } else if (action == 4) {
        search = searches[pick(4)];
        library.createNewSearchPatchFiles(search);
        found = foundIn(folder, search);
        fresh = true;
      } else {
        // The categories built again with nothing edited change nothing.
        library.refreshCategories();
      }
      expectListsOfAFreshLoad(library, folder, search, found, fresh);
    }
  }
}

// The edits an edited bank holds are found whatever its length: a sound
// stored after a short bank's last, or a bank cut short, moves sounds
// between the category banks.
TEST(ListsAfterEdits, ABankGrownOrShortenedIsFoundEdited) {
  const auto bankOf = [](int count) {
    auto bank = std::make_shared<PatchFile>();
    for (int i = 0; i < count; ++i) {
      LibrarianPatch entry;
      entry.dumps.push_back({sound("s" + std::to_string(i), "Lead", i)});
      entry.parseCategory(386);
      bank->patches.push_back(entry);
    }
    return bank;
  };
  for (const auto& [before, after] : {std::pair{60, 61}, std::pair{61, 60}, std::pair{0, 1}}) {
    SCOPED_TRACE(std::to_string(before) + " to " + std::to_string(after));
    const BankList was = {bankOf(before)};
    const BankList now = {bankOf(after)};
    const BankEdits edits = editsSince({was, was}, now, now);
    EXPECT_TRUE(edits.moved || edits.unmapped);
  }
}

// A relist names its new banks wherever the tree names the old ones, at
// every level.
TEST(ListsAfterEdits, ARelistLeavesNoFolderOnABankItReleased) {
  auto sounds = std::make_shared<PatchFile>();
  for (int i = 0; i < 3; ++i) {
    LibrarianPatch entry;
    entry.dumps.push_back({sound("s" + std::to_string(i), "Lead", i)});
    entry.parseCategory(386);
    sounds->patches.push_back(entry);
  }
  auto generated = std::make_shared<PatchFile>();
  generated->fileName = "Lead 1";
  generated->folderName = "Lead";
  generated->listed = std::make_shared<ListedEntries>();
  for (std::uint32_t slot = 0; slot < 3; ++slot) generated->listed->add(sounds, slot);
  generated->listed->fromShared = false;
  generated->fillListed();
  BankList banks = {generated};
  FolderTree tree;
  SubFolderFiles second;
  second.name = "Lead";
  second.files.push_back(generated.get());
  SubFolderFiles2 third;
  third.name = "Deeper";
  third.files.push_back(generated.get());
  second.subFolders.push_back(third);
  std::string top = "Lead 1";
  tree.push_back(std::make_unique<FolderFiles>(top, second));
  tree.back()->files.push_back(generated.get());
  // The sound in slot 1 renamed.
  auto edited = std::make_shared<PatchFile>(*sounds);
  edited->patches[1].dumps[0].bytes = sound("renamed", "Lead", 1);
  const LibraryContents::ListedFrom from{{sounds}, {sounds}};
  ASSERT_TRUE(relist(banks, tree, from, {edited}, {0}));
  ASSERT_NE(banks[0].get(), generated.get());
  EXPECT_EQ(banks[0]->patches.at(1).dumps.at(0).bytes, edited->patches[1].dumps[0].bytes);
  const FolderFiles& node = *tree[0];
  EXPECT_EQ(node.files.at(0), banks[0].get());
  EXPECT_EQ(node.subFolders.at(0).files.at(0), banks[0].get());
  EXPECT_EQ(node.subFolders.at(0).subFolders.at(0).files.at(0), banks[0].get());
}

// A search put in while the categories were built stays: the build does not
// write back the results it took.
TEST(ListsAfterEdits, ASearchPutInDuringACategoryBuildStays) {
  Folder folder = threeBanks();
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(folder.data.patchesStr());
  library.createNewSearchPatchFiles("a1");
  folder.files[0][7] = sound("ba renamed", "Pad", 7);
  store(library, 0, 7, folder.files[0][7]);
  folder.write(0);
  bool once = true;
  library.hooks.listsBuilt = [&] {
    if (std::exchange(once, false)) library.createNewSearchPatchFiles("a2");
  };
  library.refreshCategories();
  library.hooks.listsBuilt = nullptr;
  PatchLibrarian again;
  again.loadPatchesFromFilesystem(folder.data.patchesStr());
  again.createNewSearchPatchFiles("a2");
  EXPECT_EQ(differences(listsOf(library, kSearchList), listsOf(again, kSearchList)), "");
  // The categories come with the next build.
  ASSERT_TRUE(library.refreshCategories());
  expectListsOfAFreshLoad(library, folder, "a2", foundIn(folder, "a2"), true);
}

// A split whose pieces cannot all take their names keeps its note, also
// when the load that takes it up cannot name them either: a later load
// names them, and every sound of the source is listed.
TEST(ListsAfterEdits, APieceNotNamedKeepsItsNote) {
  DataFolder data;
  writeFile(data.patches() / "Big.syx", soundFile("big", 250));
  // Every free name of the second piece is taken.
  std::vector<fs::path> taken = {data.patches() / "Big Singles 2.syx"};
  for (int n = 2; n <= 1000; ++n) taken.push_back(data.patches() / ("Big Singles 2 (" + std::to_string(n) + ").syx"));
  for (const fs::path& path : taken) writeFile(path, Bytes{0x00});
  {
    // The split, and the reload after it, which tries the name again.
    PatchLibrarian library;
    library.loadPatchesFromFilesystem(data.patchesStr());
  }
  for (const fs::path& path : taken) fs::remove(path);
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(data.patchesStr());
  std::set<std::string> listed;
  for (const auto& bank : library.contents().soundBanks)
    for (const LibrarianPatch& entry : bank->patches) listed.insert(entry.name);
  for (int i = 0; i < 250; ++i) EXPECT_TRUE(listed.count(numbered("big", i))) << i;
}

// A file put back is said to be put back, never left out.
TEST(ListsAfterEdits, AFilePutBackIsNotCalledLeftOut) {
  const std::vector<LibraryContents::LeftOut> back = {{"/x/Big.syx", kFoundHidden, false, true}};
  const LeftOutLines lines = leftOutLines(back);
  EXPECT_EQ(lines.count, "1 file put back");
  EXPECT_EQ(lines.files, std::vector<std::string>{"Big.syx (found hidden by a split)"});
  EXPECT_EQ(leftOutStatusText(back), "Put back: Big.syx (found hidden by a split)");
  const std::vector<LibraryContents::LeftOut> both = {back[0], {"/x/Two.syx", "too short"}};
  EXPECT_EQ(leftOutLines(both).count, "1 file left out of the library, 1 put back");
  EXPECT_EQ(leftOutStatusText(both), "Left out of the library: Two.syx (too short); put back: Big.syx (found hidden by a split)");
}

// A file that cannot be split (its cut sounds would make pieces too short to
// list) and holds more whole sounds than a bank: a bank of its first hundred
// is listed and sendable, and how many are not listed is said with why.
TEST(ListsAfterEdits, AFileThatCannotBeSplitSaysWhatItDoesNotList) {
  DataFolder data;
  const fs::path path = data.patches() / "Mixed.syx";
  writeFile(path, concat({soundFile("w", 250), concat(cutSoundDumps("c", 200, 100))}));
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(data.patchesStr());
  ASSERT_EQ(library.bankCount(kSoundList), 1);
  const auto bank = library.bankAt(kSoundList, 0);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(bank->patches.at(static_cast<size_t>(i)).name, numbered("w", i));
    EXPECT_TRUE(bank->patches[static_cast<size_t>(i)].sendable(false)) << i;
  }
  const std::string why = "150 of 250 sounds not listed, not split: dumps cut short, a piece would be too short";
  std::string said;
  EXPECT_EQ(library.entriesNotListed(path.string(), &said), 150u);
  EXPECT_EQ(said, why);
  const LeftOutLines lines = leftOutLines(library.contents().leftOut);
  EXPECT_EQ(lines.count, "1 file read with a fault, 150 entries not listed");
  EXPECT_EQ(lines.files, std::vector<std::string>{"Mixed.syx (" + why + ")"});
  // The file stays whole: a save of the bank asks, and keeps both.
  library.librarianMode = 0;
  library.upperBank = 0;
  const Bytes before = readFile(path);
  ASSERT_TRUE(library.saveEditedPatch(path.string(), "Mixed.syx"));
  EXPECT_EQ(readFile(path), before);
}
