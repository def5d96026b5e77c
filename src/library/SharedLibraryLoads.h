// The library folder is read once per process: every instance that loads the
// same folder takes the load made before instead of reading the files again,
// for as long as the stamps of its folders and bank files hold. A folder or
// file that changed since (a save, another program) has the folder read
// again by the next instance that asks. A load is never changed once it is
// shared; an instance that edits a bank edits its own copy
// (PatchLibrarian::bankForEdit).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "PatchLibrarian.h"

// One load of a library folder, as the instances share it.
struct SharedLoad {
  LibraryContents contents;
  int splitPassCount = 0;
};

namespace SharedLibraryLoads {
// The key of a folder: its canonical path, or the path as given when it has none.
std::string keyOf(const std::string& root);
// True while every folder and bank file the load read is as it was then:
// by stamp, and by content for files changed just before the load.
bool stampsHold(const SharedLoad& load);
// The load of key made before while its stamps hold, else the one read()
// makes, which later callers then get. Two callers at once read the folder
// once: the second waits for the first's reading. Call it off the host's
// threads; publish and forget never wait for a reading.
std::shared_ptr<const SharedLoad> take(const std::string& key,
                                       const std::function<std::shared_ptr<const SharedLoad>()>& read);
// What later callers of take get for key: a new reading of the folder.
void publish(const std::string& key, const std::shared_ptr<const SharedLoad>& load);
// Later callers read the folder again: a bank file in it was written.
void forget(const std::string& key);
}  // namespace SharedLibraryLoads
