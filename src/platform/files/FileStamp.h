// A file's identity and last change as the system keeps them: equal stamps
// mean the bytes were not written in between (a write moves the change time,
// which no one can set back).
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace userfiles {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

// The stamp of what path names now (links followed), or nothing when it
// names nothing.
inline std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

}  // namespace userfiles
