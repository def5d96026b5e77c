#include "SmfSysEx.h"

namespace {
constexpr std::size_t kHeadSize = 14;  // "MThd", its length 6, six bytes

void note(std::vector<SmfPart>* events, SmfPart::Kind kind, std::size_t from = 0, std::size_t to = 0,
          unsigned char type = 0) {
  if (events) events->push_back({kind, from, to, type});
}

// One track's events. A track the file's end cuts into (cutAtEnd) keeps the
// events read up to the cut; the one cut into gives what there is of it.
class TrackEvents {
 public:
  TrackEvents(const Bytes& data, std::size_t from, std::size_t to, bool cutAtEnd, std::vector<SmfPart>* events)
      : mData(data), mPos(from), mEnd(to), mCutAtEnd(cutAtEnd), mEvents(events) {}

  // False when the events cannot be parsed; out and the events listed are
  // then left as they were. A track whose length ends it inside an event
  // keeps the events read up to there, as one the file's end cuts does; what
  // its length leaves out is data the library cannot read.
  bool appendTo(Bytes& out) {
    const std::size_t mark = out.size();
    const std::size_t listed = mEvents ? mEvents->size() : 0;
    if (parse(out)) return true;
    if (mRanOut) {
      if (!mCutAtEnd) note(mEvents, SmfPart::Kind::kUnreadable);
      return true;
    }
    out.resize(mark);
    if (mEvents) mEvents->resize(listed);
    return false;
  }
  // Whether the track ended inside an event.
  bool endedInsideAnEvent() const { return mRanOut; }

 private:
  bool byte(unsigned char& value) {
    if (mPos >= mEnd) return ranOut();
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
  // Takes length bytes, or what is left of them when the track ends first.
  bool take(std::size_t length, Bytes* out) {
    const bool whole = length <= mEnd - mPos;
    if (!whole) length = mEnd - mPos;
    if (out) out->insert(out->end(), mData.begin() + static_cast<long>(mPos), mData.begin() + static_cast<long>(mPos + length));
    mPos += length;
    return whole || ranOut();
  }
  bool ranOut() {
    mRanOut = true;
    return false;
  }

  bool parse(Bytes& out) {
    unsigned char running = 0;
    bool open = false;  // the last message appended waits for its F7
    std::size_t message = 0;  // the listed event of that message
    while (mPos < mEnd) {
      std::size_t delta = 0, length = 0;
      unsigned char status = 0;
      if (!quantity(delta) || !byte(status)) return false;
      if (status == 0xF0 || status == 0xF7) {
        if (!quantity(length)) return false;
        // An F7 event that continues nothing escapes bytes sent as they are.
        const bool continues = status == 0xF7 && open;
        if (status == 0xF0) out.push_back(0xF0);
        if (mEvents && !continues) {
          if (status == 0xF0) message = mEvents->size();
          note(mEvents, status == 0xF0 ? SmfPart::Kind::kSysEx : SmfPart::Kind::kEscaped, out.size() - (status == 0xF0));
        }
        const bool whole = take(length, &out);
        if (mEvents) (continues || status == 0xF0 ? (*mEvents)[message] : mEvents->back()).to = out.size();
        if (!whole) return false;
        if (status == 0xF0 || (open && length > 0)) open = out.back() != 0xF7;
        running = 0;
      } else if (status == 0xFF) {
        unsigned char type = 0;
        if (!byte(type)) return false;
        note(mEvents, SmfPart::Kind::kMeta, 0, 0, type);
        if (!quantity(length) || !take(length, nullptr)) return false;
        if (type == 0x2F) {
          // The end of the track: what follows in the chunk is not read.
          for (std::size_t i = mPos; i < mEnd; ++i)
            if (mData[i] != 0x00) {
              note(mEvents, SmfPart::Kind::kUnreadable);
              break;
            }
          return true;
        }
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
        note(mEvents, SmfPart::Kind::kChannel, 0, 0, status);
        if ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) count = 1;
        if (!take(count, nullptr)) return false;
      }
    }
    return true;
  }

  const Bytes& mData;
  std::size_t mPos, mEnd;
  const bool mCutAtEnd;
  std::vector<SmfPart>* mEvents;
  bool mRanOut = false;
};
}  // namespace

Bytes joinedSmfSysEx(const Bytes& data, std::size_t size, SmfReading* reading) {
  if (size > data.size()) size = data.size();
  std::vector<SmfPart>* events = reading && reading->listEvents ? &reading->events : nullptr;
  Bytes out;
  std::size_t pos = kHeadSize;
  while (pos + 8 <= size) {
    const std::size_t length = (std::size_t{data[pos + 4]} << 24) | (std::size_t{data[pos + 5]} << 16) |
                               (std::size_t{data[pos + 6]} << 8) | data[pos + 7];
    const bool track = data[pos] == 'M' && data[pos + 1] == 'T' && data[pos + 2] == 'r' && data[pos + 3] == 'k';
    const std::size_t from = pos + 8;
    const bool cut = length > size - from;
    const std::size_t to = cut ? size : from + length;
    TrackEvents trackEvents(data, from, to, cut, events);
    const bool read = track && trackEvents.appendTo(out);
    if (reading && (cut || (read && trackEvents.endedInsideAnEvent()))) reading->cut = true;
    if (!read) {
      note(events, track ? SmfPart::Kind::kUnreadable : SmfPart::Kind::kOtherChunk, out.size(), out.size() + (to - pos));
      out.insert(out.end(), data.begin() + static_cast<long>(pos), data.begin() + static_cast<long>(to));
    }
    pos = to;
  }
  if (pos < size) note(events, SmfPart::Kind::kTail, out.size(), out.size() + (size - pos));
  out.insert(out.end(), data.begin() + static_cast<long>(pos), data.begin() + static_cast<long>(size));
  return out;
}
