#include "FakeEditor.h"

#include "IMidiMsg.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "SysExFormat.h"

namespace {
struct Range {
  int base;
  int min;
  int max;
};

// Ranges the instrument's byte layout gives; everything else is 0..127.
constexpr Range kRanges[] = {
    {kOscillator1Octave, 0, 9},        {kOscillator2Octave, 0, 9},        {kOscillator3Octave, 0, 9},
    {kOscillator1Semitone, -24, 24},   {kOscillator2Semitone, -24, 24},   {kOscillator3Semitone, -24, 24},
    {kOscillator1BendRange, -24, 24},  {kOscillator2BendRange, -24, 24},  {kOscillator3BendRange, -24, 24},
    {kOscillatorUnisono, 0, 5},        {kOscillatorMonoPolyMode, 0, 1},   {kFilterEnvMode, 0, 31},
    {kAmpEnvMode, 0, 31},              {kEnvelope3Mode, 0, 31},           {kEnvelope4Mode, 0, 31},
    {kFilterEnvTrigger, 0, 1},         {kAmpEnvTrigger, 0, 1},            {kEnv3Trigger, 0, 1},
    {kEnv4Trigger, 0, 1},
};
}  // namespace

FakeEditor::FakeEditor() : mPatchNames(35, "INIT"), mFilterLink(16, -1) {
  mParams.reserve(kParamCount);
  for (int i = 0; i < kParamCount; ++i) {
    auto param = std::make_unique<IParam>();
    param->InitInt("", 0, 0, 127);
    mParams.push_back(std::move(param));
  }
  for (const Range& range : kRanges)
    for (int p = 0; p < 16; ++p) mParams[static_cast<size_t>(range.base + p)]->InitInt("", 0, range.min, range.max);
  for (int n = 0; n < 16; ++n) {
    const int stride = n * (kArpPattern02Step - kArpPattern01Step);
    for (int p = 0; p < 16; ++p) {
      mParams[static_cast<size_t>(kArpPattern01Step + stride + p)]->InitInt("", 0, 0, 7);
      mParams[static_cast<size_t>(kArpPattern01Glide + stride + p)]->InitInt("", 0, 0, 1);
      mParams[static_cast<size_t>(kArpPattern01Accent + stride + p)]->InitInt("", 0, 0, 7);
      mParams[static_cast<size_t>(kArpPattern01StepLen + stride + p)]->InitInt("", 0, 0, 7);
      mParams[static_cast<size_t>(kArpPattern01Timing + stride + p)]->InitInt("", 0, 0, 15);
    }
  }
  // Locks take fractions, so "exactly 1" can be told from other values.
  for (int lock = kSectionLockOsc1; lock < kSectionLockGlobal; ++lock)
    mParams[static_cast<size_t>(lock)]->InitDouble("", 0.0, 0.0, 2.0, 0.5);
  mParams[kDeviceOutSelection]->Set(1.0);
}

FakeEditor::~FakeEditor() = default;

IParam* FakeEditor::paramAt(int index) {
  if (index < 0 || index >= kParamCount) return nullptr;
  return mParams[static_cast<size_t>(index)].get();
}

void FakeEditor::setValue(int index, double value) { paramAt(index)->Set(value); }
double FakeEditor::value(int index) { return paramAt(index)->Value(); }

void FakeEditor::setParameterFromPlug(int index, double value, bool normalized) {
  IParam* param = paramAt(index);
  if (!param) return;
  if (normalized) param->SetNormalized(value);
  else param->SetNormalized(param->GetNormalized(value));
  std::lock_guard<std::mutex> lock(mMutex);
  mPlugSets.emplace_back(index, value);
}

std::string FakeEditor::paramDisplayText(int index, int value) {
  std::lock_guard<std::mutex> lock(mMutex);
  const char* text = paramAt(index) ? paramAt(index)->GetDisplayText(value) : nullptr;
  return text ? text : "";
}

void FakeEditor::setParamDisplayText(int index, int value, const std::string& text) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (IParam* param = paramAt(index)) param->SetDisplayText(value, text.c_str());
}

void FakeEditor::checksumCheckAndSend(unsigned char* message, int length) {
  if (!midiConfigured) {
    showStatusText("Set MIDI I/O First!");
    return;
  }
  if (length >= kChecksummedLength) writeDumpChecksum(message, length);
  sendSysExToDevice(message, length);
}

bool FakeEditor::sendSysExToDevice(unsigned char* bytes, int length) {
  std::vector<unsigned char> wire(bytes, bytes + length);
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mSentSysEx.push_back(wire);
  }
  if (bytes[0] != kSysExStart) {
    wire.insert(wire.begin(), kSysExStart);
    wire.push_back(kSysExEnd);
  }
  if (toDevice) toDevice(wire);
  return true;
}

bool FakeEditor::sendRawToDevice(std::vector<unsigned char> bytes) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mSentRaw.push_back(bytes);
  }
  if (toDevice) toDevice(bytes);
  return true;
}

void FakeEditor::deliverSysEx(ISysEx* message, bool fromDevice) {
  if (manager) manager->ProcessSysEx(message, fromDevice);
}

void FakeEditor::showStatusText(const char* text) {
  std::lock_guard<std::mutex> lock(mMutex);
  mStatus.emplace_back(text);
}

void FakeEditor::DisplayProcessingIndicator(bool show) {
  (show ? indicatorShows : indicatorHides)++;
  if (!show && manager) manager->dumpExpected = false;
}

void FakeEditor::displayPatchName(std::string text) {
  std::lock_guard<std::mutex> lock(mMutex);
  mShownName = std::move(text);
}

void FakeEditor::displayCategoryName(std::string text) {
  std::lock_guard<std::mutex> lock(mMutex);
  mShownCategory = std::move(text);
}

void FakeEditor::SetLibrarianRequestActive(bool libraryRequest) {
  if (!manager) return;
  if (libraryRequest) {
    manager->dumpExpected = false;
    if (multiMode) {
      manager->patchRequest.disarm();
      manager->performanceRequest.arm();
    } else {
      manager->performanceRequest.disarm();
      manager->patchRequest.arm();
    }
  } else {
    manager->dumpExpected = true;
    manager->patchRequest.disarm();
    manager->performanceRequest.disarm();
  }
  manager->replyAccepted = false;
}

void FakeEditor::SetLibrarianStatusUnsaved(bool unsaved) {
  if (!unsaved || !manager) return;
  manager->dumpExpected = false;
  manager->patchRequest.disarm();
  manager->performanceRequest.disarm();
}

void FakeEditor::debugLog(const std::string& message) {
  std::lock_guard<std::mutex> lock(mMutex);
  mLog.push_back(message);
}

void FakeEditor::setPartFilterLinkValue(int part, int value) {
  std::lock_guard<std::mutex> lock(mMutex);
  mFilterLink.at(static_cast<size_t>(part)) = value;
}

void FakeEditor::setPatchManagerName(int entry, const std::string& text) {
  std::lock_guard<std::mutex> lock(mMutex);
  mPatchNames.at(static_cast<size_t>(entry)) = text;
}

std::vector<std::vector<unsigned char>> FakeEditor::sentSysEx() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSentSysEx;
}

std::vector<std::vector<unsigned char>> FakeEditor::sentRaw() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSentRaw;
}

std::vector<std::string> FakeEditor::statusTexts() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mStatus;
}

std::vector<std::string> FakeEditor::logLines() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mLog;
}

std::vector<std::string> FakeEditor::patchNames() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mPatchNames;
}

std::string FakeEditor::shownPatchName() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mShownName;
}

std::string FakeEditor::shownCategoryName() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mShownCategory;
}

int FakeEditor::filterLinkValue(int part) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mFilterLink.at(static_cast<size_t>(part));
}

std::vector<std::pair<int, double>> FakeEditor::plugSets() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mPlugSets;
}

void FakeEditor::clearRecords() {
  std::lock_guard<std::mutex> lock(mMutex);
  mSentSysEx.clear();
  mSentRaw.clear();
  mStatus.clear();
  mLog.clear();
  mPlugSets.clear();
}
