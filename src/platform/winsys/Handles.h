// Kernel-object handles: threads, events, socket events, child processes and
// file handles, with one wait and one close for every kind.
#pragma once

#include <cstdint>
#include <cstdio>

#include "SwellTypes.h"

typedef void* HANDLE;

enum : uint32_t {
  kHandleThread = 0x1000002,
  kHandleEvent = 0x1000003,
  kHandleFile = 0x1000004,
  kHandleSocket = 0x1000005,
  kHandleSocketEvent = 0x1000006,
  kHandleTask = 0x1000007,
};
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

HANDLE CreateThread(void* security, int stacksize, unsigned (*proc)(void*), void* param, int flags,
                    DWORD* tid_out);
// Runs proc(param) on a detached thread; no handle is made, so it answers whether the thread started.
bool CreateThreadNS(void* security, int stacksize, unsigned (*proc)(void*), void* param, int flags,
                    DWORD* tid_out);
void SWELL_EnsureMultithreadedCocoa();
void* SWELL_InitAutoRelease();
void SWELL_QuitAutoRelease(void* pool);
void SWELL_RunEvents();
DWORD GetCurrentThreadId();
bool SetThreadPriority(HANDLE h, int priority);
// The thread function's result once it has ended; false while it runs.
bool GetExitCodeThread(HANDLE h, DWORD* code);

HANDLE CreateEvent(void* security, bool manualReset, bool initialState, const char* name);
HANDLE CreateEventAsSocket(void* security, bool manualReset, bool initialState, const char* name);
bool SetEvent(HANDLE h);
bool ResetEvent(HANDLE h);

DWORD WaitForSingleObject(HANDLE h, DWORD ms);
DWORD WaitForAnySocketObject(int count, HANDLE* handles, DWORD ms);
bool CloseHandle(HANDLE h);
int SWELL_HandleRefCount(HANDLE h);

HANDLE SWELL_CreateProcess(const char* exe, int nparams, const char** params);
DWORD SWELL_WaitForNSTask(void* task, DWORD ms);
void SWELL_ReleaseNSTask(void* task);
void SWELL_MakeProcessFront(HANDLE h);
// The process id of a task handle, 0 for anything else.
int SWELL_GetProcessId(HANDLE h);

HANDLE CreateFile(const char* path, int access, int share, void* security, int disposition, int flags,
                  HANDLE templ);
// Wraps an open stream (the handle owns it) or an outside descriptor (not owned).
HANDLE SWELL_CreateFileHandle(FILE* stream);
HANDLE SWELL_CreateSocketHandle(int fd);
// CloseHandle keeps a not-owned socket's record; this frees it (the descriptor stays open).
void SWELL_FreeSocketHandle(HANDLE h);
DWORD SetFilePointer(HANDLE h, int low, int* high, int method);
DWORD GetFilePointer(HANDLE h, int* high);
DWORD GetFileSize(HANDLE h, DWORD* high);
bool ReadFile(HANDLE h, void* buf, DWORD n, DWORD* done, void* overlapped);
bool WriteFile(HANDLE h, const void* buf, DWORD n, DWORD* done, void* overlapped);

void SWELL_DisableAppNap(int delta);
// The App Nap count and whether an activity is held, for the process state.
int SWELL_AppNapCount();
bool SWELL_AppNapActivityHeld();
// The Foundation version the App Nap switch compares with 945 (settable for tests).
void SWELL_SetFoundationVersion(double version);
void SWELL_PostQuitMessage(void* sender);
extern bool g_swell_terminating;
