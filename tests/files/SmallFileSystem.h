// A file system of a few KiB of its own for a test, that can be filled up:
// a tmpfs mounted where the test may mount one (root in a container that
// allows it); elsewhere mounted() is false and the test is skipped.
#pragma once

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::filesystem::path& at) : mPath(at) {
    std::filesystem::create_directories(at);
    mMounted = ::mount("tarnivex-test", at.c_str(), "tmpfs", 0, "size=64k") == 0;
    if (!mMounted) error = std::strerror(errno);
  }
  ~SmallFileSystem() {
    if (mMounted) ::umount2(mPath.c_str(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool mounted() const { return mMounted; }
  // Writes the file "filler" until no byte more fits.
  void fill() const {
    std::ofstream filler(mPath / "filler", std::ios::binary);
    const std::string block(1024, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }

  std::string error;

 private:
  std::filesystem::path mPath;
  bool mMounted = false;
};
