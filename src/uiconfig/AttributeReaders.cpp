// Turning attribute texts into values: parameter names, groups, number
// lists, links. Unknown names are logged and give -1; building goes on.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "UIConfigManager.h"

namespace {
// A decimal integer from the start of text (blanks and a sign allowed);
// false when the text does not start with one.
bool readLeadingInt(const std::string& text, int& value) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(start, &end, 10);
  if (end == start) return false;
  value = static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
  return true;
}

int leadingIntOrZero(const std::string& text) {
  int value = 0;
  return readLeadingInt(text, value) ? value : 0;
}
}  // namespace

int UIConfigManager::getParamByName(const std::string& name) {
  const auto it = paramNameMap.find(name);
  if (it != paramNameMap.end()) return it->second;
  log("CONFIG READER: parameter " + name + " NOT FOUND!");
  return -1;
}

const char* UIConfigManager::getParamGroup(int part, const std::string& group) {
  if (part < 0) {
    groupText = group;
  } else {
    groupText.assign("Part ").append(std::to_string(part + 1));
    if (!group.empty()) groupText.append(":").append(group);
  }
  return groupText.c_str();
}

void UIConfigManager::getCSValues(std::string text, int* values, int n) {
  std::vector<std::string> tokens;
  Tokenize(text, tokens, ",");
  for (int i = 0; i < n && i < static_cast<int>(tokens.size()); ++i) readLeadingInt(tokens[static_cast<size_t>(i)], values[i]);
}

LinkInfo UIConfigManager::getBiDirectLink(const std::string& text, int part) {
  LinkInfo link;
  std::vector<std::string> tokens;
  Tokenize(text, tokens, ",");
  if (tokens.size() < 2) return link;
  auto indexOf = [&](const std::string& name) {
    const int index = getParamByName(name);
    return index >= 0 && part >= 0 ? index + part : index;
  };
  link.partnerParam = indexOf(tokens[0]);
  link.switchParam = indexOf(tokens[1]);
  if (tokens.size() == 3) link.linkMode = leadingIntOrZero(tokens[2]);
  return link;
}

void UIConfigManager::getBiDirectLinkValues(std::string text, int* link, int part) {
  const LinkInfo info = getBiDirectLink(text, part);
  link[0] = info.partnerParam;
  link[1] = info.switchParam;
  link[2] = info.linkMode;
}

int UIConfigManager::resolveParamReference(const std::string& text, int part) {
  std::vector<std::string> pieces;
  Tokenize(text, pieces, "+");
  if (pieces.empty()) return -1;
  const int index = getParamByName(pieces[0]);
  if (index < 0) return -1;
  const long long offset = pieces.size() > 1 ? leadingIntOrZero(pieces[1]) : 0;
  const long long resolved = index + (part >= 0 ? part : 0) + offset;
  return resolved < INT_MIN || resolved > INT_MAX ? -1 : static_cast<int>(resolved);
}

void UIConfigManager::Tokenize(const std::string& text, std::vector<std::string>& tokens,
                               const std::string& delimiters) {
  size_t start = text.find_first_not_of(delimiters);
  while (start != std::string::npos) {
    const size_t end = text.find_first_of(delimiters, start);
    tokens.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = end == std::string::npos ? end : text.find_first_not_of(delimiters, end);
  }
}
