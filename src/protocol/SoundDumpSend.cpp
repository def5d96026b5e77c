// Job 2: one part's sound as a dump, to the part's edit buffer on the
// instrument or, as if the instrument had sent it, to the library slot.
#include <array>
#include <string>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "SoundDump.h"

namespace {
constexpr int kMaxPart = 15;
constexpr const char* kUnnamed = "Set Name";
}  // namespace

std::array<uint8_t, kSoundDumpSize> soundDumpOf(EditorServices& plug, int p) {
  std::array<uint8_t, kSoundDumpSize> dump = soundDumpTemplate();
  const auto valueOf = [&plug](int index) {
    IParam* param = plug.paramAt(index);
    return param ? param->Value() : 0.0;
  };
  dump[kDeviceIdByte] = static_cast<uint8_t>(std::clamp(static_cast<int>(valueOf(kGlobalSysExID)), 0, 0x7F));
  dump[kSoundProgramByte] = static_cast<uint8_t>(p);
  encodeSoundDumpParameters(dump.data(), valueOf, p);
  writeDumpText(dump.data() + kSoundNameByte, kSoundNameLength, plug.paramDisplayText(kPatchName + p, 0));
  writeDumpText(dump.data() + kSoundCategoryByte, kSoundCategoryLength, plug.paramDisplayText(kCategoryName + p, 0));
  return dump;
}

bool MIDIMessageSender::sendPartToDevice(const PickTicket& ticket, int p, bool toLibrarian, bool whileHeld) {
  observeLaneJob(2, p);
  if (p < 0 || p > kMaxPart) {
    plug->debugLog("PROCESSOR: no sound dump for part " + std::to_string(p));
    return false;
  }
  // Into the part it goes only while no newer pick of it has arrived.
  if (!toLibrarian && (!mManager.picks.newest(ticket) || (whileHeld && !plug->holdsPartSound(p)))) return false;
  const bool quiet = plug->isSendAllParts();
  if (!quiet) plug->DisplayProcessingIndicator(true);

  std::array<uint8_t, kSoundDumpSize> dump = soundDumpOf(*plug, p);
  const auto valueOf = [this](int index) {
    IParam* param = plug->paramAt(index);
    return param ? param->Value() : 0.0;
  };
  const std::string name = plug->paramDisplayText(kPatchName + p, 0);
  if (!quiet) {
    plug->setPatchManagerName(1 + p, name.empty() ? kUnnamed : name);
    plug->setLibrarianViewDirty();
  }
  const std::string category = plug->paramDisplayText(kCategoryName + p, 0);
  if (!quiet) {
    plug->setPatchManagerName(19 + p, category.empty() ? kUnnamed : category);
    plug->setLibrarianViewDirty();
  }
  if (p == plug->getCurrentPart() && !quiet) {
    plug->displayPatchName(name);
    plug->displayCategoryName(category);
  }

  bool sent = true;
  if (toLibrarian) {
    const int bank = static_cast<int>(valueOf(kMultiPartBank + p));
    const int program = mManager.patchLibrarian ? mManager.patchLibrarian->currentProgram.load() : 0;
    dump[kSoundBankByte] = static_cast<uint8_t>(std::clamp(bank, 0, 0x7F));
    dump[kSoundProgramByte] = static_cast<uint8_t>(program & 0x7F);
    // Library files are read by other tools and the instrument: they get
    // the checksum of what they hold.
    writeDumpChecksum(dump.data(), kSoundDumpSize);
    // A slot the library refuses is written nowhere, and the bank stays saved.
    if (plug->SetLibrarianRequestActive(true)) {
      ISysEx message(0, dump.data(), kSoundDumpSize);
      plug->deliverSysEx(&message, true);
      plug->SetLibrarianStatusUnsaved(true);
    }
  } else {
    // Only a sound that went out whole is the instrument's too; the dump
    // goes whole or not at all. The copy of a sound the part played goes
    // only while it still does: a program change that went meanwhile loaded
    // another, which it would overwrite.
    sent = mManager.picks.letGo(ticket, [&](const GatePass&) {
      if (whileHeld && !plug->holdsPartSound(p)) return false;
      return sendArrangementDump(dump.data(), kSoundDumpSize);
    });
    if (sent) plug->notePartSoundHeld(p);
    mManager.pause(kSoundSendPauseMs);
  }
  plug->DisplayProcessingIndicator(false);
  return sent;
}
