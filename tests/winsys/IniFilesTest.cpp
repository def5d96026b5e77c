#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "IniFiles.h"
#include "UserFiles.h"

namespace {

namespace fs = std::filesystem;

class IniFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    SWELL_ResetIniCache();
    dir = fs::temp_directory_path() / ("winsysini" + std::to_string(getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  std::string file(const std::string& name, const std::string& text) {
    std::string p = (dir / name).string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  static std::string read(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static std::string get(const char* app, const char* key, const std::string& fn, const char* def = "DEF") {
    char buf[256];
    GetPrivateProfileString(app, key, def, buf, sizeof buf, fn.c_str());
    return buf;
  }
  fs::path dir;
};

TEST_F(IniFiles, ReadsValuesAsTheParserStoresThem) {
  std::string fn = file("a.ini",
                        "junk=before any section\n"
                        "[main]\n"
                        "plain=1\n"
                        "  key with blank = value with blank  \r\n"
                        "sq='abc'\n"
                        "dq=\"abc\"\n"
                        "one='\n"
                        ";comment=kept as a key\n"
                        "no equals sign\n"
                        "=empty key\n"
                        "twice=first\n"
                        "Cased=lower\n"
                        "twice=second\n"
                        "CASED=upper\n"
                        "[dup]\n"
                        "a=first\n"
                        "[  spaced ]tail\n"
                        "k=v\n"
                        "[DUP]\n"
                        "b=second\n"
                        "[broken\n"
                        "c=goes to the current section\n");
  struct Case {
    const char *app, *key, *want;
  } cases[] = {
      {"main", "plain", "1"},
      {"MAIN", "PLAIN", "1"},
      {"main", "key with blank ", "value with blank"},
      {"main", "key with blank", "DEF"},
      {"main", "sq", "abc"},
      {"main", "dq", "abc"},
      {"main", "one", "'"},
      {"main", ";comment", "kept as a key"},
      {"main", "junk", "DEF"},
      {"main", "twice", "second"},  // of equal keys the last line read wins
      {"main", "cased", "upper"},
      {"dup", "a", "first"},  // a section met again goes on: both occurrences' keys stay
      {"dup", "b", "second"},
      {"dup", "c", "goes to the current section"},
      {"  spaced ", "k", "v"},
      {"nosuch", "k", "DEF"},
  };
  for (auto c : cases) EXPECT_EQ(get(c.app, c.key, fn), c.want) << c.app << "/" << c.key;
  char small[4];
  EXPECT_EQ(GetPrivateProfileString("main", "sq", "", small, sizeof small, fn.c_str()), 3);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(GetPrivateProfileString("main", "dq", nullptr, small, 2, fn.c_str()), 1);
  EXPECT_STREQ(small, "a");
  EXPECT_EQ(GetPrivateProfileString("main", "none", nullptr, small, sizeof small, fn.c_str()), 0);
}

TEST_F(IniFiles, EnumeratesSectionsAndKeysAsDoubleNulLists) {
  std::string fn = file("e.ini", "[b]\nz=1\ny=2\n[A]\n[empty]\n");
  char buf[64];
  memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, nullptr, buf, sizeof buf, fn.c_str()), 9);
  EXPECT_EQ(std::string(buf, 11), std::string("A\0b\0empty\0\0", 11));
  EXPECT_EQ(GetPrivateProfileString("b", nullptr, nullptr, buf, sizeof buf, fn.c_str()), 3);
  EXPECT_EQ(std::string(buf, 5), std::string("y\0z\0\0", 5));
  EXPECT_EQ(GetPrivateProfileString("empty", nullptr, nullptr, buf, sizeof buf, fn.c_str()), 0);
  EXPECT_EQ(std::string(buf, 2), std::string("\0\0", 2));
  // Cut: retsize - 2 bytes of the list and two NULs.
  memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, nullptr, buf, 5, fn.c_str()), 3);
  EXPECT_EQ(std::string(buf, 5), std::string("A\0b\0\0", 5));
  std::string two = file("two.ini", "[b]\n[A]\n");
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, nullptr, buf, sizeof buf, two.c_str()), 3);
  EXPECT_EQ(std::string(buf, 5), std::string("A\0b\0\0", 5));
}

TEST_F(IniFiles, IntsAndSections) {
  std::string fn = file("i.ini", "[s]\na=abc\nb=0\nc=0x10\nd=-5\ne=\nf=12xyz\n");
  struct Case {
    const char* key;
    int want;
  } cases[] = {{"a", 77}, {"b", 0}, {"c", 0}, {"d", -5}, {"e", 77}, {"f", 12}, {"none", 77}};
  for (auto c : cases) EXPECT_EQ(GetPrivateProfileInt("s", c.key, 77, fn.c_str()), c.want) << c.key;

  std::string sec = file("sec.ini", "[s]\nb= ' x ' \na=1\n");
  char buf[64];
  memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetPrivateProfileSection("s", buf, sizeof buf, sec.c_str()), 10);
  EXPECT_EQ(std::string(buf, 11), std::string("a=1\0b= x \0\0", 11));
  memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetPrivateProfileSection("s", buf, 6, sec.c_str()), 4);
  EXPECT_EQ(buf[5], 0);
  EXPECT_EQ(GetPrivateProfileSection("none", buf, sizeof buf, sec.c_str()), 0);
  EXPECT_EQ(std::string(buf, 2), std::string("\0\0", 2));
  buf[0] = 'x';
  EXPECT_EQ(GetPrivateProfileSection("s", buf, 1, sec.c_str()), 0);
  EXPECT_EQ(buf[0], 0);
}

TEST_F(IniFiles, WritesTheWholeFileSorted) {
  // Lines that are no entry stay: before the sections, and at the head of their own section.
  std::string fn = file("w.ini", "preamble\n[b]\nZ=1\nnoeq\n[a]\n");
  EXPECT_TRUE(WritePrivateProfileString("b", "y", "2", fn.c_str()));
  EXPECT_EQ(read(fn), "preamble\n[a]\n\n[b]\nnoeq\ny=2\nZ=1\n\n");
  EXPECT_TRUE(WritePrivateProfileString("B", "z", "3", fn.c_str()));  // keeps the stored case
  EXPECT_EQ(read(fn), "preamble\n[a]\n\n[b]\nnoeq\ny=2\nZ=3\n\n");
  EXPECT_TRUE(WritePrivateProfileString("a", nullptr, nullptr, fn.c_str()));
  EXPECT_TRUE(WritePrivateProfileString("b", "y", nullptr, fn.c_str()));
  EXPECT_EQ(read(fn), "preamble\n[b]\nnoeq\nZ=3\n\n");
  EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", fn.c_str()));
  EXPECT_FALSE(WritePrivateProfileString("b", "", "v", fn.c_str()));
  EXPECT_FALSE(fs::exists(dir / ".w.ini.new"));

  const char list[] = "k2=v=2\0noeq\0k1=one\0k1=uno\0";
  EXPECT_TRUE(WritePrivateProfileSection("new", list, fn.c_str()));
  EXPECT_EQ(get("new", "k1", fn), "uno");
  EXPECT_EQ(get("new", "k2", fn), "v=2");
  EXPECT_TRUE(WritePrivateProfileSection("missing", "", fn.c_str()));
  EXPECT_EQ(read(fn).find("missing"), std::string::npos);
}

TEST_F(IniFiles, AnEqualValueLeavesTheFileAlone) {
  std::string fn = file("u.ini", "[s]\nk=Value\n");
  EXPECT_TRUE(WritePrivateProfileString("s", "k", "Value", fn.c_str()));
  EXPECT_EQ(read(fn), "[s]\nk=Value\n");  // not rewritten (it would gain an empty line)
  EXPECT_TRUE(WritePrivateProfileString("s", "k", "value", fn.c_str()));
  EXPECT_EQ(read(fn), "[s]\nk=value\n\n");
}

TEST_F(IniFiles, StructsCarryAChecksum) {
  std::string fn = file("st.ini", "[s]\nbad=0102FF03\nshort=0102FF\nhex=0102GG02\n");
  const unsigned char bytes[] = {0x01, 0x02, 0xFF};
  EXPECT_TRUE(WritePrivateProfileStruct("s", "good", bytes, 3, fn.c_str()));
  EXPECT_EQ(get("s", "good", fn), "0102FF02");
  unsigned char out[3] = {9, 9, 9};
  EXPECT_TRUE(GetPrivateProfileStruct("s", "good", out, 3, fn.c_str()));
  EXPECT_EQ(memcmp(out, bytes, 3), 0);
  for (const char* key : {"bad", "short", "hex", "none"}) {
    unsigned char keep[3] = {9, 9, 9};
    EXPECT_FALSE(GetPrivateProfileStruct("s", key, keep, 3, fn.c_str())) << key;
    EXPECT_EQ(keep[0], 9) << key << ": a rejected value must not reach the buffer";
    EXPECT_EQ(keep[1], 9) << key;
  }
  EXPECT_FALSE(GetPrivateProfileStruct(nullptr, "good", out, 3, fn.c_str()));
  EXPECT_TRUE(WritePrivateProfileStruct("s", "good", nullptr, 3, fn.c_str()));  // deletes the key
  EXPECT_EQ(get("s", "good", fn), "DEF");
}

TEST_F(IniFiles, CacheReusesCaseInsensitiveNamesAndEvictsTheOldest) {
  std::string fn = file("Cache.ini", "[s]\nk=1\n");
  EXPECT_EQ(get("s", "k", fn), "1");
  std::string upper = (dir / "CACHE.INI").string();
  // The cached context answers for the other spelling although no such file exists.
  EXPECT_EQ(get("s", "k", upper), "1");
  for (int i = 0; i < 32; ++i) {
    std::string name = "f";  // appended: release builds warn about "f" + to_string
    name += std::to_string(i);
    name += ".ini";
    get("s", "k", file(name, "[s]\nk=x\n"));
  }
  // Evicted: the other spelling is now looked up on disk and not found.
  EXPECT_EQ(get("s", "k", upper), "DEF");
}

// A write never costs the file what the reader did not take in, and never
// writes what would read back as something else.
TEST_F(IniFiles, AWriteKeepsWhatTheFileHeldAndRefusesWhatWouldNotReadBack) {
  struct Row {
    const char* label;
    std::string file;
    const char *app, *key, *val;
    bool written;
    std::string after;  // the file afterwards; "" for unchanged
  };
  const std::string big(0x40001, 'x');
  const Row table[] = {
      {"more than 256 KiB before the first section", big + "\n[s]\nk=1\n", "s", "k", "2", false, ""},
      {"a value with a line break", "[s]\nk=1\n", "s", "k", "x\n[evil]\nk=v", false, ""},
      {"a value with a carriage return", "[s]\nk=1\n", "s", "k", "x\ry", false, ""},
      {"a section name with ]", "[s]\nk=1\n", "a]b", "k", "v", false, ""},
      {"an empty section name", "[s]\nk=1\n", "", "k", "v", false, ""},
      {"a key with =", "[s]\nk=1\n", "s", "a=b", "v", false, ""},
      {"a key that begins with [", "[s]\nk=1\n", "s", "[t]", "v", false, ""},
      {"a key that begins with a blank", "[s]\nk=1\n", "s", " k", "v", false, ""},
      {"comments, loose lines and a repeated section stay", "top\n[s]\n; note\nk=1\n[t]\nx=1\n[S]\nj=2\n", "t", "y",
       "3", true, "top\n[s]\n; note\nj=2\nk=1\n\n[t]\nx=1\ny=3\n\n"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.label);
    SWELL_ResetIniCache();
    const std::string fn = file("k.ini", row.file);
    EXPECT_EQ(WritePrivateProfileString(row.app, row.key, row.val, fn.c_str()) != 0, row.written);
    EXPECT_EQ(read(fn), row.after.empty() ? row.file : row.after);
  }
  // A file that cannot be read (here a folder of that name) is not replaced.
  fs::create_directory(dir / "folder.ini");
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", (dir / "folder.ini").c_str()));
  EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
  const std::string withStrings = file("section.ini", "[s]\na=1\n");
  EXPECT_FALSE(WritePrivateProfileSection("s]", "a=2\0", withStrings.c_str()));
  EXPECT_TRUE(WritePrivateProfileSection("s", "a=2\0b=x\ny\0c=3\0", withStrings.c_str()));
  EXPECT_EQ(read(withStrings), "[s]\na=2\nc=3\n\n");
}

TEST_F(IniFiles, ReloadsWhenTheFileChangesOnDisk) {
  std::string fn = file("r.ini", "[s]\nk=1\n");
  EXPECT_EQ(get("s", "k", fn), "1");
  file("r.ini", "[s]\nk=22\n");
  EXPECT_EQ(get("s", "k", fn), "22");
  fs::remove(fn);
  EXPECT_EQ(get("s", "k", fn), "DEF");
}

TEST_F(IniFiles, AFailedWriteReportsFailureAndKeepsTheOldFile) {
  std::string fn = file("keep.ini", "[s]\nk=old\n");
  EXPECT_EQ(get("s", "k", fn), "old");
  // The disk fills up after a few bytes of the new file.
  userfiles::setWriteFault(userfiles::WriteFault{5, ENOSPC});
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "new", fn.c_str()));
  userfiles::setWriteFault(std::nullopt);
  EXPECT_EQ(read(fn), "[s]\nk=old\n");
  EXPECT_EQ(get("s", "k", fn), "new");  // kept in memory only
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary file left
}

TEST_F(IniFiles, LongPathsKeepTheirWholeTemporaryName) {
  fs::path deep = dir;
  for (int i = 0; i < 6; ++i) deep /= std::string(200, char('a' + i));
  fs::create_directories(deep);
  std::string fn = (deep / "long.ini").string();
  ASSERT_GT(fn.size(), 1100u);
  EXPECT_TRUE(WritePrivateProfileString("s", "k", "v", fn.c_str()));
  EXPECT_EQ(read(fn), "[s]\nk=v\n\n");
  EXPECT_FALSE(fs::exists(deep / ".long.ini.new"));
}

TEST_F(IniFiles, DamagedFilesNeverBreakTheReaders) {
  std::mt19937 rng(1234);
  const std::string alphabet = "[]=;' \"\t\r\nabcAB01\xC3\xFF";
  char buf[128];
  for (int round = 0; round < 200; ++round) {
    std::string text;
    int len = int(rng() % 400);
    for (int i = 0; i < len; ++i) text.push_back(alphabet[rng() % alphabet.size()]);
    std::string fn = file("fuzz" + std::to_string(round % 5) + ".ini", text);
    SWELL_ResetIniCache();
    GetPrivateProfileString(nullptr, nullptr, nullptr, buf, sizeof buf, fn.c_str());
    GetPrivateProfileString("a", nullptr, nullptr, buf, int(rng() % 8), fn.c_str());
    GetPrivateProfileString("a", "b", "", buf, sizeof buf, fn.c_str());
    GetPrivateProfileSection("a", buf, int(rng() % 16), fn.c_str());
    GetPrivateProfileStruct("a", "b", buf, 4, fn.c_str());
    ASSERT_TRUE(WritePrivateProfileString("a", "b", "c", fn.c_str()));
    // What was written parses back the same.
    std::string written = read(fn);
    SWELL_ResetIniCache();
    ASSERT_EQ(get("a", "b", fn), "c");
    ASSERT_TRUE(WritePrivateProfileString("a", "b", "d", fn.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("a", "b", "c", fn.c_str()));
    ASSERT_EQ(read(fn), written);
  }
}

}  // namespace
