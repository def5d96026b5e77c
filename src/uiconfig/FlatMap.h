// An ordered map over one sorted array, for the control indexes: each holds
// thousands of entries in small nested levels, filled once at start-up and
// then only searched. A tree node per entry cost far more memory than the
// entry; here an entry is its key and value. Most maps of the last level hold
// one entry, which such a map keeps in itself instead of in a block of its
// own. Insertion moves the entries after it, so references into the map last
// only until the next insertion.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace flat_map {
// An entry: its key and value, as a map's iteration gives them.
template <class Key, class Value>
struct Entry {
  Key first;
  Value second;
  bool operator==(const Entry&) const = default;
};

// The entries in order: in a vector, or, for small plain entries, one in
// place and more in a block of their own.
template <class T, bool kSmall = std::is_trivially_copyable_v<T> && sizeof(T) <= 2 * sizeof(void*)>
class Entries {
 public:
  T* data() { return mEntries.data(); }
  const T* data() const { return mEntries.data(); }
  size_t size() const { return mEntries.size(); }
  T* insert(size_t at, T value) {
    return &*mEntries.insert(mEntries.begin() + static_cast<std::ptrdiff_t>(at), std::move(value));
  }
  void clear() { mEntries.clear(); }
  bool operator==(const Entries&) const = default;

 private:
  std::vector<T> mEntries;
};

template <class T>
class Entries<T, true> {
 public:
  Entries() = default;
  Entries(const Entries& other) { copy(other); }
  Entries(Entries&& other) noexcept : mSize(other.mSize), mCapacity(other.mCapacity) {
    std::memcpy(&mStore, &other.mStore, sizeof mStore);
    other.mSize = 0;
    other.mCapacity = 1;
  }
  Entries& operator=(const Entries& other) {
    if (this != &other) {
      clear();
      copy(other);
    }
    return *this;
  }
  Entries& operator=(Entries&& other) noexcept {
    if (this != &other) {
      clear();
      std::memcpy(&mStore, &other.mStore, sizeof mStore);
      mSize = other.mSize;
      mCapacity = other.mCapacity;
      other.mSize = 0;
      other.mCapacity = 1;
    }
    return *this;
  }
  ~Entries() { clear(); }

  T* data() { return mCapacity > 1 ? mStore.many : &mStore.one; }
  const T* data() const { return mCapacity > 1 ? mStore.many : &mStore.one; }
  size_t size() const { return mSize; }
  T* insert(size_t at, T value) {
    if (mSize == mCapacity) grow(mCapacity * 2);
    T* entries = data();
    std::memmove(entries + at + 1, entries + at, (mSize - at) * sizeof(T));
    entries[at] = value;
    ++mSize;
    return entries + at;
  }
  void clear() {
    if (mCapacity > 1) delete[] mStore.many;
    mCapacity = 1;
    mSize = 0;
  }
  bool operator==(const Entries& other) const {
    return mSize == other.mSize && std::equal(data(), data() + mSize, other.data());
  }

 private:
  void grow(uint32_t capacity) {
    auto* many = new T[capacity];
    std::memcpy(many, data(), mSize * sizeof(T));
    if (mCapacity > 1) delete[] mStore.many;
    mStore.many = many;
    mCapacity = capacity;
  }
  void copy(const Entries& other) {
    if (other.mSize > 1) grow(other.mSize);
    std::memcpy(data(), other.data(), other.mSize * sizeof(T));
    mSize = other.mSize;
  }

  union Store {
    T one;
    T* many;
  } mStore{};
  uint32_t mSize = 0;
  uint32_t mCapacity = 1;  // 1: the entry is held in place
};
}  // namespace flat_map

template <class Key, class Value>
class FlatMap {
 public:
  using key_type = Key;
  using mapped_type = Value;
  using value_type = flat_map::Entry<Key, Value>;
  using iterator = value_type*;
  using const_iterator = const value_type*;

  // The value under key, made (value-initialised) when there is none.
  Value& operator[](const Key& key) {
    const iterator at = lowerBound(key);
    if (at != end() && at->first == key) return at->second;
    return mEntries.insert(static_cast<size_t>(at - begin()), value_type{key, Value()})->second;
  }
  const_iterator find(const Key& key) const {
    const const_iterator at = lowerBound(key);
    return at != end() && at->first == key ? at : end();
  }
  size_t count(const Key& key) const { return find(key) == end() ? 0 : 1; }

  iterator begin() { return mEntries.data(); }
  iterator end() { return mEntries.data() + mEntries.size(); }
  const_iterator begin() const { return mEntries.data(); }
  const_iterator end() const { return mEntries.data() + mEntries.size(); }
  size_t size() const { return mEntries.size(); }
  bool empty() const { return mEntries.size() == 0; }
  void clear() { mEntries.clear(); }

  friend bool operator==(const FlatMap&, const FlatMap&) = default;

 private:
  template <class It>
  static It lowerBound(It first, It last, const Key& key) {
    return std::lower_bound(first, last, key, [](const value_type& entry, const Key& k) { return entry.first < k; });
  }
  iterator lowerBound(const Key& key) { return lowerBound(begin(), end(), key); }
  const_iterator lowerBound(const Key& key) const { return lowerBound(begin(), end(), key); }

  flat_map::Entries<value_type> mEntries;
};
