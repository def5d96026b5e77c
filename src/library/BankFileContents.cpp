// What a bank file holds beside the sounds and multis the library reads
// from it: a save over the file would lose it, so the file is never replaced
// by a bank.
#include <cstring>

#include "BankFileFormat.h"

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
std::string unkeptInSysEx(const Bytes& data) {
  std::size_t i = 0;
  while (i < data.size()) {
    if (data[i] != kStart) {
      // Zero bytes pad files out; anything else is data of its own.
      if (data[i] != 0x00) return "data outside any dump";
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < data.size() && data[end] != kEnd && data[end] != kStart) ++end;
    if (std::string kind = kindOf(data.data() + i + 1, end - i - 1); !kind.empty()) return kind;
    i = end < data.size() && data[end] == kEnd ? end + 1 : end;
  }
  return {};
}

bool readNumber(const Bytes& data, std::size_t& pos, std::size_t end, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4 && pos < end; ++i) {
    const unsigned char b = data[pos++];
    value = value << 7 | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// A Standard MIDI File, chunk by chunk and event by event; what the
// library writes itself (time signature, tempo, track ends) is kept.
std::string unkeptInSmf(const Bytes& data) {
  const std::string damaged = "data the library cannot read";
  std::size_t pos = 0;
  while (pos + 8 <= data.size()) {
    const bool track = std::memcmp(data.data() + pos, "MTrk", 4) == 0;
    const bool head = std::memcmp(data.data() + pos, "MThd", 4) == 0;
    const std::size_t length = std::size_t{data[pos + 4]} << 24 | std::size_t{data[pos + 5]} << 16 |
                               std::size_t{data[pos + 6]} << 8 | data[pos + 7];
    pos += 8;
    if (length > data.size() - pos) return damaged;
    const std::size_t end = pos + length;
    if (!track && !head) return "other MIDI data";
    bool open = false;  // a dump sent in packets: its F7 events continue it
    while (track && pos < end) {
      std::uint32_t delta = 0, size = 0;
      if (!readNumber(data, pos, end, delta) || pos >= end) return damaged;
      const unsigned char status = data[pos++];
      if (status == kStart || (status == kEnd && open)) {
        if (!readNumber(data, pos, end, size) || size > end - pos) return damaged;
        if (status == kStart)
          if (std::string kind = kindOf(data.data() + pos, size); !kind.empty()) return kind;
        if (status == kStart || size > 0) open = size == 0 || data[pos + size - 1] != kEnd;
      } else if (status == 0xFF && pos < end) {
        open = false;
        const unsigned char type = data[pos++];
        if (type != 0x2F && type != 0x51 && type != 0x58) return "MIDI events other than dumps";
        if (!readNumber(data, pos, end, size) || size > end - pos) return damaged;
      } else {
        return status == kEnd ? "other SysEx" : "MIDI events other than dumps";
      }
      pos += size;
    }
    pos = end;
  }
  for (; pos < data.size(); ++pos)
    if (data[pos] != 0x00) return damaged;
  return {};
}
}  // namespace

std::string unkeptData(const Bytes& image) {
  static constexpr unsigned char kSmfHead[8] = {'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06};
  const bool smf = image.size() >= sizeof(kSmfHead) && std::memcmp(image.data(), kSmfHead, sizeof(kSmfHead)) == 0;
  return smf ? unkeptInSmf(image) : unkeptInSysEx(image);
}
