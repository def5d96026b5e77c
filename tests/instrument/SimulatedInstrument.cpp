#include "SimulatedInstrument.h"

#include <algorithm>
#include <cstdio>

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
constexpr int kSoundOffset = 7;
constexpr int kMultiOffset = 7;
constexpr int kGlobalOffset = 5;

void writeName(SimBytes& dump, int first, int length, const std::string& name) {
  for (int i = 0; i < length; ++i)
    dump[static_cast<size_t>(first + i)] = i < static_cast<int>(name.size()) ? static_cast<uint8_t>(name[i]) : ' ';
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
  dump[3] = static_cast<uint8_t>(deviceId);
  dump[5] = static_cast<uint8_t>(bank);
  dump[6] = static_cast<uint8_t>(program);
  // Parameter bytes that decode to small in-range values and differ by byte.
  for (const SoundDumpField& field : soundDumpFields())
    dump[static_cast<size_t>(field.byte)] = field.rule == DumpRule::kOctave ? 28 : static_cast<uint8_t>(field.byte % 4);
  writeName(dump, kSoundNameByte, kSoundNameLength, name);
  writeName(dump, kSoundCategoryByte, kSoundCategoryLength, "SIM");
  writeDumpChecksum(dump.data(), kSoundDumpSize);
  return dump;
}

SimBytes SimulatedInstrument::multiDump(int deviceId, int bank, int program, const std::string& name) {
  SimBytes dump(kMultiDumpSize, 0);
  dump[0] = kSysExStart;
  dump[1] = kZorozovID;
  dump[2] = kDirirUModel;
  dump[3] = static_cast<uint8_t>(deviceId);
  dump[4] = kMultiDumpCommand;
  dump[5] = static_cast<uint8_t>(bank);
  dump[6] = static_cast<uint8_t>(program);
  writeName(dump, kMultiNameByte, 16, name);
  dump[385] = 0x77;
  dump[386] = 0x7F;
  dump[kMultiDumpSize - 1] = kSysExEnd;
  writeDumpChecksum(dump.data(), kMultiDumpSize);
  return dump;
}

SimBytes SimulatedInstrument::globalDump(int deviceId) {
  SimBytes dump(kGlobalDumpSize, 0);
  dump[0] = kSysExStart;
  dump[1] = kZorozovID;
  dump[2] = kDirirUModel;
  dump[3] = static_cast<uint8_t>(deviceId);
  dump[4] = kGlobalDumpCommand;
  dump[kGlobalDeviceIdByte] = static_cast<uint8_t>(deviceId);
  dump[kGlobalDumpSize - 1] = kSysExEnd;
  writeDumpChecksum(dump.data(), kGlobalDumpSize);
  return dump;
}

SimulatedInstrument::SimulatedInstrument(int deviceId) : mDeviceId(deviceId) {
  for (int p = 0; p < kParts; ++p)
    mParts[static_cast<size_t>(p)] = soundDump(deviceId, kEditBufferBank, p, programName("PART", 0, p + 1));
  for (int b = 0; b < kSoundBanks; ++b)
    for (int n = 0; n < kPrograms; ++n)
      mSounds[static_cast<size_t>(b)][static_cast<size_t>(n)] = soundDump(deviceId, b, n, programName("SOUND", b, n));
  for (int n = 0; n < kPrograms; ++n)
    mMultis[static_cast<size_t>(n)] = multiDump(deviceId, 0, n, programName("MULTI", 0, n));
  mMulti = multiDump(deviceId, kMultiEditBuffer, 0, "MULTI EDIT");
  mGlobal = globalDump(deviceId);
}

void SimulatedInstrument::setDeviceId(int id) {
  std::lock_guard<std::mutex> lock(mMutex);
  mDeviceId = id;
  mGlobal[kGlobalDeviceIdByte] = static_cast<uint8_t>(id);
  writeDumpChecksum(mGlobal.data(), kGlobalDumpSize);
}

void SimulatedInstrument::setSilent(bool silent) {
  std::lock_guard<std::mutex> lock(mMutex);
  mSilent = silent;
}

void SimulatedInstrument::setMalformation(Malformation kind) {
  std::lock_guard<std::mutex> lock(mMutex);
  mMalformation = kind;
}

void SimulatedInstrument::setReplyDelayMs(int ms) {
  std::lock_guard<std::mutex> lock(mMutex);
  mReplyDelayMs = ms;
}

int SimulatedInstrument::replyDelayMs() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mReplyDelayMs;
}

int SimulatedInstrument::deviceId() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mDeviceId;
}

SimBytes SimulatedInstrument::partBuffer(int part) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mParts.at(static_cast<size_t>(part));
}

SimBytes SimulatedInstrument::storedSound(int bank, int program) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSounds.at(static_cast<size_t>(bank)).at(static_cast<size_t>(program));
}

SimBytes SimulatedInstrument::multiBuffer() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mMulti;
}

SimBytes SimulatedInstrument::storedMulti(int program) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mMultis.at(static_cast<size_t>(program));
}

SimBytes SimulatedInstrument::globalBlock() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mGlobal;
}

void SimulatedInstrument::setPartBuffer(int part, const SimBytes& dump) {
  std::lock_guard<std::mutex> lock(mMutex);
  mParts.at(static_cast<size_t>(part)) = dump;
}

std::vector<SimBytes> SimulatedInstrument::received() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mReceived;
}

std::vector<SimulatedInstrument::ChecksumError> SimulatedInstrument::checksumErrors() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mChecksumErrors;
}

std::vector<int> SimulatedInstrument::partsStored() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mPartsStored;
}

int SimulatedInstrument::clockCount(uint8_t status) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return status == 0xFA ? mStarts : status == 0xFC ? mStops : status == 0xF8 ? mClocks : 0;
}

int SimulatedInstrument::allNotesOffCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mAllNotesOff;
}

std::vector<SimBytes> SimulatedInstrument::receive(const SimBytes& message) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (message.empty()) return {};
  mReceived.push_back(message);
  if (message[0] != kSysExStart) {
    applyShortMessage(message);
    return {};
  }
  // Not ours: another model, another maker, or another device ID.
  if (message.size() < 6 || message[1] != kZorozovID || message[2] != kDirirUModel || message[3] != mDeviceId ||
      message.back() != kSysExEnd)
    return {};
  const uint8_t command = message[4];
  if (command == kSoundDumpCommand || command == kMultiDumpCommand || command == kGlobalDumpCommand) {
    applyDump(message);
    return {};
  }
  if (command == kSoundChange || command == kMultiChange || command == kGlobalChange) {
    applyParameterChange(message);
    return {};
  }
  if (mSilent) return {};
  std::vector<SimBytes> replies = answerRequest(message);
  for (SimBytes& reply : replies) reply = spoil(std::move(reply));
  return replies;
}

std::vector<SimBytes> SimulatedInstrument::answerRequest(const SimBytes& m) const {
  const uint8_t command = m[4];
  if (command == kGlobalRequest && m.size() == 6) return {mGlobal};
  if (m.size() != 8) return {};
  const uint8_t bank = m[5];
  const uint8_t program = m[6];
  if (command == kSoundRequest) {
    if (bank == kEditBufferBank && program < kParts) return {mParts[program]};
    if (bank < kSoundBanks && program < kPrograms) return {mSounds[bank][program]};
  }
  if (command == kMultiRequest) {
    if (bank == kMultiEditBuffer && program == 0) return {mMulti};
    if (bank == 0 && program < kPrograms) return {mMultis[program]};
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

bool SimulatedInstrument::verifyChecksum(const SimBytes& m) {
  const int size = static_cast<int>(m.size());
  const int expected = dumpChecksum(m.data(), size);
  const int received = m[static_cast<size_t>(size - 2)];
  if (expected == received) return true;
  mChecksumErrors.push_back({m[4], expected, received});
  return false;
}

void SimulatedInstrument::applyDump(const SimBytes& m) {
  const uint8_t command = m[4];
  const int size = static_cast<int>(m.size());
  if ((command == kSoundDumpCommand && size != kSoundDumpSize) ||
      (command == kMultiDumpCommand && size != kMultiDumpSize) ||
      (command == kGlobalDumpCommand && size != kGlobalDumpSize))
    return;
  if (!verifyChecksum(m)) return;
  const uint8_t bank = m[5];
  const uint8_t program = m[6];
  if (command == kSoundDumpCommand) {
    if (bank == kEditBufferBank && program < kParts) {
      mParts[program] = m;
      mPartsStored.push_back(program);
    } else if (bank < kSoundBanks && program < kPrograms) {
      mSounds[bank][program] = m;
    }
  } else if (command == kMultiDumpCommand) {
    if (bank == kMultiEditBuffer) mMulti = m;
    else if (bank == 0 && program < kPrograms) mMultis[program] = m;
  } else {
    mGlobal = m;
    mDeviceId = m[kGlobalDeviceIdByte];
  }
}

void SimulatedInstrument::applyParameterChange(const SimBytes& m) {
  SimBytes* target = nullptr;
  int offset = 0;
  uint8_t value = 0;
  if (m[4] == kSoundChange && m.size() == 10 && m[5] < kParts) {
    target = &mParts[m[5]];
    offset = m[6] * 128 + m[7] + kSoundOffset;
    value = m[8];
  } else if (m[4] == kMultiChange && m.size() == 9) {
    target = &mMulti;
    offset = m[5] * 128 + m[6] + kMultiOffset;
    value = m[7];
  } else if (m[4] == kGlobalChange && m.size() == 9) {
    target = &mGlobal;
    offset = m[5] * 128 + m[6] + kGlobalOffset;
    value = m[7];
    if (offset - kGlobalOffset == kGlobalDeviceIdPosition) mDeviceId = value;
  }
  if (!target || value >= 0x80 || offset < 5 || offset > static_cast<int>(target->size()) - 3) return;
  (*target)[static_cast<size_t>(offset)] = value;
  writeDumpChecksum(target->data(), static_cast<int>(target->size()));
}

void SimulatedInstrument::applyShortMessage(const SimBytes& m) {
  const uint8_t status = m[0];
  if (status == 0xFA) ++mStarts;
  if (status == 0xFC) ++mStops;
  if (status == 0xF8) ++mClocks;
  if (status < 0x80 || status >= 0xF0 || m.size() < 2) return;
  const int channel = status & 0x0F;
  const int kind = status >> 4;
  if (kind == 0xB && m.size() >= 3) {
    if (m[1] == 123) ++mAllNotesOff;
    if (m[1] == 32 && m[2] >= 64) mBankSelect[static_cast<size_t>(channel)] = m[2] - 64;
  } else if (kind == 0xC) {
    // The channel's part takes the selected stored sound into its edit buffer.
    const int bank = mBankSelect[static_cast<size_t>(channel)];
    if (bank < kSoundBanks && m[1] < kPrograms) {
      SimBytes dump = mSounds[static_cast<size_t>(bank)][m[1]];
      dump[5] = kEditBufferBank;
      dump[6] = static_cast<uint8_t>(channel);
      writeDumpChecksum(dump.data(), kSoundDumpSize);
      mParts[static_cast<size_t>(channel)] = dump;
    }
  }
}
