#include "MemoryMidiBackend.h"

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
}  // namespace

struct MemoryMidiBackend::Shared {
  mutable std::mutex mutex;
  std::vector<std::string> outPorts;
  std::vector<std::string> inPorts;
  bool createFails = false;
  bool openFails = false;
  std::vector<std::shared_ptr<OutState>> outs;
  std::vector<std::shared_ptr<InState>> ins;

  void openDevice(const std::vector<std::string>& names, unsigned port) const {
    if (openFails) throw MidiError("the MIDI port cannot be opened");
    Named(names, port);
  }
};

class MemoryMidiBackend::Out : public MidiOutPort {
 public:
  Out(std::shared_ptr<Shared> shared, std::shared_ptr<OutState> state)
      : mShared(std::move(shared)), mState(std::move(state)) {}
  ~Out() override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mState->record.alive = false;
    mState->record.open = false;
  }
  unsigned getPortCount() override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return static_cast<unsigned>(mShared->outPorts.size());
  }
  std::string getPortName(unsigned port) override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return Named(mShared->outPorts, port);
  }
  void openPort(unsigned port, const std::string& portName) override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mShared->openDevice(mShared->outPorts, port);
    Opened(static_cast<int>(port), portName, false);
  }
  void openVirtualPort(const std::string& portName) override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    if (mShared->openFails) throw MidiError("the virtual MIDI port cannot be opened");
    Opened(-1, portName, true);
  }
  void closePort() noexcept override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    if (mState->record.open) ++mState->record.closes;
    mState->record.open = false;
  }
  bool isPortOpen() const override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return mState->record.open;
  }
  void sendMessage(const unsigned char* bytes, size_t size) override {
    const bool overlapped = mState->sending.exchange(true);
    // Widens the window in which an unserialised second sender shows up.
    std::this_thread::yield();
    {
      std::lock_guard<std::mutex> lock(mShared->mutex);
      MemoryOutRecord& record = mState->record;
      if (overlapped) ++record.overlappingSends;
      if (record.open)
        record.sent.emplace_back(bytes, bytes + size);
      else
        ++record.sentWhileClosed;
    }
    mState->sending = false;
  }

 private:
  void Opened(int port, const std::string& portName, bool isVirtual) {
    MemoryOutRecord& record = mState->record;
    record.open = true;
    record.isVirtual = isVirtual;
    record.openedPort = port;
    record.portName = portName;
    ++record.opens;
  }

  std::shared_ptr<Shared> mShared;
  std::shared_ptr<OutState> mState;
};

class MemoryMidiBackend::In : public MidiInPort {
 public:
  In(std::shared_ptr<Shared> shared, std::shared_ptr<InState> state)
      : mShared(std::move(shared)), mState(std::move(state)) {}
  ~In() override {
    mState->guard.cancel();
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mState->record.alive = false;
    mState->record.open = false;
  }
  unsigned getPortCount() override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return static_cast<unsigned>(mShared->inPorts.size());
  }
  std::string getPortName(unsigned port) override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return Named(mShared->inPorts, port);
  }
  void openPort(unsigned port, const std::string& portName) override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mShared->openDevice(mShared->inPorts, port);
    MemoryInRecord& record = mState->record;
    record.open = true;
    record.openedPort = static_cast<int>(port);
    record.portName = portName;
    ++record.opens;
  }
  void closePort() noexcept override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    if (mState->record.open) ++mState->record.closes;
    mState->record.open = false;
  }
  bool isPortOpen() const override {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return mState->record.open;
  }
  void setCallback(MidiInputCallback callback, void* userData) override {
    mState->guard.set(callback, userData);
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mState->record.callbackInstalled = callback != nullptr;
  }
  void cancelCallback() override {
    mState->guard.cancel();
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mState->record.callbackInstalled = false;
  }
  void ignoreTypes(bool sysex, bool timing, bool activeSensing) override {
    mState->guard.ignoreTypes(sysex, timing, activeSensing);
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mState->record.ignoreSysex = sysex;
    mState->record.ignoreTiming = timing;
    mState->record.ignoreActiveSensing = activeSensing;
  }

 private:
  std::shared_ptr<Shared> mShared;
  std::shared_ptr<InState> mState;
};

MemoryMidiBackend::MemoryMidiBackend() : mShared(std::make_shared<Shared>()) {}

MemoryMidiBackend::~MemoryMidiBackend() = default;

std::unique_ptr<MidiOutPort> MemoryMidiBackend::createOut(const std::string& clientName) {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  if (mShared->createFails) throw MidiError("MIDI output is not available");
  auto state = std::make_shared<OutState>();
  state->record.clientName = clientName;
  mShared->outs.push_back(state);
  return std::make_unique<Out>(mShared, state);
}

std::unique_ptr<MidiInPort> MemoryMidiBackend::createIn(const std::string& clientName, unsigned queueLimit) {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  if (mShared->createFails) throw MidiError("MIDI input is not available");
  auto state = std::make_shared<InState>();
  state->record.clientName = clientName;
  state->record.queueLimit = queueLimit;
  mShared->ins.push_back(state);
  return std::make_unique<In>(mShared, state);
}

void MemoryMidiBackend::setOutPorts(std::vector<std::string> names) {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  mShared->outPorts = std::move(names);
}

void MemoryMidiBackend::setInPorts(std::vector<std::string> names) {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  mShared->inPorts = std::move(names);
}

void MemoryMidiBackend::setCreateFails(bool fails) {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  mShared->createFails = fails;
}

void MemoryMidiBackend::setOpenFails(bool fails) {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  mShared->openFails = fails;
}

size_t MemoryMidiBackend::outObjects() const {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  return mShared->outs.size();
}

size_t MemoryMidiBackend::inObjects() const {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  return mShared->ins.size();
}

MemoryOutRecord MemoryMidiBackend::out(size_t index) const {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  return Pick(mShared->outs, index)->record;
}

MemoryInRecord MemoryMidiBackend::in(size_t index) const {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  return Pick(mShared->ins, index)->record;
}

bool MemoryMidiBackend::inject(MidiBytes bytes, size_t index) {
  std::shared_ptr<InState> state;
  {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    state = Pick(mShared->ins, index);
    if (!state->record.alive || !state->record.open) return false;
  }
  // Outside the lock: the receiver may well call back into the ports.
  state->guard.deliver(0.0, &bytes);
  return true;
}
