// Shared set-up of the protocol tests: a fake editor with its manager.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "FakeEditor.h"
#include "IMidiMsg.h"
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"

// Polls until done() holds, for at most ten seconds; returns done().
inline bool waitUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

struct EngineFixture {
  FakeEditor editor;
  PatchLibrarian librarian;
  std::unique_ptr<MIDIMessageManager> manager =
      std::make_unique<MIDIMessageManager>(&editor, nullptr, &librarian, nullptr);

  EngineFixture() { editor.manager = manager.get(); }
  ~EngineFixture() { destroyManager(); }
  // Stops and joins the workers.
  void destroyManager() {
    // The workers may still reach the manager through the editor until
    // they are joined.
    if (manager) manager->shutDown();
    editor.manager = nullptr;
    manager.reset();
  }

  // Hands a message to the receive side as the instrument would; with
  // expectDump, as the reply a request awaits (a sound dump: its part's).
  void receive(const std::vector<unsigned char>& bytes, bool expectDump = true) {
    std::shared_ptr<PartPicks::ReplyWait> wait;
    if (expectDump) {
      manager->dumpExpected = true;
      if (bytes.size() > 6 && bytes[4] == 0x10 && bytes[6] < 16) {
        wait = manager->picks.expectReply(manager->picks.current(bytes[6]));
        manager->picks.replySent(wait, editor.tickMs(), 1000);
      }
    }
    ISysEx message(0, bytes.data(), static_cast<int>(bytes.size()));
    manager->ProcessSysEx(&message, true);
    // A message that was no reply leaves no request waiting, and nothing
    // owed: the next is received afresh.
    if (wait) manager->picks.forgetReplies(wait->ticket.part());
    // A report is a pick: its work on the part's lane is done.
    manager->picks.awaitLanesIdle(std::chrono::seconds(10));
  }
  // Waits (bounded) until the thread has no job (the request thread: nor
  // the picks' lanes, whose work may start jobs there).
  bool waitIdle(JobThread thread) {
    if (thread != JobThread::kRequest) return waitUntil([&] { return !manager->isThreadRunning(thread); });
    return waitUntil([&] { return manager->atRest(); });
  }
  // Runs a job on the request thread and waits for its end.
  bool runJob(const SenderJob& job) { return manager->startJob(job) && waitIdle(JobThread::kRequest); }
};
