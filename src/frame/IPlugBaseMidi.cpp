// The direct MIDI ports: device lists, selection by name and the input path.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "IPlugBase.h"
#include "MidiPorts.h"
#include "RealtimeScope.h"
#include "WaitGuard.h"

namespace {
constexpr const char* kSelectMIDIDevice = "Select MIDI Device";
constexpr const char* kOutClientName = "RtMidi Output Client";
constexpr const char* kInClientName = "RtMidi Input Client";
constexpr const char* kOutPortName = "RtMidi Output";
constexpr const char* kInPortName = "RtMidi Input";
constexpr unsigned kInQueueLimit = 100;

// Position of name among the first live count + 1 entries, or -1.
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

// Live port position + 1 of the first port called name, or -1.
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

// Opens the port behind list position p (> 0). Ports may have come and gone
// since the list was built: when position p - 1 now carries another name and
// a live port carries this one, that port is opened instead.
template <class Port>
void OpenListedPort(Port& port, int p, const char* name, const char* portName) {
  unsigned system = static_cast<unsigned>(p - 1);
  if (port.getPortName(system) != name) {
    const int live = FindLivePort(&port, name);
    if (live > 0) system = static_cast<unsigned>(live - 1);
  }
  port.openPort(system, portName);
}

// Steps shared by both directions of device selection. opened is the name
// of the device open afterwards, empty for none.
template <class Port>
int SelectDevice(Port* port, std::vector<std::string>& list, int& requested, int& index, const char* name,
                 const char* portName, std::string& opened) {
  if (requested > 0 && port) port->closePort();
  opened.clear();
  requested = index;
  if (index == 0 || list.empty() || !port) {
    if (port) port->closePort();
    return 0;
  }
  int p = FindInList(list, port, name);
  // A system that had not looked at its ports when the list was made (the
  // process's JACK client was still opening) takes a device by name: one it
  // now lists, or, while it still has not looked, any, which it connects
  // when it can. A stored port is not lost to the first instance of a process.
  const bool unlisted = p == -1 && name && *name && std::strcmp(name, kSelectMIDIDevice) != 0 &&
                        (!port->portsListed() || FindLivePort(port, name) > 0);
  if (unlisted) {
    const auto at = std::find(list.begin(), list.end(), name);
    p = static_cast<int>(at - list.begin());
    if (at == list.end()) list.push_back(name);
  }
  index = p;
  if (p == -1) {
    index = 0;
    return 0;
  }
  if (p == 0) return 0;
  try {
    if (unlisted)
      port->openPortByName(name, portName);
    else
      OpenListedPort(*port, p, name, portName);
  } catch (const MidiError& error) {
    error.printMessage();
    return 0;
  }
  opened = name;
  return p;
}

// The list as the system sees it now, keeping the open device's name (its
// port reconnects when the device comes back).
template <class Port>
void RefreshNames(std::vector<std::string>& list, Port* port, const std::string& opened) {
  if (!port) return;
  try {
    port->refreshPorts();
  } catch (const MidiError& error) {
    error.printMessage();
  }
  list.clear();
  FillNames(list, port);
  if (!opened.empty() && std::find(list.begin(), list.end(), opened) == list.end()) list.push_back(opened);
}
}  // namespace

MidiSession& IPlugBase::midiSession() {
  if (!mMidiSession) {
    mMidiBackend = CurrentMidiBackend();
    mMidiSession = mMidiBackend->openSession(mEffectName);
  }
  return *mMidiSession;
}

std::unique_ptr<MidiOutPort> IPlugBase::takeMidiOut(std::shared_ptr<MidiBackend>* backend) {
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  if (backend) *backend = mMidiBackend;
  mMidiOutSeen = nullptr;
  return std::move(mMidiOut);
}

std::vector<std::string>& IPlugBase::getExternalMIDIOutNames() {
  if (!mOutNames.empty()) return mOutNames;
  mRequestedOutSelection = 0;
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  try {
    mMidiOut = midiSession().createOut(kOutClientName);
  } catch (const MidiError& error) {
    error.printMessage();
    mMidiOut.reset();
  }
  mMidiOutSeen = mMidiOut.get();
  FillNames(mOutNames, mMidiOut.get());
  return mOutNames;
}

std::vector<std::string>& IPlugBase::getExternalMIDIInNames() {
  if (!mInNames.empty()) return mInNames;
  mRequestedInSelection = 0;
  try {
    mMidiIn = midiSession().createIn(kInClientName, kInQueueLimit);
    mMidiIn->setCallback(MIDICallback, this);
    mMidiIn->ignoreTypes(false, true, true);
  } catch (const MidiError& error) {
    error.printMessage();
    mMidiIn.reset();
  }
  FillNames(mInNames, mMidiIn.get());
  return mInNames;
}

std::vector<std::string>& IPlugBase::refreshExternalMIDIOutNames() {
  if (mOutNames.empty()) return getExternalMIDIOutNames();
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  RefreshNames(mOutNames, mMidiOut.get(), mOpenOutName);
  return mOutNames;
}

std::vector<std::string>& IPlugBase::refreshExternalMIDIInNames() {
  if (mInNames.empty()) return getExternalMIDIInNames();
  RefreshNames(mInNames, mMidiIn.get(), mOpenInName);
  return mInNames;
}

int IPlugBase::setExternalMIDIOut(int& index, const char* name) {
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  return SelectDevice(mMidiOut.get(), mOutNames, mRequestedOutSelection, index, name, kOutPortName, mOpenOutName);
}

int IPlugBase::setExternalMIDIIn(int& index, const char* name) {
  return SelectDevice(mMidiIn.get(), mInNames, mRequestedInSelection, index, name, kInPortName, mOpenInName);
}

int IPlugBase::getExternalMIDIOutDevice(const char* name) {
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  return FindInList(mOutNames, mMidiOut.get(), name);
}

int IPlugBase::getExternalMIDIInDevice(const char* name) { return FindInList(mInNames, mMidiIn.get(), name); }

int IPlugBase::GetMIDIOutPortNumber(const char* name) {
  if (!name) return -1;
  if (!std::strcmp(name, kSelectMIDIDevice)) return 0;
  if (!std::strcmp(name, "virtual output")) return 1;
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
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
  // Never while the host's real-time calls run: they ask the port.
  mMidiOutSeen = nullptr;
  if (mMidiOut) {
    mMidiOut->closePort();
    mMidiOut.reset();
  }
  try {
    mMidiOut = midiSession().createOut(kOutClientName);
    mMidiOut->openVirtualPort("From " + name);
    mMidiOutSeen = mMidiOut.get();
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
  // What the instrument sends is followed while a window action waits for
  // its files.
  const WDL_Mutex::MidiThread midiThread;
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

// The port's cancelCallback waits for a message in flight, so when this
// returns no handler runs and none will start. Must not be called with a
// lock that a handler takes.
void IPlugBase::StopMidiInput() {
  if (!mMidiIn) return;
  try {
    mMidiIn->cancelCallback();
  } catch (const MidiError& error) {
    error.printMessage();
  }
  mMidiIn->closePort();
}

namespace {
// Statuses that never carry data bytes: undefined ones, the lone end of
// SysEx and the real-time ones. A channel computed below 0 turns a channel
// status into one of them (0xFF for -1, 0xFE for -2).
bool StandsAlone(unsigned char status) {
  return status == 0xF4 || status == 0xF5 || status == 0xF7 || status >= 0xF8;
}

// What no instrument should ever receive: a message without a status byte,
// a data byte of 0x80 or more, four bytes or more that are not SysEx, or
// data bytes behind a status that takes none.
const char* MalformedReason(const unsigned char* bytes, size_t size) {
  if (bytes[0] < 0x80) return "message without a status byte";
  if (bytes[0] == 0xF0) {
    for (size_t i = 1; i < size; ++i)
      if (bytes[i] >= 0x80 && !(i == size - 1 && bytes[i] == 0xF7)) return "SysEx data byte of 0x80 or more";
    return nullptr;
  }
  if (size > 3) return "message of four bytes or more that is not SysEx";
  if (size > 1 && StandsAlone(bytes[0])) return "data bytes behind a status that takes none (channel out of range?)";
  for (size_t i = 1; i < size; ++i)
    if (bytes[i] >= 0x80) return "data byte of 0x80 or more";
  return nullptr;
}
}  // namespace

bool IPlugBase::SendToMidiOut(const unsigned char* bytes, size_t size) {
  if (!bytes || size == 0) return false;
  if (const char* reason = MalformedReason(bytes, size)) {
    OnMidiOutRefused(reason);
    return false;
  }
  bool unplugged = false, full = false;
  {
    WaitGuard::beforeLock("the out port's lock");
    std::lock_guard<std::mutex> lock(mMidiOutMutex);
    // A port that is not open drops the message, as the MIDI system does, and
    // says so: nothing was sent.
    if (!mMidiOut) return false;
    // What an open port with nothing on its other end sends is lost.
    unplugged = mMidiOut->isPortOpen() && mMidiOut->isPortUnplugged();
    // Gone once the port takes it: never waited for, never taken back.
    if (mMidiOut->isPortOpen() && !unplugged) {
      try {
        full = !mMidiOut->sendMessage(bytes, size);
      } catch (const MidiError& error) {
        error.printMessage();
        return false;
      }
      if (!full) return true;
    }
    if (!unplugged && !full) {
      mMidiOutGone = mMidiOut->isPortGone();
      if (!mMidiOutGone) return false;
    }
  }
  if (full) OnMidiOutFull();
  else if (unplugged) OnMidiOutUnplugged();
  else OnMidiOutGone();
  return false;
}

bool IPlugBase::MidiOutGone() {
  // The host's real-time calls take no lock: they ask the port itself.
  if (RealtimeScope::active()) {
    const MidiOutPort* port = mMidiOutSeen;
    return port && port->isPortGone();
  }
  std::unique_lock<std::mutex> lock(mMidiOutMutex, std::try_to_lock);
  if (lock) mMidiOutGone = mMidiOut && mMidiOut->isPortGone();
  return mMidiOutGone;
}

bool IPlugBase::MidiOutUnplugged() {
  std::lock_guard<std::mutex> lock(mMidiOutMutex);
  return mMidiOut && mMidiOut->isPortOpen() && mMidiOut->isPortUnplugged();
}

bool IPlugBase::MidiOutUnpluggedNow() const {
  const MidiOutPort* port = mMidiOutSeen;
  return port && port->isPortOpen() && port->isPortUnplugged();
}

void IPlugBase::OnMidiOutRefused(const char* reason) { std::fprintf(stderr, "MIDI out: not sent: %s\n", reason); }

bool IPlugBase::SendMidiMsgs(WDL_TypedBuf<IMidiMsg>* msgs) {
  bool ok = true;
  if (!msgs) return ok;
  for (IMidiMsg& msg : *msgs) ok = SendMidiMsg(&msg) && ok;
  return ok;
}
