// An edited parameter's action on the wire: the controller or SysEx message
// its kind names, sent unless an echo rule forbids it.
#include <algorithm>
#include <string>

#include "ControlAction.h"
#include "IControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace {
constexpr const char* kSetMidiIOFirst = "Set MIDI I/O First!";
constexpr int kArpFields = 5;
constexpr int kArpSteps = 16;
constexpr int kArpStepSpan = kArpFields * 16;  // glide, accent, step, timing, length

// Also the discard of a bank edit, which needs no MIDI: its own status text
// (the reload's result) stays.
bool refusesSilently(int paramIdx) {
  return paramIdx == kDeviceOutSelection || paramIdx == kDeviceInSelection || paramIdx == kGlobalSysExID ||
         paramIdx == kQModel || paramIdx == kDiscardBankData;
}

bool inBlock(int base, int idx) { return idx >= base && idx < base + 16; }

// The controller value a kind-1 action sends for value.
int controllerValue(int paramIdx, double value) {
  const int base = paramIdx & ~0xF;
  if (base == kOscillator1Semitone || base == kOscillator2Semitone || base == kOscillator3Semitone)
    return static_cast<int>(value + 52.0);
  if (paramIdx < kOscillator1Octave + 16 || base == kOscillator2Octave || base == kOscillator3Octave)
    return static_cast<int>(value * 12.0 + 16.0);
  return static_cast<int>(value);
}

// Why a message body must not leave, or null.
const char* badBody(const std::vector<int>& message) {
  if (message.empty()) return "empty message";
  for (int byte : message)
    if (byte < 0 || byte > 0x7F) return "data byte outside 0-127";
  return nullptr;
}
}  // namespace

int Tarnivex::packedValueByte(int actionType, int paramIdx) const {
  auto value = [this](int idx) { return static_cast<int>(GetParam(idx)->Value()); };
  const bool sysex = actionType == ControlAction::kSysEx;
  const bool sysexSwitch = actionType == ControlAction::kSysExSwitch;
  if ((sysexSwitch && inBlock(kOscillatorMonoPolyMode, paramIdx)) || (sysex && inBlock(kOscillatorUnisono, paramIdx))) {
    const int part = inBlock(kOscillatorUnisono, paramIdx) ? paramIdx - kOscillatorUnisono
                                                           : paramIdx - kOscillatorMonoPolyMode;
    return 16 * value(kOscillatorUnisono + part) + value(kOscillatorMonoPolyMode + part);
  }
  const int offset = paramIdx - kArpPattern01Glide;
  if (offset < 0 || offset >= kArpSteps * kArpStepSpan) return -1;
  const int step = kArpPattern01Glide + offset / kArpStepSpan * kArpStepSpan;
  const int field = offset % kArpStepSpan / 16;
  const int part = offset % 16;
  const int glide = value(step + part), accent = value(step + 16 + part), stepOn = value(step + 32 + part);
  const int timing = value(step + 48 + part), length = value(step + 64 + part);
  if ((sysexSwitch && field == 0) || (sysex && (field == 1 || field == 2))) return accent + 8 * glide + 16 * stepOn;
  if (sysex && (field == 3 || field == 4)) return timing + 16 * length;
  return -1;
}

bool Tarnivex::actionMaySend() const {
  if (deviceEcho) return false;
  const bool incomingSet = midiMessageManager && midiMessageManager->echoGuard;
  const bool fromHost = midiMessageManager && midiMessageManager->lastChannelMessageFromHost;
  return !incomingSet || !localControl || fromHost;
}

void Tarnivex::sendActionSysEx(std::vector<int> message, int paramIdx, int packed) {
  const int device = GetParam(kGlobalSysExID) ? GetParam(kGlobalSysExID)->Int() : -1;
  if (device >= 0 && message.size() > 2) message[2] = device;
  if (packed >= 0 && message.size() > 7) message[7] = packed;
  showCCText("SysEx");
  if (!actionMaySend() || !midiMessageManager) return;
  if (const char* reason = badBody(message)) {
    debugLog("MIDI OUT: SysEx for parameter " + std::to_string(paramIdx) + " not sent: " + reason);
    return;
  }
  midiMessageManager->sendSysexMessage(std::move(message));
}

void Tarnivex::showCCText(const char* text) {
  if (paramCCDisplay) paramCCDisplay->SetTextFromPlug(text);
}

void Tarnivex::processControlAction(ControlAction* action, int paramIdx, double value) {
  if (!action) return;
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const std::vector<IControl*> controls = action->controls;
  auto showOnControls = [&] {
    for (IControl* control : controls) {
      if (!control) continue;
      if (linking) param->Set(std::clamp(value, param->GetMin(), param->GetMax()));
      control->SetValueFromPlug(param->GetNormalized());
    }
  };
  if (!midiIOConfigured) {
    if (!refusesSilently(paramIdx)) showStatus(kSetMidiIOFirst, "");
    // The editor's own settings send nothing; their buttons (an open and a
    // close button for one window) still show one value.
    if (action->actionType == ControlAction::kNone) showOnControls();
    return;
  }
  const int intValue = static_cast<int>(value);
  action->lastValue = intValue;
  showOnControls();

  switch (action->actionType) {
    case ControlAction::kController:
    case ControlAction::kControllerSwitch: {
      const int x = action->actionType == ControlAction::kController
                        ? controllerValue(paramIdx, value)
                        : (value != 0.0 ? action->ccOnValue : action->ccOffValue);
      const std::string text = "CC|" + std::to_string(action->ccNumber);
      showCCText(text.c_str());
      if (!actionMaySend()) break;
      int channel = -1;
      if (action->part >= 0 && action->part < 16) {
        const int c = GetParam(kMultiPartMIDICh + action->part)->Int();
        channel = c >= 2 ? c - 2 : c;
      }
      const char* reason = channel < 0 || channel > 15 ? "channel outside 0-15"
                           : action->ccNumber < 0 || action->ccNumber > 127 ? "controller number outside 0-127"
                           : x < 0 || x > 127 ? "controller value outside 0-127"
                                              : nullptr;
      if (reason) {
        debugLog("MIDI OUT: controller for parameter " + std::to_string(paramIdx) + " not sent: " + reason);
        break;
      }
      IMidiMsg msg(0, static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(action->ccNumber),
                   static_cast<uint8_t>(x));
      sendMidiMsgAndLog(&msg);
      break;
    }
    case ControlAction::kSysExSwitch:
    case ControlAction::kSysEx: {
      // Message n is prepared for the n-th value from the minimum; a value
      // with no prepared message sends nothing.
      const int number = intValue - static_cast<int>(param->GetMin());
      const auto& sysex = action->sysex;
      if (action->actionType == ControlAction::kSysEx && sysex.hasMessageLists) {
        if (number < 0 || number >= static_cast<int>(sysex.messageLists.size())) {
          showCCText("SysEx");
          break;
        }
        for (const std::vector<int>& message : sysex.messageLists[static_cast<size_t>(number)])
          sendActionSysEx(message, paramIdx, -1);
        if (sysex.messageLists[static_cast<size_t>(number)].empty()) showCCText("SysEx");
        break;
      }
      if (number < 0 || number >= static_cast<int>(sysex.messages.size())) {
        showCCText("SysEx");
        break;
      }
      sendActionSysEx(sysex.messages[static_cast<size_t>(number)], paramIdx,
                      packedValueByte(action->actionType, paramIdx));
      break;
    }
    default: break;
  }
  if (midiMessageManager) {
    midiMessageManager->SetFX1ParameterChangesToDefaultParameters(paramIdx, intValue);
    midiMessageManager->SetFX2ParameterChangesToDefaultParameters(paramIdx, intValue);
  }
}
