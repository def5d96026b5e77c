// A file system of a few KiB of its own for a test, that can be filled up:
// a tmpfs mounted where the test may mount one (root in a container that
// allows it); elsewhere mounted() is false and the test is skipped.
// With kWholeSeconds it is an ext4 on a loop device whose stamps keep whole
// seconds (128-byte inodes), as older or foreign file systems do: a rewrite
// in the same second leaves a file's stamp as it was.
#pragma once

#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

class SmallFileSystem {
 public:
  enum Kind { kTmpfs, kWholeSeconds };
  explicit SmallFileSystem(const std::filesystem::path& at, Kind kind = kTmpfs) : mPath(at) {
    std::filesystem::create_directories(at);
    if (kind == kTmpfs) {
      mMounted = ::mount("tarnivex-test", at.c_str(), "tmpfs", 0, "size=64k") == 0;
      if (!mMounted) error = std::strerror(errno);
      return;
    }
    std::string image = (std::filesystem::temp_directory_path() / "tarnivex-seconds-XXXXXX").string();
    const int fd = ::mkstemp(image.data());
    if (fd < 0) {
      error = std::strerror(errno);
      return;
    }
    ::close(fd);
    mImage = image;
    const std::string quiet = " >/dev/null 2>&1";
    std::error_code sized;
    std::filesystem::resize_file(image, 8 << 20, sized);
    mMounted = !sized && std::system(("mke2fs -q -t ext4 -I 128 -F '" + image + "'" + quiet).c_str()) == 0 &&
               std::system(("mount -o loop '" + image + "' '" + at.string() + "'" + quiet).c_str()) == 0;
    if (!mMounted) {
      error = "no loop mount of an ext4 image";
      return;
    }
    std::error_code ignored;
    std::filesystem::remove(at / "lost+found", ignored);
  }
  ~SmallFileSystem() {
    if (mMounted) ::umount2(mPath.c_str(), MNT_DETACH);
    if (!mImage.empty()) ::unlink(mImage.c_str());
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
  std::string mImage;
  bool mMounted = false;
};
