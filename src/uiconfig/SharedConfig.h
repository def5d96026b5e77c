// What every instance in the process reads alike from the bundle's two
// configuration documents, and the parameter name map: made once, then
// shared read-only. A document is deciphered and read again only when the
// bytes of its resource change.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SysExDefinitions.h"
#include "UIDocument.h"

struct SharedParamNames {
  std::map<std::string, int> map;
  // Names the table gives more than once; the first index stays.
  std::vector<std::string> repeated;
};

namespace shared_config {
// The name table as the name map holds it.
const std::shared_ptr<const SharedParamNames>& paramNames();

// The GUI document of these enciphered resource bytes (null for none: an
// empty document).
std::shared_ptr<const UIDocument> uiDocument(const char* fileName, const unsigned char* bytes, int size);

// The SysEx definition list of these enciphered resource bytes.
std::shared_ptr<const std::vector<SysExContainer>> sysexDefinitions(const char* fileName, const unsigned char* bytes,
                                                                   int size);
}  // namespace shared_config
