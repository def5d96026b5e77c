// Channel messages from the instrument and the host: the input filters,
// controllers moving the editor's controls, program changes turned into a
// bank and program change plus a request (or a library selection), the
// activity light and the pass-through.
#include <algorithm>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "ProgramChannel.h"

namespace {
enum Kind { kCC, kPC, kNote, kPitch, kPolyPressure, kChannelPressure, kNotChannel };

Kind kindOf(const IMidiMsg& msg) {
  switch (msg.mStatus >> 4) {
    case 0x8:
    case 0x9: return kNote;
    case 0xA: return kPolyPressure;
    case 0xB: return kCC;
    case 0xC: return kPC;
    case 0xD: return kChannelPressure;
    case 0xE: return kPitch;
    default: return kNotChannel;
  }
}

// The bank select's second half the instrument's parts take: A, B or C.
bool isPartBankValue(int v) { return v >= 64 && v <= 66; }
// Its values for no part's bank, which the editor keeps to itself.
bool isOtherBankValue(int v) { return v == 80 || v == 96; }

constexpr int kFilterRoutingFirst = kFilterRoutingParallel;
}  // namespace

int MIDIMessageManager::partForChannel(int channel) const {
  for (int p = 0; p < 16; ++p) {
    IParam* param = plug->paramAt(kMultiPartMIDICh + p);
    if (param && static_cast<int>(param->Value()) - 2 == channel) return p;
  }
  return -1;
}

void MIDIMessageManager::ProcessMidiMsgFromDevice(IMidiMsg* msg) {
  if (!msg) return;
  lastChannelMessageFromHost = false;
  const Kind kind = kindOf(*msg);
  if (kind == kNotChannel) return;
  const int channel = msg->mStatus & 0x0F;
  IParam* filter = plug->paramAt(kMIDIFilterHWCCPassThrough + static_cast<int>(kind));
  if (!filter || filter->Value() != 1.0) {
    // Blocked, a program change takes the bank select waiting for it along.
    if (kind == kPC) deviceBankSelect.take(channel);
    return;
  }
  if (kind == kCC) {
    const int c = msg->mData1, v = msg->mData2;
    if (c == 0 && v == 0) {
      deviceBankSelectLatch = true;
      return;
    }
    if (c == 32 && (isPartBankValue(v) || isOtherBankValue(v)) && deviceBankSelectLatch) {
      deviceBankSelectLatch = false;
      // Half a pick: it waits for the program change after it, and goes
      // with it or not at all. A bank no part plays leaves none waiting.
      deviceBankSelect.hold(channel, isPartBankValue(v) ? v - 64 : -1);
      return;
    }
    getLegacyCCparam(c, channel + 1, v, false, true);
  } else if (kind == kPC) {
    const int part = partForChannel(channel);
    const int bank = deviceBankSelect.take(channel);
    // Taken in turn on the MIDI thread: this thread stays free to take the
    // next, whose arrival stops what is under way for this one.
    const uint32_t arrival = arrive(part);
    const IMidiMsg change = *msg;
    plug->runOnMidiThread([this, part, change, bank, arrival] { deviceProgramChangeInTurn(part, change, bank, arrival); });
    return;
  }
  if (const int part = partForChannel(channel); part >= 0 && plug->isTrackIncoming()) plug->lightPart(part);
  if (passesBackFromDevice(false)) plug->MIDIOutRoutingSwitch(msg);
}

// With local control on, the instrument plays itself. A program change goes
// back to the instrument only as the editor's answer; into the host's
// buffer it goes on, as all the instrument's playing does.
bool MIDIMessageManager::passesBackFromDevice(bool programChange) const {
  if (plug->isLocalControl()) return false;
  return !programChange || plug->isMidiToHostBuffer();
}

void MIDIMessageManager::ProcessMidiMsgFromDAW(IMidiMsg* msg, int part) {
  // Routed into the host's buffer, host MIDI needs no port of ours.
  if (!msg || (!plug->isMidiIOConfigured() && !plug->isMidiToHostBuffer())) return;
  lastChannelMessageFromHost = true;
  const Kind kind = kindOf(*msg);
  if (kind == kNotChannel) return;
  const int channel = msg->mStatus & 0x0F;
  IParam* filter = plug->paramAt(kMIDIFilterDAWCCPassThrough + static_cast<int>(kind));
  if (!filter || filter->Value() != 1.0) {
    // Blocked, a program change takes the bank select waiting for it along:
    // on the road the bank select took, after it.
    if (kind == kPC) {
      const int target = std::clamp(part, 0, 15);
      if (!plug->deferProgramChange(target, *msg, 0)) passProgramChangeFromDAW(target, msg);
    }
    return;
  }
  if (kind == kCC) {
    const int c = msg->mData1, v = msg->mData2;
    if ((c == 0 && v == 0) || (c == 32 && isOtherBankValue(v))) return;
    // The part's bank select waits for its program change, in order.
    if (c == 32 && isPartBankValue(v)) {
      const int target = std::clamp(part, 0, 15);
      if (!plug->deferProgramChange(target, *msg, 0)) passProgramChangeFromDAW(target, msg);
      return;
    }
    // The control it moves is the editor's: followed off the host's
    // real-time thread, in order with the rest of the host's messages.
    if (!plug->deferHostController(*msg)) getLegacyCCparam(c, channel + 1, v, false, false);
  }
  if (const int lit = partForChannel(channel); lit >= 0 && plug->isTrackIncoming()) plug->lightPart(lit);
  // A program change goes on only once the editor took it: one it refused
  // (a locked part, a conflict, a library slot that sends nothing) would
  // change the instrument's sound behind what the window shows.
  if (kind == kPC) {
    const int target = std::clamp(part, 0, 15);
    const uint32_t arrival = arrive(target);
    if (!plug->deferProgramChange(target, *msg, arrival)) passProgramChangeFromDAW(target, msg, arrival);
    return;
  }
  plug->MIDIOutRoutingSwitch(msg);
}

void MIDIMessageManager::takeDeviceProgramChange(int part, IMidiMsg* msg, int bank, uint32_t arrival) {
  const int channel = msg->mStatus & 0x0F;
  // Playing its own pick, the instrument no longer holds the editor's copy.
  if (part >= 0 && plug->isLocalControl()) plug->endPartSoundHeld(part);
  MakeProgramChangeMessages(std::max(part, 0), msg, -1.0, true, bank, part >= 0 ? arrival : 0);
  // Overtaken on its way: the newer change goes on in its place.
  if (part >= 0 && arrival && partMovedOn(part, arrival)) return;
  if (part >= 0 && plug->isTrackIncoming()) plug->lightPart(part);
  // Back to the instrument the pick goes only as the editor's answer (its
  // bank select and program change whole), or not at all: echoed, it would
  // land on whatever bank the instrument is on. Into the host's buffer it
  // goes on whole, as all the instrument's playing does.
  if (passesBackFromDevice(true)) {
    if (bank >= 0) {
      IMidiMsg msb(0, static_cast<uint8_t>(0xB0 | channel), 0, 0);
      IMidiMsg lsb(0, static_cast<uint8_t>(0xB0 | channel), 32, static_cast<uint8_t>(64 + bank));
      plug->MIDIOutRoutingSwitch(&msb);
      plug->MIDIOutRoutingSwitch(&lsb);
    }
    plug->MIDIOutRoutingSwitch(msg);
  }
}

void MIDIMessageManager::passProgramChangeFromDAW(int part, IMidiMsg* msg, uint32_t arrival) {
  const int channel = msg->mStatus & 0x0F;
  if ((msg->mStatus >> 4) == 0xB) {
    // The host's bank select: half a pick, held until its program change.
    hostBankSelect.hold(channel, msg->mData2 - 64);
    return;
  }
  const int bank = hostBankSelect.take(channel);
  if (const IParam* filter = plug->paramAt(kMIDIFilterDAWPCPassThrough); !filter || filter->Value() != 1.0) return;
  // A newer change of the part came in behind it: that one is the pick.
  if (arrival && partMovedOn(part, arrival)) return;
  // A job has the instrument: the pick waits for its end, whole.
  if (waitIfBusy(part, *msg, false, bank, arrival)) return;
  takeHostProgramChange(part, msg, bank, arrival);
}

void MIDIMessageManager::takeHostProgramChange(int part, IMidiMsg* msg, int bank, uint32_t arrival) {
  IMidiMsg passed = *msg;  // the editor's own sequence may reuse msg
  const int channel = msg->mStatus & 0x0F;
  // One refused leaves the part showing what it plays.
  const IParam* program = plug->paramAt(kMultiPartPatch + part);
  const double shown = program ? program->Value() : 0.0;
  if (!MakeProgramChangeMessages(part, msg, -1.0, false, bank, arrival)) {
    if (arrival && partMovedOn(part, arrival)) return;  // the newer change shows itself
    if (program && program->Value() != shown) plug->setParameterFromPlug(kMultiPartPatch + part, shown, false);
    return;
  }
  // Taken, the host's pick goes on whole: its bank select, then its program
  // change; overtaken meanwhile (a library send runs beside), nothing more
  // of it follows the newer one.
  const auto passOn = [&](IMidiMsg* message) {
    if (arrival && partMovedOn(part, arrival)) return false;
    plug->MIDIOutRoutingSwitch(message);
    return true;
  };
  if (bank >= 0) {
    IMidiMsg msb(0, static_cast<uint8_t>(0xB0 | channel), 0, 0);
    IMidiMsg lsb(0, static_cast<uint8_t>(0xB0 | channel), 32, static_cast<uint8_t>(64 + bank));
    if (!passOn(&msb) || !passOn(&lsb)) return;
  }
  passOn(&passed);
}

IControl* MIDIMessageManager::getLegacyCCparam(int controller, int channel, int value, bool forceQuickTab,
                                               bool fromDevice) {
  IControl* control = plug->getCCControls(channel, controller, 0);
  if (!control) {
    if (controller == 32 && value >= 64 && value <= 66 && channel >= 1 && channel <= 16) {
      plug->followPartBank(channel - 1, value - 64, true);
    }
    return nullptr;
  }
  echoGuard = false;
  const int idx = plug->controlParamIdx(control);
  IParam* param = plug->paramAt(idx);
  if (!param) return control;
  int x = value;
  double range = param->GetMax() - param->GetMin();
  bool quickTab = forceQuickTab;
  switch (controller) {
    case 27: case 35: case 42: x = (value - 16) / 12; range = 8; break;
    case 28: case 36: case 43: x = value - 52; range = 24; break;
    case 31: case 39: case 46: case 68: case 79: quickTab = true; break;
    default: break;
  }
  // A parameter with a single value has nothing to move.
  if (range == 0.0) return control;
  const double normalized = std::clamp(x / range, 0.0, 1.0);
  if (fromDevice) {
    echoGuard = true;
    if (idx >= kFilterRoutingFirst && idx < kFilterRoutingFirst + 16) {
      plug->setParameterFromPlug(idx - 16, x != 0 ? 1.0 : 0.0, false);
      plug->setParameterFromPlug(idx, x != 0 ? 0.0 : 1.0, false);
      plug->runParamChange(idx - 16, false);
    } else {
      plug->setControlFromHardware(control, normalized);
    }
  } else {
    plug->setControlFromHardware(control, normalized);
  }
  if (quickTab) plug->runParamChange(kQuickTab, true);
  echoGuard = false;
  return control;
}

// Refused, the instrument's own change is still what its part plays: shown,
// and its sound asked for as a taken change's is; without a request, no
// name is shown over the new number (the old sound's would be wrong).
void MIDIMessageManager::showInstrumentsOwnChange(int part, int program, uint32_t count) {
  plug->setParameterFromPlug(kMultiPartPatch + part, program, false);
  plug->endPartSoundHeld(part);
  if (plug->isProgBankMode()) {
    plug->SetLibrarianRequestActive(false);
    if (startPartRequest(part, count)) return;
  }
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

bool MIDIMessageManager::MakeProgramChangeMessages(int part, IMidiMsg* msg, double shownBefore, bool fromDevice,
                                                   int bank, uint32_t arrival) {
  int program = msg->mData1;
  // Whatever is under way for an older change of the part is overtaken:
  // by the change's arrival, or now.
  const uint32_t count = arrival ? arrival : movePart(part);
  if (partMovedOn(part, count)) return false;
  const TakingChange taking(part, count);
  // The bank select is half the pick: shown with it for its checks and its
  // send (which read the part's bank), put back when it is refused.
  const IParam* bankParam = plug->paramAt(kMultiPartBank + part);
  const IParam* programParam = plug->paramAt(kMultiPartPatch + part);
  const int bankBefore = bankParam ? bankParam->Int() : 0;
  const double programBefore = programParam ? programParam->Value() : 0.0;
  const auto showBank = [&](int shown) {
    if (bank >= 0) plug->showPartBank(part, shown);
  };
  // With its local control on the instrument plays its own pick whatever
  // the editor makes of it: not taken, the pick is shown and recorded whole
  // as what the part plays. With local control off it plays only what goes
  // back to it: not taken, nothing of the pick is kept.
  const auto refused = [&](bool askForSound = false) {
    if (fromDevice && plug->isLocalControl()) {
      plug->setParameterFromPlug(kMultiPartPatch + part, program, false);
      showBank(bank);
      // Recorded for the part on the change's channel, not one standing in.
      if (partForChannel(msg->mStatus & 0x0F) == part) {
        if (bank >= 0) plug->setPartBank(part, bank);
        plug->setPartProgram(part, program);
      }
      // What it now plays is not the sound the window held: asked for, or
      // shown with no name.
      if (askForSound) showInstrumentsOwnChange(part, program, count);
    } else {
      if (fromDevice && programParam && programParam->Value() != programBefore)
        plug->setParameterFromPlug(kMultiPartPatch + part, programBefore, false);
      showBank(bankBefore);
    }
    return false;
  };
  if (IParam* lock = plug->paramAt(kPartLock + part); lock && lock->Value() == 1.0) return refused();
  IParam* rx = plug->paramAt(kGlobalRxProgramChange);
  const double receive = rx ? rx->Value() : 0.0;
  lastProgramChangeTick = plug->tickMs();
  if (plug->isLibraryMode()) {
    plug->SetLibrarianRequestActive(false);
    showBank(bank);
    // The job selects the slot once its sound goes out.
    if (plug->sendPatchToDeviceFromLibrarian(program, plug->librarianActivePane(), part, shownBefore)) return true;
    return refused(true);
  }
  if (receive <= 0.0) return refused();
  program = std::min(program, 100);
  if (plug->refusePartPick(part, bank >= 0 ? bank : bankBefore, program)) return refused(true);
  // A newer change came in meanwhile (while it was waiting for the lock's
  // holder): nothing of this one goes, and the newer one owns the displays.
  if (partMovedOn(part, count)) return false;
  plug->SetLibrarianRequestActive(false);
  plug->AllSoundsOff(part, false);
  plug->setParameterFromPlug(kMultiPartPatch + part, program, false);
  showBank(bank);
  // The instrument's own change is what the part plays, also with no
  // channel to echo it on.
  const bool sent = (fromDevice && programChannel(*plug, part, false) < 0) ||
                    plug->partBankChangeMessage(part, [this, part, count] { return !partMovedOn(part, count); });
  if (!sent) {
    if (!partMovedOn(part, count)) return refused();
    // Overtaken before its program change went: the part still plays what it
    // did, and the newer change starts from that (unless it showed itself).
    if (programParam && programParam->Value() == program && program != programBefore)
      plug->setParameterFromPlug(kMultiPartPatch + part, programBefore, false);
    if (bank >= 0 && bankParam && bankParam->Int() == bank) showBank(bankBefore);
    return false;
  }
  if (plug->isProgBankMode() && !isThreadRunning(JobThread::kRequest)) startPartRequest(part, count);
  plug->showPlayedSlot(part);
  return true;
}
