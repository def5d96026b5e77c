#include "Utilities.h"

#include <sys/time.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "WDL_String.h"
#include "WaitGuard.h"

void Sleep(int ms) {
  WaitGuard::beforeWait("a sleep");
  const uint32_t micros = ms ? static_cast<uint32_t>(ms) * 1000u : 100u;
  timespec ts{static_cast<time_t>(micros / 1000000u), static_cast<long>(micros % 1000000u) * 1000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

uint32_t GetTickCount() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<uint32_t>(tv.tv_sec) * 1000u + static_cast<uint32_t>(tv.tv_usec / 1000);
}

namespace {
uint32_t processorMicros() {
  return static_cast<uint32_t>(static_cast<unsigned long long>(clock()) * 1000000ull / CLOCKS_PER_SEC);
}
}  // namespace

Timer::Timer() : mStart(processorMicros()) {}

bool Timer::Every(double seconds) {
  const uint32_t now = processorMicros();
  if (static_cast<double>(now - mStart) > seconds * 1000000.0) {
    mStart = processorMicros();
    return true;
  }
  return false;
}

bool IsWhitespace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

void ToLower(char* dest, const char* src) {
  const size_t n = std::strlen(src);
  for (size_t i = 0; i < n; ++i) dest[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(src[i])));
  dest[n] = 0;
}

const char* CurrentTime() {
  // Instances are created on any host thread: each thread has its own text.
  thread_local char result[32];
  const time_t now = time(nullptr);
  tm local{};
  tm utc{};
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
  char text[32];
  strftime(text, sizeof(text), "%Y%m%d %H:%M ", &local);

  int offset = (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
  const int dayDiff = local.tm_yday - utc.tm_yday;
  if (dayDiff == 1 || dayDiff <= -2) offset += 1440;
  else if (dayDiff == -1 || dayDiff >= 2) offset -= 1440;

  const char sign = offset >= 0 ? '+' : '-';
  if (offset < 0) offset = -offset;
  char stamped[64];
  std::snprintf(stamped, sizeof(stamped), "%s%c%02d%02d", text, sign, (offset / 60) % 100, offset % 60);
  std::memcpy(result, stamped, sizeof(result) - 1);
  result[sizeof(result) - 1] = 0;
  return result;
}

void CompileTimestamp(const char* date, const char* time, WDL_String* out) {
  out->Set("[");
  out->Append(date);
  out->SetLen(7);
  out->DeleteSub(4, 1);
  out->Append(" ");
  out->Append(time);
  out->SetLen(12);
  out->Append("]");
}

const char* AppendTimestamp(const char* date, const char* time, const char* text) {
  static WDL_String stamped;
  WDL_String stamp;
  CompileTimestamp(date, time, &stamp);
  stamped.Set(text);
  stamped.Append(" ");
  stamped.Append(stamp.Get());
  return stamped.Get();
}

void Trace(const char*, int, const char*, ...) {}

const char* VSTOpcodeStr(int) { return ""; }
const char* AUSelectStr(int) { return ""; }
const char* AUPropertyStr(int) { return ""; }
const char* AUScopeStr(int) { return ""; }

uint64_t HashBytes(const unsigned char* bytes, int size) {
  uint64_t hash = 1469598103934665603ull;
  int i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    hash = (hash ^ word) * 1099511628211ull;
  }
  for (; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}
