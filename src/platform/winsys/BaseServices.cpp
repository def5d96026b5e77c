#include "BaseServices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

#include "Utf8.h"

int WinSetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return 0;
  *r = {left, top, right, bottom};
  return 1;
}

int WinOffsetRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return 1;
}

bool WinIntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst) return false;
  *dst = {0, 0, 0, 0};
  if (!a || !b) return false;
  if (a->right <= a->left || a->bottom <= a->top || b->right <= b->left || b->bottom <= b->top)
    return false;
  *dst = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
          std::min(a->bottom, b->bottom)};
  return dst->right > dst->left && dst->bottom > dst->top;
}

RECT* WinUnionRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return dst;
  *dst = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
          std::max(a->bottom, b->bottom)};
  return dst;
}

bool SWELL_PtInRect(const RECT* r, POINT pt) {
  if (!r) return false;
  int lo = std::min(r->top, r->bottom), hi = std::max(r->top, r->bottom);
  return pt.x >= r->left && pt.x < r->right && pt.y >= lo && pt.y < hi;
}

int MulDiv(int a, int b, int c) {
  if (!c) return 0;
  return int(double(a) * double(b) / double(c));
}

unsigned int _controlfp(unsigned int newval, unsigned int mask) {
  unsigned short cw = 0;
#if defined(__x86_64__) || defined(__i386__)
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  if (mask & 0x300) {
    cw = (unsigned short)((cw & ~0xC00u) | (((newval & mask) << 2) & 0xC00u));
    __asm__ volatile("fldcw %0" : : "m"(cw));
  }
#else
  (void)newval;
  (void)mask;
#endif
  return cw >> 2;
}

bool GetFileTime(int fd, uint64_t* creation, uint64_t* access, uint64_t* write) {
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st)) return false;
  // 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
  const uint64_t epoch = 116444736000000000ull;
  auto ft = [&](time_t t) { return uint64_t(int64_t(t)) * 10000000ull + epoch; };
  if (creation) *creation = ft(st.st_ctime);
  if (access) *access = ft(st.st_atime);
  if (write) *write = ft(st.st_mtime);
  return true;
}

namespace {
struct GlobalHeader {
  uint32_t size;
  int32_t locks;
};
// The header is padded to 16 bytes so the data stays aligned for any use.
constexpr size_t kHeader = 16;
GlobalHeader* header(HGLOBAL h) { return reinterpret_cast<GlobalHeader*>(static_cast<char*>(h) - kHeader); }
}  // namespace

HGLOBAL GlobalAlloc(int, long size) {
  if (size < 0) size = 0;
  char* block = static_cast<char*>(malloc(kHeader + size_t(size)));
  if (!block) return nullptr;
  auto* h = reinterpret_cast<GlobalHeader*>(block);
  h->size = uint32_t(size);
  h->locks = 0;
  return block + kHeader;
}

void* GlobalLock(HGLOBAL h) {
  if (!h) return nullptr;
  header(h)->locks++;
  return h;
}

int GlobalUnlock(HGLOBAL h) {
  if (h) header(h)->locks--;
  return 0;
}

long GlobalSize(HGLOBAL h) { return h ? long(header(h)->size) : 0; }

void GlobalFree(HGLOBAL h) {
  if (h) free(header(h));
}

int SWELL_GlobalLockCount(HGLOBAL h) { return h ? header(h)->locks : 0; }

char* lstrcpyn(char* dst, const char* src, int n) {
  if (!dst || n < 1) return dst;
  if (!src) src = "";
  int i = 0;
  for (; i < n - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

std::string SWELL_CStringToCFString(const char* str) {
  if (!str) return {};
  std::string s(str);
  if (winsys::isValidUtf8(s)) return s;
  // Read as ASCII: bytes outside it cannot be represented.
  for (char& c : s)
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  return s;
}

void SWELL_CFStringToCString(const std::string& str, char* buf, int buflen) {
  if (!buf || buflen < 1) return;
  buf[0] = 0;
  if (buflen < 2) return;
  // Cut at a whole character, so what is handed back stays UTF-8.
  size_t n = winsys::utf8PrefixLength(str, size_t(buflen - 1));
  memcpy(buf, str.data(), n);
  buf[n] = 0;
}

void SWELL_GenerateGUID(GUID* guid) {
  if (!guid) return;
  std::random_device rd;
  for (int i = 0; i < 16; i += 4) {
    uint32_t v = rd();
    memcpy(guid->bytes + i, &v, 4);
  }
  guid->bytes[6] = (guid->bytes[6] & 0x0F) | 0x40;  // version 4
  guid->bytes[8] = (guid->bytes[8] & 0x3F) | 0x80;  // variant 1
}
