// A NUL-terminated text over a heap buffer; its size counts the terminator.
#pragma once

#include "WDL_HeapBuf.h"

class WDL_String {
 public:
  explicit WDL_String(int granularity = 128) : mHeap(granularity) {}
  WDL_String(const char* text) : mHeap(128) { Set(text); }  // NOLINT: used like a string
  WDL_String(const WDL_String& other) = default;
  WDL_String& operator=(const WDL_String& other) = default;

  const char* Get() const;
  char* GetMutable() { return mHeap.GetSize() ? static_cast<char*>(mHeap.Get()) : nullptr; }
  int GetLength() const;

  // maxlen > 0 takes at most that many characters.
  void Set(const char* text, int maxlen = 0);
  void Append(const char* text, int maxlen = 0);
  void SetLen(int length);
  void DeleteSub(int position, int count);
  void SetFormatted(int maxlen, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void AppendFormatted(int maxlen, const char* format, ...) __attribute__((format(printf, 3, 4)));

  const WDL_HeapBuf& Heap() const { return mHeap; }

 private:
  WDL_HeapBuf mHeap;
};
