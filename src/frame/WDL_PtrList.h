// A list of pointers over a heap buffer. The list itself never deletes what it
// points to unless asked; WDL_PtrList_DeleteOnDestroy owns its objects.
#pragma once

#include <cstring>

#include "WDL_HeapBuf.h"

template <class T>
class WDL_PtrList {
 public:
  explicit WDL_PtrList(int granularity = 4096) : mHeap(granularity) {}
  WDL_PtrList(const WDL_PtrList&) = delete;
  WDL_PtrList& operator=(const WDL_PtrList&) = delete;

  T** GetList() const { return static_cast<T**>(mHeap.Get()); }
  int GetSize() const { return mHeap.GetSize() / static_cast<int>(sizeof(T*)); }

  T* Get(int index) const {
    T** list = GetList();
    if (!list || index < 0 || index >= GetSize()) return nullptr;
    return list[index];
  }

  // Returns the pointer added, or null when the list could not grow.
  T* Add(T* item) { return Insert(GetSize(), item); }

  T* Insert(int index, T* item) {
    const int n = GetSize();
    if (index < 0) index = 0;
    if (index > n) index = n;
    mHeap.Resize((n + 1) * static_cast<int>(sizeof(T*)), false);
    if (GetSize() != n + 1) return nullptr;
    T** list = GetList();
    std::memmove(list + index + 1, list + index, static_cast<size_t>(n - index) * sizeof(T*));
    list[index] = item;
    return item;
  }

  int Find(const T* item) const {
    for (int i = 0; i < GetSize(); ++i)
      if (GetList()[i] == item) return i;
    return -1;
  }

  void Delete(int index, bool deleteObject = false) {
    const int n = GetSize();
    if (index < 0 || index >= n) return;
    T** list = GetList();
    T* item = list[index];
    std::memmove(list + index, list + index + 1, static_cast<size_t>(n - index - 1) * sizeof(T*));
    mHeap.Resize((n - 1) * static_cast<int>(sizeof(T*)), false);
    if (deleteObject) delete item;
  }

  // Deletes from the last entry to the first.
  void Empty(bool deleteObjects = false) {
    if (deleteObjects) {
      while (GetSize() > 0) Delete(GetSize() - 1, true);
    } else {
      mHeap.Resize(0, false);
    }
  }

 protected:
  WDL_HeapBuf mHeap;
};

template <class T>
class WDL_PtrList_DeleteOnDestroy : public WDL_PtrList<T> {
 public:
  using WDL_PtrList<T>::WDL_PtrList;
  ~WDL_PtrList_DeleteOnDestroy() { this->Empty(true); }
};
