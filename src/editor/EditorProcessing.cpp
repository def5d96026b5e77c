// The host's block callback as the editor's clock, the entries of incoming
// MIDI from the host and the instrument, and the plug-in reset.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "ControlAction.h"
#include "ControlLayer.h"
#include "IControl.h"
#include "IGraphics.h"
#include "MIDIMessageManager.h"
#include "MidiSendThread.h"
#include "NoteEnds.h"
#include "ParamIndex.h"
#include "RealtimeScope.h"
#include "Tarnivex.h"

namespace {
constexpr uint32_t kLightMs = 100;
constexpr int kClockArgument = 120;
constexpr int kLowestTempo = 65;

}  // namespace

int Tarnivex::filterKindOf(const IMidiMsg& msg) {
  switch (msg.StatusMsg()) {
    case IMidiMsg::kControlChange: return kFilterCC;
    case IMidiMsg::kProgramChange: return kFilterPC;
    case IMidiMsg::kNoteOn:
    case IMidiMsg::kNoteOff: return kFilterNote;
    case IMidiMsg::kPitchWheel: return kFilterPP;
    case IMidiMsg::kPolyAftertouch: return kFilterPA;
    case IMidiMsg::kChannelAftertouch: return kFilterCA;
    default: return -1;
  }
}

void Tarnivex::deriveMirroredFlags() {
  auto is1 = [this](int idx) { return GetParam(idx)->Value() == 1.0; };
  for (int k = 0; k < kFilterKinds; ++k) {
    hostBlocked[static_cast<size_t>(k)] = !is1(kMIDIFilterDAWCCPassThrough + k);
    deviceBlocked[static_cast<size_t>(k)] = !is1(kMIDIFilterHWCCPassThrough + k);
  }
  trackIncoming = is1(kMIDIFilterTrackIncomingMIDI);
  midiToHostBuffer = is1(kMIDIFilterToDAWBuffer);
  clockPointerOn = is1(kSendMIDIClockPointer);
  clockInfoOn = is1(kSendMIDIClockInfo);
  masterKeyboard = is1(kMasterKeyboard);
  localControl = is1(kGlobalLocalControl);
  libraryControl = is1(kControlLibrary);
  browse.progBankControl = is1(kControlProgBank);
  keepSelectedBank = GetParam(kKeepSelectedBank)->Value() != 0.0;
  deviceId = GetParam(kGlobalSysExID)->Int();
}

void Tarnivex::ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) {
  if (!msg) return;
  // A host hands a block's events over before the block: the silence due
  // after a reset goes first, or it would cut the notes that start the song.
  if (!fromDevice) silenceAfterResetIfDue();
  // A part's program change and its bank select are never lost to a job:
  // they wait for it to end, the last one for a part replacing the one
  // before. Only the pair's own values are half a pick: any other value of
  // controller 0 or 32 is a controller as any other, not sent while busy.
  const bool bankSelectHalf =
      msg->StatusMsg() == IMidiMsg::kControlChange &&
      ((msg->mData1 == IMidiMsg::kBankSelectMSB && msg->mData2 == 0) ||
       (msg->mData1 == IMidiMsg::kBankSelectLSB && (msg->mData2 == 64 || msg->mData2 == 65 || msg->mData2 == 66 ||
                                                     msg->mData2 == 80 || msg->mData2 == 96)));
  const bool partPick = msg->StatusMsg() == IMidiMsg::kProgramChange || bankSelectHalf;
  // A note the host started before the job is let go: a note off, a pedal
  // released or a reset held back would leave it sounding.
  if ((processing || editorBusy) && !partPick && !(endsSounding(*msg) && !fromDevice)) {
    // Not sent while a job or a transfer has the instrument, but never in silence.
    if (!fromDevice && msg->StatusMsg() != IMidiMsg::kNone && midiSendThread) midiSendThread->countIgnored();
    return;
  }
  if (fromDevice && masterKeyboard) return;
  if (msg->StatusMsg() == IMidiMsg::kNone) return;
  if (msg->Channel() == GetParam(kGlobalMidiChannel)->Int() - 1) return;
  if (!midiMessageManager) return;
  if (fromDevice) {
    midiMessageManager->ProcessMidiMsgFromDevice(msg);
    return;
  }
  // Only a program change and its bank select ask which part they are for:
  // the walk over the parts' channels is not made for every note of a host's burst.
  const bool forPart = msg->StatusMsg() == IMidiMsg::kProgramChange ||
                       (msg->StatusMsg() == IMidiMsg::kControlChange && msg->mData1 == IMidiMsg::kBankSelectLSB);
  const int part = forPart ? partForHostMessage(*msg) : 0;
  midiMessageManager->ProcessMidiMsgFromDAW(msg, part);
}

int Tarnivex::partForHostMessage(const IMidiMsg& msg) const {
  for (int p = 0; p < 16; ++p)
    if (GetParam(kMultiPartMIDICh + p)->Value() - 2.0 == static_cast<double>(msg.Channel())) return p;
  return 0;
}

void Tarnivex::ProcessSysEx(ISysEx* message, bool fromDevice) {
  if (!message || !message->mData || message->mSize <= 0) return;
  if (blocks(fromDevice, kFilterSE) || !midiMessageManager) return;
  // The instrument's report of what a part plays is a pick: it waits for a
  // send or a restore under way and is served after it, as its program
  // change does.
  if (fromDevice && midiMessageManager->takeReport(message->mData, message->mSize)) return;
  // A part's reply still reaches the request waiting for it while another
  // thread starts a send: dropped here, the instrument's answer would be
  // taken for its silence (and a device-ID search begun).
  // A library entry handed over on its pick's lane is the editor's own, not
  // the instrument's word: another thread's send starting meanwhile does not
  // drop it (its part would be sent the sound it held before).
  if ((stateRestore || editorBusy) && !midiMessageManager->handingOver() &&
      !(fromDevice && midiMessageManager->replyDue(message->mData, message->mSize)))
    return;
  const uint8_t* bytes = message->mData;
  if (GetGUI() && trackIncoming && message->mSize >= 9 && message->mSize <= 13 && bytes[1] == 0x3E &&
      bytes[2] == 0x10)
    lightPart(bytes[5]);
  midiMessageManager->ProcessSysEx(message, fromDevice);
  if (miniMixerLayer)
    for (const auto& control : miniMixerLayer->controls()) control->SetDirty(false);
  // Whatever arrived may differ from what was last sent for any parameter.
  for (int i = 0; i < NParams(); ++i)
    if (auto* action = static_cast<ControlAction*>(GetParam(i)->GetControlAction())) action->lastValue = -1.0;
  if (midiMessageManager->replyAccepted) replyReceived = true;
}

void Tarnivex::sendTempo(int code) {
  const int device = GetParam(kGlobalSysExID)->Int();
  unsigned char message[9] = {0xF0, 0x3E, 0x10, static_cast<unsigned char>(device), 0x21, 0x00, 0x05,
                              static_cast<unsigned char>(code), 0xF7};
  if (device < 0 || device > 127) {
    debugLog("MIDI OUT: tempo not sent: device ID outside 0-127");
    return;
  }
  sendSysExToDevice(message, static_cast<int>(sizeof(message)));
}

void Tarnivex::drainQueue(int frames, int nFrames) {
  const bool toHost = midiToHostBuffer;
  midiQueue.Take();
  for (int s = 0; s < frames; ++s) {
    while (!midiQueue.Empty() && midiQueue.Peek().mOffset <= s) {
      if (toHost) {
        // Into the host's buffer: the host passes it on where the track's
        // MIDI output goes.
        IMidiMsg msg = midiQueue.Peek();
        msg.mOffset = std::clamp(s, 0, nFrames > 0 ? nFrames - 1 : 0);
        SendMidiVST(&msg);
      }
      midiQueue.Remove();
    }
    if (!transportWasRunning && soundsOffPending && midiIOConfigured && silenceAfterResetIfDue()) midiQueue.Take();
    if (GetGUI()) {
      const uint32_t now = tick();
      for (int p = 0; p < 16; ++p) {
        if (partLights[static_cast<size_t>(p)] != 1 || lightTimes[static_cast<size_t>(p)] >= now - kLightMs) continue;
        partLights[static_cast<size_t>(p)] = 0;
        setParameterFromPlug(kMIDILed + p, 0.0, false);
      }
    }
  }
  midiQueue.Flush(frames);
}

// The window's idle call shows it: a text control's text is not the block's to set.
void Tarnivex::showMidiOutDelay() {
  if (!midiToHostBuffer || !GetGUI() || !midiOutDelayDisplay || storedSampleRate <= 0.0) return;
  const int frames = hostBufferFrames();
  char text[64];
  const int ms = frames > 0 ? static_cast<int>(1000.0 / (storedSampleRate / frames)) : 0;
  std::snprintf(text, sizeof(text), "%dms|%dbfr", ms, GetBlockSize());
  midiOutDelayDisplay->SetTextFromPlug(text);
}

bool Tarnivex::silenceAfterResetIfDue() {
  if (transportWasRunning || !midiIOConfigured) return false;
  // Read before the exchange: each host event asks, and a locked
  // instruction per event is paid on the host's audio thread.
  if (!soundsOffPending.load(std::memory_order_relaxed)) return false;
  bool pending = true;
  if (!soundsOffPending.compare_exchange_strong(pending, false)) return false;
  AllSoundsOff(0, true);
  for (int p = 0; p < 16; ++p) {
    if (partLights[static_cast<size_t>(p)].exchange(0) == 1) setParameterFromPlug(kMIDILed + p, 0.0, false);
  }
  return true;
}

// Everything the block would send, pause or start waits for the MIDI thread
// in order (MidiSendThread.h): the block itself never waits.
void Tarnivex::ProcessDoubleReplacing(double**, double**, int nFrames) {
  const RealtimeScope realtime;
  if (resetPending && midiIOConfigured) resetPending = false;
  ITimeInfo timeInfo;
  GetTime(&timeInfo);
  MIDIMessageManager* manager = midiMessageManager.get();
  const auto startJob = [manager](int code, int clockArgument = 0) {
    if (!manager) return;
    SenderJob job;
    job.jobCode = code;
    job.clockArgument = clockArgument;
    manager->startJob(job);
  };

  // Transport edges start and stop the instrument's clock.
  const bool running = timeInfo.mTransportIsRunning;
  if (running && !transportWasRunning) {
    transportWasRunning = true;
    if (!midiToHostBuffer && !clockStarted) {
      startJob(15);
      clockStarted = true;
    }
  } else if (!running && transportWasRunning) {
    transportWasRunning = false;
    if (!midiToHostBuffer && clockStarted) {
      startJob(17);
      clockStarted = false;
    }
  }
  transportRunning = running;

  if (clockAwaitsHostTempo) {
    const int tempo = static_cast<int>(GetTempo());
    if (tempo > 0) tempoValue = tempo;
    // Waiting ends with a tempo, or when the clock or the host tempo is switched off.
    if (tempo > 0 || !clockInfoOn || GetParam(kOverrideTempo)->Value() != 1.0) clockAwaitsHostTempo = false;
  }
  if (midiIOConfigured && !continuousClockStarted && manager && !clockAwaitsHostTempo) {
    manager->resetContinuousClock(false);
    startJob(16, kClockArgument);
    continuousClockStarted = true;
  }

  // Tempo codes outside 0-127 cannot ride in a data byte: clamped. A host
  // that gives no tempo (no transport) gives 0: nothing is sent then, and
  // the multi keeps its own tempo.
  const double overrideTempo = GetParam(kOverrideTempo)->Value();
  const int hostTempo = overrideTempo == 1.0 && midiIOConfigured ? static_cast<int>(GetTempo()) : 0;
  if (overrideTempo == 1.0 && midiIOConfigured && hostTempo > 0) {
    const int code = std::clamp(hostTempo - kLowestTempo, 0, 127);
    if (code != lastTempoCode) {
      lastTempoCode = code;
      tempoSynced = false;
      if (debugLogEnabled && midiSendThread) midiSendThread->logTempo(hostTempo, false);
    }
    if (!tempoSynced) {
      if (debugLogEnabled && midiSendThread) midiSendThread->logTempo(hostTempo, true);
      setParameterFromPlug(kMultiTempo, code, false);
      sendTempo(code);
      tempoSynced = true;
    }
  } else if (overrideTempo == 0.0 && midiIOConfigured) {
    const int code = std::clamp(GetParam(kMultiTempo)->Int(), 0, 127);
    if (code != lastTempoCode) {
      lastTempoCode = code;
      sendTempo(code);
    }
  }

  drainQueue(midiToHostBuffer ? hostBufferFrames() : nFrames, nFrames);

  if (constructionFinished && midiIOConfigured && midiOutStored && initialisationPending) {
    sendSysExInitialization();
    initialisationPending = false;
  }
  // Asks the ID the instrument last answered on first, as every enquiry does.
  if (enquiryAwaitsOutPort && midiIOConfigured && !MidiOutGone() && enquiryAwaitsOutPort.exchange(false))
    sendSysExInitialization();

  // One request waits on the MIDI thread at a time.
  if (partRequestPending && manager && midiSendThread && !partRequestPosted)
    partRequestPosted = midiSendThread->requestPart();
}

// The part's sound asked for is a pick of the part: it goes after what is
// under way, or waits for a job.
void Tarnivex::runPartRequest() {
  if (partRequestPending.exchange(false) && midiMessageManager) {
    Pick pick;
    pick.work = Pick::Work::kRequest;
    pick.slot = std::clamp(currentPart.load(), 0, 15);
    midiMessageManager->picks.pick(pick);
  }
  partRequestPosted = false;
}

void Tarnivex::Reset() {
  WDL_MutexLock lock(&mMutex);
  notesSilenced = false;
  if (storedSampleRate != GetSampleRate()) storedSampleRate = GetSampleRate();
  midiQueue.Resize(GetBlockSize());
  if (hostBufferOffset == 0) hostBufferOffset = GetBlockSize();
  soundsOffPending = true;
  resetPending = true;
  GetEffectVersionStr(mVersionText);
  const std::string version = mVersionText;
  debugLog("RESET: plug-in " + version);
  if (stateRestore) return;
  showStartupText("Zorozov Tarnivex Plug-in", debugLogEnabled ? version + " - 02-Jan-2020" : version);
  if (buildDisplay) buildDisplay->SetTextFromPlug(version.c_str());
  // The names of the part shown (a fresh instance's are these): a host
  // that suspends the plug-in after a restore keeps the restored part's.
  const int part = std::clamp(currentPart.load(), 0, 15);
  const std::string category = paramDisplayText(kCategoryName + part, 0);
  const std::string name = paramDisplayText(kPatchName + part, 0);
  displayCategoryName(category.empty() ? "INIT" : category);
  displayPatchName(name.empty() ? "-- INIT --" : name);
  showCCText("---");
}
