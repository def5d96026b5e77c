#include "TraceOutput.h"

#include <pthread.h>

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

#include "TraceSink.h"

namespace {
// A few seconds of the densest trace (a 17-byte line per message at 3,000
// messages a second is 51 KB/s) with room to spare.
constexpr size_t kBufferBytes = 1 << 20;
using Clock = TraceSink::Clock;
// From the last holder's release, how long standard output is given to take
// the rest, and then the line that says what it did not take: the host's
// thread waits in its close meanwhile, and the whole close keeps within a
// quarter second however slowly the output is read. In a pipe that line
// goes into room kept for it, so it needs no reader.
constexpr std::chrono::milliseconds kFinalDrain{150};
constexpr std::chrono::milliseconds kFinalWait{200};
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

  // When a write of the run gives up: limit after the run was asked to
  // stop (counted from the ask, not from the write: a slow reader taking
  // chunk after chunk does not keep the closing host waiting), if it was.
  TraceSink::Deadline deadline(unsigned long run, std::chrono::milliseconds limit) {
    return [this, run, limit]() -> std::optional<Clock::time_point> {
      std::lock_guard<std::mutex> lock(mMutex);
      const auto stopped = stoppedAt(run);
      if (!stopped) return std::nullopt;
      return *stopped + limit;
    };
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
    TraceSink sink;
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
        // The last thing a closing run writes may take the room kept for it.
        const bool last = stopAsked() && mPending.empty();
        mDroppedUnreported = 0;
        lastNote = now;
        tookLines = false;
        lock.unlock();
        // One told while lines still go is given up with them.
        const size_t unwritten =
            sink.write(note.data(), note.size(), deadline(run, last ? kFinalWait : kFinalDrain), !last);
        lock.lock();
        afterWrite(note, unwritten);
        if (unwritten > 0) {
          mDroppedUnreported += count;
          // A close's last line still gets its try, after the rest is given up.
          noteRefused = last || !stopAsked();
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
      // After a line cut short, what comes next starts a line of its own.
      const size_t opening = mLineCut ? 1 : 0;
      // Only this thread takes from the front, so what it looked at stays.
      const std::string window = mPending.substr(0, std::min(mPending.size(), TraceSink::kPage));
      lock.unlock();
      const size_t take = sink.portion(window, opening);
      const std::string chunk = std::string(opening, '\n') + window.substr(0, take);
      const size_t notTaken = sink.write(chunk.data(), chunk.size(), deadline(run, kFinalDrain), true);
      lock.lock();
      mPending.erase(0, take);
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
