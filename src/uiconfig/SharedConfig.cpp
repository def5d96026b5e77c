#include "SharedConfig.h"

#include <tinyxml2.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>

#include "BundlePaths.h"
#include "FileStamp.h"
#include "ParamIndex.h"
#include "ResourceCipher.h"
#include "Utilities.h"

namespace {
using userfiles::FileStamp;
using userfiles::StampOf;

// One entry per resource file: the bytes it was made from (by size and hash,
// and the file's stamp when they were read) and what was made of them. An
// instance keeps what it was given alive after the entry moves on to other bytes.
struct Entry {
  int size = -1;
  uint64_t hash = 0;
  std::string path;
  std::optional<FileStamp> stamp;
  std::shared_ptr<const void> form;
};

std::mutex gMutex;
std::map<std::string, Entry> gEntries;

// The form made by build from the deciphered text of the resource's bytes,
// made once per content; the first caller makes it while the others wait.
// The bytes are read only when the file's stamp is not the one they were
// last read with: every further instance finds the form by a stat.
template <class Form, class Build>
std::shared_ptr<const Form> formOf(const char* fileName, const shared_config::ResourceLoad& load, Build build) {
  if (!load) return build(std::string());
  const std::string path = BundleResourcePath(fileName);
  const std::optional<FileStamp> stamp = StampOf(path);
  if (stamp) {
    std::lock_guard<std::mutex> lock(gMutex);
    const Entry& entry = gEntries[fileName];
    if (entry.form && entry.path == path && entry.stamp == stamp) return std::static_pointer_cast<const Form>(entry.form);
  }
  int size = 0;
  const std::unique_ptr<unsigned char[]> bytes = load(size);
  // Nothing to read gives an empty form, and leaves the entry to the bytes it has.
  if (!bytes || size <= 0) return build(std::string());
  const uint64_t hash = HashBytes(bytes.get(), size);
  std::lock_guard<std::mutex> lock(gMutex);
  Entry& entry = gEntries[fileName];
  if (!entry.form || entry.size != size || entry.hash != hash) {
    std::string text;
    decipherResource(reinterpret_cast<const char*>(bytes.get()), size, text);
    entry.form = build(text);
    entry.size = size;
    entry.hash = hash;
  }
  entry.path = path;
  entry.stamp = stamp;
  return std::static_pointer_cast<const Form>(entry.form);
}
}  // namespace

SharedSysExDefinitions::SharedSysExDefinitions() : mByParam(static_cast<size_t>(kParamCount)) {}

size_t SharedSysExDefinitions::KeyHash::operator()(const Key& k) const noexcept {
  uint64_t hash = 0;
  for (int v : {k.sysexIndex, k.changingByte, k.count, k.firstValue, k.part}) {
    hash = (hash ^ static_cast<uint32_t>(v)) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
  }
  return static_cast<size_t>(hash);
}

bool SharedSysExDefinitions::find(int paramIdx, const Key& key, SysExMessageList& list) const {
  if (const SysExMessageList* kept = mByParam.find(paramIdx, key)) {
    list = *kept;
    return true;
  }
  std::lock_guard<std::mutex> lock(mMutex);
  const auto found = mPrepared.find(key);
  if (found == mPrepared.end()) return false;
  list = found->second;
  mByParam.keep(paramIdx, key, list);
  return true;
}

SysExMessageList SharedSysExDefinitions::keep(int paramIdx, const Key& key, SysExMessageList list) const {
  std::lock_guard<std::mutex> lock(mMutex);
  const SysExMessageList& kept = mPrepared.emplace(key, std::move(list)).first->second;
  mByParam.keep(paramIdx, key, kept);
  return kept;
}

namespace shared_config {
const std::shared_ptr<const SharedParamNames>& paramNames() {
  static const std::shared_ptr<const SharedParamNames> names = [] {
    auto made = std::make_shared<SharedParamNames>();
    for (const ParamNameEntry& entry : kParamNameTable)
      if (!made->map.emplace(entry.name, entry.index).second) made->repeated.emplace_back(entry.name);
    return made;
  }();
  return names;
}

std::shared_ptr<const UIDocument> uiDocument(const char* fileName, const ResourceLoad& load) {
  return formOf<UIDocument>(fileName, load,
                            [](const std::string& text) { return UIDocument::read(text, paramNames()->map); });
}

std::shared_ptr<const SharedSysExDefinitions> sysexDefinitions(const char* fileName, const ResourceLoad& load) {
  return formOf<SharedSysExDefinitions>(fileName, load, [](const std::string& text) {
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    document.Parse(text.c_str());
    auto shared = std::make_shared<SharedSysExDefinitions>();
    readSysExDefinitions(document, shared->definitions);
    return std::shared_ptr<const SharedSysExDefinitions>(std::move(shared));
  });
}
}  // namespace shared_config
