#include "TraceOutput.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace {
// A few seconds of the densest trace (a 17-byte line per message at 3,000
// messages a second is 51 KB/s) with room to spare.
constexpr size_t kBufferBytes = 1 << 20;
// A pipe takes a write of this size whole once poll says it is writable.
constexpr size_t kWriteBytes = 4096;
// How long the last holder's release gives standard output to take the rest,
// and the line that says what it did not take: the host's thread waits in
// its close meanwhile.
constexpr int kFinalDrainMs = 200;
constexpr int kFinalNoteMs = 50;
// While lines are still left out, the line that says how many comes at most
// this often.
constexpr std::chrono::seconds kLossNoteInterval{1};

size_t linesIn(std::string_view text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

class Writer {
 public:
  static Writer& instance() {
    static Writer writer;
    return writer;
  }

  // Each run of the thread has its number, and a stop is asked of a run: a
  // hold taken while the last release is still ending starts the next run
  // and leaves that stop as it is, so the release is not kept waiting for
  // the new holder. The next run writes only once the previous has ended,
  // so lines keep their order.
  void hold() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mHolders++ > 0) return;
    const unsigned long run = ++mRuns;
    mThread = std::thread([this, run] { this->run(run); });
  }

  void release() {
    std::thread ending;
    {
      std::lock_guard<std::mutex> lock(mMutex);
      if (mHolders == 0 || --mHolders > 0) return;
      mStopAsked = mRuns;
      ending = std::move(mThread);
    }
    mChanged.notify_all();
    if (ending.joinable()) ending.join();
  }

  void print(std::string_view text) {
    // Every text ends its line: a host that reads its own results from the
    // same output (a plug-in scanner) would find them run into ours.
    const bool ended = !text.empty() && text.back() == '\n';
    const size_t size = text.size() + (ended ? 0 : 1);
    {
      std::lock_guard<std::mutex> lock(mMutex);
      if (mPending.size() + size > kBufferBytes) {
        leftOut(1);
        return;
      }
      mPending.append(text);
      if (!ended) mPending.push_back('\n');
      mQueued += size;
    }
    mChanged.notify_all();
  }

  bool flush(int boundMs) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (!mThread.joinable()) return mPending.empty();
    const unsigned long long target = mQueued;
    return mChanged.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return mWritten >= target; });
  }

  size_t dropped() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mDropped;
  }

  ~Writer() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStopAsked = mRuns;
    }
    mChanged.notify_all();
    if (mThread.joinable()) mThread.join();
  }

 private:
  Writer() = default;

  // Writes all of bytes unless standard output stays full past finalMs once
  // stopping, or fails; how many it did not write.
  size_t writeOut(const char* bytes, size_t size, bool stopping, unsigned long run, int finalMs = kFinalDrainMs) {
    int waited = 0;
    while (size > 0) {
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      const int ready = poll(&out, 1, 50);
      if (ready < 0 && errno != EINTR) return size;
      if (ready <= 0) {
        waited += 50;
        if (stopping && waited >= finalMs) return size;
        if (!stopping) {
          std::lock_guard<std::mutex> lock(mMutex);
          if (mStopAsked >= run) stopping = true;
        }
        continue;
      }
      if (out.revents & (POLLERR | POLLNVAL)) return size;
      const ssize_t n = ::write(STDOUT_FILENO, bytes, size);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return size;
      }
      bytes += n;
      size -= static_cast<size_t>(n);
    }
    return 0;
  }

  // Lines standard output did not take: left out as a full buffer's are,
  // and counted with them. Under mMutex.
  void leftOut(size_t lines) {
    mDropped += lines;
    mDroppedUnreported += lines;
  }

  void run(unsigned long run) {
    pthread_setname_np(pthread_self(), "tvx trace");
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait(lock, [&] { return mEnded + 1 >= run; });
    std::chrono::steady_clock::time_point lastNote{};
    // A note standard output did not take within the bound: this run tries
    // no more until it takes lines again (the count waits for a later one).
    bool noteRefused = false;
    for (;;) {
      const auto stopAsked = [&] { return mStopAsked >= run; };
      const auto noteDue = [&] { return mDroppedUnreported > 0 && !noteRefused; };
      mChanged.wait(lock, [&] { return stopAsked() || !mPending.empty() || noteDue(); });
      // How many were left out is told as soon as the output takes lines
      // again: after the chunk it took, not only once the buffer has caught
      // up, which a host's ongoing MIDI may never let happen; while lines
      // are still left out, at most once a second.
      const auto now = std::chrono::steady_clock::now();
      if (noteDue() && (mPending.empty() || now - lastNote >= kLossNoteInterval)) {
        const size_t count = mDroppedUnreported;
        const std::string note =
            "Plug-in trace: " + std::to_string(count) + " lines left out: standard output did not keep up\n";
        mDroppedUnreported = 0;
        lastNote = now;
        const bool stopping = stopAsked();
        lock.unlock();
        const bool told = writeOut(note.data(), note.size(), stopping, run, kFinalNoteMs) == 0;
        lock.lock();
        if (!told) {
          mDroppedUnreported += count;
          noteRefused = true;
        }
        continue;
      }
      if (mPending.empty()) {
        if (!stopAsked()) continue;
        mEnded = run;
        mChanged.notify_all();
        return;
      }
      // Whole lines where it can, so a line is not split by a drop.
      size_t take = std::min(mPending.size(), kWriteBytes);
      if (take < mPending.size()) {
        const size_t lineEnd = mPending.rfind('\n', take - 1);
        if (lineEnd != std::string::npos) take = lineEnd + 1;
      }
      const std::string chunk = mPending.substr(0, take);
      mPending.erase(0, take);
      const bool stopping = stopAsked();
      lock.unlock();
      const size_t unwritten = writeOut(chunk.data(), chunk.size(), stopping, run);
      lock.lock();
      mWritten += chunk.size();
      if (unwritten > 0) {
        // Standard output is gone or will not take more before the end:
        // the rest is left out, and said so if the output takes that line.
        leftOut(linesIn(std::string_view(chunk).substr(chunk.size() - unwritten)) + linesIn(mPending));
        mWritten += mPending.size();
        mPending.clear();
      } else {
        noteRefused = false;
      }
      mChanged.notify_all();
    }
  }

  std::mutex mMutex;
  std::condition_variable mChanged;
  std::string mPending;
  size_t mHolders = 0;
  size_t mDropped = 0;
  size_t mDroppedUnreported = 0;
  unsigned long long mQueued = 0;   // bytes taken into the buffer, ever
  unsigned long long mWritten = 0;  // of them, written (or given up on)
  unsigned long mRuns = 0, mStopAsked = 0, mEnded = 0;  // thread runs started, asked to stop, ended
  std::thread mThread;
};
}  // namespace

namespace TraceOutput {
Hold::Hold() { Writer::instance().hold(); }
Hold::~Hold() { Writer::instance().release(); }
void print(std::string_view text) { Writer::instance().print(text); }
bool flush(int boundMs) { return Writer::instance().flush(boundMs); }
size_t dropped() { return Writer::instance().dropped(); }
}  // namespace TraceOutput
