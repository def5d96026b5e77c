#include "TestHost.h"

#include <dlfcn.h>

#include <cstring>
#include <map>

#ifndef TARNIVEX_PLUGIN_PATH
#error "TARNIVEX_PLUGIN_PATH names the built plug-in"
#endif

namespace {
std::mutex gHostsMutex;
std::map<AEffect*, TestHost*> gHosts;
// The host an instance belongs to while VSTPluginMain runs and the
// descriptor is not known yet.
thread_local TestHost* tCreatingHost = nullptr;

TestHost* HostOf(AEffect* effect) {
  std::lock_guard<std::mutex> lock(gHostsMutex);
  auto it = gHosts.find(effect);
  return it != gHosts.end() ? it->second : tCreatingHost;
}

using EntryProc = AEffect* (*)(audioMasterCallback);
}  // namespace

std::string TestHost::DefaultPluginPath() { return TARNIVEX_PLUGIN_PATH; }

TestHost::TestHost(std::string pluginPath) {
  mLibrary = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mLibrary) mLoadError = dlerror();
  timeInfo.sampleRate = 44100.0;
  timeInfo.tempo = 120.0;
  timeInfo.timeSigNumerator = 4;
  timeInfo.timeSigDenominator = 4;
  timeInfo.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
}

TestHost::~TestHost() {
  Close();
  if (mLibrary) dlclose(mLibrary);
}

AEffect* TestHost::Create(bool throughMain) {
  if (!mLibrary || mEffect) return mEffect;
  auto entry = reinterpret_cast<EntryProc>(dlsym(mLibrary, throughMain ? "main" : "VSTPluginMain"));
  if (!entry) return nullptr;
  tCreatingHost = this;
  AEffect* effect = entry(&TestHost::Callback);
  tCreatingHost = nullptr;
  if (effect) {
    std::lock_guard<std::mutex> lock(gHostsMutex);
    gHosts[effect] = this;
  }
  mEffect = effect;
  return effect;
}

VstIntPtr TestHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (!mEffect) return 0;
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void TestHost::Close() {
  if (!mEffect) return;
  AEffect* effect = mEffect;
  mEffect = nullptr;
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  std::lock_guard<std::mutex> lock(gHostsMutex);
  gHosts.erase(effect);
}

std::vector<uint8_t> TestHost::GetChunk(bool program) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr TestHost::SetChunk(bool program, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> copy(bytes);
  static uint8_t empty = 0;
  return Dispatch(effSetChunk, program ? 1 : 0, static_cast<VstIntPtr>(copy.size()),
                  copy.empty() ? &empty : copy.data());
}

namespace {
// Two inputs and two outputs of frames samples, all fill, through callback.
template <class Sample, class Callback>
std::vector<std::vector<double>> RunOn(int frames, double fill, Callback callback) {
  std::vector<std::vector<Sample>> in(2, std::vector<Sample>(static_cast<size_t>(frames), static_cast<Sample>(fill)));
  std::vector<std::vector<Sample>> out = in;
  Sample* inputs[2] = {in[0].data(), in[1].data()};
  Sample* outputs[2] = {out[0].data(), out[1].data()};
  callback(inputs, outputs);
  return {{out[0].begin(), out[0].end()}, {out[1].begin(), out[1].end()}};
}
}  // namespace

std::vector<std::vector<double>> TestHost::RunBlock(Process kind, int frames, double fill) {
  if (!mEffect) return std::vector<std::vector<double>>(2, std::vector<double>(static_cast<size_t>(frames)));
  if (kind == Process::kDoubleReplacing)
    return RunOn<double>(frames, fill, [&](double** in, double** out) {
      mEffect->processDoubleReplacing(mEffect, in, out, frames);
    });
  return RunOn<float>(frames, fill, [&](float** in, float** out) {
    (kind == Process::kReplacing ? mEffect->processReplacing : mEffect->process)(mEffect, in, out, frames);
  });
}

std::vector<HostCall> TestHost::Calls() const {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  return mCalls;
}

std::vector<HostEvent> TestHost::Events() const {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  return mEvents;
}

int TestHost::CountCalls(VstInt32 opcode) const {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  int n = 0;
  for (const HostCall& call : mCalls) n += call.opcode == opcode;
  return n;
}

void TestHost::ClearRecords() {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  mCalls.clear();
  mEvents.clear();
}

VstIntPtr TestHost::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
  TestHost* host = HostOf(effect);
  if (!host) return opcode == audioMasterVersion ? 2400 : 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  {
    std::lock_guard<std::mutex> lock(mRecordMutex);
    mCalls.push_back(HostCall{opcode, index, value, opt});
    if (opcode == audioMasterProcessEvents && ptr) {
      const auto* events = static_cast<const VstEvents*>(ptr);
      for (int i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (!event) continue;
        HostEvent recorded{event->type, event->deltaFrames, {}};
        if (event->type == kVstMidiType) {
          const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
          recorded.bytes.assign(midi->midiData, midi->midiData + 3);
        } else if (event->type == kVstSysExType) {
          const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
          if (sysex->sysexDump && sysex->dumpBytes > 0)
            recorded.bytes.assign(sysex->sysexDump, sysex->sysexDump + sysex->dumpBytes);
        }
        mEvents.push_back(std::move(recorded));
      }
    }
  }
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetTime:
      if (!hasTimeInfo) return 0;
      mTimeAnswer = timeInfo;
      return reinterpret_cast<VstIntPtr>(&mTimeAnswer);
    case audioMasterProcessEvents:
      return processEventsAnswer;
    case audioMasterGetCurrentProcessLevel:
      return processLevel;
    case audioMasterGetProductString:
      if (ptr) std::strncpy(static_cast<char*>(ptr), productString.c_str(), kVstMaxProductStrLen - 1);
      return 1;
    case audioMasterGetVendorString:
      if (ptr) std::strncpy(static_cast<char*>(ptr), vendorString.c_str(), kVstMaxVendorStrLen - 1);
      return 1;
    case audioMasterGetVendorVersion:
      return vendorVersion;
    case audioMasterGetSampleRate:
      return 44100;
    case audioMasterGetBlockSize:
      return 512;
    default:
      return 0;
  }
}
