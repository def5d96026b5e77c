#include "SmfSysEx.h"

namespace {
constexpr std::size_t kHeadSize = 14;  // "MThd", its length 6, six bytes

// One track's events; false when they cannot be parsed, out then left as
// it was.
class TrackEvents {
 public:
  TrackEvents(const Bytes& data, std::size_t from, std::size_t to) : mData(data), mPos(from), mEnd(to) {}

  bool appendTo(Bytes& out) {
    const std::size_t mark = out.size();
    if (parse(out)) return true;
    out.resize(mark);
    return false;
  }

 private:
  bool byte(unsigned char& value) {
    if (mPos >= mEnd) return false;
    value = mData[mPos++];
    return true;
  }
  bool quantity(std::size_t& value) {
    value = 0;
    for (int n = 0; n < 4; ++n) {
      unsigned char b = 0;
      if (!byte(b)) return false;
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool take(std::size_t length, Bytes* out) {
    if (length > mEnd - mPos) return false;
    if (out) out->insert(out->end(), mData.begin() + static_cast<long>(mPos), mData.begin() + static_cast<long>(mPos + length));
    mPos += length;
    return true;
  }

  bool parse(Bytes& out) {
    unsigned char running = 0;
    bool open = false;  // the last message appended waits for its F7
    while (mPos < mEnd) {
      std::size_t delta = 0, length = 0;
      unsigned char status = 0;
      if (!quantity(delta) || !byte(status)) return false;
      if (status == 0xF0 || status == 0xF7) {
        if (!quantity(length)) return false;
        if (status == 0xF0) out.push_back(0xF0);
        if (!take(length, &out)) return false;
        // An F7 event that continues nothing escapes bytes sent as they are.
        if (status == 0xF0 || (open && length > 0)) open = out.back() != 0xF7;
        running = 0;
      } else if (status == 0xFF) {
        unsigned char type = 0;
        if (!byte(type) || !quantity(length) || !take(length, nullptr)) return false;
        if (type == 0x2F) return true;  // the end of the track
      } else if (status >= 0xF1) {
        return false;
      } else {
        // A channel message; a data byte in place of a status repeats the last.
        std::size_t count = 2;
        if (status < 0x80) {
          if (!running) return false;
          --mPos;
          status = running;
        }
        running = status;
        if ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) count = 1;
        if (!take(count, nullptr)) return false;
      }
    }
    return true;
  }

  const Bytes& mData;
  std::size_t mPos, mEnd;
};
}  // namespace

Bytes joinedSmfSysEx(const Bytes& data, std::size_t size) {
  if (size > data.size()) size = data.size();
  Bytes out;
  std::size_t pos = kHeadSize;
  while (pos + 8 <= size) {
    const std::size_t length = (std::size_t{data[pos + 4]} << 24) | (std::size_t{data[pos + 5]} << 16) |
                               (std::size_t{data[pos + 6]} << 8) | data[pos + 7];
    const bool track = data[pos] == 'M' && data[pos + 1] == 'T' && data[pos + 2] == 'r' && data[pos + 3] == 'k';
    const std::size_t from = pos + 8;
    const std::size_t to = length > size - from ? size : from + length;
    if (!track || !TrackEvents(data, from, to).appendTo(out))
      out.insert(out.end(), data.begin() + static_cast<long>(pos), data.begin() + static_cast<long>(to));
    pos = to;
  }
  out.insert(out.end(), data.begin() + static_cast<long>(pos), data.begin() + static_cast<long>(size));
  return out;
}
