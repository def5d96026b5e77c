// The way out for long messages: the checksum a message of 201 bytes or more
// gets in either framing, the bytes the port receives, and the messages that
// must never leave because a data byte would read as a status byte.
#include <numeric>

#include "EditorTestSupport.h"

namespace {
class SysExExitTest : public EditorTest {
 protected:
  SysExExitTest() { makePlug(); }
  // What the port received for one message handed to the exit.
  ByteList send(Bytes message) {
    plug->checksumCheckAndSend(message.data(), static_cast<int>(message.size()));
    return sentSinceLast();
  }
};

// F0 3E 10 21 10 ..., F7, with the data bytes counting up.
Bytes framed(size_t size) {
  Bytes m(size);
  for (size_t i = 0; i < size; ++i) m[i] = static_cast<unsigned char>((i * 7) % 100);
  const Bytes head = {0xF0, 0x3E, 0x10, 0x21, 0x10};
  std::copy(head.begin(), head.end(), m.begin());
  m.back() = 0xF7;
  return m;
}

unsigned char sum7(const Bytes& m, size_t first, size_t last) {
  return static_cast<unsigned char>(std::accumulate(m.begin() + static_cast<long>(first), m.begin() + static_cast<long>(last) + 1, 0u) & 0x7F);
}

TEST_F(SysExExitTest, LongMessagesGetTheirChecksumInEitherFraming) {
  const Bytes dump = framed(392);
  Bytes dumpOut = dump;
  dumpOut[390] = sum7(dump, 4, 389);

  Bytes body = framed(207);
  body.erase(body.begin());
  body.pop_back();
  body.push_back(0x55);  // 206 bytes, its checksum byte last
  Bytes bodyOut = {0xF0};
  bodyOut.insert(bodyOut.end(), body.begin(), body.end());
  bodyOut[206] = sum7(body, 3, 204);
  bodyOut.push_back(0xF7);

  Bytes short200 = framed(200);
  Bytes long201 = framed(201);
  Bytes long201Out = long201;
  long201Out[199] = sum7(long201, 4, 198);

  Bytes sum3C5(201, 0);  // seven bytes of 7F and one of 4C: 0x3C5
  sum3C5[0] = 0xF0;
  sum3C5[200] = 0xF7;
  for (int i = 10; i < 17; ++i) sum3C5[static_cast<size_t>(i)] = 0x7F;
  sum3C5[17] = 0x4C;
  Bytes sum3C5Out = sum3C5;
  sum3C5Out[199] = 0x45;

  const struct {
    const char* what;
    Bytes message;
    ByteList atPort;
  } rows[] = {
      {"a 392-byte sound dump: byte 390", dump, {dumpOut}},
      {"a 206-byte body: its last byte, framed on the way", body, {bodyOut}},
      {"200 bytes pass unchanged", short200, {short200}},
      {"201 bytes: the byte before F7", long201, {long201Out}},
      {"a sum of 0x3C5 gives 0x45", sum3C5, {sum3C5Out}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(send(row.message), row.atPort);
  }

  plug->midiIOConfigured = false;
  EXPECT_TRUE(send(dump).empty());
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Set MIDI I/O First!");
}

TEST_F(SysExExitTest, NoDataByteOfHex80OrMoreLeaves) {
  const Bytes change = {0xF0, 0x3E, 0x10, 0x21, 0x21, 0x00, 0x05, 0x40, 0xF7};
  const auto with = [](Bytes m, size_t at, unsigned char value) {
    m[at] = value;
    return m;
  };
  const struct {
    const char* what;
    Bytes message;
    bool sent;
  } rows[] = {
      {"a sound change", change, true},
      {"high maker byte", with(change, 1, 0xBE), false},
      {"high byte in the middle", with(change, 5, 0x80), false},
      {"high value byte, the last before F7", with(change, 7, 0x80), false},
      {"no F7 at the end", with(change, 8, 0x00), false},
      {"a body whose last byte is high", {0x3E, 0x10, 0x21, 0x00, 0x30, 0x85}, false},
      {"a body", {0x3E, 0x10, 0x21, 0x00, 0x30, 0x05}, true},
  };
  // The editor's exit refuses them itself and says so, twice for each.
  const auto refusals = [this] {
    const std::string log = debugLog();
    int count = 0;
    for (size_t at = 0; (at = log.find("MIDI OUT: SysEx message not sent: ", at)) != std::string::npos; ++at) ++count;
    return count;
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const int before = refusals();
    Bytes message = row.message;
    EXPECT_EQ(send(message).size(), row.sent ? 1u : 0u);
    EXPECT_EQ(plug->sendSysExToDevice(message.data(), static_cast<int>(message.size())), row.sent);
    EXPECT_EQ(sentSinceLast().size(), row.sent ? 1u : 0u);
    EXPECT_EQ(refusals() - before, row.sent ? 0 : 2);
  }
  EXPECT_NE(debugLog().find("MIDI OUT: SysEx message not sent: data byte of 0x80 or more"), std::string::npos);
  EXPECT_NE(debugLog().find("MIDI OUT: SysEx message not sent: no F7 at the end"), std::string::npos);
}

}  // namespace
