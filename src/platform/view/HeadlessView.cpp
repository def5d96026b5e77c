#include "EditorView.h"

namespace {
void ListMenu(const ViewMenu& menu, const std::string& indent, std::vector<std::string>* out, int depth) {
  for (size_t i = 0; i < menu.items.size(); ++i) {
    const ViewMenu::Item& item = menu.items[i];
    std::string line = indent + menu.Label(int(i));
    if (item.flags) line += " [" + std::to_string(item.flags) + "]";
    out->push_back(line);
    if (item.submenu && depth < 16) ListMenu(*item.submenu, indent + "  ", out, depth + 1);
  }
}
}  // namespace

bool HeadlessView::PopupMenu(const ViewMenu& menu, const ViewRect&, ViewMenuChoice* choice) {
  std::vector<std::string> lines;
  ListMenu(menu, "", &lines, 0);
  mMenusShown.push_back(std::move(lines));
  if (mMenuScript.empty()) return false;
  const std::vector<int> path = std::move(mMenuScript.front());
  mMenuScript.pop_front();
  const ViewMenu* level = &menu;
  for (size_t i = 0; i < path.size(); ++i) {
    const int index = path[i];
    if (index < 0 || index >= int(level->items.size())) return false;
    if (i + 1 == path.size()) {
      if (!level->Choosable(index)) return false;
      if (choice) *choice = {level, index};
      return true;
    }
    level = level->items[size_t(index)].submenu;
    if (!level) return false;
  }
  return false;
}

bool HeadlessView::OpenTextEntry(const ViewTextEntry& entry) {
  mEntriesShown.push_back(entry);
  mEntryOpen = true;
  mEntryText = entry.text;
  if (mEntryScript.empty()) return true;
  const std::optional<std::string> typed = std::move(mEntryScript.front());
  mEntryScript.pop_front();
  if (!typed) {
    EndTextEntry(false);
    return true;
  }
  // Typing replaces the selected text one character at a time; the entry
  // refuses what it does not allow.
  mEntryText.clear();
  for (char c : *typed)
    if (entry.Accepts(mEntryText + c)) mEntryText += c;
  EndTextEntry(true);
  return true;
}

void HeadlessView::EndTextEntry(bool commit) {
  if (!mEntryOpen) return;
  mEntryOpen = false;
  if (mClient) mClient->OnTextEntryEnd(commit ? &mEntryText : nullptr);
}
