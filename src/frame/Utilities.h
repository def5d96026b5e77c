// Small services of the plug-in frame: pacing, time stamps and tracing.
#pragma once

#include <cstdint>

class WDL_String;

// Sleeps ms milliseconds; 0 sleeps 100 microseconds rather than yielding.
void Sleep(int ms);
// Wall-clock milliseconds in 32 bits; callers compare differences.
uint32_t GetTickCount();

class Timer {
 public:
  Timer();
  bool Every(double seconds);

 private:
  uint32_t mStart;
};

// FNV-1a over 64-bit words, then the tail byte by byte: a stamp of a block's
// contents (not for anything an adversary chooses).
uint64_t HashBytes(const unsigned char* bytes, int size);

bool IsWhitespace(char c);
void ToLower(char* dest, const char* src);

// "%Y%m%d %H:%M +hhmm" in one static buffer per thread, overwritten by its next call.
const char* CurrentTime();
void CompileTimestamp(const char* date, const char* time, WDL_String* out);
const char* AppendTimestamp(const char* date, const char* time, const char* text);

// The frame writes no log of its own.
void Trace(const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

const char* VSTOpcodeStr(int opcode);
const char* AUSelectStr(int select);
const char* AUPropertyStr(int property);
const char* AUScopeStr(int scope);
