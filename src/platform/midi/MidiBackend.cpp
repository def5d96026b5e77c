#include <cstdio>
#include <mutex>

#include "MidiPorts.h"

void MidiError::printMessage() const { std::fprintf(stderr, "\n%s\n\n", what()); }

namespace {
// Stands in until a real MIDI system is chosen: every port object fails.
class UnavailableMidiBackend : public MidiBackend {
 public:
  std::unique_ptr<MidiOutPort> createOut(const std::string&) override {
    throw MidiError("MIDI output is not available");
  }
  std::unique_ptr<MidiInPort> createIn(const std::string&, unsigned) override {
    throw MidiError("MIDI input is not available");
  }
};

std::mutex gBackendMutex;
std::shared_ptr<MidiBackend> gBackend;
}  // namespace

MidiBackend& CurrentMidiBackend() {
  std::lock_guard<std::mutex> lock(gBackendMutex);
  if (!gBackend) gBackend = std::make_shared<UnavailableMidiBackend>();
  return *gBackend;
}

void SetMidiBackend(std::shared_ptr<MidiBackend> backend) {
  std::lock_guard<std::mutex> lock(gBackendMutex);
  gBackend = std::move(backend);
}
