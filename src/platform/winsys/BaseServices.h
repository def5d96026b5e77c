// Small services of the window-system layer that need no window: rectangles,
// arithmetic, the rounding mode, file times, memory handles, strings,
// loadable libraries and GUIDs.
#pragma once

#include <cstdint>
#include <string>

#include "SwellTypes.h"

typedef void* HGLOBAL;
struct SWELL_HINSTANCE;
typedef SWELL_HINSTANCE* HINSTANCE;
struct GUID {
  unsigned char bytes[16];
};

int WinSetRect(RECT* r, int left, int top, int right, int bottom);
int WinOffsetRect(RECT* r, int dx, int dy);
bool WinIntersectRect(RECT* dst, const RECT* a, const RECT* b);
RECT* WinUnionRect(RECT* dst, const RECT* a, const RECT* b);
bool SWELL_PtInRect(const RECT* r, POINT pt);
int MulDiv(int a, int b, int c);
unsigned int _controlfp(unsigned int newval, unsigned int mask);

bool GetFileTime(int fd, uint64_t* creation, uint64_t* access, uint64_t* write);

HGLOBAL GlobalAlloc(int flags, long size);
void* GlobalLock(HGLOBAL h);
int GlobalUnlock(HGLOBAL h);
long GlobalSize(HGLOBAL h);
void GlobalFree(HGLOBAL h);
// The lock count of a memory handle (bookkeeping only).
int SWELL_GlobalLockCount(HGLOBAL h);
char* lstrcpyn(char* dst, const char* src, int n);

// Our strings stand for the platform's string objects.
std::string SWELL_CStringToCFString(const char* str);
void SWELL_CFStringToCString(const std::string& str, char* buf, int buflen);

HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal);
HINSTANCE LoadLibrary(const char* path);
void* GetProcAddress(HINSTANCE inst, const char* name);
int FreeLibrary(HINSTANCE inst);
int GetModuleFileName(HINSTANCE inst, char* buf, int size);
int SWELL_LibraryRefCount(HINSTANCE inst);
// The executable of a bundle folder: Contents/Linux-x86_64/<folder name without extension>.so
std::string SWELL_BundleExecutablePath(const std::string& bundlePath);
// Overrides the application's main bundle folder (empty: the folder of the running program).
void SWELL_SetMainBundlePath(const std::string& path);

void SWELL_GenerateGUID(GUID* guid);
