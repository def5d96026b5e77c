// The sounds edited since the generated banks (the categories, a search's
// results) were made, and those banks made anew to list them as they are
// now, every sound in its place.
#pragma once

#include <cstddef>
#include <vector>

#include "PatchLibrarian.h"

// What changed in the sound bank list since the lists were made from it.
struct BankEdits {
  // Banks were added, taken out or moved, or what the lists read is a bank
  // an edit reaches: no bank can be told from the one the lists read.
  bool unmapped = false;
  // A sound changed its category, or came or went: the category banks
  // would list other sounds.
  bool moved = false;
  // The positions of the banks with a sound edited, in list order.
  std::vector<std::size_t> edited;
};

// listed: the sound bank list now; read: its banks as a build reads them now.
BankEdits editsSince(const LibraryContents::ListedFrom& from, const BankList& listed, const BankList& read);

// Makes anew each bank of banks that lists a sound of an edited bank: it
// lists them from that bank as read now, in the same places, and its entries
// are made from what they hold now. The tree's files name the new banks.
// False when no bank lists one.
bool relist(BankList& banks, FolderTree& tree, const LibraryContents::ListedFrom& from, const BankList& read,
            const std::vector<std::size_t>& edited);

// What the lists read once relist has made them anew.
LibraryContents::ListedFrom readAfter(LibraryContents::ListedFrom from, const BankList& listed, const BankList& read,
                                      const std::vector<std::size_t>& edited);
