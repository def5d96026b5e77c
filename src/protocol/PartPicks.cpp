#include "PartPicks.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "WaitGuard.h"

PartPicks::PartPicks() = default;

void PartPicks::setWork(PartWork part, StateWork state) {
  mPartWork = std::move(part);
  mStateWork = std::move(state);
}

void PartPicks::setBusyTest(std::function<bool()> busy) { mBusy = std::move(busy); }

PickTicket PartPicks::arriveRealtime(int slot, int bank, int program) {
  if (!isSlot(slot)) slot = 0;
  const PickTicket ticket(slot, ++mCounts[static_cast<size_t>(slot)]);
  noteArrival(ticket, bank, program);
  return ticket;
}

void PartPicks::noteArrival(const PickTicket& ticket, int bank, int program) {
  const auto at = static_cast<size_t>(ticket.slot());
  mMultiAtArrival[at] = static_cast<uint64_t>(ticket.count()) << 32 | mPendingMulti.load();
  // Noted as it arrives, not when its work is handed on: a pick of the
  // part that arrives meanwhile goes on this bank, a step counts on from
  // this program.
  if (bank >= 0) noteBank(at, ticket.count(), bank);
  if (program >= 0) noteTarget(at, ticket.count(), program);
  if (onArrive) onArrive(ticket);
}

std::optional<PickTicket> PartPicks::arriveAfter(int slot, uint32_t count, int program) {
  if (!isSlot(slot)) return std::nullopt;
  std::optional<PickTicket> ticket;
  {
    WaitGuard::beforeGate();
    WaitGuard::HostLock<std::mutex> gate(mGate);
    // The host's picks arrive without a lock: only the count itself tells
    // that none came in between.
    uint32_t expected = count;
    if (!mCounts[static_cast<size_t>(slot)].compare_exchange_strong(expected, count + 1)) return std::nullopt;
    ticket = PickTicket(slot, count + 1);
    noteArrival(*ticket, -1, program);
  }
  moved();
  return ticket;
}

void PartPicks::noteBank(size_t at, uint32_t count, int bank) {
  const uint64_t mine = static_cast<uint64_t>(count) << 8 | static_cast<uint64_t>(bank + 1);
  uint64_t noted = mPickedBanks[at].load();
  while ((noted >> 8) <= count && !mPickedBanks[at].compare_exchange_weak(noted, mine)) {
  }
}

void PartPicks::noteTarget(size_t at, uint32_t count, int program) {
  const uint64_t mine = static_cast<uint64_t>(count) << 8 | static_cast<uint64_t>(std::clamp(program, 0, 0xFE) + 1);
  uint64_t noted = mTargets[at].load();
  while ((noted >> 8) <= count && !mTargets[at].compare_exchange_weak(noted, mine)) {
  }
}

PickTicket PartPicks::arrive(int slot, int program) {
  PickTicket ticket(0, 0);
  {
    WaitGuard::HostLock<std::mutex> entry(mEntry);
    ticket = arriveRealtime(slot, -1, program);
  }
  moved();
  return ticket;
}

PickTicket PartPicks::arriveAtGate(int slot, int program) {
  PickTicket ticket(0, 0);
  {
    // The gate alone: the entry's lock is never held across a wait for the
    // gate, so the window's arrivals never wait behind a message.
    WaitGuard::beforeGate();
    WaitGuard::HostLock<std::mutex> gate(mGate);
    ticket = arriveRealtime(slot, -1, program);
  }
  moved();
  return ticket;
}

StateTicket PartPicks::arriveAll(bool picked) {
  StateTicket ticket;
  {
    WaitGuard::HostLock<std::mutex> entry(mEntry);
    // Pending before any part's count moves: a part's pick arriving after
    // this one finds it so.
    if (picked) mPendingMulti = mCounts[kMultiSlot].load() + 1;
    for (int slot = 0; slot < kPickSlots; ++slot) {
      ticket.mCounts[static_cast<size_t>(slot)] = ++mCounts[static_cast<size_t>(slot)];
      mPickedBanks[static_cast<size_t>(slot)] = 0;  // a state brings every part's bank
      // Its values are what every part plays from now: an older pick's
      // change that goes later records nothing over them.
      noteRecorded(static_cast<size_t>(slot), ticket.mCounts[static_cast<size_t>(slot)]);
      if (onArrive) onArrive(ticket.part(slot));
    }
  }
  moved();
  return ticket;
}

PickTicket PartPicks::current(int slot) const {
  if (!isSlot(slot)) slot = 0;
  return PickTicket(slot, mCounts[static_cast<size_t>(slot)].load());
}

int PartPicks::pendingBank(int slot) const {
  if (!isSlot(slot)) return -1;
  const auto at = static_cast<size_t>(slot);
  const uint64_t picked = mPickedBanks[at].load();
  const auto count = static_cast<uint32_t>(picked >> 8);
  return picked != 0 && mDone[at].load() < count ? static_cast<int>(picked & 0xFF) - 1 : -1;
}

bool PartPicks::newest(const PickTicket& ticket) const {
  return isSlot(ticket.slot()) && mCounts[static_cast<size_t>(ticket.slot())].load() == ticket.count();
}

bool PartPicks::newest(const StateTicket& ticket) const {
  for (int slot = 0; slot < kPickSlots; ++slot)
    if (!newest(ticket.part(slot))) return false;
  return true;
}

bool PartPicks::newestAny(const AnyTicket& ticket) const {
  // A state's pick goes on while any part of it is still its own: each
  // part's share is checked where it is sent.
  if (const auto* state = std::get_if<StateTicket>(&ticket)) return newest(state->multi());
  return newest(std::get<PickTicket>(ticket));
}

int PartPicks::slotOf(const AnyTicket& ticket) const {
  if (std::holds_alternative<StateTicket>(ticket)) return kMultiSlot;
  return std::get<PickTicket>(ticket).slot();
}

int PartPicks::stepBase(int slot, int shown) const {
  if (!isSlot(slot)) return shown;
  const auto at = static_cast<size_t>(slot);
  const uint64_t target = mTargets[at].load();
  return target != 0 && static_cast<uint32_t>(target >> 8) == mCounts[at].load() ? static_cast<int>(target & 0xFF) - 1
                                                                                 : shown;
}

void PartPicks::workDone(const PickTicket& ticket) {
  if (!isSlot(ticket.slot())) return;
  const auto at = static_cast<size_t>(ticket.slot());
  // Only the newest pick's target is the step's base; an older one's end leaves it.
  uint64_t target = mTargets[at].load();
  while (target != 0 && static_cast<uint32_t>(target >> 8) == ticket.count() &&
         !mTargets[at].compare_exchange_weak(target, 0)) {
  }
  // Overtaken, it is not done: what it carried goes with the newer pick.
  if (!newest(ticket)) return;
  uint32_t done = mDone[at].load();
  while (done < ticket.count() && !mDone[at].compare_exchange_weak(done, ticket.count())) {
  }
}

bool PartPicks::hand(const PickTicket& ticket, Pick pick) { return handAny(ticket, std::move(pick)); }
bool PartPicks::hand(const StateTicket& ticket, Pick pick) { return handAny(ticket, std::move(pick)); }

PickTicket PartPicks::pick(Pick pick) {
  const PickTicket ticket = arrive(pick.slot);
  hand(ticket, std::move(pick));
  return ticket;
}

bool PartPicks::handAny(const AnyTicket& ticket, Pick pick) {
  moved();
  const int slot = slotOf(ticket);
  if (mShuttingDown || !newestAny(ticket)) {
    if (const auto* state = std::get_if<StateTicket>(&ticket)) endPendingMulti(state->multi().count());
    pick.slot = slot;
    tellOvertaken(pick);
    return false;
  }
  const auto at = static_cast<size_t>(slot);
  pick.slot = slot;
  // A bank select stays selected: a program change of the editor or the host
  // that follows a pick of another bank not yet gone goes on that bank, not
  // on the one the part still shows. The instrument's own is on its bank.
  if (const auto* part = std::get_if<PickTicket>(&ticket); part && pick.work != Pick::Work::kRequest) {
    if (pick.bank < 0 && (pick.road == Pick::Road::kWindow || pick.road == Pick::Road::kHost))
      pick.bank = pendingBank(slot);
    if (pick.bank >= 0) noteBank(at, part->count(), pick.bank);
  }
  if (pick.program >= 0 && pick.work != Pick::Work::kRequest)
    noteTarget(at,
               slot == kMultiSlot ? std::get<StateTicket>(ticket).multi().count() : std::get<PickTicket>(ticket).count(),
               pick.program);
  if (const auto* state = std::get_if<StateTicket>(&ticket)) mPendingMulti = state->multi().count();
  {
    WaitGuard::HostLock<std::mutex> lock(mWaitingMutex);
    if (mBusy && mBusy()) {
      // A bank report waiting for the part and the program report after it
      // are one pick: the program goes on the reported bank.
      std::optional<Waiting>& waiting = mWaiting[at];
      if (waiting && pick.road == Pick::Road::kReport && waiting->pick.road == Pick::Road::kReport &&
          pick.bank < 0 && waiting->pick.bank >= 0)
        pick.bank = waiting->pick.bank;
      if (waiting && pick.road == Pick::Road::kReport && waiting->pick.road == Pick::Road::kReport &&
          pick.program < 0 && waiting->pick.program >= 0)
        pick.program = waiting->pick.program;
      const bool reports = pick.road == Pick::Road::kReport && waiting && waiting->pick.road == Pick::Road::kReport;
      if (waiting && !reports) tellOvertaken(waiting->pick);
      waiting = Waiting{ticket, std::move(pick)};
      return true;
    }
  }
  start(ticket, pick);
  return true;
}

void PartPicks::start(const AnyTicket& ticket, const Pick& pick) {
  const int slot = slotOf(ticket);
  mLanes.post(slot, [this, ticket, pick] {
    // Overtaken while it waited for the lane: the newer pick does the work.
    if (mShuttingDown || !newestAny(ticket)) {
      if (const auto* part = std::get_if<PickTicket>(&ticket)) workDone(*part);
      if (const auto* state = std::get_if<StateTicket>(&ticket)) endPendingMulti(state->multi().count());
      tellOvertaken(pick);
      return;
    }
    if (const auto* state = std::get_if<StateTicket>(&ticket)) {
      if (mStateWork) mStateWork(*state, pick);
      workDone(state->multi());
      endPendingMulti(state->multi().count());
    } else {
      const PickTicket& part = std::get<PickTicket>(ticket);
      // After an older multi pick, the part's bank and program are what its
      // read-back brings: the pick goes once that job has ended too.
      if (awaitOlderMulti(part) && waitForJob(part, pick)) return;
      if (mPartWork) mPartWork(part, pick);
      workDone(part);
    }
  });
}

void PartPicks::serveWaiting() {
  // Posted under the lock: a pick is always either waiting or on its lane,
  // so no look in between finds the parts at rest.
  WaitGuard::HostLock<std::mutex> lock(mWaitingMutex);
  if (mShuttingDown || (mBusy && mBusy())) return;
  for (auto& waiting : mWaiting) {
    if (waiting && newestAny(waiting->ticket)) {
      start(waiting->ticket, waiting->pick);
    } else if (waiting) {
      if (const auto* state = std::get_if<StateTicket>(&waiting->ticket)) endPendingMulti(state->multi().count());
      tellOvertaken(waiting->pick);
    }
    waiting.reset();
  }
}

void PartPicks::endPendingMulti(uint32_t count) {
  mPendingMulti.compare_exchange_strong(count, 0);
  moved();
}

bool PartPicks::waitForJob(const PickTicket& part, const Pick& pick) {
  WaitGuard::HostLock<std::mutex> lock(mWaitingMutex);
  if (mShuttingDown || !mBusy || !mBusy() || !newest(part)) return false;
  mWaiting[static_cast<size_t>(part.slot())] = Waiting{part, pick};
  return true;
}

bool PartPicks::awaitOlderMulti(const PickTicket& part) {
  // A multi pick that came before this one (a later one would have
  // overtaken it) and has not gone yet: its program change would move the
  // part off this pick after it went, so this one goes after it. Bounded: a
  // multi pick's work ends within its replies' time.
  constexpr auto kBound = std::chrono::seconds(10);
  if (!isSlot(part.slot())) return false;
  const uint64_t atArrival = mMultiAtArrival[static_cast<size_t>(part.slot())].load();
  if (static_cast<uint32_t>(atArrival >> 32) != part.count() || static_cast<uint32_t>(atArrival) == 0) return false;
  const auto over = [&] {
    const uint32_t pending = mPendingMulti.load();
    return mShuttingDown || pending == 0 || pending != mCounts[kMultiSlot].load() || !newest(part);
  };
  WaitGuard::beforeWait("a part's pick after a multi");
  std::unique_lock<std::mutex> lock(mPauseMutex);
  mPauses.wait_for(lock, kBound, over);
  return true;
}

bool PartPicks::anyWaiting() const {
  WaitGuard::HostLock<std::mutex> lock(mWaitingMutex);
  return std::any_of(mWaiting.begin(), mWaiting.end(), [](const auto& w) { return w.has_value(); });
}

void PartPicks::tellOvertaken(const Pick& pick) const {
  if (!mShuttingDown && onOvertaken) onOvertaken(pick);
}

void PartPicks::moved() {
  { std::lock_guard<std::mutex> lock(mPauseMutex); }
  mPauses.notify_all();
}

void PartPicks::wakeAll() { moved(); }

bool PartPicks::waitWhileNewest(const PickTicket& ticket, int ms) {
  WaitGuard::beforeWait("a pick's pause");
  std::unique_lock<std::mutex> lock(mPauseMutex);
  mPauses.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                   [&] { return mShuttingDown || !newest(ticket); });
  return !mShuttingDown && newest(ticket);
}

bool PartPicks::letGo(const PickTicket& ticket, const std::function<bool(const GatePass&)>& send) {
  WaitGuard::beforeGate();
  WaitGuard::HostLock<std::mutex> gate(mGate);
  if (mShuttingDown || !newest(ticket)) return false;
  if (onLetGo) onLetGo(ticket);
  const GatePass pass(ticket);
  const bool sent = send(pass);
  noteRecorded(pass);
  return sent;
}

bool PartPicks::recordGone(const PickTicket& ticket, const std::function<void(const GatePass&)>& record) {
  WaitGuard::beforeGate();
  for (;;) {
    std::unique_lock<std::mutex> gate(mGate);
    const WaitGuard::Hold gateHeld;
    // The entry's lock too, so that a state arriving now writes its values
    // only after this record, never under it. Only tried: its holders never
    // wait, while one waiting for it here would hold the gate.
    std::unique_lock<std::mutex> entry(mEntry, std::try_to_lock);
    if (!entry.owns_lock()) {
      gate.unlock();
      std::this_thread::yield();
      continue;
    }
    const WaitGuard::Hold entryHeld;
    if (mShuttingDown || !isSlot(ticket.slot())) return false;
    // The change went while its pick was the newest; a newer pick recorded
    // since (the host's, the instrument's) or a state that arrived since is
    // what the part plays.
    if (mRecorded[static_cast<size_t>(ticket.slot())].load() > ticket.count()) return false;
    const GatePass pass(ticket);
    record(pass);
    noteRecorded(pass);
    return true;
  }
}

void PartPicks::noteRecorded(const GatePass& pass) {
  if (pass.recorded() && isSlot(pass.ticket().slot()))
    noteRecorded(static_cast<size_t>(pass.ticket().slot()), pass.ticket().count());
}

void PartPicks::noteRecorded(size_t at, uint32_t count) {
  auto& recorded = mRecorded[at];
  uint32_t was = recorded.load();
  while (was < count && !recorded.compare_exchange_weak(was, count)) {
  }
}

namespace {
bool validPart(int part) { return part >= 0 && part < 16; }

uint64_t hashOf(const uint8_t* bytes, size_t size) {
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}
}  // namespace

std::shared_ptr<PartPicks::ReplyWait> PartPicks::expectReply(const PickTicket& ticket) {
  return std::make_shared<ReplyWait>(ticket);
}

void PartPicks::replySent(const std::shared_ptr<ReplyWait>& wait, uint32_t nowMs, int replyMs, bool search) {
  if (!wait || !validPart(wait->ticket.part())) return;
  std::lock_guard<std::mutex> lock(mReplyMutex);
  if (wait->ended || wait->answered) return;
  if (wait->asked == 0) mReplies[static_cast<size_t>(wait->ticket.part())].waits.push_back(wait);
  wait->lastSentMs = nowMs;
  wait->replyMs = static_cast<uint32_t>(std::max(replyMs, 0));
  // The instrument answers one ID: of a search's requests one at most.
  if (!search || !std::exchange(wait->searched, true)) ++wait->asked;
}

void PartPicks::endReplyWait(const std::shared_ptr<ReplyWait>& wait) {
  if (!wait || !validPart(wait->ticket.part())) return;
  {
    std::lock_guard<std::mutex> lock(mReplyMutex);
    wait->ended = true;
    PartReplies& replies = mReplies[static_cast<size_t>(wait->ticket.part())];
    const auto at = std::find(replies.waits.begin(), replies.waits.end(), wait);
    if (at != replies.waits.end()) {
      // Its answers may still come, late: before a later request's, and nobody's.
      const uint32_t until = wait->lastSentMs + kLateReplies * wait->replyMs;
      replies.strays.insert(replies.strays.end(), static_cast<size_t>(wait->asked), until);
      replies.waits.erase(at);
    }
  }
  moved();
}

namespace {
bool before(uint32_t nowMs, uint32_t untilMs) { return static_cast<int32_t>(untilMs - nowMs) > 0; }
}  // namespace

bool PartPicks::replyDue(int part, uint32_t nowMs) const {
  if (!validPart(part)) return false;
  std::lock_guard<std::mutex> lock(mReplyMutex);
  const PartReplies& replies = mReplies[static_cast<size_t>(part)];
  return !replies.waits.empty() ||
         std::any_of(replies.strays.begin(), replies.strays.end(), [&](uint32_t until) { return before(nowMs, until); });
}

int PartPicks::repliesAwaited() const {
  std::lock_guard<std::mutex> lock(mReplyMutex);
  int awaited = 0;
  for (const PartReplies& replies : mReplies) awaited += static_cast<int>(replies.waits.size());
  return awaited;
}

void PartPicks::forgetReplies(int part) {
  if (!validPart(part)) return;
  std::lock_guard<std::mutex> lock(mReplyMutex);
  PartReplies& replies = mReplies[static_cast<size_t>(part)];
  for (const auto& wait : replies.waits) wait->ended = true;
  replies = PartReplies{};
}

PartPicks::Reply PartPicks::replyArrived(int part, const uint8_t* dump, size_t size, uint32_t nowMs, int plays) {
  ++mHeard;
  if (!validPart(part) || !dump) return Reply::kNotAwaited;
  const uint64_t hash = hashOf(dump, size);
  Reply reply = Reply::kNotAwaited;
  {
    std::lock_guard<std::mutex> lock(mReplyMutex);
    PartReplies& replies = mReplies[static_cast<size_t>(part)];
    while (!replies.strays.empty() && !before(nowMs, replies.strays.front())) replies.strays.pop_front();
    // A second sending of the last answer is one only once the part plays
    // another program: else it is the same sound, whoever asked.
    const bool again = hash == replies.last && before(nowMs, replies.copiesUntil);
    const bool copy = again && (replies.copies > 0 || (replies.twice > 0 && plays != replies.plays));
    if (copy || !replies.strays.empty()) {
      if (copy) --(replies.copies > 0 ? replies.copies : replies.twice);
      else replies.strays.pop_front();
      if (!replies.waits.empty()) {
        ++replies.waits.front()->unsure;
        replies.waits.front()->passed.push_back(hash);
      }
      reply = Reply::kDropped;
    } else if (!replies.waits.empty()) {
      const std::shared_ptr<ReplyWait> wait = replies.waits.front();
      replies.waits.pop_front();
      wait->taken = newest(wait->ticket);
      wait->answered = true;
      // Each of its requests may be answered, each answer twice: the rest
      // are copies of this one, less those that came already.
      const int equal = static_cast<int>(std::count(wait->passed.begin(), wait->passed.end(), hash));
      const bool same = hash == replies.last && before(nowMs, replies.copiesUntil);
      replies.last = hash;
      replies.plays = plays;
      replies.copies = (same ? replies.copies : 0) + std::max(0, wait->asked - 1 - equal);
      replies.twice = (same ? replies.twice : 0) + wait->asked;
      replies.copiesUntil = wait->lastSentMs + kLateReplies * wait->replyMs;
      reply = wait->taken ? Reply::kTaken : Reply::kDropped;
    }
  }
  moved();
  return reply;
}

void PartPicks::shutDown() {
  mShuttingDown = true;
  moved();
  mLanes.stop();
  WaitGuard::HostLock<std::mutex> lock(mWaitingMutex);
  for (auto& waiting : mWaiting) waiting.reset();
}
