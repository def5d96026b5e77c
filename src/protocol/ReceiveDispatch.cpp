// What the instrument sends, sorted: library replies, dumps for the three
// parsers, and single parameter changes made on the instrument, which move
// the editor's controls without being sent back.
#include <algorithm>
#include <string>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "ProgramChannel.h"
#include "SoundDumpLayout.h"
#include "SysExFormat.h"

namespace {
constexpr int kDumpMinimum = 60;
constexpr uint8_t kSoundChange = 0x20;
constexpr uint8_t kMultiChange = 0x21;
constexpr uint8_t kGlobalChange = 0x24;
// How long a bank report waits for the program report of the same pick.
constexpr int kReportPairMs = 20;
// The device byte the prepared messages of the definition document carry.
constexpr int kTemplateDeviceByte = 0x00;
constexpr int kArpStepFirst = 71, kArpStepLast = 86, kArpTimingFirst = 87, kArpTimingLast = 102;
constexpr int kArpStepSpan = 80;

int valueOf(EditorServices* plug, int index) {
  IParam* param = plug->paramAt(index);
  return param ? param->Int() : 0;
}

bool isSoundDump(const uint8_t* d, int size) {
  return size >= kDumpMinimum && d[1] == kZorozovID && d[2] == kDirirUModel && d[4] == kSoundDumpCommand;
}

bool inBlock(int base, int index) { return index >= base && index < base + 16; }

// The part whose bank (even) or program (odd) a multi position addresses.
int multiPartOf(int page, int number) {
  const int position = page * 128 + (number & ~1);
  if (position < 32 || (position - 32) % 22 != 0) return -1;
  const int part = (position - 32) / 22;
  return part < 16 ? part : -1;
}

int effect2SubKey(int type) {
  if (type >= 0 && type <= 7) return type;
  if (type == 8) return 10;
  if (type == 9) return 8;
  if (type == 10) return 9;
  return -1;
}
}  // namespace

void MIDIMessageManager::ProcessSysEx(ISysEx* message, bool fromDevice) {
  if (!fromDevice || !message || !message->mData || message->mSize <= 0) return;
  // While a library reply is awaited, its record is offered every message
  // first. Armed for the instrument's answer, it takes only that: what it
  // leaves (a part's reply, a knob) goes on as at any other time.
  for (LibraryRequest* record : {static_cast<LibraryRequest*>(&performanceRequest),
                                 static_cast<LibraryRequest*>(&patchRequest)}) {
    if (!record->active) continue;
    if (record->addMessageData(message->mData, message->mSize)) return applyLibraryReply(*record);
    if (!record->awaitsAnswer()) return;
  }
  const uint8_t* d = message->mData;
  const int size = message->mSize;
  // The instrument's report of a part's bank or program is a pick.
  if (takeReport(d, size)) return;
  if (size >= kDumpMinimum) {
    // A sound dump is taken only as the reply its part's request awaits:
    // an overtaken request's is dropped, and so is one nobody asked for.
    const bool sound = isSoundDump(d, size);
    if (sound ? takeSoundDump(d, size) : dumpExpected.load()) {
      if (plug->isDeviceIdLearning() && d[3] != valueOf(plug, kGlobalSysExID))
        plug->setParameterFromPlug(kGlobalSysExID, std::clamp<int>(d[3], 0, 0x7F), false);
      sysexPatchParse(message);
      sysexMultiParse(message);
      sysexSettingsParse(message);
      if (multiRequestStarted) quickTabRefreshPending = false;
    }
  } else if (!dumpExpected) {
    controlNotFound = false;
    quickTabRefreshPending = false;
    if (size == 9 || size == 10) processParameterChange(d, size);
  }
  if (quickTabRefreshPending) plug->runParamChange(kQuickTab, true);
}

bool MIDIMessageManager::replyDue(const uint8_t* d, int size) const {
  return d && isSoundDump(d, size) && picks.replyDue(d[kSoundProgramByte], plug->tickMs());
}

bool MIDIMessageManager::takeReport(const uint8_t* d, int size) {
  if (size != 9 || d[0] != kSysExStart || d[1] != kZorozovID || d[2] != kDirirUModel || d[4] != kMultiChange ||
      d[8] != kSysExEnd || d[5] > 2 || d[6] >= 0x80 || d[7] >= 0x80 || d[3] != valueOf(plug, kGlobalSysExID))
    return false;
  const int part = multiPartOf(d[5], d[6]);
  if (part < 0) return false;
  // The instrument telling back a program change the editor sent the part
  // is that change's echo, used up as it comes; any other report is its own
  // pick, and no echo is owed after it.
  if (echoes.take(part, !(d[6] & 1), d[7], plug->tickMs())) {
    // Playing on its own, the instrument tells the user's turn to that same
    // program just as it tells the echo, and then plays its stored sound:
    // what the part plays is asked, so that the window ends on it.
    if ((d[6] & 1) && plug->isLocalControl()) askWhatPartPlays(part);
    return true;
  }
  Pick pick;
  pick.road = Pick::Road::kReport;
  pick.slot = part;
  (d[6] & 1 ? pick.program : pick.bank) = d[7];
  // The part's notes off come first only where the page has the report's
  // control, as its follow-up there silences the part.
  pick.silenceFirst = lookup(d, size, 0) != nullptr;
  pick.pane = plug->librarianActivePane();
  if (plug->isLocalControl()) {
    // Playing it already, the instrument's report is its pick as it comes.
    // A bank report and the program report right after it are one pick: the
    // program goes on the reported bank.
    ReportedBank& reported = mReportedBanks[static_cast<size_t>(part)];
    if (pick.bank < 0 && reported.count != 0 && reported.count == picks.current(part).count()) pick.bank = reported.bank;
    const PickTicket ticket = picks.arriveAtGate(part, pick.program);
    if (pick.bank >= 0 && pick.program < 0) reported = {ticket.count(), pick.bank};
    handInstrumentsPick(ticket, pick);
    return true;
  }
  // Without local control the instrument waits for the editor's answer. A
  // bank report is held for the program report that follows it: the two are
  // one pick, judged whole as it comes in, and one the editor would refuse
  // takes no older pick's place.
  std::unique_lock<std::mutex> held(mHeldBanksMutex);
  HeldBank& bank = mHeldBanks[static_cast<size_t>(part)];
  const uint32_t number = ++bank.number;
  if (pick.program < 0) {
    // One the editor would refuse (a lock, the port, RX Off) is no pick.
    if (const PickRefusal why = refusalAtEntry(pick); why != PickRefusal::kNone) {
      bank.bank = -1;
      held.unlock();
      sayRefused(pick, why);
      return true;
    }
    bank.bank = pick.bank;
    bank.count = picks.current(part).count();
    // A pick of the part's that comes meanwhile (the host's) goes on it.
    picks.noteNextBank(part, pick.bank);
    held.unlock();
    picks.later(part, [this, part, number, pick] {
      if (pause(kReportPairMs)) releaseHeldBank(part, number, pick);
    });
    return true;
  }
  const int heldBank = bank.bank;
  if (pick.bank < 0) pick.bank = heldBank;
  // A bank report past its wait is a pick of its own: while that one has not
  // gone, the program goes on its bank, as the editor's and the host's do
  // (and as the entry judged it).
  if (pick.bank < 0) pick.bank = picks.pendingBank(part);
  bank.bank = -1;
  held.unlock();
  // Refused, nothing of the bank report goes either.
  if (!enterReport(pick) && heldBank >= 0) picks.forgetNextBank(part, heldBank);
  return true;
}

void MIDIMessageManager::releaseHeldBank(int part, uint32_t number, Pick pick) {
  uint32_t count = 0;
  {
    std::lock_guard<std::mutex> held(mHeldBanksMutex);
    HeldBank& bank = mHeldBanks[static_cast<size_t>(part)];
    if (bank.number != number || bank.bank < 0) return;
    bank.bank = -1;
    count = bank.count;
    // A newer pick of the part came meanwhile and went on that bank.
    if (picks.current(part).count() != count) return;
  }
  // No program report came: the bank alone, on the program the part is on,
  // unless a newer pick comes even now (it is not overtaken by this older one).
  if (!enterReport(pick, count)) picks.forgetNextBank(part, pick.bank);
}

bool MIDIMessageManager::enterReport(Pick pick, std::optional<uint32_t> after) {
  // Told, not played: with no channel to answer on the part never plays it.
  if (const PickRefusal why = refusalAtEntry(pick); why != PickRefusal::kNone) {
    sayRefused(pick, why);
    return false;
  }
  if (!after) {
    handInstrumentsPick(picks.arriveAtGate(pick.slot, pick.program), pick);
  } else if (const std::optional<PickTicket> ticket = picks.arriveAfter(pick.slot, *after, pick.program)) {
    handInstrumentsPick(*ticket, pick);
  }
  return true;
}

void MIDIMessageManager::askWhatPartPlays(int part) {
  // After the work of the pick under way (a library sound still to go), and
  // only while no newer pick comes.
  // The count as the echo came: a pick arriving meanwhile answers for itself.
  picks.later(part, [this, part, count = picks.current(part).count()] {
    if (const std::optional<PickTicket> ticket = picks.arriveAfter(part, count)) {
      Pick ask;
      ask.road = Pick::Road::kReport;
      ask.slot = part;
      ask.work = Pick::Work::kRequest;
      picks.hand(*ticket, ask);
    }
  });
}

IControl* MIDIMessageManager::lookup(const uint8_t* d, int size, int subKey) {
  if (size == 10) return plug->getSysexControl(d[4], d[5], d[6], d[7], subKey);
  return plug->getSysexControl(kTemplateDeviceByte, d[4], d[5], d[6], subKey);
}

void MIDIMessageManager::applyOrMiss(const uint8_t* d, int size, int value) {
  if (IControl* control = lookup(d, size, 0)) processSysExToUI(control, value, false, true);
  else controlNotFound = true;
}

void MIDIMessageManager::processParameterChange(const uint8_t* d, int size) {
  // Another maker's or another instrument's message, or one with a byte
  // that is no data byte, changes nothing.
  if (d[0] != kSysExStart || d[1] != kZorozovID || d[2] != kDirirUModel || d[size - 1] != kSysExEnd) return;
  for (int i = 1; i < size - 1; ++i)
    if (d[i] >= 0x80) return;
  if (d[3] != valueOf(plug, kGlobalSysExID)) return;
  if (size == 10 && d[4] != kSoundChange) return;
  if (size == 9 && d[4] != kMultiChange && d[4] != kGlobalChange) return;
  const int value = d[size - 2];
  if (size == 10 && d[5] > 15) {
    // base + part would land in another parameter's block.
    plug->debugLog("PROCESSOR: parameter change for part " + std::to_string(d[5]) + " ignored");
    return;
  }

  if (size == 10 && d[6] == 1 && d[7] <= 31) {
    const int part = d[5];
    const bool second = d[7] >= 16;
    const int type = valueOf(plug, (second ? kEffect2Mode : kEffect1Mode) + part);
    const int subKey = second ? effect2SubKey(type) : (type >= 0 && type <= 6 ? type : -1);
    IControl* control = subKey >= 0 ? lookup(d, size, subKey) : nullptr;
    if (!control) control = lookup(d, size, 0);
    if (control) processSysExToUI(control, value, false, true);
    return;
  }

  if (valueOf(plug, kMainTab) > 5 || d[4] == kGlobalChange || d[6] == 2) {
    if (d[4] == kSoundChange && d[6] == 2) {
      processArpStepByte(d[5], d[7], value, d, size);
    } else if (d[4] == kGlobalChange && (d[6] == 5 || d[6] == 6)) {
      // Signed, as the global dump parser reads the same byte.
      const int adjusted = value - (d[6] == 6 ? 52 : 54);
      if (IControl* control = lookup(d, size, 0)) processSysExToUI(control, adjusted, false, true);
      else controlNotFound = true;
    } else {
      controlNotFound = true;
    }
  } else if (size == 10 && d[6] == 0 && d[7] == 58) {
    const int part = d[5];
    const bool poly = value % 16 == 0 && value <= 80;
    plug->setParameterFromPlug(kOscillatorUnisono + part, poly ? value / 16 : (value - 1) / 16, false);
    plug->setParameterFromPlug(kOscillatorMonoPolyMode + part, poly ? 0 : 1, false);
  } else if (size == 10 && d[6] == 1 && (d[7] == 68 || d[7] == 80 || d[7] == 92 || d[7] == 104)) {
    static constexpr int kModes[] = {kFilterEnvMode, kAmpEnvMode, kEnvelope3Mode, kEnvelope4Mode};
    static constexpr int kTriggers[] = {kFilterEnvTrigger, kAmpEnvTrigger, kEnv3Trigger, kEnv4Trigger};
    const int envelope = (d[7] - 68) / 12;
    const int part = d[5];
    plug->setParameterFromPlug(kModes[envelope] + part, value < 32 ? value : value - 32, false);
    plug->setParameterFromPlug(kTriggers[envelope] + part, value < 32 ? 0 : 1, false);
    // The page follows the mode as it follows a shape from the instrument;
    // the user's road would send the part (and the multi) back.
    plug->runParamChange(kQuickTab, true);
  } else {
    applyOrMiss(d, size, value);
  }

  if (controlNotFound) {
    // The value is applied once: a second set with the unadjusted byte
    // would undo the corrections of processSysExToUI.
    if (IControl* control = lookup(d, size, 0)) {
      controlNotFound = false;
      processSysExToUI(control, value, false, true);
    }
  }
}

void MIDIMessageManager::processArpStepByte(int part, int number, int value, const uint8_t* d, int size) {
  const auto set = [this, part](int base, int step, int v) {
    plug->setParameterFromPlug(base + kArpStepSpan * step + part, v, false);
  };
  if (number >= kArpStepFirst && number <= kArpStepLast) {
    const int step = number - kArpStepFirst;
    const int low = value % 16;
    set(kArpPattern01Glide, step, 0);
    set(kArpPattern01Step, step, value / 16);
    set(kArpPattern01Accent, step, low);
    if (low >= 8) {
      set(kArpPattern01Accent, step, low - 8);
      set(kArpPattern01Glide, step, 1);
    }
  } else if (number >= kArpTimingFirst && number <= kArpTimingLast) {
    const int step = number - kArpTimingFirst;
    set(kArpPattern01StepLen, step, value / 16);
    set(kArpPattern01Timing, step, value % 16);
  } else {
    applyOrMiss(d, size, value);
  }
}

void MIDIMessageManager::processSysExToUI(IControl* control, int value, bool refreshQuickTab, bool guardEcho) {
  if (!control) return;
  echoGuard = false;
  dumpExpected = false;
  const int idx = plug->controlParamIdx(control);
  IParam* param = plug->paramAt(idx);
  if (!param) return;
  const double min = param->GetMin(), max = param->GetMax();
  if (max == min) return;
  const bool mainTabFive = valueOf(plug, kMainTab) == 5;
  if (inBlock(kOscillator1BendRange, idx) || inBlock(kOscillator2BendRange, idx) || inBlock(kOscillator3BendRange, idx)) {
    value -= 40;
  } else if (inBlock(kOscillator1Octave, idx) || inBlock(kOscillator2Octave, idx) || inBlock(kOscillator3Octave, idx)) {
    value = (value - 16) / 12;  // the wire carries 12v + 16
  } else if (inBlock(kOscillator1Semitone, idx) || inBlock(kOscillator2Semitone, idx) ||
             inBlock(kOscillator3Semitone, idx)) {
    value -= 52;
  } else if (inBlock(kMultiPartTranspose, idx)) {
    value -= 16;
  } else if (inBlock(kMultiPartVeloLow, idx) || inBlock(kMultiPartVeloHigh, idx)) {
    value -= 1;
  } else if (inBlock(kEffect2Mode, idx) || inBlock(kEffect1Mode, idx)) {
    if (inBlock(kEffect2Mode, idx) && value >= 32) value -= 22;
    if (mainTabFive) refreshQuickTab = true;
  } else if (idx == kGlobalLocalControl) {
    plug->setLocalControl(value != 0);
  } else if (inBlock(kMultiPartBank, idx) || inBlock(kMultiPartPatch, idx)) {
    // What a part plays is the record's, written by its pick's work: the
    // instrument's report of it is a pick (takeReport).
    return;
  }

  const double normalized = std::clamp((value - min) / (max - min), 0.0, 1.0);
  if (inBlock(kEffect1Mode, idx)) refreshQuickTab = true;
  if (inBlock(kEffect2Mode, idx)) {
    echoGuard = true;
    plug->setControlFromHardware(control, normalized);
    echoGuard = false;
    refreshQuickTab = true;
  }
  if (guardEcho) echoGuard = true;
  plug->setControlFromHardware(control, normalized);
  if (refreshQuickTab) plug->runParamChange(kQuickTab, true);
  echoGuard = false;
}

void MIDIMessageManager::getNormalControl(int k1, int k2, int k3, int k4, int value, bool guardEcho) {
  if (IControl* control = plug->getSysexControl(k1, k2, k3, k4, 0)) processSysExToUI(control, value, false, guardEcho);
  else controlNotFound = true;
}
