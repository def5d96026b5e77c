#include "FuzzSupport.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "DataFolder.h"
#include "FuzzDrivers.h"
#include "MIDIMessageManager.h"
#include "MemoryMidiBackend.h"
#include "ParamIndex.h"
#include "Tarnivex.h"

namespace fuzz {
namespace {
namespace fs = std::filesystem;

VstTimeInfo gTime = [] {
  VstTimeInfo time{};
  time.tempo = 120.0;
  time.sampleRate = 44100.0;
  time.flags = kVstTempoValid;
  return time;
}();

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&gTime);
    default: return 0;
  }
}

std::shared_ptr<MemoryMidiBackend>& backendSlot() {
  static std::shared_ptr<MemoryMidiBackend> backend;
  return backend;
}

std::unique_ptr<Tarnivex>& plugSlot(bool withPorts) {
  static std::unique_ptr<Tarnivex> plain, ports;
  return withPorts ? ports : plain;
}

std::unique_ptr<Tarnivex>& windowSlot() {
  static std::unique_ptr<Tarnivex> window;
  return window;
}
}  // namespace

std::vector<uint8_t> changed(std::vector<uint8_t> base, Input& in) {
  const uint32_t cut = in.word();
  if (cut < base.size()) base.resize(cut);
  while (!in.empty() && !base.empty()) {
    const size_t at = in.word() % base.size();
    const auto bytes = in.bytes(in.byte());
    for (size_t k = 0; k < bytes.size() && at + k < base.size(); ++k) base[at + k] = bytes[k];
  }
  return base;
}

const std::string& scratchFolder() {
  // Kept to the very end of the process: the folder goes at exit.
  static const std::string& folder = *[] {
    std::string pattern = (fs::temp_directory_path() / "tarnivex-fuzz-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    FUZZ_CHECK(made != nullptr);
    auto* path = new std::string(made);
    std::atexit([] {
      std::error_code error;
      fs::remove_all(scratchFolder(), error);
    });
    return path;
  }();
  return folder;
}

std::string freshFolder(const std::string& name) {
  const fs::path folder = fs::path(scratchFolder()) / name;
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder);
  return folder.string();
}

void writeBytes(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

MemoryMidiBackend& midiBackend() {
  auto& backend = backendSlot();
  if (!backend) {
    backend = std::make_shared<MemoryMidiBackend>();
    backend->setOutPorts({"Other synth", "dirirU MIDI 1"});
    backend->setInPorts({"Other synth", "dirirU MIDI 1"});
    SetMidiBackend(backend);
  }
  return *backend;
}

namespace {
Tarnivex& pluginFor(const std::string& role) {
  const bool withPorts = role == "plug-ports";
  auto& slot = role == "plug-window" ? windowSlot() : plugSlot(withPorts);
  if (slot) return *slot;
  midiBackend();
  const std::string data = freshFolder(role);
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  fs::create_directories(getDataFolder());
#ifdef TARNIVEX_BUNDLE_RESOURCES
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
#endif
  IPlugInstanceInfo info;
  info.mVSTHostCallback = hostCallback;
  slot = std::make_unique<Tarnivex>(info);
  slot->waitForLibrary();
  Tarnivex& plug = *slot;
  plug.sleepFor = [](int) {};
  plug.midiMessageManager->virtualPause = [](int) { return true; };
  plug.GetAEffect()->dispatcher(plug.GetAEffect(), effOpen, 0, 0, nullptr, 0.0f);
  if (withPorts) {
    plug.getExternalMIDIOutNames();
    plug.getExternalMIDIInNames();
    for (int idx : {kDeviceInSelection, kDeviceOutSelection}) {
      plug.GetParam(idx)->Set(2);
      plug.OnParamChange(idx);
    }
  }
  return plug;
}
}  // namespace

Tarnivex& plugin(bool withPorts) { return pluginFor(withPorts ? "plug-ports" : "plug-plain"); }

Tarnivex& windowPlugin() { return pluginFor("plug-window"); }

void releasePlugins() {
  windowSlot().reset();
  plugSlot(true).reset();
  plugSlot(false).reset();
}

void releaseAll() {
  releasePlugins();
  SetMidiBackend(nullptr);
  backendSlot().reset();
}

const std::vector<Driver>& drivers() {
  static const std::vector<Driver> all = {
      {"state_chunk", stateChunk},     {"program_files", programFiles}, {"bank_memory", bankMemory},
      {"bank_folder", bankFolder},     {"midi_ports", midiPorts},       {"settings_file", settingsFile},
      {"ini_files", iniFiles},         {"documents", documents},        {"png_images", pngImages},
  };
  return all;
}

}  // namespace fuzz
