// The two records that collect an instrument reply for a library slot
// instead of applying it to the editor.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "LibrarianPatch.h"

class LibraryRequest {
 public:
  // nameByte: where the 16-character name starts in the completing dump.
  LibraryRequest(int command, int nameByte) : mCommand(command), mNameByte(nameByte) {}
  LibraryRequest(const LibraryRequest&) = delete;
  LibraryRequest& operator=(const LibraryRequest&) = delete;

  // Where a dump says it comes from: its bank and program bytes (a stored
  // program's bank and number, or an edit buffer and its part).
  struct Address {
    int bank = -1;
    int program = -1;
  };
  // Empties the entry and makes the record collect into the library slot
  // given, whatever is selected meanwhile: the next dump of its kind, or,
  // when expectNext named an address, only a dump of that address.
  void arm(int slot);
  // The next arm() is for the instrument's answer to a request of this
  // address; nullopt: for any dump again (a hand-over from the library).
  void expectNext(std::optional<Address> address);
  // Armed for a request not yet sent: takes nothing until it is armed again.
  void armForRequest();
  void disarm() { active = false; }
  // Offers one message; true when it completed the record. Only a dump of
  // this record's kind (F0 3E 10 with its command, 390 bytes or more) is
  // collected, so an earlier short message can never pose as the entry;
  // armed for a request, only one of the address asked for.
  bool addMessageData(const unsigned char* data, int size);
  // Armed for an answer from the instrument: a message it does not take is
  // someone else's (a part's reply), not the record's to swallow.
  bool awaitsAnswer() const;
  // A copy of the collected entry.
  LibrarianPatch patchCopy() const;
  int slot() const { return mSlot; }

  std::atomic<bool> active{false};
  // The entry was taken into the library since the record was armed.
  std::atomic<bool> taken{false};
  // Moves with every arming: a request tells its own arming from another's.
  std::atomic<uint32_t> arms{0};

 private:
  const int mCommand;
  const int mNameByte;
  mutable std::mutex mMutex;  // armed on one thread, filled on the MIDI thread
  LibrarianPatch patch;
  std::optional<Address> mAddress;  // armed for a request: the answer's address
  std::optional<Address> mNext;
  std::atomic<int> mSlot{-1};
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
