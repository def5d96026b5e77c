// The plug-in in-process on the in-memory MIDI system, with a scripted host
// (time information, the events the plug-in hands back) and the simulated
// instrument on the other end of the port pair.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <chrono>
#include <vector>

#include "DataFolder.h"
#include "IControls.h"
#include "MIDIMessageManager.h"
#include "MemoryMidiBackend.h"
#include "MidiSendThread.h"
#include "ParamIndex.h"
#include "SimulatedInstrument.h"
#include "Tarnivex.h"
#include "../host/HostEvents.h"
#include "RunDataFolder.h"

using Bytes = std::vector<unsigned char>;
using ByteList = std::vector<Bytes>;

// Answers the plug-in's host calls: the time information it asks for, and a
// record of the MIDI events it hands to the host.
struct ScriptedHost {
  VstTimeInfo time{};
  std::mutex mutex;
  std::vector<std::pair<int, Bytes>> events;  // delta frames, bytes
  // Display-changed calls: what the host takes for "the state changed".
  std::atomic<int> displayUpdates{0};
  // Automation calls (automate, begin and end of an edit), of any index.
  std::atomic<int> automations{0};
  // Run inside the block when it asks for the time (set before it runs).
  std::function<void()> onTime;

  ScriptedHost() {
    time.tempo = 120.0;
    time.sampleRate = 44100.0;
    time.flags = kVstTempoValid;
  }
  void setTempo(double bpm) { time.tempo = bpm; }
  void setPlaying(bool playing) {
    time.flags = playing ? (time.flags | kVstTransportPlaying) : (time.flags & ~kVstTransportPlaying);
  }
  std::vector<std::pair<int, Bytes>> takeEvents() {
    std::lock_guard<std::mutex> lock(mutex);
    auto taken = std::move(events);
    events.clear();
    return taken;
  }

  static inline ScriptedHost* current = nullptr;
  static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    ScriptedHost* host = current;
    if (!host) return 0;
    switch (opcode) {
      case audioMasterVersion: return 2400;
      case audioMasterGetTime:
        if (host->onTime) host->onTime();
        return reinterpret_cast<VstIntPtr>(&host->time);
      case audioMasterUpdateDisplay: ++host->displayUpdates; return 1;
      case audioMasterAutomate:
      case audioMasterBeginEdit:
      case audioMasterEndEdit: ++host->automations; return 1;
      case audioMasterProcessEvents: {
        auto* list = static_cast<VstEvents*>(ptr);
        std::lock_guard<std::mutex> lock(host->mutex);
        for (int i = 0; i < list->numEvents; ++i) {
          const auto* midi = reinterpret_cast<const VstMidiEvent*>(list->events[i]);
          if (midi->type != kVstMidiType) continue;
          host->events.push_back(
              {midi->deltaFrames,
               {static_cast<unsigned char>(midi->midiData[0]), static_cast<unsigned char>(midi->midiData[1]),
                static_cast<unsigned char>(midi->midiData[2])}});
        }
        return 1;
      }
      default: return 0;
    }
  }
};

// The data folder of the test, of its own (ctest runs tests of one program
// side by side, and so may two runs of it), emptied; optionally with a
// debug log and a settings file.
inline std::string freshDataFolder(bool withLog, const std::string* settings = nullptr) {
  const std::string own = testDataFolder();
  setenv("XDG_DATA_HOME", own.c_str(), 1);
  const std::string folder = getDataFolder();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  if (withLog) std::ofstream(getDebugLogPath()).put('\n');
  if (settings) std::ofstream(getSettingsPath(), std::ios::binary) << *settings;
  return folder;
}

inline std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class EditorTest : public ::testing::Test {
 protected:
  static constexpr int kDeviceId = 0x21;
  static constexpr const char* kPort = "dirirU MIDI 1";

  explicit EditorTest(bool withLog = true) {
    freshMidiSystem();
    ScriptedHost::current = &host;
    freshDataFolder(withLog);
  }
  ~EditorTest() override {
    plug.reset();
    ScriptedHost::current = nullptr;
    SetMidiBackend(nullptr);
  }

  // A plug-in whose instrument parameters have their ranges, on channels
  // p + 2, with the instrument's ports open.
  void makePlug(bool openPorts = true) {
    IPlugInstanceInfo info;
    info.mVSTHostCallback = ScriptedHost::callback;
    plug = std::make_unique<Tarnivex>(info);
    plug->waitForLibrary();
    plug->sleepFor = [this](int ms) { sleeps.push_back(ms); };
    plug->tickSource = [this] { return now.load(); };
    // The jobs' pauses take no time: a device-ID enquiry nobody answers
    // ends at once instead of after its search.
    plug->midiMessageManager->virtualPause = [](int) { return true; };
    plug->paramNameDisplay = &nameText;
    plug->paramValueDisplay = &valueText;
    plug->paramCCDisplay = &ccText;
    for (int p = 0; p < 16; ++p) {
      param(kMultiPartMIDICh + p)->InitInt("", p + 2, 0, 17);
      param(kMultiPartStatus + p)->InitInt("", 0, 0, 1);
      param(kMultiPartBank + p)->InitInt("", 0, 0, 2);
      param(kMultiPartPatch + p)->InitInt("", 0, 0, 99);
    }
    param(kGlobalMidiChannel)->InitInt("", 0, 0, 16);
    param(kGlobalSysExID)->InitInt("", kDeviceId, 0, 127);
    param(kDeviceOutSelection)->InitInt("", 0, 0, 16);
    param(kDeviceInSelection)->InitInt("", 0, 0, 16);
    param(kMultiTempo)->InitInt("", 55, 0, 127);
    param(kOverrideTempo)->InitInt("", 0, 0, 2);
    param(kQuickTab)->InitInt("", 0, 0, 15);
    param(kLibSyncTimer)->InitInt("", 0, 0, 9);
    if (openPorts) {
      plug->getExternalMIDIOutNames();
      plug->getExternalMIDIInNames();
      setParam(kDeviceInSelection, 2);
      setParam(kDeviceOutSelection, 2);
    }
    settle();
  }
  // Lets the jobs started so far end and forgets what they sent and slept.
  void settle() {
    awaitRequestThread();
    sentSinceLast();
    sleeps.clear();
  }
  // Waits (bounded) until the MIDI thread has done what it was handed and
  // the request thread's jobs, queued ones included, have ended.
  void awaitRequestThread() {
    MIDIMessageManager& manager = *plug->midiMessageManager;
    // The jobs, the picks' lanes and what they hand each other, until all rest.
    for (int i = 0; i < 10000; ++i) {
      plug->midiSendThread->flush();
      if (manager.atRest())
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    plug->midiSendThread->flush();
  }

  // Ends the instance and gives the next one a MIDI system of its own, with
  // the instrument's ports and another synth's.
  void freshMidiSystem() {
    plug.reset();
    seen = 0;
    backend = std::make_shared<MemoryMidiBackend>();
    backend->setOutPorts({"Other synth", kPort});
    backend->setInPorts({"Other synth", kPort});
    SetMidiBackend(backend);
  }

  IParam* param(int idx) { return plug->GetParam(idx); }
  // The bank and program the part (with multi, the multi) shows, sent as a
  // pick of its own: true when it went out.
  bool sendShownPair(int part, bool multi = false) {
    PartPicks& picks = plug->midiMessageManager->picks;
    const PickTicket ticket = multi ? picks.arriveAll().multi() : picks.arrive(part);
    const int bank = multi ? -1 : param(kMultiPartBank + part)->Int();
    const int program = param(multi ? int(kMultiPatch) : kMultiPartPatch + part)->Int();
    return plug->BankChangeMessage(ticket, bank, program, nullptr) == PickSend::kSent;
  }
  void setParam(int idx, double value) {
    param(idx)->Set(value);
    plug->OnParamChange(idx);
  }
  // What left the plug-in's MIDI output since the last call.
  ByteList sentSinceLast() {
    if (plug) plug->midiSendThread->flush();
    if (backend->outObjects() == 0) return {};
    const auto all = backend->out().sent;
    ByteList fresh(all.begin() + static_cast<long>(std::min(seen, all.size())), all.end());
    seen = all.size();
    return fresh;
  }
  // Hands what the plug-in sent to the instrument; what it received.
  ByteList arrivedAtInstrument() {
    for (const Bytes& message : sentSinceLast()) instrument.receive(message);
    const auto all = instrument.received();
    ByteList fresh(all.begin() + static_cast<long>(std::min(instrumentSeen, all.size())), all.end());
    instrumentSeen = all.size();
    return fresh;
  }
  // From now on the instrument answers: at every pause of a job, what the
  // plug-in sent so far goes to the instrument, and its replies come back
  // through the plug-in's input port.
  void instrumentAnswers() {
    plug->midiMessageManager->virtualPause = [this](int) {
      for (const Bytes& message : sentSinceLast())
        for (const SimBytes& reply : instrument.receive(message)) backend->inject(reply);
      return true;
    };
  }
  void block(int frames = 64) {
    std::vector<double> a(static_cast<size_t>(frames)), b(static_cast<size_t>(frames));
    double* channels[] = {a.data(), b.data()};
    plug->ProcessDoubleReplacing(channels, channels, frames);
  }
  std::string debugLog() { return readFile(getDebugLogPath()); }
  // Short messages handed to the plug-in's event call, as a host does on
  // its audio thread before the block.
  void hostEvents(const ByteList& messages) {
    HostEventList list(messages);
    AEffect* effect = plug->GetAEffect();
    effect->dispatcher(effect, effProcessEvents, 0, 0, list.events(), 0.0f);
  }

  std::shared_ptr<MemoryMidiBackend> backend = std::make_shared<MemoryMidiBackend>();
  ScriptedHost host;
  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<Tarnivex> plug;
  ITextControl nameText{nullptr}, valueText{nullptr}, ccText{nullptr};
  std::vector<int> sleeps;
  std::atomic<uint32_t> now{100000};
  size_t seen = 0, instrumentSeen = 0;
};
