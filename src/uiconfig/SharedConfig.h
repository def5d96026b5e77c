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

#include "ParamSlots.h"
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
  SharedSysExDefinitions();

  std::vector<SysExContainer> definitions;

  // The messages prepared from definition sysexIndex by make, which logs what
  // it cannot prepare: an empty list is never kept, so make runs again for
  // every instance that asks for it. The list first kept for the parameter
  // paramIdx is found by that index, without a lookup: a further instance
  // asks for the same list for the same parameter.
  template <class Make>
  SysExMessageList prepared(int paramIdx, int sysexIndex, int changingByte, int count, int firstValue, int part,
                            Make&& make) const {
    const Key key{sysexIndex, changingByte, count, firstValue, part};
    SysExMessageList list;
    if (find(paramIdx, key, list)) return list;
    // Made outside the lock: make writes this instance's log lines.
    list = make();
    return list.empty() ? list : keep(paramIdx, key, std::move(list));
  }

 private:
  struct Key {
    int sysexIndex, changingByte, count, firstValue, part;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const noexcept;
  };
  bool find(int paramIdx, const Key& key, SysExMessageList& list) const;
  // The list kept under key: this one, or the one another instance kept first.
  SysExMessageList keep(int paramIdx, const Key& key, SysExMessageList list) const;

  mutable std::mutex mMutex;
  mutable std::unordered_map<Key, SysExMessageList, KeyHash> mPrepared;
  // The list first kept for each parameter, found by its index alone.
  mutable ParamSlots<Key, SysExMessageList> mByParam;
};

namespace shared_config {
// The name table as the name map holds it.
const std::shared_ptr<const SharedParamNames>& paramNames();

// The enciphered bytes of a bundle resource and their count; null when it
// cannot be loaded.
using ResourceLoad = std::function<std::unique_ptr<unsigned char[]>(int& size)>;

// The GUI document of the bundle resource fileName, whose bytes load gives
// when they have to be read (no load, or no bytes: an empty document).
std::shared_ptr<const UIDocument> uiDocument(const char* fileName, const ResourceLoad& load);

// The SysEx definition list of the bundle resource fileName, the same way.
std::shared_ptr<const SharedSysExDefinitions> sysexDefinitions(const char* fileName, const ResourceLoad& load);
}  // namespace shared_config
