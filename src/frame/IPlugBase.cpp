#include "IPlugBase.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "IGraphics.h"
#include "MidiPorts.h"
#include "RealtimeScope.h"
#include "Utilities.h"

namespace {
// As the module loads, before a host can make a real-time call.
const bool kRealtimeTablesTouched = (RealtimeScope::touchTablesAtLoad(), true);
}  // namespace

void GetVersionParts(int version, int* major, int* minor, int* micro) {
  const unsigned v = static_cast<unsigned>(version);
  *major = static_cast<int>(v >> 16);
  *minor = static_cast<int>((v >> 8) & 0xFF);
  *micro = static_cast<int>(v & 0xFF);
}

int GetDecimalVersion(int version) {
  int major, minor, micro;
  GetVersionParts(version, &major, &minor, &micro);
  return major * 10000 + minor * 100 + micro;
}

void GetVersionStr(int version, char* text) {
  int major, minor, micro;
  GetVersionParts(version, &major, &minor, &micro);
  if (micro)
    std::snprintf(text, 15, "v%d.%d.%d", major, minor, micro);
  else if (minor)
    std::snprintf(text, 15, "v%d.%d", major, minor);
  else
    std::snprintf(text, 15, "v%d", major);
}

IPlugBase::IPlugBase(int, const char*, int, const char*, const char*, const char*,
                     int vendorVersion, int uniqueID, int mfrID, int latency, bool,
                     bool plugDoesChunks, bool plugIsInst, EAPI plugAPI)
    : mUniqueID(uniqueID),
      mMfrID(mfrID),
      mVersion(vendorVersion),
      mAPI(plugAPI),
      mStateChunks(plugDoesChunks),
      mIsInst(plugIsInst),
      mLatency(latency) {}

IPlugBase::~IPlugBase() {
  StopMidiInput();
  mGraphics.reset();
  mParams.Empty();
  mPresets.Empty(true);
  mInChannels.Empty(true);
  mOutChannels.Empty(true);
  mChannelIO.Empty(true);
  mInputBusLabels.Empty(true);
  mOutputBusLabels.Empty(true);
  mMidiOutSeen = nullptr;
  if (mMidiOut) {
    mMidiOut->closePort();
    mMidiOut.reset();
  }
  if (mMidiIn) {
    mMidiIn->closePort();
    mMidiIn.reset();
  }
}

void IPlugBase::initialize(int nAutomatable, int nParams, const char* channelIOStr, int nPresets,
                           const char* effectName, const char* productName, const char* mfrName,
                           int, int, int, int, bool, bool, bool) {
  mNonAutomatedParamCount = nParams - nAutomatable;
  if (mPreviousPath.GetLength()) mPreviousPath.Set("");

  if (nParams > 0) mParamPool.reserve(static_cast<size_t>(nParams));
  for (int i = 0; i < nParams; ++i) mParams.Add(mParamPool.make());
  for (int i = 0; i < nPresets; ++i) mPresets.Add(new IPreset);

  Trace("initialize", __LINE__, "%s:%s", effectName, CurrentTime());

  CopyBounded(mEffectName, effectName, MAX_EFFECT_NAME_LEN);
  CopyBounded(mProductName, productName, MAX_EFFECT_NAME_LEN);
  CopyBounded(mMfrName, mfrName, MAX_EFFECT_NAME_LEN);

  int nInputs = 0, nOutputs = 0;
  for (const char* item = channelIOStr; item; item = std::strchr(item, ' ')) {
    if (*item == ' ') ++item;
    int nIn = 0, nOut = 0;
    std::sscanf(item, "%d-%d", &nIn, &nOut);
    nInputs = std::max(nInputs, nIn);
    nOutputs = std::max(nOutputs, nOut);
    mChannelIO.Add(new ChannelIO{nIn, nOut});
  }

  mInData.Resize(nInputs);
  mOutData.Resize(nOutputs);
  for (int i = 0; i < nInputs; ++i) {
    InChannel* channel = new InChannel;
    channel->mSrc = mInData.Get() + i;
    mInChannels.Add(channel);
  }
  for (int i = 0; i < nOutputs; ++i) {
    OutChannel* channel = new OutChannel;
    channel->mDest = mOutData.Get() + i;
    mOutChannels.Add(channel);
  }
}

void IPlugBase::Reset() { WDL_MutexLock lock(&mMutex); }
void IPlugBase::OnParamChange(int) { WDL_MutexLock lock(&mMutex); }
void IPlugBase::OnParamChange2(int) { WDL_MutexLock lock(&mMutex); }
void IPlugBase::OnActivate(bool) { WDL_MutexLock lock(&mMutex); }
void IPlugBase::ProcessMidiMsg(IMidiMsg*, bool) {}
void IPlugBase::ProcessSysEx(ISysEx*, bool) {}

bool IPlugBase::MidiNoteName(int, char* name) {
  if (name) name[0] = 0;
  return false;
}

int IPlugBase::GetEffectVersion(bool decimal) const {
  return decimal ? GetDecimalVersion(mVersion) : mVersion;
}

void IPlugBase::GetEffectVersionStr(char* text) const { GetVersionStr(mVersion, text); }

int IPlugBase::GetHostVersion(bool decimal) {
  GetHost();
  return decimal ? GetDecimalVersion(mHostVersion) : mHostVersion;
}

void IPlugBase::GetHostVersionStr(char* text) {
  GetHost();
  GetVersionStr(mHostVersion, text);
}

void IPlugBase::SetHost(const char* hostProduct, int version) {
  mHost = LookUpHost(hostProduct);
  mHostVersion = version;
  char versionText[16];
  GetVersionStr(version, versionText);
  Trace("SetHost", __LINE__, "host_%sknown:%s:%s", mHost == kHostUnknown ? "un" : "", hostProduct,
        versionText);
}

const char* IPlugBase::GetAPIString() {
  static const char* const kNames[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone"};
  const unsigned api = static_cast<unsigned>(GetAPI());
  return api < 6 ? kNames[api] : "";
}

namespace {
bool valueChanged(double before, double after) {
  return std::isunordered(before, after) || before != after;
}
}  // namespace

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue) {
  Trace("SetParameterFromGUI", __LINE__, "%d:%f", paramIdx, normalizedValue);
  SetParameterFromGUIWith(paramIdx, normalizedValue, &IPlugBase::OnParamChange);
}

void IPlugBase::SetParameterFromGUI2(int paramIdx, double normalizedValue) {
  Trace("SetParameterFromGUI2", __LINE__, "%d:%f", paramIdx, normalizedValue);
  SetParameterFromGUIWith(paramIdx, normalizedValue, &IPlugBase::OnParamChange2);
}

void IPlugBase::SetParameterFromGUIWith(int paramIdx, double normalizedValue, void (IPlugBase::*handler)(int)) {
  StampBeforeUserChange();
  // A value from the instrument (they come by the thousand a second) is
  // followed as a MIDI thread's take: it never waits for file work.
  WDL_MutexLock lock(&mMutex, handler == &IPlugBase::OnParamChange2);
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const double before = param->Value();
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  // A text parameter is re-shown even when its value stays.
  if (valueChanged(before, param->Value()) || param->Type() == IParam::kTypeText) {
    NoteStateChangedByUser();
    (this->*handler)(paramIdx);
  }
}

namespace {
// How long after the user's last change a change of the saved state is
// still taken for its result (a dump request's reply, a library load).
constexpr std::chrono::seconds kStampWatch{10};
// How often it is looked for then: a stamp reads and hashes the whole state.
constexpr std::chrono::milliseconds kStampRecheck{500};
}  // namespace

// The bytes the default SerializeState writes; a plug-in with a state of its
// own stamps that state.
uint64_t IPlugBase::SavedStateStamp() {
  ByteChunk chunk;
  AppendParamValues(&chunk, 0, NAutomatableParams());
  return HashBytes(chunk.Data(), chunk.Size());
}

void IPlugBase::StampBeforeUserChange() {
  {
    std::lock_guard<std::mutex> lock(mStampMutex);
    if (mStampTaken) return;
  }
  const uint64_t stamp = SavedStateStamp();
  std::lock_guard<std::mutex> lock(mStampMutex);
  if (mStampTaken) return;
  mStampBefore = stamp;
  mStampTaken = true;
}

bool IPlugBase::TakeSavedStateChangedByUser() {
  const bool noted = TakeStateChangedByUser();
  {
    std::lock_guard<std::mutex> lock(mStampMutex);
    // A change noted with no stamp before it (a library pick) is told as it is.
    if (!mStampTaken) return noted;
    const auto now = stampClock ? stampClock() : std::chrono::steady_clock::now();
    if (noted) mStampWatchedUntil = now + kStampWatch;
    // A stamp with no user's change after it (the plug-in's own change
    // through a control), or one watched long enough, is let go.
    if (!noted && now >= mStampWatchedUntil) {
      mStampTaken = false;
      return false;
    }
    if (!noted && now < mStampRecheckAt) return false;
    mStampRecheckAt = now + kStampRecheck;
  }
  const uint64_t stamp = SavedStateStamp();
  std::lock_guard<std::mutex> lock(mStampMutex);
  if (stamp == mStampBefore) return false;
  mStampBefore = stamp;  // what follows is measured against what the host was told of
  return true;
}

void IPlugBase::OnParamReset() {
  for (int i = 0; i < NAutomatableParams(); ++i) OnParamChange(i);
  Reset();
}

bool IPlugBase::CompareState(const unsigned char* state, int startPos, int stateSize) {
  const int n = NAutomatableParams();
  if (n <= 0) return true;
  if (!state || startPos < 0) return false;
  if (stateSize >= 0 && 8LL * (static_cast<long long>(startPos) + n) > stateSize) return false;
  bool equal = true;
  for (int i = 0; i < n; ++i) {
    double stored;
    std::memcpy(&stored, state + 8 * (static_cast<size_t>(startPos) + i), sizeof(stored));
    const float diff = static_cast<float>(GetParam(i)->Value()) - static_cast<float>(stored);
    if (std::fabs(static_cast<double>(diff)) >= 0.00001) equal = false;
  }
  return equal;
}

void IPlugBase::RedrawParamControls() {
  if (!mGraphics) return;
  if (!mGraphics->WindowIsOpen()) {
    mParamControlsStale = true;
    return;
  }
  mParamControlsStale = false;
  mGraphics->RefreshParamControls();
}

void IPlugBase::DrawStaleParamControls() {
  if (!mGraphics || !mParamControlsStale.exchange(false)) return;
  mGraphics->RefreshParamControls();
}

void IPlugBase::DirtyParameters() {
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NAutomatableParams(); ++i)
    InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

void IPlugBase::AttachGraphics(IGraphics* graphics) {
  if (!graphics) return;
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i) graphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
  graphics->PrepDraw();
  mGraphics.reset(graphics);
}
