// MIDI clock to the instrument: Start and Stop on transport edges, and 24
// Timing Clock bytes per quarter note while the clock runs. The clock state is
// the manager's own, so two plug-in instances do not share it.
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "EditorServices.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"

namespace {
constexpr unsigned char kStart = 0xFA;
constexpr unsigned char kTimingClock = 0xF8;
constexpr unsigned char kStop = 0xFC;
constexpr int kTempoRetryMs = 1000;
constexpr int kMaxTempoTries = 10;
constexpr int kLastCountingTry = 9;
constexpr int64_t kNsPerMinute = 60'000'000'000LL;
constexpr int kClocksPerQuarter = 24;
constexpr std::chrono::seconds kLongestStall{1};
}  // namespace

void MIDIMessageSender::startMIDIClockOutput() {
  if (plug->isClockPointerOn()) plug->sendRawToDevice({kStart});
}

void MIDIMessageSender::stopMIDIClockOutput() {
  if (plug->isClockPointerOn()) plug->sendRawToDevice({kStop});
}

int MIDIMessageSender::readClockTempo() const {
  IParam* override = plug->paramAt(kOverrideTempo);
  if (override && override->Value() == 1.0) return plug->getTempoValue();
  IParam* tempo = plug->paramAt(kMultiTempo);
  return plug->tempoListValue(tempo ? tempo->Int() : 0);
}

void MIDIMessageSender::sendContinuousMIDIClock(int) {
  if (!plug->isClockInfoOn()) return;
  int tries = 0;
  int tempo = readClockTempo();
  while (tempo == 0 && tries <= kMaxTempoTries) {
    if (!mManager.pause(kTempoRetryMs)) return;
    ++tries;
    tempo = readClockTempo();
  }
  if (tempo <= 0 || tries > kLastCountingTry) {
    plug->setParameterFromPlug(kSendMIDIClockInfo, 0.0, false);
    plug->showStatusText("Unable to get DAW Tempo");
    plug->clearClockInfo();
    return;
  }
  const std::chrono::nanoseconds interval(kNsPerMinute / (static_cast<int64_t>(tempo) * kClocksPerQuarter));

  const auto sending = mManager.clockNow();
  plug->sendRawToDevice({kTimingClock});
  // Each tick is due one interval after the previous one was due, so the
  // time a send takes does not add up over a long session, and a tick sent
  // late is made up at once. Only after a stall of a second or more (a
  // suspended machine) does the count start again from now.
  auto due = sending + interval;
  while (mManager.waitForClockTick(due)) {
    const auto now = mManager.clockNow();
    if (now < due) continue;
    if (plug->isMidiIOConfigured()) {
      plug->sendRawToDevice({kTimingClock});
    } else {
      mManager.resetContinuousClock(true);
    }
    due = now - due >= kLongestStall ? now + interval : due + interval;
  }
}
