#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "BaseServices.h"

namespace {

TEST(BaseServices, RectangleOperations) {
  struct Case {
    RECT a, b;
    bool intersects;
    RECT intersection, unionRect;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 20}, true, {5, 5, 10, 10}, {0, 0, 20, 20}},
      // Touching at an edge: no area, but the zero-width rectangle stays in dst.
      {{0, 0, 10, 10}, {10, 0, 20, 10}, false, {10, 0, 10, 10}, {0, 0, 20, 10}},
      // An empty source: dst all zero; the union still takes it in.
      {{0, 0, 0, 10}, {5, 5, 20, 20}, false, {0, 0, 0, 0}, {0, 0, 20, 20}},
  };
  for (const auto& c : cases) {
    RECT dst{-1, -1, -1, -1};
    EXPECT_EQ(WinIntersectRect(&dst, &c.a, &c.b), c.intersects);
    EXPECT_EQ(memcmp(&dst, &c.intersection, sizeof dst), 0) << dst.left << "," << dst.top << "," << dst.right;
    WinUnionRect(&dst, &c.a, &c.b);
    EXPECT_EQ(memcmp(&dst, &c.unionRect, sizeof dst), 0);
  }
  RECT r;
  EXPECT_EQ(WinSetRect(&r, 1, 2, 3, 4), 1);
  EXPECT_EQ(WinOffsetRect(&r, 10, 20), 1);
  EXPECT_EQ(r.left, 11);
  EXPECT_EQ(r.bottom, 24);
  EXPECT_EQ(WinSetRect(nullptr, 1, 2, 3, 4), 0);
  // A rectangle whose bottom lies above its top is accepted vertically.
  RECT up{0, 100, 10, 50};
  EXPECT_TRUE(SWELL_PtInRect(&up, {5, 60}));
  EXPECT_FALSE(SWELL_PtInRect(&up, {10, 60}));
  EXPECT_FALSE(SWELL_PtInRect(nullptr, {0, 0}));
}

TEST(BaseServices, MulDivTruncates) {
  struct Case {
    int a, b, c, want;
  } cases[] = {{7, 3, 2, 10}, {-7, 3, 2, -10}, {5, 5, 0, 0}, {1 << 30, 4, 8, 1 << 29}};
  for (auto c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want);
}

TEST(BaseServices, ControlWordTouchesOnlyRounding) {
  unsigned before = _controlfp(0, 0);
  unsigned set = _controlfp(0x300, 0x300);  // round toward zero
  EXPECT_EQ(set & 0x300, 0x300u);
  EXPECT_EQ(set & ~0x300u, before & ~0x300u);
  _controlfp(before, 0x300);
  EXPECT_EQ(_controlfp(0, 0), before);
}

TEST(BaseServices, FileTimeCountsFrom1601) {
  char path[] = "/tmp/winsysftXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  struct stat st;
  fstat(fd, &st);
  uint64_t c = 0, a = 0, w = 0;
  EXPECT_TRUE(GetFileTime(fd, &c, &a, &w));
  EXPECT_EQ(w, uint64_t(st.st_mtime) * 10000000ull + 116444736000000000ull);
  EXPECT_FALSE(GetFileTime(-1, &c, nullptr, nullptr));
  close(fd);
  unlink(path);
}

TEST(BaseServices, MemoryHandles) {
  HGLOBAL h = GlobalAlloc(0, 10);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 10);
  EXPECT_EQ(GlobalLock(h), h);
  EXPECT_EQ(SWELL_GlobalLockCount(h), 1);
  GlobalUnlock(h);
  EXPECT_EQ(SWELL_GlobalLockCount(h), 0);
  GlobalFree(h);
  HGLOBAL empty = GlobalAlloc(0, -5);
  EXPECT_EQ(GlobalSize(empty), 0);
  GlobalFree(empty);
  EXPECT_EQ(GlobalSize(nullptr), 0);
  GlobalFree(nullptr);
}

TEST(BaseServices, Lstrcpyn) {
  struct Case {
    int n;
    const char* want;
  } cases[] = {{1, ""}, {3, "ab"}, {10, "abcdef"}};
  for (auto c : cases) {
    char buf[16];
    memset(buf, 'x', sizeof buf);
    lstrcpyn(buf, "abcdef", c.n);
    EXPECT_STREQ(buf, c.want);
  }
  char untouched[2] = {'q', 0};
  lstrcpyn(untouched, "abc", 0);
  EXPECT_EQ(untouched[0], 'q');
}

TEST(BaseServices, StringsStayWholeCharacters) {
  struct Case {
    const char* in;
    int buflen;
    const char* want;
  } cases[] = {
      {"abc", 10, "abc"},
      {"abc", 3, "ab"},
      {"abc", 1, ""},
      {"a\xC3\xA9z", 3, "a"},  // the two-byte é does not fit beside the NUL
      {"a\xC3\xA9z", 4, "a\xC3\xA9"},
      {"\xE2\x82\xAC\xE2\x82\xAC", 6, "\xE2\x82\xAC"},
  };
  for (auto c : cases) {
    char buf[16];
    memset(buf, 'x', sizeof buf);
    SWELL_CFStringToCString(SWELL_CStringToCFString(c.in), buf, c.buflen);
    EXPECT_STREQ(buf, c.want) << c.in << " into " << c.buflen;
  }
  EXPECT_EQ(SWELL_CStringToCFString(nullptr), "");
  // Not UTF-8: read as ASCII, so the result is valid text.
  EXPECT_EQ(SWELL_CStringToCFString("a\xFF"), "a?");
}

TEST(BaseServices, GuidsAreVersion4) {
  GUID a, b;
  SWELL_GenerateGUID(&a);
  SWELL_GenerateGUID(&b);
  EXPECT_NE(memcmp(&a, &b, sizeof a), 0);
  EXPECT_EQ(a.bytes[6] >> 4, 4);
  SWELL_GenerateGUID(nullptr);
}

int* counters(HINSTANCE lib) {
  auto fn = reinterpret_cast<int* (*)()>(GetProcAddress(lib, "WinsysTestCounters"));
  return fn ? fn() : nullptr;
}

TEST(BaseServices, LibrariesAreCountedAndAttachedOnce) {
  HINSTANCE a = LoadLibrary(WINSYS_TESTLIB);
  ASSERT_NE(a, nullptr);
  char name[4096];
  EXPECT_EQ(GetModuleFileName(a, name, sizeof name), 0);  // no symbol looked up yet
  EXPECT_STREQ(name, "");
  int* n = counters(a);
  ASSERT_NE(n, nullptr);
  EXPECT_GT(GetModuleFileName(a, name, sizeof name), 0);
  EXPECT_TRUE(std::filesystem::equivalent(name, WINSYS_TESTLIB));
  int attach = n[0], dllAttach = n[2];
  HINSTANCE b = LoadLibrary(WINSYS_TESTLIB);
  EXPECT_EQ(a, b);
  EXPECT_EQ(SWELL_LibraryRefCount(a), 2);
  EXPECT_EQ(n[0], attach);
  int detach = n[1];
  EXPECT_EQ(FreeLibrary(b), 1);
  EXPECT_EQ(n[1], detach);  // still loaded, no entry point called
  EXPECT_EQ(dllAttach, n[2]);
  EXPECT_EQ(FreeLibrary(a), 1);
  EXPECT_EQ(FreeLibrary(nullptr), 0);
  EXPECT_EQ(LoadLibrary(nullptr), nullptr);
  EXPECT_EQ(LoadLibrary(""), nullptr);
  EXPECT_EQ(LoadLibrary("/nonexistent/lib.so"), nullptr);
}

TEST(BaseServices, DetachEntriesRunOnTheLastRelease) {
  // Our own dlopen keeps the image and its counters mapped across the layer's last release.
  void* image = dlopen(WINSYS_TESTLIB, RTLD_NOW);
  ASSERT_NE(image, nullptr);
  int* n = reinterpret_cast<int* (*)()>(dlsym(image, "WinsysTestCounters"))();
  int attach = n[0], detach = n[1], dllAttach = n[2], dllDetach = n[3];
  HINSTANCE lib = LoadLibrary(WINSYS_TESTLIB);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(n[0], attach + 1);
  EXPECT_EQ(n[2], dllAttach + 1);
  FreeLibrary(lib);
  EXPECT_EQ(n[1], detach + 1);
  EXPECT_EQ(n[3], dllDetach + 1);
  // A refused attach: the record goes and no detach entry runs.
  setenv("WINSYS_TESTLIB_REFUSE", "1", 1);
  EXPECT_EQ(LoadLibrary(WINSYS_TESTLIB), nullptr);
  unsetenv("WINSYS_TESTLIB_REFUSE");
  EXPECT_EQ(n[0], attach + 2);
  EXPECT_EQ(n[1], detach + 1);
  EXPECT_EQ(n[2], dllAttach + 1);
  dlclose(image);
}

TEST(BaseServices, BundlesLoadTheirExecutable) {
  auto dir = std::filesystem::temp_directory_path() / ("winsysbundle" + std::to_string(getpid()));
  auto bundle = dir / "Test.bundle";
  std::filesystem::create_directories(bundle / "Contents/Linux-x86_64");
  std::filesystem::copy_file(WINSYS_TESTLIB, bundle / "Contents/Linux-x86_64/Test.so");
  HINSTANCE b = LoadLibrary(bundle.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_NE(GetProcAddress(b, "WinsysTestCounters"), nullptr);
  char name[4096];
  GetModuleFileName(b, name, sizeof name);
  EXPECT_EQ(std::string(name), std::filesystem::canonical(bundle).string());
  EXPECT_EQ(LoadLibrary(bundle.c_str()), b);
  FreeLibrary(b);
  FreeLibrary(b);
  // A bundle without an executable is recorded with no image.
  auto empty = dir / "Empty.bundle";
  std::filesystem::create_directories(empty);
  HINSTANCE e = LoadLibrary(empty.c_str());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(GetProcAddress(e, "x"), nullptr);
  FreeLibrary(e);
  SWELL_SetMainBundlePath("/main/bundle");
  GetModuleFileName(nullptr, name, 5);
  EXPECT_STREQ(name, "/mai");
  SWELL_SetMainBundlePath("");
  std::filesystem::remove_all(dir);
}

}  // namespace
