// The two records that collect an instrument reply for a library slot
// instead of applying it to the editor.
#pragma once

#include <atomic>
#include <mutex>

#include "LibrarianPatch.h"

class LibraryRequest {
 public:
  // nameByte: where the 16-character name starts in the completing dump.
  LibraryRequest(int command, int nameByte) : mCommand(command), mNameByte(nameByte) {}
  LibraryRequest(const LibraryRequest&) = delete;
  LibraryRequest& operator=(const LibraryRequest&) = delete;

  // Empties the entry and makes the record collect.
  void arm();
  void disarm() { active = false; }
  // Offers one message; true when it completed the record. Only a dump of
  // this record's kind (F0 3E 10 with its command, 390 bytes or more) is
  // collected, so an earlier short message can never pose as the entry.
  bool addMessageData(const unsigned char* data, int size);
  // A copy of the collected entry.
  LibrarianPatch patchCopy() const;

  std::atomic<bool> active{false};

 private:
  const int mCommand;
  const int mNameByte;
  mutable std::mutex mMutex;  // armed on one thread, filled on the MIDI thread
  LibrarianPatch patch;
};

// Collects a sound: name at bytes 370-385.
class LibraryPatchRequest : public LibraryRequest {
 public:
  LibraryPatchRequest();
};

// Collects a multi: name at bytes 23-38.
class LibraryPerformanceRequest : public LibraryRequest {
 public:
  LibraryPerformanceRequest();
};
