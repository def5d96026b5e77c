// The one entry for every road that changes what a part plays, and the one
// gate its messages leave through.
//
// The entry moves the part's count (its newest pick), replaces the pick that
// waits for the part while a job has the instrument, and starts the pick's
// work on the part's own lane. The gate lets a pick's message go only while
// its ticket is still its part's newest; what the part plays is recorded
// when the gate lets the program change go. A request waits for its reply
// under its ticket: a reply to a request a newer pick overtook is an
// answer, dropped, and ends that request at once.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

#include "PickLanes.h"
#include "PickTicket.h"

class PartPicks {
 public:
  using PartWork = std::function<void(const PickTicket&, const Pick&)>;
  using StateWork = std::function<void(const StateTicket&, const Pick&)>;

  PartPicks();
  ~PartPicks() { shutDown(); }
  PartPicks(const PartPicks&) = delete;
  PartPicks& operator=(const PartPicks&) = delete;

  // Set once, before the first pick: the work of a pick, and the test of a
  // job holding the instrument (picks then wait for its end).
  void setWork(PartWork part, StateWork state);
  void setBusyTest(std::function<bool()> busy);

  // ---- The entry.
  // A pick arrives: its part's count moves, so that nothing of an older pick
  // leaves from now on; a bank it carries (>= 0) is the one the part's
  // program changes after it go on. From the host's real-time calls: no
  // lock, no wait.
  // A program it carries (>= 0) is what a step of the part counts on from.
  PickTicket arriveRealtime(int slot, int bank = -1, int program = -1);
  // The same, under the entry's lock.
  PickTicket arrive(int slot, int program = -1);
  // The same, under the gate: no message of an older pick is between its
  // check and the port as this one arrives. For the instrument's picks,
  // never under the plug-in's lock.
  PickTicket arriveAtGate(int slot, int program = -1);
  // As arriveAtGate, only while the part's newest pick is still the one
  // counted (count): none when a pick came meanwhile, whatever its road.
  std::optional<PickTicket> arriveAfter(int slot, uint32_t count, int program = -1);
  // A pick of every part and the multi at once.
  // A multi pick (picked) is pending from its arrival: a part's pick that
  // comes after it goes after it.
  StateTicket arriveAll(bool picked = false);
  // The pick a send of the editor's own copy (no pick of its own) goes out
  // under: it stops once a newer pick of the part arrives.
  PickTicket current(int slot) const;
  // Its work: now on the part's lane, or, while a job has the instrument,
  // after it (the pick waiting for the part before is replaced). False for
  // a ticket a newer pick overtook: nothing of it is done.
  bool hand(const PickTicket& ticket, Pick pick);
  bool hand(const StateTicket& ticket, Pick pick);
  // arrive, then hand.
  PickTicket pick(Pick pick);

  // The bank a program change of the slot arriving now goes on: the one a
  // pick not yet gone carried, else -1 (the part's own).
  int pendingBank(int slot) const;
  bool newest(const PickTicket& ticket) const;
  bool newest(const StateTicket& ticket) const;
  // The program a step counts from: the newest pick's, while one is under
  // way for the slot; else shown.
  int stepBase(int slot, int shown) const;
  // The pick's work is over (sent, refused or overtaken).
  void workDone(const PickTicket& ticket);

  // Hands the waiting picks on, once no job has the instrument. Whoever ends
  // what the busy test reads calls it.
  void serveWaiting();
  bool anyWaiting() const;

  // ---- Within a pick's work.
  // Waits ms, ending early (false) once overtaken or shutting down.
  bool waitWhileNewest(const PickTicket& ticket, int ms);
  // The gate: under its lock, while the ticket is its part's newest, hands
  // the pass to send, which gives the message to the port. False (nothing
  // sent) for an overtaken ticket, or send's own result.
  bool letGo(const PickTicket& ticket, const std::function<bool(const GatePass&)>& send);
  // Under the gate's lock, for a pick whose change went while it was the
  // newest and that was overtaken since: hands record a pass unless a newer
  // pick of the part has been recorded since, or a state (a restore, a
  // multi) arrived since. False when it does not.
  bool recordGone(const PickTicket& ticket, const std::function<void(const GatePass&)>& record);

  // ---- Replies. The instrument answers a part's requests in the order they
  // went. A sound dump for the part is the answer of the oldest request
  // still waiting only when nothing older can come before it: an answer a
  // request that ended without it may still send, late (up to kLateReplies
  // reply times), or another copy of the part's last answer (a request of it
  // asked again or searched, each answer sent twice by the instrument).
  // Such a dump is nobody's: neither shown nor held, and the request
  // waiting asks once more.
  static constexpr int kLateReplies = 10;
  struct ReplyWait {
    explicit ReplyWait(const PickTicket& t) : ticket(t) {}
    const PickTicket ticket;
    std::atomic<bool> answered{false};  // its answer came
    std::atomic<bool> taken{false};     // and was taken as the part's sound
    // Dumps that came as nobody's and may have been its answer: it asks again.
    std::atomic<int> unsure{0};
    // Under the replies' lock: its requests that may be answered (a
    // device-ID search's count once), when the last went, and the dumps
    // that came in its wait as nobody's.
    int asked = 0;
    bool searched = false;
    bool ended = false;
    uint32_t lastSentMs = 0;
    uint32_t replyMs = 0;
    std::vector<uint64_t> passed;
  };
  std::shared_ptr<ReplyWait> expectReply(const PickTicket& ticket);
  // One of its requests goes now (call it where the request leaves, under
  // the gate, so that the order of the requests is the order on the wire).
  void replySent(const std::shared_ptr<ReplyWait>& wait, uint32_t nowMs, int replyMs, bool search = false);
  // Its job no longer waits: every answer it may still get is nobody's.
  void endReplyWait(const std::shared_ptr<ReplyWait>& wait);
  enum class Reply { kNotAwaited, kTaken, kDropped };
  // A sound dump for the part came in, as the part plays plays (bank << 7 |
  // program, -1 not known): whose it is.
  Reply replyArrived(int part, const uint8_t* dump, size_t size, uint32_t nowMs, int plays = -1);
  // A request of the part waits, or an answer nobody's may still come.
  bool replyDue(int part, uint32_t nowMs) const;
  // Sound dumps for any part heard from the instrument so far.
  uint64_t heard() const { return mHeard.load(); }
  // Requests still waiting for their reply with their job running.
  int repliesAwaited() const;
  // Forgets the part's requests and whatever they may still be answered
  // (nothing sent before can come any more).
  void forgetReplies(int part);

  // ---- The lanes.
  // Work of the part's that is no pick yet (a bank report waiting for the
  // program report that may follow it), in order with its picks' work.
  bool later(int slot, PickLanes::Task task) { return isSlot(slot) && mLanes.post(slot, std::move(task)); }
  // The bank the part's next pick goes on, unless it carries its own.
  void noteNextBank(int slot, int bank) {
    if (isSlot(slot)) noteBank(static_cast<size_t>(slot), mCounts[static_cast<size_t>(slot)].load() + 1, bank);
  }
  // Takes it back while no pick has come to take it.
  void forgetNextBank(int slot, int bank) {
    if (!isSlot(slot)) return;
    const auto at = static_cast<size_t>(slot);
    uint64_t noted = static_cast<uint64_t>(mCounts[at].load() + 1) << 8 | static_cast<uint64_t>(bank + 1);
    mPickedBanks[at].compare_exchange_strong(noted, 0);
  }
  bool lanesIdle() const { return mLanes.idle(); }
  bool awaitLanesIdle(std::chrono::milliseconds bound) { return mLanes.awaitIdle(bound); }
  static int currentLane() { return PickLanes::currentLane(); }
  void shutDown();
  bool shuttingDown() const { return mShuttingDown; }
  // Wakes the pauses (a cancel, shutdown).
  void wakeAll();

  // For tests: called under the gate's lock with every ticket let go, and
  // with every arrival (after its count moved).
  std::function<void(const PickTicket&)> onLetGo;
  std::function<void(const PickTicket&)> onArrive;
  // Told of a pick a newer one overtook before its work began: nothing of
  // it went. Set once, before the first pick.
  std::function<void(const Pick&)> onOvertaken;

 private:
  using AnyTicket = std::variant<PickTicket, StateTicket>;
  struct Waiting {
    AnyTicket ticket;
    Pick pick;
  };
  bool newestAny(const AnyTicket& ticket) const;
  int slotOf(const AnyTicket& ticket) const;
  bool handAny(const AnyTicket& ticket, Pick pick);
  void start(const AnyTicket& ticket, const Pick& pick);
  void moved();  // a count moved: pauses look again
  void tellOvertaken(const Pick& pick) const;
  // The bank a pick carried, unless a newer pick's is noted already.
  void noteBank(size_t at, uint32_t count, int bank);
  static bool isSlot(int slot) { return slot >= 0 && slot < kPickSlots; }

  std::array<std::atomic<uint32_t>, kPickSlots> mCounts{};
  // The program a pick carried and its count (count << 8 | program + 1), 0
  // none: one word, so that a step never reads one pick's program with
  // another's count.
  std::array<std::atomic<uint64_t>, kPickSlots> mTargets{};
  void noteTarget(size_t at, uint32_t count, int program);
  std::array<std::atomic<uint32_t>, kPickSlots> mDone{};  // the newest pick whose work is over
  // The last bank a pick of the editor or the host carried, and its count
  // (count << 8 | bank + 1): a program change after it goes on that bank
  // while that pick has not yet gone.
  std::array<std::atomic<uint64_t>, kPickSlots> mPickedBanks{};
  // The gate: held while a message is decided and handed to the port, never
  // across a wait. The entry's moves outside real time have a lock of their
  // own, so that a window pick under the plug-in's lock never meets the gate.
  mutable std::mutex mGate;
  mutable std::mutex mEntry;
  // The newest pick of each slot whose record was written at the gate.
  std::array<std::atomic<uint32_t>, kPickSlots> mRecorded{};
  void noteRecorded(const GatePass& pass);
  void noteRecorded(size_t at, uint32_t count);
  mutable std::mutex mWaitingMutex;
  std::array<std::optional<Waiting>, kPickSlots> mWaiting;
  std::function<bool()> mBusy;
  PartWork mPartWork;
  StateWork mStateWork;
  std::mutex mPauseMutex;
  std::condition_variable mPauses;
  // The multi pick handed and not yet worked (its multi count), 0 none: its
  // program change moves every part, so a part's newer pick goes after it.
  std::atomic<uint32_t> mPendingMulti{0};
  void endPendingMulti(uint32_t count);
  // The multi pick pending as each slot's newest pick arrived (count << 32 |
  // multi count), so that its read-back is waited for even when the multi's
  // own work ended before the part's pick reached its lane.
  std::array<std::atomic<uint64_t>, kPickSlots> mMultiAtArrival{};
  void noteArrival(const PickTicket& ticket, int bank, int program);
  // True when a multi pick was pending as the part's pick arrived: it waited
  // for that one's work, if it had not ended.
  bool awaitOlderMulti(const PickTicket& part);
  // Waits as a handed pick does while a job has the instrument (the multi's
  // read-back): true when it now waits.
  bool waitForJob(const PickTicket& part, const Pick& pick);
  mutable std::mutex mReplyMutex;
  struct PartReplies {
    std::deque<std::shared_ptr<ReplyWait>> waits;
    std::deque<uint32_t> strays;  // answers of requests that ended without them: until when each may come
    uint64_t last = 0;            // the last answer's bytes, hashed
    int plays = -1;               // what the part played as it came (bank << 7 | program, -1 not known)
    int copies = 0;               // its request's other answers, until copiesUntil
    int twice = 0;                // answers sent again: copies once the part plays another program
    uint32_t copiesUntil = 0;
  };
  std::array<PartReplies, 16> mReplies;
  std::atomic<uint64_t> mHeard{0};
  std::atomic<bool> mShuttingDown{false};
  PickLanes mLanes{kPickSlots};  // last: its threads go first
};
