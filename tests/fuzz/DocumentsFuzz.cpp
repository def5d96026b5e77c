// The two enciphered configuration documents of the bundle, deciphered and
// read as the plug-in reads them: the SysEx definitions with their message
// templates, and the named value lists of the GUI document.
//
// Input: a mode byte; even: the resource as stored (enciphered); odd: a
// plain text that is enciphered first, so the readers see its XML.
#include <tinyxml2.h>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "ResourceCipher.h"
#include "SysExDefinitions.h"
#include "ValueLists.h"

namespace fuzz {

int documents(const uint8_t* data, size_t size) {
  Input in(data, size);
  const bool plain = in.byte() & 1;
  const std::vector<uint8_t> rest = in.rest();
  std::vector<unsigned char> resource(rest.begin(), rest.end());
  if (plain) {
    const std::string text(rest.begin(), rest.end());
    resource = encipherResource(text);
    std::string back;
    decipherResource(reinterpret_cast<const char*>(resource.data()), static_cast<int>(resource.size()), back);
    // Deciphering gives the text back, then zeros to the block's end.
    FUZZ_CHECK(back.compare(0, text.size(), text) == 0);
  }
  std::string text;
  decipherResource(reinterpret_cast<const char*>(resource.data()), static_cast<int>(resource.size()), text);
  // The text ends at its first NUL, as the readers take it.
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  document.Parse(text.c_str());
  std::vector<SysExContainer> definitions;
  readSysExDefinitions(document, definitions);
  for (const SysExContainer& entry : definitions)
    if (const std::string* templ = sysExTemplate(entry)) parseSysExTemplate(*templ);
  ValueLists lists;
  readValueLists(document, lists);
  for (const auto& [name, texts] : lists) {
    valueListText(lists, name, 0);
    valueListText(lists, name, static_cast<int>(texts.size()));
  }
  return 0;
}

}  // namespace fuzz
