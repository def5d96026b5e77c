// A MIDI system in memory, for tests: scripted port names per direction, a
// record of everything each port object was asked to do, and messages
// injected into in objects as a device would send them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "MidiPorts.h"

using MidiBytes = std::vector<unsigned char>;

// What one port object saw, whichever its direction.
struct MemoryPortRecord {
  std::string clientName;
  bool alive = true;
  bool open = false;
  int openedPort = -1;   // system port of the last openPort
  std::string portName;  // the name given to the last open
  int opens = 0;
  int closes = 0;        // closes of an open port
};

struct MemoryOutRecord : MemoryPortRecord {
  bool isVirtual = false;
  std::vector<MidiBytes> sent;  // messages handed over while open
  int sentWhileClosed = 0;
  int overlappingSends = 0;     // sends begun while another one ran
};

struct MemoryInRecord : MemoryPortRecord {
  unsigned queueLimit = 0;
  bool callbackInstalled = false;
  bool ignoreSysex = true;
  bool ignoreTiming = true;
  bool ignoreActiveSensing = true;
};

// The system's state, shared with the port objects it created.
struct MemoryMidiSystem;

class MemoryMidiBackend : public MidiBackend {
 public:
  static constexpr size_t kLatest = std::numeric_limits<size_t>::max();

  MemoryMidiBackend();
  ~MemoryMidiBackend() override;

  std::unique_ptr<MidiOutPort> createOut(const std::string& clientName) override;
  std::unique_ptr<MidiInPort> createIn(const std::string& clientName, unsigned queueLimit) override;

  // The port names the system offers from now on.
  void setOutPorts(std::vector<std::string> names);
  void setInPorts(std::vector<std::string> names);
  // While set, creating port objects (or opening ports) throws MidiError.
  void setCreateFails(bool fails);
  void setOpenFails(bool fails);
  // While set, the open out ports are gone: they take nothing and say so.
  void setOutGone(bool gone);
  // While set, the open out ports are open but reach nothing.
  void setOutUnplugged(bool unplugged);
  // While set, a message it holds for is taken by the open out port but
  // reaches nothing (the cable pulled as it leaves): not among those sent.
  void setOutLoses(std::function<bool(const MidiBytes&)> loses);
  // While set, the open out port has no room for a message it holds for (a
  // stalled system): it refuses it at once.
  void setOutRefuses(std::function<bool(const MidiBytes&)> refuses);

  size_t outObjects() const;
  size_t inObjects() const;
  // Records by creation order; kLatest is the newest. std::out_of_range when none.
  MemoryOutRecord out(size_t index = kLatest) const;
  MemoryInRecord in(size_t index = kLatest) const;
  // The messages the out object took from the one numbered from on, without
  // copying the whole record.
  std::vector<MidiBytes> sentSince(size_t from, size_t index = kLatest) const;

  // Delivers a message as the device on the open port would send it, through
  // the installed callback and the ignored kinds, on the calling thread.
  // False when no open port could take it.
  bool inject(MidiBytes bytes, size_t index = kLatest);

 private:
  std::shared_ptr<MemoryMidiSystem> mShared;
};
