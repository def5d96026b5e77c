// What every instance in the process reads alike from the bundle's two
// configuration documents, and the parameter name map: made once, then
// shared read-only. A document is deciphered and read again only when the
// bytes of its resource change.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "SysExDefinitions.h"
#include "SysExMessageList.h"
#include "UIDocument.h"

struct SharedParamNames {
  std::map<std::string, int> map;
  // Names the table gives more than once; the first index stays.
  std::vector<std::string> repeated;
};

// The SysEx definition list, and the message lists prepared from its
// templates: every instance prepares the same lists for the same controls, so
// the first one to need a list makes it for all.
class SharedSysExDefinitions {
 public:
  std::vector<SysExContainer> definitions;

  // The messages prepared from definition sysexIndex by make, which logs what
  // it cannot prepare: an empty list is never kept, so make runs again for
  // every instance that asks for it.
  SysExMessageList prepared(int sysexIndex, int changingByte, int count, int firstValue, int part,
                            const std::function<SysExMessageList()>& make) const;

 private:
  struct Key {
    int sysexIndex, changingByte, count, firstValue, part;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const;
  };
  mutable std::mutex mMutex;
  mutable std::unordered_map<Key, SysExMessageList, KeyHash> mPrepared;
};

namespace shared_config {
// The name table as the name map holds it.
const std::shared_ptr<const SharedParamNames>& paramNames();

// The GUI document of these enciphered resource bytes (null for none: an
// empty document).
std::shared_ptr<const UIDocument> uiDocument(const char* fileName, const unsigned char* bytes, int size);

// The SysEx definition list of these enciphered resource bytes.
std::shared_ptr<const SharedSysExDefinitions> sysexDefinitions(const char* fileName, const unsigned char* bytes,
                                                               int size);
}  // namespace shared_config
