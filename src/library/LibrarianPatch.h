// One bank entry: its dumps (the first is the entry itself), name and category.
#pragma once

#include <string>
#include <vector>

#include "PatchSysexMessage.h"

// The status texts of an entry that cannot be sent: what failed, and why.
inline constexpr const char* kEntryNotSent = "Entry not sent!";
inline constexpr const char* kNotAWholeDump = "Not a whole dump";
inline constexpr const char* kNotASound = "Not a sound";
inline constexpr const char* kNotAMulti = "Not a multi";

// Type codes of an entry.
enum : int {
  kSoundFromFile = 0,
  kInitSoundFill = 1,
  kMultiFromFile = 3,
  kInitMultiFill = 4,
};

struct LibrarianPatch {
  int typeCode = 0;
  std::string name;      // 16 bytes of the dump, NULs kept
  std::string category;  // 4 bytes of a sound dump, NULs kept; empty for a multi
  std::vector<PatchSysexMessage> dumps;
  // The file's own bytes of a first dump that was cut short there, F0 to
  // where it ended; empty for a whole one. The completed dump only fills
  // the views: it never goes out, and a save writes these bytes back, so
  // the file stays named.
  Bytes asRead;

  bool empty() const { return dumps.empty(); }
  bool whole() const { return asRead.empty(); }
  void clear() {
    dumps.clear();
    name.clear();
    category.clear();
    asRead.clear();
  }
  // Whether the entry can be sent as a part's sound (multi: as the multi):
  // it is whole, and its first dump starts as the instrument's dump of that
  // kind does (its command byte too) and is no longer than such a dump (a
  // shorter copy made elsewhere is completed when sent).
  bool sendable(bool multi) const { return !whyNotSendable(multi); }
  // Why not: null when it can, else the status text's second line (the
  // instrument's dump of the other kind, or no whole dump at all).
  const char* whyNotSendable(bool multi) const;
  // The first dump as a bank file keeps it: the bytes read for an entry
  // that is not whole.
  const PatchSysexMessage& savedDump(PatchSysexMessage& scratch) const;
  // Appends bytes offset..offset+3 of the first dump to the category (what
  // the dump holds of them).
  void parseCategory(int offset);
};

// A text as categories compare: up to its first zero byte.
std::string untilNul(const std::string& text);
// "A" to "Z" as "a" to "z", every other byte as it is.
std::string asciiLower(std::string text);
