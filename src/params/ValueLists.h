// The named value lists of the GUI document: a list name to its texts,
// position 0 first; a parameter's value picks the text at that position.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
}

using ValueLists = std::map<std::string, std::vector<std::string>>;

// Reads "uiconfig" > "valueLists" > "list name=..." > "value"; a later list
// of a name replaces an earlier one, and a list without a name is skipped.
void readValueLists(const tinyxml2::XMLDocument& document, ValueLists& lists);

// The text at position in the list of name, or null when the list is absent
// or the position lies outside it. Never inserts, so readers on any thread
// leave the map alone.
const std::string* valueListText(const ValueLists& lists, const std::string& name, int position);
