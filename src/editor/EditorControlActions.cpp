// The editor's way out to the instrument: an edited parameter's action, and
// the exit for complete SysEx messages with the dump checksum.
#include <algorithm>
#include <string>

#include "ControlAction.h"
#include "IControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "SysExFormat.h"
#include "Tarnivex.h"

namespace {
constexpr const char* kSetMidiIOFirst = "Set MIDI I/O First!";

bool refusesSilently(int paramIdx) {
  return paramIdx == kDeviceOutSelection || paramIdx == kDeviceInSelection || paramIdx == kGlobalSysExID ||
         paramIdx == kQModel;
}

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

void Tarnivex::processControlAction(ControlAction* action, int paramIdx, double value) {
  if (!action) return;
  if (!midiIOConfigured) {
    if (!refusesSilently(paramIdx)) showStatusText(kSetMidiIOFirst);
    return;
  }
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const int intValue = static_cast<int>(value);
  action->lastValue = intValue;
  if (linking) param->Set(std::clamp(value, param->GetMin(), param->GetMax()));
  const double normalized = param->GetNormalized();
  for (IControl* control : action->controls)
    if (control) control->SetValueFromPlug(normalized);

  // Values the instrument sent are never echoed; with local control on, a
  // value it applied itself is not either, unless the host sent it.
  const bool echo = deviceEcho || (midiMessageManager && midiMessageManager->echoGuard && localControl &&
                                   !midiMessageManager->lastChannelMessageFromHost);
  if (!echo) {
    switch (action->actionType) {
      case ControlAction::kController:
      case ControlAction::kControllerSwitch: {
        IParam* channelParam = GetParam(kMultiPartMIDICh + std::clamp(action->part, 0, 15));
        const int setting = channelParam ? channelParam->Int() : 0;
        const int channel = setting >= 2 ? setting - 2 : setting;
        int ccValue = std::clamp(intValue, 0, 127);
        if (action->actionType == ControlAction::kControllerSwitch)
          ccValue = intValue != 0 ? action->ccOnValue : action->ccOffValue;
        if (channel < 0 || channel > 15 || action->ccNumber < 0 || action->ccNumber > 127 || ccValue < 0 ||
            ccValue > 127) {
          debugLog("PROCESSOR: controller for parameter " + std::to_string(paramIdx) + " not sent: out of range");
          break;
        }
        IMidiMsg msg(0, static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(action->ccNumber),
                     static_cast<uint8_t>(ccValue));
        SendMidiMsg(&msg);
        break;
      }
      case ControlAction::kSysExSwitch:
      case ControlAction::kSysEx: {
        // Message n is prepared for the n-th value from the minimum.
        const int number = intValue - static_cast<int>(param->GetMin());
        const auto& messages = action->sysex.messages;
        if (number < 0 || number >= static_cast<int>(messages.size()) || !midiMessageManager) break;
        std::vector<int> message = messages[static_cast<size_t>(number)];
        IParam* device = GetParam(kGlobalSysExID);
        if (message.size() > 2 && device && device->Int() >= 0) message[2] = device->Int();
        midiMessageManager->sendSysexMessage(message);
        break;
      }
      default: break;
    }
  }
  if (midiMessageManager) {
    midiMessageManager->SetFX1ParameterChangesToDefaultParameters(paramIdx, intValue);
    midiMessageManager->SetFX2ParameterChangesToDefaultParameters(paramIdx, intValue);
  }
}

void Tarnivex::checksumCheckAndSend(unsigned char* message, int length) {
  if (!message || length <= 0) return;
  if (!midiIOConfigured) {
    showStatusText(kSetMidiIOFirst);
    return;
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
  if (sendSysExToDevice(message, length)) debuggerOutput.logSysExOutMessageByte(message, length);
}

bool Tarnivex::sendSysExToDevice(unsigned char* bytes, int length) {
  if (!bytes || length <= 0) return false;
  if (const char* reason = malformedSysEx(bytes, length)) {
    debugLog(std::string("PROCESSOR: SysEx message not sent: ") + reason);
    return false;
  }
  return SendMidiSysex(bytes, length);
}

bool Tarnivex::sendRawToDevice(std::vector<unsigned char> bytes) {
  if (bytes.empty()) return false;
  return SendMidiSysex2(std::move(bytes));
}

void Tarnivex::logSysExOutMessageByteInt(std::vector<int> message, int count) {
  debuggerOutput.logSysExOutMessageByteInt(std::move(message), count);
}
