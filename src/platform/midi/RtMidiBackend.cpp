#include "RtMidiBackend.h"

#include <jack/jack.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "JackMidiPorts.h"
#include "KeepLoaded.h"
#include "RtMidiPorts.h"

namespace {
constexpr const char* kApiVariable = "TARNIVEX_MIDI_API";

// Hosts load and unload plug-ins freely, but libjack (which RtMidi brings
// along) keeps process-wide state from its static initialisers that is lost,
// and leaked, each time it is unloaded. Once loaded, it and RtMidi stay.
const bool kLibrariesKept = [] {
  KeepLoaded(reinterpret_cast<const void*>(&jack_client_open));
  KeepLoaded(reinterpret_cast<const void*>(&RtMidi::getVersion));
  return true;
}();

struct ApiName {
  const char* name;
  RtMidi::Api api;
};
constexpr ApiName kApis[] = {{"alsa", RtMidi::LINUX_ALSA}, {"jack", RtMidi::UNIX_JACK}};

bool Compiled(RtMidi::Api api) {
  std::vector<RtMidi::Api> compiled;
  RtMidi::getCompiledApi(compiled);
  return std::find(compiled.begin(), compiled.end(), api) != compiled.end();
}

class RtMidiSession : public MidiSession {
 public:
  RtMidiSession(MidiBackend& backend, std::string name) : MidiSession(backend), mName(std::move(name)) {}

  std::unique_ptr<MidiOutPort> createOut(const std::string& clientName) override {
    return createWithFallback([&](RtMidi::Api api) -> std::unique_ptr<MidiOutPort> {
      if (api == RtMidi::UNIX_JACK) return std::make_unique<JackMidiOutPort>(jackClient());
      return std::make_unique<RtMidiOutPort>(api, clientName);
    });
  }
  std::unique_ptr<MidiInPort> createIn(const std::string& clientName, unsigned queueLimit) override {
    return createWithFallback([&](RtMidi::Api api) -> std::unique_ptr<MidiInPort> {
      if (api == RtMidi::UNIX_JACK) return std::make_unique<JackMidiInPort>(jackClient());
      return std::make_unique<RtMidiInPort>(api, clientName, queueLimit);
    });
  }

 private:
  // Opened at the first JACK port; it never waits for the server.
  std::shared_ptr<JackMidiClient> jackClient() {
    if (!mJack) mJack = JackMidiClient::Open(mName);
    return mJack;
  }

  // The first interface that gives a port object; MidiError when none does.
  template <class Make>
  auto createWithFallback(Make make) -> decltype(make(RtMidi::LINUX_ALSA)) {
    std::string failures;
    for (RtMidi::Api api : RtMidiBackend::ApiOrder()) {
      try {
        return make(api);
      } catch (const MidiError& error) {
        failures += std::string(failures.empty() ? "" : "; ") + RtMidi::getApiName(api) + ": " + error.what();
      }
    }
    throw MidiError("no MIDI system available (" + (failures.empty() ? std::string("none compiled") : failures) +
                    ")");
  }

  std::string mName;
  std::shared_ptr<JackMidiClient> mJack;
};
}  // namespace

std::vector<RtMidi::Api> RtMidiBackend::ApiOrder() {
  std::vector<RtMidi::Api> order;
  const char* forced = std::getenv(kApiVariable);
  for (const ApiName& entry : kApis)
    if (forced && !std::strcmp(forced, entry.name)) order.push_back(entry.api);
  if (order.empty()) {
    if (forced && *forced) std::fprintf(stderr, "%s=%s is neither alsa nor jack; trying both\n", kApiVariable, forced);
    for (const ApiName& entry : kApis) order.push_back(entry.api);
  }
  // JACK is ours; ALSA comes through RtMidi.
  std::erase_if(order, [](RtMidi::Api api) { return api != RtMidi::UNIX_JACK && !Compiled(api); });
  return order;
}

std::unique_ptr<MidiOutPort> RtMidiBackend::createOut(const std::string& clientName) {
  return RtMidiSession(*this, clientName).createOut(clientName);
}

std::unique_ptr<MidiInPort> RtMidiBackend::createIn(const std::string& clientName, unsigned queueLimit) {
  return RtMidiSession(*this, clientName).createIn(clientName, queueLimit);
}

std::unique_ptr<MidiSession> RtMidiBackend::openSession(const std::string& name) {
  return std::make_unique<RtMidiSession>(*this, name);
}
