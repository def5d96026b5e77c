// Many instances with their ports open on one JACK server, created and closed
// over and over in one process while the instrument's end keeps sending: a
// host loading and closing projects of many instances. Run under
// ThreadSanitizer by scripts/test-tsan.
#include <atomic>
#include <thread>

#include "JackClientLock.h"
#include "JackTest.h"
#include "RecordingPlug.h"

namespace {
constexpr int kInstances = 32;
constexpr int kRounds = 20;
// Messages each instance left sends once the others' ports are gone, and at most.
constexpr int kTalksAfter = 20;
constexpr int kMaxTalks = 4000;

class JackManyInstancesTest : public JackTest {};

TEST_F(JackManyInstancesTest, ThirtyTwoInstancesComeAndGoTwentyTimesAndNothingTheySendIsLost) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    peer->Clear();
    std::vector<std::unique_ptr<RecordingPlug>> plugs;
    for (int i = 0; i < kInstances; ++i) {
      plugs.push_back(std::make_unique<RecordingPlug>());
      ASSERT_NO_FATAL_FAILURE(Connect(*plugs.back()));
      IMidiMsg note(0, 0x90, static_cast<uint8_t>(i), static_cast<uint8_t>(round + 1));
      ASSERT_TRUE(plugs.back()->SendMidiMsg(&note));
    }
    // Each instance's note arrives, though its connection was made just now.
    std::vector<int> heard(kInstances, 0);
    for (const PeerEvent& event : peer->WaitForEvents(kInstances))
      if (event.bytes.size() == 3 && event.bytes[0] == 0x90 && event.bytes[2] == round + 1) ++heard.at(event.bytes[1]);
    EXPECT_EQ(heard, std::vector<int>(kInstances, 1));
    // Half of them close while the other half keep talking to the same
    // port, a numbered stream each (its channel the instance's half, the
    // number in the data bytes) until the closed ports are gone and a while
    // after: every message of theirs arrives once, whatever cycle it took.
    peer->Clear();
    // The peer reads its input late in each cycle: a port freed while a
    // cycle runs is freed before that read.
    peer->SetReadDelay(std::chrono::milliseconds(2));
    std::atomic<bool> allTaken{true};
    int talks = 0;
    std::thread talker([&] {
      const size_t portsLeft = kInstances;  // an out and an in port for each instance left
      for (int after = 0; after < kTalksAfter && talks < kMaxTalks;
           ++talks, std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
        if (peer->OtherPorts().size() == portsLeft) ++after;
        for (int i = 1; i < kInstances; i += 2) {
          IMidiMsg off(0, static_cast<uint8_t>(0x80 | i / 2), static_cast<uint8_t>(talks >> 7),
                       static_cast<uint8_t>(talks & 0x7F));
          if (!plugs[i]->SendMidiMsg(&off)) allTaken = false;
        }
      }
    });
    for (int i = 0; i < kInstances; i += 2) plugs[i].reset();
    talker.join();
    peer->SetReadDelay({});
    EXPECT_TRUE(allTaken);
    std::vector<int> talked(kInstances * kMaxTalks, 0);
    for (const PeerEvent& event : peer->WaitForEvents(kInstances / 2 * talks))
      if (event.bytes.size() == 3 && (event.bytes[0] & 0xF0) == 0x80)
        ++talked.at(((event.bytes[0] & 0x0F) * 2 + 1) * kMaxTalks + event.bytes[1] * 128 + event.bytes[2]);
    std::vector<std::string> wrong;  // "instance/message arrived n times"
    for (int i = 0; i < kInstances; ++i)
      for (int m = 0; m < talks; ++m)
        if (talked[i * kMaxTalks + m] != i % 2)
          wrong.push_back(std::to_string(i) + "/" + std::to_string(m) + " arrived " +
                          std::to_string(talked[i * kMaxTalks + m]) + " times");
    EXPECT_EQ(wrong, std::vector<std::string>{});
    // The instrument talks while the host closes the rest.
    for (int m = 0; m < 8; ++m) peer->Send({0xB0, 1, static_cast<unsigned char>(m)});
    peer->LongestCycleGap();
    plugs.clear();
    // A host reopening a project waits for nothing, but JACK takes about 250
    // clients on a machine, all servers together: the next round starts when
    // this one's are closed, so that tests side by side keep their share.
    ASSERT_TRUE(peer->AwaitOtherClientsGone()) << "the instances' JACK clients did not close";
    // The server's cycles went on through the last close: a client that
    // leaves before jackd has switched to the graph without it stalls every
    // client until jackd gives up (ten of its 400 ms timeouts).
    ASSERT_TRUE(peer->AwaitCycles(10));
    EXPECT_LT(peer->LongestCycleGap(), std::chrono::seconds(2));
    // It leaves once jackd is done with its last change: a whole cycle
    // after its last port went.
    EXPECT_GE(JackCyclesBeforeLastLeave(), 1);
  }
}
}  // namespace
