// The direct MIDI ports: device lists, selection by name and the input path.
#include <cstdio>
#include <cstring>

#include "IPlugBase.h"
#include "MidiPorts.h"

namespace {
constexpr const char* kSelectMIDIDevice = "Select MIDI Device";
constexpr const char* kOutClientName = "RtMidi Output Client";
constexpr const char* kInClientName = "RtMidi Input Client";
constexpr const char* kOutPortName = "RtMidi Output";
constexpr const char* kInPortName = "RtMidi Input";
constexpr unsigned kInQueueLimit = 100;

// Position of name among the first count + 1 entries, or -1.
template <class Port>
int FindInList(const std::vector<std::string>& list, Port* port, const char* name) {
  if (!port || !name) return -1;
  unsigned live = 0;
  try {
    live = port->getPortCount();
  } catch (const MidiError& error) {
    error.printMessage();
    return -1;
  }
  const size_t limit = std::min(list.size(), static_cast<size_t>(live) + 1);
  for (size_t i = 0; i < limit; ++i)
    if (list[i] == name) return static_cast<int>(i);
  return -1;
}

template <class Port>
int FindLivePort(Port* port, const char* name) {
  if (!port || !name) return -1;
  try {
    const unsigned count = port->getPortCount();
    for (unsigned j = 0; j < count; ++j)
      if (port->getPortName(j) == name) return static_cast<int>(j) + 1;
  } catch (const MidiError& error) {
    error.printMessage();
  }
  return -1;
}

template <class Port>
void FillNames(std::vector<std::string>& list, Port* port) {
  list.push_back(kSelectMIDIDevice);
  if (!port) return;
  try {
    const unsigned count = port->getPortCount();
    for (unsigned i = 0; i < count; ++i) list.push_back(port->getPortName(i));
  } catch (const MidiError& error) {
    error.printMessage();
  }
}

template <class Port>
void ClosePort(Port* port) {
  if (!port) return;
  try {
    port->closePort();
  } catch (const MidiError& error) {
    error.printMessage();
  }
}
}  // namespace

std::vector<std::string>& IPlugBase::getExternalMIDIOutNames() {
  if (!mOutNames.empty()) return mOutNames;
  mRequestedOutSelection = 0;
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  try {
    mMidiOut = CurrentMidiBackend().createOut(kOutClientName);
  } catch (const MidiError& error) {
    error.printMessage();
    mMidiOut.reset();
  }
  FillNames(mOutNames, mMidiOut.get());
  return mOutNames;
}

std::vector<std::string>& IPlugBase::getExternalMIDIInNames() {
  if (!mInNames.empty()) return mInNames;
  mRequestedInSelection = 0;
  try {
    mMidiIn = CurrentMidiBackend().createIn(kInClientName, kInQueueLimit);
    mMidiIn->setCallback(MIDICallback, this);
    mMidiIn->ignoreTypes(false, true, true);
  } catch (const MidiError& error) {
    error.printMessage();
    mMidiIn.reset();
  }
  FillNames(mInNames, mMidiIn.get());
  return mInNames;
}

int IPlugBase::setExternalMIDIOut(int& index, const char* name) {
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  if (mRequestedOutSelection > 0) ClosePort(mMidiOut.get());
  mRequestedOutSelection = index;
  if (index == 0 || mOutNames.empty() || !mMidiOut) {
    ClosePort(mMidiOut.get());
    return 0;
  }
  const int p = FindInList(mOutNames, mMidiOut.get(), name);
  index = p;
  if (p == -1) {
    index = 0;
    return 0;
  }
  if (p == 0) return 0;
  try {
    mMidiOut->openPort(static_cast<unsigned>(p - 1), kOutPortName);
  } catch (const MidiError& error) {
    error.printMessage();
    return 0;
  }
  return p;
}

int IPlugBase::setExternalMIDIIn(int& index, const char* name) {
  if (mRequestedInSelection > 0) ClosePort(mMidiIn.get());
  mRequestedInSelection = index;
  if (index == 0 || mInNames.empty() || !mMidiIn) {
    ClosePort(mMidiIn.get());
    return 0;
  }
  const int p = FindInList(mInNames, mMidiIn.get(), name);
  index = p;
  if (p == -1) {
    index = 0;
    return 0;
  }
  if (p == 0) return 0;
  try {
    mMidiIn->openPort(static_cast<unsigned>(p - 1), kInPortName);
  } catch (const MidiError& error) {
    error.printMessage();
    return 0;
  }
  return p;
}

int IPlugBase::getExternalMIDIOutDevice(const char* name) { return FindInList(mOutNames, mMidiOut.get(), name); }

int IPlugBase::getExternalMIDIInDevice(const char* name) { return FindInList(mInNames, mMidiIn.get(), name); }

int IPlugBase::GetMIDIOutPortNumber(const char* name) {
  if (!name) return -1;
  if (!std::strcmp(name, kSelectMIDIDevice)) return 0;
  if (!std::strcmp(name, "virtual output")) return 1;
  return FindLivePort(mMidiOut.get(), name);
}

int IPlugBase::GetMIDIInPortNumber(const char* name) {
  if (!name) return -1;
  if (!std::strcmp(name, kSelectMIDIDevice)) return 0;
  if (!std::strcmp(name, "virtual input")) return 1;
  return FindLivePort(mMidiIn.get(), name);
}

bool IPlugBase::initializeVirtualOutput(std::string name) {
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  // The old object goes first, so its port does not stay open behind us.
  if (mMidiOut) {
    ClosePort(mMidiOut.get());
    mMidiOut.reset();
  }
  try {
    mMidiOut = CurrentMidiBackend().createOut(kOutClientName);
    mMidiOut->openVirtualPort("From " + name);
  } catch (const MidiError& error) {
    error.printMessage();
    mMidiOut.reset();
    return false;
  }
  return true;
}

void IPlugBase::MIDICallback(double timeStamp, std::vector<unsigned char>* message, void* userData) {
  if (!userData) return;
  static_cast<IPlugBase*>(userData)->processMIDIInput(timeStamp, message, userData);
}

void IPlugBase::processMIDIInput(double, std::vector<unsigned char>* message, void* userData) {
  if (!userData || !message || message->empty()) return;
  IPlugBase* plug = static_cast<IPlugBase*>(userData);
  const std::vector<unsigned char>& bytes = *message;
  if (bytes.size() <= 3) {
    IMidiMsg msg(0, bytes[0], bytes.size() > 1 ? bytes[1] : 0, bytes.size() > 2 ? bytes[2] : 0);
    plug->ProcessMidiMsg(&msg, true);
  } else {
    const std::vector<unsigned char> copy(bytes);
    ISysEx sysex(0, copy.data(), static_cast<int>(copy.size()));
    plug->ProcessSysEx(&sysex, true);
  }
}

void IPlugBase::StopMidiInput() {
  if (!mMidiIn) return;
  try {
    mMidiIn->cancelCallback();
    mMidiIn->closePort();
  } catch (const MidiError& error) {
    error.printMessage();
  }
}

namespace {
// What no instrument should ever receive: a message without a status byte,
// a data byte of 0x80 or more, or four bytes or more that are not SysEx.
const char* MalformedReason(const unsigned char* bytes, size_t size) {
  if (bytes[0] < 0x80) return "message without a status byte";
  if (bytes[0] == 0xF0) {
    for (size_t i = 1; i < size; ++i)
      if (bytes[i] >= 0x80 && !(i == size - 1 && bytes[i] == 0xF7)) return "SysEx data byte of 0x80 or more";
    return nullptr;
  }
  if (size > 3) return "message of four bytes or more that is not SysEx";
  for (size_t i = 1; i < size; ++i)
    if (bytes[i] >= 0x80) return "data byte of 0x80 or more";
  return nullptr;
}
}  // namespace

bool IPlugBase::SendToMidiOut(const unsigned char* bytes, size_t size) {
  if (!bytes || size == 0) return false;
  if (const char* reason = MalformedReason(bytes, size)) {
    std::fprintf(stderr, "MIDI out: not sent: %s\n", reason);
    return false;
  }
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  if (!mMidiOut) return false;
  try {
    // A port that is not open drops the message, as the MIDI system does.
    if (mMidiOut->isPortOpen()) mMidiOut->sendMessage(bytes, size);
  } catch (const MidiError& error) {
    error.printMessage();
    return false;
  }
  return true;
}

bool IPlugBase::SendMidiMsgs(WDL_TypedBuf<IMidiMsg>* msgs) {
  bool ok = true;
  for (IMidiMsg& msg : *msgs) ok = SendMidiMsg(&msg) && ok;
  return ok;
}
