// The work of a pick, on its part's lane: a bank select and program change
// answered as the modes say (a library entry in library mode, the part's
// sound asked for in program mode), refused with nothing of it sent, passed
// on, shown or recorded.
#include <algorithm>
#include <string>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"
#include "ProgramChannel.h"
#include "SoundDumpLayout.h"
#include "SysExFormat.h"

namespace {
constexpr int kReportEchoPauseMs = 20;
constexpr int kSectionLocks = 40;
constexpr int kLockedSectionsBackMs = 100;

int valueOf(EditorServices* plug, int index) {
  IParam* param = plug->paramAt(index);
  return param ? param->Int() : 0;
}

}  // namespace

void MIDIMessageManager::disarmLibraryRecords() {
  patchRequest.disarm();
  performanceRequest.disarm();
}

bool MIDIMessageManager::busyWithJob() const {
  return plug->isEditorWorking() || isThreadRunning(JobThread::kRequest);
}

bool MIDIMessageManager::pickPause(const PickTicket& ticket, int ms) {
  if (pickPauseObserver) pickPauseObserver(ticket, picks.newest(ticket));
  if (virtualPause) return !mShuttingDown && picks.newest(ticket) && virtualPause(ms) && picks.newest(ticket);
  return !mShuttingDown && picks.waitWhileNewest(ticket, ms);
}

void MIDIMessageManager::runPartPick(const PickTicket& ticket, const Pick& pick) {
  MIDIMessageSender& sender = *mLaneSenders[static_cast<size_t>(ticket.slot())];
  sender.runPick(ticket, pick);
}

void MIDIMessageManager::runStatePick(const StateTicket& ticket, const Pick& pick) {
  mLaneSenders[kMultiSlot]->runStatePick(ticket, pick);
}

void MIDIMessageSender::observeLaneJob(int code, int part, int slot, const LibrarianPatch* patch) {
  if (PartPicks::currentLane() < 0 || mLaneJobObserved) return;
  mLaneJobObserved = true;
  job = SenderJob{};
  job.jobCode = code;
  job.partArgument = part;
  job.slotArgument = slot;
  if (patch) job.patchArgument = *patch;
  job.requestFlag = true;
  if (mManager.jobObserver) mManager.jobObserver(JobThread::kPartLane, job);
}

void MIDIMessageSender::runPick(const PickTicket& ticket, const Pick& pick) {
  markJobThread();
  cancelRequested = false;
  ended = false;
  mLaneJobObserved = false;
  switch (pick.work) {
    case Pick::Work::kProgram: mManager.runProgramPick(*this, ticket, pick); break;
    case Pick::Work::kLibrary:
      if (pick.library) sendPatchToDeviceFromLibrarian(ticket, nullptr, *pick.library, ticket.part(), false, pick.bank);
      break;
    case Pick::Work::kRequest: sendPartRequestSysex(ticket, ticket.part(), true); break;
  }
}

void MIDIMessageSender::runStatePick(const StateTicket& state, const Pick& pick) {
  markJobThread();
  const int part = std::clamp(plug->getCurrentPart(), 0, 15);
  cancelRequested = false;
  ended = false;
  mLaneJobObserved = false;
  const PickTicket multi = state.multi();
  if (!mManager.picks.newest(multi)) return;
  if (pick.work == Pick::Work::kLibrary) {
    if (pick.library) sendPatchToDeviceFromLibrarian(multi, &state, *pick.library, part, false);
    return;
  }
  if (pick.work != Pick::Work::kProgram) return;
  IParam* lock = plug->paramAt(kPartLock + part);
  if (lock && lock->Value() == 1.0) return;
  const int bank = pick.bank >= 0 ? pick.bank : valueOf(plug, kMultiBank);
  const int program = pick.program >= 0 ? pick.program : valueOf(plug, kMultiPatch);
  if (plug->BankChangeMessage(multi, bank, program, nullptr) != PickSend::kSent) return;
  // The parts play the multi's stored sounds: no old sound's name stays over
  // them, until one is read back sure or the editor's own go after it.
  if (!pick.editorsSoundAfter && mManager.picks.newest(multi))
    for (int p = 0; p < 16; ++p) mManager.clearShownSound(p);
  // Another multi brings its own name, settings and sounds: asked for all,
  // as GET MULTI asks; or, from the top bar without that choice, the
  // editor's own go after it.
  SenderJob after;
  after.state = state;
  if (plug->isProgBankMode()) {
    after.jobCode = 5;
    after.requestFlag = true;
    // Behind a job that has the instrument, never dropped: the window learns
    // the multi only from it. The instrument's knobs are followed until it
    // starts.
    mManager.queueJob(after, [manager = &mManager] {
      manager->busy = true;
      manager->dumpExpected = true;
    });
  } else if (pick.editorsSoundAfter) {
    after.jobCode = 0;
    mManager.queueJob(after);
  }
}

bool MIDIMessageManager::runProgramPick(MIDIMessageSender& sender, const PickTicket& ticket, const Pick& pick) {
  const int part = ticket.part();
  const bool fromDevice = pick.road == Pick::Road::kInstrument || pick.road == Pick::Road::kReport;
  // With its local control on the instrument plays its own pick whatever the
  // editor makes of it: recorded as it says so (on the part of its channel,
  // not one standing in for a channel no part plays on).
  const bool ownChannel = pick.road == Pick::Road::kReport || partForChannel(pick.channel) == part;
  const bool plays = pick.recorded || (fromDevice && plug->isLocalControl() && ownChannel);
  const int bank = pick.bank >= 0 ? pick.bank : valueOf(plug, kMultiPartBank + part);
  const int program = pick.program >= 0 ? pick.program : valueOf(plug, kMultiPartPatch + part);
  if (plays) plug->endPartSoundHeld(part);
  // The name shown as the pick began: one a newer pick shows since (a
  // restored project's) is not cleared for this one.
  const std::string nameBefore = plug->paramDisplayText(kPatchName + part, 0);
  // Refused: nothing of the pick goes, nor is shown or recorded; what the
  // instrument plays of its own is not the sound the window held.
  const auto refused = [&](bool askForSound) {
    if (plays && picks.newest(ticket)) showInstrumentsOwnSound(sender, ticket, askForSound);
    return false;
  };
  // Overtaken: a newer pick (a restore's among them) plays the part instead.
  const auto overtaken = [&] {
    logOvertaken(part, pick);
    return false;
  };
  if (IParam* lock = plug->paramAt(kPartLock + part); lock && lock->Value() == 1.0) return refused(false);
  if (plug->isLibraryMode()) {
    // No request follows (the library's sound goes out, nothing is asked
    // back): the instrument's edits are still followed meanwhile.
    disarmLibraryRecords();
    // The slot of that number in the pane in use goes; a bank alone sends
    // the part's program of the bank.
    const std::optional<LibraryPick> entry = plug->libraryPickFor(program, pick.pane, part, pick.bank);
    if (!entry) return refused(true);
    const PickSend sent = sender.sendPatchToDeviceFromLibrarian(ticket, nullptr, *entry, part, plays, pick.bank)
                              ? PickSend::kSent
                          : picks.newest(ticket) ? PickSend::kRefused
                                                 : PickSend::kOvertaken;
    if (sent == PickSend::kRefused) return refused(true);
    return sent == PickSend::kSent && passOn(ticket, pick);
  }
  IParam* rx = plug->paramAt(kGlobalRxProgramChange);
  if (!rx || rx->Value() <= 0.0) return refused(false);
  const int sentProgram = clampedProgram(part, program);
  if (plug->refusePartPick(part, bank, sentProgram)) return refused(true);
  disarmLibraryRecords();
  // Another part taking the pair, or the part's channel gone, since the
  // checks refuses it here too, before anything of it goes.
  bool refusedAtGate = false;
  if (pick.silenceFirst && !picks.letGo(ticket, [&](const GatePass&) {
        refusedAtGate = plug->refusePartPick(part, bank, sentProgram) ||
                        (!fromDevice && programChannel(*plug, part, false) < 0 && plug->refuseNoProgramChannel(part, false));
        if (refusedAtGate) return false;
        plug->AllSoundsOff(part, false);
        return true;
      }))
    return refusedAtGate ? refused(true) : overtaken();
  if (pick.road == Pick::Road::kReport && !pickPause(ticket, kReportEchoPauseMs)) return overtaken();
  // Playing its own pick, the instrument is not sent back a bank select and
  // program change that only repeat it: a late copy would move it back.
  // What differs (a program clamped) goes; so does the instrument's pick
  // with local control off, which it plays only as the editor's answer.
  const bool repeat = plays && sentProgram == program;
  const bool noEcho = fromDevice && programChannel(*plug, part, false) < 0;
  // Told what the record says the part plays, the instrument plays it
  // already: an answer would only be told back again.
  const bool told = pick.road == Pick::Road::kReport && !plays && !noEcho && plug->knowsPart(part, true) &&
                    plug->knowsPart(part, false) && plug->partBank(part) == bank && plug->partProgram(part) == sentProgram;
  if (told) {
    if (!picks.letGo(ticket, [&](const GatePass& pass) {
          plug->recordPartPlays(pass, bank, sentProgram, nullptr);
          return true;
        }))
      return overtaken();
  } else if (!repeat && !noEcho) {
    const PickSend sent = plug->BankChangeMessage(ticket, bank, sentProgram, nullptr);
    if (sent == PickSend::kOvertaken) return overtaken();
    if (sent == PickSend::kRefused) return refused(false);
  } else if (noEcho && !plays) {
    // With no channel to answer on, nothing went back: the instrument does
    // not play its program change, nor the pick it only told.
    plug->refuseNoProgramChannel(part, false);
    return refused(false);
  }
  // What goes on is what went out: the clamped program, never the one asked.
  Pick passed = pick;
  passed.program = sentProgram;
  const bool passedOn = passOn(ticket, passed);
  // Overtaken now, its change went all the same: the newer pick (a request
  // whose reply may never come) finds no old sound's name over it.
  if (!pick.editorsSoundAfter && !picks.newest(ticket)) {
    // Not over the names a state that arrived since brings (a restore's).
    picks.recordGone(ticket, [&](const GatePass&) {
      if (plug->paramDisplayText(kPatchName + part, 0) == nameBefore) clearShownSound(part);
    });
    return passedOn;
  }
  if (!passedOn) return false;
  if (plug->isProgBankMode()) {
    // Asked for, the new sound's name comes with it; until then (or if the
    // request cannot go) the old one's is not shown over it.
    if (!picks.newest(ticket)) return true;
    showInstrumentsOwnSound(sender, ticket, true);
    // A locked section kept the editor's values as the instrument's sound
    // came in: the instrument gets the whole sound back.
    if (pick.lockedSectionsBack && picks.newest(ticket)) {
      for (int k = 0; k < kSectionLocks; ++k) {
        IParam* lock = plug->paramAt(kSectionLockOsc1 + 16 * k + part);
        if (!lock || lock->Value() != 1.0) continue;
        if (pickPause(ticket, kLockedSectionsBackMs)) sender.sendPartToDevice(ticket, part, false, false);
        break;
      }
    }
  } else if (pick.editorsSoundAfter) {
    sender.sendPartToDevice(ticket, part, false, false);
  } else if (picks.newest(ticket)) {
    // The instrument loaded its stored sound of that program, which nothing
    // asks for here: the old sound's name is not shown over it.
    showInstrumentsOwnSound(sender, ticket, true);
  }
  return true;
}

bool MIDIMessageManager::passOn(const PickTicket& ticket, const Pick& pick) {
  // Taken, the host's pick goes on whole (its bank select, then its program
  // change), and the instrument's into the host's buffer. Stepping the
  // library only into the host's buffer: the library's sound is the answer,
  // which the stored program would replace on the instrument.
  const bool host = pick.road == Pick::Road::kHost && (!plug->isLibraryMode() || plug->isMidiToHostBuffer());
  const bool instrument = pick.road == Pick::Road::kInstrument && passesBackFromDevice(true);
  if ((!host && !instrument) || pick.channel < 0) return true;
  const auto status = [&](int kind) { return static_cast<uint8_t>(kind | pick.channel); };
  IMidiMsg msb(0, status(0xB0), 0, 0);
  IMidiMsg lsb(0, status(0xB0), 32, static_cast<uint8_t>(64 + std::max(pick.bank, 0)));
  IMidiMsg change(0, status(0xC0), static_cast<uint8_t>(pick.program & 0x7F), 0);
  return picks.letGo(ticket, [&](const GatePass&) {
    if (pick.bank >= 0) {
      plug->MIDIOutRoutingSwitch(&msb);
      plug->MIDIOutRoutingSwitch(&lsb);
    }
    plug->MIDIOutRoutingSwitch(&change);
    return true;
  });
}

void MIDIMessageManager::showInstrumentsOwnSound(MIDIMessageSender& sender, const PickTicket& ticket, bool ask) {
  const int part = ticket.part();
  plug->endPartSoundHeld(part);
  clearShownSound(part);
  // A locked part or RX Off keeps the editor's copy: nothing is asked.
  if (ask && plug->isProgBankMode()) {
    plug->SetLibrarianRequestActive(false);
    sender.requestPartSound(ticket, part, true);
  }
}

void MIDIMessageManager::clearShownSound(int part) {
  // Without a request, no name is shown over the new number (the old sound's
  // would be wrong).
  plug->setParamDisplayText(kPatchName + part, 0, "");
  plug->setParamDisplayText(kCategoryName + part, 0, "");
  plug->setPatchManagerName(1 + part, "");
  plug->setPatchManagerName(19 + part, "");
  if (part == plug->getCurrentPart()) {
    plug->displayPatchName("");
    plug->displayCategoryName("");
  }
  plug->setLibrarianViewDirty();
}

namespace {
thread_local const PickTicket* tHandingOver = nullptr;
}  // namespace

bool MIDIMessageManager::handingOver() { return tHandingOver != nullptr; }

void MIDIMessageManager::handOver(const PickTicket& ticket, ISysEx* message) {
  const PickTicket* outer = tHandingOver;
  tHandingOver = &ticket;
  plug->deliverSysEx(message, true);
  tHandingOver = outer;
}

bool MIDIMessageManager::takeSoundDump(const uint8_t* d, int size) {
  if (size <= kSoundProgramByte) return false;
  const int part = d[kSoundProgramByte];
  // No part's: the parser refuses it, and says so.
  if (part > 15) return true;
  // The library's own entry, handed over on its pick's lane.
  if (tHandingOver && tHandingOver->part() == part) return picks.newest(*tHandingOver);
  // A stored program's dump answers a library request, never a part's.
  if (d[kSoundBankByte] != kEditBufferBank) return false;
  const int plays = plug->knowsPart(part, true) && plug->knowsPart(part, false)
                        ? plug->partBank(part) << 7 | plug->partProgram(part)
                        : -1;
  switch (picks.replyArrived(part, d, static_cast<size_t>(size), plug->tickMs(), plays)) {
    case PartPicks::Reply::kTaken: return true;
    case PartPicks::Reply::kNotAwaited: return false;
    case PartPicks::Reply::kDropped: break;
  }
  plug->debugLog("PROCESSOR: sound dump for part " + std::to_string(part + 1) + " answers no request waiting; dropped");
  // A search's answer still tells where the instrument is.
  if (plug->isDeviceIdLearning() && d[3] != valueOf(plug, kGlobalSysExID))
    plug->setParameterFromPlug(kGlobalSysExID, std::clamp<int>(d[3], 0, 0x7F), false);
  return false;
}
