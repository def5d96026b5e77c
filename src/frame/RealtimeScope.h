// Marks the host's real-time calls (the block, the host's MIDI events) on
// the thread that makes them, so that what may wait (a send on the port, a
// pause, a job start) is handed on instead of done there.
//
// What a thread inside such a call keeps lives in a slot of a table of the
// process's, not in thread-local storage: a module loaded with dlopen has
// its thread-local block made (allocated) on each thread's first touch of
// it, and a host's audio thread may be new to the plug-in at any block.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace realtime_scope {
constexpr int kMaxDeferred = 16;
struct Entry {
  void (*fn)(void* context);
  void* context;
};
// A thread inside a real-time call: how deep, and what runs when it returns.
struct Slot {
  int depth = 0;
  int deferredCount = 0;
  Entry deferred[kMaxDeferred] = {};
};
}  // namespace realtime_scope

class RealtimeScope {
 public:
  using Deferred = void (*)(void* context);

  RealtimeScope() : mSlot(enter()) {}
  ~RealtimeScope() {
    if (mSlot && --mSlot->depth == 0) leave(*mSlot);
  }
  RealtimeScope(const RealtimeScope&) = delete;
  RealtimeScope& operator=(const RealtimeScope&) = delete;

  // True inside such a call on this thread.
  static bool active() { return find(pthread_self()) != nullptr; }

  // Has fn(context) run once when the outermost real-time call on this
  // thread returns: a wake-up for a whole burst instead of one per event.
  // False outside such a call or when there is no room (the caller then
  // does it at once). The caller asks once per call.
  static bool deferToEnd(Deferred fn, void* context) {
    Slot* slot = find(pthread_self());
    if (!slot || slot->deferredCount >= kMaxDeferred) return false;
    slot->deferred[slot->deferredCount++] = {fn, context};
    return true;
  }

 private:
  static constexpr int kMaxDeferred = realtime_scope::kMaxDeferred;
  // More threads than a host runs inside the plug-in's real-time calls at
  // once; a thread finding none free takes its calls as any other thread's.
  static constexpr size_t kSlots = 128;  // 2 to the 7th: first() gives 7 bits
  using Entry = realtime_scope::Entry;
  using Slot = realtime_scope::Slot;

  // Thread ids are addresses, alike in their low bits: mixed, their top
  // bits pick the first slot to look at.
  static size_t first(pthread_t self) {
    return static_cast<size_t>((static_cast<uint64_t>(self) * 0x9E3779B97F4A7C15ull) >> 57);
  }

  // A call that finds no slot of its thread's looks at every one: the ids
  // lie together, apart from what the slots keep, so that look reads a few
  // cache lines rather than the whole table.
  static Slot* find(pthread_t self) {
    for (size_t i = 0, at = first(self); i < kSlots; ++i, at = (at + 1) % kSlots)
      if (pthread_equal(sThreads[at].load(std::memory_order_acquire), self)) return &sSlots[at];
    return nullptr;
  }

  static Slot* enter() {
    const pthread_t self = pthread_self();
    if (Slot* slot = find(self)) {
      ++slot->depth;
      return slot;
    }
    for (size_t i = 0, at = first(self); i < kSlots; ++i, at = (at + 1) % kSlots) {
      pthread_t none{};
      if (!sThreads[at].compare_exchange_strong(none, self, std::memory_order_acq_rel)) continue;
      sSlots[at].depth = 1;
      sSlots[at].deferredCount = 0;
      return &sSlots[at];
    }
    return nullptr;
  }

  static void leave(Slot& slot) {
    // Taken first: what runs may itself open a scope and defer again.
    Entry taken[kMaxDeferred];
    const int count = slot.deferredCount;
    for (int i = 0; i < count; ++i) taken[i] = slot.deferred[i];
    slot.deferredCount = 0;
    sThreads[static_cast<size_t>(&slot - sSlots)].store(pthread_t{}, std::memory_order_release);
    for (int i = 0; i < count; ++i) taken[i].fn(taken[i].context);
  }

  // Null while free; each written by the thread that holds the slot alone.
  static inline std::atomic<pthread_t> sThreads[kSlots];
  static inline Slot sSlots[kSlots];
  Slot* mSlot;

 public:
  // Writes every page of the tables once, as the module loads, before any
  // real-time call can run: a thread's first real-time call then takes no
  // page fault in them, which costs it the system's time and waits while
  // another thread maps or unmaps memory.
  static void touchTablesAtLoad() {
    for (auto& thread : sThreads) thread.store(pthread_t{}, std::memory_order_relaxed);
    constexpr size_t kPage = 4096;
    auto* bytes = reinterpret_cast<volatile unsigned char*>(sSlots);
    for (size_t at = 0; at < sizeof sSlots; at += kPage) bytes[at] = 0;
    bytes[sizeof sSlots - 1] = 0;
  }
};
