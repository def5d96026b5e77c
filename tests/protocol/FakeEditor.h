// The editor as the protocol engine sees it, with the whole parameter list,
// ranges the dump layout can carry, and a record of everything the engine
// sent or asked of it. Thread-safe: jobs call it from their workers.
#pragma once

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "SimulatedInstrument.h"
#include "SysExFormat.h"

class FakeEditor : public EditorServices {
 public:
  using Bytes = std::vector<unsigned char>;

  FakeEditor() : mParams(kParamCount) {
    for (IParam& param : mParams) param.InitInt("", 0, 0, 127);
    // Ranges the instrument's byte layout gives; everything else is 0..127.
    const struct {
      int base, min, max;
    } ranges[] = {{kOscillator1Octave, 0, 8},       {kOscillator2Octave, 0, 8},       {kOscillator3Octave, 0, 8},
                  {kOscillator1Semitone, 0, 24},    {kOscillator2Semitone, 0, 24},    {kOscillator3Semitone, 0, 24},
                  {kOscillator1BendRange, -24, 24}, {kOscillator2BendRange, -24, 24}, {kOscillator3BendRange, -24, 24},
                  {kOscillatorUnisono, 0, 5},       {kOscillatorMonoPolyMode, 0, 1},  {kFilterEnvMode, 0, 31},
                  {kAmpEnvMode, 0, 31},             {kEnvelope3Mode, 0, 31},          {kEnvelope4Mode, 0, 31},
                  {kFilterEnvTrigger, 0, 1},        {kAmpEnvTrigger, 0, 1},           {kEnv3Trigger, 0, 1},
                  {kEnv4Trigger, 0, 1}};
    for (const auto& range : ranges)
      for (int p = 0; p < 16; ++p) mParams[range.base + p].InitInt("", 0, range.min, range.max);
    // The sixteen arpeggiator steps of each part.
    for (int i = 0; i < 16 * 16; ++i) {
      const int offset = (i / 16) * (kArpPattern02Step - kArpPattern01Step) + i % 16;
      for (int base : {kArpPattern01Step, kArpPattern01Accent, kArpPattern01StepLen})
        mParams[base + offset].InitInt("", 0, 0, 7);
      mParams[kArpPattern01Glide + offset].InitInt("", 0, 0, 1);
      mParams[kArpPattern01Timing + offset].InitInt("", 0, 0, 15);
    }
    // Locks take fractions, so "exactly 1" can be told from other values.
    for (int lock = kSectionLockOsc1; lock < kSectionLockGlobal; ++lock)
      mParams[lock].InitDouble("", 0.0, 0.0, 2.0, 0.5);
    mParams[kDeviceOutSelection].Set(1.0);
  }

  IParam* paramAt(int index) override { return index >= 0 && index < kParamCount ? &mParams[index] : nullptr; }
  void setParameterFromPlug(int index, double value, bool normalized) override {
    IParam* param = paramAt(index);
    if (!param) return;
    param->SetNormalized(normalized ? value : param->GetNormalized(value));
    record(mRecords.plugSets, std::pair{index, value});
  }
  std::string paramDisplayText(int index, int value) override {
    std::lock_guard<std::mutex> lock(mMutex);
    const char* text = paramAt(index) ? paramAt(index)->GetDisplayText(value) : nullptr;
    return text ? text : "";
  }
  void setParamDisplayText(int index, int value, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mMutex);
    if (IParam* param = paramAt(index)) param->SetDisplayText(value, text.c_str());
  }
  bool checksumCheckAndSend(unsigned char* message, int length) override {
    if (!midiConfigured) {
      showStatusText("Set MIDI I/O First!");
      return false;
    }
    if (length >= kChecksummedLength) writeDumpChecksum(message, length);
    return sendSysExToDevice(message, length);
  }
  bool sendSysExToDevice(unsigned char* bytes, int length) override {
    Bytes framed(bytes, bytes + length);
    if (!framed.empty() && framed[0] != kSysExStart) {
      framed.insert(framed.begin(), kSysExStart);
      framed.push_back(kSysExEnd);
    }
    record(mRecords.sentSysEx, Bytes(bytes, bytes + length));
    return toInstrument(framed);
  }
  bool sendRawToDevice(Bytes bytes) override {
    record(mRecords.sentRaw, bytes);
    return toInstrument(bytes);
  }
  // When the port says the sends so far left; set before a job runs.
  // As the editor's entry: a reply the engine accepted sets the flag the
  // request jobs poll.
  void deliverSysEx(ISysEx* message, bool fromDevice) override {
    if (!manager) return;
    manager->ProcessSysEx(message, fromDevice);
    if (manager->replyAccepted) replyReceived = true;
  }
  void logSysExOutMessageByteInt(std::vector<int>, int) override {}
  void showStatusText(const char* text) override { record(mRecords.status, std::string(text)); }
  void DisplayProcessingIndicator(bool show) override {
    (show ? mIndicatorShows : mIndicatorHides)++;
    if (!show && manager) manager->dumpExpected = false;
  }
  void displayPatchName(std::string text) override { set(mShownName, text); }
  void displayCategoryName(std::string text) override { set(mShownCategory, text); }
  void setLibrarianViewDirty() override {}
  void updatePatchLibrarianView(int) override {}
  // As the editor does.
  bool SetLibrarianRequestActive(bool libraryRequest, std::optional<int> slot = std::nullopt) override {
    if (!manager) return false;
    manager->dumpExpected = !libraryRequest;
    manager->performanceRequest.disarm();
    manager->patchRequest.disarm();
    if (libraryRequest) (multiMode ? static_cast<LibraryRequest&>(manager->performanceRequest)
                                   : static_cast<LibraryRequest&>(manager->patchRequest))
          .arm(slot.value_or(manager->patchLibrarian ? manager->patchLibrarian->targetSlot.load() : 0));
    manager->replyAccepted = false;
    replyReceived = false;
    return true;
  }
  void SetLibrarianStatusUnsaved(bool unsaved) override {
    if (!unsaved || !manager) return;
    manager->dumpExpected = false;
    manager->patchRequest.disarm();
    manager->performanceRequest.disarm();
  }
  void debugLog(const std::string& message) override { record(mRecords.log, message); }
  int getCurrentPart() const override { return currentPart; }
  bool isSendAllParts() const override { return sendAllParts; }
  bool isMidiIOConfigured() const override { return midiConfigured; }
  bool isClockPointerOn() const override { return clockPointer; }
  bool isClockInfoOn() const override { return clockInfo; }
  void clearClockInfo() override { clockInfo = false; }
  int getTempoValue() const override { return hostTempo; }
  int tempoListValue(int index) const override { return index >= 0 ? listTempo.load() : 0; }
  int getTimerValue() const override { return 50; }
  void setPartFilterLinkValue(int part, int value) override { set(mFilterLink.at(part), value); }
  void setPatchManagerName(int entry, const std::string& text) override { set(mPatchNames.at(entry), text); }
  IControl* getSysexControl(int k1, int k2, int k3, int k4, int k5) override {
    const auto found = sysexControls.find({k1, k2, k3, k4, k5});
    return found == sysexControls.end() ? nullptr : token(found->second);
  }
  IControl* getCCControls(int channel, int controller, int) override {
    const auto found = ccControls.find({channel, controller});
    return found == ccControls.end() ? nullptr : token(found->second);
  }
  int controlParamIdx(IControl* control) override {
    return static_cast<int>(reinterpret_cast<char*>(control) - mTokens.data());
  }
  // What the control would do: the parameter takes the value, and the
  // editor's action would send it unless the echo guard holds it back.
  void setControlFromHardware(IControl* control, double normalized) override {
    const int idx = controlParamIdx(control);
    paramAt(idx)->SetNormalized(normalized);
    if (!manager->echoGuard || (!localControl && !manager->lastChannelMessageFromHost))
      record(mRecords.echoes, idx);
  }
  bool isReplyReceived() const override { return replyReceived; }
  void clearReplyReceived() override { replyReceived = false; }
  bool isDeviceIdLearning() const override { return learning; }
  bool isOutPortGone() override { return outPortGone; }
  void enquireWhenOutPortBack() override { ++enquiriesAwaitingPort; }
  bool isMultiMode() const override { return multiMode; }
  bool isLocalControl() const override { return localControl; }
  void setLocalControl(bool on) override { localControl = on; }
  bool isSendGlobalFirst() const override { return sendGlobalFirst; }
  void setSendGlobalFirst(bool on) override { sendGlobalFirst = on; }
  void setSendAllParts(bool on) override { sendAllParts = on; }
  int partProgram(int p) const override { return get(mPartPrograms).at(static_cast<size_t>(p)); }
  // The record: what the part plays, as the gate let it go.
  void recordPartPlays(const GatePass& pass, int bank, int program, const LibraryPick*) override {
    const int part = pass.ticket().part();
    record(mRecords.plays, std::to_string(part) + " " + std::to_string(bank) + "/" + std::to_string(program));
    if (pass.ticket().multi()) {
      if (bank >= 0) setParameterFromPlug(kMultiBank, bank, false);
      if (program >= 0) setParameterFromPlug(kMultiPatch, program, false);
      return;
    }
    if (bank >= 0) setParameterFromPlug(kMultiPartBank + part, bank, false);
    if (program >= 0) setParameterFromPlug(kMultiPartPatch + part, program, false);
    std::lock_guard<std::mutex> lock(mMutex);
    if (program >= 0) mPartPrograms.at(static_cast<size_t>(part)) = program;
    if (bank >= 0) mKnownBanks.at(static_cast<size_t>(part)) = true;
    if (program >= 0) mKnownPrograms.at(static_cast<size_t>(part)) = true;
  }
  int partBank(int p) const override { return mParams[kMultiPartBank + p].Int(); }
  bool knowsPart(int p, bool bank) const override { return get(bank ? mKnownBanks : mKnownPrograms).at(static_cast<size_t>(p)); }
  // The pair goes through the gate and is recorded; nothing reaches a port.
  // pairRefused: as a conflict found on its way refuses it.
  std::atomic<bool> pairRefused{false};
  PickSend BankChangeMessage(const PickTicket& ticket, int bank, int program, const LibraryPick* source) override {
    record(mRecords.calls, "BankChangeMessage " + std::to_string(ticket.part()));
    if (pairRefused) return PickSend::kRefused;
    if (!manager) return PickSend::kSent;
    const bool sent = manager->picks.letGo(ticket, [&](const GatePass& pass) {
      recordPartPlays(pass, bank, program, source);
      return true;
    });
    return sent ? PickSend::kSent : PickSend::kOvertaken;
  }
  // The user's road runs the handlers that send; the instrument's does not.
  void runParamChange(int idx, bool fromDevice) override {
    if (!fromDevice) record(mRecords.calls, "user handlers " + std::to_string(idx));
  }
  void AllSoundsOff(int part, bool all) override {
    record(mRecords.calls, "AllSoundsOff " + std::string(all ? "all" : std::to_string(part)));
  }
  bool isProgBankMode() const override { return progBankMode; }
  bool isLibraryMode() const override { return libraryMode; }
  bool isMidiToHostBuffer() const override { return toHostBuffer; }
  uint32_t tickMs() const override { return tick; }
  void MIDIOutRoutingSwitch(IMidiMsg* msg) override { record(mRecords.passedOn, Bytes{msg->mStatus, msg->mData1, msg->mData2}); }
  void sendMidiMsgAndLog(IMidiMsg* msg) override { record(mRecords.sentShort, Bytes{msg->mStatus, msg->mData1, msg->mData2}); }

  // ---- Set-up.
  void bindSysEx(std::array<int, 5> key, int idx) { sysexControls[key] = idx; }
  void bindCC(int channel, int controller, int idx) { ccControls[{channel, controller}] = idx; }
  // When set, what the engine sends goes to the instrument, and its replies
  // come back at once through the editor's entry.
  SimulatedInstrument* instrument = nullptr;
  void setValue(int index, double value) { paramAt(index)->Set(value); }
  double value(int index) { return paramAt(index)->Value(); }
  // Where deliverSysEx sends messages (the editor's entry hands them on).
  MIDIMessageManager* manager = nullptr;

  // ---- Records.
  std::vector<Bytes> sentSysEx() const { return get(mRecords.sentSysEx); }
  std::vector<Bytes> sentRaw() const { return get(mRecords.sentRaw); }
  std::vector<std::string> statusTexts() const { return get(mRecords.status); }
  std::vector<std::string> logLines() const { return get(mRecords.log); }
  std::vector<std::string> patchNames() const { return get(mPatchNames); }  // the 35 entries
  std::string shownPatchName() const { return get(mShownName); }
  std::string shownCategoryName() const { return get(mShownCategory); }
  int filterLinkValue(int part) const { return get(mFilterLink).at(part); }
  int indicatorOn() const { return mIndicatorShows; }
  int indicatorOff() const { return mIndicatorHides; }
  // Parameters set through setParameterFromPlug, in order.
  std::vector<std::pair<int, double>> plugSets() const { return get(mRecords.plugSets); }
  // Parameters whose control would have sent its value to the instrument.
  std::vector<int> echoes() const { return get(mRecords.echoes); }
  std::vector<Bytes> passedOn() const { return get(mRecords.passedOn); }
  std::vector<Bytes> sentShort() const { return get(mRecords.sentShort); }
  // Bank changes and all-sounds-off, in order.
  std::vector<std::string> calls() const { return get(mRecords.calls); }
  // What the record took, "part bank/program" (-1: the part's own), in order.
  std::vector<std::string> plays() const { return get(mRecords.plays); }
  void clearRecords() { set(mRecords, Records{}); }

  // What the jobs read of the editor's state.
  std::atomic<int> currentPart{0}, hostTempo{0}, listTempo{120};
  std::atomic<bool> sendAllParts{false}, midiConfigured{true}, clockPointer{false}, clockInfo{false};
  std::atomic<bool> outPortGone{false};
  std::atomic<int> enquiriesAwaitingPort{0};
  std::atomic<bool> replyReceived{false}, learning{false}, multiMode{false}, localControl{true}, sendGlobalFirst{false};
  std::atomic<bool> progBankMode{false}, libraryMode{false}, toHostBuffer{false};
  std::atomic<uint32_t> tick{0};  // milliseconds

 private:
  template <typename T>
  T get(const T& member) const {
    std::lock_guard<std::mutex> lock(mMutex);
    return member;
  }
  template <typename T>
  void set(T& member, const T& value) {
    std::lock_guard<std::mutex> lock(mMutex);
    member = value;
  }
  template <typename T>
  bool record(std::vector<T>& list, T item) {
    std::lock_guard<std::mutex> lock(mMutex);
    list.push_back(std::move(item));
    return true;
  }

  // What clearRecords forgets.
  struct Records {
    std::vector<Bytes> sentSysEx, sentRaw;
    std::vector<std::string> status, log;
    std::vector<std::pair<int, double>> plugSets;
    std::vector<int> echoes;
    std::vector<Bytes> passedOn, sentShort;
    std::vector<std::string> calls, plays;
  };

  IControl* token(int idx) { return reinterpret_cast<IControl*>(mTokens.data() + idx); }
  bool toInstrument(const Bytes& message) {
    if (!instrument) return true;
    for (const SimBytes& reply : instrument->receive(message)) {
      ISysEx sysex(0, reply.data(), static_cast<int>(reply.size()));
      deliverSysEx(&sysex, true);
    }
    return true;
  }
  std::map<std::array<int, 5>, int> sysexControls;
  std::map<std::array<int, 2>, int> ccControls;
  std::vector<char> mTokens = std::vector<char>(kParamCount);
  std::vector<int> mPartPrograms = std::vector<int>(16, 0);
  std::array<bool, 16> mKnownBanks{}, mKnownPrograms{};

  mutable std::mutex mMutex;
  std::vector<IParam> mParams;
  Records mRecords;
  std::vector<std::string> mPatchNames = std::vector<std::string>(35, "INIT");
  std::string mShownName, mShownCategory;
  std::vector<int> mFilterLink = std::vector<int>(16, -1);
  std::atomic<int> mIndicatorShows{0}, mIndicatorHides{0};
};
