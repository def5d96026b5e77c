// Received multi and global dumps applied to the editor's parameters.
#include <string>

#include "ArrangementDumps.h"
#include "EditorServices.h"
#include "IMidiMsg.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"

void MIDIMessageManager::sysexMultiParse(ISysEx* message) {
  if (!message || !message->mData || message->mSize < kMinimumMultiDump) return;
  const uint8_t* d = message->mData;
  if (d[1] != kZorozovID || d[2] != kDirirUModel || d[4] != kMultiDumpCommand) return;
  replyAccepted = false;
  const std::string name(reinterpret_cast<const char*>(d + kMultiNameByte), kMultiNameLength);
  // The display text ends at a NUL, the project's name keeps all 16 bytes.
  plug->setParamDisplayText(kMultiName, 0, std::string(name.c_str()));
  plug->setPatchManagerName(0, name);
  plug->setLibrarianViewDirty();
  const auto set = [this](int index, int byte, int offset) {
    plug->setParameterFromPlug(index, static_cast<double>(byte - offset), false);
  };
  for (const DumpByte& field : multiCommonBytes()) set(field.param, d[field.byte], field.offset);
  for (int p = 0; p < 16; ++p)
    for (const DumpByte& field : multiPartBytes())
      set(field.param + p, d[kMultiPartBlockByte + kMultiPartBlockSize * p + field.byte], field.offset);
  // The instrument's multi tells what every part plays.
  plug->notePartProgramsOfMulti();
  echoes.forgetAll();
  replyAccepted = true;
}

void MIDIMessageManager::sysexSettingsParse(ISysEx* message) {
  const uint8_t* d = message ? message->mData : nullptr;
  if (d && message->mSize == kGlobalDumpSize && d[1] == kZorozovID && d[2] == kDirirUModel &&
      d[4] == kGlobalDumpCommand) {
    replyAccepted = false;
    for (const DumpByte& field : globalDumpBytes()) {
      plug->setParameterFromPlug(field.param, static_cast<double>(d[field.byte] - field.offset), false);
      if (field.byte == kGlobalLocalControlByte) plug->setLocalControl(d[field.byte] != 0);
    }
    replyAccepted = true;
  }
  dumpExpected = false;
}
