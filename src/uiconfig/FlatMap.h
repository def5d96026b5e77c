// An ordered map over one sorted vector, for the control indexes: each holds
// thousands of entries in small nested levels, filled once at start-up and
// then only searched. A tree node per entry cost far more memory than the
// entry; here an entry is its key and value. Insertion moves the entries
// after it, so references into the map last only until the next insertion.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

template <class Key, class Value>
class FlatMap {
 public:
  using key_type = Key;
  using mapped_type = Value;
  using value_type = std::pair<Key, Value>;
  using iterator = typename std::vector<value_type>::iterator;
  using const_iterator = typename std::vector<value_type>::const_iterator;

  // The value under key, made (value-initialised) when there is none.
  Value& operator[](const Key& key) {
    const auto at = lowerBound(key);
    if (at != mEntries.end() && at->first == key) return at->second;
    return mEntries.insert(at, value_type(key, Value()))->second;
  }
  const_iterator find(const Key& key) const {
    const auto at = lowerBound(key);
    return at != mEntries.end() && at->first == key ? at : mEntries.end();
  }
  size_t count(const Key& key) const { return find(key) == end() ? 0 : 1; }

  iterator begin() { return mEntries.begin(); }
  iterator end() { return mEntries.end(); }
  const_iterator begin() const { return mEntries.begin(); }
  const_iterator end() const { return mEntries.end(); }
  size_t size() const { return mEntries.size(); }
  bool empty() const { return mEntries.empty(); }
  void clear() { mEntries.clear(); }

  friend bool operator==(const FlatMap&, const FlatMap&) = default;

 private:
  iterator lowerBound(const Key& key) {
    return std::lower_bound(mEntries.begin(), mEntries.end(), key,
                            [](const value_type& entry, const Key& k) { return entry.first < k; });
  }
  const_iterator lowerBound(const Key& key) const {
    return std::lower_bound(mEntries.begin(), mEntries.end(), key,
                            [](const value_type& entry, const Key& k) { return entry.first < k; });
  }

  std::vector<value_type> mEntries;
};
