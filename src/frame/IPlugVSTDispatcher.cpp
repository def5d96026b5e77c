// The host's dispatcher calls. Every answer copied into a host buffer is cut
// to the size the interface documents for it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "IGraphics.h"
#include "IGraphicsLinux.h"
#include "IPlugVST.h"
#include "RealtimeScope.h"

namespace {
constexpr VstInt32 kLastKnownOpcode = 69;
constexpr VstIntPtr kIdentifyAnswer = 0x4E764566;  // 'NvEf'
constexpr VstIntPtr kCockosAnswer = 0xBEEF0000;
constexpr VstIntPtr kVendorSpecificAnswer = 0xBEEF;
constexpr VstInt32 kVstVersion = 2400;
constexpr int kHostExtCockos = 1;
constexpr int kHostExtCockosViewAsConfig = 2;

VstIntPtr CopyToHost(void* ptr, const char* text, int size) {
  if (!ptr) return 0;
  CopyBounded(static_cast<char*>(ptr), text, size);
  return 1;
}
}  // namespace

VstIntPtr IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                  void* ptr, float opt) {
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (!plug) return 0;
  if (opCode == effClose) {
    // Hosts never run the block beside the close: one in flight all the
    // same ends before the instance goes.
    plug->mClosing = true;
    while (plug->mInFlight.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The lock lives in the object; nothing may hold it once deletion starts.
    plug->mMutex.Enter();
    plug->mMutex.Leave();
    plug->StopMidiInput();
    effect->object = nullptr;
    delete plug;
    // What was readied for editors goes with the last instance. The heap is
    // the host's too and is never trimmed: the large blocks the instances
    // held were mapped by the plug-in and went back with them.
    if (LiveInstances() == 0) IGraphicsLinux::ReleasePreparedFrames();
    return 0;
  }
  // The editor's calls come on the host's GUI thread and may wait for the
  // user (menus, dialogs); they take the lock only where they reach the
  // plug-in, so the audio thread never waits for them.
  switch (opCode) {
    case effEditOpen:
    case effEditClose:
    case effEditIdle:
    case effEditKeyDown:
    case effEditKeyUp:
      return plug->DispatchEditor(opCode, idx, value, ptr);
    default:
      break;
  }
  // The host's MIDI events come on its audio thread, just before the block:
  // as the block, they take no lock. What they would do under it goes to
  // the MIDI thread.
  if (opCode == effProcessEvents) {
    const InFlight call(*plug);
    return call ? plug->ProcessEvents(static_cast<VstEvents*>(ptr)) : 0;
  }
  WDL_MutexLock lock(&plug->mMutex);
  return plug->Dispatch(opCode, idx, value, ptr, opt);
}

VstIntPtr IPlugVST::DispatchEditor(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr) {
  IGraphics* graphics = GetGUI();
  if (!graphics) return 0;
  auto* linuxGraphics = dynamic_cast<IGraphicsLinux*>(graphics);
  switch (opCode) {
    case effEditOpen: {
      // The host's X11 window comes as the pointer's value.
      void* view = (mHasVSTExtensions & kHostExtCockosViewAsConfig) ? graphics->OpenWindow(ptr)
                                                                     : graphics->OpenWindow(ptr, nullptr, 0, 0);
      if (!view) return 0;
      WDL_MutexLock lock(&mMutex);
      DrawStaleParamControls();
      OnGUIOpen();
      return 1;
    }
    case effEditClose: {
      {
        WDL_MutexLock lock(&mMutex);
        OnGUIClose();
      }
      graphics->CloseWindow();
      return 1;
    }
    case effEditIdle:
      if (linuxGraphics) linuxGraphics->Idle();
      OnIdle();
      // The host shows 0 parameters, so their automation notices tell it
      // nothing: the display-changed call is what VST 2.4 hosts take for
      // "the state changed" (and mark the project modified on), so it is
      // made only when what the project saves changed.
      if (TakeSavedStateChangedByUser()) CallHost(audioMasterUpdateDisplay);
      return 0;
    case effEditKeyDown:
      return linuxGraphics && linuxGraphics->OnHostKeyDown(idx, static_cast<int>(value)) ? 1 : 0;
    default:
      return 0;
  }
}

VstIntPtr IPlugVST::Dispatch(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  if (opCode > kLastKnownOpcode || opCode < 0) return 0;

  switch (opCode) {
    case effOpen:
      HostSpecificInit();
      OnParamReset();
      return 0;
    case effSetProgram:
      if (!DoesStateChunks()) ModifyCurrentPreset();
      RestorePreset(static_cast<int>(value));
      return 0;
    case effGetProgram:
      return GetCurrentPresetIdx();
    case effSetProgramName:
      if (ptr) {
        char name[MAX_PRESET_NAME_LEN];
        CopyBounded(name, static_cast<const char*>(ptr), MAX_PRESET_NAME_LEN);
        ModifyCurrentPreset(name);
        PresetsChangedByHost();
      }
      return 0;
    case effGetProgramName:
      if (ptr) CopyToHost(ptr, GetPresetName(GetCurrentPresetIdx()), kVstMaxProgNameLen);
      return 0;
    case effGetParamLabel:
      if (ParamIdxInRange(idx)) CopyToHost(ptr, GetParam(idx)->GetLabelForHost(), kVstMaxParamStrLen);
      return 0;
    case effGetParamDisplay:
      if (ParamIdxInRange(idx) && ptr) {
        char display[MAX_PARAM_DISPLAY_LEN];
        IParam* param = GetParam(idx);
        param->GetDisplayForHost(param->Value(), false, display, true);
        CopyToHost(ptr, display, kVstMaxParamStrLen);
      }
      return 0;
    case effGetParamName:
      if (ParamIdxInRange(idx)) CopyToHost(ptr, GetParam(idx)->GetNameForHost(), kVstMaxParamStrLen);
      return 0;
    case effSetSampleRate:
      SetSampleRate(opt);
      Reset();
      return 0;
    case effSetBlockSize:
      SetBlockSize(static_cast<int>(value));
      Reset();
      return 0;
    case effMainsChanged:
      if (value) {
        OnActivate(true);
      } else {
        OnActivate(false);
        Reset();
      }
      return 0;
    case effEditGetRect:
      if (ptr && GetGUI()) {
        *static_cast<ERect**>(ptr) = &mEditRect;
        return 1;
      }
      return 0;
    case effIdentify:
      return kIdentifyAnswer;
    case effGetChunk:
      return ptr ? GetChunk(idx == 0, static_cast<void**>(ptr)) : 0;
    case effSetChunk:
      return ptr ? SetChunk(idx == 0, ptr, value) : 0;
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return String2Parameter(idx, static_cast<const char*>(ptr));
    case effGetProgramNameIndexed:
      if (!ptr) return 0;
      CopyToHost(ptr, GetPresetName(idx), kVstMaxProgNameLen);
      return static_cast<char*>(ptr)[0] ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties: {
      const bool input = opCode == effGetInputProperties;
      const int count = input ? NInChannels() : NOutChannels();
      if (!ptr || idx < 0 || idx >= count) return 0;
      auto* pin = static_cast<VstPinProperties*>(ptr);
      pin->flags = kVstPinIsActive;
      if (idx % 2 == 0 && idx < count - 1) pin->flags |= kVstPinIsStereo;
      std::snprintf(pin->label, sizeof(pin->label), input ? "Input %d" : "Output %d", idx + 1);
      return 1;
    }
    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement: {
      const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(value);
      const auto* out = static_cast<const VstSpeakerArrangement*>(ptr);
      if (in) {
        const int n = in->numChannels;
        SetInputChannelConnections(0, n, true);
        SetInputChannelConnections(n, NInChannels() - n, false);
      }
      if (out) {
        const int n = out->numChannels;
        SetOutputChannelConnections(0, n, true);
        SetOutputChannelConnections(n, NOutChannels() - n, false);
      }
      return 1;
    }
    case effGetEffectName:
      return CopyToHost(ptr, GetEffectName(), kVstMaxEffectNameLen);
    case effGetVendorString:
      return CopyToHost(ptr, GetMfrName(), kVstMaxVendorStrLen);
    case effGetProductString:
      return CopyToHost(ptr, GetProductName(), kVstMaxProductStrLen);
    case effGetVendorVersion:
      return GetEffectVersion(false);
    case effVendorSpecific:
      if (idx == effGetParamDisplay && ptr) {
        if (ParamIdxInRange(static_cast<int>(value))) {
          char display[MAX_PARAM_DISPLAY_LEN];
          GetParam(static_cast<int>(value))->GetDisplayForHost(opt, true, display, true);
          CopyToHost(ptr, display, kVstMaxParamStrLen);
        }
        return kVendorSpecificAnswer;
      }
      return 0;
    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName:
      if (ptr) {
        auto* key = static_cast<MidiKeyName*>(ptr);
        key->keyName[0] = 0;
        char name[sizeof(key->keyName) + 64] = {};
        const bool named = MidiNoteName(key->thisKeyNumber, name);
        CopyBounded(key->keyName, name, sizeof(key->keyName));
        return named ? 1 : 0;
      }
      return 0;
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkrArr;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkrArr;
      return 1;
    default:
      return 0;
  }
}

VstIntPtr IPlugVST::CanDo(const char* text) {
  if (!text) return 0;
  if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
  if (mDoesMidi && (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
                    !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent")))
    return 1;
  if (!std::strcmp(text, "hasCockosExtensions")) {
    mHasVSTExtensions |= kHostExtCockos;
    return kCockosAnswer;
  }
  if (!std::strcmp(text, "hasCockosViewAsConfig")) {
    mHasVSTExtensions |= kHostExtCockosViewAsConfig;
    return kCockosAnswer;
  }
  return 0;
}

VstIntPtr IPlugVST::GetChunk(bool isBank, void** data) {
  ByteChunk& chunk = isBank ? mBankState : mState;
  InitChunkWithIPlugVer(&chunk);
  bool saved;
  if (isBank) {
    ModifyCurrentPreset();
    SerializePresets(&chunk);
    saved = SerializeState(&chunk);
  } else {
    saved = SerializeState(&chunk);
  }
  if (!saved || chunk.Size() <= 0) return 0;
  *data = chunk.Data();
  return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(bool isBank, const void* data, VstIntPtr size) {
  if (size < 0 || size > 0x7fffffff) return 0;
  ByteChunk& chunk = isBank ? mBankState : mState;
  if (!chunk.Resize(static_cast<int>(size))) return 0;
  if (size) std::memcpy(chunk.Data(), data, static_cast<size_t>(size));

  int pos = 0;
  const int version = IPlugBase::GetIPlugVerFromChunk(&chunk, &pos);
  if (isBank && version >= kChunkVersion) {
    // Presets are applied as they are read: the whole bank is checked first,
    // so a damaged one changes nothing.
    const int presetsEnd = CheckPresets(&chunk, pos);
    if (presetsEnd < 0 || CheckState(&chunk, presetsEnd) < 0) {
      OnStateRefused();
      return 0;
    }
    pos = UnserializePresets(&chunk, pos);
    pos = UnserializeState(&chunk, pos);
  } else {
    pos = UnserializeState(&chunk, pos);
    if (pos >= 0) ModifyCurrentPreset();
  }
  if (pos < 0) return 0;
  RedrawParamControls();
  return 1;
}

// The host calls this on its audio thread, just before the block.
VstIntPtr IPlugVST::ProcessEvents(VstEvents* events) {
  if (!events) return 0;
  const RealtimeScope realtime;
  // The host's list runs on past the two entries the declaration shows.
  VstEvent* const* list = events->events;
  for (int i = 0; i < events->numEvents; ++i) {
    VstEvent* event = list[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      IMidiMsg msg(midi->deltaFrames, static_cast<uint8_t>(midi->midiData[0]),
                   static_cast<uint8_t>(midi->midiData[1]), static_cast<uint8_t>(midi->midiData[2]));
      ProcessMidiMsg(&msg, false);
    } else {
      SendVSTEvent(event);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::String2Parameter(int idx, const char* text) {
  if (!ParamIdxInRange(idx)) return 0;
  if (!text) return 1;
  IParam* param = GetParam(idx);
  double value;
  if (param->GetNDisplayTexts()) {
    int mapped = 0;
    if (!param->MapDisplayText(text, &mapped)) return 0;
    value = mapped;
  } else {
    value = std::atof(text);
    if (param->GetNegateDisplay()) value = -value;
  }
  if (IGraphics* graphics = GetGUI()) graphics->SetParameterFromPlug(idx, value, false);
  param->Set(value);
  OnParamChange(idx);
  return 1;
}
