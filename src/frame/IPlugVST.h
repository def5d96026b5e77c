// The part of the plug-in object a VST 2.4 host talks to.
#pragma once

#include "IPlugBase.h"
#include "VstAbi.h"

struct IPlugInstanceInfo {
  audioMasterCallback mVSTHostCallback = nullptr;
};

VstInt32 VSTSpkrArrType(int nChannels);
void InitializeVSTChunk(ByteChunk* chunk);
int GetIPlugVerFromChunk(ByteChunk* chunk, int* pPos);

class IPlugVST : public IPlugBase {
 public:
  IPlugVST(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
           int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
           bool plugIsInst, int plugScChans);
  ~IPlugVST() override;
  // Instances alive in the process.
  static int LiveInstances() { return sLiveInstances; }

  void initialize(IPlugInstanceInfo instanceInfo, int nHostParams, int nParams, const char* channelIOStr,
                  int nPresets, const char* effectName, const char* productName, const char* mfrName,
                  int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                  bool plugDoesChunks, bool plugIsInst, int plugScChans);

  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  // True for a parameter the host was shown (none, for this plug-in).
  bool ShownToHost(int paramIdx) const;
  void InformHostOfProgramChange() override;
  bool IsRenderingOffline() override;
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  void GetTime(ITimeInfo* timeInfo) override;
  EHost GetHost() override;
  void ResizeGraphics(int width, int height) override;
  void SetLatency(int samples) override;
  bool SendMidiVST(IMidiMsg* msg) override;
  bool SendMidiMsg(IMidiMsg* msg) override;
  bool SendMidiSysex(unsigned char* data, int size) override;
  bool SendPatchSysex(unsigned char* data, int size) override;
  bool SendMidiSysex2(std::vector<unsigned char> data) override;
  void HostSpecificInit() override;
  void AttachGraphics(IGraphics* graphics) override;
  bool SendSysEx(ISysEx* msg) override;

  bool SendVSTEvent(VstEvent* event);
  audioMasterCallback GetHostCallback() const { return mHostCallback; }
  AEffect* GetAEffect() { return &mAEffect; }
  const ERect& GetEditRect() const { return mEditRect; }

  static VstIntPtr VSTDispatcher(AEffect* effect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                          void* ptr, float opt);
  static float VSTGetParameter(AEffect* effect, VstInt32 idx);
  static void VSTSetParameter(AEffect* effect, VstInt32 idx, float value);
  static void VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 nFrames);

 private:
  VstIntPtr Dispatch(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt);
  VstIntPtr DispatchEditor(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr);
  VstIntPtr CanDo(const char* text);
  VstIntPtr GetChunk(bool isBank, void** data);
  VstIntPtr SetChunk(bool isBank, const void* data, VstIntPtr size);
  VstIntPtr ProcessEvents(VstEvents* events);
  VstIntPtr String2Parameter(int idx, const char* text);
  bool ParamIdxInRange(int idx) const { return idx >= 0 && idx < NAutomatableParams(); }
  // One of the host's real-time calls while it runs. They take no lock: the
  // close waits for none to be in flight, on its own thread, and a call
  // that meets the close under way does nothing.
  class InFlight {
   public:
    explicit InFlight(IPlugVST& plug) : mPlug(plug) { mPlug.mInFlight.fetch_add(1); }
    ~InFlight() { mPlug.mInFlight.fetch_sub(1); }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    explicit operator bool() const { return !mPlug.mClosing.load(); }

   private:
    IPlugVST& mPlug;
  };
  std::atomic<int> mInFlight{0};
  std::atomic<bool> mClosing{false};
  // The shape of all three process callbacks: attach, run.
  template <class Sample, class Run>
  static void RunProcess(AEffect* effect, Sample** inputs, Sample** outputs, VstInt32 nFrames, Run run);
  // Keeps the scratch buffers as long as the block, for hosts that pass
  // more frames than they announced.
  void PrepareBlock(int nFrames);
  VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  ERect mEditRect{};
  audioMasterCallback mHostCallback;
  VstSpeakerArrangement mInputSpkrArr{};
  VstSpeakerArrangement mOutputSpkrArr{};
  bool mHostSpecificInitDone = false;
  bool mDoesMidi;
  int mHasVSTExtensions = 0;
  ByteChunk mState;
  ByteChunk mBankState;
  AEffect mAEffect{};
  static std::atomic<int> sLiveInstances;
};
