// Everything for the instrument leaves on the direct out port.
#include <cstdio>

#include "IPlugVST.h"

namespace {
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;
}  // namespace

bool IPlugVST::SendMidiMsg(IMidiMsg* msg) {
  if (!msg) return false;
  // A short message cannot start SysEx; it would leave an unterminated one.
  if (msg->mStatus == kSysExStart) {
    OnMidiOutRefused("SysEx status in a short message");
    return false;
  }
  const unsigned char bytes[3] = {msg->mStatus, msg->mData1, msg->mData2};
  const IMidiMsg::EStatusMsg kind = msg->StatusMsg();
  const size_t size = (kind == IMidiMsg::kProgramChange || kind == IMidiMsg::kChannelAftertouch) ? 2 : 3;
  return SendToMidiOut(bytes, size);
}

bool IPlugVST::SendMidiSysex(unsigned char* data, int size) {
  if (!data || size <= 0) return false;
  if (data[0] == kSysExStart) return SendToMidiOut(data, static_cast<size_t>(size));
  std::vector<unsigned char> framed;
  framed.reserve(static_cast<size_t>(size) + 2);
  framed.push_back(kSysExStart);
  framed.insert(framed.end(), data, data + size);
  framed.push_back(kSysExEnd);
  return SendToMidiOut(framed.data(), framed.size());
}

bool IPlugVST::SendPatchSysex(unsigned char* data, int size) {
  if (!data || size <= 0) return false;
  const std::vector<unsigned char> copy(data, data + size);
  return SendToMidiOut(copy.data(), copy.size());
}

bool IPlugVST::SendMidiSysex2(std::vector<unsigned char> data) { return SendToMidiOut(data.data(), data.size()); }
