// An exclusive lock between processes and instances on one file: a flock on
// the folder that holds it, held while the object lives. Every file of the
// folder shares the lock; one thread never takes it twice.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace userfiles {

class FileLock {
 public:
  // Waits for the lock, at most `wait` when one is given, and no longer
  // than until *giveUp is set when that is given; locked() is false (errno
  // says why) when the folder cannot be opened, and busy() when the wait
  // ran out or was given up while another holder kept the lock.
  explicit FileLock(const std::string& path, std::optional<std::chrono::milliseconds> wait = std::nullopt,
                    const std::atomic<bool>* giveUp = nullptr);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return mFd >= 0; }
  bool busy() const { return mBusy; }

 private:
  int mFd = -1;
  bool mBusy = false;
};

}  // namespace userfiles
