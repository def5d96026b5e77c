// The root of the plug-in object: parameters, presets, identity, host
// identity, channel layout, the editor's graphics context, the direct MIDI
// ports and the recursive plug-in lock.
#pragma once

#include <atomic>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BlockPool.h"
#include "ByteChunk.h"
#include "Hosts.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "IPlugStructs.h"
#include "IPreset.h"
#include "WDL_Mutex.h"
#include "WDL_PtrList.h"
#include "WDL_String.h"
#include "WDL_TypedBuf.h"

class IGraphics;
class MidiBackend;
class MidiInPort;
class MidiOutPort;
class MidiSession;

constexpr int kChunkMagic = 0x70666674;       // 'pfft'
constexpr int kChunkVersion = 0x00010000;
constexpr double kUnsetPresetValue = 9.999e-08;
constexpr int MAX_EFFECT_NAME_LEN = 128;

class IPlugBase {
 public:
  struct ChannelIO {
    int mIn;
    int mOut;
  };

  struct InChannel {
    bool mConnected = false;
    double** mSrc = nullptr;
    WDL_TypedBuf<double> mScratchBuf{4096};
    WDL_String mLabel{128};
  };

  struct OutChannel {
    bool mConnected = false;
    double** mDest = nullptr;
    float* mFDest = nullptr;
    WDL_TypedBuf<double> mScratchBuf{4096};
    WDL_String mLabel{128};
  };

  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
            int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
            EAPI plugAPI);
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Virtual operations, in their fixed order.
  virtual ~IPlugBase();
  virtual void Reset();
  virtual void OnParamChange(int paramIdx);
  virtual void OnParamChange2(int paramIdx);
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void ProcessSingleReplacing(float** inputs, float** outputs, int nFrames);
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  virtual void OnActivate(bool active);
  virtual void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice);
  virtual void ProcessSysEx(ISysEx* msg, bool fromDevice);
  virtual bool MidiNoteName(int noteNumber, char* name);
  virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
  virtual int UnserializeState(ByteChunk* chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  // Where a whole section starting at startPos ends, or -1: reads, applies nothing.
  virtual int CheckState(ByteChunk* chunk, int startPos);
  // A chunk the host handed over was refused, and nothing of it applied.
  virtual void OnStateRefused() {}
  // stateSize < 0: the caller vouches for the length.
  virtual bool CompareState(const unsigned char* state, int startPos, int stateSize = -1);
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void PopupHostContextMenuForParam(int, int, int) {}
  virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);
  virtual void SetParameterFromGUI2(int paramIdx, double normalizedValue);
  virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfProgramChange() = 0;
  virtual bool IsRenderingOffline() { return false; }
  virtual int GetSamplePos() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSig(int* numerator, int* denominator) = 0;
  virtual void GetTime(ITimeInfo* timeInfo) = 0;
  virtual EHost GetHost() { return mHost; }
  virtual EAPI GetAPI() { return mAPI; }
  virtual void ResizeGraphics(int width, int height) = 0;
  // With no editor open the controls are only marked: they take the values
  // when it opens (DrawStaleParamControls), so a restore draws nothing. With
  // it open, the controls shown take them now and the others when shown.
  virtual void RedrawParamControls();
  void DrawStaleParamControls();
  virtual void SetLatency(int samples) { mLatency = samples; }
  virtual bool SendMidiVST(IMidiMsg* msg) = 0;
  virtual bool SendMidiMsg(IMidiMsg* msg) = 0;
  virtual bool SendMidiSysex(unsigned char*, int) { return false; }
  virtual bool SendPatchSysex(unsigned char*, int) { return false; }
  virtual bool SendMidiSysex2(std::vector<unsigned char>) { return false; }
  virtual void HostSpecificInit() {}
  virtual void AttachGraphics(IGraphics* graphics);
  virtual bool SendSysEx(ISysEx*) { return false; }
  virtual void DirtyPTCompareState() {}
  virtual void PresetsChangedByHost() {}
  virtual void SetBlockSize(int blockSize);
  // A message the direct out port refused, and why; the base prints it on
  // standard error, a plug-in may log it its own way.
  virtual void OnMidiOutRefused(const char* reason);
  // A message was not sent because the out port chosen is gone (its MIDI
  // system went away); called without the sending lock held.
  virtual void OnMidiOutGone() {}
  // A message met the out port open with nothing connected to it.
  virtual void OnMidiOutUnplugged() {}
  // A message met the out port with no room for it (its system stalled).
  virtual void OnMidiOutFull() {}
  // A caption's menu of the parameter is about to open: its texts may be
  // made again now (the device menus read the ports as they open).
  virtual void OnCaptionMenu(int paramIdx) { (void)paramIdx; }
  virtual void OnMidiDeviceMenu(bool input) { (void)input; }
  // The text entry of the parameter was left without its text (Escape).
  virtual void OnTextEntryCancelled(int paramIdx) { (void)paramIdx; }

  // ---- Set-up.
  void initialize(int nAutomatable, int nParams, const char* channelIOStr, int nPresets,
                  const char* effectName, const char* productName, const char* mfrName,
                  int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                  bool plugDoesChunks, bool plugIsInst);
  void addNonAutomateParamCount(int n) { mNonAutomatedParamCount = n; }

  // ---- Identity.
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  int GetEffectVersion(bool decimal) const;
  void GetEffectVersionStr(char* text) const;
  int GetHostVersion(bool decimal);
  void GetHostVersionStr(char* text);
  void SetHost(const char* hostProduct, int version);
  const char* GetAPIString();
  const char* GetArchString() const { return "x86"; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInst; }
  int GetLatency() const { return mLatency; }

  // ---- Parameters.
  IParam* GetParam(int idx) const { return mParams.Get(idx); }
  int NParams() const { return mParams.GetSize(); }
  int NAutomatableParams() const { return mParams.GetSize() - mNonAutomatedParamCount; }
  int NNonAutomatedParams() const { return mNonAutomatedParamCount; }
  IGraphics* GetGUI() const { return mGraphics.get(); }
  void OnParamReset();
  void DirtyParameters();
  WDL_Mutex* GetMutex() { return &mMutex; }
  // The user changed the plug-in's state (a control, a setting, a library
  // pick): the host hears of it once, from its GUI thread, at the editor's
  // next idle call, however many changes came before.
  void NoteStateChangedByUser() { mStateChangedByUser = true; }
  bool TakeStateChangedByUser() { return mStateChangedByUser.exchange(false); }
  // On the editor's idle call: whether to tell the host its state changed.
  // Only a change of what the project saves counts: a page switch alone
  // changes nothing saved, while a command's result (a dump that arrives
  // after its button) counts when it comes, a little later.
  bool TakeSavedStateChangedByUser();
  // A stamp of the saved state (the state chunk's bytes, hashed), taken
  // without the plug-in lock: the audio block never waits for it. Each value
  // is read whole; a state restored meanwhile is seen by the next look.
  virtual uint64_t SavedStateStamp();
  // The clock of that watch; the system's steady clock when empty.
  std::function<std::chrono::steady_clock::time_point()> stampClock;

  // ---- Audio.
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int NInChannels() const { return mInChannels.GetSize(); }
  int NOutChannels() const { return mOutChannels.GetSize(); }
  bool LegalIO(int nIn, int nOut) const;
  void LimitToStereoIO();
  void SetInputChannelConnections(int idx, int n, bool connected);
  void SetOutputChannelConnections(int idx, int n, bool connected);
  bool IsInChannelConnected(int ch) const;
  bool IsOutChannelConnected(int ch) const;
  void AttachInputBuffers(int idx, int n, double** data, int nFrames);
  void AttachInputBuffers(int idx, int n, float** data, int nFrames);
  void AttachOutputBuffers(int idx, int n, double** data);
  void AttachOutputBuffers(int idx, int n, float** data);
  void ProcessBuffers(double, int nFrames);
  void ProcessBuffers(float, int nFrames);
  void ProcessBuffersAccumulating(float, int nFrames);
  void PassThroughBuffers(double, int nFrames);
  void PassThroughBuffers(float, int nFrames);
  void ZeroScratchBuffers();
  double GetSamplesPerBeat();
  void SetInputLabel(int idx, const char* label);
  void SetOutputLabel(int idx, const char* label);
  void SetInputBusLabel(int idx, const char* label);
  void SetOutputBusLabel(int idx, const char* label);
  const char* GetInputBusLabel(int idx) const;
  const char* GetOutputBusLabel(int idx) const;
  int NChannelIO() const { return mChannelIO.GetSize(); }

  // ---- Presets and state chunks.
  void InitChunkWithIPlugVer(ByteChunk* chunk);
  int GetIPlugVerFromChunk(ByteChunk* chunk, int* pPos);
  bool SerializeParams(ByteChunk* chunk);
  // The plain values of count parameters from first, as the two above write
  // them, read without the lock (each value is read whole).
  void AppendParamValues(ByteChunk* chunk, int first, int count) const;
  int UnserializeParams(ByteChunk* chunk, int startPos);
  bool SerializeNonAutomatedParams(ByteChunk* chunk, int count);
  int UnserializeNonAutomatedParams(ByteChunk* chunk, int startPos, int count);
  bool SerializePresets(ByteChunk* chunk);
  int UnserializePresets(ByteChunk* chunk, int startPos);
  // Where the presets' part of a bank chunk ends when every preset in it is whole, or -1.
  int CheckPresets(ByteChunk* chunk, int startPos);
  void MakeDefaultPreset(const char* name = nullptr, int nPresets = 1);
  void MakePreset(const char* name, ...);
  void MakePresetFromNamedParams(const char* name, int nParamsNamed, ...);
  void MakePresetFromChunk(const char* name, ByteChunk* chunk);
  void MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk);
  void EnsureDefaultPreset();
  void PruneUninitializedPresets();
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  const char* GetPresetName(int idx) const;
  void ModifyCurrentPreset(const char* name = nullptr);
  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }

  // ---- Program and bank files.
  bool SaveProgramAsFXP(const char* defaultFileName = "");
  bool SaveBankAsFXB(const char* defaultFileName = "");
  bool LoadProgramFromFXP();
  bool LoadBankFromFXB();
  void DumpPresetSrcCode(const char* fileName, const char* paramEnumNames[]);
  void DumpPresetBlob(const char* fileName);
  // The file forms, for callers that already have a path.
  bool SaveProgramToFile(const char* path);
  bool SaveBankToFile(const char* path);
  bool LoadProgramFromFile(const char* path);
  bool LoadBankFromFile(const char* path);
  WDL_String* GetPreviousPath() { return &mPreviousPath; }

  // ---- Direct MIDI ports.
  std::vector<std::string>& getExternalMIDIOutNames();
  std::vector<std::string>& getExternalMIDIInNames();
  // The lists as the MIDI system sees them now, for a device menu the user
  // opens, which may bring back a client whose server went before the host's
  // has; other roads take the last lists (above). The open device's name
  // stays in its list while its port waits for it.
  std::vector<std::string>& refreshExternalMIDIOutNames();
  std::vector<std::string>& refreshExternalMIDIInNames();
  int setExternalMIDIOut(int& index, const char* name);
  int setExternalMIDIIn(int& index, const char* name);
  int getExternalMIDIOutDevice(const char* name);
  int getExternalMIDIInDevice(const char* name);
  int GetMIDIOutPortNumber(const char* name);
  int GetMIDIInPortNumber(const char* name);
  bool initializeVirtualOutput(std::string name);
  static void MIDICallback(double timeStamp, std::vector<unsigned char>* message, void* userData);
  void processMIDIInput(double timeStamp, std::vector<unsigned char>* message, void* userData);
  bool SendMidiMsgs(WDL_TypedBuf<IMidiMsg>* msgs);

 protected:
  // Stops the direct input before derived parts go away, so no message
  // reaches a half-destroyed plug-in.
  void StopMidiInput();
  // Sends on the direct out port; false when there is nothing to send on.
  // Gone once the port took it; a port with no room refuses it at once.
  bool SendToMidiOut(const unsigned char* bytes, size_t size);
  // True while the out port chosen is gone. Never waits for a sender: while
  // one holds the port, and inside the host's real-time calls, the answer it
  // last gave.
  bool MidiOutGone();
  // The out port is open and nothing is connected to it.
  bool MidiOutUnplugged();
  // The same, taking no lock: for the host's real-time calls.
  bool MidiOutUnpluggedNow() const;
  // Opens this instance's session on the MIDI system at its first use.
  MidiSession& midiSession();
  // Hands the out port over (to what sends after the instance has gone),
  // with the MIDI system it came from; null when there is none.
  std::unique_ptr<MidiOutPort> takeMidiOut(std::shared_ptr<MidiBackend>* backend);

  int mNonAutomatedParamCount = 0;
  // The MIDI system the ports came from and this instance's session on it;
  // declared before the ports, which may need them until they are gone.
  std::shared_ptr<MidiBackend> mMidiBackend;
  std::unique_ptr<MidiSession> mMidiSession;
  std::unique_ptr<MidiInPort> mMidiIn;
  std::unique_ptr<MidiOutPort> mMidiOut;
  // Sends come from the GUI, audio and worker threads; one message at a time.
  std::mutex mMidiOutMutex;
  std::atomic<bool> mMidiOutGone{false};
  // The out port as the host's real-time calls see it, without the lock:
  // made once, it goes only with the instance, after the last of them.
  std::atomic<MidiOutPort*> mMidiOutSeen{nullptr};
  int mRequestedInSelection = 0;
  int mRequestedOutSelection = 0;
  WDL_PtrList<ChannelIO> mChannelIO;
  WDL_Mutex mMutex;
  std::atomic<bool> mStateChangedByUser{false};
  // The saved state's stamp before the user's changes the host has not been
  // told of, and until when a change is still looked for after them.
  void StampBeforeUserChange();
  std::mutex mStampMutex;
  bool mStampTaken = false;
  uint64_t mStampBefore = 0;
  std::chrono::steady_clock::time_point mStampWatchedUntil{};
  std::chrono::steady_clock::time_point mStampRecheckAt{};
  std::atomic<bool> mParamControlsStale{false};
  char mEffectName[MAX_EFFECT_NAME_LEN] = {};
  char mProductName[MAX_EFFECT_NAME_LEN] = {};
  char mMfrName[MAX_EFFECT_NAME_LEN] = {};
  int mUniqueID;
  int mMfrID;
  int mVersion;
  std::vector<std::string> mOutNames;
  std::vector<std::string> mInNames;
  // The devices open now, by name; empty for none.
  std::string mOpenOutName, mOpenInName;
  EAPI mAPI;
  EHost mHost = kHostUninit;
  int mHostVersion = 0;
  bool mStateChunks;
  bool mIsInst;
  int mCurrentPresetIdx = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  WDL_String mPreviousPath;
  // The parameters themselves, outliving the graphics and the list.
  BlockPool<IParam> mParamPool;
  std::unique_ptr<IGraphics> mGraphics;
  WDL_PtrList<IParam> mParams;  // into mParamPool
  WDL_PtrList<IPreset> mPresets;
  WDL_TypedBuf<double*> mInData;
  WDL_TypedBuf<double*> mOutData;
  WDL_PtrList<InChannel> mInChannels;
  WDL_PtrList<OutChannel> mOutChannels;
  WDL_PtrList<WDL_String> mInputBusLabels;
  WDL_PtrList<WDL_String> mOutputBusLabels;

 private:
  bool WriteProgramFile(ByteChunk* file);
  bool WriteBankFile(ByteChunk* file);
  bool ReadProgramFile(ByteChunk& file);
  bool ReadBankFile(ByteChunk& file);
  // Big-endian normalised floats, one per automatable parameter; returns the next position.
  int ReadNormalizedParams(const ByteChunk& file, int pos);
  // The double results of a float call, into the host's float buffers.
  void ConvertOutputs(int nFrames, bool accumulate);
  void SetParameterFromGUIWith(int paramIdx, double normalizedValue, void (IPlugBase::*handler)(int));
};
