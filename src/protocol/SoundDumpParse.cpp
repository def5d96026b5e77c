// A received sound dump applied to the parameters of the part it names,
// section locks respected.
#include <array>
#include <string>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "SoundDump.h"

namespace {
constexpr int kMinimumSoundDump = 390;
constexpr int kMaxPart = 15;

std::string textAt(const uint8_t* data, int first, int length) {
  return std::string(reinterpret_cast<const char*>(data + first), static_cast<size_t>(length));
}

std::string displayText(EditorServices* plug, int index) { return plug->paramDisplayText(index, 0); }

void setDisplayText(EditorServices* plug, int index, const std::string& text) {
  // The display text ends at the first NUL, as a C string does.
  plug->setParamDisplayText(index, 0, std::string(text.c_str()));
}
}  // namespace

void MIDIMessageManager::sysexPatchParse(ISysEx* message) {
  if (!message || !message->mData || message->mSize < kMinimumSoundDump) return;
  const uint8_t* d = message->mData;
  if (d[1] != kZorozovID || d[2] != kDirirUModel || d[4] != kSoundDumpCommand) return;
  const int part = d[kSoundProgramByte];
  if (part > kMaxPart) {
    // Another part's parameters would be overwritten.
    plug->debugLog("PROCESSOR: sound dump for part " + std::to_string(part) + " ignored");
    return;
  }
  if (message->mSize >= kSoundDumpSize && d[kSoundChecksumByte] != dumpChecksum(d, kSoundDumpSize))
    plug->debugLog("PROCESSOR: sound dump for part " + std::to_string(part) + " has a wrong checksum");
  replyAccepted = false;

  std::array<bool, kParamCount> locked{};
  for (int lock : sectionLockBases()) {
    IParam* param = plug->paramAt(lock + part);
    locked[static_cast<size_t>(lock)] = param && param->Value() == 1.0;
  }

  const int shown = plug->getCurrentPart();
  const std::string name = textAt(d, kSoundNameByte, kSoundNameLength);
  setDisplayText(plug, kPatchName + part, name);
  plug->setPatchManagerName(1 + part, name);
  plug->setLibrarianViewDirty();
  plug->displayPatchName(displayText(plug, kPatchName + shown));

  const std::string category = textAt(d, kSoundCategoryByte, kSoundCategoryLength);
  setDisplayText(plug, kCategoryName + part, category);
  plug->setPatchManagerName(19 + part, category);
  plug->setLibrarianViewDirty();
  plug->displayCategoryName(displayText(plug, kCategoryName + shown));

  const auto set = [this](int index, double value) { plug->setParameterFromPlug(index, value, false); };
  const int last = std::min(kLastParameterByte, message->mSize - 1);
  for (int byte = kFirstParameterByte; byte <= last; ++byte) {
    const SoundDumpField* field = soundDumpFieldAt(byte);
    if (!field || locked[static_cast<size_t>(field->lock)]) continue;
    decodeSoundDumpField(*field, d[byte], part, set);
    if (field->rule == DumpRule::kFilterLink) plug->setPartFilterLinkValue(part, d[byte]);
  }
  // The library's entry handed over is the editor's alone until it has gone
  // out; a reply is the instrument's own sound: shown, never sent back.
  plug->endPartSoundHeld(part);
  replyAccepted = true;
}
