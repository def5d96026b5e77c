// Loading a real library folder: which files are read and in what order,
// the browser trees, the category and search banks, and the splitting of
// oversized files into "Converted Banks".
#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "LibraryTestSupport.h"
#include "UserFiles.h"

namespace {
// A tree as text: "node[sub[sub2:files]:files]:files" per node.
std::string shape(const FolderTree& tree) {
  std::string out;
  auto files = [](const std::vector<PatchFile*>& f) {
    std::string s;
    for (const auto* b : f) s += (s.empty() ? "" : ",") + b->fileName;
    return s;
  };
  for (const auto& node : tree) {
    out += "{" + node->name;
    for (const auto& sub : node->subFolders) {
      out += "[" + sub.name;
      for (const auto& sub2 : sub.subFolders) out += "(" + sub2.name + ":" + files(sub2.files) + ")";
      out += ":" + files(sub.files) + "]";
    }
    out += ":" + files(node->files) + "}";
  }
  return out;
}

std::shared_ptr<PatchFile> bankIn(std::vector<std::string> dirs, const std::string& file) {
  auto bank = std::make_shared<PatchFile>();
  bank->fileName = file;
  bank->folderName = dirs.empty() ? "" : dirs.back();
  bank->directories = std::move(dirs);
  return bank;
}
}  // namespace

TEST(LibraryLoad, ReadsDeeperFoldersFirstAndFilesInByteOrder) {
  DataFolder data;
  const auto p = data.patches();
  writeFile(p / "A/X/one.syx", soundFile("one", 100));
  writeFile(p / "A/two.syx", soundFile("two", 100));
  writeFile(p / "three.syx", soundFile("three", 100));
  writeFile(p / "arp.syx", soundFile("arp", 100));
  writeFile(p / "Bank.syx", soundFile("Bank", 100));
  writeFile(p / "b0.syx", soundFile("b0", 100));
  writeFile(p / "B1.mid", soundFile("B1", 100));
  LoggedLibrary l(data.patchesStr());
  auto guard = l.library.lock();
  const auto& c = l.library.contents();
  EXPECT_EQ(names(c.soundBanks),
            (std::vector<std::string>{"one.syx", "two.syx", "B1.mid", "Bank.syx", "arp.syx", "b0.syx", "three.syx"}));
  EXPECT_EQ(c.folders.back(), data.patchesStr());
  EXPECT_EQ(c.soundBanks[0]->directories, (std::vector<std::string>{"Patches", "A", "X"}));
  EXPECT_EQ(c.soundBanks[0]->folderName, "X");
  EXPECT_EQ(c.soundBanks[6]->directories, (std::vector<std::string>{"Patches"}));
  EXPECT_EQ(c.soundBanks[6]->folderName, "Patches");
}

TEST(LibraryLoad, AcceptsBankFilesByExtensionAndSize) {
  struct Case {
    const char* file;
    Bytes data;
    bool listed;
  };
  const Bytes bank = soundFile("x", 100);
  Bytes exact = soundFile("x", 76);
  exact.resize(30001, 0x00);
  Bytes tooSmall = exact;
  tooSmall.resize(30000);
  const std::vector<Case> cases = {
      {"FACTORY.SYX", bank, true}, {"Set.Mid", bank, true},      {"own.TVX", bank, true},
      {"bank.sysex", bank, false}, {"bank", bank, false},        {"bank.txt", bank, false},
      {"exact.syx", exact, true},  {"small.syx", tooSmall, false},
  };
  DataFolder data;
  for (const auto& c : cases) writeFile(data.patches() / c.file, c.data);
  LoggedLibrary l(data.patchesStr());
  const auto listed = names(l.library.contents().soundBanks);
  for (const auto& c : cases)
    EXPECT_EQ(std::count(listed.begin(), listed.end(), c.file), c.listed ? 1 : 0) << c.file;
}

TEST(FolderTrees, HangBanksByTheirOwnFolderName) {
  struct Case {
    const char* label;
    std::vector<std::pair<std::vector<std::string>, std::string>> banks;
    std::string tree;
  };
  const std::vector<Case> cases = {
      {"deeper first, then root",
       {{{"Patches", "Synth", "Leads"}, "a"}, {{"Patches", "Synth"}, "b"}, {{"Patches"}, "c"}, {{"Patches"}, "d"}},
       "{[Synth(Leads:a):b]:}{Patches:c,d}"},
      {"leads of two first-level folders share one record",
       {{{"Patches", "Synth", "Leads"}, "a"}, {{"Patches", "Old", "Leads"}, "b"}, {{"Patches", "Old"}, "o"}},
       "{[Synth(Leads:a,b):]:}{[Old:o]:}"},
      {"two sub-folders give two nodes, a bank of Synth joins both",
       {{{"Patches", "Synth", "Leads"}, "a"}, {{"Patches", "Synth", "Pads"}, "b"}, {{"Patches", "Synth"}, "s"}},
       "{[Synth(Leads:a):s]:}{[Synth(Pads:b):s]:}"},
      {"depth 3 stays out", {{{"Patches", "A", "B", "C"}, "deep"}}, ""},
  };
  for (const auto& c : cases) {
    PatchLibrarian library;
    std::vector<std::shared_ptr<PatchFile>> keep;
    for (const auto& [dirs, file] : c.banks) {
      keep.push_back(bankIn(dirs, file));
      library.createSingleFolderFilesStructure(keep.back().get());
    }
    EXPECT_EQ(shape(library.contents().soundTree), c.tree) << c.label;
    EXPECT_TRUE(library.contents().multiTree.empty());
  }
  PatchLibrarian library;
  auto twice = bankIn({"Patches"}, "t");
  library.createMultiFolderFilesStructure(twice.get());
  library.createMultiFolderFilesStructure(twice.get());
  EXPECT_EQ(shape(library.contents().multiTree), "{Patches:t,t}");
}

TEST(LibraryLoad, AWholeFixtureTreeGivesItsListsTreesAndCategories) {
  DataFolder data;
  const auto p = data.patches();
  writeFile(p / "Synth/Leads/a.syx", soundFile("lead", 100, "Lead"));
  writeFile(p / "Synth/b.syx", concat({soundFile("bass", 40, "Bass"), soundFile("BASS", 40, "BASS")}));
  writeFile(p / "Multis/m.syx", multiFile("multi", 80));
  writeFile(p / "A/B/C/deep.mid", soundFile("deep", 100, "Deep"));
  writeFile(p / "root.syx", soundFile("root", 100, "Pad "));
  writeFile(p / "empty.syx", Bytes(40000, 0x00));
  writeFile(p / "notes.txt", Bytes(40000, 0x41));
  fs::create_directory_symlink(p, p / "Synth/loop");
  // A link to the data folder leads to "Converted Banks", which is no part
  // of the library: its oversized source stays there, unread and unsplit.
  fs::create_directory_symlink(data.root, p / "Multis/data");
  writeFile(data.converted() / "Old.syx", soundFile("old", 150));
  // A sparse file over the size limit costs no disk.
  {
    const int fd = ::open((p / "huge.syx").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxBankFileSize) + 1), 0);
    ::close(fd);
  }
  LoggedLibrary l(data.patchesStr());
  const auto& c = l.library.contents();
  // Sibling folders come in the system's listing order: only the order by
  // depth is fixed.
  const auto sounds = names(c.soundBanks);
  EXPECT_EQ(std::set<std::string>(sounds.begin(), sounds.end()),
            (std::set<std::string>{"a.syx", "b.syx", "deep.mid", "root.syx"}));
  EXPECT_EQ(sounds.back(), "root.syx");
  EXPECT_LT(std::find(sounds.begin(), sounds.end(), "a.syx"), std::find(sounds.begin(), sounds.end(), "b.syx"));
  EXPECT_EQ(names(c.multiBanks), (std::vector<std::string>{"m.syx"}));
  for (const auto& b : c.soundBanks) EXPECT_EQ(b->patches.size(), 100u);
  EXPECT_EQ(shape(c.multiTree), "{[Multis:m.syx]:}");
  const std::string soundTree = shape(c.soundTree);
  EXPECT_NE(soundTree.find("{[Synth(Leads:a.syx):b.syx]:}"), std::string::npos) << soundTree;
  // A file without a dump is named, not offered.
  EXPECT_NE(soundTree.find("{Patches:root.syx}"), std::string::npos) << soundTree;
  EXPECT_EQ(l.count("PATCH LIBRARIAN: left out file " + (p / "empty.syx").string() + " (no sounds found)"), 1);
  EXPECT_EQ(soundTree.find("deep"), std::string::npos);
  EXPECT_EQ(l.count("PATCH LIBRARIAN: file too large to load "), 1);
  EXPECT_EQ(l.count("PATCH LIBRARIAN: loading file "), 6);  // each bank file once, none through the links

  // Init comes first; BASS folds into Bass; the padded bank brings the
  // empty category; "Pad " keeps its blank.
  EXPECT_EQ(c.categoryNames.at(0), "Init");
  EXPECT_EQ(std::set<std::string>(c.categoryNames.begin(), c.categoryNames.end()),
            (std::set<std::string>{"Init", "Lead", "Bass", "", "Pad ", "Deep"}));
  std::map<std::string, size_t> sizes;
  for (int i = 0; i < l.library.bankCount(kCategoryList); ++i) {
    const auto b = l.library.bankAt(kCategoryList, i);
    sizes[b->fileName + "|" + b->folderName] = b->patches.size();
  }
  EXPECT_EQ(sizes, (std::map<std::string, size_t>{
                       {"Lead 1|Lead", 100}, {"Bass 1|Bass", 40}, {" 1|", 20}, {"Pad  1|Pad ", 100}, {"Deep 1|Deep", 100}}));
  const std::string categoryTree = shape(c.categoryTree);
  for (const char* node : {"{Lead 1[Lead:Lead 1]:}", "{Bass 1[Bass:Bass 1]:}", "{ 1[: 1]:}", "{Pad  1[Pad :Pad  1]:}"})
    EXPECT_NE(categoryTree.find(node), std::string::npos) << node;

  // A second load gives the same library.
  const std::string before = shape(c.soundTree) + shape(c.categoryTree);
  l.library.initBankFilesOnDiscard(data.patchesStr());
  EXPECT_EQ(shape(l.library.contents().soundTree) + shape(l.library.contents().categoryTree), before);
  EXPECT_EQ(names(l.library.contents().soundBanks), sounds);
  EXPECT_EQ(filesBelow(data.converted()), std::vector<std::string>{"Old.syx"});
  EXPECT_EQ(l.count("PATCH LIBRARIAN: loading file "), 12);
}

TEST(LibraryLoad, AMissingFolderLeavesTheLibraryEmpty) {
  DataFolder data;
  LoggedLibrary l((data.root / "Nowhere").string());
  EXPECT_EQ(l.log, (std::vector<std::string>{"PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER..."}));
  EXPECT_TRUE(l.library.contents().soundBanks.empty());
  EXPECT_TRUE(l.library.contents().categoryNames.empty());
}

TEST(Categories, BanksOfAHundredInNameListOrder) {
  PatchLibrarian library;
  auto bank = std::make_shared<PatchFile>();
  Bytes image = concat({soundFile("l", 250, "Lead"), soundFile("p", 100, "Pad")});
  library.loadFromChunk(image, static_cast<int>(image.size()), bank.get());
  bank->shared = true;  // as a load holds it: it never changes
  {
    auto guard = library.lock();
    library.contents().soundBanks.push_back(bank);
  }
  library.createNewCategoryPatchFiles();
  const auto& c = library.contents();
  EXPECT_EQ(names(c.categoryBanks), (std::vector<std::string>{"Lead 1", "Lead 2", "Lead 3", "Pad 1"}));
  // The banks list the sounds: their entries are made when a bank is read.
  for (const auto& b : c.categoryBanks) EXPECT_TRUE(b->patches.empty()) << b->fileName;
  EXPECT_EQ(library.bankAt(kCategoryList, 2)->patches.size(), 50u);
  EXPECT_EQ(library.bankAt(kCategoryList, 3)->patches.size(), 100u);
  const auto lead2 = library.bankAt(kCategoryList, 1);
  EXPECT_EQ(lead2->patches[0].name, numbered("l", 100));
  ASSERT_EQ(lead2->patches[99].dumps.size(), 1u);
  // As read: the slot byte is the file's slot 99, and the checksum the sum of
  // bytes 4 to 389.
  Bytes expected = soundDump(numbered("l", 199), "Lead", 199 & 0x7F);
  expected[5] = 99;
  unsigned sum = 0;
  for (size_t i = 4; i < 390; ++i) sum += expected[i];
  expected[390] = static_cast<unsigned char>(sum & 0x7F);
  EXPECT_EQ(lead2->patches[99].dumps[0].bytes, expected);
  EXPECT_EQ(lead2->patches[99].category, "Lead");
  EXPECT_EQ(library.bankHeaderAt(kCategoryList, 0)->patches.size(), 0u);  // names only: still not made
  EXPECT_EQ(shape(c.categoryTree), "{Lead 1[Lead:Lead 1,Lead 2,Lead 3]:}{Pad 1[Pad:Pad 1]:}");
  library.clearDataStructures(5);
  EXPECT_EQ(c.categoryTree.size(), 2u);
  library.clearDataStructures(2);
  EXPECT_TRUE(c.categoryTree.empty());
  EXPECT_EQ(c.categoryBanks.size(), 4u);
}

// "Init" heads the name list only so that init sounds get no bank of their
// own: the lower pane's category menu offers no "Init" bank.
TEST(Categories, SoundsOfCategoryInitGetNoBank) {
  DataFolder data;
  writeFile(data.patches() / "Mixed.syx",
            concat({soundFile("i", 30, "Init"), soundFile("l", 60, "Lead"), soundFile("n", 10, "init")}));
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(data.patchesStr());
  const auto& c = library.contents();
  EXPECT_EQ(c.categoryNames, (std::vector<std::string>{"Init", "Lead"}));
  EXPECT_EQ(names(c.categoryBanks), std::vector<std::string>{"Lead 1"});
  EXPECT_EQ(shape(c.categoryTree), "{Lead 1[Lead:Lead 1]:}");
}

// The lists are built apart and put in whole: a build that a change
// overtook (a bank taken for an edit, a later build put in first) puts in
// nothing, and the next one lists what is there.
TEST(Categories, ABuildOvertakenByAChangePutsInNothing) {
  DataFolder data;
  writeFile(data.patches() / "One.syx", soundFile("o", 100, "Lead"));
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(data.patchesStr());
  ASSERT_EQ(names(library.contents().categoryBanks), std::vector<std::string>{"Lead 1"});
  std::function<void()> meanwhile;
  library.hooks.listsBuilt = [&] {
    if (meanwhile) std::exchange(meanwhile, nullptr)();
  };
  std::shared_ptr<PatchFile> edited;
  meanwhile = [&] {
    edited = library.bankForEdit(kSoundList, 0);
    edited->patches[5].category = "Bass";
  };
  EXPECT_FALSE(library.refreshCategories());
  EXPECT_EQ(names(library.contents().categoryBanks), std::vector<std::string>{"Lead 1"});
  EXPECT_TRUE(library.refreshCategories());
  EXPECT_EQ(names(library.contents().categoryBanks), (std::vector<std::string>{"Lead 1", "Bass 1"}));
  // The tree comes with the banks: one left from before would name banks gone
  // with it (read here under the address sanitizer).
  EXPECT_EQ(shape(library.contents().categoryTree), "{Lead 1[Lead:Lead 1]:}{Bass 1[Bass:Bass 1]:}");
  meanwhile = [&] {
    edited->patches[6].category = "Keys";
    EXPECT_TRUE(library.refreshCategories());
  };
  EXPECT_FALSE(library.refreshCategories());
  EXPECT_EQ(names(library.contents().categoryBanks), (std::vector<std::string>{"Lead 1", "Bass 1", "Keys 1"}));
  EXPECT_EQ(shape(library.contents().categoryTree), "{Lead 1[Lead:Lead 1]:}{Bass 1[Bass:Bass 1]:}{Keys 1[Keys:Keys 1]:}");
  EXPECT_EQ(library.bankAt(kCategoryList, 2)->patches.at(0).name, numbered("o", 6));
  // A search started later and put in first stays.
  meanwhile = [&] { library.createNewSearchPatchFiles(numbered("o", 6)); };
  library.createNewSearchPatchFiles("none such");
  ASSERT_EQ(library.bankCount(kSearchList), 1);
  EXPECT_EQ(library.bankAt(kSearchList, 0)->patches.at(0).name, numbered("o", 6));
}

// An edit that keeps each sound in its category lists the edited sounds anew
// where they were, in the category banks and in a search's results; one
// that moves a sound to another category lists the categories anew. No other
// sound moves or changes either way.
TEST(Categories, AnEditedSoundIsListedAnewInItsPlace) {
  DataFolder data;
  // Three banks, their sounds Lead and Pad in turn.
  const std::string prefixes[] = {"a", "b", "c"};
  std::vector<std::vector<std::string>> name(3), category(3);
  for (int b = 0; b < 3; ++b) {
    std::vector<Bytes> dumps;
    for (int i = 0; i < 100; ++i) {
      name[b].push_back(numbered(prefixes[b], i));
      category[b].push_back(i % 2 ? "Pad" : "Lead");
      dumps.push_back(soundDump(name[b].back(), category[b].back()));
    }
    writeFile(data.patches() / (prefixes[b] + ".syx"), concat(dumps));
  }
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(data.patchesStr());
  library.createNewSearchPatchFiles("1");
  // The sounds the search found, by bank and slot: names holding a 1.
  std::vector<std::pair<int, int>> found;
  for (int b = 0; b < 3; ++b)
    for (int i = 0; i < 100; ++i)
      if (name[b][static_cast<size_t>(i)].find('1') != std::string::npos) found.emplace_back(b, i);
  // Each bank of a list with the names of its entries.
  const auto listOf = [&](int list) {
    std::vector<std::pair<std::string, std::vector<std::string>>> banks;
    for (int i = 0; i < library.bankCount(list); ++i) {
      const auto bank = library.bankAt(list, i);
      banks.push_back({bank->fileName, {}});
      for (const LibrarianPatch& entry : bank->patches) banks.back().second.push_back(entry.name);
    }
    return banks;
  };
  struct Edit {
    int bank, slot;
    const char* name;
    const char* category;
  };
  const struct {
    const char* what;
    std::vector<Edit> edits;
  } rows[] = {
      {"a rename in the first bank", {{0, 10, "Renamed A", "Lead"}}},
      {"a rename in the last bank", {{2, 11, "Renamed C", "Pad"}}},
      {"the same sound renamed again", {{2, 11, "Renamed again", "Pad"}}},
      {"two banks at once", {{0, 21, "Two A", "Pad"}, {1, 31, "Two B", "Pad"}}},
      {"a sound not found, renamed", {{1, 2, "Not found", "Lead"}}},
      {"a sound into another category", {{1, 12, "Moved", "Pad"}}},
      {"a rename after the move", {{1, 14, "After", "Lead"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    // As the rename field's dump or the instrument's lands in the slot.
    for (const Edit& edit : row.edits) {
      auto& slotName = name[static_cast<size_t>(edit.bank)][static_cast<size_t>(edit.slot)];
      slotName = edit.name;
      slotName.resize(16, ' ');
      category[static_cast<size_t>(edit.bank)][static_cast<size_t>(edit.slot)] = edit.category;
      LibrarianPatch entry;
      entry.dumps.push_back({soundDump(slotName, edit.category)});
      entry.name = slotName;
      entry.parseCategory(386);
      library.upperBank = edit.bank;
      library.targetSlot = edit.slot;
      ASSERT_TRUE(library.setSysexDatatoSelectedSlot(&entry, library.targetSlot));
    }
    ASSERT_TRUE(library.refreshCategories());
    // Every sound of a category in bank and slot order, in banks of 100.
    std::vector<std::pair<std::string, std::vector<std::string>>> categories;
    for (const std::string cat : {"Lead", "Pad"}) {
      std::vector<std::string> sounds;
      for (int b = 0; b < 3; ++b)
        for (size_t i = 0; i < 100; ++i)
          if (category[static_cast<size_t>(b)][i] == cat) sounds.push_back(name[static_cast<size_t>(b)][i]);
      for (size_t first = 0; first < sounds.size(); first += 100)
        categories.push_back({cat + " " + std::to_string(first / 100 + 1),
                              {sounds.begin() + static_cast<long>(first),
                               sounds.begin() + static_cast<long>(std::min(sounds.size(), first + 100))}});
    }
    EXPECT_EQ(listOf(kCategoryList), categories);
    std::vector<std::string> results;
    for (const auto& [b, i] : found) results.push_back(name[static_cast<size_t>(b)][static_cast<size_t>(i)]);
    ASSERT_EQ(listOf(kSearchList).size(), 1u);
    EXPECT_EQ(listOf(kSearchList)[0].second, results);
  }
}

TEST(Search, FindsNamesByteForByteInRunsOfAHundred) {
  PatchLibrarian library;
  auto sounds = std::make_shared<PatchFile>();
  for (int i = 0; i < 101; ++i) {
    LibrarianPatch e;
    e.dumps.push_back({soundDump(numbered("pad", i), "Pad")});
    e.name = numbered("pad", i);
    e.category = "Pad";
    sounds->patches.push_back(e);
  }
  LibrarianPatch three;
  for (const char* n : {"Pad Strings", "x", "y"}) three.dumps.push_back({soundDump(n)});
  three.name = three.dumps[0].bytes.size() ? std::string(three.dumps[0].bytes.begin() + 370, three.dumps[0].bytes.begin() + 386) : "";
  sounds->patches.push_back(three);
  auto multis = std::make_shared<PatchFile>();
  multis->bankType = 1;
  LibrarianPatch multi;
  multi.dumps.push_back({multiDump("pad multi")});
  multi.name = "pad multi       ";
  multis->patches.push_back(multi);
  {
    auto guard = library.lock();
    library.contents().soundBanks = {sounds};
    library.contents().multiBanks = {multis};
  }
  struct Case {
    const char* text;
    std::vector<size_t> sizes;
  };
  // As built, and as a load holds the banks: shared, with their name index.
  for (const bool indexed : {false, true})
  for (const Case& c : {Case{"pad", {100, 1}}, Case{"Pad", {1}}, Case{"PAD", {}}, Case{" Str", {1}},
                        Case{"d99 ", {1}}, Case{"Lead", {}}, Case{"Strings     ", {1}}, Case{"  pad1", {}},
                        Case{"pAd", {}}, Case{"pad1            x", {}}, Case{"d1", {12}}}) {
    SCOPED_TRACE(indexed ? "indexed" : "not indexed");
    sounds->shared = indexed;
    if (indexed) sounds->indexNames();
    library.createNewSearchPatchFiles(c.text);
    const auto& found = library.contents().searchBanks;
    std::vector<size_t> sizes;
    for (int i = 0; i < library.bankCount(kSearchList); ++i) sizes.push_back(library.bankAt(kSearchList, i)->patches.size());
    EXPECT_EQ(sizes, c.sizes) << c.text;
    if (!found.empty()) {
      EXPECT_EQ(found[0]->fileName, "Search Results 1");
      EXPECT_EQ(found[0]->folderName, "Patches");
      EXPECT_EQ(library.contents().searchTree.size(), 1u);
      EXPECT_EQ(library.contents().searchTree[0]->files.size(), found.size());
    }
  }
  library.createNewSearchPatchFiles("Pad St");
  const auto& hit = library.bankAt(kSearchList, 0)->patches.at(0);
  EXPECT_EQ(hit.dumps.size(), 2u);  // first two of three
  EXPECT_EQ(hit.typeCode, 0);
  EXPECT_EQ(hit.category, "Lead");
}

// ---- Splitting.

struct SplitCase {
  const char* label;
  const char* source;
  Bytes data;
  std::vector<std::string> written;  // next to the source
  std::vector<std::string> soundBanks;
  std::vector<std::string> multiBanks;
};

std::vector<SplitCase> splitCases() {
  return {
      {"250 sounds",
       "Factory.SYX",
       soundFile("f", 250),
       {"Factory Singles 1.syx", "Factory Singles 2.syx", "Factory Singles 3.syx"},
       {"Factory Singles 1.syx", "Factory Singles 2.syx", "Factory Singles 3.syx"},
       {}},
      {"300 sounds and 100 multis as a MIDI file",
       "All.mid",
       concat({soundFile("s", 300), multiFile("m", 100)}),
       {"All Multis.mid", "All Singles 1.mid", "All Singles 2.mid", "All Singles 3.mid"},
       {"All Singles 1.mid", "All Singles 2.mid", "All Singles 3.mid"},
       {"All Multis.mid"}},
      {"250 multis keep every hundred",
       "Perf.tvx",
       multiFile("m", 250),
       {"Perf Multis 2.tvx", "Perf Multis 3.tvx", "Perf Multis.tvx"},
       {},
       {"Perf Multis 2.tvx", "Perf Multis 3.tvx", "Perf Multis.tvx"}},
  };
}

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, WritesBanksOfAHundredMovesTheSourceAndReloadsOnce) {
  const SplitCase& c = GetParam();
  DataFolder data;
  writeFile(data.patches() / "Big" / c.source, c.data);
  LoggedLibrary l(data.patchesStr());
  std::vector<std::string> written;
  for (const auto& f : filesBelow(data.patches() / "Big")) written.push_back(f);
  EXPECT_EQ(written, c.written);
  EXPECT_EQ(filesBelow(data.converted()), (std::vector<std::string>{c.source}));
  EXPECT_EQ(readFile(data.converted() / c.source), c.data);
  EXPECT_EQ(l.count("PATCH LIBRARIAN: moved file "), 1);
  // The source once, then each new file once by the one reload.
  EXPECT_EQ(l.count("PATCH LIBRARIAN: loading file "), 1 + static_cast<int>(c.written.size()));
  const auto& lib = l.library.contents();
  EXPECT_EQ(names(lib.soundBanks), c.soundBanks);
  EXPECT_EQ(names(lib.multiBanks), c.multiBanks);
  std::set<std::string> unique;
  for (const auto& b : lib.categoryBanks) EXPECT_TRUE(unique.insert(b->fileName).second) << b->fileName;
  for (const auto& f : c.written) {
    PatchLibrarian reader;
    PatchFile bank;
    const Bytes image = readFile(data.patches() / "Big" / f);
    reader.loadFromChunk(image, static_cast<int>(image.size()), &bank);
    EXPECT_EQ(bank.patches.size(), 100u) << f;
    if (f.ends_with(".mid")) {
      EXPECT_TRUE(parseSmf(image).ok) << f;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Library, Split, ::testing::ValuesIn(splitCases()), LabelName);

TEST(SplitMove, KeepsAnEarlierOriginalOfTheSameName) {
  DataFolder data;
  writeFile(data.patches() / "One/Factory.syx", soundFile("one", 150));
  writeFile(data.patches() / "Two/Factory.syx", soundFile("two", 120));
  LoggedLibrary l(data.patchesStr());
  EXPECT_EQ(filesBelow(data.converted()), (std::vector<std::string>{"Factory (2).syx", "Factory.syx"}));
  EXPECT_EQ(l.library.contents().soundBanks.size(), 4u);
}

// Where the source cannot go into "Converted Banks" (a file there), the
// split is not made: the file stays as it is, its first hundred sounds are
// listed and the rest said, and no load writes a file beside it.
TEST(SplitMove, AnOriginalThatCannotBeMovedIsNotSplit) {
  DataFolder data;
  writeFile(data.converted(), Bytes{1});  // a file where the folder should be
  writeFile(data.patches() / "Factory.syx", soundFile("f", 150));
  const std::string why = "not split: Converted Banks: Not a directory";
  for (int load = 0; load < 3; ++load) {
    LoggedLibrary l(data.patchesStr());
    EXPECT_EQ(l.count("PATCH LIBRARIAN: moved file "), 0);
    EXPECT_EQ(l.shown, std::vector<std::string>{"Factory.syx not split! / Converted Banks: Not a directory"});
    ASSERT_EQ(names(l.library.contents().soundBanks), std::vector<std::string>{"Factory.syx"});
    const auto& listed = l.library.contents().soundBanks[0]->patches;
    for (int i = 0; i < 100; ++i) EXPECT_EQ(listed[static_cast<size_t>(i)].name, numbered("f", i));
    std::string reason;
    EXPECT_EQ(l.library.entriesNotListed((data.patches() / "Factory.syx").string(), &reason), 50u);
    EXPECT_EQ(reason, "50 of 150 sounds not listed, " + why);
  }
  EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{"Factory.syx"});
  EXPECT_EQ(readFile(data.patches() / "Factory.syx"), soundFile("f", 150));
  EXPECT_EQ(readFile(data.converted()), Bytes{1});
}

// The folder is read once for every instance holding its load, and the load
// is kept when the last of them closes; an edit stays in its instance; a
// reload is what instances made later get.
TEST(SharedLoads, OneReadingForAllAndEditsStayWithTheirInstance) {
  DataFolder data;
  writeFile(data.patches() / "one.syx", soundFile("one", 100));
  writeFile(data.patches() / "Sub/two.syx", soundFile("two", 100));
  auto first = std::make_unique<PatchLibrarian>();
  first->loadSharedPatches(data.patchesStr() + "/");
  auto second = std::make_unique<PatchLibrarian>();
  second->loadSharedPatches(data.patchesStr());
  ASSERT_EQ(second->bankCount(kSoundList), 2);
  EXPECT_EQ(first->bankAt(kSoundList, 0).get(), second->bankAt(kSoundList, 0).get());
  EXPECT_EQ(first->bankAt(kCategoryList, 0).get(), second->bankAt(kCategoryList, 0).get());

  LibrarianPatch received;
  received.name = "Received        ";
  received.dumps.push_back({soundDump("Received")});
  first->librarianMode = 0;
  first->upperBank = 0;
  first->targetSlot = 5;
  const std::string before = first->bankAt(kSoundList, 0)->patches[5].name;
  ASSERT_TRUE(first->setSysexDatatoSelectedSlot(&received, first->targetSlot));
  EXPECT_EQ(first->bankAt(kSoundList, 0)->patches[5].name, "Received        ");
  EXPECT_EQ(second->bankAt(kSoundList, 0)->patches[5].name, before);
  EXPECT_EQ(first->contents().soundTree.size(), second->contents().soundTree.size());

  // Every instance closed: the next one made takes the same load.
  const std::weak_ptr<PatchFile> kept = second->bankAt(kSoundList, 0);
  first.reset();
  second.reset();
  ASSERT_FALSE(kept.expired());
  PatchLibrarian third;
  third.loadSharedPatches(data.patchesStr());
  EXPECT_EQ(third.bankAt(kSoundList, 0), kept.lock());
  EXPECT_EQ(third.bankAt(kSoundList, 0)->patches[5].name, before);

  // A reload reads the folder and is what instances made later get.
  third.initBankFilesOnDiscard(data.patchesStr());
  PatchLibrarian fourth;
  fourth.loadSharedPatches(data.patchesStr());
  EXPECT_EQ(fourth.bankCount(kSoundList), 2);
  EXPECT_EQ(fourth.bankAt(kSoundList, 0).get(), third.bankAt(kSoundList, 0).get());
  EXPECT_NE(fourth.bankAt(kSoundList, 0), kept.lock());
}

// A load is handed out again only while its folders and bank files are as
// they were: after a change the next instance reads the folder, and the
// instance made before keeps what it shows.
struct StaleCase {
  std::string label;
  std::function<void(const DataFolder&)> change;
  std::vector<std::string> banks;  // the file names the next instance lists
  std::string firstName;           // slot 0 of one.syx there
};

TEST(SharedLoads, AChangedFolderOrFileIsReadAgainByTheNextInstance) {
  const std::string one = numbered("one", 0);
  const StaleCase rows[] = {
      {"nothing changed", [](const DataFolder&) {}, {"two.syx", "one.syx"}, one},
      {"file added", [](const DataFolder& d) { writeFile(d.patches() / "three.syx", soundFile("three", 100)); },
       {"two.syx", "one.syx", "three.syx"}, one},
      {"file added in a new folder",
       [](const DataFolder& d) { writeFile(d.patches() / "Sub/New/four.syx", soundFile("four", 100)); },
       {"four.syx", "two.syx", "one.syx"}, one},
      {"file written in place", [](const DataFolder& d) { writeFile(d.patches() / "one.syx", soundFile("new", 100)); },
       {"two.syx", "one.syx"}, numbered("new", 0)},
      {"file written through the library's writer",
       [](const DataFolder& d) {
         PatchLibrarian writer;
         writer.loadSharedPatches(d.patchesStr());
         LibrarianPatch saved;
         saved.name = "Saved           ";
         saved.dumps.push_back({soundDump("Saved")});
         writer.upperBank = 1;  // one.syx, after Sub/two.syx
         writer.targetSlot = 0;
         ASSERT_TRUE(writer.setSysexDatatoSelectedSlot(&saved, writer.targetSlot));
         // No forgetSharedLoad: the file's stamp alone tells.
         ASSERT_TRUE(writer.saveEditedPatch((d.patches() / "one.syx").string(), "one.syx"));
       },
       {"two.syx", "one.syx"}, "Saved           "},
      {"file removed", [](const DataFolder& d) { fs::remove(d.patches() / "Sub/two.syx"); }, {"one.syx"}, one},
      {"file grown past the least bank size",
       [](const DataFolder& d) { writeFile(d.patches() / "tiny.syx", soundFile("tiny", 100)); },
       {"two.syx", "one.syx", "tiny.syx"}, one},
  };
  for (const StaleCase& row : rows) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    writeFile(data.patches() / "one.syx", soundFile("one", 100));
    writeFile(data.patches() / "Sub/two.syx", soundFile("two", 100));
    writeFile(data.patches() / "tiny.syx", soundFile("tiny", 1));  // under the size floor: not a bank
    PatchLibrarian before;
    before.loadSharedPatches(data.patchesStr());
    ASSERT_EQ(names(before.contents().soundBanks), (std::vector<std::string>{"two.syx", "one.syx"}));
    row.change(data);
    PatchLibrarian after;
    after.loadSharedPatches(data.patchesStr());
    auto guard = after.lock();
    EXPECT_EQ(names(after.contents().soundBanks), row.banks);
    for (const auto& bank : after.contents().soundBanks)
      if (bank->fileName == "one.syx") {
        EXPECT_EQ(bank->patches[0].name, row.firstName);
      }
    const bool same = row.label == "nothing changed";
    EXPECT_EQ(after.bankAt(kSoundList, 0) == before.bankAt(kSoundList, 0), same);
    EXPECT_EQ(names(before.contents().soundBanks), (std::vector<std::string>{"two.syx", "one.syx"}));
  }
}

// The load runs on a worker: the call returns with the library empty, the
// banks arrive once, and what waits for them waits off the caller's thread.
TEST(SharedLoads, ABackgroundLoadArrivesOnAWorker) {
  DataFolder data;
  writeFile(data.patches() / "one.syx", soundFile("bg", 100));
  std::mutex logMutex;
  std::vector<std::thread::id> loggers;
  std::vector<std::string> lines;
  {
    PatchLibrarian library;
    library.hooks.debugLog = [&](const std::string& line) {
      std::lock_guard<std::mutex> guard(logMutex);
      loggers.push_back(std::this_thread::get_id());
      lines.push_back(line);
    };
    PatchLibrarian second;
    LoadsHeld held(data.patchesStr());
    library.loadSharedPatchesInBackground(data.patchesStr());
    second.loadSharedPatchesInBackground(data.patchesStr());
    // The workers wait for the held reading: nothing has arrived.
    EXPECT_FALSE(library.loaded());
    EXPECT_FALSE(library.takeArrival());
    EXPECT_EQ(library.bankCount(kSoundList), 0);
    held.release();
    library.waitUntilLoaded();
    EXPECT_TRUE(library.loaded());
    EXPECT_TRUE(library.takeArrival());
    EXPECT_FALSE(library.takeArrival());  // once per load
    ASSERT_EQ(library.bankCount(kSoundList), 1);
    EXPECT_EQ(library.bankAt(kSoundList, 0)->patches[0].name, numbered("bg", 0));
    second.waitUntilLoaded();
    EXPECT_EQ(second.bankAt(kSoundList, 0), library.bankAt(kSoundList, 0));  // the folder read once
  }
  std::lock_guard<std::mutex> guard(logMutex);
  ASSERT_FALSE(loggers.empty());
  for (const auto& id : loggers) EXPECT_NE(id, std::this_thread::get_id());
  EXPECT_EQ(lines.back(), "PATCH LIBRARIAN COMPLETED FILE LOADING...");
}

// A library gone before its background load ends is not reached by it.
TEST(SharedLoads, ALibraryGoneBeforeItsLoadIsNotReached) {
  DataFolder data;
  writeFile(data.patches() / "one.syx", soundFile("gone", 100));
  std::atomic<int> lines{0};
  LoadsHeld held(data.patchesStr());
  {
    PatchLibrarian library;
    library.hooks.debugLog = [&](const std::string&) { ++lines; };
    library.loadSharedPatchesInBackground(data.patchesStr());
    library.detachBackgroundLoad();
    library.waitUntilLoaded();  // returns: nothing more will arrive
    EXPECT_EQ(library.bankCount(kSoundList), 0);
  }
  held.release();
  // The library gone heard nothing of the worker, and a later instance
  // loads the folder as ever.
  PatchLibrarian later;
  later.loadSharedPatches(data.patchesStr());
  EXPECT_EQ(later.bankCount(kSoundList), 1);
  EXPECT_EQ(lines, 0);
}

// Bank files the load leaves out are named with their reason, in load order.
TEST(LibraryLoad, LeftOutFilesAreNamedWithTheirReason) {
  DataFolder data;
  writeFile(data.patches() / "A/Huge.syx", soundFile("h", 110));
  writeFile(data.patches() / "Big.syx", soundFile("b", 130));
  // A sound cut short (no end byte) before whole ones: read as its own entry.
  Bytes cut = soundDump(numbered("c", 0));
  cut.resize(200);
  writeFile(data.patches() / "Cut.syx", concat({cut, soundFile("w", 99)}));
  // 104 sounds each cut to 290 bytes and an end byte: 30,264 bytes, more than
  // one bank, but its first hundred would make a file of 29,100 bytes, too
  // short for a bank file. It is not split.
  const std::vector<Bytes> cutSounds = cutSoundDumps("k", 104, 290);
  writeFile(data.patches() / "Cuts.syx", concat(cutSounds));
  writeFile(data.patches() / "Fine.syx", soundFile("f", 78));
  writeFile(data.patches() / "Locked.syx", soundFile("l", 78));
  writeFile(data.patches() / "Noise.syx", Bytes(40000, 0x41));
  writeFile(data.patches() / "Two.syx", soundFile("t", 2));
  // Sounds of the Q that cannot be converted: beside others, or alone.
  writeFile(data.patches() / "Unconv.syx", concat({soundFile("u", 78), unconvertibleQDump("q")}));
  std::vector<Bytes> onlyQ(100, unconvertibleQDump("q"));
  writeFile(data.patches() / "OnlyQ.syx", concat(onlyQ));
  fs::permissions(data.patches() / "Locked.syx", fs::perms::none);
  const bool rootCanRead = static_cast<bool>(std::ifstream(data.patches() / "Locked.syx"));
  PatchLibrarian library;
  std::vector<std::string> log;
  library.hooks.debugLog = [&](const std::string& line) { log.push_back(line); };
  library.maxSplitEntries = 105;
  library.maxBankFileSize = 120 * 392;
  library.loadPatchesFromFilesystem(data.patchesStr());
  std::vector<std::string> got;
  for (const auto& left : library.contents().leftOut)
    got.push_back(fs::path(left.path).lexically_relative(data.patches()).string() + ": " + left.reason +
                  (left.listed ? ", listed" : ""));
  std::vector<std::string> expected = {"A/Huge.syx: more than 105 sounds", "Big.syx: too large",
                                       "Cut.syx: a dump cut short, listed",
                                       "Cuts.syx: not split: dumps cut short, a piece would be too short"};
  if (!rootCanRead) expected.push_back("Locked.syx: cannot be read");
  expected.insert(expected.end(), {"Noise.syx: no sounds found", "OnlyQ.syx: a sound that cannot be converted",
                                   "Two.syx: too short", "Unconv.syx: a sound that cannot be converted, listed"});
  EXPECT_EQ(got, expected);
  EXPECT_EQ(readFile(data.patches() / "Cuts.syx"), concat(cutSounds));
  EXPECT_FALSE(fs::exists(data.converted()));
  // Each is in the debug log.
  for (const auto& left : library.contents().leftOut)
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         (left.listed ? "PATCH LIBRARIAN: read file " : "PATCH LIBRARIAN: left out file ") + left.path +
                             " (" + left.reason + ")"),
              1)
        << left.path;
  const std::vector<std::string> read = rootCanRead
                                           ? std::vector<std::string>{"Cut.syx", "Fine.syx", "Locked.syx", "Unconv.syx"}
                                           : std::vector<std::string>{"Cut.syx", "Fine.syx", "Unconv.syx"};
  EXPECT_EQ(names(library.contents().soundBanks), read);
  // The cut dump is completed; the next sound is its own entry, with its category.
  const auto cutBank = library.bankAt(kSoundList, 0);
  ASSERT_EQ(cutBank->patches.size(), 100u);
  EXPECT_EQ(cutBank->patches[0].dumps[0].bytes.size(), 392u);
  EXPECT_EQ(cutBank->patches[1].name, numbered("w", 0));
  EXPECT_EQ(cutBank->patches[1].category, "Lead");
  EXPECT_EQ(cutBank->patches[99].name, numbered("w", 98));
  // Every file is named, not only the first; the one listed with a fault apart.
  EXPECT_EQ(leftOutStatusText(library.contents().leftOut),
            std::string("Left out of the library: Huge.syx (more than 105 sounds), Big.syx (too large), Cuts.syx "
                        "(not split: dumps cut short, a piece would be too short)") +
                (rootCanRead ? "" : ", Locked.syx (cannot be read)") +
                ", Noise.syx (no sounds found), OnlyQ.syx (a sound that cannot be converted), Two.syx (too short); "
                "read with a fault: Cut.syx (a dump cut short), Unconv.syx (a sound that cannot be converted)");
  EXPECT_EQ(leftOutStatusText({{"/x/Cut.syx", "a dump cut short", true}}), "Read with a fault: Cut.syx (a dump cut short)");
  EXPECT_EQ(leftOutStatusText({{"/x/Only.syx", "cannot be split"}}), "Left out of the library: Only.syx (cannot be split)");
  EXPECT_EQ(leftOutStatusText({}), "");
  // The window's two lines: how many, then each file, those left out first.
  const LeftOutLines lines = leftOutLines(library.contents().leftOut);
  EXPECT_EQ(lines.count, std::string(rootCanRead ? "6" : "7") + " files left out, 2 read with a fault");
  std::vector<std::string> files = {"Huge.syx (more than 105 sounds)", "Big.syx (too large)",
                                    "Cuts.syx (not split: dumps cut short, a piece would be too short)"};
  if (!rootCanRead) files.push_back("Locked.syx (cannot be read)");
  files.insert(files.end(), {"Noise.syx (no sounds found)", "OnlyQ.syx (a sound that cannot be converted)",
                             "Two.syx (too short)", "Cut.syx (a dump cut short)",
                             "Unconv.syx (a sound that cannot be converted)"});
  EXPECT_EQ(lines.files, files);
  const struct {
    std::vector<LibraryContents::LeftOut> leftOut;
    std::string count;
    std::vector<std::string> files;
  } rows[] = {{{{"/x/Cut.syx", "a dump cut short", true}}, "1 file read with a fault", {"Cut.syx (a dump cut short)"}},
              {{{"/x/Only.syx", "cannot be split"}}, "1 file left out of the library", {"Only.syx (cannot be split)"}},
              {{{"/x/A.syx", "too short"}, {"/y/B.syx", "too large"}}, "2 files left out of the library",
               {"A.syx (too short)", "B.syx (too large)"}},
              {{}, "", {}}};
  for (const auto& row : rows) {
    EXPECT_EQ(leftOutLines(row.leftOut).count, row.count);
    EXPECT_EQ(leftOutLines(row.leftOut).files, row.files);
  }
  fs::permissions(data.patches() / "Locked.syx", fs::perms::owner_all);
}

// Temporary files of writers that were stopped (kill -9, a power cut) are
// removed at the next load, in the library's folders and the data folder;
// a live writer's stay, and so do files too new to tell.
namespace {
void appendQuantity(Bytes& out, size_t value) {
  Bytes groups = {static_cast<unsigned char>(value & 0x7F)};
  while (value >>= 7) groups.insert(groups.begin(), static_cast<unsigned char>(0x80 | (value & 0x7F)));
  out.insert(out.end(), groups.begin(), groups.end());
}

// A Standard MIDI File whose second track sends each dump in three packets:
// an F0 event, then two F7 continuation events, each with its delta time
// (the second's takes two bytes) and its length.
Bytes smfInPackets(const std::vector<Bytes>& dumps) {
  Bytes track;
  for (const Bytes& d : dumps) {
    const size_t cuts[] = {1, std::min<size_t>(100, d.size()), std::min<size_t>(250, d.size()), d.size()};
    const Bytes deltas[] = {{0x83, 0x74}, {0x81, 0x00}, {0x00}};
    for (size_t k = 0; k < 3; ++k) {
      if (k > 0 && cuts[k + 1] == cuts[k]) break;  // a short dump's packets end with it
      track.insert(track.end(), deltas[k].begin(), deltas[k].end());
      track.push_back(k == 0 ? 0xF0 : 0xF7);
      appendQuantity(track, cuts[k + 1] - cuts[k]);
      track.insert(track.end(), d.begin() + static_cast<long>(cuts[k]), d.begin() + static_cast<long>(cuts[k + 1]));
    }
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0,
               'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00, 'M', 'T', 'r', 'k'};
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(track.size() >> shift));
  return concat({out, track});
}

std::vector<Bytes> soundDumps(const std::string& prefix, int count) {
  std::vector<Bytes> dumps;
  for (int i = 0; i < count; ++i) dumps.push_back(soundDump(numbered(prefix, i), "Lead", static_cast<unsigned char>(i & 0x7F)));
  return dumps;
}
}  // namespace

// A dump that is not whole in its file (cut before the next F0 or by the
// file's end, or short of its kind's size though an F7 ends it) names the file with the reason, is never
// sendable, and a save over the file writes the bytes read, so the next load
// names it again. Dumps sent in packets in a Standard MIDI File are whole.
TEST(LibraryLoad, AnEntryNotWholeInItsFileIsNamedNeverSentAndSavedAsRead) {
  const Bytes whole = soundDump("Cut");
  const Bytes cut(whole.begin(), whole.begin() + 200);
  const Bytes shortEnded = concat({cut, Bytes{0xF7}});
  Bytes qSound = soundDump("Q", "Lead", 0x11, 0x0F);
  qSound.insert(qSound.end() - 1, 0x11);  // the Q's dump is 393 bytes
  const auto shortened = [](Bytes dump, size_t size) {
    dump.resize(size);
    dump.push_back(0xF7);
    return dump;
  };
  const Bytes qShort = shortened(qSound, 391);  // one short of the Q's
  const Bytes reroverShort = shortened(soundDump("R", "Lead", 0x11, 0x13), 300);
  const Bytes multiShort = shortened(multiDump("M"), 300);
  const auto between = [](const Bytes& dump, bool multi = false) {
    return multi ? concat({multiFile("a", 29), dump, multiFile("b", 70)}) : concat({soundFile("a", 29), dump, soundFile("b", 70)});
  };
  std::vector<Bytes> packets = soundDumps("P", 100);
  std::vector<Bytes> packetsShort = packets;
  packetsShort[29] = shortEnded;
  // Cut by the file's end: inside the last dump's last packet (the track's
  // end and six bytes of the dump gone), or after the last dump, inside the
  // track's end (00 FF 2F 00) by one byte, or before it: every dump whole,
  // the file is read as it is and names no cut dump.
  const Bytes inPackets = smfInPackets(packets);
  const Bytes cutInLast(inPackets.begin(), inPackets.end() - 10);
  const Bytes cutByOne(inPackets.begin(), inPackets.end() - 1);
  const Bytes endGone(inPackets.begin(), inPackets.end() - 4);
  // The second track's length one short of its events: its end event runs
  // past it by a byte, which follows the track in the file.
  Bytes lengthShort = inPackets;
  for (size_t at = 33; lengthShort[at]-- == 0; --at) {
  }
  const struct {
    const char* label;
    const char* file;
    Bytes image;
    bool multi;
    const char* reason;  // "" for none
    int notWhole;        // the entry that is not whole; -1 for none
    Bytes asRead;        // its bytes in the file
  } rows[] = {
      {"cut before the next F0", "Cut.syx", concat({cut, soundFile("w", 99)}), false, "a dump cut short", 0, cut},
      {"cut by the file's end", "End.syx", concat({soundFile("w", 99), cut}), false, "a dump cut short", 99, cut},
      {"a sound short then F7", "Short.syx", between(shortEnded), false, "a dump cut short", 29, shortEnded},
      {"a Q sound short then F7", "Q.syx", between(qShort), false, "a dump cut short", 29, qShort},
      {"a Rerover sound short then F7", "Rerover.syx", between(reroverShort), false, "a dump cut short", 29,
       reroverShort},
      {"a multi short then F7", "Multi.syx", between(multiShort, true), true, "a dump cut short", 29, multiShort},
      {"sounds in packets", "Packets.mid", smfInPackets(packets), false, "", -1, {}},
      {"in packets, a sound short then F7", "PacketsCut.mid", smfInPackets(packetsShort), false, "a dump cut short", 29,
       shortEnded},
      {"in packets, cut inside the last event", "PacketsEnd.mid", cutInLast, false, "a dump cut short", 99,
       Bytes(packets[99].begin(), packets[99].end() - 6)},
      {"in packets, cut by one byte", "PacketsOne.mid", cutByOne, false, "file cut short", -1, {}},
      {"in packets, the track's end cut off after the last dump", "PacketsNoEnd.mid", endGone, false,
       "file cut short", -1, {}},
      {"in packets, the track's length one byte short", "PacketsLength.mid", lengthShort, false, "file cut short", -1,
       {}},
      // A split would make pieces of the cut ones too short to be listed: the
      // file stays, its whole sounds listed as read, the file named.
      {"100 whole sounds and 200 cut, not split", "Mixed.syx", concat({soundFile("P", 100), concat(cutSoundDumps("c", 200, 100))}),
       false, "not split: dumps cut short, a piece would be too short", -1, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    const fs::path path = data.patches() / row.file;
    writeFile(path, row.image);
    // What a load of the folder names and marks; the bank it read.
    const auto load = [&](PatchLibrarian& library) {
      library.hooks.multiMode = [&] { return row.multi; };
      library.loadPatchesFromFilesystem(data.patchesStr());
      std::vector<std::string> reasons;
      for (const auto& left : library.contents().leftOut) reasons.push_back(left.reason + (left.listed ? ", listed" : ""));
      EXPECT_EQ(reasons, *row.reason ? std::vector<std::string>{std::string(row.reason) + ", listed"}
                                     : std::vector<std::string>{});
      const auto bank = library.bankAt(row.multi ? kMultiList : kSoundList, 0);
      if (!bank) return bank;
      EXPECT_EQ(bank->patches.size(), 100u);
      for (size_t e = 0; e < bank->patches.size(); ++e)
        EXPECT_EQ(bank->patches[e].sendable(row.multi), static_cast<int>(e) != row.notWhole) << e;
      // Nor is it sendable from the category bank that lists it.
      if (row.notWhole >= 0 && !row.multi) {
        const PatchSysexMessage& completed = bank->patches[static_cast<size_t>(row.notWhole)].dumps.at(0);
        int listed = 0;
        for (const auto& category : library.contents().categoryBanks) {
          category->fillListed();
          for (const auto& entry : category->patches)
            if (!entry.dumps.empty() && entry.dumps[0] == completed) {
              EXPECT_FALSE(entry.sendable(false));
              ++listed;
            }
        }
        EXPECT_LE(listed, 1);  // a Rerover sound of no category is in none
      }
      return bank;
    };
    PatchLibrarian library;
    const auto bank = load(library);
    ASSERT_NE(bank, nullptr);
    if (row.notWhole < 0) {
      for (int e = 0; e < 100; ++e) EXPECT_EQ(bank->patches[static_cast<size_t>(e)].name, numbered("P", e)) << e;
      continue;
    }
    // Save over the file: the entry keeps the file's bytes.
    library.librarianMode = row.multi ? 1 : 0;
    library.upperBank = 0;
    ASSERT_TRUE(library.saveEditedPatch(path.string(), row.file));
    const Bytes saved = readFile(path);
    // A Standard MIDI File's event holds what follows the F0 after its length.
    EXPECT_NE(std::search(saved.begin(), saved.end(), row.asRead.begin() + 1, row.asRead.end()), saved.end());
    EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{row.file});
    PatchLibrarian again;
    load(again);
  }
}

TEST(LibraryLoad, StaleTemporaryFilesAreRemovedAndALiveWritersAreNot) {
  DataFolder data;
  writeFile(data.patches() / "Bank.syx", soundFile("b", 100));
  const fs::path folders[] = {data.patches(), data.patches() / "Sub", data.root, data.converted()};
  const auto age = [](const fs::path& path) {
    const timespec past[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), past, 0), 0);
  };
  for (const fs::path& folder : folders) {
    writeFile(folder / ".tvx-Stale1", soundFile("s", 100));
    age(folder / ".tvx-Stale1");
  }
  // A writer of another process holds its file locked while it writes.
  writeFile(data.patches() / ".tvx-Held01", Bytes{1, 2, 3});
  age(data.patches() / ".tvx-Held01");
  const int held = ::open((data.patches() / ".tvx-Held01").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  // The writer's own file, held until it is named.
  userfiles::PendingFile pending(data.patchesStr(), Bytes{4, 5, 6});
  ASSERT_FALSE(pending.path().empty());
  age(pending.path());
  // Just made: its writer may not have locked it yet.
  writeFile(data.root / ".tvx-Fresh1", Bytes{7});
  // The user's own files, of another shape than the writer's.
  for (const char* name : {".tvx-notes", ".tvx-notes.txt", ".tvx-ab-123", ".tvx-abc1234"}) {
    writeFile(data.patches() / name, Bytes{8});
    age(data.patches() / name);
  }

  LoggedLibrary l(data.patchesStr());
  std::vector<std::string> kept = {".tvx-Fresh1",
                                    "Patches/.tvx-Held01",
                                    "Patches/" + fs::path(pending.path()).filename().string(),
                                    "Patches/.tvx-ab-123",
                                    "Patches/.tvx-abc1234",
                                    "Patches/.tvx-notes",
                                    "Patches/.tvx-notes.txt",
                                    "Patches/Bank.syx"};
  std::sort(kept.begin(), kept.end());  // the writer's own name is random
  EXPECT_EQ(filesBelow(data.root), kept);
  EXPECT_EQ(l.count("PATCH LIBRARIAN: removed file "), 4);
  EXPECT_EQ(names(l.library.contents().soundBanks), std::vector<std::string>{"Bank.syx"});
  ::close(held);
  EXPECT_EQ(pending.publish("Named.syx"), data.patchesStr() + "/Named.syx");
}
