// Jobs 3 and 4: a library entry loaded into the editor and sent to a part
// (or the multi), and a whole open bank written into the instrument's
// memory. Only copies are re-addressed; the library keeps its entries.
#include <algorithm>
#include <string>
#include <vector>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "SysExFormat.h"

namespace {
constexpr int kHandOverPauseMs = 50;
constexpr int kPrograms = 100;
constexpr uint8_t kMultiEditBufferBank = 0x20;

struct EntryKind {
  int size;
  uint8_t command;
};

EntryKind kindFor(bool multi) {
  return multi ? EntryKind{kMultiDumpSize, kMultiDumpCommand} : EntryKind{kSoundDumpSize, kSoundDumpCommand};
}

bool startsAsDump(const Bytes& bytes) {
  return bytes.size() >= 7 && bytes[0] == kSysExStart && bytes[1] == kZorozovID;
}

void address(Bytes& copy, int device, uint8_t command, int bank, int program) {
  copy[2] = kDirirUModel;
  copy[3] = static_cast<uint8_t>(device);
  copy[4] = command;
  copy[5] = static_cast<uint8_t>(bank & 0x7F);
  copy[6] = static_cast<uint8_t>(program & 0x7F);
}
}  // namespace

void MIDIMessageSender::sendAllNotesOffOnChannel1() {
  IMidiMsg notesOff(0, 0xB0, IMidiMsg::kAllNotesOff, 0);
  plug->sendMidiMsgAndLog(&notesOff);
  mManager.pause(kHandOverPauseMs);
}

bool MIDIMessageSender::sendPatchToDeviceFromLibrarian(const PickTicket& ticket, const StateTicket* state,
                                                       const LibraryPick& pick, int part, bool instrumentPlays,
                                                       int pickedBank) {
  // A job that sends nothing ends as one that did: the overlay the window
  // put up for it goes, and the window takes clicks again.
  const auto endSend = [this](bool sent) {
    plug->DisplayProcessingIndicator(false);
    mManager.librarySendActive = false;
    // Refused, the highlight a click moved shows again what the part plays.
    if (!sent) plug->highlightPlayed();
    return sent;
  };
  const LibrarianPatch& patch = pick.entry;
  const int slot = pick.slot;
  observeLaneJob(3, part, slot, &patch);
  if (part < 0 || part > 15 || patch.empty()) {
    plug->debugLog("PROCESSOR: library entry for part " + std::to_string(part) + " not sent");
    return endSend(false);
  }
  const bool multi = state != nullptr;
  const EntryKind kind = kindFor(multi);
  const IParam* bankParam = plug->paramAt(kMultiPartBank + part);
  const int partBank = pickedBank >= 0 ? pickedBank : bankParam ? bankParam->Int() : 0;
  // Nothing is sent for an entry that is not a whole dump, not even notes off.
  if (const char* why = patch.whyNotSendable(multi)) {
    plug->debugLog("PROCESSOR: library entry is not a " + std::to_string(kind.size) + "-byte dump; not sent");
    plug->showStatusText((std::string(kEntryNotSent) + " " + why).c_str());
    return endSend(false);
  }
  // A sound another part plays is refused before anything of it goes out or
  // reaches the editor.
  if (!multi && plug->refusePartPick(part, partBank, slot)) return endSend(false);
  // Without its program change the sound would land on a program the part
  // does not play: nothing of it goes.
  if (plug->refuseNoProgramChannel(part, multi)) return endSend(false);
  // Overtaken on its way, nothing more of it goes: the newer pick of the
  // part shows itself.
  const auto overtaken = [&] {
    if (mManager.picks.newest(ticket)) return false;
    plug->debugLog("PROCESSOR: library send to part " + std::to_string(part + 1) + " overtaken by a newer change");
    return true;
  };
  const auto gate = [&](const std::function<void()>& send) {
    return mManager.picks.letGo(ticket, [&](const GatePass&) {
      send();
      return true;
    });
  };
  const bool store = mManager.librarySendActive;
  plug->DisplayProcessingIndicator(true);
  if (!store && !gate([&] { plug->AllSoundsOff(part, false); })) return endSend(false);
  if (!gate([&] {
        IMidiMsg notesOff(0, 0xB0, IMidiMsg::kAllNotesOff, 0);
        plug->sendMidiMsgAndLog(&notesOff);
      }))
    return endSend(false);
  // Overtaken, it sends nothing more: the newer pick's own notes off and
  // pause go at once instead of after the rest of this one.
  mManager.pickPause(ticket, kHandOverPauseMs);
  if (overtaken()) return endSend(false);
  plug->clearReplyReceived();
  const int device = currentDeviceId();

  Bytes copy = patch.dumps.front().bytes;
  const bool padded = static_cast<int>(copy.size()) < kind.size;
  copy.resize(static_cast<size_t>(kind.size), 0);
  copy.back() = kSysExEnd;
  // The checksum sums the address too: one right for the entry's own slot
  // is made right for the edit buffer's, and a wrong one stays wrong.
  const bool checksumRight = padded || copy[static_cast<size_t>(kind.size - 2)] == dumpChecksum(copy.data(), kind.size);
  // The editor's parsers take byte 6 as the part: the hand-over always
  // addresses the part's edit buffer, whatever slot the entry came from.
  address(copy, device, kind.command, multi ? kMultiEditBufferBank : kEditBufferBank, multi ? 0 : part);
  if (checksumRight) writeDumpChecksum(copy.data(), kind.size);

  if (store && slot >= 0 && slot < kPrograms) {
    // The store form also writes the entry into the instrument's memory at
    // the part's bank and the slot's program.
    Bytes stored = copy;
    address(stored, device, kind.command, multi ? 0 : partBank, slot);
    writeDumpChecksum(stored.data(), kind.size);
    if (!gate([&] { plug->sendRawToDevice(stored); })) return endSend(false);
  }

  if (multi) {
    plug->setSendGlobalFirst(false);
    plug->setSendAllParts(false);
  }
  // The editor takes the entry only once the instrument has taken the bank
  // change: a refused one leaves the part's sound, program and mark as they
  // were. The instrument already playing that program is not sent it back.
  const bool repeat = instrumentPlays && plug->partProgram(part) == slot;
  const PickSend change = repeat ? PickSend::kSent : plug->BankChangeMessage(ticket, multi ? -1 : partBank, slot, &pick);
  if (repeat && !mManager.picks.letGo(ticket, [&](const GatePass& pass) {
        plug->recordPartPlays(pass, -1, slot, &pick);
        return true;
      }))
    return endSend(false);
  if (change != PickSend::kSent || overtaken()) return endSend(false);

  mManager.dumpExpected = true;
  plug->clearReplyReceived();
  ISysEx message(0, copy.data(), kind.size);
  mManager.handOver(ticket, &message);
  mManager.dumpExpected = false;
  mManager.pickPause(ticket, kHandOverPauseMs);
  if (overtaken()) return endSend(false);

  bool sent = true;
  if (multi) {
    sendArrangementToDevice(*state, false, true);
  } else {
    // Handed over, the sound is the editor's alone until it has gone out.
    plug->endPartSoundHeld(part);
    sent = sendPartToDevice(ticket, part, false, false);
  }
  return endSend(sent);
}

void MIDIMessageSender::storeAllPatchesToDeviceFromLibrarian(int pane, int first, int bank) {
  plug->DisplayProcessingIndicator(true);
  sendAllNotesOffOnChannel1();
  cancelRequested = false;
  PatchLibrarian* library = mManager.patchLibrarian;
  const int dataType = library ? library->librarianMode.load() : -1;
  std::shared_ptr<PatchFile> source;
  const int lowerList = pane == 0 ? -1 : plug->librarianLowerList();
  if (library && (dataType == 0 || dataType == 1))
    source = pane == 0       ? library->bankAt(dataType, library->upperBank.load())
             : lowerList >= 0 ? library->bankAt(lowerList, library->lowerBank.load())
                              : library->bankAt(dataType, library->lowerBank.load());
  if (!source) {
    plug->DisplayProcessingIndicator(false);
    mManager.librarySendActive = false;
    return;
  }
  const bool multi = dataType == 1;
  const EntryKind kind = kindFor(multi);
  const int tick = plug->getTimerValue();
  const int device = currentDeviceId();
  std::vector<LibrarianPatch> entries;
  {
    auto lock = library->lock();
    entries = source->patches;
  }

  // An entry cut short in its file leaves its program as the instrument has
  // it: the rest of the bank is written, and the status line counts it.
  int notWhole = 0;
  for (int n = 0, e = std::max(first, 0); n < kPrograms && e < kPrograms; ++n, ++e) {
    if (e >= static_cast<int>(entries.size()) || entries[static_cast<size_t>(e)].empty()) break;
    Bytes copy = entries[static_cast<size_t>(e)].dumps.front().bytes;
    if (!entries[static_cast<size_t>(e)].whole() || !startsAsDump(copy) || static_cast<int>(copy.size()) != kind.size ||
        copy.back() != kSysExEnd) {
      // Re-addressing a fragment would write past it and send it unterminated.
      plug->debugLog("PROCESSOR: bank entry " + std::to_string(e) + " is not a whole dump; skipped");
      ++notWhole;
      continue;
    }
    address(copy, device, kind.command, multi ? 0 : bank, n);
    writeDumpChecksum(copy.data(), kind.size);
    plug->sendRawToDevice(copy);
    if (!mManager.pause(tick) || cancelRequested) break;
    plug->showProgressText(("Writing " + std::to_string(n) + "%, please wait..").c_str());
  }

  plug->DisplayProcessingIndicator(false);
  if (!plug->isLibraryMode()) library->targetSlot = 0;
  endBankHighlight();
  if (cancelRequested)
    plug->showStatusText("Data write CANCELLED!");
  else if (notWhole > 0)
    plug->showStatusText(("Data written, " + std::to_string(notWhole) + " not whole skipped").c_str());
  else
    plug->showStatusText("Data write completed!");
  mManager.librarySendActive = false;
}
