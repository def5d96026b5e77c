#include "TraceSink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {
constexpr int kPollMs = 50;
}  // namespace

TraceSink::~TraceSink() {
  if (mOwn >= 0) close(mOwn);
}

int TraceSink::fd() const { return mOwn >= 0 ? mOwn : STDOUT_FILENO; }

void TraceSink::refresh() {
  struct stat now {};
  const bool known = fstat(STDOUT_FILENO, &now) == 0;
  const bool pipe = known && S_ISFIFO(now.st_mode);
  if (known && pipe == mPipe && now.st_dev == mDevice && now.st_ino == mInode) return;
  if (mOwn >= 0) close(mOwn);
  mOwn = -1;
  mPipe = pipe;
  mDevice = known ? now.st_dev : 0;
  mInode = known ? now.st_ino : 0;
  mTail.reset();
  if (!pipe) return;
  // Setting O_NONBLOCK on standard output itself would change it for the
  // host; a description of the same pipe of the writer's own does not.
  const int own = open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat opened {};
  if (own >= 0 && fstat(own, &opened) == 0 && opened.st_dev == now.st_dev && opened.st_ino == now.st_ino)
    mOwn = own;
  else if (own >= 0)
    close(own);
}

bool TraceSink::pipeEmpty() const {
  int unread = 0;
  return ioctl(fd(), FIONREAD, &unread) == 0 && unread == 0;
}

bool TraceSink::keepsRoom(size_t size, bool empty) const {
  if (!mPipe || empty || !mTail) return size <= kMostBytes;
  // A write that fits the last page joins it; one that does not takes a
  // page of its own.
  if (*mTail + size <= kPage) return *mTail + size <= kPage - kLastLineRoom;
  return size <= kMostBytes;
}

size_t TraceSink::portion(std::string_view text, size_t lead) {
  if (text.empty()) return 0;
  refresh();
  const size_t most = kMostBytes > lead ? kMostBytes - lead : 1;
  const bool empty = mPipe && pipeEmpty();
  const auto fits = [&](size_t n) { return n > 0 && keepsRoom(n + lead, empty); };
  // What the last page still takes while keeping its room.
  const size_t room = mPipe && !empty && mTail && *mTail + kLastLineRoom + lead < kPage
                          ? kPage - kLastLineRoom - lead - *mTail
                          : 0;
  const auto wholeLines = [&](size_t limit) -> size_t {
    if (limit == 0) return 0;
    if (text.size() <= limit) return text.size();
    const size_t end = text.rfind('\n', limit - 1);
    return end == std::string_view::npos ? 0 : end + 1;
  };
  for (const size_t limit : {most, room})
    if (const size_t n = wholeLines(limit); fits(n)) return n;
  // A line longer than a write goes in pieces.
  if (text.find('\n') >= most)
    for (const size_t limit : {most, room})
      if (fits(std::min(limit, text.size()))) return std::min(limit, text.size());
  // Nothing keeps the room now: what will once the pipe is read empty.
  const size_t n = wholeLines(most);
  return n > 0 ? n : std::min(most, text.size());
}

size_t TraceSink::write(const char* bytes, size_t size, const Deadline& deadline, bool keepRoom) {
  // A write that may fill the room (the last line of a close) is tried
  // once even when its time is up: into the room it takes no waiting.
  bool tried = keepRoom;
  while (size > 0) {
    int waitMs = kPollMs;
    if (const auto at = deadline()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*at - Clock::now()).count();
      if (left <= 0 && tried) return size;
      waitMs = static_cast<int>(std::clamp<long long>(left, 0, kPollMs));
    }
    tried = true;
    refresh();
    const bool empty = mPipe && pipeEmpty();
    if (keepRoom && !keepsRoom(size, empty)) {
      poll(nullptr, 0, waitMs);  // until the reader has emptied the pipe
      continue;
    }
    pollfd out{fd(), POLLOUT, 0};
    if (mOwn < 0) {
      const int ready = poll(&out, 1, waitMs);
      if (ready < 0 && errno != EINTR) return size;
      if (ready <= 0) continue;
      if (out.revents & (POLLERR | POLLNVAL)) return size;
    }
    const ssize_t n = ::write(fd(), bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return size;
      // Neither a free page nor room in the last one: wait for a page.
      if (poll(&out, 1, waitMs) > 0 && (out.revents & (POLLERR | POLLNVAL))) return size;
      continue;
    }
    const size_t written = static_cast<size_t>(n);
    if (mPipe) {
      if (written != size) mTail.reset();
      else if (empty) mTail = written;
      else if (mTail) mTail = *mTail + written <= kPage ? *mTail + written : written;
    }
    bytes += written;
    size -= written;
  }
  return 0;
}
