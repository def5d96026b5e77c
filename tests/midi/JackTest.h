// Tests of the plug-in's direct ports on real JACK ports: each test gets a
// private server and a peer client on it, and the plug-in's MIDI system is
// JACK. The derived test's members (the plug-in) go before peer and server.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "IPlugBase.h"
#include "JackClientLock.h"
#include "JackMidiClient.h"
#include "JackPeer.h"
#include "JackServer.h"
#include "MidiPorts.h"

class JackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.failed = &::testing::Test::HasFailure;
    mCallFaultsBefore = JackCallFaults().size();
    ASSERT_TRUE(server.Start()) << "cannot start the JACK test server: " << server.Error();
    setenv("TARNIVEX_MIDI_API", "jack", 1);
    SetMidiBackend(nullptr);
    peer = std::make_unique<JackPeer>();
  }
  ~JackTest() override {
    // The plug-in's client closes on a thread of its own; the server must
    // not stop under it. (The built plug-in that the test host loads has a
    // client of its own, which only the peer's count sees.)
    EXPECT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60))) << "the process's JACK client stayed open";
    if (peer) {
      EXPECT_TRUE(peer->AwaitOtherClientsGone()) << "a JACK client of the plug-in stayed open";
    }
    unsetenv("TARNIVEX_MIDI_API");
    // No two threads called on one client at once, none from its callbacks.
    std::vector<std::string> faults = JackCallFaults();
    faults.erase(faults.begin(), faults.begin() + static_cast<std::ptrdiff_t>(std::min(mCallFaultsBefore, faults.size())));
    EXPECT_EQ(faults, std::vector<std::string>{});
  }

  // Opens the peer's input as the plug-in's out port and, with in, the
  // peer's output as its in port, from the lists as a menu opened now shows
  // them (the process's client may not have looked yet).
  void Connect(IPlugBase& plug, bool in = true) {
    // The process's client opens on its own thread, machine-wide one at a
    // time with other tests' clients: a menu opened again shows it later.
    const auto shown = [&](auto refresh, const std::string& name) -> const std::vector<std::string>& {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      for (;;) {
        const std::vector<std::string>& list = (plug.*refresh)();
        if (std::find(list.begin(), list.end(), name) != list.end() || std::chrono::steady_clock::now() > until)
          return list;
      }
    };
    const auto open = [&](const std::vector<std::string>& list, const std::string& name, auto select) {
      int index = static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
      ASSERT_LT(index, static_cast<int>(list.size())) << "the plug-in's list does not show " << name;
      const int listed = index;
      ASSERT_EQ((plug.*select)(index, name.c_str()), listed);
    };
    ASSERT_NO_FATAL_FAILURE(open(shown(&IPlugBase::refreshExternalMIDIOutNames, peer->InPortName()), peer->InPortName(), &IPlugBase::setExternalMIDIOut));
    if (!in) return;
    ASSERT_NO_FATAL_FAILURE(open(shown(&IPlugBase::refreshExternalMIDIInNames, peer->OutPortName()), peer->OutPortName(), &IPlugBase::setExternalMIDIIn));
    peer->AwaitListener();  // the out side must not need this: the plug-in's port waits by itself
  }

  // The list a device menu of the editor shows once the process's client
  // has looked: the menu is opened again (bounded) until it shows name.
  template <class Editor>
  static const std::vector<std::string>& MenuShowing(Editor& editor, bool input, const std::string& name) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      editor.OnMidiDeviceMenu(input);
      const std::vector<std::string>& list = input ? editor.getExternalMIDIInNames() : editor.getExternalMIDIOutNames();
      if (std::find(list.begin(), list.end(), name) != list.end() || std::chrono::steady_clock::now() > until)
        return list;
    }
  }

  JackServer server;
  std::unique_ptr<JackPeer> peer;

 private:
  size_t mCallFaultsBefore = 0;
};
