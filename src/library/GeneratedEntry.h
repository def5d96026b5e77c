// The entries of the generated category and search banks: new entries
// made from library sounds, their name and category read anew from the dump.
#pragma once

#include <cstddef>

#include "LibrarianPatch.h"

// A new sound entry with the first dumpCount dumps of source.
inline LibrarianPatch generatedEntry(const LibrarianPatch& source, size_t dumpCount) {
  LibrarianPatch entry;
  entry.typeCode = kSoundFromFile;
  for (size_t d = 0; d < dumpCount && d < source.dumps.size(); ++d) entry.dumps.push_back(source.dumps[d]);
  if (entry.dumps.empty()) return entry;
  entry.asRead = source.asRead;
  const Bytes& first = entry.dumps.front().bytes;
  if (first.size() >= 386) entry.name.assign(first.begin() + 370, first.begin() + 386);
  entry.parseCategory(386);
  return entry;
}
