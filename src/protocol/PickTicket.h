// What a part plays is decided in one place (PartPicks). A pick's right to
// send for its part is its ticket, which only that place makes: every call
// that sends a bank select, a program change, a dump into a part or a part's
// request takes one, so a road that skips the entry does not build. A
// ticket holds only while no newer pick of its part has arrived.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "LibrarianPatch.h"

// Slots 0..15 are the parts; the multi's own picks (multi mode) have the last.
constexpr int kMultiSlot = 16;
constexpr int kPickSlots = 17;

class PickTicket {
 public:
  int slot() const { return mSlot; }
  // The part (0..15); the multi's ticket names the current part's slot apart.
  int part() const { return mSlot; }
  bool multi() const { return mSlot == kMultiSlot; }
  uint32_t count() const { return mCount; }
  bool operator==(const PickTicket&) const = default;

 private:
  friend class PartPicks;
  friend class StateTicket;
  PickTicket(int slot, uint32_t count) : mSlot(slot), mCount(count) {}
  int mSlot;
  uint32_t mCount;
};

// One pick of every part and the multi at once: a multi, a state send or a
// restore, GET MULTI. Each part's share holds while that part has no newer pick.
class StateTicket {
 public:
  PickTicket part(int p) const { return {p, mCounts[static_cast<size_t>(p)]}; }
  PickTicket multi() const { return {kMultiSlot, mCounts[kMultiSlot]}; }

 private:
  friend class PartPicks;
  StateTicket() = default;
  std::array<uint32_t, kPickSlots> mCounts{};
};

// Given by the gate to the call that hands a pick's message to the port,
// only while the ticket is its part's newest.
class GatePass {
 public:
  const PickTicket& ticket() const { return mTicket; }
  GatePass(const GatePass&) = delete;
  GatePass& operator=(const GatePass&) = delete;
  // What the part plays was written under this pass: an older pick's
  // change that went later is no longer recorded over it.
  void noteRecorded() const { mRecorded = true; }
  bool recorded() const { return mRecorded; }

 private:
  friend class PartPicks;
  explicit GatePass(const PickTicket& ticket) : mTicket(ticket) {}
  const PickTicket& mTicket;
  mutable bool mRecorded = false;
};

// A library entry picked for a part, with where it came from: the bank's key
// and slot, and the entry itself, by which a rebuilt list finds it again.
struct LibraryPick {
  LibrarianPatch entry;
  std::string bank;
  int slot = -1;
};

// What became of a pick's bank and program change.
enum class PickSend : uint8_t {
  kSent,       // it went out, and the part plays it
  kRefused,    // nothing of it went (a conflict, no channel, no port): said why
  kOvertaken,  // a newer pick of the part came first: nothing more of it goes
};

// Why a pick is refused before it counts as its part's newest.
enum class PickRefusal : uint8_t {
  kNone,
  kLocked,      // the part takes no program change
  kNoPorts,     // the MIDI ports are not set
  kPortGone,    // the out port is not there
  kUnplugged,   // the out port reaches nothing (the instrument's cable out)
  kRxOff,       // the instrument takes no program change
  kNoChannel,   // the part has no channel to answer on
  kConflict,    // another part plays the pair
};

// One pick, as its road hands it to the entry.
struct Pick {
  enum class Road : uint8_t { kWindow, kHost, kInstrument, kReport, kState };
  enum class Work : uint8_t {
    kProgram,  // a bank (bank >= 0) and program, answered as the modes say
    kLibrary,  // a library entry sent to the part (or the multi)
    kRequest,  // the part's sound asked for, nothing sent to it
  };
  Road road = Road::kWindow;
  Work work = Work::kProgram;
  int slot = 0;
  int bank = -1;      // 0..2, or -1: the part's own
  int program = -1;   // -1: the part's own (a bank alone)
  int channel = -1;   // the message's channel (host, instrument)
  int pane = 0;       // the library pane a program goes to in library mode
  // Without STEP SYNTH the editor's own sound goes after the pair (the top
  // bar's menus); with it, after the sound asked for, the editor's values of
  // locked sections go back (the arrows).
  bool editorsSoundAfter = false;
  bool lockedSectionsBack = false;
  // The part's notes off before its pair (the pair brings its own as well);
  // the LIBRARY page's menus and the arrows send the pair's alone.
  bool silenceFirst = true;
  // The instrument said it plays it: recorded as it came in.
  bool recorded = false;
  std::shared_ptr<const LibraryPick> library;  // kLibrary
};
