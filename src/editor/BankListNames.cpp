#include "BankListNames.h"

#include <cctype>

namespace {
constexpr size_t kLongName = 53;
constexpr size_t kKeptChars = 47;

std::string lowerExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? name : name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}
}  // namespace

std::vector<std::string> bankListDisplayNames(const std::vector<std::string>& fileNames,
                                              std::vector<std::pair<std::string, std::string>>* renamed) {
  std::vector<std::string> texts;
  texts.reserve(fileNames.size());
  std::string previousStem;
  int counter = 0;
  for (const std::string& name : fileNames) {
    if (name.size() < kLongName) {
      texts.push_back(name);
      continue;
    }
    const std::string stem = name.substr(0, kKeptChars);
    counter = stem == previousStem ? counter + 1 : 1;
    previousStem = stem;
    texts.push_back(stem + "~" + std::to_string(counter) + "." + lowerExtension(name));
    if (renamed) renamed->emplace_back(name, texts.back());
  }
  return texts;
}
