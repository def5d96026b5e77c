// Which bank each pane of the librarian shows.
#pragma once

#include <memory>
#include <string>

#include "LibrarianHost.h"
#include "PatchLibrarian.h"

// The bank list the pane reads (pane 0 upper, 1 lower): both panes the
// sound or multi list by the librarian's type; with sounds, the lower pane
// the category list while browsing categories, or with a search shown the
// search results. Those list sounds alone: a multi pane never reads them.
// -1 for an unknown type.
inline int paneList(const PatchLibrarian& librarian, const BrowseState& state, int pane) {
  const int type = librarian.librarianMode;
  const int byType = type == 0 ? kSoundList : type == 1 ? kMultiList : -1;
  if (pane == 0 || type != 0) return byType;
  if (state.categoryBrowsing) return kCategoryList;
  return state.searchActive ? kSearchList : byType;
}

// The pane's bank, or null; call with the librarian's lock held.
inline std::shared_ptr<PatchFile> paneBank(const PatchLibrarian& librarian, const BrowseState& state, int pane) {
  const int list = paneList(librarian, state, pane);
  if (list < 0) return nullptr;
  return librarian.bankAt(list, pane == 0 ? librarian.upperBank.load() : librarian.lowerBank.load());
}

// A bank by its list and its file: the same key for the same bank after the
// library was read again or the bank copied for an edit.
inline std::string bankKey(int list, const PatchFile& bank) {
  return std::to_string(list) + '\n' + bank.folderName + '\n' + bank.fileName;
}

// The key of the pane's bank, or empty; call with the librarian's lock held.
inline std::string paneBankKey(const PatchLibrarian& librarian, const BrowseState& state, int pane) {
  const auto bank = paneBank(librarian, state, pane);
  return bank ? bankKey(paneList(librarian, state, pane), *bank) : std::string();
}

// The same bank for changing (the library's own copy), or null.
inline std::shared_ptr<PatchFile> paneBankForEdit(PatchLibrarian& librarian, const BrowseState& state, int pane) {
  const int list = paneList(librarian, state, pane);
  if (list < 0) return nullptr;
  return librarian.bankForEdit(list, pane == 0 ? librarian.upperBank.load() : librarian.lowerBank.load());
}
