// The writer of the files the user keeps, on real files: a write replaces a
// file whole or not at all, follows links, leaves read-only files alone,
// takes free names where it must not replace, and the lock keeps two
// writers apart.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "FileLock.h"
#include "SmallFileSystem.h"
#include "UserFiles.h"

namespace {
namespace fs = std::filesystem;
using userfiles::WriteFault;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class UserFilesTest : public ::testing::Test {
 protected:
  UserFilesTest() {
    const char* base = std::getenv("XDG_DATA_HOME");
    const fs::path parent = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(parent);
    std::string pattern = (parent / "files-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
  }
  ~UserFilesTest() override {
    userfiles::setWriteFault(std::nullopt);
    std::error_code error;
    fs::permissions(dir, fs::perms::owner_all, error);
    fs::remove_all(dir, error);
  }
  fs::path dir;
};

TEST_F(UserFilesTest, AWriteReplacesTheFileWholeOrNotAtAll) {
  const fs::path target = dir / "Bank.syx";
  writeText(target, "old contents");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(userfiles::writeFileAtomically(target.string(), std::string("new contents, longer")));
  EXPECT_EQ(readText(target), "new contents, longer");
  // The file keeps its permissions.
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  struct Row {
    const char* label;
    WriteFault fault;
  };
  for (const Row& row : {Row{"full at once", {0, ENOSPC}}, Row{"full halfway", {7, ENOSPC}},
                         Row{"quota", {19, EDQUOT}}, Row{"device error", {3, EIO}}}) {
    SCOPED_TRACE(row.label);
    userfiles::setWriteFault(row.fault);
    errno = 0;
    EXPECT_FALSE(userfiles::writeFileAtomically(target.string(), std::string("something else entirely")));
    EXPECT_EQ(errno, row.fault.error);
    userfiles::setWriteFault(std::nullopt);
    EXPECT_EQ(readText(target), "new contents, longer");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Bank.syx"});  // no temporary file left
  }
}

// A crash soon after a save leaves the old file or the new one, never an
// empty one: the data reaches the disk before the rename, the rename before
// the writer returns; the temporary name is short whatever the target's.
TEST_F(UserFilesTest, TheDataIsOnTheDiskBeforeTheRename) {
  std::vector<std::string> steps;
  userfiles::setStepRecorder([&](std::string_view step) { steps.emplace_back(step); });
  const std::vector<std::string> whole = {"write", "fsync", "close", "rename", "fsync folder"};
  const std::string longName = std::string(251, 'x') + ".syx";
  writeText(dir / longName, "old");
  ASSERT_TRUE(userfiles::writeFileAtomically((dir / longName).string(), std::string("new")));
  EXPECT_EQ(steps, whole);
  steps.clear();
  EXPECT_EQ(userfiles::writeUnderFreeName(dir.string(), longName, std::vector<unsigned char>{'a'}),
            (dir / (std::string(251 - 4, 'x') + " (2).syx")).string());
  // The first name is taken: two tries.
  EXPECT_EQ(steps, (std::vector<std::string>{"write", "fsync", "close", "rename", "rename", "fsync folder"}));
  userfiles::setStepRecorder(nullptr);
  EXPECT_EQ(readText(dir / longName), "new");
  EXPECT_EQ(namesIn(dir).size(), 2u);
}

TEST_F(UserFilesTest, ReadOnlyFilesFoldersAndLinksAreHandledAsTheUserLeftThem) {
  // Read-only: refused, whoever runs the test.
  const fs::path locked = dir / "Locked.syx";
  writeText(locked, "keep me");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  errno = 0;
  EXPECT_FALSE(userfiles::writeFileAtomically(locked.string(), std::string("replaced")));
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(readText(locked), "keep me");

  // A folder of that name is not a file to replace.
  fs::create_directory(dir / "Folder.syx");
  EXPECT_FALSE(userfiles::writeFileAtomically((dir / "Folder.syx").string(), std::string("x")));
  EXPECT_TRUE(fs::is_directory(dir / "Folder.syx"));

  // A link: its target gets the new bytes, the link stays a link; through
  // a relative link and a chain of two, and to a file not yet there.
  fs::create_directory(dir / "real");
  writeText(dir / "real" / "Target.syx", "old");
  fs::create_symlink("real/Target.syx", dir / "Link.syx");
  fs::create_symlink("Link.syx", dir / "Chain.syx");
  ASSERT_TRUE(userfiles::writeFileAtomically((dir / "Chain.syx").string(), std::string("through the chain")));
  EXPECT_TRUE(fs::is_symlink(dir / "Link.syx"));
  EXPECT_TRUE(fs::is_symlink(dir / "Chain.syx"));
  EXPECT_EQ(readText(dir / "real" / "Target.syx"), "through the chain");
  fs::create_symlink(dir / "real" / "New.syx", dir / "Dangling.syx");
  ASSERT_TRUE(userfiles::writeFileAtomically((dir / "Dangling.syx").string(), std::string("made")));
  EXPECT_TRUE(fs::is_symlink(dir / "Dangling.syx"));
  EXPECT_EQ(readText(dir / "real" / "New.syx"), "made");
  // A link that points at itself: nothing is written.
  fs::create_symlink("Loop.syx", dir / "Loop.syx");
  EXPECT_FALSE(userfiles::writeFileAtomically((dir / "Loop.syx").string(), std::string("x")));
}

TEST_F(UserFilesTest, FreeNamesNeverReplaceAFile) {
  writeText(dir / "Factory Singles 1.syx", "mine");
  writeText(dir / "Factory Singles 1 (2).syx", "mine too");
  fs::create_symlink("nowhere", dir / "Factory Singles 1 (3).syx");  // a dangling link takes its name too
  const std::string written = userfiles::writeUnderFreeName(dir.string(), "Factory Singles 1.syx", "piece", 5);
  EXPECT_EQ(written, (dir / "Factory Singles 1 (4).syx").string());
  EXPECT_EQ(readText(dir / "Factory Singles 1.syx"), "mine");
  EXPECT_EQ(readText(dir / "Factory Singles 1 (2).syx"), "mine too");
  EXPECT_EQ(readText(written), "piece");
  EXPECT_EQ(userfiles::numberedName("Bank", 3), "Bank (3)");
  EXPECT_EQ(userfiles::numberedName(".hidden", 2), ".hidden (2)");
  EXPECT_EQ(userfiles::numberedName("a.b.syx", 2), "a.b (2).syx");

  // A move into a folder that holds the name takes the next free one.
  fs::create_directory(dir / "Converted Banks");
  writeText(dir / "Converted Banks" / "Factory.syx", "earlier original");
  writeText(dir / "Factory.syx", "this original");
  EXPECT_EQ(userfiles::moveUnderFreeName((dir / "Factory.syx").string(), (dir / "Converted Banks").string(), "Factory.syx"),
            (dir / "Converted Banks" / "Factory (2).syx").string());
  EXPECT_FALSE(fs::exists(dir / "Factory.syx"));
  EXPECT_EQ(readText(dir / "Converted Banks" / "Factory.syx"), "earlier original");
  EXPECT_EQ(readText(dir / "Converted Banks" / "Factory (2).syx"), "this original");
  // Into a folder that is not there: the source stays.
  writeText(dir / "Other.syx", "stays");
  EXPECT_EQ(userfiles::moveUnderFreeName((dir / "Other.syx").string(), (dir / "missing").string(), "Other.syx"), "");
  EXPECT_EQ(readText(dir / "Other.syx"), "stays");

  // From another file system (the library on one disk, Converted Banks on
  // another): copied under the free name, then the source goes.
  struct stat here {}, shm {};
  std::string away = "/dev/shm/tvx-move-XXXXXX";
  if (::stat(dir.c_str(), &here) == 0 && ::stat("/dev/shm", &shm) == 0 && here.st_dev != shm.st_dev &&
      ::mkdtemp(away.data())) {
    writeText(fs::path(away) / "Factory.syx", "from the other disk");
    EXPECT_EQ(userfiles::moveUnderFreeName(away + "/Factory.syx", (dir / "Converted Banks").string(), "Factory.syx"),
              (dir / "Converted Banks" / "Factory (3).syx").string());
    EXPECT_FALSE(fs::exists(fs::path(away) / "Factory.syx"));
    EXPECT_EQ(readText(dir / "Converted Banks" / "Factory (3).syx"), "from the other disk");
    EXPECT_EQ(readText(dir / "Converted Banks" / "Factory (2).syx"), "this original");
    fs::remove_all(away);
  } else {
    GTEST_SKIP() << "no second file system at /dev/shm to move across";
  }
}

// Names cut to the file systems' bound lose whole UTF-8 characters only:
// "\xC3\xA9" is two bytes, "\xE2\x82\xAC" three.
TEST_F(UserFilesTest, LongNamesAreCutBetweenCharacters) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC";
  EXPECT_EQ(userfiles::cutToBytes(text, 2), "a");
  EXPECT_EQ(userfiles::cutToBytes(text, 3), "a\xC3\xA9");
  EXPECT_EQ(userfiles::cutToBytes(text, 5), "a\xC3\xA9");
  EXPECT_EQ(userfiles::cutToBytes(text, 6), text);
  auto repeated = [](int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += "\xC3\xA9";
    return out;
  };
  const std::string accents = repeated(130);  // 260 bytes
  // 255 - 4 leaves 251 bytes for the stem: 125 characters; with " (2)" 247: 123.
  EXPECT_EQ(userfiles::fitName(accents + ".syx"), repeated(125) + ".syx");
  EXPECT_EQ(userfiles::numberedName(accents + ".syx", 2), repeated(123) + " (2).syx");
  const std::string written = userfiles::writeUnderFreeName(dir.string(), accents + ".syx", "x", 1);
  EXPECT_EQ(written, (dir / (repeated(125) + ".syx")).string());
  EXPECT_EQ(readText(written), "x");
}

// A small file system of its own that fills up: only where the test may
// mount one (root in a container that allows it); otherwise skipped, and
// the injected failures above stand for it.
TEST_F(UserFilesTest, OnAFullFileSystemTheOldFileStays) {
  const fs::path mount = dir / "small";
  const SmallFileSystem small(mount);
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << small.error;
  const fs::path target = mount / "Program.fxp";
  const std::string old(20000, 'o');
  ASSERT_TRUE(userfiles::writeFileAtomically(target.string(), old));
  small.fill();
  const std::string bigger(30000, 'n');
  errno = 0;
  EXPECT_FALSE(userfiles::writeFileAtomically(target.string(), bigger));
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(readText(target), old);
  EXPECT_EQ(namesIn(mount), (std::vector<std::string>{"Program.fxp", "filler"}));
}

TEST_F(UserFilesTest, TheLockKeepsTwoWritersApart) {
  const fs::path file = dir / "Settings.txt";
  writeText(file, "0");
  // Each writer reads the number, waits a little and writes it plus one:
  // without the lock increments would be lost.
  std::atomic<bool> failed{false};
  auto writer = [&] {
    for (int i = 0; i < 50; ++i) {
      const userfiles::FileLock lock(file.string());
      if (!lock.locked()) failed = true;
      const int n = std::stoi(readText(file));
      std::this_thread::yield();
      if (!userfiles::writeFileAtomically(file.string(), std::to_string(n + 1))) failed = true;
    }
  };
  std::thread a(writer), b(writer);
  a.join();
  b.join();
  EXPECT_FALSE(failed);
  EXPECT_EQ(readText(file), "100");
  // The lock leaves nothing beside the file, whatever the length of its name.
  EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"Settings.txt"}));
}
}  // namespace
