#include "SharedLibraryLoads.h"

#include <limits.h>
#include <stdlib.h>

#include <map>
#include <mutex>

namespace {
std::mutex& loadsMutex() {
  static std::mutex mutex;
  return mutex;
}
// Held only through the instances: the last one to let go frees the load.
std::map<std::string, std::weak_ptr<const SharedLoad>>& loads() {
  static std::map<std::string, std::weak_ptr<const SharedLoad>> map;
  return map;
}
}  // namespace

namespace SharedLibraryLoads {
std::string keyOf(const std::string& root) {
  char resolved[PATH_MAX];
  return ::realpath(root.c_str(), resolved) ? std::string(resolved) : root;
}

std::shared_ptr<const SharedLoad> take(const std::string& key,
                                       const std::function<std::shared_ptr<const SharedLoad>()>& read) {
  // Held while reading: a second instance made at the same time waits for
  // this reading instead of making its own.
  std::lock_guard<std::mutex> lock(loadsMutex());
  auto& map = loads();
  std::erase_if(map, [](const auto& entry) { return entry.second.expired(); });
  if (auto held = map[key].lock()) return held;
  std::shared_ptr<const SharedLoad> load = read();
  map[key] = load;
  return load;
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
