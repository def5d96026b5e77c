#include <algorithm>
#include <cstring>

#include "IPlugBase.h"

bool IPlugBase::LegalIO(int nIn, int nOut) const {
  for (int i = 0; i < mChannelIO.GetSize(); ++i) {
    const ChannelIO* io = mChannelIO.Get(i);
    if ((nIn < 0 || nIn == io->mIn) && (nOut < 0 || nOut == io->mOut)) return true;
  }
  return false;
}

void IPlugBase::LimitToStereoIO() {
  const int nIn = NInChannels(), nOut = NOutChannels();
  if (nIn > 2) SetInputChannelConnections(2, nIn - 2, false);
  if (nOut > 2) SetOutputChannelConnections(2, nOut - 2, true);
}

void IPlugBase::SetInputChannelConnections(int idx, int n, bool connected) {
  const int end = std::min(idx + n, NInChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    InChannel* channel = mInChannels.Get(i);
    channel->mConnected = connected;
    if (!connected) *channel->mSrc = channel->mScratchBuf.Get();
  }
}

void IPlugBase::SetOutputChannelConnections(int idx, int n, bool connected) {
  const int end = std::min(idx + n, NOutChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    OutChannel* channel = mOutChannels.Get(i);
    channel->mConnected = connected;
    if (!connected) *channel->mDest = channel->mScratchBuf.Get();
  }
}

bool IPlugBase::IsInChannelConnected(int ch) const {
  const InChannel* channel = mInChannels.Get(ch);
  return channel && channel->mConnected;
}

bool IPlugBase::IsOutChannelConnected(int ch) const {
  const OutChannel* channel = mOutChannels.Get(ch);
  return channel && channel->mConnected;
}

void IPlugBase::AttachInputBuffers(int idx, int n, double** data, int) {
  const int end = std::min(idx + n, NInChannels());
  for (int i = std::max(idx, 0); i < end && data; ++i) {
    InChannel* channel = mInChannels.Get(i);
    if (channel->mConnected) *channel->mSrc = *data++;
  }
}

void IPlugBase::AttachInputBuffers(int idx, int n, float** data, int nFrames) {
  const int end = std::min(idx + n, NInChannels());
  for (int i = std::max(idx, 0); i < end && data; ++i) {
    InChannel* channel = mInChannels.Get(i);
    if (!channel->mConnected) continue;
    double* scratch = channel->mScratchBuf.Get();
    const float* src = *data++;
    const int frames = std::min(nFrames, channel->mScratchBuf.GetSize());
    for (int s = 0; s < frames && src; ++s) scratch[s] = src[s];
    *channel->mSrc = scratch;
  }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, double** data) {
  const int end = std::min(idx + n, NOutChannels());
  for (int i = std::max(idx, 0); i < end && data; ++i) {
    OutChannel* channel = mOutChannels.Get(i);
    if (channel->mConnected) *channel->mDest = *data++;
  }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, float** data) {
  const int end = std::min(idx + n, NOutChannels());
  for (int i = std::max(idx, 0); i < end && data; ++i) {
    OutChannel* channel = mOutChannels.Get(i);
    if (!channel->mConnected) continue;
    *channel->mDest = channel->mScratchBuf.Get();
    channel->mFDest = *data++;
  }
}

void IPlugBase::ProcessBuffers(double, int nFrames) {
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
}

void IPlugBase::ProcessBuffers(float, int nFrames) {
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputs(nFrames, false);
}

void IPlugBase::ProcessBuffersAccumulating(float, int nFrames) {
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputs(nFrames, true);
}

void IPlugBase::ConvertOutputs(int nFrames, bool accumulate) {
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel* channel = mOutChannels.Get(i);
    if (!channel->mConnected || !channel->mFDest) continue;
    const double* src = *channel->mDest;
    const int frames = std::min(nFrames, channel->mScratchBuf.GetSize());
    for (int s = 0; s < frames; ++s) {
      if (accumulate)
        channel->mFDest[s] += static_cast<float>(src[s]);
      else
        channel->mFDest[s] = static_cast<float>(src[s]);
    }
  }
}

void IPlugBase::PassThroughBuffers(double, int nFrames) {
  IPlugBase::ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
}

void IPlugBase::PassThroughBuffers(float, int nFrames) {
  IPlugBase::ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputs(nFrames, false);
}

void IPlugBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
  const int m = std::min(NInChannels(), NOutChannels());
  for (int i = 0; i < NOutChannels() && outputs; ++i) {
    if (!outputs[i]) continue;
    if (i < m && inputs && inputs[i])
      std::memcpy(outputs[i], inputs[i], static_cast<size_t>(std::max(nFrames, 0)) * sizeof(double));
    else
      std::fill_n(outputs[i], std::max(nFrames, 0), 0.0);
  }
}

void IPlugBase::ProcessSingleReplacing(float** inputs, float** outputs, int nFrames) {
  const int m = std::min(NInChannels(), NOutChannels());
  for (int i = 0; i < NOutChannels() && outputs; ++i) {
    if (!outputs[i]) continue;
    if (i < m && inputs && inputs[i])
      std::memcpy(outputs[i], inputs[i], static_cast<size_t>(std::max(nFrames, 0)) * sizeof(float));
    else
      std::fill_n(outputs[i], std::max(nFrames, 0), 0.0f);
  }
}

void IPlugBase::ZeroScratchBuffers() {
  for (int i = 0; i < NInChannels(); ++i) {
    WDL_TypedBuf<double>& buf = mInChannels.Get(i)->mScratchBuf;
    std::fill_n(buf.Get(), std::min(mBlockSize, buf.GetSize()), 0.0);
  }
  for (int i = 0; i < NOutChannels(); ++i) {
    WDL_TypedBuf<double>& buf = mOutChannels.Get(i)->mScratchBuf;
    std::fill_n(buf.Get(), std::min(mBlockSize, buf.GetSize()), 0.0);
  }
}

void IPlugBase::SetBlockSize(int blockSize) {
  if (blockSize == mBlockSize) return;
  for (int i = 0; i < NInChannels(); ++i) {
    InChannel* channel = mInChannels.Get(i);
    channel->mScratchBuf.Resize(blockSize);
    std::fill_n(channel->mScratchBuf.Get(), channel->mScratchBuf.GetSize(), 0.0);
    if (!channel->mConnected) *channel->mSrc = channel->mScratchBuf.Get();
  }
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel* channel = mOutChannels.Get(i);
    channel->mScratchBuf.Resize(blockSize);
    std::fill_n(channel->mScratchBuf.Get(), channel->mScratchBuf.GetSize(), 0.0);
    if (!channel->mConnected) *channel->mDest = channel->mScratchBuf.Get();
  }
  mBlockSize = blockSize;
}

double IPlugBase::GetSamplesPerBeat() {
  const double tempo = GetTempo();
  return tempo > 0.0 ? mSampleRate * 60.0 / tempo : 0.0;
}

void IPlugBase::SetInputLabel(int idx, const char* label) {
  if (InChannel* channel = mInChannels.Get(idx)) channel->mLabel.Set(label);
}

void IPlugBase::SetOutputLabel(int idx, const char* label) {
  if (OutChannel* channel = mOutChannels.Get(idx)) channel->mLabel.Set(label);
}

namespace {
void SetBusLabel(WDL_PtrList<WDL_String>& labels, int idx, const char* label) {
  if (idx < 0) return;
  labels.Delete(idx, true);
  labels.Insert(idx, new WDL_String(label));
}
}  // namespace

void IPlugBase::SetInputBusLabel(int idx, const char* label) {
  if (idx > 1) return;
  SetBusLabel(mInputBusLabels, idx, label);
}

void IPlugBase::SetOutputBusLabel(int idx, const char* label) { SetBusLabel(mOutputBusLabels, idx, label); }

const char* IPlugBase::GetInputBusLabel(int idx) const {
  const WDL_String* label = mInputBusLabels.Get(idx);
  return label ? label->Get() : "";
}

const char* IPlugBase::GetOutputBusLabel(int idx) const {
  const WDL_String* label = mOutputBusLabels.Get(idx);
  return label ? label->Get() : "";
}
