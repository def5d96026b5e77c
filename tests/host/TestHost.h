// A small VST 2.4 host for tests: loads the built plug-in with dlopen as a
// real host does, answers the plug-in's callbacks from a script and records
// every call the plug-in makes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "VstAbi.h"

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

struct HostEvent {
  VstInt32 type;
  VstInt32 deltaFrames;
  std::vector<uint8_t> bytes;  // MIDI data or the SysEx dump
};

class TestHost {
 public:
  explicit TestHost(std::string pluginPath = DefaultPluginPath());
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  static std::string DefaultPluginPath();

  bool Loaded() const { return mLibrary != nullptr; }
  const std::string& LoadError() const { return mLoadError; }

  // Creates an instance through VSTPluginMain (or main); null on failure.
  AEffect* Create(bool throughMain = false);
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // effClose; the instance is gone afterwards.
  void Close();
  AEffect* Effect() const { return mEffect; }

  std::vector<uint8_t> GetChunk(bool program);
  VstIntPtr SetChunk(bool program, const std::vector<uint8_t>& bytes);

  // Runs one block through the given callback on 2-in, 2-out buffers whose
  // samples start as fill; returns the outputs.
  enum class Process { kAccumulating, kReplacing, kDoubleReplacing };
  std::vector<std::vector<double>> RunBlock(Process kind, int frames, double fill);

  // The script.
  std::string productString = "Test Host";
  std::string vendorString = "Kelmscroft Tests";
  VstIntPtr vendorVersion = 10203;
  VstIntPtr processLevel = kVstProcessLevelRealtime;
  VstIntPtr processEventsAnswer = 1;
  bool hasTimeInfo = true;
  VstTimeInfo timeInfo{};

  // What the plug-in did.
  std::vector<HostCall> Calls() const;
  std::vector<HostEvent> Events() const;
  int CountCalls(VstInt32 opcode) const;
  void ClearRecords();

 private:
  static VstIntPtr Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                            float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  void* mLibrary = nullptr;
  std::string mLoadError;
  AEffect* mEffect = nullptr;
  mutable std::mutex mRecordMutex;
  std::vector<HostCall> mCalls;
  std::vector<HostEvent> mEvents;
  VstTimeInfo mTimeAnswer{};
};
