// A dirirU in software, for tests: 16 part edit buffers, a multi, the global
// block and stored banks. It answers requests addressed to its own device ID
// with dumps carrying correct checksums, applies what it receives and keeps a
// record of it. Knobs make it silent, slow, renamed or unreliable.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
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
    int command, expected, received;
  };

  explicit SimulatedInstrument(int deviceId = 0);

  // A reply and how much later than at once it leaves.
  struct TimedReply {
    SimBytes bytes;
    int lateMs = 0;
  };
  // One whole message from the editor; returns the instrument's replies,
  // in the order they leave.
  std::vector<SimBytes> receive(const SimBytes& message);
  // The same, each reply with its own lateness (the knobs below).
  std::vector<TimedReply> receiveTimed(const SimBytes& message);

  // As constructed with its present device ID: every buffer, bank, knob and
  // record back to the start.
  void reset();

  // ---- Knobs.
  void setDeviceId(int id);
  void setSilent(bool silent) { mSilent = silent; }
  // Answers this many more requests, then none, as if its reply cable were
  // pulled; -1 answers every one.
  void setRepliesLeft(int count) { mRepliesLeft = count; }
  void setMalformation(Malformation kind) { mMalformation = kind; }
  // How long a link holds the replies back.
  void setReplyDelayMs(int ms) { mReplyDelayMs = ms; }
  // The next count answers to requests (-1: every one) leave ms late, past
  // the link's delay: an answer past its request's time.
  void setAnswersLate(int ms, int count = -1) {
    mLateMs = ms;
    mLateAnswers = count;
  }
  // Every answer to a request leaves again, afterMs after the first; -1 once.
  void setAnswersTwice(int afterMs) { mTwiceAfterMs = afterMs; }
  // The MIDI channel (0..15) on which a program change loads a stored multi
  // into the edit multi, as its global block holds it; -1 for none.
  void setGlobalChannel(int channel);
  int replyDelayMs() const { return mReplyDelayMs; }
  // Tells each program change a part takes back, as the report of the part's
  // bank and then its program (the replies to that message).
  void setReportsProgramChanges(bool on) { mReportsProgramChanges = on; }
  // The MIDI channel (0..15) a part receives on; several parts may share
  // one, and each takes and tells back a program change on it. Part p is on
  // channel p until set.
  void setPartChannel(int part, int channel);
  // Its local control, as its global block holds it: on, a pick made on its
  // panel is played at once; off, it is only told.
  void setLocalControl(bool on);

  // ---- State.
  int deviceId() const { return get(mDeviceId); }
  SimBytes partBuffer(int part) const { return get(mParts.at(static_cast<size_t>(part))); }
  SimBytes storedSound(int bank, int program) const {
    return get(mSounds.at(static_cast<size_t>(bank)).at(static_cast<size_t>(program)));
  }
  SimBytes storedMulti(int program) const { return get(mMultis.at(static_cast<size_t>(program))); }
  SimBytes multiBuffer() const { return get(mMulti); }

  // ---- What it saw: every message, the dumps refused for their checksum,
  // and the parts whose edit buffer a sound dump replaced, in arrival order.
  std::vector<SimBytes> received() const { return get(mReceived); }
  std::vector<ChecksumError> checksumErrors() const { return get(mChecksumErrors); }
  std::vector<int> partsStored() const { return get(mPartsStored); }
  // The requests it answered, in order: a device-ID search's request on its
  // own ID among them.
  std::vector<SimBytes> answered() const { return get(mAnswered); }
  // The clock bytes (FA, F8, FC) in arrival order, with when they came.
  std::vector<uint8_t> clockBytes() const { return get(mClockBytes); }
  std::vector<std::chrono::steady_clock::time_point> timingClockTimes() const { return get(mTimingClockTimes); }

  // ---- Edits made on the instrument: applied to its own buffers, and the
  // message it sends for them. A sound change names the part; multi and
  // global changes address position page * 128 + number.
  SimBytes turnSoundKnob(int part, int position, int value);
  SimBytes turnMultiKnob(int position, int value);
  // A part's bank and program picked on the panel: the reports it sends (the
  // bank's only when it is another than the part's).
  std::vector<SimBytes> pickOnPanel(int part, int bank, int program);

  // ---- Building blocks the tests share.
  static SimBytes soundDump(int deviceId, int bank, int program, const std::string& name);
  static SimBytes multiDump(int deviceId, int bank, int program, const std::string& name);

 private:
  template <typename T>
  T get(const T& member) const {
    std::lock_guard<std::mutex> lock(mMutex);
    return member;
  }
  // receive's work: the replies at once; answer: they answer a request.
  std::vector<SimBytes> respond(const SimBytes& message, bool& answer);
  // The buffer a sound or multi request or dump addresses, or null.
  SimBytes* slotFor(bool sound, int bank, int program);
  void takeDeviceId(int id);
  SimBytes spoil(SimBytes dump) const;
  void applyDump(const SimBytes& message);
  void applyParameterChange(const SimBytes& message);
  // The parts that took a program change from it.
  std::vector<size_t> applyShortMessage(const SimBytes& message);
  // The reports of what the part plays, as its multi block holds it.
  std::vector<SimBytes> reportsOf(size_t part) const;
  void loadPart(size_t part, int bank, int program);
  void loadPartsOfMulti();

  mutable std::mutex mMutex;
  int mDeviceId = 0;
  std::atomic<bool> mSilent{false};
  std::atomic<int> mRepliesLeft{-1};
  std::atomic<Malformation> mMalformation{Malformation::kNone};
  std::atomic<int> mReplyDelayMs{0};
  std::atomic<bool> mReportsProgramChanges{false};
  std::atomic<int> mLateMs{0};
  std::atomic<int> mLateAnswers{0};
  std::atomic<int> mTwiceAfterMs{-1};
  std::vector<SimBytes> mAnswered;
  std::array<SimBytes, kParts> mParts;
  std::array<std::array<SimBytes, kPrograms>, kSoundBanks> mSounds;
  std::array<SimBytes, kPrograms> mMultis;
  SimBytes mMulti;
  SimBytes mGlobal;
  std::array<int, kParts> mBankSelect{};  // by channel
  std::array<int, kParts> mPartChannels{};
  std::vector<SimBytes> mReceived;
  std::vector<ChecksumError> mChecksumErrors;
  std::vector<int> mPartsStored;
  std::vector<uint8_t> mClockBytes;
  std::vector<std::chrono::steady_clock::time_point> mTimingClockTimes;
};
