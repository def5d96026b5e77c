// The patch library in memory: banks, selections and the program number
// single-slot transfers use. Loading, trees and generators come later.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "PatchFile.h"

class PatchLibrarian {
 public:
  PatchLibrarian() = default;

  // Copies the entry into the selected slot of the bank open in the upper
  // pane; false when no such slot exists.
  bool setSysexDatatoSelectedSlot(const LibrarianPatch* entry);
  // A copy of an entry, or an empty one where there is none.
  LibrarianPatch entryAt(int dataType, int bank, int slot) const;
  // Appends a bank of kPatchesPerBank empty entries; returns its index.
  int addBank(int dataType, const std::string& fileName);

  std::atomic<int> upperBank{0};
  std::atomic<int> lowerBank{0};
  std::atomic<int> librarianMode{0};  // 0 sounds, 1 multis
  std::atomic<int> targetSlot{0};     // -1 when no slot is selected
  std::atomic<int> mSelectedLowerSlot{-1};
  std::atomic<int> currentProgram{0};

 private:
  std::vector<std::unique_ptr<PatchFile>>& listFor(int dataType);
  const std::vector<std::unique_ptr<PatchFile>>& listFor(int dataType) const;

  // Receivers write slots from the MIDI and worker threads while the GUI
  // reads them.
  mutable std::mutex mBanksMutex;
  std::vector<std::unique_ptr<PatchFile>> mSoundBanks;
  std::vector<std::unique_ptr<PatchFile>> mMultiBanks;
};
