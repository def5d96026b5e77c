#include "MemoryMidiBackend.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "MidiInputGuard.h"

namespace {
struct OutState {
  MemoryOutRecord record;
  std::atomic<bool> sending{false};
};

struct InState {
  MemoryInRecord record;
  MidiInputGuard guard;
};

template <class State>
std::shared_ptr<State> Pick(const std::vector<std::shared_ptr<State>>& states, size_t index) {
  if (states.empty()) throw std::out_of_range("no MIDI port object was created");
  if (index == MemoryMidiBackend::kLatest) return states.back();
  return states.at(index);
}

std::string Named(const std::vector<std::string>& names, unsigned port) {
  if (port >= names.size()) throw MidiError("no MIDI port " + std::to_string(port));
  return names[port];
}

void Opened(MemoryPortRecord& record, int port, const std::string& portName) {
  record.open = true;
  record.openedPort = port;
  record.portName = portName;
  ++record.opens;
}
}  // namespace

struct MemoryMidiSystem {
  mutable std::mutex mutex;
  std::vector<std::string> outPorts;
  std::vector<std::string> inPorts;
  bool createFails = false;
  bool openFails = false;
  bool outGone = false;
  bool outUnplugged = false;
  std::function<bool(const MidiBytes&)> outLoses, outRefuses;
  std::vector<std::shared_ptr<OutState>> outs;
  std::vector<std::shared_ptr<InState>> ins;
};

namespace {
using Lock = std::lock_guard<std::mutex>;

// What port objects of both directions do alike; ports names the list of
// system ports they see.
template <class Interface, class State>
class MemoryPort : public Interface {
 public:
  MemoryPort(std::shared_ptr<MemoryMidiSystem> system, std::shared_ptr<State> state,
             std::vector<std::string> MemoryMidiSystem::*ports)
      : mSystem(std::move(system)), mState(std::move(state)), mPorts(ports) {}
  ~MemoryPort() override {
    Lock lock(mSystem->mutex);
    mState->record.alive = false;
    mState->record.open = false;
  }
  unsigned getPortCount() override {
    Lock lock(mSystem->mutex);
    return static_cast<unsigned>((*mSystem.*mPorts).size());
  }
  std::string getPortName(unsigned port) override {
    Lock lock(mSystem->mutex);
    return Named(*mSystem.*mPorts, port);
  }
  void openPort(unsigned port, const std::string& portName) override {
    Lock lock(mSystem->mutex);
    if (mSystem->openFails) throw MidiError("the MIDI port cannot be opened");
    Named(*mSystem.*mPorts, port);
    Opened(mState->record, static_cast<int>(port), portName);
  }
  void closePort() noexcept override {
    Lock lock(mSystem->mutex);
    if (mState->record.open) ++mState->record.closes;
    mState->record.open = false;
  }
  bool isPortOpen() const override {
    Lock lock(mSystem->mutex);
    return mState->record.open;
  }

 protected:
  std::shared_ptr<MemoryMidiSystem> mSystem;
  std::shared_ptr<State> mState;
  std::vector<std::string> MemoryMidiSystem::*mPorts;
};

class MemoryOut : public MemoryPort<MidiOutPort, OutState> {
 public:
  using MemoryPort::MemoryPort;
  void openVirtualPort(const std::string& portName) override {
    Lock lock(mSystem->mutex);
    if (mSystem->openFails) throw MidiError("the virtual MIDI port cannot be opened");
    Opened(mState->record, -1, portName);
    mState->record.isVirtual = true;
  }
  bool sendMessage(const unsigned char* bytes, size_t size) override {
    const bool overlapped = mState->sending.exchange(true);
    // Widens the window in which an unserialised second sender shows up.
    std::this_thread::yield();
    {
      Lock lock(mSystem->mutex);
      MemoryOutRecord& record = mState->record;
      if (overlapped) ++record.overlappingSends;
      if (record.open && mSystem->outRefuses && mSystem->outRefuses(MidiBytes(bytes, bytes + size))) {
        mState->sending = false;
        return false;
      }
      if (!record.open)
        ++record.sentWhileClosed;
      else if (!mSystem->outLoses || !mSystem->outLoses(MidiBytes(bytes, bytes + size)))
        record.sent.emplace_back(bytes, bytes + size);
    }
    mState->sending = false;
    return true;
  }
  // A port whose other end went (an unplugged device, a stopped server)
  // takes nothing while it is gone.
  bool isPortOpen() const override {
    Lock lock(mSystem->mutex);
    return mState->record.open && !mSystem->outGone;
  }
  bool isPortGone() const override {
    Lock lock(mSystem->mutex);
    return mState->record.open && mSystem->outGone;
  }
  bool isPortUnplugged() const override {
    Lock lock(mSystem->mutex);
    return mState->record.open && mSystem->outUnplugged;
  }
};

class MemoryIn : public MemoryPort<MidiInPort, InState> {
 public:
  using MemoryPort::MemoryPort;
  ~MemoryIn() override { mState->guard.cancel(); }
  void setCallback(MidiInputCallback callback, void* userData) override {
    mState->guard.set(callback, userData);
    Lock lock(mSystem->mutex);
    mState->record.callbackInstalled = callback != nullptr;
  }
  void cancelCallback() override {
    mState->guard.cancel();
    Lock lock(mSystem->mutex);
    mState->record.callbackInstalled = false;
  }
  void ignoreTypes(bool sysex, bool timing, bool activeSensing) override {
    mState->guard.ignoreTypes(sysex, timing, activeSensing);
    Lock lock(mSystem->mutex);
    mState->record.ignoreSysex = sysex;
    mState->record.ignoreTiming = timing;
    mState->record.ignoreActiveSensing = activeSensing;
  }
};
}  // namespace

MemoryMidiBackend::MemoryMidiBackend() : mShared(std::make_shared<MemoryMidiSystem>()) {}

MemoryMidiBackend::~MemoryMidiBackend() = default;

std::unique_ptr<MidiOutPort> MemoryMidiBackend::createOut(const std::string& clientName) {
  Lock lock(mShared->mutex);
  if (mShared->createFails) throw MidiError("MIDI output is not available");
  auto state = std::make_shared<OutState>();
  state->record.clientName = clientName;
  mShared->outs.push_back(state);
  return std::make_unique<MemoryOut>(mShared, state, &MemoryMidiSystem::outPorts);
}

std::unique_ptr<MidiInPort> MemoryMidiBackend::createIn(const std::string& clientName, unsigned queueLimit) {
  Lock lock(mShared->mutex);
  if (mShared->createFails) throw MidiError("MIDI input is not available");
  auto state = std::make_shared<InState>();
  state->record.clientName = clientName;
  state->record.queueLimit = queueLimit;
  mShared->ins.push_back(state);
  return std::make_unique<MemoryIn>(mShared, state, &MemoryMidiSystem::inPorts);
}

void MemoryMidiBackend::setOutPorts(std::vector<std::string> names) {
  Lock lock(mShared->mutex);
  mShared->outPorts = std::move(names);
}

void MemoryMidiBackend::setInPorts(std::vector<std::string> names) {
  Lock lock(mShared->mutex);
  mShared->inPorts = std::move(names);
}

void MemoryMidiBackend::setCreateFails(bool fails) {
  Lock lock(mShared->mutex);
  mShared->createFails = fails;
}

void MemoryMidiBackend::setOpenFails(bool fails) {
  Lock lock(mShared->mutex);
  mShared->openFails = fails;
}

void MemoryMidiBackend::setOutGone(bool gone) {
  Lock lock(mShared->mutex);
  mShared->outGone = gone;
}

void MemoryMidiBackend::setOutRefuses(std::function<bool(const MidiBytes&)> refuses) {
  Lock lock(mShared->mutex);
  mShared->outRefuses = std::move(refuses);
}

void MemoryMidiBackend::setOutLoses(std::function<bool(const MidiBytes&)> loses) {
  Lock lock(mShared->mutex);
  mShared->outLoses = std::move(loses);
}

void MemoryMidiBackend::setOutUnplugged(bool unplugged) {
  Lock lock(mShared->mutex);
  mShared->outUnplugged = unplugged;
}

size_t MemoryMidiBackend::outObjects() const {
  Lock lock(mShared->mutex);
  return mShared->outs.size();
}

size_t MemoryMidiBackend::inObjects() const {
  Lock lock(mShared->mutex);
  return mShared->ins.size();
}

MemoryOutRecord MemoryMidiBackend::out(size_t index) const {
  Lock lock(mShared->mutex);
  return Pick(mShared->outs, index)->record;
}

std::vector<MidiBytes> MemoryMidiBackend::sentSince(size_t from, size_t index) const {
  Lock lock(mShared->mutex);
  const std::vector<MidiBytes>& sent = Pick(mShared->outs, index)->record.sent;
  if (from >= sent.size()) return {};
  return {sent.begin() + static_cast<std::ptrdiff_t>(from), sent.end()};
}

MemoryInRecord MemoryMidiBackend::in(size_t index) const {
  Lock lock(mShared->mutex);
  return Pick(mShared->ins, index)->record;
}

bool MemoryMidiBackend::inject(MidiBytes bytes, size_t index) {
  std::shared_ptr<InState> state;
  {
    Lock lock(mShared->mutex);
    state = Pick(mShared->ins, index);
    if (!state->record.alive || !state->record.open) return false;
  }
  // Outside the lock: the receiver may well call back into the ports.
  state->guard.deliver(0.0, &bytes);
  return true;
}
