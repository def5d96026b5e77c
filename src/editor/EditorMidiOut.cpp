// The plug-in's exits to the instrument: short messages with the part
// lights, long SysEx with the dump checksum, all-sounds-off, the device-ID
// enquiry, the routing switch and the bank and program change sequence.
// Nothing leaves with a data byte of 0x80 or more or on a channel outside
// 0-15; such a message is dropped and the debug log says why.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "ControlLayer.h"
#include "IGraphics.h"
#include "LibrarianBrowser.h"
#include "WaitGuard.h"
#include "MIDIMessageManager.h"
#include "MidiSendThread.h"
#include "NoteEnds.h"
#include "ParamIndex.h"
#include "ProgramChannel.h"
#include "RealtimeScope.h"
#include "SysExFormat.h"
#include "Tarnivex.h"
#include "TraceOutput.h"
#include "Utilities.h"

namespace {
constexpr const char* kSetMidiIOFirst = "Set MIDI I/O First!";
constexpr const char* kOutPortGone = "MIDI Out port gone!";
constexpr const char* kNotConnected = "Instrument not connected!";
constexpr const char* kOutFull = "MIDI Out full!";
constexpr uint32_t kEnquiryPauseMs = 100;

// Set while an edit made in the window runs on this thread: a send of it
// that meets the out port gone or full or the instrument unplugged marks why.
enum class EditLost { kNo, kOutPortGone, kUnplugged, kFull };

const char* lossText(EditLost lost) {
  return lost == EditLost::kUnplugged ? kNotConnected : lost == EditLost::kFull ? kOutFull : kOutPortGone;
}
thread_local EditLost* tEditLost = nullptr;

// Why a SysEx message must not leave, or null: a data byte of 0x80 or more
// would read as a status byte on the instrument's side.
const char* malformedSysEx(const unsigned char* bytes, int length) {
  const bool framed = bytes[0] == kSysExStart;
  const int first = framed ? 1 : 0;
  const int last = framed ? length - 2 : length - 1;
  for (int i = first; i <= last; ++i)
    if (bytes[i] >= 0x80) return "data byte of 0x80 or more";
  if (framed && bytes[length - 1] != kSysExEnd) return "no F7 at the end";
  return nullptr;
}
}  // namespace

uint32_t Tarnivex::tick() const { return tickSource ? tickSource() : GetTickCount(); }

// Inside the host's real-time calls a pause is handed to the MIDI thread,
// which keeps it between what came before and after it; there it ends early
// when the plug-in closes.
void Tarnivex::pauseFor(int ms) const {
  // Handed to the MIDI thread, it holds up nothing here.
  if (!RealtimeScope::active() || !midiSendThread) WaitGuard::beforeWait("a pause");
  if (RealtimeScope::active() && midiSendThread) midiSendThread->pause(ms);
  else if (sleepFor) sleepFor(ms);
  else if (midiSendThread && midiSendThread->onThread()) midiSendThread->wait(ms);
  else Sleep(ms);
}

bool Tarnivex::pausePick(const PickTicket& ticket, int ms) const {
  if (sleepFor) {
    WaitGuard::beforeWait("a pick's pause");
    sleepFor(ms);
    return midiMessageManager && midiMessageManager->picks.newest(ticket);
  }
  return midiMessageManager && midiMessageManager->picks.waitWhileNewest(ticket, ms);
}

void Tarnivex::runOffHostThread(std::function<void()> task) {
  if (!task) return;
  if (midiSendThread && !midiSendThread->onThread())
    midiSendThread->runFromAnyThread(std::move(task));
  else
    task();
}

void Tarnivex::OnMidiOutRefused(const char* reason) {
  debugLog(std::string("MIDI OUT: not sent: ") + (reason ? reason : ""));
}

// An edit, a send or a job's message met the port gone: the status line
// says so instead of the edit's value, which never reached the instrument.
void Tarnivex::OnMidiOutGone() {
  if (tEditLost) *tEditLost = EditLost::kOutPortGone;
  if (RealtimeScope::active()) return;
  mOutGoneShown = true;
  showStatus(kOutPortGone, "Not sent");
  debugLog("MIDI OUT: not sent: the MIDI Out port is gone");
}

void Tarnivex::OnMidiOutUnplugged() {
  if (tEditLost) *tEditLost = EditLost::kUnplugged;
  if (RealtimeScope::active()) return;
  showStatus(kNotConnected, "Not sent");
  debugLog("MIDI OUT: not sent: the instrument is not connected");
}

// The ring did not take it (the server stalled): nothing was sent, nothing
// waits for room.
void Tarnivex::OnMidiOutFull() {
  if (tEditLost) *tEditLost = EditLost::kFull;
  if (RealtimeScope::active()) return;
  showStatus(kOutFull, "Not sent");
  debugLog("MIDI OUT: not sent: the MIDI Out port has no room");
}

void Tarnivex::showOutPortState() {
  const bool gone = midiIOConfigured && MidiOutGone();
  if (gone == mOutGoneShown) return;
  mOutGoneShown = gone;
  if (gone)
    showStatus(kOutPortGone, "Edits are not sent");
  else
    showStatus("MIDI Out port back", restoreCut ? "The project cut off is not sent again" : "");
}

void Tarnivex::lightPart(int part) {
  if (part < 0 || part > 15 || !GetGUI()) return;
  std::atomic<int>& light = partLights[static_cast<size_t>(part)];
  // A lit part is the common case in a burst: no locked exchange for it.
  if (light.load(std::memory_order_relaxed) != 0) return;
  int off = 0;
  if (!light.compare_exchange_strong(off, 1)) return;
  lightTimes[static_cast<size_t>(part)] = tick();
  setParameterFromPlug(kMIDILed + part, 1.0, false);
}

void Tarnivex::sendMidiMsgAndLog(IMidiMsg* msg) { sendShortAndLog(msg); }

bool Tarnivex::sendShortAndLog(IMidiMsg* msg) {
  if (!msg) return false;
  if (RealtimeScope::active() && midiSendThread) {
    midiSendThread->sendShort(*msg);
    return true;
  }
  if (!midiIOConfigured) {
    showStatus(kSetMidiIOFirst, "");
    return false;
  }
  if (!trackIncoming && GetGUI()) {
    for (int p = 0; p < 16; ++p) {
      if (GetParam(kMultiPartMIDICh + p)->Int() - 2 != msg->Channel()) continue;
      lightPart(p);
      break;
    }
  }
  // The instrument tells back each program change it takes: owed from now.
  if (midiMessageManager) midiMessageManager->goingToDevice(*msg);
  const bool sent = SendMidiMsg(msg);
  if (!sent && midiMessageManager) midiMessageManager->notSentToDevice(*msg);
  if (sent && startsSounding(*msg))
    soundingChannels.fetch_or(static_cast<uint16_t>(1u << msg->Channel()), std::memory_order_relaxed);
  TraceOutput::print("Plug-in MIDI Out ");
  return sent;
}

bool Tarnivex::checksumCheckAndSend(unsigned char* message, int length) {
  if (!message || length <= 0) return false;
  if (!midiIOConfigured) {
    showStatus(kSetMidiIOFirst, "");
    return false;
  }
  if (length >= kChecksummedLength) {
    if (message[0] == kSysExStart) {
      writeDumpChecksum(message, length);
    } else {
      unsigned sum = 0;
      for (int i = 3; i <= length - 2; ++i) sum += message[i];
      message[length - 1] = static_cast<unsigned char>(sum & 0x7F);
    }
  }
  // A long message lights the part its location byte names, when that is one.
  if (!trackIncoming && message[0] == kSysExStart && length > 5 && message[5] < 16) lightPart(message[5]);
  if (!sendSysExToDevice(message, length)) return false;
  debuggerOutput.logSysExOutMessageByte(message, length);
  return true;
}

bool Tarnivex::sendSysExToDevice(unsigned char* bytes, int length) {
  if (!bytes || length <= 0) return false;
  if (RealtimeScope::active() && midiSendThread) {
    if (midiSendThread->sendSysEx(bytes, length)) return true;
    debugLog("MIDI OUT: SysEx message not sent: " + std::to_string(length) + " bytes are too many for the audio thread");
    return false;
  }
  if (const char* reason = malformedSysEx(bytes, length)) {
    debugLog(std::string("MIDI OUT: SysEx message not sent: ") + reason);
    return false;
  }
  return SendMidiSysex(bytes, length);
}

bool Tarnivex::sendRawToDevice(std::vector<unsigned char> bytes) {
  if (bytes.empty()) return false;
  return SendMidiSysex2(std::move(bytes));
}

void Tarnivex::logSysExOutMessageByteInt(std::vector<int> message, int count) {
  // The trace line leaves from the MIDI thread, after the message it traces.
  if (RealtimeScope::active() && midiSendThread && midiSendThread->traceSysEx(message, count)) return;
  debuggerOutput.logSysExOutMessageByteInt(std::move(message), count);
}

void Tarnivex::MIDIOutRoutingSwitch(IMidiMsg* msg) {
  if (!msg) return;
  // Silenced for a job, the part takes nothing more but what ends a sound
  // that slipped in before.
  if (processing && notesSilenced && !endsSounding(*msg)) return;
  if (midiToHostBuffer) midiQueue.Add(msg);
  else sendMidiMsgAndLog(msg);
}

void Tarnivex::AllSoundsOff(int part, bool allParts) {
  if (!midiIOConfigured) return;
  // Silenced for a job already: another all-notes-off of the editor's adds
  // nothing (the host's own still pass).
  if (processing && notesSilenced) return;
  auto route = [this](int channel, int forPart) {
    if (channel < 0 || channel > 15) {
      // Made on the host's audio thread after a reset: no allocation.
      char line[80];
      std::snprintf(line, sizeof line, "MIDI OUT: all sounds off for part %d not sent: channel outside 0-15", forPart + 1);
      debugLogText(line);
      return;
    }
    IMidiMsg msg(0, static_cast<uint8_t>(0xB0 | channel), IMidiMsg::kAllNotesOff, 0);
    MIDIOutRoutingSwitch(&msg);
  };
  if (allParts) {
    for (int p = 0; p < 16; ++p) {
      const int c = GetParam(kMultiPartMIDICh + p)->Int();
      if (GetParam(kMultiPartStatus + p)->Int() == 0) continue;
      if (c >= 2) route(c - 2, p);
      else if (c == 0) route(GetParam(kGlobalMidiChannel)->Int() - 1, p);
      else route(-1, p);
    }
  } else if (part >= 0 && part < 16) {
    route(GetParam(kMultiPartMIDICh + part)->Int() - 2, part);
  }
  notesSilenced = true;
}

// The enquiry and its pause run on the MIDI thread: neither the block nor
// the host's GUI thread waits for them.
void Tarnivex::sendSysExInitialization() {
  initialisationRequested = true;
  enquiryAwaitsOutPort = false;
  if (!midiSendThread) return;
  if (RealtimeScope::active()) midiSendThread->enquire();
  else midiSendThread->enquireFromAnyThread();
}

void Tarnivex::runDeviceEnquiry() {
  if (!midiIOConfigured || !midiMessageManager) return;
  SenderJob job;
  job.jobCode = 13;
  // A project's send may be running on the worker, since the host no longer
  // waits for it: the enquiry follows it instead of being lost.
  MIDIMessageManager* manager = midiMessageManager.get();
  manager->queueJob(job, [manager] { manager->replyAccepted = false; });
  pauseFor(kEnquiryPauseMs);
}

bool Tarnivex::CheckBankConflict(int part) {
  if (part < 0 || part > 15) return false;
  return playedByAnotherPart(part, GetParam(kMultiPartBank + part)->Int(), GetParam(kMultiPartPatch + part)->Int());
}

bool Tarnivex::playedByAnotherPart(int part, int bank, int program) const {
  for (int q = 0; q < 16; ++q) {
    const auto at = static_cast<size_t>(q);
    if (q == part || !partBankKnown[at] || !partProgramKnown[at] || GetParam(kMultiPartStatus + q)->Value() != 1.0)
      continue;
    if (sentBanks[at] == bank && sentPrograms[at] == program) return true;
  }
  for (int q = 0; q < 16; ++q)
    if (q != part && pairClaims[static_cast<size_t>(q)] == bank * 128 + program + 1 &&
        GetParam(kMultiPartStatus + q)->Value() == 1.0)
      return true;
  return false;
}

void Tarnivex::SetParameterFromGUI(int paramIdx, double normalizedValue) {
  const auto inBlock = [paramIdx](int base) { return paramIdx >= base && paramIdx < base + kParamBlockSpan; };
  const bool bankPicked = inBlock(kMultiPartBank);
  const bool multiPicked = paramIdx == kMultiPatch && multiMode;
  if (!bankPicked && !inBlock(kMultiPartPatch) && !multiPicked && paramIdx != kMultiBank) {
    setEditFromGUI(paramIdx, normalizedValue);
    return;
  }
  WDL_MutexLock lock(&mMutex);
  IParam* picked = GetParam(paramIdx);
  const int value = static_cast<int>(picked->FromNormalized(normalizedValue));
  // The control shows what the part plays until the pick goes out: the
  // parameter is the record's, written as its program change leaves.
  const auto showPlayed = [&] {
    if (IGraphics* gui = GetGUI()) gui->SetParameterFromPlug(paramIdx, picked->GetNormalized(), true);
  };
  // A multi's bank select fits no data byte: no other multi bank reaches
  // the instrument.
  if (paramIdx == kMultiBank) {
    if (value != picked->Int()) showStatus("Nothing sent!", "The multi bank is not sent");
    return showPlayed();
  }
  if (value == picked->Int()) return;
  const int part = multiPicked ? currentPart.load() : paramIdx - (bankPicked ? kMultiPartBank : kMultiPartPatch);
  // A program goes on the bank a pick not yet gone carried (the host's bank
  // pick on its way), as the top bar and the arrows judge it.
  Pick next;
  next.slot = part;
  const int bank = bankPicked                          ? value
                   : multiPicked || !midiMessageManager ? GetParam(kMultiPartBank + part)->Int()
                                                        : midiMessageManager->bankOfPick(next);
  const int program = bankPicked ? GetParam(kMultiPartPatch + part)->Int() : value;
  if (refuseUnsentPick(part, bank, program, multiPicked)) return showPlayed();
  pickPartProgram(part, bankPicked ? bank : -1, program, multiPicked);
  // Until its program change goes, the control shows what the part plays.
  showPlayed();
  NoteStateChangedByUser();
}

// An edit that reached no instrument (the out port gone, the instrument
// unplugged) does not stay: its control and the project go back to the
// value the instrument holds, followed as a value from it is (nothing sent).
void Tarnivex::setEditFromGUI(int paramIdx, double normalizedValue) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const double before = param->GetNormalized();
  EditLost lost = EditLost::kNo;
  EditLost* outer = std::exchange(tEditLost, &lost);
  IPlugVST::SetParameterFromGUI(paramIdx, normalizedValue);
  tEditLost = outer;
  if (lost == EditLost::kNo || param->GetNormalized() == before) return;
  if (outer) *outer = lost;
  IPlugVST::SetParameterFromGUI2(paramIdx, before);
  if (IGraphics* gui = GetGUI()) gui->SetParameterFromPlug(paramIdx, before, true);
  // Followed, the value named itself: the status line says again why it went back.
  showStatus(lossText(lost), "Not sent");
}

bool Tarnivex::refuseUnsentPick(int part, int bank, int program, bool multi) {
  if (librarianBrowser ? librarianBrowser->refuseLockedPart(part) : GetParam(kPartLock + part)->Value() == 1.0)
    return true;
  if (libraryControl) {
    // The library's slot of that number goes, from the pane in use.
    if (!librarianBrowser) return false;
    const auto [why, detail] = librarianBrowser->whyNothingWouldGo(program, librarianActivePane(), part);
    if (!why.empty()) {
      showStatus(why, detail);
      return true;
    }
  } else if (GetParam(kGlobalRxProgramChange)->Value() <= 0.0) {
    showStatus("Program Change Disabled.", "");
    return true;
  } else if (librarianBrowser ? librarianBrowser->refuseUnsentChange(part, multi) : !midiIOConfigured) {
    return true;
  }
  return !multi && refusePartPick(part, bank, program);
}

// Without ports nothing goes out: there is nothing to refuse.
bool Tarnivex::refusePartPick(int part, int bank, int program) {
  if (!pairPlayedElsewhere(part, bank, program)) return false;
  if (conflictLayer) conflictLayer->Hide(false);
  return true;
}

bool Tarnivex::pairPlayedElsewhere(int part, int bank, int program) const {
  return !multiMode && !quietSend && midiIOConfigured && playedByAnotherPart(part, bank, program);
}

bool Tarnivex::isOutUnplugged() {
  // The host's real-time calls take no lock: the answer the port last gave.
  return midiIOConfigured && (RealtimeScope::active() ? MidiOutUnpluggedNow() : MidiOutUnplugged());
}

void Tarnivex::sayPickRefused(PickRefusal why) {
  switch (why) {
    case PickRefusal::kNoPorts: showStatus(kSetMidiIOFirst, ""); break;
    case PickRefusal::kPortGone: OnMidiOutGone(); break;
    case PickRefusal::kUnplugged: OnMidiOutUnplugged(); break;
    default: break;
  }
}

bool Tarnivex::refuseNoProgramChannel(int part, bool multi) {
  if (programChannel(*this, part, multi) >= 0) return false;
  // Formatted in place: a host thread may ask.
  char line[80];
  if (multi)
    std::snprintf(line, sizeof line, "MIDI OUT: bank change for the multi not sent: channel outside 0-15");
  else
    std::snprintf(line, sizeof line, "MIDI OUT: bank change for part %d not sent: channel outside 0-15", part + 1);
  debugLogText(line);
  if (!RealtimeScope::active()) showStatus(kNothingSent, kNoChannelToSendOn);
  return true;
}

PickSend Tarnivex::BankChangeMessage(const PickTicket& ticket, int bank, int program, const LibraryPick* source) {
  if (!midiMessageManager) return PickSend::kRefused;
  PartPicks& picks = midiMessageManager->picks;
  const bool multi = ticket.multi();
  const int part = multi ? currentPart.load() : ticket.part();
  if (multi) {
    bank = (bank >= 0 ? bank : GetParam(kMultiBank)->Int()) + 96;
  } else {
    if (part < 0 || part > 15) return PickSend::kRefused;
    if (bank < 0) bank = GetParam(kMultiPartBank + part)->Int();
    if (refusePartPick(part, bank, program)) return PickSend::kRefused;
  }
  // A change with no channel to go on reaches no instrument: nothing of it
  // is shown or recorded, as for a port gone.
  if (midiIOConfigured && refuseNoProgramChannel(part, multi)) return PickSend::kRefused;
  pendingProgram = program;
  const int channel = programChannel(*this, part, multi);
  const bool channelOk = channel >= 0;
  const uint8_t status = static_cast<uint8_t>(0xB0 | (channel & 0x0F));
  const int lsb = bank + 64;
  // A multi's bank (160 and up) is no data byte: the bank select stays
  // home, the program change still goes.
  const bool lsbOk = lsb >= 0 && lsb <= 127;
  if (!lsbOk) debugLog("MIDI OUT: bank select value " + std::to_string(lsb) + " does not fit a data byte; not sent");
  const int programByte = std::clamp(program, 0, 127);
  IMidiMsg notesOff(0, status, IMidiMsg::kAllNotesOff, 0);
  IMidiMsg msb(0, status, IMidiMsg::kBankSelectMSB, 0);
  IMidiMsg lsbMsg(0, status, IMidiMsg::kBankSelectLSB, static_cast<uint8_t>(lsb & 0x7F));
  IMidiMsg change(0, static_cast<uint8_t>(0xC0 | (channel & 0x0F)), static_cast<uint8_t>(programByte), 0);
  const auto outcome = [&] { return picks.newest(ticket) ? PickSend::kRefused : PickSend::kOvertaken; };
  // Each message leaves only while the pick is the part's newest: nothing of
  // an older pick follows a newer one. Another part taking the pair, or the
  // channel gone, meanwhile refuses it there: the check and the send are one
  // step under the gate, as every part's record is.
  const auto stillFree = [&] {
    return (multi || !refusePartPick(part, bank, program)) && !(midiIOConfigured && refuseNoProgramChannel(part, multi));
  };
  const auto gate = [&](const std::function<bool()>& send) {
    return picks.letGo(ticket, [&](const GatePass&) { return stillFree() && send(); });
  };
  const int claim = bank * 128 + program + 1;
  struct ClaimEnd {
    std::atomic<int>* held;
    int claim;
    ~ClaimEnd() {
      if (held) held->compare_exchange_strong(claim, 0);
    }
  } claimEnd{multi ? nullptr : &pairClaims[static_cast<size_t>(part)], claim};
  if (!gate([&] {
        // Checked free under the gate: from here the pair is this part's.
        if (claimEnd.held) *claimEnd.held = claim;
        if (midiIOConfigured && channelOk && !(processing && notesSilenced)) {
          if (midiToHostBuffer) midiQueue.Add(&notesOff);
          else sendMidiMsgAndLog(&notesOff);
        }
        notesSilenced = false;
        if (channelOk) sendMidiMsgAndLog(&msb);
        return true;
      }))
    return outcome();
  if (!pausePick(ticket, 25)) return outcome();
  if (!gate([&] {
        if (channelOk && lsbOk) sendMidiMsgAndLog(&lsbMsg);
        return true;
      }))
    return outcome();
  if (!pausePick(ticket, 25)) return outcome();
  // With the port gone, full or unplugged the change reaches no instrument:
  // nothing of it is recorded or shown. Taken by the port, it is gone: what
  // the part plays, unless a newer pick was recorded or a state arrived since.
  bool lost = false;
  const bool went = picks.letGo(ticket, [&](const GatePass&) {
    if (!stillFree()) return false;
    // Not sent for any reason (no ports, the port gone or full, unplugged,
    // closed while it opens anew): refused, not reported as gone out.
    lost = !channelOk || !sendShortAndLog(&change);
    return !lost;
  });
  if (!went) return lost ? PickSend::kRefused : outcome();
  picks.recordGone(ticket, [&](const GatePass& pass) {
    recordPartPlays(pass, multi ? bank - 96 : bank, program, source);
    if (!multi) recordChannelSharers(part, channel, bank, program);
  });
  // The pacing after it ends early for a newer pick of the part.
  if (pausePick(ticket, 50)) {
    notesSilenced = true;
    pausePick(ticket, getTimerValue());
  }
  return PickSend::kSent;
}
