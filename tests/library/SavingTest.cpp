// Saving edited and imported banks and storing received dumps: byte-exact
// files, and a write that fails leaves the old file as it was.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>

#include <deque>
#include <sys/resource.h>
#include <sys/wait.h>

#include "BankFileFormat.h"
#include "InitPatches.h"
#include "LibraryTestSupport.h"
#include "UserFiles.h"

namespace {
struct SavingLibrary {
  PatchLibrarian library;
  bool multi = false;
  std::string answer;  // what the file prompt returns
  std::vector<std::string> prompts;
  std::vector<std::string> log;
  // The answers to the library's questions, in turn; Yes once none is left.
  std::deque<int> answers;
  std::vector<std::string> asked;
  SavingLibrary() {
    library.hooks.messageBox = [this](const std::string& text, const std::string& caption, int type) {
      asked.push_back(caption + "|" + std::to_string(type) + "|" + text);
      if (answers.empty()) return 1;
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    };
    library.hooks.multiMode = [this] { return multi; };
    library.hooks.debugLog = [this](const std::string& line) { log.push_back(line); };
    library.hooks.promptForFile = [this](int action, std::string& folder, const std::string& name,
                                         const std::string& extensions) {
      prompts.push_back(std::to_string(action) + "|" + folder + "|" + name + "|" + extensions);
      return answer;
    };
  }
  // A bank of count sounds (or multis) in the list and selected.
  std::shared_ptr<PatchFile> select(int count, bool multis = false) {
    const int index = library.addBank(multis ? 1 : 0, "Bank.syx");
    auto bank = library.bankAt(multis ? kMultiList : kSoundList, index);
    bank->patches.clear();
    for (int i = 0; i < count; ++i) {
      LibrarianPatch e;
      e.dumps.push_back({multis ? multiDump(numbered("M", i)) : soundDump(numbered("S", i), "Keys", static_cast<unsigned char>(i))});
      bank->patches.push_back(e);
    }
    library.librarianMode = multis ? 1 : 0;
    library.upperBank = index;
    return bank;
  }
};

std::vector<Bytes> dumpsOf(const PatchFile& bank, size_t count) {
  std::vector<Bytes> out;
  for (size_t i = 0; i < count && i < bank.patches.size(); ++i)
    for (const auto& d : bank.patches[i].dumps) out.push_back(d.bytes);
  return out;
}

// Runs body in a child process whose files may not grow beyond limit bytes;
// its exit code.
int withFileSizeLimit(rlim_t limit, const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}
}  // namespace

TEST(SaveEditedPatch, WritesTheFormatOfTheNameAndStoresTheName) {
  struct Case {
    const char* name;
    bool multi;
    size_t size;
    const char* stored;
    int count = 100;      // entries of the bank
    int gap = -1;         // an entry with no dump (nothing received into it)
    bool saveAs = false;  // written by Save As to the name, else by Save to "out.bin"
  };
  // Slots without a dump hold the init sound or init multi: a file of 100
  // dumps, each sound in its slot when it is read again.
  for (const Case& c : {Case{"Bank.mid", false, 39652, "Bank.mid.mid"}, Case{"Bank.syx", false, 39200, "Bank.syx.tvx"},
                        Case{"Bank", false, 39200, "Bank"}, Case{"Perf.mid", true, 39752, "Perf.mid.mid"},
                        Case{"Perf.tvx", true, 39300, "Perf.tvx.tvx"},
                        Case{"Short.tvx", true, 39300, "Short.tvx.tvx", 12},
                        Case{"Gaps.syx", false, 39200, "Gaps.syx", 60, 5, true},
                        Case{"GapsPerf.syx", true, 39300, "GapsPerf.syx", 100, 5, true}}) {
    SCOPED_TRACE(c.name);
    DataFolder data;
    SavingLibrary s;
    s.multi = c.multi;
    const auto bank = s.select(c.count, c.multi);
    if (c.gap >= 0) bank->patches[static_cast<size_t>(c.gap)].dumps.clear();
    const fs::path path = data.patches() / (c.saveAs ? c.name : "out.bin");
    s.answer = path.string();
    ASSERT_TRUE(c.saveAs ? s.library.savePatchAs(data.patchesStr().c_str(), "", false)
                         : s.library.saveEditedPatch(path.string(), c.name));
    // The writer's own bytes are checked against the templates elsewhere.
    const Bytes file = readFile(path);
    ASSERT_EQ(file.size(), c.size);
    if (c.count == 100 && c.gap < 0) {
      EXPECT_EQ(file, writeBankImage(*bank, std::string(c.name).ends_with(".mid"), c.multi));
    } else {
      Bytes expected;
      for (int slot = 0; slot < 100; ++slot) {
        const Bytes init = c.multi ? Bytes(initMultiData.begin(), initMultiData.end())
                                   : Bytes(initPatchData.begin(), initPatchData.end());
        const bool held = slot < c.count && slot != c.gap;
        const Bytes& dump = held ? bank->patches[static_cast<size_t>(slot)].dumps.at(0).bytes : init;
        expected.insert(expected.end(), dump.begin(), dump.end());
      }
      EXPECT_EQ(file, expected);
    }
    EXPECT_EQ(c.multi ? s.library.upperMultiFileName : s.library.upperSoundFileName, c.stored);
    EXPECT_EQ(bank->patches.size(), static_cast<size_t>(c.count));  // the library's bank is not touched
    EXPECT_EQ(filesBelow(data.patches()), (std::vector<std::string>{path.filename().string()}));
  }
}

// Another instance or process that saves into the folder takes the same
// lock: while this save looks at the file and writes it, the lock is held.
TEST(SaveEditedPatch, WritesUnderTheFolderLock) {
  DataFolder data;
  SavingLibrary s;
  s.select(100);
  std::vector<std::string> seen;
  userfiles::setStepRecorder([&](std::string_view step) {
    if (step != "rename") return;
    const int fd = ::open(data.patches().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    seen.push_back(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? "free" : "locked");
    if (fd >= 0) ::close(fd);
  });
  const fs::path path = data.patches() / "Locked.syx";
  EXPECT_TRUE(s.library.saveEditedPatch(path.string(), "Locked.syx"));
  s.answer = (data.patches() / "Other.syx").string();
  EXPECT_TRUE(s.library.savePatchAs("", "Other", false));
  userfiles::setStepRecorder(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"locked", "locked"}));
}

TEST(SaveEditedPatch, HoldsTheCopyAtAHundredEntries) {
  DataFolder data;
  SavingLibrary s;
  auto bank = s.select(120);
  const fs::path path = data.patches() / "Big.syx";
  ASSERT_TRUE(s.library.saveEditedPatch(path.string(), "Big.syx"));
  EXPECT_EQ(readFile(path), concat(dumpsOf(*bank, 100)));
  EXPECT_EQ(bank->patches.size(), 120u);
  // Another bank over the file the first one wrote: the user is asked first.
  // A bank of fewer entries is filled with init sounds, as a load fills a
  // short file: the file holds 100 sounds, and the library lists it.
  const auto twelve = s.select(12);
  ASSERT_TRUE(s.library.saveEditedPatch(path.string(), "Big.syx"));
  EXPECT_EQ(s.asked.size(), 1u);
  Bytes padded = concat(dumpsOf(*twelve, 12));
  for (int k = 12; k < 100; ++k) padded.insert(padded.end(), initPatchData.begin(), initPatchData.end());
  EXPECT_EQ(readFile(path), padded);
  EXPECT_EQ(twelve->patches.size(), 12u);
  s.library.upperBank = 7;
  EXPECT_FALSE(s.library.saveEditedPatch(path.string(), "Big.syx"));
  EXPECT_EQ(readFile(path), padded);
}

TEST(SavePatchAs, AsksForTheFileAndStoresItsFolderAndName) {
  DataFolder data;
  SavingLibrary s;
  const auto bank = s.select(100);
  const fs::path chosen = data.patches() / "Strings" / "Pads.syx";
  fs::create_directories(chosen.parent_path());
  s.answer = chosen.string();
  ASSERT_TRUE(s.library.savePatchAs("/start", "Pads", false));
  EXPECT_EQ(s.prompts, (std::vector<std::string>{"1|/start|Pads|tvx syx mid"}));
  EXPECT_EQ(s.library.upperFolderName, "Strings");
  EXPECT_EQ(s.library.upperSoundFileName, "Pads.syx");
  EXPECT_EQ(readFile(chosen), concat(dumpsOf(*bank, 100)));

  s.answer = (data.patches() / "Pads.mid").string();
  ASSERT_TRUE(s.library.savePatchAs(nullptr, "Pads", true));
  EXPECT_EQ(s.prompts.back(), "1||Pads|mid");
  EXPECT_TRUE(parseSmf(readFile(data.patches() / "Pads.mid")).ok);
  s.answer = (data.patches() / "Pads 2").string();
  ASSERT_TRUE(s.library.savePatchAs(nullptr, "Pads", true));
  EXPECT_TRUE(parseSmf(readFile(data.patches() / "Pads 2.mid")).ok);
  EXPECT_EQ(s.library.upperSoundFileName, "Pads 2.mid");

  s.answer.clear();
  EXPECT_FALSE(s.library.savePatchAs("/start", "Pads", false));

  // Another file on the same disk is not the bank's own file: it is
  // replaced as the file dialog's choice, without the question, and the
  // bank stands for the file written from then on: its next save goes there
  // unasked, and the file it was read from keeps its bytes.
  const fs::path own = data.patches() / "Bank.syx";
  writeFile(own, soundFile("own", 100));
  bank->stamp = userfiles::StampOf(own.string());
  const fs::path other = data.patches() / "Other.syx";
  writeFile(other, soundFile("other", 100));
  s.answer = other.string();
  ASSERT_TRUE(s.library.savePatchAs(data.patchesStr().c_str(), "Other", false));
  EXPECT_EQ(readFile(other), concat(dumpsOf(*bank, 100)));
  EXPECT_EQ(bank->fileName, "Other.syx");
  EXPECT_EQ(bank->directories, std::vector<std::string>{"Patches"});
  bank->patches[1].name = "ForCopy";
  ASSERT_TRUE(s.library.saveEditedPatch(other.string(), "Other.syx"));
  EXPECT_EQ(readFile(other), concat(dumpsOf(*bank, 100)));
  EXPECT_EQ(readFile(own), soundFile("own", 100));
  EXPECT_EQ(s.asked, std::vector<std::string>{});
  // Written outside the library folder: the bank keeps that path to save to.
  s.answer = (data.root / "Elsewhere.syx").string();
  ASSERT_TRUE(s.library.savePatchAs(data.patchesStr().c_str(), "Elsewhere", false));
  EXPECT_EQ(bank->outsidePath, s.answer);
  EXPECT_EQ(bank->directories, std::vector<std::string>{});

  // No selected bank: the chosen file keeps its bytes.
  s.answer = chosen.string();
  const int selected = s.library.upperBank;
  s.library.upperBank = 9;
  const Bytes before = readFile(chosen);
  EXPECT_FALSE(s.library.savePatchAs("/start", "Pads", false));
  EXPECT_EQ(readFile(chosen), before);

  // In the own format a name that ends in no bank file's extension gets
  // ".tvx", so the library lists the bank; one that does is kept as typed.
  s.library.upperBank = selected;
  struct Named {
    const char* typed;
    const char* written;
  };
  for (const Named& n : {Named{"Bank B", "Bank B.tvx"}, Named{"Bank C.SYX", "Bank C.SYX"}, Named{"Bank D.mid", "Bank D.mid"},
                         Named{"Bank E.dvn", "Bank E.dvn.tvx"}}) {
    s.answer = (data.patches() / n.typed).string();
    ASSERT_TRUE(s.library.savePatchAs("/start", "", false)) << n.typed;
    EXPECT_EQ(s.library.upperSoundFileName, n.written);
    EXPECT_EQ(readFile(data.patches() / n.written), concat(dumpsOf(*bank, 100))) << n.typed;
  }
  EXPECT_FALSE(fs::exists(data.patches() / "Bank B"));
  LoggedLibrary listed(data.patchesStr());
  for (const char* name : {"Bank B.tvx", "Bank C.SYX", "Bank D.mid", "Bank E.dvn.tvx"})
    EXPECT_EQ(std::ranges::count(names(listed.library.contents().soundBanks), name), 1) << name;
  // "Bank B.tvx" is there now, but the user typed "Bank B": asked first; No
  // keeps both, and the pane names the file written.
  s.answers = {7};
  s.answer = (data.patches() / "Bank B").string();
  ASSERT_TRUE(s.library.savePatchAs("/start", "", false));
  EXPECT_EQ(s.asked, std::vector<std::string>{"Save|3|\"Bank B.tvx\" exists already. Replace it? No keeps both: this "
                                              "bank is saved under a new name."});
  EXPECT_EQ(s.library.upperSoundFileName, "Bank B (2).tvx");
  EXPECT_EQ(readFile(data.patches() / "Bank B (2).tvx"), concat(dumpsOf(*bank, 100)));
}

TEST(ImportBankFile, CopiesIntoTheLibraryFolderOrWritesNothing) {
  DataFolder data;
  SavingLibrary s;
  const fs::path source = data.root / "Desktop" / "My Bank.syx";
  writeFile(source, soundFile("new", 100));
  writeFile(data.patches() / "My Bank.syx", soundFile("old", 100));
  std::vector<std::string> asked;
  s.library.hooks.messageBox = [&](const std::string& text, const std::string& caption, int type) {
    asked.push_back(caption + "|" + std::to_string(type) + "|" + text);
    return 1;  // Yes: replace
  };
  ASSERT_TRUE(s.library.importBankFile(source.string(), data.patchesStr()));
  EXPECT_EQ(asked, (std::vector<std::string>{"Import|3|A bank named \"My Bank.syx\" is already in the library. Do "
                                             "you want to replace it? No keeps both files."}));
  EXPECT_EQ(readFile(data.patches() / "My Bank.syx"), soundFile("new", 100));
  EXPECT_EQ(s.log.back(), "FILE IMPORTER: patch file copied to " + data.patchesStr());
  s.library.hooks.messageBox = nullptr;

  // Unreadable choices never replace a library file.
  writeFile(data.patches() / "Gone.syx", soundFile("keep", 100));
  for (const fs::path& bad : {data.root / "Desktop" / "Gone.syx", data.root / "Desktop"}) {
    EXPECT_FALSE(s.library.importBankFile(bad.string(), data.patchesStr())) << bad;
  }
  EXPECT_EQ(readFile(data.patches() / "Gone.syx"), soundFile("keep", 100));
  EXPECT_EQ(filesBelow(data.patches()), (std::vector<std::string>{"Gone.syx", "My Bank.syx"}));

  // The library takes a file of up to 5,000 sounds: so does Import; one
  // more is refused.
  const fs::path most = data.root / "Desktop" / "Most.syx";
  writeFile(most, soundFile("most", 5000));
  EXPECT_TRUE(s.library.importBankFile(most.string(), data.patchesStr()));
  EXPECT_EQ(readFile(data.patches() / "Most.syx"), readFile(most));
  const fs::path over = data.root / "Desktop" / "Over.syx";
  writeFile(over, soundFile("over", 5001));
  EXPECT_FALSE(s.library.importBankFile(over.string(), data.patchesStr()));
  EXPECT_EQ(filesBelow(data.patches()), (std::vector<std::string>{"Gone.syx", "Most.syx", "My Bank.syx"}));

  // A bank of multis, and a file whose whole sounds a load lists though it
  // cannot split it: each is copied, and the reload lists what was copied.
  DataFolder listed;
  const fs::path multis = listed.root / "Desktop" / "Multis.syx";
  const fs::path mixed = listed.root / "Desktop" / "Mixed.syx";
  writeFile(multis, multiFile("m", 100));
  writeFile(mixed, concat({soundFile("w", 100), concat(cutSoundDumps("c", 200, 100))}));
  for (const fs::path& chosen : {multis, mixed}) {
    SCOPED_TRACE(chosen);
    std::string written;
    ASSERT_TRUE(s.library.importBankFile(chosen.string(), listed.patchesStr(), &written));
    EXPECT_EQ(readFile(written), readFile(chosen));
    s.library.loadPatchesFromFilesystem(listed.patchesStr());
    EXPECT_EQ(s.library.whyNotListed(written, listed.patchesStr()), "");
  }
}

// A write that cannot complete (files limited to 10000 bytes, a folder that
// does not exist) leaves the old file and no temporary file.
TEST(AtomicWrites, AFailedWriteLeavesTheOldFile) {
  DataFolder data;
  const fs::path target = data.patches() / "Keep.syx";
  const Bytes old = soundFile("old", 20);
  writeFile(target, old);
  SavingLibrary s;
  s.select(100);
  EXPECT_EQ(withFileSizeLimit(10000, [&] { return s.library.saveEditedPatch(target.string(), "Keep.syx"); }), 1);
  EXPECT_EQ(readFile(target), old);
  s.answer = target.string();
  EXPECT_EQ(withFileSizeLimit(10000, [&] { return s.library.savePatchAs("", "Keep", true); }), 1);
  EXPECT_EQ(readFile(target), old);
  const fs::path big = data.root / "big.syx";
  writeFile(big, soundFile("big", 100));
  EXPECT_EQ(withFileSizeLimit(10000, [&] { return s.library.importBankFile(big.string(), data.patchesStr()); }), 1);
  EXPECT_EQ(filesBelow(data.patches()), (std::vector<std::string>{"Keep.syx"}));
  EXPECT_FALSE(s.library.saveEditedPatch((data.root / "missing" / "x.syx").string(), "x.syx"));
  // Without the limit the same write goes through.
  EXPECT_EQ(withFileSizeLimit(RLIM_INFINITY, [&] { return s.library.saveEditedPatch(target.string(), "Keep.syx"); }), 0);
  EXPECT_EQ(readFile(target).size(), 39200u);
}

// ---- Received dumps.

TEST(ReceivedDumps, LandInTheTargetSlotOnly) {
  struct Case {
    const char* label;
    int entries;
    bool multis;
    int mode;
    int slot;
    bool stored;
  };
  for (const Case& c : {Case{"slot 7 of 100", 100, false, 0, 7, true}, Case{"slot 0 of 12 grows to 100", 12, false, 0, 0, true},
                        Case{"multi bank in multi mode", 100, true, 1, 99, true}, Case{"no slot", 30, false, 0, -1, false},
                        Case{"slot 100", 100, false, 0, 100, false}, Case{"mode 2", 100, false, 2, 3, false}}) {
    SavingLibrary s;
    const auto other = s.select(100, !c.multis);
    const auto bank = s.select(c.entries, c.multis);
    s.library.librarianMode = c.mode;
    s.library.targetSlot = c.slot;
    const auto before = bank->patches;
    const auto otherBefore = other->patches;
    LibrarianPatch received;
    received.typeCode = 3;
    received.name = "Received";
    received.dumps.push_back({Bytes(390, 0x42)});
    EXPECT_EQ(s.library.setSysexDatatoSelectedSlot(&received, s.library.targetSlot), c.stored) << c.label;
    EXPECT_EQ(bank->patches.size(), c.mode == 2 ? static_cast<size_t>(c.entries) : 100u) << c.label;
    for (int i = 0; i < static_cast<int>(bank->patches.size()); ++i) {
      const auto& e = bank->patches[static_cast<size_t>(i)];
      if (c.stored && i == c.slot) {
        EXPECT_EQ(e.name, "Received");
        EXPECT_EQ(e.dumps.at(0).bytes, Bytes(390, 0x42));
      } else if (i < c.entries) {
        EXPECT_EQ(e.dumps, before[static_cast<size_t>(i)].dumps) << c.label << " " << i;
      } else {
        EXPECT_TRUE(e.empty());
      }
    }
    EXPECT_EQ(other->patches.size(), otherBefore.size());
  }
}
