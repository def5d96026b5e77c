// The growable byte buffer every state writer and reader uses. Values are
// stored as their raw little-endian bytes; reads return the next position,
// or -1 when the bytes are not there.
#pragma once

#include <cstring>
#include <type_traits>

#include "WDL_String.h"
#include "WDL_TypedBuf.h"

class ByteChunk {
 public:
  ByteChunk() : mBytes(4096) {}

  template <class T>
  int AppendValue(const T* value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return AppendBytes(value, static_cast<int>(sizeof(T)));
  }

  int AppendBytes(const void* src, int n);
  int AppendString(const char* s);
  int AppendString(const WDL_String* s) { return AppendString(s->Get()); }
  int AppendBool(bool b);
  int AppendChunk(const ByteChunk* other) { return AppendBytes(other->Data(), other->Size()); }

  template <class T>
  int ReadValue(T* value, int pos) const {
    static_assert(std::is_trivially_copyable_v<T>);
    return ReadBytes(value, static_cast<int>(sizeof(T)), pos);
  }

  int ReadBytes(void* dst, int n, int pos) const;
  int ReadString(WDL_String* s, int pos) const;
  int ReadBool(bool* b, int pos) const;

  void Clear() { mBytes.Resize(0, false); }
  int Size() const { return mBytes.GetSize(); }
  // Sets the size; bytes added at the end are zero. False when it could not grow.
  bool Resize(int n);
  unsigned char* Data() const { return mBytes.GetSize() ? mBytes.Get() : nullptr; }

  bool IsEqual(const ByteChunk& other) const {
    return Size() == other.Size() && (Size() == 0 || std::memcmp(Data(), other.Data(), Size()) == 0);
  }

 private:
  WDL_TypedBuf<unsigned char> mBytes;
};
