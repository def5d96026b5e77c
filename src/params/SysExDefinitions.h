// The SysEx definition list: one entry per "sysex" element of the SysEx
// definition document, in document order; an entry's position is the
// "sysexIndex" that the GUI document uses. The first text of an entry's first
// Values is the message template: hex bytes separated by blanks, without F0
// and F7.
#pragma once

#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
}

struct Values {
  std::vector<std::string> items;
};

struct SysExContainer {
  std::vector<Values> values;
  std::vector<std::vector<Values>> multiValues;
  bool hasMultiValues = false;
};

// The device byte (template byte 2) that every authored template carries;
// the editor puts the configured device ID there before sending, and incoming
// multi and global changes are looked up under this byte.
constexpr int kTemplateDeviceByte = 0x00;

// Appends the entries of a parsed "sysexlist" document; nothing without that root.
void readSysExDefinitions(const tinyxml2::XMLDocument& document, std::vector<SysExContainer>& list);

// The message template of an entry, or null when the entry has no Values or
// its first Values no text.
const std::string* sysExTemplate(const SysExContainer& entry);

// Splits a template at blanks and reads each token as hex (an optional 0x,
// digits up to the first non-hex character; a token without leading hex
// digits gives 0).
std::vector<int> parseSysExTemplate(const std::string& text);
