// Many instances with their ports open on one JACK server, created and closed
// over and over in one process while the instrument's end keeps sending: a
// host loading and closing projects of many instances. Run under
// ThreadSanitizer by scripts/test-tsan.
#include <atomic>
#include <thread>

#include "JackTest.h"
#include "RecordingPlug.h"

namespace {
constexpr int kInstances = 32;
constexpr int kRounds = 20;
constexpr int kTalks = 50;  // messages each instance left sends while the others close

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
    // port: every message of theirs arrives once, whatever cycle it took.
    peer->Clear();
    std::atomic<bool> allTaken{true};
    std::thread talker([&] {
      for (int m = 0; m < kTalks; ++m, std::this_thread::sleep_for(std::chrono::milliseconds(2)))
        for (int i = 1; i < kInstances; i += 2) {
          IMidiMsg off(0, 0x80, static_cast<uint8_t>(i), static_cast<uint8_t>(m));
          if (!plugs[i]->SendMidiMsg(&off)) allTaken = false;
        }
    });
    for (int i = 0; i < kInstances; i += 2) plugs[i].reset();
    talker.join();
    EXPECT_TRUE(allTaken);
    std::vector<int> talked(kInstances * kTalks, 0);
    for (const PeerEvent& event : peer->WaitForEvents(kInstances / 2 * kTalks))
      if (event.bytes.size() == 3 && event.bytes[0] == 0x80) ++talked.at(event.bytes[1] * kTalks + event.bytes[2]);
    std::vector<std::string> wrong;  // "instance/message arrived n times"
    for (int i = 0; i < kInstances; ++i)
      for (int m = 0; m < kTalks; ++m)
        if (talked[i * kTalks + m] != i % 2)
          wrong.push_back(std::to_string(i) + "/" + std::to_string(m) + " arrived " +
                          std::to_string(talked[i * kTalks + m]) + " times");
    EXPECT_EQ(wrong, std::vector<std::string>{});
    // The instrument talks while the host closes the rest.
    for (int m = 0; m < 8; ++m) peer->Send({0xB0, 1, static_cast<unsigned char>(m)});
    plugs.clear();
    // A host reopening a project waits for nothing, but JACK takes about 250
    // clients on a machine, all servers together: the next round starts when
    // this one's are closed, so that tests side by side keep their share.
    ASSERT_TRUE(peer->AwaitOtherClientsGone()) << "the instances' JACK clients did not close";
  }
}
}  // namespace
