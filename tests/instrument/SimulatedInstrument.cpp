#include "SimulatedInstrument.h"

#include <algorithm>
#include <cstdio>

#include "FrameChecksum.h"
#include "SoundDumpLayout.h"
#include "SysExFormat.h"

namespace {
constexpr uint8_t kSoundRequest = 0x00;
constexpr uint8_t kMultiRequest = 0x01;
constexpr uint8_t kGlobalRequest = 0x04;
constexpr uint8_t kSoundChange = 0x20;
constexpr uint8_t kMultiChange = 0x21;
constexpr uint8_t kGlobalChange = 0x24;
constexpr uint8_t kMultiEditBuffer = 0x20;
constexpr int kMultiNameByte = 23;
constexpr int kGlobalDeviceIdByte = 30;
constexpr int kGlobalDeviceIdPosition = 25;
constexpr int kGlobalChannelByte = 29;  // the channel + 1, 0 for none
constexpr int kGlobalLocalControlByte = 31;

// F0 3E 10 id command bank program, zeros, F7.
SimBytes frame(int size, int deviceId, uint8_t command, int bank, int program) {
  SimBytes dump(static_cast<size_t>(size), 0);
  const uint8_t header[] = {kSysExStart, kZorozovID, kDirirUModel, static_cast<uint8_t>(deviceId), command,
                            static_cast<uint8_t>(bank), static_cast<uint8_t>(program)};
  std::copy(std::begin(header), std::end(header), dump.begin());
  dump.back() = kSysExEnd;
  return dump;
}

// Writes the name padded with blanks, then the checksum.
SimBytes named(SimBytes dump, int first, int length, const std::string& name) {
  for (int i = 0; i < length; ++i)
    dump[static_cast<size_t>(first + i)] = i < static_cast<int>(name.size()) ? static_cast<uint8_t>(name[i]) : ' ';
  sim::writeFrameChecksum(dump.data(), dump.size());
  return dump;
}

std::string programName(const char* kind, int bank, int program) {
  char text[17];
  std::snprintf(text, sizeof(text), "%s %c%02d", kind, 'A' + bank, program);
  return text;
}
}  // namespace

SimBytes SimulatedInstrument::soundDump(int deviceId, int bank, int program, const std::string& name) {
  const auto& templ = soundDumpTemplate();
  SimBytes dump(templ.begin(), templ.end());
  std::copy_n(frame(kSoundDumpSize, deviceId, kSoundDumpCommand, bank, program).begin(), 7, dump.begin());
  // Parameter bytes that decode to small in-range values and differ by byte.
  for (const SoundDumpField& field : soundDumpFields())
    dump[static_cast<size_t>(field.byte)] = field.rule == DumpRule::kOctave ? 28 : static_cast<uint8_t>(field.byte % 4);
  dump = named(std::move(dump), kSoundCategoryByte, kSoundCategoryLength, "SIM");
  return named(std::move(dump), kSoundNameByte, kSoundNameLength, name);
}

SimBytes SimulatedInstrument::multiDump(int deviceId, int bank, int program, const std::string& name) {
  return named(frame(kMultiDumpSize, deviceId, kMultiDumpCommand, bank, program), kMultiNameByte, 16, name);
}

namespace {
// Where part p's block starts in the multi's parameter positions.
constexpr int kMultiPartBlock = 32;
constexpr int kMultiPartBlockSpan = 22;
}  // namespace

SimulatedInstrument::SimulatedInstrument(int deviceId) {
  for (int p = 0; p < kParts; ++p)
    mParts[static_cast<size_t>(p)] = soundDump(deviceId, kEditBufferBank, p, programName("PART", 0, p + 1));
  for (int b = 0; b < kSoundBanks; ++b)
    for (int n = 0; n < kPrograms; ++n)
      mSounds[static_cast<size_t>(b)][static_cast<size_t>(n)] = soundDump(deviceId, b, n, programName("SOUND", b, n));
  for (int n = 0; n < kPrograms; ++n)
    mMultis[static_cast<size_t>(n)] = multiDump(deviceId, 0, n, programName("MULTI", 0, n));
  mMulti = multiDump(deviceId, kMultiEditBuffer, 0, "MULTI EDIT");
  mGlobal = frame(kGlobalDumpSize, deviceId, kGlobalDumpCommand, 0, 0);
  for (int p = 0; p < kParts; ++p) mPartChannels[static_cast<size_t>(p)] = p;
  takeDeviceId(deviceId);
}

void SimulatedInstrument::setPartChannel(int part, int channel) {
  std::lock_guard<std::mutex> lock(mMutex);
  mPartChannels.at(static_cast<size_t>(part)) = channel;
}

void SimulatedInstrument::reset() {
  const SimulatedInstrument fresh(deviceId());
  std::lock_guard<std::mutex> lock(mMutex);
  mSilent = false;
  mRepliesLeft = -1;
  mMalformation = Malformation::kNone;
  mReplyDelayMs = 0;
  mReportsProgramChanges = false;
  mLateMs = 0;
  mLateAnswers = 0;
  mTwiceAfterMs = -1;
  mAnswered.clear();
  mParts = fresh.mParts;
  mSounds = fresh.mSounds;
  mMultis = fresh.mMultis;
  mMulti = fresh.mMulti;
  mGlobal = fresh.mGlobal;
  mBankSelect = {};
  for (int p = 0; p < kParts; ++p) mPartChannels[static_cast<size_t>(p)] = p;
  mReceived.clear();
  mChecksumErrors.clear();
  mPartsStored.clear();
  mClockBytes.clear();
  mTimingClockTimes.clear();
}

void SimulatedInstrument::setDeviceId(int id) {
  std::lock_guard<std::mutex> lock(mMutex);
  takeDeviceId(id);
}

void SimulatedInstrument::setGlobalChannel(int channel) {
  std::lock_guard<std::mutex> lock(mMutex);
  mGlobal[kGlobalChannelByte] = static_cast<uint8_t>(channel + 1);
  sim::writeFrameChecksum(mGlobal.data(), kGlobalDumpSize);
}

// The global block carries the ID too.
void SimulatedInstrument::takeDeviceId(int id) {
  mDeviceId = id;
  mGlobal[kGlobalDeviceIdByte] = static_cast<uint8_t>(id);
  sim::writeFrameChecksum(mGlobal.data(), kGlobalDumpSize);
}

SimBytes* SimulatedInstrument::slotFor(bool sound, int bank, int program) {
  const auto p = static_cast<size_t>(program);
  if (sound && bank == kEditBufferBank && program < kParts) return &mParts[p];
  if (sound && bank < kSoundBanks && program < kPrograms) return &mSounds[static_cast<size_t>(bank)][p];
  if (!sound && bank == kMultiEditBuffer) return &mMulti;
  if (!sound && bank == 0 && program < kPrograms) return &mMultis[p];
  return nullptr;
}

std::vector<SimBytes> SimulatedInstrument::receive(const SimBytes& message) {
  std::vector<TimedReply> timed = receiveTimed(message);
  std::stable_sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) { return a.lateMs < b.lateMs; });
  std::vector<SimBytes> replies;
  for (TimedReply& reply : timed) replies.push_back(std::move(reply.bytes));
  return replies;
}

std::vector<SimulatedInstrument::TimedReply> SimulatedInstrument::receiveTimed(const SimBytes& message) {
  bool answer = false;
  const std::vector<SimBytes> replies = respond(message, answer);
  std::vector<TimedReply> timed;
  int late = 0;
  if (answer && mLateAnswers != 0) {
    late = mLateMs;
    if (mLateAnswers > 0) --mLateAnswers;
  }
  for (const SimBytes& reply : replies) timed.push_back({reply, answer ? late : 0});
  if (answer && mTwiceAfterMs >= 0)
    for (const SimBytes& reply : replies) timed.push_back({reply, late + mTwiceAfterMs});
  if (answer) {
    std::lock_guard<std::mutex> lock(mMutex);
    mAnswered.push_back(message);
  }
  return timed;
}

std::vector<SimBytes> SimulatedInstrument::respond(const SimBytes& m, bool& answer) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (m.empty()) return {};
  mReceived.push_back(m);
  if (m[0] != kSysExStart) {
    std::vector<SimBytes> reports;
    for (const size_t part : applyShortMessage(m))
      if (mReportsProgramChanges)
        for (SimBytes& report : reportsOf(part)) reports.push_back(std::move(report));
    return reports;
  }
  // Not ours: another model, another maker, or another device ID.
  if (m.size() < 6 || m[1] != kZorozovID || m[2] != kDirirUModel || m[3] != mDeviceId || m.back() != kSysExEnd)
    return {};
  const uint8_t command = m[4];
  if (command == kSoundDumpCommand || command == kMultiDumpCommand || command == kGlobalDumpCommand) {
    applyDump(m);
  } else if (command == kSoundChange || command == kMultiChange || command == kGlobalChange) {
    applyParameterChange(m);
    // A part's bank or program changed in the multi: the part loads it.
    const int position = m.size() == 9 ? m[5] * 128 + m[6] - kMultiPartBlock : -1;
    if (command == kMultiChange && position >= 0 && position < kParts * kMultiPartBlockSpan &&
        position % kMultiPartBlockSpan < 2) {
      const size_t part = static_cast<size_t>(position / kMultiPartBlockSpan);
      const size_t at = 7 + kMultiPartBlock + kMultiPartBlockSpan * part;
      loadPart(part, mMulti[at], mMulti[at + 1]);
    }
  } else if (!mSilent) {
    const SimBytes* reply = nullptr;
    if (command == kGlobalRequest && m.size() == 6) reply = &mGlobal;
    if ((command == kSoundRequest || command == kMultiRequest) && m.size() == 8)
      reply = slotFor(command == kSoundRequest, m[5], m[6]);
    if (reply && mRepliesLeft == 0) return {};
    if (reply && mRepliesLeft > 0) --mRepliesLeft;
    if (!reply) return {};
    // An answer carries the ID the instrument has now, as the editor learns it.
    SimBytes dump = *reply;
    dump[3] = static_cast<uint8_t>(mDeviceId);
    answer = true;
    return {spoil(dump)};
  }
  return {};
}

SimBytes SimulatedInstrument::spoil(SimBytes dump) const {
  switch (mMalformation) {
    case Malformation::kNone: break;
    case Malformation::kTruncated:
      dump.resize(200);
      dump.back() = kSysExEnd;
      break;
    case Malformation::kOverlong: dump.insert(dump.end() - 1, 10, 0x11); break;
    case Malformation::kPartAbove15: dump[6] = 0x20; break;
    case Malformation::kWrongHeader: dump[2] = 0x11; break;
    case Malformation::kWrongChecksum: dump[dump.size() - 2] = (dump[dump.size() - 2] + 1) & 0x7F; break;
    case Malformation::kHighBytes:
      for (size_t i = 8; i < 60 && i + 2 < dump.size(); i += 5) dump[i] = static_cast<uint8_t>(0x80 | dump[i]);
      break;
  }
  return dump;
}

void SimulatedInstrument::applyDump(const SimBytes& m) {
  const uint8_t command = m[4];
  const int size = command == kSoundDumpCommand   ? kSoundDumpSize
                   : command == kMultiDumpCommand ? kMultiDumpSize
                                                  : kGlobalDumpSize;
  if (static_cast<int>(m.size()) != size) return;
  const int expected = sim::frameChecksum(m.data(), static_cast<size_t>(size));
  if (m[m.size() - 2] != expected) return mChecksumErrors.push_back({command, expected, m[m.size() - 2]});
  if (command == kGlobalDumpCommand) {
    mGlobal = m;
    mDeviceId = m[kGlobalDeviceIdByte];
  } else if (SimBytes* slot = slotFor(command == kSoundDumpCommand, m[5], m[6])) {
    *slot = m;
    if (command == kSoundDumpCommand && m[5] == kEditBufferBank) mPartsStored.push_back(m[6]);
    if (slot == &mMulti) loadPartsOfMulti();
  }
}

// Position page*128+num sits 7 bytes into a sound or multi dump, 5 into the
// global block; sound changes name the part first.
void SimulatedInstrument::applyParameterChange(const SimBytes& m) {
  const bool sound = m[4] == kSoundChange, global = m[4] == kGlobalChange;
  if (m.size() != (sound ? 10u : 9u) || (sound && m[5] >= kParts)) return;
  SimBytes& target = sound ? mParts[m[5]] : global ? mGlobal : mMulti;
  const size_t at = sound ? 6 : 5;
  const int position = m[at] * 128 + m[at + 1];
  const size_t offset = static_cast<size_t>(position + (global ? 5 : 7));
  const uint8_t value = m[at + 2];
  if (value >= 0x80 || offset + 2 >= target.size()) return;
  target[offset] = value;
  sim::writeFrameChecksum(target.data(), target.size());
  if (global && position == kGlobalDeviceIdPosition) mDeviceId = value;
}

SimBytes SimulatedInstrument::turnSoundKnob(int part, int position, int value) {
  const SimBytes message = {kSysExStart, kZorozovID, kDirirUModel, 0, kSoundChange, static_cast<uint8_t>(part),
                            static_cast<uint8_t>(position / 128), static_cast<uint8_t>(position % 128),
                            static_cast<uint8_t>(value), kSysExEnd};
  std::lock_guard<std::mutex> lock(mMutex);
  SimBytes sent = message;
  sent[3] = static_cast<uint8_t>(mDeviceId);
  applyParameterChange(sent);
  return sent;
}

SimBytes SimulatedInstrument::turnMultiKnob(int position, int value) {
  std::lock_guard<std::mutex> lock(mMutex);
  const SimBytes sent = {kSysExStart, kZorozovID, kDirirUModel, static_cast<uint8_t>(mDeviceId), kMultiChange,
                         static_cast<uint8_t>(position / 128), static_cast<uint8_t>(position % 128),
                         static_cast<uint8_t>(value), kSysExEnd};
  applyParameterChange(sent);
  return sent;
}

std::vector<size_t> SimulatedInstrument::applyShortMessage(const SimBytes& m) {
  if (m[0] == 0xF8 || m[0] == 0xFA || m[0] == 0xFC) {
    mClockBytes.push_back(m[0]);
    if (m[0] == 0xF8) mTimingClockTimes.push_back(std::chrono::steady_clock::now());
    return {};
  }
  const auto channel = static_cast<size_t>(m[0] & 0x0F);
  const int kind = m[0] & 0xF0;
  // On the global channel a program change selects a multi.
  if (kind == 0xC0 && m.size() >= 2 && static_cast<int>(channel) + 1 == mGlobal[kGlobalChannelByte] &&
      m[1] < kPrograms) {
    mMulti = mMultis[m[1]];
    mMulti[5] = kMultiEditBuffer;
    mMulti[6] = 0;
    sim::writeFrameChecksum(mMulti.data(), kMultiDumpSize);
    loadPartsOfMulti();
    return {};
  }
  if (kind == 0xB0 && m.size() >= 3 && m[1] == 32 && m[2] >= 64) mBankSelect[channel] = m[2] - 64;
  // Every part on the channel takes the selected stored sound into its edit buffer.
  const int bank = mBankSelect[channel];
  std::vector<size_t> took;
  if (kind != 0xC0 || m.size() < 2 || bank >= kSoundBanks || m[1] >= kPrograms) return took;
  for (size_t part = 0; part < static_cast<size_t>(kParts); ++part) {
    if (mPartChannels[part] != static_cast<int>(channel)) continue;
    loadPart(part, bank, m[1]);
    // The multi names what each part plays: its block's bank and program.
    const int position = kMultiPartBlock + kMultiPartBlockSpan * static_cast<int>(part);
    for (const auto& [at, value] : {std::pair{position, bank}, std::pair{position + 1, static_cast<int>(m[1])}})
      applyParameterChange({kSysExStart, kZorozovID, kDirirUModel, static_cast<uint8_t>(mDeviceId), kMultiChange,
                            static_cast<uint8_t>(at / 128), static_cast<uint8_t>(at % 128), static_cast<uint8_t>(value),
                            kSysExEnd});
    took.push_back(part);
  }
  return took;
}

std::vector<SimBytes> SimulatedInstrument::reportsOf(size_t part) const {
  std::vector<SimBytes> reports;
  for (int what = 0; what < 2; ++what) {
    const int at = kMultiPartBlock + kMultiPartBlockSpan * static_cast<int>(part) + what;
    reports.push_back({kSysExStart, kZorozovID, kDirirUModel, static_cast<uint8_t>(mDeviceId), kMultiChange,
                       static_cast<uint8_t>(at / 128), static_cast<uint8_t>(at % 128),
                       mMulti[static_cast<size_t>(7 + at)], kSysExEnd});
  }
  return reports;
}

void SimulatedInstrument::setLocalControl(bool on) {
  std::lock_guard<std::mutex> lock(mMutex);
  mGlobal[kGlobalLocalControlByte] = on ? 1 : 0;
  sim::writeFrameChecksum(mGlobal.data(), kGlobalDumpSize);
}

std::vector<SimBytes> SimulatedInstrument::pickOnPanel(int part, int bank, int program) {
  std::lock_guard<std::mutex> lock(mMutex);
  const auto at = static_cast<size_t>(7 + kMultiPartBlock + kMultiPartBlockSpan * part);
  // The program knob alone tells the program; a bank picked tells both.
  const bool bankTold = mMulti[at] != bank;
  if (mGlobal[kGlobalLocalControlByte] != 0) {
    // Played at once: the part loads it, and the multi names it.
    loadPart(static_cast<size_t>(part), bank, program);
    mMulti[at] = static_cast<uint8_t>(bank);
    mMulti[at + 1] = static_cast<uint8_t>(program);
    sim::writeFrameChecksum(mMulti.data(), kMultiDumpSize);
  }
  std::vector<SimBytes> reports = reportsOf(static_cast<size_t>(part));
  reports[0][7] = static_cast<uint8_t>(bank);
  reports[1][7] = static_cast<uint8_t>(program);
  if (!bankTold) reports.erase(reports.begin());
  return reports;
}

// The part's edit buffer takes a stored sound.
void SimulatedInstrument::loadPart(size_t part, int bank, int program) {
  if (part >= static_cast<size_t>(kParts) || bank < 0 || bank >= kSoundBanks || program < 0 || program >= kPrograms) return;
  SimBytes dump = mSounds[static_cast<size_t>(bank)][static_cast<size_t>(program)];
  dump[5] = kEditBufferBank;
  dump[6] = static_cast<uint8_t>(part);
  sim::writeFrameChecksum(dump.data(), kSoundDumpSize);
  mParts[part] = dump;
  mBankSelect[static_cast<size_t>(mPartChannels[part]) & 0x0F] = bank;
}

// A multi that arrives in the edit buffer has every part load what it names.
void SimulatedInstrument::loadPartsOfMulti() {
  for (size_t p = 0; p < static_cast<size_t>(kParts); ++p) {
    const size_t at = 7 + kMultiPartBlock + kMultiPartBlockSpan * p;
    if (at + 1 < mMulti.size()) loadPart(p, mMulti[at], mMulti[at + 1]);
  }
}
