// Name search: every library sound whose name holds the text, byte for
// byte, copied into result banks of at most 100.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "PatchLibrarian.h"

namespace {
static_assert(kIndexedNameSize == 16, "a name of the index is one 16-byte load");

// The places in an indexed name that hold the byte, one bit each.
unsigned placesOf(const char* name, char byte) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte))));
#else
  unsigned places = 0;
  for (size_t i = 0; i < kIndexedNameSize; ++i) places |= name[i] == byte ? 1u << i : 0u;
  return places;
#endif
}

// The result banks of a search of the sound banks, appended to found and
// hung into tree.
void findByName(const BankList& sounds, const std::string& text, BankList& found, FolderTree& tree) {
  // The matches as bank and slot: the result banks list them.
  std::vector<std::pair<const std::shared_ptr<PatchFile>*, std::uint32_t>> matches;
  const std::shared_ptr<PatchFile>* current = nullptr;
  const auto take = [&](size_t slot) {
    const LibrarianPatch& entry = (*current)->patches[slot];
    if (!entry.dumps.empty() && entry.name.find(text) != std::string::npos)
      matches.emplace_back(current, static_cast<std::uint32_t>(slot));
  };
  // The name index holds the names lower-cased: a place where the text
  // lower-cased is found is only a candidate, which the name itself decides.
  const std::string lowered = asciiLower(text);
  for (const auto& bank : sounds) {
    if (bank->bankType != 0 || bank->patches.empty()) continue;
    current = &bank;
    const std::string& index = bank->nameIndex;
    if (!bank->shared || index.size() != bank->patches.size() * kIndexedNameSize || text.empty()) {
      for (size_t slot = 0; slot < bank->patches.size(); ++slot) take(slot);
      continue;
    }
    if (text.size() > kIndexedNameSize) continue;  // no indexed name is that long
    // Name by name: the places where the text's first two bytes stand are
    // tried, a search across two names is never made.
    const size_t lastPlace = kIndexedNameSize - lowered.size();
    const unsigned places = (2u << lastPlace) - 1;
    for (size_t slot = 0; slot < bank->patches.size(); ++slot) {
      const char* name = index.data() + slot * kIndexedNameSize;
      unsigned starts = placesOf(name, lowered[0]) & places;
      if (lowered.size() > 1) starts &= placesOf(name, lowered[1]) >> 1;
      for (unsigned at = starts; at != 0; at &= at - 1) {
        if (std::memcmp(name + __builtin_ctz(at), lowered.data(), lowered.size()) != 0) continue;
        take(slot);
        break;
      }
    }
  }
  for (size_t first = 0, number = 1; first < matches.size(); first += kPatchesPerBank, ++number) {
    auto generated = std::make_shared<PatchFile>();
    generated->fileName = "Search Results " + std::to_string(number);
    generated->folderName = "Patches";
    const size_t last = std::min(matches.size(), first + kPatchesPerBank);
    // The first two dumps of each sound, made when the bank is read.
    auto listed = std::make_shared<ListedEntries>();
    listed->dumpCount = 2;
    listed->entries.reserve(last - first);
    for (size_t k = first; k < last; ++k) listed->add(*matches[k].first, matches[k].second);
    const bool fillNow = !listed->fromShared;
    generated->listed = std::move(listed);
    if (fillNow) generated->fillListed();
    found.push_back(generated);
    if (!tree.empty() && tree.front()->name == "Patches") {
      tree.front()->files.push_back(generated.get());
    } else {
      auto node = std::make_unique<FolderFiles>();
      node->name = "Patches";
      node->files.push_back(generated.get());
      tree.push_back(std::move(node));
    }
  }
}
}  // namespace

void PatchLibrarian::createNewSearchPatchFiles(std::string text) {
  // As the categories are built: beside the host's calls, the lock held
  // only to take the banks and to put the results in, the old ones going
  // after it.
  runBesideHost([&] {
    BankList listed, sounds;
    std::uint64_t ticket = 0;
    {
      auto guard = lock();
      sounds = soundBanksToRead(&listed);
      ticket = ++mSearchBuilds.started;
      mSearchText = text;
    }
    BankList found;
    FolderTree tree;
    findByName(sounds, text, found, tree);
    // Edits since are found against what the search read.
    LibraryContents::ListedFrom from{std::move(listed), std::move(sounds)};
    if (hooks.listsBuilt) hooks.listsBuilt();
    auto guard = lock();
    // A later search put in already stays.
    if (ticket < mSearchBuilds.shown) return;
    mSearchBuilds.shown = ticket;
    std::swap(mContents.searchTree, tree);
    std::swap(mContents.searchBanks, found);
    std::swap(mContents.searchFrom, from);
  });
}

void PatchLibrarian::closeSearch() {
  auto guard = lock();
  mSearchText.clear();
}

void PatchLibrarian::searchAgain() {
  std::string text;
  {
    auto guard = lock();
    text = mSearchText;
  }
  if (!text.empty()) createNewSearchPatchFiles(text);
}
