// One slot per parameter index for what every instance makes alike for that
// parameter: the first instance to make it keeps it, every further one takes
// it by the index without a lookup or a lock. A slot is written once and
// never changes after; instances may build at the same time.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

template <class Key, class Value>
class ParamSlots {
 public:
  explicit ParamSlots(size_t count) : mSlots(std::make_unique<Slot[]>(count)), mCount(count) {}

  // The value kept for the parameter, when it was kept under this key.
  const Value* find(int paramIdx, const Key& key) const {
    const Slot* slot = at(paramIdx);
    if (!slot || slot->state.load(std::memory_order_acquire) != kKept || !(slot->key == key)) return nullptr;
    return &slot->value;
  }
  // The first value kept for a parameter stays; later ones are not kept.
  void keep(int paramIdx, const Key& key, const Value& value) {
    Slot* slot = at(paramIdx);
    int empty = kEmpty;
    if (!slot || !slot->state.compare_exchange_strong(empty, kWriting, std::memory_order_acquire)) return;
    slot->key = key;
    slot->value = value;
    slot->state.store(kKept, std::memory_order_release);
  }

 private:
  enum : int { kEmpty, kWriting, kKept };
  struct Slot {
    std::atomic<int> state{kEmpty};
    Key key{};
    Value value{};
  };
  Slot* at(int paramIdx) const {
    return paramIdx >= 0 && static_cast<size_t>(paramIdx) < mCount ? &mSlots[static_cast<size_t>(paramIdx)] : nullptr;
  }

  std::unique_ptr<Slot[]> mSlots;
  size_t mCount;
};
