#include "SysExDefinitions.h"

#include <tinyxml2.h>

#include <algorithm>
#include <climits>

namespace {
using tinyxml2::XMLElement;

std::string elementText(const XMLElement* element) {
  const char* text = element->GetText();
  return text ? std::string(text) : std::string(" ");
}

// The element and every element after it, whatever their names.
template <typename Fn>
void forEachFrom(const XMLElement* first, Fn fn) {
  for (const XMLElement* e = first; e; e = e->NextSiblingElement()) fn(e);
}

void readValuesElement(const XMLElement* valuesElement, SysExContainer& entry) {
  if (const XMLElement* firstValue = valuesElement->FirstChildElement("value")) {
    Values values;
    forEachFrom(firstValue, [&](const XMLElement* e) {
      std::string text = elementText(e);
      if (!text.empty()) values.items.push_back(std::move(text));
    });
    entry.values.push_back(std::move(values));
    return;
  }
  std::vector<Values> list;
  forEachFrom(valuesElement->FirstChildElement("multivalue"), [&](const XMLElement* multi) {
    Values values;
    forEachFrom(multi->FirstChildElement("value"), [&](const XMLElement* e) { values.items.push_back(elementText(e)); });
    list.push_back(std::move(values));
  });
  entry.hasMultiValues = true;
  entry.multiValues.push_back(std::move(list));
}
}  // namespace

void readSysExDefinitions(const tinyxml2::XMLDocument& document, std::vector<SysExContainer>& list) {
  const XMLElement* root = document.FirstChildElement("sysexlist");
  if (!root) return;
  forEachFrom(root->FirstChildElement("sysex"), [&](const XMLElement* sysex) {
    SysExContainer entry;
    forEachFrom(sysex->FirstChildElement("values"), [&](const XMLElement* v) { readValuesElement(v, entry); });
    list.push_back(std::move(entry));
  });
}

const std::string* sysExTemplate(const SysExContainer& entry) {
  if (entry.values.empty() || entry.values.front().items.empty()) return nullptr;
  return &entry.values.front().items.front();
}

std::vector<int> parseSysExTemplate(const std::string& text) {
  std::vector<int> bytes;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ' ') {
      ++pos;
      continue;
    }
    const size_t end = std::min(text.find(' ', pos), text.size());
    size_t digit = pos;
    if (end - pos > 2 && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) digit += 2;
    long long value = 0;
    for (; digit < end; ++digit) {
      const char c = text[digit];
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else break;
      value = std::min<long long>(value * 16 + d, INT_MAX);
    }
    bytes.push_back(static_cast<int>(value));
    pos = end;
  }
  return bytes;
}
