#include "BankListNames.h"

#include "DisplayNames.h"

std::vector<std::string> bankListDisplayNames(const std::vector<std::string>& fileNames,
                                              std::vector<std::pair<std::string, std::string>>* renamed) {
  std::vector<std::string> texts;
  texts.reserve(fileNames.size());
  DisplayNamer namer;
  for (const std::string& name : fileNames) {
    bool shortened = false;
    texts.push_back(namer.next(name, &shortened));
    if (shortened && renamed) renamed->emplace_back(name, texts.back());
  }
  return texts;
}
