#include "ViewRecords.h"

#include <algorithm>
#include <cstdio>

ViewRect ViewRect::Union(const ViewRect& o) const {
  if (o.Empty()) return *this;
  if (Empty()) return o;
  return {std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B)};
}

ViewRect ViewRect::Intersect(const ViewRect& o) const {
  ViewRect r{std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B)};
  return r.Empty() ? ViewRect{} : r;
}

std::string ViewMenu::Label(int index) const {
  if (index < 0 || index >= static_cast<int>(items.size())) return {};
  static const char* const kFormats[] = {"", "%1d: ", "%02d: ", "%03d: "};
  char number[16] = "";
  if (prefix >= 1 && prefix <= 3) std::snprintf(number, sizeof number, kFormats[prefix], index + 1);
  return number + items[index].text;
}

bool ViewMenu::Choosable(int index) const {
  if (index < 0 || index >= static_cast<int>(items.size())) return false;
  const Item& item = items[index];
  return !item.submenu && !(item.flags & (kViewMenuDisabled | kViewMenuSeparator));
}

bool ViewTextEntry::Accepts(const std::string& candidate) const {
  if (maxLength > 0 && static_cast<int>(candidate.size()) > maxLength) return false;
  if (allowed.empty()) return true;
  return std::all_of(candidate.begin(), candidate.end(),
                     [&](char c) { return allowed.find(c) != std::string::npos; });
}

std::string TextEntryCharacters(int paramType) {
  switch (paramType) {
    case 1:
    case 2:
    case 3:
      return "0123456789-+";
    case 4:
      return "0123456789.-+";
    case 5:
      return "abcdefbgihjklmonpqrstuvwxyzABCDEFGHIJKOLMNOPQRSTUVWXYZ !\"#$%&/'+-*()[],.0123456789-+";
    default:
      return "";
  }
}
