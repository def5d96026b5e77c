#include "IPlugVST.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "IGraphics.h"
#include "RealtimeScope.h"

namespace {

IPlugVST* PlugOf(AEffect* effect) { return effect ? static_cast<IPlugVST*>(effect->object) : nullptr; }
}  // namespace

VstInt32 VSTSpkrArrType(int nChannels) {
  if (nChannels == 0) return kSpeakerArrEmpty;
  if (nChannels == 1) return kSpeakerArrMono;
  if (nChannels == 2) return kSpeakerArrStereo;
  return kSpeakerArrUserDefined;
}

void InitializeVSTChunk(ByteChunk* chunk) {
  chunk->Clear();
  const int magic = kChunkMagic;
  const int version = kChunkVersion;
  chunk->AppendValue(&magic);
  chunk->AppendValue(&version);
}

int GetIPlugVerFromChunk(ByteChunk* chunk, int* pPos) {
  int magic = 0;
  const int pos = *pPos;
  if (pos < 0 || chunk->ReadValue(&magic, pos) < 0 || magic != kChunkMagic) return 0;
  int version = 0;
  *pPos = chunk->ReadValue(&version, pos + 4);
  return *pPos < 0 ? 0 : version;
}

std::atomic<int> IPlugVST::sLiveInstances{0};

IPlugVST::IPlugVST(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* mfrName,
                   int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                   bool plugDoesChunks, bool plugIsInst, int)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIVST2),
      mHostCallback(instanceInfo.mVSTHostCallback),
      mDoesMidi(plugDoesMidi) {
  ++sLiveInstances;
}

IPlugVST::~IPlugVST() {
  StopMidiInput();
  --sLiveInstances;
}

void IPlugVST::initialize(IPlugInstanceInfo, int nHostParams, int nParams, const char* channelIOStr,
                          int nPresets, const char* effectName, const char* productName,
                          const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
                          bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, int) {
  IPlugBase::initialize(nHostParams, nParams, channelIOStr, nPresets, effectName, productName, mfrName,
                        vendorVersion, uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst);
  mHasVSTExtensions = 0;

  const int nInputs = NInChannels(), nOutputs = NOutChannels();
  std::memset(&mAEffect, 0, sizeof(mAEffect));
  mAEffect.object = this;
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.numPrograms = nPresets;
  mAEffect.numParams = nHostParams;
  mAEffect.numInputs = nInputs;
  mAEffect.numOutputs = nOutputs;
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plugDoesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (plugIsInst) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.ioRatio = 1.0f;
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = GetDecimalVersion(vendorVersion);
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;

  mEditRect = ERect{};
  std::memset(&mInputSpkrArr, 0, sizeof(mInputSpkrArr));
  std::memset(&mOutputSpkrArr, 0, sizeof(mOutputSpkrArr));
  mInputSpkrArr.numChannels = nInputs;
  mOutputSpkrArr.numChannels = nOutputs;
  mInputSpkrArr.type = VSTSpkrArrType(nInputs);
  mOutputSpkrArr.type = VSTSpkrArrType(nOutputs);

  SetInputChannelConnections(0, nInputs, true);
  SetOutputChannelConnections(0, nOutputs, true);
  SetBlockSize(1024);
}

VstIntPtr IPlugVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

// A host indexes its own table of the parameters it was shown by these
// calls: one past that table is never named to it.
bool IPlugVST::ShownToHost(int paramIdx) const { return paramIdx >= 0 && paramIdx < mAEffect.numParams; }

void IPlugVST::BeginInformHostOfParamChange(int paramIdx) {
  if (ShownToHost(paramIdx)) CallHost(audioMasterBeginEdit, paramIdx);
}

void IPlugVST::InformHostOfParamChange(int paramIdx, double normalizedValue) {
  if (ShownToHost(paramIdx)) CallHost(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::EndInformHostOfParamChange(int paramIdx) {
  if (ShownToHost(paramIdx)) CallHost(audioMasterEndEdit, paramIdx);
}

void IPlugVST::InformHostOfProgramChange() { CallHost(audioMasterUpdateDisplay); }

bool IPlugVST::IsRenderingOffline() {
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

int IPlugVST::GetSamplePos() {
  const auto* info = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, 0));
  if (info && info->samplePos >= 0.0) return static_cast<int>(info->samplePos + 0.5);
  return 0;
}

double IPlugVST::GetTempo() {
  if (!mHostCallback) return 0.0;
  const auto* info = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kVstTempoValid));
  if (info && (info->flags & kVstTempoValid) && info->tempo >= 0.0) return info->tempo;
  return 0.0;
}

void IPlugVST::GetTimeSig(int* numerator, int* denominator) {
  *numerator = *denominator = 0;
  const auto* info = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kVstTimeSigValid));
  if (info && (info->flags & kVstTimeSigValid) && info->timeSigNumerator >= 0 && info->timeSigDenominator >= 0) {
    *numerator = info->timeSigNumerator;
    *denominator = info->timeSigDenominator;
  }
}

void IPlugVST::GetTime(ITimeInfo* timeInfo) {
  constexpr VstInt32 kMask = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const auto* info = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kMask));
  if (!info || !(info->flags & kMask)) return;
  timeInfo->mSamplePos = info->samplePos;
  if ((info->flags & kVstPpqPosValid) && info->ppqPos >= 0.0) timeInfo->mPPQPos = info->ppqPos;
  if ((info->flags & kVstTempoValid) && info->tempo > 0.0) timeInfo->mTempo = info->tempo;
  if ((info->flags & kVstBarsValid) && info->barStartPos >= 0.0) timeInfo->mLastBar = info->barStartPos;
  if ((info->flags & kVstCyclePosValid) && info->cycleStartPos >= 0.0 && info->cycleEndPos >= 0.0) {
    timeInfo->mCycleStart = info->cycleStartPos;
    timeInfo->mCycleEnd = info->cycleEndPos;
  }
  if ((info->flags & kVstTimeSigValid) && info->timeSigNumerator > 0 && info->timeSigDenominator > 0) {
    timeInfo->mNumerator = info->timeSigNumerator;
    timeInfo->mDenominator = info->timeSigDenominator;
  }
  timeInfo->mTransportIsRunning = (info->flags & kVstTransportPlaying) != 0;
  timeInfo->mTransportLoopEnabled = (info->flags & kVstTransportCycleActive) != 0;
}

EHost IPlugVST::GetHost() {
  const EHost host = IPlugBase::GetHost();
  if (host != kHostUninit) return host;

  char product[256] = {};
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[sizeof(product) - 1] = 0;
  int version = 0;
  if (product[0]) {
    const VstIntPtr decimal = CallHost(audioMasterGetVendorVersion);
    const int d = static_cast<int>(decimal);
    version = ((d / 10000) << 16) + (((d % 10000) / 100) << 8) + (d % 100);
  }
  SetHost(product, version);
  return IPlugBase::GetHost();
}

void IPlugVST::HostSpecificInit() {
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;
  const EHost host = GetHost();
  if (host == kHostForte || host == kHostAudition || host == kHostOrion || host == kHostSAWStudio)
    LimitToStereoIO();
  mAEffect.numInputs = mInputSpkrArr.numChannels = NInChannels();
  mAEffect.numOutputs = mOutputSpkrArr.numChannels = NOutChannels();
  OnHostIdentified();
}

void IPlugVST::AttachGraphics(IGraphics* graphics) {
  if (!graphics) return;
  IPlugBase::AttachGraphics(graphics);
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect.top = mEditRect.left = 0;
  mEditRect.bottom = static_cast<VstInt16>(graphics->Height());
  mEditRect.right = static_cast<VstInt16>(graphics->Width());
}

void IPlugVST::ResizeGraphics(int, int) {
  IGraphics* graphics = GetGUI();
  if (!graphics) return;
  mEditRect.top = mEditRect.left = 0;
  mEditRect.bottom = static_cast<VstInt16>(graphics->Height());
  mEditRect.right = static_cast<VstInt16>(graphics->Width());
  OnWindowResize();
}

void IPlugVST::SetLatency(int samples) {
  mAEffect.initialDelay = samples;
  IPlugBase::SetLatency(samples);
}

bool IPlugVST::SendVSTEvent(VstEvent* event) {
  VstEvents events{};
  events.numEvents = 1;
  events.reserved = 0;
  events.events[0] = event;
  events.events[1] = nullptr;
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendMidiVST(IMidiMsg* msg) {
  if (!msg) return false;
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = msg->mOffset;
  event.midiData[0] = static_cast<char>(msg->mStatus);
  event.midiData[1] = static_cast<char>(msg->mData1);
  event.midiData[2] = static_cast<char>(msg->mData2);
  return SendVSTEvent(reinterpret_cast<VstEvent*>(&event));
}

bool IPlugVST::SendSysEx(ISysEx* msg) {
  if (!msg) return false;
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = 32;
  event.deltaFrames = msg->mOffset;
  event.dumpBytes = msg->mSize;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(msg->mData));
  return SendVSTEvent(reinterpret_cast<VstEvent*>(&event));
}

void IPlugVST::PrepareBlock(int nFrames) {
  if (mDoesMidi) CallHost(audioMasterWantMidi);
  if (nFrames > GetBlockSize()) SetBlockSize(nFrames);
}

float IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 idx) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug || !plug->ParamIdxInRange(idx)) return 0.0f;
  return static_cast<float>(plug->GetParam(idx)->GetNormalized());
}

void IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 idx, float value) {
  IPlugVST* plug = PlugOf(effect);
  // Asked before the lock: a host may set parameters from its audio thread.
  if (!plug || !plug->ParamIdxInRange(idx)) return;
  WDL_MutexLock lock(&plug->mMutex);
  if (IGraphics* graphics = plug->GetGUI()) graphics->SetParameterFromPlug(idx, value, true);
  plug->GetParam(idx)->SetNormalized(value);
  plug->OnParamChange(idx);
}

template <class Sample, class Run>
void IPlugVST::RunProcess(AEffect* effect, Sample** inputs, Sample** outputs, VstInt32 nFrames, Run run) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  // No lock: what the block reads is published whole by the other threads.
  const InFlight call(*plug);
  if (!call) return;
  // Inside the call: what the scope does when it ends (the MIDI thread's
  // wake) is done before a close can take the instance.
  const RealtimeScope realtime;
  plug->PrepareBlock(nFrames);
  plug->AttachInputBuffers(0, plug->NInChannels(), inputs, nFrames);
  plug->AttachOutputBuffers(0, plug->NOutChannels(), outputs);
  run(plug);
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames) {
  RunProcess(effect, inputs, outputs, nFrames, [nFrames](IPlugVST* plug) { plug->ProcessBuffersAccumulating(0.0f, nFrames); });
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames) {
  RunProcess(effect, inputs, outputs, nFrames, [nFrames](IPlugVST* plug) { plug->ProcessBuffers(0.0f, nFrames); });
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 nFrames) {
  RunProcess(effect, inputs, outputs, nFrames, [nFrames](IPlugVST* plug) { plug->ProcessBuffers(0.0, nFrames); });
}
