#include "TraceOutput.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace {
// A few seconds of the densest trace (a 17-byte line per message at 3,000
// messages a second is 51 KB/s) with room to spare.
constexpr size_t kBufferBytes = 1 << 20;
// A pipe takes a write of this size whole once poll says it is writable.
constexpr size_t kWriteBytes = 4096;
using Clock = std::chrono::steady_clock;
// From the last holder's release, how long standard output is given to take
// the rest, and then the line that says what it did not take: the host's
// thread waits in its close meanwhile, a quarter second in all however
// slowly the output is read.
constexpr std::chrono::milliseconds kFinalDrain{200};
constexpr std::chrono::milliseconds kFinalWait{250};
constexpr int kPollMs = 50;
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
      mStoppedAt[mRuns] = Clock::now();
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
      mStoppedAt.emplace(mRuns, Clock::now());
    }
    mChanged.notify_all();
    if (mThread.joinable()) mThread.join();
  }

 private:
  Writer() = default;

  // When the run was asked to stop, if it was. Under mMutex.
  std::optional<Clock::time_point> stoppedAt(unsigned long run) const {
    if (mStopAsked < run) return std::nullopt;
    const auto at = mStoppedAt.find(run);
    return at != mStoppedAt.end() ? at->second : Clock::time_point{};
  }

  // Writes all of bytes unless, once the run is asked to stop, standard
  // output has not taken them within limit of that ask (counted from the
  // ask, not from this write: a slow reader taking chunk after chunk does
  // not keep the closing host waiting), or fails; how many it did not write.
  size_t writeOut(const char* bytes, size_t size, unsigned long run, std::chrono::milliseconds limit) {
    while (size > 0) {
      int waitMs = kPollMs;
      std::optional<Clock::time_point> stopped;
      {
        std::lock_guard<std::mutex> lock(mMutex);
        stopped = stoppedAt(run);
      }
      if (stopped) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*stopped + limit - Clock::now()).count();
        if (left <= 0) return size;
        waitMs = static_cast<int>(std::min<long long>(left, kPollMs));
      }
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      const int ready = poll(&out, 1, waitMs);
      if (ready < 0 && errno != EINTR) return size;
      if (ready <= 0) continue;
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

  // After text of which unwritten bytes were not written (and never will
  // be): whether standard output is left inside a line whose rest will not
  // come. Under mMutex.
  void afterWrite(const std::string& text, size_t unwritten) {
    const size_t written = text.size() - std::min(unwritten, text.size());
    if (written > 0) mMidLine = text[written - 1] != '\n';
    if (unwritten > 0) mLineCut = mMidLine;
    else mLineCut = false;
  }

  void run(unsigned long run) {
    pthread_setname_np(pthread_self(), "tvx trace");
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait(lock, [&] { return mEnded + 1 >= run; });
    std::chrono::steady_clock::time_point lastNote{};
    // A note standard output did not take within the bound: this run tries
    // no more until it takes lines again (the count waits for a later one).
    bool noteRefused = false;
    // Standard output took a chunk since the last note: the note goes after
    // lines it took again, never ahead of lines older than the loss.
    bool tookLines = false;
    for (;;) {
      const auto stopAsked = [&] { return mStopAsked >= run; };
      const auto noteDue = [&] { return mDroppedUnreported > 0 && !noteRefused; };
      mChanged.wait(lock, [&] { return stopAsked() || !mPending.empty() || noteDue(); });
      // How many were left out is told as soon as the output takes lines
      // again: after the chunk it took, not only once the buffer has caught
      // up, which a host's ongoing MIDI may never let happen; while lines
      // are still left out, at most once a second.
      const auto now = std::chrono::steady_clock::now();
      if (noteDue() && (mPending.empty() || (tookLines && now - lastNote >= kLossNoteInterval))) {
        const size_t count = mDroppedUnreported;
        const std::string note = std::string(mLineCut ? "\n" : "") + "Plug-in trace: " + std::to_string(count) +
                                 " lines left out: standard output did not keep up\n";
        mDroppedUnreported = 0;
        lastNote = now;
        tookLines = false;
        lock.unlock();
        const size_t unwritten = writeOut(note.data(), note.size(), run, kFinalWait);
        lock.lock();
        afterWrite(note, unwritten);
        if (unwritten > 0) {
          mDroppedUnreported += count;
          noteRefused = true;
        }
        continue;
      }
      if (mPending.empty()) {
        if (!stopAsked()) continue;
        mEnded = run;
        mStoppedAt.erase(run);
        mChanged.notify_all();
        return;
      }
      // Whole lines where it can, so a line is not split by a drop.
      size_t take = std::min(mPending.size(), kWriteBytes);
      if (take < mPending.size()) {
        const size_t lineEnd = mPending.rfind('\n', take - 1);
        if (lineEnd != std::string::npos) take = lineEnd + 1;
      }
      // After a line cut short, what comes next starts a line of its own.
      const size_t opening = mLineCut ? 1 : 0;
      const std::string chunk = std::string(opening, '\n') + mPending.substr(0, take);
      mPending.erase(0, take);
      lock.unlock();
      const size_t notTaken = writeOut(chunk.data(), chunk.size(), run, kFinalDrain);
      lock.lock();
      afterWrite(chunk, notTaken);
      const size_t unwritten = std::min(notTaken, chunk.size() - opening);
      mWritten += chunk.size() - opening;
      if (unwritten > 0) {
        // Standard output is gone or will not take more before the end:
        // the rest is left out, and said so if the output takes that line.
        leftOut(linesIn(std::string_view(chunk).substr(chunk.size() - unwritten)) + linesIn(mPending));
        mWritten += mPending.size();
        mPending.clear();
      } else {
        noteRefused = false;
        tookLines = true;
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
  // When each run still ending was asked to stop: its bound counts from there.
  std::map<unsigned long, Clock::time_point> mStoppedAt;
  bool mMidLine = false;  // the last byte written ends no line
  bool mLineCut = false;  // and that line's rest was left out
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
