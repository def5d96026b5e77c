#include "ClosingSends.h"

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
struct Transfer {
  std::vector<TimedDump> dumps;
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
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mQueue.push_back(std::move(transfer));
      ++mHanded;
    }
    mChanged.notify_all();
  }
  bool flush(int boundMs) {
    std::unique_lock<std::mutex> lock(mMutex);
    const unsigned long handed = mHanded;
    return mChanged.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return mDone >= handed; });
  }
  // At the process's end what is left is dropped; a pause ends at once.
  ~Sender() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStopping = true;
    }
    mChanged.notify_all();
    mThread.join();
  }

 private:
  Sender() : mThread([this] { run(); }) {}

  void run() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
      mChanged.wait(lock, [this] { return mStopping || !mQueue.empty(); });
      if (mStopping) return;
      Transfer transfer = std::move(mQueue.front());
      mQueue.pop_front();
      for (TimedDump& dump : transfer.dumps) {
        lock.unlock();
        send(*transfer.out, dump.bytes);
        lock.lock();
        if (mChanged.wait_for(lock, std::chrono::milliseconds(dump.pauseAfterMs), [this] { return mStopping; })) return;
      }
      lock.unlock();
      transfer.out.reset();
      transfer.backend.reset();
      lock.lock();
      ++mDone;
      mChanged.notify_all();
    }
  }

  void send(MidiOutPort& out, std::vector<uint8_t>& bytes) {
    const int size = static_cast<int>(bytes.size());
    if (size >= kChecksummedLength && bytes[0] == kSysExStart) writeDumpChecksum(bytes.data(), size);
    try {
      if (out.isPortOpen()) out.sendMessage(bytes.data(), bytes.size());
    } catch (const MidiError& error) {
      error.printMessage();
      return;
    }
    mTrace.logSysExOutMessageByte(bytes.data(), size);
  }

  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<Transfer> mQueue;
  unsigned long mHanded = 0;
  unsigned long mDone = 0;
  bool mStopping = false;
  DebuggerOutput mTrace;
  std::thread mThread;  // last: it starts once the rest is there
};
}  // namespace

namespace ClosingSends {
void hand(std::vector<TimedDump> dumps, std::unique_ptr<MidiOutPort> out, std::shared_ptr<MidiBackend> backend) {
  if (!out || dumps.empty()) return;
  // The thread runs this module's code after the host may have unloaded it.
  KeepLoaded(reinterpret_cast<const void*>(&ClosingSends::flush));
  Sender::instance().hand({std::move(dumps), std::move(out), std::move(backend)});
}

bool flush(int boundMs) { return Sender::instance().flush(boundMs); }
}  // namespace ClosingSends
