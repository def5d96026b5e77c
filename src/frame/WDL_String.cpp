#include "WDL_String.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
int boundedLength(const char* text, int maxlen) {
  if (!text) return 0;
  const size_t n = maxlen > 0 ? strnlen(text, static_cast<size_t>(maxlen)) : std::strlen(text);
  return static_cast<int>(n);
}
}  // namespace

const char* WDL_String::Get() const {
  static const char kEmpty[1] = {0};
  return mHeap.GetSize() ? static_cast<const char*>(mHeap.Get()) : kEmpty;
}

int WDL_String::GetLength() const {
  return mHeap.GetSize() ? static_cast<int>(std::strlen(Get())) : 0;
}

void WDL_String::Set(const char* text, int maxlen) {
  const int n = boundedLength(text, maxlen);
  if (n == 0 && mHeap.GetSize() < 2) {
    // Already empty; keep a terminator only if there was a buffer.
    if (mHeap.GetSize() == 1) static_cast<char*>(mHeap.Get())[0] = 0;
    return;
  }
  // Copy first: the text may live inside this buffer.
  std::vector<char> copy(text, text + n);
  mHeap.Resize(n + 1, false);
  if (mHeap.GetSize() == n + 1) {
    char* buf = static_cast<char*>(mHeap.Get());
    if (n) std::memcpy(buf, copy.data(), static_cast<size_t>(n));
    buf[n] = 0;
  }
}

void WDL_String::Append(const char* text, int maxlen) {
  const int n = boundedLength(text, maxlen);
  const int l = GetLength();
  if (n == 0 && !(mHeap.GetSize() >= 2 && l == 0)) return;
  std::vector<char> copy(text, text + n);
  mHeap.Resize(l + n + 1, false);
  if (mHeap.GetSize() == l + n + 1) {
    char* buf = static_cast<char*>(mHeap.Get());
    if (n) std::memcpy(buf + l, copy.data(), static_cast<size_t>(n));
    buf[l + n] = 0;
  }
}

void WDL_String::SetLen(int length) {
  if (length < 0) length = 0;
  mHeap.Resize(length + 1, false);
  if (mHeap.GetSize() == length + 1) static_cast<char*>(mHeap.Get())[length] = 0;
}

void WDL_String::DeleteSub(int position, int count) {
  const int size = mHeap.GetSize();
  if (!size || !Get()[0] || position < 0 || position >= size - 1 || count <= 0) return;
  if (count > size - 1 - position) count = size - 1 - position;
  char* buf = static_cast<char*>(mHeap.Get());
  std::memmove(buf + position, buf + position + count, static_cast<size_t>(size - position - count));
  mHeap.Resize(size - count, false);
}

namespace {
std::vector<char> Format(int maxlen, const char* format, va_list args) {
  std::vector<char> out(static_cast<size_t>(maxlen > 0 ? maxlen + 1 : 1));
  std::vsnprintf(out.data(), out.size(), format, args);
  return out;
}
}  // namespace

void WDL_String::SetFormatted(int maxlen, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::vector<char> out = Format(maxlen, format, args);
  va_end(args);
  Set(out.data());
}

void WDL_String::AppendFormatted(int maxlen, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::vector<char> out = Format(maxlen, format, args);
  va_end(args);
  Append(out.data());
}
