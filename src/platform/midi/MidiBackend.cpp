#include <dlfcn.h>

#include <cstdio>
#include <mutex>

#include "KeepLoaded.h"
#include "MidiPorts.h"
#include "RtMidiBackend.h"

void MidiError::printMessage() const { std::fprintf(stderr, "\n%s\n\n", what()); }

std::unique_ptr<MidiSession> MidiBackend::openSession(const std::string&) {
  return std::make_unique<MidiSession>(*this);
}

namespace {
std::mutex gBackendMutex;
std::shared_ptr<MidiBackend> gBackend;
}  // namespace

std::shared_ptr<MidiBackend> CurrentMidiBackend() {
  std::lock_guard<std::mutex> lock(gBackendMutex);
  if (!gBackend) gBackend = std::make_shared<RtMidiBackend>();
  return gBackend;
}

void SetMidiBackend(std::shared_ptr<MidiBackend> backend) {
  std::lock_guard<std::mutex> lock(gBackendMutex);
  gBackend = std::move(backend);
}
