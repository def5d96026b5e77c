#include "SharedLibraryLoads.h"

#include <limits.h>
#include <stdlib.h>

#include <map>
#include <mutex>

namespace {
// Never destroyed: a load still running on a worker when the process ends
// must not meet a destroyed map.
std::mutex& loadsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
// Kept after the last instance closes: the next one made in this process
// takes it while its files are unchanged.
std::map<std::string, std::shared_ptr<const SharedLoad>>& loads() {
  static auto* map = new std::map<std::string, std::shared_ptr<const SharedLoad>>;
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
  return true;
}

std::shared_ptr<const SharedLoad> take(const std::string& key,
                                       const std::function<std::shared_ptr<const SharedLoad>()>& read) {
  // Held while reading: a second instance made at the same time waits for
  // this reading instead of making its own.
  std::lock_guard<std::mutex> lock(loadsMutex());
  std::shared_ptr<const SharedLoad>& held = loads()[key];
  if (held && stampsHold(*held)) return held;
  held = read();
  return held;
}

void publish(const std::string& key, const std::shared_ptr<const SharedLoad>& load) {
  std::lock_guard<std::mutex> lock(loadsMutex());
  loads()[key] = load;
}

void forget(const std::string& key) {
  std::lock_guard<std::mutex> lock(loadsMutex());
  loads().erase(key);
}
}  // namespace SharedLibraryLoads
