// Named pasteboards of the process: declared types in order, each with a
// string or bytes. The general pasteboard is the one other programs share.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace winsys {

class Pasteboard {
 public:
  static Pasteboard& named(const std::string& name);
  static Pasteboard& general() { return named("Apple CFPasteboard general"); }
  static void resetAll();

  // The platform's string type.
  static constexpr const char* kStringType = "NSStringPboardType";

  const std::vector<std::string>& types() const { return mTypes; }
  void declareTypes(const std::vector<std::string>& types) {
    mTypes = types;
    mData.clear();
  }
  void setData(const std::string& type, const std::string& bytes) { mData[type] = bytes; }
  bool data(const std::string& type, std::string* out) const {
    auto it = mData.find(type);
    if (it == mData.end()) return false;
    *out = it->second;
    return true;
  }

 private:
  std::vector<std::string> mTypes;
  std::map<std::string, std::string> mData;
};

inline Pasteboard& Pasteboard::named(const std::string& name) {
  static std::map<std::string, Pasteboard> boards;
  if (name.empty()) {
    boards.clear();
    static Pasteboard none;
    return none;
  }
  return boards[name];
}

inline void Pasteboard::resetAll() { named(""); }

}  // namespace winsys
