// What refuses a program change from the host or the instrument, decided as
// it comes in: a refused pick never counts as its part's newest, so the pick
// before it, on its way or waiting, goes on as if it never came.
#include <algorithm>
#include <string>

#include "EditorServices.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "ProgramChannel.h"

namespace {
constexpr int kHighestProgram = 100;  // the instrument's programs: higher ones are clamped
}  // namespace

int MIDIMessageManager::bankOfPick(const Pick& pick) const {
  if (pick.bank >= 0) return pick.bank;
  if (const int pending = picks.pendingBank(pick.slot); pending >= 0) return pending;
  const IParam* shown = plug->paramAt(kMultiPartBank + pick.slot);
  return shown ? shown->Int() : 0;
}

int MIDIMessageManager::clampedProgram(int part, int program) const {
  const IParam* shown = plug->paramAt(kMultiPartPatch + std::clamp(part, 0, 15));
  const int highest = shown ? std::min(kHighestProgram, static_cast<int>(shown->GetMax())) : kHighestProgram;
  return std::clamp(program, 0, highest);
}

PickRefusal MIDIMessageManager::refusalAtEntry(const Pick& pick) const {
  const int part = pick.slot;
  if (part < 0 || part > 15) return PickRefusal::kNone;
  if (const IParam* lock = plug->paramAt(kPartLock + part); lock && lock->Value() == 1.0) return PickRefusal::kLocked;
  if (const PickRefusal port = portRefusal(); port != PickRefusal::kNone) return port;
  const bool library = plug->isLibraryMode();
  if (const IParam* rx = plug->paramAt(kGlobalRxProgramChange); !library && (!rx || rx->Value() <= 0.0))
    return PickRefusal::kRxOff;
  if (programChannel(*plug, part, false) < 0) return PickRefusal::kNoChannel;
  // In library mode the slot of that number goes, on the pick's bank.
  const int program = library ? pick.program : clampedProgram(part, pick.program);
  if (pick.program >= 0 && plug->pairPlayedElsewhere(part, bankOfPick(pick), program)) return PickRefusal::kConflict;
  return PickRefusal::kNone;
}

PickRefusal MIDIMessageManager::portRefusal() const {
  if (!plug->isMidiIOConfigured()) return PickRefusal::kNoPorts;
  if (plug->isOutPortGone()) return PickRefusal::kPortGone;
  if (plug->isOutUnplugged()) return PickRefusal::kUnplugged;
  return PickRefusal::kNone;
}

void MIDIMessageManager::sayRefused(const Pick& pick, PickRefusal why) {
  if (why == PickRefusal::kNone) return;
  const int part = pick.slot;
  switch (why) {
    case PickRefusal::kConflict: {
      const int program = plug->isLibraryMode() ? pick.program : clampedProgram(part, pick.program);
      plug->refusePartPick(part, bankOfPick(pick), program);
      break;
    }
    case PickRefusal::kNoChannel: plug->refuseNoProgramChannel(part, false); break;
    case PickRefusal::kNoPorts:
    case PickRefusal::kPortGone:
    case PickRefusal::kUnplugged: plug->sayPickRefused(why); break;
    default: break;  // a locked part, RX off: ignored, as the instrument would
  }
  plug->debugLog("PROCESSOR: program change " + std::to_string(pick.program + 1) + " for part " +
                 std::to_string(part + 1) + " refused as it came in");
}

void MIDIMessageManager::logOvertaken(int part, const Pick& pick) {
  if (mShuttingDown || part < 0 || part > 15 || pick.work != Pick::Work::kProgram || pick.program < 0) return;
  plug->debugLog("PROCESSOR: program change " + std::to_string(pick.program + 1) + " for part " +
                 std::to_string(part + 1) + " overtaken by a newer change");
}
