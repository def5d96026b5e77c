#include "Handles.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "Utilities.h"
#include "model/Application.h"

extern char** environ;

bool g_swell_terminating = false;

namespace {

using Clock = std::chrono::steady_clock;

// Every record begins with this header, so one wait and one close serve every kind.
struct HandleRecord {
  explicit HandleRecord(uint32_t k, int refs) : kind(k), refCount(refs) {}
  uint32_t kind;
  std::atomic<int> refCount;
};

struct ThreadRecord : HandleRecord {
  ThreadRecord() : HandleRecord(kHandleThread, 2) {}
  unsigned (*proc)(void*) = nullptr;
  void* param = nullptr;
  pthread_t tid{};
  std::atomic<DWORD> result{0};
  std::atomic<bool> done{false};
  // Joined or detached, under the record's own lock: a thread is joined at most once.
  std::mutex joinLock;
  bool joined = false;
};

struct EventRecord : HandleRecord {
  EventRecord() : HandleRecord(kHandleEvent, 1) {}
  std::mutex mutex;
  std::condition_variable cond;
  bool signalled = false;
  bool manualReset = false;
};

struct FileRecord : HandleRecord {
  FileRecord() : HandleRecord(kHandleFile, 1) {}
  FILE* stream = nullptr;
};

struct SocketRecord : HandleRecord {
  SocketRecord() : HandleRecord(kHandleSocket, 1) {}
  int fd = -1;
};

struct SocketEventRecord : HandleRecord {
  SocketEventRecord() : HandleRecord(kHandleSocketEvent, 1) {}
  int readFd = -1, writeFd = -1;
  bool autoReset = false;
};

struct Task {
  pid_t pid = 0;
  bool exited = false;
};

struct TaskRecord : HandleRecord {
  TaskRecord() : HandleRecord(kHandleTask, 1) {}
  Task* task = nullptr;
};

// The record of the thread running threadProc, so it can tell when it drops its own last reference.
thread_local HandleRecord* tCurrentThreadRecord = nullptr;

HandleRecord* record(HANDLE h) {
  auto* r = static_cast<HandleRecord*>(h);
  if (!r || r->kind - kHandleThread >= 6) return nullptr;
  return r;
}

// Ends the thread: joined once, or detached when the thread lets go of itself.
DWORD joinThread(ThreadRecord* t) {
  std::lock_guard lock(t->joinLock);
  if (t->joined) return 0;
  if (pthread_join(t->tid, nullptr)) return WAIT_FAILED;
  t->joined = true;
  return 0;
}

void* threadProc(void* arg) {
  auto* t = static_cast<ThreadRecord*>(arg);
  tCurrentThreadRecord = t;
  void* pool = SWELL_InitAutoRelease();
  t->result = t->proc(t->param);
  t->done = true;
  CloseHandle(t);
  SWELL_QuitAutoRelease(pool);
  return nullptr;
}

bool readable(int fd, DWORD ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  timeval tv{long(ms / 1000), long((ms % 1000) * 1000)};
  return select(fd + 1, &set, nullptr, nullptr, ms == INFINITE ? nullptr : &tv) > 0;
}

// Milliseconds left until a deadline, for waits that may start again.
DWORD remaining(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? DWORD(left) : 0;
}

int drain(int fd) {
  char buf[128];
  return int(read(fd, buf, sizeof buf));
}


std::atomic<int> gAppNapCount{0};
std::atomic<bool> gAppNapHeld{false};
double gFoundationVersion = 1500;

}  // namespace

HANDLE CreateThread(void*, int, unsigned (*proc)(void*), void* param, int, DWORD* tid_out) {
  SWELL_EnsureMultithreadedCocoa();
  auto* t = new ThreadRecord;
  t->proc = proc;
  t->param = param;
  if (pthread_create(&t->tid, nullptr, threadProc, t)) {
    delete t;  // no thread: no handle
    return nullptr;
  }
  if (tid_out) *tid_out = DWORD(uintptr_t(t->tid));
  return t;
}

bool CreateThreadNS(void*, int, unsigned (*proc)(void*), void* param, int, DWORD* tid_out) {
  SWELL_EnsureMultithreadedCocoa();
  struct Args {
    unsigned (*proc)(void*);
    void* param;
  };
  auto* args = new Args{proc, param};
  pthread_t tid;
  int rc = pthread_create(
      &tid, nullptr,
      [](void* a) -> void* {
        auto* args = static_cast<Args*>(a);
        if (args->proc) args->proc(args->param);
        delete args;
        return nullptr;
      },
      args);
  if (rc) {
    delete args;
    return false;
  }
  pthread_detach(tid);
  if (tid_out) *tid_out = DWORD(uintptr_t(tid));
  return true;
}

void SWELL_EnsureMultithreadedCocoa() {}

void* SWELL_InitAutoRelease() { return new int(0); }
void SWELL_QuitAutoRelease(void* pool) { delete static_cast<int*>(pool); }

void SWELL_RunEvents() {
  for (int i = 0; i < 100; ++i) {
    winsys::Event e;
    if (!winsys::App().nextEvent(&e)) break;
    winsys::App().sendEvent(e);
  }
  // The run loop's pass ends with the windows drawing what the events left to draw.
  winsys::App().displayWindowsIfNeeded();
}

DWORD GetCurrentThreadId() { return DWORD(uintptr_t(pthread_self())); }

bool SetThreadPriority(HANDLE h, int priority) {
  HandleRecord* r = record(h);
  auto* t = r && r->kind == kHandleThread ? static_cast<ThreadRecord*>(r) : nullptr;
  if (!t || t->done) return false;
  int policy;
  sched_param param;
  if (pthread_getschedparam(t->tid, &policy, &param)) return false;
  int p = priority + 31;
  int lo = sched_get_priority_min(policy), hi = sched_get_priority_max(policy);
  param.sched_priority = p < lo ? lo : p > hi ? hi : p;
  return pthread_setschedparam(t->tid, policy, &param) == 0;
}

bool GetExitCodeThread(HANDLE h, DWORD* code) {
  HandleRecord* r = record(h);
  auto* t = r && r->kind == kHandleThread ? static_cast<ThreadRecord*>(r) : nullptr;
  if (!t || !t->done) return false;
  if (code) *code = t->result;
  return true;
}

HANDLE CreateEvent(void*, bool manualReset, bool initialState, const char*) {
  auto* e = new EventRecord;
  e->signalled = initialState;
  e->manualReset = manualReset;
  return e;
}

HANDLE CreateEventAsSocket(void*, bool manualReset, bool initialState, const char*) {
  auto* e = new SocketEventRecord;
  e->autoReset = !manualReset;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds)) {
    delete e;
    return nullptr;
  }
  e->readFd = fds[0];
  e->writeFd = fds[1];
  fcntl(e->readFd, F_SETFL, fcntl(e->readFd, F_GETFL) | O_NONBLOCK);
  if (initialState) {
    char c = 0;
    if (write(e->writeFd, &c, 1) != 1) {
      close(fds[0]);
      close(fds[1]);
      delete e;
      return nullptr;
    }
  }
  return e;
}

bool SetEvent(HANDLE h) {
  HandleRecord* r = record(h);
  if (!r) return false;
  if (r->kind == kHandleEvent) {
    auto* e = static_cast<EventRecord*>(r);
    std::lock_guard lock(e->mutex);
    if (!e->signalled) {
      e->signalled = true;
      if (e->manualReset)
        e->cond.notify_all();
      else
        e->cond.notify_one();
    }
    return true;
  }
  if (r->kind == kHandleSocketEvent) {
    auto* e = static_cast<SocketEventRecord*>(r);
    if (e->writeFd < 0) return true;
    if (e->readFd < 0 || !readable(e->readFd, 0)) {
      char c = 0;
      if (write(e->writeFd, &c, 1) != 1) return false;
    }
    return true;
  }
  return false;
}

bool ResetEvent(HANDLE h) {
  HandleRecord* r = record(h);
  if (!r) return false;
  if (r->kind == kHandleEvent) {
    auto* e = static_cast<EventRecord*>(r);
    std::lock_guard lock(e->mutex);  // the waiters read the flag under it
    e->signalled = false;
    return true;
  }
  if (r->kind == kHandleSocketEvent) {
    auto* e = static_cast<SocketEventRecord*>(r);
    if (e->readFd >= 0) drain(e->readFd);
    return true;
  }
  return false;
}

namespace {

DWORD waitThread(ThreadRecord* t, DWORD ms) {
  if (t->done || ms == INFINITE) return joinThread(t);
  if (ms == 0) return WAIT_TIMEOUT;
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < deadline) {
    if (t->done) return joinThread(t);
    usleep(1000);
  }
  return t->done ? joinThread(t) : WAIT_TIMEOUT;
}

DWORD waitEvent(EventRecord* e, DWORD ms) {
  std::unique_lock lock(e->mutex);
  if (ms == 0) {
    if (!e->signalled) return WAIT_TIMEOUT;
  } else if (ms == INFINITE) {
    e->cond.wait(lock, [&] { return e->signalled; });
  } else {
    // One deadline for the whole wait, however often the waiter wakes.
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    if (!e->cond.wait_until(lock, deadline, [&] { return e->signalled; })) return WAIT_TIMEOUT;
  }
  if (!e->manualReset) e->signalled = false;
  return WAIT_OBJECT_0;
}

DWORD waitDescriptor(int fd, bool autoReset, DWORD ms) {
  if (fd < 0) {
    usleep(ms == INFINITE ? 1000 : ms == 0 ? 100 : useconds_t(ms) * 1000);
    return WAIT_FAILED;
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(ms == INFINITE ? 0 : ms);
  for (;;) {
    if (!readable(fd, ms == INFINITE ? INFINITE : remaining(deadline))) return WAIT_TIMEOUT;
    if (!autoReset || drain(fd) > 0) return WAIT_OBJECT_0;
    // Another waiter took the signal: wait again for what is left.
    if (ms != INFINITE && Clock::now() >= deadline) return WAIT_TIMEOUT;
  }
}

}  // namespace

DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
  HandleRecord* r = record(h);
  if (!r) return WAIT_FAILED;
  switch (r->kind) {
    case kHandleThread: return waitThread(static_cast<ThreadRecord*>(r), ms);
    case kHandleEvent: return waitEvent(static_cast<EventRecord*>(r), ms);
    case kHandleSocket: return waitDescriptor(static_cast<SocketRecord*>(r)->fd, false, ms);
    case kHandleSocketEvent: {
      auto* e = static_cast<SocketEventRecord*>(r);
      return waitDescriptor(e->readFd, e->autoReset, ms);
    }
    case kHandleTask: {
      auto* t = static_cast<TaskRecord*>(r);
      return t->task ? SWELL_WaitForNSTask(t->task, ms) : WAIT_FAILED;
    }
    default: return WAIT_FAILED;
  }
}

DWORD WaitForAnySocketObject(int count, HANDLE* handles, DWORD ms) {
  if (count < 1 || !handles) return WAIT_TIMEOUT;
  auto fdOf = [&](int i, bool* autoReset) {
    HandleRecord* r = record(handles[i]);
    *autoReset = false;
    if (!r) return -1;
    if (r->kind == kHandleSocket) return static_cast<SocketRecord*>(r)->fd;
    if (r->kind == kHandleSocketEvent) {
      auto* e = static_cast<SocketEventRecord*>(r);
      *autoReset = e->autoReset;
      return e->readFd;
    }
    return -1;
  };
  std::vector<int> fds(size_t(count), -1);
  std::vector<bool> autos(size_t(count), false);
  int maxfd = -1;
  for (int i = 0; i < count; ++i) {
    bool a;
    fds[size_t(i)] = fdOf(i, &a);
    autos[size_t(i)] = a;
    if (fds[size_t(i)] > maxfd) maxfd = fds[size_t(i)];
  }
  if (maxfd < 1) return WAIT_TIMEOUT;
  auto deadline = Clock::now() + std::chrono::milliseconds(ms == INFINITE ? 0 : ms);
  std::vector<bool> candidates(size_t(count), true);
  for (;;) {
    fd_set set;
    FD_ZERO(&set);
    for (int i = 0; i < count; ++i)
      if (candidates[size_t(i)] && fds[size_t(i)] >= 0) FD_SET(fds[size_t(i)], &set);
    DWORD left = ms == INFINITE ? INFINITE : remaining(deadline);
    timeval tv{long(left / 1000), long((left % 1000) * 1000)};
    if (select(maxfd + 1, &set, nullptr, nullptr, left == INFINITE ? nullptr : &tv) <= 0) return WAIT_TIMEOUT;
    bool any = false;
    for (int i = 0; i < count; ++i) {
      bool ready = candidates[size_t(i)] && fds[size_t(i)] >= 0 && FD_ISSET(fds[size_t(i)], &set);
      candidates[size_t(i)] = ready;
      any |= ready;
    }
    if (!any) return WAIT_TIMEOUT;
    for (int i = 0; i < count; ++i) {
      if (!candidates[size_t(i)]) continue;
      if (!autos[size_t(i)] || drain(fds[size_t(i)]) > 0) return DWORD(i);
      candidates[size_t(i)] = false;
    }
    // Every ready signal was taken by another waiter: wait again on those.
    for (int i = 0; i < count; ++i) candidates[size_t(i)] = fds[size_t(i)] >= 0;
    if (ms != INFINITE && Clock::now() >= deadline) return WAIT_TIMEOUT;
  }
}

bool CloseHandle(HANDLE h) {
  HandleRecord* r = record(h);
  if (!r) return false;
  if (r->kind == kHandleSocket) {
    // Not owned: the descriptor and the record stay.
    if (r->refCount.load() <= 1) return false;
  }
  if (r->refCount.fetch_sub(1) - 1 > 0) return true;
  switch (r->kind) {
    case kHandleThread: {
      auto* t = static_cast<ThreadRecord*>(r);
      {
        std::lock_guard lock(t->joinLock);
        if (!t->joined) {
          if (tCurrentThreadRecord == t)
            pthread_detach(pthread_self());
          else
            pthread_join(t->tid, nullptr);
          t->joined = true;
        }
      }
      delete t;
      break;
    }
    case kHandleEvent: delete static_cast<EventRecord*>(r); break;
    case kHandleFile: {
      auto* f = static_cast<FileRecord*>(r);
      if (f->stream) fclose(f->stream);
      delete f;
      break;
    }
    case kHandleSocketEvent: {
      auto* e = static_cast<SocketEventRecord*>(r);
      if (e->readFd >= 0) close(e->readFd);
      if (e->writeFd >= 0) close(e->writeFd);
      delete e;
      break;
    }
    case kHandleTask: {
      auto* t = static_cast<TaskRecord*>(r);
      SWELL_ReleaseNSTask(t->task);
      delete t;
      break;
    }
    default: break;
  }
  return true;
}

int SWELL_HandleRefCount(HANDLE h) {
  HandleRecord* r = record(h);
  return r ? r->refCount.load() : 0;
}

HANDLE SWELL_CreateProcess(const char* exe, int nparams, const char** params) {
  std::string path = exe ? exe : "";
  std::vector<std::string> args{path};
  for (int i = 0; i < nparams; ++i) args.push_back(params && params[i] ? params[i] : "");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ)) return nullptr;
  auto* t = new TaskRecord;
  t->task = new Task{pid, false};
  return t;
}

namespace {
bool taskRunning(Task* t) {
  if (t->exited) return false;
  int status;
  if (waitpid(t->pid, &status, WNOHANG) == 0) return true;
  t->exited = true;
  return false;
}
}  // namespace

DWORD SWELL_WaitForNSTask(void* task, DWORD ms) {
  auto* t = static_cast<Task*>(task);
  if (!t) return WAIT_FAILED;
  if (ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (taskRunning(t) && Clock::now() < deadline) Sleep(1);
  }
  return taskRunning(t) ? WAIT_TIMEOUT : 0;
}

void SWELL_ReleaseNSTask(void* task) {
  auto* t = static_cast<Task*>(task);
  if (!t) return;
  taskRunning(t);  // reaps a child that has ended
  delete t;
}

void SWELL_MakeProcessFront(HANDLE h) {
  HandleRecord* r = record(h);
  if (!r || r->kind != kHandleTask) return;
  Task* t = static_cast<TaskRecord*>(r)->task;
  if (!t) return;
  // There is no front process to switch to here; the look-up keeps its retries.
  for (int i = 0; i < 20 && kill(t->pid, 0) != 0; ++i) Sleep(50);
}

int SWELL_GetProcessId(HANDLE h) {
  HandleRecord* r = record(h);
  if (!r || r->kind != kHandleTask) return 0;
  Task* t = static_cast<TaskRecord*>(r)->task;
  return t ? t->pid : 0;
}

HANDLE CreateFile(const char*, int, int, void*, int, int, HANDLE) { return nullptr; }

HANDLE SWELL_CreateFileHandle(FILE* stream) {
  if (!stream) return nullptr;
  auto* f = new FileRecord;
  f->stream = stream;
  return f;
}

HANDLE SWELL_CreateSocketHandle(int fd) {
  auto* s = new SocketRecord;
  s->fd = fd;
  return s;
}

void SWELL_FreeSocketHandle(HANDLE h) {
  HandleRecord* r = record(h);
  if (r && r->kind == kHandleSocket) delete static_cast<SocketRecord*>(r);
}

namespace {
FILE* streamOf(HANDLE h) {
  HandleRecord* r = record(h);
  if (!r || r->kind != kHandleFile) return nullptr;
  return static_cast<FileRecord*>(r)->stream;
}
}  // namespace

DWORD SetFilePointer(HANDLE h, int low, int* high, int) {
  FILE* f = streamOf(h);
  if (!f || (high && *high) || fseek(f, low, SEEK_SET)) {
    if (high) *high = -1;
    return 0xFFFFFFFF;
  }
  long pos = ftell(f);
  if (pos < 0) {
    if (high) *high = -1;
    return 0xFFFFFFFF;
  }
  return DWORD(pos);
}

DWORD GetFilePointer(HANDLE h, int* high) {
  FILE* f = streamOf(h);
  long pos = f ? ftell(f) : -1;
  if (high) *high = pos < 0 ? -1 : 0;
  return pos < 0 ? 0xFFFFFFFF : DWORD(pos);
}

DWORD GetFileSize(HANDLE h, DWORD* high) {
  FILE* f = streamOf(h);
  if (!f) {
    if (high) *high = 0xFFFFFFFF;
    return 0xFFFFFFFF;
  }
  long pos = ftell(f);
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, pos, SEEK_SET);
  if (high) *high = size < 0 ? 0xFFFFFFFF : 0;
  return size < 0 ? 0xFFFFFFFF : DWORD(size);
}

bool ReadFile(HANDLE h, void* buf, DWORD n, DWORD* done, void*) {
  FILE* f = streamOf(h);
  if (!f || !n || !buf) return false;
  size_t got = fread(buf, 1, n, f);
  if (done) *done = DWORD(got);
  return got != 0;
}

bool WriteFile(HANDLE h, const void* buf, DWORD n, DWORD* done, void*) {
  FILE* f = streamOf(h);
  if (!f || !n || !buf) return false;
  size_t put = fwrite(buf, 1, n, f);
  if (done) *done = DWORD(put);
  return put != 0;
}

void SWELL_SetFoundationVersion(double version) { gFoundationVersion = version; }

void SWELL_DisableAppNap(int delta) {
  if (g_swell_terminating || int(gFoundationVersion) <= 945) return;
  int count = gAppNapCount += delta;
  if (count >= 1 && !gAppNapHeld)
    gAppNapHeld = true;
  else if (count < 1 && gAppNapHeld)
    gAppNapHeld = false;
}

int SWELL_AppNapCount() { return gAppNapCount; }
bool SWELL_AppNapActivityHeld() { return gAppNapHeld; }

void SWELL_PostQuitMessage(void*) {
  g_swell_terminating = true;
  winsys::App().terminate();
}
