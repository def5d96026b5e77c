#include "SharedConfig.h"

#include <tinyxml2.h>

#include <cstdint>
#include <cstring>
#include <mutex>

#include "ParamIndex.h"
#include "ResourceCipher.h"

namespace {
// One entry per resource file: the bytes it was made from (by size and hash)
// and what was made of them. An instance keeps what it was given alive after
// the entry moves on to other bytes.
struct Entry {
  int size = -1;
  uint64_t hash = 0;
  std::shared_ptr<const void> form;
};

std::mutex gMutex;
std::map<std::string, Entry> gEntries;

uint64_t HashBytes(const unsigned char* bytes, int size) {
  // FNV-1a over 64-bit words, then the tail byte by byte.
  uint64_t hash = 1469598103934665603ull;
  int i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    hash = (hash ^ word) * 1099511628211ull;
  }
  for (; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}

// The form made by build from the deciphered text of the bytes, made once
// per content; the first caller makes it while the others wait.
template <class Form, class Build>
std::shared_ptr<const Form> formOf(const char* fileName, const unsigned char* bytes, int size, Build build) {
  // Nothing to read gives an empty form, and leaves the entry to the bytes it has.
  if (!bytes || size <= 0) return build(std::string());
  const uint64_t hash = HashBytes(bytes, size);
  std::lock_guard<std::mutex> lock(gMutex);
  Entry& entry = gEntries[fileName];
  if (!entry.form || entry.size != size || entry.hash != hash) {
    std::string text;
    decipherResource(reinterpret_cast<const char*>(bytes), size, text);
    entry.form = build(text);
    entry.size = size;
    entry.hash = hash;
  }
  return std::static_pointer_cast<const Form>(entry.form);
}
}  // namespace

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

std::shared_ptr<const UIDocument> uiDocument(const char* fileName, const unsigned char* bytes, int size) {
  return formOf<UIDocument>(fileName, bytes, size,
                            [](const std::string& text) { return UIDocument::read(text, paramNames()->map); });
}

std::shared_ptr<const std::vector<SysExContainer>> sysexDefinitions(const char* fileName, const unsigned char* bytes,
                                                                   int size) {
  return formOf<std::vector<SysExContainer>>(fileName, bytes, size, [](const std::string& text) {
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    document.Parse(text.c_str());
    auto list = std::make_shared<std::vector<SysExContainer>>();
    readSysExDefinitions(document, *list);
    return std::shared_ptr<const std::vector<SysExContainer>>(std::move(list));
  });
}
}  // namespace shared_config
