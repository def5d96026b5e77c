#include "ByteChunk.h"

#include <cstdint>
#include <cstring>

int ByteChunk::AppendBytes(const void* src, int n) {
  const int size = Size();
  if (n <= 0 || !src) return size;
  mBytes.Resize(size + n, false);
  if (Size() != size + n) return size;
  std::memcpy(mBytes.Get() + size, src, static_cast<size_t>(n));
  return Size();
}

int ByteChunk::AppendString(const char* s) {
  if (!s) s = "";
  const int32_t len = static_cast<int32_t>(std::strlen(s));
  AppendValue(&len);
  return AppendBytes(s, len);
}

int ByteChunk::AppendBool(bool b) {
  const unsigned char byte = b ? 1 : 0;
  return AppendBytes(&byte, 1);
}

int ByteChunk::ReadBytes(void* dst, int n, int pos) const {
  if (pos < 0 || n < 0 || static_cast<long long>(pos) + n > Size()) return -1;
  if (n) std::memcpy(dst, mBytes.Get() + pos, static_cast<size_t>(n));
  return pos + n;
}

int ByteChunk::ReadString(WDL_String* s, int pos) const {
  int32_t len = 0;
  const int start = ReadValue(&len, pos);
  if (start < 0) return -1;
  // A negative length only comes from a damaged chunk; walking backwards
  // from it would make the readers loop over the same bytes.
  if (len < 0) return -1;
  if (len >= 1 && static_cast<long long>(start) + len <= Size()) {
    const char* text = reinterpret_cast<const char*>(mBytes.Get() + start);
    const int n = static_cast<int>(strnlen(text, static_cast<size_t>(len)));
    if (n > 0)
      s->Set(text, n);
    else
      s->Set("");
  }
  const long long next = static_cast<long long>(start) + len;
  return next > 0x7fffffff ? -1 : static_cast<int>(next);
}

int ByteChunk::ReadBool(bool* b, int pos) const {
  unsigned char byte = 0;
  const int next = ReadBytes(&byte, 1, pos);
  if (next >= 0) *b = byte != 0;
  return next;
}

bool ByteChunk::Resize(int n) {
  const int size = Size();
  if (n < 0) n = 0;
  mBytes.Resize(n, true);
  if (Size() != n) return false;
  if (n > size) std::memset(mBytes.Get() + size, 0, static_cast<size_t>(n - size));
  return true;
}
