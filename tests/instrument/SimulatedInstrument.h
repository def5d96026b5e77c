// A dirirU in software, for tests: 16 part edit buffers, a multi, the global
// block and stored banks. It answers requests addressed to its own device ID
// with dumps carrying correct checksums, applies what it receives and keeps a
// record of it. Knobs make it silent, slow, renamed or unreliable.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

using SimBytes = std::vector<uint8_t>;

class SimulatedInstrument {
 public:
  static constexpr int kParts = 16;
  static constexpr int kSoundBanks = 3;
  static constexpr int kPrograms = 100;

  // How replies to requests are spoiled.
  enum class Malformation {
    kNone,
    kTruncated,      // cut to 200 bytes, F7 last
    kOverlong,       // ten more data bytes before the F7
    kPartAbove15,    // program byte 0x20
    kWrongHeader,    // model byte 0x11
    kWrongChecksum,  // checksum off by one
    kHighBytes,      // data bytes of 0x80 and more
  };

  struct ChecksumError {
    int command;
    int expected;
    int received;
  };

  explicit SimulatedInstrument(int deviceId = 0);

  // One whole message from the editor; returns the instrument's replies.
  std::vector<SimBytes> receive(const SimBytes& message);

  // ---- Knobs.
  void setDeviceId(int id);
  void setSilent(bool silent);
  void setMalformation(Malformation kind);
  void setReplyDelayMs(int ms);
  int replyDelayMs() const;

  // ---- State.
  int deviceId() const;
  SimBytes partBuffer(int part) const;
  SimBytes storedSound(int bank, int program) const;
  SimBytes multiBuffer() const;
  SimBytes storedMulti(int program) const;
  SimBytes globalBlock() const;
  void setPartBuffer(int part, const SimBytes& dump);

  // ---- What it saw.
  std::vector<SimBytes> received() const;
  std::vector<ChecksumError> checksumErrors() const;
  // Sound dumps applied to a part edit buffer, in arrival order (part numbers).
  std::vector<int> partsStored() const;
  int clockCount(uint8_t status) const;
  int allNotesOffCount() const;

  // ---- Building blocks the tests share.
  static SimBytes soundDump(int deviceId, int bank, int program, const std::string& name);
  static SimBytes multiDump(int deviceId, int bank, int program, const std::string& name);
  static SimBytes globalDump(int deviceId);

 private:
  SimBytes spoil(SimBytes dump) const;
  bool verifyChecksum(const SimBytes& message);
  void applyParameterChange(const SimBytes& message);
  void applyShortMessage(const SimBytes& message);
  void applyDump(const SimBytes& message);
  std::vector<SimBytes> answerRequest(const SimBytes& message) const;

  mutable std::mutex mMutex;
  int mDeviceId;
  bool mSilent = false;
  Malformation mMalformation = Malformation::kNone;
  int mReplyDelayMs = 0;
  std::array<SimBytes, kParts> mParts;
  std::array<std::array<SimBytes, kPrograms>, kSoundBanks> mSounds;
  std::array<SimBytes, kPrograms> mMultis;
  SimBytes mMulti;
  SimBytes mGlobal;
  std::array<int, kParts> mBankSelect{};
  std::vector<SimBytes> mReceived;
  std::vector<ChecksumError> mChecksumErrors;
  std::vector<int> mPartsStored;
  int mStarts = 0;
  int mStops = 0;
  int mClocks = 0;
  int mAllNotesOff = 0;
};
