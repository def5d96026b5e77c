#include "ClosingSends.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "DebuggerOutput.h"
#include "KeepLoaded.h"
#include "MidiPorts.h"
#include "SysExFormat.h"

namespace {
constexpr int kSentBoundMs = 2000;

struct Transfer {
  std::vector<TimedDump> dumps;
  int pauseFirstMs = 0;
  std::unique_ptr<MidiOutPort> out;
  std::shared_ptr<MidiBackend> backend;
};

class Sender {
 public:
  static Sender& instance() {
    static Sender sender;
    return sender;
  }
  void hand(Transfer transfer) {
    std::lock_guard<std::mutex> lock(mMutex);
    mQueue.push_back(std::move(transfer));
    ++mHanded;
    if (!mRunning) {
      // The previous run has ended (or never was): its thread is gone.
      if (mThread.joinable()) mThread.join();
      mRunning = true;
      mThread = std::thread([this] { run(); });
    }
    mChanged.notify_all();
  }
  bool flush(int boundMs) {
    std::unique_lock<std::mutex> lock(mMutex);
    const unsigned long handed = mHanded;
    return mChanged.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return mDone >= handed; });
  }
  void setPause(std::function<bool(int)> pause) {
    std::lock_guard<std::mutex> lock(mMutex);
    mPause = std::move(pause);
  }
  // At the process's end what is left is dropped; a pause ends at once.
  ~Sender() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStopping = true;
    }
    mChanged.notify_all();
    if (mThread.joinable()) mThread.join();
  }

 private:
  Sender() = default;

  // False when the process is ending.
  bool pause(std::unique_lock<std::mutex>& lock, int ms) {
    if (ms <= 0) return !mStopping;
    if (mPause) {
      const std::function<bool(int)> pause = mPause;
      lock.unlock();
      const bool goOn = pause(ms);
      lock.lock();
      return goOn && !mStopping;
    }
    return !mChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return mStopping; });
  }

  void run() {
    pthread_setname_np(pthread_self(), "tvx closing");
    DebuggerOutput trace;  // its trace lines; the trace thread lives as long
    std::unique_lock<std::mutex> lock(mMutex);
    while (!mQueue.empty() && !mStopping) {
      Transfer transfer = std::move(mQueue.front());
      mQueue.pop_front();
      bool goOn = pause(lock, transfer.pauseFirstMs);
      for (size_t i = 0; goOn && i < transfer.dumps.size(); ++i) {
        lock.unlock();
        send(trace, *transfer.out, transfer.dumps[i].bytes);
        lock.lock();
        goOn = pause(lock, transfer.dumps[i].pauseAfterMs);
      }
      lock.unlock();
      transfer.out.reset();
      transfer.backend.reset();
      lock.lock();
      ++mDone;
      mChanged.notify_all();
    }
    // Nothing more to send: the thread ends; the next hand-over starts one.
    mRunning = false;
  }

  static void send(DebuggerOutput& trace, MidiOutPort& out, std::vector<uint8_t>& bytes) {
    const int size = static_cast<int>(bytes.size());
    if (size >= kChecksummedLength && bytes[0] == kSysExStart) writeDumpChecksum(bytes.data(), size);
    try {
      if (out.isPortOpen()) out.sendMessage(bytes.data(), bytes.size());
    } catch (const MidiError& error) {
      error.printMessage();
      return;
    }
    trace.logSysExOutMessageByte(bytes.data(), size);
    // The pause after it runs from when it has left.
    std::chrono::steady_clock::time_point left;
    for (int waited = 0; waited < kSentBoundMs && !out.allSent(&left); ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<Transfer> mQueue;
  std::function<bool(int)> mPause;
  unsigned long mHanded = 0;
  unsigned long mDone = 0;
  bool mStopping = false;
  bool mRunning = false;
  std::thread mThread;
};
}  // namespace

namespace ClosingSends {
void hand(std::vector<TimedDump> dumps, int pauseFirstMs, std::unique_ptr<MidiOutPort> out,
          std::shared_ptr<MidiBackend> backend) {
  if (!out || dumps.empty()) return;
  // The thread runs this module's code after the host may have unloaded it.
  KeepLoaded(reinterpret_cast<const void*>(&ClosingSends::flush));
  Sender::instance().hand({std::move(dumps), pauseFirstMs, std::move(out), std::move(backend)});
}

bool flush(int boundMs) { return Sender::instance().flush(boundMs); }

void setPauseForTests(std::function<bool(int ms)> pause) { Sender::instance().setPause(std::move(pause)); }
}  // namespace ClosingSends
