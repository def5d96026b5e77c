// The MIDI-port, filter, routing and clock commands, and the settings file
// that keeps the ports, the window size and the colour scheme between runs.
#include <optional>
#include <string>

#include "ControlLayer.h"
#include "FailureText.h"
#include "MidiPorts.h"
#include "IControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "Tarnivex.h"
#include "UserFiles.h"

namespace {
constexpr const char* kSizeNames[] = {"small", "normal", "large"};
constexpr double kSizeScales[] = {0.85, 1.0, 1.15};
constexpr const char* kSchemeNames[] = {"yellow", "blue", "phoenix"};

// Position in list of name, or of the one entry that starts with it (names
// kept in a project are cut to 32 bytes); 0 when there is none.
int findPort(const std::vector<std::string>& list, const std::string& name) {
  if (name.empty()) return 0;
  for (size_t i = 1; i < list.size(); ++i)
    if (list[i] == name) return static_cast<int>(i);
  int found = 0;
  for (size_t i = 1; i < list.size(); ++i) {
    if (list[i].compare(0, name.size(), name) != 0) continue;
    if (found) return 0;  // not unique
    found = static_cast<int>(i);
  }
  return found;
}
}  // namespace

// A port layer that has not looked at the system's ports yet (the process's
// JACK client is still opening) takes a stored name as it is and connects
// it when it can; the menu then shows the name. A project's "no port" is
// no name: taken as one, it would close the port the settings file opened.
int Tarnivex::openUnlisted(bool output, const std::string& name) {
  MidiPortList* port = output ? static_cast<MidiPortList*>(mMidiOut.get()) : mMidiIn.get();
  if (!namesAPort(name) || !port) return 0;
  if (port->portsListed()) {  // looked since the list was made: only a port it saw
    bool live = false;
    try {
      for (unsigned i = 0, count = port->getPortCount(); i < count && !live; ++i) live = port->getPortName(i) == name;
    } catch (const MidiError& error) {
      error.printMessage();
    }
    if (!live) return 0;
  }
  int requested = 1;
  const int opened = output ? setExternalMIDIOut(requested, name.c_str()) : setExternalMIDIIn(requested, name.c_str());
  if (opened <= 0) return 0;
  (output ? midiOutPortIndex : midiInPortIndex) = opened;
  showPortList(output);
  return opened;
}

void Tarnivex::showPortList(bool output) {
  const std::vector<std::string>& list = output ? getExternalMIDIOutNames() : getExternalMIDIInNames();
  IParam* param = GetParam(output ? kDeviceOutSelection : kDeviceInSelection);
  param->InitEnum("Device Selection", 0, static_cast<int>(list.size()), "", "", -1, -1);
  param->ResetDisplayTexts();
  for (size_t i = 0; i < list.size(); ++i) param->SetDisplayText(static_cast<int>(i), list[i].c_str());
  param->Set(output ? midiOutPortIndex.load() : midiInPortIndex.load());
}

int Tarnivex::reopenMidiOut(const std::string& name) {
  const std::vector<std::string> list = getExternalMIDIOutNames();
  int index = findPort(list, name);
  // A name no port has (the instrument is off, or none was chosen) leaves
  // the port that is open as it is.
  if (index == 0) {
    const int opened = openUnlisted(true, name);
    return opened > 0 ? opened : midiOutPortIndex.load();
  }
  // The port open already stays open: reconnecting it would only cost time.
  if (index == midiOutPortIndex && mMidiOut && mMidiOut->isPortOpen()) return index;
  const int opened = setExternalMIDIOut(index, list[static_cast<size_t>(index)].c_str());
  midiOutPortIndex = opened > 0 ? opened : 0;
  return midiOutPortIndex;
}

int Tarnivex::reopenMidiIn(const std::string& name) {
  const std::vector<std::string> list = getExternalMIDIInNames();
  int index = findPort(list, name);
  if (index == 0) {
    const int opened = openUnlisted(false, name);
    return opened > 0 ? opened : midiInPortIndex.load();
  }
  if (index == midiInPortIndex && mMidiIn && mMidiIn->isPortOpen()) return index;
  const int opened = setExternalMIDIIn(index, list[static_cast<size_t>(index)].c_str());
  midiInPortIndex = opened > 0 ? opened : 0;
  return midiInPortIndex;
}

std::string Tarnivex::chosenPortName(bool output) const {
  std::lock_guard<std::mutex> lock(mChosenPortsMutex);
  return output ? mChosenOutName : mChosenInName;
}

void Tarnivex::setChosenPortName(bool output, const std::string& name) {
  std::lock_guard<std::mutex> lock(mChosenPortsMutex);
  (output ? mChosenOutName : mChosenInName) = name;
}

void Tarnivex::reopenStoredPorts() {
  const std::string out = settings.line(SettingsFile::kMidiOut);
  if (out.empty() || settings.line(SettingsFile::kFirstRun) != "yes") return;
  const std::string in = settings.line(SettingsFile::kMidiIn);
  setChosenPortName(true, out);
  setChosenPortName(false, in);
  debugLog("DEFAULT SETTINGS: MIDI In device stored " + in);
  const int inIndex = reopenMidiIn(in);
  GetParam(kDeviceInSelection)->Set(inIndex);
  debugLog("DEFAULT SETTINGS: MIDI Out device stored " + out);
  const int outIndex = reopenMidiOut(out);
  GetParam(kDeviceOutSelection)->Set(outIndex);
  midiIOConfigured = GetParam(kDeviceOutSelection)->Int() > 0;
  setParameterFromPlug(kDeviceInSelection, GetParam(kDeviceInSelection)->Value(), false);
  setParameterFromPlug(kDeviceOutSelection, GetParam(kDeviceOutSelection)->Value(), false);
  initialisationPending = true;
}

void Tarnivex::OnCaptionMenu(int paramIdx) {
  if (paramIdx == kDeviceOutSelection || paramIdx == kDeviceInSelection) OnMidiDeviceMenu(paramIdx == kDeviceInSelection);
}

void Tarnivex::OnMidiDeviceMenu(bool input) {
  const bool output = !input;
  std::atomic<int>& open = output ? midiOutPortIndex : midiInPortIndex;
  const std::vector<std::string>& before = output ? getExternalMIDIOutNames() : getExternalMIDIInNames();
  const std::string openName = open > 0 && open < static_cast<int>(before.size()) ? before[static_cast<size_t>(open)] : "";
  const std::vector<std::string>& list = output ? refreshExternalMIDIOutNames() : refreshExternalMIDIInNames();
  // The open port keeps its place in the menu under its new position.
  int index = 0;
  for (size_t i = 1; i < list.size() && !openName.empty(); ++i)
    if (list[i] == openName) index = static_cast<int>(i);
  open = index;
  showPortList(output);
  const int paramIdx = output ? kDeviceOutSelection : kDeviceInSelection;
  setParameterFromPlug(paramIdx, GetParam(paramIdx)->Value(), false);
}

void Tarnivex::selectMidiPort(bool output, int index) {
  const std::vector<std::string> list = output ? getExternalMIDIOutNames() : getExternalMIDIInNames();
  // The name comes from the port list, not from the menu's display text,
  // which is cut to 55 characters.
  const std::string name = index > 0 && index < static_cast<int>(list.size()) ? list[static_cast<size_t>(index)] : "";
  int requested = index;
  const int found = output ? setExternalMIDIOut(requested, name.c_str()) : setExternalMIDIIn(requested, name.c_str());
  (output ? midiOutPortIndex : midiInPortIndex) = found > 0 ? found : 0;
  if (found > 0 || index <= 0) setChosenPortName(output, found > 0 ? name : std::string());
  if (output) {
    if (found > 0) {
      midiIOConfigured = true;
      sendSysExInitialization();
    } else {
      if (midiMessageManager) midiMessageManager->resetContinuousClock(true);
      midiIOConfigured = false;
    }
  }
}

// The size and scheme the editor is built with come from the settings file,
// not from a project: after a restore their controls show the editor's.
void Tarnivex::showEditorSizeAndScheme() {
  for (int i = 0; i < 3; ++i)
    if (mUIScale == kSizeScales[i]) setParameterFromPlug(kUserInterfaceSize, i, false);
  setParameterFromPlug(kUserInterfaceStyle, colourScheme, false);
}

bool Tarnivex::runMidiSettingsCommand(int paramIdx, double value) {
  const int iv = static_cast<int>(value);
  const bool one = value == 1.0;
  int writeError = 0;
  // A file that is there but cannot be written says why.
  auto missing = [this, &writeError] {
    if (userfiles::nameTaken(settingsPath)) {
      showStatus("Tarnivex Editor UI.txt not saved!", userfiles::failureReason(writeError, settingsPath));
      return;
    }
    showStatus("Tarnivex Editor UI.txt MISSING!", "Contact support");
  };
  // No text: the line stays as the file holds it (another instance may
  // have changed it since this one read it).
  auto rewrite = [this, &writeError](SettingsFile::Line line, std::optional<std::string> text) {
    bool written = false;
    besideFiles([&] { written = settings.rewrite(settingsPath, line, std::move(text), &writeError); });
    return written;
  };

  if (paramIdx >= kMIDIFilterDAWCCPassThrough && paramIdx < kMIDIFilterDAWCCPassThrough + static_cast<int>(kFilterKinds)) {
    hostBlocked[static_cast<size_t>(paramIdx - kMIDIFilterDAWCCPassThrough)] = !one;
    return false;
  }
  if (paramIdx >= kMIDIFilterHWCCPassThrough && paramIdx < kMIDIFilterHWCCPassThrough + static_cast<int>(kFilterKinds)) {
    deviceBlocked[static_cast<size_t>(paramIdx - kMIDIFilterHWCCPassThrough)] = !one;
    return false;
  }
  switch (paramIdx) {
    case kMIDIFilterTrackIncomingMIDI: trackIncoming = one; return false;
    case kMIDIFilterDirectToHardware:
      if (one) {
        setParameterFromPlug(kMIDIFilterToDAWBuffer, 0.0, false);
        midiToHostBuffer = false;
      }
      return false;
    case kMIDIFilterToDAWBuffer:
      if (one) {
        setParameterFromPlug(kMIDIFilterDirectToHardware, 0.0, false);
        midiToHostBuffer = true;
      }
      return false;
    case kSendMIDIClockPointer: clockPointerOn = one; return false;
    case kSendMIDIClockInfo:
      clockAwaitsHostTempo = false;  // the switch samples the tempo itself
      if (one) {
        OnParamChange(kTempoInformation);  // the host's tempo is read first
        clockInfoOn = true;
        if (midiMessageManager) midiMessageManager->resetContinuousClock(false);
      } else {
        clockInfoOn = false;
        if (midiMessageManager) midiMessageManager->resetContinuousClock(true);
      }
      continuousClockStarted = false;
      return false;
    case kMasterKeyboard: masterKeyboard = one; return false;
    case kAdjustDAWOffset: hostBufferOffset = 2 * iv + GetBlockSize(); return false;
    case kViewMIDIFilterSettings:
      if (midiFilterLayer) midiFilterLayer->Hide(!one);
      // Closing only redraws the page under the window, as the about box's
      // close does: a part request or project send that runs keeps its
      // busy, restore and "dump expected" flags.
      if (!one) flashProcessingIndicator();
      return false;
    // Read here, then shown in the header as every value is.
    case kTempoInformation: tempoValue = static_cast<int>(GetTempo()); return false;
    case kDeviceOutSelection:
    case kDeviceInSelection: {
      const bool output = paramIdx == kDeviceOutSelection;
      selectMidiPort(output, iv);
      const int found = output ? midiOutPortIndex.load() : midiInPortIndex.load();
      const SettingsFile::Line line = output ? SettingsFile::kMidiOut : SettingsFile::kMidiIn;
      const std::vector<std::string>& list = output ? getExternalMIDIOutNames() : getExternalMIDIInNames();
      std::optional<std::string> text;
      if (found > 0 && found < static_cast<int>(list.size())) text = list[static_cast<size_t>(found)];
      if (!rewrite(line, text)) {
        missing();
        return true;
      }
      showStatus(output ? "Default MIDI output set." : "Default MIDI input set.", "");
      return false;
    }
    case kUserInterfaceSize: {
      if (iv < 0 || iv > 2) return true;
      if (!rewrite(SettingsFile::kSize, kSizeNames[iv])) {
        missing();
        // The controls show what the file holds, not the value refused.
        showEditorSizeAndScheme();
        return true;
      }
      mUIScale = kSizeScales[iv];
      setParameterFromPlug(kUserInterfaceSize, iv, false);
      showStatus("Size changes applied...", "Reload project!");
      return true;
    }
    case kUserInterfaceStyle: {
      if (iv < 0 || iv > 2) return true;
      if (!rewrite(SettingsFile::kStyle, kSchemeNames[iv])) {
        missing();
        // The controls show what the file holds, not the value refused.
        showEditorSizeAndScheme();
        return true;
      }
      colourScheme = iv;
      showStatus("Color Scheme applied...", "Reload project!");
      return true;
    }
    case kFirstRunExit: {
      if (!firstRun) {
        if (conflictLayer) conflictLayer->Hide(true);
      } else {
        if (value == 0.0) return true;
        showStatus("Set MIDI In and MIDI Out", "");
        if (!rewrite(SettingsFile::kFirstRun, one ? std::optional<std::string>("yes") : std::nullopt)) {
          missing();
          return true;
        }
        if (firstRunLayer) firstRunLayer->Hide(true);
        firstRun = false;
      }
      DisplayProcessingIndicator(true);
      DisplayProcessingIndicator(false);
      return true;
    }
    default: return false;
  }
}
