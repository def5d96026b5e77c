#include "ValueLists.h"

#include <tinyxml2.h>

#include <cstring>

void readValueLists(const tinyxml2::XMLDocument& document, ValueLists& lists) {
  const tinyxml2::XMLElement* root = document.FirstChildElement("uiconfig");
  const tinyxml2::XMLElement* section = root ? root->FirstChildElement("valueLists") : nullptr;
  if (!section) return;
  for (const tinyxml2::XMLNode* node = section->FirstChild(); node; node = node->NextSibling()) {
    const tinyxml2::XMLElement* list = node->ToElement();
    if (!list || std::strcmp(list->Value(), "list") != 0) continue;
    const char* name = list->Attribute("name");
    if (!name) continue;
    std::vector<std::string> texts;
    for (const tinyxml2::XMLNode* child = list->FirstChild(); child; child = child->NextSibling()) {
      const tinyxml2::XMLElement* value = child->ToElement();
      if (!value || std::strcmp(value->Value(), "value") != 0) continue;
      const char* text = value->GetText();
      texts.emplace_back(text ? text : " ");
    }
    lists[name] = std::move(texts);
  }
}

const std::string* valueListText(const ValueLists& lists, const std::string& name, int position) {
  const auto it = lists.find(name);
  if (it == lists.end() || position < 0 || static_cast<size_t>(position) >= it->second.size()) return nullptr;
  return &it->second[static_cast<size_t>(position)];
}
