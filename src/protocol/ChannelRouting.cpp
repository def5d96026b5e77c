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
  int first = -1;
  forEachPartOn(channel, [&](int p) {
    if (first < 0) first = p;
  });
  return first;
}

void MIDIMessageManager::goingToDevice(const IMidiMsg& msg) {
  const int channel = msg.mStatus & 0x0F;
  const Kind kind = kindOf(msg);
  if (kind == kCC && msg.mData1 == 32)
    mSentBanks[static_cast<size_t>(channel)] = isPartBankValue(msg.mData2) ? msg.mData2 - 64 : -1;
  // Every part on the channel takes the change, and tells it back.
  if (kind == kPC)
    forEachPartOn(channel, [&](int part) {
      echoes.owe(part, mSentBanks[static_cast<size_t>(channel)], msg.mData1, plug->tickMs());
    });
}

void MIDIMessageManager::notSentToDevice(const IMidiMsg& msg) {
  if (kindOf(msg) == kPC) forEachPartOn(msg.mStatus & 0x0F, [&](int part) { echoes.forgive(part, msg.mData1); });
}

void MIDIMessageManager::forEachPartOn(int channel, const std::function<void(int)>& each) const {
  for (int p = 0; p < 16; ++p) {
    IParam* param = plug->paramAt(kMultiPartMIDICh + p);
    if (param && static_cast<int>(param->Value()) - 2 == channel) each(p);
  }
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
    Pick pick;
    pick.road = Pick::Road::kInstrument;
    pick.bank = deviceBankSelect.take(channel);
    pick.program = msg->mData1;
    pick.channel = channel;
    // A channel no part plays on is taken for part 1.
    pick.slot = std::max(part, 0);
    // Playing its own pick, the instrument needs no answer; without, a pick
    // the editor would refuse takes no older pick's place.
    const bool playsItself = plug->isLocalControl() && part >= 0;
    if (const PickRefusal why = playsItself ? PickRefusal::kNone : refusalAtEntry(pick); why != PickRefusal::kNone) {
      sayRefused(pick, why);
    } else {
      // Its arrival stops what is under way for an older pick of the part.
      handInstrumentsPick(picks.arriveAtGate(pick.slot, pick.program), pick);
    }
    if (part >= 0 && plug->isTrackIncoming()) plug->lightPart(part);
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
  const int target = std::clamp(part, 0, 15);
  IParam* filter = plug->paramAt(kMIDIFilterDAWCCPassThrough + static_cast<int>(kind));
  if (!filter || filter->Value() != 1.0) {
    // Blocked, a program change takes the bank select waiting for it along.
    if (kind == kPC) hostBankSelect.take(channel);
    return;
  }
  if (kind == kCC) {
    const int c = msg->mData1, v = msg->mData2;
    if ((c == 0 && v == 0) || (c == 32 && isOtherBankValue(v))) return;
    // The part's bank select waits for its program change: half a pick,
    // held in the order the host sent them.
    if (c == 32 && isPartBankValue(v)) {
      hostBankSelect.hold(channel, v - 64);
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
    // The pick is the part's newest from its arrival, with the bank it
    // carries (a program change of the part's after it goes on that bank):
    // lock-free, here on the host's thread; what follows it is done on the
    // MIDI thread.
    const int bank = hostBankSelect.take(channel);
    // One the editor would refuse takes no older pick's place: it never
    // counts as the part's newest, and is said so off this thread.
    std::optional<PickTicket> ticket;
    if (refusalAtEntry(hostPick(target, *msg, bank)) == PickRefusal::kNone)
      ticket = picks.arriveRealtime(target, bank, clampedProgram(target, msg->mData1));
    if (!plug->deferProgramChange(target, *msg, ticket, bank)) takeHostPick(target, *msg, ticket, bank);
    return;
  }
  plug->MIDIOutRoutingSwitch(msg);
}

void MIDIMessageManager::handInstrumentsPick(const PickTicket& ticket, Pick pick) {
  // With its local control on the instrument plays its own pick whatever the
  // editor makes of it: what it plays is recorded as it says so, in the
  // order it said it (on the part of its channel, not one standing in for a
  // channel no part plays on).
  const bool ownChannel = pick.road == Pick::Road::kReport || partForChannel(pick.channel) == ticket.part();
  if (plug->isLocalControl() && ownChannel) {
    const int bank = pick.road == Pick::Road::kReport && pick.program >= 0 ? -1 : pick.bank;
    pick.recorded = picks.letGo(ticket, [&](const GatePass& pass) {
      plug->recordPartPlays(pass, bank, pick.program, nullptr);
      return true;
    });
  }
  picks.hand(ticket, pick);
}

Pick MIDIMessageManager::hostPick(int part, const IMidiMsg& msg, int bank) {
  Pick pick;
  pick.road = Pick::Road::kHost;
  pick.slot = part;
  pick.bank = bank;
  pick.program = msg.mData1;
  pick.channel = msg.mStatus & 0x0F;
  return pick;
}

void MIDIMessageManager::takeHostPick(int part, const IMidiMsg& msg, std::optional<PickTicket> ticket, int bank) {
  if (const IParam* filter = plug->paramAt(kMIDIFilterDAWPCPassThrough); !filter || filter->Value() != 1.0) return;
  const Pick pick = hostPick(part, msg, bank);
  // Refused as it came in, it stays refused: taken now it would come after
  // newer picks. Said why, as far as it still holds.
  if (!ticket) return sayRefused(pick, refusalAtEntry(pick));
  picks.hand(*ticket, pick);
}

IControl* MIDIMessageManager::getLegacyCCparam(int controller, int channel, int value, bool forceQuickTab,
                                               bool fromDevice) {
  IControl* control = plug->getCCControls(channel, controller, 0);
  if (!control) {
    // The instrument says the part numbered by the channel is on that bank:
    // a pick of the bank alone, as its report is.
    if (controller == 32 && value >= 64 && value <= 66 && channel >= 1 && channel <= 16) {
      Pick pick;
      pick.road = Pick::Road::kReport;
      pick.slot = channel - 1;
      pick.bank = value - 64;
      picks.pick(pick);
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

