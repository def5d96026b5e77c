#include "SharedLibraryLoads.h"

#include <limits.h>
#include <stdlib.h>

#include <future>
#include <map>
#include <mutex>

#include "UserFiles.h"

namespace {
// What the process holds of one folder: its last load, and the reading
// under way, which later callers wait for instead of reading themselves.
struct Folder {
  std::shared_ptr<const SharedLoad> load;
  std::shared_future<std::shared_ptr<const SharedLoad>> reading;
};

// Never destroyed: a load still running on a worker when the process ends
// must not meet a destroyed map. The mutex is held only briefly: no caller
// waits behind a reading or the stamps' check of another.
std::mutex& loadsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
// Kept after the last instance closes: the next one made in this process
// takes the load while its files are unchanged.
std::map<std::string, Folder>& loads() {
  static auto* map = new std::map<std::string, Folder>;
  return *map;
}
}  // namespace

namespace SharedLibraryLoads {
std::string keyOf(const std::string& root) {
  char resolved[PATH_MAX];
  return ::realpath(root.c_str(), resolved) ? std::string(resolved) : root;
}

bool stampsHold(const SharedLoad& load) {
  for (const auto& [path, stamp] : load.contents.stamps) {
    const auto now = userfiles::StampOf(path);
    if (!now || !(*now == stamp)) return false;
  }
  for (const auto& [path, digest] : load.contents.digests) {
    const auto now = userfiles::readWholeFile(path, static_cast<std::size_t>(-1));
    if (!now || userfiles::digestOf(*now) != digest) return false;
  }
  return true;
}

std::shared_ptr<const SharedLoad> take(const std::string& key,
                                       const std::function<std::shared_ptr<const SharedLoad>()>& read) {
  for (;;) {
    std::shared_ptr<const SharedLoad> held;
    std::shared_future<std::shared_ptr<const SharedLoad>> reading;
    {
      std::lock_guard<std::mutex> lock(loadsMutex());
      Folder& folder = loads()[key];
      held = folder.load;
      reading = folder.reading;
    }
    if (reading.valid()) {
      // Another caller reads the folder now: its load, once it holds.
      reading.wait();
      continue;
    }
    if (held && stampsHold(*held)) return held;
    // This caller reads, unless another began meanwhile.
    std::promise<std::shared_ptr<const SharedLoad>> promise;
    {
      std::lock_guard<std::mutex> lock(loadsMutex());
      Folder& folder = loads()[key];
      if (folder.reading.valid() || folder.load != held) continue;
      folder.reading = promise.get_future().share();
    }
    std::shared_ptr<const SharedLoad> load;
    try {
      load = read();
    } catch (...) {
      std::lock_guard<std::mutex> lock(loadsMutex());
      loads()[key].reading = {};
      promise.set_value(nullptr);
      throw;
    }
    {
      std::lock_guard<std::mutex> lock(loadsMutex());
      Folder& folder = loads()[key];
      folder.load = load;
      folder.reading = {};
    }
    promise.set_value(load);
    return load;
  }
}

void publish(const std::string& key, const std::shared_ptr<const SharedLoad>& load) {
  std::lock_guard<std::mutex> lock(loadsMutex());
  loads()[key].load = load;
}

void forget(const std::string& key) {
  std::shared_ptr<const SharedLoad> gone;  // freed outside the lock
  std::lock_guard<std::mutex> lock(loadsMutex());
  gone = std::move(loads()[key].load);
}
}  // namespace SharedLibraryLoads
