// Preloaded into a JACK host: logs, per client, which thread writes every
// request to the server and which reads its reply, and notes where a thread
// writes on a client's request socket while another thread's request on it
// is still waiting for its reply.
//   cc -O2 -shared -fPIC -o /tmp/jack-trace.so tools/daw/jack-trace.c -ldl -lpthread
//   JACK_TRACE_LOG=/tmp/trace.log LD_PRELOAD=/tmp/jack-trace.so ardour7-lua ...
// Lines: "<s.ms> <tid> <thread> open NAME fd=N", "... W fd=N len=L int=V",
// "... R fd=N len=L", "... OVERLAP fd=N client=NAME owner=TID THREAD",
// "... SPLIT fd=N client=NAME request TYPE of TID THREAD" where a thread's
// write lands inside another thread's request as the server reads the
// stream, "... close fd=N". A client opened through libjack loaded with dlopen (as
// Ardour's backend does) has no name here: "(host)".
// JACK_TRACE_STALL=TYPE:SIZE:MS holds a thread that has written the first
// word of a request of that type and size (2:8, a port unregistered) for MS
// milliseconds before the second, so that whatever else the process writes
// on that client meanwhile lands inside the request. JACK_TRACE_DELAY=TYPE:MS
// holds a thread for MS milliseconds before it writes a request of that type
// after a reply (39: the total latencies asked to be computed again).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <jack/jack.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

enum { kFds = 4096 };
// Request sockets: 1 once connected to a server's socket; the thread whose
// request on it still waits for a reply (0: none).
static atomic_int gRequest[kFds];
static atomic_long gOwner[kFds];
static char gOwnerName[kFds][17];
// The server's view of each request socket's stream: the request being
// written (its type, who began it, the bytes of it still to come; phase 0:
// its type is next, 1: its size, 2: its fields).
static struct {
  int phase, type;
  long remaining, writer;
  char writerName[17];
} gStream[kFds];
static pthread_mutex_t gStreamMutex = PTHREAD_MUTEX_INITIALIZER;
// Requests the server answers nothing to: their writer waits for no reply.
static int Unanswered(int type) { return type == 40; /* a property changed */ }
static char gClient[kFds][64];
static __thread int tConnected = -1;
// The word this thread last wrote, and where.
static __thread int tLastFd = -1, tLastWord;
static int gLog = -1;

static long Tid(void) { return syscall(SYS_gettid); }

static void Log(const char* format, ...) {
  if (gLog < 0) {
    const char* path = getenv("JACK_TRACE_LOG");
    gLog = path ? (int)syscall(SYS_open, path, 02101 /* O_WRONLY|O_CREAT|O_APPEND */, 0644) : 2;
  }
  char line[512], name[17] = {0};
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  prctl(PR_GET_NAME, name);
  int n = snprintf(line, sizeof line, "%ld.%03ld %ld %s ", (long)now.tv_sec, now.tv_nsec / 1000000, Tid(), name);
  va_list args;
  va_start(args, format);
  n += vsnprintf(line + n, sizeof line - (size_t)n - 1, format, args);
  va_end(args);
  if (n > (int)sizeof line - 2) n = (int)sizeof line - 2;
  line[n++] = '\n';
  syscall(SYS_write, gLog, line, (size_t)n);
}

int connect(int fd, const struct sockaddr* address, socklen_t length) {
  static int (*real)(int, const struct sockaddr*, socklen_t);
  if (!real) real = dlsym(RTLD_NEXT, "connect");
  const int result = real(fd, address, length);
  if (result == 0 && fd >= 0 && fd < kFds && address->sa_family == AF_UNIX &&
      strstr(((const struct sockaddr_un*)address)->sun_path, "/jack_")) {
    atomic_store(&gRequest[fd], 1);
    atomic_store(&gOwner[fd], 0);
    gStream[fd].phase = 0;
    strcpy(gClient[fd], "(host)");
    tConnected = fd;
    Log("connect fd=%d %s", fd, ((const struct sockaddr_un*)address)->sun_path);
  }
  return result;
}

ssize_t write(int fd, const void* data, size_t size) {
  if (fd >= 0 && fd < kFds && atomic_load(&gRequest[fd])) {
    const long self = Tid();
    long owner = atomic_load(&gOwner[fd]);
    if (owner != 0 && owner != self) Log("OVERLAP fd=%d client=%s owner=%ld %s", fd, gClient[fd], owner, gOwnerName[fd]);
    atomic_store(&gOwner[fd], self);
    prctl(PR_GET_NAME, gOwnerName[fd]);
    const int word = size >= 4 ? *(const int*)data : -1;
    static int stallType = -2, stallSize = 0, stallMs = 0;
    if (stallType == -2) {
      const char* stall = getenv("JACK_TRACE_STALL");
      stallType = -1;
      if (stall && sscanf(stall, "%d:%d:%d", &stallType, &stallSize, &stallMs) != 3) stallType = -1;
    }
    static int delayType = -2, delayMs = 0;
    if (delayType == -2) {
      const char* delay = getenv("JACK_TRACE_DELAY");
      delayType = -1;
      if (delay && sscanf(delay, "%d:%d", &delayType, &delayMs) != 2) delayType = -1;
    }
    if (size == 4 && word == delayType && tLastFd != fd) {
      Log("delay fd=%d", fd);
      usleep((useconds_t)delayMs * 1000);
    }
    if (size == 4 && word == stallSize && tLastFd == fd && tLastWord == stallType) {
      Log("stall fd=%d", fd);
      usleep((useconds_t)stallMs * 1000);
    }
    tLastFd = fd;
    tLastWord = word;
    Log("W fd=%d len=%zu int=%d", fd, size, word);
    pthread_mutex_lock(&gStreamMutex);
    const ssize_t written = syscall(SYS_write, fd, data, size);
    if (written > 0) {
      __typeof__(gStream[0])* stream = &gStream[fd];
      if (stream->phase != 0 && stream->writer != self)
        Log("SPLIT fd=%d client=%s request %d of %ld %s", fd, gClient[fd], stream->type, stream->writer,
            stream->writerName);
      if (stream->phase == 0 && written == 4) {
        stream->type = word;
        stream->writer = self;
        prctl(PR_GET_NAME, stream->writerName);
        stream->phase = 1;
      } else if (stream->phase == 1 && written == 4) {
        stream->remaining = word;
        stream->phase = word > 0 ? 2 : 0;
      } else if (stream->phase == 2) {
        stream->remaining -= written;
        if (stream->remaining <= 0) stream->phase = 0;
      }
      if (stream->phase == 0 && Unanswered(stream->type)) atomic_store(&gOwner[fd], 0);
    }
    pthread_mutex_unlock(&gStreamMutex);
    return written;
  }
  return syscall(SYS_write, fd, data, size);
}

ssize_t read(int fd, void* data, size_t size) {
  const ssize_t result = syscall(SYS_read, fd, data, size);
  if (fd >= 0 && fd < kFds && atomic_load(&gRequest[fd])) {
    tLastFd = -1;
    long self = Tid();
    atomic_compare_exchange_strong(&gOwner[fd], &self, 0);
    Log("R fd=%d len=%zu got=%zd", fd, size, result);
  }
  return result;
}

int close(int fd) {
  static int (*real)(int);
  if (!real) real = dlsym(RTLD_NEXT, "close");
  if (fd >= 0 && fd < kFds && atomic_exchange(&gRequest[fd], 0)) Log("close fd=%d", fd);
  return real(fd);
}

jack_client_t* jack_client_open(const char* name, jack_options_t options, jack_status_t* status, ...) {
  typedef jack_client_t* Open(const char*, jack_options_t, jack_status_t*, ...);
  static Open* real;
  if (!real) real = (Open*)dlsym(RTLD_NEXT, "jack_client_open");
  const char* extra[3] = {0};
  int count = 0;
  va_list args;
  va_start(args, status);
  const int optionsWithArgs[3] = {JackServerName, JackLoadName, JackLoadInit};
  for (int i = 0; i < 3; ++i)
    if (options & optionsWithArgs[i]) extra[count++] = va_arg(args, const char*);
  va_end(args);
  tConnected = -1;
  jack_client_t* client = real(name, options, status, extra[0], extra[1], extra[2]);
  if (client && tConnected >= 0) snprintf(gClient[tConnected], sizeof gClient[0], "%s", name);
  Log("open \"%s\" client=%p fd=%d", name, (void*)client, tConnected);
  return client;
}

int jack_client_close(jack_client_t* client) {
  typedef int Close(jack_client_t*);
  static Close* real;
  if (!real) real = (Close*)dlsym(RTLD_NEXT, "jack_client_close");
  Log("client_close client=%p", (void*)client);
  const int result = real(client);
  Log("client_closed client=%p", (void*)client);
  return result;
}
