// An exclusive lock between processes and instances on one file: a flock on
// the folder that holds it, held while the object lives. Every file of the
// folder shares the lock; one thread never takes it twice.
#pragma once

#include <string>

namespace userfiles {

class FileLock {
 public:
  // Waits for the lock; locked() is false (errno says why) when the folder
  // cannot be opened.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return mFd >= 0; }

 private:
  int mFd = -1;
};

}  // namespace userfiles
