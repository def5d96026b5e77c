// The library never costs the user a bank: splits and imports beside the
// user's own files, dumps whose Standard-MIDI-File length ends in 0x3E,
// short and long dumps saved and read again, read-only and linked banks.
#include <cctype>
#include <map>
#include <set>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <iostream>
#include <optional>

#include <Poco/DigestEngine.h>
#include <Poco/SHA1Engine.h>

#include "../files/SmallFileSystem.h"
#include "FrameChecksum.h"
#include "BankFileFormat.h"
#include "LibraryTestSupport.h"
#include "UserFiles.h"

namespace {
// Every regular file below a folder with its bytes.
std::map<std::string, Bytes> contentsBelow(const fs::path& folder) {
  std::map<std::string, Bytes> out;
  for (const auto& name : filesBelow(folder)) out[name] = readFile(folder / name);
  return out;
}

// The names of the dumps every bank file below a folder holds.
std::multiset<std::string> dumpNamesBelow(const fs::path& folder) {
  std::multiset<std::string> out;
  for (const auto& name : filesBelow(folder)) {
    const Bytes image = readFile(folder / name);
    PatchLibrarian reader;
    PatchFile bank;
    reader.loadFromChunk(image, static_cast<int>(image.size()), &bank);
    for (const auto& e : bank.patches)
      if (e.typeCode == kSoundFromFile || e.typeCode == kMultiFromFile) out.insert(e.name);
  }
  return out;
}

std::multiset<std::string> dumpNamesOf(const Bytes& image) {
  PatchLibrarian reader;
  PatchFile bank;
  reader.loadFromChunk(image, static_cast<int>(image.size()), &bank);
  std::multiset<std::string> out;
  for (const auto& e : bank.patches) out.insert(e.name);
  return out;
}

Bytes sized(Bytes dump, size_t size) {
  // A dump of another length: the body runs on (or is cut), F7 at the end.
  const unsigned char last = dump.back();
  dump.pop_back();
  dump.resize(size - 1, 0x21);
  dump.push_back(last);
  return dump;
}

// ---- Splits beside the user's files.

TEST(SplitBesideUserFiles, NoUserFileChangesAndEveryDumpIsInALibraryFile) {
  DataFolder data;
  const fs::path p = data.patches();
  const Bytes factory = concat({soundFile("fac", 150), multiFile("facm", 120)});
  writeFile(p / "Factory.syx", factory);
  writeFile(p / "Factory Singles 1.syx", soundFile("mine", 100));
  writeFile(p / "Factory Singles 2.syx", Bytes{'n', 'o', 't', 'e', 's'});  // not a bank at all
  writeFile(p / "Factory Multis.syx", multiFile("minem", 100));
  writeFile(p / "bank.syx", soundFile("lower", 150));
  writeFile(p / "bank.SYX", soundFile("upper", 150));
  writeFile(p / "Sub" / "Factory Singles 1.syx", soundFile("sub", 100));
  const auto before = contentsBelow(data.root);

  LoggedLibrary l(data.patchesStr());

  const auto after = contentsBelow(data.root);
  // File by file: every file of the user's is there with its bytes; the
  // three sources went whole into "Converted Banks".
  for (const auto& [name, bytes] : before) {
    SCOPED_TRACE(name);
    const std::string file = fs::path(name).filename().string();
    if (file == "Factory.syx" || file == "bank.syx" || file == "bank.SYX") {
      EXPECT_EQ(after.count(name), 0u);
      EXPECT_EQ(after.at("Converted Banks/" + file), bytes);
    } else {
      ASSERT_EQ(after.count(name), 1u);
      EXPECT_EQ(after.at(name), bytes);
    }
  }
  EXPECT_EQ(filesBelow(p), (std::vector<std::string>{
                               "Factory Multis (2).syx", "Factory Multis 2.syx", "Factory Multis.syx",
                               "Factory Singles 1 (2).syx", "Factory Singles 1.syx", "Factory Singles 2 (2).syx",
                               "Factory Singles 2.syx", "Sub/Factory Singles 1.syx", "bank Singles 1 (2).syx",
                               "bank Singles 1.syx", "bank Singles 2 (2).syx", "bank Singles 2.syx"}));
  // Every dump of every source is in a bank file of the library.
  const auto inLibrary = dumpNamesBelow(p);
  for (const Bytes& source : {factory, soundFile("lower", 150), soundFile("upper", 150)})
    for (const auto& name : dumpNamesOf(source)) EXPECT_TRUE(inLibrary.count(name)) << name;
  // bank.SYX is read first: its pieces have the plain names.
  EXPECT_EQ(dumpNamesOf(readFile(p / "bank Singles 1.syx")).count(numbered("upper", 0)), 1u);
  EXPECT_EQ(dumpNamesOf(readFile(p / "bank Singles 1 (2).syx")).count(numbered("lower", 0)), 1u);
  // The library lists the user's banks and the pieces under their own names.
  const auto listed = names(l.library.contents().soundBanks);
  for (const char* bank : {"Factory Singles 1 (2).syx", "Factory Singles 2 (2).syx", "bank Singles 1.syx",
                           "bank Singles 2 (2).syx"})
    EXPECT_EQ(std::count(listed.begin(), listed.end(), bank), 1) << bank;
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "Factory Singles 1.syx"), 2);  // in Patches and in Sub
}

// A split that cannot write its files is undone: no piece stays on disk or
// in memory, and the source is where it was, every dump in it.
TEST(SplitBesideUserFiles, AFailedSplitLeavesTheSourceAndNoPieces) {
  DataFolder data;
  const Bytes source = soundFile("f", 250);
  writeFile(data.patches() / "Factory.syx", source);
  writeFile(data.patches() / "Other.syx", soundFile("o", 100));
  // The disk fills up at once, in the first piece, or after the first piece
  // was written whole (which must go again).
  for (const userfiles::WriteFault fault : {userfiles::WriteFault{0, ENOSPC}, userfiles::WriteFault{20000, ENOSPC},
                                            userfiles::WriteFault{0, ENOSPC, 1}}) {
    userfiles::setWriteFault(fault);
    LoggedLibrary l(data.patchesStr());
    userfiles::setWriteFault(std::nullopt);
    EXPECT_EQ(l.count("PATCH LIBRARIAN: could not split file "), 1);
    EXPECT_EQ(l.shown, std::vector<std::string>{"Factory.syx not split! / Disk full"});
    EXPECT_EQ(filesBelow(data.root), (std::vector<std::string>{"Patches/Factory.syx", "Patches/Other.syx"}));
    EXPECT_EQ(readFile(data.patches() / "Factory.syx"), source);
    EXPECT_EQ(names(l.library.contents().soundBanks), std::vector<std::string>{"Other.syx"});
  }
}

// The split costs time in proportion to the file and has a bound: a file of
// more entries than a split may write is neither split nor listed, and stays.
TEST(SplitBesideUserFiles, AFileOfTooManyEntriesStaysAsItIs) {
  // Whole dumps: a fragment is written back as read, and pieces of those
  // would be too short to be listed.
  const Bytes tiny = soundDump("t");
  struct Row {
    const char* label;
    size_t dumps, bound;
    std::vector<std::string> files;
  };
  for (const Row& row : {Row{"at the bound", 300, 300, {"Tiny Singles 1.syx", "Tiny Singles 2.syx", "Tiny Singles 3.syx"}},
                         Row{"one over", 301, 300, {"Tiny.syx"}},
                         Row{"the default bound", 6000, kMaxSplitEntries, {"Tiny.syx"}}}) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    Bytes file;
    for (size_t i = 0; i < row.dumps; ++i) file.insert(file.end(), tiny.begin(), tiny.end());
    file.resize(std::max(file.size(), kMinBankFileSize), 0x00);  // read only from this size on
    writeFile(data.patches() / "Tiny.syx", file);
    LoggedLibrary l(data.patchesStr(), row.bound);
    EXPECT_EQ(filesBelow(data.patches()), row.files);
    const bool split = row.files.size() > 1;
    EXPECT_EQ(l.count("PATCH LIBRARIAN: too many entries to split file "), split ? 0 : 1);
    EXPECT_EQ(l.library.contents().soundBanks.size(), split ? 3u : 0u);
    if (!split) {
      EXPECT_EQ(readFile(data.patches() / "Tiny.syx"), file);
    }
  }
}

// ---- Standard MIDI Files: a length that ends in 0x3E.

TEST(MidiLengths, EveryDumpComesBackInItsSlot) {
  for (const bool split : {false, true}) {
    SCOPED_TRACE(split ? "split of a .mid bank" : "saved and read again");
    DataFolder data;
    PatchFile bank;
    std::vector<size_t> sizes;
    const int count = split ? 150 : 100;
    for (int i = 0; i < count; ++i) {
      // Lengths 447, 575, 703 (their lengths minus one end in 0x3E) among others.
      const size_t size = i % 3 == 0 ? 447 + 128 * static_cast<size_t>(i % 9 / 3) : 392;
      sizes.push_back(size);
      bank.patches.push_back({0, "", "", {{sized(soundDump(numbered("m", i)), size)}}, {}});
    }
    // A Standard MIDI File of every dump (the bank writer stops at 100).
    Bytes image(patchBankHeader.begin(), patchBankHeader.begin() + 49);
    for (size_t i = 0; i < bank.patches.size(); ++i) bank.patches[i].dumps[0].save(image, true, static_cast<int>(i));
    image.insert(image.end(), {0x00, 0xFF, 0x2F, 0x00});
    const size_t length = image.size() - 49;
    for (int k = 0; k < 4; ++k) image[45 + static_cast<size_t>(k)] = static_cast<unsigned char>(length >> (24 - 8 * k));
    ASSERT_TRUE(parseSmf(image).ok);
    if (!split) {
      PatchLibrarian reader;
      PatchFile read;
      reader.loadFromChunk(image, static_cast<int>(image.size()), &read);
      ASSERT_EQ(read.patches.size(), 100u);
      for (int i = 0; i < count; ++i) {
        EXPECT_EQ(read.patches[static_cast<size_t>(i)].name, numbered("m", i));
        EXPECT_EQ(read.patches[static_cast<size_t>(i)].dumps[0].bytes.size(), sizes[static_cast<size_t>(i)]);
      }
      continue;
    }
    writeFile(data.patches() / "Big.mid", image);
    LoggedLibrary l(data.patchesStr());
    ASSERT_EQ(filesBelow(data.patches()), (std::vector<std::string>{"Big Singles 1.mid", "Big Singles 2.mid"}));
    const auto inLibrary = dumpNamesBelow(data.patches());
    for (int i = 0; i < count; ++i) EXPECT_EQ(inLibrary.count(numbered("m", i)), 1u) << i;
  }
}

// ---- Saving: the format does not hang on letter case; read-only and
// linked banks.

struct SavedLibrary {
  PatchLibrarian library;
  std::vector<std::string> log;
  SavedLibrary() {
    library.hooks.debugLog = [this](const std::string& line) { log.push_back(line); };
    // The bank was not read from the files it is saved over: the user
    // answers that they may be replaced.
    library.hooks.messageBox = [](const std::string&, const std::string&, int) { return 1; };
    const int index = library.addBank(0, "Bank.syx");
    auto bank = library.bankAt(kSoundList, index);
    bank->patches.clear();
    for (int i = 0; i < 100; ++i) bank->patches.push_back({0, "", "", {{soundDump(numbered("S", i))}}, {}});
    library.upperBank = index;
  }
};

TEST(SaveFormat, LetterCaseDoesNotChooseTheFormat) {
  struct Row {
    const char* name;
    bool midi;
    const char* stored;
  };
  for (const Row& row : {Row{"Bank.mid", true, "Bank.mid.mid"}, Row{"Bank.MID", true, "Bank.MID.mid"},
                         Row{"Bank.Mid", true, "Bank.Mid.mid"}, Row{"Bank.SYX", false, "Bank.SYX.tvx"},
                         Row{"Bank.Tvx", false, "Bank.Tvx.tvx"}, Row{"Bank.txt", false, "Bank.txt"}}) {
    SCOPED_TRACE(row.name);
    DataFolder data;
    SavedLibrary s;
    const fs::path target = data.patches() / row.name;
    ASSERT_TRUE(s.library.saveEditedPatch(target.string(), row.name));
    const Bytes written = readFile(target);
    EXPECT_EQ(parseSmf(written).ok, row.midi);
    EXPECT_EQ(written.size(), row.midi ? 39652u : 39200u);
    EXPECT_EQ(s.library.upperSoundFileName, row.stored);
  }
}

TEST(SaveFormat, ReadOnlyBanksStayAndLinkedBanksWriteTheirTarget) {
  DataFolder data;
  SavedLibrary s;
  const fs::path locked = data.patches() / "Locked.syx";
  writeFile(locked, soundFile("old", 100));
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(s.library.saveEditedPatch(locked.string(), "Locked.syx"));
  EXPECT_EQ(readFile(locked), soundFile("old", 100));
  fs::permissions(locked, fs::perms::owner_all);

  const fs::path target = data.root / "Elsewhere" / "Real.syx";
  writeFile(target, soundFile("old", 100));
  fs::create_symlink(target, data.patches() / "Linked.syx");
  ASSERT_TRUE(s.library.saveEditedPatch((data.patches() / "Linked.syx").string(), "Linked.syx"));
  EXPECT_TRUE(fs::is_symlink(data.patches() / "Linked.syx"));
  EXPECT_EQ(dumpNamesOf(readFile(target)).count(numbered("S", 0)), 1u);
}

// ---- Short and long dumps, saved and read again.

TEST(DumpsSavedTwice, ShortDumpsKeepWhatFollowsTheirEndAndLongOnesTheirChecksum) {
  // A truncated dirirU sound, a truncated Rerover sound (its conversion
  // writes the category Init after where its end byte was), a truncated Q
  // sound and a sound of 500 bytes.
  Bytes shortSound = sized(soundDump("Short"), 300);
  Bytes rerover = sized(soundDump("Rerover", "Lead", 0x11, 0x13), 300);
  Bytes q = sized(soundDump("Q", "Lead", 0x11, 0x0F), 250);
  Bytes longSound = sized(soundDump("Long"), 500);
  const Bytes file = concat({shortSound, rerover, q, longSound});
  PatchLibrarian reader;
  PatchFile first;
  reader.loadFromChunk(file, static_cast<int>(file.size()), &first);
  ASSERT_EQ(first.patches.size(), 100u);
  EXPECT_EQ(first.patches[1].category, "Init");
  for (int k = 0; k < 4; ++k) {
    const Bytes& d = first.patches[static_cast<size_t>(k)].dumps[0].bytes;
    // One end byte, at the end.
    EXPECT_EQ(std::count(d.begin(), d.end(), 0xF7), 1) << k;
  }
  const Bytes& longDump = first.patches[3].dumps[0].bytes;
  EXPECT_EQ(longDump.size(), 500u);
  // Over bytes 4..497 but the checksum byte itself, so a file read again keeps it.
  Bytes summed = longDump;
  summed[390] = 0;
  EXPECT_EQ(longDump[390], sim::frameChecksum(summed));

  for (const bool midi : {false, true}) {
    SCOPED_TRACE(midi ? "mid" : "syx");
    PatchFile again;
    const Bytes saved = writeBankImage(first, midi);
    reader.loadFromChunk(saved, static_cast<int>(saved.size()), &again);
    ASSERT_EQ(again.patches.size(), 100u);
    for (size_t k = 0; k < 100; ++k) {
      const Bytes& a = first.patches[k].dumps[0].bytes;
      const Bytes& b = again.patches[k].dumps[0].bytes;
      ASSERT_EQ(a.size(), b.size()) << k;
      // Equal; a filling entry gets a device byte, a slot number and a
      // checksum once it is read from a file.
      for (size_t i = 0; i < a.size(); ++i) {
        if (k < 4 || (i != 3 && i != 5 && i != 390)) {
          EXPECT_EQ(a[i], b[i]) << k << " " << i;
        }
      }
    }
    EXPECT_EQ(again.patches[1].category, first.patches[1].category);
  }
}

TEST(DumpsSavedTwice, TheQRulesNeverMakeAnEndByte) {
  Bytes q = sized(soundDump("Q", "Lead", 0x11, 0x0F), 393);
  q[15] = 0xF6;   // plus one
  q[270] = 0xF8;  // minus one, at 269 once converted
  PatchLibrarian reader;
  PatchFile bank;
  reader.loadFromChunk(q, static_cast<int>(q.size()), &bank);
  const Bytes& d = bank.patches.at(0).dumps[0].bytes;
  EXPECT_EQ(std::count(d.begin(), d.end(), 0xF7), 1);
  EXPECT_EQ(d[15], 0x77);
  EXPECT_EQ(d[269], 0x77);
  // A byte no rule maps (0x81 at 200, or exactly 0x80), one a rule makes an
  // F0 (0xFC at 254, minus twelve), a Rerover's: none converts; the whole
  // dump beside them does.
  Bytes passed = q;
  passed[200] = 0x81;
  Bytes eighty = q;
  eighty[200] = 0x80;
  Bytes rerover = sized(soundDump("R", "Lead", 0x11, 0x13), 392);
  rerover[300] = 0xC0;
  Bytes rerover80 = rerover;
  rerover80[300] = 0x80;
  const Bytes file = concat({passed, eighty, unconvertibleQDump("F0"), rerover, rerover80, q});
  PatchFile mixed;
  reader.loadFromChunk(file, static_cast<int>(file.size()), &mixed);
  EXPECT_TRUE(mixed.unconverted);
  ASSERT_EQ(mixed.patches.size(), 100u);
  EXPECT_EQ(mixed.patches[0].dumps[0].bytes, d);
  EXPECT_EQ(mixed.patches[1].typeCode, kInitSoundFill);
  for (const auto& entry : mixed.patches) {
    const Bytes& body = entry.dumps[0].bytes;
    EXPECT_TRUE(std::all_of(body.begin() + 1, body.end() - 1, [](unsigned char b) { return b < 0x80; }));
  }
}

// ---- Import beside a bank of the same name.

TEST(ImportAsks, TheUserDecidesWhetherABankOfTheSameNameIsReplaced) {
  struct Row {
    const char* label;
    int answer;  // -1: no window to ask in
    bool result;
    std::vector<std::string> files;
    bool replaced;
  };
  for (const Row& row : {Row{"yes replaces", 1, true, {"My Bank.syx"}, true},
                         Row{"no keeps both", 7, true, {"My Bank (2).syx", "My Bank.syx"}, false},
                         Row{"cancel imports nothing", 2, false, {"My Bank.syx"}, false},
                         Row{"a closed box imports nothing", 0, false, {"My Bank.syx"}, false},
                         Row{"no window keeps both", -1, true, {"My Bank (2).syx", "My Bank.syx"}, false}}) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    PatchLibrarian library;
    int asked = 0;
    if (row.answer >= 0)
      library.hooks.messageBox = [&](const std::string&, const std::string&, int) { return ++asked, row.answer; };
    const fs::path chosen = data.root / "Desktop" / "My Bank.syx";
    writeFile(chosen, soundFile("new", 100));
    writeFile(data.patches() / "My Bank.syx", soundFile("old", 100));
    EXPECT_EQ(library.importBankFile(chosen.string(), data.patchesStr()), row.result);
    EXPECT_EQ(asked, row.answer >= 0 ? 1 : 0);
    EXPECT_EQ(filesBelow(data.patches()), row.files);
    EXPECT_EQ(readFile(data.patches() / "My Bank.syx"), soundFile(row.replaced ? "new" : "old", 100));
    if (row.files.size() == 2) {
      EXPECT_EQ(readFile(data.patches() / "My Bank (2).syx"), soundFile("new", 100));
    }
  }
  // A named pipe of the name in the library is never waited on: the user
  // keeps both.
  {
    DataFolder data;
    PatchLibrarian library;
    library.hooks.messageBox = [](const std::string&, const std::string&, int) { return 1; };
    const fs::path chosen = data.root / "My Bank.syx", pipe = data.patches() / "My Bank.syx";
    writeFile(chosen, soundFile("new", 100));
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    auto imported = std::async(std::launch::async, [&] { return library.importBankFile(chosen, data.patchesStr()); });
    if (imported.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {  // a writer ends the wait
      ADD_FAILURE() << "waited for a writer into the pipe";
      ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_TRUE(imported.get());
    EXPECT_EQ(readFile(data.patches() / "My Bank (2).syx"), soundFile("new", 100));
  }
  // Without a bank of that name nobody is asked.
  DataFolder data;
  PatchLibrarian library;
  library.hooks.messageBox = [](const std::string&, const std::string&, int) -> int { ADD_FAILURE(); return 0; };
  writeFile(data.root / "New.syx", soundFile("n", 100));
  EXPECT_TRUE(library.importBankFile((data.root / "New.syx").string(), data.patchesStr()));
  EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{"New.syx"});
}
// ---- A bank file written by someone else since it was read.

// Gives slot a sound of that name in the library's first sound bank (or another).
void rename(PatchLibrarian& library, int slot, const std::string& name, int bank = 0) {
  library.bankForEdit(kSoundList, bank)->patches.at(static_cast<size_t>(slot)).dumps = {{soundDump(name)}};
}

// Saves the library's first sound bank (or another) over its file, as the bank-edit menu does.
bool saveFirstBank(PatchLibrarian& library, const DataFolder& data, int bank = 0) {
  library.librarianMode = 0;
  library.upperBank = bank;
  const std::string name = library.bankAt(kSoundList, bank)->fileName;
  return library.saveEditedPatch((data.patches() / name).string(), name);
}

// Another instance, another process (a second DAW) or another program writes
// Bank.syx after this instance read it; this instance's save then asks, and
// nothing anyone saved is lost unless the user chose to replace it.
TEST(ChangedBankFiles, NoSaveLosesWhatAnotherWroteWithoutTheUsersChoice) {
  enum Other { kInstance, kSharedLoad, kProcess, kProgram, kGrown, kNobody };
  struct Row {
    const char* label;
    Other other;
    int answer;
    bool saved;
    std::vector<int> asked;  // the kinds of box shown (3 Yes/No/Cancel, 4 Yes/No)
    std::map<std::string, std::vector<std::string>> holds;  // file: sounds it must hold
    std::vector<std::string> files;
  };
  const std::string theirs = numbered("Theirs", 1), mine = numbered("Mine", 0), ext = numbered("ext", 0), grown = numbered("grown", 149);
  const std::vector<Row> rows = {
      {"instance, keep both", kInstance, 7, true, {3}, {{"Bank.syx", {theirs}}, {"Bank (2).syx", {mine}}}, {"Bank (2).syx", "Bank.syx"}},
      {"instance, replace", kInstance, 1, true, {3}, {{"Bank.syx", {mine}}}, {"Bank.syx"}},
      {"instance, cancel", kInstance, 2, false, {3}, {{"Bank.syx", {theirs}}}, {"Bank.syx"}},
      {"instance of the shared load", kSharedLoad, 7, true, {3}, {{"Bank.syx", {theirs}}, {"Bank (2).syx", {mine}}}, {"Bank (2).syx", "Bank.syx"}},
      {"process, keep both", kProcess, 7, true, {3}, {{"Bank.syx", {theirs}}, {"Bank (2).syx", {mine}}}, {"Bank (2).syx", "Bank.syx"}},
      {"program, keep both", kProgram, 7, true, {3}, {{"Bank.syx", {ext}}, {"Bank (2).syx", {mine}}}, {"Bank (2).syx", "Bank.syx"}},
      {"grown to 150, new name", kGrown, 1, true, {4}, {{"Bank.syx", {grown}}, {"Bank (2).syx", {mine}}}, {"Bank (2).syx", "Bank.syx"}},
      {"grown to 150, no", kGrown, 7, false, {4}, {{"Bank.syx", {grown}}}, {"Bank.syx"}},
      {"nobody", kNobody, 2, true, {}, {{"Bank.syx", {mine}}}, {"Bank.syx"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    const fs::path bankFile = data.patches() / "Bank.syx";
    writeFile(bankFile, soundFile("s", 100));
    LoggedLibrary me(data.patchesStr());
    LoggedLibrary other(data.patchesStr());
    std::vector<int> asked;
    me.library.hooks.messageBox = [&](const std::string&, const std::string&, int type) {
      asked.push_back(type);
      return row.answer;
    };
    rename(me.library, 0, mine);
    // Another program saves as most do: a new file renamed over the old one.
    auto writeAsAProgram = [&](const Bytes& bytes) {
      writeFile(data.patches() / "program.tmp", bytes);
      fs::rename(data.patches() / "program.tmp", bankFile);
    };
    switch (row.other) {
      case kInstance:
        rename(other.library, 1, theirs);
        ASSERT_TRUE(saveFirstBank(other.library, data));
        break;
      case kSharedLoad: {
        // An instance made later in the process is handed the load this one read.
        PatchLibrarian later;
        later.loadSharedPatches(data.patchesStr());
        rename(later, 1, theirs);
        ASSERT_TRUE(saveFirstBank(later, data));
        break;
      }
      case kProcess:
        if (const pid_t child = ::fork(); child == 0) {
          rename(me.library, 1, theirs);  // the forked copy read the file as this one did
          ::_exit(saveFirstBank(me.library, data) ? 0 : 1);
        } else {
          int status = 0;
          ::waitpid(child, &status, 0);
          ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        break;
      case kProgram: writeAsAProgram(soundFile("ext", 100)); break;
      case kGrown: writeAsAProgram(soundFile("grown", 150)); break;
      case kNobody: break;
    }
    EXPECT_EQ(saveFirstBank(me.library, data), row.saved);
    EXPECT_EQ(asked, row.asked);
    EXPECT_EQ(filesBelow(data.patches()), row.files);
    for (const auto& [file, sounds] : row.holds)
      for (const auto& sound : sounds) EXPECT_EQ(dumpNamesOf(readFile(data.patches() / file)).count(sound), 1u) << file;
    if (row.other == kGrown) {
      EXPECT_EQ(readFile(bankFile), soundFile("grown", 150));
    }
    const std::string why = row.other == kGrown ? "Holds more than one bank" : "Changed by another program";
    EXPECT_EQ(me.shown, row.saved ? std::vector<std::string>{} : std::vector<std::string>{"Bank not saved! / " + why});
    // Until the next load the library lists every file once, the file read
    // in its place, a bank kept under a new name as an entry of its own.
    ASSERT_EQ(me.library.bankCount(kSoundList), static_cast<int>(row.files.size()));
    EXPECT_EQ(me.library.bankAt(kSoundList, 0)->fileName, "Bank.syx");
    // What was saved is what the bank now stands for: the next save asks nothing.
    if (row.saved) {
      const int saved = me.library.bankCount(kSoundList) - 1;
      EXPECT_EQ(me.library.upperBank, saved);
      asked.clear();
      rename(me.library, 2, numbered("Again", 2), saved);
      EXPECT_TRUE(saveFirstBank(me.library, data, saved));
      EXPECT_EQ(asked, std::vector<int>{});
    }
  }
}

// Written once more while the user was being asked: the file is looked at
// again before anything replaces it.
TEST(ChangedBankFiles, AFileWrittenWhileTheUserIsAskedIsLookedAtAgain) {
  DataFolder data;
  const fs::path bankFile = data.patches() / "Bank.syx";
  writeFile(bankFile, soundFile("s", 100));
  LoggedLibrary me(data.patchesStr());
  rename(me.library, 0, numbered("Mine", 0));
  auto writeAsAProgram = [&](const std::string& prefix) {
    writeFile(data.patches() / "program.tmp", soundFile(prefix, 100));
    fs::rename(data.patches() / "program.tmp", bankFile);
  };
  writeAsAProgram("early");
  int asked = 0;
  me.library.hooks.messageBox = [&](const std::string&, const std::string&, int) {
    if (++asked == 1) writeAsAProgram("late");
    return asked == 1 ? 1 : 0;  // Yes to the first box; the second is closed
  };
  EXPECT_FALSE(saveFirstBank(me.library, data));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(readFile(bankFile), soundFile("late", 100));
  EXPECT_EQ(me.shown, std::vector<std::string>{"Bank not saved! / Changed by another program"});
}

// ---- Files that hold more than one bank or data the library does not keep.

// A global dump of the instrument (command 14h) of 200 bytes.
Bytes globalDump() {
  Bytes d(200, 0x01);
  d[0] = 0xF0, d[1] = 0x3E, d[2] = 0x10, d[3] = 0x00, d[4] = 0x14, d.back() = 0xF7;
  return d;
}

// Save over the bank's own file, Save As onto the file and Import under its
// name: each asks whether to keep both (type 4, no Replace), says why, and
// never replaces the file.
TEST(KeptFiles, AFileOfMoreThanOneBankOrOtherDataSurvivesSaveSaveAsAndImport) {
  enum Op { kSave, kSaveAs, kImport };
  enum Kind { kOverLimit, kGlobal, kSixThousand, kUnconvertible };
  struct Row {
    const char* label;
    Op op;
    Kind kind;
    int answer;  // 1 keeps both, 7 cancels, -1 no window to ask in
    const char* why;  // in the question
  };
  const std::vector<Row> rows = {
      {"save, over the read limit", kSave, kOverLimit, 1, "too large for the library to read"},
      {"save, global dump", kSave, kGlobal, 1, "holds a global dump, which the library does not keep"},
      {"save, global dump, cancel", kSave, kGlobal, 7, "a global dump"},
      {"save as, over the read limit", kSaveAs, kOverLimit, 1, "too large"},
      {"save as, global dump, cancel", kSaveAs, kGlobal, 7, "a global dump"},
      {"import, over the read limit", kImport, kOverLimit, 1, "too large"},
      {"import, global dump", kImport, kGlobal, 1, "a global dump"},
      {"import, 6000 sounds left out", kImport, kSixThousand, 1, "more than one bank (over 5000 sounds)"},
      {"save, global dump, no window", kSave, kGlobal, -1, ""},
      {"save as, global dump, no window", kSaveAs, kGlobal, -1, ""},
      {"import, global dump, no window", kImport, kGlobal, -1, ""},
      {"save, a sound that cannot be converted, cancel", kSave, kUnconvertible, 7,
       "holds sounds the library cannot convert"},
      {"import, a sound that cannot be converted", kImport, kUnconvertible, 1, "cannot convert"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    const fs::path file = data.patches() / "Bank.syx";
    const Bytes theirs = row.kind == kGlobal        ? concat({soundFile("s", 100), globalDump()})
                         : row.kind == kSixThousand ? soundFile("s", 6000)
                         : row.kind == kUnconvertible ? concat({soundFile("s", 99), unconvertibleQDump("q")})
                                                    : soundFile("s", 100);
    writeFile(file, theirs);
    LoggedLibrary l(data.patchesStr());
    // Over the read limit: written (sparse) after the load read the bank.
    if (row.kind == kOverLimit) {
      ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(kMaxBankFileSize) + 1), 0);
    }
    const auto before = fs::file_size(file);
    std::vector<std::string> questions;
    l.library.hooks.messageBox = [&](const std::string& text, const std::string&, int type) {
      questions.push_back(std::to_string(type) + " " + text);
      return row.answer;
    };
    if (row.answer < 0) l.library.hooks.messageBox = nullptr;
    const bool keptBoth = row.answer != 7;
    const fs::path chosen = data.root / "Desktop" / "Bank.syx";
    writeFile(chosen, soundFile("new", 100));
    l.library.hooks.promptForFile = [&](int, std::string&, const std::string&, const std::string&) { return file.string(); };
    l.library.librarianMode = 0;
    l.library.upperBank = 0;
    if (l.library.bankCount(kSoundList) == 0) l.library.addBank(0, "Other.syx");
    l.library.bankForEdit(kSoundList, 0)->patches.at(0).dumps = {{soundDump(numbered("Mine", 0))}};
    bool done = false;
    switch (row.op) {
      case kSave: done = l.library.saveEditedPatch(file.string(), "Bank.syx"); break;
      case kSaveAs: done = l.library.savePatchAs(data.patchesStr().c_str(), "Bank.syx", false); break;
      case kImport: done = l.library.importBankFile(chosen.string(), data.patchesStr()); break;
    }
    EXPECT_EQ(done, keptBoth);
    ASSERT_EQ(questions.size(), row.answer < 0 ? 0u : 1u);
    if (!questions.empty()) {
      EXPECT_EQ(questions[0].substr(0, 2), "4 ");
      EXPECT_NE(questions[0].find(row.why), std::string::npos) << questions[0];
    }
    // The file is as it was; the new data is beside it, or nowhere.
    EXPECT_EQ(fs::file_size(file), before);
    if (row.kind != kOverLimit) {
      EXPECT_EQ(readFile(file), theirs);
    }
    EXPECT_EQ(fs::exists(data.patches() / "Bank (2).syx"), keptBoth);
    if (keptBoth) {
      const auto names = dumpNamesOf(readFile(data.patches() / "Bank (2).syx"));
      EXPECT_EQ(names.count(row.op == kImport ? numbered("new", 0) : numbered("Mine", 0)), 1u);
    }
    // Save As names the file written as the pane's file.
    if (row.op == kSaveAs) {
      EXPECT_EQ(l.library.upperSoundFileName, keptBoth ? "Bank (2).syx" : "Bank.syx");
    }
    if (!keptBoth && row.op != kImport) {
      EXPECT_EQ(l.shown, std::vector<std::string>{row.kind == kGlobal || row.kind == kUnconvertible
                                                      ? "Bank not saved! / Holds data the library does not keep"
                                                      : "Bank not saved! / Holds more than one bank"});
    }
  }
}

// A same-size rewrite inside one tick of a coarse clock leaves the stamp as
// it was; the content read tells it all the same, down to a file's last byte.
TEST(KeptFiles, ARewriteTheStampDoesNotShowIsSeenByItsContent) {
  struct Row {
    const char* label;
    Bytes read, rewritten;
  };
  // 99 sounds and one cut short by the file's end, after 385 of its bytes:
  // 39193 bytes, so the last byte is not in a whole word of eight.
  Bytes cut = concat({soundFile("s", 99), soundDump("Cut")});
  cut.resize(cut.size() - 392 + 385);
  Bytes lastByte = cut;
  lastByte.back() = 'X';
  for (const Row& row : {Row{"another bank", soundFile("s", 100), soundFile("t", 100)},
                         Row{"only the last byte", cut, lastByte}}) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    const fs::path file = data.patches() / "Bank.syx";
    writeFile(file, row.read);
    LoggedLibrary l(data.patchesStr());
    struct stat read {};
    ASSERT_EQ(::stat(file.c_str(), &read), 0);
    // Another program rewrites the file in place, same size, and the clock
    // gives it its old time; the bank stands for what the stamp now says.
    writeFile(file, row.rewritten);
    const timespec times[2] = {read.st_atim, read.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    l.library.bankForEdit(kSoundList, 0)->stamp = userfiles::StampOf(file.string());
    std::vector<int> asked;
    l.library.hooks.messageBox = [&](const std::string&, const std::string&, int type) {
      asked.push_back(type);
      return 7;
    };
    rename(l.library, 0, numbered("Mine", 0));
    EXPECT_TRUE(saveFirstBank(l.library, data));
    EXPECT_EQ(asked, std::vector<int>{3});
    EXPECT_EQ(readFile(file), row.rewritten);
    EXPECT_EQ(dumpNamesOf(readFile(data.patches() / "Bank (2).syx")).count(numbered("Mine", 0)), 1u);

    // A load shared by instances: a file changed just before the load is
    // compared by content, so a later instance does not take the old banks.
    PatchLibrarian first;
    first.loadSharedPatches(data.patchesStr());
    const auto taken = SharedLibraryLoads::take(SharedLibraryLoads::keyOf(data.patchesStr()), [] {
      ADD_FAILURE() << "the load just made holds";
      return std::make_shared<SharedLoad>();
    });
    auto load = std::make_shared<SharedLoad>();
    load->contents.digests = taken->contents.digests;
    ASSERT_FALSE(load->contents.digests.empty());
    for (const auto& [path, digest] : load->contents.digests)
      if (const auto now = userfiles::StampOf(path)) load->contents.stamps.emplace_back(path, *now);
    EXPECT_TRUE(SharedLibraryLoads::stampsHold(*load));
    writeFile(file, row.read);
    for (auto& [path, stamp] : load->contents.stamps) stamp = *userfiles::StampOf(path);  // the stamps still hold
    EXPECT_FALSE(SharedLibraryLoads::stampsHold(*load));
  }

  // A split: on a file system whose stamps keep whole seconds, the source
  // rewritten in place while its pieces are written, in the same second. It
  // stays as it is now and is not split; nothing of the old one is named.
  DataFolder split;
  SmallFileSystem seconds(split.patches(), SmallFileSystem::kWholeSeconds);
  if (!seconds.mounted()) {
    std::cout << "no file system of whole seconds here: " << seconds.error << "\n";
    return;
  }
  const fs::path big = split.patches() / "Big.syx";
  for (int round = 0; round < 3; ++round) {
    // At the start of a second, so that the split falls within it.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    ::usleep(static_cast<useconds_t>((1000000000L - now.tv_nsec) / 1000 + 1000));
    writeFile(big, soundFile("old", 150));
    bool sameStamp = false;
    PatchLibrarian splitter;
    std::vector<std::string> shown;
    splitter.hooks.showFailure = [&](const std::string& what, const std::string& why) { shown.push_back(what + " / " + why); };
    splitter.hooks.splitStep = [&](int step) {
      if (step != 0) return;
      const auto before = userfiles::StampOf(big.string());
      writeFile(big, soundFile("new", 150));
      sameStamp = before == userfiles::StampOf(big.string());
    };
    splitter.loadPatchesFromFilesystem(split.patchesStr());
    if (!sameStamp) continue;  // the second turned: the stamp tells
    EXPECT_EQ(shown, std::vector<std::string>{"Big.syx not split! / Changed by another program"});
    EXPECT_EQ(filesBelow(split.patches()), std::vector<std::string>{"Big.syx"});
    EXPECT_EQ(readFile(big), soundFile("new", 150));
    EXPECT_FALSE(fs::exists(split.converted()));
    break;
  }
}

// ---- A split's note in each format the editor ever wrote.

// The fields of the newest format: head, source, digest, identity, hidden
// source, size, SHA-1, then each piece's hidden name, name, size and SHA-1,
// then the mark that the source left the folder.
enum { kSource = 1, kIdentity = 3, kHidden = 4, kSize = 5, kSha1 = 6, kPiece = 7, kPieceFields = 4 };
const std::string kMovedMark = "\x01moved";
// Newest first; the two earliest have no hidden source and no mark, the
// earliest ends its fields with newlines.
enum NoteFormat { kFormat5, kFormat4, kFormat3, kFormat2, kFormat1 };

std::string sha1Hex(const Bytes& bytes) {
  Poco::SHA1Engine sha1;
  sha1.update(bytes.data(), static_cast<unsigned>(bytes.size()));
  return Poco::DigestEngine::digestToHex(sha1.digest());
}

// The fields of a note file ended by NULs, the head first.
std::vector<std::string> nulFields(const fs::path& file) {
  std::vector<std::string> f(1);
  for (const unsigned char c : readFile(file)) c ? f.back() += static_cast<char>(c) : f.emplace_back();
  f.pop_back();  // after the last field's end
  return f;
}

// The fields of a split's note in folder, in the newest format: a note the
// editor wrote without the pieces' sizes and SHA-1s gets them from the
// hidden pieces beside it.
std::optional<std::vector<std::string>> newestFields(const fs::path& note) {
  std::vector<std::string> f = nulFields(note);
  if (f.size() <= kPiece || (f[0] != "tvx split 5" && f[0] != "tvx split 4")) return std::nullopt;
  if (f[0] == "tvx split 5") return f;
  std::vector<std::string> newest(f.begin(), f.begin() + kPiece);
  newest[0] = "tvx split 5";
  for (size_t i = kPiece; i + 1 < f.size(); i += 2) {
    const Bytes piece = readFile(note.parent_path() / f[i]);
    newest.insert(newest.end(), {f[i], f[i + 1], std::to_string(piece.size()), sha1Hex(piece)});
  }
  if (f.back() == kMovedMark) newest.push_back(kMovedMark);
  return newest;
}

// The fields of the newest format as a note of the format gives them.
std::vector<std::string> fieldsIn(const std::vector<std::string>& f, NoteFormat format) {
  if (format == kFormat5) return f;
  const bool mark = f.size() > kPiece && (f.size() - kPiece) % kPieceFields == 1 && f.back() == kMovedMark;
  const size_t end = f.size() - (mark ? 1 : 0);
  std::vector<std::string> out = {std::string("tvx split ") + "54321"[format], f[kSource], f[2]};
  if (format <= kFormat2) out.push_back(f[kIdentity]);
  if (format <= kFormat3) out.push_back(f[kHidden]);
  if (format == kFormat4) out.insert(out.end(), {f[kSize], f[kSha1]});
  for (size_t i = kPiece; i + 1 < end; i += kPieceFields) {
    if (format == kFormat1) out.push_back(f[i] + "\t" + f[i + 1]);
    else out.insert(out.end(), {f[i], f[i + 1]});
  }
  if (mark && format <= kFormat3) out.push_back(kMovedMark);
  return out;
}

Bytes joined(const std::vector<std::string>& fields, NoteFormat format) {
  std::string text;
  for (const std::string& field : fields) text += field + (format == kFormat1 ? '\n' : '\0');
  return Bytes(text.begin(), text.end());
}

Bytes noteText(const std::vector<std::string>& f, NoteFormat format) { return joined(fieldsIn(f, format), format); }

// ---- A split cut short anywhere leaves nothing a later load splits again.

// What follows the split cut short: the next load some seconds later, or
// at once; the source rewritten in place or replaced by another file first;
// another process splitting while this one loads, or splitting the file
// this one has just read; this one reading the folder before the other is
// cut short; the source renamed, moved or deleted by the user, or another
// file renamed over it; the note rewritten in the earlier newline format;
// another process splitting another file while this one splits; the
// moved original deleted from "Converted Banks" by the user; the kill
// inside the move's copy into "Converted Banks" (the copy it leaves made
// here, whole or cut); the note rewritten in the previous format (no size,
// no SHA-1), with such a copy.
// One row a test: every step of a row splits and loads anew, too long for
// all rows in one test on a busy machine in the sanitizer build.
enum Next {
  kLater, kAtOnce, kRewritten, kReplaced, kWhileSplitting, kReadFirst, kReadBeforeCut, kRenamed, kMovedAway,
  kDeleted, kRenamedOver, kLineNote, kSplittingAnother, kConvertedDeleted, kCopyCut, kPreviousNote
};
constexpr long kSourceSize = 250 * 392 + 50 * 393;
struct SplitCutRow {
  const char* label;
  std::string source;
  Next next;
  bool otherFileSystem = false;  // "Converted Banks" on another file system
  bool copyLeft = false;         // an earlier version's move cut inside its copy
  // The copy a kill inside the move's copy left in "Converted Banks", with
  // the source still hidden in the library folder: how many of the
  // source's bytes it lacks (-1: none), whether it has the source's own
  // name there (else a hidden one), and whether its last byte differs.
  long copyShort = -1;
  bool copyNamed = false;
  bool copyAltered = false;
};
std::vector<SplitCutRow> splitCutRows() {
  return {
      {"a load some seconds later", "Big.syx", kLater},
      {"a load within two seconds", "Big.syx", kAtOnce},
      {"a name with a newline and a tab", "Big\nBank\t1.syx", kAtOnce},
      {"the source rewritten in place first", "Big.syx", kRewritten},
      {"another file under the source's name first", "Big.syx", kReplaced},
      {"a second process loads during the split", "Big.syx", kWhileSplitting},
      {"a second process splits what this one read", "Big.syx", kReadFirst},
      {"this process read the folder before the other was cut short", "Big.syx", kReadBeforeCut},
      {"the source renamed after the cut", "Big.syx", kRenamed},
      {"the source moved into a subfolder after the cut", "Big.syx", kMovedAway},
      {"the source deleted after the cut", "Big.syx", kDeleted},
      {"another file renamed over the source after the cut", "Big.syx", kRenamedOver},
      {"a note in the earlier newline format", "Big.syx", kLineNote},
      {"another process splits another file meanwhile", "Big.syx", kSplittingAnother},
      {"the move onto another file system", "Big.syx", kAtOnce, true},
      {"the source renamed after a cut, across file systems", "Big.syx", kRenamed, true},
      {"the source moved into a subfolder after a cut, across file systems", "Big.syx", kMovedAway, true},
      {"the source deleted after a cut, across file systems", "Big.syx", kDeleted, true},
      {"a note in the earlier newline format, cut inside its move's copy", "Big.syx", kLineNote, false, true},
      {"the moved original deleted after the cut", "Big.syx", kConvertedDeleted},
      {"the moved original deleted after a cut, across file systems", "Big.syx", kConvertedDeleted, true},
      {.label = "killed inside the move's copy: a whole copy under a hidden name", .source = "Big.syx",
       .next = kCopyCut, .copyShort = 0},
      {.label = "killed inside the move's copy: half a copy under a hidden name", .source = "Big.syx",
       .next = kCopyCut, .copyShort = kSourceSize / 2},
      {.label = "killed inside the move's copy: an empty copy under a hidden name", .source = "Big.syx",
       .next = kCopyCut, .copyShort = kSourceSize},
      {.label = "a copy one byte short under the source's name", .source = "Big.syx", .next = kCopyCut,
       .copyShort = 1, .copyNamed = true},
      {.label = "a copy of the source's size with another last byte under its name", .source = "Big.syx",
       .next = kCopyCut, .copyShort = 0, .copyNamed = true, .copyAltered = true},
      {.label = "a note of the previous format, a whole copy under a hidden name", .source = "Big.syx",
       .next = kPreviousNote, .copyShort = 0},
  };
}

// Named so in the test's listing (and ctest's).
void PrintTo(const SplitCutRow& row, std::ostream* os) { *os << row.label; }

// The note a killed split left, in the newline format of earlier versions
// (no identity), written when the note was. Those versions moved the
// source in one go: one hidden at the cut had not been moved, or was cut
// inside its copy onto another file system (copyTo: the whole copy).
void toLineNote(const fs::path& folder, const std::optional<fs::path>& copyTo) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    const auto newest = newestFields(entry.path());
    if (!newest) continue;
    const std::vector<std::string>& fields = *newest;
    if (fs::exists(folder / fields[4]) && fs::file_size(folder / fields[4]) > 0) {
      fs::rename(folder / fields[4], folder / fields[1]);
      if (copyTo) {
        fs::create_directories(*copyTo);
        writeFile(*copyTo / fields[1], readFile(folder / fields[1]));
      }
    }
    struct stat info {};
    ::stat(entry.path().c_str(), &info);
    writeFile(entry.path(), noteText(fields, kFormat1));
    const timespec written[2] = {{0, UTIME_OMIT}, info.st_mtim};
    ::utimensat(AT_FDCWD, entry.path().c_str(), written, 0);
  }
}

// The note as the previous version wrote it: the same fields without the
// source's size and SHA-1, written when the note was.
void toPreviousNote(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    const auto fields = newestFields(entry.path());
    if (!fields) continue;
    struct stat info {};
    ::stat(entry.path().c_str(), &info);
    writeFile(entry.path(), noteText(*fields, kFormat3));
    const timespec written[2] = {{0, UTIME_OMIT}, info.st_mtim};
    ::utimensat(AT_FDCWD, entry.path().c_str(), written, 0);
  }
}

class SplitCutShortAtEachStep : public ::testing::TestWithParam<SplitCutRow> {};

TEST_P(SplitCutShortAtEachStep, TheNextLoadEndsWithEachSoundOnce) {
  using Row = SplitCutRow;
  const Row& row = GetParam();
  const Bytes source = concat({soundFile("big", 250), multiFile("mul", 50)});
  ASSERT_EQ(source.size(), static_cast<size_t>(kSourceSize));
  const Bytes rewritten = soundFile("new", 150);
  const Bytes other = soundFile("oth", 120);
  // What the user leaves where the source was; where it then is.
  const std::map<Next, std::string> userMoves = {{kRenamed, "Big Old.syx"}, {kMovedAway, "Sub/Big.syx"}, {kDeleted, ""}};
  constexpr int kMoved = 5;   // the step that takes the source out of the library folder
  constexpr int kPlaced = 6;  // the step that puts it into "Converted Banks"
  SCOPED_TRACE(row.label);
  const std::string stem = row.source.substr(0, row.source.size() - 4);
  std::vector<std::string> pieces = {stem + " Multis.syx", stem + " Singles 1.syx", stem + " Singles 2.syx",
                                     stem + " Singles 3.syx"};
  std::sort(pieces.begin(), pieces.end());
  int reached = 0;
  for (int kill = 0;; ++kill) {
    SCOPED_TRACE(kill);
    // A copy into "Converted Banks" is cut only while the source is hidden.
    if (row.next == kCopyCut && kill != kMoved) {
      if (kill > kMoved) break;
      continue;
    }
    DataFolder data;
    const fs::path sourcePath = data.patches() / row.source;
    writeFile(sourcePath, source);
    // "Converted Banks" linked to a folder of a memory file system: the
    // move is a copy and a removal, the copy a new file.
    struct Elsewhere {
      std::string path = "/dev/shm/tvx-converted-XXXXXX";
      ~Elsewhere() {
        std::error_code error;
        fs::remove_all(path, error);
      }
    };
    std::optional<Elsewhere> elsewhere;
    if (row.otherFileSystem) {
      elsewhere.emplace();
      struct stat shm {}, here {};
      if (!::mkdtemp(elsewhere->path.data()) || ::stat(elsewhere->path.c_str(), &shm) != 0 ||
          ::stat(data.root.c_str(), &here) != 0 || shm.st_dev == here.st_dev) {
        std::cout << "no second file system here\n";
        break;
      }
      fs::create_directory_symlink(elsewhere->path, data.converted());
    }
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    // A process that dies at that step, as a kill -9 leaves it: no
    // destructor, no clearing up. Or one that splits beside this one.
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(ready[0]);
      char byte = 0;
      const bool gated = row.next == kReadFirst || row.next == kReadBeforeCut;
      if (gated && ::read(go[0], &byte, 1) != 1) ::_exit(4);
      const bool pauses = row.next == kWhileSplitting || row.next == kSplittingAnother;
      PatchLibrarian splitter;
      splitter.hooks.splitStep = [&](int step) {
        if (step != kill || row.next == kReadFirst) return;
        if (!pauses) ::_exit(0);
        (void)!::write(ready[1], "r", 1);
        ::usleep(200000);
      };
      splitter.loadPatchesFromFilesystem(data.patchesStr());
      ::_exit(3);
    }
    ::close(ready[1]);
    ::close(go[0]);
    std::unique_ptr<LoggedLibrary> next;
    int status = 0;
    bool moved = true;
    if (row.next == kWhileSplitting || row.next == kSplittingAnother) {
      char byte = 0;
      const bool paused = ::read(ready[0], &byte, 1) == 1;
      // This load splits a file the other did not list.
      if (paused && row.next == kSplittingAnother) writeFile(data.patches() / "Sub/Other.syx", other);
      if (paused) next = std::make_unique<LoggedLibrary>(data.patchesStr());
      ::waitpid(child, &status, 0);
      if (!paused) break;  // every step was reached
    } else if (row.next == kReadFirst || row.next == kReadBeforeCut) {
      // The other process splits the file once this load has read it.
      bool sent = false;
      next = std::make_unique<LoggedLibrary>(data.patchesStr(), kMaxSplitEntries, [&](const std::string& line) {
        if (sent || line != "PATCH LIBRARIAN: loading file " + sourcePath.string()) return;
        sent = true;
        (void)!::write(go[1], "g", 1);
        ::waitpid(child, &status, 0);
      });
      moved = kill >= kMoved;
      if (row.next == kReadBeforeCut && WIFEXITED(status) && WEXITSTATUS(status) == 3) break;  // every step
    } else {
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status));
      if (WEXITSTATUS(status) == 3) break;  // every step was reached
      moved = kill >= kMoved;
      if (row.next == kLater) {
        for (const auto& entry : fs::directory_iterator(data.patches())) {
          const timespec past[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 10, 0}};
          ::utimensat(AT_FDCWD, entry.path().c_str(), past, AT_SYMLINK_NOFOLLOW);
        }
      }
      if (row.next == kRewritten || (row.next == kReplaced && !moved)) {
        writeFile(sourcePath, rewritten);  // in place, or where the source was
      } else if (row.next == kReplaced || row.next == kRenamedOver) {
        writeFile(data.patches() / "incoming", rewritten);
        fs::rename(data.patches() / "incoming", sourcePath);
      } else if (userMoves.count(row.next) && !moved) {
        const std::string to = userMoves.at(row.next);
        if (!to.empty()) fs::create_directories((data.patches() / to).parent_path());
        to.empty() ? (void)fs::remove(sourcePath) : fs::rename(sourcePath, data.patches() / to);
      } else if (row.next == kLineNote) {
        toLineNote(data.patches(), row.copyLeft ? std::optional(data.converted()) : std::nullopt);
      } else if (row.next == kConvertedDeleted && moved && fs::exists(data.converted())) {
        for (const auto& entry : fs::directory_iterator(data.converted())) fs::remove(entry.path());
      }
      if (row.copyShort >= 0 && kill == kMoved) {
        Bytes copy(source.begin(), source.end() - row.copyShort);
        if (row.copyAltered) copy.back() ^= 0x01;
        writeFile(data.converted() / (row.copyNamed ? row.source : ".tvx-C0py42"), copy);
      }
      if (row.next == kPreviousNote) toPreviousNote(data.patches());
      next = std::make_unique<LoggedLibrary>(data.patchesStr());
    }
    ::close(ready[0]);
    ::close(go[1]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status),
              row.next == kWhileSplitting || row.next == kReadFirst || row.next == kSplittingAnother ? 3 : 0);
    ++reached;
    // Every sound once in the library, each bank file listed under its name.
    // (The init sounds that fill the last pieces are left aside.) What the
    // user deleted does not come back.
    const bool rewrite = row.next == kRewritten || row.next == kReplaced || row.next == kRenamedOver;
    const bool deleted = row.next == kDeleted && !moved;
    std::multiset<std::string> expected = dumpNamesOf(rewrite ? rewritten : Bytes{});
    if ((!rewrite || moved) && !deleted) expected.merge(dumpNamesOf(source));
    if (row.next == kSplittingAnother) expected.merge(dumpNamesOf(other));
    std::set<std::string> ours;
    for (const Bytes& image : {source, rewritten, other})
      for (const auto& name : dumpNamesOf(image)) ours.insert(name);
    const auto keepOurs = [&](std::multiset<std::string> names) {
      std::erase_if(names, [&](const std::string& name) { return !ours.count(name); });
      return names;
    };
    const auto check = [&](const LoggedLibrary& l) {
      std::multiset<std::string> listed;
      std::vector<std::string> banks;
      for (const BankList* list : {&l.library.contents().soundBanks, &l.library.contents().multiBanks}) {
        for (const auto& bank : *list) {
          banks.push_back(bank->fileName);
          for (const auto& e : bank->patches)
            if (e.typeCode == kSoundFromFile || e.typeCode == kMultiFromFile) listed.insert(e.name);
        }
      }
      EXPECT_EQ(keepOurs(listed), expected);
      std::sort(banks.begin(), banks.end());
      std::vector<std::string> visible;
      std::multiset<std::string> onDisk;
      for (const auto& file : filesBelow(data.patches())) {
        const std::string name = fs::path(file).filename().string();
        if (name.starts_with(".tvx-")) continue;
        visible.push_back(name);
        onDisk.merge(dumpNamesOf(readFile(data.patches() / file)));
      }
      std::sort(visible.begin(), visible.end());
      EXPECT_EQ(banks, visible);
      EXPECT_EQ(keepOurs(onDisk), expected);
      EXPECT_EQ(l.shown, std::vector<std::string>{});
    };
    // No byte of the original lost: a file of the user's holds it whole.
    const bool originalDeleted = row.next == kConvertedDeleted && kill >= kPlaced;
    const auto originalKept = [&] {
      for (const fs::path& folder : {data.patches(), data.converted()})
        for (const auto& file : filesBelow(folder))
          if (!fs::path(file).filename().string().starts_with(".tvx-") && readFile(folder / file) == source) return true;
      return false;
    };
    if (!rewrite && !deleted && !originalDeleted) {
      EXPECT_TRUE(originalKept());
    }
    check(*next);
    // The copy an earlier version's cut left stays beside the source moved
    // again, as does a copy a kill inside the move's copy left (a hidden
    // one until it is stale).
    const bool leftOverCopy = (row.copyLeft || row.copyShort >= 0) && kill == kMoved;
    EXPECT_EQ(filesBelow(data.converted()).size(),
              deleted || originalDeleted                                           ? 0u
              : (rewrite && moved) || row.next == kSplittingAnother || leftOverCopy ? 2u
                                                                                     : 1u);
    if (!rewrite && !deleted && !originalDeleted && !leftOverCopy && row.next != kSplittingAnother) {
      const bool userMoved = userMoves.count(row.next) && !moved;
      EXPECT_EQ(filesBelow(data.converted()),
                std::vector<std::string>{userMoved ? fs::path(userMoves.at(row.next)).filename().string() : row.source});
      if (row.next == kLater) {
        EXPECT_EQ(filesBelow(data.patches()), pieces);
      }
    }
    // Some seconds later, one more load: the same, and nothing hidden left.
    next.reset();
    for (const fs::path& folder : {data.patches(), data.converted()}) {
      std::error_code none;
      for (const auto& entry : fs::directory_iterator(folder, none)) {
        const timespec past[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 10, 0}};
        ::utimensat(AT_FDCWD, entry.path().c_str(), past, AT_SYMLINK_NOFOLLOW);
      }
    }
    const LoggedLibrary later(data.patchesStr());
    check(later);
    if (!rewrite && !deleted && !originalDeleted) {
      EXPECT_TRUE(originalKept());
    }
    for (const fs::path& folder : {data.patches(), data.converted()})
      for (const auto& file : filesBelow(folder)) EXPECT_FALSE(fs::path(file).filename().string().starts_with(".tvx-")) << file;
    if (row.next == kReadFirst) break;
  }
  // Four pieces written, the note, the source out of the folder, the source
  // in "Converted Banks", four pieces named.
  if (!row.otherFileSystem || reached > 0) {
    EXPECT_EQ(reached, row.next == kReadFirst || row.next == kCopyCut ? 1 : 11);
  }
}

std::string splitCutName(const ::testing::TestParamInfo<SplitCutRow>& info) {
  std::string name;
  for (const char c : std::string(info.param.label)) {
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    else if (!name.empty() && name.back() != '_') name += '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(SplitCutShort, SplitCutShortAtEachStep, ::testing::ValuesIn(splitCutRows()), splitCutName);

TEST(SplitCutShort, ASplitByAnotherProcessWhileTheLoadReadsIsFoundByReadingAgain) {
  // Split by another process after this load listed its folder and before
  // it read it: the load reads the library again and finds the pieces.
  DataFolder data;
  writeFile(data.patches() / "A/Inner/Big.syx", soundFile("big", 180));
  writeFile(data.patches() / "A/.tvx-Stale1", Bytes{1});  // its removal is heard after Inner is listed
  const timespec past[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 10, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (data.patches() / "A/.tvx-Stale1").c_str(), past, 0), 0);
  bool split = false;
  const LoggedLibrary l(data.patchesStr(), kMaxSplitEntries, [&](const std::string& line) {
    if (split || !line.starts_with("PATCH LIBRARIAN: removed file ")) return;
    split = true;
    std::vector<Bytes> second;
    for (int i = 100; i < 180; ++i) second.push_back(soundDump(numbered("big", i), "Lead", static_cast<unsigned char>(i)));
    writeFile(data.patches() / "A/Inner/Big Singles 1.syx", soundFile("big", 100));
    writeFile(data.patches() / "A/Inner/Big Singles 2.syx", concat(second));
    fs::create_directories(data.converted());
    fs::rename(data.patches() / "A/Inner/Big.syx", data.converted() / "Big.syx");
  });
  EXPECT_TRUE(split);
  EXPECT_EQ(l.count("PATCH LIBRARIAN: file " + data.patchesStr() + "/A/Inner/Big.syx went while it was read"), 1);
  EXPECT_EQ(l.library.contents().leftOut.size(), 0u);
  std::multiset<std::string> listed;
  for (const auto& bank : l.library.contents().soundBanks)
    for (const auto& e : bank->patches)
      if (e.name.starts_with("big")) listed.insert(e.name);
  EXPECT_EQ(listed, dumpNamesOf(soundFile("big", 180)));

  // The same during the reload that reads this load's own pieces: one more
  // reload finds the other's.
  DataFolder twice;
  writeFile(twice.patches() / "Own.syx", soundFile("own", 150));
  writeFile(twice.patches() / "A/Inner/Big.syx", soundFile("big", 100));
  bool staleWritten = false, moved = false;
  const LoggedLibrary l2(twice.patchesStr(), kMaxSplitEntries, [&](const std::string& line) {
    if (!staleWritten && line.starts_with("PATCH LIBRARIAN: moved file ")) {
      // Left for the reload to remove, after it listed Inner.
      staleWritten = true;
      writeFile(twice.patches() / "A/.tvx-Stale2", Bytes{1});
      ::utimensat(AT_FDCWD, (twice.patches() / "A/.tvx-Stale2").c_str(), past, 0);
    } else if (staleWritten && !moved && line.starts_with("PATCH LIBRARIAN: removed file ")) {
      moved = true;
      writeFile(twice.patches() / "A/Inner/Big Singles 1.syx", soundFile("big", 100));
      fs::rename(twice.patches() / "A/Inner/Big.syx", twice.converted() / "Big.syx");
    }
  });
  EXPECT_TRUE(moved);
  std::multiset<std::string> both;
  for (const auto& bank : l2.library.contents().soundBanks)
    for (const auto& e : bank->patches)
      if (e.name.starts_with("big") || e.name.starts_with("own")) both.insert(e.name);
  std::multiset<std::string> expectedBoth = dumpNamesOf(soundFile("big", 100));
  expectedBoth.merge(dumpNamesOf(soundFile("own", 150)));
  EXPECT_EQ(both, expectedBoth);
}

// ---- A split's note names only files of its own folder, and no byte of a
// hidden original is lost, whatever its note says or lacks.

// A split of the folder's bank killed, as kill -9 leaves it, at the step
// given (with four pieces, at 5 the source is hidden and its move noted).
void killSplitAt(const DataFolder& data, int step) {
  const pid_t child = ::fork();
  if (child == 0) {
    PatchLibrarian splitter;
    splitter.hooks.splitStep = [step](int reached) {
      if (reached == step) ::_exit(0);
    };
    splitter.loadPatchesFromFilesystem(data.patchesStr());
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The split's note in folder and its fields in the newest format.
std::pair<fs::path, std::vector<std::string>> noteIn(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (const auto f = newestFields(entry.path())) return {entry.path(), *f};
  return {{}, {""}};
}

bool temporaryShape(const fs::path& path) { return userfiles::isTemporaryName(path.filename().string()); }

void ageBelow(const fs::path& folder) {
  std::error_code none;
  for (auto it = fs::recursive_directory_iterator(folder, none); it != fs::recursive_directory_iterator(); ++it) {
    const timespec past[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 10, 0}};
    ::utimensat(AT_FDCWD, it->path().c_str(), past, AT_SYMLINK_NOFOLLOW);
  }
}

// Whether a file the user sees (no hidden name on its way) holds the bytes.
bool shownBelow(const fs::path& folder, const Bytes& bytes) {
  for (const auto& [name, held] : contentsBelow(folder))
    if (held == bytes && name[0] != '.' && name.find("/.") == std::string::npos) return true;
  return false;
}

// The sounds and multis of an image a library lists (no init sound).
std::multiset<std::string> listedOf(const PatchLibrarian& library, const Bytes& image) {
  const std::multiset<std::string> ours = dumpNamesOf(image);
  std::multiset<std::string> listed;
  for (const BankList* list : {&library.contents().soundBanks, &library.contents().multiBanks})
    for (const auto& bank : *list)
      for (const auto& e : bank->patches) listed.insert(ours.count(e.name) ? e.name : std::string());
  listed.erase(std::string());
  return listed;
}

struct HostileRow {
  const char* label;
  // Makes the note's fields say what the row says (elsewhere: a folder
  // outside the data folder); may lay files of its own.
  std::function<void(std::vector<std::string>&, const DataFolder&, const fs::path& elsewhere)> make;
  bool said = true;  // the status line names a file put back (else it may)
  const char* place = "Patches";  // the folder in the data folder of the note and its files
};
void PrintTo(const HostileRow& row, std::ostream* os) { *os << row.label; }

std::vector<HostileRow> hostileRows() {
  const auto out = [](const fs::path& elsewhere, const char* name) {
    return "../../" + elsewhere.filename().string() + "/" + name;
  };
  // The size, SHA-1 and identity of another file.
  const auto like = [](std::vector<std::string>& f, const fs::path& file) {
    Poco::SHA1Engine sha1;
    const Bytes bytes = readFile(file);
    sha1.update(bytes.data(), static_cast<unsigned>(bytes.size()));
    struct stat info {};
    ::stat(file.c_str(), &info);
    f[kSize] = std::to_string(bytes.size());
    f[kSha1] = Poco::DigestEngine::digestToHex(sha1.digest());
    f[kIdentity] = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  };
  using F = std::vector<std::string>;
  using D = const DataFolder;
  using E = const fs::path;
  return {
      {"a source leading out of the data folder", [=](F& f, D&, E& e) { f[kSource] = out(e, "evil.syx"); }},
      {"a source in a subfolder", [](F& f, D&, E&) { f[kSource] = "Sub/Big.syx"; }},
      {"a source of two dots", [](F& f, D&, E&) { f[kSource] = ".."; }},
      {"a source of one dot", [](F& f, D&, E&) { f[kSource] = "."; }},
      {"an absolute source path", [](F& f, D&, E& e) { f[kSource] = (e / "evil.syx").string(); }},
      {"a link at the source's name", [](F&, D& d, E& e) { fs::create_symlink(e / "There.syx", d.patches() / "Big.syx"); }},
      {"a hidden source of another shape", [](F& f, D&, E&) { f[kHidden] = ".tvx-notes"; }},
      {"a piece's hidden name of another shape", [](F& f, D&, E&) { f[kPiece] = ".tvx-notes"; }},
      {"a piece's name leading out", [=](F& f, D&, E& e) { f[kPiece + 1] = out(e, "piece.syx"); }},
      {"a hidden piece that is a link",
       [](F& f, D& d, E& e) {
         fs::remove(d.patches() / f[kPiece]);
         fs::create_symlink(e / "There.syx", d.patches() / f[kPiece]);
       }},
      {"the size, SHA-1 and identity of another file", [=](F& f, D& d, E&) { like(f, d.patches() / "Other.syx"); }},
      {"the size, SHA-1 and identity of a bank in Converted Banks",
       [=](F& f, D& d, E&) { like(f, d.converted() / "Keep.syx"); }},
      {"a size of 0",
       [=](F& f, D& d, E&) {
         like(f, d.patches() / ".tvx-notes");
         f[kSize] = "0";
       }},
      // The SHA-1 proves the hidden file the source; the identity alone does not.
      {"another file's name and identity as the source's",
       [=](F& f, D& d, E&) {
         const F source = f;
         like(f, d.patches() / "Other.syx");
         f[kSource] = "Other.syx";
         f[kSize] = source[kSize];
         f[kSha1] = source[kSha1];
       },
       false},
      {"a note in the data folder", [](F&, D&, E&) {}, true, ""},
      {"a note in Converted Banks", [](F&, D&, E&) {}, true, "Converted Banks"},
  };
}

class SplitNotes : public ::testing::TestWithParam<HostileRow> {};

// A split killed once its source is hidden, its note then made to say what
// the row says, taken up by the next load and the one after: no file but
// the split's is moved, changed or removed, none appears elsewhere, every
// byte of the hidden original is in a file the user sees, and a file put
// back is named in the status line.
TEST_P(SplitNotes, NoFileButTheSplitsIsTouchedAndNoHiddenByteIsLost) {
  const HostileRow& row = GetParam();
  const Bytes source = concat({soundFile("big", 250), multiFile("mul", 50)});
  for (const bool previous : {false, true}) {
    SCOPED_TRACE(previous ? "the previous format" : "the current format");
    DataFolder data;
    const fs::path elsewhere = data.root.string() + "-elsewhere";
    const std::map<std::string, Bytes> there = {{"There.syx", soundFile("there", 100)}};
    writeFile(elsewhere / "There.syx", there.at("There.syx"));
    writeFile(data.patches() / "Big.syx", source);
    writeFile(data.patches() / "Other.syx", soundFile("oth", 100));
    writeFile(data.patches() / ".tvx-notes", Bytes{'n'});
    writeFile(data.converted() / "Keep.syx", soundFile("keep", 100));
    killSplitAt(data, 5);
    auto [note, f] = noteIn(data.patches());
    ASSERT_EQ(f.back(), "\x01moved");
    ASSERT_EQ(readFile(data.patches() / f[kHidden]), source);
    row.make(f, data, elsewhere);
    writeFile(note, noteText(f, previous ? kFormat3 : kFormat5));
    for (const auto& entry : fs::directory_iterator(data.patches()))
      if (temporaryShape(entry.path())) fs::rename(entry.path(), data.root / row.place / entry.path().filename());
    std::map<std::string, Bytes> kept;  // every file but the split's
    for (const auto& [name, bytes] : contentsBelow(data.root))
      if (!temporaryShape(name)) kept[name] = bytes;
    for (int load = 0; load < 2; ++load) {
      ageBelow(data.root);
      const LoggedLibrary l(data.patchesStr());
      const auto now = contentsBelow(data.root);
      for (const auto& [name, bytes] : kept) EXPECT_TRUE(now.count(name) && now.at(name) == bytes) << name;
      EXPECT_EQ(contentsBelow(elsewhere), there);
      EXPECT_TRUE(shownBelow(data.root, source)) << load;
      const std::string count = leftOutLines(l.library.contents().leftOut).count;
      EXPECT_TRUE(load > 0 || !row.said || count.find("put back") != std::string::npos) << count;
      for (const auto& [name, bytes] : now) EXPECT_TRUE(load == 0 || !temporaryShape(name)) << name;
    }
    fs::remove_all(elsewhere);
  }
}

INSTANTIATE_TEST_SUITE_P(SplitNotes, SplitNotes, ::testing::ValuesIn(hostileRows()), LabelName);

// The note of a split killed once its source was hidden, or once it was in
// "Converted Banks", cut at every length as a disk may leave it (its mark
// lost with the cut), in both formats: every sound is listed once, the
// original in a file the user sees, at the next load and the one after.
TEST(SplitNotes, ANoteCutAtAnyLengthLosesNoByteAndListsEachSoundOnce) {
  const Bytes source = concat({soundFile("big", 150), multiFile("mul", 10)});  // three pieces
  for (const int kill : {4, 5})
  for (const bool previous : {false, true}) {
    DataFolder data;
    writeFile(data.patches() / "Big.syx", source);
    killSplitAt(data, kill);
    const auto [note, f] = noteIn(data.patches());
    ASSERT_EQ(f.back(), "\x01moved");
    const Bytes whole = noteText(f, previous ? kFormat3 : kFormat5);
    // The split's files kept aside as links to them: each cut meets them as
    // the split left them, their identity too.
    const fs::path aside = data.root / "aside";
    for (const char* folder : {"Patches", "Converted Banks"}) {
      fs::create_directories(aside / folder);
      fs::create_directories(data.root / folder);
      for (const auto& entry : fs::directory_iterator(data.root / folder))
        if (entry.path() != note) fs::create_hard_link(entry.path(), aside / folder / entry.path().filename());
    }
    for (size_t length = 0; length <= whole.size(); ++length) {
      SCOPED_TRACE(std::to_string(length) + (previous ? " bytes of the previous format" : " bytes") + " killed at " +
                   std::to_string(kill));
      for (const char* folder : {"Patches", "Converted Banks"}) {
        fs::remove_all(data.root / folder);
        fs::create_directories(data.root / folder);
        for (const auto& entry : fs::directory_iterator(aside / folder))
          fs::create_hard_link(entry.path(), data.root / folder / entry.path().filename());
      }
      writeFile(note, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
      for (int load = 0; load < 2; ++load) {
        const LoggedLibrary l(data.patchesStr());
        EXPECT_EQ(listedOf(l.library, source), dumpNamesOf(source));
        EXPECT_TRUE(shownBelow(data.patches(), source) || shownBelow(data.converted(), source));
        for (const auto& name : filesBelow(data.patches())) EXPECT_TRUE(load == 0 || !temporaryShape(name)) << name;
        ageBelow(data.patches());
      }
    }
  }
}

// A file's bytes, read in one go.
Bytes bytesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::error_code error;
  Bytes bytes(static_cast<size_t>(fs::file_size(path, error)));
  if (error) return {};
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// A note not marked done that names a hidden original (a bank of more
// than a hundred sounds no note of its own names) as one of its pieces, in
// each format: cut at every length, each field made unreadable (empty, more
// digits than 64 bits hold, a sign, junk), or with the original's own size
// and SHA-1 as the piece's. Whatever the note says, the load ends, leaves
// every file of the user's as it was, and the original and the source split
// are each in a file the user sees.
enum class Hostile { kCut, kField, kProvedAsPiece };
struct PieceNoteRow {
  const char* label;
  NoteFormat format;
  Hostile hostile;
};
void PrintTo(const PieceNoteRow& row, std::ostream* os) { *os << row.label; }

class NotesNamingAnOriginal : public ::testing::TestWithParam<PieceNoteRow> {};

TEST_P(NotesNamingAnOriginal, NoLoadLosesAByteOrThrows) {
  const PieceNoteRow& row = GetParam();
  const Bytes source = concat({soundFile("big", 101), multiFile("mul", 1)});  // three pieces
  const Bytes original = soundFile("org", 101);
  const std::map<std::string, Bytes> users = {{"Patches/Other.syx", soundFile("oth", 100)},
                                              {"Converted Banks/Keep.syx", soundFile("keep", 100)}};
  DataFolder data;
  writeFile(data.patches() / "Big.syx", source);
  killSplitAt(data, 4);
  auto [note, f] = noteIn(data.patches());
  ASSERT_EQ(f.back(), kMovedMark);
  f[kPiece] = ".tvx-src001";
  if (row.hostile == Hostile::kProvedAsPiece) {
    f[kPiece + 2] = std::to_string(original.size());
    f[kPiece + 3] = sha1Hex(original);
  }
  writeFile(data.patches() / f[kPiece], original);
  // The earliest formats moved the source in one go: it was not moved yet.
  if (row.format >= kFormat2) fs::rename(data.patches() / f[kHidden], data.patches() / "Big.syx");
  const fs::path aside = data.root / "aside";
  fs::create_directories(aside);
  for (const auto& entry : fs::directory_iterator(data.patches()))
    if (entry.path() != note) fs::create_hard_link(entry.path(), aside / entry.path().filename());
  std::vector<Bytes> notes;
  const std::vector<std::string> fields = fieldsIn(f, row.format);
  const Bytes whole = joined(fields, row.format);
  if (row.hostile == Hostile::kField) {
    for (size_t i = 0; i < fields.size(); ++i) {
      for (const char* junk : {"", "99999999999999999999", "-1", "x"}) {
        std::vector<std::string> damaged = fields;
        damaged[i] = junk;
        notes.push_back(joined(damaged, row.format));
      }
    }
  } else {
    for (size_t length = 0; length <= whole.size(); ++length)
      notes.emplace_back(whole.begin(), whole.begin() + static_cast<long>(length));
  }
  for (const Bytes& text : notes) {
    SCOPED_TRACE(::testing::PrintToString(std::string(text.begin(), text.end())));
    fs::remove_all(data.patches());
    fs::remove_all(data.converted());
    fs::create_directories(data.patches());
    for (const auto& entry : fs::directory_iterator(aside))
      fs::create_hard_link(entry.path(), data.patches() / entry.path().filename());
    for (const auto& [name, bytes] : users) writeFile(data.root / name, bytes);
    writeFile(note, text);
    EXPECT_NO_THROW(LoggedLibrary{data.patchesStr()});
    // What the user sees: files of no hidden name, in either folder.
    std::set<Bytes> shown;
    for (const fs::path& folder : {data.patches(), data.converted()})
      for (const auto& name : filesBelow(folder))
        if (name[0] != '.' && name.find("/.") == std::string::npos) shown.insert(bytesOf(folder / name));
    for (const auto& [name, bytes] : users) EXPECT_EQ(bytesOf(data.root / name), bytes) << name;
    EXPECT_TRUE(shown.count(original));
    EXPECT_TRUE(shown.count(source));
  }
}

INSTANTIATE_TEST_SUITE_P(
    SplitNotes, NotesNamingAnOriginal,
    ::testing::Values(PieceNoteRow{"current format cut at every length", kFormat5, Hostile::kCut},
                      PieceNoteRow{"current format, each field unreadable", kFormat5, Hostile::kField},
                      PieceNoteRow{"current format proving the original as the piece", kFormat5, Hostile::kProvedAsPiece},
                      PieceNoteRow{"format 4 cut at every length", kFormat4, Hostile::kCut},
                      PieceNoteRow{"format 4, each field unreadable", kFormat4, Hostile::kField},
                      PieceNoteRow{"format 3 cut at every length", kFormat3, Hostile::kCut},
                      PieceNoteRow{"format 3, each field unreadable", kFormat3, Hostile::kField},
                      PieceNoteRow{"format 2 cut at every length", kFormat2, Hostile::kCut},
                      PieceNoteRow{"format 2, each field unreadable", kFormat2, Hostile::kField},
                      PieceNoteRow{"format 1 cut at every length", kFormat1, Hostile::kCut},
                      PieceNoteRow{"format 1, each field unreadable", kFormat1, Hostile::kField}),
    LabelName);

// A hidden source that can be neither moved on nor put back (a full disk,
// a folder that takes no new name) stays hidden with its note through every
// load that meets it so; once names can be taken again, the next load
// finishes the split. The moves fail in the split, in the load after a
// kill, or putting the source back beside its note cut short.
TEST(SplitNotes, ASourceThatCanNeitherMoveOnNorGoBackKeepsItsNoteUntilItCan) {
  const Bytes source = concat({soundFile("big", 250), multiFile("mul", 50)});
  for (const int where : {0, 1, 2}) {
    SCOPED_TRACE(where);
    DataFolder data;
    writeFile(data.patches() / "Big.syx", source);
    PatchLibrarian splitter;
    splitter.hooks.splitStep = [](int step) {
      if (step == 5) userfiles::setMoveFault(ENOSPC);
    };
    if (where == 0) splitter.loadPatchesFromFilesystem(data.patchesStr());
    if (where > 0) killSplitAt(data, 5);
    if (where == 2) ::truncate(noteIn(data.patches()).first.c_str(), 30);  // the source's name whole
    userfiles::setMoveFault(ENOSPC);
    for (int load = 0; load < 3; ++load) {
      if (load == 2) userfiles::setMoveFault(0);
      const LoggedLibrary l(data.patchesStr());
      ageBelow(data.root);
      size_t sources = 0, notes = 0;  // hidden
      for (const auto& [name, bytes] : contentsBelow(data.patches())) {
        sources += temporaryShape(name) && bytes == source;
        notes += temporaryShape(name) && std::string(bytes.begin(), bytes.end()).starts_with("tvx split");
      }
      EXPECT_EQ(std::pair(sources, notes), (std::pair<size_t, size_t>(load < 2, load < 2)));
    }
    const LoggedLibrary l(data.patchesStr());
    EXPECT_EQ(filesBelow(data.patches()),
              (std::vector<std::string>{"Big Multis.syx", "Big Singles 1.syx", "Big Singles 2.syx", "Big Singles 3.syx"}));
    EXPECT_EQ(contentsBelow(data.converted()), (std::map<std::string, Bytes>{{"Big.syx", source}}));
    EXPECT_EQ(listedOf(l.library, source), dumpNamesOf(source));
  }
}

// ---- Names as long as the file system takes.

TEST(LongNames, NamesOf247To255BytesAreSavedImportedAndSplit) {
  for (const size_t length : {size_t{247}, size_t{251}, size_t{255}}) {
    SCOPED_TRACE(length);
    DataFolder data;
    const std::string name = std::string(length - 4, 'n') + ".syx";
    // Saved: the temporary file's name is short whatever the target's.
    SavedLibrary saved;
    ASSERT_TRUE(saved.library.saveEditedPatch((data.patches() / name).string(), name));
    EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{name});
    fs::remove(data.patches() / name);

    // Imported twice: the second copy's numbered name is cut to fit.
    LoggedLibrary importer(data.patchesStr());
    writeFile(data.root / "Desktop" / name, soundFile("imp", 100));
    ASSERT_TRUE(importer.library.importBankFile((data.root / "Desktop" / name).string(), data.patchesStr()));
    ASSERT_TRUE(importer.library.importBankFile((data.root / "Desktop" / name).string(), data.patchesStr()));
    const auto imported = filesBelow(data.patches());
    ASSERT_EQ(imported.size(), 2u);
    for (const auto& file : imported) {
      EXPECT_LE(file.size(), 255u);
      EXPECT_EQ(readFile(data.patches() / file), soundFile("imp", 100));
    }
    for (const auto& file : imported) fs::remove(data.patches() / file);

    // Split: the pieces' names are cut to fit, every sound is in them.
    writeFile(data.patches() / name, soundFile("big", 180));
    LoggedLibrary split(data.patchesStr());
    EXPECT_EQ(split.shown, std::vector<std::string>{});
    const auto pieces = filesBelow(data.patches());
    ASSERT_EQ(pieces.size(), 2u);
    for (const auto& piece : pieces) EXPECT_LE(piece.size(), 255u) << piece;
    EXPECT_EQ(pieces[0].substr(pieces[0].size() - 14), " Singles 1.syx");
    EXPECT_EQ(filesBelow(data.converted()), std::vector<std::string>{name});
    const auto inLibrary = dumpNamesBelow(data.patches());
    for (int i = 0; i < 150; ++i) EXPECT_EQ(inLibrary.count(numbered("big", i)), 1u) << i;
    EXPECT_EQ(split.library.contents().soundBanks.size(), 2u);
  }
}

// ---- Every failure says what failed and why.

TEST(FailuresShown, EachFailureOfASaveOrImportSaysWhy) {
  enum Op { kSave, kSaveAs, kImport, kRefresh };
  // What stands in the way besides a write fault: a named pipe where the
  // bank file (or for Import the chosen file) would be, the folder's lock
  // held by another process, a bank file of the name Save As adds an
  // extension to, which the user is asked about and cancels.
  // held by another process (from the start, or from when the load reaches
  // a file it would split), a bank file of the name Save As adds an
  // extension to, which the user is asked about and cancels.
  enum Obstacle { kNothing, kPipe, kLockHeld, kUnseenName, kLockTakenBeforeSplit };
  struct Row {
    const char* label;
    Op op;
    std::optional<userfiles::WriteFault> fault;
    bool readOnlyFile;
    size_t nameLength;
    std::string shown;
    Obstacle obstacle = kNothing;
    Bytes chosen = {};  // what Import copies, when not a bank
  };
  const std::vector<Row> rows = {
      {"read-only bank", kSave, std::nullopt, true, 8, "Bank not saved! / File is read-only"},
      {"read-only folder", kSave, userfiles::WriteFault{0, EACCES, 0, true}, false, 8, "Bank not saved! / Folder is read-only"},
      {"read-only disk", kSave, userfiles::WriteFault{0, EROFS, 0, true}, false, 8, "Bank not saved! / Disk is read-only"},
      {"full disk", kSave, userfiles::WriteFault{100, ENOSPC}, false, 8, "Bank not saved! / Disk full"},
      {"name too long", kSave, std::nullopt, false, 256, "Bank not saved! / Name too long"},
      {"save as, full disk", kSaveAs, userfiles::WriteFault{0, ENOSPC}, false, 8, "Bank not saved! / Disk full"},
      {"import, read-only folder", kImport, userfiles::WriteFault{0, EACCES, 0, true}, false, 8,
       "Bank not imported! / Folder is read-only"},
      {"import, full disk", kImport, userfiles::WriteFault{10, ENOSPC}, false, 8, "Bank not imported! / Disk full"},
      {"save onto a named pipe", kSave, std::nullopt, false, 8, "Bank not saved! / Not a file", kPipe},
      {"save as onto a named pipe", kSaveAs, std::nullopt, false, 8, "Bank not saved! / Not a file", kPipe},
      {"import of a named pipe", kImport, std::nullopt, false, 8, "Bank not imported! / Not a file", kPipe},
      {"save, folder locked by another process", kSave, std::nullopt, false, 8,
       "Bank not saved! / Folder busy, try again", kLockHeld},
      {"save as, folder locked by another process", kSaveAs, std::nullopt, false, 8,
       "Bank not saved! / Folder busy, try again", kLockHeld},
      {"save as onto a name not seen, cancelled", kSaveAs, std::nullopt, false, 8, "Bank not saved! / File exists",
       kUnseenName},
      {"import of 5,000 bytes without a dump", kImport, std::nullopt, false, 8, "Bank not imported! / too short",
       kNothing, Bytes(5000, 0x41)},
      {"import of 40,000 bytes without a dump", kImport, std::nullopt, false, 8,
       "Bank not imported! / no sounds found", kNothing, Bytes(40000, 0x41)},
      {"import, folder locked by another process", kImport, std::nullopt, false, 8,
       "Bank not imported! / Folder busy, try again", kLockHeld},
      {"refresh, folder locked by another process", kRefresh, std::nullopt, false, 8,
       "Folders not refreshed! / Folder busy, try again", kLockHeld},
      {"import of sounds that cannot be converted only", kImport, std::nullopt, false, 8,
       "Bank not imported! / a sound that cannot be converted", kNothing,
       concat(std::vector<Bytes>(100, unconvertibleQDump("q")))},
      {"refresh, folder locked by another process before a split", kRefresh, std::nullopt, false, 8,
       "Folders not refreshed! / Folder busy, try again", kLockTakenBeforeSplit},
      {"import of 300 sounds each cut to 100 bytes and an end byte", kImport, std::nullopt, false, 8,
       "Bank not imported! / not split: dumps cut short, a piece would be too short", kNothing, [] {
         return concat(cutSoundDumps("cut", 300, 100));
       }()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    DataFolder data;
    const std::string name = std::string(row.nameLength - 4, 'b') + (row.obstacle == kUnseenName ? ".tvx" : ".syx");
    const fs::path target = data.patches() / name;
    const fs::path source = data.root / "Desktop" / "New.syx";
    const bool pipeAtTarget = row.obstacle == kPipe && row.op != kImport;
    // A file of the name Save As makes comes after the load: it is not the bank's own.
    const auto writeOld = [&] { writeFile(target, soundFile("old", 100)); };
    if (row.nameLength <= 255 && !pipeAtTarget && row.obstacle != kUnseenName) writeOld();
    if (row.readOnlyFile) fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    if (row.obstacle == kPipe) {
      fs::create_directories(source.parent_path());
      ASSERT_EQ(::mkfifo((pipeAtTarget ? target : source).c_str(), 0644), 0);
    } else {
      writeFile(source, row.chosen.empty() ? soundFile("new", 100) : row.chosen);
    }
    LoggedLibrary l(data.patchesStr());
    // The user types the name without its extension: the file Save As then
    // meets is not the one picked.
    const fs::path typed = row.obstacle == kUnseenName ? target.parent_path() / target.stem() : target;
    l.library.hooks.promptForFile = [&](int, std::string&, const std::string&, const std::string&) {
      return typed.string();
    };
    if (row.obstacle == kUnseenName) {
      writeOld();
      l.library.hooks.messageBox = [](const std::string&, const std::string&, int) { return 2; };
    }
    l.library.librarianMode = 0;
    l.library.upperBank = 0;
    if (l.library.bankCount(kSoundList) == 0) l.library.addBank(0, name);
    // Short: the test need not wait the two seconds a save gives the lock.
    // Import and Refresh wait them, and return within the bound.
    const bool waits = row.op == kImport || row.op == kRefresh;
    if (!waits) l.library.lockWait = std::chrono::milliseconds(50);
    const auto listed = names(l.library.contents().soundBanks);
    // What a reload would list; split first, where the lock is taken then.
    const fs::path added = data.patches() / "Added.syx";
    writeFile(added, soundFile("add", row.obstacle == kLockTakenBeforeSplit ? 150 : 100));
    std::optional<LockHolder> holder;
    if (row.obstacle == kLockHeld) {
      holder.emplace(data.patches());
      ASSERT_TRUE(holder->held);
    }
    if (row.obstacle == kLockTakenBeforeSplit) {
      l.library.hooks.debugLog = [&, log = l.library.hooks.debugLog](const std::string& line) {
        if (log) log(line);
        if (!holder && line == "PATCH LIBRARIAN: loading file " + added.string()) holder.emplace(data.patches());
      };
    }
    if (row.fault) userfiles::setWriteFault(row.fault);
    // A read that waits for a writer into the pipe is given one after ten
    // seconds, so that the row fails rather than hangs.
    std::atomic<bool> finished{false};
    std::thread unblock;
    if (row.obstacle == kPipe)
      unblock = std::thread([&, pipe = pipeAtTarget ? target : source] {
        for (int i = 0; i < 1000 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (const int fd = finished ? -1 : ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
          ADD_FAILURE() << "waited for a writer into the pipe";
          ::close(fd);
        }
      });
    bool done = true;
    const auto start = std::chrono::steady_clock::now();
    switch (row.op) {
      case kSave: done = l.library.saveEditedPatch(target.string(), name); break;
      case kSaveAs: done = l.library.savePatchAs(data.patchesStr().c_str(), name, false); break;
      case kImport: done = l.library.importBankFile(source.string(), data.patchesStr()); break;
      case kRefresh: done = l.library.initBankFilesOnDiscard(data.patchesStr()); break;
    }
    if (waits) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    }
    finished = true;
    if (unblock.joinable()) unblock.join();
    userfiles::setWriteFault(std::nullopt);
    EXPECT_FALSE(done);
    EXPECT_EQ(l.shown, std::vector<std::string>{row.shown});
    EXPECT_EQ(names(l.library.contents().soundBanks), listed);
    fs::remove(data.patches() / "Added.syx");
    if (pipeAtTarget) {
      EXPECT_EQ(fs::status(target).type(), fs::file_type::fifo);
      EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{});
      continue;
    }
    // Once the other process lets go, the next save goes through.
    if (row.obstacle == kLockTakenBeforeSplit) {
      ASSERT_TRUE(holder && holder->held);
      EXPECT_FALSE(fs::exists(data.converted()));
    }
    if (holder) {
      EXPECT_EQ(readFile(target), soundFile("old", 100));
      EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{name});
      EXPECT_EQ(l.library.folderBusy, row.op == kRefresh);
      holder->letGo();
      if (waits) {
        EXPECT_TRUE(row.op == kImport ? l.library.importBankFile(source.string(), data.patchesStr())
                                      : l.library.initBankFilesOnDiscard(data.patchesStr()));
        EXPECT_EQ(filesBelow(data.patches()).size(), row.op == kImport ? 2u : 1u);
        continue;
      }
      rename(l.library, 0, numbered("Mine", 0));
      EXPECT_TRUE(row.op == kSave ? l.library.saveEditedPatch(target.string(), name)
                                  : l.library.savePatchAs(data.patchesStr().c_str(), name, false));
      EXPECT_EQ(dumpNamesOf(readFile(target)).count(numbered("Mine", 0)), 1u);
      continue;
    }
    // The old file is as it was, and nothing is left beside it.
    if (row.nameLength <= 255) {
      fs::permissions(target, fs::perms::owner_all);
      EXPECT_EQ(readFile(target), soundFile("old", 100));
      EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{name});
    }
  }
  // A small file system of its own, filled up, where one can be mounted.
  {
    DataFolder data;
    SmallFileSystem small(data.patches());
    if (small.mounted()) {
      writeFile(data.patches() / "Bank.syx", soundFile("old", 100));
      LoggedLibrary l(data.patchesStr());
      small.fill();
      rename(l.library, 0, numbered("Mine", 0));
      EXPECT_FALSE(saveFirstBank(l.library, data));
      EXPECT_EQ(l.shown, std::vector<std::string>{"Bank not saved! / Disk full"});
      EXPECT_EQ(readFile(data.patches() / "Bank.syx"), soundFile("old", 100));
      EXPECT_EQ(filesBelow(data.patches()), (std::vector<std::string>{"Bank.syx", "filler"}));
    } else {
      std::cout << "no small file system here: " << small.error << "\n";
    }
  }
  // A file the library would leave out is not imported.
  DataFolder data;
  LoggedLibrary l(data.patchesStr(), 300);
  writeFile(data.root / "Huge.syx", soundFile("h", 301));
  EXPECT_FALSE(l.library.importBankFile((data.root / "Huge.syx").string(), data.patchesStr()));
  EXPECT_EQ(l.shown, std::vector<std::string>{"Bank not imported! / Too many sounds (over 300)"});
  // Nor is a bank under a name the library does not list.
  writeFile(data.root / "Bank.txt", soundFile("t", 100));
  EXPECT_FALSE(l.library.importBankFile((data.root / "Bank.txt").string(), data.patchesStr()));
  EXPECT_EQ(l.shown.back(), "Bank not imported! / not a .syx, .tvx or .mid file");
  EXPECT_EQ(filesBelow(data.patches()), std::vector<std::string>{});
}

// ---- A split's note never takes a bank out of the library's sight.

// Whether every file of the library folder the user sees (no hidden name)
// is listed.
bool everyShownFileIsListed(const DataFolder& data, const PatchLibrarian& library) {
  std::set<std::string> listed;
  for (const BankList* list : {&library.contents().soundBanks, &library.contents().multiBanks})
    for (const auto& bank : *list) listed.insert(bank->fileName);
  for (const auto& name : filesBelow(data.patches()))
    if (!temporaryShape(name) && !listed.count(fs::path(name).filename().string())) return false;
  return true;
}

// A split killed at the step given, its note then made to say what the row
// says: after the next two loads, some seconds apart, every sound of the file is listed once, every file of the
// library folder is listed, the original is whole in a file the user sees,
// nothing hidden is left, and a file put back is said.
struct SightRow {
  const char* label;
  int kill;  // 5: the source hidden and its move marked; 6: in "Converted Banks"
  std::function<void(std::vector<std::string>&, const DataFolder&)> make;
  bool said = false;  // the first load says it put a file back
  NoteFormat format = kFormat5;
};
void PrintTo(const SightRow& row, std::ostream* os) { *os << row.label; }

void dropMark(std::vector<std::string>& f) {
  if (f.back() == kMovedMark) f.pop_back();
}

std::vector<SightRow> sightRows() {
  using F = std::vector<std::string>;
  using D = const DataFolder;
  const auto source = [](const std::string& name, bool marked) {
    return [=](F& f, D&) {
      f[kSource] = name;
      if (!marked) dropMark(f);
    };
  };
  std::vector<SightRow> rows = {
      {"a marked note whose source has the temporary shape", 5, source(".tvx-abcdef", true), true},
      {"a marked note of format 4 whose source has the temporary shape", 5, source(".tvx-abcdef", true), true,
       kFormat4},
      {"a note whose source is its own hidden name",
       5,
       [](F& f, D&) {
         f[kSource] = f[kHidden];
         dropMark(f);
       },
       true},
      {"an unmarked note whose source is a long number", 5, source("99999999999999999999", false), true},
      {"an unmarked note whose source is a sign and a digit", 5, source("-1", false), true},
      {"an unmarked note whose source is control bytes", 5, source("\x01\x02\x1b", false), true},
      {"an unmarked note whose source is no UTF-8", 5, source("\xff\xfe\xc3", false), true},
      {"an unmarked note whose source is a text file", 5, source("Readme.txt", false), true},
      {"a marked note with a piece named as a text file", 5, [](F& f, D&) { f[kPiece + 1] = "Readme.txt"; }, true},
      {"a marked note with a piece of no extension", 5, [](F& f, D&) { f[kPiece + 1] = "Readme"; }, true},
      {"a finished split's note without its mark", 6, [](F& f, D&) { dropMark(f); }},
      {"a finished split's note of format 3 without its mark", 6, [](F& f, D&) { dropMark(f); }, false, kFormat3},
      {"another split's unmarked note listing the pieces", 6,
       [](F& f, D&) {
         f[kSource] = "Other.syx";
         f[kHidden] = ".tvx-0ther1";
         f[kIdentity] = "1:1";
         f[kSize] = "40000";
         f[kSha1] = std::string(40, 'a');
         dropMark(f);
       }},
      {"a marked note with a piece named as a text file, the source in Converted Banks", 6,
       [](F& f, D&) { f[kPiece + 1] = "Readme.txt"; }},
  };
  return rows;
}

class SplitNotesInSight : public ::testing::TestWithParam<SightRow> {};

TEST_P(SplitNotesInSight, EverySoundIsListedOnceAfterTheNextTwoLoads) {
  const SightRow& row = GetParam();
  const Bytes source = concat({soundFile("big", 250), multiFile("mul", 50)});
  DataFolder data;
  writeFile(data.patches() / "Big.syx", source);
  killSplitAt(data, row.kill);
  auto [note, f] = noteIn(data.patches());
  ASSERT_EQ(f.back(), kMovedMark);
  row.make(f, data);
  writeFile(note, noteText(f, row.format));
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    const LoggedLibrary l(data.patchesStr());
    EXPECT_EQ(listedOf(l.library, source), dumpNamesOf(source));
    EXPECT_TRUE(everyShownFileIsListed(data, l.library)) << ::testing::PrintToString(filesBelow(data.patches()));
    EXPECT_TRUE(shownBelow(data.patches(), source) || shownBelow(data.converted(), source));
    const std::string count = leftOutLines(l.library.contents().leftOut).count;
    EXPECT_TRUE(load > 0 || !row.said || count.find("put back") != std::string::npos) << count;
    for (const fs::path& folder : {data.patches(), data.converted()})
      for (const auto& name : filesBelow(folder)) EXPECT_TRUE(load == 0 || !temporaryShape(name)) << name;
    ageBelow(data.patches());
    ageBelow(data.converted());
  }
}

INSTANTIATE_TEST_SUITE_P(SplitNotes, SplitNotesInSight, ::testing::ValuesIn(sightRows()), LabelName);

// The mark, and each step before it that a later load reads, is on the disk
// before the step that trusts it: the hidden source before the mark, the
// mark before the move, the move before the pieces take their names.
TEST(SplitNotesInSight, EachStepIsOnTheDiskBeforeTheNext) {
  DataFolder data;
  writeFile(data.patches() / "Big.syx", concat({soundFile("big", 250), multiFile("mul", 50)}));
  std::vector<std::string> heard;
  userfiles::setStepRecorder([&](std::string_view step) { heard.emplace_back(step); });
  PatchLibrarian splitter;
  splitter.hooks.splitStep = [&](int step) { heard.push_back("step " + std::to_string(step)); };
  splitter.loadPatchesFromFilesystem(data.patchesStr());
  userfiles::setStepRecorder({});
  // From the note written (the folder holding its name and the pieces') to
  // the source in "Converted Banks".
  const auto four = std::find(heard.begin(), heard.end(), "step 4");
  ASSERT_TRUE(four != heard.begin() && heard.end() - four >= 8);
  EXPECT_EQ(std::vector<std::string>(four - 1, four + 8),
            (std::vector<std::string>{"fsync folder", "step 4", "fsync folder", "fsync", "step 5", "rename",
                                      "fsync folder", "fsync folder", "step 6"}));
}

// A finished split's hidden pieces in a folder that takes no name (a
// read-only disk) stay hidden, and each is named in the load's status.
TEST(SplitNotesInSight, APieceKeptHiddenOnAReadOnlyFolderIsNamed) {
  DataFolder data;
  writeFile(data.patches() / "Big.syx", concat({soundFile("big", 150), multiFile("mul", 10)}));
  killSplitAt(data, 5);  // three pieces: the source in "Converted Banks"
  userfiles::setMoveFault(EROFS);
  const LoggedLibrary l(data.patchesStr());
  userfiles::setMoveFault(0);
  std::set<std::string> named;
  for (const auto& file : l.library.contents().leftOut)
    if (file.reason.starts_with(kKeptHidden)) named.insert(fs::path(file.path).filename().string());
  EXPECT_EQ(named, (std::set<std::string>{"Big Multis.syx", "Big Singles 1.syx", "Big Singles 2.syx"}));
  EXPECT_NE(leftOutLines(l.library.contents().leftOut).count, "");
}

// ---- A split has one place for its source: "Converted Banks".

// "Converted Banks" turns into a file while a split runs, which is killed at
// each step (its note then cut at every length), or runs to its end: the
// split is not made. The next two loads list the file's first hundred sounds
// once and say how many they leave out; every byte of it is in a file the
// user sees, no ".converted" file appears, and at last nothing is hidden.
TEST(SplitOnePlace, ASourceThatCannotGoIntoConvertedBanksIsNotSplitWhereverItIsCut) {
  const Bytes source = soundFile("big", 150);  // two pieces: the note at step 2, the source hidden at 3
  std::multiset<std::string> first;
  for (int i = 0; i < 100; ++i) first.insert(numbered("big", i));
  for (int kill = 0; kill <= 4; ++kill) {
    DataFolder data;
    writeFile(data.patches() / "Big.syx", source);
    const pid_t child = ::fork();
    if (child == 0) {
      PatchLibrarian splitter;
      splitter.hooks.splitStep = [&](int step) {
        if (step == 0) {
          fs::remove_all(data.converted());
          writeFile(data.converted(), Bytes{1});
        }
        if (step == kill) ::_exit(0);
      };
      splitter.loadPatchesFromFilesystem(data.patchesStr());
      ::_exit(3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), kill < 4 ? 0 : 3);  // the split ends at its move
    const fs::path note = noteIn(data.patches()).first;
    std::vector<std::optional<Bytes>> notes = {std::nullopt};
    if (!note.empty()) {
      const Bytes whole = readFile(note);
      notes.clear();
      for (size_t length = 0; length <= whole.size(); ++length)
        notes.emplace_back(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
    }
    const fs::path aside = data.root / "aside";
    fs::create_directories(aside);
    for (const auto& entry : fs::directory_iterator(data.patches()))
      if (entry.path() != note) fs::create_hard_link(entry.path(), aside / entry.path().filename());
    for (const auto& text : notes) {
      SCOPED_TRACE("killed at " + std::to_string(kill) + ", " + (text ? std::to_string(text->size()) : "no") +
                   " bytes of note");
      fs::remove_all(data.patches());
      fs::create_directories(data.patches());
      for (const auto& entry : fs::directory_iterator(aside))
        fs::create_hard_link(entry.path(), data.patches() / entry.path().filename());
      if (text) writeFile(note, *text);
      for (int load = 0; load < 2; ++load) {
        const LoggedLibrary l(data.patchesStr());
        EXPECT_EQ(listedOf(l.library, source), first);
        size_t said = 0;
        for (const auto& file : l.library.contents().leftOut)
          said += file.listed && file.unlisted == 50 &&
                  file.reason.starts_with("50 of 150 sounds not listed, not split: Converted Banks: ");
        EXPECT_EQ(said, 1u);
        EXPECT_TRUE(shownBelow(data.patches(), source));
        for (const auto& name : filesBelow(data.patches())) {
          EXPECT_FALSE(name.ends_with(".converted")) << name;
          EXPECT_TRUE(load == 0 || !temporaryShape(name)) << name;
        }
        ageBelow(data.patches());
      }
    }
    EXPECT_EQ(readFile(data.converted()), Bytes{1});
  }
}

// A split killed before its source left the folder, a whole copy of the
// source in "Converted Banks" already (an earlier split's, or the user's),
// the source then renamed by the user or left as it is: the hidden pieces
// are what the split of the source writes again, and go. The next two loads
// list every sound once, and every file the user sees.
TEST(SplitOnePlace, AWholeCopyInConvertedBanksPutsNoPieceBackBesideItsSource) {
  const Bytes source = soundFile("big", 250);  // three pieces: the note at step 3
  for (const bool renamed : {false, true})
    for (int kill = 0; kill <= 3; ++kill) {
      SCOPED_TRACE(std::string(renamed ? "renamed, " : "") + "killed at " + std::to_string(kill));
      DataFolder data;
      writeFile(data.patches() / "Big.syx", source);
      killSplitAt(data, kill);
      writeFile(data.converted() / "Big.syx", source);
      if (renamed) fs::rename(data.patches() / "Big.syx", data.patches() / "Big Old.syx");
      for (int load = 0; load < 2; ++load) {
        const LoggedLibrary l(data.patchesStr());
        EXPECT_EQ(listedOf(l.library, source), dumpNamesOf(source));
        EXPECT_TRUE(everyShownFileIsListed(data, l.library)) << ::testing::PrintToString(filesBelow(data.patches()));
        ageBelow(data.root);
      }
      EXPECT_EQ(readFile(data.converted() / "Big.syx"), source);
    }
}
}  // namespace
