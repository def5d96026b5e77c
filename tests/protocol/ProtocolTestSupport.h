// Shared set-up of the protocol tests: a fake editor with its manager.
#pragma once

#include <chrono>
#include <memory>
#include <thread>

#include "FakeEditor.h"
#include "IMidiMsg.h"
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"

struct EngineFixture {
  FakeEditor editor;
  PatchLibrarian librarian;
  std::unique_ptr<MIDIMessageManager> manager;

  EngineFixture() {
    manager = std::make_unique<MIDIMessageManager>(&editor, nullptr, &librarian, nullptr);
    editor.manager = manager.get();
  }
  ~EngineFixture() {
    editor.manager = nullptr;
    manager.reset();
  }

  // Hands a message to the receive side as the instrument would.
  void receive(const std::vector<unsigned char>& bytes, bool expectDump = true) {
    if (expectDump) manager->dumpExpected = true;
    ISysEx message(0, bytes.data(), static_cast<int>(bytes.size()));
    manager->ProcessSysEx(&message, true);
  }

  // Waits (bounded) until the thread has no job.
  bool waitIdle(JobThread thread, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (manager->isThreadRunning(thread)) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
};
