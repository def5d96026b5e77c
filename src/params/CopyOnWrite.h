// A value that many owners read and few change: it points at one immutable
// copy, which every instance of the plug-in may share, and takes a copy of its
// own the first time it is changed. Reads look like reads of the value itself.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

template <class T>
class CopyOnWrite {
 public:
  using value_type = typename T::value_type;
  using const_iterator = typename T::const_iterator;
  using iterator = const_iterator;

  CopyOnWrite() : mValue(std::make_shared<T>()), mOwn(true) {}
  explicit CopyOnWrite(std::shared_ptr<const T> shared) : mValue(std::move(shared)) {
    if (!mValue) *this = T();
  }
  CopyOnWrite& operator=(T value) {
    mValue = std::make_shared<T>(std::move(value));
    mOwn = true;
    return *this;
  }

  // Reads the shared copy from now on; nothing is copied.
  void share(std::shared_ptr<const T> shared) { *this = CopyOnWrite(std::move(shared)); }
  // True while this reads exactly the given copy.
  bool shares(const std::shared_ptr<const T>& shared) const { return mValue == shared; }
  const std::shared_ptr<const T>& shared() const { return mValue; }

  const T& get() const { return *mValue; }
  operator const T&() const { return *mValue; }
  const T& operator*() const { return *mValue; }
  const T* operator->() const { return mValue.get(); }
  // The value to change: a copy of its own once another owner shares it.
  T& edit() {
    if (!mOwn || mValue.use_count() != 1) *this = T(*mValue);
    // Made here as a T, and no other owner reads it.
    return const_cast<T&>(*mValue);
  }

  const_iterator begin() const { return mValue->begin(); }
  const_iterator end() const { return mValue->end(); }
  std::size_t size() const { return mValue->size(); }
  bool empty() const { return mValue->empty(); }
  template <class K, class U = T>
  auto find(const K& key) const -> decltype(std::declval<const U&>().find(key)) {
    return mValue->find(key);
  }
  template <class K, class U = T>
  auto count(const K& key) const -> decltype(std::declval<const U&>().count(key)) {
    return mValue->count(key);
  }
  template <class K, class U = T>
  auto at(const K& key) const -> decltype(std::declval<const U&>().at(key)) {
    return mValue->at(key);
  }
  template <class K, class U = T>
  auto operator[](const K& key) const -> decltype(std::declval<const U&>()[key]) {
    return (*mValue)[key];
  }
  void resize(std::size_t n) { edit().resize(n); }

  friend bool operator==(const CopyOnWrite& a, const CopyOnWrite& b) { return a.get() == b.get(); }
  friend bool operator==(const CopyOnWrite& a, const T& b) { return a.get() == b; }

 private:
  std::shared_ptr<const T> mValue;
  bool mOwn = false;  // made by this holder (or a copy of it), so it may change in place
};
