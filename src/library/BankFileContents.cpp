// What a bank file holds beside the sounds and multis the library reads
// from it: a save over the file would lose it, so the file is never replaced
// by a bank.
#include <cstring>

#include "BankFileFormat.h"
#include "SmfSysEx.h"

namespace {
constexpr unsigned char kStart = 0xF0;
constexpr unsigned char kEnd = 0xF7;
constexpr unsigned char kInstrument = 0x3E;
constexpr unsigned char kGlobalDump = 0x14;

// What one SysEx message (from after its F0) is, as the reader takes it;
// "" for a dump the library reads.
std::string kindOf(const unsigned char* m, std::size_t n) {
  if (n == 0 || m[0] != kInstrument) return "another maker's SysEx";
  const bool model = n > 1 && (m[1] == 0x0F || m[1] == 0x10 || m[1] == 0x13);
  if (model && n > 4 && m[2] < 0x80 && (m[3] == 0x10 || m[3] == 0x11) && m[4] < 0x80) return {};
  if (model && n > 3 && m[3] == kGlobalDump) return "a global dump";
  return "other SysEx of the instrument";
}

// Messages end at their F7, or where the next one begins.
std::string unkeptInSysEx(const Bytes& data, std::size_t from, std::size_t to) {
  std::size_t i = from;
  while (i < to) {
    if (data[i] != kStart) {
      // Zero bytes pad files out; anything else is data of its own.
      if (data[i] != 0x00) return "data outside any dump";
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < to && data[end] != kEnd && data[end] != kStart) ++end;
    if (std::string kind = kindOf(data.data() + i + 1, end - i - 1); !kind.empty()) return kind;
    i = end < to && data[end] == kEnd ? end + 1 : end;
  }
  return {};
}

// A Standard MIDI File as the reader reads it: a dump sent in packets is
// judged whole, and a file cut short by what was read of it. What the
// library writes itself (time signature, tempo, track ends) is kept.
std::string unkeptInSmf(const Bytes& data) {
  const std::string damaged = "data the library cannot read";
  const std::string events = "MIDI events other than dumps";
  SmfReading reading;
  reading.listEvents = true;
  const Bytes joined = joinedSmfSysEx(data, data.size(), &reading);
  for (const SmfPart& event : reading.events) {
    switch (event.kind) {
      case SmfPart::Kind::kSysEx:
        if (std::string kind = unkeptInSysEx(joined, event.from, event.to); !kind.empty()) return kind;
        break;
      case SmfPart::Kind::kEscaped: return "other SysEx";
      case SmfPart::Kind::kMeta:
        if (event.type != 0x2F && event.type != 0x51 && event.type != 0x58) return events;
        break;
      case SmfPart::Kind::kChannel: return events;
      case SmfPart::Kind::kOtherChunk: return "other MIDI data";
      case SmfPart::Kind::kUnreadable: return damaged;
      case SmfPart::Kind::kTail:
        for (std::size_t i = event.from; i < event.to; ++i)
          if (joined[i] != 0x00) return damaged;
        break;
    }
  }
  return {};
}
}  // namespace

std::string unkeptData(const Bytes& image) {
  static constexpr unsigned char kSmfHead[8] = {'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06};
  const bool smf = image.size() >= sizeof(kSmfHead) && std::memcmp(image.data(), kSmfHead, sizeof(kSmfHead)) == 0;
  return smf ? unkeptInSmf(image) : unkeptInSysEx(image, 0, image.size());
}
